// The two panels as a user meets them: real folders on a drive of the test
// sandbox, the refresh thread running, keys and mouse sent as messages and
// read back. Files are created, renamed and deleted behind the panels' back.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <string>
#include <atomic>
#include <mutex>
#include <thread>
#include <algorithm>
#include <vector>

#include "AppState.h"
#include "ZipCore.h"
#include "frontends/ArcFrontEnd.h"
#include "app/Commands.h"
#include "app/DirWatch.h"
#include "app/bars/KeyHook.h"
#include "app/bars/Splitter.h"
#include "app/bars/StatusBar.h"
#include "fileops/DiskTools.h"
#include "fileops/ShareList.h"
#include "panels/DirSizes.h"
#include "panels/PanelIcons.h"
#include "panels/PanelInput.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelMenus.h"
#include "panels/PanelNav.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelRename.h"
#include "panels/PanelStatus.h"
#include "panels/PanelTree.h"
#include "panels/PanelViewMode.h"
#include "panels/PanelWindow.h"
#include "panels/QuickSearch.h"
#include "tests/OwnWindow.h"
#include "wingui/WindowUtil.h"

namespace {

char gRoot[MAX_PATH];
std::vector<UINT> gCommands;
HWND gStatus;

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        PanelScrollFromMain(message, wParam, lParam);
        return 0;
    case WM_COMMAND:
        gCommands.push_back(LOWORD(wParam));
        return 0;
    case WM_SIZE:
        PanelRelayoutAll();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string Path(const char *rel) { return std::string(gRoot) + "\\" + rel; }

void MakeFile(const char *rel, size_t size) {
    HANDLE h = CreateFileA(Path(rel).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << rel;
    std::string data(size, 'x');
    DWORD done;
    ::WriteFile(h, data.data(), (DWORD)size, &done, nullptr);
    CloseHandle(h);
}

// Removes a folder tree of the test's own work folder.
void RemoveTree(const std::string &dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link: removed itself, never entered.
                if (!RemoveDirectoryA(full.c_str()))
                    DeleteFileA(full.c_str());
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while ((int)(end - GetTickCount()) > 0);
}

// What the main window's one-second timer does for the panels.
DWORD gLastPoll;
void WatchTick() {
    if (GetTickCount() - gLastPoll < 1000)
        return;
    gLastPoll = GetTickCount();
    for (int p = 0; p < 2; p++)
        if (DirWatchPoll(&gApp->changeNotify[p]))
            PanelRequestReread(p);
}

std::vector<std::string> Names(int panel) {
    std::vector<std::string> names;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        names.push_back(EntryName(e));
    PanelIterEnd(&it);
    return names;
}

int IndexOf(int panel, const char *name) {
    auto names = Names(panel);
    for (size_t i = 0; i < names.size(); i++)
        if (names[i] == name)
            return (int)i;
    return -1;
}

bool Marked(int panel, const char *name) {
    PanelIter it;
    bool marked = false;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if (!strcmp(EntryName(e), name))
            marked = e->mark & 1;
    PanelIterEnd(&it);
    return marked;
}

std::string CursorName(int panel) {
    char name[260] = "";
    PanelCursorName(panel, name, sizeof name);
    return name;
}

// The main status bar and the left panel's own bar, for as long as a test
// needs them; their texts are read back from the fields.
struct StatusBarsShown {
    StatusBarsShown() {
        StatusBarCreate(gMainWindow, 0);
        StatusBarCreate(gMainWindow, 1);
    }
    ~StatusBarsShown() {
        StatusBarDestroy(1);
        StatusBarDestroy(0);
    }
    static std::string Field(int id) {
        StatusField *f = StatusFieldFind(id);
        return f && f->text ? f->text : "";
    }
};

// Waits (pumping, watch ticking) until cond holds; returns the time taken or
// -1 after the limit.
template <class F> int WaitFor(F cond, DWORD limitMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        WatchTick();
        Pump(10);
        if (cond())
            return (int)(GetTickCount() - start);
    }
    return -1;
}

void Key(WPARAM vk, int panel = -1) {
    HWND list = gApp->panels[panel < 0 ? gApp->activePanel & 1 : panel].listWindow;
    SendMessageA(list, WM_KEYDOWN, vk, 1);
    Pump(20);
}

// Until no re-read is wanted or at work in either panel: a slow one finishing
// later would put the cursor back where a fresh folder starts.
void WaitIdle() {
    const uint32_t pending = kRefreshWanted | kRefreshBusy;
    WaitFor([&] { return !(gRefreshFlags[0].load() & pending) && !(gRefreshFlags[1].load() & pending); }, 30000);
    Pump(100);
}

void CursorTo(int panel, const char *name) {
    Key(VK_HOME, panel);
    for (int i = 0; i < 20 && CursorName(panel) != name; i++)
        Key(VK_DOWN, panel);
    ASSERT_EQ(CursorName(panel), name);
}

void ChangeTo(int panel, const char *rel) {
    ASSERT_EQ(PanelChangeDir(Path(rel).c_str(), panel), 0);
    WaitIdle();
}

// Client point of the middle of an entry's name.
LPARAM RowPoint(int panel, uint32_t index, int x = 30) {
    RECT r;
    PanelEntryRect(gApp->panels[panel].listWindow, panel, &r, index);
    return MAKELPARAM(x, (r.top + r.bottom) / 2);
}

void Click(int panel, UINT down, UINT up, WPARAM keys, LPARAM at) {
    HWND list = gApp->panels[panel].listWindow;
    SendMessageA(list, down, keys, at);
    if (up)
        SendMessageA(list, up, keys & ~(MK_LBUTTON | MK_RBUTTON), at);
    Pump(20);
}

// Runs a Linux program on files of the work folder (host paths); false when
// it could not be started.
bool RunLinux(const char *program, const char *rel1, const char *rel2 = nullptr) {
    char build[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("VANDRELL_BUILD", build, sizeof build))
        return false;
    auto host = [&](const char *rel) {
        std::string p = std::string(build) + "/bin/panels-work/" + rel;
        for (char &c : p)
            if (c == '\\')
                c = '/';
        return p;
    };
    std::string exe = program;
    for (char &c : exe)
        if (c == '/')
            c = '\\';
    std::string cmd = "\\\\?\\unix" + exe + " " + host(rel1);
    if (rel2)
        cmd += " " + host(rel2);
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return true;
}

const char *gMask;
const char *MaskSource(int) { return gMask; }

class Panels : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Scratch folders on the build drive of the sandbox.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        strcpy(gRoot, "T:\\panels-work");
        SHFILEOPSTRUCTA none = {}; // keep shell32 linked for ShellExecute
        (void)none;
        RemoveTree(gRoot); // a fresh folder for every run
        CreateDirectoryA(gRoot, nullptr);
        for (const char *d : {"left", "left\\sub", "left\\sub\\deep", "left\\docs", "right"})
            CreateDirectoryA(Path(d).c_str(), nullptr);
        const char *files[] = {"left\\a.txt", "left\\b.txt", "left\\c.txt", "left\\d.doc", "left\\e.doc"};
        for (size_t i = 0; i < 5; i++)
            MakeFile(files[i], 1000 * (i + 1));
        for (int i = 0; i < 60; i++) {
            char name[64];
            snprintf(name, sizeof name, "right\\file%02d.dat", i);
            MakeFile(name, 100 + i);
        }
        gApp = (AppState *)calloc(1, sizeof(AppState));
        gApp->hInstance = GetModuleHandleA(nullptr);
        InitializeCriticalSection(&gApp->dialogListLock); // the job dialogs register in the window list
        gApp->panelOptions = kPanelShowTitle;
        gApp->barOptions = kBarDrives;
        gApp->changeNotify[0] = gApp->changeNotify[1] = INVALID_HANDLE_VALUE;
        gApp->panelFilter[0].allowedAttributes = gApp->panelFilter[1].allowedAttributes = 55;
        strcpy(gApp->panelPath[0], Path("left").c_str());
        strcpy(gApp->panelPath[1], Path("right").c_str());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestMainProc;
        wc.hInstance = gApp->hInstance;
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = "PanelsTestMain";
        RegisterClassA(&wc);
        gMainWindow = CreateWindowA("PanelsTestMain", "panels", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 900,
                                    560, nullptr, nullptr, gApp->hInstance, nullptr);
        for (int p = 0; p < 2; p++) {
            PanelCreateWindows(gMainWindow, p);
            DirWatchOpen(gApp->panelPath[p], &gApp->changeNotify[p]);
        }
        gStatus = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | WS_BORDER, 0, 560 - 22, 900,
                                22, gMainWindow, nullptr, gApp->hInstance, nullptr);
        PanelRelayoutAll();
        gApp->isWinNT = AppIsWinNt(); // as the main window has it: the refresh thread asks for the shares
        ASSERT_TRUE(PanelRefreshStart());
        WaitFor([] { return PanelListCount(0) > 0 && PanelListCount(1) > 0; }, 5000);
        Pump(200);
    }
    static void TearDownTestSuite() {
        PanelRefreshStop();
        DestroyWindow(gMainWindow);
    }
    void SetUp() override {
        PanelSetMaskSource(nullptr);
        gApp->activePanel = 0;
        gApp->panelOptions = kPanelShowTitle;
        gApp->generalOptions = 0;
        for (int p = 0; p < 2; p++)
            PanelMarkGroup(p, kMarkClear, true, nullptr);
    }
};

} // namespace

TEST_F(Panels, ListRealFoldersSorted) {
    auto left = Names(0);
    std::vector<std::string> want = {"..", "docs", "sub", "a.txt", "b.txt", "c.txt", "d.doc", "e.doc"};
    EXPECT_EQ(left, want);
    EXPECT_EQ(Names(1).size(), 61u);
    EXPECT_GT(gApp->panels[1].visibleRows, 5u);
    EXPECT_GT(gApp->panels[0].pageSize, 0u);
}

TEST_F(Panels, CursorKeysPagesAndEnds) {
    gApp->activePanel = 1;
    Key(VK_HOME);
    EXPECT_EQ(gApp->cursorIndex[1], 0u);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(gApp->cursorIndex[1], 2u);
    Key(VK_UP);
    EXPECT_EQ(gApp->cursorIndex[1], 1u);
    Key(VK_END);
    EXPECT_EQ(gApp->cursorIndex[1], 60u);
    EXPECT_EQ(gApp->topIndex[1], gApp->panels[1].topMax);
    Key(VK_DOWN);
    EXPECT_EQ(gApp->cursorIndex[1], 60u);
    Key(VK_HOME);
    Key(VK_NEXT);
    uint32_t page = gApp->panels[1].pageSize;
    EXPECT_EQ(gApp->cursorIndex[1], page);
    EXPECT_EQ(gApp->topIndex[1], (int32_t)page);
    Key(VK_PRIOR);
    EXPECT_EQ(gApp->cursorIndex[1], 0u); // back on the first page: first entry
    for (int i = 0; i < 10; i++)
        Key(VK_NEXT);
    EXPECT_EQ(gApp->cursorIndex[1], 60u); // the last page ends on the last entry
    Key(VK_UP);
    EXPECT_EQ(CursorName(1), "file58.dat");
}

