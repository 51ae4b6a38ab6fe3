// BRISAN.DLL stand-in: the archive library the program loads by name, over
// ZIP (stored and deflated members, ZIP64 sizes and offsets) and gzip. It
// answers the commands of ArcLib.h and calls back only through the host
// table of each record.
//
// Extraction never writes outside the target: every member name passes
// ArcMemberRelativePath, Unix links are refused, folders on the way that are
// links are never entered, and each file is written to a temporary name
// beside its target that replaces the target only when it is complete.
// Packing writes a whole new archive beside the old one and replaces it at
// the end, so a failed or stopped pack leaves the old archive as it was.
//
// Test knobs: ZQ_BRISAN_FAIL_AT=n makes the n-th file written by a command
// (counted from 1) fail with a write error after its first bytes.
// ZQ_BRISAN_PASSWORD=text makes every file member of a ZIP archive count as
// encrypted with that password: listings mark it 'E', and extraction asks
// the host for the password (host entry 2) and goes on only with that text.
// The data itself is stored plainly; the knob exercises the host's prompt.
#include <windows.h>
#include <io.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "ArcLib.h"
#include "ZipCore.h"
#include "base/ArchiveNames.h"

namespace {

const ArcHostServices *gHost;
int gFilesWritten, gFailAt;
char gPasswordKnob[128];
bool gUnlocked;

void Report(void *owner, int32_t code, const char *detail) {
    if (gHost && gHost->reportError)
        gHost->reportError(owner, code, detail);
}

void ResetKnobs() {
    gFilesWritten = 0;
    char v[16] = "";
    gFailAt = GetEnvironmentVariableA("ZQ_BRISAN_FAIL_AT", v, sizeof v) ? atoi(v) : 0;
    DWORD n = GetEnvironmentVariableA("ZQ_BRISAN_PASSWORD", gPasswordKnob, sizeof gPasswordKnob);
    if (n == 0 || n >= sizeof gPasswordKnob)
        gPasswordKnob[0] = 0;
    gUnlocked = false;
}

// Before the first protected member of a command: the host's password
// (the remembered one first, then the prompt, three tries). 0, or
// kArcErrEncrypted when the user cancelled or never gave the right one.
int Unlock(void *owner) {
    if (!gPasswordKnob[0] || gUnlocked)
        return 0;
    if (!gHost || !gHost->askPassword)
        return kArcErrEncrypted;
    uint32_t mode = 2;
    for (int tries = 0; tries < 3; ++tries) {
        char given[128] = "";
        if (gHost->askPassword(owner, nullptr, given, sizeof given, mode, 0) != 0)
            return kArcErrEncrypted;
        if (strcmp(given, gPasswordKnob) == 0) {
            gUnlocked = true;
            return 0;
        }
        mode = 1; // a wrong remembered password is forgotten and asked anew
    }
    return kArcErrEncrypted;
}

bool Protected(uint16_t format, const ZipEntry &e) { return gPasswordKnob[0] && format == kArcFormatZip && !e.IsDir(); }

bool IsUtf8(const std::string &s, bool *nonAscii) {
    *nonAscii = false;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        *nonAscii = true;
        int n = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (n < 0 || i + (size_t)n >= s.size())
            return false;
        for (int k = 1; k <= n; ++k)
            if (((unsigned char)s[i + k] & 0xC0) != 0x80)
                return false;
        i += (size_t)n + 1;
    }
    return true;
}

