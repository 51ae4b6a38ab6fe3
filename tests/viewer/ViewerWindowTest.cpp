// The host side of the viewer library in this process: a viewer window
// opened on a PNG shows it at its size, pixel for pixel; the same file twice
// activates the first window; a temporary copy goes with its window; the
// quick view's text child is filled by the loader thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <png.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowList.h"
#include "frontends/Libraries.h"
#include "frontends/ViewerHost.h"
#include "tools/ViewerWindow.h"

namespace {

std::vector<std::string> gBoxes;
int CountBox(HWND, const char* text, const char*, UINT) {
    gBoxes.push_back(text);
    return IDOK;
}

std::string TempDir() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string d = std::string(dir) + "viewer-window-test\\";
    CreateDirectoryA(d.c_str(), nullptr);
    return d;
}

// An RGB PNG whose pixel (x, y) is (x * 5, y * 7, 200), each modulo 256.
std::string WritePng(const std::string& path, int width, int height) {
    std::vector<uint8_t> rgb((size_t)width * height * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint8_t* p = &rgb[((size_t)y * width + x) * 3];
            p[0] = (uint8_t)(x * 5);
            p[1] = (uint8_t)(y * 7);
            p[2] = 200;
        }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_RGB;
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
    return path;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

template <class F> bool WaitFor(F condition, DWORD ms = 20000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms) return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gApp = (AppState*)MemAlloc(sizeof(AppState));
        ASSERT_NE(gApp, nullptr);
        gApp->hInstance = GetModuleHandleA(nullptr);
        strcpy(gApp->windowTitle, "Zq Vandrell");
        gWindowTitle = gApp->windowTitle;
        InitializeCriticalSection(&gApp->dialogListLock);
        gApp->colorViewer[0] = RGB(0, 0, 0);
        gApp->colorViewer[1] = RGB(255, 255, 255);
        gBoxes.clear();
        gMissingModuleBox = CountBox;
        dir = TempDir();
    }
    void TearDown() override {
        ViewerUnload();
        ToolWndFreeAll();
        DeleteCriticalSection(&gApp->dialogListLock);
        MemFree(&gApp);
    }
    std::string dir;
};

TEST_F(ViewerTest, PngOpensAtItsSizeAndShowsItsPixels) {
    std::string png = WritePng(dir + "shown.png", 200, 150);
    HWND w = ViewerOpenWindow(nullptr, png.c_str(), png.c_str());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(gBoxes.empty());
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != FALSE; }));
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(200, client.right);
    EXPECT_EQ(150, client.bottom);
    char caption[300];
    GetWindowTextA(w, caption, sizeof caption);
    EXPECT_STREQ("shown.png", caption);
    // What the window painted, read back from its client area.
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(w);
    for (POINT p : {POINT{0, 0}, POINT{199, 0}, POINT{0, 149}, POINT{117, 23}, POINT{199, 149}})
        EXPECT_EQ(RGB((uint8_t)(p.x * 5), (uint8_t)(p.y * 7), 200), GetPixel(dc, p.x, p.y))
            << p.x << "," << p.y;
    ReleaseDC(w, dc);

    // The same file again: the first window, no second one.
    EXPECT_EQ(w, ViewerOpenWindow(nullptr, png.c_str(), png.c_str()));
    EXPECT_EQ(w, ViewerFindWindow(png.c_str()));
    DestroyWindow(w);
    EXPECT_EQ(nullptr, ViewerFindWindow(png.c_str()));
    DeleteFileA(png.c_str());
}

