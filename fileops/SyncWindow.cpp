#include "fileops/SyncWindow.h"

#include <commctrl.h>
#include <process.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/FileCopy.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "panels/Filter.h"
#include "panels/PanelRefresh.h"
#include "tools/DiffWindow.h"
#include "tools/RunServices.h"
#include "wingui/WindowList.h"

extern AppState *gApp;

// ---- the Win32 file plug ------------------------------------------------------

namespace {

void StampOf(const FILETIME &utc, uint16_t *date, uint16_t *time)
{
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, date, time)) {
        *date = (1 << 5) | 1; // 1980-01-01: outside the DOS range counts as oldest
        *time = 0;
    }
}

struct WinSyncIo : SyncIo {
    JobRecord *job = nullptr; // progress and cancel of the copy run; may be null

    uint32_t Scan(const std::string &folder, std::vector<SyncEntry> *entries) override
    {
        // The find pattern would be cut short and name another folder.
        if (folder.size() + 5 > MAX_PATH)
            return ERROR_FILENAME_EXCED_RANGE;
        HANDLE find;
        WIN32_FIND_DATAA data;
        uint32_t error = FileFindFirst(folder.c_str(), &find, &data);
        if (error)
            return error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND ? 0 : error;
        do {
            if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
                continue;
            SyncEntry e;
            e.name = data.cFileName;
            e.key = e.name;
            if (!e.key.empty())
                CharUpperBuffA(&e.key[0], (DWORD)e.key.size());
            StampOf(data.ftLastWriteTime, &e.dosDate, &e.dosTime);
            e.size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
            e.attributes = data.dwFileAttributes;
            if (e.IsFolder())
                e.size = 0;
            entries->push_back(std::move(e));
        } while (FileFindNext(find, &data) == 0);
        FileFindClose(find);
        return 0;
    }
    uint32_t OpenRead(const std::string &path, SyncHandle *h) override
    {
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return GetLastError() ? GetLastError() : ERROR_OPEN_FAILED;
        *h = f;
        return 0;
    }
    uint32_t Read(SyncHandle h, void *buffer, size_t n, size_t *got) override
    {
        size_t total = 0;
        while (total < n) {
            DWORD want = (DWORD)(n - total > 0x100000 ? 0x100000 : n - total), r = 0;
            if (!ReadFile((HANDLE)h, (char *)buffer + total, want, &r, nullptr))
                return GetLastError() ? GetLastError() : ERROR_READ_FAULT;
            if (r == 0)
                break;
            total += r;
        }
        *got = total;
        return 0;
    }
    void Close(SyncHandle h) override { CloseHandle((HANDLE)h); }
    bool Accept(const std::string &folder, const SyncEntry &e) override
    {
        return !gApp ||
               FilterTestEntry(folder.c_str(), e.name.c_str(), (uint16_t)e.attributes, e.dosDate, e.dosTime, &e.size,
                               &gApp->syncFilter) != 0;
    }
    bool Stopped() override { return job && JobStopped(job); }
    void Emit(const SyncLine &) override {}
    std::string ErrorText(uint32_t error) override
    {
        char text[300];
        const char *none = nullptr;
        FileErrorText((int32_t)error, text, sizeof text, &none, kCtxNone);
        return text;
    }
    uint32_t Stat(const std::string &path, SyncEntry *entry) override
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            DWORD e = GetLastError();
            return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? 2 : (e ? e : 2);
        }
        StampOf(data.ftLastWriteTime, &entry->dosDate, &entry->dosTime);
        entry->size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
        entry->attributes = data.dwFileAttributes;
        return 0;
    }
    uint32_t MakeDirs(const std::string &path) override
    {
        DWORD a = GetFileAttributesA(path.c_str());
        if (a != INVALID_FILE_ATTRIBUTES)
            return (a & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_ALREADY_EXISTS;
        size_t cut = path.rfind('\\');
        if (cut != std::string::npos && cut > 2) {
            if (uint32_t e = MakeDirs(path.substr(0, cut)))
                return e;
        }
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
        return 0;
    }
    uint32_t CopyFile(const std::string &source, const std::string &target, bool mustBeNew) override
    {
        uint32_t r = FileCopyData(source.c_str(), target.c_str(), job, mustBeNew);
        if (r == 0)
            FileClearReadOnlyFromCd(source.c_str(), target.c_str());
        return r;
    }
};

} // namespace