std::string Convert(const std::string &s, UINT from, UINT to) {
    if (s.empty())
        return s;
    int wn = MultiByteToWideChar(from, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w((size_t)wn, L'\0');
    MultiByteToWideChar(from, 0, s.data(), (int)s.size(), &w[0], wn);
    int n = WideCharToMultiByte(to, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(to, 0, w.data(), wn, &out[0], n, nullptr, nullptr);
    return out;
}

// The member's name in the program's code page, "\" as separator. Names the
// code page cannot show come out with '?', which no extraction accepts.
std::string AnsiName(const ZipEntry &e) {
    bool nonAscii;
    std::string name = e.rawName;
    if (IsUtf8(name, &nonAscii) ? nonAscii : false)
        name = Convert(name, CP_UTF8, CP_ACP);
    else if (!e.utf8 && nonAscii)
        name = Convert(name, 437, CP_ACP);
    for (char &c : name)
        if (c == '/')
            c = '\\';
    return name;
}

// A name to store: "/" separators, UTF-8 (the flag says so when needed).
std::string StoredName(const char *ansi, bool *utf8) {
    std::string s = ansi;
    for (char &c : s)
        if (c == '\\')
            c = '/';
    bool nonAscii = false;
    for (char c : s)
        if ((unsigned char)c >= 0x80)
            nonAscii = true;
    *utf8 = nonAscii;
    return nonAscii ? Convert(s, CP_ACP, CP_UTF8) : s;
}

void DosFromFileTime(const FILETIME &utc, uint16_t *date, uint16_t *time) {
    FILETIME local;
    *date = *time = 0;
    if (FileTimeToLocalFileTime(&utc, &local))
        FileTimeToDosDateTime(&local, date, time);
}

struct Archive {
    FILE *f = nullptr;
    uint16_t format = 0;
    std::vector<ZipEntry> entries;
    GzipInfo gz;
    std::string path;
    ~Archive() {
        if (f)
            fclose(f);
    }
};

// Opens an archive for reading so that a pack or delete running meanwhile
// on another thread can still put its new archive in place (the rename over
// a file needs every reader to share deleting).
FILE *OpenShared(const char *path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    int fd = _open_osfhandle((intptr_t)h, _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *f = _fdopen(fd, "rb");
    if (!f)
        _close(fd);
    return f;
}

uint16_t Detect(const char *path) {
    FILE *f = OpenShared(path);
    if (!f)
        return 0;
    uint8_t sig[4] = {};
    size_t n = fread(sig, 1, 4, f);
    fclose(f);
    if (n >= 4 && sig[0] == 'P' && sig[1] == 'K' && ((sig[2] == 3 && sig[3] == 4) || (sig[2] == 5 && sig[3] == 6)))
        return kArcFormatZip;
    if (n >= 2 && sig[0] == 0x1F && sig[1] == 0x8B)
        return kArcFormatGzip;
    return 0;
}

// 0, or an error code (not an archive: kArcErrBadArchive with format 0).
int OpenArchive(const char *path, Archive *a) {
    a->path = path;
    a->format = Detect(path);
    if (!a->format)
        return kArcErrBadArchive;
    a->f = OpenShared(path);
    if (!a->f)
        return kArcErrRead;
    if (a->format == kArcFormatZip)
        return ZipReadDirectory(a->f, &a->entries);
    int r = GzipReadInfo(a->f, &a->gz);
    if (r)
        return r;
    // One member: the stored name (ISO 8859-1), else the archive's name
    // without ".gz"; ".tgz" names a ".tar".
    ZipEntry e;
    std::string name = a->gz.name.empty() ? std::string() : Convert(a->gz.name, 28591, CP_ACP);
    size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    if (name.empty()) {
        const char *base = strrchr(path, '\\');
        name = base ? base + 1 : path;
        size_t dot = name.find_last_of('.');
        if (dot != std::string::npos && dot > 0) {
            std::string ext = name.substr(dot);
            name = name.substr(0, dot);
            if (_stricmp(ext.c_str(), ".tgz") == 0)
                name += ".tar";
        }
    }
    e.rawName = name;
    e.size = a->gz.isize;
    e.method = 8;
    e.externalAttr = 0x20;
    if (a->gz.mtime) {
        ULARGE_INTEGER t;
        t.QuadPart = (uint64_t)a->gz.mtime * 10000000ull + 116444736000000000ull;
        FILETIME ft = {t.LowPart, t.HighPart};
        DosFromFileTime(ft, &e.dosDate, &e.dosTime);
    }
    a->entries.push_back(e);
    return 0;
}

std::string EntryName(const Archive &a, const ZipEntry &e) {
    return a.format == kArcFormatZip ? AnsiName(e) : e.rawName;
}

int ListMembers(const Archive &a, ArcListCallback callback, void *context) {
    for (const ZipEntry &e : a.entries) {
        std::string name = EntryName(a, e);
        if (e.IsDir() && (name.empty() || name.back() != '\\'))
            name += '\\';
        char method = (e.flags & 1) || Protected(a.format, e) ? 'E' : e.method == 0 ? 'S' : 'D';
        uint64_t size = e.size;
        if (callback(name.c_str(), e.dosDate, e.dosTime, e.DosAttributes(), (uint32_t)method, (uint32_t)size,
                     (uint32_t)(size >> 32), 0, context))
            break;
    }
    return 0;
}

void FillNode(LocationNode *node, const char *path, uint16_t format) {
    node->kind = format;
    lstrcpynA(node->archivePath, path, sizeof node->archivePath);
    const char *base = strrchr(node->archivePath, '\\');
    node->archiveNameOffset = (uint16_t)(base ? base + 1 - node->archivePath : 0);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        DosFromFileTime(data.ftLastWriteTime, &node->archiveDate, &node->archiveTime);
}

// ---- writing files safely ----

struct ProgressTarget {
    void *job;
};
void AddProgress(void *context, uint64_t bytes) {
    ProgressTarget *t = (ProgressTarget *)context;
    if (t->job && gHost && gHost->addProgress64)
        gHost->addProgress64(t->job, &bytes);
}

// Opens a new file of a unique temporary name in `folder`'s folder.
FILE *CreateTempBeside(const std::string &target, std::string *tempPath) {
    std::string folder = target;
    size_t slash = folder.find_last_of('\\');
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
    for (int i = 0; i < 1000; ++i) {
        char name[64];
        snprintf(name, sizeof name, "\\~zq%04lx%03d.tmp", GetCurrentProcessId() & 0xFFFF, (int)((GetTickCount() + i) % 1000));
        *tempPath = folder + name;
        HANDLE h = CreateFileA(tempPath->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return nullptr;
        }
        int fd = _open_osfhandle((intptr_t)h, _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            DeleteFileA(tempPath->c_str());
            return nullptr;
        }
        FILE *f = _fdopen(fd, "w+b");
        if (!f) {
            _close(fd);
            DeleteFileA(tempPath->c_str());
        }
        return f;
    }
    return nullptr;
}

// Renames a complete temporary file over its target. A reader that holds
// the target open for a moment (a panel listing the archive, a viewer) makes
// the rename fail with access denied or a sharing violation until it lets
// go, so those are tried again for a while; the old target stays meanwhile.
bool PutInPlace(const char *temp, const char *target) {
    for (int tries = 0;; ++tries) {
        if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING))
            return true;
        DWORD e = GetLastError();
        if ((e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION) || tries >= 100)
            return false;
        DWORD a = GetFileAttributesA(target);
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
            return false; // that denial does not pass
        Sleep(50);
    }
}

// A failing sink for the write-error knob: the n-th file fails after its
// first bytes are written.
bool KnobFails() { return gFailAt > 0 && ++gFilesWritten == gFailAt; }

void SetDosTime(const char *path, uint16_t date, uint16_t time) {
    if (!date)
        return;
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc))
        return;
    HANDLE h = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        SetFileTime(h, nullptr, nullptr, &utc);
        CloseHandle(h);
    }
}

