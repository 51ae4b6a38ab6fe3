// Saving a document without ever leaving a half-written file under its
// name, and the message boxes of the editors (replaceable by tests).
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

// Writes the data to a new temporary file beside `path`, then renames it over
// `path`. 0 on success; otherwise the Win32 error, the original untouched and
// the temporary file gone. A read-only target is refused (ERROR_ACCESS_DENIED)
// before anything is written. The original's attributes are kept.
uint32_t FileSaveReplacing(const char *path, const void *data, size_t length);

// "<what>\n<system text of error>" for a failed save.
void SaveErrorText(uint32_t error, const char *path, char *out, size_t size);

// The editors' message boxes go through this (MsgBox by default).
extern int (*gEditorMsgBox)(HWND owner, const char *text, const char *caption, UINT type);

// The open and save dialogs of the editors (replaceable by tests): true with
// a chosen path in `path` (MAX_PATH bytes).
extern bool (*gEditorAskFileName)(HWND owner, char *path, bool save);

// Text `id` (and a blank line and `detail` when given) in an editor box.
void EditorShowText(HWND owner, int id, const char *caption, UINT type, const char *detail = nullptr);
// Asks to save a changed document: IDYES (saved through command 11924),
// IDNO or IDCANCEL. A failed or cancelled save turns Yes into Cancel.
int EditAskSave(HWND window, const char *path);

// Registers the frame class once and creates a tool window at its saved
// place (settings slot posSlot), registered under toolKind, shown; null when
// no window stands. The window procedure takes `record` at WM_NCCREATE (from
// then on WM_NCDESTROY frees it); before that the caller still owns it.
HWND EditorCreateFrame(const char *className, WNDPROC proc, int iconId, int posSlot, int toolKind, void *record);
