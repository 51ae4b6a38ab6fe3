#include "app/Menus.h"

#include <commctrl.h>
#include <string.h>

#include "AppState.h"
#include "wingui/Colors.h"
#include "app/Language.h"

static HIMAGELIST gMenuIcons;
static const int kObmCheck = 32760; // OBM_CHECK, a system bitmap
static HICON gRadioMark;

// Command ids and their menu icons (resources 8001 and up). Icons are
// drawn only where the program carries the picture.
static const int16_t kMenuCommandIcons[][2] = {
    {29000, 8001}, {101, 8002}, {102, 8003}, {103, 8004}, {104, 8005}, {105, 8006}, {106, 8007},
    {107, 8008},   {108, 8009}, {109, 8010}, {110, 8011}, {302, 8231}, {408, 8408}, {509, 8621},
    {111, 8012}, {112, 8013}, {113, 8014}, {114, 8015}, {116, 8017}, {117, 8018}, {118, 8019},
    {119, 8020}, {120, 8021}, {121, 8022}, {126, 8027}, {127, 8028}, {130, 8031}, {201, 8101},
    {205, 8105}, {206, 8106}, {207, 8107}, {209, 8109}, {211, 8111}, {213, 8113}, {214, 8114},
    {301, 8201}, {303, 8203}, {304, 8204}, {307, 8207}, {309, 8209}, {310, 8210}, {311, 8211},
    {316, 8216}, {317, 8217}, {318, 8218}, {319, 8219}, {320, 8220}, {322, 8222}, {324, 8224},
    {802, 8602},
    {0, 0}};

bool MenuPlain() { return gApp && (gApp->panelOptions & 0x40); }

int MenuBuildFromTable(MenuItemDef *table, HMENU menu, MenuItemDef *items, int cutAtTab) {
    (void)table;
    for (MenuItemDef *item = items; item->id != 0; ++item) {
        char text[52] = "";
        if (item->id > 0) {
            TextGet(item->id, text, sizeof(text));
            if (cutAtTab) {
                if (char *tab = strchr(text, '\t'))
                    *tab = 0;
            }
            if (!text[0])
                return 1;
        }
        lstrcpynA(item->text, text, sizeof(item->text));
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_TYPE | MIIM_ID | MIIM_DATA | MIIM_STATE;
        info.dwItemData = (ULONG_PTR)item;
        if (item->popup) {
            HMENU sub = CreatePopupMenu();
            if (MenuBuildFromTable(table, sub, item->popup, 0)) {
                DestroyMenu(sub);
                return 1;
            }
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = sub;
            info.fType = item->type;
            info.wID = (UINT)(uint16_t)item->id;
            info.dwTypeData = item->text;
        } else if (item->text[0]) {
            info.fType = item->type;
            info.wID = (UINT)(uint16_t)item->id;
            info.dwTypeData = item->text;
        } else {
            info.fType = item->type | MFT_SEPARATOR;
            info.wID = 0;
        }
        InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &info);
    }
    return 0;
}

void MenuSetFromTable(HWND window, MenuItemDef *table, MenuItemDef *items) {
    HMENU old = GetMenu(window);
    SetMenu(window, nullptr);
    if (old)
        DestroyMenu(old);
    HMENU bar = CreateMenu();
    if (MenuBuildFromTable(table, bar, items, 0)) {
        DestroyMenu(bar);
        MessageBoxA(window, "Loading error.", "", MB_ICONERROR);
        return;
    }
    if (items == gMainMenu && !MenuPlain())
        MenuSetOwnerDraw(window, bar, 1);
    SetMenu(window, bar);
}

void MenuPopupFromTable(HWND window, MenuItemDef *items) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    if (MenuBuildFromTable(items, menu, items, 1) == 0) {
        POINT pt;
        GetCursorPos(&pt);
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, window, nullptr);
    }
    DestroyMenu(menu);
}

static HFONT MenuFont() {
    static HFONT font;
    if (!font) {
        NONCLIENTMETRICSA ncm = {};
        ncm.cbSize = sizeof(ncm);
        if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
            font = CreateFontIndirectA(&ncm.lfMenuFont);
        if (!font)
            font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    }
    return font;
}

static int TextWidth(HDC dc, const char *text, int len) {
    RECT r = {0, 0, 0, 0};
    DrawTextA(dc, text, len, &r, DT_CALCRECT | DT_SINGLELINE);
    return r.right - r.left;
}

