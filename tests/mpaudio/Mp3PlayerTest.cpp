// The player under Wine: what waveOut receives (Wine's ALSA driver writes
// it to a file, see the test's HOME/.asoundrc), and the states driven
// through the player's operations.
#include "Mp3Player.h"
#include "Mp3PlayerTestUtil.h"
#include "Mp3PlayerWinUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

std::string OutPath() {
    const char* p = getenv("VANDRELL_PLAYER_OUT");
    return p ? p : "out.raw";
}

std::vector<uint8_t> Captured() {
    std::vector<uint8_t> b;
    ReadAll(OutPath(), &b);
    return b;
}

// The device's file is rewritten when the next device opens; the bytes of
// a closed device are all there once its size stops at the expected one.
std::vector<uint8_t> CapturedAtLeast(size_t n) {
    std::vector<uint8_t> b;
    WaitFor([&] {
        b = Captured();
        return b.size() >= n;
    }, 10000);
    // Inserted silence makes the file longer than the stream: the last bytes
    // are there once the size stops growing.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
        Sleep(200);
        std::vector<uint8_t> again = Captured();
        if (again.size() == b.size())
            break;
        b.swap(again);
    }
    return b;
}

// Whether `got` is `expected` followed by anything, except for runs of
// silence the sound system inserted where the player fell behind (Wine
// fills an underrun with zeros; a busy machine causes them). Returns where
// `expected` ends in `got`, or 0 when it is not there.
size_t EndOfStreamInCapture(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& got) {
    size_t i = 0, j = 0;
    while (i < expected.size()) {
        if (j < got.size() && got[j] == expected[i]) {
            i++, j++;
            continue;
        }
        if (j >= got.size() || got[j] != 0)
            return 0;
        // A run of zeros here: skip as many as leave the next bytes matching.
        size_t run = 0;
        while (j + run < got.size() && got[j + run] == 0)
            run++;
        size_t skip = 0;
        for (size_t k = run; k > 0 && !skip; k--) {
            size_t n = std::min<size_t>(64, std::min(expected.size() - i, got.size() - (j + k)));
            if (n > 0 && std::equal(expected.begin() + i, expected.begin() + i + n, got.begin() + j + k))
                skip = k;
        }
        if (!skip)
            return 0;
        j += skip;
    }
    return j;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<uint8_t> b;
    EXPECT_TRUE(ReadAll(path, &b)) << path;
    return b;
}

