#include "viewer/Picture.h"

#include <string.h>

static const uint8_t kVga[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

static void Put32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

static uint32_t UsedColours(int bitsPerPixel) {
    return bitsPerPixel == 1 ? 2 : bitsPerPixel == 4 ? 16 : bitsPerPixel == 8 ? 256 : 0;
}

bool DibLayout(int64_t width, int64_t height, int bitsPerPixel, uint32_t* stride, uint32_t* blockSize) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0 || bitsPerPixel > 32) return false;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    uint64_t rowBytes = (((uint64_t)width * (uint64_t)bitsPerPixel + 31) / 32) * 4;
    if (rowBytes > kPicMaxBlock) return false;
    uint64_t total = rowBytes * (uint64_t)height + kDibBlockExtra;
    if (total > kPicMaxBlock) return false;
    *stride = (uint32_t)rowBytes;
    *blockSize = (uint32_t)total;
    return true;
}

uint8_t* DibAlloc(const PicAllocator& a, int bitsPerPixel, int32_t width, int32_t height) {
    uint32_t stride, blockSize;
    if (!DibLayout(width, height, bitsPerPixel, &stride, &blockSize)) return nullptr;
    uint8_t* block = static_cast<uint8_t*>(a.alloc(blockSize));
    if (!block) return nullptr;
    Put32(block, kDibHeaderSize);
    Put32(block + 4, (uint32_t)width);
    Put32(block + 8, (uint32_t)height);
    block[12] = 1; // planes
    block[14] = (uint8_t)bitsPerPixel;
    Put32(block + 16, 0); // BI_RGB
    Put32(block + 20, stride * (uint32_t)height);
    uint32_t used = UsedColours(bitsPerPixel);
    Put32(block + 32, used);
    uint8_t* table = block + kDibHeaderSize;
    for (uint32_t i = 0; i < used; i++) {
        const uint8_t* c = used == 2 ? kVga[i ? 15 : 0] : kVga[i % 16];
        table[i * 4] = c[2];
        table[i * 4 + 1] = c[1];
        table[i * 4 + 2] = c[0];
    }
    return block;
}

bool PicCreate(PictureRecord* pic, const PicAllocator& a, int32_t width, int32_t height, int bitsPerPixel,
               int colourModel) {
    if (pic->dibBlock) a.release(reinterpret_cast<void**>(&pic->dibBlock));
    pic->dibBlock = nullptr;
    pic->bits = nullptr;
    pic->palette = nullptr;
    pic->width = width;
    pic->height = height;
    pic->bitsPerPixel = bitsPerPixel;
    pic->colourModel = colourModel >= 0 ? colourModel : bitsPerPixel <= 8 ? 0 : 2;
    uint32_t stride = 0, blockSize = 0;
    if (!DibLayout(width, height, bitsPerPixel, &stride, &blockSize)) return false;
    pic->stride = stride;
    pic->dibBlock = DibAlloc(a, bitsPerPixel, width, height);
    if (!pic->dibBlock) return false;
    pic->bits = pic->dibBlock + kDibHeaderSize + UsedColours(bitsPerPixel) * 4;
    return true;
}

void PicRelease(PictureRecord* pic, const PicAllocator& a) {
    if (pic->dibBlock) a.release(reinterpret_cast<void**>(&pic->dibBlock));
    memset(pic, 0, sizeof *pic);
}

int PicColourCount(const PictureRecord* pic) {
    return (int)UsedColours(pic->bitsPerPixel);
}

void PicSetColourTableRgb(PictureRecord* pic, int count, const uint8_t* rgb) {
    if (!pic->dibBlock) return;
    int used = PicColourCount(pic);
    if (count > used) count = used;
    uint8_t* table = pic->dibBlock + kDibHeaderSize;
    // Indexes beyond the file's own colours show black, not a default colour.
    memset(table, 0, (size_t)used * 4);
    for (int i = 0; i < count; i++) {
        table[i * 4] = rgb[i * 3 + 2];
        table[i * 4 + 1] = rgb[i * 3 + 1];
        table[i * 4 + 2] = rgb[i * 3];
        table[i * 4 + 3] = 0;
    }
    pic->colourModel |= 3;
}

void PicSetGreyTable(PictureRecord* pic, int levels) {
    uint8_t rgb[256 * 3];
    int count = levels <= 1 ? 2 : levels > 256 ? 256 : levels;
    for (int i = 0; i < count; i++) {
        uint8_t v = levels <= 1 ? (uint8_t)(i ? 255 : 0) : (uint8_t)(i * 256 / count);
        rgb[i * 3] = rgb[i * 3 + 1] = rgb[i * 3 + 2] = v;
    }
    PicSetColourTableRgb(pic, count, rgb);
}

uint8_t ByteReverseBits(uint8_t b) {
    b = (uint8_t)((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = (uint8_t)((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return (uint8_t)((b & 0xAA) >> 1 | (b & 0x55) << 1);
}
