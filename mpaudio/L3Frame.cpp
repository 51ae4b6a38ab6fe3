// Layer III frames: set-up, bit reservoir and the per-granule pipeline.
#include "MpaInternal.h"

namespace {

// Scale-factor band boundaries (ISO/IEC 11172-3 and 13818-3), rows by
// 3 x version + sample-rate index; versions: MPEG-2, MPEG-1, MPEG-2.5.
const int16_t kLongBands[9][23] = {
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 52, 62, 74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 42, 50, 60, 72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 54, 66, 82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 12, 24, 36, 48, 60, 72, 88, 108, 132, 160, 192, 232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
};

const int16_t kShortBands[9][14] = {
    {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192},
    {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192},
    {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192},
};

inline MpaResult Result(uint32_t consumed, uint32_t produced) {
    return (uint64_t)consumed | ((uint64_t)produced << 32);
}

void L3DecodeGranule(MpaDecoder* d, int gr, uint32_t* bitPos, uint32_t endBits) {
    L3State* st = &d->l3;
    const int nch = st->channels;
    for (int ch = 0; ch < nch; ch++) {
        L3GranuleChannel* gc = &st->side.granule[gr][ch];
        MpaBits br;
        br.data = st->reservoir;
        br.limit = endBits;
        br.pos = *bitPos;
        uint32_t end = *bitPos + (uint32_t)gc->part23Length;
        *bitPos = end;
        L3ScaleFactors* sf = &st->sf[gr][ch];
        if (st->lsf)
            L3ScaleFactorsLsf(&br, sf, gc, ch == 1 && st->intensityStereo, &st->intensity);
        else
            L3ScaleFactorsMpeg1(&br, sf, &st->sf[0][ch], gc, st->side.scfsi[ch], gr);
        int nonZero;
        if (end > endBits) {
            // The granule claims more data than the frame brought.
            nonZero = 0;
        } else {
            nonZero = L3ReadHuffman(&br, end, gc, st->longBands, st->ix);
            if (nonZero < 0)
                nonZero = 0; // the Huffman data overran the granule
        }
        st->nonZero[ch] = L3Dequantize(st->ix, nonZero, gc, sf, st, st->xr[ch]);
    }
    if (nch == 2 && (st->msStereo || st->intensityStereo))
        L3Stereo(st, gr);
    for (int ch = 0; ch < nch; ch++) {
        const L3GranuleChannel* gc = &st->side.granule[gr][ch];
        float* xr = st->xr[ch];
        L3Reorder(xr, gc, st, st->nonZero[ch]);
        if (gc->blockType != 2) {
            int boundaries = (st->nonZero[ch] + 17) / 18;
            L3Antialias(xr, boundaries > 31 ? 31 : boundaries);
        } else if (gc->mixedBlock) {
            L3Antialias(xr, st->mixedLongLines / 18 - 1);
        }
    }
}

} // namespace

bool L3DecoderInit(MpaDecoder* d) {
    const MpaHeader* h = &d->header;
    L3State* st = &d->l3;
    L3TablesInit();
    st->hybrid = MpaVectorPathsActive() ? L3HybridSse2 : L3Hybrid;
    st->fill = 0;
    st->lsf = h->id == 0;
    st->mpeg25 = h->syncKind == 2;
    st->channels = h->mode == 3 ? 1 : 2;
    int version = h->id == 1 ? 1 : st->mpeg25 ? 2 : 0;
    int row = 3 * version + h->sampleRateIndex;
    st->longBands = kLongBands[row];
    st->shortBands = kShortBands[row];
    st->mixedLongLines = st->longBands[st->lsf ? 6 : 8];
    memset(st->overlap, 0, sizeof(st->overlap));
    memset(st->sf, 0, sizeof(st->sf));
    memset(st->reservoir, 0, sizeof(st->reservoir));
    return true;
}

