#include "tools/DiffWindow.h"

#include <commctrl.h>
#include <commdlg.h>
#include <process.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "AppState.h"
#include "app/Menus.h"
#include "app/bars/Splitter.h"
#include "base/Texts.h"
#include "tools/DiffCore.h"
#include "tools/TextEditor.h"
#include "wingui/GuiDraw.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"

BOOL(WINAPI *gDiffChooseColor)(CHOOSECOLORA *) = ChooseColorA;

namespace {

const char kClassName[] = "ZqDiff";
const char kSection[] = "ZqDiff";
const int kIdLeft = 101, kIdRight = 102;
const unsigned kTabWidth = 4;

struct FileStamp {
    uint64_t size = 0;
    FILETIME written = {};
    bool present = false;
    bool operator==(const FileStamp &o) const
    {
        return present == o.present && size == o.size && CompareFileTime(&written, &o.written) == 0;
    }
};

FileStamp StampOf(const std::string &path)
{
    FileStamp s;
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!path.empty() && GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) {
        s.present = true;
        s.size = ((uint64_t)d.nFileSizeHigh << 32) | d.nFileSizeLow;
        s.written = d.ftLastWriteTime;
    }
    return s;
}

struct DiffResult {
    DiffSide sides[2];
    std::string errors[2]; // a file that could not be read: the reason, shown as its only line
    FileStamp stamps[2];
    uint32_t options = 0;
};

// Shared by the window and its compare threads; the last to let go frees it.
struct DiffShared {
    volatile LONG refs = 1;
    CRITICAL_SECTION lock;
    HWND window = nullptr;       // null once the window is gone (under the lock)
    DiffResult *ready = nullptr; // a result not yet taken (under the lock)
    DiffShared() { InitializeCriticalSection(&lock); }
    ~DiffShared()
    {
        delete ready;
        DeleteCriticalSection(&lock);
    }
};

void Release(DiffShared *s)
{
    if (InterlockedDecrement(&s->refs) == 0)
        delete s;
}

struct DiffWindow {
    HWND find = nullptr; // first: the tool-window list routes the find dialog's keys by it
    HWND window = nullptr;
    HWND lists[2] = {};
    HWND toolBar = nullptr;
    DiffShared *shared = nullptr;
    std::string paths[2];
    std::string settings;
    uint32_t options = 0;
    float ratio = 0.5f;
    int focused = 0;
    DiffResult *result = nullptr; // the one shown; the window thread's own
    std::vector<uint32_t> shown[2]; // line index of every list item
    bool running = false;  // a compare thread is at work
    bool again = false;    // compare again when it is done
    uint32_t generation = 0;
    COLORREF colors[4] = {0xFF0000, 0xFF0000, 0xFF, 0};
    COLORREF custom[16];
    HFONT font = nullptr;
    int numberWidth = 0;
    int widest[2] = {100, 100};
    bool dragging = false;
    RECT dragBar = {};
    HBRUSH dragBrush = nullptr;
    char findText[64] = "";
    FINDREPLACEA findRecord = {};
    UINT findMessage = 0;
};

struct ThreadStart {
    DiffShared *shared;
    std::string paths[2];
    uint32_t options;
};

std::string ErrorText(DWORD error)
{
    char text[300] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                   nullptr);
    for (char *p = text; *p; p++) {
        if (*p == '\r' || *p == '\n')
            *p = ' ';
    }
    std::string s = text;
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s.empty() ? "error " + std::to_string(error) : s;
}

// The whole file, or the reason it could not be read.
bool ReadWhole(const std::string &path, std::string *text, std::string *error, FileStamp *stamp)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = ErrorText(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) {
        *error = ErrorText(GetLastError());
        CloseHandle(h);
        return false;
    }
    uint64_t size = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    stamp->present = true;
    stamp->size = size;
    stamp->written = info.ftLastWriteTime;
    // Line offsets are 32-bit: a text file of 2 GB or more is refused whole.
    if (size >= 0x7FFFFFFF) {
        *error = ErrorText(ERROR_FILE_TOO_LARGE);
        CloseHandle(h);
        return false;
    }
    text->resize((size_t)size);
    size_t got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(h, &(*text)[got], (DWORD)(size - got), &n, nullptr)) {
            *error = ErrorText(GetLastError());
            CloseHandle(h);
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    text->resize(got); // a file that shrank meanwhile: what was there
    CloseHandle(h);
    return true;
}

