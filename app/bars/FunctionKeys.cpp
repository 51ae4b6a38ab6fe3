#include "app/bars/FunctionKeys.h"

#include <commctrl.h>

#include "AppState.h"
#include "app/Commands.h"
#include "app/bars/BarLayout.h"
#include "app/bars/Bars.h"
#include "app/bars/DriveBar.h"
#include "wingui/GuiDraw.h"
#include "app/Language.h"
#include "app/bars/StatusBar.h"
#include "wingui/WindowUtil.h"
#include "panels/PanelWindow.h"

static struct {
    HWND buttons[10];
    uint16_t shift;
    WNDPROC prevProc;
    HWND tooltip;
} gKeys;

int KeyBarShift() { return gKeys.shift; }

HWND KeyBarButton(int key) { return key >= 0 && key < 10 ? gKeys.buttons[key] : nullptr; }

void KeyBarSetShift(int shift) {
    if (shift == gKeys.shift)
        return;
    gKeys.shift = (uint16_t)shift;
    gButtonArt.functionKeyShift = shift;
    KeyBarRepaint(1);
}

static void KeyTip(HWND button, NMHDR *header) {
    char text[80] = "";
    int key = GetDlgCtrlID(button);
    if (BarTipsAllowed() && key >= 0 && key < 10) {
        TextGet(KeyBarLabelId(key, gKeys.shift), text, sizeof text);
        // A tip only for a label the button cuts.
        HDC dc = GetDC(button);
        HGDIOBJ old = SelectObject(dc, gApp->fontGui ? gApp->fontGui : GetStockObject(DEFAULT_GUI_FONT));
        SIZE size = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        SelectObject(dc, old);
        ReleaseDC(button, dc);
        RECT r;
        GetClientRect(button, &r);
        if (size.cx + 7 <= r.right)
            text[0] = 0;
    }
    BarTipSetText(header, text);
}

static LRESULT CALLBACK KeyButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        BarButtonMouseMove(button, gKeys.tooltip, message, wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
        gBarButtonPressed = true;
        break;
    case WM_NOTIFY: {
        NMHDR *header = (NMHDR *)lParam;
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            KeyTip(button, header);
            return 0;
        }
        break;
    }
    case WM_ERASEBKGND:
        return 1;
    }
    return CallWindowProcA(gKeys.prevProc, button, message, wParam, lParam);
}

static void KeyBarClick(int key) {
    PanelSetFocus(gApp->activePanel);
    if (key < 0 || key >= 10)
        return;
    int command = KeyBarCommand(key, gKeys.shift);
    if (command == 0)
        MessageBeep(0);
    else if (command == 518 || command == 618)
        DriveSelectDialog(gMainWindow, command == 618 ? 1 : 0);
    else
        PostMessageA(gMainWindow, WM_COMMAND, command, 0);
}

static void KeyBarDrawItem(const DRAWITEMSTRUCT *item) {
    int key = (int)item->CtlID;
    UINT state = item->itemState;
    unsigned style = kBtnFunctionKey;
    if (BarClassicStyle()) {
        style |= BarClassicFrame();
    } else {
        style |= kBtnFlat;
        if (!gBarButtonPressed)
            state &= ~ODS_SELECTED;
    }
    gButtonArt.functionKeyShift = gKeys.shift;
    int command = KeyBarCommand(key, gKeys.shift);
    // A key whose feature is not built yet looks greyed (it only beeps).
    if (command > 0 && IsKnownCommand(command) && !CommandIsBuilt(command))
        state |= ODS_GRAYED;
    // The painter leaves a key without a command alone: clear it first.
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (command)
        WndDrawButton(item->hDC, &item->rcItem, key, state, style, command);
    else if (BarClassicStyle())
        DrawEdge(item->hDC, (RECT *)&item->rcItem, EDGE_RAISED, BF_RECT);
}

static LRESULT CALLBACK KeyBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DRAWITEM:
        KeyBarDrawItem((const DRAWITEMSTRUCT *)lParam);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam)
            KeyBarClick((int)LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND KeyBarCreate(HWND parent) {
    if (gApp->fkeyBar)
        return gApp->fkeyBar;
    HWND bar = BarCreateWindow("FB", KeyBarWndProc, parent);
    if (!bar)
        return nullptr;
    gKeys.tooltip = BarCreateTooltip(bar);
    for (int i = 0; i < 10; i++) {
        HWND button = BarCreateButton(bar, i, 0, 0);
        gKeys.buttons[i] = button;
        if (!button)
            continue;
        WNDPROC previous = (WNDPROC)SetWindowLongPtrA(button, GWLP_WNDPROC, (LONG_PTR)KeyButtonProc);
        if (!gKeys.prevProc)
            gKeys.prevProc = previous;
        BarAddTool(gKeys.tooltip, button);
    }
    gApp->fkeyBar = bar;
    return bar;
}

void KeyBarDestroy() {
    if (gKeys.tooltip)
        DestroyWindow(gKeys.tooltip);
    gKeys.tooltip = nullptr;
    if (gApp->fkeyBar)
        DestroyWindow(gApp->fkeyBar);
    gApp->fkeyBar = nullptr;
    for (HWND &b : gKeys.buttons)
        b = nullptr;
    if (gApp->hoverWindow && !IsWindow(gApp->hoverWindow))
        gApp->hoverWindow = nullptr;
}

int KeyBarGetHeight() { return gApp && gApp->fkeyBar ? FontGuiLineHeight() + 10 : 0; }

void KeyBarLayout() {
    if (!gApp->fkeyBar)
        return;
    int w = gApp->clientWidth, h = gApp->clientHeight, t = FontGuiLineHeight();
    // The bar and its keys move without their old bits: pieces of what was
    // there before would stay.
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
    SetWindowPos(gApp->fkeyBar, nullptr, 0, h - t - StatusBarGetHeight(0) - 10, w, t + 10, flags);
    for (int i = 0; i < 10; i++) {
        int x, width;
        KeyBarButtonSpan(i, w, &x, &width);
        if (gKeys.buttons[i])
            SetWindowPos(gKeys.buttons[i], nullptr, x, 1, width, t + 8, flags);
    }
}

void KeyBarRepaint(int full) {
    for (HWND b : gKeys.buttons) {
        if (!b)
            continue;
        if (full)
            InvalidateRect(b, nullptr, FALSE);
        else
            WndInvalidateFrame(b);
    }
}
