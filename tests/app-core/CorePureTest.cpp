// Memory, line reader, strings, paths, numbers, dates and stamps: the parts
// that need no system calls.
#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Memory.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/Strings.h"

// ---- memory -----------------------------------------------------------------

TEST(MemAlloc, ZeroFilledAndFreeClears) {
    EXPECT_EQ(MemAlloc(0), nullptr);
    unsigned char *p = static_cast<unsigned char *>(MemAlloc(100));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; i++)
        EXPECT_EQ(p[i], 0);
    unsigned char **where = MemFree(&p);
    EXPECT_EQ(where, &p);
    EXPECT_EQ(p, nullptr);
    MemFree(&p); // a null variable is fine
}

TEST(GrowBuffer, FirstAppendTakesAtLeastOnePage) {
    GrowBuffer b = {};
    MemBufAppend(&b, "0123456789", 10);
    EXPECT_EQ(b.capacity, 4096u);
    EXPECT_EQ(b.used, 10u);
    EXPECT_EQ(b.count, 1u);
    GrowBuffer big = {};
    std::vector<char> block(9000, 'x');
    MemBufAppend(&big, block.data(), 9000);
    EXPECT_EQ(big.capacity, 9000u);
    MemFree(&b.data);
    MemFree(&big.data);
}

TEST(GrowBuffer, GrowsGeometricallyAndKeepsContents) {
    GrowBuffer b = {};
    MemBufAppend(&b, "0123456789", 10);
    std::vector<char> block(5000, 'y');
    MemBufAppend(&b, block.data(), 5000);
    EXPECT_GE(b.capacity, 8192u); // doubled, not 4096 + 5000
    EXPECT_EQ(b.used, 5010u);
    EXPECT_EQ(memcmp(b.data, "0123456789", 10), 0);
    EXPECT_EQ(b.data[5009], 'y');

    // 100,000 appends of 37 bytes: a fixed step would reallocate ~900 times.
    GrowBuffer many = {};
    int moves = 0;
    uint32_t lastCapacity = 0;
    std::string expect;
    for (int i = 0; i < 100000; i++) {
        char item[37];
        memset(item, 'a' + i % 26, sizeof item);
        MemBufAppend(&many, item, sizeof item);
        if (i % 997 == 0)
            expect.assign(item, sizeof item);
        if (many.capacity != lastCapacity)
            moves++, lastCapacity = many.capacity;
    }
    EXPECT_EQ(many.used, 3700000u);
    EXPECT_EQ(many.count, 100000u);
    EXPECT_LE(moves, 12);
    EXPECT_EQ(many.data[997 * 37], 'a' + 997 % 26);
    MemFree(&b.data);
    MemFree(&many.data);
}

TEST(GrowBuffer, NullDataReservesZeros) {
    GrowBuffer b = {};
    MemBufAppend(&b, "ab", 2);
    MemBufAppend(&b, nullptr, 3);
    EXPECT_EQ(b.used, 5u);
    EXPECT_EQ(memcmp(b.data, "ab\0\0\0", 5), 0);
    MemFree(&b.data);
}

TEST(MemBlockSizeForFile, RefusesSizesThatWrap) {
    struct {
        uint64_t size;
        bool ok;
        uint32_t block;
    } cases[] = {
        {0, true, 1},
        {100, true, 101},
        {0x7FFFFFFEu, true, 0x7FFFFFFFu},
        {0x7FFFFFFFu, false, 0},
        {0xFFFFFFFFu, false, 0},
        {0x100000000ull, false, 0},
        {0xFFFFFFFFFFFFFFFFull, false, 0},
    };
    for (const auto &c : cases) {
        uint32_t block = 0;
        EXPECT_EQ(MemBlockSizeForFile(c.size, &block), c.ok) << c.size;
        if (c.ok) {
            EXPECT_EQ(block, c.block);
        }
    }
}

// ---- line reader ------------------------------------------------------------

