// Runs the settings dialogs on a settings file for the shell test, driven
// by their messages, so the script can read the results back with crudini:
//   dialogs_tool normalise <ini>          load and save the settings
//   dialogs_tool <dialog> <ini> ok|cancel  load, drive the dialog, save
//   dialogs_tool clock <flag> <day> <month> <year>  show the date and time
//       dialog on that date, write <flag>.shown once it is painted, close when <flag>.done
//       appears (for screenshots)
// Dialogs: colors, menu, options. "cancel" makes the same edits and then
// presses Cancel.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "app/Settings.h"
#include "tests/OwnWindow.h"
#include "tools/ClockDialog.h"
#include "tools/ColorDialog.h"
#include "tools/OptionsDialog.h"
#include "tools/UserMenuDialog.h"

namespace {

bool gOk;
int gFailures;
void (*gDriver)(HWND dialog);
int gDialogMarker; // a control the dialog must have

void Check(bool condition, const char *what) {
    if (!condition) {
        fprintf(stderr, "FAIL in dialog: %s\n", what);
        gFailures++;
    }
}

VOID CALLBACK Drive(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOwnWindow("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, gDialogMarker) || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    gDriver(dialog);
    PostMessageA(dialog, WM_COMMAND, gOk ? 99 : IDCANCEL, 0);
}

void SelectLine(HWND dialog, int listId, int line) {
    SendDlgItemMessageA(dialog, listId, LB_SETCURSEL, line, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), (LPARAM)GetDlgItem(dialog, listId));
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// ---- panel colours

COLORREF gNextColor;
BOOL WINAPI FakeChooseColor(LPCHOOSECOLORA cc) {
    cc->rgbResult = gNextColor;
    cc->lpCustColors[0] = 0x123456;
    return TRUE;
}

// The user scheme with six new colours, then Classic, then User again.
void DriveColors(HWND dialog) {
    Click(dialog, kIdColorUser);
    Check(IsWindowEnabled(GetDlgItem(dialog, kIdColorChoose)), "Color... enabled for the user scheme");
    for (int i = 0; i < 6; i++) {
        SelectLine(dialog, kIdColorList, i);
        gNextColor = RGB(10 * (i + 1), 20 * (i + 1), 30 * (i + 1));
        SendMessageA(dialog, WM_COMMAND, kIdColorChoose, 0);
    }
    Click(dialog, kIdColorClassic);
    Check(!IsWindowEnabled(GetDlgItem(dialog, kIdColorChoose)), "Color... disabled for Classic");
    Click(dialog, kIdColorUser);
}

// ---- user menu

void SetField(HWND dialog, int id, const char *text) { SetDlgItemTextA(dialog, id, text); }
void SetMode(HWND dialog, int mode) { SendDlgItemMessageA(dialog, kIdUmMode, CB_SETCURSEL, mode, 0); }

// The file holds Editor, Calc, Shell. Calc moves up and gets new
// parameters, Four is added before Editor, Shell is deleted, Four loses its
// title, Editor is renamed.
void DriveMenu(HWND dialog) {
    HWND list = GetDlgItem(dialog, kIdUmList);
    Check(SendMessageA(list, LB_GETCOUNT, 0, 0) == 3, "three entries listed");
    SelectLine(dialog, kIdUmList, 1);
    char text[300] = "";
    GetDlgItemTextA(dialog, kIdUmCommand, text, sizeof text);
    Check(strcmp(text, "calc.exe") == 0, "Calc's command loaded");
    SendMessageA(dialog, WM_COMMAND, kIdUmUp, 0);
    SetField(dialog, kIdUmParams, "/x");
    SetField(dialog, kIdUmFolder, "");
    SetMode(dialog, 0);
    SelectLine(dialog, kIdUmList, 1); // Editor; Calc's fields are stored
    SetField(dialog, kIdUmTitle, "Four");
    SetField(dialog, kIdUmCommand, "four.exe");
    SetField(dialog, kIdUmParams, "");
    SetField(dialog, kIdUmFolder, "D:\\four");
    SetMode(dialog, 2);
    SendMessageA(dialog, WM_COMMAND, kIdUmAdd, 0);
    Check(SendMessageA(list, LB_GETCOUNT, 0, 0) == 4, "Four added");
    Check(SendMessageA(list, LB_GETCURSEL, 0, 0) == 1, "Four inserted before Editor");
    SelectLine(dialog, kIdUmList, 3);
    GetDlgItemTextA(dialog, kIdUmTitle, text, sizeof text);
    Check(strcmp(text, "Shell") == 0, "Shell loaded");
    SendMessageA(dialog, WM_COMMAND, kIdUmDelete, 0);
    Check(SendMessageA(list, LB_GETCOUNT, 0, 0) == 3, "Shell deleted");
    SelectLine(dialog, kIdUmList, 1);
    SetField(dialog, kIdUmTitle, ""); // Four is not written
    SelectLine(dialog, kIdUmList, 2);
    SetField(dialog, kIdUmTitle, "Editor 2");
}

// ---- options

void SetBox(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Radio(HWND dialog, int id) { Click(dialog, id); }
void Combo(HWND dialog, int id, int index) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)GetDlgItem(dialog, id));
}
void Page(HWND dialog, int page) { SelectLine(dialog, kIdOptPages, page); }
void SelectRow(HWND dialog, int listId, int row) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendDlgItemMessageA(dialog, listId, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&state);
    if (row < 0)
        return;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageA(dialog, listId, LVM_SETITEMSTATE, row, (LPARAM)&state);
}
int Rows(HWND dialog, int listId) { return (int)SendDlgItemMessageA(dialog, listId, LVM_GETITEMCOUNT, 0, 0); }

