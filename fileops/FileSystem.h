#pragma once
// The file-system layer: every part of the program that touches files goes
// through these functions, and the libraries get them through their host
// tables, so argument order and results are fixed.
//
// Results: 0 is success. Anything else is a Win32 error number, or the button
// the user pressed in an error box (kFsCancel 2, kFsAbort 3, kFsIgnore 5,
// kFsYes 6, kFsNo 7; kFsOk 1). A Retry answer repeats the operation inside
// the layer, so callers never see 4.
//
// Two levels: the thin wrappers in the first block return a result and leave
// GetLastError alone for the caller; the functions that take an owner window
// report failures themselves (error box, or the job's log in statistics mode)
// and return the answer.
#include <windows.h>
#include <stdint.h>

#include "fileops/PathParts.h"
#include "fileops/RenameMask.h"

struct JobRecord;

enum : uint32_t {
    kFsOk = 1, kFsCancel = 2, kFsAbort = 3, kFsRetry = 4, kFsIgnore = 5, kFsYes = 6, kFsNo = 7,
};

// Error contexts: pick the fallback text (language text 30000 + context) and
// the buttons of a reported error.
enum : uint32_t {
    kCtxNone = 0, kCtxNotReady = 21, kCtxDelete = 32, kCtxMakeDir = 82, kCtxTimes = 110,
    kCtxWrite = 112, kCtxExists = 183, kCtxCopy = 266, kCtxLink = 681,
};
// ERROR_STOPPED_ON_SYMLINK, which the headers of this Windows version lack:
// a walk met a link to a folder and did not enter it.
inline constexpr int32_t kErrStoppedOnLink = 681;

// Some operations return two 32-bit words: the result in the low word and a
// detail (usually the system error behind it) in the high word.
typedef uint64_t FsResult2;
inline FsResult2 FsMakeResult(uint32_t result, uint32_t detail) {
    return (uint64_t)result | ((uint64_t)detail << 32);
}
inline uint32_t FsResultOf(FsResult2 r) { return (uint32_t)r; }
inline uint32_t FsDetailOf(FsResult2 r) { return (uint32_t)(r >> 32); }

// Creation, last access, last write: the order of FileGetTimes/FileSetTimes.
struct FileTimes {
    FILETIME creation;
    FILETIME lastAccess;
    FILETIME lastWrite;
};

// ---- thin wrappers: no boxes ------------------------------------------------

uint32_t FileGetAttributes(const char* path);             // 0xFFFFFFFF when absent
uint32_t FileClearReadOnly(const char* path);             // 0, or 2
uint32_t FileDelete(const char* path);                    // 0 or GetLastError
uint32_t FileProbe(const char* path);                     // 0 exists, 2 absent, 6 freed short name
uint32_t FileCheckExists(const char* path);               // 0 exists, 2 absent
int FileIsDir(const char* path);                          // 1 existing folder, else 0
uint32_t FileFindFirst(const char* folder, HANDLE* out, WIN32_FIND_DATAA* data);  // folder\*.*
uint32_t FileFindNext(HANDLE find, WIN32_FIND_DATAA* data);                      // 0, or 2 at the end
void FileFindClose(HANDLE find);
uint32_t FileOpen(const char* path, HANDLE* out, DWORD access);  // 0, or 2
void FileClose(HANDLE h);
uint32_t FileRead(HANDLE h, void* buffer, uint32_t n);    // 0 when exactly n bytes came, else 1
uint32_t FileSeek(HANDLE h, uint32_t offset);             // new position
BOOL FileSetDosTime(HANDLE h, uint16_t dosDate, uint16_t dosTime);
void FileSetTimeLocal(HWND owner, const char* path, const FILETIME* localTime);
void FileGetFullPath(char* path);                         // in place, kPathSize
uint32_t FileGetInfo(HANDLE h, const char* path, BY_HANDLE_FILE_INFORMATION* info);
void PathGetParentDir(HWND owner, char* path);            // in place

// ---- wrappers that report and retry (owner null = the active window) --------

