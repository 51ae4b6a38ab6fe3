#include "frontends/ArcFrontEnd.h"

#include <string.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "AppState.h"
#include "Options.h"
#include "base/ArchiveNames.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "fileops/CopyJob.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/Libraries.h"
#include "frontends/PasswordDialog.h"
#include "panels/DirRead.h"
#include "panels/EntryBuild.h"
#include "panels/Location.h"
#include "wingui/WindowUtil.h"

namespace {

ArcHostServices gHost;
bool gHostFilled;

// State of the listing being built on this thread: the folder names and
// file names already added at the level, whether ".." is there.
struct ListState {
    DirListing *listing = nullptr;
    std::unordered_set<std::string> seen;
    bool upAdded = false;
    bool failed = false;
};
thread_local ListState *tList;

// The job whose errors go to its log (or its boxes) while a command runs.
thread_local JobRecord *tJob;

std::string LowerAnsi(const std::string &s) {
    std::string out = s;
    if (!out.empty())
        CharLowerBuffA(&out[0], (DWORD)out.size());
    return out;
}

void ARCCALL HostNoOp() {}

void *ARCCALL HostAlloc(uint32_t bytes) { return MemAlloc(bytes); }
void ARCCALL HostFree(void **pointer) { MemFree(pointer); }

void ARCCALL HostAddProgress(void *job, uint32_t n) { JobAddProgress((JobRecord *)job, n); }
void ARCCALL HostAddProgress64(void *job, const uint64_t *n) { JobAddProgress64((JobRecord *)job, n); }

void ARCCALL HostMessageBox(void *owner, const char *text) {
    MessageBoxA((HWND)owner, text, gWindowTitle ? gWindowTitle : "", MB_OK);
}

int32_t ARCCALL HostAskOverwrite(void *owner, const char *path, ArcWord, ArcWord, ArcWord) {
    int answer = FileAskOverwrite((HWND)owner, path);
    switch (answer) {
    case kJobGoOn: return kArcAnswerYes;
    case kJobYesAll: return kArcAnswerAll;
    case kJobSkip: return kArcAnswerNo;
    default: return kArcAnswerCancel;
    }
}

// Entry 5: asked before a member replaces an existing file. Nothing is
// removed here; the library replaces the target when its new copy is whole.
int32_t ARCCALL HostConfirmOverwrite(ArcExtractItem *item, const char *target, uint32_t noConfirm) {
    JobRecord *job = item ? (JobRecord *)item->job : nullptr;
    if (noConfirm || !job)
        return kArcReplace;
    if (job->state == kJobYesAll)
        return kArcReplace;
    CopyItem ci = {};
    lstrcpynA(ci.source, target, sizeof ci.source);
    lstrcpynA(ci.target, target, sizeof ci.target);
    ci.job = job;
    job->state = JobAskOverwrite(&ci);
    switch (job->state) {
    case kJobGoOn:
    case kJobYesAll:
        return kArcReplace;
    case kJobSkip:
        job->state = kJobGoOn;
        return kArcSkip;
    default:
        job->state = kJobStop;
        return kArcStop;
    }
}

// Entry 2. With a caller's record the prompt fills the caller's buffer (1
// for OK, 0 for Cancel). Otherwise mode 2 takes the remembered password when
// there is one, mode 1 forgets it first, and the prompt's answer is
// remembered: 0, or -2 when the user cancelled.
int32_t ARCCALL HostAskPassword(void *owner, void *record, char *buffer, uint32_t size, uint32_t mode, uint32_t) {
    if (!buffer || !size)
        return -2;
    if (record)
        return PasswordDialog((HWND)owner, buffer, size) ? 1 : 0;
    if (mode == 1)
        SecureZeroMemory(gApp->archivePassword, sizeof gApp->archivePassword);
    if (mode == 2 && gApp->archivePassword[0]) {
        memset(buffer, 0, size);
        lstrcpynA(buffer, gApp->archivePassword, (int)size);
        return 0;
    }
    char entered[sizeof gApp->archivePassword] = "";
    uint32_t limit = size < sizeof entered ? size : (uint32_t)sizeof entered;
    if (!PasswordDialog((HWND)owner, entered, limit))
        return -2;
    lstrcpynA(gApp->archivePassword, entered, sizeof gApp->archivePassword);
    memset(buffer, 0, size);
    lstrcpynA(buffer, entered, (int)size);
    SecureZeroMemory(entered, sizeof entered);
    return 0;
}

// False when memory ran out (the buffer is then empty).
bool AppendPair(GrowBuffer *names, const char *a, const char *b) {
    MemBufAppend(names, a, (uint32_t)strlen(a) + 1);
    if (names->data)
        MemBufAppend(names, b, (uint32_t)strlen(b) + 1);
    return names->data != nullptr;
}

} // namespace

