// The progress dialog under Xvfb: hidden for 800 ms (longer while an error
// box is open), the bar, the time line, the statistics log with Copy and
// Save as, and a whole copy job run through the dialog and its worker.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "JobTestSupport.h"

extern BOOL(WINAPI *gJobLogSaveName)(OPENFILENAMEA *);

namespace {

class JobDialogTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        JobTestInitApp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
    }
};

JobRecord *RecordOf(HWND dialog) { return (JobRecord *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

bool WindowGone(void *w) { return !IsWindow((HWND)w); }
bool WindowShown(void *w) { return IsWindowVisible((HWND)w) != 0; }

TEST_F(JobDialogTest, StaysHiddenFor800MsAndWhileAnErrorBoxIsOpen)
{
    JobRecord job = {};
    job.jobCode = 1037; // no worker
    HWND dialog = JobShowDialog(nullptr, kDlgJobDelete, &job);
    ASSERT_TRUE(dialog);
    PumpFor(500);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(PumpUntil(WindowShown, dialog, 1500));

    HWND second = JobShowDialog(nullptr, kDlgJobDelete, &job);
    InterlockedIncrement(&gErrorBoxDepth);
    PumpFor(1300);
    EXPECT_FALSE(IsWindowVisible(second));
    InterlockedDecrement(&gErrorBoxDepth);
    EXPECT_TRUE(PumpUntil(WindowShown, second, 1200));

    for (HWND d : {dialog, second}) {
        PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(PumpUntil(WindowGone, d, 2000));
    }
}

TEST_F(JobDialogTest, BarMovesInSixtyFourSteps)
{
    JobRecord job = {};
    job.jobCode = 1037;
    HWND dialog = JobShowDialog(nullptr, kDlgJobCopy, &job);
    ASSERT_TRUE(dialog);
    JobRecord *rec = RecordOf(dialog);
    HWND bar = GetDlgItem(dialog, kIdJobBar);
    // Total 0: the bar never moves.
    JobAddProgress(rec, 50);
    PumpFor(50);
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    rec->done = 0;
    rec->total = 100;
    JobAddProgress(rec, 50);
    PumpFor(50);
    EXPECT_EQ(32, SendMessageA(bar, PBM_GETPOS, 0, 0));
    JobAddProgress(rec, 1);
    EXPECT_EQ(32u, rec->barPos);
    // Sizes past 4 GB add up.
    rec->done = 0;
    rec->total = 6000000000ull;
    uint64_t chunk = 4500000000ull;
    JobAddProgress64(rec, &chunk);
    PumpFor(50);
    EXPECT_EQ(48, SendMessageA(bar, PBM_GETPOS, 0, 0));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 2000));
}

DWORD gFakeNow;
DWORD FakeClock() { return gFakeNow; }

TEST_F(JobDialogTest, TimeLineShowsRemainingTimeAndSpeed)
{
    JobRecord job = {};
    job.jobCode = 1062; // a code with a time line; its worker is left out here
    auto noWorker = [](uint16_t, bool *needsSelection) -> JobWorker {
        *needsSelection = false;
        return nullptr;
    };
    gJobWorkerLookup = noWorker;
    HWND dialog = JobShowDialog(nullptr, kDlgJobCopy, &job);
    gJobWorkerLookup = JobWorkerForCode;
    ASSERT_TRUE(dialog);
    JobRecord *rec = RecordOf(dialog);
    DWORD (*saved)() = gJobClock;
    gJobClock = FakeClock;
    gFakeNow = 1000;
    rec->startClock = 1000;
    rec->total = 100 * 1024;
    rec->done = 25 * 1024;
    gFakeNow = 31000;
    // An error box keeps the dialog hidden meanwhile: the time line still
    // comes (its timer is not restarted by each look at whether to show).
    InterlockedIncrement(&gErrorBoxDepth);
    char text[100] = "";
    DWORD start = GetTickCount();
    while (!text[0] && GetTickCount() - start < 20000) {
        PumpFor(100);
        GetDlgItemTextA(dialog, kIdJobTime, text, sizeof text);
    }
    InterlockedDecrement(&gErrorBoxDepth);
    gJobClock = saved;
    EXPECT_STREQ("01:30  (0.83 KB/s)", text);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 2000));
}

std::string gSavedName;
BOOL WINAPI FakeSaveName(OPENFILENAMEA *ofn)
{
    lstrcpynA(ofn->lpstrFile, gSavedName.c_str(), ofn->nMaxFile);
    return TRUE;
}

