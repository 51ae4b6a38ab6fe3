// The tool windows and F3/F4 as a user meets them: the whole program runs in
// this process on a thread of its own with a private settings file, and the
// tests drive its windows with messages. What must survive a restart is
// checked on real kestrom.exe processes started twice.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/OwnProcess.h"
#include <shlobj.h>

#include <stdio.h>
#include <algorithm>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "tools/RunServices.h"
#include "tools/ToolWindows.h"
#include "app/bars/ToolBar.h"
#include "tests/OwnWindow.h"
#include "tests/tools-windows/ToolTestSupport.h"

namespace {

void NoBeep(UINT) {}
void NoTerminate(DWORD, UINT) {}

const std::string kFolder = "C:\\vtest-toolwin";
const std::string kLeft = kFolder + "\\left";
const std::string gIni = kFolder + "\\t.ini";
const std::string gIniArg = "/I=" + gIni;
const std::string gLog = kFolder + "\\zqedit.log";

DWORD WINAPI AppThread(void *) {
    char *argv[] = {(char *)"tools_windows_test", (char *)gIniArg.c_str()};
    return (DWORD)RunKestromArgs(GetModuleHandleA(nullptr), 2, argv);
}

std::string IniValue(const std::string &ini, const char *section, const char *key) {
    char value[600] = "";
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    GetPrivateProfileStringA(section, key, "", value, sizeof value, ini.c_str());
    return value;
}

std::vector<std::string> Lines(HWND tool) {
    std::vector<std::string> out;
    HWND list = GetDlgItem(tool, kToolListBox);
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        char text[600] = "";
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
        out.push_back(text);
    }
    return out;
}

void ClearList(HWND tool) { SendDlgItemMessageA(tool, kToolListBox, LB_RESETCONTENT, 0, 0); }

std::string ShortPath(const std::string &path) {
    char out[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), out, sizeof out);
    return out;
}