// ---- host table and commands ------------------------------------------------

void ArcFillHostServices(ArcHostServices *t) {
    memset(t, 0, sizeof *t);
    t->onExtractEntry = nullptr; // set per command (ArcJobCopyOut)
    t->noOp = HostNoOp;
    t->askPassword = HostAskPassword;
    t->askOverwrite = HostAskOverwrite;
    t->confirmOverwrite = HostConfirmOverwrite;
    t->reportError = ArcReportError;
    t->messageBox = HostMessageBox;
    t->addProgress = HostAddProgress;
    t->addProgress64 = HostAddProgress64;
    t->memAlloc = HostAlloc;
    t->memFree = HostFree;
}

const ArcHostServices *ArcHostTable() {
    if (!gHostFilled) {
        ArcFillHostServices(&gHost);
        gHostFilled = true;
    }
    return &gHost;
}

intptr_t ArcSendCommandEx(uint32_t code, const uintptr_t args[8]) {
    ArcCommandRecord record = {};
    record.code = code;
    record.host = ArcHostTable();
    for (int i = 0; i < 8; ++i)
        record.a[i] = args[i];
    return ArcCallLibrary(&record);
}

intptr_t ArcSendCommand(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4) {
    uintptr_t args[8] = {a1, a2, a3, a4, 0, 0, 0, 0};
    return ArcSendCommandEx(code, args);
}

uint16_t ArcGetArchiveType(const char *path) {
    return (uint16_t)ArcSendCommand(kArcGetType, (uintptr_t)path, 0, 0, 0);
}

void ArcGetFormatName(uint16_t format, char *out) {
    out[0] = 0;
    ArcSendCommand(kArcFormatName, format, (uintptr_t)out, 0, 0);
}

void ArcGetDefaultExtension(uint16_t format, char *out) {
    out[0] = 0;
    ArcSendCommand(kArcDefaultExt, format, (uintptr_t)out, 0, 0);
}

// ---- listings ---------------------------------------------------------------

int ArcAddEntry(ArcListContext *context, const char *name, const uint64_t *size, uint16_t date, uint16_t time,
                uint16_t attributes) {
    alignas(8) uint8_t scratch[kFileEntryMax];
    FileEntry *e = (FileEntry *)scratch;
    uint64_t noSize = ~0ull;
    FileEntryBuild(e, date, time, size ? size : &noSize, attributes, name, nullptr);
    if (!size && !(attributes & kEntryFolder)) {
        e->sizeLow = e->sizeHigh = 0xFFFFFFFFu;
    }
    DirListing *listing = context->listing;
    bool first = !listing->entryBlock;
    EntryBlockBuilder b;
    b.used = context->used;
    b.capacity = first ? context->capacity : context->capacity;
    if (first)
        b.used = 0;
    if (!EntryBlockAppend(listing, &b, e)) {
        context->used = 0;
        return first ? 1 : 2;
    }
    context->used = b.used;
    context->capacity = b.capacity;
    if (!(attributes & kEntryUpDir)) {
        if (attributes & kEntryFolder)
            listing->dirCount++;
        else {
            listing->fileCount++;
            if (size)
                listing->totalBytes += *size;
        }
    }
    return 0;
}

