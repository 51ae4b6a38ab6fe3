#include "panels/PanelCompare.h"

#include <string>
#include <unordered_map>

#include "base/DateTime.h"
#include "panels/EntryBuild.h"
#include "panels/PanelIter.h"

namespace {

std::string Folded(const char *name)
{
    std::string key(name);
    if (!key.empty() && gNameCaseOps.upper)
        gNameCaseOps.upper(&key[0], (uint32_t)key.size());
    return key;
}

} // namespace

uint32_t PanelsCompareMark(int panel, int other, bool markNewer)
{
    PanelIter theirs, ours;
    // The first entry of each name wins, as a walk from the top would find it.
    std::unordered_map<std::string, FileEntry *> names;
    for (FileEntry *e = PanelIterBegin(&theirs, other); e; e = PanelIterNext(&theirs)) {
        if (!EntryIsUpDir(e))
            names.emplace(Folded(EntryName(e)), e);
    }
    uint32_t marked = 0;
    for (FileEntry *e = PanelIterBegin(&ours, panel); e; e = PanelIterNext(&ours)) {
        e->mark &= (uint8_t)~1;
        if (EntryIsUpDir(e))
            continue;
        auto found = names.find(Folded(EntryName(e)));
        FileEntry *c = found == names.end() ? nullptr : found->second;
        bool mark = false;
        if (!c || EntryIsFolder(c) != EntryIsFolder(e)) {
            mark = true;
        } else if (!EntryIsFolder(e)) {
            int d = DosStampCompare(c->date, c->time, e->date, e->time);
            if (d != 0) {
                mark = !markNewer || d < 0;
            } else if (EntrySize(c) != EntrySize(e)) {
                mark = true;
                c->mark |= 1;
            }
        }
        if (mark) {
            e->mark |= 1;
            marked++;
        }
    }
    PanelIterEnd(&ours);
    PanelIterEnd(&theirs);
    return marked;
}
