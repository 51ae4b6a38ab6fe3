#include "app/bars/StatusBar.h"

#include <string.h>

#include "AppState.h"
#include "app/bars/BarLayout.h"
#include "app/bars/Bars.h"
#include "app/bars/CommandLine.h"
#include "app/bars/FunctionKeys.h"
#include "wingui/GuiDraw.h"
#include "app/Language.h"
#include "app/Menus.h"
#include "base/Strings.h"
#include "fileops/CopyJob.h"
#include "panels/PanelStatus.h"

static char gHint[64];
static char gBuffers[9][71];
static int gLastHintId = -1;

static StatusField gMainFields[] = {
    {10, 0x14, 0, 70, 0, 7, nullptr, nullptr, 0, 0, 0, 0},
    {11, 0x2C, 2, 15, 0, 8, nullptr, nullptr, 0, 0, 0, 0},
    {12, 0x2C, 2, 8, 0, 9, nullptr, nullptr, 0, 0, 0, 0},
    {13, 0x2C, 2, 8, 0, 10, nullptr, nullptr, 0, 0, 0, 0},
    {0, 0x0A, 2, 0, 0, 0, nullptr, nullptr, 0, 0, 0, 0},
    {15, 0x2C, 2, 12, 0, 11, nullptr, nullptr, 0, 0, 0, 0},
    {16, 0x2C, 0, 11, 0, 11, nullptr, nullptr, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, 0},
};
static StatusField gLeftFields[] = {
    {17, 0x14, 0, 70, 0, 6, nullptr, nullptr, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, 0},
};
static StatusField gRightFields[] = {
    {18, 0x14, 0, 70, 0, 6, nullptr, nullptr, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, 0},
};
static StatusField *const gTables[3] = {gMainFields, gLeftFields, gRightFields};

#define ITEM(id) {id, 0, 0, nullptr, ""}
#define POPUP(id, items) {id, 0, 0, items, ""}
#define SEP {-1, 0, 0, nullptr, ""}
#define END {0, 0, 0, nullptr, ""}
static MenuItemDef gBarSub[] = {ITEM(402), ITEM(902), END};
static MenuItemDef gMenuKind6[] = {ITEM(402), ITEM(902), END};
static MenuItemDef gMenuKind7[] = {ITEM(29000), ITEM(101), ITEM(104), ITEM(105), ITEM(106), ITEM(107),
                                   ITEM(108),   ITEM(109), SEP,       ITEM(114), ITEM(115), SEP,
                                   POPUP(954, gBarSub),    END};
static MenuItemDef gMenuKind8[] = {ITEM(204), ITEM(206), ITEM(207), ITEM(208), SEP,  ITEM(213),
                                   ITEM(214), ITEM(219), SEP,       ITEM(209), ITEM(210), ITEM(218),
                                   SEP,       POPUP(954, gBarSub),  END};
static MenuItemDef gMenuKind9[] = {ITEM(501), ITEM(502), ITEM(503), ITEM(504), ITEM(505), ITEM(507), SEP,
                                   ITEM(515), ITEM(516), ITEM(517), ITEM(518), SEP, POPUP(954, gBarSub), END};
static MenuItemDef gMenuKind10[] = {ITEM(601), ITEM(602), ITEM(603), ITEM(604), ITEM(605), ITEM(607), SEP,
                                    ITEM(615), ITEM(616), ITEM(617), ITEM(618), SEP, POPUP(954, gBarSub), END};
static MenuItemDef gMenuKind11[] = {ITEM(306), SEP, ITEM(402), ITEM(902), END};
#undef ITEM
#undef POPUP
#undef SEP
#undef END

static MenuItemDef *MenuOfKind(int kind) {
    switch (kind) {
    case 7:
        return gMenuKind7;
    case 8:
        return gMenuKind8;
    case 9:
        return gMenuKind9;
    case 10:
        return gMenuKind10;
    case 11:
        return gMenuKind11;
    }
    return gMenuKind6;
}

static HFONT StatusFont() {
    if (gApp->fontStatus)
        return gApp->fontStatus;
    return gApp->fontGui ? gApp->fontGui : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
}

int StatusFontLineHeight() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, StatusFont());
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return (tm.tmHeight < 0 ? -tm.tmHeight : tm.tmHeight) + tm.tmExternalLeading;
}

