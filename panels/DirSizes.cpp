#include "panels/DirSizes.h"

#include <process.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "panels/PanelIter.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelViewMode.h"
#include "panels/PanelWindow.h"
#include "panels/SpaceCount.h"

extern AppState *gApp;

namespace {

struct Item {
    std::string name;
    uint16_t flags;
    uint64_t size;
};

struct Watch {
    int panel;
    char path[260];
};

bool FolderLeft(const Watch *w) {
    char now[260];
    PanelGetPath(w->panel, now, sizeof now);
    return strcmp(now, w->path) != 0;
}

bool StopWanted(void *context) {
    const Watch *w = (const Watch *)context;
    return (gApp->dirSizeFlags & (4 << w->panel)) != 0 || FolderLeft(w);
}

// Stores a counted size by name, checking under the list that the panel
// still shows the counted folder: a list of another folder may hold a
// folder of the same name.
bool IsFolderNamed(const FileEntry *e, const char *name) {
    return e && EntryIsFolder(e) && !EntryIsUpDir(e) && strcmp(EntryName(e), name) == 0;
}

// The entry is looked for at its old position first, so a large folder is
// not searched from the top for every result. Returns the position, or -1
// when it was not stored.
long StoreSize(const Watch *w, const char *name, uint32_t position, uint64_t size) {
    PanelIter it;
    long at = -1;
    FileEntry *e = PanelIterBegin(&it, w->panel);
    if (!FolderLeft(w)) {
        FileEntry *hit = PanelIterAt(&it, position);
        if (IsFolderNamed(hit, name)) {
            at = (long)position;
        } else {
            for (hit = PanelIterAt(&it, 0); hit; hit = PanelIterNext(&it)) {
                if (IsFolderNamed(hit, name)) {
                    at = (long)it.position;
                    break;
                }
            }
        }
        if (at >= 0) {
            uint64_t stored1 = size + 1; // 0 keeps meaning not counted
            hit->sizeLow = (uint32_t)stored1;
            hit->sizeHigh = (uint32_t)(stored1 >> 32);
        }
    }
    (void)e;
    PanelIterEnd(&it);
    return at;
}

} // namespace

bool DirSizesRunning(int panel) { return (gApp->dirSizeFlags & (panel + 1)) != 0; }

unsigned __stdcall DirSizesThread(void *parameter) {
    Watch watch = {};
    watch.panel = (int)(intptr_t)parameter & 1;
    const int panel = watch.panel;
    PanelGetPath(panel, watch.path, sizeof watch.path);

    std::vector<Item> items;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        items.push_back({EntryName(e), e->flags, EntrySize(e)});
    PanelIterEnd(&it);

    PanelState &ps = gApp->panels[panel];
    ps.fileBytes = 0;
    ps.fileCount = 0;
    ps.dirCount = 0;
    const uint32_t cluster = ps.clusterSize;
    for (size_t i = 0; i < items.size() && !StopWanted(&watch); i++) {
        const Item &item = items[i];
        if (item.flags & kEntryUpDir)
            continue;
        if (!(item.flags & kEntryFolder)) {
            ps.fileCount++;
            if (!(item.flags & kEntryNoSize))
                ps.fileBytes += item.size;
            continue;
        }
        ps.dirCount++;
        // A link is one entry: never entered, so it gets no size of its own.
        if (item.flags & kEntryJunction)
            continue;
        std::string path = watch.path;
        if (path.empty() || path.back() != '\\')
            path += '\\';
        path += item.name;
        if (path.size() >= 260)
            continue; // too long to walk: the folder stays uncounted
        SpaceStats stats = {};
        stats.panel = (uint16_t)panel;
        stats.clusterSize = cluster;
        stats.stopWanted = StopWanted;
        stats.stopContext = &watch;
        SpaceCountFolder(path.c_str(), &stats);
        if (StopWanted(&watch))
            break; // a part-counted folder would show a wrong size
        // A tree with a folder that could not be read has no true size: the
        // folder stays uncounted rather than show too small a number.
        if (stats.unreadableFolders)
            continue;
        long at = StoreSize(&watch, item.name.c_str(), (uint32_t)i, stats.bytes);
        if (at < 0)
            continue;
        ps.dirCount += stats.folderCount;
        ps.fileCount += stats.fileCount;
        ps.fileBytes += stats.bytes;
        PanelInvalidateRow(panel, (uint32_t)at);
    }
    if (HWND list = ps.listWindow)
        PostMessageA(list, WM_USER + 3, 0, 0); // the status texts show the new totals
    InterlockedAnd(&gApp->dirSizeFlags, ~(LONG)(panel + 1));
    return 0;
}

void DirSizesCommand(HWND mainWindow) {
    const int panel = gApp->activePanel & 1;
    if (gApp->dirSizeFlags & (panel + 1)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    const int mode = gApp->panelMode[panel] & 0xF;
    if (PanelListCount(panel) > 0 && mode != kViewFull && mode != kViewCustom) {
        PanelSetViewMode(mainWindow, panel, kViewFull, panel ? 607 : 507);
        PostMessageA(mainWindow, WM_SIZE, 0, 0);
    }
    // Set here, before the thread runs, so that a second command at once
    // already finds the count running.
    InterlockedOr(&gApp->dirSizeFlags, panel + 1);
    InterlockedAnd(&gApp->dirSizeFlags, ~(LONG)(4 << panel));
    uintptr_t h = _beginthreadex(nullptr, 0, DirSizesThread, (void *)(intptr_t)panel, 0, nullptr);
    if (h)
        CloseHandle((HANDLE)h);
    else
        InterlockedAnd(&gApp->dirSizeFlags, ~(LONG)(panel + 1));
}
