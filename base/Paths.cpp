#include "base/Paths.h"

#include <string.h>

void PathAddBackslash(char *path) {
    size_t len = strlen(path);
    if (len == 0 || PathIsSeparator(path[len - 1]) || len >= 259)
        return;
    path[len] = '\\';
    path[len + 1] = 0;
}

static char *LastSeparator(char *path) {
    char *last = nullptr;
    for (char *p = path; *p; p++)
        if (PathIsSeparator(*p))
            last = p;
    return last;
}

void PathCutLastComponent(char *path) {
    char *sep = LastSeparator(path);
    if (!sep) {
        path[0] = 0;
        return;
    }
    if (sep - path == 2 && path[1] == ':')
        sep[1] = 0;
    else
        *sep = 0;
}

void PathCutExtension(char *path) {
    for (size_t i = strlen(path); i > 0; i--) {
        char c = path[i - 1];
        if (PathIsSeparator(c))
            return;
        if (c == '.') {
            if (i - 1 > 0)
                path[i - 1] = 0;
            return;
        }
    }
}

uint16_t PathFindName(const char *path) {
    size_t name = 0;
    for (size_t i = 0; path[i]; i++)
        if (PathIsSeparator(path[i]))
            name = i + 1;
    return (uint16_t)name;
}

size_t PathFindExtension(const char *path) {
    size_t name = PathFindName(path);
    const char *dot = strrchr(path + name, '.');
    return dot ? (size_t)(dot - path) : strlen(path);
}

void PathToBackslashes(char *path) {
    for (; path && *path; path++)
        if (*path == '/')
            *path = '\\';
}

void PathToSlashes(char *path) {
    for (; path && *path; path++)
        if (*path == '\\')
            *path = '/';
}

int PathGetRootType(const char *path) {
    if (path[0] == '\\' && path[1] == '\\')
        return 2;
    char c = path[0];
    if (((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':')
        return 1;
    return 0;
}

int PathIsDriveChar(char c) {
    return (c >= '0' && c <= '9') || PathIsSeparator(c) ? 0 : 1;
}

int PathHasDriveColon(const char *path) {
    return path[0] && path[1] == ':' && PathIsDriveChar(path[0]) ? 1 : 0;
}

int DriveBarLetterOfKind(int index, int base, unsigned kind) {
    if (index >= 0 && index < 26)
        return base + index;
    if (kind == 9)
        return ' ';
    if (kind >= 10 && kind <= 14) {
        if (index >= 26 && index <= 34)
            return '1' + (index - 26);
        if (index == 35)
            return '0';
    }
    return '\\';
}
