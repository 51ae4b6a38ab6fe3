// The date and time dialog, driven by its messages: the calendar it draws
// for known months, clicks on it, month and year changes, the time fields,
// and the clock seam, which receives the chosen time (the real clock is
// never set).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "AppState.h"
#include "fileops/AttrJob.h"
#include "tests/OwnWindow.h"
#include "tools/ClockDialog.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs `steps` on the dialog once it shows, from a timer of the modal loop.
std::function<void(HWND)> gSteps;
VOID CALLBACK DriveClock(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOwnWindow("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, kIdClockCalendar) || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    gSteps(dialog);
}
void WhenShown(std::function<void(HWND)> steps) {
    gSteps = std::move(steps);
    SetTimer(nullptr, 0, 30, DriveClock);
}

std::vector<SYSTEMTIME> gSet;
BOOL FakeSetClock(const SYSTEMTIME *time) {
    gSet.push_back(*time);
    return TRUE;
}
BOOL RefusingSetClock(const SYSTEMTIME *time) {
    gSet.push_back(*time);
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

DateTimeRecord Record(unsigned day, unsigned month, unsigned year) {
    DateTimeRecord r = {};
    r.day = (uint16_t)day;
    r.month = (uint16_t)month;
    r.year = (uint16_t)year;
    r.hour = 10;
    r.minute = 20;
    r.second = 30;
    r.firstWeekday = (uint16_t)DateWeekday(1, month, year);
    r.daysInMonth = (uint16_t)DateDaysInMonth(month, year);
    return r;
}

// The client point in the middle of a day's cell.
POINT DayPoint(HWND calendar, const DateTimeRecord &r, unsigned day) {
    RECT c;
    GetClientRect(calendar, &c);
    int w = c.right / 7, h = c.bottom / 7;
    int index = (int)day + r.firstWeekday - 2;
    return {index % 7 * w + w / 2, (index / 7 + 1) * h + h / 2};
}

void Click(HWND window, POINT at) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

void ChooseMonth(HWND dialog, int month) {
    SendDlgItemMessageA(dialog, kIdClockMonth, CB_SETCURSEL, month - 1, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdClockMonth, CBN_SELCHANGE),
                 (LPARAM)GetDlgItem(dialog, kIdClockMonth));
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        gApp = (AppState *)calloc(1, sizeof(AppState));
        gApp->hInstance = GetModuleHandleA(nullptr);
        gSet.clear();
        saved = gClockSetLocalTime;
        gClockSetLocalTime = FakeSetClock;
    }
    void TearDown() override {
        gClockSetLocalTime = saved;
        free(gApp);
        gApp = nullptr;
    }
    BOOL (*saved)(const SYSTEMTIME *);
};

// A calendar drawn into a bitmap: the chosen day's cell in the caption
// colour, text only in the cells of the month's days.
struct Canvas {
    static const int kCell = 40, kRow = 24;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    RECT rect = {0, 0, kCell * 7, kRow * 7};
    Canvas() {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, rect.right, rect.bottom);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // Pixels of the cell that differ from its fill colour.
    int Ink(int column, int row, COLORREF fill) {
        int n = 0;
        for (int y = row * kRow + 1; y < (row + 1) * kRow - 1; y++) {
            for (int x = column * kCell + 1; x < (column + 1) * kCell - 1; x++)
                n += GetPixel(dc, x, y) != fill;
        }
        return n;
    }
};

TEST_F(ClockTest, CalendarOfKnownMonths) {
    const struct {
        unsigned month, year, chosen;
        int firstColumn, days;
    } months[] = {
        {2, 2100, 15, 0, 28}, // starts on a Monday; no 29 February in 2100
        {2, 2000, 29, 1, 29}, // 2000 is a leap year
        {2, 2001, 1, 3, 28},
        {8, 2027, 31, 6, 31}, // starts on a Sunday: the sixth row is used
        {12, 2026, 11, 1, 31},
    };
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    const COLORREF window = GetSysColor(COLOR_WINDOW), face = GetSysColor(COLOR_BTNFACE),
                   caption = GetSysColor(COLOR_ACTIVECAPTION);
    for (const auto &m : months) {
        SCOPED_TRACE(testing::Message() << m.month << "/" << m.year);
        Canvas canvas;
        DateTimeRecord r = Record(m.chosen, m.month, m.year);
        ClockPaintCalendar(canvas.dc, &canvas.rect, &r, font);
        for (int column = 0; column < 7; column++) {
            EXPECT_EQ(GetPixel(canvas.dc, column * Canvas::kCell + 1, 1), face) << "day-name row";
            EXPECT_GT(canvas.Ink(column, 0, face), 0) << "day name " << column;
        }
        for (int cell = 0; cell < 42; cell++) {
            int day = cell - m.firstColumn + 1, column = cell % 7, row = cell / 7 + 1;
            bool inMonth = day >= 1 && day <= m.days;
            bool chosen = day == (int)m.chosen;
            COLORREF fill = chosen ? caption : window;
            EXPECT_EQ(GetPixel(canvas.dc, column * Canvas::kCell + 1, row * Canvas::kRow + 1), fill) << "cell " << cell;
            EXPECT_EQ(canvas.Ink(column, row, fill) > 0, inMonth) << "cell " << cell << " day " << day;
        }
    }
}

