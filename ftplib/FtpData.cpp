// Opening the control connection, logging in (directly or through a
// firewall), data connections and the transfers over them.
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "FtpInternal.h"
#include "FtpProto.h"

namespace {

const uint32_t kTransferBuffer = 1024 * 1024;
const int kSocketBuffer = 2 * 1024 * 1024;
const int kRetries = 10;

FtpHostServicesEx* B() { return gFtp.hostEx; }

bool EnsureTransferBuffer(FtpSession* s) {
  if (s->xfer) return true;
  s->xfer = static_cast<char*>(malloc(kTransferBuffer));
  s->xferSize = s->xfer ? kTransferBuffer : 0;
  return s->xfer != nullptr;
}

// Data sockets block with kernel time-outs instead of a select per piece:
// under Wine each select is a server round trip that halves the throughput.
// Receives wake every second to look at the abort flag; a send that cannot
// go on for the whole time-out fails the transfer.
void TuneDataSocket(FtpSession* s, SOCKET d) {
  int size = kSocketBuffer;
  setsockopt(d, SOL_SOCKET, SO_RCVBUF, (const char*)&size, sizeof(size));
  setsockopt(d, SOL_SOCKET, SO_SNDBUF, (const char*)&size, sizeof(size));
  DWORD recvMs = 1000, sendMs = DWORD(s->timeout > 0 ? s->timeout : 30) * 1000;
  setsockopt(d, SOL_SOCKET, SO_RCVTIMEO, (const char*)&recvMs, sizeof(recvMs));
  setsockopt(d, SOL_SOCKET, SO_SNDTIMEO, (const char*)&sendMs, sizeof(sendMs));
}

// recv on a data socket: bytes, 0 at the end, -1 on an error, -2 on abort
// or time-out.
int DataRecv(FtpSession* s, char* buf, int size) {
  int limit = s->timeout > 0 ? s->timeout : 30;
  for (int waited = 0;;) {
    if (s->abortFlag) return -2;
    int n = recv(s->data, buf, size, 0);
    if (n >= 0) return n;
    if (WSAGetLastError() != WSAETIMEDOUT) return -1;
    if (++waited >= limit) {
      InterlockedExchange(&s->timedOut, 1);
      FtpLog(s, "Connection timed out");
      return -2;
    }
  }
}

bool DataSend(FtpSession* s, const char* data, int len) {
  while (len > 0 && !s->abortFlag) {
    int n = send(s->data, data, len, 0);
    if (n <= 0) {
      FtpLibLogSockError(s);
      return false;
    }
    data += n;
    len -= n;
  }
  return len == 0;
}

SOCKET NewStream(FtpSession* s) {
  SOCKET sock = socket(AF_INET, SOCK_STREAM, s->protocol ? s->protocol : IPPROTO_TCP);
  if (sock == INVALID_SOCKET) {
    FtpLibLogSockError(s);
    return sock;
  }
  BOOL on = TRUE;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, (const char*)&on, sizeof(on));
  return sock;
}

DWORD Now() { return GetTickCount(); }

void LogRate(FtpSession* s, const char* format, uint64_t bytes, DWORD ms) {
  if (ms == 0) return;
  char num[24];
  FtpU64Text(bytes, num);
  double kbs = double(bytes) / double(ms) * 0.9765625;
  FtpLog(s, format, num, ms * 0.001, kbs);
}

}  // namespace

void FtpU64Text(uint64_t v, char* out) {
  char tmp[24];
  int n = 0;
  do {
    tmp[n++] = char('0' + v % 10);
    v /= 10;
  } while (v);
  for (int i = 0; i < n; i++) out[i] = tmp[n - 1 - i];
  out[n] = 0;
}

