// Layer III requantisation, stereo processing, short-block reordering and
// alias reduction. Spectra stay in coded order (short bands: window 0's
// lines, then window 1's, then window 2's) until L3Reorder.
#include "MpaInternal.h"

#include <math.h>

float gL3Pow43[8207];

namespace {

const uint8_t kPretab[23] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0, 0};

// 32768 x 2^(e / 4) for quarter-step exponents e = -512 .. 87: the spectra
// come out in 16-bit sample units.
constexpr int kGainBias = 512;
constexpr int kGainCount = 600;

struct Tables {
    float gain[kGainCount];
    float cs[8], ca[8];
    float isRatio[7][2];       // MPEG-1 intensity (left, right) by position
    float lsfRatio[2][32][2];  // low-rate intensity by [scale][position]
};

Tables gTables;

inline float Gain(int e) {
    e += kGainBias;
    if (e < 0)
        e = 0;
    if (e >= kGainCount)
        e = kGainCount - 1;
    return gTables.gain[e];
}

inline void DequantizeRun(const int32_t* ix, float* xr, int n, float gain) {
    // Branch-free: the table's entry 0 is 0, a sign flips the product. The
    // Huffman decoder yields at most 15 + 2^13 - 1 = 8206.
    // Signs are random in coded audio: the sign bit is set by a mask, not
    // a branch.
    for (int i = 0; i < n; i++) {
        int q = ix[i];
        int a = q < 0 ? -q : q;
        float v = gL3Pow43[a] * gain;
        uint32_t bits;
        memcpy(&bits, &v, 4);
        bits ^= (uint32_t)q & 0x80000000u;
        memcpy(&xr[i], &bits, 4);
    }
}

// The line runs of one scale-factor band in coded order.
struct BandRun {
    int start;
    int width;
};

inline void L3MidSide(float* l, float* r, int n) {
    const float k = 0.70710678118654752f;
    for (int i = 0; i < n; i++) {
        float m = l[i], s = r[i];
        l[i] = (m + s) * k;
        r[i] = (m - s) * k;
    }
}

inline void Intensity(float* l, float* r, int n, float kl, float kr) {
    for (int i = 0; i < n; i++) {
        float x = l[i];
        l[i] = x * kl;
        r[i] = x * kr;
    }
}

inline bool AnyNonZero(const float* x, int n) {
    for (int i = 0; i < n; i++)
        if (x[i] != 0.0f)
            return true;
    return false;
}

} // namespace

static void BuildTables() {
    const double pi = 4.0 * atan(1.0);
    for (int i = 0; i < 8207; i++)
        gL3Pow43[i] = (float)pow((double)i, 4.0 / 3.0);
    for (int i = 0; i < kGainCount; i++)
        gTables.gain[i] = (float)(32768.0 * pow(2.0, (i - kGainBias) / 4.0));
    static const double kAlias[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; i++) {
        double sq = sqrt(1.0 + kAlias[i] * kAlias[i]);
        gTables.cs[i] = (float)(1.0 / sq);
        gTables.ca[i] = (float)(kAlias[i] / sq);
    }
    for (int p = 0; p < 7; p++) {
        double a = pi * p / 12.0;
        double s = sin(a), c = cos(a);
        gTables.isRatio[p][0] = (float)(s / (s + c));
        gTables.isRatio[p][1] = (float)(c / (s + c));
    }
    for (int scale = 0; scale < 2; scale++) {
        double k = pow(2.0, -(scale + 1) / 4.0);
        for (int p = 0; p < 32; p++) {
            double l = 1.0, r = 1.0;
            if (p & 1)
                l = pow(k, (p + 1) / 2);
            else if (p)
                r = pow(k, p / 2);
            gTables.lsfRatio[scale][p][0] = (float)l;
            gTables.lsfRatio[scale][p][1] = (float)r;
        }
    }
}

void L3TablesInit() {
    static const bool once = (BuildTables(), true);
    (void)once;
}

int L3Dequantize(const int32_t* ix, int nonZero, const L3GranuleChannel* gc, const L3ScaleFactors* sf,
                 const L3State* st, float* xr) {
    const int16_t* L = st->longBands;
    const int16_t* S = st->shortBands;
    const int base = gc->globalGain - 210;
    const int sfShift = gc->scalefacScale ? 2 : 1; // scale factors count 2 or 4 quarter steps
    int longBands = gc->blockType != 2 ? 22 : gc->mixedBlock ? (st->lsf ? 6 : 8) : 0;
    int done = 0;
    for (int b = 0; b < longBands && L[b] < nonZero; b++) {
        int pre = gc->preflag ? kPretab[b] : 0;
        float gain = Gain(base - ((sf->longSf[b] + pre) << sfShift));
        DequantizeRun(ix + L[b], xr + L[b], L[b + 1] - L[b], gain);
        done = L[b + 1];
    }
    if (gc->blockType == 2) {
        int first = gc->mixedBlock ? 3 : 0;
        for (int b = first; b < 13 && 3 * S[b] < nonZero; b++) {
            int width = S[b + 1] - S[b];
            for (int w = 0; w < 3; w++) {
                int start = 3 * S[b] + w * width;
                float gain = Gain(base - 8 * gc->subblockGain[w] - (sf->shortSf[w][b] << sfShift));
                DequantizeRun(ix + start, xr + start, width, gain);
            }
            done = 3 * S[b + 1];
        }
    }
    for (int i = done; i < 576; i++)
        xr[i] = 0.0f;
    // Short bands interleave their windows over the whole band: the count
    // grows to the band's end.
    return gc->blockType == 2 ? done : nonZero;
}

