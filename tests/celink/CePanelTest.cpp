// The device as a user meets it: a real panel window switched to the device
// entry, browsed with Enter and "..", and the copy, move and delete workers
// run on selections of a device panel. The rapi.dll stand-in plays the
// device over a scratch folder; its knobs drop the link in mid-transfer.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <thread>
#include <string>
#include <vector>

#include "AppState.h"
#include "CeLink.h"
#include "JobTestSupport.h"
#include "fileops/AttrJob.h"
#include "fileops/AttrRules.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/Job.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "base/Paths.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/CePanel.h"
#include "frontends/Libraries.h"
#include "panels/EntryBuild.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelWindow.h"
#include "tools/ExtPrograms.h"
#include "tools/TextEditor.h"
#include "wingui/WindowUtil.h"
#include "tests/OwnWindow.h"

namespace {

std::string gRoot, gDevice, gLocal;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgEditWatchEnded) {
        EditWatchOnEnded();
        return 0;
    }
    if (message == WM_SIZE) {
        PanelRelayoutAll();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

template <class F> bool WaitFor(F cond, DWORD limitMs = 20000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        PumpFor(10);
        if (cond()) return true;
    }
    return cond();
}

bool Connected(void*) {
    return gApp->ceConnected != 0;
}

// Takes the knobs as they stand now and waits for the link.
bool NoConnectRunning(void*) {
    return !CeConnectRunning();
}

// A new link, which reads the stand-in's knobs afresh (a connect already
// under way may have read them before the caller set them).
void Reconnect() {
    ASSERT_TRUE(PumpUntil(NoConnectRunning, nullptr, 20000));
    CeStartConnect();
    ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
}

