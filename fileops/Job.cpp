#include "fileops/Job.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/FtpJobs.h"
#include "wingui/WindowList.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/AttrJob.h"
#include "fileops/SumVerify.h"
#include "fileops/ToolJobs.h"
#include "fileops/FileSystem.h"
#include "panels/Location.h"
#include "frontends/PackCommands.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "tools/ContainerJobs.h"
#include "tools/ExtPrograms.h"

static DWORD JobClockTicks() { return GetTickCount(); }
DWORD (*gJobClock)() = JobClockTicks;

enum : UINT_PTR { kTimerShow = 1, kTimerTime = 2, kTimerClose = 3 };
const UINT kShowDelayMs = 800;
const UINT kTimeLineMs = 1000;
const UINT kCloseRetryMs = 20;
// generalOptions bit: the statistics window was minimised last time.
const uint32_t kGenLogMinimised = 0x2000000;

static SIZE gLogWindowSize;

// ---- the job code table ------------------------------------------------------

struct JobCodeRow {
    uint16_t first, last;
    JobWorker worker;
    bool selection;
};

static const JobCodeRow kJobCodes[] = {
    {kJobCodeCopy, kJobCodeRename, CopyJobThread, true},
    {kJobCodeDelete, kJobCodeDelete, DelJobThread, true},
    {kJobCodeAttributes, kJobCodeAttributes, AttrJobThread, true},
    {kJobCodeContainerCopy, kJobCodeContainerMove, ContainerCopyJobThread, false},
    {kJobCodeContainerDelete, kJobCodeContainerDelete, ContainerDeleteJobThread, false},
    {kJobCodeDropCopy, kJobCodeDropMove, DropCopyJobThread, false},
    {kJobCodeDropDelete, kJobCodeDropDelete, DropDeleteJobThread, false},
    {kJobCodeDropShortcut, kJobCodeDropShortcut, DropShortcutJobThread, false},
    {kJobCodePack, kJobCodePack, ArcPackJobThread, true},
    {kJobCodeUnpack, kJobCodeUnpack, ArcUnpackJobThread, true},
    {kJobCodeSplit, kJobCodeSplit, SplitJobThread, false},
    {kJobCodeJoin, kJobCodeJoin, JoinJobThread, true},
    {kJobCodeEncode, kJobCodeEncode, UuJobThread, false},
    {kJobCodeCrLf, kJobCodeCrLf, CrLfJobThread, true},
    {kJobCodeFtpFetch, kJobCodeFtpFetch, FtpFetchJobThread, false},
    {kJobCodeFtpPutBack, kJobCodeFtpPutBack, FtpPutBackJobThread, false},
    {kJobCodeCeFetch, kJobCodeCeFetch, CeFetchJobThread, false},
    {kJobCodeCePutBack, kJobCodeCePutBack, CePutBackJobThread, false},
    {kJobCodeArcPutBack, kJobCodeArcPutBack, ArcPutBackJobThread, false},
    {kJobCodeChecksums, kJobCodeChecksums, SumCreateJobThread, true},
    {kJobCodeSumVerify, kJobCodeSumVerify, SumVerifyJobThread, false},
};

JobWorker JobWorkerForCode(uint16_t code, bool *needsSelection)
{
    for (const JobCodeRow &row : kJobCodes)
        if (code >= row.first && code <= row.last) {
            if (needsSelection)
                *needsSelection = row.selection;
            return row.worker;
        }
    if (needsSelection)
        *needsSelection = false;
    return nullptr;
}

JobWorker (*gJobWorkerLookup)(uint16_t code, bool *needsSelection) = JobWorkerForCode;

bool JobCodeShowsTime(uint16_t code)
{
    switch (code) {
    case 1029: case 1030: case 1031: case 1034: case 1035: case 1038: case 1039: case 1040:
    case 1042: case 1043: case 1046: case 1047: case 1062: case 1076:
        return true;
    }
    return false;
}

static bool JobHidesBar(const JobRecord *job)
{
    uint32_t sourceKind = job->sourceLocation ? job->sourceLocation->kind : 0;
    uint32_t targetKind = job->targetLocation ? job->targetLocation->kind : 0;
    switch (job->jobCode) {
    case kJobCodeCopy: case kJobCodeMove: case kJobCodeRename:
        return targetKind == 10004 || targetKind == 10005;
    case kJobCodeDelete:
        return (sourceKind >= 20000 && sourceKind <= 20004) || sourceKind == 10004 || sourceKind == 10005;
    case kJobCodeUnpack: case kJobCodeSplit: case kJobCodeJoin: case kJobCodeDropShortcut:
        return true;
    case kJobCodeContainerCopy: case kJobCodeContainerMove:
    case kJobCodeDropCopy: case kJobCodeDropCopyAsk: case kJobCodeDropMove:
        return job->itemCount < 2 && !(job->itemInfo & FILE_ATTRIBUTE_DIRECTORY);
    }
    return false;
}

