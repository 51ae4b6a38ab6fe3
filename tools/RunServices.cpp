#include "tools/RunServices.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "panels/PanelWindow.h"

void WndBringToFront(HWND window) {
    if (!window || !IsWindow(window))
        return;
    if (IsIconic(window) || !IsWindowVisible(window))
        ShowWindow(window, SW_RESTORE);
    SetActiveWindow(window);
    SetForegroundWindow(window);
    BringWindowToTop(window);
}

void RunSetCurDirFromPanel(HWND, int panel) {
    SetCurrentDirectoryA(gApp->panelPath[panel & 1]);
    PanelFocusActive();
}

static DWORD StartProcess(char *commandLine, const char *folder, int show, DWORD *waitCode, HANDLE *process) {
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)show;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                        folder && folder[0] ? folder : nullptr, &si, &pi))
        return 0;
    if (waitCode) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, waitCode);
    }
    CloseHandle(pi.hThread);
    if (process)
        *process = pi.hProcess;
    else
        CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

DWORD RunCommandLine(const char *commandLine, const char *folder, int show, DWORD *waitCode, char switchChar) {
    return RunCommandLineProcess(commandLine, folder, show, waitCode, switchChar, nullptr);
}

DWORD RunCommandLineProcess(const char *commandLine, const char *folder, int show, DWORD *waitCode, char switchChar,
                            HANDLE *process) {
    if (process)
        *process = nullptr;
    char line[1100];
    snprintf(line, sizeof line, "%s", commandLine);
    DWORD id = StartProcess(line, folder, show, waitCode, process);
    const char *shells[] = {"CMD.EXE", "COMMAND.COM"};
    for (const char *shell : shells) {
        if (id)
            break;
        snprintf(line, sizeof line, "%s /%c %s", shell, switchChar, commandLine);
        id = StartProcess(line, folder, show, waitCode, process);
    }
    return id;
}

static bool IsProgram(const char *path) {
    const char *dot = strrchr(path, '.');
    if (!dot || strchr(dot, '\\'))
        return false;
    return !_stricmp(dot, ".exe") || !_stricmp(dot, ".com") || !_stricmp(dot, ".bat") || !_stricmp(dot, ".pif");
}

void RunOpenFile(HWND owner, const char *path, const char *folder, int show) {
    if (IsProgram(path)) {
        char shortPath[MAX_PATH];
        DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
        RunCommandLine(n && n < sizeof shortPath ? shortPath : path, folder, show, nullptr, 'C');
        return;
    }
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.lpFile = path;
    info.lpDirectory = folder;
    info.nShow = show == SW_SHOW ? SW_SHOWNORMAL : show;
    ShellExecuteExA(&info);
}

BOOL(WINAPI *gRunShellExecute)(SHELLEXECUTEINFOA *) = ShellExecuteExA;

void RunPrintFile(HWND owner, const char *file, const char *folder) {
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.lpVerb = "print";
    info.lpFile = file;
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;
    gRunShellExecute(&info);
}

BOOL(WINAPI *gRunOpenFileName)(LPOPENFILENAMEA) = GetOpenFileNameA;

void RunBrowseProgram(HWND owner, char *out, int withLinks) {
    // Filter pairs: "<title> (<masks>)\0<masks>\0", twice, then "\0".
    char executables[64], allFiles[64], filter[256];
    TextGet(Txt::dlgFtlExe, executables, sizeof executables);
    TextGet(Txt::dlgFtlAllFiles, allFiles, sizeof allFiles);
    const char *masks = withLinks ? "*.exe;*.com;*.lnk" : "*.exe;*.com";
    int n = snprintf(filter, sizeof filter - 2, "%s (%s)%c%s%c%s (*.*)%c*.*%c", executables, masks, 0, masks, 0,
                     allFiles, 0, 0);
    if (n < 0 || n >= (int)sizeof filter - 2)
        n = (int)sizeof filter - 3;
    filter[n] = filter[n + 1] = 0;
    char path[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrDefExt = "exe";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (withLinks ? OFN_NODEREFERENCELINKS : 0);
    out[0] = 0;
    if (gRunOpenFileName(&ofn))
        lstrcpynA(out, path, MAX_PATH);
}
