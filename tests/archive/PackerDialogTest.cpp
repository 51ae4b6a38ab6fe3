// The packer definitions dialog driven by its messages: the packers of a
// table typed into its fields (as keys, so the field limits hold), stepped
// through, deleted and saved. The saved VANDZIP.SET must equal what an
// independent Python writer made from the same table (T:\packers). A damaged
// file is named and left alone; a failed save keeps the old file.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "AppState.h"
#include "JobTestSupport.h"
#include "frontends/PackCommands.h"

namespace {

const std::string kExpected = "T:\\packers\\VANDZIP.SET";
const std::string kTable = "T:\\packers\\packers.tsv";

std::vector<std::vector<std::string>> Table() {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(ReadFileBytes(kTable));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::vector<std::string> fields;
        std::istringstream f(line);
        std::string field;
        for (int i = 0; i < kPackerStringCount; ++i) {
            field.clear();
            std::getline(f, field, '\t');
            fields.push_back(field);
        }
        rows.push_back(fields);
    }
    return rows;
}

// Types text into an edit field as keys, after clearing it.
void Type(HWND dialog, int id, const std::string &text) {
    HWND edit = GetDlgItem(dialog, id);
    SetWindowTextA(edit, "");
    for (char c : text)
        SendMessageA(edit, WM_CHAR, (unsigned char)c, 0);
}

std::string Field(HWND dialog, int i) {
    char text[100] = "";
    GetDlgItemTextA(dialog, kIdPackerField + i, text, sizeof text);
    return text;
}

class PackerDialog : public ::testing::Test {
  protected:
    std::string scratch, file;
    PackerDialogData data;
    HWND dialog = nullptr;

    void SetUp() override {
        JobTestInitApp();
        scratch = JobTestScratch("packer-dialog");
        file = scratch + "\\VANDZIP.SET";
        lstrcpynA(gPackerFileOverride, file.c_str(), sizeof gPackerFileOverride);
        PackerForget();
    }
    void TearDown() override {
        if (dialog && IsWindow(dialog))
            DestroyWindow(dialog);
        gPackerFileOverride[0] = 0;
        PackerForget();
    }
    HWND Open() {
        data.image = *PackerDefinitions();
        data.index = 0;
        data.saveError = 0;
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgPacker), nullptr,
                                    PackerDialogProc, (LPARAM)&data);
        return dialog;
    }
    void Press(int id) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
};

TEST_F(PackerDialog, TypedPackersSaveTheBytesOfAnIndependentWriter) {
    std::vector<std::vector<std::string>> rows = Table();
    ASSERT_EQ(rows.size(), 4u);
    ASSERT_FALSE(Exists(file));
    ASSERT_TRUE(Open());
    // No file: one empty record to start with.
    EXPECT_EQ(PackerImageCount(data.image), 1u);
    for (int i = 0; i < kPackerStringCount; ++i)
        EXPECT_EQ(Field(dialog, i), "");
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r)
            Press(kIdPackerInsert);
        EXPECT_EQ(data.index, r);
        for (int i = 0; i < kPackerStringCount; ++i)
            Type(dialog, kIdPackerField + i, rows[r][i]);
    }
    // The field limits held while typing.
    EXPECT_EQ(Field(dialog, 0), "LONGNAM");
    EXPECT_EQ(Field(dialog, 1), "zip");
    EXPECT_EQ(Field(dialog, 2).size(), 63u);

    // Stepping back shows each record as stored: one trailing blank.
    Press(kIdPackerPrev);
    Press(kIdPackerPrev);
    EXPECT_EQ(data.index, 1u);
    EXPECT_EQ(Field(dialog, 0), "RAR");
    EXPECT_EQ(Field(dialog, 2), "rar a -ep ");
    EXPECT_EQ(Field(dialog, 8), "-m5 ");
    Press(kIdPackerPrev);
    Press(kIdPackerPrev); // stays on the first
    EXPECT_EQ(data.index, 0u);
    EXPECT_EQ(Field(dialog, 0), "ZIP");
    Press(kIdPackerDelete); // the first record cannot be deleted
    EXPECT_EQ(PackerImageCount(data.image), 4u);
    for (int n = 0; n < 5; ++n)
        Press(kIdPackerNext);
    EXPECT_EQ(data.index, 3u);

    // A record inserted and deleted again leaves the rest as it was.
    Press(kIdPackerPrev);
    Press(kIdPackerInsert);
    Type(dialog, kIdPackerField, "GONE");
    EXPECT_EQ(PackerImageCount(data.image), 5u);
    Press(kIdPackerDelete);
    EXPECT_EQ(PackerImageCount(data.image), 4u);
    EXPECT_EQ(data.index, 2u);
    EXPECT_EQ(Field(dialog, 0), "ARJ");

    // Save: the option set goes to the low bits, the level bits stay.
    gApp->packerChoice = 0x70;
    CheckRadioButton(dialog, kIdPackerBest, kIdPackerBest + 2, kIdPackerBest + 2);
    Press(kIdPackerSave);
    EXPECT_EQ(data.saveError, 0u);
    EXPECT_EQ(gApp->packerChoice, 0x72);
    std::string expected = ReadFileBytes(kExpected);
    ASSERT_FALSE(expected.empty()) << kExpected;
    EXPECT_TRUE(ReadFileBytes(file) == expected);
    // And the program uses them at once.
    EXPECT_EQ(PackerCount(), 4u);
    EXPECT_EQ(GuessPacker("C:\\x\\a.arj"), 2u);
    // No temporary file stays beside it.
    EXPECT_EQ(ListNames(scratch), std::vector<std::string>{"VANDZIP.SET"});

    // Opened again it shows the saved records; cancel keeps the file.
    DestroyWindow(dialog);
    PackerForget();
    ASSERT_TRUE(Open());
    EXPECT_EQ(Field(dialog, 0), "ZIP");
    EXPECT_EQ(Field(dialog, 4), "pkunzip ");
    EXPECT_EQ(Field(dialog, 5), "pkunzip -d ");
    EXPECT_TRUE(IsDlgButtonChecked(dialog, kIdPackerBest + 2));
    Type(dialog, kIdPackerField, "CHANGED");
    Press(IDCANCEL);
    EXPECT_TRUE(ReadFileBytes(file) == expected);
    EXPECT_EQ(PackerGetString(*PackerDefinitions(), 0, kPackerName), "ZIP");
}