unsigned __stdcall CompareThread(void *p)
{
    ThreadStart *start = (ThreadStart *)p;
    DiffResult *r = new DiffResult();
    r->options = start->options;
    for (int s = 0; s < 2; s++) {
        if (ReadWhole(start->paths[s], &r->sides[s].text, &r->errors[s], &r->stamps[s]))
            DiffSplitLines(&r->sides[s]);
        else
            r->sides[s].text.clear();
    }
    DiffCompare(&r->sides[0], &r->sides[1], start->options);
    DiffShared *shared = start->shared;
    delete start;
    EnterCriticalSection(&shared->lock);
    delete shared->ready;
    shared->ready = r;
    HWND window = shared->window;
    if (window)
        PostMessageA(window, kMsgDiffResult, 0, 0);
    LeaveCriticalSection(&shared->lock);
    Release(shared);
    return 0;
}

DiffWindow *Record(HWND window) { return (DiffWindow *)GetWindowLongPtrA(window, GWLP_USERDATA); }

void StartCompare(DiffWindow *d)
{
    if (d->running) {
        d->again = true;
        return;
    }
    ThreadStart *start = new ThreadStart{d->shared, {d->paths[0], d->paths[1]}, d->options};
    InterlockedIncrement(&d->shared->refs);
    uintptr_t h = _beginthreadex(nullptr, 0, CompareThread, start, 0, nullptr);
    if (!h) {
        Release(d->shared);
        delete start;
        return;
    }
    CloseHandle((HANDLE)h);
    d->running = true;
    d->again = false;
}

// The height the tool bar takes at the top, 0 while it is hidden.
int ToolBarHeight(DiffWindow *d)
{
    if (!d->toolBar || !IsWindowVisible(d->toolBar))
        return 0;
    RECT rc;
    GetWindowRect(d->toolBar, &rc);
    return rc.bottom - rc.top;
}

void Layout(DiffWindow *d)
{
    if (d->toolBar && IsWindowVisible(d->toolBar))
        SendMessageA(d->toolBar, TB_AUTOSIZE, 0, 0);
    RECT rc;
    GetClientRect(d->window, &rc);
    int w = rc.right, top = ToolBarHeight(d), h = rc.bottom - top;
    if (h < 0)
        h = 0;
    int left = (int)(w * d->ratio);
    if (left < 2)
        left = 2;
    MoveWindow(d->lists[0], 0, top, left - 1, h, TRUE);
    MoveWindow(d->lists[1], left + 1, top, w - left - 1, h, TRUE);
}

// The check buttons follow the options: links pressed while they are shown.
void SyncToolBar(DiffWindow *d)
{
    if (!d->toolBar)
        return;
    SendMessageA(d->toolBar, TB_CHECKBUTTON, 942, !(d->options & kDiffLinksHidden));
    SendMessageA(d->toolBar, TB_CHECKBUTTON, 930, (d->options & kDiffIgnoreSpaces) != 0);
    SendMessageA(d->toolBar, TB_CHECKBUTTON, 931, (d->options & kDiffCaseSensitive) != 0);
    SendMessageA(d->toolBar, TB_CHECKBUTTON, 935, (d->options & kDiffOnlyDifferences) != 0);
}

HWND MakeToolBar(HWND window)
{
    static const struct {
        int command;
        BYTE style;
    } kButtons[] = {
        {921, TBSTYLE_BUTTON}, {926, TBSTYLE_BUTTON}, {927, TBSTYLE_BUTTON}, {0, TBSTYLE_SEP},
        {928, TBSTYLE_BUTTON}, {929, TBSTYLE_BUTTON}, {0, TBSTYLE_SEP},      {938, TBSTYLE_BUTTON},
        {0, TBSTYLE_SEP},      {11945, TBSTYLE_BUTTON}, {11930, TBSTYLE_BUTTON}, {0, TBSTYLE_SEP},
        {930, TBSTYLE_CHECK},  {931, TBSTYLE_CHECK},  {942, TBSTYLE_CHECK},  {935, TBSTYLE_CHECK},
    };
    const int count = sizeof kButtons / sizeof kButtons[0];
    TBBUTTON buttons[count] = {};
    int image = 0;
    for (int i = 0; i < count; i++) {
        buttons[i].idCommand = kButtons[i].command;
        buttons[i].fsStyle = kButtons[i].style;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].iBitmap = kButtons[i].style == TBSTYLE_SEP ? 0 : image++;
    }
    return CreateToolbarEx(window, WS_CHILD | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, 1, image, GetModuleHandleA(nullptr),
                           950, buttons, count, 16, 16, 16, 16, sizeof(TBBUTTON));
}

