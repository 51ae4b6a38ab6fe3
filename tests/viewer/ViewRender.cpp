// viewrender FILE OUT.bmp [frame]: shows FILE through the viewer library the
// way a viewer window does (same host services, same commands), paints it at
// 1:1 into a 24-bit bitmap and writes that as a BMP. Views that are windows
// of their own (dBase tables, library listings) are driven through their commands instead and
// what their lists show is written to OUT as text. Exit code 0 when the
// library showed the file as a picture or a table, 2 when it did not, 1 on a
// usage error or when the library is missing. Prints the view kind the
// library chose.
// viewrender --list LIST: the same for every line "FILE<tab>OUT.bmp" of LIST
// in one process, printing "result FILE kind K exit E" for each.
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "frontends/Libraries.h"
#include "frontends/ViewerHost.h"
#include "viewer/LumoraInternal.h"

static bool IsShownKind(uint16_t kind) {
    switch (kind) {
    case kViewAniCursor:
    case kViewBitmap:
    case kViewIconFile:
    case kViewGif:
    case kViewJpeg:
    case kViewPng:
    case kViewPcx:
    case kViewTga:
    case kViewTiff:
    case kViewXbm:
    case kViewXpm:
        return true;
    default:
        return false;
    }
}

static bool WriteBmp(const char* path, const uint8_t* bits, int width, int height, uint32_t stride) {
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    uint32_t imageSize = stride * (uint32_t)height;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + imageSize;
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = imageSize;
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1 &&
              fwrite(bits, 1, imageSize, f) == imageSize;
    return fclose(f) == 0 && ok;
}

static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static void ListText(HWND list, int row, int column, char* out, int size) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = out;
    item.cchTextMax = size;
    out[0] = 0;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
}

// One list text on one line of the dump: backslash, line breaks and the
// column bar escaped.
static void PutText(FILE* f, const char* text) {
    for (; *text; text++) {
        switch (*text) {
        case '\\':
            fputs("\\\\", f);
            break;
        case '\r':
            fputs("\\r", f);
            break;
        case '\n':
            fputs("\\n", f);
            break;
        case '|':
            fputs("\\x7c", f);
            break;
        default:
            fputc(*text, f);
        }
    }
}

// Every record one by one in the details list (first to last with the
// "next" button), then the table list after "read all", as a user would.
static bool DumpTable(ViewRecord* view, const char* out) {
    DbfView* v = static_cast<DbfView*>(view->viewObject);
    FILE* f = fopen(out, "w");
    if (!f) return false;
    static char text[16384];
    for (uint32_t r = 0; r < v->table.recordCount; r++) {
        if (r) SendMessageA(v->window, WM_COMMAND, 1103 /* next */, 0);
        LVCOLUMNA c = {};
        c.mask = LVCF_TEXT;
        c.pszText = text;
        c.cchTextMax = sizeof text;
        SendMessageA(v->detailsList, LVM_GETCOLUMNA, 2, (LPARAM)&c);
        fprintf(f, "record %s\n", text);
        int rows = (int)SendMessageA(v->detailsList, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < rows; i++) {
            for (int col = 0; col < 3; col++) {
                ListText(v->detailsList, i, col, text, sizeof text);
                fputs(col ? "|" : "field ", f);
                PutText(f, text);
            }
            fprintf(f, "\n");
        }
    }
    SendMessageA(v->toolBar, TB_CHECKBUTTON, 1107, TRUE);
    SendMessageA(v->window, WM_COMMAND, 1107 /* mode */, 0);
    SendMessageA(v->window, WM_COMMAND, 1106 /* read all */, 0);
    // The worker fills the list through messages to this thread.
    DWORD start = GetTickCount();
    while (v->busy && GetTickCount() - start < 60000) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    Pump();
    int rows = (int)SendMessageA(v->tableList, LVM_GETITEMCOUNT, 0, 0);
    fprintf(f, "table %d\n", rows);
    for (int i = 0; i < rows; i++) {
        for (uint32_t col = 0; col < v->table.fieldCount; col++) {
            ListText(v->tableList, i, (int)col, text, sizeof text);
            fputs(col ? "|" : "row ", f);
            PutText(f, text);
        }
        fprintf(f, "\n");
    }
    return fclose(f) == 0 && !v->busy;
}

// The lines of a library listing, as the list box holds them.
static bool DumpListing(ViewRecord* view, const char* out) {
    HWND box = static_cast<HWND>(view->viewObject);
    FILE* f = fopen(out, "w");
    if (!f) return false;
    static char line[4096];
    int count = (int)SendMessageA(box, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        if (SendMessageA(box, LB_GETTEXTLEN, (WPARAM)i, 0) >= (LRESULT)sizeof line) continue;
        SendMessageA(box, LB_GETTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(line));
        fprintf(f, "%s\n", line);
    }
    return fclose(f) == 0;
}

// The GIF worker may still be decoding: later frames are there once it ends.
static void WaitForGifWorker(const ViewRecord* view) {
    const GifView* gif = static_cast<const GifView*>(view->viewObject);
    if (gif && gif->thread) WaitForSingleObject(gif->thread, 60000);
}

