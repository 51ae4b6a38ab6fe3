#pragma once
// File icons in the panels: the own icon set, the quick class painting uses
// at once, and the background loader that asks the shell for the real icons
// after each re-read, entry by entry, without holding the panel's list while
// the shell works. The loader stops as soon as the panel's list is replaced
// or re-sorted and when the panels close.
#include <windows.h>
#include <stdint.h>

#include "Records.h"
#include "panels/IconClass.h"

// Loads what is missing of the own set (and takes the shell's small system
// image list); a second call loads nothing.
void PanelLoadIcons(HINSTANCE instance);
// Destroys the own set and its image list (shutdown).
void PanelFreeIcons();
// -18 for an archive entry, else 0.
int32_t IconArchiveClass(const FileEntry *entry);
// The code to paint an entry whose code is 0. For a panel that shows a
// location the shell is asked by name alone and the answer is stored in the
// entry (the caller holds the panel's list).
int32_t IconQuickClass(FileEntry *entry, int panel);
// Draws the icon of code `code` at (x, top) and the overlays of a local
// entry; hidden and system entries blend with the row background.
void PanelDrawEntryIcon(HDC dc, int x, int top, const FileEntry *entry, int32_t code, HBRUSH rowBrush,
                        COLORREF rowBack, bool local);
// Starts the panel's loader on a thread of its own when Windows icons are on
// and the panel shows its drive's folders (called after each re-read).
void PanelStartIconLoader(int panel);
// The loader's body.
void IconWorkerRun(int panel);
// Stops every loader and waits (at most 3 s) until none runs.
void PanelStopIconLoaders();
// Test seam: loaders running for the panel.
int PanelIconLoadersBusy(int panel);
