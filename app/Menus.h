// Menus built at run time from static tables in the current language, and
// their owner drawing (flat style with an icon column).
#pragma once

#include <windows.h>
#include <stdint.h>

struct MenuItemDef {
    int16_t id;          // command and text id; 0 ends a table, below 0 a separator
    uint32_t type;       // MFT_ bits
    uint32_t measure;    // height | accelerator width << 8 | label width << 16
    MenuItemDef *popup;  // items of a popup, or null
    char text[52];       // current text, rewritten by every build
};

// The tables.
extern MenuItemDef gMainMenu[];
extern MenuItemDef gCompareMenu[];
extern MenuItemDef gHexMenu[];
extern MenuItemDef gEditorMenu[];
extern MenuItemDef gViewerMenu[];
extern MenuItemDef gBarPopup[];       // Font..., Remove
extern MenuItemDef gFtpBarPopup[];    // show hidden files, disconnect
extern MenuItemDef gCopySavePopup[];  // Copy, Save as...

// Appends the items to `menu`; 0, or 1 when a text is missing (the build
// stops there).
int MenuBuildFromTable(MenuItemDef *table, HMENU menu, MenuItemDef *items, int cutAtTab);
// Replaces the window's menu bar; shows "Loading error." when a text is
// missing and leaves the window without a menu.
void MenuSetFromTable(HWND window, MenuItemDef *table, MenuItemDef *items);
// A popup at the cursor; the chosen command arrives as WM_COMMAND.
void MenuPopupFromTable(HWND window, MenuItemDef *items);

void MenuSetOwnerDraw(HWND window, HMENU menu, int isMenuBar);
// WM_MEASUREITEM / WM_DRAWITEM / WM_MENUCHAR of menus; false when the
// message is not about a menu item of ours.
bool MenuMeasureItem(MEASUREITEMSTRUCT *item);
bool MenuDrawItem(const DRAWITEMSTRUCT *item);
LRESULT MenuFindMnemonic(HMENU menu, char character, UINT flags);
// Plain menus: panel option bit 0x40.
bool MenuPlain();
// Fills the menu bar outside its items with the button face, as the
// owner-drawn items are (nothing for plain menus).
void MenuBarPaintGaps(HWND window);

void MenuIconsInit(HINSTANCE instance);
int MenuIconIndex(int id);

// The menu messages of a window whose menus come from these tables: true
// when handled (the result is in *result).
bool MenuHandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result);
