// Device-side steps of PELLIX over RAPI: ANSI paths in, converted to the
// device's wide names here; results are 0 or an error number, never 0 for a
// failure.
#pragma once
#include <windows.h>

#include "CeLink.h"

// Error of the last failing RAPI call; a call that failed without saying why
// still fails.
DWORD CeDeviceError();
DWORD LocalError();

// ANSI path of at most 259 characters into a wide buffer of 520.
bool CeWiden(const char* path, WCHAR* wide);

DWORD CeDeviceAttributes(const char* path); // INVALID_FILE_ATTRIBUTES when missing
int CeDeviceMove(const char* from, const char* to);
// Deletes a file, clearing read-only when the first attempt is refused.
// `attributes` INVALID_FILE_ATTRIBUTES: read from the device.
int CeDeviceDelete(const char* path, DWORD attributes);
// Creates the folder and any missing parents; an existing folder is success.
int CeDeviceMakeDirs(const char* path);
// Puts the complete file `temp` in place of `target`. An existing target is
// parked under a backup name until the new file has its place, and comes
// back when that fails.
int CeDeviceReplace(const char* temp, const char* target);

// The same for the local side: MoveFileEx where the system has it.
int CeLocalReplace(const char* temp, const char* target);

// Case-insensitive compare of two ANSI names in the desktop's code page.
int CeCompareNoCase(const char* a, const char* b);