TEST_F(Panels, TabSwitchesPanels) {
    Key(VK_TAB);
    EXPECT_EQ(gApp->activePanel, 1);
    Key(VK_TAB);
    EXPECT_EQ(gApp->activePanel, 0);
}

TEST_F(Panels, InsertAndGreyKeysMark) {
    gApp->panelOptions |= kPanelInsDown;
    Key(VK_HOME);
    Key(VK_INSERT); // ".." is never marked but the cursor still moves on
    EXPECT_EQ(PanelCountMarked(0), 0u);
    EXPECT_EQ(gApp->cursorIndex[0], 1u);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_INSERT);
    EXPECT_TRUE(Marked(0, "a.txt"));
    EXPECT_EQ(CursorName(0), "b.txt");
    Key(VK_MULTIPLY); // files only: a.txt off, the other four on
    EXPECT_EQ(PanelCountMarked(0), 4u);
    EXPECT_FALSE(Marked(0, "a.txt"));
    gMask = "*.doc";
    PanelSetMaskSource(MaskSource);
    Key(VK_SUBTRACT);
    EXPECT_EQ(PanelCountMarked(0), 2u);
    gMask = "a*";
    Key(VK_ADD);
    EXPECT_EQ(PanelCountMarked(0), 3u);
    EXPECT_TRUE(Marked(0, "a.txt"));
    gMask = nullptr; // cancelled dialog: nothing changes
    Key(VK_ADD);
    EXPECT_EQ(PanelCountMarked(0), 3u);
    Key(189); // unmark all, restorable
    EXPECT_EQ(PanelCountMarked(0), 0u);
    EXPECT_EQ(PanelRestoreMarks(0), 3u);
    // The summary appears in the status text when something is marked.
    char line[300];
    PanelFormatStatusLine(0, line, sizeof line, 1);
    // Seven objects in the folder: ".." is not one of them.
    EXPECT_NE(strstr(line, "3 of 7 object"), nullptr) << line;
}

TEST_F(Panels, EnterFolderAndBackLeavesCursorOnIt) {
    WaitIdle();
    Key(VK_HOME);
    while (CursorName(0) != "sub" && gApp->cursorIndex[0] < 7)
        Key(VK_DOWN);
    ASSERT_EQ(CursorName(0), "sub");
    Key(VK_RETURN);
    WaitIdle();
    char path[260];
    PanelGetPath(0, path, sizeof path);
    EXPECT_EQ(std::string(path), Path("left\\sub"));
    EXPECT_EQ(gApp->cursorIndex[0], 0u);
    EXPECT_EQ(CursorName(0), "..");
    Key(VK_RETURN);
    WaitIdle();
    PanelGetPath(0, path, sizeof path);
    EXPECT_EQ(std::string(path), Path("left"));
    EXPECT_EQ(CursorName(0), "sub");
}

TEST_F(Panels, RefreshFollowsChangesKeepingMarksAndCursor) {
    ChangeTo(0, "left");
    int c = IndexOf(0, "c.txt");
    ASSERT_GT(c, 0);
    gApp->cursorIndex[0] = (uint32_t)c;
    {
        int b = IndexOf(0, "b.txt");
        ASSERT_GT(b, 0);
        PanelIter it;
        PanelIterBegin(&it, 0);
        PanelIterAt(&it, (uint32_t)b)->mark = 1;
        PanelIterEnd(&it);
    }
    bool fromLinux = RunLinux("/usr/bin/touch", "left/a0.txt");
    printf("files changed through %s\n", fromLinux ? "Linux programs" : "Win32");
    if (!fromLinux)
        MakeFile("left\\a0.txt", 10);
    int took = WaitFor([] { return IndexOf(0, "a0.txt") >= 0; }, 15000);
    EXPECT_GE(took, 0);
    printf("created file shown after %d ms\n", took);
    Pump(100);
    EXPECT_TRUE(Marked(0, "b.txt"));
    EXPECT_EQ(CursorName(0), "c.txt"); // the new file came before it; the cursor stayed on it
    if (!RunLinux("/bin/mv", "left/a0.txt", "left/zz.txt"))
        ASSERT_TRUE(MoveFileA(Path("left\\a0.txt").c_str(), Path("left\\zz.txt").c_str()));
    took = WaitFor([] { return IndexOf(0, "zz.txt") >= 0 && IndexOf(0, "a0.txt") < 0; }, 15000);
    EXPECT_GE(took, 0);
    if (!RunLinux("/bin/rm", "left/zz.txt"))
        ASSERT_TRUE(DeleteFileA(Path("left\\zz.txt").c_str()));
    took = WaitFor([] { return IndexOf(0, "zz.txt") < 0; }, 15000);
    EXPECT_GE(took, 0);
    Pump(100);
    EXPECT_TRUE(Marked(0, "b.txt"));
    EXPECT_EQ(CursorName(0), "c.txt");
}

std::atomic<int> gProbeCalls;
void RequestDuringReread(int panel) {
    if (panel == 0 && gProbeCalls++ == 0)
        PanelRequestReread(0); // arrives while the re-read runs
}

TEST_F(Panels, RequestDuringRereadIsServedByTheNextCycle) {
    ChangeTo(0, "left");
    gProbeCalls = 0;
    uint32_t before = gPanelLists[0].generation.load();
    gPanelRereadProbe = RequestDuringReread;
    PanelRequestReread(0);
    int took = WaitFor([&] { return gPanelLists[0].generation.load() >= before + 2; }, 2000);
    gPanelRereadProbe = nullptr;
    EXPECT_GE(took, 0) << "the request made during the re-read was lost";
    EXPECT_GE(gProbeCalls.load(), 2);
}

// The user moves the cursor after a re-read has put its new list in place
// but before the interface thread has heard of it: the cursor stays where the
// user put it instead of going back to the entry it was on before.
TEST_F(Panels, CursorMovedBeforeTheNewListIsShownStaysWhereItWasPut) {
    ChangeTo(0, "left");
    CursorTo(0, "c.txt");
    uint32_t before = gPanelLists[0].generation.load();
    PanelRequestReread(0);
    // No pumping: the list window hears of the new list only afterwards.
    const uint32_t pending = kRefreshWanted | kRefreshBusy;
    DWORD start = GetTickCount();
    while ((gPanelLists[0].generation.load() == before || (gRefreshFlags[0].load() & pending)) &&
           GetTickCount() - start < 30000)
        Sleep(5);
    ASSERT_NE(gPanelLists[0].generation.load(), before) << "the re-read never finished";
    Key(VK_UP, 0);
    WaitIdle();
    EXPECT_EQ(CursorName(0), "b.txt");
}

TEST_F(Panels, DeletedFolderMovesPanelToParent) {
    CreateDirectoryA(Path("left\\sub\\gone").c_str(), nullptr);
    ChangeTo(1, "left\\sub\\gone");
    SetCurrentDirectoryA("T:\\"); // the shown folder must not be our current one
    // Deleted from Linux: the Win32 delete would only be pending while the
    // panel's change watch holds the folder open.
    // A Linux program gives no handle to wait on: wait for the folder to go.
    if (RunLinux("/bin/rmdir", "left/sub/gone"))
        WaitFor([] { return GetFileAttributesA(Path("left\\sub\\gone").c_str()) == INVALID_FILE_ATTRIBUTES; }, 15000);
    if (GetFileAttributesA(Path("left\\sub\\gone").c_str()) != INVALID_FILE_ATTRIBUTES)
        ASSERT_TRUE(RemoveDirectoryA(Path("left\\sub\\gone").c_str()));
    std::string parent = Path("left\\sub");
    int took = WaitFor(
        [&] {
            char path[260];
            PanelGetPath(1, path, sizeof path);
            return parent == path && IndexOf(1, "deep") >= 0;
        },
        15000);
    char shown[260];
    PanelGetPath(1, shown, sizeof shown);
    EXPECT_GE(took, 0) << shown << " " << Names(1).size();
    ChangeTo(1, "right");
}

TEST_F(Panels, OwnDriveLetterJumpsToTheOtherPanelsFolder) {
    ChangeTo(0, "left\\docs");
    ChangeTo(1, "right");
    EXPECT_EQ(PanelSelectDrive(gMainWindow, 0, 't'), 0);
    WaitIdle();
    char path[260];
    PanelGetPath(0, path, sizeof path);
    EXPECT_EQ(std::string(path), Path("right"));
    EXPECT_EQ(PanelSelectDrive(gMainWindow, 0, '0'), 0); // an FTP slot without a connection: nothing
    ChangeTo(0, "left");
}

TEST_F(Panels, MouseClickMarkAndHeaderSort) {
    ChangeTo(0, "left");
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, RowPoint(0, 3));
    EXPECT_EQ(gApp->cursorIndex[0], 3u);
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON | MK_CONTROL, RowPoint(0, 4));
    EXPECT_TRUE(Marked(0, "b.txt"));
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON | MK_SHIFT, RowPoint(0, 1));
    EXPECT_EQ(PanelCountMarked(0), 4u); // docs .. b.txt, ".." excluded
    // A click on the inactive panel's rows only activates it.
    Click(1, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, RowPoint(1, 5));
    EXPECT_EQ(gApp->activePanel, 1);
    EXPECT_NE(gApp->cursorIndex[1], 5u);
    // Header: the Size cell sorts by size; the current key posts Reversed.
    int left = 0, right = 0;
    int sizeSlot = -1;
    for (int x = 0; x < 600 && sizeSlot < 0; x += 5) {
        int s = PanelColumnAt(1, x, &left, &right);
        if (s >= 0 && gApp->panels[1].fullColumns[s] == kColSize)
            sizeSlot = s;
    }
    ASSERT_GE(sizeSlot, 0);
    Click(1, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM((left + right) / 2, 3));
    EXPECT_EQ(gApp->panelSort[1], 3);
    EXPECT_EQ(Names(1)[1], "file00.dat");
    gCommands.clear();
    Click(1, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM((left + right) / 2, 3));
    Pump(50);
    ASSERT_FALSE(gCommands.empty());
    EXPECT_EQ(gCommands.back(), 614u);
    // Left half of the Name cell: by name; right half: by extension.
    PanelColumnAt(1, 5, &left, &right);
    Click(1, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(left + 5, 3));
    EXPECT_EQ(gApp->panelSort[1], 0);
    gApp->activePanel = 0;
    PanelColumnAt(0, 5, &left, &right);
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(right - 5, 3));
    EXPECT_EQ(gApp->panelSort[0], 1);
    EXPECT_EQ(Names(0)[3], "d.doc");
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(left + 5, 3));
    EXPECT_EQ(gApp->panelSort[0], 0);
}

