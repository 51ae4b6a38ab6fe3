#pragma once
// Arithmetic and records of the job runner that need no windows: the bar
// position, the remaining-time line, the option bits a job takes over and
// the packed selection list. Built natively too.
#include <stddef.h>
#include <stdint.h>

const uint32_t kJobBarRange = 64;

// Bar position for `done` of `total` work units (0..64); `total` 0 gives 0.
uint32_t JobBarPosition(uint64_t done, uint64_t total);

// The time line of the progress dialog: "h:mm:ss  (x KB/s)" or
// "mm:ss  (x KB/s)". Returns false (nothing written) when there is nothing
// to estimate yet: no elapsed time, nothing done, or everything done.
bool JobFormatRemaining(uint64_t elapsedMs, uint64_t done, uint64_t total, char *out, size_t outSize);

// The option bits of `generalOptions` that mean something to a job. The rest
// of the word (letter jump 0x10, the command-line focus 0x80000000, ...)
// collides with job-private bits and must never reach a job.
const uint32_t kJobOptionMask = 0x2 | 0x200 | 0x400 | 0x800 | 0x1000 | 0x8000 | 0x80000 | 0x100000 |
                                0x200000 | 0x400000;

inline uint32_t JobFlagsFromOptions(uint32_t options) { return options & kJobOptionMask; }

// Writes a job dialog's choices back into the option word, leaving the
// unrelated bits of the word alone.
inline uint32_t JobOptionsFromFlags(uint32_t options, uint32_t flags)
{
    return (options & ~kJobOptionMask) | (flags & kJobOptionMask);
}

// One record of a selection list: packed back to back, a zero length ends
// the list. `length` is 28 + the name length (the name's NUL is in the 28).
#pragma pack(push, 1)
struct SelectionRecord {
    uint16_t length;
    uint16_t date;
    uint16_t time;
    uint64_t size;
    uint16_t attributes; // FileEntry.flags
    uint32_t position;   // index in the panel's sorted list
    char name[1];
};
#pragma pack(pop)
static_assert(sizeof(SelectionRecord) == 21, "selection record head is 20 bytes");
const size_t kSelectionHead = 20;

// A growing selection list. `SelListAppend` returns false when memory ran
// out or the name is longer than a record can say (the list is kept as far
// as it got). `SelListRelease` hands the finished block to the caller
// (free() it; null when empty) and leaves the builder empty.
struct SelectionBuilder {
    uint8_t *data = nullptr;
    size_t used = 0;
    size_t capacity = 0;
    size_t count = 0;
};
bool SelListAppend(SelectionBuilder *b, const char *name, uint16_t date, uint16_t time, uint64_t size,
                   uint16_t attributes, uint32_t position);
void *SelListRelease(SelectionBuilder *b);

// Walks a list: first record, next record, null at the end.
const SelectionRecord *SelListFirst(const void *list);
const SelectionRecord *SelListNext(const SelectionRecord *rec);
size_t SelListCount(const void *list);
