#include "tools/ClockDialog.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"

namespace {

const char kCalendarOldProc[] = "ZqClockOld";

// What the dialog edits: a copy of the caller's record, written back on OK.
struct ClockState {
    DateTimeRecord work;
    bool filling; // the fields are being set from the record: no EN_CHANGE echo
};

ClockState *StateOf(HWND dialog) { return (ClockState *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

void FillFromNow(DateTimeRecord *r) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    r->day = now.wDay;
    r->month = now.wMonth;
    r->year = now.wYear;
    r->hour = now.wHour;
    r->minute = now.wMinute;
    r->second = now.wSecond;
}

// The two words that describe the month follow the date; a day beyond the
// month's end becomes its last day.
void UpdateMonth(DateTimeRecord *r) {
    r->daysInMonth = (uint16_t)DateDaysInMonth(r->month, r->year);
    if (r->day > r->daysInMonth)
        r->day = r->daysInMonth;
    if (r->day < 1)
        r->day = 1;
    r->firstWeekday = (uint16_t)DateWeekday(1, r->month, r->year);
}

// A record the dialog cannot show (no day, a month or year outside the
// calendar) starts at the current time; out-of-range time words become 0.
void Normalise(DateTimeRecord *r) {
    if (r->day == 0 || r->month < 1 || r->month > 12 || r->year < 1980 || r->year > 9999)
        FillFromNow(r);
    if (r->hour > 23)
        r->hour = 0;
    if (r->minute > 59)
        r->minute = 0;
    if (r->second > 59)
        r->second = 0;
    UpdateMonth(r);
}

void CellRect(const RECT *rect, int column, int row, RECT *cell) {
    int w = (rect->right - rect->left) / 7, h = (rect->bottom - rect->top) / 7;
    cell->left = rect->left + column * w;
    cell->top = rect->top + row * h;
    cell->right = cell->left + w;
    cell->bottom = cell->top + h;
}

void InvalidateDay(HWND calendar, const DateTimeRecord *r, unsigned day) {
    if (!day)
        return;
    RECT client, cell;
    GetClientRect(calendar, &client);
    int index = (int)day + (int)r->firstWeekday - 2;
    CellRect(&client, index % 7, index / 7 + 1, &cell);
    InvalidateRect(calendar, &cell, FALSE);
}

LRESULT CALLBACK CalendarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC old = (WNDPROC)GetPropA(window, kCalendarOldProc);
    DateTimeRecord *r = (DateTimeRecord *)GetWindowLongPtrA(window, GWLP_USERDATA);
    switch (message) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        if (r)
            ClockPaintCalendar(dc, &client, r, (HFONT)SendMessageA(GetParent(window), WM_GETFONT, 0, 0));
        EndPaint(window, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        RECT client;
        GetClientRect(window, &client);
        unsigned day = r ? ClockDayAt(r, client.right, client.bottom, (short)LOWORD(lParam),
                                      (short)HIWORD(lParam))
                         : 0;
        if (day && day != r->day) {
            unsigned old = r->day;
            r->day = (uint16_t)day;
            InvalidateDay(window, r, old);
            InvalidateDay(window, r, day);
        }
        return 0;
    }
    case WM_NCDESTROY:
        RemovePropA(window, kCalendarOldProc);
        break;
    }
    return old ? CallWindowProcA(old, window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

void ShowFields(HWND dialog, ClockState *s) {
    s->filling = true;
    SendDlgItemMessageA(dialog, kIdClockMonth, CB_SETCURSEL, s->work.month - 1, 0);
    SetDlgItemInt(dialog, kIdClockYear, s->work.year, FALSE);
    SetDlgItemInt(dialog, kIdClockHour, s->work.hour, FALSE);
    SetDlgItemInt(dialog, kIdClockMinute, s->work.minute, FALSE);
    SetDlgItemInt(dialog, kIdClockSecond, s->work.second, FALSE);
    s->filling = false;
    InvalidateRect(GetDlgItem(dialog, kIdClockCalendar), nullptr, FALSE);
}

void Localise(HWND dialog) {
    static const int kPairs[][2] = {{99, Txt::butOK},           {IDCANCEL, Txt::butCancel},
                                    {kIdClockNow, Txt::dlgClockNow}, {kIdClockDateLabel, Txt::textDate},
                                    {kIdClockTimeLabel, Txt::textTime}};
    DlgSetTexts(dialog, Txt::dlgClock, kPairs);
}

void OnInit(HWND dialog, ClockState *s) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)s);
    WndCenter(dialog);
    Localise(dialog);
    HWND calendar = GetDlgItem(dialog, kIdClockCalendar);
    SetWindowLongPtrA(calendar, GWLP_USERDATA, (LONG_PTR)&s->work);
    SetPropA(calendar, kCalendarOldProc, (HANDLE)SetWindowLongPtrA(calendar, GWLP_WNDPROC, (LONG_PTR)CalendarProc));
    HWND months = GetDlgItem(dialog, kIdClockMonth);
    for (WORD m = 1; m <= 12; m++) {
        SYSTEMTIME t = {};
        t.wYear = 2001;
        t.wMonth = m;
        t.wDay = 1;
        char name[64];
        if (!GetDateFormatA(LOCALE_USER_DEFAULT, 0, &t, "MMMM", name, sizeof name))
            snprintf(name, sizeof name, "%u", (unsigned)m);
        SendMessageA(months, CB_ADDSTRING, 0, (LPARAM)name);
    }
    const struct {
        int spin, low, high;
    } kSpins[] = {{kIdClockYearSpin, 1980, 9999}, {kIdClockHourSpin, 0, 23}, {kIdClockMinuteSpin, 0, 59},
                  {kIdClockSecondSpin, 0, 59}};
    for (const auto &spin : kSpins)
        SendDlgItemMessageA(dialog, spin.spin, UDM_SETRANGE32, spin.low, spin.high);
    SendDlgItemMessageA(dialog, kIdClockYear, EM_LIMITTEXT, 4, 0);
    for (int id : {kIdClockHour, kIdClockMinute, kIdClockSecond})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 2, 0);
    Normalise(&s->work);
    ShowFields(dialog, s);
}