TEST_F(PackerDialog, ADamagedFileIsNamedAndLeftAlone) {
    std::string good = ReadFileBytes(kExpected);
    ASSERT_FALSE(good.empty());
    const struct {
        const char *what;
        size_t at;
        char value;
    } cases[] = {
        {"count beyond the records", 0, 9},
        {"record length past the end", 2, (char)0xF0},
        {"string offset moved", 4, 40},
        {"terminator overwritten", 2 + 22 + 3, 'X'},
        {"count below the records", 0, 3},
    };
    for (const auto &c : cases) {
        std::string bad = good;
        bad[c.at] = c.value;
        WriteFileBytes(file, bad);
        PackerForget();
        std::string shown;
        {
            DialogAnswerer box(gWindowTitle, {IDOK}, [&](int) {
                HWND w = nullptr;
                for (HWND f = FindWindowExA(nullptr, nullptr, "#32770", gWindowTitle); f;
                     f = FindWindowExA(nullptr, f, "#32770", gWindowTitle)) {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(f, &pid);
                    if (pid == GetCurrentProcessId())
                        w = f;
                }
                char text[600] = "";
                if (w)
                    GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
                shown = text;
            });
            PackerShowDialog(nullptr); // names the file and opens nothing
            box.Join();
            EXPECT_EQ(box.answered(), 1) << c.what;
        }
        EXPECT_NE(shown.find("VANDZIP.SET"), std::string::npos) << c.what << ": " << shown;
        EXPECT_NE(shown.find("record"), std::string::npos) << c.what << ": " << shown;
        EXPECT_TRUE(ReadFileBytes(file) == bad) << c.what;
        EXPECT_EQ(PackerCount(), 0u) << c.what;
    }
    // Files of 24 bytes hold no definitions; 25 are read.
    std::string one = good.substr(0, 2 + (unsigned char)good[2]);
    one[0] = 1;
    ASSERT_GE(one.size(), 25u);
    WriteFileBytes(file, one);
    PackerForget();
    EXPECT_EQ(PackerCount(), 1u);
    WriteFileBytes(file, std::string(24, '\0'));
    PackerForget();
    EXPECT_EQ(PackerCount(), 0u);
}

TEST_F(PackerDialog, AFailedSaveKeepsTheOldFileAndTheEdits) {
    std::string good = ReadFileBytes(kExpected);
    WriteFileBytes(file, good);
    PackerForget();
    ASSERT_TRUE(Open());
    Type(dialog, kIdPackerField, "NEW");
    // The file is read-only: the save is refused and says so.
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    {
        DialogAnswerer box(gWindowTitle, {IDOK});
        Press(kIdPackerSave);
        box.Join();
        EXPECT_EQ(box.answered(), 1);
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_NE(data.saveError, 0u);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(Field(dialog, 0), "NEW");
    EXPECT_TRUE(ReadFileBytes(file) == good);
    Press(kIdPackerSave);
    EXPECT_EQ(data.saveError, 0u);
    EXPECT_EQ(PackerGetString(*PackerDefinitions(), 0, kPackerName), "NEW");
}

} // namespace
