// Layer III hybrid filter bank: IMDCT per subband (36 points for long
// blocks, three 12-point transforms for short ones), windowing by block
// type, overlap-add with the previous granule, and frequency inversion.
#include "MpaInternal.h"

#include <math.h>

namespace {

struct HybridTables {
    // The 18-point DCT-IV goes through an 18-point DCT-II V of the inputs
    // divided by 2 cos(pi (2n + 1) / 72): y[k] = V[k] + V[k + 1]. V splits
    // into 9-point halves, applied column by column (padded to 12).
    float pre[18];      // 1 / (2 cos(pi (2n + 1) / 72))
    float even9[9][12]; // [n][m] = cos(pi (2n + 1) 2m / 36)
    float odd9[9][12];  // [n][m] = cos(pi (2n + 1)(2m + 1) / 36)
    float win[4][36];   // windows of block types 0..3 (type 2: the 12-point one)
    float cos12[12][6]; // 12-point IMDCT: cos(pi (2i + 7)(2k + 1) / 24)
};

const HybridTables& Tables() {
    static const HybridTables t = [] {
        HybridTables h{};
        const double pi = 4.0 * atan(1.0);
        for (int n = 0; n < 18; n++)
            h.pre[n] = (float)(0.5 / cos(pi * (2 * n + 1) / 72.0));
        for (int n = 0; n < 9; n++)
            for (int m = 0; m < 9; m++) {
                h.even9[n][m] = (float)cos(pi * (2 * n + 1) * 2 * m / 36.0);
                h.odd9[n][m] = (float)cos(pi * (2 * n + 1) * (2 * m + 1) / 36.0);
            }
        for (int i = 0; i < 36; i++) {
            double longWin = sin(pi / 36 * (i + 0.5));
            h.win[0][i] = (float)longWin;
            h.win[1][i] = (float)(i < 18 ? longWin : i < 24 ? 1.0 : i < 30 ? sin(pi / 12 * (i - 18 + 0.5)) : 0.0);
            h.win[3][i] = (float)(i < 6 ? 0.0 : i < 12 ? sin(pi / 12 * (i - 6 + 0.5)) : i < 18 ? 1.0 : longWin);
            h.win[2][i] = (float)(i < 12 ? sin(pi / 12 * (i + 0.5)) : 0.0);
        }
        for (int i = 0; i < 12; i++)
            for (int k = 0; k < 6; k++)
                h.cos12[i][k] = (float)cos(pi * (2 * i + 7) * (2 * k + 1) / 24.0);
        return h;
    }();
    return t;
}

// 36-point IMDCT of 18 lines through an 18-point DCT-IV y: the outputs are
// z[i] = y[i + 9] (i < 9), -y[26 - i] (9 <= i < 27), -y[i - 27] (i >= 27).
void Long(const HybridTables& t, const float* x, const float* win, float* overlap, float out[18][32], int sb) {
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
        out[i][sb] = z[i] * win[i] + overlap[i];
        overlap[i] = z[18 + i] * win[18 + i];
    }
}

// Three 12-point IMDCTs of the interleaved windows (line 3k + w), placed at
// 6, 12 and 18 of a 36-sample block.
void Short(const HybridTables& t, const float* x, float* overlap, float out[18][32], int sb) {
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
        out[i][sb] = z[i] + overlap[i];
        overlap[i] = z[18 + i];
    }
}

} // namespace

void L3Hybrid(const float* xr, int nonZero, const L3GranuleChannel* gc, int mixedLongLines, float overlap[32][18],
              float out[18][32]) {
    const HybridTables& t = Tables();
    int active = (nonZero + 17) / 18 + 1;
    if (active > 32)
        active = 32;
    int mixedSub = gc->mixedBlock ? mixedLongLines / 18 : 0;
    int longSub = gc->blockType != 2 ? 32 : mixedSub;
    const float* longWin = t.win[gc->blockType == 2 ? 0 : gc->blockType];
    for (int sb = 0; sb < active; sb++) {
        // The subbands of a mixed block's long part use the normal window,
        // also when the flag comes with a start or stop block.
        if (sb < mixedSub)
            Long(t, xr + 18 * sb, t.win[0], overlap[sb], out, sb);
        else if (sb < longSub)
            Long(t, xr + 18 * sb, longWin, overlap[sb], out, sb);
        else
            Short(t, xr + 18 * sb, overlap[sb], out, sb);
    }
    // Above the active lines only the previous granule still rings.
    for (int sb = active; sb < 32; sb++) {
        for (int i = 0; i < 18; i++) {
            out[i][sb] = overlap[sb][i];
            overlap[sb][i] = 0.0f;
        }
    }
    for (int i = 1; i < 18; i += 2)
        for (int sb = 1; sb < 32; sb += 2)
            out[i][sb] = -out[i][sb];
}
