#include "app/MainWindow.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/bars/Bars.h"
#include "app/Commands.h"
#include "wingui/GuiDraw.h"
#include "app/Help.h"
#include "app/bars/KeyHook.h"
#include "app/bars/StatusBar.h"
#include "app/bars/ToolBar.h"
#include "app/DirWatch.h"
#include "app/Language.h"
#include "app/MainMenu.h"
#include "app/Menus.h"
#include "app/bars/Splitter.h"
#include "app/Menus.h"
#include "base/Memory.h"
#include "base/ParamExpand.h"
#include "base/Paths.h"
#include "app/Settings.h"
#include "wingui/ShellServices.h"
#include "app/Startup.h"
#include "base/Texts.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"
#include "fileops/DiskTools.h"
#include "fileops/FileSystem.h"
#include "fileops/SysTools.h"
#include "frontends/FtpFrontEnd.h"
#include "panels/PanelDrag.h"
#include "panels/Location.h"
#include "panels/PanelInput.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"
#include "panels/PanelViewMenu.h"
#include "panels/PanelWindow.h"
#include "tools/ExtPrograms.h"
#include "tools/FindTool.h"
#include "tools/RunServices.h"
#include "tools/ToolWindows.h"

int (*gMainAskBox)(HWND, unsigned, const char *, UINT) = MsgBoxId;

static bool RectValid(const WindowPos &pos) { return pos.left < pos.right; }

// History, Container and Favorites come back where they were when they were
// shown; a tool window whose feature is not built yet stays hidden.
static void RestoreToolWindows() {
    static const struct {
        int tool, slot, command;
    } kTools[] = {{kToolHistory, kPosHistory, 302}, {kToolContainer, kPosContainer, 304},
                  {kToolFavorites, kPosFavorites, 303}};
    for (const auto &t : kTools) {
        const WindowPos &pos = gApp->windowPos[t.slot];
        if (gApp->toolWindows[t.tool] && pos.show == 1 && RectValid(pos) && CommandIsBuilt(t.command))
            WndRestorePos(gApp->toolWindows[t.tool], &pos);
    }
}

static float SplitRatio() {
    float ratio = gApp->splitRatio;
    return ratio > 0.05f && ratio < 0.95f ? ratio : 0.5f;
}

// ---- creation

static void MainLanguageChanged(HWND) {
    if (gMainWindow)
        MenusBuild(gMainWindow);
    LangRetitleToolWindows();
}

LRESULT OnMainCreate(HWND window) {
    gApp->clockMinute = 255;
    gApp->isWinNT = AppIsWinNt();
    gMainWindow = window;
    LoadSettings(window);
    if (gApp->language[0] && !(gApp->panelOptions & kPanelNoLogo))
        ShowStartLogo();
    gApp->panels[1].panelIndex = 1;
    DragCreateDropSource();

    char buffer[4];
    bool decimal = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 4) != 0;
    gApp->decimalSep = buffer[0];
    bool thousand = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 3) != 0;
    gApp->thousandSep = buffer[0];
    if (!decimal || !thousand) {
        gApp->decimalSep = ',';
        gApp->thousandSep = '.';
    }

    KeyHookInstall();
    FontInitGui(window);
    for (int i = 0; i < kPanelColorCount; i++)
        gApp->panelBrushes[i] = CreateSolidBrush(gApp->panelColors[i]);
    gApp->brushEditorBk = CreateSolidBrush(gApp->colorEditor[1]);
    gApp->brushViewerBk = CreateSolidBrush(gApp->colorViewer[1]);

    WindowPos &mainPos = gApp->windowPos[kPosMain];
    if (RectValid(mainPos)) {
        mainPos.show = 0;
        WndRestorePos(window, &mainPos);
    }
    ToolWindowsCreate(window);
    // A tree panel shows the other panel's folder.
    if ((gApp->panelMode[0] & 0xF) == kViewTree)
        memcpy(gApp->panelPath[0], gApp->panelPath[1], 260);
    else if ((gApp->panelMode[1] & 0xF) == kViewTree)
        memcpy(gApp->panelPath[1], gApp->panelPath[0], 260);

    BarsCreate(window);
    gApp->ftpIcons[0] = (HICON)LoadImageA(gApp->hInstance, MAKEINTRESOURCEA(88), IMAGE_ICON, 16, 16, 0);
    gApp->ftpIcons[1] = (HICON)LoadImageA(gApp->hInstance, MAKEINTRESOURCEA(89), IMAGE_ICON, 16, 16, 0);
    SetTimer(window, 1, 1000, nullptr);
    gLanguageChangedHook = MainLanguageChanged;
    if (!gApp->langTable)
        InitLanguage(window);
    MenusBuild(window);
    PostMessageA(window, WM_COMMAND, 800, 0);
    return 0;
}

