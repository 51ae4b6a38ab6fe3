#include "fileops/DiskTools.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/FileSystem.h"
#include "wingui/WindowUtil.h"

volatile LONG gDiskToolMode;
DiskToolContext *gDiskToolCtx;

// ---- the real system

namespace {

int IsWinNTReal() { return (GetVersion() & 0x80000000u) == 0; }

void *OpenDriveReal(char letter, uint32_t *error) {
    char name[8];
    snprintf(name, sizeof name, "\\\\.\\%c:", letter);
    HANDLE drive = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return nullptr;
    }
    return drive;
}

int DriveGeometryReal(void *drive, uint64_t *cylinders, uint32_t *tracks, uint32_t *perTrack, uint32_t *bytes,
                      uint32_t *error) {
    DISK_GEOMETRY g = {};
    DWORD got = 0;
    if (!DeviceIoControl((HANDLE)drive, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g, sizeof g, &got, nullptr)) {
        *error = GetLastError();
        return 0;
    }
    *cylinders = (uint64_t)g.Cylinders.QuadPart;
    *tracks = g.TracksPerCylinder;
    *perTrack = g.SectorsPerTrack;
    *bytes = g.BytesPerSector;
    return 1;
}

int ReadAtReal(void *drive, uint64_t offset, void *buffer, uint32_t size, uint32_t *error) {
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD got = 0;
    if (!SetFilePointerEx((HANDLE)drive, at, nullptr, FILE_BEGIN) || !ReadFile((HANDLE)drive, buffer, size, &got, nullptr)) {
        *error = GetLastError();
        return 0;
    }
    if (got != size) {
        *error = ERROR_CRC; // 23: the medium ended early
        return 0;
    }
    return 1;
}

int WriteAtReal(void *drive, uint64_t offset, const void *buffer, uint32_t size, uint32_t *error) {
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD put = 0;
    if (!SetFilePointerEx((HANDLE)drive, at, nullptr, FILE_BEGIN) ||
        !WriteFile((HANDLE)drive, buffer, size, &put, nullptr)) {
        *error = GetLastError();
        return 0;
    }
    if (put != size) {
        *error = ERROR_WRITE_FAULT;
        return 0;
    }
    return 1;
}

void CloseDriveReal(void *drive) { CloseHandle((HANDLE)drive); }

int EjectNtReal(char letter) {
    char name[8];
    snprintf(name, sizeof name, "\\\\.\\%c:", letter);
    HANDLE drive = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    BOOL ok = DeviceIoControl(drive, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &got, nullptr);
    CloseHandle(drive);
    return ok ? 1 : 0;
}

int Vwin32Real(uint32_t code, Vwin32Registers *regs, void *buffer) {
#ifdef _WIN64
    // The device belongs to Windows 9x, where no 64-bit process runs.
    (void)code, (void)regs, (void)buffer;
    return 0;
#else
    regs->ebx = regs->eax == 0x440D ? regs->ebx : (uint32_t)(uintptr_t)buffer;
    HANDLE device = CreateFileA("\\\\.\\vwin32", GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    BOOL ok = DeviceIoControl(device, code, regs, sizeof *regs, regs, sizeof *regs, &got, nullptr);
    CloseHandle(device);
    return ok ? 1 : 0;
#endif
}

UINT DriveTypeReal(const char *root) { return GetDriveTypeA(root); }

DWORD FormatDriveReal(HWND owner, UINT drive) {
    typedef DWORD(WINAPI * FormatFn)(HWND, UINT, UINT, UINT);
    HMODULE shell = LoadLibraryA("shell32.dll");
    FormatFn format = shell ? (FormatFn)(void *)GetProcAddress(shell, "SHFormatDrive") : nullptr;
    DWORD result = format ? format(owner, drive, 0xFFFF /* SHFMT_ID_DEFAULT */, 0) : 0xFFFFFFFFu;
    if (shell)
        FreeLibrary(shell);
    return result;
}

int MessageReal(HWND owner, int textId, UINT type, const char *argument) {
    if (!textId)
        return MsgBox(owner, argument, gWindowTitle, type);
    if (!argument)
        return MsgBoxId(owner, (unsigned)textId, gWindowTitle, type);
    char text[600];
    TextFormat(text, sizeof text, textId, argument);
    return MsgBox(owner, text, gWindowTitle, type);
}

void ReportErrorReal(HWND owner, uint32_t error, const char *drive) {
    FileReportError(owner, (int32_t)error, drive, 21);
}

BOOL SetVolumeLabelReal(const char *root, const char *label) { return SetVolumeLabelA(root, label); }

} // namespace