int StatusBarGetHeight(int which) {
    if (!gApp || which < 0 || which > 2 || !gApp->statusBars[which])
        return 0;
    return StatusFontLineHeight() + 4;
}

int StatusBarPanelHeight() {
    if (!gApp || (!gApp->statusBars[1] && !gApp->statusBars[2]))
        return 0;
    if (gApp->panelOff[0] && gApp->panelOff[1])
        return 0;
    return StatusFontLineHeight() + 4;
}

StatusField *StatusFieldFind(int id) {
    if (id == 17)
        return &gLeftFields[0];
    if (id == 18)
        return &gRightFields[0];
    if (!gApp || !gApp->statusBars[0])
        return nullptr;
    for (StatusField *f = gMainFields; f->flags; f++) {
        if (f->id == id && id != 0)
            return f;
    }
    return nullptr;
}

static int WhichOf(HWND window) {
    for (int which = 0; which < 3; which++) {
        if (gApp->statusBars[which] && (window == gApp->statusBars[which] || GetParent(window) == gApp->statusBars[which]))
            return which;
    }
    return 0;
}

static void FontCommand(HWND window) {
    if (!FontChooseSimple(window, &gApp->fonts[kFontStatus]))
        return;
    if (gApp->fontStatus)
        DeleteObject(gApp->fontStatus);
    gApp->fontStatus = CreateFontIndirectA(&gApp->fonts[kFontStatus]);
    PostMessageA(gMainWindow, WM_SIZE, SIZE_RESTORED, 0);
    StatusBarsRepaint();
}

static void BarCommand(HWND window, WPARAM wParam) {
    int id = LOWORD(wParam);
    if (id == 402)
        FontCommand(window);
    else if (id == 902)
        PostMessageA(gMainWindow, WM_COMMAND, WhichOf(window) ? 246 : 243, 0);
    else if (gMainWindow)
        PostMessageA(gMainWindow, WM_COMMAND, wParam, 0);
}

