#include <gtest/gtest.h>

#include "EditorSupport.h"
#include "tools/EditChrome.h"
#include "tools/HexEditor.h"
#include "wingui/GuiDraw.h"
#include "tests/OwnWindow.h"

#include <commctrl.h>
#include <shlobj.h>


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

namespace {
BOOL WINAPI HexFontAnswer(LPCHOOSEFONTA cf) {
    EXPECT_TRUE(cf->Flags & CF_FIXEDPITCHONLY);
    lstrcpynA(cf->lpLogFont->lfFaceName, "Courier New", LF_FACESIZE);
    cf->lpLogFont->lfHeight = -20;
    cf->rgbColors = RGB(0, 0, 128);
    return TRUE;
}
BOOL WINAPI HexColorAnswer(LPCHOOSECOLORA cc) {
    cc->rgbResult = RGB(10, 200, 30);
    return TRUE;
}
std::vector<int> BarCommands(HWND bar) {
    std::vector<int> commands;
    int count = (int)SendMessageA(bar, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        TBBUTTON button = {};
        SendMessageA(bar, TB_GETBUTTON, i, (LPARAM)&button);
        commands.push_back(button.idCommand);
    }
    return commands;
}
std::string Tip(HWND window, int command) {
    NMTTDISPINFOA tip = {};
    tip.hdr.code = TTN_NEEDTEXTA;
    tip.hdr.idFrom = (UINT_PTR)command;
    SendMessageA(window, WM_NOTIFY, 0, (LPARAM)&tip);
    return tip.lpszText ? tip.lpszText : "";
}
// The style dialog's choices, made from a timer of its modal loop.
int gStyleFormat, gStyleAddress, gStyleButton;
bool gStyleSeen;
VOID CALLBACK DriveStyle(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindOwnWindow("#32770", nullptr);
    if (!dialog || !GetDlgItem(dialog, 15032) || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    gStyleSeen = true;
    SendDlgItemMessageA(dialog, 15032, CB_SETCURSEL, gStyleFormat, 0);
    SendDlgItemMessageA(dialog, 15034, CB_SETCURSEL, gStyleAddress, 0);
    SendMessageA(GetDlgItem(dialog, gStyleButton), BM_CLICK, 0, 0);
}
} // namespace

// The frame's tools: the tool bar with its tips above the dump, the dump
// font (fixed pitch only) and background through their dialogs, read back
// from the painted control; the window style dialog, OK and Cancel; a
// dropped file; a search that finds nothing says so. The file is untouched.
TEST_F(HexWindowTest, ToolBarFontColourStyleAndDrop) {
    gChooseFont = HexFontAnswer;
    gEditorChooseColor = HexColorAnswer;
    std::string path = Path("tools.bin"), other = Path("dropped.bin");
    std::string bytes(300, '\x11');
    WriteBytes(path, bytes);
    WriteBytes(other, std::string(10, '\x22'));
    Open(path, 0);
    HWND bar = GetDlgItem(window, kEditToolBarId);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(BarCommands(bar),
              (std::vector<int>{11922, 11923, 11924, 0, 110, 0, 11946, 11956, 0, 15009, 15010}));
    EXPECT_EQ(Tip(window, 11922), "New"); // no tip text of its own: the menu's
    EXPECT_EQ(Tip(window, 110), "Print");
    RECT barRect, controlRect;
    GetWindowRect(bar, &barRect);
    GetWindowRect(Control(), &controlRect);
    EXPECT_EQ(controlRect.top, barRect.bottom);
    SendMessageA(window, WM_COMMAND, 241, 0);
    EXPECT_EQ(GetDlgItem(window, kEditToolBarId), nullptr);
    EXPECT_TRUE(gApp->barOptions & kBarHexToolbarHidden);
    SendMessageA(window, WM_COMMAND, 241, 0);
    EXPECT_NE(GetDlgItem(window, kEditToolBarId), nullptr);

    SendMessageA(window, WM_COMMAND, 402, 0);
    LOGFONTA font = {};
    GetObjectA(gApp->fontDump, sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "Courier New");
    SendMessageA(window, WM_COMMAND, 11935, 0);
    EXPECT_EQ(gApp->colorHex[1], RGB(10, 200, 30));
    RedrawWindow(Control(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(Control());
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(10, 200, 30)); // the band above the rows
    ReleaseDC(Control(), dc);

    struct {
        int format, address, button;
        int expectFormat, expectAddress;
    } styles[] = {{7, 1, 99, 7, 1}, {3, 0, IDCANCEL, 7, 1}, {0, 0, 99, 0, 0}};
    for (auto &st : styles) {
        gStyleFormat = st.format;
        gStyleAddress = st.address;
        gStyleButton = st.button;
        gStyleSeen = false;
        SetTimer(nullptr, 0, 30, DriveStyle);
        SendMessageA(window, WM_COMMAND, 15012, 0);
        EXPECT_TRUE(gStyleSeen);
        EXPECT_EQ(State()->format, st.expectFormat) << st.format << " " << st.button;
        EXPECT_EQ(State()->addressStyle, st.expectAddress);
        EXPECT_EQ(gApp->dumpOptions[0], st.expectFormat);
        EXPECT_EQ(gApp->dumpOptions[1], st.expectAddress);
    }

    strcpy(State()->findText, "ZZ");
    SendMessageA(window, WM_COMMAND, 11946, 0);
    EXPECT_NE(FindOwnWindow("zQlh", nullptr), nullptr);

    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + other.size() + 2);
    DROPFILES *files = (DROPFILES *)GlobalLock(drop);
    files->pFiles = sizeof(DROPFILES);
    memcpy(files + 1, other.c_str(), other.size() + 1);
    GlobalUnlock(drop);
    SendMessageA(window, WM_DROPFILES, (WPARAM)drop, 0);
    EXPECT_STREQ(State()->fileName, other.c_str());
    EXPECT_EQ(State()->block.length, 10u);
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_TRUE(gBoxes.empty());
    DeleteObject(gApp->fontDump);
    gApp->fontDump = nullptr;
}
