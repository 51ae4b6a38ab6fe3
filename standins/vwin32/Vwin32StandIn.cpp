#include "standins/vwin32/Vwin32StandIn.h"

#include <string.h>

static Win9xDriveModel* gModel;

static int HasEx() { return gModel->hasDiskFreeEx; }

static int DiskFreeEx(const char*, uint64_t* callerFree, uint64_t* total, uint64_t* totalFree) {
    *callerFree = gModel->freeBytes;
    *total = gModel->totalBytes;
    *totalFree = gModel->freeBytes;
    return 1;
}

static int DiskFree(const char*, uint32_t* spc, uint32_t* bps, uint32_t* freeC, uint32_t* totalC) {
    *spc = gModel->cappedSectorsPerCluster;
    *bps = gModel->bytesPerSector;
    *freeC = gModel->cappedFreeClusters;
    *totalC = gModel->cappedTotalClusters;
    return 1;
}

static int IsNT() { return 0; }
static uint32_t Version() { return 0x80000000u | ((gModel->build & 0x7FFF) << 16) | 0x0A04; }

static int Vwin32(uint32_t code, Vwin32Registers* r, const void* edx, void* edi) {
    if (!gModel->hasVwin32) return 0;
    gModel->vwin32Calls++;
    gModel->lastEax = r->eax;
    gModel->lastEcx = r->ecx;
    const char* root = (const char*)edx;
    strncpy(gModel->lastRoot, root, sizeof gModel->lastRoot - 1);
    if (code != kVwin32DosCall || r->eax != 0x7303 || r->ecx < 44) return 1;  // carry stays set
    if (gModel->vwin32Fails) return 1;
    uint8_t* out = (uint8_t*)edi;
    uint32_t cluster = gModel->sectorsPerCluster * gModel->bytesPerSector;
    uint32_t fields[4] = {gModel->sectorsPerCluster, gModel->bytesPerSector,
                          (uint32_t)(gModel->freeBytes / cluster), (uint32_t)(gModel->totalBytes / cluster)};
    memcpy(out + 4, fields, sizeof fields);
    r->flags &= ~kVwin32Carry;
    return 1;
}

SpaceSystem StandInSpaceWin9x(Win9xDriveModel* model) {
    gModel = model;
    SpaceSystem previous = gSpaceSystem;
    gSpaceSystem = SpaceSystem{DiskFreeEx, HasEx, DiskFree, IsNT, Version, Vwin32};
    return previous;
}

void StandInSpaceRestore(const SpaceSystem& previous) { gSpaceSystem = previous; }
