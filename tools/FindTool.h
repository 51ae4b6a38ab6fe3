// The Search command (301) with its link to an external search tool, and
// the HTML references command (127).
//
// The link: a named mapping of 4095 bytes, "ZqFind<main window in
// decimal>"; byte 0 a letter, from byte 5 a zero-terminated path. The
// program writes 'P' (the folder to search) and sends kFindToolMessage with
// wParam 0 to the tool; the tool announces its window by kFindToolMessage
// with the window in wParam, and hands results back by writing 'G' (go to
// this file) or 'V' (view this file) and sending kFindToolMessage with
// wParam 0. The tool is started as "<program>" <main window in decimal>.
#pragma once
#include <windows.h>

const UINT kFindToolMessage = WM_USER + 97;
const DWORD kFindToolMemorySize = 4095;
const int kFindToolPathOffset = 5;
// Window class of the tool.
const char *const kFindToolClass = "ZqFind";
// moreOptions: use the search tool; use the configured program.
const DWORD kMoreFindTool = 0x20000, kMoreFindProgram = 0x40000;

// 0 when a search was started (or there is nothing to do); non-zero asks the
// caller for the Windows search on the panel's folder.
int FindToolStart(HWND owner, int panel);
// The Windows search on a folder; a seam the tests replace.
extern void (*gFindShellSearch)(HWND owner, const char *folder);
// WM_USER+97 on the main window.
LRESULT FindToolResult(HWND owner, WPARAM wParam, LPARAM lParam);
// The panel shows the path's folder with the cursor on its file (a folder
// is shown itself).
void FindToolGoTo(HWND owner, const char *path, int panel);
// Waits for a link still being made and closes the shared memory (exit).
void FindToolUnlink();
// True while no link is being made (tests).
bool FindToolIdle();

// Marks in the panel the files of its folder that the HTML file refers to,
// the HTML file too when any was found; beeps when there is nothing to do
// or nothing was found. Returns the number of referenced files marked.
int PanelSelectHtmlLinks(HWND owner, const char *htmlPath, int panel);
