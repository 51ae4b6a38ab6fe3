#pragma once
// Tests must never wait for a click: a watcher thread closes any message box
// this process shows (answering Cancel) and counts it, and every test fails
// when a box appeared during it.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>

namespace boxwatch {

inline std::atomic<int> gBoxes{0};
inline std::atomic<int> gExpected{0};  // boxes the running test asks for
inline std::string gLastBox;

inline BOOL CALLBACK CloseBoxes(HWND w, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
        char text[256] = "";
        GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
        gLastBox = text;
        gBoxes++;
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(w, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

inline DWORD WINAPI Watch(void*) {
    for (;;) {
        EnumWindows(CloseBoxes, 0);
        Sleep(100);
    }
}

class Listener : public testing::EmptyTestEventListener {
    int before = 0;
    void OnTestStart(const testing::TestInfo&) override { before = gBoxes, gExpected = 0; }
    void OnTestEnd(const testing::TestInfo&) override {
        EXPECT_EQ(gBoxes.load() - before, gExpected.load()) << "error boxes; the last: " << gLastBox;
    }
};

struct Install {
    Install() {
        CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
        testing::UnitTest::GetInstance()->listeners().Append(new Listener);
    }
};

}  // namespace boxwatch
