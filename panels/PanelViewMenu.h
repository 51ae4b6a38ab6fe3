// The check marks and enabled states of the View, Left and Right menus, kept
// in step with the bars, tool windows, view modes and sort orders.
#pragma once

#include <windows.h>

void MenuCheck(HMENU menu, int id, bool on);
void MenuEnable(HMENU menu, int id, bool on);
// Marks of the given menu, or of the main window's menu when null (nothing
// without one); items whose feature is not built yet end up greyed.
void PanelSyncViewMenu(HMENU menu);
