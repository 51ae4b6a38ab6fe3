// Quick icon classes: what a row shows before the shell has answered.
#include <gtest/gtest.h>

#include "panels/IconClass.h"

namespace {

TEST(IconClass, ArchiveExtensionsByLengthAndCase) {
    const struct {
        const char *name;
        bool archive;
    } cases[] = {
        {"a.zip", true},      {"A.ZIP", true},    {"archive.tar.gz", true}, {"x.Gz", true},      {"x.uu", true},
        {"x.bz2", true},      {"x.TGZ", true},    {"x.tbz2", true},         {"x.TBZ2", true},    {"x.cpio", true},
        {"x.CPIo", true},     {"x.CPIO", false},  {"x.cpiO", false},        {"x.zipx", false},   {"x.z", false},
        {"x.txt", false},     {"zip", false},     {"x.", false},            {"x.tar.", false},   {"x.iso", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IconArchiveClassName(c.name), c.archive ? kIconArchive : 0) << c.name;
}

TEST(IconClass, KindsByEntryAndExtension) {
    EXPECT_EQ(IconKindClass("..", true, true, false), kIconUpDir);
    EXPECT_EQ(IconKindClass("dir.zip", true, false, false), kIconFolder); // a folder is a folder
    EXPECT_EQ(IconKindClass("link", true, false, true), kIconRemoteLink);
    const struct {
        const char *name;
        int32_t code;
    } files[] = {{"a.exe", kIconProgram}, {"a.COM", kIconProgram}, {"a.bat", kIconBatch},  {"a.dll", kIconLibrary},
                 {"a.ryr", kIconLibrary}, {"a.txt", kIconText},    {"a.Doc", kIconText},   {"a.hlp", kIconHelp},
                 {"a.rar", kIconArchive}, {"a.exe2", kIconFile},   {"noext", kIconFile},   {"a.png", kIconFile}};
    for (const auto &f : files)
        EXPECT_EQ(IconKindClass(f.name, false, false, false), f.code) << f.name;
}

TEST(IconClass, ExtensionsWhoseFilesHaveIconsOfTheirOwn) {
    for (const char *own : {"a.ico", "a.CUR", "a.exe", "a.ani", "a.Lnk"})
        EXPECT_FALSE(IconSharedByExtension(own)) << own;
    for (const char *shared : {"a.txt", "a.exe.txt", "noext", "a.icon"})
        EXPECT_TRUE(IconSharedByExtension(shared)) << shared;
    EXPECT_STREQ(IconExtension("a.b.c"), "c");
    EXPECT_STREQ(IconExtension("none"), "");
}

} // namespace
