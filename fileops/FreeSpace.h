#pragma once
// Free and total space of the drive that holds a path, and its cluster
// size. The arithmetic builds natively; the system calls sit behind
// gSpaceSystem so that tests can play a Windows 9x drive (Wine has no
// vwin32 device).
#include <stdint.h>

// Non-zero on success; on failure every output asked for is 0. Any out
// pointer may be null.
int SpaceGetDiskFree(const char* path, uint32_t* clusterBytes, uint64_t* freeBytes,
                     uint64_t* totalBytes);

// Hundredths of a percent of `total` that `used` is, rounded down (0 for
// an empty total, 10000 when used is all of it or more); exact for every
// pair of 64-bit sizes.
uint32_t DiskUsedHundredths(uint64_t used, uint64_t total);

// The Windows 9x extended free-space call (int 21h 7303h) through vwin32.
int SpaceVwin32Query(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                     uint32_t* freeClusters, uint32_t* totalClusters);

// 1 on the Windows 9x platform with a build number above 1000.
int AppIsWin9xLateBuild();

// Register record of the vwin32 DOS call (DeviceIoControl code 6). The
// registers are 32 bits wide, so the call fills edx and edi from the
// addresses it is given; only a 32-bit process finds the device at all.
struct Vwin32Registers {
    uint32_t ebx, edx, ecx, eax, edi, esi, flags;
};
inline constexpr uint32_t kVwin32DosCall = 6;
inline constexpr uint32_t kVwin32Carry = 1;

struct SpaceSystem {
    // GetDiskFreeSpaceExA; null when the system lacks it. Non-zero on success.
    int (*getDiskFreeEx)(const char* path, uint64_t* callerFree, uint64_t* total, uint64_t* totalFree);
    // Whether the system offers GetDiskFreeSpaceExA at all (looked up per call).
    int (*hasDiskFreeEx)();
    int (*getDiskFree)(const char* path, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                       uint32_t* freeClusters, uint32_t* totalClusters);
    int (*isWinNT)();
    uint32_t (*getVersion)();  // GetVersion's packed word
    // Opens "\\.\vwin32", makes one call with edx = `edx` and edi = `edi`
    // and closes it; 0 when that failed.
    int (*vwin32Call)(uint32_t code, Vwin32Registers* regs, const void* edx, void* edi);
};
extern SpaceSystem gSpaceSystem;
// The real system's calls (gSpaceSystem starts as this).
SpaceSystem SpaceSystemReal();
