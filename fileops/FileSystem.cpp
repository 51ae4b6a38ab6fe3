// Thin wrappers around the Win32 file functions and the error reporting on
// top of them. Wrappers return a result and leave GetLastError for the
// caller; cleanup paths save and restore it.
#include "fileops/FileSystem.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "JobRecord.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"

namespace {

const LanguageTable* CurrentTable() {
    if (gApp && gApp->langTable) return gApp->langTable;
    return BuiltinLanguageTables[kBuiltinEnglish];
}

const char* TextOf(int id) {
    const char* t = LangFindText(CurrentTable(), id);
    if (!t) t = LangFindText(BuiltinLanguageTables[kBuiltinEnglish], id);
    return t ? t : "";
}

const char* ProgramTitle() { return gWindowTitle ? gWindowTitle : "Zq Vandrell"; }

bool IsSep(char c) { return c == '\\' || c == '/'; }

void Copy(char* out, const char* from, size_t size) {
    out[0] = 0;
    StrAppend(out, from, size);
}

struct ErrorBoxDepth {
    ErrorBoxDepth() { InterlockedIncrement(&gErrorBoxDepth); }
    ~ErrorBoxDepth() { InterlockedDecrement(&gErrorBoxDepth); }
};

// The message of an error 206 (name too long): the language tables hold
// no text of their own for it.
}  // namespace

uint32_t FileShowNameTooLong(HWND owner, const char* path) {
    MsgBox(owner, TextOf(Txt::errNameTooLong), path, MB_OK | MB_ICONSTOP);
    return 2;
}

volatile LONG gErrorBoxDepth;

// ---- thin wrappers ----------------------------------------------------------

uint32_t FileGetAttributes(const char* path) { return GetFileAttributesA(path); }

uint32_t FileClearReadOnly(const char* path) {
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES) return 2;
    if (!(a & FILE_ATTRIBUTE_READONLY)) return 0;
    return SetFileAttributesA(path, a & ~FILE_ATTRIBUTE_READONLY) ? 0 : 2;
}

uint32_t FileDelete(const char* path) {
    if (DeleteFileA(path)) return 0;
    DWORD err = GetLastError();
    if (FileClearReadOnly(path) == 0 && DeleteFileA(path)) return 0;
    DWORD again = GetLastError();
    return again ? again : err;
}

