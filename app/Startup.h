// Start-up and shutdown of kestrom.exe: the command line, the hand-over to a
// running instance, the message loop, the start logo and the exit watchdog.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "app/StartupArgs.h"

const char *const kMainClassName = "Zq Vandrell";
const UINT kMsgInstanceHandover = WM_USER + 96;
const UINT kMsgTrayCallback = 0x8064;
const int kHandoverBlockSize = 520;
const DWORD kExitWatchdogMs = 3245;
// The second instance gives a hung first one this long to read the block.
const UINT kHandoverTimeoutMs = 5000;
extern UINT gHandoverTimeoutMs;

int RunKestrom(HINSTANCE instance);
// The same with the given arguments (argv[0] is the program).
int RunKestromArgs(HINSTANCE instance, int argc, char **argv);

uint32_t ParseCommandArgument(const char *argument, uint32_t flags);
// The show command a launcher asked for; SW_SHOWNORMAL when it asked none.
int StartupShowCommand();
void LoadStartupOptions(uint32_t flags);
UINT ChooseWheelMessage();
int RegisterMainClass(HINSTANCE instance);
LRESULT ReceiveInstanceHandover();
// Writes both paths into the target's block and waits (bounded) until it
// has read them. False when nothing could be handed or the target did not
// answer in time.
bool HandoverSend(HWND target, const char *left, const char *right);
// The two paths of a block, each cut to its 260-byte slot and terminated.
void HandoverReadBlock(const void *view, char paths[2][260]);
enum { kTrayAdd = 0, kTrayModify = 1, kTrayDelete = 2 };
void TrayIconSet(HWND window, int operation);

void ShowStartLogo();
LRESULT CALLBACK LogoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Started at teardown; ends the process if the teardown hangs.
void ExitWatchdogStart();
DWORD WINAPI ExitWatchdogThread(void *);
// Deletes a folder with everything below it; junctions are removed, never
// followed.
void DirRemoveTree(const char *folder);
// True when another running instance has its main window open.
bool OtherInstanceRunning(HWND self);

// One message of the loop: true when the wheel rule or a dialog took it.
bool MessageLoopPreTranslate(MSG *msg);
int RunMessageLoop();
extern UINT gWheelMessage;

// Seams: tests replace these so that they never sleep or end a process.
extern void (*gStartupSleep)(unsigned long seconds);
extern void (*gExitTerminate)(DWORD processId, UINT exitCode);
extern DWORD gExitWatchdogDelay;