void FontCreateMain() {
    struct Slot {
        HFONT *font;
        int index;
    } slots[] = {{&gApp->fontPanel, kFontPanel},   {&gApp->fontStatus, kFontStatus},
                 {&gApp->fontEditor, kFontEditor}, {&gApp->fontViewer, kFontViewer},
                 {&gApp->fontDump, kFontDump}};
    for (const Slot &slot : slots) {
        if (*slot.font)
            continue;
        const LOGFONTA &lf = gApp->fonts[slot.index];
        *slot.font = lf.lfFaceName[0] ? CreateFontIndirectA(&lf) : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    }
}

void MainStartupStep2(HWND window) {
    AniRegisterClass();
    PanelCreateWindows(window, 0);
    PanelCreateWindows(window, 1);
    if (gApp->cmdLine)
        CmdHistoryLoad(gApp->cmdLine);
    PanelShowModeName(0);
    PanelShowModeName(1);
    RunSetCurDirFromPanel(window, gApp->activePanel);
    SetWindowTextA(window, gApp->windowTitle);
    PanelUpdateStatusLine();
    FontCreateMain();
    DiskUpdateEjectButtons();
    ToolListInsert(gApp->toolWindows[kToolHistory], gApp->panelPath[0], 0);
    ToolListInsert(gApp->toolWindows[kToolHistory], gApp->panelPath[1], 0);
    // The refresh thread posts command 801 once it runs.
    if (!PanelRefreshStart())
        PostMessageA(window, WM_COMMAND, 801, 0);
}

void MainStartupStep3(HWND window) {
    if (gApp->logoWindow)
        PostMessageA(gApp->logoWindow, WM_USER, 0, 0);
    FontCreateMain();
    PanelRelayoutAll();
    ShowWindow(window, gApp->windowPos[kPosMain].maximised ? SW_MAXIMIZE : gApp->showCmd);
    if (gApp->showCmd != SW_MINIMIZE) {
        RestoreToolWindows();
    }
    for (int panel = 0; panel < 2; panel++)
        DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
    if (gApp->cmdLine && (gApp->generalOptions & kGenCmdLineFocus)) {
        SetFocus(gApp->cmdLine);
        gApp->cmdLineEdit = GetFocus();
    } else {
        PanelFocusActive();
    }
    PanelRelayoutAll();
    UpdateWindow(window);
    ToolBarStartIconLoader();
}

// ---- shutdown