// connect() with the session's time-out instead of the system's minutes.
SOCKET FtpLibConnectTimed(FtpSession* s, const sockaddr_in& addr) {
  SOCKET sock = NewStream(s);
  if (sock == INVALID_SOCKET) return sock;
  u_long nb = 1;
  ioctlsocket(sock, FIONBIO, &nb);
  int r = connect(sock, (const sockaddr*)&addr, sizeof(addr));
  int err = 0;
  if (r != 0) {
    err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK) {
      int seconds = s->timeout > 0 ? s->timeout : 30;
      bool done = false;
      for (int i = 0; i < seconds * 10 && !done; i++) {
        if (s->closing && s->disconnecting) break;
        fd_set w, e;
        FD_ZERO(&w);
        FD_ZERO(&e);
        FD_SET(sock, &w);
        FD_SET(sock, &e);
        timeval tv = {0, 100000};
        if (select(0, nullptr, &w, &e, &tv) > 0) done = true;
      }
      err = WSAETIMEDOUT;
      if (done) {
        int soErr = 0, len = sizeof(soErr);
        getsockopt(sock, SOL_SOCKET, SO_ERROR, (char*)&soErr, &len);
        err = soErr;
      }
    }
  }
  nb = 0;
  ioctlsocket(sock, FIONBIO, &nb);
  if (err) {
    closesocket(sock);
    WSASetLastError(err);
    return INVALID_SOCKET;
  }
  return sock;
}

static SOCKET ConnectControl(FtpSession* s, const char* name, uint16_t port) {
  memset(&s->controlAddr, 0, sizeof(s->controlAddr));
  s->controlAddr.sin_family = AF_INET;
  s->controlAddr.sin_port = htons(port);
  unsigned long ip = inet_addr(name);
  if (ip == INADDR_NONE) {
    hostent* h = gethostbyname(name);
    if (!h || h->h_length != 4 || !h->h_addr_list[0]) {
      FtpLibLogSockError(s);
      return INVALID_SOCKET;
    }
    memcpy(&ip, h->h_addr_list[0], 4);
  }
  s->controlAddr.sin_addr.s_addr = ip;
  protoent* pe = getprotobyname("tcp");
  s->protocol = pe ? pe->p_proto : 6;
  const char* dotted = inet_ntoa(s->controlAddr.sin_addr);
  char dot[32];
  FtpCopy(dot, dotted ? dotted : "", sizeof(dot));
  if (strcmp(dot, s->site.sessionName) != 0)
    FtpLog(s, "Connecting to %s:%u (%s) ...", dot, unsigned(port), s->site.sessionName);
  else
    FtpLog(s, "Connecting to %s ...", s->site.sessionName);
  SOCKET sock = FtpLibConnectTimed(s, s->controlAddr);
  if (sock == INVALID_SOCKET) {
    int e = WSAGetLastError();
    snprintf(s->reply, sizeof(s->reply), "Can't connect to %s %s service port %u.", name, "ftp", unsigned(port));
    FtpLog(s, "%s", s->reply);
    WSASetLastError(e);
    FtpLibLogSockError(s);
    return INVALID_SOCKET;
  }
  FtpLog(s, "Connected to %s:%u", dot, unsigned(port));
  return sock;
}

