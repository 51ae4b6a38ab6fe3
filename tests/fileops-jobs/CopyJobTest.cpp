// The copy and move worker on real folders under Wine, run directly on the
// test thread (no progress dialog): trees, attributes, times, the same-file
// and into-itself tests, the overwrite question and a cancel mid-file.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "fileops/CaseMask.h"
#include "fileops/CopyJob.h"
#include "fileops/FreeSpace.h"
#include "fileops/Job.h"
#include "panels/DirRead.h"
#include "panels/PanelIter.h"
#include "JobTestSupport.h"

namespace {

struct TreeFile {
    const char *path;
    const char *data;
    DWORD attributes;
};

const TreeFile kTree[] = {
    {"plain.txt", "plain", FILE_ATTRIBUTE_ARCHIVE},
    {"Read Only.TXT", "read only", FILE_ATTRIBUTE_READONLY},
    {"hidden.dat", "hidden", FILE_ATTRIBUTE_HIDDEN},
    {"MiXeD CaSe\\Inner File.Txt", "mixed", FILE_ATTRIBUTE_ARCHIVE},
    {"d1\\d2\\d3\\d4\\d5\\d6\\deep.bin", "deep", FILE_ATTRIBUTE_ARCHIVE},
    {"\xc4rger \xfc" "ber \xdf.txt", "ansi", FILE_ATTRIBUTE_ARCHIVE},
    {"empty", "", FILE_ATTRIBUTE_ARCHIVE},
};

void MakeTree(const std::string &root)
{
    for (const TreeFile &f : kTree) {
        std::string path = root + "\\" + f.path;
        for (size_t i = root.size() + 1; i < path.size(); i++)
            if (path[i] == '\\')
                CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        WriteFileBytes(path, f.data);
        // Distinct, old last-write times, so a copy that drops them shows.
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME t;
        ULARGE_INTEGER v;
        v.QuadPart = 0x01D0000000000000ull + (uint64_t)(&f - kTree) * 10000000ull * 3600;
        t.dwLowDateTime = v.LowPart;
        t.dwHighDateTime = v.HighPart;
        SetFileTime(h, nullptr, nullptr, &t);
        CloseHandle(h);
        SetFileAttributesA(path.c_str(), f.attributes);
    }
}

FILETIME WriteTime(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
    return d.ftLastWriteTime;
}

class CopyJobTest : public ::testing::Test {
  protected:
    void SetUp() override { JobTestInitApp(); }
};

TEST_F(CopyJobTest, CopiesATreeWithContentTimesAndAttributes)
{
    std::string src = JobTestScratch("tree-src"), dst = JobTestScratch("tree-dst");
    MakeTree(src);
    JobRecord job = MakeJob(1029, src, dst, kJobInclSubDirs, SelectionOf(src));
    CopyJobThread(&job);
    EXPECT_EQ(0, job.state);
    EXPECT_EQ(0, job.workers);
    EXPECT_TRUE(job.flags & kJobFinished);
    EXPECT_EQ((uint64_t)(sizeof kTree / sizeof kTree[0]), job.filesDone);
    EXPECT_EQ(job.total, job.done);
    for (const TreeFile &f : kTree) {
        std::string a = src + "\\" + f.path, b = dst + "\\" + f.path;
        EXPECT_EQ(ReadFileBytes(a), ReadFileBytes(b)) << f.path;
        FILETIME ta = WriteTime(a), tb = WriteTime(b);
        EXPECT_EQ(0, CompareFileTime(&ta, &tb)) << f.path;
        EXPECT_EQ(f.attributes & 7, GetFileAttributesA(b.c_str()) & 7) << f.path;
    }
    free(job.selection);
}

TEST_F(CopyJobTest, SameFileIsFoundThroughCaseAndShortNames)
{
    std::string dir = JobTestScratch("same");
    std::string file = dir + "\\Long File Name.txt";
    WriteFileBytes(file, "x");
    WriteFileBytes(dir + "\\other.txt", "x");
    std::string upper = file;
    for (char &c : upper)
        c = (char)CharFoldUpper((unsigned char)c);
    char shortName[MAX_PATH] = "";
    ASSERT_TRUE(GetShortPathNameA(file.c_str(), shortName, sizeof shortName));
    ASSERT_STRNE(file.c_str(), shortName);
    EXPECT_TRUE(PathIsSameFile(file.c_str(), file.c_str()));
    EXPECT_TRUE(PathIsSameFile(file.c_str(), upper.c_str()));
    EXPECT_TRUE(PathIsSameFile(file.c_str(), shortName));
    EXPECT_TRUE(PathIsSameFile(file.c_str(), (dir + "\\.\\sub\\..\\Long File Name.txt").c_str()));
    EXPECT_FALSE(PathIsSameFile(file.c_str(), (dir + "\\other.txt").c_str()));
    EXPECT_FALSE(PathIsSameFile(file.c_str(), (dir + "\\missing.txt").c_str()));
    // Into itself: the case of the prefix does not matter, a sibling with a
    // longer name is not inside.
    std::string lowerDir = dir;
    for (char &c : lowerDir)
        c = (char)CharFoldLower((unsigned char)c);
    EXPECT_TRUE(PathIsInsideFolder(dir.c_str(), (lowerDir + "\\NEW\\deeper").c_str()));
    EXPECT_FALSE(PathIsInsideFolder(dir.c_str(), (dir + "x\\a").c_str()));
}

TEST_F(CopyJobTest, CopyOntoItselfUnderAnotherCaseNeverTouchesTheFile)
{
    std::string dir = JobTestScratch("itself");
    WriteFileBytes(dir + "\\data.txt", "precious");
    std::string target = dir + "\\DATA.TXT";
    for (char &c : target)
        c = (char)CharFoldUpper((unsigned char)c);
    // A move may change the case of a name, but not reach the file through
    // the short name of its folder.
    char shortDir[MAX_PATH] = "";
    ASSERT_TRUE(GetShortPathNameA(dir.c_str(), shortDir, sizeof shortDir));
    ASSERT_STRNE(dir.c_str(), shortDir);
    struct {
        uint16_t code;
        std::string target;
    } cases[] = {{1029, target}, {1030, std::string(shortDir) + "\\data.txt"}};
    for (const auto &c : cases) {
        JobRecord job = MakeJob(c.code, dir, c.target, 0, SelectionOf(dir));
        DialogAnswerer ok("data.txt", {IDOK});
        CopyJobThread(&job);
        ok.Join();
        EXPECT_EQ(1, ok.answered());
        EXPECT_EQ(kJobStop, job.state);
        EXPECT_EQ("precious", ReadFileBytes(dir + "\\data.txt"));
        free(job.selection);
    }
}

TEST_F(CopyJobTest, MoveChangesOnlyTheCase)
{
    std::string dir = JobTestScratch("case-move");
    WriteFileBytes(dir + "\\name.txt", "content");
    JobRecord job = MakeJob(1031, dir, "NAME.TXT", 0, SelectionOf(dir));
    CopyJobThread(&job);
    EXPECT_EQ(0, job.state);
    std::vector<std::string> names = ListNames(dir);
    ASSERT_EQ(1u, names.size());
    EXPECT_EQ("NAME.TXT", names[0]);
    EXPECT_EQ("content", ReadFileBytes(dir + "\\NAME.TXT"));
    free(job.selection);
}

TEST_F(CopyJobTest, CaseMaskRenamesSeveralFiles)
{
    std::string dir = JobTestScratch("case-mask");
    WriteFileBytes(dir + "\\readme.txt", "1");
    WriteFileBytes(dir + "\\notes.md", "2");
    JobRecord job = MakeJob(1031, dir, "<.*", 0, SelectionOf(dir));
    CopyJobThread(&job);
    EXPECT_EQ(0, job.state);
    EXPECT_TRUE(Exists(dir + "\\README.txt"));
    std::vector<std::string> names = ListNames(dir);
    std::sort(names.begin(), names.end());
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ("NOTES.md", names[0]);
    EXPECT_EQ("README.txt", names[1]);
    free(job.selection);

    // "<a*" holds a letter: nothing changes.
    job = MakeJob(1031, dir, "<a*", 0, SelectionOf(dir));
    CopyJobThread(&job);
    EXPECT_EQ(kJobStop, job.state);
    names = ListNames(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ("NOTES.md", names[0]);
    free(job.selection);
}

TEST_F(CopyJobTest, CopyIntoItsOwnSubfolderStops)
{
    std::string dir = JobTestScratch("into-self");
    CreateDirectoryA((dir + "\\a").c_str(), nullptr);
    WriteFileBytes(dir + "\\a\\f.txt", "f");
    std::string target = dir + "\\A\\b"; // other case of the same folder
    for (char &c : target)
        c = (char)CharFoldUpper((unsigned char)c);
    JobRecord job = MakeJob(1029, dir, target, kJobInclSubDirs, SelectionOf(dir, {"a"}));
    DialogAnswerer ok("=a", {IDOK});
    CopyJobThread(&job);
    ok.Join();
    EXPECT_EQ(1, ok.answered());
    EXPECT_EQ(kJobStop, job.state);
    EXPECT_FALSE(Exists(dir + "\\a\\b"));
    free(job.selection);
}

TEST_F(CopyJobTest, OverwriteQuestionAnswers)
{
    std::string src = JobTestScratch("ow-src"), dst = JobTestScratch("ow-dst");
    const char *names[] = {"1.txt", "2.txt", "3.txt", "4.txt"};
    for (const char *n : names) {
        WriteFileBytes(src + "\\" + n, std::string("new ") + n);
        WriteFileBytes(dst + "\\" + n, std::string("old ") + n);
    }
    gApp->confirmFlags = kConfirmCopy;
    const char *caption = "The following file already exists";
    {
        // Overwrite, Skip, then All: the fourth file is not asked for.
        JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src));
        DialogAnswerer answers(caption, {kIdOverwrite, kIdOverwriteSkip, kIdOverwriteAll});
        CopyJobThread(&job);
        answers.Join();
        EXPECT_EQ(3, answers.answered());
        EXPECT_EQ("new 1.txt", ReadFileBytes(dst + "\\1.txt"));
        EXPECT_EQ("old 2.txt", ReadFileBytes(dst + "\\2.txt"));
        EXPECT_EQ("new 3.txt", ReadFileBytes(dst + "\\3.txt"));
        EXPECT_EQ("new 4.txt", ReadFileBytes(dst + "\\4.txt"));
        EXPECT_EQ(job.total, job.done); // a skipped file still moves the bar
        free(job.selection);
    }
    {
        for (const char *n : names)
            WriteFileBytes(dst + "\\" + n, std::string("old ") + n);
        JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src));
        DialogAnswerer answers(caption, {IDCANCEL});
        CopyJobThread(&job);
        answers.Join();
        EXPECT_EQ(kJobStop, job.state);
        for (const char *n : names)
            EXPECT_EQ(std::string("old ") + n, ReadFileBytes(dst + "\\" + n));
        free(job.selection);
    }
    gApp->confirmFlags = 0;
}

