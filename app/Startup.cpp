#include "app/Startup.h"

#include <objbase.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "frontends/ViewerHost.h"
#include "app/MainWindow.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "app/Settings.h"
#include "base/Strings.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"
#include "frontends/Libraries.h"
#include "panels/PanelWindow.h"
#include "tools/RunServices.h"

UINT gWheelMessage = WM_MOUSEWHEEL;

static void SleepSeconds(unsigned long seconds) { Sleep(seconds * 1000); }
void (*gStartupSleep)(unsigned long) = SleepSeconds;

static void TerminateOwnProcess(DWORD processId, UINT exitCode) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    if (process) {
        TerminateProcess(process, exitCode);
        CloseHandle(process);
    }
}
void (*gExitTerminate)(DWORD, UINT) = TerminateOwnProcess;
DWORD gExitWatchdogDelay = kExitWatchdogMs;

uint32_t ParseCommandArgument(const char *argument, uint32_t flags) {
    StartupArgTargets targets{gApp->modulePath, {gApp->panelPath[0], gApp->panelPath[1]}, &gApp->showCmd,
                              gStartupSleep};
    return ParseStartupArgument(argument, flags, targets);
}

int StartupShowCommand() {
    STARTUPINFOA info;
    memset(&info, 0, sizeof info);
    info.cb = sizeof info;
    GetStartupInfoA(&info);
    // A launcher that leaves the flag clear has not chosen: its zeroed
    // wShowWindow would be SW_HIDE and the program would start invisible.
    if (!(info.dwFlags & STARTF_USESHOWWINDOW))
        return SW_SHOWNORMAL;
    return info.wShowWindow;
}

UINT gHandoverTimeoutMs = kHandoverTimeoutMs;

static void HandoverBlockName(HWND window, char *name, size_t size) {
    snprintf(name, size, "%s%ld", kMainClassName, (long)(LONG_PTR)window);
}

bool HandoverSend(HWND target, const char *left, const char *right) {
    if (!IsWindow(target))
        return false;
    char name[64];
    HandoverBlockName(target, name, sizeof name);
    SharedMemory block = {};
    MemSharedOpen(&block, name, kHandoverBlockSize);
    if (!block.view)
        return false;
    char *view = (char *)block.view;
    memset(view, 0, kHandoverBlockSize);
    strncpy(view, left, 259);
    strncpy(view + 260, right, 259);
    // A hung first instance must not hold this one forever.
    DWORD_PTR result = 0;
    bool answered = SendMessageTimeoutA(target, kMsgInstanceHandover, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                                        gHandoverTimeoutMs, &result) != 0;
    MemSharedClose(&block);
    return answered;
}

void HandoverReadBlock(const void *view, char paths[2][260]) {
    // Any process may write the block: take each path only up to its slot.
    for (int panel = 0; panel < 2; panel++) {
        memcpy(paths[panel], (const char *)view + 260 * panel, 260);
        paths[panel][259] = 0;
    }
}

void LoadStartupOptions(uint32_t flags) {
    IniReadOptions();

    bool handOver = (flags & kStartHandOver) != 0;
    if (((gApp->panelOptions & kPanelOneInstance) || handOver) && !(flags & kStartNewInstance)) {
        gMainWindow = FindWindowA(kMainClassName, nullptr);
        if (gMainWindow) {
            WndBringToFront(gMainWindow);
            TrayIconSet(gMainWindow, kTrayDelete);
            if (handOver && (gApp->panelPath[0][0] || gApp->panelPath[1][0]))
                HandoverSend(gMainWindow, gApp->panelPath[0], gApp->panelPath[1]);
        }
    }
    IniReadLanguage();
}

LRESULT ReceiveInstanceHandover() {
    char name[64];
    HandoverBlockName(gMainWindow, name, sizeof name);
    SharedMemory block = {};
    MemSharedOpen(&block, name, kHandoverBlockSize);
    if (!block.view)
        return 0;
    char paths[2][260];
    HandoverReadBlock(block.view, paths);
    MemSharedClose(&block);
    for (int panel = 0; panel < 2; panel++) {
        if (!paths[panel][0])
            continue;
        memcpy(gApp->panelPath[panel], paths[panel], 260);
        PanelChangeDir(gApp->panelPath[panel], panel);
    }
    return 0;
}

UINT ChooseWheelMessage() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return WM_MOUSEWHEEL;
    if ((version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 4) ||
        version.dwMajorVersion >= 5)
        return WM_MOUSEWHEEL;
    return RegisterWindowMessageA("MSWHEEL_ROLLMSG");
}

