#include "panels/PanelCarry.h"

#include <string_view>
#include <unordered_map>

#include "panels/PanelIter.h"

namespace {

struct CarryKey {
    std::string_view name;
    bool folder;
    bool operator==(const CarryKey &o) const { return folder == o.folder && name == o.name; }
};
struct CarryHash {
    size_t operator()(const CarryKey &k) const { return std::hash<std::string_view>()(k.name) ^ (size_t)k.folder; }
};

void CarryOver(const PanelListData &old, const std::unordered_map<CarryKey, FileEntry *, CarryHash> &fresh,
               bool allEntries) {
    if (!old.entryIndex)
        return;
    for (FileEntry **p = old.entryIndex; *p; p++) {
        FileEntry *o = *p;
        if (!allEntries && !(o->mark & 1))
            continue;
        auto it = fresh.find(CarryKey{EntryName(o), EntryIsFolder(o)});
        if (it == fresh.end())
            continue;
        FileEntry *n = it->second;
        n->mark = o->mark;
        n->iconIndex = o->iconIndex;
        if (EntryIsFolder(o)) {
            n->sizeLow = o->sizeLow;
            n->sizeHigh = o->sizeHigh;
        }
    }
}

} // namespace

bool PanelListInstallCarry(int panel, PanelListData &data, bool keepMarks, bool allEntries, int timeoutMs) {
    std::unordered_map<CarryKey, FileEntry *, CarryHash> fresh;
    if (keepMarks && data.entryIndex) {
        fresh.reserve(data.entryCount);
        for (FileEntry **p = data.entryIndex; *p; p++)
            fresh.emplace(CarryKey{EntryName(*p), EntryIsFolder(*p)}, *p);
    }
    if (!PanelListLockExclusive(panel, timeoutMs))
        return false;
    PanelListSlot &slot = gPanelLists[panel];
    if (keepMarks)
        CarryOver(slot.list, fresh, allEntries);
    PanelListData old = slot.list;
    slot.list = data;
    slot.generation.fetch_add(1);
    data = old;
    PanelListUnlockExclusive(panel);
    return true;
}
