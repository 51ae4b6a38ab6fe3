// The options dialog (template 11832): pages of check boxes and radio
// buttons over the option words, the external editor and viewer lists
// (settings sections "Editor" and "Viewer") and the search program
// (section "Find"). OK writes everything back, Cancel keeps nothing.
#pragma once

#include <windows.h>
#include <stdint.h>

enum : int {
    kDlgOptions = 11832,
    kIdOptPages = 11898, kIdOptHeader = 11897,
    // Find page
    kIdFindWindows = 12041, kIdFindTool = 12042, kIdFindExternal = 12043,
    kIdFindCommand = 12051, kIdFindFolder = 12052, kIdFindParams = 12053, kIdFindMode = 12054,
    kIdFindBrowse = 12055,
    // Editor page; the Viewer page's ids are 20 above (browse: 11864)
    kIdExtList = 12001, kIdExtType = 12003, kIdExtDelete = 12004, kIdExtUp = 12005, kIdExtDown = 12006,
    kIdExtMask = 12010, kIdExtCommand = 12011, kIdExtFolder = 12012, kIdExtParams = 12013, kIdExtMode = 12014,
    kIdExtBrowse = 95, kIdViewerBrowse = 11864, kExtViewerOffset = 20,
};

const int kOptionPageCount = 10;
enum : int { kPageEditor = 8, kPageViewer = 9 };

// The option words the dialog edits (copies; gApp changes only on OK).
struct OptionWordsEdit {
    uint16_t confirmFlags, panelOptions, barOptions, nameCase;
    uint32_t generalOptions, moreOptions;
};

// Sets the check boxes and radio buttons from the words / reads them back:
// the bits the dialog owns are cleared first, the rest is kept.
void OptSetControls(HWND dialog, const OptionWordsEdit *words);
void OptReadControls(HWND dialog, OptionWordsEdit *words);

// Runs the dialog. On OK the option words are stored in gApp and the
// Editor, Viewer and Find sections are written; returns 1. Cancel: 0,
// nothing changed. The caller applies the new options.
int OptShowDialog(HWND owner);
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Called after OK wrote the Editor and Viewer sections, so that a loaded
// copy of those lists is read again on next use; null when none is kept.
extern void (*gOptProgramListsChanged)();

// ---- the Editor and Viewer pages (OptionsLists.cpp)

// One line of a list section: masks, program, parameters, run mode ('m'
// minimised, 'M' maximised, else normal) and folder, "=" between them,
// trailing "=" removed. The built-in program (no program) keeps the masks
// only. out holds size bytes; false when the line does not fit.
bool OptFormatProgramLine(char *out, size_t size, const char *masks, const char *program, const char *params,
                          int runMode, const char *folder);
// Splits a stored line into its five fields (each up to 520 bytes); a line
// without "=" is masks only. runMode: 0 normal, 1 minimised, 2 maximised.
void OptParseProgramLine(const char *line, char *masks, char *program, char *params, int *runMode, char *folder);

void OptListsInit(HWND dialog, const char *settings);
// Handles the list pages' commands and notifications; true when handled.
bool OptListsCommand(HWND dialog, int id, int code);
bool OptListsNotify(HWND dialog, const NMHDR *header);
// Writes both sections (and the column widths) into the settings file.
void OptListsSave(HWND dialog, const char *settings);
