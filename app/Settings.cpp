#include "app/Settings.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "base/Strings.h"

const char kSettingsSection[] = "Zq Vandrell";
const char kSettingsVersion[] = "3.50";

static const char kDefaultTextPatterns[] =
    "*.txt;*.htm*;*.log;*.rc;*.c;*.cpp;*.cxx;*.h;*.hxx;*.sql;*.pas;*.bas;*.tex;.htaccess;.htpasswd;*.cgi";

int IniGetInt(const char *section, const char *key, int defaultValue, const char *file) {
    return (int)GetPrivateProfileIntA(section, key, defaultValue, file);
}

DWORD IniGetString(const char *section, const char *key, const char *defaultValue, char *buffer, DWORD size,
                   const char *file) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, file);
}

BOOL IniWriteString(const char *section, const char *key, const char *value, const char *file) {
    return WritePrivateProfileStringA(section, key, value, file);
}

DWORD IniGetSection(const char *section, char *buffer, DWORD size, const char *file) {
    return GetPrivateProfileSectionA(section, buffer, size, file);
}

BOOL IniWriteSection(const char *section, const char *text, const char *file) {
    // The section text is a double-terminated list; "" alone clears it.
    if (!text || !text[0])
        return WritePrivateProfileSectionA(section, "\0", file);
    return WritePrivateProfileSectionA(section, text, file);
}

static char *LastComponent(char *path) {
    char *name = path;
    for (char *p = path; *p; p++) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    return name;
}

static void CutExtension(char *path) {
    char *name = LastComponent(path);
    char *dot = strrchr(name, '.');
    if (dot)
        *dot = 0;
}

void IniGetDefaultBase(char *out) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    path[MAX_PATH - 1] = 0;
    CutExtension(path);
    char *name = LastComponent(path);
    if (strlen(name) > 5)
        name[5] = 0;
    lstrcpynA(out, path, MAX_PATH);
}

static void MakePathFor(const char *name, const char *defaultBase, char *out) {
    char result[MAX_PATH];
    lstrcpynA(result, name, MAX_PATH);
    if (lstrcmpiA(name, defaultBase) == 0)
        StrAppend(result, ".INI", sizeof result);
    lstrcpynA(out, result, MAX_PATH);
}

void IniMakePath(const char *name, char *out) {
    char base[MAX_PATH];
    IniGetDefaultBase(base);
    MakePathFor(name, base, out);
}

void IniGetPath(char *out) {
    IniMakePath(gApp ? gApp->modulePath : "", out);
}

bool IniRelocateName(char *name, const char *defaultBase, const char *windowsDir) {
    // The default name is used with ".INI" added: test that file, not the
    // bare base name, or a read-only settings file is never noticed.
    char file[MAX_PATH];
    MakePathFor(name, defaultBase, file);
    DWORD attributes = GetFileAttributesA(file);
    bool relocate = false;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
        relocate = true;
    } else if (name[0] && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) {
        char root[4] = {name[0], ':', '\\', 0};
        relocate = GetDriveTypeA(root) == DRIVE_CDROM;
    }
    if (!relocate)
        return false;
    char moved[MAX_PATH];
    lstrcpynA(moved, windowsDir, MAX_PATH);
    size_t n = strlen(moved);
    if (n && moved[n - 1] != '\\')
        StrAppend(moved, "\\", sizeof moved);
    StrAppend(moved, LastComponent(name), sizeof moved);
    lstrcpynA(name, moved, MAX_PATH);
    return true;
}

void IniRelocateIfReadOnly() {
    if (!gApp)
        return;
    char base[MAX_PATH];
    IniGetDefaultBase(base);
    IniRelocateName(gApp->modulePath, base, gApp->windowsDir);
}

void IniParseFont(const char *text, LOGFONTA *font) {
    IniFont parsed;
    IniParseFontValue(text, &parsed);
    if (!parsed.face[0]) {
        font->lfFaceName[0] = 0;
        return;
    }
    const int32_t *v = parsed.values;
    font->lfHeight = v[0];
    font->lfWidth = v[1];
    font->lfEscapement = v[2];
    font->lfOrientation = v[3];
    font->lfWeight = v[4];
    font->lfItalic = (BYTE)v[5];
    font->lfUnderline = (BYTE)v[6];
    font->lfStrikeOut = (BYTE)v[7];
    font->lfCharSet = (BYTE)v[8];
    font->lfOutPrecision = (BYTE)v[9];
    font->lfClipPrecision = (BYTE)v[10];
    font->lfQuality = (BYTE)v[11];
    font->lfPitchAndFamily = (BYTE)v[12];
    lstrcpynA(font->lfFaceName, parsed.face, LF_FACESIZE);
}

