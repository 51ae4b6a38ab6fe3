// The panel windows: list window (class "Pn"), path bar ("pp"), the two
// scroll bars and the corner box ("ps"), their layout in the main window and
// the list window's message table.
#pragma once

#include <windows.h>
#include <stdint.h>

const char *const kPanelClassName = "Pn";
const char *const kPathBarClassName = "pp";
const char *const kCornerBoxClassName = "ps";

// Private messages of a list window.
enum : UINT {
    kPanelMsgRefresh = WM_USER + 1,     // re-layout and repaint
    kPanelMsgRepaintPath = WM_USER + 2, // path text, then the cursor row
    kPanelMsgRepaintCursor = WM_USER + 3,
    kPanelMsgDragStart = WM_USER + 50,
    kPanelMsgQuickSearch = WM_USER + 60, // wParam: the letter's key, 0 for none
};

// Creates the windows of one panel (start-up); returns the result of
// entering the panel's folder, 0 when a class cannot be registered.
int PanelCreateWindows(HWND mainWindow, int panel);
// Lays out both panels in the main window (also PanelRelayoutAll).
void PanelLayout();
void PanelRelayoutAll();
void PanelUpdateScrollBars(HWND listWindow);
LRESULT CALLBACK PanelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PathBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CornerBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PanelRepaintAll(HWND listWindow);
void PanelRepaintPathText(HWND listWindow);
void PanelRepaintCursor(HWND listWindow);

// WM_HSCROLL / WM_VSCROLL that reach the main window from a panel's bars.
void PanelScrollFromMain(UINT message, WPARAM wParam, LPARAM lParam);
// Focus to the active panel's list.
void PanelFocusActive();
// Panel index of a list window or path bar, -1 for another window.
int PanelFromWindow(HWND window);

// Cursor and scroll values back into range after the list or the window
// changed; repaints the old and new cursor rows of the active panel.
void PanelClampCursor(int panel);
void PanelSyncColumnFromTop(int panel);
// Entry count of the installed list (short read of the list).
uint32_t PanelListCount(int panel);

// Moves a panel to a folder (or its nearest existing parent): 0 or an error.
int PanelChangeDir(const char *path, int panel);
void PanelGoUp(HWND owner, int panel);
int PanelSelectDrive(HWND owner, int panel, char driveChar);
void PanelActivateOther(int panel);
void PanelSetFocus(int panel);

// Brushes and colours of the panels (made from panelColors when missing).
HBRUSH PanelBrush(int role);
COLORREF PanelColor(int role);
HFONT PanelFont();