int ARCCALL ArcAddListEntry(const char *name, uint32_t date, uint32_t time, uint32_t attributes, uint32_t method,
                            uint32_t sizeLow, uint32_t sizeHigh, uint32_t, void *context) {
    ArcListContext *ctx = (ArcListContext *)context;
    if (!ctx || !ctx->listing || !name)
        return 1;
    ListState local;
    ListState *st = tList && tList->listing == ctx->listing ? tList : &local;
    if (st->seen.empty()) {
        // Members named "." or ".." (hostile names) never pass for entries.
        st->seen.insert(".");
        st->seen.insert("..");
    }
    if (st->failed)
        return 1;
    std::string n = name;
    for (char &c : n)
        if (c == '/')
            c = '\\';
    if (!n.empty() && n[0] == '\\')
        n.erase(0, 1);
    bool dir = false;
    if (!n.empty() && n.back() == '\\') {
        dir = true;
        n.pop_back();
    }
    uint16_t attr = (uint16_t)(attributes & 0x37);
    if (dir)
        attr |= kEntryFolder;
    if (method == 'E')
        attr |= 0x40;
    std::string inner = ctx->node ? ctx->node->innerPath : "";
    while (!inner.empty() && inner.back() == '\\')
        inner.pop_back();
    std::string rest = n;
    if (!inner.empty()) {
        if (n.size() <= inner.size() || n[inner.size()] != '\\' ||
            LowerAnsi(n.substr(0, inner.size())) != LowerAnsi(inner))
            return 0;
        rest = n.substr(inner.size() + 1);
    }
    if (rest.empty())
        return 0;
    if (!st->upAdded) {
        uint64_t zero = 0;
        uint16_t d = ctx->node ? ctx->node->archiveDate : 0, t = ctx->node ? ctx->node->archiveTime : 0;
        int r = ArcAddEntry(ctx, "..", &zero, d, t, 0x18);
        if (r) {
            st->failed = true;
            return r;
        }
        st->upAdded = true;
    }
    size_t slash = rest.find('\\');
    uint64_t size = (uint64_t)sizeLow | (uint64_t)sizeHigh << 32;
    if (slash != std::string::npos) {
        rest.resize(slash);
        attr = kEntryFolder;
        dir = true;
    }
    if (!st->seen.insert(LowerAnsi(rest)).second)
        return 0;
    uint64_t zero = 0;
    int r = ArcAddEntry(ctx, rest.c_str(), dir ? &zero : (sizeLow == 0xFFFFFFFFu && sizeHigh == 0xFFFFFFFFu ? nullptr : &size),
                        (uint16_t)date, (uint16_t)time, attr);
    if (r)
        st->failed = true;
    return r;
}

static void AddUpEntryWhenEmpty(DirListing *listing, LocationNode *node) {
    if (listing->entryBlock)
        return;
    ArcListContext ctx = {0, listing, 4096, 0, node};
    uint64_t zero = 0;
    ArcAddEntry(&ctx, "..", &zero, node->archiveDate, node->archiveTime, 0x18);
}

LocationNode *ArcOpenArchive(const char *path, DirListing *listing, char *password) {
    ListState st;
    st.listing = listing;
    tList = &st;
    LocationNode *node =
        (LocationNode *)ArcSendCommand(kArcOpen, (uintptr_t)path, (uintptr_t)listing, (uintptr_t)ArcAddListEntry,
                                       (uintptr_t)password);
    tList = nullptr;
    if (!node)
        return nullptr;
    if (st.failed) {
        DirListingFree(listing);
        MemFree(&node);
        return nullptr;
    }
    AddUpEntryWhenEmpty(listing, node);
    if (listing->entryBlock)
        PanelSortEntries(listing);
    return node;
}

bool ArcRereadArchive(LocationNode *node, DirListing *listing, char *password) {
    ListState st;
    st.listing = listing;
    tList = &st;
    intptr_t r = ArcSendCommand(kArcReread, (uintptr_t)node, (uintptr_t)listing, (uintptr_t)ArcAddListEntry,
                                (uintptr_t)password);
    tList = nullptr;
    if (!r || st.failed) {
        DirListingFree(listing);
        return false;
    }
    AddUpEntryWhenEmpty(listing, node);
    if (listing->entryBlock)
        PanelSortEntries(listing);
    return true;
}