void ToggleToolBar(DiffWindow *d)
{
    d->options ^= kDiffToolBarHidden;
    if (d->toolBar)
        ShowWindow(d->toolBar, (d->options & kDiffToolBarHidden) ? SW_HIDE : SW_SHOW);
    Layout(d);
    InvalidateRect(d->window, nullptr, TRUE);
}

void MeasureFont(DiffWindow *d)
{
    HDC dc = GetDC(d->window);
    HFONT old = (HFONT)SelectObject(dc, d->font);
    const char *sample = (d->options & kDiffLinksHidden) ? "8888" : "8888 -> 8888";
    SIZE size = {};
    GetTextExtentPoint32A(dc, sample, (int)strlen(sample), &size);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(d->window, dc);
    d->numberWidth = size.cx + 2;
    int height = tm.tmHeight + tm.tmExternalLeading;
    if (height < 16)
        height = 16;
    for (HWND list : d->lists) {
        SendMessageA(list, WM_SETFONT, (WPARAM)d->font, FALSE);
        SendMessageA(list, LB_SETITEMHEIGHT, 0, height);
    }
}

void ShowResult(DiffWindow *d)
{
    for (int s = 0; s < 2; s++) {
        d->shown[s].clear();
        if (d->result) {
            const DiffSide &side = d->result->sides[s];
            if (!d->result->errors[s].empty()) {
                d->shown[s].push_back(0);
            } else {
                for (uint32_t i = 0; i < side.lines.size(); i++) {
                    if (!(d->options & kDiffOnlyDifferences) || side.lines[i].status != kDiffSame)
                        d->shown[s].push_back(i);
                }
            }
        }
        d->widest[s] = 100;
        SendMessageA(d->lists[s], LB_SETCOUNT, d->shown[s].size(), 0);
        SendMessageA(d->lists[s], LB_SETHORIZONTALEXTENT, d->numberWidth + 100 + 16, 0);
        InvalidateRect(d->lists[s], nullptr, TRUE);
    }
}

void TakeResult(DiffWindow *d)
{
    EnterCriticalSection(&d->shared->lock);
    DiffResult *r = d->shared->ready;
    d->shared->ready = nullptr;
    LeaveCriticalSection(&d->shared->lock);
    d->running = false;
    if (r) {
        delete d->result;
        d->result = r;
        d->generation++;
        ShowResult(d);
    }
    // Options changed or a file changed while the thread worked.
    if (d->again || (d->result && d->result->options != d->options))
        StartCompare(d);
}

