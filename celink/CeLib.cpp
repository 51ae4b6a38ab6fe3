// PELLIX.DLL: the device's file system over RAPI through one export, `e`.
// The library keeps no state between commands; the link lives between
// commands 2 and 3.
#include <windows.h>
#include <string.h>

#include "CeDevice.h"
#include "CeLink.h"
#include "CeNames.h"
#include "CeRapi.h"
#include "CeTransfer.h"

namespace {

const char* Text(uintptr_t word) {
    return reinterpret_cast<const char*>(word);
}

// Runs `call` on the wide form of an ANSI device path.
template <class Call> int WithWidePath(const char* path, Call call) {
    WCHAR wide[2 * kCePathMax];
    if (!CeWiden(path, wide)) return ERROR_FILENAME_EXCED_RANGE;
    return call(wide);
}

int ListFolder(const char* pattern, CeListCallback callback, void* user) {
    if (!callback) return ERROR_INVALID_PARAMETER;
    WCHAR wide[2 * kCePathMax];
    if (!pattern || !pattern[0])
        lstrcpyW(wide, L"\\*");
    else if (!CeWiden(pattern, wide))
        return ERROR_FILENAME_EXCED_RANGE;
    DWORD count = 0;
    CeFindData* found = nullptr;
    if (!CeFindAllFiles(wide, kFafAttributes | kFafLastWriteTime | kFafSizeLow | kFafName, &count, &found)) {
        DWORD why = CeGetLastError();
        return why ? (int)why : ERROR_PATH_NOT_FOUND;
    }
    if (!found) return 0;
    // A name that is not a plain base name never reaches the caller, who
    // builds paths from it; the listing says that some were left out.
    int refused = 0;
    for (DWORD i = 0; i < count; ++i) {
        const CeFindData& entry = found[i];
        char name[kCePathMax];
        WCHAR wideName[MAX_PATH + 1];
        memcpy(wideName, entry.name, sizeof entry.name);
        wideName[MAX_PATH] = 0;
        if (!WideCharToMultiByte(CP_ACP, 0, wideName, -1, name, sizeof name, nullptr, nullptr) ||
            !CeNameIsPlain(name)) {
            ++refused;
            continue;
        }
        FILETIME local;
        WORD date = 0, time = 0;
        if (FileTimeToLocalFileTime(&entry.lastWrite, &local)) FileTimeToDosDateTime(&local, &date, &time);
        callback(name, date, time, entry.attributes & 0xFFFF, entry.sizeLow, user);
    }
    CeRapiFreeBuffer(found);
    return refused ? ERROR_INVALID_NAME : 0;
}

int RunProgram(const char* path) {
    return WithWidePath(path, [](const WCHAR* wide) {
        PROCESS_INFORMATION info = {};
        if (!CeCreateProcess(wide, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
            return (int)CeDeviceError();
        CeCloseHandle(info.hThread);
        CeCloseHandle(info.hProcess);
        return 0;
    });
}

int FileTimes(const char* path, CeTimeRecord* record, bool write) {
    if (!record) return ERROR_INVALID_PARAMETER;
    return WithWidePath(path, [&](const WCHAR* wide) {
        HANDLE file = write ? CeCreateFile(wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                            : CeCreateFile(wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return (int)CeDeviceError();
        FILETIME* times[3] = {reinterpret_cast<FILETIME*>(&record->creation),
                              reinterpret_cast<FILETIME*>(&record->lastAccess),
                              reinterpret_cast<FILETIME*>(&record->lastWrite)};
        BOOL ok = write ? CeSetFileTime(file, times[0], times[1], times[2])
                        : CeGetFileTime(file, times[0], times[1], times[2]);
        int error = ok ? 0 : (int)CeDeviceError();
        CeCloseHandle(file);
        return error;
    });
}

int Dispatch(uintptr_t* record) {
    const CeHostServices* host = reinterpret_cast<const CeHostServices*>(record[1]);
    uintptr_t a1 = record[2], a2 = record[3], a3 = record[4], a4 = record[5];
    void* item = reinterpret_cast<void*>(a3);
    switch (record[0]) {
    case kCeVersion:
        return kCeLibVersion;
    case kCeConnect:
        return SUCCEEDED(CeRapiInit()) ? -1 : kCeConnectFailed;
    case kCeDisconnect:
        CeRapiUninit();
        return -1;
    case kCeList:
        return ListFolder(Text(a1), reinterpret_cast<CeListCallback>(a2), reinterpret_cast<void*>(a3));
    case kCeRun:
        return RunProgram(Text(a1));
    case kCeDeleteFile:
        return CeDeviceDelete(Text(a1), INVALID_FILE_ATTRIBUTES);
    case kCeRemoveDir:
        return WithWidePath(Text(a1),
                            [](const WCHAR* w) { return CeRemoveDirectory(w) ? 0 : (int)CeDeviceError(); });
    case kCeMakeDir:
        return WithWidePath(Text(a1), [](const WCHAR* w) {
            return CeCreateDirectory(w, nullptr) ? 0 : (int)CeDeviceError();
        });
    case kCeSetAttr:
        return WithWidePath(Text(a1), [a2](const WCHAR* w) {
            return CeSetFileAttributes(w, (DWORD)a2) ? 0 : (int)CeDeviceError();
        });
    case kCeGetTimes:
    case kCeSetTimes:
        return FileTimes(Text(a1), reinterpret_cast<CeTimeRecord*>(a2), record[0] == kCeSetTimes);
    case kCeMove:
        return CeMoveOnDevice(host, Text(a1), Text(a2), item);
    case kCeCopy:
        return CeCopyOnDevice(host, Text(a1), Text(a2), item);
    case kCeDownload:
        return CeDownload(host, Text(a1), Text(a2), item, reinterpret_cast<const volatile uint32_t*>(a4));
    case kCeUpload:
        return CeUpload(host, Text(a1), Text(a2), item, reinterpret_cast<const volatile uint32_t*>(a4));
    default:
        return -1;
    }
}

} // namespace

extern "C" __declspec(dllexport) int CECALL e(uintptr_t* record) {
    if (!record) return -1;
    try {
        return Dispatch(record);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY; // nothing may escape into the host
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
