// Starting programs as a user meets it: the whole program runs in this
// process on a thread of its own, the Run and Go to dialogs are driven by
// their messages, and every program started is ZQPACK.EXE (a Win32 program
// of ours) under names with blanks, "&", "%", "^" and parentheses; it logs
// the command line it got and each argument as its C runtime split it.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "panels/PanelIter.h"
#include "tools/RunServices.h"
#include "tests/OwnWindow.h"
#include "tests/tools-windows/ToolTestSupport.h"

namespace {

const std::string kFolder = "C:\\vtest-run";
const std::string kBin = kFolder + "\\bin";
const std::string kOther = kFolder + "\\other (1) & more";
const std::string kIni = kFolder + "\\t.ini";
const std::string kIniArg = "/I=" + kIni;
const std::string kLog = kFolder + "\\run.log";
const std::string kLongName = "a program with a rather long name that goes on and on.exe";

LONG gBeeps;
void CountBeep(UINT) { InterlockedIncrement(&gBeeps); }
void NoTerminate(DWORD, UINT) {}

std::mutex gBoxLock;
std::vector<std::string> gBoxes;
int RecordBox(HWND, const char *text, const char *caption, UINT) {
    std::lock_guard<std::mutex> lock(gBoxLock);
    gBoxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
    return IDOK;
}
size_t BoxCount() {
    std::lock_guard<std::mutex> lock(gBoxLock);
    return gBoxes.size();
}

DWORD WINAPI AppThread(void *) {
    char *argv[] = {(char *)"tools_run_test", (char *)kIniArg.c_str()};
    return (DWORD)RunKestromArgs(GetModuleHandleA(nullptr), 2, argv);
}

bool IsDir(const std::string &path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// One start of the logging program: the program it ran as (argv[0] made
// long and full) and its arguments.
struct Started {
    std::string program;
    std::vector<std::string> args;
    std::string line;
};

std::string LongName(const std::string &path) {
    char full[MAX_PATH] = "", longer[MAX_PATH] = "";
    GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (!GetLongPathNameA(full, longer, sizeof longer))
        return full;
    return longer;
}

std::vector<Started> Runs() {
    std::vector<Started> out;
    std::string text = ReadAll(kLog);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break; // a line still being written
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind("line: ", 0) == 0) {
            Started s;
            s.line = line.substr(6);
            int argc = 0;
            std::wstring w(s.line.size() + 1, L'\0');
            int n = MultiByteToWideChar(CP_ACP, 0, s.line.c_str(), -1, &w[0], (int)w.size());
            w.resize(n > 0 ? (size_t)n : 0);
            wchar_t **argv = CommandLineToArgvW(w.c_str(), &argc);
            if (argv && argc > 0) {
                char program[MAX_PATH] = "";
                WideCharToMultiByte(CP_ACP, 0, argv[0], -1, program, sizeof program, nullptr, nullptr);
                s.program = LongName(program);
            }
            LocalFree(argv);
            out.push_back(s);
        } else if (line.rfind("arg ", 0) == 0 && !out.empty()) {
            size_t colon = line.find(": ");
            out.back().args.push_back(colon == std::string::npos ? "" : line.substr(colon + 2));
        }
    }
    return out;
}

// Waits until the log holds `count` starts.
bool WaitRuns(size_t count) {
    return WaitFor([&] { return Runs().size() >= count; });
}

std::string IniValue(const char *section, const char *key) {
    char value[600] = "";
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIni.c_str());
    GetPrivateProfileStringA(section, key, "", value, sizeof value, kIni.c_str());
    return value;
}

class RunGoTo : public ::testing::Test {
  protected:
    static HANDLE thread;
    static HWND main;

