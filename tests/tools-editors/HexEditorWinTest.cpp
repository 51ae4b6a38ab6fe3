#include <gtest/gtest.h>

#include "EditorSupport.h"
#include "tools/HexEditor.h"


class HexWindowTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
    }
    void TearDown() override {
        if (window && IsWindow(window)) {
            HexEdState *s = State();
            if (s)
                s->modified = 0;
            DestroyWindow(window);
        }
        EditorFixture::TearDown();
    }
    HexEdState *State() { return (HexEdState *)GetWindowLongPtrA(window, GWLP_USERDATA); }
    HWND Control() { return GetDlgItem(window, kHexControlId); }
    void Type(const char *text) {
        for (const char *p = text; *p; p++)
            SendMessageA(Control(), WM_CHAR, (unsigned char)*p, 0);
    }
    void Open(const std::string &path, int format = 0) {
        gApp->dumpOptions[0] = (uint16_t)format;
        window = HexOpenWindow(path.c_str());
        ASSERT_NE(window, nullptr);
        Pump();
    }
    HWND window = nullptr;
};

TEST_F(HexWindowTest, TypedElementsAreSavedAsExactBytes) {
    struct {
        int format;
        const char *typed;
        const char *expect; // the file after saving: 8 bytes
    } cases[] = {
        {0, "41", "A\x01\x02\x03\x04\x05\x06\x07"},
        {11, "1234:ABCD", "\xCD\xAB\x34\x12\x04\x05\x06\x07"},
        {7, "DEADBEEF", "\xEF\xBE\xAD\xDE\x04\x05\x06\x07"},
        {2, "-00002", "\xFE\xFF\x02\x03\x04\x05\x06\x07"},
        {2, "x", "\x00\x01\x02\x03\x04\x05\x06\x07"}, // rejected: nothing changes
    };
    for (auto &c : cases) {
        std::string path = Path("typed.bin");
        WriteBytes(path, std::string("\x00\x01\x02\x03\x04\x05\x06\x07", 8));
        Open(path, c.format);
        Type(c.typed);
        EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1) << c.format;
        EXPECT_EQ(ReadBytes(path), std::string(c.expect, 8)) << c.format << " " << c.typed;
        EXPECT_EQ(FolderNames(folder).size(), 1u); // no temporary file left
        DestroyWindow(window);
        window = nullptr;
    }
    EXPECT_TRUE(gBoxes.empty());
}

TEST_F(HexWindowTest, FailedSaveKeepsTheOriginalAndSaysWhy) {
    std::string path = Path("locked.bin");
    std::string original("\x10\x20\x30\x40", 4);
    WriteBytes(path, original);
    Open(path);
    Type("FF");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 0);
    EXPECT_EQ(ReadBytes(path), original);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_NE(gBoxes[0].text.find("original is unchanged"), std::string::npos) << gBoxes[0].text;
    EXPECT_EQ(gBoxes[0].text.find("No enough space"), std::string::npos);
    char system[300] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0x400,
                   system, sizeof system, nullptr);
    std::string first(system, strcspn(system, "\r\n"));
    EXPECT_NE(gBoxes[0].text.find(first), std::string::npos) << gBoxes[0].text;
    EXPECT_EQ(State()->modified, 1u);
    EXPECT_EQ(FolderNames(folder).size(), 1u);
    // Into a folder that does not exist: the real error again, nothing written.
    gNameAnswer = true;
    gNextName = Path("missing\\x.bin");
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11925, 0), 0);
    EXPECT_EQ(gBoxes.size(), 2u);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(HexWindowTest, CancelledNameDialogEndsTheSave) {
    Open("");
    SendMessageA(window, WM_COMMAND, 15009, 0); // an empty document gets one zero element
    EXPECT_EQ(State()->block.length, 1u);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 0); // Save without a name asks once
    EXPECT_EQ(gNameAsks, 1);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11925, 0), 0);
    EXPECT_EQ(gNameAsks, 2);
    EXPECT_TRUE(FolderNames(folder).empty());
    gNameAnswer = true;
    gNextName = Path("new.bin");
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1);
    EXPECT_EQ(ReadBytes(gNextName), std::string(1, '\0'));
}

TEST_F(HexWindowTest, CloseAsksOnceAndCancelKeepsTheChanges) {
    std::string path = Path("close.bin");
    WriteBytes(path, "abcd");
    Open(path);
    Type("7A");
    gBoxAnswer = IDCANCEL;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(ReadBytes(path), "abcd");
    gBoxAnswer = IDYES;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(gBoxes.size(), 2u);
    EXPECT_EQ(ReadBytes(path), "zbcd");
}

TEST_F(HexWindowTest, MissingFileIsReportedAndNoWindowStays) {
    HWND none = HexOpenWindow(Path("absent.bin").c_str());
    EXPECT_EQ(none, nullptr);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_NE(gBoxes[0].text.find("could not be loaded"), std::string::npos);
}

TEST_F(HexWindowTest, SecondOpenOfTheSameFileActivatesTheFirst) {
    std::string path = Path("twice.bin");
    WriteBytes(path, "xy");
    Open(path);
    EXPECT_EQ(HexOpenWindow(path.c_str()), window);
}

TEST_F(HexWindowTest, DeleteAtTheEndAndFindReplace) {
    std::string path = Path("edit.bin");
    WriteBytes(path, std::string("\x11\x22\x33\x11\x22", 5));
    Open(path);
    // Delete everything from the start: the caret always stays inside the data.
    for (int i = 0; i < 7; i++)
        SendMessageA(window, WM_COMMAND, 15010, 0);
    EXPECT_EQ(State()->block.length, 0u);
    EXPECT_EQ(State()->block.data, nullptr);
    DestroyWindow(window);
    WriteBytes(path, std::string("\x11\x22\x33\x11\x22", 5));
    Open(path);
    FINDREPLACEA request = {sizeof request};
    char find[32] = "22", with[32] = "AA";
    request.lpstrFindWhat = find;
    request.lpstrReplaceWith = with;
    request.Flags = FR_REPLACEALL | FR_DOWN;
    SendMessageA(window, RegisterWindowMessageA(FINDMSGSTRINGA), 0, (LPARAM)&request);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1);
    EXPECT_EQ(ReadBytes(path), std::string("\x11\xAA\x33\x11\xAA", 5));
}
