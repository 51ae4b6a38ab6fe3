// PNG reader: libpng decodes, the reader picks a picture the display can take
// as it is (8-bit palette or grey, or 24-bit colour) and composites
// transparency over the viewer's fixed background. Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

// Transparent parts of a PNG show in this colour.
const uint8_t kPngBackground[3] = {31, 127, 255};

bool PngSignature(const uint8_t* data, size_t size);
// True when the picture holds a block (possibly only partly decoded: rows
// after a damaged spot stay zero). False leaves the record empty.
bool PngDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);