// Every check box and radio button away from its stored value, the Find
// program, and edits of both program lists.
void DriveOptions(HWND dialog) {
    Page(dialog, 5);
    Check(IsWindowVisible(GetDlgItem(dialog, kIdFindCommand)), "the Find page shows its fields");
    Check(!IsWindowVisible(GetDlgItem(dialog, 11851)), "the Main page is hidden");
    Page(dialog, 0);
    Check(IsWindowVisible(GetDlgItem(dialog, 11851)) && !IsWindowVisible(GetDlgItem(dialog, kIdFindCommand)),
          "the Main page shows alone");
    SetBox(dialog, 11851, true);
    SetBox(dialog, 11852, true);
    Check(IsDlgButtonChecked(dialog, 11856) == BST_CHECKED, "cool menu set from the word");
    SetBox(dialog, 11856, false);
    SetBox(dialog, 11854, true);
    SetBox(dialog, 11853, true);
    Page(dialog, 1);
    Radio(dialog, 12904);
    Page(dialog, 2);
    for (int id : {11801, 11802, 11803, 11805, 11855})
        SetBox(dialog, id, false);
    Radio(dialog, 11829);
    Page(dialog, 3);
    SetBox(dialog, 11810, false);
    SetBox(dialog, 11812, false);
    SetBox(dialog, 11821, false);
    Page(dialog, 4);
    SetBox(dialog, 11807, false);
    SetBox(dialog, 11808, true);
    SetBox(dialog, 11827, true);
    SetBox(dialog, 11825, false);
    SetBox(dialog, 11833, true);
    SetBox(dialog, 11837, false);
    SetBox(dialog, 11838, true);
    Page(dialog, 6);
    SetBox(dialog, 11809, true);
    Radio(dialog, 11835);
    Page(dialog, 7);
    Radio(dialog, 11841);
    SetBox(dialog, 11844, true);
    Page(dialog, 5);
    Check(!IsWindowEnabled(GetDlgItem(dialog, kIdFindCommand)), "Find fields off for the Windows search");
    Radio(dialog, kIdFindExternal);
    Check(IsWindowEnabled(GetDlgItem(dialog, kIdFindCommand)), "Find fields on for an external program");
    SetDlgItemTextA(dialog, kIdFindCommand, "C:\\find\\ff.exe");
    SetDlgItemTextA(dialog, kIdFindFolder, "C:\\find");
    SetDlgItemTextA(dialog, kIdFindParams, "-q %1");
    SendDlgItemMessageA(dialog, kIdFindMode, CB_SETCURSEL, 1, 0);

    // Editor: *.txt;*.log loses its parameters, mode and folder; the
    // built-in *.c gets a program; *.md and *.tmp are typed into the empty
    // last row, *.md then loses its mask; *.c moves to the top.
    Page(dialog, kPageEditor);
    const int list = kIdExtList;
    Check(Rows(dialog, list) == 3, "two entries and the empty row");
    SelectRow(dialog, list, 0);
    char text[300] = "";
    GetDlgItemTextA(dialog, kIdExtCommand, text, sizeof text);
    Check(strcmp(text, "C:\\ed\\ed.exe") == 0, "row 1 loaded into the fields");
    SetDlgItemTextA(dialog, kIdExtParams, "");
    SetDlgItemTextA(dialog, kIdExtFolder, "");
    Combo(dialog, kIdExtMode, 0);
    SelectRow(dialog, list, 1);
    Check(!IsWindowEnabled(GetDlgItem(dialog, kIdExtCommand)), "no command for the built-in editor");
    Combo(dialog, kIdExtType, 1);
    Check(IsWindowEnabled(GetDlgItem(dialog, kIdExtCommand)), "a command for an external editor");
    SetDlgItemTextA(dialog, kIdExtCommand, "C:\\cc\\view.exe");
    Combo(dialog, kIdExtMode, 2);
    SelectRow(dialog, list, -1);
    SetDlgItemTextA(dialog, kIdExtMask, "*.md");
    Check(Rows(dialog, list) == 4, "a mask in the last row adds an empty row");
    SetDlgItemTextA(dialog, kIdExtMask, "*.tmp");
    SelectRow(dialog, list, 2);
    SetDlgItemTextA(dialog, kIdExtMask, "");
    SelectRow(dialog, list, 1);
    SendMessageA(dialog, WM_COMMAND, kIdExtUp, 0);

    // Viewer: *.bmp deleted, *.gif added with an external program.
    Page(dialog, kPageViewer);
    const int viewer = kIdExtList + kExtViewerOffset;
    SelectRow(dialog, viewer, 0);
    SendMessageA(dialog, WM_COMMAND, kIdExtDelete + kExtViewerOffset, 0);
    Check(Rows(dialog, viewer) == 1, "only the empty row left");
    SelectRow(dialog, viewer, 0);
    Check(!IsWindowEnabled(GetDlgItem(dialog, kIdExtDelete + kExtViewerOffset)), "the empty row is not deleted");
    SetDlgItemTextA(dialog, kIdExtMask + kExtViewerOffset, "*.gif");
    Combo(dialog, kIdExtType + kExtViewerOffset, 1);
    SetDlgItemTextA(dialog, kIdExtCommand + kExtViewerOffset, "C:\\gv.exe");
    SetDlgItemTextA(dialog, kIdExtParams + kExtViewerOffset, "**");
}

