#include "panels/PanelArchive.h"

#include <string.h>

#include "AppState.h"
#include "app/DirWatch.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/EntryBuild.h"
#include "panels/Location.h"
#include "panels/PanelCarry.h"
#include "panels/PanelList.h"
#include "panels/PanelRefresh.h"

static void InstallListing(int panel, DirListing &listing) {
    PanelState &ps = gApp->panels[panel];
    PanelListData data;
    data.entryBlock = listing.entryBlock;
    data.entryIndex = listing.entryIndex;
    data.entryCount = listing.entryIndex ? listing.entryCount : 0;
    data.fileCount = listing.fileCount;
    data.dirCount = listing.dirCount;
    data.fileBytes = listing.totalBytes;
    bool allEntries = !(gApp->panelOptions & kPanelNoSymbols);
    if (!PanelListInstallCarry(panel, data, false, allEntries, 5000)) {
        PanelListFree(data);
        return;
    }
    PanelListFree(data); // the old list
    gApp->cursorIndex[panel] = 0;
    gApp->topIndex[panel] = 0;
    if (ps.listWindow)
        PostMessageA(ps.listWindow, WM_USER + 1, kPanelRefreshListChanged, 0);
    if (ps.pathBar)
        InvalidateRect(ps.pathBar, nullptr, FALSE);
}

LocationNode *PanelShowArchive(HWND, const char *path, int panel, LocationNode *node) {
    panel &= 1;
    DirListing listing = {};
    listing.panelIndex = (uint16_t)panel;
    if (!node) {
        node = ArcOpenArchive(path, &listing, gApp->archivePassword);
        if (!node)
            return nullptr;
    } else if (!ArcRereadArchive(node, &listing, gApp->archivePassword)) {
        if (gApp->panels[panel].location == node)
            gApp->panels[panel].location = nullptr;
        LocationFree(node);
        return nullptr;
    }
    if (!listing.entryBlock)
        return node;
    InstallListing(panel, listing);
    return node;
}

void PanelLeaveArchive(int panel) {
    panel &= 1;
    LocationNode *node = gApp->panels[panel].location;
    if (!node || node->kind >= kLocationFtp)
        return;
    char name[260];
    lstrcpynA(name, node->archivePath + PathFindName(node->archivePath), sizeof name);
    LocationNode *parent = LocationFollowsParent(node) ? node->parent : nullptr;
    gApp->panels[panel].location = parent;
    if (parent)
        ArcRemoveTempCopy(node->archivePath); // the copy this level was opened from
    LocationFree(node);
    PanelRequestRereadSelect(panel, name);
    DirWatchOpen(gApp->panelPath[panel], &gApp->changeNotify[panel]);
    if (gApp->panels[panel].pathBar)
        InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
}

bool PanelArchiveEnter(HWND owner, int panel, const char *name, bool up, bool folder) {
    panel &= 1;
    LocationNode *node = gApp->panels[panel].location;
    if (!node || node->kind >= kLocationFtp)
        return false;
    if (!up && !folder)
        return false;
    char old[sizeof node->innerPath];
    lstrcpynA(old, node->innerPath, sizeof old);
    char reselect[260] = "";
    if (up) {
        if (!node->innerPath[0]) {
            PanelLeaveArchive(panel);
            return true;
        }
        char *cut = strrchr(node->innerPath, '\\');
        lstrcpynA(reselect, cut ? cut + 1 : node->innerPath, sizeof reselect);
        if (cut)
            *cut = 0;
        else
            node->innerPath[0] = 0;
    } else {
        if (strlen(node->innerPath) + strlen(name) + 2 > 260)
            return true;
        if (node->innerPath[0])
            StrAppend(node->innerPath, "\\", sizeof node->innerPath);
        StrAppend(node->innerPath, name, sizeof node->innerPath);
    }
    LocationNode *shown = PanelShowArchive(owner, node->archivePath, panel, node);
    if (!shown) {
        gApp->panels[panel].location = nullptr;
        PanelRequestReread(panel);
        return true;
    }
    if (reselect[0])
        PanelSetCursorCentred(reselect, panel);
    return true;
}

bool PanelTryOpenArchive(HWND owner, int panel, const char *path) {
    panel &= 1;
    if (!ArcGetArchiveType(path))
        return false;
    LocationNode *node = PanelShowArchive(owner, path, panel, nullptr);
    if (!node)
        return false;
    LocationNode *old = gApp->panels[panel].location;
    if (old) {
        // An archive inside a folder of the file system only: nested levels
        // are not read by this library.
        LocationFree(old);
    }
    gApp->panels[panel].location = node;
    if (gApp->panels[panel].pathBar)
        InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
    return true;
}

bool PanelOpenNestedArchive(HWND owner, int panel, const char *name) {
    panel &= 1;
    LocationNode *node = gApp->panels[panel].location;
    if (!node || node->kind >= kLocationFtp)
        return false;
    char local[MAX_PATH];
    if (!ArcExtractToTempFile(owner, node, name, true, local, sizeof local))
        return true; // the reason was shown
    LocationNode *inner = ArcGetArchiveType(local) ? PanelShowArchive(owner, local, panel, nullptr) : nullptr;
    if (!inner) {
        ArcRemoveTempCopy(local);
        return false;
    }
    inner->parent = node;
    gApp->panels[panel].location = inner;
    if (gApp->panels[panel].pathBar)
        InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
    return true;
}
