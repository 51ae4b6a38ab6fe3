// The panel's list as a text file (command 322, directory listing).
#pragma once
#include <windows.h>

// Writes the panel's list to a new text file in the program's temporary
// folder and opens it in the editor. 0, or the error (already reported).
// The file's name goes to path (260 bytes) when given.
DWORD PanelListToTextFile(HWND owner, int panel, char *path = nullptr);
