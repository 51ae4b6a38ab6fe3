// PELLIX over the rapi.dll stand-in: listings, transfers both ways, copy and
// move on the device, and what a cancel, a dropped link or a full device
// leaves behind (never a truncated file under a target's name).
#include <gtest/gtest.h>

#include <map>

#include "CeTestSupport.h"

// Big contents compared without printing them.
#define EXPECT_SAME_BYTES(a, b) EXPECT_TRUE((a) == (b)) << "contents differ"

namespace {

struct Listed {
    uint32_t date, time, attributes, size;
};
void CECALL Collect(const char* name, uint32_t date, uint32_t time, uint32_t attributes, uint32_t size,
                    void* user) {
    (*static_cast<std::map<std::string, Listed>*>(user))[name] = {date, time, attributes, size};
}

int List(const std::string& pattern, std::map<std::string, Listed>* out) {
    out->clear();
    return CeCall(kCeList, (uintptr_t)pattern.c_str(), (uintptr_t)Collect, (uintptr_t)out);
}

int Transfer(uint32_t code, const std::string& from, const std::string& to) {
    return CeCall(code, from, to, 0, (uintptr_t)&gHost.cancel);
}

class CeLib : public ::testing::Test {
  protected:
    CeScratch scratch;
    void SetUp() override {
        ASSERT_TRUE(CeLoadLibrary()) << "PELLIX.DLL or rapi.dll missing beside the test";
    }
    std::string Local(const std::string& name) const { return scratch.local + "\\" + name; }
    std::string OnDevice(const std::string& devicePath) const { return scratch.DevicePath(devicePath); }
};

} // namespace

