// The byte tests of the viewer's detection chain. Pure: no windows.h.
#pragma once
#include <stddef.h>
#include <stdint.h>

const size_t kDetectHeader = 12; // bytes read for the signature tests
const size_t kDetectProbe = 260; // bytes the binary and HTML tests look at

// Unicode text: FF FE or FE FF.
bool DetectUnicodeText(const uint8_t* header);
// "/* XPM */", "/* XPM2 C */" (either case) or "#define".
bool DetectXpmHeader(const uint8_t* header);
// The first four bytes name a media file the system's media window plays.
bool DetectMediaHeader(const uint8_t* header);
// A zero byte among the first n (at most 260) bytes.
bool DetectBinary(const uint8_t* probe, size_t n);
// The probe as text (cut at its last byte, so at most 259 bytes count):
// "<html" or "<!DOCTYPE HTML", either case, starting below offset 252.
bool DetectHtml(const uint8_t* probe, size_t n);
// The name ends in ".ANI", ".LNK" or ".CUR" in either case.
bool DetectIconName(const char* path);
