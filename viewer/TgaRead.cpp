#include "viewer/TgaRead.h"

#include <string.h>

namespace {

const size_t kTgaHeaderSize = 18;
const size_t kTgaFooterSize = 26;

struct TgaHeader {
    uint8_t idLength, colorMapType, imageType;
    uint16_t colorMapFirst, colorMapLength;
    uint8_t colorMapEntrySize;
    uint16_t width, height;
    uint8_t pixelDepth, descriptor;
};

inline uint16_t U16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

bool TgaHasFooter(const uint8_t* data, size_t size) {
    static const char kSignature[18] = "TRUEVISION-XFILE.";
    return size >= kTgaHeaderSize + kTgaFooterSize && memcmp(data + size - 18, kSignature, 18) == 0;
}

// 5-5-5 in a little-endian word; the top bit (attribute) is not shown.
inline void Put555(uint8_t* out, const uint8_t* p) {
    uint32_t v = U16(p);
    out[0] = (uint8_t)((v & 0x1F) << 3);
    out[1] = (uint8_t)(((v >> 5) & 0x1F) << 3);
    out[2] = (uint8_t)(((v >> 10) & 0x1F) << 3);
}

struct TgaColourMap {
    const uint8_t* entries; // inside the file
    uint32_t first, length, entryBytes;
};

// One file pixel (bytes as stored) to blue, green, red.
void TgaConvertPixel(const TgaHeader& h, const TgaColourMap& map, const uint8_t* p, uint8_t* out) {
    switch (h.imageType & 7) {
    case 1: {
        uint32_t index = h.pixelDepth == 8 ? p[0] : U16(p);
        // Indexes count from colorMapFirst; one outside the map shows black.
        if (index < map.first || index - map.first >= map.length) {
            out[0] = out[1] = out[2] = 0;
            return;
        }
        const uint8_t* e = map.entries + (size_t)(index - map.first) * map.entryBytes;
        if (map.entryBytes == 2)
            Put555(out, e);
        else
            memcpy(out, e, 3);
        return;
    }
    case 2:
        if (h.pixelDepth <= 16)
            Put555(out, p);
        else
            memcpy(out, p, 3);
        return;
    default:
        out[0] = out[1] = out[2] = p[0];
        return;
    }
}

bool TgaSupported(const TgaHeader& h) {
    switch (h.imageType) {
    case 1:
    case 9:
        return h.colorMapType == 1 && (h.pixelDepth == 8 || h.pixelDepth == 16) &&
               (h.colorMapEntrySize == 15 || h.colorMapEntrySize == 16 || h.colorMapEntrySize == 24 ||
                h.colorMapEntrySize == 32);
    case 2:
    case 10:
        return h.pixelDepth == 15 || h.pixelDepth == 16 || h.pixelDepth == 24 || h.pixelDepth == 32;
    case 3:
    case 11:
        return h.pixelDepth == 8 || h.pixelDepth == 16;
    default:
        return false;
    }
}

// File pixels one after the other, plain or run-length packets. Packets
// may run from one row into the next, as TGA 1 writers produce them.
struct TgaPixels {
    const uint8_t* data;
    size_t size, pos;
    uint32_t bytes;
    bool rle;
    uint32_t left;     // pixels left in the current packet
    bool repeat;       // the packet repeats one value
    uint8_t value[4];  // that value
};

// The next pixel's bytes, or false when the data has run out.
bool TgaNext(TgaPixels* s, uint8_t* pixel) {
    if (!s->rle) {
        if (s->size - s->pos < s->bytes) return false;
        memcpy(pixel, s->data + s->pos, s->bytes);
        s->pos += s->bytes;
        return true;
    }
    if (!s->left) {
        if (s->pos >= s->size) return false;
        uint8_t h = s->data[s->pos++];
        s->left = (h & 0x7Fu) + 1;
        s->repeat = (h & 0x80) != 0;
        if (s->repeat) {
            if (s->size - s->pos < s->bytes) return false;
            memcpy(s->value, s->data + s->pos, s->bytes);
            s->pos += s->bytes;
        }
    }
    s->left--;
    if (s->repeat) {
        memcpy(pixel, s->value, s->bytes);
        return true;
    }
    if (s->size - s->pos < s->bytes) return false;
    memcpy(pixel, s->data + s->pos, s->bytes);
    s->pos += s->bytes;
    return true;
}

} // namespace

bool TgaNameMatches(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    const char* dot = strrchr(name, '.');
    if (!dot) return false;
    for (int i = 0; i < 3; i++)
        if ((dot[1 + i] & ~0x20) != "TGA"[i]) return false;
    return true;
}

bool TgaDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    if (size < kTgaHeaderSize) return false;
    TgaHeader h;
    h.idLength = data[0];
    h.colorMapType = data[1];
    h.imageType = data[2];
    h.colorMapFirst = U16(data + 3);
    h.colorMapLength = U16(data + 5);
    h.colorMapEntrySize = data[7];
    h.width = U16(data + 12);
    h.height = U16(data + 14);
    h.pixelDepth = data[16];
    h.descriptor = data[17];
    if (h.colorMapType >= 2 || h.pixelDepth > 32 || !TgaSupported(h)) return false;
    // Without the TGA 2 footer an odd depth says this is no TGA file.
    if (!TgaHasFooter(data, size) && (h.pixelDepth & 1)) return false;
    if (!h.width || !h.height) return false;

    size_t pos = kTgaHeaderSize + h.idLength;
    TgaColourMap map = {nullptr, h.colorMapFirst, 0, 0};
    if (h.colorMapType == 1) {
        map.entryBytes = (h.colorMapEntrySize + 7u) / 8;
        uint64_t mapBytes = (uint64_t)h.colorMapLength * map.entryBytes;
        if (pos > size || mapBytes > size - pos) return false;
        map.entries = data + pos;
        map.length = h.colorMapLength;
        pos += (size_t)mapBytes;
    }
    if (pos > size) return false;

    if (!PicCreate(pic, a, h.width, h.height, 24, -1)) {
        PicRelease(pic, a);
        return false;
    }
    TgaPixels s = {data, size, pos, (h.pixelDepth + 7u) / 8, h.imageType >= 9, 0, false, {}};
    bool topDown = (h.descriptor & 0x20) != 0, rightToLeft = (h.descriptor & 0x10) != 0;
    uint8_t pixel[4];
    for (int32_t row = 0; row < pic->height; row++) {
        uint8_t* out = PicRow(pic, topDown ? row : pic->height - 1 - row);
        for (int32_t i = 0; i < pic->width; i++) {
            if (!TgaNext(&s, pixel)) return true; // the rest stays black
            int32_t x = rightToLeft ? pic->width - 1 - i : i;
            TgaConvertPixel(h, map, pixel, out + x * 3);
        }
    }
    return true;
}
