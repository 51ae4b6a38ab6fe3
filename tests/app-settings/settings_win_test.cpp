// Settings file location and language files on a real Windows file system.
#include <gtest/gtest.h>

#include <windows.h>
#include "tests/OwnWindow.h"
#include <stdio.h>
#include <string>

#include "AppState.h"
#include "app/Language.h"
#include "base/Memory.h"
#include "app/Settings.h"

namespace {

std::string TempFolder(const char *name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void WriteFile(const std::string &path, const char *text) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fputs(text, f);
    fclose(f);
}

TEST(SettingsLocation, ReadOnlyDefaultFileMovesToWindowsFolder) {
    std::string dir = TempFolder("vandrell-reloc");
    std::string base = dir + "\\KESTR";
    std::string ini = base + ".INI";
    WriteFile(ini, "[Zq Vandrell]\r\n");
    char name[MAX_PATH];

    // Writable: stays where it is.
    snprintf(name, sizeof name, "%s", base.c_str());
    EXPECT_FALSE(IniRelocateName(name, base.c_str(), "C:\\WINDOWS"));
    EXPECT_STREQ(name, base.c_str());

    // Read-only KESTR.INI: the default name is tested with ".INI" added.
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(IniRelocateName(name, base.c_str(), "C:\\WINDOWS"));
    EXPECT_STREQ(name, "C:\\WINDOWS\\KESTR");

    // A name given on the command line is tested as it is.
    snprintf(name, sizeof name, "%s", ini.c_str());
    EXPECT_TRUE(IniRelocateName(name, base.c_str(), "C:\\WINDOWS\\"));
    EXPECT_STREQ(name, "C:\\WINDOWS\\KESTR.INI");
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(ini.c_str());
}

TEST(SettingsLocation, DefaultBaseAndPath) {
    char base[MAX_PATH], path[MAX_PATH];
    IniGetDefaultBase(base);
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    const char *name = strrchr(base, '\\') ? strrchr(base, '\\') + 1 : base;
    EXPECT_EQ(strlen(name), 5u) << base; // app_settings_win_test -> app_s
    EXPECT_EQ(_strnicmp(module, base, strlen(base)), 0);
    IniMakePath(base, path);
    EXPECT_EQ(std::string(path), std::string(base) + ".INI");
    IniMakePath("C:\\other.cfg", path);
    EXPECT_STREQ(path, "C:\\other.cfg");
}

TEST(LanguageFiles, LoadFallsBackToUsFileThenNothing) {
    std::string dir = TempFolder("vandrell-lang");
    std::string base = dir + "\\prog";
    DeleteFileA((base + "_US.LNG").c_str());
    DeleteFileA((base + "_QQ.LNG").c_str());
    char code[4] = "QQ";
    EXPECT_EQ(LoadLanguageFile(BuiltinLanguageTables, base.c_str(), code), nullptr);

    ASSERT_EQ(WriteLanguageTemplate(BuiltinLanguageTables, base.c_str()), 0u);
    LanguageTable *t = LoadLanguageFile(BuiltinLanguageTables, base.c_str(), code);
    ASSERT_NE(t, nullptr) << "the US file stands in for a missing code";
    char buf[64];
    LangGetText(t, Txt::txtHistory, buf, sizeof buf);
    EXPECT_STREQ(buf, "History");
    LangFreeIfLoaded(BuiltinLanguageTables, t);

    // A one-letter code is widened with a blank.
    char one[4] = "X";
    WriteFile(base + "_X .LNG", "[Text]\r\nLanguage=Ex\r\n");
    t = LoadLanguageFile(BuiltinLanguageTables, base.c_str(), one);
    EXPECT_STREQ(one, "X ");
    ASSERT_NE(t, nullptr);
    LangGetText(t, kTextIdLanguageName, buf, sizeof buf);
    EXPECT_STREQ(buf, "Ex");
    LangFreeIfLoaded(BuiltinLanguageTables, t);
    LangFreeIfLoaded(BuiltinLanguageTables, BuiltinLanguageTables[1]); // built-in: left alone
}

TEST(Texts, FormatWithCurrentTable) {
    AppState app = {};
    gApp = &app;
    const LanguageTable broken[] = {
        {0, "ZZ"}, {13002, "Z"}, {Txt::askExit, "%s%s%s%s%n"}, {0, nullptr},
    };
    app.langTable = broken;
    char out[80];
    TextFormat(out, sizeof out, Txt::askExit);
    EXPECT_STREQ(out, "Do you want to quit the Vandrell?");
    app.langTable = nullptr;
    TextGet(Txt::textFile, out, sizeof out);
    EXPECT_STREQ(out, "File") << "English before a language is chosen";
    gApp = nullptr;
}

TEST(SettingsLists, ComboHistoryAndPlacement) {
    std::string dir = TempFolder("vandrell-lists");
    std::string ini = dir + "\\lists.ini";
    WriteFile(ini, "[Run]\r\n1=first\r\n2=\r\n3=third\r\n9=stale\r\n[Other]\r\nPos=1,2,3\r\n");
    HWND combo = CreateWindowA("COMBOBOX", "", CBS_DROPDOWN, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
    IniLoadComboList(combo, ini.c_str(), "Run", 5);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2) << "empty values are skipped";
    SendMessageA(combo, CB_INSERTSTRING, 0, (LPARAM) "newest");
    IniSaveComboList(combo, ini.c_str(), "Run", 2);
    char value[64];
    IniGetString("Run", "1", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "newest");
    IniGetString("Run", "2", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "first");
    IniGetString("Run", "3", "gone", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "gone") << "the section is cleared before saving";
    IniGetString("Run", "9", "gone", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "gone");
    DestroyWindow(combo);

    int x, y, w, h, show;
    WndLoadPlacement(ini.c_str(), "Other", &x, &y, &w, &h, &show);
    EXPECT_EQ(x, (int)CW_USEDEFAULT);
    EXPECT_EQ(h, (int)CW_USEDEFAULT);
    EXPECT_EQ(show, 0);
    IniWriteString("Other", "Pos", "10,20,300,200,3", ini.c_str());
    WndLoadPlacement(ini.c_str(), "Other", &x, &y, &w, &h, &show);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(show, 3);
    IniWriteString("Other", "Pos", "10,20,300,200,1", ini.c_str());
    WndLoadPlacement(ini.c_str(), "Other", &x, &y, &w, &h, &show);
    EXPECT_EQ(show, 0);
    DeleteFileA(ini.c_str());
}

TEST(SettingsLists, OldAssociationsUpgrade) {
    std::string dir = TempFolder("vandrell-assoc");
    std::string ini = dir + "\\assoc.ini";
    WriteFile(ini, "[Editor]\r\n1=*.txt *.log=notepad.exe\r\n2=*.c,*.h=ed.exe a,b\r\n4=*.x y=never\r\n"
                   "[Viewer]\r\n1=*.bmp=mspaint.exe\r\n");
    IniConvertAssocSections(ini.c_str());
    char value[64];
    IniGetString("Editor", "1", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "*.txt;*.log=notepad.exe");
    IniGetString("Editor", "2", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "*.c;*.h=ed.exe a,b");
    IniGetString("Editor", "4", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "*.x y=never") << "stops at the first missing key";
    DeleteFileA(ini.c_str());
}

struct DialogProbe {
    std::string items;
    int pick;
};

DWORD WINAPI PickLanguage(void *param) {
    DialogProbe *probe = static_cast<DialogProbe *>(param);
    // The window exists before its list is filled: wait for the dialog as
    // the user sees it, shown, with its list (slow while other tests run).
    HWND dialog = nullptr, list = nullptr;
    for (int i = 0; i < 2400; i++) {
        Sleep(25);
        dialog = FindOwnWindow("#32770", "Language");
        list = dialog ? GetDlgItem(dialog, kLanguageList) : nullptr;
        if (list && IsWindowVisible(dialog) && SendMessageA(list, LB_GETCOUNT, 0, 0) > 0)
            break;
        dialog = nullptr;
    }
    if (!dialog)
        return 1;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char text[128] = {};
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
        probe->items += std::string(text) + ";";
    }
    if (probe->pick < 0) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        SendMessageA(list, LB_SETCURSEL, probe->pick, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

TEST(LanguageDialog, ListsBuiltinsAndFilesAndReturnsTheCode) {
    std::string dir = TempFolder("vandrell-choose");
    std::string base = dir + "\\prog";
    WriteFile(base + "_FR.LNG", "[Text]\r\nLanguage=Francais\r\n");
    WriteFile(base + "_DE.LNG", "[Text]\r\nLanguage=Deutsch again\r\n"); // code already listed
    WriteFile(base + "_NL.LNG", "[Text]\r\ntxtHistory=x\r\n");            // no name: not listed
    WriteFile(base + "_ABC.LNG", "[Text]\r\nLanguage=Three letters\r\n");

    DialogProbe probe = {"", 2};
    HANDLE thread = CreateThread(nullptr, 0, PickLanguage, &probe, 0, nullptr);
    char chosen[4] = "??";
    bool ok = LangChooseDialog(GetModuleHandleA(nullptr), nullptr, BuiltinLanguageTables, base.c_str(), chosen);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_EQ(probe.items, "English;German (Deutsch);Francais;");
    EXPECT_TRUE(ok);
    EXPECT_STREQ(chosen, "FR");

    probe = {"", -1};
    thread = CreateThread(nullptr, 0, PickLanguage, &probe, 0, nullptr);
    strcpy(chosen, "??");
    ok = LangChooseDialog(GetModuleHandleA(nullptr), nullptr, BuiltinLanguageTables, base.c_str(), chosen);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_FALSE(ok);
    EXPECT_STREQ(chosen, "??");
}

} // namespace