static LRESULT CALLBACK StatusFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    StatusField *field = (StatusField *)GetWindowLongPtrA(window, GWLP_USERDATA);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        if (field && (field->flags & kFieldSeparator)) {
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
        } else if (field && field->text && field->text[0]) {
            UINT align = (field->flags & kFieldCentred) ? DT_CENTER : (field->flags & kFieldRightAlign) ? DT_RIGHT : DT_LEFT;
            WndDrawTextBuffered(field->text, dc, &r, StatusFont(), GetSysColorBrush(COLOR_BTNFACE),
                                GetSysColor(COLOR_BTNTEXT), align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        } else {
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_CONTEXTMENU:
        RenameInlineFinish();
        MenuPopupFromTable(window, MenuOfKind(field ? field->menuKind : 6));
        return 0;
    case WM_COMMAND:
        BarCommand(window, wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT CALLBACK StatusBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        if (window == gApp->statusBars[0] && gHint[0]) {
            HGDIOBJ old = SelectObject(dc, StatusFont());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            r.left += 5;
            DrawTextA(dc, gHint, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            SelectObject(dc, old);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_USER + 1:
        StatusBarsRepaint();
        return 0;
    case WM_CONTEXTMENU:
        RenameInlineFinish();
        MenuPopupFromTable(window, gMenuKind6);
        return 0;
    case WM_COMMAND:
        BarCommand(window, wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void StatusBarCreate(HWND parent, int which) {
    if (which < 0 || which > 2 || gApp->statusBars[which])
        return;
    int buffer = which == 0 ? 0 : 6 + which;
    for (StatusField *f = gTables[which]; f->flags; f++) {
        if (f->flags & kFieldText)
            f->text = gBuffers[buffer++];
    }
    HWND bar = BarCreateWindow("SB", StatusBarWndProc, parent);
    if (!bar || !BarRegisterClass("SF", StatusFieldProc, CS_SAVEBITS))
        return;
    gApp->statusBars[which] = bar;
    for (StatusField *f = gTables[which]; f->flags; f++) {
        f->window = CreateWindowExA(WS_EX_STATICEDGE, "SF", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, bar, nullptr,
                                    gApp->hInstance, nullptr);
        if (f->window)
            SetWindowLongPtrA(f->window, GWLP_USERDATA, (LONG_PTR)f);
    }
}

void StatusBarDestroy(int which) {
    if (which < 0 || which > 2 || !gApp->statusBars[which])
        return;
    DestroyWindow(gApp->statusBars[which]);
    gApp->statusBars[which] = nullptr;
    for (StatusField *f = gTables[which]; f->flags; f++)
        f->window = nullptr;
}

static int SampleWidth(HDC dc, const char *text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    return size.cx + 10;
}

static void MeasureSamples() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, StatusFont());
    char text[80];
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (StatusField *f = gMainFields; f->flags; f++) {
        text[0] = 0;
        switch (f->id) {
        case 11:
            lstrcpyA(text, "000000000000");
            break;
        case 15:
            if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, text, sizeof text - 2))
                text[0] = 0;
            StrAppend(text, "0", sizeof text);
            break;
        case 16:
            if (!GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, &now, nullptr, text, sizeof text - 2))
                text[0] = 0;
            StrAppend(text, "W", sizeof text);
            break;
        case 12:
        case 13:
            TextGet(4008, text, sizeof text - 4);
            StrAppend(text, "L-X", sizeof text);
            break;
        default:
            continue;
        }
        f->width = (uint16_t)SampleWidth(dc, text);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
}

void StatusBarLayout(int which) {
    if (which < 0 || which > 2 || !gApp->statusBars[which])
        return;
    int t = StatusFontLineHeight();
    int w = gApp->clientWidth, h = gApp->clientHeight;
    int x = 0, y, width = w, height = t + 4;
    if (which == 0) {
        y = h - t - 4;
        MeasureSamples();
    } else {
        y = h - StatusBarGetHeight(0) - CmdLineGetHeight() - KeyBarGetHeight() - (t + 4);
        bool on0 = !gApp->panelOff[0], on1 = !gApp->panelOff[1];
        int split = gApp->splitterPos;
        if (on0 && on1) {
            x = which == 1 ? 0 : split + 2;
            width = which == 1 ? split - 2 : w - (split + 2);
        } else if (on0 || on1) {
            bool mine = which == 1 ? on0 : on1;
            width = mine ? w : 0;
        } else {
            width = height = 0;
        }
    }
    // Bars move without their old bits: what was above them would stay.
    SetWindowPos(gApp->statusBars[which], nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    StatusFieldLayout layout[8] = {};
    int n = 0;
    for (StatusField *f = gTables[which]; f->flags && n < 7; f++, n++)
        layout[n] = StatusFieldLayout{f->flags, f->gap, f->width, 0, 0, 0, 0};
    StatusFieldsPlace(layout, width, t);
    n = 0;
    for (StatusField *f = gTables[which]; f->flags && n < 7; f++, n++) {
        f->left = layout[n].left;
        f->right = layout[n].right;
        f->top = layout[n].top;
        f->bottom = layout[n].bottom;
        // No bits are carried along: a field moved onto a neighbour's old
        // place would otherwise keep pieces of the neighbour's text.
        if (f->window)
            SetWindowPos(f->window, nullptr, f->left, f->top, f->right - f->left, f->bottom - f->top,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    }
    PanelUpdateStatusLine();
}

void StatusBarSetText(int id, const char *text) {
    StatusField *f = StatusFieldFind(id);
    if (!f || !f->text || !text)
        return;
    if (id == 17 || id == 18)
        lstrcpynA(f->text, text, f->capacity + 1);
    else
        StrShorten(text, f->capacity, f->text);
    if (f->window)
        InvalidateRect(f->window, nullptr, FALSE);
}

void StatusBarMenuHelp(int textId) {
    HWND bar = gApp ? gApp->statusBars[0] : nullptr;
    if (!bar)
        return;
    gHint[0] = 0;
    if (textId > 92)
        TextGet(textId, gHint, sizeof gHint);
    if (textId != gLastHintId)
        InvalidateRect(bar, nullptr, FALSE);
    gLastHintId = textId;
    for (StatusField *f = gMainFields; f->flags; f++) {
        if (f->window)
            ShowWindow(f->window, gHint[0] ? SW_HIDE : SW_SHOWNA);
    }
}

void StatusBarsRepaint() {
    for (int which = 0; which < 3; which++) {
        if (!gApp->statusBars[which])
            continue;
        InvalidateRect(gApp->statusBars[which], nullptr, FALSE);
        for (StatusField *f = gTables[which]; f->flags; f++) {
            if (f->window)
                InvalidateRect(f->window, nullptr, FALSE);
        }
    }
    if (gMainWindow)
        InvalidateRect(gMainWindow, nullptr, FALSE);
}
