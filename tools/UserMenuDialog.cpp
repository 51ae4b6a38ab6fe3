#include "tools/UserMenuDialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "app/Settings.h"
#include "base/Texts.h"
#include "tools/RunServices.h"
#include "wingui/WindowUtil.h"

namespace {

const char kSection[] = "Menu";
// The user menu's command ids run from 29001 to 29999.
const int kMaxEntries = 999;

struct UserMenuEdit {
    char settings[MAX_PATH];
    char scratch[MAX_PATH + 8];
    int current; // scratch entry number in the fields, 0 = none
};

UserMenuEdit *EditOf(HWND dialog) { return (UserMenuEdit *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

void Key(char letter, int number, char *key) { snprintf(key, 16, "%c%d", letter, number); }

void ReadKey(const char *file, char letter, int number, char *out, DWORD size) {
    char key[16];
    Key(letter, number, key);
    IniGetString(kSection, key, "", out, size, file);
}

// An empty value removes the key.
void WriteKey(const char *file, char letter, int number, const char *value) {
    char key[16];
    Key(letter, number, key);
    IniWriteString(kSection, key, value[0] ? value : nullptr, file);
}

int LineNumber(HWND list, int line) { return (int)SendMessageA(list, LB_GETITEMDATA, line, 0); }

void AddLine(HWND list, int at, const char *title, int number) {
    int line = (int)SendMessageA(list, LB_INSERTSTRING, at, (LPARAM)title);
    SendMessageA(list, LB_SETITEMDATA, line, number);
}

int ModeOf(const char *text) {
    int mode = text[0] >= '0' && text[0] <= '2' && !text[1] ? text[0] - '0' : 0;
    return mode;
}

void ClearFields(HWND dialog) {
    for (int id : {kIdUmTitle, kIdUmCommand, kIdUmFolder, kIdUmParams})
        SetDlgItemTextA(dialog, id, "");
    SendDlgItemMessageA(dialog, kIdUmMode, CB_SETCURSEL, 0, 0);
}

void LoadEntry(HWND dialog, UserMenuEdit *e) {
    HWND list = GetDlgItem(dialog, kIdUmList);
    int line = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (line < 0) {
        e->current = 0;
        ClearFields(dialog);
        return;
    }
    e->current = LineNumber(list, line);
    const struct {
        char letter;
        int id;
    } kFields[] = {{'M', kIdUmTitle}, {'C', kIdUmCommand}, {'D', kIdUmFolder}, {'P', kIdUmParams}};
    for (const auto &f : kFields) {
        char value[MAX_PATH] = "";
        ReadKey(e->scratch, f.letter, e->current, value, sizeof value);
        SetDlgItemTextA(dialog, f.id, value);
    }
    char mode[8] = "";
    ReadKey(e->scratch, 'T', e->current, mode, sizeof mode);
    SendDlgItemMessageA(dialog, kIdUmMode, CB_SETCURSEL, ModeOf(mode), 0);
}

// The fields go to the scratch entry `number`; its line shows the title.
void StoreFields(HWND dialog, UserMenuEdit *e, int number) {
    if (number <= 0)
        return;
    char title[64] = "", value[MAX_PATH];
    GetDlgItemTextA(dialog, kIdUmTitle, title, sizeof title);
    WriteKey(e->scratch, 'M', number, title);
    const struct {
        char letter;
        int id;
    } kFields[] = {{'C', kIdUmCommand}, {'D', kIdUmFolder}, {'P', kIdUmParams}};
    for (const auto &f : kFields) {
        GetDlgItemTextA(dialog, f.id, value, sizeof value);
        WriteKey(e->scratch, f.letter, number, value);
    }
    int sel = (int)SendDlgItemMessageA(dialog, kIdUmMode, CB_GETCURSEL, 0, 0);
    int mode = sel >= 0 ? (int)SendDlgItemMessageA(dialog, kIdUmMode, CB_GETITEMDATA, sel, 0) : 0;
    char modeText[4];
    snprintf(modeText, sizeof modeText, "%d", mode >= 0 && mode <= 2 ? mode : 0);
    WriteKey(e->scratch, 'T', number, modeText);
    HWND list = GetDlgItem(dialog, kIdUmList);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int line = 0; line < count; line++) {
        if (LineNumber(list, line) != number)
            continue;
        int kept = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
        SendMessageA(list, LB_DELETESTRING, line, 0);
        AddLine(list, line, title, number);
        SendMessageA(list, LB_SETCURSEL, kept, 0);
        break;
    }
}

void Localise(HWND dialog) {
    static const int kPairs[][2] = {
        {99, Txt::butOK},           {IDCANCEL, Txt::butCancel},         {kIdUmAdd, Txt::butAddNew},
        {kIdUmDelete, Txt::butDelete}, {kIdUmBrowse, Txt::butBrowse},   {kIdUmUp, Txt::butMoveUp},
        {kIdUmDown, Txt::butMoveDown}, {14212, Txt::txtUmTitle},         {14221, Txt::txtTbCommand},
        {14222, Txt::txtTbWorkDir},  {14223, Txt::txtTbParams},          {14224, Txt::txtTbRun}};
    DlgSetTexts(dialog, Txt::dlgUserMenu, kPairs);
}

void OnInit(HWND dialog, UserMenuEdit *e) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)e);
    WndCenter(dialog);
    Localise(dialog);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    SendDlgItemMessageA(dialog, kIdUmTitle, EM_LIMITTEXT, 63, 0);
    for (int id : {kIdUmCommand, kIdUmFolder, kIdUmParams})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 259, 0);
    IniWriteSection(kSection, "", e->scratch);
    HWND list = GetDlgItem(dialog, kIdUmList);
    for (int n = 1; n <= kMaxEntries; n++) {
        char title[MAX_PATH] = "";
        ReadKey(e->settings, 'M', n, title, sizeof title);
        if (!title[0])
            break;
        AddLine(list, -1, title, n);
        for (char letter : {'M', 'C', 'D', 'P', 'T'}) {
            char value[1024] = "";
            ReadKey(e->settings, letter, n, value, sizeof value);
            if (value[0])
                WriteKey(e->scratch, letter, n, value);
        }
    }
    HWND combo = GetDlgItem(dialog, kIdUmMode);
    for (int i = 0; i < 3; i++) {
        char text[64];
        TextGet(Txt::txtWinNormal + i, text, sizeof text);
        int at = (int)SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)text);
        SendMessageA(combo, CB_SETITEMDATA, at, i);
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    LoadEntry(dialog, e);
    SetFocus(GetDlgItem(dialog, 99));
}

