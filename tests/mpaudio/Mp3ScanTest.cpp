// The player's pure side: tags, the first-frame search, frame counts and
// durations, the frame window and the decoding path, seek positions.
#include "Mp3PlayerTestUtil.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> LoadFile(const std::string& path) {
    std::vector<uint8_t> b;
    EXPECT_TRUE(ReadAll(path, &b)) << path;
    return b;
}

// The decoder's own PCM of the audio between the stream's first frame and
// its end, the reference for what the player must play.
std::vector<uint8_t> DecoderPcm(const std::vector<uint8_t>& file, const Mp3Stream& s) {
    MpaStreamOptions opt;
    opt.preferTwoChannels = true;
    std::vector<uint8_t> pcm;
    MpaDecodeBuffer(file.data() + s.dataStart, (size_t)(s.dataEnd - s.dataStart), opt, &pcm);
    return pcm;
}

struct StreamCase {
    const char* name;
    bool generated; // else a conformance stream
    int version, layer, channels;
    uint32_t sampleRate;
    int countSource;
};

const StreamCase kStreams[] = {
    {"l3_stereo.mp3", true, 1, 3, 2, 44100, kMp3Counted},
    {"l3_mono.mp3", true, 1, 3, 1, 44100, kMp3Counted},
    {"l3_mpeg2.mp3", true, 2, 3, 2, 22050, kMp3Counted},
    {"l3_mpeg25.mp3", true, 3, 3, 2, 11025, kMp3Counted},
    {"l3_vbr.mp3", true, 1, 3, 2, 44100, kMp3Xing},
    {"l3_tagged.mp3", true, 1, 3, 2, 44100, kMp3Xing},
    {"l3_id3v2.mp3", true, 1, 3, 2, 44100, kMp3Counted},
    {"l2_stereo.mp2", true, 1, 2, 2, 44100, kMp3Counted},
    {"l2_mpeg2.mp2", true, 2, 2, 2, 24000, kMp3Counted},
    {"l2_long_frames.mp2", true, 1, 2, 2, 32000, kMp3Counted},
    {"l2_mono_then_stereo.mp2", true, 1, 2, 1, 44100, kMp3Counted},
    {"l1-fl1.bit", false, 1, 1, 2, 32000, kMp3Counted},
    {"l1-fl4.bit", false, 1, 1, 1, 32000, kMp3Counted},
    {"l2-test32.bit", false, 2, 2, 2, 24000, kMp3Counted},
    {"l3-he_free.bit", false, 1, 3, 2, 44100, kMp3Counted},
    {"M2L3_noise.bit", false, 2, 3, 2, 22050, kMp3Counted},
};

std::string PathOf(const StreamCase& c) { return c.generated ? StreamPath(c.name) : ConformancePath(c.name); }

TEST(Mp3Scan, StreamParametersOfEachKind) {
    for (const StreamCase& c : kStreams) {
        MemorySource m(LoadFile(PathOf(c)));
        Mp3Tag tag;
        ASSERT_TRUE(Mp3ReadTag(m.src, &tag));
        Mp3Stream s;
        ASSERT_EQ(Mp3ScanStream(m.src, m.src.size - (tag.present ? 128 : 0), &s), kMp3ScanOk) << c.name;
        EXPECT_EQ(s.versionIndex, c.version) << c.name;
        EXPECT_EQ(s.layer, c.layer) << c.name;
        EXPECT_EQ(s.channels, c.channels) << c.name;
        EXPECT_EQ(s.sampleRate, c.sampleRate) << c.name;
        EXPECT_EQ(s.countSource, c.countSource) << c.name;
        EXPECT_EQ(s.samplesPerFrame, c.layer == 1 ? 384u : (c.layer == 3 && c.version != 1) ? 576u : 1152u)
            << c.name;
        // Without counting, a stream without a VBR header still shows that it plays.
        Mp3Stream quick;
        ASSERT_EQ(Mp3ScanStream(m.src, s.dataEnd, &quick, false), kMp3ScanOk) << c.name;
        EXPECT_EQ(quick.frameCount, c.countSource == kMp3Counted ? 1u : s.frameCount) << c.name;
    }
}

