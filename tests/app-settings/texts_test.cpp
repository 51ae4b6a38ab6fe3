// Text tables, the checked formatter and language files.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/LanguageFile.h"
#include "base/Memory.h"
#include "base/TextFormat.h"
#include "base/Texts.h"

namespace {

const LanguageTable kSample[] = {
    {0, "XX"},       {13002, "Sample"}, {5, "twenty chars long..."}, {6, "a\\tb\\tc"},
    {7, "%d files"}, {8, "%s of %s"},   {0, nullptr},
};
const LanguageTable kSampleKeys[] = {
    {0, "-"}, {13002, "External"}, {5, "txtLong"}, {6, "mnuTabbed"}, {7, "txtFiles"}, {8, "txtOf"}, {0, nullptr},
};

TEST(Texts, LookupCutsAndUnescapes) {
    char buf[64];
    strcpy(buf, "junk");
    LangGetText(kSample, 999, buf, sizeof buf);
    EXPECT_STREQ(buf, "") << "a missing id empties the buffer";

    LangGetText(kSample, 5, buf, 10);
    EXPECT_STREQ(buf, "twenty ch");

    LangGetText(kSample, 6, buf, sizeof buf);
    EXPECT_STREQ(buf, "a\tb\tc");

    strcpy(buf, "kept");
    LangGetText(nullptr, 5, buf, sizeof buf);
    EXPECT_STREQ(buf, "kept") << "a null table leaves the buffer alone";

    LangGetText(kSample, 13002, buf, sizeof buf);
    EXPECT_STREQ(buf, "Sample");
}

TEST(Texts, BuiltinTablesAgree) {
    const LanguageTable *en = BuiltinLanguageTables[kBuiltinEnglish];
    const LanguageTable *de = BuiltinLanguageTables[kBuiltinGerman];
    const LanguageTable *keys = BuiltinLanguageTables[kBuiltinKeys];
    ASSERT_EQ(BuiltinLanguageTables[3], nullptr);
    EXPECT_STREQ(LangTableCode(en), "US");
    EXPECT_STREQ(LangTableCode(de), "DE");
    EXPECT_STREQ(LangTableCode(keys), "-");
    int n = LangTableCount(en);
    ASSERT_EQ(n, LangTableCount(de));
    ASSERT_EQ(n, LangTableCount(keys));
    std::set<int> ids;
    std::set<std::string> keyNames;
    for (int k = 1; k <= n; k++) {
        EXPECT_EQ(en[k].id, de[k].id);
        EXPECT_EQ(en[k].id, keys[k].id);
        EXPECT_TRUE(ids.insert(en[k].id).second) << "text id " << en[k].id << " is listed twice";
        EXPECT_TRUE(keyNames.insert(keys[k].text).second) << "key " << keys[k].text << " is listed twice";
        EXPECT_LE(strlen(keys[k].text), 16u) << keys[k].text;
        EXPECT_TRUE(en[k].id >= 2 && en[k].id <= 32000) << en[k].id;
        // A German text must read the same arguments as the English one.
        EXPECT_TRUE(FormatDirectivesMatch(de[k].text, en[k].text) || !strchr(en[k].text, '%'))
            << "German text of " << keys[k].text;
    }
    char buf[64];
    LangGetText(de, Txt::txtHistory, buf, sizeof buf);
    EXPECT_STREQ(buf, "Verlauf");
}

TEST(TextFormat, DirectiveKinds) {
    struct Case {
        const char *candidate, *reference;
        bool usable;
    } cases[] = {
        {"%d Dateien", "%d files", true},
        {"%5d Dateien", "%d files", true},      // width changes nothing
        {"%u/%x", "%d %d", true},               // signedness does not change the argument
        {"%s files", "%d files", false},        // would read an int as a pointer
        {"%d %d", "%d", false},                 // reads one argument too many
        {"", "%d files", false},
        {"100%% done", "100%% done", true},
        {"%n", "%n", false},                    // never: writes through an argument
        {"%1$s", "%s", false},                  // positional arguments
        {"%s %d", "%s %d", true},
        {"%lu", "%u", false},
        {"%I64u", "%llu", true},
        {"%.*s", "%.*s", true},
        {"%*d", "%d", false},
        {"50%", "50%", false},                  // lone "%" at the end
        {"%q", "%d", false},
        {"%f", "%f", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatDirectivesMatch(c.candidate, c.reference), c.usable) << c.candidate << " vs " << c.reference;
}

TEST(TextFormat, TranslatedFormatFallsBackToEnglish) {
    const LanguageTable broken[] = {
        {0, "FR"}, {13002, "Broken"}, {7, "%s fichiers %s %s"}, {8, "%s sur %s"}, {0, nullptr},
    };
    char out[64];
    EXPECT_EQ(LangFormat(broken, kSample, 7, out, sizeof out, 12), 8);
    EXPECT_STREQ(out, "12 files");
    LangFormat(broken, kSample, 8, out, sizeof out, "a", "b");
    EXPECT_STREQ(out, "a sur b");
    // Cut to the buffer, terminated.
    EXPECT_EQ(LangFormat(broken, kSample, 8, out, 5, "abc", "def"), 4);
    EXPECT_STREQ(out, "abc ");
}

LanguageTable *Build(const std::string &file) {
    return LangBuildTable(file.data(), file.size(), "FR", kSampleKeys, kSample);
}

TEST(LanguageFile, BuildsTableFromFile) {
    LanguageTable *t = Build("[Text]\r\n"
                             "Language=Fran\xe7" "ais\r\n"
                             "txtFiles_=%d fichiers\r\n"
                             "mnuTabbed=x\\ty\\nz\r\n"
                             "txtOf____=\r\n" // empty: the English text
                             "txtFiles_=the first one counts\r\n");
    ASSERT_NE(t, nullptr);
    char buf[64];
    LangGetText(t, 13002, buf, sizeof buf);
    EXPECT_STREQ(buf, "Fran\xe7" "ais");
    LangGetText(t, 7, buf, sizeof buf);
    EXPECT_STREQ(buf, "%d fichiers");
    LangGetText(t, 6, buf, sizeof buf);
    EXPECT_STREQ(buf, "x\ty\nz");
    LangGetText(t, 8, buf, sizeof buf);
    EXPECT_STREQ(buf, "%s of %s");
    LangGetText(t, 5, buf, sizeof buf);
    EXPECT_STREQ(buf, "twenty chars long...") << "a missing key falls back to English";
    EXPECT_STREQ(LangTableCode(t), "FR");
    EXPECT_EQ(LangTableCount(t), LangTableCount(kSample));
    MemFree(&t);
}

TEST(LanguageFile, KeysMustBePaddedAndNameDefaults) {
    // Keys are padded to the longest key (9 here: "mnuTabbed").
    LanguageTable *t = Build("txtOf=%s de %s\r\ntxtOf____=%s de %s\nno equals sign\n=novalue\n");
    ASSERT_NE(t, nullptr);
    char buf[64];
    LangGetText(t, 13002, buf, sizeof buf);
    EXPECT_STREQ(buf, "External");
    LangGetText(t, 8, buf, sizeof buf);
    EXPECT_STREQ(buf, "%s de %s");
    MemFree(&t);

    t = Build("txtFiles_=no line end at the end");
    ASSERT_NE(t, nullptr);
    LangGetText(t, 7, buf, sizeof buf);
    EXPECT_STREQ(buf, "no line end at the end");
    MemFree(&t);
}

TEST(LanguageFile, LongValuesAreCut) {
    std::string file = "txtFiles_=" + std::string(400, 'v') + "\r\n";
    LanguageTable *t = Build(file);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(strlen(LangFindText(t, 7)), kLangValueMax);
    MemFree(&t);
}

TEST(LanguageFile, ArbitraryBytesGiveAWholeTable) {
    // A language file is outside input: NULs, lone "=", bare CRs, no line end.
    uint32_t seed = 12345;
    for (int round = 0; round < 200; round++) {
        std::string file;
        int n = (int)(seed % 600);
        for (int i = 0; i < n; i++) {
            seed = seed * 1103515245u + 12345u;
            static const char alphabet[] = "txtOfFiles_mnuTabbed=\\\r\n%\0Language";
            file += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        LanguageTable *t = Build(file);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(LangTableCount(t), LangTableCount(kSample));
        for (int k = 1; k <= LangTableCount(t); k++)
            ASSERT_LE(strlen(t[k].text), kLangValueMax);
        char out[64];
        LangFormat(t, kSample, 8, out, sizeof out, "a", "b"); // must not crash whatever the file says
        MemFree(&t);
    }
}

TEST(LanguageFile, FindValueIsUnanchored) {
    char out[16];
    LangFindValue("key", out, sizeof out, "xxkey=abcdefghijklmnopqrstuvwxyz\r\n");
    EXPECT_STREQ(out, "abcdefghijklmno");
    LangFindValue("key", out, sizeof out, "key value");
    EXPECT_STREQ(out, "");
}

TEST(LanguageFile, TemplateReadsBackAsEnglish) {
    const LanguageTable *en = BuiltinLanguageTables[kBuiltinEnglish];
    const LanguageTable *keys = BuiltinLanguageTables[kBuiltinKeys];
    uint32_t length = 0;
    char *text = LangBuildTemplate(keys, en, &length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(strlen(text), length);
    EXPECT_EQ(strncmp(text, "[Text]\r\nLanguage=English\r\n", 26), 0);
    char line[80];
    LangPadKey("mnuSaveSetup", LangLongestKey(keys), line, sizeof line);
    std::string expected = std::string("\r\n") + line + "=&Save setup\\tShift+F9\r\n";
    EXPECT_NE(strstr(text, expected.c_str()), nullptr) << text;
    LanguageTable *t = LangBuildTable(text, length, "US", keys, en);
    ASSERT_NE(t, nullptr);
    for (int k = 1; k <= LangTableCount(en); k++) {
        char a[300], b[300];
        LangGetText(en, en[k].id, a, sizeof a);
        LangGetText(t, en[k].id, b, sizeof b);
        EXPECT_STREQ(a, b);
    }
    MemFree(&t);
    MemFree(&text);
}

TEST(LanguageFile, EscapeNeverSplitsAnEscape) {
    char out[8];
    LangEscapeText("abcde\tX", out, 6);
    EXPECT_STREQ(out, "abcde");
    LangEscapeText("a\nb", out, 7);
    EXPECT_STREQ(out, "a\\nb");
}

} // namespace