MpaResult L3DecodeFrame(MpaDecoder* d, const MpaHeader* h, const uint8_t* frame, size_t frameLen, void* out) {
    L3State* st = &d->l3;
    // A stream may switch between one and two channels from frame to frame.
    st->channels = h->mode == 3 ? 1 : 2;
    const int nch = st->channels;
    MpaBits br;
    MpaBitsInit(&br, frame, frameLen);
    br.pos = h->protectionBit ? 32 : 48;
    L3ReadSideInfo(&br, h, &st->side, nch, st->lsf);
    st->msStereo = h->mode == 1 && (h->modeExtension & 2);
    st->intensityStereo = h->mode == 1 && (h->modeExtension & 1);
    int sideBytes = st->lsf ? (nch == 1 ? 9 : 17) : (nch == 1 ? 17 : 32);
    int mainStart = 4 + (h->protectionBit ? 0 : 2) + sideBytes;
    int mainBytes = (int)frameLen - mainStart;
    if (mainBytes < 0) {
        memset(out, d->bits8 ? 0x80 : 0, (size_t)d->outputBytes);
        return Result((uint32_t)frameLen, (uint32_t)d->outputBytes);
    }
    // Keep only what a later frame can reach back to, then append this
    // frame's main data; the buffer holds the largest frame behind that.
    int keep = st->fill < kL3MaxBackBytes ? st->fill : kL3MaxBackBytes;
    memmove(st->reservoir, st->reservoir + st->fill - keep, (size_t)keep);
    memcpy(st->reservoir + keep, frame + mainStart, (size_t)mainBytes);
    st->fill = keep + mainBytes;
    memset(st->reservoir + st->fill, 0, kL3GuardBytes);
    int granules = st->lsf ? 1 : 2;
    int perGranule = d->outputBytes / granules;
    if (st->side.mainDataBegin > keep) {
        // Main data from before the stream start or a seek: silence.
        memset(out, d->bits8 ? 0x80 : 0, (size_t)d->outputBytes);
        return Result((uint32_t)frameLen, (uint32_t)d->outputBytes);
    }
    uint32_t bitPos = (uint32_t)(keep - st->side.mainDataBegin) * 8u;
    uint32_t endBits = (uint32_t)st->fill * 8u;
    const int M = 32 >> d->reduction;
    for (int gr = 0; gr < granules; gr++) {
        L3DecodeGranule(d, gr, &bitPos, endBits);
        uint8_t* o = (uint8_t*)out + gr * perGranule;
        const int k = d->kFrame;
        int first = k == 4 ? 1 : 0;
        int last = k == 0 || k == 3 || k == 5 ? 0 : 1;
        for (int ch = first; ch <= last; ch++)
            st->hybrid(st->xr[ch], st->nonZero[ch], &st->side.granule[gr][ch], st->mixedLongLines,
                       st->overlap[ch], st->hybridOut[ch]);
        for (int ch = first; ch <= last; ch++)
            for (int t = 0; t < 18; t++)
                for (int sb = d->subbandLimit; sb < M; sb++)
                    st->hybridOut[ch][t][sb] = 0.0f;
        switch (k) {
        case 5:
            d->synth(&d->synthState, 0, &st->hybridOut[0][0][0], 32, 18, o, 2);
            MpaDuplicateChannel(o, 18 * M, d->bits8 != 0);
            break;
        case 1:
            d->synthStereo(&d->synthState, &st->hybridOut[0][0][0], &st->hybridOut[1][0][0], 32, 18, o);
            break;
        case 2:
            for (int t = 0; t < 18; t++)
                for (int sb = 0; sb < M; sb++)
                    st->mixOut[t][sb] = 0.5f * (st->hybridOut[0][t][sb] + st->hybridOut[1][t][sb]);
            d->synth(&d->synthState, 0, &st->mixOut[0][0], 32, 18, o, 1);
            break;
        case 4:
            d->synth(&d->synthState, 0, &st->hybridOut[1][0][0], 32, 18, o, 1);
            break;
        default:
            d->synth(&d->synthState, 0, &st->hybridOut[0][0][0], 32, 18, o, 1);
            break;
        }
    }
    return Result((uint32_t)frameLen, (uint32_t)d->outputBytes);
}
