#include <gtest/gtest.h>

#include "EditorSupport.h"
#include "tools/TextCodec.h"
#include "tools/TextEditor.h"
#include "tests/OwnWindow.h"
#include "tools/HexEditor.h"
#include "base/Texts.h"


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

// Editor, text viewer and hex windows: the first opens at the saved place
// (maximised when saved so); each further one of its kind a caption's height
// below and right of the last, wrapping to the desktop's edge; the window
// closed last leaves its place for the next.
TEST_F(TextWindowTest, WindowsCascadeAndOpenWhereTheLastOneWas) {
    struct Case {
        const char *name;
        int slot;
        HWND (*open)(const std::string &path);
    } cases[] = {
        {"editor", kPosEditor, [](const std::string &p) { return EditCreateWindow(p.c_str(), p.c_str(), 2); }},
        {"text viewer", kPosViewer, [](const std::string &p) { return EditCreateWindow(p.c_str(), p.c_str(), 3); }},
        {"hex", kPosHex, [](const std::string &p) { return HexOpenWindow(p.c_str()); }},
    };
    const int step = GetSystemMetrics(SM_CYCAPTION);
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    std::string files[4];
    for (int i = 0; i < 4; i++) {
        files[i] = Path(("file" + std::to_string(i) + ".txt").c_str());
        WriteBytes(files[i], "text\n");
    }
    auto rectOf = [](HWND w) {
        RECT r = {};
        GetWindowRect(w, &r);
        return r;
    };
    for (const Case &c : cases) {
        WindowPos &pos = gApp->windowPos[c.slot];
        pos = {100, 80, 500, 380, 1, 0};
        HWND first = c.open(files[0]);
        ASSERT_NE(first, nullptr) << c.name;
        HWND second = c.open(files[1]);
        ASSERT_NE(second, nullptr) << c.name;
        Pump();
        RECT r1 = rectOf(first), r2 = rectOf(second);
        EXPECT_EQ(r1.left, 100) << c.name;
        EXPECT_EQ(r1.top, 80) << c.name;
        EXPECT_EQ(r1.right - r1.left, 400) << c.name;
        EXPECT_EQ(r1.bottom - r1.top, 300) << c.name;
        EXPECT_EQ(r2.left, 100 + step) << c.name;
        EXPECT_EQ(r2.top, 80 + step) << c.name;
        EXPECT_EQ(r2.right - r2.left, 400) << c.name;
        // Closed last, the moved second window decides where the next one opens.
        DestroyWindow(first);
        SetWindowPos(second, nullptr, 150, 160, 420, 310, SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
        DestroyWindow(second);
        EXPECT_EQ(pos.left, 150) << c.name;
        EXPECT_EQ(pos.top, 160) << c.name;
        EXPECT_EQ(pos.right, 570) << c.name;
        EXPECT_EQ(pos.bottom, 470) << c.name;
        HWND third = c.open(files[2]);
        ASSERT_NE(third, nullptr) << c.name;
        Pump();
        RECT r3 = rectOf(third);
        EXPECT_EQ(r3.left, 150) << c.name;
        EXPECT_EQ(r3.top, 160) << c.name;
        EXPECT_EQ(r3.right - r3.left, 420) << c.name;
        DestroyWindow(third);
        // At the desktop's bottom right corner the next one wraps to its left and top.
        pos = {desk.right - 400, desk.bottom - 300, desk.right, desk.bottom, 1, 0};
        first = c.open(files[0]);
        second = c.open(files[1]);
        ASSERT_TRUE(first && second) << c.name;
        Pump();
        r2 = rectOf(second);
        EXPECT_EQ(r2.left, desk.left) << c.name;
        EXPECT_EQ(r2.top, desk.top) << c.name;
        EXPECT_EQ(r2.right - r2.left, 400) << c.name;
        DestroyWindow(second);
        DestroyWindow(first);
        // A place saved past the desktop's right and bottom edges (a larger
        // screen) comes back onto the desktop at its size.
        pos = {desk.right - 100, desk.bottom - 50, desk.right + 300, desk.bottom + 250, 1, 0};
        first = c.open(files[0]);
        ASSERT_NE(first, nullptr) << c.name;
        Pump();
        r1 = rectOf(first);
        EXPECT_EQ(r1.right, desk.right) << c.name;
        EXPECT_EQ(r1.bottom, desk.bottom) << c.name;
        EXPECT_EQ(r1.right - r1.left, 400) << c.name;
        DestroyWindow(first);
        // Saved maximised: opens maximised, and keeps its normal place.
        pos = {120, 90, 520, 390, 1, 3};
        first = c.open(files[3]);
        ASSERT_NE(first, nullptr) << c.name;
        Pump();
        EXPECT_TRUE(IsZoomed(first)) << c.name;
        DestroyWindow(first);
        EXPECT_EQ(pos.maximised, 3) << c.name;
        EXPECT_EQ(pos.left, 120) << c.name;
        EXPECT_EQ(pos.right, 520) << c.name;
        pos = {};
    }
    EXPECT_TRUE(gBoxes.empty());
}

// A save on a drive that fills up half way: the original stays byte for
// byte, no temporary file is left, and the box gives the system's own text
// for a full disk. T:\editfull is a 64 KiB drive; the file takes 40 KB of it.
TEST_F(TextWindowTest, SaveOnAFullDriveKeepsTheOriginalAndSaysSo) {
    const std::string full = "T:\\editfull";
    char system[300] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_DISK_FULL, 0x400, system,
                   sizeof system, nullptr);
    std::string diskFull(system, strcspn(system, "\r\n"));
    ASSERT_FALSE(diskFull.empty());
    std::string original;
    for (int i = 0; i < 40000; i++) original += (char)('a' + i % 23);
    for (bool hex : {false, true}) {
        std::string path = full + (hex ? "\\data.bin" : "\\notes.txt");
        WriteBytes(path, original);
        ASSERT_EQ(ReadBytes(path), original) << "the drive holds the file";
        gBoxes.clear();
        HWND w;
        if (hex) {
            w = HexOpenWindow(path.c_str());
            ASSERT_NE(w, nullptr);
            SendMessageA(GetDlgItem(w, kHexControlId), WM_CHAR, 'F', 0);
        } else {
            w = EditCreateWindow(path.c_str(), path.c_str(), 2);
            ASSERT_NE(w, nullptr);
            SendMessageW(GetDlgItem(w, kEditChildId), EM_REPLACESEL, TRUE, (LPARAM)L"changed ");
        }
        Pump();
        EXPECT_EQ(SendMessageA(w, WM_COMMAND, 11924, 0), 0) << hex;
        EXPECT_EQ(ReadBytes(path), original) << hex;
        EXPECT_EQ(FolderNames(full).size(), 1u) << hex; // no temporary file left
        ASSERT_EQ(gBoxes.size(), 1u) << hex;
        EXPECT_NE(gBoxes[0].text.find(diskFull), std::string::npos) << gBoxes[0].text;
        EXPECT_EQ(gBoxes[0].text.find("No enough space"), std::string::npos);
        // The change is still there to be saved elsewhere; closing asks, No drops it.
        gBoxAnswer = IDNO;
        SendMessageA(w, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(w));
        gBoxAnswer = IDOK;
        EXPECT_EQ(ReadBytes(path), original) << hex;
        DeleteFileA(path.c_str());
    }
}

