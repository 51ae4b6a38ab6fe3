// State record and stage interfaces shared by the decoder's files.
#pragma once

#include "MpaDecoder.h"

#include <string.h>

// ---------------------------------------------------------------------------
// Bit reader: bits at and past `limit` (a bit position) read as 0, so a
// damaged frame can never make it touch memory beyond its bytes. Callers
// compare `pos` with their own section ends.
struct MpaBits {
    const uint8_t* data;
    uint32_t pos;
    uint32_t limit;
};

inline void MpaBitsInit(MpaBits* b, const uint8_t* data, size_t bytes) {
    b->data = data;
    b->pos = 0;
    b->limit = (uint32_t)(bytes > 0x10000000u ? 0x10000000u : bytes) * 8u;
}

// The next 32 bits at the reader's byte, not yet aligned to the bit position.
inline uint32_t MpaBitsWord(const MpaBits* b) {
    uint32_t byte = b->pos >> 3;
    uint32_t bytes = (b->limit + 7) >> 3;
    const uint8_t* p = b->data + byte;
    if (byte + 4 <= bytes) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        uint32_t w;
        memcpy(&w, p, 4);
        return __builtin_bswap32(w);
#else
        return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
#endif
    }
    uint32_t w = 0;
    for (uint32_t i = 0; i < 4; i++)
        w = w << 8 | (byte + i < bytes ? p[i] : 0u);
    return w;
}

// The next 64 bits at the reader's byte (57 of them past the bit position),
// zeros past the limit.
inline uint64_t MpaBitsWord64(const MpaBits* b) {
    uint32_t byte = b->pos >> 3;
    uint32_t bytes = (b->limit + 7) >> 3;
    const uint8_t* p = b->data + byte;
    uint64_t w = 0;
    if (byte + 8 <= bytes) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        memcpy(&w, p, 8);
        return __builtin_bswap64(w);
#else
        for (int i = 0; i < 8; i++)
            w = w << 8 | p[i];
        return w;
#endif
    }
    for (uint32_t i = 0; i < 8; i++)
        w = w << 8 | (byte + i < bytes ? p[i] : 0u);
    return w;
}

// Up to 24 bits.
inline uint32_t MpaPeekBits(const MpaBits* b, int n) {
    return (MpaBitsWord(b) << (b->pos & 7)) >> (32 - n);
}

inline uint32_t MpaGetBits(MpaBits* b, int n) {
    if (n <= 0)
        return 0;
    uint32_t v = MpaPeekBits(b, n);
    b->pos += (uint32_t)n;
    return v;
}

inline void MpaSkipBits(MpaBits* b, uint32_t n) { b->pos += n; }

// ---------------------------------------------------------------------------
// Polyphase synthesis (float). Each channel keeps the DCT outputs of its last
// 16 time slots, each laid out twice in the two orders in which the window
// reads them (a: the slot 2i back, b: the slot 2i + 1 back), so that the
// window runs forward through memory.
struct MpaSynthState {
    float x[2][16][64];
    int pos[2];
};

// Writes `slots` time slots of PCM for one channel: reads 32 >> reduction
// subband samples per slot (slot t at sb + t * stride) and writes
// 32 >> reduction samples per slot at out, out + outStep, ...
typedef void (*MpaSynthFn)(MpaSynthState* s, int ch, const float* sb, int stride, int slots, void* out,
                           int outStep);
// Picks the routine for a reduction code (0..2) and output width.
MpaSynthFn MpaSynthRoutine(int reduction, bool bits8);
// Both channels into interleaved output (channel 0 first).
typedef void (*MpaSynthStereoFn)(MpaSynthState* s, const float* sb0, const float* sb1, int stride, int slots,
                                 void* out);
MpaSynthStereoFn MpaSynthStereoRoutine(int reduction, bool bits8);
void SynthReset(MpaSynthState* s);
// The SSE2 routines (MpaSynthRoutine picks them when the vector paths are
// active).
MpaSynthFn MpaSynthRoutineSse2(int reduction, bool bits8);
MpaSynthStereoFn MpaSynthStereoRoutineSse2(int reduction, bool bits8);

