#include "frontends/CePanel.h"

#include <string.h>

#include "AppState.h"
#include "CeLink.h"
#include "app/DirWatch.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "celink/CeNames.h"
#include "frontends/CeFrontEnd.h"
#include "panels/EntryBuild.h"
#include "panels/Location.h"
#include "panels/PanelRefresh.h"

namespace {

// The device folder last listed in a panel: the device entry opens there.
char gCeDevicePath[kCePathMax];

void CopyText(char* out, const char* text, size_t size) {
    out[0] = 0;
    StrAppend(out, text, size);
}

// The last component of a device path ("\A\B" gives "B").
const char* LastName(const char* path) {
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

void ListingReset(DirListing* listing) {
    uint16_t panel = listing->panelIndex;
    DirListingFree(listing);
    *listing = DirListing{};
    listing->panelIndex = panel;
}

} // namespace

bool PanelShowsDevice(int panel) {
    const LocationNode* node = gApp->panels[panel & 1].location;
    return node && node->kind == kLocationCeDevice;
}

int CeSelectDevice(HWND, int panel) {
    PanelState& ps = gApp->panels[panel];
    if (!PanelShowsDevice(panel)) {
        LocationNode* node = (LocationNode*)MemAlloc(sizeof(LocationNode));
        if (!node) return ERROR_NOT_ENOUGH_MEMORY; // the panel stays where it is
        node->kind = kLocationCeDevice;
        LocationNode* old = ps.location;
        ps.location = node;
        // The levels the panel showed before (an archive chain, an FTP
        // connection's copy) go; the connection itself stays with its slot.
        while (old) {
            LocationNode* parent = old->kind < kLocationFtp ? old->parent : nullptr;
            LocationFree(old);
            old = parent;
        }
    }
    if (!gCeDevicePath[0]) CopyText(gCeDevicePath, "\\", sizeof gCeDevicePath);
    CopyText(gApp->savedPath[panel], gCeDevicePath, sizeof gApp->savedPath[panel]);
    DirWatchClose(&gApp->changeNotify[panel]);
    gApp->cursorIndex[panel] = 0;
    gApp->topIndex[panel] = 0;
    PanelRequestReread(panel);
    return 0;
}

void CeChangeDir(const char* name, int panel, LocationNode* node) {
    char path[kCePathMax];
    PanelGetPath(panel, path, sizeof path);
    if (path[0] != '\\') CopyText(path, "\\", sizeof path); // not listed yet: start from the root
    char reselect[kCePathMax] = "";
    if (!strcmp(name, "\\")) {
        CopyText(path, "\\", sizeof path);
    } else if (!strcmp(name, "..")) {
        CopyText(reselect, LastName(path), sizeof reselect);
        char* slash = strrchr(path, '\\');
        if (slash) *slash = 0;
    } else if (!CeNameIsPlain(name) || !CePathJoin(path, sizeof path, path, name)) {
        CeReportError(gMainWindow, ERROR_FILENAME_EXCED_RANGE, name);
        return;
    }
    if (!path[0]) CopyText(path, "\\", sizeof path);
    if (node && !strcmp(node->innerPath, path) && !strcmp(gApp->panelPath[panel], path)) {
        if (gApp->panels[panel].listWindow) PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
        return;
    }
    CopyText(gApp->savedPath[panel], path, sizeof gApp->savedPath[panel]);
    gApp->cursorIndex[panel] = 0;
    gApp->topIndex[panel] = 0;
    if (reselect[0])
        PanelRequestRereadSelect(panel, reselect);
    else
        PanelRequestReread(panel);
}

void CeOpenEntry(HWND owner, int panel, const char* name, bool folder, bool upDir) {
    LocationNode* node = gApp->panels[panel].location;
    if (upDir) {
        CeChangeDir("..", panel, node);
        return;
    }
    if (folder) {
        CeChangeDir(name, panel, node);
        return;
    }
    char path[kCePathMax];
    if (!CePathJoin(path, sizeof path, gApp->panelPath[panel], name)) {
        CeReportError(owner, ERROR_FILENAME_EXCED_RANGE, name);
        return;
    }
    int result = CeRunProgram(path);
    if (result < 0) result = ERROR_DEVICE_NOT_CONNECTED; // no library or no link: never silent here
    CeReportError(owner, result, path);
}

int CePanelList(int panel, LocationNode* node, DirListing* listing) {
    CopyText(node->innerPath, gApp->savedPath[panel][0] ? gApp->savedPath[panel] : "\\",
             sizeof node->innerPath);
    int result;
    for (;;) {
        result = CeListPanel(node, listing);
        if (result == kCeEmpty) result = 0; // an empty device is still a device to copy to
        bool gone = result == ERROR_PATH_NOT_FOUND || result == ERROR_FILE_NOT_FOUND;
        if (!gone || !strcmp(node->innerPath, "\\")) break;
        // The folder went away: the nearest one above it that is still there.
        ListingReset(listing);
        char* slash = strrchr(node->innerPath, '\\');
        if (slash) *slash = 0;
        if (!node->innerPath[0]) CopyText(node->innerPath, "\\", sizeof node->innerPath);
    }
    if (result != 0) {
        ListingReset(listing);
        return result;
    }
    if (gApp->panels[panel].location != node) {
        ListingReset(listing);
        return kCePanelLeft;
    }
    CopyText(gCeDevicePath, node->innerPath, sizeof gCeDevicePath);
    PanelSetPath(panel, node->innerPath);
    return 0;
}

namespace {

// Dropped locations the refresh thread may still be listing: freed only
// once a later drop finds that panel's re-read over.
struct Retired {
    LocationNode* node;
    int panel;
};
Retired gRetired[16];

void Retire(LocationNode* node, int panel) {
    for (Retired& r : gRetired) {
        if (r.node && !(gRefreshFlags[r.panel].load() & kRefreshBusy)) MemFree(&r.node);
    }
    if (!(gRefreshFlags[panel].load() & kRefreshBusy)) {
        MemFree(&node);
        return;
    }
    for (Retired& r : gRetired) {
        if (!r.node) {
            r = {node, panel};
            return;
        }
    }
    // Sixteen drops during one listing: this one stays allocated.
}

} // namespace

void CeDropLocation(int panel) {
    PanelState& ps = gApp->panels[panel];
    LocationNode* node = ps.location;
    if (!node || node->kind != kLocationCeDevice) return;
    ps.location = nullptr;
    Retire(node, panel);
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    if (PathGetRootType(path) == 0) {
        PathGetWindowsRoot(path);
        PanelSetPath(panel, path);
    }
}
