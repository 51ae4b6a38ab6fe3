// The host side of the viewer library in this process: a viewer window
// opened on a PNG shows it at its size, pixel for pixel; the same file twice
// activates the first window; a temporary copy goes with its window; the
// quick view's text child is filled by the loader thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <png.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowList.h"
#include "frontends/Libraries.h"
#include "frontends/ViewerHost.h"
#include "tools/EditChrome.h"
#include "tools/HexEditor.h"
#include "tools/SafeSave.h"
#include "tools/TextEditor.h"
#include "tools/ViewerWindow.h"
#include "wingui/GuiDraw.h"
#include "tests/OwnWindow.h"

#include <commctrl.h>
#include <shlobj.h>

namespace {

std::vector<std::string> gBoxes;
int CountBox(HWND, const char* text, const char*, UINT) {
    gBoxes.push_back(text);
    return IDOK;
}

std::string TempDir() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string d = std::string(dir) + "viewer-window-test\\";
    CreateDirectoryA(d.c_str(), nullptr);
    return d;
}

// An RGB PNG whose pixel (x, y) is (x * 5, y * 7, 200), each modulo 256.
std::string WritePng(const std::string& path, int width, int height) {
    std::vector<uint8_t> rgb((size_t)width * height * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint8_t* p = &rgb[((size_t)y * width + x) * 3];
            p[0] = (uint8_t)(x * 5);
            p[1] = (uint8_t)(y * 7);
            p[2] = 200;
        }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_RGB;
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
    return path;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

template <class F> bool WaitFor(F condition, DWORD ms = 20000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms) return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gApp = (AppState*)MemAlloc(sizeof(AppState));
        ASSERT_NE(gApp, nullptr);
        gApp->hInstance = GetModuleHandleA(nullptr);
        strcpy(gApp->windowTitle, "Zq Vandrell");
        gWindowTitle = gApp->windowTitle;
        InitializeCriticalSection(&gApp->dialogListLock);
        gApp->colorViewer[0] = RGB(0, 0, 0);
        gApp->colorViewer[1] = RGB(255, 255, 255);
        gBoxes.clear();
        gMissingModuleBox = CountBox;
        dir = TempDir();
    }
    void TearDown() override {
        ViewerUnload();
        ToolWndFreeAll();
        DeleteCriticalSection(&gApp->dialogListLock);
        MemFree(&gApp);
    }
    std::string dir;
};

TEST_F(ViewerTest, PngOpensAtItsSizeAndShowsItsPixels) {
    std::string png = WritePng(dir + "shown.png", 200, 150);
    HWND w = ViewerOpenWindow(nullptr, png.c_str(), png.c_str());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(gBoxes.empty());
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != FALSE; }));
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(200, client.right);
    EXPECT_EQ(150, client.bottom);
    char caption[300];
    GetWindowTextA(w, caption, sizeof caption);
    EXPECT_STREQ("shown.png", caption);
    // What the window painted, read back from its client area.
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(w);
    for (POINT p : {POINT{0, 0}, POINT{199, 0}, POINT{0, 149}, POINT{117, 23}, POINT{199, 149}})
        EXPECT_EQ(RGB((uint8_t)(p.x * 5), (uint8_t)(p.y * 7), 200), GetPixel(dc, p.x, p.y))
            << p.x << "," << p.y;
    ReleaseDC(w, dc);

    // The same file again: the first window, no second one.
    EXPECT_EQ(w, ViewerOpenWindow(nullptr, png.c_str(), png.c_str()));
    EXPECT_EQ(w, ViewerFindWindow(png.c_str()));
    DestroyWindow(w);
    EXPECT_EQ(nullptr, ViewerFindWindow(png.c_str()));
    DeleteFileA(png.c_str());
}

