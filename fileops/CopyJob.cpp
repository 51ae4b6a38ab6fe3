// The worker of copy, move and rename jobs on the file system, and the
// per-file and per-folder steps it takes.
#include "fileops/CopyJob.h"
#include "frontends/ArcFrontEnd.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <unordered_set>

#include "AppState.h"
#include "base/DateTime.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/CaseMask.h"
#include "fileops/FileCopy.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "panels/Filter.h"
#include "panels/PanelIter.h"
#include "fileops/FileHelpers.h"
#include "frontends/FtpJobs.h"
#include "frontends/CeFrontEnd.h"

// Case-mask rename mode of the job this worker thread runs.
static thread_local bool tCaseMaskMode;

static uint16_t ConfirmFlags() { return gApp ? gApp->confirmFlags : kConfirmCopy | kConfirmMove; }

static const char *NamePart(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

// Folder + "\" + name, bounded: 0, 111 (cut) or 123 (no room).
static int PathJoin(char *out, size_t size, const char *folder, const char *name)
{
    out[0] = 0;
    int r = StrAppend(out, folder, size);
    size_t n = strlen(out);
    if (n && out[n - 1] != '\\' && out[n - 1] != '/')
        r |= StrAppend(out, "\\", size);
    r |= StrAppend(out, name, size);
    if (r & kAppendNoRoom)
        return kAppendNoRoom;
    return r ? kAppendCut : 0;
}

// ---- same file and inside-folder tests ----------------------------------------

// Full path with every component in its long form where it exists (short
// names and "." / ".." resolved); the drive letter itself is kept.
static void PathCanonical(const char *path, char *out, size_t size)
{
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (!n || n >= sizeof full)
        lstrcpynA(full, path, sizeof full);
    char longer[MAX_PATH];
    n = GetLongPathNameA(full, longer, sizeof longer);
    if (n && n < sizeof longer)
        lstrcpynA(out, longer, (int)size);
    else
        lstrcpynA(out, full, (int)size);
    size_t len = strlen(out);
    while (len > 3 && (out[len - 1] == '\\' || out[len - 1] == '/'))
        out[--len] = 0;
}

static bool FileIdOf(const char *path, BY_HANDLE_FILE_INFORMATION *info)
{
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return ok;
}

bool PathIsSameFile(const char *a, const char *b)
{
    char ca[MAX_PATH], cb[MAX_PATH];
    PathCanonical(a, ca, sizeof ca);
    PathCanonical(b, cb, sizeof cb);
    if (PathCompareNoCase(ca, cb) == 0)
        return true;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!FileIdOf(a, &ia) || !FileIdOf(b, &ib))
        return false;
    // Index and volume decide; size, time and link count guard against file
    // systems that report no volume serial.
    return ia.nFileIndexLow == ib.nFileIndexLow && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileSizeLow == ib.nFileSizeLow &&
           ia.nFileSizeHigh == ib.nFileSizeHigh && ia.nNumberOfLinks == ib.nNumberOfLinks &&
           CompareFileTime(&ia.ftLastWriteTime, &ib.ftLastWriteTime) == 0 &&
           ((ia.dwFileAttributes ^ ib.dwFileAttributes) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool PathIsInsideFolder(const char *outer, const char *inner)
{
    char co[MAX_PATH], ci[MAX_PATH];
    PathCanonical(outer, co, sizeof co);
    PathCanonical(inner, ci, sizeof ci);
    if (PathIsSameOrInside(co, ci))
        return true;
    // Another drive letter or share for the same folder: walk up the inner
    // path and compare each existing ancestor with the outer folder.
    BY_HANDLE_FILE_INFORMATION io;
    if (!FileIdOf(co, &io))
        return false;
    char walk[MAX_PATH];
    lstrcpynA(walk, ci, sizeof walk);
    for (;;) {
        BY_HANDLE_FILE_INFORMATION iw;
        if (FileIdOf(walk, &iw) && iw.nFileIndexLow == io.nFileIndexLow && iw.nFileIndexHigh == io.nFileIndexHigh &&
            iw.dwVolumeSerialNumber == io.dwVolumeSerialNumber &&
            CompareFileTime(&iw.ftCreationTime, &io.ftCreationTime) == 0 &&
            CompareFileTime(&iw.ftLastWriteTime, &io.ftLastWriteTime) == 0)
            return true;
        char *cut = strrchr(walk, '\\');
        if (!cut || cut - walk < 2)
            return false;
        *cut = 0;
        if (strlen(walk) == 2 && walk[1] == ':')
            return false;
    }
}

// ---- names already in a target folder ----------------------------------------

// Under Wine every look-up of a name that does not exist reads the whole
// folder (names are matched without regard to case), so asking for each of
// 20,000 new files costs 20,000 folder reads. The walk reads a target folder
// once and only asks the file system about names that are in it.
struct TargetNames {
    std::string folder; // upper-cased, no trailing separator; empty = unknown
    std::unordered_set<std::string> names;

    static std::string Upper(const char *text, size_t n)
    {
        std::string u(text, n);
        for (char &c : u)
            c = (char)CharFoldUpper((unsigned char)c);
        return u;
    }
    // `empty`: the folder was just made, there is nothing to read.
    void Load(const char *path, bool empty)
    {
        folder.clear();
        names.clear();
        uint32_t error = 0;
        DirListRecord *list = empty ? nullptr : DirReadListEx(path, &error);
        if (!list && error)
            return;
        for (const DirListRecord *r = list; r && r->length; r = DirListNext(r)) {
            const char *name = NamePart(r->path);
            names.insert(Upper(name, strlen(name)));
        }
        DirFreeList(list);
        size_t n = strlen(path);
        while (n > 3 && (path[n - 1] == '\\' || path[n - 1] == '/'))
            n--;
        folder = Upper(path, n);
    }
    // True when `target` lies directly in the listed folder and its name was
    // not there.
    bool Absent(const char *target) const
    {
        if (folder.empty())
            return false;
        const char *name = NamePart(target);
        size_t n = (size_t)(name - target);
        if (n == 0 || n - 1 != folder.size() || Upper(target, n - 1) != folder)
            return false;
        return names.find(Upper(name, strlen(name))) == names.end();
    }
    // A name the walk has just made (two sources may meet in one target).
    void Add(const char *target)
    {
        if (!folder.empty()) {
            const char *name = NamePart(target);
            names.insert(Upper(name, strlen(name)));
        }
    }
};

// ---- stamps --------------------------------------------------------------------

int CopyNewerTest(CopyItem *item)
{
    FileStampPair pair = {};
    pair.sourceDate = item->sourceDate;
    pair.sourceTime = item->sourceTime;
    pair.sourceSize = item->sourceSize;
    int r = FileCompareStamps(item->source, item->target, &pair);
    return r == kStampSame || r == kStampSourceOlder ? 0 : 1;
}

uint32_t FileVerifyRead(const char *path)
{
    HANDLE h;
    if (FileOpen(path, &h, GENERIC_READ))
        return 1;
    uint64_t size = 0;
    FileGetSize(gMainWindow, h, &size);
    uint32_t result = 0;
    static const uint32_t kBlock = 0x10000;
    char *buffer = (char *)malloc(kBlock);
    if (!buffer)
        result = 1;
    while (!result && size) {
        uint32_t n = size < kBlock ? (uint32_t)size : kBlock;
        if (FileRead(h, buffer, n))
            result = 1;
        size -= n;
    }
    free(buffer);
    FileClose(h);
    return result;
}

// ---- the per-file steps --------------------------------------------------------

static bool SameDrive(const char *a, const char *b)
{
    if (a[0] && a[1] == ':' && b[0] && b[1] == ':')
        return CharFoldUpper((unsigned char)a[0]) == CharFoldUpper((unsigned char)b[0]);
    if (a[0] == '\\' && a[1] == '\\' && b[0] == '\\' && b[1] == '\\')
        return true;
    return !(b[0] && b[1] == ':');
}

// An existing target keeps its content until the new copy is complete; only
// a read-only bit would stop the replace, so it is lifted for the copy and
// put back on every path where the copy did not happen.
struct TargetGuard {
    const char *path;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    explicit TargetGuard(const char *p) : path(p)
    {
        if (!p)
            return;
        DWORD a = GetFileAttributesA(p);
        if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
            (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
            attributes = a;
            SetFileAttributesA(p, FILE_ATTRIBUTE_NORMAL);
        }
    }
    void Restore()
    {
        if (attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesA(path, attributes);
        attributes = INVALID_FILE_ATTRIBUTES;
    }
    void Forget() { attributes = INVALID_FILE_ATTRIBUTES; }
    ~TargetGuard() { Restore(); }
    TargetGuard(const TargetGuard &) = delete;
    TargetGuard &operator=(const TargetGuard &) = delete;
};

static void ShowCopyItselfError(JobRecord *job, const char *source);

// 0 the target exists (and the question was asked when it is on), 2 absent.
// An existing target that is the source itself under another name stops
// the job.
static int AskIfExists(CopyItem *item, uint16_t confirmBit)
{
    JobRecord *job = item->job;
    if (item->targetAbsent)
        return 2;
    uint32_t probe = FileProbe(item->target);
    if (probe == 0 && PathIsSameFile(item->source, item->target) &&
        !(confirmBit == kConfirmMove && job->caseCompare == 0)) {
        ShowCopyItselfError(job, item->source);
        return 0;
    }
    if (probe == 0 && (ConfirmFlags() & confirmBit) && job->state != kJobYesAll)
        job->state = JobAskOverwrite(item);
    return (int)probe;
}

void CopyFileItem(CopyItem *item)
{
    JobRecord *job = item->job;
    if ((job->flags & kJobNewerOnly) && !CopyNewerTest(item)) {
        JobAddProgress64(job, &item->sourceSize);
        return;
    }
    for (;;) {
        bool exists = AskIfExists(item, kConfirmCopy) == 0;
        if (job->state == kJobSkip) {
            JobAddProgress64(job, &item->sourceSize);
            return;
        }
        if (job->state != kJobGoOn && job->state != kJobYesAll)
            return;
        JobPairText(job, item->source, item->target);
        TargetGuard guard(exists ? item->target : nullptr);
        // A target that was absent is only ever made, never replaced: one
        // that appeared since gets the overwrite question.
        FsResult2 r = FileCopy(job->dialog, item->source, item->target, job, !exists);
        uint32_t result = FsResultOf(r);
        if (result == kFsYes || (result == ERROR_FILE_EXISTS && !exists)) {
            // Disk full answered Yes (a new disk is in), or a target appeared.
            item->targetAbsent = 0;
            continue;
        }
        if (result == 0) {
            guard.Forget();
            if ((job->flags & kJobVerify) && FileVerifyRead(item->target))
                job->state = kJobStop;
            job->filesDone += 1;
            job->bytesDone += item->sourceSize;
            FileClearReadOnlyFromCd(item->source, item->target);
            return;
        }
        guard.Restore();
        if (result == kErrCancelled)
            return;
        if (JobIsStatistics(job))
            JobAddProgress64(job, &item->sourceSize);
        else
            job->state = (int32_t)result;
        return;
    }
}

// A name that differs only in case: some file systems (and Wine) take a
// direct rename for a no-op, so the entry goes through a temporary name in
// the same folder and, when the second step fails, back to its old name.
uint32_t FileMoveCaseOnly(HWND owner, const char *source, const char *target, JobRecord *job)
{
    char temp[MAX_PATH];
    lstrcpynA(temp, source, sizeof temp);
    *(char *)NamePart(temp) = 0;
    size_t base = strlen(temp);
    for (unsigned n = 0;; n++) {
        snprintf(temp + base, sizeof temp - base, "~case%u.tmp", n);
        if (GetFileAttributesA(temp) == INVALID_FILE_ATTRIBUTES)
            break;
        if (n > 1000)
            return ERROR_ALREADY_EXISTS;
    }
    for (;;) {
        if (MoveFileA(source, temp)) {
            if (MoveFileA(temp, target)) {
                JobAddProgress(job, 1);
                return 0;
            }
            DWORD error = GetLastError();
            MoveFileA(temp, source);
            SetLastError(error);
        }
        uint32_t answer = FileReportError(owner, 0, source, kCtxDelete);
        if (answer != kFsRetry)
            return answer;
    }
}

// A same-drive move over an existing target: one rename that replaces, so
// the old target stays until the new one takes its name.
static uint32_t MoveReplace(CopyItem *item)
{
    JobRecord *job = item->job;
    for (;;) {
        if (MoveFileExA(item->source, item->target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            JobAddProgress(job, 1);
            return 0;
        }
        DWORD error = GetLastError();
        JobErrorReport report = {job->dialog, (int32_t)error, item->source, kCtxDelete, job};
        uint32_t answer = JobReportError(&report);
        if (answer != kFsRetry)
            return answer ? answer : error;
    }
}

void MoveFileItem(CopyItem *item)
{
    JobRecord *job = item->job;
    bool caseOnly = job->caseCompare == 0;
    if (!caseOnly && (job->flags & kJobNewerOnly) && !CopyNewerTest(item)) {
        JobAddProgress64(job, &item->sourceSize);
        return;
    }
    for (;;) {
        bool exists = false;
        if (!caseOnly) {
            exists = AskIfExists(item, kConfirmMove) == 0;
            if (job->state == kJobSkip) {
                JobAddProgress64(job, &item->sourceSize);
                return;
            }
            if (job->state != kJobGoOn && job->state != kJobYesAll)
                return;
        }
        JobPairText(job, item->source, item->target);
        uint32_t result;
        if (caseOnly) {
            result = FileMoveCaseOnly(job->dialog, item->source, item->target, job);
        } else if (exists && SameDrive(item->source, item->target)) {
            TargetGuard guard(item->target);
            result = MoveReplace(item);
            if (!result)
                guard.Forget();
        } else {
            TargetGuard guard(exists ? item->target : nullptr);
            result = FsResultOf(FileMove(job->dialog, item->source, item->target, job, !exists));
            if (!result)
                guard.Forget();
        }
        if (result == kFsYes || (result == ERROR_FILE_EXISTS && !exists && !caseOnly)) {
            item->targetAbsent = 0;
            continue;
        }
        if (result == 0) {
            job->filesDone += 1;
            job->bytesDone += item->sourceSize;
        } else if (result != kFsNo && result != kErrCancelled) {
            job->state = (int32_t)result;
        }
        return;
    }
}

// ---- folders ------------------------------------------------------------------

static bool PassesFilter(const JobRecord *job, uint32_t flag, const char *path, uint16_t attributes, uint16_t date,
                         uint16_t time, uint64_t size)
{
    if (!(job->flags & flag) || !gApp)
        return true;
    char folder[MAX_PATH];
    lstrcpynA(folder, path, sizeof folder);
    char *cut = (char *)NamePart(folder);
    const char *name = NamePart(path);
    if (cut > folder)
        cut[-1] = 0;
    return FilterTestEntry(folder, name, attributes, date, time, &size, &gApp->syncFilter) != 0;
}

static void FillFromRecord(CopyItem *sub, const DirListRecord *r)
{
    sub->sourceDate = r->dosDate;
    sub->sourceTime = (uint16_t)(r->dosTime & ~0x1F);
    sub->sourceSize = r->size;
    sub->sourceAttributes = r->attributes;
    sub->targetDate &= ~0x1F;
    sub->isFolder = (r->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Entries a copy or move walk reports instead of taking: a path too long to
// work with, and a link to a folder, which is never entered (what it points
// at is not part of the tree).
static bool CopyLeavesOut(JobRecord *job, const DirListRecord *r)
{
    bool link = DirIsLink(r->attributes);
    if (!(r->attributes & kDirListTooLong) && !link)
        return false;
    if (!link || (job->flags & kJobInclSubDirs))
        JobReportLeftOut(job, r->path, link);
    JobEndItem(job);
    return true;
}

static bool MakeTargetFolder(CopyItem *item)
{
    if (FileIsDir(item->target))
        return true;
    FsResult2 r = FileMakeDirs(item->job->dialog, item->target);
    if (FsResultOf(r) == 0)
        return true;
    item->job->state = kJobStop;
    return false;
}

void CopyTree(CopyItem *item)
{
    JobRecord *job = item->job;
    uint32_t error = 0;
    DirListRecord *list = DirReadListEx(item->source, &error);
    if (!list && error) {
        JobErrorReport report = {job->dialog, (int32_t)error, item->source, kCtxNone, job};
        uint32_t answer = JobReportError(&report);
        if (!JobIsStatistics(job) && answer)
            job->state = kJobStop;
        return;
    }
    bool fresh = !FileIsDir(item->target);
    if (!MakeTargetFolder(item)) {
        DirFreeList(list);
        return;
    }
    TargetNames existing;
    existing.Load(item->target, fresh);
    for (const DirListRecord *r = list; r && r->length && !JobStopped(job); r = DirListNext(r)) {
        if (CopyLeavesOut(job, r))
            continue;
        CopyItem sub = *item;
        lstrcpynA(sub.source, r->path, sizeof sub.source);
        if (PathJoin(sub.target, sizeof sub.target, item->target, NamePart(r->path))) {
            FileReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, r->path, kCtxNone);
            job->state = kJobStop;
            break;
        }
        FillFromRecord(&sub, r);
        sub.targetAbsent = existing.Absent(sub.target);
        if (sub.isFolder) {
            if (job->flags & kJobInclSubDirs)
                CopyTree(&sub);
        } else if (!PassesFilter(job, kJobUseFilter, r->path, r->attributes, r->dosDate, r->dosTime, r->size)) {
            JobAddProgress64(job, &sub.sourceSize);
        } else {
            CopyFileItem(&sub);
        }
        existing.Add(sub.target);
        JobEndItem(job);
    }
    DirFreeList(list);
    if (!JobStopped(job))
        job->foldersDone += 1;
}

void MoveTree(CopyItem *item)
{
    JobRecord *job = item->job;
    if (job->caseCompare == 0) {
        // Only the case of the folder's name changes: one rename.
        uint32_t r = strcmp(item->source, item->target) == 0
                         ? 0
                         : FileMoveCaseOnly(job->dialog, item->source, item->target, job);
        if (r) {
            job->state = (int32_t)r;
            return;
        }
        if (!(job->flags & kJobInclSubDirs) || !tCaseMaskMode) {
            job->foldersDone += 1;
            return;
        }
        lstrcpynA(item->source, item->target, sizeof item->source);
    }
    uint32_t error = 0;
    DirListRecord *list = DirReadListEx(item->source, &error);
    if (!list && error) {
        JobErrorReport report = {job->dialog, (int32_t)error, item->source, kCtxNone, job};
        if (JobReportError(&report) && !JobIsStatistics(job))
            job->state = kJobStop;
        return;
    }
    if (!MakeTargetFolder(item)) {
        DirFreeList(list);
        return;
    }
    int32_t savedCompare = job->caseCompare;
    for (const DirListRecord *r = list; r && r->length && !JobStopped(job); r = DirListNext(r)) {
        if (CopyLeavesOut(job, r))
            continue;
        CopyItem sub = *item;
        lstrcpynA(sub.source, r->path, sizeof sub.source);
        int overflow = 0;
        if (tCaseMaskMode)
            overflow = PathJoin(sub.target, sizeof sub.target, item->target, NamePart(r->path)) ||
                       PathApplyCaseMask(sub.target, sub.target, sizeof sub.target, job->secondName) != 0;
        else
            overflow = PathJoin(sub.target, sizeof sub.target, item->target, NamePart(r->path));
        if (overflow) {
            FileReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, r->path, kCtxNone);
            job->state = kJobStop;
            break;
        }
        FillFromRecord(&sub, r);
        job->caseCompare = (int16_t)PathCompareNoCase(sub.source, sub.target);
        if (sub.isFolder) {
            if (job->flags & kJobInclSubDirs)
                MoveTree(&sub);
        } else if (!PassesFilter(job, kJobUseFilter, r->path, r->attributes, r->dosDate, r->dosTime, r->size)) {
            JobAddProgress64(job, &sub.sourceSize);
        } else {
            MoveFileItem(&sub);
        }
        JobEndItem(job);
    }
    job->caseCompare = (int16_t)savedCompare;
    DirFreeList(list);
    if (JobStopped(job))
        return;
    if (PathCompareNoCase(item->source, item->target) != 0)
        DirRemoveKeepingAttributes(job->dialog, item->source);
    JobAddProgress(job, 1);
    job->foldersDone += 1;
}

// ---- target names ---------------------------------------------------------------

static bool IsRename(const JobRecord *job) { return job->jobCode == 1031; }

uint32_t CopyMakeTargetPath(HWND owner, CopyItem *item, int mode, int)
{
    JobRecord *job = item->job;
    const char *typed = job->target;
    const char *sourceName = NamePart(item->source);
    bool wild = StrHasWildcards(typed) != 0;
    int r = 0;

    if (mode == kTargetToDevice && job->itemCount == 0) {
        lstrcpynA(item->target, typed, sizeof item->target);
        return strlen(typed) >= sizeof item->target ? kAppendCut : 0;
    }
    if (!IsRename(job) && !wild && typed[0] && FileIsDir(typed)) {
        r = PathJoin(item->target, sizeof item->target, typed, sourceName);
        return (uint32_t)r;
    }
    if (!IsRename(job) || wild) {
        char drive[kPathMax], folder[kPathMax], name[kPathMax], ext[kPathMax];
        PathSplit(typed, drive, folder, name, ext);
        char targetFolder[MAX_PATH] = "";
        if (drive[0]) {
            r |= StrAppend(targetFolder, drive, sizeof targetFolder);
            r |= StrAppend(targetFolder, folder, sizeof targetFolder);
            size_t n = strlen(targetFolder);
            if (n > 3 && (targetFolder[n - 1] == '\\' || targetFolder[n - 1] == '/'))
                targetFolder[n - 1] = 0;
            if (mode == kTargetPlain && !FileIsDir(targetFolder) &&
                FsResultOf(FileMakeDirs(owner, targetFolder)) != 0)
                return 2;
        } else {
            lstrcpynA(targetFolder, item->source, sizeof targetFolder);
            char *cut = (char *)NamePart(targetFolder);
            *cut = 0;
        }
        char mask[MAX_PATH] = "";
        StrAppend(mask, name, sizeof mask);
        StrAppend(mask, ext, sizeof mask);
        char newName[MAX_PATH];
        if (mask[0]) {
            if (PathApplyRenameMask(sourceName, mask, newName))
                return 2;
        } else {
            lstrcpynA(newName, sourceName, sizeof newName);
            PathFixInvalidChars(newName);
        }
        r = PathJoin(item->target, sizeof item->target, targetFolder, NamePart(newName));
        return (uint32_t)r;
    }
    // A rename without wildcards.
    if (strchr(typed, '\\') || strchr(typed, '/') || job->sourceLocation || job->targetLocation) {
        lstrcpynA(item->target, typed, sizeof item->target);
        return strlen(typed) >= sizeof item->target ? kAppendCut : 0;
    }
    char folder[MAX_PATH];
    lstrcpynA(folder, item->source, sizeof folder);
    *(char *)NamePart(folder) = 0;
    return (uint32_t)PathJoin(item->target, sizeof item->target, folder, typed);
}

// ---- the worker -----------------------------------------------------------------

static void ShowCopyItselfError(JobRecord *job, const char *source)
{
    char caption[32];
    StrShorten(source, 30, caption);
    SendMessageA(job->dialog, kMsgJobAnimation, 0, 0);
    MsgBoxId(job->dialog, Txt::errCopyItself, caption, MB_ICONSTOP);
    SendMessageA(job->dialog, kMsgJobAnimation, 1, 0);
    job->state = kJobStop;
}


static void CopySummary(JobRecord *job)
{
    if (!JobIsStatistics(job))
        return;
    JobLineText(job, "");
    if (job->filesDone < job->filesSelected)
        JobSummaryLine(job, Txt::txtSelected, job->filesSelected, 0, 0);
    unsigned files = job->jobCode == 1029 ? Txt::txtCopied : job->jobCode == 1030 ? Txt::txtMoved : Txt::txtRenamed;
    JobSummaryLine(job, files, job->filesDone, 0, 0);
    if (job->foldersDone) {
        unsigned dirs = job->jobCode == 1029   ? Txt::txtDirsCopied
                        : job->jobCode == 1030 ? Txt::txtDirsMoved
                                               : Txt::txtDirsRenamed;
        JobSummaryLine(job, dirs, job->foldersDone, 0, 0);
    }
    if (job->bytesDone >= job->bytesSelected)
        JobSummaryLine(job, Txt::txtBytes, job->bytesDone, 0, 0);
    else
        JobSummaryLine(job, Txt::txtBytesOf, job->bytesDone, job->bytesSelected, 0);
    if (job->errors)
        JobSummaryLine(job, Txt::txtErrors, job->errors, 0, kLogError);
}

// One entry whose full path and facts are in `item` (source, date, time,
// size, attributes): copied or moved to the target the job's text gives.
// `name` is the entry's name in the source panel (null: not from a panel).
static void CopyOneItem(JobRecord *job, CopyItem &item, uint16_t filterTime, const char *name,
                        TargetNames *existing);

static void CopyOneRecord(JobRecord *job, const SelectionRecord *rec, TargetNames *existing)
{
    CopyItem item = {};
    item.job = job;
    if (SelItemFullPath(rec, job, item.source, sizeof item.source)) {
        FileReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, rec->name, kCtxNone);
        job->state = kJobStop;
        return;
    }
    item.sourceDate = rec->date;
    item.sourceTime = (uint16_t)(rec->time & ~0x1F);
    item.sourceSize = rec->size;
    item.sourceAttributes = rec->attributes;
    item.isFolder = (rec->attributes & kEntryFolder) != 0;
    CopyOneItem(job, item, rec->time, rec->name, existing);
}

uint32_t CopyJobOnePath(JobRecord *job, const char *source)
{
    CopyItem item = {};
    item.job = job;
    if (strlen(source) >= sizeof item.source) {
        FileReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, source, kCtxNone);
        job->state = kJobStop;
        return 1;
    }
    lstrcpynA(item.source, source, sizeof item.source);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(source, &data);
    if (find == INVALID_HANDLE_VALUE) {
        uint32_t answer = FileReportError(job->dialog, (int32_t)GetLastError(), source, kCtxNone);
        if (answer)
            job->state = (int32_t)answer;
        job->errors++;
        return 1;
    }
    FindClose(find);
    FILETIME local;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    WORD date = 0, time = 0;
    FileTimeToDosDateTime(&local, &date, &time);
    item.sourceDate = date;
    item.sourceTime = (uint16_t)(time & ~0x1F);
    item.sourceSize = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    item.sourceAttributes = (uint16_t)(data.dwFileAttributes & 0xFFFF);
    item.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (item.isFolder)
        item.sourceSize = 0;
    TargetNames existing;
    uint32_t errorsBefore = job->errors;
    CopyOneItem(job, item, time, nullptr, &existing);
    return JobStopped(job) || job->state == kJobSkip || job->errors != errorsBefore ? 1 : 0;
}

static void CopyOneItem(JobRecord *job, CopyItem &item, uint16_t filterTime, const char *entryName,
                        TargetNames *existing)
{
    const uint16_t recAttributes = item.sourceAttributes;
    if (item.isFolder && job->itemCount == 0)
        job->itemCount = 1;

    uint32_t r;
    if (tCaseMaskMode)
        r = PathApplyCaseMask(item.source, item.target, sizeof item.target, job->target) ? kJobStop : 0;
    else
        r = CopyMakeTargetPath(job->dialog, &item, kTargetPlain, 0);
    if (r == kAppendCut || r == kAppendNoRoom)
        r = FileReportError(job->dialog, (int32_t)r, item.target, kCtxNone);
    if (r) {
        job->state = (int32_t)r;
        return;
    }

    job->caseCompare = (int16_t)PathCompareNoCase(item.source, item.target);
    bool move = job->jobCode != kJobCodeCopy && job->jobCode != kJobCodeContainerCopy && job->jobCode != kJobCodeDropCopy &&
                job->jobCode != kJobCodeDropCopyAsk;
    item.targetAbsent = !tCaseMaskMode && existing->Absent(item.target);
    // The same file under another case, short name or drive letter is still
    // the same file; only a move that changes the case of the name may go on.
    // (Files meet this test where their target is probed.)
    if (item.isFolder && !tCaseMaskMode && PathIsSameFile(item.source, item.target) &&
        !(move && job->caseCompare == 0 && strcmp(item.source, item.target) != 0)) {
        ShowCopyItselfError(job, item.source);
        return;
    }
    if (!item.isFolder && strcmp(item.source, item.target) == 0 && !tCaseMaskMode) {
        ShowCopyItselfError(job, item.source);
        return;
    }

    if (item.isFolder) {
        bool inclSubDirs = (job->flags & kJobInclSubDirs) != 0;
        // Folders without include-sub-folders are skipped in copy and move;
        // a rename renames them.
        if (!inclSubDirs && job->jobCode != 1031)
            return;
        if (DirIsLink(recAttributes)) {
            // A link is renamed as one entry; nothing walks into it.
            if (job->jobCode != 1031 || !SameDrive(item.source, item.target)) {
                JobReportLeftOut(job, item.source, true);
                return;
            }
            uint32_t m = job->caseCompare != 0 ? FsResultOf(FileMove(job->dialog, item.source, item.target, job))
                         : strcmp(item.source, item.target) == 0
                             ? 0
                             : FileMoveCaseOnly(job->dialog, item.source, item.target, job);
            if (m) {
                job->state = (int32_t)m;
                return;
            }
            job->foldersDone += 1;
            if (entryName)
                JobUnmarkSourceEntry(job, entryName);
            return;
        }
        if (job->caseCompare != 0 && PathIsInsideFolder(item.source, item.target)) {
            ShowCopyItselfError(job, item.source);
            return;
        }
        if (!move) {
            CopyTree(&item);
        } else if (SameDrive(item.source, item.target) && FileProbe(item.target) == 2 &&
                   !(job->flags & (kJobNewerOnly | kJobUseFilter))) {
            // A whole folder moves in one rename.
            uint32_t m = FsResultOf(FileMove(job->dialog, item.source, item.target, job));
            if (m)
                job->state = (int32_t)m;
            else
                job->foldersDone += 1;
        } else {
            MoveTree(&item);
        }
    } else if (!PassesFilter(job, kJobUseFilter, item.source, recAttributes, item.sourceDate, filterTime, item.sourceSize)) {
        JobAddProgress64(job, &item.sourceSize);
    } else if (!move) {
        CopyFileItem(&item);
    } else {
        MoveFileItem(&item);
    }
    existing->Add(item.target);
    if (!JobStopped(job) && entryName)
        JobUnmarkSourceEntry(job, entryName);
}

DWORD WINAPI CopyJobThread(void *arg)
{
    JobRecord *job = (JobRecord *)arg;
    tCaseMaskMode = job->jobCode == 1031 && MaskHasCaseMarks(job->target);
    if (tCaseMaskMode)
        lstrcpynA(job->secondName, job->target, sizeof job->secondName);
    else
        job->secondName[0] = 0;
    if (FtpJobApplies(job)) {
        if (job->jobCode != 1029)
            job->flags &= ~kJobStatistics;
        FtpRunCopyJob(job);
        CopySummary(job);
        tCaseMaskMode = false;
        JobFinish(job);
        return 0;
    }
    if (CeJobHasDevice(job)) {
        if (job->jobCode != 1029)
            job->flags &= ~kJobStatistics;
        if (job->total == 0)
            CeJobCount(job);
        job->bytesSelected = job->total;
        job->startClock = gJobClock();
        if (!job->startClock)
            job->startClock = 1;
        CeJobCopySelection(job);
        CopySummary(job);
        JobFinish(job);
        return 0;
    }
    if (job->sourceDir[0])
        FileSetCurrentDir(job->dialog, job->sourceDir);
    if (job->sourceLocation && job->sourceLocation->kind < kLocationFtp && !job->targetLocation &&
        job->jobCode == kJobCodeCopy) {
        job->flags &= ~kJobStatistics & ~kJobCheckSpace;
        job->startClock = gJobClock();
        ArcJobCopyOut(job);
        JobFinish(job);
        return 0;
    }
    if (!job->sourceLocation && job->targetLocation && job->targetLocation->kind < kLocationFtp &&
        (job->jobCode == kJobCodeCopy || job->jobCode == kJobCodeMove)) {
        job->flags &= ~kJobCheckSpace;
        if (job->jobCode != kJobCodeCopy)
            job->flags &= ~kJobStatistics;
        job->startClock = gJobClock();
        ArcJobCopyIn(job);
        JobFinish(job);
        return 0;
    }
    if (job->sourceLocation || job->targetLocation) {
        // FTP sides and other archive jobs go through their front ends, which this
        // build does not carry yet: nothing is touched.
        job->state = kJobStop;
        job->flags |= kJobCloseStats;
        JobFinish(job);
        return 0;
    }
    if (job->jobCode != 1029)
        job->flags &= ~kJobStatistics;
    if (job->total == 0)
        JobCountList(job, job->selection);
    if (job->bytesSelected == 0)
        job->bytesSelected = job->total;
    job->startClock = gJobClock();
    if (!job->startClock)
        job->startClock = 1;

    TargetNames existing;
    if (!tCaseMaskMode && job->target[0] && !StrHasWildcards(job->target) && FileIsDir(job->target))
        existing.Load(job->target, false);
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        CopyOneRecord(job, rec, &existing);
        JobEndItem(job);
    }
    CopySummary(job);
    tCaseMaskMode = false;
    JobFinish(job);
    return 0;
}
