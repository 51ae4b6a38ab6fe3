// The panel refresh thread, re-reading and re-sorting a panel, and the cursor
// by name. The thread never touches a window it did not create and never
// changes the process's current directory: it installs the new list and
// posts WM_USER+1 to the panel's list window, whose handler does the rest on
// the interface thread (cursor, status texts, layout).
#include "panels/PanelRefresh.h"
#include "panels/PanelIcons.h"

#include <windows.h>

#include <mutex>
#include <ctype.h>
#include <string.h>

#include "AppState.h"
#include "frontends/CePanel.h"
#include "JobRecord.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "fileops/FreeSpace.h"
#include "fileops/ShareList.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/FtpFrontEnd.h"
#include "panels/DirRead.h"
#include "panels/PanelCarry.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelNav.h"
#include "panels/PanelWindow.h"

std::atomic<uint32_t> gRefreshFlags[2];
void (*gPanelRereadProbe)(int panel);

namespace {

std::mutex gNameLock; // reselect names and the panel paths the thread reads
char gReselect[2][260];
char gLastReadPath[2][260]; // under gNameLock: the swap exchanges them
char gFollow[2][260];        // cursor entry's name before the last re-read
int gFollowIndex[2];         // the cursor position that name was read at
bool gFollowSet[2];
HANDLE gRefreshThread;
// Refresh-thread cycles until the share list is asked for again; 0 rebuilds
// it at the next re-read.
std::atomic<int> gShareCountdown;
const int kShareListCycles = 200; // about ten seconds

// The list window of a panel may only be posted to: the interface thread
// may be waiting for us.
void PostList(int panel, UINT message, WPARAM wParam) {
    HWND list = gApp ? gApp->panels[panel].listWindow : nullptr;
    if (list)
        PostMessageA(list, message, wParam, 0);
}

void CopyBounded(char *dst, const char *src, size_t size) {
    dst[0] = 0;
    StrAppend(dst, src ? src : "", size);
}

void FreeBlock(void *block) { MemFree(&block); }

bool FolderExists(const char *path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The nearest existing folder above `path`, found without making anything
// the current directory (other threads' relative paths depend on it).
void NearestExisting(char *path) {
    char probe[260];
    CopyBounded(probe, path, sizeof probe);
    for (;;) {
        size_t n = strlen(probe);
        while (n > 3 && (probe[n - 1] == '\\' || probe[n - 1] == '/'))
            probe[--n] = 0;
        if (FolderExists(probe) || n <= 3)
            break;
        char *cut = strrchr(probe, '\\');
        if (!cut)
            break;
        if (cut - probe == 2 && probe[1] == ':')
            cut[1] = 0; // keep "X:\"
        else
            *cut = 0;
    }
    CopyBounded(path, probe, 260);
}

DWORD WINAPI RefreshThreadMain(void *) {
    PanelRefreshThread();
    return 0;
}

struct SortRequest {
    int panel;
    int key;
    int reverse;
};

FileEntry **SortIndex(const PanelListData &list, void *context) {
    const SortRequest *req = (const SortRequest *)context;
    if (!list.entryBlock)
        return nullptr;
    DirListing tmp = {};
    tmp.panelIndex = (uint16_t)req->panel;
    tmp.entryBlock = list.entryBlock;
    tmp.entryCount = list.entryCount;
    PanelSortKeyEntries(&tmp, req->key, req->reverse);
    return tmp.entryIndex;
}

// Folders of a plain local listing that this computer shares get the share
// mark; names from the disk are only compared, never taken as paths.
void MarkSharedFolders(const char *folder, DirListing *listing) {
    if (!gApp->shareList.used || !listing->entryIndex)
        return;
    for (uint32_t i = 0; i < listing->entryCount; i++) {
        FileEntry *e = listing->entryIndex[i];
        if (!e)
            break;
        if (!(e->flags & kEntryFolder) || (e->flags & kEntryUpDir))
            continue;
        char full[260];
        CopyBounded(full, folder, sizeof full);
        size_t n = strlen(full);
        if (n && full[n - 1] != '\\')
            StrAppend(full, "\\", sizeof full);
        // A path that does not fit is no share of ours.
        if (strlen(full) + strlen(EntryName(e)) >= sizeof full)
            continue;
        StrAppend(full, EntryName(e), sizeof full);
        if (ShareListContains(&gApp->shareList, full))
            e->flags |= kEntryShared;
    }
}

bool NameEqualsUpper(const char *a, const char *b) {
    for (; *a && *b; a++, b++)
        if (NavUpper((unsigned char)*a) != NavUpper((unsigned char)*b))
            return false;
    return *a == *b;
}

} // namespace

void PanelGetPath(int panel, char *out, size_t size) {
    std::lock_guard<std::mutex> lock(gNameLock);
    CopyBounded(out, gApp->panelPath[panel], size);
}

void PanelSetPath(int panel, const char *path) {
    std::lock_guard<std::mutex> lock(gNameLock);
    if (path != gApp->panelPath[panel])
        CopyBounded(gApp->panelPath[panel], path, sizeof gApp->panelPath[panel]);
}

void PanelRequestReread(int panel) {
    if (panel == 0 || panel == 1)
        gRefreshFlags[panel].fetch_or(kRefreshWanted);
}

void PanelRequestRereadSelect(int panel, const char *name) {
    if (panel != 0 && panel != 1)
        return;
    if (name && name[0]) {
        std::lock_guard<std::mutex> lock(gNameLock);
        CopyBounded(gReselect[panel], name, sizeof gReselect[panel]);
        gRefreshFlags[panel].fetch_or(kRefreshSelect);
    }
    gRefreshFlags[panel].fetch_or(kRefreshWanted);
}

void PanelRequestRereadBoth() {
    PanelRequestReread(0);
    PanelRequestReread(1);
}

int PanelReread(int panel, int keepMarks) {
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    DirListing listing = {};
    listing.panelIndex = (uint16_t)panel;
    int mode = gApp->panelMode[panel] & 0xF;
    uint32_t err = 0;
    LocationNode *location = gApp->panels[panel].location;
    // Tree mode and the remote kinds without a lister show no entries; the
    // archive, FTP and device listers come with their front ends.
    if (mode == kViewTree && path[0]) {
        path[0] = (char)toupper((unsigned char)path[0]);
        PanelSetPath(panel, path);
    }
    if (mode != kViewTree && location && location->kind == kLocationFtp) {
        int listed = FtpListPanel(&listing, panel);
        err = listed == 0 ? 0 : listed > 0 ? (uint32_t)listed : ERROR_NOT_CONNECTED;
    } else if (mode != kViewTree && location && location->kind == kLocationCeDevice) {
        int listed = CePanelList(panel, location, &listing);
        if (listed == kCePanelLeft)
            return 0; // the panel shows something else by now
        if (listed != 0) {
            // The device is gone or the folder unreadable: the interface
            // thread, which owns the location, drops it and the panel shows
            // its own folder again.
            PostList(panel, WM_USER + 1, kPanelRefreshLeaveDevice);
            return 0;
        }
        PanelGetPath(panel, path, sizeof path);
    } else if (mode != kViewTree && !location) {
        // Some file systems report a vanished folder as an empty one.
        err = FolderExists(path) ? DirReadEntries(path, &listing) : ERROR_PATH_NOT_FOUND;
        if (!err)
            MarkSharedFolders(path, &listing);
    } else if (mode != kViewTree && location->kind < kLocationFtp) {
        // An archive level; one that cannot be read any more is left on the
        // interface thread, which owns the location chain.
        if (!ArcRereadArchive(location, &listing, gApp->archivePassword)) {
            PostList(panel, WM_USER + 1, kPanelRefreshLeaveArchive);
            return 0;
        }
    }
    if (err) {
        DirListing drop = listing;
        MemFree(&drop.entryIndex);
        MemFree(&drop.entryBlock);
        return (int)err;
    }
    if (gPanelRereadProbe)
        gPanelRereadProbe(panel);
    PanelListData data;
    data.entryBlock = listing.entryBlock;
    data.entryIndex = listing.entryIndex;
    data.entryCount = listing.entryIndex ? listing.entryCount : 0;
    data.fileCount = listing.fileCount;
    data.dirCount = listing.dirCount;
    data.fileBytes = listing.totalBytes;
    bool allEntries = !(gApp->panelOptions & kPanelNoSymbols);
    // The cursor stays on its entry when others come or go before it.
    char follow[260] = "";
    int followIndex = gApp->cursorIndex[panel];
    if (keepMarks)
        PanelCursorName(panel, follow, sizeof follow);
    if (!PanelListInstallCarry(panel, data, keepMarks && mode != kViewTree, allEntries, 5000)) {
        PanelListFree(data);
        return ERROR_BUSY; // readers held the list too long: next cycle
    }
    PanelListFree(data); // the old list, now out of every reader's reach
    PanelStartIconLoader(panel);
    {
        std::lock_guard<std::mutex> lock(gNameLock);
        CopyBounded(gFollow[panel], follow, sizeof gFollow[panel]);
        gFollowIndex[panel] = followIndex;
        gFollowSet[panel] = follow[0] != 0;
    }

    PanelState &ps = gApp->panels[panel];
    ps.driveLetter = (char)toupper((unsigned char)path[0]);
    uint32_t cluster = 0;
    uint64_t freeBytes = 0, totalBytes = 0;
    if (location || SpaceGetDiskFree(path, &cluster, &freeBytes, &totalBytes) == 0)
        cluster = 0, freeBytes = 0, totalBytes = 0;
    ps.clusterSize = cluster;
    ps.freeBytes = freeBytes;
    ps.totalBytes = totalBytes;
    return 0;
}

static int RereadFlagged(int panel);

int PanelRereadIfFlagged(int panel) {
    if (!(gRefreshFlags[panel].load() & kRefreshWanted))
        return 0;
    // Busy is set before Wanted is cleared: an observer never sees neither
    // while a request is being served.
    gRefreshFlags[panel].fetch_or(kRefreshBusy);
    int err = RereadFlagged(panel);
    gRefreshFlags[panel].fetch_and(~(uint32_t)kRefreshBusy);
    return err;
}

static int RereadFlagged(int panel) {
    // Cleared before reading: a request made while we read is kept for the
    // next cycle instead of being lost.
    uint32_t flags = gRefreshFlags[panel].fetch_and(~(uint32_t)kRefreshWanted);
    if (!(flags & kRefreshWanted))
        return 0;
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    int keepMarks;
    {
        std::lock_guard<std::mutex> lock(gNameLock);
        keepMarks = strcmp(path, gLastReadPath[panel]) == 0;
    }
    int err = PanelReread(panel, keepMarks);
    {
        std::lock_guard<std::mutex> lock(gNameLock);
        CopyBounded(gLastReadPath[panel], path, sizeof gLastReadPath[panel]);
    }
    if (err == 0) {
        PostList(panel, WM_USER + 1, kPanelRefreshListChanged);
        return 0;
    }
    if (err == ERROR_PATH_NOT_FOUND || err == ERROR_FILE_NOT_FOUND || err == ERROR_INVALID_NAME) {
        // The folder went away: show the nearest parent that still exists.
        char nearest[260];
        CopyBounded(nearest, path, sizeof nearest);
        NearestExisting(nearest);
        if (strcmp(nearest, path) != 0) {
            PanelRequestRereadSelect(panel, path);
            PanelSetPath(panel, nearest);
            PostList(panel, WM_USER + 1, kPanelRefreshPathChanged);
        }
    } else if (err == ERROR_NOT_READY) {
        char root[260];
        PathGetWindowsRoot(root);
        PanelSetPath(panel, root);
        PostList(panel, WM_USER + 1, kPanelRefreshPathChanged);
    }
    gRefreshFlags[panel].fetch_or(kRefreshWanted);
    return err;
}

void PanelRefreshThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    for (int p = 0; p < 2; p++)
        gRefreshFlags[p].fetch_or(kRefreshAlive | kRefreshKeepOn | kRefreshWanted);
    if (gMainWindow)
        PostMessageA(gMainWindow, WM_COMMAND, 801, 0);
    int existCountdown = 0;
    while (gRefreshFlags[0].load() & kRefreshKeepOn) {
        // A change watch on a folder that is itself deleted may never fire:
        // look once a second whether the shown folders still exist.
        if (--existCountdown <= 0) {
            existCountdown = 20;
            for (int p = 0; p < 2; p++) {
                char path[260];
                PanelGetPath(p, path, sizeof path);
                // Local drives only: a lost network share may take long to answer.
                if (!gApp->panels[p].location && path[0] && path[1] == ':' && !FolderExists(path))
                    PanelRequestReread(p);
            }
        }
        if ((gRefreshFlags[0].load() | gRefreshFlags[1].load()) & kRefreshWanted) {
            if (gShareCountdown.load() <= 0) {
                gShareCountdown = kShareListCycles;
                ShareListRefresh(&gApp->shareList, gApp->isWinNT);
            }
            if ((gApp->panelMode[0] & 0xF) == kViewTree) {
                PanelRereadIfFlagged(1);
                PanelRereadIfFlagged(0);
            } else {
                int active = gApp->activePanel & 1;
                PanelRereadIfFlagged(active);
                PanelRereadIfFlagged(!active);
            }
        }
        Sleep(50);
        if (gShareCountdown.load() > 0)
            gShareCountdown--;
    }
    gRefreshFlags[1].fetch_and(~(uint32_t)kRefreshAlive);
    gRefreshFlags[0].fetch_and(~(uint32_t)kRefreshAlive);
}