TEST_F(Panels, DoubleClickEntersAndRightButtonSweepMarks) {
    ChangeTo(0, "left");
    gApp->generalOptions = kGenSelRightMouse;
    HWND list = gApp->panels[0].listWindow;
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, RowPoint(0, 3));
    for (uint32_t i = 4; i <= 6; i++)
        SendMessageA(list, WM_MOUSEMOVE, MK_RBUTTON, RowPoint(0, i));
    SendMessageA(list, WM_RBUTTONUP, 0, RowPoint(0, 6));
    EXPECT_EQ(PanelCountMarked(0), 4u);
    EXPECT_TRUE(Marked(0, "a.txt"));
    EXPECT_TRUE(Marked(0, "d.doc"));
    int sub = IndexOf(0, "sub");
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, RowPoint(0, (uint32_t)sub));
    WaitIdle();
    char path[260];
    PanelGetPath(0, path, sizeof path);
    EXPECT_EQ(std::string(path), Path("left\\sub"));
    ChangeTo(0, "left");
}

TEST_F(Panels, SwapExchangesListsAndSettings) {
    ChangeTo(0, "left");
    gApp->panelSort[1] = 3;
    gApp->cursorIndex[1] = 7;
    gApp->cursorIndex[0] = (uint32_t)IndexOf(0, "b.txt");
    Key(VK_INSERT, 0);
    ASSERT_TRUE(Marked(0, "b.txt"));
    PanelSwap();
    WaitIdle();
    EXPECT_TRUE(Marked(1, "b.txt")); // marks move with the list and survive its re-read
    char l[260], r[260];
    PanelGetPath(0, l, sizeof l);
    PanelGetPath(1, r, sizeof r);
    EXPECT_EQ(std::string(l), Path("right"));
    EXPECT_EQ(std::string(r), Path("left"));
    EXPECT_EQ(gApp->panelSort[0], 3);
    EXPECT_EQ(Names(0).size(), 61u);
    EXPECT_EQ(Names(1)[1], "docs");
    PanelSwap();
    WaitIdle();
    gApp->panelSort[0] = gApp->panelSort[1] = 0;
    PanelResort(0);
    PanelResort(1);
    gApp->panelOff[1] = 1;
    PanelSwap(); // one panel off: nothing happens
    PanelGetPath(0, l, sizeof l);
    EXPECT_EQ(std::string(l), Path("left"));
    gApp->panelOff[1] = 0;
}

KeyModifiers gMods;
KeyModifiers ModSource() { return gMods; }

LRESULT HookKey(WPARAM vk, bool ctrl, bool shift, bool alt) {
    gMods = {ctrl, shift, alt};
    KeyHookSetModifierSource(ModSource);
    LRESULT r = KeyboardHookProc(HC_ACTION, vk, 1 | (alt ? 1 << 29 : 0));
    Pump(30);
    return r;
}

TEST_F(Panels, HookPostsTableCommandsAndRoutesPanelKeys) {
    ChangeTo(0, "left");
    gCommands.clear();
    EXPECT_EQ(HookKey('U', true, false, false), 1);
    EXPECT_EQ(HookKey(VK_F5, false, false, false), 1);
    EXPECT_EQ(HookKey(VK_F1, false, false, true), 1);
    EXPECT_EQ(HookKey(VK_F1, false, false, false), 1); // help: taken, nothing posted
    EXPECT_EQ(HookKey('L', false, false, true), 0);     // Alt+L needs Ctrl and Shift too
    EXPECT_EQ(gCommands, (std::vector<UINT>{307, 105, 518}));
    EXPECT_EQ(HookKey(VK_TAB, false, false, false), 1);
    EXPECT_EQ(gApp->activePanel, 1);
    HookKey(VK_TAB, false, false, false);
    EXPECT_EQ(gApp->activePanel, 0);
    gApp->cursorIndex[0] = (uint32_t)IndexOf(0, "a.txt");
    EXPECT_EQ(HookKey(VK_SPACE, false, false, false), 1); // Space marks like Insert
    EXPECT_TRUE(Marked(0, "a.txt"));
    EXPECT_EQ(HookKey(VK_DOWN, false, false, false), 0); // plain cursor keys go on to the panel
    KeyHookSetModifierSource(nullptr);
}

std::vector<UINT> gOtherCommands;
LRESULT CALLBACK OtherProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND)
        gOtherCommands.push_back(LOWORD(wp));
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(Panels, HookGivesOtherWindowsTheirShortcuts) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OtherProc;
    wc.hInstance = gApp->hInstance;
    wc.lpszClassName = "PanelsTestOther";
    RegisterClassA(&wc);
    static HWND other;
    other = CreateWindowA("PanelsTestOther", "tool", WS_OVERLAPPED | WS_VISIBLE, 100, 100, 200, 100, nullptr, nullptr,
                          gApp->hInstance, nullptr);
    // Activation on a display shared with other test programs is not ours to
    // keep: the hook is told which window is active.
    WndSetActiveSource([]() -> HWND { return other; });
    gOtherCommands.clear();
    gCommands.clear();
    EXPECT_EQ(HookKey('S', true, false, false), 1);
    EXPECT_EQ(HookKey(VK_F3, false, false, false), 0); // sent, and the key goes on
    EXPECT_EQ(HookKey('U', true, false, false), 0);     // main-window keys are not taken here
    EXPECT_EQ(gOtherCommands, (std::vector<UINT>{11924, 11946}));
    EXPECT_TRUE(gCommands.empty());
    WndSetActiveSource(nullptr);
    DestroyWindow(other);
    SetActiveWindow(gMainWindow);
    Pump(50);
    KeyHookSetModifierSource(nullptr);
}

TEST_F(Panels, AltLetterQuickSearchRefusesANonMatchingLetter) {
    ChangeTo(0, "left");
    gApp->activePanel = 0;
    Key(VK_HOME);
    gApp->generalOptions = 0x80; // Alt+letter opens the search
    StatusBarsShown bars;
    PanelUpdateStatusLine();
    std::string seen, found;
    std::atomic<bool> typed{false};
    std::thread typer([&] {
        HWND box = nullptr;
        for (int i = 0; i < 1500 && !(box = QuickSearchWindow()); i++)
            Sleep(10);
        if (!box) {
            typed = true;
            return;
        }
        HWND edit = GetDlgItem(box, 14526);
        auto text = [&] {
            char t[64] = "";
            SendMessageA(edit, WM_GETTEXT, sizeof t, (LPARAM)t);
            return std::string(t);
        };
        // The box shows the typed letter once the search has moved the cursor.
        for (DWORD start = GetTickCount(); text() != "B" && GetTickCount() - start < 15000;)
            Sleep(10);
        found = CursorName(0);
        PostMessageA(edit, WM_CHAR, 'x', 0); // no name continues "BX"
        PostMessageA(edit, WM_CHAR, '.', 0);
        // The refused 'x' leaves no trace; the '.' after it is the last to arrive.
        for (DWORD start = GetTickCount(); text().size() < 2 && GetTickCount() - start < 15000;)
            Sleep(10);
        seen = text();
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        typed = true;
    });
    EXPECT_EQ(HookKey('B', true, false, true), 0); // Ctrl+Alt: not with optAltLetter
    EXPECT_EQ(QuickSearchWindow(), nullptr);
    EXPECT_EQ(HookKey('B', false, false, true), 1);
    WaitFor([&] { return typed && QuickSearchWindow() == nullptr; }, 60000);
    typer.join();
    KeyHookSetModifierSource(nullptr);
    EXPECT_EQ(found, "b.txt");
    EXPECT_EQ(seen, "B.");
    EXPECT_EQ(CursorName(0), "b.txt");
    EXPECT_NE(StatusBarsShown::Field(10).find("b.txt"), std::string::npos) << "the status follows the search";
    EXPECT_EQ(QuickSearchWindow(), nullptr);
}

// Typed letters jump to entries, and both status texts follow the cursor
// at once: the main bar's line and the panel's own bar.
TEST_F(Panels, QuickJumpUpdatesBothStatusTexts) {
    ChangeTo(0, "left");
    StatusBarsShown bars;
    gApp->activePanel = 0;
    gApp->generalOptions = kGenLetterJump;
    Key(VK_HOME);
    ASSERT_NE(StatusBarsShown::Field(10).find("<UP-DIR>"), std::string::npos) << StatusBarsShown::Field(10);
    HWND list = gApp->panels[0].listWindow;
    for (const char *name : {"c.txt", "d.doc", "docs", "e.doc"}) {
        SendMessageA(list, WM_CHAR, (WPARAM)(unsigned char)name[0], 1);
        ASSERT_EQ(CursorName(0), name);
        for (int field : {10, 17}) {
            std::string text = StatusBarsShown::Field(field);
            EXPECT_NE(text.find(name), std::string::npos) << "field " << field << ": " << text;
            EXPECT_EQ(text.find("<UP-DIR>"), std::string::npos) << "field " << field << ": " << text;
        }
    }
}

TEST_F(Panels, SplitterDragBarLeavesScreenAsItWas) {
    Pump(100);
    auto grab = [](int x) {
        HDC dc = GetDC(gMainWindow);
        std::vector<COLORREF> px;
        for (int dx = -3; dx <= 3; dx++)
            for (int y = 40; y < 200; y += 20)
                px.push_back(GetPixel(dc, x + dx, y));
        ReleaseDC(gMainWindow, dc);
        return px;
    };
    RECT rect = {};
    HBRUSH brush = nullptr;
    auto before = grab(450);
    SplitterDragStart(gMainWindow, 450, &rect, &brush);
    EXPECT_NE(SplitterPositionWindow(), nullptr);
    EXPECT_NE(rect.bottom, 0);
    EXPECT_NE(grab(450), before); // the bar is drawn
    char text[32];
    SplitterPercentText(&rect, 900, text, sizeof text);
    EXPECT_STREQ(text, "50.0 %");
    SplitterDragMove(gMainWindow, 450, &rect, &brush); // same place: nothing drawn twice
    SplitterDragEnd(gMainWindow, &rect, &brush);
    EXPECT_EQ(rect.bottom, 0);
    EXPECT_EQ(SplitterPositionWindow(), nullptr);
    EXPECT_EQ(grab(450), before);
    if (brush)
        DeleteObject(brush);
}

TEST_F(Panels, BriefModeMovesByColumns) {
    gApp->activePanel = 1;
    gApp->panelMode[1] = kViewBrief;
    SendMessageA(gApp->panels[1].listWindow, WM_USER + 1, 0, 0);
    Pump(50);
    PanelState &ps = gApp->panels[1];
    ASSERT_GT(ps.visibleRows, 0u);
    EXPECT_GT(ps.columnCount, 1u);
    EXPECT_EQ(ps.pageSize % ps.visibleRows, 0u);
    Key(VK_HOME);
    Key(VK_RIGHT);
    EXPECT_EQ(gApp->cursorIndex[1], ps.visibleRows);
    Key(VK_LEFT);
    EXPECT_EQ(gApp->cursorIndex[1], 0u);
    Key(VK_END);
    EXPECT_EQ(gApp->cursorIndex[1], 60u);
    EXPECT_EQ(gApp->scrollPos[1], ps.hScrollMax);
    // A click in the second column lands on its entry.
    Key(VK_HOME);
    RECT r;
    PanelEntryRect(ps.listWindow, 1, &r, ps.visibleRows + 2);
    Click(1, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(r.left + 30, (r.top + r.bottom) / 2));
    EXPECT_EQ(gApp->cursorIndex[1], ps.visibleRows + 2);
    gApp->panelMode[1] = kViewFull;
    SendMessageA(gApp->panels[1].listWindow, WM_USER + 1, 0, 0);
    Pump(50);
}

