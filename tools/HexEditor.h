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
    HWND toolBar; // the frame's tool bar, null when hidden
    // While the block is a copy-on-write view of the file (no whole-file
    // read at open; typed changes land in private pages): the file, kept
    // open against writers, and its mapping. Null once the block is its own.
    HANDLE mapFile, mapSection;
    bool *taken; // set at WM_NCCREATE: the frame owns (and frees) the record from then on
    // A dump view (the read-only child of a viewer window or quick view):
    // block holds only the rows on screen, read from fileName at dataOffset;
    // fileSize is the whole file's. No frame, no caret, keys only scroll.
    bool dumpView, quickView;
    uint64_t fileSize, dataOffset;
};

const int kHexControlId = 1;

// Opens a hex window on path (empty: an untitled one). A window that already
// edits path comes to the front instead. Returns the window, or null when
// none was created (the file could not be loaded: the user was told).
HWND HexOpenWindow(const char *path);

// The window style dialog (dialog 15030) on the state's format and address
// style; true on OK with the choices stored in the state.
bool HexStyleDialog(HWND owner, HexEdState *state);

// A dump view of path in parent (a viewer window, or the quick view with
// quickView set): the control over the parent's client area, showing rows in
// the `Dump` setting's format. Null when the file cannot be opened or there
// is no memory. Freed by HexDumpClose, which also destroys the control.
HexEdState *HexDumpOpen(HWND parent, const char *path, uint64_t fileSize, bool quickView);
void HexDumpClose(HexEdState *state);

void HexEdRegister(HINSTANCE instance);
LRESULT CALLBACK HexEdProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HexFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
