#include "panels/PanelExport.h"

#include <stdio.h>

#include <string>

#include "AppState.h"
#include "base/DateTime.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/FtpFrontEnd.h"
#include "panels/DirRead.h"
#include "panels/PanelIter.h"
#include "tools/ExtPrograms.h"

DWORD PanelListToTextFile(HWND owner, int panel, char *pathOut) {
    panel &= 1;
    char name[260] = "";
    PathMakeUniqueName("list.txt", name, sizeof name);
    if (pathOut)
        lstrcpynA(pathOut, name, 260);
    // The lines are made while the list is held and written after, so the
    // refresh thread never waits on the disk.
    std::string text;
    char line[1400];
    ArcGetPanelPath(panel, line, 1024);
    text += line;
    text += "\r\n";
    bool brief = (gApp->panelMode[panel] & 0xF) == kViewBrief;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (EntryIsUpDir(e))
            continue;
        if (brief) {
            snprintf(line, sizeof line, "%s", EntryName(e));
        } else {
            char attributes[16] = "", size[64] = "", stamp[33] = "";
            StrFormatAttributes(attributes, e->flags);
            EntrySizeText(e, size);
            StrFormatDosDateTime(stamp, e->date, e->time, sizeof stamp);
            snprintf(line, sizeof line, "%6s%15s%20s   %s", attributes, size, stamp, EntryName(e));
        }
        text += line;
        text += "\r\n";
    }
    PanelIterEnd(&it);
    HANDLE file;
    DWORD error = FileCreate(owner, name, &file);
    if (error)
        return error;
    error = FileWrite(owner, file, text.data(), (uint32_t)text.size());
    CloseHandle(file);
    if (error) {
        // A list cut short is not shown as the list.
        DeleteFileA(name);
        return error;
    }
    EditOpenFile(owner, name, name, nullptr);
    return 0;
}
