#include "frontends/FtpJobs.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include <string>
#include <vector>

#include "AppState.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"
#include "frontends/FtpFrontEnd.h"
#include "panels/Filter.h"
#include "panels/PanelIter.h"
#include "panels/Location.h"
#include "wingui/WindowUtil.h"

// The library reads and writes the host's copy item through its own view
// of the record.
static_assert(offsetof(CopyItem, job) == offsetof(FtpCopyItem, job), "copy item layout");
static_assert(offsetof(CopyItem, sourceSize) == offsetof(FtpCopyItem, sourceSize), "copy item layout");
static_assert(offsetof(CopyItem, targetSize) == offsetof(FtpCopyItem, targetSize), "copy item layout");
static_assert(offsetof(CopyItem, isFolder) == offsetof(FtpCopyItem, isFolder), "copy item layout");

namespace {

// Walks end here: a server that lists a folder inside itself forever, or
// links that are not marked as such, cannot make a walk run without end.
const int kMaxDepth = 64;

bool IsFtp(const LocationNode* node) { return node && node->kind == kLocationFtp; }

FtpLocationHead* Head(LocationNode* node) { return reinterpret_cast<FtpLocationHead*>(node); }

// A failure of the job: a red line of the statistics log, or a box.
void ReportText(JobRecord* job, const char* text) {
    if (JobIsStatistics(job)) {
        job->errors++;
        if (job->dialog) SendMessageA(job->dialog, kMsgJobMarkedLine, (WPARAM)kLogError, (LPARAM)text);
        return;
    }
    job->errors++;
    SendMessageA(job->dialog, kMsgJobAnimation, 0, 0);
    MsgBox(job->dialog ? job->dialog : gMainWindow, text, gWindowTitle, MB_ICONERROR);
    SendMessageA(job->dialog, kMsgJobAnimation, 1, 0);
}

void ReportId(JobRecord* job, int id, const char* name) {
    char text[600];
    TextGet(id, text, sizeof text);
    if (name && name[0]) {
        StrAppend(text, "\r\n", sizeof text);
        StrAppend(text, name, sizeof text);
    }
    ReportText(job, text);
}

// The error texts the library left in the two connections, the source's
// first: what the servers answered.
void ReportLibraryError(JobRecord* job, const char* path) {
    char text[512] = "";
    for (LocationNode* node : {job->sourceLocation, job->targetLocation}) {
        if (!IsFtp(node) || !Head(node)->text[0]) continue;
        if (text[0]) StrAppend(text, "\r\n", sizeof text);
        StrAppend(text, Head(node)->text, sizeof text);
    }
    if (!text[0]) TextGet(Txt::errConnectFailed, text, sizeof text);
    char line[900];
    snprintf(line, sizeof line, "%s\r\n%s", path, text);
    ReportText(job, line);
}

void ClearErrorTexts(JobRecord* job) {
    for (LocationNode* node : {job->sourceLocation, job->targetLocation})
        if (IsFtp(node)) Head(node)->text[0] = 0;
}

bool Answered(const JobRecord* job) { return job->state == kJobGoOn || job->state == kJobYesAll; }

// Folder part of a remote path ("/" for a name at the root).
std::string RemoteFolderOf(const char* path) {
    std::string p(path);
    size_t cut = p.find_last_of('/');
    if (cut == std::string::npos) return "";
    return cut == 0 ? "/" : p.substr(0, cut);
}

const char* NameOf(const char* path) {
    const char* n = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\') n = p + 1;
    return n;
}

// Size of one remote file as its folder lists it now; false when the
// server does not list it.
bool RemoteSize(LocationNode* connection, const char* path, uint64_t* size) {
    std::string folder = RemoteFolderOf(path);
    FtpForgetListing(connection, folder.c_str());
    FtpEntry* entries = nullptr;
    uint32_t count = 0, leftOut = 0;
    bool found = false;
    if (FtpListRemote(connection, folder.c_str(), &entries, &count, &leftOut) == 0) {
        const char* name = NameOf(path);
        for (uint32_t i = 0; i < count; i++) {
            if (strcmp(entries[i].name, name) == 0 && !(entries[i].attributes & kEntryFolder)) {
                *size = entries[i].size;
                found = true;
                break;
            }
        }
    }
    free(entries);
    FtpForgetListing(connection, folder.c_str());
    return found;
}

bool LocalSize(const char* path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
    *size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Records of an upload folder's listing, in the form the library reads for
// its overwrite question: u16 length, date, time, reserved, u64 size, u16
// attributes, 6 spare bytes, the name at 24; a length of 0 ends the list.
std::vector<uint8_t> TargetRecords(LocationNode* connection, const char* folder) {
    std::vector<uint8_t> out;
    FtpEntry* entries = nullptr;
    uint32_t count = 0, leftOut = 0;
    if (FtpListRemote(connection, folder, &entries, &count, &leftOut) == 0) {
        for (uint32_t i = 0; i < count; i++) {
            size_t n = strlen(entries[i].name);
            size_t length = (24 + n + 1 + 3) & ~(size_t)3;
            size_t at = out.size();
            out.resize(at + length, 0);
            uint8_t* r = &out[at];
            uint16_t len16 = (uint16_t)length, attributes = (uint16_t)(entries[i].attributes & 0x10);
            memcpy(r, &len16, 2);
            memcpy(r + 2, &entries[i].date, 2);
            memcpy(r + 4, &entries[i].time, 2);
            memcpy(r + 8, &entries[i].size, 8);
            memcpy(r + 16, &attributes, 2);
            memcpy(r + 24, entries[i].name, n);
        }
    }
    free(entries);
    out.resize(out.size() + 24, 0);
    return out;
}

struct LocalEntry {
    std::string name;
    uint16_t date, time;
    uint32_t attributes;
    uint64_t size;
};

// A local folder for the walk; 0 or the system's error.
int ListLocal(const char* folder, std::vector<LocalEntry>* entries) {
    char pattern[MAX_PATH + 4];
    if (snprintf(pattern, sizeof pattern, "%s\\*", folder) >= (int)sizeof pattern) return ERROR_FILENAME_EXCED_RANGE;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES ? 0 : (int)e;
    }
    do {
        if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, "..")) continue;
        FILETIME local;
        WORD date = 0, time = 0;
        if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) FileTimeToDosDateTime(&local, &date, &time);
        entries->push_back({data.cFileName, date, time, data.dwFileAttributes,
                            (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow});
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return 0;
}

