#include "frontends/CeFrontEnd.h"

#include <string.h>

#include "AppState.h"
#include "CeLink.h"
#include "base/Paths.h"
#include "celink/CeNames.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/Libraries.h"
#include "panels/DirRead.h"

// ---- host table -------------------------------------------------------------

namespace {

CeHostServices gCeTable;

void CECALL CeAddProgress(void* item, uint32_t bytes) {
    CopyItem* copy = static_cast<CopyItem*>(item);
    if (copy && copy->job) JobAddProgress(copy->job, bytes);
}

int32_t CECALL CeAskOverwrite(void* item) {
    CopyItem* copy = static_cast<CopyItem*>(item);
    JobRecord* job = copy ? copy->job : nullptr;
    if (!job || job->filesSelected == 0 || !(gApp->confirmFlags & kConfirmCopy) || job->state == kJobYesAll)
        return 0;
    job->state = JobAskOverwrite(copy);
    return job->state;
}

int32_t CECALL CeMakeLocalDirs(void* owner, const char* path) {
    return (int32_t)FsResultOf(FileMakeDirs(owner ? (HWND)owner : gMainWindow, path));
}

uint32_t CECALL CeDeleteLocalFile(const char* path) {
    return FileDelete(path);
}

void CECALL CeCutLastComponent(char* path) {
    PathCutLastComponent(path);
}

} // namespace

void CeFillHostServices() {
    gCeTable = {CeAddProgress, CeAskOverwrite, CeMakeLocalDirs, CeDeleteLocalFile, CeCutLastComponent};
}

const void* CeHostTable() {
    return &gCeTable;
}

// ---- listings -----------------------------------------------------------------

namespace {

struct PanelListContext {
    DirListing* listing;
    EntryBlockBuilder builder;
    bool outOfMemory;
};

void CECALL CeAddPanelEntry(const char* name, uint32_t date, uint32_t time, uint32_t attributes,
                            uint32_t size, void* user) {
    PanelListContext* context = static_cast<PanelListContext*>(user);
    // The library passes plain names only; a second look costs nothing and
    // keeps a path out of the panel whatever sent it.
    if (context->outOfMemory || !CeNameIsPlain(name)) return;
    alignas(8) uint8_t scratch[kFileEntryMax] = {};
    FileEntry* entry = reinterpret_cast<FileEntry*>(scratch);
    uint16_t kept = (uint16_t)(attributes & 0x37);
    uint64_t bytes = (kept & kEntryFolder) ? 0 : size;
    FileEntryBuild(entry, (uint16_t)date, (uint16_t)time, &bytes, kept, name, nullptr);
    if (kept & kEntryFolder) {
        context->listing->dirCount++;
    } else {
        context->listing->fileCount++;
        context->listing->totalBytes += size;
    }
    if (!EntryBlockAppend(context->listing, &context->builder, entry)) context->outOfMemory = true;
}

struct WalkListContext {
    std::vector<CeEntry>* entries;
};

void CECALL CeAddListEntry(const char* name, uint32_t date, uint32_t time, uint32_t attributes, uint32_t size,
                           void* user) {
    if (!CeNameIsPlain(name)) return;
    static_cast<WalkListContext*>(user)->entries->push_back(
        {name, (uint16_t)date, (uint16_t)time, attributes & 0x37, size});
}

bool CeWaitConnected(DWORD ms) {
    DWORD start = GetTickCount();
    while (!gApp->ceConnected) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(20);
    }
    return true;
}

// Sends a listing; when it fails, restarts the connect thread, waits for it
// once and tries again. `reset` clears what the failed attempt delivered.
template <class Reset>
int CeListWithRetry(const char* pattern, CeListCallback callback, void* user, Reset reset) {
    int result = CeSendCommand(kCeList, (uintptr_t)pattern, (uintptr_t)callback, (uintptr_t)user, 0);
    if (result == 0 || result == ERROR_INVALID_NAME || result == ERROR_FILENAME_EXCED_RANGE) return result;
    // The device answered: a folder that is not there needs no new link,
    // and a reconnect would cut every transfer under way.
    if (result == ERROR_PATH_NOT_FOUND || result == ERROR_FILE_NOT_FOUND || result == ERROR_ACCESS_DENIED)
        return result;
    if (!gApp->ceEntry) return kCeNoLibrary;
    reset();
    CeStartConnect();
    if (!CeWaitConnected(kCeReconnectWaitMs)) return kCeUnreachable;
    result = CeSendCommand(kCeList, (uintptr_t)pattern, (uintptr_t)callback, (uintptr_t)user, 0);
    if (result != 0 && result != ERROR_INVALID_NAME) reset();
    return result;
}

