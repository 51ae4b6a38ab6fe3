// Reading real folders under Wine, the system sort order and the system's
// mask matcher as the peer of ours.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/Memory.h"
#include "panels/DirRead.h"
#include "panels/Filter.h"
#include "panels/SortPipeline.h"
#include "../fileops/BoxWatch.h"

namespace {

boxwatch::Install gWatch;

struct Listing {
    DirListing l{};
    ~Listing() { DirListingFree(&l); }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (FileEntry** p = l.entryIndex; p && *p; p++) out.push_back((*p)->name);
        return out;
    }
    const FileEntry* Find(const char* name) const {
        for (FileEntry** p = l.entryIndex; p && *p; p++)
            if (strcmp((*p)->name, name) == 0) return *p;
        return nullptr;
    }
};

DirReadOptions Plain(int key = kSortName, int reverse = 0) {
    DirReadOptions o{};
    o.showHidden = 1;
    o.sortKey = key;
    o.reverse = reverse;
    return o;
}

void Touch(const std::string& path, int bytes = 1) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    std::string data(bytes, 'z');
    DWORD put;
    WriteFile(h, data.data(), (DWORD)data.size(), &put, nullptr);
    CloseHandle(h);
}

TEST(DirRead, UpDirOnlyBelowARoot) {
    DirReadOptions o = Plain();
    Listing root;
    ASSERT_EQ(DirReadEntriesWith("T:\\", &root.l, &o), 0u);
    ASSERT_GT(root.l.entryCount, 0u);
    EXPECT_EQ(root.Find(".."), nullptr);

    std::string dir = "T:\\fsdata\\list\\sub";
    CreateDirectoryA("T:\\fsdata\\list", nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    Touch(dir + "\\b.txt");
    Touch(dir + "\\a.txt");
    CreateDirectoryA((dir + "\\zdir").c_str(), nullptr);
    Listing sub;
    ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &sub.l, &o), 0u);
    EXPECT_EQ(sub.Names(), (std::vector<std::string>{"..", "zdir", "a.txt", "b.txt"}));
    EXPECT_EQ(sub.l.fileCount, 2u);
    EXPECT_EQ(sub.l.dirCount, 1u);
    EXPECT_EQ(sub.l.totalBytes, 2u);
    char size[32];
    EntrySizeText(sub.l.entryIndex[0], size);
    EXPECT_STREQ(size, "<UP-DIR>");
    EntrySizeText(sub.l.entryIndex[1], size);
    EXPECT_STREQ(size, "<DIR>");
    // Dates and times are the local ones the system gives for the file.
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA((dir + "\\a.txt").c_str(), GetFileExInfoStandard, &data));
    FILETIME local;
    WORD date = 0, time = 0;
    ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &time));
    ASSERT_NE(sub.Find("a.txt"), nullptr);
    EXPECT_EQ(sub.Find("a.txt")->date, date);
    EXPECT_EQ(sub.Find("a.txt")->time, time);

    Listing reversed;
    DirReadOptions r = Plain(kSortName, 1);
    ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &reversed.l, &r), 0u);
    EXPECT_EQ(reversed.Names(), (std::vector<std::string>{"..", "zdir", "b.txt", "a.txt"}));

    CreateDirectoryA("T:\\fsdata\\list\\empty", nullptr);
    Listing empty;
    ASSERT_EQ(DirReadEntriesWith("T:\\fsdata\\list\\empty", &empty.l, &o), 0u);
    EXPECT_EQ(empty.Names(), (std::vector<std::string>{".."}));

    Listing missing;
    EXPECT_EQ(DirReadEntriesWith("T:\\fsdata\\list\\missing", &missing.l, &o), 3u);
    EXPECT_EQ(missing.l.entryBlock, nullptr);
}

TEST(DirRead, LargeSizesAndFilterBounds) {
    DirReadOptions o = Plain(kSortSize);
    Listing l;
    ASSERT_EQ(DirReadEntriesWith("T:\\fsdata\\big", &l.l, &o), 0u);
    EXPECT_EQ(l.Names(), (std::vector<std::string>{"..", "one.txt", "under.bin", "four.bin", "five.bin"}));
    ASSERT_NE(l.Find("five.bin"), nullptr);
    EXPECT_EQ(FileEntrySize(l.Find("five.bin")), 5ull << 30);
    EXPECT_EQ(l.l.totalBytes, (5ull << 30) + (4ull << 30) + (4ull << 30) - 1 + 1);

    FilterSpec f{};
    f.flags = kFilterCustom | kFilterMinSize;
    f.allowedAttributes = 0x37;
    f.minSize = (4ull << 30) + 1;
    o.filter = &f;
    Listing filtered;
    ASSERT_EQ(DirReadEntriesWith("T:\\fsdata\\big", &filtered.l, &o), 0u);
    EXPECT_EQ(filtered.Names(), (std::vector<std::string>{"..", "five.bin"}));
    EXPECT_EQ(filtered.l.fileCount, 4u);  // counted before the filter
}