    static void SetUpTestSuite() {
        RemoveTree(kFolder);
        CreateDirectoryA(kFolder.c_str(), nullptr);
        CreateDirectoryA(kBin.c_str(), nullptr);
        CreateDirectoryA(kOther.c_str(), nullptr);
        for (const std::string &name :
             {std::string("zqlog.exe"), std::string("my prog.exe"), std::string("a&b.exe"),
              std::string("100% sure.exe"), std::string("(paren) ^caret.exe"), kLongName})
            ASSERT_TRUE(CopyFileA("T:\\ZQPACK.EXE", (kBin + "\\" + name).c_str(), FALSE)) << name;
        CreateDirectoryA((kBin + "\\sub").c_str(), nullptr);
        const char *s = "Zq Vandrell";
        WritePrivateProfileStringA(s, "Options", "15,50199,1217462320,63,0,0", kIni.c_str());
        WritePrivateProfileStringA(s, "Language", "US", kIni.c_str());
        WritePrivateProfileStringA(s, "PathL", kBin.c_str(), kIni.c_str());
        WritePrivateProfileStringA(s, "PathR", kFolder.c_str(), kIni.c_str());
        WritePrivateProfileStringA("GoTo", "1", "C:\\windows", kIni.c_str());
        WritePrivateProfileStringA("Run", "1", "older.exe", kIni.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIni.c_str());
        SetEnvironmentVariableA("ZQ_PACK_LOG", kLog.c_str());

        gCommandBeep = CountBeep;
        gExitTerminate = NoTerminate;
        gRunErrorBox = RecordBox;
        gMainWindow = nullptr;
        thread = CreateThread(nullptr, 0, AppThread, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        ASSERT_TRUE(WaitFor([] { return gMainWindow && IsWindowVisible(gMainWindow); }));
        main = gMainWindow;
        ASSERT_TRUE(WaitFor([] { return gApp && gApp->panels[0].entryCount >= 7; }));
    }

    static void TearDownTestSuite() {
        if (thread) {
            PostMessageA(main, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
            CloseHandle(thread);
            thread = nullptr;
        }
        SetEnvironmentVariableA("ZQ_PACK_LOG", nullptr);
        RemoveTree(kFolder);
    }

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

    // Posts a command and waits for the dialog it opens.
    static HWND OpenDialog(int command, const char *caption) {
        PostMessageA(main, WM_COMMAND, command, 0);
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = FindOwnWindow("#32770", caption)) != nullptr && IsWindowVisible(dialog); });
        return dialog;
    }
    static std::vector<std::string> ComboItems(HWND combo) {
        std::vector<std::string> out;
        int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            char text[600] = "";
            SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)text);
            out.push_back(text);
        }
        return out;
    }
    static std::string Text(HWND window) {
        char text[600] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
};
HANDLE RunGoTo::thread;
HWND RunGoTo::main;

// Typed lines as the Run dialog starts them, and the program that ran.
TEST_F(RunGoTo, TypedLinesStartTheProgramTheyNameWithTheirArguments) {
    const struct {
        std::string typed, program;
        std::vector<std::string> args;
    } cases[] = {
        {kBin + "\\my prog.exe", kBin + "\\my prog.exe", {}},
        {"\"" + kBin + "\\my prog.exe\" one \"two three\"", kBin + "\\my prog.exe", {"one", "two three"}},
        {kBin + "\\a&b.exe x&y %PATH% ^z", kBin + "\\a&b.exe", {"x&y", "%PATH%", "^z"}},
        {"zqlog.exe \"quoted arg\" (p)", kBin + "\\zqlog.exe", {"quoted arg", "(p)"}},
        {"100% sure.exe", kBin + "\\100% sure.exe", {}},
        {kBin + "\\(paren) ^caret.exe", kBin + "\\(paren) ^caret.exe", {}},
        {kBin + "\\" + kLongName, kBin + "\\" + kLongName, {}},
    };
    SetCurrentDirectoryA(kBin.c_str());
    for (const auto &c : cases) {
        size_t before = Runs().size();
        ASSERT_EQ(RunTypedCommand(nullptr, c.typed.c_str(), kBin.c_str(), SW_SHOWMINNOACTIVE), 0u) << c.typed;
        ASSERT_TRUE(WaitRuns(before + 1)) << c.typed;
        Started s = Runs()[before];
        EXPECT_EQ(_stricmp(s.program.c_str(), c.program.c_str()), 0) << c.typed << " ran " << s.program;
        EXPECT_EQ(s.args, c.args) << c.typed << " as " << s.line;
    }
    // A missing program is an error, and nothing after an "&" runs.
    EXPECT_NE(RunTypedCommand(nullptr, ("nosuch.exe & " + kBin + "\\zqlog.exe injected").c_str(), kBin.c_str(),
                              SW_SHOWMINNOACTIVE),
              0u);
}

