// X pixmap reader (XPM1 "#define" form, XPM2 and XPM3 C sources): a 24-bit
// picture; "None" shows the viewer's background. Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

struct XpmNamedColour {
    const char* name;
    uint8_t red, green, blue;
};
extern const XpmNamedColour kXpmColourNames[];
extern const size_t kXpmColourNameCount;

// A colour as "#" and 3, 6, 9 or 12 hex digits or a name of the table, to
// red, green, blue bytes; false when it is neither.
bool XpmParseColour(const char* text, uint8_t rgb[3]);

// True when the picture holds a block. background is the colour of "None"
// (red, green, blue). Rows missing at the end show the background.
bool XpmDecode(const uint8_t* data, size_t size, const uint8_t background[3], PictureRecord* pic,
               const PicAllocator& a);
