// The Search command with the stand-in search tool ZQFIND.EXE, and the HTML
// references command: the whole program runs in this process on a thread of
// its own with a private settings file; the tool is a real process the
// program starts, driven through its window's controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <algorithm>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "tools/FindTool.h"
#include "tools/RunServices.h"
#include "tools/ToolWindows.h"
#include "tests/tools-windows/ToolTestSupport.h"

namespace {

const std::string kFolder = "C:\\vtest-findtool-" + std::to_string(GetCurrentProcessId());
const std::string kLeft = kFolder + "\\left";
const std::string kSite = kFolder + "\\site";
const std::string gIni = kFolder + "\\t.ini";
const std::string gIniArg = "/I=" + gIni;
const std::string gLog = kFolder + "\\zqedit.log";

volatile LONG gBeeps;
void CountBeep(UINT) { InterlockedIncrement(&gBeeps); }
void NoTerminate(DWORD, UINT) {}
std::vector<std::string> gShellSearches;
void RecordShellSearch(HWND, const char *folder) { gShellSearches.push_back(folder); }

DWORD WINAPI AppThread(void *) {
    char *argv[] = {(char *)"tools_search_test", (char *)gIniArg.c_str()};
    return (DWORD)RunKestromArgs(GetModuleHandleA(nullptr), 2, argv);
}

std::string ShortPath(const std::string &path) {
    char out[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), out, sizeof out);
    return out;
}

std::string Text(HWND control) {
    char text[MAX_PATH] = "";
    SendMessageA(control, WM_GETTEXT, sizeof text, (LPARAM)text);
    return text;
}

// The tool's result lines, read from its list box. Wine hands list box text
// across processes in its wide form only, so it is asked for that.
std::vector<std::string> Results(HWND tool) {
    std::vector<std::string> out;
    HWND list = GetDlgItem(tool, 103);
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        wchar_t wide[MAX_PATH] = L"";
        char text[MAX_PATH * 2] = "";
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < MAX_PATH) {
            SendMessageW(list, LB_GETTEXT, i, (LPARAM)wide);
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        }
        out.push_back(text);
    }
    return out;
}

class FindTool : public ::testing::Test {
  protected:
    static HANDLE thread;
    static HWND main;

