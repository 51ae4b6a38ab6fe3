// What crosses the boundary between the main program and the viewer library
// LUMORA.DLL: the per-view record the host owns, the host services table the
// library calls back through, the command codes of the export "v" and the
// view kinds.
#pragma once
#include <windows.h>
#include <stdint.h>

enum ViewKind : uint16_t {
    kViewNone = 0,
    kViewUpDir = 1,  // preset by the host (quick view)
    kViewFolder = 2, // preset by the host (quick view)
    kViewAniCursor = 3,
    kViewMedia = 4,
    kViewBitmap = 5,
    kViewIcon = 6,
    kViewDbase = 7,
    kViewMetafile = 8,
    kViewGif = 9,
    kViewHexDump = 10, // host's dump child
    kViewHtml = 11,
    kViewIconFile = 12,
    kViewJpeg = 13,
    kViewCoff = 14,
    kViewMpeg = 15,
    kViewPcx = 16,
    kViewPng = 17,
    kViewText = 18, // host's rich-edit child
    kViewTga = 19,
    kViewTiff = 20,
    kViewXbm = 22,
    kViewXpm = 23,
    kViewGifGaveUp = 24, // transient: the GIF worker decoded no frame
};

enum ViewerCommand : uint32_t {
    kViewCmdHello = 1,
    kViewCmdClose = 2,
    kViewCmdPaint = 3,
    kViewCmdTextStyle = 4,
    kViewCmdResize = 5,
    kViewCmdScroll = 6,
    kViewCmdScrollRange = 7,
    kViewCmdOpen = 8,
    kViewCmdCursorTick = 9,
    kViewCmdGifTick = 10,
    kViewCmdActivate = 11,
    kViewCmdLoadText = 14,
};
const uint32_t kViewerHelloResult = 0x10100;
const UINT kViewerTimerCursor = 80;
const UINT kViewerTimerGif = 81;

// One view; the host allocates it zero-filled inside its own records, fills
// the host fields, and passes it by address with every command.
struct ViewRecord {
    HINSTANCE instance;
    char* displayPath; // 260 bytes: what the user sees; empty = nothing to show
    char* openPath;    // 260 bytes: the file opened (displayPath or a temporary copy)
    char openedName[260];
    volatile uint16_t viewKind;
    void* volatile viewObject;
    int32_t contentWidth, contentHeight;
    int32_t *scrollX, *scrollY;
    COLORREF *textColor, *backColor;
    HFONT* font;
    uint8_t* playerBusy; // shared by all views: non-zero while an audio player exists
    HWND hostWindow;     // the quick-view pane's window; null in a viewer window
    uint16_t* options;   // the panel option word
};

// The command record: code, up to five arguments, then -1. Words are pointer
// wide so a 64-bit build can pass addresses; a 32-bit build keeps 7 x 4 bytes.
struct ViewerCommandRecord {
    uintptr_t code;
    uintptr_t a[5];
    intptr_t end; // always -1
};
#if !defined(_WIN64)
static_assert(sizeof(ViewerCommandRecord) == 28, "seven 32-bit words");
#endif

typedef int(__cdecl* ViewerEntry)(ViewerCommandRecord* record);

// The 29 host services, in slot order.
struct ViewerHostServices {
    uint32_t (*FileCheckExists)(const char* path);                     // 0 exists, 2 absent
    uint32_t (*FileOpen)(const char* path, HANDLE* out, DWORD access); // 0 or 2
    uint32_t (*FileRead)(HANDLE h, void* buffer, uint32_t count);      // 0 when all came
    void (*FileClose)(HANDLE h);
    uint32_t (*FileGetSize)(HWND owner, HANDLE h, uint64_t* size);
    uint32_t (*FileDelete)(const char* path);
    uint32_t (*FileSeek)(HANDLE h, uint32_t offset);
    char* (*FileReadAll)(const char* path, uint32_t* length); // freed through MemFree
    void (*EditSetTextColor)(HWND edit, COLORREF colour);
    size_t (*PathFindExtension)(const char* path);
    uint16_t (*PathFindName)(const char* path);
    int (*PathGetShortName)(const char* longPath, char* out, size_t size);
    void (*FontMakeSansSerif)(HWND window, LOGFONTA* font, int points);
    void* (*MemAlloc)(size_t n); // zero-filled; null after the host's box
    void** (*MemFree)(void** pointer);
    int (*WndMove)(HWND window, int x, int y, int width, int height);
    int (*StrAppend)(char* dst, const char* src, size_t size);
    int (*StrUpper)(char* text);
    void (*ViewerSetTitle)(HWND window, const char* path);
    int (*EditLoadFile)(HWND edit, const char* path, COLORREF textColour); // 1 loaded
    void (*ViewerGetText)(int id, char* buffer, int size);
    HICON (*ViewerGetStateIcon)();
    HICON (*ViewerGetResourceIcon)();
    void (*ViewerCreateTextView)(HWND window, ViewRecord* view);
    void (*ViewerOpenHexView)(HWND window, ViewRecord* view, uint32_t fileSize);
    void (*ViewerFitChild)(HWND window, void* dumpView);
    void (*ViewerCloseHexView)(ViewRecord* view);
    void (*ViewerResetPanelScroll)();
    uint16_t (*ArcGetArchiveType)(const char* path); // 0 = not an archive
};
static_assert(sizeof(ViewerHostServices) == 29 * sizeof(void*), "29 slots");
