// Dates, times, DOS stamps and attribute letters as text.
// DOS date: bits 15-9 year - 1980, 8-5 month, 4-0 day.
// DOS time: bits 15-11 hour, 10-5 minute, 4-0 seconds / 2.
#pragma once

#include <stddef.h>
#include <stdint.h>

const unsigned kDosYearFirst = 1980;
const unsigned kDosYearLast = 2107;
// Stamps this close count as the same time (FAT keeps 2-second steps and
// copies round up).
const uint32_t kStampToleranceSeconds = 4;

inline uint16_t DosDateMake(unsigned day, unsigned month, unsigned year) {
    return (uint16_t)(((year - kDosYearFirst) << 9) | (month << 5) | day);
}
inline uint16_t DosTimeMake(unsigned hour, unsigned minute, unsigned second) {
    return (uint16_t)((hour << 11) | (minute << 5) | (second / 2));
}
// Seconds since 1980-01-01 00:00:00 of a DOS stamp.
int64_t DosStampSeconds(uint16_t date, uint16_t time);

// out holds at least 11 / 9 bytes.
void StrFormatDate(char *out, unsigned day, unsigned month, unsigned year);
void StrFormatTime(char *out, unsigned hour, unsigned minute, unsigned second);
// Letters R A H S E C Z for the bits set; out holds 8 bytes.
void StrFormatDosAttributes(char *out, uint32_t attributes);

// 0 when a valid date was parsed (day, month, year order), nonzero otherwise.
int StrParseDate(const char *text, unsigned *day, unsigned *month, unsigned *year);
// 0 when valid, 0xFFFF otherwise (outputs then unchanged).
int StrParseTime(const char *text, unsigned *hour, unsigned *minute, unsigned *second);
// 0 when valid, -1 otherwise; a two-digit year gets the current century.
int StrValidateDate(unsigned day, unsigned month, unsigned *year);
int StrValidateDateIn(unsigned day, unsigned month, unsigned *year, unsigned currentYear);

// Days in a month of the Gregorian calendar (February 29 in leap years:
// divisible by 4, centuries only when divisible by 400); 0 for a month
// outside 1-12.
unsigned DateDaysInMonth(unsigned month, unsigned year);
// 1 Monday ... 7 Sunday; 0 for a year outside 1980-9999 or a day that is
// not in the month.
unsigned DateWeekday(unsigned day, unsigned month, unsigned year);

// -1 older, 0 same (within kStampToleranceSeconds), 1 newer.
int DosStampCompare(uint16_t date1, uint16_t time1, uint16_t date2, uint16_t time2);
int DosDateCompare(uint16_t a, uint16_t b);
int DosTimeCompare(uint16_t a, uint16_t b);

struct FileStampPair {
    uint16_t sourceDate, targetDate;
    uint16_t sourceTime, targetTime;
    uint64_t sourceSize, targetSize;
    uint32_t sourceIsDir, targetIsDir;
};
// Results of FileCompareStamps.
enum StampResult {
    kStampUnknown = 1, // a side is missing, a folder or unreadable
    kStampSame = 2,
    kStampSameTimeOtherSize = 3,
    kStampSourceOlder = 4,
    kStampSourceNewer = 5,
};
// Compares the pair's stamps and sizes once both halves are filled.
int FileStampPairCompare(const FileStampPair *pair);

// Win32 side.
// Short date, two blanks, time without seconds; empty when unformattable.
void StrFormatDosDateTime(char *out, uint16_t date, uint16_t time, size_t size);

// A date and time a picker edits: the record of the date and time dialog,
// eight words (the last two describe the month the calendar shows). A
// caller hands the whole record, never a shorter one.
struct DateTimeRecord {
    uint16_t day, month, year, hour, minute, second;
    uint16_t firstWeekday; // of the month's first day, 1 Monday ... 7 Sunday
    uint16_t daysInMonth;
};
static_assert(sizeof(DateTimeRecord) == 16, "the date and time record is eight words");