void DrawItem(DiffWindow *d, const DRAWITEMSTRUCT *di)
{
    if (di->itemID == (UINT)-1)
        return;
    int s = di->CtlID == kIdRight ? 1 : 0;
    bool selected = (di->itemState & ODS_SELECTED) && d->focused == s;
    FillRect(di->hDC, &di->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (!d->result || di->itemID >= d->shown[s].size())
        return;
    const DiffSide &side = d->result->sides[s];
    std::string number, text;
    COLORREF color;
    RECT mark = di->rcItem;
    mark.left += 3;
    mark.right = mark.left + 10;
    mark.top += 3;
    mark.bottom -= 3;
    if (!d->result->errors[s].empty()) {
        text = d->result->errors[s];
        color = d->colors[kDiffAdded];
    } else {
        const DiffLine &line = side.lines[d->shown[s][di->itemID]];
        char n[40];
        if ((d->options & kDiffLinksHidden) || line.counterpart < 0)
            snprintf(n, sizeof n, "%-4u", line.number);
        else
            snprintf(n, sizeof n, "%-4u -> %-4u", line.number, d->result->sides[1 - s].lines[line.counterpart].number);
        number = n;
        text = DiffExpandTabs(side.Line(d->shown[s][di->itemID]), kTabWidth);
        color = d->colors[line.status & 3];
    }
    HBRUSH status = CreateSolidBrush(color);
    FillRect(di->hDC, &mark, status);
    DeleteObject(status);
    SetBkMode(di->hDC, TRANSPARENT);
    SetTextColor(di->hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : color);
    HFONT old = (HFONT)SelectObject(di->hDC, d->font);
    RECT r = di->rcItem;
    r.left += 16;
    DrawTextA(di->hDC, number.c_str(), (int)number.size(), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    r.left += d->numberWidth;
    SIZE size = {};
    GetTextExtentPoint32A(di->hDC, text.c_str(), (int)text.size(), &size);
    DrawTextA(di->hDC, text.c_str(), (int)text.size(), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(di->hDC, old);
    if (size.cx + 50 > d->widest[s]) {
        d->widest[s] = size.cx + 50;
        SendMessageA(d->lists[s], LB_SETHORIZONTALEXTENT, d->numberWidth + d->widest[s] + 16, 0);
    }
    if (di->itemState & ODS_FOCUS)
        DrawFocusRect(di->hDC, &di->rcItem);
}

void CopySelection(DiffWindow *d)
{
    if (!d->result)
        return;
    HWND list = d->lists[d->focused];
    int count = (int)SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0)
        return;
    std::vector<int> items(count);
    SendMessageA(list, LB_GETSELITEMS, count, (LPARAM)items.data());
    std::string out;
    const DiffSide &side = d->result->sides[d->focused];
    for (int item : items) {
        if (item >= 0 && (size_t)item < d->shown[d->focused].size() && d->result->errors[d->focused].empty())
            out += side.Line(d->shown[d->focused][item]) + "\r\n";
    }
    if (out.empty() || !OpenClipboard(d->window))
        return;
    EmptyClipboard();
    if (HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, out.size() + 1)) {
        memcpy(GlobalLock(g), out.c_str(), out.size() + 1);
        GlobalUnlock(g);
        if (!SetClipboardData(CF_TEXT, g))
            GlobalFree(g);
    }
    CloseClipboard();
}

void SetCaption(DiffWindow *d)
{
    WndSetDocTitle(d->window, Txt::txtCompare, d->paths[0].c_str(), d->paths[1].c_str());
}

void ToggleOption(DiffWindow *d, uint32_t bit)
{
    d->options ^= bit;
    SyncToolBar(d);
    if (bit == kDiffLinksHidden) {
        MeasureFont(d);
        ShowResult(d);
        return;
    }
    // Differences only changes only what is shown; the others compare anew.
    if (bit == kDiffOnlyDifferences && d->result) {
        d->result->options ^= bit;
        ShowResult(d);
        return;
    }
    StartCompare(d);
}

void OnTimer(DiffWindow *d)
{
    if (d->running || !d->result)
        return;
    // A real change of size or time only: saving a file unchanged does not
    // compare again.
    for (int s = 0; s < 2; s++) {
        if (!(StampOf(d->paths[s]) == d->result->stamps[s])) {
            StartCompare(d);
            return;
        }
    }
}

void ReadSettings(DiffWindow *d)
{
    for (COLORREF &c : d->custom)
        c = 0xFFFFFF;
    if (d->settings.empty())
        return;
    d->options = GetPrivateProfileIntA(kSection, "Opt", 0, d->settings.c_str());
    char text[300];
    long v[16];
    GetPrivateProfileStringA(kSection, "Color", "", text, sizeof text, d->settings.c_str());
    if (sscanf(text, "%ld,%ld,%ld,%ld", &v[0], &v[1], &v[2], &v[3]) == 4) {
        for (int i = 0; i < 4; i++)
            d->colors[i] = (COLORREF)v[i];
    }
    GetPrivateProfileStringA(kSection, "CC", "", text, sizeof text, d->settings.c_str());
    const char *p = text;
    for (int i = 0; i < 16 && *p; i++) {
        char *end = nullptr;
        long n = strtol(p, &end, 10);
        if (end == p)
            break;
        d->custom[i] = (COLORREF)n;
        p = *end == ',' ? end + 1 : end;
    }
}

// The colour dialog for one status (941: the two moved statuses).
void ChooseStatusColor(DiffWindow *d, int command)
{
    int status = command == 939 ? kDiffSame : command == 940 ? kDiffAdded : kDiffMovedUp;
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = d->window;
    cc.rgbResult = d->colors[status];
    cc.lpCustColors = d->custom;
    cc.Flags = CC_FULLOPEN | CC_RGBINIT;
    if (!gDiffChooseColor(&cc))
        return;
    d->colors[status] = cc.rgbResult;
    if (command == 941)
        d->colors[kDiffMovedDown] = cc.rgbResult;
    if (!d->settings.empty()) {
        char text[300];
        snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", (long)d->colors[0], (long)d->colors[1], (long)d->colors[2],
                 (long)d->colors[3]);
        WritePrivateProfileStringA(kSection, "Color", text, d->settings.c_str());
        int n = 0;
        for (int i = 0; i < 16; i++)
            n += snprintf(text + n, sizeof text - n, i ? ",%ld" : "%ld", (long)d->custom[i]);
        WritePrivateProfileStringA(kSection, "CC", text, d->settings.c_str());
    }
    InvalidateRect(d->lists[0], nullptr, TRUE);
    InvalidateRect(d->lists[1], nullptr, TRUE);
}

