#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Help.h"
#include "wingui/GuiDraw.h"
#include "wingui/ListView.h"
#include "wingui/Theme.h"

// Recolouring must touch only the entries a bitmap's colour table holds.
TEST(ThemeBitmap, RecolorsOnlyTableEntries) {
    // A 1-bit DIB: two table entries (white, light grey), then pixel bytes
    // that happen to look like more grey and white entries.
    std::vector<unsigned char> dib(sizeof(BITMAPINFOHEADER) + 2 * 4 + 16, 0);
    BITMAPINFOHEADER *h = (BITMAPINFOHEADER *)dib.data();
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = 8;
    h->biHeight = 2;
    h->biPlanes = 1;
    h->biBitCount = 1;
    RGBQUAD *table = (RGBQUAD *)(dib.data() + h->biSize);
    table[0] = {255, 255, 255, 0};
    table[1] = {192, 192, 192, 0};
    unsigned char *pixels = dib.data() + h->biSize + 8;
    memset(pixels, 192, 16);
    EXPECT_EQ(ThemeRecolorDib(dib.data(), dib.size(), RGB(1, 2, 3), RGB(4, 5, 6)), 2);
    EXPECT_EQ(table[0].rgbRed, 4);
    EXPECT_EQ(table[1].rgbBlue, 3);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(pixels[i], 192) << i;
}

TEST(ThemeBitmap, TrueColourAndTruncatedBlocksAreLeftAlone) {
    std::vector<unsigned char> dib(sizeof(BITMAPINFOHEADER) + 64, 192);
    BITMAPINFOHEADER *h = (BITMAPINFOHEADER *)dib.data();
    memset(h, 0, sizeof(*h));
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biBitCount = 24;
    EXPECT_EQ(ThemeRecolorDib(dib.data(), dib.size(), 0, 0), 0);
    h->biBitCount = 8; // 256 entries claimed, 16 looked at, but only 2 present
    std::vector<unsigned char> small(dib.begin(), dib.begin() + sizeof(BITMAPINFOHEADER) + 8);
    EXPECT_EQ(ThemeRecolorDib(small.data(), small.size(), 0, 0), 2);
}

TEST(ButtonState, LaterRulesWin) {
    EXPECT_EQ(ButtonVisualState(0, false), 1);
    EXPECT_EQ(ButtonVisualState(ODS_DEFAULT, false), 5);
    EXPECT_EQ(ButtonVisualState(ODS_DEFAULT, true), 2);
    EXPECT_EQ(ButtonVisualState(ODS_SELECTED, true), 3);
    EXPECT_EQ(ButtonVisualState(ODS_SELECTED | ODS_DISABLED, true), 4);
}

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        parent = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 400, 300, parent, nullptr, nullptr,
                             nullptr);
        ASSERT_NE(list, nullptr);
        for (int c = 0; c < 2; ++c) {
            LVCOLUMNA col = {};
            col.mask = LVCF_WIDTH | LVCF_SUBITEM;
            col.cx = 100;
            col.iSubItem = c;
            SendMessageA(list, LVM_INSERTCOLUMNA, c, (LPARAM)&col);
        }
        for (int i = 0; i < 3; ++i) {
            std::string text = "item" + std::to_string(i);
            LVITEMA it = {};
            it.mask = LVIF_TEXT | LVIF_PARAM;
            it.iItem = i;
            it.pszText = (char *)text.c_str();
            it.lParam = 100 + i;
            SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&it);
        }
    }
    void TearDown() override { DestroyWindow(parent); }
    std::string Text(int item, int sub) {
        char buf[2048] = "";
        LVITEMA it = {};
        it.iSubItem = sub;
        it.pszText = buf;
        it.cchTextMax = sizeof(buf);
        SendMessageA(list, LVM_GETITEMTEXTA, item, (LPARAM)&it);
        return buf;
    }
    HWND parent = nullptr, list = nullptr;
};

TEST_F(ListViewTest, SwapKeepsLongSubitemsWhole) {
    std::string longText(700, 'x');
    longText += "END";
    WndListViewSetItemText(list, 0, 1, longText.c_str());
    WndListViewSwapItems(list, 0, 2);
    EXPECT_EQ(Text(2, 1), longText);
    EXPECT_EQ(Text(0, 0), "item2");
    EXPECT_EQ(Text(2, 0), "item0");
    LVITEMA it = {};
    it.mask = LVIF_PARAM;
    it.iItem = 2;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&it);
    EXPECT_EQ(it.lParam, 100);
    EXPECT_EQ(WndListViewGetFocusItem(list), 2);
}

TEST_F(ListViewTest, SetItemTextOnlyWhenChanged) {
    EXPECT_EQ(WndListViewSetItemText(list, 1, 0, "item1"), 0);
    EXPECT_EQ(WndListViewSetItemText(list, 1, 0, "other"), 1);
    EXPECT_EQ(WndListViewSetItemText(list, 1, -1, "x"), 0);
}