// An HDROP as the shell hands it over: DROPFILES and a double-null list.
HGLOBAL MakeDrop(const std::vector<std::string> &names) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string &n : names)
        size += n.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    DROPFILES *drop = (DROPFILES *)GlobalLock(memory);
    drop->pFiles = sizeof(DROPFILES);
    char *p = (char *)(drop + 1);
    for (const std::string &n : names) {
        memcpy(p, n.c_str(), n.size() + 1);
        p += n.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

class ToolWindows : public ::testing::Test {
  protected:
    static HANDLE thread;
    static HWND main, history, favorites, container;

    static void SetUpTestSuite() {
        RemoveTree(kFolder);
        CreateDirectoryA(kFolder.c_str(), nullptr);
        CreateDirectoryA(kLeft.c_str(), nullptr);
        WriteAll(kLeft + "\\one.txt", "one\r\n");
        WriteAll(kLeft + "\\two.txt", "two\r\n");
        const char *s = "Zq Vandrell";
        // Keep History and Container (0x10000, 0x8000000), no start logo.
        WritePrivateProfileStringA(s, "Options", "15,50199,1217462320,63,0,0", gIni.c_str());
        WritePrivateProfileStringA(s, "Language", "US", gIni.c_str());
        WritePrivateProfileStringA(s, "PathL", kLeft.c_str(), gIni.c_str());
        WritePrivateProfileStringA(s, "PathR", "C:\\windows", gIni.c_str());
        // View, Hex edit, Edit, Print, Encode and Copy (table position + 2).
        WritePrivateProfileStringA(s, "ToolBar", "25,4,5,6,13,54,8", gIni.c_str());
        WritePrivateProfileStringA("Viewer", "1", "*.txt=T:\\ZQEDIT.EXE=/v", gIni.c_str());
        WritePrivateProfileStringA("Editor", "1", "*.txt=T:\\ZQEDIT.EXE=-e *.*==C:\\", gIni.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, gIni.c_str());
        SetEnvironmentVariableA("ZQEDIT_LOG", gLog.c_str());

        gCommandBeep = NoBeep;
        gExitTerminate = NoTerminate;
        gMainWindow = nullptr;
        thread = CreateThread(nullptr, 0, AppThread, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        ASSERT_TRUE(WaitFor([] { return gMainWindow && IsWindowVisible(gMainWindow); }));
        main = gMainWindow;
        ASSERT_TRUE(WaitFor([] { return gApp && gApp->panels[0].entryCount >= 3; }));
        history = gApp->toolWindows[kToolHistory];
        favorites = gApp->toolWindows[kToolFavorites];
        container = gApp->toolWindows[kToolContainer];
        ASSERT_TRUE(history && favorites && container);
    }

    static void TearDownTestSuite() {
        if (thread) {
            PostMessageA(main, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
            CloseHandle(thread);
            thread = nullptr;
        }
        RemoveTree(kFolder);
    }

    static void SetActiveLeft() { gApp->activePanel = 0; }
    // Puts the left panel's cursor on a name; false when it is not listed.
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
    static void MarkLeft(const char *name, bool on) {
        PanelIter iter;
        for (FileEntry *e = PanelIterBegin(&iter, 0); e; e = PanelIterNext(&iter)) {
            if (!_stricmp(EntryName(e), name))
                e->mark = on ? 1 : 0;
        }
        PanelIterEnd(&iter);
    }
    static int MarkOf(const char *name) {
        PanelIter iter;
        int mark = -1;
        for (FileEntry *e = PanelIterBegin(&iter, 0); e; e = PanelIterNext(&iter)) {
            if (!_stricmp(EntryName(e), name))
                mark = e->mark;
        }
        PanelIterEnd(&iter);
        return mark;
    }
};
HANDLE ToolWindows::thread;
HWND ToolWindows::main, ToolWindows::history, ToolWindows::favorites, ToolWindows::container;

TEST_F(ToolWindows, KeysShowAndHideEachWindow) {
    for (auto [command, window] : {std::pair<int, HWND>{302, history}, {303, favorites}, {304, container}}) {
        SendMessageA(main, WM_COMMAND, command, 0);
        EXPECT_TRUE(IsWindowVisible(window)) << command;
        SendMessageA(main, WM_COMMAND, command, 0);
        EXPECT_FALSE(IsWindowVisible(window)) << command;
    }
}

TEST_F(ToolWindows, ButtonsSitInARowUnderTheList) {
    SetWindowPos(container, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(container, &client);
    RECT list;
    GetWindowRect(GetDlgItem(container, kToolListBox), &list);
    EXPECT_EQ(list.bottom - list.top, client.bottom - 36);
    int x = 7;
    for (int id : {324, 97, 96, 101, 102, 104, 105, 106, 109}) {
        HWND button = GetDlgItem(container, id);
        ASSERT_NE(button, nullptr) << id;
        RECT r;
        GetWindowRect(button, &r);
        POINT p = {r.left, r.top};
        ScreenToClient(container, &p);
        EXPECT_EQ(p.x, x) << id;
        EXPECT_EQ(p.y, client.bottom - 32) << id;
        EXPECT_EQ(r.right - r.left, 25) << id;
        x += 27;
    }
}

TEST_F(ToolWindows, ListsLoadUpToTheFirstGapAndSaveAtMost99Lines) {
    WritePrivateProfileStringA("Gap", "1", "C:\\one", gIni.c_str());
    WritePrivateProfileStringA("Gap", "2", "C:\\two", gIni.c_str());
    WritePrivateProfileStringA("Gap", "4", "C:\\four", gIni.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gIni.c_str());
    std::vector<std::string> saved = Lines(favorites);
    ClearList(favorites);
    ToolListLoad(favorites, "Gap");
    EXPECT_EQ(Lines(favorites), (std::vector<std::string>{"C:\\one", "C:\\two"}));

    ClearList(favorites);
    for (int i = 0; i < 120; i++)
        SendDlgItemMessageA(favorites, kToolListBox, LB_ADDSTRING, 0,
                            (LPARAM)("C:\\folder" + std::to_string(1000 + i)).c_str());
    WritePrivateProfileStringA("Many", "150", "old", gIni.c_str());
    ToolListSave(favorites, "Many");
    EXPECT_EQ(IniValue(gIni, "Many", "1"), "C:\\folder1000");
    EXPECT_EQ(IniValue(gIni, "Many", "99"), "C:\\folder1098");
    EXPECT_EQ(IniValue(gIni, "Many", "100"), "");
    EXPECT_EQ(IniValue(gIni, "Many", "150"), ""); // the section was emptied first
    ClearList(favorites);
    for (const std::string &line : saved)
        SendDlgItemMessageA(favorites, kToolListBox, LB_ADDSTRING, 0, (LPARAM)line.c_str());
}

TEST_F(ToolWindows, HistoryMovesAKnownFolderToTheTopWhateverItsCase) {
    ToolListInsert(history, "C:\\Alpha", 0);
    ToolListInsert(history, "C:\\Beta", 0);
    size_t count = Lines(history).size();
    ToolListInsert(history, "c:\\ALPHA", 0);
    std::vector<std::string> lines = Lines(history);
    EXPECT_EQ(lines.size(), count);
    EXPECT_EQ(lines[0], "c:\\ALPHA");
    EXPECT_EQ(lines[1], "C:\\Beta");
}

TEST_F(ToolWindows, FavoritesAddRemoveReorderAndGoTo) {
    SetActiveLeft();
    ClearList(favorites);
    SendMessageA(favorites, WM_COMMAND, 97, 0);
    EXPECT_EQ(Lines(favorites), (std::vector<std::string>{kLeft}));
    ToolListInsert(favorites, kFolder.c_str(), 1);
    SendDlgItemMessageA(favorites, kToolListBox, LB_SETCURSEL, 1, 0);
    SendMessageA(favorites, WM_COMMAND, 14535, 0); // move up
    EXPECT_EQ(Lines(favorites), (std::vector<std::string>{kFolder, kLeft}));

    // Go to the folder now at the top: the panel shows it, History has it first.
    SendDlgItemMessageA(favorites, kToolListBox, LB_SETCURSEL, 0, 0);
    SendMessageA(favorites, WM_COMMAND, 324, 0);
    EXPECT_STREQ(gApp->panelPath[0], kFolder.c_str());
    EXPECT_EQ(Lines(history)[0], kFolder);
    ASSERT_TRUE(WaitFor([] { return CursorOn("left"); }));

    // Back by double click on the second line.
    SendDlgItemMessageA(favorites, kToolListBox, LB_SETCURSEL, 1, 0);
    SendMessageA(favorites, WM_COMMAND, MAKEWPARAM(kToolListBox, LBN_DBLCLK), 0);
    ASSERT_TRUE(WaitFor([] { return _stricmp(gApp->panelPath[0], kLeft.c_str()) == 0; }));
    ASSERT_TRUE(WaitFor([] { return CursorOn("one.txt"); }));

    SendDlgItemMessageA(favorites, kToolListBox, LB_SETCURSEL, 1, 0);
    SendMessageA(favorites, WM_COMMAND, 96, 0);
    EXPECT_EQ(Lines(favorites), (std::vector<std::string>{kFolder}));
    EXPECT_EQ(SendDlgItemMessageA(favorites, kToolListBox, LB_GETCURSEL, 0, 0), 0);
}

TEST_F(ToolWindows, ContainerTakesMarkedEntriesAndDroppedNames) {
    SetActiveLeft();
    ASSERT_TRUE(WaitFor([] { return CursorOn("one.txt"); }));
    ClearList(container);
    MarkLeft("one.txt", true);
    MarkLeft("two.txt", true);
    SendMessageA(container, WM_COMMAND, 97, 0);
    EXPECT_EQ(Lines(container), (std::vector<std::string>{kLeft + "\\one.txt", kLeft + "\\two.txt"}));
    // The marks moved to the "previous" bit.
    EXPECT_EQ(MarkOf("one.txt"), 2);
    EXPECT_EQ(MarkOf("two.txt"), 2);

    std::string dropped = kFolder + "\\dropped.dat";
    WriteAll(dropped, "d");
    SendMessageA(container, WM_DROPFILES, (WPARAM)MakeDrop({dropped, kLeft + "\\one.txt"}), 0);
    std::vector<std::string> lines = Lines(container);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], dropped);
    EXPECT_EQ(lines[2], kLeft + "\\one.txt"); // a name already there moves, never doubles
    HWND list = GetDlgItem(container, kToolListBox);
    EXPECT_EQ((DWORD)SendMessageA(list, LB_GETITEMDATA, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(ContainerLineAttributes(list, 1), GetFileAttributesA(dropped.c_str()));
    EXPECT_EQ((DWORD)SendMessageA(list, LB_GETITEMDATA, 1, 0), GetFileAttributesA(dropped.c_str()));

    // Go to a file: the panel shows its folder with the cursor on it.
    SendMessageA(list, LB_SETCARETINDEX, 1, 0);
    SendMessageA(container, WM_COMMAND, 324, 0);
    EXPECT_STREQ(gApp->panelPath[0], kFolder.c_str());
    ASSERT_TRUE(WaitFor([] {
        PanelIter iter;
        FileEntry *e = PanelGetCursorEntry(&iter, 0);
        bool on = e && !_stricmp(EntryName(e), "dropped.dat");
        PanelIterEnd(&iter);
        return on;
    }));

    // Remove deletes every selected line.
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    SendMessageA(list, LB_SETSEL, TRUE, 0);
    SendMessageA(list, LB_SETSEL, TRUE, 2);
    SendMessageA(container, WM_COMMAND, 96, 0);
    EXPECT_EQ(Lines(container), (std::vector<std::string>{dropped}));
    ClearList(container);
    memcpy(gApp->panelPath[0], kLeft.c_str(), kLeft.size() + 1);
    PanelRequestReread(0);
    ASSERT_TRUE(WaitFor([] { return CursorOn("one.txt"); }));
}


// The log lines of the stand-in viewer and editor.
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

TEST_F(ToolWindows, F3AndF4StartTheProgramsConfiguredForTheMasks) {
    SetActiveLeft();
    DeleteFileA(gLog.c_str());
    std::string one = kLeft + "\\one.txt";
    WriteAll(one, "one\r\n");
    ASSERT_TRUE(WaitFor([] { return CursorOn("one.txt"); }));
    // Viewer record without parameters that name the file: the program, a
    // blank and the file's short path; the file stays as it was.
    SendMessageA(main, WM_COMMAND, 102, 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 1; }));
    EXPECT_EQ(LogLines()[0].substr(0, LogLines()[0].find('|')), "T:\\ZQEDIT.EXE " + ShortPath(one) + " /v");
    EXPECT_EQ(ReadAll(one), "one\r\n");

    // Editor record whose parameters insert the file: no name of its own
    // added; the editor runs in the record's folder and its change is in
    // the file the panel shows.
    SendMessageA(main, WM_COMMAND, 104, 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 2; }));
    std::string line = LogLines()[1];
    EXPECT_EQ(line, "T:\\ZQEDIT.EXE -e " + ShortPath(one) + "|C:\\|1");
    EXPECT_EQ(ReadAll(one), "one\r\nedited by ZQEDIT\r\n");
}