void IniFormatFont(char *out, size_t size, const LOGFONTA *font) {
    IniFont f = {};
    lstrcpynA(f.face, font->lfFaceName, sizeof f.face);
    int32_t *v = f.values;
    v[0] = font->lfHeight;
    v[1] = font->lfWidth;
    v[2] = font->lfEscapement;
    v[3] = font->lfOrientation;
    v[4] = font->lfWeight;
    v[5] = font->lfItalic;
    v[6] = font->lfUnderline;
    v[7] = font->lfStrikeOut;
    v[8] = font->lfCharSet;
    v[9] = font->lfOutPrecision;
    v[10] = font->lfClipPrecision;
    v[11] = font->lfQuality;
    v[12] = font->lfPitchAndFamily;
    IniFormatFontValue(out, size, &f);
}

void IniLoadComboList(HWND combo, const char *file, const char *section, int count) {
    for (int i = 1; i <= count; i++) {
        char key[16], value[264];
        snprintf(key, sizeof key, "%d", i);
        IniGetString(section, key, "", value, sizeof value, file);
        if (value[0])
            SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)value);
    }
}

static void SaveComboItems(HWND combo, const char *file, const char *section, int count) {
    int items = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count && i < items; i++) {
        char key[16], value[264];
        LRESULT len = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
        if (len == CB_ERR || len >= (LRESULT)sizeof value)
            continue;
        SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)value);
        if (!value[0])
            continue;
        snprintf(key, sizeof key, "%d", i + 1);
        size_t n = strlen(value);
        if (n >= 2 && value[0] == '"' && value[n - 1] == '"') {
            // Reading takes one pair of enclosing quotes off a value; a
            // typed line that starts and ends in quotes keeps its own.
            char quoted[sizeof value + 2];
            snprintf(quoted, sizeof quoted, "\"%s\"", value);
            IniWriteString(section, key, quoted, file);
            continue;
        }
        IniWriteString(section, key, value, file);
    }
}

void IniSaveComboList(HWND combo, const char *file, const char *section, int count) {
    IniWriteSection(section, "", file);
    SaveComboItems(combo, file, section, count);
}

void CmdHistoryLoad(HWND combo) {
    char file[MAX_PATH];
    IniGetPath(file);
    IniLoadComboList(combo, file, "Cmd", 10);
}

void CmdHistorySave(HWND combo) {
    char file[MAX_PATH];
    IniGetPath(file);
    SaveComboItems(combo, file, "Cmd", 10);
}

void WndSavePlacement(HWND window, const char *file, const char *section) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(window, &wp))
        return;
    RECT r = wp.rcNormalPosition;
    char value[80];
    snprintf(value, sizeof value, "%d,%d,%d,%d,%d", (int)r.left, (int)r.top, (int)(r.right - r.left),
             (int)(r.bottom - r.top), wp.showCmd == SW_SHOWMAXIMIZED ? 3 : 0);
    IniWriteString(section, "Pos", value, file);
}

void WndLoadPlacement(const char *file, const char *section, int *x, int *y, int *width, int *height, int *show) {
    char value[80];
    uint32_t v[5];
    IniGetString(section, "Pos", "", value, sizeof value, file);
    if (IniParseNumberList(value, v, 5) < 5) {
        *x = *y = *width = *height = CW_USEDEFAULT;
        *show = 0;
        return;
    }
    *x = (int32_t)v[0];
    *y = (int32_t)v[1];
    *width = (int32_t)v[2];
    *height = (int32_t)v[3];
    *show = v[4] == 3 ? 3 : 0;
}

void OptColorsStandard(COLORREF *colors) {
    colors[0] = GetSysColor(COLOR_WINDOW);
    colors[1] = 0x800080;
    colors[2] = 0x000000;
    colors[3] = 0x808080;
    colors[4] = 0xFFFFFF;
    colors[5] = 0x0000FF;
}

void OptColorsClassic(COLORREF *colors) {
    colors[0] = 0x800000;
    colors[1] = 0xFFFF00;
    colors[2] = 0xFFFF00;
    colors[3] = 0x808000;
    colors[4] = 0x000000;
    colors[5] = 0x00FFFF;
}

