// Delete and wipe: the command, its dialogs (10600, 10601), the questions
// (10700, 10800) and the worker of job 1032.
#include "fileops/DeleteJob.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "panels/Filter.h"
#include "panels/FilterDialog.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/FtpJobs.h"
#include "panels/Location.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "frontends/CeFrontEnd.h"

static void DlgTextById(HWND dialog, int control, int textId)
{
    char text[260] = "";
    if (gApp && gApp->langTable)
        LangGetText(gApp->langTable, textId, text, sizeof text);
    if (text[0])
        SetDlgItemTextA(dialog, control, text);
}

static void QuestionText(JobRecord *job, int textId)
{
    job->secondName[0] = 0;
    const LanguageTable *table =
        gApp && gApp->langTable ? gApp->langTable : BuiltinLanguageTables[kBuiltinEnglish];
    LangGetText(table, textId, job->secondName, sizeof job->secondName);
}

// ---- questions ------------------------------------------------------------------

INT_PTR CALLBACK DelAskDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        WndCenter(dialog);
        const JobRecord *job = (const JobRecord *)lParam;
        char caption[64] = "";
        if (gApp && gApp->langTable)
            LangGetText(gApp->langTable, Txt::dlgDelAsk, caption, sizeof caption);
        if (caption[0])
            SetWindowTextA(dialog, caption);
        static const int kTexts[] = {IDCANCEL, Txt::txtDelAsk, kIdDelete, kIdDeleteAll, kIdDeleteSkip};
        for (int id : kTexts)
            DlgTextById(dialog, id, id);
        SetDlgItemTextA(dialog, kIdDelQuestion, job->secondName);
        SetDlgItemTextA(dialog, kIdDelName, job->target);
        SetForegroundWindow(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, DlgEndCode(dialog, 1));
            return TRUE;
        case kIdDelete:
            EndDialog(dialog, kJobGoOn);
            return TRUE;
        case kIdDeleteAll:
            EndDialog(dialog, kJobYesAll);
            return TRUE;
        case kIdDeleteSkip:
            EndDialog(dialog, kJobSkip);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, kJobStop);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        JobFreeErrorBrush();
        break;
    }
    return FALSE;
}

static int DelAsk(JobRecord *job, int templateId, int textId)
{
    QuestionText(job, textId);
    INT_PTR answer = JobAskDialog(job, templateId, DelAskDialogProc, (LPARAM)job);
    return answer < 0 ? kJobStop : (int)answer;
}

// ---- wipe -----------------------------------------------------------------------

bool FileWipe(char *path)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    uint64_t size = 0;
    FileGetSize(gMainWindow, h, &size);
    if (size) {
        static char pattern[0x10000];
        if (pattern[0] != (char)0xAA)
            memset(pattern, 0xAA, sizeof pattern);
        uint64_t rest = size;
        while (rest) {
            DWORD n = rest < sizeof pattern ? (DWORD)rest : (DWORD)sizeof pattern, written = 0;
            if (!WriteFile(h, pattern, n, &written, nullptr) || written != n)
                break;
            rest -= n;
        }
        FlushFileBuffers(h);
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
    }
    CloseHandle(h);

    char wiped[MAX_PATH];
    lstrcpynA(wiped, path, sizeof wiped);
    char *name = wiped + PathFindName(wiped);
    for (char *p = name; *p; p++)
        if (*p != '.')
            *p = '@';
    size_t base = strlen(wiped);
    for (unsigned n = 1; GetFileAttributesA(wiped) != INVALID_FILE_ATTRIBUTES && n < 100000; n++)
        snprintf(wiped + base, sizeof wiped - base, "%u", n);
    if (!MoveFileA(path, wiped))
        return false;
    size_t len = strlen(wiped);
    memcpy(path, wiped, len + 1);
    if (len + 1 < MAX_PATH)
        path[len + 1] = 0;
    return true;
}

// ---- the per-entry steps --------------------------------------------------------------

static bool ShellDelete(JobRecord *job, bool recycle)
{
    // The shell wants a list: the path followed by a second zero byte.
    char list[MAX_PATH + 2] = {};
    lstrcpynA(list, job->target, MAX_PATH);
    SHFILEOPSTRUCTA op = {};
    op.hwnd = job->dialog;
    op.wFunc = FO_DELETE;
    op.pFrom = list;
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_FILESONLY | (recycle ? FOF_ALLOWUNDO : 0);
    return SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted;
}