// ---- progress and texts from the worker --------------------------------------

void JobUpdateBar(JobRecord *job)
{
    if (!job || job->total == 0)
        return;
    uint32_t pos = JobBarPosition(job->done, job->total);
    if (pos == job->barPos)
        return;
    job->barPos = pos;
    if (job->dialog)
        PostMessageA(GetDlgItem(job->dialog, kIdJobBar), PBM_SETPOS, pos, 0);
}

void JobAddProgress(JobRecord *job, uint32_t n)
{
    if (!job)
        return;
    job->done += n;
    JobUpdateBar(job);
}

void (*gJobProgressHook)(JobRecord *job) = nullptr;

void JobAddProgress64(JobRecord *job, const uint64_t *n)
{
    if (!job || !n)
        return;
    job->done += *n;
    JobUpdateBar(job);
    if (gJobProgressHook)
        gJobProgressHook(job);
}

// Item and pair texts arrive far faster than anyone can read them; they are
// dropped within 10 ms of the last one. Deciding that here, before the
// cross-thread send, keeps a run of small files from waiting on the dialog.
static bool JobTextDue(JobRecord *job, bool pair)
{
    if (JobIsStatistics(job))
        return true;
    DWORD now = gJobClock();
    if (now - job->textClock < 10 && !(pair && job->textClock < 11))
        return false;
    job->textClock = now;
    return true;
}

void JobItemText(JobRecord *job, const char *text)
{
    if (job && job->dialog && JobTextDue(job, false))
        SendMessageA(job->dialog, kMsgJobItemText, 0, (LPARAM)text);
}

void JobPairText(JobRecord *job, const char *source, const char *target)
{
    if (job && job->dialog && JobTextDue(job, true))
        SendMessageA(job->dialog, kMsgJobPairText, (WPARAM)source, (LPARAM)target);
}

void JobLineText(JobRecord *job, const char *text)
{
    if (job && job->dialog)
        SendMessageA(job->dialog, kMsgJobLineText, 0, (LPARAM)text);
}

void JobTargetText(JobRecord *job, const char *name, const char *text)
{
    if (job && job->dialog)
        SendMessageA(job->dialog, kMsgJobTargetText, (WPARAM)name, (LPARAM)text);
}

void JobFinish(JobRecord *job)
{
    // Read everything needed before `workers` drops: from then on the
    // dialog may free the record.
    HWND dialog = job->dialog;
    job->flags |= kJobFinished;
    InterlockedExchange((volatile LONG *)&job->workers, 0);
    if (dialog)
        PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
    PanelRequestRereadBoth();
}

void JobReportLeftOut(JobRecord *job, const char *path, bool link)
{
    JobErrorReport report = {job->dialog, link ? kErrStoppedOnLink : (int32_t)ERROR_FILENAME_EXCED_RANGE,
                             path, link ? kCtxLink : kCtxNone, job};
    JobReportError(&report);
    // The statistics log counts its own lines.
    if (!JobIsStatistics(job))
        job->errors += 1;
}

INT_PTR JobAskDialog(JobRecord *job, int templateId, DLGPROC proc, LPARAM data)
{
    HWND owner = job && job->dialog ? job->dialog : gMainWindow;
    if (job && job->dialog)
        SendMessageA(job->dialog, kMsgJobAnimation, 0, 0);
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, proc, data);
    if (job && job->dialog)
        SendMessageA(job->dialog, kMsgJobAnimation, 1, 0);
    return answer;
}

// ---- selection list and totals -----------------------------------------------

void *JobBuildSelection(JobRecord *job)
{
    SelectionBuilder b;
    PanelIter it;
    bool ok = true;
    bool any = false;
    for (FileEntry *e = PanelIterBegin(&it, job->sourcePanel); e && ok; e = PanelIterNext(&it))
        if (e->mark & 1) {
            any = true;
            ok = SelListAppend(&b, EntryName(e), e->date, e->time, EntrySize(e), e->flags, it.position);
        }
    if (!any && ok) {
        uint32_t cursor = gApp ? gApp->cursorIndex[job->sourcePanel & 1] : 0;
        FileEntry *e = PanelIterAt(&it, cursor);
        if (e)
            ok = SelListAppend(&b, EntryName(e), e->date, e->time, EntrySize(e), e->flags, cursor);
    }
    PanelIterEnd(&it);
    if (!ok) {
        free(b.data);
        MemReportFailure();
        return nullptr;
    }
    return SelListRelease(&b);
}

