// The attributes and dates job under Wine: its worker on real folders (run
// on the test thread), its dialog created under Xvfb and driven by
// messages, and the verification of checksum lists run as a job with the
// progress dialog and its report.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/AttrJob.h"
#include "fileops/AttrRules.h"
#include "fileops/FileTools.h"
#include "fileops/Job.h"
#include "fileops/SumVerify.h"
#include "JobTestSupport.h"
#include "tests/OwnWindow.h"

extern void (*gJobProgressHook)(JobRecord *job);

namespace {

class AttrJobTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        JobTestInitApp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void TearDown() override
    {
        gJobProgressHook = nullptr;
    }
};

uint64_t WriteTime(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d))
        return 0;
    return ((uint64_t)d.ftLastWriteTime.dwHighDateTime << 32) | d.ftLastWriteTime.dwLowDateTime;
}

uint64_t Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME st = {year, month, 0, day, hour, minute, second, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

DWORD Attrs(const std::string &path) { return GetFileAttributesA(path.c_str()); }

TEST_F(AttrJobTest, WorkerSetsBitsAndTimesOnEveryEntryAndRestoresReadOnly)
{
    std::string dir = JobTestScratch("attr-worker");
    for (const char *name : {"plain.txt", "locked.txt", ".profile"})
        WriteFileBytes(dir + "\\" + name, name);
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    WriteFileBytes(dir + "\\sub\\inner.txt", "inner");
    WriteFileBytes(dir + "\\sub\\.hidden-by-name", "x");
    SetFileAttributesA((dir + "\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesA((dir + "\\plain.txt").c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM);

    // Hidden on, archive off; read-only and system indeterminate (unchanged);
    // the modification time to 2001-02-03 04:05:06 UTC, the creation time left.
    JobRecord job = MakeJob(kJobCodeAttributes, dir, "", kAttrInclSubDirs | kAttrChangeDates, SelectionOf(dir));
    job.attrSet = kAttrHidden | kAttrDirectory;  // the directory bit is never set
    job.attrClear = kAttrArchive;
    job.attrCreation = 0;
    const uint64_t when = Utc(2001, 2, 3, 4, 5, 6);
    job.attrWrite = when;
    AttrJobThread(&job);

    struct Expect {
        const char *name;
        DWORD attrs;
    } expect[] = {
        {"plain.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"locked.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},  // read-only back after the times
        {".profile", FILE_ATTRIBUTE_HIDDEN},                              // a leading dot is an ordinary name
        {"sub\\inner.txt", FILE_ATTRIBUTE_HIDDEN},
        {"sub\\.hidden-by-name", FILE_ATTRIBUTE_HIDDEN},
    };
    // Wine reports the archive bit on every file whatever was set: the
    // archive mask is checked where the dialog makes it, not on disk here.
    for (const Expect &e : expect) {
        std::string path = dir + "\\" + e.name;
        EXPECT_EQ(Attrs(path) & 0x07, e.attrs) << e.name;
        EXPECT_EQ(WriteTime(path), when) << e.name;
    }
    DWORD sub = Attrs(dir + "\\sub");
    EXPECT_TRUE(sub & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(sub & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(job.errors, 0u);
    EXPECT_TRUE(job.flags & kJobFinished);
    for (const std::string &n : ListNames(dir))
        SetFileAttributesA((dir + "\\" + n).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(AttrJobTest, WorkerWithoutDatesLeavesTimesAndSubFoldersAlone)
{
    std::string dir = JobTestScratch("attr-nodates");
    WriteFileBytes(dir + "\\a.txt", "a");
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    WriteFileBytes(dir + "\\sub\\b.txt", "b");
    const uint64_t before = WriteTime(dir + "\\a.txt"), inner = WriteTime(dir + "\\sub\\b.txt");
    JobRecord job = MakeJob(kJobCodeAttributes, dir, "", 0, SelectionOf(dir));
    job.attrSet = kAttrReadOnly;
    job.attrWrite = Utc(1999, 1, 1, 0, 0, 0);  // no date flag: not used
    AttrJobThread(&job);
    EXPECT_EQ(Attrs(dir + "\\a.txt") & FILE_ATTRIBUTE_READONLY, (DWORD)FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(WriteTime(dir + "\\a.txt"), before);
    // Without "Include sub directories" the folder's content is not walked.
    EXPECT_EQ(Attrs(dir + "\\sub\\b.txt") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(WriteTime(dir + "\\sub\\b.txt"), inner);
    SetFileAttributesA((dir + "\\a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA((dir + "\\sub").c_str(), FILE_ATTRIBUTE_DIRECTORY);
}

// ---- the dialog ----------------------------------------------------------------

struct DialogRun {
    JobRecord job = {};
    AttrDialogData data = {};
    HWND dialog = nullptr;
    DialogRun(const std::string &dir, const char *name, uint32_t marked, bool folder, uint32_t attributes,
              uint32_t flags)
    {
        lstrcpynA(job.sourceDir, dir.c_str(), sizeof job.sourceDir);
        job.flags = flags;
        data.job = &job;
        data.marked = marked;
        data.subjectIsFolder = folder;
        data.anyFolder = folder;
        data.attributes = attributes;
        lstrcpynA(data.subject, (dir + "\\" + name).c_str(), sizeof data.subject);
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgAttributes), nullptr,
                                    AttrDialogProc, (LPARAM)&data);
    }
    ~DialogRun()
    {
        if (IsWindow(dialog))
            DestroyWindow(dialog);
    }
    std::string Text(int id)
    {
        char text[64] = "";
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }
    UINT Box(int id) { return IsDlgButtonChecked(dialog, id); }
    void Ok() { SendMessageA(dialog, WM_COMMAND, IDOK, 0); }
};

const int kBoxes[5] = {kIdAttrReadOnly, kIdAttrArchive, kIdAttrHidden, kIdAttrSystem, kIdAttrCompressed};

TEST_F(AttrJobTest, DialogForOneFileShowsItsBitsAndTimes)
{
    std::string dir = JobTestScratch("attr-dialog-one");
    WriteFileBytes(dir + "\\one.txt", "1");
    HANDLE h = CreateFileA((dir + "\\one.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    uint64_t when = Utc(2010, 6, 15, 12, 30, 40);
    FILETIME ft = {(DWORD)when, (DWORD)(when >> 32)};
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    DialogRun run(dir, "one.txt", 0, false, kAttrReadOnly | kAttrArchive, kAttrChangeDates);
    ASSERT_TRUE(run.dialog);
    EXPECT_EQ(run.Box(kIdAttrReadOnly), (UINT)BST_CHECKED);
    EXPECT_EQ(run.Box(kIdAttrArchive), (UINT)BST_CHECKED);
    EXPECT_EQ(run.Box(kIdAttrHidden), (UINT)BST_UNCHECKED);
    EXPECT_FALSE(GetWindowLongA(GetDlgItem(run.dialog, kIdAttrFilter), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(run.dialog, kIdAttrInclDirs)));
    // The modification pair shows the file's time in local time.
    EXPECT_EQ(run.Text(kIdAttrWriteDate), LocalDateText(ft));
    EXPECT_EQ(run.Text(kIdAttrWriteTime), LocalTimeText(ft));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(run.dialog, kIdAttrWriteDate)));
    // "Compressed" is offered on NTFS volumes only.
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(run.dialog, kIdAttrCompressed)) != 0, AttrIsNtfsDrive(dir[0]) == 0);

    // Up copies the creation pair into the modification pair, down the other way.
    SetDlgItemTextA(run.dialog, kIdAttrCreateDate, "01.02.2003");
    SetDlgItemTextA(run.dialog, kIdAttrCreateTime, "04:05:06");
    NMUPDOWN ud = {};
    ud.hdr.hwndFrom = GetDlgItem(run.dialog, kIdAttrUpDown);
    ud.hdr.idFrom = kIdAttrUpDown;
    ud.hdr.code = UDN_DELTAPOS;
    ud.iDelta = 1;
    SendMessageA(run.dialog, WM_NOTIFY, kIdAttrUpDown, (LPARAM)&ud);
    EXPECT_EQ(run.Text(kIdAttrWriteDate), "01.02.2003");
    EXPECT_EQ(run.Text(kIdAttrWriteTime), "04:05:06");
    SetDlgItemTextA(run.dialog, kIdAttrWriteDate, "09.09.2009");
    ud.iDelta = -1;
    SendMessageA(run.dialog, WM_NOTIFY, kIdAttrUpDown, (LPARAM)&ud);
    EXPECT_EQ(run.Text(kIdAttrCreateDate), "09.09.2009");

    // OK: unchecked boxes clear, checked set; both pairs as UTC times.
    CheckDlgButton(run.dialog, kIdAttrHidden, BST_CHECKED);
    CheckDlgButton(run.dialog, kIdAttrArchive, BST_UNCHECKED);
    run.Ok();
    EXPECT_EQ(run.job.attrSet, (uint32_t)(kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(run.job.attrClear & (kAttrArchive | kAttrSystem), (uint32_t)(kAttrArchive | kAttrSystem));
    EXPECT_TRUE(run.job.flags & kAttrChangeDates);
    SYSTEMTIME want = {2009, 9, 0, 9, 4, 5, 6, 0};
    FILETIME wl, wu;
    SystemTimeToFileTime(&want, &wl);
    LocalFileTimeToFileTime(&wl, &wu);
    EXPECT_EQ(run.job.attrWrite, ((uint64_t)wu.dwHighDateTime << 32) | wu.dwLowDateTime);
    EXPECT_EQ(run.job.attrCreation, run.job.attrWrite);
}

TEST_F(AttrJobTest, DialogForSeveralEntriesStartsIndeterminate)
{
    std::string dir = JobTestScratch("attr-dialog-many");
    DialogRun run(dir, "x", 3, false, 0, kAttrWithFilter);
    ASSERT_TRUE(run.dialog);
    for (int id : kBoxes)
        EXPECT_EQ(run.Box(id), (UINT)BST_INDETERMINATE) << id;
    EXPECT_EQ(run.Box(kIdAttrWithFilter), (UINT)BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(run.dialog, kIdAttrWriteDate)));  // dates off
    // Boxes left indeterminate change nothing.
    run.Ok();
    EXPECT_EQ(run.job.attrSet, 0u);
    EXPECT_EQ(run.job.attrClear, 0u);
    EXPECT_FALSE(run.job.flags & kAttrChangeDates);
}

// The picker gets the whole eight-word record; what it does on Cancel never
// reaches the fields.
int gPickerAnswer;
DateTimeRecord gPickerSaw;
int FakePicker(HWND, DateTimeRecord *r)
{
    gPickerSaw = *r;
    *r = DateTimeRecord{24, 12, 1999, 23, 59, 58, 5, 31};
    return gPickerAnswer;
}

TEST_F(AttrJobTest, DatePickerWritesFieldsOnlyOnOk)
{
    std::string dir = JobTestScratch("attr-picker");
    DialogRun run(dir, "x", 2, false, 0, kAttrChangeDates);
    ASSERT_TRUE(run.dialog);
    int (*saved)(HWND, DateTimeRecord *) = gAttrDatePicker;
    gAttrDatePicker = FakePicker;
    SetDlgItemTextA(run.dialog, kIdAttrCreateDate, "29.02.2004");
    SetDlgItemTextA(run.dialog, kIdAttrCreateTime, "10:11:12");
    gPickerAnswer = 0;
    SendMessageA(run.dialog, WM_COMMAND, kIdAttrPickCreate, 0);
    EXPECT_EQ(run.Text(kIdAttrCreateDate), "29.02.2004");
    EXPECT_EQ(run.Text(kIdAttrCreateTime), "10:11:12");
    EXPECT_EQ(gPickerSaw.day, 29);
    EXPECT_EQ(gPickerSaw.month, 2);
    EXPECT_EQ(gPickerSaw.year, 2004);
    EXPECT_EQ(gPickerSaw.second, 12);
    EXPECT_EQ(gPickerSaw.daysInMonth, 29);
    gPickerAnswer = 1;
    SendMessageA(run.dialog, WM_COMMAND, kIdAttrPickCreate, 0);
    EXPECT_EQ(run.Text(kIdAttrCreateDate), "24.12.1999");
    EXPECT_EQ(run.Text(kIdAttrCreateTime), "23:59:58");
    // An unreadable pair starts the picker at today's date.
    SetDlgItemTextA(run.dialog, kIdAttrWriteDate, "nonsense");
    gPickerAnswer = 0;
    SendMessageA(run.dialog, WM_COMMAND, kIdAttrPickWrite, 0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(gPickerSaw.year, now.wYear);
    EXPECT_EQ(run.Text(kIdAttrWriteDate), "nonsense");
    gAttrDatePicker = saved;
}

// ---- checksum lists opened from a panel ----------------------------------------------

bool WindowGone(void *w) { return !IsWindow((HWND)w); }
struct ReportWatch {
    HWND found;
};
bool ReportShown(void *c)
{
    ReportWatch *w = (ReportWatch *)c;
    w->found = FindOwnWindow("#32770", "Zq Vandrell");
    return w->found && GetDlgItem(w->found, kIdSumReportText);
}

TEST_F(AttrJobTest, OpeningAChecksumListVerifiesAsAJobWithReport)
{
    std::string dir = JobTestScratch("sum-verify");
    WriteFileBytes(dir + "\\a.txt", "123456789");
    WriteFileBytes(dir + "\\with blank.bin", std::string(300000, 'q'));
    WriteFileBytes(dir + "\\list.sfv", "; Generated by WIN-SFV32 v1.0\r\n; (Compatible: Zq Vandrell)\r\n"
                                       "a.txt CBF43926\r\nwith blank.bin 00000000\r\ngone.txt 12345678\r\n");
    // md5sum's text layout (two blanks) counts too.
    WriteFileBytes(dir + "\\list.md5", "25f9e794323b453885f5181f1b624d0b  a.txt\r\n");
    // Not a list: the caller opens the file as usual.
    EXPECT_EQ(SumVerifyFile(nullptr, (dir + "\\a.txt").c_str()), -1);

    struct Case {
        const char *list;
        const char *lines[3];
        const char *tail;
    } cases[] = {
        {"list.sfv",
         {"a.txt: OK\r\n", "with blank.bin: Wrong CRC\r\n",
          "The system cannot open the specified device or file.\r\ngone.txt: ?\r\n"},
         "2 errors occured"},
        {"list.md5", {"a.txt: OK\r\n", nullptr, nullptr}, "0 errors occured"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(SumVerifyFile(nullptr, (dir + "\\" + c.list).c_str()), 0);
        ReportWatch w = {};
        ASSERT_TRUE(PumpUntil(ReportShown, &w, 30000)) << c.list;
        char text[2048] = "";
        GetDlgItemTextA(w.found, kIdSumReportText, text, sizeof text);
        for (const char *line : c.lines) {
            if (line) {
                EXPECT_NE(strstr(text, line), nullptr) << text;
            }
        }
        EXPECT_NE(strstr(text, c.tail), nullptr) << text;
        HWND job = GetWindow(w.found, GW_OWNER);
        PostMessageA(w.found, WM_COMMAND, IDOK, 0);
        if (job) {
            EXPECT_TRUE(PumpUntil(WindowGone, job, 10000));
        }
        EXPECT_TRUE(PumpUntil(WindowGone, w.found, 10000));
    }
}

BOOL CALLBACK FirstDialogOfThread(HWND w, LPARAM found)
{
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0)
        return TRUE;
    *(HWND *)found = w;
    return FALSE;
}

TEST_F(AttrJobTest, ReportSpeaksTheUsersLanguage)
{
    std::string dir = JobTestScratch("sum-german");
    WriteFileBytes(dir + "\\a.txt", "changed");
    WriteFileBytes(dir + "\\list.md5", "25f9e794323b453885f5181f1b624d0b *a.txt\r\n"
                                       "25f9e794323b453885f5181f1b624d0b *b.txt\r\n");
    const LanguageTable *saved = gApp->langTable;
    gApp->langTable = BuiltinLanguageTables[kBuiltinGerman];
    ASSERT_EQ(SumVerifyFile(nullptr, (dir + "\\list.md5").c_str()), 0);
    ReportWatch w = {};
    bool shown = PumpUntil(ReportShown, &w, 30000);
    gApp->langTable = saved;
    ASSERT_TRUE(shown);
    char text[2048] = "";
    GetDlgItemTextA(w.found, kIdSumReportText, text, sizeof text);
    EXPECT_NE(strstr(text, "a.txt: Falsche CRC\r\n"), nullptr) << text;
    EXPECT_NE(strstr(text, "Datei nicht \xf6" "ffnen.\r\nb.txt: ?\r\n"), nullptr) << text;
    EXPECT_NE(strstr(text, "2 Fehler aufgetreten"), nullptr) << text;
    HWND job = GetWindow(w.found, GW_OWNER);
    PostMessageA(w.found, WM_COMMAND, IDOK, 0);
    if (job) {
        EXPECT_TRUE(PumpUntil(WindowGone, job, 10000));
    }
}

void CancelAtFirstBlock(JobRecord *job)
{
    if (job->jobCode == kJobCodeSumVerify)
        job->cancel = 1;
}

TEST_F(AttrJobTest, CancelledVerificationShowsNoReport)
{
    std::string dir = JobTestScratch("sum-cancel");
    WriteFileBytes(dir + "\\big.bin", std::string(4 << 20, 'b'));
    WriteFileBytes(dir + "\\big.md5", "00000000000000000000000000000000 *big.bin\r\n");
    gJobProgressHook = CancelAtFirstBlock;
    ASSERT_EQ(SumVerifyFile(nullptr, (dir + "\\big.md5").c_str()), 0);
    // The progress dialog is made on this thread at once; it goes away by
    // itself, and no report came up (a report would hold it open).
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FirstDialogOfThread, (LPARAM)&dialog);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(PumpUntil(WindowGone, dialog, 20000));
    HWND report = FindOwnWindow("#32770", "Zq Vandrell");
    EXPECT_EQ(report, nullptr);
    if (report)
        PostMessageA(report, WM_COMMAND, IDOK, 0);
}

} // namespace
