// Win32 side of the number, size and date helpers: the separators in
// AppState and the locale formats. Comparing two files' stamps needs the
// file-system layer and lives in fileops/FileHelpers.cpp.
#include <windows.h>

#include <string.h>

#include "AppState.h"
#include "base/DateTime.h"
#include "base/Numbers.h"
#include "base/Strings.h"
#include "base/Texts.h"

static const int kTextFree = 14160;

static char DecimalSep() { return gApp && gApp->decimalSep ? gApp->decimalSep : ','; }
static char ThousandSep() { return gApp && gApp->thousandSep ? gApp->thousandSep : '.'; }

void StrGroupThousands(char *digits) { StrGroupThousandsSep(digits, ThousandSep()); }

void StrFormatNumber(uint32_t value, char *out) { StrFormatNumberSep(value, out, ThousandSep()); }

void StrFormatNumber64(const uint64_t *value, char *out) { StrFormatNumber64Sep(value, out, ThousandSep()); }

void StrFormatDirSize(const uint64_t *storedSize, char *out) {
    uint64_t size = *storedSize ? *storedSize - 1 : 0;
    StrFormatNumber64(&size, out);
}

void StrFormatSize(char *out, const uint64_t *bytes, int withFree) {
    char free[32] = "";
    if (withFree) {
        const LanguageTable *table = gApp && gApp->langTable ? gApp->langTable : BuiltinLanguageTables[kBuiltinEnglish];
        LangGetText(table, kTextFree, free, sizeof free);
        if (!free[0])
            LangGetText(BuiltinLanguageTables[kBuiltinEnglish], kTextFree, free, sizeof free);
        if (!free[0])
            strcpy(free, "free");
    }
    StrFormatSizeSep(out, bytes, free, DecimalSep());
}

static char LocaleChar(LCTYPE type, char fallback) {
    char text[8] = "";
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text) == 0 || !text[0])
        return fallback;
    return text[0];
}

void NumberLoadSeparators(char *decimalSep, char *thousandSep) {
    *decimalSep = LocaleChar(LOCALE_SDECIMAL, ',');
    *thousandSep = LocaleChar(LOCALE_STHOUSAND, '.');
}

void StrFormatDosDateTime(char *out, uint16_t date, uint16_t time, size_t size) {
    if (size == 0)
        return;
    out[0] = 0;
    FILETIME ft;
    SYSTEMTIME st;
    if (!DosDateTimeToFileTime(date, time, &ft) || !FileTimeToSystemTime(&ft, &st))
        return;
    int len = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, out, (int)size);
    if (len <= 0) {
        out[0] = 0;
        return;
    }
    StrAppend(out, "  ", size);
    size_t used = strlen(out);
    if (used + 1 < size && GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, out + used,
                                          (int)(size - used)) <= 0)
        out[used] = 0;
}