// Integer form for the integer engine: subband samples in 16-bit units
// with kMpaIntFracBits fractional bits.
constexpr int kMpaIntFracBits = 8;
struct MpaSynthIntState {
    int32_t x[2][16][32];
    int pos[2];
};
typedef void (*MpaSynthIntFn)(MpaSynthIntState* s, int ch, const int32_t* sb, int stride, int slots, void* out,
                              int outStep);
MpaSynthIntFn MpaSynthIntRoutine(int reduction, bool bits8);
void MpaSynthIntReset(MpaSynthIntState* s);

// ---------------------------------------------------------------------------
// Layers I and II.
struct MpaLayer12State {
    float sb[36][2][32];
    int32_t sbInt[36][2][32];
    int tableIndex; // Layer II allocation table of the current frame
};

// Layer II allocation table number for a header (0..4), -1 when the
// combination of bit rate and mode has none.
int MpaLayer2Table(const MpaHeader* h);
// Decodes one Layer I or II frame's subband samples into the float or
// integer store (12 or 36 time slots). Returns false on a frame that
// cannot be decoded (no allocation table).
bool MpaLayer12Read(MpaDecoder* d, const MpaHeader* h, const uint8_t* frame, size_t frameLen, bool integer);

// ---------------------------------------------------------------------------
// Layer III.
struct L3GranuleChannel {
    int32_t part23Length;
    int32_t bigValues;
    int32_t globalGain;
    int32_t scalefacCompress;
    int32_t windowSwitching;
    int32_t blockType;
    int32_t mixedBlock;
    int32_t tableSelect[3];
    int32_t subblockGain[3];
    int32_t region0Count;
    int32_t region1Count;
    int32_t preflag;
    int32_t scalefacScale;
    int32_t count1TableSelect;
};

struct L3SideInfo {
    int32_t mainDataBegin;
    int32_t scfsi[2];
    L3GranuleChannel granule[2][2];
};

struct L3ScaleFactors {
    uint8_t longSf[23];
    uint8_t shortSf[3][13];
};

// Intensity stereo of the low sampling frequencies: per band the position
// that marks "not intensity coded" (2^slen - 1 of the band's partition).
struct L3IntensityInfo {
    uint8_t illegalLong[23];
    uint8_t illegalShort[13];
    int32_t scale;
};

// Main data kept from earlier frames: MPEG-1 reaches back at most 511 bytes.
constexpr int kL3MaxBackBytes = 511;
constexpr int kL3ReservoirBytes = kL3MaxBackBytes + kMpaMaxFrameBytes;
constexpr int kL3GuardBytes = 16;

// The hybrid filter bank's routine (L3Hybrid or its SSE2 form).
typedef void (*L3HybridFn)(const float* xr, int nonZero, const L3GranuleChannel* gc, int mixedLongLines,
                           float overlap[18][32], float out[18][32]);

struct L3State {
    uint8_t reservoir[kL3ReservoirBytes + kL3GuardBytes];
    int fill;
    L3SideInfo side;
    L3ScaleFactors sf[2][2]; // [granule][channel]
    L3IntensityInfo intensity;
    int32_t ix[576];
    float xr[2][576];
    float overlap[2][18][32]; // [channel][sample][subband]
    float hybridOut[2][18][32];
    float mixOut[18][32];
    int nonZero[2];       // lines of xr that may be non-zero, per channel
    const int16_t* longBands;  // 23 boundaries
    const int16_t* shortBands; // 14 boundaries
    int lsf;
    int mpeg25;
    int channels;
    int msStereo;
    int intensityStereo;
    int mixedLongLines; // lines of the long part of a mixed block
    L3HybridFn hybrid;
};

