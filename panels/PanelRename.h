// Renaming the cursor entry in place: an edit box over the entry's name in
// the list window. The rename itself happens when the box is finished
// (RenameInlineFinish): by Enter, by losing the focus or by most commands.
#pragma once

#include <windows.h>

// Opens the box on the active panel's cursor entry; nothing on "..", on an
// empty panel, in a panel that shows a location (FTP, device, archive) or
// when a box is open already. False when no box opened.
bool PanelStartRename();
// Escape: the box goes away and nothing is renamed.
void PanelCancelRename();

// Files dropped from another program (WM_DROPFILES) onto a panel's list
// window or path bar: a copy, move or shortcut job into that panel, by the
// effect its drop target recorded. Takes the drop handle and releases it.
void PanelOnDropFiles(HWND listWindow, HDROP drop);
// The drop itself; `window` owns the copy dialog. Returns 0.
int PanelDropFiles(HWND window, HDROP drop, int panel);
