#include "frontends/ViewerHost.h"

#include <process.h>
#include <richedit.h>

#include "AppState.h"
#include "wingui/GuiDraw.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "wingui/ShellServices.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "frontends/Libraries.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "tools/HexEditor.h"

namespace {

const unsigned kTextView = 5030;
const int kResourceIconId = 29;
const UINT kTextChildId = 0xFAB;
const DWORD kTextChildStyle = 0x5030A9C4; // read-only multi-line rich edit with both bars
const uint32_t kOptionWordWrap = 0x40000;

uint8_t gPlayerBusy;
HICON gResourceIcon;

void HostEditSetTextColor(HWND edit, COLORREF colour) {
    CHARFORMATA cf = {};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = colour;
    SendMessageA(edit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
}

// Fills the text child with the file. Runs on the loader thread: it only
// sends messages to the child, which fail quietly once it is gone.
int HostEditLoadFile(HWND edit, const char* path, COLORREF textColour) {
    uint32_t length = 0;
    char* text = FileReadAll(path, &length);
    if (!text) return 0;
    SendMessageA(edit, EM_EXLIMITTEXT, 0, (LPARAM)length + 1);
    LRESULT ok = SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    HostEditSetTextColor(edit, textColour);
    MemFree(&text);
    return ok ? 1 : 0;
}

void HostSetTitle(HWND window, const char* path) {
    WndSetDocTitle(window, kTextView, path + PathFindName(path), nullptr);
}

void HostGetText(int id, char* buffer, int size) {
    const LanguageTable* table =
        gApp && gApp->langTable ? gApp->langTable : BuiltinLanguageTables[kBuiltinEnglish];
    LangGetText(table, id + 1000, buffer, size);
}

HICON HostStateIcon() {
    return LoadIconA(nullptr, IDI_APPLICATION);
}

HICON HostResourceIcon() {
    if (!gResourceIcon)
        gResourceIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kResourceIconId));
    return gResourceIcon ? gResourceIcon : LoadIconA(nullptr, IDI_APPLICATION);
}

// The loader thread gets its own copy of what command 14 reads: the view it
// was started for may close (and be reused) before the file is in.
struct TextLoad {
    ViewRecord view;
    char path[260];
    COLORREF textColor;
};

constexpr DWORD kTextLoadAtOnce = 256 * 1024;

unsigned __stdcall TextLoadThread(void* param) {
    TextLoad* load = static_cast<TextLoad*>(param);
    ViewerSendCommand(kViewCmdLoadText, reinterpret_cast<uintptr_t>(&load->view));
    MemFree(&load);
    return 0;
}

void HostCreateTextView(HWND window, ViewRecord* view) {
    if (!gApp->richEditLib) gApp->richEditLib = LoadLibraryA("RICHED32.DLL");
    if (!gApp->richEditLib) return;
    if (view->viewObject && IsWindow(static_cast<HWND>(view->viewObject)))
        DestroyWindow(static_cast<HWND>(view->viewObject));
    view->viewObject = nullptr;
    HWND edit = CreateWindowExA(0, "RICHEDIT", "", kTextChildStyle, 0, 0, 0, 0, window,
                                reinterpret_cast<HMENU>((INT_PTR)kTextChildId), view->instance, nullptr);
    if (!edit) return;
    SendMessageA(edit, EM_SETBKGNDCOLOR, 0,
                 view->backColor ? (LPARAM)*view->backColor : (LPARAM)GetSysColor(COLOR_WINDOW));
    if (view->font && *view->font) SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(*view->font), 0);
    view->viewObject = edit;
    view->viewKind = kViewText;
    ViewerResize(window, view);
    bool wrap = gApp->generalOptions & kOptionWordWrap;
    SendMessageA(edit, EM_SETTARGETDEVICE, 0, wrap ? 0 : 1);
    TextLoad* load = static_cast<TextLoad*>(MemAlloc(sizeof(TextLoad)));
    if (!load) return;
    lstrcpynA(load->path, view->openPath, sizeof load->path);
    load->textColor = view->textColor ? *view->textColor : 0;
    load->view.viewObject = edit;
    load->view.viewKind = kViewText;
    load->view.openPath = load->path;
    load->view.displayPath = load->path;
    load->view.textColor = &load->textColor;
    // A small file is read at once: it is in before the view can close, so
    // a copy made for the view can go with it and nothing holds the file
    // after the close. A large one comes in on a thread of its own.
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (GetFileAttributesExA(load->path, GetFileExInfoStandard, &info) && !info.nFileSizeHigh &&
        info.nFileSizeLow <= kTextLoadAtOnce) {
        TextLoadThread(load);
        return;
    }
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, TextLoadThread, load, 0, nullptr));
    if (thread)
        CloseHandle(thread);
    else
        MemFree(&load);
}

