// The bars around the panels: tool bar, drive bars, command line, status
// bars and function-key bar. Each bar's own interface is in its header
// (DriveBar.h, ToolBar.h, FunctionKeys.h, StatusBar.h, CommandLine.h); this
// one holds what the main window calls for all of them.
#pragma once
#include <windows.h>

// Creates the bars chosen in barOptions (main window creation).
void BarsCreate(HWND mainWindow);
// Positions every bar; part of the main window's re-layout.
void BarsLayout();
// Height taken above the panels (tool bar, drive bars) and below them
// (panel status bars, command line, function keys, main status bar).
int BarsTopHeight();
int BarsBottomHeight();
// Main status bar fields: 15 date, 16 time (see StatusBarSetText).
void StatusBarSetField(int field, const char *text);
// Rebuilds the drive table and the drive bars when drives came or went, or
// always with `force` (clock tick, select-drive dialog, FTP front end).
void DriveBarRefresh(bool force);
// Repaints drive, tool-bar and function-key buttons: whole buttons with
// `full`, else only their one-pixel frames.
void BarsRepaintButtons(int full);
// The toggle commands 241-246: shows or hides a bar and lays out again.
void BarsToggle(HWND mainWindow, int command);

// ---- shared by the bar modules

// Mouse tracking of a flat bar button (hot frame, capture) and relaying to
// the bar's tooltip. `pressed` is the flag set on WM_LBUTTONDOWN.
void BarButtonMouseMove(HWND button, HWND tooltip, UINT message, WPARAM wParam, LPARAM lParam);
extern bool gBarButtonPressed;
// Whether tooltips may show now: "Show bubble help" is on and the main
// window is the active window.
bool BarTipsAllowed();
// Registers a button with a tooltip window (text callback).
void BarAddTool(HWND tooltip, HWND button);
HWND BarCreateTooltip(HWND owner);
// Answers a tooltip's TTN_GETDISPINFO (ANSI or Unicode) with `text`.
void BarTipSetText(NMHDR *header, const char *text);
// Registers a bar window class once; false on failure.
bool BarRegisterClass(const char *name, WNDPROC proc, UINT style);
// A bar window of its own class (registered on first use), sized later by
// the layout; null on failure.
HWND BarCreateWindow(const char *className, WNDPROC proc, HWND parent);
// One owner-drawn button of a bar, with the command id as its control id.
HWND BarCreateButton(HWND bar, int id, int width, int height);
// The classic button style (panel option 0x200) and its variant (0x80).
bool BarClassicStyle();
unsigned BarClassicFrame();
// Creates the drive strip and the tool images of gButtonArt once.
void BarsMakeArt();
