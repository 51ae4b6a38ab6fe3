// Layer III hybrid filter bank, SSE2 routine: the long-block IMDCT runs on
// four subbands at once (one subband per vector lane), which the overlap
// and output layout ([sample][subband]) reads and writes as whole vectors.
// A group of four with a short block among them goes through the plain
// transforms. The i686 build compiles this file alone for SSE2.
#include "L3HybridCore.h"

#include <emmintrin.h>

namespace {

struct VectorTables {
    __m128 pre[18];
    __m128 even9[9][9];
    __m128 odd9[9][9];
};

const VectorTables& Vectors() {
    static const struct T {
        VectorTables v;
        T() {
            const L3HybridTables& t = L3HybridTablesGet();
            for (int n = 0; n < 18; n++)
                v.pre[n] = _mm_set1_ps(t.pre[n]);
            for (int n = 0; n < 9; n++)
                for (int m = 0; m < 9; m++) {
                    v.even9[n][m] = _mm_set1_ps(t.even9[n][m]);
                    v.odd9[n][m] = _mm_set1_ps(t.odd9[n][m]);
                }
        }
    } t;
    return t.v;
}

// Long blocks of the subbands sb .. sb + 3, lane l with window win[l]; a
// null line pointer stands for a subband without lines.
void LongFour(const VectorTables& k, const float* const lines[4], const float* const win[4], float overlap[18][32],
              float out[18][32], int sb) {
    static const float kZero[20] = {};
    const float* p[4];
    for (int l = 0; l < 4; l++)
        p[l] = lines[l] ? lines[l] : kZero;
    __m128 v[18];
    for (int n = 0; n < 16; n += 4) {
        __m128 r0 = _mm_loadu_ps(p[0] + n), r1 = _mm_loadu_ps(p[1] + n);
        __m128 r2 = _mm_loadu_ps(p[2] + n), r3 = _mm_loadu_ps(p[3] + n);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        v[n] = r0;
        v[n + 1] = r1;
        v[n + 2] = r2;
        v[n + 3] = r3;
    }
    v[16] = _mm_setr_ps(p[0][16], p[1][16], p[2][16], p[3][16]);
    v[17] = _mm_setr_ps(p[0][17], p[1][17], p[2][17], p[3][17]);
    for (int n = 0; n < 18; n++)
        v[n] = _mm_mul_ps(v[n], k.pre[n]);
    __m128 a[9], b[9];
    for (int n = 0; n < 9; n++) {
        a[n] = _mm_add_ps(v[n], v[17 - n]);
        b[n] = _mm_sub_ps(v[n], v[17 - n]);
    }
    // One output at a time, so that its sum stays in a register.
    __m128 even[9], odd[9];
    for (int m = 0; m < 9; m++) {
        __m128 e = _mm_mul_ps(a[0], k.even9[0][m]), o = _mm_mul_ps(b[0], k.odd9[0][m]);
        for (int n = 1; n < 9; n++) {
            e = _mm_add_ps(e, _mm_mul_ps(a[n], k.even9[n][m]));
            o = _mm_add_ps(o, _mm_mul_ps(b[n], k.odd9[n][m]));
        }
        even[m] = e;
        odd[m] = o;
    }
    __m128 y[18];
    for (int m = 0; m < 9; m++) {
        y[2 * m] = _mm_add_ps(even[m], odd[m]);
        y[2 * m + 1] = m < 8 ? _mm_add_ps(odd[m], even[m + 1]) : odd[m];
    }
    const bool same = win[0] == win[1] && win[0] == win[2] && win[0] == win[3];
    const __m128 sign = _mm_set1_ps(-0.0f);
    for (int i = 0; i < 36; i++) {
        // z[i] of the 36-point output (see L3LongBlock).
        __m128 z = i < 9 ? y[i + 9] : i < 27 ? _mm_xor_ps(y[26 - i], sign) : _mm_xor_ps(y[i - 27], sign);
        __m128 w = same ? _mm_set1_ps(win[0][i]) : _mm_setr_ps(win[0][i], win[1][i], win[2][i], win[3][i]);
        z = _mm_mul_ps(z, w);
        if (i < 18)
            _mm_storeu_ps(out[i] + sb, _mm_add_ps(z, _mm_loadu_ps(overlap[i] + sb)));
        else
            _mm_storeu_ps(overlap[i - 18] + sb, z);
    }
}

} // namespace

void L3HybridSse2(const float* xr, int nonZero, const L3GranuleChannel* gc, int mixedLongLines,
                  float overlap[18][32], float out[18][32]) {
    const L3HybridTables& t = L3HybridTablesGet();
    const VectorTables& k = Vectors();
    int active = (nonZero + 17) / 18 + 1;
    if (active > 32)
        active = 32;
    int mixedSub = gc->mixedBlock ? mixedLongLines / 18 : 0;
    int longSub = gc->blockType != 2 ? 32 : mixedSub;
    const float* longWin = t.win[gc->blockType == 2 ? 0 : gc->blockType];
    for (int sb = 0; sb < 32; sb += 4) {
        if (sb >= active) {
            // Only the previous granule still rings.
            for (int i = 0; i < 18; i++) {
                _mm_storeu_ps(out[i] + sb, _mm_loadu_ps(overlap[i] + sb));
                _mm_storeu_ps(overlap[i] + sb, _mm_setzero_ps());
            }
            continue;
        }
        if (sb + 4 <= longSub || active <= longSub) {
            // Long blocks only (a subband without lines is a long block of
            // zeros): the mixed block's long part has the normal window.
            const float* lines[4];
            const float* win[4];
            for (int l = 0; l < 4; l++) {
                lines[l] = sb + l < active ? xr + 18 * (sb + l) : nullptr;
                win[l] = sb + l < mixedSub ? t.win[0] : longWin;
            }
            LongFour(k, lines, win, overlap, out, sb);
            continue;
        }
        for (int s = sb; s < sb + 4; s++) {
            if (s >= active)
                L3QuietBlock(overlap, out, s);
            else if (s < mixedSub)
                L3LongBlock(t, xr + 18 * s, t.win[0], overlap, out, s);
            else if (s < longSub)
                L3LongBlock(t, xr + 18 * s, longWin, overlap, out, s);
            else
                L3ShortBlock(t, xr + 18 * s, overlap, out, s);
        }
    }
    // Frequency inversion: odd samples of odd subbands change sign.
    const __m128 sign = _mm_castsi128_ps(_mm_setr_epi32(0, (int)0x80000000u, 0, (int)0x80000000u));
    for (int i = 1; i < 18; i += 2)
        for (int sb = 0; sb < 32; sb += 4)
            _mm_storeu_ps(out[i] + sb, _mm_xor_ps(_mm_loadu_ps(out[i] + sb), sign));
}
