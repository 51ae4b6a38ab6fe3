#include "app/bars/ToolBar.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "panels/PanelShell.h"
#include "app/Commands.h"
#include "JobRecord.h"
#include "app/bars/BarLayout.h"
#include "app/bars/Bars.h"
#include "app/bars/DriveBar.h"
#include "wingui/GuiDraw.h"
#include "app/Language.h"
#include "app/MainWindow.h"
#include "base/Memory.h"
#include "app/Settings.h"
#include "base/SettingsValues.h"
#include "wingui/WindowUtil.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/Job.h"
#include "panels/PanelIter.h"
#include "panels/PanelWindow.h"
#include "fileops/ToolJobs.h"
#include "tools/ExtPrograms.h"
#include "tools/HexEditor.h"
#include "tools/RunServices.h"

static struct {
    uint16_t height;
    HWND tooltip;
    WNDPROC prevProc;
    HIMAGELIST userIcons;
    HICON icons[kToolbarButtonMax]; // the user list's icons, for the painter
    int iconCount;
} gToolbar;

static HANDLE gLoaderThread, gLoaderStop;
static volatile LONG gIconsMissing = -1;
const int kIconLoaderPasses = 8;

static ToolbarButton *Records() { return gApp->toolbarButtons; }

ToolbarButton *ToolBarFind(int command) { return ToolbarFindRecord(Records(), command); }

static void SettingsFile(char *out) { IniGetPath(out); }

static void UserKey(char letter, int command, char *key) {
    snprintf(key, 16, "%c%ld", letter, (long)-command);
}

static void ReadUserKey(char letter, int command, char *out, DWORD size, const char *file) {
    char key[16], path[MAX_PATH];
    UserKey(letter, command, key);
    if (!file) {
        SettingsFile(path);
        file = path;
    }
    IniGetString("TB", key, "", out, size, file);
}

void ToolBarButtonText(int command, char *out, size_t size, const char *file) {
    out[0] = 0;
    if (size == 0)
        return;
    if (command < 0) {
        ReadUserKey('M', command, out, (DWORD)size, file);
        return;
    }
    if (command >= 830 && command <= 832) {
        static const int kFolders[] = {CSIDL_CONTROLS, CSIDL_PRINTERS, CSIDL_BITBUCKET};
        LPITEMIDLIST pidl = nullptr;
        if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, kFolders[command - 830], &pidl)) && pidl) {
            SHFILEINFOA info = {};
            if (SHGetFileInfoA((LPCSTR)pidl, 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME))
                lstrcpynA(out, info.szDisplayName, (int)size);
            CoTaskMemFree(pidl);
        }
        if (out[0])
            return;
    }
    TextGet(command + 1000, out, (int)size);
}

int ToolBarUserIconIndex(int command, unsigned flags, const char *file) {
    char program[MAX_PATH] = "";
    ReadUserKey('C', command, program, sizeof program, (flags & 0x40) ? file : nullptr);
    if (!program[0])
        return -1;
    if (GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES) {
        char found[MAX_PATH];
        char *name = nullptr;
        DWORD n = SearchPathA(nullptr, program, nullptr, sizeof found, found, &name);
        if (n == 0 || n >= sizeof found)
            return -1;
        lstrcpynA(program, found, sizeof program);
    }
    SHFILEINFOA info = {};
    UINT size = (flags & 0x1000) ? SHGFI_LARGEICON : SHGFI_SMALLICON;
    HIMAGELIST list = (HIMAGELIST)SHGetFileInfoA(program, 0, &info, sizeof info,
                                                 SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | size);
    if (!list)
        return -1;
    return info.iIcon;
}

static void FreeUserIcons() {
    for (int i = 0; i < gToolbar.iconCount; i++) {
        if (gToolbar.icons[i])
            DestroyIcon(gToolbar.icons[i]);
        gToolbar.icons[i] = nullptr;
    }
    gToolbar.iconCount = 0;
    if (gToolbar.userIcons)
        ImageList_Destroy(gToolbar.userIcons);
    gToolbar.userIcons = nullptr;
    for (int i = 0, n = ToolbarCount(Records()); i < n; i++) {
        if (Records()[i].command < 0)
            Records()[i].image = 0;
    }
}

