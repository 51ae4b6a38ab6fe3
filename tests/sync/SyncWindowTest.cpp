// The synchronisation window under Wine, as a user meets it: opened on two
// folders, its list read back, lines deselected, OK pressed, the folders
// checked afterwards. Files go through the Win32 plug and the copy job's
// own file copy.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "AppState.h"
#include "fileops/Job.h"
#include "fileops/SyncWindow.h"
#include "tests/fileops-jobs/JobTestSupport.h"
#include "tests/mpaudio/Mp3PlayerWinUtil.h"

namespace {

// 2024-03-01 10:00:00 local time, plus `minutes`.
FILETIME Stamp(int minutes)
{
    SYSTEMTIME st = {2024, 3, 0, 1, 10, 0, 0, 0};
    FILETIME local, utc;
    SystemTimeToFileTime(&st, &local);
    ULARGE_INTEGER u;
    u.LowPart = local.dwLowDateTime;
    u.HighPart = local.dwHighDateTime;
    u.QuadPart += (ULONGLONG)minutes * 60 * 10000000;
    local.dwLowDateTime = u.LowPart;
    local.dwHighDateTime = u.HighPart;
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

void Put(const std::string &path, const std::string &data, int minutes)
{
    size_t cut = path.rfind('\\');
    CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
    WriteFileBytes(path, data);
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    FILETIME t = Stamp(minutes);
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
}

int64_t WriteMinutes(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d))
        return -1;
    FILETIME base = Stamp(0);
    auto q = [](const FILETIME &f) { return ((int64_t)f.dwHighDateTime << 32) | f.dwLowDateTime; };
    return (q(d.ftLastWriteTime) - q(base)) / (60LL * 10000000);
}

uint32_t State(HWND w) { return (uint32_t)SendMessageA(w, kMsgSyncQuery, 0, 0); }

std::vector<std::string> Lines(HWND w)
{
    HWND list = GetDlgItem(w, 14521);
    std::vector<std::string> out;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char text[1200] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < (LRESULT)sizeof text)
            SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
        out.push_back(text);
    }
    return out;
}

std::multiset<std::string> Listed(HWND w, const std::string &root)
{
    std::multiset<std::string> out;
    for (std::string line : Lines(w)) {
        if (line.empty() || line.find(" files") != std::string::npos || line.find(" directories") != std::string::npos)
            continue;
        for (size_t at; (at = line.find(root)) != std::string::npos;)
            line.replace(at, root.size(), "@");
        out.insert(line);
    }
    return out;
}

int ItemWith(HWND w, const std::string &text)
{
    std::vector<std::string> lines = Lines(w);
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].find(text) != std::string::npos)
            return (int)i;
    }
    return -1;
}

HWND Open(const std::string &left, const std::string &right, uint16_t options)
{
    SyncCompareJob job;
    job.source = left;
    job.target = right;
    job.options = options;
    HWND w = SyncWindowOpen(nullptr, job);
    EXPECT_TRUE(w);
    EXPECT_TRUE(WaitFor([&] { return (State(w) & kSyncStateCompared) != 0; }));
    return w;
}

const uint16_t kBoth = kSyncSubFolders | kSyncBothWays;

