#include "fileops/SysTools.h"

#include <string.h>

#include <vector>

namespace {

BOOL GetVersionReal(OSVERSIONINFOA *info) {
    info->dwOSVersionInfoSize = sizeof *info;
    return GetVersionExA(info);
}

void EnableShutdownPrivilege() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

BOOL InitiateShutdownReal() { return InitiateSystemShutdownA(nullptr, nullptr, 0, TRUE, FALSE); }

BOOL ExitWindowsReal(UINT flags, DWORD reserved) { return ExitWindowsEx(flags, reserved); }

int TrackPopupReal(HMENU menu, HWND owner) {
    POINT pt;
    GetCursorPos(&pt);
    return (int)TrackPopupMenu(menu, TPM_RETURNCMD, pt.x, pt.y, 0, owner, nullptr);
}

BOOL TerminateReal(HANDLE process, UINT code) { return TerminateProcess(process, code); }

LRESULT CloseWindowReal(HWND window) { return SendMessageA(window, WM_CLOSE, 0, 0); }

} // namespace

SysCalls SysCallsReal() {
    return SysCalls{GetVersionReal,  EnableShutdownPrivilege, InitiateShutdownReal, ExitWindowsReal,
                    TerminateReal, TrackPopupReal,          CloseWindowReal};
}
SysCalls gSysCalls = SysCallsReal();

void SysShutdown() {
    OSVERSIONINFOA version = {};
    gSysCalls.getVersion(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        gSysCalls.enableShutdownPrivilege();
        if (version.dwMajorVersion < 5 && gSysCalls.initiateShutdown())
            return;
    }
    gSysCalls.exitWindows(EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF, 0);
}

int SysTerminateProcess(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (!process)
        return 0;
    BOOL ended = gSysCalls.terminate(process, 0xFFFFFFFF);
    // A process that hangs in a driver may never go: the caller is the
    // interface thread, so the wait has an end.
    if (ended)
        WaitForSingleObject(process, kSysTerminateWaitMs);
    CloseHandle(process);
    return ended ? 1 : 0;
}

static BOOL CALLBACK AddWindow(HWND window, LPARAM out) {
    reinterpret_cast<std::vector<HWND> *>(out)->push_back(window);
    return TRUE;
}

int SysTaskMenuFill(HMENU menu, HWND owner, HWND windows[kSysTaskMax], DWORD *shell, bool skipOwnProcess) {
    int count = 0;
    DWORD self = GetCurrentProcessId();
    *shell = 0;
    // The walk goes on past the last item for the shell's window. The
    // windows are taken first, in their order: walking from one to the next
    // would end early at a window that closes meanwhile.
    std::vector<HWND> all;
    EnumWindows(AddWindow, (LPARAM)&all);
    for (HWND w : all) {
        if (w == owner || !IsWindowVisible(w) || GetParent(w))
            continue;
        char title[53];
        if (!GetWindowTextA(w, title, sizeof title) || !title[0])
            continue;
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (!lstrcmpiA(title, "Program Manager")) {
            *shell = process;
            continue;
        }
        if ((skipOwnProcess && process == self) || count >= kSysTaskMax)
            continue;
        // Drawn by the owner's menu drawing: the window's icon and title.
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_DATA;
        item.fType = MFT_OWNERDRAW;
        item.wID = kSysTaskFirstId + count;
        item.dwItemData = (ULONG_PTR)w;
        item.dwTypeData = title;
        InsertMenuItemA(menu, (UINT)count, TRUE, &item);
        windows[count++] = w;
    }
    return count;
}

void SysTaskMenu(HWND owner) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    HWND windows[kSysTaskMax];
    DWORD self = GetCurrentProcessId(), shell = 0;
    // Ending our own process from here would lose whatever the program has
    // not saved yet; its windows are not offered.
    int count = SysTaskMenuFill(menu, owner, windows, &shell, true);
    int chosen = count ? gSysCalls.trackPopup(menu, owner) : 0;
    if (chosen >= kSysTaskFirstId && chosen < kSysTaskFirstId + count) {
        HWND w = windows[chosen - kSysTaskFirstId];
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process && process == shell)
            gSysCalls.closeWindow(w);
        else if (process && process != self)
            SysTerminateProcess(process);
    }
    DestroyMenu(menu);
}
