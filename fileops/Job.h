#pragma once
// The job runner: every long file operation fills a JobRecord, hands it to
// JobShowDialog and watches it in the modeless progress dialog, which copies
// the record, starts the job's worker thread and shows what it reports.
//
// Ownership: the dialog's heap copy of the record lives from WM_INITDIALOG
// until the dialog has seen command 99 with `workers` at 0. The dialog raises
// `workers` before it starts the thread, so a worker that ends at once can
// never be outrun by the close; a worker touches the record for the last
// time in JobFinish.
#include <windows.h>
#include <stdint.h>

#include "JobRecord.h"
#include "fileops/JobMath.h"

enum JobCode : uint16_t {
    kJobCodeCopy = 1029,
    kJobCodeMove = 1030,
    kJobCodeRename = 1031,
    kJobCodeDelete = 1032,
    kJobCodeAttributes = 1033,
    kJobCodeContainerCopy = 1034,
    kJobCodeContainerMove = 1035,
    kJobCodeContainerDelete = 1036,
    kJobCodeDropCopy = 1038,
    kJobCodeDropCopyAsk = 1039,
    kJobCodeDropMove = 1040,
    kJobCodeDropDelete = 1041,
    kJobCodePack = 1042,
    kJobCodeUnpack = 1043,
    kJobCodeSplit = 1044,
    kJobCodeJoin = 1045,
    kJobCodeEncode = 1046,
    kJobCodeCrLf = 1047,
    kJobCodeFtpFetch = 1048,
    kJobCodeFtpPutBack = 1049,
    kJobCodeCeFetch = 1050,
    kJobCodeCePutBack = 1051,
    kJobCodeArcPutBack = 1052, // an edited archive member back into its archive
    kJobCodeDropShortcut = 1062,
    kJobCodeChecksums = 1076,
    kJobCodeSumVerify = 1077,
};

// `state` values.
enum : int32_t { kJobGoOn = 0, kJobStop = 2, kJobYesAll = 5, kJobSkip = 7 };

// Messages from a worker to its dialog, and the dialog's command ids.
enum : UINT {
    kMsgJobItemText = WM_USER + 1,   // lParam text
    kMsgJobPairText = WM_USER + 2,   // wParam source, lParam target
    kMsgJobLineText = WM_USER + 3,   // lParam text
    kMsgJobTargetText = WM_USER + 4, // wParam name, lParam text
    kMsgJobAnimation = WM_USER + 5,  // wParam 0 hide, 1 show (a question is up)
    kMsgJobMarkedLine = WM_USER + 6, // wParam mark, lParam text: a log line
};
const int kCmdJobFinished = 99;

// Templates and control ids of the progress dialogs.
enum : int {
    kDlgJobDelete = 10300,
    kDlgJobCopy = 10301,
    kDlgJobLog = 14520,
    kIdJobBar = 10302,
    kIdJobHeading = 10303,
    kIdJobLine1 = 10304,
    kIdJobLine2 = 10305,
    kIdJobAnimation = 10306,
    kIdJobTime = 10307,
    kIdJobTo = 10309,
    kIdJobLogList = 14521,
    kIdMnuSaveAs = 11925,
    kIdMnuCopy = 11930,
};

// Log line marks (list item data).
const LPARAM kLogGrey = -2;
const LPARAM kLogError = -1;

typedef DWORD(WINAPI *JobWorker)(void *job);

// Creates the progress dialog for a copy of `job`; null when it could not
// be made (the worker then never ran).
HWND JobShowDialog(HWND owner, int templateId, const JobRecord *job);
INT_PTR CALLBACK JobDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Worker of a job code and whether the dialog builds a selection list for
// it; null worker = the dialog opens without one.
JobWorker JobWorkerForCode(uint16_t code, bool *needsSelection);
// What the job dialog asks for its worker: JobWorkerForCode, replaced by
// tests that drive a dialog without one.
extern JobWorker (*gJobWorkerLookup)(uint16_t code, bool *needsSelection);
bool JobCodeShowsTime(uint16_t code);

// Progress: add to `done` and move the bar. A null job is ignored.
void JobAddProgress(JobRecord *job, uint32_t n);
void JobAddProgress64(JobRecord *job, const uint64_t *n);
void JobUpdateBar(JobRecord *job);

// Texts from the worker (sent; the dialog copies them). Item and pair texts
// are throttled to one per 10 ms.
void JobItemText(JobRecord *job, const char *text);
void JobPairText(JobRecord *job, const char *source, const char *target);
void JobLineText(JobRecord *job, const char *text);
void JobTargetText(JobRecord *job, const char *name, const char *text);

// The last act of a worker: finished bit, `workers` released, command 99,
// both panels asked to re-read. The record must not be touched afterwards.
void JobFinish(JobRecord *job);
// Marks of handled entries move to the "previous" bit (command 119 brings
// them back); only while the source panel still shows the job's folder.
void JobUnmarkSourceEntry(JobRecord *job, const char *name);
// A worker's skip answer applies to one item only.
inline void JobEndItem(JobRecord *job)
{
    if (job->state == kJobSkip)
        job->state = kJobGoOn;
}
inline bool JobStopped(const JobRecord *job) { return job->cancel || job->state == kJobStop; }
inline bool JobIsStatistics(const JobRecord *job) { return (job->flags & kJobStatistics) != 0; }
// An entry a walk leaves alone: a path too long for the job, or (`link`) a
// link to a folder that copy and move never enter. It reaches the user (a
// line of the statistics log, or a box) and counts as an error of the job.
void JobReportLeftOut(JobRecord *job, const char *path, bool link);

// Selection list of the job's source panel (marked entries, or the cursor
// entry); null when there is none. Freed with free().
void *JobBuildSelection(JobRecord *job);
// Adds the marked entries (or the cursor entry) to `total` and
// `filesSelected`; with `fileBytes` non-zero every entry counts 1.
void JobCountSelection(JobRecord *job);
void JobCountTree(JobRecord *job, const char *folder);
// Counts the entries of a selection list instead of the panel.
void JobCountList(JobRecord *job, const void *selection);

// Full path of a selection record: source location's archive file (when the
// job has one) + source folder + name. StrAppend-style result.
int SelItemFullPath(const SelectionRecord *item, const JobRecord *job, char *out, size_t max);


// Log window of statistics mode.
void JobLogSkipping(HWND dialog, const char *name, const char *text);
void JobLogAppend(HWND window, const char *text);
int JobLogAppendMarked(HWND window, const char *text, LPARAM data);
void JobLogAddMenu(HWND window);
void JobLogCopy(HWND window);
void JobLogSaveAs(HWND window);
void SyncLayout(HWND window);
HBRUSH JobMakeErrorBrush();
void JobFreeErrorBrush();
// One summary line: text id with up to two numbers (thousands separators).
void JobSummaryLine(JobRecord *job, unsigned textId, uint64_t a, uint64_t b, LPARAM mark);

// Shows a question dialog owned by the job's progress dialog, with its
// animation hidden meanwhile. Returns the dialog's end code.
INT_PTR JobAskDialog(JobRecord *job, int templateId, DLGPROC proc, LPARAM data);

// Clock in milliseconds (GetTickCount); a seam for the timer tests.
extern DWORD (*gJobClock)();
// Called after every block of progress; tests use it to act at an exact
// point of a copy. Null in the program.
extern void (*gJobProgressHook)(JobRecord *job);
