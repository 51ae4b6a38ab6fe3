#include "viewer/XbmRead.h"

#include <stdio.h>
#include <string.h>

namespace {

const size_t kXbmLine = 255; // a line and its terminator

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDelimiter(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == ',' || c == '}';
}

// The next line, as fgets gives it into a 255-byte buffer: false at the end
// of the data or when the line does not fit (*tooLong).
bool XbmNextLine(const uint8_t* data, size_t size, size_t* pos, char* line, bool* tooLong) {
    if (*pos >= size) return false;
    size_t n = 0;
    while (*pos < size && n < kXbmLine - 1) {
        uint8_t c = data[(*pos)++];
        line[n++] = (char)c;
        if (c == '\n') break;
    }
    line[n] = 0;
    if (n >= kXbmLine - 1) *tooLong = true;
    return !*tooLong;
}

// The part of a C name after its last '_'.
const char* NamePart(const char* name) {
    const char* u = strrchr(name, '_');
    return u ? u + 1 : name;
}

struct XbmBitmap {
    int32_t width, height;
    uint32_t rowBytes; // bytes of one row as stored here: (width + 7) / 8
    uint8_t* bits;
};

// The bitmaps found so far; the list grows geometrically.
struct XbmList {
    XbmBitmap* items;
    size_t count, capacity;
};

bool XbmAppend(XbmList* list, const XbmBitmap& b, const PicAllocator& a) {
    if (list->count == list->capacity) {
        size_t capacity = list->capacity ? list->capacity * 2 : 8;
        XbmBitmap* items = static_cast<XbmBitmap*>(a.alloc(capacity * sizeof(XbmBitmap)));
        if (!items) return false;
        if (list->count) memcpy(items, list->items, list->count * sizeof(XbmBitmap));
        if (list->items) a.release(reinterpret_cast<void**>(&list->items));
        list->items = items;
        list->capacity = capacity;
    }
    list->items[list->count++] = b;
    return true;
}

void XbmFreeList(XbmList* list, const PicAllocator& a) {
    for (size_t i = 0; i < list->count; i++)
        if (list->items[i].bits) a.release(reinterpret_cast<void**>(&list->items[i].bits));
    if (list->items) a.release(reinterpret_cast<void**>(&list->items));
    list->count = list->capacity = 0;
}

// The data of one bitmap; 16-bit (X10) values give their low byte first.
bool XbmReadData(const uint8_t* data, size_t size, size_t* pos, bool wide, XbmBitmap* b, const PicAllocator& a) {
    b->rowBytes = ((uint32_t)b->width + 7) / 8;
    uint64_t total = (uint64_t)b->rowBytes * (uint64_t)b->height;
    // Every value takes at least two characters of the file.
    if (total > size) return false;
    b->bits = static_cast<uint8_t*>(a.alloc(total ? (size_t)total : 1));
    if (!b->bits) return false;
    uint32_t values = wide ? (b->rowBytes + 1) / 2 : b->rowBytes;
    uint8_t* out = b->bits;
    for (int32_t y = 0; y < b->height; y++) {
        uint32_t n = 0;
        for (uint32_t v = 0; v < values; v++) {
            int64_t value = XbmNextInt(data, size, pos);
            if (value < 0) return false;
            out[n++] = (uint8_t)value;
            if (wide && n < b->rowBytes) out[n++] = (uint8_t)(value >> 8);
        }
        out += b->rowBytes;
    }
    return true;
}

} // namespace

int64_t XbmNextInt(const uint8_t* data, size_t size, size_t* pos) {
    while (*pos < size && HexDigit(data[*pos]) < 0)
        (*pos)++;
    if (*pos >= size) return -1;
    uint32_t value = 0;
    while (*pos < size && !IsDelimiter(data[*pos])) {
        int d = HexDigit(data[(*pos)++]);
        if (d >= 0) value = value * 16 + (uint32_t)d;
    }
    return value;
}

bool XbmDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    XbmList list = {};
    int32_t width = 0, height = 0;
    char line[kXbmLine], name[kXbmLine];
    size_t pos = 0;
    bool tooLong = false, failed = false;
    while (!failed && XbmNextLine(data, size, &pos, line, &tooLong)) {
        int value;
        if (sscanf(line, "#define %254s %d", name, &value) == 2) {
            const char* part = NamePart(name);
            if (strcmp(part, "width") == 0)
                width = value;
            else if (strcmp(part, "height") == 0)
                height = value;
            continue;
        }
        bool wide = sscanf(line, "static short %254s = {", name) == 1;
        if (!wide && sscanf(line, "static unsigned char %254s = {", name) != 1 &&
            sscanf(line, "static char %254s = {", name) != 1)
            continue;
        if (strcmp(NamePart(name), "bits[]") != 0) continue;
        if (width <= 0 || height <= 0) {
            failed = true;
            break;
        }
        // The values may start on the declaration's own line, after its '{'.
        const char* brace = strchr(line, '{');
        if (brace) pos -= strlen(brace + 1);
        XbmBitmap b = {width, height, 0, nullptr};
        if (!XbmReadData(data, size, &pos, wide, &b, a) || !XbmAppend(&list, b, a)) {
            if (b.bits) a.release(reinterpret_cast<void**>(&b.bits));
            failed = true;
        }
    }
    // The picture: the widest bitmap by all of them one below the other.
    int32_t largestWidth = 0;
    int64_t totalHeight = 0;
    for (size_t i = 0; i < list.count; i++) {
        if (list.items[i].width > largestWidth) largestWidth = list.items[i].width;
        totalHeight += list.items[i].height;
    }
    bool ok = !failed && !tooLong && list.count && largestWidth > 0 && totalHeight > 0 &&
              totalHeight <= 0x7FFFFFFF && PicCreate(pic, a, largestWidth, (int32_t)totalHeight, 1, -1);
    if (ok) {
        PicSetGreyTable(pic, 1);
        // Set bits are black, the first pixel is the lowest bit; the bits of
        // a last byte beyond a bitmap's width stay black like the margins.
        int32_t top = 0;
        for (size_t i = 0; i < list.count && ok; i++) {
            const XbmBitmap& b = list.items[i];
            uint8_t lastMask = (uint8_t)(0xFF << ((8 - (b.width & 7)) & 7));
            for (int32_t y = 0; y < b.height; y++) {
                uint8_t* out = PicRow(pic, top + y);
                const uint8_t* in = b.bits + (size_t)y * b.rowBytes;
                for (uint32_t x = 0; x < b.rowBytes; x++)
                    out[x] = (uint8_t)~ByteReverseBits(in[x]);
                out[b.rowBytes - 1] &= lastMask;
            }
            top += b.height;
        }
    }
    XbmFreeList(&list, a);
    if (!ok) PicRelease(pic, a);
    return ok;
}