TEST_F(CopyJobTest, OverwriteOfAReadOnlyTarget)
{
    std::string src = JobTestScratch("ro-src"), dst = JobTestScratch("ro-dst");
    WriteFileBytes(src + "\\f.txt", "new");
    WriteFileBytes(dst + "\\f.txt", "old");
    SetFileAttributesA((dst + "\\f.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src));
    CopyJobThread(&job);
    EXPECT_EQ(0, job.state);
    EXPECT_EQ("new", ReadFileBytes(dst + "\\f.txt"));
    free(job.selection);
}

// Cancels the job from inside its own progress, at an exact point of the
// file: a watcher thread could come too late on a busy machine.
uint64_t gCancelAfter = 0;
void CancelAtProgress(JobRecord *job)
{
    if (job->done >= gCancelAfter)
        job->cancel = 1;
}

TEST_F(CopyJobTest, CancelMidFileKeepsTheOldTargetAndLeavesNoTemporaryFile)
{
    std::string src = JobTestScratch("cancel-src"), dst = JobTestScratch("cancel-dst");
    std::string big(64 << 20, 'n');
    WriteFileBytes(src + "\\big.bin", big);
    WriteFileBytes(src + "\\fresh.bin", big);
    WriteFileBytes(dst + "\\big.bin", "old content");
    for (const char *name : {"big.bin", "fresh.bin"}) {
        JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src, {name}));
        gCancelAfter = 4 << 20;
        gJobProgressHook = CancelAtProgress;
        CopyJobThread(&job);
        gJobProgressHook = nullptr;
        EXPECT_LT(job.done, (uint64_t)big.size()) << name;
        free(job.selection);
    }
    EXPECT_EQ("old content", ReadFileBytes(dst + "\\big.bin"));
    EXPECT_FALSE(Exists(dst + "\\fresh.bin"));
    std::vector<std::string> left = ListNames(dst);
    ASSERT_EQ(1u, left.size()) << left.back();
    EXPECT_EQ("big.bin", left[0]);
}

