#include <gtest/gtest.h>

#include <windows.h>
#include "tests/OwnWindow.h"
#include "wingui/WindowUtil.h"
#include <commctrl.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <map>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/bars/BarLayout.h"
#include "app/bars/Bars.h"
#include "app/bars/CommandLine.h"
#include "app/bars/DriveBar.h"
#include "app/bars/FunctionKeys.h"
#include "wingui/GuiDraw.h"
#include "base/SettingsValues.h"
#include "app/bars/StatusBar.h"
#include "app/bars/ToolBar.h"

namespace {

struct Child {
    HWND window;
    std::string cls;
    int id;
    bool acceptsFiles;
    HWND parent;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    Child c = {window, cls, GetDlgCtrlID(window), (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0,
               GetParent(window)};
    ((std::vector<Child> *)data)->push_back(c);
    return TRUE;
}

std::vector<Child> Children(HWND window) {
    std::vector<Child> out;
    EnumChildWindows(window, CollectChild, (LPARAM)&out);
    return out;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<UINT> gPosted;

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        gPosted.push_back(LOWORD(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string TempPath(const char *name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

class BarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        gApp = (AppState *)calloc(1, sizeof(AppState));
        // A fresh drive table: the next rescan must rebuild it.
        gDriveBars[0].driveMask = gDriveBars[1].driveMask = 0;
        gApp->hInstance = GetModuleHandleA(nullptr);
        gApp->barOptions = kBarToolbar | kBarDrives | kBarCmdLine | kBarStatus | kBarFkeys | kBarPanelStatus;
        gApp->generalOptions = kGenHelp;
        // One file per test and run: Wine caches profile files by name.
        char name[96];
        snprintf(name, sizeof name, "bars_%s_%lu.ini", ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                 (unsigned long)GetTickCount());
        ini = TempPath(name);
        DeleteFileA(ini.c_str());
        DeleteFileA((ini + ".T__").c_str());
        lstrcpynA(gApp->modulePath, ini.c_str(), sizeof gApp->modulePath);
        lstrcpyA(gApp->panelPath[0], "C:\\windows");
        lstrcpyA(gApp->panelPath[1], "C:\\");
        IniParseToolbar("", gApp->toolbarButtons, &gApp->toolbarButtonSize);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestMainProc;
        wc.hInstance = gApp->hInstance;
        wc.lpszClassName = "BarsTestMain";
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        RegisterClassA(&wc);
        main = CreateWindowExA(0, "BarsTestMain", "bars", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                               nullptr, gApp->hInstance, nullptr);
        ASSERT_TRUE(main);
        gMainWindow = main;
        FontInitGui(main);
        SetForegroundWindow(main);
        SetActiveWindow(main);
        // Another program on the display may take activation at any moment:
        // the bars are told the test's main window is the active one.
        WndSetActiveSource([]() -> HWND { return gMainWindow; });
        gPosted.clear();
    }
    void TearDown() override {
        WndSetActiveSource(nullptr);
        ToolBarStopIconLoader();
        DestroyWindow(main);
        DriveBarDestroyAll();
        gApp->hwndToolbar = nullptr;
        gApp->fkeyBar = nullptr;
        gApp->cmdLine = nullptr;
        for (HWND &b : gApp->statusBars)
            b = nullptr;
        Pump();
        gMainWindow = nullptr;
        free(gApp);
        gApp = nullptr;
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
        DeleteFileA(ini.c_str());
    }
    void Resize(int width, int height) {
        gApp->clientWidth = (int16_t)width;
        gApp->clientHeight = (int16_t)height;
        gApp->splitterPos = width / 2;
        BarsLayout();
        Pump();
    }
    RECT RectIn(HWND window, HWND parent) {
        RECT r;
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
        return r;
    }
    HWND main = nullptr;
    std::string ini;
};

// The pixels of a window's client area as it shows now.
std::vector<uint32_t> Pixels(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    std::vector<uint32_t> out((size_t)(r.right * r.bottom));
    if (out.empty())
        return out;
    HDC dc = GetDC(window);
    HDC mem = CreateCompatibleDC(dc);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB};
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    memcpy(out.data(), bits, out.size() * 4);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(window, dc);
    return out;
}

// Paints what is pending now, without waiting for the message loop.
void PaintNow(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

// The bars' children read back: classes, ids, drop acceptance.
TEST_F(BarsTest, ChildWindowsReadBack) {
    BarsCreate(main);
    Resize(800, 600);
    std::map<std::string, int> classes;
    std::vector<Child> all = Children(main);
    for (const Child &c : all)
        classes[c.cls]++;
    EXPECT_EQ(classes["TB"], 1);
    EXPECT_EQ(classes["DB"], 1);
    EXPECT_EQ(classes["FB"], 1);
    EXPECT_EQ(classes["SB"], 3);
    EXPECT_EQ(classes["SF"], 9);
    EXPECT_EQ(classes["ComboBox"], 1);

    int driveButtons = 0, toolButtons = 0;
    for (const Child &c : all) {
        char parentCls[16] = "";
        GetClassNameA(c.parent, parentCls, sizeof parentCls);
        if (c.cls != "Button")
            continue;
        if (!strcmp(parentCls, "DB")) {
            driveButtons++;
            ASSERT_GE(c.id, 0);
            ASSERT_LT(c.id, kDriveCount);
            unsigned kind = gApp->drives[c.id].kind;
            EXPECT_NE(kind, 0u) << c.id;
            EXPECT_EQ(c.acceptsFiles, DriveBarTakesDrops(c.id, kind)) << "drive " << c.id << " kind " << kind;
        } else if (!strcmp(parentCls, "TB")) {
            toolButtons++;
            int command = (int16_t)c.id;
            EXPECT_NE(ToolBarFind(command), nullptr) << command;
            EXPECT_EQ(c.acceptsFiles, ToolbarCommandTakesDrops(command, true)) << command;
        } else if (!strcmp(parentCls, "FB")) {
            EXPECT_GE(c.id, 0);
            EXPECT_LT(c.id, 10);
        }
    }
    EXPECT_EQ(toolButtons, 24) << "the default bar: 29 records, 5 separators";
    EXPECT_GE(driveButtons, 2);
    EXPECT_EQ(gApp->drives[2].kind, kDriveFixed) << "C: is a fixed disk";
    EXPECT_TRUE(gDriveBars[0].slots[2].button);

    // Drops off while a panel drag runs, and on again.
    DriveBarAcceptDrops(0);
    EXPECT_FALSE(GetWindowLongA(gDriveBars[0].slots[2].button, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    DriveBarAcceptDrops(1);
    EXPECT_TRUE(GetWindowLongA(gDriveBars[0].slots[2].button, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // The tool bar above the drive bar, the drive bar above the panels.
    RECT tb = RectIn(gApp->hwndToolbar, main), db = RectIn(gDriveBars[0].window, main);
    EXPECT_EQ(tb.top, 0);
    EXPECT_EQ(tb.bottom, 29);
    EXPECT_EQ(db.top, 29);
    EXPECT_EQ(BarsTopHeight(), 29 + DriveBarGetHeight());
    RECT fb = RectIn(gApp->fkeyBar, main), sb = RectIn(gApp->statusBars[0], main);
    EXPECT_EQ(sb.bottom, 600);
    EXPECT_EQ(fb.bottom, sb.top);
}

// Button positions in a 300-pixel bar are those of the layout rule, and
// two bars share the width.
TEST_F(BarsTest, DriveBarLayoutAndTwoBars) {
    BarsCreate(main);
    Resize(300, 400);
    uint16_t kinds[kDriveCount], xs[kDriveCount], ys[kDriveCount];
    for (int i = 0; i < kDriveCount; i++)
        kinds[i] = gDriveBars[0].slots[i].button ? gApp->drives[i].kind : 0;
    int height = DriveBarPlace(kinds, 300, xs, ys);
    EXPECT_EQ(DriveBarGetHeight(), height);
    for (int i = 0; i < kDriveCount; i++) {
        if (!kinds[i])
            continue;
        RECT r = RectIn(gDriveBars[0].slots[i].button, gDriveBars[0].window);
        EXPECT_EQ(r.left, xs[i]) << i;
        EXPECT_EQ(r.top, ys[i]) << i;
        EXPECT_EQ(r.right - r.left, 40);
        EXPECT_EQ(r.bottom - r.top, 16);
    }

    gApp->barOptions |= kBarTwoDriveBars;
    DriveBarRefresh(true);
    Resize(601, 400);
    ASSERT_TRUE(gDriveBars[0].window);
    ASSERT_TRUE(gDriveBars[1].window);
    RECT left = RectIn(gDriveBars[0].window, main), right = RectIn(gDriveBars[1].window, main);
    EXPECT_EQ(left.left, 0);
    EXPECT_EQ(left.right, 300);
    EXPECT_EQ(right.left, 300);
    EXPECT_EQ(right.right, 601);
    EXPECT_EQ(gDriveBars[1].driveMask, gDriveBars[0].driveMask);
    EXPECT_EQ(DriveBarPanel(1), 1);
    gApp->activePanel = 1;
    EXPECT_EQ(DriveBarPanel(0), 0) << "with two bars each bar serves its own panel";

    // An unchanged drive set does not rebuild anything.
    HWND before = gDriveBars[0].window;
    DriveBarRefresh(false);
    EXPECT_EQ(gDriveBars[0].window, before);
}

// Fifty buttons in a 600-pixel bar: two rows of 22, the rest hidden.
TEST_F(BarsTest, ToolBarRowsIn600Pixels) {
    memset(gApp->toolbarButtons, 0, sizeof gApp->toolbarButtons);
    for (int i = 0; i < 50; i++)
        gApp->toolbarButtons[i].command = kToolbarCommands[i];
    gApp->barOptions = kBarToolbar;
    BarsCreate(main);
    Resize(600, 400);
    EXPECT_EQ(ToolBarGetHeight(), 58);
    RECT r = RectIn((HWND)gApp->toolbarButtons[21].window, gApp->hwndToolbar);
    EXPECT_EQ(r.left, 569);
    EXPECT_EQ(r.right - r.left, 25);
    r = RectIn((HWND)gApp->toolbarButtons[22].window, gApp->hwndToolbar);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 31);
    r = RectIn((HWND)gApp->toolbarButtons[44].window, gApp->hwndToolbar);
    EXPECT_EQ(r.right - r.left, 0) << "the 45th button is hidden";
}

// A deep folder is shortened in the middle to a quarter of the entry.
TEST_F(BarsTest, CommandLinePromptQuarter) {
    gApp->barOptions = kBarCmdLine;
    lstrcpyA(gApp->panelPath[0], "C:\\a rather long folder name\\and another one below it\\and the last level");
    BarsCreate(main);
    Resize(800, 400);
    SendMessageA(gApp->cmdLine, WM_SIZE, 0, 0);
    CmdLinePrompt(1, 0);
    char text[600] = "";
    HWND prompt = CmdLinePromptWindow();
    ASSERT_TRUE(prompt);
    GetWindowTextA(prompt, text, sizeof text);
    EXPECT_NE(strstr(text, "..."), nullptr) << text;
    EXPECT_EQ(text[0], 'C');
    EXPECT_EQ(text[strlen(text) - 1], '>');
    RECT p = RectIn(prompt, gApp->cmdLine), combo;
    GetClientRect(gApp->cmdLine, &combo);
    EXPECT_LE(p.right - p.left, combo.right / 4 + 1);
    EXPECT_GT(p.right - p.left, 0);

    lstrcpyA(gApp->panelPath[1], "D:\\");
    CmdLineUpdatePrompt(1);
    GetWindowTextA(prompt, text, sizeof text);
    EXPECT_STREQ(text, "D:\\>") << "a short folder keeps its text";
}

// The prompt as the user sees it after each change of folder: the whole
// text, drawn as the static draws it when painted afresh at its final size,
// with no blank where the previous, shorter or longer, prompt ended.
TEST_F(BarsTest, CommandLinePromptRedrawnWholeAfterAFolderChange) {
    gApp->barOptions = kBarCmdLine;
    BarsCreate(main);
    Resize(800, 400);
    SendMessageA(gApp->cmdLine, WM_SIZE, 0, 0);
    HWND prompt = CmdLinePromptWindow();
    ASSERT_TRUE(prompt);
    const char *paths[] = {"C:\\", "C:\\work", "C:\\work\\alpha", "C:\\work", "C:\\",
                           "C:\\a rather long folder name\\and another one below it\\and the last level", "D:\\"};
    for (const char *path : paths) {
        lstrcpyA(gApp->panelPath[0], path);
        CmdLineUpdatePrompt(0);
        PaintNow(main);
        char text[600] = "";
        GetWindowTextA(prompt, text, sizeof text);
        std::vector<uint32_t> shown = Pixels(prompt);
        ASSERT_FALSE(shown.empty()) << path;

        // The same text drawn into a bitmap of the prompt's size, as a
        // left-aligned static draws it on the command line's colours.
        RECT r;
        GetClientRect(prompt, &r);
        HDC dc = GetDC(prompt);
        HDC mem = CreateCompatibleDC(dc);
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB};
        void *bits = nullptr;
        HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ oldBmp = SelectObject(mem, bmp);
        HGDIOBJ oldFont = SelectObject(mem, (HFONT)SendMessageA(prompt, WM_GETFONT, 0, 0));
        FillRect(mem, &r, (HBRUSH)SendMessageA(gApp->cmdLine, WM_CTLCOLORSTATIC, (WPARAM)mem, (LPARAM)prompt));
        DrawTextA(mem, text, -1, &r, DT_LEFT | DT_NOPREFIX | DT_SINGLELINE);
        GdiFlush();
        std::vector<uint32_t> want((uint32_t *)bits, (uint32_t *)bits + shown.size());
        SelectObject(mem, oldFont);
        SelectObject(mem, oldBmp);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(prompt, dc);
        size_t differ = 0;
        for (size_t i = 0; i < want.size(); i++)
            differ += (shown[i] & 0xFFFFFF) != (want[i] & 0xFFFFFF);
        EXPECT_EQ(differ, 0u) << path << " shown as \"" << text << "\"";
    }
}

std::string TipOf(HWND button) {
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = nullptr;
    info.hdr.idFrom = (UINT_PTR)button;
    info.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(button, WM_NOTIFY, 0, (LPARAM)&info);
    return info.lpszText ? info.lpszText : "";
}

// A volume label starting with an accented letter still gets its tip.
TEST_F(BarsTest, DriveTipsForAccentedNames) {
    BarsCreate(main);
    Resize(800, 600);
    SetForegroundWindow(main);
    SetActiveWindow(main);
    HWND c = gDriveBars[0].slots[2].button;
    ASSERT_TRUE(c);
    lstrcpyA(gApp->drives[2].displayName, "\xc4nderungen");
    EXPECT_EQ(TipOf(c), "\xc4nderungen");
    lstrcpyA(gApp->drives[2].displayName, "System");
    EXPECT_EQ(TipOf(c), "System");
    gApp->drives[2].displayName[0] = 0;
    EXPECT_EQ(TipOf(c), "");
    gApp->generalOptions &= ~kGenHelp;
    lstrcpyA(gApp->drives[2].displayName, "System");
    EXPECT_EQ(TipOf(c), "") << "no bubble help";
}

// Narrowing the window hides the right-hand fields from the left end of
// their group: free space, the two panel states, the line, the date, the
// time.
TEST_F(BarsTest, StatusFieldsHideFromTheLeft) {
    StatusBarCreate(main, 0);
    const int order[] = {11, 12, 13, 15, 16};
    int hidden = 0;
    for (int width = 900; width >= 40; width -= 5) {
        Resize(width, 400);
        int n = 0;
        while (n < 5) {
            StatusField *f = StatusFieldFind(order[n]);
            RECT r = RectIn(f->window, gApp->statusBars[0]);
            if (r.right - r.left != 0)
                break;
            n++;
        }
        for (int j = n; j < 5; j++) {
            RECT r = RectIn(StatusFieldFind(order[j])->window, gApp->statusBars[0]);
            ASSERT_GT(r.right - r.left, 0) << "width " << width << " field " << order[j];
        }
        ASSERT_GE(n, hidden) << width;
        if (n) {
            RECT line = RectIn(StatusFieldFind(10)->window, gApp->statusBars[0]);
            ASSERT_EQ(line.right - line.left, 0) << width;
        }
        hidden = n;
    }
    EXPECT_EQ(hidden, 5);

    // Texts: shortened in the middle in the main bar, cut in a panel bar.
    Resize(900, 400);
    std::string name(100, 'a');
    name[0] = 'H';
    name[99] = 'Z';
    StatusBarSetText(10, name.c_str());
    std::string shown = StatusFieldFind(10)->text;
    EXPECT_EQ(shown.size(), 70u);
    EXPECT_EQ(shown.front(), 'H');
    EXPECT_EQ(shown.back(), 'Z');
    EXPECT_NE(shown.find("..."), std::string::npos);
    StatusBarCreate(main, 1);
    StatusBarSetText(17, name.c_str());
    EXPECT_EQ(std::string(StatusFieldFind(17)->text), name.substr(0, 70));

    // Panel bars: split at the splitter; one panel off, the other spans all.
    StatusBarCreate(main, 2);
    Resize(900, 400);
    RECT left = RectIn(gApp->statusBars[1], main), right = RectIn(gApp->statusBars[2], main);
    EXPECT_EQ(left.right, 450 - 2);
    EXPECT_EQ(right.left, 450 + 2);
    EXPECT_EQ(left.bottom, RectIn(gApp->statusBars[0], main).top);
    gApp->panelOff[0] = 1;
    Resize(900, 400);
    right = RectIn(gApp->statusBars[2], main);
    EXPECT_EQ(right.left, 0);
    EXPECT_EQ(right.right, 900);
    EXPECT_EQ(RectIn(gApp->statusBars[1], main).right - RectIn(gApp->statusBars[1], main).left, 0);
    gApp->panelOff[0] = 0;

    // A menu hint hides the fields until it is cleared.
    StatusBarMenuHelp(1105); // any text id above 92 with a text
    EXPECT_FALSE(IsWindowVisible(StatusFieldFind(16)->window));
    EXPECT_FALSE(IsWindowVisible(StatusFieldFind(10)->window));
    StatusBarMenuHelp(0);
    EXPECT_TRUE(IsWindowVisible(StatusFieldFind(16)->window));
}

// Widening, narrowing, heightening and lowering the main window across the
// widths where fields and keys change places: what each bottom bar shows
// after the resize is what a full repaint of it shows, so nothing is drawn
// twice, cut or left behind.
TEST_F(BarsTest, BottomBarsAfterResizeLookFreshlyPainted) {
    MoveWindow(main, 0, 0, 1275, 300, TRUE);
    StatusBarCreate(main, 0);
    StatusBarCreate(main, 1);
    StatusBarCreate(main, 2);
    KeyBarCreate(main);
    const struct {
        int id;
        const char *text;
    } texts[] = {{10, "  file07.txt    1,234  12/10/2026  10:15 AM  A"},
                 {11, "73.3 GB free"},
                 {12, "L-Full"},
                 {13, "R-Brief"},
                 {15, "12/10/2026"},
                 {16, "3:45 PM"},
                 {17, "  file07.txt    1,234  12/10/2026  10:15 AM  A"},
                 {18, "<UP-DIR>"}};
    const HWND bars[] = {gApp->statusBars[0], gApp->statusBars[1], gApp->statusBars[2], gApp->fkeyBar};
    const int sizes[][2] = {{952, 250}, {1240, 270}, {1100, 270}, {1225, 255}, {1270, 262},
                            {1000, 262}, {1260, 250}, {700, 268}, {1245, 268}};
    for (const auto &size : sizes) {
        int width = size[0];
        Resize(width, size[1]);
        for (const auto &t : texts)
            StatusBarSetText(t.id, t.text);
        PaintNow(main);
        for (HWND bar : bars) {
            std::vector<uint32_t> shown = Pixels(bar);
            RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            std::vector<uint32_t> fresh = Pixels(bar);
            ASSERT_FALSE(fresh.empty());
            size_t differ = 0;
            for (size_t i = 0; i < fresh.size(); i++)
                differ += shown[i] != fresh[i];
            char cls[8] = "";
            GetClassNameA(bar, cls, sizeof cls);
            EXPECT_EQ(differ, 0u) << "width " << width << ", bar " << cls << " at y " << RectIn(bar, main).top;
        }
    }
    KeyBarDestroy();
}

// The labels and the commands follow the shift state.
TEST_F(BarsTest, FunctionKeysFollowTheShiftState) {
    KeyBarCreate(main);
    Resize(120, 400); // narrow: every label is cut, so each has a tip
    SetForegroundWindow(main);
    SetActiveWindow(main);
    struct Case {
        int shift, key;
        const char *label;
        UINT command;
    } cases[] = {{0, 2, "3 View", 102},  {10, 2, "3 Hex", 103},   {20, 2, "3 Name", 813},
                 {30, 2, "3 DOS", 317},  {30, 3, "4 NewEdit", 802}, {0, 9, "10 Exit", 120}};
    for (const Case &c : cases) {
        KeyBarSetShift(c.shift);
        EXPECT_EQ(gButtonArt.functionKeyShift, c.shift);
        EXPECT_EQ(TipOf(KeyBarButton(c.key)), c.label) << c.shift << "/" << c.key;
        gPosted.clear();
        SendMessageA(KeyBarButton(c.key), BM_CLICK, 0, 0);
        Pump();
        ASSERT_EQ(gPosted.size(), 1u) << c.label;
        EXPECT_EQ(gPosted[0], c.command) << c.label;
    }
    // Shift+F1 has no command: a beep and nothing posted.
    KeyBarSetShift(30);
    gPosted.clear();
    SendMessageA(KeyBarButton(0), BM_CLICK, 0, 0);
    Pump();
    EXPECT_TRUE(gPosted.empty());
    // A label that fits shows no tip.
    KeyBarSetShift(0);
    Resize(2000, 400);
    EXPECT_EQ(TipOf(KeyBarButton(2)), "");
    // Without the main status bar the keys sit on the bottom edge; with it,
    // right above it.
    EXPECT_EQ(RectIn(gApp->fkeyBar, main).bottom, 400);
    StatusBarCreate(main, 0);
    Resize(2000, 400);
    EXPECT_EQ(RectIn(gApp->fkeyBar, main).bottom, RectIn(gApp->statusBars[0], main).top);
    StatusBarDestroy(0);
    KeyBarDestroy();
}

std::string Section(const std::string &file, const char *section) {
    std::vector<char> buffer(1 << 20);
    DWORD n = GetPrivateProfileSectionA(section, buffer.data(), (DWORD)buffer.size(), file.c_str());
    for (DWORD i = 0; i < n; i++) {
        if (!buffer[i])
            buffer[i] = '\n';
    }
    return std::string(buffer.data(), n);
}

bool FileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct DialogDriver {
    int button;
    bool sawTemp;
    std::string temp;
    std::string tempSection;
};
DialogDriver gDriver;

VOID CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOwnWindow("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, 14532))
        return;
    KillTimer(nullptr, timer);
    gDriver.sawTemp = FileExists(gDriver.temp);
    gDriver.tempSection = Section(gDriver.temp, "TB");
    PostMessageA(dialog, WM_COMMAND, gDriver.button, 0);
}

// Eighty user buttons whose keys make a TB section far beyond 32,767 bytes:
// OK keeps every one of them (only the T=0 keys go), Cancel changes nothing,
// and the temporary copy is gone afterwards either way.
TEST_F(BarsTest, OptionsDialogKeepsTheWholeSection) {
    std::string padding(250, 'p');
    for (int n = 1; n <= kToolbarButtonMax; n++) {
        char key[16], value[600];
        snprintf(key, sizeof key, "M%d", n);
        snprintf(value, sizeof value, "Button %d", n);
        WritePrivateProfileStringA("TB", key, value, ini.c_str());
        snprintf(key, sizeof key, "C%d", n);
        snprintf(value, sizeof value, "C:\\missing\\prog%d.exe", n);
        WritePrivateProfileStringA("TB", key, value, ini.c_str());
        snprintf(key, sizeof key, "D%d", n);
        WritePrivateProfileStringA("TB", key, ("C:\\" + padding).c_str(), ini.c_str());
        snprintf(key, sizeof key, "P%d", n);
        snprintf(value, sizeof value, "%s%d", padding.c_str(), n);
        WritePrivateProfileStringA("TB", key, value, ini.c_str());
        snprintf(key, sizeof key, "T%d", n);
        WritePrivateProfileStringA("TB", key, n % 2 ? "0" : "2", ini.c_str());
        gApp->toolbarButtons[n - 1].command = (int16_t)-n; // a full bar: no end record
    }
    BarsCreate(main);
    Resize(800, 600);
    std::string before = Section(ini, "TB");
    ASSERT_GT(before.size(), 40000u);
    gDriver = {IDCANCEL, false, ini + ".T__", ""};
    SetTimer(nullptr, 0, 50, DriveDialog);
    EXPECT_EQ(ToolBarOptionsCommand(main), 0);
    EXPECT_TRUE(gDriver.sawTemp);
    EXPECT_EQ(gDriver.tempSection, before) << "the temporary copy holds the whole section";
    EXPECT_EQ(Section(ini, "TB"), before) << "Cancel writes nothing";
    EXPECT_FALSE(FileExists(gDriver.temp));

    gDriver = {IDOK, false, ini + ".T__", ""};
    SetTimer(nullptr, 0, 50, DriveDialog);
    EXPECT_EQ(ToolBarOptionsCommand(main), 1);
    EXPECT_FALSE(FileExists(gDriver.temp));
    char value[600];
    GetPrivateProfileStringA("TB", "P80", "", value, sizeof value, ini.c_str());
    EXPECT_EQ(std::string(value), padding + "80");
    GetPrivateProfileStringA("TB", "M79", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "Button 79");
    GetPrivateProfileStringA("TB", "T80", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "2");
    GetPrivateProfileStringA("TB", "T79", "none", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "none") << "T=0 is not written";
    for (int i = 0; i < kToolbarButtonMax; i++)
        EXPECT_EQ(gApp->toolbarButtons[i].command, -(i + 1));
    EXPECT_TRUE(gApp->hwndToolbar) << "the bar is rebuilt";
}

struct EditRun {
    int barBefore, barWithSeparator, barAfterRemove, availBefore, availAfter, afterEmptyAddNew;
    int firstNew, secondNew;
    int frameHeights[2]; // window height less client height of each list
};
EditRun gEdit;

VOID CALLBACK EditInDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOwnWindow("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, 14532))
        return;
    KillTimer(nullptr, timer);
    HWND avail = GetDlgItem(dialog, 14531), bar = GetDlgItem(dialog, 14532);
    auto count = [](HWND list) { return (int)SendMessageA(list, LB_GETCOUNT, 0, 0); };
    for (int i = 0; i < 2; i++) {
        RECT w, c;
        GetWindowRect(i ? bar : avail, &w);
        GetClientRect(i ? bar : avail, &c);
        gEdit.frameHeights[i] = (w.bottom - w.top) - c.bottom;
    }
    gEdit.barBefore = count(bar);
    gEdit.availBefore = count(avail);
    SendMessageA(avail, LB_SETCURSEL, 0, 0); // the separator
    SendMessageA(dialog, WM_COMMAND, 14534, 0);
    gEdit.barWithSeparator = count(bar);
    SendMessageA(dialog, WM_COMMAND, 14533, 0); // the new separator is selected
    gEdit.barAfterRemove = count(bar);
    gEdit.availAfter = count(avail);

    SendMessageA(bar, LB_SETCURSEL, (WPARAM)-1, 0);
    SetDlgItemTextA(dialog, 14202, "");
    SetDlgItemTextA(dialog, 14203, "C:\\windows\\notepad.exe");
    SendMessageA(dialog, WM_COMMAND, 97, 0); // no description: only a beep
    gEdit.afterEmptyAddNew = count(bar);
    SetDlgItemTextA(dialog, 14202, "One");
    SendMessageA(dialog, WM_COMMAND, 97, 0);
    gEdit.firstNew = (int16_t)SendMessageA(bar, LB_GETITEMDATA, count(bar) - 1, 0);
    SendMessageA(bar, LB_SETCURSEL, (WPARAM)-1, 0);
    SetDlgItemTextA(dialog, 14202, "Two");
    SetDlgItemTextA(dialog, 14203, "C:\\x\\two.exe");
    SetDlgItemTextA(dialog, 14205, "%1");
    SendDlgItemMessageA(dialog, 14206, CB_SETCURSEL, 2, 0);
    SendMessageA(dialog, WM_COMMAND, 97, 0);
    gEdit.secondNew = (int16_t)SendMessageA(bar, LB_GETITEMDATA, count(bar) - 1, 0);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

// A separator is offered again after being added and is not offered twice
// after being removed; buttons added without a selection get -1 and -2.
TEST_F(BarsTest, OptionsDialogEdits) {
    BarsCreate(main);
    Resize(800, 600);
    int before = ToolbarCount(gApp->toolbarButtons);
    SetTimer(nullptr, 0, 50, EditInDialog);
    ASSERT_EQ(ToolBarOptionsCommand(main), 1);
    EXPECT_EQ(gEdit.barBefore, before);
    EXPECT_EQ(gEdit.barWithSeparator, before + 1);
    EXPECT_EQ(gEdit.barAfterRemove, before);
    EXPECT_EQ(gEdit.availAfter, gEdit.availBefore);
    EXPECT_EQ(gEdit.afterEmptyAddNew, before);
    EXPECT_EQ(gEdit.firstNew, -1);
    EXPECT_EQ(gEdit.secondNew, -2);
    // The lists' items are never wider than the lists: no horizontal bar
    // takes a row of their height.
    for (int frame : gEdit.frameHeights)
        EXPECT_LT(frame, GetSystemMetrics(SM_CYHSCROLL));
    EXPECT_EQ(ToolbarCount(gApp->toolbarButtons), before + 2);
    EXPECT_EQ(gApp->toolbarButtons[before].command, -1);
    EXPECT_EQ(gApp->toolbarButtons[before + 1].command, -2);
    char value[260];
    GetPrivateProfileStringA("TB", "M1", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "One");
    GetPrivateProfileStringA("TB", "C2", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "C:\\x\\two.exe");
    GetPrivateProfileStringA("TB", "P2", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "%1");
    GetPrivateProfileStringA("TB", "T2", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "2");
    GetPrivateProfileStringA("TB", "T1", "none", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "none");
    GetPrivateProfileStringA("TB", "D1", "none", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "none") << "empty keys are not written";
    EXPECT_FALSE(FileExists(ini + ".T__"));
}

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te = {sizeof te};
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            n++;
    }
    CloseHandle(snap);
    return n;
}

// Restarting the icon loader (as every OK of the options dialog does) never
// leaves a second one running, and a loader ends once the icons are there.
TEST_F(BarsTest, IconLoaderRunsOnceAndEnds) {
    WritePrivateProfileStringA("TB", "M1", "Notepad", ini.c_str());
    WritePrivateProfileStringA("TB", "C1", "notepad.exe", ini.c_str());
    WritePrivateProfileStringA("TB", "M2", "Missing", ini.c_str());
    WritePrivateProfileStringA("TB", "C2", "C:\\nowhere\\missing.exe", ini.c_str());
    memset(gApp->toolbarButtons, 0, sizeof gApp->toolbarButtons);
    gApp->toolbarButtons[0].command = -1;
    gApp->toolbarButtons[1].command = 700;
    gApp->toolbarButtons[2].command = -2;
    gApp->barOptions = kBarToolbar;
    int base = ThreadCount();
    BarsCreate(main);
    Resize(800, 600);
    ToolBarStartIconLoader();
    ToolBarStartIconLoader();
    ToolBarStartIconLoader();
    EXPECT_LE(ThreadCount(), base + 1);
    for (int i = 0; i < 40 && gApp->toolbarButtons[0].image == 0; i++) {
        Sleep(50);
        Pump();
    }
    EXPECT_GT(gApp->toolbarButtons[0].image, 0) << "notepad's icon";
    EXPECT_EQ(gApp->toolbarButtons[2].image, 0) << "a missing program has none";
    EXPECT_TRUE(ToolBarUserIcon(-1, 16));
    ToolBarStopIconLoader();
    EXPECT_EQ(ThreadCount(), base);
}

// A program that cannot be found is asked for a few passes, not forever.
TEST_F(BarsTest, IconLoaderGivesUpOnMissingPrograms) {
    WritePrivateProfileStringA("TB", "M1", "Missing", ini.c_str());
    WritePrivateProfileStringA("TB", "C1", "C:\\nowhere\\missing.exe", ini.c_str());
    memset(gApp->toolbarButtons, 0, sizeof gApp->toolbarButtons);
    gApp->toolbarButtons[0].command = -1;
    gApp->barOptions = kBarToolbar;
    BarsCreate(main);
    Resize(800, 600);
    ASSERT_TRUE(ToolBarIconLoaderRunning());
    DWORD start = GetTickCount();
    while (ToolBarIconLoaderRunning() && GetTickCount() - start < 30000) {
        Sleep(100);
        Pump();
    }
    EXPECT_FALSE(ToolBarIconLoaderRunning());
    EXPECT_EQ(gApp->toolbarButtons[0].image, 0);
}

} // namespace

namespace {

// The texts of the popup menu this process shows next, read by a helper
// thread, which then closes the menu with Escape.
struct PopupSeen {
    std::vector<std::string> items;
    int defaultPosition = -2;
};

DWORD WINAPI ReadPopup(void *arg) {
    auto *seen = (PopupSeen *)arg;
    for (int tries = 0; tries < 1000; tries++) {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            HMENU menu = pid == GetCurrentProcessId() && IsWindowVisible(w)
                             ? (HMENU)SendMessageA(w, MN_GETHMENU, 0, 0)
                             : nullptr;
            if (!menu)
                continue;
            for (int i = 0; i < GetMenuItemCount(menu); i++) {
                char text[128] = "";
                GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
                seen->items.push_back(text);
            }
            seen->defaultPosition = (int)GetMenuDefaultItem(menu, TRUE, 0);
            PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
            return 0;
        }
        Sleep(10);
    }
    return 0;
}

PopupSeen ContextMenuOf(HWND button) {
    PopupSeen seen;
    RECT r;
    GetWindowRect(button, &r);
    HANDLE thread = CreateThread(nullptr, 0, ReadPopup, &seen, 0, nullptr);
    SendMessageA(button, WM_CONTEXTMENU, (WPARAM)button, MAKELPARAM(r.left + 4, r.top + 4));
    WaitForSingleObject(thread, 15000);
    CloseHandle(thread);
    return seen;
}

} // namespace

// A drive button's menu is the Explorer menu of the drive's root, the
// Recycle Bin button's that of the bin; neither has an item of our own.
TEST_F(BarsTest, DriveAndRecycleBinButtonsOpenTheShellsMenu) {
    OleInitialize(nullptr);
    BarsCreate(main);
    Resize(800, 600);
    HWND drive = nullptr;
    for (int i = 0; i < 26 && !drive; i++)
        if (gDriveBars[0].slots[i].button && gApp->drives[i].kind == kDriveFixed)
            drive = gDriveBars[0].slots[i].button;
    ASSERT_TRUE(drive) << "no fixed drive on the bar";
    PopupSeen root = ContextMenuOf(drive);
    ASSERT_FALSE(root.items.empty()) << "no menu opened";
    EXPECT_GT(root.items.size(), 1u);
    for (const std::string &item : root.items)
        EXPECT_EQ(item.find(":\\"), std::string::npos) << "an item of our own: " << item;
    for (const std::string &item : root.items)
        printf("  drive menu item: \"%s\"\n", item.c_str());

    ToolbarButton *bin = ToolBarFind(832);
    if (bin && bin->window) {
        PopupSeen seen = ContextMenuOf((HWND)bin->window);
        EXPECT_FALSE(seen.items.empty()) << "no menu for the Recycle Bin";
        for (const std::string &item : seen.items)
            printf("  recycle bin menu item: \"%s\"\n", item.c_str());
    }
}
