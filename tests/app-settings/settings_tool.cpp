// Drives the settings and language code for the shell tests:
//   settings_tool save <ini>            SaveSettings with known values
//   settings_tool load <ini>            LoadSettings, print the fields
//   settings_tool template <base>       write <base>_US.LNG
//   settings_tool lang <base> <code> <id>...   load a language file, print texts
//   settings_tool dialog <code>         localise dialog 90, print its texts
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "app/Language.h"
#include "app/Settings.h"

static void FillKnownValues(AppState *a) {
    strcpy(a->panelPath[0], "C:\\LEFT");
    strcpy(a->panelPath[1], "D:\\RIGHT DIR");
    a->confirmFlags = 21;
    a->panelOptions = 0x8417;
    a->generalOptions = 0x80900031u; // the command line had the focus
    a->barOptions = 0x23F;
    a->nameCase = 2;
    a->moreOptions = 0xFFFFFFF0u;
    a->splitLines = 250;
    for (int i = 0; i < kFontCount; i++) {
        a->fonts[i].lfHeight = -11 - i;
        a->fonts[i].lfWeight = 400;
        strcpy(a->fonts[i].lfFaceName, i == kFontEditor ? "Courier New" : "Tahoma");
    }
    a->windowPos[kPosEditor] = WindowPos{10, 20, 500, 400, 1, 3};
    a->windowPos[kPosFavorites] = WindowPos{-5, -6, 50, 60, 1, 0};
    a->posSync[0] = 640;
    a->posSync[1] = 480;
    for (int p = 0; p < 2; p++) {
        a->panels[p].briefColumnWidth = (uint16_t)(100 + p);
        for (int c = 0; c < 5; c++) {
            a->panels[p].fullWidths[c] = (uint16_t)(50 + 10 * c + p);
            a->panels[p].customWidths[c] = (uint16_t)(60 + c);
        }
    }
    uint16_t cust[5] = {1, 3, 2, 0, 0};
    memcpy(a->panels[0].customColumns, cust, sizeof cust);
    memcpy(a->panels[1].customColumns, cust, sizeof cust);
    a->colorScheme = 1;
    OptColorsClassic(a->panelColors);
    OptColorsClassic(a->panelColors2);
    a->colorEditor[0] = 0x102030;
    a->colorEditor[1] = 0xFFFFFF;
    for (int i = 0; i < 16; i++)
        a->customColors[i] = 0xFFFFFFFF;
    a->customColors[3] = 0x00ABCDEF;
    a->panelOff[1] = 1;
    a->panelMode[0] = 2;
    a->panelMode[1] = 0x13; // written as its low 4 bits
    a->panelSort[0] = 3;
    a->panelReverse[1] = 1;
    a->activePanel = 1;
    a->cursorIndex[0] = 7;
    a->cursorIndex[1] = 9;
    a->scrollPos[0] = 120;
    a->topIndex[1] = 33;
    a->splitRatio = 0.25f;
    a->panelFilter[0].allowedAttributes = 0x37;
    a->panelFilter[0].flags = 0x12;
    a->panelFilter[0].dateFrom = (uint16_t)((26 << 9) | (12 << 5) | 10);
    a->panelFilter[1].maxSize = 5368709120ULL; // 5 GB: needs the high word
    strcpy(a->panelFilter[0].includeMasks, "*.cpp;*.h");
    strcpy(a->panelFilter[1].excludeMasks, "*.obj");
    a->packerChoice = 0x31;
    a->packerNumber = 10000;
    a->uuMode = 2;
    a->crcMode = 1;
    strcpy(a->language, "DE");
    strcpy(a->editorProgram, "NOTEPAD.EXE");
    strcpy(a->viewerProgram, "WRITE.EXE");
    strcpy(a->viewerParams, "/p");
    a->dumpOptions[0] = 4;
    strcpy(a->lastFile, "C:\\last.txt");
    a->syncOptions = 0x80000001u;
    a->syncFilter.allowedAttributes = 0x17;
    a->syncFilter.minSize = 12;
    strcpy(a->syncFilter.includeMasks, "*.txt");
    a->ftpOptions = 5;
    a->toolbarButtonSize = 35;
    a->toolbarButtons[0] = ToolbarButton{700, 0, nullptr};
    a->toolbarButtons[1] = ToolbarButton{92, 0, nullptr};
    a->toolbarButtons[2] = ToolbarButton{-4, 0, nullptr};
    a->toolbarButtons[3] = ToolbarButton{130, 0, nullptr};
}

