// The Win32 parts in this process: the message loop's wheel rule, the
// dispatcher's refusal rules, the once-per-run module message, the
// open-window list, the directory watch and the tree removal.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Commands.h"
#include "app/DirWatch.h"
#include "app/MainWindow.h"
#include "base/Memory.h"
#include "wingui/ShellServices.h"
#include "app/Startup.h"
#include "wingui/WindowList.h"
#include "frontends/Libraries.h"

namespace {

int gBeeps;
void CountBeep(UINT type) {
    EXPECT_EQ(type, (UINT)MB_ICONHAND);
    gBeeps++;
}
std::vector<std::string> gBoxes;
int CountBox(HWND, const char *text, const char *, UINT type) {
    EXPECT_EQ(type, (UINT)MB_ICONERROR);
    gBoxes.push_back(text);
    return IDOK;
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gApp = (AppState *)MemAlloc(sizeof(AppState));
        ASSERT_NE(gApp, nullptr);
        gApp->hInstance = GetModuleHandleA(nullptr);
        strcpy(gApp->windowTitle, "Zq Vandrell");
        gWindowTitle = gApp->windowTitle;
        InitializeCriticalSection(&gApp->dialogListLock);
        gApp->changeNotify[0] = gApp->changeNotify[1] = INVALID_HANDLE_VALUE;
        gBeeps = 0;
        gBoxes.clear();
        gCommandBeep = CountBeep;
        gMissingModuleBox = CountBox;
    }
    void TearDown() override {
        ToolWndFreeAll();
        DeleteCriticalSection(&gApp->dialogListLock);
        MemFree(&gApp);
    }
};

// ---- wheel

