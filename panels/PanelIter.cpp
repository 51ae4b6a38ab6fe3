#include "panels/PanelIter.h"

#include <string.h>

#include "panels/PanelList.h"

FileEntry *PanelIterBegin(PanelIter *iter, int panel) {
    if (!iter)
        return nullptr;
    iter->panel = (uint16_t)panel;
    iter->position = 0;
    iter->cursor = nullptr;
    iter->open = 0;
    if (panel != 0 && panel != 1)
        return nullptr;
    PanelListReadBegin(panel);
    iter->open = 1;
    iter->cursor = gPanelLists[panel].list.entryIndex;
    return iter->cursor ? *iter->cursor : nullptr;
}

FileEntry *PanelIterNext(PanelIter *iter) {
    if (!iter || !iter->open || !iter->cursor || !*iter->cursor)
        return nullptr;
    iter->position++;
    iter->cursor++;
    return *iter->cursor;
}

void PanelIterEnd(PanelIter *iter) {
    if (!iter || !iter->open)
        return;
    iter->open = 0;
    iter->cursor = nullptr;
    PanelListReadEnd(iter->panel);
}

uint32_t PanelIterCount(const PanelIter *iter) {
    if (!iter || !iter->open)
        return 0;
    const PanelListData &l = gPanelLists[iter->panel].list;
    return l.entryIndex ? l.entryCount : 0;
}

FileEntry *PanelIterAt(PanelIter *iter, uint32_t position) {
    if (!iter || !iter->open)
        return nullptr;
    const PanelListData &l = gPanelLists[iter->panel].list;
    if (!l.entryIndex || position >= l.entryCount)
        return nullptr;
    iter->position = position;
    iter->cursor = l.entryIndex + position;
    return *iter->cursor;
}

FileEntry *PanelFirstMarked(PanelIter *iter, int panel) {
    for (FileEntry *e = PanelIterBegin(iter, panel); e; e = PanelIterNext(iter))
        if (e->mark & 1)
            return e;
    return nullptr;
}

static uint32_t CountMarked(int panel, bool dirsOnly) {
    PanelIter it;
    uint32_t n = 0;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if ((e->mark & 1) && !EntryIsUpDir(e) && (!dirsOnly || EntryIsFolder(e)))
            n++;
    PanelIterEnd(&it);
    return n;
}

uint32_t PanelCountMarked(int panel) { return CountMarked(panel, false); }
uint32_t PanelCountMarkedDirs(int panel) { return CountMarked(panel, true); }

const char *EntryName(const FileEntry *e) { return e->name; }

const char *EntryShortName(const FileEntry *e) {
    return e->shortNameOffset ? e->name + e->shortNameOffset : "";
}

const char *EntryDisplayName(const FileEntry *e) {
    return e->displayNameOffset ? e->name + e->displayNameOffset : e->name;
}

uint64_t EntrySize(const FileEntry *e) { return ((uint64_t)e->sizeHigh << 32) | e->sizeLow; }

void PanelResetWidths(int panel) {
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        e->nameWidth = 0;
        e->sizeWidth = 0;
    }
    PanelIterEnd(&it);
}

bool PanelStoreFolderSize(int panel, const char *name, uint64_t size) {
    PanelIter it;
    bool stored = false;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (EntryIsFolder(e) && !EntryIsUpDir(e) && strcmp(EntryName(e), name) == 0) {
            uint64_t stored1 = size + 1;
            e->sizeLow = (uint32_t)stored1;
            e->sizeHigh = (uint32_t)(stored1 >> 32);
            stored = true;
            break;
        }
    }
    PanelIterEnd(&it);
    return stored;
}
