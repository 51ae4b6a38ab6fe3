// Command 3: the Ping dialog. Echo requests go out once a second through a
// raw ICMP socket, or through ICMP.DLL where Windows 9x gives no raw socket;
// each reply is one line of the dialog's output list.
#include <winsock2.h>
#include <windows.h>

#include <ipexport.h>
#include <process.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpProto.h"

namespace {

enum : int {
  kIdOutput = 14301,
  kIdHost = 14302,
  kIdStart = 99,
  kIdStop = 7,
  kTemplatePing = 14310,
  kTextNoInternet = 6000,
  kTextNoSocket = 6001,
  kTextUnknownHost = 6002,
  kTextTimeout = 6003,
  kHistory = 30,
  kWaitMs = 1000,
};

struct FtpPingState {
  HWND dialog;
  char host[128];
  volatile LONG running;
  volatile LONG stop;
  uint8_t request[12];
  uint8_t reply[1024];
};

typedef HANDLE(WINAPI* IcmpCreateFileFn)();
typedef BOOL(WINAPI* IcmpCloseHandleFn)(HANDLE);
typedef DWORD(WINAPI* IcmpSendEchoFn)(HANDLE, IPAddr, void*, WORD, IP_OPTION_INFORMATION*, void*, DWORD, DWORD);

void Text(int id, char* out, int size, const char* english) {
  out[0] = 0;
  if (gFtp.host && gFtp.host->getText) gFtp.host->getText(id, out, size);
  if (!out[0]) FtpCopy(out, english, uint32_t(size));
}

void Line(HWND list, const char* format, ...) {
  if (!gFtp.host || !gFtp.host->log || !list || !IsWindow(list)) return;
  char line[512];
  va_list ap;
  va_start(ap, format);
  vsnprintf(line, sizeof(line), format, ap);
  va_end(ap);
  gFtp.host->log(list, "%s", line);
}

void LineText(HWND list, int id, const char* english, const char* arg = nullptr) {
  char format[256];
  Text(id, format, sizeof(format), english);
  if (arg)
    Line(list, format, arg);
  else
    Line(list, "%s", format);
}

bool Stopped(FtpPingState* p) { return p->stop != 0; }

// Waits out the rest of the second between two echoes, ending early on Stop.
void Pause(FtpPingState* p, DWORD sentAt) {
  while (!Stopped(p) && GetTickCount() - sentAt < kWaitMs) Sleep(20);
}

bool ResolveHost(const char* host, uint32_t* address) {
  unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE && host[0]) {
    *address = uint32_t(dotted);
    return true;
  }
  hostent* h = gethostbyname(host);
  if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0]) return false;
  memcpy(address, h->h_addr_list[0], 4);
  return true;
}

void IcmpDllLoop(FtpPingState* p, HWND list) {
  HMODULE dll = LoadLibraryA("ICMP.DLL");
  IcmpCreateFileFn create = dll ? (IcmpCreateFileFn)GetProcAddress(dll, "IcmpCreateFile") : nullptr;
  IcmpCloseHandleFn close = dll ? (IcmpCloseHandleFn)GetProcAddress(dll, "IcmpCloseHandle") : nullptr;
  IcmpSendEchoFn send = dll ? (IcmpSendEchoFn)GetProcAddress(dll, "IcmpSendEcho") : nullptr;
  uint32_t address = 0;
  HANDLE icmp = INVALID_HANDLE_VALUE;
  if (create && close && send && ResolveHost(p->host, &address)) icmp = create();
  if (icmp == INVALID_HANDLE_VALUE) {
    LineText(list, kTextNoSocket, "Create socket failed!");
    if (dll) FreeLibrary(dll);
    return;
  }
  memset(p->request + 8, 0x45, 4);
  // The reply record, the 4 data bytes echoed and the error room ICMP.DLL
  // asks for: a buffer of the record's size alone is refused as too small.
  const DWORD replySize = sizeof(ICMP_ECHO_REPLY) + 4 + 8;
  static_assert(sizeof(ICMP_ECHO_REPLY) + 4 + 8 <= sizeof(FtpPingState::reply), "ping reply room");
  IP_OPTION_INFORMATION options = {};
  options.Ttl = 255;
  for (unsigned n = 1; !Stopped(p); n++) {
    DWORD sentAt = GetTickCount();
    DWORD got = send(icmp, address, p->request + 8, 4, &options, p->reply, replySize, kWaitMs);
    ICMP_ECHO_REPLY* r = reinterpret_cast<ICMP_ECHO_REPLY*>(p->reply);
    if (!got)
      LineText(list, kTextTimeout, "No response (timeout)!");
    else if (r->Status != 0)
      Line(list, "Someone else's packet!");
    else {
      in_addr from;
      from.s_addr = r->Address;
      Line(list, "#%u from: %s, time: %d ms", n, inet_ntoa(from), int(r->RoundTripTime));
    }
    Pause(p, sentAt);
  }
  close(icmp);
  FreeLibrary(dll);
}

