// The file-system layer on real files under Wine. T:\fsdata is filled from
// Linux before this runs (prepare.sh) and its copies are checked with cmp
// afterwards (compare.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JobRecord.h"
#include "fileops/FileCopy.h"
#include "fileops/FileSystem.h"
#include "fileops/FreeSpace.h"
#include "standins/vwin32/Vwin32StandIn.h"
#include "BoxWatch.h"

namespace {

boxwatch::Install gWatch;

const char kData[] = "T:\\fsdata\\";

std::string DataPath(const std::string& leaf) { return kData + leaf; }

void WritePattern(const std::string& path, uint64_t size, uint32_t seed) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    std::vector<uint8_t> block(1 << 16);
    uint32_t x = seed * 2654435761u + 1;
    for (uint64_t done = 0; done < size;) {
        for (auto& b : block) x = x * 1103515245u + 12345u, b = (uint8_t)(x >> 16);
        DWORD n = (DWORD)std::min<uint64_t>(block.size(), size - done), put = 0;
        ASSERT_TRUE(WriteFile(h, block.data(), n, &put, nullptr));
        done += put;
    }
    CloseHandle(h);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.insert(out.end(), buf, buf + n);
    fclose(f);
    return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> found;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "~zq*.tmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return found;
    do found.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

TEST(FileCopyData, SizesAroundTheBlockAndTenMegabytes) {
    const uint64_t sizes[] = {0, 1, kCopyBlock - 1, kCopyBlock, kCopyBlock + 1, 10u << 20};
    for (size_t i = 0; i < sizeof sizes / sizeof *sizes; i++) {
        std::string src = DataPath("copy\\src_" + std::to_string(sizes[i]) + ".bin");
        std::string dst = DataPath("copy\\dst_" + std::to_string(sizes[i]) + ".bin");
        WritePattern(src, sizes[i], (uint32_t)i + 1);
        // A longer old target must be replaced whole, not overwritten in part.
        WritePattern(dst, sizes[i] + 1000, 99);
        FILETIME stamp = {0x12345600, 0x01C00000};
        HANDLE s = CreateFileA(src.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(s, nullptr, nullptr, &stamp);
        CloseHandle(s);

        JobRecord job{};
        ASSERT_EQ(FileCopyData(src.c_str(), dst.c_str(), &job), 0u) << sizes[i];
        EXPECT_EQ(job.done, sizes[i]);
        EXPECT_TRUE(ReadAll(src) == ReadAll(dst)) << sizes[i];
        WIN32_FILE_ATTRIBUTE_DATA a;
        ASSERT_TRUE(GetFileAttributesExA(dst.c_str(), GetFileExInfoStandard, &a));
        EXPECT_EQ(a.nFileSizeLow, (DWORD)sizes[i]);
        EXPECT_EQ(CompareFileTime(&a.ftLastWriteTime, &stamp), 0);
    }
    EXPECT_TRUE(Leftovers(DataPath("copy\\")).empty());
}

TEST(FileCopyData, CancelAfterFirstBlockLeavesNoTarget) {
    std::string src = DataPath("copy\\cancel_source.dat");
    WritePattern(src, 3 * kCopyBlock, 7);
    JobRecord job{};
    job.cancel = 1;  // seen after the first block
    std::string dst = DataPath("copy\\cancelled.bin");
    EXPECT_EQ(FileCopyData(src.c_str(), dst.c_str(), &job), kErrCancelled);
    EXPECT_FALSE(Exists(dst));
    EXPECT_EQ(job.done, kCopyBlock);

    // An existing target keeps its old contents when the copy is cancelled.
    std::string old = DataPath("copy\\kept.dat");
    WritePattern(old, 5000, 3);
    std::vector<uint8_t> before = ReadAll(old);
    EXPECT_EQ(FileCopyData(src.c_str(), old.c_str(), &job), kErrCancelled);
    EXPECT_TRUE(ReadAll(old) == before);
    EXPECT_TRUE(Leftovers(DataPath("copy\\")).empty());
}

TEST(FileCopy, CancelledIsNotCopiedAndFoldersAreMade) {
    std::string src = DataPath("copy\\cancel_source2.dat");
    WritePattern(src, 2 * kCopyBlock, 5);
    JobRecord job{};
    job.cancel = 1;
    std::string dst = DataPath("copy\\deep\\a\\b\\c\\out.dat");
    FsResult2 r = FileCopy(nullptr, src.c_str(), dst.c_str(), &job);
    EXPECT_EQ(FsResultOf(r), kErrCancelled);  // used to count as success
    EXPECT_FALSE(Exists(dst));
    EXPECT_TRUE(FileIsDir(DataPath("copy\\deep\\a\\b\\c").c_str()));

    job.cancel = 0;
    EXPECT_EQ(FsResultOf(FileCopy(nullptr, src.c_str(), dst.c_str(), &job)), 0u);
    EXPECT_TRUE(ReadAll(src) == ReadAll(dst));
}

// A read-only target refuses the one-call replace; the fallback must not
// remove it before the new file has its name. Someone holding it open with
// FILE_SHARE_DELETE lets a delete go through but keeps the name taken, so a
// delete-then-rename would lose both files.
TEST(FileCopy, ReadOnlyTargetHeldOpenIsNeverLost) {
    std::string src = DataPath("copy\\replace_src.dat"), dst = DataPath("copy\\replace_dst.dat");
    WritePattern(src, 3000, 21);
    SetFileAttributesA(dst.c_str(), FILE_ATTRIBUTE_NORMAL);
    WritePattern(dst, 1000, 22);
    std::vector<uint8_t> fresh = ReadAll(src), old = ReadAll(dst);
    ASSERT_TRUE(SetFileAttributesA(dst.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE held = CreateFileA(dst.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    JobRecord job{};
    uint32_t r = FileCopyData(src.c_str(), dst.c_str(), &job);
    CloseHandle(held);
    // Either the new file is in place or the old one is still there whole.
    ASSERT_TRUE(Exists(dst)) << "result " << r;
    if (r == 0)
        EXPECT_TRUE(ReadAll(dst) == fresh);
    else
        EXPECT_TRUE(ReadAll(dst) == old) << "result " << r;
    SetFileAttributesA(dst.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(dst.c_str());
    EXPECT_TRUE(Leftovers(DataPath("copy\\")).empty());
}

// A target that must be new is never replaced: one that appeared since the
// walk looked is answered with ERROR_FILE_EXISTS and keeps its content.
TEST(FileCopy, TargetThatMustBeNewIsNeverReplaced) {
    std::string src = DataPath("copy\\new_src.dat"), dst = DataPath("copy\\new_dst.dat");
    WritePattern(src, 2000, 23);
    WritePattern(dst, 500, 24);
    std::vector<uint8_t> old = ReadAll(dst);
    JobRecord job{};
    EXPECT_EQ(FileCopyData(src.c_str(), dst.c_str(), &job, true), (uint32_t)ERROR_FILE_EXISTS);
    EXPECT_TRUE(ReadAll(dst) == old);
    EXPECT_EQ(FsResultOf(FileCopy(nullptr, src.c_str(), dst.c_str(), &job, true)), (uint32_t)ERROR_FILE_EXISTS);
    EXPECT_TRUE(ReadAll(dst) == old);
    EXPECT_TRUE(Leftovers(DataPath("copy\\")).empty());
    DeleteFileA(dst.c_str());
    EXPECT_EQ(FileCopyData(src.c_str(), dst.c_str(), &job, true), 0u);
    EXPECT_TRUE(ReadAll(dst) == ReadAll(src));
}

TEST(FileMove, SameDriveRenamesAndOtherNamesStay) {
    std::string a = DataPath("copy\\move_a.dat"), b = DataPath("copy\\moved\\move_b.dat");
    WritePattern(a, 1234, 11);
    DeleteFileA(b.c_str());  // a leftover target would raise an error box
    std::vector<uint8_t> data = ReadAll(a);
    JobRecord job{};
    EXPECT_EQ(FsResultOf(FileMove(nullptr, a.c_str(), b.c_str(), &job)), 0u);
    EXPECT_FALSE(Exists(a));
    EXPECT_TRUE(ReadAll(b) == data);
    EXPECT_EQ(job.done, 1u);
}

TEST(FileMakeDirs, MakesEveryMissingParent) {
    std::string deep = DataPath("mk\\a\\b\\c");
    EXPECT_EQ(FsResultOf(FileMakeDirs(nullptr, deep.c_str())), 0u);
    EXPECT_TRUE(FileIsDir(deep.c_str()));
    EXPECT_EQ(FsResultOf(FileMakeDirs(nullptr, deep.c_str())), 0u);  // existing: success
    HANDLE h;
    std::string file = DataPath("mk2\\x\\y\\file.txt");
    ASSERT_EQ(FileCreate(nullptr, file.c_str(), &h), 0u);
    char text[16] = "line";
    EXPECT_EQ(FileWriteLine(nullptr, h, text), 0u);
    FileClose(h);
    EXPECT_EQ(ReadAll(file), (std::vector<uint8_t>{'l', 'i', 'n', 'e', '\r', '\n'}));
}

TEST(FileWrappers, ResultsAndErrorTexts) {
    EXPECT_EQ(FileCheckExists(DataPath("big\\one.txt").c_str()), 0u);
    EXPECT_EQ(FileCheckExists(DataPath("big\\none.txt").c_str()), 2u);
    EXPECT_EQ(FileCheckExists(""), 2u);
    EXPECT_EQ(FileIsDir(""), 0);
    EXPECT_EQ(FileIsDir(DataPath("big").c_str()), 1);
    HANDLE h;
    EXPECT_EQ(FileOpen(DataPath("big\\none.txt").c_str(), &h, GENERIC_READ), 2u);
    ASSERT_EQ(FileOpen(DataPath("big\\one.txt").c_str(), &h, GENERIC_READ), 0u);
    char c[2];
    EXPECT_EQ(FileRead(h, c, 1), 0u);
    EXPECT_EQ(FileRead(h, c, 1), 1u);  // nothing left: not exactly n bytes
    FileClose(h);

    char text[512];
    FileErrorText(2, text, sizeof text, nullptr, 0);
    EXPECT_GT(strlen(text), 3u);
    for (const char* p = text; *p; p++) EXPECT_GE((unsigned char)*p, 32u);
    const char* path = "the message";
    FileErrorText(0, text, sizeof text, &path, 0);
    EXPECT_STREQ(text, "the message");
    EXPECT_EQ(path, nullptr);
    SetLastError(0);
    EXPECT_EQ(FileReportError(nullptr, 0, "x", kCtxWrite), 0u);  // no error, no box

    char root[kPathSize];
    PathGetWindowsRoot(root);
    EXPECT_STREQ(root, "C:\\");
    char parent[kPathSize] = "C:\\a\\b";
    PathGetParentDir(nullptr, parent);
    EXPECT_STREQ(parent, "C:\\a");
    PathGetParentDir(nullptr, parent);
    EXPECT_STREQ(parent, "C:\\");
}

TEST(FileWrite, ShortWriteWithoutErrorCodeIsAnError) {
    // A non-blocking pipe with a full buffer takes fewer bytes than asked and
    // sets no error code; that used to pass for a complete write.
    HANDLE server = CreateNamedPipeA("\\\\.\\pipe\\zq-short-write", PIPE_ACCESS_OUTBOUND,
                                     PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    HANDLE client = CreateFileA("\\\\.\\pipe\\zq-short-write", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    ConnectNamedPipe(server, nullptr);
    std::vector<char> data(200000, 'w');
    boxwatch::gExpected = 1;  // the disk-full box, answered Cancel by the watcher
    EXPECT_EQ(FileWrite(nullptr, server, data.data(), (uint32_t)data.size()), (uint32_t)kFsCancel);
    CloseHandle(client);
    CloseHandle(server);
}

TEST(ShortNames, ProbeFreesAShortNameAndKeepsTheLongFile) {
    std::string longName = DataPath("short\\longfilename.txt");
    WritePattern(longName, 777, 21);
    std::vector<uint8_t> data = ReadAll(longName);
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortPath, sizeof shortPath), 0u);
    ASSERT_STRNE(shortPath, longName.c_str());
    uint32_t r = FileProbe(shortPath);
    // 2 when the name is free now; Wine hashes short names from the long
    // name, so the file gets the same one back and the result is 6.
    EXPECT_TRUE(r == 2 || r == 6) << r;
    EXPECT_TRUE(ReadAll(longName) == data);
    EXPECT_EQ(FileProbe(longName.c_str()), 0u);
}

TEST(DirReadList, SizesAbove4GBAndErrors) {
    DirListRecord* list = DirReadList(DataPath("big").c_str());
    ASSERT_NE(list, nullptr);
    std::vector<std::pair<std::string, uint64_t>> seen;
    for (const DirListRecord* r = list; r->length; r = DirListNext(r)) {
        EXPECT_EQ(r->length, sizeof(DirListRecord) + strlen(r->path));
        EXPECT_FALSE(r->attributes & kDirListTooLong);
        seen.emplace_back(r->path, r->size);
    }
    DirFreeList(list);
    auto sizeOf = [&](const char* leaf) -> uint64_t {
        for (auto& s : seen)
            if (s.first == DataPath(std::string("big\\") + leaf)) return s.second;
        return ~0ull;
    };
    EXPECT_EQ(sizeOf("five.bin"), 5ull << 30);
    EXPECT_EQ(sizeOf("four.bin"), 4ull << 30);
    EXPECT_EQ(sizeOf("under.bin"), (4ull << 30) - 1);
    uint32_t error = 0;
    EXPECT_EQ(DirReadListEx(DataPath("no such folder").c_str(), &error), nullptr);
    EXPECT_EQ(error, 3u);
    CreateDirectoryA(DataPath("emptydir").c_str(), nullptr);
    EXPECT_EQ(DirReadListEx(DataPath("emptydir").c_str(), &error), nullptr);
    EXPECT_EQ(error, 0u);

    HANDLE h;
    ASSERT_EQ(FileOpen(DataPath("big\\five.bin").c_str(), &h, GENERIC_READ), 0u);
    uint64_t size = 0;
    EXPECT_EQ(FileGetSize(nullptr, h, &size), 0u);
    EXPECT_EQ(size, 5ull << 30);
    FileClose(h);
}

TEST(FreeSpace, MatchesStatvfsOfTheSameFolder) {
    FILE* f = fopen((DataPath("statvfs.txt")).c_str(), "r");
    ASSERT_NE(f, nullptr);
    unsigned long long block, blocks, freeBlocks, avail;
    ASSERT_EQ(fscanf(f, "%llu %llu %llu %llu", &block, &blocks, &freeBlocks, &avail), 4);
    fclose(f);
    uint32_t cluster = 0;
    uint64_t freeB = 0, totalB = 0;
    ASSERT_EQ(SpaceGetDiskFree(DataPath("big").c_str(), &cluster, &freeB, &totalB), 1);
    EXPECT_EQ(totalB, blocks * block);
    // Other builds write to the same disk between the two readings: allow
    // 1 GB or a twentieth of the disk, whichever is more. The faults this
    // catches (a 32-bit cut, a wrong cluster factor) are far larger.
    const double slack = std::max(1024.0 * 1024 * 1024, (double)(blocks * block) / 20);
    double lo = (double)std::min(freeBlocks, avail) * block - slack;
    double hi = (double)std::max(freeBlocks, avail) * block + slack;
    EXPECT_GE((double)freeB, lo);
    EXPECT_LE((double)freeB, hi);
    EXPECT_GT(cluster, 0u);
    EXPECT_EQ(SpaceGetDiskFree("Q:\\", &cluster, &freeB, &totalB), 0);
    EXPECT_EQ(cluster | freeB | totalB, 0u);
}

TEST(FreeSpace, Win9xDeviceCallThroughTheStandIn) {
    Win9xDriveModel m{};
    m.build = 2222;
    m.hasDiskFreeEx = m.hasVwin32 = 1;
    m.bytesPerSector = 512;
    m.sectorsPerCluster = 16;
    m.totalBytes = 30ull << 30;
    m.freeBytes = 12ull << 30;
    m.cappedSectorsPerCluster = 64;
    m.cappedFreeClusters = m.cappedTotalClusters = 65535;
    SpaceSystem previous = StandInSpaceWin9x(&m);
    uint32_t cluster = 0;
    uint64_t freeB = 0;
    EXPECT_EQ(SpaceGetDiskFree("D:\\games\\x", &cluster, &freeB, nullptr), 1);
    StandInSpaceRestore(previous);
    EXPECT_EQ(cluster, 8192u);
    EXPECT_EQ(freeB, 12ull << 30);
    EXPECT_EQ(m.vwin32Calls, 1);
    EXPECT_STREQ(m.lastRoot, "D:\\");
}

}  // namespace
