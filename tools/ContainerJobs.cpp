#include "tools/ContainerJobs.h"

#include <ctype.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/Location.h"
#include "tools/DropTarget.h"
#include "tools/ToolWindows.h"
#include "wingui/ShellServices.h"

// The Container's list; the workers reach it only by messages, which the
// interface thread answers while the progress dialog runs.
static HWND ContainerList() {
    HWND container = gApp ? gApp->toolWindows[kToolContainer] : nullptr;
    return container ? GetDlgItem(container, kToolListBox) : nullptr;
}

struct Line {
    std::string path;
    DWORD attributes;
};

static std::vector<Line> SelectedLines(HWND list) {
    std::vector<Line> lines;
    int count = list ? (int)SendMessageA(list, LB_GETCOUNT, 0, 0) : 0;
    for (int i = 0; i < count; i++) {
        if (SendMessageA(list, LB_GETSEL, i, 0) <= 0)
            continue;
        int len = (int)SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (len <= 0 || len >= 260)
            continue;
        char path[260];
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)path);
        lines.push_back({path, ContainerLineAttributes(list, i)});
    }
    return lines;
}

static void RemoveLine(HWND list, const std::string &path) {
    int at = (int)SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)path.c_str());
    if (at != LB_ERR)
        SendMessageA(list, LB_DELETESTRING, at, 0);
}

static bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool IsLink(DWORD attributes) {
    return IsFolder(attributes) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Adds a name to the totals: folders by their tree, files by their size
// (or one each while `fileBytes` is set).
static void AddTotals(JobRecord *job, const std::string &path, DWORD attributes) {
    if (IsFolder(attributes)) {
        if (job->fileBytes)
            job->total += 1;
        if (!IsLink(attributes))
            JobCountTree(job, path.c_str());
        return;
    }
    job->filesSelected += 1;
    if (job->fileBytes) {
        job->total += 1;
        return;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    if (GetFileSizeEx(h, &size))
        job->total += (uint64_t)size.QuadPart;
    CloseHandle(h);
}

static void StartClock(JobRecord *job) {
    job->bytesSelected = job->total;
    job->startClock = gJobClock();
    if (!job->startClock)
        job->startClock = 1;
}

// The drive of a path becomes current; false stops the job.
static bool DriveReady(JobRecord *job, const std::string &path) {
    if (path.size() < 2 || path[1] != ':')
        return true;
    if (FileSetDrive(job->dialog, path[0]) == 0)
        return true;
    job->state = kJobStop;
    return false;
}

static bool IsMove(const JobRecord *job) {
    return job->jobCode == kJobCodeContainerMove || job->jobCode == kJobCodeDropMove;
}

// One name deleted: a folder with its tree (a link as the link alone), a
// file with the delete questions of the delete job.
static void DeleteOne(JobRecord *job, const std::string &path, DWORD attributes) {
    memset(job->target, 0, sizeof job->target);
    lstrcpynA(job->target, path.c_str(), MAX_PATH);
    if (IsLink(attributes)) {
        DelRemoveLink(job);
    } else if (IsFolder(attributes)) {
        DelDeleteTree(job);
    } else {
        job->itemInfo = attributes;
        DelDeleteFile(job);
    }
}

DWORD WINAPI ContainerCopyJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    HWND list = ContainerList();
    std::vector<Line> lines = SelectedLines(list);
    for (const Line &line : lines) {
        if (job->cancel)
            break;
        AddTotals(job, line.path, line.attributes);
    }
    StartClock(job);
    int panel = job->sourcePanel & 1;
    lstrcpynA(job->secondName, gApp->panelPath[panel], sizeof job->secondName);
    for (const Line &line : lines) {
        if (JobStopped(job) || !DriveReady(job, line.path))
            break;
        CopyJobOnePath(job, line.path.c_str());
        // Only a line whose entry left its place goes; a failed or skipped
        // move keeps it.
        if (IsMove(job) && job->state != kJobStop && !Exists(line.path))
            RemoveLine(list, line.path);
        JobEndItem(job);
    }
    JobFinish(job);
    return 0;
}

DWORD WINAPI ContainerDeleteJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    HWND list = ContainerList();
    std::vector<Line> lines = SelectedLines(list);
    job->fileBytes = 1;
    for (const Line &line : lines) {
        if (job->cancel)
            break;
        AddTotals(job, line.path, line.attributes);
    }
    job->fileBytes = 0;
    job->itemCount = 0;
    StartClock(job);
    for (const Line &line : lines) {
        if (JobStopped(job) || !DriveReady(job, line.path))
            break;
        DWORD attributes = line.attributes != INVALID_FILE_ATTRIBUTES ? line.attributes
                                                                      : GetFileAttributesA(line.path.c_str());
        DeleteOne(job, line.path, attributes);
        if (job->state != kJobStop && !Exists(line.path))
            RemoveLine(list, line.path);
        JobEndItem(job);
    }
    JobFinish(job);
    return 0;
}

// ---- dropped names

std::vector<std::string> DropListNames(const JobRecord *job) {
    std::vector<std::string> names;
    if (job->itemCount <= 1 || !job->selection) {
        if (job->secondName[0])
            names.push_back(job->secondName);
        return names;
    }
    const uint8_t *p = (const uint8_t *)job->selection;
    for (uint32_t i = 0; i < job->itemCount; i++) {
        uint16_t length;
        memcpy(&length, p, 2);
        if (length < 3)
            break;
        names.push_back((const char *)p + 2);
        p += length;
    }
    return names;
}

