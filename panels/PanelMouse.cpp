// Mouse messages of a panel list window: cursor by click, Shift and Ctrl
// marking, right-button sweeping, double click, header sort and column
// resizing; the panel swap and splitter ratio.
#include "panels/PanelInput.h"

#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "app/DirWatch.h"
#include "panels/Location.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelMenus.h"
#include "panels/PanelDrag.h"
#include "panels/PanelShell.h"
#include "app/Language.h"
#include "base/Paths.h"
#include "panels/PanelNav.h"
#include "panels/PanelPaint.h"
#include "fileops/CopyJob.h"
#include "fileops/DiskTools.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelRename.h"
#include "panels/PanelStatus.h"
#include "panels/PanelWindow.h"

namespace {

// One mouse action runs at a time, so these are shared by both panels.
int32_t gRightMarkRow[2] = {-1, -1};
uint8_t gRightMarkState[2];
bool gRightDrag;
// A right press that may become a drag (right-button marking off); 0 when
// none, else the packed client point.
LPARAM gPendingRightClick;
int gResizeSlot = -1;
int gResizeLeft;
int gResizeX;

bool HeaderOn() { return (gApp->panelOptions & kPanelShowTitle) != 0; }

// Entry index under a point: 0 on a name, 1 on the row but outside the name
// column, 2 outside the entries. With move the cursor goes there.
int HitTest(HWND window, int panel, POINT pt, bool move, uint32_t *indexOut) {
    PanelState &ps = gApp->panels[panel];
    int mode = gApp->panelMode[panel] & 0xF;
    int y = pt.y - (HeaderOn() ? gApp->headerHeight : 0);
    int rowH = gApp->rowHeight ? gApp->rowHeight : 17;
    int row = y >= 0 ? y / rowH : -1;
    if (row > (int)ps.visibleRows)
        row = (int)ps.visibleRows;
    int result = 0;
    int64_t index = gApp->topIndex[panel] + row;
    if (mode == kViewBrief && ps.columnCount > 1 && ps.briefColumnWidth) {
        int col = pt.x / ps.briefColumnWidth;
        index = (int64_t)col * ps.visibleRows + row + gApp->topIndex[panel];
    } else if (mode == kViewFull || mode == kViewCustom) {
        int left = 0, right = 0;
        int slot = PanelColumnAt(panel, pt.x, &left, &right);
        uint16_t code = slot < 0 ? 0 : (mode == kViewCustom ? ps.customColumns[slot] : ps.fullColumns[slot]);
        if (code != kColName)
            result = 1;
    }
    if (row < 0 || index < gApp->topIndex[panel]) {
        index = gApp->topIndex[panel];
        result = 2;
    }
    if (index >= (int64_t)ps.entryCount) {
        index = ps.entryCount ? ps.entryCount - 1 : 0;
        result = 2;
    }
    if (ps.pageSize && index >= gApp->topIndex[panel] + (int64_t)ps.pageSize) {
        index = gApp->topIndex[panel] + ps.pageSize - 1;
        result = 2;
    }
    if (indexOut)
        *indexOut = (uint32_t)index;
    if (move && result < 2 && (uint32_t)index != gApp->cursorIndex[panel]) {
        PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
        gApp->cursorIndex[panel] = (uint32_t)index;
        PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
    }
    (void)window;
    return result;
}

void Activate(HWND owner, int panel) {
    if (panel != (gApp->activePanel & 1))
        PanelHandleKey(owner, WM_NULL, VK_TAB, 0);
}

// Column boundary within 3 pixels of x in Full/Custom mode: its slot, or -1.
int BoundaryAt(int panel, int x, int *boundary) {
    PanelState &ps = gApp->panels[panel];
    bool custom = (gApp->panelMode[panel] & 0xF) == kViewCustom;
    int cx = -gApp->scrollPos[panel];
    for (int i = 0; i < kPanelColumnSlots; i++) {
        uint16_t code = custom ? ps.customColumns[i] : ps.fullColumns[i];
        int w = custom ? ps.customWidths[i] : ps.fullWidths[i];
        if (!code || !w || (!custom && code == kColDosName))
            continue;
        cx += w;
        if (x >= cx - 3 && x <= cx + 2) {
            *boundary = cx;
            return i;
        }
    }
    return -1;
}

void DrawResizeLine(HWND window, int x) {
    HDC dc = GetDC(window);
    RECT rc;
    GetClientRect(window, &rc);
    PatBlt(dc, x - 1, 0, 2, rc.bottom, DSTINVERT);
    ReleaseDC(window, dc);
}

void HeaderPress(HWND window, int panel, POINT pt) {
    int mode = gApp->panelMode[panel] & 0xF;
    PanelState &ps = gApp->panels[panel];
    if (mode == kViewFull || mode == kViewCustom) {
        bool custom = mode == kViewCustom;
        int boundary;
        int slot = BoundaryAt(panel, pt.x, &boundary);
        if (slot >= 0) {
            gResizeSlot = slot;
            gResizeLeft = boundary - (custom ? ps.customWidths[slot] : ps.fullWidths[slot]);
            gResizeX = boundary;
            DrawResizeLine(window, gResizeX);
            SetCapture(window);
            SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
            return;
        }
        int left = 0, right = 0;
        slot = PanelColumnAt(panel, pt.x, &left, &right);
        if (slot < 0 || !HeaderOn())
            return;
        uint16_t code = custom ? ps.customColumns[slot] : ps.fullColumns[slot];
        switch (code) {
        case kColName: PanelHeaderSort(panel, pt.x >= (left + right) / 2 ? 1 : 0); break;
        case kColSize: PanelHeaderSort(panel, 3); break;
        case kColModified: PanelHeaderSort(panel, 2); break;
        }
        return;
    }
    if (mode == kViewBrief && HeaderOn()) {
        RECT rc;
        GetClientRect(window, &rc);
        int colW = (ps.columnCount > 1 && ps.briefColumnWidth) ? ps.briefColumnWidth : rc.right;
        if (colW <= 0)
            return;
        int col = pt.x / colW;
        PanelHeaderSort(panel, pt.x - col * colW >= colW / 2 ? 1 : 0);
    }
}

void EndResize(HWND window, int panel) {
    DrawResizeLine(window, gResizeX);
    ReleaseCapture();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    int width = gResizeX - gResizeLeft + 1;
    PanelState &ps = gApp->panels[panel];
    if (width > 11 && width < 10000) {
        bool custom = (gApp->panelMode[panel] & 0xF) == kViewCustom;
        (custom ? ps.customWidths : ps.fullWidths)[gResizeSlot] = (uint16_t)width;
        if (gApp->panelOptions & kPanelSynchCol) {
            PanelState &other = gApp->panels[!panel];
            if (!custom)
                memcpy(other.fullWidths, ps.fullWidths, sizeof ps.fullWidths);
            else
                for (int i = 0; i < kPanelColumnSlots; i++)
                    for (int j = 0; j < kPanelColumnSlots; j++)
                        if (other.customColumns[j] && other.customColumns[j] == ps.customColumns[i])
                            other.customWidths[j] = ps.customWidths[i];
            InvalidateRect(other.listWindow, nullptr, FALSE);
        }
    }
    gResizeSlot = -1;
    PanelUpdateScrollBars(window);
    InvalidateRect(window, nullptr, FALSE);
}

POINT gRenamePress;

// The press lies on the name stretch of the row: from 18 pixels in to the
// row's right edge, a stretch wider than 22 pixels; files and remote
// locations, not archive levels.
bool SlowClickStartsRename(HWND window, int panel, POINT pt) {
    const LocationNode *loc = gApp->panels[panel].location;
    if (loc && loc->kind < kLocationFtp)
        return false;
    int mode = gApp->panelMode[panel] & 0xF;
    if (mode == kViewTree || mode == kViewQuick)
        return false;
    RECT row;
    PanelEntryRect(window, panel, &row, gApp->cursorIndex[panel]);
    int left = row.left + 18, right = row.right;
    return right - left > 22 && pt.x >= left && pt.x < right && pt.y >= row.top && pt.y < row.bottom;
}

void LButtonDown(HWND window, int panel, WPARAM keys, POINT pt) {
    HWND owner = GetParent(window);
    if (HeaderOn() && pt.y < gApp->headerHeight) {
        Activate(owner, panel);
        HeaderPress(window, panel, pt);
        return;
    }
    if (panel != (gApp->activePanel & 1)) {
        Activate(owner, panel);
        return;
    }
    PanelSetFocus(panel);
    if (!gApp->lineHeight || gResizeSlot >= 0)
        return;
    uint32_t before = gApp->cursorIndex[panel];
    uint32_t hit = 0;
    int onEntry = HitTest(window, panel, pt, true, &hit);
    if (!(keys & (MK_SHIFT | MK_CONTROL)) && onEntry == 0 && hit == before && SlowClickStartsRename(window, panel, pt)) {
        // A second, slow click on the cursor entry's name: the rename box
        // opens unless a double click or a drag comes first.
        gRenamePress = pt;
        SetTimer(window, 1, 300, nullptr);
    }
    if (keys & MK_SHIFT) {
        PanelMarkRange(panel, before, gApp->cursorIndex[panel]);
        PostMessageA(window, WM_USER + 1, 0, 0);
        PanelUpdateStatusLine();
    } else if (keys & MK_CONTROL) {
        PanelIter it;
        EntryToggleMark(PanelGetCursorEntry(&it, panel));
        PanelIterEnd(&it);
        PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
        PanelUpdateStatusLine();
    } else {
        PanelUpdateStatusLine();
        PostMessageA(window, kPanelMsgDragStart, 0, 0);
    }
}

int gMenuSlot = -1;

void HeaderMenu(HWND window, int panel, POINT pt) {
    int slot = -1;
    if ((gApp->panelMode[panel] & 0xF) == kViewCustom)
        slot = PanelColumnAt(panel, pt.x, nullptr, nullptr);
    gMenuSlot = slot;
    HMENU menu = PanelHeaderMenu(panel, slot);
    POINT screen = pt;
    ClientToScreen(window, &screen);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr);
    DestroyMenu(menu);
}