SyncIo *SyncMakeWinIo() { return new WinSyncIo(); }

// ---- shared record --------------------------------------------------------------

namespace {

struct SyncShared {
    volatile LONG refs = 1;
    HWND window = nullptr;
    JobRecord job = {};       // cancel, progress counters, bar
    SyncCompareJob compare;
    CRITICAL_SECTION lock;    // guards `pending`
    std::vector<SyncLine> pending; // lines found, not yet taken by the window
    // Owned by the window thread; the copy thread only reads lines (whole
    // once the comparison is over) and `order`.
    std::vector<SyncLine> lines;
    std::vector<int> order;   // the lines the copy run carries out
    uint32_t state = 0;
    DWORD copyStart = 0;
    SyncShared() { InitializeCriticalSection(&lock); }
    ~SyncShared() { DeleteCriticalSection(&lock); }
};

void Release(SyncShared *s)
{
    if (InterlockedDecrement(&s->refs) == 0)
        delete s;
}

struct CompareIo : WinSyncIo {
    SyncShared *shared;
    void Emit(const SyncLine &line) override
    {
        EnterCriticalSection(&shared->lock);
        bool first = shared->pending.empty();
        shared->pending.push_back(line);
        LeaveCriticalSection(&shared->lock);
        if (first)
            PostMessageA(shared->window, kMsgSyncLines, 0, 0);
    }
};

SyncTexts LanguageTexts()
{
    SyncTexts t;
    char text[300];
    TextGet(Txt::textFiles, text, sizeof text);
    t.files = text;
    TextGet(Txt::txtDirectories, text, sizeof text);
    t.folders = text;
    TextGet(Txt::errLinkSkipped, text, sizeof text);
    t.link = text;
    TextGet(Txt::txtSyncSameTime, text, sizeof text);
    t.sameTime = text;
    TextGet(Txt::txtSyncKinds, text, sizeof text);
    t.kinds = text;
    TextGet(Txt::txtSyncTooDeep, text, sizeof text);
    t.tooDeep = text;
    TextGet(Txt::txtSyncNewerKept, text, sizeof text);
    t.newerKept = text;
    char sep[4] = ",";
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, sep, sizeof sep) > 0 && sep[0])
        t.thousands = sep[0];
    return t;
}

unsigned __stdcall CompareThread(void *p)
{
    SyncShared *s = (SyncShared *)p;
    CompareIo io;
    io.shared = s;
    io.job = &s->job;
    SyncCompare(io, s->compare, LanguageTexts());
    PostMessageA(s->window, kMsgSyncCompared, 0, 0);
    Release(s);
    return 0;
}

unsigned __stdcall CopyThread(void *p)
{
    SyncShared *s = (SyncShared *)p;
    WinSyncIo io;
    io.job = &s->job;
    for (int index : s->order) {
        if (JobStopped(&s->job))
            break;
        const SyncLine &line = s->lines[index];
        uint64_t before = s->job.done;
        uint32_t error = 0;
        SyncLineResult r = SyncRunLine(io, s->compare, line, &error);
        if (r == kSyncFailed && error == kErrCancelled)
            break;
        if (r == kSyncFailed)
            InterlockedIncrement((volatile LONG *)&s->job.errors);
        // A failed or skipped file counts as handled, so the remaining time
        // stays honest.
        s->job.done = before + (line.IsFile() ? line.size : 0);
        JobUpdateBar(&s->job);
        PostMessageA(s->window, kMsgSyncLineDone, (WPARAM)index, (LPARAM)((uint32_t)r | (error << 8)));
    }
    PostMessageA(s->window, kMsgSyncCopied, 0, 0);
    Release(s);
    return 0;
}

bool StartThread(SyncShared *s, unsigned(__stdcall *body)(void *))
{
    InterlockedIncrement(&s->refs);
    uintptr_t h = _beginthreadex(nullptr, 0, body, s, 0, nullptr);
    if (!h) {
        Release(s);
        return false;
    }
    CloseHandle((HANDLE)h);
    return true;
}

SyncShared *Shared(HWND window) { return (SyncShared *)GetWindowLongPtrA(window, GWLP_USERDATA); }

HWND List(HWND window) { return GetDlgItem(window, kIdJobLogList); }