// Positions posted by the player to a window of the test.
struct Listener {
    HWND window = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> messages;

    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_USER) {
            Listener* l = (Listener*)GetWindowLongPtrA(w, GWLP_USERDATA);
            l->messages.push_back({wp, lp});
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    Listener() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Mp3PlayerTestListener";
        RegisterClassA(&wc);
        window = CreateWindowA("Mp3PlayerTestListener", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                               nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~Listener() { DestroyWindow(window); }
    bool Ended() const { return !messages.empty() && messages.back().second == kMp3EndOfPlay; }
};

struct PlayCase {
    const char* name;
    bool generated;
};

const PlayCase kPlayCases[] = {
    {"l3_stereo.mp3", true},      {"l3_mono.mp3", true},        {"l3_mpeg2.mp3", true},
    {"l3_mpeg25.mp3", true},      {"l3_vbr.mp3", true},         {"l3_id3v2.mp3", true},
    {"l2_stereo.mp2", true},      {"l2_mpeg2.mp2", true},       {"l2_long_frames.mp2", true},
    {"l2_mono_then_stereo.mp2", true}, {"l1-fl1.bit", false},   {"l1-fl4.bit", false},
    {"l2-test32.bit", false},     {"l3-he_free.bit", false},
};

// What the device receives is the decoder's own PCM of the stream, byte
// for byte, for every Layer, version, channel layout and frame length.
TEST(Mp3Player, DeviceReceivesTheDecodedStream) {
    for (const PlayCase& c : kPlayCases) {
        std::string path = c.generated ? StreamPath(c.name) : ConformancePath(c.name);
        MemorySource m(FileBytes(path));
        Mp3Stream s;
        std::vector<uint8_t> expected = DecodeAsPlayer(m.src, &s);
        MpaStreamOptions opt;
        opt.preferTwoChannels = true;
        std::vector<uint8_t> decoder;
        MpaDecodeBuffer(m.bytes.data() + s.dataStart, (size_t)(s.dataEnd - s.dataStart), opt, &decoder);
        ASSERT_FALSE(expected.empty()) << c.name;
        ASSERT_TRUE(expected == decoder) << c.name;

        // A device Wine is still releasing may write late: its bytes go to
        // the file unlinked here, never into the next case's.
        DeleteFileA(OutPath().c_str());
        Listener l;
        Mp3Player* player = nullptr;
        Mp3Start(l.window, &player, path.c_str());
        ASSERT_NE(player, nullptr) << c.name;
        Mp3SetNotify(player, l.window, WM_USER);
        ASSERT_TRUE(WaitFor([&] { return Mp3IsFinished(player); })) << c.name;
        EXPECT_EQ(Mp3GetPercent(player), 100u) << c.name;
        ASSERT_TRUE(Mp3WaitEnd(&player, 5000)) << c.name;
        EXPECT_EQ(player, nullptr);
        EXPECT_EQ(Mp3OpenDeviceCount(), 0);
        std::vector<uint8_t> got = CapturedAtLeast(expected.size());
        ASSERT_GE(got.size(), expected.size()) << c.name;
        size_t end = EndOfStreamInCapture(expected, got);
        EXPECT_NE(end, 0u) << c.name;
        // Whatever follows can only be the device's silence.
        if (end) {
            EXPECT_TRUE(std::all_of(got.begin() + end, got.end(), [](uint8_t b) { return b == 0; })) << c.name;
        }

        // Positions rise to the end, then the end message.
        ASSERT_TRUE(WaitFor([&] { return l.Ended(); }, 5000)) << c.name;
        uint32_t lastPct = 0;
        for (size_t i = 0; i + 1 < l.messages.size(); i++) {
            EXPECT_GE((uint32_t)l.messages[i].second, lastPct);
            lastPct = (uint32_t)l.messages[i].second;
        }
        EXPECT_EQ(lastPct, 100u) << c.name;
    }
}

// Paused before the first buffer, seek to 50 %, resume: the device gets
// the second half only, and from its second frame on exactly the bytes of
// a continuous decoding.
TEST(Mp3Player, SeekWhilePausedPlaysFromThere) {
    std::string path = StreamPath("l2_long.mp2");
    MemorySource m(FileBytes(path));
    Mp3Stream s;
    std::vector<uint8_t> all = DecodeAsPlayer(m.src, &s);
    DeleteFileA(OutPath().c_str());
    Mp3Player* player = nullptr;
    Mp3StartPaused(nullptr, &player, path.c_str());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Mp3OpenDeviceCount() == 1; }));
    Mp3SeekPercent(player, 50);
    ASSERT_TRUE(WaitFor([&] { return Mp3GetPercent(player) == 50; }));
    Mp3Resume(player);
    ASSERT_TRUE(WaitFor([&] { return Mp3IsFinished(player); }));
    ASSERT_TRUE(Mp3WaitEnd(&player, 5000));
    const size_t frameBytes = 1152 * 4;
    size_t half = (s.frameCount - s.frameCount / 2) * frameBytes;
    std::vector<uint8_t> got = CapturedAtLeast(half - frameBytes);
    ASSERT_GE(got.size(), half - frameBytes);
    // Matched from the end: the capture must end with the last part of the
    // continuous decoding, allowing the silence a busy machine's sound
    // system inserts when the device runs dry (and after the end).
    const size_t tail = half - 2 * frameBytes;
    std::vector<uint8_t> want(all.rbegin(), all.rbegin() + tail);
    std::vector<uint8_t> rgot(got.rbegin(), got.rend() - frameBytes);
    size_t matched = EndOfStreamInCapture(want, rgot);
    ASSERT_NE(matched, 0u) << "the second half was not played as decoded";
    // Before it, at most the seek's first frames: never the first half.
    size_t before = (size_t)std::count_if(rgot.begin() + matched, rgot.end(), [](uint8_t b) { return b != 0; });
    EXPECT_LE(before, 2 * frameBytes);
}

