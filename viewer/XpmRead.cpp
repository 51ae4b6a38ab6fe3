#include "viewer/XpmRead.h"

#include <stdio.h>
#include <string.h>

namespace {

const size_t kXpmLine = 512;  // a header line or a string and its terminator
const int kXpmHeaderLines = 7; // the header must be found within these
const uint32_t kXpmMaxCpp = 64; // characters per pixel; codes are compared as text

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint8_t Lower(uint8_t c) {
    return c >= 'A' && c <= 'Z' ? (uint8_t)(c + 32) : c;
}

bool SameText(const char* a, const char* b) {
    for (; *a && *b; a++, b++)
        if (Lower((uint8_t)*a) != Lower((uint8_t)*b)) return false;
    return *a == *b;
}

bool StartsWith(const char* s, const char* prefix) {
    return strncmp(s, prefix, strlen(prefix)) == 0;
}

const char* NamePart(const char* name) {
    const char* u = strrchr(name, '_');
    return u ? u + 1 : name;
}

struct XpmText {
    const uint8_t* data;
    size_t size, pos;
};

// The next line into a 512-byte buffer (longer lines come in pieces).
bool NextLine(XpmText* t, char* line) {
    if (t->pos >= t->size) return false;
    size_t n = 0;
    while (t->pos < t->size && n < kXpmLine - 1) {
        uint8_t c = t->data[t->pos++];
        line[n++] = (char)(c ? c : ' ');
        if (c == '\n') break;
    }
    line[n] = 0;
    return true;
}

// The next string in double quotes, C comments before it skipped; a
// backslash takes the next character as it is. Cut at 511 characters.
bool NextString(XpmText* t, char* out) {
    while (t->pos < t->size) {
        uint8_t c = t->data[t->pos];
        if (c == '/' && t->pos + 1 < t->size && t->data[t->pos + 1] == '*') {
            t->pos += 2;
            while (t->pos + 1 < t->size && !(t->data[t->pos] == '*' && t->data[t->pos + 1] == '/'))
                t->pos++;
            t->pos += 2;
            continue;
        }
        t->pos++;
        if (c == '"') break;
    }
    if (t->pos > t->size) t->pos = t->size;
    if (t->pos >= t->size) return false;
    size_t n = 0;
    while (t->pos < t->size) {
        uint8_t c = t->data[t->pos++];
        if (c == '"') break;
        if (c == '\\' && t->pos < t->size) c = t->data[t->pos++];
        if (n < kXpmLine - 1) out[n++] = (char)(c ? c : ' ');
    }
    out[n] = 0;
    return true;
}

struct XpmHeader {
    int width, height, colours, cpp, format;
};

// A declaration of the pixel data of an XPM2 or XPM3 file.
bool IsDeclaration(const char* line) {
    while (*line == ' ' || *line == '\t')
        line++;
    return (StartsWith(line, "static char") || StartsWith(line, "static const char") ||
            StartsWith(line, "const char")) &&
           strchr(line, '*');
}

bool ReadHeader(XpmText* t, XpmHeader* h) {
    char line[kXpmLine], word[kXpmLine];
    int budget = kXpmHeaderLines;
    memset(h, 0, sizeof *h);
    while (budget > 0) {
        size_t lineStart = t->pos;
        if (!NextLine(t, line)) return false;
        budget--;
        int value;
        if (StartsWith(line, "#define")) {
            if (sscanf(line, "#define %511s %d", word, &value) != 2) return false;
            const char* part = NamePart(word);
            size_t len = strlen(word);
            if (strcmp(part, "format") == 0)
                h->format = value;
            else if (strcmp(part, "width") == 0)
                h->width = value;
            else if (strcmp(part, "height") == 0)
                h->height = value;
            else if (strcmp(part, "ncolors") == 0)
                h->colours = value;
            else if (len >= 16 && strcmp(word + len - 16, "_chars_per_pixel") == 0)
                h->cpp = value;
            continue;
        }
        if (sscanf(line, "static char * %511s", word) == 1 &&
            (strcmp(NamePart(word), "colors[]") == 0 || strcmp(NamePart(word), "mono[]") == 0)) {
            t->pos = lineStart; // the colour reader starts at this line
            break;
        }
        if ((sscanf(line, "/* %511s C */", word) == 1 && SameText(word, "XPM2")) ||
            (sscanf(line, "/* %511s */", word) == 1 && SameText(word, "XPM"))) {
            h->format = SameText(word, "XPM2") ? 2 : 3;
            // C comments may come before the declaration; a line that ends
            // one does not count against the budget.
            bool inComment = false;
            while (budget > 0) {
                lineStart = t->pos;
                if (!NextLine(t, line)) return false;
                budget--;
                const char* open = strstr(line, "/*");
                const char* close = strstr(line, "*/");
                if (inComment) {
                    if (close) {
                        inComment = false;
                        budget++;
                    }
                    continue;
                }
                if (open && !close) {
                    inComment = true;
                    continue;
                }
                if (!IsDeclaration(line)) continue;
                const char* star = strchr(line, '*');
                t->pos = lineStart + (size_t)(star - line) + 1;
                char values[kXpmLine];
                return NextString(t, values) &&
                       sscanf(values, "%d %d %d %d", &h->width, &h->height, &h->colours, &h->cpp) == 4;
            }
            return false;
        }
    }
    return h->format == 1 && h->width && h->height && h->colours && h->cpp;
}

struct XpmColour {
    const char* code; // cpp characters inside codes
    uint8_t rgb[3];
};

const char* const kXpmKeys[] = {"c", "g", "g4", "m", "s"};

bool IsKey(const char* word) {
    for (const char* k : kXpmKeys)
        if (strcmp(word, k) == 0) return true;
    return false;
}

// The colour of key in a colour string's words: the words after the key up
// to the next key, one blank between them. False when the key is absent.
bool FindKey(const char* words, const char* key, char* out) {
    bool found = false;
    size_t n = 0;
    out[0] = 0;
    const char* p = words;
    while (*p) {
        while (*p == ' ' || *p == '\t')
            p++;
        const char* w = p;
        while (*p && *p != ' ' && *p != '\t')
            p++;
        size_t len = (size_t)(p - w);
        if (!len) break;
        char word[4] = {};
        if (len < sizeof word) memcpy(word, w, len);
        if (len < sizeof word && IsKey(word)) {
            if (found) break;
            found = strcmp(word, key) == 0;
            continue;
        }
        if (!found || n + len + 2 > kXpmLine) continue;
        if (n) out[n++] = ' ';
        memcpy(out + n, w, len);
        n += len;
        out[n] = 0;
    }
    return found;
}

// The colour of one definition; "None" takes the background and marks it.
void ResolveColour(const char* text, const uint8_t background[3], uint8_t rgb[3], bool* none) {
    *none = false;
    if (XpmParseColour(text, rgb)) return;
    if (*text == '#') text++;
    if (SameText(text, "none") || SameText(text, "transparent")) {
        memcpy(rgb, background, 3);
        *none = true;
        return;
    }
    rgb[0] = rgb[1] = rgb[2] = 0;
}

struct XpmJob {
    XpmHeader h;
    char* codes;        // colours x cpp characters
    XpmColour* colours; // colours + 1 entries
    uint32_t* order;    // colour indexes sorted by code, duplicates removed
    uint32_t* scratch;  // room for the sort
    uint32_t orderCount;
    uint32_t noneIndex;
};

int CompareCodes(const XpmJob& j, uint32_t a, uint32_t b) {
    return memcmp(j.colours[a].code, j.colours[b].code, (size_t)j.h.cpp);
}

// Sorts the colour indexes by code (a stable merge sort through scratch),
// then keeps one index per code: the later colour wins.
void BuildOrder(XpmJob* j, uint32_t count, uint32_t* scratch) {
    for (uint32_t i = 0; i < count; i++)
        j->order[i] = i;
    uint32_t *from = j->order, *to = scratch;
    for (uint32_t width = 1; width < count; width *= 2) {
        for (uint32_t lo = 0; lo < count; lo += 2 * width) {
            uint32_t mid = lo + width < count ? lo + width : count;
            uint32_t hi = mid + width < count ? mid + width : count;
            uint32_t a = lo, b = mid, k = lo;
            while (a < mid && b < hi)
                to[k++] = CompareCodes(*j, from[b], from[a]) < 0 ? from[b++] : from[a++];
            while (a < mid)
                to[k++] = from[a++];
            while (b < hi)
                to[k++] = from[b++];
        }
        uint32_t* swap = from;
        from = to;
        to = swap;
    }
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (n && CompareCodes(*j, j->order[n - 1], from[i]) == 0)
            j->order[n - 1] = from[i];
        else
            j->order[n++] = from[i];
    }
    j->orderCount = n;
}