bool L3DecoderInit(MpaDecoder* d);
MpaResult L3DecodeFrame(MpaDecoder* d, const MpaHeader* h, const uint8_t* frame, size_t frameLen, void* out);

// Stages of one granule and channel.
bool L3ReadSideInfo(MpaBits* br, const MpaHeader* h, L3SideInfo* si, int channels, int lsf);
void L3ScaleFactorsMpeg1(MpaBits* br, L3ScaleFactors* sf, const L3ScaleFactors* sfGranule0,
                             const L3GranuleChannel* gc, int scfsi, int granule);
void L3ScaleFactorsLsf(MpaBits* br, L3ScaleFactors* sf, L3GranuleChannel* gc, bool intensityChannel,
                           L3IntensityInfo* ii);
// Decodes the Huffman data of a granule into ix[576]; returns the number of
// lines that may be non-zero. `end` is the bit position where the granule's
// data ends.
int L3ReadHuffman(MpaBits* br, uint32_t end, const L3GranuleChannel* gc, const int16_t* longBands, int32_t* ix);
// Returns the count of lines that may be non-zero after requantisation.
int L3Dequantize(const int32_t* ix, int nonZero, const L3GranuleChannel* gc, const L3ScaleFactors* sf,
                 const L3State* st, float* xr);
void L3Stereo(L3State* st, int granule);
// Interleaves the three windows of short bands line by line (3k + w).
void L3Reorder(float* xr, const L3GranuleChannel* gc, const L3State* st, int nonZero);
void L3Antialias(float* xr, int subbands);
// IMDCT, windowing, overlap-add and frequency inversion of one channel:
// writes out[18][32]. L3DecoderInit picks it or L3HybridSse2.
void L3Hybrid(const float* xr, int nonZero, const L3GranuleChannel* gc, int mixedLongLines, float overlap[18][32],
              float out[18][32]);
void L3HybridSse2(const float* xr, int nonZero, const L3GranuleChannel* gc, int mixedLongLines,
                  float overlap[18][32], float out[18][32]);
void L3TablesInit();

// Quantised magnitude to the power 4/3 (0..8206).
extern float gL3Pow43[8207];

// ---------------------------------------------------------------------------
// 8000-Hz variant.
struct MpaNarrowState {
    int16_t pcm[1152];
    int outCode; // 1: 16-bit, 2: 8-bit, 3: mu-law
    int inRate;  // decimated input rate in Hz
    int samplesPerFrame;
    int64_t position; // next output's input position, in 1/8000 of a sample, from this frame's first
    int prev;         // last sample of the previous frame
};

// ---------------------------------------------------------------------------
struct MpaDecoder {
    MpaHeader header;
    MpaStreamInfo info;
    int engine; // 0 float, 1 integer
    int layer;  // 1, 2 or 3
    int frameBytes;
    int reduction;
    int conversion;
    int k;            // output channel configuration: 0 mono stream, 1 both, 2 mixed, 3 left, 4 right
    int kFrame;       // the same for the current frame; 5: a one-channel frame into two outputs
    int outChannels;
    int bits8;
    int channels;     // coded channels
    int subbandLimit; // subbands decoded (per channel)
    int samplesPerFrame;
    int outputBytes;
    int sampleRate;
    MpaSynthFn synth;
    MpaSynthStereoFn synthStereo;
    MpaSynthIntFn synthInt;
    MpaSynthState synthState;
    MpaSynthIntState synthIntState;
    MpaLayer12State l12;
    L3State l3;
    MpaNarrowState narrow;
};

// Shared tables of the header parser.
int MpaSampleRate(const MpaHeader* h);
int MpaBitrateKbps(const MpaHeader* h);
// Frame length with padding of a header with a table bit rate; 0 for free
// format or an invalid header.
int MpaFrameLength(const MpaHeader* h);
// Copies the even (left) samples of interleaved output to the odd ones.
void MpaDuplicateChannel(uint8_t* out, int samples, bool bits8);
