// Message boxes, dialog chores, window placement and the platform tests.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "Records.h"

struct LanguageTable;

// MessageBoxA; empty or null text shows nothing and gives IDCANCEL. The
// caption shown is the name part of `caption` (after its last "\" or "/").
int MsgBox(HWND owner, const char *text, const char *caption, UINT type);
int MsgBoxText(HWND owner, const LanguageTable *table, unsigned textId, const char *caption, UINT type);
int MsgBoxId(HWND owner, unsigned textId, const char *caption, UINT type);
// The part of a caption MsgBox shows.
const char *MsgBoxCaptionName(const char *caption);

// Appends a formatted line (at most 511 characters) and selects it.
void ListBoxAddLine(HWND listBox, const char *format, ...);

// "<text of id> - <name>[ : <second>]", names shortened to 31 characters,
// empty names shown as "(Untitled)". secondName null leaves that part out.
void WndSetDocTitle(HWND window, unsigned textId, const char *name, const char *secondName);
// Builds that title from the texts given; out holds `size` bytes.
void WndFormatDocTitle(char *out, size_t size, const char *title, const char *name, const char *secondName,
                       const char *untitled);

void WndCenter(HWND window);
// Horizontal: 1 right, 2 left, 3 at 5/6, 4 at 1/6, else centred.
// Vertical: 6 top, 7 bottom, 8 at 1/6, 9 at 5/6, else centred.
void WndPlaceRelative(HWND reference, HWND window, int horizontal, int vertical);
// Position of a window of the given size inside `ref`, kept within `desktop`.
POINT WndRelativePosition(const RECT &ref, int width, int height, int horizontal, int vertical,
                          const RECT &desktop);
int WndMove(HWND window, int x, int y, int width, int height);
// The active window as the program's key and tip handling sees it:
// GetActiveWindow, unless a test sets its own source (on a display shared
// with other programs, activation is not the test's to keep).
HWND WndActiveWindow();
void WndSetActiveSource(HWND (*source)());
int WndGetClientHeight(HWND window);
void WndStorePos(HWND window, WindowPos *pos);
void WndRestorePos(HWND window, const WindowPos *pos);
// Brings a window rectangle onto the desktop: moved left or up when it runs
// past the right or bottom edge, clamped at the left and top, and made
// smaller only when it is larger than the desktop. True when it changed.
bool WndFitDesktop(RECT *rect);
// Subclass procedure that answers WM_ERASEBKGND with 1; install it with
// WndSubclassNoErase, which keeps the previous procedure with the window.
LRESULT CALLBACK WndNoEraseProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WndSubclassNoErase(HWND window);
int WndInvalidateFrame(HWND window);

// The dialog's caption from text `titleText` and each control pairs[i][0]
// from text pairs[i][1]; a text the language lacks keeps the template's.
void DlgSetTexts(HWND dialog, int titleText, const int (*pairs)[2], size_t count);
template <size_t N> void DlgSetTexts(HWND dialog, int titleText, const int (&pairs)[N][2]) {
    DlgSetTexts(dialog, titleText, pairs, N);
}
void DlgComboPutFirst(HWND combo, const char *text);
void DlgListBoxMoveUp(HWND dialog, int listId);
void DlgListBoxMoveDown(HWND dialog, int listId);
void DlgFixNumberEdit(HWND dialog, int editId);
// 6 (Yes) -> 0; 1 (Enter) -> the focused control's id when it is 2, 5 or 7,
// else 0; other commands unchanged.
int DlgEndCode(HWND dialog, int command);
int DlgEndCodeFor(int command, int focusedId);

inline int PanelOtherIndex(int panel) { return panel == 0 ? 1 : 0; }
int AppIsWinNt();
int AppIsWinXp();
int AppVersionIsXp(DWORD platform, DWORD major, DWORD minor);
