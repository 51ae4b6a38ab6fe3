// The engine table: float engine (Layers I, II, III), integer engine
// (Layers I and II) and the 8000-Hz variant with its converters.
#include "MpaInternal.h"

#include <new>

namespace {

inline MpaResult Result(uint32_t consumed, uint32_t produced) {
    return (uint64_t)consumed | ((uint64_t)produced << 32);
}

int CommonInit(MpaDecoder* d, const MpaHeader* h, int frameBytes, int reductionCode, int conversionCode,
               int frequencyLimit, int engine) {
    if (h->layerCode == 0 || h->sampleRateIndex == 3 || h->syncKind == 0)
        return 0;
    int layer = 4 - h->layerCode;
    if (engine == 1 && layer == 3)
        return 0;
    if (layer == 2 && MpaLayer2Table(h) < 0)
        return 0;
    if (frameBytes < 0 || frameBytes > kMpaMaxFrameBytes)
        return 0;
    d->header = *h;
    d->engine = engine;
    d->layer = layer;
    d->frameBytes = frameBytes;
    d->reduction = reductionCode < 0 ? 0 : reductionCode > 2 ? 2 : reductionCode;
    d->conversion = conversionCode;
    d->channels = h->mode == 3 ? 1 : 2;
    d->k = d->channels == 1 ? 0 : (conversionCode & 3) + 1;
    d->outChannels = d->k == 1 ? 2 : 1;
    d->bits8 = (conversionCode & 8) ? 1 : 0;
    d->sampleRate = MpaSampleRate(h);
    int limit = frequencyLimit < 1000 ? 1000 : frequencyLimit;
    int u = (int)(((int64_t)limit * 64 + d->sampleRate / 2) / d->sampleRate);
    // Every subband up to the rate's own top one is decoded.
    int w = 32 >> d->reduction;
    d->subbandLimit = u < w ? u : w;
    int samples = layer == 1 ? 384 : (layer == 3 && h->id == 0) ? 576 : 1152;
    d->samplesPerFrame = samples >> d->reduction;
    d->outputBytes = d->samplesPerFrame * d->outChannels * (d->bits8 ? 1 : 2);
    d->info.channels = d->outChannels;
    d->info.valuesPerFrame = d->samplesPerFrame * d->outChannels;
    d->info.sampleRate = d->sampleRate >> d->reduction;
    d->info.bits = d->bits8 ? 8 : 16;
    d->info.frameBytes = frameBytes;
    d->info.reserved = 0;
    d->synth = MpaSynthRoutine(d->reduction, d->bits8 != 0);
    d->synthStereo = MpaSynthStereoRoutine(d->reduction, d->bits8 != 0);
    d->synthInt = MpaSynthIntRoutine(d->reduction, d->bits8 != 0);
    SynthReset(&d->synthState);
    MpaSynthIntReset(&d->synthIntState);
    memset(&d->l12, 0, sizeof(d->l12));
    if (layer == 3 && !L3DecoderInit(d))
        return 0;
    return 1;
}

// The header of a frame to decode must describe the stream set up at init;
// its own bit rate and padding give its length, so bit-rate switching keeps
// sync. Returns the frame length with padding, 0 when it cannot be decoded
// here.
int CheckFrame(const MpaDecoder* d, const uint8_t* frame, size_t length, MpaHeader* h) {
    if (length < 4 || !MpaReadHeader(frame, h))
        return 0;
    const MpaHeader& s = d->header;
    if (h->layerCode != s.layerCode || h->id != s.id || h->syncKind != s.syncKind ||
        h->sampleRateIndex != s.sampleRateIndex)
        return 0;
    int len;
    if (h->bitrateIndex == 0) {
        if (d->frameBytes <= 0)
            return 0;
        len = d->frameBytes + MpaPaddingBytes(h);
    } else {
        len = MpaFrameLength(h);
    }
    if (len <= 4 || len > kMpaMaxFrameBytes || (size_t)len > length)
        return 0;
    return len;
}

} // namespace

void MpaDuplicateChannel(uint8_t* out, int samples, bool bits8) {
    if (bits8) {
        for (int i = 0; i < samples; i++)
            out[2 * i + 1] = out[2 * i];
    } else {
        int16_t* o = (int16_t*)out;
        for (int i = 0; i < samples; i++)
            o[2 * i + 1] = o[2 * i];
    }
}