std::string ReadAll(const std::string& path) {
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Only a copy the program made in its own temporary folder goes with the
// view that showed it; the user's file survives a close in every mode (a
// picture, a text, a dump), whatever name the window shows for it, and the
// library's own close (the quick view's road) keeps to the same rule.
TEST_F(ViewerTest, OnlyTheProgramsOwnCopyGoesWithItsWindow) {
    char ownFolder[MAX_PATH];
    PathGetTempFolder(ownFolder, sizeof ownFolder);
    std::string own = ownFolder;
    std::string binary;
    for (int i = 0; i < 600; i++) binary += (char)(i * 37 + 1);
    struct {
        const char* name;
        std::string bytes;
    } files[] = {{"picture.png", ""}, {"notes.txt", "line one\r\nline two\r\n"}, {"data.bin", binary}};
    WritePng(dir + "picture.png", 16, 12);
    files[0].bytes = ReadAll(dir + "picture.png");
    enum Where { kUserElsewhere, kUserInOwnFolderSameName, kOwnCopy };
    for (auto& f : files) {
        for (Where where : {kUserElsewhere, kUserInOwnFolderSameName, kOwnCopy}) {
            for (bool throughLibrary : {false, true}) {
                std::string opened = (where == kUserElsewhere ? dir : own) + "opened-" + f.name;
                WriteAll(opened, f.bytes);
                SetFileAttributesA(opened.c_str(), FILE_ATTRIBUTE_READONLY);
                std::string shown = where == kUserInOwnFolderSameName ? opened : dir + "archive.zip\\" + f.name;
                if (throughLibrary) {
                    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
                    static char displayPath[260], openPath[260];
                    strcpy(displayPath, shown.c_str());
                    strcpy(openPath, opened.c_str());
                    HWND pane = CreateWindowA("STATIC", "pane", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                              nullptr, GetModuleHandleA(nullptr), nullptr);
                    ViewRecord view = {};
                    int32_t sx = 0, sy = 0;
                    ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, pane);
                    HDC dc = GetDC(pane);
                    ViewerOpen(pane, dc, &view);
                    ReleaseDC(pane, dc);
                    ViewerClose(&view);
                    Pump();
                    DestroyWindow(pane);
                } else {
                    HWND w = ViewerOpenWindow(nullptr, shown.c_str(), opened.c_str());
                    ASSERT_NE(w, nullptr) << f.name;
                    Pump();
                    DestroyWindow(w);
                }
                const char* road = throughLibrary ? " (library close)" : " (window)";
                if (where == kOwnCopy) {
                    EXPECT_EQ(GetFileAttributesA(opened.c_str()), INVALID_FILE_ATTRIBUTES) << f.name << road;
                } else {
                    EXPECT_EQ(ReadAll(opened), f.bytes) << f.name << " " << where << road;
                }
                SetFileAttributesA(opened.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(opened.c_str());
            }
        }
    }
    DeleteFileA((dir + "picture.png").c_str());
    EXPECT_TRUE(gBoxes.empty());
}

// A text shown in a viewer window is the whole file: a zero byte (past the
// start, which would make the file a dump) neither ends it nor vanishes, a
// bare LF or CR is a line break, UTF-16 with its mark reads as text.
TEST_F(ViewerTest, TextModeShowsTheWholeText) {
    struct {
        const char* name;
        std::string bytes;
        std::wstring shown;
    } cases[] = {
        {"zero.txt", std::string(300, 'a') + std::string("\0b\nc", 4), std::wstring(300, L'a') + L"\x2400" L"b\r\nc"},
        {"unix.txt", "one\ntwo\n", L"one\r\ntwo\r\n"},
        {"mac.txt", "one\rtwo", L"one\r\ntwo"},
        {"wide.txt", std::string("\xFF\xFEh\0i\0\n\0", 8), L"hi\r\n"},
    };
    for (auto& c : cases) {
        std::string path = dir + c.name;
        WriteAll(path, c.bytes);
        HWND w = ViewerOpenWindow(nullptr, path.c_str(), path.c_str());
        ASSERT_NE(w, nullptr) << c.name;
        HWND child = GetDlgItem(w, 1);
        ASSERT_NE(child, nullptr) << c.name;
        wchar_t got[512] = L"";
        GetWindowTextW(child, got, 512);
        EXPECT_EQ(std::wstring(got), c.shown) << c.name;
        DestroyWindow(w);
        EXPECT_EQ(ReadAll(path), c.bytes) << c.name;
        DeleteFileA(path.c_str());
    }
}

// The seams of the text mode's dialogs: file names, message boxes, font and
// colour answered by the test.
std::string gAskedName;
bool AnswerName(HWND, char* path, bool) {
    if (gAskedName.empty()) return false;
    strcpy(path, gAskedName.c_str());
    return true;
}
std::vector<std::string> gEditorBoxes;
int EditorBox(HWND, const char* text, const char*, UINT) {
    gEditorBoxes.push_back(text ? text : "");
    return IDOK;
}
BOOL WINAPI AnswerFont(LPCHOOSEFONTA cf) {
    lstrcpynA(cf->lpLogFont->lfFaceName, "Courier New", LF_FACESIZE);
    cf->lpLogFont->lfHeight = -23;
    cf->rgbColors = RGB(0, 0, 128);
    return TRUE;
}
BOOL WINAPI AnswerColor(LPCHOOSECOLORA cc) {
    cc->rgbResult = RGB(10, 20, 30);
    return TRUE;
}

std::wstring ChildText(HWND child) {
    int n = GetWindowTextLengthW(child);
    std::wstring text((size_t)n + 1, L'\0');
    text.resize((size_t)GetWindowTextW(child, &text[0], n + 1));
    return text;
}

std::vector<int> ToolBarCommands(HWND bar) {
    std::vector<int> commands;
    int count = (int)SendMessageA(bar, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        TBBUTTON button = {};
        SendMessageA(bar, TB_GETBUTTON, i, (LPARAM)&button);
        commands.push_back(button.idCommand);
    }
    return commands;
}

std::string TipOf(HWND window, int command) {
    NMTTDISPINFOA tip = {};
    tip.hdr.code = TTN_NEEDTEXTA;
    tip.hdr.idFrom = (UINT_PTR)command;
    SendMessageA(window, WM_NOTIFY, 0, (LPARAM)&tip);
    return tip.lpszText ? tip.lpszText : "";
}

// A text file in a viewer window is a small read-only text viewer: its menu,
// its tool bar with tips, find, word wrap, font, colour and Open, each driven
// by its command and read back from the window.
TEST_F(ViewerTest, TextModeIsAReadOnlyTextViewerWithItsMenuAndTools) {
    gEditorAskFileName = AnswerName;
    gEditorMsgBox = EditorBox;
    gChooseFont = AnswerFont;
    gEditorChooseColor = AnswerColor;
    gEditorBoxes.clear();
    std::string words;
    for (int i = 0; i < 40; i++) words += "word" + std::to_string(i) + " ";
    std::string path = dir + "menu.txt", other = dir + "other.txt";
    std::string bytes = "alpha beta\r\nbeta gamma\r\n" + words + "\r\nBETA\r\n";
    WriteAll(path, bytes);
    WriteAll(other, "the other file\n");
    HWND w = ViewerOpenWindow(nullptr, path.c_str(), path.c_str());
    ASSERT_NE(w, nullptr);
    HWND child = GetDlgItem(w, 1);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & ES_READONLY);

    // The menu: File, Edit, Search, Options with the viewer's commands.
    HMENU menu = GetMenu(w);
    ASSERT_NE(menu, nullptr);
    for (UINT id : {11923u, 110u, 120u, 11930u, 11937u, 11945u, 11946u, 402u, 11935u, 241u, 11955u})
        EXPECT_NE(GetMenuState(menu, id, MF_BYCOMMAND), (UINT)-1) << id;
    EXPECT_EQ(GetMenuState(menu, 11924, MF_BYCOMMAND), (UINT)-1); // nothing to save in a viewer

    // The tool bar above the text, and its tips.
    HWND bar = GetDlgItem(w, kEditToolBarId);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(ToolBarCommands(bar), (std::vector<int>{11923, 0, 110, 0, 11945, 0, 11930}));
    struct {
        int command;
        const char* tip;
    } tips[] = {{11923, "Open"}, {110, "Print"}, {11945, "Search"}, {11930, "Copy"}};
    for (auto& t : tips) EXPECT_EQ(TipOf(w, t.command), t.tip) << t.command;
    RECT barRect, childRect;
    GetWindowRect(bar, &barRect);
    GetWindowRect(child, &childRect);
    EXPECT_EQ(childRect.top, barRect.bottom);
    SendMessageA(w, WM_COMMAND, 241, 0); // hidden: the text takes the whole client area
    EXPECT_EQ(GetDlgItem(w, kEditToolBarId), nullptr);
    EXPECT_TRUE(gApp->barOptions & kBarViewToolbarHidden);
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    GetWindowRect(child, &childRect);
    EXPECT_EQ(childRect.top, origin.y);
    SendMessageA(w, WM_COMMAND, 241, 0);
    EXPECT_NE(GetDlgItem(w, kEditToolBarId), nullptr);
    EXPECT_FALSE(gApp->barOptions & kBarViewToolbarHidden);

    // Find, down and up, whole text; the end says so in the short popup.
    UINT findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
    struct {
        DWORD flags;
        const char* text;
        DWORD start; // -1: not found
    } finds[] = {
        {FR_DOWN, "beta", 6},
        {FR_DOWN, "beta", 12},
        {FR_DOWN, "beta", (DWORD)bytes.find("BETA")},
        {FR_DOWN | FR_MATCHCASE, "beta", (DWORD)-1},
        {0, "beta", 12},
        {0, "beta", 6},
        {0, "beta", (DWORD)-1},
    };
    for (auto& f : finds) {
        char text[64];
        strcpy(text, f.text);
        FINDREPLACEA request = {};
        request.lStructSize = sizeof request;
        request.Flags = f.flags | FR_FINDNEXT;
        request.lpstrFindWhat = text;
        request.wFindWhatLen = sizeof text;
        while (HWND old = FindOwnWindow("zQlh", nullptr)) DestroyWindow(old);
        DWORD before = 0, start = 0, end = 0;
        SendMessageA(child, EM_GETSEL, (WPARAM)&before, 0);
        SendMessageA(w, findMessage, 0, (LPARAM)&request);
        SendMessageA(child, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        if (f.start == (DWORD)-1) {
            EXPECT_EQ(start, before) << f.text << " " << f.flags;
            EXPECT_NE(FindOwnWindow("zQlh", nullptr), nullptr) << "no end-of-file popup";
        } else {
            EXPECT_EQ(start, f.start) << f.text << " " << f.flags;
            EXPECT_EQ(end, f.start + 4);
        }
    }

    // Word wrap: the long line breaks at the window's edge, the text stays.
    ASSERT_FALSE(gApp->generalOptions & kGenWordWrap);
    std::wstring before = ChildText(GetDlgItem(w, 1));
    LRESULT linesBefore = SendMessageA(GetDlgItem(w, 1), EM_GETLINECOUNT, 0, 0);
    SendMessageA(w, WM_COMMAND, 11955, 0);
    child = GetDlgItem(w, 1);
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(GetWindowLongA(child, GWL_STYLE) & ES_AUTOHSCROLL);
    EXPECT_EQ(ChildText(child), before);
    EXPECT_GT(SendMessageA(child, EM_GETLINECOUNT, 0, 0), linesBefore);
    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & ES_READONLY);

    // Font and background colour through their dialogs.
    SendMessageA(w, WM_COMMAND, 402, 0);
    LOGFONTA font = {};
    GetObjectA((HFONT)SendMessageA(child, WM_GETFONT, 0, 0), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "Courier New");
    EXPECT_EQ(font.lfHeight, -23);
    EXPECT_EQ(gApp->colorViewer[0], RGB(0, 0, 128));
    SendMessageA(w, WM_COMMAND, 11935, 0);
    EXPECT_EQ(gApp->colorViewer[1], RGB(10, 20, 30));
    HDC dc = GetDC(child);
    HBRUSH brush = (HBRUSH)SendMessageA(w, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)child);
    EXPECT_EQ(brush, gApp->brushViewerBk);
    EXPECT_EQ(GetBkColor(dc), RGB(10, 20, 30));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 128));
    ReleaseDC(child, dc);

    // Open another file: the window now stands for it, and the first file
    // is left as it was.
    gAskedName = other;
    SendMessageA(w, WM_COMMAND, 11923, 0);
    EXPECT_EQ(ChildText(GetDlgItem(w, 1)), L"the other file\r\n");
    EXPECT_EQ(ViewerFindWindow(other.c_str()), w);
    EXPECT_EQ(ViewerFindWindow(path.c_str()), nullptr);
    EXPECT_TRUE(gEditorBoxes.empty());
    SendMessageA(w, WM_COMMAND, 120, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(w); }));
    EXPECT_TRUE(gApp->generalOptions & kGenWordWrap); // the last window closed decides
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_EQ(ReadAll(other), "the other file\n");
    gAskedName.clear();
    DeleteObject(gApp->brushViewerBk);
    gApp->brushViewerBk = nullptr;
    DeleteObject(gApp->fontViewer);
    gApp->fontViewer = nullptr;
    DeleteFileA(path.c_str());
    DeleteFileA(other.c_str());
}