void DelDeleteFile(JobRecord *job)
{
    uint32_t attributes = job->itemInfo;
    // The read-only and system questions answer for this file only; "All"
    // stays with its own kind of file, and only Skip or Cancel reach the
    // job's state.
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !(job->itemCount & kDelAllReadOnly)) {
        int a = DelAsk(job, kDlgDelAsk, Txt::askDelRdOnly);
        if (a == kJobYesAll)
            job->itemCount |= kDelAllReadOnly;
        else if (a != kJobGoOn)
            job->state = a;
    }
    if ((job->state == kJobGoOn || job->state == kJobYesAll) && (attributes & FILE_ATTRIBUTE_SYSTEM) &&
        !(job->itemCount & kDelAllSystem)) {
        int a = DelAsk(job, kDlgDelAsk, Txt::askDelSystem);
        if (a == kJobYesAll)
            job->itemCount |= kDelAllSystem;
        else if (a != kJobGoOn)
            job->state = a;
    }
    if (job->state != kJobGoOn && job->state != kJobYesAll) {
        if (job->state == kJobSkip)
            JobAddProgress(job, 1);
        return;
    }
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        SetFileAttributesA(job->target, attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                        FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
    JobItemText(job, job->target);
    bool recycle = (job->flags & kJobRecycle) != 0;
    if ((job->flags & kJobWipe) && !recycle)
        FileWipe(job->target);

    bool deleted = false;
    if (recycle) {
        bool open = true;
        if (JobIsStatistics(job)) {
            HANDLE h = CreateFileA(job->target, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                JobErrorReport report = {job->dialog, 0, job->target, kCtxDelete, job};
                JobReportError(&report);
                open = false;
            } else {
                CloseHandle(h);
            }
        }
        if (open) {
            deleted = ShellDelete(job, true);
            if (!deleted)
                job->state = kJobStop;
        }
    } else {
        uint32_t r = FileDeleteReport(job->dialog, job->target, job);
        deleted = r == 0;
        if (r && !(JobIsStatistics(job) && r != kFsCancel) && r != kFsIgnore)
            job->state = kJobStop;
    }
    if (job->state != kJobStop) {
        JobAddProgress(job, 1);
        if (deleted)
            job->filesDone += 1;
    }
}

static bool PassesDeleteFilter(const JobRecord *job, const char *path, uint16_t attributes, uint16_t date,
                               uint16_t time, uint64_t size)
{
    if (!(job->flags & kJobDeleteFilter) || !gApp)
        return true;
    char folder[MAX_PATH];
    lstrcpynA(folder, path, sizeof folder);
    uint16_t at = PathFindName(folder);
    const char *name = path + at;
    if (at)
        folder[at - 1] = 0;
    return FilterTestEntry(folder, name, attributes, date, time, &size, &gApp->syncFilter) != 0;
}

