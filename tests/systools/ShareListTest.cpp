// The local shares list over stand-ins of the Windows 9x and NT share
// interfaces (Wine's own answers "not supported"): which records the buffer
// gets, how the 9x buffer is sized from the reported count, the NT resume
// loop, and the empty list without a library.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fileops/ShareList.h"

namespace {

std::vector<std::string> Records(const GrowBuffer &b) {
    std::vector<std::string> out;
    uint32_t at = 0;
    while (at < b.used) {
        uint16_t size;
        memcpy(&size, b.data + at, 2);
        std::string path((const char *)b.data + at + 2);
        EXPECT_EQ(size, path.size() + 4);
        EXPECT_EQ(b.data[at + size - 1], 0) << "second zero";
        out.push_back(path);
        at += size;
    }
    EXPECT_EQ(at, b.used);
    return out;
}

struct Fixture : ::testing::Test {
    void SetUp() override {
        gShareLibrary9x = "zqsvrapi.dll";
        gShareLibraryNt = "zqnetapi.dll";
        SetEnvironmentVariableA("ZQ_SHARES_PAGE", nullptr);
    }
    void TearDown() override {
        gShareLibrary9x = "svrapi.dll";
        gShareLibraryNt = "netapi32.dll";
        SetEnvironmentVariableA("ZQ_SHARES", nullptr);
        SetEnvironmentVariableA("ZQ_SHARES_PAGE", nullptr);
        MemFree(&buffer.data);
    }
    // Calls and last buffer size the stand-in saw (kept loaded meanwhile).
    void Calls(const char *dll, LONG *calls, unsigned *size) {
        HMODULE m = GetModuleHandleA(dll);
        ASSERT_TRUE(m);
        auto f = (void (*)(LONG *, unsigned *))(void *)GetProcAddress(m, "ShareStandInCalls");
        ASSERT_TRUE(f);
        f(calls, size);
    }
    GrowBuffer buffer = {};
};

using ShareList = Fixture;

TEST_F(ShareList, BothInterfacesListPathsAndSkipEmptyOnes) {
    SetEnvironmentVariableA("ZQ_SHARES", "C:\\Docs|\\|D:\\Public Files\\Music||C:\\x");
    for (int nt = 0; nt < 2; nt++) {
        SCOPED_TRACE(nt ? "NT" : "9x");
        MemFree(&buffer.data);
        buffer = {};
        ShareListRefresh(&buffer, nt);
        EXPECT_EQ(Records(buffer),
                  (std::vector<std::string>{"C:\\Docs", "\\", "D:\\Public Files\\Music", "C:\\x"}));
        EXPECT_EQ(buffer.count, 4u);
    }
    // A refresh starts again from an empty list.
    SetEnvironmentVariableA("ZQ_SHARES", "E:\\only");
    ShareListRefresh(&buffer, 1);
    EXPECT_EQ(Records(buffer), (std::vector<std::string>{"E:\\only"}));
}

TEST_F(ShareList, NoSharesOrNoLibraryGiveAnEmptyList) {
    SetEnvironmentVariableA("ZQ_SHARES", nullptr);
    ShareListPaths9x(&buffer);
    ShareListPathsNt(&buffer);
    EXPECT_EQ(buffer.used, 0u);
    gShareLibrary9x = "zq-no-such-library.dll";
    gShareLibraryNt = "kernel32.dll"; // loads, but has no NetShareEnum
    SetEnvironmentVariableA("ZQ_SHARES", "C:\\a");
    ShareListPaths9x(&buffer);
    ShareListPathsNt(&buffer);
    EXPECT_EQ(buffer.used, 0u);
    // Wine's own netapi32 has the function and answers with an error.
    gShareLibraryNt = "netapi32.dll";
    ShareListPathsNt(&buffer);
    EXPECT_EQ(buffer.used, 0u);
}

TEST_F(ShareList, NineXBufferGrowsToTheReportedCount) {
    HMODULE keep = LoadLibraryA("zqsvrapi.dll");
    ASSERT_TRUE(keep);
    // 300 shares do not fit the first 4200 bytes; the next buffer is sized
    // from the total the first call reported, and grows until all arrived.
    std::string table;
    std::vector<std::string> expected;
    for (int i = 0; i < 300; i++) {
        expected.push_back("C:\\share" + std::to_string(i));
        table += (i ? "|" : "") + expected.back();
    }
    SetEnvironmentVariableA("ZQ_SHARES", table.c_str());
    LONG calls0, calls;
    unsigned size;
    Calls("zqsvrapi.dll", &calls0, &size);
    ShareListPaths9x(&buffer);
    Calls("zqsvrapi.dll", &calls, &size);
    EXPECT_GE(calls - calls0, 2);
    EXPECT_LE(calls - calls0, 4);
    EXPECT_GE(size, 300u * (sizeof(void *) == 4 ? 42u : 50u));
    EXPECT_EQ(Records(buffer), expected);

    // So many shares that the count times the record size passes what a
    // 16-bit size can say: the buffer stays at the largest size the call can
    // be told, and only the records inside it are read.
    table.clear();
    for (int i = 0; i < 1700; i++)
        table += (i ? "|" : "") + std::string("C:\\s") + std::to_string(i);
    SetEnvironmentVariableA("ZQ_SHARES", table.c_str());
    MemFree(&buffer.data);
    buffer = {};
    ShareListPaths9x(&buffer);
    Calls("zqsvrapi.dll", &calls, &size);
    EXPECT_EQ(size, 0xFFFFu);
    std::vector<std::string> got = Records(buffer);
    ASSERT_GT(got.size(), 100u);
    EXPECT_LT(got.size(), 1700u);
    EXPECT_EQ(got.front(), "C:\\s0");
    EXPECT_EQ(got.back(), "C:\\s" + std::to_string(got.size() - 1));
    FreeLibrary(keep);
}

TEST_F(ShareList, NtResumesUntilAllArrived) {
    SetEnvironmentVariableA("ZQ_SHARES", "C:\\a|C:\\b||C:\\c|C:\\d|C:\\e|C:\\f");
    SetEnvironmentVariableA("ZQ_SHARES_PAGE", "2");
    HMODULE keep = LoadLibraryA("zqnetapi.dll");
    ASSERT_TRUE(keep);
    LONG calls0, calls;
    unsigned size;
    Calls("zqnetapi.dll", &calls0, &size);
    ShareListPathsNt(&buffer);
    Calls("zqnetapi.dll", &calls, &size);
    EXPECT_EQ(calls - calls0, 4);
    EXPECT_EQ(Records(buffer),
              (std::vector<std::string>{"C:\\a", "C:\\b", "C:\\c", "C:\\d", "C:\\e", "C:\\f"}));
    FreeLibrary(keep);
}

TEST_F(ShareList, PathsTooLongForARecordAreLeftOut) {
    std::string longPath = "C:\\" + std::string(257, 'x'); // 260 characters
    std::string fits = "C:\\" + std::string(256, 'y');    // 259
    SetEnvironmentVariableA("ZQ_SHARES", (longPath + "|" + fits).c_str());
    ShareListPathsNt(&buffer);
    EXPECT_EQ(Records(buffer), (std::vector<std::string>{fits}));
}

int gShellAsked;
int ShellSaysShared(const char *) {
    gShellAsked++;
    return 1;
}

TEST_F(ShareList, ContainsIgnoresCaseAndAsksTheShell) {
    SetEnvironmentVariableA("ZQ_SHARES", "C:\\Docs|D:\\Music");
    ShareListRefresh(&buffer, 1);
    int (*saved)(const char *) = gShareShellIsShared;
    gShareShellIsShared = ShellSaysShared;
    gShellAsked = 0;
    EXPECT_EQ(ShareListContains(&buffer, "c:\\docs"), 1);
    EXPECT_EQ(ShareListContains(&buffer, "D:\\MUSIC"), 1);
    EXPECT_EQ(gShellAsked, 2);
    EXPECT_EQ(ShareListContains(&buffer, "C:\\Docs\\sub"), 0);
    EXPECT_EQ(ShareListContains(&buffer, "C:\\Doc"), 0);
    EXPECT_EQ(gShellAsked, 2);
    gShareShellIsShared = saved;
    GrowBuffer empty = {};
    EXPECT_EQ(ShareListContains(&empty, "C:\\Docs"), 0);
}

} // namespace
