#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "tools/HexFormat.h"

static std::vector<uint8_t> SampleBytes() {
    // Edge values for every width: zero, all ones, sign bits, a float, a double.
    const uint8_t fixed[] = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x80,
                             0x00, 0x00, 0x80, 0x3F, 0x18, 0x2D, 0x44, 0x54, 0xFB, 0x21, 0x09, 0x40,
                             0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0x7F, 0x7F, 0x00, 0x00, 0x80, 0xFF};
    std::vector<uint8_t> bytes(fixed, fixed + sizeof fixed);
    unsigned seed = 12345;
    for (int i = 0; i < 92; i++) {
        seed = seed * 1103515245 + 12345;
        bytes.push_back((uint8_t)(seed >> 16));
    }
    return bytes; // 128 bytes: a whole number of every element size
}

static std::vector<std::string> Elements(const std::vector<uint8_t> &bytes, int format) {
    std::vector<std::string> out;
    int size = kHexFormats[format].elementSize;
    for (uint32_t at = 0; at + size <= bytes.size(); at += size) {
        char text[kHexElementMax];
        EXPECT_TRUE(HexFormatElement(text, sizeof text, bytes.data(), (uint32_t)bytes.size(), at, format));
        EXPECT_EQ(strlen(text), kHexFormats[format].fieldWidth) << format << " '" << text << "'";
        out.push_back(text);
    }
    return out;
}

TEST(HexElement, EveryFormatFillsItsFieldAndParsesBack) {
    std::vector<uint8_t> bytes = SampleBytes();
    for (int format = 0; format < kHexFormatCount; format++) {
        std::vector<std::string> texts = Elements(bytes, format);
        int size = kHexFormats[format].elementSize;
        for (size_t i = 0; i < texts.size(); i++) {
            if (format == 1 && bytes[i] == 0)
                continue; // a zero byte shows as "." and "." types a dot
            if ((format == 8 || format == 9) && texts[i].find("NAN") != std::string::npos)
                continue;
            uint64_t value = 0;
            ASSERT_EQ(HexParseElement(format, texts[i].c_str(), &value), 1) << format << " '" << texts[i] << "'";
            uint8_t back[8] = {};
            ASSERT_TRUE(HexStoreElement(back, 8, 0, format, value));
            EXPECT_EQ(memcmp(back, bytes.data() + i * size, size), 0) << format << " '" << texts[i] << "'";
        }
    }
}

