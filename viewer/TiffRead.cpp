#include "viewer/TiffRead.h"

#include <math.h>
#include <stdarg.h>
#include <string.h>

#include <tiffio.h>

namespace {

// libtiff reads the file through these: the whole file is already in memory.
struct TiffSource {
    const uint8_t* data;
    uint64_t size;
    uint64_t pos;
};

tmsize_t SourceRead(thandle_t h, void* buf, tmsize_t n) {
    TiffSource* s = static_cast<TiffSource*>(h);
    if (n <= 0 || s->pos >= s->size) return 0;
    uint64_t left = s->size - s->pos;
    uint64_t take = (uint64_t)n < left ? (uint64_t)n : left;
    memcpy(buf, s->data + s->pos, (size_t)take);
    s->pos += take;
    return (tmsize_t)take;
}
tmsize_t SourceWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t SourceSeek(thandle_t h, toff_t offset, int whence) {
    TiffSource* s = static_cast<TiffSource*>(h);
    uint64_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->size : 0;
    if (offset > UINT64_MAX - base) return (toff_t)-1;
    s->pos = base + offset;
    return s->pos;
}
int SourceClose(thandle_t) {
    return 0;
}
toff_t SourceSize(thandle_t h) {
    return static_cast<TiffSource*>(h)->size;
}
int SourceMap(thandle_t h, void** base, toff_t* size) {
    TiffSource* s = static_cast<TiffSource*>(h);
    *base = const_cast<uint8_t*>(s->data);
    *size = s->size;
    return 1;
}
void SourceUnmap(thandle_t, void*, toff_t) {}

int Silent(TIFF*, void*, const char*, const char*, va_list) {
    return 1; // handled: the process-wide handler is not called either
}
void SilentGlobal(const char*, const char*, va_list) {}

// Largest single block libtiff may ask for while decoding one file.
const tmsize_t kTiffMaxAlloc = 256 << 20;

enum TiffMode { kModeOneBit, kModeIndexed, kModeRgb, kModeCmyk, kModeLab };

struct TiffReader {
    TIFF* tif;
    const PicAllocator* a;
    uint32_t width, height;
    uint16_t bitsPerSample, samplesPerPixel, planarConfig, photometric, compression;
    TiffMode mode;
    uint32_t colourCount;   // 2^bitsPerSample for the indexed modes
    uint8_t* levels;        // colourCount red, then green, then blue bytes
    uint64_t pixelRowBytes; // one row, samples interleaved
    uint8_t* row;           // that row
    uint64_t planeRowBytes; // one row of one plane (the whole row when contiguous)
    uint8_t* band;          // rows of a strip or tile row, plane after plane
    uint8_t* tile;          // one tile
};

void* Alloc(TiffReader* r, uint64_t n) {
    if (n == 0 || n > kPicMaxBlock) return nullptr;
    return r->a->alloc((size_t)n);
}
void Free(TiffReader* r, uint8_t** p) {
    if (*p) r->a->release(reinterpret_cast<void**>(p));
}

uint16_t Get16(const uint8_t* p, bool big) {
    return big ? (uint16_t)(p[0] << 8 | p[1]) : (uint16_t)(p[1] << 8 | p[0]);
}
uint32_t Get32(const uint8_t* p, bool big) {
    return big ? (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]
               : (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

// libtiff ignores the grey response tags (290, 291), so the reader finds
// them in the first directory itself. Classic TIFF only.
struct GreyResponse {
    uint16_t unit;
    const uint8_t* curve;
    uint32_t count;
    bool bigEndian;
};

GreyResponse FindGreyResponse(const uint8_t* data, size_t size) {
    GreyResponse g = {2, nullptr, 0, false};
    if (size < 8) return g;
    bool big = data[0] == 'M';
    if (Get16(data + 2, big) != 42) return g;
    g.bigEndian = big;
    uint64_t ifd = Get32(data + 4, big);
    if (ifd + 2 > size) return g;
    uint32_t entries = Get16(data + ifd, big);
    for (uint32_t i = 0; i < entries; i++) {
        uint64_t e = ifd + 2 + (uint64_t)i * 12;
        if (e + 12 > size) break;
        uint16_t tag = Get16(data + e, big), type = Get16(data + e + 2, big);
        uint32_t count = Get32(data + e + 4, big);
        if (type != 3 /* SHORT */ || count == 0) continue;
        if (tag == 290) {
            g.unit = Get16(data + e + 8, big);
        } else if (tag == 291) {
            uint64_t at = count <= 2 ? e + 8 : Get32(data + e + 8, big);
            if (at + (uint64_t)count * 2 > size) continue;
            g.curve = data + at;
            g.count = count;
        }
    }
    return g;
}

bool TiffReadHeader(TiffReader* r, const GreyResponse& grey) {
    TIFF* tif = r->tif;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &r->width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &r->height))
        return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &r->bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &r->samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &r->planarConfig);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &r->compression);
    if (r->width == 0 || r->height == 0 || r->samplesPerPixel == 0) return false;
    // A codec this build of libtiff lacks would only give failed reads.
    if (!TIFFIsCODECConfigured(r->compression)) return false;
    uint16_t* maps[3] = {};
    bool hasMap = TIFFGetField(tif, TIFFTAG_COLORMAP, &maps[0], &maps[1], &maps[2]) != 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &r->photometric)) {
        if (r->samplesPerPixel > 1)
            r->photometric = PHOTOMETRIC_RGB;
        else if (r->bitsPerSample != 1 && hasMap)
            r->photometric = PHOTOMETRIC_PALETTE;
        else
            r->photometric = PHOTOMETRIC_MINISBLACK;
    }
    if (r->photometric == PHOTOMETRIC_YCBCR && r->compression == COMPRESSION_JPEG) {
        // The JPEG codec converts to RGB itself.
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        r->photometric = PHOTOMETRIC_RGB;
    }

    uint16_t bps = r->bitsPerSample, spp = r->samplesPerPixel, ph = r->photometric;
    bool wide = bps == 8 || bps == 16;
    if (ph <= PHOTOMETRIC_PALETTE && ph != PHOTOMETRIC_RGB) {
        // Grey or palette: the first sample picks the level, extra samples
        // (alpha) are not shown. Packed pixels only as the one sample.
        if (bps == 1 && spp == 1)
            r->mode = kModeOneBit;
        else if (((bps == 2 || bps == 4) && spp == 1) || wide)
            r->mode = kModeIndexed;
        else
            return false;
    } else if (ph == PHOTOMETRIC_RGB && spp >= 3 && wide) {
        r->mode = kModeRgb;
    } else if (ph == PHOTOMETRIC_SEPARATED && spp >= 4 && wide) {
        uint16_t inkSet = INKSET_CMYK;
        TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
        if (inkSet != INKSET_CMYK) return false;
        r->mode = kModeCmyk;
    } else if (ph == PHOTOMETRIC_CIELAB && spp >= 3 && bps == 8) {
        r->mode = kModeLab;
    } else {
        return false; // nothing the reader could show faithfully
    }
    if (r->planarConfig != PLANARCONFIG_CONTIG && r->planarConfig != PLANARCONFIG_SEPARATE) return false;
    if (r->planarConfig == PLANARCONFIG_SEPARATE && spp > 1 && !wide) return false;

    if (r->mode != kModeOneBit && r->mode != kModeIndexed) return true;
    r->colourCount = 1u << bps;
    r->levels = static_cast<uint8_t*>(Alloc(r, (uint64_t)r->colourCount * 3));
    if (!r->levels) return false;
    uint8_t* red = r->levels;
    uint8_t* green = red + r->colourCount;
    uint8_t* blue = green + r->colourCount;
    if (ph == PHOTOMETRIC_PALETTE && hasMap) {
        // Maps written with 8-bit values are scaled up to 16 bits first.
        bool eightBit = true;
        for (uint32_t i = 0; i < r->colourCount && eightBit; i++)
            eightBit = maps[0][i] <= 255 && maps[1][i] <= 255 && maps[2][i] <= 255;
        for (uint32_t i = 0; i < r->colourCount; i++) {
            uint32_t v[3] = {maps[0][i], maps[1][i], maps[2][i]};
            for (int c = 0; c < 3; c++)
                r->levels[c * r->colourCount + i] = (uint8_t)((eightBit ? v[c] * 65535 / 255 : v[c]) / 256);
        }
        return true;
    }
    TiffGreyLevels(ph == PHOTOMETRIC_MINISWHITE ? 0 : 1, bps, ph == PHOTOMETRIC_PALETTE ? nullptr : grey.curve,
                   grey.count, grey.bigEndian, grey.unit, red);
    memcpy(green, red, r->colourCount);
    memcpy(blue, red, r->colourCount);
    return true;
}