TEST(DirRead, ShortNamesMatchGetShortPathName) {
    std::string dir = "T:\\fsdata\\short83";
    CreateDirectoryA(dir.c_str(), nullptr);
    const char* names[] = {"A very long name.document", "short.txt", "two.dots.here.txt", "UPPER.TXT",
                           "lower case with spaces", "x.jpeg"};
    for (const char* n : names) Touch(dir + "\\" + n);
    DirReadOptions o = Plain();
    Listing l;
    ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &l.l, &o), 0u);
    for (const char* n : names) {
        const FileEntry* e = l.Find(n);
        ASSERT_NE(e, nullptr) << n;
        char shortPath[MAX_PATH];
        ASSERT_GT(GetShortPathNameA((dir + "\\" + n).c_str(), shortPath, sizeof shortPath), 0u);
        const char* expected = strrchr(shortPath, '\\') + 1;
        const char* got = FileEntryShortName(e);
        if (lstrcmpiA(expected, n) == 0)
            EXPECT_TRUE(!got || lstrcmpiA(got, n) == 0) << n;
        else
            EXPECT_STREQ(got ? got : "", expected) << n;
    }
}

TEST(DirRead, HiddenEntriesCountButStayOutWhenNotShown) {
    std::string dir = "T:\\fsdata\\hidden";
    CreateDirectoryA(dir.c_str(), nullptr);
    Touch(dir + "\\seen.txt", 3);
    Touch(dir + "\\secret.txt", 5);
    SetFileAttributesA((dir + "\\secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    DWORD a = GetFileAttributesA((dir + "\\secret.txt").c_str());
    if (!(a & FILE_ATTRIBUTE_HIDDEN)) GTEST_SKIP() << "the file system keeps no hidden bit here";
    DirReadOptions o = Plain();
    o.showHidden = 0;
    Listing l;
    ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &l.l, &o), 0u);
    EXPECT_EQ(l.Names(), (std::vector<std::string>{"..", "seen.txt"}));
    EXPECT_EQ(l.l.fileCount, 2u);
    EXPECT_EQ(l.l.totalBytes, 8u);
}

int gAllocsLeft;
void* LimitedAlloc(size_t n) { return gAllocsLeft-- > 0 ? MemAlloc(n) : nullptr; }

TEST(DirRead, OutOfMemoryIsReportedNotEmpty) {
    std::string dir = "T:\\fsdata\\many";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (int i = 0; i < 400; i++) Touch(dir + "\\file number " + std::to_string(i) + ".dat", 0);
    DirReadOptions o = Plain();
    Listing l;
    gAllocsLeft = 1;  // the first block, then nothing
    gPanelsAlloc = LimitedAlloc;
    uint32_t r = DirReadEntriesWith(dir.c_str(), &l.l, &o);
    gPanelsAlloc = MemAlloc;
    EXPECT_EQ(r, (uint32_t)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(l.l.entryBlock, nullptr);
    EXPECT_EQ(l.l.entryCount, 0u);
    Listing ok;
    ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &ok.l, &o), 0u);
    EXPECT_EQ(ok.l.entryCount, 401u);
}

// ---- the system order ---------------------------------------------------------

TEST(SystemSort, KeysGiveTheSameOrderAsCompareString) {
    const char* names[] = {"a",         "A.b",    "a.c",       "B",        "_under",   "-dash",   "~tilde",
                           "10.txt",    "9.txt",  "z z",       "zz",       "Zebra",    "\xC4rger", "apple pie",
                           "apple-pie", "apples", ".profile", "x.TAR.gz",  "x.tar",    "\xE9t\xE9", "e",
                           "f",         "O'Neil", "oneil",    "a1",       "a10",      "a2",      "MiXeD.Doc"};
    DirListing l{};
    EntryBlockBuilder b;
    int i = 0;
    for (const char* n : names) {
        alignas(8) uint8_t s[kFileEntryMax] = {};
        uint64_t size = (uint64_t)(i * 7919 % 1000) << (i % 3 ? 0 : 30);
        FileEntryBuildCase((FileEntry*)s, (uint16_t)(0x3000 + i % 5), (uint16_t)(i % 4), &size,
                           i % 4 == 0 ? 0x10 : 0x20, n, nullptr, 0);
        ASSERT_TRUE(EntryBlockAppend(&l, &b, (FileEntry*)s));
        i++;
    }
    for (int key = 0; key < 4; key++) {
        for (int reverse = 0; reverse < 2; reverse++) {
            std::vector<SortKeyRecord> records(l.entryCount);
            FileEntry* up;
            uint32_t n = SortBuildKeys(&l, key, reverse, records.data(), &up);
            std::vector<SortKeyRecord*> fast(n), slow(n);
            for (uint32_t k = 0; k < n; k++) fast[k] = slow[k] = &records[k];
            SortKeysBySystemKeys(fast.data(), n);
            SortKeysByCompare(slow.data(), n);
            for (uint32_t k = 0; k + 1 < n; k++)
                EXPECT_LE(PanelCompareKeys(&fast[k], &fast[k + 1]), 0)
                    << key << "/" << reverse << ": " << fast[k]->entry->name << " | " << fast[k + 1]->entry->name;
            for (uint32_t k = 0; k < n; k++)
                EXPECT_EQ(PanelCompareKeys(&fast[k], &slow[k]), 0) << key << "/" << reverse << " at " << k;
        }
    }
    DirListingFree(&l);
}

