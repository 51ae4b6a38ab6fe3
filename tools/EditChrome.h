// What the text, hex and viewer windows share around their child: the tool
// bar of standard pictures with tips, its place above the child, and the
// colour dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>

// One tool bar entry: a picture of the common controls' standard small set
// (STD_FILENEW and so on) and its command; command 0 is a separator.
struct ToolButton {
    int image;
    int command;
};

const int kEditToolBarId = 2;

// A visible tool bar along the top of window; null when it cannot be made.
HWND EditToolBarCreate(HWND window, const ToolButton *buttons, int count);
// The tool bar (if any) along the top, child over the rest of the client area.
void EditLayout(HWND window, HWND toolBar, HWND child);
// WM_NOTIFY of a tool bar tip: the text numbered 1000 above the command, or
// the command's own menu text without its "&" and key. True when handled.
bool EditToolTip(LPARAM lParam);

// The colour dialog (a seam the tests replace).
extern BOOL(WINAPI *gEditorChooseColor)(CHOOSECOLORA *);
// The colour dialog on *color with the program's 16 custom colours; true on OK.
bool EditPickColor(HWND owner, COLORREF *color);
