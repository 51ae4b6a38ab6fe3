// The drive table (drive letters, FTP slots, network neighbourhood, mobile
// device), the one or two drive bars above the panels, the select-drive
// dialog and the drive popup menu.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "Records.h"

struct DriveBarState {
    uint16_t barIndex; // 0 left or only bar, 1 right bar
    HWND window;       // class "DB"
    uint32_t driveMask; // GetLogicalDrives at the last table rebuild
    HWND tooltip;
    struct Slot {
        HWND button;
        uint16_t x, y;
    } slots[kDriveCount];
    int height;
};
extern DriveBarState gDriveBars[2];

const int kDriveSelectDialog = 12200;
const int kDriveSelectList = 12201;
const int kDriveMenuFirst = 28900;

int DriveBarCount();
int DriveBarPanel(int bar);
// 1 when the table was rebuilt, 0 when the logical-drive mask is unchanged.
int DriveBarRefreshTable(int bar);
int DriveBarRescan();
void DriveBarCreateAll(HWND parent);
void DriveBarDestroyAll();
void DriveBarLayoutAll();
int DriveBarGetHeight();
void DriveBarAcceptDrops(int on);
void DriveBarRepaintAll(int full);
// Modal dialog 12200; returns 1 when the panel was switched.
INT_PTR DriveSelectDialog(HWND owner, int panel);
// The drive popup at the screen point `at` (null: at the cursor), with the
// panel's current drive highlighted.
void DriveSelectPopup(HWND owner, int panel, const POINT *at = nullptr);
void DriveSelectFromMenu(HWND owner, int index);
// Shared by drive and tool-bar drops: item count, the single file's path and
// name, flags and source panel; false when nothing was dropped. Then the
// packed name list (per file a u16 record length = path length + 3 and the
// path with its NUL) for more than one file, from MemAlloc, else null.
struct JobRecord;
bool BarsPrepareDropJob(HDROP drop, JobRecord *job, void **list);
void *BarsPackDropList(HDROP drop, const JobRecord *job);
// Copies or moves dropped files to drive index (0-25) after the copy dialog.
void DriveBarDropFiles(HWND button, HDROP drop, int index);
