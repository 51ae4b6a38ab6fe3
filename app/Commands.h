// The main window's command dispatcher: every menu item, key, bar button and
// internal request arrives here as a WM_COMMAND id.
#pragma once
#include <windows.h>

#include "Records.h"

void MainCommandDispatch(HWND window, WPARAM wParam);
// The refusal rules: true when the command may not run in the current state
// (it has then beeped).
bool CommandRefused(int id);

// Every command whose feature is not in the program yet ends here: one beep
// and nothing else.
void FeatureNotBuilt(int id);
// True for the ids of the command table (menus, keys, bars, internal).
bool IsKnownCommand(int id);
// False for a command whose feature is not in the program yet.
bool CommandIsBuilt(int id);
// Greys every item of the menu and its popups whose feature is not built.
void MenuGreyNotBuilt(HMENU menu);

// The beep of refused commands (MessageBeep MB_ICONHAND); tests count it.
extern void (*gCommandBeep)(UINT type);
void CommandBeep();

// Cursor entry of a panel: null (after a beep) in a virtual location, in the
// tree or without a cursor entry; else its full path in out. Copies only:
// no entry pointer outlives the call.
bool PanelGetCursorFile(HWND window, int panel, char *out, int size);
// As above, also inside virtual locations; never in the tree.
bool PanelGetCursorPath(HWND window, int panel, char *out, int size);
void PanelGoRoot(HWND window, int panel, int otherPanel);
int PathClimbExisting(char *path);
void ToolWindowToggle(HWND toolWindow, WindowPos *pos);
