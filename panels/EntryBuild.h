#pragma once
// Building packed FileEntry records; no windows.h (case changes go through
// NameCaseOps, which the Win32 side points at the system's functions).
#include <stddef.h>
#include <stdint.h>

#include "Records.h"

// The file system's attribute bits that a local entry keeps. The bits the
// program uses as its own marks (0x0008 up-directory, 0x1000 blank size,
// 0x2000 shared or link, 0x8000 remote) are cleared, so an offline file or a
// file-system bit that happens to share a value never passes for a mark.
inline constexpr uint16_t kEntryFsAttrMask = 0x4FF7;
// Scratch needed for the longest entry: name, alternate and display name.
inline constexpr uint32_t kFileEntryMax = kFileEntrySlack + 3 * 260 + 16;

enum NameCase : uint16_t {
    kCaseAsDisk = 0, kCaseClassic = 1, kCaseMixed = 2, kCaseUpper = 3, kCaseLower = 4,
};

struct NameCaseOps {
    void (*upper)(char* text, uint32_t length);
    void (*lower)(char* text, uint32_t length);
    int (*isLower)(char c);
};
// ASCII until the Win32 side installs the system's locale-aware functions.
extern NameCaseOps gNameCaseOps;

// Builds one entry at `entry` and returns its length (see the record's
// comment). `name` null: the head is not cleared, 40 is returned. `nameCase`
// picks the display name.
uint32_t FileEntryBuildCase(FileEntry* entry, uint16_t date, uint16_t time, const uint64_t* size,
                            uint16_t attributes, const char* name, const char* altName,
                            uint16_t nameCase);
// The same with the user's name-case setting (AppState.nameCase).
uint32_t FileEntryBuild(FileEntry* entry, uint16_t date, uint16_t time, const uint64_t* size,
                        uint16_t attributes, const char* name, const char* altName);

inline uint64_t FileEntrySize(const FileEntry* e) {
    return (uint64_t)e->sizeLow | ((uint64_t)e->sizeHigh << 32);
}
inline bool FileEntryHasSize(const FileEntry* e) {
    return !(e->sizeLow == 0xFFFFFFFFu && e->sizeHigh == 0xFFFFFFFFu);
}
inline const char* FileEntryShortName(const FileEntry* e) {
    return e->shortNameOffset ? e->name + e->shortNameOffset : nullptr;
}
inline const char* FileEntryDisplayName(const FileEntry* e) {
    return e->displayNameOffset ? e->name + e->displayNameOffset : e->name;
}

// Appends an entry to a listing's block, growing it geometrically (the
// block keeps kFileEntrySlack zero bytes beyond the last entry). Returns
// false when memory ran out: the block is then freed and the listing has no
// entries.
struct EntryBlockBuilder {
    uint32_t used = 0;
    uint32_t capacity = 0;
};
// Allocation used by the listing, sort and location code (MemAlloc: zeroed,
// reports failure itself). Tests replace it to run out of memory on purpose.
extern void* (*gPanelsAlloc)(size_t bytes);

bool EntryBlockAppend(DirListing* listing, EntryBlockBuilder* builder, const FileEntry* entry);
void DirListingFree(DirListing* listing);
