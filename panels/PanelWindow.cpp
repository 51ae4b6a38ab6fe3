// Panel windows, layout and scroll metrics; the list window's message table
// hands each message to its handler (painting, keys, mouse).
#include "panels/PanelWindow.h"

#include <string.h>

#include "AppState.h"
#include "app/bars/StatusBar.h"
#include "frontends/FtpFrontEnd.h"
#include "panels/PanelViewMenu.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/PanelArchive.h"
#include "frontends/CePanel.h"
#include "app/bars/Bars.h"
#include "app/DirWatch.h"
#include "app/Language.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "panels/PanelDrag.h"
#include "panels/PanelShell.h"
#include "panels/PanelInput.h"
#include "panels/PanelMenus.h"
#include "panels/PanelIter.h"
#include "panels/PanelNav.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelRename.h"
#include "panels/PanelIcons.h"
#include "panels/PanelStatus.h"
#include "panels/PanelTree.h"
#include "panels/QuickSearch.h"
#include "fileops/DiskTools.h"
#include "fileops/FileHelpers.h"

namespace {

const COLORREF kDefaultColors[kPanelColorCount] = {
    RGB(255, 255, 255), RGB(0, 0, 128), RGB(0, 0, 0), RGB(0, 0, 128), RGB(255, 255, 255), RGB(255, 0, 0),
};

bool ColorsUnset() {
    for (COLORREF c : gApp->panelColors)
        if (c)
            return false;
    return true;
}

struct PathButton {
    HWND PanelState::*field;
    int idLeft, idRight;
    bool atLeft;
};
const PathButton kPathButtons[] = {
    {&PanelState::driveButton, 518, 618, true},
    {&PanelState::ejectButton, 841, 842, true},
    {&PanelState::rootButton, 805, 806, false},
    {&PanelState::parentButton, 808, 809, false},
};

int ButtonsOnSide(const PanelState &ps, bool left) {
    int n = 0;
    for (const PathButton &b : kPathButtons)
        if (b.atLeft == left && ps.*b.field)
            n++;
    return n;
}

} // namespace

COLORREF PanelColor(int role) {
    if (role < 0 || role >= kPanelColorCount)
        return 0;
    return ColorsUnset() ? kDefaultColors[role] : gApp->panelColors[role];
}

HBRUSH PanelBrush(int role) {
    if (role < 0 || role >= kPanelColorCount)
        return GetSysColorBrush(COLOR_WINDOW);
    if (!gApp->panelBrushes[role])
        gApp->panelBrushes[role] = CreateSolidBrush(PanelColor(role));
    return gApp->panelBrushes[role];
}

HFONT PanelFont() { return gApp->fontPanel ? gApp->fontPanel : (HFONT)GetStockObject(DEFAULT_GUI_FONT); }

int PanelFromWindow(HWND window) {
    if (!gApp || !window)
        return -1;
    for (int p = 0; p < 2; p++)
        if (gApp->panels[p].listWindow == window || gApp->panels[p].pathBar == window)
            return p;
    return -1;
}

uint32_t PanelListCount(int panel) {
    PanelIter it;
    PanelIterBegin(&it, panel);
    uint32_t n = PanelIterCount(&it);
    PanelIterEnd(&it);
    return n;
}

static bool RegisterOnce(const char *name, WNDPROC proc, int extra, UINT style) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(gApp->hInstance, name, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = extra;
    wc.hInstance = gApp->hInstance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExA(&wc) != 0;
}

