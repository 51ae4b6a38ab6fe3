#include "base/Memory.h"

#include <stdlib.h>
#include <string.h>

void *MemAlloc(size_t n) {
    if (n == 0)
        return nullptr;
    void *block = calloc(1, n);
    if (!block)
        MemReportFailure();
    return block;
}

void **MemFree(void **pointer) {
    if (pointer && *pointer) {
        free(*pointer);
        *pointer = nullptr;
    }
    return pointer;
}

#ifndef _WIN32
void MemReportFailure() {}
#endif

GrowBuffer *MemBufAppend(GrowBuffer *buffer, const void *data, uint32_t len) {
    if (!buffer->data) {
        buffer->capacity = len > kGrowBufferFirst ? len : kGrowBufferFirst;
        buffer->data = static_cast<uint8_t *>(MemAlloc(buffer->capacity));
        if (!buffer->data)
            buffer->capacity = 0;
        buffer->used = 0;
        buffer->count = 0;
    } else if (len > buffer->capacity - buffer->used) {
        // Doubling keeps the copying linear in the total size; a fixed step
        // made language files and long listings quadratic.
        uint64_t need = (uint64_t)buffer->used + len;
        uint64_t grown = (uint64_t)buffer->capacity * 2;
        if (grown < need)
            grown = need;
        if (grown > 0xFFFFFFFFu)
            grown = need;
        uint8_t *block = need > 0xFFFFFFFFu ? nullptr : static_cast<uint8_t *>(MemAlloc((size_t)grown));
        if (need > 0xFFFFFFFFu)
            MemReportFailure();
        if (block) {
            memcpy(block, buffer->data, buffer->used);
            buffer->capacity = (uint32_t)grown;
        } else {
            buffer->capacity = 0;
            buffer->used = 0;
        }
        MemFree(&buffer->data);
        buffer->data = block;
    }
    if (buffer->data) {
        if (data)
            memcpy(buffer->data + buffer->used, data, len);
        buffer->used += len;
        buffer->count += 1;
    }
    return buffer;
}

bool MemBlockSizeForFile(uint64_t size, uint32_t *blockSize) {
    // The terminator byte must not wrap the block size to 0, and one block
    // never spans more than half the 32-bit address space.
    if (size >= 0x7FFFFFFFu)
        return false;
    if ((uint64_t)(size_t)(size + 1) != size + 1)
        return false;
    *blockSize = (uint32_t)(size + 1);
    return true;
}

const char *StrNextLine(const char *text) {
    while (*text && *text != '\r' && *text != '\n')
        text++;
    while (*text == '\r' || *text == '\n')
        text++;
    return text;
}

// Like StrNextLine, bounded by the data end; a zero byte inside the data is
// an ordinary character, so it cannot stall the reader.
static char *NextLineIn(char *text, char *end) {
    while (text < end && *text != '\r' && *text != '\n')
        text++;
    while (text < end && (*text == '\r' || *text == '\n'))
        text++;
    return text;
}

// Reads up to `room` bytes to `dst`; returns the count. A failed or empty
// read ends the file.
static uint32_t FillFrom(LineReader *reader, LineReadFn read, char *dst, uint32_t room) {
    uint32_t want = reader->remaining < room ? (uint32_t)reader->remaining : room;
    uint32_t got = 0;
    if (want == 0)
        return 0;
    if (!read(reader->file, dst, want, &got) || got == 0 || got > want) {
        reader->remaining = 0;
        return 0;
    }
    reader->remaining -= got;
    return got;
}

char *LineReaderChunk(LineReader *reader, LineReadFn read) {
    uint32_t got = FillFrom(reader, read, reader->buffer, kLineChunk);
    reader->filled = got;
    reader->buffer[got] = 0;
    return got ? reader->buffer : nullptr;
}

char *LineReaderNext(LineReader *reader, LineReadFn read) {
    if (!reader->line) {
        if (!LineReaderChunk(reader, read))
            return nullptr;
        reader->line = reader->buffer;
    } else {
        reader->line = reader->next;
    }
    char *end;
    for (;;) {
        end = reader->buffer + reader->filled;
        reader->next = NextLineIn(reader->line, end);
        if (reader->next != end || reader->remaining == 0)
            break;
        size_t kept = end - reader->line;
        // A line that already fills the whole buffer is handed out as a
        // piece; refilling could read nothing and would never advance.
        if (kept >= kLineChunk)
            break;
        memmove(reader->buffer, reader->line, kept);
        uint32_t got = FillFrom(reader, read, reader->buffer + kept, kLineChunk - (uint32_t)kept);
        reader->filled = kept + got;
        reader->buffer[reader->filled] = 0;
        reader->line = reader->buffer;
        if (kept == 0) {
            // Nothing kept means the previous line was a piece: the line end
            // that follows it belongs to it, not to an empty line.
            end = reader->buffer + reader->filled;
            while (reader->line < end && (*reader->line == '\r' || *reader->line == '\n'))
                reader->line++;
        }
    }
    if (reader->line == end)
        return nullptr;
    return reader->line;
}