void OnMonth(HWND dialog, ClockState *s) {
    int sel = (int)SendDlgItemMessageA(dialog, kIdClockMonth, CB_GETCURSEL, 0, 0);
    if (sel < 0 || sel > 11)
        return;
    s->work.month = (uint16_t)(sel + 1);
    UpdateMonth(&s->work);
    InvalidateRect(GetDlgItem(dialog, kIdClockCalendar), nullptr, FALSE);
}

// A year being typed ("2", "20", ...) is not a year yet: the calendar keeps
// the last one in range.
void OnYear(HWND dialog, ClockState *s) {
    BOOL ok = FALSE;
    UINT year = GetDlgItemInt(dialog, kIdClockYear, &ok, FALSE);
    if (!ok || year < 1980 || year > 9999 || year == s->work.year)
        return;
    s->work.year = (uint16_t)year;
    UpdateMonth(&s->work);
    InvalidateRect(GetDlgItem(dialog, kIdClockCalendar), nullptr, FALSE);
}

// Reads one time field; a value out of range keeps the dialog open with the
// field selected.
bool ReadTimeField(HWND dialog, int id, unsigned high, uint16_t *out) {
    BOOL ok = FALSE;
    UINT value = GetDlgItemInt(dialog, id, &ok, FALSE);
    if (!ok || value > high) {
        MessageBeep(MB_ICONHAND);
        HWND field = GetDlgItem(dialog, id);
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, 0, -1);
        return false;
    }
    *out = (uint16_t)value;
    return true;
}

void OnOk(HWND dialog, ClockState *s) {
    DateTimeRecord r = s->work;
    BOOL ok = FALSE;
    UINT year = GetDlgItemInt(dialog, kIdClockYear, &ok, FALSE);
    if (!ok || year < 1980 || year > 9999) {
        MessageBeep(MB_ICONHAND);
        HWND field = GetDlgItem(dialog, kIdClockYear);
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, 0, -1);
        return;
    }
    if (!ReadTimeField(dialog, kIdClockHour, 23, &r.hour) || !ReadTimeField(dialog, kIdClockMinute, 59, &r.minute) ||
        !ReadTimeField(dialog, kIdClockSecond, 59, &r.second))
        return;
    s->work = r;
    EndDialog(dialog, 1);
}

} // namespace

