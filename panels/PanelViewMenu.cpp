#include "panels/PanelViewMenu.h"

#include "AppState.h"
#include "app/Commands.h"

void MenuCheck(HMENU menu, int id, bool on) {
    CheckMenuItem(menu, (UINT)id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void MenuEnable(HMENU menu, int id, bool on) {
    EnableMenuItem(menu, (UINT)id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

static void CheckOneOf(HMENU menu, int first, int last, int chosen) {
    for (int id = first; id <= last; id++)
        MenuCheck(menu, id, id == chosen);
}

static bool WindowShown(const SpaceDlgState* state) {
    HWND dialog = state ? *(const HWND*)state : nullptr;
    return dialog && IsWindowVisible(dialog);
}

void PanelSyncViewMenu(HMENU menu) {
    if (!gApp) return;
    if (!menu) menu = gMainWindow ? GetMenu(gMainWindow) : nullptr;
    if (!menu) return;
    static const struct {
        int id;
        uint16_t bit;
    } kBars[] = {{241, kBarToolbar}, {242, kBarDrives},  {243, kBarStatus},
                 {244, kBarFkeys},   {245, kBarCmdLine}, {246, kBarPanelStatus}};
    for (const auto& bar : kBars)
        MenuCheck(menu, bar.id, (gApp->barOptions & bar.bit) != 0);
    static const struct {
        int id, slot;
    } kTools[] = {{302, kPosHistory}, {303, kPosFavorites}, {304, kPosContainer}};
    for (const auto& tool : kTools)
        MenuCheck(menu, tool.id, gApp->windowPos[tool.slot].show != 0 && CommandIsBuilt(tool.id));

    bool quick[2];
    for (int panel = 0; panel < 2; panel++) {
        const int base = panel ? 600 : 500;
        MenuCheck(menu, base + 15, WindowShown(gApp->spaceDlg[panel]));
        MenuCheck(menu, base + 17, (gApp->panelFilter[panel].flags & 0xF) != 0);
        static const int kModeItem[] = {3, 2, 1, 5, 4}; // Full, Brief, Custom, QView, Tree
        const int mode = gApp->panelMode[panel] & 0xF;
        int chosen = gApp->panelOff[panel] ? 7 : mode < 5 ? kModeItem[mode] : 0;
        CheckOneOf(menu, base + 1, base + 7, chosen ? base + chosen : 0);
        CheckOneOf(menu, base + 9, base + 13, base + 9 + gApp->panelSort[panel]);
        MenuCheck(menu, base + 14, gApp->panelReverse[panel] != 0);
        quick[panel] = mode == kViewQuick;
    }
    const bool anyTree = (gApp->panelMode[0] & 0xF) == kViewTree || (gApp->panelMode[1] & 0xF) == kViewTree;
    MenuEnable(menu, 504, !anyTree);
    MenuEnable(menu, 604, !anyTree);
    if (quick[0] || quick[1]) {
        // The quick view shows the other panel's entry: the panel that shows
        // it offers neither its own list commands nor the other's quick view.
        const int self = quick[0] ? 500 : 600, other = quick[0] ? 600 : 500;
        MenuEnable(menu, other + 5, false);
        MenuEnable(menu, 507, false);
        MenuEnable(menu, 607, false);
        for (int id = self + 15; id <= self + 18; id++)
            MenuEnable(menu, id, false);
    } else {
        static const int kListItems[] = {505, 605, 507, 515, 516, 517, 518, 607, 615, 616, 617, 618};
        for (int id : kListItems)
            MenuEnable(menu, id, true);
    }
    MenuCheck(menu, 219, (gApp->ftpOptions & 0x1) != 0);
    MenuGreyNotBuilt(menu);
}
