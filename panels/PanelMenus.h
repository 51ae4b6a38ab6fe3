// Popup menus of the panels; their commands reach the main window's
// dispatcher except the column commands 904-909 and the splitter ratios.
#pragma once

#include <windows.h>

HMENU PanelPathBarMenu(int panel);
// slotUnderMouse: the Custom slot under the mouse, -1 for none.
HMENU PanelHeaderMenu(int panel, int slotUnderMouse);
// Column commands 904-909 of the header menu; false for other ids.
bool PanelColumnCommand(int panel, int id, int slot);
