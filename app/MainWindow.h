// The main window `Zq Vandrell`: creation, start-up steps 2 and 3, layout,
// the clock tick, the splitter and the teardown.
#pragma once
#include <windows.h>
#include <stddef.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnMainCreate(HWND window);
void OnMainClose(HWND window);
// The exit question's box; tests answer it.
extern int (*gMainAskBox)(HWND owner, unsigned textId, const char *caption, UINT type);
void OnMainDestroy(HWND window);
// Internal commands 800 and 801.
void MainStartupStep2(HWND window);
void MainStartupStep3(HWND window);
void MainClockTick(HWND window);
void FontCreateMain();
// Moves every panel that shows a folder on the drive away from it (before a
// diskette or eject command).
void PanelLeaveDrive(char driveLetter);
// Posts `left` or, when the right panel is active, `right`.
void MainPostByPanel(HWND window, int left, int right);
// The task popup (command 28000): pick a top-level window to bring forward.
void MainTaskPopup(HWND window);

// Expands a parameter template for `file` into out (outSize bytes).
// Returns the number of file placeholders.
int RunExpandParams(const char *templ, char *out, size_t outSize, const char *file);
