#include "fileops/FreeSpace.h"

#include <string.h>

#include "fileops/PathParts.h"

#ifndef _WIN32
// The native build has no system to ask: everything fails, tests install
// stand-ins.
SpaceSystem SpaceSystemReal() { return SpaceSystem{}; }
SpaceSystem gSpaceSystem = SpaceSystemReal();
#endif

int AppIsWin9xLateBuild() {
    if (!gSpaceSystem.getVersion) return 0;
    uint32_t v = gSpaceSystem.getVersion();
    // GetVersion: bit 31 set on the Windows 9x platform; build in the high word.
    bool win9x = (v & 0x80000000u) != 0;
    uint32_t build = (v >> 16) & 0x7FFF;
    return win9x && build > 1000 ? 1 : 0;
}

int SpaceVwin32Query(const char* root, uint32_t* spc, uint32_t* bps, uint32_t* freeClusters,
                     uint32_t* totalClusters) {
    if (!gSpaceSystem.vwin32Call) return 0;
    uint8_t result[44];
    memset(result, 0, sizeof result);
    Vwin32Registers r{};
    r.eax = 0x7303;
    r.ecx = sizeof result;
    r.flags = kVwin32Carry;
    if (!gSpaceSystem.vwin32Call(kVwin32DosCall, &r, root, result) || (r.flags & kVwin32Carry)) return 0;
    memcpy(spc, result + 4, 4);
    memcpy(bps, result + 8, 4);
    memcpy(freeClusters, result + 12, 4);
    memcpy(totalClusters, result + 16, 4);
    return 1;
}

static int DiskFree(const char* path, uint32_t* spc, uint32_t* bps, uint32_t* freeC, uint32_t* totalC) {
    if (!gSpaceSystem.getDiskFree) return 0;
    if (gSpaceSystem.getDiskFree(path, spc, bps, freeC, totalC)) return 1;
    char root[kPathSize + 1];
    PathGetRoot(path, root);
    size_t n = strlen(root);
    if (n && root[n - 1] != '\\' && n + 1 < sizeof root) {
        root[n] = '\\';
        root[n + 1] = 0;
    }
    return gSpaceSystem.getDiskFree(root, spc, bps, freeC, totalC);
}

int SpaceGetDiskFree(const char* path, uint32_t* clusterBytes, uint64_t* freeBytes, uint64_t* totalBytes) {
    uint64_t freeB = 0, totalB = 0;
    uint32_t cluster = 0;
    bool ok = false;
    if (gSpaceSystem.hasDiskFreeEx && gSpaceSystem.hasDiskFreeEx() && gSpaceSystem.getDiskFreeEx) {
        uint64_t callerFree = 0;
        ok = gSpaceSystem.getDiskFreeEx(path, &callerFree, &totalB, &freeB) != 0;
        if (!ok) freeB = totalB = 0;
        if (ok && clusterBytes) {
            uint32_t spc = 0, bps = 0, fc = 0, tc = 0;
            if (!DiskFree(path, &spc, &bps, &fc, &tc)) {
                ok = false;
            } else {
                cluster = bps * spc;
                bool nt = gSpaceSystem.isWinNT && gSpaceSystem.isWinNT();
                if (totalB > 0x80000000ull && !nt) {
                    // Windows 9x caps the old call's figures at 2 GB; the
                    // cluster size has to come from elsewhere.
                    uint32_t s2 = 0, b2 = 0, f2 = 0, t2 = 0;
                    char root[kPathSize + 1];
                    PathGetRoot(path, root);
                    size_t n = strlen(root);
                    if (n && root[n - 1] != '\\' && n + 1 < sizeof root) root[n] = '\\', root[n + 1] = 0;
                    if (AppIsWin9xLateBuild() && SpaceVwin32Query(root, &s2, &b2, &f2, &t2) && s2 && b2) {
                        cluster = s2 * b2;
                    } else {
                        uint32_t high = (uint32_t)(totalB >> 32);
                        uint32_t div = high < 2 ? 8 : high < 4 ? 4 : 2;
                        uint32_t s = spc / div;
                        cluster = bps * (s ? s : 1);
                    }
                }
            }
            if (!ok) cluster = 0;
        }
    }
    if (!ok) {
        uint32_t spc = 0, bps = 0, fc = 0, tc = 0;
        if (DiskFree(path, &spc, &bps, &fc, &tc)) {
            cluster = bps * spc;
            // The old call's figures, in 32 bits as that system gives them.
            freeB = (uint32_t)(cluster * fc);
            totalB = (uint32_t)(cluster * tc);
            ok = true;
        } else {
            cluster = 0;
            freeB = totalB = 0;
        }
    }
    if (clusterBytes) *clusterBytes = cluster;
    if (freeBytes) *freeBytes = freeB;
    if (totalBytes) *totalBytes = totalB;
    return ok ? 1 : 0;
}

uint32_t DiskUsedHundredths(uint64_t used, uint64_t total)
{
    if (!total)
        return 0;
    if (used >= total)
        return 10000;
    // Four decimal digits of used / total by long division. Each step
    // multiplies the remainder (below total) by ten through repeated adds
    // that subtract total before they could pass 64 bits.
    uint64_t rest = used;
    uint32_t result = 0;
    for (int digit = 0; digit < 4; digit++) {
        uint64_t acc = 0;
        uint32_t q = 0;
        for (int k = 0; k < 10; k++) {
            if (acc >= total - rest) {
                acc -= total - rest;
                q++;
            } else {
                acc += rest;
            }
        }
        result = result * 10 + q;
        rest = acc;
    }
    return result;
}
