// Cursor arithmetic, marking, name matching and carrying marks over, on
// lists installed through the real hand-over.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "panels/KeyTables.h"
#include "panels/PanelCarry.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelNav.h"

namespace {

struct EntryDef {
    const char *name;
    uint16_t flags;
    uint64_t size;
    uint8_t mark;
};

PanelListData Build(const std::vector<EntryDef> &defs) {
    PanelListData d;
    d.entryBlock = (uint8_t *)calloc(1, defs.size() * 340 + 64);
    d.entryIndex = (FileEntry **)calloc(defs.size() + 1, sizeof(FileEntry *));
    uint8_t *p = d.entryBlock;
    for (size_t i = 0; i < defs.size(); i++) {
        FileEntry *e = (FileEntry *)p;
        size_t n = strlen(defs[i].name);
        memcpy(e->name, defs[i].name, n + 1);
        e->length = (uint16_t)(40 + n);
        e->flags = defs[i].flags;
        e->sizeLow = (uint32_t)defs[i].size;
        e->sizeHigh = (uint32_t)(defs[i].size >> 32);
        e->mark = defs[i].mark;
        d.entryIndex[i] = e;
        p += e->length;
    }
    d.entryCount = (uint32_t)defs.size();
    return d;
}

void Install(int panel, const std::vector<EntryDef> &defs) {
    PanelListData d = Build(defs);
    ASSERT_TRUE(PanelListInstall(panel, d, 1000));
    PanelListFree(d);
}

std::string Marks(int panel) {
    std::string s;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        s += (char)('0' + e->mark);
    PanelIterEnd(&it);
    return s;
}

const uint16_t D = kEntryFolder, U = kEntryFolder | kEntryUpDir;

} // namespace

TEST(PanelNav, ClampBringsCursorIntoListAndWindow) {
    struct Case {
        PanelPos in;
        PanelGeom g;
        PanelPos want;
    } cases[] = {
        {{10, 0, 0}, {3, 20, 20, 0, 0, 0}, {2, 0, 0}},     // list shrank to 3
        {{5, 0, 0}, {0, 20, 20, 0, 0, 0}, {0, 0, 0}},      // empty list
        {{2, 50, 9}, {100, 10, 10, 90, 4, 0}, {50, 50, 4}}, // cursor above the window
        {{80, 50, 0}, {100, 10, 10, 90, 0, 0}, {59, 50, 0}},
        {{3, -4, -1}, {100, 10, 10, 90, 0, 0}, {3, 0, 0}},
    };
    for (auto &c : cases) {
        PanelPos p = c.in;
        PanelClampPos(p, c.g);
        EXPECT_EQ(p.cursor, c.want.cursor);
        EXPECT_EQ(p.top, c.want.top);
        EXPECT_EQ(p.scroll, c.want.scroll);
    }
    EXPECT_EQ(PanelColumnFromTop(0, 0), 0);
    EXPECT_EQ(PanelColumnFromTop(25, 10), 3); // the nearer column
    EXPECT_EQ(PanelColumnFromTop(24, 10), 2);
}

TEST(PanelNav, MovesStayInsideTheList) {
    PanelGeom full = {100, 10, 10, 90, 0, 0};
    struct Case {
        PanelPos in;
        PanelMove move;
        PanelPos want;
        bool scrolled;
    } cases[] = {
        {{0, 0, 0}, kMoveUp, {0, 0, 0}, false},
        {{5, 0, 0}, kMoveDown, {6, 0, 0}, false},
        {{9, 0, 0}, kMoveDown, {10, 1, 0}, true},
        {{99, 90, 0}, kMoveDown, {99, 90, 0}, false},
        {{10, 10, 0}, kMoveUp, {9, 9, 0}, true},
        {{15, 10, 0}, kMovePageUp, {0, 0, 0}, true},   // reaches the top: first entry
        {{35, 30, 0}, kMovePageUp, {25, 20, 0}, true},
        {{85, 82, 0}, kMovePageDown, {99, 90, 0}, true}, // reaches the bottom: last entry
        {{40, 30, 0}, kMoveEnd, {99, 90, 0}, true},
        {{40, 30, 0}, kMoveHome, {0, 0, 0}, true},
    };
    for (auto &c : cases) {
        PanelPos p = c.in;
        bool scrolled = PanelApplyMove(p, full, c.move);
        EXPECT_EQ(p.cursor, c.want.cursor) << c.move;
        EXPECT_EQ(p.top, c.want.top) << c.move;
        EXPECT_EQ(scrolled, c.scrolled) << c.move;
    }
    PanelGeom empty = {0, 10, 10, 0, 0, 0};
    PanelPos p = {0, 0, 0};
    PanelApplyMove(p, empty, kMoveEnd);
    EXPECT_EQ(p.cursor, 0);
    // Brief: 3 rows per column, 2 columns visible, 10 entries.
    PanelGeom brief = {10, 3, 6, 4, 2, 1};
    p = {1, 0, 0};
    PanelApplyMove(p, brief, kMoveLeft);
    EXPECT_EQ(p.cursor, 0); // at the left edge Left acts as Home
    p = {4, 0, 0};
    PanelApplyMove(p, brief, kMoveRight);
    EXPECT_EQ(p.cursor, 7);
    EXPECT_EQ(p.top, 3);
    EXPECT_EQ(p.scroll, 1);
    p = {8, 3, 1};
    PanelApplyMove(p, brief, kMoveRight);
    EXPECT_EQ(p.cursor, 9); // past the end Right acts as End
}

