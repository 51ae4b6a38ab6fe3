#include "panels/PanelIcons.h"

#include <process.h>
#include <string.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <string>
#include <vector>

#include "AppState.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"

extern AppState *gApp;

namespace {

// Resource ids of the own set, in slot order.
const int kIconIds[kOwnIconCount + 1] = {28, 29, 27, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 46, 44, 43, 0};

// Bumped to stop every loader (the panels close).
std::atomic<uint32_t> gLoaderEpoch{0};

bool RemoteLink(const FileEntry *e) { return (e->flags & (kEntryRemote | kEntryShared)) == (kEntryRemote | kEntryShared); }

// The shell's answer for one path: its small-icon index + 1, or 0. The icon
// handle the shell makes with it is destroyed at once: only the index and
// the fact that there was an icon are used.
int32_t ShellIndex(const char *path, DWORD attributes, UINT extra) {
    SHFILEINFOA info = {};
    DWORD_PTR ok = SHGetFileInfoA(path, attributes, &info, sizeof info,
                                  SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_ICON | extra);
    if (info.hIcon)
        DestroyIcon(info.hIcon);
    return ok && info.hIcon ? info.iIcon + 1 : 0;
}

int32_t FolderIndex() {
    LONG known = gApp->folderIconIndex;
    if (known > 0)
        return known;
    char windows[MAX_PATH];
    if (!GetWindowsDirectoryA(windows, sizeof windows))
        return 0;
    int32_t index = ShellIndex(windows, 0, 0);
    if (index > 0)
        InterlockedExchange(&gApp->folderIconIndex, index);
    return index;
}

struct Copied {
    std::string name;
    uint16_t flags = 0;
    int32_t code = 0;
};

// The panel's list as the loader started on it: a re-read, a re-sort or a
// swap changes the generation, a re-read or swap also the block.
struct ListMark {
    uint32_t generation;
    uint8_t *block;
    uint32_t epoch;
};

bool Same(int panel, const ListMark &m) {
    const PanelListSlot &slot = gPanelLists[panel];
    return slot.generation.load() == m.generation && slot.list.entryBlock == m.block &&
           gLoaderEpoch.load() == m.epoch;
}

// One entry copied under a short iteration; false when the list changed or
// the entries ended.
bool CopyEntry(int panel, const ListMark &m, uint32_t i, Copied *out) {
    PanelIter it;
    PanelIterBegin(&it, panel);
    FileEntry *e = Same(panel, m) ? PanelIterAt(&it, i) : nullptr;
    if (e) {
        out->name = EntryName(e);
        out->flags = e->flags;
        out->code = (int32_t)e->iconIndex;
    }
    PanelIterEnd(&it);
    return e != nullptr;
}

unsigned __stdcall LoaderThread(void *parameter) {
    int panel = (int)(intptr_t)parameter;
    HRESULT com = CoInitialize(nullptr);
    IconWorkerRun(panel);
    if (SUCCEEDED(com))
        CoUninitialize();
    gPanelLists[panel].workerBusy.fetch_sub(1);
    return 0;
}

} // namespace