void ArcGetPanelPath(int panel, char *out, size_t max) {
    lstrcpynA(out, gApp->panelPath[panel & 1], (int)max);
    const LocationNode *node = gApp->panels[panel & 1].location;
    if (node && node->kind == kLocationFtp) {
        FtpGetRemotePathAppend(node, out, (uint32_t)max); // "1:" and the server's folder
        return;
    }
    if (!node || (node->kind >= kLocationFtp && node->kind <= kLocationRemoteLast))
        return;
    std::vector<const LocationNode *> chain;
    for (const LocationNode *n = node; n; n = (n->parent && n->kind < kLocationFtp) ? n->parent : nullptr)
        chain.insert(chain.begin(), n);
    for (const LocationNode *n : chain) {
        size_t len = strlen(out);
        if (!len || out[len - 1] != '\\')
            StrAppend(out, "\\", max);
        StrAppend(out, n->archivePath + PathFindName(n->archivePath), max);
        if (n->innerPath[0]) {
            StrAppend(out, "\\", max);
            StrAppend(out, n->innerPath, max);
        }
    }
}

// ---- errors -------------------------------------------------------------------

void ARCCALL ArcReportError(void *owner, int32_t code, const char *detail) {
    int id;
    switch (code) {
    case kArcErrBadArchive: id = Txt::errBadArchive; break;
    case kArcErrWrite: id = Txt::errArcWrite; break;
    case kArcErrCrc: id = Txt::errArcCrc; break;
    case kArcErrEncrypted: id = Txt::errArcCrypted; break;
    case kArcErrMethod: id = Txt::errArcMethod; break;
    case kArcErrGzipOne: id = Txt::errGzipOne; break;
    case kArcErrUnsafeName: id = Txt::errArcUnsafe; break;
    case kArcErrRead: id = Txt::errArcRead; break;
    default: return;
    }
    char text[260], full[800];
    TextGet(id, text, sizeof text);
    if (detail && detail[0])
        snprintf(full, sizeof full, "%s\n%s", text, detail);
    else
        lstrcpynA(full, text, sizeof full);
    if (JobRecord *job = tJob) {
        JobErrorReport report = {job->dialog, -1, full, 0, job};
        JobReportError(&report);
        if (!JobIsStatistics(job))
            job->errors++;
        return;
    }
    MessageBoxA((HWND)owner, full, gWindowTitle ? gWindowTitle : "", MB_OK | MB_ICONEXCLAMATION);
}

// ---- copy out of an archive ---------------------------------------------------