// Frame counts and durations within one frame of mpg123's decoding of the
// same file (every Layer and version, Xing VBR, a large ID3v2 tag).
TEST(Mp3Scan, FrameCountsAndDurationsAgreeWithMpg123) {
    for (const StreamCase& c : kStreams) {
        if (!c.generated || strcmp(c.name, "l2_mono_then_stereo.mp2") == 0)
            continue;
        MemorySource m(LoadFile(PathOf(c)));
        std::vector<uint8_t> ref = LoadFile(PathOf(c) + ".ref");
        Mp3Info info;
        ASSERT_TRUE(Mp3ReadInfoFrom(m.src, &info)) << c.name;
        Mp3Stream s;
        Mp3ScanStream(m.src, m.src.size, &s);
        double refFrames = (double)ref.size() / (2.0 * c.channels * s.samplesPerFrame);
        EXPECT_NEAR((double)info.frameCount, refFrames, 1.0) << c.name;
        double refSeconds = (double)ref.size() / (2.0 * c.channels * c.sampleRate);
        double frameSeconds = (double)s.samplesPerFrame / c.sampleRate;
        EXPECT_NEAR((double)s.durationMs / 1000.0, refSeconds, frameSeconds + 0.001) << c.name;
        EXPECT_EQ(info.durationSeconds, (uint32_t)(s.durationMs / 1000)) << c.name;
    }
}

// The decoding path gives exactly the decoder's own PCM for every kind,
// including frames longer than 1046 bytes, free format, MPEG-2 Layer II
// (1152 samples a frame) and one-channel frames in a two-channel stream.
TEST(Mp3Decoding, PlaysEveryFrameAsTheDecoderDoes) {
    for (const StreamCase& c : kStreams) {
        std::vector<uint8_t> file = LoadFile(PathOf(c));
        MemorySource m(file);
        Mp3Stream s;
        std::vector<uint8_t> played = DecodeAsPlayer(m.src, &s);
        std::vector<uint8_t> ref = DecoderPcm(file, s);
        ASSERT_FALSE(ref.empty()) << c.name;
        EXPECT_EQ(played.size(), ref.size()) << c.name;
        EXPECT_TRUE(played == ref) << c.name;
    }
}

TEST(Mp3Decoding, OneChannelFramesOfATwoChannelStreamPlayOnBoth) {
    MemorySource m(LoadFile(StreamPath("l2_mono_then_stereo.mp2")));
    Mp3Stream s;
    std::vector<int16_t> pcm = AsSamples(DecodeAsPlayer(m.src, &s));
    ASSERT_GT(pcm.size(), 10000u);
    // The first part is one channel: left and right carry the same samples.
    size_t same = 0, loud = 0;
    for (size_t i = 0; i + 1 < 20000; i += 2) {
        same += pcm[i] == pcm[i + 1];
        loud += abs(pcm[i]) > 100;
    }
    EXPECT_EQ(same, 10000u);
    EXPECT_GT(loud, 1000u);
}