bool Join(char* out, size_t size, const char* folder, const char* name, bool remote) {
    if (remote) return FtpJoinRemote(out, size, folder, name);
    size_t n = strlen(folder);
    int w = snprintf(out, size, "%s%s%s", folder, n && folder[n - 1] == '\\' ? "" : "\\", name);
    return w >= 0 && (size_t)w < size;
}

// The server folder of an upload or a server-to-server copy: the library
// stores under the name part in the server's current folder.
bool EnterRemoteFolder(JobRecord* job, LocationNode* connection, const char* folder) {
    if (FtpSetRemoteDir(folder, connection, nullptr) == 0) return true;
    ReportLibraryError(job, folder);
    job->state = kJobStop;
    return false;
}

bool EntryIsLink(uint32_t attributes, bool remote) {
    if (remote) return (attributes & kEntryRemote) && (attributes & kEntryShared);
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool FtpJobApplies(const JobRecord* job) {
    const LocationNode* s = job->sourceLocation;
    const LocationNode* t = job->targetLocation;
    if (!IsFtp(s) && !IsFtp(t)) return false;
    return (!s || IsFtp(s)) && (!t || IsFtp(t));
}

void FtpStopTransfers(JobRecord* job) {
    if (IsFtp(job->sourceLocation)) FtpSendCommand(kFtpAbort, (intptr_t)job->sourceLocation);
    if (IsFtp(job->targetLocation)) FtpSendCommand(kFtpAbort, (intptr_t)job->targetLocation);
}

void FTPCALL FtpAskOverwrite(FtpCopyItem* libraryItem, uint64_t resumeOffset) {
    CopyItem* item = reinterpret_cast<CopyItem*>(libraryItem);
    JobRecord* job = item ? item->job : nullptr;
    if (!job) return;
    if (resumeOffset) {
        // A part of the file is here already: asked always, since the
        // answer decides between going on and starting over.
        uint16_t caption = job->captionId;
        job->captionId = Txt::txtFtpResume;
        if (job->dialog) ShowWindow(GetDlgItem(job->dialog, kIdJobAnimation), SW_HIDE);
        job->state = JobAskOverwrite(item);
        job->captionId = caption;
        return;
    }
    if ((gApp->confirmFlags & kConfirmCopy) && job->state != kJobYesAll) job->state = JobAskOverwrite(item);
}

int FtpRenameRemote(JobRecord* job, const char* source, const char* target) {
    auto strip = [](const char* p) {
        if (p[0] && p[1] == ':') p += 2;
        return p;
    };
    const char* from = strip(source);
    const char* to = strip(target);
    if (strcmp(from, to) == 0) return 0;
    int r = FtpSendCommand(kFtpRename, (intptr_t)from, (intptr_t)to, (intptr_t)job->sourceLocation);
    if (r != 0) {
        job->state = kJobStop;
        ReportId(job, Txt::errFtpRename, from);
        return r ? r : -1;
    }
    job->filesDone++;
    return 0;
}

int FtpDeleteRemoteFile(JobRecord* job, const char* path) {
    job->filesSelected++;
    JobItemText(job, path);
    int r = FtpSendCommand(kFtpDelete, (intptr_t)path, (intptr_t)job->sourceLocation);
    if (r != 0) {
        job->state = kJobStop;
        ReportId(job, Txt::errFileNotDel, path);
        return r;
    }
    job->filesDone++;
    return 0;
}

int FtpDeleteRemoteDir(JobRecord* job, const char* path, int depth) {
    LocationNode* connection = job->sourceLocation;
    JobItemText(job, path);
    const bool keepEmpty = (job->flags & kJobKeepEmptyDirs) != 0;
    // An empty folder goes in one step; with "keep emptied folders" no
    // folder is removed at all, so the walk goes first.
    if (!keepEmpty && FtpSendCommand(kFtpRemoveDir, (intptr_t)path, (intptr_t)connection) == 0) {
        job->foldersDone++;
        FtpForgetListing(connection, RemoteFolderOf(path).c_str());
        return 0;
    }
    if (depth > kMaxDepth) {
        JobReportLeftOut(job, path, false);
        return -1;
    }
    FtpEntry* entries = nullptr;
    uint32_t count = 0, leftOut = 0;
    FtpForgetListing(connection, path);
    if (FtpListRemote(connection, path, &entries, &count, &leftOut) != 0) {
        // Never a walk in whatever folder the server happens to be in.
        ReportLibraryError(job, path);
        job->state = kJobStop;
        return -1;
    }
    if (leftOut) {
        char line[600];
        snprintf(line, sizeof line, "%s: %u", path, leftOut);
        JobReportLeftOut(job, line, false);
    }
    for (uint32_t i = 0; i < count && !JobStopped(job); i++) {
        char child[520];
        if (!Join(child, sizeof child, path, entries[i].name, true)) {
            JobReportLeftOut(job, entries[i].name, false);
            continue;
        }
        if ((entries[i].attributes & kEntryFolder) && !EntryIsLink(entries[i].attributes, true)) {
            if (job->flags & kJobInclSubDirs) FtpDeleteRemoteDir(job, child, depth + 1);
        } else {
            // Files, and links as the one entry they are: never entered.
            FtpDeleteRemoteFile(job, child);
        }
        JobEndItem(job);
    }
    free(entries);
    FtpForgetListing(connection, path);
    if (keepEmpty || JobStopped(job)) return 0;
    int r = FtpSendCommand(kFtpRemoveDir, (intptr_t)path, (intptr_t)connection);
    if (r == 0) {
        job->foldersDone++;
        JobAddProgress(job, 1);
    } else {
        ReportLibraryError(job, path);
    }
    return r;
}

int FtpTransferFile(CopyItem* item) {
    JobRecord* job = item->job;
    LocationNode* src = job->sourceLocation;
    LocationNode* dst = job->targetLocation;
    const bool move = job->jobCode == 1030;
    JobPairText(job, item->source, item->target);
    ClearErrorTexts(job);
    int r;
    if (IsFtp(src) && IsFtp(dst)) {
        if (Head(src)->slot == Head(dst)->slot && strcmp(item->source, item->target) == 0) return 0;
        if (Head(src)->slot == Head(dst)->slot) {
            // One server: a move is a rename, a copy needs a second
            // connection to the same server.
            if (!move) {
                ReportLibraryError(job, item->source);
                job->state = kJobStop;
                return -1;
            }
            r = FtpSendCommand(kFtpRename, (intptr_t)item->source, (intptr_t)item->target, (intptr_t)src);
            if (r != 0) {
                ReportId(job, Txt::errFtpRename, item->source);
                job->state = kJobStop;
                return r;
            }
            job->filesDone++;
            return 0;
        }
        if (!EnterRemoteFolder(job, src, RemoteFolderOf(item->source).c_str()) ||
            !EnterRemoteFolder(job, dst, RemoteFolderOf(item->target).c_str()))
            return -1;
        r = FtpSendCommandShort(kFtpServerCopy, (intptr_t)item, (intptr_t)src, (intptr_t)dst);
        if (r == 0 && move) {
            uint64_t size = 0;
            if (RemoteSize(dst, item->target, &size) && size == item->sourceSize)
                r = FtpSendCommand(kFtpDelete, (intptr_t)item->source, (intptr_t)src);
            else
                r = -1;
        }
    } else if (IsFtp(dst)) {
        std::string folder = RemoteFolderOf(item->target);
        if (!EnterRemoteFolder(job, dst, folder.c_str())) return -1;
        std::vector<uint8_t> records;
        if (gApp->confirmFlags & kConfirmCopy) records = TargetRecords(dst, folder.c_str());
        r = FtpSendCommandShort(kFtpStore, (intptr_t)item, (intptr_t)dst, (intptr_t)FtpAskOverwrite,
                                (intptr_t)(records.empty() ? nullptr : records.data()));
        FtpForgetListing(dst, folder.c_str());
        if (r == 0 && !Answered(job)) return 0;  // skipped: the source stays
        if (r == 0 && move) {
            // The source goes only once the server holds all of it.
            uint64_t local = 0, remote = 0;
            if (!LocalSize(item->source, &local) || !RemoteSize(dst, item->target, &remote) || local != remote) {
                char text[700];
                snprintf(text, sizeof text, "%s: %llu / %llu", item->target, (unsigned long long)remote,
                         (unsigned long long)local);
                ReportText(job, text);
                job->state = kJobStop;
                return -1;
            }
            uint32_t e = FileDelete(item->source);
            if (e) {
                JobErrorReport report = {job->dialog, (int32_t)e, item->source, kCtxNone, job};
                JobReportError(&report);
                job->state = kJobStop;
                return (int)e;
            }
        }
    } else {
        JobAddProgress(job, 0);
        r = FtpSendCommandShort(kFtpRetrieve, (intptr_t)item, (intptr_t)src, (intptr_t)FtpAskOverwrite, 0);
        if (r == 0 && !Answered(job)) return 0;  // skipped: the source stays
        if (r == 0 && move) {
            uint64_t local = 0;
            if (!LocalSize(item->target, &local) || local != item->sourceSize) {
                ReportLibraryError(job, item->source);
                job->state = kJobStop;
                return -1;
            }
            r = FtpSendCommand(kFtpDelete, (intptr_t)item->source, (intptr_t)src);
            FtpForgetListing(src, RemoteFolderOf(item->source).c_str());
        }
    }
    if (r != 0) {
        if (!job->cancel) ReportLibraryError(job, item->source);
        job->state = kJobStop;
        return r;
    }
    job->filesDone++;
    return 0;
}

int FtpTransferDir(CopyItem* item, int depth) {
    JobRecord* job = item->job;
    LocationNode* src = job->sourceLocation;
    LocationNode* dst = job->targetLocation;
    const bool fromFtp = IsFtp(src), toFtp = IsFtp(dst);
    const bool move = job->jobCode == 1030;
    if (depth > kMaxDepth) {
        JobReportLeftOut(job, item->source, false);
        return -1;
    }
    JobPairText(job, item->source, item->target);
    if (toFtp) {
        if (FtpSetRemoteDir(item->target, dst, nullptr) != 0 &&
            (FtpSendCommand(kFtpMakeDirs, (intptr_t)item->target, (intptr_t)dst) != 0 ||
             FtpSetRemoteDir(item->target, dst, nullptr) != 0)) {
            ReportId(job, Txt::errFtpMakeDir, item->target);
            job->state = kJobStop;
            return -1;
        }
        FtpForgetListing(dst, RemoteFolderOf(item->target).c_str());
    } else if (uint32_t e = FsResultOf(FileMakeDirs(job->dialog, item->target))) {
        job->state = kJobStop;
        return (int)e;
    }

    struct Entry {
        std::string name;
        uint16_t date, time;
        uint32_t attributes;
        uint64_t size;
    };
    std::vector<Entry> entries;
    if (fromFtp) {
        FtpEntry* list = nullptr;
        uint32_t count = 0, leftOut = 0;
        if (FtpListRemote(src, item->source, &list, &count, &leftOut) != 0) {
            ReportLibraryError(job, item->source);
            job->state = kJobStop;
            return -1;
        }
        if (leftOut) {
            char line[600];
            snprintf(line, sizeof line, "%s: %u", item->source, leftOut);
            JobReportLeftOut(job, line, false);
        }
        for (uint32_t i = 0; i < count; i++)
            entries.push_back({list[i].name, list[i].date, list[i].time, list[i].attributes, list[i].size});
        free(list);
    } else {
        std::vector<LocalEntry> local;
        if (int e = ListLocal(item->source, &local)) {
            JobErrorReport report = {job->dialog, e, item->source, kCtxNone, job};
            JobReportError(&report);
            job->state = kJobStop;
            return e;
        }
        for (const LocalEntry& l : local) entries.push_back({l.name, l.date, l.time, l.attributes, l.size});
    }

    bool complete = true;
    for (const Entry& e : entries) {
        if (JobStopped(job)) break;
        CopyItem child = {};
        child.job = job;
        if (!Join(child.source, sizeof child.source, item->source, e.name.c_str(), fromFtp) ||
            !Join(child.target, sizeof child.target, item->target, e.name.c_str(), toFtp)) {
            JobReportLeftOut(job, item->source, false);
            complete = false;
            continue;
        }
        child.sourceDate = e.date;
        child.sourceTime = e.time;
        child.sourceSize = e.size;
        child.sourceAttributes = (uint16_t)e.attributes;
        bool folder = fromFtp ? (e.attributes & kEntryFolder) != 0 : (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (EntryIsLink(e.attributes, fromFtp) && (folder || !fromFtp)) {
            // A link is one entry, never entered nor copied as its target;
            // a server link the library found to lead to a file comes as
            // that file.
            JobReportLeftOut(job, child.source, true);
            complete = false;
        } else if (folder) {
            child.isFolder = 1;
            if (job->flags & kJobInclSubDirs) {
                if (FtpTransferDir(&child, depth + 1) != 0) complete = false;
            } else {
                complete = false;
            }
        } else {
            job->filesSelected++;
            if (FtpTransferFile(&child) != 0 || !Answered(job)) complete = false;
        }
        JobEndItem(job);
    }
    if (JobStopped(job)) return kJobStop;
    if (move && complete) {
        if (fromFtp) {
            if (FtpSendCommand(kFtpRemoveDir, (intptr_t)item->source, (intptr_t)src) != 0)
                ReportLibraryError(job, item->source);
            FtpForgetListing(src, RemoteFolderOf(item->source).c_str());
        } else {
            DirRemoveKeepingAttributes(job->dialog, item->source);
        }
    }
    job->foldersDone++;
    JobAddProgress(job, 1);
    return 0;
}

// ---- the jobs ---------------------------------------------------------------------------

namespace {

// Where the typed target of a job with an FTP target points: "c:" alone is
// the connection's current folder; "c:\name" (as the copy dialog offers it)
// is relative to that folder, "c:/path" absolute.
std::string RemoteTargetOf(const JobRecord* job, std::string* rename) {
    char current[262];
    FtpGetRemotePath(job->targetLocation, current, sizeof current);
    const char* t = job->target;
    if (t[0] && t[1] == ':') t += 2;
    std::string rest(t);
    for (char& c : rest)
        if (c == '\\') c = '/';
    bool absolute = t[0] == '/';
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    std::string base = absolute ? "/" : current;
    if (rest.empty()) return base;
    char joined[520];
    if (!FtpJoinRemote(joined, sizeof joined, base.c_str(), rest.c_str())) return base;
    if (rename) *rename = joined;
    return joined;
}

}  // namespace

void FtpRunCopyJob(JobRecord* job) {
    LocationNode* src = job->sourceLocation;
    LocationNode* dst = job->targetLocation;
    const bool fromFtp = IsFtp(src), toFtp = IsFtp(dst);
    if (job->total == 0) JobCountList(job, job->selection);
    if (job->bytesSelected == 0) job->bytesSelected = job->total;
    job->startClock = gJobClock();
    if (!job->startClock) job->startClock = 1;

    char sourceFolder[262] = "";
    if (fromFtp)
        FtpGetRemotePath(src, sourceFolder, sizeof sourceFolder);
    else
        lstrcpynA(sourceFolder, job->sourceDir, sizeof sourceFolder);

    // A single file may get a new name; otherwise the target is a folder.
    uint32_t records = 0;
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec; rec = SelListNext(rec))
        if (!(rec->attributes & kEntryUpDir)) records++;
    std::string renamed;
    std::string targetFolder;
    if (toFtp) {
        targetFolder = RemoteTargetOf(job, &renamed);
    } else {
        targetFolder = job->target;
    }

    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir) continue;
        CopyItem item = {};
        item.job = job;
        item.sourceDate = rec->date;
        item.sourceTime = rec->time;
        item.sourceSize = rec->size;
        item.sourceAttributes = rec->attributes;
        item.isFolder = (rec->attributes & kEntryFolder) != 0;
        if (!fromFtp || FtpNameIsPlain(rec->name)) {
            if (!Join(item.source, sizeof item.source, sourceFolder, rec->name, fromFtp)) {
                JobReportLeftOut(job, rec->name, false);
                continue;
            }
        } else {
            JobReportLeftOut(job, rec->name, false);
            continue;
        }
        if (job->jobCode == 1031) {
            // Rename on the server: the typed name, in the same folder
            // unless it names another.
            if (!fromFtp) {
                job->state = kJobStop;
                break;
            }
            char target[520];
            const char* typed = job->target;
            if (typed[0] && typed[1] == ':') typed += 2;
            std::string t(typed);
            for (char& c : t)
                if (c == '\\') c = '/';
            if (t.find('/') == std::string::npos) {
                if (!FtpJoinRemote(target, sizeof target, sourceFolder, t.c_str())) {
                    JobReportLeftOut(job, rec->name, false);
                    continue;
                }
            } else {
                lstrcpynA(target, t.c_str(), sizeof target);
            }
            if (FtpRenameRemote(job, item.source, target) == 0) {
                FtpForgetListing(src, sourceFolder);
                JobUnmarkSourceEntry(job, rec->name);
            }
            continue;
        }
        bool ok;
        if (toFtp && records == 1 && !item.isFolder && !renamed.empty()) {
            // "c:\name" typed for one file: into that folder when the server
            // has one of that name, else the file's new name.
            if (FtpSetRemoteDir(renamed.c_str(), dst, nullptr) == 0)
                ok = Join(item.target, sizeof item.target, renamed.c_str(), rec->name, true);
            else
                ok = renamed.size() < sizeof item.target && lstrcpynA(item.target, renamed.c_str(), sizeof item.target);
        } else if (toFtp) {
            ok = Join(item.target, sizeof item.target, targetFolder.c_str(), rec->name, true);
        } else if (records == 1 && !item.isFolder && !FileIsDir(job->target)) {
            ok = lstrcpynA(item.target, job->target, sizeof item.target) != nullptr;
        } else {
            ok = Join(item.target, sizeof item.target, targetFolder.c_str(), rec->name, false);
        }
        if (!ok) {
            JobReportLeftOut(job, rec->name, false);
            continue;
        }
        if (item.isFolder) {
            if (EntryIsLink(rec->attributes, fromFtp)) {
                JobReportLeftOut(job, item.source, true);
                continue;
            }
            if (!(job->flags & kJobInclSubDirs)) continue;
            FtpTransferDir(&item, 0);
        } else {
            FtpTransferFile(&item);
        }
        if (!JobStopped(job) && Answered(job)) JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
    if (fromFtp) FtpForgetListing(src, sourceFolder);
    if (toFtp) FtpForgetAllListings(dst);
}