TEST_F(Panels, HeaderBoundaryDragResizesColumn) {
    gApp->activePanel = 0;
    PanelState &ps = gApp->panels[0];
    int left = 0, right = 0;
    int slot = PanelColumnAt(0, 5, &left, &right);
    ASSERT_GE(slot, 0);
    uint16_t before = ps.fullWidths[slot];
    HWND list = ps.listWindow;
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(right, 3));
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(right + 40, 3));
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(right + 40, 3));
    Pump(30);
    EXPECT_EQ(ps.fullWidths[slot], before + 41);
    // Too narrow a width is not taken.
    PanelColumnAt(0, 5, &left, &right);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(right, 3));
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(left + 5, 3));
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(left + 5, 3));
    Pump(30);
    EXPECT_EQ(ps.fullWidths[slot], before + 41);
    ps.fullWidths[slot] = before;
    SendMessageA(list, WM_USER + 1, 0, 0);
    Pump(30);
}

TEST_F(Panels, TreeModeReachesTheFolderPastASimilarName) {
    for (const char *d : {"left\\Prog", "left\\Program Files", "left\\Program Files\\Sub"})
        CreateDirectoryA(Path(d).c_str(), nullptr);
    std::string target = Path("left\\Program Files\\Sub");
    PanelSetPath(1, target.c_str());
    gApp->panelMode[1] = kViewTree;
    PanelRequestReread(1);
    InvalidateRect(gApp->panels[1].listWindow, nullptr, FALSE);
    std::string selected;
    int took = WaitFor(
        [&] {
            HWND tree = gApp->panels[1].treeControl;
            if (!tree)
                return false;
            HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
            char path[260] = "";
            if (item)
                TreeItemPath(tree, item, path, sizeof path);
            selected = path;
            return _stricmp(path, target.c_str()) == 0;
        },
        3000);
    EXPECT_GE(took, 0) << selected;
    EXPECT_EQ(PanelListCount(1), 0u); // a Tree panel holds no entries
    gApp->panelMode[1] = kViewFull;
    ChangeTo(1, "right");
    InvalidateRect(gApp->panels[1].listWindow, nullptr, FALSE);
    Pump(50);
    EXPECT_EQ(gApp->panels[1].treeControl, nullptr);
}

TEST_F(Panels, HeaderMenuAndCustomColumnCommands) {
    PanelState &ps = gApp->panels[1];
    uint16_t cols[kPanelColumnSlots] = {kColName, kColSize, kColModified, 0, 0};
    memcpy(ps.customColumns, cols, sizeof cols);
    memset(ps.customWidths, 0, sizeof ps.customWidths);
    gApp->panelMode[1] = kViewCustom;
    gApp->panelSort[1] = 2;
    HMENU menu = PanelHeaderMenu(1, 1);
    auto state = [&](UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND); };
    EXPECT_TRUE(state(905) & MF_CHECKED);  // size shown
    EXPECT_FALSE(state(904) & MF_CHECKED); // DOS name not
    EXPECT_FALSE(state(908) & MF_GRAYED);
    EXPECT_FALSE(state(909) & MF_GRAYED);
    EXPECT_TRUE(state(611) & MF_CHECKED); // by time
    DestroyMenu(menu);
    menu = PanelHeaderMenu(1, 2);
    EXPECT_TRUE(GetMenuState(menu, 909, MF_BYCOMMAND) & MF_GRAYED); // next slot empty
    DestroyMenu(menu);
    EXPECT_TRUE(PanelColumnCommand(1, 909, 0)); // name to the right
    EXPECT_EQ(ps.customColumns[0], kColSize);
    EXPECT_EQ(ps.customColumns[1], kColName);
    EXPECT_TRUE(PanelColumnCommand(1, 904, -1)); // DOS name added in the first empty slot
    EXPECT_EQ(ps.customColumns[3], kColDosName);
    EXPECT_TRUE(PanelColumnCommand(1, 905, -1)); // size removed, the gap closes
    uint16_t want[kPanelColumnSlots] = {kColName, kColModified, kColDosName, 0, 0};
    EXPECT_EQ(memcmp(ps.customColumns, want, sizeof want), 0);
    EXPECT_FALSE(PanelColumnCommand(1, 514, -1));
    gApp->panelMode[1] = kViewFull;
    gApp->panelSort[1] = 0;
    SendMessageA(ps.listWindow, WM_USER + 1, 0, 0);
    Pump(50);
}

// The rows own every pixel up to each column separator: a column of paint
// put over the first separator before a repaint is gone afterwards, beside
// the line as well as on it, on the cursor bar and on plain rows alike.
TEST_F(Panels, RowsRepaintEveryPixelBesideTheFirstSeparator) {
    ChangeTo(0, "left");
    gApp->activePanel = 0;
    gApp->cursorIndex[0] = 2;
    HWND list = gApp->panels[0].listWindow;
    SendMessageA(list, WM_USER + 1, 0, 0);
    Pump(50);
    int left = 0, right = 0;
    ASSERT_EQ(PanelColumnAt(0, 5, &left, &right), 0);
    const COLORREF stale = RGB(255, 0, 0);
    HDC dc = GetDC(list);
    RECT smear = {right - 3, 0, right + 3, 2000};
    HBRUSH red = CreateSolidBrush(stale);
    FillRect(dc, &smear, red);
    DeleteObject(red);
    ReleaseDC(list, dc);
    InvalidateRect(list, nullptr, FALSE);
    UpdateWindow(list);
    dc = GetDC(list);
    size_t rows = Names(0).size();
    for (uint32_t i = 0; i < rows; i++) {
        RECT r;
        PanelEntryRect(list, 0, &r, i);
        int y = (r.top + r.bottom) / 2;
        COLORREF back = PanelColor(i == 2 ? 3 : 0);
        EXPECT_EQ(GetPixel(dc, right - 2, y), back) << "row " << i;
        EXPECT_EQ(GetPixel(dc, right - 1, y), back) << "row " << i << ", the pixel before the separator";
        EXPECT_EQ(GetPixel(dc, right, y), PanelColor(2)) << "row " << i << ", the separator";
    }
    RECT last;
    PanelEntryRect(list, 0, &last, (uint32_t)rows);
    EXPECT_EQ(GetPixel(dc, right - 1, last.bottom), PanelColor(0)) << "below the rows";
    ReleaseDC(list, dc);
}

// Last: leaves a picture of both panels with a cursor bar, a marked entry
// and the status text for a look (not a check).
// A 2 x 2 picture: red, green / blue, white.
const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xfd, 0xd4, 0x9a, 0x73, 0x00, 0x00, 0x00, 0x12, 0x49,
    0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xc0, 0x00, 0xc2, 0x0c, 0xff, 0x81, 0x00, 0x00, 0x1f, 0xee,
    0x05, 0xfb, 0x0b, 0xd9, 0x68, 0x8b, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

