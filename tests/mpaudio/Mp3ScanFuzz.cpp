// libFuzzer harness over the player's pure side: the input is a whole file
// (tags, VBR headers, frames); the first byte picks a seek target.
#include "Mp3FrameReader.h"

#include <string.h>

#include <memory>

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
};

int32_t Read(void* c, uint64_t off, void* buf, uint32_t n) {
    const Bytes* b = (const Bytes*)c;
    if (off > b->size)
        return -1;
    size_t k = b->size - off < n ? (size_t)(b->size - off) : n;
    memcpy(buf, b->data + off, k);
    return (int32_t)k;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    Bytes b = {data + 1, size - 1};
    Mp3Source src = {&b, Read, b.size};
    Mp3Info info;
    Mp3ReadInfoFrom(src, &info);
    Mp3Tag tag;
    Mp3Stream s;
    if (!Mp3ReadTag(src, &tag) || Mp3ScanStream(src, src.size - (tag.present ? 128 : 0), &s) != kMp3ScanOk)
        return 0;
    std::unique_ptr<Mp3Decoding> d(new Mp3Decoding());
    if (!Mp3DecodingOpen(d.get(), src, s))
        return 0;
    if (data[0] & 0x80)
        Mp3DecodingSeek(d.get(), data[0] & 0x7F);
    uint8_t out[kMpaMaxOutputBytes];
    for (int i = 0; i < 2000 && Mp3DecodingNext(d.get(), out); i++) {
    }
    Mp3DecodingClose(d.get());
    return 0;
}
