// The player window: a thin window procedure around the player's
// operations. The playback thread posts WM_USER with the position; the
// window never touches the player's state other than through its calls.
#include "MpegPlayerView.h"

#include <commctrl.h>
#include <stdio.h>

#include <new>

namespace {

const char kClassName[] = "ZqMP";
constexpr int kBarsHeight = 40;
constexpr DWORD kStopWaitMs = 10000;
const COLORREF kTimeColour = RGB(255, 153, 51);
const COLORREF kSilver = RGB(192, 192, 192);
const char* const kLabels[] = {"Title:", "Artist:", "Album:", "Year:", "Genre:"};

} // namespace

struct MpegPlayerView {
    HWND parent;
    HWND window;
    HWND toolBar;
    HWND toolTip;
    HWND seekBar;
    HWND volumeBar;
    HIMAGELIST images;
    uint8_t* playerBusy;
    Mp3Player* player;
    int playState;
    bool haveInfo;
    bool volumeRead;
    bool dragging;
    Mp3Info info;
    uint32_t lastPercent;
    uint32_t lastSeconds;
    HFONT boldFont;
    HFONT normalFont;
    int boldHeight;
    int normalHeight;
    int labelWidth;
    char openPath[MAX_PATH];
    char displayPath[MAX_PATH];
};

namespace {

MpegPlayerView* ViewOf(HWND w) { return (MpegPlayerView*)GetWindowLongPtrA(w, GWLP_USERDATA); }

HFONT MakeFont(HWND w, int points, int weight, int* lineHeight) {
    HDC dc = GetDC(w);
    HFONT f = CreateFontA(-MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, weight, 0, 0, 0,
                          DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    HGDIOBJ old = SelectObject(dc, f);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    *lineHeight = abs((int)(tm.tmHeight + tm.tmExternalLeading));
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    return f;
}

// Button images drawn here: the library carries no bitmap resource.
HIMAGELIST MakeButtonImages() {
    const int n = 5, s = 16;
    HIMAGELIST list = ImageList_Create(s, s, ILC_COLOR24 | ILC_MASK, n, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, s * n, s);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    const COLORREF mask = RGB(255, 0, 255);
    HBRUSH back = CreateSolidBrush(mask);
    RECT all = {0, 0, s * n, s};
    FillRect(dc, &all, back);
    DeleteObject(back);
    HBRUSH ink = CreateSolidBrush(RGB(0, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dc, ink);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    auto tri = [&](int x0, bool right) {
        POINT p[3];
        if (right) {
            p[0] = {x0, 3};
            p[1] = {x0 + 6, 8};
            p[2] = {x0, 13};
        } else {
            p[0] = {x0 + 6, 3};
            p[1] = {x0, 8};
            p[2] = {x0 + 6, 13};
        }
        Polygon(dc, p, 3);
    };
    tri(0 * s + 2, false); // REW
    tri(0 * s + 8, false);
    tri(1 * s + 5, true); // PLAY
    tri(1 * s + 6, true);
    RECT r1 = {2 * s + 4, 3, 2 * s + 7, 13}, r2 = {2 * s + 9, 3, 2 * s + 12, 13}; // PAUSE
    FillRect(dc, &r1, ink);
    FillRect(dc, &r2, ink);
    RECT r3 = {3 * s + 4, 4, 3 * s + 12, 12}; // STOP
    FillRect(dc, &r3, ink);
    tri(4 * s + 2, true); // FF
    tri(4 * s + 8, true);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldBmp);
    DeleteObject(ink);
    DeleteDC(dc);
    ImageList_AddMasked(list, bmp, mask);
    DeleteObject(bmp);
    return list;
}

HWND MakeToolBar(MpegPlayerView* v, HINSTANCE inst) {
    HWND tb = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                              WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP | CCS_NODIVIDER |
                                  CCS_NORESIZE,
                              0, 0, 125, 25, v->window, (HMENU)1, inst, nullptr);
    if (!tb)
        return nullptr;
    SendMessageA(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    v->images = MakeButtonImages();
    SendMessageA(tb, TB_SETIMAGELIST, 0, (LPARAM)v->images);
    const struct {
        int image, command;
        BYTE style;
    } buttons[] = {{0, kMpegCmdRew, TBSTYLE_BUTTON},
                   {1, kMpegCmdPlay, TBSTYLE_BUTTON},
                   {2, kMpegCmdPause, TBSTYLE_CHECK},
                   {3, kMpegCmdStop, TBSTYLE_BUTTON},
                   {4, kMpegCmdFf, TBSTYLE_BUTTON}};
    TBBUTTON tbb[5] = {};
    for (int i = 0; i < 5; i++) {
        tbb[i].iBitmap = buttons[i].image;
        tbb[i].idCommand = buttons[i].command;
        tbb[i].fsState = TBSTATE_ENABLED;
        tbb[i].fsStyle = buttons[i].style;
    }
    SendMessageA(tb, TB_ADDBUTTONSA, 5, (LPARAM)tbb);
    return tb;
}

HWND MakeTrackBar(MpegPlayerView* v, HINSTANCE inst, int maxValue) {
    HWND bar = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | TBS_NOTICKS, 0, 0, 10, 15, v->window,
                               nullptr, inst, nullptr);
    SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, maxValue));
    return bar;
}

