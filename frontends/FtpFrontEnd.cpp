#include "frontends/FtpFrontEnd.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "app/DirWatch.h"
#include "app/Settings.h"
#include "app/bars/Bars.h"
#include "app/bars/CommandLine.h"
#include "app/bars/FunctionKeys.h"
#include "app/bars/StatusBar.h"
#include "base/DateTime.h"
#include "base/Memory.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "fileops/Job.h"
#include "frontends/Libraries.h"
#include "frontends/PasswordDialog.h"
#include "panels/DirRead.h"
#include "panels/Filter.h"
#include "panels/FilterDialog.h"
#include "panels/Location.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelViewMenu.h"
#include "panels/PanelWindow.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"

// Connects under way on the interface thread.
static int gConnecting;

namespace {

FtpHostServices gTableA;
FtpHostServicesEx gTableB;

// ---- host functions behind the tables -------------------------------------------

void FTPCALL HostIniMakePath(const void*, char* out) { IniGetPath(out); }
void FTPCALL HostIniSaveComboList(void* combo, const char* file, const char* section, int32_t count) {
    IniSaveComboList((HWND)combo, file, section, count);
}
void FTPCALL HostIniLoadComboList(void* combo, const char* file, const char* section, int32_t count) {
    IniLoadComboList((HWND)combo, file, section, count);
}

void FTPCALL HostGetText(int32_t id, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return;
    buffer[0] = 0;
    TextGet(id, buffer, size);
}

// The library's dialogs carry their English texts; only ids the language
// has a text for are replaced, so an id of the library alone never blanks
// a control.
void FTPCALL HostLocaliseDialog(void* window, const uint16_t* ids) {
    if (!window || !ids) return;
    for (const uint16_t* id = ids; *id; id++) {
        char text[260] = "";
        TextGet(*id, text, sizeof text);
        if (!text[0]) continue;
        if (id == ids)
            SetWindowTextA((HWND)window, text);
        else
            SetDlgItemTextA((HWND)window, *id, text);
    }
}

void FTPCALL HostComboPutFirst(void* combo, const char* text) {
    if (!combo || !text || !text[0]) return;
    LRESULT at = SendMessageA((HWND)combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (at != CB_ERR) SendMessageA((HWND)combo, CB_DELETESTRING, (WPARAM)at, 0);
    SendMessageA((HWND)combo, CB_INSERTSTRING, 0, (LPARAM)text);
    SendMessageA((HWND)combo, CB_SETCURSEL, 0, 0);
}

void FTPCALL HostLog(void* listBox, const char* format, ...) {
    if (!listBox || !IsWindow((HWND)listBox)) return;
    char line[512];
    va_list ap;
    va_start(ap, format);
    vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    ListBoxAddLine((HWND)listBox, "%s", line);
}

void FTPCALL HostLogText(void* listBox, int32_t id) {
    char text[256];
    HostGetText(id, text, sizeof text);
    HostLog(listBox, "%s", text);
}

void FTPCALL HostCenter(void* window) { WndCenter((HWND)window); }
void* FTPCALL HostMemAlloc(uint32_t size) { return MemAlloc(size); }
void FTPCALL HostMemFree(void** variable) { MemFree(variable); }
int32_t FTPCALL HostStrAppend(char* dst, const char* src, uint32_t size) { return StrAppend(dst, src, size); }

int32_t FTPCALL HostTransferType(const char* name) { return (unsigned char)FtpGetTransferType(name); }

int32_t FTPCALL HostFilterDialog(void* owner, void* filter) {
    return FilterDialogShow((HWND)owner, filter ? (FilterSpec*)filter : &gApp->syncFilter) ? 1 : 0;
}

void FTPCALL HostRefreshPanel(int32_t panel, const char* name) {
    panel &= 1;
    if (name)
        PanelRequestRereadSelect(panel, name);
    else
        PanelRequestReread(panel);
}

void FTPCALL HostSetStateIcon(void* window, uint32_t part, int32_t busy) {
    if (!window) return;
    SendMessageA((HWND)window, WM_USER + 15, part, (LPARAM)gApp->ftpIcons[busy ? 0 : 1]);
    InvalidateRect((HWND)window, nullptr, TRUE);
}

// File access for the library: thin Win32 calls; failures answer the
// system's error number and leave GetLastError as it was.
int32_t FTPCALL HostFileExists(const char* path) {
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? 2 : 0;
}
void FTPCALL HostFileClose(void* handle) {
    if (handle) CloseHandle(handle);
}
int32_t FTPCALL HostFileCreate(void*, const char* path, void** handle) {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    *handle = h == INVALID_HANDLE_VALUE ? nullptr : h;
    return h == INVALID_HANDLE_VALUE ? (int32_t)GetLastError() : 0;
}
int32_t FTPCALL HostFileGetSize(void*, void* handle, uint64_t* size) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(handle, &li)) {
        *size = 0;
        return (int32_t)GetLastError();
    }
    *size = (uint64_t)li.QuadPart;
    return 0;
}
int32_t FTPCALL HostFileOpen(const char* path, void** handle, uint32_t access) {
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    *handle = h == INVALID_HANDLE_VALUE ? nullptr : h;
    return h == INVALID_HANDLE_VALUE ? (int32_t)GetLastError() : 0;
}
int32_t FTPCALL HostFileOpenReport(void*, const char* path, void** handle, uint32_t access) {
    return HostFileOpen(path, handle, access);
}
int32_t FTPCALL HostFileRead(void* handle, void* buffer, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, count, &got, nullptr)) return (int32_t)GetLastError();
    return got == count ? 0 : ERROR_HANDLE_EOF;
}
int32_t FTPCALL HostFileDelete(const char* path) { return DeleteFileA(path) ? 0 : (int32_t)GetLastError(); }
// 64-bit offsets: a resume beyond 4 GiB lands where it should.
uint64_t FTPCALL HostFileSeek(void* handle, uint64_t offset) {
    LARGE_INTEGER to, at;
    to.QuadPart = (LONGLONG)offset;
    if (!SetFilePointerEx(handle, to, &at, FILE_BEGIN)) return (uint64_t)-1;
    return (uint64_t)at.QuadPart;
}
void FTPCALL HostFileSetDosTime(void* handle, uint16_t date, uint16_t time) {
    if (!date) return;
    FILETIME local, utc;
    if (DosDateTimeToFileTime(date, time, &local) && LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(handle, nullptr, nullptr, &utc);
}
int32_t FTPCALL HostFileWrite(void*, void* handle, const void* data, uint32_t count) {
    DWORD put = 0;
    if (!WriteFile(handle, data, count, &put, nullptr)) return (int32_t)GetLastError();
    return put == count ? 0 : ERROR_DISK_FULL;
}
int32_t FTPCALL HostFileWriteLine(void* owner, void* handle, char* text) {
    int32_t r = HostFileWrite(owner, handle, text, (uint32_t)strlen(text));
    return r ? r : HostFileWrite(owner, handle, "\r\n", 2);
}
void FTPCALL HostAddProgress(JobRecord* job, uint32_t n) { JobAddProgress(job, n); }

void FTPCALL HostSetConnectionTitle(int32_t ch, const char* text) {
    int entry = FtpSlotDriveEntry((char)ch);
    if (entry < 0 || !text) return;
    lstrcpynA(gApp->drives[entry].displayName, text, sizeof gApp->drives[entry].displayName);
}

// Called on the library's connect thread when a site keeps no password; the
// answer lives only in the session, never in the settings file.
int32_t FTPCALL HostAskPassword(void* owner, FtpPasswordQuestion* question) {
    if (!question || !question->buffer || question->maxLength <= 0) return 0;
    return PasswordDialog((HWND)owner, question->buffer, (uint32_t)question->maxLength + 1) ? 1 : 0;
}

void* FTPCALL HostLocationFree(void* node) { return LocationFree((LocationNode*)node); }

uint32_t FTPCALL HostIniGetString(const char* section, const char* key, const char* def, char* buffer,
                                  uint32_t size, const char* file) {
    return IniGetString(section, key, def, buffer, size, file);
}
int32_t FTPCALL HostIniWriteString(const char* section, const char* key, const char* value, const char* file) {
    return IniWriteString(section, key, value, file);
}
uint32_t FTPCALL HostIniGetSection(const char* section, char* buffer, uint32_t size, const char* file) {
    return IniGetSection(section, buffer, size, file);
}
int32_t FTPCALL HostIniWriteSection(const char* section, const char* text, const char* file) {
    return IniWriteSection(section, text, file);
}

int32_t FTPCALL HostMemBufAppend(FtpGrowBuffer* buffer, const void* data, uint32_t length) {
    if (buffer->used + (uint64_t)length + 1 > buffer->capacity) {
        uint64_t cap = buffer->capacity ? buffer->capacity : 4096;
        while (cap < buffer->used + (uint64_t)length + 1) cap *= 2;
        if (cap > 0x7FFFFFFF) return 0;
        char* grown = (char*)realloc(buffer->data, (size_t)cap);
        if (!grown) return 0;
        buffer->data = grown;
        buffer->capacity = (uint32_t)cap;
    }
    memcpy(buffer->data + buffer->used, data, length);
    buffer->used += length;
    buffer->data[buffer->used] = 0;
    buffer->appends++;
    return 1;
}

void FTPCALL HostPathToSlashes(char* path) {
    for (; path && *path; path++)
        if (*path == '\\') *path = '/';
}
uint16_t FTPCALL HostPathFindExtension(const char* path) { return (uint16_t)PathFindExtension(path); }
uint16_t FTPCALL HostPathFindName(const char* path) { return PathFindName(path); }
void FTPCALL HostPathGetTempFolder(char* buffer, uint32_t size) { PathGetTempFolder(buffer, size); }
int32_t FTPCALL HostMsgBoxId(void* owner, int32_t id, const char* caption, uint32_t type) {
    return MsgBoxId((HWND)owner, (unsigned)id, caption ? caption : gWindowTitle, type);
}
int32_t FTPCALL HostToolWndRegister(void* window, int32_t kind, void* data) {
    return ToolWndRegister((HWND)window, kind, data);
}
void FTPCALL HostToolWndUnregister(void* window) { ToolWndUnregister((HWND)window); }

int32_t FTPCALL HostFilterMatch(const char* folder, const char* name, uint32_t attributes, uint16_t date,
                                uint16_t time, const uint64_t* size, const void* filter) {
    if (!filter) return 1;
    return FilterTestEntry(folder, name, (uint16_t)attributes, date, time, size, (const FilterSpec*)filter);
}
int32_t FTPCALL HostFilterMatchMasks(const char* path, const char* masks) { return FilterMatchMasks(path, masks); }

int32_t FTPCALL HostLoadPlacement(const char* section, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
    char settings[MAX_PATH];
    IniGetPath(settings);
    int show = 0;
    WndLoadPlacement(settings, section, x, y, width, height, &show);
    return *width != CW_USEDEFAULT && *height != CW_USEDEFAULT;
}
void FTPCALL HostSavePlacement(void* window, const char* section) {
    char settings[MAX_PATH];
    IniGetPath(settings);
    WndSavePlacement((HWND)window, settings, section);
}

void FTPCALL HostFormatDosDateTime(char* out, uint16_t date, uint16_t time, uint32_t size) {
    StrFormatDosDateTime(out, date, time, size);
}
void FTPCALL HostFormatAttributes(char* out, uint32_t attributes) { StrFormatAttributes(out, attributes); }
void FTPCALL HostFormatNumber64(const uint64_t* value, char* out) { StrFormatNumber64(value, out); }

void FTPCALL HostBringToFront(void* window) {
    if (window) SetForegroundWindow((HWND)window);
}
void FTPCALL HostStrUpper(char* text) {
    if (text) CharUpperA(text);
}

void FillTables() {
    FtpHostServices& a = gTableA;
    a = FtpHostServices{};
    a.isWinNT = (int32_t*)&gApp->isWinNT;
    a.app = gApp;
    a.iniMakePath = HostIniMakePath;
    a.iniSaveComboList = HostIniSaveComboList;
    a.iniLoadComboList = HostIniLoadComboList;
    a.getText = HostGetText;
    a.localiseDialog = HostLocaliseDialog;
    a.comboPutFirst = HostComboPutFirst;
    a.log = HostLog;
    a.logText = HostLogText;
    a.center = HostCenter;
    a.memAlloc = HostMemAlloc;
    a.memFree = HostMemFree;
    a.strAppend = HostStrAppend;

    FtpHostServicesEx& b = gTableB;
    b = FtpHostServicesEx{};
    b.sharedMenuWord = &gApp->sharedMenuWord;
    b.ftpOptions = &gApp->ftpOptions;
    b.criticalSection = &gApp->dialogListLock;
    b.windowsDir = gApp->windowsDir;
    b.fileWord = gApp->fileWord;
    b.toolWndRegister = HostToolWndRegister;
    b.toolWndUnregister = HostToolWndUnregister;
    b.transferType = HostTransferType;
    b.filterDialog = HostFilterDialog;
    b.refreshPanel = HostRefreshPanel;
    b.setStateIcon = HostSetStateIcon;
    b.fileExists = HostFileExists;
    b.fileClose = HostFileClose;
    b.fileCreate = HostFileCreate;
    b.fileGetSize = HostFileGetSize;
    b.fileOpen = HostFileOpen;
    b.fileOpenReport = HostFileOpenReport;
    b.fileRead = HostFileRead;
    b.fileDelete = HostFileDelete;
    b.fileSeek = HostFileSeek;
    b.fileSetDosTime = HostFileSetDosTime;
    b.fileWriteLine = HostFileWriteLine;
    b.fileWrite = HostFileWrite;
    b.addProgress = HostAddProgress;
    b.onDisconnected = FtpOnDisconnected;
    b.setConnectionTitle = HostSetConnectionTitle;
    b.askPassword = HostAskPassword;
    b.locationFree = HostLocationFree;
    b.filterMatch = HostFilterMatch;
    b.filterMatchMasks = HostFilterMatchMasks;
    b.loadPlacement = HostLoadPlacement;
    b.savePlacement = HostSavePlacement;
    b.formatDosDateTime = HostFormatDosDateTime;
    b.formatAttributes = HostFormatAttributes;
    b.formatNumber64 = HostFormatNumber64;
    b.iniGetString = HostIniGetString;
    b.iniWriteString = HostIniWriteString;
    b.iniGetSection = HostIniGetSection;
    b.iniWriteSection = HostIniWriteSection;
    b.comboPutFirst = HostComboPutFirst;
    b.memBufAppend = HostMemBufAppend;
    b.pathToSlashes = HostPathToSlashes;
    b.pathFindExtension = HostPathFindExtension;
    b.pathFindName = HostPathFindName;
    b.pathGetTempFolder = HostPathGetTempFolder;
    b.msgBoxId = HostMsgBoxId;
    b.bringToFront = HostBringToFront;
    b.strUpper = HostStrUpper;
    b.strAppend = HostStrAppend;
}

typedef int32_t(FTPENTRY* EntryProc)(intptr_t* record);

int CallLibrary(intptr_t* record) {
    if (!gApp->ftpEntry) FtpLoad();
    if (!gApp->ftpEntry) return 0;
    return ((EntryProc)gApp->ftpEntry)(record);
}

}  // namespace