TEST(SyncWindow, ListsDifferencesThenCopiesTheChosenLinesBothWays)
{
    JobTestInitApp();
    std::string root = JobTestScratch("sync-window"), L = root + "\\L", R = root + "\\R";
    CreateDirectoryA(L.c_str(), nullptr);
    CreateDirectoryA(R.c_str(), nullptr);
    Put(L + "\\newer-left.txt", "left is newer", 60);
    Put(R + "\\newer-left.txt", "old", 0);
    Put(L + "\\newer-right.txt", "old", 0);
    Put(R + "\\newer-right.txt", "right is newer", 60);
    Put(L + "\\equal.txt", "same", 5);
    Put(R + "\\EQUAL.TXT", "same", 5);
    Put(L + "\\only-left.txt", "L", 0);
    Put(L + "\\kept-back.txt", "deselected", 0);
    Put(R + "\\only-right.txt", "R", 0);
    Put(L + "\\same-time.txt", "longer", 0);
    Put(R + "\\same-time.txt", "short", 0);
    Put(L + "\\Sub Dir\\inner.txt", "inner", 0);
    CreateDirectoryA((R + "\\empty right").c_str(), nullptr);

    HWND w = Open(L, R, kBoth);
    EXPECT_EQ(Listed(w, root), (std::multiset<std::string>{
                                   ">      ... \\newer-left.txt",
                                   "<      ... \\newer-right.txt",
                                   "> +    ... \\only-left.txt",
                                   "> +    ... \\kept-back.txt",
                                   "< +    ... \\only-right.txt",
                                   " !!  @\\L\\same-time.txt  Same time, different size: left as it is.",
                                   "> ++ @\\R\\Sub Dir",
                                   "> +    ... \\Sub Dir\\inner.txt",
                                   "< ++ @\\L\\empty right",
                               }));
    std::vector<std::string> lines = Lines(w);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "6 files");
    EXPECT_EQ(lines.back(), "2 directories");
    // Lines that copy start selected; the conflict and the summary do not.
    HWND list = GetDlgItem(w, 14521);
    EXPECT_GT(SendMessageA(list, LB_GETSEL, ItemWith(w, "only-left"), 0), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETSEL, ItemWith(w, "same-time"), 0), 0);
    int kept = ItemWith(w, "kept-back");
    SendMessageA(list, LB_SETSEL, FALSE, kept);

    SendMessageA(w, WM_COMMAND, 99, 0);
    // Without errors the window closes by itself.
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(w); }));
    EXPECT_EQ(ReadFileBytes(R + "\\newer-left.txt"), "left is newer");
    EXPECT_EQ(ReadFileBytes(L + "\\newer-right.txt"), "right is newer");
    EXPECT_EQ(WriteMinutes(L + "\\newer-right.txt"), 60);
    EXPECT_EQ(WriteMinutes(R + "\\newer-right.txt"), 60);
    EXPECT_EQ(ReadFileBytes(R + "\\only-left.txt"), "L");
    EXPECT_EQ(ReadFileBytes(L + "\\only-right.txt"), "R");
    EXPECT_EQ(ReadFileBytes(R + "\\Sub Dir\\inner.txt"), "inner");
    EXPECT_TRUE(Exists(L + "\\empty right"));
    EXPECT_FALSE(Exists(R + "\\kept-back.txt"));
    EXPECT_EQ(ReadFileBytes(L + "\\same-time.txt"), "longer");
    EXPECT_EQ(ReadFileBytes(R + "\\same-time.txt"), "short");
    // Nothing but the conflict and the deselected file is left to do.
    HWND again = Open(L, R, kBoth);
    EXPECT_EQ(Listed(again, root), (std::multiset<std::string>{
                                       "> +    ... \\kept-back.txt",
                                       " !!  @\\L\\same-time.txt  Same time, different size: left as it is.",
                                   }));
    SendMessageA(again, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(again));
}

