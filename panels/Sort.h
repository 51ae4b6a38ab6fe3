#pragma once
// Sort keys and the display order of a listing; no windows.h. The order is
// the one of the system's case-insensitive string compare over the key
// records; the Win32 side supplies that compare (PanelCompareKeys) and a
// faster equivalent for large folders.
#include <stdint.h>

#include "Records.h"

enum PanelSortKey : int { kSortName = 0, kSortExt = 1, kSortDate = 2, kSortSize = 3, kSortNone = 4 };

inline constexpr int kSortKeyChars = 263;

// 268 bytes per entry while sorting.
struct SortKeyRecord {
    char key[kSortKeyChars + 1];
    FileEntry* entry;
};

// The widest parts of the keys (the field the other parts are aligned after).
struct SortWidths {
    uint32_t first = 0;
    uint32_t second = 0;
};

// Widens `widths` to cover `count` packed entries from `block` (fewer when a
// zero length ends them first). Keys filled with the same widths compare as
// the keys of one listing, whatever block each entry came from.
void SortMeasure(const uint8_t* block, uint32_t count, int key, SortWidths* widths);

// Fills one key record per packed entry (".." excluded, returned in *upDir)
// and returns how many were filled.
uint32_t SortFillKeys(uint8_t* block, uint32_t count, int key, int reverse, const SortWidths& widths,
                      SortKeyRecord* records, FileEntry** upDir);

// Both over a whole listing. `records` holds entryCount records.
uint32_t SortBuildKeys(const DirListing* listing, int key, int reverse, SortKeyRecord* records,
                       FileEntry** upDir);

// Sorts `n` pointers to key records. Equal keys may come in any order.
typedef void (*SortKeysFn)(SortKeyRecord** records, uint32_t n);

// Builds the listing's index (".." first, then the sorted entries, then a
// null pointer), freeing an index it already holds. Without a block nothing
// happens; when the work arrays cannot be allocated the listing is left as
// it was.
void PanelSortKeyEntriesWith(DirListing* listing, int key, int reverse, SortKeysFn sort);

// Order of two keys given the result of comparing them whole: folders
// (" ", reversed "X") before files ("Z", reversed "Y"); inside the reversed
// groups the order turns round.
inline int SortKeyAdjust(const char* a, const char* b, int cmp) {
    if ((a[0] == 'X' && b[0] == 'X') || (a[0] == 'Y' && b[0] == 'Y')) return -cmp;
    return cmp;
}

// The plain-ASCII, case-insensitive order (used by the native build and as
// the fallback when the system gives no sort keys).
void SortKeysAscii(SortKeyRecord** records, uint32_t n);
