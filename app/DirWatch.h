// Change notifications on a panel's folder; a handle variable holds
// INVALID_HANDLE_VALUE when nothing is watched.
#pragma once
#include <windows.h>

void DirWatchClose(HANDLE *handle);
HANDLE DirWatchOpen(const char *path, HANDLE *handle);
// 1 when something changed since the last poll (the handle is re-armed).
int DirWatchPoll(HANDLE *handle);