void AddTip(MpegPlayerView* v, HWND tool, const char* text) {
    TOOLINFOA ti = {};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = v->window;
    ti.uId = (UINT_PTR)tool;
    ti.lpszText = (LPSTR)text;
    SendMessageA(v->toolTip, TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

LRESULT PlayerOnCreate(HWND w, LPARAM lp) {
    MpegPlayerView* v = (MpegPlayerView*)((CREATESTRUCTA*)lp)->lpCreateParams;
    SetWindowLongPtrA(w, GWLP_USERDATA, (LONG_PTR)v);
    v->window = w;
    HINSTANCE inst = ((CREATESTRUCTA*)lp)->hInstance;
    v->boldFont = MakeFont(w, 12, FW_BOLD, &v->boldHeight);
    v->normalFont = MakeFont(w, 8, FW_NORMAL, &v->normalHeight);
    v->toolBar = MakeToolBar(v, inst);
    v->seekBar = MakeTrackBar(v, inst, 99);
    SendMessageA(v->seekBar, TBM_SETTICFREQ, 10, 0);
    SendMessageA(v->seekBar, TBM_SETPAGESIZE, 0, 4);
    v->volumeBar = MakeTrackBar(v, inst, 255);
    v->toolTip = CreateWindowExA(0, TOOLTIPS_CLASSA, "", WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, w, nullptr, inst,
                                 nullptr);
    AddTip(v, v->seekBar, "Seeking Bar");
    AddTip(v, v->volumeBar, "Volume Bar");
    if (v->openPath[0]) {
        v->haveInfo = Mp3ReadInfo(v->openPath, &v->info);
        HDC dc = GetDC(w);
        HGDIOBJ old = SelectObject(dc, v->normalFont);
        for (const char* label : kLabels) {
            RECT r = {0, 0, 0, 0};
            DrawTextA(dc, label, -1, &r, DT_CALCRECT | DT_SINGLELINE);
            if (r.right > v->labelWidth)
                v->labelWidth = r.right;
        }
        SelectObject(dc, old);
        ReleaseDC(w, dc);
    }
    return 0;
}

void PlayerOnSize(MpegPlayerView* v, int w, int h) {
    MoveWindow(v->toolBar, 0, h - 25, 125, 25, TRUE);
    MoveWindow(v->volumeBar, 131, h - 20, w - 131 > 0 ? w - 131 : 0, 15, TRUE);
    MoveWindow(v->seekBar, 0, h - kBarsHeight, w, 15, TRUE);
    InvalidateRect(v->toolBar, nullptr, TRUE);
    InvalidateRect(v->seekBar, nullptr, TRUE);
    InvalidateRect(v->window, nullptr, FALSE);
}

void TextAt(HDC dc, int x, int y, COLORREF colour, const char* text) {
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text, (int)strlen(text));
}

const char* NamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

void PaintInfo(MpegPlayerView* v, HDC dc, const RECT& rc) {
    RECT top = rc;
    top.bottom = rc.bottom - kBarsHeight;
    FillRect(dc, &top, (HBRUSH)GetStockObject(BLACK_BRUSH));
    RECT bottom = rc;
    bottom.top = top.bottom;
    FillRect(dc, &bottom, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    char text[300];
    int x = rc.left + 10, y = rc.top + 3;
    HGDIOBJ old = SelectObject(dc, v->boldFont);
    Mp3FormatTime(v->lastSeconds, text, sizeof(text));
    TextAt(dc, x, y, kTimeColour, text);
    SIZE timeSize;
    GetTextExtentPoint32A(dc, text, (int)strlen(text), &timeSize);
    SelectObject(dc, v->normalFont);
    if (v->haveInfo) {
        char duration[32];
        Mp3FormatTime(v->info.durationSeconds, duration, sizeof(duration));
        snprintf(text, sizeof(text), "(%s)  %s", duration, v->info.modeText ? v->info.modeText : "");
        TextAt(dc, x + timeSize.cx + 20, y + timeSize.cy - v->normalHeight, kSilver, text);
    }
    y += v->boldHeight + 3;
    snprintf(text, sizeof(text), "\"%s\"", NamePart(v->displayPath));
    TextAt(dc, x, y, RGB(255, 255, 255), text);
    y += v->normalHeight + 3;
    if (v->haveInfo) {
        const char* values[] = {v->info.title, v->info.artist, v->info.album, v->info.year,
                                v->info.genreName ? v->info.genreName : ""};
        for (int i = 0; i < 5; i++) {
            if (!values[i][0])
                continue;
            TextAt(dc, x, y, kSilver, kLabels[i]);
            TextAt(dc, rc.left + 13 + v->labelWidth, y, kSilver, values[i]);
            y += v->normalHeight + 3;
        }
        if (v->info.comment[0]) {
            TextAt(dc, x, y, kSilver, v->info.comment);
            y += v->normalHeight + 3;
        }
        y += 5;
        snprintf(text, sizeof(text), "%lu %s / %llu %s", (unsigned long)v->info.frameCount, "frames",
                 (unsigned long long)v->info.fileSize, "bytes");
        TextAt(dc, x, y, kSilver, text);
        y += v->normalHeight + 5;
        snprintf(text, sizeof(text), "%s %s / %lu %s / %lu %s", v->info.versionText, v->info.layerText,
                 (unsigned long)v->info.bitrate, "bit", (unsigned long)v->info.sampleRate, "Hz");
        TextAt(dc, x, y, kSilver, text);
    }
    SelectObject(dc, old);
}

LRESULT PlayerOnPaint(MpegPlayerView* v) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(v->window, &ps);
    RECT rc;
    GetClientRect(v->window, &rc);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right > 0 ? rc.right : 1, rc.bottom > 0 ? rc.bottom : 1);
    HGDIOBJ old = SelectObject(mem, bmp);
    PaintInfo(v, mem, rc);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    EndPaint(v->window, &ps);
    return 0;
}