TEST_F(CeLib, VersionAndConnect) {
    EXPECT_EQ(CeCall(kCeVersion), kCeLibVersion);
    EXPECT_EQ(CeConnect(), -1);
    EXPECT_EQ(CeCall(13), -1);
    SetEnvironmentVariableA("ZQ_CE_ROOT", (scratch.root + "\\absent").c_str());
    EXPECT_EQ(CeConnect(), kCeConnectFailed);
    EXPECT_EQ(CeCall(kCeMakeDir, "\\x"), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(CeLib, ListingGivesNamesSizesAttributesAndLocalTimes) {
    WriteFileBytes(OnDevice("\\a.txt"), "hello");
    CreateDirectoryA(OnDevice("\\Docs").c_str(), nullptr);
    WriteFileBytes(OnDevice("\\Docs\\b.bin"), PatternBytes(5000, 1));
    SetFileAttributesA(OnDevice("\\Docs\\b.bin").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    // 2004-07-01 12:34:56 local time on the device file.
    SYSTEMTIME st = {2004, 7, 4, 1, 12, 34, 56, 0};
    FILETIME local, utc;
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    HANDLE h = CreateFileA(OnDevice("\\a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    SetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);

    std::map<std::string, Listed> root, docs, empty;
    ASSERT_EQ(List("", &root), 0); // empty pattern lists the root
    ASSERT_EQ(root.size(), 2u);
    EXPECT_EQ(root["a.txt"].size, 5u);
    EXPECT_EQ(root["a.txt"].date, (uint32_t)((2004 - 1980) << 9 | 7 << 5 | 1));
    EXPECT_EQ(root["a.txt"].time, (uint32_t)(12 << 11 | 34 << 5 | 56 / 2));
    EXPECT_TRUE(root["Docs"].attributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(List("\\Docs\\*", &docs), 0);
    EXPECT_EQ(docs["b.bin"].size, 5000u);
    EXPECT_EQ(docs["b.bin"].attributes & 0x7, (uint32_t)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    CreateDirectoryA(OnDevice("\\Empty").c_str(), nullptr);
    EXPECT_EQ(List("\\Empty\\*", &empty), 0);
    EXPECT_TRUE(empty.empty());
    EXPECT_NE(List("\\Missing\\*", &empty), 0);
}

TEST_F(CeLib, NamesThatAreNotPlainNeverReachTheCaller) {
    WriteFileBytes(OnDevice("\\good.txt"), "x");
    CeKnob("ZQ_CE_HOSTILE_NAMES", "1");
    std::map<std::string, Listed> listed;
    // The listing says that names were left out, and passes the rest.
    EXPECT_EQ(List("\\*", &listed), ERROR_INVALID_NAME);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed.begin()->first, "good.txt");
}

TEST_F(CeLib, FilesRoundTripUnchangedAtEveryBufferSize) {
    // 0, one small buffer exactly, a heap buffer of the file's size, 64 KiB chunks.
    const size_t sizes[] = {0, 4096, 5000, 1000000};
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        std::string bytes = PatternBytes(size, (unsigned)size);
        std::string name = "f" + std::to_string(size) + ".bin";
        WriteFileBytes(Local(name), bytes);
        gHost.progress = 0;
        ASSERT_EQ(Transfer(kCeUpload, Local(name), "\\" + name), 0);
        EXPECT_EQ(gHost.progress, size);
        EXPECT_SAME_BYTES(ReadFileBytes(OnDevice("\\" + name)), bytes);
        gHost.progress = 0;
        ASSERT_EQ(Transfer(kCeDownload, "\\" + name, Local("back-" + name)), 0);
        EXPECT_EQ(gHost.progress, size);
        EXPECT_SAME_BYTES(ReadFileBytes(Local("back-" + name)), bytes);
    }
    // No temporary file stays behind on either side.
    for (const std::string& n : FolderNames(scratch.device))
        EXPECT_EQ(n.find("zq"), std::string::npos) << n;
    for (const std::string& n : FolderNames(scratch.local))
        EXPECT_EQ(n.find("zq"), std::string::npos) << n;
}

TEST_F(CeLib, TransfersKeepTimesAndAttributes) {
    WriteFileBytes(Local("t.txt"), "times");
    SYSTEMTIME st = {1999, 12, 5, 31, 23, 58, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h =
        CreateFileA(Local("t.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    SetFileAttributesA(Local("t.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(Transfer(kCeUpload, Local("t.txt"), "\\t.txt"), 0);
    CeTimeRecord times = {};
    ASSERT_EQ(CeCall(kCeGetTimes, (uintptr_t) "\\t.txt", (uintptr_t)&times), 0);
    EXPECT_EQ(times.lastWrite.low, ft.dwLowDateTime);
    EXPECT_EQ(times.lastWrite.high, ft.dwHighDateTime);
    EXPECT_TRUE(GetFileAttributesA(OnDevice("\\t.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    ASSERT_EQ(Transfer(kCeDownload, "\\t.txt", Local("t2.txt")), 0);
    WIN32_FILE_ATTRIBUTE_DATA back;
    ASSERT_TRUE(GetFileAttributesExA(Local("t2.txt").c_str(), GetFileExInfoStandard, &back));
    EXPECT_EQ(back.ftLastWriteTime.dwLowDateTime, ft.dwLowDateTime);
    EXPECT_TRUE(back.dwFileAttributes & FILE_ATTRIBUTE_READONLY);

    // Writing times: the record goes to the device file.
    times.lastWrite.low += 20000000;
    ASSERT_EQ(CeCall(kCeSetTimes, (uintptr_t) "\\t.txt", (uintptr_t)&times), 0);
    CeTimeRecord again = {};
    ASSERT_EQ(CeCall(kCeGetTimes, (uintptr_t) "\\t.txt", (uintptr_t)&again), 0);
    EXPECT_EQ(again.lastWrite.low, times.lastWrite.low);
    EXPECT_EQ(CeCall(kCeGetTimes, (uintptr_t) "\\none.txt", (uintptr_t)&again), ERROR_FILE_NOT_FOUND);
}

TEST_F(CeLib, MissingFoldersAreMadeOnEitherSide) {
    WriteFileBytes(Local("up.txt"), "up");
    ASSERT_EQ(Transfer(kCeUpload, Local("up.txt"), "\\A\\B\\C\\up.txt"), 0);
    EXPECT_EQ(ReadFileBytes(OnDevice("\\A\\B\\C\\up.txt")), "up");
    std::string deep = scratch.local + "\\x\\y\\down.txt";
    ASSERT_EQ(Transfer(kCeDownload, "\\A\\B\\C\\up.txt", deep), 0);
    EXPECT_EQ(ReadFileBytes(deep), "up");
    EXPECT_EQ(gHost.localDirsMade.size(), 1u);
}

TEST_F(CeLib, AnExistingTargetIsAskedAbout) {
    struct Case {
        int32_t answer;
        int result;
        bool replaced;
        uint64_t progress; // a skipped file counts as done
    } cases[] = {{0, 0, true, 9},
                 {kCeAnswerAll, 0, true, 9},
                 {kCeAnswerSkip, kCeSkipped, false, 9},
                 {kCeAnswerStop, kCeSkipped, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        for (uint32_t code : {kCeUpload, kCeDownload, kCeCopy}) {
            SCOPED_TRACE(code);
            WriteFileBytes(Local("new.txt"), "new bytes");
            WriteFileBytes(OnDevice("\\new.txt"), "new bytes");
            WriteFileBytes(OnDevice("\\old.txt"), "old");
            WriteFileBytes(Local("old.txt"), "old");
            gHost.answer = c.answer;
            gHost.asked = 0;
            gHost.progress = 0;
            int result = code == kCeUpload     ? Transfer(code, Local("new.txt"), "\\old.txt")
                         : code == kCeDownload ? Transfer(code, "\\new.txt", Local("old.txt"))
                                               : CeCall(code, "\\new.txt", "\\old.txt");
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(gHost.asked, 1);
            EXPECT_EQ(gHost.progress, c.progress);
            std::string target =
                code == kCeDownload ? ReadFileBytes(Local("old.txt")) : ReadFileBytes(OnDevice("\\old.txt"));
            EXPECT_EQ(target, c.replaced ? "new bytes" : "old");
        }
    }
}

TEST_F(CeLib, AFolderWhereAFileIsExpected) {
    CreateDirectoryA(OnDevice("\\D").c_str(), nullptr);
    CreateDirectoryA(Local("D").c_str(), nullptr);
    WriteFileBytes(Local("f.txt"), "f");
    WriteFileBytes(OnDevice("\\f.txt"), "f");
    EXPECT_EQ(Transfer(kCeDownload, "\\D", Local("x")), kCeIsDirectory);
    EXPECT_EQ(Transfer(kCeDownload, "\\f.txt", Local("D")), kCeIsDirectory);
    EXPECT_EQ(Transfer(kCeUpload, Local("D"), "\\x"), kCeIsDirectory);
    EXPECT_EQ(Transfer(kCeUpload, Local("f.txt"), "\\D"), kCeIsDirectory);
    EXPECT_EQ(CeCall(kCeCopy, "\\D", "\\E"), kCeIsDirectory);
    EXPECT_EQ(Transfer(kCeDownload, "\\nothing.txt", Local("n")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Transfer(kCeUpload, Local("nothing.txt"), "\\n"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(FileExists(Local("n")));
}

TEST_F(CeLib, ACancelLeavesTheOldTargetAndNoPartialFile) {
    std::string big = PatternBytes(300000, 7);
    WriteFileBytes(Local("big.bin"), big);
    WriteFileBytes(OnDevice("\\big.bin"), big);
    WriteFileBytes(OnDevice("\\target.bin"), "old device");
    WriteFileBytes(Local("target.bin"), "old local");
    for (uint32_t code : {kCeUpload, kCeDownload}) {
        SCOPED_TRACE(code);
        gHost.progress = 0;
        gHost.cancel = 0;
        gHost.cancelAfter = 65536;
        int result = code == kCeUpload ? Transfer(code, Local("big.bin"), "\\target.bin")
                                       : Transfer(code, "\\big.bin", Local("target.bin"));
        EXPECT_EQ(result, kCeSkipped); // a cancel is never reported as done
        EXPECT_LT(gHost.progress, big.size());
    }
    EXPECT_EQ(ReadFileBytes(OnDevice("\\target.bin")), "old device");
    EXPECT_EQ(ReadFileBytes(Local("target.bin")), "old local");
    EXPECT_EQ(FolderNames(scratch.device), (std::vector<std::string>{"big.bin", "target.bin"}));
    EXPECT_EQ(FolderNames(scratch.local), (std::vector<std::string>{"big.bin", "target.bin"}));
    // A cancel before the first chunk leaves no new file either.
    gHost.cancel = 1;
    gHost.cancelAfter = 0;
    EXPECT_EQ(Transfer(kCeDownload, "\\big.bin", Local("fresh.bin")), kCeSkipped);
    EXPECT_FALSE(FileExists(Local("fresh.bin")));
}

TEST_F(CeLib, ADroppedLinkFailsClearlyAndARetryAfterReconnectWorks) {
    std::string big = PatternBytes(400000, 9);
    WriteFileBytes(Local("big.bin"), big);
    WriteFileBytes(OnDevice("\\big.bin"), big);
    WriteFileBytes(OnDevice("\\target.bin"), "old device");
    WriteFileBytes(Local("target.bin"), "old local");
    for (uint32_t code : {kCeUpload, kCeDownload}) {
        SCOPED_TRACE(code);
        std::string deviceBefore = ReadFileBytes(OnDevice("\\target.bin"));
        std::string localBefore = ReadFileBytes(Local("target.bin"));
        CeKnob("ZQ_CE_DISCONNECT_AFTER", "5"); // a few chunks, then the device is gone
        int result = code == kCeUpload ? Transfer(code, Local("big.bin"), "\\target.bin")
                                       : Transfer(code, "\\big.bin", Local("target.bin"));
        EXPECT_EQ(result, ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_SAME_BYTES(ReadFileBytes(OnDevice("\\target.bin")), deviceBefore);
        EXPECT_SAME_BYTES(ReadFileBytes(Local("target.bin")), localBefore);
        // The partial file was removed here; on the device it may stay, but
        // only under its temporary name.
        EXPECT_EQ(FolderNames(scratch.local), (std::vector<std::string>{"big.bin", "target.bin"}));
        ASSERT_EQ(CeConnect(), -1);
        result = code == kCeUpload ? Transfer(code, Local("big.bin"), "\\target.bin")
                                   : Transfer(code, "\\big.bin", Local("target.bin"));
        EXPECT_EQ(result, 0);
    }
    EXPECT_SAME_BYTES(ReadFileBytes(OnDevice("\\target.bin")), big);
    EXPECT_SAME_BYTES(ReadFileBytes(Local("target.bin")), big);
}

TEST_F(CeLib, AFullDeviceKeepsTheOldFile) {
    WriteFileBytes(OnDevice("\\t.bin"), "old");
    WriteFileBytes(Local("big.bin"), PatternBytes(200000, 3));
    CeKnob("ZQ_CE_FREE_BYTES", "100000");
    EXPECT_EQ(Transfer(kCeUpload, Local("big.bin"), "\\t.bin"), ERROR_DISK_FULL);
    EXPECT_EQ(ReadFileBytes(OnDevice("\\t.bin")), "old");
    EXPECT_EQ(FolderNames(scratch.device), std::vector<std::string>{"t.bin"});
}

TEST_F(CeLib, MoveOnTheDeviceNeverLosesTheTarget) {
    // Overwrite: the source takes the name, the old target is gone.
    WriteFileBytes(OnDevice("\\src.txt"), "source");
    WriteFileBytes(OnDevice("\\dst.txt"), "target");
    SetFileAttributesA(OnDevice("\\dst.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(CeCall(kCeMove, "\\src.txt", "\\dst.txt"), 0);
    EXPECT_EQ(ReadFileBytes(OnDevice("\\dst.txt")), "source");
    EXPECT_EQ(FolderNames(scratch.device), std::vector<std::string>{"dst.txt"});
    // Skip: both stay.
    WriteFileBytes(OnDevice("\\src.txt"), "source2");
    gHost.answer = kCeAnswerSkip;
    EXPECT_EQ(CeCall(kCeMove, "\\src.txt", "\\dst.txt"), kCeSkipped);
    EXPECT_EQ(ReadFileBytes(OnDevice("\\dst.txt")), "source");
    EXPECT_EQ(ReadFileBytes(OnDevice("\\src.txt")), "source2");
    // A move that fails (missing source) leaves the target as it was.
    gHost.answer = 0;
    DeleteFileA(OnDevice("\\src.txt").c_str());
    EXPECT_NE(CeCall(kCeMove, "\\gone.txt", "\\dst.txt"), 0);
    EXPECT_EQ(ReadFileBytes(OnDevice("\\dst.txt")), "source");
    // Case only: nothing is asked.
    gHost.asked = 0;
    ASSERT_EQ(CeCall(kCeMove, "\\dst.txt", "\\DST.txt"), 0);
    EXPECT_EQ(gHost.asked, 0);
    EXPECT_EQ(FolderNames(scratch.device), std::vector<std::string>{"DST.txt"});
    // Into a folder that is not there yet.
    ASSERT_EQ(CeCall(kCeMove, "\\DST.txt", "\\New\\Sub\\moved.txt"), 0);
    EXPECT_EQ(ReadFileBytes(OnDevice("\\New\\Sub\\moved.txt")), "source");
}

TEST_F(CeLib, CopyOnTheDevice) {
    std::string bytes = PatternBytes(70000, 5);
    WriteFileBytes(OnDevice("\\a.bin"), bytes);
    ASSERT_EQ(CeCall(kCeCopy, "\\a.bin", "\\b.bin"), 0);
    EXPECT_SAME_BYTES(ReadFileBytes(OnDevice("\\b.bin")), bytes);
    EXPECT_EQ(gHost.progress, bytes.size());
    EXPECT_EQ(CeCall(kCeCopy, "\\none.bin", "\\c.bin"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FolderNames(scratch.device), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(CeLib, DeleteFoldersAttributesAndRun) {
    WriteFileBytes(OnDevice("\\ro.txt"), "x");
    SetFileAttributesA(OnDevice("\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CeCall(kCeDeleteFile, "\\ro.txt"), 0); // read-only cleared, second attempt
    EXPECT_FALSE(FileExists(OnDevice("\\ro.txt")));
    EXPECT_EQ(CeCall(kCeDeleteFile, "\\ro.txt"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(CeCall(kCeMakeDir, "\\M"), 0);
    EXPECT_EQ(CeCall(kCeMakeDir, "\\M"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(CeCall(kCeSetAttr, (uintptr_t) "\\M", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY), 0);
    EXPECT_TRUE(GetFileAttributesA(OnDevice("\\M").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(CeCall(kCeRemoveDir, "\\M"), 0);
    EXPECT_FALSE(FileExists(OnDevice("\\M")));

    std::string log = scratch.root + "\\run.log";
    SetEnvironmentVariableA("ZQ_CE_RUN_LOG", log.c_str());
    CeConnect();
    WriteFileBytes(OnDevice("\\app.exe"), "MZ");
    EXPECT_EQ(CeCall(kCeRun, "\\app.exe"), 0);
    EXPECT_EQ(ReadFileBytes(log), "\\app.exe\n");
    EXPECT_EQ(CeCall(kCeRun, "\\none.exe"), ERROR_FILE_NOT_FOUND);
}

TEST_F(CeLib, PathsTooLongAreRefusedNotCut) {
    std::string longPath = "\\" + std::string(300, 'p');
    WriteFileBytes(Local("f.txt"), "f");
    EXPECT_EQ(CeCall(kCeDeleteFile, longPath), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(CeCall(kCeMakeDir, longPath), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(Transfer(kCeUpload, Local("f.txt"), longPath), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(Transfer(kCeDownload, longPath, Local("g.txt")), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(CeCall(kCeMove, longPath, "\\a"), ERROR_FILENAME_EXCED_RANGE);
    std::map<std::string, Listed> listed;
    EXPECT_EQ(List(longPath + "\\*", &listed), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(FolderNames(scratch.device), std::vector<std::string>{});
}