struct MemorySource {
    std::string data;
    size_t pos = 0;
    size_t maxRead = 1 << 30; // reads hand back at most this much
    size_t failAt = std::string::npos;
};

static bool ReadMemory(void *file, char *dst, uint32_t n, uint32_t *got) {
    MemorySource *src = static_cast<MemorySource *>(file);
    if (src->pos >= src->failAt)
        return false;
    size_t take = std::min<size_t>({n, src->data.size() - src->pos, src->maxRead});
    memcpy(dst, src->data.data() + src->pos, take);
    src->pos += take;
    *got = (uint32_t)take;
    return true;
}

// Every line the reader delivers, cut at CR or LF as callers do.
static std::vector<std::string> ReadAllLines(MemorySource &src, size_t limit = 100000) {
    LineReader *r = new LineReader();
    r->file = &src;
    r->remaining = src.data.size();
    std::vector<std::string> lines;
    while (char *line = LineReaderNext(r, ReadMemory)) {
        const char *end = r->buffer + r->filled;
        const char *stop = line;
        while (stop < end && *stop != '\r' && *stop != '\n')
            stop++;
        lines.emplace_back(static_cast<const char *>(line), stop);
        if (lines.size() > limit)
            break; // a reader that never advances
    }
    delete r;
    return lines;
}

TEST(LineReader, SplitsOnAnyLineEnd) {
    MemorySource src;
    src.data = "first\r\nsecond\nthird\rfourth\n\n\r\nfifth";
    std::vector<std::string> expect = {"first", "second", "third", "fourth", "fifth"};
    EXPECT_EQ(ReadAllLines(src), expect);
}

TEST(LineReader, EmptyFileGivesNothing) {
    MemorySource src;
    EXPECT_TRUE(ReadAllLines(src).empty());
}

TEST(LineReader, LinesAcrossChunkBoundaries) {
    MemorySource src;
    std::vector<std::string> expect;
    for (int i = 0; i < 3000; i++) {
        expect.push_back("line " + std::to_string(i) + std::string(i % 50, '#'));
        src.data += expect.back() + (i % 3 ? "\r\n" : "\n");
    }
    EXPECT_EQ(ReadAllLines(src), expect);
    // The same when the source hands back small pieces.
    MemorySource slow = src;
    slow.pos = 0;
    slow.maxRead = 1000;
    EXPECT_EQ(ReadAllLines(slow), expect);
}

TEST(LineReader, LongLinesComeInPiecesWithoutLooping) {
    for (size_t longLen : {4094u, 4095u, 4096u, 10000u, 3 * 4095u}) {
        MemorySource src;
        std::string longLine;
        for (size_t i = 0; i < longLen; i++)
            longLine += (char)('a' + i % 26);
        src.data = "short\n" + longLine + "\nafter\n";
        std::vector<std::string> lines = ReadAllLines(src);
        ASSERT_LT(lines.size(), 100u) << longLen;
        ASSERT_EQ(lines.size(), 2 + (longLen + 4094) / 4095) << longLen; // no empty pieces
        EXPECT_EQ(lines.front(), "short");
        EXPECT_EQ(lines.back(), "after");
        std::string joined;
        for (size_t i = 1; i + 1 < lines.size(); i++) {
            EXPECT_LE(lines[i].size(), 4095u);
            joined += lines[i];
        }
        EXPECT_EQ(joined, longLine) << longLen;
    }
}

TEST(LineReader, LineEndsAfterAPiece) {
    MemorySource src;
    std::string piece(4095, 'p');
    src.data = piece + "\r\n" + "next\r\n" + std::string(3 * 4095, '\n') + "last";
    std::vector<std::string> expect = {piece, "next", "last"};
    EXPECT_EQ(ReadAllLines(src), expect);
}

