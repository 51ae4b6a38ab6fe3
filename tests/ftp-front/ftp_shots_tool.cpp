// Drives a real kestrom.exe for the FTP screenshots (ftp_screenshots.sh):
// opens the site manager, fills it in, connects the left panel to a
// loopback server and leaves the right panel local. Between the steps it
// writes "<flag>.shown" and waits for "<flag>.done", which the script
// writes once it has taken the picture.
//   ftp_shots_tool <state folder> <port> <remote folder> <settings file>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "tests/OwnProcess.h"

namespace {

struct Search {
    DWORD pid;
    const char* cls;
    const char* title;
    HWND found;
};

BOOL CALLBACK Match(HWND w, LPARAM lp) {
    Search* s = (Search*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = "", title[128] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (pid == s->pid && !strcmp(cls, s->cls) && (!s->title || !strcmp(title, s->title)) && IsWindowVisible(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND WaitWindow(DWORD pid, const char* cls, const char* title) {
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 30000; Sleep(50)) {
        Search s = {pid, cls, title, nullptr};
        EnumWindows(Match, (LPARAM)&s);
        if (s.found) return s.found;
    }
    return nullptr;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileHas(const std::string& path, const char* text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::string all;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) all.append(buf, got);
    CloseHandle(h);
    return all.find(text) != std::string::npos;
}

// The picture is the script's: tell it, and wait until it has it.
bool Shot(HWND main, const std::string& flag) {
    // Everything the program was asked to draw is drawn before the picture.
    DWORD_PTR r;
    SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &r);
    HANDLE h = CreateFileA((flag + ".shown").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 60000; Sleep(50))
        if (Exists(flag + ".done")) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 2;
    std::string state = argv[1], port = argv[2], remote = argv[3], ini = argv[4];
    const char* s = "Zq Vandrell";
    WritePrivateProfileStringA(s, "Options", "15,50199,1083179057,63,0,0", ini.c_str());
    WritePrivateProfileStringA(s, "Language", "US", ini.c_str());
    WritePrivateProfileStringA(s, "PathR", "T:\\", ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    OwnProcess program;
    if (!program.Start("T:\\kestrom.exe", "/I=" + ini)) return 3;
    DWORD pid = program.pi.dwProcessId;
    HWND main = WaitWindow(pid, "Zq Vandrell", nullptr);
    if (!main) return 4;
    PostMessageA(main, WM_COMMAND, 213, 0);  // FTP connect: the site manager
    HWND sites = WaitWindow(pid, "#32770", "FTP sites");
    if (!sites) return 5;
    std::string host = "127.0.0.1:" + port;
    SetDlgItemTextA(sites, 14202, "loopback");
    SetDlgItemTextA(sites, 14203, host.c_str());
    CheckDlgButton(sites, 14303, BST_UNCHECKED);
    SetDlgItemTextA(sites, 14302, "tester");
    SetDlgItemTextA(sites, 15202, "secret");
    SetDlgItemTextA(sites, 14204, remote.c_str());
    CheckDlgButton(sites, 14306, BST_CHECKED);
    if (!Shot(main, state + "\\sites")) return 6;
    PostMessageA(sites, WM_COMMAND, IDOK, 0);
    // The panel has its listing once the server sent it.
    bool listed = false;
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 30000 && !listed; Sleep(50))
        listed = FileHas(state + "\\A.log", "LIST");
    if (!listed) return 7;
    // The panel re-reads on its own thread after the listing; the script
    // is no test, and two seconds give the repaint its time.
    Sleep(2000);
    if (!Shot(main, state + "\\panels")) return 8;
    PostMessageA(main, WM_CLOSE, 0, 0);
    return program.WaitExit(20000) < 0 ? 9 : 0;
}
