#include "tools/HexEditor.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "AppState.h"
#include "app/Language.h"
#include "app/Menus.h"
#include "base/Texts.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileSystem.h"
#include "tools/RunServices.h"
#include "tools/EditChrome.h"
#include "tools/EditPrint.h"
#include "tools/Popup.h"
#include "wingui/GuiDraw.h"

#include <commctrl.h>
#include <shellapi.h>
#include <vector>
#include "tools/SafeSave.h"

static const char kHexEdClass[] = "ZqHexEd";
static const char kHexFrameClass[] = "ZqHex";

static HexEdState *StateOf(HWND window) { return (HexEdState *)GetWindowLongPtrA(window, GWLP_USERDATA); }

static const HexFormat &Fmt(const HexEdState *s) { return kHexFormats[s->format]; }

static HFONT DumpFont() {
    return gApp && gApp->fontDump ? gApp->fontDump : (HFONT)GetStockObject(ANSI_FIXED_FONT);
}

// The editor in the hex colours, a viewer's dump in the viewer's, the quick
// view's dump in the panel's (files on the panel background).
static void HexColors(const HexEdState *s, COLORREF *text, COLORREF *back) {
    *text = RGB(0, 0, 0);
    *back = RGB(255, 255, 255);
    if (!gApp)
        return;
    const COLORREF *pair = s->quickView ? nullptr : s->dumpView ? gApp->colorViewer : gApp->colorHex;
    if (!pair) {
        if (gApp->panelColors[0] != gApp->panelColors[2]) {
            *text = gApp->panelColors[2];
            *back = gApp->panelColors[0];
        }
    } else if (pair[0] != pair[1]) {
        *text = pair[0];
        *back = pair[1];
    }
}

// Bytes the rows stand for: the whole file for a dump, the block otherwise.
static uint64_t DataSize(const HexEdState *s) { return s->dumpView ? s->fileSize : s->block.length; }

static uint32_t Rows(const HexEdState *s) {
    uint64_t rows = DataSize(s) / (uint32_t)s->bytesPerRow + 1;
    return rows > 0x7FFFFFFF ? 0x7FFFFFFF : (uint32_t)rows;
}

static uint32_t CaretOffset(const HexEdState *s) {
    return HexCaretOffset((uint32_t)s->caretRow, (uint32_t)s->caretColumn, s->topRow, (uint32_t)s->bytesPerRow,
                          s->format, s->inCharColumn);
}

static void ShowAddress(HexEdState *s) {
    if (!s->frame)
        return;
    HMENU menu = GetMenu(s->frame);
    if (!menu)
        return;
    char text[40];
    snprintf(text, sizeof text, s->addressStyle == kHexAddressHex ? "Adr.%lX" : "Adr.%lu",
             (unsigned long)CaretOffset(s));
    ModifyMenuA(menu, 102, MF_BYCOMMAND | MF_STRING | MF_RIGHTJUSTIFY, 102, text);
    DrawMenuBar(s->frame);
}

static void PlaceCaret(HexEdState *s) {
    if (s->caretShown) {
        int x = (s->addressDigits + s->caretColumn + 2) * s->cellWidth + 3;
        if (s->inCharColumn)
            x += (s->rowChars + 2) * s->cellWidth;
        SetCaretPos(x, s->caretRow * s->cellHeight + 3);
    }
    ShowAddress(s);
}

static void HexLayout(HexEdState *s) {
    HWND control = s->control;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, DumpFont());
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    s->cellWidth = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 8;
    s->cellHeight = tm.tmHeight + tm.tmExternalLeading > 0 ? tm.tmHeight + tm.tmExternalLeading : 16;
    RECT rc;
    GetClientRect(control, &rc);
    int usable = rc.right - GetSystemMetrics(SM_CXVSCROLL) - 3;
    int columns = usable / s->cellWidth;
    s->addressDigits = HexAddressDigits(DataSize(s), s->addressStyle);
    s->bytesPerRow = (int)HexBytesPerRow(columns, s->addressDigits, s->format);
    s->rowChars = (int)HexRowChars((uint32_t)s->bytesPerRow, s->format);
    s->visibleRows = (rc.bottom - 3) / s->cellHeight;
    if (s->visibleRows < 1)
        s->visibleRows = 1;
    int32_t rows = (int32_t)Rows(s);
    s->maxTopRow = rows > s->visibleRows ? rows - s->visibleRows : 0;
    if (s->topRow > s->maxTopRow)
        s->topRow = s->maxTopRow;
    SCROLLINFO si = {sizeof si, SIF_ALL | SIF_DISABLENOSCROLL, 0, rows, (UINT)s->visibleRows, s->topRow, 0};
    SetScrollInfo(control, SB_VERT, &si, TRUE);
    s->caretRow = 0;
    s->caretColumn = 0;
    s->inCharColumn = false;
    PlaceCaret(s);
}

