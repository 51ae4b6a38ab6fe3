#pragma once
// The folders this computer shares on the network, for the panels' share
// marks. Windows 9x answers through svrapi.dll, the NT line through
// netapi32.dll; each is loaded for the call and freed afterwards, and a
// computer without the library or without shares gives an empty list.
#include <stdint.h>

#include "base/Memory.h"

// Record appended per share with a local path: u16 record length (path
// length + 4), the path with its zero, one more zero byte.
void ShareListPaths9x(GrowBuffer *buffer);
void ShareListPathsNt(GrowBuffer *buffer);

// Empties the list and fills it again for the running system.
void ShareListRefresh(GrowBuffer *list, int isWinNT);
// 1 when `path` is in the list (ignoring case) and the shell shows it shared.
int ShareListContains(const GrowBuffer *list, const char *path);
int ShellIsShared(const char *path);

// Appends one record; paths of 260 characters or more do not fit a record
// and are left out (a cut path would name another folder). 1 when appended.
int ShareListAppend(GrowBuffer *buffer, const char *path);

// The libraries' file names; tests point them at stand-ins.
extern const char *gShareLibrary9x;
extern const char *gShareLibraryNt;
// The shell's answer for ShareListContains; tests replace it.
extern int (*gShareShellIsShared)(const char *path);
