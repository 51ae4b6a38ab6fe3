// The export `f`: command records in, one handler per code.
#include <process.h>
#include <stdarg.h>
#include <stdio.h>
#include <time.h>

#include "FtpInternal.h"
#include "FtpProto.h"
#include "FtpSites.h"

FtpGlobals gFtp;
FtpSiteManagerFn gFtpSiteManager = &FtpLibSiteManagerDialog;

namespace {

const int kTextNoInternet = 6000;

// Host services are optional in places (a test host may leave a slot out);
// every call goes through these checks.
FtpHostServices* A() { return gFtp.host; }
FtpHostServicesEx* B() { return gFtp.hostEx; }

}  // namespace

void FtpCopy(char* dst, const char* src, uint32_t size) { FtpCopyText(dst, size, src ? src : ""); }

void FtpLog(FtpSession* s, const char* format, ...) {
  if (!A() || !A()->log) return;
  char line[1024];
  va_list ap;
  va_start(ap, format);
  vsnprintf(line, sizeof(line), format, ap);
  va_end(ap);
  A()->log(s ? s->logWindow : nullptr, "%s", line);
}

void FtpPost(int32_t code, LPARAM lParam) {
  if (gFtp.mainWindow) PostMessageA(gFtp.mainWindow, kFtpNotifyMessage, WPARAM(code), lParam);
}

void* FtpAlloc(uint32_t size) {
  if (A() && A()->memAlloc) return A()->memAlloc(size);
  return calloc(1, size);
}

void FtpFree(void* p) {
  if (!p) return;
  if (A() && A()->memFree)
    A()->memFree(&p);
  else
    free(p);
}

void FtpLock() {
  if (B() && B()->criticalSection) EnterCriticalSection((CRITICAL_SECTION*)B()->criticalSection);
}

void FtpUnlock() {
  if (B() && B()->criticalSection) LeaveCriticalSection((CRITICAL_SECTION*)B()->criticalSection);
}

// One command at a time per connection: the thread that holds the
// connection may nest (a transfer sends TYPE, PASV, REST), others are refused.
bool FtpBusyEnter(FtpSession* s) {
  DWORD me = GetCurrentThreadId();
  if (s->busyOwner == me && s->busy > 0) {
    InterlockedIncrement(&s->busy);
    return true;
  }
  if (InterlockedCompareExchange(&s->busy, 1, 0) == 0) {
    s->busyOwner = me;
    return true;
  }
  return false;
}

void FtpBusyLeave(FtpSession* s) {
  if (s->busy == 1) {
    s->busyOwner = 0;
    InterlockedExchange(&s->busy, 0);
  } else if (s->busy > 1) {
    InterlockedDecrement(&s->busy);
  }
}

FtpSession* FtpLibSessionOf(void* block) {
  FtpLocationHead* h = static_cast<FtpLocationHead*>(block);
  if (!h || h->kind != kLocationFtp) return nullptr;
  return h->session;
}

namespace {

int32_t CmdInit(intptr_t* r) {
  gFtp.host = reinterpret_cast<FtpHostServices*>(r[1]);
  gFtp.seedWord = reinterpret_cast<uint32_t*>(r[2]);
  gFtp.hostEx = reinterpret_cast<FtpHostServicesEx*>(r[3]);
  gFtp.mainWindow = reinterpret_cast<HWND>(r[6]);
  gFtp.title = reinterpret_cast<const char*>(r[7]);
  return kFtpLibVersion;
}

void LogStartLine(FtpSession* s) {
  char date[128] = "", tim[64] = "";
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, date, sizeof(date));
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, tim, sizeof(tim));
  FtpLog(s, "------->   %s  %s", date, tim);
}

