// F3 and F4 on a device file: the fetch job copies the file into the
// program's temporary folder and has the dialog run the viewer or editor on
// the copy; the put-back job sends an edited copy back. The device file is
// replaced only by a complete upload (a temporary name beside it, then the
// swap), so a put-back that fails keeps the device file as it was and the
// edited copy where it is, and says so.
#include <string.h>

#include "AppState.h"
#include "CeLink.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "celink/CeNames.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/EditedCopy.h"
#include "frontends/Libraries.h"
#include "wingui/WindowUtil.h"

namespace {

void CopyText(char* out, const char* text, size_t size) {
    out[0] = 0;
    StrAppend(out, text, size);
}

// A transfer the library could not even start (no library, no link, a
// folder under the name) is no silent end here: the user waits for a file.
int Loud(int result) {
    if (result == kCeSkipped || result >= 0) return result;
    return gApp->ceEntry && gApp->ceConnected ? ERROR_ACCESS_DENIED : ERROR_DEVICE_NOT_CONNECTED;
}

// One file of a fetch or put-back, `total` its size; nothing to ask (a new
// local name, or the device file the edited copy replaces). 0 when it
// arrived.
int TransferOne(JobRecord* job, const char* source, CopyItem* item, const char* target) {
    *item = CopyItem{};
    item->job = job;
    CopyText(item->source, source, sizeof item->source);
    CopyText(item->target, target, sizeof item->target);
    item->sourceSize = job->total;
    job->filesSelected = 0;
    int result = CeJobCopyFile(item);
    if (result < 0 && result != kCeSkipped) {
        CeReportError(job->dialog, Loud(result), item->source, job);
        job->state = kJobStop;
    }
    return result;
}

} // namespace

DWORD WINAPI CeFetchJobThread(void* param) {
    JobRecord* job = static_cast<JobRecord*>(param);
    if (job->sourceLocation && strlen(job->target) < kCePathMax) {
        CopyItem item;
        char local[MAX_PATH] = "";
        PathMakeUniqueName(job->target + PathFindName(job->target), local, sizeof local);
        int result = TransferOne(job, job->target, &item, local);
        DWORD attributes = GetFileAttributesA(item.target);
        if (result == 0 && !JobStopped(job) && attributes != INVALID_FILE_ATTRIBUTES &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CopyText(job->secondName, item.target, sizeof job->secondName);
            // The copy's location names the device file: its folder as the
            // inner path, the file itself in the archive-path field.
            LocationNode* node = job->sourceLocation;
            CopyText(node->archivePath, job->target, sizeof node->archivePath);
            CopyText(node->innerPath, job->target, sizeof node->innerPath);
            char* slash = strrchr(node->innerPath, '\\');
            if (slash) slash[slash == node->innerPath ? 1 : 0] = 0;
            SendMessageA(job->dialog, WM_COMMAND, kJobCodeCeFetch, 0);
        }
    }
    JobFinish(job);
    return 0;
}

DWORD WINAPI CePutBackJobThread(void* param) {
    JobRecord* job = static_cast<JobRecord*>(param);
    const LocationNode* node = job->targetLocation;
    if (node && node->kind == kLocationCeDevice && node->archivePath[0]) {
        // A failure leaves the device file as it was; the edited copy is
        // kept where the box names it, and Retry sends it again.
        PutBackOrKeep(job, node->archivePath, [&](char* reason, size_t size) {
            CopyItem item = {};
            item.job = job;
            CopyText(item.source, job->target, sizeof item.source);
            CopyText(item.target, node->archivePath, sizeof item.target);
            item.sourceSize = job->total;
            job->filesSelected = 0;
            int result = CeTransferFile(&item);
            if (result == 0) return PutBackTry::kArrived;
            if (result == kCeSkipped) return PutBackTry::kFailedQuietly;
            const char* path = job->target;
            FileErrorText(Loud(result), reason, (uint32_t)size, &path, kCtxNone);
            return PutBackTry::kFailed;
        });
    }
    JobFinish(job);
    return 0;
}
