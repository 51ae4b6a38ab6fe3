// Workers of the Container's jobs (copy, move, delete of its selected
// lines) and of files dropped on the bars (copy, move, delete). They walk
// with the copy and delete steps of fileops/, as the panel jobs do.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "JobRecord.h"

DWORD WINAPI ContainerCopyJobThread(void *job);   // 1034 copy, 1035 move
DWORD WINAPI ContainerDeleteJobThread(void *job); // 1036
DWORD WINAPI DropCopyJobThread(void *job);        // 1038, 1039 copy, 1040 move
DWORD WINAPI DropDeleteJobThread(void *job);      // 1041
DWORD WINAPI DropShortcutJobThread(void *job);    // 1062: a shortcut to each name

// The dropped names of a job: the second name for one, else the packed list
// in `selection` (u16 record length, then the zero-terminated name).
std::vector<std::string> DropListNames(const JobRecord *job);