// An HDROP as the shell hands it over: DROPFILES and a double-null list.
HGLOBAL MakeDrop(const std::vector<std::string>& names) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& n : names) size += n.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    DROPFILES* drop = (DROPFILES*)GlobalLock(memory);
    drop->pFiles = sizeof(DROPFILES);
    char* p = (char*)(drop + 1);
    for (const std::string& n : names) {
        memcpy(p, n.c_str(), n.size() + 1);
        p += n.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

bool IsPopup(HWND w) {
    return w && (GetWindowLongA(w, GWL_STYLE) & (WS_POPUP | WS_CAPTION)) == WS_POPUP;
}

// A picture exactly as large as the screen is shown in a frameless popup,
// the next file of normal size in a framed window again, a text in text
// mode: each change makes the window anew. Whatever the road, the user's
// files stay; the program's own copy stays while a window shows it and goes
// with the last one.
TEST_F(ViewerTest, ScreenSizedPictureReopensAsAPopupAndNoFileIsLost) {
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    char ownFolder[MAX_PATH];
    PathGetTempFolder(ownFolder, sizeof ownFolder);
    std::string big = WritePng(dir + "big.png", desk.right - desk.left, desk.bottom - desk.top);
    std::string small = WritePng(dir + "small.png", 120, 90);
    std::string text = dir + "after.txt";
    WriteAll(text, "after\r\n");
    std::string copy = std::string(ownFolder) + "viewer-test-copy.png";
    ASSERT_TRUE(CopyFileA(big.c_str(), copy.c_str(), FALSE));
    std::string shownName = dir + "archive.zip\\big.png";
    std::string bigBytes = ReadAll(big), smallBytes = ReadAll(small);

    // The archive member's copy: a popup, the copy still there.
    HWND first = ViewerOpenWindow(nullptr, shownName.c_str(), copy.c_str());
    ASSERT_NE(first, nullptr);
    HWND popup = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        popup = ViewerFindWindow(shownName.c_str());
        return popup && popup != first && IsPopup(popup) && IsWindowVisible(popup);
    }));
    EXPECT_FALSE(IsWindow(first));
    RECT rc;
    GetWindowRect(popup, &rc);
    EXPECT_EQ(rc.right - rc.left, desk.right - desk.left);
    EXPECT_EQ(rc.bottom - rc.top, desk.bottom - desk.top);
    EXPECT_EQ(ReadAll(copy), bigBytes) << "the copy went while a window still shows it";

    // A dropped picture of normal size: a framed window; the copy goes now.
    SendMessageA(popup, WM_DROPFILES, (WPARAM)MakeDrop({dir + "no-such-file.png", small}), 0);
    HWND framed = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        framed = ViewerFindWindow(small.c_str());
        return framed && !IsPopup(framed) && IsWindowVisible(framed);
    }));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(GetFileAttributesA(copy.c_str()), INVALID_FILE_ATTRIBUTES);
    GetClientRect(framed, &rc);
    EXPECT_EQ(rc.right, 120);
    EXPECT_EQ(rc.bottom, 90);

    // The user's own screen-sized picture, then a text: both reopen, and
    // neither file is touched.
    ASSERT_TRUE(ViewerShowFile(framed, big.c_str(), big.c_str()));
    ASSERT_TRUE(WaitFor([&] {
        popup = ViewerFindWindow(big.c_str());
        return popup && IsPopup(popup);
    }));
    ASSERT_TRUE(ViewerShowFile(popup, text.c_str(), text.c_str()));
    HWND textWindow = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        textWindow = ViewerFindWindow(text.c_str());
        return textWindow && !IsPopup(textWindow) && GetDlgItem(textWindow, 1);
    }));
    EXPECT_EQ(ChildText(GetDlgItem(textWindow, 1)), L"after\r\n");
    DestroyWindow(textWindow);
    EXPECT_EQ(ReadAll(big), bigBytes);
    EXPECT_EQ(ReadAll(small), smallBytes);
    EXPECT_EQ(ReadAll(text), "after\r\n");
    EXPECT_TRUE(gBoxes.empty());
    DeleteFileA(big.c_str());
    DeleteFileA(small.c_str());
    DeleteFileA(text.c_str());
}

