#include "CeDevice.h"

#include <string.h>

#include "CeNames.h"
#include "CeRapi.h"

// Bounds the backup names tried before giving up; leftovers of earlier
// failures may hold the first few.
const unsigned kSiblingTries = 64;

DWORD CeDeviceError() {
    DWORD error = CeGetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

DWORD LocalError() {
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

bool CeWiden(const char* path, WCHAR* wide) {
    if (!path || strlen(path) >= (size_t)kCePathMax) return false;
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, 2 * kCePathMax) > 0;
}

DWORD CeDeviceAttributes(const char* path) {
    WCHAR wide[2 * kCePathMax];
    if (!CeWiden(path, wide)) return INVALID_FILE_ATTRIBUTES;
    return CeGetFileAttributes(wide);
}

int CeDeviceMove(const char* from, const char* to) {
    WCHAR wideFrom[2 * kCePathMax], wideTo[2 * kCePathMax];
    if (!CeWiden(from, wideFrom) || !CeWiden(to, wideTo)) return ERROR_FILENAME_EXCED_RANGE;
    return CeMoveFile(wideFrom, wideTo) ? 0 : (int)CeDeviceError();
}

int CeDeviceDelete(const char* path, DWORD attributes) {
    WCHAR wide[2 * kCePathMax];
    if (!CeWiden(path, wide)) return ERROR_FILENAME_EXCED_RANGE;
    if (CeDeleteFile(wide)) return 0;
    DWORD first = CeDeviceError();
    if (attributes == INVALID_FILE_ATTRIBUTES) attributes = CeGetFileAttributes(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return (int)first;
    if (!CeSetFileAttributes(wide, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY)) return (int)CeDeviceError();
    return CeDeleteFile(wide) ? 0 : (int)CeDeviceError();
}

int CeDeviceMakeDirs(const char* path) {
    WCHAR wide[2 * kCePathMax];
    if (!CeWiden(path, wide)) return ERROR_FILENAME_EXCED_RANGE;
    if (CeCreateDirectory(wide, nullptr)) return 0;
    DWORD error = CeDeviceError();
    DWORD attributes = CeGetFileAttributes(wide);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    if (error != ERROR_PATH_NOT_FOUND) return (int)error;
    // Each level is shorter than the one below it, so this ends at the root.
    char parent[kCePathMax];
    strcpy(parent, path);
    char* slash = strrchr(parent, '\\');
    if (!slash || slash == parent) return (int)error;
    *slash = 0;
    int made = CeDeviceMakeDirs(parent);
    if (made) return made;
    return CeCreateDirectory(wide, nullptr) ? 0 : (int)CeDeviceError();
}

int CeDeviceReplace(const char* temp, const char* target) {
    if (CeDeviceAttributes(target) == INVALID_FILE_ATTRIBUTES) {
        DWORD why = CeGetLastError();
        if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND)
            return why ? (int)why : ERROR_GEN_FAILURE;
        return CeDeviceMove(temp, target);
    }
    char backup[kCePathMax];
    int parked = ERROR_FILE_EXISTS;
    for (unsigned n = 1; n <= kSiblingTries && parked; ++n) {
        if (!CeBackupName(backup, sizeof backup, target, n)) return ERROR_FILENAME_EXCED_RANGE;
        if (CeDeviceAttributes(backup) != INVALID_FILE_ATTRIBUTES) continue;
        parked = CeDeviceMove(target, backup);
        if (parked && parked != ERROR_FILE_EXISTS && parked != ERROR_ALREADY_EXISTS) return parked;
    }
    if (parked) return parked;
    int placed = CeDeviceMove(temp, target);
    if (placed) {
        CeDeviceMove(backup, target);
        return placed;
    }
    // The new file is complete and in place; a backup that will not go is
    // left under its own name rather than failing the copy.
    CeDeviceDelete(backup, INVALID_FILE_ATTRIBUTES);
    return 0;
}

int CeLocalReplace(const char* temp, const char* target) {
    if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING)) return 0;
    DWORD error = LocalError();
    if (error != ERROR_CALL_NOT_IMPLEMENTED) return (int)error;
    // Windows 9x has no replacing move: park the old file first.
    if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
        return MoveFileA(temp, target) ? 0 : (int)LocalError();
    char backup[kCePathMax];
    bool parked = false;
    for (unsigned n = 1; n <= kSiblingTries && !parked; ++n) {
        if (!CeBackupName(backup, sizeof backup, target, n)) return ERROR_FILENAME_EXCED_RANGE;
        parked = MoveFileA(target, backup) != 0;
        if (!parked && GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return (int)LocalError();
    }
    if (!parked) return ERROR_FILE_EXISTS;
    if (!MoveFileA(temp, target)) {
        DWORD failed = LocalError();
        MoveFileA(backup, target);
        return (int)failed;
    }
    SetFileAttributesA(backup, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(backup);
    return 0;
}

int CeCompareNoCase(const char* a, const char* b) {
    char upperA[kCePathMax], upperB[kCePathMax];
    lstrcpynA(upperA, a, sizeof upperA);
    lstrcpynA(upperB, b, sizeof upperB);
    CharUpperBuffA(upperA, lstrlenA(upperA));
    CharUpperBuffA(upperB, lstrlenA(upperB));
    int c = strcmp(upperA, upperB);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}