void OnMainClose(HWND window) {
    if (gApp->cmdLine) {
        HWND focus = GetFocus();
        if (focus && (focus == gApp->cmdLine || IsChild(gApp->cmdLine, focus)))
            gApp->generalOptions |= kGenCmdLineFocus;
        else
            gApp->generalOptions &= ~kGenCmdLineFocus;
    }
    // Ask before anything is closed: "No" must leave open work alone.
    if ((gApp->confirmFlags & kConfirmExit) &&
        gMainAskBox(window, Txt::askExit, gWindowTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    // The windows unregister themselves while closing: walk a copy.
    uint32_t count = gApp->modelessDialogCount;
    HWND *open = count ? (HWND *)MemAlloc(count * sizeof(HWND)) : nullptr;
    for (uint32_t i = 0; open && i < count; i++)
        open[i] = (HWND)gApp->modelessDialogs[i].window;
    for (uint32_t i = 0; open && i < count; i++) {
        if (IsWindow(open[i]))
            SendMessageA(open[i], WM_CLOSE, 0, 0);
    }
    MemFree(&open);

    for (int panel = 0; panel < 2; panel++)
        gRefreshFlags[panel] &= ~kRefreshKeepOn;
    ToolListSave(gApp->toolWindows[kToolFavorites], "PP");
    if (gApp->generalOptions & kGenKeepHistory)
        ToolListSave(gApp->toolWindows[kToolHistory], "History");
    if (gApp->generalOptions & kGenKeepContainer)
        ToolListSave(gApp->toolWindows[kToolContainer], "Container");
    DestroyWindow(window);
}

void OnMainDestroy(HWND window) {
    for (int panel = 0; panel < 2; panel++)
        gRefreshFlags[panel] &= ~kRefreshKeepOn;
    // Settings first: nothing below may cut the process off while they are
    // being written, and the watchdog only starts once they are on disk.
    if (gApp->generalOptions & kGenAutoSave)
        SaveSettings();
    if (gApp->cmdLine)
        CmdHistorySave(gApp->cmdLine);
    ExitWatchdogStart();
    InterlockedOr(&gApp->dirSizeFlags, 4 | 8); // running folder-size counts stop
    PanelRefreshStop(); // the icon loaders end with it
    ToolBarStopIconLoader();
    FindToolUnlink();
    DragReleaseDropSource();
    // A refresh thread that did not end in time may still read the list.
    if (!(gRefreshFlags[0].load() & kRefreshAlive)) {
        MemFree(&gApp->shareList.data);
        gApp->shareList = GrowBuffer{};
    }

    TrayIconSet(window, kTrayDelete);
    KillTimer(window, 1);
    for (int panel = 0; panel < 2; panel++)
        DirWatchClose(&gApp->changeNotify[panel]);
    for (HBRUSH &brush : gApp->panelBrushes) {
        if (brush)
            DeleteObject(brush);
        brush = nullptr;
    }
    HGDIOBJ objects[] = {gApp->brushEditorBk, gApp->brushViewerBk, gApp->brushProgress, gApp->fontPanel,
                         gApp->fontStatus,    gApp->fontEditor,    gApp->fontViewer,    gApp->fontDump,
                         gApp->fontCmdLine,   gApp->dragBrush};
    for (HGDIOBJ object : objects) {
        if (object)
            DeleteObject(object); // stock objects ignore this
    }
    gApp->brushEditorBk = gApp->brushViewerBk = gApp->brushProgress = nullptr;
    gApp->fontPanel = gApp->fontStatus = gApp->fontEditor = gApp->fontViewer = gApp->fontDump = nullptr;
    gApp->fontCmdLine = nullptr;
    gApp->dragBrush = nullptr;

    // The temporary folder is shared by every instance: the last one out
    // removes it, so that no instance loses another one's copies.
    if (!OtherInstanceRunning(window)) {
        char temp[MAX_PATH];
        PathGetTempFolder(temp, sizeof temp);
        size_t n = strlen(temp);
        if (n > 3 && (temp[n - 1] == '\\' || temp[n - 1] == '/'))
            temp[n - 1] = 0;
        if (n > 3)
            DirRemoveTree(temp);
    }
    if (gApp->keyboardHook)
        UnhookWindowsHookEx(gApp->keyboardHook);
    gApp->keyboardHook = nullptr;
    if (gApp->richEditLib)
        FreeLibrary(gApp->richEditLib);
    gApp->richEditLib = nullptr;
    OwnerDrawCacheFree();
    FontFreeGui();
    ToolWndFreeAll();
    PostQuitMessage(0);
}

// ---- clock, layout, splitter

void MainClockTick(HWND window) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[64];
    if ((gApp->clockDate & 0x1F) != now.wDay) {
        gApp->clockDate = (uint32_t)(now.wDay | (now.wMonth << 5) | ((now.wYear - 1980) << 9));
        if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, text, sizeof text))
            StatusBarSetField(15, text);
    }
    if (gApp->clockMinute != now.wMinute) {
        gApp->clockMinute = (uint8_t)now.wMinute;
        if (GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, &now, nullptr, text, sizeof text))
            StatusBarSetField(16, text);
        if (gApp->barOptions & kBarDrives)
            DriveBarRefresh(false);
    }
    for (int panel = 0; panel < 2; panel++) {
        if (DirWatchPoll(&gApp->changeNotify[panel]))
            PanelRequestReread(panel);
    }
    if (gApp->hoverWindow) {
        POINT pt;
        GetCursorPos(&pt);
        if (WindowFromPoint(pt) != gApp->hoverWindow) {
            if (!(gApp->panelOptions & kPanelClassicButtons))
                WndInvalidateFrame(gApp->hoverWindow);
            gApp->hoverWindow = nullptr;
        }
    }
    (void)window;
}