bool PanelRefreshStart() {
    if (gRefreshThread)
        return true;
    gPanelListFreeFn = FreeBlock;
    gRefreshFlags[0].fetch_or(kRefreshKeepOn);
    gRefreshFlags[1].fetch_or(kRefreshKeepOn);
    gRefreshThread = CreateThread(nullptr, 0, RefreshThreadMain, nullptr, 0, nullptr);
    return gRefreshThread != nullptr;
}

void PanelRefreshStop() {
    gRefreshFlags[0].fetch_and(~(uint32_t)kRefreshKeepOn);
    gRefreshFlags[1].fetch_and(~(uint32_t)kRefreshKeepOn);
    for (int i = 0; i < 30 && (gRefreshFlags[0].load() & kRefreshAlive); i++)
        Sleep(100);
    PanelStopIconLoaders();
    if (gRefreshThread) {
        CloseHandle(gRefreshThread);
        gRefreshThread = nullptr;
    }
}

void PanelShareListExpire() { gShareCountdown = 0; }

bool PanelTakeReselectName(int panel, char *out, size_t size) {
    std::lock_guard<std::mutex> lock(gNameLock);
    if (!(gRefreshFlags[panel].load() & kRefreshSelect))
        return false;
    CopyBounded(out, gReselect[panel], size);
    gRefreshFlags[panel].fetch_and(~(uint32_t)kRefreshSelect);
    return true;
}

