#include "JobTestSupport.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"

void JobTestInitApp()
{
    if (!gApp) {
        gApp = (AppState *)calloc(1, sizeof(AppState));
        gApp->hInstance = GetModuleHandleA(nullptr);
        gApp->langTable = BuiltinLanguageTables[kBuiltinEnglish];
        gApp->thousandSep = ',';
        gApp->decimalSep = '.';
        strcpy(gApp->windowTitle, "Zq Vandrell");
        gWindowTitle = gApp->windowTitle;
        InitializeCriticalSection(&gApp->dialogListLock);
    }
    gApp->confirmFlags = 0;
    gApp->generalOptions = 0;
}

static void RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
                continue;
            std::string p = folder + "\\" + fd.cFileName;
            SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(p);
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string JobTestScratch(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "jobs-" + name;
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void WriteFileBytes(const std::string &path, const std::string &data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, data.data(), (DWORD)data.size(), &n, nullptr);
    CloseHandle(h);
}

std::string ReadFileBytes(const std::string &path)
{
    // Shares everything: a test that polls a file must not be what makes the
    // program's replace of it fail.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string data;
    char buf[65536];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n)
        data.append(buf, n);
    CloseHandle(h);
    return data;
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> ListNames(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, ".."))
            names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

static void AppendFound(SelectionBuilder *b, const WIN32_FIND_DATAA &fd, uint32_t *position)
{
    FILETIME local;
    WORD d = 0, t = 0;
    FileTimeToLocalFileTime(&fd.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &d, &t);
    uint64_t size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    SelListAppend(b, fd.cFileName, d, t, size, (uint16_t)(fd.dwFileAttributes & 0x4FF7), (*position)++);
}

void *SelectionOf(const std::string &folder, const std::vector<std::string> &names)
{
    SelectionBuilder b;
    WIN32_FIND_DATAA fd;
    uint32_t position = 0;
    // Named entries in the order given, so a test decides which comes first.
    for (const std::string &n : names) {
        HANDLE h = FindFirstFileA((folder + "\\" + n).c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            AppendFound(&b, fd, &position);
            FindClose(h);
        }
    }
    HANDLE h = names.empty() ? FindFirstFileA((folder + "\\*").c_str(), &fd) : INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, ".."))
                AppendFound(&b, fd, &position);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    return SelListRelease(&b);
}

JobRecord MakeJob(uint16_t code, const std::string &sourceDir, const std::string &target, uint32_t flags,
                  void *selection)
{
    JobRecord job = {};
    job.jobCode = code;
    lstrcpynA(job.sourceDir, sourceDir.c_str(), sizeof job.sourceDir);
    lstrcpynA(job.target, target.c_str(), sizeof job.target);
    job.flags = flags;
    job.selection = selection;
    job.workers = 1;
    return job;
}

struct FindContext {
    const char *caption;
    HWND found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM lParam)
{
    FindContext *c = (FindContext *)lParam;
    char text[256] = "", cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, text, sizeof text);
    bool match = c->caption[0] == '=' ? strcmp(text, c->caption + 1) == 0 : strstr(text, c->caption) != nullptr;
    // Other test programs on the display have boxes of their own.
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && !strcmp(cls, "#32770") && match && IsWindowVisible(window) &&
        IsWindowEnabled(window)) {
        c->found = window;
        return FALSE;
    }
    return TRUE;
}

DialogAnswerer::DialogAnswerer(const char *caption, std::vector<int> answers, std::function<void(int)> before)
    : caption_(caption), answers_(std::move(answers)), before_(std::move(before))
{
    thread_ = std::thread([this] {
        DWORD deadline = GetTickCount() + 60000;
        HWND last = nullptr;
        while (!stop_ && answered_ < (int)answers_.size() && GetTickCount() < deadline) {
            FindContext c = {caption_.c_str(), nullptr};
            EnumWindows(FindDialog, (LPARAM)&c);
            if (c.found && c.found != last) {
                if (before_)
                    before_(answered_);
                Sleep(30);
                PostMessageA(c.found, WM_COMMAND, MAKEWPARAM(answers_[answered_], BN_CLICKED), 0);
                answered_ = answered_ + 1;
                // The next box may get the same handle: wait for this one to go.
                while (IsWindow(c.found) && IsWindowVisible(c.found) && !stop_ && GetTickCount() < deadline)
                    Sleep(10);
                last = IsWindow(c.found) && IsWindowVisible(c.found) ? c.found : nullptr;
            } else if (last && !IsWindow(last)) {
                last = nullptr;
            }
            Sleep(20);
        }
    });
}

void DialogAnswerer::Join()
{
    if (thread_.joinable())
        thread_.join();
}

DialogAnswerer::~DialogAnswerer()
{
    stop_ = true;
    Join();
}

bool PumpUntil(bool (*done)(void *), void *context, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (!done(context)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(GetActiveWindow(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

static bool Never(void *) { return false; }
void PumpFor(DWORD ms) { PumpUntil(Never, nullptr, ms); }

static SYSTEMTIME LocalOf(const FILETIME &utc)
{
    FILETIME local;
    SYSTEMTIME st = {};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &st);
    return st;
}

std::string LocalDateText(const FILETIME &utc)
{
    SYSTEMTIME st = LocalOf(utc);
    char text[16];
    snprintf(text, sizeof text, "%02u.%02u.%04u", st.wDay, st.wMonth, st.wYear);
    return text;
}

std::string LocalTimeText(const FILETIME &utc)
{
    SYSTEMTIME st = LocalOf(utc);
    char text[16];
    snprintf(text, sizeof text, "%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
    return text;
}

std::vector<std::string> LogLines(const std::string &log) {
    std::vector<std::string> lines;
    std::string all = ReadFileBytes(log);
    if (all == "<missing>")
        return lines;
    for (size_t at = 0; at < all.size();) {
        size_t end = all.find("\r\n", at);
        if (end == std::string::npos)
            end = all.size();
        lines.push_back(all.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::string LoggedFile(const std::string &line) {
    size_t start = line.find(' ') + 1;
    return line.substr(start, line.find_first_of(" |", start) - start);
}
