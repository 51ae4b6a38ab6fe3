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
#include "panels/SortPipeline.h"

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

// FileTimeToLocalFileTime moves every time by the zone's bias of the moment
// (not of the date it converts), so a listing asks for that bias once.
int64_t LocalTimeBias() {
    FILETIME now, local;
    GetSystemTimeAsFileTime(&now);
    if (!FileTimeToLocalFileTime(&now, &local)) return 0;
    auto value = [](const FILETIME& t) { return (int64_t)(((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime); };
    return value(local) - value(now);
}

uint16_t DosStamp(const FILETIME& utc, int64_t bias, uint16_t* time) {
    int64_t value = (int64_t)(((uint64_t)utc.dwHighDateTime << 32) | utc.dwLowDateTime) + bias;
    WORD d = 0, t = 0;
    FILETIME local;
    local.dwLowDateTime = (DWORD)value;
    local.dwHighDateTime = (DWORD)((uint64_t)value >> 32);
    if (value < 0 || !FileTimeToDosDateTime(&local, &d, &t)) d = t = 0;
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
    const int64_t bias = LocalTimeBias();
    // A large folder is sorted while it is read (see SortPipeline.h).
    SortPipeline* pipeline = nullptr;
    bool pipelineOff = o->sortKey < kSortName || o->sortKey >= kSortNone;
    uint32_t handedBytes = 0, handedCount = 0, upDirOffset = kNoUpDir;
    auto append = [&](uint32_t len) {
        uint32_t at = builder.used;
        if (!EntryBlockAppend(listing, &builder, e)) {
            outOfMemory = true;
            return;
        }
        if (e->flags & kEntryUpDir) upDirOffset = at;
        memset(scratch, 0, len);
    };
    auto handOver = [&](bool last) {
        if (pipelineOff || outOfMemory) return;
        uint32_t waiting = listing->entryCount - handedCount;
        if (!waiting || (!last && waiting < kSortPipelineBatch)) return;
        if (!pipeline) {
            if (last || (((const FileEntry*)listing->entryBlock)->flags & kEntryNoSize)) {
                pipelineOff = true;  // small enough to sort afterwards
                return;
            }
            pipeline = SortPipelineStart(o->sortKey, o->reverse);
            if (!pipeline) {
                pipelineOff = true;
                return;
            }
        }
        if (!SortPipelineFeed(pipeline, listing->entryBlock + handedBytes, builder.used - handedBytes, waiting,
                              handedBytes)) {
            SortPipelineAbandon(pipeline);
            pipeline = nullptr;
            pipelineOff = true;
            return;
        }
        handedBytes = builder.used;
        handedCount = listing->entryCount;
    };
    for (bool more = true; more && !outOfMemory; more = FileFindNext(find, &fd) == 0) {
        if (strcmp(fd.cFileName, ".") == 0) {
            dotDate = DosStamp(fd.ftLastWriteTime, bias, &dotTime);
            continue;
        }
        // A file this program is writing under a temporary name is not an
        // entry yet: it appears under its real name when it is complete.
        if (TempNameHeld(path, fd.cFileName)) continue;
        uint16_t attributes = (uint16_t)(fd.dwFileAttributes & kEntryFsAttrMask);
        uint16_t time;
        uint16_t date = DosStamp(fd.ftLastWriteTime, bias, &time);
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
        append(FileEntryBuildCase(e, date, time, &size, attributes, fd.cFileName, fd.cAlternateFileName,
                                  o->nameCase));
        handOver(false);
    }
    FileFindClose(find);
    if (!outOfMemory && !sawUpDir && deep &&
        FilterTestEntry(path, "..", kEntryFolder, dotDate, dotTime, nullptr, &filter)) {
        append(FileEntryBuildCase(e, dotDate, dotTime, nullptr, kEntryFolder, "..", nullptr, o->nameCase));
    }
    if (outOfMemory) {
        if (pipeline) SortPipelineAbandon(pipeline);
        // An unreadable folder must not look empty: the caller says so.
        DirListingFree(listing);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    handOver(true);
    if (pipeline && SortPipelineFinish(pipeline, listing, upDirOffset)) return 0;
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