bool PanelKeepReselectName(int panel, const char *name) {
    std::lock_guard<std::mutex> lock(gNameLock);
    if (!(gRefreshFlags[panel].load() & (kRefreshWanted | kRefreshBusy)))
        return false;
    if (!(gRefreshFlags[panel].load() & kRefreshSelect)) // a newer name wins
        CopyBounded(gReselect[panel], name, sizeof gReselect[panel]);
    gRefreshFlags[panel].fetch_or(kRefreshSelect);
    return true;
}

bool PanelTakeFollowName(int panel, char *out, size_t size) {
    std::lock_guard<std::mutex> lock(gNameLock);
    if (!gFollowSet[panel])
        return false;
    gFollowSet[panel] = false;
    // The user moved the cursor after the name was read: where they put it
    // wins over the entry it was on.
    if (gApp->cursorIndex[panel] != gFollowIndex[panel])
        return false;
    CopyBounded(out, gFollow[panel], size);
    return true;
}

void PanelSwapRefreshState() {
    std::lock_guard<std::mutex> lock(gNameLock);
    char t[260];
    memcpy(t, gLastReadPath[0], sizeof t);
    memcpy(gLastReadPath[0], gLastReadPath[1], sizeof t);
    memcpy(gLastReadPath[1], t, sizeof t);
    gFollowSet[0] = gFollowSet[1] = false;
}