// The command interpreter gets only its own commands on plain lines; a
// missing program never turns into a started interpreter.
TEST_F(RunGoTo, TheInterpreterFallbackRunsOnlyPlainBuiltInCommands) {
    const std::string zqlog = "\"" + kBin + "\\zqlog.exe\"";
    const struct {
        std::string line;
        bool started;
        const char *made; // folder the line makes below kFolder, or null
    } cases[] = {
        {"nosuch_program_zq.exe", false, nullptr},
        {"nosuch_program_zq & " + zqlog + " injected", false, nullptr},
        {"mkdir made", true, "made"},
        {"mkdir \"made with blanks\"", true, "made with blanks"},
        {"mkdir one&mkdir two", false, nullptr},
        {"mkdir \"100%PATH%\"", false, nullptr},
        {"mkdir x | " + zqlog + " injected", false, nullptr},
    };
    for (const auto &c : cases) {
        DWORD code = 99;
        DWORD id = RunCommandLine(c.line.c_str(), kFolder.c_str(), SW_HIDE, &code, 'C');
        EXPECT_EQ(id != 0, c.started) << c.line;
        if (c.made)
            EXPECT_TRUE(IsDir(kFolder + "\\" + c.made)) << c.line;
    }
    for (const char *never : {"one", "two", "100%PATH%", "x"})
        EXPECT_FALSE(IsDir(kFolder + "\\" + never)) << never;
    // A program named with "&" starts itself, quoted, and gets its arguments.
    size_t before = Runs().size();
    DWORD code = 99;
    EXPECT_NE(RunCommandLine(("\"" + kBin + "\\a&b.exe\" last").c_str(), kFolder.c_str(), SW_HIDE, &code, 'C'),
              0u);
    ASSERT_TRUE(WaitRuns(before + 1));
    for (const Started &s : Runs())
        for (const std::string &a : s.args)
            EXPECT_NE(a, "injected") << s.line;
    EXPECT_EQ(Runs()[before].args, std::vector<std::string>{"last"});
}

// What the user types at the command line is the user's own command: the
// interpreter gets a line with its syntax as typed, a missing program is
// said so.
TEST_F(RunGoTo, TypedCommandLinesKeepTheInterpretersSyntax) {
    const std::string folder = kFolder + "\\typed";
    CreateDirectoryA(folder.c_str(), nullptr);
    size_t boxes = BoxCount();
    EXPECT_EQ(RunUserLine(nullptr, "mkdir first & mkdir second", folder.c_str(), SW_HIDE, 'C'), 0u);
    EXPECT_TRUE(WaitFor([&] { return IsDir(folder + "\\first") && IsDir(folder + "\\second"); }));
    EXPECT_EQ(BoxCount(), boxes);
    EXPECT_NE(RunUserLine(nullptr, "nosuch_program_zq.exe one", folder.c_str(), SW_HIDE, 'C'), 0u);
    ASSERT_EQ(BoxCount(), boxes + 1);
    {
        std::lock_guard<std::mutex> lock(gBoxLock);
        EXPECT_EQ(gBoxes.back().rfind("nosuch_program_zq.exe|", 0), 0u) << gBoxes.back();
    }
    size_t before = Runs().size();
    EXPECT_EQ(RunUserLine(nullptr, ("\"" + kBin + "\\a&b.exe\" x&y").c_str(), folder.c_str(), SW_HIDE, 'C'), 0u);
    ASSERT_TRUE(WaitRuns(before + 1));
    EXPECT_EQ(Runs()[before].args, std::vector<std::string>{"x&y"});
}