// A junction or folder link goes as a link: what it points at is never
// entered, so nothing there is touched.
void DelRemoveLink(JobRecord *job)
{
    JobItemText(job, job->target);
    DWORD attributes = GetFileAttributesA(job->target);
    for (;;) {
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(job->target, attributes & ~FILE_ATTRIBUTE_READONLY);
        if (RemoveDirectoryA(job->target)) {
            job->foldersDone += 1;
            break;
        }
        JobErrorReport report = {job->dialog, (int32_t)GetLastError(), job->target, kCtxDelete, job};
        uint32_t answer = JobReportError(&report);
        if (attributes != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesA(job->target, attributes);
        if (answer == kFsRetry)
            continue;
        if (!JobIsStatistics(job)) {
            job->errors += 1;
            if (answer != kFsIgnore)
                job->state = kJobStop;
        }
        break;
    }
    JobAddProgress(job, 1);
}

void DelDeleteTree(JobRecord *job)
{
    char folder[MAX_PATH];
    lstrcpynA(folder, job->target, sizeof folder);
    DirListRecord *list = DirReadList(folder);
    for (const DirListRecord *r = list; r && r->length && !JobStopped(job); r = DirListNext(r)) {
        memset(job->target, 0, sizeof job->target);
        lstrcpynA(job->target, r->path, MAX_PATH);
        if (r->attributes & kDirListTooLong) {
            JobReportLeftOut(job, r->path, false);
        } else if (DirIsLink(r->attributes)) {
            if (job->flags & kJobInclSubDirs)
                DelRemoveLink(job);
        } else if (r->attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (job->flags & kJobInclSubDirs)
                DelDeleteTree(job);
        } else if (!PassesDeleteFilter(job, r->path, r->attributes, r->dosDate, r->dosTime, r->size)) {
            JobAddProgress(job, 1);
        } else {
            job->itemInfo = r->attributes;
            DelDeleteFile(job);
        }
        JobEndItem(job);
    }
    DirFreeList(list);
    memset(job->target, 0, sizeof job->target);
    lstrcpynA(job->target, folder, MAX_PATH);
    if (JobStopped(job))
        return;
    if (!(job->flags & kJobKeepEmptyDirs)) {
        if (gApp && gApp->panelPath[gApp->activePanel & 1][0])
            SetCurrentDirectoryA(gApp->panelPath[gApp->activePanel & 1]);
        if (DirRemoveKeepingAttributes(job->dialog, folder))
            job->foldersDone += 1;
    }
    JobAddProgress(job, 1);
}

static void DelSummary(JobRecord *job)
{
    if (!JobIsStatistics(job))
        return;
    JobLineText(job, "");
    if (job->filesDone != job->filesSelected)
        JobSummaryLine(job, Txt::txtSelected, job->filesSelected, 0, 0);
    JobSummaryLine(job, Txt::txtDeleted, job->filesDone, 0, 0);
    if (job->foldersDone)
        JobSummaryLine(job, Txt::txtDirsDeleted, job->foldersDone, 0, 0);
    if (job->errors)
        JobSummaryLine(job, Txt::txtErrors, job->errors, 0, kLogError);
}

// Deleting on the device: each file and folder of the selection, asked
// about as on the desktop, through the device job steps.
static void DelDeviceRecords(JobRecord *job)
{
    uint16_t confirm = gApp ? gApp->confirmFlags : kConfirmDelete | kConfirmDelDir;
    job->startClock = gJobClock();
    if (!job->startClock)
        job->startClock = 1;
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        char path[MAX_PATH];
        if (SelItemFullPath(rec, job, path, sizeof path)) {
            CeReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, rec->name, job);
            break;
        }
        lstrcpynA(job->target, path, MAX_PATH);
        bool folder = (rec->attributes & kEntryFolder) != 0;
        if (folder && !(job->flags & kJobInclSubDirs))
            continue;
        if ((confirm & (folder ? kConfirmDelDir : kConfirmDelete)) && job->state != kJobYesAll)
            job->state = DelAsk(job, kDlgDelConfirm, folder ? Txt::askDelDir : Txt::askDelFile);
        if (job->state == kJobGoOn || job->state == kJobYesAll) {
            if (folder)
                CeJobDeleteTree(job, path);
            else
                CeJobDeleteFile(job, path);
        } else if (job->state == kJobSkip) {
            job->state = kJobGoOn;
        }
        if (!JobStopped(job))
            JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
}

// Deleting members of an archive: each file and folder of the selection is
// asked about as on the desktop, and the library removes the ones that
// passed in one rewrite of the archive.
static void DelArchiveRecords(JobRecord *job)
{
    uint16_t confirm = gApp ? gApp->confirmFlags : kConfirmDelete | kConfirmDelDir;
    job->startClock = gJobClock();
    if (!job->startClock)
        job->startClock = 1;
    std::vector<std::string> members;
    std::vector<std::string> names;
    std::string inner = job->sourceDir;
    while (!inner.empty() && inner.back() == '\\')
        inner.pop_back();
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        bool folder = (rec->attributes & kEntryFolder) != 0;
        if (folder && !(job->flags & kJobInclSubDirs))
            continue;
        std::string member = inner.empty() ? std::string(rec->name) : inner + "\\" + rec->name;
        lstrcpynA(job->target, member.c_str(), MAX_PATH);
        if ((confirm & (folder ? kConfirmDelDir : kConfirmDelete)) && job->state != kJobYesAll)
            job->state = DelAsk(job, kDlgDelConfirm, folder ? Txt::askDelDir : Txt::askDelFile);
        if (job->state == kJobGoOn || job->state == kJobYesAll) {
            members.push_back(folder ? member + "\\" : member);
            names.push_back(rec->name);
        } else if (job->state == kJobSkip) {
            job->state = kJobGoOn;
        }
    }
    if (JobStopped(job) || members.empty())
        return;
    job->total = members.size();
    job->itemCount = (uint32_t)members.size();
    if (ArcJobDeleteMembers(job, members) != 0) {
        job->state = kJobStop;
        return;
    }
    job->filesDone += (uint32_t)members.size();
    for (const std::string &n : names)
        JobUnmarkSourceEntry(job, n.c_str());
}