TEST_F(ClockTest, ClicksPickDaysOfTheMonthOnly) {
    DateTimeRecord r = Record(10, 2, 2100);
    const int w = 280, h = 168; // cells of 40 x 24
    EXPECT_EQ(ClockDayAt(&r, w, h, 5, 5), 0u) << "day-name row";
    EXPECT_EQ(ClockDayAt(&r, w, h, 5, 30), 1u) << "Monday 1 February 2100";
    EXPECT_EQ(ClockDayAt(&r, w, h, 6 * 40 + 5, 4 * 24 + 5), 28u);
    EXPECT_EQ(ClockDayAt(&r, w, h, 5, 5 * 24 + 5), 0u) << "the cell after the 28th is empty";
    EXPECT_EQ(ClockDayAt(&r, w, h, 3 * 40 + 5, 6 * 24 + 5), 0u) << "sixth row, empty";
    EXPECT_EQ(ClockDayAt(&r, w, h, 7 * 40 + 1, 30), 0u) << "right of the last column";
    DateTimeRecord aug = Record(1, 8, 2027);
    EXPECT_EQ(ClockDayAt(&aug, w, h, 5, 30), 0u) << "Monday before Sunday 1 August";
    EXPECT_EQ(ClockDayAt(&aug, w, h, 6 * 40 + 5, 30), 1u);
    EXPECT_EQ(ClockDayAt(&aug, w, h, 40 + 5, 6 * 24 + 5), 31u);
}

// The dialog on a record: month and year changes keep the day inside the
// month, clicks on the day-name row or an empty cell change nothing, a click
// on a day picks it, and OK hands back the fields.
TEST_F(ClockTest, DialogEditsTheRecordOnOk) {
    DateTimeRecord r = Record(31, 1, 2024);
    struct Seen {
        unsigned afterFebruary, afterYear, afterHeaderClick, afterEmptyClick, afterDayClick;
        bool calendarVisible;
    } seen = {};
    WhenShown([&](HWND dialog) {
        HWND calendar = GetDlgItem(dialog, kIdClockCalendar);
        DateTimeRecord *work = (DateTimeRecord *)GetWindowLongPtrA(calendar, GWLP_USERDATA);
        seen.calendarVisible = IsWindowVisible(calendar);
        ChooseMonth(dialog, 2);
        seen.afterFebruary = work->day; // 29: 2024 is a leap year
        SetDlgItemTextA(dialog, kIdClockYear, "2100");
        seen.afterYear = work->day; // 28
        Click(calendar, {3, 3});
        seen.afterHeaderClick = work->day;
        Click(calendar, DayPoint(calendar, *work, 35)); // past the 28th: an empty cell
        seen.afterEmptyClick = work->day;
        Click(calendar, DayPoint(calendar, *work, 9));
        seen.afterDayClick = work->day;
        SetDlgItemTextA(dialog, kIdClockHour, "23");
        SetDlgItemTextA(dialog, kIdClockMinute, "5");
        SetDlgItemTextA(dialog, kIdClockSecond, "59");
        PostMessageA(dialog, WM_COMMAND, 99, 0);
    });
    ASSERT_EQ(ClockPickDateTime(nullptr, &r), 1);
    EXPECT_TRUE(seen.calendarVisible);
    EXPECT_EQ(seen.afterFebruary, 29u);
    EXPECT_EQ(seen.afterYear, 28u);
    EXPECT_EQ(seen.afterHeaderClick, 28u);
    EXPECT_EQ(seen.afterEmptyClick, 28u);
    EXPECT_EQ(seen.afterDayClick, 9u);
    EXPECT_EQ(r.day, 9);
    EXPECT_EQ(r.month, 2);
    EXPECT_EQ(r.year, 2100);
    EXPECT_EQ(r.hour, 23);
    EXPECT_EQ(r.minute, 5);
    EXPECT_EQ(r.second, 59);
    EXPECT_EQ(r.firstWeekday, 1);
    EXPECT_EQ(r.daysInMonth, 28);
}

