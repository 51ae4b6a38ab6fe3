// State of one file panel (two of them in AppState.panels). Areas add the
// fields they own; keep the groups together.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "Records.h"

enum PanelViewMode : uint16_t {
    kViewFull = 0,
    kViewBrief = 1,
    kViewCustom = 2,
    kViewQuick = 3,
    kViewTree = 4,
};

// Refresh flags, the entry lists and their hand-over: panels/PanelRefresh.h
// and panels/PanelList.h (atomics, one writer per panel).

const int kPanelColumnSlots = 5;

struct PanelState {
    uint16_t panelIndex; // 0 left, 1 right

    // windows
    HWND listWindow; // class "Pn"
    HWND pathBar;    // class "pp"
    HWND cornerBox;  // class "ps"
    HWND treeControl;
    HWND hScrollBar, vScrollBar;
    HWND driveButton, ejectButton, rootButton, parentButton; // 0 while not shown

    // metrics and columns
    uint32_t visibleRows;
    uint32_t columnCount;
    uint32_t pageSize;
    uint16_t briefColumnWidth;
    uint16_t fullColumns[kPanelColumnSlots]; // always 1..5
    uint16_t fullWidths[kPanelColumnSlots];
    uint16_t customColumns[kPanelColumnSlots]; // PanelColumnCode, 0 = empty slot
    uint16_t customWidths[kPanelColumnSlots];
    uint16_t dateWidth, attrWidth; // 0 = measure at the next paint
    int32_t hScrollMax;
    int32_t topMax;
    uint16_t hScrollHeight, vScrollWidth; // 0 while hidden
    uint32_t dropFlags;

    // list, refresh and location. The entries themselves are read through
    // PanelIter (panels/PanelIter.h); entryCount here is the interface
    // thread's copy for layout, updated on WM_USER+1.
    uint32_t entryCount; // ".." included
    uint32_t fileCount;
    uint32_t dirCount;
    uint64_t fileBytes;
    uint64_t freeBytes;
    uint64_t totalBytes;
    uint32_t clusterSize;
    char driveLetter;
    uint16_t driveKind;
    LocationNode *location; // head of the chain; the panel owns it
    char reselectName[260];
    FilterSpec *filter; // points at AppState.panelFilter[panelIndex]
};
