#include "frontends/Libraries.h"

#include <process.h>

#include "AppState.h"
#include "wingui/ShellServices.h"

// The host tables the libraries call back through. They are handed over
// with each library's opening command once their services exist; until then
// the opening command is not sent, so a library never calls an empty slot.
static void *gCeHostServices[5];

static LibraryEntry EntryOf(FARPROC p) { return reinterpret_cast<LibraryEntry>(p); }

void ViewerLoad() {
    if (!gApp->viewerLib)
        gApp->viewerLib = LoadLibraryA("LUMORA.DLL");
    if (!gApp->viewerLib)
        return;
    gApp->viewerEntry = GetProcAddress(gApp->viewerLib, "v");
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
        gApp->ftpLib = LoadLibraryA("OSTREL.DLL");
    if (gApp->ftpLib)
        gApp->ftpEntry = GetProcAddress(gApp->ftpLib, "f");
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

static unsigned __stdcall CeConnectThread(void *) {
    if (gApp && gApp->ceEntry) {
        uintptr_t record[6] = {2, (uintptr_t)gCeHostServices, 0, 0, 0, 0};
        // Blocks until a device answers.
        EntryOf(gApp->ceEntry)(record);
        InterlockedIncrement(&gApp->ceConnected);
    }
    return 0;
}

void CeStartConnect() {
    if (!gApp->ceEntry)
        return;
    gApp->ceConnected = 0;
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, CeConnectThread, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}

void CeLoad() {
    if (!gApp->ceLib)
        gApp->ceLib = LoadLibraryA("PELLIX.DLL");
    if (!gApp->ceLib)
        return; // no device support: nothing to tell the user
    gApp->ceEntry = GetProcAddress(gApp->ceLib, "e");
    CeStartConnect();
}

int CeSendCommand(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4) {
    if (!gApp->ceEntry || !gApp->ceConnected)
        return -1;
    uintptr_t record[6] = {code, (uintptr_t)gCeHostServices, a1, a2, a3, a4};
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
    FreeLibrary(gApp->ceLib);
    gApp->ceLib = nullptr;
    gApp->ceEntry = nullptr;
}

void ArcLoad() {
    if (!gApp->archiveLib)
        gApp->archiveLib = LoadLibraryA("BRISAN.DLL");
    if (!gApp->archiveLib) {
        AppReportMissingModule(gMainWindow, "BRISAN.DLL", kLibArchive);
        return;
    }
    gApp->archiveEntry = GetProcAddress(gApp->archiveLib, "z");
}

int ArcCallLibrary(void *record) {
    if (!gApp->archiveEntry)
        ArcLoad();
    if (!gApp->archiveEntry)
        return 0;
    return EntryOf(gApp->archiveEntry)(record);
}

void ArcUnload() {
    if (gApp->archiveLib)
        FreeLibrary(gApp->archiveLib);
    gApp->archiveLib = nullptr;
    gApp->archiveEntry = nullptr;
}
