#include "base/ArchiveNames.h"

#include <string.h>

bool ArcMemberRelativePath(const char *name, char *out, size_t max)
{
    if (!out || max == 0)
        return false;
    out[0] = 0;
    if (!name || !name[0] || name[0] == '/' || name[0] == '\\')
        return false;
    size_t used = 0;
    const char *p = name;
    while (*p) {
        const char *start = p;
        while (*p && *p != '/' && *p != '\\')
            ++p;
        size_t len = (size_t)(p - start);
        if (*p)
            ++p;
        if (len == 0 || (len == 1 && start[0] == '.'))
            continue;
        if (len == 2 && start[0] == '.' && start[1] == '.') {
            out[0] = 0;
            return false;
        }
        for (size_t i = 0; i < len; ++i) {
            unsigned char c = (unsigned char)start[i];
            if (c < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') {
                out[0] = 0;
                return false;
            }
        }
        // Windows drops trailing dots and blanks: "..." or ". ." would name
        // the parent or the folder itself.
        size_t trimmed = len;
        while (trimmed && (start[trimmed - 1] == '.' || start[trimmed - 1] == ' '))
            --trimmed;
        if (trimmed == 0) {
            out[0] = 0;
            return false;
        }
        size_t need = len + (used ? 1 : 0);
        if (used + need + 1 > max) {
            out[0] = 0;
            return false;
        }
        if (used)
            out[used++] = '\\';
        memcpy(out + used, start, len);
        used += len;
    }
    out[used] = 0;
    return used != 0;
}
