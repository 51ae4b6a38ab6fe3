#include "app/Language.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/LanguageFile.h"
#include "base/Memory.h"
#include "app/Settings.h"
#include "base/Strings.h"
#include "fileops/FileHelpers.h"
#include "tools/RunServices.h"
#include "wingui/WindowUtil.h"

void (*gLanguageChangedHook)(HWND owner);

void LangApplyToWindow(HWND window, const LanguageTable *table, const int16_t *idList) {
    if (!idList)
        return;
    char text[260];
    if (idList[0]) {
        LangGetText(table, idList[0], text, 259);
        SetWindowTextA(window, text);
    }
    for (const int16_t *id = idList + 1; *id; id++) {
        LangGetText(table, *id, text, 259);
        SetDlgItemTextA(window, *id, text);
    }
}

void LangApplyToDialog(HWND window, const int16_t *idList) {
    LangApplyToWindow(window, TextCurrentTable(), idList);
}

static bool FileExists(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int LangFileName(const char *base, const char *code, const char *extension, char *out, int noFallback) {
    snprintf(out, MAX_PATH, "%s_%s.%s", base, code, extension);
    if (FileExists(out))
        return 0;
    if (noFallback)
        return 1;
    snprintf(out, MAX_PATH, "%s_%s.%s", base, "US", extension);
    return FileExists(out) ? 0 : 1;
}

static const LanguageTable *FindKeyTable(const LanguageTable *const *tables) {
    for (int i = 0; tables[i]; i++) {
        if (strcmp(LangTableCode(tables[i]), "-") == 0)
            return i == 0 ? nullptr : tables[i];
    }
    return nullptr;
}

LanguageTable *LoadLanguageFile(const LanguageTable *const *tables, const char *base, char *code) {
    if (code[0] && !code[1]) {
        code[1] = ' ';
        code[2] = 0;
    }
    const LanguageTable *keys = FindKeyTable(tables);
    if (!keys)
        return nullptr;
    char path[MAX_PATH];
    if (LangFileName(base, code, "LNG", path, 0) != 0)
        return nullptr;
    uint32_t length = 0;
    char *text = FileReadAll(path, &length);
    if (!text)
        return nullptr;
    LanguageTable *table = LangBuildTable(text, length, code, keys, tables[0]);
    MemFree(&text);
    return table;
}

DWORD WriteLanguageTemplate(const LanguageTable *const *tables, const char *base) {
    const LanguageTable *keys = FindKeyTable(tables);
    if (!keys)
        return ERROR_INVALID_DATA;
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s_%s.%s", base, LangTableCode(tables[0]), "LNG");
    uint32_t length = 0;
    char *text = LangBuildTemplate(keys, tables[0], &length);
    if (!text)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD result = FileWriteAll(path, text, length) ? 0 : GetLastError();
    MemFree(&text);
    if (result) {
        char message[MAX_PATH + 64];
        snprintf(message, sizeof message, "%s\n\nError %lu", path, (unsigned long)result);
        MessageBoxA(gMainWindow, message, gWindowTitle ? gWindowTitle : "Zq Vandrell", MB_OK | MB_ICONSTOP);
    }
    return result;
}

void LangFreeIfLoaded(const LanguageTable *const *tables, const LanguageTable *table) {
    if (!table)
        return;
    for (int i = 0; tables[i]; i++) {
        if (tables[i] == table)
            return;
    }
    LanguageTable *loaded = const_cast<LanguageTable *>(table);
    MemFree(&loaded);
}

// ---- the choice dialog -------------------------------------------------------

namespace {
struct ChooseDialogData {
    const LanguageTable *const *tables;
    const char *base;
    char chosen[4];
};

// Item data: the code's first three bytes packed into a word.
LPARAM PackCode(const char *code) {
    uint32_t packed = 0;
    memcpy(&packed, code, strnlen(code, 3));
    return (LPARAM)packed;
}

bool ListHasCode(HWND list, LPARAM packed) {
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        if (SendMessageA(list, LB_GETITEMDATA, i, 0) == packed)
            return true;
    }
    return false;
}

void AddItem(HWND list, const char *name, LPARAM packed) {
    int i = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)name);
    if (i >= 0)
        SendMessageA(list, LB_SETITEMDATA, i, packed);
}

