#include <gtest/gtest.h>

#include <string>

#include "CeNames.h"

TEST(CeNames, OnlyPlainBaseNamesPass) {
    struct Case {
        const char* name;
        bool plain;
    } cases[] = {
        {"a.txt", true}, {"My Documents", true}, {"..a", true},        {"a..", true},         {"", false},
        {".", false},    {"..", false},          {"a\\b", false},      {"\\abs.txt", false},  {"a/b", false},
        {"C:x", false},  {"..\\up", false},      {"tab\there", false}, {"line\nfeed", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CeNameIsPlain(c.name), c.plain) << c.name;
    EXPECT_FALSE(CeNameIsPlain(nullptr));
    EXPECT_TRUE(CeNameIsPlain(std::string(259, 'x').c_str()));
    EXPECT_FALSE(CeNameIsPlain(std::string(260, 'x').c_str()));
}

TEST(CeNames, JoinIsBoundedAndKeepsOneBackslash) {
    char out[16];
    ASSERT_TRUE(CePathJoin(out, sizeof out, "\\", "a.txt"));
    EXPECT_STREQ(out, "\\a.txt");
    ASSERT_TRUE(CePathJoin(out, sizeof out, "\\Docs", "a.txt"));
    EXPECT_STREQ(out, "\\Docs\\a.txt");
    // 15 characters and the NUL fill the buffer exactly; one more is refused.
    ASSERT_TRUE(CePathJoin(out, sizeof out, "\\Docs", "123456789"));
    EXPECT_STREQ(out, "\\Docs\\123456789");
    EXPECT_FALSE(CePathJoin(out, sizeof out, "\\Docs", "1234567890"));
    EXPECT_STREQ(out, "");
}

TEST(CeNames, TemporaryNamesStayBesideTheTargetAndFit) {
    char out[260];
    ASSERT_TRUE(CeTempName(out, sizeof out, "\\Docs\\a.txt", 3));
    EXPECT_STREQ(out, "\\Docs\\a.txt.zq~3");
    ASSERT_TRUE(CeBackupName(out, sizeof out, "C:\\x\\a.txt", 1));
    EXPECT_STREQ(out, "C:\\x\\a.txt.zq-old1");
    // A name near the limit takes a short sibling in the same folder.
    std::string longName = "\\Docs\\" + std::string(250, 'n');
    ASSERT_TRUE(CeTempName(out, sizeof out, longName.c_str(), 12));
    EXPECT_STREQ(out, "\\Docs\\~zq12.tmp");
    // A folder too long for even that is refused rather than cut.
    std::string deep = "\\" + std::string(254, 'd') + "\\a";
    EXPECT_FALSE(CeTempName(out, sizeof out, deep.c_str(), 1));
}
