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
#include <thread>
#include <utility>

#include "AppState.h"
#include "app/bars/Bars.h"
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

// A dialog of this process by its caption (other test programs share the display).
struct FindOwn {
    const char *caption;
    HWND found;
};
BOOL CALLBACK FindOwnDialog(HWND w, LPARAM p) {
    FindOwn *f = (FindOwn *)p;
    char text[64] = "";
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    GetWindowTextA(w, text, sizeof text);
    if (pid != GetCurrentProcessId() || strcmp(text, f->caption))
        return TRUE;
    f->found = w;
    return FALSE;
}
HWND OwnDialog(const char *caption) {
    FindOwn find = {caption, nullptr};
    EnumWindows(FindOwnDialog, (LPARAM)&find);
    return find.found;
}

// ---- the label dialog on drive A: of the prefix

std::vector<std::pair<std::string, std::string>> gLabelCalls;
BOOL RecordLabel(const char *root, const char *label) {
    gLabelCalls.push_back({root, label});
    return TRUE;
}

struct LabelRun {
    std::string shown;
    LRESULT limit = 0;
    bool openAfterOk = false;
    bool appeared = false;
};

// Opens the dialog for `panelPath`, types `typed` and presses OK (then
// Cancel when the dialog stayed), as a user would.
LabelRun RunLabelDialog(const char *panelPath, const char *typed) {
    LabelRun run;
    std::thread user([&] {
        HWND d = nullptr;
        for (DWORD end = GetTickCount() + 30000; !d && GetTickCount() < end; Sleep(20)) {
            d = OwnDialog(" Label Disk");
            if (d && !IsWindowVisible(d))
                d = nullptr;
        }
        if (!d)
            return;
        run.appeared = true;
        char text[64] = "";
        GetDlgItemTextA(d, 12701, text, sizeof text);
        run.shown = text;
        run.limit = SendDlgItemMessageA(d, 12701, EM_GETLIMITTEXT, 0, 0);
        SetDlgItemTextA(d, 12701, typed);
        SendMessageA(d, WM_COMMAND, IDOK, 0);
        run.openAfterOk = IsWindow(d) && IsWindowVisible(d);
        if (run.openAfterOk)
            SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    DiskLabelCommand(nullptr, panelPath);
    user.join();
    return run;
}

TEST_F(DiskTools, LabelDialogShowsTheLabelAndHandsTheNewOneToTheSystem) {
    Nt();
    WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
    DriveInfo saved = gApp->drives[0];
    // The dialog shows the label the system reports for the drive (this
    // Wine does not read it from the image behind A:: it reports an empty
    // label of an "NTFS" volume), and hands the new one with the drive's
    // root to the system's call.
    char reported[64] = "", fsName[64] = "";
    ASSERT_TRUE(GetVolumeInformationA("A:\\", reported, sizeof reported, nullptr, nullptr, nullptr, fsName,
                                      sizeof fsName));
    printf("A: as the system reports it: label '%s', file system '%s'\n", reported, fsName);
    gDiskSystem.setVolumeLabel = RecordLabel;
    gLabelCalls.clear();
    LabelRun run = RunLabelDialog("A:\\some\\folder", "NEWLABEL");
    ASSERT_TRUE(run.appeared) << "errors: " << model.errors.size();
    EXPECT_EQ(run.shown, reported);
    EXPECT_EQ(run.limit, 11);
    EXPECT_FALSE(run.openAfterOk);
    EXPECT_EQ(gLabelCalls, (std::vector<std::pair<std::string, std::string>>{{"A:\\", "NEWLABEL"}}));
    EXPECT_TRUE(model.errors.empty());
    // The drive table's entry for A: was read again from the volume.
    char name[64] = "", fs[64] = "";
    ASSERT_TRUE(GetVolumeInformationA("A:\\", name, sizeof name, nullptr, nullptr, nullptr, fs, sizeof fs));
    EXPECT_STREQ(gApp->drives[0].displayName, name);
    EXPECT_STREQ(gApp->drives[0].fileSystem, fs);
    gApp->drives[0] = saved;
}

TEST_F(DiskTools, LabelTheSystemRefusesIsReportedAndTheDialogStays) {
    // This Wine's own SetVolumeLabel refuses drive A: (a device without a
    // folder behind it; FAT volumes it never labels): a real refusal,
    // reported once, the dialog left open, the diskette as it was.
    Nt();
    WriteFileBytes(kData + "a.img", ReadFileBytes(kData + "orig.img"));
    LabelRun run = RunLabelDialog("a:\\", "OTHER");
    ASSERT_TRUE(run.appeared);
    EXPECT_TRUE(run.openAfterOk);
    EXPECT_EQ(model.errors.size(), 1u);
    EXPECT_EQ(ReadFileBytes(kData + "a.img"), ReadFileBytes(kData + "orig.img"));
    // A drive that is not there: reported, and no dialog stays.
    model.errors.clear();
    DiskLabelCommand(nullptr, "B:\\");
    EXPECT_EQ(model.errors.size(), 1u);
}

// ---- the format command's drive list as the user meets it

struct FormatSeen {
    int calls = 0;
    UINT drive = 99;
    HWND owner = nullptr;
} gFormatSeen;

DWORD RecordFormat(HWND owner, UINT drive) {
    gFormatSeen.calls++;
    gFormatSeen.drive = drive;
    gFormatSeen.owner = owner;
    return 0;
}

// What the list showed: its lines, style, selection as keys moved it, and
// the colours of a drawn selected and unselected line.
struct FormatList {
    std::vector<std::string> lines;
    LONG style = 0;
    std::vector<LRESULT> selections;
    COLORREF selectedBack = 0, plainBack = 0;
    int pictureInk = 0, textInk = 0;
};

FormatList ReadFormatList(HWND dialog) {
    FormatList seen;
    HWND list = GetDlgItem(dialog, 12201);
    if (!list)
        return seen;
    seen.style = GetWindowLongA(list, GWL_STYLE);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char line[64] = "";
        SendMessageA(list, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
        seen.lines.push_back(line);
    }
    seen.selections.push_back(SendMessageA(list, LB_GETCURSEL, 0, 0));
    // The list draws itself into a bitmap of ours.
    RECT client;
    GetClientRect(list, &client);
    int w = client.right, h = client.bottom;
    LRESULT rowHeight = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB};
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(list, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
    GdiFlush();
    auto pixel = [&](int x, int y) {
        const uint8_t *p = (const uint8_t *)bits + (size_t)y * w * 4 + x * 4;
        return RGB(p[2], p[1], p[0]);
    };
    if (rowHeight > 0 && rowHeight * 2 <= h && w > 40) {
        seen.selectedBack = pixel(w - 3, (int)rowHeight / 2);
        seen.plainBack = pixel(w - 3, (int)rowHeight + (int)rowHeight / 2);
        for (int y = (int)rowHeight; y < 2 * rowHeight; y++) {
            for (int x = 0; x < w - 3; x++) {
                if (pixel(x, y) == seen.plainBack)
                    continue;
                (x < 22 ? seen.pictureInk : seen.textInk)++;
            }
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    // Keys as the user presses them: down a line, then the letter of C:.
    SendMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    seen.selections.push_back(SendMessageA(list, LB_GETCURSEL, 0, 0));
    SendMessageA(list, WM_CHAR, 'c', 0);
    seen.selections.push_back(SendMessageA(list, LB_GETCURSEL, 0, 0));
    SendMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    seen.selections.push_back(SendMessageA(list, LB_GETCURSEL, 0, 0));
    return seen;
}

TEST_F(DiskTools, FormatListShowsTheDrivesAndFormatsTheChosenOne) {
    Nt();
    gDiskSystem.formatDrive = RecordFormat;
    gFormatSeen = FormatSeen{};
    BarsMakeArt();
    DriveInfo saved[26];
    memcpy(saved, gApp->drives, sizeof saved);
    memset(gApp->drives, 0, sizeof saved);
    // A: is only a device here (no folder behind it): not among the drives
    // present, so not offered whatever its kind.
    gApp->drives[0].kind = kDriveFloppy;
    strcpy(gApp->drives[0].displayName, "ZQSOURCE");
    gApp->drives[2].kind = kDriveFixed;
    strcpy(gApp->drives[2].displayName, "System");
    gApp->drives['T' - 'A'].kind = kDriveRemovable;
    strcpy(gApp->drives['T' - 'A'].displayName, "Build");
    FormatList seen;
    {
        DialogAnswerer ok(" Select Drive", {IDOK}, [&](int) {
            if (HWND d = OwnDialog(" Select Drive"))
                seen = ReadFormatList(d);
        });
        DiskFormatCommand(nullptr);
        ok.Join();
        EXPECT_EQ(ok.answered(), 1);
    }
    // A CD-ROM is never offered; Cancel formats nothing.
    gApp->drives['T' - 'A'].kind = kDriveCdRom;
    std::vector<std::string> withCdRom;
    {
        DialogAnswerer cancel(" Select Drive", {IDCANCEL}, [&](int) {
            if (HWND d = OwnDialog(" Select Drive"))
                withCdRom = ReadFormatList(d).lines;
        });
        DiskFormatCommand(nullptr);
        cancel.Join();
    }
    EXPECT_EQ(withCdRom, std::vector<std::string>{"C: [System]"});
    memcpy(gApp->drives, saved, sizeof saved);
    EXPECT_EQ(seen.lines, (std::vector<std::string>{"C: [System]", "T: [Build]"}));
    EXPECT_TRUE(seen.style & LBS_OWNERDRAWFIXED);
    EXPECT_EQ(seen.selections, (std::vector<LRESULT>{0, 1, 0, 1}));
    EXPECT_EQ(seen.selectedBack, GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(seen.plainBack, GetSysColor(COLOR_WINDOW));
    EXPECT_GT(seen.pictureInk, 20) << "no drive picture";
    EXPECT_GT(seen.textInk, 20) << "no text";
    EXPECT_EQ(gFormatSeen.calls, 1);
    EXPECT_EQ(gFormatSeen.drive, (UINT)('T' - 'A')) << "T: was chosen";
    EXPECT_EQ(gFormatSeen.owner, GetDesktopWindow());
}

} // namespace
#endif
