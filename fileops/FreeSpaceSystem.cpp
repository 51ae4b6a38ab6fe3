// The real system behind gSpaceSystem.
#include <windows.h>

#include "fileops/FreeSpace.h"

namespace {

typedef BOOL(WINAPI* DiskFreeExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

int HasDiskFreeEx() {
    HMODULE k = LoadLibraryA("kernel32.dll");
    if (!k) return 0;
    bool has = GetProcAddress(k, "GetDiskFreeSpaceExA") != nullptr;
    FreeLibrary(k);
    return has;
}

int DiskFreeEx(const char* path, uint64_t* callerFree, uint64_t* total, uint64_t* totalFree) {
    HMODULE k = LoadLibraryA("kernel32.dll");
    if (!k) return 0;
    DiskFreeExFn fn = (DiskFreeExFn)(void*)GetProcAddress(k, "GetDiskFreeSpaceExA");
    ULARGE_INTEGER a{}, b{}, c{};
    BOOL ok = fn && fn(path, &a, &b, &c);
    FreeLibrary(k);
    if (!ok) return 0;
    *callerFree = a.QuadPart;
    *total = b.QuadPart;
    *totalFree = c.QuadPart;
    return 1;
}

int DiskFree(const char* path, uint32_t* spc, uint32_t* bps, uint32_t* freeC, uint32_t* totalC) {
    DWORD s, b, f, t;
    if (!GetDiskFreeSpaceA(path, &s, &b, &f, &t)) return 0;
    *spc = s, *bps = b, *freeC = f, *totalC = t;
    return 1;
}

int IsWinNT() { return (GetVersion() & 0x80000000u) == 0; }
uint32_t Version() { return GetVersion(); }

int Vwin32Call(uint32_t code, Vwin32Registers* regs, const void* edx, void* edi) {
#ifdef _WIN64
    // The device belongs to Windows 9x, where no 64-bit process runs.
    (void)code, (void)regs, (void)edx, (void)edi;
    return 0;
#else
    regs->edx = (uint32_t)(uintptr_t)edx;
    regs->edi = (uint32_t)(uintptr_t)edi;
    HANDLE dev = CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (dev == INVALID_HANDLE_VALUE) return 0;
    DWORD got = 0;
    BOOL ok = DeviceIoControl(dev, code, regs, sizeof *regs, regs, sizeof *regs, &got, nullptr);
    CloseHandle(dev);
    return ok ? 1 : 0;
#endif
}

}  // namespace

SpaceSystem SpaceSystemReal() {
    return SpaceSystem{DiskFreeEx, HasDiskFreeEx, DiskFree, IsWinNT, Version, Vwin32Call};
}

SpaceSystem gSpaceSystem = SpaceSystemReal();