// A large folder is sorted on a second thread while it is read; the order
// must be the one the sort after the reading gives.
std::string PipelineName(uint32_t i, uint32_t stemWidth) {
    static const char* exts[] = {".txt", ".DOC", "", ".tar.gz", ".c", ".jpeg"};
    char text[64];
    snprintf(text, sizeof text, "%c%s %u", "aBcD_-~e"[i % 8], i % 3 ? "x" : "X-y", i * 2654435761u % 100000);
    std::string stem = text;
    if (stem.size() < stemWidth) stem += std::string(stemWidth - stem.size(), "kq"[i % 2]);
    return stem + exts[i % 6];
}

// Entries in reading order; stems grow to `widths[k]` characters from entry
// `widenAt[k]` on; ".." at `upDirAt`.
void BuildListing(DirListing* l, uint32_t n, const std::vector<uint32_t>& widenAt, uint32_t upDirAt,
                  uint32_t* upDirOffset) {
    EntryBlockBuilder b;
    uint32_t width = 8;
    size_t next = 0;
    for (uint32_t i = 0; i < n; i++) {
        if (next < widenAt.size() && i == widenAt[next]) width += 3, next++;
        alignas(8) uint8_t s[kFileEntryMax] = {};
        uint64_t size = (uint64_t)(i * 7919u % 100000) << (i % 5 ? 0 : 20);
        std::string name = i == upDirAt ? ".." : PipelineName(i, width);
        FileEntryBuildCase((FileEntry*)s, (uint16_t)(0x3000 + i % 97), (uint16_t)(i % 1200), &size,
                           i % 9 == 0 || i == upDirAt ? 0x10 : 0x20, name.c_str(), nullptr, 0);
        if (i == upDirAt) *upDirOffset = b.used;
        ASSERT_TRUE(EntryBlockAppend(l, &b, (FileEntry*)s));
    }
}

TEST(SystemSort, SortedWhileReadGivesTheSameOrder) {
    struct Case {
        const char* what;
        uint32_t n;
        std::vector<uint32_t> widenAt;
        bool pipelined;  // false: gives up, the caller sorts afterwards (by extension
                         // the widths follow the extensions, which stay as they are)
    } cases[] = {
        {"widths settled from the start", 9000, {}, true},
        {"names widen in later batches", 9000, {2500, 6100}, true},
        {"one batch and a little", kSortPipelineBatch + 1, {}, true},
        {"names widen in every batch", 16000, {2100, 4200, 6300, 8400, 10500, 12600, 14700}, false},
    };
    for (const Case& c : cases) {
        for (int key = kSortName; key < kSortNone; key++) {
            for (int reverse = 0; reverse < 2; reverse++) {
                SCOPED_TRACE(std::string(c.what) + " key " + std::to_string(key) + " reverse " +
                             std::to_string(reverse));
                Listing plain, piped;
                uint32_t upDir = kNoUpDir, unused = kNoUpDir;
                BuildListing(&plain.l, c.n, c.widenAt, c.n / 3, &unused);
                BuildListing(&piped.l, c.n, c.widenAt, c.n / 3, &upDir);
                PanelSortKeyEntries(&plain.l, key, reverse);
                SortPipeline* p = SortPipelineStart(key, reverse);
                ASSERT_NE(p, nullptr);
                uint32_t offset = 0, handed = 0;
                while (handed < c.n) {
                    uint32_t start = offset, count = 0;
                    while (count < kSortPipelineBatch && handed + count < c.n) {
                        offset += ((FileEntry*)(piped.l.entryBlock + offset))->length;
                        count++;
                    }
                    if (!SortPipelineFeed(p, piped.l.entryBlock + start, offset - start, count, start)) break;
                    handed += count;
                }
                bool sorted = SortPipelineFinish(p, &piped.l, upDir);
                EXPECT_EQ(sorted, c.pipelined || key == kSortExt);
                if (sorted)
                    EXPECT_EQ(piped.Names(), plain.Names());
                else
                    EXPECT_EQ(piped.l.entryIndex, nullptr) << "a listing given up on is left as it was";
            }
        }
    }
}