TEST(PanelNav, MarkingNeverTouchesUpEntryAndFoldersOnlyWithSelDir) {
    Install(0, {{"..", U, 0, 0}, {"a.txt", 0, 1, 0}, {"B.Txt", 0, 2, 0}, {"c.doc", 0, 3, 0}, {"dir", D, 0, 0}});
    EXPECT_EQ(PanelMarkGroup(0, kMarkSet, false, "*.TXT"), 2u);
    EXPECT_EQ(Marks(0), "01100");
    EXPECT_EQ(PanelMarkGroup(0, kMarkSet, false, "*.TXT"), 0u); // already marked: no change
    EXPECT_EQ(PanelMarkGroup(0, kMarkSet, true, "*"), 2u);
    EXPECT_EQ(Marks(0), "01111");
    PanelMarkGroup(0, kMarkInvert, false, nullptr);
    EXPECT_EQ(Marks(0), "00001");
    PanelMarkGroup(0, kMarkClear, true, nullptr);
    PanelMarkGroup(0, kMarkSet, false, "a*;c*");
    PanelMarkGroup(0, kMarkShiftOut, false, nullptr); // restorable unmark
    EXPECT_EQ(Marks(0), "02020");
    EXPECT_EQ(PanelRestoreMarks(0), 2u);
    EXPECT_EQ(Marks(0), "01010");
    PanelMarkGroup(0, kMarkClear, true, nullptr);
    EXPECT_EQ(PanelMarkRange(0, 3, 0), 3u); // ".." excluded, order of ends free
    EXPECT_EQ(Marks(0), "01110");
    PanelIter it;
    FileEntry *up = PanelIterBegin(&it, 0);
    EXPECT_FALSE(EntryToggleMark(up));
    EXPECT_EQ(up->mark, 0);
    PanelIterEnd(&it);
}

TEST(PanelNav, MaskMatching) {
    struct Case {
        const char *masks, *name;
        bool match;
    } cases[] = {
        {"*.txt", "A.TXT", true}, {"*.txt", "a.txt.bak", false}, {"*.*", "noext", true},
        {"?.c", "x.c", true},     {"?.c", "xy.c", false},        {"*.h; *.cpp", "a.cpp", true},
        {"", "a", false},         {"a*b*c", "aXbYc", true},      {"a*b*c", "aXbY", false},
    };
    for (auto &c : cases)
        EXPECT_EQ(MaskMatchList(c.masks, c.name), c.match) << c.masks << " " << c.name;
}

TEST(PanelNav, QuickSearchAndJump) {
    Install(1, {{"..", U, 0, 0}, {"Readme", 0, 1, 0}, {"rest", 0, 1, 0}, {"Alpha", 0, 1, 0}, {"\xE9t\xE9", 0, 1, 0},
                {"rex", 0, 1, 0}});
    EXPECT_EQ(PanelFindPrefix(1, "RE", 0), 1);
    EXPECT_EQ(PanelFindPrefix(1, "re", 2), 2);
    EXPECT_EQ(PanelFindPrefix(1, "REX", 0), 5);
    EXPECT_EQ(PanelFindPrefix(1, "REQ", 0), -1);
    // Same letter again visits the next one and wraps.
    EXPECT_EQ(PanelJumpTarget(1, 'r', 0), 1);
    EXPECT_EQ(PanelJumpTarget(1, 'r', 1), 2);
    EXPECT_EQ(PanelJumpTarget(1, 'r', 2), 5);
    EXPECT_EQ(PanelJumpTarget(1, 'r', 5), 1);
    // A letter below the cursor's initial starts from the top.
    EXPECT_EQ(PanelJumpTarget(1, 'a', 5), 3);
    // Letters above 127 are found like any other.
    EXPECT_EQ(PanelJumpTarget(1, 0xC9, 0), 4);
    EXPECT_EQ(PanelJumpTarget(1, '.', 3), 0);
    EXPECT_EQ(PanelJumpTarget(1, 'z', 0), -1);
}

TEST(PanelNav, TotalsSubtractTheCountedFolderOffset) {
    Install(0, {{"..", U, 0, 1}, {"d", D, 101, 1}, {"e", D, 0, 0}, {"f", 0, 5, 0}, {"g", 0, 7, 1}});
    PanelMarkTotals t = PanelComputeTotals(0);
    EXPECT_EQ(t.marked, 2u);
    EXPECT_EQ(t.markedBytes, 107u);
    EXPECT_EQ(t.totalBytes, 112u);
    EXPECT_EQ(t.entries, 4u); // ".." is not one of the folder's objects
}

