#include "panels/PanelRename.h"

#include <string.h>

#include "AppState.h"
#include "fileops/CopyJob.h"
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