// The dump child (view kind 10): rows read from the file as they come on
// screen. The library passes the size's low 32 bits; the dump takes the
// whole size from the file. Without the dump the view shows nothing (kind 0).
void HostOpenHexView(HWND window, ViewRecord* view, uint32_t fileSize) {
    uint64_t size = fileSize;
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (view->openPath && GetFileAttributesExA(view->openPath, GetFileExInfoStandard, &info))
        size = (uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    HexEdState* dump = view->openPath ? HexDumpOpen(window, view->openPath, size, view->hostWindow != nullptr) : nullptr;
    view->viewObject = dump;
    if (!dump) {
        view->viewKind = kViewNone;
        return;
    }
    ViewerResize(window, view);
}

void HostFitChild(HWND window, void* dumpView) {
    HWND child = dumpView ? static_cast<HexEdState*>(dumpView)->control : nullptr;
    RECT r;
    if (child && GetClientRect(window, &r)) MoveWindow(child, 0, 0, r.right, r.bottom, TRUE);
}

void HostCloseHexView(ViewRecord* view) {
    HexDumpClose(static_cast<HexEdState*>(view->viewObject));
    view->viewObject = nullptr;
}

void HostResetPanelScroll() {
    for (int i = 0; i < 2; i++)
        if (gApp->panels[i].listWindow) ViewerSetScrollRanges(gApp->panels[i].listWindow, 0, 0);
}

// No archive library is part of the program: nothing is an archive, and no
// library is searched for on every view.
uint16_t HostArchiveType(const char*) {
    return 0;
}

void* HostMemAlloc(size_t n) {
    return MemAlloc(n);
}
void** HostMemFree(void** p) {
    return MemFree(p);
}

// The library deletes the copy a view opened when the view closes. It gets
// this instead of a plain delete: only a copy the program made in its own
// temporary folder goes; a user's file passed as the opened path stays
// whatever the library believes (ERROR_ACCESS_DENIED, nothing touched).
uint32_t HostDeleteTemporaryCopy(const char* path) {
    if (!PathIsOwnTemporary(path)) return ERROR_ACCESS_DENIED;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return FileDelete(path);
}

} // namespace

void ViewerFillHostServices(ViewerHostServices* h) {
    h->FileCheckExists = FileCheckExists;
    h->FileOpen = FileOpen;
    h->FileRead = FileRead;
    h->FileClose = FileClose;
    h->FileGetSize = FileGetSize;
    h->FileDelete = HostDeleteTemporaryCopy;
    h->FileSeek = FileSeek;
    h->FileReadAll = FileReadAll;
    h->EditSetTextColor = HostEditSetTextColor;
    h->PathFindExtension = PathFindExtension;
    h->PathFindName = PathFindName;
    h->PathGetShortName = PathGetShortName;
    h->FontMakeSansSerif = FontMakeSansSerif;
    h->MemAlloc = HostMemAlloc;
    h->MemFree = HostMemFree;
    h->WndMove = WndMove;
    h->StrAppend = StrAppend;
    h->StrUpper = StrUpper;
    h->ViewerSetTitle = HostSetTitle;
    h->EditLoadFile = HostEditLoadFile;
    h->ViewerGetText = HostGetText;
    h->ViewerGetStateIcon = HostStateIcon;
    h->ViewerGetResourceIcon = HostResourceIcon;
    h->ViewerCreateTextView = HostCreateTextView;
    h->ViewerOpenHexView = HostOpenHexView;
    h->ViewerFitChild = HostFitChild;
    h->ViewerCloseHexView = HostCloseHexView;
    h->ViewerResetPanelScroll = HostResetPanelScroll;
    h->ArcGetArchiveType = HostArchiveType;
}

int ViewerSendCommand(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4, uintptr_t a5) {
    ViewerCommandRecord r = {code, {a1, a2, a3, a4, a5}, -1};
    return ViewerCallLibrary(&r);
}

bool ViewerEnsureLoaded(HWND owner) {
    if (!gApp->viewerEntry) ViewerLoad();
    if (gApp->viewerEntry) return true;
    AppReportMissingModule(owner, "LUMORA.DLL", kLibViewer);
    return false;
}