// A dump view holds only the rows on screen: read them again when the top
// row or the number of rows changed. False when the file cannot be read any
// more (the control then goes).
static bool DumpLoadRows(HexEdState *s) {
    uint64_t offset = (uint64_t)s->topRow * (uint32_t)s->bytesPerRow;
    uint64_t want = (uint64_t)s->visibleRows * (uint32_t)s->bytesPerRow;
    if (offset >= s->fileSize)
        want = 0;
    else if (want > s->fileSize - offset)
        want = s->fileSize - offset;
    if (s->block.data && s->dataOffset == offset && s->block.length == want)
        return true;
    HANDLE file = CreateFileA(s->fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    HexBlockFree(&s->block);
    s->block.data = (uint8_t *)malloc(want ? (size_t)want : 1);
    DWORD got = 0;
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    bool ok = s->block.data && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
              (!want || ReadFile(file, s->block.data, (DWORD)want, &got, nullptr));
    CloseHandle(file);
    if (!ok) {
        HexBlockFree(&s->block);
        return false;
    }
    s->block.length = got; // a file that shrank shows what is there
    s->dataOffset = offset;
    return true;
}

static void HexPaint(HexEdState *s) {
    if (s->dumpView && !DumpLoadRows(s)) {
        ValidateRect(s->control, nullptr);
        DestroyWindow(s->control);
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s->control, &ps);
    COLORREF text, back;
    HexColors(s, &text, &back);
    RECT rc;
    GetClientRect(s->control, &rc);
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
    HGDIOBJ old = SelectObject(dc, DumpFont());
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    char row[2048];
    for (int r = 0; s->dumpView && r < s->visibleRows; r++) {
        uint32_t inBlock = (uint32_t)r * (uint32_t)s->bytesPerRow;
        if (inBlock >= s->block.length)
            break;
        size_t n = HexFormatRow(row, sizeof row, s->block.data, s->block.length, inBlock, (uint32_t)s->bytesPerRow,
                                s->format, s->dataOffset + inBlock, s->addressDigits, kHexAddressDecimal);
        TextOutA(dc, 3, r * s->cellHeight + 3, row, (int)n);
    }
    for (int r = 0; !s->dumpView && r < s->visibleRows; r++) {
        uint64_t offset = (uint64_t)(s->topRow + r) * (uint32_t)s->bytesPerRow;
        if (offset > s->block.length || (offset == s->block.length && s->block.length))
            break;
        if (!s->block.length)
            break; // an empty file shows no rows
        size_t n = HexFormatRow(row, sizeof row, s->block.data, s->block.length, (uint32_t)offset,
                                (uint32_t)s->bytesPerRow, s->format, offset, s->addressDigits, s->addressStyle);
        TextOutA(dc, s->cellWidth + 3 - s->cellWidth, r * s->cellHeight + 3, row, (int)n);
    }
    SelectObject(dc, old);
    EndPaint(s->control, &ps);
}

// Moves the top row so that absolute row `row` is on screen.
static void ShowRow(HexEdState *s, int32_t row) {
    int32_t top = s->topRow;
    if (row < top)
        top = row;
    else if (row >= top + s->visibleRows)
        top = row - s->visibleRows + 1;
    if (top > s->maxTopRow)
        top = s->maxTopRow;
    if (top < 0)
        top = 0;
    if (top != s->topRow) {
        s->topRow = top;
        SetScrollPos(s->control, SB_VERT, top, TRUE);
        InvalidateRect(s->control, nullptr, FALSE);
    }
    s->caretRow = row - s->topRow;
}

static bool InsideData(const HexEdState *s) { return CaretOffset(s) < s->block.length; }

static void Beep() { MessageBeep(MB_ICONHAND); }

// Moves to (absolute row, column); refuses positions beyond the data.
static bool MoveTo(HexEdState *s, int32_t row, int column) {
    if (row < 0)
        return false;
    int savedRow = s->caretRow, savedColumn = s->caretColumn;
    int32_t savedTop = s->topRow;
    s->caretColumn = column;
    ShowRow(s, row);
    if (!InsideData(s) && !(s->block.length == 0 && row == 0 && column == 0)) {
        s->caretColumn = savedColumn;
        ShowRow(s, savedTop + savedRow);
        return false;
    }
    PlaceCaret(s);
    return true;
}

static int Separator(const HexEdState *s) { return s->format == kHexFormatChars ? -1 : Fmt(s).fieldWidth - 1; }

static int LastColumn(const HexEdState *s) {
    return s->inCharColumn ? s->bytesPerRow - 1 : s->rowChars - (s->format == kHexFormatChars ? 1 : 0) - 1;
}

static void CaretRight(HexEdState *s) {
    int32_t row = s->topRow + s->caretRow;
    int column = s->caretColumn + 1;
    if (!s->inCharColumn && Separator(s) >= 0 && column % Fmt(s).fieldWidth == Separator(s))
        column++;
    if (column > LastColumn(s)) {
        row++;
        column = 0;
    }
    if (!MoveTo(s, row, column))
        Beep();
}

static void CaretLeft(HexEdState *s) {
    int32_t row = s->topRow + s->caretRow;
    int column = s->caretColumn - 1;
    if (!s->inCharColumn && Separator(s) >= 0 && column >= 0 && column % Fmt(s).fieldWidth == Separator(s))
        column--;
    if (column < 0) {
        if (row == 0) {
            Beep();
            return;
        }
        row--;
        column = LastColumn(s);
    }
    if (!MoveTo(s, row, column))
        Beep();
}

static void ToggleColumn(HexEdState *s) {
    if (s->format != kHexFormatBytes)
        return;
    if (s->inCharColumn)
        s->caretColumn = s->caretColumn * 3;
    else
        s->caretColumn = s->caretColumn / 3;
    s->inCharColumn = !s->inCharColumn;
    PlaceCaret(s);
}

static void HexTypeChar(HexEdState *s, unsigned char c) {
    if (!s->frame || c < 32)
        return;
    uint32_t offset = CaretOffset(s);
    if (s->inCharColumn) {
        if (offset >= s->block.length) {
            Beep();
            return;
        }
        s->block.data[offset] = c;
    } else {
        if (c == ' ')
            return; // Space moves right (WM_KEYDOWN)
        char text[kHexElementMax];
        if (!HexFormatElement(text, sizeof text, s->block.data, s->block.length, offset, s->format)) {
            Beep();
            return;
        }
        text[s->caretColumn % Fmt(s).fieldWidth] = (char)c;
        uint64_t value;
        if (!HexParseElement(s->format, text, &value) ||
            !HexStoreElement(s->block.data, s->block.length, offset, s->format, value)) {
            Beep();
            return;
        }
    }
    s->modified = 1;
    InvalidateRect(s->control, nullptr, FALSE);
    int32_t row = s->topRow + s->caretRow;
    int column = s->caretColumn + 1;
    if (!s->inCharColumn && Separator(s) >= 0 && column % Fmt(s).fieldWidth == Separator(s))
        column++;
    if (column > LastColumn(s)) {
        row++;
        column = 0;
    }
    MoveTo(s, row, column); // past the end the caret stays on the last element
}

static void HexKeyDown(HexEdState *s, WPARAM key) {
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    int32_t row = s->topRow + s->caretRow;
    int32_t lastRow = s->block.length ? (int32_t)((s->block.length - 1) / (uint32_t)s->bytesPerRow) : 0;
    switch (key) {
    case VK_BACK:
    case VK_DELETE:
        if (s->frame)
            PostMessageA(s->frame, WM_COMMAND, 15010, 0);
        break;
    case VK_INSERT:
        if (s->frame)
            PostMessageA(s->frame, WM_COMMAND, 15009, 0);
        break;
    case VK_TAB:
        ToggleColumn(s);
        break;
    case VK_SPACE:
        if (!s->inCharColumn)
            CaretRight(s);
        break;
    case VK_RIGHT:
        CaretRight(s);
        break;
    case VK_LEFT:
        CaretLeft(s);
        break;
    case VK_UP:
        if (!MoveTo(s, row - 1, s->caretColumn))
            Beep();
        break;
    case VK_DOWN:
        if (!MoveTo(s, row + 1, s->caretColumn))
            Beep();
        break;
    case VK_HOME:
        MoveTo(s, ctrl ? 0 : row, 0);
        break;
    case VK_END:
        if (ctrl) {
            uint32_t last = s->block.length ? s->block.length - 1 : 0;
            uint32_t inRow = last % (uint32_t)s->bytesPerRow;
            int column = s->inCharColumn ? (int)inRow : (int)(inRow / Fmt(s).elementSize * Fmt(s).fieldWidth);
            MoveTo(s, lastRow, column);
        } else if (!MoveTo(s, row, s->inCharColumn ? s->bytesPerRow - 1
                                                   : (s->bytesPerRow / Fmt(s).elementSize - 1) * Fmt(s).fieldWidth)) {
            Beep();
        }
        break;
    case VK_PRIOR:
        MoveTo(s, ctrl ? 0 : (row - s->visibleRows < 0 ? 0 : row - s->visibleRows), ctrl ? 0 : s->caretColumn);
        break;
    case VK_NEXT: {
        int32_t target = ctrl ? lastRow : row + s->visibleRows;
        if (target > lastRow)
            target = lastRow;
        if (!MoveTo(s, target, ctrl ? 0 : s->caretColumn))
            MoveTo(s, target, 0);
        break;
    }
    }
}

static void HexVScroll(HexEdState *s, WPARAM wParam) {
    int32_t top = s->topRow;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: top--; break;
    case SB_LINEDOWN: top++; break;
    case SB_PAGEUP: top -= s->visibleRows; break;
    case SB_PAGEDOWN: top += s->visibleRows; break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = s->maxTopRow; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {sizeof si, SIF_TRACKPOS};
        GetScrollInfo(s->control, SB_VERT, &si);
        top = si.nTrackPos; // 32-bit position: HIWORD would stop at 65,535 rows
        break;
    }
    default: return;
    }
    if (top > s->maxTopRow)
        top = s->maxTopRow;
    if (top < 0)
        top = 0;
    if (top == s->topRow)
        return;
    int32_t caretAbs = s->topRow + s->caretRow;
    s->topRow = top;
    SetScrollPos(s->control, SB_VERT, top, TRUE);
    InvalidateRect(s->control, nullptr, FALSE);
    s->caretRow = caretAbs - top;
    if (s->caretRow < 0)
        s->caretRow = 0;
    if (s->caretRow >= s->visibleRows)
        s->caretRow = s->visibleRows - 1;
    if (s->dumpView)
        return;
    if (!InsideData(s))
        s->caretColumn = 0;
    PlaceCaret(s);
}

