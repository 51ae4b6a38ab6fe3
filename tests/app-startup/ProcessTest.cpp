// Real kestrom.exe processes started from here with private settings files:
// the hand-over to a running instance, single-instance mode, closing by
// WM_CLOSE with the settings saved, and the shared temporary folder.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/OwnProcess.h"

#include <stdio.h>
#include <stdlib.h>
#include <string>

namespace {

// Confirm copy/move/delete/folder, not exit (no question box on WM_CLOSE).
const char *const kConfirm = "15";
// 0x8417 without the start logo (0x4000): the window shows at once.
const unsigned kPanelOptions = 0x8417 | 0x4000;
const unsigned kGeneralOptions = 0x40900031; // auto-save on

std::string Options(unsigned panelOptions) {
    return std::string(kConfirm) + "," + std::to_string(panelOptions) + "," + std::to_string(kGeneralOptions) +
           ",63,0,0";
}

void WriteSettings(const std::string &file, unsigned panelOptions) {
    DeleteFileA(file.c_str());
    const char *s = "Zq Vandrell";
    WritePrivateProfileStringA(s, "Options", Options(panelOptions).c_str(), file.c_str());
    WritePrivateProfileStringA(s, "Language", "US", file.c_str());
    WritePrivateProfileStringA(s, "PathL", "C:\\", file.c_str());
    WritePrivateProfileStringA(s, "PathR", "C:\\windows", file.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()); // flush the cache
}

std::string ReadSetting(const std::string &file, const char *key) {
    char value[520] = "";
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    GetPrivateProfileStringA("Zq Vandrell", key, "", value, sizeof value, file.c_str());
    return value;
}

using Process = OwnProcess;

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMain(HWND w, LPARAM lp) {
    FindData *d = (FindData *)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (pid == d->pid && !strcmp(cls, "Zq Vandrell")) {
        d->found = w;
        return FALSE;
    }
    return TRUE;
}

// The main window of a process once it is shown (start-up step 3 done).
HWND WaitMainWindow(Process &p, DWORD timeout = 15000) {
    DWORD t0 = GetTickCount();
    while (GetTickCount() - t0 < timeout) {
        FindData d = {p.pi.dwProcessId, nullptr};
        EnumWindows(FindMain, (LPARAM)&d);
        if (d.found && IsWindowVisible(d.found))
            return d.found;
        if (WaitForSingleObject(p.pi.hProcess, 50) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

std::string Exe() { return "T:\\kestrom.exe"; }

// A folder of the test's own, removed with its files when the test ends.
struct TestFolder {
    std::string dir;
    explicit TestFolder(const char *name) : dir(std::string("C:\\vtest-") + name) {
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    ~TestFolder() {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((dir + "\\" + data.cFileName).c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(dir.c_str());
    }
};

std::string SharedTempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "Zq";
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    CloseHandle(h);
}

TEST(TwoInstances, HandOverLeftPathThenCloseSavesAndCleansUp) {
    TestFolder folder("handover");
    std::string ini = folder.dir + "\\h.ini";
    WriteSettings(ini, kPanelOptions);
    CreateDirectoryA("C:\\X", nullptr);

    Process first;
    ASSERT_TRUE(first.Start(Exe(), "/I=" + ini));
    HWND main = WaitMainWindow(first);
    ASSERT_NE(main, nullptr);
    char title[64] = "";
    GetWindowTextA(main, title, sizeof title);
    EXPECT_STREQ(title, "Zq Vandrell");

    Process second;
    ASSERT_TRUE(second.Start(Exe(), "/I=" + ini + " /O /L=C:\\X"));
    // Process start-up under a loaded Wine varies widely: the deadline is
    // generous, the time only reported.
    long ms = second.WaitExit(30000);
    ASSERT_GE(ms, 0) << "the second instance did not end";
    EXPECT_EQ(second.ExitCode(), 0u);
    printf("hand-over: second instance ended after %ld ms\n", ms);

    // A copy in the shared temporary folder that the exit removes.
    std::string temp = SharedTempFolder();
    CreateDirectoryA(temp.c_str(), nullptr);
    Touch(temp + "\\copy.txt");

    DWORD t0 = GetTickCount();
    PostMessageA(main, WM_CLOSE, 0, 0);
    // Under Xvfb without a window manager Wine spends about 2 s unmapping the
    // window before WM_DESTROY; the watchdog starts only at WM_DESTROY, and
    // its exit code tells a stalled close from a clean one.
    long closeMs = first.WaitExit(30000);
    ASSERT_GE(closeMs, 0) << "no exit after WM_CLOSE";
    EXPECT_EQ(first.ExitCode(), 0u) << "ended by the watchdog?";
    printf("WM_CLOSE: process ended after %lu ms\n", (unsigned long)(GetTickCount() - t0));

    // Auto-save wrote the handed-over path; the right panel kept its own.
    EXPECT_EQ(ReadSetting(ini, "PathL"), "C:\\X");
    EXPECT_EQ(ReadSetting(ini, "PathR"), "C:\\windows");
    EXPECT_FALSE(Exists(temp));
    RemoveDirectoryA("C:\\X");
}

TEST(TwoInstances, OneInstanceModeBringsTheFirstToTheFront) {
    // No arguments at all: the copy's default settings file sits beside it.
    TestFolder folder("single");
    std::string exe = folder.dir + "\\kestrom.exe";
    ASSERT_TRUE(CopyFileA(Exe().c_str(), exe.c_str(), FALSE));
    std::string ini = folder.dir + "\\KESTR.INI";
    WriteSettings(ini, kPanelOptions | 0x1000);

    Process first;
    ASSERT_TRUE(first.Start(exe, ""));
    HWND main = WaitMainWindow(first);
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(main));

    Process second;
    ASSERT_TRUE(second.Start(exe, ""));
    long ms = second.WaitExit(30000);
    ASSERT_GE(ms, 0);
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_FALSE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_EQ(ReadSetting(ini, "PathL"), "C:\\");

    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_GE(first.WaitExit(10000), 0);
    EXPECT_EQ(first.ExitCode(), 0u);
    DeleteFileA(exe.c_str());
}

TEST(MainWindow, SplitterDragSetsTheRatio) {
    TestFolder folder("split");
    std::string ini = folder.dir + "\\s.ini";
    WriteSettings(ini, kPanelOptions);
    Process p;
    ASSERT_TRUE(p.Start(Exe(), "/I=" + ini));
    HWND main = WaitMainWindow(p);
    ASSERT_NE(main, nullptr);
    RECT rc;
    GetClientRect(main, &rc);
    int width = rc.right, y = rc.bottom / 2;
    ASSERT_GT(width, 100);
    int splitter = width / 2;
    // A press three pixels off the splitter starts nothing.
    PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(splitter + 3, y));
    PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(width / 5, y));
    // Within two pixels it drags; the release point sets the ratio.
    int target = width / 4;
    PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(splitter + 2, y));
    PostMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(width / 3, y));
    PostMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(target, y));
    PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(target, y));
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_GE(p.WaitExit(10000), 0);
    EXPECT_EQ(p.ExitCode(), 0u);
    double saved = atof(ReadSetting(ini, "Separator").c_str());
    EXPECT_NEAR(saved, (double)target / width, 0.002);
}

