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
        bool kept = false;
        for (;;) {
            job->filesSelected = 1;
            JobPairText(job, job->target, archive);
            intptr_t r = ArcJobReplaceMember(job, archive, job->target, member);
            if (r == 0) {
                job->filesDone++;
                break;
            }
            if (!kept) {
                char moved[MAX_PATH];
                KeepEditedCopy(job->target, member, moved, sizeof moved);
                lstrcpynA(job->target, moved, sizeof job->target);
                kept = true;
            }
            if (job->cancel || job->state == kJobStop) break;
            char reason[512];
            const char *path = archive;
            FileErrorText(ERROR_WRITE_FAULT, reason, sizeof reason, &path, kCtxNone);
            if (TellKeptCopy(job->dialog, reason, job->target) != IDRETRY) break;
        }
        if (job->state != kJobStop) PanelRequestRereadBoth();
    }
    JobFinish(job);
    return 0;
}
