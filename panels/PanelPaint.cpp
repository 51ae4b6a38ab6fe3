#include "panels/PanelPaint.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/DateTime.h"
#include "app/Language.h"
#include "base/Numbers.h"
#include "panels/DirRead.h"
#include "panels/PanelIcons.h"
#include "panels/PanelIter.h"
#include "panels/PanelTree.h"
#include "panels/PanelWindow.h"
#include "frontends/ViewerHost.h"

namespace {

const int kIconCell = 18;

bool IconsOn() { return !(gApp->panelOptions & kPanelNoSymbols); }
bool HeaderOn() { return (gApp->panelOptions & kPanelShowTitle) != 0; }

// Fills empty column tables with the usual set, so a fresh settings file
// still shows a Full panel with its four columns.
void EnsureColumns(PanelState &ps) {
    bool any = false;
    for (int i = 0; i < kPanelColumnSlots; i++)
        any |= ps.fullColumns[i] != 0;
    if (!any)
        for (int i = 0; i < 4; i++)
            ps.fullColumns[i] = (uint16_t)(i + 1);
    any = false;
    for (int i = 0; i < kPanelColumnSlots; i++)
        any |= ps.customColumns[i] != 0;
    if (!any) {
        ps.customColumns[0] = kColName;
        ps.customColumns[1] = kColSize;
    }
}

int TextWidth(HDC dc, const char *text) {
    SIZE s = {};
    GetTextExtentPoint32A(dc, text, (int)strlen(text), &s);
    return s.cx;
}

void SizeText(const FileEntry *e, char *out) {
    out[0] = 0;
    EntrySizeText(e, out);
}

// Name widths are measured once per entry and kept in the entry.
int MaxNameWidth(HDC dc, int panel) {
    int widest = 0;
    PanelIter it;
    char text[300];
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (!e->nameWidth) {
            PanelEntryDisplayName(e, text, sizeof text);
            int w = TextWidth(dc, text);
            e->nameWidth = (uint16_t)(w > 0xFFFF ? 0xFFFF : (w ? w : 1));
        }
        if (e->nameWidth > widest)
            widest = e->nameWidth;
    }
    PanelIterEnd(&it);
    return widest + 50 + (IconsOn() ? kIconCell : 0);
}

int SizeProbe(HDC dc) {
    char text[32];
    StrFormatNumber(4294967295u, text);
    return TextWidth(dc, text) + 11;
}

int DateProbe(HDC dc) {
    char text[64];
    StrFormatDosDateTime(text, 0x2197, 0xBF7C, sizeof text);
    if (!text[0])
        strcpy(text, "23.12.1996  23:59");
    return TextWidth(dc, text) + 11;
}

int AttrProbe(HDC dc) { return TextWidth(dc, "RAHS") + 11; }

void DrawSortMark(HDC dc, int x, int cy, bool down) {
    // 10 x 7 etched triangle: a shadow body with a highlight edge below it.
    POINT up[3] = {{x, cy + 3}, {x + 9, cy + 3}, {x + 4, cy - 3}};
    POINT dn[3] = {{x, cy - 3}, {x + 9, cy - 3}, {x + 4, cy + 3}};
    POINT *p = down ? dn : up;
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ oldPen = SelectObject(dc, light);
    POINT edge[3];
    for (int i = 0; i < 3; i++)
        edge[i] = {p[i].x + 1, p[i].y + 1};
    Polyline(dc, edge, 3);
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    SelectObject(dc, shadow);
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_BTNSHADOW));
    Polygon(dc, p, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(shadow);
    DeleteObject(light);
}