static void MainOnSize(HWND window, WPARAM type, LPARAM lParam) {
    if (type == SIZE_MINIMIZED) {
        if (gApp->panelOptions & kPanelSysTray) {
            TrayIconSet(window, kTrayAdd);
            ShowWindow(window, SW_HIDE);
        }
        return;
    }
    if (gApp->cmdLine)
        PostMessageA(gApp->cmdLine, CB_SHOWDROPDOWN, FALSE, 0);
    RECT client;
    GetClientRect(window, &client);
    (void)lParam;
    if (client.right > 0) {
        gApp->clientWidth = (int16_t)client.right;
        gApp->clientHeight = (int16_t)client.bottom;
        gApp->splitterPos = (int32_t)(client.right * SplitRatio());
    }
    if (type == SIZE_RESTORED) {
        RestoreToolWindows();
    }
    BarsLayout();
    PanelRelayoutAll();
}

static bool BothPanelsOn() { return !gApp->panelOff[0] && !gApp->panelOff[1]; }

static RECT SplitterArea(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    r.top += BarsTopHeight();
    r.bottom -= BarsBottomHeight();
    return r;
}

static void MainOnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT area = SplitterArea(window);
    if (BothPanelsOn()) {
        int x = gApp->splitterPos;
        RECT a = {x - 2, area.top, x - 1, area.bottom};
        RECT b = {x - 1, area.top, x + 1, area.bottom};
        RECT c = {x + 1, area.top, x + 2, area.bottom};
        FillRect(dc, &a, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        FillRect(dc, &b, GetSysColorBrush(COLOR_BTNTEXT));
        FillRect(dc, &c, GetSysColorBrush(COLOR_BTNFACE));
    } else {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNTEXT));
    }
    EndPaint(window, &ps);
}

static void MainOnMouse(HWND window, UINT message, LPARAM lParam) {
    int x = (short)LOWORD(lParam);
    bool dragging = gApp->dragRect.bottom != 0;
    switch (message) {
    case WM_MOUSEMOVE:
        if (!BothPanelsOn()) {
            SetCursor(LoadCursor(nullptr, IDC_ARROW));
            return;
        }
        if (dragging)
            SplitterDragMove(window, x, &gApp->dragRect, &gApp->dragBrush);
        if (gApp->hoverWindow != window) {
            if (gApp->hoverWindow && !(gApp->panelOptions & kPanelClassicButtons))
                WndInvalidateFrame(gApp->hoverWindow);
            gApp->hoverWindow = window;
        }
        return;
    case WM_LBUTTONDOWN:
        if (BothPanelsOn() && x >= gApp->splitterPos - 2 && x <= gApp->splitterPos + 2) {
            SplitterDragStart(window, x, &gApp->dragRect, &gApp->dragBrush);
            HCURSOR size = gApp->sizeCursor ? gApp->sizeCursor : LoadCursor(nullptr, IDC_SIZEWE);
            gApp->savedCursor = SetCursor(size);
            SetCapture(window);
        }
        return;
    case WM_LBUTTONUP:
        if (!dragging || !BothPanelsOn())
            return;
        SplitterDragEnd(window, &gApp->dragRect, &gApp->dragBrush);
        SetCursor(gApp->savedCursor);
        ReleaseCapture();
        if (gApp->clientWidth > 0) {
            RECT area = SplitterArea(window);
            RECT old = {gApp->splitterPos - 2, area.top, gApp->splitterPos + 2, area.bottom};
            gApp->splitRatio = (float)x / (float)gApp->clientWidth;
            gApp->splitterPos = (int32_t)(gApp->clientWidth * gApp->splitRatio);
            InvalidateRect(window, &old, FALSE);
            PanelRelayoutAll();
            InvalidateRect(window, nullptr, FALSE);
        }
        return;
    }
}

