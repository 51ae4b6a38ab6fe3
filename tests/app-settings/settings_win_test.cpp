// Settings file location and language files on a real Windows file system.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdio.h>
#include <string>

#include "AppState.h"
#include "app/Language.h"
#include "app/Memory.h"
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

} // namespace
