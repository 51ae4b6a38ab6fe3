// Shared by the player tests under Wine.
#pragma once

#include <windows.h>

#include <functional>

// Pumps this thread's messages until `done` holds; false after `ms`.
inline bool WaitFor(const std::function<bool()>& done, DWORD ms = 30000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}
