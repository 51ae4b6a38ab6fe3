#include "panels/Filter.h"

#include <stdio.h>
#include <string.h>

namespace {

int Upper(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

bool Glob(const char* n, const char* m) {
    // Iterative match with one backtrack point: linear in practice, no
    // recursion depth to worry about on hostile masks.
    const char* starM = nullptr;
    const char* starN = nullptr;
    while (*n) {
        if (*m == '*') {
            starM = ++m;
            starN = n;
        } else if (*m && (*m == '?' || Upper((unsigned char)*m) == Upper((unsigned char)*n))) {
            m++;
            n++;
        } else if (starM) {
            m = starM;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (*m == '*') m++;
    return *m == 0;
}

const char* NamePart(const char* path) {
    const char* at = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/') at = p + 1;
    return at;
}

int ExeByExtension(const char*, const char* name) {
    const char* dot = strrchr(name, '.');
    if (!dot) return 0;
    static const char* const kExt[] = {".EXE", ".COM", ".BAT", ".PIF", ".CMD"};
    for (const char* x : kExt) {
        const char* a = dot;
        const char* b = x;
        while (*a && *b && Upper((unsigned char)*a) == *b) a++, b++;
        if (!*a && !*b) return 1;
    }
    return 0;
}

}  // namespace

MaskMatchFn gMaskMatch = MaskMatchName;
ExecutableTestFn gFilterIsExecutable = ExeByExtension;

int MaskMatchName(const char* name, const char* mask) {
    if (strcmp(mask, "*.*") == 0) return 1;
    return Glob(name, mask) ? 1 : 0;
}

int FilterMatchMasks(const char* path, const char* masks) {
    const char* name = NamePart(path);
    char list[260];
    size_t n = strnlen(masks, 259);
    memcpy(list, masks, n);
    list[n] = 0;
    for (char* mask = list;;) {
        char* semi = strchr(mask, ';');
        if (semi) *semi = 0;
        // A mask that holds a path can never match a name part.
        if (*mask && !strpbrk(mask, "\\/:") && gMaskMatch(name, mask)) return 1;
        if (!semi) break;
        mask = semi + 1;
    }
    return 0;
}

static int StampCmp(uint16_t d1, uint16_t t1, uint16_t d2, uint16_t t2) {
    uint32_t a = ((uint32_t)d1 << 16) | t1, b = ((uint32_t)d2 << 16) | t2;
    return a < b ? -1 : a > b ? 1 : 0;
}

int FilterMatch(const char* name, uint16_t attributes, uint16_t date, uint16_t time,
                const uint64_t* size, const FilterSpec* f) {
    if (f->includeMasks[0] && !FilterMatchMasks(name, f->includeMasks)) return 0;
    if (f->excludeMasks[0] && FilterMatchMasks(name, f->excludeMasks)) return 0;
    uint16_t fl = f->flags;
    if ((fl & kFilterDateFrom) && (fl & kFilterTimeFrom)) {
        if (StampCmp(date, time, f->dateFrom, f->timeFrom) < 0) return 0;
    } else if (fl & kFilterDateFrom) {
        if (date < f->dateFrom) return 0;
    } else if (fl & kFilterTimeFrom) {
        if (time < f->timeFrom) return 0;
    }
    if ((fl & kFilterDateTo) && (fl & kFilterTimeTo)) {
        if (StampCmp(date, time, f->dateTo, f->timeTo) > 0) return 0;
    } else if (fl & kFilterDateTo) {
        if (date > f->dateTo) return 0;
    } else if (fl & kFilterTimeTo) {
        if (time > f->timeTo) return 0;
    }
    if (attributes & kEntryFolder) return 1;
    uint64_t s = size ? *size : 0;
    if ((fl & kFilterMinSize) && s < f->minSize) return 0;
    if ((fl & kFilterMaxSize) && s > f->maxSize) return 0;
    return 1;
}

int FilterTestEntry(const char* folder, const char* name, uint16_t attributes, uint16_t date,
                    uint16_t time, const uint64_t* size, const FilterSpec* f) {
    if ((attributes & 0x37) & ~f->allowedAttributes) return 0;
    if (attributes & kEntryFolder) return 1;
    switch (f->flags & kFilterModeMask) {
    case kFilterExecutables: return gFilterIsExecutable(folder, name) ? 1 : 0;
    case kFilterCustom: return FilterMatch(name, attributes, date, time, size, f);
    default: return 1;
    }
}

void FilterFormatSize(uint64_t value, char* out) {
    snprintf(out, 24, "%llu", (unsigned long long)value);
}

int FilterParseSize(const char* text, uint64_t* value) {
    while (*text == ' ') text++;
    if (*text < '0' || *text > '9') return 0;
    uint64_t v = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        unsigned d = (unsigned)(*text - '0');
        if (v > (UINT64_MAX - d) / 10) return 0;
        v = v * 10 + d;
    }
    while (*text == ' ') text++;
    if (*text) return 0;
    *value = v;
    return 1;
}

// ---- dialog fields --------------------------------------------------------------

#include "base/DateTime.h"

static void CopyField(char* out, size_t size, const char* from) {
    size_t n = strnlen(from, size - 1);
    memcpy(out, from, n);
    out[n] = 0;
}

void FilterFieldsFromSpec(const FilterSpec* f, FilterDialogFields* d) {
    memset(d, 0, sizeof *d);
    d->mode = f->flags & kFilterModeMask;
    if (d->mode > 2) d->mode = 0;
    uint16_t a = f->allowedAttributes;
    d->readOnly = (a & 0x1) != 0;
    d->hidden = (a & 0x2) != 0;
    d->system = (a & 0x4) != 0;
    d->folder = (a & 0x10) != 0;
    d->archive = (a & 0x20) != 0;
    CopyField(d->include, sizeof d->include, f->includeMasks);
    CopyField(d->exclude, sizeof d->exclude, f->excludeMasks);
    if (f->flags & kFilterDateFrom)
        snprintf(d->dateFrom, sizeof d->dateFrom, "%02u.%02u.%04u", f->dateFrom & 31u, (f->dateFrom >> 5) & 15u,
                 (f->dateFrom >> 9) + 1980u);
    if (f->flags & kFilterDateTo)
        snprintf(d->dateTo, sizeof d->dateTo, "%02u.%02u.%04u", f->dateTo & 31u, (f->dateTo >> 5) & 15u,
                 (f->dateTo >> 9) + 1980u);
    if (f->flags & kFilterTimeFrom)
        snprintf(d->timeFrom, sizeof d->timeFrom, "%02u:%02u:%02u", f->timeFrom >> 11, (f->timeFrom >> 5) & 63u,
                 (f->timeFrom & 31u) * 2);
    if (f->flags & kFilterTimeTo)
        snprintf(d->timeTo, sizeof d->timeTo, "%02u:%02u:%02u", f->timeTo >> 11, (f->timeTo >> 5) & 63u,
                 (f->timeTo & 31u) * 2);
    // The whole 64-bit bound: a 5 GB limit must come back as 5 GB.
    if (f->flags & kFilterMinSize) FilterFormatSize(f->minSize, d->minSize);
    if (f->flags & kFilterMaxSize) FilterFormatSize(f->maxSize, d->maxSize);
}

static bool Blank(const char* s) {
    while (*s == ' ') s++;
    return !*s;
}

static int ParseDate(const char* text, uint16_t* out) {
    unsigned day, month, year;
    if (StrParseDate(text, &day, &month, &year)) {
        // A year before 1980 cannot be stored: it becomes 1980.
        if (year >= kDosYearFirst) return 0;
        year = kDosYearFirst;
        if (StrValidateDate(day, month, &year)) return 0;
    }
    if (year > kDosYearLast) year = kDosYearLast;
    *out = DosDateMake(day, month, year);
    return 1;
}

static int ParseTime(const char* text, uint16_t* out) {
    unsigned h, m, s;
    if (StrParseTime(text, &h, &m, &s)) return 0;
    *out = DosTimeMake(h, m, s);
    return 1;
}

int FilterFieldsToSpec(const FilterDialogFields* d, FilterSpec* f, int remote, int showHiddenSystem,
                       int* messageId) {
    FilterSpec out = *f;
    if (remote) {
        uint16_t old = f->allowedAttributes;
        memset(&out, 0, sizeof out);
        out.hiddenSystemApply = f->hiddenSystemApply;
        if (old & kFilterAttrsLocked) {
            out.allowedAttributes = kFilterAttrsLocked;
        } else {
            out.allowedAttributes = (uint16_t)((d->system ? 0x4 : 0) | (d->hidden ? 0x2 : 0) |
                                               (d->readOnly ? 0x1 : 0) | (d->archive ? 0x20 : 0));
        }
        if (d->folder) out.allowedAttributes |= 0x10;
    } else {
        uint16_t a = showHiddenSystem ? (uint16_t)((d->system ? 0x4 : 0) | (d->hidden ? 0x2 : 0))
                                      : (uint16_t)(f->allowedAttributes & 0x6);
        a |= (d->readOnly ? 0x1 : 0) | (d->archive ? 0x20 : 0) | (d->folder ? 0x10 : 0);
        out.allowedAttributes = a;
    }
    out.flags = (uint16_t)(d->mode & kFilterModeMask);
    CopyField(out.includeMasks, sizeof out.includeMasks, d->include);
    CopyField(out.excludeMasks, sizeof out.excludeMasks, d->exclude);
    out.dateFrom = out.dateTo = out.timeFrom = out.timeTo = 0;
    struct {
        const char* text;
        uint16_t* value;
        uint16_t flag;
        int control;
        bool date;
    } stamps[] = {
        {d->dateFrom, &out.dateFrom, kFilterDateFrom, 12111, true},
        {d->dateTo, &out.dateTo, kFilterDateTo, 12112, true},
        {d->timeFrom, &out.timeFrom, kFilterTimeFrom, 12113, false},
        {d->timeTo, &out.timeTo, kFilterTimeTo, 12114, false},
    };
    for (auto& s : stamps) {
        if (Blank(s.text)) continue;
        if (!(s.date ? ParseDate(s.text, s.value) : ParseTime(s.text, s.value))) {
            if (messageId) *messageId = s.date ? 4024 : 4025;
            return s.control;
        }
        out.flags |= s.flag;
    }
    out.minSize = out.maxSize = 0;
    if (!Blank(d->minSize) && FilterParseSize(d->minSize, &out.minSize)) out.flags |= kFilterMinSize;
    if (!Blank(d->maxSize) && FilterParseSize(d->maxSize, &out.maxSize)) out.flags |= kFilterMaxSize;
    *f = out;
    return 0;
}
