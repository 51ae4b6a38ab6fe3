#include "app/Commands.h"
#include "panels/QuickSearch.h"

#include <stdio.h>
#include <string.h>
#include <winnetwk.h>
#include <commctrl.h>
#include <shellapi.h>

#include "AppState.h"
#include "frontends/CePanel.h"
#include "celink/CeNames.h"
#include "panels/EntryBuild.h"
#include "panels/PanelViewMode.h"
#include "app/bars/Bars.h"
#include "app/DirWatch.h"
#include "app/bars/DriveBar.h"
#include "app/bars/FunctionKeys.h"
#include "app/MainMenu.h"
#include "wingui/GuiDraw.h"
#include "app/Help.h"
#include "app/Language.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "wingui/ShellServices.h"
#include "base/Texts.h"
#include "app/bars/ToolBar.h"
#include "wingui/WindowUtil.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/AttrJob.h"
#include "fileops/ToolJobs.h"
#include "fileops/DiskInfo.h"
#include "fileops/SysTools.h"
#include "fileops/DiskTools.h"
#include "fileops/SyncWindow.h"
#include "panels/SpaceCount.h"
#include "panels/DirSizes.h"
#include "panels/SpaceInfo.h"
#include "tools/ClockDialog.h"
#include "tools/ColorDialog.h"
#include "tools/OptionsDialog.h"
#include "tools/UserMenuDialog.h"
#include "tools/DiffWindow.h"
#include "panels/FilterDialog.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/FtpTools.h"
#include "panels/Location.h"
#include "panels/PanelInput.h"
#include "panels/PanelIter.h"
#include "panels/PanelNav.h"
#include "panels/PanelStatus.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelViewMenu.h"
#include "panels/PanelWindow.h"
#include "wingui/WindowList.h"
#include "frontends/PackCommands.h"
#include "panels/PanelArchive.h"
#include "panels/PanelExport.h"
#include "tools/HexEditor.h"
#include "tools/RunServices.h"
#include "tools/TextEditor.h"
#include "tools/ExtPrograms.h"
#include "tools/FindTool.h"
#include "tools/ToolWindows.h"
#include "tools/ViewerWindow.h"

static void Beep(UINT type) { MessageBeep(type); }
void (*gCommandBeep)(UINT) = Beep;

void CommandBeep() { gCommandBeep(MB_ICONHAND); }

void FeatureNotBuilt(int id) {
    (void)id;
    CommandBeep();
}

// Commands whose feature is not in the program yet: menus show them greyed,
// and the dispatcher, which has no case for them, beeps. An id leaves this
// table when its case is added.
static const struct {
    int first, last;
} kNotBuiltIds[] = {
    {1, 0}, // none at present: an empty range keeps the table well-formed
};

bool CommandIsBuilt(int id) {
    for (const auto &range : kNotBuiltIds) {
        if (id >= range.first && id <= range.last)
            return false;
    }
    return true;
}

void MenuGreyNotBuilt(HMENU menu) {
    if (!menu)
        return;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            MenuGreyNotBuilt(sub);
            continue;
        }
        UINT id = GetMenuItemID(menu, i);
        if (id != 0 && id != (UINT)-1 && !CommandIsBuilt((int)id))
            EnableMenuItem(menu, i, MF_BYPOSITION | MF_GRAYED);
    }
}

static int ActivePanel() { return gApp->activePanel & 1; }
static bool InTree(int panel) { return (gApp->panelMode[panel] & 0xF) == kViewTree; }
static uint16_t LocationKind(int panel) {
    const LocationNode *node = gApp->panels[panel].location;
    return node ? node->kind : 0;
}

static bool IdIn(int id, const int *ids, size_t count) {
    for (size_t i = 0; i < count; i++) {
        if (ids[i] == id)
            return true;
    }
    return false;
}
#define ID_IN(id, list) IdIn(id, list, sizeof list / sizeof list[0])

