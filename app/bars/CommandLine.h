// The command line: a drop-down combo box with the command history and a
// prompt showing the active panel's folder followed by ">".
#pragma once

#include <windows.h>

HWND CmdLineCreate(HWND parent);
void CmdLineDestroy();
void CmdLineLayout();
int CmdLineGetHeight();
void CmdLinePrompt(int remeasure, int panel);
void CmdLineUpdatePrompt(int panel);
void CmdLineFocusMemo();
HWND CmdLinePromptWindow();