TEST(LineReader, ZeroBytesAndReadErrors) {
    MemorySource src;
    src.data = std::string("a\0b\nc\n", 6);
    std::vector<std::string> lines = ReadAllLines(src);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string("a\0b", 3));

    MemorySource failing;
    failing.data = std::string(5000, 'x') + "\nend\n";
    failing.failAt = 4095; // the second read fails
    lines = ReadAllLines(failing);
    ASSERT_EQ(lines.size(), 1u); // what was read, then the end
    EXPECT_EQ(lines[0].size(), 4095u);
}

TEST(LineReader, ChunkReads) {
    MemorySource src;
    src.data = std::string(5000, 'z');
    LineReader *r = new LineReader();
    r->file = &src;
    r->remaining = src.data.size();
    char *chunk = LineReaderChunk(r, ReadMemory);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(strlen(chunk), 4095u);
    EXPECT_EQ(r->remaining, 905u);
    chunk = LineReaderChunk(r, ReadMemory);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(strlen(chunk), 905u);
    EXPECT_EQ(LineReaderChunk(r, ReadMemory), nullptr);
    delete r;
}

TEST(StrNextLine, SkipsToTheNextLine) {
    struct {
        const char *text;
        size_t offset;
    } cases[] = {
        {"abc\r\ndef", 5}, {"abc\n\n\ndef", 6}, {"abc", 3}, {"", 0}, {"\r\nx", 2}, {"a\rb", 2},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StrNextLine(c.text) - c.text, (ptrdiff_t)c.offset) << c.text;
}

// ---- strings ----------------------------------------------------------------

TEST(StrAppend, ReportsCutAndNoRoom) {
    struct {
        const char *start;
        const char *add;
        size_t size;
        const char *result;
        int code;
    } cases[] = {
        {"abcdefghi", "x", 10, "abcdefghi", kAppendNoRoom},
        {"abcdef", "xyz", 10, "abcdefxyz", 0},
        {"abcdef", "xyzw", 10, "abcdefxyz", kAppendCut},
        {"", "", 1, "", kAppendNoRoom},
        {"", "abc", 4, "abc", 0},
        {"", "abcd", 4, "abc", kAppendCut},
        {"ab", "", 10, "ab", 0},
    };
    for (const auto &c : cases) {
        char buf[16] = {};
        strcpy(buf, c.start);
        EXPECT_EQ(StrAppend(buf, c.add, c.size), c.code) << c.start << "+" << c.add;
        EXPECT_STREQ(buf, c.result);
    }
    char untouched[4] = "abc";
    EXPECT_EQ(StrAppend(untouched, "x", 0), 0);
    EXPECT_STREQ(untouched, "abc");
}

TEST(StrShorten, KeepsHeadAndTail) {
    const char *text = "C:\\Program Files\\Some Vendor\\Some Product\\readme.txt"; // 52 chars
    struct {
        unsigned maxLen;
        const char *expect;
    } cases[] = {
        {30, "C:\\Pro...me Product\\readme.txt"},
        {20, "C:\\P...ct\\readme.txt"},
        {7, "C:\\P..."},
        {6, "C:\\..."},
        {5, "C:..."},
        {4, "C..."},
        {3, "..."},
        {2, ".."},
        {1, "."},
        {0, ""},
        {60, text},
    };
    for (const auto &c : cases) {
        char out[64];
        memset(out, '!', sizeof out);
        StrShorten(text, c.maxLen, out);
        EXPECT_STREQ(out, c.expect) << c.maxLen;
        EXPECT_LE(strlen(out), c.maxLen < 60 ? c.maxLen : 60u);
    }
    char out[8];
    StrShorten("abc", 3, out); // exactly maxLen long is shortened
    EXPECT_STREQ(out, "...");
    StrShorten("ab", 3, out);
    EXPECT_STREQ(out, "ab");
}

TEST(StrTrimLeft, OnlyLeadingSpaces) {
    struct {
        const char *in, *out;
    } cases[] = {{"  a b ", "a b "}, {"\tx", "\tx"}, {"", ""}, {"   ", ""}, {"x", "x"}};
    for (const auto &c : cases) {
        char buf[16];
        strcpy(buf, c.in);
        StrTrimLeft(buf);
        EXPECT_STREQ(buf, c.out);
    }
    StrTrimLeft(nullptr);
}

