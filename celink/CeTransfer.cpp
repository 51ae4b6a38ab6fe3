// Transfers between the desktop and the device, and copy and move on the
// device. Every copy is written under a temporary name beside its target and
// takes the target's name only once it is complete, so a failure, a cancel or
// a dropped link never leaves a truncated file under the real name on either
// side; an existing target stays until the new file replaces it.
#include "CeTransfer.h"

#include <string.h>

#include "CeDevice.h"
#include "CeNames.h"
#include "CeRapi.h"

namespace {

const DWORD kSmallBuffer = 4096;
const DWORD kLargeBuffer = 65536;
const unsigned kTempTries = 64;
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// One transfer buffer: 4096 bytes of its own, or up to 64 KiB from the heap
// for larger files.
struct ChunkBuffer {
    BYTE small[kSmallBuffer];
    BYTE* data = small;
    DWORD size = kSmallBuffer;
    explicit ChunkBuffer(DWORD fileSize) {
        if (fileSize > kSmallBuffer) {
            DWORD want = fileSize < kLargeBuffer ? fileSize : kLargeBuffer;
            if (BYTE* heap = (BYTE*)HeapAlloc(GetProcessHeap(), 0, want)) {
                data = heap;
                size = want;
            }
        }
    }
    ~ChunkBuffer() {
        if (data != small) HeapFree(GetProcessHeap(), 0, data);
    }
};

bool Cancelled(const volatile uint32_t* cancel) {
    return cancel && *cancel;
}

uint64_t SizeOf(DWORD high, DWORD low) {
    return (uint64_t)high << 32 | low;
}

void Progress(const CeHostServices* host, void* item, uint32_t bytes) {
    if (host && host->addProgress) host->addProgress(item, bytes);
}

// Moves the file chunk by chunk until the source ends, the cancel word is
// set before a chunk, or a call fails (its error is the result).
template <class Read, class Write>
int CopyChunks(ChunkBuffer& buffer, const CeHostServices* host, void* item, const volatile uint32_t* cancel,
               uint64_t* copied, bool* cancelled, Read read, Write write) {
    for (;;) {
        if (Cancelled(cancel)) {
            *cancelled = true;
            return 0;
        }
        DWORD got = 0;
        if (int error = read(&got)) return error;
        if (!got) return 0;
        DWORD written = 0;
        if (int error = write(got, &written)) return error;
        if (written != got) return ERROR_WRITE_FAULT;
        *copied += written;
        Progress(host, item, written);
    }
}

// Asks about an existing target: 0 go on, kCeSkipped for stop and skip. A
// skipped file counts as done.
int AskOverwrite(const CeHostServices* host, void* item, DWORD sourceSize) {
    int32_t answer = host && host->askOverwrite ? host->askOverwrite(item) : 0;
    if (answer == kCeAnswerSkip) Progress(host, item, sourceSize);
    return answer == kCeAnswerStop || answer == kCeAnswerSkip ? kCeSkipped : 0;
}

int CheckLengths(const char* a, const char* b) {
    if (!a || !b) return ERROR_INVALID_PARAMETER;
    if (strlen(a) >= (size_t)kCePathMax || strlen(b) >= (size_t)kCePathMax) return ERROR_FILENAME_EXCED_RANGE;
    return 0;
}

// Local temporary file beside `target`, its folder chain made through the
// host when missing.
HANDLE OpenLocalTemp(const CeHostServices* host, const char* target, char* temp, int* error) {
    bool madeFolders = false;
    for (unsigned n = 1; n <= kTempTries; ++n) {
        if (!CeTempName(temp, kCePathMax, target, n)) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return INVALID_HANDLE_VALUE;
        }
        HANDLE file = CreateFileA(temp, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        DWORD why = LocalError();
        if (why == ERROR_FILE_EXISTS || why == ERROR_ALREADY_EXISTS) continue;
        if (why == ERROR_PATH_NOT_FOUND && !madeFolders && host && host->makeLocalDirs) {
            madeFolders = true;
            char folder[kCePathMax];
            strcpy(folder, target);
            if (host->cutLastComponent) host->cutLastComponent(folder);
            host->makeLocalDirs(nullptr, folder);
            --n;
            continue;
        }
        *error = (int)why;
        return INVALID_HANDLE_VALUE;
    }
    *error = ERROR_FILE_EXISTS;
    return INVALID_HANDLE_VALUE;
}

// Device temporary file beside `target`, its folder chain made when missing.
HANDLE OpenDeviceTemp(const char* target, char* temp, int* error) {
    bool madeFolders = false;
    for (unsigned n = 1; n <= kTempTries; ++n) {
        WCHAR wide[2 * kCePathMax];
        if (!CeTempName(temp, kCePathMax, target, n) || !CeWiden(temp, wide)) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return INVALID_HANDLE_VALUE;
        }
        HANDLE file =
            CeCreateFile(wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        DWORD why = CeDeviceError();
        if (why == ERROR_FILE_EXISTS || why == ERROR_ALREADY_EXISTS) continue;
        if (why == ERROR_PATH_NOT_FOUND && !madeFolders) {
            madeFolders = true;
            char folder[kCePathMax];
            strcpy(folder, target);
            char* slash = strrchr(folder, '\\');
            if (slash && slash != folder) {
                *slash = 0;
                int made = CeDeviceMakeDirs(folder);
                if (made) {
                    *error = made;
                    return INVALID_HANDLE_VALUE;
                }
                --n;
                continue;
            }
        }
        *error = (int)why;
        return INVALID_HANDLE_VALUE;
    }
    *error = ERROR_FILE_EXISTS;
    return INVALID_HANDLE_VALUE;
}

} // namespace