    static void SetUpTestSuite() {
        RemoveTree(kFolder);
        CreateDirectoryA(kFolder.c_str(), nullptr);
        CreateDirectoryA(kLeft.c_str(), nullptr);
        CreateDirectoryA((kLeft + "\\sub").c_str(), nullptr);
        WriteAll(kLeft + "\\one.txt", "one");
        WriteAll(kLeft + "\\two.txt", "two");
        WriteAll(kLeft + "\\sub\\deep.log", "deep");
        WriteAll(kLeft + "\\sub\\other.txt", "other");
        CreateDirectoryA(kSite.c_str(), nullptr);
        const char *s = "Zq Vandrell";
        WritePrivateProfileStringA(s, "Options", "15,50199,1217462320,63,0,0", gIni.c_str());
        WritePrivateProfileStringA(s, "Language", "US", gIni.c_str());
        WritePrivateProfileStringA(s, "PathL", kLeft.c_str(), gIni.c_str());
        WritePrivateProfileStringA(s, "PathR", "C:\\windows", gIni.c_str());
        WritePrivateProfileStringA(s, "ZqFind", "T:\\ZQFIND.EXE", gIni.c_str());
        WritePrivateProfileStringA("Viewer", "1", "*.txt=T:\\ZQEDIT.EXE=/v", gIni.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, gIni.c_str());
        SetEnvironmentVariableA("ZQEDIT_LOG", gLog.c_str());

        gCommandBeep = CountBeep;
        gExitTerminate = NoTerminate;
        gFindShellSearch = RecordShellSearch;
        gMainWindow = nullptr;
        thread = CreateThread(nullptr, 0, AppThread, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        ASSERT_TRUE(WaitFor([] { return gMainWindow && IsWindowVisible(gMainWindow); }));
        main = gMainWindow;
        ASSERT_TRUE(WaitFor([] { return gApp && gApp->panels[0].entryCount >= 3; }));
    }

    static void TearDownTestSuite() {
        if (gApp && IsWindow(gApp->findTool.toolWindow)) {
            HWND tool = gApp->findTool.toolWindow;
            PostMessageA(tool, WM_CLOSE, 0, 0);
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(tool); }));
        }
        if (thread) {
            PostMessageA(main, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
            CloseHandle(thread);
            thread = nullptr;
        }
        RemoveTree(kFolder);
    }

    // The left panel, active, on a folder, its list read.
    static void ShowLeft(const std::string &folder) {
        gApp->activePanel = 0;
        memcpy(gApp->panelPath[0], folder.c_str(), folder.size() + 1);
        PanelRequestReread(0);
        ASSERT_TRUE(WaitFor([] { return !(gRefreshFlags[0].load() & (kRefreshWanted | kRefreshBusy)); }));
    }
    static bool CursorOn(const char *name) {
        PanelIter iter;
        int index = 0, found = -1;
        for (FileEntry *e = PanelIterBegin(&iter, 0); e; e = PanelIterNext(&iter), index++) {
            if (!_stricmp(EntryName(e), name))
                found = index;
        }
        PanelIterEnd(&iter);
        if (found >= 0)
            gApp->cursorIndex[0] = (uint32_t)found;
        return found >= 0;
    }
    static std::string CursorName() {
        PanelIter iter;
        FileEntry *e = PanelGetCursorEntry(&iter, 0);
        std::string name = e ? EntryName(e) : "";
        PanelIterEnd(&iter);
        return name;
    }
    // Names of the marked entries of the left panel.
    static std::vector<std::string> Marked() {
        std::vector<std::string> out;
        PanelIter iter;
        for (FileEntry *e = PanelIterBegin(&iter, 0); e; e = PanelIterNext(&iter)) {
            if (e->mark & 1)
                out.push_back(EntryName(e));
        }
        PanelIterEnd(&iter);
        std::sort(out.begin(), out.end());
        return out;
    }
    static void ClearMarks() {
        PanelIter iter;
        for (FileEntry *e = PanelIterBegin(&iter, 0); e; e = PanelIterNext(&iter))
            e->mark = 0;
        PanelIterEnd(&iter);
    }
    // Search (301), then the tool window once it shows the folder and has
    // searched it.
    static HWND SearchAndWaitForTool(const std::string &folder) {
        SendMessageA(main, WM_COMMAND, 301, 0);
        HWND tool = nullptr;
        WaitFor([&] {
            tool = gApp->findTool.toolWindow;
            return IsWindow(tool) && Text(GetDlgItem(tool, 101)) == folder && FindToolIdle();
        });
        return IsWindow(tool) && Text(GetDlgItem(tool, 101)) == folder ? tool : nullptr;
    }
};
HANDLE FindTool::thread;
HWND FindTool::main;

