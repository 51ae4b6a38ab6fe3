// Value forms of the settings file.
#include <gtest/gtest.h>

#include <string.h>

#include "base/SettingsValues.h"

namespace {

TEST(NumberList, ParseTable) {
    struct Case {
        const char *text;
        int count;
        int read;
        uint32_t values[4];
    } cases[] = {
        {"", 4, 0, {0, 0, 0, 0}},
        {"1,2,3", 4, 3, {1, 2, 3, 0}},
        {"1,2,3,4,5", 4, 4, {1, 2, 3, 4}},
        {"4294967295,2147483648", 4, 2, {0xFFFFFFFFu, 0x80000000u, 0, 0}},
        {"-1,-2", 4, 2, {0xFFFFFFFFu, 0xFFFFFFFEu, 0, 0}},
        {" 7, 8 ,9", 4, 3, {7, 8, 9, 0}},
        {"1,,3", 4, 3, {1, 0, 3, 0}},
        {"1,2,", 4, 2, {1, 2, 0, 0}},
        {"5,6\r\n7", 4, 2, {5, 6, 0, 0}},
        {"x,9", 4, 2, {0, 9, 0, 0}},
    };
    for (const Case &c : cases) {
        uint32_t v[4] = {99, 99, 99, 99};
        EXPECT_EQ(IniParseNumberList(c.text, v, c.count), c.read) << c.text;
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(v[i], c.values[i]) << c.text << " value " << i;
    }
}

TEST(NumberList, HighValuesRoundTrip) {
    const uint32_t values[] = {0, 1, 0x7FFFFFFFu, 0x80000000u, 0x80000031u, 0xFFFFFFFFu};
    for (bool asSigned : {false, true}) {
        char text[128];
        ASSERT_TRUE(IniFormatNumberList(text, sizeof text, values, 6, asSigned));
        uint32_t back[6];
        ASSERT_EQ(IniParseNumberList(text, back, 6), 6) << text;
        EXPECT_EQ(memcmp(back, values, sizeof back), 0) << text;
    }
    char small[6];
    EXPECT_FALSE(IniFormatNumberList(small, sizeof small, values, 6, false));
    EXPECT_LT(strlen(small), sizeof small);
}

TEST(Options, DefaultsAndRoundTrip) {
    OptionWords w;
    for (const char *text : {"", "1,2,3,4,5"}) {
        IniParseOptions(text, &w);
        EXPECT_EQ(w.confirmFlags, 31) << text;
        EXPECT_EQ(w.panelOptions, 33815) << text;
        EXPECT_EQ(w.generalOptions, 0x40900031u) << text;
        EXPECT_EQ(w.barOptions, 63) << text;
        EXPECT_EQ(w.nameCase, 0) << text;
        EXPECT_EQ(w.moreOptions, 0u) << text;
        EXPECT_EQ(w.splitLines, 0u) << text;
    }
    IniParseOptions("65537,2,3,4,5,6", &w);
    EXPECT_EQ(w.confirmFlags, 1) << "16-bit words take the low 16 bits";
    EXPECT_EQ(w.generalOptions, 3u);
    EXPECT_EQ(w.splitLines, 0u) << "the seventh word needs all seven numbers";

    OptionWords in = {31, 33815, 0x80900031u, 63, 2, 0xFFFFFFFFu, 250};
    char text[128];
    IniFormatOptions(text, sizeof text, &in);
    EXPECT_STREQ(text, "31,33815,2156920881,63,2,4294967295,250");
    IniParseOptions(text, &w);
    EXPECT_EQ(memcmp(&w, &in, sizeof w), 0);
}

TEST(WindowPosValue, MaximisedBitAndExactCount) {
    WindowPos p = {};
    ASSERT_TRUE(IniParseWindowPos("10,500,20,400,129", &p));
    EXPECT_EQ(p.left, 10);
    EXPECT_EQ(p.right, 500);
    EXPECT_EQ(p.top, 20);
    EXPECT_EQ(p.bottom, 400);
    EXPECT_EQ(p.show, 1);
    EXPECT_EQ(p.maximised, 3);
    char text[64];
    IniFormatWindowPos(text, sizeof text, &p);
    EXPECT_STREQ(text, "10,500,20,400,129");

    WindowPos q = p;
    EXPECT_FALSE(IniParseWindowPos("1,2,3,4", &q));
    EXPECT_EQ(memcmp(&q, &p, sizeof q), 0) << "a malformed value leaves the record alone";
    ASSERT_TRUE(IniParseWindowPos("-5,5,-6,6,1", &q));
    EXPECT_EQ(q.left, -5);
    EXPECT_EQ(q.maximised, 3) << "the maximised byte is left alone without 0x80";
    EXPECT_EQ(q.show, 1);
}

TEST(FontValue, ExactlyThirteenNumbers) {
    IniFont f;
    IniParseFontValue("Courier New,-13,0,0,0,400,0,0,0,0,3,2,1,49", &f);
    EXPECT_STREQ(f.face, "Courier New");
    EXPECT_EQ(f.values[0], -13);
    EXPECT_EQ(f.values[4], 400);
    EXPECT_EQ(f.values[12], 49);
    char text[200];
    IniFormatFontValue(text, sizeof text, &f);
    EXPECT_STREQ(text, "Courier New,-13,0,0,0,400,0,0,0,0,3,2,1,49");

    for (const char *bad : {"Arial,1,2,3", "Arial,1,2,3,4,5,6,7,8,9,10,11,12,13,14", "Arial", ""}) {
        IniParseFontValue(bad, &f);
        EXPECT_STREQ(f.face, "") << bad;
    }
    IniParseFontValue("A very long face name that goes on and on,1,2,3,4,5,6,7,8,9,10,11,12,13", &f);
    EXPECT_EQ(strlen(f.face), 31u);
}

TEST(Columns, Validation) {
    struct Case {
        uint16_t in[5];
        bool valid;
        uint16_t out[5];
    } cases[] = {
        {{1, 1, 0, 0, 0}, false, {}},
        {{2, 3, 0, 0, 0}, false, {}},
        {{1, 3, 0, 4, 5}, true, {1, 3, 0, 0, 0}},
        {{1, 2, 3, 4, 5}, true, {1, 2, 3, 4, 5}},
        {{5, 4, 3, 2, 1}, true, {5, 4, 3, 2, 1}},
        {{0, 1, 2, 3, 4}, false, {}},
    };
    for (const Case &c : cases) {
        uint16_t codes[5];
        memcpy(codes, c.in, sizeof codes);
        EXPECT_EQ(IniValidateColumns(codes), c.valid);
        if (c.valid) {
            EXPECT_EQ(memcmp(codes, c.out, sizeof codes), 0);
        }
    }
}

TEST(Toolbar, ParseForms) {
    ToolbarButton b[kToolbarButtonMax];
    uint16_t size = 0;
    IniParseToolbar("0,1,2", b, &size);
    EXPECT_EQ(size, 29);
    EXPECT_EQ(b[0].command, 92);
    EXPECT_EQ(b[1].command, 700);
    EXPECT_EQ(b[2].command, 0);

    IniParseToolbar("", b, &size);
    EXPECT_EQ(size, 29);
    EXPECT_EQ(b[0].command, 700);
    EXPECT_EQ(b[1].command, 120);
    EXPECT_EQ(b[2].command, 92);
    EXPECT_EQ(b[28].command, 214);
    EXPECT_EQ(b[29].command, 0);

    IniParseToolbar("31,-3,78,79,2", b, &size);
    EXPECT_EQ(size, 35);
    EXPECT_EQ(b[0].command, -3);
    EXPECT_EQ(b[1].command, 130);
    EXPECT_EQ(b[2].command, 0) << "a code above 78 ends the list";

    // Older form without a size: each number is a table position + 1.
    IniParseToolbar("102,93", b, &size);
    EXPECT_EQ(size, 29);
    EXPECT_EQ(b[0].command, 0 + 700) << "102 is out of 1..80: default bar";
    IniParseToolbar("65,3,93,1,78,80", b, &size);
    EXPECT_EQ(b[0].command, kToolbarCommands[64]);
    EXPECT_EQ(b[1].command, 102);
    EXPECT_EQ(b[2].command, 700) << "93 is skipped, code 1 is the first table entry";
    EXPECT_EQ(b[3].command, 0) << "78 and 80 lie past the table";
}

TEST(Toolbar, RoundTrip) {
    ToolbarButton b[kToolbarButtonMax], back[kToolbarButtonMax];
    uint16_t size = 0, sizeBack = 0;
    IniParseToolbar("31,1,2,-7,40,78", b, &size);
    char text[512];
    IniFormatToolbar(text, sizeof text, b, size);
    EXPECT_STREQ(text, "31,1,2,-7,40,78");
    IniParseToolbar(text, back, &sizeBack);
    EXPECT_EQ(sizeBack, size);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(back[i].command, b[i].command);
}

TEST(DosStamps, SplitAndJoin) {
    uint32_t three[3];
    uint16_t date = (uint16_t)((26 << 9) | (12 << 5) | 10); // 2006-12-10
    IniSplitDosDate(date, three);
    EXPECT_EQ(three[0], 26u);
    EXPECT_EQ(three[1], 12u);
    EXPECT_EQ(three[2], 10u);
    EXPECT_EQ(IniJoinDosDate(three), date);
    uint16_t time = (uint16_t)((23 << 11) | (59 << 5) | 29);
    IniSplitDosTime(time, three);
    EXPECT_EQ(three[2], 29u);
    EXPECT_EQ(IniJoinDosTime(three), time);
}

TEST(Associations, Upgrade) {
    char line[64] = "*.txt *.log,*.ini=notepad.exe a,b";
    EXPECT_TRUE(IniConvertAssocLine(line));
    EXPECT_STREQ(line, "*.txt;*.log;*.ini=notepad.exe a,b");
    EXPECT_FALSE(IniConvertAssocLine(line));
}

} // namespace
