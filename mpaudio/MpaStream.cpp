#include "MpaStream.h"

#include <memory>

namespace {

// An ID3v2 tag before the first frame: "ID3", version, flags, then a
// 28-bit size in four 7-bit bytes.
size_t Id3v2Size(const uint8_t* p, size_t size) {
    if (size < 10 || p[0] != 'I' || p[1] != 'D' || p[2] != '3')
        return 0;
    if ((p[6] | p[7] | p[8] | p[9]) & 0x80)
        return 0;
    size_t n = (size_t)p[6] << 21 | (size_t)p[7] << 14 | (size_t)p[8] << 7 | p[9];
    n += 10 + ((p[5] & 0x10) ? 10 : 0);
    return n <= size ? n : size;
}

} // namespace

MpaStreamResult MpaDecodeBuffer(const uint8_t* data, size_t size, const MpaStreamOptions& options,
                                std::vector<uint8_t>* pcm) {
    MpaStreamResult res;
    if (options.engine < 0 || options.engine > 3)
        return res;
    const MpaEngine& e = MpaEngines[options.engine];
    std::unique_ptr<MpaDecoder, void (*)(MpaDecoder*)> d(MpaDecoderCreate(), MpaDecoderDestroy);
    if (!d)
        return res;
    uint8_t out[kMpaMaxOutputBytes];
    size_t pos = Id3v2Size(data, size);
    while (!res.ok && pos + 4 <= size) {
        MpaHeader h;
        int32_t bitrate;
        size_t off = 0;
        int len = MpaFindFrame(data + pos, size - pos, &h, &bitrate, &off);
        if (!len)
            return res;
        pos += off;
        MpaHeader setup = h;
        if (options.preferTwoChannels && h.mode == 3) {
            // Look ahead a few frames for a two-channel header.
            size_t p = pos;
            MpaHeader n = h;
            for (int i = 0; i < 64 && p + 4 <= size; i++) {
                int32_t br;
                int l = MpaParseFrame(data + p, size - p, &n, &br);
                if (l <= 0)
                    break;
                if (n.mode != 3) {
                    setup = n;
                    setup.bitrateIndex = h.bitrateIndex;
                    break;
                }
                p += (size_t)l + (size_t)MpaPaddingBytes(&n);
            }
        }
        if (e.init(d.get(), &setup, len, options.reductionCode, 0, options.conversionCode, options.frequencyLimit)) {
            res.ok = true;
            e.info(d.get(), &res.info);
        } else {
            pos++;
        }
    }
    while (pos + 4 <= size) {
        MpaResult r = e.decode(d.get(), data + pos, size - pos, out);
        uint32_t used = MpaConsumed(r);
        if (!used) {
            // Resynchronise at the next possible sync byte.
            size_t next = pos + 1;
            while (next < size && data[next] != 0xFF)
                next++;
            res.skippedBytes += (long)(next - pos);
            pos = next;
            continue;
        }
        uint32_t produced = MpaProduced(r);
        if (produced > sizeof(out))
            produced = sizeof(out);
        if (!options.discardOutput)
            pcm->insert(pcm->end(), out, out + produced);
        if (options.frameChannels)
            options.frameChannels->push_back((data[pos + 3] >> 6) == 3 ? 1 : 2);
        res.frames++;
        pos += used;
    }
    return res;
}
