#include "app/bars/DriveBar.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <winnetwk.h>

#include "AppState.h"
#include "panels/PanelShell.h"
#include "JobRecord.h"
#include "app/bars/BarLayout.h"
#include "app/bars/Bars.h"
#include "wingui/GuiDraw.h"
#include "app/Language.h"
#include "base/Memory.h"
#include "app/Menus.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "app/bars/ToolBar.h"
#include "wingui/WindowUtil.h"
#include "fileops/CopyJob.h"
#include "fileops/Job.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelWindow.h"
#include "tools/RunServices.h"

DriveBarState gDriveBars[2];
static WNDPROC gDriveButtonPrevProc;
static bool gDriveDropsOn = true;
static uint16_t gPopupPanel;

int DriveBarCount() { return gApp && (gApp->barOptions & kBarTwoDriveBars) ? 2 : 1; }

int DriveBarPanel(int bar) { return DriveBarCount() == 2 ? bar : gApp->activePanel; }

static void SetName(DriveInfo &d, const char *text) {
    // Display names from the language table are cut at 27 characters.
    lstrcpynA(d.displayName, text, 28);
}

static void SetNameId(DriveInfo &d, int textId) {
    char text[64];
    TextGet(textId, text, sizeof text);
    SetName(d, text);
}

int DriveBarRefreshTable(int bar) {
    DriveBarState &state = gDriveBars[bar & 1];
    DWORD mask = GetLogicalDrives();
    if (mask == state.driveMask)
        return 0;
    state.driveMask = mask;
    bool relayout = false;
    for (int i = 0; i < 26; i++) {
        DriveInfo &d = gApp->drives[i];
        if (d.kind < 10 || d.kind > 14)
            d.kind = kDriveAbsent;
        if (mask & (1u << i)) {
            d.displayName[0] = 0;
            lstrcpynA(d.fileSystem, "FAT", sizeof d.fileSystem);
            char root[4] = {(char)('A' + i), ':', '\\', 0};
            switch (GetDriveTypeA(root)) {
            case DRIVE_REMOVABLE:
                if (i < 2) {
                    d.kind = kDriveFloppy;
                    SetName(d, "Floppy");
                } else {
                    d.kind = kDriveRemovable;
                    SetNameId(d, Txt::txtRemovable);
                }
                break;
            case DRIVE_FIXED: {
                d.kind = kDriveFixed;
                char label[MAX_PATH] = "", fs[MAX_PATH] = "";
                if (GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, fs, sizeof fs)) {
                    lstrcpynA(d.displayName, label, sizeof d.displayName);
                    lstrcpynA(d.fileSystem, fs, sizeof d.fileSystem);
                }
                break;
            }
            case DRIVE_REMOTE: {
                d.kind = kDriveNetwork;
                char local[3] = {(char)('A' + i), ':', 0};
                char remote[260] = "";
                DWORD size = sizeof remote;
                if (WNetGetConnectionA(local, remote, &size) != NO_ERROR)
                    remote[0] = 0;
                if (remote[0]) {
                    char shortened[28];
                    StrShorten(remote, 27, shortened);
                    SetName(d, shortened);
                } else {
                    SetName(d, "LAN");
                }
                break;
            }
            case DRIVE_CDROM:
                d.kind = kDriveCdRom;
                SetName(d, "CD-ROM");
                break;
            case DRIVE_RAMDISK:
                d.kind = kDriveRamDisk;
                SetName(d, "RAM-Disk");
                break;
            default:
                d.kind = kDriveRemovable;
                SetName(d, "Other");
                break;
            }
        }
        for (DriveBarState &b : gDriveBars) {
            HWND &button = b.slots[i].button;
            if (!button)
                continue;
            if (d.kind == kDriveAbsent) {
                DestroyWindow(button);
                button = nullptr;
                b.slots[i].x = b.slots[i].y = 0;
                relayout = true;
            } else {
                InvalidateRect(button, nullptr, TRUE);
            }
        }
    }
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_NETHOOD, &pidl)) && pidl) {
        gApp->drives[36].kind = kDriveNeighbourhood;
        SetNameId(gApp->drives[36], Txt::txtNetwork);
        CoTaskMemFree(pidl);
    }
    if (gApp->ceLib) {
        gApp->drives[37].kind = kDriveCeDevice;
        SetNameId(gApp->drives[37], Txt::txtWCE);
    } else {
        gApp->drives[37].kind = kDriveAbsent;
    }
    if (relayout)
        PanelRelayoutAll();
    if (state.window)
        InvalidateRect(state.window, nullptr, FALSE);
    return 1;
}