bool CommandRefused(int id) {
    static const int treeRefused[] = {101, 104, 105, 106, 108, 109, 112, 113, 114, 115, 116, 117, 118, 119,
                                      126, 127, 308, 309, 310, 311, 315, 322, 324, 804, 807, 810, 822};
    static const int locationRefused[] = {103, 110, 112, 113, 115, 126, 211, 308, 310, 311, 315, 324};
    static const int otherLocationRefused[] = {310, 311};
    static const int countingRefused[] = {211, 311};
    int active = ActivePanel();
    bool refused = false;
    if (InTree(active) && ID_IN(id, treeRefused)) {
        refused = true;
    } else if (uint16_t kind = LocationKind(active)) {
        bool remote = kind == kLocationFtp || kind == kLocationCeDevice;
        if (id == 101)
            refused = kind != kLocationCeDevice;
        else if (id == 107 || id == 108 || id == 114)
            refused = !remote;
        else
            refused = ID_IN(id, locationRefused);
    }
    if (!refused && LocationKind(!active) && ID_IN(id, otherLocationRefused))
        refused = true;
    if (!refused && (gApp->dirSizeFlags & (active + 1)) && ID_IN(id, countingRefused))
        refused = true;
    if (refused)
        CommandBeep();
    return refused;
}

// ---- cursor entries

static bool CursorPath(int panel, char *out, int size, bool fileSystemOnly) {
    out[0] = 0;
    const LocationNode *location = gApp->panels[panel].location;
    // A device file has no desktop path to open; a local copy comes first.
    if (InTree(panel) || (location && (fileSystemOnly || location->kind == kLocationCeDevice))) {
        CommandBeep();
        return false;
    }
    if (!PanelCursorEntryPath(panel, out, size) || !out[0]) {
        out[0] = 0;
        CommandBeep();
        return false;
    }
    return true;
}

bool PanelGetCursorFile(HWND, int panel, char *out, int size) {
    if (!CursorPath(panel, out, size, true))
        return false;
    if (out[0] && out[1] == ':') {
        char drive[4] = {out[0], ':', '\\', 0};
        SetCurrentDirectoryA(drive);
    }
    return true;
}

bool PanelGetCursorPath(HWND, int panel, char *out, int size) { return CursorPath(panel, out, size, false); }

// The cursor file of a panel that shows a device, an FTP server or an
// archive level, and its size: the device path, else the name (the local
// copy's fetch places it in the location). Folders and ".." beep.
static bool LocationCursorFile(int panel, char *out, size_t size, uint32_t sizeWords[2]) {
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    bool file = e && !EntryIsFolder(e) && !EntryIsUpDir(e);
    char name[MAX_PATH] = "";
    uint64_t bytes = 0;
    if (file) {
        lstrcpynA(name, EntryName(e), sizeof name);
        bytes = FileEntrySize(e);
    }
    PanelIterEnd(&it);
    bool joined = file && (LocationKind(panel) == kLocationCeDevice
                               ? CePathJoin(out, size, gApp->panelPath[panel], name)
                               : strlen(name) < size && lstrcpynA(out, name, (int)size));
    if (!joined) {
        CommandBeep();
        return false;
    }
    sizeWords[0] = (uint32_t)bytes;
    sizeWords[1] = (uint32_t)(bytes >> 32);
    return true;
}

// F3 and F4 need a local copy of the panel's files.
static bool LocalCopyNeeded(int panel) {
    uint16_t kind = LocationKind(panel);
    return kind && (kind < 20002 || kind > kLocationRemoteLast) && !InTree(panel);
}

// The Run dialog opens on the cursor file of a local or device panel;
// folders, "..", archive and FTP panels beep.
static void RunCommand(HWND window) {
    int panel = ActivePanel();
    uint16_t kind = LocationKind(panel);
    char path[520];
    uint32_t size[2];
    if (kind == kLocationCeDevice && !InTree(panel)) {
        if (LocationCursorFile(panel, path, sizeof path, size))
            RunShowDialog(window, path);
        return;
    }
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    bool file = e && !EntryIsFolder(e) && !EntryIsUpDir(e);
    PanelIterEnd(&it);
    if (kind || InTree(panel) || !file || !PanelCursorEntryPath(panel, path, sizeof path)) {
        CommandBeep();
        return;
    }
    RunShowDialog(window, path);
}

// The cursor files of the two panels side by side in the file compare window.
static void CompareCursorFiles() {
    char paths[2][260];
    for (int p = 0; p < 2; p++) {
        DWORD a = INVALID_FILE_ATTRIBUTES;
        if (!InTree(p) && !gApp->panels[p].location && PanelCursorEntryPath(p, paths[p], sizeof paths[p]))
            a = GetFileAttributesA(paths[p]);
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) {
            CommandBeep();
            return;
        }
    }
    if (!DiffWindowOpen(gApp->hInstance, gApp->hInstance, 0, paths[0], paths[1], gApp->modulePath))
        CommandBeep();
}

