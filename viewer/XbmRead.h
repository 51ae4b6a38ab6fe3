// X bitmap reader (X10 16-bit and X11 8-bit forms): every bitmap of the file,
// one below the other, as one black-and-white one-bit picture. Pure: no
// windows.h.
#pragma once
#include "viewer/Picture.h"

// True when the picture holds a block; a file without a complete bitmap, with
// a line over 253 characters or with values missing is refused.
bool XbmDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);

// The next number of a data list: hex digits up to a delimiter (blank, tab,
// new line, ',' or '}'), other characters (the x of 0x) skipped; -1 at the end.
int64_t XbmNextInt(const uint8_t* data, size_t size, size_t* pos);
