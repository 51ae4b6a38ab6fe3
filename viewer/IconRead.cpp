#include "viewer/IconRead.h"

#include <string.h>

namespace {

inline uint16_t U16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
inline uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline uint32_t U32Big(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

const int32_t kIconMaxSide = 1024; // beyond any icon; keeps the sums small

// A PNG image: signature and IHDR, the size from there.
bool CheckPng(const uint8_t* p, uint32_t size, IconImage* image) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || memcmp(p, kSignature, 8) != 0) return false;
    if (size < 33 || memcmp(p + 12, "IHDR", 4) != 0) return false;
    uint32_t w = U32Big(p + 16), h = U32Big(p + 20);
    if (!w || !h || w > (uint32_t)kIconMaxSide || h > (uint32_t)kIconMaxSide) return false;
    image->png = true;
    image->width = (int32_t)w;
    image->height = (int32_t)h;
    return true;
}

// A DIB image: header, colour table, colour rows and mask rows all inside.
bool CheckDib(const uint8_t* p, uint32_t size, IconImage* image) {
    if (size < 40) return false;
    uint32_t headerSize = U32(p);
    int32_t w = (int32_t)U32(p + 4), storedHeight = (int32_t)U32(p + 8);
    uint32_t planes = U16(p + 12), bitCount = U16(p + 14), compression = U32(p + 16), used = U32(p + 32);
    if (headerSize < 40 || headerSize > size || w <= 0 || w > kIconMaxSide || storedHeight <= 0 ||
        storedHeight / 2 <= 0 || storedHeight / 2 > kIconMaxSide || planes != 1)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    if (compression != 0 && !(compression == 3 && (bitCount == 16 || bitCount == 32))) return false;
    int32_t h = storedHeight / 2;
    uint64_t colours = bitCount <= 8 ? (used && used < (1u << bitCount) ? used : 1u << bitCount) : 0;
    uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
    uint64_t colourRow = (((uint64_t)w * bitCount + 31) / 32) * 4, maskRow = (((uint64_t)w + 31) / 32) * 4;
    uint64_t need = headerSize + masks + colours * 4 + (colourRow + maskRow) * (uint64_t)h;
    if (need > size) return false;
    image->png = false;
    image->width = w;
    image->height = h;
    return true;
}

} // namespace

bool IconParse(const uint8_t* data, size_t size, IconList* list, const PicAllocator& a) {
    memset(list, 0, sizeof *list);
    if (size < 6 || U16(data) != 0) return false;
    uint16_t type = U16(data + 2), count = U16(data + 4);
    if ((type != 1 && type != 2) || count == 0 || 6 + (uint64_t)count * 16 > size) return false;
    IconImage* images = static_cast<IconImage*>(a.alloc((size_t)count * sizeof(IconImage)));
    if (!images) return false;
    int64_t width = 10, height = 0;
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t* e = data + 6 + i * 16;
        IconImage* image = &images[i];
        image->size = U32(e + 8);
        image->offset = U32(e + 12);
        if (image->offset > size || image->size > size - image->offset ||
            !(CheckPng(data + image->offset, image->size, image) ||
              CheckDib(data + image->offset, image->size, image))) {
            a.release(reinterpret_cast<void**>(&images));
            return false;
        }
        width += image->width + 10;
        if (image->height > height) height = image->height;
    }
    list->count = count;
    list->images = images;
    list->contentWidth = (int32_t)width; // at most 65535 x 1034
    list->contentHeight = (int32_t)height + 20;
    return true;
}

void IconListFree(IconList* list, const PicAllocator& a) {
    if (list->images) a.release(reinterpret_cast<void**>(&list->images));
    memset(list, 0, sizeof *list);
}
