#pragma once
// Shutting Windows down and the task list of the Commands menu. Every call
// that ends the session or another program goes through gSysCalls, which
// tests replace: a test never shuts down and ends only processes it started.
#include <windows.h>

// Shuts Windows down (the question has been asked by the caller).
void SysShutdown();
// Ends the process; non-zero when it was terminated. Waits a bounded time
// for it to be gone.
int SysTerminateProcess(DWORD processId);
// Fills `menu` with the visible top-level windows without a parent and with
// a title, other than `owner`, in Z order: owner-drawn items with ids from
// kSysTaskFirstId whose item data is the window. The shell's window
// ("Program Manager") is not listed; its process goes to *shell (0 when
// none). Returns how many were listed into `windows`.
int SysTaskMenuFill(HMENU menu, HWND owner, HWND windows[], DWORD *shell, bool skipOwnProcess);
// The popup of the other programs' visible top-level windows at the cursor;
// the chosen window's program is ended (a shell window is only closed).
void SysTaskMenu(HWND owner);

// Menu ids of the task popup: 28001 and up, at most this many items.
const int kSysTaskFirstId = 28001;
const int kSysTaskMax = 101;
// How long SysTerminateProcess waits for a terminated process to be gone.
const DWORD kSysTerminateWaitMs = 5000;

struct SysCalls {
    BOOL (*getVersion)(OSVERSIONINFOA *info);
    void (*enableShutdownPrivilege)();
    // InitiateSystemShutdownA(this computer, no message, 0 s, force, no reboot).
    BOOL (*initiateShutdown)();
    BOOL (*exitWindows)(UINT flags, DWORD reserved);
    BOOL (*terminate)(HANDLE process, UINT exitCode);
    // TrackPopupMenu with TPM_RETURNCMD at the cursor; the chosen id or 0.
    int (*trackPopup)(HMENU menu, HWND owner);
    LRESULT (*closeWindow)(HWND window); // sends WM_CLOSE
};
extern SysCalls gSysCalls;
SysCalls SysCallsReal();