// F3 on a file no configured viewer takes: the viewer window. The keyboard
// hook's commands then step it through the panel's files (first, previous,
// next, last), over folders; once the cursor has left the file shown they
// change nothing. The files are binary (dumps), where Find Next (F3) steps
// to the next file too. No file is touched on the way.
TEST_F(ToolWindows, ViewerWindowStepsThroughThePanelsFiles) {
    SetActiveLeft();
    CreateDirectoryA((kLeft + "\\stepdir").c_str(), nullptr);
    const char *names[] = {"step1.dat", "step2.dat", "step3.dat"};
    auto content = [](const char *name) { return std::string("bytes\0of ", 9) + name; };
    for (const char *name : names)
        WriteAll(kLeft + "\\" + name, content(name));
    PanelRequestReread(0);
    ASSERT_TRUE(WaitFor([] { return CursorOn("step1.dat") && CursorOn("step3.dat") && CursorOn("stepdir"); }));
    std::vector<std::string> files; // the panel's files, in its order
    {
        PanelIter iter;
        for (FileEntry *e = PanelIterBegin(&iter, 0); e; e = PanelIterNext(&iter))
            if (!EntryIsFolder(e) && !EntryIsUpDir(e))
                files.push_back(EntryName(e));
        PanelIterEnd(&iter);
    }
    auto at = std::find(files.begin(), files.end(), "step2.dat");
    ASSERT_TRUE(at != files.end() && at + 1 != files.end());
    size_t index = (size_t)(at - files.begin());

    ASSERT_TRUE(CursorOn("step2.dat"));
    SendMessageA(main, WM_COMMAND, 102, 0);
    HWND viewer = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (viewer = FindOwnWindow("ZqViewer", nullptr)) != nullptr; }));
    auto shown = [&] {
        char caption[300] = "";
        GetWindowTextA(viewer, caption, sizeof caption);
        return std::string(caption);
    };
    EXPECT_EQ(shown(), "step2.dat");
    struct {
        int command;
        std::string expected;
    } steps[] = {{1103, files[index + 1]}, {1102, files[index]},      {11946, files[index + 1]},
                 {1102, files[index]},      {1101, files.front()},     {1104, files.back()}};
    for (auto &step : steps) {
        SendMessageA(viewer, WM_COMMAND, step.command, 0);
        EXPECT_EQ(shown(), step.expected) << step.command;
        if (step.expected.rfind("step", 0) == 0)
            EXPECT_NE(FindWindowExA(viewer, nullptr, "ZqHexEd", nullptr), nullptr) << step.command;
    }
    ASSERT_TRUE(CursorOn(files.front().c_str()));
    SendMessageA(viewer, WM_COMMAND, 1103, 0);
    EXPECT_EQ(shown(), files.back()) << "stepped although the cursor had left the file shown";

    PostMessageA(viewer, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(viewer); }));
    for (const char *name : names) {
        EXPECT_EQ(ReadAll(kLeft + "\\" + name), content(name));
        DeleteFileA((kLeft + "\\" + name).c_str());
    }
    RemoveDirectoryA((kLeft + "\\stepdir").c_str());
}

