// Copying and moving files into an archive: the copy and move commands with
// an archive panel as target, and files dropped on an archive a panel shows.
// Both come here, so there is one walker of the sources and one check of
// what arrived before a move deletes anything.
#include <ctype.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/Location.h"
#include "tools/DropTarget.h"

namespace {

struct PackPair {
    std::string source, member;
    bool folder;
    uint64_t size;
    uint16_t date, time;
};

// The DOS stamp an archive gives a member packed from the file.
bool SourceStamp(const std::string &path, uint64_t *size, uint16_t *date, uint16_t *time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    *size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    FILETIME local;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, date, time);
    return true;
}

// Every file below a folder (links are reported, never entered); an empty
// folder stands for itself.
void CollectTree(JobRecord *job, const std::string &folder, const std::string &member, int depth,
                 std::vector<PackPair> *pairs) {
    if (depth > 64) {
        JobReportLeftOut(job, folder.c_str(), false);
        return;
    }
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    bool any = false;
    if (find == INVALID_HANDLE_VALUE) {
        // A folder that cannot be read is said so, never taken for empty.
        JobErrorReport report = {job->dialog, (int32_t)GetLastError(), folder.c_str(), 0, job};
        JobReportError(&report);
        job->errors++;
        return;
    }
    do {
        if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
            continue;
        any = true;
        std::string path = folder + "\\" + data.cFileName, name = member + "\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            JobReportLeftOut(job, path.c_str(), true);
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectTree(job, path, name, depth + 1, pairs);
        } else {
            PackPair p = {path, name, false, 0, 0, 0};
            SourceStamp(path, &p.size, &p.date, &p.time);
            job->total += p.size;
            job->filesSelected += 1;
            pairs->push_back(p);
        }
    } while (FindNextFileA(find, &data) && !JobStopped(job));
    FindClose(find);
    if (!any)
        pairs->push_back({folder, member + "\\", true, 0, 0, 0});
}

// Removes the folders of a tree that hold nothing any more, bottom-up; files
// are never touched, links never entered.
bool RemoveEmptiedFolders(const std::string &folder, int depth = 0) {
    if (depth > 64)
        return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    bool empty = true;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
                continue;
            bool sub = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (!sub || !RemoveEmptiedFolders(folder + "\\" + data.cFileName, depth + 1))
                empty = false;
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return empty && RemoveDirectoryA(folder.c_str());
}

struct ArchiveMember {
    uint64_t size;
    uint16_t date, time;
};
typedef std::map<std::string, ArchiveMember> MemberMap;

std::string MemberKey(std::string name) {
    for (char &c : name)
        c = c == '/' ? '\\' : (char)tolower((unsigned char)c);
    while (!name.empty() && name.back() == '\\')
        name.pop_back();
    return name;
}

int ARCCALL CollectMember(const char *name, uint32_t date, uint32_t time, uint32_t, uint32_t, uint32_t sizeLow,
                          uint32_t sizeHigh, uint32_t, void *context) {
    MemberMap *members = (MemberMap *)((ArcExtractItem *)context)->names;
    (*members)[MemberKey(name)] = {(uint64_t)sizeHigh << 32 | sizeLow, (uint16_t)date, (uint16_t)time};
    return 0;
}

std::string Lower(std::string s) {
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

} // namespace