TEST(PanelNav, FormatFromLanguageFileIsChecked) {
    char out[128];
    const char *en = "%s of %s bytes in %u of %lu object(s) selected";
    FormatChecked(out, sizeof out, "%s von %s in %u von %lu", en, "1", "2", 3u, 4ul);
    EXPECT_STREQ(out, "1 von 2 in 3 von 4");
    // A translation that would read more or other arguments is not used.
    const char *bad[] = {"%s %s %s %s", "%n%s", "%s of %s in %u", "%*d", "%s %s %u %lu %s"};
    for (const char *b : bad) {
        FormatChecked(out, sizeof out, b, en, "1", "2", 3u, 4ul);
        EXPECT_STREQ(out, "1 of 2 bytes in 3 of 4 object(s) selected") << b;
    }
}

TEST(PanelCarry, MarksIconsAndFolderSizesFollowTheName) {
    Install(0, {{"..", U, 0, 0}, {"keep", 0, 1, 1}, {"Dir", D, 501, 1}, {"gone", 0, 1, 1}, {"same", 0, 1, 0}});
    {
        PanelIter it;
        for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it))
            e->iconIndex = 7;
        PanelIterEnd(&it);
    }
    PanelListData d = Build({{"..", U, 0, 0}, {"new", 0, 1, 0}, {"Dir", D, 0, 0}, {"KEEP", 0, 1, 0}, {"keep", 0, 9, 0},
                             {"same", D, 0, 0}});
    ASSERT_TRUE(PanelListInstallCarry(0, d, true, true, 1000));
    PanelListFree(d);
    EXPECT_EQ(Marks(0), "001010"); // exact case, same folder bit
    PanelIter it;
    std::vector<uint32_t> icons;
    uint64_t dirSize = 0;
    for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it)) {
        uint32_t icon = e->iconIndex;
        icons.push_back(icon);
        if (!strcmp(EntryName(e), "Dir"))
            dirSize = EntrySize(e);
    }
    PanelIterEnd(&it);
    EXPECT_EQ(dirSize, 501u);
    EXPECT_EQ(icons, (std::vector<uint32_t>{7, 0, 7, 0, 7, 0}));
    // Without keepMarks (another folder) nothing is carried.
    d = Build({{"keep", 0, 1, 0}});
    ASSERT_TRUE(PanelListInstallCarry(0, d, false, true, 1000));
    PanelListFree(d);
    EXPECT_EQ(Marks(0), "0");
}

TEST(KeyTables, LookupAndModifierChoice) {
    EXPECT_EQ(KeyTableFind(kKeysPlain, 0x74)->command, 105); // F5 copy
    EXPECT_EQ(KeyTableFind(kKeysPlain, 0x74)->quickSearch, 1);
    EXPECT_EQ(KeyTableFind(kKeysCtrl, 'U')->command, 307);
    EXPECT_EQ(KeyTableFind(kKeysAlt, 0x70)->command, 518);
    EXPECT_EQ(KeyTableFind(kKeysShift, 'D')->command, 227);
    EXPECT_EQ(KeyTableFind(kKeysPlain, 'U'), nullptr);
    EXPECT_EQ(KeyTableForModifiers(true, true, true), kKeysAlt);
    EXPECT_EQ(KeyTableForModifiers(false, true, true), kKeysCtrl);
    EXPECT_EQ(KeyTableForModifiers(false, false, true), kKeysShift);
    EXPECT_EQ(KeyTableForModifiers(false, false, false), kKeysPlain);
}

TEST(KeyTables, CommandLineWords) {
    uint32_t drives = 1u << 2; // C: only
    struct Case {
        const char *text;
        int code;
    } cases[] = {{"cd ..", 3},  {"CHDIR x", 2}, {"c:", 1},   {"C:  ", 1},      {"d:", 0},  {"dir", 6},
                 {"DIR/w", 0},  {"md x", 5},    {"copy", 9}, {"xcopy a b", 10}, {"cdx", 0}, {"cd\\", 3}};
    for (auto &c : cases)
        EXPECT_EQ(CmdLineClassifyWith(c.text, drives), c.code) << c.text;
    EXPECT_EQ(StrSpanToSeparator("abc.d"), 3);
}

TEST(PanelIter, FolderSizeStoredByNameInTheCurrentList) {
    Install(1, {{"..", U, 0, 0}, {"a", D, 0, 0}, {"b", 0, 5, 0}});
    // The list changed while the count ran: the result still lands by name.
    Install(1, {{"..", U, 0, 0}, {"new", D, 0, 0}, {"a", D, 0, 0}});
    EXPECT_TRUE(PanelStoreFolderSize(1, "a", 4096));
    EXPECT_FALSE(PanelStoreFolderSize(1, "b", 1)); // gone, or a file
    EXPECT_FALSE(PanelStoreFolderSize(1, "..", 1));
    PanelMarkGroup(1, kMarkSet, true, nullptr);
    EXPECT_EQ(PanelComputeTotals(1).markedBytes, 4096u);
    EXPECT_EQ(gPanelLists[1].readerCount.load(), 0);
}