void ToolBarLoadUserIcon(ToolbarButton *button) {
    if (!button || button->command >= 0 || button->image != 0)
        return;
    bool large = gApp->toolbarButtonSize >= 32;
    int index = ToolBarUserIconIndex(button->command, large ? 0x1000 : 0x800);
    if (index < 0 || gToolbar.iconCount >= kToolbarButtonMax)
        return;
    int size = large ? 32 : 16;
    SHFILEINFOA info = {};
    HIMAGELIST system = (HIMAGELIST)SHGetFileInfoA("C:\\", 0, &info, sizeof info,
                                                   SHGFI_SYSICONINDEX | (large ? SHGFI_LARGEICON : SHGFI_SMALLICON));
    if (!system)
        return;
    if (!gToolbar.userIcons)
        gToolbar.userIcons = ImageList_Create(size, size, ILC_COLORDDB | ILC_MASK, 64, 32);
    HICON icon = ImageList_GetIcon(system, index, ILD_NORMAL);
    if (!icon || !gToolbar.userIcons) {
        if (icon)
            DestroyIcon(icon);
        return;
    }
    int at = ImageList_ReplaceIcon(gToolbar.userIcons, -1, icon);
    if (at < 0) {
        DestroyIcon(icon);
        return;
    }
    gToolbar.icons[gToolbar.iconCount++] = icon; // kept for the painter
    button->image = gToolbar.iconCount;
    if (button->window)
        InvalidateRect((HWND)button->window, nullptr, FALSE);
}

HICON ToolBarUserIcon(int command, int size) {
    (void)size;
    if (!gApp)
        return nullptr;
    ToolbarButton *b = ToolBarFind(command);
    if (!b || b->image <= 0 || b->image > gToolbar.iconCount)
        return nullptr;
    return gToolbar.icons[b->image - 1];
}

// Loads what it can on the interface thread; returns the user buttons still
// without an icon.
static int LoadMissingIcons() {
    int missing = 0;
    for (int i = 0, n = ToolbarCount(Records()); i < n; i++) {
        ToolbarButton &b = Records()[i];
        if (b.command >= 0 || b.image != 0 || !b.window)
            continue;
        ToolBarLoadUserIcon(&b);
        if (b.image == 0)
            missing++;
    }
    return missing;
}

// The loader only posts; the bar loads on the interface thread and reports
// how many are still missing. A program that cannot be found is asked again
// for a few passes only, and one loader runs at a time.
static DWORD WINAPI ToolBarIconLoader(void *stopEvent) {
    for (int pass = 0; pass < kIconLoaderPasses; pass++) {
        HWND bar = gApp ? gApp->hwndToolbar : nullptr;
        if (!bar)
            break;
        PostMessageA(bar, WM_COMMAND, kCmdLoadUserIcon, 0);
        if (WaitForSingleObject((HANDLE)stopEvent, 2012) != WAIT_TIMEOUT)
            break;
        if (gIconsMissing == 0)
            break;
    }
    return 0;
}

void ToolBarStopIconLoader() {
    if (gLoaderThread) {
        SetEvent(gLoaderStop);
        WaitForSingleObject(gLoaderThread, 5000);
        CloseHandle(gLoaderThread);
        gLoaderThread = nullptr;
    }
    if (gLoaderStop)
        CloseHandle(gLoaderStop);
    gLoaderStop = nullptr;
}

bool ToolBarIconLoaderRunning() {
    return gLoaderThread && WaitForSingleObject(gLoaderThread, 0) == WAIT_TIMEOUT;
}

void ToolBarStartIconLoader() {
    ToolBarStopIconLoader();
    bool any = false;
    for (int i = 0, n = ToolbarCount(Records()); i < n; i++)
        any |= Records()[i].command < 0;
    if (!any || !gApp->hwndToolbar)
        return;
    gIconsMissing = -1;
    gLoaderStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!gLoaderStop)
        return;
    gLoaderThread = CreateThread(nullptr, 0, ToolBarIconLoader, gLoaderStop, 0, nullptr);
}

// ---- bar window

static int ImageOf(const ToolbarButton &b) { return b.command < 0 ? 0 : b.image; }

static void ToolBarDrawItem(const DRAWITEMSTRUCT *item) {
    int command = (int16_t)item->CtlID;
    ToolbarButton *b = ToolBarFind(command);
    UINT state = item->itemState;
    unsigned style = gApp->toolbarButtonSize >= 32 ? kBtnTool : kBtnToolSmall;
    if (BarClassicStyle()) {
        style |= BarClassicFrame();
    } else {
        style |= kBtnFlat;
        if (!gBarButtonPressed)
            state &= ~ODS_SELECTED;
    }
    // A button whose feature is not built yet looks greyed (it only beeps).
    if (command > 0 && IsKnownCommand(command) && !CommandIsBuilt(command))
        state |= ODS_GRAYED;
    WndDrawButton(item->hDC, &item->rcItem, command, state, style, b ? ImageOf(*b) + 1 : 0);
}