void ListingClear(DirListing* listing) {
    DirListingFree(listing);
    uint16_t panel = listing->panelIndex;
    *listing = DirListing{};
    listing->panelIndex = panel;
}

} // namespace

int CeListPanel(const LocationNode* node, DirListing* listing) {
    if (!gApp->ceEntry) return kCeNoLibrary;
    const char* path = node->innerPath[0] ? node->innerPath : "\\";
    char pattern[kCePathMax];
    if (!CePathJoin(pattern, sizeof pattern, path, "*")) return ERROR_FILENAME_EXCED_RANGE;
    PanelListContext context = {listing, {}, false};
    int result = CeListWithRetry(pattern, CeAddPanelEntry, &context, [&] {
        ListingClear(listing);
        context = {listing, {}, false};
    });
    if (context.outOfMemory) {
        ListingClear(listing);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (result != 0 && result != ERROR_INVALID_NAME) return result;
    if (strcmp(path, "\\") != 0) {
        alignas(8) uint8_t scratch[kFileEntryMax] = {};
        FileEntry* up = reinterpret_cast<FileEntry*>(scratch);
        uint64_t none = 0;
        FileEntryBuild(up, 0, 0, &none, kEntryUpDir | kEntryFolder, "..", nullptr);
        if (!EntryBlockAppend(listing, &context.builder, up)) {
            ListingClear(listing);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    if (!listing->entryBlock) return kCeEmpty;
    PanelSortEntries(listing);
    return 0;
}

int CeListDirectory(const char* folder, std::vector<CeEntry>* entries) {
    if (!gApp->ceEntry) return kCeNoLibrary;
    char pattern[kCePathMax];
    if (!CePathJoin(pattern, sizeof pattern, folder, "*")) return ERROR_FILENAME_EXCED_RANGE;
    entries->clear();
    WalkListContext context = {entries};
    return CeListWithRetry(pattern, CeAddListEntry, &context, [&] { entries->clear(); });
}

// ---- leftovers of cut transfers ------------------------------------------------

namespace {

// Guards the list; held only around list changes, never across a command.
volatile LONG gLeftoverLock;
std::vector<std::string> gLeftovers;
const size_t kLeftoversMax = 256;
// Temporary and parked names tried per target, as the library makes them.
const unsigned kSiblingNames = 64;

struct LeftoverLock {
    LeftoverLock() {
        while (InterlockedExchange(&gLeftoverLock, 1))
            Sleep(0);
    }
    ~LeftoverLock() { InterlockedExchange(&gLeftoverLock, 0); }
};

// Commands of the sweep go straight to the library: the connect counter is
// still 0 while it runs, so nothing else is on the link.
int SweepCommand(uint32_t code, uintptr_t a1, uintptr_t a2 = 0, uintptr_t a3 = 0) {
    CeCommandRecord record = {code, (uintptr_t)CeHostTable(), a1, a2, a3, 0};
    return reinterpret_cast<CeEntryProc>(gApp->ceEntry)(record);
}

void CECALL NoteName(const char* name, uint32_t, uint32_t, uint32_t, uint32_t, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(name);
}

bool Listed(const std::vector<std::string>& names, const char* path) {
    const char* slash = strrchr(path, '\\');
    const char* name = slash ? slash + 1 : path;
    for (const std::string& n : names)
        if (!lstrcmpiA(n.c_str(), name)) return true;
    return false;
}

// One target's leftovers; true when nothing of them is left.
bool SweepTarget(const char* target) {
    char folder[kCePathMax], pattern[kCePathMax];
    lstrcpynA(folder, target, sizeof folder);
    char* slash = strrchr(folder, '\\');
    if (!slash) return true;
    slash[slash == folder ? 1 : 0] = 0;
    if (!CePathJoin(pattern, sizeof pattern, folder, "*")) return true;
    std::vector<std::string> names;
    int listed = SweepCommand(kCeList, (uintptr_t)pattern, (uintptr_t)NoteName, (uintptr_t)&names);
    if (listed == ERROR_PATH_NOT_FOUND || listed == ERROR_FILE_NOT_FOUND) return true; // the folder is gone
    if (listed != 0 && listed != ERROR_INVALID_NAME) return false;
    bool clean = true;
    bool targetThere = Listed(names, target);
    char sibling[kCePathMax];
    // A parked old file whose new one never took its name goes back first.
    for (unsigned n = 1; n <= kSiblingNames; ++n) {
        if (!CeBackupName(sibling, sizeof sibling, target, n) || !Listed(names, sibling)) continue;
        int done = targetThere ? SweepCommand(kCeDeleteFile, (uintptr_t)sibling)
                               : SweepCommand(kCeMove, (uintptr_t)sibling, (uintptr_t)target);
        if (done == 0 && !targetThere) targetThere = true;
        if (done != 0) clean = false;
    }
    for (unsigned n = 1; n <= kSiblingNames; ++n) {
        if (!CeTempName(sibling, sizeof sibling, target, n) || !Listed(names, sibling)) continue;
        if (SweepCommand(kCeDeleteFile, (uintptr_t)sibling) != 0) clean = false;
    }
    return clean;
}

} // namespace

void CeNoteLeftovers(const char* target) {
    if (!target || !target[0] || strlen(target) >= (size_t)kCePathMax) return;
    LeftoverLock lock;
    for (const std::string& t : gLeftovers)
        if (!lstrcmpiA(t.c_str(), target)) return;
    if (gLeftovers.size() < kLeftoversMax) gLeftovers.push_back(target);
}

void CeSweepLeftovers() {
    if (!gApp->ceEntry) return;
    std::vector<std::string> targets;
    {
        LeftoverLock lock;
        targets.swap(gLeftovers);
    }
    std::vector<std::string> kept;
    for (const std::string& t : targets)
        if (!SweepTarget(t.c_str())) kept.push_back(t);
    if (kept.empty()) return;
    for (const std::string& t : kept)
        CeNoteLeftovers(t.c_str());
}

size_t CeLeftoverCount() {
    LeftoverLock lock;
    return gLeftovers.size();
}

// ---- one command each ---------------------------------------------------------

int CeRunProgram(const char* path) {
    return CeSendCommand(kCeRun, (uintptr_t)path, 0, 0, 0);
}
int CeDeleteDeviceFile(const char* path) {
    return CeSendCommand(kCeDeleteFile, (uintptr_t)path, 0, 0, 0);
}
int CeRemoveDir(const char* path) {
    return CeSendCommand(kCeRemoveDir, (uintptr_t)path, 0, 0, 0);
}
int CeMakeDirRaw(const char* path) {
    return CeSendCommand(kCeMakeDir, (uintptr_t)path, 0, 0, 0);
}
int CeSetAttributes(const char* path, uint32_t attributes) {
    return CeSendCommand(kCeSetAttr, (uintptr_t)path, attributes, 0, 0);
}

uint32_t CeReportError(HWND owner, int result, const char* path, JobRecord* job) {
    if (result <= 0) return 0;
    JobErrorReport report = {owner, result, path, kCtxNone, job};
    return JobReportError(&report);
}

// ---- job steps ----------------------------------------------------------------

namespace {

enum Side { kSideLocal, kSideDevice, kSideOther };

Side SideOf(const LocationNode* node) {
    if (!node) return kSideLocal;
    return node->kind == kLocationCeDevice ? kSideDevice : kSideOther;
}

// Every failure is reported and stops the job; negative results (a folder
// where a file was expected, a skip) pass silently.
int Fail(JobRecord* job, int result, const char* path) {
    if (result > 0) {
        CeReportError(job->dialog, result, path, job);
        job->state = kJobStop;
    }
    return result;
}

// Reported, counted against the job, and the walk goes on: an entry that
// could not be taken never passes silently.
void Note(JobRecord* job, int result, const char* path) {
    JobErrorReport report = {job->dialog, result, path, kCtxNone, job};
    JobReportError(&report);
    if (!(job->flags & kJobStatistics)) job->errors++;
}

bool ChildItem(const CopyItem* parent, const char* name, CopyItem* child) {
    *child = CopyItem{};
    child->job = parent->job;
    if (!CePathJoin(child->source, sizeof child->source, parent->source, name) ||
        !CePathJoin(child->target, sizeof child->target, parent->target, name)) {
        Note(parent->job, ERROR_FILENAME_EXCED_RANGE, parent->source);
        return false;
    }
    return true;
}

int MakeTargetFolder(JobRecord* job, Side side, const char* path) {
    if (side == kSideDevice) {
        int made = CeMakeDirRaw(path);
        if (made == ERROR_ALREADY_EXISTS || made == ERROR_FILE_EXISTS) made = 0;
        return Fail(job, made, path);
    }
    return Fail(job, (int)FsResultOf(FileMakeDirs(job->dialog, path)), path);
}

struct LocalEntry {
    std::string name;
    uint16_t date, time;
    uint32_t attributes;
    uint64_t size;
};

// A local folder for the walk; reparse points are listed as entries and
// never entered by the caller.
int ListLocal(const char* folder, std::vector<LocalEntry>* entries) {
    HANDLE find;
    WIN32_FIND_DATAA data;
    uint32_t error = FileFindFirst(folder, &find, &data);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return 0;
    if (error) return (int)error;
    do {
        if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, "..")) continue;
        FILETIME local;
        WORD date = 0, time = 0;
        if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local))
            FileTimeToDosDateTime(&local, &date, &time);
        entries->push_back({data.cFileName, date, time, data.dwFileAttributes,
                            (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow});
    } while (FileFindNext(find, &data) == 0);
    FileFindClose(find);
    return 0;
}

int WalkTree(CopyItem* item, bool move, int depth);

// One entry of a walk: a file is copied or moved, a folder walked.
void WalkEntry(CopyItem* parent, const char* name, uint16_t date, uint16_t time, uint32_t attributes,
               uint64_t size, bool move, int depth) {
    JobRecord* job = parent->job;
    CopyItem child;
    if (!ChildItem(parent, name, &child)) return;
    child.sourceDate = date;
    child.sourceTime = time;
    child.sourceSize = size;
    child.sourceAttributes = (uint16_t)attributes;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link is one entry, never entered; it has no device form.
        Note(job, ERROR_NOT_SUPPORTED, child.source);
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        child.isFolder = 1;
        if (job->flags & kJobInclSubDirs) WalkTree(&child, move, depth + 1);
        return;
    }
    if (move)
        CeJobMoveFile(&child);
    else
        CeJobCopyFile(&child);
}