void FtpRunDeleteJob(JobRecord* job) {
    LocationNode* src = job->sourceLocation;
    job->startClock = gJobClock();
    if (!job->startClock) job->startClock = 1;
    char folder[262];
    FtpGetRemotePath(src, folder, sizeof folder);
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir) continue;
        char path[520];
        if (!FtpNameIsPlain(rec->name) || !FtpJoinRemote(path, sizeof path, folder, rec->name)) {
            JobReportLeftOut(job, rec->name, false);
            continue;
        }
        int r;
        if ((rec->attributes & kEntryFolder) && !EntryIsLink(rec->attributes, true))
            r = (job->flags & kJobInclSubDirs) ? FtpDeleteRemoteDir(job, path, 0) : 0;
        else
            r = FtpDeleteRemoteFile(job, path);
        if (r == 0 && !JobStopped(job)) JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
    FtpForgetListing(src, folder);
}

// ---- chmod ---------------------------------------------------------------------------

namespace {

const uint32_t kChmodWithFilter = 0x100;

// A file the job's filter lets through (folders always pass).
bool ChmodPasses(const JobRecord* job, const char* folder, const FtpEntry& e) {
    if (!(job->flags & kChmodWithFilter) || (e.attributes & kEntryFolder) || !gApp) return true;
    uint64_t size = e.size;
    return FilterTestEntry(folder, e.name, 0, e.date, e.time, &size, &gApp->syncFilter) != 0;
}

// Lists a remote folder afresh: the modes shown in a panel may be old.
bool ListFresh(JobRecord* job, const char* folder, FtpEntry** entries, uint32_t* count) {
    uint32_t leftOut = 0;
    FtpForgetListing(job->sourceLocation, folder);
    if (FtpListRemote(job->sourceLocation, folder, entries, count, &leftOut) != 0) {
        ReportLibraryError(job, folder);
        job->state = kJobStop;
        return false;
    }
    if (leftOut) {
        char line[600];
        snprintf(line, sizeof line, "%s: %u", folder, leftOut);
        JobReportLeftOut(job, line, false);
    }
    return true;
}

// One entry of `folder`: a link is one entry of another tree and is left
// alone (a chmod through it would change what it points at); a folder gets
// the mode and, with the sub-folder flag, its contents.
void ChmodEntry(JobRecord* job, const char* folder, const FtpEntry& e, int depth) {
    char path[520];
    if (!FtpJoinRemote(path, sizeof path, folder, e.name)) {
        JobReportLeftOut(job, e.name, false);
        return;
    }
    if (EntryIsLink(e.attributes, true)) {
        JobReportLeftOut(job, path, true);
        return;
    }
    if (!ChmodPasses(job, folder, e)) return;
    lstrcpynA(job->target, path, sizeof job->target);
    FtpChmod(job, e.attributes);
    if ((e.attributes & kEntryFolder) && (job->flags & kJobInclSubDirs) && !JobStopped(job))
        FtpChmodTree(job, path, depth + 1);
}

}  // namespace

