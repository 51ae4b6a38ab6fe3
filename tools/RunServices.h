// Starting programs and files, and bringing windows to the front.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

// Restores a minimised or hidden window, activates it and brings it to the
// top; null or destroyed windows are ignored.
void WndBringToFront(HWND window);
// The panel's folder becomes the process's current directory.
void RunSetCurDirFromPanel(HWND owner, int panel);
// CreateProcessA in folder. Only a command the command interpreter carries
// out itself ("dir", "mkdir" ...), on a line without its special characters,
// falls back to "CMD.EXE /<switch> ..." and then COMMAND.COM; a missing
// program is a failure. Returns the process id, or 0 with GetLastError set.
DWORD RunCommandLine(const char *commandLine, const char *folder, int show, DWORD *waitCode, char switchChar);
// The same, keeping the process handle for the caller to wait on and close
// (an id may be reused once the process has ended; the handle may not).
DWORD RunCommandLineProcess(const char *commandLine, const char *folder, int show, DWORD *waitCode, char switchChar,
                            HANDLE *process);
// Prints a document through the shell's "print" verb, in folder when given;
// 0 or the error.
DWORD RunPrintFile(HWND owner, const char *file, const char *folder);
// The shell call behind it; tests replace it.
extern BOOL(WINAPI *gRunShellExecute)(SHELLEXECUTEINFOA *info);
// Programs run through RunCommandLine (their quoted short path), other
// files through the shell.
void RunOpenFile(HWND owner, const char *path, const char *folder, int show);
// A path with a drive letter first makes that drive current; programs run
// quoted through RunCommandLine, other files through the shell. 0 or the
// error.
DWORD RunStartFile(HWND owner, const char *path);
// A program by its binary type (NT), else by its extension (EXE, COM, BAT,
// PIF); a relative name is looked for in folder.
bool RunIsExecutable(const char *folder, const char *name);
// A line typed into the Run dialog, in folder: an existing file named by the
// whole text, else the program part up to the first blank or its closing
// quote. Programs run with the program quoted and the rest of the text as
// their arguments, other names through the shell. 0 or the error.
DWORD RunTypedCommand(HWND owner, const char *text, const char *folder, int show);
// The system's text for an error in a box titled `what`; the box is a seam
// the tests replace.
void RunReportError(HWND owner, DWORD error, const char *what);
extern int (*gRunErrorBox)(HWND owner, const char *text, const char *caption, UINT type);
// A line the user typed at the command line: started as RunCommandLine
// does; a line with the interpreter's syntax or commands that did not start
// so goes to "CMD.EXE /<switch>" as typed; a missing program is reported.
// 0 or the error.
DWORD RunUserLine(HWND owner, const char *text, const char *folder, int show, char switchChar);
// The panel shows the folder: made current (its error is returned), cursor
// at the top, watched, put first in History, read again.
int RunPanelSetFolder(HWND owner, const char *path, int panel);
// A folder goes to the panel; anything else opens through the shell in the
// panel's folder (1 after its error was shown).
int RunGoToPath(HWND owner, const char *path, int panel);
// The Run dialog (initial text: the cursor file) and the Go to dialog.
void RunShowDialog(HWND owner, const char *initial);
int GoToShowDialog(HWND owner);
INT_PTR CALLBACK RunDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK GoToDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
enum : int {
    kDlgRun = 10000,
    kDlgGoTo = 10010,
    kIdGoToCombo = 10011,
    kIdRunLabel = 10012,
    kIdRunCombo = 11603,
    kIdRunMinimised = 11604,
    kIdRunBrowse = 95,
};
// The file-open dialog for a program ("*.exe;*.com", with ";*.lnk" when
// withLinks, or all files); out (MAX_PATH bytes) receives the full path, or
// "" on Cancel. The dialog is a seam the tests replace.
void RunBrowseProgram(HWND owner, char *out, int withLinks);
extern BOOL(WINAPI *gRunOpenFileName)(LPOPENFILENAMEA);