void ArcJobAddFiles(JobRecord *job, const std::vector<ArcAddSource> &sources, const std::string &archive,
                    uint16_t packer, bool move) {
    if (packer < kLocationArchiveLib) {
        // External packers take names as they lie on disk, not members
        // placed by name inside the archive.
        JobErrorReport report = {job->dialog, (int32_t)ERROR_NOT_SUPPORTED, archive.c_str(), 0, job};
        JobReportError(&report);
        job->state = kJobStop;
        return;
    }
    std::vector<PackPair> pairs;
    std::vector<std::string> folders;
    job->total = 0;
    for (const ArcAddSource &s : sources) {
        if (JobStopped(job))
            return;
        DWORD attributes = s.attributes;
        bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            JobReportLeftOut(job, s.path.c_str(), true);
        } else if (folder) {
            CollectTree(job, s.path, s.member, 0, &pairs);
            folders.push_back(s.path);
        } else {
            PackPair p = {s.path, s.member, false, 0, 0, 0};
            SourceStamp(s.path, &p.size, &p.date, &p.time);
            job->total += p.size;
            job->filesSelected += 1;
            pairs.push_back(p);
        }
    }
    if (pairs.empty() || JobStopped(job))
        return;
    std::vector<const char *> strings;
    for (const PackPair &p : pairs) {
        strings.push_back(p.source.c_str());
        strings.push_back(p.member.c_str());
    }
    strings.push_back(nullptr);
    strings.push_back(nullptr);
    job->bytesSelected = job->total;
    job->startClock = gJobClock();
    if (!job->startClock)
        job->startClock = 1;
    job->itemCount = (uint32_t)(strings.size() - 2);
    job->itemInfo = packer;
    lstrcpynA(job->secondName, archive.c_str(), sizeof job->secondName);
    std::string sourceFolder = pairs[0].source.substr(0, pairs[0].source.find_last_of('\\'));
    if (ArcJobPackPairs(job, archive.c_str(), sourceFolder.c_str(), strings.data()) != 0) {
        job->state = kJobStop;
        return;
    }
    if (!move) {
        job->filesDone += job->filesSelected;
        return;
    }
    MemberMap members;
    if (!ArcJobListMembers(job, archive.c_str(), CollectMember, &members)) {
        job->state = kJobStop;
        return;
    }
    for (const PackPair &p : pairs) {
        if (p.folder)
            continue;
        auto it = members.find(MemberKey(p.member));
        uint64_t size;
        uint16_t date, time;
        bool arrived = it != members.end() && SourceStamp(p.source, &size, &date, &time) && it->second.size == size &&
                       it->second.date == date && (it->second.time & ~1u) == (time & ~1u);
        if (!arrived) {
            // Kept, and said so in the job's log: the archive does not hold
            // this file's copy (the user kept the older member, say).
            JobLogSkipping(job->dialog, p.source.c_str(), nullptr);
            job->errors++;
            continue;
        }
        if (FileDeleteReport(job->dialog, p.source.c_str(), job) != 0) {
            job->state = kJobStop;
            return;
        }
        job->filesDone++;
    }
    // Emptied source folders go, bottom-up; a folder that still holds a kept
    // file stays.
    for (const std::string &folder : folders)
        RemoveEmptiedFolders(folder);
}

void ArcJobCopyIn(JobRecord *job) {
    const LocationNode *node = job->targetLocation;
    char file[260] = "", panelInner[260] = "";
    LocationRootFile(node, file);
    LocationInnerPath(node, panelInner);
    std::string inner;
    if (!file[0] || !DropTargetInnerPath(job->target, file, &inner)) {
        JobErrorReport report = {job->dialog, (int32_t)ERROR_BAD_PATHNAME, job->target, 0, job};
        JobReportError(&report);
        job->state = kJobStop;
        return;
    }
    std::string folder = job->sourceDir;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    std::vector<ArcAddSource> sources;
    std::vector<std::string> names;
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec; rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        std::string path = folder + rec->name;
        DWORD attributes;
        for (;;) {
            attributes = GetFileAttributesA(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES)
                break;
            uint32_t answer = FileReportError(job->dialog, (int32_t)GetLastError(), path.c_str(), kCtxTimes);
            if (answer == kFsRetry)
                continue;
            job->errors++;
            if (answer == kFsCancel || answer == kFsAbort) {
                job->state = kJobStop;
                return;
            }
            break;
        }
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(job->flags & kJobInclSubDirs))
            continue;
        sources.push_back({path, attributes, DropMemberName(inner, rec->name)});
        names.push_back(rec->name);
    }
    // One file under a name of its own: the typed text names the member,
    // unless it is the panel's own level or a folder the archive holds.
    if (sources.size() == 1 && !(sources[0].attributes & FILE_ATTRIBUTE_DIRECTORY) && !inner.empty() &&
        Lower(inner) != Lower(panelInner)) {
        std::map<std::string, ArchiveMember> members;
        bool isFolder = false;
        if (ArcJobListMembers(job, file, CollectMember, &members)) {
            std::string key = MemberKey(inner);
            for (const auto &kv : members)
                if (kv.first.size() > key.size() && kv.first.compare(0, key.size(), key) == 0 &&
                    kv.first[key.size()] == '\\')
                    isFolder = true;
        }
        if (!isFolder)
            sources[0].member = inner;
    }
    ArcJobAddFiles(job, sources, file, LocationRootKind(node), job->jobCode == kJobCodeMove);
    if (!JobStopped(job))
        for (const std::string &n : names)
            JobUnmarkSourceEntry(job, n.c_str());
}
