#include "standins/vwin32/DiskStandIn.h"

#include <windows.h>

namespace {

DiskDriveModel *gDrive;
DiskSystem gRealDisk;

uint64_t ImageSize() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(gDrive->image.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// Sectors per track of the usual diskettes, by size; two heads.
uint32_t PerTrack(uint64_t size) {
    switch (size) {
    case 368640:
    case 737280:
        return 9;
    case 1228800:
        return 15;
    case 1474560:
        return 18;
    case 2949120:
        return 36;
    }
    return 0;
}

int Geometry(void *, uint64_t *cylinders, uint32_t *tracks, uint32_t *perTrack, uint32_t *bytes, uint32_t *error) {
    uint64_t size = ImageSize();
    uint32_t spt = PerTrack(size);
    if (!spt) {
        // Any other size: one track of one-sector cylinders.
        *cylinders = size / 512, *tracks = 1, *perTrack = 1, *bytes = 512;
        return size >= 512 ? 1 : (*error = ERROR_NOT_READY, 0);
    }
    *cylinders = size / (512u * spt * 2);
    *tracks = 2;
    *perTrack = spt;
    *bytes = 512;
    return 1;
}

bool Hits(uint64_t offset, uint32_t size) {
    if (gDrive->failWriteSector < 0)
        return false;
    uint64_t at = (uint64_t)gDrive->failWriteSector * 512;
    return at >= offset && at < offset + size;
}

int WriteNt(void *drive, uint64_t offset, const void *buffer, uint32_t size, uint32_t *error) {
    gDrive->writeCalls++;
    if (Hits(offset, size)) {
        *error = ERROR_WRITE_FAULT;
        return 0;
    }
    return gRealDisk.writeAt(drive, offset, buffer, size, error);
}

int IsNT() { return 1; }
int Is9x() { return 0; }

int Message(HWND, int textId, UINT, const char *argument) {
    gDrive->messages.push_back(textId);
    gDrive->texts.push_back(argument ? argument : "");
    return gDrive->answer;
}

void Report(HWND, uint32_t error, const char *) { gDrive->errors.push_back(error); }

// vwin32 on the image file: code 2 read, 3 write (EAX drive, ECX count,
// EDX first sector), code 1 with 440Dh/0849h eject.
int Vwin32(uint32_t code, Vwin32Registers *r, void *buffer) {
    if (code == 1) {
        if (r->eax == 0x440D && r->ecx == 0x0849) {
            gDrive->ejects++;
            r->flags &= ~kVwin32Carry;
        }
        return 1;
    }
    if ((code != 2 && code != 3) || r->eax != 0)
        return 1; // only A:, carry stays set
    HANDLE file = CreateFileA(gDrive->image.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)r->edx * 512;
    DWORD size = r->ecx * 512, done = 0;
    bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0;
    if (code == 3) {
        gDrive->writeCalls++;
        ok = ok && !Hits((uint64_t)at.QuadPart, size) && WriteFile(file, buffer, size, &done, nullptr) && done == size;
    } else {
        ok = ok && ReadFile(file, buffer, size, &done, nullptr) && done == size;
    }
    CloseHandle(file);
    if (ok)
        r->flags &= ~kVwin32Carry;
    return 1;
}

} // namespace

DiskSystem StandInDiskNt(DiskDriveModel *model) {
    gDrive = model;
    gRealDisk = DiskSystemReal();
    DiskSystem s = gRealDisk;
    s.isWinNT = IsNT;
    s.driveGeometry = Geometry;
    s.writeAt = WriteNt;
    s.message = Message;
    s.reportError = Report;
    return s;
}

DiskSystem StandInDiskWin9x(DiskDriveModel *model) {
    DiskSystem s = StandInDiskNt(model);
    s.isWinNT = Is9x;
    s.vwin32 = Vwin32;
    return s;
}
