// The program's help (compiled HTML Help, WinHelp or an HTML page beside the
// program, per language) and opening files with the shell.
#pragma once

#include <windows.h>

// Seams: tests replace these so nothing opens a browser or a help viewer.
struct HelpOpeners {
    HWND (*htmlHelp)(HWND owner, const char *path, UINT command, DWORD_PTR data);
    BOOL (*winHelp)(HWND owner, const char *path, UINT command, ULONG_PTR data);
    void (*shellOpen)(HWND owner, const char *file);
};
extern HelpOpeners gHelpOpeners;

void HelpShow(HWND owner, const char *basePath, const char *languageCode, DWORD topic);
int HelpTryFormats(HWND owner, const char *basePath, const char *languageCode, int exactLanguage, DWORD topic);
void HelpUsingHelp(HWND owner);
void OpenWebSite(HWND owner);
void ShellOpen(HWND owner, const char *file);
