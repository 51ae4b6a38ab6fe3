#include "base/Numbers.h"

#include <stdio.h>
#include <string.h>

void StrGroupThousandsSep(char *digits, char thousandSep) {
    size_t len = strlen(digits);
    if (len <= 3 || !thousandSep)
        return;
    size_t groups = (len - 1) / 3;
    size_t to = len + groups;
    digits[to] = 0;
    size_t from = len;
    for (size_t done = 0; from > 0; done++) {
        if (done && done % 3 == 0)
            digits[--to] = thousandSep;
        digits[--to] = digits[--from];
    }
}

void StrFromU64(const uint64_t *value, char *out) {
    char reversed[24];
    size_t n = 0;
    uint64_t v = *value;
    do {
        reversed[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    for (size_t i = 0; i < n; i++)
        out[i] = reversed[n - 1 - i];
    out[n] = 0;
}

void StrFormatNumberSep(uint32_t value, char *out, char thousandSep) {
    uint64_t v = value;
    StrFormatNumber64Sep(&v, out, thousandSep);
}

void StrFormatNumber64Sep(const uint64_t *value, char *out, char thousandSep) {
    StrFromU64(value, out);
    StrGroupThousandsSep(out, thousandSep);
}

void StrFormatSizeSep(char *out, const uint64_t *bytes, const char *lastField, char decimalSep) {
    uint64_t value = *bytes;
    uint64_t remainder = 0;
    int divisions = 0;
    while (value >= 1024 && divisions < 3) {
        remainder = value % 1024;
        value /= 1024;
        divisions++;
    }
    char unit = " KMG"[divisions];
    char integer[24];
    StrFromU64(&value, integer);
    if (!lastField)
        lastField = "";
    if (remainder) {
        char fraction[8];
        snprintf(fraction, sizeof fraction, "%03u", (unsigned)(remainder * 1000 / 1024));
        fraction[value > 9 ? 1 : 2] = 0;
        snprintf(out, kSizeTextSize, "%s%c%s %cB %s", integer, decimalSep, fraction, unit, lastField);
    } else {
        snprintf(out, kSizeTextSize, "%s %cB %s", integer, unit, lastField);
    }
}