TEST(DirRead, LargeFolderSortedWhileReadAsAfterwards) {
    std::string dir = "T:\\fsdata\\large";
    CreateDirectoryA(dir.c_str(), nullptr);
    const uint32_t n = 2 * kSortPipelineBatch + 300;
    for (uint32_t i = 0; i < n; i++) {
        // The longest names come last, so the keys are made anew on the way.
        std::string name = PipelineName(i, i > n - 100 ? 30 : 8);
        HANDLE h = CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
        DWORD wrote = 0;
        WriteFile(h, name.data(), i % 50, &wrote, nullptr);
        CloseHandle(h);
    }
    for (int key = kSortName; key < kSortNone; key++) {
        for (int reverse = 0; reverse < 2; reverse++) {
            Listing whileRead, afterwards;
            DirReadOptions o = Plain(key, reverse);
            ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &whileRead.l, &o), 0u);
            o.sortKey = kSortNone;
            ASSERT_EQ(DirReadEntriesWith(dir.c_str(), &afterwards.l, &o), 0u);
            PanelSortKeyEntries(&afterwards.l, key, reverse);
            auto names = whileRead.Names();
            EXPECT_EQ(names.size(), n + 1);
            EXPECT_EQ(names.front(), "..");
            EXPECT_EQ(names, afterwards.Names()) << "key " << key << " reverse " << reverse;
        }
    }
}

// ---- masks against the system's PathMatchSpecA ------------------------------

TEST(Masks, SameAnswersAsPathMatchSpec) {
    HMODULE shlwapi = LoadLibraryA("shlwapi.dll");
    ASSERT_NE(shlwapi, nullptr);
    auto peer = (BOOL(WINAPI*)(LPCSTR, LPCSTR))(void*)GetProcAddress(shlwapi, "PathMatchSpecA");
    ASSERT_NE(peer, nullptr);
    const char* names[] = {"report.txt", "REPORT.TXT", "a", "ab", "abc", "noext", "x.tar.gz", ".profile",
                           "a.b.c", "name with space.doc", "abcabc", "aXbXc", ""};
    const char* masks[] = {"*",    "*.*",  "*.txt", "*.TXT", "?",     "??",     "???",  "a*",  "*c",
                           "a*c",  "*b*",  "*.",    "*.?",   "a?c",   "*.gz",   "x.*",  ".*",  "*.tar",
                           "a*b*c", "*abc", "abc*abc", "report.txt", "*.t?t", "?.*", "*a*a*"};
    int checked = 0;
    for (const char* n : names) {
        for (const char* m : masks) {
            bool want = peer(n, m) != FALSE;
            EXPECT_EQ(MaskMatchName(n, m) != 0, want) << "name '" << n << "' mask '" << m << "'";
            checked++;
        }
    }
    EXPECT_GT(checked, 300);
    FreeLibrary(shlwapi);
}

TEST(NameCase, SystemCharacterFunctions) {
    alignas(8) uint8_t s[kFileEntryMax] = {};
    FileEntry* e = (FileEntry*)s;
    FileEntryBuildCase(e, 0, 0, nullptr, 0x20, "\xC4RGER.TXT", nullptr, 2);
    EXPECT_STREQ(FileEntryDisplayName(e), "\xC4rger.txt");
    FileEntryBuildCase(e, 0, 0, nullptr, 0x20, "\xE4rger.txt", nullptr, 3);
    EXPECT_STREQ(FileEntryDisplayName(e), "\xC4RGER.TXT");
}

TEST(SizeText, MarksAndFolders) {
    struct Case {
        uint16_t flags;
        uint64_t size;
        const char* text;
    } cases[] = {
        {0x10, 0, "<DIR>"},          {0x10 | 0x400, 0, "<JUNCTION>"}, {0x10 | kEntryNoSize, 0, ""},
        {0x10 | 0x8000, 0, "<DIR>"}, {0x10 | 0x8000 | 0x2000, 0, "<LINK>"},
    };
    for (const Case& c : cases) {
        alignas(8) uint8_t s[kFileEntryMax] = {};
        FileEntryBuildCase((FileEntry*)s, 0, 0, &c.size, c.flags, "n", nullptr, 0);
        char out[32];
        EntrySizeText((FileEntry*)s, out);
        EXPECT_STREQ(out, c.text) << c.flags;
    }
}

}  // namespace