void MenuSetOwnerDraw(HWND window, HMENU menu, int isMenuBar) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int height = tm.tmHeight + 2;
    if (height < 16)
        height = 16;
    height += 4;
    if (height < 20)
        height = 20;
    const int sepHeight = tm.tmHeight / 2 + 2;
    const int count = GetMenuItemCount(menu);
    int widestLabel = 0, widestAccel = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i) {
            MENUITEMINFOA info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_TYPE | MIIM_ID | MIIM_DATA;
            char buf[64];
            info.dwTypeData = buf;
            info.cch = sizeof(buf);
            if (!GetMenuItemInfoA(menu, i, TRUE, &info))
                continue;
            MenuItemDef *def = (MenuItemDef *)info.dwItemData;
            if (!def || !(info.wID < 28001 || info.wID == 29000))
                continue;
            if (isMenuBar && (info.fType & MFT_BITMAP))
                continue;
            const char *tab = strchr(def->text, '\t');
            const int labelLen = tab ? (int)(tab - def->text) : (int)strlen(def->text);
            if (pass == 0) {
                const int lw = TextWidth(dc, def->text, labelLen);
                if (lw > widestLabel)
                    widestLabel = lw;
                if (tab) {
                    const int aw = TextWidth(dc, tab + 1, -1);
                    if (aw > widestAccel)
                        widestAccel = aw;
                }
                continue;
            }
            if (isMenuBar)
                def->measure = (uint32_t)TextWidth(dc, def->text, labelLen) << 16;
            else if (info.fType & MFT_SEPARATOR)
                def->measure = (uint32_t)sepHeight;
            else
                def->measure = (uint32_t)height | (uint32_t)(widestAccel > 255 ? 255 : widestAccel) << 8 |
                               (uint32_t)widestLabel << 16;
            if (!(info.fType & MFT_OWNERDRAW)) {
                MENUITEMINFOA set = {};
                set.cbSize = sizeof(set);
                set.fMask = MIIM_TYPE | MIIM_DATA;
                set.fType = (info.fType & ~MFT_STRING) | MFT_OWNERDRAW;
                set.dwItemData = (ULONG_PTR)def;
                SetMenuItemInfoA(menu, i, TRUE, &set);
            }
        }
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (isMenuBar && window)
        DrawMenuBar(window);
}

// A window-list entry (item data: the window) is as high as its title but at
// least a menu line and 20 pixels, and 30 pixels wider than the title.
static bool MeasureWindowEntry(MEASUREITEMSTRUCT *item) {
    HWND window = (HWND)item->itemData;
    if (!IsWindow(window))
        return false;
    char title[53] = "";
    GetWindowTextA(window, title, sizeof title);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    SIZE size = {};
    GetTextExtentPoint32A(dc, title, (int)strlen(title), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int height = size.cy;
    if (height < GetSystemMetrics(SM_CYMENU))
        height = GetSystemMetrics(SM_CYMENU);
    item->itemHeight = height < 20 ? 20 : height;
    item->itemWidth = size.cx + 30;
    return true;
}

bool MenuMeasureItem(MEASUREITEMSTRUCT *item) {
    if (item->CtlType != ODT_MENU || !item->itemData)
        return false;
    // Window-list entries (task lists); the drive popup's items from 28900
    // are the main window's own.
    if (item->itemID > 28000 && item->itemID < 28900)
        return MeasureWindowEntry(item);
    if (item->itemID > 28000 && item->itemID != 29000)
        return false;
    const MenuItemDef *def = (const MenuItemDef *)item->itemData;
    const uint32_t heightByte = def->measure & 0xFF;
    if (heightByte) {
        item->itemHeight = heightByte;
        item->itemWidth = (def->measure >> 16) + ((def->measure >> 8) & 0xFF) + 42;
    } else {
        item->itemWidth = (def->measure >> 16) + 4;
        item->itemHeight = GetSystemMetrics(SM_CYMENU);
    }
    return true;
}

LRESULT MenuFindMnemonic(HMENU menu, char character, UINT flags) {
    if (flags & MF_SYSMENU)
        return 0;
    const char want = (char)(uintptr_t)CharUpperA((LPSTR)(uintptr_t)(uint8_t)character);
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_TYPE | MIIM_DATA;
        if (!GetMenuItemInfoA(menu, i, TRUE, &info) || !(info.fType & MFT_OWNERDRAW) || !info.dwItemData)
            continue;
        const MenuItemDef *def = (const MenuItemDef *)info.dwItemData;
        for (const char *p = def->text; *p; ++p) {
            if (*p != '&' || !p[1])
                continue;
            char c = p[1];
            if (c >= 'a' && c <= 'z')
                c = (char)(c - 'a' + 'A');
            if (c == want)
                return MAKELRESULT(i, MNC_EXECUTE);
            break;
        }
    }
    return 0;
}