void IniReadOptions() {
    char file[MAX_PATH], value[260];
    IniGetPath(file);
    IniGetString(kSettingsSection, "Options", "", value, sizeof value, file);
    OptionWords w;
    IniParseOptions(value, &w);
    gApp->confirmFlags = w.confirmFlags;
    gApp->panelOptions = w.panelOptions;
    gApp->generalOptions = w.generalOptions;
    gApp->barOptions = w.barOptions;
    gApp->nameCase = w.nameCase;
    gApp->moreOptions = w.moreOptions;
    gApp->splitLines = w.splitLines;
}

void IniReadLanguage() {
    char file[MAX_PATH];
    IniGetPath(file);
    IniGetString(kSettingsSection, "Language", "", gApp->language, sizeof gApp->language, file);
}

void IniConvertAssocSections(const char *file) {
    static const char *const sections[] = {"Editor", "Viewer"};
    for (const char *section : sections) {
        for (int i = 1;; i++) {
            char key[16], value[520];
            snprintf(key, sizeof key, "%d", i);
            // A key that is missing reads as the marker, an empty one as "".
            IniGetString(section, key, "\x01", value, sizeof value, file);
            if (value[0] == '\x01' && !value[1])
                break;
            if (IniConvertAssocLine(value))
                IniWriteString(section, key, value, file);
        }
    }
}

// ---- the main section -----------------------------------------------------

namespace {

struct Ini {
    char file[MAX_PATH];
    char value[1024];

    const char *Get(const char *key, const char *fallback = "") {
        IniGetString(kSettingsSection, key, fallback, value, sizeof value, file);
        return value;
    }
    int Numbers(const char *key, uint32_t *values, int count) {
        return IniParseNumberList(Get(key), values, count);
    }
    void GetText(const char *key, char *out, DWORD size, const char *fallback = "") {
        IniGetString(kSettingsSection, key, fallback, out, size, file);
    }
    void Put(const char *key, const char *text) { IniWriteString(kSettingsSection, key, text, file); }
    void PutNumbers(const char *key, const uint32_t *values, int count, bool asSigned = false) {
        char text[1024];
        IniFormatNumberList(text, sizeof text, values, count, asSigned);
        Put(key, text);
    }
    void PutInt(const char *key, unsigned long number) {
        char text[16];
        snprintf(text, sizeof text, "%lu", number);
        Put(key, text);
    }
};

const char *const kFontKeys[kFontCount] = {"FontPnl", "FontSBr", "FontEdi", "FontCT", "FontViw", "FontDmp"};
// SaveSettings writes the fonts in this order.
const int kFontSaveOrder[kFontCount] = {kFontPanel, kFontStatus, kFontEditor, kFontViewer, kFontDump, kFontCmdLine};
const char *const kPosKeys[kPosCount] = {"PosPnl", "PosEdi", "PosViw", "PosMP3",
                                          "PosDmp", "PosCnt", "PosHst", "PosPP"};
const char *const kColorPairKeys[3] = {"ColorEdi", "ColorViw", "ColorHex"};

void DefaultFont(HWND window, int slot, LOGFONTA *font) {
    bool sans = slot == kFontPanel || slot == kFontStatus || slot == kFontCmdLine;
    HDC dc = GetDC(window);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ReleaseDC(window, dc);
    memset(font, 0, sizeof *font);
    font->lfHeight = -MulDiv(sans ? 8 : 10, dpi, 72);
    font->lfWeight = FW_NORMAL;
    font->lfCharSet = DEFAULT_CHARSET;
    font->lfPitchAndFamily = sans ? (VARIABLE_PITCH | FF_SWISS) : (FIXED_PITCH | FF_MODERN);
    lstrcpynA(font->lfFaceName, sans ? "MS Sans Serif" : "Courier", LF_FACESIZE);
}

// Attrib and SAttr: the numeric part of filter records.
void FilterNumbersOut(const FilterSpec *const *f, int n, uint32_t *v) {
    // attribute masks, flags, then per record dateFrom, timeFrom; then
    // dateTo, timeTo; then minimum sizes, maximum sizes
    int k = 0;
    for (int i = 0; i < n; i++)
        v[k++] = f[i]->allowedAttributes;
    for (int i = 0; i < n; i++)
        v[k++] = f[i]->flags;
    for (int i = 0; i < n; i++) {
        IniSplitDosDate(f[i]->dateFrom, v + k);
        IniSplitDosTime(f[i]->timeFrom, v + k + 3);
        k += 6;
    }
    for (int i = 0; i < n; i++) {
        IniSplitDosDate(f[i]->dateTo, v + k);
        IniSplitDosTime(f[i]->timeTo, v + k + 3);
        k += 6;
    }
    for (int i = 0; i < n; i++)
        v[k++] = (uint32_t)f[i]->minSize;
    for (int i = 0; i < n; i++)
        v[k++] = (uint32_t)f[i]->maxSize;
    // Size bounds of 4 GB and more: the high words follow the classic list,
    // so older readers that take the first 16 numbers per filter still work.
    for (int i = 0; i < n; i++) {
        v[k++] = (uint32_t)(f[i]->minSize >> 32);
        v[k++] = (uint32_t)(f[i]->maxSize >> 32);
    }
}

void FilterNumbersIn(FilterSpec *const *f, int n, const uint32_t *v, int count) {
    int k = 0;
    for (int i = 0; i < n; i++)
        f[i]->allowedAttributes = (uint16_t)v[k++];
    for (int i = 0; i < n; i++)
        f[i]->flags = (uint16_t)v[k++];
    for (int i = 0; i < n; i++) {
        f[i]->dateFrom = IniJoinDosDate(v + k);
        f[i]->timeFrom = IniJoinDosTime(v + k + 3);
        k += 6;
    }
    for (int i = 0; i < n; i++) {
        f[i]->dateTo = IniJoinDosDate(v + k);
        f[i]->timeTo = IniJoinDosTime(v + k + 3);
        k += 6;
    }
    for (int i = 0; i < n; i++)
        f[i]->minSize = v[k++];
    for (int i = 0; i < n; i++)
        f[i]->maxSize = v[k++];
    if (count < k + 2 * n)
        return;
    for (int i = 0; i < n; i++) {
        f[i]->minSize |= (uint64_t)v[k++] << 32;
        f[i]->maxSize |= (uint64_t)v[k++] << 32;
    }
}

} // namespace

