#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "AppState.h"
#include "app/Menus.h"
#include "base/Texts.h"

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = gApp;
        gApp = (AppState *)calloc(1, sizeof(AppState));
        window = CreateWindowA("STATIC", "menus", WS_OVERLAPPEDWINDOW, 0, 0, 600, 300, nullptr, nullptr, nullptr,
                               nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        free(gApp);
        gApp = saved;
    }
    std::string ItemText(HMENU menu, UINT pos) {
        char buf[128] = "";
        GetMenuStringA(menu, pos, buf, sizeof(buf), MF_BYPOSITION);
        return buf;
    }
    AppState *saved = nullptr;
    HWND window = nullptr;
};

TEST_F(MenuTest, PlainMenusCarryTheTextsOfEitherLanguage) {
    gApp->panelOptions = 0x40;
    MenuSetFromTable(window, gMainMenu, gMainMenu);
    HMENU bar = GetMenu(window);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 9);
    EXPECT_EQ(ItemText(bar, 0), "&Left");
    EXPECT_EQ(ItemText(bar, 1), "&Files");
    HMENU files = GetSubMenu(bar, 1);
    EXPECT_EQ(ItemText(files, 0), "User &menu\tF2");
    EXPECT_EQ(GetMenuItemID(files, 5), 105u);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_TYPE;
    GetMenuItemInfoA(bar, 0, TRUE, &info);
    EXPECT_FALSE(info.fType & MFT_OWNERDRAW);

    gApp->langTable = BuiltinLanguageTables[kBuiltinGerman];
    MenuSetFromTable(window, gMainMenu, gMainMenu);
    bar = GetMenu(window);
    EXPECT_EQ(ItemText(bar, 0), "&Links");
    EXPECT_EQ(ItemText(GetSubMenu(bar, 1), 5), "&Kopieren...\tF5");
    // The static records now hold the German texts.
    EXPECT_STREQ(gMainMenu[0].text, "&Links");
}

TEST_F(MenuTest, EveryTableBuildsWithoutAMissingText) {
    MenuItemDef *tables[] = {gMainMenu,   gCompareMenu, gHexMenu,      gEditorMenu,
                             gViewerMenu, gBarPopup,    gFtpBarPopup,  gCopySavePopup};
    for (const LanguageTable *lang : {BuiltinLanguageTables[kBuiltinEnglish], BuiltinLanguageTables[kBuiltinGerman]}) {
        gApp->langTable = lang;
        for (MenuItemDef *t : tables) {
            HMENU m = CreateMenu();
            EXPECT_EQ(MenuBuildFromTable(t, m, t, 0), 0) << LangTableCode(lang);
            DestroyMenu(m);
        }
    }
}

TEST_F(MenuTest, OwnerDrawnBarAndPopupsMeasure) {
    MenuSetFromTable(window, gMainMenu, gMainMenu);
    HMENU bar = GetMenu(window);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_TYPE | MIIM_DATA;
    GetMenuItemInfoA(bar, 1, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
    const MenuItemDef *def = (const MenuItemDef *)info.dwItemData;
    ASSERT_NE(def, nullptr);
    EXPECT_GT(def->measure >> 16, 0u);
    EXPECT_EQ(def->measure & 0xFF, 0u);

    HMENU files = GetSubMenu(bar, 1);
    MenuSetOwnerDraw(window, files, 0);
    MEASUREITEMSTRUCT mi = {};
    mi.CtlType = ODT_MENU;
    mi.itemID = 105;
    GetMenuItemInfoA(files, 5, TRUE, &info);
    mi.itemData = info.dwItemData;
    ASSERT_TRUE(MenuMeasureItem(&mi));
    EXPECT_GE(mi.itemHeight, 20u);
    const MenuItemDef *copy = (const MenuItemDef *)info.dwItemData;
    EXPECT_EQ(mi.itemWidth, (copy->measure >> 16) + ((copy->measure >> 8) & 0xFF) + 42);

    // Mnemonics: "&Copy..." is found by its letter in either case.
    LRESULT r = MenuFindMnemonic(files, 'c', 0);
    EXPECT_EQ(HIWORD(r), MNC_EXECUTE);
    EXPECT_EQ(LOWORD(r), 5);
    EXPECT_EQ(MenuFindMnemonic(files, 'c', MF_SYSMENU), 0);
}

TEST(MenuIcons, IndexCountsListedIcons) {
    EXPECT_EQ(MenuIconIndex(29000), 0);
    EXPECT_EQ(MenuIconIndex(105), 5);
    EXPECT_EQ(MenuIconIndex(4242), -1);
}

static LRESULT CALLBACK MenuHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (MenuHandleMessage(window, message, wParam, lParam, &result))
        return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

// The owner-drawn menu bar as it shows: the items on the button face, and
// the space between "Right" and the right-justified "Switch list" in the
// same colour rather than the system's menu colour.
TEST_F(MenuTest, BarGapsTakeTheItemsColour) {
    // Under this Wine the two colours differ; where they are equal there is
    // nothing to see.
    ASSERT_NE(GetSysColor(COLOR_MENU), GetSysColor(COLOR_BTNFACE));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MenuHostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MenuHostTest";
    RegisterClassA(&wc);
    HWND host = CreateWindowA("MenuHostTest", "menus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 200, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(host, nullptr);
    MenuSetFromTable(host, gMainMenu, gMainMenu);
    HMENU bar = GetMenu(host);
    ASSERT_EQ(GetMenuItemCount(bar), 9);
    RedrawWindow(host, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    RECT right, switchList, frame;
    ASSERT_TRUE(GetMenuItemRect(host, bar, 6, &right));
    ASSERT_TRUE(GetMenuItemRect(host, bar, 7, &switchList));
    GetWindowRect(host, &frame);
    ASSERT_GT(switchList.left - right.right, 20) << "a gap before the right-justified items";
    HDC dc = GetWindowDC(host);
    int y = (right.top + right.bottom) / 2 - frame.top;
    for (int x = right.right + 2; x < switchList.left - 2; x += 7)
        EXPECT_EQ(GetPixel(dc, x - frame.left, y), GetSysColor(COLOR_BTNFACE)) << "x " << x - frame.left;
    EXPECT_EQ(GetPixel(dc, right.left + 1 - frame.left, right.top + 1 - frame.top), GetSysColor(COLOR_BTNFACE))
        << "inside an item";
    ReleaseDC(host, dc);
    DestroyWindow(host);
}
