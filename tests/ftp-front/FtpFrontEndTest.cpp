// The FTP front end as the program drives it: OSTREL.DLL loaded beside the
// test, the site manager answered as a user answers it, panels listing real
// servers on loopback, and the copy, move, rename and delete jobs both ways.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AppState.h"
#include "JobTestSupport.h"
#include "app/Commands.h"
#include "base/DateTime.h"
#include "base/Paths.h"
#include "fileops/AttrJob.h"
#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/FtpJobs.h"
#include "frontends/FtpTools.h"
#include "tools/ExtPrograms.h"
#include "tools/ViewerWindow.h"
#include "frontends/Libraries.h"
#include "panels/EntryBuild.h"
#include "panels/Location.h"
#include "tests/OwnWindow.h"

namespace {

const std::string kState = "T:\\ftptest\\";

std::map<std::string, int> Ports() {
    std::map<std::string, int> ports;
    std::ifstream in(kState + "ports.txt");
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) ports[line.substr(0, eq)] = atoi(line.c_str() + eq + 1);
    }
    return ports;
}

std::string Random(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++) s[i] = char(gen() & 0xFF);
    return s;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kFtpNotifyMessage) {
        FtpOnLibraryNotify(window, wParam, lParam);
        return 0;
    }
    if (message == kMsgEditWatchEnded) {
        EditWatchOnEnded();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The site manager of the library, filled and confirmed from another
// thread while FtpConnectPanel waits in it.
void AnswerSiteManager(const std::string& host, const std::string& folder, const char* password = "secret",
                       bool storePassword = false, const char* user = "tester") {
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
        dialog = FindOwnWindow("#32770", "FTP sites");
        if (dialog && IsWindowVisible(dialog)) break;
        dialog = nullptr;
    }
    if (!dialog) return;
    SetDlgItemTextA(dialog, 14202, "loopback");
    SetDlgItemTextA(dialog, 14203, host.c_str());
    CheckDlgButton(dialog, 14303, BST_UNCHECKED);
    // "anonymous" makes the dialog ask for an e-mail address (unless one is
    // stored), in a modal box of its own, while the user's name is typed.
    std::atomic<bool> typed(false);
    std::thread mail([&typed] {
        while (!typed) {
            HWND box = FindOwnWindow("#32770", "E-mail address");
            if (box && IsWindowVisible(box)) {
                SetDlgItemTextA(box, 14322, "test@example.org");
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    });
    SetDlgItemTextA(dialog, 14302, user);
    typed = true;
    mail.join();
    SetDlgItemTextA(dialog, 15202, password);
    SetDlgItemTextA(dialog, 14204, folder.c_str());
    CheckDlgButton(dialog, 14304, storePassword ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, 14306, BST_CHECKED);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

struct AttachWait {
    int panel;
};
bool Attached(void* p) {
    int panel = static_cast<AttachWait*>(p)->panel;
    const LocationNode* node = gApp->panels[panel].location;
    return node && node->kind == kLocationFtp;
}

struct Listed {
    uint64_t size;
    uint16_t flags;
};

std::map<std::string, Listed> ListPanel(int panel) {
    DirListing listing = {};
    listing.panelIndex = (uint16_t)panel;
    std::map<std::string, Listed> out;
    EXPECT_EQ(0, FtpListPanel(&listing, panel));
    for (FileEntry** e = listing.entryIndex; e && *e; ++e) out[(*e)->name] = {FileEntrySize(*e), (*e)->flags};
    DirListingFree(&listing);
    return out;
}

// The selection a user makes in the panel: the named entries as the panel
// lists them (several entries may show the same name).
void* PanelSelection(int panel, const std::vector<std::string>& names) {
    DirListing listing = {};
    listing.panelIndex = (uint16_t)panel;
    SelectionBuilder b = {};
    uint32_t position = 0;
    if (FtpListPanel(&listing, panel) == 0) {
        for (const std::string& n : names)
            for (FileEntry** e = listing.entryIndex; e && *e; ++e)
                if (n == (*e)->name)
                    SelListAppend(&b, (*e)->name, (*e)->date, (*e)->time, FileEntrySize(*e), (*e)->flags, position++);
    }
    DirListingFree(&listing);
    return SelListRelease(&b);
}

// UTF-8 text in the code page of the program, as a panel shows it; "?" for
// what the code page lacks.
std::string Ansi(const char* utf8, bool* lossy = nullptr) {
    WCHAR w[300];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w, 300);
    char out[600] = "";
    BOOL used = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w, n, out, sizeof out, "?", &used);
    if (lossy) *lossy = used != FALSE;
    return out;
}

void MakeTree(const std::string& root, int count, unsigned seed) {
    CreateDirectoryA(root.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        std::string folder = root + "\\d" + std::to_string(i % 5);
        CreateDirectoryA(folder.c_str(), nullptr);
        if (i % 3 == 0) {
            folder += "\\sub dir";
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        WriteFileBytes(folder + "\\f " + std::to_string(i) + ".dat", Random((size_t)(i * 977 % 70000), seed + i));
    }
}

// Every file under `a` is under `b` with the same bytes, and no more.
void ExpectSameTree(const std::string& a, const std::string& b, int* files) {
    std::vector<std::string> na = ListNames(a), nb = ListNames(b);
    std::sort(na.begin(), na.end());
    std::sort(nb.begin(), nb.end());
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

class FtpFrontEnd : public ::testing::Test {
  protected:
    static HWND main;
    std::string serverRoot;  // what the server shows as the connection's folder, seen from here
    std::string remote;      // its remote name
    std::string local;

    static void SetUpTestSuite() {
        JobTestInitApp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        snprintf(gApp->modulePath, sizeof gApp->modulePath, "%sftpfront%lu.ini", temp, GetCurrentProcessId());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "FtpFrontEndMain";
        RegisterClassA(&wc);
        main = CreateWindowA("FtpFrontEndMain", "Zq Vandrell", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                             nullptr, wc.hInstance, nullptr);
        gMainWindow = main;
        FtpLoad();
    }

    void SetUp() override {
        ASSERT_TRUE(gApp->ftpEntry) << "OSTREL.DLL missing beside the test";
        std::string name = std::string("front") + std::to_string(GetCurrentProcessId()) + "-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
        serverRoot = kState + "rootA\\" + name;
        remote = "/" + name;
        JobTestScratch(("ftp-" + name).c_str());
        RemoveTreeHere(serverRoot);
        CreateDirectoryA(serverRoot.c_str(), nullptr);
        local = JobTestScratch(("ftp-" + name).c_str());
        gApp->confirmFlags = 0;
    }

    void TearDown() override { DisconnectAll(); }

    static void DisconnectAll() {
        FtpDisconnect(kFtpSlotCount);
        struct Gone {
            // The bar goes with the last connection, on the interface thread.
            static bool Done(void*) {
                return FtpCountInUse() == 0 && !gApp->ftpSlots[1] && !gApp->ftpModeCombo && !gApp->ftpLogList;
            }
        };
        PumpUntil(Gone::Done, nullptr, 20000);
        for (int p = 0; p < 2; p++) gApp->panels[p].location = LocationFree(gApp->panels[p].location);
    }

    static void RemoveTreeHere(const std::string& folder) {
        for (const std::string& n : ListNames(folder)) {
            std::string p = folder + "\\" + n;
            if (GetFileAttributesA(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTreeHere(p);
            else
                DeleteFileA(p.c_str());
        }
        RemoveDirectoryA(folder.c_str());
    }

    // Connects panel `panel` to server `server` ("A" or "B", or "VS" for
    // vsftpd, anonymous) in `folder`.
    bool Connect(int panel, const std::string& server, const std::string& folder) {
        int port = Ports()[server];
        if (!port) return false;
        std::string host = "127.0.0.1:" + std::to_string(port);
        const char* who = server == "VS" ? "anonymous" : "tester";
        std::thread user([&] { AnswerSiteManager(host, folder, "secret", false, who); });
        bool opened = FtpConnectPanel(main, panel);
        user.join();
        if (!opened) return false;
        AttachWait w = {panel};
        return PumpUntil(Attached, &w, 30000);
    }

    LocationNode* Node(int panel) { return gApp->panels[panel].location; }

    // A job as the progress dialog hands it to the worker.
    JobRecord Job(uint16_t code, int sourcePanel, const std::string& sourceDir, const std::string& target,
                  void* selection, uint32_t flags = kJobInclSubDirs | kJobStatistics) {
        JobRecord job = MakeJob(code, sourceDir, target, flags, selection);
        job.sourcePanel = (uint16_t)sourcePanel;
        job.sourceLocation = LocationClone(Node(sourcePanel));
        job.targetLocation = LocationClone(Node(!sourcePanel));
        return job;
    }
    static void Done(JobRecord* job) {
        LocationCloneFree(job->sourceLocation);
        LocationCloneFree(job->targetLocation);
        free(job->selection);
    }
};
HWND FtpFrontEnd::main;

}  // namespace

TEST_F(FtpFrontEnd, SlotsAreTakenInOrderAndMapToTheirDriveEntries) {
    struct Case {
        char ch;
        int entry;
    } cases[] = {{'1', 26}, {'5', 30}, {'9', 34}, {'0', 35}, {'a', -1}};
    for (const Case& c : cases) EXPECT_EQ(c.entry, FtpSlotDriveEntry(c.ch)) << c.ch;
    EXPECT_EQ('1', FtpFindFreeSlot());
    for (char ch = '1'; ch <= '9'; ch++) gApp->drives[FtpSlotDriveEntry(ch)].kind = kDriveFtp;
    EXPECT_EQ('0', FtpFindFreeSlot());
    gApp->drives[35].kind = kDriveFtp;
    EXPECT_EQ(0, FtpFindFreeSlot());
    EXPECT_EQ(10, FtpCountOpen());
    for (int e = 26; e <= 35; e++) gApp->drives[e].kind = kDriveAbsent;
    EXPECT_EQ(0, FtpCountInUse());
}

TEST_F(FtpFrontEnd, APanelListsTheServerFolderExactly) {
    CreateDirectoryA((serverRoot + "\\Neuer Ordner").c_str(), nullptr);
    WriteFileBytes(serverRoot + "\\name with blanks.txt", "12345");
    WriteFileBytes(serverRoot + "\\plain", std::string(70000, 'x'));
    ASSERT_TRUE(Connect(0, "A", remote));
    EXPECT_STREQ("1:", gApp->panelPath[0]);
    char shown[520];
    ArcGetPanelPath(0, shown, sizeof shown);
    EXPECT_EQ("1:" + remote, std::string(shown)) << "the path bar shows the server's folder";
    EXPECT_EQ(kDriveFtp, gApp->drives[26].kind);
    EXPECT_STREQ("loopback", gApp->drives[26].displayName);
    auto listed = ListPanel(0);
    ASSERT_EQ(4u, listed.size());
    EXPECT_TRUE(listed[".."].flags & kEntryUpDir);
    EXPECT_TRUE(listed["Neuer Ordner"].flags & kEntryFolder);
    EXPECT_EQ(5u, listed["name with blanks.txt"].size);
    EXPECT_EQ(70000u, listed["plain"].size);

    // A big folder arrives whole.
    std::string big = serverRoot + "\\Neuer Ordner";
    for (int i = 0; i < 10000; i++) WriteFileBytes(big + "\\n" + std::to_string(i), "");
    char dir[262];
    FtpGetRemotePath(Node(0), dir, sizeof dir);
    EXPECT_EQ(remote, std::string(dir));
    FtpEntry* entries = nullptr;
    uint32_t count = 0, leftOut = 0;
    ASSERT_EQ(0, FtpListRemote(Node(0), (remote + "/Neuer Ordner").c_str(), &entries, &count, &leftOut));
    std::set<std::string> names;
    for (uint32_t i = 0; i < count; i++) names.insert(entries[i].name);
    free(entries);
    EXPECT_EQ(10000u, names.size());
    EXPECT_EQ(0u, leftOut);
    EXPECT_TRUE(names.count("n0") && names.count("n9999"));
}

TEST_F(FtpFrontEnd, CopyBothWaysGivesTheSameBytes) {
    MakeTree(serverRoot + "\\tree", 60, 11);
    WriteFileBytes(serverRoot + "\\single.bin", Random(300000, 5));
    ASSERT_TRUE(Connect(0, "A", remote));

    // Download: the folder and the file into a local folder.
    std::string down = local + "\\down";
    CreateDirectoryA(down.c_str(), nullptr);
    JobRecord job = Job(1029, 0, gApp->panelPath[0], down, SelectionOf(serverRoot, {"tree", "single.bin"}));
    CopyJobThread(&job);
    EXPECT_EQ(0u, job.errors);
    EXPECT_NE(kJobStop, job.state);
    Done(&job);
    int files = 0;
    ExpectSameTree(serverRoot + "\\tree", down + "\\tree", &files);
    EXPECT_EQ(60, files);
    EXPECT_TRUE(ReadFileBytes(serverRoot + "\\single.bin") == ReadFileBytes(down + "\\single.bin"));
    EXPECT_TRUE(ListNames(down).size() == 2u) << "no side files left behind";

    // Upload: the downloaded tree into a new folder on the server (panel 1
    // local, panel 0 the server as the target).
    CreateDirectoryA((serverRoot + "\\up").c_str(), nullptr);
    JobRecord up = MakeJob(1029, down, "1:\\up", kJobInclSubDirs | kJobStatistics, SelectionOf(down));
    up.sourcePanel = 1;
    up.targetLocation = LocationClone(Node(0));
    CopyJobThread(&up);
    EXPECT_EQ(0u, up.errors);
    Done(&up);
    files = 0;
    ExpectSameTree(down, serverRoot + "\\up", &files);
    EXPECT_EQ(61, files);
}

TEST_F(FtpFrontEnd, MovesDeleteTheSourceOnlyWhenTheCopyIsComplete) {
    WriteFileBytes(local + "\\a.txt", "new a");
    WriteFileBytes(local + "\\b.txt", "new b");
    WriteFileBytes(serverRoot + "\\a.txt", "old a on the server");
    ASSERT_TRUE(Connect(0, "A", remote));
    gApp->confirmFlags = kConfirmCopy;
    // The existing a.txt is skipped: its local source stays; b.txt moves.
    JobRecord move = MakeJob(1030, local, "1:", kJobInclSubDirs, SelectionOf(local, {"a.txt", "b.txt"}));
    move.targetLocation = LocationClone(Node(0));
    {
        DialogAnswerer answers("The following file already exists", {kIdOverwriteSkip});
        CopyJobThread(&move);
        answers.Join();
        EXPECT_EQ(1, answers.answered());
    }
    Done(&move);
    EXPECT_EQ("new a", ReadFileBytes(local + "\\a.txt"));
    EXPECT_EQ("old a on the server", ReadFileBytes(serverRoot + "\\a.txt"));
    EXPECT_FALSE(Exists(local + "\\b.txt"));
    EXPECT_EQ("new b", ReadFileBytes(serverRoot + "\\b.txt"));

    // Back down: the server's copy goes once the local file is whole.
    gApp->confirmFlags = 0;
    std::string back = local + "\\back";
    CreateDirectoryA(back.c_str(), nullptr);
    JobRecord down = Job(1030, 0, gApp->panelPath[0], back, SelectionOf(serverRoot, {"b.txt"}));
    CopyJobThread(&down);
    Done(&down);
    EXPECT_EQ("new b", ReadFileBytes(back + "\\b.txt"));
    EXPECT_FALSE(Exists(serverRoot + "\\b.txt"));
}

TEST_F(FtpFrontEnd, MakeRenameAndDeleteOnTheServer) {
    ASSERT_TRUE(Connect(0, "A", remote));
    EXPECT_EQ(0, FtpMakeRemoteDir(main, Node(0), "made\\deeper", 0));
    EXPECT_TRUE(GetFileAttributesA((serverRoot + "\\made\\deeper").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    WriteFileBytes(serverRoot + "\\made\\deeper\\x.txt", "x");
    WriteFileBytes(serverRoot + "\\old name.txt", "r");

    JobRecord rename = Job(1031, 0, gApp->panelPath[0], "new name.txt", SelectionOf(serverRoot, {"old name.txt"}));
    rename.targetLocation = nullptr;
    CopyJobThread(&rename);
    Done(&rename);
    EXPECT_FALSE(Exists(serverRoot + "\\old name.txt"));
    EXPECT_EQ("r", ReadFileBytes(serverRoot + "\\new name.txt"));

    // Keep emptied folders: the contents go, every folder stays.
    JobRecord keep = Job(1032, 0, gApp->panelPath[0], "", SelectionOf(serverRoot, {"made"}),
                         kJobInclSubDirs | kJobKeepEmptyDirs | kJobStatistics);
    keep.targetLocation = nullptr;
    DelJobThread(&keep);
    Done(&keep);
    EXPECT_FALSE(Exists(serverRoot + "\\made\\deeper\\x.txt"));
    EXPECT_TRUE(Exists(serverRoot + "\\made\\deeper"));

    JobRecord del = Job(1032, 0, gApp->panelPath[0], "", SelectionOf(serverRoot, {"made", "new name.txt"}));
    del.targetLocation = nullptr;
    DelJobThread(&del);
    Done(&del);
    EXPECT_EQ(0u, del.errors);
    EXPECT_TRUE(ListNames(serverRoot).empty());
}

TEST_F(FtpFrontEnd, ServerToServerBetweenTwoConnections) {
    std::string rootB = kState + "rootB\\" + remote.substr(1);
    RemoveTreeHere(rootB);
    CreateDirectoryA(rootB.c_str(), nullptr);
    WriteFileBytes(serverRoot + "\\fxp.bin", Random(200000, 9));
    ASSERT_TRUE(Connect(0, "A", remote));
    ASSERT_TRUE(Connect(1, "B", remote));
    EXPECT_STREQ("2:", gApp->panelPath[1]);
    JobRecord job = Job(1029, 0, gApp->panelPath[0], "2:", SelectionOf(serverRoot, {"fxp.bin"}));
    CopyJobThread(&job);
    EXPECT_EQ(0u, job.errors);
    Done(&job);
    EXPECT_TRUE(ReadFileBytes(serverRoot + "\\fxp.bin") == ReadFileBytes(rootB + "\\fxp.bin"));
    RemoveTreeHere(rootB);
}

namespace {
struct CancelAt {
    JobRecord* job;
    std::string part;
    uint64_t after;
    volatile bool stop;
};
// Stops the job once its side file holds `after` bytes: the point a user
// presses Cancel in the middle of a download.
void CancelWhenPartGrows(CancelAt* c) {
    for (DWORD start = GetTickCount(); !c->stop && GetTickCount() - start < 60000;) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(c->part.c_str(), GetFileExInfoStandard, &data) &&
            ((uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow) >= c->after) {
            c->job->cancel = 1;
            FtpStopTransfers(c->job);
            return;
        }
        Sleep(5);  // polling the file's size, not waiting for time to pass
    }
}
}  // namespace

TEST_F(FtpFrontEnd, ACancelledDownloadLeavesNoCutFileAndTheNextOneResumes) {
    std::string rootC = kState + "rootC\\" + remote.substr(1);
    RemoveTreeHere(rootC);
    CreateDirectoryA(rootC.c_str(), nullptr);
    std::string data = Random(12 << 20, 21);
    WriteFileBytes(rootC + "\\big.bin", data);
    ASSERT_TRUE(Connect(0, "C", remote));  // the slow server: the transfer surely runs when Cancel comes
    std::string target = local + "\\big.bin";

    JobRecord job = Job(1029, 0, gApp->panelPath[0], local, SelectionOf(rootC, {"big.bin"}));
    CancelAt c = {&job, target + ".part", 2 << 20, false};
    std::thread user(CancelWhenPartGrows, &c);
    CopyJobThread(&job);
    c.stop = true;
    user.join();
    EXPECT_EQ(0u, job.filesDone);
    EXPECT_FALSE(Exists(target)) << "a cut file under the real name";
    Done(&job);

    auto restCount = [] {
        std::ifstream in(kState + "C.log");
        std::string line;
        int n = 0;
        while (std::getline(in, line)) n += line.rfind("REST ", 0) == 0;
        return n;
    };
    int restBefore = restCount();
    JobRecord again = Job(1029, 0, gApp->panelPath[0], local, SelectionOf(rootC, {"big.bin"}));
    CopyJobThread(&again);
    EXPECT_GT(restCount(), restBefore) << "the second download starts where the first stopped";
    EXPECT_EQ(1u, again.filesDone);
    EXPECT_EQ(0u, again.errors);
    Done(&again);
    EXPECT_TRUE(ReadFileBytes(target) == data);
    EXPECT_FALSE(Exists(target + ".part"));
    RemoveTreeHere(rootC);
}

TEST_F(FtpFrontEnd, LinksAreListedAsEntriesAndNeverEntered) {
    // The server lists this folder from the canned text: a file and a link
    // that points at the folder itself.
    std::string folder = serverRoot + "\\withlink";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteFileBytes(folder + "\\real.txt", "12345");
    WriteFileBytes(folder + "\\.listing",
                   "-rw-r--r--   1 u g        5 Jan 01  2020 real.txt\r\n"
                   "lrwxrwxrwx   1 u g        1 Jan 01  2020 loop -> .\r\n");
    ASSERT_TRUE(Connect(0, "A", remote + "/withlink"));
    auto listed = ListPanel(0);
    ASSERT_EQ(3u, listed.size());  // "..", the file and the link
    EXPECT_TRUE(listed["loop"].flags & kEntryShared);
    EXPECT_EQ(5u, listed["real.txt"].size);

    // Copying the folder from its parent: the file comes, the link is
    // reported and left alone, and the job does not end as a full success.
    // The server is elsewhere (as a transfer leaves it): ".." still goes
    // to the parent of the folder the panel shows.
    ASSERT_EQ(0, FtpSetRemoteDir("/", Node(0), nullptr));
    FtpChangeDirAsync("..", 0, Node(0));
    struct Up {
        static bool Done(void* node) {
            char dir[262];
            FtpGetRemotePath((LocationNode*)node, dir, sizeof dir);
            return strstr(dir, "withlink") == nullptr;
        }
    };
    ASSERT_TRUE(PumpUntil(Up::Done, Node(0), 20000));
    char dir[262];
    FtpGetRemotePath(Node(0), dir, sizeof dir);
    EXPECT_EQ(remote, std::string(dir));
    JobRecord job = Job(1029, 0, gApp->panelPath[0], local, SelectionOf(serverRoot, {"withlink"}));
    CopyJobThread(&job);
    EXPECT_GE(job.errors, 1u);
    Done(&job);
    EXPECT_EQ("12345", ReadFileBytes(local + "\\withlink\\real.txt"));
    EXPECT_FALSE(Exists(local + "\\withlink\\loop"));
}

namespace {
// A control connection of the test's own, for the server's fault switches
// (they hold for the server's next transfer, whoever asks for it) and its
// test questions. The last reply line to `command`, empty when none came.
std::string ServerReply(int port, const std::string& command) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons((u_short)port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, (sockaddr*)&addr, sizeof addr) == 0;
    std::string got, last;
    auto reply = [&](const char* code) {
        char buf[512];
        for (;;) {
            size_t line = got.find("\r\n");
            if (line != std::string::npos) {
                std::string first = got.substr(0, line);
                got.erase(0, line + 2);
                if (first.size() > 3 && first[3] == ' ') {
                    last = first;
                    return !code || first.compare(0, 3, code) == 0;
                }
                continue;
            }
            int n = recv(s, buf, sizeof buf, 0);
            if (n <= 0) return false;
            got.append(buf, (size_t)n);
        }
    };
    auto send_ = [&](const std::string& line) {
        std::string l = line + "\r\n";
        return send(s, l.data(), (int)l.size(), 0) == (int)l.size();
    };
    ok = ok && reply("220") && send_("USER tester") && reply("331") && send_("PASS secret") && reply("230") &&
         send_(command) && reply(nullptr);
    std::string answer = ok ? last : std::string();
    if (ok) send_("QUIT");
    closesocket(s);
    return answer;
}
bool ServerSite(int port, const char* command) { return ServerReply(port, command).compare(0, 3, "200") == 0; }
}  // namespace

TEST_F(FtpFrontEnd, ADroppedConnectionMidTreeGoesOnWhereItStopped) {
    std::string tree = serverRoot + "\\tree";
    CreateDirectoryA(tree.c_str(), nullptr);
    CreateDirectoryA((tree + "\\inner").c_str(), nullptr);
    for (int i = 0; i < 4; i++) {
        WriteFileBytes(tree + "\\f" + std::to_string(i) + ".bin", Random(300000 + i, 40 + i));
        WriteFileBytes(tree + "\\inner\\g" + std::to_string(i) + ".bin", Random(200000 + i, 50 + i));
    }
    ASSERT_TRUE(Connect(0, "A", remote));
    auto logLines = [] {
        std::vector<std::string> lines;
        std::ifstream in(kState + "A.log");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    };
    // The first file of the walk drops the whole connection part-way.
    ASSERT_TRUE(ServerSite(Ports()["A"], "SITE DROPAFTER 50000"));
    size_t from = logLines().size();
    JobRecord job = Job(1029, 0, gApp->panelPath[0], local, SelectionOf(serverRoot, {"tree"}));
    CopyJobThread(&job);
    EXPECT_EQ(0u, job.errors);
    EXPECT_NE(kJobStop, job.state);
    Done(&job);
    int files = 0;
    ExpectSameTree(tree, local + "\\tree", &files);
    EXPECT_EQ(8, files);
    std::vector<std::string> lines = logLines();
    int logins = 0, rests = 0;
    for (size_t i = from; i < lines.size(); i++) {
        logins += lines[i].rfind("PASS ", 0) == 0;
        rests += lines[i].rfind("REST ", 0) == 0;
    }
    EXPECT_GE(logins, 1) << "the connection was logged in again";
    EXPECT_GE(rests, 1) << "the cut file went on from where it stopped";
}

TEST_F(FtpFrontEnd, TheFtpBarComesWithTheFirstConnectionAndKeepsItsModeWhenTheLastGoes) {
    ASSERT_EQ(nullptr, gApp->ftpModeCombo);
    EXPECT_EQ('I', FtpGetTransferType("a.txt")) << "no bar: binary";
    // The word that the last connection went, late from one before: the
    // site manager's message loop hears it while the new connection opens.
    PostMessageA(gMainWindow, kFtpNotifyMessage, kFtpNotifyLastGone, 0);
    ASSERT_TRUE(Connect(0, "A", remote));
    ASSERT_NE(nullptr, gApp->ftpLogList);
    ASSERT_NE(nullptr, gApp->ftpModeCombo);
    EXPECT_GT(SendMessageA(gApp->ftpLogList, LB_GETCOUNT, 0, 0), 0) << "the session's log";
    lstrcpynA(gApp->textFilePatterns, "*.txt;*.htm", sizeof gApp->textFilePatterns);
    struct Case {
        int mode;
        const char* name;
        char type;
    } cases[] = {{0, "a.txt", 'I'}, {1, "b.bin", 'A'}, {2, "dir/a.txt", 'A'}, {2, "page.HTM", 'A'}, {2, "b.bin", 'I'}};
    for (const Case& c : cases) {
        SendMessageA(gApp->ftpModeCombo, CB_SETCURSEL, c.mode, 0);
        EXPECT_EQ(c.type, FtpGetTransferType(c.name)) << c.mode << " " << c.name;
    }
    SendMessageA(gApp->ftpModeCombo, CB_SETCURSEL, 2, 0);
    FtpDisconnect(kFtpSlotCount);
    struct BarGone {
        static bool Done(void*) { return gApp->ftpLogList == nullptr; }
    };
    ASSERT_TRUE(PumpUntil(BarGone::Done, nullptr, 20000));
    EXPECT_EQ(nullptr, gApp->ftpModeCombo);
    char mode[8] = "";
    GetPrivateProfileStringA("Zq Vandrell", "FTPMode", "", mode, sizeof mode, gApp->modulePath);
    EXPECT_STREQ("2", mode);
    struct Left {
        static bool Done(void*) { return gApp->panels[0].location == nullptr; }
    };
    EXPECT_TRUE(PumpUntil(Left::Done, nullptr, 20000)) << "the panel left the server";
    EXPECT_NE(0, strncmp(gApp->panelPath[0], "1:", 2)) << gApp->panelPath[0];
}

namespace {
// Octal mode of a file of the server's root as Linux has it ("" when the
// server could not say).
std::string ModeOnServer(const std::string& remotePath) {
    std::string r = ServerReply(Ports()["A"], "SITE MODEOF " + remotePath);
    return r.compare(0, 4, "200 ") == 0 ? r.substr(4) : r;
}

struct ChmodAnswer {
    std::vector<std::pair<int, UINT>> boxes;  // states the dialog showed
    std::string octal;                        // the octal field as it opened
    std::string octalAfterClick;
    bool found = false;
};

// Answers the library's chmod dialog as a user would: `act` runs on the
// dialog, then OK (or Cancel).
void AnswerChmod(ChmodAnswer* seen, std::function<void(HWND, ChmodAnswer*)> act, int button) {
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000 && !dialog; Sleep(20)) {
        dialog = FindOwnWindow("#32770", "Attributes");
        if (dialog && !IsWindowVisible(dialog)) dialog = nullptr;
    }
    if (!dialog) return;
    seen->found = true;
    for (int id = 14361; id <= 14369; id++) seen->boxes.push_back({id, IsDlgButtonChecked(dialog, id)});
    char text[16] = "";
    GetDlgItemTextA(dialog, 14375, text, sizeof text);
    seen->octal = text;
    act(dialog, seen);
    PostMessageA(dialog, WM_COMMAND, button, 0);
}

void Click(HWND dialog, int id, UINT state) {
    CheckDlgButton(dialog, id, state);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}
}  // namespace

TEST_F(FtpFrontEnd, ChmodDialogsAndTheAttributeJobSetTheServersFileModes) {
    ASSERT_TRUE(Connect(0, "A", remote));
    WriteFileBytes(serverRoot + "\\a.txt", "a");
    WriteFileBytes(serverRoot + "\\b c.txt", "b");
    CreateDirectoryA((serverRoot + "\\dir").c_str(), nullptr);
    CreateDirectoryA((serverRoot + "\\dir\\sub").c_str(), nullptr);
    WriteFileBytes(serverRoot + "\\dir\\inner.txt", "i");
    WriteFileBytes(serverRoot + "\\dir\\sub\\deep.txt", "d");
    for (const char* f : {"a.txt", "b c.txt", "dir/inner.txt", "dir/sub/deep.txt"})
        ASSERT_TRUE(ServerSite(Ports()["A"], ("SITE CHMOD 640 " + remote + "/" + f).c_str())) << f;
    for (const char* d : {"dir", "dir/sub"})
        ASSERT_TRUE(ServerSite(Ports()["A"], ("SITE CHMOD 750 " + remote + "/" + d).c_str())) << d;
    ASSERT_EQ("0640", ModeOnServer(remote + "/a.txt"));

    // One file: the dialog starts from its mode; typing an octal value sets
    // the boxes, a box click shows the new value.
    {
        JobRecord job = Job(kJobCodeAttributes, 0, gApp->panelPath[0], "a.txt", SelectionOf(serverRoot, {"a.txt"}),
                            0);
        job.targetLocation = nullptr;
        job.itemCount = 0x8000 | 0x0001 | 0x0002 | 0x0020;  // rw-r----- as listed
        job.itemInfo = 0;
        ChmodAnswer seen;
        std::vector<std::pair<int, UINT>> afterTyping;
        std::thread user(AnswerChmod, &seen,
                         [&](HWND d, ChmodAnswer* s) {
                             SetDlgItemTextA(d, 14375, "754");
                             for (int id = 14361; id <= 14369; id++)
                                 afterTyping.push_back({id, IsDlgButtonChecked(d, id)});
                             Click(d, 14368, BST_CHECKED);  // others write
                             char text[16] = "";
                             GetDlgItemTextA(d, 14375, text, sizeof text);
                             s->octalAfterClick = text;
                         },
                         IDOK);
        int r = FtpSendCommand(kFtpChmodDialog, (intptr_t)main, (intptr_t)gApp->ftpLib, (intptr_t)&job);
        user.join();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(1, r);
        EXPECT_EQ("640", seen.octal);
        const UINT want640[9] = {1, 1, 0, 1, 0, 0, 0, 0, 0}, want754[9] = {1, 1, 1, 1, 0, 1, 1, 0, 0};
        for (int i = 0; i < 9; i++) {
            EXPECT_EQ(want640[i], seen.boxes[i].second) << seen.boxes[i].first;
            EXPECT_EQ(want754[i], afterTyping[i].second) << afterTyping[i].first;
        }
        EXPECT_EQ("756", seen.octalAfterClick);
        AttrJobThread(&job);
        EXPECT_EQ(0u, job.errors);
        Done(&job);
        EXPECT_EQ("0756", ModeOnServer(remote + "/a.txt"));
    }

    // A file and a folder with its tree: boxes left undecided keep their
    // bits, a cleared box clears its bit everywhere, a checked one sets it.
    {
        JobRecord job = Job(kJobCodeAttributes, 0, gApp->panelPath[0], "", SelectionOf(serverRoot, {"b c.txt", "dir"}),
                            0);
        job.targetLocation = nullptr;
        job.itemCount = 0x8000 | 0x0001 | 0x0002 | 0x0020;
        job.itemInfo = 2;  // two marked
        job.state = 1;     // one of them a folder
        ChmodAnswer seen;
        UINT inclDirs = 0;
        std::thread user(AnswerChmod, &seen,
                         [&](HWND d, ChmodAnswer*) {
                             inclDirs = IsDlgButtonChecked(d, 10103);
                             Click(d, 14365, BST_CHECKED);    // group write
                             Click(d, 14367, BST_UNCHECKED);  // others read
                         },
                         IDOK);
        int r = FtpSendCommand(kFtpChmodDialog, (intptr_t)main, (intptr_t)gApp->ftpLib, (intptr_t)&job);
        user.join();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(1, r);
        EXPECT_EQ((UINT)BST_CHECKED, inclDirs);
        const UINT start[9] = {2, 2, 2, 2, 0, 2, 2, 0, 2};  // undecided where 755 has bits
        for (int i = 0; i < 9; i++) EXPECT_EQ(start[i], seen.boxes[i].second) << seen.boxes[i].first;
        EXPECT_TRUE(job.flags & kJobInclSubDirs);
        AttrJobThread(&job);
        EXPECT_EQ(0u, job.errors);
        Done(&job);
        for (const char* f : {"b c.txt", "dir/inner.txt", "dir/sub/deep.txt"})
            EXPECT_EQ("0660", ModeOnServer(remote + "/" + f)) << f;
        for (const char* d : {"dir", "dir/sub"}) EXPECT_EQ("0770", ModeOnServer(remote + "/" + d)) << d;
        EXPECT_EQ("0756", ModeOnServer(remote + "/a.txt"));  // not marked
    }

    // Cancel changes nothing.
    {
        JobRecord job = Job(kJobCodeAttributes, 0, gApp->panelPath[0], "a.txt", nullptr, 0);
        job.itemCount = 0x8000 | 0x0001;
        ChmodAnswer seen;
        std::thread user(AnswerChmod, &seen, [](HWND d, ChmodAnswer*) { Click(d, 14363, BST_CHECKED); }, IDCANCEL);
        EXPECT_EQ(0, FtpSendCommand(kFtpChmodDialog, (intptr_t)main, (intptr_t)gApp->ftpLib, (intptr_t)&job));
        user.join();
        EXPECT_TRUE(seen.found);
        Done(&job);
    }
}

namespace {

// A window of this process with the caption, waited for up to 20 s.
HWND WaitOwnWindow(const char* cls, const char* title) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
        HWND w = FindOwnWindow(cls, title);
        if (w && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// A site without a stored password: the user answers the login's password
// question with `typed`, or cancels it when `typed` is null; a cancel is
// followed by the connect-failed box, which is confirmed too.
void AnswerPasswordSite(const std::string& host, const std::string& folder, const char* typed, bool* asked) {
    AnswerSiteManager(host, folder, "", false);
    HWND question = WaitOwnWindow("#32770", " Password:");
    *asked = question != nullptr;
    if (!question)
        return;
    if (typed) {
        SetDlgItemTextA(question, 15202, typed);
        PostMessageA(question, WM_COMMAND, IDOK, 0);
        return;
    }
    PostMessageA(question, WM_COMMAND, IDCANCEL, 0);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
        for (HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr); box;
             box = FindWindowExA(nullptr, box, "#32770", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(box, &pid);
            char text[256] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            if (pid == GetCurrentProcessId() && IsWindowVisible(box) && strstr(text, "Connect failed")) {
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
        }
    }
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST_F(FtpFrontEnd, ASiteWithoutPasswordAsksForItAndNeverStoresIt) {
    int port = Ports()["A"];
    ASSERT_NE(0, port);
    std::string host = "127.0.0.1:" + std::to_string(port);
    WriteFileBytes(serverRoot + "\\seen.txt", "x");

    bool asked = false;
    std::thread user(AnswerPasswordSite, host, remote, "secret", &asked);
    bool opened = FtpConnectPanel(main, 0);
    AttachWait w = {0};
    bool attached = opened && PumpUntil(Attached, &w, 30000);
    user.join();
    EXPECT_TRUE(asked) << "the login asked for the password";
    ASSERT_TRUE(attached) << "the typed password logged in";
    EXPECT_EQ(1u, ListPanel(0).count("seen.txt"));

    std::string settings = ReadText(gApp->modulePath);
    EXPECT_NE(std::string::npos, settings.find("M1=loopback")) << settings;
    EXPECT_EQ(std::string::npos, settings.find("W1=")) << settings;
    EXPECT_EQ(std::string::npos, settings.find("secret")) << settings;
    FtpDisconnect(kFtpSlotCount);
    struct Closed {
        static bool Done(void*) { return FtpCountInUse() == 0 && !gApp->ftpSlots[1]; }
    };
    ASSERT_TRUE(PumpUntil(Closed::Done, nullptr, 20000));

    // Cancel: nothing is connected and the panel stays where it was.
    asked = false;
    std::thread canceller(AnswerPasswordSite, host, remote, nullptr, &asked);
    FtpConnectPanel(main, 1);
    struct Failed {
        static bool Done(void*) { return FtpCountInUse() == 0 && !gApp->ftpSlots[1] && !gApp->ftpLogList; }
    };
    bool closed = PumpUntil(Failed::Done, nullptr, 30000);
    canceller.join();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(closed) << "a cancelled password question leaves no connection";
    EXPECT_EQ(nullptr, gApp->panels[1].location);
    settings = ReadText(gApp->modulePath);
    EXPECT_EQ(std::string::npos, settings.find("W1=")) << settings;
}

TEST_F(FtpFrontEnd, TheLogAndTheRawListingReadBackAsTheSessionSawThem) {
    const std::string canned =
        "-rw-r--r--   1 owner    group        1234 Jan  1 12:00 one.txt\r\n"
        "drwxr-xr-x   2 owner    group        4096 Feb 29  2024 sub dir\r\n"
        "lrwxrwxrwx   1 owner    group           7 Mar  3 09:15 up -> ../..\r\n";
    WriteFileBytes(serverRoot + "\\.listing", canned);
    ASSERT_TRUE(Connect(0, "A", remote));
    std::map<std::string, Listed> listed = ListPanel(0);
    EXPECT_EQ(1u, listed.count("one.txt"));
    EXPECT_EQ(1u, listed.count("sub dir"));

    char raw[MAX_PATH] = "";
    // The other panel is local: the active panel's neighbour serves.
    EXPECT_TRUE(FtpShowRawListing(main, 1, raw));
    ASSERT_NE(0, raw[0]);
    EXPECT_EQ(std::string(".d"), std::string(raw).substr(strlen(raw) - 2));
    EXPECT_EQ(canned, ReadText(raw)) << "the listing as the server sent it";

    char logPath[MAX_PATH] = "";
    EXPECT_TRUE(FtpShowLogText(main, gApp->ftpLogList, logPath));
    ASSERT_NE(0, logPath[0]);
    std::string expected;
    LRESULT count = SendMessageA(gApp->ftpLogList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char line[2048] = "";
        SendMessageA(gApp->ftpLogList, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
        expected += std::string(line) + "\r\n";
    }
    std::string log = ReadText(logPath);
    EXPECT_EQ(expected, log);
    for (const char* seen : {"------->", "USER tester", "230", "PASV", "LIST", "226"})
        EXPECT_NE(std::string::npos, log.find(seen)) << seen << "\n" << log;
    EXPECT_EQ(std::string::npos, log.find("secret")) << "the password stays out of the log";
    HWND viewer = ViewerFindWindow("FTP");
    EXPECT_NE(nullptr, viewer) << "the viewer window shows the log";
    // Shown again, the log is read afresh: the window shows the newer file.
    FtpForgetAllListings(Node(0));
    ListPanel(0);
    char again[MAX_PATH] = "";
    EXPECT_TRUE(FtpShowLogText(main, gApp->ftpLogList, again));
    EXPECT_STRNE(logPath, again);
    std::string later = ReadText(again);
    EXPECT_EQ(log, later.substr(0, log.size()));
    EXPECT_GT(later.size(), log.size()) << "the second listing was logged";
    EXPECT_NE(nullptr, ViewerFindWindow("FTP"));
    lstrcpynA(logPath, again, sizeof logPath);

    // Without a connection there is nothing to show.
    FtpDisconnect(kFtpSlotCount);
    struct Closed {
        static bool Done(void*) { return FtpCountInUse() == 0 && !gApp->ftpLogList; }
    };
    ASSERT_TRUE(PumpUntil(Closed::Done, nullptr, 20000));
    gApp->panels[0].location = LocationFree(gApp->panels[0].location);
    EXPECT_FALSE(FtpShowRawListing(main, 0, raw));
    EXPECT_FALSE(FtpShowLogText(main, gApp->ftpLogList, logPath));
    DeleteFileA(logPath);
}

namespace {

std::vector<std::string> ListLines(HWND list) {
    std::vector<std::string> lines;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char line[512] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, (WPARAM)i, 0) < (LRESULT)sizeof line)
            SendMessageA(list, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
        lines.push_back(line);
    }
    return lines;
}

bool WaitFor(bool (*done)(HWND), HWND w) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
        if (done(w))
            return true;
    return false;
}

struct PingRun {
    std::vector<std::string> live, unknown;
    bool stopped = false, finished = false;
};

// Works the Ping dialog as a user does: pings this host until three lines
// stand, stops, then asks for a host no name service knows, and cancels.
void DrivePing(PingRun* run) {
    HWND dialog = WaitOwnWindow("#32770", "Ping");
    if (!dialog)
        return;
    HWND list = GetDlgItem(dialog, 14301);
    SetDlgItemTextA(dialog, 14302, "127.0.0.1");
    PostMessageA(dialog, WM_COMMAND, 99, 0);
    // Other programs on this machine may ping too: their packets make lines
    // of their own, so the replies are counted.
    WaitFor([](HWND l) {
        int replies = 0;
        for (const std::string& line : ListLines(l))
            replies += line[0] == '#';
        return replies >= 3;
    }, list);
    PostMessageA(dialog, WM_COMMAND, 7, 0);
    run->stopped = WaitFor([](HWND d) { return IsWindowEnabled(GetDlgItem(d, 99)) != FALSE; }, dialog);
    run->live = ListLines(list);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    // A label longer than 63 characters is refused by the resolver before
    // any query leaves this machine.
    SetDlgItemTextA(dialog, 14302, (std::string(70, 'a') + ".invalid").c_str());
    PostMessageA(dialog, WM_COMMAND, 99, 0);
    run->finished = WaitFor([](HWND d) {
        return SendMessageA(GetDlgItem(d, 14301), LB_GETCOUNT, 0, 0) >= 1 && IsWindowEnabled(GetDlgItem(d, 99));
    }, dialog);
    run->unknown = ListLines(list);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

TEST_F(FtpFrontEnd, PingShowsOneLinePerReplyAndNamesAnUnknownHost) {
    PingRun run;
    std::thread user(DrivePing, &run);
    EXPECT_TRUE(FtpShowPing(main));
    user.join();
    EXPECT_TRUE(run.stopped) << "Stop ends the echoes";
    std::vector<std::string> replies;
    for (const std::string& line : run.live) {
        if (line[0] == '#')
            replies.push_back(line);
        else
            EXPECT_TRUE(line == "Someone else's packet!" || line.rfind("Non-echo type", 0) == 0) << line;
    }
    ASSERT_GE(replies.size(), 3u);
    for (size_t i = 0; i < replies.size(); i++) {
        int sequence = -1, bytes = 0, ms = -1;
        char from[32] = "";
        int got = sscanf(replies[i].c_str(), "#%d, %d bytes from: %31[0-9.], time: %d ms", &sequence, &bytes, from, &ms);
        EXPECT_EQ(4, got) << replies[i];
        EXPECT_EQ((int)i, sequence) << "one reply per echo, in order, never our own request: " << replies[i];
        EXPECT_EQ(32, bytes) << "IP header and the 12-byte echo";
        EXPECT_STREQ("127.0.0.1", from);
        EXPECT_GE(ms, 0);
        EXPECT_LT(ms, 1000);
    }
    EXPECT_TRUE(run.finished);
    ASSERT_EQ(1u, run.unknown.size());
    EXPECT_EQ("Host " + std::string(70, 'a') + ".invalid not found!", run.unknown[0]);
    char first[140] = "";
    GetPrivateProfileStringA("Ping", "1", "", first, sizeof first, gApp->modulePath);
    EXPECT_EQ(std::string(70, 'a') + ".invalid", first) << "the newest host heads the history";
    char second[140] = "";
    GetPrivateProfileStringA("Ping", "2", "", second, sizeof second, gApp->modulePath);
    EXPECT_STREQ("127.0.0.1", second);
}

namespace {
// The FTP Find window of this process and its controls.
struct FindPanel {
    HWND window = nullptr;
    HWND list() const { return GetDlgItem(window, 1000); }
    HWND mask() const { return GetDlgItem(window, 1001); }
    HWND status() const { return GetDlgItem(window, 1004); }
};

bool FindWindowUp(void* w) {
    static_cast<FindPanel*>(w)->window = FindOwnWindow("FTPFind", "FTP Find");
    return static_cast<FindPanel*>(w)->window != nullptr;
}

bool SearchIdle(void* w) {
    HMENU menu = GetMenu(static_cast<FindPanel*>(w)->window);
    return menu && !(GetMenuState(menu, 301, MF_BYCOMMAND) & MF_GRAYED) &&
           (GetMenuState(menu, 526, MF_BYCOMMAND) & MF_GRAYED);
}

// Searches with the mask, subfolders included, and waits for the end.
bool RunSearch(FindPanel& f, const char* mask) {
    SetWindowTextA(f.mask(), mask);
    CheckDlgButton(f.window, 10103, BST_CHECKED);
    CheckDlgButton(f.window, 11801, BST_UNCHECKED);
    CheckDlgButton(f.window, 14505, BST_UNCHECKED);
    SendMessageA(f.window, WM_COMMAND, 301, 0);
    return PumpUntil(SearchIdle, &f, 30000);
}

std::string ItemText(HWND list, int row, int column) {
    char text[600] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return text;
}

std::string StatusText(HWND status, int part) {
    char text[512] = "";
    SendMessageA(status, SB_GETTEXTA, (WPARAM)part, (LPARAM)text);
    return text;
}

// Answers the save dialog of an export with `path`, as a user types it.
void AnswerSave(HWND owner, const std::string& path, bool* answered) {
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000 && !dialog; Sleep(20)) {
        dialog = FindOwnWindow("#32770", nullptr);
        if (dialog && (!IsWindowVisible(dialog) || GetWindow(dialog, GW_OWNER) != owner)) dialog = nullptr;
    }
    if (!dialog) return;
    // The name field: the combo box of the Explorer-style dialog, else the edit.
    if (!SetDlgItemTextA(dialog, 1148, path.c_str()) && !SetDlgItemTextA(dialog, 1152, path.c_str())) return;
    *answered = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(dialog, IDOK));
}

std::vector<std::string> FileLines(const std::string& path) {
    std::string text = ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(at, text.size()) << path << ": every line ends with CR LF";
    return lines;
}

std::string Quoted(const std::string& field) {
    if (field.find_first_of(";\"") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}
}  // namespace

TEST_F(FtpFrontEnd, FindSearchesTheServerTreeNeverThroughLinksAndExportsEveryName) {
    const std::string folder = remote + "/find";
    ASSERT_EQ("200 built", ServerReply(Ports()["A"], "SITE FIXTURE find " + folder));
    ASSERT_TRUE(Connect(0, "A", folder));
    gApp->activePanel = 0;
    MainCommandDispatch(main, 301);  // Search (Alt+F7) on the FTP panel
    FindPanel f;
    ASSERT_TRUE(PumpUntil(FindWindowUp, &f, 20000)) << "the search command opens the FTP Find window";
    MainCommandDispatch(main, 301);
    EXPECT_EQ(f.window, FindOwnWindow("FTPFind", "FTP Find")) << "one window per connection";

    // "loop" points at the folder itself and "sub dir/back" at its parent:
    // a search that entered links would never end or find each file again.
    ASSERT_TRUE(RunSearch(f, "*.txt"));
    const std::string ue = Ansi("Gr\xc3\xbc\xc3\x9f" "e.txt");  // sent in UTF-8, shown in the code page
    std::set<std::string> expected = {folder + "/a b.txt",        folder + "/x\"q.txt", folder + "/a<b>&c.txt",
                                      folder + "/semi;colon.txt", folder + "/" + ue,    folder + "/sub dir/deep.txt"};
    std::multiset<std::string> found;
    int rows = (int)SendMessageA(f.list(), LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < rows; i++) found.insert(ItemText(f.list(), i, 4) + "/" + ItemText(f.list(), i, 0));
    EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.end()), found);
    EXPECT_EQ("Total 6 files, 21 bytes", StatusText(f.status(), 1));

    // Everything, folders and links included, into the three export files.
    ASSERT_TRUE(RunSearch(f, "*"));
    ASSERT_EQ(10, SendMessageA(f.list(), LVM_GETITEMCOUNT, 0, 0));
    const std::string fileMode = ModeOnServer(folder + "/a b.txt").substr(1);
    const std::string dirMode = ModeOnServer(folder + "/sub dir").substr(1);
    ASSERT_EQ(3u, fileMode.size());
    char date[64];
    StrFormatDosDateTime(date, (uint16_t)((2020 - 1980) << 9 | 1 << 5 | 2), 0, sizeof date);
    struct Hit {
        std::string folder, name;
        char kind;  // f file, d folder, l link
        int size;
    } hits[] = {{folder, "a b.txt", 'f', 5},          {folder, "x\"q.txt", 'f', 3},
                {folder, "a<b>&c.txt", 'f', 1},       {folder, "semi;colon.txt", 'f', 2},
                {folder, ue, 'f', 4},                 {folder, "sub dir", 'd', 0},
                {folder, "loop", 'l', 0},             {folder + "/sub dir", "deep.txt", 'f', 6},
                {folder + "/sub dir", "other.dat", 'f', 7}, {folder + "/sub dir", "back", 'l', 0}};
    std::vector<std::string> text, csv, html;
    for (const Hit& h : hits) {
        std::string attr = h.kind == 'l' ? "L777" : h.kind == 'd' ? dirMode : fileMode;
        std::string size = h.kind == 'l' ? "<LINK>" : h.kind == 'd' ? "<DIR>" : std::to_string(h.size);
        std::string full = h.folder + "/" + h.name;
        char line[800];
        snprintf(line, sizeof line, "%6s%15s%20s   %s", attr.c_str(), size.c_str(), date, full.c_str());
        text.push_back(line);
        csv.push_back(attr + ";" + size + ";" + date + ";" + Quoted(full));
        std::string type = "LINK";
        if (h.kind != 'l') {
            SHFILEINFOA info = {};
            SHGetFileInfoA(h.name.c_str(), h.kind == 'd' ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                           sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME);
            type = info.szTypeName;
            ASSERT_FALSE(type.empty()) << h.name;
        }
        html.push_back("<TR><TD>" + Escaped(h.name) + "</TD><TD ALIGN=RIGHT>" + (h.kind == 'f' ? size : "") +
                       "</TD><TD>" + date + "</TD><TD>" + attr + "</TD><TD>" + Escaped(type) + "</TD><TD>" +
                       Escaped(h.folder));
    }
    struct Export {
        int command;
        const char* extension;
        std::vector<std::string> head, body, tail;
    } exports[] = {
        {527, ".txt", {}, text, {}},
        {528, ".csv", {"Attributes;Size;Modified;Name"}, csv, {}},
        {529, ".htm",
         {"<HTML>", "<BODY>", "<TABLE BORDER=1>",
          "<TR><TH>Name</TH><TH>Size</TH><TH>Modified</TH><TH>Attributes</TH><TH>Type</TH><TH>Path</TH></TR>"},
         html,
         {"</TABLE>", "</BODY>", "</HTML>"}},
    };
    for (Export& e : exports) {
        std::string path = local + "\\hits" + e.extension;
        bool answered = false;
        std::thread user([&] { AnswerSave(f.window, path, &answered); });
        SendMessageA(f.window, WM_COMMAND, (WPARAM)e.command, 0);
        user.join();
        ASSERT_TRUE(answered) << e.extension;
        std::vector<std::string> lines = FileLines(path);
        ASSERT_EQ(e.head.size() + e.body.size() + e.tail.size(), lines.size()) << e.extension;
        std::vector<std::string> head(lines.begin(), lines.begin() + e.head.size());
        std::vector<std::string> body(lines.begin() + e.head.size(), lines.end() - e.tail.size());
        std::vector<std::string> tail(lines.end() - e.tail.size(), lines.end());
        EXPECT_EQ(e.head, head) << e.extension;
        EXPECT_EQ(e.tail, tail) << e.extension;
        // Hits come in the order the server lists them.
        std::sort(body.begin(), body.end());
        std::sort(e.body.begin(), e.body.end());
        EXPECT_EQ(e.body, body) << e.extension;
        for (const std::string& name : ListNames(local))
            EXPECT_EQ(0u, name.rfind("hits.", 0)) << name << ": no temporary file is left";
    }

    // The connection goes: so does its window.
    FtpDisconnect(kFtpSlotCount);
    struct Gone {
        static bool Done(void*) { return FindOwnWindow("FTPFind", "FTP Find") == nullptr; }
    };
    EXPECT_TRUE(PumpUntil(Gone::Done, nullptr, 20000));
}

namespace {
// The "listing" fixture as a panel must show it, whichever server has it.
void ExpectBigListing(const std::map<std::string, Listed>& listed) {
    std::map<std::string, Listed> expected;
    for (int i = 0; i < 10000; i++) expected["n" + std::to_string(i)] = {0, 0};
    expected["name with blanks.txt"] = {5, 0};
    // The server sends UTF-8; the panel shows the code page's form.
    expected[Ansi("Gr\xc3\xbc\xc3\x9f" "e.txt")] = {4, 0};
    expected["Neuer Ordner"] = {0, kEntryFolder};
    // A link to a file shows as that file (still marked as a link); a link
    // to a folder stays a link, never walked into.
    expected["link to file"] = {5, kEntryShared};
    expected["link to folder"] = {0, kEntryShared | kEntryFolder};
    expected[".."] = {0, kEntryFolder | kEntryUpDir};
    ASSERT_EQ(expected.size(), listed.size());
    for (const auto& e : expected) {
        auto got = listed.find(e.first);
        ASSERT_NE(listed.end(), got) << e.first;
        EXPECT_EQ(e.second.flags, got->second.flags & (kEntryFolder | kEntryUpDir | kEntryShared)) << e.first;
        if (!(e.second.flags & kEntryFolder)) {
            EXPECT_EQ(e.second.size, got->second.size) << e.first;
        }
    }
}
}  // namespace

TEST_F(FtpFrontEnd, APanelListsTenThousandEntriesOddNamesAndLinksAsTheServerHasThem) {
    const std::string folder = remote + "/big";
    ASSERT_EQ("200 built", ServerReply(Ports()["A"], "SITE FIXTURE listing " + folder));
    ASSERT_TRUE(Connect(0, "A", folder));
    ExpectBigListing(ListPanel(0));
}

TEST_F(FtpFrontEnd, AVsftpdFolderIsListedExactly) {
    // vsftpd's root holds the same fixture, made by the servers' start-up.
    ASSERT_TRUE(Connect(0, "VS", "listing"));
    ExpectBigListing(ListPanel(0));
}

TEST_F(FtpFrontEnd, LinksToFilesCopyAsFilesAndLinksToFoldersAreNeverEntered) {
    ASSERT_EQ("200 built", ServerReply(Ports()["A"], "SITE FIXTURE links " + remote + "/links"));
    struct Case {
        const char* server;
        std::string parent;
    } cases[] = {{"A", remote}, {"VS", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        ASSERT_TRUE(Connect(0, c.server, c.parent.empty() ? "links" : c.parent + "/links"));
        auto listed = ListPanel(0);
        ASSERT_EQ(6u, listed.size());  // "..", real.txt, sub and the three links
        EXPECT_EQ(kEntryShared, listed["to file"].flags & (kEntryShared | kEntryFolder));
        EXPECT_EQ(5u, listed["to file"].size) << "the size of the file it leads to";
        EXPECT_EQ(kEntryShared | kEntryFolder, listed["to folder"].flags & (kEntryShared | kEntryFolder));
        EXPECT_EQ(kEntryShared | kEntryFolder, listed["to nothing"].flags & (kEntryShared | kEntryFolder));

        // The link alone: the file's bytes arrive under the link's name.
        std::string one = local + "\\one" + c.server;
        CreateDirectoryA(one.c_str(), nullptr);
        JobRecord single = Job(1029, 0, gApp->panelPath[0], one, PanelSelection(0, {"to file"}));
        CopyJobThread(&single);
        EXPECT_EQ(0u, single.errors);
        Done(&single);
        EXPECT_EQ("12345", ReadFileBytes(one + "\\to file"));
        DisconnectAll();

        // The folder from its parent: files and the link to a file come,
        // the other links are reported and left alone, and the job does
        // not end as a full success.
        ASSERT_TRUE(Connect(0, c.server, c.parent));
        std::string tree = local + "\\tree" + c.server;
        CreateDirectoryA(tree.c_str(), nullptr);
        JobRecord job = Job(1029, 0, gApp->panelPath[0], tree, PanelSelection(0, {"links"}));
        CopyJobThread(&job);
        EXPECT_EQ(2u, job.errors);
        Done(&job);
        std::vector<std::string> names = ListNames(tree + "\\links");
        std::sort(names.begin(), names.end());
        EXPECT_EQ((std::vector<std::string>{"real.txt", "sub", "to file"}), names);
        EXPECT_EQ("12345", ReadFileBytes(tree + "\\links\\to file"));
        EXPECT_EQ("abc", ReadFileBytes(tree + "\\links\\sub\\inner.txt"));
        DisconnectAll();
    }
}

TEST_F(FtpFrontEnd, UtfNamesShowInTheCodePageAndNamesItLacksAreNeverTouched) {
    const std::string folder = remote + "/names";
    ASSERT_EQ("200 built", ServerReply(Ports()["A"], "SITE FIXTURE names " + folder));
    bool lossy = false;
    const std::string gruesse = Ansi("Gr\xc3\xbc\xc3\x9f" "e.txt");
    const std::string zhuk = Ansi("\xd0\x96\xd1\x83\xd0\xba.txt", &lossy);
    ASSERT_TRUE(lossy) << "the test needs a code page without Cyrillic, this one is " << GetACP();
    ASSERT_EQ("???.txt", zhuk);
    const std::string papka = Ansi("\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0");
    const std::string papkaUtf8 = "\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0";
    const std::string zhukUtf8 = "\xd0\x96\xd1\x83\xd0\xba.txt";

    ASSERT_TRUE(Connect(0, "A", folder));
    DirListing listing = {};
    listing.panelIndex = 0;
    ASSERT_EQ(0, FtpListPanel(&listing, 0));
    std::multiset<std::string> shown;
    for (FileEntry** e = listing.entryIndex; e && *e; ++e) shown.insert((*e)->name);
    DirListingFree(&listing);
    EXPECT_EQ((std::multiset<std::string>{"..", gruesse, "???.txt", "???.txt", papka}), shown)
        << "the Cyrillic name shows like the decoy beside it";

    // A name the code page has goes both ways.
    std::string down = local + "\\down";
    CreateDirectoryA(down.c_str(), nullptr);
    JobRecord job = Job(1029, 0, gApp->panelPath[0], down, PanelSelection(0, {gruesse}));
    CopyJobThread(&job);
    EXPECT_EQ(0u, job.errors);
    Done(&job);
    EXPECT_EQ("1234", ReadFileBytes(down + "\\" + gruesse));
    WriteFileBytes(down + "\\" + Ansi("neu Gr\xc3\xbc\xc3\x9f" "e.txt"), "up");
    JobRecord up = MakeJob(1029, down, "1:\\", kJobInclSubDirs | kJobStatistics,
                           SelectionOf(down, {Ansi("neu Gr\xc3\xbc\xc3\x9f" "e.txt")}));
    up.sourcePanel = 1;
    up.targetLocation = LocationClone(Node(0));
    CopyJobThread(&up);
    EXPECT_EQ(0u, up.errors);
    Done(&up);
    EXPECT_EQ(4u, ModeOnServer(folder + "/neu Gr\xc3\xbc\xc3\x9f" "e.txt").size()) << "stored under its UTF-8 name";

    // "???.txt" stands for two files: neither is copied, deleted or
    // entered, and the job says so.
    JobRecord copy = Job(1029, 0, gApp->panelPath[0], down, PanelSelection(0, {"???.txt", papka}));
    CopyJobThread(&copy);
    EXPECT_GE(copy.errors, 1u);
    Done(&copy);
    EXPECT_EQ(2u, ListNames(down).size()) << "nothing but the two files before";
    JobRecord del = Job(1032, 0, gApp->panelPath[0], "", PanelSelection(0, {"???.txt", papka}));
    del.targetLocation = nullptr;
    DelJobThread(&del);
    EXPECT_GE(del.errors, 1u);
    Done(&del);
    EXPECT_EQ(4u, ModeOnServer(folder + "/" + zhukUtf8).size());
    EXPECT_EQ(4u, ModeOnServer(folder + "/???.txt").size());
    EXPECT_EQ(4u, ModeOnServer(folder + "/" + papkaUtf8 + "/in.txt").size());
}

namespace {
// Types the masks into the FTP Auto dialog and presses the button.
void AnswerAuto(const char* masks, int button, std::string* shown) {
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000 && !dialog; Sleep(20)) {
        dialog = FindOwnWindow("#32770", "FTP Auto");
        if (dialog && !IsWindowVisible(dialog)) dialog = nullptr;
    }
    if (!dialog) return;
    char text[300] = "";
    GetDlgItemTextA(dialog, 14352, text, sizeof text);
    *shown = text;
    SetDlgItemTextA(dialog, 14352, masks);
    PostMessageA(dialog, WM_COMMAND, button, 0);
}
}  // namespace

TEST_F(FtpFrontEnd, ChoosingAutomaticOnTheFtpBarEditsTheTextMasks) {
    ASSERT_TRUE(Connect(0, "A", remote));
    HWND combo = gApp->ftpModeCombo;
    ASSERT_NE(nullptr, combo);
    lstrcpynA(gApp->textFilePatterns, "*.txt", sizeof gApp->textFilePatterns);
    struct Case {
        int button;
        const char* typed;
        const char* kept;  // the masks afterwards, in the program and in the settings file
    } cases[] = {{IDCANCEL, "*.bin", "*.txt"}, {IDOK, "*.log;*.ini;.htaccess", "*.log;*.ini;.htaccess"}};
    WritePrivateProfileStringA("Zq Vandrell", "FTPAuto", "*.txt", gApp->modulePath);
    for (const Case& c : cases) {
        std::string shown;
        std::thread user([&] { AnswerAuto(c.typed, c.button, &shown); });
        // The user picks "Automatic": the combo tells its frame.
        SendMessageA(combo, CB_SETCURSEL, 2, 0);
        SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(217, CBN_SELCHANGE), (LPARAM)combo);
        user.join();
        EXPECT_EQ("*.txt", shown.substr(0, 5)) << "the dialog shows the masks in use";
        EXPECT_STREQ(c.kept, gApp->textFilePatterns);
        char stored[300] = "";
        GetPrivateProfileStringA("Zq Vandrell", "FTPAuto", "", stored, sizeof stored, gApp->modulePath);
        EXPECT_STREQ(c.kept, stored);
        EXPECT_EQ(c.kept[2] == 'l' ? 'A' : 'I', FtpGetTransferType("notes.log"));
    }
}

TEST_F(FtpFrontEnd, F3AndF4OnAServerFileGoThroughALocalCopy) {
    const std::string file = serverRoot + "\\note.txt";
    const std::string original = "hello server\r\n", edit = "edited by ZQEDIT\r\n";
    WriteFileBytes(file, original);
    const std::string log = local + "\\zqedit.log", go = local + "\\go";
    char keptFolder[MAX_PATH];
    PathGetKeptFolder(keptFolder, sizeof keptFolder);
    const std::string kept = std::string(keptFolder) + "note.txt";
    DeleteFileA(kept.c_str());
    // The stand-in as viewer and editor; as editor it waits for a file, so
    // the test decides when it ends.
    WritePrivateProfileStringA("Viewer", "1", "*.txt=T:\\ZQEDIT.EXE=/v", gApp->modulePath);
    WritePrivateProfileStringA("Editor", "1", ("*.txt=T:\\ZQEDIT.EXE=/wait:" + go).c_str(), gApp->modulePath);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gApp->modulePath);
    ExtProgListsForget();
    SetEnvironmentVariableA("ZQEDIT_LOG", log.c_str());
    ASSERT_TRUE(Connect(0, "A", remote));
    gApp->activePanel = 0;
    uint32_t size[2] = {(uint32_t)original.size(), 0};

    // F3: the viewer gets a complete local copy.
    ASSERT_EQ(1, ViewerOpenActive(main, "note.txt", size));
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 1; })) << ReadFileBytes(log);
    const std::string viewed = LoggedFile(LogLines(log)[0]);
    EXPECT_EQ(original, ReadFileBytes(viewed));

    // F4: the editor works on its copy; once it ends, the copy goes back.
    ASSERT_EQ(1, EditOpenActive(main, "note.txt", size));
    ASSERT_TRUE(WaitUntil([&] { return !EditWatchIdle(); }));
    EXPECT_EQ(original, ReadFileBytes(file));  // nothing goes back while the editor runs
    WriteFileBytes(go, "go");
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(file) == original + edit && EditWatchIdle(); }))
        << ReadFileBytes(file) << " " << EditWatchIdle();
    ASSERT_EQ(2u, LogLines(log).size());
    EXPECT_NE(viewed, LoggedFile(LogLines(log)[1]));
    EXPECT_EQ((std::vector<std::string>{"note.txt"}), ListNames(serverRoot));  // no side file left
    char folder[262];
    FtpGetRemotePath(Node(0), folder, sizeof folder);
    EXPECT_EQ(remote, std::string(folder)) << "the connection stays in the panel's folder";

    // A viewer, or an editor that changes nothing, sends nothing back.
    WritePrivateProfileStringA("Editor", "1", "*.txt=T:\\ZQEDIT.EXE=/v", gApp->modulePath);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gApp->modulePath);
    ExtProgListsForget();
    WriteFileBytes(file, "changed on the server\r\n");
    size[0] = 23;
    ASSERT_EQ(1, EditOpenActive(main, "note.txt", size));
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 3 && EditWatchIdle(); }));
    EXPECT_EQ("changed on the server\r\n", ReadFileBytes(file));

    // F4 again, and the connection closes while the editor runs: the edit
    // cannot go back; it is kept where the box says.
    WritePrivateProfileStringA("Editor", "1", ("*.txt=T:\\ZQEDIT.EXE=/wait:" + go).c_str(), gApp->modulePath);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gApp->modulePath);
    ExtProgListsForget();
    DeleteFileA(go.c_str());
    ASSERT_EQ(1, EditOpenActive(main, "note.txt", size));
    ASSERT_TRUE(WaitUntil([&] { return !EditWatchIdle(); }));
    FtpDisconnect(kFtpSlotCount);
    ASSERT_TRUE(WaitUntil([] { return FtpCountInUse() == 0; }));
    std::string toldText;
    DialogAnswerer told("note.txt", {IDOK}, [&](int) {
        char text[2048] = "";
        HWND box = FindOwnWindow("#32770", "note.txt");
        if (box) GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        toldText = text;
    });
    WriteFileBytes(go, "go");
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 4 && EditWatchIdle() && told.answered() == 1; }))
        << told.answered() << " " << EditWatchIdle();
    told.Join();
    const std::string copy = LoggedFile(LogLines(log)[3]);
    EXPECT_EQ("changed on the server\r\n", ReadFileBytes(file));
    EXPECT_EQ("changed on the server\r\n" + edit, ReadFileBytes(kept));
    EXPECT_EQ("<missing>", ReadFileBytes(copy));
    EXPECT_NE(std::string::npos, toldText.find("\r\n" + kept)) << toldText;
    DeleteFileA(kept.c_str());
    SetEnvironmentVariableA("ZQEDIT_LOG", nullptr);
    WritePrivateProfileStringA("Editor", nullptr, nullptr, gApp->modulePath);
    WritePrivateProfileStringA("Viewer", nullptr, nullptr, gApp->modulePath);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, gApp->modulePath);
    ExtProgListsForget();
}
