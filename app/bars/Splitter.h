// The drag bar of the splitter between the panels: an inverted halftone bar
// that follows the mouse, with a small window (class "tT") beside the cursor
// that shows the position as a percentage of the width. The same bar serves
// other dividers that are dragged.
#pragma once

#include <windows.h>

HBRUSH WndMakeHalftoneBrush();
// Inverts the rectangle with the halftone brush (made into *brush when
// null); drawing the same rectangle twice leaves the window as it was.
void WndDrawDragBar(HWND window, const RECT *rect, HBRUSH *brush);
// The bar for mouse x: 4 pixels wide, between the bars above and below the
// panels.
RECT SplitterBarRect(HWND mainWindow, int x);
// rect is the caller's drag rectangle: its bottom is not 0 while a bar is
// drawn.
void SplitterDragStart(HWND mainWindow, int x, RECT *rect, HBRUSH *brush);
void SplitterDragMove(HWND mainWindow, int x, RECT *rect, HBRUSH *brush);
void SplitterDragEnd(HWND mainWindow, RECT *rect, HBRUSH *brush);
// The position window while a drag runs, else null.
HWND SplitterPositionWindow();
// Text the position window shows for a drag rectangle: "%.1f %%" of
// (left + 2) / width.
void SplitterPercentText(const RECT *rect, int clientWidth, char *out, size_t size);