// ---- task popup

void MainTaskPopup(HWND window) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    HWND windows[kSysTaskMax];
    DWORD shell;
    int count = SysTaskMenuFill(menu, window, windows, &shell, false);
    int chosen = count ? gSysCalls.trackPopup(menu, window) : 0;
    DestroyMenu(menu);
    if (chosen >= kSysTaskFirstId && chosen < kSysTaskFirstId + count)
        WndBringToFront(windows[chosen - kSysTaskFirstId]);
}

static bool OnDrive(const char *path, char letter) {
    return path[0] && path[1] == ':' && (path[0] & ~0x20) == (letter & ~0x20);
}

void PanelLeaveDrive(char letter) {
    if (OnDrive(gApp->panelPath[0], letter)) {
        gApp->panels[0].location = LocationFree(gApp->panels[0].location);
        char target[260];
        if (OnDrive(gApp->panelPath[1], letter))
            PathGetWindowsRoot(target);
        else
            memcpy(target, gApp->panelPath[1], sizeof target);
        PanelChangeDir(target, 0);
    }
    if (OnDrive(gApp->panelPath[1], letter)) {
        gApp->panels[1].location = LocationFree(gApp->panels[1].location);
        char target[260];
        memcpy(target, gApp->panelPath[0], sizeof target);
        PanelChangeDir(target, 1);
    }
}

void MainPostByPanel(HWND window, int left, int right) {
    PostMessageA(window, WM_COMMAND, gApp->activePanel == 1 ? right : left, 0);
}

int RunExpandParams(const char *templ, char *out, size_t outSize, const char *file) {
    char fileShort[MAX_PATH] = "", activeShort[MAX_PATH] = "", otherShort[MAX_PATH] = "";
    if (file && file[0])
        PathGetShortName(file, fileShort, sizeof fileShort);
    int active = gApp->activePanel & 1;
    PathGetShortName(gApp->panelPath[active], activeShort, sizeof activeShort);
    PathGetShortName(gApp->panelPath[!active], otherShort, sizeof otherShort);
    ParamSources src = {file, fileShort, activeShort, otherShort, gApp->panelPath[active][0]};
    return ExpandParams(templ, out, outSize, src);
}