int PanelCreateWindows(HWND mainWindow, int panel) {
    PanelState &ps = gApp->panels[panel];
    ps.panelIndex = (uint16_t)panel;
    ps.filter = &gApp->panelFilter[panel];
    PanelLoadIcons(gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr));
    if (!RegisterOnce(kPanelClassName, PanelWindowProc, 4, CS_DBLCLKS))
        return 0;
    ps.listWindow = CreateWindowExA(WS_EX_ACCEPTFILES, kPanelClassName, "",
                                    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, mainWindow,
                                    nullptr, gApp->hInstance, (void *)(intptr_t)panel);
    if (ps.listWindow) {
        SetWindowLongPtrA(ps.listWindow, GWLP_USERDATA, panel);
        ps.dropFlags = 0x20;
        PanelDropTargetRegister(ps.listWindow, panel);
    }
    if (!RegisterOnce(kPathBarClassName, PathBarProc, 4, 0))
        return 0;
    ps.pathBar = CreateWindowExA(WS_EX_ACCEPTFILES, kPathBarClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                 0, 0, 0, mainWindow, nullptr, gApp->hInstance, nullptr);
    if (ps.pathBar)
        SetWindowLongPtrA(ps.pathBar, GWLP_USERDATA, panel);
    ps.hScrollBar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 0, 0, 0, mainWindow,
                                    nullptr, gApp->hInstance, nullptr);
    ps.vScrollBar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 0, 0, mainWindow,
                                    nullptr, gApp->hInstance, nullptr);
    if (!RegisterOnce(kCornerBoxClassName, CornerBoxProc, 0, 0))
        return 0;
    ps.cornerBox = CreateWindowExA(0, kCornerBoxClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, mainWindow, nullptr,
                                   gApp->hInstance, nullptr);
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    return DirEnterNearest(path, panel);
}

static void MeasureFont() {
    HWND probe = gApp->panels[0].listWindow ? gApp->panels[0].listWindow : gMainWindow;
    HDC dc = GetDC(probe);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, PanelFont());
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(probe, dc);
    int line = (tm.tmHeight < 0 ? -tm.tmHeight : tm.tmHeight) + tm.tmExternalLeading;
    gApp->lineHeight = (uint16_t)line;
    gApp->rowHeight = (uint16_t)(((gApp->panelOptions & kPanelNoSymbols) || line > 16) ? line : 17);
    gApp->headerHeight = (uint16_t)(line + 4);
}

void PanelLayout() {
    if (!gApp || !gMainWindow)
        return;
    MeasureFont();
    RECT client;
    GetClientRect(gMainWindow, &client);
    int top = BarsTopHeight() + gApp->headerHeight;
    int h = client.bottom - top - BarsBottomHeight();
    if (h < 0)
        h = 0;
    int x[2], w[2];
    bool on0 = !gApp->panelOff[0], on1 = !gApp->panelOff[1];
    int split = gApp->splitterPos;
    if (split <= 0 || split >= client.right)
        split = client.right / 2;
    if (on0 && on1) {
        x[0] = 0;
        w[0] = split - 2;
        x[1] = split + 2;
        w[1] = client.right - (split + 2);
    } else if (on0) {
        x[0] = 0, w[0] = client.right, x[1] = 0, w[1] = 0;
    } else if (on1) {
        x[0] = 0, w[0] = 0, x[1] = 0, w[1] = client.right;
    } else {
        x[0] = x[1] = w[0] = w[1] = 0;
    }
    for (int p = 0; p < 2; p++) {
        PanelState &ps = gApp->panels[p];
        int hh = (w[p] > 0) ? h : 0;
        if (w[p] < 0)
            w[p] = 0;
        if (ps.listWindow && w[p] > 0) {
            ShowWindow(ps.listWindow, SW_SHOWNA);
            ShowWindow(ps.pathBar, SW_SHOWNA);
            MoveWindow(ps.pathBar, x[p], top - gApp->headerHeight, w[p], gApp->headerHeight, TRUE);
            MoveWindow(ps.listWindow, x[p], top, w[p] - ps.vScrollWidth, hh - ps.hScrollHeight, TRUE);
        } else {
            if (ps.listWindow) {
                ShowWindow(ps.listWindow, SW_HIDE);
                ShowWindow(ps.pathBar, SW_HIDE);
            }
            ps.hScrollHeight = ps.vScrollWidth = 0;
        }
        MoveWindow(ps.hScrollBar, x[p], top + hh - ps.hScrollHeight, w[p] - ps.vScrollWidth, ps.hScrollHeight, TRUE);
        MoveWindow(ps.vScrollBar, x[p] + w[p] - ps.vScrollWidth, top, ps.vScrollWidth, hh - ps.hScrollHeight, TRUE);
        MoveWindow(ps.cornerBox, x[p] + w[p] - ps.vScrollWidth, top + hh - ps.hScrollHeight, ps.vScrollWidth,
                   ps.hScrollHeight, TRUE);
    }
    if (FtpBarHeight())
        FtpLayoutBar(0, client.bottom - BarsBottomHeight() + StatusBarPanelHeight(), client.right);
    PanelResetWidths(0);
    PanelResetWidths(1);
}

