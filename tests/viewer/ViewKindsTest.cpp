// Views of the viewer library with the host's real services: metafiles
// written by GDI here show the picture that GDI drew, damaged ones are
// refused without reaching GDI; media files open in the system's media
// window, which goes with the view; the table view's tool bar has its
// pictures and tips.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "tests/viewer/LinkedViewer.h"
#include "viewer/LumoraInternal.h"

namespace {

const int kWidth = 200, kHeight = 100;

void Pump() {
    LinkedViewerPump();
}

// The picture: white ground, a red box, a blue disc, a thick green line.
void Draw(HDC dc) {
    RECT all = {0, 0, kWidth, kHeight};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);
    DeleteObject(white);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dc, red);
    Rectangle(dc, 20, 20, 80, 60);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(dc, blue);
    Ellipse(dc, 110, 10, 190, 90);
    HPEN green = CreatePen(PS_SOLID, 6, RGB(0, 160, 0));
    SelectObject(dc, green);
    MoveToEx(dc, 10, 85, nullptr);
    LineTo(dc, 100, 85);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(red);
    DeleteObject(blue);
    DeleteObject(green);
}

struct Sample {
    int x, y;
    COLORREF colour;
};
const Sample kSamples[] = {
    {50, 40, RGB(255, 0, 0)},   {30, 25, RGB(255, 0, 0)},  {150, 50, RGB(0, 0, 255)},
    {130, 50, RGB(0, 0, 255)},  {55, 85, RGB(0, 160, 0)},  {5, 5, RGB(255, 255, 255)},
    {95, 40, RGB(255, 255, 255)}, {195, 95, RGB(255, 255, 255)},
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return data;
    uint8_t buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    return data;
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

ViewerHostServices gHostTable;

class ViewKindsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ((int)kViewerHelloResult, LinkedViewerStart(&gHostTable));
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        folder = std::string(dir) + "meta-view-test\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        // A borderless window whose client area is the picture's size.
        host = CreateWindowA("STATIC", "viewer", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override {
        if (view.viewObject) ViewerClose(&view);
        if (host) DestroyWindow(host);
        Pump();
        for (const std::string& f : files) DeleteFileA(f.c_str());
        RemoveDirectoryA(folder.c_str());
        LinkedViewerStop();
    }
    std::string File(const char* name) {
        files.push_back(folder + name);
        return files.back();
    }
    void Open(const std::string& path) {
        lstrcpynA(displayPath, path.c_str(), sizeof displayPath);
        lstrcpynA(openPath, path.c_str(), sizeof openPath);
        memset(&view, 0, sizeof view);
        ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, nullptr);
        HDC dc = GetDC(host);
        ViewerOpen(host, dc, &view);
        ReleaseDC(host, dc);
    }
    // What the view paints, read back from a memory bitmap.
    void CheckPaintedPicture(const char* what) {
        HDC screen = GetDC(host);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT r = {0, 0, kWidth, kHeight};
        HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
        ViewerPaint(host, memory, &r, grey, &view);
        for (const Sample& s : kSamples)
            EXPECT_EQ(s.colour, GetPixel(memory, s.x, s.y)) << what << " at " << s.x << "," << s.y;
        DeleteObject(grey);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(host, screen);
    }
    // An enhanced metafile whose frame is the picture's size in pixels.
    std::string WriteEnhanced() {
        std::string path = File("picture.emf");
        HDC screen = GetDC(nullptr);
        RECT frame = {0, 0, MulDiv(kWidth, GetDeviceCaps(screen, HORZSIZE) * 100, GetDeviceCaps(screen, HORZRES)),
                      MulDiv(kHeight, GetDeviceCaps(screen, VERTSIZE) * 100, GetDeviceCaps(screen, VERTRES))};
        HDC dc = CreateEnhMetaFileA(screen, path.c_str(), &frame, nullptr);
        ReleaseDC(nullptr, screen);
        Draw(dc);
        DeleteEnhMetaFile(CloseEnhMetaFile(dc));
        return path;
    }
    // A Windows metafile that sets its own window to the picture.
    std::string WriteWindows() {
        std::string path = File("picture.wmf");
        HDC dc = CreateMetaFileA(path.c_str());
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, kWidth, kHeight, nullptr);
        Draw(dc);
        DeleteMetaFile(CloseMetaFile(dc));
        return path;
    }

    std::string folder;
    std::vector<std::string> files;
    HWND host = nullptr;
    char displayPath[260], openPath[260];
    int32_t sx = 0, sy = 0;
    ViewRecord view = {};
};

TEST_F(ViewKindsTest, MetafilesShowWhatGdiDrew) {
    Open(WriteEnhanced());
    ASSERT_EQ(kViewMetafile, view.viewKind);
    CheckPaintedPicture("enhanced");
    ViewerClose(&view);
    EXPECT_EQ(nullptr, view.viewObject);

    std::string wmf = WriteWindows();
    Open(wmf);
    ASSERT_EQ(kViewMetafile, view.viewKind);
    CheckPaintedPicture("windows");
    ViewerClose(&view);

    // The same records behind a placeable header.
    std::vector<uint8_t> data = ReadAll(wmf);
    ASSERT_GT(data.size(), 18u);
    std::vector<uint8_t> placeable = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, (uint8_t)kWidth, 0, (uint8_t)kHeight,
                                      0, 0xA0, 0x05, 0, 0, 0, 0, 0, 0};
    placeable.insert(placeable.end(), data.begin(), data.end());
    std::string apm = File("placeable.wmf");
    WriteAll(apm, placeable);
    Open(apm);
    ASSERT_EQ(kViewMetafile, view.viewKind);
    CheckPaintedPicture("placeable");
    ViewerClose(&view);
}