static void ToolBarPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH light = GetSysColorBrush(COLOR_BTNHIGHLIGHT), dark = GetSysColorBrush(COLOR_BTNSHADOW);
    RECT line = {r.left, r.top, r.right, r.top + 1};
    FillRect(dc, &line, light);
    line = {r.left, r.bottom - 1, r.right, r.bottom};
    FillRect(dc, &line, dark);
    int s = gApp->toolbarButtonSize;
    if (gToolbar.height > s) {
        RECT groove = {r.left, s - 1, r.right, s};
        FillRect(dc, &groove, dark);
        groove = {r.left, s, r.right, s + 1};
        FillRect(dc, &groove, light);
    }
    if (!BarClassicStyle()) {
        // An etched line in the middle of each separator gap.
        ToolButtonPlace places[kToolbarButtonMax];
        ToolbarPlace(Records(), s, gApp->clientWidth, places);
        int x = 2, y = 2;
        for (int i = 0, n = ToolbarCount(Records()); i < n; i++) {
            if (places[i].size) {
                x = places[i].x + s - 2;
                y = places[i].y;
            } else if (Records()[i].command == kToolbarSeparatorCommand) {
                int mid = x + (s / 2 - 1) / 2 - 2;
                RECT a = {mid, y, mid + 1, y + s - 4};
                FillRect(dc, &a, dark);
                RECT b = {mid + 1, y, mid + 2, y + s - 4};
                FillRect(dc, &b, light);
                x += s / 2 - 1;
            }
        }
    }
    EndPaint(window, &ps);
}

static void ToolBarDropJob(HWND button, HDROP drop, int code, int title, int caption, int templ, int progress,
                           DLGPROC proc) {
    (void)button;
    JobRecord job = {};
    void *list = nullptr;
    if (!BarsPrepareDropJob(drop, &job, &list))
        return;
    job.jobCode = (uint16_t)code;
    job.titleId = (uint16_t)title;
    job.captionId = (uint16_t)caption;
    if (DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(templ), gMainWindow, proc, (LPARAM)&job) != IDOK)
        return;
    gApp->generalOptions = job.flags;
    job.flags = templ == 10600 ? ((job.flags & (kJobWipe | kJobRecycle)) | kJobInclSubDirs) : kJobInclSubDirs;
    if (job.itemCount > 1) {
        // The dialog frees the list with the record.
        job.selection = BarsPackDropList(drop, &job);
    }
    JobShowDialog(gMainWindow, progress, &job);
}

static bool IsFolderPath(const char *path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

static void ToolBarDropFiles(HWND button, HDROP drop, int command) {
    char path[MAX_PATH];
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        if (!DragQueryFileA(drop, i, path, sizeof path))
            continue;
        // Dropped names are files on disk, whatever location the active panel
        // shows: the viewer and editor take them as they are, never through a
        // panel's archive, FTP or device copy.
        switch (command) {
        case 101:
            RunOpenFile(button, path, nullptr, SW_SHOWNORMAL);
            break;
        case 102:
            if (!IsFolderPath(path))
                ViewerOpenFile(gMainWindow, path, path, nullptr);
            break;
        case 103:
            if (!IsFolderPath(path))
                HexOpenWindow(path);
            break;
        case 104:
            if (!IsFolderPath(path))
                EditOpenFile(gMainWindow, path, path, nullptr);
            break;
        case 110:
            if (!IsFolderPath(path))
                RunPrintFile(button, path, nullptr);
            break;
        case 121:
            // The first file is encoded; folders before it are passed over,
            // every name after it is left alone.
            if (IsFolderPath(path))
                continue;
            UuCommand(button, path);
            i = count;
            break;
        }
    }
    switch (command) {
    case 105:
        ToolBarDropJob(button, drop, 1038, 4031, 4032, 10100, 10301, CopyDialogProc);
        break;
    case 106:
        ToolBarDropJob(button, drop, 1040, 4033, 4034, 10100, 10301, CopyDialogProc);
        break;
    case 109:
        ToolBarDropJob(button, drop, 1041, 4037, 4038, 10600, 10300, DelDialogProc);
        break;
    }
    DragFinish(drop);
}

static void ToolButtonTip(HWND button, NMHDR *header) {
    char text[80] = "";
    if (BarTipsAllowed())
        ToolBarButtonText((int16_t)GetDlgCtrlID(button), text, 79);
    BarTipSetText(header, text);
}

