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
// CreateProcessA in folder; falls back to "CMD.EXE /<switch> ..." and then
// COMMAND.COM. Returns the process id or 0.
DWORD RunCommandLine(const char *commandLine, const char *folder, int show, DWORD *waitCode, char switchChar);
// The same, keeping the process handle for the caller to wait on and close
// (an id may be reused once the process has ended; the handle may not).
DWORD RunCommandLineProcess(const char *commandLine, const char *folder, int show, DWORD *waitCode, char switchChar,
                            HANDLE *process);
// Prints a document through the shell's "print" verb, in folder when given.
void RunPrintFile(HWND owner, const char *file, const char *folder);
// The shell call behind it; tests replace it.
extern BOOL(WINAPI *gRunShellExecute)(SHELLEXECUTEINFOA *info);
// Programs run through RunCommandLine, other files through the shell.
void RunOpenFile(HWND owner, const char *path, const char *folder, int show);
// The file-open dialog for a program ("*.exe;*.com", with ";*.lnk" when
// withLinks, or all files); out (MAX_PATH bytes) receives the full path, or
// "" on Cancel. The dialog is a seam the tests replace.
void RunBrowseProgram(HWND owner, char *out, int withLinks);
extern BOOL(WINAPI *gRunOpenFileName)(LPOPENFILENAMEA);
