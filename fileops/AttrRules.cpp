#include "fileops/AttrRules.h"

#include <string.h>

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

unsigned AttrDaysInMonth(unsigned month, unsigned year)
{
    static const unsigned char kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && year % 4 == 0) return 29;
    return kDays[month - 1];
}

unsigned AttrWeekday(unsigned day, unsigned month, unsigned year)
{
    if (year < 1980 || year > 9999 || day < 1 || day > AttrDaysInMonth(month, year)) return 0;
    // Zeller's rule with the Gregorian calendar, Monday = 1.
    unsigned m = month, y = year;
    if (m < 3) {
        m += 12;
        y -= 1;
    }
    unsigned k = y % 100, j = y / 100;
    unsigned h = (day + 13 * (m + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 Saturday
    return (h + 5) % 7 + 1;
}
