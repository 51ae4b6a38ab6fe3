// The viewer window: one file shown through the viewer library in a
// top-level window of its own (pictures at their size, scrolled when larger
// than the screen, a frameless popup when exactly as large as the screen;
// text files as a read-only text viewer with menu, tool bar, find, print,
// font, colour and word wrap).
#pragma once
#include <windows.h>

struct LocationNode;

// Shows displayPath (opened from openPath, a temporary copy or the same
// path). A window already showing displayPath comes to the front instead.
// Returns the window, or null when the library is missing (after the
// once-per-run message) or the window could not be made.
HWND ViewerOpenWindow(HWND owner, const char* displayPath, const char* openPath);
// The window showing displayPath, or null.
HWND ViewerFindWindow(const char* displayPath);
// Shows another file in an open viewer window. A copy the program made for
// the old file goes; the user's own file never does. False when window is
// no viewer window.
bool ViewerShowFile(HWND window, const char* displayPath, const char* openPath);
// The same as an action on a panel file (the viewer window is the owner).
int ViewerShowFileAction(HWND owner, const char* displayName, const char* localPath, const LocationNode* location);

// Commands 1101 to 1104: the first, previous, next or last file of the
// active panel, sent by the keyboard hook.
const int kViewerStepFirst = 1101, kViewerStepPrevious = 1102, kViewerStepNext = 1103, kViewerStepLast = 1104;