static int RenderOne(const char* file, const char* outPath, int frame) {
    HWND window = CreateWindowExA(0, "STATIC", "viewrender", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    static char displayPath[260], openPath[260];
    if (!GetFullPathNameA(file, sizeof displayPath, displayPath, nullptr)) {
        fprintf(stderr, "viewrender: bad path %s\n", file);
        DestroyWindow(window);
        return 1;
    }
    lstrcpynA(openPath, displayPath, sizeof openPath);
    static ViewRecord view;
    memset(&view, 0, sizeof view);
    int32_t scrollX = 0, scrollY = 0;
    ViewerInitRecord(&view, displayPath, openPath, &scrollX, &scrollY, nullptr);
    // VANDRELL_TIMES=1 prints where the time goes (the viewer benchmark).
    bool times = getenv("VANDRELL_TIMES") != nullptr;
    DWORD t0 = GetTickCount();
    HDC screen = GetDC(window);
    ViewerOpen(window, screen, &view);
    ReleaseDC(window, screen);
    DWORD t1 = GetTickCount();
    printf("kind %u\n", (unsigned)view.viewKind);
    fflush(stdout);
    if (times && view.viewKind == kViewDbase && view.viewObject) {
        // A table's first screen: the window's own messages (layout, the
        // first rows) handled, nothing read on demand.
        DWORD s0 = GetTickCount();
        Pump();
        UpdateWindow(window);
        fprintf(stderr, "open %lu ms, first screen %lu ms\n", t1 - t0, GetTickCount() - s0);
        ViewerClose(&view);
        DestroyWindow(window);
        return 0;
    }
    if ((view.viewKind == kViewDbase || view.viewKind == kViewCoff) && view.viewObject) {
        int rc = (view.viewKind == kViewDbase ? DumpTable(&view, outPath) : DumpListing(&view, outPath)) ? 0 : 1;
        ViewerClose(&view);
        DestroyWindow(window);
        return rc;
    }
    if (!view.viewObject || !IsShownKind(view.viewKind) || view.contentWidth <= 0 ||
        view.contentHeight <= 0) {
        ViewerClose(&view);
        DestroyWindow(window);
        return 2;
    }
    if (view.viewKind == kViewGif) {
        WaitForGifWorker(&view);
        for (int i = 0; i < frame; i++)
            ViewerGifTick(window, &view);
    }
    DWORD screenMs = 0;
    if (times) {
        // What a 1280 x 1024 viewer window paints first.
        BITMAPINFO si = {};
        si.bmiHeader.biSize = sizeof si.bmiHeader;
        si.bmiHeader.biWidth = 1280;
        si.bmiHeader.biHeight = 1024;
        si.bmiHeader.biPlanes = 1;
        si.bmiHeader.biBitCount = 32;
        void* sbits = nullptr;
        HDC sdc = CreateCompatibleDC(nullptr);
        HBITMAP sdib = CreateDIBSection(sdc, &si, DIB_RGB_COLORS, &sbits, nullptr, 0);
        HGDIOBJ sold = SelectObject(sdc, sdib);
        RECT srect = {0, 0, 1280, 1024};
        DWORD s0 = GetTickCount();
        ViewerPaint(window, sdc, &srect, (HBRUSH)GetStockObject(WHITE_BRUSH), &view);
        GdiFlush();
        screenMs = GetTickCount() - s0;
        SelectObject(sdc, sold);
        DeleteObject(sdib);
        DeleteDC(sdc);
    }
    // The top-left part of a picture bigger than any the comparisons use:
    // a damaged header may ask for a size that the viewer shows in parts
    // but that one bitmap here could not hold on a busy machine.
    const int32_t kMaxSide = 8192;
    const int32_t width = view.contentWidth < kMaxSide ? view.contentWidth : kMaxSide;
    const int32_t height = view.contentHeight < kMaxSide ? view.contentHeight : kMaxSide;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    int rc = 1;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(dc, dib);
        RECT rect = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(gApp->colorViewer[1]);
        ViewerPaint(window, dc, &rect, brush, &view);
        GdiFlush();
        DWORD t2 = GetTickCount();
        if (times)
            fprintf(stderr, "open %lu ms, first screen %lu ms, whole picture %lu ms\n", t1 - t0, screenMs,
                    t2 - t1 - screenMs);
        uint32_t stride = ((uint32_t)width * 3 + 3) & ~3u;
        rc = WriteBmp(outPath, static_cast<uint8_t*>(bits), width, height, stride)
                 ? 0
                 : 1;
        SelectObject(dc, old);
        DeleteObject(brush);
        DeleteObject(dib);
    } else {
        fprintf(stderr, "viewrender: no bitmap of %d x %d\n", width, height);
    }
    DeleteDC(dc);
    ViewerClose(&view);
    DestroyWindow(window);
    return rc;
}

// Lines "FILE<tab>OUT.bmp"; one result line each, flushed before the next
// file, so that a crash names its file.
static int RenderList(const char* listPath) {
    FILE* list = fopen(listPath, "r");
    if (!list) {
        fprintf(stderr, "viewrender: cannot read %s\n", listPath);
        return 1;
    }
    char line[1200];
    while (fgets(line, sizeof line, list)) {
        line[strcspn(line, "\r\n")] = 0;
        char* tab = strchr(line, '\t');
        if (!tab) continue;
        *tab = 0;
        printf("start %s\n", line);
        fflush(stdout);
        int rc = RenderOne(line, tab + 1, 0);
        printf("result %s exit %d\n", line, rc);
        fflush(stdout);
    }
    fclose(list);
    return 0;
}

int main(int argc, char** argv) {
    bool listMode = argc == 3 && strcmp(argv[1], "--list") == 0;
    if (!listMode && (argc < 3 || argc > 4)) {
        fprintf(stderr, "usage: viewrender FILE OUT.bmp [frame] | viewrender --list LIST\n");
        return 1;
    }
    static AppState state;
    gApp = &state;
    state.colorViewer[0] = RGB(0, 0, 0);
    state.colorViewer[1] = RGB(255, 255, 255);
    ViewerLoad();
    if (!state.viewerEntry) {
        fprintf(stderr, "viewrender: LUMORA.DLL not loaded\n");
        return 1;
    }
    if (listMode) return RenderList(argv[2]);
    return RenderOne(argv[1], argv[2], argc == 4 ? atoi(argv[3]) : 0);
}