TEST_F(ToolWindows, ContainerViewAndEditRunOnEverySelectedLine) {
    DeleteFileA(gLog.c_str());
    std::string one = kLeft + "\\one.txt", two = kLeft + "\\two.txt";
    WriteAll(one, "1");
    WriteAll(two, "2");
    ClearList(container);
    ToolListInsertData(container, one.c_str(), -1, -1);
    ToolListInsertData(container, two.c_str(), -1, -1);
    SendMessageA(container, WM_COMMAND, 104, 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 2; }));
    EXPECT_EQ(ReadAll(one), "1edited by ZQEDIT\r\n");
    EXPECT_EQ(ReadAll(two), "2edited by ZQEDIT\r\n");
    ClearList(container);
}

// ---- the Container's jobs

// A dialog of this process owned by `owner` (shown or not).
HWND OwnedDialog(HWND owner, bool visibleOnly) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && GetWindow(w, GW_OWNER) == owner && (!visibleOnly || IsWindowVisible(w)))
            return w;
    }
    return nullptr;
}

// Relative path and content of every entry below a folder, sorted: two
// trees with equal texts are what "diff -r" calls equal.
void TreeText(const std::string &root, const std::string &rel, std::vector<std::string> &out) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((root + rel + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string r = rel + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(r + "\\");
            TreeText(root, r, out);
        } else {
            std::string bytes = ReadAll(root + r);
            unsigned long sum = 0;
            for (unsigned char c : bytes)
                sum = sum * 31 + c;
            out.push_back(r + "=" + std::to_string(bytes.size()) + "/" + std::to_string(sum));
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}
std::vector<std::string> Tree(const std::string &root) {
    std::vector<std::string> out;
    TreeText(root, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

const std::string kSrc = kFolder + "\\src";

void MakeSource() {
    RemoveTree(kSrc);
    CreateDirectoryA(kSrc.c_str(), nullptr);
    CreateDirectoryA((kSrc + "\\a").c_str(), nullptr);
    CreateDirectoryA((kSrc + "\\a\\sub").c_str(), nullptr);
    std::string big;
    for (int i = 0; i < 300000; i++)
        big += (char)(i * 7 + i / 251);
    WriteAll(kSrc + "\\a\\sub\\big.bin", big);
    WriteAll(kSrc + "\\a\\f1.txt", "first\r\n");
    WriteAll(kSrc + "\\b.txt", "bee\r\n");
}

void FillContainer(HWND container, const std::vector<std::string> &paths) {
    ClearList(container);
    for (const std::string &p : paths)
        ToolListInsertData(container, p.c_str(), -1, -1);
    SendDlgItemMessageA(container, kToolListBox, LB_SETSEL, TRUE, -1);
}

// Runs a Container command whose question dialog answers with OK after
// `prepare` has filled it, and waits until the job's dialog is gone.
template <class F> void RunJob(HWND container, int command, F prepare) {
    PostMessageA(container, WM_COMMAND, command, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = OwnedDialog(container, true)) != nullptr; }));
    prepare(question);
    PostMessageA(question, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }));
    // Answered once the command that opened the question has returned:
    // the job's progress dialog then exists.
    SendMessageA(container, WM_NULL, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return OwnedDialog(container, false) == nullptr; }, 60000));
}

