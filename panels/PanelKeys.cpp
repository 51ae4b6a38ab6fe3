// The panel key handler, marking commands and moving a panel between
// folders; everything here runs on the interface thread.
#include "panels/PanelInput.h"

#include <ctype.h>
#include <shellapi.h>
#include <string.h>

#include "AppState.h"
#include "app/DirWatch.h"
#include "app/Language.h"
#include "base/Paths.h"
#include "wingui/ShellServices.h"
#include "fileops/DiskTools.h"
#include "fileops/FileSystem.h"
#include "frontends/FtpFrontEnd.h"
#include "base/Strings.h"
#include "panels/PanelArchive.h"
#include "panels/Location.h"
#include "panels/PanelIter.h"
#include "panels/PanelNav.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"
#include "panels/PanelWindow.h"
#include "tools/RunServices.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileHelpers.h"
#include "fileops/SumVerify.h"
#include "frontends/CePanel.h"

namespace {

int Active() { return gApp->activePanel & 1; }

bool Counting(int panel) { return (gApp->dirSizeFlags & (panel + 1)) != 0; }

PanelGeom GeomOf(int panel) {
    PanelState &ps = gApp->panels[panel];
    return PanelGeom{ps.entryCount, ps.visibleRows, ps.pageSize, ps.topMax, ps.hScrollMax,
                     gApp->panelMode[panel] & 0xF};
}

void SetBars(int panel) {
    PanelState &ps = gApp->panels[panel];
    SetScrollPos(ps.vScrollBar, SB_CTL, gApp->topIndex[panel], TRUE);
    SetScrollPos(ps.hScrollBar, SB_CTL, gApp->scrollPos[panel], TRUE);
}

// Applies a cursor step: repaints the two rows, or the whole list when it
// scrolled.
void Move(int panel, PanelMove move) {
    PanelState &ps = gApp->panels[panel];
    ps.entryCount = PanelListCount(panel);
    PanelPos pos = {(int32_t)gApp->cursorIndex[panel], gApp->topIndex[panel], gApp->scrollPos[panel]};
    uint32_t old = gApp->cursorIndex[panel];
    bool scrolled = PanelApplyMove(pos, GeomOf(panel), move);
    gApp->topIndex[panel] = pos.top;
    gApp->scrollPos[panel] = pos.scroll;
    if (scrolled) {
        gApp->cursorIndex[panel] = (uint32_t)pos.cursor;
        InvalidateRect(ps.listWindow, nullptr, FALSE);
        SetBars(panel);
    } else if ((uint32_t)pos.cursor != old) {
        PanelInvalidateRow(panel, old);
        gApp->cursorIndex[panel] = (uint32_t)pos.cursor;
        PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
    }
    PanelUpdateStatusLine();
}

void ToggleCursorMark(int panel) {
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    EntryToggleMark(e);
    PanelIterEnd(&it);
    PanelInvalidateRow(panel, gApp->cursorIndex[panel]);
}

void GroupMark(int panel, PanelMarkOp op) {
    bool selDir = (gApp->panelOptions & kPanelSelDir) != 0;
    if (PanelMarkGroup(panel, op, selDir, nullptr)) {
        PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
        PanelUpdateStatusLine();
    }
}

const char *Extension(const char *path) {
    const char *name = strrchr(path, '\\');
    const char *dot = strrchr(name ? name : path, '.');
    return dot ? dot + 1 : "";
}

static bool IsProgramExtension(const char *ext) {
    static const char *const kPrograms[] = {"EXE", "COM", "BAT", "PIF", "LNK"};
    for (const char *a : kPrograms)
        if (_stricmp(ext, a) == 0)
            return true;
    return false;
}

static bool IsArchiveExtension(const char *ext) {
    static const char *const kArchiveExtensions[] = {"ZIP", "JAR", "GZ", "TGZ"};
    for (const char *a : kArchiveExtensions)
        if (_stricmp(ext, a) == 0)
            return true;
    return false;
}

// Enter on a file: a shortcut opens its target in the panel, a file with a
// registered program is started with it, anything else goes to the shell.
void OpenFile(HWND owner, int panel, const char *path, const char *folder) {
    if (_stricmp(Extension(path), "LNK") == 0) {
        char target[MAX_PATH] = "", description[MAX_PATH], work[MAX_PATH];
        if (SUCCEEDED(ShellResolveLink(path, target, description, work)) && target[0]) {
            DWORD a = GetFileAttributesA(target);
            if (a != INVALID_FILE_ATTRIBUTES) {
                if (a & FILE_ATTRIBUTE_DIRECTORY) {
                    PanelChangeDir(target, panel);
                } else {
                    char dir[MAX_PATH];
                    strcpy(dir, target);
                    if (char *cut = strrchr(dir, '\\'))
                        cut[cut - dir == 2 ? 1 : 0] = 0;
                    PanelChangeDir(dir, panel);
                    PanelRequestRereadSelect(panel, target);
                }
                return;
            }
        }
    }
    // A checksum list is verified instead of opened.
    if (SumVerifyFile(owner, path) != -1)
        return;
    bool tree = (gApp->panelMode[0] & 0xF) == kViewTree || (gApp->panelMode[1] & 0xF) == kViewTree;
    if (!tree && IsArchiveExtension(Extension(path)) && PanelTryOpenArchive(owner, panel, path))
        return;
    if (!tree && _stricmp(Extension(path), "EXE") != 0) {
        char program[MAX_PATH] = "";
        if ((INT_PTR)FindExecutableA(path, folder, program) > 32 && program[0]) {
            const char *name = strrchr(path, '\\');
            SHELLEXECUTEINFOA info = {};
            info.cbSize = sizeof info;
            info.hwnd = owner;
            info.lpFile = name ? name + 1 : path;
            info.lpDirectory = folder;
            info.nShow = SW_SHOWNORMAL;
            ShellExecuteExA(&info);
            return;
        }
    }
    // No program for it: perhaps an archive under another name.
    if (!tree && !IsProgramExtension(Extension(path)) && PanelTryOpenArchive(owner, panel, path))
        return;
    RunOpenFile(owner, path, folder, 5);
}

void OpenCursorEntry(HWND owner, int panel) {
    if ((gApp->panelMode[panel] & 0xF) == kViewTree || Counting(panel))
        return;
    char path[260];
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (!e) {
        PanelIterEnd(&it);
        return;
    }
    bool up = EntryIsUpDir(e), folder = EntryIsFolder(e);
    char entryName[260];
    lstrcpynA(entryName, EntryName(e), sizeof entryName);
    LocationNode *ftpNode = gApp->panels[panel].location;
    if (ftpNode && ftpNode->kind == kLocationFtp) {
        PanelIterEnd(&it);
        // A link is opened as a folder on the server; the server decides
        // where it leads, and the panel shows that folder's real path.
        if (up || folder)
            FtpChangeDirAsync(up ? ".." : entryName, panel, ftpNode);
        return;
    }
    PanelEntryPath(e, panel, path, sizeof path);
    PanelIterEnd(&it);
    if (PanelShowsDevice(panel)) {
        CeOpenEntry(owner, panel, entryName, folder, up);
        return;
    }
    const LocationNode *location = gApp->panels[panel].location;
    if (location && location->kind < kLocationFtp) {
        bool handled = PanelArchiveEnter(owner, panel, entryName, up, folder);
        // An archive inside the archive opens through a copy of it.
        if (!handled && !up && !folder && IsArchiveExtension(Extension(entryName)))
            handled = PanelOpenNestedArchive(owner, panel, entryName);
        if (!handled)
            MessageBeep(MB_ICONHAND);
        return;
    }
    if (up && !gApp->panels[panel].location) {
        PanelGoUp(owner, panel);
        return;
    }
    if (FileSetDrive(owner, path[0]) != 0) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    if (folder) {
        PanelChangeDir(path, panel);
        return;
    }
    char folderPath[260];
    PanelGetPath(panel, folderPath, sizeof folderPath);
    OpenFile(owner, panel, path, folderPath);
}

const char *(*gMaskSource)(int deselect);
char gSelectMask[260] = "*.*";

// ---- the select / deselect dialog, built in memory (template 11200/11300)

struct MaskDialog {
    int deselect;
    char mask[260];
};

INT_PTR CALLBACK MaskDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        MaskDialog *data = (MaskDialog *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        // Over the active panel's side of the main window.
        if (gMainWindow)
            WndPlaceRelative(gMainWindow, dialog, (gApp->activePanel & 1) ? 3 : 4, 5);
        char text[128];
        TextGet(data->deselect ? 11300 : 11200, text, sizeof text);
        SetWindowTextA(dialog, text);
        TextGet(data->deselect ? 11302 : 11202, text, sizeof text);
        SetDlgItemTextA(dialog, 11202, text);
        SetDlgItemTextA(dialog, 11201, gSelectMask);
        SendDlgItemMessageA(dialog, 11201, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, 11201));
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            MaskDialog *data = (MaskDialog *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
            GetDlgItemTextA(dialog, 11201, data->mask, sizeof data->mask);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// Appends one item to an in-memory dialog template.
WORD *AddItem(WORD *p, DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const wchar_t *text) {
    p = (WORD *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
    DLGITEMTEMPLATE *item = (DLGITEMTEMPLATE *)p;
    item->style = style | WS_CHILD | WS_VISIBLE;
    item->dwExtendedStyle = 0;
    item->x = x, item->y = y, item->cx = cx, item->cy = cy, item->id = id;
    p = (WORD *)(item + 1);
    *p++ = 0xFFFF;
    *p++ = cls;
    while (*text)
        *p++ = (WORD)*text++;
    *p++ = 0;
    *p++ = 0;
    return p;
}

bool AskMask(HWND owner, int deselect, char *mask) {
    if (gMaskSource) {
        const char *m = gMaskSource(deselect);
        if (!m)
            return false;
        mask[0] = 0;
        StrAppend(mask, m, 260);
        return true;
    }
    alignas(4) WORD buffer[512] = {};
    DLGTEMPLATE *t = (DLGTEMPLATE *)buffer;
    t->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
    t->cdit = 4;
    t->cx = 180;
    t->cy = 62;
    WORD *p = (WORD *)(t + 1);
    *p++ = 0; // menu
    *p++ = 0; // class
    *p++ = 0; // title (set at init)
    *p++ = 8;
    for (const wchar_t *f = L"MS Shell Dlg"; *f; f++)
        *p++ = (WORD)*f;
    *p++ = 0;
    p = AddItem(p, SS_LEFT, 7, 7, 166, 9, 11202, 0x0082, L"");
    p = AddItem(p, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 18, 166, 13, 11201, 0x0081, L"");
    p = AddItem(p, BS_DEFPUSHBUTTON | WS_TABSTOP, 70, 40, 50, 14, IDOK, 0x0080, L"OK");
    p = AddItem(p, BS_PUSHBUTTON | WS_TABSTOP, 123, 40, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    MaskDialog data = {deselect, ""};
    if (DialogBoxIndirectParamA(gApp->hInstance, t, owner, MaskDialogProc, (LPARAM)&data) != 1)
        return false;
    mask[0] = 0;
    StrAppend(mask, data.mask, 260);
    return true;
}

void MarkByMask(int panel, bool deselect) {
    char mask[260];
    if (!AskMask(gMainWindow, deselect, mask))
        return;
    gSelectMask[0] = 0;
    StrAppend(gSelectMask, mask, sizeof gSelectMask);
    bool selDir = (gApp->panelOptions & kPanelSelDir) != 0;
    if (PanelMarkGroup(panel, deselect ? kMarkClear : kMarkSet, selDir, gSelectMask)) {
        InvalidateRect(gApp->panels[panel].listWindow, nullptr, FALSE);
        PanelUpdateStatusLine();
    }
}

} // namespace

void PanelSetMaskSource(const char *(*source)(int deselect)) { gMaskSource = source; }
void PanelSelectByMask(int panel) { MarkByMask(panel, false); }
void PanelDeselectByMask(int panel) { MarkByMask(panel, true); }

void PanelInvertMarks(int panel) {
    PanelMarkGroup(panel, kMarkInvert, (gApp->panelOptions & kPanelSelDir) != 0, nullptr);
    InvalidateRect(gApp->panels[panel].listWindow, nullptr, FALSE);
    PanelUpdateStatusLine();
}

void PanelHandleKey(HWND owner, UINT, WPARAM key, LPARAM keyData) {
    if (!gApp)
        return;
    int panel = Active();
    int mode = gApp->panelMode[panel] & 0xF;
    switch (key) {
    case VK_TAB:
        if (!gApp->panelOff[0] && !gApp->panelOff[1]) {
            PanelActivateOther(panel);
            for (int p = 0; p < 2; p++) {
                PostMessageA(gApp->panels[p].listWindow, WM_USER + 2, 0, 0);
                PanelInvalidateRow(p, gApp->cursorIndex[p]);
            }
        }
        RunSetCurDirFromPanel(owner, Active());
        PanelSetFocus(Active());
        PanelUpdateStatusLine();
        return;
    case VK_RETURN:
        OpenCursorEntry(owner, panel);
        return;
    case VK_PRIOR: Move(panel, kMovePageUp); return;
    case VK_NEXT: Move(panel, kMovePageDown); return;
    case VK_END: Move(panel, kMoveEnd); return;
    case VK_HOME: Move(panel, kMoveHome); return;
    case VK_UP: Move(panel, kMoveUp); return;
    case VK_DOWN: Move(panel, kMoveDown); return;
    case VK_LEFT:
        if (mode == kViewBrief)
            Move(panel, kMoveLeft);
        else
            PanelScroll(panel, false, SB_LINELEFT, 0);
        return;
    case VK_RIGHT:
        if (mode == kViewBrief)
            Move(panel, kMoveRight);
        else
            PanelScroll(panel, false, SB_LINERIGHT, 0);
        return;
    case VK_INSERT:
        if (Counting(panel) || mode == kViewTree)
            return;
        ToggleCursorMark(panel);
        if (gApp->panelOptions & kPanelInsDown)
            Move(panel, kMoveDown);
        else
            PanelUpdateStatusLine();
        return;
    case VK_MULTIPLY:
        if (!Counting(panel) && mode != kViewTree)
            PanelInvertMarks(panel);
        return;
    case VK_ADD:
        if (!Counting(panel) && mode != kViewTree)
            PanelSelectByMask(panel);
        return;
    case VK_SUBTRACT:
        if (!Counting(panel) && mode != kViewTree)
            PanelDeselectByMask(panel);
        return;
    case VK_DIVIDE:
        PostMessageA(owner, WM_COMMAND, 119, 0);
        return;
    case 189:
    case 220:
        if (!Counting(panel))
            GroupMark(panel, kMarkShiftOut);
        return;
    case 191:
        if (!Counting(panel))
            GroupMark(panel, kMarkSet);
        return;
    }
    if (gApp->generalOptions & kGenLetterJump)
        return;
    if (gApp->cmdLine && !(keyData & (1 << 24)) && key > 31) {
        SetFocus(gApp->cmdLine);
        SendMessageA(gApp->cmdLine, CB_SETEDITSEL, 0, MAKELPARAM(0xFFFF, 0xFFFF));
        HWND edit = gApp->cmdLineEdit ? gApp->cmdLineEdit : GetFocus();
        SendMessageA(edit, WM_CHAR, key, 0);
    }
}

void PanelScroll(int panel, bool vertical, int code, int thumb) {
    PanelState &ps = gApp->panels[panel];
    int mode = gApp->panelMode[panel] & 0xF;
    int32_t &value = vertical ? gApp->topIndex[panel] : gApp->scrollPos[panel];
    int32_t max = vertical ? ps.topMax : ps.hScrollMax;
    int32_t line = 1, page = vertical ? (int32_t)(ps.visibleRows ? ps.visibleRows : 1) : 1;
    if (!vertical && mode != kViewBrief) {
        RECT rc;
        GetClientRect(ps.listWindow, &rc);
        line = 8;
        page = rc.right > 16 ? rc.right - 16 : 16;
    }
    int32_t next = value;
    switch (code) {
    case SB_LINEUP: next -= line; break;
    case SB_LINEDOWN: next += line; break;
    case SB_PAGEUP: next -= page; break;
    case SB_PAGEDOWN: next += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = thumb; break;
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: next = max; break;
    default: return;
    }
    if (next > max)
        next = max;
    if (next < 0)
        next = 0;
    if (next == value)
        return;
    value = next;
    if (!vertical && mode == kViewBrief) {
        // Brief columns: the first visible entry follows the column.
        gApp->topIndex[panel] = next * (int32_t)ps.visibleRows;
        if (gApp->topIndex[panel] > ps.topMax)
            gApp->topIndex[panel] = ps.topMax;
    }
    PanelClampCursor(panel);
    SetBars(panel);
    InvalidateRect(ps.listWindow, nullptr, FALSE);
    PanelUpdateStatusLine();
}

// ---- folders

int PanelChangeDir(const char *path, int panel) {
    if (Counting(panel))
        return 0;
    char target[260];
    target[0] = 0;
    StrAppend(target, path, sizeof target);
    int err = DirEnterNearest(target, panel);
    if (err)
        return err;
    PanelMarkGroup(panel, kMarkClear, true, nullptr);
    LocationNode *location = gApp->panels[panel].location;
    if (location && location->kind == kLocationFtp) {
        // Back on the file system; the connection stays open in its slot.
        gApp->panels[panel].location = nullptr;
        LocationFree(location);
    }
    char old[260];
    PanelGetPath(panel, old, sizeof old);
    size_t oldLen = strlen(old), newLen = strlen(path);
    bool goingUp = newLen < oldLen || (newLen == oldLen + 3 && _strnicmp(path, old, oldLen) == 0 &&
                                       strcmp(path + oldLen, "\\..") == 0);
    char current[260];
    if (!GetCurrentDirectoryA(sizeof current, current))
        return 0;
    PanelSetPath(panel, current);
    if (!goingUp) {
        gApp->cursorIndex[panel] = 0;
        gApp->topIndex[panel] = 0;
        gApp->scrollPos[panel] = 0;
    }
    PanelRequestRereadSelect(panel, goingUp ? old : nullptr);
    DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
    int other = !panel;
    if ((gApp->panelMode[other] & 0xF) == kViewTree) {
        PanelSetPath(other, current);
        PanelRequestReread(other);
    }
    if (gApp->panels[panel].pathBar)
        InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
    DiskUpdateEjectButtons();
    return 0;
}

void PanelGoUp(HWND, int panel) {
    LocationNode *location = gApp->panels[panel].location;
    if (location && location->kind == kLocationFtp) {
        FtpChangeDirAsync("..", panel, location);
        PanelSetFocus(Active());
        return;
    }
    if (PanelShowsDevice(panel)) {
        CeChangeDir("..", panel, location);
        PanelSetFocus(Active());
        return;
    }
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    if (strlen(path) > 3 && !gApp->panels[panel].location) {
        size_t n = strlen(path);
        if (path[n - 1] != '\\')
            StrAppend(path, "\\", sizeof path);
        StrAppend(path, "..", sizeof path);
        PanelChangeDir(path, panel);
        PanelUpdateStatusLine();
    }
    PanelSetFocus(Active());
}

int PanelSelectDrive(HWND owner, int panel, char driveChar) {
    char letter = (char)toupper((unsigned char)driveChar);
    if (letter >= '0' && letter <= '9') {
        FtpAttachPanel(panel, letter); // -1 for a slot without a connection: nothing to show
        DiskUpdateEjectButtons();
        return 0;
    }
    if ((letter == ' ' || letter == '[') && gApp->ceEntry) {
        int result = Counting(panel) ? 2 : CeSelectDevice(owner, panel);
        DiskUpdateEjectButtons();
        return result;
    }
    if (letter < 'A' || letter > 'Z')
        return 0; // network and FTP slots come with their front ends
    if (PanelShowsDevice(panel)) {
        if (Counting(panel))
            return 2;
        CeDropLocation(panel);
    }
    int other = !panel;
    char path[260], otherPath[260];
    PanelGetPath(panel, path, sizeof path);
    PanelGetPath(other, otherPath, sizeof otherPath);
    bool otherOnDrive = toupper((unsigned char)otherPath[0]) == letter && otherPath[1] == ':';
    if (toupper((unsigned char)path[0]) == letter && path[1] == ':') {
        // The own drive again: jump to where the other panel is on it.
        if (otherOnDrive && _stricmp(otherPath, path) != 0)
            PanelChangeDir(otherPath, panel);
        PanelRequestReread(panel);
        return 0;
    }
    if (Counting(panel))
        return 2;
    PanelMarkGroup(panel, kMarkClear, true, nullptr);
    if (FileSetDriveNumber(owner, letter - 64) != 0)
        return 0; // the file-system layer has reported it
    if (otherOnDrive) {
        strcpy(path, otherPath);
    } else {
        char drive[3] = {letter, ':', 0};
        if (!GetFullPathNameA(drive, sizeof path, path, nullptr))
            return (int)GetLastError();
    }
    bool tree = (gApp->panelMode[0] & 0xF) == kViewTree || (gApp->panelMode[1] & 0xF) == kViewTree;
    if (tree) {
        // With a tree shown both panels go to the drive's root.
        path[3] = 0;
        PanelSetPath(other, path);
        PanelRequestReread(other);
    }
    return PanelChangeDir(path, panel);
}

void PanelActivateOther(int panel) {
    int other = !panel;
    gApp->activePanel = (uint16_t)(((gApp->panelMode[other] & 0xF) == kViewQuick) ? panel : other);
}

void PanelSetFocus(int panel) {
    if ((gApp->panelMode[0] & 0xF) == kViewQuick)
        panel = 1;
    else if ((gApp->panelMode[1] & 0xF) == kViewQuick)
        panel = 0;
    PanelState &ps = gApp->panels[panel];
    HWND target = ps.treeControl ? ps.treeControl : ps.listWindow;
    if (target) {
        SetFocus(target);
        gApp->wheelTarget = target;
    }
}

void PanelJumpToLetter(unsigned char letter) {
    int panel = Active();
    int32_t target = PanelJumpTarget(panel, letter, gApp->cursorIndex[panel]);
    if (target < 0)
        return;
    char name[260] = "";
    PanelIter it;
    PanelIterBegin(&it, panel);
    FileEntry *e = PanelIterAt(&it, (uint32_t)target);
    if (e)
        StrAppend(name, EntryName(e), sizeof name);
    PanelIterEnd(&it);
    PanelSetCursorCentred(name, panel);
    // The repaint message only lays the list out again: the status texts
    // follow the cursor here, or they keep describing the entry it left.
    PanelUpdateStatusLine();
    PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
}
