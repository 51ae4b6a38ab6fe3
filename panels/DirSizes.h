#pragma once
// Sizes of all folders of the active panel, counted in the background: each
// folder's tree is walked (links counted as folders, never entered) and its
// size stored in its entry, so the panel shows it and sorts by it. The
// count holds the panel's list only for moments: names are copied first and
// each result is stored back by name. It stops on the panel's stop bit
// (Escape) and when the panel shows another folder.
#include <windows.h>

// The command: switches a Brief, Tree or quick-view panel to Full, then
// counts on a thread of its own. Beeps while a count runs on the panel.
void DirSizesCommand(HWND mainWindow);
// The thread body; `parameter` is the panel index.
unsigned __stdcall DirSizesThread(void *parameter);
// Test seam: true while a count of the panel runs.
bool DirSizesRunning(int panel);