// ---- panel helpers

int PathClimbExisting(char *path) {
    int moved = 0;
    while (strlen(path) > 3) {
        char parent[260];
        memcpy(parent, path, sizeof parent);
        char *cut = strrchr(parent, '\\');
        if (!cut || cut == parent)
            break;
        *cut = 0;
        if (GetFileAttributesA(parent) == INVALID_FILE_ATTRIBUTES)
            break;
        memcpy(path, parent, sizeof parent);
        moved = 1;
    }
    return moved;
}

void PanelGoRoot(HWND, int panel, int otherPanel) {
    char *path = gApp->panelPath[panel];
    size_t rootLength = 3;
    if (path[0] == '\\' && path[1] == '\\') {
        char climbed[260];
        memcpy(climbed, path, sizeof climbed);
        if (!PathClimbExisting(climbed))
            return;
        rootLength = strlen(climbed);
    }
    if (gApp->panels[panel].location && gApp->panels[panel].location->kind == kLocationFtp) {
        FtpChangeDirAsync("\\", panel, gApp->panels[panel].location);
        return;
    }
    if (PanelShowsDevice(panel)) {
        CeChangeDir("\\", panel, gApp->panels[panel].location);
        return;
    }
    if (gApp->panels[panel].location) {
        // Leaving a location belongs to the location's own front end.
        FeatureNotBuilt(804);
        return;
    }
    size_t oldLength = strlen(path);
    gApp->cursorIndex[panel] = 0;
    gApp->topIndex[panel] = 0;
    if (oldLength > rootLength)
        path[rootLength] = 0;
    if (oldLength > 3) {
        PanelRequestReread(panel);
        DirWatchOpen(path, &gApp->changeNotify[panel]);
    } else if (gApp->panels[panel].listWindow) {
        PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
    }
    ToolListInsert(gApp->toolWindows[kToolHistory], path, 0);
    PanelFocusActive();
    if (InTree(otherPanel)) {
        memcpy(gApp->panelPath[otherPanel], path, 260);
        PanelRequestReread(otherPanel);
    }
}

void ToolWindowToggle(HWND toolWindow, WindowPos *pos) {
    if (!toolWindow)
        return;
    if (pos->left < pos->right)
        WndRestorePos(toolWindow, pos);
    if (pos->show) {
        pos->show = 0;
        ShowWindow(toolWindow, SW_HIDE);
    } else {
        pos->show = 1;
        ShowWindow(toolWindow, SW_SHOW);
        SetFocus(GetDlgItem(toolWindow, kToolListBox));
    }
    PanelSyncViewMenu(nullptr);
}

static void RestoreSelection(int panel) {
    PanelRestoreMarks(panel);
    if (gApp->panels[panel].listWindow)
        PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
    PanelUpdateStatusLine();
}

static void SortActive(int key) {
    int panel = ActivePanel();
    if (key < 4 && gApp->panelSort[panel] == key)
        PanelToggleReversed(panel);
    PanelSetSortKey(panel, key);
}

static void PanelFontCommand(HWND window) {
    if (!FontChooseSimple(window, &gApp->fonts[kFontPanel]))
        return;
    if (gApp->fontPanel)
        DeleteObject(gApp->fontPanel);
    gApp->fontPanel = CreateFontIndirectA(&gApp->fonts[kFontPanel]);
    PostMessageA(window, WM_SIZE, 0, 0);
    for (int panel = 0; panel < 2; panel++) {
        if (gApp->panels[panel].listWindow)
            PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
    }
}

// Left = Right: the other panel takes the active panel's folder.
static void EqualPanels() {
    int active = ActivePanel(), other = !active;
    uint16_t otherKind = LocationKind(other);
    if (otherKind == kLocationFtp || (otherKind == kLocationCeDevice && LocationKind(active))) {
        CommandBeep();
        return;
    }
    if (gApp->panels[other].location)
        gApp->panels[other].location = LocationFree(gApp->panels[other].location);
    memcpy(gApp->panelPath[other], gApp->panelPath[active], sizeof gApp->panelPath[other]);
    PanelRequestReread(other);
    DirWatchOpen(gApp->panelPath[other], &gApp->changeNotify[other]);
    DiskUpdateEjectButtons();
}

