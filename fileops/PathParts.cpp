#include "fileops/PathParts.h"

#include <string.h>

static bool IsSep(char c) { return c == '\\' || c == '/'; }

static void CopyPart(char* out, const char* from, size_t n) {
    if (!out) return;
    if (n >= (size_t)kPathSize) n = kPathSize - 1;
    memcpy(out, from, n);
    out[n] = 0;
}

void PathSplit(const char* path, char* drive, char* folder, char* name, char* ext) {
    const char* p = path ? path : "";
    size_t driveLen = 0;
    if (p[0] && p[1] == ':') {
        driveLen = 2;
    } else if (IsSep(p[0]) && IsSep(p[1])) {
        driveLen = 2;
    }
    CopyPart(drive, p, driveLen);
    if (drive && driveLen == 2 && drive[1] == ':' && drive[0] >= 'a' && drive[0] <= 'z')
        drive[0] = (char)(drive[0] - 'a' + 'A');
    const char* rest = p + driveLen;
    const char* nameStart = rest;
    for (const char* q = rest; *q; q++)
        if (IsSep(*q)) nameStart = q + 1;
    CopyPart(folder, rest, (size_t)(nameStart - rest));
    const char* dot = strrchr(nameStart, '.');
    if (!dot) dot = nameStart + strlen(nameStart);
    CopyPart(name, nameStart, (size_t)(dot - nameStart));
    CopyPart(ext, dot, strlen(dot));
}

void PathGetRoot(const char* path, char* out) {
    size_t n = 0;
    for (; path[n] && n < (size_t)kPathSize - 1; n++) out[n] = path[n] == '/' ? '\\' : path[n];
    out[n] = 0;
    if (n >= 2 && out[1] == ':') {
        if (out[0] >= '0' && out[0] <= '9') return;  // FTP slot
        if (n < 3 || out[2] != '\\') {
            out[2] = '\\';
        }
        out[3] = 0;
        return;
    }
    if (n >= 2 && out[0] == '\\' && out[1] == '\\') {
        // Keep "\\server\share": cut at the separator after the share.
        int seps = 0;
        for (size_t i = 2; out[i]; i++) {
            if (out[i] == '\\' && ++seps == 2) {
                out[i] = 0;
                break;
            }
        }
    }
}

void PathFixInvalidChars(char* name) {
    for (; *name; name++)
        if (strchr("\":<>|", *name)) *name = '_';
}