void LoadSettings(HWND window) {
    AppState *a = gApp;
    Ini ini;
    IniGetPath(ini.file);
    uint32_t v[81];

    char version[6];
    ini.GetText("Version", version, sizeof version);
    if (strcmp(version, kSettingsVersion) != 0) {
        ini.GetText("FTPAuto", a->textFilePatterns, sizeof a->textFilePatterns);
        if (!a->textFilePatterns[0])
            lstrcpynA(a->textFilePatterns, kDefaultTextPatterns, sizeof a->textFilePatterns);
        if (strcmp(version, kSettingsVersion) < 0)
            IniConvertAssocSections(ini.file);
    }

    char root[4] = {a->windowsDir[0] ? a->windowsDir[0] : 'C', ':', '\\', 0};
    static const char *const pathKeys[2] = {"PathL", "PathR"};
    for (int i = 0; i < 2; i++) {
        if (!a->panelPath[i][0]) // the command line wins
            ini.GetText(pathKeys[i], a->panelPath[i], sizeof a->panelPath[i], root);
    }

    for (int i = 0; i < kFontCount; i++) {
        IniParseFont(ini.Get(kFontKeys[i]), &a->fonts[i]);
        if (!a->fonts[i].lfFaceName[0])
            DefaultFont(window, i, &a->fonts[i]);
    }
    for (int i = 0; i < kPosCount; i++)
        IniParseWindowPos(ini.Get(kPosKeys[i]), &a->windowPos[i]);
    if (ini.Numbers("PosSyn", v, 4) == 4) {
        for (int i = 0; i < 4; i++)
            a->posSync[i] = (uint16_t)v[i];
    }

    ini.Numbers("Brief", v, 2);
    for (int p = 0; p < 2; p++)
        a->panels[p].briefColumnWidth = (uint16_t)v[p];
    for (int p = 0; p < 2; p++) {
        for (int c = 0; c < kPanelColumnSlots; c++)
            a->panels[p].fullColumns[c] = (uint16_t)(c + 1);
    }
    if (ini.Numbers("Full", v, 10) == 10) {
        for (int p = 0; p < 2; p++) {
            for (int c = 0; c < kPanelColumnSlots; c++)
                a->panels[p].fullWidths[c] = (uint16_t)v[p * 5 + c];
        }
    }
    if (ini.Numbers("Cust", v, 20) == 20) {
        for (int p = 0; p < 2; p++) {
            for (int c = 0; c < kPanelColumnSlots; c++) {
                a->panels[p].customColumns[c] = (uint16_t)(v[p * 10 + c] % 6);
                a->panels[p].customWidths[c] = (uint16_t)v[p * 10 + 5 + c];
            }
        }
    }
    for (int p = 0; p < 2; p++) {
        if (!IniValidateColumns(a->panels[p].customColumns)) {
            for (int c = 0; c < kPanelColumnSlots; c++)
                a->panels[p].customColumns[c] = (uint16_t)(c + 1);
        }
    }

    if (ini.Numbers("ColorPnl", v, 13) == 13) {
        a->colorScheme = (int32_t)v[0];
        for (int i = 0; i < kPanelColorCount; i++) {
            a->panelColors[i] = v[1 + i];
            a->panelColors2[i] = v[7 + i];
        }
        if (a->colorScheme == 0)
            OptColorsStandard(a->panelColors);
    } else {
        a->colorScheme = 0;
        OptColorsStandard(a->panelColors);
        memcpy(a->panelColors2, a->panelColors, sizeof a->panelColors2);
    }
    COLORREF *pairs[3] = {a->colorEditor, a->colorViewer, a->colorHex};
    for (int i = 0; i < 3; i++) {
        if (ini.Numbers(kColorPairKeys[i], v, 2) == 2 && v[0] != v[1]) {
            pairs[i][0] = v[0];
            pairs[i][1] = v[1];
        } else {
            pairs[i][0] = 0x000000;
            pairs[i][1] = 0xFFFFFF;
        }
    }
    if (ini.Numbers("CustClr", v, 16) == 16) {
        for (int i = 0; i < 16; i++)
            a->customColors[i] = v[i];
    } else {
        for (int i = 0; i < 16; i++)
            a->customColors[i] = 0xFFFFFFFF;
    }

    if (ini.Numbers("Off", v, 2) == 2) {
        for (int p = 0; p < 2; p++) {
            if (v[p])
                a->panelOff[p] = 1;
        }
    }
    if (ini.Numbers("Mode", v, 2) == 2) {
        a->panelMode[0] = (uint16_t)v[0];
        a->panelMode[1] = (uint16_t)v[1];
    } else {
        a->panelMode[0] = a->panelMode[1] = 0;
    }
    ini.Numbers("Sort", v, 2);
    a->panelSort[0] = (uint16_t)v[0];
    a->panelSort[1] = (uint16_t)v[1];
    if (ini.Numbers("Revers", v, 2) == 2) {
        a->panelReverse[0] = (uint16_t)v[0];
        a->panelReverse[1] = (uint16_t)v[1];
    }
    if (ini.Numbers("Select", v, 3) == 3) {
        a->activePanel = (uint16_t)v[0];
        a->cursorIndex[0] = (uint16_t)v[1];
        a->cursorIndex[1] = (uint16_t)v[2];
    }
    if (ini.Numbers("Position", v, 4) == 4) {
        a->scrollPos[0] = (int32_t)v[0];
        a->scrollPos[1] = (int32_t)v[1];
        a->topIndex[0] = (int32_t)v[2];
        a->topIndex[1] = (int32_t)v[3];
    }
    double ratio = atof(ini.Get("Separator"));
    a->splitRatio = ratio < 0.001 ? 0.5f : (float)ratio;
    // "Options" was read at start-up (IniReadOptions).

    FilterSpec *panelFilters[2] = {&a->panelFilter[0], &a->panelFilter[1]};
    const int attribCount = ini.Numbers("Attrib", v, 36);
    if (attribCount == 32 || attribCount == 36) {
        FilterNumbersIn(panelFilters, 2, v, attribCount);
    } else {
        a->panelFilter[0].allowedAttributes = 55;
        a->panelFilter[1].allowedAttributes = 55;
    }
    ini.GetText("FilterL", a->panelFilter[0].includeMasks, sizeof a->panelFilter[0].includeMasks);
    ini.GetText("FilterR", a->panelFilter[1].includeMasks, sizeof a->panelFilter[1].includeMasks);
    ini.GetText("WOutL", a->panelFilter[0].excludeMasks, sizeof a->panelFilter[0].excludeMasks);
    ini.GetText("WOutR", a->panelFilter[1].excludeMasks, sizeof a->panelFilter[1].excludeMasks);

    if (ini.Numbers("Packer", v, 9) == 9) {
        a->packerChoice = (uint16_t)v[0];
        a->packerNumber = (uint16_t)v[1];
    }
    a->packerNumber = a->packerNumber ? (uint16_t)(a->packerNumber - 1) : (uint16_t)10000;
    a->uuMode = (uint16_t)IniGetInt(kSettingsSection, "UU", 0, ini.file);
    if (a->uuMode > 3)
        a->uuMode = 0;
    a->crcMode = (uint16_t)IniGetInt(kSettingsSection, "CRC", 0, ini.file);
    if (a->crcMode > 1)
        a->crcMode = 0;

    ini.GetText("Language", a->language, sizeof a->language);
    ini.GetText("Editor", a->editorProgram, sizeof a->editorProgram, "NOTEPAD.EXE");
    ini.GetText("EdiPrm", a->editorParams, sizeof a->editorParams);
    ini.GetText("View", a->viewerProgram, sizeof a->viewerProgram, "WRITE.EXE");
    ini.GetText("VewPrm", a->viewerParams, sizeof a->viewerParams);
    if (ini.Numbers("Dump", v, 2) == 2) {
        a->dumpOptions[0] = (uint16_t)(v[0] > 12 ? 0 : v[0]);
        a->dumpOptions[1] = (uint16_t)(v[1] > 1 ? 0 : v[1]);
    }
    ini.GetText("File", a->lastFile, sizeof a->lastFile);
    if (ini.Numbers("OptSync", v, 1) == 1)
        a->syncOptions = v[0];

    FilterSpec *sync[1] = {&a->syncFilter};
    const int syncCount = ini.Numbers("SAttr", v, 32);
    if (syncCount == 16 || syncCount == 18)
        FilterNumbersIn(sync, 1, v, syncCount);
    else
        a->syncFilter.allowedAttributes = 55;
    ini.GetText("SFilter", a->syncFilter.includeMasks, sizeof a->syncFilter.includeMasks);
    ini.GetText("SWOut", a->syncFilter.excludeMasks, sizeof a->syncFilter.excludeMasks);
    a->ftpOptions = (uint32_t)IniGetInt(kSettingsSection, "OptFTP", 0, ini.file);

    IniParseToolbar(ini.Get("ToolBar"), a->toolbarButtons, &a->toolbarButtonSize);
}

