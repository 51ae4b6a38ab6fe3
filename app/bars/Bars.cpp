// What the main window calls for all bars, the button tracking they share
// and the pictures the button painter draws from.
#include "frontends/FtpFrontEnd.h"
#include "app/bars/Bars.h"

#include <commctrl.h>
#include <string.h>

#include "AppState.h"
#include "app/bars/BarLayout.h"
#include "app/bars/CommandLine.h"
#include "app/bars/DriveBar.h"
#include "app/bars/FunctionKeys.h"
#include "wingui/GuiDraw.h"
#include "app/Language.h"
#include "base/SettingsValues.h"
#include "app/bars/StatusBar.h"
#include "app/bars/ToolBar.h"
#include "wingui/WindowUtil.h"
#include "panels/PanelWindow.h"

bool gBarButtonPressed;

void BarsCreate(HWND mainWindow) {
    BarsMakeArt();
    uint16_t bars = gApp->barOptions;
    if (bars & kBarToolbar)
        ToolBarBuild(mainWindow);
    if (bars & kBarDrives) {
        DriveBarRescan();
        DriveBarCreateAll(mainWindow);
    }
    if (bars & kBarCmdLine)
        CmdLineCreate(mainWindow);
    if (bars & kBarStatus)
        StatusBarCreate(mainWindow, 0);
    if (bars & kBarFkeys)
        KeyBarCreate(mainWindow);
    if (bars & kBarPanelStatus) {
        StatusBarCreate(mainWindow, 1);
        StatusBarCreate(mainWindow, 2);
    }
    ToolBarStartIconLoader();
}

void BarsLayout() {
    if (!gApp || !gMainWindow)
        return;
    ToolBarLayout();
    DriveBarLayoutAll();
    StatusBarLayout(0);
    KeyBarLayout();
    CmdLineLayout();
    StatusBarLayout(1);
    StatusBarLayout(2);
}

int BarsTopHeight() {
    if (!gApp)
        return 0;
    return ToolBarGetHeight() + DriveBarGetHeight();
}

int BarsBottomHeight() {
    if (!gApp)
        return 0;
    return StatusBarGetHeight(0) + KeyBarGetHeight() + CmdLineGetHeight() + StatusBarPanelHeight() + FtpBarHeight();
}

void StatusBarSetField(int field, const char *text) { StatusBarSetText(field, text); }

void DriveBarRefresh(bool force) {
    if (!gApp)
        return;
    if (!DriveBarRescan() && !force)
        return;
    DriveBarDestroyAll();
    if ((gApp->barOptions & kBarDrives) && gMainWindow)
        DriveBarCreateAll(gMainWindow);
    if (gMainWindow)
        PostMessageA(gMainWindow, WM_SIZE, SIZE_RESTORED, 0);
}

void BarsRepaintButtons(int full) {
    DriveBarRepaintAll(full);
    ToolBarRepaint(full);
    KeyBarRepaint(full);
}

void BarsToggle(HWND mainWindow, int command) {
    static const struct {
        int command;
        uint16_t bit;
    } kToggles[] = {{241, kBarToolbar}, {242, kBarDrives},     {243, kBarStatus},
                    {244, kBarFkeys},   {245, kBarCmdLine},    {246, kBarPanelStatus}};
    for (const auto &t : kToggles) {
        if (t.command != command)
            continue;
        gApp->barOptions ^= t.bit;
        bool on = (gApp->barOptions & t.bit) != 0;
        switch (command) {
        case 241:
            if (on)
                ToolBarBuild(mainWindow);
            else
                ToolBarDestroy();
            break;
        case 242:
            DriveBarDestroyAll();
            if (on) {
                DriveBarRescan();
                DriveBarCreateAll(mainWindow);
            }
            break;
        case 243:
            if (on)
                StatusBarCreate(mainWindow, 0);
            else
                StatusBarDestroy(0);
            break;
        case 244:
            if (on)
                KeyBarCreate(mainWindow);
            else
                KeyBarDestroy();
            break;
        case 245:
            if (on) {
                CmdLineCreate(mainWindow);
            } else {
                CmdLineFocusMemo();
                CmdLineDestroy();
            }
            break;
        case 246:
            for (int which = 1; which <= 2; which++) {
                if (on)
                    StatusBarCreate(mainWindow, which);
                else
                    StatusBarDestroy(which);
            }
            break;
        }
        BarsLayout();
        PanelRelayoutAll();
        InvalidateRect(mainWindow, nullptr, FALSE);
        return;
    }
}

