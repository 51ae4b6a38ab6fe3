// Path splitting, rename masks and the free-space arithmetic (no windows.h).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fileops/FreeSpace.h"
#include "fileops/PathParts.h"
#include "fileops/RenameMask.h"
#include "standins/vwin32/Vwin32StandIn.h"

namespace {

TEST(PathSplit, Table) {
    struct Case {
        const char *path, *drive, *folder, *name, *ext;
    } cases[] = {
        {"c:\\d\\report.txt", "C:", "\\d\\", "report", ".txt"},
        {"C:report.txt", "C:", "", "report", ".txt"},
        {"C:\\", "C:", "\\", "", ""},
        {"\\\\srv\\share\\dir\\x.tar.gz", "\\\\", "srv\\share\\dir\\", "x.tar", ".gz"},
        {"//srv/share/a", "//", "srv/share/", "a", ""},
        {"1:/pub/file.txt", "1:", "/pub/", "file", ".txt"},
        {"\\dir\\.profile", "", "\\dir\\", "", ".profile"},
        {"noext", "", "", "noext", ""},
        {"dir.x\\name", "", "dir.x\\", "name", ""},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        char d[kPathSize], f[kPathSize], n[kPathSize], e[kPathSize];
        PathSplit(c.path, d, f, n, e);
        EXPECT_STREQ(d, c.drive) << c.path;
        EXPECT_STREQ(f, c.folder) << c.path;
        EXPECT_STREQ(n, c.name) << c.path;
        EXPECT_STREQ(e, c.ext) << c.path;
    }
    char n[kPathSize];
    PathSplit("C:\\a\\b.c", nullptr, nullptr, n, nullptr);  // null outputs are skipped
    EXPECT_STREQ(n, "b");
}

TEST(PathGetRoot, Table) {
    struct Case {
        const char *path, *root;
    } cases[] = {
        {"C:\\windows\\temp", "C:\\"},       {"c:/windows", "c:\\"},
        {"D:", "D:\\"},                      {"\\\\srv\\share\\dir\\f", "\\\\srv\\share"},
        {"//srv/share/dir", "\\\\srv\\share"}, {"\\\\srv\\share", "\\\\srv\\share"},
        {"3:/pub/dir", "3:\\pub\\dir"},      {"relative\\dir", "relative\\dir"},
    };
    for (const Case& c : cases) {
        char out[kPathSize];
        PathGetRoot(c.path, out);
        EXPECT_STREQ(out, c.root) << c.path;
    }
}

TEST(PathFixInvalidChars, ReplacesReservedCharacters) {
    char name[] = "a:b<c>d|e\"f?g";
    PathFixInvalidChars(name);
    EXPECT_STREQ(name, "a_b_c_d_e_f?g");
}

TEST(RenameMask, Table) {
    struct Case {
        const char *source, *mask, *out;
        int result;
    } cases[] = {
        {"C:\\d\\report.txt", "*.bak", "C:\\d\\report.bak", 0},
        {"C:\\d\\report.txt", "?x*.*", "C:\\d\\rxport.txt", 0},
        {"C:\\d\\report.txt", ".", "C:\\d\\report.txt", 0},
        {"C:\\d\\report.txt", "*", "C:\\d\\report.txt", 0},
        {"C:\\d\\report.txt", "new.*", "C:\\d\\new.txt", 0},
        {"C:\\d\\report.txt", "*_old.*", "C:\\d\\re_old.txt", 0},
        {"C:\\d\\report.txt", "*.", "C:\\d\\report", 0},
        {"C:\\d\\report.txt", "?????????.txt", "C:\\d\\report.txt", 0},
        {"C:\\d\\README", "*.txt", "C:\\d\\README.txt", 0},
        {"C:\\d\\a.tar.gz", "*.*", "C:\\d\\a.tar.gz", 0},
        {"C:\\d\\x.txt", "e:\\y.txt", "", 1},
        {"C:\\d\\x.txt", "sub\\*.txt", "", 1},
    };
    for (const Case& c : cases) {
        char out[kPathSize] = "";
        EXPECT_EQ(PathApplyRenameMask(c.source, c.mask, out), c.result) << c.mask;
        if (!c.result) {
            EXPECT_STREQ(out, c.out) << c.source << " + " << c.mask;
        }
    }
}

TEST(RenameMask, NonMatchingNamesNeverCollapse) {
    // "*text*" masks: a name without the text used to become "" (+ the
    // extension), so a batch rename or move sent every file to one name.
    const char* names[] = {"C:\\d\\alpha.txt", "C:\\d\\beta.txt", "C:\\d\\gamma.txt", "C:\\d\\xbetax.txt"};
    for (const char* mask : {"*beta*.txt", "*q*.*", "*a*b*"}) {
        std::set<std::string> targets;
        for (const char* n : names) {
            char out[kPathSize];
            ASSERT_EQ(PathApplyRenameMask(n, mask, out), 0);
            EXPECT_NE(std::string(out), "C:\\d\\") << mask;
            EXPECT_NE(std::string(out), "C:\\d\\.txt") << mask;
            targets.insert(out);
        }
        EXPECT_EQ(targets.size(), 4u) << mask;
    }
}

TEST(RenameMask, PartsAndLongInputStayBounded) {
    struct Case {
        const char *mask, *name, *out;
    } cases[] = {
        {"?", "", ""}, {"??", "a", "a"}, {"a*", "bcd", "acd"}, {"*?", "report", "report"},
        {"*x", "", "x"}, {"ab", "", "ab"}, {"*abc*", "zabcz", "zabcz"}, {"*abc*", "zzz", "zzz"},
    };
    for (const Case& c : cases) {
        char out[kPathSize];
        PathApplyMaskPart(c.mask, c.name, out);
        EXPECT_STREQ(out, c.out) << c.mask << " on " << c.name;
    }
    std::string longName(300, 'n'), longMask(300, '?');
    char out[kPathSize];
    PathApplyMaskPart(longMask.c_str(), longName.c_str(), out);
    EXPECT_EQ(std::string(out).size(), (size_t)kPathSize - 1);
}

// ---- free space on a Windows 9x drive (stand-in) ----------------------------

Win9xDriveModel Fat32(uint64_t total, uint32_t build, int vwin32) {
    Win9xDriveModel m{};
    m.build = build;
    m.hasDiskFreeEx = 1;
    m.hasVwin32 = vwin32;
    m.bytesPerSector = 512;
    m.sectorsPerCluster = 8;  // true 4 KB clusters
    m.totalBytes = total;
    m.freeBytes = total / 3;
    // The old call keeps clusters * cluster size under 2 GB by inflating
    // the sectors per cluster.
    m.cappedSectorsPerCluster = 64;
    m.cappedTotalClusters = 65535;
    m.cappedFreeClusters = 65535;
    return m;
}

struct StandIn {
    SpaceSystem previous;
    explicit StandIn(Win9xDriveModel* m) : previous(StandInSpaceWin9x(m)) {}
    ~StandIn() { StandInSpaceRestore(previous); }
};

TEST(FreeSpace, Win9xClusterCorrection) {
    struct Case {
        uint64_t total;
        uint32_t build;
        int vwin32;
        uint32_t cluster;
    } cases[] = {
        {20ull << 30, 1998, 1, 4096u},  // late build: the device's figure
        {20ull << 30, 1998, 0, 512u * 32},                          // >= 16 GB: / 2
        {10ull << 30, 1998, 0, 512u * 16},                          // below 16 GB: / 4
        {6ull << 30, 950, 1, 512u * 8},                             // early build: below 8 GB: / 8
        {1ull << 30, 1998, 1, 512u * 64},                           // below 2 GB: as reported
    };
    for (const Case& c : cases) {
        Win9xDriveModel m = Fat32(c.total, c.build, c.vwin32);
        StandIn s(&m);
        uint32_t cluster = 0;
        uint64_t freeB = 0, totalB = 0;
        ASSERT_EQ(SpaceGetDiskFree("C:\\windows\\temp", &cluster, &freeB, &totalB), 1);
        EXPECT_EQ(cluster, c.cluster) << (c.total >> 30) << " GB build " << c.build;
        EXPECT_EQ(totalB, c.total);
        EXPECT_EQ(freeB, c.total / 3);
        if (c.vwin32 && c.build > 1000 && c.total > 0x80000000ull) {
            EXPECT_EQ(m.vwin32Calls, 1);
            EXPECT_EQ(m.lastEax, 0x7303u);
            EXPECT_EQ(m.lastEcx, 44u);
            EXPECT_STREQ(m.lastRoot, "C:\\");
        }
    }
}

TEST(FreeSpace, DeviceFailureFallsBackToDivision) {
    Win9xDriveModel m = Fat32(20ull << 30, 1998, 1);
    m.vwin32Fails = 1;
    StandIn s(&m);
    uint32_t cluster = 0;
    ASSERT_EQ(SpaceGetDiskFree("C:\\", &cluster, nullptr, nullptr), 1);
    EXPECT_EQ(cluster, 512u * 32);
}

TEST(FreeSpace, WithoutExtendedCallFiguresAre32Bit) {
    Win9xDriveModel m = Fat32(20ull << 30, 950, 0);
    m.hasDiskFreeEx = 0;
    m.cappedSectorsPerCluster = 64;
    m.cappedTotalClusters = 200000;  // 6.5 GB in 32 KB clusters: wraps in 32 bits
    m.cappedFreeClusters = 1000;
    StandIn s(&m);
    uint32_t cluster;
    uint64_t freeB, totalB;
    ASSERT_EQ(SpaceGetDiskFree("C:\\", &cluster, &freeB, &totalB), 1);
    EXPECT_EQ(cluster, 32768u);
    EXPECT_EQ(freeB, 32768ull * 1000);
    EXPECT_EQ(totalB, (uint64_t)(uint32_t)(32768ull * 200000));
}

TEST(FreeSpace, MissingDriveGivesZeros) {
    SpaceSystem previous = gSpaceSystem;
    gSpaceSystem = SpaceSystem{};
    gSpaceSystem.getDiskFree = [](const char*, uint32_t*, uint32_t*, uint32_t*, uint32_t*) { return 0; };
    uint32_t cluster = 7;
    uint64_t freeB = 7, totalB = 7;
    EXPECT_EQ(SpaceGetDiskFree("Q:\\", &cluster, &freeB, &totalB), 0);
    EXPECT_EQ(cluster, 0u);
    EXPECT_EQ(freeB, 0u);
    EXPECT_EQ(totalB, 0u);
    gSpaceSystem = previous;
}

}  // namespace
