// NetShareEnum of a computer with a table of shares, which Wine lacks (its
// netapi32 answers "not supported"). Built twice: as the Windows 9x
// svrapi.dll form (SHARE_9X) and as the NT netapi32.dll form. The table
// comes from the environment:
//   ZQ_SHARES       paths separated by "|"; an empty item is a share without
//                   a path (a printer)
//   ZQ_SHARES_PAGE  NT form: entries per call (more-data answers between)
// Calls seen are reported by ShareStandInCalls.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "ShareInfo.h"

namespace {

const int kMax = 4000;
char gTable[65536];
char *gPaths[kMax];
int gCount;
LONG gCalls;
unsigned gLastSize;

void LoadTable() {
    gCount = 0;
    DWORD n = GetEnvironmentVariableA("ZQ_SHARES", gTable, sizeof gTable);
    if (n == 0 || n >= sizeof gTable)
        return;
    char *p = gTable;
    while (gCount < kMax) {
        gPaths[gCount++] = p;
        char *bar = strchr(p, '|');
        if (!bar)
            break;
        *bar = 0;
        p = bar + 1;
    }
}

} // namespace

extern "C" __declspec(dllexport) void ShareStandInCalls(LONG *calls, unsigned *lastSize) {
    *calls = gCalls;
    *lastSize = gLastSize;
}

#ifdef SHARE_9X

// The records stand at the front of the buffer, their path strings at its end.
extern "C" __declspec(dllexport) unsigned WINAPI NetShareEnum(const char *, short level, char *buffer,
                                                               unsigned short size, unsigned short *read,
                                                               unsigned short *total) {
    InterlockedIncrement(&gCalls);
    gLastSize = size;
    LoadTable();
    *read = 0;
    *total = (unsigned short)gCount;
    if (level != 50)
        return 124;
    unsigned front = 0, back = size;
    int i = 0;
    for (; i < gCount; i++) {
        unsigned len = (unsigned)strlen(gPaths[i]) + 1;
        if (front + sizeof(ShareInfo50) + len > back)
            break;
        ShareInfo50 *info = (ShareInfo50 *)(buffer + front);
        memset(info, 0, sizeof *info);
        back -= len;
        memcpy(buffer + back, gPaths[i], len);
        info->path = buffer + back;
        wsprintfA(info->netName, "S%d", i);
        front += sizeof(ShareInfo50);
    }
    *read = (unsigned short)i;
    return i < gCount ? 234 : 0;
}

#else

extern "C" __declspec(dllexport) DWORD WINAPI NetShareEnum(wchar_t *, DWORD level, BYTE **buffer, DWORD,
                                                            DWORD *read, DWORD *total, DWORD *resume) {
    InterlockedIncrement(&gCalls);
    LoadTable();
    *buffer = nullptr;
    *read = 0;
    *total = (DWORD)gCount;
    if (level != 502)
        return 124;
    char page[16] = "";
    GetEnvironmentVariableA("ZQ_SHARES_PAGE", page, sizeof page);
    int per = atoi(page);
    int first = resume ? (int)*resume : 0;
    int count = gCount - first;
    if (per > 0 && count > per)
        count = per;
    if (count < 0)
        count = 0;
    size_t bytes = sizeof(ShareInfo502) * (count + 1);
    for (int i = 0; i < count; i++)
        bytes += (strlen(gPaths[first + i]) + 1) * sizeof(wchar_t);
    BYTE *block = (BYTE *)calloc(1, bytes);
    ShareInfo502 *info = (ShareInfo502 *)block;
    wchar_t *text = (wchar_t *)(block + sizeof(ShareInfo502) * (count + 1));
    for (int i = 0; i < count; i++) {
        const char *path = gPaths[first + i];
        int len = (int)strlen(path) + 1;
        MultiByteToWideChar(CP_ACP, 0, path, len, text, len);
        info[i].path = text;
        info[i].type = path[0] ? 0 : 1;
        text += len;
    }
    *buffer = block;
    *read = (DWORD)count;
    if (resume)
        *resume = (DWORD)(first + count);
    return first + count < gCount ? 234 : 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI NetApiBufferFree(void *buffer) {
    free(buffer);
    return 0;
}

#endif
