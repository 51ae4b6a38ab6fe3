#include "viewer/PcxRead.h"

#include <string.h>

namespace {

struct PcxHeader {
    uint8_t manufacturer, version, encoding, bitsPerPixel;
    uint16_t xMin, yMin, xMax, yMax;
    uint8_t colorMap[48];
    uint8_t planes;
    uint16_t bytesPerLine;
};

inline uint16_t U16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

// The scan-line stream: reads past the end give 0xFF; a run may carry over
// from one scan line into the next.
struct PcxStream {
    const uint8_t* data;
    size_t size, pos;
    uint8_t runCount, runValue;
};

uint8_t PcxByte(PcxStream* s) {
    return s->pos < s->size ? s->data[s->pos++] : 0xFF;
}

void PcxDecodeLine(uint8_t* line, uint32_t length, PcxStream* s) {
    uint32_t n = 0;
    while (n < length) {
        if (s->runCount) {
            uint32_t take = length - n < s->runCount ? length - n : s->runCount;
            memset(line + n, s->runValue, take);
            n += take;
            s->runCount = (uint8_t)(s->runCount - take);
            continue;
        }
        uint8_t b = PcxByte(s);
        if ((b & 0xC0) == 0xC0) {
            s->runCount = b & 0x3F;
            s->runValue = PcxByte(s);
        } else {
            line[n++] = b;
        }
    }
}

// Packed pixels of one plane: index of pixel x at depth bits (1, 2, 4, 8),
// most significant bits first.
inline uint32_t PackedIndex(const uint8_t* plane, uint32_t x, int bits) {
    uint32_t bit = x * (uint32_t)bits;
    return (uint32_t)(plane[bit >> 3] >> (8 - bits - (bit & 7))) & ((1u << bits) - 1);
}

inline void PutBgr(uint8_t* out, const uint8_t* rgb) {
    out[0] = rgb[2];
    out[1] = rgb[1];
    out[2] = rgb[0];
}

// The layouts this reader shows; any other is refused before decoding.
enum PcxLayout { kPcxMono, kPcxPacked, kPcxIndexed256, kPcxRgb, kPcxPlanes16 };

bool PcxPickLayout(const PcxHeader& h, PcxLayout* layout) {
    int bits = h.bitsPerPixel;
    if (h.planes == 1 && bits == 1)
        *layout = kPcxMono;
    else if (h.planes == 1 && (bits == 2 || bits == 4))
        *layout = kPcxPacked;
    else if (h.planes == 1 && bits == 8)
        *layout = kPcxIndexed256;
    else if (h.planes == 3 && bits == 8)
        *layout = kPcxRgb;
    else if (h.planes == 4 && bits == 1)
        *layout = kPcxPlanes16;
    else
        return false;
    return true;
}

} // namespace

bool PcxDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    if (size < kPcxHeaderSize) return false;
    PcxHeader h;
    h.manufacturer = data[0];
    h.version = data[1];
    h.encoding = data[2];
    h.bitsPerPixel = data[3];
    h.xMin = U16(data + 4);
    h.yMin = U16(data + 6);
    h.xMax = U16(data + 8);
    h.yMax = U16(data + 10);
    memcpy(h.colorMap, data + 16, sizeof h.colorMap);
    h.planes = data[65];
    h.bytesPerLine = U16(data + 66);
    int32_t width = (int32_t)h.xMax - h.xMin + 1, height = (int32_t)h.yMax - h.yMin + 1;
    if (h.manufacturer != 10 || width <= 0 || height <= 0 || h.planes > 20 || h.bitsPerPixel > 8) return false;
    PcxLayout layout;
    if (!PcxPickLayout(h, &layout)) return false;
    // Each plane's line must hold the row's pixels: a header that says
    // otherwise would have the conversion read beyond the line.
    if ((uint64_t)h.bytesPerLine * 8 < (uint64_t)width * h.bitsPerPixel) return false;
    uint32_t lineLength = (uint32_t)h.planes * h.bytesPerLine;

    uint8_t palette[256 * 3] = {};
    if (layout == kPcxIndexed256 && h.version == 5 && size >= kPcxHeaderSize + 769 && data[size - 769] == 12)
        memcpy(palette, data + size - 768, sizeof palette);

    bool mono = layout == kPcxMono;
    if (!PicCreate(pic, a, width, height, mono ? 1 : 24, -1)) {
        PicRelease(pic, a);
        return false;
    }
    if (mono) PicSetGreyTable(pic, 1);
    uint8_t* line = static_cast<uint8_t*>(a.alloc(lineLength));
    if (!line) {
        PicRelease(pic, a);
        return false;
    }
    PcxStream s = {data, size, kPcxHeaderSize, 0, 0};
    uint32_t plane = h.bytesPerLine;
    for (int32_t y = 0; y < height; y++) {
        PcxDecodeLine(line, lineLength, &s);
        uint8_t* out = PicRow(pic, y);
        switch (layout) {
        case kPcxMono:
            memcpy(out, line, ((uint32_t)width + 7) / 8);
            break;
        case kPcxPacked:
            for (int32_t x = 0; x < width; x++)
                PutBgr(out + x * 3, h.colorMap + PackedIndex(line, (uint32_t)x, h.bitsPerPixel) * 3);
            break;
        case kPcxIndexed256:
            for (int32_t x = 0; x < width; x++)
                PutBgr(out + x * 3, palette + line[x] * 3);
            break;
        case kPcxRgb:
            for (int32_t x = 0; x < width; x++) {
                out[x * 3] = line[2 * plane + x];
                out[x * 3 + 1] = line[plane + x];
                out[x * 3 + 2] = line[x];
            }
            break;
        case kPcxPlanes16:
            for (int32_t x = 0; x < width; x++) {
                uint32_t index = 0;
                for (uint32_t p = 0; p < 4; p++)
                    index |= PackedIndex(line + p * plane, (uint32_t)x, 1) << p;
                PutBgr(out + x * 3, h.colorMap + index * 3);
            }
            break;
        }
    }
    a.release(reinterpret_cast<void**>(&line));
    return true;
}