std::vector<std::string> LogLines() {
    std::vector<std::string> out;
    std::string text = ReadAll(gLog);
    size_t at = 0, end;
    while ((end = text.find("\r\n", at)) != std::string::npos) {
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

TEST_F(FindTool, TheToolListsWhatItFoundAndThePanelShowsTheChosenFile) {
    ShowLeft(kLeft);
    gApp->moreOptions = (gApp->moreOptions & ~(kMoreFindTool | kMoreFindProgram)) | kMoreFindTool;
    gShellSearches.clear();
    DeleteFileA(gLog.c_str());

    HWND tool = SearchAndWaitForTool(kLeft);
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(Results(tool), (std::vector<std::string>{kLeft + "\\one.txt", kLeft + "\\sub", kLeft + "\\sub\\deep.log",
                                                       kLeft + "\\sub\\other.txt", kLeft + "\\two.txt"}));

    // Narrowed to one file in a sub-folder, which the user goes to.
    SendMessageA(GetDlgItem(tool, 102), WM_SETTEXT, 0, (LPARAM) "*.log");
    SendMessageA(tool, WM_COMMAND, 104, 0);
    ASSERT_EQ(Results(tool), std::vector<std::string>{kLeft + "\\sub\\deep.log"});
    SendMessageA(GetDlgItem(tool, 103), LB_SETCURSEL, 0, 0);
    SendMessageA(tool, WM_COMMAND, 105, 0);
    EXPECT_STREQ(gApp->panelPath[0], (kLeft + "\\sub").c_str());
    EXPECT_TRUE(WaitFor([] { return CursorName() == "deep.log"; })) << CursorName();
    char first[MAX_PATH] = "";
    SendDlgItemMessageA(gApp->toolWindows[kToolHistory], kToolListBox, LB_GETTEXT, 0, (LPARAM)first);
    EXPECT_EQ(std::string(first), kLeft + "\\sub");

    // "View" opens the configured viewer on the chosen file.
    SendMessageA(GetDlgItem(tool, 102), WM_SETTEXT, 0, (LPARAM) "two.*");
    SendMessageA(tool, WM_COMMAND, 104, 0);
    ASSERT_EQ(Results(tool), std::vector<std::string>{kLeft + "\\two.txt"});
    SendMessageA(tool, WM_COMMAND, 106, 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 1; }));
    EXPECT_EQ(LogLines()[0].substr(0, LogLines()[0].find('|')), "T:\\ZQEDIT.EXE " + ShortPath(kLeft + "\\two.txt") + " /v");
    EXPECT_EQ(ReadAll(kLeft + "\\two.txt"), "two");

    // The next search goes to the same tool window with the panel's new folder.
    SendMessageA(GetDlgItem(tool, 102), WM_SETTEXT, 0, (LPARAM) "*");
    HWND again = SearchAndWaitForTool(kLeft + "\\sub");
    EXPECT_EQ(again, tool);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Results(again), (std::vector<std::string>{kLeft + "\\sub\\deep.log", kLeft + "\\sub\\other.txt"}));
    EXPECT_EQ(gShellSearches, std::vector<std::string>{});
}

// What another process wrote into the shared memory is checked before the
// panel moves: each bad result leaves the panel where it was.
TEST_F(FindTool, ResultsThatAreNoFullPathAreRefused) {
    ShowLeft(kLeft);
    gApp->moreOptions = (gApp->moreOptions & ~(kMoreFindTool | kMoreFindProgram)) | kMoreFindTool;
    if (!IsWindow(gApp->findTool.toolWindow)) {
        ASSERT_NE(SearchAndWaitForTool(kLeft), nullptr);
    }
    char *view = gApp->findTool.view;
    ASSERT_NE(view, nullptr);
    struct Case {
        char letter;
        std::string path;
    };
    const Case refused[] = {
        {'G', "..\\sub\\deep.log"},
        {'G', "sub\\deep.log"},
        {'G', "\\\\?\\C:\\windows"},
        {'G', "C:\\win|dows"},
        {'G', ""},
        {'G', std::string(300, 'a').insert(0, "C:\\")},
        {'X', kLeft + "\\sub\\deep.log"},
        {'P', kLeft + "\\sub"},
    };
    for (const Case &c : refused) {
        memset(view, 0, kFindToolMemorySize);
        view[0] = c.letter;
        memcpy(view + kFindToolPathOffset, c.path.c_str(), std::min(c.path.size() + 1, (size_t)kFindToolMemorySize - 5));
        EXPECT_EQ(SendMessageA(main, kFindToolMessage, 0, 0), 0) << c.path;
        EXPECT_STREQ(gApp->panelPath[0], kLeft.c_str()) << c.path;
    }
    // No terminating zero anywhere in the memory.
    memset(view, 'a', kFindToolMemorySize);
    view[0] = 'G';
    EXPECT_EQ(SendMessageA(main, kFindToolMessage, 0, 0), 0);
    EXPECT_STREQ(gApp->panelPath[0], kLeft.c_str());

    // A folder is shown itself; ".." inside a full path is resolved.
    memset(view, 0, kFindToolMemorySize);
    view[0] = 'G';
    std::string folder = kLeft + "\\sub\\..\\sub";
    memcpy(view + kFindToolPathOffset, folder.c_str(), folder.size() + 1);
    EXPECT_EQ(SendMessageA(main, kFindToolMessage, 0, 0), 1);
    EXPECT_STREQ(gApp->panelPath[0], (kLeft + "\\sub").c_str());
    // A window that is not a search tool is not taken as one.
    HWND kept = gApp->findTool.toolWindow;
    EXPECT_EQ(SendMessageA(main, kFindToolMessage, (WPARAM)main, 0), 0);
    EXPECT_EQ(gApp->findTool.toolWindow, kept);
}

