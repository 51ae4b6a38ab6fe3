// libFuzzer harness: the UU/XX and MIME decoders, the checksum-list line
// readers and the line-end converter on any input, fed in pieces whose size
// the first byte picks. Names the decoders hand out must be safe.
#include <stdint.h>
#include <string.h>

#include <string>

#include "fileops/LineEnds.h"
#include "fileops/SumList.h"
#include "fileops/UuCode.h"

namespace {

struct CheckSink : UuSink {
    uint64_t bytes = 0;
    bool Begin(const std::string& name) override
    {
        if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\:") != std::string::npos)
            __builtin_trap();
        return true;
    }
    bool Write(const uint8_t*, size_t n) override
    {
        bytes += n;
        return true;
    }
    void End(bool, uint64_t) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    size_t piece = (data[0] % 64) + 1;
    data++;
    size--;
    CheckSink sink;
    static UuDecoder uu;
    UuDecoderStart(&uu, &sink);
    MimeDecoder mime;
    MimeDecoderStart(&mime, &sink);
    for (size_t i = 0; i < size; i += piece) {
        size_t n = size - i < piece ? size - i : piece;
        UuDecoderFeed(&uu, data + i, n);
        MimeDecoderFeed(&mime, data + i, n);
    }
    UuDecoderFinish(&uu);
    MimeDecoderFinish(&mime);

    std::string name;
    uint32_t crc;
    bool comment;
    uint8_t digest[16];
    SumDetectKind((const char*)data, size);
    SumParseSfvLine((const char*)data, size, &name, &crc, &comment);
    SumParseMd5Line((const char*)data, size, &name, digest);

    static uint8_t out[2 * 4096];
    CrLfChunk c = {};
    c.mode = (int16_t)(122 + data[-1] % 3);
    for (size_t i = 0; i < size; i += 4096) {
        c.input = data + i;
        c.inputSize = size - i < 4096 ? size - i : 4096;
        c.output = out;
        if (CrLfConvertChunk(&c) != 0) break;
    }
    return 0;
}
