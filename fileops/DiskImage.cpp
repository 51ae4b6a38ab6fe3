#include "fileops/DiskImage.h"

#include <string.h>

#include <initializer_list>

const char *DiskFormatName(uint64_t size) {
    switch (size) {
    case 368640:
        return "360kB";
    case 737280:
        return "720kB";
    case 1228800:
        return "1.2MB";
    case 1474560:
        return "1.44MB";
    case 2949120:
        return "2.88MB";
    }
    return "";
}

bool DiskSizeAllowed(uint64_t size) { return size > 0 && size <= kDiskImageMax; }

uint32_t DiskSerialFromClock(const DiskClock &t) {
    return (uint32_t)t.milliseconds * (1u << 28) + (uint32_t)t.year * (1u << 24) + (uint32_t)t.hour * (1u << 20) +
           (uint32_t)t.minute * (1u << 16) + (uint32_t)t.month * (1u << 12) + (uint32_t)t.dayOfWeek * (1u << 8) +
           (uint32_t)t.day * (1u << 4) + (uint32_t)t.second * 2u;
}

bool DiskHasSerial(const uint8_t *image, size_t size) {
    return image && size >= 512 && image[kBootSignatureAt] == 0x29;
}

bool DiskSetSerial(uint8_t *image, size_t size, uint32_t serial) {
    if (!DiskHasSerial(image, size))
        return false;
    memcpy(image + kBootSerialAt, &serial, 4);
    return true;
}

bool DiskGeometryFromDrive(uint64_t cylinders, uint32_t tracksPerCylinder, uint32_t sectorsPerTrack,
                           uint32_t bytesPerSector, DiskGeometry *out) {
    memset(out, 0, sizeof *out);
    cylinders &= 0xFFFFFFFFu; // the low part, as the system reports it
    if (!cylinders || !tracksPerCylinder || !sectorsPerTrack || !bytesPerSector)
        return false;
    // Each factor is below 2^32, the limit below 2^22: stop before a wrap.
    uint64_t sectors = cylinders;
    for (uint32_t factor : {tracksPerCylinder, sectorsPerTrack}) {
        sectors *= factor;
        if (sectors > kDiskImageMax)
            return false;
    }
    if (!DiskSizeAllowed(sectors * bytesPerSector))
        return false;
    *out = DiskGeometry{(uint32_t)sectors, bytesPerSector, sectorsPerTrack, tracksPerCylinder};
    return true;
}

bool DiskGeometryFromBootSector(const uint8_t *sector, DiskGeometry *out) {
    memset(out, 0, sizeof *out);
    uint16_t total, bytes, perTrack, heads;
    memcpy(&total, sector + 0x13, 2);
    memcpy(&bytes, sector + 0x0B, 2);
    memcpy(&perTrack, sector + 0x18, 2);
    memcpy(&heads, sector + 0x1A, 2);
    if (!total || !bytes || !perTrack || !DiskSizeAllowed((uint64_t)total * bytes))
        return false;
    *out = DiskGeometry{total, bytes, perTrack, heads ? heads : 1u};
    return true;
}

bool DiskSectorMatches(const uint8_t *image, size_t imageSize, uint32_t index, const uint8_t *sector,
                       uint32_t bytesPerSector) {
    uint64_t at = (uint64_t)index * bytesPerSector;
    if (!bytesPerSector || at + bytesPerSector > imageSize)
        return false;
    const uint8_t *expected = image + at;
    if (index == 0 && bytesPerSector >= 512 && DiskHasSerial(image, imageSize) && sector[kBootSignatureAt] == 0x29) {
        // A copy differs in its serial only: compare around it.
        return !memcmp(expected, sector, kBootSerialAt) &&
               !memcmp(expected + kBootSerialAt + 4, sector + kBootSerialAt + 4, bytesPerSector - kBootSerialAt - 4);
    }
    return !memcmp(expected, sector, bytesPerSector);
}