TEST_F(FindTool, WithoutTheToolTheConfiguredProgramOrTheWindowsSearchRuns) {
    ShowLeft(kLeft);
    gShellSearches.clear();
    gApp->moreOptions &= ~(kMoreFindTool | kMoreFindProgram);
    SendMessageA(main, WM_COMMAND, 301, 0);
    EXPECT_EQ(gShellSearches, std::vector<std::string>{kLeft});

    // The configured program with its parameters, window mode and folder.
    DeleteFileA(gLog.c_str());
    WritePrivateProfileStringA("Find", "C1", "T:\\ZQEDIT.EXE", gIni.c_str());
    WritePrivateProfileStringA("Find", "P1", "/v", gIni.c_str());
    WritePrivateProfileStringA("Find", "D1", kSite.c_str(), gIni.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gIni.c_str());
    gApp->moreOptions |= kMoreFindProgram;
    SendMessageA(main, WM_COMMAND, 301, 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 1; }));
    EXPECT_EQ(LogLines()[0], "T:\\ZQEDIT.EXE /v|" + kSite + "|0");
    EXPECT_EQ(gShellSearches, std::vector<std::string>{kLeft});
    WritePrivateProfileStringA("Find", nullptr, nullptr, gIni.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gIni.c_str());
    gApp->moreOptions &= ~kMoreFindProgram;
}

TEST_F(FindTool, HtmlReferencesMarkOnlyFilesOfThePagesOwnFolder) {
    for (const char *name : {"a.png", "b c.html", "Tom & Jerry.txt", "outside.txt", "d.png", "e.png", "f.png",
                             "g.png", "Case.PNG"})
        WriteAll(kSite + "\\" + name, "x");
    CreateDirectoryA((kSite + "\\sub").c_str(), nullptr);
    WriteAll(kSite + "\\sub\\e.png", "x");
    WriteAll(kFolder + "\\outside.txt", "x");
    WriteAll(kSite + "\\index.html",
             "<html><body background=\"a.png\">\r\n"
             "<a href=\"b%20c.html\">b</a> <A HREF=\"Tom &amp; Jerry.txt\">t</A>\r\n"
             "<a href=\"../outside.txt\">o</a> <img src=\"http://example.org/d.png\">\r\n"
             "<img src=\"sub/e.png\"> <img src=\"sub/../f.png\"> <img alt=\"g\" src=\"g.png\">\r\n"
             "<img src=\"case.png\"> <a href=\"sub\">folder</a></body></html>\r\n");
    WriteAll(kSite + "\\none.html", "<a href=\"http://example.org/\">x</a><a href=\"../site/a.png\">");
    ShowLeft(kSite);
    ClearMarks();

    ASSERT_TRUE(CursorOn("index.html"));
    SendMessageA(main, WM_COMMAND, 127, 0);
    EXPECT_EQ(Marked(), (std::vector<std::string>{"Case.PNG", "Tom & Jerry.txt", "a.png", "b c.html", "f.png",
                                                  "index.html"}));

    // Nothing referenced: nothing marked, and a beep says so.
    ClearMarks();
    LONG beeps = gBeeps;
    ASSERT_TRUE(CursorOn("none.html"));
    SendMessageA(main, WM_COMMAND, 127, 0);
    EXPECT_EQ(Marked(), std::vector<std::string>{});
    EXPECT_EQ(gBeeps, beeps + 1);
    // On a folder the command only beeps.
    ASSERT_TRUE(CursorOn("sub"));
    SendMessageA(main, WM_COMMAND, 127, 0);
    EXPECT_EQ(gBeeps, beeps + 2);
    EXPECT_EQ(Marked(), std::vector<std::string>{});
}

} // namespace
