#include "panels/SpaceCount.h"

#include <process.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "base/Numbers.h"
#include "base/Texts.h"
#include "fileops/FileSystem.h"
#include "panels/Filter.h"
#include "panels/PanelCompare.h"
#include "panels/PanelIter.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"
#include "panels/PanelWindow.h"

extern AppState *gApp;

namespace {

bool StopWanted(const SpaceStats *stats)
{
    if (stats->stopWanted && stats->stopWanted(stats->stopContext))
        return true;
    return gApp && (gApp->dirSizeFlags & (4 << stats->panel)) != 0;
}

uint64_t Aligned(uint64_t size, uint32_t cluster)
{
    if (!cluster)
        return size;
    uint64_t r = size % cluster;
    return r ? size + cluster - r : size;
}

void CountFile(const char *folder, const char *name, uint16_t attributes, uint16_t date, uint16_t time,
               uint64_t size, SpaceStats *stats)
{
    if (stats->filter && FilterTestEntry(folder, name, attributes, date, time, &size, stats->filter)) {
        stats->filteredFileCount++;
        stats->filteredBytes += size;
        stats->filteredAllocatedBytes += Aligned(size, stats->clusterSize);
    }
    stats->fileCount++;
    stats->bytes += size;
    stats->allocatedBytes += Aligned(size, stats->clusterSize);
}

// The depth limit is a guard only: links are never followed, so a cycle
// cannot occur.
void CountTree(const char *folder, SpaceStats *stats, int depth)
{
    if (depth > 200) {
        stats->unreadableFolders++;
        return;
    }
    uint32_t error = 0;
    DirListRecord *list = DirReadListEx(folder, &error);
    if (!list) {
        if (error)
            stats->unreadableFolders++;
        return;
    }
    for (const DirListRecord *r = list; r->length && !StopWanted(stats); r = DirListNext(r)) {
        if (r->attributes & FILE_ATTRIBUTE_DIRECTORY) {
            stats->folderCount++;
            if (DirIsLink(r->attributes))
                stats->linksNotEntered++;
            else if (r->attributes & kDirListTooLong)
                stats->unreadableFolders++;
            else
                CountTree(r->path, stats, depth + 1);
            continue;
        }
        const char *slash = strrchr(r->path, '\\');
        CountFile(folder, slash ? slash + 1 : r->path, r->attributes, r->dosDate, r->dosTime, r->size, stats);
    }
    DirFreeList(list);
}

struct Picked {
    std::string name, path;
    uint16_t flags, date, time;
    uint64_t size;
};

} // namespace

void SpaceCountFolder(const char *folder, SpaceStats *stats) { CountTree(folder, stats, 0); }

void SpaceCountSelection(HWND owner, int panel, bool markCounted, SpaceStats *stats)
{
    // Copy what is counted while the list is held, then count without it:
    // a swap or a re-read must not wait for a long walk.
    std::vector<Picked> picked;
    bool marked = PanelCountMarked(panel) > 0;
    PanelIter it;
    FileEntry *e = marked ? PanelFirstMarked(&it, panel) : PanelGetCursorEntry(&it, panel);
    for (; e; e = marked ? PanelIterNext(&it) : nullptr) {
        if (marked && !(e->mark & 1))
            continue;
        if (EntryIsUpDir(e))
            continue;
        char path[kPathSize];
        PanelEntryPath(e, panel, path, sizeof path);
        picked.push_back({EntryName(e), path, e->flags, e->date, e->time, EntrySize(e)});
    }
    PanelIterEnd(&it);
    if (picked.empty())
        return;
    if (picked[0].path.size() > 1 && picked[0].path[1] == ':' && FileSetDrive(owner, picked[0].path[0]))
        return;
    char folder[kPathSize];
    PanelGetPath(panel, folder, sizeof folder);
    std::vector<std::string> counted;
    for (const Picked &p : picked) {
        if (StopWanted(stats))
            break;
        if (p.flags & kEntryFolder) {
            stats->folderCount++;
            if (p.flags & kEntryJunction)
                stats->linksNotEntered++;
            else
                SpaceCountFolder(p.path.c_str(), stats);
        } else {
            CountFile(folder, p.name.c_str(), p.flags, p.date, p.time, p.size, stats);
        }
        counted.push_back(p.name);
    }
    if (!markCounted || !marked)
        return;
    size_t next = 0;
    for (FileEntry *f = PanelIterBegin(&it, panel); f && next < counted.size(); f = PanelIterNext(&it)) {
        if ((f->mark & 1) && counted[next] == EntryName(f)) {
            f->mark = 2;
            PanelInvalidateRow(panel, it.position);
            next++;
        }
    }
    PanelIterEnd(&it);
}

