#include "fileops/CaseMask.h"

#include <string.h>

unsigned char CharFoldUpper(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return (unsigned char)(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (unsigned char)(c - 32);
    switch (c) {
    case 0x9A: return 0x8A; // s caron
    case 0x9C: return 0x8C; // oe
    case 0x9E: return 0x8E; // z caron
    case 0xFF: return 0x9F; // y diaeresis
    }
    return c;
}

unsigned char CharFoldLower(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return (unsigned char)(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    }
    return c;
}

bool MaskHasCaseMarks(const char *text)
{
    return text && (strchr(text, '<') || strchr(text, '>'));
}

static size_t NameStart(const char *text)
{
    size_t start = 0;
    for (size_t i = 0; text[i]; i++)
        if (text[i] == '\\' || text[i] == '/' || text[i] == ':')
            start = i + 1;
    return start;
}

int PathLastDot(const char *text)
{
    if (!text)
        return -1;
    const char *dot = strrchr(text + NameStart(text), '.');
    return dot ? (int)(dot - text) : -1;
}

int PathApplyCaseMask(const char *path, char *out, size_t outSize, const char *mask)
{
    if (!outSize)
        return kCaseMaskNotPure;
    size_t len = strlen(path);
    if (len >= outSize)
        len = outSize - 1;
    memcpy(out, path, len);
    out[len] = 0;

    int lastDot = PathLastDot(out);
    size_t dotPos = lastDot < 0 ? len : (size_t)lastDot;
    size_t pos = NameStart(out);
    bool pure = true;
    bool capitalise = strcmp(mask, "<>") == 0 || strcmp(mask, "><") == 0;
    if (capitalise) {
        if (pos < len)
            out[pos] = (char)CharFoldUpper((unsigned char)out[pos]);
        for (size_t i = pos + 1; i < len; i++)
            out[i] = (char)CharFoldLower((unsigned char)out[i]);
        return kCaseMaskApplied;
    }
    auto jump = [&](size_t from) { return from < dotPos ? dotPos : len; };

    for (const char *m = mask; *m && pos < len;) {
        char c = *m;
        if (c == '?' || c == '.') {
            pos++;
            m++;
        } else if (c == '*') {
            pos = jump(pos);
            m++;
        } else if (c == '<' || c == '>') {
            unsigned char (*fold)(unsigned char) = c == '<' ? CharFoldUpper : CharFoldLower;
            char next = m[1];
            if (!next) {
                for (; pos < len; pos++)
                    out[pos] = (char)fold((unsigned char)out[pos]);
                m++;
            } else if (next == '*') {
                out[pos] = (char)fold((unsigned char)out[pos]);
                pos = jump(pos);
                m += 2;
            } else if (next == '.') {
                for (; pos < dotPos; pos++)
                    out[pos] = (char)fold((unsigned char)out[pos]);
                m += 2;
            } else {
                out[pos] = (char)fold((unsigned char)out[pos]);
                pos++;
                m++;
            }
        } else {
            pure = false;
            pos++;
            m++;
        }
    }
    return pure ? kCaseMaskApplied : kCaseMaskNotPure;
}

int PathCompareNoCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        unsigned char ca = CharFoldUpper((unsigned char)*a);
        unsigned char cb = CharFoldUpper((unsigned char)*b);
        if (ca != cb || !ca)
            return (int)ca - (int)cb;
    }
}

static bool IsSep(char c) { return c == '\\' || c == '/'; }

bool PathIsSameOrInside(const char *outer, const char *inner)
{
    size_t n = strlen(outer);
    while (n > 0 && IsSep(outer[n - 1]))
        n--;
    if (n == 0)
        return false;
    for (size_t i = 0; i < n; i++) {
        unsigned char a = (unsigned char)outer[i], b = (unsigned char)inner[i];
        if (!b)
            return false;
        if (IsSep((char)a) && IsSep((char)b))
            continue;
        if (CharFoldUpper(a) != CharFoldUpper(b))
            return false;
    }
    return inner[n] == 0 || IsSep(inner[n]);
}
