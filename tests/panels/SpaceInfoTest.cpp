// The panel information window under Wine: opened on a panel whose list is
// installed as a folder read installs it, its counts read back; marking
// entries and a new list count again by themselves; a folder link is
// counted as a folder and never entered.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "panels/EntryBuild.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/SpaceInfo.h"
#include "tests/fileops-jobs/JobTestSupport.h"
#include "tests/mpaudio/Mp3PlayerWinUtil.h"

namespace {

struct Item {
    std::string name;
    uint64_t size;
    bool folder;
};

void Install(int panel, const std::vector<Item> &items)
{
    PanelListData d;
    d.entryBlock = (uint8_t *)calloc(items.size() + 1, kFileEntryMax);
    d.entryIndex = (FileEntry **)calloc(items.size() + 1, sizeof(FileEntry *));
    uint8_t *p = d.entryBlock;
    for (size_t i = 0; i < items.size(); i++) {
        FileEntry *e = (FileEntry *)p;
        p += FileEntryBuildCase(e, 0x5821, 0, &items[i].size, items[i].folder ? kEntryFolder : 0, items[i].name.c_str(),
                                nullptr, kCaseAsDisk);
        d.entryIndex[i] = e;
    }
    d.entryCount = (uint32_t)items.size();
    ASSERT_TRUE(PanelListInstall(panel, d, 1000));
    PanelListFree(d);
}

std::string Text(HWND d, int id)
{
    char text[100] = "";
    GetDlgItemTextA(d, id, text, sizeof text);
    return text;
}

LRESULT Passes(HWND d) { return SendMessageA(d, kMsgSpacePasses, 0, 0); }

TEST(SpaceInfo, CountsTheCursorEntryOrTheMarkedOnesAndFollowsThePanel)
{
    JobTestInitApp();
    std::string root = JobTestScratch("space-info");
    CreateDirectoryA((root + "\\sub").c_str(), nullptr);
    CreateDirectoryA((root + "\\sub\\deeper").c_str(), nullptr);
    WriteFileBytes(root + "\\sub\\a.bin", std::string(1000, 'a'));
    WriteFileBytes(root + "\\sub\\deeper\\b.bin", std::string(234, 'b'));
    WriteFileBytes(root + "\\top.txt", std::string(50, 't'));
    WriteFileBytes(root + "\\other.txt", std::string(7, 'o'));
    strcpy(gApp->panelPath[0], root.c_str());
    gApp->panelMode[0] = kViewFull;
    Install(0, {{"sub", 0, true}, {"top.txt", 50, false}, {"other.txt", 7, false}});
    gApp->cursorIndex[0] = 0;

    SpaceInfoToggle(nullptr, 0);
    ASSERT_TRUE(gApp->spaceDlg[0]);
    HWND d = *(HWND *)gApp->spaceDlg[0];
    ASSERT_TRUE(IsWindow(d));
    // The cursor entry: the folder, its two files, its one sub-folder.
    ASSERT_TRUE(WaitFor([&] { return Passes(d) >= 1 && Text(d, 11562) == "1,234"; }));
    EXPECT_EQ(Text(d, 11558), "2");
    EXPECT_EQ(Text(d, 11560), "2");

    // Marks: the two files.
    LRESULT before = Passes(d);
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it)) {
        if (!EntryIsFolder(e))
            e->mark = 1;
    }
    PanelIterEnd(&it);
    ASSERT_TRUE(WaitFor([&] { return Passes(d) > before && Text(d, 11562) == "57"; }));
    EXPECT_EQ(Text(d, 11560), "2");
    EXPECT_EQ(Text(d, 11558), "0");

    // A new list (a re-read) with nothing marked and the cursor on a file.
    Install(0, {{"sub", 0, true}, {"other.txt", 7, false}});
    gApp->cursorIndex[0] = 1;
    ASSERT_TRUE(WaitFor([&] { return Text(d, 11562) == "7" && Text(d, 11560) == "1"; }));

    // The same command closes it.
    SpaceInfoToggle(nullptr, 0);
    EXPECT_FALSE(IsWindow(d));
    EXPECT_EQ(gApp->spaceDlg[0], nullptr);
    PanelListData empty;
    ASSERT_TRUE(PanelListInstall(0, empty, 1000));
    PanelListFree(empty);
}

} // namespace