// ---- shared button behaviour

bool BarClassicStyle() { return gApp && (gApp->panelOptions & kPanelClassicButtons); }
unsigned BarClassicFrame() { return gApp && (gApp->panelOptions & kPanelClassic2) ? 2 : 1; }

bool BarTipsAllowed() {
    return gApp && (gApp->generalOptions & kGenHelp) && gMainWindow && WndActiveWindow() == gMainWindow;
}

void BarButtonMouseMove(HWND button, HWND tooltip, UINT message, WPARAM wParam, LPARAM lParam) {
    if (tooltip) {
        MSG msg = {button, message, wParam, lParam, (DWORD)GetMessageTime(), {}};
        GetCursorPos(&msg.pt);
        SendMessageA(tooltip, TTM_RELAYEVENT, 0, (LPARAM)&msg);
    }
    POINT pt;
    GetCursorPos(&pt);
    HWND &hot = gApp->hoverWindow;
    if (hot == button && WindowFromPoint(pt) != button) {
        WndInvalidateFrame(button);
        ReleaseCapture();
        gBarButtonPressed = false;
        hot = nullptr;
        return;
    }
    if (BarClassicStyle() || hot == button)
        return;
    if (hot)
        WndInvalidateFrame(hot);
    hot = button;
    SetCapture(button);
    WndInvalidateFrame(button);
}

HWND BarCreateTooltip(HWND owner) {
    return CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, 10,
                           10, owner, nullptr, gApp->hInstance, nullptr);
}

void BarAddTool(HWND tooltip, HWND button) {
    if (!tooltip || !button)
        return;
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = button;
    info.uId = (UINT_PTR)button;
    info.hinst = gApp->hInstance;
    info.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tooltip, TTM_ADDTOOLA, 0, (LPARAM)&info);
}

void BarTipSetText(NMHDR *header, const char *text) {
    // Common controls 6 may ask in Unicode even from an ANSI window.
    if (header->code == TTN_GETDISPINFOA) {
        NMTTDISPINFOA *info = (NMTTDISPINFOA *)header;
        lstrcpynA(info->szText, text, sizeof info->szText);
        info->lpszText = info->szText;
    } else {
        NMTTDISPINFOW *info = (NMTTDISPINFOW *)header;
        MultiByteToWideChar(CP_ACP, 0, text, -1, info->szText, 80);
        info->szText[79] = 0;
        info->lpszText = info->szText;
    }
}

bool BarRegisterClass(const char *name, WNDPROC proc, UINT style) {
    WNDCLASSA wc = {};
    if (GetClassInfoA(gApp->hInstance, name, &wc))
        return true;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = gApp->hInstance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    wc.cbWndExtra = sizeof(LONG_PTR);
    return RegisterClassA(&wc) != 0;
}

HWND BarCreateWindow(const char *className, WNDPROC proc, HWND parent) {
    if (!BarRegisterClass(className, proc, 0))
        return nullptr;
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                           gApp->hInstance, nullptr);
}

HWND BarCreateButton(HWND bar, int id, int width, int height) {
    // Visible, owner-drawn push button; the bar paints it in WM_DRAWITEM.
    return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, width, height, bar,
                           (HMENU)(UINT_PTR)(uint16_t)id, gApp->hInstance, nullptr);
}

// ---- pictures

// Resources made at build time from the Tango icon theme.
enum { kDriveStripId = 2, kToolStrip18Id = 3, kToolStrip24Id = 4 };

void BarsMakeArt() {
    if (gButtonArt.driveStrip)
        return;
    gButtonArt.driveStrip =
        (HBITMAP)LoadImageA(gApp->hInstance, MAKEINTRESOURCEA(kDriveStripId), IMAGE_BITMAP, 0, 0, 0);
    gButtonArt.toolImages[0] = ImageListFromBitmap(gApp->hInstance, kToolStrip18Id, kToolbarCommandCount, 18, 18);
    gButtonArt.toolImages[1] = ImageListFromBitmap(gApp->hInstance, kToolStrip24Id, kToolbarCommandCount, 24, 24);
    gButtonArt.userCommandIcon = ToolBarUserIcon;
}
