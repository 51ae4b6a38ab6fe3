#include "app/bars/CommandLine.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/bars/BarLayout.h"
#include "app/bars/FunctionKeys.h"
#include "wingui/GuiDraw.h"
#include "app/Menus.h"
#include "app/Settings.h"
#include "app/bars/StatusBar.h"
#include "base/Strings.h"
#include "fileops/CopyJob.h"

static struct {
    HWND prompt;
    uint16_t dropHeight;
    WNDPROC prevProc;
    int entryWidth;
} gCmd;

HWND CmdLinePromptWindow() { return gCmd.prompt; }

static HFONT CmdFont() {
    if (!gApp->fontCmdLine && gApp->fonts[kFontCmdLine].lfFaceName[0])
        gApp->fontCmdLine = CreateFontIndirectA(&gApp->fonts[kFontCmdLine]);
    return gApp->fontCmdLine ? gApp->fontCmdLine : (gApp->fontGui ? gApp->fontGui : (HFONT)GetStockObject(DEFAULT_GUI_FONT));
}

static HWND Edit() {
    if (!gApp->cmdLine)
        return nullptr;
    if (!gApp->cmdLineEdit || !IsWindow(gApp->cmdLineEdit))
        gApp->cmdLineEdit = FindWindowExA(gApp->cmdLine, nullptr, "Edit", nullptr);
    return gApp->cmdLineEdit;
}

int CmdLineGetHeight() {
    if (!gApp || !gApp->cmdLine)
        return 0;
    RECT r;
    GetClientRect(gApp->cmdLine, &r);
    return r.bottom;
}

void CmdLineLayout() {
    if (!gApp->cmdLine || !gCmd.prompt || !gMainWindow)
        return;
    if (!gCmd.dropHeight) {
        RECT r = {};
        SendMessageA(gApp->cmdLine, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&r);
        int height = r.bottom - r.top;
        gCmd.dropHeight = (uint16_t)(height > 150 || height < 0 ? 0 : height);
    }
    int y = gApp->clientHeight - (CmdLineGetHeight() + StatusBarGetHeight(0) + KeyBarGetHeight());
    MoveWindow(gApp->cmdLine, 0, y, gApp->clientWidth, gCmd.dropHeight ? gCmd.dropHeight : 110, TRUE);
}

void CmdLinePrompt(int remeasure, int panel) {
    HWND edit = Edit();
    if (!edit)
        return;
    RECT r;
    GetClientRect(edit, &r);
    if (remeasure) {
        RECT combo;
        GetClientRect(gApp->cmdLine, &combo);
        // The entry's full width: from the prompt's left edge to the button.
        POINT p = {0, 0};
        MapWindowPoints(edit, gApp->cmdLine, &p, 1);
        gCmd.entryWidth = r.right + (gCmd.prompt && IsWindowVisible(gCmd.prompt) ? p.x - GetSystemMetrics(SM_CXEDGE) - 1 : 0);
    }
    int promptWidth = 0;
    if (gCmd.prompt && gCmd.entryWidth > 0) {
        char text[521];
        snprintf(text, sizeof text, "%s>", gApp->panelPath[panel & 1]);
        HDC dc = GetDC(gCmd.prompt);
        HGDIOBJ old = SelectObject(dc, CmdFont());
        SIZE size = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        int limit = CmdLinePromptLimit(gCmd.entryWidth);
        if (size.cx > limit) {
            // Shortened here, never by the static: Wine's path ellipsis
            // aborts the process when even "..." does not fit its width.
            char shortened[521] = "";
            bool fits = false;
            for (unsigned n = (unsigned)strlen(text) - 1; n > 0 && !fits; n--) {
                StrShorten(text, n, shortened);
                GetTextExtentPoint32A(dc, shortened, lstrlenA(shortened), &size);
                fits = size.cx <= limit;
            }
            lstrcpynA(text, fits ? shortened : "", sizeof text);
            size.cx = limit;
        }
        SelectObject(dc, old);
        ReleaseDC(gCmd.prompt, dc);
        promptWidth = size.cx;
        int x = GetSystemMetrics(SM_CXEDGE) + 1, y = GetSystemMetrics(SM_CYEDGE) + 1;
        // The new size first, then the text, then one paint of the whole
        // prompt: the static paints a new text at once, and a text drawn at
        // the old width is wrapped and cut, leaving blanks that a repaint of
        // the grown part alone never covers.
        MoveWindow(gCmd.prompt, x, y, promptWidth, r.bottom, FALSE);
        char current[521] = "";
        GetWindowTextA(gCmd.prompt, current, sizeof current);
        if (strcmp(current, text) != 0)
            SetWindowTextA(gCmd.prompt, text);
        InvalidateRect(gCmd.prompt, nullptr, TRUE);
        MoveWindow(edit, x + promptWidth, y, gCmd.entryWidth - promptWidth, r.bottom, TRUE);
    }
    InvalidateRect(edit, nullptr, TRUE);
}