void FtpBindLibrary() {
    FillTables();
    intptr_t record[9] = {kFtpInit,
                          (intptr_t)&gTableA,
                          (intptr_t)&gApp->ftpSeedWord,
                          (intptr_t)&gTableB,
                          0,
                          0,
                          (intptr_t)gMainWindow,
                          (intptr_t)gWindowTitle,
                          0};
    ((EntryProc)gApp->ftpEntry)(record);
}

int FtpSendCommand(int32_t code, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5, intptr_t a6,
                   intptr_t a7) {
    intptr_t record[9] = {code, a1, a2, a3, a4, a5, a6, a7, 0};
    return CallLibrary(record);
}

int FtpSendCommandShort(int32_t code, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4) {
    intptr_t record[9] = {code, a1, a2, a3, a4, 0, 0, 0, -1};
    return CallLibrary(record);
}

char FtpGetTransferType(const char* name) {
    HWND combo = gApp->ftpModeCombo;
    if (!combo) return 'I';
    LRESULT mode = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (mode == 1) return 'A';
    if (mode == 2 && name && name[0] && gApp->textFilePatterns[0]) {
        const char* base = name + PathFindName(name);
        if (FilterMatchMasks(base, gApp->textFilePatterns)) return 'A';
    }
    return 'I';
}