TEST_F(RunGoTo, OpenAndStartFileQuoteLongPathsWithBlanks) {
    for (int way = 0; way < 2; way++) {
        for (const std::string &name : {kLongName, std::string("a&b.exe"), std::string("100% sure.exe")}) {
            std::string path = kBin + "\\" + name;
            size_t before = Runs().size();
            if (way == 0)
                RunOpenFile(nullptr, path.c_str(), kFolder.c_str(), SW_SHOWMINNOACTIVE);
            else
                EXPECT_EQ(RunStartFile(nullptr, path.c_str()), 0u) << path;
            ASSERT_TRUE(WaitRuns(before + 1)) << path;
            Started s = Runs()[before];
            EXPECT_EQ(_stricmp(s.program.c_str(), path.c_str()), 0) << path << " ran " << s.program;
            EXPECT_TRUE(s.args.empty()) << s.line;
        }
    }
    EXPECT_NE(RunStartFile(nullptr, (kBin + "\\missing program.exe").c_str()), 0u);
}

TEST_F(RunGoTo, RunDialogStartsTheCursorFileAndKeepsItsHistory) {
    gApp->activePanel = 0;
    // Folders and ".." have nothing to run.
    ASSERT_TRUE(CursorOn("sub"));
    LONG beeps = gBeeps;
    SendMessageA(main, WM_COMMAND, 101, 0);
    EXPECT_EQ(gBeeps, beeps + 1);
    EXPECT_EQ(FindOwnWindow("#32770", " Run"), nullptr);

    ASSERT_TRUE(CursorOn("my prog.exe"));
    HWND dialog = OpenDialog(101, " Run");
    ASSERT_NE(dialog, nullptr);
    HWND combo = GetDlgItem(dialog, kIdRunCombo);
    EXPECT_EQ(Text(combo), kBin + "\\my prog.exe");
    EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{kBin + "\\my prog.exe", "older.exe"}));

    // An empty text does nothing; a program that is not there is named in a
    // box and the dialog stays.
    SetWindowTextA(combo, "");
    SendMessageA(dialog, WM_COMMAND, 99, 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    size_t boxes = BoxCount();
    SetWindowTextA(combo, "nosuch program.exe & zqlog.exe injected");
    SendMessageA(dialog, WM_COMMAND, 99, 0);
    EXPECT_EQ(BoxCount(), boxes + 1);
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));

    size_t before = Runs().size();
    std::string typed = "\"" + kBin + "\\my prog.exe\" hello \"big world\"";
    SetWindowTextA(combo, typed.c_str());
    SendMessageA(dialog, WM_COMMAND, 99, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    ASSERT_TRUE(WaitRuns(before + 1));
    Started s = Runs()[before];
    EXPECT_EQ(_stricmp(s.program.c_str(), (kBin + "\\my prog.exe").c_str()), 0) << s.program;
    EXPECT_EQ(s.args, (std::vector<std::string>{"hello", "big world"}));
    EXPECT_EQ(IniValue("Run", "1"), typed);
    EXPECT_EQ(IniValue("Run", "2"), "nosuch program.exe & zqlog.exe injected");
    for (const Started &r : Runs())
        for (const std::string &a : r.args)
            EXPECT_NE(a, "injected") << r.line;

    // Cancel starts nothing.
    dialog = OpenDialog(101, " Run");
    ASSERT_NE(dialog, nullptr);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
}

std::string gVerb, gFile, gDir;
BOOL gShellResult;
BOOL WINAPI RecordShell(SHELLEXECUTEINFOA *info) {
    gVerb = info->lpVerb ? info->lpVerb : "";
    gFile = info->lpFile ? info->lpFile : "";
    gDir = info->lpDirectory ? info->lpDirectory : "";
    SetLastError(ERROR_NO_ASSOCIATION);
    return gShellResult;
}

TEST_F(RunGoTo, PrintHandsTheCursorFileToTheShellsPrintVerb) {
    gApp->activePanel = 0;
    ASSERT_EQ(std::string(gApp->panelPath[0]), kBin);
    auto saved = gRunShellExecute;
    gRunShellExecute = RecordShell;
    gShellResult = TRUE;
    ASSERT_TRUE(CursorOn("100% sure.exe"));
    size_t boxes = BoxCount();
    SendMessageA(main, WM_COMMAND, 110, 0);
    EXPECT_EQ(gVerb, "print");
    EXPECT_EQ(gFile, kBin + "\\100% sure.exe");
    EXPECT_EQ(gDir, kBin);
    EXPECT_EQ(BoxCount(), boxes);
    // A file the shell cannot print: its error, never silence.
    gShellResult = FALSE;
    SendMessageA(main, WM_COMMAND, 110, 0);
    EXPECT_EQ(BoxCount(), boxes + 1);
    // A folder has nothing to print.
    gFile.clear();
    ASSERT_TRUE(CursorOn("sub"));
    LONG beeps = gBeeps;
    SendMessageA(main, WM_COMMAND, 110, 0);
    EXPECT_EQ(gBeeps, beeps + 1);
    EXPECT_EQ(gFile, "");
    gRunShellExecute = saved;
}