// The Explorer menu of the Recycle Bin button, and of a user button's
// program.
static void ToolButtonShellMenu(HWND button, LPARAM at) {
    const ToolbarButton *b = ToolBarFind((int16_t)GetDlgCtrlID(button));
    if (!b)
        return;
    POINT pt = {(short)LOWORD(at), (short)HIWORD(at)};
    if (at == (LPARAM)-1)
        GetCursorPos(&pt);
    int panel = gApp->activePanel & 1;
    if (b->command == 832) {
        PanelShellContextMenu(button, nullptr, pt.x, pt.y, 2, panel, 0);
        return;
    }
    if (b->command >= 0)
        return;
    char program[MAX_PATH] = "";
    ReadUserKey('C', b->command, program, sizeof program, nullptr);
    if (!program[0])
        return;
    if (GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES) {
        char found[MAX_PATH];
        char *name = nullptr;
        DWORD n = SearchPathA(nullptr, program, nullptr, sizeof found, found, &name);
        if (n == 0 || n >= sizeof found)
            return;
        lstrcpynA(program, found, sizeof program);
    }
    PanelShellContextMenu(button, program, pt.x, pt.y, 2, panel, 0);
}

static LRESULT CALLBACK ToolButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT shellResult;
    if (ShellMenuMessage(message, wParam, lParam, &shellResult))
        return shellResult;
    switch (message) {
    case WM_LBUTTONDOWN:
        gBarButtonPressed = true;
        RenameInlineFinish();
        break;
    case WM_MOUSEMOVE:
        BarButtonMouseMove(button, gToolbar.tooltip, message, wParam, lParam);
        break;
    case WM_NOTIFY: {
        NMHDR *header = (NMHDR *)lParam;
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            ToolButtonTip(button, header);
            return 0;
        }
        break;
    }
    case WM_CONTEXTMENU:
        RenameInlineFinish();
        ToolButtonShellMenu(button, lParam);
        if (!BarClassicStyle() && gApp->hoverWindow)
            WndInvalidateFrame(gApp->hoverWindow);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCmdLoadUserIcon) {
            ToolBarLoadUserIcon(ToolBarFind((int16_t)GetDlgCtrlID(button)));
            return 0;
        }
        break;
    case WM_DROPFILES:
        WndBringToFront(gMainWindow);
        ToolBarDropFiles(button, (HDROP)wParam, (int16_t)GetDlgCtrlID(button));
        return 1;
    }
    return CallWindowProcA(gToolbar.prevProc, button, message, wParam, lParam);
}

static void RunUserButton(HWND bar, int command) {
    char program[MAX_PATH] = "", params[520] = "", mode[8] = "", folder[MAX_PATH] = "";
    ReadUserKey('C', command, program, sizeof program, nullptr);
    if (!program[0])
        return;
    ReadUserKey('P', command, params, sizeof params, nullptr);
    char cursorName[MAX_PATH] = "";
    {
        PanelIter iter = {};
        if (FileEntry *entry = PanelGetCursorEntry(&iter, gApp->activePanel))
            lstrcpynA(cursorName, entry->name, sizeof cursorName);
        PanelIterEnd(&iter);
    }
    char expanded[520] = "";
    RunExpandParams(params, expanded, sizeof expanded, cursorName[0] ? cursorName : nullptr);
    ReadUserKey('T', command, mode, sizeof mode, nullptr);
    int show = mode[0] == '1' ? SW_SHOWMINIMIZED : mode[0] == '2' ? SW_SHOWMAXIMIZED : SW_SHOW;
    ReadUserKey('D', command, folder, sizeof folder, nullptr);
    RunSetCurDirFromPanel(bar, gApp->activePanel);
    if (expanded[0]) {
        char line[521];
        snprintf(line, sizeof line, "%s %s", program, expanded);
        RunCommandLine(line, folder[0] ? folder : nullptr, show, nullptr, 'C');
    } else {
        RunOpenFile(bar, program, folder[0] ? folder : nullptr, show);
    }
}

static void ToolBarClick(HWND bar, WPARAM wParam, LPARAM lParam) {
    RenameInlineFinish();
    PanelSetFocus(gApp->activePanel);
    int command = (int16_t)LOWORD(wParam);
    if (command < 0)
        RunUserButton(bar, command);
    else
        PostMessageA(gMainWindow, WM_COMMAND, wParam, lParam);
}