int FtpChmod(JobRecord* job, uint32_t mode) {
    int r = FtpSendCommand(kFtpChmod, (intptr_t)job, (intptr_t)(mode & 0xFFFF));
    if (r != 0 && r != -1 && job->state == kJobStop) {
        ReportId(job, Txt::errFtpChmod, job->target);
    }
    return r;
}

void FtpChmodTree(JobRecord* job, const char* folder, int depth) {
    JobLineText(job, folder);
    if (depth > kMaxDepth) {
        JobReportLeftOut(job, folder, false);
        return;
    }
    FtpEntry* entries = nullptr;
    uint32_t count = 0;
    if (!ListFresh(job, folder, &entries, &count)) return;
    for (uint32_t i = 0; i < count && !JobStopped(job); i++) {
        ChmodEntry(job, folder, entries[i], depth);
        JobEndItem(job);
    }
    free(entries);
    FtpForgetListing(job->sourceLocation, folder);
}

void FtpRunChmodJob(JobRecord* job) {
    char folder[262];
    FtpGetRemotePath(job->sourceLocation, folder, sizeof folder);
    FtpEntry* entries = nullptr;
    uint32_t count = 0;
    if (!folder[0]) {
        // Never a chmod in whatever folder the server happens to be in.
        JobReportLeftOut(job, job->sourceDir, false);
        return;
    }
    if (!ListFresh(job, folder, &entries, &count)) return;
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir) continue;
        const FtpEntry* e = nullptr;
        for (uint32_t i = 0; i < count && !e; i++)
            if (strcmp(entries[i].name, rec->name) == 0) e = &entries[i];
        if (!e) {
            // Gone from the server since the panel listed it.
            JobReportLeftOut(job, rec->name, false);
            continue;
        }
        ChmodEntry(job, folder, *e, 0);
        JobAddProgress(job, 1);
        if (!JobStopped(job)) JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
    free(entries);
    FtpForgetListing(job->sourceLocation, folder);
}