void SetPauseButton(MpegPlayerView* v, bool down) {
    SendMessageA(v->toolBar, TB_CHECKBUTTON, kMpegCmdPause, MAKELPARAM(down ? TRUE : FALSE, 0));
}

// The thread has ended (end of file or failure): its record goes, the next
// PLAY starts again from the beginning.
void PlayerEnded(MpegPlayerView* v) {
    Mp3WaitEnd(&v->player, kStopWaitMs);
    v->playState = kMpegStopped;
    SetPauseButton(v, false);
}

void StartPlaying(MpegPlayerView* v) {
    Mp3Start(v->window, &v->player, v->openPath);
    if (!v->player)
        return;
    v->playState = kMpegPlaying;
    v->volumeRead = false;
    Mp3SetNotify(v->player, v->window, WM_USER);
}

LRESULT PlayerOnCommand(MpegPlayerView* v, int id) {
    switch (id) {
    case kMpegCmdPlay:
        if (v->player && Mp3IsFinished(v->player))
            PlayerEnded(v);
        if (!v->player)
            v->playState = kMpegStopped;
        if (v->playState == kMpegStopped)
            StartPlaying(v);
        break;
    case kMpegCmdStop:
        // A paused player stays paused: STOP acts on a playing one only.
        if (v->playState == kMpegPlaying) {
            Mp3WaitEnd(&v->player, kStopWaitMs);
            v->playState = kMpegStopped;
            v->lastSeconds = v->lastPercent = 0;
            SendMessageA(v->seekBar, TBM_SETPOS, TRUE, 0);
            InvalidateRect(v->window, nullptr, FALSE);
        }
        break;
    case kMpegCmdPause:
        if (v->playState == kMpegPlaying) {
            Mp3Pause(v->player);
            v->playState = kMpegPaused;
        } else if (v->playState == kMpegPaused) {
            Mp3Resume(v->player);
            v->playState = kMpegPlaying;
        }
        SetPauseButton(v, v->playState == kMpegPaused);
        break;
    case kMpegCmdRew:
        if (v->playState == kMpegPlaying) {
            uint32_t p = Mp3GetPercent(v->player);
            if (p > 0)
                Mp3SeekPercent(v->player, p - 1);
        }
        break;
    case kMpegCmdFf:
        if (v->playState == kMpegPlaying) {
            uint32_t p = Mp3GetPercent(v->player);
            if (p < 99)
                Mp3SeekPercent(v->player, p + 1);
        }
        break;
    }
    return 0;
}