// Cancel leaves the record as it was; a time out of range keeps the dialog
// open until it is mended.
TEST_F(ClockTest, CancelKeepsTheRecordAndBadTimesAreRefused) {
    DateTimeRecord r = Record(3, 5, 2030), before = r;
    WhenShown([](HWND dialog) {
        ChooseMonth(dialog, 7);
        SetDlgItemTextA(dialog, kIdClockHour, "1");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(ClockPickDateTime(nullptr, &r), 0);
    EXPECT_EQ(memcmp(&r, &before, sizeof r), 0);

    bool stayedOpen = false;
    WhenShown([&](HWND dialog) {
        SetDlgItemTextA(dialog, kIdClockMinute, "75");
        SendMessageA(dialog, WM_COMMAND, 99, 0);
        stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        SetDlgItemTextA(dialog, kIdClockMinute, "45");
        PostMessageA(dialog, WM_COMMAND, 99, 0);
    });
    EXPECT_EQ(ClockPickDateTime(nullptr, &r), 1);
    EXPECT_TRUE(stayedOpen) << "minute 75 is refused";
    EXPECT_EQ(r.minute, 45);
}

// The clock command starts at the current time, and the seam receives
// the date and time chosen; "Current" returns to today.
TEST_F(ClockTest, ClockCommandHandsTheChosenTimeToTheSeam) {
    SYSTEMTIME today;
    GetLocalTime(&today);
    struct {
        unsigned month, year;
        unsigned monthAfterNow;
    } seen = {};
    WhenShown([&](HWND dialog) {
        HWND calendar = GetDlgItem(dialog, kIdClockCalendar);
        DateTimeRecord *work = (DateTimeRecord *)GetWindowLongPtrA(calendar, GWLP_USERDATA);
        seen.month = work->month;
        seen.year = work->year;
        ChooseMonth(dialog, today.wMonth == 3 ? 4 : 3);
        SendMessageA(dialog, WM_COMMAND, kIdClockNow, 0);
        seen.monthAfterNow = work->month;
        ChooseMonth(dialog, 3);
        SetDlgItemTextA(dialog, kIdClockYear, "2100");
        Click(calendar, DayPoint(calendar, *work, 1));
        SetDlgItemTextA(dialog, kIdClockHour, "7");
        SetDlgItemTextA(dialog, kIdClockMinute, "8");
        SetDlgItemTextA(dialog, kIdClockSecond, "9");
        PostMessageA(dialog, WM_COMMAND, 99, 0);
    });
    gApp->clockMinute = 12;
    ClockCommand(nullptr);
    EXPECT_EQ(seen.month, today.wMonth);
    EXPECT_EQ(seen.year, today.wYear);
    EXPECT_EQ(seen.monthAfterNow, today.wMonth);
    ASSERT_EQ(gSet.size(), 1u);
    const SYSTEMTIME &t = gSet[0];
    EXPECT_EQ(t.wYear, 2100);
    EXPECT_EQ(t.wMonth, 3);
    EXPECT_EQ(t.wDay, 1);
    EXPECT_EQ(t.wDayOfWeek, 1) << "Monday";
    EXPECT_EQ(t.wHour, 7);
    EXPECT_EQ(t.wMinute, 8);
    EXPECT_EQ(t.wSecond, 9);
    EXPECT_EQ(gApp->clockMinute, 255) << "the clock pane is rewritten";

    // Cancel: the seam is not called.
    WhenShown([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    ClockCommand(nullptr);
    EXPECT_EQ(gSet.size(), 1u);
}

// A refused clock is reported with the system's text, never taken as done.
BOOL CALLBACK CollectText(HWND child, LPARAM data) {
    char text[512] = "";
    GetWindowTextA(child, text, sizeof text);
    *(std::string *)data += text;
    return TRUE;
}
bool gReportSeen;
VOID CALLBACK CloseReport(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindOwnWindow("#32770", nullptr);
    if (!box || GetDlgItem(box, kIdClockCalendar) || !IsWindowVisible(box))
        return;
    std::string all;
    EnumChildWindows(box, CollectText, (LPARAM)&all);
    gReportSeen = all.find("could not be set") != std::string::npos;
    KillTimer(nullptr, timer);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(ClockTest, RefusedClockIsReported) {
    gClockSetLocalTime = RefusingSetClock;
    gReportSeen = false;
    WhenShown([](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, 99, 0);
        SetTimer(nullptr, 0, 30, CloseReport);
    });
    ClockCommand(nullptr);
    EXPECT_EQ(gSet.size(), 1u);
    EXPECT_TRUE(gReportSeen);
}

TEST_F(ClockTest, AttributesPickerIsTheClockDialog) { EXPECT_EQ(gAttrDatePicker, ClockPickDateTime); }

} // namespace