// The editor's popups are owner-drawn like the main window's (plain menus
// by option stay plain): each item measures, draws, and its key letter
// chooses it. The text viewer's menus stay plain.
TEST_F(TextWindowTest, EditorPopupsAreOwnerDrawnUnlessPlainMenusAreChosen) {
    std::string path = Path("menu.txt");
    WriteBytes(path, "abc\n");
    for (int kind : {2, 3}) {
        for (bool plain : {false, true}) {
            gApp->panelOptions = plain ? 0x40 : 0;
            Open(path, kind);
            HMENU file = GetSubMenu(GetMenu(window), 0);
            ASSERT_NE(file, nullptr);
            SendMessageA(window, WM_INITMENUPOPUP, (WPARAM)file, MAKELPARAM(0, 0));
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_TYPE | MIIM_DATA | MIIM_ID;
            ASSERT_TRUE(GetMenuItemInfoA(file, 0, TRUE, &info));
            bool ownerDrawn = (info.fType & MFT_OWNERDRAW) != 0;
            EXPECT_EQ(ownerDrawn, kind == 2 && !plain) << kind << plain;
            if (ownerDrawn) {
                MEASUREITEMSTRUCT measure = {ODT_MENU, 0, info.wID, 0, 0, info.dwItemData};
                EXPECT_EQ(SendMessageA(window, WM_MEASUREITEM, 0, (LPARAM)&measure), TRUE);
                EXPECT_GT(measure.itemHeight, 0u);
                EXPECT_GT(measure.itemWidth, 0u);
                HDC screen = GetDC(nullptr);
                HDC dc = CreateCompatibleDC(screen);
                HBITMAP bitmap = CreateCompatibleBitmap(screen, (int)measure.itemWidth, (int)measure.itemHeight);
                ReleaseDC(nullptr, screen);
                HGDIOBJ old = SelectObject(dc, bitmap);
                RECT all = {0, 0, (LONG)measure.itemWidth, (LONG)measure.itemHeight};
                FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
                DRAWITEMSTRUCT draw = {ODT_MENU, 0, info.wID, ODA_DRAWENTIRE, 0, (HWND)file, dc, all,
                                       info.dwItemData};
                EXPECT_EQ(SendMessageA(window, WM_DRAWITEM, 0, (LPARAM)&draw), TRUE);
                EXPECT_NE(GetPixel(dc, (int)measure.itemWidth - 2, (int)measure.itemHeight / 2), RGB(0, 0, 0));
                SelectObject(dc, old);
                DeleteObject(bitmap);
                DeleteDC(dc);
                // "&Open..." is the second item: O chooses it.
                EXPECT_EQ(SendMessageA(window, WM_MENUCHAR, MAKEWPARAM('o', MF_POPUP), (LPARAM)file),
                          MAKELRESULT(1, MNC_EXECUTE));
            }
            Close();
        }
    }
    gApp->panelOptions = 0;
}