int FtpLibConnectAndLogin(FtpSession* s) {
  if (s->control != INVALID_SOCKET) {
    FtpLog(s, "Already connected");
    return 0;
  }
  if (!FtpBusyEnter(s)) {
    FtpLog(s, "Command in progress, ignored.");
    return 5;
  }
  bool fw = (s->site.options & kSiteFlagFirewall) != 0;
  char name[81];
  uint16_t port = s->port ? s->port : 21;
  if (fw)
    FtpSplitHost(s->site.fwHost, name, sizeof(name), &port, 21);
  else
    FtpCopy(name, s->hostName, sizeof(name));
  s->reply[0] = 0;
  SOCKET sock = ConnectControl(s, name, port);
  if (sock == INVALID_SOCKET) {
    if (!s->reply[0]) snprintf(s->reply, sizeof(s->reply), "Connection to %s failed.", name);
    FtpLog(s, "%s", s->reply);
    FtpBusyLeave(s);
    return 5;
  }
  s->rxStart = s->rxEnd = 0;
  s->control = sock;
  s->currentType = 'A';
  s->lastReplyCode = 0;
  s->replyDepth = 0;
  int cls;
  do {
    cls = FtpLibReadReply(s);
    if (strstr(s->reply, "(EXOS") && s->systemType == 0) s->systemType = 11;
  } while (cls == 1 && !s->abortFlag);
  if (cls != 2) {
    FtpLibCloseControl(s);
    FtpBusyLeave(s);
    return 5;
  }
  BOOL on = TRUE;
  setsockopt(s->control, SOL_SOCKET, SO_OOBINLINE, (const char*)&on, sizeof(on));

  FtpLoginPlan plan;
  plan.in = {s->site.fwType, fw, s->site.user, s->site.password, s->site.fwUser, s->site.fwPassword, s->site.host};
  int code = s->lastReplyCode;
  char cmd[600];
  int result = 5;
  for (int guard = 0; guard < 16; guard++) {
    FtpLoginStep step = plan.Next(code, cmd, sizeof(cmd));
    if (step == kLoginDone) {
      result = 0;
      break;
    }
    if (step == kLoginFail) break;
    if (step == kLoginNeedPassword) {
      FtpPasswordQuestion q = {s->site.password, 80, s->site.host};
      if (!B() || !B()->askPassword || !B()->askPassword(gFtp.mainWindow, &q) || !s->site.password[0]) {
        result = 6;
        break;
      }
      plan.in.password = s->site.password;
      continue;
    }
    if (FtpLibCommandOnce(s, cmd) < 0) break;
    code = s->lastReplyCode;
  }
  if (result != 0) FtpLibCloseControl(s);
  FtpBusyLeave(s);
  return result;
}

void FtpLibConnectWithRetries(FtpSession* s) {
  if (s->closing) return;
  int r = FtpLibConnectAndLogin(s);
  int retries = 0;
  while (r == 5 && retries < kRetries && !s->closing) {
    retries++;
    char text[128];
    snprintf(text, sizeof(text), "Connection failed...Retrying (%lu of %lu)", (unsigned long)retries,
             (unsigned long)kRetries);
    if (!s->reply[0]) FtpCopy(s->reply, text, sizeof(s->reply));
    FtpLog(s, "%s", text);
    s->reply[0] = 0;
    r = FtpLibConnectAndLogin(s);
  }
  if (r == 5 && retries >= kRetries) {
    snprintf(s->reply, sizeof(s->reply), "All %lu retries failed. Connection to %s failed.",
             (unsigned long)kRetries, s->site.host);
    FtpLog(s, "%s", s->reply);
  }
  if (s->closing) FtpLibCloseControl(s);
}

bool FtpLibPasv(FtpSession* s, sockaddr_in* addr) {
  if (FtpLibCommand(s, "PASV") != 2) return false;
  uint8_t ip[4];
  uint16_t port;
  if (!FtpParsePasv(s->reply, ip, &port)) return false;
  // The address in the reply is not used: a server behind NAT names its
  // private one. The data goes to the server of the control connection.
  *addr = s->controlAddr;
  addr->sin_port = htons(port);
  return true;
}

static SOCKET OpenPassive(FtpSession* s) {
  sockaddr_in a;
  if (!FtpLibPasv(s, &a)) return INVALID_SOCKET;
  s->dataAddr = a;
  SOCKET d = FtpLibConnectTimed(s, a);
  if (d == INVALID_SOCKET) {
    int e = WSAGetLastError();
    snprintf(s->reply, sizeof(s->reply), "Can't connect to %s %s service port %u.", s->site.host, "ftp",
             unsigned(ntohs(a.sin_port)));
    FtpLog(s, "%s", s->reply);
    WSASetLastError(e);
    FtpLibLogSockError(s);
    return d;
  }
  TuneDataSocket(s, d);
  return d;
}

