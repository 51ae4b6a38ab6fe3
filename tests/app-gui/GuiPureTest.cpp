#include <gtest/gtest.h>

#include "wingui/Colors.h"
#include "wingui/ListColumns.h"

static uint32_t Rgb(int r, int g, int b) { return (uint32_t)r | (uint32_t)g << 8 | (uint32_t)b << 16; }

TEST(Colors, GreysHaveNoHueOrSaturation) {
    for (int v : {0, 1, 127, 128, 192, 254, 255}) {
        const uint32_t hsl = ColorToHsl(Rgb(v, v, v));
        EXPECT_EQ(hsl & 0xFF, 0u) << v;
        EXPECT_EQ((hsl >> 16) & 0xFF, 0u) << v;
        EXPECT_EQ((hsl >> 8) & 0xFF, (uint32_t)v) << v;
        EXPECT_EQ(HslToColor(hsl), Rgb(v, v, v)) << v;
    }
}

TEST(Colors, RoundTripStaysClose) {
    const uint32_t colors[] = {Rgb(255, 0, 0), Rgb(0, 255, 0),   Rgb(0, 0, 255),    Rgb(10, 36, 106),
                               Rgb(212, 208, 200), Rgb(49, 106, 197), Rgb(255, 255, 225)};
    for (uint32_t c : colors) {
        const uint32_t back = HslToColor(ColorToHsl(c));
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR((int)((back >> shift) & 0xFF), (int)((c >> shift) & 0xFF), 4) << std::hex << c;
    }
}

TEST(Colors, AdjustMovesLightness) {
    const uint32_t face = Rgb(212, 208, 200);
    const uint32_t lighter = ColorAdjust(face, 75, 0);
    EXPECT_GT((ColorToHsl(lighter) >> 8) & 0xFF, (ColorToHsl(face) >> 8) & 0xFF);
    const uint32_t darker = ColorAdjust(face, -18, 0);
    EXPECT_LT((ColorToHsl(darker) >> 8) & 0xFF, (ColorToHsl(face) >> 8) & 0xFF);
    EXPECT_EQ(ColorAdjust(Rgb(0, 0, 0), 100, 0), Rgb(255, 255, 255));
    EXPECT_EQ(ColorAdjust(Rgb(128, 128, 128), -100, 0), Rgb(0, 0, 0));
}

TEST(Colors, HueWrapsIntoRange) {
    EXPECT_EQ(HslHueToByte(0.0, 1.0, 480), HslHueToByte(0.0, 1.0, 120));
    EXPECT_EQ(HslHueToByte(0.0, 1.0, -240), HslHueToByte(0.0, 1.0, 120));
}

class ColumnTable : public ::testing::Test {
protected:
    ListColumn table[4] = {{501, 0, 200, 0, 0, 0}, {502, 0, 100, 1, 1, 1}, {503, 0, -1, 2, 2, 0}, {0}};
};

TEST_F(ColumnTable, StoredValuesApply) {
    ListColumnApplyStored(table, 0, "5,3");
    ListColumnApplyStored(table, 1, "oops");
    ListColumnApplyStored(table, 2, "0,1");
    table[1].order = 0; // someone carries position 0, so the stored orders stay
    ListColumnFinishLoad(table, 1);
    EXPECT_EQ(table[0].width, 100);
    EXPECT_EQ(table[0].order, 3);
    EXPECT_EQ(table[1].width, 100);
    EXPECT_EQ(table[2].width, -1);
    EXPECT_EQ(table[2].order, 2);
}

TEST_F(ColumnTable, WithoutKeepOrderEveryColumnTakesItsIndex) {
    ListColumnApplyStored(table, 0, "150,2");
    ListColumnApplyStored(table, 1, "90,0");
    ListColumnFinishLoad(table, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table[i].order, i);
        EXPECT_EQ(table[i].subItem, i);
    }
    EXPECT_EQ(table[0].width, 150);
}

TEST_F(ColumnTable, OrderWithoutZeroIsReset) {
    table[0].order = 1;
    table[1].order = 2;
    table[2].order = 3;
    ListColumnFinishLoad(table, 1);
    EXPECT_EQ(table[0].order, 0);
    EXPECT_EQ(table[2].order, 2);
}

TEST_F(ColumnTable, HiddenColumnsGetNoSubItem) {
    table[1].order = -1;
    EXPECT_EQ(ListColumnNumberSubItems(table), 2);
    EXPECT_EQ(table[0].subItem, 0);
    EXPECT_EQ(table[1].subItem, -1);
    EXPECT_EQ(table[2].subItem, 1);
}

TEST(ColumnFill, TakesTheRestButAtLeastFifty) {
    ListColumn a[] = {{1, 0, 100, 0, 0, 0}, {2, 0, 150, 1, 1, 0}, {3, 0, -1, 2, 2, 0}, {0}};
    EXPECT_EQ(ListColumnFillWidth(a, 400, 16), 130);
    ListColumn b[] = {{1, 0, 350, 0, 0, 0}, {3, 0, -1, 1, 1, 0}, {0}};
    EXPECT_EQ(ListColumnFillWidth(b, 400, 16), 50);
}
