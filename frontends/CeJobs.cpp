// The copy, move, rename and delete commands on a device panel: the worker
// walks the job's selection and hands each entry to the device job steps,
// which copy through temporary names and delete a source only after its copy
// is complete.
#include <string.h>

#include "AppState.h"
#include "CeLink.h"
#include "base/Strings.h"
#include "celink/CeNames.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/Libraries.h"
#include "panels/PanelRefresh.h"

bool CeIsDeviceLocation(const LocationNode* node) {
    return node && node->kind == kLocationCeDevice;
}

bool CeJobHasDevice(const JobRecord* job) {
    const LocationNode *s = job->sourceLocation, *t = job->targetLocation;
    if (!CeIsDeviceLocation(s) && !CeIsDeviceLocation(t)) return false;
    return (!s || CeIsDeviceLocation(s)) && (!t || CeIsDeviceLocation(t));
}

namespace {

void CECALL NoteFolder(const char*, uint32_t, uint32_t, uint32_t attributes, uint32_t, void* user) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) *static_cast<bool*>(user) = true;
}

// A device path typed by the user: absolute, no drive, no "..", no masks.
bool DevicePathIsSound(const char* path) {
    if (path[0] != '\\' || strchr(path, ':') || strchr(path, '*') || strchr(path, '?') || strchr(path, '/'))
        return false;
    for (const char* p = path; *p; ++p)
        if (p[0] == '\\' && p[1] == '.' && p[2] == '.' && (p[3] == 0 || p[3] == '\\')) return false;
    return true;
}

const int kCountDepth = 128;

void CountDeviceTree(JobRecord* job, const char* folder, int depth) {
    std::vector<CeEntry> entries;
    if (depth > kCountDepth || CeListDirectory(folder, &entries) < 0) return;
    for (const CeEntry& e : entries) {
        if (job->cancel) return;
        if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            char child[kCePathMax];
            if (CePathJoin(child, sizeof child, folder, e.name.c_str())) CountDeviceTree(job, child, depth + 1);
        } else {
            job->filesSelected++;
            job->total += e.size;
        }
    }
}

} // namespace

bool CeIsDeviceFolder(const char* path) {
    if (!strcmp(path, "\\")) return true;
    bool folder = false;
    int result = CeSendCommand(kCeList, (uintptr_t)path, (uintptr_t)NoteFolder, (uintptr_t)&folder, 0);
    return result == 0 && folder;
}

bool CePrepareTarget(HWND owner, JobRecord* job, const char* folder) {
    char full[kCePathMax];
    const char* typed = job->target;
    bool fits = typed[0] == '\\' ? strlen(typed) < sizeof full && (strcpy(full, typed), true)
                                 : CePathJoin(full, sizeof full, folder, typed);
    if (!fits) {
        FileReportError(owner, ERROR_FILENAME_EXCED_RANGE, typed, kCtxNone);
        return false;
    }
    // "\Docs\" names the folder itself.
    size_t n = strlen(full);
    while (n > 1 && full[n - 1] == '\\')
        full[--n] = 0;
    if (!DevicePathIsSound(full)) {
        FileReportError(owner, ERROR_INVALID_NAME, typed, kCtxNone);
        return false;
    }
    lstrcpynA(job->target, full, sizeof job->target);
    return true;
}

void CeJobCount(JobRecord* job) {
    if (!CeIsDeviceLocation(job->sourceLocation)) {
        JobCountList(job, job->selection);
        return;
    }
    char path[kCePathMax];
    for (const SelectionRecord* r = SelListFirst(job->selection); r && !job->cancel; r = SelListNext(r)) {
        if (r->attributes & kEntryUpDir) continue;
        if (r->attributes & kEntryFolder) {
            if ((job->flags & kJobInclSubDirs) && SelItemFullPath(r, job, path, sizeof path) == 0)
                CountDeviceTree(job, path, 0);
        } else {
            job->filesSelected++;
            job->total += r->size;
        }
    }
}

void CeJobCopySelection(JobRecord* job) {
    bool fromDevice = CeIsDeviceLocation(job->sourceLocation);
    bool toDevice = CeIsDeviceLocation(job->targetLocation);
    bool rename = job->jobCode == 1031, move = job->jobCode != 1029;
    // Several entries, or an existing folder typed: each entry goes into it
    // under its own name; otherwise the one entry takes the typed name.
    bool intoFolder = job->itemCount > 1 || (toDevice ? CeIsDeviceFolder(job->target) : FileIsDir(job->target));
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir) continue;
        CopyItem item = {};
        item.job = job;
        bool fits = SelItemFullPath(rec, job, item.source, sizeof item.source) == 0 &&
                    (intoFolder ? CePathJoin(item.target, sizeof item.target, job->target, rec->name)
                                : strlen(job->target) < sizeof item.target);
        if (!fits) {
            CeReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, rec->name, job);
            job->state = kJobStop;
            break;
        }
        if (!intoFolder) strcpy(item.target, job->target);
        item.sourceDate = rec->date;
        item.sourceTime = rec->time;
        item.sourceSize = rec->size;
        item.sourceAttributes = rec->attributes;
        item.isFolder = (rec->attributes & kEntryFolder) != 0;
        if (fromDevice && toDevice && move) {
            if (CeJobRename(&item) == 0) {
                if (item.isFolder)
                    job->foldersDone++;
                else
                    job->filesDone++;
            }
        } else if (rename) {
            job->state = kJobStop; // a rename stays on one side
            CeReportError(job->dialog, 1, item.source, job);
        } else if (item.isFolder) {
            if (!(job->flags & kJobInclSubDirs)) continue;
            if (move)
                CeJobMoveTree(&item);
            else
                CeJobCopyTree(&item);
        } else if (move) {
            CeJobMoveFile(&item);
        } else {
            CeJobCopyFile(&item);
        }
        if (!JobStopped(job)) JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
}

int CeMakeDirTyped(HWND owner, int panel, const char* typed) {
    char path[kCePathMax];
    bool fits = typed[0] == '\\' ? strlen(typed) < sizeof path && (strcpy(path, typed), true)
                                 : CePathJoin(path, sizeof path, gApp->panelPath[panel], typed);
    if (!fits) {
        CeReportError(owner, ERROR_FILENAME_EXCED_RANGE, typed);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (!DevicePathIsSound(path)) {
        CeReportError(owner, ERROR_INVALID_NAME, typed);
        return ERROR_INVALID_NAME;
    }
    int result = CeMakeDir(owner, path);
    if (result < 0) {
        result = ERROR_DEVICE_NOT_CONNECTED;
        CeReportError(owner, result, path);
    }
    if (result == 0) {
        const char* slash = strrchr(path, '\\');
        PanelRequestRereadSelect(panel, slash ? slash + 1 : path);
    }
    return result;
}