void WriteSettings(DiffWindow *d)
{
    if (d->settings.empty())
        return;
    char text[40];
    snprintf(text, sizeof text, "%u", d->options);
    WritePrivateProfileStringA(kSection, "Opt", text, d->settings.c_str());
    WINDOWPLACEMENT wp = {sizeof wp};
    if (GetWindowPlacement(d->window, &wp)) {
        RECT &r = wp.rcNormalPosition;
        snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
        WritePrivateProfileStringA(kSection, "Position", text, d->settings.c_str());
    }
}

WNDPROC gListProc = nullptr; // the list boxes' own procedure

// The first dropped item that exists and is not a folder becomes this
// side's file.
void OnDrop(DiffWindow *d, int side, HDROP drop)
{
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        char path[MAX_PATH];
        if (!DragQueryFileA(drop, i, path, sizeof path))
            continue;
        DWORD a = GetFileAttributesA(path);
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        d->paths[side] = path;
        SetCaption(d);
        StartCompare(d);
        SetForegroundWindow(d->window);
        break;
    }
    DragFinish(drop);
}

LRESULT CALLBACK DiffListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = GetParent(list);
    DiffWindow *d = Record(window);
    if (d) {
        int side = GetDlgCtrlID(list) == kIdRight ? 1 : 0;
        if (message == WM_DROPFILES) {
            OnDrop(d, side, (HDROP)wParam);
            return 0;
        }
        if (message == WM_KEYDOWN && wParam == VK_TAB) {
            d->focused = 1 - side;
            SetFocus(d->lists[d->focused]);
            return 0;
        }
        if (message == WM_GETDLGCODE)
            return CallWindowProcA(gListProc, list, message, wParam, lParam) | DLGC_WANTTAB;
    }
    return CallWindowProcA(gListProc, list, message, wParam, lParam);
}

// The font of the settings file: thirteen numbers, then the face name;
// anything else leaves the default.
bool ReadFont(DiffWindow *d, LOGFONTA *lf)
{
    if (d->settings.empty())
        return false;
    char text[200];
    GetPrivateProfileStringA(kSection, "Font", "", text, sizeof text, d->settings.c_str());
    int v[13];
    int used = 0;
    if (sscanf(text, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%n", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
               &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &used) != 13 || !used)
        return false;
    *lf = LOGFONTA();
    lf->lfHeight = v[0];
    lf->lfWidth = v[1];
    lf->lfEscapement = v[2];
    lf->lfOrientation = v[3];
    lf->lfWeight = v[4];
    lf->lfItalic = (BYTE)v[5];
    lf->lfUnderline = (BYTE)v[6];
    lf->lfStrikeOut = (BYTE)v[7];
    lf->lfCharSet = (BYTE)v[8];
    lf->lfOutPrecision = (BYTE)v[9];
    lf->lfClipPrecision = (BYTE)v[10];
    lf->lfQuality = (BYTE)v[11];
    lf->lfPitchAndFamily = (BYTE)v[12];
    lstrcpynA(lf->lfFaceName, text + used, LF_FACESIZE);
    return true;
}

LRESULT OnCreate(HWND window, DiffWindow *d)
{
    d->window = window;
    d->shared->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)d);
    ReadSettings(d);
    d->findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
    d->toolBar = MakeToolBar(window);
    if (!d->toolBar)
        return -1;
    if (!(d->options & kDiffToolBarHidden))
        ShowWindow(d->toolBar, SW_SHOW);
    SyncToolBar(d);
    for (int s = 0; s < 2; s++) {
        d->lists[s] = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_NODATA |
                                          LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                                      0, 0, 10, 10, window, (HMENU)(INT_PTR)(s ? kIdRight : kIdLeft),
                                      GetModuleHandleA(nullptr), nullptr);
        if (!d->lists[s])
            return -1;
        WNDPROC old = (WNDPROC)SetWindowLongPtrA(d->lists[s], GWLP_WNDPROC, (LONG_PTR)DiffListProc);
        if (!gListProc)
            gListProc = old;
        DragAcceptFiles(d->lists[s], TRUE);
    }
    LOGFONTA lf = {};
    if (!ReadFont(d, &lf))
        FontMakeCourier(window, &lf, 10);
    d->font = CreateFontIndirectA(&lf);
    MeasureFont(d);
    Layout(d);
    SetCaption(d);
    StartCompare(d);
    SetTimer(window, 1, 1000, nullptr);
    return 0;
}

