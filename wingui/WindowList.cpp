#include "wingui/WindowList.h"

#include <string.h>

#include "AppState.h"
#include "base/Memory.h"

uint16_t ToolWndRegister(HWND window, int kind, void *data) {
    uint32_t count = gApp->modelessDialogCount;
    ToolWndEntry *list = (ToolWndEntry *)MemAlloc((count + 1) * sizeof(ToolWndEntry));
    if (!list)
        return 1;
    EnterCriticalSection(&gApp->dialogListLock);
    if (count)
        memcpy(list, gApp->modelessDialogs, count * sizeof(ToolWndEntry));
    list[count].window = window;
    list[count].kind = kind;
    list[count].data = data;
    ToolWndEntry *old = gApp->modelessDialogs;
    gApp->modelessDialogs = list;
    gApp->modelessDialogCount = count + 1;
    LeaveCriticalSection(&gApp->dialogListLock);
    MemFree(&old);
    return 0;
}

void ToolWndUnregister(HWND window) {
    if (!gApp->modelessDialogs || !gApp->modelessDialogCount)
        return;
    EnterCriticalSection(&gApp->dialogListLock);
    ToolWndEntry *list = gApp->modelessDialogs;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < gApp->modelessDialogCount; i++) {
        if ((HWND)list[i].window != window)
            list[kept++] = list[i];
    }
    gApp->modelessDialogCount = kept;
    LeaveCriticalSection(&gApp->dialogListLock);
}

void ToolWndFreeAll() {
    EnterCriticalSection(&gApp->dialogListLock);
    ToolWndEntry *list = gApp->modelessDialogs;
    gApp->modelessDialogs = nullptr;
    gApp->modelessDialogCount = 0;
    LeaveCriticalSection(&gApp->dialogListLock);
    MemFree(&list);
}

HWND ToolWndFind(int kind) {
    for (uint32_t i = 0; i < gApp->modelessDialogCount; i++) {
        if (gApp->modelessDialogs[i].kind == kind)
            return (HWND)gApp->modelessDialogs[i].window;
    }
    return nullptr;
}

void WndCascade(HWND window, WindowPos *pos, int kind) {
    uint32_t count = 0;
    bool self = false;
    EnterCriticalSection(&gApp->dialogListLock);
    for (uint32_t i = 0; i < gApp->modelessDialogCount; i++) {
        if (gApp->modelessDialogs[i].kind != kind)
            continue;
        count++;
        self = self || (window && (HWND)gApp->modelessDialogs[i].window == window);
    }
    LeaveCriticalSection(&gApp->dialogListLock);
    if (self || !count || pos->right <= pos->left || pos->bottom <= pos->top)
        return;
    int step = GetSystemMetrics(SM_CYCAPTION);
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    int32_t width = pos->right - pos->left, height = pos->bottom - pos->top;
    int32_t left = pos->left + step, top = pos->top + step;
    if (left < desk.left)
        left = desk.left;
    if (top < desk.top)
        top = desk.top;
    if (left + width > desk.right)
        left = desk.left;
    if (top + height > desk.bottom)
        top = desk.top;
    pos->left = left;
    pos->top = top;
    pos->right = left + width;
    pos->bottom = top + height;
}

bool ToolWndIsDialogMessage(MSG *msg) {
    bool taken = false;
    EnterCriticalSection(&gApp->dialogListLock);
    for (uint32_t i = 0; i < gApp->modelessDialogCount && !taken; i++) {
        HWND *record = (HWND *)gApp->modelessDialogs[i].data;
        if (record && *record)
            taken = IsDialogMessageA(*record, msg) != 0;
    }
    LeaveCriticalSection(&gApp->dialogListLock);
    return taken;
}

int AniNextFrame(int frame) {
    int next = frame + 1;
    if (next > 7)
        next = 4;
    if (frame == 3)
        next = 0;
    return next;
}

void AniRegisterClass() {
    WNDCLASSA wc;
    if (GetClassInfoA(gApp->hInstance, "ZqAni", &wc))
        return;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = AniWndProc;
    wc.cbWndExtra = 4;
    wc.hInstance = gApp->hInstance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "ZqAni";
    RegisterClassA(&wc);
}

static void AniOnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!gApp->aniFrames) {
        HRSRC res = FindResourceA(gApp->hInstance, MAKEINTRESOURCEA(5), (LPCSTR)RT_BITMAP);
        HGLOBAL block = res ? LoadResource(gApp->hInstance, res) : nullptr;
        gApp->aniFrames = block ? LockResource(block) : nullptr;
    }
    const BITMAPINFO *info = (const BITMAPINFO *)gApp->aniFrames;
    if (info && info->bmiHeader.biBitCount == 4) {
        const BYTE *bits = (const BYTE *)info + info->bmiHeader.biSize + 16 * sizeof(RGBQUAD);
        int frame = (int)GetWindowLongPtrA(window, GWLP_USERDATA);
        int height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
        SetDIBitsToDevice(dc, 0, 0, 40, 40, frame * 40, 0, 0, height, bits, info, DIB_RGB_COLORS);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK AniWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetTimer(window, 1, 100, nullptr);
        return 0;
    case WM_TIMER:
        SetWindowLongPtrA(window, GWLP_USERDATA, AniNextFrame((int)GetWindowLongPtrA(window, GWLP_USERDATA)));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT:
        AniOnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_DESTROY:
        KillTimer(window, 1);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
