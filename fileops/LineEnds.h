#pragma once
// Line-end conversion of text, chunk by chunk, that tells text from binary
// data on the way. No windows.h: the conversion job, the editor and the
// native tests share it.
#include <stddef.h>
#include <stdint.h>

enum : int16_t { kCrLfDos = 122, kCrLfUnix = 123, kCrLfMac = 124 };  // the menu command ids
const int kCrLfBinary = -1234;

struct CrLfChunk {
    const uint8_t* input;
    uint8_t* output;       // room for twice the input size
    uint64_t inputSize;
    int16_t mode;          // kCrLfDos, kCrLfUnix, anything else CR
    uint8_t pendingCr;     // the previous chunk ended in CR
    uint32_t position;
    int32_t outputLength;
};

// 0: text, output and outputLength filled. kCrLfBinary: a byte below 0x20
// other than CR, LF, TAB, FF and 0x1A was met (output undefined).
// CR LF, a lone CR and a lone LF each become one target line end, also when
// a CR LF pair is cut between two chunks. inputSize must stay below 1 GiB
// (the output length is 32-bit).
int CrLfConvertChunk(CrLfChunk* chunk);

// True when the bytes hold none of the control bytes that mark binary data.
bool CrLfIsText(const uint8_t* data, size_t size);