// What a panel on the target folder lists: the names of its reader.
std::vector<std::string> PanelNames(const std::string &folder)
{
    DirListing listing = {};
    DirReadOptions options = {};
    std::vector<std::string> names;
    if (DirReadEntriesWith(folder.c_str(), &listing, &options) == 0) {
        for (FileEntry **e = listing.entryIndex; e && *e; e++)
            names.push_back(EntryName(*e));
        DirListingFree(&listing);
    }
    return names;
}

std::string gWatched;
std::vector<std::string> gOnDiskMidCopy, gListedMidCopy;
void ListAtProgress(JobRecord *job)
{
    if (gOnDiskMidCopy.empty() && job->done >= (4u << 20)) {
        gOnDiskMidCopy = ListNames(gWatched);
        gListedMidCopy = PanelNames(gWatched);
    }
}

// A large copy writes under a temporary name beside its target; a panel on
// the target folder lists the file only under its real name, once it is
// complete. A file of the same form that the program does not hold is
// listed like any other.
TEST_F(CopyJobTest, PanelsNeverListTheCopysTemporaryFile)
{
    std::string src = JobTestScratch("tempname-src"), dst = JobTestScratch("tempname-dst");
    WriteFileBytes(src + "\\big.bin", std::string(32 << 20, 't'));
    WriteFileBytes(dst + "\\~zq0001.tmp", "a user's own file");
    JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src, {"big.bin"}));
    gWatched = dst;
    gOnDiskMidCopy.clear();
    gJobProgressHook = ListAtProgress;
    CopyJobThread(&job);
    gJobProgressHook = nullptr;
    free(job.selection);
    EXPECT_EQ(0, job.state);
    ASSERT_EQ(2u, gOnDiskMidCopy.size()) << "the user's file and the temporary one on disk";
    std::vector<std::string> want = {"..", "~zq0001.tmp"};
    EXPECT_EQ(want, gListedMidCopy);
    want = {"..", "big.bin", "~zq0001.tmp"};
    std::vector<std::string> after = PanelNames(dst);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(want, after);
}