bool PanelResort(int panel) {
    gPanelListFreeFn = FreeBlock;
    SortRequest req = {panel, gApp->panelSort[panel], gApp->panelReverse[panel]};
    // The interface thread waits at most a few slices; past that the next
    // re-read sorts with the new key.
    if (PanelListResort(panel, SortIndex, &req, 300))
        return true;
    PanelRequestReread(panel);
    return false;
}

void PanelSetSortKey(int panel, int key) {
    char name[260];
    if (!PanelCursorName(panel, name, sizeof name))
        return;
    gApp->panelSort[panel] = (uint16_t)key;
    if (PanelResort(panel))
        PanelFindSetCursor(name, panel);
    else
        PanelRequestRereadSelect(panel, name);
    PostList(panel, WM_USER + 1, 0);
}

void PanelToggleReversed(int panel) { gApp->panelReverse[panel] = gApp->panelReverse[panel] ? 0 : 1; }

bool PanelFindSetCursor(const char *pathOrName, int panel) {
    const char *name = strrchr(pathOrName, '\\');
    name = name ? name + 1 : pathOrName;
    PanelIter it;
    int32_t found = -1;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (NameEqualsUpper(EntryName(e), name)) {
            found = (int32_t)it.position;
            break;
        }
    }
    PanelIterEnd(&it);
    if (found < 0)
        return false;
    int32_t page = (int32_t)gApp->panels[panel].pageSize;
    gApp->cursorIndex[panel] = (uint32_t)found;
    if (found < gApp->topIndex[panel])
        gApp->topIndex[panel] = found;
    else if (page > 0 && found >= gApp->topIndex[panel] + page)
        gApp->topIndex[panel] = found - page + 1;
    return true;
}

