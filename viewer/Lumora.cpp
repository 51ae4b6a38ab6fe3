// LUMORA.DLL: the export "v" and the view operations it dispatches to. The
// detection chain decides what a file is and builds its view.
#include "viewer/Detect.h"
#include "viewer/JpegRead.h"
#include "viewer/LumoraInternal.h"
#include "viewer/TiffRead.h"
#include "mpaudio/MpegPlayerView.h"

ViewerHostServices* gHost;
HWND gHostMainWindow;
static const char* gHostTitle;
PicAllocator gPicAlloc;

void ViewSetScrollRange(HWND window, int width, int height) {
    RECT client = {};
    GetClientRect(window, &client);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMax = width > 0 ? width - 1 : width;
    si.nPage = (UINT)(client.right - client.left);
    SetScrollInfo(window, SB_HORZ, &si, TRUE);
    si.nMax = height > 0 ? height - 1 : height;
    si.nPage = (UINT)(client.bottom - client.top);
    SetScrollInfo(window, SB_VERT, &si, TRUE);
}

// A view that is a window of its own covers the whole client area.
static void ViewFitChild(HWND window, HWND child) {
    RECT r;
    GetClientRect(window, &r);
    if (child) gHost->WndMove(child, 0, 0, r.right, r.bottom);
}

static void PaneScroll(HWND window, ViewRecord* view) {
    if (view->hostWindow) ViewSetScrollRange(window, view->contentWidth, view->contentHeight);
}

static bool IsPictureKind(uint16_t kind) {
    switch (kind) {
    case kViewBitmap:
    case kViewJpeg:
    case kViewPcx:
    case kViewPng:
    case kViewTga:
    case kViewTiff:
    case kViewXbm:
    case kViewXpm:
        return true;
    default:
        return false;
    }
}

static void ViewClose(ViewRecord* view) {
    if (view->openPath && view->displayPath && strcmp(view->openPath, view->displayPath) != 0 &&
        strcmp(view->openedName, view->displayPath) == 0 && gHost->FileCheckExists(view->openPath) == 0)
        gHost->FileDelete(view->openPath);
    if (view->displayPath) view->displayPath[0] = 0;
    if (view->openPath) view->openPath[0] = 0;
    // The player stops and lets go of the file before anything else.
    if (view->viewKind == kViewMpeg && view->viewObject) {
        MpegPlayerViewClose(static_cast<MpegPlayerView*>(view->viewObject));
        view->viewObject = nullptr;
    }
    if (view->viewObject) {
        uint16_t kind = view->viewKind;
        if (IsPictureKind(kind))
            PicFree(view);
        else if (kind == kViewGif)
            GifFree(view);
        else if (kind == kViewIconFile)
            IcoFree(view);
        else if (kind == kViewAniCursor)
            AniFree(view);
        else if (kind == kViewIcon)
            DestroyIcon(static_cast<HICON>(view->viewObject));
        else if (kind == kViewFolder && view->viewObject != gHost->ViewerGetResourceIcon())
            DestroyIcon(static_cast<HICON>(view->viewObject)); // the folder's shell icon
        else if (kind == kViewMetafile)
            MetafileFree(view);
        else if (kind == kViewMedia)
            MediaClose(view);
        else if (kind == kViewText && IsWindow(static_cast<HWND>(view->viewObject)))
            SendMessageA(static_cast<HWND>(view->viewObject), WM_CLOSE, 0, 0);
        else if (kind == kViewHexDump)
            gHost->ViewerCloseHexView(view);
        else if (kind == kViewDbase)
            DbfViewClose(view);
        else if (kind == kViewCoff)
            LibListClose(view);
        else if (kind == kViewHtml)
            HtmlViewClose(view);
    }
    view->viewKind = kViewNone;
    view->viewObject = nullptr;
    if (view->hostWindow) gHost->ViewerResetPanelScroll();
}

struct ProbeResult {
    bool binary;
    bool html;
    uint32_t size; // low 32 bits
};

// The first 260 bytes: a zero byte among them makes the file binary; the
// same bytes are the text the HTML test looks at.
static ProbeResult BinaryProbe(const char* path) {
    ProbeResult r = {};
    HANDLE file;
    if (gHost->FileOpen(path, &file, GENERIC_READ) != 0) return r;
    uint64_t size = 0;
    uint8_t probe[kDetectProbe];
    if (gHost->FileGetSize(gHostMainWindow, file, &size) == 0) {
        uint32_t n = size < kDetectProbe ? (uint32_t)size : (uint32_t)kDetectProbe;
        if (n && gHost->FileRead(file, probe, n) == 0) {
            r.binary = DetectBinary(probe, n);
            r.html = DetectHtml(probe, n);
        }
        r.size = (uint32_t)size;
    }
    gHost->FileClose(file);
    return r;
}