// Files on a CD-ROM are all read-only: with the copy-read-only option the
// copies lose the bit, without it they keep it, and a source on another kind
// of drive is never touched.
TEST(SyncWindow, CopiesFromACdRomLoseTheReadOnlyBitWithTheOption)
{
    JobTestInitApp();
    std::string root = JobTestScratch("sync-cdrom"), L = root + "\\L", R = root + "\\R";
    ASSERT_EQ(root[1], ':');
    DriveInfo &drive = gApp->drives[(root[0] & ~0x20) - 'A'];
    DriveInfo saved = drive;
    uint32_t options = gApp->generalOptions;
    struct Case {
        uint16_t kind;
        bool option, readOnlyAfter;
    } cases[] = {
        {kDriveCdRom, true, false},
        {kDriveCdRom, false, true},
        {kDriveFixed, true, true},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string name = "\\disc" + std::to_string(n++) + ".txt";
        CreateDirectoryA(L.c_str(), nullptr);
        CreateDirectoryA(R.c_str(), nullptr);
        Put(L + name, "from the disc", 0);
        SetFileAttributesA((L + name).c_str(), FILE_ATTRIBUTE_READONLY);
        drive.kind = c.kind;
        gApp->generalOptions = c.option ? options | kGenCopyRdOnly : options & ~(uint32_t)kGenCopyRdOnly;
        HWND w = Open(L, R, kSyncSubFolders);
        SendMessageA(w, WM_COMMAND, 99, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(w); }));
        EXPECT_EQ(ReadFileBytes(R + name), "from the disc");
        DWORD a = GetFileAttributesA((R + name).c_str());
        ASSERT_NE(a, INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ((a & FILE_ATTRIBUTE_READONLY) != 0, c.readOnlyAfter) << c.kind << " " << c.option;
        SetFileAttributesA((R + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA((L + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    drive = saved;
    gApp->generalOptions = options;
}

TEST(SyncWindow, AFileThatCannotBeOpenedIsReportedNotEqual)
{
    JobTestInitApp();
    std::string root = JobTestScratch("sync-locked"), L = root + "\\L", R = root + "\\R";
    CreateDirectoryA(L.c_str(), nullptr);
    CreateDirectoryA(R.c_str(), nullptr);
    Put(L + "\\locked.bin", "same bytes", 60);
    Put(R + "\\locked.bin", "same bytes", 0);
    HANDLE lock = CreateFileA((R + "\\locked.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    HWND w = Open(L, R, kBoth | kSyncBinary);
    std::multiset<std::string> listed = Listed(w, root);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed.begin()->rfind(" !!  @\\R\\locked.bin  ", 0), 0u) << *listed.begin();
    CloseHandle(lock);
    SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    // Readable again, the same bytes count as equal.
    HWND again = Open(L, R, kBoth | kSyncBinary);
    EXPECT_TRUE(Listed(again, root).empty());
    SendMessageA(again, WM_COMMAND, IDCANCEL, 0);
}

TEST(SyncWindow, AFailedCopyTurnsItsLineRedAndKeepsTheOldTarget)
{
    JobTestInitApp();
    std::string root = JobTestScratch("sync-fail"), L = root + "\\L", R = root + "\\R";
    CreateDirectoryA(L.c_str(), nullptr);
    CreateDirectoryA(R.c_str(), nullptr);
    Put(L + "\\busy.txt", "new contents", 60);
    Put(R + "\\busy.txt", "old", 0);
    Put(L + "\\free.txt", "copied", 60);
    Put(R + "\\free.txt", "old", 0);
    HWND w = Open(L, R, kBoth);
    HANDLE lock = CreateFileA((R + "\\busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    SendMessageA(w, WM_COMMAND, 99, 0);
    ASSERT_TRUE(WaitFor([&] { return (State(w) & kSyncStateCopied) != 0; }));
    CloseHandle(lock);
    ASSERT_TRUE(IsWindow(w));
    EXPECT_EQ(ReadFileBytes(R + "\\busy.txt"), "old");
    EXPECT_EQ(ReadFileBytes(R + "\\free.txt"), "copied");
    std::vector<std::string> lines = Lines(w);
    EXPECT_EQ(lines.back(), "1 errors occured");
    int busy = ItemWith(w, "busy.txt");
    ASSERT_GE(busy, 0);
    EXPECT_GT(lines[busy].size(), std::string(">      ... \\busy.txt  ").size()) << lines[busy];
    // No temporary file stays beside the target.
    std::vector<std::string> names = ListNames(R);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"busy.txt", "free.txt"}));
    SendMessageA(w, WM_COMMAND, 99, 0);
    EXPECT_FALSE(IsWindow(w));
}

// Presses Cancel once the copy run has passed its first block of the big
// file. Sent, not posted: the copy waits until the window has taken the
// press, however slow the machine, so the cancel lands inside the file.
void CancelInTheMiddle(JobRecord *job)
{
    if (job->done > 0x40000 && job->dialog && IsWindow(job->dialog))
        SendMessageA(job->dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST(SyncWindow, CancelDuringTheCopyStopsAfterTheCurrentFileAndCloses)
{
    JobTestInitApp();
    std::string root = JobTestScratch("sync-cancel"), L = root + "\\L", R = root + "\\R";
    CreateDirectoryA(L.c_str(), nullptr);
    CreateDirectoryA(R.c_str(), nullptr);
    Put(L + "\\a-small.txt", "small", 60);
    Put(L + "\\b-big.bin", std::string(8 << 20, 'B'), 60);
    Put(R + "\\b-big.bin", "the old big file", 0);
    Put(L + "\\c-after.txt", "after", 60);
    HWND w = Open(L, R, kBoth);
    gJobProgressHook = CancelInTheMiddle;
    SendMessageA(w, WM_COMMAND, 99, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(w); }));
    // The run ends after the file it was copying; its temporary file goes.
    std::vector<std::string> expected = {"a-small.txt", "b-big.bin"};
    ASSERT_TRUE(WaitFor([&] {
        std::vector<std::string> names = ListNames(R);
        std::sort(names.begin(), names.end());
        return names == expected;
    }));
    gJobProgressHook = nullptr;
    EXPECT_EQ(ReadFileBytes(R + "\\a-small.txt"), "small");
    EXPECT_EQ(ReadFileBytes(R + "\\b-big.bin"), "the old big file");
    EXPECT_FALSE(Exists(R + "\\c-after.txt"));
}

TEST(SyncWindow, OptionsDialogShowsAndReturnsTheChoices)
{
    JobTestInitApp();
    SyncCompareJob job;
    job.source = "C:\\from here";
    job.target = "D:\\to there";
    SyncDialogData data = {&job, kSyncSubFolders | kSyncBinary};
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgSyncOptions), nullptr, SyncDialogProc,
                                (LPARAM)&data);
    ASSERT_TRUE(d);
    char text[300];
    GetDlgItemTextA(d, kIdSyncLabel, text, sizeof text);
    EXPECT_STREQ(text, "Synchronize C:\\from here with");
    GetDlgItemTextA(d, kIdSyncTarget, text, sizeof text);
    EXPECT_STREQ(text, "D:\\to there");
    EXPECT_EQ(IsDlgButtonChecked(d, 10103), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, kIdSyncBinary), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, kIdSyncBothWays), BST_UNCHECKED);
    SendDlgItemMessageA(d, kIdSyncBothWays, BM_CLICK, 0, 0);
    SendDlgItemMessageA(d, kIdSyncBinary, BM_CLICK, 0, 0);
    SetDlgItemTextA(d, kIdSyncTarget, "E:\\elsewhere");
    SendMessageA(d, WM_COMMAND, 99, 0);
    EXPECT_EQ(data.options, kSyncSubFolders | kSyncBothWays);
    EXPECT_EQ(job.target, "E:\\elsewhere");
    DestroyWindow(d);
}

} // namespace