void OnDestroy(DiffWindow *d)
{
    KillTimer(d->window, 1);
    if (d->find)
        DestroyWindow(d->find);
    WriteSettings(d);
    ToolWndUnregister(d->window);
    EnterCriticalSection(&d->shared->lock);
    d->shared->window = nullptr;
    LeaveCriticalSection(&d->shared->lock);
    Release(d->shared);
    SetWindowLongPtrA(d->window, GWLP_USERDATA, 0);
    if (d->font)
        DeleteObject(d->font);
    if (d->dragBrush)
        DeleteObject(d->dragBrush);
    delete d->result;
    delete d;
}

LRESULT LineInfo(DiffWindow *d, WPARAM side, LPARAM lParam)
{
    int s = side ? 1 : 0;
    bool counterpart = (lParam & 0x40000000) != 0;
    size_t item = (size_t)(lParam & 0x3FFFFFFF);
    if (!d->result || item >= d->shown[s].size() || !d->result->errors[s].empty())
        return -1;
    const DiffLine &line = d->result->sides[s].lines[d->shown[s][item]];
    if (counterpart)
        return line.counterpart < 0 ? 0 : d->result->sides[1 - s].lines[line.counterpart].number;
    return DiffPackLine(line.status, line.number);
}

bool ContainsText(const std::string &line, const char *text, bool matchCase)
{
    if (matchCase)
        return line.find(text) != std::string::npos;
    std::string a = line, b = text;
    CharUpperBuffA(&a[0], (DWORD)a.size());
    if (!b.empty())
        CharUpperBuffA(&b[0], (DWORD)b.size());
    return a.find(b) != std::string::npos;
}

// Searches the focused side from the first selected item; the hit becomes
// the only selected item. False when nothing was found.
bool SearchNext(DiffWindow *d)
{
    if (!d->result || !d->findText[0])
        return false;
    int s = d->focused;
    HWND list = d->lists[s];
    int count = (int)d->shown[s].size();
    bool down = (d->findRecord.Flags & FR_DOWN) != 0, matchCase = (d->findRecord.Flags & FR_MATCHCASE) != 0;
    int from = -1;
    for (int i = 0; i < count && from < 0; i++) {
        if (SendMessageA(list, LB_GETSEL, i, 0) > 0)
            from = i;
    }
    if (from < 0)
        from = down ? -1 : count;
    const DiffSide &side = d->result->sides[s];
    for (int i = down ? from + 1 : from - 1; i >= 0 && i < count; i += down ? 1 : -1) {
        if (!d->result->errors[s].empty() || !ContainsText(side.Line(d->shown[s][i]), d->findText, matchCase))
            continue;
        SendMessageA(list, LB_SETSEL, FALSE, -1);
        SendMessageA(list, LB_SETSEL, TRUE, i);
        SendMessageA(list, LB_SETCARETINDEX, i, FALSE);
        RECT rc;
        GetClientRect(list, &rc);
        int height = (int)SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
        int visible = height > 0 ? rc.bottom / height : 1;
        int top = (int)SendMessageA(list, LB_GETTOPINDEX, 0, 0);
        if (i < top || i > top + visible - 2)
            SendMessageA(list, LB_SETTOPINDEX, i, 0);
        return true;
    }
    return false;
}

// The divider between the lists: a 4-pixel bar follows the mouse while the
// left button is down; on release the split moves there.
RECT DividerBar(DiffWindow *d, int x)
{
    RECT rc;
    GetClientRect(d->window, &rc);
    if (x < 2)
        x = 2;
    if (x > rc.right - 2)
        x = rc.right - 2;
    return {x - 2, ToolBarHeight(d), x + 2, rc.bottom};
}

void DragMove(DiffWindow *d, int x)
{
    if (!d->dragging)
        return;
    WndDrawDragBar(d->window, &d->dragBar, &d->dragBrush);
    d->dragBar = DividerBar(d, x);
    WndDrawDragBar(d->window, &d->dragBar, &d->dragBrush);
}

void DragEnd(DiffWindow *d, int x)
{
    if (!d->dragging)
        return;
    WndDrawDragBar(d->window, &d->dragBar, &d->dragBrush);
    d->dragging = false;
    ReleaseCapture();
    RECT rc;
    GetClientRect(d->window, &rc);
    if (rc.right > 0) {
        RECT bar = DividerBar(d, x);
        d->ratio = (float)(bar.left + 2) / (float)rc.right;
    }
    Layout(d);
}

