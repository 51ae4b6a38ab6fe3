// Element formats of the hex dump and editor: element texts, typed-value
// parsing, row texts, layout figures, insertion, deletion and search over a
// block of bytes. No windows.h: the control and the editor window are thin
// glue around these.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct HexFormat {
    uint32_t number;
    const char *name;      // English; shown in the window style dialog
    uint8_t elementSize;   // bytes
    uint8_t fieldWidth;    // characters of the element text and its separator
};

const int kHexFormatCount = 13;
extern const HexFormat kHexFormats[kHexFormatCount];
const int kHexFormatBytes = 0; // "HEX & Character": the only format with a character column
const int kHexFormatChars = 1;

// Address styles.
const int kHexAddressDecimal = 0;
const int kHexAddressHex = 1;
extern const char *const kHexAddressStyleNames[2];

// Largest element text plus terminator.
const int kHexElementMax = 32;

// Text of the element at `offset` (fieldWidth characters, separator
// included). False, and an empty text, when the format is unknown or the
// element does not lie wholly inside the data: a partial element at the end
// is never read past the block.
bool HexFormatElement(char *out, size_t outSize, const uint8_t *data, uint32_t dataLength, uint32_t offset,
                      int format);

// Accepts a typed element text by the format's rules; 1 with the element's
// bytes (little-endian bit pattern) in *value, 0 when rejected.
int HexParseElement(int format, const char *text, uint64_t *value);

// Writes an accepted value over the element at offset; false when the element
// does not fit inside the data.
bool HexStoreElement(uint8_t *data, uint32_t dataLength, uint32_t offset, int format, uint64_t value);

// Byte offset of a caret position.
uint32_t HexCaretOffset(uint32_t row, uint32_t column, int32_t topRow, uint32_t bytesPerRow, int format,
                        bool inCharColumn);

// Digits of the address column for a file of `size` bytes.
int HexAddressDigits(uint64_t size, int addressStyle);
// Bytes shown per row for `columns` characters of width; at least 1, and
// a whole number of elements.
uint32_t HexBytesPerRow(int columns, int addressDigits, int format);
// Characters of one row's element text.
uint32_t HexRowChars(uint32_t bytesPerRow, int format);

// One row as text: address (zero-padded), two blanks, the elements (a
// partial last row padded with blanks; a trailing part smaller than an
// element shows as blanks) and, for format 0, two blanks and the bytes as
// characters (zero bytes as "."). `rowOffset` indexes data; `address` is the
// number shown. Returns the length; out is always terminated.
size_t HexFormatRow(char *out, size_t outSize, const uint8_t *data, uint32_t dataLength, uint32_t rowOffset,
                    uint32_t bytesPerRow, int format, uint64_t address, int addressDigits, int addressStyle);

// Editable byte block: data is owned through MemAlloc/MemFree-compatible
// malloc and realloc of the caller's choice; here plain malloc/free.
struct HexBlock {
    uint8_t *data;
    uint32_t length;
};
// Inserts one element of zeros at offset (cut to the length); false when
// memory ran out or the block would pass 4 GB; nothing changes then.
bool HexInsertElement(HexBlock *block, uint32_t offset, int format);
// Removes the element at offset; an offset at or past the end, or a tail
// shorter than an element, removes what is there and never underflows.
// data becomes null when the block is empty. False when nothing was removed.
bool HexDeleteElement(HexBlock *block, uint32_t offset, int format);
void HexBlockFree(HexBlock *block);

// Search for an element text (upper-cased by the caller's request here):
// from one element after `caret` forwards, or one element before it
// backwards, stepping by the element size. Format 0 matches the element text
// in the hex column; formats 0 and 1 then also match the bytes as characters
// (the match is in the character column: *inChars true). Returns the offset
// or -1. Never reads past the data. A caret of minus one element starts the
// forward search at 0.
int64_t HexFindText(const uint8_t *data, uint32_t dataLength, int format, int64_t caret, const char *text,
                    bool down, bool *inChars);