static bool ShowAsDump(HWND window, ViewRecord* view, uint32_t size) {
    view->viewKind = kViewHexDump;
    gHost->ViewerOpenHexView(window, view, size);
    return view->viewKind != kViewNone;
}

static bool ShowPicture(HWND window, ViewRecord* view, PictureRecord* pic, uint16_t kind) {
    if (!pic) return false;
    view->viewObject = pic;
    view->viewKind = kind;
    PaneScroll(window, view);
    return true;
}

static void ViewResize(HWND window, ViewRecord* view);

static void ViewOpen(HWND window, HDC hdc, ViewRecord* view) {
    view->contentWidth = view->contentHeight = 0;
    lstrcpynA(view->openedName, view->displayPath, sizeof view->openedName);
    ViewSetScrollRange(window, 0, 0);
    const char* path = view->openPath;
    bool exists = gHost->FileCheckExists(path) == 0;
    if (view->viewKind == kViewUpDir) {
        view->viewObject = gHost->ViewerGetStateIcon();
        return;
    }
    if (view->viewKind == kViewFolder) {
        HICON icon = exists ? ShellIconOf(path) : nullptr;
        view->viewObject = icon ? icon : gHost->ViewerGetResourceIcon();
        return;
    }
    if (!exists) {
        ViewClose(view);
        return;
    }
    if (gHost->ArcGetArchiveType(path)) {
        ProbeResult probe = BinaryProbe(path);
        if (probe.binary && ShowAsDump(window, view, probe.size)) return;
    }
    if (void* icons = IcoLoadAll(view)) {
        view->viewObject = icons;
        view->viewKind = kViewIconFile;
        PaneScroll(window, view);
        return;
    }
    if (ShowPicture(window, view, BmpLoad(view), kViewBitmap)) return;
    uint8_t header[kDetectHeader] = {};
    HANDLE file;
    if (gHost->FileOpen(path, &file, GENERIC_READ) == 0) {
        uint64_t size = 0;
        if (gHost->FileGetSize(gHostMainWindow, file, &size) == 0)
            gHost->FileRead(file, header, size < sizeof header ? (uint32_t)size : (uint32_t)sizeof header);
        gHost->FileClose(file);
    }
    if (JpegSignature(header, sizeof header) && ShowPicture(window, view, JpegLoad(view), kViewJpeg)) return;
    if (GifSignature(header, sizeof header)) {
        if (GifOpenView(view)) {
            PaneScroll(window, view);
            return;
        }
        view->viewKind = kViewNone;
    }
    if (ShowPicture(window, view, PcxLoad(view), kViewPcx)) return;
    if (DetectXpmHeader(header) && ShowPicture(window, view, XpmLoad(view), kViewXpm)) return;
    if (ShowPicture(window, view, XbmLoad(view), kViewXbm)) return;
    if (ShowPicture(window, view, PngLoad(view), kViewPng)) return;
    if (HENHMETAFILE metafile = MetafileLoad(window, view)) {
        view->viewObject = metafile;
        view->viewKind = kViewMetafile;
        return;
    }
    if (void* ani = AniOpen(window, hdc, view)) {
        ViewSetScrollRange(window, 0, 0);
        view->viewObject = ani;
        view->viewKind = kViewAniCursor;
        AniStep(window, view);
        return;
    }
    if (DetectMediaHeader(header)) {
        if (HWND media = MediaOpen(window, view)) {
            view->viewObject = media;
            view->viewKind = kViewMedia;
            return;
        }
    }
    if (DetectIconName(path)) {
        if (HICON icon = ShellIconOf(path)) {
            view->viewObject = icon;
            view->viewKind = kViewIcon;
            view->contentWidth = GetSystemMetrics(SM_CXCURSOR) + 20;
            view->contentHeight = GetSystemMetrics(SM_CYCURSOR) + 20;
            return;
        }
    }
    if (DbfView* table = DbfViewCreate(window, view)) {
        view->viewObject = table;
        view->viewKind = kViewDbase;
        return;
    }
    if (HWND list = LibListOpen(window, view)) {
        view->viewObject = list;
        view->viewKind = kViewCoff;
        PaneScroll(window, view);
        return;
    }
    if (TiffSignature(header, sizeof header) && ShowPicture(window, view, TiffLoad(view), kViewTiff)) return;
    // MPEG audio plays in a player window; one player in the whole program.
    if ((!view->playerBusy || !*view->playerBusy) && MpegFileWanted(path)) {
        if (MpegPlayerView* player =
                MpegPlayerViewOpen(window, view->instance, path, view->displayPath, view->playerBusy)) {
            view->viewObject = player;
            view->viewKind = kViewMpeg;
            ViewResize(window, view);
            return;
        }
    }
    if (ShowPicture(window, view, TgaLoad(view), kViewTga)) return;
    // Unicode text goes straight to the text view; anything else with a zero
    // byte near its start is shown as a dump.
    if (!DetectUnicodeText(header)) {
        ProbeResult probe = BinaryProbe(path);
        if (probe.binary && ShowAsDump(window, view, probe.size)) return;
        if (probe.html) {
            if (HtmlView* page = HtmlViewOpen(window, view)) {
                view->viewObject = page;
                view->viewKind = kViewHtml;
                ViewResize(window, view);
                return;
            }
            view->viewKind = kViewNone;
        }
    }
    // Text: a quick-view pane gets the host's text child; a viewer window
    // makes its own text view for kind 18.
    if (view->hostWindow) {
        view->viewKind = kViewNone;
        gHost->ViewerCreateTextView(window, view);
        if (view->viewKind != kViewNone) return;
        if (HICON icon = ShellIconOf(path)) {
            view->viewObject = icon;
            view->viewKind = kViewIcon;
        }
        return;
    }
    view->viewKind = kViewText;
}

