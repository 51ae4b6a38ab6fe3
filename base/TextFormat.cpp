#include "TextFormat.h"

#include <string.h>

int FormatArgKinds(const char *format, char *kinds) {
    int count = 0;
    auto add = [&](char kind) {
        if (count >= kFormatMaxArgs)
            return false;
        kinds[count++] = kind;
        return true;
    };
    for (const char *p = format; *p; p++) {
        if (*p != '%')
            continue;
        p++;
        if (*p == '%')
            continue;
        while (*p && strchr("-+ #0'", *p))
            p++;
        if (*p == '*') {
            if (!add('i'))
                return -1;
            p++;
        } else {
            const char *digits = p;
            while (*p >= '0' && *p <= '9')
                p++;
            if (*p == '$' && p > digits) // positional: the reference cannot be matched by position
                return -1;
        }
        if (*p == '.') {
            p++;
            if (*p == '*') {
                if (!add('i'))
                    return -1;
                p++;
            } else {
                while (*p >= '0' && *p <= '9')
                    p++;
            }
        }
        // Length: 0 none/h/hh, 1 l, 2 ll/I64/q/j, 3 L, 4 I32, 5 size_t-like
        int length = 0;
        if (p[0] == 'h') {
            p += p[1] == 'h' ? 2 : 1;
        } else if (p[0] == 'l') {
            if (p[1] == 'l') {
                length = 2;
                p += 2;
            } else {
                length = 1;
                p++;
            }
        } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            length = 2;
            p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            p += 3;
        } else if (p[0] == 'q' || p[0] == 'j') {
            length = 2;
            p++;
        } else if (p[0] == 'L') {
            length = 3;
            p++;
        } else if (p[0] == 'z' || p[0] == 't' || p[0] == 'I') {
            length = 5;
            p++;
        }
        char kind;
        switch (*p) {
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
            kind = length == 1 ? 'l' : length == 2 || length == 3 ? 'L' : length == 5 ? 'z' : 'i';
            break;
        case 'c':
            kind = 'i';
            break;
        case 'C':
            kind = 'i';
            break;
        case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
            kind = length == 3 ? 'D' : 'd';
            break;
        case 's':
            kind = length == 1 ? 'w' : 's';
            break;
        case 'S':
            kind = 'w';
            break;
        case 'p':
            kind = 'p';
            break;
        default: // 'n', an unknown letter, or the end of the text
            return -1;
        }
        if (!add(kind))
            return -1;
    }
    kinds[count] = 0;
    return count;
}

bool FormatDirectivesMatch(const char *candidate, const char *reference) {
    char a[kFormatMaxArgs + 1], b[kFormatMaxArgs + 1];
    if (!candidate || !reference)
        return false;
    int na = FormatArgKinds(candidate, a);
    int nb = FormatArgKinds(reference, b);
    return na >= 0 && na == nb && memcmp(a, b, na) == 0;
}
