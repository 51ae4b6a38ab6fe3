#include "tools/TextCodec.h"

uint16_t TextDetectBom(const uint8_t *data, size_t length) {
    if (!data || length <= 4 || length % 2)
        return kBomNone;
    if (data[0] == 0xFF && data[1] == 0xFE)
        return kBomLittle;
    if (data[0] == 0xFE && data[1] == 0xFF)
        return kBomBig;
    return kBomNone;
}

uint16_t TextDetectLineEnds(const char16_t *text, size_t length) {
    for (size_t i = 0; i < length; i++) {
        if (text[i] == '\n')
            return kLineEndsLf;
        if (text[i] == '\r')
            return i + 1 < length && text[i + 1] == '\n' ? kLineEndsCrLf : kLineEndsCr;
    }
    return kLineEndsUnknown;
}

std::u16string TextFromUtf16Bytes(const uint8_t *data, size_t length, uint16_t bom) {
    std::u16string out;
    if (!data || length < 2)
        return out;
    out.reserve(length / 2);
    for (size_t i = 2; i + 1 < length; i += 2) {
        uint16_t unit = bom == kBomBig ? (uint16_t)(data[i] << 8 | data[i + 1]) : (uint16_t)(data[i + 1] << 8 | data[i]);
        out.push_back((char16_t)unit);
    }
    return out;
}

std::string TextToUtf16Bytes(const std::u16string &text, uint16_t bom) {
    std::string out;
    out.reserve(2 + text.size() * 2);
    auto put = [&](uint16_t unit) {
        if (bom == kBomBig) {
            out.push_back((char)(unit >> 8));
            out.push_back((char)(unit & 0xFF));
        } else {
            out.push_back((char)(unit & 0xFF));
            out.push_back((char)(unit >> 8));
        }
    };
    put(0xFEFF);
    for (char16_t c : text)
        put((uint16_t)c);
    return out;
}

std::u16string TextToControl(const std::u16string &text, bool *hadNul) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 16);
    bool nul = false;
    for (size_t i = 0; i < text.size(); i++) {
        char16_t c = text[i];
        if (c == '\r') {
            out += u"\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                i++;
        } else if (c == '\n') {
            out += u"\r\n";
        } else if (c == 0) {
            out.push_back(kNulStandIn);
            nul = true;
        } else {
            out.push_back(c);
        }
    }
    if (hadNul)
        *hadNul = nul;
    return out;
}

std::u16string TextFromControl(const std::u16string &text, uint16_t lineEnds, bool restoreNul) {
    const char16_t *end = lineEnds == kLineEndsLf ? u"\n" : lineEnds == kLineEndsCr ? u"\r" : u"\r\n";
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        char16_t c = text[i];
        if (c == '\r' || c == '\n') {
            // Whatever the control holds (CR LF, or a lone CR or LF pasted in),
            // one line end is written in the file's one style.
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                i++;
            out += end;
        } else if (c == kNulStandIn && restoreNul) {
            out.push_back(0);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::u16string TextFromLatin1(const uint8_t *data, size_t length) {
    std::u16string out;
    out.reserve(length);
    for (size_t i = 0; i < length; i++)
        out.push_back((char16_t)data[i]);
    return out;
}

bool TextToLatin1(const std::u16string &text, std::string *out) {
    out->clear();
    out->reserve(text.size());
    for (char16_t c : text) {
        if (c > 0xFF)
            return false;
        out->push_back((char)c);
    }
    return true;
}

static char16_t Fold(char16_t c) {
    if (c >= 'a' && c <= 'z')
        return (char16_t)(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (char16_t)(c - 32);
    return c;
}

static bool MatchAt(const std::u16string &text, const std::u16string &needle, size_t at, bool matchCase) {
    for (size_t i = 0; i < needle.size(); i++) {
        char16_t a = text[at + i], b = needle[i];
        if (matchCase ? a != b : Fold(a) != Fold(b))
            return false;
    }
    return true;
}

int64_t TextFind(const std::u16string &text, const std::u16string &needle, size_t from, bool down, bool matchCase) {
    if (needle.empty() || needle.size() > text.size())
        return -1;
    size_t lastStart = text.size() - needle.size();
    if (down) {
        for (size_t at = from; at <= lastStart; at++) {
            if (MatchAt(text, needle, at, matchCase))
                return (int64_t)at;
        }
        return -1;
    }
    if (from < needle.size())
        return -1;
    size_t at = from - needle.size();
    if (at > lastStart)
        at = lastStart;
    for (;; at--) {
        if (MatchAt(text, needle, at, matchCase))
            return (int64_t)at;
        if (at == 0)
            return -1;
    }
}
