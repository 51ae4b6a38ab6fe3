// Entry records, sort orders, filters and location chains (no windows.h).
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "FtpLib.h"
#include "base/DateTime.h"
#include "base/Memory.h"
#include "panels/EntryBuild.h"
#include "panels/Filter.h"
#include "panels/Location.h"
#include "panels/Sort.h"

namespace {

struct Item {
    const char* name;
    uint16_t attributes;
    uint64_t size;
    uint16_t date = 0x3A21, time = 0x6000;
    const char* alt = nullptr;
};

struct Listing {
    DirListing l{};
    EntryBlockBuilder b;
    explicit Listing(const std::vector<Item>& items, uint16_t nameCase = 0) {
        for (const Item& it : items) Add(it, nameCase);
    }
    void Add(const Item& it, uint16_t nameCase = 0) {
        alignas(8) uint8_t scratch[kFileEntryMax] = {};
        FileEntryBuildCase((FileEntry*)scratch, it.date, it.time, &it.size, it.attributes, it.name, it.alt,
                           nameCase);
        EXPECT_TRUE(EntryBlockAppend(&l, &b, (FileEntry*)scratch));
    }
    ~Listing() { DirListingFree(&l); }
    std::vector<std::string> Order(int key, int reverse) {
        PanelSortKeyEntriesWith(&l, key, reverse, SortKeysAscii);
        std::vector<std::string> out;
        for (FileEntry** p = l.entryIndex; p && *p; p++) out.push_back((*p)->name);
        return out;
    }
};

using Names = std::vector<std::string>;

TEST(FileEntry, LayoutLengthAndStem) {
    struct Case {
        const char* name;
        uint16_t attributes;
        const char* alt;
        uint16_t stem;
        uint16_t length;
    } cases[] = {
        {"report.txt", 0x20, nullptr, 7, 40 + 10},
        {"a", 0x20, nullptr, 1, 41},
        {".profile", 0x20, nullptr, 1, 48},
        {"x.tar.gz", 0x20, nullptr, 6, 48},
        {"..", 0x10, nullptr, 2, 42},
        {"Long file name.text", 0x20, "LONGFI~1.TEX", 15, 40 + 19 + 13},
    };
    for (const Case& c : cases) {
        alignas(8) uint8_t buf[kFileEntryMax] = {};
        FileEntry* e = (FileEntry*)buf;
        uint64_t size = 1234;
        uint32_t len = FileEntryBuildCase(e, 1, 2, &size, c.attributes, c.name, c.alt, 0);
        EXPECT_EQ(len, c.length) << c.name;
        EXPECT_EQ(e->length, c.length) << c.name;
        EXPECT_EQ(e->stemLength, c.stem) << c.name;
        EXPECT_STREQ(e->name, c.name);
        EXPECT_EQ(e->displayNameOffset, 0);
        if (c.alt) {
            EXPECT_STREQ(FileEntryShortName(e), c.alt);
        }
        EXPECT_EQ(FileEntrySize(e), (c.attributes & 0x10) ? 0u : 1234u) << c.name;
        EXPECT_EQ((e->flags & kEntryUpDir) != 0, strcmp(c.name, "..") == 0);
    }
    static_assert(offsetof(FileEntry, name) == 36, "names start after the 36-byte head");
}

TEST(FileEntry, NameCaseModes) {
    struct Case {
        uint16_t mode;
        const char* name;
        uint16_t attributes;
        const char* shown;
    } cases[] = {
        {2, "README.TXT", 0x20, "Readme.txt"},  {2, "ReadMe.TXT", 0x20, "ReadMe.TXT"},
        {1, "Docs", 0x10, "DOCS"},              {1, "Notes.TXT", 0x20, "notes.txt"},
        {3, "mixed.Txt", 0x20, "MIXED.TXT"},    {4, "MIXED.Txt", 0x20, "mixed.txt"},
        {0, "AsDisk.Txt", 0x20, "AsDisk.Txt"},  {9, "Other.Txt", 0x20, "Other.Txt"},
    };
    for (const Case& c : cases) {
        alignas(8) uint8_t buf[kFileEntryMax] = {};
        FileEntry* e = (FileEntry*)buf;
        uint32_t len = FileEntryBuildCase(e, 0, 0, nullptr, c.attributes, c.name, "ALT.TXT", c.mode);
        EXPECT_STREQ(FileEntryDisplayName(e), c.shown) << c.mode << " " << c.name;
        size_t n = strlen(c.name);
        bool display = c.mode >= 1 && c.mode <= 4;
        EXPECT_EQ(len, 40 + n + 8 + (display ? n + 1 : 0)) << c.name;
        if (display) {
            EXPECT_EQ(e->displayNameOffset, n + 1 + 8);
        }
    }
}

TEST(FileEntry, NullNameKeepsHead) {
    alignas(8) uint8_t buf[kFileEntryMax];
    memset(buf, 0xAB, sizeof buf);
    FileEntry* e = (FileEntry*)buf;
    uint64_t size = 77;
    EXPECT_EQ(FileEntryBuildCase(e, 5, 6, &size, 0x20, nullptr, nullptr, 0), 40u);
    EXPECT_EQ(e->date, 5);
    EXPECT_EQ(e->time, 6);
    EXPECT_EQ(e->flags, 0x20);
    EXPECT_EQ(FileEntrySize(e), 77u);
    EXPECT_EQ(e->shortNameOffset, 0xABAB);  // head not cleared
}

TEST(FileEntry, FileSystemBitsNeverPassForMarks) {
    // Offline (0x1000) and 0x8000 from the file system must not become the
    // blank-size and remote marks; 0x2000 and 0x0008 neither.
    uint32_t fs = 0x1000 | 0x8000 | 0x2000 | 0x0008 | 0x0020 | 0x0001 | 0x0400;
    uint16_t kept = (uint16_t)(fs & kEntryFsAttrMask);
    EXPECT_EQ(kept & (kEntryNoSize | kEntryRemote | kEntryShared | kEntryUpDir), 0);
    EXPECT_EQ(kept, 0x0421);
}

TEST(EntryBlock, GrowsGeometricallyAndKeepsSlack) {
    Listing l({});
    std::vector<uint32_t> capacities;
    for (int i = 0; i < 5000; i++) {
        std::string name = "file" + std::to_string(i) + ".dat";
        l.Add(Item{name.c_str(), 0x20, (uint64_t)i});
        if (capacities.empty() || capacities.back() != l.b.capacity) capacities.push_back(l.b.capacity);
        ASSERT_LE(l.b.used + kFileEntrySlack, l.b.capacity);
    }
    EXPECT_EQ(l.l.entryCount, 5000u);
    // Doubling: a handful of reallocations, not one per 4 KB.
    EXPECT_LE(capacities.size(), 12u);
    for (size_t i = 1; i < capacities.size(); i++) EXPECT_EQ(capacities[i], capacities[i - 1] * 2);
    // Entries walk back to back up to a zero length.
    uint32_t n = 0;
    for (const uint8_t* p = l.l.entryBlock; ((const FileEntry*)p)->length; p += ((const FileEntry*)p)->length) n++;
    EXPECT_EQ(n, 5000u);
}

int gAllocsLeft;
void* LimitedAlloc(size_t n) { return gAllocsLeft-- > 0 ? MemAlloc(n) : nullptr; }

struct AllocLimit {
    explicit AllocLimit(int n) { gAllocsLeft = n, gPanelsAlloc = LimitedAlloc; }
    ~AllocLimit() { gPanelsAlloc = MemAlloc; }
};

TEST(EntryBlock, FailedGrowthFreesAndSaysSo) {
    DirListing l{};
    EntryBlockBuilder b;
    alignas(8) uint8_t scratch[kFileEntryMax] = {};
    FileEntryBuildCase((FileEntry*)scratch, 0, 0, nullptr, 0x20, "name-of-some-length.txt", nullptr, 0);
    AllocLimit limit(1);
    bool ok = true;
    int appended = 0;
    while (ok && appended < 10000) ok = EntryBlockAppend(&l, &b, (FileEntry*)scratch), appended += ok;
    EXPECT_FALSE(ok);
    EXPECT_GT(appended, 10);
    EXPECT_EQ(l.entryBlock, nullptr);
    EXPECT_EQ(l.entryCount, 0u);
}

TEST(Sort, OrdersTable) {
    std::vector<Item> items = {
        {"..", 0x10, 0}, {"b", 0x10, 0}, {"a", 0x10, 0},  {"y", 0x20, 5},     {"x", 0x20, 10},
        {"a.c", 0x20, 3}, {"a.b", 0x20, 300}, {".profile", 0x20, 1},
    };
    Listing l(items);
    struct Case {
        int key, reverse;
        Names order;
    } cases[] = {
        {kSortName, 0, {"..", "a", "b", ".profile", "a.b", "a.c", "x", "y"}},
        {kSortName, 1, {"..", "b", "a", "y", "x", "a.c", "a.b", ".profile"}},
        {kSortExt, 0, {"..", "a", "b", "x", "y", "a.b", "a.c", ".profile"}},
        {kSortSize, 0, {"..", "a", "b", ".profile", "a.c", "y", "x", "a.b"}},
        {kSortSize, 1, {"..", "b", "a", "a.b", "x", "y", "a.c", ".profile"}},
        {kSortNone, 0, {"..", "b", "a", "y", "x", "a.c", "a.b", ".profile"}},
    };
    for (const Case& c : cases) EXPECT_EQ(l.Order(c.key, c.reverse), c.order) << c.key << "/" << c.reverse;
}

TEST(Sort, DateOrderAndNameTieBreak) {
    uint16_t d1 = DosDateMake(1, 1, 2001), d2 = DosDateMake(2, 1, 2001);
    Listing l({{"new", 0x20, 1, d2, 0}, {"old2", 0x20, 1, d1, 0x100}, {"old1", 0x20, 1, d1, 0x100},
               {"dir", 0x10, 0, d2, 0}});
    EXPECT_EQ(l.Order(kSortDate, 0), (Names{"dir", "old1", "old2", "new"}));
    EXPECT_EQ(l.Order(kSortDate, 1), (Names{"dir", "new", "old2", "old1"}));
}

TEST(Sort, EntriesWithoutSizeComeFirstInTheirGroup) {
    Listing l({{"big", 0x20, 100}, {"small", 0x20, 2}});
    alignas(8) uint8_t scratch[kFileEntryMax] = {};
    FileEntry* e = (FileEntry*)scratch;
    FileEntryBuildCase(e, 0, 0, nullptr, 0x20, "unknown", nullptr, 0);
    e->sizeLow = e->sizeHigh = 0xFFFFFFFFu;
    ASSERT_TRUE(EntryBlockAppend(&l.l, &l.b, e));
    EXPECT_EQ(l.Order(kSortSize, 0), (Names{"unknown", "small", "big"}));
}

TEST(Sort, SizesAbove4GB) {
    Listing l({{"five", 0x20, 5ull << 30}, {"four", 0x20, 4ull << 30}, {"tiny", 0x20, 1}});
    EXPECT_EQ(l.Order(kSortSize, 0), (Names{"tiny", "four", "five"}));
}

TEST(Sort, BlankSizeMarkOnFirstEntrySortsByName) {
    Listing l({{"zz", 0x10 | kEntryNoSize, 0}, {"b", 0x20, 1}, {"a", 0x20, 2}});
    EXPECT_EQ(l.Order(kSortSize, 0), (Names{"zz", "a", "b"}));
}

TEST(Sort, NoUpDirInIndexWhenNotStoredAndIndexIsReplaced) {
    Listing l({{"b", 0x20, 1}, {"a", 0x20, 1}});
    l.Order(kSortName, 0);
    FileEntry** first = l.l.entryIndex;
    EXPECT_EQ(l.Order(kSortName, 1), (Names{"b", "a"}));
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(l.l.entryIndex[2], nullptr);
}

TEST(Sort, FailedAllocationLeavesListingAsItWas) {
    Listing l({{"b", 0x20, 1}, {"a", 0x20, 1}});
    l.Order(kSortName, 0);
    FileEntry** before = l.l.entryIndex;
    {
        AllocLimit limit(0);
        PanelSortKeyEntriesWith(&l.l, kSortName, 1, SortKeysAscii);
    }
    EXPECT_EQ(l.l.entryIndex, before);
    EXPECT_STREQ(l.l.entryIndex[0]->name, "a");
}

TEST(Sort, LongNamesAreCutAtTheKeyEnd) {
    std::string longName(255, 'n');
    longName += ".ext";
    Listing l({{longName.c_str(), 0x20, 1}, {"short", 0x20, 2}});
    SortKeyRecord records[3];
    FileEntry* up;
    for (int key = 0; key < 4; key++) {
        ASSERT_EQ(SortBuildKeys(&l.l, key, 0, records, &up), 2u);
        EXPECT_LE(strlen(records[0].key), (size_t)kSortKeyChars);
    }
}

// ---- filters --------------------------------------------------------------

FilterSpec Custom(const char* include, const char* exclude) {
    FilterSpec f{};
    f.flags = kFilterCustom;
    f.allowedAttributes = 0x37;
    strcpy(f.includeMasks, include);
    strcpy(f.excludeMasks, exclude);
    return f;
}

TEST(Filter, MasksTable) {
    struct Case {
        const char* include;
        const char* exclude;
        const char* name;
        int pass;
    } cases[] = {
        {"*.txt;*.doc", "", "A.TXT", 1}, {"*.txt;*.doc", "", "b.doc", 1}, {"*.txt;*.doc", "", "c.bak", 0},
        {"", "*.bak", "c.bak", 0},       {"", "*.bak", "c.txt", 1},       {";;*.c;", "", "x.c", 1},
        {"a?c", "", "abc", 1},           {"a?c", "", "ac", 0},            {"*.*", "", "noext", 1},
        {"dir\\*.txt", "", "a.txt", 0},  {"*abc*", "", "xabcx", 1},       {"*abc*", "", "xyz", 0},
    };
    for (const Case& c : cases) {
        FilterSpec f = Custom(c.include, c.exclude);
        uint64_t size = 10;
        EXPECT_EQ(FilterTestEntry("C:\\d", c.name, 0x20, 0, 0, &size, &f), c.pass)
            << c.include << " / " << c.exclude << " / " << c.name;
    }
}

TEST(Filter, AttributesDatesSizes) {
    FilterSpec all{};
    all.allowedAttributes = 0x37 & ~0x2;  // hidden not allowed
    uint64_t size = 1;
    EXPECT_EQ(FilterTestEntry("C:\\", "h.txt", 0x22, 0, 0, &size, &all), 0);
    EXPECT_EQ(FilterTestEntry("C:\\", "n.txt", 0x20, 0, 0, &size, &all), 1);

    FilterSpec f = Custom("", "");
    f.flags |= kFilterDateTo | kFilterTimeTo;
    f.dateTo = DosDateMake(31, 12, 2005);
    f.timeTo = DosTimeMake(12, 0, 0);
    EXPECT_EQ(FilterMatch("f", 0x20, f.dateTo, DosTimeMake(12, 0, 4), &size, &f), 0);
    EXPECT_EQ(FilterMatch("f", 0x20, f.dateTo, DosTimeMake(12, 0, 0), &size, &f), 1);

    FilterSpec s = Custom("", "");
    s.flags |= kFilterMinSize | kFilterMaxSize;
    s.minSize = 5ull << 30;
    s.maxSize = 6ull << 30;
    uint64_t sizes[] = {(5ull << 30) - 1, 5ull << 30, 6ull << 30, (6ull << 30) + 1, 1ull << 30};
    int expect[] = {0, 1, 1, 0, 0};
    for (int i = 0; i < 5; i++) EXPECT_EQ(FilterMatch("f", 0x20, 0, 0, &sizes[i], &s), expect[i]) << i;
    // Folders pass the size bounds but not the masks.
    EXPECT_EQ(FilterMatch("dir", 0x10, 0, 0, &sizes[0], &s), 1);
    FilterSpec m = Custom("*.txt", "");
    EXPECT_EQ(FilterMatch("dir", 0x10, 0, 0, nullptr, &m), 0);
    EXPECT_EQ(FilterTestEntry("C:\\", "dir", 0x10, 0, 0, nullptr, &m), 1);
}

TEST(Filter, ExecutablesMode) {
    FilterSpec f{};
    f.flags = kFilterExecutables;
    f.allowedAttributes = 0x37;
    EXPECT_EQ(FilterTestEntry("C:\\", "run.exe", 0x20, 0, 0, nullptr, &f), 1);
    EXPECT_EQ(FilterTestEntry("C:\\", "Run.BAT", 0x20, 0, 0, nullptr, &f), 1);
    EXPECT_EQ(FilterTestEntry("C:\\", "read.txt", 0x20, 0, 0, nullptr, &f), 0);
}

TEST(FilterDialog, SizeBoundsSurviveAsWholeNumbers) {
    FilterSpec f = Custom("*.iso", "");
    f.flags |= kFilterMinSize;
    f.minSize = 5368709120ull;  // 5 GB: its low 32 bits are 1 GB
    FilterDialogFields d;
    FilterFieldsFromSpec(&f, &d);
    EXPECT_STREQ(d.minSize, "5368709120");
    EXPECT_STREQ(d.maxSize, "");
    FilterSpec back = f;
    back.minSize = 0;
    int message = 0;
    ASSERT_EQ(FilterFieldsToSpec(&d, &back, 0, 1, &message), 0);
    EXPECT_EQ(back.minSize, 5368709120ull);
    EXPECT_TRUE(back.flags & kFilterMinSize);
    EXPECT_FALSE(back.flags & kFilterMaxSize);
    EXPECT_STREQ(back.includeMasks, "*.iso");

    uint64_t v;
    EXPECT_TRUE(FilterParseSize("18446744073709551615", &v));
    EXPECT_EQ(v, ~0ull);
    EXPECT_FALSE(FilterParseSize("18446744073709551616", &v));
    EXPECT_FALSE(FilterParseSize("12x", &v));
}

TEST(FilterDialog, DatesTimesAndBadFields) {
    FilterSpec f{};
    FilterDialogFields d{};
    d.mode = 2;
    strcpy(d.dateFrom, "1.1.1970");
    strcpy(d.timeTo, "12:00:00");
    int message = 0;
    ASSERT_EQ(FilterFieldsToSpec(&d, &f, 0, 1, &message), 0);
    EXPECT_EQ(f.dateFrom, DosDateMake(1, 1, 1980));
    EXPECT_EQ(f.timeTo, DosTimeMake(12, 0, 0));
    EXPECT_EQ(f.flags, kFilterCustom | kFilterDateFrom | kFilterTimeTo);

    FilterSpec keep = f;
    strcpy(d.dateTo, "31.02.x");
    EXPECT_EQ(FilterFieldsToSpec(&d, &f, 0, 1, &message), 12112);
    EXPECT_EQ(message, 4024);
    EXPECT_EQ(memcmp(&f, &keep, sizeof f), 0);  // unchanged on error
}

TEST(FilterDialog, HiddenSystemKeptWhenNotShown) {
    FilterSpec f{};
    f.allowedAttributes = 0x2;  // hidden allowed, system not
    FilterDialogFields d{};
    d.hidden = 0, d.system = 1, d.readOnly = 1;
    FilterFieldsToSpec(&d, &f, 0, 0, nullptr);
    EXPECT_EQ(f.allowedAttributes, 0x2 | 0x1);
    FilterFieldsToSpec(&d, &f, 0, 1, nullptr);
    EXPECT_EQ(f.allowedAttributes, 0x4 | 0x1);
    FilterSpec r{};
    r.allowedAttributes = kFilterAttrsLocked;
    d.folder = 1;
    FilterFieldsToSpec(&d, &r, 1, 1, nullptr);
    EXPECT_EQ(r.allowedAttributes, kFilterAttrsLocked | 0x10);
}

// ---- location chains ------------------------------------------------------

LocationNode Node(uint16_t kind, LocationNode* parent, const char* inner, const char* file) {
    LocationNode n;
    memset(&n, 0, sizeof n);
    n.kind = kind;
    n.parent = parent;
    strcpy(n.innerPath, inner);
    strcpy(n.archivePath, file);
    return n;
}

TEST(Location, RootQueries) {
    LocationNode outer = Node(3, nullptr, "docs", "C:\\a.zip");
    LocationNode inner = Node(10001, &outer, "sub", "docs\\b.rar");
    LocationNode ftp = Node(kLocationFtp, &outer, "/pub", "last error");
    char out[260] = "untouched";
    EXPECT_EQ(LocationRootKind(nullptr), 0);
    EXPECT_EQ(LocationRootKind(&outer), 3);
    EXPECT_EQ(LocationRootKind(&inner), 3);
    EXPECT_EQ(LocationRootKind(&ftp), kLocationFtp);  // never follows an FTP node's parent
    LocationRootFile(&inner, out);
    EXPECT_STREQ(out, "C:\\a.zip");
    LocationInnerPath(&outer, out);
    EXPECT_STREQ(out, "docs");
    LocationInnerPath(&inner, out);
    EXPECT_STREQ(out, "C:\\a.zip");
    LocationInnerPath(&ftp, out);
    EXPECT_STREQ(out, "/pub");
}

TEST(Location, CloneIsDeepOrNothing) {
    LocationNode a = Node(1, nullptr, "a", "C:\\a.zip");
    LocationNode b = Node(2, &a, "b", "b.zip");
    LocationNode c = Node(3, &b, "c", "c.zip");
    LocationNode* copy = LocationClone(&c);
    ASSERT_NE(copy, nullptr);
    LocationNode* p1 = copy->parent;  // packed fields: read by value
    ASSERT_NE(p1, nullptr);
    EXPECT_NE(p1, &b);
    LocationNode* p2 = p1->parent;
    ASSERT_NE(p2, nullptr);
    EXPECT_NE(p2, &a);
    EXPECT_STREQ(p2->archivePath, "C:\\a.zip");
    LocationCloneFree(copy);

    for (int allowed = 0; allowed < 3; allowed++) {
        AllocLimit limit(allowed);
        EXPECT_EQ(LocationClone(&c), nullptr) << allowed;  // ASan reports what a failed copy leaks
    }
    // An FTP node is as long as the library's connection head (longer than a
    // plain node in the 64-bit build), and its copy keeps all of it.
    const size_t ftpBytes = sizeof(FtpLocationHead) > sizeof(LocationNode) ? sizeof(FtpLocationHead) : sizeof(LocationNode);
    std::vector<unsigned char> ftp(ftpBytes, 0x5A);
    LocationNode plain = Node(kLocationFtp, &a, "/", "");
    memcpy(ftp.data(), &plain, sizeof plain);
    LocationNode* f = LocationClone(reinterpret_cast<LocationNode*>(ftp.data()));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(memcmp(f, ftp.data(), ftpBytes), 0);
    LocationCloneFree(f);
}

}  // namespace
