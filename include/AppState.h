// The one application record, allocated zero-filled by WinMain and reached
// through gApp. Areas add the fields they own inside their group.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <stdint.h>

#include "Options.h"
#include "base/Memory.h"
#include "PanelState.h"
#include "Records.h"
#include "ViewerLib.h"

struct LanguageTable;
struct SpaceDlgState;

// Indexes of AppState.fonts (LOGFONTs) and of AppState.windowPos.
enum FontSlot { kFontPanel, kFontStatus, kFontEditor, kFontCmdLine, kFontViewer, kFontDump, kFontCount };
enum WindowPosSlot {
    kPosMain, kPosEditor, kPosViewer, kPosAudio, kPosHex, kPosContainer, kPosHistory, kPosFavorites,
    kPosCount
};
enum ToolWindowSlot { kToolHistory, kToolFavorites, kToolContainer, kToolWindowCount };
const int kPanelColorCount = 6;

struct OptionalApis {
    HMODULE kernel32;
    FARPROC copyFileEx; // CopyFileExA, null when missing
    HMODULE shlwapi;
    FARPROC pathMatchSpec; // PathMatchSpecA, null when missing
};

// The link to the external search tool (tools/FindTool.h).
struct FindToolLink {
    HWND volatile toolWindow; // null while unknown
    char *view;               // the shared memory, null until made
    HANDLE mapping;
    HANDLE thread; // the link thread of the last search
};

struct AppState {
    // files and folders
    char modulePath[260]; // settings file name (see IniGetPath)

    // dialogs and GDI objects
    SpaceDlgState *spaceDlg[2];
    HBRUSH brushViewerBk, brushEditorBk, brushProgress;
    HFONT fontPanel, fontStatus, fontEditor, fontViewer, fontDump, fontCmdLine, fontGui;
    HBRUSH panelBrushes[kPanelColorCount];
    HBRUSH sysBrushes[4]; // highlight, face, shadow, dark text
    HMODULE richEditLib;
    const void *aniFrames; // busy-animation strip (bitmap resource 5)
    HICON ftpIcons[2];      // FTP state icons 88, 89
    HICON buttonIcons[14];  // dialog button icons 56-69, loaded on first use
    void *ownerDrawCache[4]; // owner-drawn button caches (OwnerDrawCacheFree)

    // clipboard
    uint16_t shellIdListFormat; // "Shell IDList Array"

    // panel settings
    char savedPath[2][260];
    char panelPath[2][260];
    WindowPos windowPos[kPosCount];
    uint16_t panelOff[2];
    uint16_t panelMode[2]; // low nibble a PanelViewMode
    uint16_t panelSort[2]; // 0 name, 1 extension, 2 date, 3 size, 4 unsorted
    uint16_t panelReverse[2];
    uint16_t activePanel;
    uint32_t cursorIndex[2]; // 32-bit: a list may hold more than 65,535 entries
    int32_t topIndex[2];
    int32_t scrollPos[2];
    float splitRatio;
    int32_t splitterPos;
    COLORREF panelColors[kPanelColorCount]; // back, dir, files, hi back, hi text, sel text
    COLORREF panelColors2[kPanelColorCount];
    int32_t colorScheme; // 0 standard, 1 classic
    COLORREF colorEditor[2], colorViewer[2], colorHex[2]; // text, background
    COLORREF customColors[16];
    LOGFONTA fonts[kFontCount];
    uint16_t posSync[4]; // synchronisation window: width, height, (2 spare)
    uint16_t toolbarButtonSize;
    uint16_t lineHeight, rowHeight, headerHeight;

    // option words (settings order differs: see SettingsOptionsFromList)
    uint16_t confirmFlags;
    uint16_t panelOptions;
    uint16_t barOptions;
    uint16_t nameCase;
    uint32_t generalOptions;
    uint32_t moreOptions;
    uint32_t splitLines; // seventh word
    uint16_t optionsPage; // the options dialog's page, kept for the session

    // language
    char language[4]; // code of up to 3 letters, empty = not chosen yet
    char fileWord[15]; // text 5500, refreshed on every language change

