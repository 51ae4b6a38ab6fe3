// Memory blocks, growable buffers, writing whole files, a chunked line reader
// and named shared memory. No windows.h: handles are kept as void*. Reading a
// whole file goes through the file-system layer: fileops/FileHelpers.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Zero-filled block; n = 0 gives null quietly. On failure the "Memory error."
// box has been shown and the result is null: callers only test for null.
void *MemAlloc(size_t n);
// Frees the block the variable holds (if any) and clears the variable.
void **MemFree(void **pointer);
template <class T> inline T **MemFree(T **pointer) {
    MemFree(reinterpret_cast<void **>(pointer));
    return pointer;
}
// Shows the "Memory error." box (no-op in the native build).
void MemReportFailure();

// A zeroed record is an empty buffer; the owner frees `data` with MemFree.
// Blocks move while appending: keep offsets, turn them into pointers at the end.
struct GrowBuffer {
    uint8_t *data;
    uint32_t count;    // appends so far
    uint32_t capacity; // bytes
    uint32_t used;     // bytes
};
const uint32_t kGrowBufferFirst = 4096;

// Appends len bytes (zeros when data is null). Capacity at least doubles on
// growth. When growing fails, everything collected is freed and data is null.
GrowBuffer *MemBufAppend(GrowBuffer *buffer, const void *data, uint32_t len);

// Size of the block FileReadAll needs for a file of `size` bytes (size + 1
// for the terminator); false when that cannot be allocated in one piece.
bool MemBlockSizeForFile(uint64_t size, uint32_t *blockSize);

// CREATE_ALWAYS and one write of all the data; nonzero on success.
int FileWriteAll(const char *path, const void *data, uint32_t len);

const uint32_t kLineChunk = 4095;

// The caller sets `file` and `remaining` (the file size) and zeroes the rest.
struct LineReader {
    void *file;         // HANDLE
    uint32_t spare;     // free for the caller
    uint64_t remaining; // bytes of the file not yet read
    uint64_t filled;    // bytes of data held in buffer
    char buffer[kLineChunk + 1];
    char *line; // current line
    char *next; // start of the following line
};

// Reads min(remaining, 4095) bytes into the buffer and terminates them;
// null at the end of the file or on a read error.
char *FileReadChunk(LineReader *reader);
// Next line (not terminated in place: stop at CR or LF); null at the end.
// A line longer than 4095 bytes comes in pieces of at most 4095 bytes.
char *FileReadLine(LineReader *reader);

// The same on any byte source: `read` fills dst with up to n bytes, stores
// the count in *got and returns false on an error.
typedef bool (*LineReadFn)(void *file, char *dst, uint32_t n, uint32_t *got);
char *LineReaderChunk(LineReader *reader, LineReadFn read);
char *LineReaderNext(LineReader *reader, LineReadFn read);

// Start of the next line: past the first CR, LF or terminator and every CR
// and LF after it (or the terminator itself).
const char *StrNextLine(const char *text);
inline char *StrNextLine(char *text) { return const_cast<char *>(StrNextLine(static_cast<const char *>(text))); }

struct SharedMemory {
    void *view;    // null when the block could not be mapped
    void *mapping; // HANDLE
};
// Creates or opens a named page-file mapping of `size` bytes and maps all of
// it. Returns 1 when a mapping of that name existed already, else 0.
int MemSharedOpen(SharedMemory *record, const char *name, uint32_t size);
void MemSharedClose(SharedMemory *record);
