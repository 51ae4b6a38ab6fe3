#pragma once
// Name case masks of the rename job and the path comparisons the copy and
// move workers make before they touch anything. No system calls, so the
// native build tests them too. Paths are ANSI (code page 1252 letters are
// folded like the file system folds them).
#include <stddef.h>

// Result of PathApplyCaseMask.
enum : int {
    kCaseMaskApplied = 0,
    kCaseMaskNotPure = 2, // the mask holds characters that are no case marks
};

// True when `text` holds '<' or '>' (a rename target that is a case mask).
bool MaskHasCaseMarks(const char *text);

// Offset of the last '.' of the name part of `text`, or -1.
int PathLastDot(const char *text);

// Writes `path` with the case of its name part changed by `mask` into `out`
// (`outSize` bytes, cut when short). '?' and '.' keep a character, '*' jumps
// to the last dot (or the end), '<' upper-cases, '>' lower-cases; "<>" and
// "><" give a capitalised name.
int PathApplyCaseMask(const char *path, char *out, size_t outSize, const char *mask);

// Upper-cased copies compared: <0, 0, >0 like strcmp. 0 = the two paths
// differ at most in case.
int PathCompareNoCase(const char *a, const char *b);

// True when `inner` is `outer` itself or lies below it ("C:\a" holds
// "C:\A\b" but not "C:\ab"). Both are compared without regard to case and
// with "/" equal to "\"; a trailing separator of `outer` is ignored.
bool PathIsSameOrInside(const char *outer, const char *inner);

// Folds one ANSI character to upper or lower case as Windows does for
// code page 1252.
unsigned char CharFoldUpper(unsigned char c);
unsigned char CharFoldLower(unsigned char c);