static SOCKET OpenActive(FtpSession* s) {
  SOCKET l = NewStream(s);
  if (l == INVALID_SOCKET) return l;
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = INADDR_ANY;
  int len = sizeof(a);
  sockaddr_in local = {};
  int llen = sizeof(local);
  if (bind(l, (sockaddr*)&a, sizeof(a)) != 0 || getsockname(l, (sockaddr*)&a, &len) != 0 || listen(l, 1) != 0 ||
      getsockname(s->control, (sockaddr*)&local, &llen) != 0) {
    FtpLibLogSockError(s);
    closesocket(l);
    return INVALID_SOCKET;
  }
  const uint8_t* ip = reinterpret_cast<const uint8_t*>(&local.sin_addr.s_addr);
  unsigned port = ntohs(a.sin_port);
  char cmd[64];
  snprintf(cmd, sizeof(cmd), "%s %d,%d,%d,%d,%d,%d", "PORT", ip[0], ip[1], ip[2], ip[3], int(port >> 8),
           int(port & 0xFF));
  int cls = FtpLibCommand(s, "%s", cmd);
  if (cls != 2 && s->lastReplyCode != 500) cls = FtpLibCommand(s, "%s", cmd);
  if (cls != 2) {
    closesocket(l);
    return INVALID_SOCKET;
  }
  return l;
}

static SOCKET AcceptData(FtpSession* s, SOCKET l) {
  SOCKET d = INVALID_SOCKET;
  if (FtpWaitSocket(s, l, false, true, 0)) d = accept(l, nullptr, nullptr);
  if (d == INVALID_SOCKET) {
    FtpLog(s, "Data connection not accepted");
    FtpLibLogSockError(s);
  } else {
    TuneDataSocket(s, d);
  }
  closesocket(l);
  return d;
}

void FtpLibSetType(FtpSession* s, char type) {
  if (type && type != s->currentType) {
    FtpLibCommand(s, "%s %c", "TYPE", type);
    s->currentType = type;
  }
}

// Receives the data connection into memory or a local file. With a resume
// offset the last 512 local bytes before it are compared first. Returns 1
// when all arrived, 0 when the connection failed, kLocalFailure when the
// file could not be opened or written (or memory ran out).
static const int kLocalFailure = -1;
static int ReceiveData(FtpSession* s, const char* localPath, char** memory, uint32_t* memoryLen, uint64_t resume) {
  if (s->data == INVALID_SOCKET || !EnsureTransferBuffer(s)) return 0;
  FtpHostServicesEx* b = B();
  void* file = nullptr;
  uint32_t memCap = 0;
  if (memory) {
    *memory = nullptr;
    *memoryLen = 0;
  } else {
    if (!b) return 0;
    if (!resume) {
      if (b->fileCreate(gFtp.mainWindow, localPath, &file) != 0 || !file) return kLocalFailure;
    } else {
      if (b->fileOpenReport(gFtp.mainWindow, localPath, &file, GENERIC_READ | GENERIC_WRITE) != 0 || !file)
        return kLocalFailure;
      b->fileSeek(file, resume - 512);
    }
  }
  JobRecord* job = s->job;
  DWORD start = Now();
  if (job) job->startClock = uint32_t(clock());
  uint64_t received = 0;
  bool failed = false, any = false, localFailed = false;

  auto store = [&](const char* data, uint32_t n) -> bool {
    if (memory) {
      if (*memoryLen + n + 1 > memCap) {
        uint32_t cap = memCap ? memCap : 16384;
        while (cap < *memoryLen + n + 1) cap *= 2;
        char* grown = static_cast<char*>(realloc(*memory, cap));
        if (!grown) return false;
        *memory = grown;
        memCap = cap;
      }
      memcpy(*memory + *memoryLen, data, n);
      *memoryLen += n;
      return true;
    }
    if (b->fileWrite(gFtp.mainWindow, file, data, n) != 0) return false;
    if (b->addProgress) b->addProgress(job, n);
    if (job) job->bytesDone += n;
    return true;
  };

  if (resume && file) {
    char local[512];
    bool readOk = b->fileRead(file, local, 512) == 0;
    b->fileSeek(file, resume);
    uint32_t matched = 0;
    while (readOk && matched < 512 && !s->abortFlag) {
      int n = DataRecv(s, s->xfer, int(s->xferSize));
      if (n <= 0) break;
      any = true;
      uint32_t take = uint32_t(n) < 512 - matched ? uint32_t(n) : 512 - matched;
      if (memcmp(s->xfer, local + matched, take) != 0) {
        FtpLog(s, "Not the same file!");
        InterlockedExchange(&s->resumeMismatch, 1);
        InterlockedExchange(&s->abortFlag, 1);
        break;
      }
      if (b->addProgress) b->addProgress(job, take);
      matched += take;
      // Bytes beyond the compared ones already belong at the resume offset.
      if (uint32_t(n) > take && !store(s->xfer + take, uint32_t(n) - take)) {
        failed = localFailed = true;
        break;
      }
      received += uint32_t(n) - take;
    }
    if (!readOk) {
      FtpLog(s, "Not the same file!");
      InterlockedExchange(&s->resumeMismatch, 1);
      InterlockedExchange(&s->abortFlag, 1);
    }
    if (job && !s->resumeMismatch) {
      uint64_t skipped = resume - 512;
      job->bytesDone += skipped;
      if (job->total >= skipped) job->total -= skipped;
    }
  }

  // Pieces are gathered into half the buffer before they are written: a
  // receive hands over what has arrived (often 64 KiB), and each write and
  // progress report is a call through the host and the system.
  uint32_t held = 0;
  while (!s->abortFlag && !failed) {
    int n = DataRecv(s, s->xfer + held, int(s->xferSize - held));
    if (n == 0 || n == -2) break;
    if (n < 0) {
      if (!s->abortFlag) FtpLibLogSockError(s);
      failed = !any;
      break;
    }
    any = true;
    held += uint32_t(n);
    received += uint32_t(n);
    if (held >= s->xferSize / 2) {
      if (!store(s->xfer, held)) {
        failed = localFailed = true;
        break;
      }
      held = 0;
    }
  }
  if (held && !localFailed && !store(s->xfer, held)) failed = localFailed = true;
  if (memory) {
    if (!*memory) *memory = static_cast<char*>(calloc(1, 1));
    else (*memory)[*memoryLen] = 0;
  }
  if (file) b->fileClose(file);
  DWORD ms = Now() - start;
  if (!s->abortFlag && !failed && !s->timedOut) LogRate(s, "%s bytes received in %.2f seconds, (%.2f KB/s)", received, ms);
  if (localFailed) return kLocalFailure;
  return failed || s->timedOut ? 0 : 1;
}

