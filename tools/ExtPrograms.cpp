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
#include "fileops/FileSystem.h"
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

int EditOpenFile(HWND owner, const char *displayName, const char *localPath, const LocationNode *) {
    if (localPath[0]) {
        if (IsFolder(localPath))
            return 0;
        if (localPath[1] == ':' && FileSetDrive(owner, localPath[0]) != 0)
            return 0;
    }
    ExtProgListsEnsure();
    const char *program, *folder, *params;
    int show = ExtProgListMatch(localPath, gEditorList, &program, &folder, &params);
    if (show == 0)
        show = SW_SHOWNORMAL;
    if (!program) {
        if (EditCreateWindow(displayName, localPath, kToolWndEditor))
            return 1;
        program = "WRITE.EXE";
        params = nullptr;
    }
    char line[1040];
    if (!ExtProgCommandLine(program, params, localPath, line, sizeof line))
        return 0;
    const char *runFolder = localPath[0] ? folder : gApp->panelPath[gApp->activePanel & 1];
    return ExtProgStart(line, runFolder, show) != 0;
}

int RunWithLocalCopy(HWND owner, int panel, const char *path, const uint32_t *, LocalFileAction action) {
    const LocationNode *location = gApp->panels[panel & 1].location;
    if (location && (location->kind < 20002 || location->kind > 20004))
        return -1; // archive members, FTP and device files need their local copy first
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
    const LocationNode *location = gApp->panels[gApp->activePanel & 1].location;
    if (location && (location->kind < 20000 || location->kind > 20004)) {
        MessageBeep(MB_ICONHAND);
        return 0;
    }
    int r = RunWithLocalCopy(owner, gApp->activePanel & 1, path, timeStamps, EditOpenFile);
    if (r < 0)
        CommandBeep();
    return r;
}