TEST(StrHasWildcards, QuestionMarkAndStar) {
    EXPECT_EQ(StrHasWildcards("*.txt"), 1);
    EXPECT_EQ(StrHasWildcards("a?c"), 1);
    EXPECT_EQ(StrHasWildcards("abc.txt"), 0);
    EXPECT_EQ(StrHasWildcards(""), 0);
}

// ---- paths ------------------------------------------------------------------

TEST(Paths, CutLastComponent) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"C:\\", "C:\\"},         {"C:\\A", "C:\\"},         {"C:\\a\\b", "C:\\a"},
        {"\\\\srv\\share\\dir", "\\\\srv\\share"},            {"name", ""},
        {"\\x", ""},              {"C:/x/y", "C:/x"},        {"C:/x", "C:/"},
        {"", ""},
    };
    for (const auto &c : cases) {
        char buf[260];
        strcpy(buf, c.in);
        PathCutLastComponent(buf);
        EXPECT_STREQ(buf, c.out) << c.in;
    }
}

TEST(Paths, CutExtension) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"C:\\a.b\\c", "C:\\a.b\\c"}, {"C:\\x.tar.gz", "C:\\x.tar"}, {".htaccess", ".htaccess"},
        {"a/b.c/d", "a/b.c/d"},       {"file.", "file"},              {"noext", "noext"},
    };
    for (const auto &c : cases) {
        char buf[260];
        strcpy(buf, c.in);
        PathCutExtension(buf);
        EXPECT_STREQ(buf, c.out) << c.in;
    }
}

TEST(Paths, NameAndExtensionOffsets) {
    struct {
        const char *path;
        unsigned name;
        size_t ext;
    } cases[] = {
        {"C:\\dir\\file.txt", 7, 11}, {"file", 0, 4},   {"a/b/.htaccess", 4, 4},
        {"C:\\a.b\\c", 7, 8},          {"x.tar.gz", 0, 5}, {"dir\\", 4, 4},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(PathFindName(c.path), c.name) << c.path;
        EXPECT_EQ(PathFindExtension(c.path), c.ext) << c.path;
    }
}

TEST(Paths, AddBackslashAndConversions) {
    char buf[260] = "C:\\dir";
    PathAddBackslash(buf);
    EXPECT_STREQ(buf, "C:\\dir\\");
    PathAddBackslash(buf);
    EXPECT_STREQ(buf, "C:\\dir\\");
    strcpy(buf, "ftp/dir/");
    PathAddBackslash(buf);
    EXPECT_STREQ(buf, "ftp/dir/");
    buf[0] = 0;
    PathAddBackslash(buf);
    EXPECT_STREQ(buf, "");
    char full[260];
    memset(full, 'a', 259);
    full[259] = 0;
    PathAddBackslash(full); // no room: unchanged
    EXPECT_EQ(strlen(full), 259u);

    strcpy(buf, "a/b\\c/d");
    PathToBackslashes(buf);
    EXPECT_STREQ(buf, "a\\b\\c\\d");
    PathToSlashes(buf);
    EXPECT_STREQ(buf, "a/b/c/d");
    PathToSlashes(nullptr);
    PathToBackslashes(nullptr);
}

TEST(Paths, RootTypeAndDriveColon) {
    EXPECT_EQ(PathGetRootType("\\\\srv\\x"), 2);
    EXPECT_EQ(PathGetRootType("c:\\"), 1);
    EXPECT_EQ(PathGetRootType("Z:"), 1);
    EXPECT_EQ(PathGetRootType("1:/ftp"), 0);
    EXPECT_EQ(PathGetRootType("\\x"), 0);
    EXPECT_EQ(PathGetRootType(""), 0);
    EXPECT_EQ(PathHasDriveColon("C:"), 1);
    EXPECT_EQ(PathHasDriveColon("#:x"), 1);
    EXPECT_EQ(PathHasDriveColon("1:x"), 0);
    EXPECT_EQ(PathHasDriveColon("\\:"), 0);
    EXPECT_EQ(PathHasDriveColon(""), 0);
    EXPECT_EQ(PathIsDriveChar('/'), 0);
    EXPECT_EQ(PathIsDriveChar('x'), 1);
}