struct Shown {
    uint64_t size;
    bool folder;
};
std::map<std::string, Shown> PanelEntries(int panel) {
    std::map<std::string, Shown> out;
    PanelIter it;
    for (FileEntry* e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        out[EntryName(e)] = {EntryIsFolder(e) ? 0 : FileEntrySize(e), EntryIsFolder(e)};
    PanelIterEnd(&it);
    return out;
}
std::string PanelPath(int panel);

std::vector<std::string> PanelNames(int panel) {
    std::vector<std::string> names;
    PanelIter it;
    for (FileEntry* e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        names.push_back(EntryName(e));
    PanelIterEnd(&it);
    return names;
}
// What the host folder behind a device folder holds, as a panel shows it.
std::map<std::string, Shown> HostEntries(const std::string& folder, bool withUp) {
    std::map<std::string, Shown> out;
    if (withUp) out[".."] = {0, true};
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return out;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        bool dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out[name] = {dir ? 0 : data.nFileSizeLow, dir};
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return out;
}
bool operator==(const Shown& a, const Shown& b) {
    return a.size == b.size && a.folder == b.folder;
}

// The panel's folder is `path` and the interface thread has taken in its
// list of `count` entries (its copy of the count follows WM_USER+1).
bool Listed(int panel, const char* path, uint32_t count) {
    return PanelPath(panel) == path && PanelListCount(panel) == count && gApp->panels[panel].entryCount == count;
}

std::string PanelPath(int panel) {
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    return path;
}

void CursorTo(int panel, const char* name) {
    std::vector<std::string> names = PanelNames(panel);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) gApp->cursorIndex[panel] = (uint32_t)i;
}

std::string CursorName(int panel) {
    char name[260] = "";
    PanelCursorName(panel, name, sizeof name);
    return name;
}

void Key(int panel, WPARAM vk) {
    SendMessageA(gApp->panels[panel].listWindow, WM_KEYDOWN, vk, 1);
}

// A tree of `count` files over a few nested folders.
void MakeTree(const std::string& root, int count) {
    CreateDirectoryA(root.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        std::string folder = root + "\\d" + std::to_string(i % 7);
        CreateDirectoryA(folder.c_str(), nullptr);
        if (i % 3 == 0) {
            folder += "\\sub";
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        WriteFileBytes(folder + "\\f" + std::to_string(i) + ".dat",
                       std::string((size_t)(i * 37 % 9000), (char)('a' + i % 26)) + std::to_string(i));
    }
}

// Both trees hold the same names and the same bytes.
void ExpectSameTree(const std::string& a, const std::string& b, int* files) {
    std::vector<std::string> na = ListNames(a), nb = ListNames(b);
    ASSERT_EQ(na, nb) << a << " vs " << b;
    for (const std::string& n : na) {
        std::string pa = a + "\\" + n, pb = b + "\\" + n;
        if (GetFileAttributesA(pa.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            ExpectSameTree(pa, pb, files);
        } else {
            EXPECT_TRUE(ReadFileBytes(pa) == ReadFileBytes(pb)) << pa;
            ++*files;
        }
    }
}

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, 0);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = (char)(x >> 16);
    }
    return bytes;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

void EmptyFolder(const std::string& folder) {
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
}

class CePanel : public ::testing::Test {
  protected:
    LocationNode deviceNode{};

    static void SetUpTestSuite() {
        JobTestInitApp();
        gRoot = JobTestScratch(("celink-panel-" + std::to_string(GetCurrentProcessId())).c_str());
        gDevice = gRoot + "\\device";
        gLocal = gRoot + "\\local";
        CreateDirectoryA(gDevice.c_str(), nullptr);
        CreateDirectoryA(gLocal.c_str(), nullptr);
        SetEnvironmentVariableA("ZQ_CE_ROOT", gDevice.c_str());
        gApp->panelOptions = kPanelShowTitle;
        gApp->changeNotify[0] = gApp->changeNotify[1] = INVALID_HANDLE_VALUE;
        gApp->panelFilter[0].allowedAttributes = gApp->panelFilter[1].allowedAttributes = 55;
        strcpy(gApp->panelPath[0], gLocal.c_str());
        strcpy(gApp->panelPath[1], gLocal.c_str());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = gApp->hInstance;
        wc.lpszClassName = "CePanelTestMain";
        RegisterClassA(&wc);
        gMainWindow = CreateWindowA("CePanelTestMain", "device panels", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                    0, 0, 900, 560, nullptr, nullptr, gApp->hInstance, nullptr);
        for (int p = 0; p < 2; p++)
            PanelCreateWindows(gMainWindow, p);
        PanelRelayoutAll();
        gApp->isWinNT = AppIsWinNt(); // as the main window has it: the refresh thread asks for the shares
        PanelRefreshStart();
    }
    static void TearDownTestSuite() {
        PanelRefreshStop();
        DestroyWindow(gMainWindow);
        gMainWindow = nullptr;
    }

    void SetUp() override {
        for (const char* knob : {"ZQ_CE_DISCONNECT_AFTER", "ZQ_CE_SLOW_MS", "ZQ_CE_FREE_BYTES", "ZQ_CE_HOSTILE_NAMES",
                                 "ZQ_CE_RUN_LOG"})
            SetEnvironmentVariableA(knob, nullptr);
        SetEnvironmentVariableA("ZQ_CE_ROOT", gDevice.c_str());
        EmptyFolder(gDevice);
        EmptyFolder(gLocal);
        gApp->confirmFlags = 0;
        gCeLibraryName = "PELLIX.DLL";
        CeLoad();
        ASSERT_TRUE(gApp->ceEntry) << "PELLIX.DLL or rapi.dll missing beside the test";
        ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
        deviceNode.kind = kLocationCeDevice;
    }
    void TearDown() override {
        for (int p = 0; p < 2; p++) {
            CeDropLocation(p);
            PanelSetPath(p, gLocal.c_str());
            PanelRequestReread(p);
        }
        WaitFor([] { return !(gRefreshFlags[0].load() & kRefreshWanted) && !(gRefreshFlags[1].load() & kRefreshWanted); });
        CeUnload();
    }

    // Shows the device in panel 0 and waits until its folder `path` is
    // listed with `count` entries.
    void ShowDevice(const char* path, uint32_t count) {
        ASSERT_EQ(PanelSelectDrive(gMainWindow, 0, ' '), 0);
        ASSERT_TRUE(
            WaitFor([&] { return PanelShowsDevice(0) && Listed(0, path, count); }))
            << PanelPath(0) << " " << PanelListCount(0);
    }

    // A worker's job over names of one folder (the host folder behind a
    // device folder gives the selection of a device panel).
    JobRecord Job(uint16_t code, const std::string& sourceDir, const std::string& hostFolder,
                  const std::vector<std::string>& names, const std::string& target, bool fromDevice,
                  bool toDevice) {
        JobRecord job = MakeJob(code, sourceDir, target, kJobInclSubDirs | kJobStatistics,
                                SelectionOf(hostFolder, names));
        job.itemCount = (uint32_t)names.size();
        job.sourceLocation = fromDevice ? &deviceNode : nullptr;
        job.targetLocation = toDevice ? &deviceNode : nullptr;
        return job;
    }
};

} // namespace

