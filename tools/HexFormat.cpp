#include "tools/HexFormat.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const HexFormat kHexFormats[kHexFormatCount] = {
    {0, "HEX & Character", 1, 3},
    {1, "Character", 1, 1},
    {2, "16-bit integer", 2, 7},
    {3, "16-bit unsigned integer", 2, 6},
    {4, "16-bit integer in HEX", 2, 5},
    {5, "32-bit integer", 4, 12},
    {6, "32-bit unsigned integer", 4, 11},
    {7, "32-bit integer in HEX", 4, 9},
    {8, "32-bit float", 4, 17},
    {9, "64-bit float", 8, 25},
    {10, "16-bit near pointers", 2, 5},
    {11, "16:16-bit far pointers", 4, 10},
    {12, "32 bit far pointers", 4, 9},
};

const char *const kHexAddressStyleNames[2] = {"Decimal", "Hexadecimal"};

static bool KnownFormat(int format) { return format >= 0 && format < kHexFormatCount; }

static uint64_t ReadLittle(const uint8_t *p, int size) {
    uint64_t v = 0;
    for (int i = size - 1; i >= 0; i--)
        v = v << 8 | p[i];
    return v;
}

// Floats print with a three-digit exponent on every C library: the field
// widths (17 and 25) are measured for that, and a text typed back must match
// what is shown regardless of which runtime formatted it.
static void FormatFloat(char *out, size_t size, double value, int digits) {
    if (isnan(value)) {
        snprintf(out, size, "%s", signbit(value) ? "-NAN" : "+NAN");
        return;
    }
    if (isinf(value)) {
        snprintf(out, size, "%s", value < 0 ? "-INF" : "+INF");
        return;
    }
    char raw[64];
    snprintf(raw, sizeof raw, "%+1.*E", digits, value);
    char *e = strchr(raw, 'E');
    if (!e) {
        snprintf(out, size, "%s", raw);
        return;
    }
    char sign = e[1] == '-' ? '-' : '+';
    int exponent = atoi(e + 2) % 1000;
    *e = 0;
    raw[24] = 0; // "+d." and at most 16 digits
    snprintf(out, size, "%.24sE%c%03d", raw, sign, exponent);
}

static bool FitsElement(uint32_t dataLength, uint32_t offset, int size) {
    return offset < dataLength && dataLength - offset >= (uint32_t)size;
}

bool HexFormatElement(char *out, size_t outSize, const uint8_t *data, uint32_t dataLength, uint32_t offset,
                      int format) {
    if (!outSize)
        return false;
    out[0] = 0;
    if (!data || !KnownFormat(format))
        return false;
    const HexFormat &f = kHexFormats[format];
    if (!FitsElement(dataLength, offset, f.elementSize))
        return false;
    uint64_t v = ReadLittle(data + offset, f.elementSize);
    char text[kHexElementMax * 2];
    switch (format) {
    case 0:
        snprintf(text, sizeof text, "%02X ", (unsigned)v);
        break;
    case 1:
        text[0] = v ? (char)v : '.';
        text[1] = 0;
        break;
    case 2: {
        int s = (int16_t)v;
        snprintf(text, sizeof text, s >= 0 ? "+%05d " : "%06d ", s);
        break;
    }
    case 3:
        snprintf(text, sizeof text, "%05u ", (unsigned)v);
        break;
    case 4:
    case 10:
        snprintf(text, sizeof text, "%04X ", (unsigned)v);
        break;
    case 5: {
        long s = (int32_t)v;
        snprintf(text, sizeof text, s >= 0 ? "+%010ld " : "%011ld ", s);
        break;
    }
    case 6:
        snprintf(text, sizeof text, "%010lu ", (unsigned long)v);
        break;
    case 7:
    case 12:
        snprintf(text, sizeof text, "%08lX ", (unsigned long)v);
        break;
    case 8:
    case 9: {
        double d;
        if (format == 8) {
            uint32_t bits = (uint32_t)v;
            float fl;
            memcpy(&fl, &bits, 4);
            d = fl;
        } else {
            memcpy(&d, &v, 8);
        }
        FormatFloat(text, sizeof text, d, format == 8 ? 8 : 16);
        size_t n = strlen(text);
        while (n < f.fieldWidth)
            text[n++] = ' ';
        text[n] = 0;
        break;
    }
    case 11:
        snprintf(text, sizeof text, "%04X:%04X ", (unsigned)(v >> 16), (unsigned)(v & 0xFFFF));
        break;
    }
    if (strlen(text) >= outSize)
        return false;
    memcpy(out, text, strlen(text) + 1);
    return true;
}

