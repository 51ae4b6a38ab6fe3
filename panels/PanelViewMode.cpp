#include "panels/PanelViewMode.h"

#include <string.h>
#include <commctrl.h>

#include "AppState.h"
#include "wingui/ShellServices.h"
#include "app/DirWatch.h"
#include "frontends/Libraries.h"
#include "frontends/ViewerHost.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"
#include "panels/PanelViewMenu.h"
#include "panels/PanelWindow.h"

namespace {

int Mode(int panel) {
    return gApp->panelMode[panel] & 0xF;
}

void StoreMode(int panel, int mode) {
    gApp->panelMode[panel] = (uint16_t)((gApp->panelMode[panel] & ~0xFu) | (unsigned)mode);
}

// Closes the quick view before any mode change; false (and the fallback)
// when the viewer library is not there.
bool CloseQuickView(HWND owner) {
    if (!gApp->viewerEntry) ViewerLoad();
    if (!gApp->viewerEntry) {
        PanelViewerMissing(owner);
        return false;
    }
    ViewerQuickViewClose();
    return true;
}

void LeaveTree(int panel) {
    PanelState &ps = gApp->panels[panel];
    if (ps.treeControl) {
        HIMAGELIST images = TreeView_GetImageList(ps.treeControl, TVSIL_NORMAL);
        DestroyWindow(ps.treeControl);
        ps.treeControl = nullptr;
        if (images) ImageList_Destroy(images);
    }
    if (ps.listWindow) DragAcceptFiles(ps.listWindow, TRUE);
    PanelRequestReread(panel);
}

void Relayout(int panel) {
    PanelLayout();
    PanelState &ps = gApp->panels[panel];
    if (ps.pathBar) SendMessageA(ps.pathBar, WM_SIZE, 0, 0);
    if (ps.listWindow) PostMessageA(ps.listWindow, kPanelMsgRefresh, 0, 0);
    PanelSyncViewMenu(nullptr);
}

} // namespace

void PanelViewerMissing(HWND owner) {
    for (int p = 0; p < 2; p++)
        if (Mode(p) == kViewQuick) {
            StoreMode(p, kViewFull);
            Relayout(p);
        }
    AppReportMissingModule(owner, "LUMORA.DLL", kLibViewer);
}

void PanelSetViewMode(HWND mainWindow, int panel, int mode, int onOffCommand) {
    int old = Mode(panel);
    if (!CloseQuickView(mainWindow)) return;
    if (mode != old || gApp->panelOff[panel]) {
        StoreMode(panel, mode);
        if (old == kViewTree && mode != kViewTree) LeaveTree(panel);
        if (gApp->panelOff[panel])
            SendMessageA(mainWindow, WM_COMMAND, (WPARAM)onOffCommand, 0);
        else
            PanelShowModeName(panel);
        if (mode == kViewQuick) {
            PanelActivateOther(panel);
            HWND other = gApp->panels[!panel].listWindow;
            if (other) PostMessageA(other, kPanelMsgRefresh, 0, 0);
            PanelUpdateStatusLine();
            PanelSetFocus(panel);
        }
    }
    Relayout(panel);
}

void PanelShowTree(HWND mainWindow, int panel) {
    if (!CloseQuickView(mainWindow)) return;
    StoreMode(panel, kViewTree);
    int other = !panel;
    if (panel == (gApp->activePanel & 1))
        memcpy(gApp->panelPath[other], gApp->panelPath[panel], sizeof gApp->panelPath[other]);
    else
        memcpy(gApp->panelPath[panel], gApp->panelPath[other], sizeof gApp->panelPath[panel]);
    if (gApp->panelOff[panel]) SendMessageA(mainWindow, WM_COMMAND, panel ? 607 : 507, 0);
    PanelShowModeName(panel);
    PanelLayout();
    PanelSyncViewMenu(nullptr);
    PanelRequestRereadBoth();
    if (gApp->panels[panel].pathBar) SendMessageA(gApp->panels[panel].pathBar, WM_SIZE, 0, 0);
    for (int p = 0; p < 2; p++)
        DirWatchOpen(gApp->panelPath[p], &gApp->changeNotify[p]);
}

void PanelToggleOnOff(HWND, int panel) {
    if (gApp->viewerEntry) ViewerQuickViewClose();
    gApp->panelOff[panel] = !gApp->panelOff[panel];
    PanelShowModeName(panel);
    PanelRelayoutAll();
    if (panel == (gApp->activePanel & 1) && !gApp->panelOff[!panel]) {
        gApp->activePanel = (uint16_t)!panel;
        PanelSetFocus(!panel);
    }
}
