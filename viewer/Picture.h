// The in-memory picture every raster reader of the viewer ends in: one block
// holding a DIB header, a colour table of 256 entries and the pixel rows,
// bottom-up, so that painting hands it to the system without copying.
// Pure: no windows.h; the palette handle is kept as void*.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Allocation goes through the host's services: zero-filled blocks, and a free
// that takes the address of the pointer and clears it.
struct PicAllocator {
    void* (*alloc)(size_t n);
    void** (*release)(void** pointer);
};

struct PictureRecord {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel; // 1, 4, 8 or 24
    int32_t colourModel;  // 0 grey or palette, 2 true colour, 3 after a palette was set
    uint32_t stride;      // bytes per row, a multiple of 4
    uint8_t* bits;        // first row (the bottom one) inside dibBlock
    void* palette;        // HPALETTE or null
    uint8_t* dibBlock;    // header, colour table, rows
};

const uint32_t kDibHeaderSize = 40;
const uint32_t kDibColourTableSize = 256 * 4;
// Slack of the block beyond the rows: header, colour table and the 24 bytes
// the block has always carried.
const uint32_t kDibBlockExtra = 1064;
// Largest block a picture may take: a damaged header must not ask the host for
// gigabytes, and a 32-bit process has no room for more anyway.
const uint64_t kPicMaxBlock = 512ull << 20;

// Stride and block size of a picture, checked: false when the sizes do not
// fit the limit (or width, height or depth are not positive).
bool DibLayout(int64_t width, int64_t height, int bitsPerPixel, uint32_t* stride, uint32_t* blockSize);
// The DIB block with its header and default colour table; null when the size
// is refused or the allocation fails.
uint8_t* DibAlloc(const PicAllocator& a, int bitsPerPixel, int32_t width, int32_t height);
// Creates (or re-creates) the picture's block. colourModel below 0 picks 0 for
// depths up to 8 and 2 above. False when no block was made. The caller deletes
// an old palette handle first (the pure side cannot).
bool PicCreate(PictureRecord* pic, const PicAllocator& a, int32_t width, int32_t height, int bitsPerPixel,
               int colourModel);
// Frees the block and clears the record (palette handle left to the caller).
void PicRelease(PictureRecord* pic, const PicAllocator& a);

// Colour table entries (blue, green, red, 0) from packed red, green, blue
// triplets; count is clipped to 256. ORs 3 into the colour model.
void PicSetColourTableRgb(PictureRecord* pic, int count, const uint8_t* rgb);
// Grey ramp: 1 level gives black and white, otherwise entry i = i * 256 / levels.
void PicSetGreyTable(PictureRecord* pic, int levels);
int PicColourCount(const PictureRecord* pic); // entries of the colour table in use
// Row y counted from the top of the picture.
inline uint8_t* PicRow(const PictureRecord* pic, int32_t y) {
    return pic->bits + (size_t)(pic->height - 1 - y) * pic->stride;
}

uint8_t ByteReverseBits(uint8_t b);
