// Core helpers on Windows: whole files, line reading from a file, shared
// memory across processes, locale separators from the registry, paths on
// real drives, message boxes, dialog chores and window placement.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/DateTime.h"
#include "base/Memory.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileHelpers.h"

// A fresh folder per run: Wine hands out the same small process ids again.
static std::string TempDir() {
    static std::string path;
    if (path.empty()) {
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        for (unsigned n = GetTickCount();; n++) {
            path = std::string(dir) + "app-core-" + std::to_string(n) + "\\";
            if (CreateDirectoryA(path.c_str(), nullptr))
                break;
        }
    }
    return path;
}

// Removes the run's folder when the program ends.
class TempDirCleanup : public ::testing::Environment {
  public:
    void TearDown() override {
        std::string dir = TempDir();
        dir.back() = 0; // double-terminated list for SHFileOperation
        dir.push_back(0);
        SHFILEOPSTRUCTA op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = dir.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        SHFileOperationA(&op);
    }
};
static ::testing::Environment *const gTempCleanup = ::testing::AddGlobalTestEnvironment(new TempDirCleanup);

static void WriteFileBytes(const std::string &path, const std::string &bytes) {
    ASSERT_TRUE(FileWriteAll(path.c_str(), bytes.data(), (uint32_t)bytes.size()));
}

static std::string ChildPath() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    return path.substr(0, path.find_last_of("\\/") + 1) + "app_core_child.exe";
}

