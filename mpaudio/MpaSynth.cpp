// Polyphase synthesis filter bank, float engine, at full, half and quarter
// rate: a fast DCT per time slot and the ISO/IEC 11172-3 window D.
#include "MpaInternal.h"
#include "MpaSynthTables.h"

#include <math.h>

namespace {

struct DctCoefs {
    float c[6][16]; // c[log2 N][n] = 1 / (2 cos(pi (2n + 1) / (2N)))
};

const DctCoefs& Coefs() {
    static const DctCoefs k = [] {
        DctCoefs t{};
        const double pi = 4.0 * atan(1.0);
        for (int lg = 1; lg <= 5; lg++) {
            int n = 1 << lg;
            for (int i = 0; i < n / 2; i++)
                t.c[lg][i] = (float)(0.5 / cos(pi * (2 * i + 1) / (2.0 * n)));
        }
        return t;
    }();
    return k;
}

template <int N> struct Log2 { static const int value = 1 + Log2<N / 2>::value; };
template <> struct Log2<1> { static const int value = 0; };

// Unnormalised DCT-II, X[m] = sum x[n] cos(pi (2n + 1) m / 2N), by Lee's
// recursive split into sums and scaled differences.
template <int N> struct Dct {
    static inline void Run(const float* x, float* X, const DctCoefs& k) {
        float a[N / 2], b[N / 2], A[N / 2], B[N / 2];
        const float* c = k.c[Log2<N>::value];
        for (int n = 0; n < N / 2; n++) {
            a[n] = x[n] + x[N - 1 - n];
            b[n] = (x[n] - x[N - 1 - n]) * c[n];
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
    static inline void Run(const float* x, float* X, const DctCoefs&) { X[0] = x[0]; }
};

// Window coefficients per rate with the signs of the matrixing folded in:
// output j of a slot is sum over i of wa[i][j] times a value of the slot
// 2i back and wb[i][j] times a value of the slot 2i + 1 back.
struct WindowTable {
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
    const DctCoefs& k = Coefs();
    const WindowTable& w = Window<M>();
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    for (int t = 0; t < slots; t++) {
        int pos = s->pos[ch];
        Dct<M>::Run(sb + t * stride, s->x[ch][pos & 15], k);
        float acc[M];
        for (int j = 0; j < M; j++)
            acc[j] = 0.0f;
        for (int i = 0; i < 8; i++) {
            const float* xa = s->x[ch][(pos - 2 * i) & 15];
            const float* xb = s->x[ch][(pos - 2 * i - 1) & 15];
            const float* wa = w.wa[i];
            const float* wb = w.wb[i];
            for (int j = 0; j < M / 2; j++)
                acc[j] += wa[j] * xa[M / 2 + j] + wb[j] * xb[M / 2 - j];
            acc[M / 2] += wb[M / 2] * xb[0];
            for (int j = M / 2 + 1; j < M; j++)
                acc[j] += wa[j] * xa[3 * M / 2 - j] + wb[j] * xb[j - M / 2];
        }
        s->pos[ch] = (pos + 1) & 15;
        for (int j = 0; j < M; j++) {
            int v = RoundSample(acc[j]);
            if (Bits8)
                o8[j * outStep] = (uint8_t)((v >> 8) + 128);
            else
                o16[j * outStep] = (int16_t)v;
        }
        o16 += M * outStep;
        o8 += M * outStep;
    }
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

void MpaSynthReset(MpaSynthState* s) { memset(s, 0, sizeof(*s)); }
