// The program's own temporary files while it writes them (a copy's target
// under a temporary name, a tool's output before it replaces its target).
// Folder listings leave exactly these paths out, so a half-written file
// never shows as an entry; a file of the same name that the program does
// not hold (a user's, or one left by a crash) is listed like any other.
#pragma once

// Each Hold is undone by one Release of the same path; the calls are safe
// from any thread.
void TempNameHold(const char *path);
void TempNameRelease(const char *path);
// True while the file `name` in `folder` is held.
bool TempNameHeld(const char *folder, const char *name);
