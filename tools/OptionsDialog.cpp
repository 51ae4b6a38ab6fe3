#include "tools/OptionsDialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "app/Settings.h"
#include "base/Texts.h"
#include "tools/RunServices.h"
#include "wingui/GuiDraw.h"
#include "wingui/WindowUtil.h"

void (*gOptProgramListsChanged)();

namespace {

enum Word { kConfirm, kPanel, kBar, kName, kGeneral, kMore };

uint32_t Get(const OptionWordsEdit *w, int word) {
    switch (word) {
    case kConfirm: return w->confirmFlags;
    case kPanel: return w->panelOptions;
    case kBar: return w->barOptions;
    case kName: return w->nameCase;
    case kGeneral: return w->generalOptions;
    default: return w->moreOptions;
    }
}

void Put(OptionWordsEdit *w, int word, uint32_t value) {
    switch (word) {
    case kConfirm: w->confirmFlags = (uint16_t)value; break;
    case kPanel: w->panelOptions = (uint16_t)value; break;
    case kBar: w->barOptions = (uint16_t)value; break;
    case kName: w->nameCase = (uint16_t)value; break;
    case kGeneral: w->generalOptions = value; break;
    default: w->moreOptions = value; break;
    }
}

// A check box owns one bit; `inverted` sets the bit when unchecked.
const struct {
    int id, word;
    uint32_t bit;
    bool inverted;
} kBoxes[] = {
    {11851, kPanel, 0x1000, false},     {11852, kPanel, 0x2000, false},   {11856, kPanel, 0x40, true},
    {11854, kPanel, 0x4000, false},     {11853, kBar, 0x200, false},      {11801, kPanel, 0x1, false},
    {11802, kPanel, 0x2, false},        {11803, kPanel, 0x4, false},      {11805, kPanel, 0x10, false},
    {11855, kPanel, 0x8000, false},     {11810, kConfirm, 0x1, false},    {11811, kConfirm, 0x2, false},
    {11812, kConfirm, 0x4, false},      {11820, kConfirm, 0x8, false},    {11821, kConfirm, 0x10, false},
    {11807, kGeneral, 0x1, false},      {11808, kGeneral, 0x2, false},    {11827, kGeneral, 0x800000, false},
    {11825, kGeneral, 0x20, false},     {11833, kGeneral, 0x1000000, false}, {11837, kGeneral, 0x40000000, false},
    {11838, kMore, 0x80000, false},     {11809, kGeneral, 0x10, false},   {11844, kPanel, 0x800, false},
};

// A radio group owns the bits of its mask; each button stands for a value
// of them. The first button is the choice when the word matches none.
struct Radio {
    int id;
    uint32_t value;
};
const struct RadioGroup {
    int word;
    uint32_t mask;
    Radio buttons[5];
    int count;
} kGroups[] = {
    {kName, 0xFFFF, {{12901, 0}, {12902, 1}, {12903, 2}, {12904, 3}, {12905, 4}}, 5},
    {kPanel, 0x280, {{11839, 0}, {11828, 0x200}, {11829, 0x280}}, 3},
    {kGeneral, 0x80, {{11835, 0x80}, {11836, 0}}, 2},
    {kPanel, 0x500, {{11842, 0}, {11841, 0x100}, {11843, 0x400}}, 3},
    {kMore, 0x60000, {{kIdFindWindows, 0}, {kIdFindTool, 0x20000}, {kIdFindExternal, 0x40000}}, 3},
};

// Page titles in list order, then each page's controls.
const int kPageTitles[kOptionPageCount] = {11850, 12900, 11800, 11830, 11831, 12040, 11834, 11840, 11900, 11901};
const int kPage0[] = {11851, 11852, 11856, 11854, 11853, 0};
const int kPage1[] = {12901, 12902, 12903, 12904, 12905, 0};
const int kPage2[] = {11801, 11802, 11803, 11805, 11855, 11828, 11829, 11839, 11845, 11846, 11847, 0};
const int kPage3[] = {11810, 11811, 11812, 11820, 11821, 0};
const int kPage4[] = {11807, 11808, 11827, 11825, 11833, 11837, 11838, 0};
const int kPage5[] = {12041, 12042, 12043, 12061, 12051, 12055, 12062, 12052, 12063, 12053, 12064, 12054, 0};
const int kPage6[] = {11809, 11835, 11836, 0};
const int kPage7[] = {11841, 11842, 11843, 11844, 0};
const int kPage8[] = {12001, 12004, 12005, 12006, 12002, 12010, 12003, 12016, 12011, 95, 12017, 12012, 12018,
                      12013, 12014, 0};
const int kPage9[] = {12021, 12024, 12025, 12026, 12022, 12030, 12023, 12036, 12031, 11864, 12037, 12032, 12038,
                      12033, 12034, 0};
const int *const kPages[kOptionPageCount] = {kPage0, kPage1, kPage2, kPage3, kPage4,
                                             kPage5, kPage6, kPage7, kPage8, kPage9};

// Button look samples of the Panel page: the bar button styles.
const struct {
    int id;
    unsigned style;
} kSamples[] = {{11845, 0x801}, {11846, 0x802}, {11847, 0x804}};

struct OptionsDialogData {
    char settings[MAX_PATH];
    OptionWordsEdit words;
    int page;
};

OptionsDialogData *DataOf(HWND dialog) { return (OptionsDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

void Localise(HWND dialog) {
    static const int kPairs[][2] = {
        {99, Txt::butOK},          {IDCANCEL, Txt::butCancel},  {12061, Txt::txtCmd},       {12062, Txt::txtDirectory},
        {12063, Txt::txtParameters}, {12064, Txt::txtRunMode},  {12002, Txt::txtFileMask},  {12022, Txt::txtFileMask},
        {12016, Txt::txtCmd},      {12036, Txt::txtCmd},        {12017, Txt::txtDirectory}, {12037, Txt::txtDirectory},
        {12018, Txt::txtParameters}, {12038, Txt::txtParameters}, {12004, Txt::butDelete},  {12024, Txt::butDelete},
        {12005, Txt::butMoveUp},   {12025, Txt::butMoveUp},     {12006, Txt::butMoveDown},  {12026, Txt::butMoveDown},
        {95, Txt::butBrowse},      {11864, Txt::butBrowse}};
    DlgSetTexts(dialog, Txt::sb_Opt, kPairs);
    // Check boxes and radio buttons: the text id is the control id.
    char text[160];
    for (int page = 0; page < kOptionPageCount; page++) {
        for (const int *id = kPages[page]; *id; id++) {
            char cls[16] = "";
            HWND control = GetDlgItem(dialog, *id);
            GetClassNameA(control, cls, sizeof cls);
            if (lstrcmpiA(cls, "Button") != 0 || (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW)
                continue;
            TextGet(*id, text, sizeof text);
            if (text[0])
                SetWindowTextA(control, text);
        }
    }
}

void ShowPage(HWND dialog, OptionsDialogData *d, int page) {
    if (page < 0 || page >= kOptionPageCount)
        page = 0;
    d->page = page;
    if (gApp)
        gApp->optionsPage = (uint16_t)page;
    for (int p = 0; p < kOptionPageCount; p++) {
        for (const int *id = kPages[p]; *id; id++)
            ShowWindow(GetDlgItem(dialog, *id), p == page ? SW_SHOW : SW_HIDE);
    }
    InvalidateRect(GetDlgItem(dialog, kIdOptHeader), nullptr, FALSE);
}

// The Find page's fields count only for the external program.
void EnableFindFields(HWND dialog) {
    BOOL on = IsDlgButtonChecked(dialog, kIdFindExternal) == BST_CHECKED;
    for (int id : {kIdFindCommand, kIdFindFolder, kIdFindParams, kIdFindMode, kIdFindBrowse})
        EnableWindow(GetDlgItem(dialog, id), on);
}

void FindPageInit(HWND dialog, const char *settings) {
    for (int id : {kIdFindCommand, kIdFindFolder, kIdFindParams})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 260, 0);
    HWND combo = GetDlgItem(dialog, kIdFindMode);
    for (int i = 0; i < 3; i++) {
        char text[64];
        TextGet(Txt::txtWinNormal + i, text, sizeof text);
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    char value[300] = "";
    IniGetString("Find", "C1", "", value, sizeof value, settings);
    if (value[0]) {
        SetDlgItemTextA(dialog, kIdFindCommand, value);
        IniGetString("Find", "D1", "", value, sizeof value, settings);
        SetDlgItemTextA(dialog, kIdFindFolder, value);
        IniGetString("Find", "P1", "", value, sizeof value, settings);
        SetDlgItemTextA(dialog, kIdFindParams, value);
        int mode = IniGetInt("Find", "T1", 0, settings);
        SendMessageA(combo, CB_SETCURSEL, mode < 0 || mode > 2 ? 0 : mode, 0);
    }
    EnableFindFields(dialog);
}

void FindPageSave(HWND dialog, const char *settings) {
    char value[300];
    const struct {
        const char *key;
        int id;
    } kFields[] = {{"C1", kIdFindCommand}, {"D1", kIdFindFolder}, {"P1", kIdFindParams}};
    for (const auto &f : kFields) {
        GetDlgItemTextA(dialog, f.id, value, sizeof value);
        IniWriteString("Find", f.key, value, settings);
    }
    int mode = (int)SendDlgItemMessageA(dialog, kIdFindMode, CB_GETCURSEL, 0, 0);
    snprintf(value, sizeof value, "%d", mode < 0 ? 0 : mode);
    IniWriteString("Find", "T1", value, settings);
}

void BrowseFind(HWND dialog) {
    char path[MAX_PATH];
    RunBrowseProgram(dialog, path, 0);
    if (!path[0])
        return;
    SetDlgItemTextA(dialog, kIdFindCommand, path);
    if (char *name = strrchr(path, '\\')) {
        name[name == path + 2 && path[1] == ':' ? 1 : 0] = 0;
        SetDlgItemTextA(dialog, kIdFindFolder, path);
    }
}

void OnInit(HWND dialog, OptionsDialogData *d) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
    WndCenter(dialog);
    Localise(dialog);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    HWND pages = GetDlgItem(dialog, kIdOptPages);
    int height = (int)SendMessageA(pages, LB_GETITEMHEIGHT, 0, 0);
    SendMessageA(pages, LB_SETITEMHEIGHT, 0, height * 6 / 5);
    for (int page = 0; page < kOptionPageCount; page++) {
        char title[80];
        TextGet(kPageTitles[page], title, sizeof title);
        int at = (int)SendMessageA(pages, LB_ADDSTRING, 0, (LPARAM)title);
        SendMessageA(pages, LB_SETITEMDATA, at, page);
    }
    OptSetControls(dialog, &d->words);
    FindPageInit(dialog, d->settings);
    OptListsInit(dialog, d->settings);
    int page = gApp ? gApp->optionsPage : 0;
    SendMessageA(pages, LB_SETCURSEL, page < kOptionPageCount ? page : 0, 0);
    ShowPage(dialog, d, page);
}

// Gradient from the inactive caption colour to the button face where the
// display has more than 20 colours, a plain fill otherwise; the title on it.
void DrawHeader(HWND dialog, const DRAWITEMSTRUCT *item) {
    OptionsDialogData *d = DataOf(dialog);
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    int colours = GetDeviceCaps(dc, NUMCOLORS);
    COLORREF from = GetSysColor(COLOR_INACTIVECAPTION), to = GetSysColor(COLOR_BTNFACE);
    if (colours > 20 || colours < 0) {
        int steps = abs((int)GetRValue(from) - (int)GetRValue(to));
        int width = r.right - r.left;
        int stripe = steps ? width / steps : width;
        if (stripe < 1)
            stripe = 1;
        int count = width / stripe;
        for (int i = 0; i < count; i++) {
            RECT s = {r.left + i * stripe, r.top, r.left + (i + 1) * stripe, r.bottom};
            COLORREF c = RGB(GetRValue(from) + (GetRValue(to) - GetRValue(from)) * i / count,
                             GetGValue(from) + (GetGValue(to) - GetGValue(from)) * i / count,
                             GetBValue(from) + (GetBValue(to) - GetBValue(from)) * i / count);
            HBRUSH brush = CreateSolidBrush(c);
            FillRect(dc, &s, brush);
            DeleteObject(brush);
        }
        RECT rest = {r.left + count * stripe, r.top, r.right, r.bottom};
        FillRect(dc, &rest, GetSysColorBrush(COLOR_BTNFACE));
    } else {
        FillRect(dc, &r, GetSysColorBrush(COLOR_INACTIVECAPTION));
    }
    char title[80] = "";
    TextGet(kPageTitles[d ? d->page : 0], title, sizeof title);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    r.left += 10;
    DrawTextA(dc, title, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
}

void DrawOwnerButton(const DRAWITEMSTRUCT *item) {
    for (const auto &s : kSamples) {
        if ((int)item->CtlID == s.id) {
            FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
            WndDrawButton(item->hDC, &item->rcItem, 324, item->itemState & ~ODS_DISABLED, s.style, 0);
            return;
        }
    }
    WndDrawButton(item->hDC, &item->rcItem, (int)item->CtlID, item->itemState, 0x431, 0);
}

void OnOk(HWND dialog, OptionsDialogData *d) {
    OptReadControls(dialog, &d->words);
    gApp->confirmFlags = d->words.confirmFlags;
    gApp->panelOptions = d->words.panelOptions;
    gApp->barOptions = d->words.barOptions;
    gApp->nameCase = d->words.nameCase;
    gApp->generalOptions = d->words.generalOptions;
    gApp->moreOptions = d->words.moreOptions;
    OptListsSave(dialog, d->settings);
    FindPageSave(dialog, d->settings);
    if (gOptProgramListsChanged)
        gOptProgramListsChanged();
    EndDialog(dialog, 1);
}

} // namespace

void OptSetControls(HWND dialog, const OptionWordsEdit *w) {
    for (const auto &b : kBoxes) {
        bool set = (Get(w, b.word) & b.bit) != 0;
        CheckDlgButton(dialog, b.id, set != b.inverted ? BST_CHECKED : BST_UNCHECKED);
    }
    for (const auto &g : kGroups) {
        uint32_t value = Get(w, g.word) & g.mask;
        int chosen = 0;
        for (int i = 0; i < g.count; i++) {
            if (g.buttons[i].value == value)
                chosen = i;
        }
        for (int i = 0; i < g.count; i++)
            CheckDlgButton(dialog, g.buttons[i].id, i == chosen ? BST_CHECKED : BST_UNCHECKED);
    }
}

void OptReadControls(HWND dialog, OptionWordsEdit *w) {
    for (const auto &b : kBoxes) {
        bool checked = IsDlgButtonChecked(dialog, b.id) == BST_CHECKED;
        uint32_t word = Get(w, b.word) & ~b.bit;
        Put(w, b.word, checked != b.inverted ? word | b.bit : word);
    }
    for (const auto &g : kGroups) {
        for (int i = 0; i < g.count; i++) {
            if (IsDlgButtonChecked(dialog, g.buttons[i].id) == BST_CHECKED) {
                Put(w, g.word, (Get(w, g.word) & ~g.mask) | g.buttons[i].value);
                break;
            }
        }
    }
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    OptionsDialogData *d = DataOf(dialog);
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, (OptionsDialogData *)lParam);
        return TRUE;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT *item = (const DRAWITEMSTRUCT *)lParam;
        if (item->CtlID == (UINT)kIdOptHeader)
            DrawHeader(dialog, item);
        else if (item->CtlType == ODT_BUTTON)
            DrawOwnerButton(item);
        else
            return FALSE;
        return TRUE;
    }
    case WM_NOTIFY:
        if (d && OptListsNotify(dialog, (const NMHDR *)lParam))
            return TRUE;
        return FALSE;
    case WM_COMMAND: {
        if (!d)
            return FALSE;
        int id = LOWORD(wParam), code = HIWORD(wParam);
        switch (id) {
        case kIdOptPages:
            if (code == LBN_SELCHANGE) {
                int sel = (int)SendDlgItemMessageA(dialog, kIdOptPages, LB_GETCURSEL, 0, 0);
                if (sel >= 0)
                    ShowPage(dialog, d, (int)SendDlgItemMessageA(dialog, kIdOptPages, LB_GETITEMDATA, sel, 0));
            }
            return TRUE;
        case kIdFindWindows:
        case kIdFindTool:
        case kIdFindExternal:
            EnableFindFields(dialog);
            return TRUE;
        case kIdFindBrowse:
            BrowseFind(dialog);
            return TRUE;
        case IDOK:
        case 99:
            OnOk(dialog, d);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return OptListsCommand(dialog, id, code) ? TRUE : FALSE;
    }
    }
    return FALSE;
}

int OptShowDialog(HWND owner) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    OptionsDialogData d = {};
    IniGetPath(d.settings);
    d.words = {gApp->confirmFlags, gApp->panelOptions, gApp->barOptions, gApp->nameCase,
               gApp->generalOptions, gApp->moreOptions};
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgOptions), owner, OptionsDialogProc, (LPARAM)&d) == 1;
}
