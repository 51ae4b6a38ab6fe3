// Reading a panel's entries. The iterator is the only way to reach them: it
// takes part in the list hand-over (PanelList.h), so an entry pointer is
// valid from PanelIterBegin until the matching PanelIterEnd and not a moment
// longer. Never keep an entry pointer past PanelIterEnd: copy what you need
// (name, size, flags) while the iteration is open. Iterations must stay
// short: a swap or re-sort waits for them. Pure: no windows.h.
#pragma once

#include <stdint.h>

#include "Records.h"

struct JobRecord;

struct PanelIter {
    uint16_t panel;
    uint32_t position;  // 0-based index of the current entry
    FileEntry **cursor; // into the panel's null-terminated index
    uint8_t open;       // 1 between Begin and End
};

// Begin and End are always paired, also on early exit. Begin returns the
// first entry or null (no list, empty list); End is still required then.
// Nested iterations of the same panel on one thread are allowed.
FileEntry *PanelIterBegin(PanelIter *iter, int panel);
FileEntry *PanelIterNext(PanelIter *iter);
void PanelIterEnd(PanelIter *iter);
// Entry at a position of an open iteration (random access), or null.
FileEntry *PanelIterAt(PanelIter *iter, uint32_t position);
// Entry count of the list the open iteration holds.
uint32_t PanelIterCount(const PanelIter *iter);

// Queries. Those that return an entry open the iteration themselves and
// leave it open: the caller ends it with PanelIterEnd (also on null).
FileEntry *PanelGetCursorEntry(PanelIter *iter, int panel);
FileEntry *PanelFirstMarked(PanelIter *iter, int panel);
// Name given exactly (case-sensitive) in the job's source panel.
FileEntry *PanelFindJobEntry(PanelIter *iter, const JobRecord *job, const char *name);

// Counts are 32-bit: a list may hold more than 65,535 entries. ".." never
// counts.
uint32_t PanelCountMarked(int panel);
uint32_t PanelCountMarkedDirs(int panel);

// Copies of the cursor entry, safe to keep. 0 when there is no cursor entry.
int PanelCursorName(int panel, char *out, int max);
int PanelCursorEntryPath(int panel, char *out, int max);

// Name of an entry (long name) and its display name.
const char *EntryName(const FileEntry *entry);
const char *EntryDisplayName(const FileEntry *entry);
const char *EntryShortName(const FileEntry *entry); // empty when none
uint64_t EntrySize(const FileEntry *entry);
inline bool EntryIsUpDir(const FileEntry *e) { return (e->flags & kEntryUpDir) != 0; }
inline bool EntryIsFolder(const FileEntry *e) { return (e->flags & kEntryFolder) != 0; }

// Full path of an entry: the panel's folder (or a location's display path),
// a backslash when missing, the name. Bounded by max; returns the StrAppend
// style result (0 all fitted, 111 cut, 123 no room).
int PanelEntryPath(const FileEntry *entry, int panel, char *out, int max);

// For counts that run long (folder sizes): take the names with a short
// iteration, count without holding the list, then store each result with
// this, which finds the folder by exact name in whatever list the panel
// holds by then (size + 1 is stored, as for a counted folder). False when
// the folder is no longer listed. Never keep the iteration open for a count:
// it would stop every swap, sort and re-read of the panel meanwhile.
bool PanelStoreFolderSize(int panel, const char *name, uint64_t size);

// Clears the cached pixel widths of every entry (font change).
void PanelResetWidths(int panel);