// Depth limit of a walk: device paths end at 259 characters anyway, so this
// only guards against a listing that never ends.
const int kMaxDepth = 128;

int WalkTree(CopyItem* item, bool move, int depth) {
    JobRecord* job = item->job;
    Side from = SideOf(job->sourceLocation), to = SideOf(job->targetLocation);
    if ((from != kSideDevice && to != kSideDevice) || from == kSideOther || to == kSideOther)
        return Fail(job, 1, item->source);
    if (depth > kMaxDepth) return Fail(job, ERROR_FILENAME_EXCED_RANGE, item->source);
    JobPairText(job, item->source, item->target);
    if (int made = MakeTargetFolder(job, to, item->target)) return made;
    if (from == kSideDevice) {
        std::vector<CeEntry> entries;
        int listed = CeListDirectory(item->source, &entries);
        if (listed == ERROR_INVALID_NAME)
            Note(job, listed, item->source); // some names were not plain base names
        else if (listed)
            return Fail(job, listed < 0 ? ERROR_DEVICE_NOT_CONNECTED : listed, item->source);
        for (const CeEntry& e : entries) {
            if (JobStopped(job)) break;
            WalkEntry(item, e.name.c_str(), e.date, e.time, e.attributes, e.size, move, depth);
            JobEndItem(job);
        }
    } else {
        std::vector<LocalEntry> entries;
        if (int listed = ListLocal(item->source, &entries)) return Fail(job, listed, item->source);
        for (const LocalEntry& e : entries) {
            if (JobStopped(job)) break;
            WalkEntry(item, e.name.c_str(), e.date, e.time, e.attributes, e.size, move, depth);
            JobEndItem(job);
        }
    }
    if (JobStopped(job)) return kJobStop;
    if (move) {
        // Emptied now unless something stayed behind; then the folder stays
        // too and the failure is reported.
        int removed =
            from == kSideDevice ? CeRemoveDir(item->source) : (int)FileRemoveDir(job->dialog, item->source);
        if (from == kSideDevice && removed > 0) Note(job, removed, item->source);
    }
    job->foldersDone++;
    return 0;
}

} // namespace