TEST_F(CePanel, TheDeviceFolderIsListedExactlyAndBrowsed) {
    WriteFileBytes(gDevice + "\\a.txt", "12345");
    WriteFileBytes(gDevice + "\\b.bin", std::string(70000, 'b'));
    WriteFileBytes(gDevice + "\\empty.dat", "");
    WriteFileBytes(gDevice + "\\hidden.sys", "h");
    SetFileAttributesA((gDevice + "\\hidden.sys").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryA((gDevice + "\\Docs").c_str(), nullptr);
    CreateDirectoryA((gDevice + "\\Docs\\Deeper").c_str(), nullptr);
    WriteFileBytes(gDevice + "\\Docs\\inner.txt", "x");

    ShowDevice("\\", 5);
    EXPECT_EQ(PanelEntries(0), HostEntries(gDevice, false)); // the root has no ".."
    EXPECT_EQ(PanelNames(0).front(), "Docs");                 // folders first

    CursorTo(0, "Docs");
    Key(0, VK_RETURN);
    ASSERT_TRUE(WaitFor([] { return Listed(0, "\\Docs", 3); })) << PanelPath(0);
    EXPECT_EQ(PanelEntries(0), HostEntries(gDevice + "\\Docs", true));
    EXPECT_EQ(PanelNames(0).front(), "..");

    CursorTo(0, "Deeper");
    Key(0, VK_RETURN);
    ASSERT_TRUE(WaitFor([] { return Listed(0, "\\Docs\\Deeper", 1); }));
    EXPECT_EQ(PanelNames(0), std::vector<std::string>{".."}); // an empty folder below the root

    // Up again: the folder left gets the cursor.
    PanelGoUp(gMainWindow, 0);
    ASSERT_TRUE(WaitFor([] { return PanelPath(0) == "\\Docs" && CursorName(0) == "Deeper"; }))
        << PanelPath(0) << " " << CursorName(0);
    CursorTo(0, "..");
    Key(0, VK_RETURN);
    ASSERT_TRUE(WaitFor([] { return PanelPath(0) == "\\" && CursorName(0) == "Docs"; }));

    // The device entry opens where the device was left; a drive letter leaves it.
    PanelSetPath(1, gLocal.c_str());
    ASSERT_EQ(PanelSelectDrive(gMainWindow, 1, ' '), 0);
    ASSERT_TRUE(WaitFor([] { return PanelShowsDevice(1) && PanelPath(1) == "\\" && PanelListCount(1) > 0; }));
    ASSERT_EQ(PanelSelectDrive(gMainWindow, 1, gLocal[0]), 0);
    ASSERT_TRUE(WaitFor([] { return !PanelShowsDevice(1) && PanelPath(1)[1] == ':'; })) << PanelPath(1);
}

TEST_F(CePanel, AnEmptyDeviceIsAnEmptyPanel) {
    WriteFileBytes(gLocal + "\\mine.txt", "m");
    PanelRequestReread(0);
    ASSERT_TRUE(WaitFor([] { return PanelListCount(0) == 2; }));
    // Nothing listed, and still the device: a place files can be copied to.
    ShowDevice("\\", 0);
}

TEST_F(CePanel, EnterOnAFileStartsItOnTheDevice) {
    CreateDirectoryA((gDevice + "\\Apps").c_str(), nullptr);
    WriteFileBytes(gDevice + "\\Apps\\tool.exe", "MZ");
    std::string log = gLocal + "\\run.log";
    SetEnvironmentVariableA("ZQ_CE_RUN_LOG", log.c_str());
    Reconnect();
    ShowDevice("\\", 1);
    CursorTo(0, "Apps");
    Key(0, VK_RETURN);
    ASSERT_TRUE(WaitFor([] { return Listed(0, "\\Apps", 2); }));
    CursorTo(0, "tool.exe");
    Key(0, VK_RETURN);
    EXPECT_EQ(ReadFileBytes(log), "\\Apps\\tool.exe\n");
}

TEST_F(CePanel, WithoutADeviceThePanelKeepsItsFolder) {
    WriteFileBytes(gLocal + "\\mine.txt", "m");
    PanelSetPath(0, gLocal.c_str());
    SetEnvironmentVariableA("ZQ_CE_ROOT", (gRoot + "\\no-device-here").c_str());
    Reconnect();
    ASSERT_EQ(PanelSelectDrive(gMainWindow, 0, ' '), 0);
    // One reconnect and retry, then the panel lists its own folder again.
    ASSERT_TRUE(WaitFor([] { return !PanelShowsDevice(0) && PanelEntries(0).count("mine.txt"); }));
    EXPECT_EQ(PanelPath(0), gLocal);
}

TEST_F(CePanel, ADroppedLinkIsReconnectedForTheNextListing) {
    WriteFileBytes(gDevice + "\\keep.txt", "k");
    ShowDevice("\\", 1);
    SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "0"); // the next call finds the link gone
    Reconnect();
    WriteFileBytes(gDevice + "\\new.txt", "n");
    PanelRequestReread(0);
    ASSERT_TRUE(WaitFor([] { return Listed(0, "\\", 2); }));
    EXPECT_TRUE(PanelShowsDevice(0));
    EXPECT_EQ(PanelEntries(0), HostEntries(gDevice, false));
}

TEST_F(CePanel, CopiesBothWaysThroughTheWorkerAreByteEqual) {
    // One small buffer exactly, a heap buffer of the file's size, 64 KiB chunks.
    const size_t sizes[] = {0, 4096, 5000, 1 << 20};
    std::vector<std::string> names;
    for (size_t size : sizes) {
        std::string name = "f" + std::to_string(size) + ".bin";
        WriteFileBytes(gDevice + "\\" + name, Pattern(size, (unsigned)size));
        names.push_back(name);
    }
    JobRecord down = Job(1029, "\\", gDevice, names, gLocal, true, false);
    CopyJobThread(&down);
    EXPECT_EQ(down.errors, 0u);
    EXPECT_EQ(down.filesDone, names.size());
    EXPECT_EQ(down.bytesDone, 4096u + 5000u + (1u << 20));
    for (const std::string& name : names)
        EXPECT_TRUE(ReadFileBytes(gLocal + "\\" + name) == ReadFileBytes(gDevice + "\\" + name)) << name;
    EXPECT_EQ(ListNames(gLocal), ListNames(gDevice)); // no temporary file stayed

    // Back up into a folder the device does not have yet.
    JobRecord up = Job(1029, gLocal, gLocal, names, "\\back", false, true);
    CopyJobThread(&up);
    EXPECT_EQ(up.errors, 0u);
    EXPECT_EQ(up.filesDone, names.size());
    for (const std::string& name : names)
        EXPECT_TRUE(ReadFileBytes(gDevice + "\\back\\" + name) == ReadFileBytes(gLocal + "\\" + name)) << name;
    EXPECT_EQ(ListNames(gDevice + "\\back"), ListNames(gLocal));

    // One file under a new name.
    JobRecord one = Job(1029, "\\", gDevice, {"f5000.bin"}, "\\renamed.bin", true, true);
    one.itemCount = 0;
    CopyJobThread(&one);
    EXPECT_TRUE(ReadFileBytes(gDevice + "\\renamed.bin") == ReadFileBytes(gDevice + "\\f5000.bin"));
}

