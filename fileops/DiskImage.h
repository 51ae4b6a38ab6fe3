#pragma once
// Diskette images: the raw sectors of a diskette in order, nothing else.
// What needs no system call: format names, the volume serial number in the
// boot sector, geometry read from a boot sector, the sector compare that
// ignores the serial. No windows.h.
#include <stddef.h>
#include <stdint.h>

// The largest medium the tools hold in memory (2.88 MB).
const uint32_t kDiskImageMax = 2949120;
// Offsets in a FAT boot sector: extended boot signature and the serial behind it.
const uint32_t kBootSignatureAt = 38;
const uint32_t kBootSerialAt = 39;

// "360kB", "720kB", "1.2MB", "1.44MB", "2.88MB", else "".
const char *DiskFormatName(uint64_t size);
// A medium the tools take: more than 0 and at most kDiskImageMax bytes.
bool DiskSizeAllowed(uint64_t size);

struct DiskClock {
    unsigned year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
// The serial number a freshly written diskette gets from the local time.
uint32_t DiskSerialFromClock(const DiskClock &t);

// Only a boot sector with the extended signature 0x29 holds a serial at
// offset 39; any other boot sector has boot code or data there.
bool DiskHasSerial(const uint8_t *image, size_t size);
// Writes the serial when the boot sector has one; true when written.
bool DiskSetSerial(uint8_t *image, size_t size, uint32_t serial);

struct DiskGeometry {
    uint32_t sectors;         // total
    uint32_t bytesPerSector;
    uint32_t sectorsPerTrack;
    uint32_t tracksPerCylinder;
};
// NT geometry: sectors = sectors per track x cylinders x tracks per
// cylinder, each factor checked, so that no product wraps; false for a
// medium the tools do not take (no size or above the limit).
bool DiskGeometryFromDrive(uint64_t cylinders, uint32_t tracksPerCylinder, uint32_t sectorsPerTrack,
                           uint32_t bytesPerSector, DiskGeometry *out);
// Windows 9x: the geometry from the boot sector (512 bytes): total sectors
// at 0x13, bytes per sector at 0x0B, sectors per track at 0x18. False when
// a field is 0 or the size is not one the tools take.
bool DiskGeometryFromBootSector(const uint8_t *sector, DiskGeometry *out);
inline uint64_t DiskGeometryBytes(const DiskGeometry &g) { return (uint64_t)g.sectors * g.bytesPerSector; }

// Compares sector `index` read from the medium with the same sector of the
// image. Sector 0 is compared with the image's serial in place of the
// medium's when both carry one, so two copies of one diskette match. False
// when the sector lies outside the image.
bool DiskSectorMatches(const uint8_t *image, size_t imageSize, uint32_t index, const uint8_t *sector,
                       uint32_t bytesPerSector);