// The colour index of a pixel code, or -1 for a code no colour has.
int64_t LookUp(const XpmJob& j, const char* code) {
    uint32_t lo = 0, hi = j.orderCount;
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        int c = memcmp(j.colours[j.order[mid]].code, code, (size_t)j.h.cpp);
        if (c == 0) return j.order[mid];
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -1;
}

bool ReadColours(XpmText* t, XpmJob* j, const uint8_t background[3]) {
    char text[kXpmLine], value[kXpmLine];
    const char* key = "c";
    uint32_t cpp = (uint32_t)j->h.cpp;
    j->noneIndex = (uint32_t)-1;
    if (j->h.format == 1) {
        // The colour array (the mono one when there is no other), then
        // pairs of strings: code and colour name.
        size_t colourArray = 0, monoArray = 0;
        char line[kXpmLine], word[kXpmLine];
        while (NextLine(t, line)) {
            if (sscanf(line, "static char * %511s", word) != 1) continue;
            const char* part = NamePart(word);
            if (strcmp(part, "pixels[]") == 0) break;
            if (strcmp(part, "colors[]") == 0 && !colourArray) colourArray = t->pos;
            if (strcmp(part, "mono[]") == 0 && !monoArray) monoArray = t->pos;
            if (colourArray) break;
        }
        if (!colourArray && !monoArray) return false;
        t->pos = colourArray ? colourArray : monoArray;
    }
    for (int i = 0; i < j->h.colours; i++) {
        if (!NextString(t, text) || strlen(text) < cpp) return false;
        XpmColour* c = &j->colours[i];
        memcpy(j->codes + (size_t)i * cpp, text, cpp);
        c->code = j->codes + (size_t)i * cpp;
        if (j->h.format == 1) {
            if (!NextString(t, value)) return false;
        } else if (!FindKey(text + cpp, key, value)) {
            bool found = false;
            for (int k = 0; k < 4 && !found; k++)
                if (FindKey(text + cpp, kXpmKeys[k], value)) {
                    key = kXpmKeys[k];
                    found = true;
                }
            if (!found) return false;
        }
        bool none;
        ResolveColour(value, background, c->rgb, &none);
        if (none) j->noneIndex = (uint32_t)i;
    }
    // Without a "None" colour, black fills what the rows leave out. It has
    // no code of its own: blanks are an ordinary code of many files.
    uint32_t count = (uint32_t)j->h.colours;
    if (j->noneIndex == (uint32_t)-1) j->noneIndex = count;
    BuildOrder(j, count, j->scratch);
    if (j->h.format == 1) {
        // The rows are the pixels array.
        char line[kXpmLine], word[kXpmLine];
        size_t start = t->pos;
        while (NextLine(t, line))
            if (sscanf(line, "static char * %511s", word) == 1 && strcmp(NamePart(word), "pixels[]") == 0) {
                start = t->pos;
                break;
            }
        t->pos = start;
    }
    return true;
}

