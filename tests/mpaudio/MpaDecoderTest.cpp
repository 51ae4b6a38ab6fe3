// Frame headers, engine set-up, output forms, the integer engine and the
// 8000-Hz variant, and damaged input.
#include "MpaTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

namespace {

struct DecoderDeleter {
    void operator()(MpaDecoder* d) const { MpaDecoderDestroy(d); }
};
using DecoderPtr = std::unique_ptr<MpaDecoder, DecoderDeleter>;

std::vector<uint8_t> Load(const char* name) {
    std::vector<uint8_t> bits;
    EXPECT_TRUE(ReadAll(ConformancePath(std::string(name) + ".bit"), &bits)) << name;
    return bits;
}

std::vector<int16_t> Decode(const std::vector<uint8_t>& bits, MpaStreamOptions opt, MpaStreamResult* res = nullptr) {
    std::vector<uint8_t> out;
    MpaStreamResult r = MpaDecodeBuffer(bits.data(), bits.size(), opt, &out);
    if (res)
        *res = r;
    return AsSamples(out);
}

// ---------------------------------------------------------------------------

TEST(MpaHeader, LengthsAndBitRates) {
    struct Case {
        uint8_t b[4];
        int length;
        int32_t bitrate;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 417, 128000},  // MPEG-1 Layer III 128 kbit/s 44.1 kHz
        {{0xFF, 0xF3, 0x80, 0x64}, 208, 64000},   // MPEG-2 Layer III 64 kbit/s 22.05 kHz
        {{0xFF, 0xE3, 0x80, 0x64}, 417, 64000},   // MPEG 2.5 64 kbit/s 11.025 kHz: 2880 x 64 / 441
        {{0xFF, 0xFD, 0xE4, 0x00}, 1152, 384000}, // Layer II 384 kbit/s 48 kHz
        {{0xFF, 0xFD, 0xE8, 0x00}, 1728, 384000}, // Layer II 384 kbit/s 32 kHz: the largest table frame
        {{0xFF, 0xFF, 0xE0, 0x00}, 4 * (240 * 448 / 882), 448000}, // Layer I 448 kbit/s 44.1 kHz
        {{0xFF, 0xF9, 0x90, 0x64}, 0, 0},         // layer code 0
        {{0xFF, 0xFB, 0xF0, 0x64}, 0, 0},         // bit-rate index 15
        {{0xFF, 0xFB, 0x9C, 0x64}, 0, 0},         // sample-rate index 3
        {{0xFF, 0xEB, 0x90, 0x64}, 0, 0},         // MPEG 2.5 sync with the MPEG-1 id: reserved
        {{0xFE, 0xFB, 0x90, 0x64}, 0, 0},         // no sync
    };
    for (const Case& c : cases) {
        MpaHeader h;
        int32_t br = -1;
        EXPECT_EQ(MpaParseFrame(c.b, 4, &h, &br), c.length) << std::hex << (int)c.b[1] << (int)c.b[2];
        EXPECT_EQ(br, c.bitrate);
    }
    MpaHeader h;
    ASSERT_EQ(MpaParseHeader(cases[0].b, 4, &h), 417);
    EXPECT_EQ(h.syncKind, 1);
    EXPECT_EQ(h.id, 1);
    EXPECT_EQ(h.layerCode, 1);
    EXPECT_EQ(h.bitrateIndex, 9);
    EXPECT_EQ(h.mode, 1);
    EXPECT_EQ(h.modeExtension, 2);
    EXPECT_EQ(h.original, 1);
}

