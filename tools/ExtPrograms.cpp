#include "tools/ExtPrograms.h"

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "app/Commands.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "base/DateTime.h"
#include "fileops/FileSystem.h"
#include "fileops/FileHelpers.h"
#include "fileops/Job.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/EditedCopy.h"
#include "frontends/FtpFrontEnd.h"
#include "FtpLib.h"
#include "panels/Location.h"
#include "panels/Filter.h"
#include "tools/RunServices.h"
#include "tools/TextEditor.h"
#include "tools/ViewerWindow.h"
#include "wingui/WindowList.h"

static DWORD ExtProgStart(const char *commandLine, const char *folder, int show) {
    return RunCommandLine(commandLine, folder, show, nullptr, 'C');
}

// ---- the lists

const size_t kRecordHead = 9;

void *ExtProgListBuild(const char *const *values, int count) {
    size_t total = 2;
    for (int i = 0; i < count; i++)
        total += kRecordHead + strlen(values[i]) + 4;
    uint8_t *block = (uint8_t *)MemAlloc(total);
    if (!block)
        return nullptr;
    uint8_t *p = block;
    for (int i = 0; i < count; i++) {
        // masks=program=parameters=mode=folder; without "=" masks only.
        const char *fields[5] = {"", "", "", "", ""};
        size_t lengths[5] = {0, 0, 0, 0, 0};
        const char *s = values[i];
        for (int f = 0; f < 5; f++) {
            const char *end = f < 4 ? strchr(s, '=') : nullptr;
            fields[f] = s;
            lengths[f] = end ? (size_t)(end - s) : strlen(s);
            if (!end) {
                s += lengths[f];
                for (int g = f + 1; g < 5; g++)
                    fields[g] = s;
                break;
            }
            s = end + 1;
        }
        uint8_t *strings = p + kRecordHead;
        size_t at = 0;
        uint16_t offsets[5] = {};
        static const int kStored[] = {0, 1, 2, 4};
        for (int f : kStored) {
            if (f != 0 && lengths[f] == 0)
                continue;
            offsets[f] = (uint16_t)at;
            memcpy(strings + at, fields[f], lengths[f]);
            strings[at + lengths[f]] = 0;
            at += lengths[f] + 1;
        }
        uint8_t show = 5;
        if (lengths[3] && fields[3][0] == 'M')
            show = 3;
        else if (lengths[3] && fields[3][0] == 'm')
            show = 6;
        uint16_t length = (uint16_t)(kRecordHead + at);
        memcpy(p, &length, 2);
        memcpy(p + 2, &offsets[1], 2);
        memcpy(p + 4, &offsets[2], 2);
        memcpy(p + 6, &offsets[4], 2);
        p[8] = show;
        p += length;
    }
    p[0] = p[1] = 0;
    return block;
}

void *ExtProgListLoad(const char *section) {
    char ini[260];
    IniGetPath(ini);
    static char values[99][521];
    const char *pointers[99];
    int count = 0;
    for (int n = 1; n <= 99; n++) {
        char key[8];
        snprintf(key, sizeof key, "%d", n);
        if (!GetPrivateProfileStringA(section, key, "", values[count], sizeof values[count], ini) || !values[count][0])
            break;
        pointers[count] = values[count];
        count++;
    }
    return count ? ExtProgListBuild(pointers, count) : nullptr;
}

int ExtProgListMatch(const char *path, const void *list, const char **program, const char **folder,
                     const char **params) {
    *program = *folder = *params = nullptr;
    const uint8_t *p = (const uint8_t *)list;
    if (!p || !path)
        return 0;
    for (;;) {
        uint16_t length, programAt, paramsAt, folderAt;
        memcpy(&length, p, 2);
        if (length < kRecordHead)
            return 0;
        memcpy(&programAt, p + 2, 2);
        memcpy(&paramsAt, p + 4, 2);
        memcpy(&folderAt, p + 6, 2);
        const char *strings = (const char *)p + kRecordHead;
        if (FilterMatchMasks(path, strings)) {
            *program = programAt ? strings + programAt : nullptr;
            *params = paramsAt ? strings + paramsAt : nullptr;
            *folder = folderAt ? strings + folderAt : nullptr;
            return p[8];
        }
        p += length;
    }
}

static void *gViewerList, *gEditorList;
static bool gListsLoaded;

