#include "panels/PanelStatus.h"

#include "app/bars/CommandLine.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "frontends/ViewerHost.h"
#include "app/bars/Bars.h"
#include "base/DateTime.h"
#include "app/Language.h"
#include "base/Numbers.h"
#include "panels/DirRead.h"
#include "panels/PanelIter.h"
#include "panels/PanelNav.h"
#include "panels/PanelRefresh.h"

namespace {

bool OwnBarExists(int panel) { return gApp->statusBars[1 + panel] != nullptr; }

} // namespace

void PanelShowModeName(int panel) {
    static const int kModeText[] = {4009, 4008, 4007, 4011, 4010};
    int mode = gApp->panelMode[panel] & 0xF;
    int id = gApp->panelOff[panel] ? 4015 : (mode < 5 ? kModeText[mode] : 0);
    char text[260] = "";
    if (id) {
        char name[258];
        TextGet(id, name, sizeof name);
        snprintf(text, sizeof text, "%s%s", panel ? "R-" : "L-", name);
    }
    StatusBarSetField(panel ? 13 : 12, text);
}

void PanelFormatStatusLine(int panel, char *out, size_t size, int ownBar) {
    if (!size)
        return;
    out[0] = 0;
    if ((gApp->panelMode[panel] & 0xF) == kViewTree) {
        char path[260];
        PanelGetPath(gApp->activePanel & 1, path, sizeof path);
        snprintf(out, size, "  %s", path);
        return;
    }
    PanelMarkTotals totals = PanelComputeTotals(panel);
    bool summary = totals.marked > 0 && (ownBar || !(OwnBarExists(0) || OwnBarExists(1)));
    if (summary) {
        char marked[40], total[40];
        StrFormatNumber64(&totals.markedBytes, marked);
        StrFormatNumber64(&totals.totalBytes, total);
        // The text may come from a language file: the checked formatter
        // falls back to the English one when its directives differ.
        TextFormat(out, size, 5011, marked, total, (unsigned)totals.marked, (unsigned long)totals.entries);
        return;
    }
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (e) {
        char sizeText[64] = "", stamp[64] = "", attr[16] = "";
        EntrySizeText(e, sizeText);
        sizeText[31] = 0;
        if (EntryIsUpDir(e)) {
            snprintf(out, size, " %s    %s", EntryName(e), sizeText);
        } else {
            StrFormatDosDateTime(stamp, e->date, e->time, sizeof stamp);
            StrFormatDosAttributes(attr, e->flags & 0x27);
            char markChar = (!(e->flags & kEntryRemote) && (e->flags & 0x6)) ? '*' : ' ';
            snprintf(out, size, "%c %s    %s  %s  %s", markChar, EntryName(e), sizeText, stamp, attr);
        }
    }
    PanelIterEnd(&it);
}

void PanelUpdateStatusLine() {
    if (!gApp)
        return;
    char text[600];
    for (int p = 0; p < 2; p++) {
        if (!OwnBarExists(p))
            continue;
        if ((gApp->panelMode[p] & 0xF) == kViewQuick)
            text[0] = 0;
        else
            PanelFormatStatusLine(p, text, sizeof text, 1);
        StatusBarSetField(17 + p, text);
    }
    int active = gApp->activePanel & 1;
    if ((gApp->panelMode[!active] & 0xF) == kViewQuick)
        ViewerQuickViewUpdate(&gApp->quickView, active, !active);
    PanelFormatStatusLine(active, text, sizeof text, 0);
    StatusBarSetField(10, text);
    const PanelState &ps = gApp->panels[active];
    if (ps.totalBytes) {
        uint64_t freeBytes = ps.freeBytes;
        StrFormatSize(text, &freeBytes, 1);
    } else {
        strcpy(text, "-");
    }
    StatusBarSetField(11, text);
    PanelShowModeName(0);
    PanelShowModeName(1);
    CmdLineUpdatePrompt(active);
}