TEST_F(ListViewTest, MoveUpAndDownStopAtTheEnds) {
    WndListViewSelectItem(list, 0);
    WndListViewMoveItemUp(list); // beeps, nothing moves
    EXPECT_EQ(Text(0, 0), "item0");
    WndListViewMoveItemDown(list);
    EXPECT_EQ(Text(1, 0), "item0");
    EXPECT_EQ(WndListViewGetFocusItem(list), 1);
    WndListViewSelectItem(list, 2);
    WndListViewMoveItemDown(list);
    EXPECT_EQ(Text(2, 0), "item2");
    EXPECT_EQ(WndListViewColumnCount(list), 2);
}

TEST_F(ListViewTest, ColumnsRoundTripThroughSettings) {
    char dir[MAX_PATH], file[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    GetTempFileNameA(dir, "col", 0, file);
    ListColumn table[] = {{13004, 0, 120, 0, 0, 0}, {13005, 0, 80, 1, 1, 1}, {0}};
    WndListViewSaveColumns(table, "Cols", file);
    ListColumn back[] = {{13004, 0, 10, 0, 0, 0}, {13005, 0, 10, 1, 1, 1}, {0}};
    WndListViewLoadColumns(back, "Cols", file, 1);
    EXPECT_EQ(back[0].width, 120);
    EXPECT_EQ(back[1].width, 80);
    EXPECT_EQ(back[1].order, 1);
    DeleteFileA(file);
}

// Help opens through seams: record what would have been opened.
static std::vector<std::string> gOpened;
static HWND FakeHtmlHelp(HWND, const char *path, UINT, DWORD_PTR) {
    gOpened.push_back(std::string("chm:") + path);
    return (HWND)1;
}
static BOOL FakeWinHelp(HWND, const char *path, UINT, ULONG_PTR) {
    gOpened.push_back(std::string("hlp:") + path);
    return TRUE;
}
static void FakeShellOpen(HWND, const char *path) { gOpened.push_back(std::string("htm:") + path); }

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = gHelpOpeners;
        gHelpOpeners = {FakeHtmlHelp, FakeWinHelp, FakeShellOpen};
        gOpened.clear();
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        dir = std::string(tmp) + "helptest";
        CreateDirectoryA(dir.c_str(), nullptr);
        base = dir + "\\KESTR";
    }
    void TearDown() override {
        gHelpOpeners = saved;
        for (const auto &f : files)
            DeleteFileA(f.c_str());
        RemoveDirectoryA(dir.c_str());
    }
    void Touch(const char *suffix) {
        std::string f = base + suffix;
        HANDLE h = CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
        files.push_back(f);
    }
    HelpOpeners saved;
    std::string dir, base;
    std::vector<std::string> files;
};

TEST_F(HelpTest, FallsBackToEnglishWinHelp) {
    Touch("_US.HLP");
    HelpShow(nullptr, base.c_str(), "DE", 0);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], "hlp:" + base + "_US.HLP");
}

TEST_F(HelpTest, OwnLanguageFirstInAnyForm) {
    Touch("_DE.HTM");
    Touch("_US.CHM");
    HelpShow(nullptr, base.c_str(), "DE", 0);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], "htm:" + base + "_DE.HTM");
}

TEST_F(HelpTest, NothingToOpenShowsNothing) {
    HelpShow(nullptr, base.c_str(), "DE", 0);
    EXPECT_TRUE(gOpened.empty());
}

// The font dialog as the user meets it: opened on the current font, and a
// cancel (after which the dialog may have written into its record) leaves
// the font as it was; OK takes the chosen one.
LOGFONTA gShown;
DWORD gShownFlags;
BOOL gAnswerOk;
BOOL WINAPI FakeChooseFont(LPCHOOSEFONTA cf) {
    gShown = *cf->lpLogFont;
    gShownFlags = cf->Flags;
    lstrcpynA(cf->lpLogFont->lfFaceName, "DejaVu Math TeX Gyre", LF_FACESIZE);
    cf->lpLogFont->lfHeight = -8;
    return gAnswerOk;
}

TEST(FontDialog, CancelKeepsTheFontAndOkTakesTheChoice) {
    auto saved = gChooseFont;
    gChooseFont = FakeChooseFont;
    LOGFONTA font = {};
    lstrcpynA(font.lfFaceName, "Tahoma", LF_FACESIZE);
    font.lfHeight = -11;
    for (int simple = 0; simple < 2; simple++) {
        gAnswerOk = FALSE;
        LOGFONTA before = font;
        int chosen = simple ? FontChooseSimple(nullptr, &font) : FontChoose(nullptr, &font, nullptr, 0);
        EXPECT_EQ(chosen, 0);
        EXPECT_EQ(memcmp(&font, &before, sizeof font), 0) << simple;
        EXPECT_STREQ(gShown.lfFaceName, "Tahoma");
        EXPECT_EQ(gShown.lfHeight, -11);
        EXPECT_TRUE(gShownFlags & CF_INITTOLOGFONTSTRUCT);

        gAnswerOk = TRUE;
        chosen = simple ? FontChooseSimple(nullptr, &font) : FontChoose(nullptr, &font, nullptr, 0);
        EXPECT_EQ(chosen, 1);
        EXPECT_STREQ(font.lfFaceName, "DejaVu Math TeX Gyre");
        EXPECT_EQ(font.lfHeight, -8);
        font = before;
    }
    gChooseFont = saved;
}
