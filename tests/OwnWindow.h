// For window tests: other test programs run on the same display at the same
// time, with dialogs of the same class and title, so a test looks only at
// the windows of its own process.
#pragma once

#include <windows.h>

inline HWND FindOwnWindow(const char* cls, const char* title) {
    for (HWND w = FindWindowExA(nullptr, nullptr, cls, title); w; w = FindWindowExA(nullptr, w, cls, title)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId())
            return w;
    }
    return nullptr;
}
