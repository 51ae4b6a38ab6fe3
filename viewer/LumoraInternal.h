// Shared inside the viewer library: the host's services handed over at the
// handshake and the views' Win32 sides.
#pragma once
#include <windows.h>

#include "ViewerLib.h"
#include "viewer/DbfTable.h"
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

// Picture views (BMP, JPEG, PNG, TIFF, PCX, TGA, XBM, XPM): object is a PictureRecord.
PictureRecord* JpegLoad(ViewRecord* view);
PictureRecord* PngLoad(ViewRecord* view);
PictureRecord* TiffLoad(ViewRecord* view);
PictureRecord* BmpLoad(ViewRecord* view);
PictureRecord* PcxLoad(ViewRecord* view);
PictureRecord* TgaLoad(ViewRecord* view); // only for names with a TGA extension
PictureRecord* XbmLoad(ViewRecord* view);
PictureRecord* XpmLoad(ViewRecord* view);
// A decoded picture moved into a host block as the view's object, with its
// palette and the view's content size; null (and the picture released) when
// the block cannot be had.
PictureRecord* PicKeep(ViewRecord* view, PictureRecord* decoded);
// Animated cursors (kind 3): opened with the view's DC, stepped on timer 80.
void* AniOpen(HWND window, HDC hdc, ViewRecord* view);
void AniStep(HWND window, ViewRecord* view);
void AniPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view);
void AniFree(ViewRecord* view);
// Icon and cursor files (kind 12): every image side by side.
void* IcoLoadAll(ViewRecord* view);
void IcoPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view);
void IcoFree(ViewRecord* view);
void PicPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view);
void PicFree(ViewRecord* view);
HPALETTE PaletteFromPicture(const PictureRecord* pic);

// Metafiles (kind 8): an enhanced metafile, Windows metafiles converted; null
// when the file is none or its records do not add up.
HENHMETAFILE MetafileLoad(HWND window, ViewRecord* view);
// Played onto the paint DC stretched over the window's client area.
void MetafilePaint(HWND window, HDC dc, HENHMETAFILE metafile);
void MetafileFree(ViewRecord* view);
// Media files (kind 4): the system's media window, playing; null when it
// cannot open the file (the window is gone again).
HWND MediaOpen(HWND window, ViewRecord* view);
void MediaClose(ViewRecord* view);
// The shell's icon of a file (caller destroys it), null when there is none.
HICON ShellIconOf(const char* path);

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

// dBase table views (kind 7): the window "ZqDBF" keeps the record; the window
// and a running read-all worker each hold a reference, the last one frees it.
struct DbfFile {
    HANDLE handle; // INVALID_HANDLE_VALUE when closed
    DbfSource source;
};
struct DbfView {
    HWND hostWindow;
    HWND window;
    HWND toolBar;
    HWND tableList;
    HWND detailsList;
    int listMode;
    DbfTable table;
    ViewRecord* view;
    volatile LONG busy; // the worker is filling the table list
    volatile LONG stop; // the window is gone: the worker ends early
    volatile LONG refs;
    HANDLE worker;
    char path[260];
    char memoPath[260];
    DbfFile tableFile, memoFile; // the window thread's handles
    DbfCursor cursor;            // the window thread's record
    uint32_t currentRecord;
    volatile uint32_t nextListRow;
};
DbfView* DbfViewCreate(HWND host, ViewRecord* view);
void DbfViewClose(ViewRecord* view);

// COFF library listings (kind 14): the object is the list box.
HWND LibListOpen(HWND window, ViewRecord* view);
void LibListResize(HWND window, HWND listBox);
void LibListClose(ViewRecord* view);

// HTML views (kind 11): the block lives until the ZqHtml window is destroyed.
class HtmlContainer;
struct HtmlView {
    HWND viewWindow;
    HWND htmlWindow; // ZqHtml, over the whole view window
    HWND oleWindow;  // ZqOLE, where the browser is activated
    HWND addressEdit;
    char path[260];
    HtmlContainer* container;
    ViewRecord* view;
    bool oleStarted; // OleInitialize succeeded for this view
    bool created;    // the window exists and owns the block
};
// Null when the page cannot be shown by the system's browser control (then
// nothing of it is left and detection goes on).
HtmlView* HtmlViewOpen(HWND window, ViewRecord* view);
void HtmlViewFree(HtmlView* block);
void HtmlViewClose(ViewRecord* view);
void HtmlActivate(ViewRecord* view);
// Seams for the tests: containers not yet released, and the check whether
// the control can draw pages at all.
LONG HtmlContainersAlive();
LONG HtmlBrowsersHeld(); // browser objects whose last reference was not given back
void HtmlSkipRenderProbe(bool skip);
