// Language tables and text lookup by id. No windows.h: the built-in tables,
// the lookup and the checked formatter build natively too. The look-up in
// the current language is the Win32 half (TextsWin.cpp); the choice dialog
// and the language files are the program's (app/Language.h).
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

// A table is a run of these: record 0 the header (id 0, the language code),
// record 1 id 13002 (the display name), a record with id 0 ends it.
struct LanguageTable {
    int16_t id;
    const char *text;
};

const int kTextIdLanguageName = 13002;

// Symbolic text ids: Txt::askExit and so on, from the lists in Texts.inc.
namespace Txt {
enum : int {
#define T(id, key, en, de) key = id,
#include "Texts.inc"
#undef T
};
} // namespace Txt

// English ("US"), German ("DE"), the key table ("-"), then null. The first
// is the default language and the fallback of every failure.
extern const LanguageTable *const BuiltinLanguageTables[];
const int kBuiltinEnglish = 0;
const int kBuiltinGerman = 1;
const int kBuiltinKeys = 2;

// Copies the text of `id` into buffer (maxLen bytes), cut to maxLen - 1
// characters, with "\t" turned into tabs. A missing id gives "". A null
// table leaves the buffer untouched.
void LangGetText(const LanguageTable *table, int id, char *buffer, int maxLen);
// The stored text of `id`, or null when the table does not hold it.
const char *LangFindText(const LanguageTable *table, int id);
// In place: every two-character "\t" becomes a tab.
void LangUnescapeTabs(char *text);
// Number of text records after the header, up to the end record.
int LangTableCount(const LanguageTable *table);
// The table's code (header text), "" for null.
const char *LangTableCode(const LanguageTable *table);

// printf with the text `id` of `table` as the format. A translated format
// whose % directives do not take the same arguments as the English one
// (reference) is not used: the English text is formatted instead, so a
// language file cannot make the program read arguments it was never given.
// Returns the length written (cut to size - 1), or -1 when nothing could be
// formatted.
int LangFormatV(const LanguageTable *table, const LanguageTable *reference, int id, char *out, size_t size,
                va_list args);
int LangFormat(const LanguageTable *table, const LanguageTable *reference, int id, char *out, size_t size, ...);

// Win32 side: the current language (gApp->langTable; English before a
// language is chosen).
const LanguageTable *TextCurrentTable();
// Text `id` of the current table (English before a language is chosen) into
// buffer (size bytes, cut to size - 1). A missing id gives "".
void TextGet(int id, char *buffer, int size);
// printf with text `id` as the format, checked against the English text: a
// translation whose % directives differ is replaced by the English format.
int TextFormat(char *out, size_t size, int id, ...);
int TextFormatV(char *out, size_t size, int id, va_list args);
