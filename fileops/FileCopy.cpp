// The chunked copy with progress and cancel, and the copy and move rules on
// top of it. The system's CopyFileExA is not used: on Wine it never calls
// its progress routine (no progress, no cancel), and it writes straight into
// the target, so a failure would leave a truncated file under that name.
#include "fileops/FileCopy.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "JobRecord.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/CaseMask.h"
#include "fileops/FreeSpace.h"
#include "fileops/TempNames.h"
#include "fileops/Job.h"

namespace {

void AddProgress(JobRecord* job, uint64_t n) { JobAddProgress64(job, &n); }

bool Cancelled(const JobRecord* job) { return job && job->cancel; }

bool IsSep(char c) { return c == '\\' || c == '/'; }

// A fresh name in the target's folder, so that the rename over the target
// stays on one volume. The name is held (left out of panel listings) until
// DropTemp.
bool MakeTempBeside(const char* target, char* temp) {
    char folder[kPathSize];
    folder[0] = 0;
    StrAppend(folder, target, sizeof folder);
    size_t name = PathFindName(folder);
    folder[name] = 0;
    if (!folder[0]) strcpy(folder, ".");
    for (unsigned n = GetTickCount() & 0xFFFF, tries = 0; tries < 1000; n++, tries++) {
        char leaf[24];
        snprintf(leaf, sizeof leaf, "~zq%04X.tmp", n & 0xFFFF);
        temp[0] = 0;
        StrAppend(temp, folder, kPathSize);
        if (folder[0] == '.' && !folder[1]) temp[0] = 0;
        if (StrAppend(temp, leaf, kPathSize)) return false;
        HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            TempNameHold(temp);
            return true;
        }
        DWORD e = GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// Ends a name of MakeTempBeside whose file is still there: deletes it, lets
// the name go and keeps the caller's error.
void DropTemp(const char* temp) {
    DWORD keep = GetLastError();
    DeleteFileA(temp);
    TempNameRelease(temp);
    SetLastError(keep);
}

// Puts the finished temporary file in the target's place. A target that
// must be new is never replaced: one that appeared since the walk looked is
// ERROR_FILE_EXISTS. An old target stays until the new file has its name.
DWORD ReplaceTarget(const char* temp, const char* target, bool mustBeNew) {
    if (mustBeNew) {
        // MoveFileA never replaces an existing name.
        if (MoveFileA(temp, target)) return 0;
        DWORD err = GetLastError();
        if (err == ERROR_ALREADY_EXISTS) err = ERROR_FILE_EXISTS;
        return err ? err : ERROR_WRITE_FAULT;
    }
    if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING)) return 0;
    DWORD err = GetLastError();
    if (err != ERROR_CALL_NOT_IMPLEMENTED && err != ERROR_ACCESS_DENIED) return err ? err : ERROR_WRITE_FAULT;
    // Windows 9x has no MoveFileEx; a read-only target refuses to be
    // replaced. The old target moves aside under a fresh name, the new file
    // takes its name, and only then does the old one go; when the new one
    // cannot take the name, the old one comes back.
    DWORD a = GetFileAttributesA(target);
    if (a == INVALID_FILE_ATTRIBUTES) {
        if (MoveFileA(temp, target)) return 0;
        err = GetLastError();
        return err ? err : ERROR_WRITE_FAULT;
    }
    char aside[kPathSize];
    if (!MakeTempBeside(target, aside)) return err;
    DeleteFileA(aside);  // only its name was wanted
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileA(target, aside)) {
        err = GetLastError();
        SetFileAttributesA(target, a);
        TempNameRelease(aside);
        return err ? err : ERROR_WRITE_FAULT;
    }
    if (!MoveFileA(temp, target)) {
        err = GetLastError();
        MoveFileA(aside, target);
        SetFileAttributesA(target, a);
        TempNameRelease(aside);
        return err ? err : ERROR_WRITE_FAULT;
    }
    // A copy that cannot be removed now (someone has it open) is left
    // behind rather than waited for: the new target is already in place.
    DropTemp(aside);
    return 0;
}