void RButtonDown(HWND window, int panel, POINT pt) {
    if (HeaderOn() && pt.y < gApp->headerHeight) {
        HeaderMenu(window, panel, pt);
        return;
    }
    Activate(GetParent(window), panel);
    HitTest(window, panel, pt, true, nullptr);
    if (!(gApp->generalOptions & kGenSelRightMouse)) {
        gPendingRightClick = MAKELPARAM(pt.x, pt.y) ? MAKELPARAM(pt.x, pt.y) : 1;
        return;
    }
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (e && !EntryIsUpDir(e)) {
        EntryToggleMark(e);
        gRightMarkState[panel] = e->mark & 1;
        gRightMarkRow[panel] = (int32_t)gApp->cursorIndex[panel];
        gRightDrag = true;
        SetCapture(window);
    }
    PanelIterEnd(&it);
    PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
    PanelUpdateStatusLine();
}

// Sweeping with the right button paints the first entry's new mark over
// every row passed.
void RightSweep(HWND window, int panel, POINT pt) {
    uint32_t before = gApp->cursorIndex[panel];
    HitTest(window, panel, pt, true, nullptr);
    uint32_t now = gApp->cursorIndex[panel];
    if (now == before || gRightMarkRow[panel] < 0)
        return;
    uint32_t from = (uint32_t)gRightMarkRow[panel], to = now;
    if (from > to) {
        uint32_t t = from;
        from = to;
        to = t;
    }
    PanelIter it;
    PanelIterBegin(&it, panel);
    for (uint32_t i = from; i <= to; i++) {
        FileEntry *e = PanelIterAt(&it, i);
        if (!e)
            break;
        if (!EntryIsUpDir(e) && (e->mark & 1) != gRightMarkState[panel]) {
            e->mark = (uint8_t)((e->mark & ~1) | gRightMarkState[panel]);
            PanelInvalidateRow(panel, i);
        }
    }
    PanelIterEnd(&it);
    gRightMarkRow[panel] = (int32_t)now;
    PanelUpdateStatusLine();
}

} // namespace

