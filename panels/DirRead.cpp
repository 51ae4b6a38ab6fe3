#include "panels/DirRead.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Numbers.h"
#include "fileops/FileSystem.h"
#include "fileops/TempNames.h"
#include "panels/Filter.h"

namespace {

void SysUpper(char* t, uint32_t n) { CharUpperBuffA(t, n); }
void SysLower(char* t, uint32_t n) { CharLowerBuffA(t, n); }
int SysIsLower(char c) { return IsCharLowerA(c) ? 1 : 0; }

typedef BOOL(WINAPI* MatchSpecFn)(LPCSTR, LPCSTR);

int SystemMaskMatch(const char* name, const char* mask) {
    if (gApp && gApp->optionalApis.pathMatchSpec)
        return ((MatchSpecFn)(void*)gApp->optionalApis.pathMatchSpec)(name, mask) ? 1 : 0;
    return MaskMatchName(name, mask);
}

// The system's locale-aware functions replace the ASCII defaults of the
// pure code as soon as this file is part of the program.
const bool kSystemHooks = [] {
    gNameCaseOps = NameCaseOps{SysUpper, SysLower, SysIsLower};
    gMaskMatch = SystemMaskMatch;
    return true;
}();

uint16_t DosStamp(const FILETIME& utc, uint16_t* time) {
    FILETIME local;
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &d, &t)) d = t = 0;
    *time = t;
    return d;
}

DirReadOptions OptionsOfPanel(int panel) {
    DirReadOptions o{};
    if (!gApp) return o;
    panel &= 1;
    o.filter = gApp->panels[panel].filter ? gApp->panels[panel].filter : &gApp->panelFilter[panel];
    o.showHidden = (gApp->panelOptions & kPanelHiddenFiles) != 0;
    o.nameCase = gApp->nameCase;
    o.sortKey = gApp->panelSort[panel];
    o.reverse = gApp->panelReverse[panel];
    return o;
}

}  // namespace

uint32_t FileEntryBuild(FileEntry* entry, uint16_t date, uint16_t time, const uint64_t* size,
                        uint16_t attributes, const char* name, const char* altName) {
    return FileEntryBuildCase(entry, date, time, size, attributes, name, altName,
                              gApp ? gApp->nameCase : 0);
}

uint32_t DirReadEntries(const char* path, DirListing* listing) {
    DirReadOptions o = OptionsOfPanel(listing->panelIndex);
    return DirReadEntriesWith(path, listing, &o);
}

uint32_t DirReadEntriesWith(const char* path, DirListing* listing, const DirReadOptions* o) {
    (void)kSystemHooks;
    FilterSpec filter;
    if (o->filter) {
        filter = *o->filter;
    } else {
        memset(&filter, 0, sizeof filter);
        filter.allowedAttributes = 0x37;
    }
    if (!o->showHidden) filter.allowedAttributes &= ~0x6;

    HANDLE find;
    WIN32_FIND_DATAA fd;
    uint32_t err = FileFindFirst(path, &find, &fd);
    if (err == 2 || err == 18) return 0;
    if (err) return err;

    alignas(8) uint8_t scratch[kFileEntryMax];
    memset(scratch, 0, sizeof scratch);
    FileEntry* e = (FileEntry*)scratch;
    EntryBlockBuilder builder;
    size_t pathLen = strlen(path);
    bool deep = pathLen > 3;
    bool sawUpDir = false, outOfMemory = false;
    uint16_t dotDate = 0, dotTime = 0;
    for (bool more = true; more && !outOfMemory; more = FileFindNext(find, &fd) == 0) {
        if (strcmp(fd.cFileName, ".") == 0) {
            dotDate = DosStamp(fd.ftLastWriteTime, &dotTime);
            continue;
        }
        // A file this program is writing under a temporary name is not an
        // entry yet: it appears under its real name when it is complete.
        if (TempNameHeld(path, fd.cFileName)) continue;
        uint16_t attributes = (uint16_t)(fd.dwFileAttributes & kEntryFsAttrMask);
        uint16_t time;
        uint16_t date = DosStamp(fd.ftLastWriteTime, &time);
        uint64_t size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
        bool upDir = strcmp(fd.cFileName, "..") == 0;
        if (attributes & kEntryFolder) {
            if (!upDir) listing->dirCount++;
        } else {
            listing->fileCount++;
            listing->totalBytes += size;
        }
        if (upDir) sawUpDir = true;
        if (!FilterTestEntry(path, fd.cFileName, attributes, date, time, &size, &filter)) continue;
        if (upDir && !deep) continue;
        uint32_t len = FileEntryBuildCase(e, date, time, &size, attributes, fd.cFileName,
                                          fd.cAlternateFileName, o->nameCase);
        if (!EntryBlockAppend(listing, &builder, e)) outOfMemory = true;
        memset(scratch, 0, len);
    }
    FileFindClose(find);
    if (!outOfMemory && !sawUpDir && deep &&
        FilterTestEntry(path, "..", kEntryFolder, dotDate, dotTime, nullptr, &filter)) {
        uint32_t len = FileEntryBuildCase(e, dotDate, dotTime, nullptr, kEntryFolder, "..", nullptr,
                                          o->nameCase);
        if (!EntryBlockAppend(listing, &builder, e)) outOfMemory = true;
        memset(scratch, 0, len);
    }
    if (outOfMemory) {
        // An unreadable folder must not look empty: the caller says so.
        DirListingFree(listing);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    PanelSortKeyEntries(listing, o->sortKey, o->reverse);
    return 0;
}

// ---- sorting ------------------------------------------------------------------

int PanelCompareKeys(const void* a, const void* b) {
    const char* x = (*(SortKeyRecord* const*)a)->key;
    const char* y = (*(SortKeyRecord* const*)b)->key;
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x, -1, y, -1);
    int c = r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
    return SortKeyAdjust(x, y, c);
}

