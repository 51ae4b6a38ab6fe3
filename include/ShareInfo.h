// The share records of the systems' NetShareEnum, as the program reads them
// and the tests' stand-in libraries write them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Level 50 of the Windows 9x server interface (svrapi.dll): 42 bytes in a
// 32-bit process, the path and remark strings elsewhere in the same buffer.
#pragma pack(push, 1)
struct ShareInfo50 {
    char netName[13];
    unsigned char type;
    unsigned short flags;
    char *remark;
    char *path;
    char rwPassword[9];
    char roPassword[9];
};
#pragma pack(pop)
#if !defined(_WIN64) && !defined(__LP64__)
static_assert(sizeof(ShareInfo50) == 42, "level 50 share record");
#endif

// Level 502 of the NT interface (netapi32.dll).
struct ShareInfo502 {
    wchar_t *netName;
    uint32_t type;
    wchar_t *remark;
    uint32_t permissions, maxUses, currentUses;
    wchar_t *path;
    wchar_t *password;
    uint32_t reserved;
    void *securityDescriptor;
};
