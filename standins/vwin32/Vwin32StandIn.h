#pragma once
// A Windows 9x drive for the free-space code: the capped figures of
// GetDiskFreeSpaceA, the true ones of GetDiskFreeSpaceExA and the vwin32
// extended free-space call, none of which Wine has. Installs itself into
// gSpaceSystem; no windows.h.
#include <stdint.h>

#include "fileops/FreeSpace.h"

struct Win9xDriveModel {
    uint32_t build;            // system build number (low 16 bits of the version)
    int hasDiskFreeEx;         // GetDiskFreeSpaceExA present
    int hasVwin32;             // the device opens
    int vwin32Fails;           // the call returns with carry set
    uint32_t bytesPerSector;
    uint32_t sectorsPerCluster;  // the true value
    uint64_t totalBytes, freeBytes;
    // What the old call reports on such a drive: clusters capped so that the
    // product stays below 2 GB, sectors per cluster scaled up to match.
    uint32_t cappedSectorsPerCluster;
    uint32_t cappedFreeClusters, cappedTotalClusters;
    // Calls seen.
    int vwin32Calls;
    uint32_t lastEax, lastEcx;
    char lastRoot[8];
};

// Points gSpaceSystem at `model` (kept by reference) and returns the
// previous system for StandInSpaceRestore.
SpaceSystem StandInSpaceWin9x(Win9xDriveModel* model);
void StandInSpaceRestore(const SpaceSystem& previous);