void AddLine(HWND window, SyncShared *s, const SyncLine &line)
{
    s->lines.push_back(line);
    int index = (int)(s->lines.size() - 1);
    HWND list = List(window);
    int at = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line.text.c_str());
    if (at < 0)
        return;
    SendMessageA(list, LB_SETITEMDATA, at, index);
    if (line.Copies())
        SendMessageA(list, LB_SETSEL, TRUE, at);
    HDC dc = GetDC(list);
    HFONT old = (HFONT)SelectObject(dc, (HFONT)SendMessageA(list, WM_GETFONT, 0, 0));
    SIZE size = {};
    GetTextExtentPoint32A(dc, line.text.c_str(), (int)line.text.size(), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    if (size.cx + 10 > (int)SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0))
        SendMessageA(list, LB_SETHORIZONTALEXTENT, size.cx + 10, 0);
}

void TakeLines(HWND window, SyncShared *s)
{
    std::vector<SyncLine> taken;
    EnterCriticalSection(&s->lock);
    taken.swap(s->pending);
    LeaveCriticalSection(&s->lock);
    SendMessageA(List(window), WM_SETREDRAW, FALSE, 0);
    for (const SyncLine &line : taken)
        AddLine(window, s, line);
    SendMessageA(List(window), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List(window), nullptr, TRUE);
}

// Replaces the text of list item `at` keeping its place, data and selection.
void SetItemText(HWND list, int at, const std::string &text, bool selected)
{
    LPARAM data = SendMessageA(list, LB_GETITEMDATA, at, 0);
    SendMessageA(list, LB_DELETESTRING, at, 0);
    SendMessageA(list, LB_INSERTSTRING, at, (LPARAM)text.c_str());
    SendMessageA(list, LB_SETITEMDATA, at, data);
    SendMessageA(list, LB_SETSEL, selected, at);
}

int ItemOfLine(HWND list, int index)
{
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        if ((int)SendMessageA(list, LB_GETITEMDATA, i, 0) == index)
            return i;
    }
    return -1;
}

void OnLineDone(HWND window, SyncShared *s, int index, LPARAM result)
{
    if (index < 0 || index >= (int)s->lines.size())
        return;
    SyncLine &line = s->lines[index];
    SyncLineResult r = (SyncLineResult)(result & 0xFF);
    uint32_t error = (uint32_t)result >> 8;
    if (r == kSyncFailed) {
        WinSyncIo io;
        line.text += "  " + io.ErrorText(error);
        line.kind = kSyncLineError;
    } else if (r == kSyncNewerKept) {
        line.text += "  " + LanguageTexts().newerKept;
        line.kind = kSyncLineNote;
    }
    HWND list = List(window);
    int at = ItemOfLine(list, index);
    if (at < 0)
        return;
    SetItemText(list, at, line.text, false);
    SendMessageA(list, LB_SETCARETINDEX, at, FALSE);
}

void OnCompared(HWND window, SyncShared *s)
{
    TakeLines(window, s);
    s->state |= kSyncStateCompared;
    EnableWindow(GetDlgItem(window, 99), TRUE);
    InvalidateRect(List(window), nullptr, TRUE);
}

void StartCopy(HWND window, SyncShared *s)
{
    HWND list = List(window);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    s->order.clear();
    std::vector<bool> selected(s->lines.size(), false);
    for (int i = 0; i < count; i++) {
        int index = (int)SendMessageA(list, LB_GETITEMDATA, i, 0);
        if (index >= 0 && index < (int)s->lines.size() && SendMessageA(list, LB_GETSEL, i, 0) > 0 &&
            s->lines[index].Copies()) {
            s->order.push_back(index);
            selected[index] = true;
        }
    }
    s->job.total = SyncSelectedBytes(s->lines, selected);
    s->job.done = 0;
    s->job.barPos = 0;
    s->job.errors = 0;
    s->state |= kSyncStateCopying;
    s->copyStart = GetTickCount();
    EnableWindow(GetDlgItem(window, 99), FALSE);
    SetFocus(GetDlgItem(window, IDCANCEL));
    if (!StartThread(s, CopyThread)) {
        s->state &= ~kSyncStateCopying;
        EnableWindow(GetDlgItem(window, 99), TRUE);
        return;
    }
    SetTimer(window, 1, 1000, nullptr);
}

