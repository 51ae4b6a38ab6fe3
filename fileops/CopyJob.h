#pragma once
// Copy, move and rename: the command, the worker of jobs 1029-1031, the
// per-file and per-folder steps, and the overwrite question.
#include <windows.h>
#include <stdint.h>

#include "JobRecord.h"

// One entry being handled (on the worker's stack); also the record of the
// overwrite question. A DOS date whose day bits are 0 is "not read yet".
struct CopyItem {
    char source[260];
    char target[260];
    JobRecord *job;
    uint16_t sourceDate, targetDate;
    uint16_t sourceTime, targetTime;
    uint64_t sourceSize, targetSize;
    uint16_t sourceAttributes;
    uint32_t isFolder;
    uint32_t targetAbsent; // 1: known not to exist (from the target folder's listing)
};

// Modes of CopyMakeTargetPath.
enum : int { kTargetPlain = 0, kTargetFromLocation = 1, kTargetToLocation = 2, kTargetToDevice = 3 };

// Template and control ids of the copy dialogs and the overwrite question.
enum : int {
    kDlgCopySimple = 10100,
    kDlgCopyOptions = 10104,
    kDlgRename = 10110,
    kDlgOverwriteFile = 10400,
    kDlgOverwrite = 10404,
    kIdCopyLabel = 10101,
    kIdCopyTarget = 10102,
    kIdInclSubDirs = 10103,
    kIdCheckSpace = 10105,
    kIdVerify = 10107,
    kIdNewer = 10111,
    kIdFilterButton = 14503,
    kIdWithFilter = 14505,
    kIdStatistics = 14522,
    kIdBrowse = 93,
    kIdOverSource = 10405,
    kIdOverSourceInfo = 10406,
    kIdOverTarget = 10407,
    kIdOverTargetInfo = 10408,
    kIdOverwrite = 10411,
    kIdOverwriteAll = 10412,
    kIdOverwriteSkip = 10414,
};

void CopyCommand(HWND owner, int code);
INT_PTR CALLBACK CopyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI CopyJobThread(void *job);
// Copies or moves one entry given by its full path (Container lines,
// dropped names) to the target the job's text gives, as the copy job does
// a panel entry. 0 when it went through, 1 when it did not (failed,
// skipped, stopped).
uint32_t CopyJobOnePath(JobRecord *job, const char *source);

// 0, 2 (no target possible) or 111/123 (path too long).
uint32_t CopyMakeTargetPath(HWND owner, CopyItem *item, int mode, int reserved);
void CopyFileItem(CopyItem *item);
void MoveFileItem(CopyItem *item);
void CopyTree(CopyItem *item);
void MoveTree(CopyItem *item);
int CopyNewerTest(CopyItem *item); // 1 copy, 0 skip
// Renames an entry to a name that differs only in case (through a temporary
// name). 0, or the answer of the error box.
uint32_t FileMoveCaseOnly(HWND owner, const char *source, const char *target, JobRecord *job);
uint32_t FileVerifyRead(const char *path); // 0 readable, 1 not

// True when the two paths name the same file or folder: compared as full
// long paths without regard to case, then by volume and file id, so another
// case, a short name or a second drive letter for the same folder are seen.
bool PathIsSameFile(const char *a, const char *b);
// True when `inner` is `outer` or lies inside it, by the same means.
bool PathIsInsideFolder(const char *outer, const char *inner);

int JobAskOverwrite(CopyItem *item);
int FileAskOverwrite(HWND owner, const char *path);
INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void RenameInlineFinish();
// True for a plain file name the rename box accepts (see RenameInlineFinish).
bool RenameNameIsPlain(const char *text);
