// The whole program in this process: kestrom's start-up runs on a thread of
// its own with a private settings file, and the tests drive its main window
// with messages and read back what a user meets: menu states, where popups
// and dialogs open, which windows show.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdio.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "app/bars/FunctionKeys.h"
#include "tools/SafeSave.h"

namespace {

std::atomic<int> gBeeps{0};
void CountBeep(UINT) {
    gBeeps++;
}
void NoTerminate(DWORD, UINT) {}

const char kFolder[] = "C:\\vtest-appwindow";

std::string gIni = std::string(kFolder) + "\\w.ini";
std::string gIniArg = "/I=" + gIni;

DWORD WINAPI AppThread(void*) {
    char* argv[] = {(char*)"app_window_test", (char*)gIniArg.c_str()};
    return (DWORD)RunKestromArgs(GetModuleHandleA(nullptr), 2, argv);
}

// Waits for a condition with a generous deadline; the condition is what the
// test needs, never a time.
template <class F> bool WaitFor(F condition, DWORD timeout = 20000) {
    DWORD t0 = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - t0 > timeout) return false;
        Sleep(10);
    }
    return true;
}

bool OursAndShown(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId() && IsWindowVisible(w);
}

// The visible window of a class in this process (other tests share the
// display), optionally owned by a given window.
HWND FindShown(const char* cls, HWND owner = nullptr) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, cls, nullptr)) != nullptr) {
        if (OursAndShown(w) && (!owner || GetWindow(w, GW_OWNER) == owner)) return w;
    }
    return nullptr;
}

RECT Rect(HWND w) {
    RECT r = {};
    GetWindowRect(w, &r);
    return r;
}

class AppWindow : public ::testing::Test {
  protected:
    static HANDLE thread;
    static HWND main;

