// The main window's menu bar.
#pragma once
#include <windows.h>

// Builds (or rebuilds) the main menu in the current language.
void MenusBuild(HWND mainWindow);
