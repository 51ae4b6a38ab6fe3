// The History, Favorites and Container tool windows (modeless dialogs with
// the list box 14541) and their lists in the settings file.
#pragma once
#include <windows.h>

const int kToolListBox = 14541;
const int kTemplateHistory = 14540, kTemplateFavorites = 14543, kTemplateContainer = 14544;

INT_PTR CALLBACK HistoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FavoritesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ContainerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the three tool windows hidden (main window creation).
void ToolWindowsCreate(HWND mainWindow);

// Keys "1".."99" of a section into the list box, until the first empty one.
void ToolListLoad(HWND toolDialog, const char *section);
// Empties the section and writes the list lines as keys "1".."99".
void ToolListSave(HWND toolDialog, const char *section);
// Moves or inserts text at position (0 = top) and selects it.
void ToolListInsert(HWND toolDialog, const char *text, int position);