namespace {

struct CopyOut {
    JobRecord *job = nullptr;
    GrowBuffer names = {};
    bool outOfMemory = false;
    std::string inner;                 // the source level inside the archive
    std::vector<std::string> prefixes; // lower case, "\" separators
    std::string target;                // target folder
    std::string singleTarget;          // the one file's new name, or empty
    uint64_t total = 0;
    std::unordered_set<std::string> reported;
};
thread_local CopyOut *tCopy;

// Makes the folders of `rel` below `root` (its last part too when `all`),
// never entering a link; false when a part is a link or a file.
bool MakeFoldersBelow(const std::string &root, const std::string &rel, bool all) {
    std::string path = root;
    size_t start = 0;
    for (;;) {
        size_t slash = rel.find('\\', start);
        if (slash == std::string::npos && !all)
            return true;
        path += "\\" + rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        DWORD a = GetFileAttributesA(path.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryA(path.c_str(), nullptr))
                return false;
        } else if ((a & FILE_ATTRIBUTE_REPARSE_POINT) || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

void ReportRefused(CopyOut *c, const std::string &name, int32_t code) {
    if (c->reported.insert(name).second)
        ArcReportError(c->job ? c->job->dialog : nullptr, code, name.c_str());
}

} // namespace

int ARCCALL ArcOnExtractEntry(const char *name, uint32_t, uint32_t, uint32_t attributes, uint32_t,
                              uint32_t sizeLow, uint32_t sizeHigh, uint32_t, void *) {
    CopyOut *c = tCopy;
    if (!c || !name)
        return 1;
    if (c->job && JobStopped(c->job))
        return 1;
    std::string n = name;
    for (char &ch : n)
        if (ch == '/')
            ch = '\\';
    bool dir = (!n.empty() && n.back() == '\\') || (attributes & 0x10);
    std::string key = n;
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    // The level the panel shows: a name listed there had its one leading
    // "\" dropped, so it is matched the same way here.
    std::string shown = key;
    if (!shown.empty() && shown[0] == '\\')
        shown.erase(0, 1);
    std::string lower = LowerAnsi(shown);
    bool match = false;
    for (const std::string &p : c->prefixes)
        if (p.empty() || lower == p || (lower.size() > p.size() && lower.compare(0, p.size(), p) == 0 && lower[p.size()] == '\\'))
            match = true;
    if (!match)
        return 0;
    std::string below = c->inner.empty() ? shown : shown.substr(c->inner.size() + 1);
    char whole[520], rel[520];
    // The member's own name must be a safe relative path, and so must the
    // part of it below the level: "a\..\..\x" under "a" is refused.
    if (!ArcMemberRelativePath(n.c_str(), whole, sizeof whole) ||
        !ArcMemberRelativePath(below.c_str(), rel, sizeof rel)) {
        ReportRefused(c, n, kArcErrUnsafeName);
        return 0;
    }
    std::string target = c->singleTarget.empty() ? c->target + "\\" + rel : c->singleTarget;
    if (target.size() >= MAX_PATH) {
        JobReportLeftOut(c->job, target.c_str(), false);
        return 0;
    }
    if (c->singleTarget.empty() && !MakeFoldersBelow(c->target, rel, dir)) {
        ReportRefused(c, target, kArcErrWrite);
        return 0;
    }
    if (!dir) {
        uint64_t size = (uint64_t)sizeLow | (uint64_t)sizeHigh << 32;
        c->total += size;
        c->job->filesSelected++;
    }
    if (!AppendPair(&c->names, name, target.c_str())) {
        c->outOfMemory = true;
        return 1;
    }
    return 0;
}

void ArcJobCopyOut(JobRecord *job) {
    LocationNode *node = job->sourceLocation;
    CopyOut c;
    c.job = job;
    c.inner = node->innerPath;
    while (!c.inner.empty() && c.inner.back() == '\\')
        c.inner.pop_back();
    c.target = job->target;
    while (c.target.size() > 3 && c.target.back() == '\\')
        c.target.pop_back();
    if (c.target.size() == 3 && c.target[2] == '\\')
        c.target.pop_back();
    std::string innerLower = LowerAnsi(c.inner);
    size_t count = 0;
    bool onlyFile = false;
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec; rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        std::string name = LowerAnsi(rec->name);
        c.prefixes.push_back(innerLower.empty() ? name : innerLower + "\\" + name);
        onlyFile = !(rec->attributes & kEntryFolder);
        ++count;
    }
    DWORD targetAttr = GetFileAttributesA(c.target.c_str());
    if (count == 1 && onlyFile && (targetAttr == INVALID_FILE_ATTRIBUTES || !(targetAttr & FILE_ATTRIBUTE_DIRECTORY))) {
        c.singleTarget = c.target; // one file copied under a new name
    } else if (targetAttr == INVALID_FILE_ATTRIBUTES) {
        if (FsResultOf(FileMakeDirs(job->dialog, c.target.c_str())) != 0)
            count = 0;
    } else if ((targetAttr & FILE_ATTRIBUTE_REPARSE_POINT) || !(targetAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        ArcReportError(job->dialog, kArcErrWrite, c.target.c_str());
        count = 0;
    }
    tJob = job;
    if (count) {
        ArcExtractItem item = {};
        item.job = job;
        item.names = &c.names;
        item.selection = job->selection;
        item.cancel = &job->cancel;
        item.owner = job->dialog;
        item.archive = node->archivePath;
        ArcHostServices table = *ArcHostTable();
        table.onExtractEntry = ArcOnExtractEntry;
        ArcCommandRecord rec = {};
        rec.code = kArcEnumForExtract;
        rec.host = &table;
        rec.a[0] = (ArcWord)job;
        rec.a[1] = (ArcWord)job->target;
        rec.a[2] = (ArcWord)&item;
        rec.a[3] = (ArcWord)ArcOnExtractEntry;
        rec.a[4] = (ArcWord)gApp->archivePassword;
        tCopy = &c;
        intptr_t listed = ArcCallLibrary(&rec);
        tCopy = nullptr;
        if (listed && !c.outOfMemory && !JobStopped(job)) {
            job->total = c.total;
            job->bytesSelected = c.total;
            MemBufAppend(&c.names, "", 1);
            MemBufAppend(&c.names, "", 1);
            if (c.names.data) {
                rec = {};
                rec.code = kArcExtractPairs;
                rec.host = &table;
                rec.a[0] = (ArcWord)&item;
                rec.a[1] = (ArcWord)c.names.data;
                rec.a[2] = (ArcWord)gApp->archivePassword;
                rec.a[3] = (ArcWord)((gApp->confirmFlags & kConfirmCopy) ? 1 : 0);
                intptr_t r = ArcCallLibrary(&rec);
                if (r == kArcErrStopped)
                    job->state = kJobStop;
            }
        }
        if (!JobStopped(job))
            for (const SelectionRecord *rec2 = SelListFirst(job->selection); rec2; rec2 = SelListNext(rec2))
                JobUnmarkSourceEntry(job, rec2->name);
    }
    tJob = nullptr;
    MemFree(&c.names.data);
}

// ---- pack and unpack through the library ----------------------------------

namespace {

struct PackList {
    std::vector<std::string> strings; // full path, name to store, ...
    uint64_t total = 0;
};

// Walks a folder: files as (path, relative name), an empty folder as
// (path, relative name + "/"); links to folders are never entered.
bool WalkFolder(JobRecord *job, const std::string &path, const std::string &rel, bool subFolders, PackList *list) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    bool any = false;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (JobStopped(job))
                break;
            if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
                continue;
            std::string childPath = path + "\\" + data.cFileName, childRel = rel + "\\" + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                JobReportLeftOut(job, childPath.c_str(), true);
                continue;
            }
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!subFolders)
                    continue;
                any = true;
                WalkFolder(job, childPath, childRel, subFolders, list);
                continue;
            }
            any = true;
            list->strings.push_back(childPath);
            list->strings.push_back(childRel);
            list->total += (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    if (!any) {
        list->strings.push_back(path);
        list->strings.push_back(rel + "/");
    }
    return true;
}