static void FilterCommand(HWND window, int panel) {
    if (FilterDialogShow(window, &gApp->panelFilter[panel]))
        PanelRequestReread(panel);
}

// Opens the cursor entry: a folder is entered with the cursor at the top.
static void OpenCursorEntry(HWND window) {
    int panel = ActivePanel();
    char name[260];
    if (!PanelCursorName(panel, name, sizeof name) || !name[0])
        return;
    char path[520];
    if (!PanelCursorEntryPath(panel, path, sizeof path))
        return;
    if (gApp->panels[panel].location) {
        // Levels of archives and remote places go their own way.
        PanelHandleKey(window, WM_KEYDOWN, VK_RETURN, 0);
        return;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (!strcmp(name, "..") || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
        PanelHandleKey(window, WM_KEYDOWN, VK_RETURN, 0);
        PanelHandleKey(window, WM_KEYDOWN, VK_HOME, 0);
        return;
    }
    if (!InTree(0) && !InTree(1) && !PanelTryOpenArchive(window, panel, path))
        MessageBeep(MB_ICONHAND); // no archive the library reads
}

static void ProgramTypeCommand(HWND window) {
    static const char *const kTypes[] = {
        "A Win32-based application",
        "An MS-DOS - based application",
        "A 16-bit Windows-based application",
        "A PIF file that executes an MS-DOS - based application",
        "A POSIX - based application",
        "A 16-bit OS/2-based application",
    };
    char path[260];
    if (!PanelGetCursorFile(window, ActivePanel(), path, sizeof path))
        return;
    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    int type = -1;
    DWORD binaryType = 0;
    if (gApp->isWinNT && GetBinaryTypeA(path, &binaryType)) {
        type = (int)binaryType;
    } else {
        SHFILEINFOA info;
        DWORD_PTR exe = SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_EXETYPE);
        WORD magic = LOWORD(exe);
        type = magic == 0x454E ? 2 : magic == 0x4550 ? 0 : magic == 0x5A4D ? 1 : -1; // "NE", "PE", "MZ"
    }
    SetCursor(old);
    if (type < 0 || type > 5) {
        CommandBeep();
        return;
    }
    MsgBox(window, kTypes[type], gWindowTitle, MB_ICONINFORMATION);
}

// The drive popup opens on the panel's drive button, the mouse moved onto
// it; while the drive bar is shown the panel has no such button, and the
// popup opens at the top left corner of the panel's list instead.
static void DrivePopupAtButton(HWND window, int panel) {
    HWND button = gApp->panels[panel].driveButton;
    if (button && IsWindowVisible(button)) {
        RECT r;
        GetWindowRect(button, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        DriveSelectPopup(window, panel);
        return;
    }
    HWND list = gApp->panels[panel].listWindow;
    POINT at = {0, 0};
    if (list && IsWindowVisible(list)) {
        ClientToScreen(list, &at);
        DriveSelectPopup(window, panel, &at);
    } else {
        DriveSelectPopup(window, panel);
    }
}

static void RenameCommand(HWND window) {
    int panel = ActivePanel();
    if (!InTree(panel)) {
        CopyCommand(window, 1031);
        return;
    }
    HWND tree = gApp->panels[panel].treeControl;
    HTREEITEM item = tree ? TreeView_GetSelection(tree) : nullptr;
    if (item)
        TreeView_EditLabel(tree, item);
}

static void QuickViewToggle(HWND window) {
    static const int back[5][2] = {{503, 603}, {502, 602}, {501, 601}, {503, 603}, {504, 604}};
    for (int panel = 0; panel < 2; panel++) {
        if ((gApp->panelMode[panel] & 0xF) == kViewQuick) {
            int kept = gApp->auxMode & 0xF;
            if (kept > 4)
                kept = 0;
            PostMessageA(window, WM_COMMAND, back[kept][panel], 0);
            return;
        }
    }
    gApp->auxMode = gApp->panelMode[ActivePanel()] & 0xF;
    MainPostByPanel(window, 505, 605);
}

// ---- user menu

static void UserMenuShow(HWND window) {
    char path[260];
    IniGetPath(path);
    HMENU menu = CreatePopupMenu();
    int items = 0;
    for (unsigned n = 1; n < 1000; n++) {
        char key[16], text[520];
        snprintf(key, sizeof key, "M%u", n);
        if (!GetPrivateProfileStringA("Menu", key, "", text, sizeof text, path) || !text[0])
            break;
        if (!strcmp(text, "-"))
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(menu, MF_STRING, 29000 + n, text);
        items++;
    }
    if (items) {
        POINT pt;
        GetCursorPos(&pt);
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, window, nullptr);
    } else {
        PostMessageA(window, WM_COMMAND, 409, 0);
    }
    DestroyMenu(menu);
}

