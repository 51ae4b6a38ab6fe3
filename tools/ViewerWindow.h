// The viewer window: one file shown through the viewer library in a
// top-level window of its own (pictures at their size, scrolled when larger
// than the screen; text files in a read-only text child).
#pragma once
#include <windows.h>

// Shows displayPath (opened from openPath, a temporary copy or the same
// path). A window already showing displayPath comes to the front instead.
// Returns the window, or null when the library is missing (after the
// once-per-run message) or the window could not be made.
HWND ViewerOpenWindow(HWND owner, const char* displayPath, const char* openPath);
// The window showing displayPath, or null.
HWND ViewerFindWindow(const char* displayPath);
