// Path helpers. Paths live in 260-byte buffers; "\" and "/" both separate
// components because names also come from FTP servers and archives.
#pragma once

#include <stddef.h>
#include <stdint.h>

const int kPathSize = 260;

inline bool PathIsSeparator(char c) { return c == '\\' || c == '/'; }

void PathAddBackslash(char *path);
// Cuts to the parent; a drive root keeps its backslash ("C:\x" -> "C:\").
void PathCutLastComponent(char *path);
void PathCutExtension(char *path);
uint16_t PathFindName(const char *path);
// Offset of the last "." of the name, or the length when it has none.
size_t PathFindExtension(const char *path);
void PathToBackslashes(char *path);
void PathToSlashes(char *path);
// 2 for UNC ("\\"), 1 for a drive letter and colon, else 0.
int PathGetRootType(const char *path);
int PathIsDriveChar(char c);
int PathHasDriveColon(const char *path);
// Display character of a drive-table entry; base 'A', 'a' or 0.
int DriveBarLetter(int index, int base);
int DriveBarLetterOfKind(int index, int base, unsigned kind);

// Win32 side.
// System temp folder + "Zq\" (removed at exit).
void PathGetTempFolder(char *buffer, size_t size);
// The folder for a user's edited copies that could not go back where they
// came from: beside the temporary folder, and never emptied by the program.
void PathGetKeptFolder(char *buffer, size_t size);
// True when path names a file inside that folder: a copy the program made
// itself. Only such a file may be deleted when the view that used it closes;
// any other path, however it differs from the name shown, is the user's.
bool PathIsOwnTemporary(const char *path);
// 8.3 form: 0; else the long path copied and 1 (".."), 2 (unavailable) or
// StrAppend's code when it had to cut.
int PathGetShortName(const char *longPath, char *out, size_t size);
// "X:\" of the Windows folder (gApp->windowsDir first); "C:\" when unknown.
// out holds kPathSize bytes.
void PathGetWindowsRoot(char *out);