// Stop while paused, stop while playing, a file that does not play: each
// ends its thread within the deadline with the device closed.
TEST(Mp3Player, EveryWayOutEndsTheThreadAndClosesTheDevice) {
    std::string longFile = StreamPath("l2_long.mp2");
    struct Case {
        const char* what;
        bool paused;
        std::string path;
    } cases[] = {
        {"stop while paused", true, longFile},
        {"stop while playing", false, longFile},
        {"no frames", false, ConformancePath("README.md")},
    };
    for (const Case& c : cases) {
        Listener l;
        Mp3Player* player = nullptr;
        if (c.paused)
            Mp3StartPaused(l.window, &player, c.path.c_str());
        else
            Mp3Start(l.window, &player, c.path.c_str());
        ASSERT_NE(player, nullptr) << c.what;
        Mp3SetNotify(player, l.window, WM_USER);
        if (c.paused) {
            ASSERT_TRUE(WaitFor([&] { return Mp3OpenDeviceCount() == 1; })) << c.what;
        }
        DWORD start = GetTickCount();
        ASSERT_TRUE(Mp3WaitEnd(&player, 10000)) << c.what;
        // The stop is prompt: no draining of queued buffers, no polling.
        EXPECT_LT(GetTickCount() - start, 3000u) << c.what;
        EXPECT_EQ(Mp3OpenDeviceCount(), 0) << c.what;
        ASSERT_TRUE(WaitFor([&] { return l.Ended(); }, 5000)) << c.what;
    }
    Mp3Player* none = nullptr;
    Mp3Start(nullptr, &none, "S:\\no such file.mp3");
    EXPECT_EQ(none, nullptr);
}

TEST(Mp3Player, VolumeOnBothChannels) {
    Mp3Player* player = nullptr;
    Mp3StartPaused(nullptr, &player, StreamPath("l2_long.mp2").c_str());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Mp3OpenDeviceCount() == 1; }));
    Mp3SetVolume(player, 128);
    EXPECT_EQ(Mp3GetVolume(player), 0x80808080u);
    Mp3SetVolume(player, 255);
    EXPECT_EQ(Mp3GetVolume(player), 0xFFFFFFFFu);
    ASSERT_TRUE(Mp3WaitEnd(&player, 10000));
}

TEST(Mp3Player, InfoAndCheck) {
    Mp3Info info = {};
    ASSERT_TRUE(Mp3ReadInfo(StreamPath("l3_tagged.mp3").c_str(), &info));
    EXPECT_STREQ(info.title, "Night Train");
    EXPECT_STREQ(info.genreName, "Jazz");
    EXPECT_NE(Mp3CheckFile(StreamPath("l3_id3v2.mp3").c_str()), 0);
    EXPECT_EQ(Mp3CheckFile(ConformancePath("README.md").c_str()), 0);
    EXPECT_EQ(Mp3CheckFile("S:\\no such file.mp3"), 0);
}

} // namespace

namespace {

// Run by its own CTest entry, whose ALSA set-up has no usable device: the
// thread ends at once with the end message instead of waiting for buffers
// that never play.
TEST(Mp3PlayerNoDevice, EndsAtOnceWithoutADevice) {
    Listener l;
    Mp3Player* player = nullptr;
    Mp3Start(l.window, &player, StreamPath("l2_stereo.mp2").c_str());
    ASSERT_NE(player, nullptr);
    Mp3SetNotify(player, l.window, WM_USER);
    ASSERT_TRUE(WaitFor([&] { return Mp3IsFinished(player); }, 10000));
    EXPECT_EQ(Mp3OpenDeviceCount(), 0);
    EXPECT_EQ(Mp3GetPercent(player), 0u);
    ASSERT_TRUE(Mp3WaitEnd(&player, 1000));
    ASSERT_TRUE(WaitFor([&] { return l.Ended(); }, 5000));
}

} // namespace
