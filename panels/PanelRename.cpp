#include "panels/PanelRename.h"

#include <stdlib.h>
#include <string.h>
#include <oleidl.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "fileops/CopyJob.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "panels/Location.h"
#include "tools/RunServices.h"
#include "wingui/WindowUtil.h"
#include "panels/PanelIter.h"
#include "panels/PanelPaint.h"
#include "panels/PanelWindow.h"

namespace {

WNDPROC gOldRenameProc;

LRESULT CALLBACK RenameEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC old = gOldRenameProc;
    switch (message) {
    case WM_KILLFOCUS:
        // Finishing destroys the box; the edit's own procedure must not see
        // the message after that.
        if (gApp->renameEdit == edit) {
            RenameInlineFinish();
            return 0;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR: {
        LRESULT r = CallWindowProcA(old, edit, message, wParam, lParam);
        InvalidateRect(edit, nullptr, TRUE); // over the panel's colours again
        return r;
    }
    }
    return CallWindowProcA(old, edit, message, wParam, lParam);
}

// Left edge of the name inside a row: past the icon, and in Custom mode past
// the columns before the name.
int NameLeft(int panel, const RECT &row) {
    int x = row.left + ((gApp->panelOptions & kPanelNoSymbols) ? 2 : 18);
    if ((gApp->panelMode[panel] & 0xF) != kViewCustom)
        return x;
    const PanelState &ps = gApp->panels[panel];
    for (int i = 0; i < kPanelColumnSlots && ps.customColumns[i] != kColName; i++) {
        if (ps.customColumns[i])
            x += ps.customWidths[i];
    }
    return x;
}

} // namespace

bool PanelStartRename() {
    if (!gApp || gApp->renameEdit)
        return false;
    int panel = gApp->activePanel & 1;
    HWND list = gApp->panels[panel].listWindow;
    int mode = gApp->panelMode[panel] & 0xF;
    // Folders on disk only: FTP, device and archive entries are renamed
    // through the rename dialog and their front ends.
    if (!list || mode == kViewTree || mode == kViewQuick || gApp->panels[panel].location)
        return false;
    char name[MAX_PATH] = "";
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    bool usable = e && !EntryIsUpDir(e);
    if (usable)
        lstrcpynA(name, EntryName(e), sizeof name);
    PanelIterEnd(&it);
    if (!usable || !name[0])
        return false;

    RECT row, client;
    PanelEntryRect(list, panel, &row, gApp->cursorIndex[panel]);
    GetClientRect(list, &client);
    if (row.bottom <= row.top)
        return false;
    HFONT font = PanelFont();
    HDC dc = GetDC(list);
    HGDIOBJ oldFont = SelectObject(dc, font);
    char sample[MAX_PATH + 4];
    lstrcpynA(sample, name, MAX_PATH);
    strcat(sample, "WWW");
    SIZE size = {};
    GetTextExtentPoint32A(dc, sample, (int)strlen(sample), &size);
    SelectObject(dc, oldFont);
    ReleaseDC(list, dc);
    int width = size.cx + size.cx / 4;
    int x = NameLeft(panel, row);
    if (x + width > client.right)
        width = client.right - x;
    if (width <= 0)
        return false;

    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, x, row.top, width,
                                row.bottom - row.top + 1, list, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!edit)
        return false;
    gOldRenameProc = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)RenameEditProc);
    SendMessageA(edit, WM_SETFONT, (WPARAM)font, FALSE);
    SendMessageA(edit, EM_LIMITTEXT, MAX_PATH - 1, 0);
    SetWindowTextA(edit, name);
    gApp->renameEdit = edit;
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    return true;
}

void PanelCancelRename() {
    HWND edit = gApp ? gApp->renameEdit : nullptr;
    if (!edit)
        return;
    gApp->renameEdit = nullptr;
    PanelSetFocus(gApp->activePanel & 1);
    DestroyWindow(edit);
}

// ---- dropped files

