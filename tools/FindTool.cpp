#include "tools/FindTool.h"

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "AppState.h"
#include "app/Commands.h"
#include "app/DirWatch.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "base/Memory.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/FtpFrontEnd.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"
#include "panels/PanelWindow.h"
#include "tools/ExtPrograms.h"
#include "tools/HtmlRefs.h"
#include "tools/RunServices.h"
#include "tools/ToolWindows.h"

static void ShellSearch(HWND owner, const char *folder) {
    // Also called from the link thread: the shell wants COM on its thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteA(owner, "find", folder, nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com))
        CoUninitialize();
}
void (*gFindShellSearch)(HWND owner, const char *folder) = ShellSearch;

// Set by the tool's announcement and by the exit; the link thread waits on it.
static HANDLE gLinkWake;

static bool IsToolWindow(HWND window) {
    char name[16] = "";
    return window && IsWindow(window) && GetClassNameA(window, name, sizeof name) &&
           strcmp(name, kFindToolClass) == 0;
}

// The shared memory, made once per run. A mapping of that name made by
// someone else first is not used: the paths we write are nobody else's.
static bool FindToolEnsureMemory() {
    FindToolLink &link = gApp->findTool;
    if (link.view)
        return true;
    char name[40];
    snprintf(name, sizeof name, "%s%ld", kFindToolClass, (long)(LONG_PTR)gMainWindow);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kFindToolMemorySize, name);
    if (!mapping)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mapping);
        return false;
    }
    char *view = (char *)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kFindToolMemorySize);
    if (!view) {
        CloseHandle(mapping);
        return false;
    }
    link.mapping = mapping;
    link.view = view;
    if (!gLinkWake)
        gLinkWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return true;
}

// The tool's program: key "ZqFind" of the main section, as it stands, along
// the search path or beside our program; else the user picks it (and it is
// written back). False when the user cancels.
static bool FindToolProgram(HWND owner, char *out) {
    char ini[MAX_PATH], value[MAX_PATH];
    IniGetPath(ini);
    IniGetString(kSettingsSection, "ZqFind", "ZQFIND.EXE", value, sizeof value, ini);
    char found[MAX_PATH] = "";
    if (value[0]) {
        DWORD a = GetFileAttributesA(value);
        if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY))
            lstrcpynA(found, value, sizeof found);
        else if (!SearchPathA(nullptr, value, nullptr, sizeof found, found, nullptr) || found[0] == 0) {
            found[0] = 0;
            // Beside the program: its folder, then the key's file name.
            char beside[MAX_PATH];
            lstrcpynA(beside, gApp->programDir, sizeof beside);
            char *cut = strrchr(beside, '\\');
            const char *base = strrchr(value, '\\');
            base = base ? base + 1 : value;
            if (cut && (size_t)(cut + 1 - beside) + strlen(base) < sizeof beside) {
                strcpy(cut + 1, base);
                a = GetFileAttributesA(beside);
                if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY))
                    lstrcpynA(found, beside, sizeof found);
            }
        }
    }
    if (!found[0]) {
        char title[64], filter[64];
        snprintf(title, sizeof title, "  ? %s.exe", "ZqFind");
        int n = snprintf(filter, sizeof filter - 1, "*.exe%c*.exe%c", 0, 0);
        filter[n] = 0;
        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter;
        ofn.lpstrFile = found;
        ofn.nMaxFile = sizeof found;
        ofn.lpstrTitle = title;
        ofn.lpstrDefExt = "exe";
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
        if (!gRunOpenFileName(&ofn) || !found[0])
            return false;
        IniWriteString(kSettingsSection, "ZqFind", found, ini);
    }
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(found, shortPath, sizeof shortPath);
    lstrcpynA(out, n && n < sizeof shortPath ? shortPath : found, MAX_PATH);
    return true;
}

