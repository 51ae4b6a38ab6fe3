// The panel colour dialog (template 11700): the scheme "Standard",
// "Classic" or "User defined" and the six user colours.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <stdint.h>

enum : int {
    kDlgPanelColor = 11700,
    kIdColorStandard = 11701, kIdColorClassic = 11702, kIdColorUser = 11703,
    kIdColorSampleDir = 11704, kIdColorSampleFile = 11705, kIdColorSampleHilight = 11706,
    kIdColorSampleSelect = 11707, kIdColorList = 11708, kIdColorChoose = 11709,
};
enum : int32_t { kSchemeStandard = 0, kSchemeClassic = 1, kSchemeUser = 2 };

// What the dialog edits: copies of the scheme number and both colour sets
// (background, directory, file, highlight background, highlight text,
// selected text).
struct ColorDialogData {
    int32_t scheme;
    COLORREF active[6];
    COLORREF user[6];
    COLORREF custom[16]; // the colour chooser's custom colours
};

INT_PTR CALLBACK ColorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Command 403: the dialog on copies of the settings; OK stores them in
// gApp, makes the panel brushes again, gives the quick view the new colours
// and repaints both panels and the main window. Returns 1 on OK, 0 on Cancel.
int ColorCommand(HWND owner);

// The colour chooser; tests replace it.
extern BOOL(WINAPI *gChooseColor)(LPCHOOSECOLORA);
