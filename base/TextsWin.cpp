// Win32 side of the texts: look-up in the program's current language (the
// table in AppState; English before one is chosen, and in a library).
#include <windows.h>

#include "AppState.h"
#include "base/Texts.h"

const LanguageTable *TextCurrentTable() {
    if (gApp && gApp->langTable)
        return gApp->langTable;
    return BuiltinLanguageTables[kBuiltinEnglish];
}

void TextGet(int id, char *buffer, int size) {
    LangGetText(TextCurrentTable(), id, buffer, size);
}

int TextFormatV(char *out, size_t size, int id, va_list args) {
    return LangFormatV(TextCurrentTable(), BuiltinLanguageTables[kBuiltinEnglish], id, out, size, args);
}

int TextFormat(char *out, size_t size, int id, ...) {
    va_list args;
    va_start(args, id);
    int n = TextFormatV(out, size, id, args);
    va_end(args);
    return n;
}
