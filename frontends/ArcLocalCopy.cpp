// An edited local copy of an archive member goes back into the archive.
#include <string.h>

#include "AppState.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/EditedCopy.h"
#include "panels/Location.h"
#include "panels/PanelRefresh.h"

DWORD WINAPI ArcPutBackJobThread(void *param) {
    JobRecord *job = static_cast<JobRecord *>(param);
    const LocationNode *node = job->targetLocation;
    if (node && node->kind >= kLocationArchiveLib && node->kind < kLocationFtp && !LocationFollowsParent(node) &&
        node->archivePath[0] && node->innerPath[0]) {
        char archive[sizeof node->archivePath + 1], member[sizeof node->innerPath + 1];
        lstrcpynA(archive, node->archivePath, sizeof node->archivePath);
        lstrcpynA(member, node->innerPath, sizeof node->innerPath);
        // A failure leaves the archive as it was (the library rewrites it
        // beside itself); the edited copy is kept where the box names it,
        // and Retry sends it again.
        PutBackOrKeep(job, member, [&](char* reason, size_t size) {
            job->filesSelected = 1;
            JobPairText(job, job->target, archive);
            if (ArcJobReplaceMember(job, archive, job->target, member) == 0) {
                job->filesDone++;
                return PutBackTry::kArrived;
            }
            const char* path = archive;
            FileErrorText(ERROR_WRITE_FAULT, reason, (uint32_t)size, &path, kCtxNone);
            return PutBackTry::kFailed;
        });
        if (job->state != kJobStop) PanelRequestRereadBoth();
    }
    JobFinish(job);
    return 0;
}