void JobCountTree(JobRecord *job, const char *folder)
{
    DirListRecord *list = DirReadList(folder);
    for (const DirListRecord *r = list; r && r->length && !job->cancel; r = DirListNext(r)) {
        if (r->attributes & kDirListTooLong)
            continue; // the walk reports it
        if (DirIsLink(r->attributes)) {
            // Never entered: one step of a delete (the link goes).
            if ((job->flags & kJobInclSubDirs) && job->fileBytes)
                job->total += 1;
        } else if (r->attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(job->flags & kJobInclSubDirs))
                continue;
            if (job->fileBytes)
                job->total += 1;
            JobCountTree(job, r->path);
        } else {
            job->filesSelected += 1;
            job->total += job->fileBytes ? 1 : r->size;
        }
    }
    DirFreeList(list);
}

void JobCountList(JobRecord *job, const void *selection)
{
    char path[MAX_PATH];
    for (const SelectionRecord *r = SelListFirst(selection); r && !job->cancel; r = SelListNext(r)) {
        if (r->attributes & kEntryUpDir)
            continue;
        if (r->attributes & kEntryFolder) {
            if (!(job->flags & kJobInclSubDirs))
                continue;
            if (job->fileBytes)
                job->total += 1;
            if (!DirIsLink(r->attributes) && SelItemFullPath(r, job, path, sizeof path) == 0)
                JobCountTree(job, path);
        } else {
            job->filesSelected += 1;
            job->total += job->fileBytes ? 1 : r->size;
        }
    }
}

void JobCountSelection(JobRecord *job)
{
    if (job->selection) {
        JobCountList(job, job->selection);
        return;
    }
    void *list = JobBuildSelection(job);
    JobCountList(job, list);
    free(list);
}

int SelItemFullPath(const SelectionRecord *item, const JobRecord *job, char *out, size_t max)
{
    if (!max)
        return kAppendNoRoom;
    out[0] = 0;
    int r = 0;
    if (job->sourceLocation && job->sourceLocation->archivePath[0]) {
        r |= StrAppend(out, job->sourceLocation->archivePath, max);
        if (job->sourceDir[0] && job->sourceDir[0] != '\\')
            r |= StrAppend(out, "\\", max);
    }
    r |= StrAppend(out, job->sourceDir, max);
    size_t n = strlen(out);
    if (n && out[n - 1] != '\\' && out[n - 1] != '/')
        r |= StrAppend(out, "\\", max);
    r |= StrAppend(out, item->name, max);
    if (r & kAppendNoRoom)
        return kAppendNoRoom;
    return r ? kAppendCut : 0;
}

// ---- the dialog --------------------------------------------------------------