DiskSystem DiskSystemReal() {
    return DiskSystem{IsWinNTReal,  OpenDriveReal,  DriveGeometryReal, ReadAtReal,      WriteAtReal,
                      CloseDriveReal, EjectNtReal,  Vwin32Real,        DriveTypeReal,   FormatDriveReal,
                      MessageReal,  ReportErrorReal, SetVolumeLabelReal};
}
DiskSystem gDiskSystem = DiskSystemReal();

// ---- raw access

namespace {

const uint32_t kErrorNotReady = 21, kErrorData = 23;
const uint32_t kVwin32Ioctl = 1, kVwin32Read = 2, kVwin32Write = 3;
const uint32_t kBootBuffer = 4096; // the largest sector a boot sector may claim
const int kReadBar = 12803, kWriteBar = 12804;

bool Running() { return gDiskToolMode >= 2; }

void Bar(DiskToolContext *ctx, int id, UINT message, WPARAM wp, LPARAM lp) {
    if (ctx->dialog)
        PostMessageA(GetDlgItem(ctx->dialog, id), message, wp, lp);
}

void ShowFormat(DiskToolContext *ctx, uint64_t size) {
    if (ctx->dialog)
        PostMessageA(ctx->dialog, kDiskShowFormat, (WPARAM)size, 0);
}

void DriveName(char letter, char out[3]) {
    out[0] = letter;
    out[1] = ':';
    out[2] = 0;
}

// One medium, on either system.
struct Medium {
    bool nt;
    char letter;
    void *drive;
    DiskGeometry geometry;
};

bool Vwin32Sectors(uint32_t code, char letter, uint32_t first, uint32_t count, void *buffer) {
    Vwin32Registers r = {};
    r.eax = (uint32_t)(letter - 'A');
    r.ecx = count;
    r.edx = first;
    r.flags = kVwin32Carry;
    return gDiskSystem.vwin32(code, &r, buffer) && !(r.flags & kVwin32Carry);
}

bool MediumOpen(Medium *m, char letter, uint32_t *error) {
    *m = Medium{gDiskSystem.isWinNT() != 0, letter, nullptr, {}};
    if (m->nt) {
        m->drive = gDiskSystem.openDrive(letter, error);
        if (!m->drive) {
            if (!*error)
                *error = kErrorNotReady;
            return false;
        }
        uint64_t cylinders = 0;
        uint32_t tracks = 0, perTrack = 0, bytes = 0;
        if (!gDiskSystem.driveGeometry(m->drive, &cylinders, &tracks, &perTrack, &bytes, error) ||
            !DiskGeometryFromDrive(cylinders, tracks, perTrack, bytes, &m->geometry)) {
            if (!*error)
                *error = kErrorNotReady;
            return false;
        }
        return true;
    }
    uint8_t *boot = (uint8_t *)MemAlloc(kBootBuffer);
    bool ok = boot && Vwin32Sectors(kVwin32Read, letter, 0, 1, boot) &&
              DiskGeometryFromBootSector(boot, &m->geometry) && m->geometry.bytesPerSector <= kBootBuffer;
    MemFree(&boot);
    if (!ok && !*error)
        *error = kErrorNotReady;
    return ok;
}

void MediumClose(Medium *m) {
    if (m->drive)
        gDiskSystem.closeDrive(m->drive);
    m->drive = nullptr;
}

bool MediumRead(Medium *m, uint32_t first, uint32_t count, void *buffer, uint32_t *error) {
    uint32_t bytes = m->geometry.bytesPerSector;
    bool ok = m->nt ? gDiskSystem.readAt(m->drive, (uint64_t)first * bytes, buffer, count * bytes, error) != 0
                    : Vwin32Sectors(kVwin32Read, m->letter, first, count, buffer);
    if (!ok && !*error)
        *error = kErrorData;
    return ok;
}

bool MediumWrite(Medium *m, uint32_t first, uint32_t count, const void *buffer, uint32_t *error) {
    uint32_t bytes = m->geometry.bytesPerSector;
    bool ok = m->nt ? gDiskSystem.writeAt(m->drive, (uint64_t)first * bytes, buffer, count * bytes, error) != 0
                    : Vwin32Sectors(kVwin32Write, m->letter, first, count, (void *)buffer);
    if (!ok && !*error)
        *error = kErrorData;
    return ok;
}

void Fail(DiskToolContext *ctx, uint32_t error, char letter) {
    ctx->error = error;
    char drive[3];
    DriveName(letter, drive);
    gDiskSystem.reportError(ctx->dialog, error, drive);
}

} // namespace

