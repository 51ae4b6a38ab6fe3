#include "panels/PanelNav.h"

#include "base/TextFormat.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "panels/PanelIter.h"

static int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool PanelClampPos(PanelPos &pos, const PanelGeom &g) {
    int32_t old = pos.cursor;
    pos.scroll = Clamp(pos.scroll, 0, g.hScrollMax > 0 ? g.hScrollMax : 0);
    pos.top = Clamp(pos.top, 0, g.topMax > 0 ? g.topMax : 0);
    if (pos.cursor < pos.top)
        pos.cursor = pos.top;
    if (g.pageSize && pos.cursor >= pos.top + (int32_t)g.pageSize)
        pos.cursor = pos.top + (int32_t)g.pageSize - 1;
    if (g.entryCount == 0)
        pos.cursor = 0;
    else if (pos.cursor >= (int32_t)g.entryCount)
        pos.cursor = (int32_t)g.entryCount - 1;
    return pos.cursor != old;
}

int32_t PanelColumnFromTop(int32_t top, uint32_t visibleRows) {
    if (!visibleRows)
        return 0;
    return (int32_t)((visibleRows / 2 + (uint32_t)top) / visibleRows);
}

bool PanelApplyMove(PanelPos &pos, const PanelGeom &g, PanelMove move) {
    const int32_t n = (int32_t)g.entryCount;
    const int32_t page = g.pageSize ? (int32_t)g.pageSize : 1;
    const int32_t rows = g.visibleRows ? (int32_t)g.visibleRows : 1;
    const bool brief = g.mode == 1;
    PanelPos before = pos;
    switch (move) {
    case kMoveHome:
        pos.cursor = 0;
        pos.top = 0;
        if (brief)
            pos.scroll = 0;
        break;
    case kMoveEnd:
        pos.cursor = n > 0 ? n - 1 : 0;
        pos.top = g.topMax > 0 ? g.topMax : 0;
        if (brief)
            pos.scroll = g.hScrollMax > 0 ? g.hScrollMax : 0;
        break;
    case kMoveUp:
        if (pos.cursor > 0) {
            pos.cursor--;
            if (pos.cursor < pos.top)
                pos.top = pos.cursor;
        }
        break;
    case kMoveDown:
        if (pos.cursor + 1 < n) {
            pos.cursor++;
            if (pos.cursor >= pos.top + page)
                pos.top = pos.cursor - page + 1;
        }
        break;
    case kMovePageUp:
        // A page up that reaches the top ends on the first entry.
        pos.top = Clamp(pos.top - page, 0, g.topMax > 0 ? g.topMax : 0);
        pos.cursor -= page;
        if (pos.top == 0)
            pos.cursor = 0;
        if (brief)
            pos.scroll = PanelColumnFromTop(pos.top, g.visibleRows);
        break;
    case kMovePageDown:
        // A page down that reaches the bottom ends on the last entry.
        pos.top = Clamp(pos.top + page, 0, g.topMax > 0 ? g.topMax : 0);
        pos.cursor += page;
        if (pos.top >= g.topMax)
            pos.cursor = n > 0 ? n - 1 : 0;
        break;
    case kMoveLeft:
        if (!brief)
            break;
        if (pos.cursor < rows)
            return PanelApplyMove(pos, g, kMoveHome) || before.top != pos.top || before.scroll != pos.scroll;
        pos.cursor -= rows;
        if (pos.cursor < pos.top)
            pos.top = Clamp(pos.top - rows, 0, g.topMax > 0 ? g.topMax : 0);
        break;
    case kMoveRight:
        if (!brief)
            break;
        if (pos.cursor + rows >= n)
            return PanelApplyMove(pos, g, kMoveEnd) || before.top != pos.top || before.scroll != pos.scroll;
        pos.cursor += rows;
        if (pos.cursor >= pos.top + page)
            pos.top = Clamp(pos.top + rows, 0, g.topMax > 0 ? g.topMax : 0);
        break;
    }
    if (brief && move != kMoveHome && move != kMoveEnd)
        pos.scroll = PanelColumnFromTop(pos.top, g.visibleRows);
    PanelClampPos(pos, g);
    return pos.top != before.top || pos.scroll != before.scroll;
}

bool EntryToggleMark(FileEntry *e) {
    if (!e || EntryIsUpDir(e))
        return false;
    e->mark ^= 1;
    return true;
}

bool EntryQualifies(const FileEntry *e, bool selDir) {
    if (EntryIsUpDir(e))
        return false;
    return selDir || !EntryIsFolder(e);
}

static unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

unsigned char NavUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return c - 32;
    // Latin-1 lower-case letters, except the sharp s and y with diaeresis
    if (c >= 0xE0 && c != 0xF7 && c != 0xFF)
        return c - 32;
    return c;
}

static bool MatchOne(const char *mask, size_t mlen, const char *name) {
    // Iterative wildcard match with one backtrack point.
    size_t m = 0;
    const char *n = name;
    size_t starM = (size_t)-1;
    const char *starN = nullptr;
    while (*n) {
        if (m < mlen && (mask[m] == '?' || AsciiUpper(mask[m]) == AsciiUpper(*n))) {
            m++;
            n++;
        } else if (m < mlen && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starN) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mlen && (mask[m] == '*' || (mask[m] == '.' && m + 2 == mlen && mask[m + 1] == '*')))
        m += mask[m] == '.' ? 2 : 1;
    return m == mlen;
}

