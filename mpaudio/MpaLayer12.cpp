// Layers I and II: bit allocation, scale factors and requantised subband
// samples, for the float engine and (in fixed point) the integer engine.
#include "MpaInternal.h"

#include <math.h>

namespace {

// Quantisation classes of Layer II, 1..17 by number of steps; the first
// three grouped classes hold three samples in one code.
const int32_t kSteps[18] = {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
const uint8_t kCodeBits[18] = {0, 5, 7, 3, 10, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const bool kGrouped[18] = {false, true, true, false, true};

// Code-to-class lists of the allocation tables (ISO/IEC 11172-3 Annex B,
// tables 3-B.2a to d; ISO/IEC 13818-3 Annex B for the low rates).
const uint8_t kClassLow[16] = {0, 1, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
const uint8_t kClassMid[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17};
const uint8_t kClassHigh[8] = {0, 1, 2, 3, 4, 5, 6, 17};
const uint8_t kClassTop[4] = {0, 1, 2, 17};
const uint8_t kClassCdLow[16] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const uint8_t kClassCdHigh[8] = {0, 1, 2, 4, 5, 6, 7, 8};
const uint8_t kClassLsfLow[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const uint8_t kClassLsfTop[4] = {0, 1, 2, 4};

struct AllocGroup {
    int subbands;
    int bits;
    const uint8_t* classes;
};

struct AllocTable {
    int sblimit;
    AllocGroup groups[4];
};

const AllocTable kAllocTables[5] = {
    {27, {{3, 4, kClassLow}, {8, 4, kClassMid}, {12, 3, kClassHigh}, {4, 2, kClassTop}}},
    {30, {{3, 4, kClassLow}, {8, 4, kClassMid}, {12, 3, kClassHigh}, {7, 2, kClassTop}}},
    {8, {{2, 4, kClassCdLow}, {6, 3, kClassCdHigh}, {0, 0, nullptr}, {0, 0, nullptr}}},
    {12, {{2, 4, kClassCdLow}, {10, 3, kClassCdHigh}, {0, 0, nullptr}, {0, 0, nullptr}}},
    {30, {{4, 4, kClassLsfLow}, {7, 3, kClassCdHigh}, {19, 2, kClassLsfTop}, {0, 0, nullptr}}},
};

// Table choice for MPEG-1 by [single channel][sample rate][bit-rate index].
const int8_t kTableChoice[2][3][16] = {
    {
        {1, -1, -1, -1, 2, -1, 2, 0, 0, 0, 1, 1, 1, 1, 1, -1},
        {0, -1, -1, -1, 2, -1, 2, 0, 0, 0, 0, 0, 0, 0, 0, -1},
        {1, -1, -1, -1, 3, -1, 3, 0, 0, 0, 1, 1, 1, 1, 1, -1},
    },
    {
        {1, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1},
        {0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1},
        {1, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1},
    },
};

// Grouped codes to their three digits, centred: by table lookup instead of
// two divisions per code. Codes past steps^3 (damaged streams) stay bounded.
struct Groups {
    int8_t g3[32][3];
    int8_t g5[128][3];
    int8_t g9[1024][3];
};

const Groups& GetGroups() {
    static const Groups g = [] {
        Groups t{};
        auto fill = [](int8_t (*dst)[3], int codes, int n) {
            for (int c = 0; c < codes; c++) {
                int v = c;
                for (int k = 0; k < 3; k++) {
                    dst[c][k] = (int8_t)(v % n - (n - 1) / 2);
                    v /= n;
                }
            }
        };
        fill(t.g3, 32, 3);
        fill(t.g5, 128, 5);
        fill(t.g9, 1024, 9);
        return t;
    }();
    return g;
}

struct Factors {
    float flt[64][18];    // scale factor x 2 / steps, in 16-bit units
    int64_t fix[64][18];  // the same with kFixBits fractional bits
    float fltL1[64][16];  // Layer I: by bits per sample (2..15 as index)
    int64_t fixL1[64][16];
};

// Factors keep 24 fractional bits; a product with a sample code (below
// 2^16) is shifted down to the store's kMpaIntFracBits.
constexpr int kFixBits = 24;

inline int32_t FixMul(int v, int64_t factor) {
    return (int32_t)(((int64_t)v * factor) >> (kFixBits - kMpaIntFracBits));
}

const Factors& GetFactors() {
    static const Factors f = [] {
        Factors t{};
        for (int i = 0; i < 64; i++) {
            double scale = 65536.0 * pow(2.0, -i / 3.0);
            for (int c = 1; c < 18; c++) {
                double v = scale * 2.0 / kSteps[c];
                t.flt[i][c] = (float)v;
                t.fix[i][c] = (int64_t)floor(v * (double)(1 << kFixBits) + 0.5);
            }
            for (int nb = 2; nb < 16; nb++) {
                double v = scale * 2.0 / ((1 << nb) - 1);
                t.fltL1[i][nb] = (float)v;
                t.fixL1[i][nb] = (int64_t)floor(v * (double)(1 << kFixBits) + 0.5);
            }
        }
        return t;
    }();
    return f;
}

int JointBound(const MpaHeader* h, int limit) {
    int bound = h->mode == 1 ? (h->modeExtension + 1) * 4 : limit;
    return bound < limit ? bound : limit;
}

void SkipHeader(MpaBits* br, const MpaHeader* h) { br->pos = h->protectionBit ? 32 : 48; }

// Reader of the sample codes, which make most of a frame's bits: the next
// bits wait at the top of a 64-bit cache, refilled eight bytes at a time
// while that many remain before the limit and byte by byte near it; bytes
// past the limit read as 0, as with MpaBits.
struct SampleBits {
    uint64_t cache; // bits below the `count` valid ones repeat the next stream bits or are 0
    int count;
    const uint8_t* p;
    const uint8_t* end;

    explicit SampleBits(const MpaBits* br) : cache(0), count(0) {
        const uint8_t* start = br->data;
        end = start + (br->limit >> 3);
        uint32_t byte = br->pos >> 3;
        p = byte < br->limit >> 3 ? start + byte : end;
        Refill();
        int skip = (int)(br->pos & 7);
        cache <<= skip;
        count -= skip;
    }

    void Refill() {
        if (end - p >= 8) {
            uint64_t w;
            memcpy(&w, p, 8);
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            w = __builtin_bswap64(w);
#else
            const uint8_t* b = p;
            w = 0;
            for (int i = 0; i < 8; i++)
                w = w << 8 | b[i];
#endif
            cache |= w >> count;
            p += (63 - count) >> 3;
            count |= 56;
            return;
        }
        while (count <= 56) {
            cache |= (uint64_t)(p < end ? *p++ : 0) << (56 - count);
            count += 8;
        }
    }

    // 1 to 16 bits.
    uint32_t Get(int n) {
        if (count < n)
            Refill();
        uint32_t v = (uint32_t)(cache >> (64 - n));
        cache <<= n;
        count -= n;
        return v;
    }
};

// Writes three requantised samples of one slot.
template <bool Integer>
inline void Put(MpaLayer12State* s, int t, int ch, int sb, int v0, int v1, int v2, float ff, int64_t fi) {
    if (Integer) {
        s->sbInt[t][ch][sb] = FixMul(v0, fi);
        s->sbInt[t + 1][ch][sb] = FixMul(v1, fi);
        s->sbInt[t + 2][ch][sb] = FixMul(v2, fi);
    } else {
        s->sb[t][ch][sb] = (float)v0 * ff;
        s->sb[t + 1][ch][sb] = (float)v1 * ff;
        s->sb[t + 2][ch][sb] = (float)v2 * ff;
    }
}

template <bool Integer> void ReadLayer1(MpaDecoder* d, const MpaHeader* h, MpaBits* br) {
    const Factors& f = GetFactors();
    MpaLayer12State* s = &d->l12;
    int nch = h->mode == 3 ? 1 : 2;
    int bound = nch == 2 ? JointBound(h, 32) : 32;
    uint8_t bits[2][32] = {};
    uint8_t scf[2][32] = {};
    for (int sb = 0; sb < 32; sb++) {
        for (int ch = 0; ch < nch; ch++) {
            if (sb >= bound && ch == 1) {
                bits[1][sb] = bits[0][sb];
                break;
            }
            int a = (int)MpaGetBits(br, 4);
            // Code 15 is forbidden; it is taken as nothing allocated.
            bits[ch][sb] = (uint8_t)(a == 15 ? 0 : a == 0 ? 0 : a + 1);
        }
    }
    for (int sb = 0; sb < 32; sb++)
        for (int ch = 0; ch < nch; ch++)
            if (bits[ch][sb])
                scf[ch][sb] = (uint8_t)MpaGetBits(br, 6);
    SampleBits sbits(br);
    for (int t = 0; t < 12; t++) {
        for (int sb = 0; sb < 32; sb++) {
            // Past the joint-stereo bound one code serves both channels.
            int readCh = sb < bound ? nch : 1;
            for (int ch = 0; ch < readCh; ch++) {
                int nb = bits[ch][sb];
                if (!nb)
                    continue;
                int v = (int)sbits.Get(nb) - ((1 << (nb - 1)) - 1);
                int last = sb < bound ? ch : nch - 1;
                for (int oc = ch; oc <= last; oc++) {
                    if (Integer)
                        s->sbInt[t][oc][sb] = FixMul(v, f.fixL1[scf[oc][sb]][nb]);
                    else
                        s->sb[t][oc][sb] = (float)v * f.fltL1[scf[oc][sb]][nb];
                }
            }
        }
    }
}

template <bool Integer> void ReadLayer2(MpaDecoder* d, const MpaHeader* h, const AllocTable& T, MpaBits* br) {
    const Factors& f = GetFactors();
    const Groups& grp = GetGroups();
    MpaLayer12State* s = &d->l12;
    int nch = h->mode == 3 ? 1 : 2;
    int sblimit = T.sblimit;
    int bound = nch == 2 ? JointBound(h, sblimit) : sblimit;
    uint8_t cls[2][32] = {};
    uint8_t scfsi[2][32] = {};
    uint8_t scf[2][32][3] = {};
    int sb = 0;
    for (int g = 0; g < 4; g++) {
        const AllocGroup& grp = T.groups[g];
        for (int i = 0; i < grp.subbands; i++, sb++) {
            if (sb < bound) {
                for (int ch = 0; ch < nch; ch++)
                    cls[ch][sb] = grp.classes[MpaGetBits(br, grp.bits)];
            } else {
                uint8_t c = grp.classes[MpaGetBits(br, grp.bits)];
                cls[0][sb] = c;
                cls[1][sb] = c;
            }
        }
    }
    for (sb = 0; sb < sblimit; sb++)
        for (int ch = 0; ch < nch; ch++)
            if (cls[ch][sb])
                scfsi[ch][sb] = (uint8_t)MpaGetBits(br, 2);
    for (sb = 0; sb < sblimit; sb++) {
        for (int ch = 0; ch < nch; ch++) {
            if (!cls[ch][sb])
                continue;
            uint8_t* p = scf[ch][sb];
            switch (scfsi[ch][sb]) {
            case 0:
                p[0] = (uint8_t)MpaGetBits(br, 6);
                p[1] = (uint8_t)MpaGetBits(br, 6);
                p[2] = (uint8_t)MpaGetBits(br, 6);
                break;
            case 1:
                p[0] = p[1] = (uint8_t)MpaGetBits(br, 6);
                p[2] = (uint8_t)MpaGetBits(br, 6);
                break;
            case 2:
                p[0] = p[1] = p[2] = (uint8_t)MpaGetBits(br, 6);
                break;
            default:
                p[0] = (uint8_t)MpaGetBits(br, 6);
                p[1] = p[2] = (uint8_t)MpaGetBits(br, 6);
                break;
            }
        }
    }
    // The codes of a time slot in their order, with what each needs known
    // before the 36 slots are read: its width, its grouping table and its
    // factors per part and output channel.
    struct Code {
        const int8_t (*group)[3]; // null: three codes of `bits` each
        int bits, half;
        int sb, ch, dual;         // dual: one code for both channels past the bound
        float flt[3][2];
        int64_t fix[3][2];
    };
    Code plan[64];
    int codes = 0;
    for (sb = 0; sb < sblimit; sb++) {
        int readCh = sb < bound ? nch : 1;
        for (int ch = 0; ch < readCh; ch++) {
            int c = cls[ch][sb];
            if (!c)
                continue;
            Code& q = plan[codes++];
            q.group = !kGrouped[c] ? nullptr : c == 1 ? grp.g3 : c == 2 ? grp.g5 : grp.g9;
            q.bits = kCodeBits[c];
            q.half = (kSteps[c] - 1) / 2;
            q.sb = sb;
            q.ch = ch;
            q.dual = sb >= bound && nch == 2;
            for (int part = 0; part < 3; part++) {
                for (int k = 0; k < (q.dual ? 2 : 1); k++) {
                    int sf = scf[q.dual ? k : ch][sb][part];
                    q.flt[part][k] = f.flt[sf][c];
                    q.fix[part][k] = f.fix[sf][c];
                }
            }
        }
    }
    SampleBits sbits(br);
    for (int gr = 0; gr < 12; gr++) {
        int part = gr >> 2;
        int t = gr * 3;
        for (int k = 0; k < codes; k++) {
            const Code& q = plan[k];
            int v0, v1, v2;
            if (q.group) {
                const int8_t* d3 = q.group[sbits.Get(q.bits)];
                v0 = d3[0];
                v1 = d3[1];
                v2 = d3[2];
            } else {
                v0 = (int)sbits.Get(q.bits) - q.half;
                v1 = (int)sbits.Get(q.bits) - q.half;
                v2 = (int)sbits.Get(q.bits) - q.half;
            }
            if (q.dual) {
                Put<Integer>(s, t, 0, q.sb, v0, v1, v2, q.flt[part][0], q.fix[part][0]);
                Put<Integer>(s, t, 1, q.sb, v0, v1, v2, q.flt[part][1], q.fix[part][1]);
            } else {
                Put<Integer>(s, t, q.ch, q.sb, v0, v1, v2, q.flt[part][0], q.fix[part][0]);
            }
        }
    }
}

} // namespace

int MpaLayer2Table(const MpaHeader* h) {
    if (h->sampleRateIndex == 3)
        return -1;
    if (h->id == 0)
        return 4;
    return kTableChoice[h->mode == 3 ? 1 : 0][h->sampleRateIndex][h->bitrateIndex];
}

bool MpaLayer12Read(MpaDecoder* d, const MpaHeader* h, const uint8_t* frame, size_t frameLen, bool integer) {
    MpaLayer12State* s = &d->l12;
    if (integer)
        memset(s->sbInt, 0, sizeof(s->sbInt));
    else
        memset(s->sb, 0, sizeof(s->sb));
    MpaBits br;
    MpaBitsInit(&br, frame, frameLen);
    SkipHeader(&br, h);
    if (h->layerCode == 3) {
        if (integer)
            ReadLayer1<true>(d, h, &br);
        else
            ReadLayer1<false>(d, h, &br);
    } else {
        int table = MpaLayer2Table(h);
        if (table < 0)
            return false;
        s->tableIndex = table;
        if (integer)
            ReadLayer2<true>(d, h, kAllocTables[table], &br);
        else
            ReadLayer2<false>(d, h, kAllocTables[table], &br);
    }
    // Subbands above the frequency limit stay silent.
    int slots = h->layerCode == 3 ? 12 : 36;
    if (d->subbandLimit < 32) {
        for (int t = 0; t < slots; t++)
            for (int ch = 0; ch < 2; ch++)
                for (int sb = d->subbandLimit; sb < 32; sb++) {
                    s->sb[t][ch][sb] = 0.0f;
                    s->sbInt[t][ch][sb] = 0;
                }
    }
    return true;
}