void PutColour(uint8_t* out, const uint8_t rgb[3]) {
    out[0] = rgb[2];
    out[1] = rgb[1];
    out[2] = rgb[0];
}

void ReadRows(XpmText* t, const XpmJob& j, PictureRecord* pic) {
    uint32_t cpp = (uint32_t)j.h.cpp;
    const uint8_t* none = j.colours[j.noneIndex].rgb;
    uint32_t previous = (uint32_t)j.h.colours; // before the first pixel
    char code[kXpmMaxCpp];
    bool ended = false;
    for (int32_t y = 0; y < pic->height; y++) {
        uint8_t* out = PicRow(pic, y);
        int32_t x = 0;
        if (!ended) {
            while (t->pos < t->size && t->data[t->pos] != '"')
                t->pos++;
            ended = t->pos >= t->size;
            t->pos++;
        }
        bool closed = ended;
        for (; x < pic->width && !closed; x++) {
            for (uint32_t k = 0; k < cpp; k++) {
                if (t->pos >= t->size) {
                    ended = closed = true;
                    break;
                }
                uint8_t c = t->data[t->pos++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && t->pos < t->size) c = t->data[t->pos++];
                code[k] = (char)c;
            }
            if (closed) break;
            int64_t index = LookUp(j, code);
            if (index >= 0) previous = (uint32_t)index;
            PutColour(out + x * 3, j.colours[previous].rgb);
        }
        for (; x < pic->width; x++)
            PutColour(out + x * 3, none);
        if (!closed) {
            // Past the row's closing quote.
            while (t->pos < t->size && t->data[t->pos] != '"')
                t->pos++;
            t->pos++;
        }
    }
}

} // namespace

