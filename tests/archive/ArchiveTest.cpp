// The archive front end over the BRISAN.DLL stand-in, on the archives that
// prepare.sh made with Info-ZIP and Python in T:\arcdata: listings equal to
// what `unzip -Z1` lists, members copied out byte for byte with their dates,
// hostile names that never reach outside the target, failures that lose
// nothing, and packing (checked afterwards from Linux by check.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <thread>
#include "AppState.h"
#include "ArcLib.h"
#include "base/Memory.h"
#include "JobTestSupport.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/Libraries.h"
#include "frontends/PackCommands.h"
#include "panels/EntryBuild.h"
#include "fileops/CopyJob.h"
#include "panels/Location.h"
#include "panels/PanelInput.h"
#include "panels/PanelArchive.h"
#include "fileops/DeleteJob.h"
#include "panels/PanelList.h"
#include "panels/PanelIter.h"
#include "tools/ContainerJobs.h"
#include "tools/ExtPrograms.h"
#include "base/Paths.h"
#include "wingui/ShellServices.h"

namespace {

const std::string kData = "T:\\arcdata\\";

std::string Utf8ToAnsi(const std::string &s) {
    int wn = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w((size_t)wn, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], wn);
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wn, &out[0], n, nullptr, nullptr);
    for (char &c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::vector<std::string> Lines(const std::string &path) {
    std::istringstream in(ReadFileBytes(path));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

struct Listed {
    uint64_t size;
    uint16_t flags, date, time;
};
std::map<std::string, Listed> Entries(const DirListing &listing) {
    std::map<std::string, Listed> out;
    for (FileEntry **e = listing.entryIndex; e && *e; ++e)
        out[(*e)->name] = {FileEntrySize(*e), (*e)->flags, (*e)->date, (*e)->time};
    return out;
}

// Every member path below `inner`, walking the levels as a user would:
// folders end in "\".
void Walk(LocationNode *node, const std::string &inner, std::map<std::string, Listed> *all) {
    lstrcpynA(node->innerPath, inner.c_str(), sizeof node->innerPath);
    DirListing listing = {};
    ASSERT_TRUE(ArcRereadArchive(node, &listing, gApp->archivePassword)) << inner;
    auto entries = Entries(listing);
    DirListingFree(&listing);
    ASSERT_TRUE(entries.count("..")) << inner;
    for (auto &kv : entries) {
        if (kv.first == "..")
            continue;
        std::string path = inner.empty() ? kv.first : inner + "\\" + kv.first;
        if (kv.second.flags & kEntryFolder) {
            (*all)[path + "\\"] = kv.second;
            Walk(node, path, all);
        } else {
            (*all)[path] = kv.second;
        }
    }
}

bool DosTimeOf(const std::string &path, uint16_t *date, uint16_t *time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
           FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && FileTimeToDosDateTime(&local, date, time);
}

std::vector<std::string> TempLeftovers(const std::string &folder) {
    std::vector<std::string> out;
    for (const std::string &n : ListNames(folder))
        if (n.rfind("~zq", 0) == 0)
            out.push_back(n);
    return out;
}

std::vector<std::string> gBoxes;
int RecordBox(HWND, const char *text, const char *, UINT) {
    gBoxes.push_back(text);
    return IDOK;
}

class Archive : public ::testing::Test {
  protected:
    LocationNode *node = nullptr;

    void SetUp() override {
        JobTestInitApp();
        SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", nullptr);
        gApp->confirmFlags = 0;
        ASSERT_NE(ArcGetArchiveType((kData + "tree.zip").c_str()), 0) << "BRISAN.DLL missing beside the test";
    }
    void TearDown() override {
        gApp->panels[0].location = nullptr;
        if (node)
            MemFree(&node);
        SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", nullptr);
    }

    LocationNode *Open(const std::string &archive, DirListing *listing) {
        *listing = DirListing{};
        if (node)
            MemFree(&node);
        node = ArcOpenArchive((kData + archive).c_str(), listing, gApp->archivePassword);
        return node;
    }

    // Copies `names` of the level `inner` of `archive` to `target` as the
    // copy job does; returns the job's error count.
    uint32_t CopyOut(const std::string &archive, const std::string &inner, const std::vector<std::string> &names,
                     const std::string &target) {
        DirListing listing;
        EXPECT_TRUE(Open(archive, &listing));
        DirListingFree(&listing);
        if (!node)
            return 1000;
        lstrcpynA(node->innerPath, inner.c_str(), sizeof node->innerPath);
        SelectionBuilder b;
        for (const std::string &n : names)
            SelListAppend(&b, n.c_str(), 0, 0, 0, 0, 0);
        void *selection = SelListRelease(&b);
        JobRecord job = MakeJob(kJobCodeCopy, kData, target, kJobInclSubDirs | kJobStatistics, selection);
        job.sourceLocation = node;
        ArcJobCopyOut(&job);
        free(selection);
        return job.errors;
    }
};

} // namespace

TEST_F(Archive, ListingIsExactlyWhatUnzipLists) {
    DirListing listing;
    ASSERT_TRUE(Open("tree.zip", &listing));
    EXPECT_EQ(node->kind, kArcFormatZip);
    EXPECT_EQ(std::string(node->archivePath), kData + "tree.zip");
    auto root = Entries(listing);
    ASSERT_EQ(std::string(listing.entryIndex[0]->name), ".."); // sorted first
    DirListingFree(&listing);
    EXPECT_EQ(root.size(), 2u); // ".." and "tree"

    std::map<std::string, Listed> all;
    Walk(node, "", &all);
    std::set<std::string> expected, got;
    for (const std::string &line : Lines(kData + "tree.list"))
        expected.insert(Utf8ToAnsi(line));
    for (auto &kv : all)
        got.insert(kv.first);
    EXPECT_EQ(got, expected);

    // Sizes and the stored DOS dates of the files.
    int files = 0;
    for (const std::string &line : Lines(kData + "tree.manifest")) {
        std::istringstream f(line);
        std::string name, size, date, time;
        std::getline(f, name, '\t');
        std::getline(f, size, '\t');
        std::getline(f, date, '\t');
        std::getline(f, time, '\t');
        name = Utf8ToAnsi(name);
        if (name.back() == '\\')
            continue;
        ASSERT_TRUE(all.count(name)) << name;
        EXPECT_EQ(all[name].size, std::stoull(size)) << name;
        EXPECT_EQ(all[name].date, std::stoul(date)) << name;
        EXPECT_EQ(all[name].time, std::stoul(time)) << name;
        ++files;
    }
    EXPECT_EQ(files, 6);
}

TEST_F(Archive, OtherArchivesList) {
    struct Case {
        const char *archive;
        std::map<std::string, uint64_t> sizes; // besides ".."
    };
    const Case cases[] = {
        {"big.zip", {{"small.txt", 6}, {"huge.bin", 4294967297ull}}}, // ZIP64 member above 4 GiB
        {"empty.zip", {}},                                             // only ".."
        {"single.txt.gz", {{"single.txt", 12}}},
        {"link.zip", {{"link-target", 13}}},
    };
    for (const Case &c : cases) {
        DirListing listing;
        ASSERT_TRUE(Open(c.archive, &listing)) << c.archive;
        auto entries = Entries(listing);
        DirListingFree(&listing);
        ASSERT_TRUE(entries.count("..")) << c.archive;
        entries.erase("..");
        std::map<std::string, uint64_t> sizes;
        for (auto &kv : entries)
            sizes[kv.first] = kv.second.size;
        if (std::string(c.archive) == "link.zip")
            sizes["link-target"] = 13; // the link's text is whatever the host's path was
        EXPECT_EQ(sizes, c.sizes) << c.archive;
    }
    // A file that is no archive opens nothing.
    DirListing listing;
    EXPECT_FALSE(Open("tree.list", &listing));
    EXPECT_FALSE(listing.entryBlock);
}

TEST_F(Archive, CopiedOutMembersEqualTheirSourcesWithTheirDates) {
    std::string out = JobTestScratch("arc-copy");
    ASSERT_EQ(CopyOut("tree.zip", "", {"tree"}, out), 0u);
    int files = 0;
    std::map<std::string, std::pair<uint16_t, uint16_t>> stamps;
    for (const std::string &line : Lines(kData + "tree.manifest")) {
        std::istringstream f(line);
        std::string name, size, date, time;
        std::getline(f, name, '\t');
        std::getline(f, size, '\t');
        std::getline(f, date, '\t');
        std::getline(f, time, '\t');
        name = Utf8ToAnsi(name);
        std::string copied = out + "\\" + name, source = kData + name;
        if (name.back() == '\\') {
            EXPECT_TRUE(GetFileAttributesA(copied.c_str()) & FILE_ATTRIBUTE_DIRECTORY) << copied;
            continue;
        }
        EXPECT_TRUE(ReadFileBytes(copied) == ReadFileBytes(source)) << copied;
        uint16_t d = 0, t = 0;
        ASSERT_TRUE(DosTimeOf(copied, &d, &t)) << copied;
        EXPECT_EQ(d, std::stoul(date)) << copied;
        EXPECT_EQ(t, std::stoul(time)) << copied;
        ++files;
    }
    EXPECT_EQ(files, 6);
    EXPECT_TRUE(Exists(out + "\\tree\\empty dir"));
    EXPECT_TRUE(TempLeftovers(out + "\\tree").empty());

    // From a level inside: a folder and a file of "tree\a b".
    std::string inner = JobTestScratch("arc-copy-inner");
    ASSERT_EQ(CopyOut("tree.zip", "tree\\a b", {"deep", "random.bin"}, inner), 0u);
    EXPECT_EQ(ListNames(inner), (std::vector<std::string>{"deep", "random.bin"}));
    EXPECT_TRUE(ReadFileBytes(inner + "\\deep\\lines.txt") == ReadFileBytes(kData + "tree\\a b\\deep\\lines.txt"));
    EXPECT_TRUE(Exists(inner + "\\deep\\deeper\\zero.txt"));

    // One file under a new name; and the one member of a gzip file.
    std::string single = JobTestScratch("arc-copy-single");
    ASSERT_EQ(CopyOut("tree.zip", "tree", {"top.txt"}, single + "\\renamed.txt"), 0u);
    EXPECT_EQ(ReadFileBytes(single + "\\renamed.txt"), "top\n");
    ASSERT_EQ(CopyOut("single.txt.gz", "", {"single.txt"}, single), 0u);
    EXPECT_EQ(ReadFileBytes(single + "\\single.txt"), "gzip member\n");
}

TEST_F(Archive, HostileNamesNeverLeaveTheTarget) {
    std::string root = JobTestScratch("arc-slip");
    std::string target = root + "\\in\\deeper";
    CreateDirectoryA((root + "\\in").c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
    DirListing listing;
    ASSERT_TRUE(Open("evil.zip", &listing));
    std::vector<std::string> names;
    for (auto &kv : Entries(listing))
        if (kv.first != "..")
            names.push_back(kv.first);
    DirListingFree(&listing);
    // Copy every entry the panel shows ("../evil.txt" and "..\x.txt" show
    // as none): the five hostile members among them are refused.
    EXPECT_EQ(names, (std::vector<std::string>{"C:", "abs.txt", "dots", "good.txt", "ok", "sub"}));
    uint32_t errors = CopyOut("evil.zip", "", names, target);
    EXPECT_EQ(errors, 5u);
    EXPECT_EQ(ListNames(root), std::vector<std::string>{"in"});
    EXPECT_EQ(ListNames(root + "\\in"), std::vector<std::string>{"deeper"});
    EXPECT_EQ(ReadFileBytes(target + "\\good.txt"), "content of good.txt\n");
    EXPECT_EQ(ReadFileBytes(target + "\\ok\\fine.txt"), "content of ok/fine.txt\n");
    std::vector<std::string> inTarget = ListNames(target);
    for (const std::string &n : inTarget)
        EXPECT_TRUE(n == "good.txt" || n == "ok") << n;
    EXPECT_FALSE(Exists("T:\\x.txt"));
    EXPECT_FALSE(Exists("C:\\x.txt"));
    EXPECT_FALSE(Exists("C:\\abs.txt"));
    EXPECT_FALSE(Exists("T:\\abs.txt"));

    // The whole archive unpacked by the library: the same members refused.
    std::string unpack = JobTestScratch("arc-slip-unpack");
    std::string unpackTarget = unpack + "\\t";
    CreateDirectoryA(unpackTarget.c_str(), nullptr);
    SelectionBuilder b;
    SelListAppend(&b, "evil.zip", 0, 0, 0, 0, 0);
    SelListAppend(&b, "link.zip", 0, 0, 0, 0, 0);
    void *selection = SelListRelease(&b);
    JobRecord job = MakeJob(kJobCodeUnpack, "T:\\arcdata", unpackTarget, kJobInclSubDirs | kJobStatistics, selection);
    ArcJobUnpack(&job);
    free(selection);
    EXPECT_EQ(job.errors, 8u); // seven names and one link
    EXPECT_EQ(ListNames(unpack), std::vector<std::string>{"t"});
    EXPECT_EQ(ListNames(unpackTarget), (std::vector<std::string>{"good.txt", "ok"}));
}

TEST_F(Archive, LinkMembersAreNeverWritten) {
    std::string out = JobTestScratch("arc-link");
    EXPECT_EQ(CopyOut("link.zip", "", {"link-target"}, out), 1u);
    EXPECT_TRUE(ListNames(out).empty());
}

TEST_F(Archive, FailedExtractionKeepsTheExistingFile) {
    std::string out = JobTestScratch("arc-fail");
    WriteFileBytes(out + "\\top.txt", "old contents");
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", "1");
    EXPECT_EQ(CopyOut("tree.zip", "tree", {"top.txt"}, out), 1u);
    EXPECT_EQ(ReadFileBytes(out + "\\top.txt"), "old contents");
    EXPECT_TRUE(TempLeftovers(out).empty());
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", nullptr);
    EXPECT_EQ(CopyOut("tree.zip", "tree", {"top.txt"}, out), 0u);
    EXPECT_EQ(ReadFileBytes(out + "\\top.txt"), "top\n");
}

TEST_F(Archive, PackMakesArchivesTheListerReadsBack) {
    // Results stay in T:\arcdata\out for check.sh (unzip -t, 7z t, members
    // equal to their sources).
    std::string out = kData + "out";
    SelectionBuilder b;
    SelListAppend(&b, "tree", 0, 0, 0, kEntryFolder, 0);
    SelListAppend(&b, "single.txt.gz", 0, 0, 0, 0, 0);
    void *selection = SelListRelease(&b);
    JobRecord job = MakeJob(kJobCodePack, "T:\\arcdata", out + "\\packed.zip", kJobInclSubDirs, selection);
    ArcJobPack(&job);
    EXPECT_EQ(job.errors, 0u);
    EXPECT_NE(job.state, kJobStop);
    free(selection);

    DirListing listing;
    ASSERT_TRUE(Open("out\\packed.zip", &listing));
    DirListingFree(&listing);
    std::map<std::string, Listed> all;
    Walk(node, "", &all);
    std::set<std::string> expected = {"single.txt.gz"}, got;
    for (const std::string &line : Lines(kData + "tree.list"))
        expected.insert(Utf8ToAnsi(line));
    for (auto &kv : all)
        got.insert(kv.first);
    EXPECT_EQ(got, expected);

    // A pack into an existing archive that fails half-way leaves the old
    // archive as it was, and no temporary file.
    std::string before = ReadFileBytes(out + "\\packed.zip");
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", "2");
    SelectionBuilder b2;
    SelListAppend(&b2, "tree.list", 0, 0, 0, 0, 0);
    SelListAppend(&b2, "tree.manifest", 0, 0, 0, 0, 0);
    selection = SelListRelease(&b2);
    job = MakeJob(kJobCodePack, "T:\\arcdata", out + "\\packed.zip", kJobInclSubDirs | kJobStatistics, selection);
    ArcJobPack(&job);
    EXPECT_EQ(job.state, kJobStop);
    EXPECT_TRUE(ReadFileBytes(out + "\\packed.zip") == before);
    EXPECT_TRUE(TempLeftovers(out).empty());
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", nullptr);

    // The same pack without the fault adds both files and keeps the rest.
    job = MakeJob(kJobCodePack, "T:\\arcdata", out + "\\packed.zip", kJobInclSubDirs, selection);
    ArcJobPack(&job);
    EXPECT_NE(job.state, kJobStop);
    ASSERT_TRUE(Open("out\\packed.zip", &listing));
    auto root = Entries(listing);
    DirListingFree(&listing);
    EXPECT_EQ(root.size(), 5u); // "..", tree, single.txt.gz, tree.list, tree.manifest
    EXPECT_EQ(root["tree.list"].size, ReadFileBytes(kData + "tree.list").size());

    // gzip takes one file: two are refused and nothing is written.
    job = MakeJob(kJobCodePack, "T:\\arcdata", out + "\\two.gz", kJobInclSubDirs | kJobStatistics, selection);
    ArcJobPack(&job);
    EXPECT_EQ(job.state, kJobStop);
    EXPECT_FALSE(Exists(out + "\\two.gz"));
    free(selection);
}

TEST_F(Archive, AMissingLibraryIsReportedOnceAndOpensNothing) {
    ArcUnload();
    const char *delivered = gArcLibraryName;
    gArcLibraryName = "NOBRISAN.DLL";
    auto *oldBox = gMissingModuleBox;
    gMissingModuleBox = RecordBox;
    gBoxes.clear();
    uint32_t shown = gApp->libMissingShown;
    gApp->libMissingShown = 0;
    DirListing listing = {};
    EXPECT_EQ(ArcGetArchiveType((kData + "tree.zip").c_str()), 0);
    EXPECT_FALSE(ArcOpenArchive((kData + "tree.zip").c_str(), &listing, gApp->archivePassword));
    EXPECT_FALSE(listing.entryBlock);
    EXPECT_EQ(gBoxes, std::vector<std::string>{"Cannot find or load the module NOBRISAN.DLL."});
    gMissingModuleBox = oldBox;
    gArcLibraryName = delivered;
    gApp->libMissingShown = shown;
}

namespace {

// VANDZIP.SET with one packer, ZQPACK.EXE beside the test.
std::string WriteDefinitions(const std::string &folder, const char *program) {
    PackerImage image;
    PackerInsertEmpty(&image, 0);
    PackerForm form;
    std::string p = program;
    form.text[kPackerName] = "ZQ";
    form.text[kPackerExtension] = "zip";
    form.text[kPackerAdd] = p + " a";
    form.text[kPackerAddPath] = p + " a -p";
    form.text[kPackerExtract] = p + " e";
    form.text[kPackerExtractPath] = p + " x";
    form.text[kPackerDelete] = p + " d";
    form.text[kPackerOption1] = "-5";
    form.text[kPackerOption2] = "-9";
    form.text[kPackerOption3] = "-1";
    EXPECT_TRUE(PackerReplace(&image, 0, form));
    std::string path = folder + "\\VANDZIP.SET";
    WriteFileBytes(path, std::string(image.begin(), image.end()));
    return path;
}


// ---- dropped files into an archive a panel shows

// The packed name list of a drop job: u16 record length, the name, a zero.
void *DropList(const std::vector<std::string> &names) {
    std::string bytes;
    for (const std::string &n : names) {
        uint16_t length = (uint16_t)(2 + n.size() + 1);
        bytes.append((const char *)&length, 2);
        bytes.append(n.c_str(), n.size() + 1);
    }
    bytes.append(4, '\0');
    void *list = malloc(bytes.size());
    memcpy(list, bytes.data(), bytes.size());
    return list;
}

JobRecord DropJob(uint16_t code, const std::vector<std::string> &names, const std::string &target) {
    JobRecord job = MakeJob(code, "", target, kJobInclSubDirs, nullptr);
    job.itemCount = (uint32_t)names.size();
    if (names.size() == 1)
        lstrcpynA(job.secondName, names[0].c_str(), sizeof job.secondName);
    else
        job.selection = DropList(names);
    return job;
}

TEST_F(Archive, DroppedFilesMovedIntoAnArchiveLeaveOnlyWhenTheyArrived) {
    std::string dir = JobTestScratch("drop-into-archive");
    std::string zip = dir + "\\a.zip", src = dir + "\\src";
    CreateDirectoryA((dir + "\\old").c_str(), nullptr);
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA((src + "\\tree").c_str(), nullptr);
    WriteFileBytes(dir + "\\old\\keep.txt", "old");
    WriteFileBytes(src + "\\keep.txt", "the newer keep");
    WriteFileBytes(src + "\\new.txt", "new file");
    WriteFileBytes(src + "\\tree\\x.txt", "in the tree");

    // The panel shows a.zip, made by a pack of the older keep.txt.
    SelectionBuilder b;
    SelListAppend(&b, "keep.txt", 0, 0, 0, 0, 0);
    void *selection = SelListRelease(&b);
    JobRecord pack = MakeJob(kJobCodePack, dir + "\\old", zip, 0, selection);
    ArcJobPack(&pack);
    free(selection);
    ASSERT_NE(pack.state, kJobStop);
    DirListing listing = {};
    node = ArcOpenArchive(zip.c_str(), &listing, gApp->archivePassword);
    ASSERT_NE(node, nullptr);
    DirListingFree(&listing);
    gApp->panels[0].location = node;
    std::string packed = ReadFileBytes(zip);

    // A target that only starts like the archive's name is a file of its own.
    std::string sibling = zip + "2";
    JobRecord beside = DropJob(kJobCodeDropCopy, {dir + "\\old\\keep.txt"}, sibling);
    DropCopyJobThread(&beside);
    EXPECT_EQ(ReadFileBytes(sibling), "old");
    EXPECT_EQ(beside.targetLocation, nullptr);
    EXPECT_TRUE(ReadFileBytes(zip) == packed);

    // A move with the overwrite question on: the user keeps the older
    // keep.txt in the archive, so its source stays; the others arrive and go.
    gApp->confirmFlags = kConfirmCopy;
    JobRecord move = DropJob(kJobCodeDropMove, {src + "\\keep.txt", src + "\\new.txt", src + "\\tree"}, zip);
    {
        DialogAnswerer no("The following file already exists", {kIdOverwriteSkip});
        DropCopyJobThread(&move);
        no.Join();
        EXPECT_EQ(no.answered(), 1);
    }
    gApp->confirmFlags = 0;
    EXPECT_NE(move.state, kJobStop);
    EXPECT_EQ(move.errors, 1u); // keep.txt, kept
    EXPECT_EQ(ReadFileBytes(src + "\\keep.txt"), "the newer keep");
    EXPECT_FALSE(Exists(src + "\\new.txt"));
    EXPECT_FALSE(Exists(src + "\\tree"));
    std::map<std::string, Listed> all;
    Walk(node, "", &all);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all["keep.txt"].size, 3u);
    EXPECT_EQ(all["new.txt"].size, 8u);
    EXPECT_EQ(all["tree\\x.txt"].size, 11u);
    free(move.selection);
    LocationCloneFree(move.targetLocation);

    // A pack that fails half-way moves nothing: every source stays.
    WriteFileBytes(src + "\\late.txt", "late");
    std::string before = ReadFileBytes(zip);
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", "1");
    JobRecord failed = DropJob(kJobCodeDropMove, {src + "\\late.txt", src + "\\keep.txt"}, zip + "\\inner");
    failed.flags |= kJobStatistics; // the write error becomes a log line, not a box
    DropCopyJobThread(&failed);
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", nullptr);
    EXPECT_EQ(failed.state, kJobStop);
    EXPECT_TRUE(Exists(src + "\\late.txt"));
    EXPECT_TRUE(Exists(src + "\\keep.txt"));
    EXPECT_TRUE(ReadFileBytes(zip) == before);
    free(failed.selection);
    LocationCloneFree(failed.targetLocation);

    // Into a folder inside the archive, as the target names it.
    JobRecord inner = DropJob(kJobCodeDropMove, {src + "\\late.txt"}, zip + "\\inner\\deeper");
    DropCopyJobThread(&inner);
    EXPECT_NE(inner.state, kJobStop);
    EXPECT_FALSE(Exists(src + "\\late.txt"));
    all.clear();
    Walk(node, "", &all);
    EXPECT_EQ(all["inner\\deeper\\late.txt"].size, 4u);
    LocationCloneFree(inner.targetLocation);
}

} // namespace

TEST_F(Archive, ExternalPackersGetEveryNameAsOneArgument) {
    std::string scratch = JobTestScratch("arc-external");
    std::string src = scratch + "\\src", log = scratch + "\\pack.log";
    CreateDirectoryA(src.c_str(), nullptr);
    const std::vector<std::string> names = {
        "plain.txt", "with blanks.txt", "and & amp.txt", "100% sure %PATH%.txt", "caret ^ and (parens).txt",
        std::string(180, 'L') + ".txt"};
    SelectionBuilder b;
    for (const std::string &n : names) {
        WriteFileBytes(src + "\\" + n, "contents of " + n);
        SelListAppend(&b, n.c_str(), 0, 0, 0, 0, 0);
    }
    void *selection = SelListRelease(&b);
    lstrcpynA(gPackerFileOverride, WriteDefinitions(scratch, "ZQPACK").c_str(), sizeof gPackerFileOverride);
    PackerForget();
    SetEnvironmentVariableA("ZQ_PACK_LOG", log.c_str());
    gApp->packerNumber = 0;
    gApp->packerChoice = 1; // option set 1: "-9"
    std::string archive = kData + "out\\external.zip";
    DeleteFileA(archive.c_str());
    JobRecord job = MakeJob(kJobCodePack, src, archive, kJobStatistics, selection);
    ArcPackJobThread(&job);
    EXPECT_EQ(job.errors, 0u);
    EXPECT_NE(job.state, kJobStop);

    // Each file arrived as the fifth argument, whole: "a", the option, the
    // archive, the file.
    std::vector<std::string> lines = Lines(log);
    std::vector<std::string> files, archives, options;
    for (const std::string &l : lines) {
        if (l.rfind("arg 2: ", 0) == 0)
            options.push_back(l.substr(7));
        if (l.rfind("arg 3: ", 0) == 0)
            archives.push_back(l.substr(7));
        if (l.rfind("arg 4: ", 0) == 0)
            files.push_back(l.substr(7));
        EXPECT_EQ(l.rfind("arg 5: ", 0), std::string::npos) << l;
    }
    std::vector<std::string> expected;
    for (const std::string &n : names)
        expected.push_back(src + "\\" + n);
    EXPECT_EQ(files, expected);
    EXPECT_EQ(archives, std::vector<std::string>(names.size(), archive));
    EXPECT_EQ(options, std::vector<std::string>(names.size(), "-9"));

    DirListing listing;
    ASSERT_TRUE(Open("out\\external.zip", &listing));
    auto entries = Entries(listing);
    DirListingFree(&listing);
    for (const std::string &n : names)
        EXPECT_TRUE(entries.count(n)) << n;

    // Unpacked again by the same packer (with paths) into a folder of its own.
    std::string back = scratch + "\\back";
    CreateDirectoryA(back.c_str(), nullptr);
    SelectionBuilder b2;
    SelListAppend(&b2, "external.zip", 0, 0, 0, 0, 0);
    void *archives2 = SelListRelease(&b2);
    job = MakeJob(kJobCodeUnpack, kData + "out", back, kJobInclSubDirs | kJobStatistics, archives2);
    ArcUnpackJobThread(&job);
    EXPECT_EQ(job.errors, 0u);
    for (const std::string &n : names)
        EXPECT_EQ(ReadFileBytes(back + "\\" + n), "contents of " + n) << n;
    free(archives2);

    // A packer program that is not there stops the job with an error and
    // writes nothing; no command interpreter runs it in its place.
    lstrcpynA(gPackerFileOverride, WriteDefinitions(scratch, "NOSUCHPACKER").c_str(), sizeof gPackerFileOverride);
    PackerForget();
    std::string none = scratch + "\\none.zip";
    job = MakeJob(kJobCodePack, src, none, kJobStatistics, selection);
    ArcPackJobThread(&job);
    EXPECT_EQ(job.state, kJobStop);
    EXPECT_EQ(job.errors, 1u);
    EXPECT_FALSE(Exists(none));
    free(selection);
    gPackerFileOverride[0] = 0;
    PackerForget();
    SetEnvironmentVariableA("ZQ_PACK_LOG", nullptr);
}

// ---- F3 and F4 on members through local copies

namespace {

LRESULT CALLBACK EditMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgEditWatchEnded) {
        EditWatchOnEnded();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// One member's bytes, as the library extracts it.
std::string MemberBytes(const std::string &archive, const std::string &member, const std::string &scratch) {
    std::string out = scratch + "\\member.out";
    DeleteFileA(out.c_str());
    uintptr_t args[8] = {0, (uintptr_t)archive.c_str(), (uintptr_t)member.c_str(), (uintptr_t)out.c_str(),
                         ArcGetArchiveType(archive.c_str()), (uintptr_t)gApp->archivePassword, 0, 0};
    ArcSendCommandEx(kArcExtractOne, args);
    return ReadFileBytes(out);
}

} // namespace

TEST_F(Archive, F3AndF4OnAMemberGoThroughALocalCopyAndTheEditGoesBack) {
    std::string dir = JobTestScratch("edit-member");
    std::string zip = dir + "\\a.zip", src = dir + "\\src", scratch = dir + "\\out";
    const std::string original = "hello member\r\n", edit = "edited by ZQEDIT\r\n";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(scratch.c_str(), nullptr);
    CreateDirectoryA((src + "\\docs").c_str(), nullptr);
    WriteFileBytes(src + "\\docs\\note.txt", original);
    WriteFileBytes(src + "\\other.txt", "other");
    void *selection = SelectionOf(src, {"docs", "other.txt"});
    JobRecord pack = MakeJob(kJobCodePack, src, zip, kJobInclSubDirs, selection);
    ArcJobPack(&pack);
    free(selection);
    ASSERT_NE(pack.state, kJobStop);
    DirListing listing = {};
    node = ArcOpenArchive(zip.c_str(), &listing, gApp->archivePassword);
    ASSERT_NE(node, nullptr);
    DirListingFree(&listing);
    lstrcpynA(node->innerPath, "docs", sizeof node->innerPath);
    gApp->panels[0].location = node;
    gApp->activePanel = 0;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = EditMainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ArchiveEditMain";
    RegisterClassA(&wc);
    HWND main = CreateWindowA("ArchiveEditMain", "archive edits", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(main, nullptr);
    gMainWindow = main;
    const std::string ini = dir + "\\edit.ini", log = dir + "\\zqedit.log", go = dir + "\\go";
    WritePrivateProfileStringA("Viewer", "1", "*.txt=T:\\ZQEDIT.EXE=/v", ini.c_str());
    WritePrivateProfileStringA("Editor", "1", ("*.txt=T:\\ZQEDIT.EXE=/wait:" + go).c_str(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    char oldModule[sizeof gApp->modulePath];
    memcpy(oldModule, gApp->modulePath, sizeof oldModule);
    lstrcpynA(gApp->modulePath, ini.c_str(), sizeof gApp->modulePath);
    ExtProgListsForget();
    SetEnvironmentVariableA("ZQEDIT_LOG", log.c_str());
    char keptFolder[MAX_PATH];
    PathGetKeptFolder(keptFolder, sizeof keptFolder);
    const std::string kept = std::string(keptFolder) + "note.txt";
    DeleteFileA(kept.c_str());

    // F3: the viewer gets the member extracted.
    ASSERT_EQ(ViewerOpenActive(main, "note.txt", nullptr), 1);
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 1; })) << ReadFileBytes(log);
    std::string viewed = LoggedFile(LogLines(log)[0]);
    EXPECT_EQ(ReadFileBytes(viewed), original);

    // F4: the editor changes its copy; when it ends, the archive gets it.
    std::string before = ReadFileBytes(zip);
    ASSERT_EQ(EditOpenActive(main, "note.txt", nullptr), 1);
    ASSERT_TRUE(WaitUntil([] { return !EditWatchIdle(); }));
    EXPECT_TRUE(ReadFileBytes(zip) == before); // nothing goes back while the editor runs
    WriteFileBytes(go, "go");
    ASSERT_TRUE(WaitUntil([&] { return EditWatchIdle() && MemberBytes(zip, "docs\\note.txt", scratch) == original + edit; }))
        << MemberBytes(zip, "docs\\note.txt", scratch);
    EXPECT_EQ(MemberBytes(zip, "other.txt", scratch), "other");
    std::map<std::string, Listed> all;
    Walk(node, "", &all);
    EXPECT_EQ(all.size(), 3u); // docs\, docs\note.txt, other.txt: replaced, not added twice
    EXPECT_EQ(TempLeftovers(dir), std::vector<std::string>{});
    lstrcpynA(node->innerPath, "docs", sizeof node->innerPath);

    // The archive cannot be rewritten: it stays as it was, the edit is kept
    // where the box says.
    DeleteFileA(go.c_str());
    before = ReadFileBytes(zip);
    ASSERT_EQ(EditOpenActive(main, "note.txt", nullptr), 1);
    ASSERT_TRUE(WaitUntil([] { return !EditWatchIdle(); }));
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", "1");
    std::string toldText;
    DialogAnswerer failed("Zq Vandrell", {IDOK}); // the library's write error
    DialogAnswerer told("note.txt", {IDCANCEL}, [&](int) {
        char text[2048] = "";
        GetDlgItemTextA(FindWindowA("#32770", "note.txt"), 0xFFFF, text, sizeof text);
        toldText = text;
    });
    WriteFileBytes(go, "go");
    ASSERT_TRUE(WaitUntil([&] { return EditWatchIdle() && told.answered() == 1; }))
        << failed.answered() << " " << told.answered();
    told.Join();
    failed.Join();
    EXPECT_EQ(failed.answered(), 1);
    SetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", nullptr);
    EXPECT_TRUE(ReadFileBytes(zip) == before);
    EXPECT_EQ(ReadFileBytes(kept), original + edit + edit);
    EXPECT_NE(toldText.find("\r\n" + kept), std::string::npos) << toldText;
    EXPECT_EQ(TempLeftovers(dir), std::vector<std::string>{});
    DeleteFileA(kept.c_str());

    SetEnvironmentVariableA("ZQEDIT_LOG", nullptr);
    memcpy(gApp->modulePath, oldModule, sizeof oldModule);
    ExtProgListsForget();
    gMainWindow = nullptr;
    DestroyWindow(main);
}

// ---- F5 and F6 with an archive panel as target

namespace {

struct PanelRow {
    const char *name;
    uint16_t flags;
    uint8_t mark;
};

void InstallPanel(int panel, const std::vector<PanelRow> &rows) {
    PanelListData d;
    d.entryBlock = (uint8_t *)calloc(1, rows.size() * kFileEntryMax + kFileEntrySlack);
    d.entryIndex = (FileEntry **)calloc(rows.size() + 1, sizeof(FileEntry *));
    uint8_t *at = d.entryBlock;
    for (size_t i = 0; i < rows.size(); i++) {
        FileEntry *fe = (FileEntry *)at;
        uint64_t size = 1;
        uint32_t len = FileEntryBuildCase(fe, 0x5021, 0, &size, rows[i].flags, rows[i].name, nullptr, 0);
        fe->mark = rows[i].mark;
        d.entryIndex[i] = fe;
        at += len;
    }
    d.entryCount = (uint32_t)rows.size();
    ASSERT_TRUE(PanelListInstall(panel, d, 1000));
    PanelListFree(d);
}

// Every member path of an archive ("\" separators, folders with a trailing
// "\" only when they hold nothing), read the way the panel reads it.
void MembersBelow(LocationNode *node, const std::string &inner, std::set<std::string> *out) {
    lstrcpynA(node->innerPath, inner.c_str(), sizeof node->innerPath);
    DirListing listing = {};
    if (!ArcRereadArchive(node, &listing, gApp->archivePassword))
        return;
    auto entries = Entries(listing);
    DirListingFree(&listing);
    for (auto &kv : entries) {
        if (kv.first == "..")
            continue;
        std::string path = inner.empty() ? kv.first : inner + "\\" + kv.first;
        if (kv.second.flags & kEntryFolder) {
            size_t before = out->size();
            MembersBelow(node, path, out);
            if (out->size() == before)
                out->insert(path + "\\");
        } else {
            out->insert(path);
        }
    }
}

std::set<std::string> MembersOf(const std::string &archive) {
    std::set<std::string> out;
    DirListing listing = {};
    LocationNode *n = ArcOpenArchive(archive.c_str(), &listing, gApp->archivePassword);
    DirListingFree(&listing);
    if (n) {
        MembersBelow(n, "", &out);
        MemFree(&n);
    }
    return out;
}

struct WaitArchive {
    std::string archive;
    std::vector<std::string> members; // must all be there
    std::vector<std::string> gone;    // files that must have left
};
bool ArchiveHolds(void *c) {
    WaitArchive *w = (WaitArchive *)c;
    for (const std::string &g : w->gone)
        if (Exists(g))
            return false;
    std::set<std::string> members = MembersOf(w->archive);
    for (const std::string &m : w->members)
        if (!members.count(m))
            return false;
    return true;
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && !strcmp(cls, "#32770")) {
        *(bool *)found = true;
        return FALSE;
    }
    return TRUE;
}
// The job's progress dialog has closed.
bool NoDialogOpen(void *) {
    bool found = false;
    EnumWindows(FindOwnDialog, (LPARAM)&found);
    return !found;
}

// What the dialogs still open say, for a failure message.
BOOL CALLBACK AddDialogText(HWND w, LPARAM p) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || strcmp(cls, "#32770"))
        return TRUE;
    std::string *all = (std::string *)p;
    char text[512] = "";
    GetWindowTextA(w, text, sizeof text);
    *all += std::string("[") + text + "]";
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetWindowTextA(c, text, sizeof text);
        if (text[0])
            *all += std::string(" ") + text;
    }
    *all += "\n";
    return TRUE;
}
std::string OpenDialogTexts() {
    std::string all;
    EnumWindows(AddDialogText, (LPARAM)&all);
    return all;
}

