#include "tools/ViewerWindow.h"

#include <string.h>
#include <string>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "wingui/WindowList.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "frontends/ViewerHost.h"
#include "tools/TextCodec.h"

namespace {

const char kViewerClass[] = "ZqViewer";
const int kViewerIconId = 8;
const int kLineStep = 16; // pixels per scroll-bar line step

struct ViewerWindowRecord {
    HWND dialog; // always null: the message loop gives this window no dialog keys
    HWND owner;
    HWND textChild;
    char displayPath[260];
    char openPath[260];
    // openPath is a copy the program made for this window (in its own
    // temporary folder) and goes with it. Decided once, when the window is
    // made: a path that merely differs from displayPath is the user's file.
    bool openIsTemporary;
    int32_t scrollX, scrollY;
    ViewRecord view;
};

ViewerWindowRecord* RecordOf(HWND window) {
    return reinterpret_cast<ViewerWindowRecord*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The file's text for the edit child: UTF-16 after its mark, else the ANSI
// code page (one byte, one character where the code page cannot take the
// bytes), every line end as CR LF and zero bytes as visible stand-ins, so
// that neither a zero nor a bare LF cuts or folds what the user sees.
std::u16string TextForChild(const char* data, uint32_t length) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data);
    std::u16string text;
    if (uint16_t bom = TextDetectBom(bytes, length)) {
        text = TextFromUtf16Bytes(bytes, length, bom);
    } else if (length) {
        int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, data, (int)length, nullptr, 0);
        if (n > 0) {
            text.resize((size_t)n);
            MultiByteToWideChar(CP_ACP, 0, data, (int)length, reinterpret_cast<wchar_t*>(&text[0]), n);
        } else {
            text = TextFromLatin1(bytes, length);
        }
    }
    bool hadNul = false;
    return TextToControl(text, &hadNul);
}

// Text files: a read-only edit child with the whole file, until the full
// text viewer replaces it.
void ShowAsText(HWND window, ViewerWindowRecord* r) {
    r->textChild =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                        0, 0, 0, 0, window, reinterpret_cast<HMENU>(1), GetModuleHandleA(nullptr), nullptr);
    if (!r->textChild) return;
    SendMessageA(r->textChild, EM_LIMITTEXT, 0, 0);
    if (gApp->fontViewer)
        SendMessageA(r->textChild, WM_SETFONT, reinterpret_cast<WPARAM>(gApp->fontViewer), 0);
    uint32_t length = 0;
    char* data = FileReadAll(r->openPath, &length);
    if (data) {
        std::u16string text = TextForChild(data, length);
        MemFree(&data);
        SetWindowTextW(r->textChild, reinterpret_cast<const wchar_t*>(text.c_str()));
    }
    RECT rc;
    GetClientRect(window, &rc);
    MoveWindow(r->textChild, 0, 0, rc.right, rc.bottom, TRUE);
}

// The window takes the picture's size, kept on the work area.
void FitToContent(HWND window, const ViewerWindowRecord* r) {
    if (r->view.contentWidth <= 0 || r->view.contentHeight <= 0) return;
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT wr = {0, 0, r->view.contentWidth, r->view.contentHeight};
    AdjustWindowRectEx(&wr, (DWORD)GetWindowLongPtrA(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongPtrA(window, GWL_EXSTYLE));
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    RECT cur;
    GetWindowRect(window, &cur);
    int maxW = work.right - work.left, maxH = work.bottom - work.top;
    if (w > maxW) w = maxW;
    if (h > maxH) h = maxH;
    int x = cur.left, y = cur.top;
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    MoveWindow(window, x, y, w, h, TRUE);
}

void PlaceAndOpen(HWND window, ViewerWindowRecord* r) {
    ViewerInitRecord(&r->view, r->displayPath, r->openPath, &r->scrollX, &r->scrollY, nullptr);
    HDC dc = GetDC(window);
    ViewerOpen(window, dc, &r->view);
    ReleaseDC(window, dc);
    char caption[300];
    const char* name = strrchr(r->displayPath, '\\');
    lstrcpynA(caption, name ? name + 1 : r->displayPath, sizeof caption);
    SetWindowTextA(window, caption);
    if (r->view.viewKind == kViewText)
        ShowAsText(window, r);
    else
        FitToContent(window, r);
    ViewerResize(window, &r->view);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
    ViewerWindowRecord* r = static_cast<ViewerWindowRecord*>(MemAlloc(sizeof(ViewerWindowRecord)));
    if (!r) return -1;
    memcpy(r, cs->lpCreateParams, sizeof *r);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(r));
    if (ToolWndRegister(window, kToolWndViewer, r) != 0) return -1;
    PlaceAndOpen(window, r);
    return 0;
}

void OnDestroy(HWND window) {
    ViewerWindowRecord* r = RecordOf(window);
    ToolWndUnregister(window);
    if (!r) return;
    KillTimer(window, kViewerTimerGif);
    // The library removes a temporary copy only while the view still shows
    // it; the window removes it in any case, and only its own copy.
    bool temporary = r->openIsTemporary && PathIsOwnTemporary(r->openPath);
    char openPath[260];
    memcpy(openPath, r->openPath, sizeof openPath);
    ViewerClose(&r->view);
    if (temporary && FileCheckExists(openPath) == 0) {
        SetFileAttributesA(openPath, FILE_ATTRIBUTE_NORMAL);
        FileDelete(openPath);
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    MemFree(&r);
}

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    ViewerWindowRecord* r = RecordOf(window);
    if (r && !r->textChild) {
        RECT rc;
        GetClientRect(window, &rc);
        HBRUSH brush = gApp->brushViewerBk ? gApp->brushViewerBk : GetSysColorBrush(COLOR_WINDOW);
        ViewerPaint(window, dc, &rc, brush, &r->view);
    }
    EndPaint(window, &ps);
}