int RegisterMainClass(HINSTANCE instance) {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    if (!wc.hIcon)
        wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hIconSm = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, 0);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClassName;
    if (!RegisterClassExA(&wc))
        return 1;
    gApp->appIcon = wc.hIcon;
    gApp->shellIdListFormat = (uint16_t)RegisterClipboardFormatA("Shell IDList Array");
    return 0;
}

void TrayIconSet(HWND window, int operation) {
    NOTIFYICONDATAA data;
    memset(&data, 0, sizeof data);
    data.cbSize = 88; // the classic record: understood by every shell
    data.hWnd = window;
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kMsgTrayCallback;
    if (operation != kTrayDelete)
        data.hIcon = (HICON)GetClassLongPtrA(window, GCLP_HICONSM);
    strcpy(data.szTip, "Zq Vandrell");
    DWORD message = operation == kTrayAdd ? NIM_ADD : operation == kTrayModify ? NIM_MODIFY : NIM_DELETE;
    Shell_NotifyIconA(message, &data);
}

// ---- start logo

static const int kLogoWidth = 448, kLogoHeight = 256;

void ShowStartLogo() {
    WNDCLASSA wc;
    if (!GetClassInfoA(gApp->hInstance, "ZqLogo", &wc)) {
        memset(&wc, 0, sizeof wc);
        wc.lpfnWndProc = LogoWindowProc;
        wc.hInstance = gApp->hInstance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "ZqLogo";
        RegisterClassA(&wc);
    }
    gApp->logoReturnWindow = gMainWindow;
    gApp->logoWindow = CreateWindowExA(WS_EX_TOPMOST, "ZqLogo", "ZqLogo", WS_POPUP, 0, 0, kLogoWidth, kLogoHeight,
                                       GetDesktopWindow(), nullptr, gApp->hInstance, nullptr);
    if (gApp->logoWindow) {
        ShowWindow(gApp->logoWindow, SW_SHOW);
        UpdateWindow(gApp->logoWindow);
    }
}