TEST(Paths, DriveBarLetters) {
    EXPECT_EQ(DriveBarLetterOfKind(2, 'A', 2), 'C');
    EXPECT_EQ(DriveBarLetterOfKind(2, 'a', 2), 'c');
    EXPECT_EQ(DriveBarLetterOfKind(0, 0, 1), 0);
    EXPECT_EQ(DriveBarLetterOfKind(37, 'A', 9), ' ');
    EXPECT_EQ(DriveBarLetterOfKind(26, 'A', 10), '1');
    EXPECT_EQ(DriveBarLetterOfKind(34, 'A', 14), '9');
    EXPECT_EQ(DriveBarLetterOfKind(35, 'A', 10), '0');
    EXPECT_EQ(DriveBarLetterOfKind(36, 'A', 8), '\\');
}

// ---- numbers ----------------------------------------------------------------

TEST(Numbers, ThousandsSeparators) {
    struct {
        uint64_t value;
        char sep;
        const char *text;
    } cases[] = {
        {0, '.', "0"},
        {999, '.', "999"},
        {1000, '.', "1.000"},
        {1234567, '.', "1.234.567"},
        {1234567, ',', "1,234,567"},
        {4294967295u, '.', "4.294.967.295"},
        {18446744073709551615ull, ',', "18,446,744,073,709,551,615"},
        {123456, '\'', "123'456"},
        {1234, 0, "1234"},
    };
    for (const auto &c : cases) {
        char out[kNumberTextSize];
        StrFormatNumber64Sep(&c.value, out, c.sep);
        EXPECT_STREQ(out, c.text);
        if (c.value <= 0xFFFFFFFFu) {
            StrFormatNumberSep((uint32_t)c.value, out, c.sep);
            EXPECT_STREQ(out, c.text);
        }
    }
}

TEST(Numbers, SizesWithUnits) {
    struct {
        uint64_t bytes;
        const char *last;
        char decimal;
        const char *text;
    } cases[] = {
        {512, "", ',', "512  B "},
        {1536, "", ',', "1,50 KB "},
        {1536, "", '.', "1.50 KB "},
        {15872, "", ',', "15,5 KB "},
        {15872, "free", '.', "15.5 KB free"},
        {0, "", ',', "0  B "},
        {1024, "", ',', "1 KB "},
        {1048576, "frei", ',', "1 MB frei"},
        {1073741824ull * 5, "", ',', "5 GB "},
        {1099511627776ull * 3, "", ',', "3072 GB "},
        {1023, "", ',', "1023  B "},
        {1025, "", ',', "1,00 KB "},
    };
    for (const auto &c : cases) {
        char out[kSizeTextSize];
        StrFormatSizeSep(out, &c.bytes, c.last, c.decimal);
        EXPECT_STREQ(out, c.text) << c.bytes;
    }
}

// ---- dates, times and stamps ------------------------------------------------