uint32_t CopyBlocks(HANDLE in, HANDLE out, uint64_t size, uint8_t* buffer, JobRecord* job) {
    uint64_t rest = size;
    while (rest) {
        DWORD want = rest < kCopyBlock ? (DWORD)rest : kCopyBlock;
        DWORD got = 0, put = 0;
        SetLastError(0);
        if (!ReadFile(in, buffer, want, &got, nullptr) || got != want) {
            DWORD e = GetLastError();
            return e ? e : ERROR_READ_FAULT;
        }
        SetLastError(0);
        if (!WriteFile(out, buffer, got, &put, nullptr) || put != got) {
            DWORD e = GetLastError();
            // A short write with no error code is a failed write all the same.
            return e ? e : ERROR_WRITE_FAULT;
        }
        rest -= got;
        AddProgress(job, got);
        if (Cancelled(job)) return kErrCancelled;
    }
    // Bytes may have been appended since the size was taken; those are not
    // copied, which keeps the copy consistent with what was measured.
    return 0;
}

}  // namespace

uint32_t FileCopyData(const char* source, const char* target, JobRecord* job, bool mustBeNew) {
    uint8_t* buffer = (uint8_t*)MemAlloc(kCopyBlock);
    if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD attributes = GetFileAttributesA(source);
    HANDLE in;
    uint32_t result = 0;
    if (FileOpen(source, &in, GENERIC_READ)) {
        result = GetLastError();
        MemFree(&buffer);
        return result ? result : ERROR_FILE_NOT_FOUND;
    }
    BY_HANDLE_FILE_INFORMATION info;
    result = FileGetInfo(in, source, &info);
    uint64_t size = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    if (!result && target[0] && target[1] == ':') {
        char root[4] = {target[0], ':', '\\', 0};
        uint64_t freeBytes = 0;
        if (SpaceGetDiskFree(root, nullptr, &freeBytes, nullptr) && freeBytes < size) result = ERROR_DISK_FULL;
    }
    char temp[kPathSize];
    bool made = false;
    if (!result) {
        made = MakeTempBeside(target, temp);
        if (!made) result = GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
    }
    if (!result) {
        HANDLE out = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            result = GetLastError();
        } else {
            result = CopyBlocks(in, out, size, buffer, job);
            if (!result) SetFileTime(out, &info.ftCreationTime, &info.ftLastAccessTime, &info.ftLastWriteTime);
            if (!CloseHandle(out) && !result) result = GetLastError();
        }
    }
    FileClose(in);
    MemFree(&buffer);
    if (!result) {
        result = ReplaceTarget(temp, target, mustBeNew);
        if (!result && attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(target, attributes);
    }
    // After the rename the name may be anyone's again: only let it go.
    if (made && result) DropTemp(temp);
    else if (made) TempNameRelease(temp);
    if (result == 0 || result == ERROR_DISK_FULL || result == kErrCancelled || result == ERROR_FILE_EXISTS)
        return result;

    // Second attempt through the system's own copy, again into a temporary
    // name so that the target is never left half-written.
    if (!MakeTempBeside(target, temp)) return GetLastError() ? GetLastError() : result;
    if (!CopyFileA(source, temp, FALSE)) {
        DWORD e = GetLastError();
        DropTemp(temp);
        return e ? e : result;
    }
    DWORD e = ReplaceTarget(temp, target, mustBeNew);
    if (e) {
        DropTemp(temp);
        return e;
    }
    TempNameRelease(temp);
    AddProgress(job, size);
    return 0;
}

static uint32_t NameTooLong(HWND owner, const char* path) { return FileShowNameTooLong(owner, path); }