std::vector<std::string> TempLists() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "Zq";
    std::vector<std::string> out;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.txt").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do
            out.push_back(folder + "\\" + data.cFileName);
        while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return out;
}

TEST_F(RunGoTo, DirectoryListingWritesThePanelsListToATextFile) {
    gApp->activePanel = 0;
    ASSERT_EQ(std::string(gApp->panelPath[0]), kBin);
    std::vector<std::string> before = TempLists();
    SendMessageA(main, WM_COMMAND, 322, 0);
    std::vector<std::string> after = TempLists();
    std::string made;
    for (const std::string &f : after)
        if (std::find(before.begin(), before.end(), f) == before.end())
            made = f;
    ASSERT_FALSE(made.empty());
    std::string text = ReadAll(made);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], kBin);
    // Full view: attributes, size and stamp in fixed columns, then the name.
    std::vector<std::string> names;
    for (size_t i = 1; i < lines.size(); i++) {
        ASSERT_GT(lines[i].size(), 44u) << lines[i];
        EXPECT_EQ(lines[i].substr(41, 3), "   ") << lines[i];
        names.push_back(lines[i].substr(44));
        if (names.back() == "my prog.exe") {
            WIN32_FILE_ATTRIBUTE_DATA data;
            ASSERT_TRUE(GetFileAttributesExA((kBin + "\\my prog.exe").c_str(), GetFileExInfoStandard, &data));
            std::string digits;
            for (char c : lines[i].substr(6, 15))
                if (isdigit((unsigned char)c))
                    digits += c;
            EXPECT_EQ(digits, std::to_string(data.nFileSizeLow)) << lines[i];
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"(paren) ^caret.exe", "100% sure.exe", "a&b.exe", kLongName,
                                         "my prog.exe", "sub", "zqlog.exe"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST_F(RunGoTo, GoToMovesThePanelOrOpensTheFileAndKeepsItsHistory) {
    gApp->activePanel = 0;
    HWND dialog = OpenDialog(324, " Go to");
    ASSERT_NE(dialog, nullptr);
    HWND combo = GetDlgItem(dialog, kIdGoToCombo);
    EXPECT_EQ(Text(combo), "C:\\windows"); // the last place, selected
    // A place that is not there: its error, and the dialog stays.
    size_t boxes = BoxCount();
    SetWindowTextA(combo, (kFolder + "\\not here").c_str());
    SendMessageA(dialog, WM_COMMAND, 99, 0);
    EXPECT_EQ(BoxCount(), boxes + 1);
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));

    SetWindowTextA(combo, kOther.c_str());
    SendMessageA(dialog, WM_COMMAND, 99, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(std::string(gApp->panelPath[0]), kOther);
    EXPECT_EQ(IniValue("GoTo", "1"), kOther);
    EXPECT_EQ(IniValue("GoTo", "2"), "C:\\windows");

    // A program opens through the shell and the panel stays.
    dialog = OpenDialog(324, " Go to");
    ASSERT_NE(dialog, nullptr);
    combo = GetDlgItem(dialog, kIdGoToCombo);
    EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{kOther, "C:\\windows"}));
    size_t before = Runs().size();
    std::string program = kBin + "\\a&b.exe";
    SetWindowTextA(combo, program.c_str());
    SendMessageA(dialog, WM_COMMAND, 99, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    ASSERT_TRUE(WaitRuns(before + 1));
    EXPECT_EQ(_stricmp(Runs()[before].program.c_str(), program.c_str()), 0) << Runs()[before].line;
    EXPECT_EQ(std::string(gApp->panelPath[0]), kOther);
    EXPECT_EQ(IniValue("GoTo", "1"), program);
}

} // namespace
