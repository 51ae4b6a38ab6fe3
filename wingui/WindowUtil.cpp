#include "wingui/WindowUtil.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Product.h"
#include "base/Strings.h"
#include "base/Texts.h"

static const int kTextUntitled = 11967;
static const char kNoEraseProp[] = "ZqNoEraseProc";

const char *MsgBoxCaptionName(const char *caption) {
    if (!caption)
        return nullptr;
    const char *name = caption + PathFindName(caption);
    return *name ? name : caption;
}

int MsgBox(HWND owner, const char *text, const char *caption, UINT type) {
    if (!text || !*text)
        return IDCANCEL;
    if (!owner)
        owner = GetActiveWindow();
    const char *shown = MsgBoxCaptionName(caption);
    if (!shown)
        shown = gWindowTitle && *gWindowTitle ? gWindowTitle : kProductName;
    return MessageBoxA(owner, text, shown, type);
}

int MsgBoxText(HWND owner, const LanguageTable *table, unsigned textId, const char *caption, UINT type) {
    char text[512] = "";
    LangGetText(table ? table : BuiltinLanguageTables[kBuiltinEnglish], (int)textId, text, sizeof text);
    return MsgBox(owner, text, caption, type);
}

int MsgBoxId(HWND owner, unsigned textId, const char *caption, UINT type) {
    return MsgBoxText(owner, TextCurrentTable(), textId, caption, type);
}

void ListBoxAddLine(HWND listBox, const char *format, ...) {
    if (!listBox || !IsWindow(listBox))
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    line[sizeof line - 1] = 0;
    SendMessageA(listBox, WM_SETREDRAW, FALSE, 0);
    LRESULT index = SendMessageA(listBox, LB_ADDSTRING, 0, (LPARAM)line);
    SendMessageA(listBox, WM_SETREDRAW, TRUE, 0);
    if (index >= 0)
        SendMessageA(listBox, LB_SETCURSEL, (WPARAM)index, 0);
    InvalidateRect(listBox, nullptr, TRUE);
}

static void AppendDocName(char *out, size_t size, const char *format, const char *name, const char *untitled) {
    char part[64];
    if (name && *name) {
        char shortened[32];
        StrShorten(name, 31, shortened);
        snprintf(part, sizeof part, format, shortened);
    } else {
        char wrapped[48];
        snprintf(wrapped, sizeof wrapped, "(%s)", untitled);
        snprintf(part, sizeof part, format, wrapped);
    }
    StrAppend(out, part, size);
}

void WndFormatDocTitle(char *out, size_t size, const char *title, const char *name, const char *secondName,
                       const char *untitled) {
    if (!size)
        return;
    out[0] = 0;
    StrAppend(out, title, size);
    AppendDocName(out, size, " - %s", name, untitled);
    if (secondName)
        AppendDocName(out, size, " : %s", secondName, untitled);
}

void WndSetDocTitle(HWND window, unsigned textId, const char *name, const char *secondName) {
    char title[39] = "";
    char untitled[40] = "";
    LangGetText(TextCurrentTable(), (int)textId, title, sizeof title);
    LangGetText(TextCurrentTable(), kTextUntitled, untitled, sizeof untitled);
    if (!untitled[0])
        LangGetText(BuiltinLanguageTables[kBuiltinEnglish], kTextUntitled, untitled, sizeof untitled);
    if (!untitled[0])
        strcpy(untitled, "Untitled");
    char caption[200];
    WndFormatDocTitle(caption, sizeof caption, title, name, secondName, untitled);
    SetWindowTextA(window, caption);
}

POINT WndRelativePosition(const RECT &ref, int width, int height, int horizontal, int vertical,
                          const RECT &desktop) {
    int freeW = ref.right - ref.left - width;
    int freeH = ref.bottom - ref.top - height;
    if (freeW < 0)
        freeW = 0;
    if (freeH < 0)
        freeH = 0;
    POINT p;
    switch (horizontal) {
    case 1: p.x = ref.left + freeW; break;
    case 2: p.x = ref.left; break;
    case 3: p.x = ref.left + freeW * 5 / 6; break;
    case 4: p.x = ref.left + freeW / 6; break;
    default: p.x = ref.left + freeW / 2; break;
    }
    switch (vertical) {
    case 6: p.y = ref.top; break;
    case 7: p.y = ref.top + freeH; break;
    case 8: p.y = ref.top + freeH / 6; break;
    case 9: p.y = ref.top + freeH * 5 / 6; break;
    default: p.y = ref.top + freeH / 2; break;
    }
    if (p.x < desktop.left)
        p.x = desktop.left;
    if (p.y < desktop.top)
        p.y = desktop.top;
    if (p.x + width > desktop.right)
        p.x = desktop.right - width;
    if (p.y + height > desktop.bottom)
        p.y = desktop.bottom - height;
    return p;
}

