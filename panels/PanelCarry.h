// Carrying marks, icons and counted folder sizes from a panel's old list to
// the new one after a re-read of the same folder. Pure.
#pragma once

#include "panels/PanelList.h"

// Installs `data` like PanelListInstall; with keepMarks it first copies, for
// every old entry that is marked (or every old entry when allEntries), the
// mark byte and icon to the new entry of the same name (exact case) and
// folder bit, and a counted size between folders. The lookup table is built
// before the list is taken, so readers are held out only for the copy: one
// hash lookup per old entry.
bool PanelListInstallCarry(int panel, PanelListData &data, bool keepMarks, bool allEntries, int timeoutMs);