// Header cell: frame, optional sort mark, centred text.
void DrawHeaderCell(HDC dc, RECT cell, uint16_t code, int panel, bool brief) {
    FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &cell, BDR_RAISEDINNER, BF_RECT);
    int sort = gApp->panelSort[panel];
    bool down = gApp->panelReverse[panel] != 0;
    int w = cell.right - cell.left, h = cell.bottom - cell.top;
    RECT text = cell;
    int cy = (cell.top + cell.bottom) / 2;
    bool markLeft = (code == kColName && sort == 0) || (!brief && code == kColModified && sort == 2) ||
                    (!brief && code == kColSize && sort == 3);
    if (markLeft && w > 10 && h > 7) {
        DrawSortMark(dc, cell.left + 3, cy, down);
        text.left += 10;
    } else if (code == kColName && sort == 1 && w >= 12 && h > 7) {
        DrawSortMark(dc, cell.right - 12, cy, down);
        text.right -= 12;
    }
    char label[64];
    TextGet(4001 + code, label, sizeof label);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, label, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void DrawIconCell(HDC dc, int x, int top, const FileEntry *e, HBRUSH rowBrush, COLORREF rowBack, int panel) {
    int h = gApp->rowHeight;
    RECT cell = {x, top, x + kIconCell, top + h};
    FillRect(dc, &cell, rowBrush);
    int oy = (h - 16) / 2;
    if (oy < 0)
        oy = 0;
    // Painting never waits for the shell: what the entry knows, else a quick
    // class; the loader brings the real icons and repaints their cells. The
    // painter may store a located entry's answer: it holds the list.
    int32_t code = (int32_t)e->iconIndex;
    if (!code)
        code = IconQuickClass(const_cast<FileEntry *>(e), panel);
    PanelDrawEntryIcon(dc, x + 2, top + oy, e, code, rowBrush, rowBack, gApp->panels[panel].location == nullptr);
}