void SortKeysByCompare(SortKeyRecord** records, uint32_t n) {
    qsort(records, n, sizeof *records, PanelCompareKeys);
}

namespace {

struct FastKey {
    uint32_t offset;  // of the sort key in the arena
    uint32_t length;
    int group;        // 0 " ", 1 "X", 2 "Y", 3 "Z"
    SortKeyRecord* record;
};

int GroupOf(char c) { return c == 'X' ? 1 : c == 'Y' ? 2 : c == 'Z' ? 3 : 0; }

}  // namespace

// CompareStringA compares multi-level weights; the sort key of a string
// holds the same weights in an order that memcmp respects, so each key is
// measured once instead of in every comparison. The first character (the
// group letter) is compared apart, which also lets the reversed groups turn
// their order round.
void SortKeysBySystemKeys(SortKeyRecord** records, uint32_t n) {
    FastKey* keys = (FastKey*)MemAlloc((size_t)n * sizeof(FastKey));
    uint32_t capacity = n * 48 + 4096, used = 0;
    uint8_t* arena = keys ? (uint8_t*)MemAlloc(capacity) : nullptr;
    if (!arena) {
        MemFree(&keys);
        SortKeysByCompare(records, n);
        return;
    }
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    for (uint32_t i = 0; i < n; i++) {
        const char* text = records[i]->key + 1;
        int need = (int)strlen(text) * 8 + 64;
        if (used + (uint32_t)need > capacity) {
            uint32_t cap = capacity;
            while (used + (uint32_t)need > cap) cap *= 2;
            uint8_t* grown = (uint8_t*)MemAlloc(cap);
            if (!grown) {
                MemFree(&arena);
                MemFree(&keys);
                SortKeysByCompare(records, n);
                return;
            }
            memcpy(grown, arena, used);
            MemFree(&arena);
            arena = grown;
            capacity = cap;
        }
        int got = LCMapStringA(LOCALE_USER_DEFAULT, flags, text, -1, (char*)arena + used, need);
        if (got <= 0) {
            MemFree(&arena);
            MemFree(&keys);
            SortKeysByCompare(records, n);
            return;
        }
        keys[i] = FastKey{used, (uint32_t)got, GroupOf(records[i]->key[0]), records[i]};
        used += (uint32_t)got;
    }
    std::sort(keys, keys + n, [arena](const FastKey& a, const FastKey& b) {
        if (a.group != b.group) return a.group < b.group;
        uint32_t m = a.length < b.length ? a.length : b.length;
        int c = memcmp(arena + a.offset, arena + b.offset, m);
        if (!c) c = (int)a.length - (int)b.length;
        if (a.group == 1 || a.group == 2) c = -c;
        return c < 0;
    });
    for (uint32_t i = 0; i < n; i++) records[i] = keys[i].record;
    MemFree(&arena);
    MemFree(&keys);
}

void PanelSortKeyEntries(DirListing* listing, int key, int reverse) {
    PanelSortKeyEntriesWith(listing, key, reverse, SortKeysBySystemKeys);
}

void PanelSortEntries(DirListing* listing) {
    int panel = listing->panelIndex & 1;
    int key = gApp ? gApp->panelSort[panel] : 0;
    int reverse = gApp ? gApp->panelReverse[panel] : 0;
    PanelSortKeyEntries(listing, key, reverse);
}

void EntrySizeText(const FileEntry* e, char* out) {
    out[0] = 0;
    if (e->flags & kEntryUpDir) {
        strcpy(out, "<UP-DIR>");
        return;
    }
    uint64_t size = FileEntrySize(e);
    if (e->flags & kEntryFolder) {
        if (size && FileEntryHasSize(e)) {
            StrFormatDirSize(&size, out);
        } else if (e->flags & kEntryRemote) {
            strcpy(out, e->flags & kEntryShared ? "<LINK>" : "<DIR>");
        } else if (e->flags & kEntryNoSize) {
            out[0] = 0;
        } else {
            strcpy(out, e->flags & kEntryJunction ? "<JUNCTION>" : "<DIR>");
        }
        return;
    }
    if (FileEntryHasSize(e)) StrFormatNumber64(&size, out);
}
