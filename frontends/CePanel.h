// A panel that shows the Windows CE device: choosing the device entry,
// moving between its folders, Enter on an entry, and the re-read of a
// device location. The panel's path is the device path ("\Docs") while the
// device is shown; the folder asked for waits in AppState.savedPath.
#pragma once
#include <windows.h>

#include "Records.h"

// The drive entry of the device (' ' or '['): the panel gets a device node
// and is re-read at the device folder last shown (the root the first time).
// 0, or ERROR_NOT_ENOUGH_MEMORY with the panel unchanged.
int CeSelectDevice(HWND owner, int panel);

// "\" the root, ".." one level up (the folder left is reselected), any other
// name a sub-folder of the panel's device path.
void CeChangeDir(const char* name, int panel, LocationNode* node);

// Enter on a device entry: folders and ".." are entered, a file is started
// on the device. A failure is reported to the user.
void CeOpenEntry(HWND owner, int panel, const char* name, bool folder, bool upDir);

// The refresh thread's re-read of a device location: lists the folder asked
// for into `listing` and, on success, makes it the panel's path. An empty
// device root is an empty panel. Non-zero: nothing listed, the caller drops
// the device node (CeDropLocation) and lists the panel's own folder.
int CePanelList(int panel, LocationNode* node, DirListing* listing);
// CePanelList's answer when the panel left the node while it was listed:
// the listing is no longer the panel's, and nothing needs leaving.
const int kCePanelLeft = -100;

// Takes the device node from the panel and frees it; a path that means
// nothing on the desktop becomes the Windows drive's root.
void CeDropLocation(int panel);

bool PanelShowsDevice(int panel);