void CellText(HDC dc, RECT cell, const char *text, HBRUSH brush, UINT align, int inset) {
    FillRect(dc, &cell, brush);
    cell.left += inset;
    cell.right -= inset;
    DrawTextA(dc, text, -1, &cell, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

struct RowStyle {
    HBRUSH brush;
    COLORREF back, text;
};

RowStyle StyleFor(int panel, uint32_t index, const FileEntry *e) {
    bool cursor = panel == (gApp->activePanel & 1) && index == gApp->cursorIndex[panel];
    RowStyle s;
    if (cursor) {
        s.brush = PanelBrush(3);
        s.back = PanelColor(3);
        s.text = PanelColor(4);
    } else {
        s.brush = PanelBrush(0);
        s.back = PanelColor(0);
        s.text = PanelColor(EntryIsFolder(e) ? 1 : 2);
    }
    if (e->mark & 1)
        s.text = PanelColor(5);
    return s;
}

void DrawNameCell(HDC dc, RECT cell, const FileEntry *e, const RowStyle &s, int panel) {
    if (IconsOn()) {
        DrawIconCell(dc, cell.left, cell.top, e, s.brush, s.back, panel);
        cell.left += kIconCell;
    }
    char text[300];
    PanelEntryDisplayName(e, text, sizeof text);
    SetTextColor(dc, s.text);
    PanelDrawCellText(dc, &cell, text, s.brush);
}

void DrawFullRow(HDC dc, const RECT &area, int top, int panel, uint32_t index, const FileEntry *e, bool custom) {
    PanelState &ps = gApp->panels[panel];
    RowStyle s = StyleFor(panel, index, e);
    SetTextColor(dc, s.text);
    int x = area.left - gApp->scrollPos[panel];
    bool first = true;
    char text[96];
    for (int i = 0; i < kPanelColumnSlots && x < area.right; i++) {
        uint16_t code = custom ? ps.customColumns[i] : ps.fullColumns[i];
        int w = custom ? ps.customWidths[i] : ps.fullWidths[i];
        if (!code || !w || (!custom && code == kColDosName))
            continue;
        RECT cell = {x, top, x + w, top + gApp->rowHeight};
        if (first) {
            // The first cell ends one pixel early; that pixel is the row's
            // too, or whatever was there before stays beside the separator.
            cell.right -= 1;
            RECT gap = {cell.right, top, cell.right + 1, cell.bottom};
            FillRect(dc, &gap, s.brush);
        } else {
            RECT line = {x, top, x + 1, cell.bottom};
            FillRect(dc, &line, PanelBrush(2));
            cell.left += 1;
        }
        first = false;
        SetTextColor(dc, s.text);
        switch (code) {
        case kColName:
            DrawNameCell(dc, cell, e, s, panel);
            break;
        case kColSize:
            SizeText(e, text);
            CellText(dc, cell, text, s.brush, DT_RIGHT, 5);
            break;
        case kColModified:
            StrFormatDosDateTime(text, e->date, e->time, sizeof text);
            CellText(dc, cell, text, s.brush, DT_LEFT, 5);
            break;
        case kColAttributes:
            StrFormatDosAttributes(text, e->flags & 0x27);
            CellText(dc, cell, text, s.brush, DT_RIGHT, 5);
            break;
        case kColDosName: {
            const char *shortName = EntryShortName(e);
            CellText(dc, cell, shortName[0] ? shortName : EntryName(e), s.brush, DT_LEFT, 2);
            break;
        }
        }
        x += w;
    }
    if (x < area.right) {
        RECT rest = {x, top, area.right, top + gApp->rowHeight};
        FillRect(dc, &rest, s.brush);
    }
}

void PaintFull(HDC dc, RECT area, int panel, PanelIter &it, bool custom) {
    PanelState &ps = gApp->panels[panel];
    int rowH = gApp->rowHeight;
    int y = area.top;
    uint32_t index = (uint32_t)gApp->topIndex[panel];
    for (FileEntry *e = PanelIterAt(&it, index); e && y + rowH <= area.bottom; e = PanelIterNext(&it)) {
        DrawFullRow(dc, area, y, panel, (uint32_t)it.position, e, custom);
        y += rowH;
    }
    // Below the rows: each column's separator continues to the bottom.
    int x = area.left - gApp->scrollPos[panel];
    bool first = true;
    RECT below = {area.left, y, area.right, area.bottom};
    FillRect(dc, &below, PanelBrush(0));
    for (int i = 0; i < kPanelColumnSlots && x < area.right; i++) {
        uint16_t code = custom ? ps.customColumns[i] : ps.fullColumns[i];
        int w = custom ? ps.customWidths[i] : ps.fullWidths[i];
        if (!code || !w || (!custom && code == kColDosName))
            continue;
        if (!first) {
            RECT line = {x, y, x + 1, area.bottom};
            FillRect(dc, &line, PanelBrush(2));
        }
        first = false;
        x += w;
    }
}

void PaintBrief(HDC dc, RECT area, int panel, PanelIter &it) {
    PanelState &ps = gApp->panels[panel];
    int rowH = gApp->rowHeight;
    int colW = ps.briefColumnWidth ? ps.briefColumnWidth : 100;
    bool many = ps.columnCount > 1;
    int x = area.left;
    uint32_t index = (uint32_t)gApp->topIndex[panel];
    FileEntry *e = PanelIterAt(&it, index);
    for (int col = 0; x < area.right; col++) {
        int right = many ? x + colW : area.right;
        if (col > 0) {
            RECT line = {x, area.top, x + 1, area.bottom};
            FillRect(dc, &line, PanelBrush(2));
        }
        int left = col > 0 ? x + 1 : x;
        int y = area.top;
        for (uint32_t r = 0; r < ps.visibleRows && e && y + rowH <= area.bottom; r++) {
            RowStyle s = StyleFor(panel, (uint32_t)it.position, e);
            RECT cell = {left, y, right, y + rowH};
            DrawNameCell(dc, cell, e, s, panel);
            y += rowH;
            e = PanelIterNext(&it);
        }
        RECT below = {left, y, right, area.bottom};
        FillRect(dc, &below, PanelBrush(0));
        x = right;
        if (!many || !e)
            break;
    }
    if (x < area.right) {
        RECT rest = {x, area.top, area.right, area.bottom};
        FillRect(dc, &rest, PanelBrush(0));
    }
}

} // namespace

void PanelDrawCellText(HDC dc, const RECT *cell, const char *text, HBRUSH brush) {
    FillRect(dc, cell, brush);
    RECT r = *cell;
    r.left += 2;
    r.right -= 2;
    DrawTextA(dc, text, -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PanelEntryDisplayName(const FileEntry *e, char *out, size_t size) {
    if (!size)
        return;
    out[0] = 0;
    if (!IconsOn()) {
        bool hidden = !(e->flags & kEntryRemote) && (e->flags & 0x6);
        snprintf(out, size, "%s%s", hidden ? "* " : "  ", EntryDisplayName(e));
    } else {
        snprintf(out, size, "%s", EntryDisplayName(e));
    }
}

void PanelPaintPrepareWidths(int panel, HWND listWindow) {
    PanelState &ps = gApp->panels[panel];
    EnsureColumns(ps);
    HDC dc = GetDC(listWindow);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, PanelFont());
    if (!ps.dateWidth)
        ps.dateWidth = (uint16_t)DateProbe(dc);
    if (!ps.attrWidth)
        ps.attrWidth = (uint16_t)AttrProbe(dc);
    int nameW = -1;
    // An empty list would fix the name column at its minimum for good.
    if (PanelListCount(panel) == 0) {
        SelectObject(dc, old);
        ReleaseDC(listWindow, dc);
        return;
    }
    for (int i = 0; i < kPanelColumnSlots; i++) {
        uint16_t code = ps.fullColumns[i];
        uint16_t &w = ps.fullWidths[i];
        if ((code == kColName || code == kColSize) && w <= 11) {
            if (code == kColName && nameW < 0)
                nameW = MaxNameWidth(dc, panel);
            w = (uint16_t)(code == kColName ? nameW : SizeProbe(dc));
        } else if (code == kColModified && w < 12) {
            w = ps.dateWidth;
        } else if (code == kColAttributes && w < 12) {
            w = ps.attrWidth;
        }
        uint16_t ccode = ps.customColumns[i];
        uint16_t &cw = ps.customWidths[i];
        if (ccode && cw == 0) {
            switch (ccode) {
            case kColName:
                if (nameW < 0)
                    nameW = MaxNameWidth(dc, panel);
                cw = (uint16_t)nameW;
                break;
            case kColSize: cw = (uint16_t)SizeProbe(dc); break;
            case kColModified: cw = ps.dateWidth; break;
            case kColAttributes: cw = ps.attrWidth; break;
            case kColDosName: cw = (uint16_t)(TextWidth(dc, "WWWWWWWW.WWW") + 11); break;
            }
        }
    }
    if (!ps.briefColumnWidth) {
        if (nameW < 0)
            nameW = MaxNameWidth(dc, panel);
        ps.briefColumnWidth = (uint16_t)(nameW > 400 ? 400 : nameW);
    }
    SelectObject(dc, old);
    ReleaseDC(listWindow, dc);
}

int PanelColumnAt(int panel, int x, int *left, int *right) {
    PanelState &ps = gApp->panels[panel];
    bool custom = (gApp->panelMode[panel] & 0xF) == kViewCustom;
    int cx = -gApp->scrollPos[panel];
    for (int i = 0; i < kPanelColumnSlots; i++) {
        uint16_t code = custom ? ps.customColumns[i] : ps.fullColumns[i];
        int w = custom ? ps.customWidths[i] : ps.fullWidths[i];
        if (!code || !w || (!custom && code == kColDosName))
            continue;
        if (x >= cx && x < cx + w) {
            if (left)
                *left = cx;
            if (right)
                *right = cx + w;
            return i;
        }
        cx += w;
    }
    return -1;
}

int PaintPanel(HWND listWindow) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0)
        return 0;
    PanelState &ps = gApp->panels[panel];
    int mode = gApp->panelMode[panel] & 0xF;
    if (mode == kViewTree) {
        PanelTreeEnsure(panel);
        return 1;
    }
    if (ps.treeControl) {
        DestroyWindow(ps.treeControl);
        ps.treeControl = nullptr;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(listWindow, &paint);
    RECT area;
    GetClientRect(listWindow, &area);
    if (mode == kViewQuick) {
        // The pane shows the other panel's cursor entry through the viewer.
        ViewerQuickViewPaint(listWindow, dc, &area, PanelBrush(0));
        EndPaint(listWindow, &paint);
        return 0;
    }
    PanelIter it;
    PanelIterBegin(&it, panel);
    if (area.bottom > 0) {
        RECT line = {area.left, area.bottom - 1, area.right, area.bottom};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        area.bottom -= 1;
    }
    if (area.bottom - area.top <= gApp->rowHeight + gApp->headerHeight) {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        PanelIterEnd(&it);
        EndPaint(listWindow, &paint);
        return 0;
    }
    HGDIOBJ oldFont = SelectObject(dc, PanelFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    bool custom = mode == kViewCustom;
    if (HeaderOn()) {
        RECT header = {area.left, area.top, area.right, area.top + gApp->headerHeight};
        int x = area.left - gApp->scrollPos[panel];
        if (mode == kViewBrief) {
            int colW = ps.briefColumnWidth ? ps.briefColumnWidth : area.right;
            if (ps.columnCount > 1) {
                for (uint32_t k = 0; x < area.right; k++, x += colW) {
                    if ((uint32_t)gApp->topIndex[panel] + k * ps.visibleRows >= ps.entryCount)
                        break;
                    RECT cell = {x, header.top, x + colW, header.bottom};
                    DrawHeaderCell(dc, cell, kColName, panel, true);
                }
            } else {
                DrawHeaderCell(dc, header, kColName, panel, true);
                x = area.right;
            }
            x = x < area.left ? area.left : x;
        } else {
            for (int i = 0; i < kPanelColumnSlots && x < area.right; i++) {
                uint16_t code = custom ? ps.customColumns[i] : ps.fullColumns[i];
                int w = custom ? ps.customWidths[i] : ps.fullWidths[i];
                if (!code || !w || (!custom && code == kColDosName))
                    continue;
                RECT cell = {x, header.top, x + w, header.bottom};
                DrawHeaderCell(dc, cell, code, panel, false);
                x += w;
            }
        }
        if (x < area.right) {
            RECT rest = {x, header.top, area.right, header.bottom};
            FillRect(dc, &rest, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &rest, BDR_RAISEDINNER, BF_RECT);
        }
        area.top += gApp->headerHeight;
    }
    if (!PanelIterAt(&it, (uint32_t)gApp->topIndex[panel])) {
        FillRect(dc, &area, PanelBrush(0));
    } else if (mode == kViewBrief) {
        PaintBrief(dc, area, panel, it);
    } else {
        PaintFull(dc, area, panel, it, custom);
    }
    SelectObject(dc, oldFont);
    PanelIterEnd(&it);
    EndPaint(listWindow, &paint);
    return 0;
}

void PanelEntryRect(HWND listWindow, int panel, RECT *out, uint32_t index) {
    SetRectEmpty(out);
    PanelState &ps = gApp->panels[panel];
    int mode = gApp->panelMode[panel] & 0xF;
    if (mode == kViewQuick || mode == kViewTree || !listWindow)
        return;
    RECT client;
    GetClientRect(listWindow, &client);
    int head = HeaderOn() ? gApp->headerHeight : 0;
    int32_t rel = (int32_t)index - gApp->topIndex[panel];
    if (mode == kViewBrief) {
        if (!ps.visibleRows)
            return;
        int32_t col = rel / (int32_t)ps.visibleRows, row = rel % (int32_t)ps.visibleRows;
        if (rel < 0) {
            col = -1;
            row = 0;
        }
        out->left = col * ps.briefColumnWidth;
        out->right = ps.columnCount > 1 ? out->left + ps.briefColumnWidth : client.right;
        out->top = head + gApp->rowHeight * row;
    } else {
        out->left = 0;
        out->right = client.right;
        out->top = head + gApp->rowHeight * rel;
    }
    out->bottom = out->top + gApp->rowHeight;
}

void PanelInvalidateRow(int panel, uint32_t index) {
    HWND list = gApp->panels[panel].listWindow;
    RECT r;
    PanelEntryRect(list, panel, &r, index);
    if (r.right > r.left)
        InvalidateRect(list, &r, FALSE);
}

void PanelInvalidateRowIcon(int panel, uint32_t index) {
    HWND list = gApp->panels[panel].listWindow;
    RECT r;
    PanelEntryRect(list, panel, &r, index);
    if (r.right > r.left) {
        r.left += 2;
        r.right = r.left + 16;
        InvalidateRect(list, &r, FALSE);
    }
}

void PanelToggleCustomColumn(int panel, uint16_t code) {
    PanelState &ps = gApp->panels[panel];
    int at = -1;
    for (int i = 0; i < kPanelColumnSlots; i++)
        if (ps.customColumns[i] == code)
            at = i;
    if (at >= 0) {
        for (int i = at; i + 1 < kPanelColumnSlots; i++) {
            ps.customColumns[i] = ps.customColumns[i + 1];
            ps.customWidths[i] = ps.customWidths[i + 1];
        }
        ps.customColumns[kPanelColumnSlots - 1] = 0;
        ps.customWidths[kPanelColumnSlots - 1] = 0;
    } else {
        int empty = -1;
        for (int i = 0; i < kPanelColumnSlots && empty < 0; i++)
            if (!ps.customColumns[i])
                empty = i;
        if (empty < 0)
            return;
        for (int i = empty; i < kPanelColumnSlots; i++)
            ps.customColumns[i] = 0;
        ps.customColumns[empty] = code;
        ps.customWidths[empty] = 0; // measured at the next paint
    }
    if (ps.listWindow)
        PostMessageA(ps.listWindow, WM_USER + 1, 0, 0);
}