void OpenFind(DiffWindow *d)
{
    if (d->find) {
        SetFocus(d->find);
        return;
    }
    d->findRecord = FINDREPLACEA();
    d->findRecord.lStructSize = sizeof d->findRecord;
    d->findRecord.hwndOwner = d->window;
    d->findRecord.Flags = FR_DOWN | FR_HIDEWHOLEWORD;
    d->findRecord.lpstrFindWhat = d->findText;
    d->findRecord.wFindWhatLen = sizeof d->findText;
    d->find = FindTextA(&d->findRecord);
}

// The open-file dialog on one side's path; true when a file was chosen.
bool ChooseFile(DiffWindow *d, int side)
{
    char file[MAX_PATH] = "";
    lstrcpynA(file, d->paths[side].c_str(), sizeof file);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = d->window;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn))
        return false;
    char full[MAX_PATH];
    if (GetFullPathNameA(file, sizeof full, full, nullptr))
        d->paths[side] = full;
    else
        d->paths[side] = file;
    return true;
}

void ChooseFont(DiffWindow *d)
{
    LOGFONTA lf = {};
    GetObjectA(d->font, sizeof lf, &lf);
    if (!FontChooseSimple(d->window, &lf))
        return;
    HFONT font = CreateFontIndirectA(&lf);
    if (!font)
        return;
    DeleteObject(d->font);
    d->font = font;
    MeasureFont(d);
    ShowResult(d);
    if (!d->settings.empty()) {
        char text[200];
        snprintf(text, sizeof text, "%ld,%ld,%ld,%ld,%ld,%d,%d,%d,%d,%d,%d,%d,%d,%s", lf.lfHeight, lf.lfWidth,
                 lf.lfEscapement, lf.lfOrientation, lf.lfWeight, lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut,
                 lf.lfCharSet, lf.lfOutPrecision, lf.lfClipPrecision, lf.lfQuality, lf.lfPitchAndFamily, lf.lfFaceName);
        WritePrivateProfileStringA(kSection, "Font", text, d->settings.c_str());
    }
}

bool OnCommand(DiffWindow *d, int id)
{
    switch (id) {
    case 921:
        if (ChooseFile(d, 0) && ChooseFile(d, 1)) {
            SetCaption(d);
            StartCompare(d);
        }
        return true;
    case 926:
    case 927:
        if (ChooseFile(d, id - 926)) {
            SetCaption(d);
            StartCompare(d);
        }
        return true;
    case 928:
    case 929:
        if (!d->paths[id - 928].empty())
            EditCreateWindow(d->paths[id - 928].c_str(), d->paths[id - 928].c_str(), kToolWndEditor);
        return true;
    case 402:
        ChooseFont(d);
        return true;
    case 11945:
        OpenFind(d);
        return true;
    case 11946:
        if (!d->findText[0])
            OpenFind(d);
        else if (!SearchNext(d))
            MessageBeep(MB_ICONHAND);
        return true;
    case 939:
    case 940:
    case 941:
        ChooseStatusColor(d, id);
        return true;
    case 241:
        ToggleToolBar(d);
        return true;
    case 120:
        DestroyWindow(d->window);
        return true;
    case 930:
        ToggleOption(d, kDiffIgnoreSpaces);
        return true;
    case 931:
        ToggleOption(d, kDiffCaseSensitive);
        return true;
    case 935:
        ToggleOption(d, kDiffOnlyDifferences);
        return true;
    case 942:
        ToggleOption(d, kDiffLinksHidden);
        return true;
    case 938:
        StartCompare(d);
        return true;
    case 11930:
        CopySelection(d);
        return true;
    }
    return false;
}

} // namespace