static void ExtProgListsEnsure() {
    if (gListsLoaded)
        return;
    gViewerList = ExtProgListLoad("Viewer");
    gEditorList = ExtProgListLoad("Editor");
    gListsLoaded = true;
}

void ExtProgListsForget() {
    MemFree(&gViewerList);
    MemFree(&gEditorList);
    gListsLoaded = false;
}

bool ExtProgCommandLine(const char *program, const char *params, const char *file, char *out, size_t size) {
    char expanded[1100] = "";
    int inserted = 0;
    if (params && params[0])
        inserted = RunExpandParams(params, expanded, sizeof expanded, file);
    if (size)
        out[0] = 0;
    int r = StrAppend(out, program, size);
    if (!inserted && file && file[0]) {
        // The long path when there is no short one (never cut).
        char shortPath[MAX_PATH];
        PathGetShortName(file, shortPath, sizeof shortPath);
        r |= StrAppend(out, " ", size);
        r |= StrAppend(out, shortPath, size);
    }
    if (expanded[0]) {
        r |= StrAppend(out, " ", size);
        r |= StrAppend(out, expanded, size);
    }
    return r == 0;
}

static bool IsFolder(const char *path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- viewer and editor

// Last-write time (local, DOS) and size of a local file.
static bool LocalStamp(const char *path, uint16_t *date, uint16_t *time, uint64_t *size) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    FILETIME local;
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &d, &t))
        return false;
    *date = d;
    *time = t;
    *size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    return true;
}

// An archive level whose archive the library can rewrite: a library
// format, the outermost archive.
static bool IsArchiveLevel(const LocationNode *location) {
    return location && location->kind >= kLocationArchiveLib && location->kind < kLocationFtp &&
           !LocationFollowsParent(location);
}

// A local copy whose edit can go back: a device, FTP or archive file.
static bool CanPutBack(const LocationNode *location) {
    return location && (location->kind == kLocationCeDevice || location->kind == kLocationFtp ||
                        IsArchiveLevel(location));
}

// ---- the external editor's watch

// The watch keeps the process handle, never the id: an id can name another
// process once the editor has ended. When the editor ends, the watch thread
// hands its record to the interface thread (a dialog made on the watch
// thread would go when that thread ends) and the put-back starts there.
struct EditWatchRecord {
    HANDLE process;
    char localPath[MAX_PATH];
    LocationNode *location;
    uint16_t date, time;
    uint64_t size;
    EditWatchRecord *next; // in the list of ended watches
};

static volatile LONG gEditWatches;
static EditWatchRecord *volatile gEndedWatches;
// The put-back dialogs started for ended watches (interface thread only).
static HWND gPutBackDialogs[16];

static bool MainWindowLives() { return gMainWindow && IsWindow(gMainWindow); }

static void EndedWatchPush(EditWatchRecord *w) {
    for (;;) {
        EditWatchRecord *head = gEndedWatches;
        w->next = head;
        if (InterlockedCompareExchangePointer((void *volatile *)&gEndedWatches, w, head) == head)
            return;
    }
}

static void EditWatchFree(EditWatchRecord *w) {
    LocationCloneFree(w->location);
    MemFree(&w);
    InterlockedDecrement(&gEditWatches);
}

static DWORD WINAPI EditWatchThread(void *param) {
    EditWatchRecord *w = (EditWatchRecord *)param;
    bool ended = false;
    while (MainWindowLives()) {
        if (WaitForSingleObject(w->process, 100) != WAIT_TIMEOUT) {
            ended = true;
            break;
        }
    }
    CloseHandle(w->process);
    w->process = nullptr;
    if (!ended) {
        EditWatchFree(w); // the program is closing
        return 0;
    }
    // The message carries nothing: the interface thread takes every ended
    // watch from the list, so a stray message from elsewhere does no harm.
    EndedWatchPush(w);
    PostMessageA(gMainWindow, kMsgEditWatchEnded, 0, 0);
    return 0;
}

void EditWatchOnEnded() {
    EditWatchRecord *w = (EditWatchRecord *)InterlockedExchangePointer((void *volatile *)&gEndedWatches, nullptr);
    while (w) {
        EditWatchRecord *next = w->next;
        HWND dialog = EditPutBack(w->localPath, w->location, w->date, w->time, w->size);
        w->location = nullptr; // EditPutBack took it
        for (HWND &slot : gPutBackDialogs)
            if (dialog && (!slot || !IsWindow(slot))) {
                slot = dialog;
                dialog = nullptr;
            }
        EditWatchFree(w);
        w = next;
    }
}

