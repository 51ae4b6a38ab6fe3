// Shut Down and the task list with the system calls replaced: the question
// comes first and the flags are the right ones, and the task list offers a
// test program's window (never this program's own) and ends that program.
// Only processes this test started are ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "app/Commands.h"
#include "app/MainWindow.h"
#include "app/Menus.h"
#include "fileops/SysTools.h"
#include "tests/fileops-jobs/JobTestSupport.h"

namespace {

struct Seen {
    int privilege = 0, initiate = 0, exits = 0;
    UINT exitFlags = 0;
    BOOL initiateResult = FALSE;
    OSVERSIONINFOA version = {};
} gSeen;

BOOL FakeVersion(OSVERSIONINFOA *v) {
    *v = gSeen.version;
    return TRUE;
}
void FakePrivilege() { gSeen.privilege++; }
BOOL FakeInitiate() {
    gSeen.initiate++;
    return gSeen.initiateResult;
}
BOOL FakeExit(UINT flags, DWORD) {
    gSeen.exits++;
    gSeen.exitFlags = flags;
    return TRUE;
}
BOOL NoTerminate(HANDLE, UINT) {
    ADD_FAILURE() << "no process may be ended here";
    return FALSE;
}

struct SysFixture : ::testing::Test {
    void SetUp() override {
        JobTestInitApp();
        saved = gSysCalls;
        gSeen = Seen{};
        gSysCalls.getVersion = FakeVersion;
        gSysCalls.enableShutdownPrivilege = FakePrivilege;
        gSysCalls.initiateShutdown = FakeInitiate;
        gSysCalls.exitWindows = FakeExit;
        gSysCalls.terminate = NoTerminate;
    }
    void TearDown() override { gSysCalls = saved; }
    SysCalls saved;
};

using Shutdown = SysFixture;

const UINT kOff = EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF;

TEST_F(Shutdown, EachSystemTakesItsWay) {
    struct Case {
        DWORD platform, major;
        BOOL initiateWorks;
        int privilege, initiate, exits;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, 4, TRUE, 1, 1, 0},       // NT 4: the old call does it
        {VER_PLATFORM_WIN32_NT, 4, FALSE, 1, 1, 1},      // ... and when it fails, the other
        {VER_PLATFORM_WIN32_NT, 5, TRUE, 1, 0, 1},       // 2000 and later
        {VER_PLATFORM_WIN32_WINDOWS, 4, TRUE, 0, 0, 1},  // 9x
    };
    for (const Case &c : cases) {
        gSeen = Seen{};
        gSeen.version.dwPlatformId = c.platform;
        gSeen.version.dwMajorVersion = c.major;
        gSeen.initiateResult = c.initiateWorks;
        SysShutdown();
        SCOPED_TRACE(std::to_string(c.platform) + "/" + std::to_string(c.major));
        EXPECT_EQ(gSeen.privilege, c.privilege);
        EXPECT_EQ(gSeen.initiate, c.initiate);
        EXPECT_EQ(gSeen.exits, c.exits);
        if (c.exits) {
            EXPECT_EQ(gSeen.exitFlags, kOff);
        }
    }
}

TEST_F(Shutdown, CommandAsksFirst) {
    gSeen.version.dwPlatformId = VER_PLATFORM_WIN32_NT;
    gSeen.version.dwMajorVersion = 6;
    HWND main = CreateWindowA("STATIC", "dispatch host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    {
        DialogAnswerer no("Zq Vandrell", {IDNO});
        MainCommandDispatch(main, 320);
        no.Join();
        EXPECT_EQ(no.answered(), 1);
    }
    EXPECT_EQ(gSeen.exits, 0);
    {
        DialogAnswerer yes("Zq Vandrell", {IDYES});
        MainCommandDispatch(main, 320);
        yes.Join();
        EXPECT_EQ(yes.answered(), 1);
    }
    EXPECT_EQ(gSeen.exits, 1);
    EXPECT_EQ(gSeen.exitFlags, kOff);
    DestroyWindow(main);
}

// ---- task list

// How the owner shows one item, asked by the messages the menu sends it.
struct Look {
    UINT width = 0, height = 0;
    int iconInk = 0, titleInk = 0; // pixels off the background in the icon box, in the title
    COLORREF background = 0, selectedBackground = 0;
};

struct Offered {
    std::vector<std::string> titles;
    std::vector<HWND> windows;
    std::vector<int> ids;
    std::vector<UINT> types;
    HWND choose = nullptr;
    Look chosenLook;
} gOffered;