static bool AllOf(const char *text, bool hex) {
    for (const char *p = text; *p; p++) {
        if (*p == ' ')
            continue;
        if (hex ? !isxdigit((unsigned char)*p) : !isdigit((unsigned char)*p))
            return false;
    }
    return true;
}

// One run of digits between optional blanks; blanks inside the number would
// otherwise make a scan stop early and store a value nobody typed.
static bool ScanNumber(const char *text, int base, uint64_t *value) {
    const char *p = text;
    while (*p == ' ')
        p++;
    const char *start = p;
    uint64_t v = 0;
    while (*p && *p != ' ') {
        int digit = isdigit((unsigned char)*p) ? *p - '0' : toupper((unsigned char)*p) - 'A' + 10;
        if (digit < 0 || digit >= base)
            return false;
        v = v * base + digit;
        if (v > 0xFFFFFFFFull)
            return false;
        p++;
    }
    if (p == start)
        return false;
    while (*p == ' ')
        p++;
    if (*p)
        return false;
    *value = v;
    return true;
}

static void TrimRight(char *text) {
    size_t n = strlen(text);
    while (n && text[n - 1] == ' ')
        text[--n] = 0;
}

// The value's own text must equal what was typed: a value that prints
// differently (out of range, rounded) is not what the user sees.
static bool ShowsAs(int format, uint64_t value, const char *typed) {
    uint8_t bytes[8];
    int size = kHexFormats[format].elementSize;
    for (int i = 0; i < size; i++)
        bytes[i] = (uint8_t)(value >> (8 * i));
    char shown[kHexElementMax];
    if (!HexFormatElement(shown, sizeof shown, bytes, size, 0, format))
        return false;
    TrimRight(shown);
    char copy[kHexElementMax * 2];
    snprintf(copy, sizeof copy, "%s", typed);
    TrimRight(copy);
    const char *start = copy;
    while (*start == ' ')
        start++;
    return strcmp(shown, start) == 0;
}