int32_t CmdOpen(intptr_t* r) {
  HWND owner = reinterpret_cast<HWND>(r[1]);
  void** variable = reinterpret_cast<void**>(r[2]);
  HWND log = reinterpret_cast<HWND>(r[3]);
  char slot = char(r[4] & 0xFF);
  int32_t* counter = reinterpret_cast<int32_t*>(r[5]);
  uint16_t panel = uint16_t(r[6] & 0xFFFF);
  FtpOpenParams* params = reinterpret_cast<FtpOpenParams*>(r[7]);
  if (!variable) return -1;
  if (*variable && B() && B()->locationFree) *variable = B()->locationFree(*variable);
  *variable = nullptr;

  FtpConnectionBlock* b = static_cast<FtpConnectionBlock*>(FtpAlloc(sizeof(FtpConnectionBlock)));
  if (!b) return -1;
  FtpSession* s = &b->session;
  b->head.kind = kLocationFtp;
  b->head.slot = slot;
  b->head.stamp = uint32_t(clock());
  b->head.session = s;
  s->block = &b->head;
  s->logWindow = log;
  s->winsockCounter = counter;
  s->control = s->data = s->listening = INVALID_SOCKET;
  if (FtpLibStartup(log, counter) != 0) {
    if (B() && B()->msgBoxId) B()->msgBoxId(owner, kTextNoInternet, gFtp.title, MB_ICONERROR);
    FtpFree(b);
    return -1;
  }
  if (params) params->siteSettings = &s->site;
  if (!gFtpSiteManager || !gFtpSiteManager(owner, params, &s->site)) {
    FtpFree(b);
    FtpLibCleanup(counter);
    return -1;
  }
  LogStartLine(s);
  s->systemType = 0;
  s->currentType = 'A';
  s->timeout = 30;
  FtpSplitHost(s->site.host, s->hostName, sizeof(s->hostName), &s->port, 21);
  s->panel = panel;
  InterlockedIncrement(&s->operations);
  uintptr_t t = _beginthreadex(nullptr, 0, &FtpLibConnectThread, s, 0, nullptr);
  if (!t) {
    InterlockedDecrement(&s->operations);
    FtpFree(b);
    FtpLibCleanup(counter);
    return -1;
  }
  CloseHandle(HANDLE(t));
  *variable = b;
  return -1;
}

int32_t CmdClose(intptr_t* r) {
  void** variable = reinterpret_cast<void**>(r[1]);
  if (!variable || !*variable) return -1;
  // One disconnect per connection: a second thread would go on with the
  // session after the first one freed it.
  FtpSession* s = FtpLibSessionOf(*variable);
  if (s && InterlockedExchange(&s->disconnecting, 1)) return -1;
  uintptr_t t = _beginthreadex(nullptr, 0, &FtpLibDisconnectThread, variable, 0, nullptr);
  if (t)
    CloseHandle(HANDLE(t));
  else if (s)
    InterlockedExchange(&s->disconnecting, 0);
  return -1;
}

int32_t Dispatch(intptr_t* r) {
  switch (r[0]) {
    case kFtpInit:
      return CmdInit(r);
    case kFtpPing:
      return FtpCmdPing(r);
    case kFtpGetLocalPath: {
      FtpSession* s = reinterpret_cast<FtpSession*>(r[1]);
      if (s && r[2]) FtpCopy(reinterpret_cast<char*>(r[2]), s->localPath, 260);
      return -1;
    }
    case kFtpSetLocalPath: {
      FtpSession* s = reinterpret_cast<FtpSession*>(r[1]);
      if (s) FtpCopy(s->localPath, reinterpret_cast<const char*>(r[2]), sizeof(s->localPath));
      return -1;
    }
    case kFtpAppendRemoteDir: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[1]));
      char* buf = reinterpret_cast<char*>(r[2]);
      uint32_t size = uint32_t(r[3]);
      if (s && buf && size) {
        size_t have = strnlen(buf, size);
        if (have < size) FtpCopyText(buf + have, size - have, s->site.remoteDir);
      }
      return -1;
    }
    case kFtpOpen:
      return CmdOpen(r);
    case kFtpClose:
      return CmdClose(r);
    case kFtpList:
    case kFtpInvalidatePath:
    case kFtpInvalidateAll:
    case kFtpSaveListing:
      return FtpCmdList(r);
    case kFtpFormatMode: {
      char* buf = reinterpret_cast<char*>(r[1]);
      if (buf) FtpFormatMode(buf, 5, uint32_t(r[2] & 0xFFFF));
      return -1;
    }
    case kFtpChmodDialog:
    case kFtpAutoDialog:
      return FtpCmdDialogs(r);
    case kFtpFind:
      return FtpCmdFind(r);
    case kFtpChangeDirThread:
    case kFtpChangeDirSync:
    case kFtpDelete:
    case kFtpRemoveDir:
    case kFtpMakeDirs:
    case kFtpChmod:
    case kFtpRename:
    case kFtpServerCopy:
    case kFtpRetrieve:
    case kFtpStore:
    case kFtpAbort:
    case kFtpGoTo:
    case kFtpRaw:
      return FtpCmdOps(r);
    default:
      return -1;
  }
}

}  // namespace

extern "C" int32_t FTPENTRY f(intptr_t* record) {
  if (!record) return -1;
  if (record[0] != kFtpInit && !gFtp.host) return -1;  // no command before the handshake
  try {
    return Dispatch(record);
  } catch (...) {
    return -1;
  }
}
