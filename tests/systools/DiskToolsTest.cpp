// Diskette tools on drive A: of the test prefix, which Wine links to an
// image file made by mkfs.fat and mcopy (disk-prepare.sh): copy the
// diskette into an image file, write an image onto the diskette and read it
// back, compare and verify, on the NT way (the drive device) and the
// Windows 9x way (vwin32 through a stand-in). disk-check.sh then compares
// the files with cmp and reads them with mtools.
#include <gtest/gtest.h>

#include "fileops/DiskImage.h"

TEST(DiskImage, FormatNamesAndSizes) {
    EXPECT_STREQ(DiskFormatName(1474560), "1.44MB");
    EXPECT_STREQ(DiskFormatName(368640), "360kB");
    EXPECT_STREQ(DiskFormatName(2949120), "2.88MB");
    EXPECT_STREQ(DiskFormatName(1474561), "");
    EXPECT_TRUE(DiskSizeAllowed(2949120));
    EXPECT_FALSE(DiskSizeAllowed(2949121));
    EXPECT_FALSE(DiskSizeAllowed(0));
}

TEST(DiskImage, SerialOnlyBehindTheExtendedSignature) {
    uint8_t boot[512] = {};
    EXPECT_FALSE(DiskSetSerial(boot, sizeof boot, 0x11223344));
    EXPECT_EQ(boot[39], 0) << "boot code or data there is left alone";
    boot[38] = 0x29;
    EXPECT_TRUE(DiskSetSerial(boot, sizeof boot, 0x11223344));
    EXPECT_EQ(boot[39], 0x44);
    EXPECT_EQ(boot[42], 0x11);
    EXPECT_FALSE(DiskSetSerial(boot, 100, 1)) << "no whole boot sector";
    // The clock formula in 32 bits: milliseconds shifted by 28 wrap.
    DiskClock t = {2026, 12, 5, 11, 7, 30, 15, 999};
    EXPECT_EQ(DiskSerialFromClock(t), (uint32_t)(999u << 28) + (2026u << 24) + (7u << 20) + (30u << 16) +
                                          (12u << 12) + (5u << 8) + (11u << 4) + 30u);
}

TEST(DiskImage, Geometries) {
    DiskGeometry g;
    EXPECT_TRUE(DiskGeometryFromDrive(80, 2, 18, 512, &g));
    EXPECT_EQ(g.sectors, 2880u);
    EXPECT_EQ(DiskGeometryBytes(g), 1474560u);
    EXPECT_FALSE(DiskGeometryFromDrive(0x100000050ull, 0xFFFFFFFFu, 0xFFFFFFFFu, 512, &g)) << "no wrap";
    EXPECT_FALSE(DiskGeometryFromDrive(1000, 255, 63, 512, &g)) << "a hard disk";
    EXPECT_FALSE(DiskGeometryFromDrive(80, 2, 0, 512, &g));
    uint8_t boot[512] = {};
    EXPECT_FALSE(DiskGeometryFromBootSector(boot, &g));
    boot[0x0B] = 0x00, boot[0x0C] = 0x02; // 512
    boot[0x13] = 0x40, boot[0x14] = 0x0B; // 2880
    boot[0x18] = 18, boot[0x1A] = 2;
    EXPECT_TRUE(DiskGeometryFromBootSector(boot, &g));
    EXPECT_EQ(g.sectors, 2880u);
    EXPECT_EQ(g.sectorsPerTrack, 18u);
    boot[0x13] = 0xFF, boot[0x14] = 0xFF, boot[0x0C] = 0x10; // 65535 x 4096
    EXPECT_FALSE(DiskGeometryFromBootSector(boot, &g));
}