TEST_F(Panels, QuickViewFollowsTheOtherPanelsCursorAndLeavesNothingBehind) {
    CreateDirectoryA(Path("qv").c_str(), nullptr);
    HANDLE h = CreateFileA(Path("qv\\pic.png").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done;
    WriteFile(h, kTinyPng, sizeof kTinyPng, &done, nullptr);
    CloseHandle(h);
    h = CreateFileA(Path("qv\\note.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WriteFile(h, "quick words\r\n", 13, &done, nullptr);
    CloseHandle(h);
    ChangeTo(0, "qv");

    PanelSetViewMode(gMainWindow, 1, kViewQuick, 607);
    ASSERT_EQ(gApp->panelMode[1] & 0xF, kViewQuick) << "the viewer library did not load";
    EXPECT_EQ(gApp->activePanel, 0);
    HWND pane = gApp->panels[1].listWindow;
    ViewRecord &view = gApp->quickView;

    CursorTo(0, "pic.png");
    Pump(50);
    EXPECT_EQ(std::string(view.displayPath ? view.displayPath : ""), Path("qv\\pic.png"));
    UpdateWindow(pane);
    EXPECT_EQ(view.viewKind, kViewPng);
    EXPECT_EQ(view.contentWidth, 2);
    EXPECT_EQ(view.contentHeight, 2);
    HDC dc = GetDC(pane);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
    ReleaseDC(pane, dc);

    // Text goes into the pane's own text child; the same entry again
    // changes nothing.
    CursorTo(0, "note.txt");
    UpdateWindow(pane);
    EXPECT_EQ(view.viewKind, kViewText);
    HWND text = (HWND)view.viewObject;
    ASSERT_TRUE(text && IsWindow(text));
    EXPECT_EQ(GetParent(text), pane);
    EXPECT_GE(WaitFor([&] { return GetWindowTextLengthA(text) > 0; }, 5000), 0);
    char words[64] = "";
    GetWindowTextA(text, words, sizeof words);
    EXPECT_STREQ(words, "quick words\r\n");
    PanelUpdateStatusLine();
    EXPECT_EQ((HWND)view.viewObject, text);

    // A folder shows its icon, not a listing.
    CursorTo(0, "..");
    UpdateWindow(pane);
    EXPECT_EQ(view.viewKind, kViewUpDir);
    EXPECT_FALSE(IsWindow(text));

    // Back to the list: nothing of the view is left.
    CursorTo(0, "note.txt");
    UpdateWindow(pane);
    text = (HWND)view.viewObject;
    PanelSetViewMode(gMainWindow, 1, kViewFull, 607);
    Pump(50);
    EXPECT_EQ(gApp->panelMode[1] & 0xF, kViewFull);
    EXPECT_EQ(view.viewKind, kViewNone);
    EXPECT_FALSE(IsWindow(text));
    EXPECT_EQ(Names(1).size(), 61u);

    ChangeTo(0, "left");
}

TEST_F(Panels, PanelOffAndOnAgainThroughAModeCommand) {
    HWND list = gApp->panels[1].listWindow;
    PanelToggleOnOff(gMainWindow, 1);
    Pump(50);
    EXPECT_TRUE(gApp->panelOff[1]);
    EXPECT_FALSE(IsWindowVisible(list));
    RECT left;
    GetWindowRect(gApp->panels[0].pathBar, &left);
    EXPECT_EQ(left.right - left.left, 900); // the other panel takes the width
    // Choosing a mode for an off panel switches it on through its command.
    gCommands.clear();
    PanelSetViewMode(gMainWindow, 1, kViewBrief, 607);
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(gCommands[0], 607u);
    PanelToggleOnOff(gMainWindow, 1); // what 607 does in the program
    Pump(50);
    EXPECT_FALSE(gApp->panelOff[1]);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(gApp->panelMode[1] & 0xF, kViewBrief);
    PanelSetViewMode(gMainWindow, 1, kViewFull, 607);
    EXPECT_EQ(gApp->panelMode[1] & 0xF, kViewFull);
}


bool FileThere(const char *rel) { return GetFileAttributesA(Path(rel).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The sums os.walk gives for each folder of "sizes" (links listed, never
// followed), written by Python into sizes-expected.txt.
const char kWalkScript[] = "import os, sys\n"
                           "top = sys.argv[1]\n"
                           "outside = os.path.join(os.path.dirname(top), 'sizes-outside')\n"
                           "for link in (os.path.join(top, 'zlink'), os.path.join(top, 'd1', 'inner link')):\n"
                           "    if os.path.lexists(link):\n"
                           "        os.remove(link)\n"
                           "    os.symlink(outside, link)\n"
                           "out = []\n"
                           "for name in sorted(os.listdir(top)):\n"
                           "    full = os.path.join(top, name)\n"
                           "    if os.path.islink(full) or not os.path.isdir(full):\n"
                           "        continue\n"
                           "    total = 0\n"
                           "    for path, dirs, files in os.walk(full, followlinks=False):\n"
                           "        total += sum(os.lstat(os.path.join(path, f)).st_size for f in files)\n"
                           "    out.append('%s %d\\n' % (name, total))\n"
                           "dest = os.path.join(os.path.dirname(top), 'sizes-expected.txt')\n"
                           "open(dest + '.tmp', 'w').write(''.join(out))\n"
                           "os.replace(dest + '.tmp', dest)\n";

uint64_t StoredSize(int panel, const char *name) {
    PanelIter it;
    uint64_t size = 0;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if (!strcmp(EntryName(e), name))
            size = EntrySize(e);
    PanelIterEnd(&it);
    return size;
}

TEST_F(Panels, FolderSizesEqualOsWalkSumsAndLinksAreNotEntered) {
    for (const char *d : {"sizes", "sizes\\d0", "sizes\\d1", "sizes\\d1\\x", "sizes\\d1\\x\\y", "sizes\\d2",
                          "sizes\\empty", "sizes-outside"})
        CreateDirectoryA(Path(d).c_str(), nullptr);
    MakeFile("sizes\\top.bin", 777);
    MakeFile("sizes\\d0\\a", 4097);
    MakeFile("sizes\\d0\\b", 0);
    MakeFile("sizes\\d1\\c", 123456);
    MakeFile("sizes\\d1\\x\\d", 1);
    MakeFile("sizes\\d1\\x\\y\\e", 65536);
    MakeFile("sizes\\d2\\f", 300000);
    for (int i = 0; i < 5; i++) {
        char name[64];
        snprintf(name, sizeof name, "sizes-outside\\big%d", i);
        MakeFile(name, 100000);
    }
    DeleteFileA(Path("sizes-expected.txt").c_str());
    FILE *f = fopen(Path("sizes-walk.py").c_str(), "wb");
    ASSERT_TRUE(f);
    fputs(kWalkScript, f);
    fclose(f);
    ASSERT_TRUE(RunLinux("/usr/bin/python3", "sizes-walk.py", "sizes"));
    ASSERT_GE(WaitFor([] { return FileThere("sizes-expected.txt"); }, 30000), 0);
    std::vector<std::pair<std::string, uint64_t>> expected;
    f = fopen(Path("sizes-expected.txt").c_str(), "rb");
    ASSERT_TRUE(f);
    char name[260];
    unsigned long long bytes;
    while (fscanf(f, "%259s %llu", name, &bytes) == 2)
        expected.push_back({name, bytes});
    fclose(f);
    ASSERT_EQ(expected.size(), 4u); // d0 d1 d2 empty

    ChangeTo(0, "sizes");
    ASSERT_GE(IndexOf(0, "zlink"), 0);
    gApp->activePanel = 0;
    PanelSetViewMode(gMainWindow, 0, kViewBrief, 507);
    DirSizesCommand(gMainWindow);
    EXPECT_EQ(gApp->panelMode[0] & 0xF, kViewFull); // sizes need a mode that shows them
    ASSERT_GE(WaitFor([] { return !DirSizesRunning(0); }, 30000), 0);
    for (auto &[folder, sum] : expected)
        EXPECT_EQ(StoredSize(0, folder.c_str()), sum + 1) << folder; // size + 1 marks a counted folder
    EXPECT_EQ(StoredSize(0, "zlink"), 0u); // a link is not entered, so it has no size
    // The totals: the file beside the folders and everything inside them.
    uint64_t all = 777;
    for (auto &e : expected)
        all += e.second;
    EXPECT_EQ(PanelComputeTotals(0).totalBytes, all);
    EXPECT_EQ(gApp->panels[0].fileBytes, all);
    EXPECT_EQ(gApp->panels[0].fileCount, 7u);
    EXPECT_EQ(gApp->panels[0].dirCount, 8u); // d0 d1 x y "inner link" d2 empty zlink
    // Sorting by size orders the folders by what was counted.
    ChangeTo(0, "left");
}

TEST_F(Panels, FolderSizeCountStopsWhenThePanelLeavesTheFolder) {
    // Two folders with the same thousand folder names: a count that went on
    // after the panel left its folder would store its sizes into the other
    // folder's entries.
    for (const char *d : {"many", "many2"}) {
        CreateDirectoryA(Path(d).c_str(), nullptr);
        for (int i = 0; i < 1000; i++) {
            char name[64];
            snprintf(name, sizeof name, "%s\\f%04d", d, i);
            CreateDirectoryA(Path(name).c_str(), nullptr);
        }
    }
    MakeFile("many\\f0000\\one", 10);
    ChangeTo(0, "many");
    ChangeTo(1, "many2");
    gApp->activePanel = 0;
    DirSizesCommand(gMainWindow);
    // The first result is in: the count runs; now the panels swap, so the
    // counting panel shows the other folder.
    ASSERT_GE(WaitFor([] { return StoredSize(0, "f0000") == 11 || !DirSizesRunning(0); }, 30000), 0);
    bool stillRunning = DirSizesRunning(0);
    PanelSwap();
    char now[MAX_PATH];
    PanelGetPath(0, now, sizeof now);
    ASSERT_EQ(std::string(now), Path("many2"));
    ASSERT_GE(WaitFor([] { return !DirSizesRunning(0); }, 30000), 0);
    WaitIdle();
    ASSERT_EQ(PanelListCount(0), 1001u);
    PanelIter it;
    int counted = 0;
    for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it))
        if (EntryIsFolder(e) && !EntryIsUpDir(e) && EntrySize(e))
            counted++;
    PanelIterEnd(&it);
    EXPECT_EQ(counted, 0);
    EXPECT_TRUE(stillRunning) << "the count ended before the swap: the stop was not exercised";
    PanelSwap();
    ChangeTo(0, "left");
    ChangeTo(1, "right");
}

// A second count while one runs beeps; the command otherwise starts one.
TEST_F(Panels, FolderSizesCommandIsRefusedWhileCounting) {
    ChangeTo(0, "left");
    gApp->activePanel = 0;
    InterlockedOr(&gApp->dirSizeFlags, 1);
    DirSizesCommand(gMainWindow); // beeps, starts nothing
    EXPECT_EQ(StoredSize(0, "sub"), 0u);
    InterlockedAnd(&gApp->dirSizeFlags, ~1L);
    DirSizesCommand(gMainWindow);
    ASSERT_GE(WaitFor([] { return !DirSizesRunning(0); }, 30000), 0);
    EXPECT_EQ(StoredSize(0, "sub"), 1u); // sub holds only empty folders
    ChangeTo(0, "left");
}


// Waits for a visible dialog of this process (a message box or a question)
// and answers it; false when none came.
bool AnswerOwnDialog(int button) {
    for (int i = 0; i < 1500; i++) {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(w)) {
                PostMessageA(w, WM_COMMAND, button, 0);
                return true;
            }
        }
        Sleep(10);
    }
    return false;
}

// Types a name into an open rename box and presses a key through the hook.
void RenameBoxKey(const char *text, WPARAM key) {
    ASSERT_TRUE(gApp->renameEdit);
    SetWindowTextA(gApp->renameEdit, text);
    gMods = {};
    KeyHookSetModifierSource(ModSource);
    EXPECT_EQ(KeyboardHookProc(HC_ACTION, key, 1), 1);
    KeyHookSetModifierSource(nullptr);
    WaitIdle();
}

TEST_F(Panels, RenameInPlaceByEnterKeepsByEscapeAndRefusesPaths) {
    CreateDirectoryA(Path("ren").c_str(), nullptr);
    MakeFile("ren\\name.txt", 10);
    MakeFile("ren\\other.txt", 20);
    ChangeTo(0, "ren");
    gApp->activePanel = 0;
    // Never on "..".
    gApp->cursorIndex[0] = (uint32_t)IndexOf(0, "..");
    EXPECT_FALSE(PanelStartRename());
    EXPECT_FALSE(gApp->renameEdit);

    CursorTo(0, "name.txt");
    ASSERT_TRUE(PanelStartRename());
    HWND edit = gApp->renameEdit;
    HWND list = gApp->panels[0].listWindow;
    EXPECT_EQ(GetParent(edit), list);
    char text[MAX_PATH] = "";
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, "name.txt");
    DWORD from = 0, to = 0;
    SendMessageA(edit, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 8u);
    RECT box, client;
    GetWindowRect(edit, &box);
    MapWindowPoints(nullptr, list, (POINT *)&box, 2);
    GetClientRect(list, &client);
    EXPECT_LE(box.right, client.right);
    EXPECT_FALSE(PanelStartRename()); // one box at a time

    // Escape: the name stays.
    RenameBoxKey("escaped.txt", VK_ESCAPE);
    EXPECT_FALSE(gApp->renameEdit);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_TRUE(FileThere("ren\\name.txt"));
    EXPECT_FALSE(FileThere("ren\\escaped.txt"));

    // Enter: renamed on disk, the cursor on the new name.
    CursorTo(0, "name.txt");
    ASSERT_TRUE(PanelStartRename());
    RenameBoxKey("renamed.txt", VK_RETURN);
    EXPECT_FALSE(gApp->renameEdit);
    EXPECT_FALSE(FileThere("ren\\name.txt"));
    EXPECT_TRUE(FileThere("ren\\renamed.txt"));
    EXPECT_EQ(CursorName(0), "renamed.txt");

    // A name is not a path: nothing moves out of the folder or into a
    // stream, and the user is told.
    const char *bad[] = {"..\\up.txt", "sub/x.txt", "C:x.txt", "..", "a?b.txt", "trailing.", ""};
    for (const char *name : bad) {
        CursorTo(0, "renamed.txt");
        ASSERT_TRUE(PanelStartRename());
        std::atomic<bool> told{false};
        std::thread answer([&] { told = name[0] && AnswerOwnDialog(IDOK); });
        RenameBoxKey(name, VK_RETURN);
        answer.join();
        EXPECT_EQ(told.load(), name[0] != 0) << name;
        EXPECT_TRUE(FileThere("ren\\renamed.txt")) << name;
        EXPECT_FALSE(FileThere("up.txt")) << name;
        EXPECT_FALSE(gApp->renameEdit);
    }

    // Onto an existing name the overwrite question comes first; Skip keeps both.
    CursorTo(0, "renamed.txt");
    ASSERT_TRUE(PanelStartRename());
    std::thread skip([] { AnswerOwnDialog(IDCANCEL); });
    RenameBoxKey("other.txt", VK_RETURN);
    skip.join();
    EXPECT_TRUE(FileThere("ren\\renamed.txt"));
    struct stat st;
    EXPECT_EQ(stat(Path("ren\\other.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 20);
}

HTREEITEM TreeChild(HWND tree, HTREEITEM parent, const char *text) {
    for (HTREEITEM c = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent); c;
         c = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c)) {
        char buffer[260] = "";
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT;
        tv.hItem = c;
        tv.pszText = buffer;
        tv.cchTextMax = sizeof buffer;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
        if (!strcmp(buffer, text))
            return c;
    }
    return nullptr;
}

std::string gLastMessage;

// Edits an item's label as a user does: the edit box opens, takes the text
// and is finished; a message box that comes is answered with OK. Returns
// whether a message came.
bool EditLabel(HWND tree, HTREEITEM item, const char *text) {
    HWND edit = (HWND)SendMessageA(tree, TVM_EDITLABELA, 0, (LPARAM)item);
    EXPECT_TRUE(edit) << text;
    if (!edit)
        return false;
    SetWindowTextA(edit, text);
    std::atomic<bool> told{false};
    std::atomic<bool> done{false};
    std::thread answer([&] {
        while (!done && !told) {
            for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
                 w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == GetCurrentProcessId() && IsWindowVisible(w)) {
                    char said[300] = "";
                    GetDlgItemTextA(w, 0xFFFF, said, sizeof said);
                    gLastMessage = said;
                    PostMessageA(w, WM_COMMAND, IDCANCEL, 0); // closes an OK box and a Retry box alike
                    told = true;
                    break;
                }
            }
            Sleep(10);
        }
    });
    SendMessageA(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
    done = true;
    answer.join();
    Pump(20);
    return told;
}

TEST_F(Panels, TreeSelectionMovesBothPanelsAndALabelEditRenamesTheEditedFolder) {
    for (const char *d : {"tree", "tree\\alpha", "tree\\beta", "tree\\beta\\inner"})
        CreateDirectoryA(Path(d).c_str(), nullptr);
    std::string beta = Path("tree\\beta");
    PanelSetPath(1, beta.c_str());
    gApp->panelMode[1] = kViewTree;
    PanelRequestReread(1);
    InvalidateRect(gApp->panels[1].listWindow, nullptr, FALSE);
    HTREEITEM betaItem = nullptr;
    ASSERT_GE(WaitFor(
                  [&] {
                      HWND tree = gApp->panels[1].treeControl;
                      betaItem = tree ? (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) : nullptr;
                      char path[260] = "";
                      if (betaItem)
                          TreeItemPath(tree, betaItem, path, sizeof path);
                      return _stricmp(path, beta.c_str()) == 0;
                  },
                  5000),
              0);
    HWND tree = gApp->panels[1].treeControl;
    HWND list = gApp->panels[1].listWindow;
    HTREEITEM treeItem = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)betaItem);
    HTREEITEM alphaItem = TreeChild(tree, treeItem, "alpha");
    ASSERT_TRUE(alphaItem);

    // Selected by a program call: nothing moves.
    char before[MAX_PATH], path[MAX_PATH];
    PanelGetPath(0, before, sizeof before);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)alphaItem);
    Pump(20);
    PanelGetPath(0, path, sizeof path);
    EXPECT_STREQ(path, before);
    // Selected by the mouse: both panels go there.
    NMTREEVIEWA nm = {};
    nm.hdr.hwndFrom = tree;
    nm.hdr.idFrom = 4010;
    nm.hdr.code = TVN_SELCHANGEDA;
    nm.action = TVC_BYMOUSE;
    nm.itemNew.hItem = alphaItem;
    SendMessageA(list, WM_NOTIFY, 4010, (LPARAM)&nm);
    std::string alpha = Path("tree\\alpha");
    for (int p = 0; p < 2; p++) {
        PanelGetPath(p, path, sizeof path);
        EXPECT_EQ(_stricmp(path, alpha.c_str()), 0) << p << " " << path;
    }

    // The edited folder is renamed, not the panels' folder (alpha).
    EXPECT_FALSE(EditLabel(tree, betaItem, "gamma")) << gLastMessage;
    EXPECT_TRUE(FileThere("tree\\gamma\\inner"));
    EXPECT_FALSE(FileThere("tree\\beta"));
    EXPECT_TRUE(FileThere("tree\\alpha"));
    PanelGetPath(0, path, sizeof path);
    EXPECT_EQ(_stricmp(path, alpha.c_str()), 0) << path;

    // A name is not a path, and an empty name is none: refused with a message.
    for (const char *bad : {"..\\up", "x/y", "C:z", "..", "a:b"}) {
        EXPECT_TRUE(EditLabel(tree, betaItem, bad)) << bad;
        EXPECT_TRUE(FileThere("tree\\gamma")) << bad;
    }
    EXPECT_FALSE(FileThere("up"));
    // Onto an existing name: told, both stay.
    EXPECT_TRUE(EditLabel(tree, betaItem, "alpha"));
    EXPECT_TRUE(FileThere("tree\\gamma\\inner"));
    EXPECT_TRUE(FileThere("tree\\alpha"));

    // A drive root is never edited; a folder label takes at most 32 characters.
    HTREEITEM root = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    EXPECT_FALSE((HWND)SendMessageA(tree, TVM_EDITLABELA, 0, (LPARAM)root));
    HWND edit = (HWND)SendMessageA(tree, TVM_EDITLABELA, 0, (LPARAM)alphaItem);
    ASSERT_TRUE(edit);
    EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 32);
    SendMessageA(tree, TVM_ENDEDITLABELNOW, TRUE, 0);

    gApp->panelMode[1] = kViewFull;
    ChangeTo(1, "right");
    ChangeTo(0, "left");
    InvalidateRect(gApp->panels[1].listWindow, nullptr, FALSE);
    Pump(50);
}