void EditWatchStart(HANDLE process, const char *, const char *localPath, LocationNode *location, uint16_t date,
                    uint16_t time, uint64_t size) {
    EditWatchRecord *w = (EditWatchRecord *)MemAlloc(sizeof *w);
    if (!w || strlen(localPath) >= sizeof w->localPath) {
        MemFree(&w);
        CloseHandle(process);
        LocationCloneFree(location);
        return;
    }
    w->process = process;
    lstrcpynA(w->localPath, localPath, sizeof w->localPath);
    w->location = location;
    w->date = date;
    w->time = time;
    w->size = size;
    InterlockedIncrement(&gEditWatches);
    HANDLE thread = CreateThread(nullptr, 0, EditWatchThread, w, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    CloseHandle(process);
    EditWatchFree(w);
}

bool EditWatchIdle() {
    if (gEditWatches != 0)
        return false;
    for (HWND dialog : gPutBackDialogs)
        if (dialog && IsWindow(dialog))
            return false;
    return true;
}

// The copy can go back to where it came from: a device, the FTP
// connection it was fetched through, still open, or an archive file of a
// library format, still there.
static uint16_t PutBackJobCode(const LocationNode *location) {
    if (!location)
        return 0;
    if (location->kind == kLocationCeDevice)
        return kJobCodeCePutBack;
    if (location->kind == kLocationFtp && FtpIsSameConnection(location))
        return kJobCodeFtpPutBack;
    if (IsArchiveLevel(location)) {
        DWORD a = GetFileAttributesA(location->archivePath);
        if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY))
            return kJobCodeArcPutBack;
    }
    return 0;
}

// The name of the original for the kept copy's name.
static const char *OriginalName(const LocationNode *location) {
    if (location && location->kind == kLocationFtp)
        return reinterpret_cast<const FtpLocationHead *>(location)->text;
    if (IsArchiveLevel(location))
        return location->innerPath;
    return location ? location->archivePath : "";
}

HWND EditPutBack(const char *localPath, LocationNode *location, uint16_t date, uint16_t time, uint64_t size) {
    HWND dialog = nullptr;
    uint16_t nowDate = 0, nowTime = 0;
    uint64_t nowSize = 0;
    bool changed = CanPutBack(location) &&
                   LocalStamp(localPath, &nowDate, &nowTime, &nowSize) && (nowDate & 0x1F) != 0 &&
                   (nowSize != size || DosStampCompare(nowDate, nowTime, date, time) != 0);
    uint16_t code = changed && MainWindowLives() ? PutBackJobCode(location) : 0;
    if (code) {
        JobRecord job = {};
        job.itemCount = (uint32_t)(UINT_PTR)gMainWindow;
        job.titleId = Txt::dlgCopy;
        job.captionId = Txt::dlgCopyFrom;
        job.jobCode = code;
        job.sourcePanel = (uint16_t)(gApp->activePanel & 1);
        job.total = nowSize;
        lstrcpynA(job.target, localPath, sizeof job.target);
        job.targetLocation = location;
        dialog = JobShowDialog(gMainWindow, kDlgJobCopy, &job);
        if (dialog)
            location = nullptr; // the dialog's copy of the record owns it now
    }
    if (changed && !dialog) {
        // The way back is closed (the connection ended, or no dialog):
        // the edit is not lost with the temporary folder.
        char kept[MAX_PATH], reason[512];
        KeepEditedCopy(localPath, OriginalName(location), kept, sizeof kept);
        const char *path = OriginalName(location);
        FileErrorText(ERROR_NOT_CONNECTED, reason, sizeof reason, &path, kCtxNone);
        TellKeptCopy(MainWindowLives() ? gMainWindow : nullptr, reason, kept, MB_OK | MB_ICONSTOP);
    }
    LocationCloneFree(location);
    return dialog;
}

// ---- the actions a fetch job runs

// A viewer window stepping through a device panel shows the fetched copy in
// itself (ViewerShowFileAction), the window being the job's owner.
static const LocalFileAction kLocalActions[] = {nullptr, ViewerOpenFile, EditOpenFile, ViewerShowFileAction};

