// Quick search: a small modal box that moves the active panel's cursor
// while a name prefix is typed (Alt+letter, Ctrl+Q).
#pragma once

#include <windows.h>

// firstKey: virtual key of the letter that opened it, 0 for none.
INT_PTR QuickSearchOpen(HWND owner, int firstKey);
// The open quick-search box, or null.
HWND QuickSearchWindow();
// Closes an open box without entering the entry (cancel).
void QuickSearchClose();
// Next match after the cursor; beeps when there is none.
void QuickSearchNext(HWND dialog);
