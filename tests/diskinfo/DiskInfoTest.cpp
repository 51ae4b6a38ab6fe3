// Drive information: the used share in exact integer arithmetic (both
// builds), and under Wine the report as a user meets it, its fields read
// back, for a drive of the sandbox and for made-up records.
#include <gtest/gtest.h>

#include <string>

#include "fileops/FreeSpace.h"

TEST(DiskInfo, UsedShareIsExact)
{
    struct Case {
        uint64_t used, total;
        uint32_t hundredths;
    } cases[] = {
        {0, 0, 0},
        {0, 100, 0},
        {1, 3, 3333},
        {2, 3, 6666},
        {100, 100, 10000},
        {200, 100, 10000},
        {12345, 100000, 1234},
        // Sizes whose product with 10000 passes 64 bits.
        {0xFFFFFFFFFFFFFFFEULL, 0xFFFFFFFFFFFFFFFFULL, 9999},
        {0x8000000000000000ULL, 0xFFFFFFFFFFFFFFFFULL, 5000},
        {(1ULL << 62) + 12345, 1ULL << 63, 5000},
        {3000000000000000000ULL, 9000000000000000000ULL, 3333},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DiskUsedHundredths(c.used, c.total), c.hundredths) << c.used << " / " << c.total;
}

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "fileops/DiskInfo.h"
#include "tests/fileops-jobs/JobTestSupport.h"

namespace {

std::string Text(HWND d, int id)
{
    char text[200] = "";
    GetDlgItemTextA(d, id, text, sizeof text);
    return text;
}
bool Visible(HWND d, int id) { return (GetWindowLongA(GetDlgItem(d, id), GWL_STYLE) & WS_VISIBLE) != 0; }

HWND Report(VolumeInfo *v)
{
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgDiskInfo), nullptr, DiskInfoDialogProc,
                              (LPARAM)v);
}

TEST(DiskInfo, ReportShowsTheRecord)
{
    JobTestInitApp();
    VolumeInfo v = {};
    v.panelPath = "Q:\\folder";
    strcpy(v.root, "Q:\\");
    strcpy(v.label, "DATA");
    strcpy(v.fileSystem, "NTFS");
    v.serial = 0x1A2B3C4D;
    v.totalBytes = 10000000000ULL;
    v.freeBytes = 2500000000ULL;
    HWND d = Report(&v);
    ASSERT_TRUE(d);
    char caption[100];
    GetWindowTextA(d, caption, sizeof caption);
    EXPECT_STREQ(caption, "  Drive Q:");
    EXPECT_EQ(Text(d, 11510), "DATA");
    EXPECT_EQ(Text(d, 11511), "NTFS");
    EXPECT_EQ(Text(d, 11512), "1A2B:3C4D ");
    EXPECT_EQ(Text(d, 11513), "7,500,000,000");
    EXPECT_EQ(Text(d, 11514), "2,500,000,000");
    EXPECT_EQ(Text(d, 11515), "10,000,000,000");
    EXPECT_EQ(Text(d, 11516), "75.00 %");
    EXPECT_EQ(SendDlgItemMessageA(d, 10302, PBM_GETPOS, 0, 0), 75);
    DestroyWindow(d);

    // No volume data and no sizes: those fields are hidden.
    VolumeInfo none = {};
    none.panelPath = "Q:\\";
    d = Report(&none);
    ASSERT_TRUE(d);
    for (int id : {11530, 11510, 11512, 11533, 11513, 11516, 10302})
        EXPECT_FALSE(Visible(d, id)) << id;
    DestroyWindow(d);
}

TEST(DiskInfo, ReadsTheSandboxDrive)
{
    JobTestInitApp();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    VolumeInfo v;
    uint32_t error = 0;
    ASSERT_TRUE(DiskInfoRead(temp, &v, &error)) << error;
    ULARGE_INTEGER freeToCaller, total, freeAll;
    char root[4] = {temp[0], ':', '\\', 0};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root, &freeToCaller, &total, &freeAll));
    EXPECT_EQ(v.totalBytes, total.QuadPart);
    EXPECT_GT(v.totalBytes, 0u);
    EXPECT_EQ(v.root[0], temp[0]);
    // A drive letter with nothing behind it is an error, not a report of zeros.
    EXPECT_FALSE(DiskInfoRead("B:\\", &v, &error));
    EXPECT_NE(error, 0u);
}

} // namespace
#endif
