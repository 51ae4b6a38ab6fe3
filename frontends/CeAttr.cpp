// The attributes and dates job on device entries: the same masks and times
// as on local files, set through the device library. A device file that is
// read-only takes new times only with the bit lifted for the moment; the bit
// goes back whatever happens.
#include <string.h>

#include <vector>

#include "AppState.h"
#include "CeLink.h"
#include "celink/CeNames.h"
#include "fileops/AttrJob.h"
#include "fileops/AttrRules.h"
#include "fileops/Job.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/Libraries.h"

namespace {

// Deeper than any device path of 259 characters can nest.
const int kCeAttrMaxDepth = 130;

const uint32_t kCeAttrBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

uint64_t TimeOf(const CeFileTime& t) {
    return (uint64_t)t.high << 32 | t.low;
}

CeFileTime TimeFrom(uint64_t v) {
    return CeFileTime{(uint32_t)v, (uint32_t)(v >> 32)};
}

// A failure of the device: reported and the job stops. No link at all is
// never silent here.
void Fail(JobRecord* job, int result, const char* path) {
    AttrReport(job, result > 0 ? (DWORD)result : ERROR_DEVICE_NOT_CONNECTED, path);
    job->state = kJobStop;
}

// The attribute word the device gives for one entry now, or
// INVALID_FILE_ATTRIBUTES.
void CECALL NoteAttributes(const char*, uint32_t, uint32_t, uint32_t attributes, uint32_t, void* user) {
    *static_cast<uint32_t*>(user) = attributes;
}

} // namespace

int CeReadFileTimes(const char* path, CeTimeRecord* record) {
    return CeSendCommand(kCeGetTimes, (uintptr_t)path, (uintptr_t)record, 0, 0);
}

int CeWriteFileTimes(const char* path, const CeTimeRecord* record) {
    return CeSendCommand(kCeSetTimes, (uintptr_t)path, (uintptr_t)record, 0, 0);
}

uint32_t CeReadAttributes(const char* path) {
    uint32_t attributes = INVALID_FILE_ATTRIBUTES;
    if (!strcmp(path, "\\")) return FILE_ATTRIBUTE_DIRECTORY;
    if (CeSendCommand(kCeList, (uintptr_t)path, (uintptr_t)NoteAttributes, (uintptr_t)&attributes, 0) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return attributes;
}

int CeJobSetAttributes(JobRecord* job, const char* path, uint32_t attributes) {
    uint32_t old = attributes & (kCeAttrBits | kAttrDirectory);
    uint32_t now = AttrNewValue(old, job->attrSet & kCeAttrBits, job->attrClear & kCeAttrBits);
    if (now == old) return 0;
    int result = CeSetAttributes(path, AttrSettable(now));
    if (result != 0) {
        Fail(job, result, path);
        return -1;
    }
    if (!(attributes & kAttrDirectory)) job->filesDone++;
    return 1;
}

int CeJobChangeAttr(JobRecord* job, const char* path, uint16_t date, uint16_t time, uint32_t attributes,
                    uint64_t size) {
    bool folder = (attributes & kAttrDirectory) != 0;
    if (!folder && !AttrPassesFilter(job, path, attributes, date, time, size)) return 0;
    JobItemText(job, path);
    int changes = 0;
    if ((job->flags & kAttrChangeDates) && !folder) {
        CeTimeRecord times = {};
        int result = CeReadFileTimes(path, &times);
        if (result == 0) {
            uint64_t creation = TimeOf(times.creation), write = TimeOf(times.lastWrite);
            if (AttrMergeTimes(job->attrCreation, job->attrWrite, &creation, &write)) {
                times.creation = TimeFrom(creation);
                times.lastWrite = TimeFrom(write);
                result = CeWriteFileTimes(path, &times);
                if (result > 0 && CeSetAttributes(path, FILE_ATTRIBUTE_NORMAL) == 0) {
                    // Refused, most likely read-only: once more with the bits
                    // lifted, and the file's own bits back afterwards.
                    result = CeWriteFileTimes(path, &times);
                    int restored = CeSetAttributes(path, AttrSettable(attributes & kCeAttrBits));
                    if (result == 0) result = restored;
                }
                if (result == 0) changes++;
            }
        }
        if (result != 0) {
            Fail(job, result, path);
            return 0;
        }
    }
    int set = CeJobSetAttributes(job, path, attributes);
    if (set < 0) return 0;
    if (changes && !set) job->filesDone++;
    return changes + set;
}

void CeJobChangeAttrTree(JobRecord* job, const char* folder, int depth) {
    JobLineText(job, folder);
    if (depth > kCeAttrMaxDepth) {
        JobReportLeftOut(job, folder, false);
        return;
    }
    std::vector<CeEntry> entries;
    int listed = CeListDirectory(folder, &entries);
    if (listed == ERROR_INVALID_NAME) {
        AttrReport(job, ERROR_INVALID_NAME, folder); // some names were no plain names: left out, and said
    } else if (listed != 0) {
        Fail(job, listed, folder);
        return;
    }
    for (const CeEntry& e : entries) {
        if (JobStopped(job)) break;
        char child[kCePathMax];
        if (!CePathJoin(child, sizeof child, folder, e.name.c_str())) {
            JobReportLeftOut(job, e.name.c_str(), false);
            continue;
        }
        if (e.attributes & kAttrDirectory) {
            // Every sub-folder is walked: what lies below it may need the
            // change even where the folder itself does not.
            CeJobSetAttributes(job, child, e.attributes);
            if (!JobStopped(job)) CeJobChangeAttrTree(job, child, depth + 1);
        } else {
            uint32_t now = AttrNewValue(e.attributes, job->attrSet & kCeAttrBits, job->attrClear & kCeAttrBits);
            if ((job->flags & kAttrChangeDates) || now != e.attributes)
                CeJobChangeAttr(job, child, e.date, e.time, e.attributes, e.size);
        }
        JobAddProgress(job, 1);
        JobEndItem(job);
    }
}
