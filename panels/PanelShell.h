// The panels and the Windows shell: the Explorer context menu of a file or
// of the marked files (with one default item of our own), dragging out of a
// plain folder with the shell's own data object, and every list window as an
// OLE drop target that copies, moves or links by the keys held.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

// Flags of PanelShellContextMenu.
enum : unsigned {
    kShellMenuPathEvenMarked = 0x2, // the value 2 alone: no default item
    kShellMenuUpEntry = 0x8,        // the path is the up entry: the default item goes up
    kShellMenuOpenCursor = 0x10,    // the default item opens the cursor entry
};
// Options: bit 0x1, the panel renames itself when the shell's "rename" is
// chosen. `path` (260 bytes, may be emptied) or null for the Recycle Bin.
// 1 when a shell command was carried out.
int PanelShellContextMenu(HWND owner, char *path, int x, int y, unsigned flags, int panel, unsigned options);
// The IContextMenu of the menu shown at the moment (its owner window passes
// the menu messages on to it), null otherwise.
extern IContextMenu *gShellContextMenu;
// While an Explorer menu is open its owner hands the menu messages
// (WM_INITMENUPOPUP, WM_DRAWITEM, WM_MEASUREITEM) to it: true when the
// shell took one, with the owner's result.
bool ShellMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result);
// Command id of the default item.
const UINT kShellMenuDefaultId = 29000;

// Drag of the active panel's marked entries (or cursor entry) with the
// shell's data object.
void DragStartShellItems(HWND window);

// Copy, or move with Shift, or link with Alt.
DWORD DropEffectFromKeys(DWORD keys);
// Makes a list window an OLE drop target (once per window).
void PanelDropTargetRegister(HWND listWindow, int panel);

// The absolute item ID list of a path (made absolute in place; 260 bytes),
// null on failure. Freed with the shell allocator.
LPITEMIDLIST ShellItemFromPath(HWND owner, IShellFolder *desktop, char *path);