void FtpShowChmodDialog(HWND owner, int panel) {
    panel &= 1;
    LocationNode* location = gApp->panels[panel].location;
    if (!IsFtp(location)) return;
    uint32_t marked = PanelCountMarked(panel);
    PanelIter it;
    FileEntry* e = PanelFirstMarked(&it, panel);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, panel);
    }
    if (!e || (EntryIsUpDir(e) && marked == 0)) {
        PanelIterEnd(&it);
        MessageBeep(MB_ICONHAND);
        return;
    }
    char name[260];
    lstrcpynA(name, EntryName(e), sizeof name);
    bool folder = EntryIsFolder(e);
    PanelIterEnd(&it);
    JobRecord job = {};
    job.sourceLocation = LocationClone(location);
    if (!job.sourceLocation) return;
    // The panel keeps no mode words: the one-item dialog starts from the
    // entry's mode as the server lists it now.
    job.itemCount = folder ? kEntryFolder : 0;
    char remote[262];
    FtpGetRemotePath(location, remote, sizeof remote);
    FtpEntry* entries = nullptr;
    uint32_t count = 0, leftOut = 0;
    if (marked < 2 && remote[0] && FtpListRemote(location, remote, &entries, &count, &leftOut) == 0) {
        for (uint32_t i = 0; i < count; i++)
            if (strcmp(entries[i].name, name) == 0) job.itemCount = entries[i].attributes & 0xFFFF;
    }
    free(entries);
    job.itemInfo = marked;
    job.flags = gApp->generalOptions;
    job.state = (int32_t)PanelCountMarkedDirs(panel);
    job.sourcePanel = (uint16_t)panel;
    lstrcpynA(job.sourceDir, gApp->panelPath[panel], sizeof job.sourceDir);
    lstrcpynA(job.target, name, sizeof job.target);
    int r = FtpSendCommand(kFtpChmodDialog, (intptr_t)owner, (intptr_t)gApp->ftpLib, (intptr_t)&job);
    const uint32_t kept = kChmodWithFilter | kJobInclSubDirs;
    if (r > 0) gApp->generalOptions = (gApp->generalOptions & ~kept) | (job.flags & kept);
    const uint32_t kPerm = 0x7E7;
    if (r > 0 && ((job.itemCount & kPerm) || (job.itemInfo & kPerm))) {
        job.flags &= ~kJobStatistics;
        job.jobCode = kJobCodeAttributes;
        job.titleId = Txt::txtAttributes;
        job.captionId = Txt::txtChgAttr;
        job.state = kJobGoOn;
        if (JobShowDialog(owner, kDlgJobDelete, &job)) return;
    } else {
        // Nothing to change: the marks move to the previous-selection bit.
        for (FileEntry* f = PanelIterBegin(&it, panel); f; f = PanelIterNext(&it)) f->mark = (uint8_t)(f->mark << 1);
        PanelIterEnd(&it);
        if (gApp->panels[panel].listWindow) InvalidateRect(gApp->panels[panel].listWindow, nullptr, FALSE);
    }
    LocationCloneFree(job.sourceLocation);
}