std::vector<WPARAM> gScrolls;
int gWheelsDispatched;
LRESULT CALLBACK ScrollTargetProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_VSCROLL) {
        gScrolls.push_back(wp);
        EXPECT_EQ((HWND)lp, w);
        return 0;
    }
    if (m == WM_MOUSEWHEEL) {
        gWheelsDispatched++;
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

HWND MakeWindow(const char *cls, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowA(cls, "t", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, wc.hInstance, nullptr);
}

void PumpThroughLoop() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (MessageLoopPreTranslate(&msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TEST_F(AppTest, WheelGivesExactlyThreeLineScrollsToTheTarget) {
    HWND target = MakeWindow("ScrollTarget", ScrollTargetProc);
    ASSERT_NE(target, nullptr);
    gWheelMessage = ChooseWheelMessage();
    EXPECT_EQ(gWheelMessage, (UINT)WM_MOUSEWHEEL);

    gApp->wheelTarget = target;
    gScrolls.clear();
    gWheelsDispatched = 0;
    PostMessageA(target, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), MAKELPARAM(50, 50));
    PumpThroughLoop();
    EXPECT_EQ(gScrolls, (std::vector<WPARAM>{SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN}));
    EXPECT_EQ(gWheelsDispatched, 0);

    gScrolls.clear();
    PostMessageA(target, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    PumpThroughLoop();
    EXPECT_EQ(gScrolls, (std::vector<WPARAM>{SB_LINEUP, SB_LINEUP, SB_LINEUP}));

    // Without a target the wheel message goes its normal way.
    gApp->wheelTarget = nullptr;
    gScrolls.clear();
    PostMessageA(target, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    PumpThroughLoop();
    EXPECT_TRUE(gScrolls.empty());
    EXPECT_EQ(gWheelsDispatched, 1);
    DestroyWindow(target);
}

// ---- dispatcher

std::vector<int> AllCommandIds() {
    std::vector<int> ids;
    for (int id = 1; id < 30100; id++) {
        if (IsKnownCommand(id))
            ids.push_back(id);
    }
    return ids;
}

std::set<int> RefusedIds() {
    std::set<int> refused;
    gBeeps = 0;
    for (int id : AllCommandIds()) {
        int before = gBeeps;
        if (CommandRefused(id))
            refused.insert(id);
        EXPECT_EQ(gBeeps - before, refused.count(id) ? 1 : 0) << id;
    }
    return refused;
}

TEST_F(AppTest, TheIdTableCoversEveryMenuGroup) {
    for (int id : {101, 120, 130, 201, 227, 241, 246, 301, 324, 401, 410, 501, 618, 700, 705, 800, 842, 28000,
                   28900, 28979, 28988, 28999, 29000, 29001})
        EXPECT_TRUE(IsKnownCommand(id)) << id;
    for (int id : {0, 100, 125, 128, 215, 305, 312, 405, 506, 606, 701, 803, 811, 28980, 28987})
        EXPECT_FALSE(IsKnownCommand(id)) << id;
}

TEST_F(AppTest, NothingIsRefusedOnAPlainFolder) {
    EXPECT_TRUE(RefusedIds().empty());
}

TEST_F(AppTest, TreeModeRefusesOnlyItsList) {
    const std::set<int> expected = {101, 104, 105, 106, 108, 109, 112, 113, 114, 115, 116, 117, 118, 119,
                                    126, 127, 308, 309, 310, 311, 315, 322, 324, 804, 807, 810, 822};
    for (int active : {0, 1}) {
        gApp->activePanel = (uint16_t)active;
        gApp->panelMode[active] = kViewTree;
        gApp->panelMode[!active] = kViewFull;
        EXPECT_EQ(RefusedIds(), expected) << "active " << active;
        // The tree of the passive panel refuses nothing.
        gApp->panelMode[active] = kViewBrief;
        gApp->panelMode[!active] = kViewTree;
        EXPECT_TRUE(RefusedIds().empty());
    }
}

TEST_F(AppTest, VirtualLocationsRefuseByKind) {
    const std::set<int> always = {103, 110, 112, 113, 115, 126, 211, 308, 310, 311, 315, 324};
    LocationNode node = {};
    gApp->panels[0].location = &node;
    struct Case {
        uint16_t kind;
        std::set<int> extra;
    } cases[] = {
        {5, {101, 107, 108, 114}},            // archive level of an external packer
        {kLocationArchiveLib, {101, 107, 108, 114}},
        {kLocationFtp, {101}},
        {kLocationCeDevice, {}},
    };
    for (const Case &c : cases) {
        node.kind = c.kind;
        std::set<int> expected = always;
        expected.insert(c.extra.begin(), c.extra.end());
        EXPECT_EQ(RefusedIds(), expected) << c.kind;
    }
    // The other panel's location refuses synchronise and occupied space only.
    gApp->activePanel = 1;
    EXPECT_EQ(RefusedIds(), (std::set<int>{310, 311}));
    gApp->panels[0].location = nullptr;
}

TEST_F(AppTest, DirectorySizeCountRefusesSizeAndSpace) {
    gApp->activePanel = 1;
    gApp->dirSizeFlags = 2;
    EXPECT_EQ(RefusedIds(), (std::set<int>{211, 311}));
    gApp->dirSizeFlags = 1; // the other panel counts
    EXPECT_TRUE(RefusedIds().empty());
}

TEST_F(AppTest, DispatchedRefusalBeepsOnceAndUnbuiltFeaturesBeepOnce) {
    HWND main = MakeWindow("DispatchHost", DefWindowProcA);
    gApp->panelMode[0] = kViewTree;
    MainCommandDispatch(main, 105); // copy in the tree
    EXPECT_EQ(gBeeps, 1);
    gApp->panelMode[0] = kViewFull;
    gBeeps = 0;
    for (int id : {1302}) {
        int before = gBeeps;
        MainCommandDispatch(main, id);
        EXPECT_EQ(gBeeps - before, IsKnownCommand(id) ? 1 : 0) << id;
    }
    // Ids nobody sends are accepted quietly.
    gBeeps = 0;
    MainCommandDispatch(main, 12345);
    EXPECT_EQ(gBeeps, 0);
    DestroyWindow(main);
}

TEST_F(AppTest, LeftEqualsRight) {
    HWND main = MakeWindow("DispatchHost", DefWindowProcA);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    strcpy(gApp->panelPath[0], temp);
    strcpy(gApp->panelPath[1], "C:\\");
    LocationNode ftp = {};
    ftp.kind = kLocationFtp;
    gApp->panels[1].location = &ftp;
    MainCommandDispatch(main, 308);
    EXPECT_EQ(gBeeps, 1) << "an FTP panel does not take a folder";
    EXPECT_STREQ(gApp->panelPath[1], "C:\\");
    gApp->panels[1].location = nullptr;
    MainCommandDispatch(main, 308);
    EXPECT_EQ(gBeeps, 1);
    EXPECT_STREQ(gApp->panelPath[1], temp);
    EXPECT_NE(gApp->changeNotify[1], INVALID_HANDLE_VALUE);
    DirWatchClose(&gApp->changeNotify[1]);
    DestroyWindow(main);
}

// ---- libraries

TEST_F(AppTest, MissingModuleMessageOncePerLibrary) {
    AppReportMissingModule(nullptr, "OSTREL.DLL", kLibFtp);
    AppReportMissingModule(nullptr, "OSTREL.DLL", kLibFtp);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(gBoxes[0], "Cannot find or load the module OSTREL.DLL.");
    // The archive library is not delivered: a missing one is reported for
    // real, once, and every command answers 0.
    const char *delivered = gArcLibraryName;
    gArcLibraryName = "NOBRISAN.DLL";
    ArcLoad();
    ArcLoad();
    EXPECT_EQ(ArcCallLibrary(nullptr), 0);
    gArcLibraryName = delivered;
    ASSERT_EQ(gBoxes.size(), 2u);
    EXPECT_EQ(gBoxes[1], "Cannot find or load the module NOBRISAN.DLL.");
    AppReportMissingModule(nullptr, "LUMORA.DLL", kLibViewer);
    AppReportMissingModule(nullptr, "LUMORA.DLL", kLibViewer);
    EXPECT_EQ(gBoxes.size(), 3u);
    ArcUnload();
}

TEST_F(AppTest, DeviceLibraryMissingIsSilent) {
    // PELLIX.DLL is built beside the tests: ask for a name that is not there.
    const char *shipped = gCeLibraryName;
    gCeLibraryName = "NOPELLIX.DLL";
    CeLoad();
    CeLoad();
    EXPECT_TRUE(gBoxes.empty());
    EXPECT_EQ(gApp->ceLib, nullptr);
    EXPECT_EQ(CeSendCommand(4, 0, 0, 0, 0), -1);
    CeUnload();
    gCeLibraryName = shipped;
}

// ---- open-window list, busy animation

TEST_F(AppTest, WindowListRegisterAndUnregister) {
    HWND a = (HWND)0x1111, b = (HWND)0x2222;
    EXPECT_EQ(ToolWndRegister(a, kToolWndHex, nullptr), 0);
    EXPECT_EQ(ToolWndRegister(b, kToolWndEditor, nullptr), 0);
    EXPECT_EQ(ToolWndRegister(a, kToolWndViewer, nullptr), 0);
    EXPECT_EQ(gApp->modelessDialogCount, 3u);
    EXPECT_EQ(ToolWndFind(kToolWndEditor), b);
    ToolWndUnregister((HWND)0x3333);
    EXPECT_EQ(gApp->modelessDialogCount, 3u);
    ToolWndUnregister(a);
    ASSERT_EQ(gApp->modelessDialogCount, 1u);
    EXPECT_EQ(gApp->modelessDialogs[0].window, (void *)b);
    EXPECT_EQ(ToolWndFind(kToolWndHex), nullptr);
}

TEST(BusyAnimation, LoopsStayApart) {
    int frame = 0;
    for (int i = 0; i < 20; i++) {
        frame = AniNextFrame(frame);
        EXPECT_LT(frame, 4);
    }
    frame = 4;
    for (int i = 0; i < 20; i++) {
        frame = AniNextFrame(frame);
        EXPECT_GE(frame, 4);
        EXPECT_LE(frame, 7);
    }
}

// ---- directory watch, tree removal, other instances

std::string TempDir(const char *name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void MakeFile(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD n;
    WriteFile(h, "x", 1, &n, nullptr);
    CloseHandle(h);
}

TEST_F(AppTest, DirWatchPollsAndRearms) {
    HANDLE none = INVALID_HANDLE_VALUE;
    EXPECT_EQ(DirWatchPoll(&none), 0);
    DirWatchClose(&none);
    EXPECT_EQ(none, INVALID_HANDLE_VALUE);

    std::string dir = TempDir("vandrell-watch");
    HANDLE h = INVALID_HANDLE_VALUE;
    ASSERT_NE(DirWatchOpen(dir.c_str(), &h), INVALID_HANDLE_VALUE);
    EXPECT_EQ(DirWatchPoll(&h), 0);
    MakeFile(dir + "\\new.txt");
    int signalled = 0;
    for (DWORD start = GetTickCount(); !signalled && GetTickCount() - start < 15000; Sleep(10))
        signalled = DirWatchPoll(&h);
    EXPECT_EQ(signalled, 1);
    EXPECT_EQ(DirWatchPoll(&h), 0); // re-armed
    DirWatchClose(&h);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    DirRemoveTree(dir.c_str());
}

TEST_F(AppTest, DirRemoveTreeRemovesOnlyTheTree) {
    std::string root = TempDir("vandrell-tree");
    std::string sibling = TempDir("vandrell-tree2");
    MakeFile(sibling + "\\keep.txt");
    CreateDirectoryA((root + "\\a").c_str(), nullptr);
    CreateDirectoryA((root + "\\a\\b").c_str(), nullptr);
    MakeFile(root + "\\top.txt");
    MakeFile(root + "\\a\\b\\deep.txt");
    MakeFile(root + "\\a\\ro.txt");
    SetFileAttributesA((root + "\\a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    DirRemoveTree(root.c_str());
    EXPECT_EQ(GetFileAttributesA(root.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((sibling + "\\keep.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    DirRemoveTree(sibling.c_str());
    EXPECT_EQ(GetFileAttributesA(sibling.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A directory junction made with FSCTL_SET_REPARSE_POINT; false when the
// file system cannot make one.
bool MakeJunction(const std::string &link, const std::string &target) {
    if (!CreateDirectoryA(link.c_str(), nullptr))
        return false;
    HANDLE h = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::wstring substitute = L"\\??\\";
    for (char c : target)
        substitute += (wchar_t)c;
    std::wstring print;
    for (char c : target)
        print += (wchar_t)c;
    std::vector<BYTE> buffer(1024);
    struct MountPoint {
        DWORD tag;
        WORD dataLength, reserved;
        WORD substituteOffset, substituteLength, printOffset, printLength;
        WCHAR path[1];
    } *mp = (MountPoint *)buffer.data();
    mp->tag = IO_REPARSE_TAG_MOUNT_POINT;
    WORD subBytes = (WORD)(substitute.size() * 2), printBytes = (WORD)(print.size() * 2);
    mp->substituteOffset = 0;
    mp->substituteLength = subBytes;
    mp->printOffset = subBytes + 2;
    mp->printLength = printBytes;
    memcpy(mp->path, substitute.c_str(), subBytes + 2);
    memcpy((BYTE *)mp->path + subBytes + 2, print.c_str(), printBytes + 2);
    mp->dataLength = (WORD)(8 + subBytes + 2 + printBytes + 2);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, mp, mp->dataLength + 8, nullptr, 0, &returned, nullptr);
    CloseHandle(h);
    if (!ok)
        RemoveDirectoryA(link.c_str());
    return ok != 0;
}

TEST_F(AppTest, DirRemoveTreeNeverFollowsAJunction) {
    std::string root = TempDir("vandrell-junction");
    std::string outside = TempDir("vandrell-outside");
    MakeFile(outside + "\\precious.txt");
    if (!MakeJunction(root + "\\link", outside)) {
        // No junctions here: the same tree with a link made from Linux,
        // which Wine shows as a folder with the reparse-point bit.
        DirRemoveTree(root.c_str());
        DirRemoveTree(outside.c_str());
        const char *fixture = getenv("VANDRELL_LINK_FIXTURE");
        ASSERT_NE(fixture, nullptr) << "the link fixture is missing";
        root = std::string(fixture) + "\\root";
        outside = std::string(fixture) + "\\outside";
        DWORD attributes = GetFileAttributesA((root + "\\link").c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        ASSERT_NE(GetFileAttributesA((root + "\\link\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);
        DirRemoveTree(root.c_str());
        // The link itself may stay (Wine cannot remove a Linux link); what
        // it points at keeps every byte.
        EXPECT_NE(GetFileAttributesA((outside + "\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);
        return;
    }
    ASSERT_NE(GetFileAttributesA((root + "\\link\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    DirRemoveTree(root.c_str());
    EXPECT_EQ(GetFileAttributesA(root.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((outside + "\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    DirRemoveTree(outside.c_str());
}

// Other test programs may show a main window of the program on this display
// at the same time, so the windows here live on a desktop of their own.
DWORD WINAPI InstanceCheckThread(void *desk) {
    if (!SetThreadDesktop((HDESK)desk))
        return 0x80;
    DWORD result = 0;
    HWND a = MakeWindow(kMainClassName, DefWindowProcA);
    if (!a)
        return 0x100;
    if (!OtherInstanceRunning(a))
        result |= 0x10; // alone at first
    HWND b = CreateWindowA(kMainClassName, "b", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    if (b && OtherInstanceRunning(a))
        result |= 0x20; // sees the second one
    DestroyWindow(b);
    if (!OtherInstanceRunning(a))
        result |= 0x40; // alone again once it is gone
    DestroyWindow(a);
    return result;
}

TEST_F(AppTest, OtherInstanceSeenThroughItsMainWindow) {
    char name[64];
    wsprintfA(name, "zq-instance-test-%lu", GetCurrentProcessId());
    HDESK desk = CreateDesktopA(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desk, nullptr) << GetLastError();
    HANDLE t = CreateThread(nullptr, 0, InstanceCheckThread, desk, 0, nullptr);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 30000), WAIT_OBJECT_0);
    DWORD flags = 0;
    GetExitCodeThread(t, &flags);
    CloseHandle(t);
    CloseDesktop(desk);
    EXPECT_EQ(flags & 0x180, 0u) << "no window on a desktop of its own: " << flags;
    EXPECT_TRUE(flags & 0x10) << "another main window was seen where there is none";
    EXPECT_TRUE(flags & 0x20) << "the second main window was not seen";
    EXPECT_TRUE(flags & 0x40) << "a closed main window was still seen";
}

TEST_F(AppTest, StartupShowCommandIgnoresAnUnsetFlag) {
    // This test program is started without STARTF_USESHOWWINDOW.
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    int show = StartupShowCommand();
    if (si.dwFlags & STARTF_USESHOWWINDOW)
        EXPECT_EQ(show, si.wShowWindow);
    else
        EXPECT_EQ(show, SW_SHOWNORMAL);
    EXPECT_NE(show, SW_HIDE);
}

TEST_F(AppTest, WatchdogEndsOnlyThroughItsSeam) {
    static DWORD endedPid;
    static UINT endedCode;
    gExitWatchdogDelay = 10;
    gExitTerminate = [](DWORD pid, UINT code) {
        endedPid = pid;
        endedCode = code;
    };
    HANDLE t = CreateThread(nullptr, 0, ExitWatchdogThread, nullptr, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    CloseHandle(t);
    EXPECT_EQ(endedPid, GetCurrentProcessId());
    EXPECT_EQ(endedCode, 0xFFFFFFFFu);
}

// ---- hand-over between instances

TEST(Handover, BlockPathsAreCutToTheirSlots) {
    char block[520];
    memset(block, 'A', sizeof block);
    char paths[2][260];
    HandoverReadBlock(block, paths);
    EXPECT_EQ(std::string(paths[0]), std::string(259, 'A'));
    EXPECT_EQ(std::string(paths[1]), std::string(259, 'A'));
    memset(block, 0, sizeof block);
    strcpy(block, "C:\\X");
    HandoverReadBlock(block, paths);
    EXPECT_STREQ(paths[0], "C:\\X");
    EXPECT_STREQ(paths[1], "");
}

std::string gReceived[2];
LRESULT CALLBACK ReceiverProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kMsgInstanceHandover) {
        char name[64];
        snprintf(name, sizeof name, "Zq Vandrell%ld", (long)(LONG_PTR)w);
        SharedMemory block = {};
        MemSharedOpen(&block, name, kHandoverBlockSize);
        char paths[2][260] = {};
        if (block.view)
            HandoverReadBlock(block.view, paths);
        MemSharedClose(&block);
        gReceived[0] = paths[0];
        gReceived[1] = paths[1];
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(AppTest, HandoverSendsBothPaths) {
    HWND receiver = MakeWindow("HandoverReceiver", ReceiverProc);
    ASSERT_NE(receiver, nullptr);
    EXPECT_TRUE(HandoverSend(receiver, "C:\\X", ""));
    EXPECT_EQ(gReceived[0], "C:\\X");
    EXPECT_EQ(gReceived[1], "");
    DestroyWindow(receiver);
    EXPECT_FALSE(HandoverSend(receiver, "C:\\X", ""));
}

DWORD WINAPI HungOwner(void *param) {
    HWND *out = (HWND *)param;
    *out = CreateWindowA("STATIC", "hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Sleep(4000); // never looks at its messages meanwhile
    DestroyWindow(*out);
    return 0;
}

TEST_F(AppTest, HandoverGivesUpOnAHungInstance) {
    HWND hung = nullptr;
    HANDLE thread = CreateThread(nullptr, 0, HungOwner, &hung, 0, nullptr);
    for (int i = 0; i < 100 && !hung; i++)
        Sleep(10);
    ASSERT_NE(hung, nullptr);
    UINT saved = gHandoverTimeoutMs;
    gHandoverTimeoutMs = 300;
    DWORD t0 = GetTickCount();
    EXPECT_FALSE(HandoverSend(hung, "C:\\X", ""));
    EXPECT_LT(GetTickCount() - t0, 2000u);
    gHandoverTimeoutMs = saved;
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
}

// ---- closing

int gCloses;
LRESULT CALLBACK OpenWorkProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_CLOSE) {
        gCloses++;
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}
int gAnswer, gAsked;
int AnswerBox(HWND, unsigned, const char *, UINT) {
    gAsked++;
    return gAnswer;
}

TEST_F(AppTest, ExitQuestionComesBeforeOpenWindowsAreClosed) {
    HWND main = MakeWindow("CloseHost", DefWindowProcA);
    HWND editor = MakeWindow("OpenEditor", OpenWorkProc);
    HWND record = editor; // the data record's first word is the window
    ASSERT_EQ(ToolWndRegister(editor, kToolWndEditor, &record), 0);
    gMainAskBox = AnswerBox;
    gApp->confirmFlags = kConfirmExit;
    gCloses = gAsked = 0;

    gAnswer = IDNO;
    OnMainClose(main);
    EXPECT_EQ(gAsked, 1);
    EXPECT_EQ(gCloses, 0) << "No must leave open work alone";
    EXPECT_TRUE(IsWindow(main));

    gAnswer = IDYES;
    OnMainClose(main);
    EXPECT_EQ(gAsked, 2);
    EXPECT_EQ(gCloses, 1);
    EXPECT_FALSE(IsWindow(main));

    // Without the option nobody is asked.
    main = MakeWindow("CloseHost", DefWindowProcA);
    gApp->confirmFlags = 0;
    OnMainClose(main);
    EXPECT_EQ(gAsked, 2);
    EXPECT_FALSE(IsWindow(main));
    DestroyWindow(editor);
}

} // namespace