LRESULT CALLBACK DiffWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        return OnCreate(window, (DiffWindow *)((CREATESTRUCTA *)lParam)->lpCreateParams);
    DiffWindow *d = Record(window);
    if (!d)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == d->findMessage && message) {
        const FINDREPLACEA *fr = (const FINDREPLACEA *)lParam;
        if (fr->Flags & FR_DIALOGTERM)
            d->find = nullptr;
        else if ((fr->Flags & FR_FINDNEXT) && !SearchNext(d))
            MessageBeep(MB_ICONHAND);
        return 0;
    }
    switch (message) {
    case kMsgDiffResult:
        TakeResult(d);
        return 0;
    case kMsgDiffGeneration:
        return d->generation;
    case kMsgDiffLineInfo:
        return LineInfo(d, wParam, lParam);
    case kMsgDiffOptions:
        return d->options;
    case kMsgDiffColor:
        return wParam < 4 ? d->colors[wParam] : 0;
    case WM_TIMER:
        OnTimer(d);
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout(d);
        return 0;
    case WM_SETFOCUS:
        SetFocus(d->lists[d->focused]);
        return 0;
    case WM_LBUTTONDOWN:
        d->dragging = true;
        SetCapture(window);
        d->dragBar = DividerBar(d, (short)LOWORD(lParam));
        WndDrawDragBar(window, &d->dragBar, &d->dragBrush);
        return 0;
    case WM_MOUSEMOVE:
        DragMove(d, (short)LOWORD(lParam));
        return 0;
    case WM_LBUTTONUP:
        DragEnd(d, (short)LOWORD(lParam));
        return 0;
    case WM_SETCURSOR:
        if ((HWND)wParam == window && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
            return TRUE;
        }
        break;
    case WM_DRAWITEM:
        DrawItem(d, (const DRAWITEMSTRUCT *)lParam);
        return TRUE;
    case WM_NOTIFY: {
        NMHDR *hdr = (NMHDR *)lParam;
        if (hdr->code == TTN_NEEDTEXTA) {
            // The tip of a button is the text numbered 1000 above its command.
            NMTTDISPINFOA *tip = (NMTTDISPINFOA *)lParam;
            TextGet((int)hdr->idFrom + 1000, tip->szText, sizeof tip->szText);
            tip->lpszText = tip->szText;
            tip->hinst = nullptr;
            return 0;
        }
        break;
    }
    case WM_INITMENUPOPUP: {
        HMENU menu = (HMENU)wParam;
        CheckMenuItem(menu, 241, (d->options & kDiffToolBarHidden) ? MF_UNCHECKED : MF_CHECKED);
        CheckMenuItem(menu, 942, (d->options & kDiffLinksHidden) ? MF_UNCHECKED : MF_CHECKED);
        CheckMenuItem(menu, 930, (d->options & kDiffIgnoreSpaces) ? MF_CHECKED : MF_UNCHECKED);
        CheckMenuItem(menu, 931, (d->options & kDiffCaseSensitive) ? MF_CHECKED : MF_UNCHECKED);
        CheckMenuItem(menu, 935, (d->options & kDiffOnlyDifferences) ? MF_CHECKED : MF_UNCHECKED);
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == LBN_SETFOCUS) {
            d->focused = LOWORD(wParam) == kIdRight ? 1 : 0;
            InvalidateRect(d->lists[0], nullptr, FALSE);
            InvalidateRect(d->lists[1], nullptr, FALSE);
            return 0;
        }
        if (OnCommand(d, LOWORD(wParam)))
            return 0;
        break;
    case WM_DESTROY:
        OnDestroy(d);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND DiffWindowOpen(HINSTANCE instance, HINSTANCE, LONG_PTR cursor, const char *first, const char *second,
                    const char *settingsPath)
{
    static ATOM registered = 0;
    if (!registered) {
        WNDCLASSEXA wc = {sizeof wc};
        wc.lpfnWndProc = DiffWindowProc;
        wc.hInstance = instance;
        wc.hCursor = cursor ? (HCURSOR)cursor : LoadCursor(nullptr, IDC_ARROW);
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(5));
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = kClassName;
        registered = RegisterClassExA(&wc);
        if (!registered)
            return nullptr;
    }
    DiffWindow *d = new DiffWindow();
    d->shared = new DiffShared();
    d->paths[0] = first ? first : "";
    d->paths[1] = second ? second : "";
    d->settings = settingsPath ? settingsPath : "";
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    if (!d->settings.empty()) {
        char text[80];
        GetPrivateProfileStringA(kSection, "Position", "", text, sizeof text, d->settings.c_str());
        int v[4];
        if (sscanf(text, "%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3]) == 4)
            x = v[0], y = v[1], w = v[2], h = v[3];
    }
    HWND window = CreateWindowExA(0, kClassName, "", WS_OVERLAPPEDWINDOW, x, y, w, h, nullptr, nullptr, instance, d);
    if (!window) {
        // WM_CREATE failed: the window was destroyed and freed the record,
        // unless it never got that far.
        if (!d->window) {
            Release(d->shared);
            delete d;
        }
        return nullptr;
    }
    if (ToolWndRegister(window, kToolWndDiff, &d->find)) {
        DestroyWindow(window);
        return nullptr;
    }
    MenuSetFromTable(window, gCompareMenu, gCompareMenu);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}