// Runs the child with `args`; returns its exit code (-1 when it did not start).
static int RunChild(const std::string &args) {
    std::string command = "\"" + ChildPath() + "\" " + args;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(ChildPath().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = (DWORD)-1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}

// Waits for the next message box of this process, reads its caption and
// text and presses its default button.
struct BoxWatcher {
    std::string caption, text;
    HANDLE thread = nullptr;
    // Other test programs share the desktop: only a box of this process counts.
    static BOOL CALLBACK FindOwnBox(HWND window, LPARAM param) {
        char cls[16];
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == GetCurrentProcessId() && GetClassNameA(window, cls, sizeof cls) && strcmp(cls, "#32770") == 0) {
            *reinterpret_cast<HWND *>(param) = window;
            return FALSE;
        }
        return TRUE;
    }
    static DWORD WINAPI Run(void *param) {
        BoxWatcher *w = static_cast<BoxWatcher *>(param);
        for (int i = 0; i < 500; i++) {
            HWND box = nullptr;
            EnumWindows(FindOwnBox, (LPARAM)&box);
            if (box && IsWindowVisible(box)) {
                char buf[512];
                GetWindowTextA(box, buf, sizeof buf);
                w->caption = buf;
                GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
                w->text = buf;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(20);
        }
        return 1;
    }
    void Start() { thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    void Finish() {
        WaitForSingleObject(thread, 15000);
        CloseHandle(thread);
    }
};

// ---- whole files and lines ----------------------------------------------------

TEST(WholeFile, ReadAllAndWriteAll) {
    std::string dir = TempDir();
    std::string empty = dir + "empty.bin";
    WriteFileBytes(empty, "");
    uint32_t len = 77;
    char *block = FileReadAll(empty.c_str(), &len);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(block[0], 0);
    MemFree(&block);

    std::string data;
    for (int i = 0; i < 70000; i++)
        data += (char)(i * 7);
    std::string full = dir + "data.bin";
    WriteFileBytes(full, data);
    block = FileReadAll(full.c_str(), &len);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(len, data.size());
    EXPECT_EQ(memcmp(block, data.data(), len), 0);
    EXPECT_EQ(block[len], 0);
    MemFree(&block);

    EXPECT_EQ(FileReadAll((dir + "missing.bin").c_str(), &len), nullptr);
    EXPECT_EQ(FileWriteAll((dir + "no\\such\\folder.bin").c_str(), "x", 1), 0);
}

TEST(WholeFile, RefusesAFileTooLargeForOneBlock) {
    std::string path = TempDir() + "huge.bin";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LONG high = 1; // 4 GB + 5 bytes, sparse on the host
    SetFilePointer(h, 5, &high, FILE_BEGIN);
    bool sized = SetEndOfFile(h) != FALSE;
    CloseHandle(h);
    ASSERT_TRUE(sized);
    BoxWatcher w;
    w.Start();
    uint32_t len = 77;
    EXPECT_EQ(FileReadAll(path.c_str(), &len), nullptr);
    w.Finish();
    EXPECT_EQ(w.text, "Memory error.");
    EXPECT_EQ(len, 77u);
    DeleteFileA(path.c_str());
}

TEST(WholeFile, LinesFromAFile) {
    std::string dir = TempDir();
    std::string path = dir + "lines.txt";
    std::string longLine(9000, 'L');
    WriteFileBytes(path, "one\r\ntwo\n" + longLine + "\r\nlast");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LineReader *r = new LineReader();
    r->file = h;
    r->remaining = GetFileSize(h, nullptr);
    std::vector<std::string> lines;
    while (char *line = FileReadLine(r)) {
        size_t n = strcspn(line, "\r\n");
        lines.emplace_back(line, n);
        if (lines.size() > 50)
            break;
    }
    CloseHandle(h);
    delete r;
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines.back(), "last");
    std::string joined;
    for (size_t i = 2; i + 1 < lines.size(); i++) {
        EXPECT_LE(lines[i].size(), 4095u);
        joined += lines[i];
    }
    EXPECT_EQ(joined, longLine);
}

// ---- shared memory ------------------------------------------------------------

TEST(SharedMemory, SecondProcessSeesTheSameBytes) {
    std::string name = "ZqCoreTest" + std::to_string(GetCurrentProcessId());
    SharedMemory block = {};
    EXPECT_EQ(MemSharedOpen(&block, name.c_str(), 520), 0);
    ASSERT_NE(block.view, nullptr);
    strcpy(static_cast<char *>(block.view), "from the parent");
    // 1 from MemSharedOpen (the block existed) + 10 (the parent's bytes seen).
    EXPECT_EQ(RunChild("shm " + name), 11);
    EXPECT_STREQ(static_cast<char *>(block.view) + 260, "from the child");
    MemSharedClose(&block);
    EXPECT_EQ(block.view, nullptr);
    MemSharedClose(&block);
    MemSharedClose(nullptr);
}

// ---- separators from the user's locale ------------------------------------------

// Sets sDecimal and sThousand for the life of the object, then puts back
// what was there (or removes the values that were not).
class IntlOverride {
  public:
    IntlOverride(const char *decimal, const char *thousand) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        Save("sDecimal", decimal, 0);
        Save("sThousand", thousand, 1);
    }
    ~IntlOverride() {
        const char *names[2] = {"sDecimal", "sThousand"};
        for (int i = 0; i < 2; i++) {
            if (had_[i])
                RegSetValueExA(key_, names[i], 0, REG_SZ, (const BYTE *)old_[i], (DWORD)strlen(old_[i]) + 1);
            else
                RegDeleteValueA(key_, names[i]);
        }
        RegCloseKey(key_);
    }

  private:
    void Save(const char *name, const char *value, int i) {
        DWORD size = sizeof old_[i];
        had_[i] = RegQueryValueExA(key_, name, nullptr, nullptr, (BYTE *)old_[i], &size) == ERROR_SUCCESS;
        RegSetValueExA(key_, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1);
    }
    HKEY key_ = nullptr;
    bool had_[2] = {};
    char old_[2][16] = {};
};

static std::string FormatInChild(const char *decimal, const char *thousand) {
    std::string out = TempDir() + "fmt-" + std::string(1, decimal[0]) + ".txt";
    {
        IntlOverride intl(decimal, thousand);
        EXPECT_EQ(RunChild("fmt \"" + out + "\""), 0);
    }
    uint32_t len = 0;
    char *text = FileReadAll(out.c_str(), &len);
    std::string result = text ? text : "";
    MemFree(&text);
    return result;
}