std::string JoinPath(const char *folder, const char *name) {
    std::string s = folder;
    if (!s.empty() && s.back() != '\\')
        s += '\\';
    return s + name;
}

} // namespace

void ArcJobPack(JobRecord *job) {
    lstrcpynA(job->secondName, job->target, sizeof job->secondName);
    bool subFolders = (job->flags & kJobInclSubDirs) != 0;
    PackList list;
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        std::string path = JoinPath(job->sourceDir, rec->name);
        DWORD a = GetFileAttributesA(path.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            JobErrorReport report = {job->dialog, (int32_t)GetLastError(), path.c_str(), 0, job};
            JobReportError(&report);
            job->state = kJobStop;
            break;
        }
        if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
            JobReportLeftOut(job, path.c_str(), true);
            continue;
        }
        if (a & FILE_ATTRIBUTE_DIRECTORY) {
            if (subFolders)
                WalkFolder(job, path, rec->name, true, &list);
            else
                WalkFolder(job, path, rec->name, false, &list);
        } else {
            list.strings.push_back(path);
            list.strings.push_back(rec->name);
            list.total += rec->size;
        }
    }
    if (JobStopped(job) || list.strings.empty())
        return;
    std::vector<const char *> pointers;
    for (const std::string &s : list.strings)
        pointers.push_back(s.c_str());
    pointers.push_back(nullptr);
    pointers.push_back(nullptr);
    job->total = list.total;
    job->bytesSelected = list.total;
    job->itemCount = (uint32_t)list.strings.size();
    ArcPackItem item = {job->sourceDir, job->secondName, job, &job->cancel, job->dialog};
    bool withPassword = gApp->packerNumber == kArcFormatZip && (gApp->moreOptions & 0x2) && gApp->archivePassword[0];
    uintptr_t args[8] = {(uintptr_t)&item, (uintptr_t)pointers.data(),
                         (uintptr_t)((gApp->confirmFlags & kConfirmCopy) ? 1 : 0), gApp->packerChoice,
                         (uintptr_t)(withPassword ? gApp->archivePassword : nullptr), 0, 0, 0};
    tJob = job;
    intptr_t r = ArcSendCommandEx(kArcPack, args);
    tJob = nullptr;
    if (r != 0)
        job->state = kJobStop;
    else
        for (const SelectionRecord *rec = SelListFirst(job->selection); rec; rec = SelListNext(rec))
            JobUnmarkSourceEntry(job, rec->name);
}

