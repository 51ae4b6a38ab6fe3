// The main program's side of the viewer library: the host services table,
// one wrapper per command, and the callbacks the library makes.
#pragma once
#include <windows.h>

#include "ViewerLib.h"

// Fills the 29 slots handed over with the library's opening command.
void ViewerFillHostServices(ViewerHostServices* host);
// Code plus up to five arguments; the library's result, 0 without library.
int ViewerSendCommand(uint32_t code, uintptr_t a1 = 0, uintptr_t a2 = 0, uintptr_t a3 = 0, uintptr_t a4 = 0,
                      uintptr_t a5 = 0);
// True when the library is there; else the once-per-run message and false.
bool ViewerEnsureLoaded(HWND owner);

void ViewerClose(ViewRecord* view);
void ViewerPaint(HWND window, HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view);
void ViewerSetTextStyle(HFONT font, COLORREF text, COLORREF back, ViewRecord* view);
void ViewerResize(HWND window, ViewRecord* view);
int ViewerScroll(HWND window, int bar, int delta); // the delta applied
void ViewerSetScrollRanges(HWND window, int width, int height);
void ViewerOpen(HWND window, HDC hdc, ViewRecord* view);
void ViewerCursorTick(HWND window, ViewRecord* view);
void ViewerGifTick(HWND window, ViewRecord* view);
void ViewerActivate(void* viewObject);

// A view record's host fields for a view shown in `window` (null for a
// viewer window, the pane's window for the quick view).
void ViewerInitRecord(ViewRecord* view, char* displayPath, char* openPath, int32_t* scrollX, int32_t* scrollY,
                      HWND hostWindow);

// The quick-view pane: shows the source panel's cursor entry in the list
// window of viewPanel. Returns 1 when the pane changed, 0 when the entry is
// the one already shown (or there is none).
int ViewerQuickViewUpdate(ViewRecord* view, int sourcePanel, int viewPanel);
// Paints the pane into the view panel's list window (opening the entry on
// the first paint).
void ViewerQuickViewPaint(HWND listWindow, HDC hdc, const RECT* rect, HBRUSH brush);
// Releases whatever the pane shows (leaving quick view, exit).
void ViewerQuickViewClose();