// A dump view only scrolls; other keys (Escape, the viewer's own) go to the
// window around it.
static void DumpKeyDown(HexEdState *s, WPARAM key, LPARAM lParam) {
    int code = -1;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
    case VK_UP: code = SB_LINEUP; break;
    case VK_DOWN: code = SB_LINEDOWN; break;
    case VK_PRIOR: code = ctrl ? SB_TOP : SB_PAGEUP; break;
    case VK_NEXT: code = ctrl ? SB_BOTTOM : SB_PAGEDOWN; break;
    case VK_HOME: code = SB_TOP; break;
    case VK_END: code = SB_BOTTOM; break;
    }
    if (code >= 0)
        HexVScroll(s, (WPARAM)code);
    else if (!s->quickView)
        SendMessageA(GetParent(s->control), WM_KEYDOWN, key, lParam);
}

static void HexClick(HexEdState *s, int x, int y) {
    int column = (x - 3) / s->cellWidth - s->addressDigits - 2;
    int row = (y - 3) / s->cellHeight;
    int saveRow = s->caretRow, saveColumn = s->caretColumn;
    bool saveIn = s->inCharColumn;
    if (column >= 0 && column < s->rowChars) {
        s->inCharColumn = false;
        if (Separator(s) >= 0 && column % Fmt(s).fieldWidth == Separator(s))
            column--;
    } else if (s->format == kHexFormatBytes && column >= s->rowChars + 2 &&
               column < s->rowChars + 2 + s->bytesPerRow) {
        s->inCharColumn = true;
        column -= s->rowChars + 2;
    } else {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    s->caretRow = row;
    s->caretColumn = column;
    if (row >= s->visibleRows || !InsideData(s)) {
        s->caretRow = saveRow;
        s->caretColumn = saveColumn;
        s->inCharColumn = saveIn;
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    PlaceCaret(s);
}

LRESULT CALLBACK HexEdProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        HexEdState *s = (HexEdState *)((CREATESTRUCTA *)lParam)->lpCreateParams;
        s->control = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)s);
    }
    HexEdState *s = StateOf(window);
    if (!s)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        HexLayout(s);
        return 0;
    case WM_PAINT:
        HexPaint(s);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFOCUS:
        if (s->dumpView) {
            if (gApp)
                gApp->wheelTarget = window;
            return 0;
        }
        CreateCaret(window, nullptr, 2, s->cellHeight);
        ShowCaret(window);
        s->caretShown = true;
        if (gApp)
            gApp->wheelTarget = window;
        PlaceCaret(s);
        return 0;
    case WM_KILLFOCUS:
        if (s->dumpView)
            return 0;
        s->caretShown = false;
        DestroyCaret();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        if (s->dumpView)
            DumpKeyDown(s, wParam, lParam);
        else
            HexKeyDown(s, wParam);
        return 0;
    case WM_CHAR:
        HexTypeChar(s, (unsigned char)wParam);
        return 0;
    case WM_VSCROLL:
        HexVScroll(s, wParam);
        return 0;
    case WM_LBUTTONDOWN:
        if (s->quickView)
            return 0; // the panel keeps the focus
        SetFocus(window);
        if (!s->dumpView)
            HexClick(s, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (s->dumpView)
            s->control = nullptr; // gone (a file that could not be read any more)
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void HexEdRegister(HINSTANCE instance) {
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, kHexEdClass, &wc))
        return;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = HexEdProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kHexEdClass;
    RegisterClassA(&wc);
}

