// Keeping the panels current. Code that changed files never re-reads a panel
// itself: it asks for a re-read, from any thread, and the panel refresh
// thread does it within one 50 ms cycle. Several requests in one cycle give
// one re-read; a request made while a re-read runs is served by the next.
#pragma once

#include <atomic>
#include <stddef.h>
#include <stdint.h>

enum : uint32_t {
    kRefreshAlive = 0x1,   // refresh thread running
    kRefreshKeepOn = 0x2,  // cleared to stop the thread
    kRefreshWanted = 0x4,  // re-read wanted
    kRefreshSelect = 0x8,  // after the re-read put the cursor on the named entry
    kRefreshResort = 0x10, // re-sort wanted (a sort the interface thread could not finish)
    kRefreshBusy = 0x20,   // a re-read is at work
};

extern std::atomic<uint32_t> gRefreshFlags[2];

void PanelRequestReread(int panel);
// name: entry to put the cursor on after the re-read (a full path or a bare
// name; the part after the last backslash counts); null or empty for none.
void PanelRequestRereadSelect(int panel, const char *name);
void PanelRequestRereadBoth();

// Re-reads a flagged panel now (on the calling thread, normally the refresh
// thread). Returns 0 or the reader's error.
int PanelRereadIfFlagged(int panel);
// Re-reads the panel; keepMarks carries marks, icons and counted folder sizes
// over from the old list by name.
int PanelReread(int panel, int keepMarks);
// Re-sorts the installed list with the panel's sort key. Returns false when
// the list could not be taken in time; a re-read then sorts it instead.
bool PanelResort(int panel);
void PanelSetSortKey(int panel, int key);
void PanelToggleReversed(int panel);
// Cursor to an entry by name (text after the last backslash, any case).
bool PanelFindSetCursor(const char *pathOrName, int panel);
bool PanelSetCursorCentred(const char *name, int panel);

// Test seam: called by PanelReread after the folder was read, before the
// list is installed (null in the program).
extern void (*gPanelRereadProbe)(int panel);

// The thread rebuilds the list of this computer's shared folders at most
// every ten seconds; this has it rebuilt before the next re-read (after
// the user changed the shares).
void PanelShareListExpire();

// The thread body (started by PanelRefreshStart).
void PanelRefreshThread();
// wParam of the WM_USER+1 the thread posts to a list window.
enum : unsigned { kPanelRefreshListChanged = 1, kPanelRefreshPathChanged = 2, kPanelRefreshLeaveArchive = 3,
                  kPanelRefreshLeaveDevice = 4 };
// The name to put the cursor on after a finished re-read (interface thread,
// on WM_USER+1); false when none was asked for.
bool PanelTakeReselectName(int panel, char *out, size_t size);
// Puts a taken name back when the list it was meant for has not arrived:
// kept only while a re-read of the panel is asked for or under way.
bool PanelKeepReselectName(int panel, const char *name);
// The cursor entry's name before the last re-read of the same folder; false
// also when the cursor has been moved since that name was read.
bool PanelTakeFollowName(int panel, char *out, size_t size);
// A panel's folder, copied under the lock the refresh thread reads it with,
// and set the same way.
void PanelGetPath(int panel, char *out, size_t size);
void PanelSetPath(int panel, const char *path);

// The panel swap: the folders each panel last read change sides too, so
// the re-read after a swap keeps the marks.
void PanelSwapRefreshState();

// Starts the refresh thread (internal command 800) and stops it (shutdown:
// waits at most 3 s). The thread posts command 801 to the main window once
// it runs.
bool PanelRefreshStart();
void PanelRefreshStop();