int DriveBarRescan() {
    int changed = DriveBarRefreshTable(0);
    if (DriveBarCount() == 2)
        gDriveBars[1].driveMask = gDriveBars[0].driveMask;
    return changed;
}

// ---- windows

static DriveBarState *StateOf(HWND window) { return (DriveBarState *)GetWindowLongPtrA(window, GWLP_USERDATA); }

static int IndexOf(DriveBarState *state, HWND button) {
    for (int i = 0; state && i < kDriveCount; i++) {
        if (state->slots[i].button == button)
            return i;
    }
    return -1;
}

static void DriveButtonTip(HWND button, NMHDR *header) {
    int index = (int)GetDlgCtrlID(button);
    const char *name =
        index >= 0 && index < kDriveCount && BarTipsAllowed() ? gApp->drives[index].displayName : "";
    if (!BarTipWanted(name))
        name = "";
    BarTipSetText(header, name);
}

static void DriveButtonMenu(HWND button, int index, int panel, LPARAM at) {
    RenameInlineFinish();
    if (index >= 0 && index <= 25) {
        // The Explorer menu of the drive's root folder.
        POINT pt = {(short)LOWORD(at), (short)HIWORD(at)};
        if (at == (LPARAM)-1)
            GetCursorPos(&pt);
        char root[MAX_PATH] = {(char)('A' + index), ':', '\\', 0};
        PanelShellContextMenu(button, root, pt.x, pt.y, 2, panel, 0);
    } else if (index >= 26 && index <= 35) {
        MenuPopupFromTable(button, gFtpBarPopup);
    }
    if (!BarClassicStyle() && gApp->hoverWindow)
        WndInvalidateFrame(gApp->hoverWindow);
}

static LRESULT CALLBACK DriveButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    DriveBarState *state = StateOf(button);
    LRESULT shellResult;
    if (ShellMenuMessage(message, wParam, lParam, &shellResult))
        return shellResult;
    switch (message) {
    case WM_MOUSEMOVE:
        BarButtonMouseMove(button, state ? state->tooltip : nullptr, message, wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
        gBarButtonPressed = true;
        RenameInlineFinish();
        break;
    case WM_NOTIFY: {
        NMHDR *header = (NMHDR *)lParam;
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            DriveButtonTip(button, header);
            return 0;
        }
        break;
    }
    case WM_CONTEXTMENU:
        DriveButtonMenu(button, IndexOf(state, button), state ? DriveBarPanel(state->barIndex) : gApp->activePanel & 1,
                        lParam);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == 214 || LOWORD(wParam) == 219) {
            int index = IndexOf(state, button);
            if (index >= 26 && index <= 35 && gMainWindow) {
                // The dispatcher acts on the panel showing the connection.
                PostMessageA(gMainWindow, WM_COMMAND, LOWORD(wParam), 0);
            }
            return 0;
        }
        break;
    case WM_DROPFILES: {
        int index = IndexOf(state, button);
        if (index < 0)
            break;
        WndBringToFront(gMainWindow);
        DriveBarDropFiles(button, (HDROP)wParam, index);
        return 1;
    }
    case WM_ERASEBKGND:
        return 1;
    }
    return CallWindowProcA(gDriveButtonPrevProc, button, message, wParam, lParam);
}

static void DriveBarPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    RECT line = {r.left, r.top, r.right, r.top + 1};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    line = {r.left, r.bottom - 1, r.right, r.bottom};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
    EndPaint(window, &ps);
}

