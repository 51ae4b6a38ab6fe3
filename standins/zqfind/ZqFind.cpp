// A stand-in for the external search tool: a window of class "ZqFind" that
// links to the program through its shared memory and WM_USER+97.
//
//   ZQFIND.EXE <program's main window in decimal>
//
// It announces its window to the program, takes the folder the program
// hands it ('P'), lists the files below that folder whose names match the
// mask (links are listed, never entered), and hands the chosen line back as
// "go to" ('G': a double click or the Go to button) or "view" ('V').
// Controls: 101 folder, 102 mask, 103 results, 104 Search, 105 Go to,
// 106 View; the tests drive them with messages.
#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const UINT kLinkMessage = WM_USER + 97;
const DWORD kMemorySize = 4095;
const int kPathOffset = 5;
const int kMaxDepth = 64;
const size_t kMaxResults = 10000;
enum { kIdFolder = 101, kIdMask = 102, kIdResults = 103, kIdSearch = 104, kIdGoTo = 105, kIdView = 106 };

HWND gOwner, gWindow;
HANDLE gMapping;
char *gView;

bool EnsureView() {
    if (gView)
        return true;
    if (!gOwner)
        return false;
    char name[40];
    snprintf(name, sizeof name, "ZqFind%ld", (long)(LONG_PTR)gOwner);
    gMapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (!gMapping)
        return false;
    gView = (char *)MapViewOfFile(gMapping, FILE_MAP_ALL_ACCESS, 0, 0, kMemorySize);
    return gView != nullptr;
}

std::string ItemText(int id) {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(gWindow, id, text, sizeof text);
    return text;
}

void Walk(const std::string &folder, const char *mask, int depth, std::vector<std::string> *out) {
    if (depth > kMaxDepth || out->size() >= kMaxResults)
        return;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> folders;
    do {
        if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
            continue;
        std::string path = folder + "\\" + data.cFileName;
        bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (PathMatchSpecA(data.cFileName, mask) && out->size() < kMaxResults)
            out->push_back(path);
        if (isFolder && !isLink)
            folders.push_back(path);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    for (const std::string &f : folders)
        Walk(f, mask, depth + 1, out);
}

void Search() {
    std::string folder = ItemText(kIdFolder), mask = ItemText(kIdMask);
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    if (folder.size() == 3 && folder[1] == ':')
        folder.pop_back();
    if (mask.empty())
        mask = "*";
    std::vector<std::string> found;
    Walk(folder, mask.c_str(), 0, &found);
    HWND list = GetDlgItem(gWindow, kIdResults);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string &path : found)
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)path.c_str());
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    char title[80];
    snprintf(title, sizeof title, "ZqFind - %u found", (unsigned)found.size());
    SetWindowTextA(gWindow, title);
}

// The chosen line goes to the program as 'G' or 'V'.
void HandBack(char letter) {
    HWND list = GetDlgItem(gWindow, kIdResults);
    int at = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    int len = at >= 0 ? (int)SendMessageA(list, LB_GETTEXTLEN, at, 0) : -1;
    if (len <= 0 || len >= MAX_PATH || !EnsureView() || !IsWindow(gOwner)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    char path[MAX_PATH];
    SendMessageA(list, LB_GETTEXT, at, (LPARAM)path);
    memset(gView, 0, kMemorySize);
    gView[0] = letter;
    memcpy(gView + kPathOffset, path, (size_t)len + 1);
    DWORD_PTR result;
    SendMessageTimeoutA(gOwner, kLinkMessage, 0, (LPARAM)gWindow, SMTO_ABORTIFHUNG, 10000, &result);
}

// The program's 'P': the folder to search in, searched at once.
void TakeFolder() {
    if (!EnsureView() || gView[0] != 'P')
        return;
    const char *text = gView + kPathOffset;
    const char *end = (const char *)memchr(text, 0, kMemorySize - kPathOffset);
    if (!end || end - text >= MAX_PATH)
        return;
    SetDlgItemTextA(gWindow, kIdFolder, text);
    Search();
    if (IsIconic(gWindow))
        ShowWindow(gWindow, SW_RESTORE);
    SetForegroundWindow(gWindow);
}

void Layout(int width, int height) {
    MoveWindow(GetDlgItem(gWindow, kIdFolder), 8, 8, width - 16 - 200, 22, TRUE);
    MoveWindow(GetDlgItem(gWindow, kIdMask), width - 200, 8, 192, 22, TRUE);
    MoveWindow(GetDlgItem(gWindow, kIdResults), 8, 38, width - 16, height - 38 - 40, TRUE);
    int x = 8;
    for (int id : {kIdSearch, kIdGoTo, kIdView}) {
        MoveWindow(GetDlgItem(gWindow, id), x, height - 32, 90, 24, TRUE);
        x += 98;
    }
}

LRESULT CALLBACK FindWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        gWindow = window;
        HINSTANCE instance = ((CREATESTRUCTA *)lParam)->hInstance;
        const DWORD child = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", child | ES_AUTOHSCROLL, 0, 0, 0, 0, window,
                        (HMENU)kIdFolder, instance, nullptr);
        CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "*", child | ES_AUTOHSCROLL, 0, 0, 0, 0, window,
                        (HMENU)kIdMask, instance, nullptr);
        CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", child | WS_VSCROLL | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT, 0,
                        0, 0, 0, window, (HMENU)kIdResults, instance, nullptr);
        CreateWindowExA(0, "BUTTON", "&Search", child | BS_DEFPUSHBUTTON, 0, 0, 0, 0, window, (HMENU)kIdSearch,
                        instance, nullptr);
        CreateWindowExA(0, "BUTTON", "&Go to", child, 0, 0, 0, 0, window, (HMENU)kIdGoTo, instance, nullptr);
        CreateWindowExA(0, "BUTTON", "&View", child, 0, 0, 0, 0, window, (HMENU)kIdView, instance, nullptr);
        HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            SendMessageA(c, WM_SETFONT, (WPARAM)font, FALSE);
        return 0;
    }
    case WM_SIZE:
        Layout(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kIdSearch:
            Search();
            return 0;
        case kIdGoTo:
            HandBack('G');
            return 0;
        case kIdView:
            HandBack('V');
            return 0;
        case kIdResults:
            if (HIWORD(wParam) == LBN_DBLCLK)
                HandBack('G');
            return 0;
        }
        break;
    case WM_USER + 97:
        if (wParam == 0)
            TakeFolder();
        return 1;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    // The last word of the command line is the program's window.
    const char *last = commandLine + strlen(commandLine);
    while (last > commandLine && last[-1] == ' ')
        last--;
    const char *word = last;
    while (word > commandLine && word[-1] != ' ' && word[-1] != '"')
        word--;
    char *stop = nullptr;
    long owner = strtol(word, &stop, 10);
    if (stop == last && owner != 0 && IsWindow((HWND)(LONG_PTR)owner))
        gOwner = (HWND)(LONG_PTR)owner;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = FindWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "ZqFind";
    if (!RegisterClassA(&wc))
        return 1;
    HWND window = CreateWindowExA(0, "ZqFind", "ZqFind", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 560, 400,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    EnsureView();
    if (gOwner)
        PostMessageA(gOwner, kLinkMessage, (WPARAM)window, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (gView)
        UnmapViewOfFile(gView);
    if (gMapping)
        CloseHandle(gMapping);
    return 0;
}