int HexParseElement(int format, const char *text, uint64_t *value) {
    if (!KnownFormat(format) || !text || !value)
        return 0;
    const HexFormat &f = kHexFormats[format];
    size_t len = strlen(text);
    if (len == 0 || len > f.fieldWidth)
        return 0;
    uint64_t v = 0;
    switch (format) {
    case 1:
        *value = (uint8_t)text[0];
        return 1;
    case 0:
    case 4:
    case 7:
    case 10:
    case 12: {
        if (!AllOf(text, true) || !ScanNumber(text, 16, &v))
            return 0;
        uint64_t limit = f.elementSize == 1 ? 0xFF : f.elementSize == 2 ? 0xFFFF : 0xFFFFFFFFull;
        if (v > limit)
            return 0;
        *value = v;
        return 1;
    }
    case 2:
    case 5: {
        const char *p = text;
        while (*p == ' ')
            p++;
        bool negative = *p == '-';
        if (*p == '+' || *p == '-')
            p++;
        else if (format == 5)
            return 0; // the 32-bit field always shows its sign
        if (!AllOf(p, false) || !ScanNumber(p, 10, &v))
            return 0;
        int64_t s = negative ? -(int64_t)v : (int64_t)v;
        int64_t lo = format == 2 ? -32768 : INT32_MIN, hi = format == 2 ? 32767 : INT32_MAX;
        if (s < lo || s > hi)
            return 0;
        uint64_t bits = (uint64_t)s & (format == 2 ? 0xFFFFull : 0xFFFFFFFFull);
        if (format == 5 && !ShowsAs(format, bits, text))
            return 0;
        *value = bits;
        return 1;
    }
    case 3:
    case 6: {
        if (!AllOf(text, false) || !ScanNumber(text, 10, &v))
            return 0;
        if (v > (format == 3 ? 0xFFFFull : 0xFFFFFFFFull))
            return 0;
        if (format == 6 && !ShowsAs(format, v, text))
            return 0;
        *value = v;
        return 1;
    }
    case 8:
    case 9: {
        char *end = nullptr;
        double d = strtod(text, &end);
        if (end == text)
            return 0;
        while (*end == ' ')
            end++;
        if (*end)
            return 0;
        uint64_t bits;
        if (format == 8) {
            float fl = (float)d;
            uint32_t b;
            memcpy(&b, &fl, 4);
            bits = b;
        } else {
            memcpy(&bits, &d, 8);
        }
        if (!ShowsAs(format, bits, text))
            return 0;
        *value = bits;
        return 1;
    }
    case 11: {
        if (len < 5 || text[4] != ':')
            return 0;
        char high[8] = {0};
        memcpy(high, text, 4);
        uint64_t h, l;
        if (!AllOf(high, true) || !AllOf(text + 5, true) || !ScanNumber(high, 16, &h) ||
            !ScanNumber(text + 5, 16, &l) || h > 0xFFFF || l > 0xFFFF)
            return 0;
        *value = h << 16 | l;
        return 1;
    }
    }
    return 0;
}

bool HexStoreElement(uint8_t *data, uint32_t dataLength, uint32_t offset, int format, uint64_t value) {
    if (!data || !KnownFormat(format))
        return false;
    int size = kHexFormats[format].elementSize;
    if (!FitsElement(dataLength, offset, size))
        return false;
    for (int i = 0; i < size; i++)
        data[offset + i] = (uint8_t)(value >> (8 * i));
    return true;
}

uint32_t HexCaretOffset(uint32_t row, uint32_t column, int32_t topRow, uint32_t bytesPerRow, int format,
                        bool inCharColumn) {
    if (!KnownFormat(format))
        format = 0;
    uint64_t offset = (uint64_t)(uint32_t)(topRow + (int32_t)row) * bytesPerRow;
    if (inCharColumn)
        offset += column;
    else
        offset += (uint64_t)(column / kHexFormats[format].fieldWidth) * kHexFormats[format].elementSize;
    return offset > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)offset;
}

int HexAddressDigits(uint64_t size, int addressStyle) {
    char text[32];
    snprintf(text, sizeof text, addressStyle == kHexAddressHex ? "%llX" : "%llu", (unsigned long long)size);
    return (int)strlen(text);
}

uint32_t HexBytesPerRow(int columns, int addressDigits, int format) {
    if (!KnownFormat(format))
        format = 0;
    const HexFormat &f = kHexFormats[format];
    int n;
    if (format == kHexFormatBytes)
        n = (columns - addressDigits - 3) / 4;
    else
        n = (columns - addressDigits) / f.fieldWidth * f.elementSize;
    if (n < (int)f.elementSize)
        n = f.elementSize;
    return (uint32_t)n;
}

uint32_t HexRowChars(uint32_t bytesPerRow, int format) {
    if (!KnownFormat(format))
        format = 0;
    const HexFormat &f = kHexFormats[format];
    uint32_t chars = bytesPerRow / f.elementSize * f.fieldWidth;
    return format == kHexFormatChars || chars == 0 ? chars : chars - 1;
}

