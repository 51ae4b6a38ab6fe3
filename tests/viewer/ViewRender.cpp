// viewrender FILE OUT.bmp [frame]: shows FILE through the viewer library the
// way a viewer window does (same host services, same commands), paints it at
// 1:1 into a 24-bit bitmap and writes that as a BMP. Exit code 0 when the
// library showed the file as a picture, 2 when it did not, 1 on a usage
// error or when the library is missing. Prints the view kind the library chose.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "AppState.h"
#include "frontends/Libraries.h"
#include "frontends/ViewerHost.h"
#include "viewer/LumoraInternal.h"

static bool IsShownKind(uint16_t kind) {
    switch (kind) {
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

// The GIF worker may still be decoding: later frames are there once it ends.
static void WaitForGifWorker(const ViewRecord* view) {
    const GifView* gif = static_cast<const GifView*>(view->viewObject);
    if (gif && gif->thread) WaitForSingleObject(gif->thread, 60000);
}

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: viewrender FILE OUT.bmp [frame]\n");
        return 1;
    }
    int frame = argc == 4 ? atoi(argv[3]) : 0;
    static AppState state;
    gApp = &state;
    state.colorViewer[0] = RGB(0, 0, 0);
    state.colorViewer[1] = RGB(255, 255, 255);
    ViewerLoad();
    if (!state.viewerEntry) {
        fprintf(stderr, "viewrender: LUMORA.DLL not loaded\n");
        return 1;
    }
    HWND window = CreateWindowExA(0, "STATIC", "viewrender", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    static char displayPath[260], openPath[260];
    if (!GetFullPathNameA(argv[1], sizeof displayPath, displayPath, nullptr)) {
        fprintf(stderr, "viewrender: bad path %s\n", argv[1]);
        return 1;
    }
    lstrcpynA(openPath, displayPath, sizeof openPath);
    static ViewRecord view;
    int32_t scrollX = 0, scrollY = 0;
    ViewerInitRecord(&view, displayPath, openPath, &scrollX, &scrollY, nullptr);
    HDC screen = GetDC(window);
    ViewerOpen(window, screen, &view);
    ReleaseDC(window, screen);
    printf("kind %u\n", (unsigned)view.viewKind);
    fflush(stdout);
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
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = view.contentWidth;
    bi.bmiHeader.biHeight = view.contentHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    int rc = 1;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(dc, dib);
        RECT rect = {0, 0, view.contentWidth, view.contentHeight};
        HBRUSH brush = CreateSolidBrush(state.colorViewer[1]);
        ViewerPaint(window, dc, &rect, brush, &view);
        GdiFlush();
        uint32_t stride = ((uint32_t)view.contentWidth * 3 + 3) & ~3u;
        rc = WriteBmp(argv[2], static_cast<uint8_t*>(bits), view.contentWidth, view.contentHeight, stride)
                 ? 0
                 : 1;
        SelectObject(dc, old);
        DeleteObject(brush);
        DeleteObject(dib);
    } else {
        fprintf(stderr, "viewrender: no bitmap of %d x %d\n", view.contentWidth, view.contentHeight);
    }
    DeleteDC(dc);
    ViewerClose(&view);
    DestroyWindow(window);
    return rc;
}
