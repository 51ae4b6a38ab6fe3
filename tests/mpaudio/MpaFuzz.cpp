// libFuzzer harness over the frame decoder: the first byte picks the engine
// and output form, the rest is the stream.
#include "MpaStream.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    MpaStreamOptions opt;
    uint8_t sel = data[0];
    opt.engine = sel % 3;
    opt.reductionCode = (sel >> 2) % 3;
    opt.conversionCode = ((sel >> 4) & 3) | ((sel & 0x40) ? 8 : 0);
    opt.frequencyLimit = (sel & 0x80) ? 3000 : 48000;
    std::vector<uint8_t> pcm;
    MpaDecodeBuffer(data + 1, size - 1, opt, &pcm);
    return 0;
}