int FileIsDir(const char* path) {
    if (!path || !path[0]) return 0;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

uint32_t FileProbe(const char* path) {
    if (IsSep(path[0]) && IsSep(path[1]))
        return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 0 : GetLastError();
    if (!path[0]) return 2;
    const char* name = path + PathFindName(path);
    if (strcmp(name, "..") == 0) return 0;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 2;
    size_t len = strlen(path);
    if (path[len - 1] == '\\' || path[len - 1] == ':') return 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(path, &fd);
    if (h == INVALID_HANDLE_VALUE) return 2;
    FindClose(h);
    if (!(fd.cAlternateFileName[0] && lstrcmpiA(fd.cAlternateFileName, name) == 0 &&
          lstrcmpiA(fd.cFileName, name) != 0))
        return 0;

    // The asked name is only the short name of another file: move that file
    // aside, hold the name with an empty placeholder, move the file back (it
    // gets a new short name) and drop the placeholder.
    char folder[kPathSize], other[kPathSize], temp[kPathSize];
    Copy(folder, path, sizeof folder);
    folder[name - path] = 0;
    Copy(other, folder, sizeof other);
    StrAppend(other, fd.cFileName, sizeof other);
    temp[0] = 0;
    if (GetTempFileNameA(folder[0] ? folder : ".", "", 0, temp)) {
        DeleteFileA(temp);
    } else {
        for (unsigned n = 1; n < 100000; n++) {
            snprintf(temp, sizeof temp, "%s%u.zq$", folder, n);
            if (GetFileAttributesA(temp) == INVALID_FILE_ATTRIBUTES) break;
        }
    }
    if (!MoveFileA(other, temp)) return 0;
    HANDLE ph = INVALID_HANDLE_VALUE;
    bool placeholder = FileCreate(nullptr, path, &ph) == 0;
    if (placeholder) CloseHandle(ph);
    if (!MoveFileA(temp, other)) MoveFileA(temp, other);
    if (placeholder) DeleteFileA(path);
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? 2 : 6;
}

uint32_t FileCheckExists(const char* path) {
    uint32_t r = FileProbe(path);
    return r == 6 ? 0 : r;
}

uint32_t FileFindFirst(const char* folder, HANDLE* out, WIN32_FIND_DATAA* data) {
    char pattern[kPathSize + 8];
    pattern[0] = 0;
    if (folder) {
        StrAppend(pattern, folder, sizeof pattern);
        size_t n = strlen(pattern);
        if (n && !IsSep(pattern[n - 1])) StrAppend(pattern, "\\", sizeof pattern);
    }
    StrAppend(pattern, "*.*", sizeof pattern);
    *out = FindFirstFileA(pattern, data);
    if (*out == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e ? e : 2;
    }
    return 0;
}

uint32_t FileFindNext(HANDLE find, WIN32_FIND_DATAA* data) {
    return FindNextFileA(find, data) ? 0 : 2;
}

void FileFindClose(HANDLE find) {
    if (find && find != INVALID_HANDLE_VALUE) FindClose(find);
}

uint32_t FileOpen(const char* path, HANDLE* out, DWORD access) {
    *out = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    return *out == INVALID_HANDLE_VALUE ? 2 : 0;
}

void FileClose(HANDLE h) {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

uint32_t FileRead(HANDLE h, void* buffer, uint32_t n) {
    DWORD got = 0;
    return ReadFile(h, buffer, n, &got, nullptr) && got == n ? 0 : 1;
}

uint32_t FileSeek(HANDLE h, uint32_t offset) {
    return SetFilePointer(h, (LONG)offset, nullptr, FILE_BEGIN);
}

BOOL FileSetDosTime(HANDLE h, uint16_t dosDate, uint16_t dosTime) {
    if (!dosDate) return FALSE;
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(dosDate, dosTime, &local) || !LocalFileTimeToFileTime(&local, &utc))
        return FALSE;
    return SetFileTime(h, nullptr, &utc, &utc);
}

void FileSetTimeLocal(HWND owner, const char* path, const FILETIME* localTime) {
    if (!localTime || (!localTime->dwLowDateTime && !localTime->dwHighDateTime)) return;
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    FILETIME utc;
    if (h == INVALID_HANDLE_VALUE || !LocalFileTimeToFileTime(localTime, &utc) ||
        !SetFileTime(h, nullptr, nullptr, &utc)) {
        DWORD err = GetLastError();
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        FileReportError(owner, (int32_t)err, path, kCtxTimes);
        return;
    }
    CloseHandle(h);
}

void FileGetFullPath(char* path) {
    char full[kPathSize];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n && n < sizeof full) memcpy(path, full, n + 1);
}

uint32_t FileGetInfo(HANDLE h, const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    if (GetFileInformationByHandle(h, info)) return 0;
    memset(info, 0, sizeof *info);
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA(path, &fd);
    if (f == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e ? e : 1;
    }
    FindClose(f);
    info->dwFileAttributes = fd.dwFileAttributes;
    info->ftCreationTime = fd.ftCreationTime;
    info->ftLastAccessTime = fd.ftLastAccessTime;
    info->ftLastWriteTime = fd.ftLastWriteTime;
    info->nFileSizeHigh = fd.nFileSizeHigh;
    info->nFileSizeLow = fd.nFileSizeLow;
    return 0;
}

void PathGetParentDir(HWND owner, char* path) {
    size_t len = strlen(path);
    if (len == 2 && path[1] == ':') {
        int drive = (path[0] | 0x20) - 'a' + 1;
        char cur[kPathSize];
        if (FileGetCurrentDir(owner, drive, cur) == 0) Copy(path, cur, kPathSize);
        return;
    }
    for (size_t i = len; i-- > 0;) {
        if (IsSep(path[i]) || path[i] == ':') {
            // The backslash after a drive colon stays: "C:\x" -> "C:\".
            if (i == 2 && path[1] == ':' && IsSep(path[i]))
                path[3] = 0;
            else
                path[path[i] == ':' ? i + 1 : i] = 0;
            return;
        }
    }
}