void WndPlaceRelative(HWND reference, HWND window, int horizontal, int vertical) {
    RECT ref, own, desktop;
    if (!reference)
        reference = GetDesktopWindow();
    if (!GetWindowRect(reference, &ref) || !GetWindowRect(window, &own))
        return;
    GetWindowRect(GetDesktopWindow(), &desktop);
    POINT p = WndRelativePosition(ref, own.right - own.left, own.bottom - own.top, horizontal, vertical, desktop);
    SetWindowPos(window, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

void WndCenter(HWND window) { WndPlaceRelative(GetParent(window), window, 5, 5); }

int WndMove(HWND window, int x, int y, int width, int height) {
    if (!window)
        return 0;
    return MoveWindow(window, x, y, width, height, TRUE);
}

int WndGetClientHeight(HWND window) {
    RECT r;
    if (!window || !IsWindow(window) || !IsWindowVisible(window) || !GetClientRect(window, &r))
        return 0;
    return r.bottom - r.top;
}

void WndStorePos(HWND window, WindowPos *pos) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(window, &wp))
        return;
    pos->left = wp.rcNormalPosition.left;
    pos->top = wp.rcNormalPosition.top;
    pos->right = wp.rcNormalPosition.right;
    pos->bottom = wp.rcNormalPosition.bottom;
    pos->maximised = IsZoomed(window) ? 3 : 0;
}

void WndRestorePos(HWND window, const WindowPos *pos) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    GetWindowPlacement(window, &wp);
    wp.flags = 0;
    wp.showCmd = pos->show;
    wp.rcNormalPosition.left = pos->left;
    wp.rcNormalPosition.top = pos->top;
    wp.rcNormalPosition.right = pos->right;
    wp.rcNormalPosition.bottom = pos->bottom;
    SetWindowPlacement(window, &wp);
}

bool WndFitDesktop(RECT *rect) {
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    RECT was = *rect;
    if (rect->right > desk.right)
        OffsetRect(rect, desk.right - rect->right, 0);
    if (rect->bottom > desk.bottom)
        OffsetRect(rect, 0, desk.bottom - rect->bottom);
    if (rect->left < desk.left)
        OffsetRect(rect, desk.left - rect->left, 0);
    if (rect->top < desk.top)
        OffsetRect(rect, 0, desk.top - rect->top);
    if (rect->right > desk.right)
        rect->right = desk.right;
    if (rect->bottom > desk.bottom)
        rect->bottom = desk.bottom;
    return !EqualRect(&was, rect);
}

LRESULT CALLBACK WndNoEraseProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = (WNDPROC)GetPropA(window, kNoEraseProp);
    if (message == WM_ERASEBKGND)
        return 1;
    if (message == WM_NCDESTROY && previous) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)previous);
        RemovePropA(window, kNoEraseProp);
    }
    return previous ? CallWindowProcA(previous, window, message, wParam, lParam)
                    : DefWindowProcA(window, message, wParam, lParam);
}

void WndSubclassNoErase(HWND window) {
    if (!window || GetPropA(window, kNoEraseProp))
        return;
    WNDPROC previous = (WNDPROC)GetWindowLongPtrA(window, GWLP_WNDPROC);
    SetPropA(window, kNoEraseProp, (HANDLE)previous);
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)WndNoEraseProc);
}

int WndInvalidateFrame(HWND window) {
    RECT c;
    if (!window || !IsWindow(window) || !GetClientRect(window, &c))
        return 0;
    RECT edges[4] = {
        {c.left, c.bottom - 1, c.right, c.bottom},
        {c.left, c.top, c.left + 1, c.bottom},
        {c.left, c.top, c.right, c.top + 1},
        {c.right - 1, c.top, c.right, c.bottom},
    };
    for (const RECT &r : edges)
        InvalidateRect(window, &r, FALSE);
    return 1;
}

