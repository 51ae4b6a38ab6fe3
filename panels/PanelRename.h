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