    static void SetUpTestSuite() {
        CreateDirectoryA(kFolder, nullptr);
        CreateDirectoryA((std::string(kFolder) + "\\left").c_str(), nullptr);
        for (const char* name : {"\\left\\one.txt", "\\left\\two.txt"}) {
            HANDLE h = CreateFileA((std::string(kFolder) + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
            CloseHandle(h);
        }
        DeleteFileA(gIni.c_str());
        const char* s = "Zq Vandrell";
        // Confirm copy, move, delete and folders but not the exit; every bar
        // on; no start logo; auto-save off.
        WritePrivateProfileStringA(s, "Options", "15,50199,1083179056,63,0,0", gIni.c_str());
        WritePrivateProfileStringA(s, "Language", "US", gIni.c_str());
        WritePrivateProfileStringA(s, "PathL", (std::string(kFolder) + "\\left").c_str(), gIni.c_str());
        WritePrivateProfileStringA(s, "PathR", "C:\\windows", gIni.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, gIni.c_str());

        gCommandBeep = CountBeep;
        gExitTerminate = NoTerminate;
        gMainWindow = nullptr;
        thread = CreateThread(nullptr, 0, AppThread, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        ASSERT_TRUE(WaitFor([] { return gMainWindow && IsWindowVisible(gMainWindow); }));
        main = gMainWindow;
        // Start-up step 3 has run once the window shows; the left list then
        // fills from the refresh thread: "..", one.txt, two.txt.
        ASSERT_TRUE(WaitFor([] { return gApp && gApp->panels[0].entryCount >= 3; }));
        // A normal window away from the screen's middle: where a dialog
        // opens then tells the owner's centre from the screen's.
        ShowWindow(main, SW_RESTORE);
        SetWindowPos(main, nullptr, 20, 30, 900, 640, SWP_NOZORDER);
    }

    static void TearDownTestSuite() {
        if (thread) {
            PostMessageA(main, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
            CloseHandle(thread);
            thread = nullptr;
        }
        for (const char* name : {"\\left\\one.txt", "\\left\\two.txt", "\\w.ini"})
            DeleteFileA((std::string(kFolder) + name).c_str());
        RemoveDirectoryA((std::string(kFolder) + "\\left").c_str());
        RemoveDirectoryA(kFolder);
    }

    // The main menu's popup at a position of the bar, after the window has
    // prepared it for opening.
    static HMENU OpenedPopup(int position) {
        HMENU popup = GetSubMenu(GetMenu(main), position);
        SendMessageA(main, WM_INITMENUPOPUP, (WPARAM)popup, MAKELPARAM(position, 0));
        return popup;
    }
    static bool Checked(HMENU menu, int id) {
        return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    static bool Greyed(HMENU menu, int id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
};
HANDLE AppWindow::thread;
HWND AppWindow::main;

enum { kMenuLeft = 0, kMenuFiles = 1, kMenuView = 3, kMenuOptions = 5, kMenuRight = 6 };

TEST_F(AppWindow, ViewMenuMarksFollowTheBarsAndToolWindows) {
    HMENU view = OpenedPopup(kMenuView);
    for (int id = 241; id <= 246; id++)
        EXPECT_TRUE(Checked(view, id)) << id;
    EXPECT_FALSE(Checked(view, 302));

    // Tool bar off: its mark goes, the others stay; and back.
    SendMessageA(main, WM_COMMAND, 241, 0);
    view = OpenedPopup(kMenuView);
    EXPECT_FALSE(Checked(view, 241));
    EXPECT_TRUE(Checked(view, 242));
    SendMessageA(main, WM_COMMAND, 241, 0);
    view = OpenedPopup(kMenuView);
    EXPECT_TRUE(Checked(view, 241));

    // History shown and hidden again.
    SendMessageA(main, WM_COMMAND, 302, 0);
    EXPECT_TRUE(Checked(OpenedPopup(kMenuView), 302));
    SendMessageA(main, WM_COMMAND, 302, 0);
    EXPECT_FALSE(Checked(OpenedPopup(kMenuView), 302));
}

TEST_F(AppWindow, PanelMenusMarkTheModeAndTheSortOrder) {
    HMENU left = OpenedPopup(kMenuLeft);
    // Full view, sorted by name: one mark in each group.
    for (int id : {501, 502, 503, 504, 505, 507})
        EXPECT_EQ(Checked(left, id), id == 503) << id;
    for (int id = 509; id <= 513; id++)
        EXPECT_EQ(Checked(left, id), id == 509) << id;
    EXPECT_FALSE(Checked(left, 514));

    SendMessageA(main, WM_COMMAND, 612, 0); // right panel by size
    SendMessageA(main, WM_COMMAND, 614, 0); // reversed
    HMENU right = OpenedPopup(kMenuRight);
    for (int id = 609; id <= 613; id++)
        EXPECT_EQ(Checked(right, id), id == 612) << id;
    EXPECT_TRUE(Checked(right, 614));
    // The left panel's marks did not move.
    EXPECT_TRUE(Checked(OpenedPopup(kMenuLeft), 509));
    SendMessageA(main, WM_COMMAND, 614, 0);
    SendMessageA(main, WM_COMMAND, 609, 0);

    // Brief view, then the right panel off: the mark follows; both undone.
    SendMessageA(main, WM_COMMAND, 602, 0);
    right = OpenedPopup(kMenuRight);
    for (int id : {601, 602, 603, 604, 605, 607})
        EXPECT_EQ(Checked(right, id), id == 602) << id;
    SendMessageA(main, WM_COMMAND, 607, 0);
    right = OpenedPopup(kMenuRight);
    for (int id : {601, 602, 603, 604, 605, 607})
        EXPECT_EQ(Checked(right, id), id == 607) << id;
    SendMessageA(main, WM_COMMAND, 607, 0);
    SendMessageA(main, WM_COMMAND, 603, 0);
    EXPECT_TRUE(Checked(OpenedPopup(kMenuRight), 603));
}

TEST_F(AppWindow, EveryFeatureItemIsEnabled) {
    struct Case {
        int menu, id;
        bool greyed;
    } cases[] = {
        {kMenuFiles, 105, false},  {kMenuFiles, 108, false},  {kMenuFiles, 110, false},
        {kMenuFiles, 112, false},  {kMenuFiles, 113, false},  {kMenuOptions, 402, false},
        {kMenuOptions, 406, false}, {kMenuOptions, 403, false}, {kMenuView, 241, false},
        {kMenuView, 302, false},   {kMenuView, 304, false},    {kMenuLeft, 503, false},
        {kMenuLeft, 509, false},   {kMenuRight, 618, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Greyed(OpenedPopup(c.menu), c.id), c.greyed) << c.id;
}

// The editor's name dialog, answered by the test (on the program's thread).
std::atomic<int> gNameAsks{0};
std::atomic<bool> gGiveName{false};
bool AnswerName(HWND, char* path, bool save) {
    gNameAsks++;
    if (!save || !gGiveName) return false;
    snprintf(path, MAX_PATH, "%s\\draft.txt", kFolder);
    return true;
}

TEST_F(AppWindow, ShiftF4OpensAnEmptyDocumentAndItsSaveAsksForAName) {
    bool (*oldAsk)(HWND, char*, bool) = gEditorAskFileName;
    gEditorAskFileName = AnswerName;
    std::string draft = std::string(kFolder) + "\\draft.txt";
    DeleteFileA(draft.c_str());
    int beeps = gBeeps;
    SendMessageA(main, WM_COMMAND, 802, 0);
    EXPECT_EQ(gBeeps, beeps);
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = FindShown("ZqEdit")) != nullptr; }));
    HWND child = GetDlgItem(editor, 1);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetWindowTextLengthW(child), 0);
    SendMessageW(child, EM_REPLACESEL, TRUE, (LPARAM)L"draft");
    // Without a name, Save asks for one; a cancel writes nothing and keeps the change.
    EXPECT_EQ(SendMessageA(editor, WM_COMMAND, 11924, 0), 0);
    EXPECT_EQ(gNameAsks, 1);
    EXPECT_EQ(GetFileAttributesA(draft.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(SendMessageA(child, EM_GETMODIFY, 0, 0), 0);
    gGiveName = true;
    EXPECT_EQ(SendMessageA(editor, WM_COMMAND, 11924, 0), 1);
    EXPECT_EQ(gNameAsks, 2);
    char bytes[16] = {};
    DWORD got = 0;
    HANDLE h = CreateFileA(draft.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ReadFile(h, bytes, sizeof bytes - 1, &got, nullptr);
    CloseHandle(h);
    EXPECT_STREQ(bytes, "draft");
    SendMessageA(editor, WM_CLOSE, 0, 0); // saved: no question
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
    DeleteFileA(draft.c_str());
    gEditorAskFileName = oldAsk;
    gGiveName = false;
}

TEST_F(AppWindow, ContainerKeyTogglesTheContainer) {
    HWND container = gApp->toolWindows[kToolContainer];
    ASSERT_NE(container, nullptr);
    SendMessageA(main, WM_COMMAND, 304, 0); // F9
    EXPECT_TRUE(IsWindowVisible(container));
    EXPECT_TRUE(Checked(OpenedPopup(kMenuView), 304));
    SendMessageA(main, WM_COMMAND, 304, 0);
    EXPECT_FALSE(IsWindowVisible(container));
    EXPECT_FALSE(Checked(OpenedPopup(kMenuView), 304));
}

// Draws a button of a bar as the bar does and counts the pixels in the
// button-text colour: a label drawn greyed (embossed) has none.
int TextPixels(HWND bar, int id) {
    HWND button = GetDlgItem(bar, id);
    RECT r = {};
    GetClientRect(button, &r);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = (UINT)id;
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = button;
    item.hDC = dc;
    item.rcItem = r;
    SendMessageA(bar, WM_DRAWITEM, (WPARAM)id, (LPARAM)&item);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    int count = 0;
    for (int y = 0; y < r.bottom; y++) {
        for (int x = 0; x < r.right; x++)
            count += GetPixel(dc, x, y) == text;
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return count;
}

TEST_F(AppWindow, FunctionKeysOfBuiltFeaturesShowTheirTexts) {
    HWND bar = gApp->fkeyBar;
    ASSERT_NE(bar, nullptr);
    EXPECT_GT(TextPixels(bar, 4), 0); // F5 Copy
    EXPECT_GT(TextPixels(bar, 8), 0); // F9 Container
    KeyBarSetShift(10);               // the Alt row
    EXPECT_GT(TextPixels(bar, 8), 0); // Alt+F9 folder sizes
    KeyBarSetShift(30);               // the Shift row
    EXPECT_GT(TextPixels(bar, 3), 0); // Shift+F4 an empty document in the editor
    KeyBarSetShift(0);
}

// Opens the drive popup of a panel, reads where it is and what it
// highlights, and closes it with Escape.
struct PopupSeen {
    RECT rect = {};
    std::vector<UINT> highlighted;
    bool opened = false;
};

PopupSeen OpenDrivePopup(HWND main, int command) {
    PopupSeen seen;
    PostMessageA(main, WM_COMMAND, command, 0);
    HWND popup = nullptr;
    seen.opened = WaitFor([&] { return (popup = FindShown("#32768")) != nullptr; });
    if (!seen.opened) return seen;
    HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
    // The highlight moves there from the menu's own key handling.
    WaitFor(
        [&] {
            int count = GetMenuItemCount(menu);
            for (int i = 0; i < count; i++) {
                if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE) return true;
            }
            return false;
        },
        5000);
    seen.rect = Rect(popup);
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE)
            seen.highlighted.push_back(GetMenuItemID(menu, i));
    }
    PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    WaitFor([&] { return !IsWindowVisible(popup); });
    return seen;
}

TEST_F(AppWindow, DrivePopupsOpenAtTheirPanelOnItsDrive) {
    // Alt+F1 and Alt+F2: the left panel shows C:, the right one too.
    struct Case {
        int command, panel;
    } cases[] = {{518, 0}, {618, 1}};
    for (const Case& c : cases) {
        PopupSeen seen = OpenDrivePopup(main, c.command);
        ASSERT_TRUE(seen.opened) << c.command;
        RECT list = Rect(gApp->panels[c.panel].listWindow);
        EXPECT_NEAR(seen.rect.left, list.left, 4) << c.command;
        EXPECT_NEAR(seen.rect.top, list.top, 4) << c.command;
        EXPECT_EQ(seen.highlighted, std::vector<UINT>{28900 + 'C' - 'A'}) << c.command;
    }
}

void ExpectCentredOn(HWND dialog, HWND owner, const char* what) {
    RECT d = Rect(dialog), o = Rect(owner);
    EXPECT_NEAR((d.left + d.right) / 2, (o.left + o.right) / 2, 2) << what;
    EXPECT_NEAR((d.top + d.bottom) / 2, (o.top + o.bottom) / 2, 2) << what;
}

TEST_F(AppWindow, DialogsOpenCentredOnTheMainWindow) {
    // The cursor on one.txt of the left panel.
    SendMessageA(main, WM_KEYDOWN, VK_HOME, 0);
    SendMessageA(main, WM_KEYDOWN, VK_DOWN, 0);
    struct Case {
        int command;
        const char* what;
    } cases[] = {{105, "copy"}, {106, "move"}, {109, "delete"}, {108, "make directory"}, {407, "language"}};
    for (const Case& c : cases) {
        PostMessageA(main, WM_COMMAND, c.command, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = FindShown("#32770", main)) != nullptr; })) << c.what;
        ExpectCentredOn(dialog, main, c.what);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << c.what;
    }
}

TEST_F(AppWindow, SelectGroupOpensOverTheActivePanelsSide) {
    RECT o = Rect(main);
    PostMessageA(main, WM_COMMAND, 116, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = FindShown("#32770", main)) != nullptr; }));
    RECT d = Rect(dialog);
    // At one sixth of the free width (the left panel is active), centred
    // from top to bottom.
    int free = (o.right - o.left) - (d.right - d.left);
    EXPECT_NEAR(d.left, o.left + free / 6, 2);
    EXPECT_NEAR((d.top + d.bottom) / 2, (o.top + o.bottom) / 2, 2);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
}

} // namespace
