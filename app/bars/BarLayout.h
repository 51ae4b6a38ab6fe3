// Arithmetic of the bars around the panels: where drive, tool-bar and
// function-key buttons go, which status fields fit, the tool-bar command
// table walks and the function-key command table. No windows.h: the native
// build tests it with the sanitizers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "Records.h"

// ---- drive bar

const int kDriveButtonWidth = 40;
const int kDriveButtonHeight = 16;

// Places one button per present entry (kinds[i] != 0) in index order inside
// a bar `limit` pixels wide. Absent entries get x = y = 0. Returns the bar
// height: the last row's y + 18 (20 for one row or none).
int DriveBarPlace(const uint16_t kinds[kDriveCount], int limit, uint16_t xs[kDriveCount],
                  uint16_t ys[kDriveCount]);
// Left edge and width of bar `bar` (0 or 1) of `barCount` in a client area
// `clientWidth` wide.
void DriveBarSpan(int bar, int barCount, int clientWidth, int *x, int *width);
// Whether a drive button of this entry takes dropped files when drops are on.
bool DriveBarTakesDrops(int index, unsigned kind);
// Whether a tooltip is offered for a display name: the name must start with
// a visible character. Bytes above 127 (accented letters in the ANSI code
// page) count as visible.
bool BarTipWanted(const char *name);

// ---- tool bar

const int16_t kToolbarSeparatorCommand = 92;
// Number of records before the end: the first command 0, or all 80 when the
// bar is full (a full bar has no end record).
int ToolbarCount(const ToolbarButton *buttons);
// The record of `command`, or null. Walks at most kToolbarButtonMax records.
ToolbarButton *ToolbarFindRecord(ToolbarButton *buttons, int command);
// Whether the options dialog offers this table command (220-226 and 305 are
// kept in the table for stored codes but are not offered).
bool ToolbarCommandOffered(int command);
// Whether a tool button's command takes dropped files when drops are on
// (View always does; see ToolBarAcceptDrops).
bool ToolbarCommandTakesDrops(int command, bool on);

struct ToolButtonPlace {
    int16_t x, y, size; // size 0: hidden (no room in two rows) or no button
};
// Lays out the records up to the end with pitch `s` in a bar `width` wide.
// Records of commands outside the command table (other than separators and
// user buttons) take no space. Returns the bar height (s or 2 s).
int ToolbarPlace(const ToolbarButton *buttons, int s, int width, ToolButtonPlace out[kToolbarButtonMax]);

// ---- function-key bar

// Shift states: 0 none, 10 Alt, 20 Ctrl, 30 Shift.
int KeyBarCommand(int key, int shift);
inline int KeyBarLabelId(int key, int shift) { return 2000 + shift + key; }
// Shift state from the modifier keys held.
int KeyBarShiftFrom(bool alt, bool ctrl, bool shift);
void KeyBarButtonSpan(int key, int clientWidth, int *x, int *width);

// ---- status bars

enum : uint16_t {
    kFieldSeparator = 0x2,
    kFieldText = 0x4,
    kFieldRight = 0x8,
    kFieldFill = 0x10,
    kFieldCentred = 0x20,
    kFieldRightAlign = 0x40,
};

struct StatusFieldLayout {
    uint16_t flags; // 0 ends a table
    uint16_t gap;
    uint16_t width;
    int16_t left, right, top, bottom;
};
// Computes every field's rectangle in a bar `barWidth` wide for a status
// font line height t. Right-anchored fields that do not fit are hidden
// (left = right = 0) from the left end of their group; once one is hidden,
// every field left of it is too and the fill field gets no width.
void StatusFieldsPlace(StatusFieldLayout *fields, int barWidth, int t);

// ---- command line

// Width the prompt may take: a quarter of the entry width.
inline int CmdLinePromptLimit(int entryWidth) { return entryWidth / 4; }
