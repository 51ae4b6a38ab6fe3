// Win32 side of the string and path helpers.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Paths.h"
#include "base/Strings.h"

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

void PathGetKeptFolder(char *buffer, size_t size) {
    buffer[0] = 0;
    DWORD len = GetTempPathA((DWORD)size, buffer);
    if (len == 0 || len >= size) {
        buffer[0] = 0;
        return;
    }
    PathAddBackslash(buffer);
    if (StrAppend(buffer, "Zq kept\\", size)) {
        buffer[0] = 0;
        return;
    }
    CreateDirectoryA(buffer, nullptr);
}

bool PathIsOwnTemporary(const char *path) {
    if (!path || !path[0])
        return false;
    char folder[MAX_PATH], full[MAX_PATH];
    PathGetTempFolder(folder, sizeof folder);
    size_t n = strlen(folder);
    // A folder that could not be named ("Zq\" alone) holds nothing of ours.
    if (n < 4 || (folder[1] != ':' && !(folder[0] == '\\' && folder[1] == '\\')))
        return false;
    char *name = nullptr;
    DWORD len = GetFullPathNameA(path, sizeof full, full, &name);
    if (len == 0 || len >= sizeof full)
        return false;
    return len > n && _strnicmp(full, folder, n) == 0;
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

void PathGetWindowsRoot(char* out) {
    char dir[kPathSize];
    const char* windows = gApp && gApp->windowsDir[0] ? gApp->windowsDir : nullptr;
    if (!windows && GetWindowsDirectoryA(dir, sizeof dir)) windows = dir;
    if (windows && windows[0] && windows[1] == ':') {
        out[0] = windows[0];
        memcpy(out + 1, ":\\", 3);
    } else {
        memcpy(out, "C:\\", 4);
    }
}
