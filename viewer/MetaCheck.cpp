#include "viewer/MetaCheck.h"

#include <string.h>

namespace {

uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t U16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

// One record: its bytes and the reads inside it. Every read past the record
// makes the check fail.
struct Record {
    const uint8_t* data;
    uint64_t size;
    bool ok = true;

    uint32_t Word(uint64_t offset) {
        if (offset + 4 > size) {
            ok = false;
            return 0;
        }
        return U32(data + offset);
    }
    uint16_t Half(uint64_t offset) {
        if (offset + 2 > size) {
            ok = false;
            return 0;
        }
        return U16(data + offset);
    }
    // offset + count * unit bytes lie inside the record.
    void Span(uint64_t offset, uint64_t count, uint64_t unit) {
        if (offset > size || count * unit > size - offset) ok = false;
    }
};

// A BITMAPINFO of cbBmi bytes at offBmi with cbBits bytes of bits at
// offBits, all inside the record; the bits cover the picture the header
// describes (palette usage 0 = colours, 1 = palette indices).
bool DibSound(Record& r, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits, uint32_t cbBits, uint32_t usage) {
    if (cbBmi == 0 && cbBits == 0) return true;
    r.Span(offBmi, cbBmi, 1);
    r.Span(offBits, cbBits, 1);
    if (!r.ok || cbBmi < 12) return false;
    const uint8_t* bmi = r.data + offBmi;
    uint32_t headerSize = U32(bmi);
    if (headerSize < 12 || headerSize > cbBmi) return false;
    int64_t width, height;
    uint32_t bits, compression = 0, used = 0;
    if (headerSize == 12) {
        width = U16(bmi + 4);
        height = U16(bmi + 6);
        bits = U16(bmi + 10);
    } else {
        if (headerSize < 40) return false;
        width = (int32_t)U32(bmi + 4);
        height = (int32_t)U32(bmi + 8);
        bits = U16(bmi + 14);
        compression = U32(bmi + 16);
        used = U32(bmi + 32);
    }
    if (height < 0) height = -height;
    if (width <= 0 || width > 0x7FFF || height > 0x7FFF) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    uint64_t colours = bits <= 8 ? (used ? used : 1u << bits) : 0;
    if (bits <= 8 && colours > (1u << bits)) return false;
    if (compression == 3) colours = 3; // the three channel masks
    uint64_t entry = usage == 1 ? 2 : (headerSize == 12 ? 3 : 4);
    if (headerSize + colours * entry > cbBmi) return false;
    uint64_t stride = ((uint64_t)width * bits + 31) / 32 * 4;
    switch (compression) {
    case 0: // plain
    case 3: // bit fields
        return stride * (uint64_t)height <= cbBits;
    case 1: // RLE8
    case 2: // RLE4
        return bits == (compression == 1 ? 8u : 4u);
    default:
        return false;
    }
}

// Region data (RGNDATAHEADER then nCount rectangles) of cb bytes at offset.
void RegionSound(Record& r, uint64_t offset, uint32_t cb) {
    r.Span(offset, cb, 1);
    if (!r.ok) return;
    if (cb < 32) {
        r.ok = false;
        return;
    }
    uint32_t headerSize = r.Word(offset);
    uint32_t count = r.Word(offset + 8);
    if (headerSize < 32 || headerSize > cb || (uint64_t)count * 16 > cb - headerSize) r.ok = false;
}

// Enhanced metafile record types whose fields GDI follows.
enum : uint32_t {
    kEmrHeader = 1,
    kEmrPolyBezier = 2,
    kEmrPolyLineTo = 6,
    kEmrPolyPolyline = 7,
    kEmrPolyPolygon = 8,
    kEmrEof = 14,
    kEmrSelectObject = 37,
    kEmrCreatePen = 38,
    kEmrCreateBrushIndirect = 39,
    kEmrDeleteObject = 40,
    kEmrSelectPalette = 48,
    kEmrCreatePalette = 49,
    kEmrSetPaletteEntries = 50,
    kEmrResizePalette = 51,
    kEmrPolyDraw = 56,
    kEmrGdiComment = 70,
    kEmrFillRgn = 71,
    kEmrFrameRgn = 72,
    kEmrInvertRgn = 73,
    kEmrPaintRgn = 74,
    kEmrExtSelectClipRgn = 75,
    kEmrBitBlt = 76,
    kEmrStretchBlt = 77,
    kEmrMaskBlt = 78,
    kEmrPlgBlt = 79,
    kEmrSetDiBitsToDevice = 80,
    kEmrStretchDiBits = 81,
    kEmrExtCreateFontIndirectW = 82,
    kEmrExtTextOutA = 83,
    kEmrExtTextOutW = 84,
    kEmrPolyBezier16 = 85,
    kEmrPolyLineTo16 = 89,
    kEmrPolyPolyline16 = 90,
    kEmrPolyPolygon16 = 91,
    kEmrPolyDraw16 = 92,
    kEmrCreateMonoBrush = 93,
    kEmrCreateDibPatternBrushPt = 94,
    kEmrExtCreatePen = 95,
    kEmrPolyTextOutA = 96,
    kEmrPolyTextOutW = 97,
    kEmrSmallTextOut = 108,
    kEmrAlphaBlend = 114,
    kEmrTransparentBlt = 116,
};

// An object number of a create, select or delete record: 1 .. handles - 1
// (0 is the metafile itself); select and delete also take stock objects.
bool ObjectSound(uint32_t index, uint32_t handles, bool stockAllowed) {
    if (index & 0x80000000u) return stockAllowed;
    return index >= 1 && index < handles;
}

// An EMRTEXT at offset (reference, chars, string offset, options, rectangle,
// spacing offset) whose string and spacing lie inside the record.
void EmrTextSound(Record& r, uint64_t offset, uint32_t charSize) {
    uint32_t chars = r.Word(offset + 8);
    uint32_t offString = r.Word(offset + 12);
    uint32_t options = r.Word(offset + 16);
    uint32_t offDx = r.Word(offset + 36);
    if (!r.ok) return;
    r.Span(offString, chars, charSize);
    if (offDx) r.Span(offDx, chars, (options & 0x2000) ? 8 : 4);
}

bool EnhancedRecordSound(Record& r, uint32_t type, uint32_t handles) {
    switch (type) {
    case kEmrPolyBezier ... kEmrPolyLineTo:
        r.Span(28, r.Word(24), 8);
        break;
    case kEmrPolyBezier16 ... kEmrPolyLineTo16:
        r.Span(28, r.Word(24), 4);
        break;
    case kEmrPolyPolyline:
    case kEmrPolyPolygon:
    case kEmrPolyPolyline16:
    case kEmrPolyPolygon16: {
        uint32_t polys = r.Word(24), points = r.Word(28);
        r.Span(32, polys, 4);
        if (!r.ok) break;
        uint64_t sum = 0;
        for (uint32_t i = 0; i < polys; ++i) sum += U32(r.data + 32 + 4ull * i);
        if (sum > points) r.ok = false;
        uint64_t unit = type == kEmrPolyPolyline || type == kEmrPolyPolygon ? 8 : 4;
        r.Span(32 + 4ull * polys, points, unit);
        break;
    }
    case kEmrPolyDraw:
    case kEmrPolyDraw16: {
        uint32_t points = r.Word(24);
        uint64_t unit = type == kEmrPolyDraw ? 8 : 4;
        r.Span(28, points, unit + 1);
        break;
    }
    case kEmrSelectObject:
    case kEmrDeleteObject:
        if (!ObjectSound(r.Word(8), handles, type == kEmrSelectObject)) r.ok = false;
        break;
    case kEmrSelectPalette:
        if (!ObjectSound(r.Word(8), handles, true)) r.ok = false;
        break;
    case kEmrCreatePen:
        if (!ObjectSound(r.Word(8), handles, false)) r.ok = false;
        r.Span(12, 16, 1); // LOGPEN
        break;
    case kEmrCreateBrushIndirect:
        if (!ObjectSound(r.Word(8), handles, false)) r.ok = false;
        r.Span(12, 12, 1); // LOGBRUSH32
        break;
    case kEmrExtCreateFontIndirectW:
        if (!ObjectSound(r.Word(8), handles, false)) r.ok = false;
        r.Span(12, 92, 1); // LOGFONTW
        break;
    case kEmrCreatePalette:
        if (!ObjectSound(r.Word(8), handles, false)) r.ok = false;
        r.Span(16, r.Half(14), 4);
        break;
    case kEmrSetPaletteEntries:
        if (!ObjectSound(r.Word(8), handles, false)) r.ok = false;
        r.Span(20, r.Word(16), 4);
        break;
    case kEmrResizePalette:
        if (!ObjectSound(r.Word(8), handles, false)) r.ok = false;
        break;
    case kEmrEof:
        r.Span(r.Word(12), r.Word(8), 4);
        break;
    case kEmrGdiComment:
        r.Span(12, r.Word(8), 1);
        break;
    case kEmrFillRgn:
        if (!ObjectSound(r.Word(28), handles, true)) r.ok = false;
        RegionSound(r, 32, r.Word(24));
        break;
    case kEmrFrameRgn:
        if (!ObjectSound(r.Word(28), handles, true)) r.ok = false;
        RegionSound(r, 40, r.Word(24));
        break;
    case kEmrInvertRgn:
    case kEmrPaintRgn:
        RegionSound(r, 28, r.Word(24));
        break;
    case kEmrExtSelectClipRgn: {
        uint32_t cb = r.Word(8);
        if (cb) RegionSound(r, 16, cb);
        break;
    }
    case kEmrBitBlt:
    case kEmrStretchBlt:
    case kEmrAlphaBlend:
    case kEmrTransparentBlt:
        if (!DibSound(r, r.Word(84), r.Word(88), r.Word(92), r.Word(96), r.Word(80))) r.ok = false;
        break;
    case kEmrMaskBlt:
        if (!DibSound(r, r.Word(84), r.Word(88), r.Word(92), r.Word(96), r.Word(80)) ||
            !DibSound(r, r.Word(112), r.Word(116), r.Word(120), r.Word(124), r.Word(108)))
            r.ok = false;
        break;
    case kEmrPlgBlt:
        if (!DibSound(r, r.Word(96), r.Word(100), r.Word(104), r.Word(108), r.Word(92)) ||
            !DibSound(r, r.Word(124), r.Word(128), r.Word(132), r.Word(136), r.Word(120)))
            r.ok = false;
        break;
    case kEmrSetDiBitsToDevice:
    case kEmrStretchDiBits:
        if (!DibSound(r, r.Word(48), r.Word(52), r.Word(56), r.Word(60), r.Word(64))) r.ok = false;
        break;
    case kEmrCreateMonoBrush:
    case kEmrCreateDibPatternBrushPt:
        if (!ObjectSound(r.Word(8), handles, false) ||
            !DibSound(r, r.Word(16), r.Word(20), r.Word(24), r.Word(28), r.Word(12)))
            r.ok = false;
        break;
    case kEmrExtCreatePen:
        if (!ObjectSound(r.Word(8), handles, false) ||
            !DibSound(r, r.Word(12), r.Word(16), r.Word(20), r.Word(24), 0))
            r.ok = false;
        r.Span(52, r.Word(48), 4);
        break;
    case kEmrExtTextOutA:
    case kEmrExtTextOutW:
        EmrTextSound(r, 36, type == kEmrExtTextOutW ? 2 : 1);
        break;
    case kEmrPolyTextOutA:
    case kEmrPolyTextOutW: {
        uint32_t strings = r.Word(36);
        r.Span(40, strings, 40);
        for (uint32_t i = 0; r.ok && i < strings; ++i)
            EmrTextSound(r, 40 + 40ull * i, type == kEmrPolyTextOutW ? 2 : 1);
        break;
    }
    case kEmrSmallTextOut: {
        uint32_t chars = r.Word(16), options = r.Word(20);
        uint64_t text = (options & 0x100) ? 36 : 52;
        r.Span(text, chars, (options & 0x200) ? 1 : 2);
        break;
    }
    default:
        break;
    }
    return r.ok;
}

// Windows metafile functions whose parameters GDI follows.
enum : uint16_t {
    kMetaSelectObject = 0x012D,
    kMetaSelectPalette = 0x0234,
    kMetaDeleteObject = 0x01F0,
    kMetaDibCreatePatternBrush = 0x0142,
    kMetaCreatePalette = 0x00F7,
    kMetaSetPalEntries = 0x0037,
    kMetaPolygon = 0x0324,
    kMetaPolyline = 0x0325,
    kMetaPolyPolygon = 0x0538,
    kMetaTextOut = 0x0521,
    kMetaExtTextOut = 0x0A32,
    kMetaDibBitBlt = 0x0940,
    kMetaDibStretchBlt = 0x0B41,
    kMetaStretchDib = 0x0F43,
    kMetaSetDibToDev = 0x0D33,
    kMetaEscape = 0x0626,
    kMetaCreateRegion = 0x06FF,
};

// A DIB that fills the record from offset on.
bool WindowsDibSound(Record& r, uint64_t offset, uint32_t usage) {
    if (offset >= r.size) return false;
    Record dib{r.data + offset, r.size - offset};
    uint32_t headerSize = dib.Word(0);
    if (!dib.ok || headerSize < 12 || headerSize > dib.size) return false;
    uint32_t bits = headerSize == 12 ? dib.Half(10) : dib.Half(14);
    uint32_t used = headerSize >= 40 ? dib.Word(32) : 0;
    uint32_t compression = headerSize >= 40 ? dib.Word(16) : 0;
    uint64_t colours = bits <= 8 ? (used ? used : 1u << (bits & 31)) : 0;
    if (compression == 3) colours = 3;
    uint64_t entry = usage == 1 ? 2 : (headerSize == 12 ? 3 : 4);
    uint64_t bmi = headerSize + colours * entry;
    if (bmi > dib.size) return false;
    return DibSound(dib, 0, (uint32_t)bmi, (uint32_t)bmi, (uint32_t)(dib.size - bmi), usage);
}

bool WindowsRecordSound(Record& r, uint16_t function, uint32_t objects) {
    // Parameters start at byte 6.
    switch (function) {
    case kMetaSelectObject:
    case kMetaSelectPalette:
    case kMetaDeleteObject:
        if (r.Half(6) >= objects) r.ok = false;
        break;
    case kMetaPolygon:
    case kMetaPolyline:
        r.Span(8, r.Half(6), 4);
        break;
    case kMetaPolyPolygon: {
        uint16_t polys = r.Half(6);
        r.Span(8, polys, 2);
        if (!r.ok) break;
        uint64_t sum = 0;
        for (uint32_t i = 0; i < polys; ++i) sum += U16(r.data + 8 + 2ull * i);
        r.Span(8 + 2ull * polys, sum, 4);
        break;
    }
    case kMetaTextOut: {
        uint16_t count = r.Half(6);
        r.Span(8, (count + 1u) & ~1u, 1);
        r.Span(8 + ((count + 1u) & ~1u), 4, 1);
        break;
    }
    case kMetaExtTextOut: {
        uint16_t count = r.Half(10), options = r.Half(12);
        uint64_t text = (options & 0x6) ? 22 : 14; // ETO_OPAQUE or ETO_CLIPPED carry a rectangle
        r.Span(text, count, 1);
        break;
    }
    case kMetaCreatePalette:
        r.Span(10, r.Half(8), 4);
        break;
    case kMetaSetPalEntries:
        r.Span(10, r.Half(8), 4);
        break;
    case kMetaEscape:
        r.Span(10, r.Half(8), 1);
        break;
    case kMetaDibCreatePatternBrush:
        if (!WindowsDibSound(r, 10, r.Half(8))) r.ok = false;
        break;
    case kMetaDibBitBlt:
        // Without a bitmap the record is 9 words (a pattern blit).
        if (r.size > 9 * 2 && !WindowsDibSound(r, 22, 0)) r.ok = false;
        break;
    case kMetaDibStretchBlt:
        if (r.size > 11 * 2 && !WindowsDibSound(r, 26, 0)) r.ok = false;
        break;
    case kMetaStretchDib:
        if (!WindowsDibSound(r, 28, r.Half(8))) r.ok = false;
        break;
    case kMetaSetDibToDev:
        if (!WindowsDibSound(r, 24, r.Half(6))) r.ok = false;
        break;
    case kMetaCreateRegion: {
        // Region object: 10 bytes of object header, size, scan count, largest
        // scan, bounds; then the scans, each count, top, bottom, count
        // values, count again.
        uint16_t scans = r.Half(6 + 12);
        uint64_t at = 6 + 22;
        for (uint32_t i = 0; r.ok && i < scans; ++i) {
            uint16_t count = r.Half(at);
            r.Span(at + 6, count + 1u, 2);
            if (r.ok && U16(r.data + at + 6 + 2ull * count) != count) r.ok = false;
            at += 8 + 2ull * count;
        }
        break;
    }
    default:
        break;
    }
    return r.ok;
}

} // namespace

