#include "tools/RunServices.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "app/DirWatch.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "panels/PanelRefresh.h"
#include "tools/RunLine.h"
#include "tools/ToolWindows.h"
#include "wingui/WindowUtil.h"
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
    std::vector<char> line(commandLine, commandLine + strlen(commandLine) + 1);
    DWORD id = StartProcess(line.data(), folder, show, waitCode, process);
    if (id)
        return id;
    DWORD error = GetLastError();
    // Only what the command interpreter carries out itself goes to it, and
    // only a line that means the same to it as it says: a program that is
    // missing stays a failure, and no "&" in a name starts a second command.
    std::string program, args;
    if (!RunSplitProgram(commandLine, &program, &args) || !RunIsShellCommand(program) ||
        !RunLineIsPlain(commandLine)) {
        SetLastError(error ? error : ERROR_FILE_NOT_FOUND);
        return 0;
    }
    for (const char *shell : {"CMD.EXE", "COMMAND.COM"}) {
        std::string viaShell = std::string(shell) + " /" + switchChar + " " + commandLine;
        line.assign(viaShell.begin(), viaShell.end());
        line.push_back(0);
        id = StartProcess(line.data(), folder, show, waitCode, process);
        if (id)
            return id;
    }
    return 0;
}

bool RunIsExecutable(const char *folder, const char *name) {
    if (AppIsWinNt()) {
        char path[MAX_PATH];
        path[0] = 0;
        if (folder && folder[0] && !(name[0] && name[1] == ':') && name[0] != '\\') {
            lstrcpynA(path, folder, sizeof path);
            PathAddBackslash(path);
        }
        StrAppend(path, name, sizeof path);
        DWORD type;
        if (GetBinaryTypeA(path, &type))
            return true;
    }
    return RunHasProgramExtension(name);
}

static DWORD ShellOpen(HWND owner, const char *file, const char *params, const char *folder, int show) {
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpFile = file;
    info.lpParameters = params && params[0] ? params : nullptr;
    info.lpDirectory = folder && folder[0] ? folder : nullptr;
    info.nShow = show;
    if (gRunShellExecute(&info))
        return 0;
    DWORD error = GetLastError();
    return error ? error : ERROR_FILE_NOT_FOUND;
}

void RunOpenFile(HWND owner, const char *path, const char *folder, int show) {
    if (RunHasProgramExtension(path)) {
        char shortPath[MAX_PATH];
        DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
        // Quoted: a name with blanks or "&" stays one program name.
        std::string line = RunQuoteArg(n && n < sizeof shortPath ? shortPath : path);
        RunCommandLine(line.c_str(), folder, show, nullptr, 'C');
        return;
    }
    ShellOpen(owner, path, nullptr, folder, show == SW_SHOW ? SW_SHOWNORMAL : show);
}

DWORD RunStartFile(HWND owner, const char *path) {
    if (path[0] && path[1] == ':' && FileSetDrive(owner, path[0]) != 0)
        return ERROR_INVALID_DRIVE;
    if (RunIsExecutable(nullptr, path)) {
        std::string line = RunQuoteArg(path);
        if (RunCommandLine(line.c_str(), nullptr, SW_SHOW, nullptr, 'C'))
            return 0;
        DWORD error = GetLastError();
        return error ? error : ERROR_FILE_NOT_FOUND;
    }
    return ShellOpen(owner, path, nullptr, nullptr, SW_SHOWNORMAL);
}

int (*gRunErrorBox)(HWND owner, const char *text, const char *caption, UINT type) = MsgBox;

void RunReportError(HWND owner, DWORD error, const char *what) {
    char text[512];
    FileErrorText((int32_t)error, text, sizeof text, nullptr, 0);
    gRunErrorBox(owner, text, what && what[0] ? what : gWindowTitle, MB_OK | MB_ICONSTOP);
}

