// Keys, mouse, scrolling, marking commands and folder changes of the panels.
#pragma once

#include <windows.h>
#include <stdint.h>

// The keyboard behaviour of the panels; always acts on the active panel.
// message is the one to forward when a key goes to a scroll bar (unused
// here: scrolling is done directly); keyData is the key message's lParam.
void PanelHandleKey(HWND owner, UINT message, WPARAM key, LPARAM keyData);
// Quick jump (optLetter): the next entry whose name begins with the letter.
void PanelJumpToLetter(unsigned char letter);
// Mouse messages of a list window.
void PanelMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Scroll-bar codes of a panel (SB_LINEUP ...); thumb is the track position.
void PanelScroll(int panel, bool vertical, int code, int thumb);

// Marking commands (keys grey + - *, commands of the main window).
void PanelSelectByMask(int panel);
void PanelDeselectByMask(int panel);
void PanelInvertMarks(int panel);
// Mask for the next select/deselect instead of the dialog (tests, scripts);
// null restores the dialog.
void PanelSetMaskSource(const char *(*source)(int deselect));

// Panel swap (Ctrl+U) and the splitter position as a fraction of the width.
void PanelSwap();
void PanelSetSplitRatio(float ratio);
// Custom slot under the mouse when the header menu opened (-1 none).
int PanelMenuSlot();
// Header click on a sort key: the same key reverses, another one sorts.
void PanelHeaderSort(int panel, int key);
// WM_CONTEXTMENU of a list window (screen point; -1, -1 from the keyboard):
// the Explorer menu of the entry under the mouse, or the location's menu.
void PanelContextMenu(HWND listWindow, int x, int y);