FsResult2 FileCopy(HWND owner, const char* source, const char* target, JobRecord* job, bool mustBeNew) {
    bool statistics = job && (job->flags & kJobStatistics);
    size_t nameAt = PathFindName(target);
    if (nameAt > 1 && IsSep(target[nameAt - 1])) {
        char folder[kPathSize];
        folder[0] = 0;
        StrAppend(folder, target, sizeof folder);
        folder[nameAt - 1] = 0;
        if (strlen(folder) >= 3 || folder[1] != ':') {
            FsResult2 r = FileMakeDirs(owner, folder);
            uint32_t res = FsResultOf(r);
            if (res == 183 || res == 206) {
                if (statistics) {
                    JobErrorReport rep = {owner, (int32_t)res, folder, kCtxCopy, job};
                    JobReportError(&rep);
                }
                return FsMakeResult(res, res);
            }
        }
    }
    bool madeDirs = false;
    for (;;) {
        uint32_t err = FileCopyData(source, target, job, mustBeNew);
        if (!err) return 0;
        if (err == ERROR_FILE_EXISTS && mustBeNew) return FsMakeResult(err, err);  // the caller asks
        if (err == kErrCancelled) return FsMakeResult(err, err);  // not a copied file
        if (err == ERROR_PATH_NOT_FOUND && !madeDirs) {
            char folder[kPathSize];
            folder[0] = 0;
            StrAppend(folder, target, sizeof folder);
            PathCutLastComponent(folder);
            madeDirs = true;
            if (FsResultOf(FileMakeDirs(owner, folder))) return FsMakeResult(kCtxCopy, err);
            continue;
        }
        if (err == ERROR_FILENAME_EXCED_RANGE) return FsMakeResult(NameTooLong(owner, target), err);
        JobErrorReport rep = {owner, (int32_t)err, target, kCtxCopy, job};
        uint32_t b = JobReportError(&rep);
        if (b != kFsRetry) return FsMakeResult(b ? b : err, err);
    }
}

FsResult2 FileMove(HWND owner, const char* source, const char* target, JobRecord* job, bool mustBeNew) {
    bool unc = IsSep(source[0]) && IsSep(source[1]) && IsSep(target[0]) && IsSep(target[1]);
    bool sameDrive = unc || (source[0] && source[1] == ':' && target[1] == ':' && source[0] == target[0]);
    bool madeDirs = false;
    while (sameDrive) {
        BOOL ok = gApp && !gApp->isWinNT ? MoveFileA(source, target)
                                         : MoveFileExA(source, target, MOVEFILE_WRITE_THROUGH);
        if (ok) {
            AddProgress(job, 1);
            return 0;
        }
        DWORD err = GetLastError();
        if (err == ERROR_PATH_NOT_FOUND && !madeDirs) {
            char folder[kPathSize];
            folder[0] = 0;
            StrAppend(folder, target, sizeof folder);
            PathCutLastComponent(folder);
            madeDirs = true;
            FileMakeDirs(owner, folder);
            continue;
        }
        if (err == ERROR_NOT_SAME_DEVICE) break;
        if (mustBeNew && (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS))
            return FsMakeResult(ERROR_FILE_EXISTS, err);  // the caller asks
        if (err == ERROR_FILENAME_EXCED_RANGE) return FsMakeResult(NameTooLong(owner, target), err);
        uint32_t b = FileReportError(owner, (int32_t)err, source, kCtxDelete);
        if (b != kFsRetry) return FsMakeResult(b ? b : err, err);
    }
    FsResult2 r = FileCopy(owner, source, target, job, mustBeNew);
    if (FsResultOf(r) == 0 && !Cancelled(job)) FileDeleteReport(owner, source, job);
    return r;
}

void FileClearReadOnlyFromCd(const char* source, const char* target) {
    if (!gApp || !(gApp->generalOptions & kGenCopyRdOnly))
        return;
    char c = (char)CharFoldUpper((unsigned char)source[0]);
    if (source[1] != ':' || c < 'A' || c > 'Z' || gApp->drives[c - 'A'].kind != kDriveCdRom)
        return;
    DWORD a = GetFileAttributesA(target);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(target, a & ~FILE_ATTRIBUTE_READONLY);
}
