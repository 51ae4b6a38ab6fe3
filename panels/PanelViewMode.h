// View modes of the panels (Full, Brief, Custom, quick view, Tree) and
// switching a panel off and on.
#pragma once

#include <windows.h>

// Switches `panel` to `mode` (a PanelViewMode); an off panel is switched on
// through `onOffCommand` (507 or 607). Needs the viewer library for the
// quick view; without it the panels fall back to Full.
void PanelSetViewMode(HWND mainWindow, int panel, int mode, int onOffCommand);
void PanelShowTree(HWND mainWindow, int panel);
void PanelToggleOnOff(HWND owner, int panel);
// The viewer library cannot be used: quick-view panels go back to Full and
// the missing module is reported (once per run).
void PanelViewerMissing(HWND owner);