static void FillColor(HDC dc, const RECT &r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

static void FrameColor(HDC dc, const RECT &r, COLORREF pen, COLORREF fill) {
    HPEN p = CreatePen(PS_SOLID, 1, pen);
    HBRUSH b = CreateSolidBrush(fill);
    HGDIOBJ op = SelectObject(dc, p), ob = SelectObject(dc, b);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(p);
    DeleteObject(b);
}

static COLORREF Adj(int sysColor, int l, int s) { return ColorAdjust(GetSysColor(sysColor), l, s); }

bool MenuDrawItem(const DRAWITEMSTRUCT *item) {
    if (item->CtlType != ODT_MENU || !item->itemData)
        return false;
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    const bool windowEntry = item->itemID > 28000 && item->itemID != 29000;
    const MenuItemDef *def = windowEntry ? nullptr : (const MenuItemDef *)item->itemData;
    const bool barItem = def && (def->measure & 0xFF) == 0;
    const bool selected = item->itemState & (ODS_SELECTED | ODS_HOTLIGHT);
    const bool disabled = item->itemState & (ODS_GRAYED | ODS_DISABLED);
    const bool separator = def && def->text[0] == 0;

    if (barItem) {
        RECT fill = r;
        if (selected) {
            fill.right -= 4;
            FrameColor(dc, fill, GetSysColor(COLOR_3DDKSHADOW), Adj(COLOR_BTNFACE, 20, 0));
            RECT gap = r;
            gap.left = fill.right;
            FillColor(dc, gap, GetSysColor(COLOR_BTNFACE));
        } else {
            FillColor(dc, r, GetSysColor(COLOR_BTNFACE));
        }
    } else if (selected && !separator) {
        FrameColor(dc, r, GetSysColor(COLOR_HIGHLIGHT),
                   disabled ? Adj(COLOR_BTNFACE, 73, 0) : Adj(COLOR_HIGHLIGHT, 70, -57));
    } else {
        RECT icon = r, rest = r;
        icon.right = r.left + 22;
        rest.left = icon.right;
        FillColor(dc, icon, Adj(COLOR_BTNFACE, 20, 0));
        FillColor(dc, rest, Adj(COLOR_BTNFACE, 75, 0));
    }
    if (separator) {
        const int y = (r.top + r.bottom) / 2;
        RECT line = {r.left + 30, y, r.right - 1, y + 1};
        FillColor(dc, line, Adj(COLOR_BTNFACE, -18, 0));
        return true;
    }

    char text[64];
    if (windowEntry)
        GetWindowTextA((HWND)item->itemData, text, 52);
    else
        lstrcpynA(text, def->text, sizeof(text));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? Adj(COLOR_BTNFACE, -18, 0) : GetSysColor(COLOR_MENUTEXT));
    HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    UINT hide = 0;
    BOOL cues = TRUE;
    SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    if ((item->itemState & ODS_NOACCEL) && !cues)
        hide = DT_HIDEPREFIX;
    if (barItem) {
        RECT t = r;
        t.right -= 4;
        DrawTextA(dc, text, -1, &t, DT_SINGLELINE | DT_CENTER | DT_VCENTER | hide);
    } else {
        RECT t = r;
        t.left = r.left + 30;
        char *tab = strchr(text, '\t');
        if (tab)
            *tab = 0;
        DrawTextA(dc, text, -1, &t, DT_SINGLELINE | DT_VCENTER | hide);
        if (tab && def) {
            RECT a = r;
            a.left = r.left + 30 + (int)(def->measure >> 16) + 8;
            DrawTextA(dc, tab + 1, -1, &a, DT_SINGLELINE | DT_VCENTER);
        }
        if (item->itemState & ODS_CHECKED) {
            RECT box = {r.left + 1, r.top + 1, r.left + 20, r.bottom - 1};
            FrameColor(dc, box, GetSysColor(COLOR_HIGHLIGHT),
                       disabled   ? Adj(COLOR_BTNFACE, 73, 0)
                       : selected ? Adj(COLOR_HIGHLIGHT, 50, -50)
                                  : Adj(COLOR_HIGHLIGHT, 70, -57));
            if (def && (def->type & MFT_RADIOCHECK)) {
                if (gRadioMark)
                    DrawIconEx(dc, r.left + 8, r.top + 7, gRadioMark, 6, 6, 0, nullptr, DI_NORMAL);
                else {
                    HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_MENUTEXT));
                    HGDIOBJ ob = SelectObject(dc, b);
                    HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
                    const int cy = (r.top + r.bottom) / 2;
                    Ellipse(dc, r.left + 7, cy - 3, r.left + 14, cy + 4);
                    SelectObject(dc, op);
                    SelectObject(dc, ob);
                    DeleteObject(b);
                }
            } else {
                HBITMAP check = LoadBitmapA(nullptr, MAKEINTRESOURCEA(kObmCheck));
                if (check) {
                    HDC mem = CreateCompatibleDC(dc);
                    HGDIOBJ ob = SelectObject(mem, check);
                    BitBlt(dc, r.left + 5, r.top + 3, 13, 13, mem, 0, 0, SRCAND);
                    SelectObject(mem, ob);
                    DeleteDC(mem);
                    DeleteObject(check);
                }
            }
        } else if (windowEntry) {
            HWND w = (HWND)item->itemData;
            HICON icon = (HICON)GetClassLongPtrA(w, GCLP_HICONSM);
            if (!icon)
                icon = (HICON)GetClassLongPtrA(w, GCLP_HICON);
            const int off = selected ? 2 : 3;
            if (icon)
                DrawIconEx(dc, r.left + off, r.top + off, icon, 16, 16, 0, nullptr, DI_NORMAL);
        } else if (gMenuIcons) {
            const int index = MenuIconIndex(item->itemID);
            if (index >= 0 && index < ImageList_GetImageCount(gMenuIcons)) {
                const int off = selected ? 2 : 3;
                ImageList_Draw(gMenuIcons, index, dc, r.left + off, r.top + off,
                               disabled ? ILD_BLEND50 : ILD_TRANSPARENT);
            }
        }
    }
    SelectObject(dc, oldFont);
    return true;
}

