#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "app/bars/BarLayout.h"
#include "base/SettingsValues.h"

TEST(DriveBarLayout, TwelveDrivesIn300PixelsWrapAfterSeven) {
    uint16_t kinds[kDriveCount] = {};
    for (int i = 0; i < 12; i++)
        kinds[2 + i] = 2; // C: to N:
    uint16_t xs[kDriveCount], ys[kDriveCount];
    int height = DriveBarPlace(kinds, 300, xs, ys);
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(xs[2 + i], 2 + 40 * i) << i;
        EXPECT_EQ(ys[2 + i], 2) << i;
    }
    EXPECT_EQ(xs[8], 242);
    EXPECT_EQ(xs[9], 2);
    EXPECT_EQ(ys[9], 18);
    EXPECT_EQ(height, 36);
    EXPECT_EQ(xs[0], 0) << "absent entries get no place";
}

TEST(DriveBarLayout, HeightsAndSpans) {
    uint16_t kinds[kDriveCount] = {};
    uint16_t xs[kDriveCount], ys[kDriveCount];
    EXPECT_EQ(DriveBarPlace(kinds, 600, xs, ys), 20);
    kinds[2] = 2;
    kinds[26] = 10;
    kinds[37] = 9;
    EXPECT_EQ(DriveBarPlace(kinds, 600, xs, ys), 20);
    EXPECT_EQ(xs[26], 42);
    EXPECT_EQ(xs[37], 82);
    // A bar narrower than one button still puts one button per row.
    EXPECT_EQ(DriveBarPlace(kinds, 10, xs, ys), 2 + 2 * 16 + 18);
    EXPECT_EQ(xs[37], 2);

    int x, w;
    DriveBarSpan(0, 1, 601, &x, &w);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(w, 601);
    DriveBarSpan(0, 2, 601, &x, &w);
    EXPECT_EQ(w, 300);
    DriveBarSpan(1, 2, 601, &x, &w);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(w, 301);
}

TEST(DriveBarLayout, DropAcceptanceByKind) {
    struct Case {
        int index;
        unsigned kind;
        bool takes;
    } cases[] = {{0, 1, true},  {3, 7, true},  {2, 2, true},   {5, 4, true},    {6, 5, true},
                 {4, 3, false}, {7, 0, false}, {26, 10, false}, {36, 8, false}, {37, 9, false}};
    for (const Case &c : cases)
        EXPECT_EQ(DriveBarTakesDrops(c.index, c.kind), c.takes) << c.index << " kind " << c.kind;
}

TEST(BarTips, AccentedAndPlainNamesGetTips) {
    EXPECT_TRUE(BarTipWanted("Daten"));
    EXPECT_TRUE(BarTipWanted("\xc4nderungen")) << "an accented first letter must not drop the tip";
    EXPECT_TRUE(BarTipWanted("\xe9t\xe9"));
    EXPECT_TRUE(BarTipWanted("2024"));
    EXPECT_FALSE(BarTipWanted(""));
    EXPECT_FALSE(BarTipWanted(nullptr));
    EXPECT_FALSE(BarTipWanted(" "));
}

static void FillFull(ToolbarButton *b) {
    for (int i = 0; i < kToolbarButtonMax; i++) {
        b[i].command = kToolbarCommands[i % kToolbarCommandCount];
        b[i].image = i % kToolbarCommandCount;
        b[i].window = nullptr;
    }
}

// A full bar has no end record: every walk must stop at 80 by itself. The
// records sit in a heap block of exactly 80, so the sanitizers see any
// read past them.
TEST(ToolbarRecords, FullBarWalksStopAtEighty) {
    std::vector<ToolbarButton> b(kToolbarButtonMax);
    FillFull(b.data());
    EXPECT_EQ(ToolbarCount(b.data()), 80);
    EXPECT_EQ(ToolbarFindRecord(b.data(), 29999), nullptr);
    EXPECT_EQ(ToolbarFindRecord(b.data(), 130), &b[76]);
    std::vector<ToolButtonPlace> places(kToolbarButtonMax);
    ToolbarPlace(b.data(), 29, 5000, places.data());
    EXPECT_GT(places[79].size, 0);

    char text[1024];
    IniFormatToolbar(text, sizeof text, b.data(), 29);
    std::vector<ToolbarButton> back(kToolbarButtonMax);
    uint16_t size = 0;
    IniParseToolbar(text, back.data(), &size);
    EXPECT_EQ(size, 29);
    for (int i = 0; i < kToolbarButtonMax; i++)
        EXPECT_EQ(back[i].command, b[i].command) << i;
}

