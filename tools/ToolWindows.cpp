#include "tools/ToolWindows.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/DirWatch.h"
#include "app/Settings.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/PathParts.h"
#include "panels/Location.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "base/Paths.h"
#include "tools/ExtPrograms.h"
#include "tools/RunServices.h"
#include "wingui/GuiDraw.h"
#include "wingui/WindowUtil.h"

// Option bits of the tool windows' check boxes.
const uint32_t kGenHistoryClose = 0x10000000;
const uint32_t kGenFavoritesClose = 0x20000000;

enum : int {
    kTwGoTo = 324,
    kTwAdd = 97,
    kTwRemove = 96,
    kTwUp = 14535,
    kTwDown = 14536,
    kTwRun = 101,
    kTwView = 102,
    kTwEdit = 104,
    kTwCopy = 105,
    kTwMove = 106,
    kTwDelete = 109,
    kTwPrint = 110,
    kTwKeep = 14542,
    kTwCloseWin = 14549,
};

// Per window: the tooltip and the list's previous procedure.
struct ToolWndData {
    HWND tooltip;
    WNDPROC oldListProc;
    int posSlot;
};
static ToolWndData gToolData[kToolWindowCount];

static int ToolSlotOf(HWND dialog) {
    for (int i = 0; i < kToolWindowCount; i++) {
        if (gApp && gApp->toolWindows[i] == dialog)
            return i;
    }
    return -1;
}

static HWND ToolList(HWND dialog) { return dialog ? GetDlgItem(dialog, kToolListBox) : nullptr; }

static LRESULT CALLBACK ToolListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND dialog = GetParent(list);
    int slot = ToolSlotOf(dialog);
    WNDPROC old = slot >= 0 ? gToolData[slot].oldListProc : nullptr;
    if (message == WM_SETFOCUS && gApp)
        gApp->wheelTarget = list;
    if (message == WM_MOUSEMOVE && slot >= 0 && gToolData[slot].tooltip) {
        MSG msg = {list, message, wParam, lParam, 0, {0, 0}};
        SendMessageA(gToolData[slot].tooltip, TTM_RELAYEVENT, 0, (LPARAM)&msg);
    }
    return old ? CallWindowProcA(old, list, message, wParam, lParam) : DefWindowProcA(list, message, wParam, lParam);
}

static const int kButtonOrder[] = {kTwGoTo, kTwAdd,  kTwRemove, kTwUp,     kTwDown,   kTwRun,
                                   kTwView, kTwEdit, kTwCopy,   kTwMove,   kTwDelete, kTwPrint};

void ToolWndLayout(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    int bottom = client.bottom;
    if (HWND list = ToolList(dialog))
        MoveWindow(list, 0, 0, client.right, bottom > 36 ? bottom - 36 : 0, TRUE);
    int x = 7;
    for (int id : kButtonOrder) {
        if (HWND button = GetDlgItem(dialog, id)) {
            MoveWindow(button, x, bottom - 32, 25, 25, TRUE);
            x += 27;
        }
    }
    HWND keep = GetDlgItem(dialog, kTwKeep), close = GetDlgItem(dialog, kTwCloseWin);
    int width = client.right - x - 7;
    if (width < 0)
        width = 0;
    if (keep)
        MoveWindow(keep, x + 5, close ? bottom - 35 : bottom - 25, width, 14, TRUE);
    if (close)
        MoveWindow(close, x + 5, keep ? bottom - 20 : bottom - 25, width, 14, TRUE);
}