void MenuIconsInit(HINSTANCE instance) {
    if (!gMenuIcons)
        gMenuIcons = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 16, 8);
    if (!gRadioMark)
        gRadioMark = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(8000), IMAGE_ICON, 6, 6, 0);
    if (!gMenuIcons)
        return;
    for (int i = 0; kMenuCommandIcons[i][0]; ++i) {
        HICON icon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(kMenuCommandIcons[i][1]), IMAGE_ICON, 16, 16, 0);
        if (!icon)
            return; // without the artwork the column stays empty
        ImageList_AddIcon(gMenuIcons, icon);
        DestroyIcon(icon);
    }
}

int MenuIconIndex(int id) {
    int index = 0;
    for (int i = 0; kMenuCommandIcons[i][0]; ++i) {
        if (!kMenuCommandIcons[i][1])
            continue;
        if (kMenuCommandIcons[i][0] == id)
            return index;
        ++index;
    }
    return -1;
}

void MenuBarPaintGaps(HWND window) {
    HMENU bar = GetMenu(window);
    MENUBARINFO info = {};
    info.cbSize = sizeof info;
    if (!bar || MenuPlain() || !GetMenuBarInfo(window, OBJID_MENU, 0, &info) || IsRectEmpty(&info.rcBar))
        return;
    HRGN gaps = CreateRectRgnIndirect(&info.rcBar);
    if (!gaps)
        return;
    for (int i = 0, n = GetMenuItemCount(bar); i < n; i++) {
        RECT item;
        if (!GetMenuItemRect(window, bar, (UINT)i, &item))
            continue;
        HRGN cut = CreateRectRgnIndirect(&item);
        CombineRgn(gaps, gaps, cut, RGN_DIFF);
        DeleteObject(cut);
    }
    RECT frame;
    GetWindowRect(window, &frame);
    OffsetRgn(gaps, -frame.left, -frame.top);
    HDC dc = GetWindowDC(window);
    FillRgn(dc, gaps, GetSysColorBrush(COLOR_BTNFACE));
    ReleaseDC(window, dc);
    DeleteObject(gaps);
}

bool MenuHandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result) {
    switch (message) {
    case WM_NCPAINT:
    case WM_NCACTIVATE:
        // The system fills the bar in the menu colour; the owner-drawn
        // items sit on the button face, and so does the space between them.
        *result = DefWindowProcA(window, message, wParam, lParam);
        MenuBarPaintGaps(window);
        return true;
    case WM_MEASUREITEM:
        if (MenuMeasureItem((MEASUREITEMSTRUCT *)lParam)) {
            *result = TRUE;
            return true;
        }
        return false;
    case WM_DRAWITEM:
        if (MenuDrawItem((const DRAWITEMSTRUCT *)lParam)) {
            *result = TRUE;
            return true;
        }
        return false;
    case WM_MENUCHAR:
        *result = MenuFindMnemonic((HMENU)lParam, (char)LOWORD(wParam), HIWORD(wParam));
        return *result != 0;
    case WM_INITMENUPOPUP:
        // Popups become owner-drawn as they open; the window still sees the
        // message (it fills the switch list).
        if (!HIWORD(lParam) && !MenuPlain())
            MenuSetOwnerDraw(window, (HMENU)wParam, 0);
        return false;
    }
    return false;
}
