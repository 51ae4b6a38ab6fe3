#include "panels/IconClass.h"

#include <string.h>

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 32) : c; }

bool SameNoCase(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

bool OneOf(const char *ext, const char *const *list) {
    for (; *list; list++)
        if (SameNoCase(ext, *list, 3))
            return true;
    return false;
}

} // namespace

const char *IconExtension(const char *name) {
    const char *dot = strrchr(name, '.');
    return dot ? dot + 1 : name + strlen(name);
}

int32_t IconArchiveClassName(const char *name) {
    const char *ext = IconExtension(name);
    switch (strlen(ext)) {
    case 2: {
        static const char *const two[] = {"UU", "BZ", "GZ", nullptr};
        for (const char *const *p = two; *p; p++)
            if (SameNoCase(ext, *p, 2))
                return kIconArchive;
        return 0;
    }
    case 3: {
        static const char *const three[] = {"BZ2", "B64", "LHA", "CAB", "ARC", "ACE", "UUE", "XXE", "IMG", "LZH",
                                            "ARJ", "MIM", "RPM", "ZOO", "ISO", "ZIP", "JAR", "RAR", "TAR", "TBZ",
                                            "TGZ", nullptr};
        return OneOf(ext, three) ? kIconArchive : 0;
    }
    case 4:
        // The fourth character counts exactly: "cpio" is an archive, "CPIO"
        // is not.
        if ((SameNoCase(ext, "TBZ", 3) && ext[3] == '2') || (SameNoCase(ext, "CPI", 3) && ext[3] == 'o'))
            return kIconArchive;
        return 0;
    }
    return 0;
}

int32_t IconKindClass(const char *name, bool folder, bool upDir, bool remoteLink) {
    if (upDir)
        return kIconUpDir;
    if (folder)
        return remoteLink ? kIconRemoteLink : kIconFolder;
    if (int32_t archive = IconArchiveClassName(name))
        return archive;
    const char *ext = IconExtension(name);
    if (strlen(ext) != 3)
        return kIconFile;
    static const struct {
        const char *ext;
        int32_t code;
    } kKinds[] = {{"EXE", kIconProgram}, {"COM", kIconProgram}, {"BAT", kIconBatch}, {"DLL", kIconLibrary},
                  {"RYR", kIconLibrary}, {"TXT", kIconText},    {"DOC", kIconText},  {"HLP", kIconHelp}};
    for (const auto &k : kKinds)
        if (SameNoCase(ext, k.ext, 3))
            return k.code;
    return kIconFile;
}

bool IconSharedByExtension(const char *name) {
    const char *ext = IconExtension(name);
    if (strlen(ext) != 3)
        return true;
    static const char *const own[] = {"ICO", "CUR", "EXE", "ANI", "LNK", nullptr};
    return !OneOf(ext, own);
}