int PanelMenuSlot() { return gMenuSlot; }

void PanelHeaderSort(int panel, int key) {
    if (key == gApp->panelSort[panel])
        PostMessageA(gMainWindow, WM_COMMAND, panel ? 614 : 514, 0);
    else
        PanelSetSortKey(panel, key);
}

void PanelMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    int panel = PanelFromWindow(window);
    if (panel < 0)
        return;
    POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    switch (message) {
    case WM_TIMER:
        if (wParam == 1) {
            KillTimer(window, 1);
            if (!gApp->renameEdit && !gDragFlags && GetCapture() != window)
                PanelStartRename();
        }
        break;
    case WM_LBUTTONDOWN:
        RenameInlineFinish();
        LButtonDown(window, panel, wParam, pt);
        break;
    case WM_LBUTTONUP:
        if (gResizeSlot >= 0)
            EndResize(window, panel);
        break;
    case WM_MOUSEMOVE:
        if (gPendingRightClick) {
            // Moved with the right button held: a drag with the right button.
            bool moved = gPendingRightClick != lParam;
            gPendingRightClick = 0;
            if (moved && (wParam & MK_RBUTTON))
                PostMessageA(window, kPanelMsgDragStart, 0, 0);
        }
        if ((wParam & MK_LBUTTON) &&
            (abs(pt.x - gRenamePress.x) > GetSystemMetrics(SM_CXDRAG) ||
             abs(pt.y - gRenamePress.y) > GetSystemMetrics(SM_CYDRAG)))
            KillTimer(window, 1); // a drag, not a slow click
        if (gResizeSlot >= 0) {
            DrawResizeLine(window, gResizeX);
            gResizeX = pt.x;
            DrawResizeLine(window, gResizeX);
        } else if (gRightDrag && (wParam & MK_RBUTTON)) {
            RightSweep(window, panel, pt);
        }
        break;
    case WM_LBUTTONDBLCLK:
        KillTimer(window, 1);
        RenameInlineFinish();
        if (HeaderOn() && pt.y < gApp->headerHeight)
            break;
        if (!gApp->rowHeight || gResizeSlot >= 0)
            break;
        HitTest(window, panel, pt, true, nullptr);
        PanelHandleKey(GetParent(window), WM_NULL, VK_RETURN, 0);
        break;
    case WM_RBUTTONDOWN:
        RenameInlineFinish();
        RButtonDown(window, panel, pt);
        break;
    case WM_RBUTTONUP:
        gRightDrag = false;
        gPendingRightClick = 0;
        gRightMarkRow[panel] = -1;
        if (GetCapture() == window)
            ReleaseCapture();
        break;
    }
}

