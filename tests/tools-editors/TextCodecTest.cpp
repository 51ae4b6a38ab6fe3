#include <gtest/gtest.h>

#include <string.h>
#include <string>

#include "tools/TextCodec.h"

static std::u16string Ascii(const char *s, size_t n) {
    std::u16string out;
    for (size_t i = 0; i < n; i++)
        out.push_back((unsigned char)s[i]);
    return out;
}

TEST(TextCodec, MarksOnlyOnLongEvenFiles) {
    struct {
        const char *bytes;
        size_t length;
        uint16_t bom;
    } cases[] = {
        {"\xFF\xFE" "a\0b\0", 6, kBomLittle}, {"\xFE\xFF\0a\0b", 6, kBomBig},
        {"\xFF\xFE" "a\0", 4, kBomNone},       // four bytes or fewer: never UTF-16
        {"\xFF\xFE" "abc", 5, kBomNone},       // odd: the last byte would be lost
        {"abcdef", 6, kBomNone},
    };
    for (auto &c : cases)
        EXPECT_EQ(TextDetectBom((const uint8_t *)c.bytes, c.length), c.bom) << c.length;
}

TEST(TextCodec, Utf16BytesRoundTripBothOrders) {
    const uint8_t little[] = {0xFF, 0xFE, 'h', 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE};
    std::u16string text = TextFromUtf16Bytes(little, sizeof little, kBomLittle);
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text[1], 0x20AC);
    EXPECT_EQ(TextToUtf16Bytes(text, kBomLittle), std::string((const char *)little, sizeof little));
    std::string big = TextToUtf16Bytes(text, kBomBig);
    EXPECT_EQ(big.substr(0, 4), std::string("\xFE\xFF\0h", 4));
    EXPECT_EQ(TextFromUtf16Bytes((const uint8_t *)big.data(), big.size(), kBomBig), text);
}

TEST(TextCodec, LineEndsSurviveTheControl) {
    struct {
        const char *file;
        size_t length;
        uint16_t style;
    } cases[] = {
        {"one\r\ntwo\r\n", 10, kLineEndsCrLf}, {"one\ntwo\n", 8, kLineEndsLf}, {"one\rtwo\r", 8, kLineEndsCr},
        {"\r\r\n", 3, kLineEndsCr}, {"no end", 6, kLineEndsUnknown}, {"a\0b\nc", 5, kLineEndsLf},
    };
    for (auto &c : cases) {
        std::u16string file = Ascii(c.file, c.length);
        uint16_t style = TextDetectLineEnds(file.data(), file.size());
        EXPECT_EQ(style, c.style) << c.file;
        bool hadNul = false;
        std::u16string shown = TextToControl(file, &hadNul);
        EXPECT_EQ(shown.find(char16_t(0)), std::u16string::npos);
        for (size_t i = 0; i < shown.size(); i++) {
            if (shown[i] == '\n') {
                EXPECT_EQ(shown[i - 1], '\r') << c.file;
            }
        }
        std::u16string saved = TextFromControl(shown, style, hadNul);
        if (file == u"\r\r\n") // mixed: written in the style of its first line end
            EXPECT_EQ(saved, u"\r\r");
        else
            EXPECT_EQ(saved, file) << c.file;
    }
}

TEST(TextCodec, MixedLineEndsAreWrittenInOneStyle) {
    std::u16string control = u"a\r\nb\nc\rd";
    EXPECT_EQ(TextFromControl(control, kLineEndsLf, false), u"a\nb\nc\nd");
    EXPECT_EQ(TextFromControl(control, kLineEndsCr, false), u"a\rb\rc\rd");
    EXPECT_EQ(TextFromControl(control, kLineEndsUnknown, false), u"a\r\nb\r\nc\r\nd");
    // A stand-in typed into a file that had no zeros stays what it is.
    EXPECT_EQ(TextFromControl(std::u16string(1, kNulStandIn), kLineEndsLf, false), std::u16string(1, kNulStandIn));
}

TEST(TextFind, DirectionsCaseAndBothEnds) {
    std::u16string text = u"abc ABC abc";
    struct {
        const char16_t *needle;
        size_t from;
        bool down, matchCase;
        int64_t found;
    } cases[] = {
        {u"abc", 0, true, true, 0},    {u"abc", 1, true, true, 8},    {u"abc", 1, true, false, 4},
        {u"abc", 9, true, false, -1},  {u"abc", 11, false, true, 8},  {u"abc", 10, false, true, 0},
        {u"ABC", 11, false, true, 4},  {u"abc", 3, false, false, 0},  {u"abc", 2, false, false, -1},
        {u"c", 11, false, true, 10},   {u"a", 0, false, true, -1},    {u"abc ABC abcd", 0, true, true, -1},
        {u"", 0, true, true, -1},      {u"abc", 99, false, true, 8},
    };
    for (auto &c : cases)
        EXPECT_EQ(TextFind(text, c.needle, c.from, c.down, c.matchCase), c.found)
            << (c.down ? "down " : "up ") << c.from;
    // Next after a match: searching from its end finds the following one.
    EXPECT_EQ(TextFind(text, u"abc", 0 + 3, true, false), 4);
}

TEST(TextCodec, Latin1KeepsEveryByte) {
    std::string bytes;
    for (int i = 0; i < 256; i++)
        bytes.push_back((char)i);
    std::u16string text = TextFromLatin1((const uint8_t *)bytes.data(), bytes.size());
    std::string back;
    ASSERT_TRUE(TextToLatin1(text, &back));
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(TextToLatin1(u"\u20AC", &back));
}
