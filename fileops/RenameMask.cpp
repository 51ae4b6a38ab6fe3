#include "fileops/RenameMask.h"

#include <string.h>

#include "fileops/PathParts.h"

namespace {

struct Out {
    char* p;
    size_t n = 0;
    void Put(char c) {
        if (n + 1 < (size_t)kPathSize) p[n++] = c;
        p[n] = 0;
    }
    void Put(const char* s, size_t len) {
        for (size_t i = 0; i < len; i++) Put(s[i]);
    }
};

bool IsSep(char c) { return c == '\\' || c == '/'; }

size_t NameOffset(const char* path) {
    size_t at = 0;
    for (size_t i = 0; path[i]; i++)
        if (IsSep(path[i])) at = i + 1;
    return at;
}

}  // namespace

void PathApplyMaskPart(const char* mask, const char* name, char* out) {
    Out o{out};
    out[0] = 0;
    size_t len = strlen(name), cur = 0;
    bool afterStar = false;  // text after the first '*': later '*' are dropped
    for (size_t i = 0; mask[i]; i++) {
        char c = mask[i];
        if (c == '*') {
            if (afterStar) continue;
            const char* rest = mask + i + 1;
            if (!*rest) {
                o.Put(name + cur, len - cur);
                return;
            }
            if (strchr(rest, '*')) {
                // "*text*": no sensible place for the text in the name. The
                // name stays as it is, whether the text occurs or not: an
                // empty result would give every file of a batch the same
                // target name, and a move would keep only the last one.
                o.n = 0;
                o.Put(name, len);
                return;
            }
            size_t restLen = strlen(rest);
            size_t keep = len > restLen ? len - restLen : 0;
            if (keep > cur) {
                o.Put(name + cur, keep - cur);
                cur = keep;
            }
            afterStar = true;
            continue;
        }
        if (c == '?') {
            if (cur < len) o.Put(name[cur]);
        } else {
            o.Put(c);
        }
        if (cur < len) cur++;
    }
}

int PathApplyRenameMask(const char* source, const char* mask, char* out) {
    if (strcmp(mask, ".") == 0) {
        Out o{out};
        o.Put(source, strlen(source));
        return 0;
    }
    if (strpbrk(mask, "\\/:")) return 1;
    size_t nameAt = NameOffset(source);
    const char* name = source + nameAt;
    char part[kPathSize], base[kPathSize], ext[kPathSize];
    Out o{out};
    out[0] = 0;
    o.Put(source, nameAt);
    const char* maskDot = strrchr(mask, '.');
    if (!maskDot) {
        PathApplyMaskPart(mask, name, part);
        o.Put(part, strlen(part));
        return 0;
    }
    // Both split at their last dot; a name that starts with its only dot is
    // all extension.
    const char* nameDot = strrchr(name, '.');
    size_t nameBase = nameDot ? (size_t)(nameDot - name) : strlen(name);
    const char* nameExt = nameDot ? nameDot + 1 : "";
    char maskBase[kPathSize], nameBaseText[kPathSize];
    size_t mb = (size_t)(maskDot - mask);
    if (mb >= sizeof maskBase) mb = sizeof maskBase - 1;
    memcpy(maskBase, mask, mb);
    maskBase[mb] = 0;
    if (nameBase >= sizeof nameBaseText) nameBase = sizeof nameBaseText - 1;
    memcpy(nameBaseText, name, nameBase);
    nameBaseText[nameBase] = 0;
    PathApplyMaskPart(maskBase, nameBaseText, base);
    PathApplyMaskPart(maskDot + 1, nameExt, ext);
    o.Put(base, strlen(base));
    if (ext[0]) {
        o.Put('.');
        o.Put(ext, strlen(ext));
    }
    return 0;
}