TEST(HexElement, KnownTexts) {
    const uint8_t one[] = {0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0};
    struct {
        int format;
        const uint8_t bytes[8];
        const char *text;
    } cases[] = {
        {0, {0xAB}, "AB "},
        {1, {0x00}, "."},
        {1, {'z'}, "z"},
        {2, {0xFF, 0xFF}, "-00001 "},
        {2, {0x05, 0x00}, "+00005 "},
        {3, {0xFF, 0xFF}, "65535 "},
        {4, {0x34, 0x12}, "1234 "},
        {5, {0x00, 0x00, 0x00, 0x80}, "-2147483648 "},
        {5, {0xFF, 0xFF, 0xFF, 0x7F}, "+2147483647 "},
        {6, {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295 "},
        {7, {0x78, 0x56, 0x34, 0x12}, "12345678 "},
        {8, {0x00, 0x00, 0x80, 0x3F}, "+1.00000000E+000 "},
        {9, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, "+1.0000000000000000E+000 "},
        {9, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, "+INF                     "},
        {11, {0xCD, 0xAB, 0x34, 0x12}, "1234:ABCD "},
        {12, {0x78, 0x56, 0x34, 0x12}, "12345678 "},
    };
    (void)one;
    for (auto &c : cases) {
        char text[kHexElementMax];
        ASSERT_TRUE(HexFormatElement(text, sizeof text, c.bytes, 8, 0, c.format));
        EXPECT_STREQ(text, c.text) << c.format;
    }
}

TEST(HexElement, StraddlingElementIsNeitherReadNorWritten) {
    // Seven bytes inside a larger guard block: an element that starts inside
    // the data but ends past it must not be touched.
    uint8_t block[16];
    memset(block, 0xEE, sizeof block);
    memset(block, 0x11, 7);
    char text[kHexElementMax];
    EXPECT_FALSE(HexFormatElement(text, sizeof text, block, 7, 4, 5));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(HexFormatElement(text, sizeof text, block, 7, 0, 9));
    EXPECT_FALSE(HexStoreElement(block, 7, 4, 7, 0));
    EXPECT_FALSE(HexStoreElement(block, 7, 6, 2, 0));
    EXPECT_EQ(block[7], 0xEE);
    EXPECT_EQ(block[6], 0x11);
    EXPECT_TRUE(HexStoreElement(block, 7, 5, 2, 0));
    EXPECT_EQ(block[6], 0x00);
    EXPECT_EQ(block[7], 0xEE);
    // The row text pads the partial element with blanks.
    char row[128];
    HexFormatRow(row, sizeof row, block, 7, 4, 8, 7, 4, 2, kHexAddressDecimal);
    EXPECT_EQ(std::string(row), "04" + std::string(2 + 17, ' '));
}

TEST(HexParse, AcceptAndRejectTable) {
    struct {
        int format;
        const char *text;
        int accepted;
        uint64_t value;
    } cases[] = {
        {0, "7F ", 1, 0x7F},      {0, "G0 ", 0, 0},          {0, "1FF", 0, 0},
        {0, "1 F", 0, 0},         {0, "   ", 0, 0},          {2, "-32768 ", 1, 0x8000},
        {2, "+32768 ", 0, 0},     {2, "12a45 ", 0, 0},       {3, "65535 ", 1, 0xFFFF},
        {3, "65536 ", 0, 0},      {4, "FFFF ", 1, 0xFFFF},   {5, "2147483647 ", 0, 0},
        {5, "+2147483647 ", 1, 0x7FFFFFFF},                  {5, "-0000000001 ", 1, 0xFFFFFFFF},
        {5, "+2147483648 ", 0, 0},                           {5, "+0000000001x", 0, 0},
        {6, "4294967295 ", 1, 0xFFFFFFFF},                   {6, "4294967296 ", 0, 0},
        {7, "DEADBEEF ", 1, 0xDEADBEEF},                     {7, "DEADBEEF0", 0, 0},
        {11, "1234:ABCD ", 1, 0x1234ABCD},                   {11, "1234-ABCD ", 0, 0},
        {11, "12345ABCD ", 0, 0},                            {8, "+1.00000000E+000 ", 1, 0x3F800000},
        {8, "+1.00000001E+000 ", 0, 0}, // a float cannot hold it: shown differently
        {8, "+1.0000000xE+000 ", 0, 0},                      {9, "+2.0000000000000000E+000 ", 1, 0x4000000000000000},
        {12, "12 45678 ", 0, 0},                             {1, "A", 1, 'A'},
        {2, "+0000001", 0, 0}, // longer than the field
    };
    for (auto &c : cases) {
        uint64_t value = 0;
        EXPECT_EQ(HexParseElement(c.format, c.text, &value), c.accepted) << c.format << " '" << c.text << "'";
        if (c.accepted) {
            EXPECT_EQ(value, c.value) << c.format << " '" << c.text << "'";
        }
    }
}

TEST(HexBlock, InsertAndDeleteAtTheEdges) {
    HexBlock block = {};
    ASSERT_TRUE(HexInsertElement(&block, 0, 5)); // empty file: one zero element
    ASSERT_EQ(block.length, 4u);
    EXPECT_EQ(memcmp(block.data, "\0\0\0\0", 4), 0);
    block.data[0] = 1;
    ASSERT_TRUE(HexInsertElement(&block, 99, 0)); // past the end: appended
    EXPECT_EQ(block.length, 5u);
    EXPECT_EQ(block.data[0], 1);
    // Deleting a 4-byte element where only one byte is left removes that byte.
    EXPECT_TRUE(HexDeleteElement(&block, 4, 5));
    EXPECT_EQ(block.length, 4u);
    EXPECT_FALSE(HexDeleteElement(&block, 4, 5));
    EXPECT_FALSE(HexDeleteElement(&block, 0xFFFFFFFF, 2));
    EXPECT_TRUE(HexDeleteElement(&block, 2, 9)); // 8-byte element, 2 bytes there
    EXPECT_EQ(block.length, 2u);
    EXPECT_TRUE(HexDeleteElement(&block, 0, 9));
    EXPECT_EQ(block.length, 0u);
    EXPECT_EQ(block.data, nullptr);
    EXPECT_FALSE(HexDeleteElement(&block, 0, 0));
    HexBlockFree(&block);
}

TEST(HexFind, TableOfSearches) {
    const uint8_t data[] = {'a', 'b', 'c', 0x00, 0xAB, 'A', 'B', 'C', 0x12, 0x34};
    struct {
        int format;
        uint32_t caret;
        const char *text;
        bool down;
        int64_t found;
        bool inChars;
    } cases[] = {
        {0, 0, "AB", true, 4, false},    // hex column first
        {0, 4, "AB", true, 5, true},     // then the characters "AB" at 5 (case-insensitive)
        {0, 9, "abc", false, 5, true},   // upwards from the end
        {0, 5, "abc", false, 0, true},
        {1, 0, "bc", true, 1, false},
        {1, 8, "C\x12\x34X", true, -1, false}, // would run past the end
        {4, 0, "3412", true, 8, false},
        {4, 8, "3412", true, -1, false},
        {4, 8, "6261", false, 0, false},
        {0, 9, "zz", true, -1, false},
    };
    for (auto &c : cases) {
        bool inChars = false;
        int64_t at = HexFindText(data, sizeof data, c.format, c.caret, c.text, c.down, &inChars);
        EXPECT_EQ(at, c.found) << c.format << " " << c.text;
        if (at >= 0) {
            EXPECT_EQ(inChars, c.inChars) << c.format << " " << c.text;
        }
    }
    // A search text at the very end does not read past the data.
    std::vector<uint8_t> tail = {'x', 'y'};
    EXPECT_EQ(HexFindText(tail.data(), 2, 1, 0, "YZ", true, nullptr), -1);
    EXPECT_EQ(HexFindText(tail.data(), 2, 1, 0, "Y", true, nullptr), 1);
}

TEST(HexLayout, RowsAndWidths) {
    EXPECT_EQ(HexAddressDigits(0, kHexAddressDecimal), 1);
    EXPECT_EQ(HexAddressDigits(200u * 1024 * 1024, kHexAddressHex), 7);
    EXPECT_EQ(HexBytesPerRow(80, 8, 0), 17u);
    EXPECT_EQ(HexBytesPerRow(80, 8, 9), 16u);
    EXPECT_EQ(HexBytesPerRow(5, 8, 9), 8u); // never less than one element
    EXPECT_EQ(HexRowChars(16, 0), 47u);
    EXPECT_EQ(HexRowChars(16, 1), 16u);
    const uint8_t data[] = {'H', 'i', 0, 0x7F};
    char row[128];
    HexFormatRow(row, sizeof row, data, 4, 0, 4, 0, 0, 4, kHexAddressHex);
    EXPECT_STREQ(row, "0000  48 69 00 7F  Hi.\x7F");
    HexFormatRow(row, sizeof row, data, 4, 0, 8, 0, 0x10, 4, kHexAddressHex);
    EXPECT_EQ(std::string(row), "0010  48 69 00 7F" + std::string(23 - 11, ' ') + "  Hi.\x7F");
    EXPECT_EQ(HexCaretOffset(1, 7, 2, 16, 2, false), 3u * 16 + 2);
    EXPECT_EQ(HexCaretOffset(0, 3, 0, 16, 0, true), 3u);
}

#ifndef _WIN32
// Element values against od(1) reading the same bytes.
static std::vector<std::string> OdWords(const std::string &path, const char *type) {
    std::string cmd = std::string("od -An -v --endian=little -t ") + type + " " + path;
    FILE *p = popen(cmd.c_str(), "r");
    std::vector<std::string> words;
    if (!p)
        return words;
    char word[128];
    while (fscanf(p, "%127s", word) == 1)
        words.push_back(word);
    EXPECT_EQ(pclose(p), 0) << cmd;
    return words;
}

TEST(HexElement, ValuesEqualOd) {
    std::vector<uint8_t> bytes = SampleBytes();
    std::string path = testing::TempDir() + std::to_string(getpid()) + "-hexod.bin";
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    struct {
        int format;
        const char *odType;
        int base; // 16, 10 or 0 for floating point
    } cases[] = {{0, "x1", 16}, {2, "d2", 10}, {3, "u2", 10}, {4, "x2", 16}, {5, "d4", 10}, {6, "u4", 10},
                 {7, "x4", 16}, {10, "x2", 16}, {12, "x4", 16}, {8, "fF", 0}, {9, "fD", 0}};
    for (auto &c : cases) {
        std::vector<std::string> ours = Elements(bytes, c.format);
        std::vector<std::string> theirs = OdWords(path, c.odType);
        ASSERT_EQ(ours.size(), theirs.size()) << c.odType;
        for (size_t i = 0; i < ours.size(); i++) {
            if (c.base) {
                EXPECT_EQ(strtoll(ours[i].c_str(), nullptr, c.base), strtoll(theirs[i].c_str(), nullptr, c.base))
                    << c.format << " " << i << " " << ours[i] << " vs " << theirs[i];
            } else {
                double a = strtod(ours[i].c_str(), nullptr), b = strtod(theirs[i].c_str(), nullptr);
                if (isnan(b)) {
                    EXPECT_TRUE(isnan(a)) << ours[i];
                } else if (isinf(b)) {
                    EXPECT_EQ(a, b) << ours[i];
                } else {
                    // od shows fewer digits than the field
                    EXPECT_LE(fabs(a - b), fabs(b) * 1e-4) << c.format << " " << ours[i] << " vs " << theirs[i];
                }
            }
        }
    }
    // The far-pointer format shows the high word first: od's two 16-bit words swapped.
    std::vector<std::string> far = Elements(bytes, 11), words = OdWords(path, "x2");
    for (size_t i = 0; i < far.size(); i++) {
        std::string expect = words[2 * i + 1] + ":" + words[2 * i] + " ";
        for (char &ch : expect)
            ch = (char)toupper((unsigned char)ch);
        EXPECT_EQ(far[i], expect);
    }
    // The row's characters are the bytes themselves.
    char row[256];
    HexFormatRow(row, sizeof row, bytes.data(), (uint32_t)bytes.size(), 0, 16, 0, 0, 3, kHexAddressHex);
    std::vector<std::string> x1 = OdWords(path, "x1");
    std::string expect = "000  ";
    for (int i = 0; i < 16; i++)
        expect += x1[i] + (i < 15 ? " " : "");
    for (char &ch : expect)
        ch = (char)toupper((unsigned char)ch);
    EXPECT_EQ(std::string(row).substr(0, expect.size()), expect);
    remove(path.c_str());
}
#endif