// Stored codes are positions in one table: every code 2..78 keeps naming
// the same command after a write and a read, 305 included.
TEST(ToolbarRecords, EightyButtonKeyRoundTrips) {
    std::string value = "31";
    for (int i = 0; i < 80; i++)
        value += "," + std::to_string(i % 3 == 0 ? 1 : 2 + (i * 7) % kToolbarCommandCount);
    std::vector<ToolbarButton> b(kToolbarButtonMax);
    uint16_t size = 0;
    IniParseToolbar(value.c_str(), b.data(), &size);
    EXPECT_EQ(size, 35);
    EXPECT_EQ(ToolbarCount(b.data()), 80);
    char text[1024];
    IniFormatToolbar(text, sizeof text, b.data(), size);
    EXPECT_EQ(value, text);
    EXPECT_EQ(kToolbarCommands[30], 305);
    EXPECT_EQ(kToolbarCommands[31], 306);
    EXPECT_EQ(kToolbarCommands[76], 130);
}

TEST(ToolbarRecords, OlderFormStopsAtTheTable) {
    std::string value;
    for (int i = 80; i >= 1; i--)
        value += (value.empty() ? "" : ",") + std::to_string(i);
    std::vector<ToolbarButton> b(kToolbarButtonMax);
    uint16_t size = 0;
    IniParseToolbar(value.c_str(), b.data(), &size);
    EXPECT_EQ(ToolbarCount(b.data()), kToolbarCommandCount) << "80, 79 and 78 name no command";
    EXPECT_EQ(b[0].command, 130);
    EXPECT_EQ(b[kToolbarCommandCount - 1].command, 700);
}

TEST(ToolbarRecords, OfferedCommands) {
    EXPECT_FALSE(ToolbarCommandOffered(305));
    EXPECT_FALSE(ToolbarCommandOffered(92));
    EXPECT_FALSE(ToolbarCommandOffered(5));
    EXPECT_TRUE(ToolbarCommandOffered(306));
    EXPECT_TRUE(ToolbarCommandOffered(832));
    EXPECT_TRUE(ToolbarCommandTakesDrops(102, false));
    EXPECT_TRUE(ToolbarCommandTakesDrops(121, true));
    EXPECT_FALSE(ToolbarCommandTakesDrops(121, false));
    EXPECT_FALSE(ToolbarCommandTakesDrops(700, true));
}

TEST(ToolbarLayout, Pitch29In600Pixels) {
    std::vector<ToolbarButton> b(kToolbarButtonMax);
    for (int i = 0; i < 50; i++)
        b[i].command = 700;
    std::vector<ToolButtonPlace> p(kToolbarButtonMax);
    int height = ToolbarPlace(b.data(), 29, 600, p.data());
    EXPECT_EQ(height, 58);
    EXPECT_EQ(p[0].x, 2);
    EXPECT_EQ(p[1].x, 29);
    EXPECT_EQ(p[21].x, 569);
    EXPECT_EQ(p[21].y, 2);
    EXPECT_EQ(p[22].x, 2);
    EXPECT_EQ(p[22].y, 31);
    EXPECT_EQ(p[43].size, 25);
    EXPECT_EQ(p[44].size, 0) << "the 45th button would need a third row";
    EXPECT_EQ(p[49].size, 0);
}

TEST(ToolbarLayout, SeparatorsAndUnknownCommands) {
    std::vector<ToolbarButton> b(kToolbarButtonMax);
    int16_t commands[] = {700, 92, 101, 5, -2, 0};
    for (int i = 0; commands[i]; i++)
        b[i].command = commands[i];
    std::vector<ToolButtonPlace> p(kToolbarButtonMax);
    EXPECT_EQ(ToolbarPlace(b.data(), 35, 800, p.data()), 35);
    EXPECT_EQ(p[0].x, 2);
    EXPECT_EQ(p[2].x, 2 + 33 + 16);
    EXPECT_EQ(p[3].size, 0) << "a command missing from the table takes no space";
    EXPECT_EQ(p[4].x, 2 + 33 + 16 + 33);
    EXPECT_EQ(p[4].size, 31);
}