// The attributes of a dropped name, asking while it is missing; the answer
// becomes the job's state. INVALID_FILE_ATTRIBUTES when it stays missing.
static DWORD DroppedAttributes(JobRecord *job, const std::string &path) {
    for (;;) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            return attributes;
        uint32_t answer = FileReportError(job->dialog, (int32_t)GetLastError(), path.c_str(), kCtxTimes);
        if (answer == kFsRetry)
            continue;
        job->state = answer == kFsCancel || answer == kFsAbort ? kJobStop : kJobSkip;
        job->errors++;
        return INVALID_FILE_ATTRIBUTES;
    }
}

// ---- dropped names into an archive a panel shows

// The archive the job's target names: the archive file of a panel's location
// (panel 0 first) or a folder inside it. Its location becomes the job's
// target location.
static bool DropArchiveTarget(JobRecord *job, std::string *archive, std::string *inner, uint16_t *packer) {
    for (int panel = 0; panel < 2; panel++) {
        const LocationNode *node = gApp->panels[panel].location;
        uint16_t kind = LocationRootKind(node);
        if (!node || kind >= kLocationFtp)
            continue;
        char file[260];
        LocationRootFile(node, file);
        if (!file[0] || !DropTargetInnerPath(job->target, file, inner))
            continue;
        *archive = file;
        *packer = kind;
        if (!job->targetLocation)
            job->targetLocation = LocationClone(node);
        return true;
    }
    return false;
}

// Copy or move of dropped names into an archive (the archive front end's
// job step, shared with the copy and move commands).
static void DropIntoArchive(JobRecord *job, const std::vector<std::string> &names, const std::string &archive,
                            const std::string &inner, uint16_t packer) {
    std::vector<ArcAddSource> sources;
    for (const std::string &name : names) {
        if (JobStopped(job))
            return;
        DWORD attributes = DroppedAttributes(job, name);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        size_t cut = name.find_last_of('\\');
        std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
        sources.push_back({name, attributes, DropMemberName(inner, base)});
    }
    ArcJobAddFiles(job, sources, archive, packer, job->jobCode == kJobCodeDropMove);
}

DWORD WINAPI DropCopyJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    std::vector<std::string> names = DropListNames(job);
    std::string archive, inner;
    uint16_t packer = 0;
    if (DropArchiveTarget(job, &archive, &inner, &packer)) {
        DropIntoArchive(job, names, archive, inner, packer);
        JobFinish(job);
        return 0;
    }
    for (const std::string &name : names) {
        if (job->cancel)
            break;
        AddTotals(job, name, GetFileAttributesA(name.c_str()));
    }
    StartClock(job);
    for (const std::string &name : names) {
        if (JobStopped(job))
            break;
        if (DroppedAttributes(job, name) == INVALID_FILE_ATTRIBUTES) {
            JobEndItem(job);
            continue;
        }
        CopyJobOnePath(job, name.c_str());
        JobEndItem(job);
    }
    JobFinish(job);
    return 0;
}

DWORD WINAPI DropDeleteJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    std::vector<std::string> names = DropListNames(job);
    job->fileBytes = 1;
    for (const std::string &name : names)
        AddTotals(job, name, GetFileAttributesA(name.c_str()));
    job->fileBytes = 0;
    job->itemCount = 0;
    StartClock(job);
    for (const std::string &name : names) {
        if (JobStopped(job))
            break;
        DWORD attributes = DroppedAttributes(job, name);
        if (attributes != INVALID_FILE_ATTRIBUTES)
            DeleteOne(job, name, attributes);
        JobEndItem(job);
    }
    JobFinish(job);
    return 0;
}

// ---- shortcuts to dropped names

// The shortcut's file: "<name>.lnk" in the target folder, or the target
// itself for one name given a new one. An existing file is never replaced:
// the next free "<name> (n).lnk" is taken.
static std::string ShortcutPath(const JobRecord *job, const std::string &source, size_t count) {
    std::string target = job->target;
    while (target.size() > 3 && target.back() == '\\')
        target.pop_back();
    DWORD attributes = GetFileAttributesA(target.c_str());
    bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    std::string base;
    if (folder || count > 1) {
        if (!target.empty() && target.back() != '\\')
            target += '\\';
        base = target + (source.c_str() + PathFindName(source.c_str()));
    } else {
        base = target;
        if (base.size() > 4 && lstrcmpiA(base.c_str() + base.size() - 4, ".lnk") == 0)
            base.resize(base.size() - 4);
    }
    std::string path = base + ".lnk";
    for (int n = 2; GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES && n < 10000; n++)
        path = base + " (" + std::to_string(n) + ").lnk";
    return path;
}

DWORD WINAPI DropShortcutJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::vector<std::string> names = DropListNames(job);
    job->total = names.size();
    StartClock(job);
    for (const std::string &name : names) {
        if (JobStopped(job))
            break;
        if (DroppedAttributes(job, name) != INVALID_FILE_ATTRIBUTES) {
            std::string link = ShortcutPath(job, name, names.size());
            JobPairText(job, name.c_str(), link.c_str());
            char folder[MAX_PATH];
            lstrcpynA(folder, name.c_str(), sizeof folder);
            folder[PathFindName(folder)] = 0;
            HRESULT hr = ShellCreateLink(name.c_str(), folder, link.c_str(), nullptr);
            if (FAILED(hr)) {
                uint32_t answer = FileReportError(job->dialog, (int32_t)(hr & 0xFFFF), link.c_str(), kCtxLink);
                if (answer == kFsCancel || answer == kFsAbort)
                    job->state = kJobStop;
                job->errors++;
            } else {
                job->filesDone++;
            }
        }
        JobAddProgress(job, 1);
        JobEndItem(job);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    JobFinish(job);
    return 0;
}