bool MaskMatchList(const char *masks, const char *name) {
    if (!masks || !*masks)
        return false;
    const char *p = masks;
    while (*p) {
        const char *end = strchr(p, ';');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        while (len && *p == ' ') {
            p++;
            len--;
        }
        while (len && p[len - 1] == ' ')
            len--;
        if (len && MatchOne(p, len, name))
            return true;
        if (!end)
            break;
        p = end + 1;
    }
    return false;
}

uint32_t PanelMarkGroup(int panel, PanelMarkOp op, bool selDir, const char *masks) {
    PanelIter it;
    uint32_t n = 0;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (!EntryQualifies(e, selDir))
            continue;
        switch (op) {
        case kMarkSet:
            if (!(e->mark & 1) && (!masks || MaskMatchList(masks, EntryName(e)))) {
                e->mark |= 1;
                n++;
            }
            break;
        case kMarkClear:
            if ((e->mark & 1) && (!masks || MaskMatchList(masks, EntryName(e)))) {
                e->mark &= ~1;
                n++;
            }
            break;
        case kMarkInvert:
            e->mark ^= 1;
            n++;
            break;
        case kMarkShiftOut:
            e->mark = (uint8_t)(e->mark << 1);
            n++;
            break;
        }
    }
    PanelIterEnd(&it);
    return n;
}

uint32_t PanelMarkRange(int panel, uint32_t from, uint32_t to) {
    if (from > to) {
        uint32_t t = from;
        from = to;
        to = t;
    }
    PanelIter it;
    uint32_t n = 0;
    PanelIterBegin(&it, panel);
    for (uint32_t i = from; i <= to; i++) {
        FileEntry *e = PanelIterAt(&it, i);
        if (!e)
            break;
        if (!EntryIsUpDir(e)) {
            e->mark |= 1;
            n++;
        }
    }
    PanelIterEnd(&it);
    return n;
}

uint32_t PanelRestoreMarks(int panel) {
    PanelIter it;
    uint32_t n = 0;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (EntryIsUpDir(e))
            continue;
        if (e->mark & 2) {
            e->mark = (uint8_t)((e->mark | 1) & ~2);
            n++;
        }
    }
    PanelIterEnd(&it);
    return n;
}

static bool PrefixMatches(const char *name, const char *prefix) {
    for (int i = 0; prefix[i] && i < 35; i++) {
        if (!name[i] || NavUpper((unsigned char)name[i]) != NavUpper((unsigned char)prefix[i]))
            return false;
    }
    return true;
}

int32_t PanelFindPrefix(int panel, const char *prefix, uint32_t from) {
    PanelIter it;
    int32_t found = -1;
    PanelIterBegin(&it, panel);
    for (FileEntry *e = PanelIterAt(&it, from); e; e = PanelIterNext(&it)) {
        if (PrefixMatches(EntryName(e), prefix)) {
            found = (int32_t)it.position;
            break;
        }
    }
    PanelIterEnd(&it);
    return found;
}

int32_t PanelJumpTarget(int panel, unsigned char letter, uint32_t cursor) {
    PanelIter it;
    PanelIterBegin(&it, panel);
    uint32_t n = PanelIterCount(&it);
    FileEntry *cur = PanelIterAt(&it, cursor);
    int32_t found = -1;
    if (cur) {
        unsigned char want = NavUpper(letter);
        unsigned char here = NavUpper((unsigned char)EntryName(cur)[0]);
        uint32_t start = (want < here || cursor + 1 >= n) ? 0 : cursor + 1;
        for (int pass = 0; pass < 2 && found < 0; pass++) {
            for (uint32_t i = pass ? 0 : start; i < n; i++) {
                FileEntry *e = PanelIterAt(&it, i);
                if (NavUpper((unsigned char)EntryName(e)[0]) == want) {
                    found = (int32_t)i;
                    break;
                }
            }
        }
    }
    PanelIterEnd(&it);
    return found;
}

PanelMarkTotals PanelComputeTotals(int panel) {
    PanelMarkTotals t = {};
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (EntryIsUpDir(e))
            continue;
        t.entries++;
        uint64_t size = EntrySize(e);
        if (e->sizeLow == 0xFFFFFFFFu && e->sizeHigh == 0xFFFFFFFFu)
            size = 0;
        else if (EntryIsFolder(e) && size)
            size -= 1;
        t.totalBytes += size;
        if (e->mark & 1) {
            t.marked++;
            t.markedBytes += size;
        }
    }
    PanelIterEnd(&it);
    return t;
}

int FormatChecked(char *out, size_t size, const char *format, const char *fallback, ...) {
    if (!format || !FormatDirectivesMatch(format, fallback))
        format = fallback;
    va_list ap;
    va_start(ap, fallback);
    int n = vsnprintf(out, size, format, ap);
    va_end(ap);
    return n;
}
