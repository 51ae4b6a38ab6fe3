#include "viewer/LumoraInternal.h"

void MappedFileInit(MappedFile* m) {
    m->file = INVALID_HANDLE_VALUE;
    m->mapping = INVALID_HANDLE_VALUE;
    m->view = nullptr;
    m->size = 0;
}

DWORD MappedFileLastError() {
    DWORD e = GetLastError();
    return e ? e : (DWORD)-1;
}

DWORD MappedFileOpen(MappedFile* m, const char* path) {
    MappedFileInit(m);
    m->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m->file == INVALID_HANDLE_VALUE) return MappedFileLastError();
    DWORD high = 0;
    SetLastError(0);
    DWORD low = GetFileSize(m->file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        DWORD e = MappedFileLastError();
        MappedFileClose(m);
        return e;
    }
    m->size = (uint64_t)high << 32 | low;
    if (m->size == 0) return 0;
    HANDLE mapping = CreateFileMappingA(m->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        DWORD e = MappedFileLastError();
        MappedFileClose(m);
        return e;
    }
    m->mapping = mapping;
    m->view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!m->view) {
        DWORD e = MappedFileLastError();
        MappedFileClose(m);
        return e;
    }
    return 0;
}

const uint8_t* MappedFileRange(const MappedFile* m, uint64_t offset, uint32_t length) {
    if (!m->view || offset > m->size || length > m->size - offset) return nullptr;
    return m->view + offset;
}

void MappedFileSize32(const MappedFile* m, uint32_t* out) {
    *out = m->size < 0x100000000ull ? (uint32_t)m->size : 0xFFFFFFFFu;
}

void MappedFileClose(MappedFile* m) {
    if (m->view) UnmapViewOfFile(m->view);
    if (m->mapping != INVALID_HANDLE_VALUE && m->mapping) CloseHandle(m->mapping);
    if (m->file != INVALID_HANDLE_VALUE) CloseHandle(m->file);
    m->view = nullptr;
    m->mapping = INVALID_HANDLE_VALUE;
    m->file = INVALID_HANDLE_VALUE;
}
