// dBase tables (with an optional FoxPro memo file): header checks, field
// descriptors, records and their values. Every read goes through a byte
// source, so each thread that reads records has a cursor and file handles of
// its own and nothing is shared but the table's read-only description.
// Pure: no windows.h.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "viewer/Picture.h" // PicAllocator

// Reads exactly n bytes at offset; false when they are not all there.
struct DbfSource {
    void* context;
    bool (*readAt)(void* context, uint64_t offset, void* buffer, uint32_t n);
    uint64_t size;
};

const uint32_t kDbfMaxFields = 999;
const uint32_t kDbfMaxMemoFields = 32;
const uint32_t kDbfMemoTextSize = 8192; // all memo texts of one record
const uint32_t kDbfValueSize = 512;     // one value but a memo text, terminator included

struct DbfField {
    char name[12]; // zero-terminated
    char type;     // as stored
    uint32_t displacement;
    uint32_t length;
    int memoIndex; // position among the memo fields shown, or -1
};

struct DbfTable {
    uint8_t version;
    uint32_t recordCount;
    uint32_t headerLength;
    uint32_t recordLength;
    uint32_t fieldCount;
    DbfField* fields;
    uint32_t memoFieldCount;
    uint32_t memoBlockSize; // from the memo file's header; 0 = no memo file
};

// One reader's current record and its memo texts.
struct DbfCursor {
    uint8_t* record; // recordLength bytes
    char memoText[kDbfMemoTextSize];
    uint32_t memoStart[kDbfMaxMemoFields];
    bool memoPresent[kDbfMaxMemoFields];
};

// Header and descriptors. False for anything that is not a table this
// viewer can show; the table is then empty (nothing to free).
bool DbfOpen(DbfTable* t, const DbfSource& table, const PicAllocator& a);
// Takes the memo file's block size from its header; without a usable memo
// file the memo values stay empty.
void DbfAttachMemo(DbfTable* t, const DbfSource& memo);
void DbfClose(DbfTable* t, const PicAllocator& a);

bool DbfCursorInit(DbfCursor* c, const DbfTable* t, const PicAllocator& a);
void DbfCursorFree(DbfCursor* c, const PicAllocator& a);
// Reads record i and the memo texts it refers to (memo may be null or have
// no size). False when the record is not in the file.
bool DbfReadRecord(const DbfTable* t, DbfCursor* c, uint32_t i, const DbfSource& table, const DbfSource* memo);
bool DbfRecordDeleted(const DbfCursor* c);
// Field f of the current record as shown: dates as MM/DD/YY, memo fields
// their text, others as stored without trailing blanks.
void DbfFieldValue(const DbfTable* t, const DbfCursor* c, uint32_t f, char* out, size_t outSize);

// The memo file beside a table: the name's extension replaced by "fpt" (or
// ".fpt" added when the name has none). False when it does not fit.
bool DbfMemoPath(const char* tablePath, char* out, size_t outSize);
// A date field's eight characters YYYYMMDD as MM/DD/YY; blank, zero or the
// 1980-01-01 placeholder give "01/01/80". out holds 9 bytes.
void DbfFormatDate(const uint8_t* yyyymmdd, char* out);