// Builds the block a shell drop hands over (ANSI names).
HDROP MakeDrop(const std::vector<std::string> &paths) {
    size_t size = sizeof(DROPFILES) + 1;
    for (auto &p : paths)
        size += p.size() + 1;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    DROPFILES *d = (DROPFILES *)GlobalLock(h);
    d->pFiles = sizeof(DROPFILES);
    char *at = (char *)(d + 1);
    for (auto &p : paths) {
        memcpy(at, p.c_str(), p.size() + 1);
        at += p.size() + 1;
    }
    GlobalUnlock(h);
    return (HDROP)h;
}

TEST_F(Panels, DroppedFilesAreCopiedOrMovedIntoThePanel) {
    for (const char *d : {"dropsrc", "dropsrc\\folder", "dropdst"})
        CreateDirectoryA(Path(d).c_str(), nullptr);
    MakeFile("dropsrc\\one.txt", 11);
    MakeFile("dropsrc\\two.txt", 22);
    MakeFile("dropsrc\\folder\\three.txt", 33);
    MakeFile("dropsrc\\moved.txt", 44);
    ChangeTo(0, "dropdst");
    HWND list = gApp->panels[0].listWindow;
    // Several files and a folder, copied.
    gApp->panels[0].dropFlags = 0;
    SendMessageA(list, WM_DROPFILES,
                 (WPARAM)MakeDrop({Path("dropsrc\\one.txt"), Path("dropsrc\\two.txt"), Path("dropsrc\\folder")}), 0);
    EXPECT_GE(WaitFor([] { return FileThere("dropdst\\one.txt") && FileThere("dropdst\\two.txt") &&
                                  FileThere("dropdst\\folder\\three.txt"); },
                      30000),
              0);
    EXPECT_TRUE(FileThere("dropsrc\\one.txt"));
    // One file with the move effect: it leaves its folder.
    gApp->panels[0].dropFlags = DROPEFFECT_MOVE;
    SendMessageA(gApp->panels[0].pathBar, WM_DROPFILES, (WPARAM)MakeDrop({Path("dropsrc\\moved.txt")}), 0);
    EXPECT_GE(WaitFor([] { return FileThere("dropdst\\moved.txt") && !FileThere("dropsrc\\moved.txt"); }, 30000), 0);
    gApp->panels[0].dropFlags = 0;
    struct stat st;
    EXPECT_EQ(stat(Path("dropdst\\moved.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 44);
    // The shortcut effect: a shortcut to the file arrives, the file stays.
    gApp->panels[0].dropFlags = DROPEFFECT_LINK;
    SendMessageA(list, WM_DROPFILES, (WPARAM)MakeDrop({Path("dropsrc\\one.txt")}), 0);
    gApp->panels[0].dropFlags = 0;
    EXPECT_GE(WaitFor([] { return FileThere("dropdst\\one.txt.lnk"); }, 30000), 0);
    EXPECT_TRUE(FileThere("dropsrc\\one.txt"));
    WaitIdle();
    ChangeTo(0, "left");
}

TEST_F(Panels, SlowSecondClickOnTheCursorNameOpensTheRenameBox) {
    ChangeTo(0, "left");
    gApp->activePanel = 0;
    CursorTo(0, "b.txt");
    uint32_t at = (uint32_t)IndexOf(0, "b.txt");
    HWND list = gApp->panels[0].listWindow;
    // A press and a drag away: no box.
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, RowPoint(0, at, 40));
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, RowPoint(0, at, 90));
    SendMessageA(list, WM_LBUTTONUP, 0, RowPoint(0, at, 90));
    Pump(500);
    EXPECT_FALSE(gApp->renameEdit);
    // A press that stays: the box opens on the cursor entry.
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, RowPoint(0, at, 40));
    ASSERT_TRUE(WaitFor([] { return gApp->renameEdit != nullptr; }, 5000) >= 0);
    char text[MAX_PATH] = "";
    GetWindowTextA(gApp->renameEdit, text, sizeof text);
    EXPECT_STREQ(text, "b.txt");
    PanelCancelRename();
    EXPECT_FALSE(gApp->renameEdit);
    // A double click opens the entry instead.
    CursorTo(0, "sub");
    at = (uint32_t)IndexOf(0, "sub");
    Click(0, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, RowPoint(0, at, 40));
    Click(0, WM_LBUTTONDBLCLK, WM_LBUTTONUP, MK_LBUTTON, RowPoint(0, at, 40));
    Pump(500);
    EXPECT_FALSE(gApp->renameEdit);
    WaitIdle();
    EXPECT_EQ(std::string(gApp->panelPath[0]), Path("left\\sub"));
}