uint32_t LocalActionIndex(LocalFileAction action) {
    for (uint32_t i = 1; i < sizeof kLocalActions / sizeof kLocalActions[0]; i++)
        if (kLocalActions[i] == action)
            return i;
    return 0;
}

int LocalActionRun(uint32_t index, HWND owner, const char *displayName, const char *localPath,
                   const LocationNode *location) {
    if (index == 0 || index >= sizeof kLocalActions / sizeof kLocalActions[0])
        return 0;
    return kLocalActions[index](owner, displayName, localPath, location);
}

int ViewerOpenFile(HWND owner, const char *displayName, const char *localPath, const LocationNode *) {
    if (GetFileAttributesA(localPath) == INVALID_FILE_ATTRIBUTES)
        return 0;
    ExtProgListsEnsure();
    const char *program, *folder, *params;
    int show = ExtProgListMatch(localPath, gViewerList, &program, &folder, &params);
    if (show == 0)
        show = SW_SHOWNORMAL;
    if (!program) {
        if (ViewerOpenWindow(owner, displayName, localPath))
            return 1;
        program = "WRITE.EXE";
        params = nullptr;
    }
    char line[812];
    if (!ExtProgCommandLine(program, params, localPath, line, sizeof line))
        return 0;
    return ExtProgStart(line, folder, show) != 0;
}

int EditOpenFile(HWND owner, const char *displayName, const char *localPath, const LocationNode *location) {
    if (localPath[0]) {
        if (IsFolder(localPath))
            return 0;
        if (localPath[1] == ':' && FileSetDrive(owner, localPath[0]) != 0)
            return 0;
    }
    // A copy of a device, FTP or archive file: its stamp now, to see after
    // the edit whether it changed.
    EditOrigin origin = {location, 0, 0, 0};
    bool watch = CanPutBack(location) && localPath[0] &&
                 LocalStamp(localPath, &origin.date, &origin.time, &origin.size) && (origin.date & 0x1F) != 0;
    ExtProgListsEnsure();
    const char *program, *folder, *params;
    int show = ExtProgListMatch(localPath, gEditorList, &program, &folder, &params);
    if (show == 0)
        show = SW_SHOWNORMAL;
    if (!program) {
        if (EditCreateWindow(displayName, localPath, kToolWndEditor, watch ? &origin : nullptr))
            return 1;
        program = "WRITE.EXE";
        params = nullptr;
    }
    char line[1040];
    if (!ExtProgCommandLine(program, params, localPath, line, sizeof line))
        return 0;
    const char *runFolder = localPath[0] ? folder : gApp->panelPath[gApp->activePanel & 1];
    if (!watch)
        return ExtProgStart(line, runFolder, show) != 0;
    HANDLE process = nullptr;
    DWORD id = RunCommandLineProcess(line, runFolder, show, nullptr, 'C', &process);
    LocationNode *copy = id && process ? LocationClone(location) : nullptr;
    if (copy)
        EditWatchStart(process, displayName, localPath, copy, origin.date, origin.time, origin.size);
    else if (process)
        CloseHandle(process);
    return id != 0;
}

static const char *NamePart(const char *path) {
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    return name;
}

// A device or FTP file: the fetch job copies it and runs the action on the
// copy. `remote` is the device path or the FTP path.
static int FetchAndRun(HWND owner, int panel, const LocationNode *location, const char *remote,
                       const uint32_t *timeStamps, LocalFileAction action) {
    uint32_t index = LocalActionIndex(action);
    if (!index || !remote[0] || strlen(remote) >= sizeof ((JobRecord *)nullptr)->secondName)
        return -1;
    JobRecord job = {};
    job.itemCount = (uint32_t)(UINT_PTR)owner;
    job.itemInfo = index;
    if (timeStamps)
        job.total = (uint64_t)timeStamps[1] << 32 | timeStamps[0];
    job.titleId = Txt::dlgCopy;
    job.captionId = Txt::dlgCopyFrom;
    job.jobCode = location->kind == kLocationFtp ? kJobCodeFtpFetch : kJobCodeCeFetch;
    job.sourcePanel = (uint16_t)(panel & 1);
    lstrcpynA(job.sourceDir, gApp->panelPath[panel & 1], sizeof job.sourceDir);
    lstrcpynA(job.target, remote, sizeof job.target);
    job.sourceLocation = LocationClone(location);
    if (!job.sourceLocation)
        return 0;
    // The dialog's copy of the record owns the clone from here.
    if (!JobShowDialog(owner, kDlgJobCopy, &job)) {
        LocationCloneFree(job.sourceLocation);
        return 0;
    }
    return 1;
}