TEST_F(ViewKindsTest, DamagedMetafilesAreRefusedBeforeGdiPlaysThem) {
    std::vector<uint8_t> emf = ReadAll(WriteEnhanced());
    ASSERT_GT(emf.size(), 200u);
    std::vector<uint8_t> wmf = ReadAll(WriteWindows());
    // A record of length 0 right after the header: GDI would walk it forever.
    std::vector<uint8_t> zero = emf;
    uint32_t headerSize = zero[4] | zero[5] << 8;
    zero[headerSize + 4] = zero[headerSize + 5] = zero[headerSize + 6] = zero[headerSize + 7] = 0;
    // The length field claims more than the file.
    std::vector<uint8_t> longer = emf;
    longer[48] = 0xFF, longer[49] = 0xFF, longer[50] = 0xFF;
    // Records cut off in the middle.
    std::vector<uint8_t> cut(wmf.begin(), wmf.begin() + wmf.size() / 2);
    // The placeable size word far beyond the file.
    std::vector<uint8_t> placeable = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 10, 0, 10, 0, 0xA0, 0x05, 0, 0, 0, 0, 0, 0};
    placeable.insert(placeable.end(), wmf.begin(), wmf.end());
    placeable[28] = placeable[29] = placeable[30] = 0xFF;
    struct Case {
        const char* name;
        const std::vector<uint8_t>* data;
    } cases[] = {{"zero.emf", &zero}, {"longer.emf", &longer}, {"cut.wmf", &cut}, {"claims.wmf", &placeable}};
    for (const Case& c : cases) {
        std::string path = File(c.name);
        WriteAll(path, *c.data);
        DWORD start = GetTickCount();
        Open(path);
        EXPECT_NE(kViewMetafile, view.viewKind) << c.name;
        // Nothing on the way loops: the chain ends as text or a dump.
        EXPECT_LT(GetTickCount() - start, 30000u) << c.name;
        ViewerClose(&view);
    }
}

// A RIFF WAVE file of a tenth of a second of silence.
std::vector<uint8_t> Wave() {
    const uint32_t samples = 800;
    std::vector<uint8_t> b;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        b.push_back((uint8_t)v);
        b.push_back((uint8_t)(v >> 8));
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(36 + samples);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(8000);
    put16(1);
    put16(8);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(samples);
    b.insert(b.end(), samples, 0x80);
    return b;
}

TEST_F(ViewKindsTest, MediaFilesPlayInTheMediaWindowThatGoesWithTheView) {
    std::string wave = File("sound.wav");
    WriteAll(wave, Wave());
    Open(wave);
    ASSERT_EQ(kViewMedia, view.viewKind);
    HWND media = static_cast<HWND>(view.viewObject);
    ASSERT_TRUE(IsWindow(media));
    EXPECT_EQ(host, GetParent(media));
    EXPECT_TRUE(IsWindowVisible(media));
    ViewerClose(&view);
    Pump();
    EXPECT_FALSE(IsWindow(media));
    EXPECT_EQ(nullptr, FindWindowExA(host, nullptr, nullptr, nullptr));

    // RIFF but neither a cursor nor anything the media window opens: the
    // window it tried is gone again and the chain goes on.
    std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 8, 0, 0, 0, 'J', 'U', 'N', 'K', 1, 2, 3, 4};
    std::string other = File("other.riff");
    WriteAll(other, junk);
    Open(other);
    EXPECT_NE(kViewMedia, view.viewKind);
    EXPECT_NE(kViewAniCursor, view.viewKind);
    Pump();
    EXPECT_EQ(nullptr, FindWindowExA(host, nullptr, "MCIWndClass", nullptr));
    ViewerClose(&view);
}

// A dBase III table of one character field and two records.
std::vector<uint8_t> Table() {
    std::vector<uint8_t> b(32, 0);
    b[0] = 3;
    b[1] = 126, b[2] = 1, b[3] = 2;
    b[4] = 2;          // records
    b[8] = 32 + 32 + 1; // header size
    b[10] = 1 + 5;      // record size
    std::vector<uint8_t> field(32, 0);
    memcpy(field.data(), "NAME", 4);
    field[11] = 'C';
    field[16] = 5;
    b.insert(b.end(), field.begin(), field.end());
    b.push_back(0x0D);
    for (const char* r : {" alpha", " beta "}) b.insert(b.end(), r, r + 6);
    b.push_back(0x1A);
    return b;
}

TEST_F(ViewKindsTest, TableToolBarHasItsPicturesAndTips) {
    std::string path = File("table.dbf");
    WriteAll(path, Table());
    Open(path);
    ASSERT_EQ(kViewDbase, view.viewKind);
    DbfView* table = static_cast<DbfView*>(view.viewObject);
    ASSERT_NE(nullptr, table->toolBar);
    EXPECT_EQ(8, (int)SendMessageA(table->toolBar, TB_BUTTONCOUNT, 0, 0));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(table->toolBar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(14, ImageList_GetImageCount(images));
    struct {
        int command;
        const char* tip;
    } tips[] = {{1101, "First record"}, {1102, "Previous record"}, {1103, "Next record"}, {1104, "Last record"},
                {1105, "More records"}, {1106, "Read all records"}, {1107, "Mode (List/Details)"}};
    for (const auto& t : tips) {
        NMTTDISPINFOA info = {};
        info.hdr.hwndFrom = table->toolBar;
        info.hdr.idFrom = (UINT_PTR)t.command;
        info.hdr.code = TTN_GETDISPINFOA;
        SendMessageA(table->window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(t.tip, info.lpszText) << t.command;
    }
    ViewerClose(&view);
    Pump();
}

} // namespace
