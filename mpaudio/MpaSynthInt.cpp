// Polyphase synthesis in fixed point for the integer engine: the same DCT
// and window as the float form, with Q20 DCT coefficients, the window in its
// exact 2^-16 units and 64-bit products. Subband samples reach at most 2^25
// (scale factor 2.0 in Q8), the DCT grows them by less than 2^12, so no
// product exceeds 2^61 whatever a damaged stream holds.
#include "MpaInternal.h"
#include "MpaSynthTables.h"

#include <math.h>

namespace {

constexpr int kCoefBits = 20;

struct DctCoefsInt {
    int32_t c[6][16];
};

const DctCoefsInt& Coefs() {
    static const DctCoefsInt k = [] {
        DctCoefsInt t{};
        const double pi = 4.0 * atan(1.0);
        for (int lg = 1; lg <= 5; lg++) {
            int n = 1 << lg;
            for (int i = 0; i < n / 2; i++)
                t.c[lg][i] = (int32_t)floor((1 << kCoefBits) * 0.5 / cos(pi * (2 * i + 1) / (2.0 * n)) + 0.5);
        }
        return t;
    }();
    return k;
}

template <int N> struct Log2 { static const int value = 1 + Log2<N / 2>::value; };
template <> struct Log2<1> { static const int value = 0; };

template <int N> struct Dct {
    static inline void Run(const int64_t* x, int64_t* X, const DctCoefsInt& k) {
        int64_t a[N / 2], b[N / 2], A[N / 2], B[N / 2];
        const int32_t* c = k.c[Log2<N>::value];
        for (int n = 0; n < N / 2; n++) {
            a[n] = x[n] + x[N - 1 - n];
            b[n] = ((x[n] - x[N - 1 - n]) * c[n]) >> kCoefBits;
        }
        Dct<N / 2>::Run(a, A, k);
        Dct<N / 2>::Run(b, B, k);
        for (int m = 0; m < N / 2 - 1; m++) {
            X[2 * m] = A[m];
            X[2 * m + 1] = B[m] + B[m + 1];
        }
        X[N - 2] = A[N / 2 - 1];
        X[N - 1] = B[N / 2 - 1];
    }
};
template <> struct Dct<1> {
    static inline void Run(const int64_t* x, int64_t* X, const DctCoefsInt&) { X[0] = x[0]; }
};

struct WindowTableInt {
    int32_t wa[8][32];
    int32_t wb[8][32];
};

template <int M> const WindowTableInt& Window() {
    static const WindowTableInt w = [] {
        WindowTableInt t{};
        const int step = 32 / M;
        for (int i = 0; i < 8; i++) {
            for (int j = 0; j < M; j++) {
                int32_t da = kMpaSynthWindow[(2 * M * i + j) * step];
                int32_t db = kMpaSynthWindow[(2 * M * i + M + j) * step];
                t.wa[i][j] = j < M / 2 ? da : j == M / 2 ? 0 : -da;
                t.wb[i][j] = -db;
            }
        }
        return t;
    }();
    return w;
}

// DCT outputs are kept in 32 bits, saturated: a legal stream stays far
// inside, a damaged one only clips.
inline int32_t Saturate32(int64_t v) {
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return (int32_t)v;
}

template <int M, bool Bits8>
void SynthInt(MpaSynthIntState* s, int ch, const int32_t* sb, int stride, int slots, void* out, int outStep) {
    const DctCoefsInt& k = Coefs();
    const WindowTableInt& w = Window<M>();
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    const int shift = 16 + kMpaIntFracBits;
    for (int t = 0; t < slots; t++) {
        int pos = s->pos[ch];
        int64_t in[M], X[M];
        for (int i = 0; i < M; i++)
            in[i] = sb[t * stride + i];
        Dct<M>::Run(in, X, k);
        int32_t* dst = s->x[ch][pos & 15];
        for (int i = 0; i < M; i++)
            dst[i] = Saturate32(X[i]);
        int64_t acc[M];
        for (int j = 0; j < M; j++)
            acc[j] = 0;
        for (int i = 0; i < 8; i++) {
            const int32_t* xa = s->x[ch][(pos - 2 * i) & 15];
            const int32_t* xb = s->x[ch][(pos - 2 * i - 1) & 15];
            const int32_t* wa = w.wa[i];
            const int32_t* wb = w.wb[i];
            for (int j = 0; j < M / 2; j++)
                acc[j] += (int64_t)wa[j] * xa[M / 2 + j] + (int64_t)wb[j] * xb[M / 2 - j];
            acc[M / 2] += (int64_t)wb[M / 2] * xb[0];
            for (int j = M / 2 + 1; j < M; j++)
                acc[j] += (int64_t)wa[j] * xa[3 * M / 2 - j] + (int64_t)wb[j] * xb[j - M / 2];
        }
        s->pos[ch] = (pos + 1) & 15;
        for (int j = 0; j < M; j++) {
            int64_t v = (acc[j] + ((int64_t)1 << (shift - 1))) >> shift;
            if (v > 32767)
                v = 32767;
            if (v < -32768)
                v = -32768;
            if (Bits8)
                o8[j * outStep] = (uint8_t)(((int)v >> 8) + 128);
            else
                o16[j * outStep] = (int16_t)v;
        }
        o16 += M * outStep;
        o8 += M * outStep;
    }
}

} // namespace

MpaSynthIntFn MpaSynthIntRoutine(int reduction, bool bits8) {
    static const MpaSynthIntFn kTable[2][3] = {
        {SynthInt<32, false>, SynthInt<16, false>, SynthInt<8, false>},
        {SynthInt<32, true>, SynthInt<16, true>, SynthInt<8, true>},
    };
    if (reduction < 0)
        reduction = 0;
    if (reduction > 2)
        reduction = 2;
    return kTable[bits8 ? 1 : 0][reduction];
}

void MpaSynthIntReset(MpaSynthIntState* s) { memset(s, 0, sizeof(*s)); }