static void ToolWndInit(HWND dialog, int slot, int posSlot) {
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    WindowPos &pos = gApp->windowPos[posSlot];
    if (pos.left == 0 && pos.top == 0) {
        uint8_t show = pos.show;
        WndStorePos(dialog, &pos);
        pos.show = show;
        WndRestorePos(dialog, &pos);
    }
    ToolWndLayout(dialog);
    if (gApp->appIcon)
        SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)gApp->appIcon);
    ToolWndData &data = gToolData[slot];
    data.posSlot = posSlot;
    data.tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, gApp->hInstance,
                                   nullptr);
    if (data.tooltip) {
        for (int id : kButtonOrder) {
            HWND button = GetDlgItem(dialog, id);
            if (!button)
                continue;
            TOOLINFOA info = {};
            info.cbSize = TTTOOLINFOA_V1_SIZE;
            info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            info.hwnd = dialog;
            info.uId = (UINT_PTR)button;
            info.lpszText = LPSTR_TEXTCALLBACKA;
            SendMessageA(data.tooltip, TTM_ADDTOOLA, 0, (LPARAM)&info);
        }
    }
    if (HWND list = ToolList(dialog))
        data.oldListProc = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)ToolListProc);
}

static void ToolWndTip(HWND dialog, NMHDR *header) {
    if (header->code != TTN_NEEDTEXTA)
        return;
    NMTTDISPINFOA *info = (NMTTDISPINFOA *)header;
    info->szText[0] = 0;
    info->lpszText = info->szText;
    HWND active = WndActiveWindow();
    if (!(gApp->generalOptions & kGenHelp) || (active != dialog && active != gMainWindow))
        return;
    int id = (info->uFlags & TTF_IDISHWND) ? GetDlgCtrlID((HWND)header->idFrom) : (int)header->idFrom;
    char text[80];
    TextGet(id + 1000, text, sizeof text);
    lstrcpynA(info->szText, text, sizeof info->szText);
}

// The messages every tool window answers alike; -1 when the message is not
// one of them.
static INT_PTR ToolWndCommon(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, int slot, int posSlot,
                             int minWidth) {
    WindowPos &pos = gApp->windowPos[posSlot];
    switch (message) {
    case WM_INITDIALOG:
        ToolWndInit(dialog, slot, posSlot);
        return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            ToolWndLayout(dialog);
        if (IsWindowVisible(dialog))
            WndStorePos(dialog, &pos);
        return TRUE;
    case WM_MOVE:
        if (IsWindowVisible(dialog))
            WndStorePos(dialog, &pos);
        return TRUE;
    case WM_SHOWWINDOW:
        if (wParam && lParam == 0)
            pos.show = 1;
        return FALSE;
    case WM_GETMINMAXINFO:
        ((MINMAXINFO *)lParam)->ptMinTrackSize.x = minWidth;
        ((MINMAXINFO *)lParam)->ptMinTrackSize.y = 100;
        return TRUE;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT *item = (const DRAWITEMSTRUCT *)lParam;
        WndDrawButton(item->hDC, &item->rcItem, (int)item->CtlID, item->itemState, kBtnCmdImage | kBtnFillFace, 0);
        return TRUE;
    }
    case WM_NOTIFY:
        ToolWndTip(dialog, (NMHDR *)lParam);
        return TRUE;
    case WM_MOUSEMOVE:
        if (gToolData[slot].tooltip) {
            MSG msg = {dialog, message, wParam, lParam, 0, {0, 0}};
            SendMessageA(gToolData[slot].tooltip, TTM_RELAYEVENT, 0, (LPARAM)&msg);
        }
        return TRUE;
    case WM_CLOSE:
        pos.show = 0;
        ShowWindow(dialog, SW_HIDE);
        return TRUE;
    case WM_DESTROY:
        if (HWND list = ToolList(dialog)) {
            if (gToolData[slot].oldListProc)
                SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)gToolData[slot].oldListProc);
        }
        if (gToolData[slot].tooltip)
            DestroyWindow(gToolData[slot].tooltip);
        gToolData[slot] = ToolWndData{};
        return FALSE;
    }
    return -1;
}

static void SetOptionBit(uint32_t bit, bool on) {
    if (on)
        gApp->generalOptions |= bit;
    else
        gApp->generalOptions &= ~bit;
}

static void ShowChecks(HWND dialog, uint32_t closeBit, uint32_t keepBit) {
    if (closeBit)
        CheckDlgButton(dialog, kTwCloseWin, (gApp->generalOptions & closeBit) ? BST_CHECKED : BST_UNCHECKED);
    if (keepBit)
        CheckDlgButton(dialog, kTwKeep, (gApp->generalOptions & keepBit) ? BST_CHECKED : BST_UNCHECKED);
}