void DlgSetTexts(HWND dialog, int titleText, const int (*pairs)[2], size_t count) {
    char text[256];
    TextGet(titleText, text, sizeof text);
    if (text[0])
        SetWindowTextA(dialog, text);
    for (size_t i = 0; i < count; i++) {
        TextGet(pairs[i][1], text, sizeof text);
        if (text[0])
            SetDlgItemTextA(dialog, pairs[i][0], text);
    }
}

void DlgComboPutFirst(HWND combo, const char *text) {
    if (!text || !*text)
        return;
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        LRESULT len = SendMessageA(combo, CB_GETLBTEXTLEN, (WPARAM)i, 0);
        if (len < 0 || (size_t)len != strlen(text))
            continue;
        char *item = static_cast<char *>(MemAlloc((size_t)len + 1));
        if (!item)
            return;
        SendMessageA(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)item);
        bool same = strcmp(item, text) == 0;
        MemFree(&item);
        if (!same)
            continue;
        if (i == 0) {
            SendMessageA(combo, CB_SETCURSEL, 0, 0);
            return;
        }
        SendMessageA(combo, CB_DELETESTRING, (WPARAM)i, 0);
        break;
    }
    SendMessageA(combo, CB_INSERTSTRING, 0, (LPARAM)text);
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

static void ListBoxMove(HWND dialog, int listId, int step) {
    HWND list = GetDlgItem(dialog, listId);
    LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    LRESULT to = sel + step;
    if (sel == LB_ERR || to < 0 || to >= count) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    LRESULT len = SendMessageA(list, LB_GETTEXTLEN, (WPARAM)sel, 0);
    char *text = static_cast<char *>(MemAlloc(len > 0 ? (size_t)len + 1 : 1));
    if (!text)
        return;
    SendMessageA(list, LB_GETTEXT, (WPARAM)sel, (LPARAM)text);
    LRESULT data = SendMessageA(list, LB_GETITEMDATA, (WPARAM)sel, 0);
    SendMessageA(list, LB_DELETESTRING, (WPARAM)sel, 0);
    SendMessageA(list, LB_INSERTSTRING, (WPARAM)to, (LPARAM)text);
    SendMessageA(list, LB_SETITEMDATA, (WPARAM)to, data);
    SendMessageA(list, LB_SETCURSEL, (WPARAM)to, 0);
    MemFree(&text);
}

void DlgListBoxMoveUp(HWND dialog, int listId) { ListBoxMove(dialog, listId, -1); }
void DlgListBoxMoveDown(HWND dialog, int listId) { ListBoxMove(dialog, listId, 1); }

void DlgFixNumberEdit(HWND dialog, int editId) {
    char text[32] = "";
    GetDlgItemTextA(dialog, editId, text, sizeof text);
    if (!text[0])
        return;
    char number[16];
    snprintf(number, sizeof number, "%lu", (unsigned long)atol(text));
    if (strcmp(number, text) != 0)
        SetDlgItemTextA(dialog, editId, number);
}

int DlgEndCodeFor(int command, int focusedId) {
    if (command == IDYES)
        return 0;
    if (command == IDOK)
        return focusedId == IDCANCEL || focusedId == IDIGNORE || focusedId == IDNO ? focusedId : 0;
    return command;
}

int DlgEndCode(HWND dialog, int command) {
    HWND focus = GetFocus();
    int focusedId = focus && IsChild(dialog, focus) ? GetDlgCtrlID(focus) : 0;
    return DlgEndCodeFor(command, focusedId);
}

static bool VersionInfo(OSVERSIONINFOA *info) {
    memset(info, 0, sizeof *info);
    info->dwOSVersionInfoSize = sizeof *info;
    return GetVersionExA(info) != FALSE;
}

int AppVersionIsXp(DWORD platform, DWORD major, DWORD minor) {
    return platform == VER_PLATFORM_WIN32_NT && major > 4 && minor != 0 ? 1 : 0;
}

int AppIsWinNt() {
    OSVERSIONINFOA info;
    return VersionInfo(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

int AppIsWinXp() {
    OSVERSIONINFOA info;
    return VersionInfo(&info) ? AppVersionIsXp(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion) : 0;
}

static HWND (*gActiveSource)();

HWND WndActiveWindow() { return gActiveSource ? gActiveSource() : GetActiveWindow(); }

void WndSetActiveSource(HWND (*source)()) { gActiveSource = source; }