static void RefreshMainWindowPos(WindowPos *pos) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!gMainWindow || !GetWindowPlacement(gMainWindow, &wp))
        return;
    pos->left = wp.rcNormalPosition.left;
    pos->top = wp.rcNormalPosition.top;
    pos->right = wp.rcNormalPosition.right;
    pos->bottom = wp.rcNormalPosition.bottom;
    pos->show = (uint8_t)(wp.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWNORMAL : wp.showCmd);
    pos->maximised = wp.showCmd == SW_SHOWMAXIMIZED ? 3 : 0;
}

void SaveSettings() {
    AppState *a = gApp;
    Ini ini;
    IniGetPath(ini.file);
    uint32_t v[36]; // the longest list: "Attrib"
    char text[1024];

    ini.Put("Version", kSettingsVersion);
    ini.Put("PathL", a->panelPath[0]);
    ini.Put("PathR", a->panelPath[1]);
    for (int slot : kFontSaveOrder) {
        IniFormatFont(text, sizeof text, &a->fonts[slot]);
        ini.Put(kFontKeys[slot], text);
    }
    RefreshMainWindowPos(&a->windowPos[kPosMain]);
    for (int i = 0; i < kPosCount; i++) {
        IniFormatWindowPos(text, sizeof text, &a->windowPos[i]);
        ini.Put(kPosKeys[i], text);
    }
    for (int i = 0; i < 4; i++)
        v[i] = a->posSync[i];
    ini.PutNumbers("PosSyn", v, 4);
    v[0] = a->panels[0].briefColumnWidth;
    v[1] = a->panels[1].briefColumnWidth;
    ini.PutNumbers("Brief", v, 2);
    for (int p = 0; p < 2; p++) {
        for (int c = 0; c < kPanelColumnSlots; c++)
            v[p * 5 + c] = a->panels[p].fullWidths[c];
    }
    ini.PutNumbers("Full", v, 10);
    for (int p = 0; p < 2; p++) {
        for (int c = 0; c < kPanelColumnSlots; c++) {
            v[p * 10 + c] = a->panels[p].customColumns[c] % 10u;
            v[p * 10 + 5 + c] = a->panels[p].customWidths[c];
        }
    }
    ini.PutNumbers("Cust", v, 20);
    v[0] = (uint32_t)a->colorScheme;
    for (int i = 0; i < kPanelColorCount; i++) {
        v[1 + i] = a->panelColors[i];
        v[7 + i] = a->panelColors2[i];
    }
    ini.PutNumbers("ColorPnl", v, 13, true);
    const COLORREF *pairs[3] = {a->colorEditor, a->colorViewer, a->colorHex};
    for (int i = 0; i < 3; i++) {
        v[0] = pairs[i][0];
        v[1] = pairs[i][1];
        ini.PutNumbers(kColorPairKeys[i], v, 2, true);
    }
    for (int i = 0; i < 16; i++)
        v[i] = a->customColors[i];
    ini.PutNumbers("CustClr", v, 16, true);
    v[0] = a->panelOff[0];
    v[1] = a->panelOff[1];
    ini.PutNumbers("Off", v, 2, true);
    v[0] = a->panelMode[0] & 15u;
    v[1] = a->panelMode[1] & 15u;
    ini.PutNumbers("Mode", v, 2);
    v[0] = a->panelSort[0];
    v[1] = a->panelSort[1];
    ini.PutNumbers("Sort", v, 2);
    v[0] = a->panelReverse[0];
    v[1] = a->panelReverse[1];
    ini.PutNumbers("Revers", v, 2);
    v[0] = a->activePanel;
    v[1] = a->cursorIndex[0];
    v[2] = a->cursorIndex[1];
    ini.PutNumbers("Select", v, 3);
    v[0] = (uint32_t)a->scrollPos[0];
    v[1] = (uint32_t)a->scrollPos[1];
    v[2] = (uint32_t)a->topIndex[0];
    v[3] = (uint32_t)a->topIndex[1];
    ini.PutNumbers("Position", v, 4, true);
    snprintf(text, sizeof text, "%.3f", (double)a->splitRatio);
    ini.Put("Separator", text);
    OptionWords w = {a->confirmFlags, a->panelOptions, a->generalOptions, a->barOptions,
                     a->nameCase,     a->moreOptions,  a->splitLines};
    IniFormatOptions(text, sizeof text, &w);
    ini.Put("Options", text);
    const FilterSpec *panelFilters[2] = {&a->panelFilter[0], &a->panelFilter[1]};
    FilterNumbersOut(panelFilters, 2, v);
    ini.PutNumbers("Attrib", v, 36);
    ini.Put("FilterL", a->panelFilter[0].includeMasks);
    ini.Put("FilterR", a->panelFilter[1].includeMasks);
    ini.Put("WOutL", a->panelFilter[0].excludeMasks);
    ini.Put("WOutR", a->panelFilter[1].excludeMasks);
    snprintf(text, sizeof text, "%u,%u,0,0,0,0,0,0,0", (unsigned)a->packerChoice, (unsigned)a->packerNumber + 1);
    ini.Put("Packer", text);
    ini.PutInt("UU", a->uuMode);
    ini.PutInt("CRC", a->crcMode);
    ini.Put("Language", a->language);
    ini.Put("Editor", a->editorProgram);
    ini.Put("EdiPrm", a->editorParams);
    ini.Put("View", a->viewerProgram);
    ini.Put("VewPrm", a->viewerParams);
    v[0] = a->dumpOptions[0];
    v[1] = a->dumpOptions[1];
    ini.PutNumbers("Dump", v, 2);
    ini.Put("File", a->lastFile);
    ini.PutInt("OptSync", a->syncOptions);
    const FilterSpec *sync[1] = {&a->syncFilter};
    FilterNumbersOut(sync, 1, v);
    ini.PutNumbers("SAttr", v, 18);
    ini.Put("SFilter", a->syncFilter.includeMasks);
    ini.Put("SWOut", a->syncFilter.excludeMasks);
    ini.PutInt("OptFTP", a->ftpOptions);
    IniFormatToolbar(text, sizeof text, a->toolbarButtons, a->toolbarButtonSize);
    ini.Put("ToolBar", text);
}