// Free format: the length is the distance to the next header that repeats
// the first two bytes, confirmed by every further one in the window.
TEST(MpaHeader, FreeFormatLength) {
    const int L = 700;
    std::vector<uint8_t> buf(L * 3, 0x11);
    for (int i = 0; i < 3; i++) {
        buf[i * L] = 0xFF;
        buf[i * L + 1] = 0xFB;
        buf[i * L + 2] = 0x00;
        buf[i * L + 3] = 0x64;
    }
    MpaHeader h;
    int32_t br;
    EXPECT_EQ(MpaParseFrame(buf.data(), buf.size(), &h, &br), L);
    // 882 x 1000 x 700 / 2880 in 64 bits.
    EXPECT_EQ(br, (int32_t)(882LL * 1000 * L / 2880));
    // A long Layer I free-format frame: the product overflows 32 bits.
    std::vector<uint8_t> l1(3 * 1996, 0x22);
    for (int i = 0; i < 3; i++) {
        l1[i * 1996] = 0xFF;
        l1[i * 1996 + 1] = 0xFF;
        l1[i * 1996 + 2] = 0x04;
        l1[i * 1996 + 3] = 0x00;
    }
    ASSERT_EQ(MpaParseFrame(l1.data(), l1.size(), &h, &br), 1996);
    EXPECT_EQ(br, (int32_t)(960LL * 1000 * 1996 / 960));
    // One position in the window without the repeated header: no length.
    buf[2 * L + 1] = 0x00;
    EXPECT_EQ(MpaParseHeader(buf.data(), buf.size(), &h), 0);
}

TEST(MpaHeader, FindFrameSkipsFalseSync) {
    uint8_t b[] = {0x00, 0xFF, 0x00, 0xFF, 0xF9, 0x90, 0x64, 0xFF, 0xFB, 0x90, 0x64, 0, 0};
    MpaHeader h;
    int32_t br;
    size_t off = 99;
    EXPECT_EQ(MpaFindFrame(b, sizeof(b), &h, &br, &off), 417);
    EXPECT_EQ(off, 7u);
    uint8_t none[] = {1, 2, 3, 0xFF};
    off = 99;
    EXPECT_EQ(MpaFindFrame(none, sizeof(none), &h, &br, &off), 0);
    EXPECT_EQ(off, 99u);
}

TEST(MpaEngines, InitRefusesWhatItCannotDecode) {
    DecoderPtr d(MpaDecoderCreate());
    MpaHeader h;
    struct Case {
        int engine;
        uint8_t b[4];
        int expected;
    } cases[] = {
        {0, {0xFF, 0xFD, 0x34, 0x00}, 0}, // Layer II stereo 56 kbit/s 48 kHz: no allocation table
        {0, {0xFF, 0xFD, 0x34, 0xC0}, 1}, // the same in one channel
        {2, {0xFF, 0xFB, 0x90, 0x64}, 0}, // the integer engine has no Layer III
        {2, {0xFF, 0xFD, 0xE4, 0x00}, 1},
        {1, {0xFF, 0xE3, 0x80, 0x64}, 0}, // the 8000-Hz variant refuses MPEG 2.5
        {0, {0xFF, 0xE3, 0x80, 0x64}, 1},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(MpaReadHeader(c.b, &h));
        EXPECT_EQ(MpaEngines[c.engine].init(d.get(), &h, 0, 0, 0, 0, 48000), c.expected)
            << c.engine << " " << std::hex << (int)c.b[1] << (int)c.b[2];
    }
}