TEST(Mp3Tag, TextsGenreAndBlanks) {
    std::vector<uint8_t> f(1000, 0);
    uint8_t t[128];
    memset(t, ' ', sizeof(t));
    memcpy(t, "TAG", 3);
    memcpy(t + 3, "Title", 5);
    memcpy(t + 33, "Artist  x", 9); // inner blanks stay
    memset(t + 63, 0, 30);          // album: empty
    memcpy(t + 93, "2001", 4);
    memcpy(t + 97, "Comment", 7);   // comment, then blank padding
    t[127] = 67;
    f.insert(f.end(), t, t + 128);
    MemorySource m(f);
    Mp3Tag tag;
    ASSERT_TRUE(Mp3ReadTag(m.src, &tag));
    EXPECT_TRUE(tag.present);
    EXPECT_STREQ(tag.title, "Title");
    EXPECT_STREQ(tag.artist, "Artist  x");
    EXPECT_STREQ(tag.album, "");
    EXPECT_STREQ(tag.year, "2001");
    EXPECT_STREQ(tag.comment, "Comment");
    EXPECT_EQ(tag.genre, 67);
    EXPECT_STREQ(Mp3GenreName(tag.genre), "Psychadelic");

    // An all-blank text keeps its first blank.
    memset(&f[f.size() - 125], ' ', 30);
    MemorySource m2(f);
    ASSERT_TRUE(Mp3ReadTag(m2.src, &tag));
    EXPECT_STREQ(tag.title, " ");

    // No tag: empty texts, genre 0.
    MemorySource none(std::vector<uint8_t>(500, 0x55));
    ASSERT_TRUE(Mp3ReadTag(none.src, &tag));
    EXPECT_FALSE(tag.present);
    EXPECT_STREQ(tag.title, "");
    EXPECT_EQ(tag.genre, 0);

    // A failing read is an error, not an empty tag.
    MemorySource bad(f);
    bad.failAt = f.size() - 1;
    EXPECT_FALSE(Mp3ReadTag(bad.src, &tag));
}

TEST(Mp3Tag, GenreTable) {
    struct {
        int n;
        const char* name;
    } cases[] = {{0, "Blues"}, {64, "Native US"}, {67, "Psychadelic"}, {118, "Rhytmic Soul"}, {123, "Acapella"},
                 {144, "Trash Metal"}, {146, "Jpop"}, {147, "Synthpop"}, {148, nullptr}, {255, nullptr}};
    for (auto& c : cases) {
        if (c.name)
            EXPECT_STREQ(Mp3GenreName((uint8_t)c.n), c.name) << c.n;
        else
            EXPECT_EQ(Mp3GenreName((uint8_t)c.n), nullptr) << c.n;
    }
}

TEST(Mp3Info, TaggedVbrFile) {
    MemorySource m(LoadFile(StreamPath("l3_tagged.mp3")));
    Mp3Info info;
    memset(&info, 0x5A, sizeof(info));
    ASSERT_TRUE(Mp3ReadInfoFrom(m.src, &info));
    EXPECT_STREQ(info.title, "Night Train");
    EXPECT_STREQ(info.artist, "The Testers");
    EXPECT_STREQ(info.album, "Rails");
    EXPECT_STREQ(info.year, "1999");
    EXPECT_STREQ(info.comment, "first take");
    EXPECT_STREQ(info.genreName, "Jazz");
    EXPECT_STREQ(info.versionText, "MPEG 1");
    EXPECT_STREQ(info.layerText, "Layer 3");
    EXPECT_STREQ(info.modeText, "Stereo");
    EXPECT_EQ(info.sampleRate, 44100u);
    EXPECT_EQ(info.fileSize, m.src.size);
    EXPECT_EQ(info.durationSeconds, 3u);
    // The average rate of a VBR file, not its first frame's.
    EXPECT_GT(info.bitrate, 40000u);
    EXPECT_LT(info.bitrate, 200000u);

    // A file without frames leaves the record untouched.
    MemorySource noise(std::vector<uint8_t>(5000, 0x12));
    Mp3Info before = info;
    EXPECT_FALSE(Mp3ReadInfoFrom(noise.src, &info));
    EXPECT_EQ(memcmp(&before, &info, sizeof(info)), 0);
}