TEST_F(ToolWindows, ContainerCopyMoveAndDeleteTheSelectedLines) {
    MakeSource();
    std::string dst = kFolder + "\\dst", moved = kFolder + "\\moved";
    RemoveTree(dst);
    RemoveTree(moved);
    CreateDirectoryA(dst.c_str(), nullptr);
    CreateDirectoryA(moved.c_str(), nullptr);
    std::string src = kSrc;
    std::vector<std::string> want = Tree(src);

    FillContainer(container, {src + "\\a", src + "\\b.txt"});
    RunJob(container, 105, [&](HWND q) { SetDlgItemTextA(q, 10102, dst.c_str()); });
    EXPECT_EQ(Tree(dst), want);
    EXPECT_EQ(Tree(src), want);
    EXPECT_EQ(Lines(container).size(), 2u); // copied lines stay

    FillContainer(container, {dst + "\\a", dst + "\\b.txt"});
    RunJob(container, 106, [&](HWND q) { SetDlgItemTextA(q, 10102, moved.c_str()); });
    EXPECT_EQ(Tree(moved), want);
    EXPECT_EQ(Tree(dst), std::vector<std::string>{});
    EXPECT_EQ(Lines(container), std::vector<std::string>{}); // moved lines go

    FillContainer(container, {moved + "\\a", moved + "\\b.txt", src + "\\b.txt"});
    HWND list = GetDlgItem(container, kToolListBox);
    SendMessageA(list, LB_SETSEL, FALSE, 2); // not selected: left alone
    RunJob(container, 109, [&](HWND q) { CheckDlgButton(q, 10602, BST_UNCHECKED); });
    EXPECT_EQ(Tree(moved), std::vector<std::string>{});
    EXPECT_EQ(Lines(container), std::vector<std::string>{src + "\\b.txt"});
    EXPECT_EQ(Tree(src), want);
    ClearList(container);
}

