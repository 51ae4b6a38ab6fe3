#include "base/DateTime.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Value of up to `count` digits from `from`, stopping at the first non-digit
// or `len`. Kept below 100000 so that long runs cannot overflow.
static unsigned Digits(const char *t, size_t len, size_t from, size_t count) {
    unsigned v = 0;
    for (size_t i = from; i < len && i < from + count && IsDigit(t[i]); i++)
        v = v < 100000 ? v * 10 + (unsigned)(t[i] - '0') : v;
    return v;
}
static unsigned DigitsFrom(const char *t, size_t len, size_t from) { return Digits(t, len, from, len); }

static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = (unsigned)(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468;
}

unsigned DateDaysInMonth(unsigned month, unsigned year) {
    static const unsigned char kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))
        return 29;
    return kDays[month - 1];
}

unsigned DateWeekday(unsigned day, unsigned month, unsigned year) {
    if (year < 1980 || year > 9999 || day < 1 || day > DateDaysInMonth(month, year))
        return 0;
    // 1 January 1970 was a Thursday (4).
    int64_t days = DaysFromCivil(year, month, day);
    return (unsigned)(((days % 7) + 7 + 3) % 7) + 1;
}

int64_t DosStampSeconds(uint16_t date, uint16_t time) {
    unsigned year = kDosYearFirst + (date >> 9);
    unsigned month = (date >> 5) & 15;
    unsigned day = date & 31;
    if (month < 1)
        month = 1;
    if (month > 12)
        month = 12;
    int64_t days = DaysFromCivil(year, month, 1) - DaysFromCivil(kDosYearFirst, 1, 1) + (int64_t)day - 1;
    return days * 86400 + (time >> 11) * 3600 + ((time >> 5) & 63) * 60 + (time & 31) * 2;
}

void StrFormatDate(char *out, unsigned day, unsigned month, unsigned year) {
    snprintf(out, 11, "%02u.%02u.%04u", day % 100, month % 100, year % 10000);
}

void StrFormatTime(char *out, unsigned hour, unsigned minute, unsigned second) {
    snprintf(out, 9, "%02u:%02u:%02u", hour % 100, minute % 100, second % 100);
}

void StrFormatDosAttributes(char *out, uint32_t attributes) {
    static const struct {
        uint32_t bit;
        char letter;
    } kLetters[] = {{0x1, 'R'}, {0x20, 'A'}, {0x2, 'H'}, {0x4, 'S'}, {0x40, 'E'}, {0x800, 'C'}, {0x8000, 'Z'}};
    for (const auto &l : kLetters)
        if (attributes & l.bit)
            *out++ = l.letter;
    *out = 0;
}

static bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int StrValidateDateIn(unsigned day, unsigned month, unsigned *year, unsigned currentYear) {
    if (*year < 100)
        *year += currentYear / 100 * 100;
    // A DOS date holds the years 1980-2107; anything else would wrap when
    // packed into its seven year bits.
    if (day == 0 || *year < kDosYearFirst || *year > kDosYearLast || month < 1 || month > 12)
        return -1;
    static const unsigned kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned last = kMonthDays[month - 1] + (month == 2 && IsLeapYear(*year) ? 1 : 0);
    return day > last ? -1 : 0;
}

int StrValidateDate(unsigned day, unsigned month, unsigned *year) {
    time_t now = time(nullptr);
#ifdef _WIN32
    // The runtime keeps localtime's result per thread.
    const struct tm *local = localtime(&now);
    unsigned currentYear = local ? (unsigned)local->tm_year + 1900 : 2000;
#else
    struct tm local;
    unsigned currentYear = localtime_r(&now, &local) ? (unsigned)local.tm_year + 1900 : 2000;
#endif
    return StrValidateDateIn(day, month, year, currentYear);
}

