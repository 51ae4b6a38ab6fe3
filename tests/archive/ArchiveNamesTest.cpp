// Member names to relative paths, and the ZIP core's round trip and fault
// detection, natively under the sanitizers and under Wine.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "ArcLib.h"
#include "ZipCore.h"
#include "base/ArchiveNames.h"

TEST(ArchiveNames, OnlyNamesBelowTheTargetPass) {
    struct Case {
        const char *name;
        const char *expected; // null: refused
    };
    const Case cases[] = {
        {"a/b/c.txt", "a\\b\\c.txt"},
        {"a\\b\\", "a\\b"},
        {"./a//b/./c", "a\\b\\c"},
        {"name with blanks & % ^.txt", "name with blanks & % ^.txt"},
        {"caf\xe9.txt", "caf\xe9.txt"},
        {"..", nullptr},
        {"../evil", nullptr},
        {"..\\evil", nullptr},
        {"a/../../evil", nullptr},
        {"a/..", nullptr},
        {"/abs", nullptr},
        {"\\abs", nullptr},
        {"\\\\server\\share\\x", nullptr},
        {"C:\\x", nullptr},
        {"C:x", nullptr},
        {"a/b:stream", nullptr},
        {"dots/.../x", nullptr},
        {"trailing./x", "trailing.\\x"},
        {". ./x", nullptr},
        {"wild*.txt", nullptr},
        {"ctl\x01.txt", nullptr},
        {"", nullptr},
        {"./", nullptr},
    };
    for (const Case &c : cases) {
        char out[260] = "junk";
        bool ok = ArcMemberRelativePath(c.name, out, sizeof out);
        if (c.expected) {
            EXPECT_TRUE(ok) << c.name;
            EXPECT_STREQ(out, c.expected) << c.name;
        } else {
            EXPECT_FALSE(ok) << c.name;
            EXPECT_STREQ(out, "") << c.name;
        }
    }
    char small[6];
    EXPECT_FALSE(ArcMemberRelativePath("abc/def", small, sizeof small));
    EXPECT_TRUE(ArcMemberRelativePath("abc/d", small, sizeof small));
}

namespace {

std::string TempPath(const char *name) {
    const char *dir = getenv("TEMP");
    if (!dir)
        dir = getenv("TMPDIR");
    std::string base = dir ? dir : "/tmp";
    // Two checkouts may test at once: each process keeps its own names.
#if defined(_WIN32)
    return base + "\\" + std::to_string(GetCurrentProcessId()) + "-" + name;
#else
    return base + "/" + std::to_string(getpid()) + "-" + name;
#endif
}

FILE *WriteTemp(const std::string &path, const std::string &data) {
    FILE *f = ArcFileOpen(path.c_str(), "w+b");
    fwrite(data.data(), 1, data.size(), f);
    fflush(f);
    return f;
}

std::string Slurp(FILE *f) {
    std::string s;
    rewind(f);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    return s;
}

} // namespace

TEST(ZipCore, WrittenArchivesReadBackAndDamageIsFound) {
    std::string zipPath = TempPath("zq-core.zip"), srcPath = TempPath("zq-core.src"), outPath = TempPath("zq-core.out");
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "line " + std::to_string(i % 17) + "\n";
    FILE *src = WriteTemp(srcPath, text);
    FILE *zip = ArcFileOpen(zipPath.c_str(), "w+b");
    ASSERT_TRUE(zip && src);
    {
        ZipWriter w(zip);
        ArcProgress none;
        for (int level : {0, 1, 9})
            ASSERT_EQ(w.AddFile(src, "dir/level" + std::to_string(level) + ".txt", false, 0x5021, 0x6000, 0x20, level,
                                none),
                      0);
        ASSERT_EQ(w.AddFolder("empty", false, 0x5021, 0x6000), 0);
        ASSERT_EQ(w.Finish(), 0);
    }
    fclose(src);
    std::vector<ZipEntry> entries;
    ASSERT_EQ(ZipReadDirectory(zip, &entries), 0);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(entries[3].IsDir());
    EXPECT_EQ(entries[3].rawName, "empty/");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].size, text.size());
        EXPECT_EQ(entries[i].method, i == 0 ? 0 : 8);
        FILE *out = ArcFileOpen(outPath.c_str(), "w+b");
        EXPECT_EQ(ZipExtract(zip, entries[i], out, ArcProgress()), 0);
        EXPECT_TRUE(Slurp(out) == text);
        fclose(out);
    }
    // A changed byte in the deflated data is a CRC or format error, never
    // a silent success.
    std::string bytes = Slurp(zip);
    fclose(zip);
    bytes[(size_t)entries[2].localOffset + 30 + entries[2].rawName.size() + 20] ^= 0x55;
    zip = WriteTemp(zipPath, bytes);
    FILE *out = ArcFileOpen(outPath.c_str(), "w+b");
    int r = ZipExtract(zip, entries[2], out, ArcProgress());
    EXPECT_TRUE(r == kArcErrCrc || r == kArcErrBadArchive) << r;
    fclose(out);
    // A stop asked for ends the copy.
    volatile uint32_t cancel = 1;
    ArcProgress stop;
    stop.cancel = &cancel;
    out = ArcFileOpen(outPath.c_str(), "w+b");
    EXPECT_EQ(ZipExtract(zip, entries[1], out, stop), kArcErrStopped);
    fclose(out);
    // A directory cut short is no archive.
    fclose(zip);
    zip = WriteTemp(zipPath, bytes.substr(0, bytes.size() - 30));
    EXPECT_EQ(ZipReadDirectory(zip, &entries), kArcErrBadArchive);
    fclose(zip);
    remove(zipPath.c_str());
    remove(srcPath.c_str());
    remove(outPath.c_str());
}
