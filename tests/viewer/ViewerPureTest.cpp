// The viewer library's pure parts: picture layout, detection tests and the
// GIF decoder on hand-built streams (the readers' pixels against reference
// decoders are checked under Wine by render_compare.py).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "viewer/DbfTable.h"
#include "viewer/Detect.h"
#include "viewer/GifDecode.h"
#include "viewer/JpegRead.h"
#include "viewer/Picture.h"
#include "viewer/PngRead.h"

namespace {

void* Alloc(size_t n) {
    return calloc(1, n);
}
void** Release(void** p) {
    free(*p);
    *p = nullptr;
    return p;
}
const PicAllocator kAlloc = {Alloc, Release};

TEST(Picture, StrideAndBlockSize) {
    struct {
        int width, bpp;
        uint32_t stride;
    } cases[] = {{1, 1, 4}, {3, 24, 12}, {9, 4, 8}, {33, 1, 8}, {5, 8, 8}, {4, 24, 12}};
    for (const auto& c : cases) {
        uint32_t stride = 0, block = 0;
        ASSERT_TRUE(DibLayout(c.width, 7, c.bpp, &stride, &block)) << c.width << " x " << c.bpp;
        EXPECT_EQ(c.stride, stride) << c.width << " x " << c.bpp;
        EXPECT_EQ(c.stride * 7 + kDibBlockExtra, block);
    }
}

TEST(Picture, SizesFromDamagedHeadersAreRefused) {
    uint32_t stride, block;
    EXPECT_FALSE(DibLayout(0, 10, 24, &stride, &block));
    EXPECT_FALSE(DibLayout(10, -1, 24, &stride, &block));
    EXPECT_FALSE(DibLayout(0x7FFFFFFF, 0x7FFFFFFF, 24, &stride, &block));
    // A product that wraps in 32 bits: 65536 x 65536 x 3 + 1064.
    EXPECT_FALSE(DibLayout(65536, 65536, 24, &stride, &block));
    EXPECT_FALSE(DibLayout(0x40000000, 1, 32, &stride, &block));
    PictureRecord pic = {};
    EXPECT_FALSE(PicCreate(&pic, kAlloc, 100000, 100000, 24, -1));
    EXPECT_EQ(nullptr, pic.dibBlock);
}

TEST(Picture, DefaultTablesAndGreyRamps) {
    PictureRecord pic = {};
    ASSERT_TRUE(PicCreate(&pic, kAlloc, 9, 2, 4, -1));
    const uint8_t* table = pic.dibBlock + kDibHeaderSize;
    EXPECT_EQ(0, pic.colourModel);
    EXPECT_EQ(16u, *reinterpret_cast<uint32_t*>(pic.dibBlock + 20)); // image size: stride 8 x 2 rows
    EXPECT_EQ(pic.dibBlock + kDibHeaderSize + 64, pic.bits);
    EXPECT_EQ(0, table[9 * 4 + 0]); // red (255, 0, 0) stored blue first
    EXPECT_EQ(255, table[9 * 4 + 2]);
    PicSetGreyTable(&pic, 2);
    EXPECT_EQ(0, table[0]);
    EXPECT_EQ(128, table[4]);
    EXPECT_EQ(0, table[8]); // beyond the ramp: black, not a default colour
    EXPECT_EQ(3, pic.colourModel);
    PicSetGreyTable(&pic, 1);
    EXPECT_EQ(255, table[4]);
    PicRelease(&pic, kAlloc);

    ASSERT_TRUE(PicCreate(&pic, kAlloc, 1, 1, 8, -1));
    PicSetGreyTable(&pic, 256);
    table = pic.dibBlock + kDibHeaderSize;
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(i, table[i * 4 + 1]);
    PicRelease(&pic, kAlloc);
}

TEST(Picture, ReverseBits) {
    EXPECT_EQ(0x80, ByteReverseBits(0x01));
    EXPECT_EQ(0x0F, ByteReverseBits(0xF0));
    EXPECT_EQ(0x6A, ByteReverseBits(0x56));
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Detect, SignaturesOfTheChain) {
    uint8_t h[kDetectHeader] = {0xFF, 0xD8, 0xFF, 0xE1};
    EXPECT_TRUE(JpegSignature(h, 4));
    h[3] = 0xDB;
    EXPECT_TRUE(JpegSignature(h, 4));
    h[3] = 0xC0;
    EXPECT_FALSE(JpegSignature(h, 4));
    EXPECT_TRUE(GifSignature(reinterpret_cast<const uint8_t*>("GIF89garbage"), 12));
    EXPECT_FALSE(GifSignature(reinterpret_cast<const uint8_t*>("gif89a"), 6));
    EXPECT_FALSE(GifSignature(reinterpret_cast<const uint8_t*>("GIF8"), 4));

    uint8_t text[kDetectHeader] = {};
    memcpy(text, "/* xpm */", 9);
    EXPECT_TRUE(DetectXpmHeader(text));
    memcpy(text, "#define x 1\n", 12);
    EXPECT_TRUE(DetectXpmHeader(text));
    memcpy(text, "#DEFINE x 1\n", 12);
    EXPECT_FALSE(DetectXpmHeader(text));
    uint8_t ff[kDetectHeader] = {0xFF, 0xFE}, fe[kDetectHeader] = {0xFE, 0xFF},
            ef[kDetectHeader] = {0xEF, 0xBB};
    EXPECT_TRUE(DetectUnicodeText(ff));
    EXPECT_TRUE(DetectUnicodeText(fe));
    EXPECT_FALSE(DetectUnicodeText(ef));
    uint8_t mpeg[kDetectHeader] = {0, 0, 1, 0xBA};
    EXPECT_TRUE(DetectMediaHeader(mpeg));
    EXPECT_TRUE(DetectIconName("C:\\x\\a.cur"));
    EXPECT_TRUE(DetectIconName("C:\\x\\a.Lnk"));
    EXPECT_FALSE(DetectIconName(".cur"));
    EXPECT_FALSE(DetectIconName("C:\\x\\a.curx"));
}

TEST(Detect, BinaryAndHtmlOffsets) {
    struct {
        const char* name;
        std::vector<uint8_t> data;
        bool binary, html;
    } cases[] = {
        {"empty", {}, false, false},
        {"short <ht", Bytes("<ht"), false, false},
        {"<html at 0", Bytes("<HtMl>"), false, true},
        {"doctype", Bytes("<!doctype html><p>"), false, true},
        {"<html at 251", Bytes(std::string(251, ' ') + "<html>"), false, true},
        {"<html at 252", Bytes(std::string(252, ' ') + "<html>"), false, false},
        {"zero at 259", Bytes(std::string(259, 'a') + std::string(1, '\0') + "b"), true, false},
        {"zero at 260", Bytes(std::string(260, 'a') + std::string(1, '\0')), false, false},
        {"<html cut by the terminator", Bytes(std::string(250, ' ') + "<html"), false, false},
    };
    for (const auto& c : cases) {
        size_t n = c.data.size() < kDetectProbe ? c.data.size() : kDetectProbe;
        EXPECT_EQ(c.binary, DetectBinary(c.data.data(), n)) << c.name;
        EXPECT_EQ(c.html, DetectHtml(c.data.data(), n)) << c.name;
    }
}

// A GIF made of literal codes only, with a clear code before the table would
// widen the codes: simple and valid for every minimum code size.
struct GifBuilder {
    std::vector<uint8_t> out;
    explicit GifBuilder(int width, int height, int globalBits = 2) {
        Append("GIF89a");
        U16(width);
        U16(height);
        out.push_back(globalBits ? (uint8_t)(0x80 | (globalBits - 1)) : 0);
        out.push_back(0);
        out.push_back(0);
        for (int i = 0; i < (globalBits ? 1 << globalBits : 0); i++) {
            out.push_back((uint8_t)(i * 60));
            out.push_back((uint8_t)(i * 20));
            out.push_back((uint8_t)(255 - i * 60));
        }
    }
    void Append(const char* s) { out.insert(out.end(), s, s + strlen(s)); }
    void U16(int v) {
        out.push_back((uint8_t)v);
        out.push_back((uint8_t)(v >> 8));
    }
    void Control(int delayCs, int transparent) {
        const uint8_t b[] = {0x21,
                             0xF9,
                             4,
                             (uint8_t)(transparent >= 0),
                             (uint8_t)delayCs,
                             (uint8_t)(delayCs >> 8),
                             (uint8_t)(transparent >= 0 ? transparent : 0),
                             0};
        out.insert(out.end(), b, b + sizeof b);
    }
    void Frame(int width, int height, const std::vector<uint8_t>& pixels, int minSize = 2, uint8_t packed = 0,
               bool fillTable = false) {
        out.push_back(0x2C);
        U16(0);
        U16(0);
        U16(width);
        U16(height);
        out.push_back(packed);
        out.push_back((uint8_t)minSize);
        std::vector<uint32_t> codes;
        uint32_t clear = 1u << minSize;
        uint32_t limit = (1u << (minSize + 1)) - (clear + 2);
        codes.push_back(clear);
        uint32_t run = 0;
        for (uint8_t p : pixels) {
            if (run == limit && !fillTable) {
                codes.push_back(clear);
                run = 0;
            }
            codes.push_back(p);
            run++;
        }
        codes.push_back(clear + 1);
        // Widths as the decoder will see them (only grows with fillTable).
        std::vector<uint8_t> data;
        uint32_t bits = 0, count = 0, width_ = minSize + 1, next = clear + 2;
        bool first = true;
        for (uint32_t c : codes) {
            bits |= c << count;
            count += width_;
            while (count >= 8) {
                data.push_back((uint8_t)bits);
                bits >>= 8;
                count -= 8;
            }
            if (c == clear) {
                width_ = minSize + 1;
                next = clear + 2;
                first = true;
            } else if (first) {
                first = false;
            } else if (next < 4096) {
                next++;
                if ((next & (next - 1)) == 0 && next < 4096) width_++;
            }
        }
        if (count) data.push_back((uint8_t)bits);
        for (size_t i = 0; i < data.size(); i += 255) {
            size_t n = data.size() - i < 255 ? data.size() - i : 255;
            out.push_back((uint8_t)n);
            out.insert(out.end(), data.begin() + (long)i, data.begin() + (long)(i + n));
        }
        out.push_back(0);
    }
    void End() { out.push_back(0x3B); }
};

std::vector<GifFrame*> DecodeAll(const std::vector<uint8_t>& data, GifStream* s) {
    std::vector<GifFrame*> frames;
    if (!GifOpen(s, data.data(), data.size())) return frames;
    while (GifFrame* f = GifNextFrame(s, kAlloc, 0xFFFFFF))
        frames.push_back(f);
    return frames;
}

void FreeAll(std::vector<GifFrame*>& frames) {
    for (GifFrame*& f : frames)
        GifFreeFrame(&f, kAlloc);
}

// Blue, green, red of pixel (x, y).
std::vector<int> Pixel(const GifFrame* f, int x, int y) {
    const uint8_t* p = f->rows + (size_t)y * f->stride + x * 3;
    return {p[0], p[1], p[2]};
}

TEST(Gif, FramesDelaysAndTransparency) {
    GifBuilder b(3, 2);
    b.Control(0, -1);
    b.Frame(3, 2, {0, 1, 2, 3, 2, 1});
    b.Control(5, 1);
    b.Frame(3, 2, {1, 1, 0, 0, 3, 3});
    b.End();
    GifStream s;
    auto frames = DecodeAll(b.out, &s);
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(100u, frames[0]->delayMs); // no delay: 100 ms
    EXPECT_EQ(50u, frames[1]->delayMs);  // hundredths of a second
    EXPECT_EQ((std::vector<int>{255, 0, 0}), Pixel(frames[0], 0, 0));
    EXPECT_EQ((std::vector<int>{75, 60, 180}), Pixel(frames[0], 0, 1));
    EXPECT_EQ((std::vector<int>{255, 255, 255}), Pixel(frames[1], 0, 0)); // transparent: the background
    EXPECT_EQ((std::vector<int>{255, 0, 0}), Pixel(frames[1], 2, 0));
    FreeAll(frames);
}

TEST(Gif, InterlacedRowsComeBackInOrder) {
    GifBuilder b(1, 10);
    // Stored in pass order 0,8 | 4 | 2,6 | 1,3,5,7,9; each row's index is its
    // display row's parity pattern.
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    std::vector<uint8_t> pixels;
    for (int r : order)
        pixels.push_back((uint8_t)(r % 4));
    b.Frame(1, 10, pixels, 2, 0x40);
    b.End();
    GifStream s;
    auto frames = DecodeAll(b.out, &s);
    ASSERT_EQ(1u, frames.size());
    for (int y = 0; y < 10; y++)
        EXPECT_EQ(y % 4 * 60, Pixel(frames[0], 0, y)[2]) << y;
    FreeAll(frames);
}

TEST(Gif, DamagedStreamsEndCleanly) {
    // Minimum code size 12 would start beyond the 4096-entry table.
    GifBuilder bad(2, 1);
    bad.Frame(2, 1, {0, 1}, 2);
    size_t minPos = 13 + 12 + 10; // header, 4-entry table, image descriptor
    ASSERT_EQ(2, bad.out[minPos]);
    for (uint8_t size : {0, 12, 255}) {
        bad.out[minPos] = size;
        GifStream s;
        auto frames = DecodeAll(bad.out, &s);
        EXPECT_TRUE(frames.empty()) << (int)size;
        FreeAll(frames);
    }
    // Every truncation of a good stream: no frame or whole frames only.
    GifBuilder good(4, 4);
    good.Frame(4, 4, std::vector<uint8_t>(16, 3));
    good.End();
    for (size_t n = 0; n < good.out.size(); n++) {
        std::vector<uint8_t> cut(good.out.begin(), good.out.begin() + (long)n);
        GifStream s;
        auto frames = DecodeAll(cut, &s);
        for (GifFrame* f : frames)
            EXPECT_EQ(4, f->width);
        FreeAll(frames);
    }
}

TEST(Gif, NoColourTableAndIndexesBeyondIt) {
    // No global and no local table: a grey ramp.
    GifBuilder none(2, 1, 0);
    none.Frame(2, 1, {0, 3}, 2);
    none.End();
    GifStream s;
    auto frames = DecodeAll(none.out, &s);
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ((std::vector<int>{3, 3, 3}), Pixel(frames[0], 1, 0));
    FreeAll(frames);
    // A two-colour table and index 3: black.
    GifBuilder small(2, 1, 1);
    small.Frame(2, 1, {1, 3}, 2);
    small.End();
    frames = DecodeAll(small.out, &s);
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ((std::vector<int>{195, 20, 60}), Pixel(frames[0], 0, 0));
    EXPECT_EQ((std::vector<int>{0, 0, 0}), Pixel(frames[0], 1, 0));
    FreeAll(frames);
}

TEST(Gif, FullTableWithoutClearEndsTheFrame) {
    // 5000 literal pixels with no clear code: the table fills at 4096 and
    // the rest of the frame keeps index 0.
    std::vector<uint8_t> pixels(5000, 2);
    GifBuilder b(100, 50);
    b.Frame(100, 50, pixels, 2, 0, true);
    b.End();
    GifStream s;
    auto frames = DecodeAll(b.out, &s);
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(120, Pixel(frames[0], 0, 0)[2]); // index 2
    EXPECT_EQ(0, Pixel(frames[0], 99, 49)[2]); // index 0
    FreeAll(frames);
}

TEST(Gif, LoopCountFromTheNetscapeBlockOnly) {
    GifBuilder b(1, 1);
    const uint8_t other[] = {0x21, 0xFF, 3, 'a', 'b', 'c', 2, 1, 9, 0};
    b.out.insert(b.out.end(), other, other + sizeof other);
    const uint8_t loop[] = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                            'E',  '2',  '.', '0', 3,   1,   2,   0,   0};
    b.out.insert(b.out.end(), loop, loop + sizeof loop);
    b.Frame(1, 1, {1});
    b.End();
    GifStream s;
    auto frames = DecodeAll(b.out, &s);
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(2u, s.loopCount);
    FreeAll(frames);
}