// ---- dump view

HexEdState *HexDumpOpen(HWND parent, const char *path, uint64_t fileSize, bool quickView) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    HexEdState *s = (HexEdState *)calloc(1, sizeof(HexEdState));
    if (!s)
        return nullptr;
    s->dumpView = true;
    s->quickView = quickView;
    s->fileSize = fileSize;
    lstrcpynA(s->fileName, path, sizeof s->fileName);
    if (gApp) {
        s->format = gApp->dumpOptions[0] < kHexFormatCount ? gApp->dumpOptions[0] : 0;
        s->addressStyle = kHexAddressDecimal; // a dump's addresses are always decimal
    }
    s->bytesPerRow = 16;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HexEdRegister(instance);
    RECT rc = {};
    GetClientRect(parent, &rc);
    HWND control = CreateWindowExA(quickView ? 0 : WS_EX_CLIENTEDGE, kHexEdClass, "",
                                   WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, rc.right, rc.bottom, parent, nullptr,
                                   instance, s);
    if (!control) {
        free(s);
        return nullptr;
    }
    HexLayout(s);
    return s;
}

void HexDumpClose(HexEdState *s) {
    if (!s)
        return;
    if (s->control && IsWindow(s->control)) {
        SetWindowLongPtrA(s->control, GWLP_USERDATA, 0);
        if (gApp && gApp->wheelTarget == s->control)
            gApp->wheelTarget = nullptr;
        DestroyWindow(s->control);
    }
    HexBlockFree(&s->block);
    free(s);
}

// ---- frame window


static void SetCaption(HexEdState *s) { WndSetDocTitle(s->frame, Txt::txtHexEdit, s->fileName, nullptr); }

// Gives the block back: a view is unmapped and the file let go, memory freed.
static void HexRelease(HexEdState *s) {
    if (s->mapSection) {
        UnmapViewOfFile(s->block.data);
        CloseHandle(s->mapSection);
        CloseHandle(s->mapFile);
        s->mapSection = s->mapFile = nullptr;
        s->block = HexBlock{};
        return;
    }
    HexBlockFree(&s->block);
}

// A mapped block becomes memory of its own (insert and delete change its
// length, and a save replaces the file it maps). False when memory ran out;
// the view stays then.
static bool HexOwnBlock(HexEdState *s) {
    if (!s->mapSection)
        return true;
    HexBlock own = {};
    if (s->block.length) {
        own.data = (uint8_t *)malloc(s->block.length);
        if (!own.data)
            return false;
        memcpy(own.data, s->block.data, s->block.length);
        own.length = s->block.length;
    }
    HexRelease(s);
    s->block = own;
    return true;
}