TEST(Separators, SizesAndNumbersFollowTheRegistry) {
    EXPECT_EQ(FormatInChild(",", "."), "[1,50 KB ]\n[15,5 KB ]\n[1.234.567]\n[5.000.000.000]\n");
    EXPECT_EQ(FormatInChild(".", ","), "[1.50 KB ]\n[15.5 KB ]\n[1,234,567]\n[5,000,000,000]\n");
    EXPECT_EQ(FormatInChild(",", " "), "[1,50 KB ]\n[15,5 KB ]\n[1 234 567]\n[5 000 000 000]\n");
}

TEST(Separators, DirSizeAndFallbacks) {
    char out[kNumberTextSize];
    uint64_t stored = 1001;
    StrFormatDirSize(&stored, out); // gApp is null here: "," and "."
    EXPECT_STREQ(out, "1.000");
    stored = 0;
    StrFormatDirSize(&stored, out);
    EXPECT_STREQ(out, "0");
    char size[kSizeTextSize];
    uint64_t bytes = 1536;
    StrFormatSize(size, &bytes, 1);
    EXPECT_STREQ(size, "1,50 KB free");
}

TEST(Dates, DosDateTimeInTheUserFormat) {
    char out[64];
    StrFormatDosDateTime(out, DosDateMake(24, 12, 2021), DosTimeMake(18, 45, 30), sizeof out);
    EXPECT_NE(strstr(out, "2021"), nullptr) << out;
    EXPECT_NE(strstr(out, "  "), nullptr) << out;
    EXPECT_EQ(strstr(out, "30"), nullptr) << out; // no seconds
    StrFormatDosDateTime(out, 0xFFFF, 0xFFFF, sizeof out);
    EXPECT_STREQ(out, "");
}

TEST(Stamps, CompareFilesOnDisk) {
    std::string dir = TempDir();
    std::string a = dir + "a.txt", b = dir + "b.txt";
    WriteFileBytes(a, "aaaa");
    WriteFileBytes(b, "bbbb");
    auto setTime = [](const std::string &path, WORD hour, WORD second) {
        SYSTEMTIME st = {2020, 6, 0, 10, hour, 0, second, 0};
        FILETIME local, utc;
        SystemTimeToFileTime(&st, &local);
        LocalFileTimeToFileTime(&local, &utc);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(h, nullptr, nullptr, &utc);
        CloseHandle(h);
    };
    setTime(a, 10, 0);
    setTime(b, 10, 2);
    FileStampPair pair = {};
    EXPECT_EQ(FileCompareStamps(a.c_str(), b.c_str(), &pair), kStampSame);
    EXPECT_EQ(pair.sourceDate, DosDateMake(10, 6, 2020));
    EXPECT_EQ(pair.sourceSize, 4u);
    WriteFileBytes(b, "bbbbb");
    setTime(b, 12, 0);
    pair = {};
    EXPECT_EQ(FileCompareStamps(a.c_str(), b.c_str(), &pair), kStampSourceOlder);
    pair = {};
    EXPECT_EQ(FileCompareStamps(b.c_str(), a.c_str(), &pair), kStampSourceNewer);
    pair = {};
    EXPECT_EQ(FileCompareStamps(a.c_str(), (dir + "none").c_str(), &pair), kStampUnknown);
    pair = {};
    EXPECT_EQ(FileCompareStamps(a.c_str(), dir.c_str(), &pair), kStampUnknown);
}

// ---- paths on real drives ------------------------------------------------------

