#include "tools/SafeSave.h"

#include <stdio.h>
#include <string.h>

#include "app/WindowUtil.h"
#include "fileops/FileSystem.h"

int (*gEditorMsgBox)(HWND, const char *, const char *, UINT) = MsgBox;

static uint32_t WriteAllTo(HANDLE file, const void *data, size_t length) {
    const char *p = (const char *)data;
    while (length) {
        DWORD chunk = length > (1u << 20) ? (1u << 20) : (DWORD)length, written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr))
            return GetLastError();
        if (written != chunk)
            return ERROR_DISK_FULL;
        p += chunk;
        length -= chunk;
    }
    return FlushFileBuffers(file) ? 0 : GetLastError();
}

uint32_t FileSaveReplacing(const char *path, const void *data, size_t length) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return ERROR_ACCESS_DENIED;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return ERROR_ACCESS_DENIED;
    }
    char folder[MAX_PATH];
    if (strlen(path) >= sizeof folder)
        return ERROR_FILENAME_EXCED_RANGE;
    strcpy(folder, path);
    char *slash = strrchr(folder, '\\');
    if (slash)
        slash[slash == folder || slash[-1] == ':' ? 1 : 0] = 0;
    else
        strcpy(folder, ".");
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder, "zqs", 0, temp))
        return GetLastError();
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    uint32_t error = 0;
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
    } else {
        error = WriteAllTo(file, data, length);
        CloseHandle(file);
    }
    if (!error && !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) {
        DeleteFileA(temp);
        return error;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && attributes != FILE_ATTRIBUTE_NORMAL)
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_TEMPORARY);
    return 0;
}

void SaveErrorText(uint32_t error, const char *path, char *out, size_t size) {
    char system[400];
    FileErrorText((int32_t)error, system, sizeof system, nullptr, kCtxWrite);
    snprintf(out, size, "%s\n\n%s", path && path[0] ? path : "", system);
}
