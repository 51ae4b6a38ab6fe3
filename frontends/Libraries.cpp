#include "frontends/Libraries.h"

#include <process.h>

#include "AppState.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/FtpFrontEnd.h"
#include "frontends/ViewerHost.h"
#include "wingui/ShellServices.h"

static LibraryEntry EntryOf(FARPROC p) { return reinterpret_cast<LibraryEntry>(p); }

// Libraries come from the program's own folder: the current folder follows
// the panels and must never supply one.
static HMODULE LoadBesideProgram(const char *name) {
    char path[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    char *slash = strrchr(path, '\\');
    if (!slash)
        return nullptr;
    lstrcpynA(slash + 1, name, (int)(sizeof path - (size_t)(slash + 1 - path)));
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

static ViewerHostServices gViewerHost;

void ViewerLoad() {
    if (!gApp->viewerLib)
        gApp->viewerLib = LoadBesideProgram("LUMORA.DLL");
    if (!gApp->viewerLib)
        return;
    gApp->viewerEntry = GetProcAddress(gApp->viewerLib, "v");
    if (!gApp->viewerEntry)
        return;
    ViewerFillHostServices(&gViewerHost);
    ViewerCommandRecord hello = {kViewCmdHello,
                                 {reinterpret_cast<uintptr_t>(&gViewerHost), reinterpret_cast<uintptr_t>(gMainWindow),
                                  reinterpret_cast<uintptr_t>(gWindowTitle), 0, 0},
                                 -1};
    EntryOf(gApp->viewerEntry)(&hello);
}

int ViewerCallLibrary(void *record) {
    if (!gApp->viewerEntry)
        ViewerLoad();
    if (!gApp->viewerEntry)
        return 0;
    return EntryOf(gApp->viewerEntry)(record);
}

void ViewerUnload() {
    if (gApp->viewerLib)
        FreeLibrary(gApp->viewerLib);
    gApp->viewerLib = nullptr;
    gApp->viewerEntry = nullptr;
}

void FtpLoad() {
    if (!gApp->ftpLib)
        gApp->ftpLib = LoadBesideProgram("OSTREL.DLL");
    if (!gApp->ftpLib || gApp->ftpEntry)
        return;
    gApp->ftpEntry = GetProcAddress(gApp->ftpLib, "f");
    if (gApp->ftpEntry)
        FtpBindLibrary(); // the handshake: both host tables, once per load
}

int FtpCallLibrary(void *record) {
    if (!gApp->ftpEntry)
        FtpLoad();
    if (!gApp->ftpEntry)
        return 0;
    return EntryOf(gApp->ftpEntry)(record);
}

bool FtpEnsureLoaded(HWND owner) {
    if (!gApp->ftpEntry)
        FtpLoad();
    if (gApp->ftpEntry)
        return true;
    AppReportMissingModule(owner, "OSTREL.DLL", kLibFtp);
    return false;
}

void FtpUnload() {
    if (gApp->ftpLib)
        FreeLibrary(gApp->ftpLib);
    gApp->ftpLib = nullptr;
    gApp->ftpEntry = nullptr;
}

const char *gCeLibraryName = "PELLIX.DLL";
const char *gArcLibraryName = "BRISAN.DLL";

// Non-zero while a connect thread runs.
static volatile LONG gCeConnecting;

static unsigned __stdcall CeConnectThread(void *) {
    auto entry = gApp ? gApp->ceEntry : nullptr;
    if (entry) {
        CeFillHostServices();
        uintptr_t record[6] = {2, (uintptr_t)CeHostTable(), 0, 0, 0, 0};
        // Blocks until a device answers.
        int result = EntryOf(entry)(record);
        // What a cut transfer left on the device goes before anything else
        // may use the link.
        if (result == -1)
            CeSweepLeftovers();
        InterlockedIncrement(&gApp->ceConnected);
    }
    InterlockedExchange(&gCeConnecting, 0);
    return 0;
}

void CeStartConnect() {
    if (!gApp->ceEntry)
        return;
    // One connect at a time: a second one would take the link down under
    // the callers of the first. Whoever asks while one runs waits for it.
    if (InterlockedExchange(&gCeConnecting, 1))
        return;
    gApp->ceConnected = 0;
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, CeConnectThread, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        InterlockedExchange(&gCeConnecting, 0);
}

bool CeConnectRunning() { return gCeConnecting != 0; }

void CeLoad() {
    if (!gApp->ceLib) {
        // PELLIX imports rapi.dll: on a desktop without RAPI the load fails,
        // and older systems would say so in a box of their own.
        UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        gApp->ceLib = LoadLibraryA(gCeLibraryName);
        SetErrorMode(oldMode);
    }
    if (!gApp->ceLib)
        return; // no device support: nothing to tell the user
    gApp->ceEntry = GetProcAddress(gApp->ceLib, "e");
    if (!gApp->ceEntry) {
        FreeLibrary(gApp->ceLib);
        gApp->ceLib = nullptr; // a library without its export is no device support either
        return;
    }
    CeFillHostServices();
    CeStartConnect();
}

int CeSendCommand(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4) {
    if (!gApp->ceEntry || !gApp->ceConnected)
        return -1;
    uintptr_t record[6] = {code, (uintptr_t)CeHostTable(), a1, a2, a3, a4};
    return EntryOf(gApp->ceEntry)(record);
}

void CeDisconnect() {
    if (gApp->ceEntry && gApp->ceConnected)
        CeSendCommand(3, 0, 0, 0, 0);
}

void CeUnload() {
    if (!gApp->ceLib)
        return;
    CeDisconnect();
    // A connect still waiting for a device runs inside the library: its
    // code stays mapped (the module is left loaded) rather than vanish
    // under the thread.
    for (DWORD start = GetTickCount(); gCeConnecting && GetTickCount() - start < 2000;)
        Sleep(10);
    if (!gCeConnecting)
        FreeLibrary(gApp->ceLib);
    gApp->ceLib = nullptr;
    gApp->ceEntry = nullptr;
    gApp->ceConnected = 0;
}

void ArcLoad() {
    if (!gApp->archiveLib) {
        // From the program's folder only: the current folder follows the
        // panels and could hold any file of that name.
        UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        gApp->archiveLib = LoadBesideProgram(gArcLibraryName);
        SetErrorMode(oldMode);
    }
    if (!gApp->archiveLib) {
        AppReportMissingModule(gMainWindow, gArcLibraryName, kLibArchive);
        return;
    }
    gApp->archiveEntry = GetProcAddress(gApp->archiveLib, "z");
    if (!gApp->archiveEntry)
        return;
    ArcCommandRecord hello = {};
    hello.code = kArcHello;
    hello.host = ArcHostTable();
    hello.a[0] = (ArcWord)gMainWindow;
    hello.a[1] = (ArcWord)gWindowTitle;
    reinterpret_cast<ArcEntryProc>(gApp->archiveEntry)(&hello);
}

intptr_t ArcCallLibrary(void *record) {
    if (!gApp->archiveEntry)
        ArcLoad();
    if (!gApp->archiveEntry)
        return 0;
    return reinterpret_cast<ArcEntryProc>(gApp->archiveEntry)((ArcCommandRecord *)record);
}

void ArcUnload() {
    if (gApp->archiveLib)
        FreeLibrary(gApp->archiveLib);
    gApp->archiveLib = nullptr;
    gApp->archiveEntry = nullptr;
}