void PanelRelayoutAll() {
    PanelLayout();
    for (int p = 0; p < 2; p++)
        if (gApp && gApp->panels[p].listWindow)
            PostMessageA(gApp->panels[p].listWindow, kPanelMsgRefresh, 0, 0);
    PanelSyncViewMenu(nullptr);
}

static int ContentWidth(const PanelState &ps, bool custom) {
    int sum = 0;
    for (int i = 0; i < kPanelColumnSlots; i++) {
        uint16_t code = custom ? ps.customColumns[i] : ps.fullColumns[i];
        if (code)
            sum += custom ? ps.customWidths[i] : ps.fullWidths[i];
    }
    return sum;
}

void PanelUpdateScrollBars(HWND listWindow) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0)
        return;
    PanelState &ps = gApp->panels[panel];
    RECT rc;
    GetClientRect(listWindow, &rc);
    if (ps.treeControl)
        MoveWindow(ps.treeControl, 0, 0, rc.right, rc.bottom, TRUE);
    ps.dateWidth = ps.attrWidth = 0;
    if (rc.right == 0)
        return;
    int usable = rc.bottom - 1;
    uint16_t oldH = ps.hScrollHeight, oldV = ps.vScrollWidth;
    int32_t oldScroll = gApp->scrollPos[panel];
    uint16_t hBar = (uint16_t)GetSystemMetrics(SM_CYHSCROLL), vBar = (uint16_t)GetSystemMetrics(SM_CXVSCROLL);
    ps.entryCount = PanelListCount(panel);
    PanelPaintPrepareWidths(panel, listWindow);
    int listH = usable - ((gApp->panelOptions & kPanelShowTitle) ? gApp->headerHeight : 0);
    if (listH < 0)
        listH = 0;
    int rowH = gApp->rowHeight ? gApp->rowHeight : 17;
    ps.visibleRows = (uint32_t)(listH / rowH);
    ps.hScrollMax = ps.topMax = 0;
    int mode = gApp->panelMode[panel] & 0xF;
    int clientW = rc.right + ps.vScrollWidth; // the width the panel has, bar included
    int visibleCols = 1;
    bool wantH = true, wantV = true;
    int content = 0;
    switch (mode) {
    case kViewFull:
    case kViewCustom:
        content = ContentWidth(ps, mode == kViewCustom);
        wantV = ps.entryCount >= ps.visibleRows && ps.entryCount > 0;
        wantH = content >= clientW;
        break;
    case kViewBrief:
        visibleCols = ps.briefColumnWidth ? rc.right / ps.briefColumnWidth : 1;
        if (visibleCols < 1)
            visibleCols = 1;
        wantH = ps.entryCount >= ps.visibleRows * (uint32_t)visibleCols && ps.entryCount > 0;
        wantV = false;
        break;
    default:
        wantH = wantV = false;
        break;
    }
    ps.columnCount = (ps.entryCount && ps.visibleRows) ? (ps.entryCount - 1) / ps.visibleRows + 1 : 0;
    if (mode == kViewFull || mode == kViewCustom) {
        ps.hScrollMax = content - rc.right;
        ps.columnCount = 1;
        ps.topMax = (int32_t)ps.entryCount - (int32_t)ps.visibleRows;
        ps.pageSize = ps.visibleRows;
    } else if (mode == kViewBrief) {
        ps.hScrollMax = ps.columnCount < 2 ? 0 : (int32_t)ps.columnCount - visibleCols;
        ps.topMax = (int32_t)ps.entryCount - (int32_t)(ps.visibleRows * visibleCols);
        ps.pageSize = ps.visibleRows * visibleCols;
    } else {
        ps.pageSize = 0;
    }
    if (ps.hScrollMax < 0)
        ps.hScrollMax = 0;
    if (ps.topMax < 0)
        ps.topMax = 0;
    ps.hScrollHeight = (wantH && ps.hScrollMax > 0) ? hBar : 0;
    ps.vScrollWidth = (wantV && ps.topMax > 0) ? vBar : 0;
    if (ps.hScrollHeight == oldH && ps.vScrollWidth == oldV) {
        PanelClampCursor(panel);
        // A page makes the thumb show how much of the list is visible; the
        // positions still run from 0 to the maxima.
        UINT hPage = mode == kViewBrief ? (UINT)visibleCols : (UINT)(rc.right > 0 ? rc.right : 1);
        SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_POS | SIF_PAGE, 0, ps.hScrollMax + (int)hPage - 1, hPage,
                         gApp->scrollPos[panel]};
        SetScrollInfo(ps.hScrollBar, SB_CTL, &si, TRUE);
        UINT vPage = ps.pageSize ? ps.pageSize : 1;
        si.nMax = ps.topMax + (int)vPage - 1;
        si.nPage = vPage;
        si.nPos = gApp->topIndex[panel];
        SetScrollInfo(ps.vScrollBar, SB_CTL, &si, TRUE);
    } else {
        PanelLayout();
    }
    if (gApp->scrollPos[panel] != oldScroll)
        InvalidateRect(listWindow, nullptr, FALSE);
}

