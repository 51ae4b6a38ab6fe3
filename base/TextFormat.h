// Checks printf formats that come from outside (language files) against the
// program's own format before they are used.
#pragma once

#include <stddef.h>

const int kFormatMaxArgs = 32;

// The argument kinds a format reads, one letter per argument ('i' int,
// 'l' long, 'L' 64-bit, 'd' double, 'D' long double, 's' char*, 'w' wide
// string, 'p' pointer), written to kinds (at most kFormatMaxArgs, then a
// terminator). Returns the count, or -1 for a format that must never be
// used: %n, positional arguments, an unknown conversion, a lone "%" at the
// end, or more than kFormatMaxArgs arguments.
int FormatArgKinds(const char *format, char *kinds);
// True when `candidate` is a usable format that reads exactly the arguments
// `reference` reads.
bool FormatDirectivesMatch(const char *candidate, const char *reference);
