// Polyphase synthesis filter bank, float engine, SSE2 routines: the fast
// DCT runs on four time slots at once (one slot per vector lane), the
// window on four outputs at once. The i686 build compiles this file alone
// for SSE2; the decoder picks these routines only where the processor has
// SSE2 and the system saves its registers (MpaVectorPathsActive).
#include "MpaSynthCore.h"

#include <emmintrin.h>

namespace {

// The vector type of the DCT: __m128 without its aliasing attribute, which
// a template argument cannot carry.
typedef float V4 __attribute__((vector_size(16)));

// The DCT factors as vectors, built from the shared table once.
const V4* VectorFactors() {
    static const struct F {
        V4 v[32];
        F() {
            const float* f = MpaDctFactors();
            for (int i = 0; i < 32; i++)
                v[i] = _mm_set1_ps(f[i]);
        }
    } f;
    return f.v;
}

// DCT of the slots t0 .. t0 + 3 (a slot past the last repeats it; its
// output is not used) into X[lane][M].
template <int M> MPA_INLINE void DctFour(const float* sb, int stride, int t0, int slots, const V4* k, float (*X)[32]) {
    const float* row[4];
    for (int l = 0; l < 4; l++)
        row[l] = sb + (t0 + l < slots ? t0 + l : slots - 1) * stride;
    V4 in[M], y[M];
    for (int i = 0; i < M; i += 4) {
        __m128 r0 = _mm_loadu_ps(row[0] + i), r1 = _mm_loadu_ps(row[1] + i);
        __m128 r2 = _mm_loadu_ps(row[2] + i), r3 = _mm_loadu_ps(row[3] + i);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        in[i] = r0;
        in[i + 1] = r1;
        in[i + 2] = r2;
        in[i + 3] = r3;
    }
    LeeDct<M, V4>::Run(in, y, k);
    for (int i = 0; i < M; i += 4) {
        __m128 r0 = y[i], r1 = y[i + 1], r2 = y[i + 2], r3 = y[i + 3];
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_store_ps(X[0] + i, r0);
        _mm_store_ps(X[1] + i, r1);
        _mm_store_ps(X[2] + i, r2);
        _mm_store_ps(X[3] + i, r3);
    }
}

// Eight outputs j .. j + 7 of one channel's window at history position pos,
// as saturated 16-bit values. The history is read unaligned: a caller may
// place the decoder record anywhere. Conversion rounds to nearest (even on a tie)
// after clamping.
MPA_INLINE __m128i WindowEight(const MpaSynthState* s, int ch, int pos, const MpaSynthWindowTable& w, int j) {
    __m128 acc0 = _mm_setzero_ps(), acc1 = _mm_setzero_ps();
    for (int i = 0; i < 8; i++) {
        const float* xa = s->x[ch][(pos - 2 * i) & 15] + j;
        const float* xb = s->x[ch][(pos - 2 * i - 1) & 15] + 32 + j;
        const float* wa = w.wa[i] + j;
        const float* wb = w.wb[i] + j;
        acc0 = _mm_add_ps(acc0, _mm_add_ps(_mm_mul_ps(_mm_load_ps(wa), _mm_loadu_ps(xa)),
                                           _mm_mul_ps(_mm_load_ps(wb), _mm_loadu_ps(xb))));
        acc1 = _mm_add_ps(acc1, _mm_add_ps(_mm_mul_ps(_mm_load_ps(wa + 4), _mm_loadu_ps(xa + 4)),
                                           _mm_mul_ps(_mm_load_ps(wb + 4), _mm_loadu_ps(xb + 4))));
    }
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    acc0 = _mm_min_ps(_mm_max_ps(acc0, lo), hi);
    acc1 = _mm_min_ps(_mm_max_ps(acc1, lo), hi);
    return _mm_packs_epi32(_mm_cvtps_epi32(acc0), _mm_cvtps_epi32(acc1));
}

// The quarter rate has eight outputs per slot; the other rates a multiple.
template <int M, bool Bits8>
void Synth(MpaSynthState* s, int ch, const float* sb, int stride, int slots, void* out, int outStep) {
    const V4* k = VectorFactors();
    const MpaSynthWindowTable& w = MpaSynthWindow(M);
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    alignas(16) float X[4][32];
    for (int t0 = 0; t0 < slots; t0 += 4) {
        DctFour<M>(sb, stride, t0, slots, k, X);
        const int n = slots - t0 < 4 ? slots - t0 : 4;
        for (int l = 0; l < n; l++) {
            const int pos = s->pos[ch];
            StoreSlot<M>(s->x[ch][pos], X[l]);
            s->pos[ch] = (pos + 1) & 15;
            alignas(16) int16_t pcm[M];
            for (int j = 0; j < M; j += 8)
                _mm_store_si128((__m128i*)(pcm + j), WindowEight(s, ch, pos, w, j));
            for (int j = 0; j < M; j++) {
                if (Bits8)
                    o8[j * outStep] = (uint8_t)((pcm[j] >> 8) + 128);
                else
                    o16[j * outStep] = pcm[j];
            }
            o16 += M * outStep;
            o8 += M * outStep;
        }
    }
}

// Both channels of a stereo output: the window coefficients are loaded
// once for the two, and the samples are interleaved in registers.
template <int M, bool Bits8>
void SynthStereo(MpaSynthState* s, const float* sb0, const float* sb1, int stride, int slots, void* out) {
    const V4* k = VectorFactors();
    const MpaSynthWindowTable& w = MpaSynthWindow(M);
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    alignas(16) float X0[4][32], X1[4][32];
    for (int t0 = 0; t0 < slots; t0 += 4) {
        DctFour<M>(sb0, stride, t0, slots, k, X0);
        DctFour<M>(sb1, stride, t0, slots, k, X1);
        const int n = slots - t0 < 4 ? slots - t0 : 4;
        for (int l = 0; l < n; l++) {
            const int pos0 = s->pos[0], pos1 = s->pos[1];
            StoreSlot<M>(s->x[0][pos0], X0[l]);
            StoreSlot<M>(s->x[1][pos1], X1[l]);
            s->pos[0] = (pos0 + 1) & 15;
            s->pos[1] = (pos1 + 1) & 15;
            alignas(16) int16_t pcm[2 * M];
            for (int j = 0; j < M; j += 8) {
                __m128 l0 = _mm_setzero_ps(), l1 = _mm_setzero_ps(), r0 = _mm_setzero_ps(), r1 = _mm_setzero_ps();
                for (int i = 0; i < 8; i++) {
                    const __m128 wa0 = _mm_load_ps(w.wa[i] + j), wa1 = _mm_load_ps(w.wa[i] + j + 4);
                    const __m128 wb0 = _mm_load_ps(w.wb[i] + j), wb1 = _mm_load_ps(w.wb[i] + j + 4);
                    const float* xa = s->x[0][(pos0 - 2 * i) & 15] + j;
                    const float* xb = s->x[0][(pos0 - 2 * i - 1) & 15] + 32 + j;
                    l0 = _mm_add_ps(l0, _mm_add_ps(_mm_mul_ps(wa0, _mm_loadu_ps(xa)), _mm_mul_ps(wb0, _mm_loadu_ps(xb))));
                    l1 = _mm_add_ps(l1, _mm_add_ps(_mm_mul_ps(wa1, _mm_loadu_ps(xa + 4)),
                                                   _mm_mul_ps(wb1, _mm_loadu_ps(xb + 4))));
                    xa = s->x[1][(pos1 - 2 * i) & 15] + j;
                    xb = s->x[1][(pos1 - 2 * i - 1) & 15] + 32 + j;
                    r0 = _mm_add_ps(r0, _mm_add_ps(_mm_mul_ps(wa0, _mm_loadu_ps(xa)), _mm_mul_ps(wb0, _mm_loadu_ps(xb))));
                    r1 = _mm_add_ps(r1, _mm_add_ps(_mm_mul_ps(wa1, _mm_loadu_ps(xa + 4)),
                                                   _mm_mul_ps(wb1, _mm_loadu_ps(xb + 4))));
                }
                __m128i vl = _mm_packs_epi32(_mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(l0, lo), hi)),
                                             _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(l1, lo), hi)));
                __m128i vr = _mm_packs_epi32(_mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(r0, lo), hi)),
                                             _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(r1, lo), hi)));
                _mm_store_si128((__m128i*)(pcm + 2 * j), _mm_unpacklo_epi16(vl, vr));
                _mm_store_si128((__m128i*)(pcm + 2 * j + 8), _mm_unpackhi_epi16(vl, vr));
            }
            if (Bits8) {
                for (int j = 0; j < 2 * M; j++)
                    o8[j] = (uint8_t)((pcm[j] >> 8) + 128);
                o8 += 2 * M;
            } else {
                memcpy(o16, pcm, sizeof(pcm));
                o16 += 2 * M;
            }
        }
    }
}

} // namespace

MpaSynthFn MpaSynthRoutineSse2(int reduction, bool bits8) {
    static const MpaSynthFn kTable[2][3] = {
        {Synth<32, false>, Synth<16, false>, Synth<8, false>},
        {Synth<32, true>, Synth<16, true>, Synth<8, true>},
    };
    if (reduction < 0)
        reduction = 0;
    if (reduction > 2)
        reduction = 2;
    return kTable[bits8 ? 1 : 0][reduction];
}

MpaSynthStereoFn MpaSynthStereoRoutineSse2(int reduction, bool bits8) {
    static const MpaSynthStereoFn kTable[2][3] = {
        {SynthStereo<32, false>, SynthStereo<16, false>, SynthStereo<8, false>},
        {SynthStereo<32, true>, SynthStereo<16, true>, SynthStereo<8, true>},
    };
    if (reduction < 0)
        reduction = 0;
    if (reduction > 2)
        reduction = 2;
    return kTable[bits8 ? 1 : 0][reduction];
}