intptr_t ArcJobPackPairs(JobRecord *job, const char *archive, const char *sourceFolder, const char *const *pairs) {
    ArcPackItem item = {sourceFolder, archive, job, &job->cancel, job->dialog};
    uintptr_t args[8] = {(uintptr_t)&item, (uintptr_t)pairs, (uintptr_t)((gApp->confirmFlags & kConfirmCopy) ? 1 : 0),
                         gApp->packerChoice, 0, 0, 0, 0};
    tJob = job;
    intptr_t r = ArcSendCommandEx(kArcPack, args);
    tJob = nullptr;
    return r;
}

intptr_t ArcJobReplaceMember(JobRecord *job, const char *archive, const char *file, const char *member) {
    const char *pairs[4] = {file, member, nullptr, nullptr};
    std::string folder(file);
    size_t cut = folder.find_last_of('\\');
    folder = cut == std::string::npos ? std::string() : folder.substr(0, cut);
    ArcPackItem item = {folder.c_str(), archive, job, &job->cancel, job->dialog};
    // No question: replacing the member with the user's edit is the point.
    uintptr_t args[8] = {(uintptr_t)&item, (uintptr_t)pairs, 0, gApp->packerChoice, 0, 0, 0, 0};
    tJob = job;
    intptr_t r = ArcSendCommandEx(kArcPack, args);
    tJob = nullptr;
    return r;
}

bool ArcJobListMembers(JobRecord *job, const char *archive, ArcListCallback callback, void *names) {
    ArcExtractItem item = {job, names, nullptr, &job->cancel, job->dialog, archive, 0};
    uintptr_t args[8] = {(uintptr_t)job, 0, (uintptr_t)&item, (uintptr_t)callback, (uintptr_t)gApp->archivePassword,
                         0, 0, 0};
    tJob = job;
    intptr_t r = ArcSendCommandEx(kArcEnumForExtract, args);
    tJob = nullptr;
    return r != 0;
}

void ArcJobUnpack(JobRecord *job) {
    tJob = job;
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
        if (rec->attributes & (kEntryFolder | kEntryUpDir))
            continue;
        std::string archive = JoinPath(job->sourceDir, rec->name);
        lstrcpynA(job->secondName, archive.c_str(), sizeof job->secondName);
        JobItemText(job, rec->name);
        uint16_t format = ArcGetArchiveType(archive.c_str());
        if (!format) {
            ArcReportError(job->dialog, kArcErrBadArchive, archive.c_str());
            continue;
        }
        uintptr_t args[8] = {(uintptr_t)job->dialog,
                             (uintptr_t)job->secondName,
                             (uintptr_t)job->target,
                             (uintptr_t)((job->flags & kJobInclSubDirs) ? 1 : 0),
                             format,
                             (uintptr_t)&job->cancel,
                             (uintptr_t)gApp->archivePassword,
                             (uintptr_t)((gApp->confirmFlags & kConfirmCopy) ? 1 : 0)};
        intptr_t r = ArcSendCommandEx(kArcUnpackAll, args);
        if (r == kArcErrStopped)
            job->state = kJobStop;
        if (!JobStopped(job))
            JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
    tJob = nullptr;
}