size_t HexFormatRow(char *out, size_t outSize, const uint8_t *data, uint32_t dataLength, uint32_t rowOffset,
                    uint32_t bytesPerRow, int format, uint64_t address, int addressDigits, int addressStyle) {
    if (!outSize)
        return 0;
    out[0] = 0;
    if (!KnownFormat(format))
        return 0;
    const HexFormat &f = kHexFormats[format];
    size_t n = 0;
    auto put = [&](const char *s, size_t len) {
        if (n + len >= outSize)
            len = outSize - 1 - n;
        memcpy(out + n, s, len);
        n += len;
        out[n] = 0;
    };
    char text[64];
    snprintf(text, sizeof text, addressStyle == kHexAddressHex ? "%0*llX  " : "%0*llu  ", addressDigits,
             (unsigned long long)address);
    put(text, strlen(text));
    uint32_t rowChars = HexRowChars(bytesPerRow, format);
    size_t elementsStart = n;
    for (uint32_t i = 0; i + f.elementSize <= bytesPerRow; i += f.elementSize) {
        uint64_t at = (uint64_t)rowOffset + i;
        char element[kHexElementMax];
        if (at > 0xFFFFFFFFull || !HexFormatElement(element, sizeof element, data, dataLength, (uint32_t)at, format))
            break;
        put(element, strlen(element));
    }
    while (n - elementsStart < rowChars && n + 1 < outSize)
        put(" ", 1);
    if (n - elementsStart > rowChars) { // the last separator
        n = elementsStart + rowChars;
        out[n] = 0;
    }
    if (format == kHexFormatBytes) {
        put("  ", 2);
        for (uint32_t i = 0; i < bytesPerRow && (uint64_t)rowOffset + i < dataLength; i++) {
            char c = (char)data[rowOffset + i];
            put(c ? &c : ".", 1);
        }
    }
    return n;
}

bool HexInsertElement(HexBlock *block, uint32_t offset, int format) {
    if (!KnownFormat(format))
        return false;
    uint32_t size = kHexFormats[format].elementSize;
    if (block->length > 0xFFFFFFFFu - size)
        return false;
    if (offset > block->length)
        offset = block->length;
    uint8_t *grown = (uint8_t *)realloc(block->data, (size_t)block->length + size);
    if (!grown)
        return false;
    memmove(grown + offset + size, grown + offset, block->length - offset);
    memset(grown + offset, 0, size);
    block->data = grown;
    block->length += size;
    return true;
}

bool HexDeleteElement(HexBlock *block, uint32_t offset, int format) {
    if (!KnownFormat(format) || !block->data || offset >= block->length)
        return false;
    uint32_t size = kHexFormats[format].elementSize;
    uint32_t tail = block->length - offset;
    if (size > tail)
        size = tail;
    memmove(block->data + offset, block->data + offset + size, tail - size);
    block->length -= size;
    if (block->length == 0) {
        free(block->data);
        block->data = nullptr;
    }
    return true;
}

void HexBlockFree(HexBlock *block) {
    free(block->data);
    block->data = nullptr;
    block->length = 0;
}

int64_t HexFindText(const uint8_t *data, uint32_t dataLength, int format, int64_t caret, const char *text,
                    bool down, bool *inChars) {
    if (inChars)
        *inChars = false;
    if (!data || !text || !text[0] || !KnownFormat(format))
        return -1;
    char needle[kHexElementMax * 2];
    snprintf(needle, sizeof needle, "%s", text);
    for (char *p = needle; *p; p++)
        *p = (char)toupper((unsigned char)*p);
    size_t needleLen = strlen(needle);
    int64_t step = kHexFormats[format].elementSize;
    int64_t at = down ? caret + step : caret - step;
    for (; down ? at < (int64_t)dataLength : at >= 0; at += down ? step : -step) {
        char element[kHexElementMax];
        if (format != kHexFormatChars &&
            HexFormatElement(element, sizeof element, data, dataLength, (uint32_t)at, format) &&
            strstr(element, needle))
            return at;
        if (format == kHexFormatBytes || format == kHexFormatChars) {
            if ((uint64_t)at + needleLen > dataLength)
                continue;
            size_t i = 0;
            while (i < needleLen && toupper(data[at + i]) == (unsigned char)needle[i])
                i++;
            if (i == needleLen) {
                if (inChars)
                    *inChars = format == kHexFormatBytes;
                return at;
            }
        }
    }
    return -1;
}