// A file of the expected tree that check.sh compares with what unzip takes
// out of the archive.
void Expect(const std::string &root, const std::string &member, const std::string &bytes) {
    std::string path = root;
    size_t start = 0;
    for (size_t slash; (slash = member.find('\\', start)) != std::string::npos; start = slash + 1) {
        path = root + "\\" + member.substr(0, slash);
        CreateDirectoryA(path.c_str(), nullptr);
    }
    if (member.back() != '\\')
        WriteFileBytes(root + "\\" + member, bytes);
}

} // namespace

TEST_F(Archive, CopyAndMoveIntoAnArchivePanel) {
    // The result stays in T:\arcdata\out for check.sh: `unzip -t`, the
    // names `unzip -Z1` lists, and every member `cmp`-equal to its source.
    std::string out = kData + "out", zip = out + "\\copyin.zip", expect = out + "\\copyin-expect";
    std::string src = JobTestScratch("copy-in-src"), old = JobTestScratch("copy-in-old");
    DeleteFileA(zip.c_str());
    CreateDirectoryA(expect.c_str(), nullptr);
    std::string random;
    for (int i = 0; i < 200000; i++)
        random += (char)(rand() & 0xFF);
    const std::map<std::string, std::string> files = {
        {"plain.txt", "plain\r\n"},         {"tree\\sub\\deep.bin", random},
        {"with blank.txt", "blank name"},   {"m1.txt", "to be moved"},
        {"mtree\\x.txt", "moved tree"},     {"mtree\\kept\\y.txt", "moved deeper"},
    };
    for (auto &kv : files) {
        Expect(src, kv.first, kv.second);
    }
    CreateDirectoryA((src + "\\tree\\empty").c_str(), nullptr);
    WriteFileBytes(old + "\\old.txt", "already there");

    SelectionBuilder b;
    SelListAppend(&b, "old.txt", 0, 0, 0, 0, 0);
    void *selection = SelListRelease(&b);
    JobRecord pack = MakeJob(kJobCodePack, old, zip, 0, selection);
    ArcJobPack(&pack);
    free(selection);
    ASSERT_NE(pack.state, kJobStop);

    // The right panel shows the archive's root, the left one the sources.
    DirListing listing;
    ASSERT_TRUE(Open("out\\copyin.zip", &listing));
    DirListingFree(&listing);
    gApp->panels[1].location = node;
    lstrcpynA(gApp->panelPath[1], out.c_str(), sizeof gApp->panelPath[1]);
    lstrcpynA(gApp->panelPath[0], src.c_str(), sizeof gApp->panelPath[0]);
    gApp->activePanel = 0;

    // F5 with a file and a folder marked: the dialog proposes the archive.
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"plain.txt", 0x20, 1}, {"tree", kEntryFolder, 1},
                     {"m1.txt", 0x20, 0}});
    std::string proposed;
    {
        DialogAnswerer ok(" Copy", {IDOK + 98}, [&](int) {
            HWND dialog = FindWindowA("#32770", " Copy");
            char text[600] = "";
            GetDlgItemTextA(dialog, kIdCopyTarget, text, sizeof text);
            proposed = text;
        });
        CopyCommand(nullptr, kJobCodeCopy);
        ok.Join();
        ASSERT_EQ(ok.answered(), 1);
    }
    EXPECT_EQ(proposed, zip);
    WaitArchive copied = {zip, {"old.txt", "plain.txt", "tree\\sub\\deep.bin", "tree\\empty\\"}, {}};
    EXPECT_TRUE(PumpUntil(ArchiveHolds, &copied, 30000)) << OpenDialogTexts();
    EXPECT_TRUE(PumpUntil(NoDialogOpen, nullptr, 30000)) << OpenDialogTexts();
    EXPECT_TRUE(Exists(src + "\\plain.txt"));
    EXPECT_TRUE(Exists(src + "\\tree\\sub\\deep.bin"));

    // F6 into the folder "tree" the panel has entered: the moved files leave
    // their folder, and so do the folders they emptied.
    lstrcpynA(node->innerPath, "tree", sizeof node->innerPath);
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"m1.txt", 0x20, 1}, {"mtree", kEntryFolder, 1}});
    {
        DialogAnswerer ok(" Move", {IDOK + 98}, [&](int) {
            HWND dialog = FindWindowA("#32770", " Move");
            char text[600] = "";
            GetDlgItemTextA(dialog, kIdCopyTarget, text, sizeof text);
            proposed = text;
        });
        CopyCommand(nullptr, kJobCodeMove);
        ok.Join();
        ASSERT_EQ(ok.answered(), 1);
    }
    EXPECT_EQ(proposed, zip + "\\tree");
    WaitArchive moved = {zip, {"tree\\m1.txt", "tree\\mtree\\x.txt", "tree\\mtree\\kept\\y.txt"},
                         {src + "\\m1.txt", src + "\\mtree"}};
    EXPECT_TRUE(PumpUntil(ArchiveHolds, &moved, 30000));
    EXPECT_TRUE(PumpUntil(NoDialogOpen, nullptr, 30000)) << OpenDialogTexts();
    gApp->panels[1].location = nullptr;
    lstrcpynA(node->innerPath, "", sizeof node->innerPath);

    // The job itself: one file under a name of its own, one file into a
    // folder the archive holds, and a target beside the archive that only
    // starts like its name, which packs nothing.
    struct Case {
        const char *name, *target;
        bool ok;
    } cases[] = {
        {"plain.txt", "\\renamed.txt", true},
        {"with blank.txt", "\\tree\\sub", true},
        {"plain.txt", "2\\x", false},
    };
    for (const Case &c : cases) {
        std::string before = ReadFileBytes(zip);
        void *one = SelectionOf(src, {c.name});
        JobRecord job = MakeJob(kJobCodeCopy, src, zip + c.target, kJobInclSubDirs | kJobStatistics, one);
        job.targetLocation = node;
        CopyJobThread(&job);
        free(one);
        EXPECT_EQ(job.state != kJobStop, c.ok) << c.target;
        if (!c.ok) {
            EXPECT_TRUE(ReadFileBytes(zip) == before) << c.target;
            EXPECT_FALSE(Exists(zip + "2")) << c.target;
        }
    }

    std::set<std::string> want = {"old.txt",           "plain.txt",       "renamed.txt",
                                  "tree\\sub\\deep.bin", "tree\\empty\\",    "tree\\sub\\with blank.txt",
                                  "tree\\m1.txt",      "tree\\mtree\\x.txt", "tree\\mtree\\kept\\y.txt"};
    EXPECT_EQ(MembersOf(zip), want);
    EXPECT_TRUE(TempLeftovers(out).empty());

    // What check.sh compares with unzip's view of the archive.
    Expect(expect, "old.txt", "already there");
    Expect(expect, "plain.txt", files.at("plain.txt"));
    Expect(expect, "renamed.txt", files.at("plain.txt"));
    Expect(expect, "tree\\sub\\deep.bin", random);
    Expect(expect, "tree\\empty\\", "");
    CreateDirectoryA((expect + "\\tree\\empty").c_str(), nullptr);
    Expect(expect, "tree\\sub\\with blank.txt", files.at("with blank.txt"));
    Expect(expect, "tree\\m1.txt", files.at("m1.txt"));
    Expect(expect, "tree\\mtree\\x.txt", files.at("mtree\\x.txt"));
    Expect(expect, "tree\\mtree\\kept\\y.txt", files.at("mtree\\kept\\y.txt"));
    std::string list;
    for (std::string m : want) {
        for (char &ch : m)
            if (ch == '\\')
                ch = '/';
        list += m + "\n";
    }
    WriteFileBytes(out + "\\copyin.list", list);
}