TEST(Mp3Scan, Id3v2TagsAreSkippedByTheirSize) {
    std::vector<uint8_t> audio = LoadFile(StreamPath("l2_stereo.mp2"));
    auto tag = [](uint32_t size, bool footer) {
        std::vector<uint8_t> t = {'I', 'D', '3', 4, 0, (uint8_t)(footer ? 0x10 : 0),
                                  (uint8_t)(size >> 21 & 127), (uint8_t)(size >> 14 & 127), (uint8_t)(size >> 7 & 127),
                                  (uint8_t)(size & 127)};
        // The body is full of false syncs: only the size may say where it ends.
        for (uint32_t i = 0; i < size + (footer ? 10 : 0); i++)
            t.push_back(i % 417 == 0 ? 0xFF : i % 417 == 1 ? 0xFD : 0x00);
        return t;
    };
    struct {
        std::vector<uint8_t> prefix;
    } cases[] = {{tag(40 * 1024, false)}, {tag(300 * 1024, true)}, {[&] {
                                                                         auto a = tag(100, false);
                                                                         auto b = tag(70000, false);
                                                                         a.insert(a.end(), b.begin(), b.end());
                                                                         return a;
                                                                     }()}};
    for (auto& c : cases) {
        std::vector<uint8_t> f = c.prefix;
        f.insert(f.end(), audio.begin(), audio.end());
        MemorySource m(f);
        EXPECT_EQ(Mp3Id3v2Length(m.src, 0), c.prefix.size());
        Mp3Stream s;
        ASSERT_EQ(Mp3ScanStream(m.src, m.src.size, &s), kMp3ScanOk);
        EXPECT_EQ(s.dataStart, c.prefix.size());
        EXPECT_EQ(s.frameCount, 115u);
    }
    // A size beyond the file ends at the file's end: no audio.
    std::vector<uint8_t> f = tag(10, false);
    f[6] = 0x7F;
    f.insert(f.end(), audio.begin(), audio.begin() + 5000);
    MemorySource m(f);
    Mp3Stream s;
    EXPECT_EQ(Mp3ScanStream(m.src, m.src.size, &s), kMp3ScanNoFrame);
}

// Frame counts come from the stream's VBR header when it has one.
TEST(Mp3Scan, XingAndVbriFrameCounts) {
    std::vector<uint8_t> audio = LoadFile(StreamPath("l3_stereo.mp3"));
    MemorySource plain(audio);
    Mp3Stream base;
    ASSERT_EQ(Mp3ScanStream(plain.src, plain.src.size, &base), kMp3ScanOk);
    ASSERT_EQ(base.dataStart, 0u);
    int firstLen = base.frameSize + MpaPaddingBytes(&base.header);
    auto withHeader = [&](size_t at, const char* magic, uint32_t frames, int countAt) {
        std::vector<uint8_t> f(audio.begin(), audio.begin() + firstLen);
        memset(&f[4], 0, f.size() - 4);
        memcpy(&f[at], magic, 4);
        if (strcmp(magic, "VBRI") != 0)
            f[at + 7] = 1; // flags: frame count present
        f[at + countAt] = (uint8_t)(frames >> 24);
        f[at + countAt + 1] = (uint8_t)(frames >> 16);
        f[at + countAt + 2] = (uint8_t)(frames >> 8);
        f[at + countAt + 3] = (uint8_t)frames;
        f.insert(f.end(), audio.begin(), audio.end());
        return f;
    };
    struct {
        size_t at;
        const char* magic;
        int countAt;
        int source;
    } cases[] = {{36, "Xing", 8, kMp3Xing}, {36, "Info", 8, kMp3Xing}, {36, "VBRI", 14, kMp3Vbri}};
    for (auto& c : cases) {
        MemorySource m(withHeader(c.at, c.magic, 1234, c.countAt));
        Mp3Stream s;
        ASSERT_EQ(Mp3ScanStream(m.src, m.src.size, &s), kMp3ScanOk) << c.magic;
        EXPECT_EQ(s.countSource, c.source) << c.magic;
        EXPECT_EQ(s.frameCount, 1234u) << c.magic;
        EXPECT_EQ(s.dataStart, (uint64_t)firstLen) << c.magic; // the header frame is not played
    }
    // Without one, the frames are counted: the first frame's length does
    // not decide.
    EXPECT_EQ(base.countSource, kMp3Counted);
    EXPECT_EQ(base.frameCount, 116u);
}

