#pragma once
// Folder synchronisation: the command with its options dialog, and the
// window that lists the comparison's lines and copies the chosen ones.
//
// Ownership: the window and each of its two threads hold a reference to one
// shared record; the last to let go frees it. Threads never touch the
// window: they hand lines over under a lock and post notifications.
#include <windows.h>
#include <stdint.h>

#include "fileops/SyncCompare.h"

enum : int {
    kDlgSyncOptions = 14500,
    kIdSyncLabel = 14501,
    kIdSyncTarget = 14502,
    kIdSyncOnlyExisting = 14504,
    kIdSyncWithFilter = 14505,
    kIdSyncBothWays = 14506,
    kIdSyncBinary = 14507,
    kDlgSync = 14508,
    kIdSyncCompareFiles = 94,
};

// Window notifications (posted by the threads).
enum : UINT {
    kMsgSyncLines = WM_USER + 40,    // new lines are waiting
    kMsgSyncCompared = WM_USER + 41, // the comparison finished
    kMsgSyncLineDone = WM_USER + 42, // wParam line, lParam SyncLineResult | error << 8
    kMsgSyncCopied = WM_USER + 43,   // the copy run finished
    kMsgSyncQuery = WM_USER + 44,    // returns the state bits below (for tests and the owner)
};
enum : uint32_t { kSyncStateCompared = 1, kSyncStateCopying = 2, kSyncStateCopied = 4 };

// The options dialog's record: the job (its target is edited) and the
// options word, read back after OK.
struct SyncDialogData {
    SyncCompareJob *job;
    uint16_t options;
};

void SyncCommand(HWND owner);
INT_PTR CALLBACK SyncDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the window on a comparison job and starts the comparison; null
// when the window could not be made.
HWND SyncWindowOpen(HWND owner, const SyncCompareJob &job);
INT_PTR CALLBACK SyncProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The Win32 file plug: FindFirstFile scans, local DOS stamps, the copy
// job's own file copy (temporary file, then replace).
SyncIo *SyncMakeWinIo();