// Reads until the reply to `sequence` arrives or the second is over. Our own
// request, which a raw socket on the same host also receives, is no reply.
void AwaitReply(FtpPingState* p, SOCKET s, HWND list, uint16_t id, uint16_t sequence) {
  DWORD start = GetTickCount();
  while (!Stopped(p)) {
    sockaddr_in from = {};
    int fromLength = sizeof(from);
    int got = recvfrom(s, reinterpret_cast<char*>(p->reply), sizeof(p->reply), 0,
                       reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got == SOCKET_ERROR) {
      int e = WSAGetLastError();
      if (e == WSAETIMEDOUT)
        LineText(list, kTextTimeout, "No response (timeout)!");
      else
        Line(list, "Recvfrom failed: %d", e);
      if (e != WSAETIMEDOUT) InterlockedExchange(&p->stop, 1);
      return;
    }
    int type = -1;
    uint16_t replySequence = 0;
    uint32_t sentTicks = 0;
    switch (FtpPingClassify(p->reply, size_t(got), id, sequence, &type, &replySequence, &sentTicks)) {
      case kPingShort:
        Line(list, "Too few bytes from %s", inet_ntoa(from.sin_addr));
        break;
      case kPingOtherType:
        Line(list, "Non-echo type %d recvd", type);
        break;
      case kPingForeign:
        Line(list, "Someone else's packet!");
        break;
      case kPingOwnEcho:
      case kPingStale:
        break;
      case kPingReply:
        Line(list, "#%d, %d bytes from: %s, time: %d ms", int(replySequence), got, inet_ntoa(from.sin_addr),
             int(GetTickCount() - sentTicks));
        return;
    }
    if (GetTickCount() - start >= kWaitMs) {
      LineText(list, kTextTimeout, "No response (timeout)!");
      return;
    }
  }
}

void RawLoop(FtpPingState* p, SOCKET s, HWND list) {
  DWORD timeout = kWaitMs;
  if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout)) ==
      SOCKET_ERROR) {
    Line(list, "Failed to set recv timeout: %d", WSAGetLastError());
    return;
  }
  if (setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout)) ==
      SOCKET_ERROR) {
    Line(list, "Failed to set send timeout: %d", WSAGetLastError());
    return;
  }
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  uint32_t address = 0;
  if (!ResolveHost(p->host, &address)) {
    LineText(list, kTextUnknownHost, "Host %s not found!", p->host);
    return;
  }
  to.sin_addr.s_addr = address;
  uint16_t id = uint16_t(GetCurrentProcessId() & 0xFFFF);
  memset(p->request, 0, sizeof(p->request));
  memset(p->request + 8, 0x45, 4);
  p->request[0] = 8;
  memcpy(p->request + 4, &id, 2);
  for (uint16_t sequence = 0; !Stopped(p); sequence++) {
    DWORD sentAt = GetTickCount();
    p->request[2] = p->request[3] = 0;
    memcpy(p->request + 6, &sequence, 2);
    memcpy(p->request + 8, &sentAt, 4);
    uint16_t sum = FtpLibPingChecksum(p->request, sizeof(p->request));
    memcpy(p->request + 2, &sum, 2);
    int sent = sendto(s, reinterpret_cast<const char*>(p->request), sizeof(p->request), 0,
                      reinterpret_cast<sockaddr*>(&to), sizeof(to));
    if (sent == SOCKET_ERROR) {
      int e = WSAGetLastError();
      if (e == WSAETIMEDOUT) {
        LineText(list, kTextTimeout, "No response (timeout)!");
        continue;
      }
      char text[256];
      FtpLibSockErrorText(text, sizeof(text));
      if (text[0]) Line(list, "%s", text);
      Line(list, "Sendto failed: %d", e);
      return;
    }
    if (sent < int(sizeof(p->request))) Line(list, "Wrote %d bytes", sent);
    AwaitReply(p, s, list, id, sequence);
    Pause(p, sentAt);
  }
}

void PingLoop(FtpPingState* p, HWND list) {
  SOCKET s = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (s == INVALID_SOCKET) {
    bool nt = gFtp.host && gFtp.host->isWinNT && *gFtp.host->isWinNT;
    if (nt)
      LineText(list, kTextNoSocket, "Create socket failed!");
    else
      IcmpDllLoop(p, list);
    return;
  }
  RawLoop(p, s, list);
  closesocket(s);
}

void EnableRunning(HWND dialog, bool running) {
  EnableWindow(GetDlgItem(dialog, kIdStart), !running);
  EnableWindow(GetDlgItem(dialog, kIdStop), running);
}