LRESULT CALLBACK LogoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        RECT desk;
        GetClientRect(GetDesktopWindow(), &desk);
        SetWindowPos(window, nullptr, (desk.right - kLogoWidth) / 2, (desk.bottom - kLogoHeight) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetTimer(window, 1, 4342, nullptr);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HBITMAP picture = LoadBitmapA((HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE), MAKEINTRESOURCEA(1));
        if (picture) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, picture);
            BitBlt(dc, 0, 0, kLogoWidth, kLogoHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            DeleteObject(picture);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_USER:
        KillTimer(window, 1);
        SetTimer(window, 1, 1234, nullptr);
        return 0;
    case WM_TIMER: {
        KillTimer(window, 1);
        HWND back = gApp ? gApp->logoReturnWindow : nullptr;
        if (gApp)
            gApp->logoWindow = nullptr;
        if (back)
            WndBringToFront(back);
        DestroyWindow(window);
        if (gApp)
            gApp->logoReturnWindow = nullptr;
        return 0;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- shutdown helpers

DWORD WINAPI ExitWatchdogThread(void *) {
    DWORD self = GetCurrentProcessId();
    Sleep(gExitWatchdogDelay);
    gExitTerminate(self, 0xFFFFFFFF);
    return 0;
}

void ExitWatchdogStart() {
    HANDLE thread = CreateThread(nullptr, 0, ExitWatchdogThread, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}

void DirRemoveTree(const char *folder) {
    char pattern[MAX_PATH];
    pattern[0] = 0;
    if (StrAppend(pattern, folder, sizeof pattern) || StrAppend(pattern, "\\*", sizeof pattern))
        return; // a cut path could name another folder
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const char *name = data.cFileName;
            if (!strcmp(name, ".") || !strcmp(name, ".."))
                continue;
            char path[MAX_PATH];
            path[0] = 0;
            if (StrAppend(path, folder, sizeof path) || StrAppend(path, "\\", sizeof path) ||
                StrAppend(path, name, sizeof path))
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction is removed as a link; what it points at stays.
                if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    SetFileAttributesA(path, FILE_ATTRIBUTE_DIRECTORY);
                    RemoveDirectoryA(path);
                } else {
                    DirRemoveTree(path);
                }
            } else {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path);
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetLastError(0);
    RemoveDirectoryA(folder);
}

bool OtherInstanceRunning(HWND self) {
    HWND other = nullptr;
    while ((other = FindWindowExA(nullptr, other, kMainClassName, nullptr)) != nullptr) {
        if (other != self)
            return true;
    }
    return false;
}

// ---- message loop

bool MessageLoopPreTranslate(MSG *msg) {
    if ((msg->message == WM_MOUSEWHEEL || msg->message == gWheelMessage) && gApp->wheelTarget) {
        short delta = (short)HIWORD(msg->wParam);
        WPARAM code = delta < 0 ? SB_LINEDOWN : SB_LINEUP;
        for (int i = 0; i < 3; i++)
            PostMessageA(gApp->wheelTarget, WM_VSCROLL, code, (LPARAM)gApp->wheelTarget);
        return true;
    }
    if (ToolWndIsDialogMessage(msg))
        return true;
    HWND dialogs[] = {gApp->spaceDlg[0] ? *(HWND *)gApp->spaceDlg[0] : nullptr,
                      gApp->spaceDlg[1] ? *(HWND *)gApp->spaceDlg[1] : nullptr,
                      gApp->toolWindows[kToolContainer], gApp->toolWindows[kToolHistory],
                      gApp->toolWindows[kToolFavorites]};
    for (HWND dialog : dialogs) {
        if (dialog && IsDialogMessageA(dialog, msg))
            return true;
    }
    return false;
}

int RunMessageLoop() {
    MSG msg;
    int got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            break;
        if (MessageLoopPreTranslate(&msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

// ---- WinMain's body

static int FinishRun(int exitCode) {
    DeleteCriticalSection(&gApp->dialogListLock);
    if (gApp->optionalApis.kernel32)
        FreeLibrary(gApp->optionalApis.kernel32);
    if (gApp->optionalApis.shlwapi)
        FreeLibrary(gApp->optionalApis.shlwapi);
    MemFree(&gApp);
    OleUninitialize();
    return exitCode;
}

int RunKestrom(HINSTANCE instance) { return RunKestromArgs(instance, __argc, __argv); }

int RunKestromArgs(HINSTANCE instance, int argc, char **argv) {
    gApp = (AppState *)MemAlloc(sizeof(AppState));
    if (!gApp)
        return 1;
    gApp->hInstance = instance;
    gWindowTitle = gApp->windowTitle;
    InitializeCriticalSection(&gApp->dialogListLock);

    OptionalApis &apis = gApp->optionalApis;
    apis.kernel32 = LoadLibraryA("kernel32.dll");
    apis.shlwapi = LoadLibraryA("Shlwapi.dll");
    strcpy(gApp->windowTitle, "Zq Vandrell");
    if (apis.kernel32)
        apis.copyFileEx = GetProcAddress(apis.kernel32, "CopyFileExA");
    if (apis.shlwapi)
        apis.pathMatchSpec = GetProcAddress(apis.shlwapi, "PathMatchSpecA");

    if (!GetWindowsDirectoryA(gApp->windowsDir, sizeof gApp->windowsDir))
        gApp->windowsDir[0] = 0;
    gApp->changeNotify[0] = gApp->changeNotify[1] = INVALID_HANDLE_VALUE;

    DWORD n = GetModuleFileNameA(nullptr, gApp->modulePath, sizeof gApp->modulePath);
    if (n >= sizeof gApp->modulePath)
        gApp->modulePath[sizeof gApp->modulePath - 1] = 0;
    memcpy(gApp->programDir, gApp->modulePath, sizeof gApp->programDir);
    PathCutExtension(gApp->programDir);
    IniGetDefaultBase(gApp->modulePath);

    gApp->showCmd = StartupShowCommand();

    uint32_t flags = 0;
    for (int i = 1; i < argc; i++)
        flags = ParseCommandArgument(argv[i], flags);

    IniRelocateIfReadOnly();
    LoadStartupOptions(flags);
    if (gMainWindow)
        return FinishRun(0); // handed over to the running instance

    SetErrorMode(SEM_FAILCRITICALERRORS);
    gApp->iconWorker = INVALID_HANDLE_VALUE;
    for (int panel = 0; panel < 2; panel++)
        gApp->panels[panel].filter = &gApp->panelFilter[panel];

    OleInitialize(nullptr);
    CeLoad();
    if (RegisterMainClass(instance) != 0) {
        OleUninitialize();
        DeleteCriticalSection(&gApp->dialogListLock);
        MemFree(&gApp);
        return 2;
    }
    gWindowTitle = gApp->windowTitle;
    gMainWindow = CreateWindowExA(0, kMainClassName, gApp->windowTitle,
                                  WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    gWheelMessage = ChooseWheelMessage();
    int exitCode = gMainWindow ? RunMessageLoop() : 0;

    ArcUnload();
    CeUnload();
    FtpUnload();
    ViewerQuickViewClose();
    ViewerUnload();
    return FinishRun(exitCode);
}
