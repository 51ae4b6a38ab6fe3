#pragma once
// The drive information report: label, file system, serial number, used,
// free and total space of the volume a panel stands on.
#include <windows.h>
#include <stdint.h>

#include "fileops/FreeSpace.h"

enum : int { kDlgDiskInfo = 11500 };

// The volume record the dialog shows.
struct VolumeInfo {
    const char *panelPath;
    char root[4];          // "C:\"; root[0] is 0 when the volume could not be queried
    char label[32];
    char fileSystem[32];
    uint32_t serial;
    uint32_t maxComponent;
    uint32_t flags;
    uint64_t freeBytes;
    uint64_t totalBytes;
};

// Fills the record for a path; false (and the error) when the drive's space
// cannot be read. A volume that cannot be queried only clears root[0].
bool DiskInfoRead(const char *path, VolumeInfo *info, uint32_t *error);
INT_PTR CALLBACK DiskInfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The command on the active panel.
void DiskInfoCommand(HWND owner);