// A binary file shows as a dump child over the window: only the rows on
// screen are read, each time they change; keys and scroll-bar steps scroll
// it; Escape reaches the window; a file that goes away takes the dump with it.
TEST_F(ViewerTest, BinaryFileShowsAsADumpThatReadsOnlyItsRows) {
    std::string bin = dir + "dump.bin";
    std::string bytes;
    for (int i = 0; i < 100000; i++) bytes += (char)((i * 131 + i / 7) & 0xFF);
    bytes[3] = 0; // a zero byte at the start: not a text
    WriteAll(bin, bytes);
    gApp->dumpOptions[0] = 0; // HEX & Character
    HWND w = ViewerOpenWindow(nullptr, bin.c_str(), bin.c_str());
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != FALSE; }));
    HWND dump = FindWindowExA(w, nullptr, "ZqHexEd", nullptr);
    ASSERT_NE(dump, nullptr);
    EXPECT_TRUE(gBoxes.empty());
    auto* s = reinterpret_cast<HexEdState*>(GetWindowLongPtrA(dump, GWLP_USERDATA));
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->dumpView);
    EXPECT_EQ(s->fileSize, bytes.size());
    RECT outer, inner;
    GetClientRect(w, &outer);
    GetWindowRect(dump, &inner);
    EXPECT_EQ(outer.right, inner.right - inner.left);
    EXPECT_EQ(outer.bottom, inner.bottom - inner.top);
    // The rows in the block are the file's bytes at the top row, no more.
    auto rowsMatch = [&] {
        UpdateWindow(dump);
        RedrawWindow(dump, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        uint64_t top = (uint64_t)s->topRow * (uint32_t)s->bytesPerRow;
        uint64_t want = std::min<uint64_t>((uint64_t)s->visibleRows * (uint32_t)s->bytesPerRow, bytes.size() - top);
        EXPECT_EQ(s->dataOffset, top);
        EXPECT_EQ(s->block.length, want);
        return s->dataOffset == top && s->block.length == want &&
               memcmp(s->block.data, bytes.data() + top, (size_t)want) == 0;
    };
    EXPECT_GE(s->bytesPerRow, 1);
    EXPECT_EQ(s->topRow, 0);
    EXPECT_TRUE(rowsMatch());
    EXPECT_LT(s->block.length, bytes.size());
    struct Step {
        UINT message;
        WPARAM wParam;
        int32_t expect; // top row; -1: the last page; -2: a page below the one before
    } steps[] = {
        {WM_KEYDOWN, VK_DOWN, 1},        {WM_KEYDOWN, VK_DOWN, 2},      {WM_KEYDOWN, VK_UP, 1},
        {WM_VSCROLL, SB_LINEDOWN, 2},    {WM_KEYDOWN, VK_NEXT, -2},     {WM_KEYDOWN, VK_END, -1},
        {WM_KEYDOWN, VK_DOWN, -1},       {WM_KEYDOWN, VK_HOME, 0},      {WM_KEYDOWN, VK_UP, 0},
        {WM_VSCROLL, SB_PAGEDOWN, -2},   {WM_VSCROLL, SB_BOTTOM, -1},
    };
    for (const Step& step : steps) {
        int32_t before = s->topRow;
        SendMessageA(dump, step.message, step.wParam, 0);
        int32_t expect = step.expect == -1   ? s->maxTopRow
                         : step.expect == -2 ? before + s->visibleRows
                                             : step.expect;
        EXPECT_EQ(s->topRow, expect) << step.message << " " << step.wParam;
        EXPECT_TRUE(rowsMatch()) << step.message << " " << step.wParam;
    }
    // At the end the last byte is on screen.
    SendMessageA(dump, WM_KEYDOWN, VK_END, 0);
    EXPECT_TRUE(rowsMatch());
    EXPECT_EQ(s->dataOffset + s->block.length, bytes.size());
    // The window's focus goes on to the dump, which then takes the wheel.
    SendMessageA(w, WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return gApp->wheelTarget == dump; }));
    // A file that can no longer be read takes the dump away, nothing else.
    std::string moved = dir + "dump-moved.bin";
    DeleteFileA(moved.c_str());
    ASSERT_TRUE(MoveFileA(bin.c_str(), moved.c_str()));
    SendMessageA(dump, WM_KEYDOWN, VK_HOME, 0);
    RedrawWindow(dump, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_FALSE(IsWindow(dump));
    EXPECT_TRUE(IsWindow(w));
    ASSERT_TRUE(MoveFileA(moved.c_str(), bin.c_str()));
    // Escape in the viewer closes it; the user's file stays.
    SendMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(w); }));
    EXPECT_EQ(ReadAll(bin), bytes);

    // Escape typed into the dump reaches the window around it.
    w = ViewerOpenWindow(nullptr, bin.c_str(), bin.c_str());
    ASSERT_NE(w, nullptr);
    dump = FindWindowExA(w, nullptr, "ZqHexEd", nullptr);
    ASSERT_NE(dump, nullptr);
    SendMessageA(dump, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(w); }));
    EXPECT_EQ(ReadAll(bin), bytes);
    DeleteFileA(bin.c_str());
    EXPECT_TRUE(gBoxes.empty());
}

