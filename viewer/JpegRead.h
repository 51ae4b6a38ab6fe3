// JPEG reader over libjpeg (the 6b interface): colour pictures come out as
// 24-bit rows straight into the picture, greyscale as 8 bits with a grey
// ramp, CMYK converted by the reader. Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

// FF D8 FF and a marker whose high nibble is E or D.
bool JpegSignature(const uint8_t* data, size_t size);
// True when the picture holds a block; a stream damaged after its header
// keeps the rows decoded before the damage.
bool JpegDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);
