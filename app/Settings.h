// The settings file: its location, thin profile wrappers, the typed-history
// lists and the main section "Zq Vandrell" (LoadSettings / SaveSettings).
// Nothing is cached: every access goes through the profile functions with
// the path from IniGetPath.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "base/SettingsValues.h"

extern const char kSettingsSection[]; // "Zq Vandrell"
extern const char kSettingsVersion[]; // "3.50"

int IniGetInt(const char *section, const char *key, int defaultValue, const char *file);
DWORD IniGetString(const char *section, const char *key, const char *defaultValue, char *buffer, DWORD size,
                   const char *file);
BOOL IniWriteString(const char *section, const char *key, const char *value, const char *file);
DWORD IniGetSection(const char *section, char *buffer, DWORD size, const char *file);
// An empty text clears the section.
BOOL IniWriteSection(const char *section, const char *text, const char *file);

// The program's path without extension, its base name cut to 5 characters.
void IniGetDefaultBase(char *out);
// name + ".INI" when name is the default base, else name as it is (260 bytes).
void IniMakePath(const char *name, char *out);
// IniMakePath of the name kept in gApp->modulePath.
void IniGetPath(char *out);
// Moves a read-only settings file, or one on a CD-ROM drive, to the Windows
// folder: name becomes windowsDir + "\" + its last component. The file is
// tested under the name it is used by, ".INI" included for the default name.
// Returns true when name was changed.
bool IniRelocateName(char *name, const char *defaultBase, const char *windowsDir);
// The same on gApp->modulePath; run once before the settings are read.
void IniRelocateIfReadOnly();

// LOGFONTA in the settings form; a malformed value empties the face name
// (the caller then uses its default font).
void IniParseFont(const char *text, LOGFONTA *font);
void IniFormatFont(char *out, size_t size, const LOGFONTA *font);

// Typed-history combo boxes: keys "1".."count" of a section.
void IniLoadComboList(HWND combo, const char *file, const char *section, int count);
void IniSaveComboList(HWND combo, const char *file, const char *section, int count);
// Command-line history: section "Cmd", keys "1".."10" (not cleared first).
void CmdHistoryLoad(HWND combo);
void CmdHistorySave(HWND combo);

// Key "Pos" of a section: "x,y,width,height,show" (3 when maximised).
void WndSavePlacement(HWND window, const char *file, const char *section);
// Missing or malformed: CW_USEDEFAULT for the four numbers, show 0.
void WndLoadPlacement(const char *file, const char *section, int *x, int *y, int *width, int *height, int *show);

// Six panel colours of a scheme: background, folder, file, highlight
// background, highlight text, selected text.
void OptColorsStandard(COLORREF *colors);
void OptColorsClassic(COLORREF *colors);

// Start-up reads, before any window exists: "Options" into the option words
// (defaults with fewer than six numbers) and "Language" into gApp->language.
void IniReadOptions();
void IniReadLanguage();

// Upgrades the Editor and Viewer association sections of an older file.
void IniConvertAssocSections(const char *file);

// The main section. LoadSettings runs once while the main window is created
// (after the command line and the start-up reads); `window` measures the
// default fonts. SaveSettings writes every key (command 408 and auto-save).
void LoadSettings(HWND window);
void SaveSettings();