// ---- notifications ------------------------------------------------------------------

namespace {
struct LeaveRecord;
void LeavePanel(const LeaveRecord* r);
}  // namespace

void FtpOnLibraryNotify(HWND owner, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case kFtpNotifyConnectFailed: {
        char* block = (char*)lParam;
        if (!block) return;
        FtpCloseSlot(block[0]);
        char text[512];
        TextGet(Txt::errConnectFailed, text, sizeof text);
        if (block[1]) {
            StrAppend(text, "\r\n\r\n", sizeof text);
            StrAppend(text, block + 1, sizeof text);
        }
        MsgBox(owner, text, gWindowTitle, MB_ICONERROR);
        MemFree(&block);
        return;
    }
    case kFtpNotifyLost:
        FtpCloseSlot((char)lParam);
        return;
    case kFtpNotifyLastGone: {
        // Posted when the last connection closed; a connection opened or
        // being opened since (the site manager runs a message loop) keeps
        // the bar.
        if (FtpCountInUse() != 0 || gConnecting) return;
        if (gApp->ftpModeCombo) {
            LRESULT mode = SendMessageA(gApp->ftpModeCombo, CB_GETCURSEL, 0, 0);
            if (mode >= 0 && mode <= 2) {
                char settings[MAX_PATH], number[8];
                IniGetPath(settings);
                snprintf(number, sizeof number, "%d", (int)mode);
                IniWriteString(kSettingsSection, "FTPMode", number, settings);
            }
        }
        FtpDestroyBar();
        PanelRelayoutAll();
        return;
    }
    case kFtpNotifyAttached:
        FtpAttachPanel((int)((lParam >> 8) & 1), (char)(lParam & 0xFF));
        return;
    case kFtpNotifyUp:
        DriveBarRefresh(true);
        PanelRelayoutAll();
        return;
    case kFtpNotifyLeavePanel: {
        LeaveRecord* r = (LeaveRecord*)lParam;
        if (!r) return;
        LeavePanel(r);
        MemFree(&r);
        return;
    }
    }
}

