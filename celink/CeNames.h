// Name and path rules of the device link, shared by the library and the
// device front end. Pure: no windows.h. Paths are ANSI, at most 259
// characters plus NUL on both sides; nothing here ever cuts a name short.
#pragma once
#include <stddef.h>

// A name from a device listing is data: a plain base name only. Refused:
// empty, "." and "..", any separator or drive colon, control characters,
// and names too long for a path buffer.
bool CeNameIsPlain(const char* name);

// out = dir + "\" + name (no doubled backslash after a root "\"). False,
// with out empty, when the result does not fit in `size` bytes.
bool CePathJoin(char* out, size_t size, const char* dir, const char* name);

// A temporary name beside `target` for attempt `n`: "<target>.zq~<n>", or
// "<folder>\~zq<n>.tmp" when the long form would not fit. False when
// neither fits.
bool CeTempName(char* out, size_t size, const char* target, unsigned n);
// The name the old target is parked under while the new file takes its place.
bool CeBackupName(char* out, size_t size, const char* target, unsigned n);