// ---- files dropped on the tool bar's buttons

std::vector<std::string> gShellCalls;
BOOL WINAPI RecordShellExecute(SHELLEXECUTEINFOA *info) {
    gShellCalls.push_back(std::string(info->lpVerb ? info->lpVerb : "") + "|" + info->lpFile + "|" +
                          (info->lpDirectory ? info->lpDirectory : ""));
    return TRUE;
}

// A text of a control of the dialog (any control), or "".
std::string DialogTextWith(HWND dialog, const std::string &part) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char text[300] = "";
        GetWindowTextA(c, text, sizeof text);
        if (strstr(text, part.c_str()))
            return text;
    }
    return "";
}

// A shown dialog of this process with a control whose text holds `part`.
HWND DialogWithText(const std::string &part) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w) && !DialogTextWith(w, part).empty())
            return w;
    }
    return nullptr;
}

HWND ToolButton(int command) {
    ToolbarButton *b = ToolBarFind(command);
    return b && b->command == command ? (HWND)b->window : nullptr;
}

TEST_F(ToolWindows, FilesDroppedOnTheToolBarOpenTheViewerHexEditorEditorPrintAndEncoder) {
    std::string one = kLeft + "\\one.txt", two = kLeft + "\\two.txt";
    WriteAll(one, "one\r\n");
    WriteAll(two, "two\r\n");
    DeleteFileA(gLog.c_str());
    for (int command : {102, 103, 104, 110, 121})
        ASSERT_NE(ToolButton(command), nullptr) << command;

    // View and Edit: the programs configured for the masks, on each file.
    SendMessageA(ToolButton(102), WM_DROPFILES, (WPARAM)MakeDrop({one, kFolder}), 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 1; }));
    EXPECT_EQ(LogLines()[0].substr(0, LogLines()[0].find('|')), "T:\\ZQEDIT.EXE " + ShortPath(one) + " /v");
    SendMessageA(ToolButton(104), WM_DROPFILES, (WPARAM)MakeDrop({kFolder, one, two}), 0);
    ASSERT_TRUE(WaitFor([] { return LogLines().size() == 3; }));
    ASSERT_TRUE(WaitFor([&] { return ReadAll(two) == "two\r\nedited by ZQEDIT\r\n"; }));
    EXPECT_EQ(ReadAll(one), "one\r\nedited by ZQEDIT\r\n");

    // Hex edit: a hex editor window on the file.
    EXPECT_EQ(FindOwnWindow("ZqHex", nullptr), nullptr);
    SendMessageA(ToolButton(103), WM_DROPFILES, (WPARAM)MakeDrop({two}), 0);
    HWND hex = FindOwnWindow("ZqHex", nullptr);
    ASSERT_NE(hex, nullptr);
    char title[300] = "";
    GetWindowTextA(hex, title, sizeof title);
    EXPECT_NE(strstr(title, "two.txt"), nullptr) << title;
    SendMessageA(hex, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(hex); }));

    // Print: the shell's "print" verb on each file, never on a folder.
    gShellCalls.clear();
    gRunShellExecute = RecordShellExecute;
    SendMessageA(ToolButton(110), WM_DROPFILES, (WPARAM)MakeDrop({one, kFolder, two}), 0);
    gRunShellExecute = ShellExecuteExA;
    EXPECT_EQ(gShellCalls, (std::vector<std::string>{"print|" + one + "|", "print|" + two + "|"}));

    // Encode: the first file after the folders, the names after it left alone.
    PostMessageA(ToolButton(121), WM_DROPFILES, (WPARAM)MakeDrop({kFolder, two, one}), 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = DialogWithText("Encode")) != nullptr; }));
    EXPECT_EQ(DialogTextWith(question, "Encode"), "Encode two.txt to");
    PostMessageA(question, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }));
    // The drop has ended: no second question follows for the next name.
    SendMessageA(ToolButton(121), WM_NULL, 0, 0);
    EXPECT_EQ(DialogWithText("Encode"), nullptr);
}

