// The delete worker under Wine: read-only questions with All and Skip, a
// skipped file (and its folders, with their attributes) surviving a tree
// delete, wipe names and the recycle bin.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "AppState.h"
#include "fileops/DeleteJob.h"
#include "fileops/Job.h"
#include "JobTestSupport.h"

namespace {

class DeleteJobTest : public ::testing::Test {
  protected:
    void SetUp() override { JobTestInitApp(); }
};

const char *kReadOnlyQuestion = "Delete";

TEST_F(DeleteJobTest, ReadOnlyAllDeletesEveryReadOnlyFileAfterOneQuestion)
{
    std::string dir = JobTestScratch("del-ro-all");
    for (const char *n : {"a.txt", "b.txt", "c.txt"}) {
        WriteFileBytes(dir + "\\" + n, n);
        SetFileAttributesA((dir + "\\" + n).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    WriteFileBytes(dir + "\\plain.txt", "p");
    JobRecord job = MakeJob(1032, dir, "", kJobInclSubDirs, SelectionOf(dir));
    DialogAnswerer all(kReadOnlyQuestion, {kIdDeleteAll});
    DelJobThread(&job);
    all.Join();
    EXPECT_EQ(1, all.answered());
    EXPECT_TRUE(ListNames(dir).empty());
    EXPECT_EQ(4u, job.filesDone);
    free(job.selection);
}

TEST_F(DeleteJobTest, SkipSurvivesATreeDelete)
{
    std::string dir = JobTestScratch("del-skip");
    CreateDirectoryA((dir + "\\tree").c_str(), nullptr);
    CreateDirectoryA((dir + "\\tree\\sub").c_str(), nullptr);
    WriteFileBytes(dir + "\\tree\\one.txt", "1");
    WriteFileBytes(dir + "\\tree\\sub\\keep.txt", "keep");
    SetFileAttributesA((dir + "\\tree\\sub\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(dir + "\\tree\\sub\\two.txt", "2");
    ASSERT_TRUE(SetFileAttributesA((dir + "\\tree\\sub").c_str(), FILE_ATTRIBUTE_HIDDEN));
    DWORD folderAttributes = GetFileAttributesA((dir + "\\tree\\sub").c_str());
    ASSERT_TRUE(folderAttributes & FILE_ATTRIBUTE_HIDDEN);
    JobRecord job = MakeJob(1032, dir, "", kJobInclSubDirs, SelectionOf(dir));
    DialogAnswerer skip(kReadOnlyQuestion, {kIdDeleteSkip});
    DelJobThread(&job);
    skip.Join();
    EXPECT_EQ(1, skip.answered());
    EXPECT_EQ(0, job.state);
    // The skipped file and the folders that hold it stay; nothing else does.
    EXPECT_EQ("keep", ReadFileBytes(dir + "\\tree\\sub\\keep.txt"));
    EXPECT_FALSE(Exists(dir + "\\tree\\one.txt"));
    EXPECT_FALSE(Exists(dir + "\\tree\\sub\\two.txt"));
    EXPECT_EQ(2u, job.filesDone);
    // The folder that stays keeps its attributes.
    EXPECT_EQ(folderAttributes, GetFileAttributesA((dir + "\\tree\\sub").c_str()));
    free(job.selection);
}

TEST_F(DeleteJobTest, ConfirmationCancelStopsBeforeAnything)
{
    std::string dir = JobTestScratch("del-confirm");
    WriteFileBytes(dir + "\\a.txt", "a");
    WriteFileBytes(dir + "\\b.txt", "b");
    gApp->confirmFlags = kConfirmDelete;
    JobRecord job = MakeJob(1032, dir, "", 0, SelectionOf(dir));
    DialogAnswerer cancel(kReadOnlyQuestion, {IDCANCEL});
    DelJobThread(&job);
    cancel.Join();
    gApp->confirmFlags = 0;
    EXPECT_EQ(kJobStop, job.state);
    EXPECT_EQ(2u, ListNames(dir).size());
    free(job.selection);
}

TEST_F(DeleteJobTest, FolderWithoutSubfoldersOptionStays)
{
    std::string dir = JobTestScratch("del-nosub");
    CreateDirectoryA((dir + "\\keep").c_str(), nullptr);
    WriteFileBytes(dir + "\\keep\\f", "f");
    JobRecord job = MakeJob(1032, dir, "", 0, SelectionOf(dir));
    DelJobThread(&job);
    EXPECT_TRUE(Exists(dir + "\\keep\\f"));
    free(job.selection);
}

TEST_F(DeleteJobTest, WipeOverwritesAndRenames)
{
    std::string dir = JobTestScratch("wipe");
    WriteFileBytes(dir + "\\ab.txt", "secret");
    WriteFileBytes(dir + "\\@@.@@@", "in the way");
    char path[MAX_PATH];
    lstrcpynA(path, (dir + "\\ab.txt").c_str(), sizeof path);
    ASSERT_TRUE(FileWipe(path));
    EXPECT_EQ(dir + "\\@@.@@@1", std::string(path));
    EXPECT_EQ("", ReadFileBytes(path));
    EXPECT_FALSE(Exists(dir + "\\ab.txt"));

    // A wiping delete leaves nothing, not even the renamed file.
    WriteFileBytes(dir + "\\cd.txt", std::string(5000, 's'));
    JobRecord job = MakeJob(1032, dir, "", kJobWipe, SelectionOf(dir, {"cd.txt"}));
    DelJobThread(&job);
    EXPECT_EQ(1u, job.filesDone);
    EXPECT_EQ(2u, ListNames(dir).size());
    free(job.selection);
}

TEST_F(DeleteJobTest, RecycleBinDeleteLandsInTheSandboxTrash)
{
    std::string dir = JobTestScratch("recycle");
    WriteFileBytes(dir + "\\trash-me-7d1.txt", "bin");
    JobRecord job = MakeJob(1032, dir, "", kJobRecycle, SelectionOf(dir));
    DelJobThread(&job);
    EXPECT_EQ(0, job.state);
    EXPECT_FALSE(Exists(dir + "\\trash-me-7d1.txt"));
    EXPECT_EQ(1u, job.filesDone);
    // Wine reaches the host's folders as \\?\unix\...: the sandbox's Trash
    // (the sandbox always sets XDG_DATA_HOME, so the real one is never touched).
    char xdg[MAX_PATH] = "";
    ASSERT_TRUE(GetEnvironmentVariableA("XDG_DATA_HOME", xdg, sizeof xdg) && xdg[0] == '/') << xdg;
    std::string trashed = std::string("\\\\?\\unix") + xdg + "/Trash/files/trash-me-7d1.txt";
    for (char &c : trashed)
        if (c == '/')
            c = '\\';
    EXPECT_EQ("bin", ReadFileBytes(trashed)) << trashed;
    free(job.selection);
}

} // namespace
