#pragma once
// Delete and wipe (job 1032), and the make-directory dialog.
#include <windows.h>

#include "JobRecord.h"

enum : int {
    kDlgDeleteOne = 10600,
    kDlgDeleteMany = 10601,
    kDlgDelAsk = 10700,
    kDlgDelConfirm = 10800,
    kDlgMakeDir = 10500,
    kIdDelName = 10401,
    kIdDelQuestion = 10701,
    kIdDelRecycle = 10602,
    kIdDelWipe = 10603,
    kIdDelKeepEmpty = 10703,
    kIdDelete = 10705,
    kIdDeleteAll = 10706,
    kIdDeleteSkip = 10707,
    kIdMakeDirEdit = 10501,
};

// Answered-for-all bits kept in `itemCount` during a delete job.
enum : uint32_t { kDelAllReadOnly = 0x1, kDelAllSystem = 0x4 };

void DelCommand(HWND owner);
INT_PTR CALLBACK DelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI DelJobThread(void *job);
void DelDeleteFile(JobRecord *job);
void DelDeleteTree(JobRecord *job);
// Removes the folder link named by `target`; what it points at is never
// entered.
void DelRemoveLink(JobRecord *job);
// Overwrites, empties and renames a file; `path` (260 bytes) receives the
// new name. False when the file could not be opened or renamed.
bool FileWipe(char *path);
INT_PTR CALLBACK DelAskDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MakeDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The command: opens the dialog modal over `owner`.
void MakeDirCommand(HWND owner);