// ---- error texts and reports ------------------------------------------------

void FileErrorText(int32_t error, char* buffer, uint32_t size, const char** pathPointer,
                   uint32_t context) {
    if (!size) return;
    buffer[0] = 0;
    if (error > 0) {
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 (DWORD)error, 0x400, buffer, size - 1, nullptr);
        buffer[n < size ? n : size - 1] = 0;
        if (!n && context) Copy(buffer, TextOf(30000 + (int)context), size);
    } else if (pathPointer && *pathPointer) {
        Copy(buffer, *pathPointer, size);
        *pathPointer = nullptr;
    }
    for (char* p = buffer; *p; p++)
        if ((unsigned char)*p < 32) *p = ' ';
    // FormatMessage ends with a line break: no trailing blanks in the box.
    for (size_t n = strlen(buffer); n && buffer[n - 1] == ' ';) buffer[--n] = 0;
}

uint32_t FileReportError(HWND owner, int32_t error, const char* path, uint32_t context) {
    if (!error) error = (int32_t)GetLastError();
    if (!error) return 0;
    ErrorBoxDepth depth;
    char text[512];
    const char* caption = path;
    if (error == 112 && path && (path[0] == 'A' || path[0] == 'B' || path[0] == 'a' || path[0] == 'b')) {
        Copy(text, TextOf(Txt::errDiskFull), sizeof text);
    } else {
        FileErrorText(error, text, sizeof text, &caption, context);
    }
    if (!text[0]) return 2;
    UINT buttons;
    switch (error) {
    case 32: buttons = MB_ABORTRETRYIGNORE; break;
    case 112: buttons = MB_YESNOCANCEL; break;
    case 5: buttons = context ? MB_RETRYCANCEL : MB_OK; break;
    case 2: case 8: case 23: case 111: case 123: case 183: case 191: case 193: case 206: case 681:
        buttons = MB_OK;
        break;
    default: buttons = error < 0 ? MB_OK : MB_RETRYCANCEL; break;
    }
    if (!owner) owner = GetActiveWindow();
    return (uint32_t)MsgBox(owner, text, caption && caption[0] ? caption : ProgramTitle(),
                            buttons | MB_ICONSTOP);
}

uint32_t JobReportError(const JobErrorReport* r) {
    int32_t error = r->error ? r->error : (int32_t)GetLastError();
    if (!error) return 0;
    JobRecord* job = r->job;
    if (job && (job->flags & kJobStatistics)) {
        job->errors++;
        if (error != 21 && error != 112) {
            HWND list = GetDlgItem(r->owner, 14521);
            char line[1024], text[260];
            line[0] = 0;
            int count = list ? (int)SendMessageA(list, LB_GETCOUNT, 0, 0) : 0;
            if (count > 0) {
                int len = (int)SendMessageA(list, LB_GETTEXTLEN, count - 1, 0);
                if (len > 0 && len < (int)sizeof line) {
                    SendMessageA(list, LB_GETTEXT, count - 1, (LPARAM)line);
                    SendMessageA(list, LB_DELETESTRING, count - 1, 0);
                }
            }
            const char* path = r->path;
            FileErrorText(error, text, sizeof text, &path, r->context);
            char joined[1300];
            snprintf(joined, sizeof joined, "%s %s", line, text);
            if (list) {
                int at = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)joined);
                if (at >= 0) SendMessageA(list, LB_SETITEMDATA, at, (LPARAM)-1);
            }
            return 3;
        }
    }
    return FileReportError(r->owner, error, r->path, r->context);
}

// Clears a folder's attributes so that it can go, and puts them back when
// it stays: skipped, filtered or undeletable entries keep it.
bool DirRemoveKeepingAttributes(HWND owner, const char *folder)
{
    DWORD attributes = GetFileAttributesA(folder);
    if (!SetFileAttributesA(folder, FILE_ATTRIBUTE_NORMAL))
        FileReportError(owner, 0, folder, kCtxTimes);
    if (RemoveDirectoryA(folder))
        return true;
    DWORD error = GetLastError();
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(folder, attributes);
    SetLastError(error);
    return false;
}

