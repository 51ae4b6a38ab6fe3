#include "fileops/ShareList.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "ShareInfo.h"

const char *gShareLibrary9x = "svrapi.dll";
const char *gShareLibraryNt = "netapi32.dll";
int (*gShareShellIsShared)(const char *path) = ShellIsShared;

namespace {

const uint32_t kMoreData = 234;         // ERROR_MORE_DATA
const DWORD kShellShared = 0x20000; // SFGAO_SHARE

typedef unsigned(WINAPI *Enum9xFn)(const char *server, short level, char *buffer, unsigned short size,
                                   unsigned short *read, unsigned short *total);
typedef DWORD(WINAPI *EnumNtFn)(wchar_t *server, DWORD level, BYTE **buffer, DWORD preferred, DWORD *read,
                                DWORD *total, DWORD *resume);
typedef DWORD(WINAPI *BufferFreeFn)(void *buffer);

// The 9x call takes the buffer size in 16 bits.
const uint32_t kMax9xBuffer = 0xFFFF;

} // namespace

int ShareListAppend(GrowBuffer *buffer, const char *path) {
    size_t length = strnlen(path, 260);
    if (length == 0 || length > 259)
        return 0;
    uint8_t record[264] = {};
    uint16_t size = (uint16_t)(length + 4);
    memcpy(record, &size, 2);
    memcpy(record + 2, path, length);
    return MemBufAppend(buffer, record, size) && buffer->data ? 1 : 0;
}

void ShareListPaths9x(GrowBuffer *buffer) {
    HMODULE library = LoadLibraryA(gShareLibrary9x);
    if (!library)
        return;
    Enum9xFn enumShares = (Enum9xFn)(void *)GetProcAddress(library, "NetShareEnum");
    if (!enumShares) {
        FreeLibrary(library);
        return;
    }
    uint32_t size = 4200;
    char *block = (char *)MemAlloc(size);
    unsigned short read = 0, total = 0;
    unsigned result = block ? enumShares(nullptr, 50, block, (unsigned short)size, &read, &total) : 1;
    // Sized from the count the last call reported (the path strings share
    // the buffer, so a count-sized buffer may still be short: it grows until
    // everything arrived), but never past what the 16-bit size can say: a
    // wrapped size would claim a buffer that is not there.
    while ((result == 0 || result == kMoreData) && read < total && total > 1 && size < kMax9xBuffer) {
        MemFree(&block);
        uint64_t wanted = (uint64_t)total * sizeof(ShareInfo50) + 294;
        if (wanted <= size)
            wanted = (uint64_t)size * 2;
        size = wanted > kMax9xBuffer ? kMax9xBuffer : (uint32_t)wanted;
        block = (char *)MemAlloc(size);
        read = total = 0;
        result = block ? enumShares(nullptr, 50, block, (unsigned short)size, &read, &total) : 1;
    }
    if (result == 0 || result == kMoreData) {
        // Only records that lie inside the buffer are read.
        uint32_t fit = size / sizeof(ShareInfo50);
        uint32_t count = read < fit ? read : fit;
        const ShareInfo50 *info = (const ShareInfo50 *)block;
        for (uint32_t i = 0; i < count; i++) {
            if (info[i].path && info[i].path[0] && !ShareListAppend(buffer, info[i].path) && !buffer->data)
                break;
        }
    }
    MemFree(&block);
    FreeLibrary(library);
}

void ShareListPathsNt(GrowBuffer *buffer) {
    HMODULE library = LoadLibraryA(gShareLibraryNt);
    if (!library)
        return;
    EnumNtFn enumShares = (EnumNtFn)(void *)GetProcAddress(library, "NetShareEnum");
    BufferFreeFn bufferFree = (BufferFreeFn)(void *)GetProcAddress(library, "NetApiBufferFree");
    if (!enumShares || !bufferFree) {
        FreeLibrary(library);
        return;
    }
    DWORD resume = 0, result;
    do {
        BYTE *block = nullptr;
        DWORD read = 0, total = 0;
        result = enumShares(nullptr, 502, &block, (DWORD)-1, &read, &total, &resume);
        if ((result == 0 || result == kMoreData) && block) {
            const ShareInfo502 *info = (const ShareInfo502 *)block;
            for (DWORD i = 0; i < read; i++) {
                if (!info[i].path || !info[i].path[0])
                    continue;
                char path[260];
                int n = WideCharToMultiByte(CP_ACP, 0, info[i].path, -1, path, sizeof path, nullptr, nullptr);
                if (n > 1)
                    ShareListAppend(buffer, path);
            }
        }
        if (block)
            bufferFree(block);
        // A "more data" answer that delivered nothing would repeat forever.
        if (result == kMoreData && read == 0)
            break;
    } while (result == kMoreData);
    FreeLibrary(library);
}

void ShareListRefresh(GrowBuffer *list, int isWinNT) {
    list->count = 0;
    list->used = 0;
    if (isWinNT)
        ShareListPathsNt(list);
    else
        ShareListPaths9x(list);
}

int ShareListContains(const GrowBuffer *list, const char *path) {
    if (!list->data)
        return 0;
    uint32_t at = 0;
    while (at + 4 <= list->used) {
        uint16_t size;
        memcpy(&size, list->data + at, 2);
        if (size < 4 || at + size > list->used)
            break;
        if (!lstrcmpiA((const char *)list->data + at + 2, path))
            return gShareShellIsShared(path);
        at += size;
    }
    return 0;
}

int ShellIsShared(const char *path) {
    SHFILEINFOA info = {};
    info.dwAttributes = kShellShared;
    if (!SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ATTRIBUTES))
        return 0;
    return info.dwAttributes != 0xFFFFFFFF && (info.dwAttributes & kShellShared) ? 1 : 0;
}