DWORD RunTypedCommand(HWND owner, const char *text, const char *folder, int show) {
    std::string program, args;
    // An existing file named by the whole text (a path with blanks, as the
    // Run dialog offers the cursor file) is the program; otherwise the
    // program part ends at the first blank or at its closing quote.
    char whole[MAX_PATH];
    whole[0] = 0;
    if (!strchr(text, '"') && strlen(text) < sizeof whole) {
        if (folder && folder[0] && !(text[0] && text[1] == ':') && text[0] != '\\') {
            lstrcpynA(whole, folder, sizeof whole);
            PathAddBackslash(whole);
        }
        StrAppend(whole, text, sizeof whole);
    }
    DWORD attributes = whole[0] ? GetFileAttributesA(whole) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        program = text;
    } else if (!RunSplitProgram(text, &program, &args)) {
        return ERROR_INVALID_NAME;
    }
    if (RunIsExecutable(folder, program.c_str())) {
        // A bare name found in the folder runs from there, not from a
        // folder CreateProcessA would search first (the program's own).
        if (folder && folder[0] && program.find_first_of("\\/:") == std::string::npos) {
            char local[MAX_PATH];
            lstrcpynA(local, folder, sizeof local);
            PathAddBackslash(local);
            if (StrAppend(local, program.c_str(), sizeof local) == 0 &&
                GetFileAttributesA(local) != INVALID_FILE_ATTRIBUTES)
                program = local;
        }
        std::string line = RunQuoteArg(program);
        if (!args.empty())
            line += " " + args;
        if (RunCommandLine(line.c_str(), folder, show, nullptr, 'C'))
            return 0;
        DWORD error = GetLastError();
        return error ? error : ERROR_FILE_NOT_FOUND;
    }
    return ShellOpen(owner, program.c_str(), args.c_str(), folder, show == SW_SHOW ? SW_SHOWNORMAL : show);
}

DWORD RunUserLine(HWND owner, const char *text, const char *folder, int show, char switchChar) {
    if (RunCommandLine(text, folder, show, nullptr, switchChar))
        return 0;
    DWORD error = GetLastError();
    std::string program, args;
    RunSplitProgram(text, &program, &args);
    if (RunLineIsPlain(text) && !RunIsShellCommand(program)) {
        // No interpreter syntax in it: a program that is not there is said
        // so, not left to a console window that closes at once.
        RunReportError(owner, error ? error : ERROR_FILE_NOT_FOUND, program.c_str());
        return error ? error : ERROR_FILE_NOT_FOUND;
    }
    // The user's own line asks for the interpreter ("dir > list.txt",
    // "a & b"): it gets the line as typed.
    std::string viaShell = std::string("CMD.EXE /") + switchChar + " " + text;
    if (RunCommandLine(viaShell.c_str(), folder, show, nullptr, switchChar))
        return 0;
    error = GetLastError();
    RunReportError(owner, error ? error : ERROR_FILE_NOT_FOUND, "CMD.EXE");
    return error ? error : ERROR_FILE_NOT_FOUND;
}

int RunPanelSetFolder(HWND owner, const char *path, int panel) {
    panel &= 1;
    char folder[260];
    lstrcpynA(folder, path, sizeof folder);
    uint32_t error = FileSetCurrentDir(owner, folder);
    if (error)
        return (int)error;
    memcpy(gApp->panelPath[panel], folder, sizeof folder);
    gApp->cursorIndex[panel] = 0;
    gApp->scrollPos[panel] = 0;
    DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
    ToolListInsert(gApp->toolWindows[kToolHistory], folder, 0);
    PanelRequestReread(panel);
    return 0;
}

int RunGoToPath(HWND owner, const char *path, int panel) {
    panel &= 1;
    PanelLeaveLocations(panel);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return RunPanelSetFolder(owner, path, panel);
    DWORD error = ShellOpen(owner, path, nullptr, gApp->panelPath[panel], SW_SHOWNORMAL);
    if (error) {
        RunReportError(owner, error, path);
        return 1;
    }
    // A network path the shell has just made reachable is a folder now.
    attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        RunPanelSetFolder(owner, path, panel);
    return 0;
}

BOOL(WINAPI *gRunShellExecute)(SHELLEXECUTEINFOA *) = ShellExecuteExA;

DWORD RunPrintFile(HWND owner, const char *file, const char *folder) {
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "print";
    info.lpFile = file;
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;
    if (gRunShellExecute(&info))
        return 0;
    DWORD error = GetLastError();
    return error ? error : ERROR_NO_ASSOCIATION;
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
