#include "viewer/AniRead.h"

#include <string.h>

namespace {

inline uint16_t U16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
inline uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

bool AddFrame(AniCursor* ani, uint32_t* capacity, const uint8_t* data, uint32_t offset, uint32_t length,
              const PicAllocator& a) {
    if (ani->frameCount >= kAniMaxFrames) return false;
    if (ani->frameCount == *capacity) {
        uint32_t grown = *capacity ? *capacity * 2 : 16;
        AniFrame* frames = static_cast<AniFrame*>(a.alloc((size_t)grown * sizeof(AniFrame)));
        if (!frames) return false;
        if (ani->frameCount) memcpy(frames, ani->frames, ani->frameCount * sizeof(AniFrame));
        if (ani->frames) a.release(reinterpret_cast<void**>(&ani->frames));
        ani->frames = frames;
        *capacity = grown;
    }
    AniFrame* f = &ani->frames[ani->frameCount];
    f->offset = offset;
    f->length = length;
    f->checksum = 0;
    for (uint32_t i = 0; i < length; i++)
        f->checksum += data[offset + i];
    // Identical frames share one icon.
    f->same = ani->frameCount;
    for (uint32_t i = 0; i < ani->frameCount; i++) {
        const AniFrame& g = ani->frames[i];
        if (g.checksum == f->checksum && g.length == length && memcmp(data + g.offset, data + offset, length) == 0) {
            f->same = g.same;
            break;
        }
    }
    ani->frameCount++;
    return true;
}

} // namespace

bool AniParse(const uint8_t* data, size_t size, AniCursor* ani, const PicAllocator& a) {
    memset(ani, 0, sizeof *ani);
    if (size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "ACON", 4) != 0) return false;
    // The RIFF length may be wrong; the chunks end where the file does.
    ani->header[0] = 1;
    ani->header[7] = 10;
    uint32_t capacity = 0;
    bool ok = true, haveHeader = false;
    size_t pos = 12;
    while (ok && size - pos >= 8) {
        const uint8_t* chunk = data + pos;
        uint32_t length = U32(chunk + 4);
        size_t body = pos + 8;
        if (length > size - body) {
            ok = false;
            break;
        }
        if (memcmp(chunk, "anih", 4) == 0) {
            if (length < 36) {
                ok = false;
                break;
            }
            for (int i = 0; i < 9; i++)
                ani->header[i] = U32(data + body + 4 * i);
            uint32_t steps = ani->header[2];
            if (!(ani->header[8] & 1) || !ani->header[1] || !steps || steps > kAniMaxSteps) {
                ok = false;
                break;
            }
            if (ani->rates) a.release(reinterpret_cast<void**>(&ani->rates));
            if (ani->sequence) a.release(reinterpret_cast<void**>(&ani->sequence));
            ani->rates = static_cast<uint32_t*>(a.alloc(steps * sizeof(uint32_t)));
            ani->sequence = static_cast<uint32_t*>(a.alloc(steps * sizeof(uint32_t)));
            if (!ani->rates || !ani->sequence) {
                ok = false;
                break;
            }
            ani->steps = steps;
            for (uint32_t i = 0; i < steps; i++) {
                ani->rates[i] = ani->header[7];
                ani->sequence[i] = i;
            }
            haveHeader = true;
        } else if (memcmp(chunk, "rate", 4) == 0 || memcmp(chunk, "seq ", 4) == 0) {
            uint32_t* table = chunk[0] == 'r' ? ani->rates : ani->sequence;
            for (uint32_t i = 0; table && i < ani->steps && i < length / 4; i++)
                table[i] = U32(data + body + 4 * i);
        } else if (memcmp(chunk, "LIST", 4) == 0 && length >= 4 && memcmp(data + body, "fram", 4) == 0) {
            size_t sub = body + 4, end = body + length;
            while (ok && end - sub >= 8) {
                uint32_t subLength = U32(data + sub + 4);
                if (subLength > end - sub - 8) {
                    ok = false;
                    break;
                }
                if (memcmp(data + sub, "icon", 4) == 0)
                    ok = AddFrame(ani, &capacity, data, (uint32_t)(sub + 8), subLength, a);
                sub += 8 + (size_t)subLength + (subLength & 1);
            }
        }
        pos = body + length + (length & 1);
        if (pos > size) break;
    }
    if (ok && haveHeader && ani->frameCount) {
        ani->header[1] = ani->frameCount;
        for (uint32_t i = 0; i < ani->steps; i++) {
            if (ani->sequence[i] >= ani->frameCount) ok = false;
            if (!ani->rates[i]) ani->rates[i] = 1;
        }
    } else {
        ok = false;
    }
    if (!ok) AniRelease(ani, a);
    return ok;
}

void AniRelease(AniCursor* ani, const PicAllocator& a) {
    if (ani->rates) a.release(reinterpret_cast<void**>(&ani->rates));
    if (ani->sequence) a.release(reinterpret_cast<void**>(&ani->sequence));
    if (ani->frames) a.release(reinterpret_cast<void**>(&ani->frames));
    memset(ani, 0, sizeof *ani);
}

bool AniFrameDirectory(const uint8_t* data, uint32_t length, bool* cursor, AniImage* images, uint32_t max,
                       uint32_t* count) {
    if (length < 6 || U16(data) != 0) return false;
    uint16_t type = U16(data + 2), n = U16(data + 4);
    // The directory must lie inside the chunk before any entry is read.
    if ((type != 1 && type != 2) || n == 0 || n > max || 6 + 16u * n > length) return false;
    uint32_t directoryEnd = 6 + 16u * n;
    for (uint32_t i = 0; i < n; i++) {
        const uint8_t* e = data + 6 + 16 * i;
        AniImage* image = &images[i];
        image->width = e[0];
        image->height = e[1];
        image->colourCount = e[2];
        image->planes = U16(e + 4);
        image->bitCount = U16(e + 6);
        image->size = U32(e + 8);
        image->offset = U32(e + 12);
        if (image->offset < directoryEnd || image->offset > length || image->size > length - image->offset ||
            image->size < 40)
            return false;
    }
    *cursor = type == 2;
    *count = n;
    return true;
}
