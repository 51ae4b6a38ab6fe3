#include "panels/Sort.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/Memory.h"
#include "panels/EntryBuild.h"

namespace {

struct Parts {
    const char* stem;  // without the dot
    uint32_t stemLen;
    const char* ext;   // text after the stem
    uint32_t extLen;
};

Parts SplitEntry(const FileEntry* e) {
    Parts p;
    uint32_t nameLen = (uint32_t)strlen(e->name);
    uint32_t stem = e->stemLength > nameLen ? nameLen : e->stemLength;
    p.stem = e->name;
    p.stemLen = stem > 0 && e->name[stem - 1] == '.' ? stem - 1 : stem;
    p.ext = e->name + stem;
    p.extLen = nameLen - stem;
    return p;
}

uint32_t SizeText(const FileEntry* e, char* out) {
    if (e->sizeLow == 0xFFFFFFFFu && e->sizeHigh == 0xFFFFFFFFu) {
        out[0] = ' ';
        out[1] = 0;
        return 1;
    }
    unsigned long long s = (unsigned long long)e->sizeLow | ((unsigned long long)e->sizeHigh << 32);
    return (uint32_t)snprintf(out, 24, "%llu", s);
}

// Writes text at position `at` without reaching beyond the key's last
// character; returns the position after it.
uint32_t Put(char* key, uint32_t at, const char* text, uint32_t len) {
    for (uint32_t i = 0; i < len && at < (uint32_t)kSortKeyChars; i++) key[at++] = text[i];
    return at;
}

}  // namespace

void SortMeasure(const uint8_t* block, uint32_t count, int key, SortWidths* widths) {
    if (!block) return;
    const uint8_t* p = block;
    char num[24];
    for (uint32_t i = 0; i < count; i++) {
        const FileEntry* e = (const FileEntry*)p;
        if (!e->length) break;
        Parts parts = SplitEntry(e);
        uint32_t a = 0, b = 0;
        switch (key) {
        case kSortName: a = parts.stemLen; break;
        case kSortExt: a = parts.extLen; break;
        case kSortDate: a = (uint32_t)strlen(e->name); break;
        case kSortSize: a = SizeText(e, num); b = e->stemLength; break;
        default: break;
        }
        if (a > widths->first) widths->first = a;
        if (b > widths->second) widths->second = b;
        p += e->length;
    }
}

uint32_t SortFillKeys(uint8_t* block, uint32_t count, int key, int reverse, const SortWidths& widths,
                      SortKeyRecord* records, FileEntry** upDir) {
    *upDir = nullptr;
    if (!block) return 0;
    uint32_t w1 = widths.first + 1, w2 = widths.second;
    uint32_t filled = 0;
    char num[24];
    uint8_t* p = block;
    for (uint32_t i = 0; i < count; i++) {
        FileEntry* e = (FileEntry*)p;
        if (!e->length) break;
        p += e->length;
        if (e->flags & kEntryUpDir) {
            *upDir = e;
            continue;
        }
        SortKeyRecord* r = &records[filled++];
        r->entry = e;
        char* k = r->key;
        memset(k, ' ', kSortKeyChars);
        k[kSortKeyChars] = 0;
        bool folder = (e->flags & kEntryFolder) != 0;
        k[0] = folder ? (reverse ? 'X' : ' ') : (reverse ? 'Y' : 'Z');
        Parts parts = SplitEntry(e);
        uint32_t end = 1;
        switch (key) {
        case kSortName:
            end = Put(k, 1, parts.stem, parts.stemLen);
            end = parts.extLen ? Put(k, w1, parts.ext, parts.extLen) : Put(k, w1, " ", 1);
            break;
        case kSortExt:
            end = Put(k, 1, parts.ext, parts.extLen);
            end = Put(k, w1, parts.stem, parts.stemLen);
            break;
        case kSortDate: {
            char d[16];
            unsigned date = e->date, time = e->time;
            snprintf(d, sizeof d, "%04u%02u%02u%02u%02u%02u", date >> 9, (date >> 5) & 15, date & 31,
                     time >> 11, (time >> 5) & 63, (time & 31));
            Put(k, 1, d, 14);
            end = Put(k, 15, parts.stem, parts.stemLen);
            end = Put(k, w1 + 14, parts.ext, parts.extLen);
            break;
        }
        case kSortSize: {
            uint32_t n = SizeText(e, num);
            if (num[0] == ' ')
                end = Put(k, 1, " ", 1);
            else
                end = Put(k, w1 - n, num, n);
            end = Put(k, w1, parts.stem, parts.stemLen);
            end = Put(k, w1 + w2, parts.ext, parts.extLen);
            break;
        }
        default: end = 1; break;
        }
        k[end] = 0;
    }
    return filled;
}

uint32_t SortBuildKeys(const DirListing* listing, int key, int reverse, SortKeyRecord* records,
                       FileEntry** upDir) {
    SortWidths widths;
    SortMeasure(listing->entryBlock, listing->entryCount, key, &widths);
    return SortFillKeys(listing->entryBlock, listing->entryCount, key, reverse, widths, records, upDir);
}

void PanelSortKeyEntriesWith(DirListing* listing, int key, int reverse, SortKeysFn sort) {
    if (!listing->entryBlock) return;
    uint32_t n = listing->entryCount;
    SortKeyRecord* records = (SortKeyRecord*)gPanelsAlloc((size_t)(n + 1) * sizeof(SortKeyRecord));
    SortKeyRecord** order = (SortKeyRecord**)gPanelsAlloc((size_t)(n + 1) * sizeof(SortKeyRecord*));
    if (!records || !order) {
        MemFree(&records);
        MemFree(&order);
        return;
    }
    const FileEntry* first = (const FileEntry*)listing->entryBlock;
    if (first->length && (first->flags & kEntryNoSize)) key = kSortName;
    FileEntry* upDir = nullptr;
    uint32_t count = SortBuildKeys(listing, key, reverse, records, &upDir);
    for (uint32_t i = 0; i < count; i++) order[i] = &records[i];
    if (key != kSortNone && count >= 2) sort(order, count);

    MemFree(&listing->entryIndex);
    FileEntry** index = (FileEntry**)gPanelsAlloc((size_t)(n + 1) * sizeof(FileEntry*));
    if (index) {
        uint32_t at = 0;
        if (upDir) index[at++] = upDir;
        for (uint32_t i = 0; i < count; i++) index[at++] = order[i]->entry;
        index[at] = nullptr;
        listing->entryIndex = index;
    }
    MemFree(&records);
    MemFree(&order);
}

static int AsciiCompare(const void* a, const void* b) {
    const char* x = (*(SortKeyRecord* const*)a)->key;
    const char* y = (*(SortKeyRecord* const*)b)->key;
    int c = 0;
    for (;; x++, y++) {
        int cx = (unsigned char)*x, cy = (unsigned char)*y;
        if (cx >= 'a' && cx <= 'z') cx -= 32;
        if (cy >= 'a' && cy <= 'z') cy -= 32;
        if (cx != cy || !cx) {
            c = cx - cy;
            break;
        }
    }
    x = (*(SortKeyRecord* const*)a)->key;
    y = (*(SortKeyRecord* const*)b)->key;
    return SortKeyAdjust(x, y, c < 0 ? -1 : c > 0 ? 1 : 0);
}

void SortKeysAscii(SortKeyRecord** records, uint32_t n) {
    qsort(records, n, sizeof *records, AsciiCompare);
}
