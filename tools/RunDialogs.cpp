// The Run dialog (command 101) and the Go to dialog (command 324), each with
// its typed history in the settings file.
#include <string.h>

#include "AppState.h"
#include "app/Settings.h"
#include "base/Texts.h"
#include "frontends/CeFrontEnd.h"
#include "tools/RunServices.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowUtil.h"

namespace {

const int kRunHistory = 21;
const int kGoToHistory = 50;

struct RunDialogData {
    char initial[260]; // the cursor file the dialog was opened on
    int panel;
};

HINSTANCE Instance() { return gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr); }

void SaveHistory(HWND combo, const char *section, int count) {
    char file[MAX_PATH];
    IniGetPath(file);
    IniSaveComboList(combo, file, section, count);
}

void RunOnInit(HWND dialog, RunDialogData *d) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
    WndCenter(dialog);
    static const int kPairs[][2] = {{99, Txt::butOK},
                                    {IDCANCEL, Txt::butCancel},
                                    {kIdRunLabel, Txt::txtOpen},
                                    {kIdRunMinimised, Txt::optRunMin},
                                    {kIdRunBrowse, Txt::butBrowse}};
    DlgSetTexts(dialog, Txt::dlgRun, kPairs);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    HWND combo = GetDlgItem(dialog, kIdRunCombo);
    SendMessageA(combo, CB_LIMITTEXT, 259, 0);
    char file[MAX_PATH];
    IniGetPath(file);
    IniLoadComboList(combo, file, "Run", kRunHistory);
    DlgComboPutFirst(combo, d->initial);
    SetWindowTextA(combo, d->initial);
    SetFocus(combo);
}

void RunOnOk(HWND dialog, RunDialogData *d) {
    HWND combo = GetDlgItem(dialog, kIdRunCombo);
    char text[260] = "";
    GetWindowTextA(combo, text, sizeof text);
    if (!text[0])
        return;
    DlgComboPutFirst(combo, text);
    SetWindowTextA(combo, text);
    int panel = d->panel & 1;
    const LocationNode *location = gApp->panels[panel].location;
    if (location && location->kind == kLocationCeDevice && !strcmp(text, d->initial)) {
        // The cursor file of a device panel runs on the device.
        CeRunProgram(text);
    } else {
        const char *folder = gApp->panelPath[panel];
        SetCurrentDirectoryA(folder);
        int show = IsDlgButtonChecked(dialog, kIdRunMinimised) == BST_CHECKED ? SW_MINIMIZE : SW_SHOW;
        DWORD error = RunTypedCommand(dialog, text, folder, show);
        if (error) {
            // Nothing started: the text stays for the user to mend.
            SaveHistory(combo, "Run", kRunHistory);
            RunReportError(dialog, error, text);
            return;
        }
    }
    SaveHistory(combo, "Run", kRunHistory);
    EndDialog(dialog, 1);
}

void RunOnBrowse(HWND dialog, RunDialogData *d) {
    SetCurrentDirectoryA(gApp->panelPath[d->panel & 1]);
    char path[MAX_PATH];
    RunBrowseProgram(dialog, path, 0);
    if (path[0])
        SetDlgItemTextA(dialog, kIdRunCombo, path);
}

void GoToOnInit(HWND dialog) {
    WndCenter(dialog);
    static const int kPairs[][2] = {{99, Txt::butOK}, {IDCANCEL, Txt::butCancel}, {kIdRunBrowse, Txt::butBrowse}};
    DlgSetTexts(dialog, Txt::dlgGoTo, kPairs);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    HWND combo = GetDlgItem(dialog, kIdGoToCombo);
    SendMessageA(combo, CB_LIMITTEXT, 259, 0);
    char file[MAX_PATH];
    IniGetPath(file);
    IniLoadComboList(combo, file, "GoTo", kGoToHistory);
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    SetFocus(combo);
}

void GoToOnOk(HWND dialog) {
    HWND combo = GetDlgItem(dialog, kIdGoToCombo);
    char text[260] = "";
    GetWindowTextA(combo, text, sizeof text);
    if (!text[0])
        return;
    if (RunGoToPath(dialog, text, gApp->activePanel & 1) != 0)
        return; // the dialog stays for another try
    DlgComboPutFirst(combo, text);
    SaveHistory(combo, "GoTo", kGoToHistory);
    EndDialog(dialog, 1);
}

} // namespace

INT_PTR CALLBACK RunDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    RunDialogData *d = (RunDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        RunOnInit(dialog, (RunDialogData *)lParam);
        return FALSE; // the focus is set
    case WM_COMMAND:
        if (!d)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
        case 99:
            RunOnOk(dialog, d);
            return TRUE;
        case kIdRunBrowse:
            RunOnBrowse(dialog, d);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK GoToDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        GoToOnInit(dialog);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case 99:
            GoToOnOk(dialog);
            return TRUE;
        case kIdRunBrowse:
            DlgBrowseFolderEdit(dialog, kIdGoToCombo);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void RunShowDialog(HWND owner, const char *initial) {
    RunDialogData d = {};
    lstrcpynA(d.initial, initial ? initial : "", sizeof d.initial);
    d.panel = gApp->activePanel & 1;
    DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kDlgRun), owner, RunDialogProc, (LPARAM)&d);
}

int GoToShowDialog(HWND owner) {
    return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kDlgGoTo), owner, GoToDialogProc, 0) == 1 ? 1 : 0;
}
