// Folder synchronisation on the native build (sanitizers watching): the
// lines the comparison lists for small trees, and the copy run over them,
// files through the POSIX plug.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/time.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>

#include "tests/sync/PosixSyncIo.h"

namespace {

const time_t kBase = 1600000000; // a whole minute: 2020-09-13 12:26:40 UTC

struct Tree {
    std::string root;
    Tree()
    {
        char pattern[] = "/tmp/synctest.XXXXXX";
        root = mkdtemp(pattern);
        mkdir((root + "/L").c_str(), 0755);
        mkdir((root + "/R").c_str(), 0755);
    }
    ~Tree() { (void)!system(("rm -rf '" + root + "'").c_str()); }
    std::string L() const { return root + "/L"; }
    std::string R() const { return root + "/R"; }
    // side 'L' or 'R', path below it, content, last-write time
    void Put(char side, const std::string &path, const std::string &content, time_t when)
    {
        std::string full = root + "/" + side + "/" + path;
        PosixSyncIo io;
        io.MakeDirs(full.substr(0, full.rfind('/')));
        std::ofstream(full, std::ios::binary) << content;
        struct timeval tv[2] = {{when, 0}, {when, 0}};
        utimes(full.c_str(), tv);
    }
    void Dir(char side, const std::string &path)
    {
        PosixSyncIo io;
        io.MakeDirs(root + "/" + side + "/" + path);
    }
    std::string Read(char side, const std::string &path) const
    {
        std::ifstream in(root + "/" + side + "/" + path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    time_t Time(char side, const std::string &path) const
    {
        struct stat st;
        stat((root + "/" + side + "/" + path).c_str(), &st);
        return st.st_mtime;
    }
};

// The lines of a run without the summary, sorted, with the tree's root
// shown as "@".
std::multiset<std::string> Listed(const PosixSyncIo &io, const Tree &t)
{
    std::multiset<std::string> out;
    for (const SyncLine &line : io.lines) {
        if (line.kind == kSyncLineText)
            continue;
        std::string text = line.text;
        for (size_t at; (at = text.find(t.root)) != std::string::npos;)
            text.replace(at, t.root.size(), "@");
        out.insert(text);
    }
    return out;
}

SyncCompareJob Job(const Tree &t, uint16_t options)
{
    SyncCompareJob job;
    job.source = t.L();
    job.target = t.R();
    job.options = options;
    return job;
}

const uint16_t kBoth = kSyncSubFolders | kSyncBothWays;
const char *kSameTime = " !!  @/L/s.txt  Same time, different size: left as it is.";

TEST(SyncCompare, LinesForSmallTrees)
{
    struct Case {
        const char *name;
        std::function<void(Tree &)> build;
        uint16_t options;
        std::multiset<std::string> lines;
    };
    const Case cases[] = {
        {"identical", [](Tree &t) { t.Put('L', "a.txt", "x", kBase); t.Put('R', "a.txt", "x", kBase); }, kBoth, {}},
        {"newer left", [](Tree &t) { t.Put('L', "a.txt", "new", kBase + 60); t.Put('R', "a.txt", "old", kBase); },
         kBoth, {">      ... /a.txt"}},
        {"newer right, both ways",
         [](Tree &t) { t.Put('L', "a.txt", "old", kBase); t.Put('R', "a.txt", "new", kBase + 60); }, kBoth,
         {"<      ... /a.txt"}},
        {"newer right, one way",
         [](Tree &t) { t.Put('L', "a.txt", "old", kBase); t.Put('R', "a.txt", "new", kBase + 60); },
         kSyncSubFolders, {}},
        {"only left", [](Tree &t) { t.Put('L', "a.txt", "x", kBase); }, kBoth, {"> +    ... /a.txt"}},
        {"only right, both ways", [](Tree &t) { t.Put('R', "a.txt", "x", kBase); }, kBoth, {"< +    ... /a.txt"}},
        {"only right, one way", [](Tree &t) { t.Put('R', "a.txt", "x", kBase); }, kSyncSubFolders, {}},
        {"size differs, same time", [](Tree &t) { t.Put('L', "s.txt", "xx", kBase); t.Put('R', "s.txt", "x", kBase); },
         kBoth, {kSameTime}},
        {"within four seconds", [](Tree &t) { t.Put('L', "a.txt", "x", kBase + 4); t.Put('R', "a.txt", "x", kBase); },
         kBoth, {}},
        {"five seconds apart", [](Tree &t) { t.Put('L', "a.txt", "x", kBase + 6); t.Put('R', "a.txt", "x", kBase); },
         kBoth, {">      ... /a.txt"}},
        {"across a minute boundary",
         [](Tree &t) { t.Put('L', "a.txt", "x", kBase - 2); t.Put('R', "a.txt", "x", kBase); }, kBoth, {}},
        {"names differ in case only",
         [](Tree &t) { t.Put('L', "a.TXT", "x", kBase); t.Put('R', "A.txt", "x", kBase); }, kBoth, {}},
        {"only existing files",
         [](Tree &t) {
             t.Put('L', "only.txt", "x", kBase);
             t.Put('R', "only-r.txt", "x", kBase);
             t.Dir('L', "newdir");
             t.Put('L', "both.txt", "new", kBase + 60);
             t.Put('R', "both.txt", "old", kBase);
         },
         kBoth | kSyncOnlyExisting, {">      ... /both.txt"}},
        {"new folder with files",
         [](Tree &t) { t.Put('L', "new/a", "1", kBase); t.Put('L', "new/b", "2", kBase); t.Put('L', "new/deeper/c", "3", kBase); },
         kBoth, {"> ++ @/R/new", "> +    ... /new/a", "> +    ... /new/b", "> +    ... /new/deeper/c"}},
        {"new empty folder", [](Tree &t) { t.Dir('R', "empty"); }, kBoth, {"< ++ @/L/empty"}},
        {"new folder holding an empty one", [](Tree &t) { t.Dir('L', "top/inner"); }, kBoth,
         {"> ++ @/R/top", "> ++ @/R/top/inner"}},
        {"folders left out without sub-folders", [](Tree &t) { t.Put('L', "new/a", "1", kBase); }, kSyncBothWays, {}},
        {"files in a common folder",
         [](Tree &t) { t.Put('L', "sub/a", "new", kBase + 60); t.Put('R', "sub/a", "old", kBase); t.Put('R', "sub/b", "x", kBase); },
         kBoth, {">      ... /sub/a", "< +    ... /sub/b"}},
        {"binary compare, same content",
         [](Tree &t) { t.Put('L', "a", "same", kBase + 60); t.Put('R', "a", "same", kBase); }, kBoth | kSyncBinary, {}},
        {"binary compare, other content",
         [](Tree &t) { t.Put('L', "a", "left", kBase + 60); t.Put('R', "a", "rght", kBase); }, kBoth | kSyncBinary,
         {">      ... /a"}},
        {"a file against a folder",
         [](Tree &t) { t.Put('L', "x", "file", kBase); t.Dir('R', "x"); }, kBoth,
         {" !!  @/L/x  A file on one side, a folder on the other: left as it is."}},
        {"a folder link is never entered",
         [](Tree &t) {
             t.Put('L', "real/inside.txt", "x", kBase);
             t.Put('R', "real/inside.txt", "x", kBase);
             (void)!symlink((t.root + "/L/real").c_str(), (t.root + "/L/link").c_str());
         },
         kBoth, {"  -  @/L/link  A link to another folder: left as it is, nothing taken from it."}},
    };
    for (const Case &c : cases) {
        Tree t;
        c.build(t);
        PosixSyncIo io;
        SyncCompareJob job = Job(t, c.options);
        SyncCompare(io, job, SyncTexts());
        EXPECT_EQ(Listed(io, t), c.lines) << c.name;
        // The summary closes every run: an empty line, files, folders.
        ASSERT_GE(io.lines.size(), 3u) << c.name;
        EXPECT_EQ(io.lines[io.lines.size() - 3].text, "") << c.name;
        EXPECT_EQ(io.lines[io.lines.size() - 2].text, std::to_string(job.fileLines) + " files") << c.name;
        EXPECT_EQ(io.lines.back().text, std::to_string(job.folderLines) + " directories") << c.name;
    }
}

TEST(SyncCompare, CountsAndSidesOfLines)
{
    Tree t;
    t.Put('L', "new/a", "1", kBase);
    t.Put('L', "new/deeper/c", "3", kBase);
    t.Dir('L', "empty");
    t.Put('R', "b.txt", "x", kBase);
    PosixSyncIo io;
    SyncCompareJob job = Job(t, kBoth);
    // The source is the right panel: its lines point the other way.
    job.sourceIsLeft = false;
    std::swap(job.source, job.target);
    SyncCompare(io, job, SyncTexts());
    EXPECT_EQ(Listed(io, t), (std::multiset<std::string>{"> ++ @/R/new", "> +    ... /new/a", "> +    ... /new/deeper/c",
                                                          "> ++ @/R/empty", "< +    ... /b.txt"}));
    EXPECT_EQ(job.fileLines, 3u);
    EXPECT_EQ(job.folderLines, 3u); // new, new/deeper, empty
    EXPECT_EQ(job.errors, 0u);
}

TEST(SyncCompare, SizesPastFourGigabytesStayWhole)
{
    Tree t;
    std::string big = t.L() + "/big.bin";
    { std::ofstream(big) << ""; }
    ASSERT_EQ(truncate(big.c_str(), 0x1'2345'6789LL), 0);
    PosixSyncIo io;
    SyncCompareJob job = Job(t, kBoth);
    SyncCompare(io, job, SyncTexts());
    ASSERT_EQ(io.lines.front().kind, kSyncLineMissingFile);
    EXPECT_EQ(io.lines.front().size, 0x1'2345'6789ULL);
    std::vector<bool> selected(io.lines.size(), true);
    EXPECT_EQ(SyncSelectedBytes(io.lines, selected), 0x1'2345'6789ULL);
}

// A plug whose reads of one file fail: opening, or in the middle.
struct FailingIo : PosixSyncIo {
    std::string failOpen, failRead;
    uint32_t OpenRead(const std::string &path, SyncHandle *h) override
    {
        if (path == failOpen)
            return 13;
        uint32_t e = PosixSyncIo::OpenRead(path, h);
        if (!e && path == failRead)
            readFails.push_back(*h);
        return e;
    }
    uint32_t Read(SyncHandle h, void *b, size_t n, size_t *got) override
    {
        if (std::find(readFails.begin(), readFails.end(), h) != readFails.end())
            return 23;
        return PosixSyncIo::Read(h, b, n, got);
    }
    void Close(SyncHandle h) override
    {
        readFails.erase(std::remove(readFails.begin(), readFails.end(), h), readFails.end());
        PosixSyncIo::Close(h);
    }
    std::vector<SyncHandle> readFails;
};

TEST(SyncCompare, UnreadableFilesAreReportedNeverEqual)
{
    for (int inMiddle = 0; inMiddle < 2; inMiddle++) {
        for (char side : {'L', 'R'}) {
            Tree t;
            t.Put('L', "a", "same", kBase + 60);
            t.Put('R', "a", "same", kBase);
            FailingIo io;
            std::string path = (side == 'L' ? t.L() : t.R()) + "/a";
            (inMiddle ? io.failRead : io.failOpen) = path;
            SyncCompareJob job = Job(t, kBoth | kSyncBinary);
            SyncCompare(io, job, SyncTexts());
            ASSERT_EQ(io.lines.front().kind, kSyncLineError) << side << inMiddle;
            EXPECT_EQ(io.lines.front().text, " !!  " + path + "  " + strerror(inMiddle ? 23 : 13));
            EXPECT_EQ(job.errors, 1u);
            EXPECT_EQ(job.fileLines, 0u);
        }
    }
}

TEST(SyncCompare, UnreadableFolderIsReportedAndNothingOfItListed)
{
    struct NoScanIo : PosixSyncIo {
        std::string refuse;
        uint32_t Scan(const std::string &folder, std::vector<SyncEntry> *entries) override
        {
            return folder == refuse ? 5 : PosixSyncIo::Scan(folder, entries);
        }
    };
    Tree t;
    t.Put('L', "sub/a", "x", kBase);
    t.Put('R', "sub/b", "x", kBase);
    NoScanIo io;
    io.refuse = t.R() + "/sub";
    SyncCompareJob job = Job(t, kBoth);
    SyncCompare(io, job, SyncTexts());
    EXPECT_EQ(Listed(io, t), (std::multiset<std::string>{" !!  @/R/sub  " + std::string(strerror(5))}));
    EXPECT_EQ(job.errors, 1u);
}

TEST(SyncCompare, StopEndsTheWalkBetweenEntries)
{
    struct StopIo : PosixSyncIo {
        int budget = 3;
        bool Stopped() override { return budget-- <= 0; }
    };
    Tree t;
    for (int i = 0; i < 20; i++)
        t.Put('L', "f" + std::to_string(i), "x", kBase);
    StopIo io;
    SyncCompareJob job = Job(t, kBoth);
    SyncCompare(io, job, SyncTexts());
    EXPECT_LT(job.fileLines, 20u);
}

TEST(SyncCompare, FilterAppliesToFilesOnly)
{
    struct FilterIo : PosixSyncIo {
        bool Accept(const std::string &, const SyncEntry &e) override { return e.name.find(".tmp") == std::string::npos; }
    };
    Tree t;
    t.Put('L', "keep.txt", "x", kBase);
    t.Put('L', "drop.tmp", "x", kBase);
    t.Put('L', "d.tmp/inner.txt", "x", kBase);
    FilterIo io;
    SyncCompareJob job = Job(t, kBoth | kSyncWithFilter);
    SyncCompare(io, job, SyncTexts());
    EXPECT_EQ(Listed(io, t), (std::multiset<std::string>{"> +    ... /keep.txt", "> ++ @/R/d.tmp", "> +    ... /d.tmp/inner.txt"}));
}

TEST(SyncRun, BothWaysMakesTheTreesEqualAndKeepsNewerFiles)
{
    Tree t;
    t.Put('L', "newer-left", "left wins", kBase + 600);
    t.Put('R', "newer-left", "old", kBase);
    t.Put('L', "newer-right", "old", kBase);
    t.Put('R', "newer-right", "right wins", kBase + 600);
    t.Put('L', "equal", "same", kBase);
    t.Put('R', "equal", "same", kBase);
    t.Put('L', "only-left/deep/f", "L", kBase);
    t.Put('R', "only-right", "R", kBase);
    t.Dir('R', "empty-right");
    t.Put('L', "raced", "left, listed as newer", kBase + 600);
    t.Put('R', "raced", "old", kBase);
    PosixSyncIo io;
    SyncCompareJob job = Job(t, kBoth);
    SyncCompare(io, job, SyncTexts());
    // Between the comparison and the run the right side's file gets newer.
    t.Put('R', "raced", "written meanwhile", kBase + 1200);
    int done = 0, kept = 0;
    for (const SyncLine &line : io.lines) {
        uint32_t error = 0;
        switch (SyncRunLine(io, job, line, &error)) {
        case kSyncDone: done++; break;
        case kSyncNewerKept: kept++; EXPECT_EQ(line.relative, "/raced"); break;
        case kSyncFailed: ADD_FAILURE() << line.text << " " << error; break;
        case kSyncNotCopied: EXPECT_FALSE(line.Copies()); break;
        }
    }
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(done, 6); // 3 changed or missing files, 1 missing-folder + 1 file below it, 1 empty folder
    EXPECT_EQ(t.Read('R', "newer-left"), "left wins");
    EXPECT_EQ(t.Read('L', "newer-right"), "right wins");
    EXPECT_EQ(t.Time('L', "newer-right"), kBase + 600);
    EXPECT_EQ(t.Read('R', "only-left/deep/f"), "L");
    EXPECT_EQ(t.Read('L', "only-right"), "R");
    EXPECT_EQ(t.Read('R', "raced"), "written meanwhile");
    struct stat st;
    EXPECT_EQ(stat((t.L() + "/empty-right").c_str(), &st), 0);
    // A second comparison finds only the file kept back.
    PosixSyncIo again;
    SyncCompare(again, job, SyncTexts());
    EXPECT_EQ(Listed(again, t), (std::multiset<std::string>{"<      ... /raced"}));
}

TEST(SyncRun, RemainingTime)
{
    struct Case {
        uint64_t total, done, elapsed;
        const char *text;
    } cases[] = {
        {100, 0, 1000, ""},
        {100, 100, 1000, ""},
        {100, 50, 0, ""},
        {2048000, 1024000, 1000, "0:00:01  (1000.00 KB/s)"},
        {10240ULL * 3661 + 10240, 10240, 1000, "1:01:01  (10.00 KB/s)"},
        // Ten hours into a run over a petabyte: the product passes 64 bits.
        {1ULL << 50, 1ULL << 40, 36000000ULL, "10230:00:00  (29826.16 KB/s)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SyncRemainingText(c.total, c.done, c.elapsed), c.text) << c.total << " " << c.done;
}

} // namespace
