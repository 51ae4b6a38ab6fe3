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
void ToolWndLayout(HWND dialog);

// Keys "1".."99" of a section into the list box, until the first empty one.
void ToolListLoad(HWND toolDialog, const char *section);
// Empties the section and writes the list lines as keys "1".."99".
void ToolListSave(HWND toolDialog, const char *section);
// Moves or inserts text at position (0 = top, -1 = end) and selects it.
void ToolListInsert(HWND toolDialog, const char *text, int position);
// The same with item data, selected in a multiple-selection list.
void ToolListInsertData(HWND toolDialog, const char *text, int position, LPARAM data);
void ToolListDeleteCurrent(HWND toolDialog);
// The panel goes to the list's current line (History, Favorites).
void ToolListGoTo(HWND toolDialog, int panel);

// The panel leaves every virtual location it shows, innermost first.
void PanelLeaveLocations(int panel);
// The active panel shows the file's folder with the cursor on the file.
void ContainerGoToFile(const char *path);
// Attributes of a Container line: its item data, read from the file the
// first time (and stored back) when unknown.
DWORD ContainerLineAttributes(HWND list, int index);
// Asks the job's question dialog for the selected lines and starts the job.
void ContainerStartJob(HWND dialog, DLGPROC questionProc, int templ, int jobCode, int titleId, int captionId,
                       int progressTemplate);
// 1 while the Container takes dropped names.
extern volatile LONG gContainerDropBusy;