TEST(FunctionKeys, CommandsAndLabelsFollowTheShiftState) {
    struct Case {
        int key, shift, command;
    } cases[] = {{0, 0, 700}, {0, 10, 518}, {0, 20, 507}, {0, 30, 0},   {1, 10, 618}, {2, 30, 317},
                 {7, 30, 315}, {8, 30, 408}, {9, 0, 120},  {9, 10, 0},  {9, 20, 111}, {9, 30, 0},
                 {10, 0, 0},  {-1, 0, 0},   {3, 15, 0},   {3, 40, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(KeyBarCommand(c.key, c.shift), c.command) << c.key << "/" << c.shift;
    EXPECT_EQ(KeyBarLabelId(0, 0), 2000);
    EXPECT_EQ(KeyBarLabelId(9, 30), 2039);
    EXPECT_EQ(KeyBarShiftFrom(true, true, true), 10);
    EXPECT_EQ(KeyBarShiftFrom(false, true, true), 20);
    EXPECT_EQ(KeyBarShiftFrom(false, false, true), 30);
    EXPECT_EQ(KeyBarShiftFrom(false, false, false), 0);
    int x, w, total = 0;
    for (int k = 0; k < 10; k++) {
        KeyBarButtonSpan(k, 797, &x, &w);
        EXPECT_EQ(x, total);
        total += w;
    }
    EXPECT_EQ(total, 797);
}

static std::vector<StatusFieldLayout> MainFields() {
    // id 10 fill, 11, 12, 13, separator, 15, 16
    return {{0x14, 0, 0, 0, 0, 0, 0},  {0x2C, 2, 80, 0, 0, 0, 0}, {0x2C, 2, 40, 0, 0, 0, 0},
            {0x2C, 2, 40, 0, 0, 0, 0}, {0x0A, 2, 0, 0, 0, 0, 0},  {0x2C, 2, 70, 0, 0, 0, 0},
            {0x2C, 0, 50, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}};
}

static bool Hidden(const StatusFieldLayout &f) { return f.left == 0 && f.right == 0; }

// Narrowing the bar hides the right-anchored fields one by one from the left
// end of their group: free space first, the time last.
TEST(StatusLayout, FieldsHideFromTheLeftInOrder) {
    std::vector<StatusFieldLayout> f = MainFields();
    StatusFieldsPlace(f.data(), 800, 13);
    EXPECT_EQ(f[6].right, 800);
    EXPECT_EQ(f[6].left, 750);
    EXPECT_EQ(f[5].right, 749 - 2);
    EXPECT_EQ(f[0].left, 0);
    EXPECT_EQ(f[0].right, f[1].left - 1 - 2);
    EXPECT_EQ(f[4].bottom, 19);
    EXPECT_EQ(f[1].bottom, 16);
    for (size_t i = 1; i < 7; i++)
        EXPECT_FALSE(Hidden(f[i])) << i;

    const int order[] = {1, 2, 3, 4, 5, 6};
    int hiddenCount = 0;
    for (int width = 800; width >= 0; width--) {
        f = MainFields();
        StatusFieldsPlace(f.data(), width, 13);
        int n = 0;
        while (n < 6 && Hidden(f[order[n]]))
            n++;
        for (int j = n; j < 6; j++)
            ASSERT_FALSE(Hidden(f[order[j]])) << "width " << width << " field " << order[j];
        ASSERT_GE(n, hiddenCount) << "width " << width;
        if (n > 0) {
            ASSERT_EQ(f[0].right, f[0].left) << "the cursor line gets no width once a field is hidden";
        }
        hiddenCount = n;
    }
    EXPECT_EQ(hiddenCount, 6);
}

TEST(StatusLayout, PanelBarFillTakesTheWidth) {
    StatusFieldLayout f[] = {{0x14, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}};
    StatusFieldsPlace(f, 300, 13);
    EXPECT_EQ(f[0].left, 0);
    EXPECT_EQ(f[0].right, 300);
}
