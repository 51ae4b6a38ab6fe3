// Comparing the two panels: which entries each side marks, for lists
// installed the way a folder read installs them.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "panels/EntryBuild.h"
#include "panels/PanelCompare.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"

namespace {

struct Item {
    const char *name;
    int seconds; // after 2024-03-01 10:00:00
    uint64_t size;
    bool folder;
};

uint16_t Date(int s) { return DosDateMake(1, 3, 2024); }
uint16_t Time(int s) { return DosTimeMake(10 + s / 3600, s / 60 % 60, s % 60); }

void Install(int panel, const std::vector<Item> &items, bool upDir)
{
    PanelListData d;
    size_t n = items.size() + 1;
    d.entryBlock = (uint8_t *)calloc(n, kFileEntryMax);
    d.entryIndex = (FileEntry **)calloc(n + 1, sizeof(FileEntry *));
    uint8_t *p = d.entryBlock;
    uint32_t k = 0;
    if (upDir) {
        FileEntry *e = (FileEntry *)p;
        uint64_t zero = 0;
        p += FileEntryBuildCase(e, 0, 0, &zero, kEntryFolder | kEntryUpDir, "..", nullptr, kCaseAsDisk);
        d.entryIndex[k++] = e;
    }
    for (const Item &it : items) {
        FileEntry *e = (FileEntry *)p;
        p += FileEntryBuildCase(e, Date(it.seconds), Time(it.seconds), &it.size, it.folder ? kEntryFolder : 0, it.name,
                                nullptr, kCaseAsDisk);
        d.entryIndex[k++] = e;
    }
    d.entryCount = k;
    ASSERT_TRUE(PanelListInstall(panel, d, 1000));
    PanelListFree(d);
}

std::set<std::string> Marked(int panel)
{
    std::set<std::string> out;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (e->mark & 1)
            out.insert(EntryName(e));
    }
    PanelIterEnd(&it);
    return out;
}

TEST(PanelCompare, MarksWhatTheOtherSideLacks)
{
    const std::vector<Item> left = {
        {"only-left", 0, 1, false},   {"kind", 0, 1, false},      {"both-dirs", 0, 0, true},
        {"newer-left", 60, 5, false}, {"newer-right", 0, 5, false}, {"same-time", 0, 10, false},
        {"equal", 0, 7, false},       {"CaseName", 0, 3, false},  {"tolerance", 4, 3, false},
        {"minute", 58, 3, false},     {"only-left-dir", 0, 0, true},
    };
    const std::vector<Item> right = {
        {"only-right", 0, 1, false},  {"kind", 0, 0, true},       {"both-dirs", 0, 0, true},
        {"newer-left", 0, 5, false},  {"newer-right", 60, 5, false}, {"same-time", 0, 11, false},
        {"equal", 0, 7, false},       {"casename", 0, 3, false},  {"tolerance", 0, 3, false},
        {"minute", 60, 3, false},
    };
    struct Case {
        bool markNewer;
        std::set<std::string> left, right;
    } cases[] = {
        {false,
         {"only-left", "kind", "newer-left", "newer-right", "same-time", "only-left-dir"},
         {"only-right", "kind", "newer-left", "newer-right", "same-time"}},
        {true,
         {"only-left", "kind", "newer-left", "same-time", "only-left-dir"},
         {"only-right", "kind", "newer-right", "same-time"}},
    };
    for (const Case &c : cases) {
        Install(0, left, true);
        Install(1, right, true);
        uint32_t a = PanelsCompareMark(0, 1, c.markNewer);
        uint32_t b = PanelsCompareMark(1, 0, c.markNewer);
        EXPECT_EQ(Marked(0), c.left) << c.markNewer;
        EXPECT_EQ(Marked(1), c.right) << c.markNewer;
        EXPECT_EQ(a, c.left.size());
        EXPECT_EQ(b, c.right.size());
    }
}

TEST(PanelCompare, OldMarksAreClearedAndLargeListsMatchEveryName)
{
    const int n = 30000;
    std::vector<std::string> names;
    std::vector<Item> left, right;
    names.reserve(n);
    for (int i = 0; i < n; i++)
        names.push_back("file" + std::to_string(i));
    for (int i = 0; i < n; i++) {
        left.push_back({names[i].c_str(), 0, (uint64_t)i, false});
        // The other side in reverse order; every 1000th differs in size.
        int j = n - 1 - i;
        right.push_back({names[j].c_str(), 0, (uint64_t)j + (j % 1000 == 0), false});
    }
    Install(0, left, false);
    Install(1, right, false);
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it))
        e->mark = 1;
    PanelIterEnd(&it);
    EXPECT_EQ(PanelsCompareMark(0, 1, false), (uint32_t)(n / 1000));
    EXPECT_EQ(PanelsCompareMark(1, 0, false), (uint32_t)(n / 1000));
    EXPECT_EQ(Marked(0), Marked(1));
    EXPECT_EQ(Marked(0).count("file1000"), 1u);
    PanelListData empty;
    ASSERT_TRUE(PanelListInstall(0, empty, 1000));
    PanelListFree(empty);
    ASSERT_TRUE(PanelListInstall(1, empty, 1000));
    PanelListFree(empty);
}

} // namespace