namespace {

// Writes a ZIP file of the given (name, contents) members; names ending in
// "/" are folders.
void MakeZip(const std::string &path, const std::vector<std::pair<std::string, std::string>> &members) {
    FILE *out = ArcFileOpen(path.c_str(), "w+b");
    ASSERT_TRUE(out);
    ZipWriter writer(out);
    std::string scratch = path + ".member";
    for (const auto &m : members) {
        if (!m.first.empty() && m.first.back() == '/') {
            ASSERT_EQ(writer.AddFolder(m.first, false, 0x5021, 0x6000), 0);
            continue;
        }
        FILE *src = ArcFileOpen(scratch.c_str(), "w+b");
        fwrite(m.second.data(), 1, m.second.size(), src);
        fflush(src);
        ASSERT_EQ(writer.AddFile(src, m.first, false, 0x5021, 0x6000, 0x20, 6, ArcProgress()), 0);
        fclose(src);
    }
    ASSERT_EQ(writer.Finish(), 0);
    fclose(out);
    DeleteFileA(scratch.c_str());
}

std::string ShownPath(int panel) {
    char path[520];
    ArcGetPanelPath(panel, path, sizeof path);
    return path;
}

} // namespace

TEST_F(Panels, EnterOpensAnArchiveAndDotDotLeavesIt) {
    CreateDirectoryA(Path("arc").c_str(), nullptr);
    MakeZip(Path("arc\\pack.zip"), {{"top.txt", "top"}, {"inner/x.txt", "x"}, {"inner/deeper/y.txt", "y"},
                                    {"inner/empty/", ""}});
    MakeZip(Path("arc\\empty.zip"), {});
    ChangeTo(0, "arc");
    gApp->activePanel = 0;
    CursorTo(0, "pack.zip");
    Key(VK_RETURN);
    ASSERT_GE(WaitFor([] { return gApp->panels[0].location && IndexOf(0, "inner") >= 0; }, 5000), 0);
    EXPECT_EQ(PanelListCount(0), 3u); // "..", inner, top.txt
    EXPECT_EQ(ShownPath(0), Path("arc") + "\\pack.zip");

    CursorTo(0, "inner");
    Key(VK_RETURN);
    ASSERT_GE(WaitFor([] { return IndexOf(0, "x.txt") >= 0; }, 5000), 0);
    EXPECT_EQ(PanelListCount(0), 4u); // "..", deeper, empty, x.txt
    EXPECT_EQ(ShownPath(0), Path("arc") + "\\pack.zip\\inner");
    EXPECT_EQ(CursorName(0), "..");

    Key(VK_RETURN); // up inside the archive: the cursor on the folder left
    ASSERT_GE(WaitFor([] { return IndexOf(0, "top.txt") >= 0; }, 5000), 0);
    EXPECT_EQ(CursorName(0), "inner");

    CursorTo(0, "..");
    Key(VK_RETURN); // out of the archive: the cursor on the archive file
    ASSERT_GE(WaitFor([] { return !gApp->panels[0].location && IndexOf(0, "empty.zip") >= 0 && CursorName(0) == "pack.zip"; },
                      5000),
              0);
    EXPECT_EQ(ShownPath(0), Path("arc"));

    // An empty archive shows only "..", never the list shown before.
    CursorTo(0, "empty.zip");
    Key(VK_RETURN);
    ASSERT_GE(WaitFor([] { return gApp->panels[0].location != nullptr; }, 5000), 0);
    WaitIdle();
    EXPECT_EQ(PanelListCount(0), 1u);
    EXPECT_EQ(CursorName(0), "..");
    Key(VK_RETURN);
    ASSERT_GE(WaitFor([] { return !gApp->panels[0].location && IndexOf(0, "pack.zip") >= 0; }, 5000), 0);
    ChangeTo(0, "left");
}


// ---- eject buttons