COLORREF Pixel(const uint8_t *bits, int stride, int x, int y) {
    const uint8_t *p = bits + y * stride + x * 4;
    return RGB(p[2], p[1], p[0]);
}

int Ink(const uint8_t *bits, int stride, const RECT &r, COLORREF background) {
    int n = 0;
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            n += Pixel(bits, stride, x, y) != background;
    return n;
}

// Measures and draws an item through the owner, plain and selected.
Look ItemLook(HMENU menu, HWND owner, UINT id, HWND window) {
    Look look;
    MEASUREITEMSTRUCT measure = {ODT_MENU, 0, id, 0, 0, (ULONG_PTR)window};
    if (!SendMessageA(owner, WM_MEASUREITEM, 0, (LPARAM)&measure))
        return look;
    look.width = measure.itemWidth;
    look.height = measure.itemHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, (LONG)look.width, -(LONG)look.height, 1, 32, BI_RGB};
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (UINT state : {0u, (UINT)ODS_SELECTED}) {
        RECT all = {0, 0, (LONG)look.width, (LONG)look.height};
        FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
        DRAWITEMSTRUCT draw = {ODT_MENU, 0, id, ODA_DRAWENTIRE, state, (HWND)menu, dc, all, (ULONG_PTR)window};
        SendMessageA(owner, WM_DRAWITEM, 0, (LPARAM)&draw);
        GdiFlush();
        const uint8_t *p = (const uint8_t *)bits;
        int stride = (int)look.width * 4;
        COLORREF background = Pixel(p, stride, 25, 1); // between the icon box and the title
        if (state) {
            look.selectedBackground = background;
        } else {
            look.background = background;
            RECT icon = {3, 3, 19, 19}, title = {30, 0, (LONG)look.width - 1, (LONG)look.height};
            look.iconInk = Ink(p, stride, icon, Pixel(p, stride, 21, look.height / 2));
            look.titleInk = Ink(p, stride, title, background);
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return look;
}

int FakeTrack(HMENU menu, HWND owner) {
    gOffered.titles.clear();
    gOffered.windows.clear();
    gOffered.ids.clear();
    gOffered.types.clear();
    int chosen = 0;
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        char text[80] = "";
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_DATA | MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &item);
        gOffered.titles.push_back(text);
        gOffered.windows.push_back((HWND)item.dwItemData);
        gOffered.ids.push_back((int)item.wID);
        gOffered.types.push_back(item.fType);
        if ((HWND)item.dwItemData == gOffered.choose) {
            chosen = (int)item.wID;
            gOffered.chosenLook = ItemLook(menu, owner, item.wID, (HWND)item.dwItemData);
        }
    }
    return chosen;
}

// An owner that hands its menu messages to the program's menu drawing, as
// the main window does.
LRESULT CALLBACK MenuOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (MenuHandleMessage(window, message, wParam, lParam, &result))
        return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeMenuOwner() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MenuOwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZqMenuOwner";
    RegisterClassA(&wc);
    return CreateWindowA("ZqMenuOwner", "zq owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 50, nullptr,
                         nullptr, nullptr, nullptr);
}

std::string Here() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *strrchr(path, '\\') = 0;
    return path;
}

HWND WaitWindow(const char *title) {
    for (DWORD end = GetTickCount() + 30000; GetTickCount() < end; Sleep(20)) {
        if (HWND w = FindWindowA("ZqTaskWindow", title))
            return w;
    }
    return nullptr;
}

using TaskList = SysFixture;