// ---- slots --------------------------------------------------------------------------------

int FtpSlotIndex(char ch) { return ch >= '0' && ch <= '9' ? ch - '0' : -1; }
char FtpSlotChar(int index) { return index >= 0 && index < kFtpSlotCount ? (char)('0' + index) : 0; }
int FtpSlotDriveEntry(char ch) {
    if (ch >= '1' && ch <= '9') return 26 + (ch - '1');
    return ch == '0' ? 35 : -1;
}
void** FtpSlotPointer(char ch) {
    int i = FtpSlotIndex(ch);
    return i < 0 ? nullptr : &gApp->ftpSlots[i];
}

char FtpFindFreeSlot() {
    static const char kOrder[] = "1234567890";
    for (const char* c = kOrder; *c; c++)
        if (gApp->drives[FtpSlotDriveEntry(*c)].kind == kDriveAbsent && !*FtpSlotPointer(*c)) return *c;
    return 0;
}

int FtpCountOpen() {
    int n = 0;
    for (int e = 26; e <= 35; e++) n += gApp->drives[e].kind == kDriveFtp;
    return n;
}

int FtpCountInUse() {
    int n = 0;
    for (int e = 26; e <= 35; e++) n += gApp->drives[e].kind >= 10 && gApp->drives[e].kind <= 13;
    return n;
}

static void SetSlotKind(char ch, uint16_t kind) {
    int e = FtpSlotDriveEntry(ch);
    if (e < 0) return;
    gApp->drives[e].kind = kind;
    gApp->drives[e].displayName[0] = 0;
    gApp->drives[e].fileSystem[0] = 0;
    if (gMainWindow) SendMessageA(gMainWindow, kFtpNotifyMessage, kFtpNotifyUp, 0);
}

void FtpMarkSlotOpen(char ch) { SetSlotKind(ch, kDriveFtp); }
void FtpMarkSlotFree(char ch) { SetSlotKind(ch, kDriveAbsent); }

// ---- the FTP bar ------------------------------------------------------------------------------

namespace {

WNDPROC gFrameProc;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == CBN_SELCHANGE && (HWND)lParam == gApp->ftpModeCombo &&
            SendMessageA(gApp->ftpModeCombo, CB_GETCURSEL, 0, 0) == 2) {
            if (FtpSendCommand(kFtpAutoDialog, (intptr_t)gMainWindow, (intptr_t)gApp->ftpLib,
                               (intptr_t)gApp->textFilePatterns) > 0) {
                char settings[MAX_PATH];
                IniGetPath(settings);
                IniWriteString(kSettingsSection, "FTPAuto", gApp->textFilePatterns, settings);
            }
        }
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
        SetTextColor((HDC)wParam, GetSysColor(COLOR_BTNTEXT));
        SetBkColor((HDC)wParam, GetSysColor(COLOR_BTNFACE));
        return (LRESULT)GetSysColorBrush(COLOR_BTNFACE);
    }
    return CallWindowProcA(gFrameProc, window, message, wParam, lParam);
}

int ListItemHeight(HWND list) {
    LRESULT h = list ? SendMessageA(list, LB_GETITEMHEIGHT, 0, 0) : 0;
    return h > 0 && h < 100 ? (int)h : 16;
}

}  // namespace

