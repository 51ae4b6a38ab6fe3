// Tree mode: a tree control in the list window that shows the folders of
// the panel's drive down to the panel's folder. Interface thread only: the
// refresh thread installs an empty list and the WM_USER+1 it posts fills the
// tree here.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Creates the panel's tree control (Tree mode paint) when it has none.
HWND PanelTreeEnsure(int panel);
HTREEITEM TreeFill(int panel, const char *path, bool expand);
void TreeSyncChildren(const char *folder, int panel, HTREEITEM parent);
void TreeShowPath(int panel, const char *path, bool expand);
void TreeSetColors(HWND tree, HFONT font, COLORREF background, COLORREF text);
// Full path of a tree item (root text + child texts).
void TreeItemPath(HWND tree, HTREEITEM item, char *out, size_t size);
// The path of a tree item: the texts from the item up to the root joined
// with single backslashes; "" without an item.
void TreeGetItemPath(HWND tree, char *out, HTREEITEM item);
void TreeGetSelectedPath(HWND tree, char *out);
// WM_NOTIFY of a panel's list window from its tree control: selecting a
// folder by mouse or keyboard moves both panels there, editing a label
// renames that folder, expanding refills the branch, a click makes the
// panel active. Returns the notification's result.
LRESULT PanelTreeNotify(HWND listWindow, int controlId, NMHDR *notification);