void L3Stereo(L3State* st, int granule) {
    float* l = st->xr[0];
    float* r = st->xr[1];
    int n = st->nonZero[0] > st->nonZero[1] ? st->nonZero[0] : st->nonZero[1];
    st->nonZero[0] = st->nonZero[1] = n;
    if (!st->intensityStereo) {
        if (st->msStereo)
            L3MidSide(l, r, n);
        return;
    }
    const L3GranuleChannel* gc = &st->side.granule[granule][1];
    const L3ScaleFactors* sf = &st->sf[granule][1];
    const int16_t* L = st->longBands;
    const int16_t* S = st->shortBands;
    const bool ms = st->msStereo != 0;
    const bool lsf = st->lsf != 0;
    const L3IntensityInfo* ii = &st->intensity;
    auto apply = [&](int start, int width, int pos, bool legal) {
        if (start >= 576)
            return;
        if (start + width > 576)
            width = 576 - start;
        if (legal) {
            if (lsf)
                Intensity(l + start, r + start, width, gTables.lsfRatio[ii->scale][pos & 31][0],
                          gTables.lsfRatio[ii->scale][pos & 31][1]);
            else
                Intensity(l + start, r + start, width, gTables.isRatio[pos][0], gTables.isRatio[pos][1]);
        } else if (ms) {
            L3MidSide(l + start, r + start, width);
        }
    };
    // Positions 7 and up (MPEG-1; four-bit scale factors reach 15) and the
    // partition's top value (low rates) mean "not intensity coded".
    auto legalLong = [&](int b, int pos) { return lsf ? pos != ii->illegalLong[b] : pos < 7; };
    auto legalShort = [&](int b, int pos) { return lsf ? pos != ii->illegalShort[b] : pos < 7; };

    int longBands = gc->blockType != 2 ? 22 : gc->mixedBlock ? (lsf ? 6 : 8) : 0;
    bool shortPart = gc->blockType == 2;
    int firstShort = gc->mixedBlock ? 3 : 0;
    int shortStart[3] = {firstShort, firstShort, firstShort};
    bool shortHasData = false;
    if (shortPart) {
        for (int w = 0; w < 3; w++) {
            for (int b = 12; b >= firstShort; b--) {
                int width = S[b + 1] - S[b];
                if (AnyNonZero(r + 3 * S[b] + w * width, width)) {
                    shortStart[w] = b + 1;
                    shortHasData = true;
                    break;
                }
            }
        }
    }
    int longStart = longBands;
    if (!shortHasData) {
        longStart = 0;
        for (int b = longBands - 1; b >= 0; b--) {
            if (AnyNonZero(r + L[b], L[b + 1] - L[b])) {
                longStart = b + 1;
                break;
            }
        }
    }
    for (int b = 0; b < longBands; b++) {
        if (b < longStart) {
            apply(L[b], L[b + 1] - L[b], 0, false);
            continue;
        }
        // The top band carries no position of its own: it takes the band
        // below when that one is intensity coded.
        int pb = b == 21 ? 20 : b;
        int pos = sf->longSf[pb];
        bool legal = pb >= longStart && legalLong(pb, pos);
        apply(L[b], L[b + 1] - L[b], pos, legal);
    }
    if (shortPart) {
        for (int b = firstShort; b < 13; b++) {
            int width = S[b + 1] - S[b];
            for (int w = 0; w < 3; w++) {
                int start = 3 * S[b] + w * width;
                if (b < shortStart[w]) {
                    apply(start, width, 0, false);
                    continue;
                }
                int pb = b == 12 ? 11 : b;
                int pos = sf->shortSf[w][pb];
                bool legal = pb >= shortStart[w] && legalShort(pb, pos);
                apply(start, width, pos, legal);
            }
        }
    }
    st->nonZero[0] = st->nonZero[1] = 576;
}

void L3Reorder(float* xr, const L3GranuleChannel* gc, const L3State* st, int nonZero) {
    if (gc->blockType != 2)
        return;
    const int16_t* S = st->shortBands;
    float tmp[576];
    int first = gc->mixedBlock ? 3 : 0;
    int from = 3 * S[first];
    int to = from;
    for (int b = first; b < 13 && 3 * S[b] < nonZero; b++) {
        int width = S[b + 1] - S[b];
        int start = 3 * S[b];
        for (int w = 0; w < 3; w++)
            for (int k = 0; k < width; k++)
                tmp[start + 3 * k + w] = xr[start + w * width + k];
        to = 3 * S[b + 1];
    }
    if (to > from)
        memcpy(xr + from, tmp + from, sizeof(float) * (size_t)(to - from));
}

void L3Antialias(float* xr, int boundaries) {
    for (int sb = 1; sb <= boundaries; sb++) {
        float* lo = xr + 18 * sb - 1;
        float* hi = xr + 18 * sb;
        for (int i = 0; i < 8; i++) {
            float a = lo[-i], b = hi[i];
            lo[-i] = a * gTables.cs[i] - b * gTables.ca[i];
            hi[i] = b * gTables.cs[i] + a * gTables.ca[i];
        }
    }
}
