// The log list of a statistics-mode job window (and of the synchronisation
// window, which shares list 14521, its menu and its layout).
#include "AppState.h"

#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/Numbers.h"
#include "base/Texts.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"

static HBRUSH gBrushError;

HBRUSH JobMakeErrorBrush()
{
    if (!gBrushError)
        gBrushError = CreateSolidBrush(RGB(192, 0, 0));
    return gBrushError;
}

void JobFreeErrorBrush()
{
    if (gBrushError)
        DeleteObject(gBrushError);
    gBrushError = nullptr;
}

static void JobLogWiden(HWND list, const char *text)
{
    HDC dc = GetDC(list);
    HFONT old = (HFONT)SelectObject(dc, (HFONT)SendMessageA(list, WM_GETFONT, 0, 0));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, (int)strlen(text), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    int width = size.cx + 10;
    if (width > (int)SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0))
        SendMessageA(list, LB_SETHORIZONTALEXTENT, width, 0);
}

void JobLogAppend(HWND window, const char *text)
{
    HWND list = GetDlgItem(window, kIdJobLogList);
    if (!list)
        return;
    int index = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(text ? text : ""));
    JobLogWiden(list, text ? text : "");
    if (index >= 0)
        SendMessageA(list, LB_SETTOPINDEX, index, 0);
}

int JobLogAppendMarked(HWND window, const char *text, LPARAM data)
{
    HWND list = GetDlgItem(window, kIdJobLogList);
    if (!list)
        return -1;
    int index = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(text ? text : ""));
    if (index < 0)
        return index;
    SendMessageA(list, LB_SETITEMDATA, index, data);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    JobLogWiden(list, text ? text : "");
    return index;
}

void JobLogSkipping(HWND dialog, const char *name, const char *text)
{
    if (text && text[0]) {
        JobLogAppend(dialog, text);
        return;
    }
    char line[MAX_PATH + 32];
    snprintf(line, sizeof line, "Skipping: %s", name ? name : "");
    int index = JobLogAppendMarked(dialog, line, kLogGrey);
    if (index >= 0)
        SendDlgItemMessageA(dialog, kIdJobLogList, LB_SETTOPINDEX, index, 0);
}

void JobLogAddMenu(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    char copy[64] = "&Copy", save[64] = "Save &as...";
    if (gApp && gApp->langTable) {
        LangGetText(gApp->langTable, kIdMnuCopy, copy, sizeof copy);
        LangGetText(gApp->langTable, kIdMnuSaveAs, save, sizeof save);
        if (!copy[0])
            strcpy(copy, "&Copy");
        if (!save[0])
            strcpy(save, "Save &as...");
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kIdMnuCopy, copy);
    AppendMenuA(menu, MF_STRING, kIdMnuSaveAs, save);
}

// All lines, each followed by CR LF, in one heap block (free()); null when
// the log is empty.
static char *JobLogText(HWND window, size_t *length)
{
    HWND list = GetDlgItem(window, kIdJobLogList);
    int count = list ? (int)SendMessageA(list, LB_GETCOUNT, 0, 0) : 0;
    if (count <= 0)
        return nullptr;
    size_t total = 1;
    for (int i = 0; i < count; i++)
        total += (size_t)SendMessageA(list, LB_GETTEXTLEN, i, 0) + 2;
    char *text = (char *)malloc(total);
    if (!text)
        return nullptr;
    size_t used = 0;
    for (int i = 0; i < count; i++) {
        int n = (int)SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (n < 0 || used + (size_t)n + 3 > total)
            break;
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)(text + used));
        used += (size_t)n;
        text[used++] = '\r';
        text[used++] = '\n';
    }
    text[used] = 0;
    *length = used;
    return text;
}

void JobLogCopy(HWND window)
{
    size_t length = 0;
    char *text = JobLogText(window, &length);
    if (!text)
        return;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (block) {
        memcpy(GlobalLock(block), text, length + 1);
        GlobalUnlock(block);
        if (OpenClipboard(window)) {
            EmptyClipboard();
            if (!SetClipboardData(CF_TEXT, block))
                GlobalFree(block);
            CloseClipboard();
        } else {
            GlobalFree(block);
        }
    }
    free(text);
}

// A seam for the tests: the save dialog's answer.
BOOL(WINAPI *gJobLogSaveName)(OPENFILENAMEA *) = GetSaveFileNameA;

