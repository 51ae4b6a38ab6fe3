#include "frontends/FtpTools.h"

#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "FtpLib.h"
#include "base/Paths.h"
#include "fileops/FileHelpers.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/Libraries.h"
#include "tools/ExtPrograms.h"
#include "tools/ViewerWindow.h"

namespace {

// A file of our own under a name no one else holds: the name is taken by
// creating it, so two windows asking at once never share a file.
HANDLE CreateUniqueTemp(const char* extension, char* path) {
    for (int attempt = 0; attempt < 16; attempt++) {
        path[0] = 0;
        PathMakeUniqueName(extension, path, MAX_PATH);
        HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    path[0] = 0;
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE h, const void* data, DWORD size) {
    DWORD put = 0;
    return WriteFile(h, data, size, &put, nullptr) && put == size;
}

const LocationNode* LiveFtpLocation(int panel) {
    const int order[2] = {panel & 1, !(panel & 1)};
    for (int p : order) {
        const LocationNode* node = gApp->panels[p].location;
        if (FtpIsSameConnection(node))
            return node;
    }
    return nullptr;
}

}  // namespace

bool FtpShowLogText(HWND owner, HWND logList, char* written) {
    if (written)
        written[0] = 0;
    if (!logList || !IsWindow(logList))
        return false;
    char path[MAX_PATH];
    HANDLE h = CreateUniqueTemp("FTP.txt", path);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    LRESULT count = SendMessageA(logList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; ok && i < count; i++) {
        LRESULT length = SendMessageA(logList, LB_GETTEXTLEN, (WPARAM)i, 0);
        if (length < 0)
            continue;
        char* line = (char*)malloc((size_t)length + 3);
        if (!line) {
            ok = false;
            break;
        }
        LRESULT got = SendMessageA(logList, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
        if (got < 0 || got > length)
            got = 0;
        memcpy(line + got, "\r\n", 3);
        ok = WriteAll(h, line, (DWORD)got + 2);
        free(line);
    }
    CloseHandle(h);
    if (!ok) {
        DeleteFileA(path);
        return false;
    }
    if (written)
        lstrcpynA(written, path, MAX_PATH);
    // A window still showing an older log would only come to the front.
    if (HWND old = ViewerFindWindow("FTP"))
        SendMessageA(old, WM_CLOSE, 0, 0);
    return ViewerOpenWindow(owner, "FTP", path) != nullptr;
}

bool FtpShowRawListing(HWND owner, int panel, char* written) {
    if (written)
        written[0] = 0;
    const LocationNode* connection = LiveFtpLocation(panel);
    if (!connection)
        return false;
    char path[MAX_PATH];
    HANDLE h = CreateUniqueTemp("LIST.d", path);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FtpSendCommand(kFtpSaveListing, (intptr_t)owner, (intptr_t)h, (intptr_t)connection);
    CloseHandle(h);
    if (written)
        lstrcpynA(written, path, MAX_PATH);
    return EditOpenFile(owner, path, path, nullptr) != 0;
}

bool FtpShowPing(HWND owner) {
    // The library keeps its echo state here from one dialog to the next.
    static void* pingState;
    if (!FtpEnsureLoaded(owner))
        return false;
    FtpSendCommand(kFtpPing, (intptr_t)owner, (intptr_t)gApp->ftpLib, (intptr_t)&pingState);
    return true;
}
