// The current language: language files beside the program, the choice
// dialog and localising windows by id lists. The text look-up itself
// (TextGet, TextFormat) is base/Texts.h.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "base/Texts.h"


// Caption (idList[0], 0 = leave it) and controls (every further entry is both
// a control id and its text id) from the current table; 0 ends the list.
void LangApplyToDialog(HWND window, const int16_t *idList);
void LangApplyToWindow(HWND window, const LanguageTable *table, const int16_t *idList);

// "<base>_<code>.<extension>" into out (260 bytes); when missing and
// noFallback is 0, the "US" file. 0 when the last name built exists.
int LangFileName(const char *base, const char *code, const char *extension, char *out, int noFallback);
// A table from "<base>_<code>.LNG" (or the "US" file); null when there is
// none, it cannot be read, or memory runs out. A one-letter code gets a
// blank appended in place (code must have room for it).
LanguageTable *LoadLanguageFile(const LanguageTable *const *tables, const char *base, char *code);
// Writes "<base>_US.LNG", the template for translators (command 410).
// Returns 0, or a Win32 error number when the file could not be written.
DWORD WriteLanguageTemplate(const LanguageTable *const *tables, const char *base);
// Frees a loaded table; built-in ones are left alone.
void LangFreeIfLoaded(const LanguageTable *const *tables, const LanguageTable *table);

// The language choice dialog (template 90, list box 91). Returns the chosen
// code in `chosen` (4 bytes) and true, or false on Cancel.
bool LangChooseDialog(HINSTANCE instance, HWND owner, const LanguageTable *const *tables, const char *base,
                      char *chosen);
// Chooses and loads the language (main window creation, after a choice,
// activation with a code but no table); refreshes what shows texts.
void InitLanguage(HWND owner);
// Command 407: the dialog, then store the code and InitLanguage.
void LangCommandChoose(HWND owner);
// Re-sets the texts of the open History, Favorites and Container windows.
void LangRetitleToolWindows();
// Called at the end of InitLanguage to rebuild menus, bars and panel texts;
// the main window sets it.
extern void (*gLanguageChangedHook)(HWND owner);

// Dialog template and control of the language choice.
const int kLanguageDialog = 90;
const int kLanguageList = 91;