static void PrintFields(const AppState *a) {
    printf("Options=%u,%u,%lu,%u,%u,%lu,%lu\n", a->confirmFlags, a->panelOptions, (unsigned long)a->generalOptions,
           a->barOptions, a->nameCase, (unsigned long)a->moreOptions, (unsigned long)a->splitLines);
    printf("PathL=%s\nPathR=%s\n", a->panelPath[0], a->panelPath[1]);
    printf("FontEdi=%s,%ld\n", a->fonts[kFontEditor].lfFaceName, (long)a->fonts[kFontEditor].lfHeight);
    printf("FontPnl=%s\n", a->fonts[kFontPanel].lfFaceName);
    const WindowPos &e = a->windowPos[kPosEditor];
    printf("PosEdi=%ld,%ld,%ld,%ld,%u,%u\n", (long)e.left, (long)e.top, (long)e.right, (long)e.bottom, e.show,
           e.maximised);
    printf("Cust=%u,%u,%u,%u,%u\n", a->panels[0].customColumns[0], a->panels[0].customColumns[1],
           a->panels[0].customColumns[2], a->panels[0].customColumns[3], a->panels[0].customColumns[4]);
    printf("CustR=%u,%u,%u,%u,%u\n", a->panels[1].customColumns[0], a->panels[1].customColumns[1],
           a->panels[1].customColumns[2], a->panels[1].customColumns[3], a->panels[1].customColumns[4]);
    printf("FullW=%u,%u\n", a->panels[0].fullWidths[0], a->panels[1].fullWidths[4]);
    printf("Scheme=%ld,%06lX\n", (long)a->colorScheme, (unsigned long)a->panelColors[1]);
    printf("ColorEdi=%06lX,%06lX\n", (unsigned long)a->colorEditor[0], (unsigned long)a->colorEditor[1]);
    printf("CustClr3=%08lX,%08lX\n", (unsigned long)a->customColors[3], (unsigned long)a->customColors[0]);
    printf("Off=%u,%u\nMode=%u,%u\nSelect=%u,%u,%u\n", a->panelOff[0], a->panelOff[1], a->panelMode[0],
           a->panelMode[1], a->activePanel, a->cursorIndex[0], a->cursorIndex[1]);
    printf("Separator=%.3f\n", (double)a->splitRatio);
    printf("Attrib=%u,%04X,%04X,%llu\n", a->panelFilter[0].allowedAttributes, a->panelFilter[0].flags,
           a->panelFilter[0].dateFrom, (unsigned long long)a->panelFilter[1].maxSize);
    printf("FilterL=%s\nWOutR=%s\n", a->panelFilter[0].includeMasks, a->panelFilter[1].excludeMasks);
    printf("Packer=%u,%u\n", a->packerChoice, a->packerNumber);
    printf("UU=%u\nCRC=%u\nLanguage=%s\n", a->uuMode, a->crcMode, a->language);
    printf("Editor=%s\nView=%s,%s\n", a->editorProgram, a->viewerProgram, a->viewerParams);
    printf("OptSync=%lu\nSAttr=%u,%lu\nSFilter=%s\n", (unsigned long)a->syncOptions, a->syncFilter.allowedAttributes,
           (unsigned long)a->syncFilter.minSize, a->syncFilter.includeMasks);
    printf("ToolBar=%u", a->toolbarButtonSize);
    for (int i = 0; i < kToolbarButtonMax && a->toolbarButtons[i].command; i++)
        printf(",%d", a->toolbarButtons[i].command);
    printf("\n");
}

static const LanguageTable *TableForCode(const char *code) {
    for (int i = 0; BuiltinLanguageTables[i]; i++) {
        if (_stricmp(LangTableCode(BuiltinLanguageTables[i]), code) == 0)
            return BuiltinLanguageTables[i];
    }
    return nullptr;
}

static int ShowDialogTexts(const char *code) {
    const LanguageTable *table = TableForCode(code);
    if (!table)
        return 2;
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kLanguageDialog), nullptr, nullptr, 0);
    if (!dialog) {
        printf("no dialog: %lu\n", GetLastError());
        return 1;
    }
    const int16_t ids[] = {Txt::dlgLanguage, Txt::txtChooseLang, Txt::butOK, Txt::butCancel, 0};
    LangApplyToWindow(dialog, table, ids);
    char text[260];
    GetWindowTextA(dialog, text, sizeof text);
    printf("caption=%s\n", text);
    for (int i = 1; ids[i]; i++) {
        GetDlgItemTextA(dialog, ids[i], text, sizeof text);
        printf("%d=%s\n", ids[i], text);
    }
    DestroyWindow(dialog);
    return 0;
}

int main(int argc, char **argv) {
    // Unbuffered, so that a run ending early still shows how far it got.
    setvbuf(stdout, nullptr, _IONBF, 0);
    static AppState app;
    gApp = &app;
    GetWindowsDirectoryA(app.windowsDir, sizeof app.windowsDir);
    if (argc >= 3 && strcmp(argv[1], "save") == 0) {
        lstrcpynA(app.modulePath, argv[2], sizeof app.modulePath);
        FillKnownValues(&app);
        SaveSettings();
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "load") == 0) {
        lstrcpynA(app.modulePath, argv[2], sizeof app.modulePath);
        IniReadOptions();
        LoadSettings(nullptr);
        PrintFields(&app);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "template") == 0)
        return WriteLanguageTemplate(BuiltinLanguageTables, argv[2]) == 0 ? 0 : 1;
    if (argc >= 4 && strcmp(argv[1], "lang") == 0) {
        char code[4] = {};
        lstrcpynA(code, argv[3], sizeof code);
        LanguageTable *table = LoadLanguageFile(BuiltinLanguageTables, argv[2], code);
        if (!table) {
            printf("no table\n");
            return 1;
        }
        for (int i = 4; i < argc; i++) {
            char text[260];
            LangGetText(table, atoi(argv[i]), text, sizeof text);
            printf("%s=%s\n", argv[i], text);
        }
        app.langTable = table;
        char text[260];
        // A format the translation may have broken: must still format safely.
        TextFormat(text, sizeof text, Txt::askExit);
        printf("askExit=%s\n", text);
        LangFreeIfLoaded(BuiltinLanguageTables, table);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "dialog") == 0)
        return ShowDialogTexts(argv[2]);
    fprintf(stderr, "usage: settings_tool save|load|template|lang|dialog ...\n");
    return 2;
}