char gRemovable; // the one drive the eject test calls removable
UINT DriveTypeForTest(const char *root) {
    return (root[0] & ~0x20) == gRemovable ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

bool EjectEnabled(int panel) {
    HWND button = gApp->panels[panel].ejectButton;
    return button && IsWindowEnabled(button);
}

TEST_F(Panels, EjectButtonsFollowTheDriveEachPanelShows) {
    DiskSystem saved = gDiskSystem;
    gDiskSystem.driveType = DriveTypeForTest;
    for (int p = 0; p < 2; p++) {
        ASSERT_TRUE(gApp->panels[p].ejectButton) << "a path bar without its eject button";
        EXPECT_EQ(GetDlgCtrlID(gApp->panels[p].ejectButton), p ? 842 : 841);
    }
    // Changing folder updates both buttons.
    gRemovable = 'T';
    ChangeTo(0, "left");
    EXPECT_TRUE(EjectEnabled(0));
    EXPECT_TRUE(EjectEnabled(1));
    // A finished re-read updates them too (the medium went, the drive stayed).
    gRemovable = 0;
    PanelRequestReread(1);
    EXPECT_GE(WaitFor([] { return !EjectEnabled(0) && !EjectEnabled(1); }, 30000), 0);
    // A button made anew by the layout starts in the right state.
    gRemovable = 'T';
    DestroyWindow(gApp->panels[0].ejectButton);
    gApp->panels[0].ejectButton = nullptr;
    RECT bar;
    GetClientRect(gApp->panels[0].pathBar, &bar);
    SendMessageA(gApp->panels[0].pathBar, WM_SIZE, 0, MAKELPARAM(bar.right, bar.bottom));
    EXPECT_TRUE(EjectEnabled(0));
    gDiskSystem = saved;
    DiskUpdateEjectButtons();
}

// ---- share marks

uint16_t EntryFlags(int panel, const char *name) {
    PanelIter it;
    uint16_t flags = 0xFFFF;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if (!strcmp(EntryName(e), name))
            flags = e->flags;
    PanelIterEnd(&it);
    return flags;
}
bool Shared(int panel, const char *name) { return (EntryFlags(panel, name) & kEntryShared) != 0; }

std::vector<std::string> gShellAsked;
std::mutex gShellAskedLock;
// The shell's own word on a listed share (Wine's shell never says "shared").
int ShellSharesAllButDocs(const char *path) {
    std::lock_guard<std::mutex> lock(gShellAskedLock);
    gShellAsked.push_back(path);
    return strstr(path, "docs") ? 0 : 1;
}

TEST_F(Panels, SharedFoldersAreMarkedFromTheShareListOnBothSystems) {
    ChangeTo(0, "left");
    const char *savedNine = gShareLibrary9x, *savedNt = gShareLibraryNt;
    int (*savedShell)(const char *) = gShareShellIsShared;
    BOOL savedNtFlag = gApp->isWinNT;
    gShareLibrary9x = "zqsvrapi.dll";
    gShareLibraryNt = "zqnetapi.dll";
    gShareShellIsShared = ShellSharesAllButDocs;
    // Shares: "sub" in another case, "docs" (which the shell disowns), a
    // printer without a path, a folder elsewhere and a file's path.
    std::string sub = Path("LEFT\\SUB"), docs = Path("left\\docs");
    std::string table = sub + "||" + docs + "|C:\\elsewhere|" + Path("left\\a.txt");
    for (int nt = 0; nt < 2; nt++) {
        SCOPED_TRACE(nt ? "NT" : "9x");
        gApp->isWinNT = nt;
        SetEnvironmentVariableA("ZQ_SHARES", table.c_str());
        {
            std::lock_guard<std::mutex> lock(gShellAskedLock);
            gShellAsked.clear();
        }
        PanelShareListExpire();
        PanelRequestReread(0);
        EXPECT_GE(WaitFor([] { return Shared(0, "sub"); }, 30000), 0) << "the shared folder got no mark";
        EXPECT_FALSE(Shared(0, "docs")) << "the shell does not show it shared";
        EXPECT_FALSE(Shared(0, "..")) << "the way up is no share";
        EXPECT_FALSE(Shared(0, "a.txt")) << "files are never marked";
        EXPECT_TRUE(EntryFlags(0, "sub") & kEntryFolder);
        {
            // The shell is asked about listed shares only, with the full path.
            std::lock_guard<std::mutex> lock(gShellAskedLock);
            for (const std::string &asked : gShellAsked)
                EXPECT_TRUE(!_stricmp(asked.c_str(), sub.c_str()) || asked == docs) << asked;
        }
        // The right panel's folders are not in the list.
        for (const std::string &name : Names(1))
            EXPECT_FALSE(Shared(1, name.c_str())) << name;
        // Shares taken away: the mark goes with the next list.
        SetEnvironmentVariableA("ZQ_SHARES", nullptr);
        PanelShareListExpire();
        PanelRequestReread(0);
        EXPECT_GE(WaitFor([] { return !Shared(0, "sub") && IndexOf(0, "sub") >= 0; }, 30000), 0);
    }
    gApp->isWinNT = savedNtFlag;
    gShareLibrary9x = savedNine;
    gShareLibraryNt = savedNt;
    WaitIdle();
    gShareShellIsShared = savedShell;
}

int32_t IconCode(int panel, const char *name) {
    PanelIter it;
    int32_t code = 0;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if (!strcmp(EntryName(e), name))
            code = (int32_t)e->iconIndex;
    PanelIterEnd(&it);
    return code;
}

bool AllIconsKnown(int panel) {
    PanelIter it;
    bool all = PanelIterBegin(&it, panel) != nullptr;
    for (FileEntry *e = PanelIterAt(&it, 0); e; e = PanelIterNext(&it))
        all = all && e->iconIndex != 0;
    PanelIterEnd(&it);
    return all;
}

// The highest USER and GDI handle slots in use, seen through fresh objects:
// Wine hands out freed slots again and reports no GUI resource counts, so a
// leak shows as a table that keeps growing. On Windows the counts are used.
struct HandleTop {
    DWORD user, gdi;
};
HandleTop MeasureHandles() {
    DWORD users = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    DWORD gdis = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (users && gdis)
        return {users, gdis};
    HandleTop top = {0, 0};
    std::vector<HICON> icons;
    std::vector<HBRUSH> brushes;
    BYTE andMask[32], xorMask[32];
    memset(andMask, 0xFF, sizeof andMask);
    memset(xorMask, 0, sizeof xorMask);
    for (int i = 0; i < 200; i++) {
        icons.push_back(CreateIcon(nullptr, 16, 16, 1, 1, andMask, xorMask));
        brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
        top.user = std::max<DWORD>(top.user, (DWORD)((UINT_PTR)icons.back() & 0xFFFF));
        top.gdi = std::max<DWORD>(top.gdi, (DWORD)((UINT_PTR)brushes.back() & 0xFFFF));
    }
    for (HICON i : icons)
        DestroyIcon(i);
    for (HBRUSH b : brushes)
        DeleteObject(b);
    return top;
}

void MakeIconFolder(const char *dir, int count) {
    CreateDirectoryA(Path(dir).c_str(), nullptr);
    static const char *const ext[] = {"txt", "dat", "doc", "zip", "bmp"};
    for (int i = 0; i < count; i++) {
        char name[64];
        if (i % 50 == 0)
            snprintf(name, sizeof name, "%s\\prog%04d.exe", dir, i); // each asks the shell
        else
            snprintf(name, sizeof name, "%s\\file%04d.%s", dir, i, ext[i % 5]);
        HANDLE h = CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
}

TEST_F(Panels, IconsComeFromTheShellOncePerExtensionAndFromTheOwnSet) {
    for (const char *d : {"ico", "ico\\sub"})
        CreateDirectoryA(Path(d).c_str(), nullptr);
    for (const char *f : {"ico\\a.txt", "ico\\b.txt", "ico\\c.TXT", "ico\\setup.EXE", "ico\\tool.exe",
                          "ico\\archive.tar.gz", "ico\\x.cpio", "ico\\y.CPIO", "ico\\hidden.dat"})
        MakeFile(f, 1);
    SetFileAttributesA(Path("ico\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    gApp->panelOptions = kPanelShowTitle | kPanelWinIco | kPanelHiddenFiles;
    ChangeTo(0, "ico");
    ASSERT_GE(WaitFor([] { return AllIconsKnown(0) && PanelIconLoadersBusy(0) == 0; }, 30000), 0);
    EXPECT_EQ(IconCode(0, ".."), kIconUpDir);
    EXPECT_EQ(IconCode(0, "archive.tar.gz"), kIconArchive);
    EXPECT_EQ(IconCode(0, "x.cpio"), kIconArchive);
    EXPECT_GT(IconCode(0, "y.CPIO"), 0); // not an archive: the shell's icon
    EXPECT_GT(IconCode(0, "a.txt"), 0);
    EXPECT_EQ(IconCode(0, "b.txt"), IconCode(0, "a.txt"));
    EXPECT_GT(IconCode(0, "c.TXT"), 0);
    EXPECT_GT(IconCode(0, "setup.EXE"), 0);
    EXPECT_GT(IconCode(0, "tool.exe"), 0);
    int32_t sub = IconCode(0, "sub");
    EXPECT_TRUE(sub == kIconFolder || sub > 0) << sub; // the own folder icon for an ordinary folder
    // The own set is loaded and drawn: a painted row shows the icon.
    ASSERT_TRUE(gApp->panelIcons[0] && gApp->panelIcons[kOwnIconCount - 1]);
    ASSERT_TRUE(gApp->ownImageList);
    EXPECT_EQ(ImageList_GetImageCount(gApp->ownImageList), kOwnIconCount);
    gApp->panelOptions = kPanelShowTitle;
    ChangeTo(0, "left");
}

TEST_F(Panels, IconLoaderLeaksNoHandlesAndStopsAtOnceWhenTheListIsReplaced) {
    MakeIconFolder("icons1", 1000);
    MakeIconFolder("icons2", 1000);
    gApp->panelOptions = kPanelShowTitle | kPanelWinIco;
    auto loadedIn = [](const char *dir) {
        ChangeTo(0, dir);
        return WaitFor([] { return AllIconsKnown(0) && PanelIconLoadersBusy(0) == 0; }, 60000);
    };
    ASSERT_GE(loadedIn("icons1"), 0);
    ASSERT_GE(loadedIn("icons2"), 0);
    HandleTop before = MeasureHandles();
    // Every change of folder reads a fresh list, so every load asks the
    // shell again: about 25 icons a time, 2,500 over the run if they leaked.
    for (int i = 0; i < 100; i++)
        ASSERT_GE(loadedIn(i % 2 ? "icons2" : "icons1"), 0) << i;
    HandleTop after = MeasureHandles();
    // The handle tables are shared with the other programs of the prefix, and
    // test programs running beside this one raise the top by a few hundred;
    // icons that were never destroyed raise it by thousands.
    EXPECT_LE(after.user, before.user + 1500) << before.user;
    EXPECT_LE(after.gdi, before.gdi + 1500) << before.gdi;

    // A re-read while the loader works: it ends within 100 ms of the new
    // list, which it never touches (no loader is started for it: icons off).
    CreateDirectoryA(Path("iconsx").c_str(), nullptr);
    for (int i = 0; i < 400; i++) {
        char name[64];
        snprintf(name, sizeof name, "iconsx\\p%04d.exe", i);
        MakeFile(name, 1);
    }
    ChangeTo(0, "iconsx");
    ASSERT_GE(WaitFor([] { return IconCode(0, "p0000.exe") != 0 || PanelIconLoadersBusy(0) == 0; }, 30000), 0);
    bool working = PanelIconLoadersBusy(0) > 0;
    gApp->panelOptions = kPanelShowTitle;
    uint32_t generation = gPanelLists[0].generation.load();
    PanelRequestReread(0);
    DWORD installed = 0;
    while (gPanelLists[0].generation.load() == generation)
        Sleep(1);
    installed = GetTickCount();
    while (PanelIconLoadersBusy(0) > 0 && GetTickCount() - installed < 5000)
        Sleep(1);
    DWORD took = GetTickCount() - installed;
    EXPECT_LT(took, 100u);
    EXPECT_TRUE(working) << "the loader had ended before the re-read";
    WaitIdle();
    // Codes carried over from the old list are kept; none was written into
    // the new list after the swap.
    ChangeTo(0, "left");
}

// The View menu as a user meets it: each mode chosen by its command, the
// check marks and greyed items read back from the menu, the layout read
// back from the windows.
TEST_F(Panels, ViewModesThroughTheirCommandsCheckAndGreyTheMenu) {
    HMENU bar = CreateMenu();
    HMENU view = CreatePopupMenu();
    for (int base : {500, 600})
        for (int id = base + 1; id <= base + 18; id++)
            AppendMenuA(view, MF_STRING, (UINT_PTR)id, "x");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)view, "View");
    SetMenu(gMainWindow, bar);
    PanelRelayoutAll();
    ChangeTo(0, "left");
    gApp->activePanel = 0;
    auto checked = [&](UINT id) { return (GetMenuState(view, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    auto greyed = [&](UINT id) { return (GetMenuState(view, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    auto onlyChecked = [&](int base, int id) {
        for (int i = base + 1; i <= base + 7; i++)
            if (checked((UINT)i) != (i == id))
                return false;
        return true;
    };
    RECT client;
    GetClientRect(gMainWindow, &client);
    const struct {
        UINT command;
        int mode;
    } modes[] = {{502, kViewBrief}, {501, kViewCustom}, {503, kViewFull}};
    for (const auto &m : modes) {
        MainCommandDispatch(gMainWindow, m.command);
        Pump(30);
        EXPECT_EQ(gApp->panelMode[0] & 0xF, m.mode) << m.command;
        EXPECT_TRUE(onlyChecked(500, (int)m.command)) << m.command;
        EXPECT_TRUE(onlyChecked(600, 603)) << m.command;
        RECT left, right;
        GetWindowRect(gApp->panels[0].listWindow, &left);
        GetWindowRect(gApp->panels[1].listWindow, &right);
        EXPECT_LE(left.right, right.left) << m.command; // side by side, the left one first
        EXPECT_GT(left.right - left.left, client.right / 3) << m.command;
    }

    // Off and on again: the other panel takes the whole width meanwhile.
    MainCommandDispatch(gMainWindow, 607);
    Pump(30);
    EXPECT_TRUE(gApp->panelOff[1]);
    EXPECT_TRUE(onlyChecked(600, 607));
    EXPECT_FALSE(IsWindowVisible(gApp->panels[1].listWindow));
    RECT whole;
    GetWindowRect(gApp->panels[0].pathBar, &whole);
    EXPECT_EQ(whole.right - whole.left, client.right);
    MainCommandDispatch(gMainWindow, 607);
    Pump(30);
    EXPECT_FALSE(gApp->panelOff[1]);
    EXPECT_TRUE(onlyChecked(600, 603));
    EXPECT_TRUE(IsWindowVisible(gApp->panels[1].listWindow));

    // Quick view in the right panel: its list commands and the left quick
    // view are greyed, and both On/Off items.
    MainCommandDispatch(gMainWindow, 605);
    Pump(30);
    ASSERT_EQ(gApp->panelMode[1] & 0xF, kViewQuick) << "the viewer library did not load";
    EXPECT_TRUE(onlyChecked(600, 605));
    for (UINT id : {505u, 507u, 607u, 615u, 616u, 617u, 618u})
        EXPECT_TRUE(greyed(id)) << id;
    for (UINT id : {515u, 516u, 517u, 518u})
        EXPECT_FALSE(greyed(id)) << id;
    MainCommandDispatch(gMainWindow, 603);
    Pump(30);
    for (UINT id : {505u, 507u, 607u, 615u, 616u, 617u, 618u})
        EXPECT_FALSE(greyed(id)) << id;

    // Tree in the left panel: neither panel offers Tree again.
    MainCommandDispatch(gMainWindow, 504);
    Pump(30);
    EXPECT_EQ(gApp->panelMode[0] & 0xF, kViewTree);
    EXPECT_TRUE(onlyChecked(500, 504));
    EXPECT_TRUE(greyed(504));
    EXPECT_TRUE(greyed(604));
    MainCommandDispatch(gMainWindow, 503);
    WaitIdle();
    EXPECT_EQ(gApp->panelMode[0] & 0xF, kViewFull);
    EXPECT_FALSE(greyed(504));
    EXPECT_FALSE(greyed(604));

    SetMenu(gMainWindow, nullptr);
    DestroyMenu(bar);
    PanelRelayoutAll();
    ChangeTo(0, "left");
    ChangeTo(1, "right");
}

TEST_F(Panels, ZScreenshot) {
    ChangeTo(0, "left");
    PanelRelayoutAll();
    gApp->activePanel = 0;
    gApp->cursorIndex[0] = (uint32_t)IndexOf(0, "c.txt");
    Key(VK_INSERT);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_INSERT);
    char line[300];
    PanelFormatStatusLine(0, line, sizeof line, 1);
    std::string text = std::string("L: ") + line;
    PanelFormatStatusLine(1, line, sizeof line, 0);
    text += "      R: " + std::string(line);
    SetWindowTextA(gStatus, text.c_str());
    Pump(300);
    RECT rc;
    GetWindowRect(gMainWindow, &rc);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {sizeof bi, w, h, 1, 24, BI_RGB};
    int stride = (w * 3 + 3) & ~3;
    std::vector<char> pixels((size_t)stride * h);
    GetDIBits(screen, bmp, 0, h, pixels.data(), (BITMAPINFO *)&bi, DIB_RGB_COLORS);
    BITMAPFILEHEADER bf = {0x4D42, (DWORD)(sizeof bf + sizeof bi + pixels.size()), 0, 0, sizeof bf + sizeof bi};
    FILE *f = fopen("T:\\panels-shot.bmp", "wb");
    if (f) {
        fwrite(&bf, sizeof bf, 1, f);
        fwrite(&bi, sizeof bi, 1, f);
        fwrite(pixels.data(), pixels.size(), 1, f);
        fclose(f);
    }
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(PanelCountMarked(0), 2u);
}