static uintptr_t W(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

void ViewerClose(ViewRecord* view) {
    ViewerSendCommand(kViewCmdClose, W(view));
}
void ViewerPaint(HWND window, HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view) {
    ViewerSendCommand(kViewCmdPaint, W(window), W(hdc), W(rect), W(brush), W(view));
}
void ViewerSetTextStyle(HFONT font, COLORREF text, COLORREF back, ViewRecord* view) {
    ViewerSendCommand(kViewCmdTextStyle, W(font), text, back, W(view));
}
void ViewerResize(HWND window, ViewRecord* view) {
    ViewerSendCommand(kViewCmdResize, W(window), W(view));
}
int ViewerScroll(HWND window, int bar, int delta) {
    return ViewerSendCommand(kViewCmdScroll, W(window), (uintptr_t)bar, (uintptr_t)(intptr_t)delta);
}
void ViewerSetScrollRanges(HWND window, int width, int height) {
    ViewerSendCommand(kViewCmdScrollRange, W(window), (uintptr_t)width, (uintptr_t)height);
}
void ViewerOpen(HWND window, HDC hdc, ViewRecord* view) {
    ViewerSendCommand(kViewCmdOpen, W(window), W(hdc), W(view));
}
void ViewerCursorTick(HWND window, ViewRecord* view) {
    ViewerSendCommand(kViewCmdCursorTick, W(window), W(view));
}
void ViewerGifTick(HWND window, ViewRecord* view) {
    ViewerSendCommand(kViewCmdGifTick, W(window), W(view));
}
void ViewerActivate(void* viewObject) {
    ViewerSendCommand(kViewCmdActivate, W(viewObject));
}

void ViewerInitRecord(ViewRecord* view, char* displayPath, char* openPath, int32_t* scrollX, int32_t* scrollY,
                      HWND hostWindow) {
    view->instance = GetModuleHandleA(nullptr);
    view->displayPath = displayPath;
    view->openPath = openPath;
    view->scrollX = scrollX;
    view->scrollY = scrollY;
    view->textColor = &gApp->colorViewer[0];
    view->backColor = &gApp->colorViewer[1];
    view->font = &gApp->fontViewer;
    view->playerBusy = &gPlayerBusy;
    view->hostWindow = hostWindow;
    view->options = &gApp->panelOptions;
}

int ViewerQuickViewUpdate(ViewRecord* view, int sourcePanel, int viewPanel) {
    view->scrollX = &gApp->topIndex[viewPanel];
    view->scrollY = &gApp->scrollPos[viewPanel];
    char path[260] = "";
    uint16_t kind = kViewNone;
    if ((gApp->panelMode[sourcePanel] & 0xF) == 4) {
        PanelGetPath(gApp->activePanel & 1, path, sizeof path);
        kind = kViewFolder;
    } else {
        PanelIter it;
        FileEntry* e = PanelGetCursorEntry(&it, sourcePanel);
        if (e) kind = EntryIsUpDir(e) ? kViewUpDir : EntryIsFolder(e) ? kViewFolder : kViewNone;
        PanelIterEnd(&it);
        if (!e || !PanelCursorEntryPath(sourcePanel, path, sizeof path) || !path[0]) return 0;
    }
    char* names = gApp->quickViewNames[0];
    if (view->displayPath == names && !strcmp(path, names)) return 0;
    // Archive members would be extracted to a temporary copy here; no
    // archive is listed in a panel yet, so the entry is opened where it is.
    ViewerClose(view);
    HWND pane = gApp->panels[viewPanel].listWindow;
    ViewerInitRecord(view, gApp->quickViewNames[0], gApp->quickViewNames[1], &gApp->topIndex[viewPanel],
                     &gApp->scrollPos[viewPanel], pane);
    view->textColor = &gApp->panelColors[2];
    view->backColor = &gApp->panelColors[0];
    view->font = &gApp->fontPanel;
    if (kind) view->viewKind = kind;
    gApp->topIndex[viewPanel] = gApp->scrollPos[viewPanel] = 0;
    lstrcpynA(gApp->quickViewNames[0], path, 260);
    lstrcpynA(gApp->quickViewNames[1], path, 260);
    if (gApp->panels[viewPanel].pathBar) InvalidateRect(gApp->panels[viewPanel].pathBar, nullptr, TRUE);
    if (pane) InvalidateRect(pane, nullptr, TRUE);
    return 1;
}

void ViewerQuickViewPaint(HWND listWindow, HDC hdc, const RECT* rect, HBRUSH brush) {
    ViewRecord* view = &gApp->quickView;
    if (!gApp->viewerEntry || view->hostWindow != listWindow) {
        FillRect(hdc, rect, brush);
        return;
    }
    ViewerPaint(listWindow, hdc, rect, brush, view);
}

void ViewerQuickViewClose() {
    ViewRecord* view = &gApp->quickView;
    if (!view->displayPath) return; // never shown
    if (gApp->viewerEntry) ViewerClose(view);
    view->viewKind = kViewNone;
    view->viewObject = nullptr;
    view->hostWindow = nullptr;
    gApp->quickViewNames[0][0] = gApp->quickViewNames[1][0] = 0;
}