// The file as a copy-on-write view: only the pages shown are read. The file
// stays open against writers, so the view cannot change under the editor.
static bool HexMapFile(HANDLE file, uint32_t length, HexEdState *s) {
    HANDLE section = CreateFileMappingA(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    if (!section)
        return false;
    void *view = MapViewOfFile(section, FILE_MAP_COPY, 0, 0, length);
    if (!view) {
        CloseHandle(section);
        return false;
    }
    HexRelease(s);
    s->block.data = (uint8_t *)view;
    s->block.length = length;
    s->mapFile = file;
    s->mapSection = section;
    return true;
}

// Loads the file into a fresh block; the old block stays on failure.
static bool HexLoadFile(HexEdState *s, const char *path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool shared = file == INVALID_HANDLE_VALUE;
    if (shared) // another program writes it: read what is there now
        file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok && size.QuadPart && !shared && HexMapFile(file, (uint32_t)size.QuadPart, s)) {
        s->modified = 0;
        s->topRow = 0;
        return true;
    }
    HexBlock block = {};
    if (ok && size.QuadPart) {
        block.data = (uint8_t *)malloc((size_t)size.QuadPart);
        block.length = (uint32_t)size.QuadPart;
        DWORD got = 0;
        ok = block.data && ReadFile(file, block.data, block.length, &got, nullptr) && got == block.length;
        if (!ok)
            HexBlockFree(&block);
    }
    CloseHandle(file);
    if (!ok)
        return false;
    HexRelease(s);
    s->block = block;
    s->modified = 0;
    s->topRow = 0;
    return true;
}

static void Relayout(HexEdState *s) {
    HexLayout(s);
    InvalidateRect(s->control, nullptr, FALSE);
}

// Save (askName false) and Save As: one routine, so that a cancelled name
// dialog simply ends the save instead of bouncing between the two.
static int HexSave(HexEdState *s, bool askName) {
    if (askName || !s->fileName[0]) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", s->fileName);
        if (!gEditorAskFileName(s->frame, path, true))
            return 0;
        snprintf(s->fileName, sizeof s->fileName, "%s", path);
        SetCaption(s);
    }
    uint32_t error = HexOwnBlock(s) ? FileSaveReplacing(s->fileName, s->block.data, s->block.length)
                                    : (uint32_t)ERROR_NOT_ENOUGH_MEMORY;
    if (error) {
        char detail[600];
        SaveErrorText(error, "", detail, sizeof detail);
        EditorShowText(s->frame, Txt::errNotSaved, s->fileName, MB_OK | MB_ICONSTOP, detail + 2);
        return 0;
    }
    s->modified = 0;
    return 1;
}

static void HexFindRun(HexEdState *s, const char *text, bool down) {
    bool inChars = false;
    int64_t at = HexFindText(s->block.data, s->block.length, s->format, CaretOffset(s), text, down, &inChars);
    if (at < 0) {
        char message[128];
        TextGet(Txt::errEOF, message, sizeof message);
        PopupShow(s->frame, message);
        MessageBeep(MB_ICONHAND);
        return;
    }
    s->matchOffset = (uint32_t)at;
    int32_t row = (int32_t)(at / s->bytesPerRow);
    uint32_t inRow = (uint32_t)at % (uint32_t)s->bytesPerRow;
    s->inCharColumn = inChars;
    int column = inChars ? (int)inRow : (int)(inRow / Fmt(s).elementSize * Fmt(s).fieldWidth);
    MoveTo(s, row, column);
}

// The rows of a printout: the address in the window's style, the elements
// in its format, for format 0 the characters; rows as wide as a printed line.
class HexPrintRows : public PrintSource {
  public:
    explicit HexPrintRows(const HexEdState *state) : s(state) {}
    uint32_t Lines(int charsPerLine) override {
        digits = HexAddressDigits(s->block.length, s->addressStyle);
        bytesPerRow = HexBytesPerRow(charsPerLine, digits, s->format);
        return (uint32_t)(((uint64_t)s->block.length + bytesPerRow - 1) / bytesPerRow);
    }
    std::wstring Line(uint32_t index) override {
        uint64_t offset = (uint64_t)index * bytesPerRow;
        if (offset >= s->block.length)
            return std::wstring();
        std::string row((size_t)bytesPerRow * 26 + (size_t)digits + 16, '\0');
        size_t n = HexFormatRow(&row[0], row.size(), s->block.data, s->block.length, (uint32_t)offset, bytesPerRow,
                                s->format, offset, digits, s->addressStyle);
        std::wstring wide(n, L'\0');
        int got = n ? MultiByteToWideChar(CP_ACP, 0, row.data(), (int)n, &wide[0], (int)n) : 0;
        wide.resize(got > 0 ? (size_t)got : 0);
        return wide;
    }

  private:
    const HexEdState *s;
    int digits = 1;
    uint32_t bytesPerRow = 1;
};

static const ToolButton kHexButtons[] = {
    {STD_FILENEW, 11922}, {STD_FILEOPEN, 11923}, {STD_FILESAVE, 11924}, {0, 0},         {STD_PRINT, 110}, {0, 0},
    {STD_FIND, 11946},    {STD_REPLACE, 11956},  {0, 0},              {STD_PASTE, 15009}, {STD_DELETE, 15010}};

static void MakeToolBar(HexEdState *s) {
    s->toolBar = EditToolBarCreate(s->frame, kHexButtons, sizeof kHexButtons / sizeof kHexButtons[0]);
}

