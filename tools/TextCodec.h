// Text files and the edit child: byte-order marks, line-end styles and zero
// bytes, so that a file opened and saved without changes comes back byte for
// byte. No windows.h: the code-page conversions are the caller's.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string>

// byteOrderMark values.
const uint16_t kBomNone = 0;
const uint16_t kBomLittle = 0xFEFF; // bytes FF FE
const uint16_t kBomBig = 0xFFFE;    // bytes FE FF
// lineEnds values.
const uint16_t kLineEndsUnknown = 0;
const uint16_t kLineEndsCrLf = 122;
const uint16_t kLineEndsLf = 123;
const uint16_t kLineEndsCr = 124;

// A UTF-16 mark, only for files longer than 4 bytes and of even length: an
// odd byte count cannot be UTF-16, and reading it so would drop the last byte.
uint16_t TextDetectBom(const uint8_t *data, size_t length);
// The style of the first line end; unknown without one.
uint16_t TextDetectLineEnds(const char16_t *text, size_t length);
// Units of a UTF-16 file after its mark, in machine order.
std::u16string TextFromUtf16Bytes(const uint8_t *data, size_t length, uint16_t bom);
// The mark and the units in the file's order.
std::string TextToUtf16Bytes(const std::u16string &text, uint16_t bom);

// Zero bytes cannot live in an edit control (its text ends at the first):
// they are shown as U+2400 and written back as zeros.
const char16_t kNulStandIn = 0x2400;
// For the control: every line end as CR LF, zeros as the stand-in.
// *hadNul tells whether a zero was replaced.
std::u16string TextToControl(const std::u16string &text, bool *hadNul);
// Back from the control: every line end in the file's style (CR LF when it
// had none), stand-ins back to zeros when the file had zeros.
std::u16string TextFromControl(const std::u16string &text, uint16_t lineEnds, bool restoreNul);

// Bytes of a file that the ANSI code page cannot carry both ways (a DBCS
// lead byte without its trail, unmapped bytes) are shown one byte to one
// character (Latin-1), which always writes back the same bytes.
std::u16string TextFromLatin1(const uint8_t *data, size_t length);
// False when a character above U+00FF cannot be stored that way.
bool TextToLatin1(const std::u16string &text, std::string *out);

// Search in the control's text. Down: the first match starting at or after
// `from`. Up: the last match that ends at or before `from` (so it never
// finds the selection it starts from). -1 when there is none.
int64_t TextFind(const std::u16string &text, const std::u16string &needle, size_t from, bool down, bool matchCase);