bool PanelSetCursorCentred(const char *name, int panel) {
    if (!PanelFindSetCursor(name, panel))
        return false;
    int mode = gApp->panelMode[panel] & 0xF;
    int32_t page = (int32_t)gApp->panels[panel].pageSize;
    int32_t cursor = (int32_t)gApp->cursorIndex[panel];
    if ((mode == kViewFull || mode == kViewCustom) && page / 2 < cursor) {
        gApp->topIndex[panel] = cursor - page / 2;
        if (cursor < gApp->topIndex[panel])
            gApp->topIndex[panel] = cursor;
        else if (page > 0 && cursor >= gApp->topIndex[panel] + page)
            gApp->topIndex[panel] = cursor - page + 1;
    }
    return true;
}

// ---- entry access that needs the panel's state

FileEntry *PanelGetCursorEntry(PanelIter *iter, int panel) {
    PanelIterBegin(iter, panel);
    return PanelIterAt(iter, gApp->cursorIndex[panel]);
}

int PanelCursorName(int panel, char *out, int max) {
    if (!out || max <= 0)
        return 0;
    out[0] = 0;
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (e)
        CopyBounded(out, EntryName(e), (size_t)max);
    PanelIterEnd(&it);
    return e != nullptr;
}

int PanelEntryPath(const FileEntry *entry, int panel, char *out, int max) {
    if (!out || max <= 0)
        return 123;
    PanelGetPath(panel, out, (size_t)max);
    size_t n = strlen(out);
    int r = 0;
    if (n && out[n - 1] != '\\' && out[n - 1] != '/')
        r = StrAppend(out, "\\", (size_t)max);
    int r2 = StrAppend(out, entry ? EntryName(entry) : "", (size_t)max);
    return r ? r : r2;
}

int PanelCursorEntryPath(int panel, char *out, int max) {
    if (!out || max <= 0)
        return 0;
    out[0] = 0;
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (e)
        PanelEntryPath(e, panel, out, max);
    PanelIterEnd(&it);
    return e != nullptr;
}

FileEntry *PanelFindJobEntry(PanelIter *iter, const JobRecord *job, const char *name) {
    FileEntry *e = PanelIterBegin(iter, job ? job->sourcePanel & 1 : 0);
    if (!job || !name)
        return nullptr;
    for (; e; e = PanelIterNext(iter))
        if (strcmp(EntryName(e), name) == 0)
            return e;
    return nullptr;
}
