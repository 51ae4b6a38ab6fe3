// The commands on a panel's list: F5 with marked entries through the copy
// dialog and the job, F8 through the delete dialog, F7 make directory.
#include <windows.h>
#include "tests/OwnWindow.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <thread>

#include "AppState.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/Job.h"
#include "panels/EntryBuild.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "JobTestSupport.h"

namespace {

struct TestEntry {
    const char *name;
    uint16_t flags;
    uint8_t mark;
};

void InstallPanel(int panel, const std::vector<TestEntry> &entries)
{
    PanelListData d;
    size_t blockSize = entries.size() * kFileEntryMax;
    d.entryBlock = (uint8_t *)calloc(1, blockSize + kFileEntrySlack);
    d.entryIndex = (FileEntry **)calloc(entries.size() + 1, sizeof(FileEntry *));
    uint8_t *at = d.entryBlock;
    for (size_t i = 0; i < entries.size(); i++) {
        FileEntry *fe = (FileEntry *)at;
        uint64_t size = 1;
        uint32_t len = FileEntryBuildCase(fe, 0x5021, 0, &size, entries[i].flags, entries[i].name, nullptr, 0);
        fe->mark = entries[i].mark;
        d.entryIndex[i] = fe;
        at += len;
    }
    d.entryCount = (uint32_t)entries.size();
    ASSERT_TRUE(PanelListInstall(panel, d, 1000));
    PanelListFree(d);
}

uint8_t MarkOf(int panel, const char *name)
{
    PanelIter it;
    uint8_t mark = 0xFF;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if (!strcmp(EntryName(e), name))
            mark = e->mark;
    PanelIterEnd(&it);
    return mark;
}

struct Files {
    std::vector<std::string> paths;
    bool present;
};
bool FilesAre(void *c)
{
    Files *f = (Files *)c;
    for (const std::string &p : f->paths)
        if (Exists(p) != f->present)
            return false;
    return true;
}

class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override { JobTestInitApp(); }
};

TEST_F(CommandTest, CopyMarkedEntriesThroughTheDialog)
{
    std::string src = JobTestScratch("cmd-src"), dst = JobTestScratch("cmd-dst");
    WriteFileBytes(src + "\\a.txt", "a");
    WriteFileBytes(src + "\\b.txt", "b");
    WriteFileBytes(src + "\\c.txt", "c");
    strcpy(gApp->panelPath[0], src.c_str());
    strcpy(gApp->panelPath[1], dst.c_str());
    gApp->activePanel = 0;
    // The unrelated bits of the option word must not reach the job.
    gApp->generalOptions = 0x10 | 0x80000000u;
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"a.txt", 0x20, 1}, {"b.txt", 0x20, 0}, {"c.txt", 0x20, 1}});
    DialogAnswerer ok(" Copy", {99});
    CopyCommand(nullptr, kJobCodeCopy);
    ok.Join();
    EXPECT_EQ(1, ok.answered());
    Files want = {{dst + "\\a.txt", dst + "\\c.txt"}, true};
    EXPECT_TRUE(PumpUntil(FilesAre, &want, 10000));
    PumpFor(1500); // let the job finish and its dialog close
    EXPECT_FALSE(Exists(dst + "\\b.txt"));
    EXPECT_EQ("c", ReadFileBytes(dst + "\\c.txt"));
    // Handled entries keep their mark only as the "previous" bit.
    EXPECT_EQ(2, MarkOf(0, "a.txt"));
    EXPECT_EQ(0, MarkOf(0, "b.txt"));
    EXPECT_EQ(2, MarkOf(0, "c.txt"));
    EXPECT_EQ(0x10u | 0x80000000u, gApp->generalOptions & (0x10u | 0x80000000u));
}

