#include "viewer/DbfTable.h"

#include <string.h>

namespace {

uint16_t Le16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint32_t Be32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

bool KnownVersion(uint8_t v) {
    return v == 0x03 || v == 0x07 || v == 0x30 || v == 0x83 || v == 0x8B || v == 0xF5;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
}

// The memo block a memo field points to: decimal digits after blanks, as
// dBase writes them; Visual FoxPro tables keep a four-byte binary number.
uint64_t MemoBlockNumber(const DbfTable* t, const DbfField& f, const uint8_t* bytes) {
    if (t->version == 0x30 && f.length == 4) return Le32(bytes);
    uint32_t i = 0;
    while (i < f.length && bytes[i] == ' ')
        i++;
    uint64_t n = 0;
    for (; i < f.length && bytes[i] >= '0' && bytes[i] <= '9'; i++) {
        n = n * 10 + (uint64_t)(bytes[i] - '0');
        if (n > 0xFFFFFFFFu) return 0; // no memo file is that large
    }
    return n;
}

} // namespace

bool DbfOpen(DbfTable* t, const DbfSource& src, const PicAllocator& a) {
    memset(t, 0, sizeof *t);
    uint8_t h[32];
    if (src.size < 32 || !src.readAt(src.context, 0, h, 32)) return false;
    t->version = h[0];
    t->recordCount = Le32(h + 4);
    t->headerLength = Le16(h + 8);
    t->recordLength = Le16(h + 10);
    if (!KnownVersion(h[0]) || h[2] < 1 || h[2] > 12 || h[3] > 31) return false;
    // A record holds at least its deletion flag; the records claimed must
    // fit the file; descriptors need room after the 32 header bytes.
    if (t->recordLength == 0 || t->headerLength < 33) return false;
    if ((uint64_t)t->recordCount * t->recordLength > src.size) return false;
    uint32_t slots = (t->headerLength - 33) / 32;
    uint32_t count = 0;
    uint8_t d[32];
    while (count < slots && src.readAt(src.context, 32 + (uint64_t)count * 32, d, 32) && d[0] != 0x0D) {
        if (++count > kDbfMaxFields) return false;
    }
    if (count == 0) return false;
    t->fields = static_cast<DbfField*>(a.alloc(sizeof(DbfField) * count));
    if (!t->fields) return false;
    uint32_t next = 1; // where a field goes when its displacement is not usable
    for (uint32_t i = 0; i < count; i++) {
        if (!src.readAt(src.context, 32 + (uint64_t)i * 32, d, 32)) break;
        DbfField& f = t->fields[i];
        memcpy(f.name, d, 11);
        f.name[11] = 0;
        f.type = (char)d[11];
        f.displacement = Le32(d + 12);
        f.length = d[16];
        if (f.displacement == 0 || f.displacement > next) f.displacement = next;
        // A field that leaves the record ends the list.
        if ((uint64_t)f.displacement + f.length > t->recordLength) break;
        next = f.displacement + f.length;
        f.memoIndex = -1;
        if (Upper(f.type) == 'M' && t->memoFieldCount < kDbfMaxMemoFields) f.memoIndex = (int)t->memoFieldCount++;
        t->fieldCount = i + 1;
    }
    if (t->fieldCount == 0) {
        DbfClose(t, a);
        return false;
    }
    return true;
}

void DbfAttachMemo(DbfTable* t, const DbfSource& memo) {
    t->memoBlockSize = 0;
    uint8_t h[8];
    if (!t->memoFieldCount || memo.size < 8 || !memo.readAt(memo.context, 0, h, 8)) return;
    // The block size stands big-endian in bytes 6 and 7 of the header.
    uint32_t size = (uint32_t)(h[6] << 8 | h[7]);
    t->memoBlockSize = size ? size : 64;
}

void DbfClose(DbfTable* t, const PicAllocator& a) {
    if (t->fields) a.release(reinterpret_cast<void**>(&t->fields));
    memset(t, 0, sizeof *t);
}

bool DbfCursorInit(DbfCursor* c, const DbfTable* t, const PicAllocator& a) {
    memset(c, 0, sizeof *c);
    c->record = static_cast<uint8_t*>(a.alloc(t->recordLength));
    return c->record != nullptr;
}

