#include "base/Strings.h"

#include <string.h>

int StrAppend(char *dst, const char *src, size_t size) {
    if (size == 0)
        return 0;
    size_t have = strnlen(dst, size);
    if (have >= size - 1)
        return kAppendNoRoom;
    size_t room = size - 1 - have;
    size_t add = strlen(src);
    int result = 0;
    if (add > room) {
        add = room;
        result = kAppendCut;
    }
    memcpy(dst + have, src, add);
    dst[have + add] = 0;
    return result;
}

void StrShorten(const char *text, unsigned maxLen, char *out) {
    memset(out, 0, maxLen);
    size_t len = strlen(text);
    if (len < maxLen) {
        memcpy(out, text, len + 1);
        return;
    }
    if (maxLen <= 2) {
        memcpy(out, "...", maxLen);
        out[maxLen] = 0;
        return;
    }
    unsigned head = maxLen / 5;
    if (head < 3 && maxLen != 3)
        head += 3;
    if (head > maxLen - 3)
        head = maxLen - 3;
    unsigned tail = maxLen - head - 3;
    memcpy(out, text, head);
    memcpy(out + head, "...", 3);
    memcpy(out + head + 3, text + len - tail, tail);
    out[maxLen] = 0;
}

int StrHasWildcards(const char *text) {
    return text && (strchr(text, '?') || strchr(text, '*')) ? 1 : 0;
}

void StrTrimLeft(char *text) {
    if (!text)
        return;
    size_t skip = strspn(text, " ");
    if (skip)
        memmove(text, text + skip, strlen(text + skip) + 1);
}
