// Win32 side of the string and path helpers.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/Paths.h"
#include "app/Strings.h"
#include "fileops/FileSystem.h"

int StrUpper(char *text) { return (int)CharUpperBuffA(text, (DWORD)strlen(text)); }

int DriveBarLetter(int index, int base) {
    unsigned kind = gApp && index >= 0 && index < kDriveCount ? gApp->drives[index].kind : 0;
    return DriveBarLetterOfKind(index, base, kind);
}

void PathGetTempFolder(char *buffer, size_t size) {
    buffer[0] = 0;
    DWORD len = GetTempPathA((DWORD)size, buffer);
    if (len == 0 || len >= size)
        buffer[0] = 0;
    PathAddBackslash(buffer);
    StrAppend(buffer, "Zq\\", size);
    CreateDirectoryA(buffer, nullptr);
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

int PathGetShortName(const char *longPath, char *out, size_t size) {
    int result = 2;
    if (strcmp(longPath + PathFindName(longPath), "..") == 0) {
        result = 1;
    } else {
        DWORD len = GetShortPathNameA(longPath, out, (DWORD)size);
        if (len && len < size)
            return 0;
    }
    if (size)
        out[0] = 0;
    int cut = StrAppend(out, longPath, size);
    return cut ? cut : result;
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