bool DiskReadImage(DiskToolContext *ctx, int mode) {
    char letter = (char)('A' + ctx->source - 1);
    uint32_t error = 0;
    ctx->error = 0;
    Medium m;
    if (!MediumOpen(&m, letter, &error)) {
        MediumClose(&m);
        Fail(ctx, error, letter);
        return false;
    }
    const DiskGeometry &g = m.geometry;
    uint64_t size = DiskGeometryBytes(g);
    if (mode == kDiskReadCompare && size != ctx->imageSize) {
        // A medium of another size cannot be a copy; comparing it sector by
        // sector would read past the image.
        MediumClose(&m);
        InterlockedExchange(&gDiskToolMode, 0);
        gDiskSystem.message(ctx->dialog, Txt::txtDiskMismatch, MB_ICONEXCLAMATION, nullptr);
        return false;
    }
    uint8_t *scratch = nullptr;
    if (mode == kDiskReadImage) {
        MemFree(&ctx->image);
        ctx->imageSize = 0;
        ctx->image = (uint8_t *)MemAlloc((size_t)size);
        if (!ctx->image) {
            MediumClose(&m);
            return false;
        }
        ctx->imageSize = (uint32_t)size;
    } else {
        scratch = (uint8_t *)MemAlloc(g.bytesPerSector);
        if (!scratch) {
            MediumClose(&m);
            return false;
        }
    }
    ShowFormat(ctx, size);
    Bar(ctx, kReadBar, PBM_SETRANGE32, 0, (LPARAM)g.sectors);
    uint32_t done = 0;
    bool mismatch = false;
    for (; done < g.sectors && Running(); done++) {
        uint8_t *into = mode == kDiskReadImage ? ctx->image + (size_t)done * g.bytesPerSector : scratch;
        if (!MediumRead(&m, done, 1, into, &error))
            break;
        if (mode == kDiskReadCompare && !DiskSectorMatches(ctx->image, ctx->imageSize, done, scratch, g.bytesPerSector)) {
            mismatch = true;
            break;
        }
        Bar(ctx, kReadBar, PBM_SETPOS, done + 1, 0);
    }
    MediumClose(&m);
    MemFree(&scratch);
    bool complete = done == g.sectors && !mismatch;
    if (!complete) {
        Bar(ctx, kReadBar, PBM_SETPOS, 0, 0);
        if (mode == kDiskReadImage) {
            MemFree(&ctx->image);
            ctx->imageSize = 0;
        }
    }
    if (mismatch) {
        InterlockedExchange(&gDiskToolMode, 0);
        gDiskSystem.message(ctx->dialog, Txt::txtDiskMismatch, MB_ICONEXCLAMATION, nullptr);
    } else if (error) {
        Fail(ctx, error, letter);
    }
    return complete;
}

bool DiskWriteImage(DiskToolContext *ctx) {
    char letter = (char)('A' + ctx->target - 1);
    uint32_t error = 0;
    ctx->error = 0;
    Medium m;
    if (!ctx->image || !MediumOpen(&m, letter, &error)) {
        MediumClose(&m);
        if (ctx->image)
            Fail(ctx, error, letter);
        return false;
    }
    const DiskGeometry g = m.geometry;
    if (DiskGeometryBytes(g) != ctx->imageSize) {
        MediumClose(&m);
        gDiskSystem.message(ctx->dialog, Txt::errDiskCompat, MB_ICONSTOP, nullptr);
        return false;
    }
    ShowFormat(ctx, ctx->imageSize);
    // NT writes a cylinder per call, 9x a track.
    uint32_t step = m.nt ? g.sectorsPerTrack * g.tracksPerCylinder : g.sectorsPerTrack;
    if (!step || step > g.sectors)
        step = 1;
    Bar(ctx, kWriteBar, PBM_SETRANGE32, 0, (LPARAM)g.sectors);
    Bar(ctx, kWriteBar, PBM_SETPOS, 0, 0);
    // Sectors that could not be written: the run goes on, and every one of
    // them is named at the end.
    uint32_t failed[64], failedCount = 0, firstError = 0;
    uint32_t at = 0;
    for (; at < g.sectors && Running(); at += step) {
        uint32_t count = g.sectors - at < step ? g.sectors - at : step;
        const uint8_t *from = ctx->image + (size_t)at * g.bytesPerSector;
        error = 0;
        if (!MediumWrite(&m, at, count, from, &error)) {
            for (uint32_t s = 0; s < count; s++) {
                uint32_t e = 0;
                if (MediumWrite(&m, at + s, 1, from + (size_t)s * g.bytesPerSector, &e))
                    continue;
                if (!firstError)
                    firstError = e;
                if (failedCount < 64)
                    failed[failedCount] = at + s;
                failedCount++;
            }
        }
        Bar(ctx, kWriteBar, PBM_SETPOS, at + count, 0);
    }
    bool complete = at >= g.sectors && failedCount == 0;
    error = 0;
    if (complete && ctx->verify) {
        uint8_t *back = (uint8_t *)MemAlloc((size_t)step * g.bytesPerSector);
        uint32_t checkStep = m.nt ? step : 1;
        for (at = 0; back && at < g.sectors && ctx->verify && Running(); at += checkStep) {
            uint32_t count = g.sectors - at < checkStep ? g.sectors - at : checkStep;
            if (!MediumRead(&m, at, count, back, &error))
                break;
            if (memcmp(back, ctx->image + (size_t)at * g.bytesPerSector, (size_t)count * g.bytesPerSector)) {
                error = kErrorData;
                break;
            }
        }
        MemFree(&back);
        complete = !error && (at >= g.sectors || !ctx->verify);
    }
    MediumClose(&m);
    if (failedCount) {
        char list[400] = "", number[16];
        for (uint32_t i = 0; i < failedCount && i < 64; i++) {
            snprintf(number, sizeof number, i ? ", %lu" : "%lu", (unsigned long)failed[i]);
            if (strlen(list) + strlen(number) + 5 >= sizeof list) {
                strcat(list, ", ...");
                break;
            }
            strcat(list, number);
        }
        if (failedCount > 64 && !strstr(list, "..."))
            strcat(list, ", ...");
        char text[600];
        TextFormat(text, sizeof text, Txt::errDiskSectors, (unsigned long)failedCount, list);
        ctx->error = firstError ? firstError : kErrorData;
        gDiskSystem.message(ctx->dialog, 0, MB_ICONSTOP, text);
    } else if (error) {
        Fail(ctx, error, letter);
    }
    return complete && Running();
}