TEST(MpaEngines, InfoDescribesTheOutput) {
    DecoderPtr d(MpaDecoderCreate());
    MpaHeader h;
    uint8_t l3[4] = {0xFF, 0xFB, 0x90, 0x64};
    ASSERT_TRUE(MpaReadHeader(l3, &h));
    struct Case {
        int engine, reduction, conversion;
        MpaStreamInfo info;
    } cases[] = {
        {0, 0, 0, {2, 2304, 44100, 16, 417, 0}}, {0, 1, 0, {2, 1152, 22050, 16, 417, 0}},
        {0, 2, 9, {1, 288, 11025, 8, 417, 0}},   {0, 0, 3, {1, 1152, 44100, 16, 417, 0}},
        {1, 0, 3 << 2, {1, 0, 8000, 8, 417, 10}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(MpaEngines[c.engine].init(d.get(), &h, 417, c.reduction, 0, c.conversion, 48000), 1);
        MpaStreamInfo info;
        MpaEngines[c.engine].info(d.get(), &info);
        EXPECT_EQ(info.channels, c.info.channels);
        if (c.engine == 0) {
            EXPECT_EQ(info.valuesPerFrame, c.info.valuesPerFrame);
        }
        EXPECT_EQ(info.sampleRate, c.info.sampleRate);
        EXPECT_EQ(info.bits, c.info.bits);
        EXPECT_EQ(info.frameBytes, c.info.frameBytes);
        EXPECT_EQ(info.reserved, c.info.reserved);
    }
}

// ---------------------------------------------------------------------------
// Output forms against the plain stereo output of the same stream.

class OutputForms : public ::testing::TestWithParam<const char*> {};

TEST_P(OutputForms, ChannelsAndWidthsFollowTheStereoOutput) {
    std::vector<uint8_t> bits = Load(GetParam());
    MpaStreamOptions opt;
    std::vector<int16_t> stereo = Decode(bits, opt);
    ASSERT_GT(stereo.size(), 4608u);
    size_t n = stereo.size() / 2;
    opt.conversionCode = 1;
    std::vector<int16_t> mixed = Decode(bits, opt);
    opt.conversionCode = 2;
    std::vector<int16_t> left = Decode(bits, opt);
    opt.conversionCode = 3;
    std::vector<int16_t> right = Decode(bits, opt);
    ASSERT_EQ(mixed.size(), n);
    ASSERT_EQ(left.size(), n);
    ASSERT_EQ(right.size(), n);
    int mixDiff = 0;
    for (size_t i = 0; i < n; i++) {
        ASSERT_EQ(left[i], stereo[2 * i]) << i;
        ASSERT_EQ(right[i], stereo[2 * i + 1]) << i;
        int expect = (stereo[2 * i] + stereo[2 * i + 1]) / 2;
        mixDiff = std::max(mixDiff, abs(mixed[i] - expect));
    }
    EXPECT_LE(mixDiff, 2);
    // 8-bit unsigned: the 16-bit value's high byte, offset by 128.
    std::vector<uint8_t> out8;
    opt.conversionCode = 8;
    MpaDecodeBuffer(bits.data(), bits.size(), opt, &out8);
    ASSERT_EQ(out8.size(), stereo.size());
    for (size_t i = 0; i < out8.size(); i++)
        ASSERT_EQ(out8[i], (uint8_t)((stereo[i] >> 8) + 128)) << i;
}

INSTANTIATE_TEST_SUITE_P(Streams, OutputForms, ::testing::Values("l1-fl6", "l2-fl10", "l3-hecommon", "M2L3_noise"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string n = info.param;
                             for (char& ch : n)
                                 if (!isalnum((unsigned char)ch))
                                     ch = '_';
                             return n;
                         });

// The SSE2 and the plain C routines in every output form the float engine
// has: full, half and quarter rate; stereo, mixed, one channel; 16 and 8
// bits. They round a tie differently, so they agree within one step.
TEST(VectorPaths, PlainAndVectorRoutinesAgree) {
    struct Form {
        int reduction, conversion;
    };
    const Form kForms[] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 2}, {2, 3}, {0, 8}, {1, 9}, {2, 8}};
    for (const char* name : {"l2-fl13", "l3-hecommon", "M2L3_noise", "l1-fl6"}) {
        std::vector<uint8_t> bits = Load(name);
        for (const Form& f : kForms) {
            MpaStreamOptions opt;
            opt.reductionCode = f.reduction;
            opt.conversionCode = f.conversion;
            MpaSetVectorPaths(true);
            ASSERT_TRUE(MpaVectorPathsActive());
            std::vector<uint8_t> vec, plain;
            MpaStreamResult rv = MpaDecodeBuffer(bits.data(), bits.size(), opt, &vec);
            MpaSetVectorPaths(false);
            MpaStreamResult rp = MpaDecodeBuffer(bits.data(), bits.size(), opt, &plain);
            MpaSetVectorPaths(true);
            ASSERT_TRUE(rv.ok && rp.ok) << name;
            ASSERT_EQ(vec.size(), plain.size()) << name << " " << f.reduction << "/" << f.conversion;
            ASSERT_GT(vec.size(), 0u);
            int largest = 0;
            if (f.conversion & 8) {
                for (size_t i = 0; i < vec.size(); i++)
                    largest = std::max(largest, abs(vec[i] - plain[i]));
            } else {
                largest = Compare(AsSamples(vec), AsSamples(plain)).maxDiff;
            }
            EXPECT_LE(largest, 1) << name << " reduction " << f.reduction << " conversion " << f.conversion;
        }
    }
}