void CmdLineUpdatePrompt(int panel) { CmdLinePrompt(0, panel); }

void CmdLineFocusMemo() {
    if (!gApp->cmdLine)
        return;
    HWND focus = GetFocus();
    if (focus && (focus == gApp->cmdLine || focus == Edit()))
        gApp->generalOptions |= kGenCmdLineFocus;
    else
        gApp->generalOptions &= ~kGenCmdLineFocus;
}

static MenuItemDef *CmdMenu() { return gBarPopup; }

static LRESULT CALLBACK CmdLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE: {
        LRESULT result = CallWindowProcA(gCmd.prevProc, window, message, wParam, lParam);
        if (Edit())
            CmdLinePrompt(1, gApp->activePanel);
        return result;
    }
    case WM_CONTEXTMENU:
        RenameInlineFinish();
        MenuPopupFromTable(window, CmdMenu());
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == 402 && !lParam) {
            if (FontChooseSimple(window, &gApp->fonts[kFontCmdLine])) {
                if (gApp->fontCmdLine)
                    DeleteObject(gApp->fontCmdLine);
                gApp->fontCmdLine = nullptr;
                HFONT font = CmdFont();
                SendMessageA(window, WM_SETFONT, (WPARAM)font, TRUE);
                if (gCmd.prompt)
                    SendMessageA(gCmd.prompt, WM_SETFONT, (WPARAM)font, TRUE);
                PostMessageA(gMainWindow, WM_SIZE, SIZE_RESTORED, 0);
            }
            return 0;
        }
        if (LOWORD(wParam) == 902 && !lParam) {
            PostMessageA(gMainWindow, WM_COMMAND, 245, 0);
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC: {
        HDC dc = (HDC)wParam;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, gApp->panelColors[2]);
        SetBkColor(dc, gApp->panelColors[0]);
        return (LRESULT)(gApp->panelBrushes[0] ? gApp->panelBrushes[0] : GetSysColorBrush(COLOR_WINDOW));
    }
    }
    return CallWindowProcA(gCmd.prevProc, window, message, wParam, lParam);
}

HWND CmdLineCreate(HWND parent) {
    if (gApp->cmdLine)
        return gApp->cmdLine;
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", 0x50210242, 0, 0, 0, 110, parent, nullptr, gApp->hInstance,
                                 nullptr);
    if (!combo)
        return nullptr;
    SendMessageA(combo, CB_LIMITTEXT, 260, 0);
    if (gApp->fontCmdLine)
        DeleteObject(gApp->fontCmdLine);
    gApp->fontCmdLine = nullptr;
    HFONT font = CmdFont();
    SendMessageA(combo, WM_SETFONT, (WPARAM)font, FALSE);
    gCmd.prevProc = (WNDPROC)SetWindowLongPtrA(combo, GWLP_WNDPROC, (LONG_PTR)CmdLineProc);
    gCmd.prompt = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0, combo, nullptr, gApp->hInstance, nullptr);
    if (gCmd.prompt)
        SendMessageA(gCmd.prompt, WM_SETFONT, (WPARAM)font, FALSE);
    gCmd.dropHeight = 0;
    gApp->cmdLine = combo;
    gApp->cmdLineEdit = nullptr;
    return combo;
}

void CmdLineDestroy() {
    if (!gApp->cmdLine)
        return;
    CmdHistorySave(gApp->cmdLine);
    DestroyWindow(gApp->cmdLine);
    gApp->cmdLine = nullptr;
    gApp->cmdLineEdit = nullptr;
    gCmd.prompt = nullptr;
    gCmd.entryWidth = 0;
}
