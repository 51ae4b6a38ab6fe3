// The popup menus of a panel: the path bar's menu (splitter ratios, layout,
// sort, refresh) and the column header's menu (with the Custom columns).
#include "panels/PanelMenus.h"

#include <string.h>

#include "AppState.h"
#include "app/Language.h"
#include "panels/PanelPaint.h"
#include "panels/PanelViewMenu.h"

namespace {

// Menu text of an id with its accelerator cut.
void Append(HMENU menu, int id, UINT flags = 0) {
    char text[128] = "";
    TextGet(id, text, sizeof text);
    if (char *tab = strchr(text, '\t'))
        *tab = 0;
    AppendMenuA(menu, MF_STRING | flags, id, text);
}

void AppendSub(HMENU menu, HMENU sub, int textId) {
    char text[128] = "";
    TextGet(textId, text, sizeof text);
    AppendMenuA(menu, MF_POPUP, (UINT_PTR)sub, text);
}

// Layout, Sort, Refresh of a panel, with the panel's current state checked.
void AppendViewItems(HMENU menu, int panel) {
    int base = panel ? 600 : 500;
    int mode = gApp->panelMode[panel] & 0xF;
    static const int kModeItem[] = {3, 2, 1, 5, 4}; // Full, Brief, Custom, QView, Tree
    HMENU layout = CreatePopupMenu();
    for (int i = 1; i <= 5; i++)
        Append(layout, base + i, (mode < 5 && kModeItem[mode] == i) ? MF_CHECKED : 0);
    Append(layout, base + 15);
    AppendSub(menu, layout, 953);
    HMENU sort = CreatePopupMenu();
    for (int i = 0; i < 5; i++)
        Append(sort, base + 9 + i, gApp->panelSort[panel] == i ? MF_CHECKED : 0);
    AppendMenuA(sort, MF_SEPARATOR, 0, nullptr);
    Append(sort, base + 14, gApp->panelReverse[panel] ? MF_CHECKED : 0);
    AppendSub(menu, sort, base + 8);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    Append(menu, base + 16);
}

} // namespace

HMENU PanelPathBarMenu(int panel) {
    // The ratios read the same in every language (and a "%" would not pass
    // the language files' format check).
    static const struct {
        int id;
        const char *text;
    } kRatios[] = {{910, "&25 %"}, {914, "&33 %"}, {911, "&50 %"}, {915, "&66 %"}, {912, "&75 %"}};
    HMENU menu = CreatePopupMenu();
    for (const auto &r : kRatios)
        AppendMenuA(menu, MF_STRING, r.id, r.text);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendViewItems(menu, panel);
    PanelSyncViewMenu(menu);
    return menu;
}

HMENU PanelHeaderMenu(int panel, int slotUnderMouse) {
    HMENU menu = CreatePopupMenu();
    PanelState &ps = gApp->panels[panel];
    if ((gApp->panelMode[panel] & 0xF) == kViewCustom) {
        auto has = [&](uint16_t code) {
            for (int i = 0; i < kPanelColumnSlots; i++)
                if (ps.customColumns[i] == code)
                    return true;
            return false;
        };
        Append(menu, 904, has(kColDosName) ? MF_CHECKED : 0);
        Append(menu, 905, has(kColSize) ? MF_CHECKED : 0);
        Append(menu, 906, has(kColModified) ? MF_CHECKED : 0);
        Append(menu, 907, has(kColAttributes) ? MF_CHECKED : 0);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        bool none = slotUnderMouse < 0 || slotUnderMouse >= kPanelColumnSlots;
        Append(menu, 908, (none || slotUnderMouse == 0) ? MF_GRAYED : 0);
        bool lastOrEmptyNext = none || slotUnderMouse == kPanelColumnSlots - 1 ||
                               ps.customColumns[slotUnderMouse + 1] == 0;
        Append(menu, 909, lastOrEmptyNext ? MF_GRAYED : 0);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    AppendViewItems(menu, panel);
    PanelSyncViewMenu(menu);
    return menu;
}

bool PanelColumnCommand(int panel, int id, int slot) {
    PanelState &ps = gApp->panels[panel];
    switch (id) {
    case 904: PanelToggleCustomColumn(panel, kColDosName); return true;
    case 905: PanelToggleCustomColumn(panel, kColSize); return true;
    case 906: PanelToggleCustomColumn(panel, kColModified); return true;
    case 907: PanelToggleCustomColumn(panel, kColAttributes); return true;
    case 908:
    case 909: {
        int other = id == 908 ? slot - 1 : slot + 1;
        if (slot < 0 || slot >= kPanelColumnSlots || other < 0 || other >= kPanelColumnSlots)
            return true;
        uint16_t c = ps.customColumns[slot], w = ps.customWidths[slot];
        ps.customColumns[slot] = ps.customColumns[other];
        ps.customWidths[slot] = ps.customWidths[other];
        ps.customColumns[other] = c;
        ps.customWidths[other] = w;
        PostMessageA(ps.listWindow, WM_USER + 1, 0, 0);
        return true;
    }
    }
    return false;
}
