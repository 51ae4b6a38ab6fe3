// Language files (.LNG): reading them into a table and writing the template.
// No windows.h. A language file is external input: lengths are bounded and
// the reader is linear in the file size.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/Texts.h"

// Values in a language file hold at most this many characters.
const size_t kLangValueMax = 255;
// Escaped English text in the template is cut to this many characters.
const size_t kLangTemplateTextMax = 1023;

// Length of the longest key of the key table (records after the header).
int LangLongestKey(const LanguageTable *keys);
// key padded on the right with "_" to `width` characters (out: width + 1).
void LangPadKey(const char *key, int width, char *out, size_t size);

// The value of `key` in a file text: the first occurrence of key anywhere,
// followed by "=", up to CR, LF or the end, at most size - 1 characters;
// "" otherwise. For single look-ups; the table builder indexes the file once.
void LangFindValue(const char *key, char *out, size_t size, const char *text);

// A new table from a file's text (length bytes, need not be terminated):
// record 0 id 0 with `code`, record 1 id 13002 with the file's "Language"
// value (else "External"), then one record per key-table record, taking the
// file's value of the padded key with "\n" turned into line feeds, or the
// `defaults` text at the same position when the file has none. One MemAlloc
// block (freed with MemFree); null when memory runs out.
LanguageTable *LangBuildTable(const char *text, size_t length, const char *code, const LanguageTable *keys,
                              const LanguageTable *defaults);

// In `out`: text with tab written as "\t" and line feed as "\n", cut to at
// most maxLen characters (never in the middle of an escape).
void LangEscapeText(const char *text, char *out, size_t maxLen);

// The template file's content: "[Text]", "Language=<English name>", then one
// "<padded key>=<escaped English text>" line per record; CR LF line ends.
// A MemAlloc block with its length; null when memory runs out.
char *LangBuildTemplate(const LanguageTable *keys, const LanguageTable *english, uint32_t *length);
