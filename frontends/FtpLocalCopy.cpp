// F3 and F4 on a file of an FTP panel: the fetch job downloads the file into
// the program's temporary folder and has the dialog run the viewer or editor
// on the copy; the put-back job sends an edited copy back. The server's file
// is replaced only by a complete upload (the library stores under a side
// name and renames at the end), so a put-back that fails keeps the server's
// file as it was and the edited copy, and says where that is.
#include <string.h>

#include "AppState.h"
#include "FtpLib.h"
#include "base/Strings.h"
#include "fileops/CopyJob.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/PathParts.h"
#include "frontends/EditedCopy.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/FtpJobs.h"
#include "panels/PanelRefresh.h"

namespace {

void CopyText(char* out, const char* text, size_t size) {
    out[0] = 0;
    StrAppend(out, text, size);
}

// The remote file of a fetched copy lives in the connection head's text
// field (the place of a location's archive path): the library writes that
// field only when a transfer of this head fails.
FtpLocationHead* Head(LocationNode* node) { return reinterpret_cast<FtpLocationHead*>(node); }

// "/a/b" of "/a/b/c", "/" of "/c".
void RemoteFolder(const char* path, char* out, size_t size) {
    CopyText(out, path, size);
    char* slash = strrchr(out, '/');
    if (slash) slash[slash == out ? 1 : 0] = 0;
}

const char* RemoteName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool IsFtp(const LocationNode* node) { return node && node->kind == kLocationFtp; }

} // namespace

DWORD WINAPI FtpFetchJobThread(void* param) {
    JobRecord* job = static_cast<JobRecord*>(param);
    LocationNode* node = job->sourceLocation;
    if (IsFtp(node) && job->target[0] == '/' && strlen(job->target) < sizeof Head(node)->text &&
        FtpNameIsPlain(RemoteName(job->target))) {
        char name[MAX_PATH], local[MAX_PATH] = "";
        CopyText(name, RemoteName(job->target), sizeof name);
        PathFixInvalidChars(name);
        PathMakeUniqueName(name, local, sizeof local);
        CopyItem item = {};
        item.job = job;
        CopyText(item.source, job->target, sizeof item.source);
        CopyText(item.target, local, sizeof item.target);
        item.sourceSize = job->total;
        job->filesSelected = 1;
        int result = FtpTransferFile(&item);
        DWORD attributes = GetFileAttributesA(local);
        if (result == 0 && !JobStopped(job) && attributes != INVALID_FILE_ATTRIBUTES &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CopyText(job->secondName, local, sizeof job->secondName);
            CopyText(Head(node)->text, job->target, sizeof Head(node)->text);
            SendMessageA(job->dialog, WM_COMMAND, kJobCodeFtpFetch, 0);
        } else if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(local); // a cut download is nobody's copy
        }
    }
    JobFinish(job);
    return 0;
}

DWORD WINAPI FtpPutBackJobThread(void* param) {
    JobRecord* job = static_cast<JobRecord*>(param);
    LocationNode* node = job->targetLocation;
    char remote[sizeof Head(node)->text] = "";
    if (IsFtp(node)) CopyText(remote, Head(node)->text, sizeof remote);
    if (remote[0] == '/') {
        char folder[sizeof remote], back[262] = "";
        RemoteFolder(remote, folder, sizeof folder);
        FtpGetRemotePath(node, back, sizeof back);
        // A failure leaves the server's file as it was; the edited copy is
        // kept where the box names it, and Retry sends it again.
        PutBackOrKeep(job, remote, [&](char* reason, size_t size) {
            CopyItem item = {};
            item.job = job;
            CopyText(item.source, job->target, sizeof item.source);
            CopyText(item.target, remote, sizeof item.target);
            item.sourceSize = job->total;
            job->filesSelected = 1;
            JobPairText(job, item.source, item.target);
            Head(node)->text[0] = 0; // the library's reply goes here
            int result = FtpSetRemoteDir(folder, node, nullptr);
            if (result == 0) result = FtpSendCommandShort(kFtpStore, (intptr_t)&item, (intptr_t)node, 0, 0);
            FtpForgetListing(node, folder);
            if (result == 0) {
                job->filesDone++;
                return PutBackTry::kArrived;
            }
            CopyText(reason, Head(node)->text, size);
            return PutBackTry::kFailed;
        });
        if (back[0] && strcmp(back, folder) != 0) FtpSetRemoteDir(back, node, nullptr);
        if (job->state != kJobStop) PanelRequestRereadBoth();
    }
    JobFinish(job);
    return 0;
}