void SpaceFormatMessage(const SpaceStats *s, char *out, size_t size)
{
    char bytes[kNumberTextSize], files[kNumberTextSize], folders[kNumberTextSize], allocated[kNumberTextSize];
    StrFormatNumber64(&s->bytes, bytes);
    StrFormatNumber(s->fileCount, files);
    StrFormatNumber(s->folderCount, folders);
    StrFormatNumber64(&s->allocatedBytes, allocated);
    char part[600];
    if (s->folderCount)
        TextFormat(out, size, Txt::txtOccupied1, bytes, files, folders);
    else
        TextFormat(out, size, Txt::txtOccupied2, bytes, files);
    TextFormat(part, sizeof part, Txt::txtOccupied3, allocated);
    strncat(out, part, size - strlen(out) - 1);
    if (s->linksNotEntered) {
        TextFormat(part, sizeof part, Txt::txtOccLinks, (unsigned long)s->linksNotEntered);
        strncat(out, part, size - strlen(out) - 1);
    }
    if (s->unreadableFolders) {
        TextFormat(part, sizeof part, Txt::txtOccUnread, (unsigned long)s->unreadableFolders);
        strncat(out, part, size - strlen(out) - 1);
    }
}

namespace {

unsigned __stdcall OccupiedSpaceThread(void *)
{
    int panel = gApp->activePanel & 1;
    InterlockedOr(&gApp->dirSizeFlags, panel + 1);
    InterlockedAnd(&gApp->dirSizeFlags, ~(LONG)(4 << panel));
    SpaceStats stats = {};
    stats.panel = (uint16_t)panel;
    stats.clusterSize = gApp->panels[panel].clusterSize;
    SpaceCountSelection(gMainWindow, panel, true, &stats);
    if (HWND list = gApp->panels[panel].listWindow)
        PostMessageA(list, WM_USER + 1, 0, 0);
    char text[1600];
    SpaceFormatMessage(&stats, text, sizeof text);
    InterlockedAnd(&gApp->dirSizeFlags, ~(LONG)(panel + 1));
    // A box of this thread's own, owned by no window of the interface thread.
    MessageBoxA(nullptr, text, gApp->windowTitle, MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
    return 0;
}

} // namespace

void OccupiedSpaceCommand(HWND)
{
    uintptr_t h = _beginthreadex(nullptr, 0, OccupiedSpaceThread, nullptr, 0, nullptr);
    if (h)
        CloseHandle((HANDLE)h);
}

void PanelsCompareCommand(HWND owner)
{
    char left[kPathSize], right[kPathSize];
    PanelGetPath(0, left, sizeof left);
    PanelGetPath(1, right, sizeof right);
    for (const char *path : {left, right}) {
        if (path[0] && path[1] == ':' && FileSetDrive(owner, path[0]))
            return;
    }
    // Linear in the two lists, so it runs here: the marks are the interface
    // thread's, and no thread paints while they change.
    bool newer = (gApp->generalOptions & 0x40000000u) != 0;
    PanelsCompareMark(0, 1, newer);
    PanelsCompareMark(1, 0, newer);
    for (int p = 0; p < 2; p++) {
        if (HWND list = gApp->panels[p].listWindow)
            PanelRepaintAll(list);
    }
    PanelUpdateStatusLine();
}