int StrParseDate(const char *text, unsigned *day, unsigned *month, unsigned *year) {
    *day = *month = *year = 0;
    size_t len = strnlen(text, 11);
    const char *t = text;
    size_t separators = 0, firstSep = 0;
    for (size_t i = 0; i < len; i++) {
        if (!IsDigit(t[i])) {
            if (!separators)
                firstSep = i;
            separators++;
        }
    }
    if (separators == 0) {
        if (len == 8) {
            *day = Digits(t, len, 0, 2), *month = Digits(t, len, 2, 2), *year = Digits(t, len, 4, 4);
        } else if (len == 6) {
            if (Digits(t, len, 2, 2) <= 12)
                *day = Digits(t, len, 0, 2), *month = Digits(t, len, 2, 2), *year = Digits(t, len, 4, 2);
            else
                *day = Digits(t, len, 0, 1), *month = Digits(t, len, 1, 1), *year = Digits(t, len, 2, 4);
        } else if (len == 4) {
            *day = Digits(t, len, 0, 1), *month = Digits(t, len, 1, 1), *year = Digits(t, len, 2, 2);
        } else if (len == 3) {
            *day = Digits(t, len, 0, 1), *month = Digits(t, len, 1, 1), *year = Digits(t, len, 2, 1);
        }
    } else if (separators == 2) {
        size_t second = firstSep + 1;
        while (IsDigit(t[second]))
            second++;
        *day = Digits(t, len, 0, firstSep);
        *month = Digits(t, len, firstSep + 1, second - firstSep - 1);
        *year = DigitsFrom(t, len, second + 1);
    } else if (separators == 1) {
        if (firstSep == 1) {
            *day = Digits(t, len, 0, 1);
            if (Digits(t, len, 2, 2) > 12)
                *month = Digits(t, len, 2, 1), *year = DigitsFrom(t, len, 3);
            else
                *month = Digits(t, len, 2, 2), *year = DigitsFrom(t, len, 4);
        } else if (firstSep == 2) {
            if (Digits(t, len, 0, 2) >= 32) {
                *day = Digits(t, len, 0, 1), *month = Digits(t, len, 1, 1), *year = DigitsFrom(t, len, 3);
            } else {
                *day = Digits(t, len, 0, 2);
                if (Digits(t, len, 3, 2) > 12)
                    *month = Digits(t, len, 3, 1), *year = DigitsFrom(t, len, 4);
                else
                    *month = Digits(t, len, 3, 2), *year = DigitsFrom(t, len, 5);
            }
        } else if (firstSep == 4) {
            *day = Digits(t, len, 0, 2), *month = Digits(t, len, 2, 2), *year = DigitsFrom(t, len, 5);
        }
    }
    return StrValidateDate(*day, *month, year);
}

int StrParseTime(const char *text, unsigned *hour, unsigned *minute, unsigned *second) {
    size_t len = strnlen(text, 8);
    const char *t = text;
    size_t separators = 0, firstSep = 0, secondSep = 0;
    for (size_t i = 0; i < len; i++) {
        if (!IsDigit(t[i])) {
            if (separators == 0)
                firstSep = i;
            else if (separators == 1)
                secondSep = i;
            separators++;
        }
    }
    unsigned h = 0, m = 0, s = 0;
    if (separators == 0) {
        if (len == 1) {
            h = Digits(t, len, 0, 1);
        } else if (len == 2) {
            h = Digits(t, len, 0, 1), m = Digits(t, len, 1, 1);
        } else if (len == 3 || len == 4) {
            // Two-digit parts that would be 60 or more fall back to one digit.
            size_t pos = 0;
            if (len == 4 && Digits(t, len, 0, 2) < 60)
                h = Digits(t, len, 0, 2), pos = 2;
            else
                h = Digits(t, len, 0, 1), pos = 1;
            if (Digits(t, len, pos, 2) < 60) {
                m = Digits(t, len, pos, 2), pos += 2;
            } else {
                m = Digits(t, len, pos, 1), pos += 1;
            }
            s = Digits(t, len, pos, 2);
            if (s >= 60)
                s = Digits(t, len, pos, 1);
        }
    } else if (separators == 1) {
        h = Digits(t, len, 0, firstSep);
        m = DigitsFrom(t, len, firstSep + 1);
        if (m >= 60)
            s = m % 10, m /= 10;
    } else if (separators == 2) {
        h = Digits(t, len, 0, firstSep);
        m = Digits(t, len, firstSep + 1, secondSep - firstSep - 1);
        s = DigitsFrom(t, len, secondSep + 1);
    } else {
        return 0xFFFF;
    }
    // A DOS time holds 0:00:00-23:59:58; 24:00 or a 75th second would
    // spill into the next field when packed.
    if (h > 23 || m >= 60 || s >= 60)
        return 0xFFFF;
    *hour = h, *minute = m, *second = s;
    return 0;
}

int DosStampCompare(uint16_t date1, uint16_t time1, uint16_t date2, uint16_t time2) {
    // In seconds: the packed values jump at every minute, hour and day
    // boundary, so 10:00:58 and 10:01:00 looked three units apart.
    int64_t a = DosStampSeconds(date1, time1);
    int64_t b = DosStampSeconds(date2, time2);
    if (a + (int64_t)kStampToleranceSeconds < b)
        return -1;
    if (a > b + (int64_t)kStampToleranceSeconds)
        return 1;
    return 0;
}

int DosDateCompare(uint16_t a, uint16_t b) { return a < b ? -1 : a > b ? 1 : 0; }
int DosTimeCompare(uint16_t a, uint16_t b) { return a < b ? -1 : a > b ? 1 : 0; }

int FileStampPairCompare(const FileStampPair *pair) {
    int order = DosStampCompare(pair->sourceDate, pair->sourceTime, pair->targetDate, pair->targetTime);
    if (order < 0)
        return kStampSourceOlder;
    if (order > 0)
        return kStampSourceNewer;
    return pair->sourceSize == pair->targetSize ? kStampSame : kStampSameTimeOtherSize;
}