TEST_F(CopyJobTest, MoveOnOneDriveMergesIntoAnExistingFolderAndKeepsSkippedFiles)
{
    std::string src = JobTestScratch("merge-src"), dst = JobTestScratch("merge-dst");
    CreateDirectoryA((src + "\\f").c_str(), nullptr);
    CreateDirectoryA((dst + "\\f").c_str(), nullptr);
    WriteFileBytes(src + "\\f\\a.txt", "a");
    WriteFileBytes(src + "\\f\\b.txt", "new b");
    WriteFileBytes(dst + "\\f\\b.txt", "old b");
    gApp->confirmFlags = kConfirmMove;
    JobRecord job = MakeJob(1030, src, dst, kJobInclSubDirs, SelectionOf(src));
    DialogAnswerer skip("The following file already exists", {kIdOverwriteSkip});
    CopyJobThread(&job);
    skip.Join();
    gApp->confirmFlags = 0;
    EXPECT_EQ(0, job.state);
    EXPECT_EQ("a", ReadFileBytes(dst + "\\f\\a.txt"));
    EXPECT_EQ("old b", ReadFileBytes(dst + "\\f\\b.txt"));
    EXPECT_FALSE(Exists(src + "\\f\\a.txt"));
    // The skipped file and its folder stay at the source.
    EXPECT_EQ("new b", ReadFileBytes(src + "\\f\\b.txt"));
    free(job.selection);
}

// The walk reads a target folder once; a file that appears in it later is
// still asked about before it is replaced.
TEST_F(CopyJobTest, TargetThatAppearsDuringTheJobIsAskedAbout)
{
    std::string src = JobTestScratch("late-src"), dst = JobTestScratch("late-dst");
    WriteFileBytes(src + "\\a.txt", "new a");
    WriteFileBytes(src + "\\b.txt", "new b");
    WriteFileBytes(dst + "\\a.txt", "old a");
    gApp->confirmFlags = kConfirmCopy | kConfirmMove;
    for (uint16_t code : {(uint16_t)1029, (uint16_t)1030}) {
        WriteFileBytes(dst + "\\a.txt", "old a");
        DeleteFileA((dst + "\\b.txt").c_str());
        WriteFileBytes(src + "\\a.txt", "new a");
        WriteFileBytes(src + "\\b.txt", "new b");
        JobRecord job = MakeJob(code, src, dst, 0, SelectionOf(src, {"a.txt", "b.txt"}));
        // While a.txt is asked about, b.txt appears in the target.
        DialogAnswerer answers("The following file already exists", {kIdOverwrite, kIdOverwriteSkip},
                               [&](int index) {
                                   if (index == 0)
                                       WriteFileBytes(dst + "\\b.txt", "late b");
                               });
        CopyJobThread(&job);
        answers.Join();
        EXPECT_EQ(2, answers.answered()) << code;
        EXPECT_EQ("new a", ReadFileBytes(dst + "\\a.txt")) << code;
        EXPECT_EQ("late b", ReadFileBytes(dst + "\\b.txt")) << code;
        EXPECT_EQ("new b", ReadFileBytes(src + "\\b.txt")) << code;
        free(job.selection);
    }
    gApp->confirmFlags = 0;
}