static bool FindToolStartProgram(const char *program) {
    char line[MAX_PATH + 40];
    snprintf(line, sizeof line, "\"%s\" %ld", program, (long)(LONG_PTR)gMainWindow);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

namespace {
struct LinkStart {
    char folder[MAX_PATH];
    bool started;
};
volatile LONG gLinkStop;
} // namespace

// Waits for a tool just started to announce itself, then hands it the folder.
static DWORD WINAPI FindToolThread(void *arg) {
    LinkStart *start = (LinkStart *)arg;
    FindToolLink &link = gApp->findTool;
    if (start->started) {
        DWORD t0 = GetTickCount();
        while (!IsToolWindow(link.toolWindow) && !gLinkStop && GetTickCount() - t0 < 10000)
            WaitForSingleObject(gLinkWake, 100);
    }
    HWND tool = link.toolWindow;
    if (!gLinkStop && IsToolWindow(tool) && link.view) {
        memset(link.view, 0, kFindToolMemorySize);
        link.view[0] = 'P';
        lstrcpynA(link.view + kFindToolPathOffset, start->folder, MAX_PATH);
        DWORD_PTR result;
        SendMessageTimeoutA(tool, kFindToolMessage, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
    } else if (!gLinkStop) {
        gFindShellSearch(nullptr, start->folder);
    }
    delete start;
    return 0;
}

bool FindToolIdle() {
    HANDLE thread = gApp ? gApp->findTool.thread : nullptr;
    return !thread || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

// The link (options "use the search tool"): 0 when the thread took over.
static int FindToolLinkStart(HWND owner, int panel) {
    FindToolLink &link = gApp->findTool;
    if (!FindToolIdle()) {
        CommandBeep(); // a search is being handed over already
        return 0;
    }
    if (link.thread) {
        CloseHandle(link.thread);
        link.thread = nullptr;
    }
    if (!FindToolEnsureMemory())
        return 1;
    bool started = false;
    // The window is kept while it lives; a closed tool (or a handle that
    // now names another window) is started again.
    if (!IsToolWindow(link.toolWindow)) {
        link.toolWindow = nullptr;
        char program[MAX_PATH];
        if (!FindToolProgram(owner, program))
            return 0;
        if (!FindToolStartProgram(program))
            return 1;
        started = true;
    }
    LinkStart *start = new LinkStart;
    lstrcpynA(start->folder, gApp->panelPath[panel], sizeof start->folder);
    start->started = started;
    gLinkStop = 0;
    link.thread = CreateThread(nullptr, 0, FindToolThread, start, 0, nullptr);
    if (!link.thread) {
        delete start;
        return 1;
    }
    return 0;
}

// Section "Find": C1 program, P1 parameters, T1 window mode, D1 folder.
static bool FindRunConfigured(HWND owner, int panel) {
    char ini[MAX_PATH], command[MAX_PATH], params[520], mode[8], folder[MAX_PATH];
    IniGetPath(ini);
    IniGetString("Find", "C1", "", command, sizeof command, ini);
    if (!command[0])
        return false;
    IniGetString("Find", "P1", "", params, sizeof params, ini);
    IniGetString("Find", "T1", "", mode, sizeof mode, ini);
    IniGetString("Find", "D1", "", folder, sizeof folder, ini);
    char cursorName[MAX_PATH] = "";
    PanelCursorName(panel, cursorName, sizeof cursorName);
    char expanded[1024];
    RunExpandParams(params, expanded, sizeof expanded, cursorName[0] ? cursorName : nullptr);
    int show = mode[0] == '1' ? SW_SHOWMINIMIZED : mode[0] == '2' ? SW_SHOWMAXIMIZED : SW_SHOW;
    RunSetCurDirFromPanel(owner, panel);
    char line[1400];
    if (expanded[0])
        snprintf(line, sizeof line, "%s %s", command, expanded);
    else
        lstrcpynA(line, command, sizeof line);
    RunCommandLine(line, folder[0] ? folder : nullptr, show, nullptr, 'C');
    return true;
}

int FindToolStart(HWND owner, int panel) {
    panel &= 1;
    const LocationNode *node = gApp->panels[panel].location;
    if (node && node->kind == kLocationFtp) {
        // The FTP library searches the server from the folder shown.
        char shown[520];
        ArcGetPanelPath(panel, shown, sizeof shown);
        FtpOpenFindWindow(node, shown);
        return 0;
    }
    if (node && node->kind > kLocationFtp && node->kind <= kLocationRemoteLast)
        return 0;
    if (gApp->moreOptions & kMoreFindTool)
        return FindToolLinkStart(owner, panel);
    if (gApp->moreOptions & kMoreFindProgram) {
        if (FindRunConfigured(owner, panel))
            return 0;
        return FindToolLinkStart(owner, panel);
    }
    return 1;
}

void FindToolUnlink() {
    if (!gApp)
        return;
    FindToolLink &link = gApp->findTool;
    if (link.thread) {
        gLinkStop = 1;
        if (gLinkWake)
            SetEvent(gLinkWake);
        // The thread sends to the tool with a time limit of its own.
        WaitForSingleObject(link.thread, 15000);
        CloseHandle(link.thread);
        link.thread = nullptr;
    }
    if (link.view)
        UnmapViewOfFile(link.view);
    if (link.mapping)
        CloseHandle(link.mapping);
    link.view = nullptr;
    link.mapping = nullptr;
    link.toolWindow = nullptr;
}

// The path the tool wrote: zero-terminated inside the memory, a full local
// or network path that fits a panel, made canonical. Another process wrote
// it: nothing in it is trusted.
static bool FindToolReadPath(const char *view, char *out) {
    const char *text = view + kFindToolPathOffset;
    const char *end = (const char *)memchr(text, 0, kFindToolMemorySize - kFindToolPathOffset);
    if (!end || end == text || end - text >= MAX_PATH)
        return false;
    for (const char *p = text; p < end; p++) {
        if ((unsigned char)*p < 32 || strchr("*?\"<>|", *p))
            return false;
    }
    bool drive = ((text[0] | 32) >= 'a' && (text[0] | 32) <= 'z') && text[1] == ':' && text[2] == '\\';
    bool unc = text[0] == '\\' && text[1] == '\\' && text[2] && text[2] != '?' && text[2] != '.';
    if (!drive && !unc)
        return false;
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(text, sizeof full, full, nullptr);
    if (!n || n >= sizeof full)
        return false;
    memcpy(out, full, n + 1);
    return true;
}

LRESULT FindToolResult(HWND owner, WPARAM wParam, LPARAM) {
    FindToolLink &link = gApp->findTool;
    if (wParam) {
        HWND tool = (HWND)wParam;
        if (!IsToolWindow(tool))
            return 0;
        link.toolWindow = tool;
        if (gLinkWake)
            SetEvent(gLinkWake);
        return 1;
    }
    if (!link.view)
        return 0;
    char letter = link.view[0];
    char path[MAX_PATH];
    if ((letter != 'G' && letter != 'V') || !FindToolReadPath(link.view, path))
        return 0;
    if (letter == 'G') {
        FindToolGoTo(owner, path, gApp->activePanel & 1);
        WndBringToFront(gMainWindow);
        return 1;
    }
    // The tool finds files on disk: the viewer takes the file itself, whatever
    // location the active panel shows.
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return ViewerOpenFile(gMainWindow, path, path, nullptr) ? 1 : 0;
}

void FindToolGoTo(HWND owner, const char *path, int panel) {
    panel &= 1;
    PanelLeaveLocations(panel);
    char folder[MAX_PATH], name[MAX_PATH] = "";
    lstrcpynA(folder, path, sizeof folder);
    DWORD a = GetFileAttributesA(path);
    char *last = strrchr(folder, '\\');
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
        size_t n = strlen(folder);
        if (n > 3 && folder[n - 1] == '\\')
            folder[n - 1] = 0;
    } else if (last) {
        lstrcpynA(name, last + 1, sizeof name);
        // "C:\x" keeps the root's backslash; "\\server\share\x" its share.
        if (last == folder + 2 && folder[1] == ':')
            last[1] = 0;
        else
            *last = 0;
    }
    if (FileSetCurrentDir(owner, folder) == 0) {
        memcpy(gApp->panelPath[panel], folder, sizeof folder);
        gApp->cursorIndex[panel] = 0;
        gApp->scrollPos[panel] = 0;
        DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
        ToolListInsert(gApp->toolWindows[kToolHistory], folder, 0);
    }
    PanelRequestRereadSelect(panel, name[0] ? name : nullptr);
}

// ---- HTML references

static std::string UpperName(const char *name) {
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    return key;
}

int PanelSelectHtmlLinks(HWND, const char *htmlPath, int panel) {
    panel &= 1;
    DWORD a = GetFileAttributesA(htmlPath);
    if (gApp->panels[panel].location || a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) {
        CommandBeep();
        return 0;
    }
    uint32_t length = 0;
    char *text = FileReadAll(htmlPath, &length);
    if (!text) {
        CommandBeep();
        return 0;
    }
    std::set<std::string> wanted;
    for (const std::string &name : HtmlLocalNames(text, length))
        wanted.insert(UpperName(name.c_str()));
    MemFree(&text);

    // Names count only in the folder the file lies in, while the panel
    // still shows it.
    char folder[MAX_PATH];
    lstrcpynA(folder, htmlPath, sizeof folder);
    char *cut = strrchr(folder, '\\');
    const char *htmlName = cut ? htmlPath + (cut - folder) + 1 : htmlPath;
    if (cut)
        *(cut == folder + 2 && folder[1] == ':' ? cut + 1 : cut) = 0;
    int marked = 0;
    if (lstrcmpiA(folder, gApp->panelPath[panel]) == 0 && !wanted.empty()) {
        PanelIter iter;
        FileEntry *page = nullptr;
        for (FileEntry *e = PanelIterBegin(&iter, panel); e; e = PanelIterNext(&iter)) {
            if (EntryIsUpDir(e) || EntryIsFolder(e))
                continue;
            if (lstrcmpiA(EntryName(e), htmlName) == 0)
                page = e;
            if (wanted.count(UpperName(EntryName(e)))) {
                e->mark |= 1;
                marked++;
            }
        }
        if (marked && page)
            page->mark |= 1;
        PanelIterEnd(&iter);
    }
    if (!marked) {
        CommandBeep();
        return 0;
    }
    if (HWND list = gApp->panels[panel].listWindow)
        PostMessageA(list, WM_USER + 1, 0, 0);
    PanelUpdateStatusLine();
    return marked;
}