int RunDialog(const char *name) {
    if (strcmp(name, "colors") == 0) {
        gChooseColor = FakeChooseColor;
        gDriver = DriveColors;
        gDialogMarker = kIdColorList;
        return ColorCommand(nullptr);
    }
    if (strcmp(name, "menu") == 0) {
        gDriver = DriveMenu;
        gDialogMarker = kIdUmList;
        return UserMenuCommand(nullptr);
    }
    if (strcmp(name, "options") == 0) {
        gDriver = DriveOptions;
        gDialogMarker = kIdOptPages;
        return OptShowDialog(nullptr);
    }
    return -1;
}

} // namespace

// ---- the date and time dialog for a screenshot

char gFlag[MAX_PATH];
VOID CALLBACK ShowClock(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOwnWindow("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, kIdClockCalendar) || !IsWindowVisible(dialog))
        return;
    char path[MAX_PATH + 8];
    static bool shown;
    if (!shown) {
        SetWindowPos(dialog, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        // Painted whole, calendar included, before the flag says so.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        snprintf(path, sizeof path, "%s.shown", gFlag);
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        shown = true;
        return;
    }
    snprintf(path, sizeof path, "%s.done", gFlag);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return;
    KillTimer(nullptr, timer);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

int ShowClockFor(char **argv) {
    lstrcpynA(gFlag, argv[2], sizeof gFlag);
    DateTimeRecord r = {};
    r.day = (uint16_t)atoi(argv[3]);
    r.month = (uint16_t)atoi(argv[4]);
    r.year = (uint16_t)atoi(argv[5]);
    r.hour = 12;
    SetTimer(nullptr, 0, 50, ShowClock);
    ClockPickDateTime(nullptr, &r);
    return 0;
}

int main(int argc, char **argv) {
    static AppState app;
    gApp = &app;
    app.hInstance = GetModuleHandleA(nullptr);
    GetWindowsDirectoryA(app.windowsDir, sizeof app.windowsDir);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    if (argc >= 6 && strcmp(argv[1], "clock") == 0)
        return ShowClockFor(argv);
    if (argc < 3) {
        fprintf(stderr, "usage: dialogs_tool normalise|colors|menu|options <ini> [ok|cancel]\n");
        return 2;
    }
    lstrcpynA(app.modulePath, argv[2], sizeof app.modulePath);
    IniReadOptions();
    LoadSettings(nullptr);
    if (strcmp(argv[1], "normalise") != 0) {
        gOk = argc > 3 && strcmp(argv[3], "ok") == 0;
        SetTimer(nullptr, 0, 30, Drive);
        int result = RunDialog(argv[1]);
        if (result < 0) {
            fprintf(stderr, "no dialog %s\n", argv[1]);
            return 2;
        }
        if (result != (gOk ? 1 : 0)) {
            fprintf(stderr, "dialog ended with %d\n", result);
            return 1;
        }
    }
    SaveSettings();
    return gFailures ? 1 : 0;
}