static int SendData(FtpSession* s, FtpCopyItem* item) {
  if (s->data == INVALID_SOCKET || !EnsureTransferBuffer(s)) return 1;
  FtpHostServicesEx* b = B();
  void* file = nullptr;
  int r = b->fileOpenReport(gFtp.mainWindow, item->source, &file, GENERIC_READ);
  if (r != 0 || !file) return r ? r : 1;
  JobRecord* job = s->job;
  DWORD start = Now();
  if (job) job->startClock = uint32_t(clock());
  uint64_t size = 0;
  b->fileGetSize(gFtp.mainWindow, file, &size);
  uint64_t left = size, sent = 0;
  int result = 0;
  while (left && !s->abortFlag) {
    uint32_t n = left < s->xferSize ? uint32_t(left) : s->xferSize;
    if (b->fileRead(file, s->xfer, n) != 0) {
      result = 1;
      break;
    }
    if (!DataSend(s, s->xfer, int(n))) {
      result = 1;
      break;
    }
    if (b->addProgress) b->addProgress(job, n);
    if (job) job->bytesDone += n;
    left -= n;
    sent += n;
  }
  b->fileClose(file);
  if (s->abortFlag) result = 1;
  if (result == 0) LogRate(s, "Transmitted %s bytes in %.2f seconds, (%.2f KB/s)", sent, Now() - start);
  return result;
}

// Opens the data side and sends the command. Returns the data socket, or
// INVALID_SOCKET with *cls the class of the refusal (0 when the data side
// failed).
static SOCKET StartData(FtpSession* s, const char* command, uint64_t* resume, int* cls) {
  bool passive = (s->site.options & kSiteFlagPassive) != 0;
  SOCKET d = INVALID_SOCKET, l = INVALID_SOCKET;
  *cls = 0;
  if (passive)
    d = OpenPassive(s);
  else
    l = OpenActive(s);
  if (d == INVALID_SOCKET && l == INVALID_SOCKET) return INVALID_SOCKET;
  if (resume && *resume) {
    char num[24];
    FtpU64Text(*resume - 512, num);
    if (FtpLibCommand(s, "%s %s", "REST", num) != 3) *resume = 0;
  }
  *cls = FtpLibCommandOnce(s, command);
  if (*cls != 1) {
    if (d != INVALID_SOCKET) closesocket(d);
    if (l != INVALID_SOCKET) closesocket(l);
    return INVALID_SOCKET;
  }
  if (!passive) {
    d = AcceptData(s, l);
  }
  return d;
}

