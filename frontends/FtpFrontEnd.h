// The program's side of the FTP library OSTREL: the two host tables and the
// handshake, the one caller of every command, the library's notifications,
// the ten connection slots with their drive entries, the FTP bar, and FTP
// connections shown in panels. The job steps are in FtpJobs.h.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "FtpLib.h"
#include "Records.h"

// ---- binding ------------------------------------------------------------------

// Fills both host tables and sends command 1; called by FtpLoad once the
// export is bound.
void FtpBindLibrary();
// {code, a1..a7}; the library's answer, 0 when it is missing.
int FtpSendCommand(int32_t code, intptr_t a1 = 0, intptr_t a2 = 0, intptr_t a3 = 0, intptr_t a4 = 0,
                   intptr_t a5 = 0, intptr_t a6 = 0, intptr_t a7 = 0);
// {code, a1..a4, 0, 0, 0, -1}.
int FtpSendCommandShort(int32_t code, intptr_t a1 = 0, intptr_t a2 = 0, intptr_t a3 = 0, intptr_t a4 = 0);
// WM_USER+50 from the library (and from the host itself for code 4).
void FtpOnLibraryNotify(HWND owner, WPARAM wParam, LPARAM lParam);
// 'I' or 'A' for a file name, by the bar's transfer-mode combo.
char FtpGetTransferType(const char* name);

// ---- slots ----------------------------------------------------------------------

const int kFtpSlotCount = 10;
char FtpFindFreeSlot();           // '1'..'9', '0', or 0 when all are taken
int FtpSlotIndex(char ch);        // '0'..'9' -> 0..9, else -1
char FtpSlotChar(int index);      // 0..9 -> '0'..'9'
int FtpSlotDriveEntry(char ch);   // '1'..'9' -> 26..34, '0' -> 35, else -1
void** FtpSlotPointer(char ch);   // the slot's block variable, null outside '0'..'9'
int FtpCountOpen();               // drive entries of kind 10
int FtpCountInUse();              // drive entries of kind 10..13
void FtpMarkSlotOpen(char ch);
void FtpMarkSlotFree(char ch);

// ---- the FTP bar -----------------------------------------------------------------

void FtpCreateBar(HWND owner);
// Places the bar in the strip [left, right) x [top, top + height); the
// height comes from FtpBarHeight.
void FtpLayoutBar(int left, int top, int right);
int FtpBarHeight();
void FtpDrawConnectionItem(const DRAWITEMSTRUCT* item);
void FtpDestroyBar();

// ---- connecting --------------------------------------------------------------------

// Opens the site manager for a free slot; the panel shows the connection
// once the library reports it attached. False when nothing was opened.
bool FtpConnectPanel(HWND owner, int panel);
void FtpCloseSlot(char ch);
void FtpDisconnect(int index);  // 10 or more: all
void FtpChooseDisconnect(HWND owner);
void FtpDisconnectCommand(HWND owner, int id);  // 28962 + drive entry, 28998 all
void FTPCALL FtpOnDisconnected(FtpSession* session, int32_t ch);

// ---- panels --------------------------------------------------------------------------

// The panel shows slot ch: a copy of the connection's head becomes its
// location, its path "%c:". -1 when the slot holds no connection.
int FtpAttachPanel(int panel, char ch);
void FTPCALL FtpAttachPanelCallback(int32_t panel, int32_t ch);
bool FtpIsSameConnection(const LocationNode* node);
// Lists the panel's FTP folder into `listing` (sorted). 0, or -1.
int FtpListPanel(DirListing* listing, int panel);
void FtpChangeDirAsync(const char* name, int panel, LocationNode* connection);
void FTPCALL FtpOnPanelPathChanged(int32_t panel, const char* name);
// The connection's current remote folder ("/" form); empty when unknown.
void FtpGetRemotePath(const LocationNode* connection, char* buffer, uint32_t size);
// The same appended to the text already in `buffer` (command 23).
void FtpGetRemotePathAppend(const LocationNode* connection, char* buffer, uint32_t size);
// command 30: the server's folder becomes `path`; 0 or the reply class.
int FtpSetRemoteDir(const char* path, const LocationNode* connection, char* out);
void FtpForgetListing(const LocationNode* connection, const char* path);
void FtpForgetAllListings(const LocationNode* connection);
void FtpToggleShowHidden(int panel);
// Make directory on the panel's server; 0 or the library's failure.
int FtpMakeRemoteDir(HWND owner, const LocationNode* location, const char* name, int panel);

// A name from a listing that may stand as one entry of a local folder: not
// empty, not "." or "..", no separators, no drive.
bool FtpNameIsPlain(const char* name);
// Remote path of `name` inside `folder` ("/" separators); false when it
// does not fit.
bool FtpJoinRemote(char* out, size_t size, const char* folder, const char* name);

// One entry of a remote folder, for the walkers.
struct FtpEntry {
    char name[260];
    uint16_t date, time;
    uint32_t attributes;  // 0x10 folder; 0x8000 a UNIX mode word, 0x2000 a link
    uint64_t size;
};
// Lists a remote folder without its ".." entry. 0, -1 when the listing
// failed; *leftOut counts names that are not plain.
int FtpListRemote(const LocationNode* connection, const char* folder, FtpEntry** entries, uint32_t* count,
                  uint32_t* leftOut);

// ---- FTP Find --------------------------------------------------------------------------------

// The library's FTP Find window for the connection, searching from
// `startFolder` (the panel's display path; a leading "X:" is dropped); an
// open one comes to the front.
void FtpOpenFindWindow(const LocationNode* connection, const char* startFolder);
// A hit chosen in the FTP Find window: the active panel shows its folder
// with the cursor on the name.
void FtpFindGoTo(FtpSession* session, const char* name, const char* folder);

// The attribute column's text: the UNIX mode of an FTP entry (bit 0x8000)
// as the FTP library writes it, else the DOS attribute letters. out: 16 bytes.
void StrFormatAttributes(char* out, uint32_t attributes);
