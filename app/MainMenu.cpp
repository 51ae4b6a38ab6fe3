// First version: a Files menu with Exit. The menu tables replace it.
#include "app/MainMenu.h"

void MenusBuild(HWND mainWindow) {
    HMENU old = GetMenu(mainWindow);
    HMENU bar = CreateMenu();
    HMENU files = CreatePopupMenu();
    AppendMenuA(files, MF_STRING, 120, "E&xit");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)files, "&Files");
    SetMenu(mainWindow, bar);
    if (old)
        DestroyMenu(old);
}