TEST_F(Archive, DeleteMembersWithF8) {
    // A copy of tree.zip's tree packed anew; check.sh tests it with unzip.
    std::string zip = kData + "out\\deleted.zip";
    DeleteFileA(zip.c_str());
    SelectionBuilder b;
    SelListAppend(&b, "tree", 0, 0, 0, kEntryFolder, 0);
    void *selection = SelListRelease(&b);
    JobRecord pack = MakeJob(kJobCodePack, "T:\\arcdata", zip, kJobInclSubDirs, selection);
    ArcJobPack(&pack);
    free(selection);
    ASSERT_NE(pack.state, kJobStop);
    std::set<std::string> before = MembersOf(zip), want;
    for (const std::string &m : before)
        if (m != "tree\\top.txt" && m.rfind("tree\\a b\\", 0) != 0)
            want.insert(m);
    ASSERT_EQ(before.size(), want.size() + 5); // top.txt and the four files below "a b"

    // The panel shows the level "tree"; a file and a folder are marked.
    DirListing listing;
    ASSERT_TRUE(Open("out\\deleted.zip", &listing));
    DirListingFree(&listing);
    lstrcpynA(node->innerPath, "tree", sizeof node->innerPath);
    gApp->panels[0].location = node;
    lstrcpynA(gApp->panelPath[0], (kData + "out").c_str(), sizeof gApp->panelPath[0]);
    gApp->activePanel = 0;
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"top.txt", 0x20, 1}, {"a b", kEntryFolder, 1},
                     {"empty dir", kEntryFolder, 0}});
    {
        DialogAnswerer ok(" Delete", {IDOK + 98});
        DelCommand(nullptr);
        ok.Join();
        ASSERT_EQ(ok.answered(), 1);
    }
    struct Wait {
        std::string zip;
        std::set<std::string> want;
    } wait = {zip, want};
    EXPECT_TRUE(PumpUntil([](void *c) { return MembersOf(((Wait *)c)->zip) == ((Wait *)c)->want; }, &wait, 30000));
    EXPECT_TRUE(PumpUntil(NoDialogOpen, nullptr, 30000)) << OpenDialogTexts();
    EXPECT_EQ(MembersOf(zip), want);
    EXPECT_TRUE(TempLeftovers(kData + "out").empty());

    // On ".." with nothing marked there is nothing to delete.
    std::string now = ReadFileBytes(zip);
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"empty dir", kEntryFolder, 0}});
    gApp->cursorIndex[0] = 0;
    DelCommand(nullptr);
    EXPECT_TRUE(ReadFileBytes(zip) == now);
    gApp->panels[0].location = nullptr;
}