static void UserMenuRun(HWND window, unsigned n) {
    char path[260];
    IniGetPath(path);
    char key[16], command[260], params[520], expanded[1024], show[8], folder[260];
    snprintf(key, sizeof key, "C%u", n);
    GetPrivateProfileStringA("Menu", key, "", command, sizeof command, path);
    if (!command[0])
        return;
    snprintf(key, sizeof key, "P%u", n);
    GetPrivateProfileStringA("Menu", key, "", params, sizeof params, path);
    char cursorName[260] = "";
    PanelCursorName(ActivePanel(), cursorName, sizeof cursorName);
    RunExpandParams(params, expanded, sizeof expanded, cursorName);
    snprintf(key, sizeof key, "T%u", n);
    GetPrivateProfileStringA("Menu", key, "", show, sizeof show, path);
    int showCmd = show[0] == '1' ? SW_MINIMIZE : show[0] == '2' ? SW_MAXIMIZE : SW_SHOW;
    snprintf(key, sizeof key, "D%u", n);
    GetPrivateProfileStringA("Menu", key, "", folder, sizeof folder, path);
    RunSetCurDirFromPanel(window, ActivePanel());
    if (expanded[0]) {
        char line[1300];
        snprintf(line, sizeof line, "%s %s", command, expanded);
        RunCommandLine(line, folder[0] ? folder : nullptr, showCmd, nullptr, 'C');
    } else {
        RunOpenFile(window, command, folder[0] ? folder : nullptr, showCmd);
    }
}

// ---- the id table

// Every id the program's menus, keys, bars and other windows send. Ids in
// here that the switch below does not handle belong to features that are
// not in the program yet.
static const struct {
    int first, last;
} kCommandIds[] = {
    {101, 124},   {126, 127},   {130, 130},   {201, 214},   {217, 219},   {227, 227},   {241, 246},
    {301, 304},   {306, 311},   {314, 324},   {401, 404},   {406, 410},   {501, 505},   {507, 507},   {509, 518},
    {521, 525},   {601, 605},   {607, 607},   {609, 618},   {700, 700},   {702, 702},   {705, 705},
    {800, 802},   {804, 810},   {813, 822},   {830, 832},   {841, 842},   {28000, 28000}, {28900, 28979},
    {28988, 28999}, {29000, 29999},
};

bool IsKnownCommand(int id) {
    for (const auto &range : kCommandIds) {
        if (id >= range.first && id <= range.last)
            return true;
    }
    return false;
}

// ---- the dispatcher

static void NetworkDialog(HWND window, int id) {
    if (id == 206)
        WNetConnectionDialog(window, RESOURCETYPE_DISK);
    else
        WNetDisconnectDialog(window, RESOURCETYPE_DISK);
    if (gApp->barOptions & kBarDrives)
        DriveBarRefresh(true);
}

static void BrowseFolderForPanel(HWND window) {
    int panel = ActivePanel();
    char folder[260];
    memcpy(folder, gApp->panelPath[panel], sizeof folder);
    if (DlgBrowseFolder(window, folder) == 0)
        PanelChangeDir(folder, panel);
}

static void CommandPrompt() {
    RunCommandLine("CMD.EXE", gApp->panelPath[ActivePanel()], SW_SHOW, nullptr, 'K');
}