void JobLogSaveAs(HWND window)
{
    size_t length = 0;
    char *text = JobLogText(window, &length);
    if (!text)
        return;
    if (gApp)
        FileSetCurrentDir(window, gApp->panelPath[gApp->activePanel & 1]);
    char name[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = window;
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (gJobLogSaveName(&ofn)) {
        HANDLE file;
        if (FileCreate(window, name, &file) == 0) {
            FileWrite(window, file, text, (uint32_t)length);
            FileClose(file);
        }
    }
    free(text);
}

void SyncLayout(HWND window)
{
    RECT rc;
    GetClientRect(window, &rc);
    int w = rc.right, h = rc.bottom;
    HWND list = GetDlgItem(window, kIdJobLogList);
    if (list)
        MoveWindow(list, 0, 0, w, h - 75 > 0 ? h - 75 : 0, FALSE);
    HWND status = GetDlgItem(window, kIdJobTime);
    if (status)
        MoveWindow(status, 7, h - 70, w - 14, 15, FALSE);
    HWND bar = GetDlgItem(window, kIdJobBar);
    if (bar)
        MoveWindow(bar, 7, h - 50, w - 14, 10, FALSE);
    HWND ok = GetDlgItem(window, IDOK + 98);
    HWND cancel = GetDlgItem(window, IDCANCEL);
    HWND compare = GetDlgItem(window, 94);
    if (ok && cancel) {
        MoveWindow(ok, 7, h - 36, 100, 30, FALSE);
        MoveWindow(cancel, 112, h - 36, 100, 30, FALSE);
        if (compare)
            MoveWindow(compare, 217, h - 36, 100, 30, FALSE);
    } else if (ok || cancel) {
        MoveWindow(ok ? ok : cancel, (w - 100) / 2, h - 36, 100, 30, FALSE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

static void JobLogDrawItem(const DRAWITEMSTRUCT *d)
{
    if (d->itemID == (UINT)-1)
        return;
    COLORREF text = GetSysColor(COLOR_BTNTEXT);
    HBRUSH back = GetSysColorBrush(COLOR_BTNFACE);
    if ((LPARAM)d->itemData == kLogGrey) {
        text = GetSysColor(COLOR_GRAYTEXT);
    } else if ((LPARAM)d->itemData == kLogError) {
        text = RGB(255, 255, 255);
        back = JobMakeErrorBrush();
    }
    FillRect(d->hDC, &d->rcItem, back);
    char line[1024];
    int n = (int)SendMessageA(d->hwndItem, LB_GETTEXTLEN, d->itemID, 0);
    if (n >= 0 && n < (int)sizeof line) {
        SendMessageA(d->hwndItem, LB_GETTEXT, d->itemID, (LPARAM)line);
        RECT r = d->rcItem;
        r.left += 5;
        SetBkMode(d->hDC, TRANSPARENT);
        SetTextColor(d->hDC, text);
        DrawTextA(d->hDC, line, n, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (d->itemState & ODS_FOCUS)
        DrawFocusRect(d->hDC, &d->rcItem);
}

INT_PTR JobLogDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, bool *handled)
{
    *handled = true;
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            if (gApp)
                gApp->generalOptions |= 0x2000000;
        } else {
            if (wParam == SIZE_RESTORED && gApp)
                gApp->generalOptions &= ~0x2000000u;
            SyncLayout(dialog);
        }
        return TRUE;
    case WM_GETMINMAXINFO:
        ((MINMAXINFO *)lParam)->ptMinTrackSize.x = 200;
        ((MINMAXINFO *)lParam)->ptMinTrackSize.y = 120;
        return TRUE;
    case WM_DRAWITEM:
        if (wParam == kIdJobLogList) {
            JobLogDrawItem((const DRAWITEMSTRUCT *)lParam);
            return TRUE;
        }
        break;
    case WM_MEASUREITEM:
        if (wParam == kIdJobLogList) {
            ((MEASUREITEMSTRUCT *)lParam)->itemHeight = 16;
            return TRUE;
        }
        break;
    case WM_CONTEXTMENU: {
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, kIdMnuCopy, "&Copy");
        AppendMenuA(menu, MF_STRING, kIdMnuSaveAs, "Save &as...");
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        if (pt.x == -1 && pt.y == -1)
            GetCursorPos(&pt);
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, dialog, nullptr);
        DestroyMenu(menu);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if (wParam == kIdMnuCopy) {
            JobLogCopy(dialog);
            return TRUE;
        }
        if (wParam == kIdMnuSaveAs) {
            JobLogSaveAs(dialog);
            return TRUE;
        }
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdMnuCopy) {
            JobLogCopy(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == kIdMnuSaveAs) {
            JobLogSaveAs(dialog);
            return TRUE;
        }
        break;
    }
    *handled = false;
    return FALSE;
}

void JobSummaryLine(JobRecord *job, unsigned textId, uint64_t a, uint64_t b, LPARAM mark)
{
    if (!job->dialog)
        return;
    char na[kNumberTextSize], nb[kNumberTextSize], line[300];
    StrFormatNumber64(&a, na);
    StrFormatNumber64(&b, nb);
    const LanguageTable *table = gApp && gApp->langTable ? gApp->langTable : BuiltinLanguageTables[kBuiltinEnglish];
    int n = textId == Txt::txtErrors
                ? LangFormat(table, BuiltinLanguageTables[kBuiltinEnglish], (int)textId, line, sizeof line,
                             (unsigned long)a)
                : LangFormat(table, BuiltinLanguageTables[kBuiltinEnglish], (int)textId, line, sizeof line, na, nb);
    if (n < 0)
        snprintf(line, sizeof line, "%s", na);
    if (mark)
        SendMessageA(job->dialog, kMsgJobMarkedLine, (WPARAM)mark, (LPARAM)line);
    else
        SendMessageA(job->dialog, kMsgJobItemText, 0, (LPARAM)line);
}