TEST(PathsWin, TempFolderAndUniqueNames) {
    char temp[260];
    PathGetTempFolder(temp, sizeof temp);
    size_t len = strlen(temp);
    ASSERT_GT(len, 3u);
    EXPECT_STREQ(temp + len - 3, "Zq\\");

    std::string dir = TempDir();
    char name[260];
    strcpy(name, (dir + "template.dat").c_str());
    EXPECT_EQ(PathMakeUniqueName("x.tmp", name, sizeof name), 1u);
    EXPECT_EQ(std::string(name), dir + "1.tmp");
    WriteFileBytes(name, "taken");
    WriteFileBytes(dir + "2.tmp", "taken");
    strcpy(name, (dir + "other").c_str());
    EXPECT_EQ(PathMakeUniqueName("y.tmp", name, sizeof name), 3u);
    EXPECT_EQ(std::string(name), dir + "3.tmp");
    strcpy(name, (dir + "other").c_str());
    EXPECT_EQ(PathMakeUniqueName("noext", name, sizeof name), 1u);
    EXPECT_EQ(std::string(name), dir + "1");
    name[0] = 0;
    PathMakeUniqueName("z.txt", name, sizeof name);
    EXPECT_EQ(strncmp(name, temp, strlen(temp)), 0) << name;
}