static void ViewPaint(HWND window, HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view) {
    if (!view->displayPath || !view->displayPath[0]) {
        ViewSetScrollRange(window, 0, 0);
        FillRect(hdc, rect, brush);
        return;
    }
    if (!view->viewObject && view->viewKind != kViewText) ViewOpen(window, hdc, view);
    if (!view->viewObject) {
        FillRect(hdc, rect, brush);
        return;
    }
    switch (view->viewKind) {
    case kViewUpDir:
        FillRect(hdc, rect, brush);
        DrawIconEx(hdc, rect->left, rect->top, static_cast<HICON>(view->viewObject), 16, 16, 0, nullptr,
                   DI_NORMAL);
        break;
    case kViewFolder:
    case kViewIcon:
        FillRect(hdc, rect, brush);
        DrawIconEx(hdc, rect->left, rect->top, static_cast<HICON>(view->viewObject), 32, 32, 0, nullptr,
                   DI_NORMAL);
        break;
    case kViewGif:
        GifPaint(window, hdc, rect, brush, view);
        break;
    case kViewIconFile:
        IcoPaint(hdc, rect, brush, view);
        break;
    case kViewAniCursor:
        AniPaint(hdc, rect, brush, view);
        break;
    case kViewMetafile:
        FillRect(hdc, rect, brush);
        MetafilePaint(window, hdc, static_cast<HENHMETAFILE>(view->viewObject));
        break;
    default:
        if (IsPictureKind(view->viewKind)) PicPaint(hdc, rect, brush, view);
        break;
    }
    int width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (view->contentWidth && view->contentWidth < width) {
        RECT r = *rect;
        r.left = rect->left + view->contentWidth;
        FillRect(hdc, &r, brush);
    }
    if (view->contentHeight && view->contentHeight < height) {
        RECT r = *rect;
        r.top = rect->top + view->contentHeight;
        FillRect(hdc, &r, brush);
    }
}

static void ViewResize(HWND window, ViewRecord* view) {
    if (!view) return;
    switch (view->viewKind) {
    case kViewHexDump:
        gHost->ViewerFitChild(window, view->viewObject);
        break;
    case kViewCoff:
        LibListResize(window, static_cast<HWND>(view->viewObject));
        break;
    case kViewMpeg:
        if (view->viewObject) MpegPlayerViewResize(window, static_cast<MpegPlayerView*>(view->viewObject));
        break;
    case kViewHtml:
        if (view->viewObject) ViewFitChild(window, static_cast<HtmlView*>(view->viewObject)->htmlWindow);
        break;
    case kViewDbase:
        if (view->viewObject) ViewFitChild(window, static_cast<DbfView*>(view->viewObject)->window);
        break;
    case kViewText:
        if (view->viewObject) {
            RECT r;
            GetClientRect(window, &r);
            gHost->WndMove(static_cast<HWND>(view->viewObject), 0, 0, r.right, r.bottom);
        }
        break;
    default:
        ViewSetScrollRange(window, view->contentWidth, view->contentHeight);
        break;
    }
}