TEST(TwoInstances, TheLastInstanceOutRemovesTheTemporaryFolder) {
    TestFolder folder("temp");
    std::string ini = folder.dir + "\\t.ini";
    WriteSettings(ini, kPanelOptions);
    Process a, b;
    ASSERT_TRUE(a.Start(Exe(), "/I=" + ini));
    HWND mainA = WaitMainWindow(a);
    ASSERT_NE(mainA, nullptr);
    ASSERT_TRUE(b.Start(Exe(), "/I=" + ini + " /N"));
    HWND mainB = WaitMainWindow(b);
    ASSERT_NE(mainB, nullptr);

    std::string temp = SharedTempFolder();
    CreateDirectoryA(temp.c_str(), nullptr);
    Touch(temp + "\\b-copy.txt");

    PostMessageA(mainA, WM_CLOSE, 0, 0);
    ASSERT_GE(a.WaitExit(10000), 0);
    EXPECT_EQ(a.ExitCode(), 0u);
    EXPECT_TRUE(Exists(temp + "\\b-copy.txt")) << "the first instance out removed the other's copy";

    PostMessageA(mainB, WM_CLOSE, 0, 0);
    ASSERT_GE(b.WaitExit(10000), 0);
    EXPECT_EQ(b.ExitCode(), 0u);
    EXPECT_FALSE(Exists(temp));
}

} // namespace
