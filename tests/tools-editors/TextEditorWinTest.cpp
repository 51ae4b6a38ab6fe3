#include <gtest/gtest.h>

#include "EditorSupport.h"
#include "tools/TextCodec.h"
#include "tools/TextEditor.h"
#include "tests/OwnWindow.h"


class TextWindowTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
    }
    void TearDown() override {
        Close();
        EditorFixture::TearDown();
    }
    void Close() {
        if (window && IsWindow(window)) {
            SendMessageA(Child(), EM_SETMODIFY, 0, 0);
            DestroyWindow(window);
        }
        window = nullptr;
    }
    EditWindowRecord *Record() { return (EditWindowRecord *)GetWindowLongPtrA(window, GWLP_USERDATA); }
    HWND Child() { return GetDlgItem(window, kEditChildId); }
    void Open(const std::string &path, int kind = 2) {
        window = EditCreateWindow(path.c_str(), path.c_str(), kind);
        ASSERT_NE(window, nullptr) << path;
        Pump();
    }
    std::wstring Text() {
        int n = GetWindowTextLengthW(Child());
        std::wstring text(n + 1, L'\0');
        text.resize(GetWindowTextW(Child(), &text[0], n + 1));
        return text;
    }
    std::string MenuText(UINT id) {
        char text[64] = "";
        GetMenuStringA(GetMenu(window), id, text, sizeof text, MF_BYCOMMAND);
        return text;
    }
    HWND window = nullptr;
};

TEST_F(TextWindowTest, EveryEncodingAndLineEndIsSavedByteForByte) {
    std::vector<std::string> names = FolderNames("T:\\editdata");
    ASSERT_GE(names.size(), 17u) << "the fixture step did not run";
    // One window opens each file in turn (File, Open), as a user would.
    window = EditCreateWindow("", "", 2);
    ASSERT_NE(window, nullptr);
    gNameAnswer = true;
    for (const std::string &name : names) {
        std::string original = ReadBytes("T:\\editdata\\" + name);
        std::string path = Path(name.c_str());
        WriteBytes(path, original);
        gNextName = path;
        ASSERT_EQ(SendMessageA(window, WM_COMMAND, 11923, 0), 1) << name;
        EXPECT_TRUE(gBoxes.empty()) << name;
        EXPECT_EQ(Text().find(L'\n') == std::wstring::npos || Text().find(L"\r\n") != std::wstring::npos, true)
            << name;
        EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1) << name;
        EXPECT_EQ(ReadBytes(path), original) << name;
        std::string style = MenuText(999);
        if (name.find("_lf") != std::string::npos || name == "zeros.txt")
            EXPECT_EQ(style, "UNIX") << name;
        else if (name.find("_cr.") != std::string::npos)
            EXPECT_EQ(style, "MAC") << name;
        else
            EXPECT_EQ(style, "") << name;
        EXPECT_EQ(FolderNames(folder).size(), 1u) << name;
        DeleteFileA(path.c_str());
    }
    EXPECT_TRUE(gBoxes.empty());
}

TEST_F(TextWindowTest, TypedTextIsSavedInTheFilesEncodingAndLineEnds) {
    struct {
        const char *file;
        size_t length;
        const char *expect;
        size_t expectLength;
    } cases[] = {
        {"one\ntwo\n", 8, "X\none\ntwo\n", 10},
        {"one\rtwo", 7, "X\rone\rtwo", 9},
        {"\xFE\xFF\0o\0n\0e", 8, "\xFE\xFF\0X\0\r\0\n\0o\0n\0e", 14}, // no line end: CR LF
    };
    for (auto &c : cases) {
        std::string path = Path("typed.txt");
        WriteBytes(path, std::string(c.file, c.length));
        Open(path);
        SendMessageA(Child(), EM_SETSEL, 0, 0);
        SendMessageW(Child(), EM_REPLACESEL, TRUE, (LPARAM)L"X\r\n");
        EXPECT_NE(SendMessageA(Child(), EM_GETMODIFY, 0, 0), 0);
        EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1);
        EXPECT_EQ(ReadBytes(path), std::string(c.expect, c.expectLength));
        EXPECT_EQ(SendMessageA(Child(), EM_GETMODIFY, 0, 0), 0);
        Close();
    }
}

TEST_F(TextWindowTest, FailedSavesKeepTheOriginalAndSayWhy) {
    std::string path = Path("locked.txt");
    WriteBytes(path, "keep me\n");
    Open(path);
    SendMessageW(Child(), EM_REPLACESEL, TRUE, (LPARAM)L"changed ");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 0);
    EXPECT_EQ(ReadBytes(path), "keep me\n");
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_NE(gBoxes[0].text.find("original is unchanged"), std::string::npos);
    EXPECT_EQ(gBoxes[0].text.find("No enough space"), std::string::npos);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A character the ANSI code page cannot hold is refused, not written as "?".
    SendMessageW(Child(), EM_REPLACESEL, TRUE, (LPARAM)L"\u4E2D");
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 0);
    EXPECT_EQ(ReadBytes(path), "keep me\n");
    ASSERT_EQ(gBoxes.size(), 2u);
    EXPECT_NE(gBoxes[1].text.find("code page"), std::string::npos);
    // Closing asks; Cancel keeps the window and the changes.
    gBoxAnswer = IDCANCEL;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FolderNames(folder).size(), 1u);
}