static LRESULT CALLBACK ToolBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        // The loader reads the bar's handle: it must not outlive the bar.
        ToolBarStopIconLoader();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        ToolBarPaint(window);
        return 0;
    case WM_DRAWITEM:
        ToolBarDrawItem((const DRAWITEMSTRUCT *)lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCmdLoadUserIcon && !lParam) {
            InterlockedExchange(&gIconsMissing, LoadMissingIcons());
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && lParam)
            ToolBarClick(window, LOWORD(wParam), 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND ToolBarBuild(HWND parent) {
    if (gApp->hwndToolbar)
        return gApp->hwndToolbar;
    HWND bar = BarCreateWindow("TB", ToolBarWndProc, parent);
    if (!bar)
        return nullptr;
    gToolbar.tooltip = BarCreateTooltip(bar);
    ToolbarButton *records = Records();
    for (int i = 0, n = ToolbarCount(records); i < n; i++) {
        ToolbarButton &b = records[i];
        b.window = nullptr;
        if (b.command == kToolbarSeparatorCommand)
            continue;
        int position = b.command < 0 ? 0 : ToolbarCommandIndex(b.command);
        if (position < 0)
            continue;
        HWND button = BarCreateButton(bar, b.command, 0, 0);
        if (!button)
            continue;
        WNDPROC previous = (WNDPROC)SetWindowLongPtrA(button, GWLP_WNDPROC, (LONG_PTR)ToolButtonProc);
        if (!gToolbar.prevProc)
            gToolbar.prevProc = previous;
        BarAddTool(gToolbar.tooltip, button);
        if (b.command >= 0)
            b.image = position;
        b.window = button;
    }
    gApp->hwndToolbar = bar;
    ToolBarAcceptDrops(1);
    return bar;
}

void ToolBarDestroy() {
    if (gToolbar.tooltip)
        DestroyWindow(gToolbar.tooltip);
    gToolbar.tooltip = nullptr;
    if (gApp->hwndToolbar)
        DestroyWindow(gApp->hwndToolbar);
    gApp->hwndToolbar = nullptr;
    gToolbar.height = 0;
    for (int i = 0; i < kToolbarButtonMax; i++)
        gApp->toolbarButtons[i].window = nullptr;
    if (gApp->hoverWindow && !IsWindow(gApp->hoverWindow))
        gApp->hoverWindow = nullptr;
}

void ToolBarLayout() {
    if (!gApp->hwndToolbar)
        return;
    int s = gApp->toolbarButtonSize ? gApp->toolbarButtonSize : 29;
    ToolButtonPlace places[kToolbarButtonMax];
    gToolbar.height = (uint16_t)ToolbarPlace(Records(), s, gApp->clientWidth, places);
    for (int i = 0, n = ToolbarCount(Records()); i < n; i++) {
        if (HWND button = (HWND)Records()[i].window)
            MoveWindow(button, places[i].x, places[i].y, places[i].size, places[i].size, TRUE);
    }
    MoveWindow(gApp->hwndToolbar, 0, 0, gApp->clientWidth, gToolbar.height, TRUE);
}

int ToolBarGetHeight() { return gApp && gApp->hwndToolbar ? gToolbar.height : 0; }

void ToolBarAcceptDrops(int on) {
    for (int i = 0, n = ToolbarCount(Records()); i < n; i++) {
        if (HWND button = (HWND)Records()[i].window)
            DragAcceptFiles(button, ToolbarCommandTakesDrops(Records()[i].command, on != 0));
    }
}

void ToolBarRepaint(int full) {
    for (int i = 0, n = gApp ? ToolbarCount(Records()) : 0; i < n; i++) {
        HWND button = (HWND)Records()[i].window;
        if (!button)
            continue;
        if (full)
            InvalidateRect(button, nullptr, FALSE);
        else
            WndInvalidateFrame(button);
    }
}

// ---- options dialog

enum : int {
    kTbAvailable = 14531,
    kTbOnBar = 14532,
    kTbDescription = 14202,
    kTbCommand = 14203,
    kTbFolder = 14204,
    kTbParams = 14205,
    kTbMode = 14206,
    kTbRemove = 14533,
    kTbAdd = 14534,
    kTbUp = 14535,
    kTbDown = 14536,
    kTbBrowse = 95,
    kTbAddNew = 97,
    kTbLarge = 14538,
};

struct ToolbarOptions {
    char settings[MAX_PATH];
    char temp[MAX_PATH]; // settings name + ".T__": the user buttons while editing
};

static ToolbarOptions *OptionsOf(HWND dialog) { return (ToolbarOptions *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

// The whole section, however large: the buffer grows until the text fits.
static char *ReadSection(const char *section, const char *file) {
    DWORD size = 32768;
    for (;;) {
        char *buffer = (char *)MemAlloc(size);
        if (!buffer)
            return nullptr;
        DWORD n = IniGetSection(section, buffer, size, file);
        if (n < size - 2)
            return buffer;
        MemFree(&buffer);
        if (size > (64u << 20))
            return nullptr;
        size *= 2;
    }
}

static bool MakeTempCopy(ToolbarOptions *options) {
    IniWriteSection("TB", "", options->temp);
    char *text = ReadSection("TB", options->settings);
    if (!text)
        return false;
    bool ok = !text[0] || IniWriteSection("TB", text, options->temp);
    MemFree(&text);
    return ok;
}

static void ListAdd(HWND list, int at, int command) {
    int index = (int)SendMessageA(list, LB_INSERTSTRING, at, (LPARAM)(intptr_t)command);
    if (index >= 0)
        SendMessageA(list, LB_SETITEMDATA, index, (LPARAM)command);
}

static int ListCommand(HWND list, int index) {
    return (int)(int16_t)SendMessageA(list, LB_GETITEMDATA, index, 0);
}

static void ShowUserFields(HWND dialog) {
    ToolbarOptions *options = OptionsOf(dialog);
    HWND list = GetDlgItem(dialog, kTbOnBar);
    int sel = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    int command = sel >= 0 ? ListCommand(list, sel) : 0;
    const int ids[] = {kTbDescription, kTbCommand, kTbFolder, kTbParams};
    const char letters[] = {'M', 'C', 'D', 'P'};
    for (int i = 0; i < 4; i++) {
        char value[520] = "";
        if (command < 0)
            ReadUserKey(letters[i], command, value, sizeof value, options->temp);
        SetDlgItemTextA(dialog, ids[i], value);
    }
    int mode = 0;
    if (command < 0) {
        char value[16] = "";
        ReadUserKey('T', command, value, sizeof value, options->temp);
        mode = atoi(value);
        if (mode < 0 || mode > 2)
            mode = 0;
    }
    SendDlgItemMessageA(dialog, kTbMode, CB_SETCURSEL, mode, 0);
}

static void MoveBetween(HWND dialog, int fromId, int toId) {
    HWND from = GetDlgItem(dialog, fromId), to = GetDlgItem(dialog, toId);
    int sel = (int)SendMessageA(from, LB_GETCURSEL, 0, 0);
    if (sel < 0)
        return;
    int command = ListCommand(from, sel);
    bool toBar = toId == kTbOnBar;
    if (toBar && SendMessageA(to, LB_GETCOUNT, 0, 0) >= kToolbarButtonMax) {
        MessageBeep(MB_ICONHAND); // the bar holds 80 buttons
        return;
    }
    // A separator or user button leaving the bar is not offered back; the
    // available separator stays, so it can be added any number of times.
    bool keepInSource = !toBar ? false : command == kToolbarSeparatorCommand;
    bool addToTarget = toBar || (command != kToolbarSeparatorCommand && command > 0);
    if (addToTarget) {
        int at = (int)SendMessageA(to, LB_GETCURSEL, 0, 0);
        at = at < 0 ? -1 : at + 1;
        ListAdd(to, at, command);
        int count = (int)SendMessageA(to, LB_GETCOUNT, 0, 0);
        SendMessageA(to, LB_SETCURSEL, at < 0 ? count - 1 : at, 0);
    }
    if (!keepInSource) {
        SendMessageA(from, LB_DELETESTRING, sel, 0);
        SendMessageA(from, LB_SETCURSEL, sel > 0 ? sel - 1 : 0, 0);
    }
    ShowUserFields(dialog);
}

static void BrowseProgram(HWND dialog) {
    char path[MAX_PATH] = "";
    GetDlgItemTextA(dialog, kTbCommand, path, sizeof path);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = "*.exe;*.com;*.bat;*.lnk\0*.exe;*.com;*.bat;*.lnk\0*.*\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS;
    if (!GetOpenFileNameA(&ofn))
        return;
    SetDlgItemTextA(dialog, kTbCommand, path);
    char text[MAX_PATH];
    if (!GetDlgItemTextA(dialog, kTbDescription, text, sizeof text)) {
        lstrcpynA(text, path + ofn.nFileOffset, sizeof text);
        if (char *dot = strrchr(text, '.'))
            *dot = 0;
        SetDlgItemTextA(dialog, kTbDescription, text);
    }
    lstrcpynA(text, path, sizeof text);
    text[ofn.nFileOffset > 0 ? ofn.nFileOffset - 1 : 0] = 0;
    SetDlgItemTextA(dialog, kTbFolder, text);
}

static void WriteUserKey(const char *file, char letter, int command, const char *value) {
    char key[16];
    UserKey(letter, command, key);
    IniWriteString("TB", key, value, file);
}

static void AddNew(HWND dialog) {
    ToolbarOptions *options = OptionsOf(dialog);
    char description[64] = "", program[MAX_PATH] = "", folder[MAX_PATH] = "", params[MAX_PATH] = "";
    GetDlgItemTextA(dialog, kTbDescription, description, sizeof description);
    GetDlgItemTextA(dialog, kTbCommand, program, sizeof program);
    if (!description[0] || !program[0]) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    GetDlgItemTextA(dialog, kTbFolder, folder, sizeof folder);
    GetDlgItemTextA(dialog, kTbParams, params, sizeof params);
    int mode = (int)SendDlgItemMessageA(dialog, kTbMode, CB_GETITEMDATA,
                                        SendDlgItemMessageA(dialog, kTbMode, CB_GETCURSEL, 0, 0), 0);
    if (mode < 0 || mode > 2)
        mode = 0;
    HWND list = GetDlgItem(dialog, kTbOnBar);
    int sel = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    int command = 0;
    if (sel >= 0 && ListCommand(list, sel) < 0) {
        char stored[MAX_PATH] = "";
        ReadUserKey('C', ListCommand(list, sel), stored, sizeof stored, options->temp);
        if (!lstrcmpiA(stored, program))
            command = ListCommand(list, sel); // replaced in place
    }
    if (command == 0) {
        if (count >= kToolbarButtonMax) {
            MessageBeep(MB_ICONHAND);
            return;
        }
        for (int n = -1; n >= -kToolbarButtonMax - 1 && command == 0; n--) {
            bool used = false;
            for (int i = 0; i < count && !used; i++)
                used = ListCommand(list, i) == n;
            if (!used)
                command = n;
        }
        int at = sel < 0 ? count : sel;
        ListAdd(list, at, command);
        SendMessageA(list, LB_SETCURSEL, at, 0);
    } else {
        InvalidateRect(list, nullptr, FALSE);
    }
    char modeText[4];
    snprintf(modeText, sizeof modeText, "%d", mode);
    WriteUserKey(options->temp, 'M', command, description);
    WriteUserKey(options->temp, 'C', command, program);
    WriteUserKey(options->temp, 'D', command, folder);
    WriteUserKey(options->temp, 'P', command, params);
    WriteUserKey(options->temp, 'T', command, modeText);
}

static void OptionsOk(HWND dialog) {
    ToolbarOptions *options = OptionsOf(dialog);
    IniWriteSection("TB", "", options->settings);
    HWND list = GetDlgItem(dialog, kTbOnBar);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count > kToolbarButtonMax)
        count = kToolbarButtonMax;
    for (int i = 0; i < count; i++) {
        int command = ListCommand(list, i);
        if (command >= 0)
            continue;
        const char letters[] = {'M', 'C', 'D', 'P', 'T'};
        for (char letter : letters) {
            char value[520] = "";
            ReadUserKey(letter, command, value, sizeof value, options->temp);
            if (!value[0] || (letter == 'T' && !strcmp(value, "0")))
                continue;
            WriteUserKey(options->settings, letter, command, value);
        }
    }
    ToolBarStopIconLoader();
    HWND parent = gApp->hwndToolbar ? GetParent(gApp->hwndToolbar) : gMainWindow;
    ToolBarDestroy();
    FreeUserIcons();
    memset(gApp->toolbarButtons, 0, sizeof gApp->toolbarButtons);
    for (int i = 0; i < count; i++) {
        ToolbarButton &b = gApp->toolbarButtons[i];
        b.command = (int16_t)ListCommand(list, i);
        b.image = b.command > 0 && b.command != kToolbarSeparatorCommand ? ToolbarCommandIndex(b.command) : 0;
    }
    gApp->toolbarButtonSize = IsDlgButtonChecked(dialog, kTbLarge) == BST_CHECKED ? 35 : 29;
    if ((gApp->barOptions & kBarToolbar) && parent)
        ToolBarBuild(parent);
    EndDialog(dialog, 1);
}

static void OptionsDrawItem(HWND dialog, const DRAWITEMSTRUCT *item) {
    if (item->itemID == (UINT)-1)
        return;
    ToolbarOptions *options = OptionsOf(dialog);
    int command = (int)(int16_t)item->itemData;
    bool selected = item->itemState & ODS_SELECTED;
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int position = ToolbarCommandIndex(command);
    int y = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - 18) / 2;
    if (position >= 0 && gButtonArt.toolImages[0])
        ImageList_Draw(gButtonArt.toolImages[0], position, item->hDC, item->rcItem.left + 4, y, ILD_TRANSPARENT);
    char text[80];
    if (command == kToolbarSeparatorCommand)
        TextGet(Txt::tt_Separator, text, sizeof text);
    else
        ToolBarButtonText(command, text, sizeof text, options->temp);
    RECT r = item->rcItem;
    r.left += 28;
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(item->hDC, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item->itemState & ODS_FOCUS)
        DrawFocusRect(item->hDC, &item->rcItem);
}

static void LocaliseSome(HWND dialog, const int *ids, int count) {
    for (int i = 0; i < count; i++) {
        char text[128];
        TextGet(ids[i], text, sizeof text);
        if (!text[0])
            continue;
        if (ids[i] == kToolbarOptionsDialog)
            SetWindowTextA(dialog, text);
        else
            SetDlgItemTextA(dialog, ids[i], text);
    }
}

static void OptionsInit(HWND dialog, ToolbarOptions *options) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)options);
    WndCenter(dialog);
    static const int kIds[] = {14530, 99, 2, 14535, 14536, 95, 97, 14538, 14527, 14528, 14529, 14221, 14222, 14223, 14224};
    LocaliseSome(dialog, kIds, sizeof kIds / sizeof kIds[0]);
    SetWindowLongA(dialog, GWL_EXSTYLE, GetWindowLongA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    CheckDlgButton(dialog, kTbLarge, gApp->toolbarButtonSize > 31 ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(dialog, kTbDescription, EM_LIMITTEXT, 63, 0);
    const int limited[] = {kTbCommand, kTbFolder, kTbParams};
    for (int id : limited)
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 259, 0);
    HWND available = GetDlgItem(dialog, kTbAvailable), onBar = GetDlgItem(dialog, kTbOnBar);
    const HWND lists[] = {available, onBar};
    for (HWND list : lists) {
        SendMessageA(list, LB_SETITEMHEIGHT, 0, 29);
        SendMessageA(list, LB_SETHORIZONTALEXTENT, 1000, 0);
    }
    MakeTempCopy(options);
    ListAdd(available, -1, kToolbarSeparatorCommand);
    for (int i = 0; i < kToolbarCommandCount; i++) {
        int command = kToolbarCommands[i];
        if (ToolbarCommandOffered(command) && !ToolBarFind(command))
            ListAdd(available, -1, command);
    }
    for (int i = 0, n = ToolbarCount(Records()); i < n; i++)
        ListAdd(onBar, -1, Records()[i].command);
    HWND combo = GetDlgItem(dialog, kTbMode);
    for (int i = 0; i < 3; i++) {
        char text[64];
        TextGet(Txt::txtWinNormal + i, text, sizeof text);
        int at = (int)SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)text);
        SendMessageA(combo, CB_SETITEMDATA, at, i);
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    SendMessageA(available, LB_SETCURSEL, 0, 0);
    SendMessageA(onBar, LB_SETCURSEL, 0, 0);
    ShowUserFields(dialog);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
}