static void DriveBarDrawItem(const DRAWITEMSTRUCT *item) {
    int index = (int)item->CtlID;
    if (index < 0 || index >= kDriveCount)
        return;
    UINT state = item->itemState;
    if (!gBarButtonPressed)
        state &= ~ODS_SELECTED;
    const DriveInfo *drive = &gApp->drives[index];
    if (!BarClassicStyle()) {
        WndDrawButton(item->hDC, &item->rcItem, index, state, kBtnDrive | kBtnFlat, (LPARAM)drive);
        return;
    }
    RECT icon = item->rcItem;
    icon.right = icon.left + 25;
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    WndDrawButton(item->hDC, &icon, index, state, kBtnDrive | BarClassicFrame(), (LPARAM)drive);
    char letter[2] = {(char)DriveBarLetter(index, 'a'), 0};
    RECT text = item->rcItem;
    text.left = icon.right + 1;
    HGDIOBJ old = SelectObject(item->hDC, gApp->fontGui ? gApp->fontGui : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(item->hDC, letter, 1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(item->hDC, old);
}

static void DriveBarClick(DriveBarState *state, int index) {
    if (index < 0 || index >= kDriveCount)
        return;
    RenameInlineFinish();
    int panel = DriveBarPanel(state->barIndex);
    PanelSetFocus(panel);
    PanelSelectDrive(gMainWindow, panel, (char)DriveBarLetter(index, 'A'));
    BarsRepaintButtons(0);
}

static LRESULT CALLBACK DriveBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        DriveBarPaint(window);
        return 0;
    case WM_DRAWITEM:
        DriveBarDrawItem((const DRAWITEMSTRUCT *)lParam);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam) {
            if (DriveBarState *state = StateOf(window))
                DriveBarClick(state, (int)LOWORD(wParam));
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static bool DriveBarCreate(HWND parent, int bar) {
    DriveBarState &state = gDriveBars[bar];
    if (state.window)
        return true;
    state.barIndex = (uint16_t)bar;
    state.window = BarCreateWindow("DB", DriveBarWndProc, parent);
    if (!state.window)
        return false;
    SetWindowLongPtrA(state.window, GWLP_USERDATA, (LONG_PTR)&state);
    if (!state.tooltip)
        state.tooltip = BarCreateTooltip(state.window);
    for (int i = 0; i < kDriveCount; i++) {
        state.slots[i] = DriveBarState::Slot{};
        if (!gApp->drives[i].kind)
            continue;
        HWND button = BarCreateButton(state.window, i, kDriveButtonWidth, kDriveButtonHeight);
        if (!button)
            continue;
        WNDPROC previous = (WNDPROC)SetWindowLongPtrA(button, GWLP_WNDPROC, (LONG_PTR)DriveButtonProc);
        if (!gDriveButtonPrevProc)
            gDriveButtonPrevProc = previous;
        SetWindowLongPtrA(button, GWLP_USERDATA, (LONG_PTR)&state);
        BarAddTool(state.tooltip, button);
        state.slots[i].button = button;
    }
    DriveBarAcceptDrops(1);
    return true;
}

void DriveBarCreateAll(HWND parent) {
    for (int bar = 0; bar < DriveBarCount(); bar++)
        DriveBarCreate(parent, bar);
}

void DriveBarDestroyAll() {
    for (DriveBarState &state : gDriveBars) {
        if (state.tooltip)
            DestroyWindow(state.tooltip);
        state.tooltip = nullptr;
        if (state.window)
            DestroyWindow(state.window); // its buttons go with it
        state.window = nullptr;
        for (auto &slot : state.slots)
            slot = DriveBarState::Slot{};
        state.height = 0;
    }
    if (gApp && gApp->hoverWindow && !IsWindow(gApp->hoverWindow))
        gApp->hoverWindow = nullptr;
}

void DriveBarLayoutAll() {
    int count = DriveBarCount();
    int width = gApp->clientWidth;
    for (int bar = 0; bar < 2; bar++) {
        DriveBarState &state = gDriveBars[bar];
        if (!state.window)
            continue;
        uint16_t kinds[kDriveCount], xs[kDriveCount], ys[kDriveCount];
        for (int i = 0; i < kDriveCount; i++) {
            // An entry whose button could not be made counts as absent.
            if (!state.slots[i].button)
                gApp->drives[i].kind = kDriveAbsent;
            kinds[i] = state.slots[i].button ? gApp->drives[i].kind : 0;
        }
        int x, w;
        DriveBarSpan(bar, count, width, &x, &w);
        state.height = DriveBarPlace(kinds, w, xs, ys);
        for (int i = 0; i < kDriveCount; i++) {
            state.slots[i].x = xs[i];
            state.slots[i].y = ys[i];
        }
    }
    int top = ToolBarGetHeight(), height = DriveBarGetHeight();
    for (int bar = 0; bar < 2; bar++) {
        DriveBarState &state = gDriveBars[bar];
        if (!state.window)
            continue;
        int x, w;
        DriveBarSpan(bar, count, width, &x, &w);
        MoveWindow(state.window, x, top, w, height, TRUE);
        for (auto &slot : state.slots) {
            if (slot.button && slot.x)
                MoveWindow(slot.button, slot.x, slot.y, kDriveButtonWidth, kDriveButtonHeight, TRUE);
        }
    }
}

int DriveBarGetHeight() {
    int height = 0;
    for (const DriveBarState &state : gDriveBars) {
        if (state.window && state.height > height)
            height = state.height;
    }
    return height;
}

void DriveBarAcceptDrops(int on) {
    gDriveDropsOn = on != 0;
    for (DriveBarState &state : gDriveBars) {
        for (int i = 0; i < kDriveCount; i++) {
            if (state.slots[i].button)
                DragAcceptFiles(state.slots[i].button, DriveBarTakesDrops(i, gApp->drives[i].kind) && on);
        }
    }
}

void DriveBarRepaintAll(int full) {
    for (DriveBarState &state : gDriveBars) {
        for (auto &slot : state.slots) {
            if (!slot.button)
                continue;
            if (full)
                InvalidateRect(slot.button, nullptr, FALSE);
            else
                WndInvalidateFrame(slot.button);
        }
    }
}

// ---- drops

// Per file: u16 record length (path length + 3), then the path with its NUL.
static void *PackDropList(HDROP drop, UINT count) {
    size_t total = 2;
    char path[MAX_PATH];
    for (UINT i = 0; i < count; i++) {
        UINT n = DragQueryFileA(drop, i, path, sizeof path);
        total += (size_t)n + 3;
    }
    uint8_t *block = (uint8_t *)MemAlloc(total);
    if (!block)
        return nullptr;
    uint8_t *p = block;
    for (UINT i = 0; i < count; i++) {
        UINT n = DragQueryFileA(drop, i, path, sizeof path);
        uint16_t length = (uint16_t)(n + 3);
        memcpy(p, &length, 2);
        memcpy(p + 2, path, n + 1);
        p += length;
    }
    return block;
}

bool BarsPrepareDropJob(HDROP drop, JobRecord *job, void **list) {
    *list = nullptr;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0)
        return false;
    job->itemCount = count;
    if (count == 1) {
        DragQueryFileA(drop, 0, job->secondName, sizeof job->secondName);
        lstrcpynA(job->target, job->secondName + PathFindName(job->secondName), sizeof job->target);
    }
    job->flags = gApp->generalOptions;
    job->sourcePanel = gApp->activePanel;
    return true;
}

void *BarsPackDropList(HDROP drop, const JobRecord *job) {
    return job->itemCount > 1 ? PackDropList(drop, job->itemCount) : nullptr;
}

void DriveBarDropFiles(HWND button, HDROP drop, int index) {
    (void)button;
    if (index > 25) {
        DragFinish(drop);
        BarsRepaintButtons(0);
        return;
    }
    JobRecord job = {};
    void *list = nullptr;
    if (!BarsPrepareDropJob(drop, &job, &list)) {
        DragFinish(drop);
        return;
    }
    job.jobCode = 1039;
    job.titleId = 4031;
    job.captionId = 4032;
    job.itemInfo = (uint32_t)('A' + index);
    INT_PTR result = DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(10100), gMainWindow, CopyDialogProc,
                                     (LPARAM)&job);
    if (result != IDOK) {
        DragFinish(drop);
        return;
    }
    gApp->generalOptions = job.flags;
    job.flags = kJobInclSubDirs;
    if (job.itemCount > 1) {
        // The dialog frees the list with the record.
        job.selection = BarsPackDropList(drop, &job);
    }
    JobShowDialog(gMainWindow, 10301, &job);
    DragFinish(drop);
}

