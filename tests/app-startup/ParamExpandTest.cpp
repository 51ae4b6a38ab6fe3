#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/ParamExpand.h"

namespace {

const ParamSources kSources = {"C:\\Long Folder\\Long File Name.text", "C:\\LONGFO~1\\LONGFI~1.TEX",
                               "C:\\WORK\\", "D:\\OTHER", 'C'};

struct Expanded {
    std::string text;
    int count;
};

Expanded Expand(const char *templ, size_t size = 512, const ParamSources &src = kSources) {
    char out[512];
    memset(out, '#', sizeof out);
    int n = ExpandParams(templ, out, size, src);
    EXPECT_LT(strlen(out), size) << templ;
    return {out, n};
}

TEST(RunExpandParams, Placeholders) {
    struct Case {
        const char *templ;
        const char *text;
        int count;
    } cases[] = {
        {"*.* *\\\\name", "C:\\LONGFO~1\\LONGFI~1.TEX C:\\WORK\\name", 1},
        {"*\\x", "C:\\WORK\\x", 0},
        {"*/\\y", "D:\\OTHER\\y", 0},
        {"*/", "D:\\OTHER", 0},
        {"**", "*", 0},
        {"*.bak", "C:\\Long Folder\\Long File Name.bak", 1},
        {"*:", "C:", 0},
        {"-o *.* *.*", "-o C:\\LONGFO~1\\LONGFI~1.TEX C:\\LONGFO~1\\LONGFI~1.TEX", 2},
        {"*xyz", "*xyz", 0},
        {"plain", "plain", 0},
        {"", "", 0},
    };
    for (const Case &c : cases) {
        Expanded e = Expand(c.templ);
        EXPECT_EQ(e.text, c.text) << c.templ;
        EXPECT_EQ(e.count, c.count) << c.templ;
    }
}

TEST(RunExpandParams, TrailingStarStopsAtTheEnd) {
    // The star copies at most two more characters and never runs past the end.
    EXPECT_EQ(Expand("a*").text, "a*");
    EXPECT_EQ(Expand("a*b").text, "a*b");
    const char templ[] = {'*', 'q', 0, 'Z', 'Z', 0};
    EXPECT_EQ(Expand(templ).text, "*q");
}

TEST(RunExpandParams, EmptyFileStillCounts) {
    ParamSources none = kSources;
    none.filePath = nullptr;
    none.fileShort = nullptr;
    Expanded e = Expand("x *.* y", 512, none);
    EXPECT_EQ(e.text, "x  y");
    EXPECT_EQ(e.count, 1);
}

TEST(RunExpandParams, OutputIsBounded) {
    for (size_t size : {1u, 2u, 5u, 16u}) {
        Expanded e = Expand("*.* *\\ *.*", size);
        EXPECT_EQ(e.text.size(), size - 1);
    }
    char untouched = 'k';
    EXPECT_EQ(ExpandParams("*.*", &untouched, 0, kSources), 0);
    EXPECT_EQ(untouched, 'k');
}

} // namespace