void FillLanguageList(HWND list, ChooseDialogData *data) {
    for (int t = 0; data->tables[t]; t++) {
        const char *code = LangTableCode(data->tables[t]);
        if (strcmp(code, "-") == 0) {
            // Language files beside the program: two-letter codes only.
            char pattern[MAX_PATH];
            snprintf(pattern, sizeof pattern, "%s_%s.%s", data->base, "??", "LNG");
            const char *baseName = data->base;
            for (const char *p = data->base; *p; p++) {
                if (*p == '\\' || *p == '/' || *p == ':')
                    baseName = p + 1;
            }
            char folder[MAX_PATH];
            lstrcpynA(folder, data->base, (int)(baseName - data->base) + 1);
            WIN32_FIND_DATAA found;
            HANDLE find = FindFirstFileA(pattern, &found);
            if (find == INVALID_HANDLE_VALUE)
                continue;
            do {
                size_t baseLen = strlen(baseName);
                if (strlen(found.cFileName) != baseLen + 7) // "_XX.LNG"
                    continue;
                char fileCode[4] = {found.cFileName[baseLen + 1], found.cFileName[baseLen + 2], 0, 0};
                char path[MAX_PATH], name[256];
                snprintf(path, sizeof path, "%s%s", folder, found.cFileName);
                GetPrivateProfileStringA("Text", "Language", "", name, sizeof name, path);
                if (!name[0] || ListHasCode(list, PackCode(fileCode)))
                    continue;
                AddItem(list, name, PackCode(fileCode));
            } while (FindNextFileA(find, &found));
            FindClose(find);
        } else if (strlen(code) >= 2 && code[0] != '-') {
            const char *name = LangFindText(data->tables[t], kTextIdLanguageName);
            AddItem(list, name ? name : code, PackCode(code));
        }
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

const int16_t kChooseDialogTexts[] = {Txt::dlgLanguage, Txt::txtChooseLang, Txt::butOK, Txt::butCancel, 0};

bool ChooseDialogOk(HWND dialog, ChooseDialogData *data) {
    HWND list = GetDlgItem(dialog, kLanguageList);
    int i = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (i < 0)
        return false;
    uint32_t packed = (uint32_t)SendMessageA(list, LB_GETITEMDATA, i, 0);
    memset(data->chosen, 0, sizeof data->chosen);
    memcpy(data->chosen, &packed, 3);
    return data->chosen[0] != 0;
}

INT_PTR CALLBACK ChooseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ChooseDialogData *data = (ChooseDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        data = (ChooseDialogData *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)data);
        LangApplyToDialog(dialog, kChooseDialogTexts);
        FillLanguageList(GetDlgItem(dialog, kLanguageList), data);
        // Over the main window; at the first start it has no owner and
        // comes up in the middle of the screen.
        WndCenter(dialog);
        WndBringToFront(dialog);
        SetFocus(GetDlgItem(dialog, kLanguageList));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kLanguageList:
            if (HIWORD(wParam) != LBN_DBLCLK)
                break;
            // fall through: a double-click acts as OK
        case IDOK:
        case Txt::butOK:
            EndDialog(dialog, ChooseDialogOk(dialog, data) ? 1 : 0);
            return TRUE;
        case IDCANCEL:
        case Txt::butCancel:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}
} // namespace

bool LangChooseDialog(HINSTANCE instance, HWND owner, const LanguageTable *const *tables, const char *base,
                      char *chosen) {
    ChooseDialogData data = {tables, base, {}};
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(kLanguageDialog), owner, ChooseDialogProc,
                                     (LPARAM)&data);
    if (result != 1)
        return false;
    memcpy(chosen, data.chosen, 4);
    return true;
}

static void StoreLanguage(const char *code) {
    lstrcpynA(gApp->language, code, sizeof gApp->language);
    char file[MAX_PATH];
    IniGetPath(file);
    IniWriteString(kSettingsSection, "Language", gApp->language, file);
}

static bool ChooseAndStore(HWND owner) {
    char chosen[4] = {};
    bool first = gApp->language[0] == 0;
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (LangChooseDialog(instance, first ? nullptr : owner, BuiltinLanguageTables, gApp->programDir, chosen)) {
        StoreLanguage(chosen);
        return true;
    }
    if (first) { // Cancel at the very first start: English
        StoreLanguage("US");
        return true;
    }
    return false;
}

void LangRetitleToolWindows() {
    char text[260];
    HWND history = gApp->toolWindows[kToolHistory];
    HWND favorites = gApp->toolWindows[kToolFavorites];
    HWND container = gApp->toolWindows[kToolContainer];
    if (history) {
        TextGet(Txt::txtHistory, text, sizeof text);
        SetWindowTextA(history, text);
        TextGet(Txt::optKeep, text, sizeof text);
        SetDlgItemTextA(history, 14542, text);
        TextGet(Txt::optCloseWin, text, sizeof text);
        SetDlgItemTextA(history, 14549, text);
    }
    if (container) {
        TextGet(Txt::txtContainer, text, sizeof text);
        SetWindowTextA(container, text);
        TextGet(Txt::optKeep, text, sizeof text);
        SetDlgItemTextA(container, 14542, text);
    }
    if (favorites) {
        TextGet(Txt::txtFavorites, text, sizeof text);
        SetWindowTextA(favorites, text);
        TextGet(Txt::optCloseWin, text, sizeof text);
        SetDlgItemTextA(favorites, 14549, text);
    }
}

void InitLanguage(HWND owner) {
    const LanguageTable *const *tables = BuiltinLanguageTables;
    LangFreeIfLoaded(tables, gApp->langTable);
    gApp->langTable = tables[kBuiltinEnglish];
    if (!gApp->language[0])
        IniReadLanguage();
    if (!gApp->language[0]) {
        ChooseAndStore(owner);
        if (!gApp->language[0])
            return;
    }
    const LanguageTable *chosen = nullptr;
    for (int i = 0; tables[i]; i++) {
        if (lstrcmpiA(gApp->language, LangTableCode(tables[i])) == 0) {
            chosen = tables[i];
            break;
        }
    }
    if (!chosen)
        chosen = LoadLanguageFile(tables, gApp->programDir, gApp->language);
    if (chosen)
        gApp->langTable = chosen;
    TextGet(Txt::textFile, gApp->fileWord, sizeof gApp->fileWord);
    LangRetitleToolWindows();
    for (int p = 0; p < 2; p++) {
        if (gApp->panels[p].listWindow)
            PostMessageA(gApp->panels[p].listWindow, WM_USER + 1, 0, 0);
    }
    if (gLanguageChangedHook)
        gLanguageChangedHook(owner);
}

void LangCommandChoose(HWND owner) {
    if (!ChooseAndStore(owner))
        return;
    InitLanguage(owner);
    if (gApp->fkeyBar)
        InvalidateRect(gApp->fkeyBar, nullptr, TRUE);
}
