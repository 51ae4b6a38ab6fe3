#pragma once
// Rename masks ("*.bak", "?x*.*") applied to names; no system calls.
#include <stddef.h>

// Applies `mask` to the name part of `source` and writes folder + new name to
// `out` (kPathSize bytes). A mask "." keeps the path. Returns 0, or 1 when the
// mask holds a path (nothing written).
int PathApplyRenameMask(const char* source, const char* mask, char* out);

// One part (base or extension) of a rename mask applied to one part of a
// name. `out` holds kPathSize bytes. A mask whose "*text*" does not occur in
// the name keeps the name as it is, so that a batch rename never maps many
// different names onto one.
void PathApplyMaskPart(const char* mask, const char* name, char* out);
