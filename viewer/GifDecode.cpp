#include "viewer/GifDecode.h"

#include <string.h>

namespace {

bool ReadBytes(GifStream* s, void* out, size_t n) {
    if (n > s->size - s->pos) return false;
    memcpy(out, s->data + s->pos, n);
    s->pos += n;
    return true;
}

// A sub-block: its length byte, then that many bytes. Returns the length, 0
// at the terminator or when the stream ends.
uint32_t ReadSubBlock(GifStream* s, uint8_t* out) {
    uint8_t n;
    if (!ReadBytes(s, &n, 1) || n == 0) return 0;
    if (!ReadBytes(s, out, n)) {
        s->pos = s->size;
        return 0;
    }
    return n;
}

void SkipSubBlocks(GifStream* s) {
    uint8_t block[255];
    while (ReadSubBlock(s, block)) {
    }
}

// LZW bit reader over the chained sub-blocks; past the end it gives nothing.
struct CodeReader {
    GifStream* s;
    uint8_t block[255];
    uint32_t blockLen, blockPos;
    uint32_t bits, bitCount;
    bool done;
};

bool NextCode(CodeReader* r, uint32_t width, uint32_t* code) {
    while (r->bitCount < width) {
        if (r->blockPos == r->blockLen) {
            if (r->done) return false;
            r->blockLen = ReadSubBlock(r->s, r->block);
            r->blockPos = 0;
            if (r->blockLen == 0) {
                r->done = true; // the terminator has been consumed
                return false;
            }
        }
        r->bits |= (uint32_t)r->block[r->blockPos++] << r->bitCount;
        r->bitCount += 8;
    }
    *code = r->bits & ((1u << width) - 1);
    r->bits >>= width;
    r->bitCount -= width;
    return true;
}

const uint32_t kLzwTable = 4096;

struct LzwTable {
    uint16_t prefix[kLzwTable];
    uint8_t suffix[kLzwTable];
    uint8_t stack[kLzwTable + 1];
};

void ReadColourTable(GifStream* s, uint8_t packed, uint8_t* table, int* count, bool* ok) {
    int n = 1 << ((packed & 7) + 1);
    *ok = ReadBytes(s, table, (size_t)n * 3);
    *count = *ok ? n : 0;
}

void Deinterlace(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height) {
    static const uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    uint32_t row = 0;
    for (int pass = 0; pass < 4; pass++)
        for (uint32_t y = start[pass]; y < height; y += step[pass])
            memcpy(dst + (size_t)y * width, src + (size_t)(row++) * width, width);
}

} // namespace

bool GifSignature(const uint8_t* data, size_t size) {
    return size >= 5 && (memcmp(data, "GIF87", 5) == 0 || memcmp(data, "GIF89", 5) == 0);
}

uint32_t GifDelayMs(uint32_t delayCs) {
    return delayCs ? delayCs * 10 : 100;
}

bool GifOpen(GifStream* s, const uint8_t* data, size_t size) {
    memset(s, 0, sizeof *s);
    s->data = data;
    s->size = size;
    s->transparent = -1;
    uint8_t head[13];
    if (!GifSignature(data, size) || !ReadBytes(s, head, sizeof head)) return false;
    s->screenWidth = head[6] | head[7] << 8;
    s->screenHeight = head[8] | head[9] << 8;
    if (head[10] & 0x80) {
        bool ok;
        ReadColourTable(s, head[10], s->globalTable, &s->globalCount, &ok);
        if (!ok) return false;
    }
    return true;
}

bool GifDecodeLzw(GifStream* s, uint8_t* pixels, uint32_t pixelCount) {
    uint8_t minSize;
    if (!ReadBytes(s, &minSize, 1)) return false;
    // Twelve bits or more would start the table beyond its 4096 entries.
    if (minSize < 1 || minSize > 11) {
        SkipSubBlocks(s);
        return false;
    }
    LzwTable t; // 16 KB: fine on any thread's stack
    CodeReader r = {};
    r.s = s;
    const uint32_t clear = 1u << minSize, end = clear + 1;
    uint32_t width = minSize + 1, next = clear + 2;
    int32_t previous = -1;
    uint8_t firstByte = 0;
    for (uint32_t i = 0; i < clear; i++) {
        t.prefix[i] = 0;
        t.suffix[i] = (uint8_t)i;
    }
    uint32_t out = 0, code;
    while (out < pixelCount && NextCode(&r, width, &code)) {
        if (code == clear) {
            width = minSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end || code > next) break;
        if (previous < 0) {
            if (code >= clear) break; // the first code after a reset must be a colour
            firstByte = (uint8_t)code;
            pixels[out++] = firstByte;
            previous = (int32_t)code;
            continue;
        }
        // A full table without a clear code: the frame's data ends here.
        if (next >= kLzwTable) break;
        uint32_t sp = 0, c = code;
        if (code == next) {
            t.stack[sp++] = firstByte;
            c = (uint32_t)previous;
        }
        while (c >= clear) {
            t.stack[sp++] = t.suffix[c];
            c = t.prefix[c];
        }
        firstByte = (uint8_t)c;
        t.stack[sp++] = firstByte;
        t.prefix[next] = (uint16_t)previous;
        t.suffix[next] = firstByte;
        next++;
        if ((next & (next - 1)) == 0 && next < kLzwTable) width++;
        while (sp && out < pixelCount)
            pixels[out++] = t.stack[--sp];
        previous = (int32_t)code;
    }
    // The rest of the frame's sub-blocks, so the next block is found.
    if (!r.done) SkipSubBlocks(s);
    return true;
}