TEST(PathsWin, ShortNames) {
    std::string dir = TempDir();
    std::string longName = dir + "a rather long file name.text";
    WriteFileBytes(longName, "x");
    char out[260], expect[260];
    EXPECT_EQ(PathGetShortName(longName.c_str(), out, sizeof out), 0);
    GetShortPathNameA(longName.c_str(), expect, sizeof expect);
    EXPECT_STREQ(out, expect);
    EXPECT_EQ(PathGetShortName("C:\\dir\\..", out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\dir\\..");
    std::string missing = dir + "missing long name.text";
    EXPECT_EQ(PathGetShortName(missing.c_str(), out, sizeof out), 2);
    EXPECT_EQ(std::string(out), missing);
    char small[8];
    EXPECT_EQ(PathGetShortName(missing.c_str(), small, sizeof small), kAppendCut);
    EXPECT_EQ(strlen(small), 7u);
}

TEST(PathsWin, EnterNearestExistingFolder) {
    char saved[260];
    GetCurrentDirectoryA(sizeof saved, saved);
    char buffer[260] = "C:\\gone\\deeper\\x";
    EXPECT_EQ(DirEnterNearestIn(buffer, false), 0);
    EXPECT_STREQ(buffer, "C:\\");
    char current[260];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(current, "C:\\");

    std::string dir = TempDir();
    std::string inside = dir + "gone\\x";
    strcpy(buffer, inside.c_str());
    EXPECT_EQ(DirEnterNearestIn(buffer, false), 0);
    EXPECT_EQ(std::string(buffer) + "\\", dir);

    strcpy(buffer, "Q:\\nothing\\here"); // no such drive: the Windows drive
    EXPECT_EQ(DirEnterNearestIn(buffer, false), 0);
    EXPECT_STREQ(buffer, "C:\\");

    strcpy(buffer, "/pub/files"); // FTP folder of a nested panel
    EXPECT_EQ(DirEnterNearestIn(buffer, true), 0);
    EXPECT_STREQ(buffer, "/pub/files");
    strcpy(buffer, "C:");
    EXPECT_EQ(DirEnterNearestIn(buffer, true), 0);
    EXPECT_STREQ(buffer, "C:\\");

    buffer[0] = 0;
    EXPECT_EQ(DirEnterNearestIn(buffer, false), 0);
    EXPECT_STREQ(buffer, "C:\\"); // the current folder
    SetCurrentDirectoryA(saved);
}

TEST(PathsWin, DriveLettersAndNestedPanels) {
    AppState *saved = gApp;
    AppState *app = static_cast<AppState *>(MemAlloc(sizeof(AppState)));
    ASSERT_NE(app, nullptr);
    gApp = app;
    app->drives[27].kind = kDriveFtp;
    app->drives[37].kind = kDriveCeDevice;
    EXPECT_EQ(DriveBarLetter(3, 'A'), 'D');
    EXPECT_EQ(DriveBarLetter(27, 'A'), '2');
    EXPECT_EQ(DriveBarLetter(37, 'A'), ' ');
    EXPECT_EQ(DriveBarLetter(36, 'A'), '\\');
    LocationNode node = {};
    node.kind = kLocationFtp;
    app->panels[1].location = &node;
    char buffer[260] = "/pub";
    EXPECT_EQ(DirEnterNearest(buffer, 1), 0); // an FTP folder stays as it is
    EXPECT_STREQ(buffer, "/pub");
    char saveDir[260];
    GetCurrentDirectoryA(sizeof saveDir, saveDir);
    EXPECT_EQ(DirEnterNearest(buffer, 0), 0); // plain panel: a rootless path ends on the Windows drive
    EXPECT_STREQ(buffer, "C:\\");
    SetCurrentDirectoryA(saveDir);
    gApp = saved;
    MemFree(&app);
}

TEST(StringsWin, UpperCase) {
    char text[] = "abc xyz.txt";
    EXPECT_EQ(StrUpper(text), 11);
    EXPECT_STREQ(text, "ABC XYZ.TXT");
}

// ---- message boxes ---------------------------------------------------------------

TEST(MessageBoxes, CaptionShowsTheNamePart) {
    struct {
        const char *caption, *shown;
    } cases[] = {{"C:\\TOOLS\\prog", "prog"}, {"C:\\TOOLS\\", "C:\\TOOLS\\"}, {"a/b", "b"}, {"plain", "plain"}};
    for (const auto &c : cases) {
        EXPECT_STREQ(MsgBoxCaptionName(c.caption), c.shown);
        BoxWatcher w;
        w.Start();
        EXPECT_EQ(MsgBox(nullptr, "Hello there", c.caption, MB_OK), IDOK);
        w.Finish();
        EXPECT_EQ(w.caption, c.shown);
        EXPECT_EQ(w.text, "Hello there");
    }
    EXPECT_EQ(MsgBox(nullptr, "", "x", MB_OK), IDCANCEL);
    EXPECT_EQ(MsgBox(nullptr, nullptr, "x", MB_OK), IDCANCEL);
}

TEST(MessageBoxes, TextById) {
    char expect[512] = "";
    LangGetText(BuiltinLanguageTables[kBuiltinGerman], kTextIdLanguageName, expect, sizeof expect);
    ASSERT_NE(expect[0], 0);
    BoxWatcher w;
    w.Start();
    MsgBoxText(nullptr, BuiltinLanguageTables[kBuiltinGerman], kTextIdLanguageName, "Title", MB_OK);
    w.Finish();
    EXPECT_EQ(w.text, expect);
    EXPECT_EQ(w.caption, "Title");
    EXPECT_EQ(MsgBoxId(nullptr, 59999, "x", MB_OK), IDCANCEL); // no such text: no box
}

// ---- window and dialog helpers --------------------------------------------------

class Windows : public ::testing::Test {
  protected:
    void SetUp() override {
        parent = CreateWindowA("STATIC", "parent", WS_OVERLAPPEDWINDOW, 100, 100, 600, 400, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }
    HWND parent = nullptr;
};

TEST_F(Windows, DocumentTitles) {
    char out[200];
    WndFormatDocTitle(out, sizeof out, "Hex", "", "", "Untitled");
    EXPECT_STREQ(out, "Hex - (Untitled) : (Untitled)");
    WndFormatDocTitle(out, sizeof out, "Hex", "C:\\data\\file.bin", nullptr, "Untitled");
    EXPECT_STREQ(out, "Hex - C:\\data\\file.bin");
    WndFormatDocTitle(out, sizeof out, "Diff", "C:\\a very long folder name\\and a long file name.txt", "b",
                      "Untitled");
    EXPECT_STREQ(out, "Diff - C:\\a v...d a long file name.txt : b");

    char name[64] = "";
    LangGetText(BuiltinLanguageTables[kBuiltinEnglish], kTextIdLanguageName, name, sizeof name);
    WndSetDocTitle(parent, kTextIdLanguageName, "", "");
    char caption[200];
    GetWindowTextA(parent, caption, sizeof caption);
    EXPECT_EQ(std::string(caption), std::string(name) + " - (Untitled) : (Untitled)");
}

TEST_F(Windows, RelativePlacement) {
    RECT ref = {100, 100, 700, 500}, desk = {0, 0, 1024, 768};
    struct {
        int h, v;
        LONG x, y;
    } cases[] = {
        {5, 5, 300, 250}, {1, 6, 500, 100}, {2, 7, 100, 400}, {3, 8, 433, 150}, {4, 9, 166, 350},
    };
    for (const auto &c : cases) {
        POINT p = WndRelativePosition(ref, 200, 100, c.h, c.v, desk);
        EXPECT_EQ(p.x, c.x) << c.h;
        EXPECT_EQ(p.y, c.y) << c.v;
    }
    // Larger than the reference: no negative free room; kept inside the desktop.
    POINT p = WndRelativePosition(ref, 800, 100, 5, 5, desk);
    EXPECT_EQ(p.x, 100);
    p = WndRelativePosition({900, 700, 1000, 760}, 300, 200, 1, 7, desk);
    EXPECT_EQ(p.x, 724);
    EXPECT_EQ(p.y, 568);
    p = WndRelativePosition({-500, -500, -400, -400}, 50, 50, 2, 6, desk);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);

    HWND child = CreateWindowA("STATIC", "c", WS_POPUP, 0, 0, 200, 100, parent, nullptr, nullptr, nullptr);
    WndPlaceRelative(parent, child, 2, 6);
    RECT pr, cr;
    GetWindowRect(parent, &pr);
    GetWindowRect(child, &cr);
    EXPECT_EQ(cr.left, pr.left);
    EXPECT_EQ(cr.top, pr.top);
    EXPECT_EQ(cr.right - cr.left, 200);
    DestroyWindow(child);
}

TEST_F(Windows, StoreAndRestorePlacement) {
    WindowPos pos = {};
    WndStorePos(parent, &pos);
    EXPECT_EQ(pos.right - pos.left, 600);
    EXPECT_EQ(pos.maximised, 0);
    pos.left = 50, pos.top = 60, pos.right = 450, pos.bottom = 360, pos.show = SW_SHOWNORMAL;
    WndRestorePos(parent, &pos);
    WindowPos back = {};
    WndStorePos(parent, &back);
    EXPECT_EQ(back.left, 50);
    EXPECT_EQ(back.bottom, 360);
    EXPECT_EQ(WndMove(nullptr, 0, 0, 1, 1), 0);
    EXPECT_NE(WndMove(parent, 10, 10, 300, 200), 0);
    EXPECT_GT(WndGetClientHeight(parent), 0);
    ShowWindow(parent, SW_HIDE);
    EXPECT_EQ(WndGetClientHeight(parent), 0);
    EXPECT_EQ(WndInvalidateFrame(nullptr), 0);
    EXPECT_EQ(WndInvalidateFrame(parent), 1);
}

TEST_F(Windows, NoEraseSubclass) {
    HWND child = CreateWindowA("STATIC", "c", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, nullptr, nullptr, nullptr);
    WndSubclassNoErase(child);
    EXPECT_EQ(SendMessageA(child, WM_ERASEBKGND, 0, 0), 1);
    char text[8] = "";
    SendMessageA(child, WM_GETTEXT, sizeof text, (LPARAM)text); // passed on to STATIC
    EXPECT_STREQ(text, "c");
    DestroyWindow(child);
}

static std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    for (LRESULT i = 0, n = SendMessageA(combo, CB_GETCOUNT, 0, 0); i < n; i++) {
        char buf[64];
        SendMessageA(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)buf);
        items.push_back(buf);
    }
    return items;
}