static uint32_t ReportJob(HWND owner, int32_t error, const char* path, uint32_t context,
                          JobRecord* job) {
    JobErrorReport r = {owner, error, path, context, job};
    return JobReportError(&r);
}

// ---- wrappers that report and retry -----------------------------------------

static bool IsUncRoot(const char* path) {
    if (!(IsSep(path[0]) && IsSep(path[1])) || !path[2]) return false;
    for (const char* p = path + 2; *p; p++)
        if (IsSep(*p)) return false;
    return true;
}

FsResult2 FileMakeDir(HWND owner, const char* path) {
    for (;;) {
        if (CreateDirectoryA(path, nullptr)) return 0;
        DWORD err = GetLastError();
        if (err == ERROR_PATH_NOT_FOUND) return FsMakeResult(1, err);
        if (err == ERROR_BAD_PATHNAME && IsUncRoot(path)) return 0;
        if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILENAME_EXCED_RANGE) {
            ReportJob(owner, (int32_t)err, path, kCtxMakeDir, nullptr);
            return FsMakeResult(err, err);
        }
        uint32_t b = FileReportError(owner, (int32_t)err, path, kCtxMakeDir);
        if (b != kFsRetry) return FsMakeResult(b, err);
    }
}

FsResult2 FileMakeDirs(HWND owner, const char* path) {
    if (FileIsDir(path)) return 0;
    FsResult2 r = FileMakeDir(owner, path);
    uint32_t res = FsResultOf(r);
    if (res == 2 || res == 183 || res == 206) return FsMakeResult(res, res);
    if (res != 1) return r;
    char parent[kPathSize];
    Copy(parent, path, sizeof parent);
    size_t n = strlen(parent);
    while (n && IsSep(parent[n - 1])) parent[--n] = 0;
    PathGetParentDir(owner, parent);
    if (strlen(parent) < 4 || strcmp(parent, path) == 0) return FsMakeResult(2, FsDetailOf(r));
    FsResult2 up = FileMakeDirs(owner, parent);
    if (FsResultOf(up)) return up;
    if (FileIsDir(path)) return 0;
    r = FileMakeDir(owner, path);
    return FsResultOf(r) == 1 ? FsMakeResult(2, FsDetailOf(r)) : r;
}