LRESULT PlayerOnHScroll(MpegPlayerView* v, WPARAM wp, HWND bar) {
    int code = LOWORD(wp);
    int pos = (int)SendMessageA(bar, TBM_GETPOS, 0, 0);
    if (bar == v->seekBar) {
        // One seek per user action, at its end: every step of a drag would
        // drop the queued audio again.
        v->dragging = code == TB_THUMBTRACK;
        if (code == TB_ENDTRACK)
            Mp3SeekPercent(v->player, (uint32_t)pos);
    } else if (bar == v->volumeBar) {
        Mp3SetVolume(v->player, (uint32_t)(pos > 255 ? 255 : pos));
    }
    return 0;
}

LRESULT PlayerOnPosition(MpegPlayerView* v, WPARAM seconds, LPARAM percent) {
    if (percent == kMp3EndOfPlay) {
        if (v->player && Mp3IsFinished(v->player))
            PlayerEnded(v);
        return 0;
    }
    if (!v->volumeRead && v->player) {
        v->volumeRead = true;
        SendMessageA(v->volumeBar, TBM_SETPOS, TRUE, Mp3GetVolume(v->player) & 0xFF);
    }
    if ((uint32_t)seconds != v->lastSeconds) {
        v->lastSeconds = (uint32_t)seconds;
        InvalidateRect(v->window, nullptr, FALSE);
    }
    if ((uint32_t)percent != v->lastPercent) {
        v->lastPercent = (uint32_t)percent;
        if (!v->dragging)
            SendMessageA(v->seekBar, TBM_SETPOS, TRUE, (LPARAM)percent);
    }
    return 0;
}

LRESULT PlayerOnNotify(NMHDR* nm) {
    if (nm->code != TTN_GETDISPINFOA && nm->code != TTN_GETDISPINFOW)
        return 0;
    const char* text = nullptr;
    switch (nm->idFrom) {
    case kMpegCmdPlay: text = "PLAY"; break;
    case kMpegCmdStop: text = "STOP"; break;
    case kMpegCmdPause: text = "PAUSE"; break;
    case kMpegCmdRew: text = "REW"; break;
    case kMpegCmdFf: text = "FF"; break;
    default: return 0;
    }
    if (nm->code == TTN_GETDISPINFOA) {
        NMTTDISPINFOA* di = (NMTTDISPINFOA*)nm;
        lstrcpynA(di->szText, text, sizeof(di->szText));
        di->lpszText = di->szText;
    } else {
        NMTTDISPINFOW* di = (NMTTDISPINFOW*)nm;
        MultiByteToWideChar(CP_ACP, 0, text, -1, di->szText, 80);
        di->lpszText = di->szText;
    }
    return 0;
}

