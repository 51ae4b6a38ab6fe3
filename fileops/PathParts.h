#pragma once
// Path splitting that needs no system calls, so it also builds natively.
// Paths are ANSI strings in 260-byte buffers; "\" and "/" both separate.
#include <stddef.h>
#include <stdint.h>

#include "base/Paths.h"

// Older name of kPathSize, kept for callers that use it.
inline constexpr size_t kPathMax = kPathSize;


// Drive ("C:" upper-cased, or the two leading separators of a UNC path),
// folder (after the drive, leading separator included), name without
// extension and extension (dot included). Missing parts come back empty;
// any out pointer may be null. Each out buffer holds kPathSize bytes.
void PathSplit(const char* path, char* drive, char* folder, char* name, char* ext);

// Copy of `path` with "/" turned into "\", cut to the drive root ("C:\") or
// to "\\server\share"; an FTP slot ("1:...": a digit before ':') is left
// uncut. `out` holds kPathSize bytes.
void PathGetRoot(const char* path, char* out);

// '"', ':', '<', '>' and '|' become '_' (names from servers and archives).
void PathFixInvalidChars(char* name);
