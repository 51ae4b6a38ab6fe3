// PCX reader (ZSoft, versions 0 to 5): one-plane one-bit files become
// one-bit pictures, everything else 24-bit colour. Pure: no windows.h.
#pragma once
#include "viewer/Picture.h"

const size_t kPcxHeaderSize = 128;

// True when the picture holds a block; a truncated file decodes as runs of
// 0xFF (what a read past the end gives), a damaged header is refused.
bool PcxDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);