// ---- the password prompt and the password caution

namespace {

struct DialogWith {
    const char *caption;
    int control;
    HWND found;
};
BOOL CALLBACK MatchDialogWith(HWND w, LPARAM p) {
    DialogWith *f = (DialogWith *)p;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char text[256] = "";
    GetWindowTextA(w, text, sizeof text);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) && IsWindowEnabled(w) && strstr(text, f->caption) &&
        GetDlgItem(w, f->control)) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}
HWND FindDialogWith(const char *caption, int control) {
    DialogWith f = {caption, control, nullptr};
    EnumWindows(MatchDialogWith, (LPARAM)&f);
    return f.found;
}

// Waits (on another thread) for an enabled dialog with that caption and
// control; null after a minute.
HWND AwaitDialog(const char *caption, int control) {
    DWORD deadline = GetTickCount() + 60000;
    while (GetTickCount() < deadline) {
        if (HWND w = FindDialogWith(caption, control))
            return w;
        Sleep(20);
    }
    return nullptr;
}

bool AwaitGone(HWND w) {
    DWORD deadline = GetTickCount() + 60000;
    while (GetTickCount() < deadline) {
        if (!IsWindow(w) || !IsWindowVisible(w))
            return true;
        Sleep(20);
    }
    return false;
}

} // namespace

