// GIF stream decoder (GIF87a and GIF89a): frames one at a time, each turned
// into ready-to-draw 24-bit rows with transparency resolved against the
// view's background. Pure: no windows.h; the worker thread and the frame
// list live in the library's Win32 side.
#pragma once
#include "viewer/Picture.h"

const uint32_t kGifMaxFramePixels = 4000000; // frames of this many pixels or more are not decoded

struct GifFrame {
    GifFrame* next;
    int32_t width, height;
    int32_t left, top;   // within the logical screen
    int32_t transparent; // colour index, -1 = none
    uint32_t delayMs;
    uint32_t stride; // bytes per row of `rows`, a multiple of 4
    uint8_t* rows;   // blue, green, red; top row first
};

struct GifStream {
    const uint8_t* data;
    size_t size;
    size_t pos;
    int32_t screenWidth, screenHeight;
    uint8_t globalTable[256 * 3];
    int globalCount;     // 0 = no global colour table
    int32_t transparent; // in force for later frames
    uint32_t delayCs;    // hundredths of a second, in force for later frames
    uint32_t loopCount;  // 0 = for ever
    bool ended;
};

bool GifSignature(const uint8_t* data, size_t size); // "GIF87" or "GIF89"
// Reads the signature, screen descriptor and global table. False: no stream.
bool GifOpen(GifStream* s, const uint8_t* data, size_t size);
// The next complete frame, allocated through `a` (frame record and rows), or
// null at the end of the stream, on damage or when memory runs out (then
// s->ended is set). background is the view's colour as red | green << 8 |
// blue << 16.
GifFrame* GifNextFrame(GifStream* s, const PicAllocator& a, uint32_t background);
void GifFreeFrame(GifFrame** frame, const PicAllocator& a);

// Frame time from a stored delay: hundredths of a second; 0 shows 100 ms.
uint32_t GifDelayMs(uint32_t delayCs);

// The LZW data of one frame (starting at its minimum-code-size byte) into
// `pixels` indexes. Pixels no code reached stay as they were. Returns false
// when the data cannot be decoded at all (bad minimum code size, no data).
bool GifDecodeLzw(GifStream* s, uint8_t* pixels, uint32_t pixelCount);
