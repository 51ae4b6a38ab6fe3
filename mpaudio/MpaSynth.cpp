// Polyphase synthesis filter bank, float engine, at full, half and quarter
// rate: a fast DCT per time slot and the ISO/IEC 11172-3 window D.
#include "MpaSynthCore.h"
#include "MpaSynthTables.h"

#include <math.h>

template <int M> static const MpaSynthWindowTable& WindowFor() {
    static const MpaSynthWindowTable w = [] {
        MpaSynthWindowTable t{};
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

const MpaSynthWindowTable& MpaSynthWindow(int outputs) {
    return outputs == 32 ? WindowFor<32>() : outputs == 16 ? WindowFor<16>() : WindowFor<8>();
}

const float* MpaDctFactors() {
    static const struct F {
        float v[32];
        F() : v() {
            const double pi = 4.0 * atan(1.0);
            for (int n2 = 32; n2 >= 2; n2 /= 2)
                for (int n = 0; n < n2 / 2; n++)
                    v[32 - n2 + n] = (float)(0.5 / cos(pi * (2 * n + 1) / (2.0 * n2)));
        }
    } f;
    return f.v;
}

namespace {

inline int RoundSample(float v) {
    if (v > 32767.0f)
        v = 32767.0f;
    if (v < -32768.0f)
        v = -32768.0f;
    return (int)(v + (v >= 0.0f ? 0.5f : -0.5f));
}

template <int M, bool Bits8>
void Synth(MpaSynthState* s, int ch, const float* sb, int stride, int slots, void* out, int outStep) {
    const float* k = MpaDctFactors();
    const MpaSynthWindowTable& w = MpaSynthWindow(M);
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    for (int t = 0; t < slots; t++) {
        int pos = s->pos[ch];
        float X[M];
        LeeDct<M, float>::Run(sb + t * stride, X, k);
        StoreSlot<M>(s->x[ch][pos & 15], X);
        s->pos[ch] = (pos + 1) & 15;
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
        o16 += M * outStep;
        o8 += M * outStep;
    }
}

template <int M, bool Bits8>
void SynthStereo(MpaSynthState* s, const float* sb0, const float* sb1, int stride, int slots, void* out) {
    Synth<M, Bits8>(s, 0, sb0, stride, slots, out, 2);
    Synth<M, Bits8>(s, 1, sb1, stride, slots, (uint8_t*)out + (Bits8 ? 1 : 2), 2);
}

} // namespace

MpaSynthFn MpaSynthRoutine(int reduction, bool bits8) {
    if (MpaVectorPathsActive())
        return MpaSynthRoutineSse2(reduction, bits8);
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
    if (MpaVectorPathsActive())
        return MpaSynthStereoRoutineSse2(reduction, bits8);
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
