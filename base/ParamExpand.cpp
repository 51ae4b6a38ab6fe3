#include "base/ParamExpand.h"

#include <cstring>

namespace {

struct Out {
    char* buf;
    size_t size;
    size_t len;
    void Put(char c) {
        if (len + 1 < size)
            buf[len++] = c;
    }
    void Put(const char* s, size_t n) {
        for (size_t i = 0; i < n; i++)
            Put(s[i]);
    }
    void Put(const char* s) {
        if (s)
            Put(s, strlen(s));
    }
};

// Inserts a folder; a trailing backslash goes when the template supplies one.
void PutFolder(Out& o, const char* folder, bool templateHasBackslash) {
    if (!folder)
        return;
    size_t n = strlen(folder);
    if (templateHasBackslash && n > 0 && folder[n - 1] == '\\')
        n--;
    o.Put(folder, n);
}

} // namespace

int ExpandParams(const char* templ, char* out, size_t outSize, const ParamSources& src) {
    if (!out || outSize == 0)
        return 0;
    Out o{out, outSize, 0};
    int count = 0;
    const char* t = templ ? templ : "";
    while (*t) {
        if (*t != '*') {
            o.Put(*t++);
            continue;
        }
        char next = t[1];
        if (next == '*') {
            o.Put('*');
            t += 2;
        } else if (next == '.' && t[2] == '*') {
            o.Put(src.fileShort);
            count++;
            t += 3;
        } else if (next == '.') {
            // The path without its extension; the template's own extension follows.
            const char* p = src.filePath ? src.filePath : "";
            size_t n = strlen(p);
            size_t cut = n;
            for (size_t i = n; i > 0; i--) {
                char c = p[i - 1];
                if (c == '\\' || c == '/' || c == ':')
                    break;
                if (c == '.') {
                    cut = i - 1;
                    break;
                }
            }
            o.Put(p, cut);
            count++;
            t += 1;
        } else if (next == '\\' || next == '/') {
            PutFolder(o, next == '\\' ? src.activeShort : src.otherShort, t[2] == '\\');
            t += 2;
        } else if (next == ':') {
            if (src.activeDrive) {
                o.Put(src.activeDrive);
                o.Put(':');
            }
            t += 2;
        } else {
            // Unknown placeholder: the star and up to two characters stay as
            // they are, never past the end of the template.
            o.Put(*t++);
            for (int i = 0; i < 2 && *t; i++)
                o.Put(*t++);
        }
    }
    out[o.len] = 0;
    return count;
}
