// Dragging panel entries out to another program through OLE: the program's
// own data object for archive levels (the members are extracted only when
// the drop target asks for the files), and the drop source shared by every
// drag the main window starts.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <stdint.h>

// Drag of the active panel's marked entries (or its cursor entry) with a new
// data object that offers CF_HDROP.
void DragStartPanelFiles();
// The DROPFILES block of the active panel's marked entries (or the cursor
// entry), in global memory that the caller owns; null when there is nothing
// to offer. In an archive level the entries are extracted into a new folder
// of the temporary folder first, and the block names the extracted files.
HGLOBAL DragBuildFileList();
// A drop source whose drag goes on while one of `buttons` (MK_LBUTTON,
// MK_RBUTTON) is held and Escape is not pressed; one reference.
IDropSource *DragNewDropSource(DWORD buttons);
// The drop source lives as long as the main window.
void DragCreateDropSource();
void DragReleaseDropSource();

// A new data object for `panel` that renders CF_HDROP the first time a
// drop target asks for it and hands out copies of that block afterwards;
// one reference. Drags and tests use it alike.
IDataObject *DragNewDataObject(int panel);

// Bit 1: a drag out of a panel runs; bit 2: a file drop is being handled.
extern uint16_t gDragFlags;
// WM_USER+50 of a list window: a drag of the panel's entries while the left
// button is still held. FTP and device panels start none; the panel takes
// no drops while it is the source.
void PanelStartDrag(HWND listWindow);