void FtpCreateBar(HWND owner) {
    if (gApp->ftpLogList || !owner) return;
    HINSTANCE instance = gApp->hInstance;
    gApp->ftpLogList = CreateWindowExA(WS_EX_STATICEDGE, "LISTBOX", "",
                                       WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
                                           LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                       0, 0, 0, 0, owner, (HMENU)217, instance, nullptr);
    gApp->ftpBarFrame = CreateWindowExA(0, "LISTBOX", "",
                                        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | LBS_NOSEL | LBS_NOINTEGRALHEIGHT,
                                        0, 0, 0, 0, owner, nullptr, instance, nullptr);
    gApp->ftpModeCombo = CreateWindowExA(0, "COMBOBOX", "",
                                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL |
                                             CBS_HASSTRINGS | CBS_NOINTEGRALHEIGHT,
                                         0, 0, 0, 100, gApp->ftpBarFrame, (HMENU)217, instance, nullptr);
    HFONT font = gApp->fontGui ? gApp->fontGui : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    for (HWND w : {gApp->ftpLogList, gApp->ftpModeCombo})
        if (w) SendMessageA(w, WM_SETFONT, (WPARAM)font, FALSE);
    static const int kModes[] = {Txt::txtFtpBinary, Txt::txtFtpText, Txt::txtFtpAuto};
    for (int id : kModes) {
        char text[64];
        TextGet(id, text, sizeof text);
        SendMessageA(gApp->ftpModeCombo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    char settings[MAX_PATH];
    IniGetPath(settings);
    int mode = IniGetInt(kSettingsSection, "FTPMode", 0, settings);
    SendMessageA(gApp->ftpModeCombo, CB_SETCURSEL, (mode >= 0 && mode <= 2) ? mode : 0, 0);
    if (gApp->ftpBarFrame)
        gFrameProc = (WNDPROC)SetWindowLongPtrA(gApp->ftpBarFrame, GWLP_WNDPROC, (LONG_PTR)FrameProc);
    gApp->ftpBarHeight = (uint8_t)(2 * ListItemHeight(gApp->ftpLogList) + 2);
    PanelRelayoutAll();
}

int FtpBarHeight() { return gApp && gApp->ftpLogList ? gApp->ftpBarHeight : 0; }

void FtpLayoutBar(int left, int top, int right) {
    if (!gApp->ftpLogList) {
        gApp->ftpBarHeight = 0;
        return;
    }
    int height = gApp->ftpBarHeight;
    int width = right - left;
    int listWidth = gApp->ftpModeCombo && FtpCountOpen() ? width - width / 8 : width;
    MoveWindow(gApp->ftpLogList, left, top, listWidth, height, TRUE);
    if (gApp->ftpBarFrame) {
        MoveWindow(gApp->ftpBarFrame, left + listWidth, top, width - listWidth, height, TRUE);
        if (gApp->ftpModeCombo) MoveWindow(gApp->ftpModeCombo, 1, 1, width - listWidth - 2, 100, TRUE);
    }
}

void FtpDrawConnectionItem(const DRAWITEMSTRUCT* item) {
    if (!item || item->itemID == (UINT)-1) return;
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    char text[512] = "";
    LRESULT n = SendMessageA(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    if (n > 0 && n < (LRESULT)sizeof text) SendMessageA(item->hwndItem, LB_GETTEXT, item->itemID, (LPARAM)text);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkMode(dc, TRANSPARENT);
    r.left += 10;
    DrawTextA(dc, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void FtpDestroyBar() {
    if (gApp->ftpModeCombo) DestroyWindow(gApp->ftpModeCombo);
    if (gApp->ftpBarFrame) DestroyWindow(gApp->ftpBarFrame);
    if (gApp->ftpLogList) DestroyWindow(gApp->ftpLogList);
    gApp->ftpModeCombo = gApp->ftpBarFrame = gApp->ftpLogList = nullptr;
    gApp->ftpBarHeight = 0;
}

// ---- connecting ----------------------------------------------------------------------------------

static FtpLocationHead* SlotHead(char ch) {
    void** slot = FtpSlotPointer(ch);
    return slot ? (FtpLocationHead*)*slot : nullptr;
}

bool FtpConnectPanel(HWND owner, int panel) {
    struct Connecting {
        Connecting() { gConnecting++; }
        ~Connecting() { gConnecting--; }
    } connecting;
    char ch = FtpFindFreeSlot();
    if (!ch) {
        MessageBeep(MB_ICONHAND);
        return false;
    }
    if (!FtpEnsureLoaded(owner)) return false;
    FtpCreateBar(gMainWindow ? gMainWindow : owner);
    static FtpOpenParams params;
    params = FtpOpenParams{kSettingsSection, nullptr, gApp->ftpLib, gApp->hInstance};
    void** slot = FtpSlotPointer(ch);
    FtpSendCommand(kFtpOpen, (intptr_t)owner, (intptr_t)slot, (intptr_t)gApp->ftpLogList, ch,
                   (intptr_t)&gApp->ftpLibCounter, panel & 1, (intptr_t)&params);
    if (!*slot) {
        FtpCloseSlot(ch);
        FtpOnDisconnected(nullptr, ch);
        return false;
    }
    FtpMarkSlotOpen(ch);
    if (!gApp->textFilePatterns[0]) {
        char settings[MAX_PATH];
        IniGetPath(settings);
        IniGetString(kSettingsSection, "FTPAuto", "", gApp->textFilePatterns, sizeof gApp->textFilePatterns,
                     settings);
    }
    char back[260];
    if (gApp->panels[panel & 1].location) {
        PathGetWindowsRoot(back);
    } else {
        PanelGetPath(panel & 1, back, sizeof back);
    }
    FtpSendCommand(kFtpSetLocalPath, (intptr_t)SlotHead(ch)->session, (intptr_t)back);
    return true;
}

void FtpCloseSlot(char ch) {
    void** slot = FtpSlotPointer(ch);
    if (!slot) return;
    if (FtpSlotDriveEntry(ch) >= 0 && gApp->drives[FtpSlotDriveEntry(ch)].kind != kDriveAbsent)
        FtpMarkSlotFree(ch);
    if (*slot && ((FtpLocationHead*)*slot)->kind == kLocationFtp) FtpSendCommand(kFtpClose, (intptr_t)slot);
}

void FtpDisconnect(int index) {
    if (index < kFtpSlotCount) {
        FtpCloseSlot(FtpSlotChar(index));
        return;
    }
    for (int i = 0; i < kFtpSlotCount; i++) FtpCloseSlot(FtpSlotChar(i));
}

void FtpChooseDisconnect(HWND owner) {
    int inUse = 0, first = -1;
    for (int e = 26; e <= 35; e++) {
        if (gApp->drives[e].kind >= 10 && gApp->drives[e].kind <= 14) {
            inUse++;
            if (first < 0 && gApp->drives[e].kind == kDriveFtp) first = e;
        }
    }
    if (inUse == 0) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    if (inUse == 1) {
        if (first >= 0) FtpCloseSlot(first == 35 ? '0' : (char)('1' + first - 26));
        return;
    }
    HMENU menu = CreatePopupMenu();
    char text[128];
    TextGet(Txt::txtFtpAllConns, text, sizeof text);
    if (text[0]) {
        AppendMenuA(menu, MF_STRING, 28998, text);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    for (int e = 26; e <= 35; e++) {
        if (gApp->drives[e].kind < 10 || gApp->drives[e].kind > 14) continue;
        char item[64];
        snprintf(item, sizeof item, "%c: %s", e == 35 ? '0' : (char)('1' + e - 26), gApp->drives[e].displayName);
        AppendMenuA(menu, MF_STRING, 28962 + e, item);
    }
    POINT at;
    GetCursorPos(&at);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    DestroyMenu(menu);
}

void FtpDisconnectCommand(HWND owner, int id) {
    if (id == 28998) {
        FtpDisconnect(kFtpSlotCount);
    } else if (id >= 28962 + 26 && id <= 28962 + 35) {
        int e = id - 28962;
        FtpCloseSlot(e == 35 ? '0' : (char)('1' + e - 26));
    } else {
        FtpChooseDisconnect(owner);
    }
}

namespace {

// A panel leaves a closed connection on the interface thread, which owns
// the panels' location chains; the library's thread only sends the way back.
struct LeaveRecord {
    int32_t panel;
    char slot;
    char path[260];
};

void LeavePanel(const LeaveRecord* r) {
    int panel = r->panel & 1;
    LocationNode* node = gApp->panels[panel].location;
    bool onSlot = node ? node->kind == kLocationFtp && ((FtpLocationHead*)node)->slot == r->slot
                       : gApp->panelPath[panel][0] == r->slot && gApp->panelPath[panel][1] == ':';
    if (!onSlot) return;
    char* path = gApp->panelPath[panel];
    lstrcpynA(path, r->path, 260);
    if (!path[0]) PathGetWindowsRoot(path);
    gApp->panels[panel].location = nullptr;
    LocationFree(node);
    PanelRequestReread(panel);
    DirWatchOpen(path, &gApp->changeNotify[panel]);
}

}  // namespace

void FTPCALL FtpOnDisconnected(FtpSession* session, int32_t ch) {
    if (FtpCountInUse() == 0 && gMainWindow) PostMessageA(gMainWindow, kFtpNotifyMessage, kFtpNotifyLastGone, 0);
    if (!session) return;
    for (int p = 0; p < 2; p++) {
        LeaveRecord* r = (LeaveRecord*)MemAlloc(sizeof(LeaveRecord));
        if (!r) continue;
        r->panel = p;
        r->slot = (char)ch;
        FtpSendCommand(kFtpGetLocalPath, (intptr_t)session, (intptr_t)r->path);
        if (!gMainWindow || !PostMessageA(gMainWindow, kFtpNotifyMessage, kFtpNotifyLeavePanel, (LPARAM)r))
            MemFree(&r);
    }
}

// ---- panels ---------------------------------------------------------------------------------------

// A location node big enough for the library's head in either build.
static const size_t kFtpNodeBytes =
    sizeof(LocationNode) > sizeof(FtpLocationHead) ? sizeof(LocationNode) : sizeof(FtpLocationHead);

int FtpAttachPanel(int panel, char ch) {
    panel &= 1;
    FtpLocationHead* head = SlotHead(ch);
    if (!head || head->kind != kLocationFtp) return -1;
    LocationNode* node = (LocationNode*)MemAlloc(kFtpNodeBytes);
    if (!node) return -1;
    memcpy(node, head, sizeof(FtpLocationHead));
    LocationNode* old = gApp->panels[panel].location;
    gApp->panels[panel].location = node;
    LocationFree(old);
    char path[4] = {ch, ':', 0, 0};
    PanelSetPath(panel, path);
    DirWatchClose(&gApp->changeNotify[panel]);
    gApp->cursorIndex[panel] = 0;
    gApp->topIndex[panel] = 0;
    PanelRequestReread(panel);
    return 0;
}

void FTPCALL FtpAttachPanelCallback(int32_t panel, int32_t ch) {
    if (gMainWindow)
        PostMessageA(gMainWindow, kFtpNotifyMessage, kFtpNotifyAttached, (LPARAM)((ch & 0xFF) | ((panel & 1) << 8)));
}

bool FtpIsSameConnection(const LocationNode* node) {
    if (!node || node->kind != kLocationFtp) return false;
    const FtpLocationHead* mine = (const FtpLocationHead*)node;
    const FtpLocationHead* head = SlotHead(mine->slot);
    return mine->slot && head && head->kind == kLocationFtp && head->stamp == mine->stamp;
}

bool FtpNameIsPlain(const char* name) {
    if (!name || !name[0] || !strcmp(name, ".") || !strcmp(name, "..")) return false;
    for (const char* p = name; *p; p++)
        if (*p == '/' || *p == '\\' || *p == ':' || (unsigned char)*p < 32) return false;
    return true;
}

bool FtpJoinRemote(char* out, size_t size, const char* folder, const char* name) {
    size_t n = strlen(folder);
    bool slash = n > 0 && (folder[n - 1] == '/' || folder[n - 1] == '\\');
    int w = snprintf(out, size, "%s%s%s", folder, slash || n == 0 ? "" : "/", name);
    return w >= 0 && (size_t)w < size;
}

namespace {

struct PanelListContext {
    DirListing* listing;
    EntryBlockBuilder builder;
    bool outOfMemory;
};

// The panel keeps the library's bits: 0x10 folder, 0x08 "..", and for a
// UNIX listing 0x8000 with 0x2000 for a link; permission bits that would
// read as DOS attributes stay out.
uint16_t PanelFlagsOf(uint32_t attributes) {
    if (attributes & kEntryRemote)
        return (uint16_t)(kEntryRemote | (attributes & (kEntryShared | kEntryFolder | kEntryUpDir)));
    return (uint16_t)(attributes & 0x3F);
}

void FTPCALL AddPanelEntry(const char* name, uint16_t date, uint16_t time, uint32_t attributes, uint32_t sizeLow,
                           void* user, uint32_t sizeHigh) {
    PanelListContext* context = (PanelListContext*)user;
    if (context->outOfMemory || !name) return;
    bool up = (attributes & kEntryUpDir) && !strcmp(name, "..");
    if (!up && !FtpNameIsPlain(name)) return;
    alignas(8) uint8_t scratch[kFileEntryMax] = {};
    FileEntry* entry = (FileEntry*)scratch;
    uint16_t flags = PanelFlagsOf(attributes);
    uint64_t size = (flags & kEntryFolder) ? 0 : ((uint64_t)sizeHigh << 32 | sizeLow);
    FileEntryBuild(entry, date, time, &size, flags, name, nullptr);
    if (up) {
    } else if (flags & kEntryFolder) {
        context->listing->dirCount++;
    } else {
        context->listing->fileCount++;
        context->listing->totalBytes += size;
    }
    if (!EntryBlockAppend(context->listing, &context->builder, entry)) context->outOfMemory = true;
}

struct WalkListContext {
    FtpEntry* entries;
    uint32_t count, capacity, leftOut;
    bool outOfMemory;
};

void FTPCALL AddWalkEntry(const char* name, uint16_t date, uint16_t time, uint32_t attributes, uint32_t sizeLow,
                          void* user, uint32_t sizeHigh) {
    WalkListContext* c = (WalkListContext*)user;
    if (c->outOfMemory || !name) return;
    if ((attributes & kEntryUpDir) && (attributes & kEntryFolder)) return;
    if (!FtpNameIsPlain(name) || strlen(name) >= sizeof(FtpEntry{}.name)) {
        c->leftOut++;
        return;
    }
    if (c->count == c->capacity) {
        uint32_t cap = c->capacity ? c->capacity * 2 : 64;
        FtpEntry* grown = (FtpEntry*)realloc(c->entries, sizeof(FtpEntry) * cap);
        if (!grown) {
            c->outOfMemory = true;
            return;
        }
        c->entries = grown;
        c->capacity = cap;
    }
    FtpEntry& e = c->entries[c->count++];
    lstrcpynA(e.name, name, sizeof e.name);
    e.date = date;
    e.time = time;
    e.attributes = attributes;
    e.size = (attributes & kEntryFolder) ? 0 : ((uint64_t)sizeHigh << 32 | sizeLow);
}

}  // namespace

int FtpListPanel(DirListing* listing, int panel) {
    LocationNode* node = gApp->panels[panel & 1].location;
    if (!node || node->kind != kLocationFtp || !gApp->ftpEntry) return -1;
    PanelListContext context = {listing, {}, false};
    int r = FtpSendCommand(kFtpList, 0, (intptr_t)node, (intptr_t)AddPanelEntry, (intptr_t)&context,
                           gApp->ftpOptions & 1);
    if (r != 0 || context.outOfMemory) {
        DirListingFree(listing);
        uint16_t index = listing->panelIndex;
        *listing = DirListing{};
        listing->panelIndex = index;
        lstrcpynA(gApp->savedPath[panel & 1], gApp->panelPath[panel & 1], sizeof gApp->savedPath[0]);
        return context.outOfMemory ? ERROR_NOT_ENOUGH_MEMORY : -1;
    }
    PanelSortEntries(listing);
    return 0;
}

int FtpListRemote(const LocationNode* connection, const char* folder, FtpEntry** entries, uint32_t* count,
                  uint32_t* leftOut) {
    WalkListContext c = {};
    *entries = nullptr;
    *count = 0;
    int r = FtpSendCommand(kFtpList, (intptr_t)folder, (intptr_t)connection, (intptr_t)AddWalkEntry, (intptr_t)&c,
                           1);
    if (r != 0 || c.outOfMemory) {
        free(c.entries);
        return -1;
    }
    *entries = c.entries;
    *count = c.count;
    if (leftOut) *leftOut = c.leftOut;
    return 0;
}

void FtpChangeDirAsync(const char* name, int panel, LocationNode* connection) {
    FtpSendCommand(kFtpChangeDirThread, (intptr_t)name, panel & 1, (intptr_t)connection,
                   (intptr_t)FtpOnPanelPathChanged);
}

void FTPCALL FtpOnPanelPathChanged(int32_t panel, const char* name) {
    panel &= 1;
    if (gApp->panels[panel].listWindow) PostMessageA(gApp->panels[panel].listWindow, WM_USER + 1, 0, 0);
    if (gApp->panels[panel].pathBar) InvalidateRect(gApp->panels[panel].pathBar, nullptr, FALSE);
    if (!name || !name[0]) {
        gApp->cursorIndex[panel] = 0;
        gApp->topIndex[panel] = 0;
        PanelRequestReread(panel);
        return;
    }
    PanelRequestRereadSelect(panel, name);
}

void FtpGetRemotePath(const LocationNode* connection, char* buffer, uint32_t size) {
    if (!size) return;
    buffer[0] = 0;
    FtpSendCommand(kFtpAppendRemoteDir, (intptr_t)connection, (intptr_t)buffer, size);
}

void FtpGetRemotePathAppend(const LocationNode* connection, char* buffer, uint32_t size) {
    if (size && strnlen(buffer, size) < size)
        FtpSendCommand(kFtpAppendRemoteDir, (intptr_t)connection, (intptr_t)buffer, size);
}

int FtpSetRemoteDir(const char* path, const LocationNode* connection, char* out) {
    return FtpSendCommand(kFtpChangeDirSync, (intptr_t)path, (intptr_t)connection, (intptr_t)out);
}

void FtpForgetListing(const LocationNode* connection, const char* path) {
    FtpSendCommand(kFtpInvalidatePath, (intptr_t)connection, (intptr_t)path);
}

void FtpForgetAllListings(const LocationNode* connection) {
    FtpSendCommand(kFtpInvalidateAll, (intptr_t)connection);
}

void FtpToggleShowHidden(int panel) {
    gApp->ftpOptions ^= 1;
    LocationNode* node = gApp->panels[panel & 1].location;
    if (node && node->kind == kLocationFtp) {
        FtpForgetListing(node, nullptr);
        PanelRequestReread(panel & 1);
    }
    PanelSyncViewMenu(nullptr);
}

int FtpMakeRemoteDir(HWND owner, const LocationNode* location, const char* name, int panel) {
    if (!location || location->kind != kLocationFtp || !name || !name[0]) return -1;
    char path[262];
    if (name[0] == '/' || name[0] == '\\') {
        lstrcpynA(path, name, sizeof path);
    } else {
        char folder[262];
        FtpGetRemotePath(location, folder, sizeof folder);
        if (!FtpJoinRemote(path, sizeof path, folder, name)) {
            MsgBoxId(owner, Txt::errFtpMakeDir, gWindowTitle, MB_ICONERROR);
            return -1;
        }
    }
    for (char* p = path; *p; p++)
        if (*p == '\\') *p = '/';
    int r = FtpSendCommand(kFtpMakeDirs, (intptr_t)path, (intptr_t)location);
    if (r != 0) {
        MsgBoxId(owner, Txt::errFtpMakeDir, gWindowTitle, MB_ICONERROR);
        return r;
    }
    FtpForgetListing(location, nullptr);
    char first[262];
    lstrcpynA(first, name, sizeof first);
    if (char* cut = strpbrk(first, "\\/")) *cut = 0;
    PanelRequestRereadSelect(panel & 1, first);
    return 0;
}

// ---- FTP Find ------------------------------------------------------------------------------------

namespace {
void FTPCALL FindGoTo(FtpSession* session, const char* name, const char* folder) {
    FtpFindGoTo(session, name, folder);
}
}  // namespace

void FtpOpenFindWindow(const LocationNode* connection, const char* startFolder) {
    FtpSendCommand(kFtpFind, (intptr_t)gApp->hInstance, 0, (intptr_t)connection, (intptr_t)startFolder,
                   (intptr_t)&gApp->syncFilter, (intptr_t)FindGoTo, 0);
}

void FtpFindGoTo(FtpSession* session, const char* name, const char* folder) {
    FtpSendCommand(kFtpGoTo, (intptr_t)session, (intptr_t)name, (intptr_t)folder, gApp->activePanel & 1,
                   (intptr_t)FtpAttachPanelCallback, (intptr_t)FtpOnPanelPathChanged);
}

void StrFormatAttributes(char* out, uint32_t attributes) {
    if (attributes & kEntryRemote) {
        char mode[8] = "";
        FtpSendCommand(kFtpFormatMode, (intptr_t)mode, (intptr_t)(attributes & 0xFFFF));
        const char* text = mode[0] == ' ' ? mode + 1 : mode;
        lstrcpynA(out, text, 8);
        return;
    }
    StrFormatDosAttributes(out, attributes);
}