TEST(DiskImage, SectorCompareStaysInsideTheImage) {
    uint8_t image[1024] = {}, sector[512] = {};
    image[38] = sector[38] = 0x29;
    sector[40] = 7; // another serial
    EXPECT_TRUE(DiskSectorMatches(image, sizeof image, 0, sector, 512));
    image[38] = 0;
    sector[38] = 0;
    EXPECT_FALSE(DiskSectorMatches(image, sizeof image, 0, sector, 512)) << "no serial there: a real difference";
    sector[40] = 0;
    EXPECT_TRUE(DiskSectorMatches(image, sizeof image, 1, sector, 512));
    EXPECT_FALSE(DiskSectorMatches(image, sizeof image, 2, sector, 512));
    EXPECT_FALSE(DiskSectorMatches(image, 1000, 1, sector, 512));
}

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/DiskTools.h"
#include "wingui/WindowList.h"
#include "standins/vwin32/DiskStandIn.h"
#include "tests/fileops-jobs/JobTestSupport.h"

namespace {

const std::string kData = "T:\\diskdata\\";

struct DiskFixture : ::testing::Test {
    void SetUp() override {
        JobTestInitApp();
        saved = gDiskSystem;
        model.image = kData + "a.img";
        gDiskToolMode = 2;
        ctx.source = ctx.target = 1;
    }
    void TearDown() override {
        gDiskSystem = saved;
        MemFree(&ctx.image);
        gDiskToolMode = 0;
    }
    void Nt() { gDiskSystem = StandInDiskNt(&model); }
    void Win9x() { gDiskSystem = StandInDiskWin9x(&model); }
    void Load(const std::string &name) {
        uint32_t error = 0;
        MemFree(&ctx.image);
        ASSERT_TRUE(DiskReadImageFile(&ctx, (kData + name).c_str(), &error)) << error;
    }
    std::string Held() const { return std::string((const char *)ctx.image, ctx.imageSize); }
    DiskSystem saved;
    DiskDriveModel model;
    DiskToolContext ctx = {};
};

using DiskTools = DiskFixture;

TEST_F(DiskTools, DisketteToImageFileIsIdentical) {
    Nt();
    ASSERT_TRUE(DiskReadImage(&ctx, kDiskReadImage));
    ASSERT_EQ(ctx.imageSize, 1474560u);
    EXPECT_EQ(Held(), ReadFileBytes(kData + "orig.img"));
    uint32_t error = 0;
    ASSERT_TRUE(DiskWriteImageFile(&ctx, (kData + "copy.img").c_str(), &error)) << error;
    EXPECT_TRUE(model.errors.empty());
    EXPECT_TRUE(model.messages.empty());
}

TEST_F(DiskTools, ImageToDisketteAndBackOnBothSystems) {
    for (int nine = 0; nine < 2; nine++) {
        SCOPED_TRACE(nine ? "9x" : "NT");
        nine ? Win9x() : Nt();
        WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
        Load("other.img");
        std::string image = Held();
        ctx.verify = 1;
        ASSERT_TRUE(DiskWriteImage(&ctx));
        EXPECT_EQ(ReadFileBytes(kData + "a.img"), image);
        MemFree(&ctx.image);
        ASSERT_TRUE(DiskReadImage(&ctx, kDiskReadImage));
        EXPECT_EQ(Held(), image);
        // 9x writes a track per call, NT a cylinder.
        EXPECT_EQ(model.writeCalls, nine ? 160 : 80);
        model.writeCalls = 0;
        uint32_t error = 0;
        ASSERT_TRUE(DiskWriteImageFile(&ctx, (kData + "back.img").c_str(), &error));
        EXPECT_TRUE(model.errors.empty());
        EXPECT_TRUE(model.messages.empty());
    }
}

TEST_F(DiskTools, CompareIgnoresTheSerialAndFindsAChangedSector) {
    for (int nine = 0; nine < 2; nine++) {
        SCOPED_TRACE(nine ? "9x" : "NT");
        nine ? Win9x() : Nt();
        std::string disk = ReadFileBytes(kData + "orig.img");
        WriteFileBytes(kData + "a.img", disk);
        Load("orig.img");
        ctx.image[39] ^= 0x5A; // a copy with another serial
        model.messages.clear();
        EXPECT_TRUE(DiskReadImage(&ctx, kDiskReadCompare));
        EXPECT_TRUE(model.messages.empty());
        disk[100 * 512 + 7] ^= 1;
        WriteFileBytes(kData + "a.img", disk);
        gDiskToolMode = 2;
        EXPECT_FALSE(DiskReadImage(&ctx, kDiskReadCompare));
        ASSERT_EQ(model.messages.size(), 1u);
        EXPECT_EQ(model.messages[0], Txt::txtDiskMismatch);
        EXPECT_EQ(gDiskToolMode, 0);
        EXPECT_NE(ctx.image, nullptr) << "the image stays for the next compare";
        gDiskToolMode = 2;
        model.messages.clear();
        // A medium of another size than the image is a mismatch, not a read
        // past the image.
        Load("small.img");
        WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
        EXPECT_FALSE(DiskReadImage(&ctx, kDiskReadCompare));
        EXPECT_EQ(model.messages, std::vector<int>{Txt::txtDiskMismatch});
        model.messages.clear();
        gDiskToolMode = 2;
        EXPECT_TRUE(DiskReadImage(&ctx, kDiskReadVerify));
    }
}

TEST_F(DiskTools, WrongSizesAreRefusedAndNothingIsWritten) {
    Nt();
    WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
    for (const char *name : {"small.img"}) {
        Load(name);
        EXPECT_FALSE(DiskWriteImage(&ctx));
        EXPECT_EQ(model.messages, std::vector<int>{Txt::errDiskCompat});
        model.messages.clear();
    }
    // A short image file is never padded out to a diskette's size.
    uint32_t error = 0;
    MemFree(&ctx.image);
    EXPECT_TRUE(DiskReadImageFile(&ctx, (kData + "short.img").c_str(), &error));
    EXPECT_FALSE(DiskWriteImage(&ctx));
    EXPECT_EQ(model.messages, std::vector<int>{Txt::errDiskCompat});
    EXPECT_EQ(model.writeCalls, 0);
    EXPECT_EQ(ReadFileBytes(kData + "a.img"), ReadFileBytes(kData + "orig.img"));
    // Too large or empty image files are not taken at all.
    WriteFileBytes(kData + "empty.img", "");
    EXPECT_FALSE(DiskReadImageFile(&ctx, (kData + "empty.img").c_str(), &error));
    EXPECT_EQ(ctx.image, nullptr);
}

TEST_F(DiskTools, EveryFailedSectorIsReported) {
    for (int nine = 0; nine < 2; nine++) {
        SCOPED_TRACE(nine ? "9x" : "NT");
        nine ? Win9x() : Nt();
        WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
        Load("other.img");
        model.failWriteSector = 1000;
        model.messages.clear();
        model.texts.clear();
        ctx.verify = 1;
        EXPECT_FALSE(DiskWriteImage(&ctx));
        ASSERT_EQ(model.messages.size(), 1u);
        EXPECT_NE(model.texts[0].find("1 sectors"), std::string::npos) << model.texts[0];
        EXPECT_NE(model.texts[0].find(": 1000"), std::string::npos) << model.texts[0];
        // Every other sector was written.
        std::string disk = ReadFileBytes(kData + "a.img"), image = Held();
        EXPECT_EQ(disk.substr(0, 1000 * 512), image.substr(0, 1000 * 512));
        EXPECT_EQ(disk.substr(1001 * 512), image.substr(1001 * 512));
        model.failWriteSector = -1;
    }
}

TEST_F(DiskTools, MissingDriveIsReportedOnce) {
    Nt();
    ctx.source = 2; // B: is not linked
    EXPECT_FALSE(DiskReadImage(&ctx, kDiskReadImage));
    EXPECT_EQ(model.errors.size(), 1u);
    EXPECT_EQ(ctx.image, nullptr);
    Win9x();
    model.errors.clear();
    EXPECT_FALSE(DiskReadImage(&ctx, kDiskReadVerify));
    EXPECT_EQ(model.errors, std::vector<uint32_t>{21u});
}

TEST_F(DiskTools, StopEndsTheReadAndDropsThePartialImage) {
    Nt();
    gDiskToolMode = 1; // stopped before the first sector
    EXPECT_FALSE(DiskReadImage(&ctx, kDiskReadImage));
    EXPECT_EQ(ctx.image, nullptr);
    EXPECT_TRUE(model.errors.empty());
}

TEST_F(DiskTools, EjectOnlyWhatCanBeEjected) {
    Win9x();
    EXPECT_EQ(DiskIsEjectable('A'), 0);
    EXPECT_EQ(DiskIsEjectable('B'), 0);
    EXPECT_EQ(DiskIsEjectable('\\'), 0);
    EXPECT_EQ(DiskIsEjectable('C'), 0) << "a fixed drive";
    EXPECT_EQ(DiskIsEjectable('Q'), 7) << "no such drive: unknown";
}

TEST_F(DiskTools, NineXEjectGoesThroughTheDevice) {
    Win9x();
    // No drive Q: in the prefix: its type is unknown, so it counts as
    // ejectable and the request reaches the device.
    HANDLE thread = DiskEjectStart('q');
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(model.ejects, 1);
    EXPECT_EQ(DiskEjectStart('A'), nullptr);
    EXPECT_EQ(model.ejects, 1);
}

TEST_F(DiskTools, VerifyOnAHardDiskIsRefused) {
    Nt();
    gDiskToolMode = 0;
    strcpy(gApp->panelPath[0], "C:\\");
    gApp->activePanel = 0;
    DiskVerifyCommand(nullptr);
    EXPECT_EQ(model.messages, std::vector<int>{Txt::wrnDskVerify});
    EXPECT_EQ(gDiskToolCtx, nullptr);
    EXPECT_EQ(gDiskToolMode, 0);
    gApp->panelPath[0][0] = 0;
}

// ---- the copy dialog as the user meets it

std::string gChosen;
bool ChooseTestFile(HWND, bool, char *path, size_t size) {
    lstrcpynA(path, gChosen.c_str(), (int)size);
    return true;
}

HWND FindCopyDialog() { return ToolWndFind(9); }

template <class F> bool PumpUntil(F done) {
    for (DWORD end = GetTickCount() + 30000; GetTickCount() < end;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!ToolWndIsDialogMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (done())
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
}

std::string ItemText(HWND d, int id) {
    char text[80] = "";
    GetDlgItemTextA(d, id, text, sizeof text);
    return text;
}

TEST_F(DiskTools, CopyDialogReadsTheDisketteAndWritesAnImageFile) {
    Nt();
    gDiskToolMode = 0;
    WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
    gDiskChooseFile = ChooseTestFile;
    gChosen = kData + "dialog.img";
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    DiskCopyCommand(nullptr);
    HWND d = FindCopyDialog();
    ASSERT_TRUE(d);
    EXPECT_EQ(gDiskToolMode, 1);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, 12802))) << "Write waits for an image";
    SendDlgItemMessageA(d, 12801, BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(d, 12802)) != 0; }));
    EXPECT_EQ(ItemText(d, 12805), "1.44MB");
    EXPECT_EQ(ItemText(d, 2), "&Done");
    // Target: an image file.
    CheckRadioButton(d, 12813, 12814, 12814);
    SendDlgItemMessageA(d, 12802, BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return Exists(gChosen) && IsWindowEnabled(GetDlgItem(d, 12801)); }));
    EXPECT_EQ(ReadFileBytes(gChosen), ReadFileBytes(kData + "orig.img"));
    // Target: the diskette, but the user says no.
    CheckRadioButton(d, 12813, 12814, 12813);
    model.answer = IDNO;
    SendDlgItemMessageA(d, 12802, BM_CLICK, 0, 0);
    ASSERT_EQ(model.messages, std::vector<int>{Txt::askDiskWrite});
    EXPECT_EQ(model.writeCalls, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, 12802)));
    SendDlgItemMessageA(d, 2, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(d));
    EXPECT_EQ(gDiskToolCtx, nullptr);
    EXPECT_EQ(gDiskToolMode, 0);
    gDiskChooseFile = nullptr;
}

} // namespace
#endif