// ---- a real program started twice

using Process = OwnProcess;

struct FindData {
    DWORD pid;
    const char *cls, *title;
    HWND found;
};

BOOL CALLBACK FindIn(HWND w, LPARAM lp) {
    FindData *d = (FindData *)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = "", title[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (pid == d->pid && !strcmp(cls, d->cls) && (!d->title || !strcmp(title, d->title))) {
        d->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND WaitWindow(Process &p, const char *cls, const char *title, bool visible) {
    HWND found = nullptr;
    WaitFor([&] {
        FindData d = {p.pi.dwProcessId, cls, title, nullptr};
        EnumWindows(FindIn, (LPARAM)&d);
        found = d.found && (!visible || IsWindowVisible(d.found)) ? d.found : nullptr;
        return found != nullptr;
    });
    return found;
}

TEST(ToolWindowsRestart, HistoryAndFavoritesSurviveARestart) {
    std::string dir = kFolder + "-restart";
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string a = dir + "\\a", b = dir + "\\b", c = dir + "\\c";
    for (const std::string &d : {a, b, c})
        CreateDirectoryA(d.c_str(), nullptr);
    std::string ini = dir + "\\r.ini";
    const char *s = "Zq Vandrell";
    // Keep History (0x10000), auto-save; no start logo.
    WritePrivateProfileStringA(s, "Options", "15,50199,1083244593,63,0,0", ini.c_str());
    WritePrivateProfileStringA(s, "Language", "US", ini.c_str());
    WritePrivateProfileStringA(s, "PathL", a.c_str(), ini.c_str());
    WritePrivateProfileStringA(s, "PathR", b.c_str(), ini.c_str());
    WritePrivateProfileStringA("PP", "1", "C:\\kept", ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    {
        Process p;
        ASSERT_TRUE(p.Start("T:\\kestrom.exe", "/I=" + ini));
        HWND mainWindow = WaitWindow(p, "Zq Vandrell", nullptr, true);
        ASSERT_NE(mainWindow, nullptr);
        HWND fav = WaitWindow(p, "#32770", "Favorites", false);
        ASSERT_NE(fav, nullptr);
        // "Add to list" puts the active (left) panel's folder on top.
        SendMessageA(fav, WM_COMMAND, 97, 0);
        EXPECT_EQ(SendDlgItemMessageA(fav, kToolListBox, LB_GETCOUNT, 0, 0), 2);
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        ASSERT_EQ(WaitForSingleObject(p.pi.hProcess, 30000), WAIT_OBJECT_0);
    }
    EXPECT_EQ(IniValue(ini, "History", "1"), b);
    EXPECT_EQ(IniValue(ini, "History", "2"), a);
    EXPECT_EQ(IniValue(ini, "PP", "1"), a);
    EXPECT_EQ(IniValue(ini, "PP", "2"), "C:\\kept");

    WritePrivateProfileStringA(s, "PathL", c.c_str(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    {
        Process p;
        ASSERT_TRUE(p.Start("T:\\kestrom.exe", "/I=" + ini));
        HWND mainWindow = WaitWindow(p, "Zq Vandrell", nullptr, true);
        ASSERT_NE(mainWindow, nullptr);
        HWND hist = WaitWindow(p, "#32770", "History", false);
        ASSERT_NE(hist, nullptr);
        // Loaded b, a; then the panels' folders c and b came to the top.
        EXPECT_EQ(SendDlgItemMessageA(hist, kToolListBox, LB_GETCOUNT, 0, 0), 3);
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        ASSERT_EQ(WaitForSingleObject(p.pi.hProcess, 30000), WAIT_OBJECT_0);
    }
    EXPECT_EQ(IniValue(ini, "History", "1"), b);
    EXPECT_EQ(IniValue(ini, "History", "2"), c);
    EXPECT_EQ(IniValue(ini, "History", "3"), a);
    EXPECT_EQ(IniValue(ini, "PP", "1"), a);
    EXPECT_EQ(IniValue(ini, "PP", "2"), "C:\\kept");
    RemoveTree(dir);
}

} // namespace
