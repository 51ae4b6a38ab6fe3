#include "fileops/JobMath.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t JobBarPosition(uint64_t done, uint64_t total)
{
    if (total == 0)
        return 0;
    if (done >= total)
        return kJobBarRange;
    // done < total, so done * 64 only overflows for totals beyond 2^58;
    // divide first there (the bar has 64 steps, precision is no issue).
    if (done > UINT64_MAX / kJobBarRange) {
        uint64_t pos = done / (total / kJobBarRange);
        return pos < kJobBarRange ? (uint32_t)pos : kJobBarRange - 1;
    }
    return (uint32_t)(done * kJobBarRange / total);
}

bool JobFormatRemaining(uint64_t elapsedMs, uint64_t done, uint64_t total, char *out, size_t outSize)
{
    if (elapsedMs == 0 || done == 0 || done >= total || outSize == 0)
        return false;
    uint64_t rest = total - done;
    // elapsed * rest can exceed 64 bits for very long, very large jobs.
    double seconds = (double)elapsedMs * (double)rest / (double)done / 1000.0;
    uint64_t s = seconds > 1e15 ? (uint64_t)1e15 : (uint64_t)seconds;
    uint64_t hours = s / 3600, minutes = (s % 3600) / 60, secs = s % 60;
    double speed = (double)done / (double)elapsedMs * 1000.0 / 1024.0;
    if (hours)
        snprintf(out, outSize, "%lu:%02lu:%02lu  (%.2f KB/s)", (unsigned long)hours, (unsigned long)minutes,
                 (unsigned long)secs, speed);
    else
        snprintf(out, outSize, "%02lu:%02lu  (%.2f KB/s)", (unsigned long)minutes, (unsigned long)secs, speed);
    return true;
}

bool SelListAppend(SelectionBuilder *b, const char *name, uint16_t date, uint16_t time, uint64_t size,
                   uint16_t attributes, uint32_t position)
{
    size_t nameLen = strlen(name);
    if (nameLen > 0xFFFF - 28)
        return false;
    size_t recLen = 28 + nameLen;
    // Room for this record and the terminating zero length.
    size_t need = b->used + recLen + 2;
    if (need > b->capacity) {
        size_t cap = b->capacity ? b->capacity : 4096;
        while (cap < need)
            cap *= 2;
        uint8_t *grown = (uint8_t *)realloc(b->data, cap);
        if (!grown)
            return false;
        memset(grown + b->capacity, 0, cap - b->capacity);
        b->data = grown;
        b->capacity = cap;
    }
    SelectionRecord *rec = (SelectionRecord *)(b->data + b->used);
    rec->length = (uint16_t)recLen;
    rec->date = date;
    rec->time = time;
    rec->size = size;
    rec->attributes = attributes;
    rec->position = position;
    memcpy(rec->name, name, nameLen + 1);
    b->used += recLen;
    b->data[b->used] = 0;
    b->data[b->used + 1] = 0;
    b->count++;
    return true;
}

void *SelListRelease(SelectionBuilder *b)
{
    void *list = b->count ? b->data : nullptr;
    if (!b->count)
        free(b->data);
    *b = SelectionBuilder();
    return list;
}

const SelectionRecord *SelListFirst(const void *list)
{
    const SelectionRecord *rec = (const SelectionRecord *)list;
    return rec && rec->length ? rec : nullptr;
}

const SelectionRecord *SelListNext(const SelectionRecord *rec)
{
    const SelectionRecord *next = (const SelectionRecord *)((const uint8_t *)rec + rec->length);
    return next->length ? next : nullptr;
}

size_t SelListCount(const void *list)
{
    size_t n = 0;
    for (const SelectionRecord *r = SelListFirst(list); r; r = SelListNext(r))
        n++;
    return n;
}
