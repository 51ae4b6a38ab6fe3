// Folder lists for the tree walkers: one heap block of packed records.
#include <string.h>

#include "base/Memory.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"

namespace {

struct Block {
    uint8_t* data = nullptr;
    uint32_t used = 0;
    uint32_t capacity = 0;

    // Grows geometrically (and keeps a zero length word free at the end).
    bool Reserve(uint32_t more) {
        uint32_t need = used + more + 32;
        if (need <= capacity) return true;
        uint32_t cap = capacity ? capacity : 4096;
        while (cap < need) {
            if (cap > 0x40000000u) return false;
            cap *= 2;
        }
        uint8_t* grown = (uint8_t*)MemAlloc(cap);
        if (!grown) return false;
        if (data) memcpy(grown, data, used);
        MemFree(&data);
        data = grown;
        capacity = cap;
        return true;
    }
};

bool IsDots(const char* n) { return n[0] == '.' && (!n[1] || (n[1] == '.' && !n[2])); }

uint16_t DosStamp(const FILETIME& utc, uint16_t* time) {
    FILETIME local;
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &d, &t)) d = t = 0;
    *time = t;
    return d;
}

DirListRecord* ReadList(const char* folder, bool tree, uint32_t* error) {
    *error = 0;
    HANDLE find;
    WIN32_FIND_DATAA fd;
    uint32_t e = FileFindFirst(folder, &find, &fd);
    if (e) {
        if (e != 2 && e != 18) *error = e;
        return nullptr;
    }
    Block b;
    size_t folderLen = strlen(folder);
    bool addSep = folderLen && folder[folderLen - 1] != '\\' && folder[folderLen - 1] != '/';
    do {
        if (IsDots(fd.cFileName)) continue;
        // Room for a full path that does not fit kPathSize: such an entry is
        // kept, marked, so that the walker reports it instead of leaving it out.
        char path[kPathSize + MAX_PATH + 2];
        size_t nameLen = strlen(fd.cFileName);
        if (folderLen + 1 + nameLen >= sizeof path) continue;  // cannot happen: both are bounded
        memcpy(path, folder, folderLen);
        size_t pathLen = folderLen;
        if (addSep) path[pathLen++] = '\\';
        memcpy(path + pathLen, fd.cFileName, nameLen + 1);
        pathLen += nameLen;
        uint32_t len = (uint32_t)(sizeof(DirListRecord) + pathLen);
        if (!b.Reserve(len)) {
            MemFree(&b.data);
            FileFindClose(find);
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        DirListRecord* r = (DirListRecord*)(b.data + b.used);
        r->length = (uint16_t)len;
        r->dosDate = DosStamp(fd.ftLastWriteTime, &r->dosTime);
        r->size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
        r->attributes = (uint16_t)(fd.dwFileAttributes & kDirListAttrMask);
        if (pathLen >= (size_t)kPathSize) r->attributes |= kDirListTooLong;
        r->children = nullptr;
        memcpy(r->path, path, pathLen + 1);
        b.used += len;
    } while (FileFindNext(find, &fd) == 0);
    FileFindClose(find);
    if (!b.data) return nullptr;
    // Trim to the used size plus room for the end mark.
    uint8_t* trimmed = (uint8_t*)MemAlloc(b.used + sizeof(DirListRecord));
    if (trimmed) {
        memcpy(trimmed, b.data, b.used);
        MemFree(&b.data);
        b.data = trimmed;
    }
    DirListRecord* list = (DirListRecord*)b.data;
    if (tree) {
        for (DirListRecord* r = list; r->length; r = (DirListRecord*)((uint8_t*)r + r->length)) {
            if (!DirListEnters(r)) continue;
            uint32_t sub = 0;
            r->children = ReadList(r->path, true, &sub);
            if (sub == ERROR_NOT_ENOUGH_MEMORY) {
                DirFreeList(list);
                *error = sub;
                return nullptr;
            }
        }
    }
    return list;
}

}  // namespace

DirListRecord* DirReadListEx(const char* folder, uint32_t* error) {
    return ReadList(folder, false, error);
}

DirListRecord* DirReadList(const char* folder) {
    uint32_t error;
    return ReadList(folder, false, &error);
}

DirListRecord* DirReadTree(const char* folder) {
    uint32_t error;
    return ReadList(folder, true, &error);
}

void DirFreeList(DirListRecord* list) {
    if (!list) return;
    for (DirListRecord* r = list; r->length; r = (DirListRecord*)((uint8_t*)r + r->length))
        DirFreeList(r->children);
    MemFree(&list);
}

void* DirListSubdirs(const char* folder) {
    HANDLE find;
    WIN32_FIND_DATAA fd;
    if (FileFindFirst(folder, &find, &fd)) return nullptr;
    Block b;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDots(fd.cFileName)) continue;
        uint32_t len = 28 + (uint32_t)strlen(fd.cFileName);
        if (!b.Reserve(len)) {
            MemFree(&b.data);
            break;
        }
        *(uint16_t*)(b.data + b.used) = (uint16_t)len;
        memcpy(b.data + b.used + 2, fd.cFileName, strlen(fd.cFileName) + 1);
        b.used += len;
    } while (FileFindNext(find, &fd) == 0);
    FileFindClose(find);
    return b.data;
}