DWORD WINAPI DelJobThread(void *arg)
{
    JobRecord *job = (JobRecord *)arg;
    if (job->sourceLocation && FtpJobApplies(job)) {
        FtpRunDeleteJob(job);
        DelSummary(job);
        JobFinish(job);
        return 0;
    }
    if (job->sourceLocation && job->sourceLocation->kind == kLocationCeDevice) {
        DelDeviceRecords(job);
        DelSummary(job);
        JobFinish(job);
        return 0;
    }
    if (job->sourceLocation && job->sourceLocation->kind < kLocationFtp) {
        job->flags &= ~kJobStatistics;
        DelArchiveRecords(job);
        JobFinish(job);
        return 0;
    }
    if (job->sourceLocation) {
        // Other locations have no delete: nothing is touched.
        job->state = kJobStop;
        job->flags |= kJobCloseStats;
        JobFinish(job);
        return 0;
    }
    while (job->sourceDir[0] && !FileIsDir(job->sourceDir)) {
        uint32_t a = FileReportError(job->dialog, ERROR_PATH_NOT_FOUND, job->sourceDir, kCtxNotReady);
        if (a != kFsRetry) {
            job->flags |= kJobFinished | kJobCloseStats;
            JobFinish(job);
            return 0;
        }
    }
    job->fileBytes = 1;
    if (job->total == 0)
        JobCountList(job, job->selection);
    job->fileBytes = 0;
    job->itemCount = 0;
    job->itemInfo = 0;
    job->startClock = gJobClock();
    if (!job->startClock)
        job->startClock = 1;
    uint16_t confirm = gApp ? gApp->confirmFlags : kConfirmDelete | kConfirmDelDir;

    for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir)
            continue;
        memset(job->target, 0, sizeof job->target);
        if (SelItemFullPath(rec, job, job->target, MAX_PATH)) {
            FileReportError(job->dialog, ERROR_FILENAME_EXCED_RANGE, rec->name, kCtxNone);
            break;
        }
        bool folder = (rec->attributes & kEntryFolder) != 0;
        if (!folder) {
            if (!PassesDeleteFilter(job, job->target, rec->attributes & 0xFF, rec->date, rec->time, rec->size)) {
                JobAddProgress(job, 1);
            } else {
                if ((confirm & kConfirmDelete) && job->state != kJobYesAll)
                    job->state = DelAsk(job, kDlgDelConfirm, Txt::askDelFile);
                if (job->state == kJobGoOn || job->state == kJobYesAll) {
                    job->itemInfo = GetFileAttributesA(job->target);
                    if (job->itemInfo == INVALID_FILE_ATTRIBUTES)
                        job->itemInfo = rec->attributes & 0x27;
                    DelDeleteFile(job);
                } else if (job->state == kJobSkip) {
                    JobAddProgress(job, 1);
                }
            }
        } else if (job->flags & kJobInclSubDirs) {
            if ((confirm & kConfirmDelDir) && job->state != kJobYesAll)
                job->state = DelAsk(job, kDlgDelConfirm, Txt::askDelDir);
            if (job->state == kJobGoOn || job->state == kJobYesAll) {
                if (DirIsLink(rec->attributes))
                    DelRemoveLink(job);
                else
                    DelDeleteTree(job);
            }
        }
        if (!JobStopped(job))
            JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
    DelSummary(job);
    JobFinish(job);
    return 0;
}

// ---- the command and its dialog ------------------------------------------------------

static bool IsArchiveKindRefused(uint16_t kind)
{
    return (kind >= 10001 && kind <= 10003) || kind == 10007 || kind == 10009 || kind == 10010 ||
           (kind >= 10019 && kind <= 10022);
}