void PanelLoadIcons(HINSTANCE instance) {
    if (!gApp)
        return;
    int loaded = 0;
    for (int slot = 0; kIconIds[slot]; slot++) {
        if (gApp->panelIcons[slot])
            continue;
        gApp->panelIcons[slot] =
            (HICON)LoadImageA(instance, MAKEINTRESOURCEA(kIconIds[slot]), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
        if (gApp->panelIcons[slot])
            loaded++;
    }
    if (!gApp->ownImageList && loaded) {
        // Slot order is image order: only a complete set makes the list.
        bool complete = true;
        for (int slot = 0; slot < kOwnIconCount; slot++)
            complete = complete && gApp->panelIcons[slot];
        if (complete) {
            gApp->ownImageList = ImageList_Create(16, 16, ILC_MASK | ILC_COLORDDB, kOwnIconCount, 1);
            for (int slot = 0; gApp->ownImageList && slot < kOwnIconCount; slot++)
                ImageList_AddIcon(gApp->ownImageList, gApp->panelIcons[slot]);
        }
    }
    if (!gApp->systemImageList) {
        SHFILEINFOA info = {};
        gApp->systemImageList =
            (HIMAGELIST)SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    }
}

void PanelFreeIcons() {
    if (!gApp)
        return;
    for (HICON &icon : gApp->panelIcons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
    if (gApp->ownImageList)
        ImageList_Destroy(gApp->ownImageList);
    gApp->ownImageList = nullptr;
    // The system image list is the shell's: never destroyed here.
}

int32_t IconArchiveClass(const FileEntry *entry) { return IconArchiveClassName(EntryName(entry)); }

int32_t IconQuickClass(FileEntry *e, int panel) {
    const char *name = EntryName(e);
    bool folder = EntryIsFolder(e), upDir = EntryIsUpDir(e);
    if (upDir || folder || IconArchiveClassName(name))
        return IconKindClass(name, folder, upDir, RemoteLink(e));
    if (gApp->panels[panel & 1].location) {
        // Archive members, FTP and device files: by name alone, once.
        int32_t index = ShellIndex(name, 0, SHGFI_USEFILEATTRIBUTES | SHGFI_OPENICON);
        if (index > 0)
            e->iconIndex = (uint32_t)index;
        return index;
    }
    return IconKindClass(name, false, false, false);
}

void PanelDrawEntryIcon(HDC dc, int x, int top, const FileEntry *e, int32_t code, HBRUSH rowBrush,
                        COLORREF rowBack, bool local) {
    const bool blend = local && (e->flags & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    const UINT style = blend ? ILD_BLEND50 : ILD_NORMAL;
    if (code > 0) {
        if (gApp->systemImageList)
            ImageList_DrawEx(gApp->systemImageList, code - 1, dc, x, top, 16, 16, rowBack, rowBack, style);
    } else if (code < 0 && -code <= kOwnIconCount) {
        if (gApp->ownImageList && code != kIconUpDir && blend) {
            ImageList_DrawEx(gApp->ownImageList, -code - 1, dc, x, top, 16, 16, rowBack, rowBack, style);
        } else if (HICON icon = gApp->panelIcons[-code - 1]) {
            DrawIconEx(dc, x, top, icon, 16, 16, 0, rowBrush, DI_NORMAL);
        }
    }
    if (!local)
        return;
    if ((e->flags & kEntryShared) && gApp->panelIcons[-kIconSharedOverlay - 1])
        DrawIconEx(dc, x, top, gApp->panelIcons[-kIconSharedOverlay - 1], 16, 16, 0, nullptr, DI_NORMAL);
    if ((e->flags & 0x4000) && gApp->panelIcons[-kIconAttrOverlay - 1])
        DrawIconEx(dc, x, top, gApp->panelIcons[-kIconAttrOverlay - 1], 16, 16, 0, nullptr, DI_NORMAL);
}

void IconWorkerRun(int panel) {
    panel &= 1;
    ListMark m;
    {
        PanelIter it;
        PanelIterBegin(&it, panel);
        m.generation = gPanelLists[panel].generation.load();
        m.block = gPanelLists[panel].list.entryBlock;
        PanelIterEnd(&it);
    }
    m.epoch = gLoaderEpoch.load();
    char folder[MAX_PATH];
    PanelGetPath(panel, folder, sizeof folder);
    char root[4] = {folder[0], ':', '\\', 0};
    const bool fixedDisk = folder[0] && folder[1] == ':' && GetDriveTypeA(root) == DRIVE_FIXED;
    Copied entry;
    for (uint32_t i = 0; CopyEntry(panel, m, i, &entry); i++) {
        if (entry.code != 0)
            continue;
        const bool folderEntry = (entry.flags & kEntryFolder) != 0;
        int32_t code;
        bool shared = false;
        if (entry.flags & kEntryUpDir) {
            code = kIconUpDir;
        } else if (folderEntry && !fixedDisk) {
            code = kIconFolder; // other drives never reach the shell for folders
        } else if (!folderEntry && IconArchiveClassName(entry.name.c_str())) {
            code = kIconArchive;
        } else {
            int32_t ordinary = folderEntry ? FolderIndex() : 0;
            std::string path = folder;
            if (path.empty() || path.back() != '\\')
                path += '\\';
            path += entry.name;
            int32_t index = path.size() < MAX_PATH ? ShellIndex(path.c_str(), 0, 0) : 0;
            if (!index)
                code = folderEntry ? kIconFolder : kIconFile;
            else if (folderEntry)
                code = index == ordinary ? kIconFolder : index; // ordinary folders look alike everywhere
            else {
                code = index;
                shared = IconSharedByExtension(entry.name.c_str());
            }
        }
        // Stored only into the list the loader started on, and only where
        // no code is yet; the rows are repainted after the list is let go.
        std::vector<uint32_t> rows;
        {
            PanelIter it;
            PanelIterBegin(&it, panel);
            if (Same(panel, m)) {
                FileEntry *e = PanelIterAt(&it, i);
                if (e && e->iconIndex == 0) {
                    e->iconIndex = (uint32_t)code;
                    rows.push_back(i);
                }
                // The shell is asked once per extension: every other file
                // of exactly that extension takes the same icon.
                const char *ext = shared ? IconExtension(entry.name.c_str()) : nullptr;
                for (FileEntry *f = ext ? PanelIterAt(&it, i + 1) : nullptr; f; f = PanelIterNext(&it)) {
                    if (f->iconIndex || EntryIsFolder(f) || EntryIsUpDir(f))
                        continue;
                    if (strcmp(IconExtension(EntryName(f)), ext) == 0) {
                        f->iconIndex = (uint32_t)code;
                        rows.push_back(it.position);
                    }
                }
            }
            PanelIterEnd(&it);
        }
        for (uint32_t row : rows)
            PanelInvalidateRowIcon(panel, row);
        if (!Same(panel, m))
            break;
    }
}

void PanelStartIconLoader(int panel) {
    panel &= 1;
    if (!gApp || !(gApp->panelOptions & kPanelWinIco) || (gApp->panelOptions & kPanelNoSymbols))
        return;
    if (gApp->panels[panel].location || (gApp->panelMode[panel] & 0xF) == kViewTree)
        return;
    char path[MAX_PATH];
    PanelGetPath(panel, path, sizeof path);
    char letter = (char)(path[0] & ~0x20);
    if ((letter == 'A' || letter == 'B') && path[1] == ':' && !(gApp->panelOptions & kPanelFloppyIco))
        return;
    gPanelLists[panel].workerBusy.fetch_add(1);
    uintptr_t h = _beginthreadex(nullptr, 0, LoaderThread, (void *)(intptr_t)panel, 0, nullptr);
    if (h)
        CloseHandle((HANDLE)h);
    else
        gPanelLists[panel].workerBusy.fetch_sub(1);
}

void PanelStopIconLoaders() {
    gLoaderEpoch.fetch_add(1);
    for (int i = 0; i < 300; i++) {
        if (gPanelLists[0].workerBusy.load() == 0 && gPanelLists[1].workerBusy.load() == 0)
            return;
        Sleep(10);
    }
}

int PanelIconLoadersBusy(int panel) { return gPanelLists[panel & 1].workerBusy.load(); }