TEST(Mp3Scan, DamageBetweenFramesIsPassedOver) {
    std::vector<uint8_t> audio = LoadFile(StreamPath("l2_stereo.mp2"));
    MemorySource clean(audio);
    Mp3Stream s;
    ASSERT_EQ(Mp3ScanStream(clean.src, clean.src.size, &s), kMp3ScanOk);
    int len = s.frameSize;
    // Junk with false syncs after frame 10, and a cut last frame.
    std::vector<uint8_t> f(audio.begin(), audio.begin() + 10 * len);
    for (int i = 0; i < 300; i++)
        f.push_back(i % 7 == 0 ? 0xFF : (uint8_t)(0xF0 + i % 16));
    f.insert(f.end(), audio.begin() + 10 * len, audio.end() - 100);
    MemorySource m(f);
    Mp3Stream d;
    ASSERT_EQ(Mp3ScanStream(m.src, m.src.size, &d), kMp3ScanOk);
    EXPECT_EQ(d.frameCount, s.frameCount - 1);
    std::vector<uint8_t> pcm = DecodeAsPlayer(m.src);
    EXPECT_EQ(pcm.size(), (size_t)(s.frameCount - 1) * 1152 * 4);

    // A read error ends the scan with an error.
    MemorySource bad(audio);
    bad.failAt = 20000;
    EXPECT_EQ(Mp3ScanStream(bad.src, bad.src.size, &d), kMp3ScanReadError);
}

TEST(Mp3Seek, PositionsByPercent) {
    Mp3Stream s = {};
    s.dataStart = 1000;
    s.dataEnd = 1000 + 417 * 200;
    s.frameCount = 200;
    s.samplesPerFrame = 1152;
    s.sampleRate = 44100;
    struct {
        uint32_t percent, frame;
        uint64_t offset;
    } cases[] = {{0, 0, 1000}, {50, 100, 1000 + 417 * 100}, {99, 198, 1000 + 417 * 198},
                 {100, 200, 1000 + 417 * 200}, {150, 200, 1000 + 417 * 200}};
    for (auto& c : cases) {
        uint32_t frame = 9999;
        EXPECT_EQ(Mp3SeekOffset(s, c.percent, &frame), c.offset) << c.percent;
        EXPECT_EQ(frame, c.frame) << c.percent;
    }
    // With a Xing table the table decides where the bytes are.
    s.hasToc = true;
    for (int i = 0; i < 100; i++)
        s.toc[i] = (uint8_t)(i < 50 ? i : 200 + (i - 50) / 2);
    uint32_t frame;
    EXPECT_EQ(Mp3SeekOffset(s, 50, &frame), 1000 + (uint64_t)417 * 200 * 200 / 256);
    EXPECT_EQ(frame, 100u);
    EXPECT_EQ(Mp3FrameTimeMs(s, 100), 2612u);
}

// After a seek the player decodes on from the frame it lands on: for Layer
// II the output from the second frame on equals the continuous decoding.
TEST(Mp3Seek, DecodingContinuesAtTheTarget) {
    std::vector<uint8_t> file = LoadFile(StreamPath("l2_long.mp2"));
    MemorySource m(file);
    Mp3Stream s;
    std::vector<uint8_t> all = DecodeAsPlayer(m.src, &s);
    std::vector<uint8_t> half = DecodeAsPlayer(m.src, nullptr, 50);
    const size_t frameBytes = 1152 * 4;
    ASSERT_EQ(all.size() % frameBytes, 0u);
    ASSERT_EQ(half.size() % frameBytes, 0u);
    size_t framesLeft = half.size() / frameBytes;
    EXPECT_NEAR((double)framesLeft, s.frameCount / 2.0, 2.0);
    ASSERT_GT(framesLeft, 2u);
    EXPECT_TRUE(std::equal(half.begin() + frameBytes, half.end(), all.end() - (half.size() - frameBytes)));
    EXPECT_TRUE(DecodeAsPlayer(m.src, nullptr, 100).empty());
}

TEST(Mp3Time, Texts) {
    struct {
        uint32_t s;
        const char* text;
    } cases[] = {{0, "00:00"}, {125, "02:05"}, {3599, "59:59"}, {3600, "1:00:00"}, {3725, "1:02:05"},
                 {360000, "100:00:00"}};
    for (auto& c : cases) {
        char buf[32];
        Mp3FormatTime(c.s, buf, sizeof(buf));
        EXPECT_STREQ(buf, c.text);
    }
}

} // namespace