INT_PTR CALLBACK DelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    JobRecord *job = (JobRecord *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        WndCenter(dialog);
        job = (JobRecord *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)job);
        char caption[64] = "";
        if (gApp && gApp->langTable)
            LangGetText(gApp->langTable, Txt::dlgDelCaption, caption, sizeof caption);
        if (caption[0])
            SetWindowTextA(dialog, caption);
        static const int kTexts[] = {IDOK + 98, IDCANCEL,         14503,           10103,       10604,
                                     10605,     kIdDelRecycle,    14522,           kIdDelWipe,  14505,
                                     kIdDelKeepEmpty};
        for (int id : kTexts)
            DlgTextById(dialog, id, id);
        int panel = job->sourcePanel & 1;
        // Container lines and dropped names: the record holds their count.
        bool fromList = job->jobCode == kJobCodeContainerDelete || job->jobCode == kJobCodeDropDelete;
        uint32_t marked = fromList ? job->itemCount : PanelCountMarked(panel);
        if (marked > 1) {
            char text[80];
            const LanguageTable *english = BuiltinLanguageTables[kBuiltinEnglish];
            LangFormat(gApp && gApp->langTable ? gApp->langTable : english, english, Txt::txtSelFiles, text,
                       sizeof text, (unsigned)marked);
            SetDlgItemTextA(dialog, kIdDelName, text);
        } else {
            SetDlgItemTextA(dialog, kIdDelName, job->target);
        }
        bool folders = fromList || PanelCountMarkedDirs(panel) > 0 || (marked == 0 && (job->itemInfo & kEntryFolder));
        CheckDlgButton(dialog, 10103, folders ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, 14505, (job->flags & kJobDeleteFilter) ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kIdDelKeepEmpty, (job->flags & kJobKeepEmptyDirs) ? BST_UNCHECKED : BST_CHECKED);
        bool archive = job->sourceLocation && job->sourceLocation->kind < kLocationFtp;
        if (job->jobCode != 1032 || archive)
            ShowWindow(GetDlgItem(dialog, 14522), SW_HIDE);
        CheckDlgButton(dialog, 14522, (job->flags & kJobStatistics) ? BST_CHECKED : BST_UNCHECKED);
        if (job->sourceLocation) {
            ShowWindow(GetDlgItem(dialog, kIdDelRecycle), SW_HIDE);
            ShowWindow(GetDlgItem(dialog, kIdDelWipe), SW_HIDE);
        } else {
            bool recycle = (job->flags & kJobRecycle) != 0;
            CheckDlgButton(dialog, kIdDelRecycle, recycle ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, kIdDelWipe, (job->flags & kJobWipe) ? BST_CHECKED : BST_UNCHECKED);
            EnableWindow(GetDlgItem(dialog, kIdDelWipe), !recycle);
        }
        SetFocus(GetDlgItem(dialog, IDOK + 98));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kIdDelRecycle:
            EnableWindow(GetDlgItem(dialog, kIdDelWipe), !IsDlgButtonChecked(dialog, kIdDelRecycle));
            return TRUE;
        case 14503:
            if (gApp)
                FilterDialogShow(dialog, &gApp->syncFilter);
            return TRUE;
        case IDOK:
        case IDOK + 98: {
            struct Option {
                int id;
                uint32_t flag;
                bool inverted;
            } options[] = {{10103, kJobInclSubDirs, false}, {kIdDelKeepEmpty, kJobKeepEmptyDirs, true},
                           {14522, kJobStatistics, false},  {kIdDelRecycle, kJobRecycle, false},
                           {14505, kJobDeleteFilter, false}};
            for (const Option &o : options) {
                if (!GetDlgItem(dialog, o.id))
                    continue;
                bool on = IsDlgButtonChecked(dialog, o.id) != 0;
                if (o.inverted)
                    on = !on;
                job->flags = on ? job->flags | o.flag : job->flags & ~o.flag;
            }
            HWND wipe = GetDlgItem(dialog, kIdDelWipe);
            if (wipe && IsWindowVisible(wipe)) {
                bool on = IsDlgButtonChecked(dialog, kIdDelWipe) != 0;
                job->flags = on ? job->flags | kJobWipe : job->flags & ~kJobWipe;
            }
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void DelCommand(HWND owner)
{
    if (!gApp)
        return;
    int panel = gApp->activePanel & 1;
    uint32_t marked = PanelCountMarked(panel);
    PanelIter it;
    FileEntry *e = PanelFirstMarked(&it, panel);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, panel);
    }
    if (!e || (EntryIsUpDir(e) && marked <= 1)) {
        PanelIterEnd(&it);
        MessageBeep(MB_ICONHAND);
        return;
    }
    JobRecord job = {};
    lstrcpynA(job.target, EntryName(e), MAX_PATH);
    job.itemInfo = e->flags;
    bool folder = EntryIsFolder(e);
    PanelIterEnd(&it);

    LocationNode *location = gApp->panels[panel].location;
    if (location && (location->kind == kLocationFtp || location->kind == kLocationCeDevice)) {
        job.sourceLocation = LocationClone(location);
        if (!job.sourceLocation)
            return;
    } else if (location && (location->kind >= kLocationFtp || IsArchiveKindRefused(location->kind) ||
                            LocationFollowsParent(location))) {
        // A level inside another archive is a copy: deleting there would
        // change nothing the user keeps.
        MessageBeep(MB_ICONHAND);
        return;
    } else if (location) {
        // Archive members: the job names them by the level inside the archive.
        job.sourceLocation = LocationClone(location);
        if (!job.sourceLocation)
            return;
    }
    lstrcpynA(job.sourceDir, gApp->panelPath[panel], sizeof job.sourceDir);
    if (job.sourceLocation && job.sourceLocation->kind < kLocationFtp) {
        SetCurrentDirectoryA(gApp->panelPath[panel]);
        LocationInnerPath(job.sourceLocation, job.sourceDir);
    }
    job.sourcePanel = (uint16_t)panel;
    job.flags = JobFlagsFromOptions(gApp->generalOptions);
    job.jobCode = 1032;
    int templ = marked > 1 || folder ? kDlgDeleteMany : kDlgDeleteOne;
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(templ), owner, DelDialogProc, (LPARAM)&job) != 1) {
        LocationCloneFree(job.sourceLocation);
        return;
    }
    gApp->generalOptions = JobOptionsFromFlags(gApp->generalOptions, job.flags);
    if (templ == kDlgDeleteOne)
        job.flags = (job.flags & (kJobStatistics | kJobRecycle | kJobWipe)) | kJobInclSubDirs;
    if (job.sourceLocation && job.sourceLocation->kind < kLocationFtp)
        job.flags &= ~(kJobStatistics | kJobRecycle | kJobWipe);
    job.titleId = Txt::dlgDelete;
    job.captionId = Txt::dlgDeleteFrom;
    job.itemCount = marked;
    if (!JobShowDialog(owner, kDlgJobDelete, &job))
        LocationCloneFree(job.sourceLocation);
}