static int ViewScroll(HWND window, int bar, int delta) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(window, bar, &si)) return 0;
    // The last position is the one that shows the last row: max - page + 1.
    int last = si.nMax - (int)si.nPage + 1;
    if (last < si.nMin) last = si.nMin;
    int target = si.nPos + delta;
    if (target > last) target = last;
    if (target < si.nMin) target = si.nMin;
    int applied = target - si.nPos;
    if (applied) {
        si.fMask = SIF_POS;
        si.nPos = target;
        SetScrollInfo(window, bar, &si, TRUE);
    }
    return applied;
}

static void ViewTextStyle(HFONT font, COLORREF text, COLORREF back, ViewRecord* view) {
    if (view->viewKind != kViewText || !view->viewObject) return;
    HWND edit = static_cast<HWND>(view->viewObject);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    SendMessageA(edit, WM_USER + 67 /* EM_SETBKGNDCOLOR */, 0, (LPARAM)back);
    gHost->EditSetTextColor(edit, text);
}

static void ViewLoadText(ViewRecord* view) {
    gHost->EditLoadFile(static_cast<HWND>(view->viewObject), view->openPath,
                        view->textColor ? *view->textColor : 0);
}

static void* Ptr(uintptr_t word) {
    return reinterpret_cast<void*>(word);
}

static int ViewCommand(ViewerCommandRecord* r) {
    ViewRecord* view;
    switch (r->code) {
    case kViewCmdHello:
        gHost = static_cast<ViewerHostServices*>(Ptr(r->a[0]));
        gHostMainWindow = static_cast<HWND>(Ptr(r->a[1]));
        gHostTitle = static_cast<const char*>(Ptr(r->a[2]));
        gPicAlloc.alloc = gHost->MemAlloc;
        gPicAlloc.release = gHost->MemFree;
        return (int)kViewerHelloResult;
    case kViewCmdScroll:
        return ViewScroll(static_cast<HWND>(Ptr(r->a[0])), (int)r->a[1], (int)(intptr_t)r->a[2]);
    case kViewCmdScrollRange:
        ViewSetScrollRange(static_cast<HWND>(Ptr(r->a[0])), (int)r->a[1], (int)r->a[2]);
        return -1;
    default:
        break;
    }
    if (!gHost) return -1; // no command touches a view before the handshake
    switch (r->code) {
    case kViewCmdClose:
        ViewClose(static_cast<ViewRecord*>(Ptr(r->a[0])));
        break;
    case kViewCmdPaint:
        ViewPaint(static_cast<HWND>(Ptr(r->a[0])), static_cast<HDC>(Ptr(r->a[1])),
                  static_cast<const RECT*>(Ptr(r->a[2])), static_cast<HBRUSH>(Ptr(r->a[3])),
                  static_cast<ViewRecord*>(Ptr(r->a[4])));
        break;
    case kViewCmdTextStyle:
        ViewTextStyle(static_cast<HFONT>(Ptr(r->a[0])), (COLORREF)r->a[1], (COLORREF)r->a[2],
                      static_cast<ViewRecord*>(Ptr(r->a[3])));
        break;
    case kViewCmdResize:
        ViewResize(static_cast<HWND>(Ptr(r->a[0])), static_cast<ViewRecord*>(Ptr(r->a[1])));
        break;
    case kViewCmdOpen:
        view = static_cast<ViewRecord*>(Ptr(r->a[2]));
        if (view->displayPath && view->displayPath[0])
            ViewOpen(static_cast<HWND>(Ptr(r->a[0])), static_cast<HDC>(Ptr(r->a[1])), view);
        break;
    case kViewCmdCursorTick:
        AniStep(static_cast<HWND>(Ptr(r->a[0])), static_cast<ViewRecord*>(Ptr(r->a[1])));
        break;
    case kViewCmdGifTick:
        GifTick(static_cast<HWND>(Ptr(r->a[0])), static_cast<ViewRecord*>(Ptr(r->a[1])));
        break;
    case kViewCmdLoadText:
        ViewLoadText(static_cast<ViewRecord*>(Ptr(r->a[0])));
        break;
    case kViewCmdActivate:
        HtmlActivate(static_cast<ViewRecord*>(Ptr(r->a[0])));
        break;
    default:
        break;
    }
    return -1;
}

extern "C" __declspec(dllexport) int __cdecl v(ViewerCommandRecord* record) {
    if (!record) return -1;
    // Nothing may leave the library as an exception.
    try {
        return ViewCommand(record);
    } catch (...) {
        return -1;
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
