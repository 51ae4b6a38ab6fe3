// Cursor arithmetic, marking and name matching of a panel, apart from the
// windows, so the rules are tested natively. The window code copies the
// panel's values into these records, applies a step and writes them back.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "Records.h"

struct PanelGeom {
    uint32_t entryCount;
    uint32_t visibleRows; // rows per Brief column
    uint32_t pageSize;    // entries that fit in the window
    int32_t topMax;
    int32_t hScrollMax;
    int mode; // PanelViewMode
};

struct PanelPos {
    int32_t cursor;
    int32_t top;    // first visible entry
    int32_t scroll; // horizontal: pixels (Full, Custom) or column (Brief)
};

enum PanelMove { kMoveUp, kMoveDown, kMovePageUp, kMovePageDown, kMoveHome, kMoveEnd, kMoveLeft, kMoveRight };

// Scroll values into range, then the cursor into the visible window and the
// list. True when the cursor changed.
bool PanelClampPos(PanelPos &pos, const PanelGeom &g);
// Brief column that holds the first visible entry, rounded to the nearer.
int32_t PanelColumnFromTop(int32_t top, uint32_t visibleRows);
// One cursor key. Returns true when the first visible entry or the
// horizontal value changed (the whole list must be repainted), false when
// only the old and new cursor rows need it.
bool PanelApplyMove(PanelPos &pos, const PanelGeom &g, PanelMove move);

// Marks. ".." is never marked; group commands take folders only with selDir.
bool EntryToggleMark(FileEntry *entry);
bool EntryQualifies(const FileEntry *entry, bool selDir);

enum PanelMarkOp { kMarkSet, kMarkClear, kMarkInvert, kMarkShiftOut };
// Applies op to every qualifying entry (kMarkSet/kMarkClear only to those
// whose name matches `masks` when masks is not null). Returns the number of
// entries that qualified (kMarkShiftOut, kMarkInvert) or changed.
uint32_t PanelMarkGroup(int panel, PanelMarkOp op, bool selDir, const char *masks);
// Marks every entry between two positions, both included, ".." excluded.
uint32_t PanelMarkRange(int panel, uint32_t from, uint32_t to);
// Brings back the marks kept in bit 1 by the last consuming operation.
uint32_t PanelRestoreMarks(int panel);

// ";"-separated masks with * and ?, compared ignoring ASCII case; "*.*"
// also matches names without a dot.
bool MaskMatchList(const char *masks, const char *name);

// Upper case of one byte as the quick search and jump compare it (ASCII and
// the Latin-1 letters).
unsigned char NavUpper(unsigned char c);
// Position of the first entry at or after `from` whose name begins with
// prefix (any case, first 35 characters); -1 when none.
int32_t PanelFindPrefix(int panel, const char *prefix, uint32_t from);
// Quick jump: the next entry whose initial is `letter`, as typed at `cursor`.
int32_t PanelJumpTarget(int panel, unsigned char letter, uint32_t cursor);

// Totals for the status line. ".." never counts; a counted folder holds its
// size + 1.
struct PanelMarkTotals {
    uint64_t markedBytes;
    uint64_t totalBytes;
    uint32_t marked;
    uint32_t entries;
};
PanelMarkTotals PanelComputeTotals(int panel);

// Formats with a text that comes from a language file: the text is used only
// when it reads exactly the arguments `fallback` (the program's own format)
// reads. Never reads an argument the caller did not pass.
int FormatChecked(char *out, size_t size, const char *format, const char *fallback, ...);
