// Windows and OS/2 bitmap reader: 1, 4 and 8 bits (plain or run-length)
// keep their colour table, 16, 24 and 32 bits (plain or with bit masks)
// become 24-bit colour; rows bottom-up or top-down. Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

bool BmpSignature(const uint8_t* data, size_t size);
// True when the picture holds a block. Pixel data that ends early leaves the
// rest of the picture at colour 0; a header the reader cannot show is refused.
bool BmpDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);
