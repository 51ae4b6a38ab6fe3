#include "viewer/Detect.h"

#include <string.h>

static bool SameNoCase(const uint8_t* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; i++) {
        uint8_t x = a[i], y = (uint8_t)b[i];
        if (x >= 'a' && x <= 'z') x = (uint8_t)(x - 32);
        if (y >= 'a' && y <= 'z') y = (uint8_t)(y - 32);
        if (x != y) return false;
    }
    return true;
}

bool DetectUnicodeText(const uint8_t* h) {
    return (h[0] == 0xFF && h[1] == 0xFE) || (h[0] == 0xFE && h[1] == 0xFF);
}

bool DetectXpmHeader(const uint8_t* h) {
    return SameNoCase(h, "/* XPM */", 9) || SameNoCase(h, "/* XPM2 C */", 12) || memcmp(h, "#define", 7) == 0;
}

bool DetectMediaHeader(const uint8_t* h) {
    static const uint8_t kSignatures[8][4] = {
        {'R', 'I', 'F', 'F'}, {'F', 'O', 'R', 'M'},     {'M', 'T', 'h', 'd'},  {0, 0, 1, 0xB3},
        {0, 0, 1, 0xBA},      {0x0A, 0x89, 0xED, 0x7A}, {0, 0x51, 0x56, 0xBC}, {0, 0, 9, 0xC4},
    };
    for (const auto& s : kSignatures)
        if (memcmp(h, s, 4) == 0) return true;
    return false;
}

bool DetectBinary(const uint8_t* probe, size_t n) {
    if (n > kDetectProbe) n = kDetectProbe;
    return n && memchr(probe, 0, n) != nullptr;
}

bool DetectHtml(const uint8_t* probe, size_t n) {
    if (n > kDetectProbe) n = kDetectProbe;
    if (n == 0) return false;
    size_t text = n - 1; // the terminator takes the last byte read
    const void* zero = memchr(probe, 0, text);
    if (zero) text = (size_t)(static_cast<const uint8_t*>(zero) - probe);
    for (size_t i = 0; i < text && i < 252; i++) {
        if (probe[i] != '<') continue;
        if (text - i >= 5 && SameNoCase(probe + i + 1, "html", 4)) return true;
        if (text - i >= 14 && SameNoCase(probe + i + 1, "!DOCTYPE HTML", 13)) return true;
    }
    return false;
}

bool DetectIconName(const char* path) {
    size_t n = strlen(path);
    if (n <= 4 || path[n - 4] != '.') return false;
    char ext[3];
    for (int i = 0; i < 3; i++)
        ext[i] = (char)(path[n - 3 + i] & ~0x20);
    return memcmp(ext, "ANI", 3) == 0 || memcmp(ext, "LNK", 3) == 0 || memcmp(ext, "CUR", 3) == 0;
}