MetaKind MetaKindOf(const uint8_t* data, size_t size) {
    if (size >= 44 && U32(data + 40) == 0x464D4520) return kMetaEnhanced;
    if (size >= 4 && U32(data) == 0x9AC6CDD7) return kMetaPlaceable;
    if (size >= 18 && (U16(data) == 1 || U16(data) == 2) && U16(data + 2) == 9) return kMetaWindows;
    return kMetaNone;
}

bool MetaCheckEnhanced(const uint8_t* data, size_t size) {
    if (size < 88 || U32(data) != kEmrHeader || U32(data + 40) != 0x464D4520) return false;
    uint32_t headerSize = U32(data + 4), bytes = U32(data + 48), handles = U16(data + 56);
    if (headerSize < 88 || headerSize % 4 || bytes > size || headerSize > bytes) return false;
    uint32_t descriptionChars = U32(data + 60), descriptionAt = U32(data + 64);
    if (descriptionChars && (descriptionAt > headerSize || descriptionChars > (headerSize - descriptionAt) / 2))
        return false;
    uint64_t at = 0;
    uint32_t last = 0;
    while (at < bytes) {
        if (bytes - at < 8) return false;
        uint32_t type = U32(data + at), length = U32(data + at + 4);
        if (length < 8 || length % 4 || length > bytes - at) return false;
        if (at > 0 && type == kEmrHeader) return false;
        Record r{data + at, length};
        if (!EnhancedRecordSound(r, type, handles)) return false;
        last = type;
        at += length;
        if (type == kEmrEof) break;
    }
    return last == kEmrEof && at == bytes;
}

bool MetaCheckWindows(const uint8_t* data, size_t size, uint32_t* words) {
    if (size < 18 || (U16(data) != 1 && U16(data) != 2) || U16(data + 2) != 9) return false;
    uint32_t objects = U16(data + 10);
    uint64_t at = 18;
    for (;;) {
        if (size - at < 6) return false;
        uint32_t recordWords = U32(data + at);
        uint16_t function = U16(data + at + 4);
        if (recordWords < 3 || recordWords > (size - at) / 2) return false;
        Record r{data + at, 2ull * recordWords};
        if (!WindowsRecordSound(r, function, objects)) return false;
        at += 2ull * recordWords;
        if (function == 0) break;
    }
    if (words) *words = (uint32_t)(at / 2);
    return true;
}

bool MetaCheckPlaceable(const uint8_t* data, size_t size, uint32_t* bytes) {
    if (size < 22 + 18 || U32(data) != 0x9AC6CDD7) return false;
    uint64_t n = U32(data + 28);
    if (2 * n + 22 > size || 2 * n < 18) return false;
    uint32_t words = 0;
    if (!MetaCheckWindows(data + 22, (size_t)(2 * n), &words)) return false;
    if (bytes) *bytes = (uint32_t)(2 * n);
    return true;
}