TEST_F(CePanel, ATreeOf500FilesBothWaysThroughTheWorker) {
    MakeTree(gLocal + "\\tree", 500);
    JobRecord up = Job(1029, gLocal, gLocal, {"tree"}, "\\", false, true);
    CopyJobThread(&up);
    EXPECT_EQ(up.errors, 0u);
    EXPECT_EQ(up.filesDone, 500u);
    int files = 0;
    ExpectSameTree(gLocal + "\\tree", gDevice + "\\tree", &files);
    EXPECT_EQ(files, 500);

    CreateDirectoryA((gLocal + "\\back").c_str(), nullptr);
    JobRecord down = Job(1029, "\\", gDevice, {"tree"}, gLocal + "\\back", true, false);
    CopyJobThread(&down);
    EXPECT_EQ(down.errors, 0u);
    EXPECT_EQ(down.filesDone, 500u);
    files = 0;
    ExpectSameTree(gDevice + "\\tree", gLocal + "\\back\\tree", &files);
    EXPECT_EQ(files, 500);
}

TEST_F(CePanel, MoveRenameAndDeleteThroughTheWorkers) {
    MakeTree(gDevice + "\\m", 12);
    WriteFileBytes(gDevice + "\\one.txt", "one");
    JobRecord move = Job(1030, "\\", gDevice, {"m", "one.txt"}, gLocal, true, false);
    move.flags &= ~kJobStatistics;
    CopyJobThread(&move);
    EXPECT_EQ(move.state, 0);
    EXPECT_FALSE(Exists(gDevice + "\\m"));
    EXPECT_FALSE(Exists(gDevice + "\\one.txt"));
    EXPECT_EQ(ReadFileBytes(gLocal + "\\one.txt"), "one");
    EXPECT_EQ(ListNames(gLocal + "\\m").size(), 7u);

    // A rename on the device, and moving a file onto one that differs in case only.
    WriteFileBytes(gDevice + "\\old.txt", "o");
    JobRecord rename = Job(1031, "\\", gDevice, {"old.txt"}, "\\new.txt", true, true);
    rename.itemCount = 0;
    rename.flags &= ~kJobStatistics;
    CopyJobThread(&rename);
    EXPECT_EQ(ListNames(gDevice), std::vector<std::string>{"new.txt"});
    EXPECT_EQ(ReadFileBytes(gDevice + "\\new.txt"), "o");

    // Delete: a folder tree with a read-only file, and a file.
    MakeTree(gDevice + "\\gone", 20);
    SetFileAttributesA((gDevice + "\\gone\\d1\\f1.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    JobRecord del = Job(1032, "\\", gDevice, {"gone", "new.txt"}, "", true, false);
    del.flags &= ~kJobStatistics;
    DelJobThread(&del);
    EXPECT_EQ(del.state, 0);
    EXPECT_TRUE(ListNames(gDevice).empty());
    EXPECT_EQ(del.filesDone, 21u);
}

TEST_F(CePanel, ADisconnectMidTransferLeavesNoTruncatedTarget) {
    // Both directions, over an older file of the same name that must stay.
    std::string big = Pattern(300000, 7);
    struct Case {
        bool download;
    } cases[] = {{true}, {false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.download ? "download" : "upload");
        EmptyFolder(gDevice);
        EmptyFolder(gLocal);
        std::string from = c.download ? gDevice : gLocal, to = c.download ? gLocal : gDevice;
        WriteFileBytes(from + "\\big.bin", big);
        WriteFileBytes(to + "\\big.bin", "the old file");
        SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "6"); // a few chunks, then the link is gone
        Reconnect();
        JobRecord job = c.download ? Job(1029, "\\", gDevice, {"big.bin"}, gLocal, true, false)
                                   : Job(1029, gLocal, gLocal, {"big.bin"}, "\\", false, true);
        CopyJobThread(&job);
        EXPECT_EQ(job.state, kJobStop);
        EXPECT_GT(job.errors, 0u);
        EXPECT_EQ(job.filesDone, 0u);
        EXPECT_EQ(ReadFileBytes(to + "\\big.bin"), "the old file");
        EXPECT_TRUE(ReadFileBytes(from + "\\big.bin") == big);
        if (c.download) {
            EXPECT_EQ(ListNames(gLocal), std::vector<std::string>{"big.bin"});
        }

        // The reconnect takes away what the cut upload left on the device.
        Reconnect();
        EXPECT_EQ(ListNames(to), std::vector<std::string>{"big.bin"});
        EXPECT_EQ(CeLeftoverCount(), 0u);
        // After the reconnect the same copy goes through.
        JobRecord again = c.download ? Job(1029, "\\", gDevice, {"big.bin"}, gLocal, true, false)
                                     : Job(1029, gLocal, gLocal, {"big.bin"}, "\\", false, true);
        gApp->confirmFlags = 0;
        CopyJobThread(&again);
        EXPECT_EQ(again.errors, 0u);
        EXPECT_TRUE(ReadFileBytes(to + "\\big.bin") == big);
    }
}

TEST_F(CePanel, AFullDeviceKeepsTheOldFile) {
    WriteFileBytes(gDevice + "\\data.bin", "old");
    WriteFileBytes(gLocal + "\\data.bin", Pattern(200000, 3));
    SetEnvironmentVariableA("ZQ_CE_FREE_BYTES", "100000");
    Reconnect();
    JobRecord up = Job(1029, gLocal, gLocal, {"data.bin"}, "\\", false, true);
    // A full disk is asked about even in statistics mode; whatever the
    // answer, this file has failed.
    DialogAnswerer answer("data.bin", {IDCANCEL});
    CopyJobThread(&up);
    answer.Join();
    EXPECT_EQ(answer.answered(), 1);
    EXPECT_EQ(up.state, kJobStop);
    EXPECT_EQ(up.filesDone, 0u);
    EXPECT_EQ(ReadFileBytes(gDevice + "\\data.bin"), "old");
    EXPECT_EQ(ListNames(gDevice), std::vector<std::string>{"data.bin"});
}

TEST_F(CePanel, MakeFolderOnTheDeviceTakesPlainNamesOnly) {
    CreateDirectoryA((gDevice + "\\Docs").c_str(), nullptr);
    ShowDevice("\\", 1);
    CursorTo(0, "Docs");
    Key(0, VK_RETURN);
    ASSERT_TRUE(WaitFor([] { return Listed(0, "\\Docs", 1); }));
    struct Case {
        std::string typed;
        int result;
        const char* made;    // host path below the device folder, or null
        const char* caption; // of the box that refuses the name
    } cases[] = {
        {"New", 0, "\\Docs\\New", nullptr},
        {"\\Top", 0, "\\Top", nullptr},
        {"..\\Up", ERROR_INVALID_NAME, nullptr, "Up"},
        {"C:\\Elsewhere", ERROR_INVALID_NAME, nullptr, "Elsewhere"},
        {std::string(300, 'n'), ERROR_FILENAME_EXCED_RANGE, nullptr, "nnnn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 20));
        std::vector<std::string> before = ListNames(gDevice);
        if (c.caption) {
            // A refused name is said in a box; a made folder shows none (the
            // call would not come back while one was up).
            DialogAnswerer answer(c.caption, {IDOK});
            EXPECT_EQ(CeMakeDirTyped(gMainWindow, 0, c.typed.c_str()), c.result);
            answer.Join();
            EXPECT_EQ(answer.answered(), 1);
        } else {
            EXPECT_EQ(CeMakeDirTyped(gMainWindow, 0, c.typed.c_str()), c.result);
        }
        if (c.made) {
            DWORD a = GetFileAttributesA((gDevice + c.made).c_str());
            EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY));
            if (c.typed == "New") { // made here: the panel shows it
                EXPECT_TRUE(WaitFor([] { return Listed(0, "\\Docs", 2) && PanelEntries(0).count("New"); }))
                    << ::testing::PrintToString(PanelNames(0));
            }
        } else {
            EXPECT_EQ(ListNames(gDevice), before);
            EXPECT_EQ(ListNames(gRoot), (std::vector<std::string>{"device", "local"}));
        }
    }
}