    // external programs, filters and feature settings
    char editorProgram[260];
    char editorParams[32];
    char viewerProgram[260];
    char viewerParams[32];
    char lastFile[260];
    char textFilePatterns[260];
    FilterSpec panelFilter[2];
    FilterSpec syncFilter;
    uint16_t packerChoice;
    uint16_t packerNumber; // 10000 and above: the archive library
    uint16_t uuMode;
    uint16_t crcMode;
    uint16_t dumpOptions[2];
    uint32_t syncOptions;
    uint32_t ftpOptions;

    // handles and state
    HINSTANCE hInstance;
    HICON appIcon;
    HIMAGELIST systemImageList;
    HICON panelIcons[18];     // the panels' own icon set, in slot order
    HIMAGELIST ownImageList;  // the same icons, for blended drawing
    volatile LONG folderIconIndex; // system index of an ordinary folder; -1 until fetched
    HANDLE iconWorker; // none = INVALID_HANDLE_VALUE
    HCURSOR sizeCursor, dragCursor;
    uint32_t clockDate;
    uint8_t clockMinute; // 255 = rewrite the clock at the next tick
    HWND hoverWindow;    // the last window that drew a hover frame
    uint16_t popupState; // 28900 while the drive popup is open
    HCURSOR savedCursor; // while the splitter is dragged
    HBRUSH dragBrush;
    HWND splitPosWindow; // class "tT"
    int16_t clientWidth, clientHeight;
    uint16_t auxMode; // the mode a quick-view toggle returns to
    HANDLE refreshThread;
    RECT dragRect;
    HHOOK keyboardHook;
    int32_t showCmd;
    BOOL isWinNT;
    HANDLE changeNotify[2]; // INVALID_HANDLE_VALUE = none
    HWND wheelTarget;
    CRITICAL_SECTION dialogListLock;
    char decimalSep, thousandSep;
    const LanguageTable *langTable;
    char windowsDir[260];
    char windowTitle[48];
    volatile LONG dirSizeFlags; // per panel running bit (panel + 1), stop bit (4 << panel)
    // The folders this computer shares, for the panels' share marks: kept by
    // the panel refresh thread (fileops/ShareList.h records).
    GrowBuffer shareList;

    // windows
    HWND renameEdit;
    HWND hwndToolbar;
    ToolbarButton toolbarButtons[kToolbarButtonMax];
    HWND cmdLine;
    HWND cmdLineEdit; // the combo's edit field
    HWND statusBars[3]; // main, left panel, right panel
    DriveInfo drives[kDriveCount];
    HWND fkeyBar;
    PanelState panels[2];
    // The quick-view pane: what it shows (display name, file opened) and
    // the view record the viewer library fills.
    char quickViewNames[2][260];
    ViewRecord quickView;
    HWND toolWindows[kToolWindowCount];
    HWND logoWindow, logoReturnWindow;
    FindToolLink findTool;
    ToolWndEntry *modelessDialogs;
    uint32_t modelessDialogCount;

    // libraries
    void *packerDefs;
    uint32_t packerDefsSize;
    OptionalApis optionalApis;
    HMODULE ftpLib, archiveLib, ceLib, viewerLib;
    FARPROC ftpEntry, archiveEntry, ceEntry, viewerEntry; // each library's command function
    volatile LONG ceConnected; // connect attempts of the device library that finished
    uint32_t libMissingShown;
    char archivePassword[128]; // remembered archive password (pack dialog, password prompt)
    // FTP: each slot '0'..'9' holds 0 or the connection block the FTP
    // library allocated (through MemAlloc) and frees when it disconnects.
    void *ftpSlots[10];
    uint32_t ftpSeedWord;    // the library's own: seed of its password scrambling
    uint32_t sharedMenuWord; // shared with the library (host table B, entry 0)
    int32_t ftpLibCounter;   // the library's own: its WinSock start-ups
    HWND ftpLogList, ftpBarFrame, ftpModeCombo;
    uint8_t ftpBarHeight;

    // last
    char programDir[260]; // program path without its extension
};

extern AppState *gApp;
extern HWND gMainWindow;
extern char *gWindowTitle;