uint32_t DiskNewSerial() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return DiskSerialFromClock(DiskClock{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                         t.wMilliseconds});
}

// ---- image files

bool DiskReadImageFile(DiskToolContext *ctx, const char *path, uint32_t *error) {
    *error = 0;
    MemFree(&ctx->image);
    ctx->imageSize = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (!ok)
        *error = GetLastError();
    else if (!DiskSizeAllowed((uint64_t)size.QuadPart))
        ok = false; // no error number: the caller says the sizes do not fit
    if (ok && (ctx->image = (uint8_t *)MemAlloc((size_t)size.QuadPart)) != nullptr) {
        DWORD got = 0;
        ok = ReadFile(file, ctx->image, (DWORD)size.QuadPart, &got, nullptr) && got == (DWORD)size.QuadPart;
        if (!ok)
            *error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    } else {
        ok = false;
    }
    CloseHandle(file);
    if (ok)
        ctx->imageSize = (uint32_t)size.QuadPart;
    else
        MemFree(&ctx->image);
    return ok;
}

bool DiskWriteImageFile(const DiskToolContext *ctx, const char *path, uint32_t *error) {
    *error = 0;
    // A complete file replaces the target: written beside it first.
    char temp[280];
    if (snprintf(temp, sizeof temp, "%s.zq$", path) >= (int)sizeof temp) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    DWORD put = 0;
    bool ok = WriteFile(file, ctx->image, ctx->imageSize, &put, nullptr) && put == ctx->imageSize;
    if (!ok)
        *error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    ok = CloseHandle(file) && ok;
    if (ok && !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING)) {
        *error = GetLastError();
        ok = false;
    }
    if (!ok)
        DeleteFileA(temp);
    return ok;
}

// ---- eject

int DiskIsEjectable(char letter) {
    letter = (char)(letter & ~0x20);
    if (letter <= 'B' || letter == '\\')
        return 0;
    char root[4];
    snprintf(root, sizeof root, "%c:\\", letter);
    switch (gDiskSystem.driveType(root)) {
    case DRIVE_UNKNOWN:
    case DRIVE_NO_ROOT_DIR:
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
        return 7;
    }
    return 0;
}

static DWORD WINAPI EjectThread(void *parameter) {
    char letter = (char)(uintptr_t)parameter;
    if (gDiskSystem.isWinNT()) {
        gDiskSystem.ejectNt(letter);
    } else {
        Vwin32Registers r = {};
        r.eax = 0x440D;
        r.ebx = (uint32_t)(letter - 'A' + 1);
        r.ecx = 0x0849;
        r.flags = kVwin32Carry;
        gDiskSystem.vwin32(kVwin32Ioctl, &r, nullptr);
    }
    return 0;
}

HANDLE DiskEjectStart(char letter) {
    letter = (char)(letter & ~0x20);
    if (!DiskIsEjectable(letter))
        return nullptr;
    return CreateThread(nullptr, 0, EjectThread, (void *)(uintptr_t)letter, 0, nullptr);
}