namespace {

void Silence(const MpaDecoder* d, void* out) { memset(out, d->bits8 ? 0x80 : 0, (size_t)d->outputBytes); }

void SynthLayer12(MpaDecoder* d, int slots, void* out) {
    MpaLayer12State* s = &d->l12;
    int chStep = d->bits8 ? 1 : 2;
    uint8_t* o = (uint8_t*)out;
    const int samples = (d->layer == 1 ? 384 : 1152) >> d->reduction;
    if (d->engine == 1) {
        MpaSynthIntFn fn = d->synthInt;
        MpaSynthIntState* st = &d->synthIntState;
        switch (d->kFrame) {
        case 5:
            fn(st, 0, &s->sbInt[0][0][0], 64, slots, o, 2);
            MpaDuplicateChannel(o, samples, d->bits8 != 0);
            break;
        case 0:
        case 3:
            fn(st, 0, &s->sbInt[0][0][0], 64, slots, o, 1);
            break;
        case 1:
            fn(st, 0, &s->sbInt[0][0][0], 64, slots, o, 2);
            fn(st, 1, &s->sbInt[0][1][0], 64, slots, o + chStep, 2);
            break;
        case 2:
            for (int t = 0; t < slots; t++)
                for (int i = 0; i < 32; i++)
                    s->sbInt[t][0][i] = (s->sbInt[t][0][i] >> 1) + (s->sbInt[t][1][i] >> 1);
            fn(st, 0, &s->sbInt[0][0][0], 64, slots, o, 1);
            break;
        default:
            fn(st, 0, &s->sbInt[0][1][0], 64, slots, o, 1);
            break;
        }
        return;
    }
    MpaSynthFn fn = d->synth;
    MpaSynthState* st = &d->synthState;
    switch (d->kFrame) {
    case 5:
        fn(st, 0, &s->sb[0][0][0], 64, slots, o, 2);
        MpaDuplicateChannel(o, samples, d->bits8 != 0);
        break;
    case 0:
    case 3:
        fn(st, 0, &s->sb[0][0][0], 64, slots, o, 1);
        break;
    case 1:
        d->synthStereo(st, &s->sb[0][0][0], &s->sb[0][1][0], 64, slots, o);
        break;
    case 2:
        for (int t = 0; t < slots; t++)
            for (int i = 0; i < 32; i++)
                s->sb[t][0][i] = 0.5f * (s->sb[t][0][i] + s->sb[t][1][i]);
        fn(st, 0, &s->sb[0][0][0], 64, slots, o, 1);
        break;
    default:
        fn(st, 0, &s->sb[0][1][0], 64, slots, o, 1);
        break;
    }
}

MpaResult DecodeCommon(MpaDecoder* d, const uint8_t* frame, size_t length, void* out) {
    MpaHeader h;
    int len = CheckFrame(d, frame, length, &h);
    if (!len)
        return 0;
    if (h.mode == 3)
        d->kFrame = d->outChannels == 2 ? 5 : 0;
    else
        d->kFrame = d->channels == 1 ? 2 : d->k;
    if (d->layer == 3)
        return L3DecodeFrame(d, &h, frame, (size_t)len, out);
    if (!MpaLayer12Read(d, &h, frame, (size_t)len, d->engine == 1)) {
        // A bit rate without an allocation table: the frame is passed over.
        Silence(d, out);
        return Result((uint32_t)len, (uint32_t)d->outputBytes);
    }
    SynthLayer12(d, d->layer == 1 ? 12 : 36, out);
    return Result((uint32_t)len, (uint32_t)d->outputBytes);
}

int FloatInit(MpaDecoder* d, const MpaHeader* h, int frameBytes, int reductionCode, int, int conversionCode,
              int frequencyLimit) {
    return CommonInit(d, h, frameBytes, reductionCode, conversionCode, frequencyLimit, 0);
}

int IntInit(MpaDecoder* d, const MpaHeader* h, int frameBytes, int reductionCode, int, int conversionCode,
            int frequencyLimit) {
    return CommonInit(d, h, frameBytes, reductionCode, conversionCode, frequencyLimit, 1);
}

void CommonInfo(const MpaDecoder* d, MpaStreamInfo* out) { *out = d->info; }

// ---------------------------------------------------------------------------
// 8000-Hz variant: decimated float decoding (one channel, 3200 Hz band
// limit) and linear interpolation to 8000 Hz.

constexpr int kNarrowRate = 8000;

uint8_t MuLaw(int v14) {
    // G.711 mu-law from a 14-bit linear value.
    int sign = v14 < 0 ? 0x80 : 0;
    int mag = v14 < 0 ? -v14 : v14;
    if (mag > 8031)
        mag = 8031;
    mag += 33;
    int exp = 7;
    for (int m = 0x1000; exp > 0 && !(mag & m); m >>= 1)
        exp--;
    int mant = (mag >> (exp + 1)) & 0xF;
    return (uint8_t)~(sign | exp << 4 | mant);
}

const uint8_t* MuLawTable() {
    static const struct T {
        uint8_t v[8192];
        T() {
            for (int i = 0; i < 8192; i++)
                v[i] = MuLaw(-8192 + 2 * i);
        }
    } t;
    return t.v;
}

int NarrowInit(MpaDecoder* d, const MpaHeader* h, int frameBytes, int, int transformCode, int conversionCode,
               int) {
    if (h->syncKind == 2 || h->sampleRateIndex == 3)
        return 0;
    MpaNarrowState* n = &d->narrow;
    int outCode = conversionCode >> 2;
    n->outCode = outCode < 1 ? 1 : outCode > 3 ? 3 : outCode;
    int s = h->id == 1 ? 2 : 1;
    int conv = conversionCode & 3;
    if (!FloatInit(d, h, frameBytes, s, transformCode, conv ? conv : 1, 3200))
        return 0;
    n->samplesPerFrame = d->samplesPerFrame;
    n->inRate = d->info.sampleRate;
    n->position = 0;
    n->prev = 0;
    return 1;
}

void NarrowInfo(const MpaDecoder* d, MpaStreamInfo* out) {
    *out = d->info;
    out->sampleRate = kNarrowRate;
    out->bits = d->narrow.outCode == 1 ? 16 : 8;
    out->reserved = d->narrow.outCode == 3 ? 10 : 0;
    out->valuesPerFrame = (int32_t)((int64_t)d->narrow.samplesPerFrame * kNarrowRate / d->narrow.inRate) + 1;
}

// Linear interpolation at the exact rate ratio: the position counts input
// samples in units of 1/8000, so 11025 Hz becomes 8000 Hz without the
// 0.2 % pitch error of a step rounded to eighths of a sample.
MpaResult NarrowDecode(MpaDecoder* d, const uint8_t* frame, size_t length, void* out) {
    MpaNarrowState* n = &d->narrow;
    MpaResult r = DecodeCommon(d, frame, length, n->pcm);
    if (!MpaConsumed(r))
        return r;
    const int g = n->samplesPerFrame;
    const int16_t* s = n->pcm;
    int16_t* o16 = (int16_t*)out;
    uint8_t* o8 = (uint8_t*)out;
    const uint8_t* mu = n->outCode == 3 ? MuLawTable() : nullptr;
    int count = 0;
    const int64_t end = (int64_t)(g - 1) * kNarrowRate;
    int64_t p = n->position;
    while (p < end) {
        int64_t i = p >= 0 ? p / kNarrowRate : -1;
        int a = i < 0 ? n->prev : s[i];
        int b = s[i + 1];
        int64_t frac = p - i * kNarrowRate;
        int v = a + (int)((int64_t)(b - a) * frac / kNarrowRate);
        if (n->outCode == 1) {
            o16[count] = (int16_t)v;
        } else if (n->outCode == 2) {
            o8[count] = (uint8_t)((v >> 8) + 128);
        } else {
            o8[count] = mu[(v >> 3) + 4096];
        }
        count++;
        p += n->inRate;
    }
    n->position = p - (int64_t)g * kNarrowRate;
    n->prev = s[g - 1];
    uint32_t bytes = (uint32_t)(n->outCode == 1 ? 2 * count : count);
    return Result(MpaConsumed(r), bytes);
}

} // namespace

const MpaEngine MpaEngines[4] = {
    {FloatInit, CommonInfo, DecodeCommon},
    {NarrowInit, NarrowInfo, NarrowDecode},
    {IntInit, CommonInfo, DecodeCommon},
    {NarrowInit, NarrowInfo, NarrowDecode},
};

MpaDecoder* MpaDecoderCreate() {
    MpaDecoder* d = new (std::nothrow) MpaDecoder;
    if (d)
        memset(d, 0, sizeof(*d));
    return d;
}

void MpaDecoderDestroy(MpaDecoder* d) { delete d; }
