#include "panels/QuickSearch.h"

#include <string.h>

#include "AppState.h"
#include "app/Language.h"
#include "base/Strings.h"
#include "panels/PanelInput.h"
#include "panels/PanelIter.h"
#include "panels/PanelNav.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"

namespace {

const int kEditId = 14526;
const int kMaxText = 36;
HWND gQuickSearch;

int Active() { return gApp->activePanel & 1; }

void MoveCursorTo(int32_t index) {
    int panel = Active();
    char name[260] = "";
    PanelIter it;
    PanelIterBegin(&it, panel);
    FileEntry *e = PanelIterAt(&it, (uint32_t)index);
    if (e)
        StrAppend(name, EntryName(e), sizeof name);
    PanelIterEnd(&it);
    PanelSetCursorCentred(name, panel);
    PanelUpdateStatusLine(); // the repaint message leaves the status texts alone
    PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
}

void ReadText(HWND dialog, char *text) {
    GetDlgItemTextA(dialog, kEditId, text, kMaxText);
    text[35] = 0;
    for (char *p = text; *p; p++)
        *p = (char)NavUpper((unsigned char)*p);
}

// A character that matches nothing cannot be typed: it is taken back.
void OnChange(HWND dialog) {
    char text[kMaxText + 1];
    ReadText(dialog, text);
    size_t n = strlen(text);
    if (!n)
        return;
    int32_t found = PanelFindPrefix(Active(), text, 0);
    if (found >= 0) {
        MoveCursorTo(found);
        return;
    }
    text[n - 1] = 0;
    SetDlgItemTextA(dialog, kEditId, text);
    SendDlgItemMessageA(dialog, kEditId, EM_SETSEL, n - 1, n - 1);
}

void OnEnter(HWND dialog) {
    if (GetKeyState(VK_CONTROL) < 0) {
        QuickSearchNext(dialog);
        return;
    }
    int panel = Active();
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    bool up = e && EntryIsUpDir(e);
    PanelIterEnd(&it);
    EndDialog(dialog, 1);
    gQuickSearch = nullptr;
    if (up)
        PostMessageA(gMainWindow, WM_COMMAND, 807, 0);
    else
        PanelHandleKey(gMainWindow, WM_NULL, VK_RETURN, 0);
}

INT_PTR CALLBACK QuickSearchProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        gQuickSearch = dialog;
        char caption[64] = "";
        TextGet(14525, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
        RECT main, box;
        GetWindowRect(gMainWindow, &main);
        GetWindowRect(dialog, &box);
        int w = box.right - box.left, h = box.bottom - box.top;
        MoveWindow(dialog, (main.left + main.right - w) / 2, main.bottom - h - 8, w, h, FALSE);
        SendDlgItemMessageA(dialog, kEditId, EM_LIMITTEXT, kMaxText, 0);
        HWND edit = GetDlgItem(dialog, kEditId);
        SetFocus(edit);
        if (lParam) {
            char first[2] = {(char)NavUpper((unsigned char)lParam), 0};
            SetWindowTextA(edit, first);
            SendMessageA(edit, EM_SETSEL, 1, 1);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kEditId, EN_CHANGE), (LPARAM)edit);
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE) {
            OnChange(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK) {
            OnEnter(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        gQuickSearch = nullptr;
        break;
    }
    return FALSE;
}

} // namespace

HWND QuickSearchWindow() { return gQuickSearch; }

void QuickSearchClose() {
    if (gQuickSearch)
        SendMessageA(gQuickSearch, WM_COMMAND, IDCANCEL, 0);
}

void QuickSearchNext(HWND dialog) {
    char text[kMaxText + 1];
    ReadText(dialog, text);
    int32_t found = text[0] ? PanelFindPrefix(Active(), text, gApp->cursorIndex[Active()] + 1) : -1;
    if (found < 0) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    MoveCursorTo(found);
}

INT_PTR QuickSearchOpen(HWND owner, int firstKey) {
    if (gQuickSearch)
        return 0;
    alignas(4) WORD buffer[256] = {};
    DLGTEMPLATE *t = (DLGTEMPLATE *)buffer;
    t->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
    t->cdit = 2;
    t->cx = 120;
    t->cy = 22;
    WORD *p = (WORD *)(t + 1);
    *p++ = 0;
    *p++ = 0;
    *p++ = 0;
    *p++ = 8;
    for (const wchar_t *f = L"MS Shell Dlg"; *f; f++)
        *p++ = (WORD)*f;
    *p++ = 0;
    auto item = [&](DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls) {
        p = (WORD *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
        DLGITEMTEMPLATE *it = (DLGITEMTEMPLATE *)p;
        it->style = style | WS_CHILD | WS_VISIBLE;
        it->x = x, it->y = y, it->cx = cx, it->cy = cy, it->id = id;
        p = (WORD *)(it + 1);
        *p++ = 0xFFFF;
        *p++ = cls;
        *p++ = 0; // no text
        *p++ = 0; // no creation data
    };
    item(ES_AUTOHSCROLL | ES_UPPERCASE | WS_BORDER | WS_TABSTOP, 4, 4, 112, 13, kEditId, 0x0081);
    // A hidden default button makes Enter arrive as IDOK.
    item(BS_DEFPUSHBUTTON, 0, 0, 0, 0, IDOK, 0x0080);
    INT_PTR r = DialogBoxIndirectParamA(gApp->hInstance, t, owner, QuickSearchProc, (LPARAM)firstKey);
    gQuickSearch = nullptr;
    return r;
}
