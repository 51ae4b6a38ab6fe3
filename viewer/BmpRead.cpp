#include "viewer/BmpRead.h"

#include <string.h>

namespace {

const size_t kBmpFileHeader = 14;
enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

inline uint16_t U16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
inline uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

struct BmpInfo {
    int32_t width, height; // height positive; topDown says the order
    bool topDown;
    uint32_t bitCount, compression, coloursUsed;
    uint32_t masks[3]; // red, green, blue
    const uint8_t* table;
    uint32_t tableEntries, entryBytes;
};

// One channel of a masked pixel value, scaled to 0..255 with rounding.
struct MaskChannel {
    uint32_t mask, shift, max;
};

MaskChannel MakeChannel(uint32_t mask) {
    MaskChannel c = {mask, 0, 0};
    if (!mask) return c;
    while (!((mask >> c.shift) & 1))
        c.shift++;
    c.max = mask >> c.shift;
    return c;
}

inline uint8_t Channel(const MaskChannel& c, uint32_t v) {
    if (!c.max) return 0;
    uint64_t x = (v & c.mask) >> c.shift;
    return (uint8_t)((x * 255 + c.max / 2) / c.max);
}

bool ReadInfo(const uint8_t* data, size_t size, BmpInfo* info) {
    if (size < kBmpFileHeader + 12) return false;
    const uint8_t* h = data + kBmpFileHeader;
    uint32_t headerSize = U32(h);
    memset(info, 0, sizeof *info);
    int64_t height;
    if (headerSize == 12) {
        info->width = U16(h + 4);
        height = (int16_t)U16(h + 6);
        info->bitCount = U16(h + 10);
        info->entryBytes = 3;
    } else {
        if (headerSize < 40 || headerSize > size - kBmpFileHeader) return false;
        info->width = (int32_t)U32(h + 4);
        height = (int32_t)U32(h + 8);
        info->bitCount = U16(h + 14);
        info->compression = U32(h + 16);
        info->coloursUsed = U32(h + 32);
        info->entryBytes = 4;
    }
    if (info->width <= 0 || height == 0 || height < -0x7FFFFFFF) return false;
    info->topDown = height < 0;
    info->height = (int32_t)(height < 0 ? -height : height);
    uint64_t tableStart = kBmpFileHeader + headerSize;
    switch (info->compression) {
    case kBiRgb:
        if (info->bitCount != 1 && info->bitCount != 4 && info->bitCount != 8 && info->bitCount != 16 &&
            info->bitCount != 24 && info->bitCount != 32)
            return false;
        if (info->bitCount == 16) {
            info->masks[0] = 0x7C00, info->masks[1] = 0x03E0, info->masks[2] = 0x001F;
        } else if (info->bitCount == 32) {
            info->masks[0] = 0xFF0000, info->masks[1] = 0xFF00, info->masks[2] = 0xFF;
        }
        break;
    case kBiRle8:
    case kBiRle4:
        // Run-length rows go bottom-up only.
        if (info->bitCount != (info->compression == kBiRle8 ? 8u : 4u) || info->topDown) return false;
        break;
    case kBiBitfields:
    case kBiAlphaBitfields:
        if (info->bitCount != 16 && info->bitCount != 32) return false;
        // The masks follow a 40-byte header and are part of the later ones.
        if (headerSize == 40) {
            uint64_t maskBytes = info->compression == kBiBitfields ? 12 : 16;
            if (tableStart + maskBytes > size) return false;
            tableStart += maskBytes;
        } else if (headerSize < 52) {
            return false;
        }
        for (int i = 0; i < 3; i++)
            info->masks[i] = U32(h + 40 + 4 * i);
        break;
    default:
        return false;
    }
    if (info->bitCount <= 8) {
        uint32_t full = 1u << info->bitCount;
        uint32_t entries = info->coloursUsed && info->coloursUsed < full ? info->coloursUsed : full;
        // A table cut by the end of the file keeps the entries that are there.
        uint64_t room = tableStart < size ? (size - tableStart) / info->entryBytes : 0;
        if (entries > room) entries = (uint32_t)room;
        info->table = data + tableStart;
        info->tableEntries = entries;
    }
    return true;
}

void SetTable(PictureRecord* pic, const BmpInfo& info) {
    uint8_t rgb[256 * 3];
    for (uint32_t i = 0; i < info.tableEntries; i++) {
        const uint8_t* e = info.table + (size_t)i * info.entryBytes;
        rgb[i * 3] = e[2];
        rgb[i * 3 + 1] = e[1];
        rgb[i * 3 + 2] = e[0];
    }
    PicSetColourTableRgb(pic, (int)info.tableEntries, rgb);
}

inline void PutIndex(PictureRecord* pic, int32_t x, int32_t y, uint32_t index) {
    if (x < 0 || x >= pic->width || y < 0 || y >= pic->height) return;
    uint8_t* row = pic->bits + (size_t)y * pic->stride; // y counted from the bottom
    if (pic->bitsPerPixel == 8) {
        row[x] = (uint8_t)index;
    } else {
        uint8_t shift = (x & 1) ? 0 : 4;
        row[x >> 1] = (uint8_t)((row[x >> 1] & ~(0x0F << shift)) | (index & 0x0F) << shift);
    }
}

// Run-length data into the bottom-up rows; pixels it skips stay colour 0.
void DecodeRle(const uint8_t* p, const uint8_t* end, PictureRecord* pic, bool four) {
    int32_t x = 0, y = 0;
    while (end - p >= 2 && y < pic->height) {
        uint8_t count = p[0], value = p[1];
        p += 2;
        if (count) {
            for (uint32_t i = 0; i < count; i++, x++)
                PutIndex(pic, x, y, four ? (i & 1 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            y++;
        } else if (value == 1) { // end of picture
            return;
        } else if (value == 2) { // delta
            if (end - p < 2) return;
            x += p[0];
            y += p[1];
            p += 2;
        } else { // absolute run of value pixels, padded to 16 bits
            uint32_t bytes = four ? (value + 1u) / 2 : value;
            if ((size_t)(end - p) < bytes) return;
            for (uint32_t i = 0; i < value; i++, x++)
                PutIndex(pic, x, y, four ? (i & 1 ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
            p += bytes + (bytes & 1);
        }
    }
}

} // namespace

bool BmpSignature(const uint8_t* data, size_t size) {
    return size >= kBmpFileHeader && data[0] == 'B' && data[1] == 'M';
}

bool BmpDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    BmpInfo info;
    if (!BmpSignature(data, size) || !ReadInfo(data, size, &info)) return false;
    uint32_t offset = U32(data + 10);
    if (offset >= size) return false;
    bool indexed = info.bitCount <= 8;
    if (!PicCreate(pic, a, info.width, info.height, indexed ? (int)info.bitCount : 24, -1)) {
        PicRelease(pic, a);
        return false;
    }
    if (indexed) SetTable(pic, info);
    const uint8_t* pixels = data + offset;
    size_t available = size - offset;
    if (info.compression == kBiRle8 || info.compression == kBiRle4) {
        DecodeRle(pixels, pixels + available, pic, info.compression == kBiRle4);
        return true;
    }
    uint64_t fileStride = (((uint64_t)info.width * info.bitCount + 31) / 32) * 4;
    MaskChannel red = MakeChannel(info.masks[0]), green = MakeChannel(info.masks[1]),
                blue = MakeChannel(info.masks[2]);
    for (int32_t r = 0; r < info.height; r++) {
        uint64_t at = fileStride * (uint64_t)r;
        if (at + fileStride > available) break; // the rest stays colour 0
        const uint8_t* in = pixels + at;
        uint8_t* out = info.topDown ? PicRow(pic, r) : PicRow(pic, info.height - 1 - r);
        if (indexed || info.bitCount == 24) {
            memcpy(out, in, pic->stride < fileStride ? pic->stride : (size_t)fileStride);
            continue;
        }
        for (int32_t x = 0; x < info.width; x++) {
            uint32_t v = info.bitCount == 16 ? U16(in + x * 2) : U32(in + x * 4);
            out[x * 3] = Channel(blue, v);
            out[x * 3 + 1] = Channel(green, v);
            out[x * 3 + 2] = Channel(red, v);
        }
    }
    return true;
}