TEST_F(TextWindowTest, CancelledSaveDialogChangesNothing) {
    window = EditCreateWindow("", "", 2);
    ASSERT_NE(window, nullptr);
    SendMessageW(Child(), EM_REPLACESEL, TRUE, (LPARAM)L"draft");
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 0);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11925, 0), 0);
    EXPECT_EQ(gNameAsks, 2);
    EXPECT_STREQ(Record()->openPath, "");
    EXPECT_NE(SendMessageA(Child(), EM_GETMODIFY, 0, 0), 0);
    gNameAnswer = true;
    gNextName = Path("draft.txt");
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1);
    EXPECT_EQ(ReadBytes(gNextName), "draft");
    EXPECT_STREQ(Record()->displayPath, gNextName.c_str());
}

TEST_F(TextWindowTest, ViewerNeverTouchesTheFile) {
    std::string path = Path("mine.txt");
    WriteBytes(path, "user data\n");
    std::string other = Path("other.txt");
    WriteBytes(other, "second\n");
    Open(path, 3);
    EXPECT_NE(GetWindowLongA(Child(), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 0); // no saving from a viewer
    // Open another file: both names follow it, and closing deletes neither.
    gNameAnswer = true;
    gNextName = other;
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11923, 0), 1);
    EXPECT_STREQ(Record()->displayPath, other.c_str());
    EXPECT_STREQ(Record()->openPath, other.c_str());
    EXPECT_EQ(Text(), L"second\r\n");
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ReadBytes(path), "user data\n");
    EXPECT_EQ(ReadBytes(other), "second\n");
    // A viewer on a file under a different display name does not delete it either.
    window = EditCreateWindow("archive.zip\\inner.txt", path.c_str(), 3);
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);
    window = nullptr;
    EXPECT_EQ(ReadBytes(path), "user data\n");
    EXPECT_TRUE(gBoxes.empty());
}

TEST_F(TextWindowTest, FindAndReplace) {
    std::string path = Path("find.txt");
    WriteBytes(path, "abc ABC abc\n");
    Open(path);
    UINT findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
    auto request = [&](DWORD flags, const char *what, const char *with) {
        static char find[64], repl[64];
        strcpy(find, what);
        strcpy(repl, with ? with : "");
        FINDREPLACEA fr = {sizeof fr};
        fr.Flags = flags;
        fr.lpstrFindWhat = find;
        fr.lpstrReplaceWith = repl;
        SendMessageA(window, findMessage, 0, (LPARAM)&fr);
        DWORD s = 0, e = 0;
        SendMessageA(Child(), EM_GETSEL, (WPARAM)&s, (LPARAM)&e);
        return std::make_pair((int)s, (int)e);
    };
    SendMessageA(Child(), EM_SETSEL, 0, 0);
    EXPECT_EQ(request(FR_FINDNEXT | FR_DOWN, "abc", nullptr), std::make_pair(0, 3));
    EXPECT_EQ(request(FR_FINDNEXT | FR_DOWN, "abc", nullptr), std::make_pair(4, 7)); // not the same one again
    EXPECT_EQ(request(FR_FINDNEXT | FR_DOWN | FR_MATCHCASE, "abc", nullptr), std::make_pair(8, 11));
    EXPECT_EQ(request(FR_FINDNEXT, "abc", nullptr), std::make_pair(4, 7)); // up, ends before the selection
    EXPECT_EQ(request(FR_FINDNEXT, "abc", nullptr), std::make_pair(0, 3));
    size_t boxes = gBoxes.size();
    request(FR_FINDNEXT, "abc", nullptr); // at the start: the short message
    Pump();
    EXPECT_NE(FindOwnWindow("zQlh", nullptr), nullptr);
    EXPECT_EQ(gBoxes.size(), boxes);
    // Replace all with a text that contains the search text ends.
    request(FR_REPLACEALL | FR_DOWN, "abc", "xabcx");
    EXPECT_EQ(Text(), L"xabcx xabcx xabcx\r\n");
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1);
    EXPECT_EQ(ReadBytes(path), "xabcx xabcx xabcx\n");
    // The short message closes itself.
    DWORD deadline = GetTickCount() + 10000;
    while (FindOwnWindow("zQlh", nullptr) && GetTickCount() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_EQ(FindOwnWindow("zQlh", nullptr), nullptr);
}

TEST_F(TextWindowTest, MissingFileIsReportedWithTheSystemText) {
    EXPECT_EQ(EditCreateWindow(Path("absent.txt").c_str(), nullptr, 2), nullptr);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_NE(gBoxes[0].text.find("could not be loaded"), std::string::npos);
    EXPECT_GT(gBoxes[0].text.size(), strlen("The file could not be loaded.") + 4);
}