uint32_t FileRemoveDir(HWND owner, const char* path) {
    for (;;) {
        if (RemoveDirectoryA(path)) return 0;
        uint32_t b = FileReportError(owner, 0, path, kCtxDelete);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileGetSize(HWND owner, HANDLE h, uint64_t* size) {
    for (;;) {
        DWORD high = 0;
        SetLastError(0);
        DWORD low = GetFileSize(h, &high);
        if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) {
            *size = ((uint64_t)high << 32) | low;
            return 0;
        }
        *size = 0;
        uint32_t b = FileReportError(owner, 0, nullptr, kCtxDelete);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileGetCurrentDir(HWND owner, int driveNumber, char* buffer) {
    for (;;) {
        DWORD n = GetCurrentDirectoryA(kPathSize, buffer);
        if (n && n < (DWORD)kPathSize) return 0;
        char caption[4] = {(char)('A' + driveNumber - 1), ':', 0, 0};
        uint32_t b = FileReportError(owner, 0, caption, kCtxNotReady);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileSetDriveNumber(HWND owner, int n) {
    if (n < 1 || n > 26) return 0;
    char root[4] = {(char)('A' + n - 1), ':', '\\', 0};
    for (;;) {
        // The drive's remembered folder first ("C:"), its root when it has none.
        char drive[3] = {root[0], ':', 0};
        if (SetCurrentDirectoryA(drive) || SetCurrentDirectoryA(root)) {
            char cur[kPathSize];
            if (GetCurrentDirectoryA(sizeof cur, cur) && (cur[0] & ~0x20) == root[0]) return 0;
        }
        uint32_t b = FileReportError(owner, 0, drive, kCtxNotReady);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileSetDrive(HWND owner, char letter) {
    char up = (char)(letter & ~0x20);
    if (up < 'A' || up > 'Z') return 0;
    uint32_t r = FileSetDriveNumber(owner, up - 'A' + 1);
    if (r) return r;
    char cur[kPathSize];
    r = FileGetCurrentDir(owner, up - 'A' + 1, cur);
    if (r) return r;
    if ((cur[0] & ~0x20) != up) {
        char caption[3] = {up, ':', 0};
        return FileReportError(owner, ERROR_INVALID_DRIVE, caption, kCtxNotReady);
    }
    return 0;
}

uint32_t FileSetCurrentDir(HWND owner, const char* path) {
    if (!path[0] || (strcmp(path, "..") != 0 && path[1] != ':')) return 0;
    if (strcmp(path, "..") != 0) {
        uint32_t r = FileSetDriveNumber(owner, (path[0] & ~0x20) - 'A' + 1);
        if (r) return r;
    }
    for (;;) {
        if (SetCurrentDirectoryA(path)) return 0;
        uint32_t b = FileReportError(owner, 0, path, kCtxNotReady);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileCreate(HWND owner, const char* path, HANDLE* out) {
    bool madeDirs = false;
    for (;;) {
        DWORD keep = GetFileAttributesA(path);
        keep = keep == INVALID_FILE_ATTRIBUTES ? 0 : keep & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        *out = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           keep ? keep : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (*out != INVALID_HANDLE_VALUE) return 0;
        DWORD err = GetLastError();
        if (err == ERROR_PATH_NOT_FOUND && !madeDirs) {
            char folder[kPathSize];
            Copy(folder, path, sizeof folder);
            PathCutLastComponent(folder);
            madeDirs = true;
            if (folder[0] && FsResultOf(FileMakeDirs(owner, folder)) == 0) continue;
            return 1;
        }
        if (err == ERROR_FILENAME_EXCED_RANGE) {
            FileShowNameTooLong(owner, path);
            return 1;
        }
        if (FileReportError(owner, (int32_t)err, path, kCtxNotReady) != kFsRetry) return 1;
    }
}

uint32_t FileOpenReport(HWND owner, const char* path, HANDLE* out, DWORD access) {
    for (;;) {
        if (FileOpen(path, out, access) == 0) return 0;
        uint32_t b = FileReportError(owner, 0, path, kCtxNotReady);
        if (b != kFsRetry) return b ? b : 2;
    }
}

uint32_t FileWrite(HWND owner, HANDLE h, const void* data, uint32_t n) {
    for (;;) {
        DWORD written = 0;
        SetLastError(0);
        BOOL ok = WriteFile(h, data, n, &written, nullptr);
        if (ok && written == n) return 0;
        DWORD err = GetLastError();
        // A short write that sets no error code is still a failed write:
        // the usual cause is a full disk.
        if (!err) err = ERROR_DISK_FULL;
        uint32_t b = FileReportError(owner, (int32_t)err, nullptr, kCtxWrite);
        if (b != kFsRetry) return b ? b : err;
        if (ok && written) {
            // Retry writes what is missing, not the whole block again.
            data = (const char*)data + written;
            n -= written;
        }
    }
}

uint32_t FileWriteLine(HWND owner, HANDLE h, char* text) {
    size_t n = strlen(text);
    text[n] = '\r';
    text[n + 1] = '\n';
    uint32_t r = FileWrite(owner, h, text, (uint32_t)n + 2);
    text[n] = 0;
    return r;
}

uint32_t FileGetTimes(HWND owner, HANDLE h, FileTimes* t, const char* name) {
    for (;;) {
        if (GetFileTime(h, &t->creation, &t->lastAccess, &t->lastWrite)) return 0;
        uint32_t b = FileReportError(owner, 0, name, kCtxTimes);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileSetTimes(HWND owner, HANDLE h, const FileTimes* t, const char* name) {
    for (;;) {
        if (SetFileTime(h, &t->creation, &t->lastAccess, &t->lastWrite)) return 0;
        uint32_t b = FileReportError(owner, 0, name, kCtxTimes);
        if (b != kFsRetry) return b;
    }
}

uint32_t FileDeleteReport(HWND owner, const char* path, JobRecord* job) {
    for (;;) {
        FileClearReadOnly(path);
        uint32_t err = FileDelete(path);
        if (!err) return 0;
        uint32_t b = ReportJob(owner, (int32_t)err, path, kCtxDelete, job);
        if (b != kFsRetry) return b;
    }
}