// Attributes lifted from an existing target are put back on every path:
// here a disk-full box answered "Yes" (a new disk is in), then "Cancel".
TEST_F(CopyJobTest, LiftedTargetAttributesComeBackAfterADiskFullRetry)
{
    std::string src = JobTestScratch("full-src"), dst = JobTestScratch("full-dst");
    WriteFileBytes(src + "\\full.txt", std::string(5000, 'n'));
    WriteFileBytes(dst + "\\full.txt", "old");
    ASSERT_TRUE(SetFileAttributesA((dst + "\\full.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    DWORD before = GetFileAttributesA((dst + "\\full.txt").c_str());
    SpaceSystem saved = gSpaceSystem;
    gSpaceSystem.hasDiskFreeEx = [] { return 1; };
    gSpaceSystem.getDiskFreeEx = [](const char *, uint64_t *callerFree, uint64_t *total, uint64_t *totalFree) {
        *callerFree = *totalFree = 100;
        *total = 1 << 20;
        return 1;
    };
    JobRecord job = MakeJob(1029, src, dst, 0, SelectionOf(src));
    // The box is captioned with the file's name.
    DialogAnswerer answers("=full.txt", {IDYES, IDCANCEL});
    CopyJobThread(&job);
    answers.Join();
    gSpaceSystem = saved;
    EXPECT_EQ(2, answers.answered());
    EXPECT_EQ("old", ReadFileBytes(dst + "\\full.txt"));
    EXPECT_EQ(before, GetFileAttributesA((dst + "\\full.txt").c_str()));
    SetFileAttributesA((dst + "\\full.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    free(job.selection);
}

// A folder a move cannot empty stays with the attributes it had.
TEST_F(CopyJobTest, FolderAMoveLeavesBehindKeepsItsAttributes)
{
    std::string src = JobTestScratch("keepattr-src"), dst = JobTestScratch("keepattr-dst");
    CreateDirectoryA((src + "\\f").c_str(), nullptr);
    CreateDirectoryA((dst + "\\f").c_str(), nullptr);
    WriteFileBytes(src + "\\f\\a.txt", "a");
    WriteFileBytes(src + "\\f\\b.txt", "new b");
    WriteFileBytes(dst + "\\f\\b.txt", "old b");
    ASSERT_TRUE(SetFileAttributesA((src + "\\f").c_str(), FILE_ATTRIBUTE_HIDDEN));
    DWORD before = GetFileAttributesA((src + "\\f").c_str());
    ASSERT_TRUE(before & FILE_ATTRIBUTE_HIDDEN);
    gApp->confirmFlags = kConfirmMove;
    JobRecord job = MakeJob(1030, src, dst, kJobInclSubDirs, SelectionOf(src));
    DialogAnswerer skip("The following file already exists", {kIdOverwriteSkip});
    CopyJobThread(&job);
    skip.Join();
    gApp->confirmFlags = 0;
    EXPECT_EQ("new b", ReadFileBytes(src + "\\f\\b.txt"));
    EXPECT_EQ(before, GetFileAttributesA((src + "\\f").c_str()));
    free(job.selection);
}

TEST_F(CopyJobTest, RenameMaskTargetsAndNewerOnly)
{
    std::string src = JobTestScratch("mask-src"), dst = JobTestScratch("mask-dst");
    WriteFileBytes(src + "\\report.txt", "r");
    WriteFileBytes(src + "\\old.txt", "o");
    JobRecord job = MakeJob(1029, src, dst + "\\*.bak", 0, SelectionOf(src));
    CopyJobThread(&job);
    EXPECT_EQ(0, job.state);
    EXPECT_EQ("r", ReadFileBytes(dst + "\\report.bak"));
    EXPECT_EQ("o", ReadFileBytes(dst + "\\old.bak"));
    free(job.selection);

    // Newer only: a target with the same stamp and size is skipped, and the
    // bar still advances by its size.
    CopyFileA((src + "\\report.txt").c_str(), (dst + "\\report.txt").c_str(), FALSE);
    WriteFileBytes(dst + "\\marker", "");
    job = MakeJob(1029, src, dst, kJobNewerOnly, SelectionOf(src, {"report.txt"}));
    CopyJobThread(&job);
    EXPECT_EQ(0u, job.filesDone);
    EXPECT_EQ(job.total, job.done);
    free(job.selection);
}

} // namespace
