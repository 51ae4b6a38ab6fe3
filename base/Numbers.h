// Numbers and sizes as text, with the user's separators.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Output buffers for these functions hold at least this many bytes.
const size_t kNumberTextSize = 32;
const size_t kSizeTextSize = 64;

// Pure forms with the separators passed in.
void StrGroupThousandsSep(char *digits, char thousandSep);
void StrFormatNumberSep(uint32_t value, char *out, char thousandSep);
void StrFormatNumber64Sep(const uint64_t *value, char *out, char thousandSep);
void StrFromU64(const uint64_t *value, char *out);
// "free" is the last field when withFree is asked (empty otherwise).
void StrFormatSizeSep(char *out, const uint64_t *bytes, const char *lastField, char decimalSep);

// Forms that use AppState's decimalSep and thousandSep.
void StrGroupThousands(char *digits);
void StrFormatNumber(uint32_t value, char *out);
void StrFormatNumber64(const uint64_t *value, char *out);
// A folder's stored size is its size + 1 (0 = not counted).
void StrFormatDirSize(const uint64_t *storedSize, char *out);
void StrFormatSize(char *out, const uint64_t *bytes, int withFree);
// Reads LOCALE_SDECIMAL and LOCALE_STHOUSAND (fallbacks "," and ".").
void NumberLoadSeparators(char *decimalSep, char *thousandSep);