TEST_F(CommandTest, DeleteCursorEntryAndMakeDirectory)
{
    std::string dir = JobTestScratch("cmd-del");
    WriteFileBytes(dir + "\\gone.txt", "x");
    WriteFileBytes(dir + "\\stays.txt", "x");
    strcpy(gApp->panelPath[1], dir.c_str());
    gApp->activePanel = 1;
    gApp->cursorIndex[1] = 1;
    InstallPanel(1, {{"..", kEntryFolder | kEntryUpDir, 0}, {"gone.txt", 0x20, 0}, {"stays.txt", 0x20, 0}});
    DialogAnswerer ok(" Delete", {99});
    DelCommand(nullptr);
    ok.Join();
    Files gone = {{dir + "\\gone.txt"}, false};
    EXPECT_TRUE(PumpUntil(FilesAre, &gone, 10000));
    PumpFor(1200);
    EXPECT_TRUE(Exists(dir + "\\stays.txt"));

    // The cursor on ".." with nothing marked: nothing happens.
    gApp->cursorIndex[1] = 0;
    DelCommand(nullptr);
    EXPECT_TRUE(Exists(dir + "\\stays.txt"));

    // F7 "x\y" makes both folders.
    std::thread typist([] {
        for (int i = 0; i < 300; i++) {
            HWND d = FindOwnWindow("#32770", " Make Directory");
            if (d && IsWindowVisible(d)) {
                SetDlgItemTextA(d, kIdMakeDirEdit, "x\\y");
                PostMessageA(d, WM_COMMAND, 99, 0);
                return;
            }
            Sleep(20);
        }
    });
    MakeDirCommand(nullptr);
    typist.join();
    EXPECT_TRUE(GetFileAttributesA((dir + "\\x\\y").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(Exists(dir + "\\x\\y"));
}

} // namespace

namespace {

TEST_F(CommandTest, InPlaceRenameFinishes)
{
    std::string dir = JobTestScratch("inline");
    WriteFileBytes(dir + "\\old.txt", "old");
    WriteFileBytes(dir + "\\taken.txt", "taken");
    strcpy(gApp->panelPath[0], dir.c_str());
    gApp->activePanel = 0;
    gApp->cursorIndex[0] = 1;
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"old.txt", 0x20, 0}, {"taken.txt", 0x20, 0}});
    auto finish = [&](const char *text) {
        gApp->renameEdit = CreateWindowA("EDIT", text, WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                         GetModuleHandleA(nullptr), nullptr);
        RenameInlineFinish();
        EXPECT_EQ(nullptr, gApp->renameEdit);
    };
    finish("new.txt");
    EXPECT_EQ("old", ReadFileBytes(dir + "\\new.txt"));
    EXPECT_FALSE(Exists(dir + "\\old.txt"));

    // Onto an existing file: Skip keeps both.
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"new.txt", 0x20, 0}, {"taken.txt", 0x20, 0}});
    {
        DialogAnswerer skip("The following file already exists", {kIdOverwriteSkip});
        finish("taken.txt");
        skip.Join();
        EXPECT_EQ(1, skip.answered());
    }
    EXPECT_EQ("old", ReadFileBytes(dir + "\\new.txt"));
    EXPECT_EQ("taken", ReadFileBytes(dir + "\\taken.txt"));

    // A case mask changes only the case.
    finish("<");
    std::vector<std::string> names = ListNames(dir);
    std::sort(names.begin(), names.end());
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ("NEW.TXT", names[0]);
}

} // namespace

namespace {

TEST_F(CommandTest, RenameCursorEntryThroughTheDialog)
{
    std::string dir = JobTestScratch("cmd-rename");
    WriteFileBytes(dir + "\\before.txt", "content");
    strcpy(gApp->panelPath[0], dir.c_str());
    strcpy(gApp->panelPath[1], dir.c_str());
    gApp->activePanel = 0;
    gApp->cursorIndex[0] = 1;
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"before.txt", 0x20, 0}});
    std::thread typist([] {
        for (int i = 0; i < 300; i++) {
            HWND d = FindOwnWindow("#32770", " Rename ");
            if (d && IsWindowVisible(d)) {
                char shown[300] = "";
                GetDlgItemTextA(d, kIdCopyTarget, shown, sizeof shown);
                EXPECT_STREQ("before.txt", shown);
                SetDlgItemTextA(d, kIdCopyTarget, "after.txt");
                PostMessageA(d, WM_COMMAND, 99, 0);
                return;
            }
            Sleep(20);
        }
    });
    CopyCommand(nullptr, kJobCodeRename);
    typist.join();
    Files want = {{dir + "\\after.txt"}, true};
    EXPECT_TRUE(PumpUntil(FilesAre, &want, 10000));
    PumpFor(1200);
    EXPECT_FALSE(Exists(dir + "\\before.txt"));
    EXPECT_EQ("content", ReadFileBytes(dir + "\\after.txt"));
}

} // namespace