// The hex windows open now (font and colour apply to all of them).
static std::vector<HexEdState *> HexWindows() {
    std::vector<HexEdState *> states;
    if (!gApp)
        return states;
    EnterCriticalSection(&gApp->dialogListLock);
    for (uint32_t i = 0; i < gApp->modelessDialogCount; i++)
        if (gApp->modelessDialogs[i].kind == kToolWndHex && gApp->modelessDialogs[i].data)
            states.push_back((HexEdState *)gApp->modelessDialogs[i].data);
    LeaveCriticalSection(&gApp->dialogListLock);
    return states;
}

static void ChooseDumpFont(HWND window) {
    if (!gApp)
        return;
    LOGFONTA font = gApp->fonts[kFontDump];
    COLORREF color = gApp->colorHex[0];
    if (!FontChoose(window, &font, &color, CF_FIXEDPITCHONLY))
        return;
    HFONT made = CreateFontIndirectA(&font);
    if (!made)
        return;
    gApp->fonts[kFontDump] = font;
    gApp->colorHex[0] = color;
    HFONT old = gApp->fontDump;
    gApp->fontDump = made;
    for (HexEdState *other : HexWindows())
        if (other->control) {
            HexLayout(other);
            InvalidateRect(other->control, nullptr, FALSE);
        }
    if (old)
        DeleteObject(old);
}

static void ChooseHexBackground(HWND window) {
    if (!gApp)
        return;
    COLORREF back = gApp->colorHex[1];
    if (!EditPickColor(window, &back))
        return;
    gApp->colorHex[1] = back;
    for (HexEdState *other : HexWindows())
        if (other->control)
            InvalidateRect(other->control, nullptr, FALSE);
}

static void ToggleToolBar(HexEdState *s) {
    if (s->toolBar) {
        DestroyWindow(s->toolBar);
        s->toolBar = nullptr;
        if (gApp)
            gApp->barOptions |= kBarHexToolbarHidden;
    } else {
        MakeToolBar(s);
        if (gApp)
            gApp->barOptions &= (uint16_t)~kBarHexToolbarHidden;
    }
    EditLayout(s->frame, s->toolBar, s->control);
    HexLayout(s);
}

struct StyleChoice {
    int format, addressStyle;
};

static INT_PTR CALLBACK HexStyleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        StyleChoice *choice = (StyleChoice *)lParam;
        SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
        char text[80];
        static const int labels[][2] = {{15031, Txt::txtWinStyle}, {15033, Txt::txtAddrStyle},
                                        {99, Txt::butOK},          {IDCANCEL, Txt::butCancel}};
        TextGet(Txt::txtWinStyle, text, sizeof text);
        SetWindowTextA(dialog, text);
        for (const auto &label : labels) {
            TextGet(label[1], text, sizeof text);
            SetDlgItemTextA(dialog, label[0], text);
        }
        HWND formats = GetDlgItem(dialog, 15032), styles = GetDlgItem(dialog, 15034);
        for (int i = 0; i < kHexFormatCount; i++) {
            LRESULT at = SendMessageA(formats, CB_ADDSTRING, 0, (LPARAM)kHexFormats[i].name);
            SendMessageA(formats, CB_SETITEMDATA, (WPARAM)at, i);
        }
        for (int i = 0; i < 2; i++) {
            LRESULT at = SendMessageA(styles, CB_ADDSTRING, 0, (LPARAM)kHexAddressStyleNames[i]);
            SendMessageA(styles, CB_SETITEMDATA, (WPARAM)at, i);
        }
        SendMessageA(formats, CB_SETCURSEL, (WPARAM)choice->format, 0);
        SendMessageA(styles, CB_SETCURSEL, (WPARAM)choice->addressStyle, 0);
        if (HWND owner = GetWindow(dialog, GW_OWNER))
            WndPlaceRelative(owner, dialog, 5, 5);
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case 99: {
            StyleChoice *choice = (StyleChoice *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
            LRESULT f = SendDlgItemMessageA(dialog, 15032, CB_GETCURSEL, 0, 0);
            LRESULT a = SendDlgItemMessageA(dialog, 15034, CB_GETCURSEL, 0, 0);
            if (f >= 0)
                choice->format = (int)SendDlgItemMessageA(dialog, 15032, CB_GETITEMDATA, (WPARAM)f, 0);
            if (a >= 0)
                choice->addressStyle = (int)SendDlgItemMessageA(dialog, 15034, CB_GETITEMDATA, (WPARAM)a, 0);
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

bool HexStyleDialog(HWND owner, HexEdState *s) {
    StyleChoice choice = {s->format, s->addressStyle};
    if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(15030), owner, HexStyleDialogProc,
                        (LPARAM)&choice) != 1)
        return false;
    if (choice.format < 0 || choice.format >= kHexFormatCount || choice.addressStyle < 0 || choice.addressStyle > 1)
        return false;
    s->format = choice.format;
    s->addressStyle = choice.addressStyle;
    return true;
}

static void OnStyleCommand(HexEdState *s) {
    int oldFormat = s->format;
    if (!HexStyleDialog(s->frame, s))
        return;
    if (gApp) {
        gApp->dumpOptions[0] = (uint16_t)s->format;
        gApp->dumpOptions[1] = (uint16_t)s->addressStyle;
    }
    s->topRow = 0;
    if (s->format != oldFormat)
        s->inCharColumn = false;
    Relayout(s);
}

