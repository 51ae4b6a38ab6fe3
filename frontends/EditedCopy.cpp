#include "frontends/EditedCopy.h"

#include <string.h>

#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
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

void PutBackOrKeep(JobRecord* job, const char* original,
                   const std::function<PutBackTry(char* reason, size_t size)>& send) {
    bool kept = false;
    for (;;) {
        char reason[1024] = "";
        PutBackTry result = send(reason, sizeof reason);
        if (result == PutBackTry::kArrived) return;
        if (!kept) {
            char moved[MAX_PATH];
            KeepEditedCopy(job->target, original, moved, sizeof moved);
            CopyText(job->target, moved, sizeof job->target);
            kept = true;
        }
        if (result == PutBackTry::kFailedQuietly || job->cancel || job->state == kJobStop) return;
        if (!reason[0]) {
            const char* path = original;
            FileErrorText(ERROR_NOT_CONNECTED, reason, sizeof reason, &path, kCtxNone);
        }
        if (TellKeptCopy(job->dialog, reason, job->target) != IDRETRY) return;
    }
}