static int ActivePanel() { return gApp->activePanel & 1; }

// The panel leaves every virtual location it shows, innermost first.
void PanelLeaveLocations(int panel) {
    LocationNode *node = gApp->panels[panel].location;
    while (node) {
        LocationNode *parent = LocationFollowsParent(node) ? node->parent : nullptr;
        gApp->panels[panel].location = node;
        LocationFree(node);
        node = parent;
    }
    gApp->panels[panel].location = nullptr;
}

// ---- History and Favorites

void ToolListGoTo(HWND toolDialog, int panel) {
    HWND list = ToolList(toolDialog);
    if (!list)
        return;
    int current = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    int len = current >= 0 ? (int)SendMessageA(list, LB_GETTEXTLEN, current, 0) : -1;
    if (len <= 0 || len >= 260)
        return;
    char line[260];
    SendMessageA(list, LB_GETTEXT, current, (LPARAM)line);
    PanelLeaveLocations(panel);
    if ((gApp->panelMode[panel] & 0xF) == kViewTree)
        return;
    if (RunPanelSetFolder(toolDialog, line, panel) != 0)
        return;
    WndBringToFront(gMainWindow);
}

static void GoToAndMaybeClose(HWND dialog, uint32_t closeBit, int toggleCommand) {
    ToolListGoTo(dialog, ActivePanel());
    if (gApp->generalOptions & closeBit)
        PostMessageA(gMainWindow, WM_COMMAND, toggleCommand, 0);
}

// The commands History and Favorites share; -1 for any other.
static INT_PTR ListToolCommand(HWND dialog, int command, int notify, uint32_t closeBit, int toggleCommand) {
    switch (command) {
    case IDOK:
    case kCmdJobFinished:
    case kTwGoTo:
        GoToAndMaybeClose(dialog, closeBit, toggleCommand);
        return TRUE;
    case IDCANCEL:
        PostMessageA(gMainWindow, WM_COMMAND, toggleCommand, 0);
        return TRUE;
    case kTwRemove:
        ToolListDeleteCurrent(dialog);
        return TRUE;
    case kToolListBox:
        if (notify == LBN_DBLCLK)
            PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
        return TRUE;
    case kTwCloseWin:
        SetOptionBit(closeBit, IsDlgButtonChecked(dialog, kTwCloseWin) == BST_CHECKED);
        return TRUE;
    }
    return -1;
}

INT_PTR CALLBACK HistoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR common = ToolWndCommon(dialog, message, wParam, lParam, kToolHistory, kPosHistory, 200);
    if (message == WM_INITDIALOG)
        ShowChecks(dialog, kGenHistoryClose, kGenKeepHistory);
    if (common != -1)
        return common;
    if (message != WM_COMMAND)
        return FALSE;
    INT_PTR shared = ListToolCommand(dialog, LOWORD(wParam), HIWORD(wParam), kGenHistoryClose, 302);
    if (shared != -1)
        return shared;
    if (LOWORD(wParam) == kTwKeep) {
        SetOptionBit(kGenKeepHistory, IsDlgButtonChecked(dialog, kTwKeep) == BST_CHECKED);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK FavoritesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR common = ToolWndCommon(dialog, message, wParam, lParam, kToolFavorites, kPosFavorites, 150);
    if (message == WM_INITDIALOG)
        ShowChecks(dialog, kGenFavoritesClose, 0);
    if (common != -1)
        return common;
    if (message != WM_COMMAND)
        return FALSE;
    INT_PTR shared = ListToolCommand(dialog, LOWORD(wParam), HIWORD(wParam), kGenFavoritesClose, 303);
    if (shared != -1)
        return shared;
    switch (LOWORD(wParam)) {
    case kTwAdd: {
        int panel = ActivePanel();
        if (!gApp->panels[panel].location)
            ToolListInsert(dialog, gApp->panelPath[panel], 0);
        return TRUE;
    }
    case kTwUp:
        DlgListBoxMoveUp(dialog, kToolListBox);
        return TRUE;
    case kTwDown:
        DlgListBoxMoveDown(dialog, kToolListBox);
        return TRUE;
    }
    return FALSE;
}

