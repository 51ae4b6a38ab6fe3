#pragma once
// Archives shown in a panel: opening an archive file as a panel level,
// moving between its folders, and leaving it again.
#include <windows.h>

#include "Records.h"

// Opens the archive at `path` (no node) or re-lists the level of `node`
// (its inner path already set by the caller), swaps the listing into the
// panel and returns the node, or null when the file is no archive the
// library reads (the panel is then left as it was). With a node that can
// no longer be read, the node is freed and null returned.
LocationNode *PanelShowArchive(HWND owner, const char *path, int panel, LocationNode *node);

// Enter on the cursor entry of a panel inside an archive: ".." goes one
// folder up (out of the archive at its root), a folder is entered. True
// when the entry was handled.
bool PanelArchiveEnter(HWND owner, int panel, const char *name, bool up, bool folder);

// Leaves the archive level the panel shows; the cursor goes to the archive
// file in its folder.
void PanelLeaveArchive(int panel);

// Shows the file as an archive when the library reads it; true when it did.
bool PanelTryOpenArchive(HWND owner, int panel, const char *path);

// Enter on a member of an archive level that is an archive itself: a copy
// taken out into the program's temporary folder opens as a level below the
// one shown. False when it is no archive the library reads (the copy is
// gone again).
bool PanelOpenNestedArchive(HWND owner, int panel, const char *name);