// On an FTP panel the FTP library's find window searches the server; a
// device panel has no search. Elsewhere the system's search opens on the
// panel's folder; the search tool and a configured search program
// (moreOptions 0x20000, 0x40000) are not in the program yet.
static void ShutDownCommand(HWND window) {
    if (gApp->generalOptions & kGenAutoSave)
        SaveSettings();
    if (gApp->cmdLine)
        CmdHistorySave(gApp->cmdLine);
    if (MsgBoxId(window, Txt::askShutDown, gWindowTitle, MB_YESNO | MB_ICONQUESTION) == IDYES)
        SysShutdown();
}

// The options dialog, then its words take effect: layout, drive bars when
// their number changed, panels, function keys and menus.
static void OptionsCommand(HWND window) {
    uint16_t barsBefore = gApp->barOptions;
    if (!OptShowDialog(window))
        return;
    PanelLayout();
    if (((barsBefore ^ gApp->barOptions) & kBarTwoDriveBars) && (gApp->barOptions & kBarDrives)) {
        DriveBarDestroyAll();
        DriveBarRescan();
        DriveBarCreateAll(window);
        PanelRelayoutAll();
    }
    for (int panel = 0; panel < 2; panel++) {
        if (HWND list = gApp->panels[panel].listWindow)
            PostMessageA(list, WM_USER + 1, 0, 0);
    }
    KeyBarRepaint(1);
    MenusBuild(window);
    PanelRequestRereadBoth();
}

static void MainCommandRun(HWND window, int id);

void MainCommandDispatch(HWND window, WPARAM wParam) {
    int id = LOWORD(wParam);
    if (gApp->hoverWindow && !(gApp->panelOptions & kPanelClassicButtons))
        WndInvalidateFrame(gApp->hoverWindow);
    if (gApp->dragRect.bottom == 0)
        ReleaseCapture();
    BarsRepaintButtons(0);
    // The FTP log list shares its id with the command that shows it; only a
    // double click on it (or the command itself) opens the log.
    if (id == 217 && HIWORD(wParam) != 0 && HIWORD(wParam) != LBN_DBLCLK)
        return;
    if (CommandRefused(id))
        return;
    MainCommandRun(window, id);
    BarsRepaintButtons(0);
}

