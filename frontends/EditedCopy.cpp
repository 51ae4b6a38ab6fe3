#include "frontends/EditedCopy.h"

#include <string.h>

#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "wingui/WindowUtil.h"

namespace {

void CopyText(char* out, const char* text, size_t size) {
    out[0] = 0;
    StrAppend(out, text, size);
}

const char* NamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

} // namespace

void KeepEditedCopy(const char* copy, const char* original, char* out, size_t size) {
    CopyText(out, copy, size);
    char folder[MAX_PATH], name[MAX_PATH], kept[MAX_PATH];
    PathGetKeptFolder(folder, sizeof folder);
    if (!folder[0]) return;
    CopyText(name, NamePart(original), sizeof name);
    if (!name[0]) CopyText(name, NamePart(copy), sizeof name);
    size_t dot = PathFindExtension(name);
    char stem[MAX_PATH];
    CopyText(stem, name, sizeof stem);
    stem[dot] = 0;
    for (unsigned n = 1; n < 100; ++n) {
        CopyText(kept, folder, sizeof kept);
        int cut = StrAppend(kept, n == 1 ? name : stem, sizeof kept);
        if (n > 1) {
            char number[16];
            wsprintfA(number, " (%u)", n);
            cut |= StrAppend(kept, number, sizeof kept);
            cut |= StrAppend(kept, name + dot, sizeof kept);
        }
        if (cut) return;
        if (MoveFileA(copy, kept)) {
            CopyText(out, kept, size);
            return;
        }
        DWORD why = GetLastError();
        if (why != ERROR_ALREADY_EXISTS && why != ERROR_FILE_EXISTS) return;
    }
}

int TellKeptCopy(HWND owner, const char* reason, const char* keptPath, UINT type) {
    char text[1024 + MAX_PATH];
    CopyText(text, reason, 1024);
    StrAppend(text, "\r\n\r\n", sizeof text);
    StrAppend(text, keptPath, sizeof text);
    return MsgBox(owner, text, keptPath, type);
}

int TellKept(JobRecord* job, int error) {
    char text[512];
    const char* path = job->target;
    FileErrorText(error, text, sizeof text, &path, kCtxNone);
    return TellKeptCopy(job->dialog, text, job->target);
}
