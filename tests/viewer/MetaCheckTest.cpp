// Metafile structure checks: sound files pass, and each damage that would
// make GDI loop or read past the data is refused.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "viewer/MetaCheck.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}
void Set16(Bytes& b, size_t at, uint16_t v) {
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

// Header, a three-point 16-bit polyline, a pen created and selected, a
// 2x2 32-bit StretchDIBits, EOF. Offsets of the records are noted.
struct Emf {
    Bytes b;
    size_t polyline, pen, select, dib, eof;
};

Emf MakeEmf() {
    Emf e;
    Bytes& b = e.b;
    Put32(b, 1);  // EMR_HEADER
    Put32(b, 88); // size
    for (int i = 0; i < 8; i++) Put32(b, i < 4 ? 0 : 100); // bounds, frame
    Put32(b, 0x464D4520);
    Put32(b, 0x10000);
    Put32(b, 0); // bytes, set below
    Put32(b, 5); // records
    Put16(b, 2); // handles: the metafile and one pen
    Put16(b, 0);
    Put32(b, 0); // description
    Put32(b, 0);
    Put32(b, 0); // palette entries
    for (int i = 0; i < 4; i++) Put32(b, 100);
    e.polyline = b.size();
    Put32(b, 87); // EMR_POLYLINE16
    Put32(b, 28 + 12);
    for (int i = 0; i < 4; i++) Put32(b, 0);
    Put32(b, 3);
    for (int i = 0; i < 6; i++) Put16(b, (uint16_t)(i * 7));
    e.pen = b.size();
    Put32(b, 38); // EMR_CREATEPEN
    Put32(b, 28);
    Put32(b, 1);
    for (int i = 0; i < 4; i++) Put32(b, 0);
    e.select = b.size();
    Put32(b, 37); // EMR_SELECTOBJECT
    Put32(b, 12);
    Put32(b, 1);
    e.dib = b.size();
    Put32(b, 81); // EMR_STRETCHDIBITS
    Put32(b, 80 + 40 + 16);
    for (int i = 0; i < 10; i++) Put32(b, 0); // bounds, dest, src
    Put32(b, 80);      // offBmiSrc
    Put32(b, 40);      // cbBmiSrc
    Put32(b, 120);     // offBitsSrc
    Put32(b, 16);      // cbBitsSrc
    Put32(b, 0);       // usage
    Put32(b, 0xCC0020); // SRCCOPY
    Put32(b, 2);
    Put32(b, 2);
    Put32(b, 40); // BITMAPINFOHEADER
    Put32(b, 2);
    Put32(b, 2);
    Put16(b, 1);
    Put16(b, 32);
    for (int i = 0; i < 6; i++) Put32(b, 0);
    for (int i = 0; i < 4; i++) Put32(b, 0x00FF0000);
    e.eof = b.size();
    Put32(b, 14); // EMR_EOF
    Put32(b, 20);
    Put32(b, 0);
    Put32(b, 16);
    Put32(b, 20);
    Set32(b, 48, (uint32_t)b.size());
    return e;
}

// Header, a three-point polyline, a pen selected, the end record.
Bytes MakeWmf() {
    Bytes b;
    Put16(b, 1);
    Put16(b, 9);
    Put16(b, 0x300);
    Put32(b, 0); // size in words, set below
    Put16(b, 1); // objects
    Put32(b, 7);
    Put16(b, 0);
    Put32(b, 7); // META_POLYLINE: 3 + 1 + 6 words... padded below
    Put16(b, 0x0325);
    Put16(b, 3);
    for (int i = 0; i < 6; i++) Put16(b, (uint16_t)(i * 5));
    Set32(b, 18, (uint32_t)((b.size() - 18) / 2));
    Put32(b, 4); // META_SELECTOBJECT 0
    Put16(b, 0x012D);
    Put16(b, 0);
    Put32(b, 3);
    Put16(b, 0);
    Set32(b, 6, (uint32_t)(b.size() / 2));
    return b;
}

Bytes Placeable(const Bytes& wmf) {
    Bytes b;
    Put32(b, 0x9AC6CDD7);
    for (int i = 0; i < 9; i++) Put16(b, 0);
    b.insert(b.end(), wmf.begin(), wmf.end());
    return b;
}

TEST(MetaCheck, SoundFilesPass) {
    Emf e = MakeEmf();
    EXPECT_EQ(kMetaEnhanced, MetaKindOf(e.b.data(), e.b.size()));
    EXPECT_TRUE(MetaCheckEnhanced(e.b.data(), e.b.size()));
    Bytes w = MakeWmf();
    uint32_t words = 0;
    EXPECT_EQ(kMetaWindows, MetaKindOf(w.data(), w.size()));
    EXPECT_TRUE(MetaCheckWindows(w.data(), w.size(), &words));
    EXPECT_EQ(w.size() / 2, words);
    Bytes p = Placeable(w);
    uint32_t bytes = 0;
    EXPECT_EQ(kMetaPlaceable, MetaKindOf(p.data(), p.size()));
    EXPECT_TRUE(MetaCheckPlaceable(p.data(), p.size(), &bytes));
    EXPECT_EQ(w.size(), bytes);
    // Bytes after the last record are not the metafile's and do no harm.
    e.b.resize(e.b.size() + 10);
    EXPECT_TRUE(MetaCheckEnhanced(e.b.data(), e.b.size()));
}

TEST(MetaCheck, DamagedEnhancedMetafilesAreRefused) {
    struct Case {
        const char* what;
        std::function<void(Emf&)> damage;
    } cases[] = {
        {"record of size 0", [](Emf& e) { Set32(e.b, e.polyline + 4, 0); }},
        {"record size not a multiple of 4", [](Emf& e) { Set32(e.b, e.polyline + 4, 42); }},
        {"record past the end", [](Emf& e) { Set32(e.b, e.eof + 4, 24); }},
        {"length beyond the file", [](Emf& e) { Set32(e.b, 48, (uint32_t)e.b.size() + 4); }},
        {"no end record", [](Emf& e) { Set32(e.b, e.eof, 70); }},
        {"header size below its fields", [](Emf& e) { Set32(e.b, 4, 80); }},
        {"point count beyond the record", [](Emf& e) { Set32(e.b, e.polyline + 24, 0x40000000); }},
        {"pen number beyond the handle table", [](Emf& e) { Set32(e.b, e.pen + 8, 2); }},
        {"pen made in the metafile's own slot", [](Emf& e) { Set32(e.b, e.pen + 8, 0); }},
        {"selected object beyond the table", [](Emf& e) { Set32(e.b, e.select + 8, 7); }},
        {"bits offset outside the record", [](Emf& e) { Set32(e.b, e.dib + 56, 0xFFFFFFF0); }},
        {"bits shorter than the picture", [](Emf& e) { Set32(e.b, e.dib + 80 + 8, 40); }},
        {"unknown compression", [](Emf& e) { Set32(e.b, e.dib + 80 + 16, 9); }},
        {"palette entries beyond the end record", [](Emf& e) { Set32(e.b, e.eof + 8, 100); }},
        {"a second header", [](Emf& e) { Set32(e.b, e.select, 1); }},
        {"description beyond the header", [](Emf& e) {
             Set32(e.b, 60, 100);
             Set32(e.b, 64, 80);
         }},
    };
    for (const Case& c : cases) {
        Emf e = MakeEmf();
        c.damage(e);
        EXPECT_FALSE(MetaCheckEnhanced(e.b.data(), e.b.size())) << c.what;
    }
    // Every cut of the file short is refused.
    Emf e = MakeEmf();
    for (size_t n = 0; n < e.b.size(); n++) EXPECT_FALSE(MetaCheckEnhanced(e.b.data(), n)) << n;
}

TEST(MetaCheck, DamagedWindowsMetafilesAreRefused) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"record shorter than 3 words", [](Bytes& b) { Set32(b, 18, 2); }},
        {"record past the end", [](Bytes& b) { Set32(b, 18, 1000); }},
        {"point count beyond the record", [](Bytes& b) { Set16(b, 24, 400); }},
        {"object number beyond the table", [](Bytes& b) { Set16(b, 18 + 20 + 6, 3); }},
        {"header size not 9", [](Bytes& b) { Set16(b, 2, 10); }},
    };
    for (const Case& c : cases) {
        Bytes b = MakeWmf();
        c.damage(b);
        EXPECT_FALSE(MetaCheckWindows(b.data(), b.size(), nullptr)) << c.what;
        Bytes p = Placeable(b);
        EXPECT_FALSE(MetaCheckPlaceable(p.data(), p.size(), nullptr)) << c.what;
    }
    Bytes b = MakeWmf();
    b.resize(b.size() - 6); // no end record
    EXPECT_FALSE(MetaCheckWindows(b.data(), b.size(), nullptr));
    // The placeable size word claims more than the file holds, also where
    // 2n + 22 would wrap in 32 bits.
    for (uint32_t n : {1000u, 0x7FFFFFFFu, 0xFFFFFFF5u}) {
        Bytes p = Placeable(MakeWmf());
        Set32(p, 28, n);
        EXPECT_FALSE(MetaCheckPlaceable(p.data(), p.size(), nullptr)) << n;
    }
}

} // namespace
