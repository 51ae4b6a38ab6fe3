// Icon and cursor files (.ICO, .CUR): the directory and the images it points
// to, checked against the file so that the system's icon functions only ever
// see complete images. Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

struct IconImage {
    uint32_t offset, size; // the image inside the file
    int32_t width, height; // as shown (a DIB's stored height is twice this)
    bool png;              // a PNG stream instead of a DIB
};

struct IconList {
    uint32_t count;
    IconImage* images; // count entries, from the allocator
    int32_t contentWidth, contentHeight; // all images side by side, 10 pixels apart and around
};

// Reads the directory of an icon (type 1) or cursor (type 2) file. False
// when the header is not one, the count is 0, or any image lies outside the
// file or is not a complete DIB or PNG; nothing is allocated then.
bool IconParse(const uint8_t* data, size_t size, IconList* list, const PicAllocator& a);
void IconListFree(IconList* list, const PicAllocator& a);