std::string ClipboardText(HWND owner)
{
    std::string text;
    if (!OpenClipboard(owner))
        return "<no clipboard>";
    HANDLE h = GetClipboardData(CF_TEXT);
    if (h) {
        text = (const char *)GlobalLock(h);
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

TEST_F(JobDialogTest, StatisticsLogCopySaveAndClose)
{
    JobRecord job = {};
    job.jobCode = 1037;
    job.flags = kJobStatistics;
    HWND dialog = JobShowDialog(nullptr, kDlgJobDelete, &job);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(IsWindowVisible(dialog)); // statistics windows show at once
    SendMessageA(dialog, kMsgJobItemText, 0, (LPARAM) "C:\\x\\one.txt");
    SendMessageA(dialog, kMsgJobPairText, (WPARAM) "C:\\x\\skipped.txt", (LPARAM) "");
    SendMessageA(dialog, kMsgJobMarkedLine, (WPARAM)kLogError, (LPARAM) "1 errors occured");
    HWND list = GetDlgItem(dialog, kIdJobLogList);
    ASSERT_EQ(3, SendMessageA(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(kLogGrey, (LPARAM)SendMessageA(list, LB_GETITEMDATA, 1, 0));
    EXPECT_EQ(kLogError, (LPARAM)SendMessageA(list, LB_GETITEMDATA, 2, 0));

    const char *expected = "C:\\x\\one.txt\r\nSkipping: C:\\x\\skipped.txt\r\n1 errors occured\r\n";
    SendMessageA(dialog, WM_COMMAND, kIdMnuCopy, 0);
    EXPECT_EQ(expected, ClipboardText(dialog));

    std::string dir = JobTestScratch("log");
    gSavedName = dir + "\\log.txt";
    BOOL(WINAPI * saved)(OPENFILENAMEA *) = gJobLogSaveName;
    gJobLogSaveName = FakeSaveName;
    SendMessageA(dialog, WM_SYSCOMMAND, kIdMnuSaveAs, 0);
    gJobLogSaveName = saved;
    EXPECT_EQ(expected, ReadFileBytes(gSavedName));
    PumpFor(100);

    // The finished worker leaves the window open; its Cancel turns into Close.
    RecordOf(dialog)->flags |= kJobFinished;
    SendMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(GetDlgItem(dialog, IDCANCEL));
    HWND close = GetDlgItem(dialog, kCmdJobFinished);
    ASSERT_TRUE(close);
    char caption[40] = "";
    GetWindowTextA(close, caption, sizeof caption);
    EXPECT_STREQ("Close", caption);
    PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 2000));
}

TEST_F(JobDialogTest, CopyJobThroughTheDialogAndItsWorker)
{
    std::string src = JobTestScratch("dlg-src"), dst = JobTestScratch("dlg-dst");
    for (int i = 0; i < 30; i++)
        WriteFileBytes(src + "\\f" + std::to_string(i), std::string(100000 + i, 'x'));
    JobRecord job = MakeJob(1029, src, dst, kJobInclSubDirs, SelectionOf(src));
    job.workers = 0;
    HWND dialog = JobShowDialog(nullptr, kDlgJobCopy, &job);
    ASSERT_TRUE(dialog);
    // The worker ends the dialog itself; the selection is freed with it.
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 30000));
    EXPECT_EQ(30u, ListNames(dst).size());
    for (int i = 0; i < 30; i += 7)
        EXPECT_EQ(100000u + i, ReadFileBytes(dst + "\\f" + std::to_string(i)).size());
}

TEST_F(JobDialogTest, CancelEndsAJobAtOnceWithoutAnyWorkerLeft)
{
    std::string src = JobTestScratch("dlg-cancel-src"), dst = JobTestScratch("dlg-cancel-dst");
    WriteFileBytes(src + "\\big", std::string(96 << 20, 'b'));
    JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src));
    job.workers = 0;
    HWND dialog = JobShowDialog(nullptr, kDlgJobCopy, &job);
    ASSERT_TRUE(dialog);
    PumpFor(150);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 20000));
    std::vector<std::string> left = ListNames(dst);
    // Either the whole file made it before the cancel, or nothing did.
    if (!left.empty()) {
        ASSERT_EQ(1u, left.size());
        EXPECT_EQ((size_t)96 << 20, ReadFileBytes(dst + "\\big").size());
    }
}

} // namespace

namespace {

struct LogWatch {
    HWND dialog;
};
bool CloseShown(void *c)
{
    HWND d = ((LogWatch *)c)->dialog;
    return !IsWindow(d) || GetDlgItem(d, kCmdJobFinished) != nullptr;
}

TEST_F(JobDialogTest, StatisticsCopyEndsWithItsSummary)
{
    std::string src = JobTestScratch("stat-src"), dst = JobTestScratch("stat-dst");
    WriteFileBytes(src + "\\one.txt", std::string(1500, '1'));
    WriteFileBytes(src + "\\two.txt", std::string(2500, '2'));
    JobRecord job = MakeJob(kJobCodeCopy, src, dst, kJobStatistics, SelectionOf(src));
    job.workers = 0;
    HWND dialog = JobShowDialog(nullptr, kDlgJobCopy, &job);
    ASSERT_TRUE(dialog);
    LogWatch w = {dialog};
    ASSERT_TRUE(PumpUntil(CloseShown, &w, 20000));
    ASSERT_TRUE(IsWindow(dialog)); // the log stays until the user closes it
    HWND list = GetDlgItem(dialog, kIdJobLogList);
    std::string all;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char line[600] = "";
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)line);
        all += line;
        all += "\n";
    }
    EXPECT_NE(std::string::npos, all.find("2 files copied\n")) << all;
    EXPECT_NE(std::string::npos, all.find("4,000 bytes\n")) << all;
    EXPECT_EQ(std::string::npos, all.find("errors")) << all;
    PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 2000));
}

} // namespace

namespace {

// Workers that end at once, many dialogs in a row: the record and its
// selection must outlive every worker (run under Wine's heap checks this
// shows as a crash or a stuck dialog when the order is wrong).
TEST_F(JobDialogTest, InstantWorkersNeverOutrunTheirDialog)
{
    std::vector<HWND> dialogs;
    for (int i = 0; i < 25; i++) {
        SelectionBuilder b;
        SelListAppend(&b, "..", 0, 0, 0, kEntryFolder | kEntryUpDir, 0);
        JobRecord job = {};
        job.jobCode = i % 2 ? kJobCodeDelete : kJobCodeCopy;
        job.selection = SelListRelease(&b);
        dialogs.push_back(JobShowDialog(nullptr, i % 2 ? kDlgJobDelete : kDlgJobCopy, &job));
        ASSERT_TRUE(dialogs.back());
    }
    for (HWND d : dialogs)
        EXPECT_TRUE(PumpUntil(WindowGone, d, 5000));
}

} // namespace
