// Animated cursors (kind 3): one icon per distinct frame, stepped on timer
// 80 at each step's rate and drawn through a bitmap of the cursor size.
#include "viewer/AniRead.h"
#include "viewer/LumoraInternal.h"

struct AniView {
    HDC memoryDc;
    HBITMAP frameBitmap, replacedBitmap;
    HICON currentIcon;
    int32_t currentStep;
    int cursorWidth, cursorHeight;
    AniCursor cursor;
    HICON* icons; // per frame; identical frames hold the same icon
    HWND window;
};

const uint32_t kAniMaxImages = 64;

// The icon of one frame: the image the system picks from its directory,
// copied into a block of its own (a cursor's hot spot written in front).
static HICON AniMakeIcon(const uint8_t* data, uint32_t length) {
    bool cursor;
    AniImage images[kAniMaxImages];
    uint32_t count;
    if (!AniFrameDirectory(data, length, &cursor, images, kAniMaxImages, &count)) return nullptr;
    // The directory as the system's resource form: 6 bytes, then 14 per
    // entry, the identifier being the entry's number.
    uint8_t directory[6 + 14 * kAniMaxImages] = {};
    directory[2] = 1;
    directory[4] = (uint8_t)count;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t* e = directory + 6 + 14 * i;
        if (cursor) {
            e[0] = images[i].width;
            e[2] = images[i].height;
        } else {
            e[0] = images[i].width;
            e[1] = images[i].height;
            e[2] = images[i].colourCount;
        }
        memcpy(e + 8, &images[i].size, 4);
        uint16_t id = (uint16_t)(i + 1);
        memcpy(e + 12, &id, 2);
    }
    int id = LookupIconIdFromDirectory(directory, TRUE);
    if (id < 1 || (uint32_t)id > count) id = 1;
    const AniImage& image = images[id - 1];
    uint32_t prefix = cursor ? 4 : 0;
    uint8_t* bits = static_cast<uint8_t*>(gHost->MemAlloc(image.size + prefix));
    if (!bits) return nullptr;
    if (cursor) {
        memcpy(bits, &image.planes, 2);
        memcpy(bits + 2, &image.bitCount, 2);
    }
    memcpy(bits + prefix, data + image.offset, image.size);
    HICON icon = CreateIconFromResource(bits, image.size + prefix, cursor ? FALSE : TRUE, 0x30000);
    void* p = bits;
    gHost->MemFree(&p);
    return icon;
}

static void AniDestroy(AniView* ani) {
    if (ani->icons) {
        for (uint32_t i = 0; i < ani->cursor.frameCount; i++)
            if (ani->icons[i] && ani->cursor.frames[i].same == i) DestroyIcon(ani->icons[i]);
        void* p = ani->icons;
        gHost->MemFree(&p);
    }
    AniRelease(&ani->cursor, gPicAlloc);
    if (ani->memoryDc) {
        if (ani->replacedBitmap) SelectObject(ani->memoryDc, ani->replacedBitmap);
        DeleteDC(ani->memoryDc);
    }
    if (ani->frameBitmap) DeleteObject(ani->frameBitmap);
    void* p = ani;
    gHost->MemFree(&p);
}

void* AniOpen(HWND window, HDC hdc, ViewRecord* view) {
    MappedFile file;
    if (MappedFileOpen(&file, view->openPath) != 0) return nullptr;
    AniCursor cursor;
    bool parsed = file.view && file.size <= SIZE_MAX && AniParse(file.view, (size_t)file.size, &cursor, gPicAlloc);
    AniView* ani = parsed ? static_cast<AniView*>(gHost->MemAlloc(sizeof(AniView))) : nullptr;
    if (!ani) {
        if (parsed) AniRelease(&cursor, gPicAlloc);
        MappedFileClose(&file);
        return nullptr;
    }
    ani->cursor = cursor;
    ani->window = window;
    bool ok = (ani->icons = static_cast<HICON*>(gHost->MemAlloc(cursor.frameCount * sizeof(HICON)))) != nullptr;
    for (uint32_t i = 0; ok && i < cursor.frameCount; i++) {
        const AniFrame& f = cursor.frames[i];
        ani->icons[i] = f.same == i ? AniMakeIcon(file.view + f.offset, f.length) : ani->icons[f.same];
    }
    MappedFileClose(&file);
    // Every step must have its icon.
    for (uint32_t i = 0; ok && i < cursor.steps; i++)
        ok = ani->icons[cursor.sequence[i]] != nullptr;
    if (ok) {
        ani->cursorWidth = GetSystemMetrics(SM_CXCURSOR);
        ani->cursorHeight = GetSystemMetrics(SM_CYCURSOR);
        ani->memoryDc = CreateCompatibleDC(hdc);
        ani->frameBitmap = ani->memoryDc ? CreateCompatibleBitmap(hdc, ani->cursorWidth, ani->cursorHeight) : nullptr;
        ok = ani->frameBitmap != nullptr;
        if (ok) ani->replacedBitmap = static_cast<HBITMAP>(SelectObject(ani->memoryDc, ani->frameBitmap));
    }
    if (!ok) {
        AniDestroy(ani);
        return nullptr;
    }
    view->contentWidth = ani->cursorWidth + 20;
    view->contentHeight = ani->cursorHeight + 20;
    return ani;
}

void AniStep(HWND window, ViewRecord* view) {
    if (view->viewKind != kViewAniCursor || !view->viewObject) return;
    AniView* ani = static_cast<AniView*>(view->viewObject);
    uint32_t step = (uint32_t)ani->currentStep;
    ani->currentIcon = ani->icons[ani->cursor.sequence[step]];
    SetTimer(window, kViewerTimerCursor, ani->cursor.rates[step] * 16, nullptr);
    ani->currentStep = step + 1 >= ani->cursor.steps ? 0 : (int32_t)(step + 1);
    InvalidateRect(window, nullptr, FALSE);
}

void AniPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view) {
    const AniView* ani = static_cast<const AniView*>(view->viewObject);
    if (!ani || !ani->currentIcon) {
        FillRect(hdc, rect, brush);
        return;
    }
    RECT frame = {0, 0, ani->cursorWidth, ani->cursorHeight};
    FillRect(ani->memoryDc, &frame, brush);
    DrawIcon(ani->memoryDc, 0, 0, ani->currentIcon);
    BitBlt(hdc, rect->left + 10, rect->top + 10, ani->cursorWidth, ani->cursorHeight, ani->memoryDc, 0, 0, SRCCOPY);
    RECT bands[4] = {
        {rect->left, rect->top, rect->right, rect->top + 10},
        {rect->left, rect->top, rect->left + 10, rect->bottom},
        {rect->left + ani->cursorWidth + 10, rect->top, rect->right, rect->bottom},
        {rect->left, rect->top + ani->cursorHeight + 10, rect->right, rect->bottom},
    };
    for (const RECT& r : bands)
        FillRect(hdc, &r, brush);
}

void AniFree(ViewRecord* view) {
    AniView* ani = static_cast<AniView*>(view->viewObject);
    if (ani) {
        if (ani->window && IsWindow(ani->window)) KillTimer(ani->window, kViewerTimerCursor);
        AniDestroy(ani);
    }
    view->viewObject = nullptr;
}
