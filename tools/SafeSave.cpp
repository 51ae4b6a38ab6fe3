#include "tools/SafeSave.h"

#include <stdio.h>
#include <string.h>
#include <commdlg.h>

#include "AppState.h"
#include "app/Language.h"
#include "wingui/WindowList.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/FileSystem.h"

int (*gEditorMsgBox)(HWND, const char *, const char *, UINT) = MsgBox;

static bool DefaultAskFileName(HWND owner, char *path, bool save) {
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT : OFN_CREATEPROMPT);
    return save ? GetSaveFileNameA(&ofn) != 0 : GetOpenFileNameA(&ofn) != 0;
}
bool (*gEditorAskFileName)(HWND, char *, bool) = DefaultAskFileName;

static uint32_t WriteAllTo(HANDLE file, const void *data, size_t length) {
    const char *p = (const char *)data;
    while (length) {
        DWORD chunk = length > (1u << 20) ? (1u << 20) : (DWORD)length, written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr))
            return GetLastError();
        if (written != chunk)
            return ERROR_DISK_FULL;
        p += chunk;
        length -= chunk;
    }
    return FlushFileBuffers(file) ? 0 : GetLastError();
}

uint32_t FileSaveReplacing(const char *path, const void *data, size_t length) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return ERROR_ACCESS_DENIED;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return ERROR_ACCESS_DENIED;
    }
    char folder[MAX_PATH];
    if (strlen(path) >= sizeof folder)
        return ERROR_FILENAME_EXCED_RANGE;
    strcpy(folder, path);
    char *slash = strrchr(folder, '\\');
    if (slash)
        slash[slash == folder || slash[-1] == ':' ? 1 : 0] = 0;
    else
        strcpy(folder, ".");
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder, "zqs", 0, temp))
        return GetLastError();
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    uint32_t error = 0;
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
    } else {
        error = WriteAllTo(file, data, length);
        CloseHandle(file);
    }
    if (!error && !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) {
        DeleteFileA(temp);
        return error;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && attributes != FILE_ATTRIBUTE_NORMAL)
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_TEMPORARY);
    return 0;
}

void SaveErrorText(uint32_t error, const char *path, char *out, size_t size) {
    char system[400];
    FileErrorText((int32_t)error, system, sizeof system, nullptr, kCtxWrite);
    snprintf(out, size, "%s\n\n%s", path && path[0] ? path : "", system);
}

void EditorShowText(HWND owner, int id, const char *caption, UINT type, const char *detail) {
    char text[800];
    TextGet(id, text, sizeof text);
    if (detail && detail[0]) {
        size_t n = strlen(text);
        snprintf(text + n, sizeof text - n, "\n\n%s", detail);
    }
    gEditorMsgBox(owner, text, caption, type);
}

int EditAskSave(HWND window, const char *path) {
    char caption[MAX_PATH + 8];
    if (path && path[0]) {
        snprintf(caption, sizeof caption, "%s", path);
    } else {
        char untitled[40];
        TextGet(Txt::txtUntitled, untitled, sizeof untitled);
        snprintf(caption, sizeof caption, "(%s)", untitled);
    }
    char text[200];
    TextGet(Txt::askSaveChanged, text, sizeof text);
    int answer = gEditorMsgBox(window, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES && !SendMessageA(window, WM_COMMAND, 11924, 0))
        answer = IDCANCEL;
    return answer;
}


HWND EditorCreateFrame(const char *className, WNDPROC proc, int iconId, int posSlot, int toolKind, void *record) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    if (!GetClassInfoA(instance, className, &wc)) {
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = proc;
        wc.hInstance = instance;
        wc.hIcon = LoadIcon(instance, MAKEINTRESOURCE(iconId));
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = className;
        RegisterClassA(&wc);
    }
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    DWORD style = WS_OVERLAPPEDWINDOW;
    if (gApp) {
        // A second window of the kind opens below and right of the first
        // instead of on top of it.
        WindowPos &pos = gApp->windowPos[posSlot];
        WndCascade(nullptr, &pos, toolKind);
        if (pos.right - pos.left > 0 && pos.bottom - pos.top > 0) {
            // A place saved on a larger screen comes back onto this one.
            RECT place = {pos.left, pos.top, pos.right, pos.bottom};
            WndFitDesktop(&place);
            x = place.left;
            y = place.top;
            w = place.right - place.left;
            h = place.bottom - place.top;
        }
        if (pos.maximised)
            style |= WS_MAXIMIZE;
    }
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, className, "", style, x, y, w, h, nullptr, nullptr, instance,
                                  record);
    if (!window)
        return nullptr;
    if (gApp && ToolWndRegister(window, toolKind, record)) {
        DestroyWindow(window); // the record goes with it
        return nullptr;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}