void PanelClampCursor(int panel) {
    PanelState &ps = gApp->panels[panel];
    PanelGeom g = {ps.entryCount, ps.visibleRows, ps.pageSize, ps.topMax, ps.hScrollMax, gApp->panelMode[panel] & 0xF};
    PanelPos pos = {(int32_t)gApp->cursorIndex[panel], gApp->topIndex[panel], gApp->scrollPos[panel]};
    uint32_t old = gApp->cursorIndex[panel];
    bool moved = PanelClampPos(pos, g);
    gApp->topIndex[panel] = pos.top;
    gApp->scrollPos[panel] = pos.scroll;
    if (moved && panel == (gApp->activePanel & 1) && ps.listWindow) {
        PanelInvalidateRow(panel, old);
        gApp->cursorIndex[panel] = (uint32_t)pos.cursor;
        PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
    }
    gApp->cursorIndex[panel] = (uint32_t)pos.cursor;
}

void PanelSyncColumnFromTop(int panel) {
    gApp->scrollPos[panel] = PanelColumnFromTop(gApp->topIndex[panel], gApp->panels[panel].visibleRows);
}

void PanelRepaintAll(HWND listWindow) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0)
        return;
    PanelUpdateScrollBars(listWindow);
    InvalidateRect(listWindow, nullptr, FALSE);
    InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
}

void PanelRepaintPathText(HWND listWindow) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0)
        return;
    InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
    PostMessageA(listWindow, kPanelMsgRepaintCursor, 0, 0);
}

void PanelRepaintCursor(HWND listWindow) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0)
        return;
    PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
    PanelUpdateStatusLine();
}

// WM_USER+1: after a re-read the cursor goes to the entry asked for, the
// watch follows a path the refresh thread moved, then layout and repaint.
static void PanelOnRefresh(HWND window, WPARAM why) {
    int panel = PanelFromWindow(window);
    if (panel < 0)
        return;
    if (why == kPanelRefreshPathChanged) {
        if (gApp->panels[panel].location)
            DirWatchClose(&gApp->changeNotify[panel]); // nothing on the desktop to watch
        else
            DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
    }
    if (why == kPanelRefreshLeaveArchive) {
        PanelLeaveArchive(panel);
        return;
    }
    if (why == kPanelRefreshLeaveDevice) {
        CeDropLocation(panel);
        DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
        PanelRequestReread(panel);
        return;
    }
    if (why == kPanelRefreshListChanged) {
        gApp->panels[panel].entryCount = PanelListCount(panel);
        char name[260];
        // A list read before the name was asked for may come first: then the
        // name waits for the re-read that was asked with it.
        if (PanelTakeReselectName(panel, name, sizeof name)) {
            if (!PanelSetCursorCentred(name, panel))
                PanelKeepReselectName(panel, name);
        } else if (PanelTakeFollowName(panel, name, sizeof name))
            PanelFindSetCursor(name, panel);
        if ((gApp->panelMode[panel] & 0xF) == kViewTree && gApp->panels[panel].treeControl) {
            char path[260];
            PanelGetPath(panel, path, sizeof path);
            TreeShowPath(panel, path, true);
        }
        PanelUpdateStatusLine();
        // Here and not on the refresh thread, which never touches a window.
        DiskUpdateEjectButtons();
    }
    PanelRepaintAll(window);
}