static void MainCommandRun(HWND window, int id) {
    int active = ActivePanel();
    char path[520];
    switch (id) {
    case 120:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    case 102: // F3: the configured viewer, else the viewer window
    case 103: // Alt+F3
    case 104: // F4: the configured editor, else the editor window
        if (id != 103 && LocalCopyNeeded(active)) {
            // A device, FTP or archive file is viewed and edited through a
            // local copy.
            uint32_t size[2];
            if (LocationCursorFile(active, path, sizeof path, size)) {
                if (id == 102)
                    ViewerOpenActive(window, path, size);
                else
                    EditOpenActive(window, path, size);
            }
            return;
        }
        if (PanelGetCursorFile(window, active, path, 260)) {
            if (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY)
                CommandBeep();
            else if (id == 103)
                HexOpenWindow(path);
            else if (id == 102)
                ViewerOpenActive(window, path, nullptr);
            else
                EditOpenActive(window, path, nullptr);
        }
        return;
    case 802: // Shift+F4: an empty document in the configured editor, else the editor window
        // No panel location takes part: there is no file to fetch.
        if (!EditOpenFile(window, "", "", nullptr))
            CommandBeep();
        return;
    case 101:
        RunCommand(window);
        return;
    case 324:
        GoToShowDialog(window);
        return;
    case 322:
        PanelListToTextFile(window, active);
        return;
    case 110:
        if (PanelGetCursorFile(window, active, path, 260)) {
            DWORD attributes = GetFileAttributesA(path);
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                CommandBeep();
            } else if (DWORD error = RunPrintFile(window, path, gApp->panelPath[active])) {
                RunReportError(window, error, path);
            }
        }
        return;
    case 209:
        DiskInfoCommand(window);
        return;
    case 319:
        SysTaskMenu(window);
        return;
    case 201:
        DiskCopyCommand(window);
        return;
    case 202:
        DiskCompareCommand(window, 1);
        return;
    case 212:
        DiskCompareCommand(window, 2);
        return;
    case 203:
        DiskVerifyCommand(window);
        return;
    case 204:
        DiskLabelCommand(window, gApp->panelPath[active]);
        return;
    case 205:
        DiskFormatCommand(window);
        return;
    case 208:
        if (!DiskShareManage(window, true)) {
            CommandBeep();
            return;
        }
        // The shares may have changed: the panels show them at once.
        PanelShareListExpire();
        PanelRequestRereadBoth();
        return;
    case 218:
        DiskEject(gApp->panelPath[active][0]);
        return;
    case 841:
    case 842:
        DiskEject(gApp->panelPath[id - 841][0]);
        return;
    case 320:
        ShutDownCommand(window);
        return;
    case 515:
    case 615:
        SpaceInfoToggle(window, id / 100 - 5);
        return;
    case 821:
        SpaceInfoToggle(window, active);
        return;
    case 306:
        ClockCommand(window);
        return;
    case 309:
        PanelsCompareCommand(window);
        return;
    case 310:
        SyncCommand(window);
        return;
    case 211:
        DirSizesCommand(window);
        return;
    case 311:
        OccupiedSpaceCommand(window);
        return;
    case 315:
        CompareCursorFiles();
        return;
    case 105:
        CopyCommand(window, 1029);
        return;
    case 106:
        CopyCommand(window, 1030);
        return;
    case 107:
        RenameCommand(window);
        return;
    case 108:
        MakeDirCommand(window);
        return;
    case 111:
        SplitCommand(window);
        return;
    case 112:
        ArcShowPackDialog(window);
        return;
    case 113:
        if (!ArcShowUnpackDialog(window))
            CommandBeep();
        return;
    case 121:
        UuCommand(window, nullptr);
        return;
    case 122:
    case 123:
    case 124:
        CrLfCommand(window, id);
        return;
    case 130:
        SumCreateCommand(window);
        return;
    case 114:
        AttrCommand(window);
        return;
    case 109:
        DelCommand(window);
        return;
    case 115:
        ProgramTypeCommand(window);
        return;
    case 116:
        PanelHandleKey(window, WM_KEYDOWN, VK_ADD, 0);
        return;
    case 117:
        PanelHandleKey(window, WM_KEYDOWN, VK_SUBTRACT, 0);
        return;
    case 118:
        PanelHandleKey(window, WM_KEYDOWN, VK_MULTIPLY, 0);
        return;
    case 126:
        if (PanelGetCursorFile(window, active, path, 260)) {
            if (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY)
                CommandBeep();
            else
                ShellShowProperties(window, path);
        }
        return;
    case 119:
        RestoreSelection(active);
        return;
    case 127:
        if (PanelGetCursorFile(window, active, path, 260))
            PanelSelectHtmlLinks(window, path, active);
        return;
    case 301:
        if (FindToolStart(window, active) != 0)
            gFindShellSearch(window, gApp->panelPath[active]);
        return;
    case 206:
    case 207:
        NetworkDialog(window, id);
        return;
    case 241:
    case 242:
    case 243:
    case 244:
    case 245:
    case 246:
        BarsToggle(window, id);
        return;
    case 210:
        DriveSelectDialog(window, active);
        return;
    case 302:
        ToolWindowToggle(gApp->toolWindows[kToolHistory], &gApp->windowPos[kPosHistory]);
        return;
    case 303:
        ToolWindowToggle(gApp->toolWindows[kToolFavorites], &gApp->windowPos[kPosFavorites]);
        return;
    case 304:
        ToolWindowToggle(gApp->toolWindows[kToolContainer], &gApp->windowPos[kPosContainer]);
        return;
    case 307:
        PanelSwap();
        return;
    case 308:
        EqualPanels();
        return;
    case 314:
        MsgBoxId(window, Txt::txtIdentical, gWindowTitle, MB_ICONINFORMATION);
        return;
    case 316:
        BrowseFolderForPanel(window);
        return;
    case 317:
        CommandPrompt();
        return;
    case 321:
        if (PanelGetCursorFile(window, active, path, 260))
            ShellCreateDesktopLink(path);
        return;
    case 323:
        ShowWindow(window, SW_MINIMIZE);
        return;
    case 401:
        ToolBarOptionsCommand(window);
        return;
    case 402:
        PanelFontCommand(window);
        return;
    case 403:
        ColorCommand(window);
        return;
    case 404:
        OptionsCommand(window);
        return;
    case 406:
        PackerShowDialog(window);
        return;
    case 409:
        UserMenuCommand(window);
        return;
    case 407:
        LangCommandChoose(window);
        return;
    case 408:
        SaveSettings();
        return;
    case 410:
        WriteLanguageTemplate(BuiltinLanguageTables, gApp->programDir);
        return;
    case 501:
    case 502:
    case 503:
    case 601:
    case 602:
    case 603: {
        static const int modes[3] = {kViewCustom, kViewBrief, kViewFull};
        PanelSetViewMode(window, id / 100 - 5, modes[id % 100 - 1], id / 100 * 100 + 7);
        return;
    }
    case 504:
    case 604:
        if (InTree(0) || InTree(1))
            CommandBeep();
        else
            PanelShowTree(window, id / 100 - 5);
        return;
    case 505:
    case 605:
        if ((gApp->panelMode[0] & 0xF) == kViewQuick || (gApp->panelMode[1] & 0xF) == kViewQuick)
            CommandBeep();
        else
            PanelSetViewMode(window, id / 100 - 5, kViewQuick, id / 100 * 100 + 7);
        return;
    case 507:
    case 607:
        PanelToggleOnOff(window, id / 100 - 5);
        return;
    case 509:
    case 510:
    case 511:
    case 512:
    case 513:
    case 609:
    case 610:
    case 611:
    case 612:
    case 613:
        PanelSetSortKey(id / 100 - 5, id % 100 - 9);
        return;
    case 514:
    case 614:
        PanelToggleReversed(id / 100 - 5);
        PanelSetSortKey(id / 100 - 5, gApp->panelSort[id / 100 - 5]);
        return;
    case 516:
    case 616:
        PanelRequestReread(id / 100 - 5);
        return;
    case 517:
    case 617:
        FilterCommand(window, id / 100 - 5);
        return;
    case 518:
    case 618:
        DrivePopupAtButton(window, id / 100 - 5);
        return;
    case 700:
        HelpShow(window, gApp->programDir, gApp->language, 0);
        return;
    case 702:
        HelpUsingHelp(window);
        return;
    case 705:
        OpenWebSite(window);
        return;
    case 822:
        QuickSearchOpen(window, 0);
        return;
    case 521:
    case 522:
    case 523:
    case 524:
        MainPostByPanel(window, id - 20, id + 80);
        return;
    case 525:
        QuickViewToggle(window);
        return;
    case 800:
        MainStartupStep2(window);
        return;
    case 801:
        MainStartupStep3(window);
        return;
    case 804:
        PanelGoRoot(window, active, !active);
        return;
    case 805:
    case 806:
        PanelGoRoot(window, id - 805, 806 - id);
        return;
    case 807:
        PanelGoUp(window, active);
        return;
    case 808:
    case 809:
        PanelGoUp(window, id - 808);
        return;
    case 813:
    case 814:
    case 815:
    case 816:
    case 817:
        SortActive(id - 813);
        return;
    case 810:
        OpenCursorEntry(window);
        return;
    case 818:
        FilterCommand(window, active);
        return;
    case 819: // FTP listings are kept by the FTP front end
    case 820:
        PanelRequestRereadBoth();
        return;
    case 830:
        ShellOpenSpecialFolder(window, CSIDL_CONTROLS);
        return;
    case 831:
        ShellOpenSpecialFolder(window, CSIDL_PRINTERS);
        return;
    case 832:
        ShellOpenSpecialFolder(window, CSIDL_BITBUCKET);
        return;
    case 28000:
        MainTaskPopup(window);
        return;
    case 213:
        FtpConnectPanel(window, active);
        return;
    case 214:
        FtpChooseDisconnect(window);
        return;
    case 219:
        FtpToggleShowHidden(active);
        return;
    case 217:
        if (!FtpShowLogText(window, gApp->ftpLogList))
            CommandBeep();
        return;
    case 227:
        if (!FtpShowRawListing(window, active))
            CommandBeep();
        return;
    case 318:
        FtpShowPing(window);
        return;
    case 29000:
        UserMenuShow(window);
        return;
    }
    if (id >= 28962 + 26 && id <= 28999) {
        FtpDisconnectCommand(window, id);
        return;
    }
    if (id >= 28900 && id <= 28979) {
        DriveSelectFromMenu(window, id - 28900);
        return;
    }
    if (id > 29000) {
        UserMenuRun(window, (unsigned)(id - 29000));
        return;
    }
    if (IsKnownCommand(id))
        FeatureNotBuilt(id);
}