namespace {

// Archive formats of the archive library that cannot take files, and the
// remote kinds, refuse a drop.
bool RefusesDrop(const LocationNode *location) {
    if (!location)
        return false;
    uint16_t kind = LocationRootKind(location);
    if (kind >= kLocationFtp && kind <= kLocationFtp + 4)
        return true;
    static const uint16_t kReadOnlyFormats[] = {10001, 10002, 10003, 10009, 10010, 10019, 10020, 10021, 10022};
    for (uint16_t f : kReadOnlyFormats)
        if (kind == f)
            return true;
    return false;
}

// Per file: u16 record length (path length + 3), then the path with its
// NUL; a zero u16 ends the list.
void *PackDropNames(HDROP drop, UINT count) {
    size_t total = 5;
    char path[MAX_PATH];
    for (UINT i = 0; i < count; i++)
        total += (size_t)DragQueryFileA(drop, i, path, sizeof path) + 3;
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

} // namespace

int PanelDropFiles(HWND window, HDROP drop, int panel) {
    panel &= 1;
    JobRecord job = {};
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (!count) {
        DragFinish(drop);
        return 0;
    }
    job.itemCount = count;
    char last[MAX_PATH] = "";
    if (count == 1) {
        DragQueryFileA(drop, 0, job.secondName, sizeof job.secondName);
        lstrcpynA(job.target, job.secondName + PathFindName(job.secondName), sizeof job.target);
        lstrcpynA(last, job.secondName, sizeof last);
    } else {
        DragQueryFileA(drop, count - 1, last, sizeof last);
    }
    const LocationNode *location = gApp->panels[panel].location;
    if (RefusesDrop(location)) {
        MessageBeep(MB_ICONHAND);
        DragFinish(drop);
        return 0;
    }
    if (location)
        job.targetLocation = LocationClone(location);
    job.flags = gApp->generalOptions;
    job.sourcePanel = (uint16_t)PanelOtherIndex(panel);
    const uint32_t effect = gApp->panels[panel].dropFlags;
    // The effect the drop target recorded is for this drop only.
    gApp->panels[panel].dropFlags &= ~7u;
    if (effect & DROPEFFECT_LINK) {
        job.jobCode = kJobCodeDropShortcut;
        job.titleId = 4052;
        job.captionId = 4053;
    } else if (effect & DROPEFFECT_MOVE) {
        job.jobCode = kJobCodeDropMove;
        job.titleId = 4033;
        job.captionId = 4034;
    } else {
        job.jobCode = kJobCodeDropCopy;
        job.titleId = 4031;
        job.captionId = 4032;
    }
    if (!JobWorkerForCode(job.jobCode, nullptr)) {
        // No job makes shortcuts from a drop yet: refused rather than a
        // progress window that would wait for a worker that never comes.
        MessageBeep(MB_ICONHAND);
        LocationCloneFree(job.targetLocation);
        DragFinish(drop);
        return 0;
    }
    INT_PTR result = DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(10100), window, CopyDialogProc, (LPARAM)&job);
    if (result != IDOK) {
        LocationCloneFree(job.targetLocation);
        DragFinish(drop);
        return 0;
    }
    gApp->generalOptions = job.flags; // the dialog's choices are remembered
    job.flags = kJobInclSubDirs;
    job.cancel = 0;
    if (job.targetLocation) {
        char archive[MAX_PATH] = "";
        LocationRootFile(job.targetLocation, archive);
        size_t n = strlen(archive);
        bool inside = n && _strnicmp(job.target, archive, n) == 0 && (!job.target[n] || job.target[n] == '\\');
        if (!inside) {
            LocationCloneFree(job.targetLocation); // the target is outside the archive
            job.targetLocation = nullptr;
        } else if (FileCheckExists(archive) != 0) {
            LocationCloneFree(job.targetLocation);
            DragFinish(drop);
            return 0;
        }
    }
    if (count > 1)
        job.selection = PackDropNames(drop, count); // the job frees it
    // The folder of the last file: "C:" alone for a file in a drive root.
    lstrcpynA(job.sourceDir, last, sizeof job.sourceDir);
    job.sourceDir[PathFindName(job.sourceDir)] = 0;
    size_t n = strlen(job.sourceDir);
    if (n && job.sourceDir[n - 1] == '\\')
        job.sourceDir[n - 1] = 0;
    if (!JobShowDialog(gMainWindow, 10301, &job)) {
        free(job.selection); // no dialog took the record
        LocationCloneFree(job.targetLocation);
    }
    DragFinish(drop);
    return 0;
}

void PanelOnDropFiles(HWND listWindow, HDROP drop) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0) {
        DragFinish(drop);
        return;
    }
    PanelDropFiles(listWindow, drop, panel);
    WndBringToFront(listWindow);
}
