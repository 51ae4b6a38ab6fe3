// The calendar rules of the date and time dialog.
#include <gtest/gtest.h>

#include "base/DateTime.h"

namespace {

TEST(Calendar, DaysInMonth) {
    const struct {
        unsigned month, year, days;
    } cases[] = {
        {2, 2000, 29}, {2, 2001, 28}, {2, 2004, 29}, {2, 1900, 28}, {2, 2100, 28}, // centuries: only by 400
        {2, 2400, 29}, {1, 2026, 31}, {4, 2026, 30}, {12, 9999, 31}, {0, 2000, 0},  {13, 2000, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DateDaysInMonth(c.month, c.year), c.days) << c.month << "/" << c.year;
}

TEST(Calendar, Weekday) {
    const struct {
        unsigned day, month, year, weekday;
    } cases[] = {
        {1, 1, 1980, 2},  {1, 1, 2001, 1}, {11, 12, 2026, 5}, {29, 2, 2004, 7}, {1, 2, 2100, 1},
        {28, 2, 2100, 7}, {1, 3, 2100, 1}, {1, 8, 2027, 7},   {31, 12, 9999, 5},
        {29, 2, 2100, 0}, // no such day
        {1, 1, 1979, 0},  {1, 1, 10000, 0}, {0, 1, 2000, 0}, {1, 13, 2000, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DateWeekday(c.day, c.month, c.year), c.weekday) << c.day << "." << c.month << "." << c.year;
}

} // namespace