TEST_F(Archive, ProtectedMembersAskForThePassword) {
    SetEnvironmentVariableA("ZQ_BRISAN_PASSWORD", "secret");
    memset(gApp->archivePassword, 0, sizeof gApp->archivePassword);
    std::string out = JobTestScratch("arc-password");

    // Listed with the encrypted mark.
    DirListing listing;
    ASSERT_TRUE(Open("tree.zip", &listing));
    DirListingFree(&listing);
    lstrcpynA(node->innerPath, "tree", sizeof node->innerPath);
    ASSERT_TRUE(ArcRereadArchive(node, &listing, gApp->archivePassword));
    auto entries = Entries(listing);
    DirListingFree(&listing);
    EXPECT_EQ(entries["top.txt"].flags & 0x40, 0x40);
    EXPECT_EQ(entries["a b"].flags & 0x40, 0);

    // Nothing remembered: the prompt asks, the right answer is remembered.
    {
        DialogAnswerer typed(" Password:", {IDOK}, [](int) {
            HWND dialog = FindDialogWith(" Password:", 15202);
            SetDlgItemTextA(dialog, 15202, "secret");
        });
        EXPECT_EQ(CopyOut("tree.zip", "tree", {"top.txt"}, out), 0u);
        typed.Join();
        EXPECT_EQ(typed.answered(), 1);
    }
    EXPECT_EQ(ReadFileBytes(out + "\\top.txt"), "top\n");
    EXPECT_STREQ(gApp->archivePassword, "secret");

    // Remembered: no prompt.
    {
        DialogAnswerer none(" Password:", {IDCANCEL});
        EXPECT_EQ(CopyOut("tree.zip", "tree\\a b", {"deep"}, out), 0u);
        EXPECT_EQ(none.answered(), 0);
    }
    EXPECT_TRUE(ReadFileBytes(out + "\\deep\\lines.txt") == ReadFileBytes(kData + "tree\\a b\\deep\\lines.txt"));

    // A wrong remembered password is forgotten and asked anew; Cancel
    // extracts nothing and keeps the file there.
    WriteFileBytes(out + "\\top.txt", "old contents");
    lstrcpynA(gApp->archivePassword, "wrong", sizeof gApp->archivePassword);
    {
        DialogAnswerer cancel(" Password:", {IDCANCEL});
        EXPECT_EQ(CopyOut("tree.zip", "tree", {"top.txt"}, out), 1u);
        cancel.Join();
        EXPECT_EQ(cancel.answered(), 1);
    }
    EXPECT_EQ(ReadFileBytes(out + "\\top.txt"), "old contents");
    EXPECT_STREQ(gApp->archivePassword, "");
    EXPECT_TRUE(TempLeftovers(out).empty());
    SetEnvironmentVariableA("ZQ_BRISAN_PASSWORD", nullptr);
}