// ---- select-drive dialog and popup

struct DriveSelectData {
    int panel;
    char lastLetter;
};

static void DriveLine(int index, char *out, size_t size, bool menu) {
    const DriveInfo &d = gApp->drives[index];
    char letter = (char)DriveBarLetter(index, 'A');
    if (index < 26 && !d.displayName[0])
        snprintf(out, size, menu ? "&%c:" : "%c:", letter);
    else
        TextFormat(out, size, menu && index < 26 ? Txt::fmtDriveMenu : Txt::fmtDriveName, letter, d.displayName);
}

static bool DriveListed(int index) {
    if (index < 26)
        return (gDriveBars[0].driveMask >> index) & 1;
    return gApp->drives[index].kind != kDriveAbsent;
}

static bool DriveSelectTry(HWND dialog, DriveSelectData *data, char c) {
    if (PanelSelectDrive(dialog, data->panel, c) != 0)
        return false;
    EndDialog(dialog, 1);
    return true;
}

static INT_PTR CALLBACK DriveSelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DriveSelectData *data = (DriveSelectData *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        data = (DriveSelectData *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)data);
        SetWindowLongA(dialog, GWL_EXSTYLE, GetWindowLongA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
        char title[64];
        TextGet(Txt::dlgSelDrive, title, sizeof title);
        SetWindowTextA(dialog, title);
        HWND list = GetDlgItem(dialog, kDriveSelectList);
        if (gMainWindow)
            WndPlaceRelative(gMainWindow, dialog, data->panel == 1 ? 3 : 4, 5);
        DriveBarRefresh(false);
        int selected = 0;
        for (int i = 0; i < kDriveCount; i++) {
            if (!DriveListed(i))
                continue;
            char line[64];
            DriveLine(i, line, sizeof line, false);
            int at = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
            if (i < 26) {
                data->lastLetter = (char)('A' + i);
                if ((line[0] & ~0x20) == (gApp->panelPath[data->panel & 1][0] & ~0x20))
                    selected = at;
            }
        }
        SendMessageA(list, LB_SETCURSEL, selected, 0);
        SetFocus(list);
        return FALSE;
    }
    case WM_VKEYTOITEM: {
        // A string list box reports keys, not characters: the virtual keys
        // of letters and digits are their upper-case characters.
        char c = (char)LOWORD(wParam);
        if ((c >= 'A' && c <= data->lastLetter) || (c >= '1' && c <= '9')) {
            DriveSelectTry(dialog, data, c);
            return -2;
        }
        return -1;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kDriveSelectList:
            if (HIWORD(wParam) == LBN_DBLCLK)
                PostMessageA(dialog, WM_COMMAND, 99, 0);
            return TRUE;
        case IDOK:
        case 99: {
            HWND list = GetDlgItem(dialog, kDriveSelectList);
            int at = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
            char line[64] = "";
            if (at >= 0 && SendMessageA(list, LB_GETTEXTLEN, at, 0) < (LRESULT)sizeof line)
                SendMessageA(list, LB_GETTEXT, at, (LPARAM)line);
            if (line[0])
                DriveSelectTry(dialog, data, line[0]);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR DriveSelectDialog(HWND owner, int panel) {
    DriveSelectData data = {panel & 1, 'A'};
    return DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(kDriveSelectDialog), owner, DriveSelectDlgProc,
                           (LPARAM)&data);
}

void DriveSelectPopup(HWND owner, int panel, const POINT *at) {
    // A bare rescan would store the new drive mask without new buttons, and
    // the next layout would then drop the new drives from the table.
    if (gApp->barOptions & kBarDrives)
        DriveBarRefresh(false);
    else
        DriveBarRescan();
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    char lines[kDriveCount][64];
    int position = 0, current = -1;
    const char panelDrive = (char)(gApp->panelPath[panel & 1][0] & ~0x20);
    for (int i = 0; i < kDriveCount; i++) {
        if (!DriveListed(i))
            continue;
        if (i < 26 && 'A' + i == panelDrive && !gApp->panels[panel & 1].location)
            current = position;
        DriveLine(i, lines[i], sizeof lines[i], true);
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_TYPE | MIIM_DATA;
        item.fType = MFT_STRING;
        item.wID = (UINT)(kDriveMenuFirst + i);
        item.dwTypeData = lines[i];
        item.dwItemData = (ULONG_PTR)lines[i];
        InsertMenuItemA(menu, position++, TRUE, &item);
    }
    gApp->popupState = kDriveMenuFirst;
    gPopupPanel = (uint16_t)(panel & 1);
    POINT pt;
    if (at)
        pt = *at;
    else
        GetCursorPos(&pt);
    // The menu's own keyboard handling moves the highlight onto the panel's
    // drive: the first Down selects the first item. Posted, these keys are
    // read by the menu loop that TrackPopupMenu runs.
    for (int i = 0; i <= current; i++)
        PostMessageA(owner, WM_KEYDOWN, VK_DOWN, 0);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    DestroyMenu(menu);
    gApp->popupState = (uint16_t)(panel & 1);
    PanelSetFocus(gApp->activePanel);
}

void DriveSelectFromMenu(HWND owner, int index) {
    if (index < 0 || index >= kDriveCount)
        return;
    PanelSelectDrive(owner, gPopupPanel, (char)DriveBarLetter(index, 'A'));
}