TEST(Readers, RefuseWhatIsNotTheirs) {
    PictureRecord pic;
    const uint8_t junk[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    EXPECT_FALSE(PngDecode(junk, sizeof junk - 1, &pic, kAlloc));
    EXPECT_EQ(nullptr, pic.dibBlock);
    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0};
    EXPECT_FALSE(JpegDecode(jpeg, sizeof jpeg, &pic, kAlloc));
    EXPECT_EQ(nullptr, pic.dibBlock);
    EXPECT_FALSE(PngDecode(nullptr, 0, &pic, kAlloc));
    EXPECT_FALSE(JpegDecode(nullptr, 0, &pic, kAlloc));
}

TEST(Dbf, MemoFileBesideTheTable) {
    struct {
        const char* table;
        const char* memo;
    } cases[] = {
        {"C:\\data\\sales.dbf", "C:\\data\\sales.fpt"},
        {"C:\\data\\sales.2024.dbf", "C:\\data\\sales.2024.fpt"}, // the name's last dot
        {"C:\\data.v2\\sales", "C:\\data.v2\\sales.fpt"},         // a dot in a folder is not the name's
        {"sales.DBF", "sales.fpt"},
    };
    for (const auto& c : cases) {
        char out[260];
        ASSERT_TRUE(DbfMemoPath(c.table, out, sizeof out)) << c.table;
        EXPECT_STREQ(out, c.memo);
    }
    char small[8];
    EXPECT_FALSE(DbfMemoPath("C:\\t.dbf", small, sizeof small));
}

TEST(Dbf, DatesAsMonthDayYear) {
    struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"20240229", "02/29/24"}, {"19991231", "12/31/99"}, {"19800101", "01/01/80"},
        {"        ", "01/01/80"}, {"  1234  ", "01/01/80"},
    };
    for (const auto& c : cases) {
        char out[9];
        DbfFormatDate(reinterpret_cast<const uint8_t*>(c.stored), out);
        EXPECT_STREQ(out, c.shown) << c.stored;
    }
    const uint8_t zero[8] = {0};
    char out[9];
    DbfFormatDate(zero, out);
    EXPECT_STREQ(out, "01/01/80");
}

} // namespace