INT_PTR CALLBACK ToolBarOptionsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OptionsInit(dialog, (ToolbarOptions *)lParam);
        return FALSE;
    case WM_MEASUREITEM:
        ((MEASUREITEMSTRUCT *)lParam)->itemHeight = 29;
        return TRUE;
    case WM_DRAWITEM:
        OptionsDrawItem(dialog, (const DRAWITEMSTRUCT *)lParam);
        return TRUE;
    case WM_DESTROY:
        if (ToolbarOptions *options = OptionsOf(dialog))
            DeleteFileA(options->temp);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kTbAvailable:
            if (HIWORD(wParam) == LBN_DBLCLK)
                MoveBetween(dialog, kTbAvailable, kTbOnBar);
            return TRUE;
        case kTbOnBar:
            if (HIWORD(wParam) == LBN_DBLCLK)
                MoveBetween(dialog, kTbOnBar, kTbAvailable);
            else if (HIWORD(wParam) == LBN_SELCHANGE)
                ShowUserFields(dialog);
            return TRUE;
        case kTbAdd:
            MoveBetween(dialog, kTbAvailable, kTbOnBar);
            return TRUE;
        case kTbRemove:
            MoveBetween(dialog, kTbOnBar, kTbAvailable);
            return TRUE;
        case kTbUp:
            DlgListBoxMoveUp(dialog, kTbOnBar);
            return TRUE;
        case kTbDown:
            DlgListBoxMoveDown(dialog, kTbOnBar);
            return TRUE;
        case kTbBrowse:
            BrowseProgram(dialog);
            return TRUE;
        case kTbAddNew:
            AddNew(dialog);
            return TRUE;
        case IDOK:
        case 99:
            OptionsOk(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR ToolBarOptionsCommand(HWND owner) {
    ToolbarOptions options = {};
    IniGetPath(options.settings);
    snprintf(options.temp, sizeof options.temp, "%s.T__", options.settings);
    INT_PTR result = DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(kToolbarOptionsDialog), owner,
                                     ToolBarOptionsDialog, (LPARAM)&options);
    DeleteFileA(options.temp); // also when the dialog could not be created
    if (result == 1) {
        if (gMainWindow)
            PostMessageA(gMainWindow, WM_SIZE, SIZE_RESTORED, 0);
        ToolBarStartIconLoader();
    }
    return result;
}
