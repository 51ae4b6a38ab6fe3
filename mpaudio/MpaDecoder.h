// MPEG-1, 2 and 2.5 audio decoder, Layers I, II and III.
//
// The caller owns one MpaDecoder record per stream (it is large but fixed:
// nothing is allocated while decoding). Pick an engine from MpaEngines, call
// init with the first frame's header, then decode frame after frame.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct MpaHeader {
    int32_t syncKind; // 1: MPEG-1/2 sync, 2: MPEG 2.5 sync, 0: no header
    int32_t id;       // 1 = MPEG-1, 0 = MPEG-2 or 2.5
    int32_t layerCode; // 3 = Layer I, 2 = Layer II, 1 = Layer III
    int32_t protectionBit;
    int32_t bitrateIndex;
    int32_t sampleRateIndex;
    int32_t paddingBit;
    int32_t privateBit;
    int32_t mode;
    int32_t modeExtension;
    int32_t copyFlag;
    int32_t original;
    int32_t emphasis;
};
static_assert(sizeof(MpaHeader) == 52, "MpaHeader is thirteen 32-bit fields");

struct MpaStreamInfo {
    int32_t channels;
    int32_t valuesPerFrame;
    int32_t sampleRate;
    int32_t bits;
    int32_t frameBytes;
    int32_t reserved; // 10: the output is mu-law
};

// Largest frame any engine accepts (Layer II at 384 kbit/s and 32 kHz takes
// 1729 bytes; free format is refused above this).
constexpr int kMpaMaxFrameBytes = 4096;
// Largest decode output: 1152 samples x 2 channels x 16 bits.
constexpr int kMpaMaxOutputBytes = 4608;

struct MpaDecoder;

// Low 32 bits: bytes consumed (0 = no frame accepted here); high 32 bits:
// bytes written.
typedef uint64_t MpaResult;
inline uint32_t MpaConsumed(MpaResult r) { return (uint32_t)r; }
inline uint32_t MpaProduced(MpaResult r) { return (uint32_t)(r >> 32); }

struct MpaEngine {
    // 1 when the engine is set up for the stream, 0 when it cannot decode it.
    // reductionCode 0/1/2: full, half, quarter rate. conversionCode low two
    // bits: 0 channels as coded, 1 mix to mono, 2 left, 3 right; value 8:
    // 8-bit unsigned output. frequencyLimit in Hz bounds the decoded subbands.
    int (*init)(MpaDecoder* d, const MpaHeader* h, int frameBytes, int reductionCode, int transformCode,
                int conversionCode, int frequencyLimit);
    void (*info)(const MpaDecoder* d, MpaStreamInfo* out);
    // `length` is how many bytes are readable at `frame`; a frame that does
    // not fit is not decoded. `out` must hold kMpaMaxOutputBytes.
    MpaResult (*decode)(MpaDecoder* d, const uint8_t* frame, size_t length, void* out);
};

// 0 float engine, 1 the 8000-Hz variant, 2 the integer engine (Layers I and
// II), 3 the 8000-Hz variant again.
extern const MpaEngine MpaEngines[4];

// Fills the header fields from four bytes; false without a sync word.
bool MpaReadHeader(const uint8_t* p, MpaHeader* h);
// Frame length in bytes without the padding slot; 0 when no header starts
// at `bytes`.
int MpaParseHeader(const uint8_t* bytes, size_t length, MpaHeader* h);
// The same, with the bit rate in bits per second (derived for free format).
int MpaParseFrame(const uint8_t* bytes, size_t length, MpaHeader* h, int32_t* bitrate);
// The first frame whose sync lies within the bytes; 0 when none.
int MpaFindFrame(const uint8_t* bytes, size_t length, MpaHeader* h, int32_t* bitrate, size_t* offset);
// Padding bytes of a frame with this header (4 for Layer I, else 1, when set).
int MpaPaddingBytes(const MpaHeader* h);

// The decoder runs SSE2 routines where the processor has SSE2 and the
// system saves its registers, plain C routines elsewhere. Passing false
// keeps every decoder set up afterwards on the C routines (the tests run
// both); the choice is made when a decoder is set up for a stream.
void MpaSetVectorPaths(bool allowed);
bool MpaVectorPathsActive();

// Creates and frees a decoder record (the record is about 70 KB; a caller may
// also place one in static storage).
MpaDecoder* MpaDecoderCreate();
void MpaDecoderDestroy(MpaDecoder* d);
