// TIFF reader: libtiff parses, decompresses and hands over rows (strips or
// tiles, either planar configuration); the reader turns the first image into
// a one-bit picture for bilevel files and a 24-bit one for the rest.
// libtiff never reports anything itself: its error and warning handlers are
// silent, so a damaged file is refused without a message box. Pure: no
// windows.h.
#pragma once
#include "viewer/Picture.h"

// "II*\0" or "MM\0*" (and the BigTIFF forms with '+').
bool TiffSignature(const uint8_t* data, size_t size);
// True when the picture holds a block. Rows after a strip or tile that cannot
// be read stay as they were made (zero); a file whose layout the reader
// cannot convert is refused and leaves the record empty.
bool TiffDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);

// Grey levels of a one-sample picture, byte per pixel value: what each of
// the 2^bitsPerSample values shows as. photometric 0 is min-is-white, 1
// min-is-black. curve (count entries in the file's byte order, bigEndian)
// is the grey response curve of tag 291 in units of tag 290, or null; it is
// used only when it covers every value. out holds 2^bitsPerSample bytes.
void TiffGreyLevels(uint16_t photometric, uint16_t bitsPerSample, const uint8_t* curve, uint32_t count,
                    bool bigEndian, uint16_t unit, uint8_t* out);
