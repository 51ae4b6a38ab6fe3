// Bounded string helpers on 8-bit ANSI text.
#pragma once

#include <stddef.h>

// Results of StrAppend.
const int kAppendCut = 111;    // src was cut to fit
const int kAppendNoRoom = 123; // dst was already full; unchanged

// Appends src to dst (a buffer of `size` bytes): 0 when all of src fitted,
// kAppendCut or kAppendNoRoom. size 0 does nothing and gives 0.
int StrAppend(char *dst, const char *src, size_t size);
// Upper-cases in place with the user's locale; returns the length.
int StrUpper(char *text);
// Shortens to at most maxLen characters with "..." in the middle; out holds
// maxLen + 1 bytes.
void StrShorten(const char *text, unsigned maxLen, char *out);
int StrHasWildcards(const char *text);
// Removes leading spaces (not tabs) in place; null is ignored.
void StrTrimLeft(char *text);
