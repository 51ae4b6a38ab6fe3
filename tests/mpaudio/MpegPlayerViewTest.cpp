// The player window under Wine and Xvfb, driven as a user drives it: its
// buttons' commands, the seek bar, the end of the file, the close.
#include "MpegPlayerView.h"
#include "Mp3PlayerTestUtil.h"
#include "Mp3PlayerWinUtil.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

bool CopyTo(const std::string& from, const std::string& to) { return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0; }

HWND MakeParent() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MpegViewTestParent";
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND w = CreateWindowA("MpegViewTestParent", "Player", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 520, 320,
                           nullptr, nullptr, wc.hInstance, nullptr);
    return w;
}

HWND ChildOfClass(HWND parent, const char* cls) {
    return FindWindowExA(parent, nullptr, cls, nullptr);
}

// Writes the window as it looks on the screen to a BMP file.
void SaveShot(HWND w, const std::string& path) {
    RECT rc;
    GetClientRect(w, &rc);
    HDC dc = GetDC(w);
    HDC mem = CreateCompatibleDC(dc);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = rc.right;
    bi.bmiHeader.biHeight = rc.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = ((DWORD)rc.right * 3 + 3) & ~3u;
    DWORD size = stride * (DWORD)rc.bottom;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + size;
    FILE* f = fopen(path.c_str(), "wb");
    if (f) {
        fwrite(&fh, sizeof(fh), 1, f);
        fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f);
        fwrite(bits, 1, size, f);
        fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(w, dc);
}

TEST(MpegPlayerView, FileTestByNameAndContent) {
    std::string audio = StreamPath("l2_stereo.mp2");
    struct {
        const char* name;
        bool audioInside;
        bool wanted;
    } cases[] = {
        {"song.mp3", true, true},   {"song.Mp2", true, true},    {"song.MP1", true, true},
        {"song.mpeg", true, true},  {"song.wav", true, false},   {"noextension", true, false},
        {"text.mp3", false, false},
    };
    for (auto& c : cases) {
        std::string path = TempPath(c.name);
        if (c.audioInside) {
            ASSERT_TRUE(CopyTo(audio, path)) << c.name;
        } else {
            ASSERT_TRUE(CopyTo(ConformancePath("README.md"), path)) << c.name;
        }
        EXPECT_EQ(MpegFileWanted(path.c_str()), c.wanted) << c.name;
        DeleteFileA(path.c_str());
    }
}

