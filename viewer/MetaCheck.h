// Structure checks of metafiles before the system's graphics interface gets
// them: a record chain that does not add up, or a record whose counts,
// offsets or object numbers point outside it, makes the file refused (GDI
// trusts these fields and loops or reads past the data otherwise). Pure: no
// windows.h.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum MetaKind : uint8_t {
    kMetaNone = 0,
    kMetaEnhanced = 1, // " EMF" at offset 40
    kMetaPlaceable = 2, // Windows metafile behind the 22-byte placeable header
    kMetaWindows = 3,   // plain Windows metafile
};

// The kind by the signature tests alone (no structure check).
MetaKind MetaKindOf(const uint8_t* data, size_t size);

// Enhanced metafile: header, every record inside nBytes (which must not
// exceed the file), records ending in EMR_EOF exactly at nBytes.
bool MetaCheckEnhanced(const uint8_t* data, size_t size);

// Windows metafile starting at data (its 18-byte header first): every record
// inside the data, ending with the zero record. words gets the metafile's
// length in 16-bit words as the records add it up.
bool MetaCheckWindows(const uint8_t* data, size_t size, uint32_t* words);

// Placeable metafile: the header's size word n with 2n + 22 within the file
// and the Windows metafile behind it sound. bytes gets 2n.
bool MetaCheckPlaceable(const uint8_t* data, size_t size, uint32_t* bytes);