TEST_F(Windows, ComboPutFirst) {
    HWND combo = CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWN, 0, 0, 100, 200, parent, (HMENU)10,
                               nullptr, nullptr);
    for (const char *s : {"one", "two", "three"})
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)s);
    DlgComboPutFirst(combo, "one");
    EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    DlgComboPutFirst(combo, "three");
    EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{"three", "one", "two"}));
    DlgComboPutFirst(combo, "TWO"); // only an exact match moves
    EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{"TWO", "three", "one", "two"}));
    DlgComboPutFirst(combo, "");
    DlgComboPutFirst(combo, nullptr);
    EXPECT_EQ(ComboItems(combo).size(), 4u);
}

TEST_F(Windows, ListBoxMovesAndLines) {
    HWND list = CreateWindowA("LISTBOX", "", WS_CHILD | LBS_NOTIFY, 0, 0, 100, 200, parent, (HMENU)11, nullptr,
                              nullptr);
    ListBoxAddLine(list, "%s %d", "line", 1);
    ListBoxAddLine(list, "line %d", 2);
    ListBoxAddLine(list, "line %d", 3);
    ListBoxAddLine(nullptr, "ignored");
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
    SendMessageA(list, LB_SETITEMDATA, 2, 333);
    DlgListBoxMoveUp(parent, 11);
    char buf[32];
    SendMessageA(list, LB_GETTEXT, 1, (LPARAM)buf);
    EXPECT_STREQ(buf, "line 3");
    EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 1, 0), 333);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
    DlgListBoxMoveDown(parent, 11);
    DlgListBoxMoveDown(parent, 11); // already last: beep, nothing moves
    SendMessageA(list, LB_GETTEXT, 2, (LPARAM)buf);
    EXPECT_STREQ(buf, "line 3");
    SendMessageA(list, LB_GETTEXT, 0, (LPARAM)buf);
    EXPECT_STREQ(buf, "line 1");
}

