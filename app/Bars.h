// The bars around the panels: tool bar, drive bars, command line, status
// bars and function-key bar.
#pragma once
#include <windows.h>

// Creates the bars chosen in barOptions (main window creation).
void BarsCreate(HWND mainWindow);
// Height taken above the panels (tool bar, drive bars) and below them
// (command line, function keys, status bars, FTP bar).
int BarsTopHeight();
int BarsBottomHeight();
// Main status bar fields: 15 date, 16 time.
void StatusBarSetField(int field, const char *text);
// Once a minute from the clock tick.
void DriveBarRefresh(bool force);
