// The parts of the Layer III hybrid filter bank shared by the plain C
// routine and the SSE2 one: the tables and the transforms of one subband.
// The SSE2 file is compiled for SSE2 on its own, so what this header
// defines stays local to each file (an anonymous namespace).
#pragma once

#include "MpaInternal.h"

struct L3HybridTables {
    // The 18-point DCT-IV goes through an 18-point DCT-II V of the inputs
    // divided by 2 cos(pi (2n + 1) / 72): y[k] = V[k] + V[k + 1]. V splits
    // into 9-point halves, applied column by column (padded to 12).
    float pre[18];      // 1 / (2 cos(pi (2n + 1) / 72))
    float even9[9][12]; // [n][m] = cos(pi (2n + 1) 2m / 36)
    float odd9[9][12];  // [n][m] = cos(pi (2n + 1)(2m + 1) / 36)
    float win[4][36];   // windows of block types 0..3 (type 2: the 12-point one)
    float cos12[12][6]; // 12-point IMDCT: cos(pi (2i + 7)(2k + 1) / 24)
};
const L3HybridTables& L3HybridTablesGet();

namespace {

// 36-point IMDCT of 18 lines through an 18-point DCT-IV y: the outputs are
// z[i] = y[i + 9] (i < 9), -y[26 - i] (9 <= i < 27), -y[i - 27] (i >= 27).
inline void L3LongBlock(const L3HybridTables& t, const float* x, const float* win, float overlap[18][32],
                        float out[18][32], int sb) {
    float v[18];
    for (int n = 0; n < 18; n++)
        v[n] = x[n] * t.pre[n];
    float even[12] = {}, odd[12] = {};
    for (int n = 0; n < 9; n++) {
        const float a = v[n] + v[17 - n];
        const float b = v[n] - v[17 - n];
        const float* ce = t.even9[n];
        const float* co = t.odd9[n];
        for (int m = 0; m < 12; m++) {
            even[m] += a * ce[m];
            odd[m] += b * co[m];
        }
    }
    // V[2m] = even[m], V[2m + 1] = odd[m]; V[18] = 0.
    float y[18];
    for (int m = 0; m < 9; m++) {
        y[2 * m] = even[m] + odd[m];
        y[2 * m + 1] = odd[m] + (m < 8 ? even[m + 1] : 0.0f);
    }
    float z[36];
    for (int i = 0; i < 9; i++)
        z[i] = y[i + 9];
    for (int i = 9; i < 27; i++)
        z[i] = -y[26 - i];
    for (int i = 27; i < 36; i++)
        z[i] = -y[i - 27];
    for (int i = 0; i < 18; i++) {
        out[i][sb] = z[i] * win[i] + overlap[i][sb];
        overlap[i][sb] = z[18 + i] * win[18 + i];
    }
}

// Three 12-point IMDCTs of the interleaved windows (line 3k + w), placed at
// 6, 12 and 18 of a 36-sample block.
inline void L3ShortBlock(const L3HybridTables& t, const float* x, float overlap[18][32], float out[18][32], int sb) {
    float z[36] = {};
    const float* win = t.win[2];
    for (int w = 0; w < 3; w++) {
        float* dst = z + 6 + 6 * w;
        for (int i = 0; i < 12; i++) {
            const float* c = t.cos12[i];
            float s = 0.0f;
            for (int k = 0; k < 6; k++)
                s += x[3 * k + w] * c[k];
            dst[i] += s * win[i];
        }
    }
    for (int i = 0; i < 18; i++) {
        out[i][sb] = z[i] + overlap[i][sb];
        overlap[i][sb] = z[18 + i];
    }
}

// Subbands from this one up to 31 carry no lines: only the previous
// granule still rings.
inline void L3QuietBlock(float overlap[18][32], float out[18][32], int sb) {
    for (int i = 0; i < 18; i++) {
        out[i][sb] = overlap[i][sb];
        overlap[i][sb] = 0.0f;
    }
}

} // namespace