void DbfCursorFree(DbfCursor* c, const PicAllocator& a) {
    if (c->record) a.release(reinterpret_cast<void**>(&c->record));
}

bool DbfReadRecord(const DbfTable* t, DbfCursor* c, uint32_t i, const DbfSource& table, const DbfSource* memo) {
    if (!c->record || i >= t->recordCount) return false;
    uint64_t at = t->headerLength + (uint64_t)i * t->recordLength;
    if (at + t->recordLength > table.size || !table.readAt(table.context, at, c->record, t->recordLength))
        return false;
    memset(c->memoPresent, 0, sizeof c->memoPresent);
    if (!memo || !t->memoBlockSize) return true;
    uint32_t p = 0;
    for (uint32_t f = 0; f < t->fieldCount; f++) {
        const DbfField& field = t->fields[f];
        if (field.memoIndex < 0) continue;
        uint64_t block = MemoBlockNumber(t, field, c->record + field.displacement);
        uint64_t offset = block * t->memoBlockSize;
        uint8_t h[8];
        if (block == 0 || offset + 8 > memo->size || !memo->readAt(memo->context, offset, h, 8)) continue;
        // Texts are cut to what the file holds and what the buffer has left.
        uint64_t length = Be32(h + 4);
        if (length > memo->size - offset - 8) length = memo->size - offset - 8;
        if (p >= kDbfMemoTextSize) break;
        uint32_t room = kDbfMemoTextSize - p - 1;
        if (length > room) length = room;
        if (length && !memo->readAt(memo->context, offset + 8, c->memoText + p, (uint32_t)length)) continue;
        c->memoText[p + length] = 0;
        c->memoStart[field.memoIndex] = p;
        c->memoPresent[field.memoIndex] = true;
        p += (uint32_t)length + 1;
    }
    return true;
}

bool DbfRecordDeleted(const DbfCursor* c) {
    return c->record && c->record[0] == '*';
}

void DbfFormatDate(const uint8_t* d, char* out) {
    if (memcmp(d, "19800101", 8) == 0 || (d[0] == ' ' && d[1] == ' ') || d[0] == 0) {
        memcpy(out, "01/01/80", 9);
        return;
    }
    // Month, day and year in the century; a zero byte ends a part early,
    // as it would end a C string.
    static const int kParts[3] = {4, 6, 2};
    size_t n = 0;
    for (int k = 0; k < 3; k++) {
        if (k) out[n++] = '/';
        for (int j = 0; j < 2 && d[kParts[k] + j]; j++)
            out[n++] = (char)d[kParts[k] + j];
    }
    out[n] = 0;
}

void DbfFieldValue(const DbfTable* t, const DbfCursor* c, uint32_t f, char* out, size_t outSize) {
    if (!outSize) return;
    out[0] = 0;
    if (f >= t->fieldCount || !c->record) return;
    const DbfField& field = t->fields[f];
    if (Upper(field.type) == 'M') {
        if (field.memoIndex < 0 || !c->memoPresent[field.memoIndex]) return;
        const char* text = c->memoText + c->memoStart[field.memoIndex];
        size_t n = strlen(text);
        if (n >= outSize) n = outSize - 1;
        memcpy(out, text, n);
        out[n] = 0;
        return;
    }
    const uint8_t* bytes = c->record + field.displacement;
    if (outSize > kDbfValueSize) outSize = kDbfValueSize;
    size_t n = 0;
    uint32_t from = 0;
    if (field.type == 'D' && field.length >= 8 && outSize > 8) {
        DbfFormatDate(bytes, out);
        n = strlen(out);
        from = 8;
    }
    for (uint32_t i = from; i < field.length && n + 1 < outSize && bytes[i]; i++)
        out[n++] = (char)bytes[i];
    while (n && out[n - 1] == ' ')
        n--;
    out[n] = 0;
}

bool DbfMemoPath(const char* path, char* out, size_t outSize) {
    size_t len = strlen(path);
    size_t name = len;
    while (name && path[name - 1] != '\\' && path[name - 1] != '/' && path[name - 1] != ':')
        name--;
    const char* dot = strrchr(path + name, '.');
    size_t keep = dot ? (size_t)(dot - path) : len;
    if (keep + 5 > outSize) return false;
    memcpy(out, path, keep);
    memcpy(out + keep, ".fpt", 5);
    return true;
}