inline uint8_t High(const uint8_t* samples, uint32_t i, bool sixteen) {
    if (!sixteen) return samples[i];
    uint16_t v;
    memcpy(&v, samples + (size_t)i * 2, 2); // libtiff gives samples in host order
    return (uint8_t)(v >> 8);
}

void ConvertRow(const TiffReader* r, const uint8_t* src, uint8_t* dst) {
    uint32_t w = r->width, spp = r->samplesPerPixel;
    bool sixteen = r->bitsPerSample == 16;
    const uint8_t* red = r->levels;
    const uint8_t* green = red + r->colourCount;
    const uint8_t* blue = green + r->colourCount;
    switch (r->mode) {
    case kModeOneBit:
        memcpy(dst, src, (w + 7) / 8);
        break;
    case kModeIndexed:
        for (uint32_t x = 0; x < w; x++, dst += 3) {
            uint32_t v;
            switch (r->bitsPerSample) {
            case 2:
                v = src[x / 4] >> (6 - 2 * (x % 4)) & 3;
                break;
            case 4:
                v = src[x / 2] >> (x % 2 ? 0 : 4) & 15;
                break;
            case 8:
                v = src[(size_t)x * spp];
                break;
            default: {
                uint16_t s;
                memcpy(&s, src + (size_t)x * spp * 2, 2);
                v = s;
            }
            }
            dst[0] = blue[v];
            dst[1] = green[v];
            dst[2] = red[v];
        }
        break;
    case kModeRgb:
        for (uint32_t x = 0; x < w; x++, dst += 3) {
            uint32_t i = x * spp;
            dst[0] = High(src, i + 2, sixteen);
            dst[1] = High(src, i + 1, sixteen);
            dst[2] = High(src, i, sixteen);
        }
        break;
    case kModeCmyk:
        for (uint32_t x = 0; x < w; x++, dst += 3) {
            uint32_t i = x * spp;
            uint32_t k = 255 - High(src, i + 3, sixteen);
            dst[0] = (uint8_t)((255 - High(src, i + 2, sixteen)) * k / 255);
            dst[1] = (uint8_t)((255 - High(src, i + 1, sixteen)) * k / 255);
            dst[2] = (uint8_t)((255 - High(src, i, sixteen)) * k / 255);
        }
        break;
    case kModeLab:
        for (uint32_t x = 0; x < w; x++, dst += 3)
            dst[0] = dst[1] = dst[2] = src[(size_t)x * spp];
        break;
    }
}