// ---- attributes and dates on the device ----------------------------------------

namespace {

uint64_t Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st = {year, month, 0, day, hour, minute, second, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return (uint64_t)ft.dwHighDateTime << 32 | ft.dwLowDateTime;
}

uint64_t HostWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return 0;
    return (uint64_t)d.ftLastWriteTime.dwHighDateTime << 32 | d.ftLastWriteTime.dwLowDateTime;
}

// The creation time as the device answers it (the stand-in keeps what was set).
uint64_t DeviceCreation(const char* path) {
    CeTimeRecord times = {};
    if (CeReadFileTimes(path, &times) != 0) return 0;
    return (uint64_t)times.creation.high << 32 | times.creation.low;
}

DWORD HostAttrs(const std::string& path) {
    return GetFileAttributesA(path.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

TEST_F(CePanel, AttributesAndTimesOnDeviceFilesAndFolders) {
    WriteFileBytes(gDevice + "\\plain.txt", "p");
    WriteFileBytes(gDevice + "\\locked.txt", "l");
    CreateDirectoryA((gDevice + "\\Docs").c_str(), nullptr);
    WriteFileBytes(gDevice + "\\Docs\\in.txt", "i");
    CreateDirectoryA((gDevice + "\\Docs\\Sub").c_str(), nullptr);
    WriteFileBytes(gDevice + "\\Docs\\Sub\\deep.txt", "d");
    SetFileAttributesA((gDevice + "\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((gDevice + "\\Docs\\Sub\\deep.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    // Hidden on, system off, read-only left; both times given.
    JobRecord job = Job(kJobCodeAttributes, "\\", gDevice, {"plain.txt", "locked.txt", "Docs"}, "", true, false);
    job.flags = kAttrInclSubDirs | kAttrChangeDates;
    job.attrSet = kAttrHidden | kAttrDirectory; // the directory bit is never set
    job.attrClear = kAttrSystem;
    const uint64_t created = Utc(2003, 4, 5, 6, 7, 8), written = Utc(2001, 2, 3, 4, 5, 6);
    job.attrCreation = created;
    job.attrWrite = written;
    AttrJobThread(&job);
    EXPECT_EQ(job.errors, 0u);
    EXPECT_EQ(job.state, kJobGoOn);
    EXPECT_TRUE(job.flags & kJobFinished);

    struct Expect {
        const char* path;
        DWORD attrs;
        bool times; // files take the times, folders only the bits
    } expect[] = {
        {"\\plain.txt", FILE_ATTRIBUTE_HIDDEN, true},
        {"\\locked.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, true}, // read-only back after the times
        {"\\Docs", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY, false},
        {"\\Docs\\in.txt", FILE_ATTRIBUTE_HIDDEN, true},
        {"\\Docs\\Sub", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY, false},
        {"\\Docs\\Sub\\deep.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, true},
    };
    for (const Expect& e : expect) {
        SCOPED_TRACE(e.path);
        std::string host = gDevice + e.path;
        EXPECT_EQ(HostAttrs(host), e.attrs);
        if (e.times) {
            EXPECT_EQ(HostWriteTime(host), written);
            EXPECT_EQ(DeviceCreation(e.path), created);
        }
    }
    for (const char* path : {"\\locked.txt", "\\Docs\\Sub\\deep.txt"})
        SetFileAttributesA((gDevice + path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CePanel, DeviceAttributeFailuresAreReportedAndCancelStops) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        WriteFileBytes(gDevice + "\\" + name, name);
    const uint64_t before = HostWriteTime(gDevice + "\\b.txt");

    // A file gone from the device since it was listed: said, and the job stops.
    {
        JobRecord job = Job(kJobCodeAttributes, "\\", gDevice, {"a.txt", "b.txt"}, "", true, false);
        DeleteFileA((gDevice + "\\a.txt").c_str());
        job.flags = kAttrChangeDates;
        job.attrWrite = Utc(2002, 1, 1, 0, 0, 0);
        DialogAnswerer answer("a.txt", {IDOK});
        AttrJobThread(&job);
        answer.Join();
        EXPECT_EQ(answer.answered(), 1);
        EXPECT_EQ(job.state, kJobStop);
        EXPECT_EQ(job.errors, 1u);
        EXPECT_EQ(HostWriteTime(gDevice + "\\b.txt"), before); // nothing after the stop
    }
    // The link lost: never passed over in silence.
    {
        SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "0");
        Reconnect();
        JobRecord job = Job(kJobCodeAttributes, "\\", gDevice, {"b.txt"}, "", true, false);
        job.flags = 0;
        job.attrSet = kAttrHidden;
        DialogAnswerer answer("b.txt", {IDCANCEL}); // a Retry/Cancel box
        AttrJobThread(&job);
        answer.Join();
        EXPECT_EQ(answer.answered(), 1);
        EXPECT_EQ(job.state, kJobStop);
        EXPECT_EQ(HostAttrs(gDevice + "\\b.txt"), 0u);
        Reconnect();
    }
    // Cancel once the first entry has changed: the rest stay as they were.
    // Every device call is slow, so the cancel lands while the worker is
    // still between the two entries.
    {
        SetEnvironmentVariableA("ZQ_CE_SLOW_MS", "500");
        Reconnect();
        JobRecord job = Job(kJobCodeAttributes, "\\", gDevice, {"b.txt", "c.txt"}, "", true, false);
        job.flags = 0;
        job.attrSet = kAttrHidden;
        std::thread canceller([&] {
            DWORD start = GetTickCount();
            while (HostAttrs(gDevice + "\\b.txt") != FILE_ATTRIBUTE_HIDDEN && GetTickCount() - start < 30000)
                Sleep(1);
            job.cancel = 1;
        });
        AttrJobThread(&job);
        canceller.join();
        EXPECT_EQ(HostAttrs(gDevice + "\\b.txt"), (DWORD)FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(HostAttrs(gDevice + "\\c.txt"), 0u);
        EXPECT_EQ(job.errors, 0u);
    }
}

TEST_F(CePanel, TheAttributesCommandOnADevicePanel) {
    WriteFileBytes(gDevice + "\\note.txt", "n");
    const uint64_t written = Utc(2010, 6, 15, 12, 30, 40);
    HANDLE h = CreateFileA((gDevice + "\\note.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME ft = {(DWORD)written, (DWORD)(written >> 32)};
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    ShowDevice("\\", 1);
    gApp->activePanel = 0;
    gApp->generalOptions = 0;
    CursorTo(0, "note.txt");

    // The dialog shows the device file's bits and time; "Compressed" is no
    // choice there. Read-only and hidden checked, OK: the job runs.
    std::string shownDate, shownTime;
    bool compressedOffered = true;
    DialogAnswerer answer(" Attributes", {IDOK}, [&](int) {
        HWND dialog = FindOwnWindow("#32770", " Attributes");
        char text[32] = "";
        GetDlgItemTextA(dialog, kIdAttrWriteDate, text, sizeof text);
        shownDate = text;
        GetDlgItemTextA(dialog, kIdAttrWriteTime, text, sizeof text);
        shownTime = text;
        compressedOffered = IsWindowEnabled(GetDlgItem(dialog, kIdAttrCompressed)) != 0;
        SendMessageA(GetDlgItem(dialog, kIdAttrReadOnly), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(GetDlgItem(dialog, kIdAttrHidden), BM_SETCHECK, BST_CHECKED, 0);
    });
    AttrCommand(gMainWindow);
    answer.Join();
    ASSERT_EQ(answer.answered(), 1);
    EXPECT_EQ(shownDate, LocalDateText(ft));
    EXPECT_EQ(shownTime, LocalTimeText(ft));
    EXPECT_FALSE(compressedOffered);
    ASSERT_TRUE(WaitFor([] {
        return HostAttrs(gDevice + "\\note.txt") == (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    })) << HostAttrs(gDevice + "\\note.txt");
    EXPECT_EQ(HostWriteTime(gDevice + "\\note.txt"), written);
    SetFileAttributesA((gDevice + "\\note.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- F3 and F4 on device files ---------------------------------------------------

namespace {

int gBeeps;
void CountBeep(UINT) {
    ++gBeeps;
}

// The file a logged start of the stand-in editor was given: the word after
// the program.
BOOL CALLBACK AddCaption(HWND window, LPARAM out) {
    WCHAR wide[200] = L"";
    char text[200] = "", cls[64] = "";
    InternalGetWindowText(window, wide, 200);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    GetClassNameA(window, cls, sizeof cls);
    *(std::string*)out += std::string("[") + cls + ":" + text + (IsWindowVisible(window) ? "+" : "-") + "]";
    return TRUE;
}
// The text of a message box up with this caption.
std::string BoxText(const char* caption) {
    char text[1024] = "";
    GetDlgItemTextA(FindOwnWindow("#32770", caption), 0xFFFF, text, sizeof text);
    return text;
}
std::string TopCaptions() {
    std::string out;
    EnumWindows(AddCaption, (LPARAM)&out);
    return out;
}

bool RefreshIdle() {
    return !(gRefreshFlags[0].load() & kRefreshWanted) && !(gRefreshFlags[1].load() & kRefreshWanted);
}

} // namespace

TEST_F(CePanel, F3AndF4OnADeviceFileGoThroughALocalCopy) {
    const std::string device = gDevice + "\\note.txt";
    const std::string original = "hello device\r\n", edit = "edited by ZQEDIT\r\n";
    CreateDirectoryA((gDevice + "\\Docs").c_str(), nullptr);
    WriteFileBytes(device, original);
    // The stand-in editor as viewer and editor; as editor it waits for a
    // file, so the test decides when it ends.
    const std::string ini = gRoot + "\\edit.ini", log = gRoot + "\\zqedit.log", go = gRoot + "\\go";
    char keptFolder[MAX_PATH];
    PathGetKeptFolder(keptFolder, sizeof keptFolder);
    const std::string kept = std::string(keptFolder) + "note.txt";
    DeleteFileA(kept.c_str());
    DeleteFileA(log.c_str());
    DeleteFileA(go.c_str());
    WritePrivateProfileStringA("Viewer", "1", "*.txt=T:\\ZQEDIT.EXE=/v", ini.c_str());
    WritePrivateProfileStringA("Editor", "1", ("*.txt=T:\\ZQEDIT.EXE=/wait:" + go).c_str(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    lstrcpynA(gApp->modulePath, ini.c_str(), sizeof gApp->modulePath);
    ExtProgListsForget();
    SetEnvironmentVariableA("ZQEDIT_LOG", log.c_str());
    gBeeps = 0;
    void (*oldBeep)(UINT) = gCommandBeep;
    gCommandBeep = CountBeep;

    ShowDevice("\\", 2);
    gApp->activePanel = 0;
    CursorTo(0, "Docs");
    MainCommandDispatch(gMainWindow, 102); // a folder has nothing to view
    EXPECT_EQ(gBeeps, 1);
    CursorTo(0, "note.txt");

    // F3: the viewer gets a complete local copy.
    MainCommandDispatch(gMainWindow, 102);
    ASSERT_TRUE(WaitFor([&] { return LogLines(log).size() == 1; })) << ReadFileBytes(log);
    std::string viewed = LoggedFile(LogLines(log)[0]);
    EXPECT_NE(LogLines(log)[0].find(" /v"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(viewed), original);
    EXPECT_EQ(ReadFileBytes(device), original);

    // F4: the editor works on its copy; once it ends, the copy goes back.
    MainCommandDispatch(gMainWindow, 104);
    ASSERT_TRUE(WaitFor([&] { return LogLines(log).size() == 1 && !EditWatchIdle(); }));
    EXPECT_EQ(ReadFileBytes(device), original); // nothing goes back while the editor runs
    WriteFileBytes(go, "go");
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(device) == original + edit && EditWatchIdle(); }))
        << ReadFileBytes(device);
    ASSERT_EQ(LogLines(log).size(), 2u);
    std::string edited = LoggedFile(LogLines(log)[1]);
    EXPECT_NE(edited, viewed);
    EXPECT_EQ(ListNames(gDevice), (std::vector<std::string>{"Docs", "note.txt"})); // no temporary name left
    EXPECT_EQ(gBeeps, 1);

    // F4 again, the copy changed, and the link drops during the put-back:
    // the device file keeps its bytes, the user is told, the edited copy stays.
    DeleteFileA(go.c_str());
    ASSERT_TRUE(WaitFor([] { return RefreshIdle() && Listed(0, "\\", 2); }));
    CursorTo(0, "note.txt");
    MainCommandDispatch(gMainWindow, 104);
    ASSERT_TRUE(WaitFor([&] { return LogLines(log).size() == 2 && !EditWatchIdle() && RefreshIdle(); }))
        << gBeeps << " " << EditWatchIdle() << " " << RefreshIdle() << " " << ReadFileBytes(log) << " "
        << TopCaptions() << CursorName(0);
    SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "3");
    Reconnect();
    WriteFileBytes(go, "go");
    ASSERT_TRUE(WaitFor([&] { return LogLines(log).size() == 3; }));
    const std::string copy = LoggedFile(LogLines(log)[2]);
    // The box names the edited copy, which has left the temporary folder
    // (the last instance to close empties that) for the kept folder, under
    // the device file's name. Retry sends it again; the link is still down.
    std::string toldText;
    DialogAnswerer told("note.txt", {IDRETRY, IDCANCEL}, [&](int) { // Retry/Cancel boxes
        toldText = BoxText("note.txt");
    });
    ASSERT_TRUE(WaitFor([&] { return EditWatchIdle(); }))
        << told.answered() << " " << ::testing::PrintToString(ListNames(gDevice)) << " "
        << TopCaptions();
    told.Join();
    EXPECT_EQ(told.answered(), 2);
    EXPECT_NE(toldText.find("\r\n" + kept), std::string::npos) << toldText;
    EXPECT_EQ(ReadFileBytes(device), original + edit);
    EXPECT_EQ(ReadFileBytes(kept), original + edit + edit);
    EXPECT_EQ(ReadFileBytes(copy), "<missing>");
    char temp[MAX_PATH];
    PathGetTempFolder(temp, sizeof temp);
    DirRemoveTree(temp); // what closing the last instance does
    EXPECT_EQ(ReadFileBytes(kept), original + edit + edit);
    DeleteFileA(kept.c_str());

    // The next connect removes what the cut uploads left beside the file
    // (a reconnect while the box was up may have done so already).
    SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", nullptr); // a whole link this time
    Reconnect();
    EXPECT_EQ(ListNames(gDevice), (std::vector<std::string>{"Docs", "note.txt"}));
    EXPECT_EQ(CeLeftoverCount(), 0u);
    EXPECT_EQ(ReadFileBytes(device), original + edit);

    // No editor configured: the editor window edits the copy, and a save
    // goes back to the device when the window closes.
    WritePrivateProfileStringA("Editor", nullptr, nullptr, ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    ExtProgListsForget();
    ASSERT_TRUE(WaitFor([] { return RefreshIdle() && Listed(0, "\\", 2); }));
    CursorTo(0, "note.txt");
    MainCommandDispatch(gMainWindow, 104);
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = FindOwnWindow("ZqEdit", nullptr)) != nullptr; }));
    EditWindowRecord* record = (EditWindowRecord*)GetWindowLongPtrA(editor, GWLP_USERDATA);
    ASSERT_NE(record, nullptr);
    SetWindowTextW(GetDlgItem(editor, kEditChildId), L"changed on the desktop\r\n");
    ASSERT_EQ(EditSave(record), 0u);
    SendMessageA(GetDlgItem(editor, kEditChildId), EM_SETMODIFY, 0, 0);
    EXPECT_EQ(ReadFileBytes(device), original + edit); // only the closed window hands it back
    DestroyWindow(editor);
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(device) == "changed on the desktop\r\n"; }))
        << ReadFileBytes(device) << TopCaptions() << ::testing::PrintToString(ListNames(gDevice))
        << BoxText("note.txt");
    EXPECT_EQ(ListNames(gDevice), (std::vector<std::string>{"Docs", "note.txt"}));
    gCommandBeep = oldBeep;
    SetEnvironmentVariableA("ZQEDIT_LOG", nullptr);
    gApp->modulePath[0] = 0;
    ExtProgListsForget();
}
