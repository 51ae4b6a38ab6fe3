#pragma once
// Occupied space: files, folders and bytes of a folder tree or of a panel's
// marked entries, in bytes and aligned up to whole clusters, with a second
// sum for the entries a filter passes. A link to a folder counts as one
// folder and is never entered.
#include <windows.h>
#include <stdint.h>

#include "Records.h"

// Adds the folder's tree to the stats (the folder itself not counted). The
// panel's stop bit ends the count early.
void SpaceCountFolder(const char *folder, SpaceStats *stats);
// Counts the marked entries of the panel, or its cursor entry when none is
// marked. With `markCounted` each counted entry's mark moves to the
// "previous" bit. The panel's list is read under its reader count and only
// briefly: the names are copied first.
void SpaceCountSelection(HWND owner, int panel, bool markCounted, SpaceStats *stats);
// The message the occupied-space command shows.
void SpaceFormatMessage(const SpaceStats *stats, char *out, size_t size);
// The command: counts the active panel on a thread and shows the message.
void OccupiedSpaceCommand(HWND owner);
// Comparing the two panels (both marks set at once, repainted).
void PanelsCompareCommand(HWND owner);