static void OnDropFiles(HexEdState *s, HDROP drop) {
    if (s->modified && EditAskSave(s->frame, s->fileName) == IDCANCEL) {
        DragFinish(drop);
        return;
    }
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        char name[MAX_PATH];
        if (!DragQueryFileA(drop, i, name, sizeof name))
            continue;
        DWORD attributes = GetFileAttributesA(name);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (!HexLoadFile(s, name))
            continue;
        snprintf(s->fileName, sizeof s->fileName, "%s", name);
        SetCaption(s);
        Relayout(s);
        break;
    }
    DragFinish(drop);
    WndBringToFront(s->frame);
}

static LRESULT HexFrameCommand(HWND window, HexEdState *s, int id) {
    switch (id) {
    case 11922: // New
        if (s->modified && EditAskSave(window, s->fileName) == IDCANCEL)
            return 0;
        HexRelease(s);
        s->fileName[0] = 0;
        s->modified = 0;
        SetCaption(s);
        Relayout(s);
        return 1;
    case 11923: { // Open
        if (s->modified && EditAskSave(window, s->fileName) == IDCANCEL)
            return 0;
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", s->fileName);
        if (!gEditorAskFileName(window, path, false))
            return 0;
        if (!HexLoadFile(s, path)) {
            EditorShowText(window, Txt::errNotLoaded, path, MB_OK | MB_ICONSTOP);
            return 0;
        }
        snprintf(s->fileName, sizeof s->fileName, "%s", path);
        SetCaption(s);
        Relayout(s);
        return 1;
    }
    case 11924:
        return HexSave(s, false);
    case 11925:
        return HexSave(s, true);
    case 120:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case 15009:
    case 15010: {
        uint32_t at = CaretOffset(s);
        bool changed = HexOwnBlock(s) && (id == 15009 ? HexInsertElement(&s->block, at, s->format)
                                                      : HexDeleteElement(&s->block, at, s->format));
        if (!changed) {
            MessageBeep(MB_ICONHAND);
            return 0;
        }
        s->modified = 1;
        int32_t row = s->topRow + s->caretRow;
        int column = s->caretColumn;
        HexLayout(s);
        // Back inside the data: left first, then up.
        while (!MoveTo(s, row, column) && (row > 0 || column > 0)) {
            if (column > 0)
                column--;
            else {
                row--;
                column = LastColumn(s);
            }
        }
        InvalidateRect(s->control, nullptr, FALSE);
        return 1;
    }
    case 11945:
    case 11956:
        if (!s->findDialog) {
            memset(&s->findReplace, 0, sizeof s->findReplace);
            s->findReplace.lStructSize = sizeof s->findReplace;
            s->findReplace.hwndOwner = window;
            s->findReplace.Flags = FR_DOWN | FR_HIDEMATCHCASE | FR_HIDEWHOLEWORD;
            s->findReplace.lpstrFindWhat = s->findText;
            s->findReplace.wFindWhatLen = sizeof s->findText;
            s->findReplace.lpstrReplaceWith = s->replaceText;
            s->findReplace.wReplaceWithLen = sizeof s->replaceText;
            s->findDialog = id == 11945 ? FindTextA(&s->findReplace) : ReplaceTextA(&s->findReplace);
        }
        return 0;
    case 11946:
        if (!s->findText[0])
            return HexFrameCommand(window, s, 11945);
        HexFindRun(s, s->findText, true);
        return 0;
    case 530:
        if (s->findDialog)
            SetFocus(s->findDialog);
        return 0;
    case 241:
        ToggleToolBar(s);
        return 0;
    case 402:
        ChooseDumpFont(window);
        return 0;
    case 11935:
        ChooseHexBackground(window);
        return 0;
    case 15012:
        OnStyleCommand(s);
        return 0;
    case 110: { // Print: the rows as the window shows them, as many bytes per row as the paper takes
        if (!s->block.length) {
            MessageBeep(MB_ICONHAND);
            return 0;
        }
        HexPrintRows rows(s);
        return EditorPrint(window, s->fileName, DumpFont(), rows) ? 1 : 0;
    }
    }
    return 0;
}

static void HexFindMessage(HexEdState *s, FINDREPLACEA *request) {
    if (request->Flags & FR_DIALOGTERM) {
        s->findDialog = nullptr;
        return;
    }
    bool down = (request->Flags & FR_DOWN) != 0;
    if (request->Flags & FR_FINDNEXT) {
        HexFindRun(s, request->lpstrFindWhat, down);
        return;
    }
    if (request->Flags & (FR_REPLACE | FR_REPLACEALL)) {
        bool all = (request->Flags & FR_REPLACEALL) != 0;
        if (all)
            MoveTo(s, 0, 0);
        uint64_t value;
        if (!HexParseElement(s->format, request->lpstrReplaceWith, &value)) {
            MessageBeep(MB_ICONHAND);
            return;
        }
        int64_t from = all ? -(int64_t)Fmt(s).elementSize : (int64_t)CaretOffset(s);
        for (;;) {
            bool inChars = false;
            int64_t at = HexFindText(s->block.data, s->block.length, s->format, from, request->lpstrFindWhat, true,
                                     &inChars);
            if (at < 0) {
                if (!all)
                    MessageBeep(MB_ICONHAND);
                break;
            }
            from = at; // each search goes on after the element just replaced
            HexStoreElement(s->block.data, s->block.length, (uint32_t)at, s->format, value);
            s->modified = 1;
            s->matchOffset = (uint32_t)at;
            int32_t row = (int32_t)(at / s->bytesPerRow);
            uint32_t inRow = (uint32_t)at % (uint32_t)s->bytesPerRow;
            s->inCharColumn = false;
            MoveTo(s, row, (int)(inRow / Fmt(s).elementSize * Fmt(s).fieldWidth));
            if (!all)
                break;
        }
        InvalidateRect(s->control, nullptr, FALSE);
    }
}

