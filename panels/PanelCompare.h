#pragma once
// Comparing the two panels: marks, in each panel, the entries without an
// equal counterpart in the other. Pure: no windows.h; names are folded
// through gNameCaseOps (the system's upper case once the Win32 side set it).
#include <stdint.h>

// Marks the entries of `panel` that the other panel lacks, holds as the
// other kind, holds older or newer (with `markNewer` only those newer here),
// or holds with the same time and another size (the counterpart is marked
// too). Returns the number of entries marked in `panel`. The other panel is
// looked up through one table of its names: linear in the two lists.
uint32_t PanelsCompareMark(int panel, int other, bool markNewer);
