// Tests that link the viewer library into the test program: the host's real
// services handed to it directly, and the message pump they wait with.
#pragma once
#include <windows.h>

#include "AppState.h"
#include "base/Memory.h"
#include "frontends/ViewerHost.h"

extern "C" int __cdecl v(ViewerCommandRecord* record);

inline void LinkedViewerPump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Program state for the host side and the handshake with the library; the
// result of the hello command (kViewerHelloResult when it took the table).
inline int LinkedViewerStart(ViewerHostServices* table) {
    gApp = (AppState*)MemAlloc(sizeof(AppState));
    if (!gApp) return -1;
    gApp->hInstance = GetModuleHandleA(nullptr);
    gApp->colorViewer[0] = RGB(0, 0, 0);
    gApp->colorViewer[1] = RGB(255, 255, 255);
    // The library lives in this program: the host calls it directly.
    gApp->viewerEntry = reinterpret_cast<FARPROC>(v);
    ViewerFillHostServices(table);
    ViewerCommandRecord hello = {kViewCmdHello, {reinterpret_cast<uintptr_t>(table), 0, 0, 0, 0}, -1};
    return v(&hello);
}

inline void LinkedViewerStop() {
    if (!gApp) return;
    gApp->viewerEntry = nullptr;
    MemFree(&gApp);
}