// ---- make directory -----------------------------------------------------------------

INT_PTR CALLBACK MakeDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        WndCenter(dialog);
        char caption[64] = "";
        if (gApp && gApp->langTable)
            LangGetText(gApp->langTable, Txt::dlgMakeDir, caption, sizeof caption);
        if (caption[0])
            SetWindowTextA(dialog, caption);
        static const int kTexts[] = {Txt::txtMakeDir, IDOK + 98, IDCANCEL};
        for (int id : kTexts)
            DlgTextById(dialog, id, id);
        SendDlgItemMessageA(dialog, kIdMakeDirEdit, EM_LIMITTEXT, 259, 0);
        SetFocus(GetDlgItem(dialog, kIdMakeDirEdit));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDOK + 98: {
            char text[MAX_PATH] = "";
            GetDlgItemTextA(dialog, kIdMakeDirEdit, text, sizeof text);
            if (!gApp || !text[0]) {
                EndDialog(dialog, 1);
                return TRUE;
            }
            int panel = gApp->activePanel & 1;
            LocationNode *location = gApp->panels[panel].location;
            if (location && location->kind == kLocationFtp) {
                if (FtpMakeRemoteDir(dialog, location, text, panel) == 0)
                    EndDialog(dialog, 1);
                return TRUE;
            }
            if (location && location->kind == kLocationCeDevice) {
                if (CeMakeDirTyped(dialog, panel, text) == 0)
                    EndDialog(dialog, 1);
                return TRUE;
            }
            if (location) {
                // Remote folders are made by the FTP and device front ends.
                MessageBeep(MB_ICONHAND);
                EndDialog(dialog, 1);
                return TRUE;
            }
            const char *base = gApp->panelPath[panel];
            FileSetCurrentDir(dialog, base);
            char path[MAX_PATH * 2] = "";
            if (text[0] && text[1] == ':')
                lstrcpynA(path, text, MAX_PATH);
            else if (text[0] == '\\' || text[0] == '/')
                snprintf(path, sizeof path, "%.2s%s", base, text);
            else
                snprintf(path, sizeof path, "%s%s%s", base,
                         base[0] && base[strlen(base) - 1] != '\\' ? "\\" : "", text);
            if (strlen(path) >= MAX_PATH) {
                FileReportError(dialog, ERROR_FILENAME_EXCED_RANGE, text, kCtxMakeDir);
                return TRUE;
            }
            if (FsResultOf(FileMakeDirs(dialog, path)) == 0) {
                char first[MAX_PATH];
                lstrcpynA(first, text, sizeof first);
                char *cut = strpbrk(first, "\\/");
                if (cut)
                    *cut = 0;
                PanelRequestRereadSelect(panel, first);
            }
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void MakeDirCommand(HWND owner)
{
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgMakeDir), owner, MakeDirDialogProc, 0);
}
