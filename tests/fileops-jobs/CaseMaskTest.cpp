#include <gtest/gtest.h>

#include "fileops/CaseMask.h"

TEST(CaseMask, AppliesMarksToTheNamePart)
{
    struct Case {
        const char *path, *mask, *out;
        int result;
    } cases[] = {
        {"C:\\d\\readme.txt", "<.*", "C:\\d\\README.txt", 0},
        {"C:\\d\\README.TXT", "<>", "C:\\d\\Readme.txt", 0},
        {"C:\\d\\README.TXT", "><", "C:\\d\\Readme.txt", 0},
        {"C:\\d\\readme.txt", "<", "C:\\d\\README.TXT", 0},
        {"C:\\D\\README.TXT", ">", "C:\\D\\readme.txt", 0},
        {"C:\\d\\readme.txt", "*.<", "C:\\d\\readme.TXT", 0},
        {"C:\\d\\readme.txt", "?<?", "C:\\d\\rEadme.txt", 0},
        {"C:\\d\\readme.txt", "<*", "C:\\d\\Readme.txt", 0},
        {"C:\\d\\archive.tar.gz", "<.*", "C:\\d\\ARCHIVE.TAR.gz", 0},
        {"C:\\d\\\xe4rger.txt", "<", "C:\\d\\\xc4RGER.TXT", 0},
        // A mask with other characters stops the rename.
        {"C:\\d\\readme.txt", "<a*", "C:\\d\\Readme.txt", 2},
        {"C:\\d\\readme.txt", "x", "C:\\d\\readme.txt", 2},
    };
    for (const Case &c : cases) {
        char out[260];
        EXPECT_EQ(c.result, PathApplyCaseMask(c.path, out, sizeof out, c.mask)) << c.path << " " << c.mask;
        EXPECT_STREQ(c.out, out) << c.path << " " << c.mask;
    }
}

TEST(CaseMask, MarksAndDots)
{
    EXPECT_TRUE(MaskHasCaseMarks("<.*"));
    EXPECT_TRUE(MaskHasCaseMarks("a>"));
    EXPECT_FALSE(MaskHasCaseMarks("*.bak"));
    EXPECT_FALSE(MaskHasCaseMarks(nullptr));
    EXPECT_EQ(11, PathLastDot("C:\\d.x\\file.txt"));
    EXPECT_EQ(-1, PathLastDot("C:\\d.x\\file"));
    char small[8];
    EXPECT_EQ(0, PathApplyCaseMask("C:\\abcdefgh", small, sizeof small, "<"));
    EXPECT_STREQ("C:\\ABCD", small);
}

TEST(PathCompare, CaseDoesNotMatter)
{
    EXPECT_EQ(0, PathCompareNoCase("C:\\Dir\\File.TXT", "c:\\dir\\file.txt"));
    EXPECT_EQ(0, PathCompareNoCase("C:\\\xc4rger", "c:\\\xe4rger"));
    EXPECT_NE(0, PathCompareNoCase("C:\\a", "C:\\b"));
    EXPECT_NE(0, PathCompareNoCase("C:\\a", "C:\\a1"));
}

TEST(PathCompare, InsideTestIgnoresCaseAndNeedsASeparator)
{
    struct Case {
        const char *outer, *inner;
        bool inside;
    } cases[] = {
        {"C:\\a", "C:\\a\\b", true},       {"C:\\a", "c:\\A\\B", true},   {"C:\\a\\", "C:\\A\\b", true},
        {"C:\\a", "C:\\a", true},          {"C:\\a", "C:\\ab", false},    {"C:\\a", "C:\\a/b", true},
        {"C:\\a\\b", "C:\\a", false},      {"", "C:\\a", false},          {"C:\\Data", "D:\\Data\\x", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.inside, PathIsSameOrInside(c.outer, c.inner)) << c.outer << " / " << c.inner;
}