// The frames' class names do not follow the language: after a switch to
// German the editor showing a file is still found (and comes to the front)
// instead of a second window opening on it.
TEST_F(TextWindowTest, WindowsAreFoundAfterALanguageChange) {
    std::string path = Path("lang.txt");
    WriteBytes(path, "x\n");
    gApp->langTable = BuiltinLanguageTables[kBuiltinEnglish];
    Open(path);
    char before[64] = "";
    GetClassNameA(window, before, sizeof before);
    gApp->langTable = BuiltinLanguageTables[kBuiltinGerman];
    EXPECT_EQ(EditCreateWindow(path.c_str(), path.c_str(), 2), window);
    HWND hex = HexOpenWindow(path.c_str());
    ASSERT_NE(hex, nullptr);
    EXPECT_EQ(HexOpenWindow(path.c_str()), hex);
    char after[64] = "";
    GetClassNameA(window, after, sizeof after);
    EXPECT_STREQ(before, after);
    DestroyWindow(hex);
    gApp->langTable = nullptr;
}

// An RTF document: the text viewer shows its text, the editor its source;
// neither touches the file. A file that only starts like RTF but holds no
// text shows as it is.
TEST_F(TextWindowTest, RtfShowsItsTextInTheViewerAndItsSourceInTheEditor) {
    std::string path = Path("letter.rtf");
    const std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\pard\\plain Dear {\\b reader},\\par "
                            "caf\\'e9 second line\\par}";
    WriteBytes(path, rtf);
    Open(path, 3);
    std::wstring shown = Text();
    while (!shown.empty() && (shown.back() == L'\r' || shown.back() == L'\n')) shown.pop_back();
    EXPECT_EQ(shown, L"Dear reader,\r\ncaf\u00e9 second line");
    Close();
    Open(path, 2);
    std::wstring source(rtf.begin(), rtf.end());
    EXPECT_EQ(Text(), source);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 11924, 0), 1); // saved unchanged
    Close();
    EXPECT_EQ(ReadBytes(path), rtf);
    std::string empty = Path("empty.rtf");
    WriteBytes(empty, "{\\rtf1}");
    Open(empty, 3);
    EXPECT_EQ(Text(), L"{\\rtf1}");
    Close();
    EXPECT_TRUE(gBoxes.empty());
}