bool XpmParseColour(const char* text, uint8_t rgb[3]) {
    if (text[0] == '#') {
        size_t n = strlen(text + 1);
        if (n != 3 && n != 6 && n != 9 && n != 12) return false;
        size_t digits = n / 3;
        for (size_t c = 0; c < 3; c++) {
            uint32_t v = 0;
            for (size_t i = 0; i < digits; i++) {
                int d = HexDigit((uint8_t)text[1 + c * digits + i]);
                if (d < 0) return false;
                v = v * 16 + (uint32_t)d;
            }
            // Scaled to 16 bits; the picture keeps the high byte.
            uint32_t wide = digits == 1 ? v * 65535 / 15 : digits == 2 ? v * 65535 / 255
                                                        : digits == 3 ? v * 65535 / 4095
                                                                      : v;
            rgb[c] = (uint8_t)(wide >> 8);
        }
        return true;
    }
    for (size_t i = 0; i < kXpmColourNameCount; i++)
        if (SameText(text, kXpmColourNames[i].name)) {
            rgb[0] = kXpmColourNames[i].red;
            rgb[1] = kXpmColourNames[i].green;
            rgb[2] = kXpmColourNames[i].blue;
            return true;
        }
    return false;
}

bool XpmDecode(const uint8_t* data, size_t size, const uint8_t background[3], PictureRecord* pic,
               const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    XpmText t = {data, size, 0};
    XpmJob j = {};
    if (!ReadHeader(&t, &j.h)) return false;
    // Every colour takes at least its code's characters in the file.
    if (j.h.width <= 0 || j.h.height <= 0 || j.h.cpp <= 0 || (uint32_t)j.h.cpp > kXpmMaxCpp ||
        j.h.colours < 0 || (uint64_t)j.h.colours * (uint64_t)j.h.cpp > size)
        return false;
    uint64_t count = (uint64_t)j.h.colours + 1;
    j.codes = static_cast<char*>(a.alloc((size_t)(count * (uint64_t)j.h.cpp)));
    j.colours = static_cast<XpmColour*>(a.alloc((size_t)(count * sizeof(XpmColour))));
    j.order = static_cast<uint32_t*>(a.alloc((size_t)(count * sizeof(uint32_t))));
    j.scratch = static_cast<uint32_t*>(a.alloc((size_t)(count * sizeof(uint32_t))));
    bool ok = j.codes && j.colours && j.order && j.scratch && ReadColours(&t, &j, background) &&
              PicCreate(pic, a, j.h.width, j.h.height, 24, -1);
    if (ok) ReadRows(&t, j, pic);
    if (j.codes) a.release(reinterpret_cast<void**>(&j.codes));
    if (j.colours) a.release(reinterpret_cast<void**>(&j.colours));
    if (j.order) a.release(reinterpret_cast<void**>(&j.order));
    if (j.scratch) a.release(reinterpret_cast<void**>(&j.scratch));
    if (!ok) PicRelease(pic, a);
    return ok;
}
