// Inside the FTP library: the session record, the library globals and the
// functions the command handlers share.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <stdint.h>

#include "FtpLib.h"
#include "JobRecord.h"

enum : int32_t { kSiteFlagAnonymous = 1, kSiteFlagStorePassword = 2, kSiteFlagFirewall = 4, kSiteFlagPassive = 8 };

struct FtpCacheEntry {
  volatile LONG valid;
  char* text;  // raw listing, zero-terminated, owned by the cache
  char* linkFiles;  // links that lead to files: name, then the file's size in digits, each terminated
  uint32_t linkFilesLen;
  char path[262];
};

struct FtpSession {
  FtpLocationHead* block;
  HWND logWindow;
  HWND timerWindow;  // unused: time-outs are select deadlines
  int32_t timeout;   // seconds
  int32_t* winsockCounter;
  FtpSiteSettings site;
  volatile LONG lastReplyCode;
  int32_t replyDepth;
  char reply[4096];  // last reply line; the last error text
  char currentType;
  uint16_t port;
  int32_t protocol;
  SOCKET control, data, listening;
  sockaddr_in controlAddr, dataAddr;
  int32_t systemType;
  volatile LONG busy;  // depth of the command in progress on busyOwner's thread
  volatile LONG reconnecting;
  volatile LONG operations;  // threads and commands of this connection that run
  volatile LONG abortFlag;
  volatile LONG closing;
  JobRecord* job;
  char localPath[260];
  void* findState;
  uint16_t panel;
  char pendingPath[262];
  FtpCacheEntry* cache;
  int32_t cacheCount, cacheCapacity;
  int32_t currentEntry;  // 1-based, 0 none

  // Beyond the shared shape.
  volatile DWORD busyOwner;
  volatile LONG disconnecting;
  char hostName[81];  // site host without ":port"
  char serverDir[262];  // the server's working folder as last printed, empty when unknown
  char rx[4096];      // control bytes received beyond the current line
  uint32_t rxStart, rxEnd;
  bool dropToLineEnd;  // an over-long line was cut: skip its rest
  char* xfer;  // transfer buffer
  volatile LONG resumeMismatch;
  volatile LONG timedOut;
  volatile LONG userAbort;
  uint32_t xferSize;
  // Names: UTF-8 on the wire when the server speaks it (FtpNames.cpp).
  bool utf8;
  bool featUtf8;  // the last FEAT reply listed UTF8
  bool lossyOverflow;
  char* lossyNames;  // names shown with "?" for what the code page lacks, each terminated
  uint32_t lossyLen, lossyCap;
};

struct FtpConnectionBlock {
  FtpLocationHead head;
  FtpSession session;
};

struct FtpGlobals {
  FtpHostServices* host;
  FtpHostServicesEx* hostEx;
  uint32_t* seedWord;
  HWND mainWindow;
  const char* title;
  HINSTANCE instance;
};
extern FtpGlobals gFtp;

// Site manager seam: tests fill the settings instead of the dialog. Returns
// non-zero for OK.
typedef int (*FtpSiteManagerFn)(HWND owner, FtpOpenParams* params, FtpSiteSettings* settings);
extern FtpSiteManagerFn gFtpSiteManager;
int FtpLibSiteManagerDialog(HWND owner, FtpOpenParams* params, FtpSiteSettings* settings);
uint32_t FtpLibMakePasswordKey();

extern "C" int32_t FTPENTRY f(intptr_t* record);

// Shared helpers.
FtpSession* FtpLibSessionOf(void* block);
void FtpLog(FtpSession* s, const char* format, ...);
void FtpCopy(char* dst, const char* src, uint32_t size);  // bounded, terminated
void FtpPost(int32_t code, LPARAM lParam);
void* FtpAlloc(uint32_t size);
void FtpFree(void* p);
void FtpLock();
void FtpUnlock();
bool FtpBusyEnter(FtpSession* s);
void FtpBusyLeave(FtpSession* s);

// Control connection.
int FtpLibStartup(HWND log, int32_t* counter);
void FtpLibCleanup(int32_t* counter);
int FtpLibSockErrorText(char* out, uint32_t size);
void FtpLibLogSockError(FtpSession* s);
bool FtpWaitSocket(FtpSession* s, SOCKET sock, bool write, bool honourAbort, int seconds);
int FtpLibSend(FtpSession* s, SOCKET sock, const char* data, int len, bool honourAbort = true);
int FtpLibSendLine(FtpSession* s, const char* text);
int FtpLibReadReplyLine(FtpSession* s, bool honourAbort, int seconds);
int FtpLibReadReply(FtpSession* s, bool honourAbort = true, int seconds = 0);
int FtpLibCommand(FtpSession* s, const char* format, ...);
int FtpLibCommandOnce(FtpSession* s, const char* command);  // no reconnection
int FtpLibCommandArgAlt(FtpSession* s, const char* verb, const char* alt, const char* arg);
int FtpLibChangeDir(FtpSession* s, const char* dir);
int FtpLibPrintDir(FtpSession* s, char* out, uint32_t size);
SOCKET FtpLibCloseSocket(FtpSession* s, SOCKET sock, int how);
void FtpLibCloseControl(FtpSession* s);
void FtpLibReconnect(FtpSession* s);
int FtpLibAbortAndSync(FtpSession* s);

// Names on a UTF-8 connection. Server text into the code page in place
// (returns the new length; names the code page cannot show are noted);
// a reply line likewise; a command line into UTF-8 (false when it does not
// fit); true, with a 550 reply, for a command that names a noted name.
uint32_t FtpLibFromServer(FtpSession* s, char* text, uint32_t len);
void FtpLibReplyFromServer(FtpSession* s);
bool FtpLibToServer(FtpSession* s, const char* in, char* out, uint32_t size);
bool FtpLibRefuseLossy(FtpSession* s, const char* cmd);
void FtpLibFreeNames(FtpSession* s);

// Login and data.
int FtpLibConnectAndLogin(FtpSession* s);
void FtpLibConnectWithRetries(FtpSession* s);
int FtpLibDataCommand(FtpSession* s, const char* command, const char* localPath, char** memory, uint32_t* memoryLen,
                      uint64_t resume, char type);
int FtpLibStoreCommand(FtpSession* s, const char* command, FtpCopyItem* item, char type);
bool FtpLibPasv(FtpSession* s, sockaddr_in* addr);
void FtpLibSetType(FtpSession* s, char type);
SOCKET FtpLibConnectTimed(FtpSession* s, const sockaddr_in& addr);

void FtpU64Text(uint64_t v, char* out);  // out: 21 bytes

// Command 3: the Ping dialog.
int32_t FtpCmdPing(intptr_t* r);

// Listings.
int FtpLibListDirectory(const char* path, FtpSession* s, bool showHidden);
int32_t FtpCmdList(intptr_t* r);
void FtpLibInvalidate(FtpSession* s, const char* path);
void FtpLibFreeCache(FtpSession* s);
void FtpLibSaveListing(HWND owner, HANDLE file, FtpSession* s);

// Operations.
unsigned __stdcall FtpLibConnectThread(void* session);
unsigned __stdcall FtpLibDisconnectThread(void* variable);
int32_t FtpCmdOps(intptr_t* r);
// Command 45: the FTP Find window of a connection.
int32_t FtpCmdFind(intptr_t* r);
// Closes the connection's FTP Find window, if any, and waits until it is gone.
void FtpLibCloseFindWindow(FtpSession* s);
// Commands 43 (chmod dialog) and 44 (FTP Auto dialog).
int32_t FtpCmdDialogs(intptr_t* r);