// ---- context menu

// The menu of a location: FTP items, or the archive level's copy and view
// items; device panels have none. Null for none.
static HMENU LocationMenu(uint16_t kind, bool onFolderItself) {
    if (kind > kLocationFtp)
        return nullptr;
    HMENU menu = CreatePopupMenu();
    auto add = [&](int id) {
        char text[128] = "";
        TextGet(id, text, sizeof text);
        if (char *tab = strchr(text, '\t'))
            *tab = 0;
        AppendMenuA(menu, MF_STRING, id, text);
    };
    if (kind == kLocationFtp) {
        if (!onFolderItself) {
            for (int id : {105, 106, 107, 108, 109})
                add(id);
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            add(301);
        }
        add(219);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        add(214);
    } else {
        for (int id : {102, 105, 106, 109})
            add(id);
    }
    return menu;
}

void PanelContextMenu(HWND window, int x, int y) {
    int panel = PanelFromWindow(window);
    if (panel < 0 || !gApp)
        return;
    POINT screen = {x, y};
    POINT client = screen;
    if (x == -1 && y == -1) {
        // From the keyboard: at the cursor row.
        RECT row;
        PanelEntryRect(window, panel, &row, gApp->cursorIndex[panel]);
        client = {row.left + 20, (row.top + row.bottom) / 2};
        screen = client;
        ClientToScreen(window, &screen);
    } else {
        ScreenToClient(window, &client);
    }
    int where = HitTest(window, panel, client, true, nullptr);
    char path[MAX_PATH + 8] = "";
    PanelGetPath(panel, path, sizeof path);
    unsigned flags = 0;
    uint16_t entryFlags = 0;
    bool haveEntry = false;
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (e) {
        entryFlags = e->flags;
        if (!EntryIsUpDir(e)) {
            haveEntry = true;
            PanelEntryPath(e, panel, path, sizeof path);
        }
    }
    PanelIterEnd(&it);
    if (where >= 2 && haveEntry) {
        PathCutLastComponent(path);
        flags = 8;
    }
    flags |= entryFlags & (kEntryUpDir | kEntryFolder);
    const LocationNode *location = gApp->panels[panel].location;
    if (!location) {
        PanelShellContextMenu(window, path, screen.x, screen.y, flags, panel, 1);
        return;
    }
    HMENU menu = LocationMenu(LocationRootKind(location), (flags & 8) != 0);
    if (!menu)
        return;
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr);
    DestroyMenu(menu);
}