TEST_F(Windows, NumberEditAndEndCodes) {
    HWND edit = CreateWindowA("EDIT", "", WS_CHILD, 0, 0, 100, 20, parent, (HMENU)12, nullptr, nullptr);
    struct {
        const char *in, *out;
    } cases[] = {{"12abc", "12"}, {"42", "42"}, {"", ""}, {"-1", "4294967295"}, {"x", "0"}};
    for (const auto &c : cases) {
        SetWindowTextA(edit, c.in);
        DlgFixNumberEdit(parent, 12);
        char buf[32];
        GetWindowTextA(edit, buf, sizeof buf);
        EXPECT_STREQ(buf, c.out) << c.in;
    }
    EXPECT_EQ(DlgEndCodeFor(6, 0), 0);
    EXPECT_EQ(DlgEndCodeFor(1, 7), 7);
    EXPECT_EQ(DlgEndCodeFor(1, 5), 5);
    EXPECT_EQ(DlgEndCodeFor(1, 2), 2);
    EXPECT_EQ(DlgEndCodeFor(1, 12), 0);
    EXPECT_EQ(DlgEndCodeFor(7, 0), 7);
    EXPECT_EQ(DlgEndCodeFor(2, 0), 2);
}

TEST(Platform, VersionTests) {
    EXPECT_EQ(AppVersionIsXp(2, 5, 1), 1);
    EXPECT_EQ(AppVersionIsXp(2, 6, 1), 1);
    EXPECT_EQ(AppVersionIsXp(2, 5, 0), 0);
    EXPECT_EQ(AppVersionIsXp(2, 6, 0), 0);
    EXPECT_EQ(AppVersionIsXp(1, 5, 1), 0);
    EXPECT_EQ(AppIsWinNt(), 1);
    EXPECT_EQ(PanelOtherIndex(0), 1);
    EXPECT_EQ(PanelOtherIndex(1), 0);
    EXPECT_EQ(PanelOtherIndex(7), 0);
}
