// All keyboard shortcuts of the program: one WH_KEYBOARD hook of the
// interface thread maps keys to command ids through the four key tables,
// runs the command line, starts the quick search and routes a few keys to
// the panel key handler.
#pragma once

#include <windows.h>

// Installs the hook on the calling (interface) thread; the main window calls
// it once it exists. The handle goes to gApp->keyboardHook.
bool KeyHookInstall();
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM key, LPARAM keyData);
// Moves a panel to a typed path ("..", "\", "X:rest", "\\server\share",
// relative); start is the offset after a command word.
void PanelEnterPath(HWND owner, int panel, const char *text, int start);
// Runs the command line's text (Enter with text in it).
void CmdLineExecute(HWND owner);

// Which modifiers are held; the hook asks GetAsyncKeyState unless a test
// sets its own source.
struct KeyModifiers {
    bool ctrl, shift, alt;
};
void KeyHookSetModifierSource(KeyModifiers (*source)());

