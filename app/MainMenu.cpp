#include "app/MainMenu.h"

#include "app/Menus.h"
#include "panels/PanelViewMenu.h"

void MenusBuild(HWND mainWindow) {
    MenuSetFromTable(mainWindow, gMainMenu, gMainMenu);
    PanelSyncViewMenu(GetMenu(mainWindow));
}
