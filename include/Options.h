// Bits of the option words (settings key "Options") and their defaults.
// No windows.h.
#pragma once

#include <stdint.h>

// Option word bits (settings key "Options").
enum : uint16_t {
    kConfirmCopy = 0x1,
    kConfirmMove = 0x2,
    kConfirmDelete = 0x4,
    kConfirmDelDir = 0x8,
    kConfirmExit = 0x10,
};
enum : uint16_t {
    kPanelHiddenFiles = 0x1,
    kPanelInsDown = 0x2,
    kPanelSelDir = 0x4,
    kPanelShowTitle = 0x10,
    kPanelPlainMenus = 0x40,
    kPanelClassic2 = 0x80,
    kPanelNoSymbols = 0x100,
    kPanelClassicButtons = 0x200,
    kPanelWinIco = 0x400,
    kPanelFloppyIco = 0x800,
    kPanelOneInstance = 0x1000,
    kPanelSysTray = 0x2000,
    kPanelNoLogo = 0x4000,
    kPanelSynchCol = 0x8000,
};
enum : uint16_t {
    kBarToolbar = 0x1,
    kBarDrives = 0x2,
    kBarCmdLine = 0x4,
    kBarStatus = 0x8,
    kBarFkeys = 0x10,
    kBarPanelStatus = 0x20,
    kBarHexToolbarHidden = 0x40,
    kBarEditToolbarHidden = 0x80,
    kBarViewToolbarHidden = 0x100,
    kBarTwoDriveBars = 0x200,
};
enum : uint32_t {
    kGenAutoSave = 0x1,
    kGenCopyNewer = 0x2,
    kGenLetterJump = 0x10,
    kGenHelp = 0x20,
    kGenKeepHistory = 0x10000,
    kGenWordWrap = 0x40000, // text editor and viewer text: whichever closes last decides
    kGenCopyRdOnly = 0x800000,
    kGenSelRightMouse = 0x1000000,
    kGenKeepContainer = 0x8000000,
    kGenMarkNewer = 0x40000000,
    kGenCmdLineFocus = 0x80000000u,
};

// Defaults when "Options" holds fewer than six numbers.
const uint16_t kDefaultConfirmFlags = 31;
const uint16_t kDefaultPanelOptions = 33815;
const uint32_t kDefaultGeneralOptions = 0x40900031;
const uint16_t kDefaultBarOptions = 63;
