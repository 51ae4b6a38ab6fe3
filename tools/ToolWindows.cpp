#include "tools/ToolWindows.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/Settings.h"

static INT_PTR ToolDialogCommon(HWND dialog, UINT message, WPARAM wParam, int posSlot) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        gApp->windowPos[posSlot].show = 0;
        ShowWindow(dialog, SW_HIDE);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            gApp->windowPos[posSlot].show = 0;
            ShowWindow(dialog, SW_HIDE);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK HistoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return ToolDialogCommon(dialog, message, wParam, kPosHistory);
}
INT_PTR CALLBACK FavoritesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return ToolDialogCommon(dialog, message, wParam, kPosFavorites);
}
INT_PTR CALLBACK ContainerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return ToolDialogCommon(dialog, message, wParam, kPosContainer);
}

static HWND CreateTool(HWND owner, int templ, DLGPROC proc) {
    HWND dialog = CreateDialogParamA(gApp->hInstance, MAKEINTRESOURCEA(templ), owner, proc, 0);
    if (dialog)
        ShowWindow(dialog, SW_HIDE);
    return dialog;
}

void ToolWindowsCreate(HWND mainWindow) {
    gApp->toolWindows[kToolHistory] = CreateTool(mainWindow, kTemplateHistory, HistoryDialogProc);
    gApp->toolWindows[kToolContainer] = CreateTool(mainWindow, kTemplateContainer, ContainerDialogProc);
    gApp->toolWindows[kToolFavorites] = CreateTool(mainWindow, kTemplateFavorites, FavoritesDialogProc);
    if (gApp->generalOptions & kGenKeepHistory)
        ToolListLoad(gApp->toolWindows[kToolHistory], "History");
    ToolListLoad(gApp->toolWindows[kToolFavorites], "PP");
    if (gApp->generalOptions & kGenKeepContainer)
        ToolListLoad(gApp->toolWindows[kToolContainer], "Container");
}

void ToolListLoad(HWND toolDialog, const char *section) {
    HWND list = toolDialog ? GetDlgItem(toolDialog, kToolListBox) : nullptr;
    if (!list)
        return;
    char path[260];
    IniGetPath(path);
    for (int n = 1; n <= 99; n++) {
        char key[8], value[520];
        snprintf(key, sizeof key, "%d", n);
        if (!GetPrivateProfileStringA(section, key, "", value, sizeof value, path) || !value[0])
            break;
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)value);
    }
}

void ToolListSave(HWND toolDialog, const char *section) {
    HWND list = toolDialog ? GetDlgItem(toolDialog, kToolListBox) : nullptr;
    if (!list)
        return;
    char path[260];
    IniGetPath(path);
    WritePrivateProfileStringA(section, nullptr, nullptr, path);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count && i < 99; i++) {
        int len = (int)SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (len < 0 || len >= 520)
            continue;
        char key[8], value[520];
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)value);
        snprintf(key, sizeof key, "%d", i + 1);
        WritePrivateProfileStringA(section, key, value, path);
    }
}

void ToolListInsert(HWND toolDialog, const char *text, int position) {
    HWND list = toolDialog ? GetDlgItem(toolDialog, kToolListBox) : nullptr;
    if (!list || !text || !text[0])
        return;
    int found = (int)SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (found != LB_ERR)
        SendMessageA(list, LB_DELETESTRING, found, 0);
    int at = (int)SendMessageA(list, LB_INSERTSTRING, position, (LPARAM)text);
    if (at >= 0)
        SendMessageA(list, LB_SETCURSEL, at, 0);
}