// ---- Container

void ContainerGoToFile(const char *path) {
    int panel = ActivePanel();
    PanelLeaveLocations(panel);
    char drive[8], folder[260], name[260], ext[260];
    PathSplit(path, drive, folder, name, ext);
    char target[260];
    lstrcpynA(target, drive, sizeof target);
    StrAppend(target, folder, sizeof target);
    size_t n = strlen(folder);
    if (n > 1 && folder[n - 1] == '\\')
        target[strlen(target) - 1] = 0;
    memcpy(gApp->panelPath[panel], target, sizeof target);
    StrAppend(name, ext, sizeof name);
    PanelRequestRereadSelect(panel, name);
    DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
}

static bool ContainerLine(HWND list, int index, char *out) {
    int len = (int)SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (len <= 0 || len >= 260)
        return false;
    SendMessageA(list, LB_GETTEXT, index, (LPARAM)out);
    return true;
}

DWORD ContainerLineAttributes(HWND list, int index) {
    LRESULT data = SendMessageA(list, LB_GETITEMDATA, index, 0);
    if ((DWORD)data != 0xFFFFFFFFu && data != LB_ERR)
        return (DWORD)data;
    char path[260];
    if (!ContainerLine(list, index, path))
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SendMessageA(list, LB_SETITEMDATA, index, (LPARAM)attributes);
    return attributes;
}

static void ContainerAddFromPanel(HWND dialog) {
    int panel = ActivePanel();
    if (gApp->panels[panel].location)
        return;
    PanelIter iter;
    bool marked = false;
    uint32_t count = 0;
    for (FileEntry *e = PanelIterBegin(&iter, panel); e; e = PanelIterNext(&iter)) {
        if (!(e->mark & 1) || EntryIsUpDir(e))
            continue;
        marked = true;
        char path[260];
        if (PanelEntryPath(e, panel, path, sizeof path) == 0) {
            ToolListInsertData(dialog, path, -1, e->flags & 0xFFFF & ~kEntryUpDir);
            count++;
        }
        e->mark = (uint8_t)((e->mark & 1) << 1);
    }
    PanelIterEnd(&iter);
    if (marked) {
        if (gApp->panels[panel].listWindow)
            PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
        return;
    }
    FileEntry *e = PanelGetCursorEntry(&iter, panel);
    if (e && !EntryIsUpDir(e)) {
        char path[260];
        if (PanelEntryPath(e, panel, path, sizeof path) == 0)
            ToolListInsertData(dialog, path, -1, e->flags & 0xFFFF & ~kEntryUpDir);
    }
    PanelIterEnd(&iter);
}

// Runs an action on every selected line, top to bottom.
template <class F> static void ForEachSelected(HWND list, F action) {
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        if (SendMessageA(list, LB_GETSEL, i, 0) <= 0)
            continue;
        char path[260];
        if (ContainerLine(list, i, path))
            action(path, i);
    }
}

void ContainerStartJob(HWND dialog, DLGPROC questionProc, int templ, int jobCode, int titleId, int captionId,
                       int progressTemplate) {
    HWND list = ToolList(dialog);
    if (!list)
        return;
    int selected = (int)SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (selected <= 0)
        return;
    int first = -1;
    SendMessageA(list, LB_GETSELITEMS, 1, (LPARAM)&first);
    char line[260];
    if (first < 0 || !ContainerLine(list, first, line))
        return;
    JobRecord job = {};
    job.itemCount = (uint32_t)selected;
    lstrcpynA(job.target, line + PathFindName(line), sizeof job.target);
    LRESULT data = SendMessageA(list, LB_GETITEMDATA, first, 0);
    job.itemInfo = (uint32_t)data;
    if (job.itemInfo == 0xFFFFFFFFu && selected == 1)
        job.itemInfo = ContainerLineAttributes(list, first);
    job.flags = gApp->generalOptions;
    job.sourcePanel = (uint16_t)ActivePanel();
    job.titleId = (uint16_t)titleId;
    job.captionId = (uint16_t)captionId;
    job.jobCode = (uint16_t)jobCode;
    if (DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(templ), dialog, questionProc, (LPARAM)&job) != IDOK)
        return;
    gApp->generalOptions = job.flags;
    if (job.cancel) {
        gApp->generalOptions &= ~kJobStatistics;
        job.cancel = 0;
    }
    if (templ == kDlgCopySimple)
        job.flags = kJobInclSubDirs;
    else
        job.flags = (job.flags & (kJobWipe | kJobRecycle)) | kJobInclSubDirs;
    JobShowDialog(dialog, progressTemplate, &job);
}

