#include "CeNames.h"

#include <stdio.h>
#include <string.h>

#include "CeLink.h"

bool CeNameIsPlain(const char* name) {
    if (!name || !name[0]) return false;
    if (!strcmp(name, ".") || !strcmp(name, "..")) return false;
    size_t len = 0;
    for (const char* p = name; *p; ++p, ++len) {
        unsigned char c = (unsigned char)*p;
        if (c < 0x20 || c == '\\' || c == '/' || c == ':') return false;
    }
    return len < (size_t)kCePathMax;
}

bool CePathJoin(char* out, size_t size, const char* dir, const char* name) {
    if (!size) return false;
    size_t dirLen = strlen(dir), nameLen = strlen(name);
    bool slash = dirLen == 0 || dir[dirLen - 1] != '\\';
    size_t need = dirLen + (slash ? 1 : 0) + nameLen + 1;
    if (need > size) {
        out[0] = 0;
        return false;
    }
    memmove(out, dir, dirLen);
    if (slash) out[dirLen++] = '\\';
    memcpy(out + dirLen, name, nameLen + 1);
    return true;
}

static bool ShortSibling(char* out, size_t size, const char* target, const char* form, unsigned n) {
    const char* slash = strrchr(target, '\\');
    size_t folderLen = slash ? (size_t)(slash - target) + 1 : 0;
    char name[32];
    snprintf(name, sizeof name, form, n);
    if (folderLen + strlen(name) + 1 > size) {
        out[0] = 0;
        return false;
    }
    memmove(out, target, folderLen);
    memcpy(out + folderLen, name, strlen(name) + 1);
    return true;
}

static bool Sibling(char* out, size_t size, const char* target, const char* longForm, const char* shortForm,
                    unsigned n) {
    char suffix[24];
    snprintf(suffix, sizeof suffix, longForm, n);
    size_t len = strlen(target);
    if (len + strlen(suffix) + 1 <= size && len + strlen(suffix) < (size_t)kCePathMax) {
        memmove(out, target, len);
        memcpy(out + len, suffix, strlen(suffix) + 1);
        return true;
    }
    return ShortSibling(out, size < (size_t)kCePathMax ? size : (size_t)kCePathMax, target, shortForm, n);
}

bool CeTempName(char* out, size_t size, const char* target, unsigned n) {
    return Sibling(out, size, target, ".zq~%u", "~zq%u.tmp", n);
}

bool CeBackupName(char* out, size_t size, const char* target, unsigned n) {
    return Sibling(out, size, target, ".zq-old%u", "~zqold%u.tmp", n);
}