// Writes one member to `target` through a temporary file. 0 or an error.
int ExtractToFile(const Archive &a, const ZipEntry &e, const std::string &target, ProgressTarget *pt,
                  volatile uint32_t *cancel) {
    std::string temp;
    FILE *out = CreateTempBeside(target, &temp);
    if (!out)
        return kArcErrWrite;
    ArcProgress progress;
    progress.add = AddProgress;
    progress.context = pt;
    progress.cancel = cancel;
    int r;
    if (KnobFails()) {
        fwrite("partial", 1, 7, out);
        r = kArcErrWrite;
    } else if (a.format == kArcFormatZip) {
        r = ZipExtract(a.f, e, out, progress);
    } else {
        r = GzipExtract(a.f, out, progress);
    }
    if (fclose(out) != 0 && r == 0)
        r = kArcErrWrite;
    if (r == 0) {
        SetDosTime(temp.c_str(), e.dosDate, e.dosTime);
        DWORD old = GetFileAttributesA(target.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) && !(old & FILE_ATTRIBUTE_DIRECTORY))
            SetFileAttributesA(target.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
        if (!PutInPlace(temp.c_str(), target.c_str())) {
            if (old != INVALID_FILE_ATTRIBUTES)
                SetFileAttributesA(target.c_str(), old);
            r = kArcErrWrite;
        } else {
            uint32_t attr = e.DosAttributes() & 0x27;
            if (attr & 0x07)
                SetFileAttributesA(target.c_str(), attr);
        }
    }
    if (r != 0)
        DeleteFileA(temp.c_str());
    return r;
}

