// The user menu editor (template 14200): the entries of settings section
// "Menu" (keys M<n> title, C<n> command, D<n> folder, P<n> parameters,
// T<n> run mode 0 normal, 1 minimised, 2 maximised), edited in a scratch
// copy of the section and written back in list order on OK.
#pragma once

#include <windows.h>

enum : int {
    kDlgUserMenu = 14200,
    kIdUmList = 14201, kIdUmTitle = 14202, kIdUmCommand = 14203, kIdUmFolder = 14204, kIdUmParams = 14205,
    kIdUmMode = 14206,
    kIdUmAdd = 97, kIdUmDelete = 96, kIdUmBrowse = 95, kIdUmUp = 14535, kIdUmDown = 14536,
};

INT_PTR CALLBACK UserMenuDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Command 409. Returns 1 on OK (the section rewritten), 0 on Cancel (the
// settings file untouched). The scratch file is gone afterwards either way.
int UserMenuCommand(HWND owner);
