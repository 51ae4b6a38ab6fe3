// The tool bar: up to 80 buttons for program commands and user-defined
// programs (section "TB" of the settings file), its options dialog and the
// loader of the user buttons' icons.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "Records.h"

const int kToolbarOptionsDialog = 14530;
const int kCmdLoadUserIcon = 863;

HWND ToolBarBuild(HWND parent);
void ToolBarDestroy();
void ToolBarLayout();
int ToolBarGetHeight();
void ToolBarAcceptDrops(int on);
void ToolBarRepaint(int full);
// The record of a command, or null.
ToolbarButton *ToolBarFind(int command);
// User-defined: its M key; 830-832: the shell folder's name; else text
// command + 1000. `file` is the settings file to read (null: the real one).
void ToolBarButtonText(int command, char *out, size_t size, const char *file = nullptr);
// System image list index of a user button's program, or -1. Flag 0x40:
// read the options dialog's temporary copy `file`.
int ToolBarUserIconIndex(int command, unsigned flags, const char *file = nullptr);
void ToolBarLoadUserIcon(ToolbarButton *button);
// Icon of a loaded user button for the button painter, or null.
HICON ToolBarUserIcon(int command, int size);
// Starts the icon loader, ending one that still runs first.
void ToolBarStartIconLoader();
void ToolBarStopIconLoader();
// Whether a loader thread is still at work.
bool ToolBarIconLoaderRunning();
// Command 401: the options dialog; after OK the bar is rebuilt and laid
// out, and the user icons are loaded again. Returns the dialog's result.
INT_PTR ToolBarOptionsCommand(HWND owner);
INT_PTR CALLBACK ToolBarOptionsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