void GifFreeFrame(GifFrame** frame, const PicAllocator& a) {
    if (!*frame) return;
    if ((*frame)->rows) a.release(reinterpret_cast<void**>(&(*frame)->rows));
    a.release(reinterpret_cast<void**>(frame));
}

static GifFrame* GifDecodeImage(GifStream* s, const PicAllocator& a, uint32_t background) {
    uint8_t d[9];
    if (!ReadBytes(s, d, sizeof d)) return nullptr;
    uint32_t width = d[4] | d[5] << 8, height = d[6] | d[7] << 8;
    uint8_t packed = d[8];
    uint8_t localTable[256 * 3];
    int localCount = 0;
    if (packed & 0x80) {
        bool ok;
        ReadColourTable(s, packed, localTable, &localCount, &ok);
        if (!ok) return nullptr;
    }
    uint32_t pixelCount = width * height;
    if (pixelCount == 0 || pixelCount >= kGifMaxFramePixels) return nullptr;
    GifFrame* frame = static_cast<GifFrame*>(a.alloc(sizeof(GifFrame)));
    if (!frame) return nullptr;
    frame->width = (int32_t)width;
    frame->height = (int32_t)height;
    frame->left = d[0] | d[1] << 8;
    frame->top = d[2] | d[3] << 8;
    frame->transparent = s->transparent;
    frame->delayMs = GifDelayMs(s->delayCs);
    frame->stride = (width * 3 + 3) & ~3u;
    // Indexes first, then (interlaced) a second buffer in display order.
    uint8_t* indexes = static_cast<uint8_t*>(a.alloc((size_t)pixelCount * 2));
    frame->rows = static_cast<uint8_t*>(a.alloc((size_t)frame->stride * height));
    if (!indexes || !frame->rows || !GifDecodeLzw(s, indexes, pixelCount)) {
        if (indexes) a.release(reinterpret_cast<void**>(&indexes));
        GifFreeFrame(&frame, a);
        return nullptr;
    }
    const uint8_t* order = indexes;
    if (packed & 0x40) {
        Deinterlace(indexes, indexes + pixelCount, width, height);
        order = indexes + pixelCount;
    }
    // Colours: the frame's own table, else the global one, else a grey ramp;
    // indexes past the table's colours show black.
    uint8_t colours[256 * 3] = {};
    if (localCount)
        memcpy(colours, localTable, (size_t)localCount * 3);
    else if (s->globalCount)
        memcpy(colours, s->globalTable, (size_t)s->globalCount * 3);
    else
        for (int i = 0; i < 256; i++)
            colours[i * 3] = colours[i * 3 + 1] = colours[i * 3 + 2] = (uint8_t)i;
    uint8_t bg[3] = {(uint8_t)(background >> 16), (uint8_t)(background >> 8), (uint8_t)background};
    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = frame->rows + (size_t)y * frame->stride;
        const uint8_t* src = order + (size_t)y * width;
        for (uint32_t x = 0; x < width; x++, row += 3) {
            uint32_t i = src[x];
            if ((int32_t)i == frame->transparent) {
                memcpy(row, bg, 3);
            } else {
                row[0] = colours[i * 3 + 2];
                row[1] = colours[i * 3 + 1];
                row[2] = colours[i * 3];
            }
        }
    }
    a.release(reinterpret_cast<void**>(&indexes));
    return frame;
}

GifFrame* GifNextFrame(GifStream* s, const PicAllocator& a, uint32_t background) {
    uint8_t block[256];
    while (!s->ended) {
        uint8_t tag;
        if (!ReadBytes(s, &tag, 1) || tag == 0x3B) break;
        if (tag == 0x2C) {
            GifFrame* frame = GifDecodeImage(s, a, background);
            if (!frame) break;
            return frame;
        }
        if (tag != 0x21) continue; // stray bytes between blocks are passed over
        uint8_t label;
        if (!ReadBytes(s, &label, 1)) break;
        if (label == 0xF9) {
            uint32_t n, last = 0;
            uint8_t control[255];
            while ((n = ReadSubBlock(s, block)) != 0) {
                memcpy(control, block, n);
                last = n;
            }
            if (last >= 4) {
                s->delayCs = control[1] | control[2] << 8;
                if (control[0] & 1) s->transparent = control[3];
            }
        } else if (label == 0xFF) {
            // The loop count lives in the NETSCAPE2.0 block's sub-block 1;
            // other application blocks are skipped whatever their length.
            uint32_t n = ReadSubBlock(s, block);
            bool netscape =
                n == 11 && (memcmp(block, "NETSCAPE2.0", 11) == 0 || memcmp(block, "ANIMEXTS1.0", 11) == 0);
            while ((n = ReadSubBlock(s, block)) != 0)
                if (netscape && n >= 3 && block[0] == 1) s->loopCount = block[1] | block[2] << 8;
        } else {
            SkipSubBlocks(s);
        }
    }
    s->ended = true;
    return nullptr;
}
