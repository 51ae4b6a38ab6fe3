#include "panels/EntryBuild.h"

#include <string.h>

#include "base/Memory.h"

static void AsciiUpper(char* t, uint32_t n) {
    for (uint32_t i = 0; i < n; i++)
        if (t[i] >= 'a' && t[i] <= 'z') t[i] = (char)(t[i] - 32);
}
static void AsciiLower(char* t, uint32_t n) {
    for (uint32_t i = 0; i < n; i++)
        if (t[i] >= 'A' && t[i] <= 'Z') t[i] = (char)(t[i] + 32);
}
static int AsciiIsLower(char c) { return c >= 'a' && c <= 'z'; }

NameCaseOps gNameCaseOps = {AsciiUpper, AsciiLower, AsciiIsLower};
void* (*gPanelsAlloc)(size_t bytes) = MemAlloc;

uint32_t FileEntryBuildCase(FileEntry* e, uint16_t date, uint16_t time, const uint64_t* size,
                            uint16_t attributes, const char* name, const char* altName,
                            uint16_t nameCase) {
    uint32_t length = kFileEntrySlack;
    if (name) memset(e, 0, kFileEntryHead);
    e->date = date;
    e->time = time;
    e->flags = attributes;
    uint64_t s = (attributes & kEntryFolder) || !size ? 0 : *size;
    e->sizeLow = (uint32_t)s;
    e->sizeHigh = (uint32_t)(s >> 32);
    if (!name) return length;

    uint32_t nameLen = (uint32_t)strnlen(name, 259);
    memcpy(e->name, name, nameLen);
    e->name[nameLen] = 0;
    length += nameLen;
    if (nameLen == 2 && name[0] == '.' && name[1] == '.' && (attributes & kEntryFolder)) {
        e->flags |= kEntryUpDir;
        e->stemLength = 2;
    } else {
        const char* dot = strrchr(e->name, '.');
        uint32_t stem = dot ? (uint32_t)(dot - e->name) : nameLen;
        if (dot) stem += 1;
        e->stemLength = (uint16_t)(stem ? stem : nameLen);
    }
    uint32_t offset = nameLen + 1;
    if (altName && altName[0]) {
        uint32_t altLen = (uint32_t)strnlen(altName, 13);
        e->shortNameOffset = (uint16_t)offset;
        memcpy(e->name + offset, altName, altLen);
        e->name[offset + altLen] = 0;
        offset += altLen + 1;
        length += altLen + 1;
    }
    if (nameCase >= kCaseClassic && nameCase <= kCaseLower) {
        char* d = e->name + offset;
        memcpy(d, e->name, nameLen + 1);
        switch (nameCase) {
        case kCaseClassic:
            if (attributes & kEntryFolder)
                gNameCaseOps.upper(d, nameLen);
            else
                gNameCaseOps.lower(d, nameLen);
            break;
        case kCaseMixed: {
            bool anyLower = false;
            for (uint32_t i = 0; i < nameLen && !anyLower; i++) anyLower = gNameCaseOps.isLower(d[i]);
            if (!anyLower && nameLen) {
                gNameCaseOps.upper(d, 1);
                gNameCaseOps.lower(d + 1, nameLen - 1);
            }
            break;
        }
        case kCaseUpper: gNameCaseOps.upper(d, nameLen); break;
        case kCaseLower: gNameCaseOps.lower(d, nameLen); break;
        }
        e->displayNameOffset = (uint16_t)offset;
        length += nameLen + 1;
    }
    e->length = (uint16_t)length;
    return length;
}

bool EntryBlockAppend(DirListing* listing, EntryBlockBuilder* b, const FileEntry* entry) {
    uint32_t len = entry->length;
    if (b->used + len + kFileEntrySlack > b->capacity || !listing->entryBlock) {
        // Doubling keeps a folder of n entries at O(n) copying in all; the
        // old fixed 4096-byte steps copied the whole block every 4 KB.
        uint32_t want = b->capacity ? b->capacity : 4096;
        while (b->used + len + kFileEntrySlack > want) {
            if (want > 0x40000000u) {
                MemFree(&listing->entryBlock);
                *b = EntryBlockBuilder{};
                listing->entryCount = 0;
                return false;
            }
            want *= 2;
        }
        uint8_t* grown = (uint8_t*)gPanelsAlloc(want);
        if (!grown) {
            MemFree(&listing->entryBlock);
            *b = EntryBlockBuilder{};
            listing->entryCount = 0;
            return false;
        }
        if (listing->entryBlock) memcpy(grown, listing->entryBlock, b->used);
        MemFree(&listing->entryBlock);
        listing->entryBlock = grown;
        b->capacity = want;
    }
    memcpy(listing->entryBlock + b->used, entry, len);
    b->used += len;
    listing->entryCount++;
    return true;
}

void DirListingFree(DirListing* listing) {
    MemFree(&listing->entryBlock);
    MemFree(&listing->entryIndex);
    listing->entryCount = 0;
}