// ---- window procedure

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gApp)
        return 0;
    LRESULT menuResult;
    if (MenuHandleMessage(window, message, wParam, lParam, &menuResult))
        return menuResult;
    switch (message) {
    case WM_CREATE:
        // The menu pictures first: the menus built in OnMainCreate draw them.
        MenuIconsInit(gApp->hInstance);
        return OnMainCreate(window);
    case WM_DESTROY:
        OnMainDestroy(window);
        return 0;
    case WM_CLOSE:
        OnMainClose(window);
        return 0;
    case WM_SIZE:
        MainOnSize(window, wParam, lParam);
        return 0;
    case WM_MOVE:
        if (gApp->cmdLine)
            SendMessageA(gApp->cmdLine, CB_SHOWDROPDOWN, FALSE, 0);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && (gApp->barOptions & kBarDrives)) {
            if (!gApp->langTable && gApp->language[0])
                InitLanguage(window);
            DriveBarRefresh(false);
        }
        break;
    case WM_SETFOCUS:
        PanelFocusActive();
        for (int panel = 0; panel < 2; panel++) {
            if (gApp->changeNotify[panel] == INVALID_HANDLE_VALUE)
                PanelRequestReread(panel);
        }
        return 0;
    case WM_KILLFOCUS:
        gApp->wheelTarget = nullptr;
        return 0;
    case WM_PAINT:
        MainOnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SYSCOLORCHANGE:
        FontFreeGui();
        FontInitGui(window);
        if (gApp->colorScheme == 0) {
            gApp->panelColors[0] = GetSysColor(COLOR_WINDOW);
            if (gApp->panelBrushes[0])
                DeleteObject(gApp->panelBrushes[0]);
            gApp->panelBrushes[0] = CreateSolidBrush(gApp->panelColors[0]);
        }
        OwnerDrawCacheFree();
        InvalidateRect(window, nullptr, TRUE);
        if (gApp->cmdLine)
            InvalidateRect(gApp->cmdLine, nullptr, TRUE);
        break;
    case WM_SETTINGCHANGE:
        for (int panel = 0; panel < 2; panel++) {
            if (gApp->panels[panel].listWindow)
                PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
        }
        return 0;
    case WM_TIMECHANGE:
        gApp->clockDate = 0;
        gApp->clockMinute = 255;
        return 0;
    case WM_GETMINMAXINFO:
        ((MINMAXINFO *)lParam)->ptMinTrackSize.x = 300;
        ((MINMAXINFO *)lParam)->ptMinTrackSize.y = 300;
        return 0;
    case WM_COMMAND:
        MainCommandDispatch(window, wParam);
        return 0;
    case WM_INITMENUPOPUP:
        // Marks and greyed items follow the state as each menu opens.
        if (!HIWORD(lParam))
            PanelSyncViewMenu(nullptr);
        break;
    case WM_MENUSELECT: {
        int id = LOWORD(wParam);
        bool item = HIWORD(wParam) != 0xFFFF && !(HIWORD(wParam) & MF_POPUP);
        StatusBarMenuHelp(item && id > 92 ? id + 3000 : 0);
        break;
    }
    case WM_HELP:
        if (!(GetKeyState(VK_CONTROL) & 0x8000))
            HelpShow(window, gApp->programDir, gApp->language, 0);
        return TRUE;
    case WM_KEYDOWN:
        if (!gApp->renameEdit)
            PanelHandleKey(window, message, wParam, lParam);
        return 0;
    case WM_CHAR:
        if (!gApp->renameEdit && (gApp->generalOptions & kGenLetterJump) && wParam > 31 &&
            !(GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_SHIFT) & 0x8000))
            PanelJumpToLetter((unsigned char)wParam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE && (gApp->panelOptions & kPanelSysTray))
            ShowWindow(window, SW_HIDE);
        break;
    case WM_TIMER:
        if (wParam == 1)
            MainClockTick(window);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        PanelScrollFromMain(message, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        MainOnMouse(window, message, lParam);
        return 0;
    case kFtpNotifyMessage:
        FtpOnLibraryNotify(window, wParam, lParam);
        return 0;
    case WM_DRAWITEM:
        if (wParam == 217) {
            FtpDrawConnectionItem((const DRAWITEMSTRUCT *)lParam);
            return TRUE;
        }
        break;
    case WM_USER + 1:
        PanelSyncViewMenu(nullptr);
        for (int panel = 0; panel < 2; panel++) {
            if (gApp->panels[panel].listWindow)
                PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
        }
        return 0;
    case kMsgEditWatchEnded:
        EditWatchOnEnded();
        return 0;
    case kFindToolMessage:
        return FindToolResult(window, wParam, lParam);
    case kMsgInstanceHandover:
        return ReceiveInstanceHandover();
    case kMsgTrayCallback:
        if (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP) {
            WndBringToFront(window);
            TrayIconSet(window, kTrayDelete);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