TEST_F(TaskList, EndsTheChosenProgramAndNeverOffersItsOwn) {
    gSysCalls.terminate = saved.terminate;
    gSysCalls.trackPopup = FakeTrack;
    char title[64];
    wsprintfA(title, "zq task %lu", GetCurrentProcessId());
    std::string command = "\"" + Here() + "\\zqtaskwin.exe\" " + title;
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    HWND target = WaitWindow(title);
    ASSERT_TRUE(target);
    for (DWORD end = GetTickCount() + 30000; !IsWindowVisible(target) && GetTickCount() < end;)
        Sleep(20);
    // A visible window of this program itself.
    HWND own = CreateWindowA("STATIC", "zq own window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 50, nullptr,
                             nullptr, nullptr, nullptr);
    HWND owner = MakeMenuOwner();
    gOffered.choose = target;
    SysTaskMenu(owner);
    bool listed = false;
    for (size_t i = 0; i < gOffered.windows.size(); i++) {
        EXPECT_EQ(gOffered.ids[i], kSysTaskFirstId + (int)i);
        DWORD process = 0;
        GetWindowThreadProcessId(gOffered.windows[i], &process);
        EXPECT_NE(process, GetCurrentProcessId()) << gOffered.titles[i];
        EXPECT_TRUE(gOffered.types[i] & MFT_OWNERDRAW) << gOffered.titles[i];
        if (gOffered.windows[i] == target) {
            listed = true;
            EXPECT_EQ(gOffered.titles[i], title);
        }
    }
    EXPECT_TRUE(listed);
    // What the user sees of the item: a line at least 20 pixels high with
    // the program's icon and its title, highlighted when selected.
    const Look &look = gOffered.chosenLook;
    EXPECT_GE(look.height, 20u);
    EXPECT_GE(look.height, (UINT)GetSystemMetrics(SM_CYMENU));
    EXPECT_GT(look.width, 30u + 8u * 5) << "30 pixels beside a title of a dozen characters";
    EXPECT_GT(look.titleInk, 20) << "no title drawn";
    // The icon comes from the window's class, which Wine does not give out
    // for another process's window: the same drawing shown on a window of
    // this process whose class has one.
    WNDCLASSA iconClass = {};
    iconClass.lpfnWndProc = DefWindowProcA;
    iconClass.hInstance = GetModuleHandleA(nullptr);
    iconClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32516)); // IDI_INFORMATION
    iconClass.lpszClassName = "ZqIconWindow";
    RegisterClassA(&iconClass);
    HWND withIcon = CreateWindowA("ZqIconWindow", "zq icon window", WS_OVERLAPPEDWINDOW, 0, 0, 100, 50, nullptr,
                                  nullptr, nullptr, nullptr);
    Look iconLook = ItemLook(nullptr, owner, kSysTaskFirstId, withIcon);
    EXPECT_GT(iconLook.iconInk, 20) << "no icon drawn";
    EXPECT_GT(iconLook.titleInk, 20);
    DestroyWindow(withIcon);
    EXPECT_NE(look.background, look.selectedBackground) << "selection not shown";
    EXPECT_LE(gOffered.windows.size(), (size_t)kSysTaskMax);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0xFFFFFFFFu);
    if (code == STILL_ACTIVE)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    DestroyWindow(own);
    DestroyWindow(owner);
}

TEST_F(TaskList, SwitchListOffersThisProgramsOtherWindowsAndBringsTheChosenOneUp) {
    gSysCalls.trackPopup = FakeTrack;
    HWND owner = MakeMenuOwner();
    HWND other = CreateWindowA("STATIC", "zq switch target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 120, 60,
                               nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(owner);
    gOffered.choose = other;
    MainTaskPopup(owner);
    bool listed = false;
    for (size_t i = 0; i < gOffered.windows.size(); i++) {
        EXPECT_NE(gOffered.windows[i], owner) << "the calling window is not offered";
        EXPECT_TRUE(gOffered.types[i] & MFT_OWNERDRAW) << gOffered.titles[i];
        EXPECT_EQ(gOffered.ids[i], kSysTaskFirstId + (int)i);
        listed = listed || gOffered.windows[i] == other;
    }
    EXPECT_TRUE(listed) << "this program's other windows are offered";
    EXPECT_GE(gOffered.chosenLook.height, 20u);
    bool up = false;
    for (DWORD end = GetTickCount() + 30000; !up && GetTickCount() < end; Sleep(10)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        up = GetActiveWindow() == other;
    }
    EXPECT_TRUE(up) << "the chosen window was not brought up";
    DestroyWindow(other);
    DestroyWindow(owner);
}

TEST_F(TaskList, NothingChosenEndsNothing) {
    gSysCalls.trackPopup = [](HMENU, HWND) { return 0; };
    SysTaskMenu(nullptr); // terminate would fail the test
    gSysCalls.trackPopup = [](HMENU, HWND) { return kSysTaskFirstId + kSysTaskMax + 5; };
    SysTaskMenu(nullptr);
}

TEST_F(TaskList, UnknownProcessIsNotEnded) {
    // Process ids are multiples of 4: this one names nobody.
    EXPECT_EQ(SysTerminateProcess(0x7FFFFFF3u), 0);
    EXPECT_EQ(SysTerminateProcess(0), 0);
}

} // namespace