// Power of a tone against the whole signal (Goertzel).
double ToneShare(const std::vector<int16_t>& s, int channels, double freq, double rate) {
    double w = 2.0 * 3.14159265358979323846 * freq / rate;
    double c = 2.0 * cos(w), s1 = 0, s2 = 0, total = 0;
    size_t n = s.size() / (size_t)channels;
    for (size_t i = 0; i < n; i++) {
        double x = s[i * (size_t)channels];
        double s0 = x + c * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += x * x;
    }
    double p = s1 * s1 + s2 * s2 - c * s1 * s2;
    return total > 0 ? 2.0 * p / ((double)n * total) : 0.0;
}

TEST(ReducedRates, HalfAndQuarterRateKeepTheTone) {
    std::vector<uint8_t> bits = Load("l3-sin1k0db");
    MpaStreamOptions opt;
    std::vector<int16_t> full = Decode(bits, opt);
    double fullShare = ToneShare(full, 2, 1000.0, 44100);
    EXPECT_GT(fullShare, 0.8);
    for (int r = 1; r <= 2; r++) {
        opt.reductionCode = r;
        MpaStreamResult res;
        std::vector<int16_t> reduced = Decode(bits, opt, &res);
        EXPECT_EQ(res.info.sampleRate, 44100 >> r);
        EXPECT_EQ(reduced.size(), full.size() >> r);
        EXPECT_NEAR(ToneShare(reduced, 2, 1000.0, 44100 >> r), fullShare, 0.01) << r;
        // Same level as at full rate, within 1 dB.
        double pf = 0, pr = 0;
        for (int16_t v : full)
            pf += (double)v * v;
        for (int16_t v : reduced)
            pr += (double)v * v;
        EXPECT_NEAR(10 * log10(pr / reduced.size()), 10 * log10(pf / full.size()), 1.0) << r;
    }
}

// ---------------------------------------------------------------------------
// The integer engine and the 8000-Hz variant, measured against the float
// engine.

class IntegerEngine : public ::testing::TestWithParam<const char*> {};

TEST_P(IntegerEngine, TracksTheFloatEngine) {
    std::vector<uint8_t> bits = Load(GetParam());
    MpaStreamOptions opt;
    std::vector<int16_t> flt = Decode(bits, opt);
    opt.engine = 2;
    std::vector<int16_t> fix = Decode(bits, opt);
    ASSERT_EQ(fix.size(), flt.size());
    Comparison c = Compare(fix, flt);
    printf("integer engine %-10s SNR %6.2f dB, PSNR %6.2f dB, largest difference %d\n", GetParam(), c.snr, c.psnr,
           c.maxDiff);
    EXPECT_GE(c.psnr, 90.0);
    EXPECT_LE(c.maxDiff, 2);
}

INSTANTIATE_TEST_SUITE_P(Streams, IntegerEngine,
                         ::testing::Values("l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4", "l1-fl5", "l1-fl6", "l1-fl7",
                                           "l1-fl8", "l2-fl10", "l2-fl11", "l2-fl12", "l2-fl13", "l2-fl14",
                                           "l2-fl15", "l2-fl16", "l2-test32"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string n = info.param;
                             for (char& ch : n)
                                 if (!isalnum((unsigned char)ch))
                                     ch = '_';
                             return n;
                         });

