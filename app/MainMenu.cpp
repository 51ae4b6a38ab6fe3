#include "app/MainMenu.h"

#include "app/Menus.h"

void MenusBuild(HWND mainWindow) { MenuSetFromTable(mainWindow, gMainMenu, gMainMenu); }