int CeDownload(const CeHostServices* host, const char* source, const char* target, void* item,
               const volatile uint32_t* cancel) {
    if (int bad = CheckLengths(source, target)) return bad;
    WCHAR wideSource[2 * kCePathMax];
    if (!CeWiden(source, wideSource)) return ERROR_FILENAME_EXCED_RANGE;
    CeFindData found;
    HANDLE find = CeFindFirstFile(wideSource, &found);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD why = CeGetLastError();
        return why ? (int)why : ERROR_FILE_NOT_FOUND;
    }
    CeFindClose(find);
    if (found.attributes & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
    DWORD local = GetFileAttributesA(target);
    if (local != INVALID_FILE_ATTRIBUTES) {
        if (local & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
        if (int skipped = AskOverwrite(host, item, found.sizeLow)) return skipped;
    }

    // The source opens before anything is written on this side.
    HANDLE device = CeCreateFile(wideSource, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return (int)CeDeviceError();
    int error = 0;
    char temp[kCePathMax];
    HANDLE file = OpenLocalTemp(host, target, temp, &error);
    if (file == INVALID_HANDLE_VALUE) {
        CeCloseHandle(device);
        return error;
    }
    ChunkBuffer buffer(found.sizeLow);
    uint64_t copied = 0;
    bool cancelled = false;
    error = CopyChunks(
        buffer, host, item, cancel, &copied, &cancelled,
        [&](DWORD* got) {
            return CeReadFile(device, buffer.data, buffer.size, got, nullptr) ? 0 : (int)CeDeviceError();
        },
        [&](DWORD n, DWORD* written) {
            return WriteFile(file, buffer.data, n, written, nullptr) ? 0 : (int)LocalError();
        });
    CeCloseHandle(device);
    if (!error && !cancelled && copied != SizeOf(found.sizeHigh, found.sizeLow))
        error = ERROR_HANDLE_EOF; // the device gave fewer or more bytes than it listed
    if (!error && !cancelled) SetFileTime(file, &found.creation, &found.lastAccess, &found.lastWrite);
    if (!CloseHandle(file) && !error && !cancelled) error = (int)LocalError();
    if (!error && !cancelled) {
        error = CeLocalReplace(temp, target);
        if (!error) SetFileAttributesA(target, found.attributes & kKeptAttributes);
    }
    if (error || cancelled) {
        if (host && host->deleteLocalFile)
            host->deleteLocalFile(temp);
        else
            DeleteFileA(temp);
    }
    return cancelled ? kCeSkipped : error;
}

int CeUpload(const CeHostServices* host, const char* source, const char* target, void* item,
             const volatile uint32_t* cancel) {
    if (int bad = CheckLengths(source, target)) return bad;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(source, &found);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD why = GetLastError();
        return why ? (int)why : ERROR_FILE_NOT_FOUND;
    }
    FindClose(find);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
    DWORD existing = CeDeviceAttributes(target);
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
        if (int skipped = AskOverwrite(host, item, found.nFileSizeLow)) return skipped;
    } else {
        DWORD why = CeGetLastError();
        if (why && why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) return (int)why;
    }

    HANDLE file = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return (int)LocalError();
    int error = 0;
    char temp[kCePathMax];
    HANDLE device = OpenDeviceTemp(target, temp, &error);
    if (device == INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return error;
    }
    ChunkBuffer buffer(found.nFileSizeLow);
    uint64_t copied = 0;
    bool cancelled = false;
    error = CopyChunks(
        buffer, host, item, cancel, &copied, &cancelled,
        [&](DWORD* got) {
            return ReadFile(file, buffer.data, buffer.size, got, nullptr) ? 0 : (int)LocalError();
        },
        [&](DWORD n, DWORD* written) {
            return CeWriteFile(device, buffer.data, n, written, nullptr) ? 0 : (int)CeDeviceError();
        });
    CloseHandle(file);
    if (!error && !cancelled && copied != SizeOf(found.nFileSizeHigh, found.nFileSizeLow))
        error = ERROR_HANDLE_EOF; // the file changed while it was copied
    if (!error && !cancelled &&
        !CeSetFileTime(device, &found.ftCreationTime, &found.ftLastAccessTime, &found.ftLastWriteTime))
        error = (int)CeDeviceError();
    if (!CeCloseHandle(device) && !error && !cancelled) error = (int)CeDeviceError();
    if (!error && !cancelled) {
        error = CeDeviceReplace(temp, target);
        if (!error) {
            WCHAR wide[2 * kCePathMax];
            if (CeWiden(target, wide)) CeSetFileAttributes(wide, found.dwFileAttributes & kKeptAttributes);
        }
    }
    // When the link is gone the temporary file stays on the device, under
    // its own name only.
    if (error || cancelled) CeDeviceDelete(temp, INVALID_FILE_ATTRIBUTES);
    return cancelled ? kCeSkipped : error;
}