static void ContainerDropFiles(HWND dialog, HDROP drop) {
    InterlockedExchange(&gContainerDropBusy, 1);
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    char path[MAX_PATH];
    for (UINT i = 0; i < count; i++) {
        UINT n = DragQueryFileA(drop, i, path, sizeof path);
        if (n > 0 && n < sizeof path)
            ToolListInsertData(dialog, path, -1, (LPARAM)-1);
    }
    DragFinish(drop);
    WndBringToFront(dialog);
    InterlockedExchange(&gContainerDropBusy, 0);
}

volatile LONG gContainerDropBusy = 0;

static void ContainerCommand(HWND dialog, int id, int notify) {
    HWND list = ToolList(dialog);
    switch (id) {
    case IDOK:
    case kCmdJobFinished:
    case kTwGoTo: {
        int current = (int)SendMessageA(list, LB_GETCARETINDEX, 0, 0);
        char path[260];
        if (current >= 0 && ContainerLine(list, current, path))
            ContainerGoToFile(path);
        return;
    }
    case IDCANCEL:
        PostMessageA(gMainWindow, WM_COMMAND, 304, 0);
        return;
    case kTwRemove: {
        int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (int i = count - 1; i >= 0; i--) {
            if (SendMessageA(list, LB_GETSEL, i, 0) > 0)
                SendMessageA(list, LB_DELETESTRING, i, 0);
        }
        SendMessageA(list, LB_SETSEL, TRUE, 0);
        return;
    }
    case kTwAdd:
        ContainerAddFromPanel(dialog);
        return;
    case kTwRun:
        ForEachSelected(list, [&](const char *path, int) { RunStartFile(dialog, path); });
        return;
    case kTwView:
        ForEachSelected(list, [&](const char *path, int) { ViewerOpenActive(dialog, path, nullptr); });
        return;
    case kTwEdit:
        ForEachSelected(list, [&](const char *path, int) { EditOpenActive(dialog, path, nullptr); });
        return;
    case kTwCopy:
        ContainerStartJob(dialog, CopyDialogProc, kDlgCopySimple, kJobCodeContainerCopy, 4031, 4032, kDlgJobCopy);
        return;
    case kTwMove:
        ContainerStartJob(dialog, CopyDialogProc, kDlgCopySimple, kJobCodeContainerMove, 4033, 4034, kDlgJobCopy);
        return;
    case kTwDelete:
        ContainerStartJob(dialog, DelDialogProc, 10600, kJobCodeContainerDelete, 4037, 4038, kDlgJobDelete);
        return;
    case kToolListBox:
        if (notify == LBN_DBLCLK)
            PostMessageA(dialog, WM_COMMAND, kCmdJobFinished, 0);
        return;
    case kTwKeep:
        SetOptionBit(kGenKeepContainer, IsDlgButtonChecked(dialog, kTwKeep) == BST_CHECKED);
        return;
    }
}

INT_PTR CALLBACK ContainerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR common = ToolWndCommon(dialog, message, wParam, lParam, kToolContainer, kPosContainer, 300);
    if (message == WM_INITDIALOG) {
        ShowChecks(dialog, 0, kGenKeepContainer);
        DragAcceptFiles(dialog, TRUE);
    }
    if (common != -1)
        return common;
    switch (message) {
    case WM_COMMAND:
        ContainerCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DROPFILES:
        ContainerDropFiles(dialog, (HDROP)wParam);
        return TRUE;
    }
    return FALSE;
}

