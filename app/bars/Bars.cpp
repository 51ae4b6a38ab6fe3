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

static const COLORREF kKey = RGB(192, 192, 192); // transparent in the drive strip

static void Box(HDC dc, int l, int t, int r, int b, COLORREF fill, COLORREF line) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, line);
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    Rectangle(dc, l, t, r, b);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
}

static void Disc(HDC dc, int l, int t, int r, int b, COLORREF fill, COLORREF line) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, line);
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    Ellipse(dc, l, t, r, b);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
}

// One drive picture of kind k into a cell at (x, 0), h pixels high.
static void DrawDriveKind(HDC dc, int k, int x, int h) {
    const COLORREF ink = RGB(40, 40, 40);
    int m = h / 2;
    switch (k) {
    case 1: // diskette
        Box(dc, x + 3, 0, x + 3 + h, h, RGB(30, 60, 140), ink);
        Box(dc, x + 6, 0, x + h, m - 1, RGB(220, 220, 230), ink);
        break;
    case 2: // fixed disk
        Box(dc, x + 1, m - 3, x + 17, m + 4, RGB(150, 150, 160), ink);
        Box(dc, x + 12, m, x + 15, m + 2, RGB(0, 200, 0), RGB(0, 120, 0));
        break;
    case 3: // CD-ROM
        Disc(dc, x + 2, 0, x + 2 + h, h, RGB(230, 230, 160), ink);
        Disc(dc, x + 1 + m, m - 1, x + 4 + m, m + 2, kKey, ink);
        break;
    case 4: // network drive
        Box(dc, x + 1, 0, x + 17, m + 1, RGB(150, 150, 160), ink);
        Box(dc, x + 8, m, x + 10, h, RGB(0, 90, 200), RGB(0, 90, 200));
        break;
    case 5: // RAM disk
        Box(dc, x + 1, m - 3, x + 17, m + 3, RGB(0, 140, 70), ink);
        break;
    case 7: // removable
        Box(dc, x + 1, m - 3, x + 17, m + 4, RGB(200, 160, 60), ink);
        Box(dc, x + 4, m - 1, x + 14, m + 1, RGB(60, 40, 0), RGB(60, 40, 0));
        break;
    case 8: // network neighbourhood
        Box(dc, x + 1, 0, x + 9, m + 1, RGB(0, 128, 128), ink);
        Box(dc, x + 8, m - 1, x + 17, h, RGB(0, 128, 128), ink);
        break;
    case 9: // mobile device
        Box(dc, x + 6, 0, x + 13, h, RGB(90, 90, 90), ink);
        Box(dc, x + 7, 1, x + 12, m, RGB(160, 220, 255), RGB(160, 220, 255));
        break;
    case 10: // FTP connection
        Disc(dc, x + 2, 0, x + 2 + h, h, RGB(70, 140, 230), ink);
        Box(dc, x + 2, m, x + 2 + h, m + 1, RGB(255, 255, 255), RGB(255, 255, 255));
        break;
    default:
        Box(dc, x + 4, 1, x + 14, h - 1, RGB(255, 255, 255), ink);
        break;
    }
}

static HBITMAP MakeDriveStrip(HDC screen) {
    const int width = 396, height = 14;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    if (!bitmap || !dc) {
        if (dc)
            DeleteDC(dc);
        return bitmap;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH key = CreateSolidBrush(kKey);
    FillRect(dc, &all, key);
    DeleteObject(key);
    for (int k = 1; k <= 11; k++) {
        DrawDriveKind(dc, k, 18 * (k - 1), 14); // flat buttons
        DrawDriveKind(dc, k, 198 + 18 * (k - 1), 9); // classic buttons
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

// A tile per command of the table: a coloured square with the first letter
// of its text. The colour comes from the table position, so neighbours
// differ.
static HIMAGELIST MakeToolImages(HDC screen, int size) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kToolbarCommandCount, 8);
    if (!list)
        return nullptr;
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HFONT font = CreateFontA(-(size * 2 / 3), 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
    const COLORREF mask = RGB(255, 0, 255);
    for (int i = 0; i < kToolbarCommandCount && dc && bitmap; i++) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all = {0, 0, size, size};
        HBRUSH back = CreateSolidBrush(mask);
        FillRect(dc, &all, back);
        DeleteObject(back);
        COLORREF fill = RGB(60 + (i * 53) % 160, 60 + (i * 97) % 160, 60 + (i * 31) % 160);
        Box(dc, 1, 1, size - 1, size - 1, fill, RGB(30, 30, 30));
        char text[64] = "";
        int command = kToolbarCommands[i];
        ToolBarButtonText(command, text, sizeof text);
        char glyph[2] = {text[0] ? text[0] : '?', 0};
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        DrawTextA(dc, glyph, 1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, oldFont);
        SelectObject(dc, old);
        ImageList_AddMasked(list, bitmap, mask);
    }
    if (font)
        DeleteObject(font);
    if (bitmap)
        DeleteObject(bitmap);
    if (dc)
        DeleteDC(dc);
    return list;
}

void BarsMakeArt() {
    if (gButtonArt.driveStrip)
        return;
    HDC screen = GetDC(nullptr);
    gButtonArt.driveStrip = MakeDriveStrip(screen);
    gButtonArt.toolImages[0] = MakeToolImages(screen, 18);
    gButtonArt.toolImages[1] = MakeToolImages(screen, 24);
    ReleaseDC(nullptr, screen);
    gButtonArt.userCommandIcon = ToolBarUserIcon;
}