FsResult2 FileMakeDir(HWND owner, const char* path);      // result 1: parent missing
FsResult2 FileMakeDirs(HWND owner, const char* path);     // an existing folder is success
uint32_t FileRemoveDir(HWND owner, const char* path);
uint32_t FileGetSize(HWND owner, HANDLE h, uint64_t* size);
uint32_t FileGetCurrentDir(HWND owner, int driveNumber, char* buffer);  // 1 = A
uint32_t FileSetDriveNumber(HWND owner, int driveNumber);
uint32_t FileSetDrive(HWND owner, char letter);
uint32_t FileSetCurrentDir(HWND owner, const char* path);
uint32_t FileCreate(HWND owner, const char* path, HANDLE* out);   // 0, or 1 when no handle
uint32_t FileOpenReport(HWND owner, const char* path, HANDLE* out, DWORD access);
uint32_t FileWrite(HWND owner, HANDLE h, const void* data, uint32_t n);
uint32_t FileWriteLine(HWND owner, HANDLE h, char* text);  // text needs room for 2 more bytes
uint32_t FileGetTimes(HWND owner, HANDLE h, FileTimes* times, const char* name);
uint32_t FileSetTimes(HWND owner, HANDLE h, const FileTimes* times, const char* name);
uint32_t FileDeleteReport(HWND owner, const char* path, JobRecord* job);

// ---- error texts and reports ------------------------------------------------

// Error boxes open at this moment (the progress dialog stays hidden meanwhile).
extern volatile LONG gErrorBoxDepth;

// error > 0: system text (or fallback 30000 + context); error <= 0: the text
// *pathPointer points to, and *pathPointer is cleared. Control characters
// become blanks.
void FileErrorText(int32_t error, char* buffer, uint32_t size, const char** pathPointer,
                   uint32_t context);
// Error 0 takes GetLastError; still 0 -> 0 without a box. Returns the button.
uint32_t FileReportError(HWND owner, int32_t error, const char* path, uint32_t context);

struct JobErrorReport {
    HWND owner;
    int32_t error;
    const char* path;
    uint32_t context;
    JobRecord* job;
};
// In a statistics job most errors become red log lines (result 3) instead of boxes.
uint32_t JobReportError(const JobErrorReport* report);
// Removes an emptied folder. Its attributes are lifted for that and put back
// when it stays (entries skipped, filtered out or not deletable keep it).
bool DirRemoveKeepingAttributes(HWND owner, const char* folder);
// The stop box for a name that is too long (error 206); returns 2.
uint32_t FileShowNameTooLong(HWND owner, const char* path);

// ---- folder lists (one heap block of packed records) ------------------------

#pragma pack(push, 1)
struct DirListRecord {
    uint16_t length;      // sizeof(DirListRecord) + path length; 0 ends the list
    uint16_t dosDate;     // last write, local time
    uint16_t dosTime;
    uint16_t reserved;
    uint64_t size;
    uint16_t attributes;  // Win32 attributes & kDirListAttrMask
    uint16_t reserved2;
    DirListRecord* children;  // filled by DirReadTree
    char path[4];         // zero-terminated full path (longer than shown)
};
#pragma pack(pop)
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(DirListRecord, path) == 24, "the path of a list record is at offset 24");
#endif
inline constexpr uint32_t kDirListAttrMask = 0x4C37;
// Set on a record whose full path does not fit kPathSize. The record holds
// the whole path all the same, so a walker can name it when it reports it.
inline constexpr uint16_t kDirListTooLong = 0x8000;

// A folder that is a junction or a symbolic link: one entry, never entered.
inline bool DirIsLink(uint32_t attributes) {
    const uint32_t link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return (attributes & link) == link;
}
// A real folder a walker may descend into.
inline bool DirListEnters(const DirListRecord* r) {
    return (r->attributes & FILE_ATTRIBUTE_DIRECTORY) && !DirIsLink(r->attributes) &&
           !(r->attributes & kDirListTooLong);
}

DirListRecord* DirReadList(const char* folder);      // null: empty (or see DirReadListEx)
// Like DirReadList, and tells an empty folder (0) from a failure (an error
// number: 8 when memory ran out, or the find error).
DirListRecord* DirReadListEx(const char* folder, uint32_t* error);
DirListRecord* DirReadTree(const char* folder);
void DirFreeList(DirListRecord* list);                 // child lists too; null ignored
inline const DirListRecord* DirListNext(const DirListRecord* r) {
    return (const DirListRecord*)((const char*)r + r->length);
}

// Sub-folder names: records of u16 length (28 + name length) and the name.
void* DirListSubdirs(const char* folder);
