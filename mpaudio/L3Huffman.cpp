// Layer III side information, scale factors and Huffman-coded spectra.
#include "MpaInternal.h"

namespace {

#include "L3HuffData.inc"

struct HuffTable {
    const int32_t* codes;
    int linbits;
};

const HuffTable kTables[32] = {
    {nullptr, 0}, {kHuff1, 0},  {kHuff2, 0},  {kHuff3, 0},  {nullptr, 0}, {kHuff5, 0},  {kHuff6, 0},
    {kHuff7, 0},  {kHuff8, 0},  {kHuff9, 0},  {kHuff10, 0}, {kHuff11, 0}, {kHuff12, 0}, {kHuff13, 0},
    {nullptr, 0}, {kHuff15, 0}, {kHuff16, 1}, {kHuff16, 2}, {kHuff16, 3}, {kHuff16, 4}, {kHuff16, 6},
    {kHuff16, 8}, {kHuff16, 10}, {kHuff16, 13}, {kHuff24, 4}, {kHuff24, 5}, {kHuff24, 6}, {kHuff24, 7},
    {kHuff24, 8}, {kHuff24, 9}, {kHuff24, 11}, {kHuff24, 13},
};

inline int FirstWidth(int table) { return kHuffFirstWidth[table < 16 ? table : table < 24 ? 16 : 24]; }

// Count1 table A: (length, vwxy) by the next 6 bits.
struct QuadTable {
    uint8_t len[64];
    uint8_t value[64];
};

const QuadTable& QuadA() {
    static const QuadTable q = [] {
        // Codes and lengths by vwxy, from ISO/IEC 11172-3 table A.
        static const uint8_t code[16] = {1, 5, 4, 5, 6, 5, 4, 4, 7, 3, 6, 0, 7, 2, 3, 1};
        static const uint8_t len[16] = {1, 4, 4, 5, 4, 6, 5, 6, 4, 5, 5, 6, 5, 6, 6, 6};
        QuadTable t{};
        for (int v = 0; v < 16; v++) {
            int lo = code[v] << (6 - len[v]);
            for (int k = 0; k < (1 << (6 - len[v])); k++) {
                t.len[lo + k] = len[v];
                t.value[lo + k] = (uint8_t)v;
            }
        }
        return t;
    }();
    return q;
}

const uint8_t kSlen[2][16] = {
    {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
    {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3},
};

// Scale-factor partitions of the low sampling frequencies, in bands, by
// [case][long, short, mixed]; mixed: long bands first, then short bands.
const uint8_t kPartitions[6][3][4] = {
    {{6, 5, 5, 5}, {3, 3, 3, 3}, {6, 3, 3, 3}},  {{6, 5, 7, 3}, {3, 3, 4, 2}, {6, 3, 4, 2}},
    {{11, 10, 0, 0}, {6, 6, 0, 0}, {6, 3, 6, 0}}, {{7, 7, 7, 0}, {4, 4, 4, 0}, {6, 5, 4, 0}},
    {{6, 6, 6, 3}, {4, 3, 3, 2}, {6, 4, 3, 2}},  {{8, 8, 5, 0}, {5, 4, 3, 0}, {6, 6, 3, 0}},
};

inline int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

} // namespace

bool L3ReadSideInfo(MpaBits* br, const MpaHeader* h, L3SideInfo* si, int channels, int lsf) {
    memset(si, 0, sizeof(*si));
    si->mainDataBegin = (int32_t)MpaGetBits(br, lsf ? 8 : 9);
    if (lsf)
        MpaSkipBits(br, channels == 1 ? 1 : 2);
    else
        MpaSkipBits(br, channels == 1 ? 5 : 3);
    if (!lsf)
        for (int ch = 0; ch < channels; ch++)
            si->scfsi[ch] = (int32_t)MpaGetBits(br, 4);
    int granules = lsf ? 1 : 2;
    for (int gr = 0; gr < granules; gr++) {
        for (int ch = 0; ch < channels; ch++) {
            L3GranuleChannel* g = &si->granule[gr][ch];
            g->part23Length = (int32_t)MpaGetBits(br, 12);
            // More than 288 pairs would run past the 576 lines.
            g->bigValues = Clamp((int)MpaGetBits(br, 9), 0, 288);
            g->globalGain = (int32_t)MpaGetBits(br, 8);
            g->scalefacCompress = (int32_t)MpaGetBits(br, lsf ? 9 : 4);
            g->windowSwitching = (int32_t)MpaGetBits(br, 1);
            if (g->windowSwitching) {
                g->blockType = (int32_t)MpaGetBits(br, 2);
                g->mixedBlock = (int32_t)MpaGetBits(br, 1);
                g->tableSelect[0] = (int32_t)MpaGetBits(br, 5);
                g->tableSelect[1] = (int32_t)MpaGetBits(br, 5);
                for (int w = 0; w < 3; w++)
                    g->subblockGain[w] = (int32_t)MpaGetBits(br, 3);
                g->region0Count = g->blockType == 2 && lsf ? 5 : 7;
                g->region1Count = 20 - g->region0Count;
                // Block type 0 with window switching is forbidden; it is
                // decoded as a plain long block.
                if (g->blockType == 0)
                    g->mixedBlock = 0;
            } else {
                for (int i = 0; i < 3; i++)
                    g->tableSelect[i] = (int32_t)MpaGetBits(br, 5);
                g->region0Count = (int32_t)MpaGetBits(br, 4);
                g->region1Count = (int32_t)MpaGetBits(br, 3);
            }
            g->preflag = lsf ? 0 : (int32_t)MpaGetBits(br, 1);
            g->scalefacScale = (int32_t)MpaGetBits(br, 1);
            g->count1TableSelect = (int32_t)MpaGetBits(br, 1);
        }
    }
    (void)h;
    return true;
}

void L3ScaleFactorsMpeg1(MpaBits* br, L3ScaleFactors* sf, const L3ScaleFactors* sfGranule0,
                             const L3GranuleChannel* gc, int scfsi, int granule) {
    int slen1 = kSlen[0][gc->scalefacCompress & 15];
    int slen2 = kSlen[1][gc->scalefacCompress & 15];
    memset(sf, 0, sizeof(*sf));
    if (gc->blockType == 2) {
        int band = 0;
        if (gc->mixedBlock) {
            for (int b = 0; b < 8; b++)
                sf->longSf[b] = (uint8_t)MpaGetBits(br, slen1);
            band = 3;
        }
        for (int b = band; b < 12; b++) {
            int n = b < 6 ? slen1 : slen2;
            for (int w = 0; w < 3; w++)
                sf->shortSf[w][b] = (uint8_t)MpaGetBits(br, n);
        }
        return;
    }
    static const int kGroupStart[5] = {0, 6, 11, 16, 21};
    for (int g = 0; g < 4; g++) {
        int n = g < 2 ? slen1 : slen2;
        bool copy = granule == 1 && (scfsi & (8 >> g));
        for (int b = kGroupStart[g]; b < kGroupStart[g + 1]; b++)
            sf->longSf[b] = copy ? sfGranule0->longSf[b] : (uint8_t)MpaGetBits(br, n);
    }
}

void L3ScaleFactorsLsf(MpaBits* br, L3ScaleFactors* sf, L3GranuleChannel* gc, bool intensityChannel,
                           L3IntensityInfo* ii) {
    int S = gc->scalefacCompress;
    int slen[4] = {0, 0, 0, 0};
    int kase;
    gc->preflag = 0;
    if (!intensityChannel) {
        if (S < 400) {
            slen[0] = (S >> 4) / 5;
            slen[1] = (S >> 4) % 5;
            slen[2] = (S >> 2) & 3;
            slen[3] = S & 3;
            kase = 0;
        } else if (S < 500) {
            int T = S - 400;
            slen[0] = (T >> 2) / 5;
            slen[1] = (T >> 2) % 5;
            slen[2] = T & 3;
            kase = 1;
        } else {
            int T = S - 500;
            slen[0] = T / 3;
            slen[1] = T % 3;
            if (gc->blockType == 2 && gc->mixedBlock) {
                slen[1] = T / 3;
                slen[2] = T % 3;
            }
            kase = 2;
            gc->preflag = 1;
        }
    } else {
        int F = S >> 1;
        if (F < 180) {
            slen[0] = F / 36;
            slen[1] = (F % 36) / 6;
            slen[2] = (F % 36) % 6;
            kase = 3;
        } else if (F < 244) {
            int T = F - 180;
            slen[0] = T >> 4;
            slen[1] = (T >> 2) & 3;
            slen[2] = T & 3;
            kase = 4;
        } else {
            int T = F - 244;
            slen[0] = T / 3;
            slen[1] = T % 3;
            kase = 5;
        }
    }
    int kind = gc->blockType != 2 ? 0 : gc->mixedBlock ? 2 : 1;
    const uint8_t* counts = kPartitions[kase][kind];
    memset(sf, 0, sizeof(*sf));
    // Highest legal intensity position per band: 2^slen - 1 of its
    // partition is the "illegal" one (0 where nothing is coded).
    uint8_t illegalLong[23] = {};
    uint8_t illegalShort[13] = {};
    int longBand = 0;
    int shortBand = kind == 2 ? 3 : 0;
    for (int p = 0; p < 4; p++) {
        int n = slen[p];
        int illegal = (1 << n) - 1;
        for (int i = 0; i < counts[p]; i++) {
            bool isLong = kind == 0 || (kind == 2 && p == 0);
            if (isLong) {
                if (longBand < 22) {
                    sf->longSf[longBand] = (uint8_t)MpaGetBits(br, n);
                    illegalLong[longBand] = (uint8_t)illegal;
                }
                longBand++;
            } else {
                for (int w = 0; w < 3; w++) {
                    uint8_t v = (uint8_t)MpaGetBits(br, n);
                    if (shortBand < 13)
                        sf->shortSf[w][shortBand] = v;
                }
                if (shortBand < 13)
                    illegalShort[shortBand] = (uint8_t)illegal;
                shortBand++;
            }
        }
    }
    if (intensityChannel) {
        ii->scale = S & 1;
        memcpy(ii->illegalLong, illegalLong, sizeof(illegalLong));
        memcpy(ii->illegalShort, illegalShort, sizeof(illegalShort));
    }
}

int L3ReadHuffman(MpaBits* br, uint32_t end, const L3GranuleChannel* gc, const int16_t* longBands, int32_t* ix) {
    int big = gc->bigValues * 2;
    int r0 = Clamp(gc->region0Count + 1, 0, 22);
    int r1 = Clamp(gc->region0Count + gc->region1Count + 2, 0, 22);
    int ends[3] = {longBands[r0], longBands[r1], big};
    if (ends[0] > big)
        ends[0] = big;
    if (ends[1] > big)
        ends[1] = big;
    if (ends[1] < ends[0])
        ends[1] = ends[0];
    int i = 0;
    for (int region = 0; region < 3; region++) {
        int sel = gc->tableSelect[region];
        const HuffTable& t = kTables[sel];
        int stop = ends[region];
        if (!t.codes) {
            for (; i < stop; i++)
                ix[i] = 0;
            continue;
        }
        const int width0 = FirstWidth(sel);
        const int linbits = t.linbits;
        // One 64-bit window per pair: a pair takes at most 47 bits (19 of
        // code, two escapes of 13, two signs).
        for (; i < stop; i += 2) {
            const uint64_t w = MpaBitsWord64(br) << (br->pos & 7);
            int used = 0;
            int width = width0;
            int32_t e = t.codes[w >> (64 - width)];
            while (e < 0) {
                used += width;
                uint32_t base = (uint32_t)(-e) >> 5;
                width = (-e) & 31;
                e = t.codes[base + ((w << used) >> (64 - width))];
            }
            used += e & 0xFF;
            int x = (e >> 8) & 0xF;
            int y = (e >> 16) & 0xF;
            if (x == 15 && linbits) {
                x += (int)((w << used) >> (64 - linbits));
                used += linbits;
            }
            // Sign bits without branches: they are random.
            if (x) {
                int neg = -(int)((w << used) >> 63);
                x = (x ^ neg) - neg;
                used++;
            }
            if (y == 15 && linbits) {
                y += (int)((w << used) >> (64 - linbits));
                used += linbits;
            }
            if (y) {
                int neg = -(int)((w << used) >> 63);
                y = (y ^ neg) - neg;
                used++;
            }
            br->pos += (uint32_t)used;
            ix[i] = x;
            ix[i + 1] = y;
            if (br->pos > end)
                return -1;
        }
    }
    const QuadTable& qa = QuadA();
    int lastNonZero = i;
    while (i <= 572 && br->pos < end) {
        int v;
        if (gc->count1TableSelect) {
            v = (int)MpaGetBits(br, 4) ^ 15;
        } else {
            uint32_t p = MpaPeekBits(br, 6);
            br->pos += qa.len[p];
            v = qa.value[p];
        }
        int q[4];
        for (int k = 0; k < 4; k++) {
            q[k] = 0;
            if (v & (8 >> k))
                q[k] = MpaGetBits(br, 1) ? -1 : 1;
        }
        if (br->pos > end)
            break; // the quadruple ran past the granule: discarded
        ix[i] = q[0];
        ix[i + 1] = q[1];
        ix[i + 2] = q[2];
        ix[i + 3] = q[3];
        i += 4;
        if (v)
            lastNonZero = i;
    }
    for (int k = i; k < 576; k++)
        ix[k] = 0;
    return lastNonZero;
}