TEST(Dates, ParseForms) {
    struct {
        const char *text;
        int ok;
        unsigned day, month, year;
    } cases[] = {
        {"29.02.2001", 0, 0, 0, 0},
        {"29.02.2004", 1, 29, 2, 2004},
        {"29.02.2000", 1, 29, 2, 2000},
        {"29.02.2100", 0, 0, 0, 0}, // not a leap year
        {"31.12.2107", 1, 31, 12, 2107},
        {"01.01.2108", 0, 0, 0, 0}, // beyond what a DOS date holds
        {"31.12.1979", 0, 0, 0, 0},
        {"1.1.79", 1, 1, 1, 2079},
        {"31.04.2010", 0, 0, 0, 0},
        {"1.0599", 1, 1, 5, 2099},
        {"12.0599", 1, 12, 5, 2099},
        {"0105.99", 1, 1, 5, 2099},
        {"1.599", 1, 1, 5, 2099},      // "59" is no month: one-digit month
        {"45.99", 1, 4, 5, 2099},      // 45 cannot be a day
        {"12.513", 1, 12, 5, 2013},
        {"01012000", 1, 1, 1, 2000},
        {"150288", 1, 15, 2, 2088},
        {"511999", 1, 5, 1, 1999},
        {"5199", 1, 5, 1, 2099},
        {"511", 1, 5, 1, 2001},
        {"12345", 0, 0, 0, 0},
        {"", 0, 0, 0, 0},
        {"1.2.3.4", 0, 0, 0, 0},
        {"a.b.c", 0, 0, 0, 0},
        {"00.01.2000", 0, 0, 0, 0},
        {"1/13/2000", 0, 0, 0, 0},
        {"15/6/2031", 1, 15, 6, 2031},
    };
    for (const auto &c : cases) {
        unsigned d = 99, m = 99, y = 99;
        int r = StrParseDate(c.text, &d, &m, &y);
        EXPECT_EQ(r == 0, c.ok == 1) << c.text;
        if (c.ok) {
            EXPECT_EQ(d, c.day) << c.text;
            EXPECT_EQ(m, c.month) << c.text;
            EXPECT_EQ(y, c.year) << c.text;
        }
    }
}

TEST(Dates, ValidateCompletesTheCentury) {
    unsigned y = 79;
    EXPECT_EQ(StrValidateDateIn(1, 1, &y, 2026), 0);
    EXPECT_EQ(y, 2079u);
    y = 99;
    EXPECT_EQ(StrValidateDateIn(1, 1, &y, 1999), 0);
    EXPECT_EQ(y, 1999u);
    y = 5;
    EXPECT_EQ(StrValidateDateIn(1, 1, &y, 2150), 0);
    EXPECT_EQ(y, 2105u);
    y = 8;
    EXPECT_EQ(StrValidateDateIn(1, 1, &y, 2150), -1);
    y = 2024;
    EXPECT_EQ(StrValidateDateIn(0, 1, &y, 2026), -1);
    EXPECT_EQ(StrValidateDateIn(1, 13, &y, 2026), -1);
    EXPECT_EQ(StrValidateDateIn(30, 2, &y, 2026), -1);
    EXPECT_EQ(StrValidateDateIn(30, 6, &y, 2026), 0);
    EXPECT_EQ(StrValidateDateIn(31, 6, &y, 2026), -1);
}

TEST(Times, ParseForms) {
    struct {
        const char *text;
        int ok;
        unsigned h, m, s;
    } cases[] = {
        {"25:00", 0, 0, 0, 0},
        {"24:00", 0, 0, 0, 0}, // a DOS time ends at 23:59:58
        {"23:59", 1, 23, 59, 0},
        {"1:75", 1, 1, 7, 5},
        {"12:30:45", 1, 12, 30, 45},
        {"12:30:60", 0, 0, 0, 0},
        {"12:60", 1, 12, 6, 0},
        {"7", 1, 7, 0, 0},
        {"75", 1, 7, 5, 0},
        {"130", 1, 1, 30, 0},
        {"175", 1, 1, 7, 5},
        {"1230", 1, 12, 30, 0},
        {"1275", 1, 12, 7, 5},
        {"123456", 1, 0, 0, 0},
        {"1:2:3:4", 0, 0, 0, 0},
        {"0.0", 1, 0, 0, 0},
    };
    for (const auto &c : cases) {
        unsigned h = 77, m = 77, s = 77;
        int r = StrParseTime(c.text, &h, &m, &s);
        if (c.ok) {
            EXPECT_EQ(r, 0) << c.text;
            EXPECT_EQ(h, c.h) << c.text;
            EXPECT_EQ(m, c.m) << c.text;
            EXPECT_EQ(s, c.s) << c.text;
        } else {
            EXPECT_EQ(r, 0xFFFF) << c.text;
            EXPECT_EQ(h, 77u) << c.text; // outputs unchanged
            EXPECT_EQ(m, 77u);
            EXPECT_EQ(s, 77u);
        }
    }
}