// Strips with the samples side by side: libtiff's sequential scan-line read.
uint32_t ReadScanlines(TiffReader* r, PictureRecord* pic) {
    uint32_t y = 0;
    for (; y < r->height; y++) {
        if (TIFFReadScanline(r->tif, r->row, y, 0) < 0) break;
        ConvertRow(r, r->row, PicRow(pic, (int32_t)y));
    }
    return y;
}

// Tiles, or strips of separate planes: a band of rows (one strip or one row
// of tiles) of every plane, then its rows put together sample by sample.
uint32_t ReadBands(TiffReader* r, PictureRecord* pic) {
    TIFF* tif = r->tif;
    bool tiled = TIFFIsTiled(tif) != 0;
    bool separate = r->planarConfig == PLANARCONFIG_SEPARATE && r->samplesPerPixel > 1;
    uint32_t planes = separate ? r->samplesPerPixel : 1;
    uint32_t bandHeight = 0, tileWidth = 0;
    uint64_t tileRowBytes = 0, tileBytes = 0;
    uint64_t unitBits = (uint64_t)r->bitsPerSample * (separate ? 1 : r->samplesPerPixel);
    if (tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &bandHeight);
        tileRowBytes = TIFFTileRowSize64(tif);
        tileBytes = TIFFTileSize64(tif);
        if (tileWidth == 0 || (tileWidth * unitBits) % 8 || tileRowBytes == 0 ||
            tileBytes < tileRowBytes * bandHeight)
            return 0;
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &bandHeight);
    }
    if (bandHeight == 0) return 0;
    if (bandHeight > r->height) bandHeight = r->height;
    uint64_t planeBytes = r->planeRowBytes * bandHeight;
    r->band = static_cast<uint8_t*>(Alloc(r, planeBytes * planes));
    if (!r->band) return 0;
    if (tiled) {
        r->tile = static_cast<uint8_t*>(Alloc(r, tileBytes));
        if (!r->tile) return 0;
    }
    uint32_t y = 0;
    uint32_t bytesPerSample = r->bitsPerSample / 8;
    while (y < r->height) {
        uint32_t rows = r->height - y < bandHeight ? r->height - y : bandHeight;
        for (uint32_t s = 0; s < planes; s++) {
            uint8_t* plane = r->band + planeBytes * s;
            if (!tiled) {
                tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y, (uint16_t)s), plane,
                                                    (tmsize_t)planeBytes);
                if (got < 0 || (uint64_t)got < r->planeRowBytes * rows) return y;
                continue;
            }
            for (uint32_t x = 0; x < r->width; x += tileWidth) {
                if (TIFFReadTile(tif, r->tile, x, y, 0, (uint16_t)s) < 0) return y;
                uint64_t at = (uint64_t)x * unitBits / 8;
                uint64_t take = r->planeRowBytes - at < tileRowBytes ? r->planeRowBytes - at : tileRowBytes;
                for (uint32_t t = 0; t < rows; t++)
                    memcpy(plane + r->planeRowBytes * t + at, r->tile + tileRowBytes * t, (size_t)take);
            }
        }
        for (uint32_t t = 0; t < rows; t++) {
            const uint8_t* src = r->band + r->planeRowBytes * t;
            if (separate) {
                for (uint32_t s = 0; s < planes; s++) {
                    const uint8_t* p = src + planeBytes * s;
                    for (uint32_t x = 0; x < r->width; x++)
                        memcpy(r->row + ((size_t)x * planes + s) * bytesPerSample, p + (size_t)x * bytesPerSample,
                               bytesPerSample);
                }
                src = r->row;
            }
            ConvertRow(r, src, PicRow(pic, (int32_t)(y + t)));
        }
        y += rows;
    }
    return y;
}