TEST_F(Archive, PasswordCautionBeforeCharactersBeyondAscii) {
    struct Case {
        const char *password;
        bool caution;
    } cases[] = {{"plain#*!", false}, {"p\xe4ss", true}, {"tab\there", true}, {"", false}, {"~}", false},
                 {"\x7f", false},     {"\x80", true}};
    for (const Case &c : cases)
        EXPECT_EQ(PasswordNeedsCaution(c.password), c.caution) << c.password;

    // The pack dialog with "With password" and an accented password: OK
    // shows the caution; its Cancel returns to the pack dialog.
    std::string src = JobTestScratch("arc-caution");
    WriteFileBytes(src + "\\a.txt", "a");
    lstrcpynA(gApp->panelPath[0], src.c_str(), sizeof gApp->panelPath[0]);
    gApp->activePanel = 0;
    gApp->panels[0].location = nullptr;
    InstallPanel(0, {{"..", kEntryFolder | kEntryUpDir, 0}, {"a.txt", 0x20, 0}});
    gApp->cursorIndex[0] = 1;
    gApp->packerNumber = kArcFormatZip;
    gApp->moreOptions = 0x2;
    memset(gApp->archivePassword, 0, sizeof gApp->archivePassword);
    bool cautionShown = false, packStayed = false;
    char cautionText[400] = "";
    std::thread user([&] {
        HWND pack = AwaitDialog(" Pack", kIdPackPwd);
        if (!pack)
            return;
        SetDlgItemTextA(pack, kIdPackPwd, "p\xe4ss");
        PostMessageA(pack, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        HWND caution = AwaitDialog("Zq Vandrell", kIdCautionNoMore);
        if (!caution)
            return;
        cautionShown = true;
        GetDlgItemTextA(caution, kIdCautionText, cautionText, sizeof cautionText);
        PostMessageA(caution, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        AwaitGone(caution);
        pack = AwaitDialog(" Pack", kIdPackPwd);
        packStayed = pack != nullptr;
        if (pack)
            PostMessageA(pack, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    ArcShowPackDialog(nullptr);
    user.join();
    EXPECT_TRUE(cautionShown);
    EXPECT_TRUE(packStayed);
    EXPECT_EQ(std::string(cautionText).rfind("This password may cause compatibility problems", 0), 0u);
    EXPECT_EQ(gApp->moreOptions & 0x4, 0u);

    // "Do not display this dialog box in the future." sets bit 0x4.
    std::thread never([] {
        HWND caution = AwaitDialog("Zq Vandrell", kIdCautionNoMore);
        if (!caution)
            return;
        SendMessageA(GetDlgItem(caution, kIdCautionNoMore), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(caution, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_TRUE(PasswordCautionDialog(nullptr));
    never.join();
    EXPECT_EQ(gApp->moreOptions & 0x4, 0x4u);
    gApp->moreOptions = 0;
}

// ---- members through local copies: F3/F4, and archives inside archives

namespace {

std::vector<std::string> PanelNames(int panel) {
    std::vector<std::string> names;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        names.push_back(EntryName(e));
    PanelIterEnd(&it);
    return names;
}

} // namespace

TEST_F(Archive, MembersOpenThroughCopiesInTheTemporaryFolder) {
    DirListing listing;
    ASSERT_TRUE(Open("tree.zip", &listing));
    DirListingFree(&listing);
    lstrcpynA(node->innerPath, "tree", sizeof node->innerPath);
    gApp->panels[0].location = node;
    lstrcpynA(gApp->panelPath[0], "T:\\arcdata", sizeof gApp->panelPath[0]);
    gApp->activePanel = 0;

    // A member taken out keeps its name in a folder of its own there.
    char local[MAX_PATH];
    ASSERT_TRUE(ArcExtractToTempFile(nullptr, node, "top.txt", true, local, sizeof local));
    EXPECT_EQ(ReadFileBytes(local), "top\n");
    EXPECT_EQ(std::string(local + PathFindName(local)), "top.txt");
    EXPECT_TRUE(PathIsOwnTemporary(local)) << local;
    ArcRemoveTempCopy(local);
    EXPECT_FALSE(Exists(local));

    // A name that is no plain name, and a member that is not there, give no
    // copy, and each says why.
    {
        DialogAnswerer boxes("Zq Vandrell", {IDOK, IDOK, IDOK, IDOK});
        for (const char *name : {"..\\x.txt", "C:x.txt", "..", "missing.txt"}) {
            EXPECT_FALSE(ArcExtractToTempFile(nullptr, node, name, true, local, sizeof local)) << name;
            EXPECT_EQ(local[0], 0) << name;
        }
        boxes.Join();
        EXPECT_EQ(boxes.answered(), 4);
    }

    // Removing a copy never touches a file the program did not make.
    std::string mine = JobTestScratch("arc-not-ours") + "\\keep.txt";
    WriteFileBytes(mine, "not ours");
    ArcRemoveTempCopy(mine.c_str());
    EXPECT_EQ(ReadFileBytes(mine), "not ours");
    gApp->panels[0].location = nullptr;
}

TEST_F(Archive, EnterOnAnArchiveMemberOpensItAsALevelBelow) {
    // outer.zip holds tree.zip.
    std::string outer = kData + "out\\outer.zip";
    DeleteFileA(outer.c_str());
    SelectionBuilder b;
    SelListAppend(&b, "tree.zip", 0, 0, 0, 0, 0);
    void *selection = SelListRelease(&b);
    JobRecord pack = MakeJob(kJobCodePack, "T:\\arcdata", outer, 0, selection);
    ArcJobPack(&pack);
    free(selection);
    ASSERT_NE(pack.state, kJobStop);

    lstrcpynA(gApp->panelPath[0], (kData + "out").c_str(), sizeof gApp->panelPath[0]);
    gApp->activePanel = 0;
    LocationNode *top = PanelShowArchive(nullptr, outer.c_str(), 0, nullptr);
    ASSERT_NE(top, nullptr);
    gApp->panels[0].location = top;
    ASSERT_EQ(PanelNames(0), (std::vector<std::string>{"..", "tree.zip"}));
    gApp->cursorIndex[0] = 1;
    PanelHandleKey(nullptr, WM_KEYDOWN, VK_RETURN, 0);

    LocationNode *inner = gApp->panels[0].location;
    ASSERT_NE(inner, top);
    EXPECT_EQ(inner->parent, top);
    std::string copy = inner->archivePath;
    EXPECT_TRUE(PathIsOwnTemporary(copy.c_str())) << copy;
    EXPECT_TRUE(ReadFileBytes(copy) == ReadFileBytes(kData + "tree.zip"));
    char shown[520];
    ArcGetPanelPath(0, shown, sizeof shown);
    EXPECT_EQ(std::string(shown), outer + "\\tree.zip");
    EXPECT_EQ(PanelNames(0), (std::vector<std::string>{"..", "tree"}));

    // Members of the inner archive copy out as from any archive.
    std::string out = JobTestScratch("arc-nested");
    lstrcpynA(inner->innerPath, "tree", sizeof inner->innerPath);
    SelectionBuilder b2;
    SelListAppend(&b2, "top.txt", 0, 0, 0, 0, 0);
    void *one = SelListRelease(&b2);
    JobRecord job = MakeJob(kJobCodeCopy, kData, out, kJobInclSubDirs | kJobStatistics, one);
    job.sourceLocation = inner;
    ArcJobCopyOut(&job);
    free(one);
    EXPECT_EQ(job.errors, 0u);
    EXPECT_EQ(ReadFileBytes(out + "\\top.txt"), "top\n");
    inner->innerPath[0] = 0;

    // ".." at the inner archive's root goes back to the outer one; the copy
    // and its folder are gone.
    PanelLeaveArchive(0);
    EXPECT_EQ(gApp->panels[0].location, top);
    EXPECT_FALSE(Exists(copy));
    std::string folder = copy.substr(0, copy.find_last_of('\\'));
    EXPECT_FALSE(Exists(folder)) << folder;
    gApp->panels[0].location = nullptr;
    MemFree(&top);
}
