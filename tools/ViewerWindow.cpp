#include "tools/ViewerWindow.h"

#include <shellapi.h>
#include <string.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "frontends/ViewerHost.h"
#include "panels/PanelInput.h"
#include "panels/PanelIter.h"
#include "tools/ExtPrograms.h"
#include "tools/HexEditor.h"
#include "tools/RunServices.h"
#include "tools/SafeSave.h"
#include "tools/TextEditor.h"

namespace {

// A fixed class name: one taken from the language table would no longer
// match after a language change.
const char kViewerClass[] = "ZqViewer";
const int kViewerIconId = 8;
const int kLineStep = 16; // pixels per scroll-bar line step
// Posted to a window that must be made anew with another frame (a picture as
// large as the screen is shown in a frameless popup; anything else needs the
// frame back). wParam: non-zero for the popup.
const UINT kMsgReopen = WM_APP + 18;

enum : uint8_t {
    kFlagPopup = 0x4, // the window is a frameless popup over the whole screen
};

struct ViewerWindowRecord {
    // Text mode's record (tool kind 3). Its paths are the window's paths in
    // every mode, and its openIsTemporary says whether openPath is a copy the
    // program made for this window in its own temporary folder (decided when
    // the path is set: a path that merely differs from displayPath is the
    // user's file). It comes first: the text child's procedure and the font
    // and colour commands reach it through the window's user data. Its first
    // field (owner) stays null: the message loop treats the first handle of
    // a tool window's record as a dialog.
    EditWindowRecord edit;
    HWND owner;
    uint8_t flags;
    // The copy goes on to the window that replaces this one (Reopen): it is
    // neither deleted here nor by the library's close.
    bool handedOver;
    int32_t scrollX, scrollY;
    ViewRecord view;
};

ViewerWindowRecord* RecordOf(HWND window) {
    return reinterpret_cast<ViewerWindowRecord*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool IsViewerWindow(HWND window) {
    char cls[32];
    return window && GetClassNameA(window, cls, sizeof cls) && strcmp(cls, kViewerClass) == 0;
}

bool TextMode(const ViewerWindowRecord* r) {
    return r->edit.textChild != nullptr;
}

void SetCaption(HWND window, const ViewerWindowRecord* r) {
    char caption[300];
    const char* name = strrchr(r->edit.displayPath, '\\');
    lstrcpynA(caption, name ? name + 1 : r->edit.displayPath, sizeof caption);
    SetWindowTextA(window, caption);
}

void DesktopSize(int* width, int* height) {
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    *width = desk.right - desk.left;
    *height = desk.bottom - desk.top;
}

// Kinds whose reported content size the window takes (and that may fill the
// screen as a popup); the others (tables, metafiles, dumps, pages, listings,
// the player) get the saved window size.
bool KeepsContentSize(int kind) {
    return kind == kViewGif || kind == kViewIconFile || kind == kViewJpeg || kind < kViewDbase ||
           kind > kViewMpeg;
}

// The window takes the picture's size, kept on the work area.
void FitToContent(HWND window, const ViewerWindowRecord* r) {
    if (r->view.contentWidth <= 0 || r->view.contentHeight <= 0) return;
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT wr = {0, 0, r->view.contentWidth, r->view.contentHeight};
    AdjustWindowRectEx(&wr, (DWORD)GetWindowLongPtrA(window, GWL_STYLE), GetMenu(window) != nullptr,
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

// Text mode: the read-only text viewer in this window.
void ShowAsText(HWND window, ViewerWindowRecord* r) {
    ShowScrollBar(window, SB_BOTH, FALSE);
    if (!EditAttachText(window, &r->edit)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    uint32_t error = EditLoadEditor(&r->edit, r->edit.openPath);
    if (error) {
        char detail[400];
        SaveErrorText(error, "", detail, sizeof detail);
        EditorShowText(window, Txt::errNotLoaded, r->edit.displayPath, MB_OK | MB_ICONSTOP, detail + 2);
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    SendMessageA(r->edit.textChild, EM_SETSEL, 0, 0);
    RECT rc;
    GetClientRect(window, &rc);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
}

void PlaceAndOpen(HWND window, ViewerWindowRecord* r) {
    ViewerInitRecord(&r->view, r->edit.displayPath, r->edit.openPath, &r->scrollX, &r->scrollY, nullptr);
    HDC dc = GetDC(window);
    ViewerOpen(window, dc, &r->view);
    ReleaseDC(window, dc);
    SetCaption(window, r);
    bool popup = (r->flags & kFlagPopup) != 0;
    if (r->view.viewKind == kViewText) {
        if (popup) { // a text needs the frame, the menu and the tool bar
            PostMessageA(window, kMsgReopen, 0, 0);
            return;
        }
        ShowAsText(window, r);
        return;
    }
    EditDetachText(window, &r->edit);
    int deskW, deskH;
    DesktopSize(&deskW, &deskH);
    bool screenSized = KeepsContentSize(r->view.viewKind) && r->view.contentWidth == deskW &&
                       r->view.contentHeight == deskH;
    if (screenSized != popup) {
        PostMessageA(window, kMsgReopen, screenSized, 0);
        return;
    }
    if (popup)
        MoveWindow(window, 0, 0, deskW, deskH, TRUE);
    else
        FitToContent(window, r);
    ViewerResize(window, &r->view);
}

// Deletes openPath when it is this window's own copy; the user's file stays.
void DropOwnCopy(ViewerWindowRecord* r) {
    if (r->edit.openIsTemporary && !r->handedOver && PathIsOwnTemporary(r->edit.openPath) &&
        FileCheckExists(r->edit.openPath) == 0) {
        SetFileAttributesA(r->edit.openPath, FILE_ATTRIBUTE_NORMAL);
        FileDelete(r->edit.openPath);
    }
    r->edit.openIsTemporary = false;
}

void CloseView(ViewerWindowRecord* r) {
    // The library removes a copy it believes temporary at its close; a copy
    // that goes on to another window must not look like one to it.
    if (r->handedOver) r->view.openPath = r->view.displayPath;
    ViewerClose(&r->view);
    r->view.viewKind = kViewNone;
    r->view.viewObject = nullptr;
}

HWND CreateViewer(HWND owner, const char* displayPath, const char* openPath, bool openIsTemporary, uint8_t flags);

// Makes the window anew with the other frame, on the same file. The copy
// (if any) goes to the new window, which deletes it in its turn.
void Reopen(HWND window, bool popup) {
    ViewerWindowRecord* r = RecordOf(window);
    if (!r) return;
    char displayPath[MAX_PATH], openPath[MAX_PATH];
    memcpy(displayPath, r->edit.displayPath, sizeof displayPath);
    memcpy(openPath, r->edit.openPath, sizeof openPath);
    bool temporary = r->edit.openIsTemporary;
    HWND owner = r->owner;
    r->handedOver = true;
    DestroyWindow(window);
    HWND next = CreateViewer(owner, displayPath, openPath, temporary, popup ? kFlagPopup : 0);
    if (!next && temporary && PathIsOwnTemporary(openPath)) {
        // Nobody shows the copy any more: it goes as it would have with the window.
        SetFileAttributesA(openPath, FILE_ATTRIBUTE_NORMAL);
        FileDelete(openPath);
    }
}

void StorePosition(HWND window, const ViewerWindowRecord* r) {
    if (!gApp || (r->flags & kFlagPopup) || IsIconic(window)) return;
    if (TextMode(r)) {
        WndStorePos(window, &gApp->windowPos[kPosViewer]);
        if (r->edit.wordWrap)
            gApp->generalOptions |= kGenWordWrap;
        else
            gApp->generalOptions &= ~(uint32_t)kGenWordWrap;
    } else if (r->view.viewKind == kViewMpeg) {
        WndStorePos(window, &gApp->windowPos[kPosAudio]);
    } else {
        // A picture's window has the picture's size: only its place is kept.
        WindowPos& pos = gApp->windowPos[kPosViewer];
        RECT now;
        GetWindowRect(window, &now);
        int32_t width = pos.right - pos.left, height = pos.bottom - pos.top;
        if (width <= 0 || height <= 0) {
            width = now.right - now.left;
            height = now.bottom - now.top;
        }
        pos.left = now.left;
        pos.top = now.top;
        pos.right = now.left + width;
        pos.bottom = now.top + height;
    }
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
    StorePosition(window, r);
    CloseView(r);
    DropOwnCopy(r);
    EditDetachText(window, &r->edit);
}

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    ViewerWindowRecord* r = RecordOf(window);
    if (r && !TextMode(r)) {
        RECT rc;
        GetClientRect(window, &rc);
        HBRUSH brush = gApp->brushViewerBk ? gApp->brushViewerBk : GetSysColorBrush(COLOR_WINDOW);
        ViewerPaint(window, dc, &rc, brush, &r->view);
    }
    EndPaint(window, &ps);
}

void OnScroll(HWND window, int bar, int code) {
    ViewerWindowRecord* r = RecordOf(window);
    if (!r || TextMode(r)) return;
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

bool CursorEntry(int panel, char* path, int size, bool* folder) {
    PanelIter iter;
    FileEntry* e = PanelGetCursorEntry(&iter, panel);
    bool found = e && PanelEntryPath(e, panel, path, size) == 0;
    *folder = e && (EntryIsFolder(e) || EntryIsUpDir(e));
    PanelIterEnd(&iter);
    return found;
}

// Commands 1101 to 1104: only while the active panel's cursor is on the
// file shown; folders on the way are stepped over.
void StepThroughPanel(HWND window, ViewerWindowRecord* r, int command) {
    if (!gApp) return;
    int panel = gApp->activePanel & 1;
    HWND list = gApp->panels[panel].listWindow;
    char path[MAX_PATH];
    bool folder = false;
    if (!list || !CursorEntry(panel, path, sizeof path, &folder) || lstrcmpiA(path, r->edit.displayPath) != 0)
        return;
    static const WPARAM keys[] = {VK_HOME, VK_UP, VK_DOWN, VK_END};
    PanelHandleKey(list, WM_KEYDOWN, keys[command - kViewerStepFirst], 0);
    if (!CursorEntry(panel, path, sizeof path, &folder)) return;
    // Down over folders until the cursor stops moving (the end of the list).
    for (uint32_t guard = 0; folder && guard < 0x100000; guard++) {
        char before[MAX_PATH];
        memcpy(before, path, sizeof before);
        PanelHandleKey(list, WM_NULL, VK_DOWN, 0);
        if (!CursorEntry(panel, path, sizeof path, &folder) || strcmp(before, path) == 0) break;
    }
    if (folder || lstrcmpiA(path, r->edit.displayPath) == 0) return;
    RunWithLocalCopy(window, panel, path, nullptr, ViewerShowFileAction);
}

void OnDropFiles(HWND window, HDROP drop) {
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        char name[MAX_PATH];
        if (!DragQueryFileA(drop, i, name, sizeof name)) continue;
        DWORD attributes = GetFileAttributesA(name);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        ViewerShowFile(window, name, name);
        break;
    }
    DragFinish(drop);
    WndBringToFront(window);
}

bool OnCommand(HWND window, ViewerWindowRecord* r, int id) {
    switch (id) {
    case kViewerStepFirst:
    case kViewerStepPrevious:
    case kViewerStepNext:
    case kViewerStepLast:
        StepThroughPanel(window, r, id);
        return true;
    case 120:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return true;
    case 11946:
        if (!TextMode(r)) {
            StepThroughPanel(window, r, kViewerStepNext);
            return true;
        }
        return false;
    }
    return false;
}

LRESULT CALLBACK ViewerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ViewerWindowRecord* r = RecordOf(window);
    if (r && message == WM_COMMAND && OnCommand(window, r, LOWORD(wParam))) return 0;
    LRESULT result = 0;
    if (r && message != WM_DESTROY && TextMode(r) &&
        EditTextMessage(window, &r->edit, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_NCDESTROY:
        if (r) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            MemFree(&r);
        }
        break;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return r && !TextMode(r) ? 1 : DefWindowProcA(window, message, wParam, lParam);
    case WM_SIZE:
        if (r && wParam != SIZE_MINIMIZED && !TextMode(r)) ViewerResize(window, &r->view);
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
        if (r && !TextMode(r)) {
            if (wParam == kViewerTimerGif)
                ViewerGifTick(window, &r->view);
            else if (wParam == kViewerTimerCursor)
                ViewerCursorTick(window, &r->view);
        }
        return 0;
    case WM_SETFOCUS:
        if (r && r->view.viewKind == kViewHexDump && r->view.viewObject) {
            // The dump takes the keys and the wheel.
            HWND dump = static_cast<HexEdState*>(r->view.viewObject)->control;
            if (dump) SetFocus(dump);
        }
        if (r && r->view.viewKind == kViewMpeg && r->view.viewObject) ViewerActivate(r->view.viewObject);
        return 0;
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    case kMsgReopen:
        Reopen(window, wParam != 0);
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

HWND CreateViewer(HWND owner, const char* displayPath, const char* openPath, bool openIsTemporary, uint8_t flags) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterViewerClass(instance)) return nullptr;
    static ViewerWindowRecord create; // copied by WM_CREATE
    memset(&create, 0, sizeof create);
    create.owner = owner;
    create.flags = flags;
    create.edit.toolKind = kToolWndViewer;
    create.edit.wordWrap = gApp && (gApp->generalOptions & kGenWordWrap) ? 1 : 0;
    lstrcpynA(create.edit.displayPath, displayPath, sizeof create.edit.displayPath);
    lstrcpynA(create.edit.openPath, openPath, sizeof create.edit.openPath);
    create.edit.openIsTemporary = openIsTemporary;
    DWORD style = WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    if (flags & kFlagPopup) {
        style = WS_POPUP;
        x = y = 0;
        DesktopSize(&w, &h);
    } else if (gApp) {
        // A second viewer opens below and right of the first.
        WindowPos& pos = gApp->windowPos[kPosViewer];
        WndCascade(nullptr, &pos, kToolWndViewer);
        if (pos.right - pos.left > 0 && pos.bottom - pos.top > 0) {
            // A place saved on a larger screen comes back onto this one.
            RECT place = {pos.left, pos.top, pos.right, pos.bottom};
            WndFitDesktop(&place);
            x = place.left;
            y = place.top;
            w = place.right - place.left;
            h = place.bottom - place.top;
        }
        if (pos.maximised) style |= WS_MAXIMIZE;
    }
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, kViewerClass, "", style, x, y, w, h, nullptr, nullptr,
                                  instance, &create);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

} // namespace

HWND ViewerFindWindow(const char* displayPath) {
    HWND found = nullptr;
    EnterCriticalSection(&gApp->dialogListLock);
    for (uint32_t i = 0; i < gApp->modelessDialogCount && !found; i++) {
        const ToolWndEntry& e = gApp->modelessDialogs[i];
        // Every viewer's record starts with the text record and its paths.
        const EditWindowRecord* r = static_cast<const EditWindowRecord*>(e.data);
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
    bool temporary = lstrcmpiA(openPath, displayPath) != 0 && PathIsOwnTemporary(openPath);
    return CreateViewer(owner, displayPath, openPath, temporary, 0);
}

bool ViewerShowFile(HWND window, const char* displayPath, const char* openPath) {
    if (!IsViewerWindow(window)) return false;
    ViewerWindowRecord* r = RecordOf(window);
    if (!r) return false;
    CloseView(r);
    DropOwnCopy(r);
    lstrcpynA(r->edit.displayPath, displayPath, sizeof r->edit.displayPath);
    lstrcpynA(r->edit.openPath, openPath, sizeof r->edit.openPath);
    r->edit.openIsTemporary = lstrcmpiA(openPath, displayPath) != 0 && PathIsOwnTemporary(openPath);
    r->scrollX = r->scrollY = 0;
    KillTimer(window, kViewerTimerGif);
    KillTimer(window, kViewerTimerCursor);
    PlaceAndOpen(window, r);
    InvalidateRect(window, nullptr, TRUE);
    return true;
}

int ViewerShowFileAction(HWND owner, const char* displayName, const char* localPath, const LocationNode*) {
    return ViewerShowFile(owner, displayName, localPath) ? 1 : 0;
}
