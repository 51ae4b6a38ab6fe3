// Polyphase synthesis filter bank, float engine, at full, half and quarter
// rate: a fast DCT per time slot and the ISO/IEC 11172-3 window D.
#include "MpaInternal.h"
#include "MpaSynthTables.h"

#include <math.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__GNUC__)
#define MPA_INLINE inline __attribute__((always_inline))
#else
#define MPA_INLINE inline
#endif

namespace {

// Unnormalised DCT-II, X[m] = sum x[n] cos(pi (2n + 1) m / 2N), split into
// even and odd outputs: the even ones are the half-size DCT of the sums
// x[n] + x[N - 1 - n], the odd ones a half-size matrix over the
// differences. The matrices are applied column by column so that the inner
// loops run over contiguous outputs and vectorise without reassociation.
struct DctTables {
    float odd32[16][16]; // [n][m] = cos(pi (2n + 1)(2m + 1) / 64)
    float odd16[8][8];
    float odd8[4][4];
    float even4[4][4];   // [n][m] = cos(pi (2n + 1) m / 8)
};

const DctTables& Coefs() {
    static const DctTables k = [] {
        DctTables t{};
        const double pi = 4.0 * atan(1.0);
        for (int n = 0; n < 16; n++)
            for (int m = 0; m < 16; m++)
                t.odd32[n][m] = (float)cos(pi * (2 * n + 1) * (2 * m + 1) / 64.0);
        for (int n = 0; n < 8; n++)
            for (int m = 0; m < 8; m++)
                t.odd16[n][m] = (float)cos(pi * (2 * n + 1) * (2 * m + 1) / 32.0);
        for (int n = 0; n < 4; n++)
            for (int m = 0; m < 4; m++) {
                t.odd8[n][m] = (float)cos(pi * (2 * n + 1) * (2 * m + 1) / 16.0);
                t.even4[n][m] = (float)cos(pi * (2 * n + 1) * m / 8.0);
            }
        return t;
    }();
    return k;
}

template <int N> MPA_INLINE const float (*OddMatrix(const DctTables& k))[N / 2];
template <> MPA_INLINE const float (*OddMatrix<32>(const DctTables& k))[16] { return k.odd32; }
template <> MPA_INLINE const float (*OddMatrix<16>(const DctTables& k))[8] { return k.odd16; }
template <> MPA_INLINE const float (*OddMatrix<8>(const DctTables& k))[4] { return k.odd8; }

template <int N> struct Dct {
    static MPA_INLINE void Run(const float* x, float* X, const DctTables& k) {
        float a[N / 2], b[N / 2], even[N / 2], odd[N / 2];
        for (int n = 0; n < N / 2; n++) {
            a[n] = x[n] + x[N - 1 - n];
            b[n] = x[n] - x[N - 1 - n];
        }
        const float(*c)[N / 2] = OddMatrix<N>(k);
        for (int m = 0; m < N / 2; m++)
            odd[m] = 0.0f;
        for (int n = 0; n < N / 2; n++)
            for (int m = 0; m < N / 2; m++)
                odd[m] += b[n] * c[n][m];
        Dct<N / 2>::Run(a, even, k);
        for (int m = 0; m < N / 2; m++) {
            X[2 * m] = even[m];
            X[2 * m + 1] = odd[m];
        }
    }
};
template <> struct Dct<4> {
    static MPA_INLINE void Run(const float* x, float* X, const DctTables& k) {
        for (int m = 0; m < 4; m++)
            X[m] = 0.0f;
        for (int n = 0; n < 4; n++)
            for (int m = 0; m < 4; m++)
                X[m] += x[n] * k.even4[n][m];
    }
};

// Window coefficients per rate with the signs of the matrixing folded in:
// output j of a slot is sum over i of wa[i][j] times a value of the slot
// 2i back and wb[i][j] times a value of the slot 2i + 1 back.
struct alignas(16) WindowTable {
    float wa[8][32];
    float wb[8][32];
};

template <int M> const WindowTable& Window() {
    static const WindowTable w = [] {
        WindowTable t{};
        const int step = 32 / M;
        for (int i = 0; i < 8; i++) {
            for (int j = 0; j < M; j++) {
                double da = kMpaSynthWindow[(2 * M * i + j) * step] / 65536.0;
                double db = kMpaSynthWindow[(2 * M * i + M + j) * step] / 65536.0;
                t.wa[i][j] = (float)(j < M / 2 ? da : j == M / 2 ? 0.0 : -da);
                t.wb[i][j] = (float)-db;
            }
        }
        return t;
    }();
    return w;
}

inline int RoundSample(float v) {
    if (v > 32767.0f)
        v = 32767.0f;
    if (v < -32768.0f)
        v = -32768.0f;
    return (int)(v + (v >= 0.0f ? 0.5f : -0.5f));
}

template <int M, bool Bits8>
void Synth(MpaSynthState* s, int ch, const float* sb, int stride, int slots, void* out, int outStep) {
    const DctTables& k = Coefs();
    const WindowTable& w = Window<M>();
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    for (int t = 0; t < slots; t++) {
        int pos = s->pos[ch];
        float X[M];
        Dct<M>::Run(sb + t * stride, X, k);
        // a[j] = X[M/2 + j], 0 at M/2, X[3M/2 - j] above; b[j] = X[|M/2 - j|].
        float* a = s->x[ch][pos & 15];
        float* b = a + 32;
        for (int j = 0; j < M / 2; j++) {
            a[j] = X[M / 2 + j];
            a[M / 2 + 1 + j] = X[M - 1 - j];
            b[j] = X[M / 2 - j];
            b[M / 2 + j] = X[j];
        }
        a[M / 2] = 0.0f;
        s->pos[ch] = (pos + 1) & 15;
#if defined(__SSE2__)
        // Four outputs at a time; conversion rounds to nearest (even on a
        // tie) after clamping, the pack saturates to 16 bits.
        alignas(16) int16_t pcm[M];
        const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
        for (int j = 0; j < M; j += 8) {
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
            acc0 = _mm_min_ps(_mm_max_ps(acc0, lo), hi);
            acc1 = _mm_min_ps(_mm_max_ps(acc1, lo), hi);
            __m128i v = _mm_packs_epi32(_mm_cvtps_epi32(acc0), _mm_cvtps_epi32(acc1));
            _mm_store_si128((__m128i*)(pcm + j), v);
        }
        for (int j = 0; j < M; j++) {
            if (Bits8)
                o8[j * outStep] = (uint8_t)((pcm[j] >> 8) + 128);
            else
                o16[j * outStep] = pcm[j];
        }
#else
        float acc[M];
        for (int j = 0; j < M; j++)
            acc[j] = 0.0f;
        for (int i = 0; i < 8; i++) {
            const float* xa = s->x[ch][(pos - 2 * i) & 15];
            const float* xb = s->x[ch][(pos - 2 * i - 1) & 15] + 32;
            const float* wa = w.wa[i];
            const float* wb = w.wb[i];
            for (int j = 0; j < M; j++)
                acc[j] += wa[j] * xa[j] + wb[j] * xb[j];
        }
        for (int j = 0; j < M; j++) {
            int v = RoundSample(acc[j]);
            if (Bits8)
                o8[j * outStep] = (uint8_t)((v >> 8) + 128);
            else
                o16[j * outStep] = (int16_t)v;
        }
#endif
        o16 += M * outStep;
        o8 += M * outStep;
    }
}

// Both channels of a stereo output in one pass: the window coefficients
// are loaded once for the two, and the samples are interleaved in
// registers.
template <int M, bool Bits8>
void SynthStereo(MpaSynthState* s, const float* sb0, const float* sb1, int stride, int slots, void* out) {
#if defined(__SSE2__)
    const DctTables& k = Coefs();
    const WindowTable& w = Window<M>();
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    for (int t = 0; t < slots; t++) {
        const int pos0 = s->pos[0], pos1 = s->pos[1];
        for (int ch = 0; ch < 2; ch++) {
            float X[M];
            Dct<M>::Run((ch ? sb1 : sb0) + t * stride, X, k);
            float* a = s->x[ch][(ch ? pos1 : pos0) & 15];
            float* b = a + 32;
            for (int j = 0; j < M / 2; j++) {
                a[j] = X[M / 2 + j];
                a[M / 2 + 1 + j] = X[M - 1 - j];
                b[j] = X[M / 2 - j];
                b[M / 2 + j] = X[j];
            }
            a[M / 2] = 0.0f;
        }
        s->pos[0] = (pos0 + 1) & 15;
        s->pos[1] = (pos1 + 1) & 15;
        alignas(16) int16_t pcm[2 * M];
        for (int j = 0; j < M; j += 8) {
            __m128 l0 = _mm_setzero_ps(), l1 = _mm_setzero_ps(), r0 = _mm_setzero_ps(), r1 = _mm_setzero_ps();
            for (int i = 0; i < 8; i++) {
                const int pa = (pos0 - 2 * i) & 15, pb = (pos0 - 2 * i - 1) & 15;
                const int qa = (pos1 - 2 * i) & 15, qb = (pos1 - 2 * i - 1) & 15;
                const __m128 wa0 = _mm_load_ps(w.wa[i] + j), wa1 = _mm_load_ps(w.wa[i] + j + 4);
                const __m128 wb0 = _mm_load_ps(w.wb[i] + j), wb1 = _mm_load_ps(w.wb[i] + j + 4);
                const float* xa = s->x[0][pa] + j;
                const float* xb = s->x[0][pb] + 32 + j;
                l0 = _mm_add_ps(l0, _mm_add_ps(_mm_mul_ps(wa0, _mm_loadu_ps(xa)), _mm_mul_ps(wb0, _mm_loadu_ps(xb))));
                l1 = _mm_add_ps(l1, _mm_add_ps(_mm_mul_ps(wa1, _mm_loadu_ps(xa + 4)),
                                               _mm_mul_ps(wb1, _mm_loadu_ps(xb + 4))));
                xa = s->x[1][qa] + j;
                xb = s->x[1][qb] + 32 + j;
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
#else
    Synth<M, Bits8>(s, 0, sb0, stride, slots, out, 2);
    Synth<M, Bits8>(s, 1, sb1, stride, slots, (uint8_t*)out + (Bits8 ? 1 : 2), 2);
#endif
}

} // namespace

MpaSynthFn MpaSynthRoutine(int reduction, bool bits8) {
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

MpaSynthStereoFn MpaSynthStereoRoutine(int reduction, bool bits8) {
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

void SynthReset(MpaSynthState* s) { memset(s, 0, sizeof(*s)); }
