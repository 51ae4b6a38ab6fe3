// The text editor window and the viewer window's text mode: one Unicode edit
// child, files read and written through the text codec so that a file opened
// and saved unchanged keeps every byte.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <stdint.h>

struct LocationNode;

struct EditWindowRecord {
    HWND owner;
    uint16_t toolKind; // 2 editor, 3 viewer (read-only)
    char findText[64], replaceText[64];
    HWND textChild;
    char displayPath[MAX_PATH]; // the file as the user knows it
    char openPath[MAX_PATH];    // the file loaded and saved
    // The program made openPath in its own temporary folder for this window
    // (a copy from an archive or a remote place). Only then may the window
    // delete it; a path that merely differs from displayPath is no sign.
    bool openIsTemporary;
    HWND findDialog;
    UINT findMessage;
    int32_t searchPos;
    FINDREPLACEA findRecord;
    uint32_t shownLine, shownColumn;
    HWND toolBar;     // null when hidden
    uint8_t wordWrap; // non-zero: lines wrap at the window edge
    uint16_t byteOrderMark; // kBomNone, kBomLittle, kBomBig
    uint16_t lineEnds;      // kLineEnds...
    bool hadNul;            // zeros are shown as stand-ins and written back
    bool latin1;            // bytes kept one to one (the code page could not)
    WNDPROC oldChildProc;
    bool *taken; // set at WM_NCCREATE: the window owns the record from then on
    // A copy of a device file: where it goes back when the window closes
    // after a save (a clone the window owns), and the copy's stamp before.
    LocationNode *origin;
    uint16_t originDate, originTime;
    uint64_t originSize;
};

// Where a copy edited in the window came from, and its stamp when opened.
struct EditOrigin {
    const LocationNode *location;
    uint16_t date, time;
    uint64_t size;
};

const int kEditChildId = 1;

// Opens an editor (kind 2) or a read-only viewer (kind 3) on the file; a
// window of that kind already showing displayPath comes to the front. Returns
// the window, or null when none was created (the user was told).
// With `origin`, a saved copy is handed back to its location when the
// window closes (the put-back job then keeps the copy).
HWND EditCreateWindow(const char *displayPath, const char *openPath, int kind,
                      const EditOrigin *origin = nullptr);

// Reads a file into the record's child. 0, or a Win32 error.
uint32_t EditLoadEditor(EditWindowRecord *record, const char *path);
// Writes the child's text to openPath through a temporary file. 0, or a
// Win32 error (ERROR_NO_UNICODE_TRANSLATION: a character the file's
// encoding cannot hold).
uint32_t EditSave(EditWindowRecord *record);
// Find (or, replacing, find and replace) with the request's text and flags.
int EditFind(EditWindowRecord *record, const FINDREPLACEA *request, bool replacing);

LRESULT CALLBACK EditFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The text part of a frame, shared by the editor (toolKind 2) and the viewer
// window's text mode (toolKind 3): the child (control id 1, wrapped by the
// record's wordWrap), its font, the menu with the caret's place, the tool bar
// unless hidden by option, the find message. The frame's user data must point
// at the record (or at a record that starts with it). False when the child
// could not be made.
bool EditAttachText(HWND window, EditWindowRecord *record);
// Removes all of it again (the viewer leaving text mode).
void EditDetachText(HWND window, EditWindowRecord *record);
// The messages of the text part (commands, find, size, focus, tips, menus,
// colours, context menu). True when handled, with the result in *result.
bool EditTextMessage(HWND window, EditWindowRecord *record, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT *result);
// Word wrap as the record says; the child is made anew with the other style,
// keeping its text, selection and modification flag.
void EditApplyWordWrap(HWND window, EditWindowRecord *record);
