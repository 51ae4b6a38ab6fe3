#include "Texts.h"

#include <stdio.h>
#include <string.h>

#include "TextFormat.h"

// All three tables list the same ids in the same order, so position k of one
// speaks of the same text as position k of another.
static const LanguageTable kEnglishTable[] = {
    {0, "US"},
    {kTextIdLanguageName, "English"},
#define T(id, key, en, de) {id, en},
#include "Texts.inc"
#undef T
    {0, nullptr},
};

static const LanguageTable kGermanTable[] = {
    {0, "DE"},
    {kTextIdLanguageName, "German (Deutsch)"},
#define T(id, key, en, de) {id, de},
#include "Texts.inc"
#undef T
    {0, nullptr},
};

static const LanguageTable kKeyTable[] = {
    {0, "-"},
    {kTextIdLanguageName, "External"},
#define T(id, key, en, de) {id, #key},
#include "Texts.inc"
#undef T
    {0, nullptr},
};

const LanguageTable *const BuiltinLanguageTables[] = {kEnglishTable, kGermanTable, kKeyTable, nullptr};

const char *LangFindText(const LanguageTable *table, int id) {
    if (!table)
        return nullptr;
    int16_t want = (int16_t)id;
    for (const LanguageTable *r = table + 1; r->id != 0; r++) {
        if (r->id == want)
            return r->text;
    }
    return nullptr;
}

void LangUnescapeTabs(char *text) {
    char *p = text;
    while ((p = strstr(p, "\\t")) != nullptr) {
        *p = '\t';
        memmove(p + 1, p + 2, strlen(p + 2) + 1);
        p++;
    }
}

void LangGetText(const LanguageTable *table, int id, char *buffer, int maxLen) {
    if (!table || !buffer || maxLen <= 0)
        return;
    buffer[0] = 0;
    const char *text = LangFindText(table, id);
    if (!text)
        return;
    size_t n = (size_t)(maxLen - 1);
    size_t len = strlen(text);
    if (len > n)
        len = n;
    memcpy(buffer, text, len);
    buffer[len] = 0;
    LangUnescapeTabs(buffer);
}

int LangTableCount(const LanguageTable *table) {
    int n = 0;
    if (table) {
        for (const LanguageTable *r = table + 1; r->id != 0; r++)
            n++;
    }
    return n;
}

const char *LangTableCode(const LanguageTable *table) {
    return table && table[0].text ? table[0].text : "";
}

int LangFormatV(const LanguageTable *table, const LanguageTable *reference, int id, char *out, size_t size,
                va_list args) {
    if (!out || size == 0)
        return -1;
    out[0] = 0;
    // The longest texts are a few hundred characters; a cut format is checked
    // like any other, so cutting cannot smuggle a directive in.
    char translated[1024], english[1024];
    translated[0] = english[0] = 0;
    LangGetText(table, id, translated, sizeof translated);
    LangGetText(reference, id, english, sizeof english);
    const char *format = translated;
    if (LangFindText(reference, id)) {
        if (!translated[0] || !FormatDirectivesMatch(translated, english))
            format = english;
    } else {
        char kinds[kFormatMaxArgs + 1];
        if (FormatArgKinds(translated, kinds) != 0) // nothing to check it against: no arguments
            return -1;
    }
    int n = vsnprintf(out, size, format, args);
    out[size - 1] = 0;
    if (n < 0)
        return -1;
    return n < (int)size ? n : (int)size - 1;
}

int LangFormat(const LanguageTable *table, const LanguageTable *reference, int id, char *out, size_t size, ...) {
    va_list args;
    va_start(args, size);
    int n = LangFormatV(table, reference, id, out, size, args);
    va_end(args);
    return n;
}