static JobRecord *JobOfDialog(HWND dialog) { return (JobRecord *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

static void JobSetTextById(HWND dialog, int control, int textId)
{
    char text[260];
    text[0] = 0;
    if (gApp)
        LangGetText(gApp->langTable, textId, text, sizeof text);
    if (text[0])
        SetDlgItemTextA(dialog, control, text);
}

static void JobShowNow(HWND dialog)
{
    bool minimised = gApp && (gApp->generalOptions & kGenLogMinimised);
    ShowWindow(dialog, minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNA);
}

static BOOL JobOnInit(HWND dialog, const JobRecord *source)
{
    JobRecord *job = (JobRecord *)MemAlloc(sizeof(JobRecord));
    if (!job) {
        DestroyWindow(dialog);
        return FALSE;
    }
    *job = *source;
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)job);
    bool statistics = JobIsStatistics(job);

    if (statistics && gLogWindowSize.cx > 0 && gLogWindowSize.cy > 0)
        SetWindowPos(dialog, nullptr, 0, 0, gLogWindowSize.cx, gLogWindowSize.cy, SWP_NOMOVE | SWP_NOZORDER);
    RECT r, owner;
    GetWindowRect(dialog, &r);
    HWND parent = GetWindow(dialog, GW_OWNER);
    if (!parent || !GetWindowRect(parent, &owner))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &owner, 0);
    SetWindowPos(dialog, nullptr, owner.left + ((owner.right - owner.left) - (r.right - r.left)) / 2,
                 owner.top + ((owner.bottom - owner.top) - (r.bottom - r.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    JobSetTextById(dialog, IDCANCEL, IDCANCEL);
    JobSetTextById(dialog, kIdJobTo, kIdJobTo);
    SetFocus(GetDlgItem(dialog, IDCANCEL));

    if (job->titleId && gApp) {
        char title[260] = " ";
        LangGetText(gApp->langTable, job->titleId, title + 1, sizeof title - 1);
        SetWindowTextA(dialog, title);
    }
    if (job->captionId)
        JobSetTextById(dialog, kIdJobHeading, job->captionId);

    if (statistics) {
        job->flags &= ~(kJobFinished | kJobCloseStats);
        JobShowNow(dialog);
        SyncLayout(dialog);
        JobLogAddMenu(dialog);
        if (JobCodeShowsTime(job->jobCode))
            SetTimer(dialog, kTimerTime, kTimeLineMs, nullptr);
    } else {
        SetTimer(dialog, kTimerShow, kShowDelayMs, nullptr);
    }

    job->dialog = dialog;
    // The message loop reads the window handle from the first word of the
    // data it is given; registered in both modes for keyboard navigation.
    ToolWndRegister(dialog, kToolWndProgress, &job->dialog);
    bool needsSelection = false;
    JobWorker worker = gJobWorkerLookup(job->jobCode, &needsSelection);
    if (needsSelection && !job->selection)
        job->selection = JobBuildSelection(job);
    if (JobHidesBar(job))
        ShowWindow(GetDlgItem(dialog, kIdJobBar), SW_HIDE);
    SendDlgItemMessageA(dialog, kIdJobBar, PBM_SETRANGE, 0, MAKELPARAM(0, kJobBarRange));
    if (worker) {
        // Raised before the thread exists: a worker that finishes at once
        // must still find the dialog waiting for it.
        job->workers = 1;
        DWORD id;
        HANDLE thread = CreateThread(nullptr, 0, worker, job, 0, &id);
        if (thread)
            CloseHandle(thread);
        else {
            job->workers = 0;
            job->flags |= kJobFinished | kJobCloseStats;
            PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
        }
    }
    return FALSE;
}

// Set on a job dialog once its time-line timer runs.
static const char kTimeLineArmed[] = "ZqTimeLine";

static void JobOnTimer(HWND dialog, JobRecord *job, UINT_PTR id)
{
    if (id == kTimerClose) {
        KillTimer(dialog, kTimerClose);
        PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
        return;
    }
    if (id == kTimerShow) {
        // Armed once: setting it again on every tick while the dialog must
        // stay hidden would restart its count each time, and it would never
        // fire.
        if (job->startClock && JobCodeShowsTime(job->jobCode) && !GetPropA(dialog, kTimeLineArmed)) {
            SetPropA(dialog, kTimeLineArmed, reinterpret_cast<HANDLE>(1));
            SetTimer(dialog, kTimerTime, kTimeLineMs, nullptr);
        }
        if (gErrorBoxDepth)
            return;
        HWND active = GetForegroundWindow();
        if (active && active != dialog && GetWindow(active, GW_OWNER) == dialog)
            return;
        KillTimer(dialog, kTimerShow);
        JobShowNow(dialog);
        return;
    }
    if (id == kTimerTime) {
        uint64_t done = job->done, total = job->total;
        if (!job->startClock || !done || done >= total)
            return;
        int32_t elapsed = (int32_t)(gJobClock() - job->startClock);
        char text[96];
        if (elapsed > 0 && JobFormatRemaining((uint64_t)elapsed, done, total, text, sizeof text))
            SetDlgItemTextA(dialog, kIdJobTime, text);
    }
}

static void JobClose(HWND dialog, JobRecord *job)
{
    if (job->workers) {
        // The worker still holds the record; look again shortly.
        SetTimer(dialog, kTimerClose, kCloseRetryMs, nullptr);
        return;
    }
    ToolWndUnregister(dialog);
    if (job->state != kJobStop && IsWindowVisible(dialog) && GetActiveWindow() != dialog)
        MessageBeep(0);
    free(job->selection);
    job->selection = nullptr;
    LocationCloneFree(job->sourceLocation);
    LocationCloneFree(job->targetLocation);
    if (JobIsStatistics(job)) {
        RECT r;
        GetWindowRect(dialog, &r);
        gLogWindowSize.cx = r.right - r.left;
        gLogWindowSize.cy = r.bottom - r.top;
    }
    KillTimer(dialog, kTimerShow);
    KillTimer(dialog, kTimerTime);
    RemovePropA(dialog, kTimeLineArmed);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
    MemFree(&job);
    DestroyWindow(dialog);
}

static void JobOnFinished(HWND dialog, JobRecord *job)
{
    if (JobIsStatistics(job) && (job->flags & kJobFinished) && !(job->flags & kJobCloseStats)) {
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        SetWindowLongPtrA(cancel, GWLP_ID, kCmdJobFinished);
        char text[64] = "";
        if (gApp)
            LangGetText(gApp->langTable, Txt::butJobClose, text, sizeof text);
        SetWindowTextA(cancel, text[0] ? text : "Close");
        InvalidateRect(cancel, nullptr, TRUE);
        job->flags |= kJobCloseStats;
        KillTimer(dialog, kTimerTime);
        return;
    }
    JobClose(dialog, job);
}

static void JobOnText(HWND dialog, JobRecord *job, UINT message, WPARAM wParam, LPARAM lParam)
{
    const char *text = (const char *)lParam;
    if (JobIsStatistics(job)) {
        if (message == kMsgJobItemText || message == kMsgJobLineText)
            JobLogAppend(dialog, text);
        else
            JobLogSkipping(dialog, (const char *)wParam, text);
        return;
    }
    switch (message) {
    case kMsgJobItemText:
    case kMsgJobLineText:
        SetDlgItemTextA(dialog, kIdJobLine1, text);
        break;
    case kMsgJobPairText:
        SetDlgItemTextA(dialog, kIdJobLine1, (const char *)wParam);
        SetDlgItemTextA(dialog, kIdJobLine2, text);
        break;
    case kMsgJobTargetText:
        SetDlgItemTextA(dialog, kIdJobLine2, text);
        break;
    }
}

// Owner-drawn log lines and the log window's own behaviour live in JobLog.cpp.
INT_PTR JobLogDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, bool *handled);

INT_PTR CALLBACK JobDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return JobOnInit(dialog, (const JobRecord *)lParam);
    JobRecord *job = JobOfDialog(dialog);
    if (!job)
        return FALSE;
    switch (message) {
    case WM_TIMER:
        JobOnTimer(dialog, job, wParam);
        return TRUE;
    case kMsgJobItemText:
    case kMsgJobPairText:
    case kMsgJobLineText:
    case kMsgJobTargetText:
        JobOnText(dialog, job, message, wParam, lParam);
        return TRUE;
    case kMsgJobMarkedLine: {
        int index = JobLogAppendMarked(dialog, (const char *)lParam, (LPARAM)wParam);
        if (index >= 0)
            SendDlgItemMessageA(dialog, kIdJobLogList, LB_SETTOPINDEX, index, 0);
        return TRUE;
    }
    case kMsgJobAnimation:
        ShowWindow(GetDlgItem(dialog, kIdJobAnimation), wParam ? SW_SHOWNA : SW_HIDE);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            job->cancel = 1;
            if (FtpJobApplies(job))
                FtpStopTransfers(job); // a transfer in progress ends now, not at its end
            // Without a running worker nobody else will send the close.
            if (JobIsStatistics(job) || !job->workers)
                PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
            return TRUE;
        case IDOK:
        case kCmdJobFinished:
            JobOnFinished(dialog, job);
            return TRUE;
        case kJobCodeFtpFetch:
        case kJobCodeCeFetch:
            // The fetch worker's local copy is complete: the view or edit
            // action runs here, on the interface thread.
            if (job->itemInfo)
                LocalActionRun(job->itemInfo, (HWND)(UINT_PTR)job->itemCount, job->target, job->secondName,
                               job->sourceLocation);
            job->state = kJobStop;
            return TRUE;
        }
        break;
    }
    if (JobIsStatistics(job)) {
        bool handled = false;
        INT_PTR r = JobLogDialogMessage(dialog, message, wParam, lParam, &handled);
        if (handled)
            return r;
    }
    return FALSE;
}

HWND JobShowDialog(HWND owner, int templateId, const JobRecord *job)
{
    if (job->flags & kJobStatistics)
        templateId = kDlgJobLog;
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (gApp)
        AniRegisterClass(); // the templates hold the animation control
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), owner, JobDialogProc, (LPARAM)job);
}

void JobUnmarkSourceEntry(JobRecord *job, const char *name) {
    if (!gApp)
        return;
    const int panel = job->sourcePanel & 1;
    char shown[260];
    PanelGetPath(panel, shown, sizeof shown);
    if (strcmp(shown, job->sourceDir) != 0)
        return;
    PanelIter it;
    FileEntry *e = PanelFindJobEntry(&it, job, name);
    if (e)
        e->mark = (uint8_t)(e->mark << 1);
    PanelIterEnd(&it);
    if (e && gApp->panels[panel].listWindow)
        InvalidateRect(gApp->panels[panel].listWindow, nullptr, FALSE);
}