intptr_t ArcJobDeleteMembers(JobRecord *job, const std::vector<std::string> &members) {
    char file[260] = "";
    LocationRootFile(job->sourceLocation, file);
    std::string list;
    for (const std::string &m : members)
        list.append(m.c_str(), m.size() + 1);
    list.push_back(0);
    lstrcpynA(job->secondName, file, sizeof job->secondName);
    ArcExtractItem item = {job, nullptr, nullptr, &job->cancel, job->dialog, job->secondName, 0};
    uintptr_t args[8] = {(uintptr_t)&item, (uintptr_t)list.c_str(), 0, 0, 0, 0, 0, 0};
    tJob = job;
    intptr_t r = ArcSendCommandEx(kArcDeleteMembers, args);
    tJob = nullptr;
    return r;
}

// ---- members as local files ---------------------------------------------------

namespace {

// A name of one level as a panel lists it, fit to be a file name here: no
// separators, drive colon or wildcard, not "." or "..".
bool PlainMemberName(const char *name) {
    size_t n = strlen(name);
    if (!n || !strcmp(name, ".") || !strcmp(name, "..") || name[n - 1] == '.' || name[n - 1] == ' ')
        return false;
    for (const unsigned char *p = (const unsigned char *)name; *p; p++)
        if (*p < 32 || strchr("\\/:*?\"<>|", *p))
            return false;
    return true;
}

} // namespace

bool ArcExtractToTempFile(HWND owner, const LocationNode *node, const char *name, bool keepName, char *local,
                          size_t size) {
    local[0] = 0;
    if (!node || node->kind >= kLocationFtp || !name || !PlainMemberName(name)) {
        ArcReportError(owner, kArcErrUnsafeName, name);
        return false;
    }
    std::string member = node->innerPath[0] ? std::string(node->innerPath) + "\\" + name : std::string(name);
    char folder[MAX_PATH] = "";
    if (keepName) {
        // A folder of its own keeps the member's name for the copy.
        PathMakeUniqueName("", folder, sizeof folder);
        if (!CreateDirectoryA(folder, nullptr)) {
            FileReportError(owner, (int32_t)GetLastError(), folder, kCtxNone);
            return false;
        }
        if ((size_t)snprintf(local, size, "%s\\%s", folder, name) >= size) {
            RemoveDirectoryA(folder);
            local[0] = 0;
            FileReportError(owner, ERROR_FILENAME_EXCED_RANGE, name, kCtxNone);
            return false;
        }
    } else {
        PathMakeUniqueName(name, local, size);
    }
    uintptr_t args[8] = {(uintptr_t)owner,
                         (uintptr_t)node->archivePath,
                         (uintptr_t)member.c_str(),
                         (uintptr_t)local,
                         node->kind,
                         (uintptr_t)gApp->archivePassword,
                         (uintptr_t)((gApp->confirmFlags & kConfirmCopy) ? 1 : 0),
                         0};
    intptr_t r = ArcSendCommandEx(kArcExtractOne, args);
    DWORD attributes = GetFileAttributesA(local);
    if (r != 0 || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (folder[0])
            RemoveDirectoryA(folder); // only while it is empty
        local[0] = 0;
        return false;
    }
    return true;
}

void ArcRemoveTempCopy(const char *path) {
    if (!path || !path[0] || !PathIsOwnTemporary(path))
        return; // never a file the program did not make
    DeleteFileA(path);
    char folder[MAX_PATH];
    lstrcpynA(folder, path, sizeof folder);
    PathCutLastComponent(folder);
    char root[MAX_PATH];
    PathGetTempFolder(root, sizeof root);
    size_t n = strlen(folder);
    // The copy's own folder goes too when it is empty; the temporary
    // folder itself stays.
    if (n && PathIsOwnTemporary(folder) && lstrcmpiA(folder, root) != 0 &&
        !(strlen(root) == n + 1 && _strnicmp(root, folder, n) == 0))
        RemoveDirectoryA(folder);
}
