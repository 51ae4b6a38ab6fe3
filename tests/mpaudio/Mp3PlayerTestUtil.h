// Shared by the player tests: a file as Mp3Source, the generated streams.
#pragma once

#include "Mp3FrameReader.h"
#include "MpaTestUtil.h"

#include <memory>
#include <string.h>

// The streams made by make-player-streams.sh.
inline std::string StreamPath(const std::string& name) {
    const char* root = getenv("VANDRELL_PLAYER_STREAMS");
    return std::string(root ? root : "player-streams") + "/" + name;
}

// Bytes in memory as a source; `failAt` makes every read that touches that
// offset fail.
struct MemorySource {
    std::vector<uint8_t> bytes;
    uint64_t failAt = UINT64_MAX;
    Mp3Source src = {};

    explicit MemorySource(std::vector<uint8_t> b) : bytes(std::move(b)) {
        src.context = this;
        src.read = Read;
        src.size = bytes.size();
    }
    static int32_t Read(void* c, uint64_t off, void* buf, uint32_t n) {
        MemorySource* m = (MemorySource*)c;
        if (off > m->bytes.size())
            return -1;
        if (m->failAt >= off && m->failAt < off + n)
            return -1;
        uint64_t k = m->bytes.size() - off < n ? m->bytes.size() - off : n;
        memcpy(buf, m->bytes.data() + off, (size_t)k);
        return (int32_t)k;
    }
};

// Every frame the player's decoding path gives for a stream, with an
// optional seek before the first frame.
inline std::vector<uint8_t> DecodeAsPlayer(const Mp3Source& src, Mp3Stream* streamOut = nullptr,
                                           int seekPercent = -1) {
    std::vector<uint8_t> pcm;
    Mp3Tag tag;
    if (!Mp3ReadTag(src, &tag))
        return pcm;
    Mp3Stream s;
    if (Mp3ScanStream(src, src.size - (tag.present ? 128 : 0), &s) != kMp3ScanOk)
        return pcm;
    if (streamOut)
        *streamOut = s;
    std::unique_ptr<Mp3Decoding> d(new Mp3Decoding());
    if (!Mp3DecodingOpen(d.get(), src, s))
        return pcm;
    if (seekPercent >= 0)
        Mp3DecodingSeek(d.get(), (uint32_t)seekPercent);
    uint8_t out[kMpaMaxOutputBytes];
    while (uint32_t n = Mp3DecodingNext(d.get(), out))
        pcm.insert(pcm.end(), out, out + n);
    Mp3DecodingClose(d.get());
    return pcm;
}
