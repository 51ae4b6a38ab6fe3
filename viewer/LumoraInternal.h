// Shared inside the viewer library: the host's services handed over at the
// handshake and the views' Win32 sides.
#pragma once
#include <windows.h>

#include "ViewerLib.h"
#include "viewer/GifDecode.h"
#include "viewer/Picture.h"

extern ViewerHostServices* gHost;
extern HWND gHostMainWindow;
extern PicAllocator gPicAlloc; // the host's allocation and free slots

// Whole file mapped read-only; a zero-length file maps nothing with success.
struct MappedFile {
    HANDLE file;
    HANDLE mapping;
    const uint8_t* view;
    uint64_t size;
};
void MappedFileInit(MappedFile* m);
DWORD MappedFileOpen(MappedFile* m, const char* path); // 0 or the error code
const uint8_t* MappedFileRange(const MappedFile* m, uint64_t offset, uint32_t length);
void MappedFileSize32(const MappedFile* m, uint32_t* out);
void MappedFileClose(MappedFile* m);
DWORD MappedFileLastError();

void ViewSetScrollRange(HWND window, int width, int height);

// Picture views (JPEG, PNG, TIFF): object is a PictureRecord.
PictureRecord* JpegLoad(ViewRecord* view);
PictureRecord* PngLoad(ViewRecord* view);
PictureRecord* TiffLoad(ViewRecord* view);
void PicPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view);
void PicFree(ViewRecord* view);
HPALETTE PaletteFromPicture(const PictureRecord* pic);

// GIF views: a worker decodes, the first frame is published through the view.
struct GifView {
    volatile uint32_t currentFrame;
    volatile LONG runFlag; // 1 decoding, 2 asked to stop, 0 finished
    volatile uint32_t frameCount;
    uint32_t loopCount;
    GifFrame* volatile frames;
    HANDLE thread;
    // What the worker reads besides the frames; it lives as long as the view.
    ViewRecord* view;
    HANDLE firstFrame; // set when a frame is published or the worker gives up
    int32_t screenWidth, screenHeight;
};
// Starts the worker and waits until it published a frame or gave up; true
// when the view now holds a GIF view (kind 9).
bool GifOpenView(ViewRecord* view);
void GifPaint(HWND window, HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view);
void GifTick(HWND window, ViewRecord* view);
void GifFree(ViewRecord* view);
const GifFrame* GifFrameAt(const GifView* gif, uint32_t index);
