#include "fileops/AttrRules.h"

#include <string.h>

#include "base/DateTime.h"

uint32_t AttrSettable(uint32_t value)
{
    // read-only, hidden, system, archive, temporary, not content indexed
    const uint32_t settable = 0x01 | 0x02 | 0x04 | 0x20 | 0x100 | 0x2000;
    value &= settable;
    return value ? value : 0x80;
}

bool AttrTakesName(const char* name)
{
    return name && name[0] && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

bool AttrIsNtfsName(const char* fsName)
{
    if (!fsName || strlen(fsName) != 4) return false;
    const char* want = "NTFS";
    for (int i = 0; i < 4; i++) {
        char c = fsName[i];
        if (c >= 'a' && c <= 'z') c = (char)(c - 32);
        if (c != want[i]) return false;
    }
    return true;
}

bool AttrMergeTimes(uint64_t jobCreation, uint64_t jobWrite, uint64_t* creation, uint64_t* write)
{
    uint64_t c = jobCreation >= kAttrNoTime ? jobCreation : *creation;
    uint64_t w = jobWrite >= kAttrNoTime ? jobWrite : *write;
    bool changed = c != *creation || w != *write;
    *creation = c;
    *write = w;
    return changed;
}

bool AttrMasksFromBoxes(const int states[5], uint32_t* setMask, uint32_t* clearMask)
{
    *setMask = *clearMask = 0;
    for (int i = 0; i < 5; i++) {
        if (states[i] == 0) *clearMask |= kAttrBoxBits[i];
        else if (states[i] == 1) *setMask |= kAttrBoxBits[i];
    }
    return (*setMask & *clearMask) == 0;
}

unsigned AttrDaysInMonth(unsigned month, unsigned year) { return DateDaysInMonth(month, year); }

unsigned AttrWeekday(unsigned day, unsigned month, unsigned year) { return DateWeekday(day, month, year); }
