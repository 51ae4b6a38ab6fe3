// Animated cursors (RIFF "ACON"): the header, the step table and the icon
// frames, each frame's icon or cursor directory checked against its chunk.
// Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

struct AniFrame {
    uint32_t offset, length; // the "icon" chunk's data inside the file
    uint32_t checksum;       // sum of the data bytes
    uint32_t same;           // index of the first identical frame (itself when unique)
};

struct AniCursor {
    uint32_t header[9]; // the "anih" words: size, frames, steps, width, height, bits, planes, rate, flags
    uint32_t steps;
    uint32_t* rates;    // per step, in jiffies of 1/60 s (at least 1)
    uint32_t* sequence; // per step, the frame shown
    uint32_t frameCount;
    AniFrame* frames;
};

// Steps and frames beyond these are no animation anyone made; the tables stay
// small and the search for identical frames short.
const uint32_t kAniMaxSteps = 1u << 16;
const uint32_t kAniMaxFrames = 4096;

// False when the file is no animated cursor, has no steps or frames, or a step
// names a frame that is not there; nothing stays allocated then.
bool AniParse(const uint8_t* data, size_t size, AniCursor* ani, const PicAllocator& a);
void AniRelease(AniCursor* ani, const PicAllocator& a);

// One image of an icon or cursor file held in a frame.
struct AniImage {
    uint8_t width, height, colourCount;
    uint16_t planes, bitCount; // a cursor's hot spot x and y
    uint32_t offset, size;     // inside the frame's data
};
// The directory of a frame's icon or cursor data: type 1 or 2, and every
// entry inside the data (the directory itself too). images holds up to max.
bool AniFrameDirectory(const uint8_t* data, uint32_t length, bool* cursor, AniImage* images, uint32_t max,
                       uint32_t* count);
