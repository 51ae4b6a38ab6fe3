// F3 and F4: the external viewer or editor the user configured for a file's
// masks, else the built-in viewer window or editor window.
#pragma once
#include <windows.h>
#include <stdint.h>

struct LocationNode;

// An action run on a file: owner, the name to show, the local file, the
// location it came from (null for the plain file system). Returns 0 when
// nothing was started.
typedef int (*LocalFileAction)(HWND owner, const char *displayName, const char *localPath,
                               const LocationNode *location);

// Runs the action on the file as the panel shows it. A device file is first
// fetched into a local copy by job 1050 (`timeStamps`, when given, hold its
// size, low word first), an FTP file by job 1048, an archive member is
// extracted; the action runs when the copy is complete.
// -1 when the panel's location cannot give a local copy.
int RunWithLocalCopy(HWND owner, int panel, const char *path, const uint32_t *timeStamps, LocalFileAction action);
int ViewerOpenActive(HWND owner, const char *path, const uint32_t *timeStamps);
int EditOpenActive(HWND owner, const char *path, const uint32_t *timeStamps);
int ViewerOpenFile(HWND owner, const char *displayName, const char *localPath, const LocationNode *location);
int EditOpenFile(HWND owner, const char *displayName, const char *localPath, const LocationNode *location);

// The actions a fetch job can run, by the number it keeps in its record
// (a job record holds no code address): 0 for an action not in the table.
uint32_t LocalActionIndex(LocalFileAction action);
int LocalActionRun(uint32_t index, HWND owner, const char *displayName, const char *localPath,
                   const LocationNode *location);

// An external editor started on a local copy of a device or FTP file:
// watched (by its process handle) until it ends; then the main window gets
// kMsgEditWatchEnded, and there a copy whose size or time changed goes back
// through job 1051 (device) or 1049 (FTP).
// Takes `location` (a clone, freed here). The local copy's stamp before the
// edit is `date`, `time`, `size`.
void EditWatchStart(HANDLE process, const char *displayName, const char *localPath, LocationNode *location,
                    uint16_t date, uint16_t time, uint64_t size);
// The main window's message for ended watches, and its handler: starts the
// put-back of each editor that ended (interface thread).
const UINT kMsgEditWatchEnded = WM_APP + 128;
void EditWatchOnEnded();
// The put-back decision and start after the editor ended, on the interface
// thread; frees `location`. Returns the progress dialog of the put-back
// job, or null when nothing changed or the location cannot take the copy
// back; a changed copy that cannot go back is moved to the kept folder and
// the user told where it is.
HWND EditPutBack(const char *localPath, LocationNode *location, uint16_t date, uint16_t time, uint64_t size);
// Waits for every editor watch started so far to end (tests, and the exit).
bool EditWatchIdle();

// The "Viewer" or "Editor" list of the settings file as packed records:
// u16 record length (0 ends the run), u16 offsets of program, parameters
// and folder (from the start of the strings; 0 absent), u8 show command,
// then masks, program, parameters and folder, each zero-terminated.
// Freed with MemFree; null when the list is empty.
void *ExtProgListLoad(const char *section);
// Builds the packed records from the values of a list; pure.
void *ExtProgListBuild(const char *const *values, int count);
// Show command of the first record whose masks match the path, 0 when none
// matches; the out pointers point into the list (null when absent).
int ExtProgListMatch(const char *path, const void *list, const char **program, const char **folder,
                     const char **params);
// The lists are read on first use; a settings change forgets them.
void ExtProgListsForget();

// Command line of an external program for a file: the program, the short
// path of the file unless the parameters insert it, the expanded
// parameters. False when it does not fit `size`.
bool ExtProgCommandLine(const char *program, const char *params, const char *file, char *out, size_t size);