// In the quick view a binary file is a dump in the panel's colours without
// a frame of its own; the panel keeps the focus; closing the view (the next
// cursor entry) takes the dump away.
TEST_F(ViewerTest, QuickViewDumpIsAFramelessChildThatGoesWithTheView) {
    std::string bin = dir + "quick.bin";
    std::string bytes(5000, '\0');
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = (char)(i % 251);
    WriteAll(bin, bytes);
    gApp->panelColors[0] = RGB(0, 0, 128);
    gApp->panelColors[2] = RGB(255, 255, 0);
    HWND pane = CreateWindowA("STATIC", "pane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
    static char displayPath[260], openPath[260];
    strcpy(displayPath, bin.c_str());
    strcpy(openPath, bin.c_str());
    ViewRecord view = {};
    int32_t sx = 0, sy = 0;
    ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, pane);
    HDC dc = GetDC(pane);
    ViewerOpen(pane, dc, &view);
    ReleaseDC(pane, dc);
    ASSERT_EQ(kViewHexDump, view.viewKind);
    auto* s = static_cast<HexEdState*>(view.viewObject);
    ASSERT_NE(s, nullptr);
    HWND dump = s->control;
    ASSERT_TRUE(IsWindow(dump));
    EXPECT_EQ(GetParent(dump), pane);
    EXPECT_TRUE(s->quickView);
    EXPECT_EQ(GetWindowLongA(dump, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    RedrawWindow(dump, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC ddc = GetDC(dump);
    EXPECT_EQ(GetPixel(ddc, 1, 1), RGB(0, 0, 128)); // the panel background
    ReleaseDC(dump, ddc);
    EXPECT_EQ(s->block.length, std::min<size_t>(bytes.size(), (size_t)s->visibleRows * s->bytesPerRow));
    SendMessageA(dump, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_NE(GetFocus(), dump);
    ViewerClose(&view);
    EXPECT_FALSE(IsWindow(dump));
    EXPECT_EQ(view.viewObject, nullptr);
    DestroyWindow(pane);
    DeleteFileA(bin.c_str());
    EXPECT_TRUE(gBoxes.empty());
}

TEST_F(ViewerTest, QuickViewTextChildIsFilledByTheLoader) {
    std::string text = dir + "notes.txt";
    FILE* f = fopen(text.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("first line\r\nsecond line", f);
    fclose(f);
    HWND pane = CreateWindowA("STATIC", "pane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
    static char displayPath[260], openPath[260];
    strcpy(displayPath, text.c_str());
    strcpy(openPath, text.c_str());
    ViewRecord view = {};
    int32_t sx = 0, sy = 0;
    ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, pane);
    HDC dc = GetDC(pane);
    ViewerOpen(pane, dc, &view);
    ReleaseDC(pane, dc);
    ASSERT_EQ(kViewText, view.viewKind);
    HWND edit = static_cast<HWND>(view.viewObject);
    ASSERT_TRUE(IsWindow(edit));
    ASSERT_TRUE(WaitFor([&] { return GetWindowTextLengthA(edit) > 0; }));
    char got[64] = "";
    GetWindowTextA(edit, got, sizeof got);
    EXPECT_STREQ("first line\r\nsecond line", got);

    // A view closed (and its record reused) right after the loader started:
    // the loader has its own copy and never reads the old record.
    ViewerClose(&view);
    strcpy(displayPath, text.c_str());
    strcpy(openPath, text.c_str());
    dc = GetDC(pane);
    ViewerOpen(pane, dc, &view);
    ReleaseDC(pane, dc);
    ViewerClose(&view);
    memset(&view, 0xCD, sizeof view);
    Pump();
    DestroyWindow(pane);
    DeleteFileA(text.c_str());
}

TEST_F(ViewerTest, CommandsOutsideTheTableChangeNothing) {
    ASSERT_TRUE(ViewerEnsureLoaded(nullptr));
    for (uint32_t code : {12u, 13u, 15u, 99u})
        EXPECT_EQ(-1, ViewerSendCommand(code, 1, 2, 3));
}

// F3 on an MPEG file: a player window inside the viewer window that plays at
// once; one player in the whole program, the next file waits until the first
// window goes, and closing stops the player with its window.
std::string PlayerStream(const char* name) {
    char root[MAX_PATH] = "";
    GetEnvironmentVariableA("VANDRELL_PLAYER_STREAMS", root, sizeof root);
    return std::string(root) + "\\" + name;
}

TEST_F(ViewerTest, MpegFilePlaysInAPlayerWindowOneAtATime) {
    std::string first = PlayerStream("l2_long.mp2"), second = PlayerStream("l3_stereo.mp3");
    ASSERT_NE(GetFileAttributesA(first.c_str()), INVALID_FILE_ATTRIBUTES) << first;
    HWND w = ViewerOpenWindow(nullptr, first.c_str(), first.c_str());
    ASSERT_NE(w, nullptr);
    HWND player = FindWindowExA(w, nullptr, "ZqMP", nullptr);
    ASSERT_NE(player, nullptr) << "no player window in the viewer window";
    RECT outer, inner;
    GetClientRect(w, &outer);
    GetClientRect(player, &inner);
    EXPECT_EQ(outer.right, inner.right); // the player fills its view
    EXPECT_EQ(outer.bottom, inner.bottom);
    EXPECT_NE(FindWindowExA(player, nullptr, "msctls_trackbar32", nullptr), nullptr);

    // While it plays, a second MPEG file is not given a second player.
    HWND w2 = ViewerOpenWindow(nullptr, second.c_str(), second.c_str());
    ASSERT_NE(w2, nullptr);
    EXPECT_EQ(FindWindowExA(w2, nullptr, "ZqMP", nullptr), nullptr);
    DestroyWindow(w2);

    // Closing the window stops the player and frees the one player slot.
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(player));
    HWND w3 = ViewerOpenWindow(nullptr, second.c_str(), second.c_str());
    ASSERT_NE(w3, nullptr);
    EXPECT_NE(FindWindowExA(w3, nullptr, "ZqMP", nullptr), nullptr);
    DestroyWindow(w3);
}

} // namespace