// ---- creation and the lists

static HWND CreateTool(HWND owner, int templ, DLGPROC proc) {
    HWND dialog = CreateDialogParamA(gApp->hInstance, MAKEINTRESOURCEA(templ), owner, proc, 0);
    if (dialog)
        ShowWindow(dialog, SW_HIDE);
    return dialog;
}

void ToolWindowsCreate(HWND mainWindow) {
    // The handles are known before the dialogs' first messages, which look
    // themselves up in the table.
    gApp->toolWindows[kToolHistory] = CreateTool(mainWindow, kTemplateHistory, HistoryDialogProc);
    gApp->toolWindows[kToolContainer] = CreateTool(mainWindow, kTemplateContainer, ContainerDialogProc);
    gApp->toolWindows[kToolFavorites] = CreateTool(mainWindow, kTemplateFavorites, FavoritesDialogProc);
    if (gApp->generalOptions & kGenKeepHistory)
        ToolListLoad(gApp->toolWindows[kToolHistory], "History");
    ToolListLoad(gApp->toolWindows[kToolFavorites], "PP");
    if (gApp->generalOptions & kGenKeepContainer)
        ToolListLoad(gApp->toolWindows[kToolContainer], "Container");
}

static bool IsContainer(HWND toolDialog) { return gApp && toolDialog && toolDialog == gApp->toolWindows[kToolContainer]; }

void ToolListLoad(HWND toolDialog, const char *section) {
    HWND list = ToolList(toolDialog);
    if (!list)
        return;
    char path[260];
    IniGetPath(path);
    for (int n = 1; n <= 99; n++) {
        char key[8], value[264];
        snprintf(key, sizeof key, "%d", n);
        if (!GetPrivateProfileStringA(section, key, "", value, sizeof value, path) || !value[0])
            break;
        LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)value);
        if (at >= 0 && IsContainer(toolDialog))
            SendMessageA(list, LB_SETITEMDATA, at, (LPARAM)-1);
    }
    if (IsContainer(toolDialog))
        SendMessageA(list, LB_SETSEL, TRUE, 0);
    else
        SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void ToolListSave(HWND toolDialog, const char *section) {
    HWND list = ToolList(toolDialog);
    if (!list)
        return;
    char path[260];
    IniGetPath(path);
    WritePrivateProfileSectionA(section, "", path);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count && i < 99; i++) {
        int len = (int)SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (len <= 0 || len >= 264)
            break;
        char key[8], value[264];
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)value);
        snprintf(key, sizeof key, "%d", i + 1);
        WritePrivateProfileStringA(section, key, value, path);
    }
}

void ToolListInsert(HWND toolDialog, const char *text, int position) {
    HWND list = ToolList(toolDialog);
    if (!list || !text || !text[0])
        return;
    int found = (int)SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (found != LB_ERR)
        SendMessageA(list, LB_DELETESTRING, found, 0);
    int at = (int)SendMessageA(list, LB_INSERTSTRING, position, (LPARAM)text);
    if (at >= 0)
        SendMessageA(list, LB_SETCURSEL, at, 0);
}

void ToolListInsertData(HWND toolDialog, const char *text, int position, LPARAM data) {
    HWND list = ToolList(toolDialog);
    if (!list || !text || !text[0])
        return;
    int found = (int)SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (found != LB_ERR)
        SendMessageA(list, LB_DELETESTRING, found, 0);
    int at = (int)SendMessageA(list, LB_INSERTSTRING, position, (LPARAM)text);
    if (at < 0)
        return;
    SendMessageA(list, LB_SETITEMDATA, at, data);
    SendMessageA(list, LB_SETSEL, TRUE, at);
}

void ToolListDeleteCurrent(HWND toolDialog) {
    HWND list = ToolList(toolDialog);
    if (!list)
        return;
    int current = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (current < 0)
        return;
    SendMessageA(list, LB_DELETESTRING, current, 0);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count > 0)
        SendMessageA(list, LB_SETCURSEL, current < count ? current : count - 1, 0);
}