void ClockPaintCalendar(HDC dc, const RECT *rect, const DateTimeRecord *r, HFONT font) {
    RECT top, rest;
    CellRect(rect, 0, 0, &top);
    top.right = rect->right;
    rest = *rect;
    rest.top = top.bottom;
    FillRect(dc, &top, GetSysColorBrush(COLOR_BTNFACE));
    FillRect(dc, &rest, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    // Day names Monday to Sunday: 1 January 2001 was a Monday.
    for (int column = 0; column < 7; column++) {
        SYSTEMTIME t = {};
        t.wYear = 2001;
        t.wMonth = 1;
        t.wDay = (WORD)(1 + column);
        char name[32];
        if (!GetDateFormatA(LOCALE_USER_DEFAULT, 0, &t, "ddd", name, sizeof name))
            name[0] = 0;
        RECT cell;
        CellRect(rect, column, 0, &cell);
        DrawTextA(dc, name, -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    int first = 2 - (int)r->firstWeekday;
    for (int row = 0; row < 6; row++) {
        for (int column = 0; column < 7; column++) {
            int day = first + row * 7 + column;
            if (day < 1 || day > (int)r->daysInMonth)
                continue;
            RECT cell;
            CellRect(rect, column, row + 1, &cell);
            bool chosen = day == (int)r->day;
            if (chosen)
                FillRect(dc, &cell, GetSysColorBrush(COLOR_ACTIVECAPTION));
            SetTextColor(dc, chosen ? GetSysColor(COLOR_CAPTIONTEXT) : RGB(0, 0, 0));
            char number[8];
            snprintf(number, sizeof number, "%d", day);
            DrawTextA(dc, number, -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    }
    if (oldFont)
        SelectObject(dc, oldFont);
}

unsigned ClockDayAt(const DateTimeRecord *r, int width, int height, int x, int y) {
    int cellWidth = width / 7, cellHeight = height / 7;
    if (cellWidth <= 0 || cellHeight <= 0 || x < 0 || y < 0 || x >= cellWidth * 7)
        return 0;
    int column = x / cellWidth, row = y / cellHeight - 1;
    if (row < 0 || row > 5)
        return 0;
    int day = column + row * 7 - (int)r->firstWeekday + 2;
    return day >= 1 && day <= (int)r->daysInMonth ? (unsigned)day : 0;
}

INT_PTR CALLBACK ClockDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ClockState *s = StateOf(dialog);
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, (ClockState *)lParam);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        // The year field keeps the window colour, also when read-only.
        if ((HWND)lParam == GetDlgItem(dialog, kIdClockYear)) {
            SetBkColor((HDC)wParam, GetSysColor(COLOR_WINDOW));
            return (INT_PTR)GetSysColorBrush(COLOR_WINDOW);
        }
        return FALSE;
    case WM_COMMAND:
        if (!s)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kIdClockNow:
            FillFromNow(&s->work);
            UpdateMonth(&s->work);
            ShowFields(dialog, s);
            return TRUE;
        case kIdClockMonth:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                OnMonth(dialog, s);
            return TRUE;
        case kIdClockYear:
            if (HIWORD(wParam) == EN_CHANGE && !s->filling)
                OnYear(dialog, s);
            return TRUE;
        case IDOK:
        case 99:
            OnOk(dialog, s);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int ClockPickDateTime(HWND owner, DateTimeRecord *record) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
    ClockState state = {};
    state.work = *record;
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgClock), owner, ClockDialogProc, (LPARAM)&state) != 1)
        return 0;
    *record = state.work;
    return 1;
}

static BOOL SetClockWithPrivilege(const SYSTEMTIME *time) {
    // On NT the caller's token must hold the system-time privilege enabled.
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES p = {};
        p.PrivilegeCount = 1;
        p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &p.Privileges[0].Luid))
            AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    return SetLocalTime(time);
}

BOOL (*gClockSetLocalTime)(const SYSTEMTIME *time) = SetClockWithPrivilege;

void ClockCommand(HWND owner) {
    DateTimeRecord r = {};
    if (ClockPickDateTime(owner, &r) != 1)
        return;
    SYSTEMTIME t = {};
    t.wYear = r.year;
    t.wMonth = r.month;
    t.wDay = r.day;
    t.wDayOfWeek = (WORD)(DateWeekday(r.day, r.month, r.year) % 7); // Sunday 0
    t.wHour = r.hour;
    t.wMinute = r.minute;
    t.wSecond = r.second;
    if (!gClockSetLocalTime(&t)) {
        DWORD error = GetLastError();
        char system[400] = "", text[600];
        if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system,
                            sizeof system, nullptr))
            snprintf(system, sizeof system, "%lu", (unsigned long)error);
        TextFormat(text, sizeof text, Txt::errClockSet, system);
        MsgBox(owner, text, gWindowTitle, MB_OK | MB_ICONSTOP);
    }
    if (gApp) {
        gApp->clockDate = 0;
        gApp->clockMinute = 255;
    }
}