TEST(Dates, FixedForms) {
    char out[16];
    StrFormatDate(out, 1, 2, 2003);
    EXPECT_STREQ(out, "01.02.2003");
    StrFormatTime(out, 9, 5, 0);
    EXPECT_STREQ(out, "09:05:00");
    StrFormatDosAttributes(out, 0x1 | 0x2 | 0x4 | 0x20 | 0x40 | 0x800 | 0x8000);
    EXPECT_STREQ(out, "RAHSECZ");
    StrFormatDosAttributes(out, 0x20 | 0x10);
    EXPECT_STREQ(out, "A");
    StrFormatDosAttributes(out, 0);
    EXPECT_STREQ(out, "");
}

TEST(Stamps, CompareInSeconds) {
    const uint16_t day = DosDateMake(10, 6, 2020);
    struct {
        uint16_t d1, t1, d2, t2;
        int result;
    } cases[] = {
        {day, DosTimeMake(10, 0, 0), day, DosTimeMake(10, 0, 0), 0},
        {day, DosTimeMake(10, 0, 0), day, DosTimeMake(10, 0, 2), 0},
        {day, DosTimeMake(10, 0, 58), day, DosTimeMake(10, 1, 0), 0},
        {day, DosTimeMake(10, 59, 58), day, DosTimeMake(11, 0, 0), 0},
        {DosDateMake(31, 12, 2019), DosTimeMake(23, 59, 58), DosDateMake(1, 1, 2020), DosTimeMake(0, 0, 0), 0},
        {DosDateMake(28, 2, 2019), DosTimeMake(23, 59, 58), DosDateMake(1, 3, 2019), DosTimeMake(0, 0, 2), 0},
        {day, DosTimeMake(10, 0, 0), day, DosTimeMake(10, 0, 4), 0},
        {day, DosTimeMake(10, 0, 0), day, DosTimeMake(10, 0, 6), -1},
        {day, DosTimeMake(10, 0, 6), day, DosTimeMake(10, 0, 0), 1},
        {day, DosTimeMake(10, 0, 0), DosDateMake(11, 6, 2020), DosTimeMake(10, 0, 0), -1},
        {DosDateMake(1, 1, 2021), 0, day, DosTimeMake(23, 59, 58), 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DosStampCompare(c.d1, c.t1, c.d2, c.t2), c.result) << c.d1 << " " << c.t1 << " " << c.t2;
    EXPECT_EQ(DosStampSeconds(DosDateMake(2, 1, 1980), DosTimeMake(0, 0, 2)), 86402);
    EXPECT_EQ(DosDateCompare(1, 2), -1);
    EXPECT_EQ(DosTimeCompare(5, 5), 0);
    EXPECT_EQ(DosTimeCompare(6, 5), 1);
}

TEST(Stamps, PairResults) {
    FileStampPair p = {};
    p.sourceDate = p.targetDate = DosDateMake(1, 1, 2000);
    p.sourceTime = DosTimeMake(12, 0, 0);
    p.targetTime = DosTimeMake(12, 0, 2);
    p.sourceSize = p.targetSize = 10;
    EXPECT_EQ(FileStampPairCompare(&p), kStampSame);
    p.targetSize = 11;
    EXPECT_EQ(FileStampPairCompare(&p), kStampSameTimeOtherSize);
    p.targetTime = DosTimeMake(13, 0, 0);
    EXPECT_EQ(FileStampPairCompare(&p), kStampSourceOlder);
    p.targetTime = DosTimeMake(11, 0, 0);
    EXPECT_EQ(FileStampPairCompare(&p), kStampSourceNewer);
}