TEST(MpegPlayerView, ButtonsSeekEndAndClose) {
    HWND parent = MakeParent();
    ASSERT_NE(parent, nullptr);
    std::string path = StreamPath("l3_tagged.mp3");
    std::string longPath = TempPath("long play.mp2");
    ASSERT_TRUE(CopyTo(StreamPath("l2_long.mp2"), longPath));
    uint8_t busy = 0;

    // A tagged file: the window shows its tag and stream, playing at once.
    MpegPlayerView* v = MpegPlayerViewOpen(parent, GetModuleHandleA(nullptr), path.c_str(), path.c_str(), &busy);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(busy, 1);
    HWND w = MpegPlayerViewWindow(v);
    char cls[16];
    GetClassNameA(w, cls, sizeof(cls));
    EXPECT_STREQ(cls, "ZqMP");
    RECT pr, wr;
    GetClientRect(parent, &pr);
    GetClientRect(w, &wr);
    EXPECT_EQ(wr.right, pr.right);
    EXPECT_EQ(wr.bottom, pr.bottom);
    HWND toolBar = ChildOfClass(w, TOOLBARCLASSNAMEA);
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(SendMessageA(toolBar, TB_BUTTONCOUNT, 0, 0), 5);
    EXPECT_EQ(MpegPlayerViewState(v), kMpegPlaying);
    // It plays to the end and stops by itself.
    ASSERT_TRUE(WaitFor([&] { return MpegPlayerViewState(v) == kMpegStopped; }));
    EXPECT_EQ(MpegPlayerViewPlayer(v), nullptr);
    EXPECT_EQ(Mp3OpenDeviceCount(), 0);
    EXPECT_EQ(MpegPlayerViewSeconds(v), 3u);
    MpegPlayerViewClose(v);
    EXPECT_EQ(busy, 0);
    EXPECT_FALSE(IsWindow(w));

    // A long file, driven through the buttons.
    v = MpegPlayerViewOpen(parent, GetModuleHandleA(nullptr), longPath.c_str(), longPath.c_str(), &busy);
    ASSERT_NE(v, nullptr);
    w = MpegPlayerViewWindow(v);
    toolBar = ChildOfClass(w, TOOLBARCLASSNAMEA);
    auto command = [&](int id) { SendMessageA(w, WM_COMMAND, id, 0); };
    ASSERT_TRUE(WaitFor([&] { return Mp3OpenDeviceCount() == 1; }));

    command(kMpegCmdPause);
    EXPECT_EQ(MpegPlayerViewState(v), kMpegPaused);
    EXPECT_TRUE(SendMessageA(toolBar, TB_ISBUTTONCHECKED, kMpegCmdPause, 0));
    command(kMpegCmdStop); // STOP while paused does nothing
    EXPECT_EQ(MpegPlayerViewState(v), kMpegPaused);
    EXPECT_NE(MpegPlayerViewPlayer(v), nullptr);

    // The seek bar, while paused: the position jumps to 50 %.
    HWND seekBar = nullptr;
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char n[32];
        GetClassNameA(c, n, sizeof(n));
        RECT r;
        GetWindowRect(c, &r);
        if (!lstrcmpiA(n, TRACKBAR_CLASSA) && r.right - r.left == pr.right)
            seekBar = c;
    }
    ASSERT_NE(seekBar, nullptr);
    SendMessageA(seekBar, TBM_SETPOS, TRUE, 50);
    SendMessageA(w, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)seekBar);
    ASSERT_TRUE(WaitFor([&] { return Mp3GetPercent(MpegPlayerViewPlayer(v)) == 50; }));
    ASSERT_TRUE(WaitFor([&] { return MpegPlayerViewSeconds(v) == 10; }));

    command(kMpegCmdPause); // resumes
    EXPECT_EQ(MpegPlayerViewState(v), kMpegPlaying);
    EXPECT_FALSE(SendMessageA(toolBar, TB_ISBUTTONCHECKED, kMpegCmdPause, 0));
    uint32_t before = Mp3GetPercent(MpegPlayerViewPlayer(v));
    command(kMpegCmdFf);
    ASSERT_TRUE(WaitFor([&] { return Mp3GetPercent(MpegPlayerViewPlayer(v)) >= before + 1; }));
    // A picture of the window playing, for the record.
    if (const char* shot = getenv("VANDRELL_PLAYER_SHOT")) {
        UpdateWindow(w);
        SaveShot(w, shot);
    }

    command(kMpegCmdStop);
    EXPECT_EQ(MpegPlayerViewState(v), kMpegStopped);
    EXPECT_EQ(MpegPlayerViewPlayer(v), nullptr);
    EXPECT_EQ(Mp3OpenDeviceCount(), 0);
    command(kMpegCmdRew); // nothing to act on when stopped
    EXPECT_EQ(MpegPlayerViewState(v), kMpegStopped);

    command(kMpegCmdPlay);
    EXPECT_EQ(MpegPlayerViewState(v), kMpegPlaying);
    ASSERT_NE(MpegPlayerViewPlayer(v), nullptr);
    command(kMpegCmdPlay); // already playing: nothing new starts
    ASSERT_TRUE(WaitFor([&] { return Mp3OpenDeviceCount() == 1; }));

    // Close while playing: the thread ends and the device closes.
    MpegPlayerViewClose(v);
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(Mp3OpenDeviceCount(), 0);
    EXPECT_FALSE(IsWindow(w));

    // Destroying the parent while playing stops the player too.
    v = MpegPlayerViewOpen(parent, GetModuleHandleA(nullptr), longPath.c_str(), longPath.c_str(), &busy);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Mp3OpenDeviceCount() == 1; }));
    DestroyWindow(parent);
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(Mp3OpenDeviceCount(), 0);
    MpegPlayerViewClose(v);
    DeleteFileA(longPath.c_str());
}

TEST(MpegPlayerView, RefusesWhatDoesNotPlay) {
    HWND parent = MakeParent();
    uint8_t busy = 0;
    EXPECT_EQ(MpegPlayerViewOpen(parent, GetModuleHandleA(nullptr), ConformancePath("README.md").c_str(), "x", &busy),
              nullptr);
    EXPECT_EQ(MpegPlayerViewOpen(parent, GetModuleHandleA(nullptr), "S:\\missing.mp3", "x", &busy), nullptr);
    EXPECT_EQ(busy, 0);
    DestroyWindow(parent);
}

} // namespace
