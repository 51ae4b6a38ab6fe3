// Helpers on top of the file-system layer: whole files, unique names, the
// nearest existing folder and file stamps.
#include "fileops/FileHelpers.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"

char *FileReadAll(const char *path, uint32_t *outLength) {
    HANDLE file;
    if (FileOpen(path, &file, GENERIC_READ) != 0)
        return nullptr;
    uint64_t size = 0;
    char *block = nullptr;
    uint32_t blockSize = 0;
    if (FileGetSize(nullptr, file, &size) == 0) {
        if (!MemBlockSizeForFile(size, &blockSize))
            MemReportFailure();
        else
            block = static_cast<char *>(MemAlloc(blockSize));
        if (block && size && FileRead(file, block, (uint32_t)size) != 0)
            MemFree(&block);
    }
    FileClose(file);
    if (block && outLength)
        *outLength = (uint32_t)size;
    return block;
}

unsigned PathMakeUniqueName(const char *templ, char *buffer, size_t size) {
    if (!buffer[0]) {
        PathGetTempFolder(buffer, size);
    } else {
        PathCutLastComponent(buffer);
        PathAddBackslash(buffer);
    }
    size_t folderLen = strlen(buffer);
    const char *ext = templ + PathFindExtension(templ);
    char number[16];
    for (unsigned n = 1;; n++) {
        buffer[folderLen] = 0;
        snprintf(number, sizeof number, "%u", n);
        int cut = StrAppend(buffer, number, size);
        if (!cut && *ext)
            cut = StrAppend(buffer, ext, size);
        // A name that does not fit can never become free by counting on.
        if (cut || FileCheckExists(buffer) != 0)
            return n;
    }
}

static bool PathExists(const char *path) { return FileGetAttributes(path) != 0xFFFFFFFFu; }

static bool EnterFolder(char *buffer, const char *folder) {
    if (!SetCurrentDirectoryA(folder))
        return false;
    if (folder != buffer) {
        buffer[0] = 0;
        StrAppend(buffer, folder, 260);
    }
    return true;
}

int DirEnterNearestIn(char *buffer, bool nested) {
    char fallback[260];
    PathGetWindowsRoot(fallback);
    if (nested) {
        if (PathGetRootType(buffer) == 0)
            return 0;
        if (strlen(buffer) == 2)
            StrAppend(buffer, "\\", 260);
        if (PathExists(buffer))
            return 0;
    }
    if (buffer[0]) {
        char path[260] = "";
        StrAppend(path, buffer, sizeof path);
        while (!PathExists(path) && strlen(path) > 3)
            PathCutLastComponent(path);
        if (strcmp(path, "\\") == 0 || strcmp(path, "/") == 0 || !path[0])
            strcpy(path, fallback);
        if (!EnterFolder(buffer, path)) {
            bool entered = false;
            if (strlen(path) > 3) {
                path[3] = 0;
                entered = EnterFolder(buffer, path);
            }
            if (!entered && !EnterFolder(buffer, fallback))
                return 1;
        }
        return 0;
    }
    char current[260];
    if (GetCurrentDirectoryA(sizeof current, current) - 1 < sizeof current - 1) {
        buffer[0] = 0;
        StrAppend(buffer, current, 260);
    }
    return 0;
}

int DirEnterNearest(char *buffer, int panel) {
    bool nested = gApp && (panel == 0 || panel == 1) && gApp->panels[panel].location != nullptr;
    return DirEnterNearestIn(buffer, nested);
}

// Size and local DOS stamp of a file; false for a folder or an unreadable file.
static bool ReadStampHalf(const char *path, uint16_t *date, uint16_t *time, uint64_t *size, uint32_t *isDir) {
    uint32_t attributes = FileGetAttributes(path);
    if (attributes == 0xFFFFFFFFu)
        return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *isDir = 1;
        return false;
    }
    HANDLE file;
    if (FileOpen(path, &file, GENERIC_READ) != 0)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    uint32_t error = FileGetInfo(file, path, &info);
    FileClose(file);
    FILETIME local;
    if (error || !FileTimeToLocalFileTime(&info.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, date, time))
        return false;
    *size = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    *isDir = 0;
    return true;
}

int FileCompareStamps(const char *source, const char *target, FileStampPair *pair) {
    if ((pair->sourceDate & 31) == 0 &&
        !ReadStampHalf(source, &pair->sourceDate, &pair->sourceTime, &pair->sourceSize, &pair->sourceIsDir))
        return kStampUnknown;
    if (!ReadStampHalf(target, &pair->targetDate, &pair->targetTime, &pair->targetSize, &pair->targetIsDir))
        return kStampUnknown;
    return FileStampPairCompare(pair);
}