bool TiffConvert(TiffReader* r, PictureRecord* pic) {
    bool oneBit = r->mode == kModeOneBit;
    if (r->width > 0x7FFFFFFF || r->height > 0x7FFFFFFF) return false;
    if (!PicCreate(pic, *r->a, (int32_t)r->width, (int32_t)r->height, oneBit ? 1 : 24, -1)) return false;
    if (oneBit) {
        uint8_t rgb[6] = {r->levels[0], r->levels[r->colourCount], r->levels[2 * r->colourCount],
                          r->levels[1], r->levels[r->colourCount + 1], r->levels[2 * r->colourCount + 1]};
        PicSetColourTableRgb(pic, 2, rgb);
    }
    bool separate = r->planarConfig == PLANARCONFIG_SEPARATE && r->samplesPerPixel > 1;
    uint64_t bits = (uint64_t)r->width * r->bitsPerSample;
    r->pixelRowBytes = (bits * r->samplesPerPixel + 7) / 8;
    r->planeRowBytes = separate ? (bits + 7) / 8 : r->pixelRowBytes;
    // The row libtiff fills must hold every sample the conversion reads.
    uint64_t scanline = TIFFScanlineSize64(r->tif);
    if (scanline < r->planeRowBytes) return false;
    r->row = static_cast<uint8_t*>(Alloc(r, scanline > r->pixelRowBytes ? scanline : r->pixelRowBytes));
    if (!r->row) return false;
    if (TIFFIsTiled(r->tif) || separate)
        ReadBands(r, pic);
    else
        ReadScanlines(r, pic);
    return true;
}

} // namespace

bool TiffSignature(const uint8_t* d, size_t size) {
    if (size < 8) return false;
    return (d[0] == 'I' && d[1] == 'I' && (d[2] == 42 || d[2] == 43) && d[3] == 0) ||
           (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && (d[3] == 42 || d[3] == 43));
}

void TiffGreyLevels(uint16_t photometric, uint16_t bitsPerSample, const uint8_t* curve, uint32_t count,
                    bool bigEndian, uint16_t unit, uint8_t* out) {
    static const double kDivisors[6] = {-1, -10, -100, -1000, -10000, -100000};
    uint32_t n = 1u << bitsPerSample;
    bool white = photometric == 0;
    if (curve && count >= n) {
        // Densities: a value shows 10^-density of full light. Units beyond
        // the five the format knows count as its default, hundredths.
        double divisor = kDivisors[unit <= 5 ? unit : 2];
        for (uint32_t i = 0; i < n; i++) {
            double v = 65535.0 * pow(10.0, Get16(curve + (size_t)i * 2, bigEndian) / divisor);
            out[i] = (uint8_t)((v < 0 ? 0 : v > 65535 ? 65535 : (uint32_t)v) / 256);
        }
        out[white ? n - 1 : 0] = 0;
        return;
    }
    for (uint32_t i = 0; i < n; i++) {
        uint64_t v = (uint64_t)(white ? n - i - 1 : i) * 65535 / (n - 1);
        out[i] = (uint8_t)(v / 256);
    }
}

bool TiffDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    if (!TiffSignature(data, size)) return false;
    // Nothing libtiff says may reach the user; on Windows its default
    // handlers would open message boxes.
    TIFFSetErrorHandler(SilentGlobal);
    TIFFSetWarningHandler(SilentGlobal);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kTiffMaxAlloc);
    TiffSource src = {data, size, 0};
    TiffReader r = {};
    r.a = &a;
    r.tif = TIFFClientOpenExt("picture", "r", &src, SourceRead, SourceWrite, SourceSeek, SourceClose, SourceSize,
                              SourceMap, SourceUnmap, options);
    TIFFOpenOptionsFree(options);
    bool ok = false;
    if (r.tif) {
        ok = TiffReadHeader(&r, FindGreyResponse(data, size)) && TiffConvert(&r, pic);
        TIFFClose(r.tif);
    }
    Free(&r, &r.levels);
    Free(&r, &r.row);
    Free(&r, &r.band);
    Free(&r, &r.tile);
    if (!ok || !pic->dibBlock) {
        PicRelease(pic, a);
        return false;
    }
    return true;
}