static bool OwnsPath(HWND window, const char *path) {
    char cls[16];
    if (!GetClassNameA(window, cls, sizeof cls) || strcmp(cls, kHexFrameClass))
        return false;
    HexEdState *s = StateOf(window);
    return s && path[0] && lstrcmpiA(s->fileName, path) == 0;
}

static BOOL CALLBACK FindHexWindow(HWND window, LPARAM lParam) {
    void **pair = (void **)lParam;
    if (OwnsPath(window, (const char *)pair[0])) {
        pair[1] = window;
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK HexFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        HexEdState *s = (HexEdState *)((CREATESTRUCTA *)lParam)->lpCreateParams;
        s->frame = window;
        if (s->taken)
            *s->taken = true;
        s->taken = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)s);
    }
    HexEdState *s = StateOf(window);
    if (!s)
        return DefWindowProcA(window, message, wParam, lParam);
    if (s->findMessage && message == s->findMessage) {
        HexFindMessage(s, (FINDREPLACEA *)lParam);
        return 0;
    }
    switch (message) {
    case WM_CREATE: {
        HINSTANCE instance = ((CREATESTRUCTA *)lParam)->hInstance;
        HexEdRegister(instance);
        s->findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
        if (s->fileName[0] && !HexLoadFile(s, s->fileName)) {
            EditorShowText(window, Txt::errNotLoaded, s->fileName, MB_OK | MB_ICONSTOP);
            return -1; // the record goes with the window at WM_NCDESTROY, once
        }
        CreateWindowExA(WS_EX_CLIENTEDGE, kHexEdClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 0, 0, window,
                        (HMENU)(INT_PTR)kHexControlId, instance, s);
        if (!s->control)
            return -1;
        MenuSetFromTable(window, gHexMenu, gHexMenu);
        if (HMENU menu = GetMenu(window))
            AppendMenuA(menu, MF_STRING | MF_RIGHTJUSTIFY, 102, "");
        if (!gApp || !(gApp->barOptions & kBarHexToolbarHidden))
            MakeToolBar(s);
        SetCaption(s);
        return 0;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED && s->control)
            EditLayout(window, s->toolBar, s->control);
        return 0;
    case WM_NOTIFY:
        if (EditToolTip(lParam))
            return 0;
        break;
    case WM_DROPFILES:
        OnDropFiles(s, (HDROP)wParam);
        return 0;
    case WM_SETFOCUS:
        if (s->control)
            SetFocus(s->control);
        return 0;
    case WM_COMMAND:
        return HexFrameCommand(window, s, LOWORD(wParam));
    case WM_INITMENUPOPUP: {
        HMENU menu = (HMENU)wParam;
        EnableMenuItem(menu, 11924, MF_BYCOMMAND | (s->modified ? MF_ENABLED : MF_GRAYED));
        UINT named = MF_BYCOMMAND | (s->fileName[0] ? MF_ENABLED : MF_GRAYED);
        EnableMenuItem(menu, 11925, named);
        EnableMenuItem(menu, 110, named);
        CheckMenuItem(menu, 241, MF_BYCOMMAND | (s->toolBar ? MF_CHECKED : MF_UNCHECKED));
        EnableMenuItem(menu, 15010, MF_BYCOMMAND | (s->block.length ? MF_ENABLED : MF_GRAYED));
        UINT find = s->findDialog ? MF_GRAYED : MF_ENABLED;
        EnableMenuItem(menu, 11945, MF_BYCOMMAND | find);
        EnableMenuItem(menu, 11946, MF_BYCOMMAND | find);
        EnableMenuItem(menu, 11956, MF_BYCOMMAND | find);
        break;
    }
    case WM_CLOSE:
        if (s->modified && EditAskSave(window, s->fileName) == IDCANCEL)
            return 0;
        DestroyWindow(window);
        return 0;
    case WM_QUERYENDSESSION:
        return !(s->modified && EditAskSave(window, s->fileName) == IDCANCEL);
    case WM_DESTROY:
        if (gApp)
            WndStorePos(window, &gApp->windowPos[kPosHex]);
        if (s->findDialog)
            DestroyWindow(s->findDialog);
        ToolWndUnregister(window);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        HexRelease(s);
        free(s);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND HexOpenWindow(const char *path) {
    if (!path)
        path = "";
    if (path[0]) {
        void *pair[2] = {(void *)path, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindHexWindow, (LPARAM)pair);
        if (pair[1]) {
            WndBringToFront((HWND)pair[1]);
            return (HWND)pair[1];
        }
    }
    HexEdState *s = (HexEdState *)calloc(1, sizeof(HexEdState));
    if (!s)
        return nullptr;
    snprintf(s->fileName, sizeof s->fileName, "%s", path);
    if (gApp) {
        s->format = gApp->dumpOptions[0] < kHexFormatCount ? gApp->dumpOptions[0] : 0;
        s->addressStyle = gApp->dumpOptions[1] & 1;
    }
    bool taken = false;
    s->taken = &taken;
    HWND window = EditorCreateFrame(kHexFrameClass, HexFrameProc, 6, kPosHex, kToolWndHex, s);
    if (!window && !taken) // else WM_NCDESTROY has freed it already
        free(s);
    return window;
}
