#pragma once
// Free and total space of the drive that holds a path, and its cluster size.
#include <stdint.h>

// Non-zero on success; on failure every output asked for is 0. Any out
// pointer may be null.
int SpaceGetDiskFree(const char* path, uint32_t* clusterBytes, uint64_t* freeBytes,
                     uint64_t* totalBytes);

// The Windows 9x extended free-space call through the vwin32 device.
int SpaceVwin32Query(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                     uint32_t* freeClusters, uint32_t* totalClusters);

int AppIsWin9xLateBuild();