int FtpLibDataCommand(FtpSession* s, const char* command, const char* localPath, char** memory, uint32_t* memoryLen,
                      uint64_t resume, char type) {
  s->lastReplyCode = 0;
  s->replyDepth = 0;
  if (s->control == INVALID_SOCKET) return 0;
  if (!FtpBusyEnter(s)) {
    FtpLog(s, "Command in progress, ignored.");
    return 0;
  }
  InterlockedExchange(&s->abortFlag, 0);
  InterlockedExchange(&s->resumeMismatch, 0);
  InterlockedExchange(&s->timedOut, 0);
  FtpLibSetType(s, type);
  int cls = 0;
  SOCKET d = StartData(s, command, &resume, &cls);
  if (d == INVALID_SOCKET) {
    FtpBusyLeave(s);
    return cls == 1 ? 0 : cls;
  }
  s->data = d;
  // A file that could not be written is a failed transfer whatever the
  // server answers afterwards: its 226 only says that it sent everything.
  const bool localFailed = ReceiveData(s, localPath, memory, memoryLen, resume) == kLocalFailure;
  int result;
  if (localFailed) {
    FtpLibAbortAndSync(s);
    s->data = FtpLibCloseSocket(s, s->data, SD_BOTH);
    snprintf(s->reply, sizeof(s->reply), "Cannot write %s", localPath ? localPath : "the listing");
    FtpLog(s, "%s", s->reply);
    result = 5;
  } else if (s->abortFlag || s->timedOut) {
    FtpLibAbortAndSync(s);
    s->data = FtpLibCloseSocket(s, s->data, SD_BOTH);
    result = 5;
  } else {
    if (shutdown(s->data, SD_BOTH) != 0) FtpLibLogSockError(s);
    closesocket(s->data);
    s->data = INVALID_SOCKET;
    result = FtpLibReadReply(s, false, 0);
  }
  s->data = INVALID_SOCKET;
  if (memory && *memory) {
    uint32_t n = FtpLibFromServer(s, *memory, *memoryLen);
    *memoryLen = n;
  }
  FtpBusyLeave(s);
  return result;
}

int FtpLibStoreCommand(FtpSession* s, const char* command, FtpCopyItem* item, char type) {
  s->lastReplyCode = 0;
  if (s->control == INVALID_SOCKET) return -1;
  if (!FtpBusyEnter(s)) {
    FtpLog(s, "Command in progress, ignored.");
    return -1;
  }
  InterlockedExchange(&s->abortFlag, 0);
  InterlockedExchange(&s->timedOut, 0);
  FtpLibSetType(s, type);
  int cls = 0;
  SOCKET d = StartData(s, command, nullptr, &cls);
  if (d == INVALID_SOCKET) {
    FtpBusyLeave(s);
    return cls == 1 || cls == 0 ? -1 : cls;
  }
  s->data = d;
  int sent = SendData(s, item);
  int result;
  if (sent != 0 || s->abortFlag) {
    // A graceful close would let the server keep a cut file as complete.
    linger lg = {1, 0};
    setsockopt(s->data, SOL_SOCKET, SO_LINGER, (const char*)&lg, sizeof(lg));
    closesocket(s->data);
    s->data = INVALID_SOCKET;
    FtpLibAbortAndSync(s);
    result = 5;
  } else {
    s->data = FtpLibCloseSocket(s, s->data, SD_SEND);
    if (s->data != INVALID_SOCKET) closesocket(s->data);
    s->data = INVALID_SOCKET;
    cls = FtpLibReadReply(s, false, 0);
    result = cls == 2 ? 0 : cls;
  }
  FtpBusyLeave(s);
  return result;
}