// ---- swap and splitter

void PanelSwap() {
    if (gApp->panelOff[0] || gApp->panelOff[1])
        return;
    // The lists change hands under the list protocol; if a reader keeps one
    // too long the swap is not done half: nothing changes and it beeps.
    if (!PanelListSwap(500)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    PanelState &a = gApp->panels[0], &b = gApp->panels[1];
    auto swapField = [](auto &x, auto &y) {
        auto t = x;
        x = y;
        y = t;
    };
    swapField(a.entryCount, b.entryCount);
    swapField(a.freeBytes, b.freeBytes);
    swapField(a.totalBytes, b.totalBytes);
    swapField(a.fileCount, b.fileCount);
    swapField(a.dirCount, b.dirCount);
    swapField(a.fileBytes, b.fileBytes);
    swapField(a.clusterSize, b.clusterSize);
    swapField(a.driveLetter, b.driveLetter);
    swapField(a.driveKind, b.driveKind);
    swapField(a.location, b.location);
    swapField(a.hScrollHeight, b.hScrollHeight);
    swapField(a.vScrollWidth, b.vScrollWidth);
    swapField(a.hScrollMax, b.hScrollMax);
    swapField(a.topMax, b.topMax);
    swapField(gApp->panelOff[0], gApp->panelOff[1]);
    swapField(gApp->panelMode[0], gApp->panelMode[1]);
    swapField(gApp->panelSort[0], gApp->panelSort[1]);
    swapField(gApp->panelReverse[0], gApp->panelReverse[1]);
    swapField(gApp->cursorIndex[0], gApp->cursorIndex[1]);
    swapField(gApp->scrollPos[0], gApp->scrollPos[1]);
    swapField(gApp->topIndex[0], gApp->topIndex[1]);
    swapField(gApp->panelFilter[0], gApp->panelFilter[1]);
    char left[260], right[260];
    PanelGetPath(0, left, sizeof left);
    PanelGetPath(1, right, sizeof right);
    PanelSetPath(0, right);
    PanelSetPath(1, left);
    PanelSwapRefreshState();
    for (int p = 0; p < 2; p++) {
        DirWatchOpen(gApp->panelPath[p], &gApp->changeNotify[p]);
        if (gApp->panels[p].treeControl) {
            DestroyWindow(gApp->panels[p].treeControl);
            gApp->panels[p].treeControl = nullptr;
        }
    }
    int active = gApp->activePanel & 1;
    PanelActivateOther(!active);
    PanelUpdateStatusLine();
    PanelRequestRereadBoth();
    PanelRelayoutAll();
    DiskUpdateEjectButtons(); // the drives changed sides under the buttons
}

void PanelSetSplitRatio(float ratio) {
    gApp->splitRatio = ratio;
    RECT rc;
    GetClientRect(gMainWindow, &rc);
    gApp->splitterPos = (int32_t)(rc.right * ratio);
    PostMessageA(gMainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
    InvalidateRect(gMainWindow, nullptr, FALSE);
}