void OnScroll(HWND window, int bar, int code) {
    ViewerWindowRecord* r = RecordOf(window);
    if (!r) return;
    int32_t* pos = bar == SB_HORZ ? &r->scrollX : &r->scrollY;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(window, bar, &si);
    int step = 0;
    switch (code) {
    case SB_LINEUP:
        step = -kLineStep;
        break;
    case SB_LINEDOWN:
        step = kLineStep;
        break;
    case SB_PAGEUP:
        step = -(int)si.nPage;
        break;
    case SB_PAGEDOWN:
        step = (int)si.nPage;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        step = si.nTrackPos - *pos;
        break;
    case SB_TOP:
        step = -*pos;
        break;
    case SB_BOTTOM:
        step = si.nMax;
        break;
    default:
        break;
    }
    if (!step) return;
    int applied = ViewerScroll(window, bar, step);
    if (!applied) return;
    *pos += applied;
    if (bar == SB_HORZ)
        ScrollWindow(window, -applied, 0, nullptr, nullptr);
    else
        ScrollWindow(window, 0, -applied, nullptr, nullptr);
    UpdateWindow(window);
}

bool OnKeyDown(HWND window, WPARAM key) {
    switch (key) {
    case VK_ESCAPE:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return true;
    case VK_UP:
        OnScroll(window, SB_VERT, SB_LINEUP);
        return true;
    case VK_DOWN:
        OnScroll(window, SB_VERT, SB_LINEDOWN);
        return true;
    case VK_LEFT:
        OnScroll(window, SB_HORZ, SB_LINEUP);
        return true;
    case VK_RIGHT:
        OnScroll(window, SB_HORZ, SB_LINEDOWN);
        return true;
    case VK_PRIOR:
        OnScroll(window, SB_VERT, SB_PAGEUP);
        return true;
    case VK_NEXT:
        OnScroll(window, SB_VERT, SB_PAGEDOWN);
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK ViewerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return RecordOf(window) && !RecordOf(window)->textChild
                   ? 1
                   : DefWindowProcA(window, message, wParam, lParam);
    case WM_SIZE:
        if (ViewerWindowRecord* r = RecordOf(window)) {
            if (r->textChild)
                MoveWindow(r->textChild, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            else if (wParam != SIZE_MINIMIZED)
                ViewerResize(window, &r->view);
        }
        return 0;
    case WM_HSCROLL:
        OnScroll(window, SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_VSCROLL:
        OnScroll(window, SB_VERT, LOWORD(wParam));
        return 0;
    case WM_KEYDOWN:
        if (OnKeyDown(window, wParam)) return 0;
        break;
    case WM_TIMER:
        if (ViewerWindowRecord* r = RecordOf(window)) {
            if (wParam == kViewerTimerGif)
                ViewerGifTick(window, &r->view);
            else if (wParam == kViewerTimerCursor)
                ViewerCursorTick(window, &r->view);
        }
        return 0;
    case WM_SETFOCUS:
        if (ViewerWindowRecord* r = RecordOf(window))
            if (r->textChild) SetFocus(r->textChild);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterViewerClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, kViewerClass, &wc)) return true;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ViewerWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kViewerIconId));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kViewerClass;
    return RegisterClassA(&wc) != 0;
}

} // namespace

HWND ViewerFindWindow(const char* displayPath) {
    HWND found = nullptr;
    EnterCriticalSection(&gApp->dialogListLock);
    for (uint32_t i = 0; i < gApp->modelessDialogCount && !found; i++) {
        const ToolWndEntry& e = gApp->modelessDialogs[i];
        const ViewerWindowRecord* r = static_cast<const ViewerWindowRecord*>(e.data);
        if (e.kind == kToolWndViewer && r && lstrcmpiA(r->displayPath, displayPath) == 0)
            found = static_cast<HWND>(e.window);
    }
    LeaveCriticalSection(&gApp->dialogListLock);
    return found;
}

HWND ViewerOpenWindow(HWND owner, const char* displayPath, const char* openPath) {
    if (!ViewerEnsureLoaded(owner)) return nullptr;
    if (HWND existing = ViewerFindWindow(displayPath)) {
        if (IsIconic(existing)) ShowWindow(existing, SW_RESTORE);
        SetForegroundWindow(existing);
        return existing;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterViewerClass(instance)) return nullptr;
    static ViewerWindowRecord create; // copied by WM_CREATE
    memset(&create, 0, sizeof create);
    create.owner = owner;
    lstrcpynA(create.displayPath, displayPath, sizeof create.displayPath);
    lstrcpynA(create.openPath, openPath, sizeof create.openPath);
    create.openIsTemporary = lstrcmpiA(create.openPath, create.displayPath) != 0 && PathIsOwnTemporary(openPath);
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, kViewerClass, "",
                                  WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, &create);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}