std::string ReadAll(const std::string& path) {
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Only a copy the program made in its own temporary folder goes with the
// view that showed it; the user's file survives a close in every mode (a
// picture, a text, a dump), whatever name the window shows for it, and the
// library's own close (the quick view's road) keeps to the same rule.
TEST_F(ViewerTest, OnlyTheProgramsOwnCopyGoesWithItsWindow) {
    char ownFolder[MAX_PATH];
    PathGetTempFolder(ownFolder, sizeof ownFolder);
    std::string own = ownFolder;
    std::string binary;
    for (int i = 0; i < 600; i++) binary += (char)(i * 37 + 1);
    struct {
        const char* name;
        std::string bytes;
    } files[] = {{"picture.png", ""}, {"notes.txt", "line one\r\nline two\r\n"}, {"data.bin", binary}};
    WritePng(dir + "picture.png", 16, 12);
    files[0].bytes = ReadAll(dir + "picture.png");
    enum Where { kUserElsewhere, kUserInOwnFolderSameName, kOwnCopy };
    for (auto& f : files) {
        for (Where where : {kUserElsewhere, kUserInOwnFolderSameName, kOwnCopy}) {
            for (bool throughLibrary : {false, true}) {
                std::string opened = (where == kUserElsewhere ? dir : own) + "opened-" + f.name;
                WriteAll(opened, f.bytes);
                SetFileAttributesA(opened.c_str(), FILE_ATTRIBUTE_READONLY);
                std::string shown = where == kUserInOwnFolderSameName ? opened : dir + "archive.zip\\" + f.name;
                if (throughLibrary) {
                    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
                    static char displayPath[260], openPath[260];
                    strcpy(displayPath, shown.c_str());
                    strcpy(openPath, opened.c_str());
                    HWND pane = CreateWindowA("STATIC", "pane", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                              nullptr, GetModuleHandleA(nullptr), nullptr);
                    ViewRecord view = {};
                    int32_t sx = 0, sy = 0;
                    ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, pane);
                    HDC dc = GetDC(pane);
                    ViewerOpen(pane, dc, &view);
                    ReleaseDC(pane, dc);
                    ViewerClose(&view);
                    Pump();
                    DestroyWindow(pane);
                } else {
                    HWND w = ViewerOpenWindow(nullptr, shown.c_str(), opened.c_str());
                    ASSERT_NE(w, nullptr) << f.name;
                    Pump();
                    DestroyWindow(w);
                }
                const char* road = throughLibrary ? " (library close)" : " (window)";
                if (where == kOwnCopy) {
                    EXPECT_EQ(GetFileAttributesA(opened.c_str()), INVALID_FILE_ATTRIBUTES) << f.name << road;
                } else {
                    EXPECT_EQ(ReadAll(opened), f.bytes) << f.name << " " << where << road;
                }
                SetFileAttributesA(opened.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(opened.c_str());
            }
        }
    }
    DeleteFileA((dir + "picture.png").c_str());
    EXPECT_TRUE(gBoxes.empty());
}

// A text shown in a viewer window is the whole file: a zero byte (past the
// start, which would make the file a dump) neither ends it nor vanishes, a
// bare LF or CR is a line break, UTF-16 with its mark reads as text.
TEST_F(ViewerTest, TextModeShowsTheWholeText) {
    struct {
        const char* name;
        std::string bytes;
        std::wstring shown;
    } cases[] = {
        {"zero.txt", std::string(300, 'a') + std::string("\0b\nc", 4), std::wstring(300, L'a') + L"\x2400" L"b\r\nc"},
        {"unix.txt", "one\ntwo\n", L"one\r\ntwo\r\n"},
        {"mac.txt", "one\rtwo", L"one\r\ntwo"},
        {"wide.txt", std::string("\xFF\xFEh\0i\0\n\0", 8), L"hi\r\n"},
    };
    for (auto& c : cases) {
        std::string path = dir + c.name;
        WriteAll(path, c.bytes);
        HWND w = ViewerOpenWindow(nullptr, path.c_str(), path.c_str());
        ASSERT_NE(w, nullptr) << c.name;
        HWND child = GetDlgItem(w, 1);
        ASSERT_NE(child, nullptr) << c.name;
        wchar_t got[512] = L"";
        GetWindowTextW(child, got, 512);
        EXPECT_EQ(std::wstring(got), c.shown) << c.name;
        DestroyWindow(w);
        EXPECT_EQ(ReadAll(path), c.bytes) << c.name;
        DeleteFileA(path.c_str());
    }
}

TEST_F(ViewerTest, QuickViewTextChildIsFilledByTheLoader) {
    std::string text = dir + "notes.txt";
    FILE* f = fopen(text.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("first line\r\nsecond line", f);
    fclose(f);
    HWND pane = CreateWindowA("STATIC", "pane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
    static char displayPath[260], openPath[260];
    strcpy(displayPath, text.c_str());
    strcpy(openPath, text.c_str());
    ViewRecord view = {};
    int32_t sx = 0, sy = 0;
    ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, pane);
    HDC dc = GetDC(pane);
    ViewerOpen(pane, dc, &view);
    ReleaseDC(pane, dc);
    ASSERT_EQ(kViewText, view.viewKind);
    HWND edit = static_cast<HWND>(view.viewObject);
    ASSERT_TRUE(IsWindow(edit));
    ASSERT_TRUE(WaitFor([&] { return GetWindowTextLengthA(edit) > 0; }));
    char got[64] = "";
    GetWindowTextA(edit, got, sizeof got);
    EXPECT_STREQ("first line\r\nsecond line", got);

    // A view closed (and its record reused) right after the loader started:
    // the loader has its own copy and never reads the old record.
    ViewerClose(&view);
    strcpy(displayPath, text.c_str());
    strcpy(openPath, text.c_str());
    dc = GetDC(pane);
    ViewerOpen(pane, dc, &view);
    ReleaseDC(pane, dc);
    ViewerClose(&view);
    memset(&view, 0xCD, sizeof view);
    Pump();
    DestroyWindow(pane);
    DeleteFileA(text.c_str());
}

TEST_F(ViewerTest, CommandsOutsideTheTableChangeNothing) {
    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
    for (uint32_t code : {12u, 13u, 15u, 99u})
        EXPECT_EQ(-1, ViewerSendCommand(code, 1, 2, 3));
}

// F3 on an MPEG file: a player window inside the viewer window that plays at
// once; one player in the whole program, the next file waits until the first
// window goes, and closing stops the player with its window.
std::string PlayerStream(const char* name) {
    char root[MAX_PATH] = "";
    GetEnvironmentVariableA("VANDRELL_PLAYER_STREAMS", root, sizeof root);
    return std::string(root) + "\\" + name;
}

TEST_F(ViewerTest, MpegFilePlaysInAPlayerWindowOneAtATime) {
    std::string first = PlayerStream("l2_long.mp2"), second = PlayerStream("l3_stereo.mp3");
    ASSERT_NE(GetFileAttributesA(first.c_str()), INVALID_FILE_ATTRIBUTES) << first;
    HWND w = ViewerOpenWindow(nullptr, first.c_str(), first.c_str());
    ASSERT_NE(w, nullptr);
    HWND player = FindWindowExA(w, nullptr, "ZqMP", nullptr);
    ASSERT_NE(player, nullptr) << "no player window in the viewer window";
    RECT outer, inner;
    GetClientRect(w, &outer);
    GetClientRect(player, &inner);
    EXPECT_EQ(outer.right, inner.right); // the player fills its view
    EXPECT_EQ(outer.bottom, inner.bottom);
    EXPECT_NE(FindWindowExA(player, nullptr, "msctls_trackbar32", nullptr), nullptr);

    // While it plays, a second MPEG file is not given a second player.
    HWND w2 = ViewerOpenWindow(nullptr, second.c_str(), second.c_str());
    ASSERT_NE(w2, nullptr);
    EXPECT_EQ(FindWindowExA(w2, nullptr, "ZqMP", nullptr), nullptr);
    DestroyWindow(w2);

    // Closing the window stops the player and frees the one player slot.
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(player));
    HWND w3 = ViewerOpenWindow(nullptr, second.c_str(), second.c_str());
    ASSERT_NE(w3, nullptr);
    EXPECT_NE(FindWindowExA(w3, nullptr, "ZqMP", nullptr), nullptr);
    DestroyWindow(w3);
}

} // namespace