void Close(HWND window)
{
    DestroyWindow(window);
    if (gMainWindow)
        WndBringToFront(gMainWindow);
}

void OnCopied(HWND window, SyncShared *s)
{
    s->state = (s->state & ~kSyncStateCopying) | kSyncStateCopied;
    KillTimer(window, 1);
    SetDlgItemTextA(window, kIdJobTime, "");
    EnableWindow(GetDlgItem(window, 99), TRUE);
    SetFocus(GetDlgItem(window, 99));
    ShowWindow(GetDlgItem(window, IDCANCEL), SW_HIDE);
    PanelRequestRereadBoth();
    if (s->job.cancel) {
        Close(window);
        return;
    }
    if (s->job.errors) {
        char text[100];
        TextFormat(text, sizeof text, Txt::txtErrors, (unsigned long)s->job.errors);
        SyncLine line;
        line.kind = kSyncLineError;
        line.text = text;
        AddLine(window, s, line);
        SendMessageA(List(window), LB_SETTOPINDEX, SendMessageA(List(window), LB_GETCOUNT, 0, 0) - 1, 0);
        return;
    }
    PostMessageA(window, WM_COMMAND, 99, 0);
}

void OnTimer(HWND window, SyncShared *s)
{
    uint64_t total = s->job.total, done = s->job.done;
    if (done == 0 || done >= total) {
        if (done >= total)
            KillTimer(window, 1);
        return;
    }
    std::string text = SyncRemainingText(total, done, GetTickCount() - s->copyStart);
    SetDlgItemTextA(window, kIdJobTime, text.c_str());
}

void DrawLine(HWND window, SyncShared *s, const DRAWITEMSTRUCT *d)
{
    if (d->itemID == (UINT)-1)
        return;
    int index = (int)d->itemData;
    const SyncLine *line = index >= 0 && index < (int)s->lines.size() ? &s->lines[index] : nullptr;
    bool okEnabled = IsWindowEnabled(GetDlgItem(window, 99)) != 0;
    COLORREF text = GetSysColor(COLOR_BTNTEXT);
    HBRUSH back = GetSysColorBrush(COLOR_BTNFACE);
    if (line && line->kind == kSyncLineError) {
        text = RGB(255, 255, 255);
        back = JobMakeErrorBrush();
    } else if (line && line->kind == kSyncLineNote) {
        text = GetSysColor(COLOR_GRAYTEXT);
    } else if ((d->itemState & ODS_SELECTED) && okEnabled) {
        text = GetSysColor(COLOR_CAPTIONTEXT);
        back = GetSysColorBrush(COLOR_ACTIVECAPTION);
    }
    FillRect(d->hDC, &d->rcItem, back);
    if (line) {
        RECT r = d->rcItem;
        r.left += 5;
        SetBkMode(d->hDC, TRANSPARENT);
        SetTextColor(d->hDC, text);
        DrawTextA(d->hDC, line->text.c_str(), (int)line->text.size(), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (d->itemState & ODS_FOCUS)
        DrawFocusRect(d->hDC, &d->rcItem);
}

BOOL OnInit(HWND window, SyncShared *s)
{
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)s);
    s->window = window;
    s->job.dialog = window;
    if (gApp && gApp->posSync[0] && gApp->posSync[1])
        SetWindowPos(window, nullptr, 0, 0, gApp->posSync[0], gApp->posSync[1], SWP_NOMOVE | SWP_NOZORDER);
    SyncLayout(window);
    JobLogAddMenu(window);
    // The message loop serves the window's keys through the handle kept here.
    ToolWndRegister(window, kToolWndSync, &s->window);
    char caption[1200], title[100];
    TextGet(Txt::dlgSync, title, sizeof title);
    snprintf(caption, sizeof caption, "%s: %s : %s", title, s->compare.LeftRoot().c_str(),
             s->compare.RightRoot().c_str());
    SetWindowTextA(window, caption);
    char button[64];
    TextGet(Txt::butDiff, button, sizeof button);
    SetDlgItemTextA(window, kIdSyncCompareFiles, button);
    SendDlgItemMessageA(window, kIdJobBar, PBM_SETRANGE, 0, MAKELPARAM(0, 64));
    EnableWindow(GetDlgItem(window, 99), FALSE);
    if (!StartThread(s, CompareThread))
        return FALSE;
    return TRUE;
}