void OnAdd(HWND dialog, UserMenuEdit *e) {
    char title[64] = "";
    GetDlgItemTextA(dialog, kIdUmTitle, title, sizeof title);
    HWND list = GetDlgItem(dialog, kIdUmList);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (!title[0] || count >= kMaxEntries) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    int highest = 0;
    for (int line = 0; line < count; line++) {
        int n = LineNumber(list, line);
        if (n > highest)
            highest = n;
    }
    // The scratch file may hold entries of deleted lines above that: their
    // keys are replaced as the fields are stored.
    int number = highest + 1;
    int at = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    AddLine(list, at < 0 ? -1 : at, title, number);
    SendMessageA(list, LB_SETCURSEL, at < 0 ? count : at, 0);
    e->current = number;
    StoreFields(dialog, e, number);
}

void OnDelete(HWND dialog, UserMenuEdit *e) {
    HWND list = GetDlgItem(dialog, kIdUmList);
    int line = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (line < 0) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    int count = (int)SendMessageA(list, LB_DELETESTRING, line, 0);
    if (count > 0)
        SendMessageA(list, LB_SETCURSEL, line < count ? line : count - 1, 0);
    LoadEntry(dialog, e);
}

void OnSelChange(HWND dialog, UserMenuEdit *e) {
    StoreFields(dialog, e, e->current);
    LoadEntry(dialog, e);
}

void OnBrowse(HWND dialog) {
    char path[MAX_PATH];
    RunBrowseProgram(dialog, path, 0);
    if (!path[0])
        return;
    SetDlgItemTextA(dialog, kIdUmCommand, path);
    char *name = strrchr(path, '\\');
    if (name) {
        name[name == path + 2 && path[1] == ':' ? 1 : 0] = 0; // "C:\prog.exe" keeps "C:\"
        SetDlgItemTextA(dialog, kIdUmFolder, path);
    }
}

void OnOk(HWND dialog, UserMenuEdit *e) {
    HWND list = GetDlgItem(dialog, kIdUmList);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    // Fields typed into an empty list make entry 1.
    StoreFields(dialog, e, count ? e->current : 1);
    IniWriteSection(kSection, "", e->settings);
    int written = 0;
    for (int line = 0; line < (count ? count : 1); line++) {
        int number = count ? LineNumber(list, line) : 1;
        char title[MAX_PATH] = "";
        ReadKey(e->scratch, 'M', number, title, sizeof title);
        if (!title[0])
            continue;
        written++;
        for (char letter : {'M', 'C', 'D', 'P', 'T'}) {
            char value[1024] = "";
            ReadKey(e->scratch, letter, number, value, sizeof value);
            if (!value[0] || (letter == 'T' && !strcmp(value, "0")))
                continue;
            WriteKey(e->settings, letter, written, value);
        }
    }
    DeleteFileA(e->scratch);
    EndDialog(dialog, 1);
}

} // namespace

INT_PTR CALLBACK UserMenuDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    UserMenuEdit *e = EditOf(dialog);
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, (UserMenuEdit *)lParam);
        return FALSE;
    case WM_DESTROY:
        if (e)
            DeleteFileA(e->scratch);
        return FALSE;
    case WM_COMMAND:
        if (!e)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kIdUmList:
            if (HIWORD(wParam) == LBN_SELCHANGE)
                OnSelChange(dialog, e);
            return TRUE;
        case kIdUmAdd:
            OnAdd(dialog, e);
            return TRUE;
        case kIdUmDelete:
            OnDelete(dialog, e);
            return TRUE;
        case kIdUmUp:
            DlgListBoxMoveUp(dialog, kIdUmList);
            return TRUE;
        case kIdUmDown:
            DlgListBoxMoveDown(dialog, kIdUmList);
            return TRUE;
        case kIdUmBrowse:
            OnBrowse(dialog);
            return TRUE;
        case IDOK:
        case 99:
            OnOk(dialog, e);
            return TRUE;
        case IDCANCEL:
            DeleteFileA(e->scratch);
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int UserMenuCommand(HWND owner) {
    UserMenuEdit e = {};
    IniGetPath(e.settings);
    snprintf(e.scratch, sizeof e.scratch, "%s.M__", e.settings);
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    INT_PTR result =
        DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgUserMenu), owner, UserMenuDialogProc, (LPARAM)&e);
    DeleteFileA(e.scratch); // also when the dialog could not be created
    return result == 1 ? 1 : 0;
}