// The system's own text for an error code.
std::string SystemText(DWORD code) {
    char text[300] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                        sizeof text, nullptr))
        snprintf(text, sizeof text, "error %lu", (unsigned long)code);
    size_t n = strlen(text);
    while (n && (text[n - 1] == '\r' || text[n - 1] == '\n'))
        text[--n] = 0;
    return text;
}

bool IsLinkOrFile(const std::string &path) {
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES &&
           ((attr & FILE_ATTRIBUTE_REPARSE_POINT) || !(attr & FILE_ATTRIBUTE_DIRECTORY));
}

// Makes the folders of `rel` below `root` (rel's last component too when
// `all`), never entering a link. false when one is a link or a file, or
// cannot be made.
bool MakeFoldersBelow(const std::string &root, const std::string &rel, bool all) {
    std::string path = root;
    size_t start = 0;
    for (;;) {
        size_t slash = rel.find('\\', start);
        if (slash == std::string::npos && !all)
            return true;
        std::string part = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        path += "\\" + part;
        DWORD attr = GetFileAttributesA(path.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryA(path.c_str(), nullptr))
                return false;
        } else if (IsLinkOrFile(path)) {
            return false;
        }
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

std::string Folder(const char *folder) {
    std::string s = folder ? folder : "";
    while (s.size() > 3 && (s.back() == '\\' || s.back() == '/'))
        s.pop_back();
    if (s.size() == 3 && s[1] == ':' && s[2] == '\\')
        s.pop_back();
    return s;
}

// ---- commands ----

intptr_t OpenOrReread(ArcCommandRecord *rec, bool reread) {
    LocationNode *node = reread ? (LocationNode *)rec->a[0] : nullptr;
    const char *path = reread ? (node ? node->archivePath : nullptr) : (const char *)rec->a[0];
    DirListing *listing = (DirListing *)rec->a[1];
    ArcListCallback callback = (ArcListCallback)rec->a[2];
    if (!path || !callback)
        return 0;
    Archive a;
    int r = OpenArchive(path, &a);
    if (r) {
        if (a.format)
            Report(nullptr, r, path);
        return 0;
    }
    if (!reread) {
        if (!gHost || !gHost->memAlloc)
            return 0;
        node = (LocationNode *)gHost->memAlloc(sizeof(LocationNode));
        if (!node)
            return 0;
        FillNode(node, path, a.format);
    }
    ArcListContext context = {0, listing, 4096, 0, node};
    ListMembers(a, callback, &context);
    return reread ? 1 : (intptr_t)node;
}

intptr_t EnumForExtract(ArcCommandRecord *rec) {
    ArcExtractItem *item = (ArcExtractItem *)rec->a[2];
    ArcListCallback callback = (ArcListCallback)rec->a[3];
    if (!item || !callback || !item->archive)
        return 0;
    Archive a;
    int r = OpenArchive(item->archive, &a);
    if (r) {
        Report(item->owner, r, item->archive);
        return 0;
    }
    ListMembers(a, callback, item);
    return 1;
}

// Pairs of (member, target) as packed strings ending with an empty one.
intptr_t ExtractPairs(ArcCommandRecord *rec) {
    ArcExtractItem *item = (ArcExtractItem *)rec->a[0];
    const char *list = (const char *)rec->a[1];
    uint32_t confirm = (uint32_t)rec->a[3];
    if (!item || !list || !item->archive)
        return kArcErrBadArchive;
    Archive a;
    int r = OpenArchive(item->archive, &a);
    if (r) {
        Report(item->owner, r, item->archive);
        return r;
    }
    std::map<std::string, const ZipEntry *> byName;
    for (const ZipEntry &e : a.entries) {
        std::string n = EntryName(a, e);
        while (!n.empty() && n.back() == '\\')
            n.pop_back();
        byName.emplace(n, &e);
    }
    ProgressTarget pt = {item->job};
    int result = 0;
    for (const char *p = list; *p;) {
        const char *member = p;
        p += strlen(p) + 1;
        if (!*p)
            break;
        std::string target = p;
        p += strlen(p) + 1;
        if (item->cancel && *item->cancel)
            return kArcErrStopped;
        std::string key = member;
        while (!key.empty() && key.back() == '\\')
            key.pop_back();
        auto it = byName.find(key);
        if (it == byName.end())
            continue; // the host collected folder entries the archive does not hold
        const ZipEntry &e = *it->second;
        if (e.IsDir()) {
            DWORD attr = GetFileAttributesA(target.c_str());
            if (attr == INVALID_FILE_ATTRIBUTES)
                CreateDirectoryA(target.c_str(), nullptr);
            continue;
        }
        if (e.IsLink()) {
            Report(item->owner, kArcErrUnsafeName, member);
            result = kArcErrUnsafeName;
            continue;
        }
        DWORD attr = GetFileAttributesA(target.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES) {
            if (attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
                Report(item->owner, kArcErrWrite, target.c_str());
                result = kArcErrWrite;
                continue;
            }
            int answer = gHost && gHost->confirmOverwrite ? gHost->confirmOverwrite(item, target.c_str(), !confirm)
                                                         : kArcReplace;
            if (answer == kArcStop)
                return kArcErrStopped;
            if (answer == kArcSkip)
                continue;
        }
        if (Protected(a.format, e) && Unlock(item->owner) != 0) {
            Report(item->owner, kArcErrEncrypted, member);
            return kArcErrEncrypted;
        }
        r = ExtractToFile(a, e, target, &pt, item->cancel);
        if (r == kArcErrStopped)
            return r;
        if (r) {
            Report(item->owner, r, target.c_str());
            result = r;
        }
    }
    return result;
}

intptr_t ExtractOne(ArcCommandRecord *rec) {
    void *owner = (void *)rec->a[0];
    const char *archive = (const char *)rec->a[1], *member = (const char *)rec->a[2];
    const char *target = (const char *)rec->a[3];
    if (!archive || !member || !target)
        return kArcErrBadArchive;
    Archive a;
    int r = OpenArchive(archive, &a);
    if (r) {
        Report(owner, r, archive);
        return r;
    }
    for (const ZipEntry &e : a.entries)
        if (!e.IsDir() && _stricmp(EntryName(a, e).c_str(), member) == 0) {
            if (e.IsLink()) {
                Report(owner, kArcErrUnsafeName, member);
                return kArcErrUnsafeName;
            }
            if (Protected(a.format, e) && Unlock(owner) != 0) {
                Report(owner, kArcErrEncrypted, member);
                return kArcErrEncrypted;
            }
            ProgressTarget pt = {nullptr};
            r = ExtractToFile(a, e, target, &pt, nullptr);
            if (r)
                Report(owner, r, target);
            return r;
        }
    Report(owner, kArcErrBadArchive, member); // no such member (any more)
    return kArcErrBadArchive;
}

intptr_t UnpackAll(ArcCommandRecord *rec) {
    void *owner = (void *)rec->a[0];
    const char *archive = (const char *)rec->a[1];
    std::string root = Folder((const char *)rec->a[2]);
    bool withPaths = rec->a[3] != 0;
    volatile uint32_t *cancel = (volatile uint32_t *)rec->a[5];
    uint32_t confirm = (uint32_t)rec->a[7];
    if (!archive || root.empty())
        return kArcErrBadArchive;
    Archive a;
    int r = OpenArchive(archive, &a);
    if (r) {
        Report(owner, r, archive);
        return r;
    }
    DWORD rootAttr = GetFileAttributesA(root.c_str());
    if (rootAttr == INVALID_FILE_ATTRIBUTES || !(rootAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        Report(owner, kArcErrWrite, root.c_str());
        return kArcErrWrite;
    }
    ProgressTarget pt = {nullptr};
    bool all = false;
    int result = 0;
    for (const ZipEntry &e : a.entries) {
        if (cancel && *cancel)
            return kArcErrStopped;
        std::string name = EntryName(a, e);
        char rel[520];
        if (!ArcMemberRelativePath(name.c_str(), rel, sizeof rel) || e.IsLink()) {
            Report(owner, kArcErrUnsafeName, name.c_str());
            result = kArcErrUnsafeName;
            continue;
        }
        std::string relPath = rel;
        if (!withPaths) {
            if (e.IsDir())
                continue;
            size_t slash = relPath.find_last_of('\\');
            if (slash != std::string::npos)
                relPath = relPath.substr(slash + 1);
        }
        if (!MakeFoldersBelow(root, relPath, e.IsDir())) {
            Report(owner, kArcErrWrite, (root + "\\" + relPath).c_str());
            result = kArcErrWrite;
            continue;
        }
        if (e.IsDir())
            continue;
        std::string target = root + "\\" + relPath;
        DWORD attr = GetFileAttributesA(target.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES) {
            if (attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
                Report(owner, kArcErrWrite, target.c_str());
                result = kArcErrWrite;
                continue;
            }
            if (confirm && !all && gHost && gHost->askOverwrite) {
                int answer = gHost->askOverwrite(owner, target.c_str(), 0, 0, 0);
                if (answer == kArcAnswerCancel)
                    return kArcErrStopped;
                if (answer == kArcAnswerNo)
                    continue;
                if (answer == kArcAnswerAll)
                    all = true;
            }
        }
        if (Protected(a.format, e) && Unlock(owner) != 0) {
            Report(owner, kArcErrEncrypted, name.c_str());
            return kArcErrEncrypted;
        }
        r = ExtractToFile(a, e, target, &pt, cancel);
        if (r == kArcErrStopped)
            return r;
        if (r) {
            Report(owner, r, target.c_str());
            result = r;
        }
    }
    return result;
}

std::string Lower(std::string s) {
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

// Rewrites `archive` through a new file: `keep` decides for each old
// member, `add` appends new ones. The old file is replaced only at the end.
template <class Keep, class Add>
int Rewrite(const char *archive, void *owner, Keep keep, Add add) {
    Archive old;
    bool exists = GetFileAttributesA(archive) != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        int r = OpenArchive(archive, &old);
        if (r == 0 && old.format != kArcFormatZip)
            r = kArcErrBadArchive;
        if (r) {
            Report(owner, r, archive);
            return r;
        }
    }
    std::string temp;
    FILE *out = CreateTempBeside(archive, &temp);
    if (!out) {
        Report(owner, kArcErrWrite, archive);
        return kArcErrWrite;
    }
    ZipWriter writer(out);
    int r = 0;
    for (const ZipEntry &e : old.entries) {
        int k = keep(old, e);
        if (k < 0) {
            r = k;
            break;
        }
        if (k && (r = writer.CopyMember(old.f, e)) != 0)
            break;
    }
    if (r == 0)
        r = add(writer);
    if (r == 0)
        r = writer.Finish();
    if (fclose(out) != 0 && r == 0)
        r = kArcErrWrite;
    if (old.f) {
        fclose(old.f);
        old.f = nullptr;
    }
    std::string detail = archive;
    if (r == 0 && !PutInPlace(temp.c_str(), archive)) {
        r = kArcErrWrite;
        detail += "\n" + SystemText(GetLastError());
    }
    if (r) {
        DeleteFileA(temp.c_str());
        if (r != kArcErrStopped)
            Report(owner, r, detail.c_str());
    }
    return r;
}

bool FileDos(const char *path, uint16_t *date, uint16_t *time, uint32_t *attributes, uint32_t *mtime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    DosFromFileTime(data.ftLastWriteTime, date, time);
    *attributes = data.dwFileAttributes;
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    *mtime = t.QuadPart > 116444736000000000ull ? (uint32_t)((t.QuadPart - 116444736000000000ull) / 10000000ull) : 0;
    return true;
}

intptr_t Pack(ArcCommandRecord *rec) {
    ArcPackItem *item = (ArcPackItem *)rec->a[0];
    const char *const *pairs = (const char *const *)rec->a[1];
    uint32_t confirm = (uint32_t)rec->a[2];
    uint32_t choice = (uint32_t)rec->a[3];
    const char *password = (const char *)rec->a[4];
    if (!item || !item->archive || !pairs)
        return kArcErrBadArchive;
    void *owner = item->owner;
    if (password && password[0]) {
        // The stand-in writes no encrypted members: refused rather than
        // written without the protection the user asked for.
        Report(owner, kArcErrEncrypted, item->archive);
        return kArcErrEncrypted;
    }
    int level = (int)((choice >> 4) & 15) - 1;
    if (level < 0 || level > 9)
        level = 6;
    ProgressTarget pt = {item->job};
    ArcProgress progress;
    progress.add = AddProgress;
    progress.context = &pt;
    progress.cancel = item->cancel;

    struct NewMember {
        std::string source, stored;
        bool utf8, folder;
    };
    std::vector<NewMember> members;
    for (size_t i = 0; pairs[i] && pairs[i + 1]; i += 2) {
        NewMember m;
        m.source = pairs[i];
        std::string name = pairs[i + 1];
        m.folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
        char rel[520];
        if (!ArcMemberRelativePath(name.c_str(), rel, sizeof rel)) {
            Report(owner, kArcErrUnsafeName, name.c_str());
            return kArcErrUnsafeName;
        }
        m.stored = StoredName(rel, &m.utf8);
        members.push_back(m);
    }

    const char *ext = strrchr(item->archive, '.');
    if (ext && (_stricmp(ext, ".gz") == 0 || _stricmp(ext, ".tgz") == 0)) {
        if (members.size() != 1 || members[0].folder) {
            Report(owner, kArcErrGzipOne, item->archive);
            return kArcErrGzipOne;
        }
        FILE *src = ArcFileOpen(members[0].source.c_str(), "rb");
        if (!src) {
            Report(owner, kArcErrRead, members[0].source.c_str());
            return kArcErrRead;
        }
        uint16_t d, t;
        uint32_t attr, mtime = 0;
        FileDos(members[0].source.c_str(), &d, &t, &attr, &mtime);
        std::string temp;
        FILE *out = CreateTempBeside(item->archive, &temp);
        int r = out ? 0 : kArcErrWrite;
        if (out) {
            r = KnobFails() ? kArcErrWrite
                            : GzipWrite(src, out, Convert(pairs[1], CP_ACP, 28591), mtime, level < 1 ? 6 : level,
                                        progress);
            if (fclose(out) != 0 && r == 0)
                r = kArcErrWrite;
        }
        fclose(src);
        if (r == 0 && !PutInPlace(temp.c_str(), item->archive))
            r = kArcErrWrite;
        if (r && out)
            DeleteFileA(temp.c_str());
        if (r && r != kArcErrStopped)
            Report(owner, r, item->archive);
        return r;
    }

    std::map<std::string, size_t> newNames;
    for (size_t i = 0; i < members.size(); ++i)
        newNames[Lower(members[i].stored)] = i;
    std::vector<bool> addIt(members.size(), true);
    bool all = false;
    auto keep = [&](const Archive &a, const ZipEntry &e) -> int {
        std::string n = e.rawName;
        if (!e.utf8) {
            bool nonAscii;
            if (!IsUtf8(n, &nonAscii))
                n = Convert(n, 437, CP_UTF8);
        }
        while (!n.empty() && n.back() == '/')
            n.pop_back();
        auto it = newNames.find(Lower(n));
        if (it == newNames.end())
            return 1;
        if (members[it->second].folder)
            return 1; // the folder is there already
        if (confirm && !all && gHost && gHost->askOverwrite) {
            std::string shown = EntryName(a, e);
            int answer = gHost->askOverwrite(owner, shown.c_str(), 0, 0, 0);
            if (answer == kArcAnswerCancel)
                return kArcErrStopped;
            if (answer == kArcAnswerNo) {
                addIt[it->second] = false;
                return 1;
            }
            if (answer == kArcAnswerAll)
                all = true;
        }
        return 0;
    };
    auto add = [&](ZipWriter &w) -> int {
        for (size_t i = 0; i < members.size(); ++i) {
            if (!addIt[i])
                continue;
            const NewMember &m = members[i];
            uint16_t d = 0, t = 0;
            uint32_t attr = 0, mtime;
            if (!FileDos(m.source.c_str(), &d, &t, &attr, &mtime)) {
                Report(owner, kArcErrRead, m.source.c_str());
                return kArcErrRead;
            }
            int r;
            if (m.folder) {
                r = w.AddFolder(m.stored, m.utf8, d, t);
            } else {
                if (attr & FILE_ATTRIBUTE_REPARSE_POINT) {
                    Report(owner, kArcErrUnsafeName, m.source.c_str());
                    return kArcErrUnsafeName;
                }
                FILE *src = ArcFileOpen(m.source.c_str(), "rb");
                if (!src) {
                    Report(owner, kArcErrRead, m.source.c_str());
                    return kArcErrRead;
                }
                r = KnobFails() ? kArcErrWrite : w.AddFile(src, m.stored, m.utf8, d, t, attr, level, progress);
                fclose(src);
                if (r == kArcErrRead) {
                    Report(owner, r, m.source.c_str());
                    return r;
                }
            }
            if (r)
                return r;
        }
        return 0;
    };
    return Rewrite(item->archive, owner, keep, add);
}

intptr_t DeleteMembers(ArcCommandRecord *rec) {
    ArcExtractItem *item = (ArcExtractItem *)rec->a[0];
    const char *list = (const char *)rec->a[1];
    if (!item || !item->archive || !list)
        return kArcErrBadArchive;
    std::vector<std::string> names;
    for (const char *p = list; *p; p += strlen(p) + 1) {
        std::string n = Lower(p);
        while (!n.empty() && n.back() == '\\')
            n.pop_back();
        names.push_back(n);
    }
    auto keep = [&](const Archive &a, const ZipEntry &e) -> int {
        std::string n = Lower(EntryName(a, e));
        while (!n.empty() && n.back() == '\\')
            n.pop_back();
        for (const std::string &d : names)
            if (n == d || (n.size() > d.size() && n.compare(0, d.size(), d) == 0 && n[d.size()] == '\\'))
                return 0;
        return 1;
    };
    auto add = [](ZipWriter &) { return 0; };
    return Rewrite(item->archive, item->owner, keep, add);
}

} // namespace

extern "C" __declspec(dllexport) intptr_t __cdecl z(ArcCommandRecord *rec) {
    if (!rec)
        return 0;
    if (rec->host)
        gHost = rec->host;
    ResetKnobs();
    switch (rec->code) {
    case kArcHello:
        return 0;
    case kArcGetType:
        return rec->a[0] ? Detect((const char *)rec->a[0]) : 0;
    case kArcOpen:
        return OpenOrReread(rec, false);
    case kArcReread:
        return OpenOrReread(rec, true);
    case kArcEnumForExtract:
        return EnumForExtract(rec);
    case kArcExtractOne:
        return ExtractOne(rec);
    case kArcExtractPairs:
        return ExtractPairs(rec);
    case kArcUnpackAll:
        return UnpackAll(rec);
    case kArcDeleteMembers:
        return DeleteMembers(rec);
    case kArcPack:
        return Pack(rec);
    case kArcFormatName:
    case kArcDefaultExt: {
        char *out = (char *)rec->a[1];
        if (!out)
            return 0;
        uint32_t format = (uint32_t)rec->a[0];
        const char *text = "";
        if (format == kArcFormatZip)
            text = rec->code == kArcFormatName ? "ZIP" : "zip";
        else if (format == kArcFormatGzip || format == kArcFormatGzipAlt)
            text = rec->code == kArcFormatName ? "GZip" : "gz";
        strcpy(out, text);
        return 0;
    }
    }
    return -1;
}