void PanelScrollFromMain(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND bar = (HWND)lParam;
    int panel = -1;
    for (int p = 0; p < 2 && gApp; p++)
        if (gApp->panels[p].hScrollBar == bar || gApp->panels[p].vScrollBar == bar)
            panel = p;
    if (panel < 0)
        return;
    PanelScroll(panel, message == WM_VSCROLL, LOWORD(wParam), (short)HIWORD(wParam));
}

void PanelFocusActive() { PanelSetFocus(gApp->activePanel & 1); }

// ---- list window

LRESULT CALLBACK PanelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gApp)
        return DefWindowProcA(window, message, wParam, lParam);
    LRESULT shellResult;
    if (ShellMenuMessage(message, wParam, lParam, &shellResult))
        return shellResult;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        PanelUpdateScrollBars(window);
        return 0;
    case WM_SETFOCUS: {
        int panel = PanelFromWindow(window);
        gApp->wheelTarget = (panel >= 0 && gApp->panels[panel].treeControl) ? gApp->panels[panel].treeControl : window;
        return 0;
    }
    case WM_KILLFOCUS:
        gApp->wheelTarget = nullptr;
        return 0;
    case WM_PAINT:
        if (PaintPanel(window))
            break;
        return 0;
    case WM_KEYDOWN:
        PanelHandleKey(GetParent(window), message, wParam, lParam);
        return 0;
    case WM_CHAR:
        if ((gApp->generalOptions & kGenLetterJump) && wParam >= 32 && GetKeyState(VK_CONTROL) >= 0 &&
            GetKeyState(VK_SHIFT) >= 0)
            PanelJumpToLetter((unsigned char)wParam);
        return 0;
    case WM_COMMAND:
        if (!PanelColumnCommand(PanelFromWindow(window) & 1, LOWORD(wParam), PanelMenuSlot()))
            PostMessageA(GetParent(window), WM_COMMAND, wParam, lParam);
        return 0;
    case WM_VSCROLL:
        PostMessageA(GetParent(window), WM_VSCROLL, wParam,
                     (LPARAM)gApp->panels[PanelFromWindow(window) & 1].vScrollBar);
        return 0;
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
        PanelMouseMessage(window, message, wParam, lParam);
        return 0;
    case WM_RBUTTONUP:
        PanelMouseMessage(window, message, wParam, lParam);
        break;
    case WM_CONTEXTMENU:
        if (!(gApp->generalOptions & kGenSelRightMouse))
            PanelContextMenu(window, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
        SetBkMode((HDC)wParam, TRANSPARENT);
        SetTextColor((HDC)wParam, PanelColor(2));
        SetBkColor((HDC)wParam, PanelColor(0));
        return (LRESULT)PanelBrush(0);
    case WM_NOTIFY:
        return PanelTreeNotify(window, (int)wParam, (NMHDR *)lParam);
    case kPanelMsgRefresh:
        PanelOnRefresh(window, wParam);
        return 0;
    case kPanelMsgRepaintPath:
        PanelRepaintPathText(window);
        return 0;
    case kPanelMsgRepaintCursor:
        PanelRepaintCursor(window);
        return 0;
    case kPanelMsgDragStart:
        PanelStartDrag(window);
        return 0;
    case WM_DROPFILES:
        gDragFlags |= 2;
        PanelOnDropFiles(window, (HDROP)wParam);
        gDragFlags &= ~2;
        return 0;
    case kPanelMsgQuickSearch:
        QuickSearchOpen(GetParent(window), (int)wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- path bar and corner box

static void PathBarOnSize(HWND bar, int panel) {
    PanelState &ps = gApp->panels[panel];
    RECT rc;
    GetClientRect(bar, &rc);
    int s = rc.bottom;
    int mode = gApp->panelMode[panel] & 0xF;
    int free = rc.right;
    int leftX = 0, rightX = rc.right;
    for (const PathButton &b : kPathButtons) {
        HWND &button = ps.*b.field;
        bool show = mode != kViewQuick && mode != kViewTree && s > 0 && s < free;
        if (b.field == &PanelState::driveButton && (gApp->barOptions & kBarDrives))
            show = false;
        if (!show) {
            if (button)
                DestroyWindow(button);
            button = nullptr;
            continue;
        }
        int x = b.atLeft ? leftX : rightX - s;
        if (b.atLeft)
            leftX += s;
        else
            rightX -= s;
        free -= s;
        int id = panel ? b.idRight : b.idLeft;
        if (!button) {
            button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, 0, s, s, bar,
                                     (HMENU)(intptr_t)id, gApp->hInstance, nullptr);
            if (b.field == &PanelState::ejectButton)
                DiskUpdateEjectButtons(); // enabled only for a drive that can be ejected
        } else {
            MoveWindow(button, x, 0, s, s, TRUE);
        }
        InvalidateRect(button, nullptr, TRUE);
    }
}

static void PathBarOnPaint(HWND bar, int panel) {
    PanelState &ps = gApp->panels[panel];
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar, &paint);
    RECT rc;
    GetClientRect(bar, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
    int s = rc.bottom;
    RECT text = rc;
    text.left += s * ButtonsOnSide(ps, true) + 12;
    text.right -= s * ButtonsOnSide(ps, false) + 2;
    bool active = panel == (gApp->activePanel & 1) || (gApp->panelMode[panel] & 0xF) == kViewQuick;
    SetTextColor(dc, GetSysColor(active ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, PanelFont());
    char path[520];
    ArcGetPanelPath(panel, path, sizeof path);
    DrawTextA(dc, path, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
    SelectObject(dc, old);
    EndPaint(bar, &paint);
}

static void PathBarDrawButton(const DRAWITEMSTRUCT *item, int panel) {
    RECT r = item->rcItem;
    UINT state = (item->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0;
    DrawFrameControl(item->hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | state);
    const char *glyph = "";
    char drive[4] = "";
    int id = (int)item->CtlID;
    if (id == 805 || id == 806)
        glyph = "\\";
    else if (id == 808 || id == 809)
        glyph = "..";
    else if (id == 518 || id == 618) {
        drive[0] = gApp->panelPath[panel][0];
        glyph = drive;
    }
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(item->hDC, PanelFont());
    DrawTextA(item->hDC, glyph, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item->hDC, old);
}

static void PathBarMenu(HWND bar, int panel, LPARAM lParam) {
    HMENU menu = PanelPathBarMenu(panel);
    POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    ClientToScreen(bar, &pt);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, bar, nullptr);
    DestroyMenu(menu);
}

LRESULT CALLBACK PathBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    int panel = (int)GetWindowLongPtrA(window, GWLP_USERDATA) & 1;
    if (!gApp)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        PathBarOnSize(window, panel);
        return 0;
    case WM_PAINT:
        PathBarOnPaint(window, panel);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        if (panel != (gApp->activePanel & 1))
            PanelHandleKey(GetParent(window), WM_NULL, VK_TAB, 0);
        return 0;
    case WM_RBUTTONDOWN:
        PathBarMenu(window, panel, lParam);
        return 0;
    case WM_DROPFILES:
        gDragFlags |= 2;
        PanelOnDropFiles(window, (HDROP)wParam);
        gDragFlags &= ~2;
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case 910: PanelSetSplitRatio(0.25f); return 0;
        case 914: PanelSetSplitRatio(0.33f); return 0;
        case 911: PanelSetSplitRatio(0.5f); return 0;
        case 915: PanelSetSplitRatio(0.66f); return 0;
        case 912: PanelSetSplitRatio(0.75f); return 0;
        }
        PostMessageA(GetParent(window), WM_COMMAND, wParam, 0);
        return 0;
    case WM_DRAWITEM:
        PathBarDrawButton((const DRAWITEMSTRUCT *)lParam, panel);
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK CornerBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