int CeJobRename(CopyItem* item) {
    if (!strcmp(item->source, item->target)) return 0;
    JobRecord* job = item->job;
    if (job->filesSelected == 0) job->filesSelected = 1; // so that the library's overwrite question is asked
    int result = CeSendCommand(kCeMove, (uintptr_t)item->source, (uintptr_t)item->target, (uintptr_t)item, 0);
    return Fail(job, result, item->source);
}

int CeMakeDir(HWND owner, const char* path) {
    int result = CeMakeDirRaw(path);
    CeReportError(owner, result, path);
    return result;
}

int CeJobDeleteFile(JobRecord* job, const char* path) {
    job->filesSelected++;
    JobItemText(job, path);
    int result = CeDeleteDeviceFile(path);
    if (result == 0) job->filesDone++;
    return Fail(job, result, path);
}

int CeJobDeleteTree(JobRecord* job, const char* path) {
    JobItemText(job, path);
    std::vector<CeEntry> entries;
    int listed = CeListDirectory(path, &entries);
    if (listed == ERROR_INVALID_NAME)
        Note(job, listed, path);
    else if (listed)
        return Fail(job, listed < 0 ? ERROR_DEVICE_NOT_CONNECTED : listed, path);
    for (const CeEntry& e : entries) {
        if (JobStopped(job)) break;
        char child[kCePathMax];
        if (!CePathJoin(child, sizeof child, path, e.name.c_str())) {
            Note(job, ERROR_FILENAME_EXCED_RANGE, path);
            continue;
        }
        if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (job->flags & kJobInclSubDirs) CeJobDeleteTree(job, child);
        } else {
            CeJobDeleteFile(job, child);
        }
        JobEndItem(job);
    }
    if ((job->flags & kJobKeepEmptyDirs) || JobStopped(job)) return 0;
    int removed = CeRemoveDir(path);
    if (removed > 0 && CeSetAttributes(path, FILE_ATTRIBUTE_DIRECTORY) == 0) removed = CeRemoveDir(path);
    if (removed == 0) job->foldersDone++;
    return Fail(job, removed, path);
}

