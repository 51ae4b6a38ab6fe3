#pragma once
// The rules of the attributes and dates job that need no windows.h: which
// bits change, which names a walk takes, when a time counts as set.
#include <stdint.h>

enum : uint32_t {
    kAttrReadOnly = 0x01, kAttrHidden = 0x02, kAttrSystem = 0x04, kAttrDirectory = 0x10,
    kAttrArchive = 0x20, kAttrCompressed = 0x800,
};
// The bits the dialog offers, in the order of its boxes (read-only,
// archive, hidden, system, compressed).
const uint32_t kAttrBoxBits[5] = {kAttrReadOnly, kAttrArchive, kAttrHidden, kAttrSystem, kAttrCompressed};

// A FILETIME below this (1979-12-31 22:46:40 UTC) counts as no time.
const uint64_t kAttrNoTime = 0x01A8E795A33AC800ull;

// Job flags of the attributes job (copies of the option word's bits).
enum : uint32_t { kAttrWithFilter = 0x100, kAttrInclSubDirs = 0x200000, kAttrChangeDates = 0x4000000 };

inline uint32_t AttrNewValue(uint32_t old, uint32_t setMask, uint32_t clearMask)
{
    return (old | setMask) & ~clearMask;
}
// What SetFileAttributes gets for a value: the bits it can set, and
// FILE_ATTRIBUTE_NORMAL (0x80) when none is left.
uint32_t AttrSettable(uint32_t value);
// The walk changes every entry but the folder itself and its parent: a
// name that merely begins with "." (".profile") is an ordinary entry.
bool AttrTakesName(const char* name);
// True for a file-system name that is exactly "NTFS" in any letter case.
bool AttrIsNtfsName(const char* fsName);

// The times to write for a file: each job time that counts as set replaces
// the file's. True when the result differs from the file's times.
bool AttrMergeTimes(uint64_t jobCreation, uint64_t jobWrite, uint64_t* creation, uint64_t* write);

// Box states (0 unchecked, 1 checked, 2 indeterminate) of the five boxes
// into the masks: unchecked clears, checked sets, indeterminate leaves the
// bit. False when a bit would be in both masks.
bool AttrMasksFromBoxes(const int states[5], uint32_t* setMask, uint32_t* clearMask);

// Days in a month and weekday of a date (1 Monday ... 7 Sunday): the
// calendar rules of DateDaysInMonth and DateWeekday.
unsigned AttrDaysInMonth(unsigned month, unsigned year);
unsigned AttrWeekday(unsigned day, unsigned month, unsigned year);
