// TGA reader (Truevision TGA 1 and 2): colour-mapped, true-colour and grey
// pictures, plain or run-length encoded, always shown as 24-bit colour.
// Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

// The file name's extension begins with "TGA" in either case: the format has
// no signature, so only such files are tried.
bool TgaNameMatches(const char* path);
// True when the picture holds a block. Pixel data that ends early leaves the
// rest black; a header the reader cannot show is refused.
bool TgaDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);
