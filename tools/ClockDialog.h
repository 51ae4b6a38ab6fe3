// The date and time dialog (template 12600): a month calendar the program
// draws itself, with month, year and time fields. The clock command sets the
// system's local time from it; the attributes dialog uses it as its picker.
#pragma once

#include <windows.h>

#include "base/DateTime.h"

enum : int {
    kDlgClock = 12600,
    kIdClockHour = 12602, kIdClockMinute = 12603, kIdClockSecond = 12605,
    kIdClockMonth = 12607, kIdClockYear = 12608, kIdClockCalendar = 12610, kIdClockNow = 12611,
    kIdClockDateLabel = 12612, kIdClockTimeLabel = 12613,
    kIdClockHourSpin = 12622, kIdClockMinuteSpin = 12623, kIdClockSecondSpin = 12625, kIdClockYearSpin = 12628,
};

// Runs the dialog modally on a copy of the record: 1 on OK with the record
// holding the choice (its last two words describe the chosen month), 0 on
// Cancel with the record as it was. A record whose day is 0, or that holds
// no valid date, starts at the current local date and time.
int ClockPickDateTime(HWND owner, DateTimeRecord *record);
INT_PTR CALLBACK ClockDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Command 306: the dialog from the current time; on OK the system's local
// time is set through gClockSetLocalTime and the clock pane is rewritten. A
// refusal is shown with the system's text.
void ClockCommand(HWND owner);
// Sets the local time (SetLocalTime with the privilege it needs on NT);
// FALSE with GetLastError on failure. Tests replace it: they never set the
// real clock.
extern BOOL (*gClockSetLocalTime)(const SYSTEMTIME *time);

// Paints the calendar of the record's month into rect (day names on the top
// row, six rows of days, the chosen day highlighted).
void ClockPaintCalendar(HDC dc, const RECT *rect, const DateTimeRecord *record, HFONT font);
// The day a click at (x, y) inside a calendar of the given size picks; 0
// for the day-name row, an empty cell or outside.
unsigned ClockDayAt(const DateTimeRecord *record, int width, int height, int x, int y);