void OnDestroy(HWND window, SyncShared *s)
{
    ToolWndUnregister(window);
    KillTimer(window, 1);
    // The threads stop at their next item; the record goes with the last of them.
    s->job.cancel = 1;
    RECT r;
    if (gApp && !IsIconic(window) && GetWindowRect(window, &r)) {
        gApp->posSync[0] = (uint16_t)(r.right - r.left);
        gApp->posSync[1] = (uint16_t)(r.bottom - r.top);
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    Release(s);
}

// The two files of the caret line in the file compare window, the side
// copied from first; a line with only one file beeps.
void CompareCaretLine(HWND window, SyncShared *s)
{
    HWND list = List(window);
    int at = (int)SendMessageA(list, LB_GETCARETINDEX, 0, 0);
    int index = at < 0 ? -1 : (int)SendMessageA(list, LB_GETITEMDATA, at, 0);
    if (index < 0 || index >= (int)s->lines.size() || s->lines[index].kind != kSyncLineChanged) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    WinSyncIo io;
    std::string from, to;
    SyncLinePaths(io, s->compare, s->lines[index], &from, &to);
    if (!DiffWindowOpen(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr), 0, from.c_str(), to.c_str(),
                        gApp ? gApp->modulePath : nullptr))
        MessageBeep(MB_ICONHAND);
}

void OnCommand(HWND window, SyncShared *s, int id)
{
    switch (id) {
    case IDOK:
    case 99:
        if (!(s->state & kSyncStateCompared) || (s->state & kSyncStateCopying))
            return;
        if ((s->state & kSyncStateCopied) || s->job.cancel)
            Close(window);
        else
            StartCopy(window, s);
        return;
    case IDCANCEL:
        s->job.cancel = 1;
        Close(window);
        return;
    case kIdSyncCompareFiles:
        CompareCaretLine(window, s);
        return;
    case kIdMnuCopy:
        JobLogCopy(window);
        return;
    case kIdMnuSaveAs:
        JobLogSaveAs(window);
        return;
    }
}

} // namespace

INT_PTR CALLBACK SyncProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInit(window, (SyncShared *)lParam);
    SyncShared *s = Shared(window);
    if (!s)
        return FALSE;
    switch (message) {
    case kMsgSyncLines:
        TakeLines(window, s);
        return TRUE;
    case kMsgSyncCompared:
        OnCompared(window, s);
        return TRUE;
    case kMsgSyncLineDone:
        OnLineDone(window, s, (int)wParam, lParam);
        return TRUE;
    case kMsgSyncCopied:
        OnCopied(window, s);
        return TRUE;
    case kMsgSyncQuery:
        SetWindowLongPtrA(window, DWLP_MSGRESULT, s->state);
        return TRUE;
    case WM_TIMER:
        if (wParam == 1)
            OnTimer(window, s);
        return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            SyncLayout(window);
        return TRUE;
    case WM_GETMINMAXINFO:
        ((MINMAXINFO *)lParam)->ptMinTrackSize.x = 330;
        ((MINMAXINFO *)lParam)->ptMinTrackSize.y = 120;
        return TRUE;
    case WM_MEASUREITEM:
        if (wParam == kIdJobLogList) {
            ((MEASUREITEMSTRUCT *)lParam)->itemHeight = 16;
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wParam == kIdJobLogList) {
            DrawLine(window, s, (const DRAWITEMSTRUCT *)lParam);
            return TRUE;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if (wParam == kIdMnuCopy || wParam == kIdMnuSaveAs) {
            OnCommand(window, s, (int)wParam);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        OnCommand(window, s, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        OnDestroy(window, s);
        return TRUE;
    }
    return FALSE;
}

HWND SyncWindowOpen(HWND owner, const SyncCompareJob &job)
{
    SyncShared *s = new SyncShared();
    s->compare = job;
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgSync), owner,
                                     SyncProgressDialogProc, (LPARAM)s);
    if (!window) {
        // Without a window the init never ran, or ran and failed to start the
        // comparison (the record is then released at WM_DESTROY).
        if (!s->window)
            Release(s);
        return nullptr;
    }
    ShowWindow(window, SW_SHOW);
    return window;
}
