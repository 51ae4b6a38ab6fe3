// Layer III hybrid filter bank, plain C routine: IMDCT per subband (36
// points for long blocks, three 12-point transforms for short ones),
// windowing by block type, overlap-add with the previous granule, and
// frequency inversion.
#include "L3HybridCore.h"

#include <math.h>

const L3HybridTables& L3HybridTablesGet() {
    static const L3HybridTables t = [] {
        L3HybridTables h{};
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

void L3Hybrid(const float* xr, int nonZero, const L3GranuleChannel* gc, int mixedLongLines, float overlap[18][32],
              float out[18][32]) {
    const L3HybridTables& t = L3HybridTablesGet();
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
            L3LongBlock(t, xr + 18 * sb, t.win[0], overlap, out, sb);
        else if (sb < longSub)
            L3LongBlock(t, xr + 18 * sb, longWin, overlap, out, sb);
        else
            L3ShortBlock(t, xr + 18 * sb, overlap, out, sb);
    }
    for (int sb = active; sb < 32; sb++)
        L3QuietBlock(overlap, out, sb);
    for (int i = 1; i < 18; i += 2)
        for (int sb = 1; sb < 32; sb += 2)
            out[i][sb] = -out[i][sb];
}
