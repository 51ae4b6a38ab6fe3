// Win32 side of the memory helpers: writing a whole file, the line reader on
// a file handle and named shared memory. Reading a whole file goes through
// the file-system layer (fileops/FileHelpers.cpp).
#include <windows.h>

#include "AppState.h"
#include "base/Memory.h"

int FileWriteAll(const char *path, const void *data, uint32_t len) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, len, &written, nullptr) && written == len;
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        // No truncated file stays behind under the real name.
        DeleteFileA(path);
        SetLastError(error ? error : ERROR_WRITE_FAULT);
    }
    return ok ? 1 : 0;
}

static bool ReadFromHandle(void *file, char *dst, uint32_t n, uint32_t *got) {
    DWORD read = 0;
    BOOL ok = ReadFile(static_cast<HANDLE>(file), dst, n, &read, nullptr);
    *got = read;
    return ok != FALSE;
}

char *FileReadChunk(LineReader *reader) { return LineReaderChunk(reader, ReadFromHandle); }

char *FileReadLine(LineReader *reader) { return LineReaderNext(reader, ReadFromHandle); }

int MemSharedOpen(SharedMemory *record, const char *name, uint32_t size) {
    record->view = nullptr;
    SetLastError(0); // only ERROR_ALREADY_EXISTS is set on success
    record->mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    int existed = record->mapping && GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
    if (record->mapping)
        record->view = MapViewOfFile(record->mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!record->view)
        MemSharedClose(record);
    return existed;
}

void MemSharedClose(SharedMemory *record) {
    if (!record)
        return;
    if (record->view)
        UnmapViewOfFile(record->view);
    if (record->mapping && record->mapping != INVALID_HANDLE_VALUE)
        CloseHandle(record->mapping);
    record->view = nullptr;
    record->mapping = nullptr;
}