unsigned __stdcall PingThread(void* arg) {
  FtpPingState* p = static_cast<FtpPingState*>(arg);
  HWND dialog = p->dialog;
  HWND list = dialog ? GetDlgItem(dialog, kIdOutput) : nullptr;
  if (list) {
    WSADATA wsa;
    if (WSAStartup(0x0101, &wsa) != 0) {
      LineText(list, kTextNoInternet, "No Internet access installed!");
    } else {
      InterlockedExchange(&p->stop, 0);
      PingLoop(p, list);
      WSACleanup();
    }
  }
  // Start is offered again only once a press of it can start a new run.
  bool shown = dialog && IsWindow(dialog) && p->dialog == dialog;
  InterlockedExchange(&p->running, 0);
  if (shown) {
    EnableRunning(dialog, false);
    PostMessageA(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, kIdStart)), TRUE);
  }
  return 0;
}

void HistoryFile(char* path) {
  path[0] = 0;
  if (gFtp.host && gFtp.host->iniMakePath) gFtp.host->iniMakePath(gFtp.host->app, path);
}

void OnInit(HWND dialog, FtpPingState* p) {
  SetWindowLongPtrA(dialog, GWLP_USERDATA, LONG_PTR(p));
  p->dialog = dialog;
  HWND combo = GetDlgItem(dialog, kIdHost);
  SendMessageA(combo, CB_LIMITTEXT, sizeof(p->host) - 1, 0);
  SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
  static const uint16_t kIds[] = {kTemplatePing, kIdStart, kIdStop, IDCANCEL, 0};
  if (gFtp.host && gFtp.host->localiseDialog) gFtp.host->localiseDialog(dialog, kIds);
  if (gFtp.host && gFtp.host->center) gFtp.host->center(dialog);
  char file[MAX_PATH];
  HistoryFile(file);
  if (file[0] && gFtp.host->iniLoadComboList) gFtp.host->iniLoadComboList(combo, file, "Ping", kHistory);
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  EnableWindow(GetDlgItem(dialog, kIdStop), FALSE);
  SetFocus(combo);
}

void OnStart(HWND dialog, FtpPingState* p) {
  if (p->running) return;
  HWND combo = GetDlgItem(dialog, kIdHost);
  GetWindowTextA(combo, p->host, sizeof(p->host));
  if (gFtp.host && gFtp.host->comboPutFirst) gFtp.host->comboPutFirst(combo, p->host);
  char file[MAX_PATH];
  HistoryFile(file);
  if (file[0] && gFtp.host->iniSaveComboList) gFtp.host->iniSaveComboList(combo, file, "Ping", kHistory);
  InterlockedExchange(&p->stop, 0);
  InterlockedExchange(&p->running, 1);
  EnableRunning(dialog, true);
  SetFocus(GetDlgItem(dialog, IDCANCEL));
  uintptr_t t = _beginthreadex(nullptr, 0, &PingThread, p, 0, nullptr);
  if (!t) {
    InterlockedExchange(&p->running, 0);
    EnableRunning(dialog, false);
    return;
  }
  CloseHandle(HANDLE(t));
}

INT_PTR CALLBACK FtpLibPingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  FtpPingState* p = reinterpret_cast<FtpPingState*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog, reinterpret_cast<FtpPingState*>(lParam));
      return FALSE;
    case WM_COMMAND:
      if (!p) break;
      switch (LOWORD(wParam)) {
        case IDOK:
        case kIdStart:
          OnStart(dialog, p);
          return TRUE;
        case kIdStop:
          InterlockedExchange(&p->stop, 1);
          EnableWindow(GetDlgItem(dialog, kIdStop), FALSE);
          if (!p->running) EnableWindow(GetDlgItem(dialog, kIdStart), TRUE);
          SetFocus(GetDlgItem(dialog, kIdStart));
          return TRUE;
        case IDCANCEL:
          InterlockedExchange(&p->stop, 1);
          p->dialog = nullptr;
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int32_t FtpCmdPing(intptr_t* r) {
  HWND owner = reinterpret_cast<HWND>(r[1]);
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(r[2]);
  FtpPingState** state = reinterpret_cast<FtpPingState**>(r[3]);
  if (!state) return -1;
  if (!*state) *state = static_cast<FtpPingState*>(FtpAlloc(sizeof(FtpPingState)));
  if (!*state) return -1;
  FtpPingState* p = *state;
  // A thread of an earlier dialog may still be finishing its last echo.
  for (DWORD start = GetTickCount(); p->running && GetTickCount() - start < 3 * kWaitMs;) Sleep(20);
  if (p->running) return -1;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(kTemplatePing), owner, FtpLibPingDlgProc, LPARAM(p));
  return -1;
}