int CeTransferFile(CopyItem* item) {
    JobRecord* job = item->job;
    JobPairText(job, item->source, item->target);
    Side from = SideOf(job->sourceLocation), to = SideOf(job->targetLocation);
    int result;
    if (!gApp->ceEntry || !gApp->ceConnected) {
        // No link (or a reconnect under way): said, never passed over as a
        // folder met where a file was expected.
        result = ERROR_DEVICE_NOT_CONNECTED;
    } else if (from == kSideDevice && to == kSideDevice) {
        if (!strcmp(item->source, item->target)) return 0;
        result = CeSendCommand(kCeCopy, (uintptr_t)item->source, (uintptr_t)item->target, (uintptr_t)item, 0);
    } else if (from == kSideDevice && to == kSideLocal) {
        JobAddProgress(job, 0);
        result = CeSendCommand(kCeDownload, (uintptr_t)item->source, (uintptr_t)item->target, (uintptr_t)item,
                               (uintptr_t)&job->cancel);
    } else if (from == kSideLocal && to == kSideDevice) {
        result = CeSendCommand(kCeUpload, (uintptr_t)item->source, (uintptr_t)item->target, (uintptr_t)item,
                               (uintptr_t)&job->cancel);
    } else {
        result = 1;
    }
    if (result == 0) {
        job->filesDone++;
        job->bytesDone += item->sourceSize;
    } else if (result > 0 && to == kSideDevice) {
        // The library removes its temporary file at the failure; where the
        // link was gone by then, the next connect does.
        CeNoteLeftovers(item->target);
    }
    return result;
}

int CeJobCopyFile(CopyItem* item) {
    return Fail(item->job, CeTransferFile(item), item->source);
}

int CeJobMoveFile(CopyItem* item) {
    JobRecord* job = item->job;
    // The library answers 0 only for a complete copy under the target's
    // name; anything else keeps the source.
    int copied = CeJobCopyFile(item);
    if (copied != 0 || JobStopped(job)) return copied;
    Side from = SideOf(job->sourceLocation);
    int removed;
    if (from == kSideDevice) {
        removed = CeDeleteDeviceFile(item->source);
    } else if (from == kSideLocal) {
        removed = (int)FileDelete(item->source);
    } else {
        job->state = kJobStop;
        return 1;
    }
    return Fail(job, removed, item->source);
}

int CeJobCopyTree(CopyItem* item) {
    return WalkTree(item, false, 0);
}

int CeJobMoveTree(CopyItem* item) {
    JobRecord* job = item->job;
    if (SideOf(job->sourceLocation) == kSideDevice && SideOf(job->targetLocation) == kSideDevice) {
        int renamed = CeJobRename(item);
        if (renamed == 0) job->foldersDone++;
        return renamed;
    }
    return WalkTree(item, true, 0);
}
