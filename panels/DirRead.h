#pragma once
// Reading a local folder into a DirListing, the entry texts, and the
// system-ordered sort of a listing.
#include <windows.h>
#include <stdint.h>

#include "Records.h"
#include "panels/EntryBuild.h"
#include "panels/Sort.h"

// Everything the reader takes from the panel's settings; DirReadEntries
// fills it from AppState.
struct DirReadOptions {
    const FilterSpec* filter;  // null: every entry
    int showHidden;            // optHiddenFiles
    uint16_t nameCase;
    int sortKey;               // PanelSortKey
    int reverse;
};

// 0, or a Win32 error number with the listing empty. A folder that could
// not be read for lack of memory gives 8 (ERROR_NOT_ENOUGH_MEMORY), never an
// empty folder. The caller frees the listing with DirListingFree.
uint32_t DirReadEntries(const char* path, DirListing* listing);
uint32_t DirReadEntriesWith(const char* path, DirListing* listing, const DirReadOptions* options);

// Sorts with the key and reverse flag of the listing's panel.
void PanelSortEntries(DirListing* listing);
void PanelSortKeyEntries(DirListing* listing, int key, int reverse);
// qsort comparator over pointers to SortKeyRecord pointers: the system's
// case-insensitive compare of the whole keys, reversed groups turned round.
int PanelCompareKeys(const void* a, const void* b);
// The two sorters: by PanelCompareKeys, and the same order through sort
// keys computed once per entry (what large folders use).
void SortKeysByCompare(SortKeyRecord** records, uint32_t n);
void SortKeysBySystemKeys(SortKeyRecord** records, uint32_t n);

// Text of the size column (out: 32 bytes).
void EntrySizeText(const FileEntry* entry, char* out);
