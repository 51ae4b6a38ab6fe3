// Frame headers: field parsing, frame length, bit rate, free-format length.
#include "MpaInternal.h"

namespace {

// kbit/s by [id][layer - 1][index]: id 1 from ISO/IEC 11172-3, id 0 from
// ISO/IEC 13818-3 (Layers II and III share a row there).
const int16_t kBitrates[2][3][16] = {
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
};

// Sample rates in units of 50 Hz by [id][index].
const int16_t kRates50[2][4] = {{441, 480, 320, -999}, {882, 960, 640, -999}};

// Bytes of a frame per kbit/s and 50-Hz unit, without padding.
int SlotFactor(const MpaHeader* h) {
    int layer = 4 - h->layerCode;
    if (layer == 1)
        return 0; // computed separately
    if (layer == 2 || h->id == 1)
        return 2880;
    return h->syncKind == 2 ? 2880 : 1440;
}

// A free-format frame's length: the distance to the next header that
// repeats the first header's two bytes, confirmed by every further header
// in the window.
int FreeFormatLength(const uint8_t* p, size_t length) {
    if (length < 4)
        return 0;
    size_t n = length > 10000 ? 10000 : length;
    n -= 3;
    int slot = (p[1] & 6) == 6 ? 4 : 1;
    int pad0 = (p[2] >> 1) & 1;
    for (size_t start = 24; start < 2000 && start < n;) {
        size_t d = start;
        while (d < n && !(p[d] == p[0] && p[d + 1] == p[1]))
            d++;
        if (d >= n)
            return 0;
        long L = (long)d - pad0 * slot;
        if (L <= 0)
            return 0;
        bool ok = true;
        int matches = 0;
        size_t pos = d;
        while (pos < n) {
            if (!(p[pos] == p[0] && p[pos + 1] == p[1])) {
                ok = false;
                break;
            }
            matches++;
            pos += (size_t)L + (size_t)(((p[pos + 2] >> 1) & 1) * slot);
        }
        if (ok && matches > 0)
            return (int)L;
        start = d + 1;
    }
    return 0;
}

} // namespace

bool MpaReadHeader(const uint8_t* p, MpaHeader* h) {
    memset(h, 0, sizeof(*h));
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    int nibble = p[1] >> 4;
    if (nibble == 0xF)
        h->syncKind = 1;
    else if (nibble == 0xE)
        h->syncKind = 2;
    else
        return false;
    h->id = (p[1] >> 3) & 1;
    h->layerCode = (p[1] >> 1) & 3;
    h->protectionBit = p[1] & 1;
    h->bitrateIndex = p[2] >> 4;
    h->sampleRateIndex = (p[2] >> 2) & 3;
    h->paddingBit = (p[2] >> 1) & 1;
    h->privateBit = p[2] & 1;
    h->mode = p[3] >> 6;
    h->modeExtension = (p[3] >> 4) & 3;
    h->copyFlag = (p[3] >> 3) & 1;
    h->original = (p[3] >> 2) & 1;
    h->emphasis = p[3] & 3;
    // 0xE with the MPEG-1 id bit is reserved.
    return !(h->syncKind == 2 && h->id == 1);
}

int MpaSampleRate(const MpaHeader* h) {
    if (h->sampleRateIndex == 3)
        return 0;
    int r = kRates50[h->id][h->sampleRateIndex] * 50;
    return h->syncKind == 2 ? r / 2 : r;
}

int MpaBitrateKbps(const MpaHeader* h) {
    if (h->layerCode == 0)
        return 0;
    return kBitrates[h->id][3 - h->layerCode][h->bitrateIndex];
}

int MpaPaddingBytes(const MpaHeader* h) {
    if (!h->paddingBit)
        return 0;
    return h->layerCode == 3 ? 4 : 1;
}

// Length without padding from the tables; 0 for free format.
static int TableLength(const MpaHeader* h) {
    int b = MpaBitrateKbps(h);
    int r = kRates50[h->id][h->sampleRateIndex];
    if (b == 0 || r <= 0)
        return 0;
    if (h->layerCode == 3)
        return (240 * b / r) * 4;
    return SlotFactor(h) * b / r;
}

int MpaFrameLength(const MpaHeader* h) {
    if (h->layerCode == 0 || h->sampleRateIndex == 3 || h->bitrateIndex == 15)
        return 0;
    int len = TableLength(h);
    return len ? len + MpaPaddingBytes(h) : 0;
}

int MpaParseHeader(const uint8_t* bytes, size_t length, MpaHeader* h) {
    if (length < 4) {
        memset(h, 0, sizeof(*h));
        return 0;
    }
    if (!MpaReadHeader(bytes, h))
        return 0;
    if (h->layerCode == 0 || h->sampleRateIndex == 3 || h->bitrateIndex == 15)
        return 0;
    if (h->bitrateIndex == 0)
        return FreeFormatLength(bytes, length);
    return TableLength(h);
}

int MpaParseFrame(const uint8_t* bytes, size_t length, MpaHeader* h, int32_t* bitrate) {
    int len = MpaParseHeader(bytes, length, h);
    *bitrate = 0;
    if (len <= 0)
        return len;
    if (h->bitrateIndex != 0) {
        *bitrate = MpaBitrateKbps(h) * 1000;
        return len;
    }
    // 64-bit: r x 1000 x L overflows 32 bits for long free-format frames.
    int64_t r = kRates50[h->id][h->sampleRateIndex];
    int64_t L = len;
    int64_t br;
    if (h->layerCode == 3)
        br = r * 1000 * L / 960;
    else if (h->layerCode == 2 || h->id == 1)
        br = r * 1000 * L / 2880;
    else if (h->syncKind == 1)
        br = r * 1000 * L / 1440;
    else
        br = r * 500 * L / 1440;
    *bitrate = br > INT32_MAX ? INT32_MAX : (int32_t)br;
    return len;
}

int MpaFindFrame(const uint8_t* bytes, size_t length, MpaHeader* h, int32_t* bitrate, size_t* offset) {
    for (size_t i = 0; i + 1 < length; i++) {
        if (bytes[i] == 0xFF && (bytes[i + 1] & 0xE0) == 0xE0 && (bytes[i + 1] >> 4) >= 0xE) {
            int len = MpaParseFrame(bytes + i, length - i, h, bitrate);
            if (len > 0) {
                *offset = i;
                return len;
            }
        }
    }
    return 0;
}