LRESULT CALLBACK PlayerWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CREATE)
        return PlayerOnCreate(w, lp);
    MpegPlayerView* v = ViewOf(w);
    if (!v)
        return DefWindowProcA(w, msg, wp, lp);
    switch (msg) {
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED)
            PlayerOnSize(v, LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return PlayerOnPaint(v);
    case WM_NOTIFY:
        return PlayerOnNotify((NMHDR*)lp);
    case WM_COMMAND:
        return PlayerOnCommand(v, LOWORD(wp));
    case WM_HSCROLL:
        return PlayerOnHScroll(v, wp, (HWND)lp);
    case WM_USER:
        return PlayerOnPosition(v, wp, lp);
    case WM_DESTROY:
        // Destroyed with its parent before the viewer closed the view: the
        // playing stops now; the view itself is freed by the viewer's close.
        SetWindowLongPtrA(w, GWLP_USERDATA, 0);
        v->window = nullptr;
        Mp3WaitEnd(&v->player, kStopWaitMs);
        v->playState = kMpegStopped;
        if (v->playerBusy)
            *v->playerBusy = 0;
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

bool ExtensionWanted(const char* path) {
    const char* name = NamePart(path);
    const char* dot = strrchr(name, '.');
    if (!dot)
        return false;
    const char* ext = dot + 1;
    if (strlen(ext) != 3)
        return true;
    char up[4];
    for (int i = 0; i < 3; i++)
        up[i] = (char)((ext[i] >= 'a' && ext[i] <= 'z') ? ext[i] - 32 : ext[i]);
    up[3] = 0;
    return !strcmp(up, "MP1") || !strcmp(up, "MP2") || !strcmp(up, "MP3") || !strcmp(up, "MPP");
}

} // namespace

bool MpegFileWanted(const char* path) { return path && ExtensionWanted(path) && Mp3CheckFile(path) != 0; }

MpegPlayerView* MpegPlayerViewOpen(HWND parent, HINSTANCE instance, const char* openPath, const char* displayPath,
                                   uint8_t* playerBusy) {
    if (!openPath || strlen(openPath) >= MAX_PATH || (displayPath && strlen(displayPath) >= MAX_PATH))
        return nullptr;
    if (openPath[0] && !MpegFileWanted(openPath))
        return nullptr;
    MpegPlayerView* v = new (std::nothrow) MpegPlayerView();
    if (!v)
        return nullptr;
    v->parent = parent;
    strcpy(v->openPath, openPath);
    strcpy(v->displayPath, displayPath ? displayPath : openPath);
    if (v->openPath[0]) {
        Mp3Start(nullptr, &v->player, v->openPath);
        if (!v->player) {
            delete v;
            return nullptr;
        }
        v->playState = kMpegPlaying;
    }
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc;
    if (!GetClassInfoA(instance, kClassName, &wc)) {
        memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = PlayerWndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        wc.cbWndExtra = sizeof(LONG_PTR);
        RegisterClassA(&wc);
    }
    RECT rc;
    GetClientRect(parent, &rc);
    HWND w = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, rc.right, rc.bottom,
                             parent, nullptr, instance, v);
    if (!w) {
        Mp3WaitEnd(&v->player, kStopWaitMs);
        delete v;
        return nullptr;
    }
    v->playerBusy = playerBusy;
    if (playerBusy)
        *playerBusy = 1;
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    Mp3SetNotify(v->player, w, WM_USER);
    return v;
}

void MpegPlayerViewResize(HWND parent, MpegPlayerView* v) {
    if (!v || !v->window)
        return;
    RECT rc;
    GetClientRect(parent, &rc);
    MoveWindow(v->window, 0, 0, rc.right, rc.bottom, TRUE);
}

void MpegPlayerViewClose(MpegPlayerView* v) {
    if (!v)
        return;
    HWND w = v->window;
    if (w)
        SetWindowLongPtrA(w, GWLP_USERDATA, 0);
    // The player stops whether paused or playing; its thread is waited for.
    if (!Mp3WaitEnd(&v->player, kStopWaitMs))
        v->player = nullptr; // a hung device: the record is left to its thread rather than freed under it
    v->playState = kMpegStopped;
    if (v->playerBusy)
        *v->playerBusy = 0;
    if (w && IsWindow(w))
        DestroyWindow(w);
    if (v->toolTip && IsWindow(v->toolTip))
        DestroyWindow(v->toolTip);
    if (v->images)
        ImageList_Destroy(v->images);
    DeleteObject(v->boldFont);
    DeleteObject(v->normalFont);
    delete v;
}

HWND MpegPlayerViewWindow(const MpegPlayerView* v) { return v ? v->window : nullptr; }
int MpegPlayerViewState(const MpegPlayerView* v) { return v ? v->playState : kMpegStopped; }
Mp3Player* MpegPlayerViewPlayer(const MpegPlayerView* v) { return v ? v->player : nullptr; }
uint32_t MpegPlayerViewSeconds(const MpegPlayerView* v) { return v ? v->lastSeconds : 0; }