TEST(NarrowVariant, ConvertsToEightKilohertz) {
    std::vector<uint8_t> bits = Load("l3-sin1k0db");
    MpaStreamOptions opt;
    MpaStreamResult full;
    std::vector<int16_t> ref = Decode(bits, opt, &full);
    double fullShare = ToneShare(ref, 2, 1000.0, 44100);
    for (int outCode = 1; outCode <= 3; outCode++) {
        opt.engine = 1;
        opt.conversionCode = outCode << 2;
        std::vector<uint8_t> out;
        MpaStreamResult r = MpaDecodeBuffer(bits.data(), bits.size(), opt, &out);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.info.sampleRate, 8000);
        EXPECT_EQ(r.info.channels, 1);
        size_t samples = outCode == 1 ? out.size() / 2 : out.size();
        double seconds = (double)ref.size() / 2 / 44100;
        EXPECT_NEAR((double)samples / 8000, seconds, 0.001) << outCode;
        // The tone stays at 1000 Hz exactly: a narrow Goertzel bin over
        // eight seconds would lose it at a pitch error of 0.1 %.
        if (outCode == 1) {
            EXPECT_NEAR(ToneShare(AsSamples(out), 1, 1000.0, 8000.0), fullShare, 0.02);
        } else if (outCode == 2) {
            std::vector<int16_t> wide(out.size());
            for (size_t i = 0; i < out.size(); i++)
                wide[i] = (int16_t)((out[i] - 128) * 256);
            EXPECT_NEAR(ToneShare(wide, 1, 1000.0, 8000.0), fullShare, 0.02);
        } else {
            EXPECT_EQ(r.info.reserved, 10);
        }
    }
}

// ---------------------------------------------------------------------------
// Bit-rate switching: each Layer II frame's own header gives its length.

TEST(BitrateSwitching, LayerTwoKeepsSync) {
    std::vector<uint8_t> a = Load("l2-fl15"); // 384 kbit/s, 48 kHz stereo
    std::vector<uint8_t> b = Load("l2-fl16"); // 256 kbit/s, 48 kHz stereo
    std::vector<uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    MpaStreamOptions opt;
    MpaStreamResult ra, rb, rboth;
    Decode(a, opt, &ra);
    std::vector<int16_t> pcmB = Decode(b, opt, &rb);
    std::vector<int16_t> pcm = Decode(both, opt, &rboth);
    EXPECT_EQ(rboth.frames, ra.frames + rb.frames);
    EXPECT_EQ(rboth.skippedBytes, 0);
    // After one frame of filter memory the second part equals its own decode.
    std::vector<int16_t> tail(pcm.begin() + (ra.frames + 1) * 2304, pcm.end());
    std::vector<int16_t> refTail(pcmB.begin() + 2304, pcmB.end());
    Comparison c = Compare(tail, refTail);
    EXPECT_GE(c.psnr, 96.0);
}

// ---------------------------------------------------------------------------
// Damaged input: never a crash, a hang or a read out of bounds (the native
// build runs this under AddressSanitizer).

const char* kDamaged[] = {
    "ILL2_center2",  "ILL2_dual",        "ILL2_dynx22",       "ILL2_dynx31",      "ILL2_dynx32",
    "ILL2_ext_switching", "ILL2_layer1", "ILL2_layer3",       "ILL2_mono",        "ILL2_multilingual",
    "ILL2_overalloc1", "ILL2_overalloc2", "ILL2_prediction",  "ILL2_samples",     "ILL2_scf63",
    "ILL2_tca21",    "ILL2_tca30",       "ILL2_tca30_PC",     "ILL2_tca31_PC",    "ILL2_tca31_mtx0",
    "ILL2_tca31_mtx2", "ILL2_tca32_PC",  "ILL2_wrongcrc",     "ILL4_ext_id1",     "ILL4_sync",
    "ILL4_wrong_length1", "ILL4_wrong_length2", "ILL4_wrongcrc",
};

