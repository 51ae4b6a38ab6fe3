// GIF views: a worker thread decodes the frames so the first one shows while
// the rest of an animation is still coming; timer 81 steps through them.
#include <process.h>

#include "viewer/LumoraInternal.h"

namespace {

unsigned __stdcall GifDecodeThread(void* param) {
    GifView* gif = static_cast<GifView*>(param);
    MappedFile file;
    GifStream stream;
    if (MappedFileOpen(&file, gif->view->openPath) == 0 && file.view && file.size <= SIZE_MAX &&
        GifOpen(&stream, file.view, (size_t)file.size)) {
        gif->screenWidth = stream.screenWidth;
        gif->screenHeight = stream.screenHeight;
        uint32_t background = gif->view->backColor ? *gif->view->backColor : RGB(255, 255, 255);
        GifFrame* last = nullptr;
        while (gif->runFlag == 1) {
            GifFrame* frame = GifNextFrame(&stream, gPicAlloc, background);
            if (!frame) break;
            gif->loopCount = stream.loopCount;
            // A frame is linked in only when complete; the list only grows
            // at its tail, so painting needs no lock.
            if (last)
                InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&last->next), frame);
            else
                InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&gif->frames), frame);
            last = frame;
            if (InterlockedIncrement(reinterpret_cast<volatile LONG*>(&gif->frameCount)) == 1)
                SetEvent(gif->firstFrame);
        }
        gif->loopCount = stream.loopCount;
    }
    MappedFileClose(&file);
    SetEvent(gif->firstFrame);
    InterlockedExchange(&gif->runFlag, 0);
    return 0;
}

void GifFreeFrames(GifView* gif) {
    GifFrame* frame = gif->frames;
    while (frame) {
        GifFrame* next = frame->next;
        GifFreeFrame(&frame, gPicAlloc);
        frame = next;
    }
    gif->frames = nullptr;
}

void GifRelease(GifView** gif) {
    if ((*gif)->thread) {
        InterlockedCompareExchange(&(*gif)->runFlag, 2, 1);
        WaitForSingleObject((*gif)->thread, INFINITE);
        CloseHandle((*gif)->thread);
    }
    GifFreeFrames(*gif);
    if ((*gif)->firstFrame) CloseHandle((*gif)->firstFrame);
    gHost->MemFree(reinterpret_cast<void**>(gif));
}

} // namespace

const GifFrame* GifFrameAt(const GifView* gif, uint32_t index) {
    const GifFrame* frame = gif->frames;
    for (uint32_t i = 0; frame && frame->next && i < index; i++)
        frame = frame->next;
    return frame;
}

bool GifOpenView(ViewRecord* view) {
    GifView* gif = static_cast<GifView*>(gHost->MemAlloc(sizeof(GifView)));
    if (!gif) return false;
    gif->runFlag = 1;
    gif->view = view;
    gif->firstFrame = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (gif->firstFrame)
        gif->thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, GifDecodeThread, gif, 0, nullptr));
    if (!gif->thread) {
        // The worker never started: nothing to wait for.
        GifRelease(&gif);
        return false;
    }
    // The worker signals the event after the first frame or when it gives
    // up; waiting on the thread as well covers a worker that ends any way.
    HANDLE waits[2] = {gif->firstFrame, gif->thread};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    const GifFrame* first = gif->frames;
    if (!first) {
        GifRelease(&gif);
        return false;
    }
    view->viewObject = gif;
    view->viewKind = kViewGif;
    // The content is the logical screen, grown to the first frame where a
    // damaged header makes the screen smaller than the frame.
    int32_t w = first->left + first->width, h = first->top + first->height;
    view->contentWidth = gif->screenWidth > w ? gif->screenWidth : w;
    view->contentHeight = gif->screenHeight > h ? gif->screenHeight : h;
    return true;
}

void GifPaint(HWND window, HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view) {
    const GifView* gif = static_cast<const GifView*>(view->viewObject);
    const GifFrame* frame = gif ? GifFrameAt(gif, gif->currentFrame) : nullptr;
    if (!frame) {
        FillRect(hdc, rect, brush);
        return;
    }
    int sx = view->scrollX ? *view->scrollX : 0, sy = view->scrollY ? *view->scrollY : 0;
    int x = frame->left + rect->left - sx, y = frame->top + rect->top - sy;
    // The screen around the frame shows the background.
    int saved = SaveDC(hdc);
    ExcludeClipRect(hdc, x, y, x + frame->width, y + frame->height);
    FillRect(hdc, rect, brush);
    RestoreDC(hdc, saved);
    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof bi;
    bi.biWidth = frame->width;
    bi.biHeight = -frame->height;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    SetDIBitsToDevice(hdc, x, y, (DWORD)frame->width, (DWORD)frame->height, 0, 0, 0, (UINT)frame->height,
                      frame->rows, reinterpret_cast<const BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    if (window) SetTimer(window, kViewerTimerGif, frame->delayMs, nullptr);
}

void GifTick(HWND window, ViewRecord* view) {
    GifView* gif = static_cast<GifView*>(view->viewObject);
    if (view->viewKind == kViewGif && gif) {
        uint32_t count = gif->frameCount;
        if (count > 1) {
            uint32_t next = gif->currentFrame + 1;
            if (next >= count && gif->runFlag == 0) {
                if (gif->loopCount == 0) {
                    next = 0;
                } else if (gif->loopCount > 1) {
                    gif->loopCount--;
                    next = 0;
                } else {
                    next = count - 1; // played out: the last frame stays
                }
            } else if (next >= count) {
                next = count - 1; // still decoding: wait on the last frame there is
            }
            if (next != gif->currentFrame) {
                gif->currentFrame = next;
                InvalidateRect(window, nullptr, FALSE);
            }
        }
    }
    KillTimer(window, kViewerTimerGif);
}

void GifFree(ViewRecord* view) {
    GifView* gif = static_cast<GifView*>(view->viewObject);
    view->viewObject = nullptr;
    if (gif) GifRelease(&gif);
}
