// The hex editor: the `ZqHexEd` control (rows of elements in one of the
// thirteen formats, caret, typing) and the `ZqHex` frame window around it
// that holds a whole file in memory.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <stdint.h>

#include "tools/HexFormat.h"

struct HexEdState {
    HWND frame;   // the ZqHex window
    HWND control; // the ZqHexEd window
    HexBlock block;
    uint32_t modified;
    char findText[32], replaceText[32];
    HWND findDialog;
    UINT findMessage;
    FINDREPLACEA findReplace;
    uint32_t matchOffset;
    int visibleRows, addressDigits, rowChars, cellWidth, cellHeight;
    bool caretShown, inCharColumn;
    int caretRow, caretColumn;
    int32_t maxTopRow, topRow;
    int format, bytesPerRow, addressStyle;
    char fileName[MAX_PATH];
    bool ownedByWindow; // the frame frees the record at WM_NCDESTROY
};

const int kHexControlId = 1;

// Opens a hex window on path (empty: an untitled one). A window that already
// edits path comes to the front instead. Returns the window, or null when
// none was created (the file could not be loaded: the user was told).
HWND HexOpenWindow(const char *path);
// Asks to save a changed document: IDYES (saved), IDNO or IDCANCEL. A failed
// or cancelled save turns Yes into Cancel.
int EditAskSave(HWND window, const char *path);

void HexEdRegister(HINSTANCE instance);
LRESULT CALLBACK HexEdProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HexFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The open and save dialogs (replaceable by tests): true with a chosen path.
extern bool (*gHexAskFileName)(HWND owner, char *path, bool save);