TEST(Damaged, IllegalStreamsDecodeSafely) {
    for (const char* name : kDamaged) {
        std::vector<uint8_t> bits = Load(name);
        for (int engine = 0; engine < 3; engine++) {
            MpaStreamOptions opt;
            opt.engine = engine;
            MpaStreamResult r;
            std::vector<int16_t> pcm = Decode(bits, opt, &r);
            EXPECT_TRUE(r.ok) << name;
            EXPECT_GT(r.frames, 0) << name;
            // Where the damage leaves a decodable stream, its reference
            // holds that decode.
            std::vector<uint8_t> refBytes;
            if (engine == 0 && ReadAll(ConformancePath(std::string(name) + ".pcm"), &refBytes) &&
                !refBytes.empty()) {
                Comparison c = Compare(pcm, AsSamples(refBytes));
                EXPECT_GE(c.psnr, 96.0) << name;
                EXPECT_EQ(c.compared, refBytes.size() / 2) << name;
            }
        }
    }
}

// Random bytes, and every stream with bytes flipped at random.
TEST(Damaged, CorruptedStreamsDecodeSafely) {
    std::mt19937 rng(12345);
    std::vector<uint8_t> noise(20000);
    for (uint8_t& b : noise)
        b = (uint8_t)rng();
    // Refused leaves no output; decoded gives whole 16-bit samples for the
    // frames it counted.
    auto expectConsistent = [](const MpaStreamResult& r, const std::vector<uint8_t>& pcm, const char* name) {
        if (r.ok) {
            EXPECT_GT(r.frames, 0) << name;
            EXPECT_FALSE(pcm.empty()) << name;
            EXPECT_EQ(pcm.size() % 2, 0u) << name;
        } else {
            EXPECT_EQ(r.frames, 0) << name;
            EXPECT_TRUE(pcm.empty()) << name;
        }
    };
    std::vector<uint8_t> out;
    expectConsistent(MpaDecodeBuffer(noise.data(), noise.size(), MpaStreamOptions(), &out), out, "noise");
    const char* names[] = {"l1-fl8", "l2-fl13", "l2-test32", "l3-compl", "l3-he_free", "l3-si_huff", "M2L3_noise"};
    for (const char* name : names) {
        std::vector<uint8_t> bits = Load(name);
        for (int round = 0; round < 4; round++) {
            std::vector<uint8_t> bad = bits;
            for (size_t i = 0; i < bad.size() / 50; i++)
                bad[rng() % bad.size()] ^= (uint8_t)(1u << (rng() % 8));
            for (int engine = 0; engine < 3; engine++) {
                MpaStreamOptions opt;
                opt.engine = engine;
                opt.conversionCode = round;
                opt.reductionCode = round % 3;
                out.clear();
                MpaStreamResult r = MpaDecodeBuffer(bad.data(), bad.size(), opt, &out);
                expectConsistent(r, out, name);
                // One flipped bit in fifty bytes leaves most frames whole:
                // the decoder resynchronises and goes on.
                EXPECT_TRUE(r.ok) << name << " round " << round << " engine " << engine;
            }
        }
    }
}

// A Layer III frame whose side information claims the most of everything:
// main data from 511 bytes back, the longest granules, big values past the
// spectrum, region counts past the band table, four-bit intensity
// positions.
TEST(Damaged, LayerThreeSideInfoExtremes) {
    DecoderPtr d(MpaDecoderCreate());
    std::vector<uint8_t> frame(417, 0xFF);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0x50; // joint stereo, intensity and mid/side
    MpaHeader h;
    ASSERT_TRUE(MpaReadHeader(frame.data(), &h));
    ASSERT_EQ(MpaEngines[0].init(d.get(), &h, 417, 0, 0, 0, 48000), 1);
    std::vector<uint8_t> out(kMpaMaxOutputBytes);
    std::mt19937 rng(7);
    for (int i = 0; i < 200; i++) {
        MpaResult r = MpaEngines[0].decode(d.get(), frame.data(), frame.size(), out.data());
        EXPECT_EQ(MpaConsumed(r), 417u);
        EXPECT_EQ(MpaProduced(r), 4608u);
        for (size_t k = 4; k < frame.size(); k++)
            frame[k] = (uint8_t)(i < 20 ? 0xFF : rng());
    }
    // A frame that does not fit in the bytes given is not decoded.
    EXPECT_EQ(MpaConsumed(MpaEngines[0].decode(d.get(), frame.data(), 416, out.data())), 0u);
}

} // namespace