int CeCopyOnDevice(const CeHostServices* host, const char* source, const char* target, void* item) {
    if (int bad = CheckLengths(source, target)) return bad;
    WCHAR wideSource[2 * kCePathMax];
    if (!CeWiden(source, wideSource)) return ERROR_FILENAME_EXCED_RANGE;
    CeFindData found;
    HANDLE find = CeFindFirstFile(wideSource, &found);
    if (find == INVALID_HANDLE_VALUE) return (int)CeDeviceError();
    CeFindClose(find);
    if (found.attributes & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
    DWORD existing = CeDeviceAttributes(target);
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
        if (int skipped = AskOverwrite(host, item, found.sizeLow)) return skipped;
    }
    char temp[kCePathMax];
    WCHAR wideTemp[2 * kCePathMax];
    int error = ERROR_FILE_EXISTS;
    for (unsigned n = 1; n <= kTempTries && error; ++n) {
        if (!CeTempName(temp, sizeof temp, target, n) || !CeWiden(temp, wideTemp))
            return ERROR_FILENAME_EXCED_RANGE;
        error = CeCopyFile(wideSource, wideTemp, TRUE) ? 0 : (int)CeDeviceError();
        if (error && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return error;
    }
    if (error) return error;
    CeFindData copy;
    find = CeFindFirstFile(wideTemp, &copy);
    if (find == INVALID_HANDLE_VALUE) {
        error = (int)CeDeviceError();
    } else {
        CeFindClose(find);
        if (copy.sizeLow != found.sizeLow || copy.sizeHigh != found.sizeHigh) error = ERROR_HANDLE_EOF;
    }
    if (!error) error = CeDeviceReplace(temp, target);
    if (error) {
        CeDeviceDelete(temp, INVALID_FILE_ATTRIBUTES);
        return error;
    }
    Progress(host, item, found.sizeLow);
    return 0;
}

int CeMoveOnDevice(const CeHostServices* host, const char* source, const char* target, void* item) {
    if (int bad = CheckLengths(source, target)) return bad;
    bool sameName = CeCompareNoCase(source, target) == 0;
    DWORD existing = sameName ? INVALID_FILE_ATTRIBUTES : CeDeviceAttributes(target);
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) return kCeIsDirectory;
        int32_t answer = host && host->askOverwrite ? host->askOverwrite(item) : 0;
        if (answer == kCeAnswerStop || answer == kCeAnswerSkip) return kCeSkipped;
        // The old target is parked, not deleted, until the source has its name.
        return CeDeviceReplace(source, target);
    }
    int error = CeDeviceMove(source, target);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        char folder[kCePathMax];
        strcpy(folder, target);
        char* slash = strrchr(folder, '\\');
        if (slash && slash != folder) {
            *slash = 0;
            if (!CeDeviceMakeDirs(folder)) error = CeDeviceMove(source, target);
        }
    }
    return error;
}
