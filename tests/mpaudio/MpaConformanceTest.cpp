// The float engine against the reference output of the ISO/IEC 11172-4
// compliance streams and the MPEG-2 Layer III streams, on its SSE2 routines
// and on the plain C ones that machines without SSE2 run.
#include "MpaTestUtil.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct Stream {
    const char* name;
    // Output values of ours to pass over before the reference begins: the
    // reference leaves out frames whose main data lies before the stream.
    size_t skip;
};

const Stream kStreams[] = {
    {"l1-fl1", 0},      {"l1-fl2", 0},      {"l1-fl3", 0},      {"l1-fl4", 0},
    {"l1-fl5", 0},      {"l1-fl6", 0},      {"l1-fl7", 0},      {"l1-fl8", 0},
    {"l2-fl10", 0},     {"l2-fl11", 0},     {"l2-fl12", 0},     {"l2-fl13", 0},
    {"l2-fl14", 0},     {"l2-fl15", 0},     {"l2-fl16", 0},     {"l2-test32", 0},
    {"l3-compl", 0},    {"l3-he_32khz", 0}, {"l3-he_44khz", 0}, {"l3-he_48khz", 0},
    {"l3-he_free", 0},  {"l3-he_mode", 0},  {"l3-hecommon", 0}, {"l3-si", 0},
    {"l3-si_block", 0}, {"l3-si_huff", 0},  {"l3-sin1k0db", 4608},
    {"M2L3_bitrate_16_all", 0}, {"M2L3_bitrate_22_all", 0}, {"M2L3_bitrate_24_all", 0},
    {"M2L3_compl24", 0}, {"M2L3_noise", 0},
};

enum class Path { Vector, Plain };

class Conformance : public ::testing::TestWithParam<std::tuple<Stream, Path>> {
  protected:
    void TearDown() override { MpaSetVectorPaths(true); }
};

// The reference holds one-channel frames of a stream that switches modes
// as one channel: ours are two channels throughout, so such frames keep
// their left samples only.
std::vector<int16_t> ToReferenceLayout(const std::vector<int16_t>& pcm, const std::vector<uint8_t>& frameChannels,
                                       int outChannels) {
    if (outChannels != 2)
        return pcm;
    bool mixed = false;
    for (uint8_t c : frameChannels)
        mixed |= c == 1;
    if (!mixed || frameChannels.empty())
        return pcm;
    size_t per = pcm.size() / frameChannels.size();
    std::vector<int16_t> out;
    for (size_t f = 0; f < frameChannels.size(); f++) {
        const int16_t* p = pcm.data() + f * per;
        if (frameChannels[f] == 2) {
            out.insert(out.end(), p, p + per);
        } else {
            for (size_t i = 0; i < per; i += 2)
                out.push_back(p[i]);
        }
    }
    return out;
}

TEST_P(Conformance, FloatEngineReachesFullAccuracy) {
    const Stream& s = std::get<0>(GetParam());
    const bool vector = std::get<1>(GetParam()) == Path::Vector;
    MpaSetVectorPaths(vector);
    // Every x86 machine these tests run on has SSE2: the vector case must
    // really run the vector routines.
    ASSERT_EQ(MpaVectorPathsActive(), vector);
    std::vector<uint8_t> bits, refBytes;
    ASSERT_TRUE(ReadAll(ConformancePath(std::string(s.name) + ".bit"), &bits)) << s.name;
    ASSERT_TRUE(ReadAll(ConformancePath(std::string(s.name) + ".pcm"), &refBytes)) << s.name;
    std::vector<uint8_t> out;
    std::vector<uint8_t> frameChannels;
    MpaStreamOptions opt;
    opt.preferTwoChannels = true;
    opt.frameChannels = &frameChannels;
    MpaStreamResult r = MpaDecodeBuffer(bits.data(), bits.size(), opt, &out);
    ASSERT_TRUE(r.ok);
    std::vector<int16_t> pcm = ToReferenceLayout(AsSamples(out), frameChannels, r.info.channels);
    std::vector<int16_t> ref = AsSamples(refBytes);
    Comparison c = Compare(pcm, ref, s.skip);
    printf("%-22s %-6s PSNR %7.2f dB, largest difference %d, %zu values\n", s.name, vector ? "SSE2" : "C", c.psnr, c.maxDiff, c.compared);
    // Some bit streams are cut shorter than their reference, and the
    // reference may leave out a last granule: compare what both hold, but
    // most of ours.
    EXPECT_GT(c.compared, (pcm.size() - s.skip) * 9 / 10);
    EXPECT_GE(c.psnr, 96.0);
    EXPECT_LE(c.maxDiff, 1);
}

INSTANTIATE_TEST_SUITE_P(Streams, Conformance,
                         ::testing::Combine(::testing::ValuesIn(kStreams),
                                            ::testing::Values(Path::Vector, Path::Plain)),
                         [](const ::testing::TestParamInfo<std::tuple<Stream, Path>>& info) {
                             std::string n = std::get<0>(info.param).name;
                             for (char& ch : n)
                                 if (!isalnum((unsigned char)ch))
                                     ch = '_';
                             return n + (std::get<1>(info.param) == Path::Vector ? "_SSE2" : "_C");
                         });

} // namespace