// An archive member: extracted by the archive library into a new name in
// the program's temporary folder; the action runs on that.
static int ExtractAndRun(HWND owner, const LocationNode *location, const char *path, LocalFileAction action) {
    const char *name = NamePart(path);
    char member[sizeof location->innerPath + MAX_PATH] = "";
    lstrcpynA(member, location->innerPath, sizeof location->innerPath);
    size_t n = strlen(member);
    while (n && member[n - 1] == '\\')
        member[--n] = 0;
    if ((n && StrAppend(member, "\\", sizeof member)) || StrAppend(member, name, sizeof member) || !name[0])
        return -1;
    char archive[sizeof location->archivePath + 1];
    lstrcpynA(archive, location->archivePath, sizeof archive);
    char display[2 * MAX_PATH];
    snprintf(display, sizeof display, "%s\\%s", archive, member);
    char local[MAX_PATH] = "";
    DWORD a = GetFileAttributesA(archive);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    PathMakeUniqueName(name, local, sizeof local);
    uintptr_t args[8] = {(uintptr_t)owner,
                         (uintptr_t)archive,
                         (uintptr_t)member,
                         (uintptr_t)local,
                         location->kind,
                         (uintptr_t)gApp->archivePassword,
                         (uintptr_t)((gApp->confirmFlags & kConfirmCopy) ? 1 : 0),
                         0};
    ArcSendCommandEx(kArcExtractOne, args);
    a = GetFileAttributesA(local);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    // The copy's location names the member itself in its inner path, for
    // the way back of an edit.
    LocationNode *copy = strlen(member) < sizeof location->innerPath ? LocationClone(location) : nullptr;
    if (copy)
        lstrcpynA(copy->innerPath, member, sizeof copy->innerPath);
    int r = action(owner, display, local, copy);
    LocationCloneFree(copy);
    return r;
}

int RunWithLocalCopy(HWND owner, int panel, const char *path, const uint32_t *timeStamps, LocalFileAction action) {
    const LocationNode *location = gApp->panels[panel & 1].location;
    if (location && location->kind == kLocationCeDevice)
        return FetchAndRun(owner, panel, location, path, timeStamps, action);
    if (location && location->kind == kLocationFtp) {
        // The name relative to the connection's current folder, which is
        // the panel's.
        char folder[262], remote[520];
        FtpGetRemotePath(location, folder, sizeof folder);
        const char *name = NamePart(path);
        if (!folder[0] || !FtpNameIsPlain(name) || !FtpJoinRemote(remote, sizeof remote, folder, name))
            return -1;
        return FetchAndRun(owner, panel, location, remote, timeStamps, action);
    }
    if (location && location->kind >= kLocationArchiveLib && location->kind < kLocationFtp)
        return ExtractAndRun(owner, location, path, action);
    if (location && location->kind < kLocationFtp)
        return -1; // an external packer's archive level: nothing extracts single members
    if (location && location->kind > kLocationRemoteLast)
        return -1;
    if (path[0] && IsFolder(path))
        return 0;
    return action(owner, path, path, nullptr);
}

int ViewerOpenActive(HWND owner, const char *path, const uint32_t *timeStamps) {
    int r = RunWithLocalCopy(owner, gApp->activePanel & 1, path, timeStamps, ViewerOpenFile);
    if (r < 0)
        CommandBeep();
    return r;
}

int EditOpenActive(HWND owner, const char *path, const uint32_t *timeStamps) {
    // An edit of an archive member goes back only into an archive the
    // library writes; other archive levels have nothing to edit.
    const LocationNode *location = gApp->panels[gApp->activePanel & 1].location;
    if (location && (location->kind < 20000 || location->kind > 20004) && !IsArchiveLevel(location)) {
        MessageBeep(MB_ICONHAND);
        return 0;
    }
    int r = RunWithLocalCopy(owner, gApp->activePanel & 1, path, timeStamps, EditOpenFile);
    if (r < 0)
        CommandBeep();
    return r;
}
