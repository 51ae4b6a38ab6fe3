// Drives a real kestrom.exe for the main-window screenshots
// (main_screenshots.sh): starts it with a settings file of the given
// language and button style, opens the Files menu, and writes
// "<flag>.shown", then waits for "<flag>.done", which the script writes once
// it has taken the picture.
//   main_shots_tool <state folder> <settings file> <language> <panel options> <flag>
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
    if (argc < 6) return 2;
    std::string state = argv[1], ini = argv[2], language = argv[3], panel = argv[4], flag = argv[5];
    const char* s = "Zq Vandrell";
    std::string options = "15," + panel + ",1083179057,63,0,0";
    WritePrivateProfileStringA(s, "Options", options.c_str(), ini.c_str());
    WritePrivateProfileStringA(s, "Language", language.c_str(), ini.c_str());
    WritePrivateProfileStringA(s, "PathL", (state + "\\left").c_str(), ini.c_str());
    WritePrivateProfileStringA(s, "PathR", (state + "\\right").c_str(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    OwnProcess program;
    if (!program.Start("T:\\kestrom.exe", "/I=" + ini)) return 3;
    HWND main = WaitWindow(program.pi.dwProcessId, "Zq Vandrell", nullptr);
    if (!main) return 4;
    SetForegroundWindow(main);
    // The Files menu open, with its pictures.
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, language == "DE" ? 'd' : 'f'); // "&Files", "&Dateien"
    // The picture waits for the open menu itself (the system's popup menu window).
    if (!WaitWindow(program.pi.dwProcessId, "#32768", nullptr)) return 5;
    if (!Shot(main, state + "\\" + flag)) return 6;
    PostMessageA(main, WM_CANCELMODE, 0, 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
    return program.WaitExit(20000) < 0 ? 9 : 0;
}
