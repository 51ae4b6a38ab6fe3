// WinSock start-up, the control connection: sending commands, reading
// replies with deadlines, reconnecting after a drop.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpProto.h"

namespace {

const int kTextLost = 6005;
const int kTextNoInternet = 6000;

const char* SockErrorText(int e) {
  switch (e) {
    case 10004: return "Blocking call cancelled";
    case 10022: return "Version not supported by DLL";
    case 10024: return "No file descriptors available";
    case 10035: return "Socket marked as non-blocking and SO_LINGER set not 0";
    case 10036: return "Blocking operation in progress";
    case 10038: return "";
    case 10041: return "Protocol wrong type for this socket";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported for address family";
    case 10047: return "Address family not supported";
    case 10048: return "Address already in use";
    case 10049: return "Address not available";
    case 10050: return "Network subsystem failed";
    case 10053: return "Connection aborted";
    case 10054: return "Connection reset";
    case 10055: return "No buffer space available";
    case 10057: return "Not connected";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10064: return "Host down";
    case 10065: return "Host unreachable";
    case 10091: return "WinSock not present or not responding";
    case 10092: return "WinSock version not supported";
    case 10093: return "WSA Startup not initialized";
    case 11001: return "Authoritive: Host not found";
    case 11002: return "Non-authoritive: host not found or server failure";
    case 11003: return "Non-recoverable: refused or not implemented";
    case 11004: return "Valid name, no data record for type";
    default: return nullptr;
  }
}

}  // namespace

int FtpLibStartup(HWND log, int32_t* counter) {
  static int32_t ownCounter;
  if (!counter) counter = &ownCounter;
  // The count lives in the host, shared by every connection and the ping
  // tool; start-up and clean-up come from different threads.
  if (InterlockedIncrement((volatile LONG*)counter) > 1) return 0;
  WSADATA wsa;
  int e = WSAStartup(0x0101, &wsa);
  if (e) {
    InterlockedDecrement((volatile LONG*)counter);
    if (log && gFtp.host && gFtp.host->logText) gFtp.host->logText(log, kTextNoInternet);
  }
  return e;
}

void FtpLibCleanup(int32_t* counter) {
  if (!counter || *counter <= 0) return;
  if (InterlockedDecrement((volatile LONG*)counter) == 0) WSACleanup();
}

int FtpLibSockErrorText(char* out, uint32_t size) {
  int e = WSAGetLastError();
  const char* t = SockErrorText(e);
  if (t)
    FtpCopy(out, t, size);
  else
    snprintf(out, size, "Error %ld", long(e));
  return e;
}

void FtpLibLogSockError(FtpSession* s) {
  char text[256];
  FtpLibSockErrorText(text, sizeof(text));
  if (text[0]) FtpLog(s, "%s", text);
}

// Waits up to `seconds` in one-second slices; the abort flag ends the wait
// early when honourAbort. False on time-out, abort or select failure.
bool FtpWaitSocket(FtpSession* s, SOCKET sock, bool write, bool honourAbort, int seconds) {
  if (seconds <= 0) seconds = s->timeout > 0 ? s->timeout : 30;
  for (int i = 0; i < seconds * 10; i++) {
    if (honourAbort && s->abortFlag) return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(sock, &set);
    timeval tv = {0, 100000};
    int r = write ? select(0, nullptr, &set, nullptr, &tv) : select(0, &set, nullptr, nullptr, &tv);
    if (r > 0) return true;
    if (r < 0) {
      FtpLibLogSockError(s);
      return false;
    }
  }
  return false;
}

int FtpLibSend(FtpSession* s, SOCKET sock, const char* data, int len, bool honourAbort) {
  int sent = 0;
  while (sent < len) {
    if (!FtpWaitSocket(s, sock, true, honourAbort, 0)) return -1;
    int n = send(sock, data + sent, len - sent, 0);
    if (n <= 0) {
      FtpLibLogSockError(s);
      return n;
    }
    sent += n;
  }
  return sent;
}

int FtpLibSendLine(FtpSession* s, const char* text) {
  if (s->control == INVALID_SOCKET) return -1;
  char line[4096];
  if (!FtpLibToServer(s, text, line, sizeof(line) - 2)) {
    FtpCopy(s->reply, "The command is too long.", sizeof(s->reply));
    return -1;
  }
  strcat(line, "\r\n");
  // Control lines go out even after an abort: ABOR itself is one.
  return FtpLibSend(s, s->control, line, int(strlen(line)), false);
}

// One reply line into the reply buffer. Bytes behind the line stay in the
// session's receive buffer for the next line. 421 on time-out or abort (the
// connection is then out of step and is closed), -1 on a socket error.
int FtpLibReadReplyLine(FtpSession* s, bool honourAbort, int seconds) {
  if (s->control == INVALID_SOCKET) return 0;
  uint32_t len = 0;
  const uint32_t kMax = 4000;
  s->reply[0] = 0;
  for (;;) {
    bool ended = false;
    while (s->rxStart < s->rxEnd && len < kMax) {
      char c = s->rx[s->rxStart++];
      if (c == '\n' || c == 0) {
        // The rest of an over-long line ends here; it is no line of its own.
        if (s->dropToLineEnd) {
          s->dropToLineEnd = false;
          continue;
        }
        ended = true;
        break;
      }
      if (!s->dropToLineEnd) s->reply[len++] = c;
    }
    if (len >= kMax) s->dropToLineEnd = true;
    if (ended || len >= kMax) break;
    s->rxStart = s->rxEnd = 0;
    if (!FtpWaitSocket(s, s->control, false, honourAbort, seconds)) {
      s->reply[len] = 0;
      FtpLog(s, "%s", s->abortFlag ? "Aborted." : "Connection timed out");
      FtpLibCloseControl(s);
      FtpCopy(s->reply, s->abortFlag ? "421 Aborted." : "421 Connection timed out", sizeof(s->reply));
      return 421;
    }
    int n = recv(s->control, s->rx, sizeof(s->rx), 0);
    if (n <= 0) {
      if (n < 0) FtpLibLogSockError(s);
      FtpLibCloseControl(s);
      if (len == 0) {
        FtpCopy(s->reply, "Connection closed by the server.", sizeof(s->reply));
        return -1;
      }
      break;
    }
    s->rxEnd = uint32_t(n);
  }
  while (len > 2 && (s->reply[len - 1] == '\r' || s->reply[len - 1] == '\n' || s->reply[len - 1] == ' ')) len--;
  s->reply[len] = 0;
  FtpLibReplyFromServer(s);
  return FtpReplyCode(s->reply);
}

// A whole reply, line by line (no recursion however long it is).
int FtpLibReadReply(FtpSession* s, bool honourAbort, int seconds) {
  if (s->control == INVALID_SOCKET) return 0;
  FtpReplyReader reader;
  for (;;) {
    int code = FtpLibReadReplyLine(s, honourAbort, seconds);
    if (code == -1) return -1;
    if (s->reply[0]) FtpLog(s, "%s", s->reply);
    if (strcmp(s->reply, " UTF8") == 0) s->featUtf8 = true;
    if (code == 421 && s->control == INVALID_SOCKET) {
      s->lastReplyCode = 421;
      return 4;
    }
    if (!reader.Feed(s->reply)) break;
  }
  if (reader.lastCode) s->lastReplyCode = reader.lastCode;
  return reader.Class();
}

namespace {

void LogCommand(FtpSession* s, const char* cmd) {
  if (strncmp(cmd, "PASS ", 5) == 0)
    FtpLog(s, "***");
  else
    FtpLog(s, "%s", cmd);
}

}  // namespace

int FtpLibCommandOnce(FtpSession* s, const char* cmd) {
  s->lastReplyCode = 0;
  LogCommand(s, cmd);
  if (s->control == INVALID_SOCKET) return -1;
  if (!FtpBusyEnter(s)) {
    FtpLog(s, "Command in progress, ignored.");
    return -1;
  }
  int cls = -1;
  if (FtpLibRefuseLossy(s, cmd))
    cls = 5;
  else if (FtpLibSendLine(s, cmd) > 0)
    cls = FtpLibReadReply(s);
  FtpBusyLeave(s);
  return cls;
}

int FtpLibCommand(FtpSession* s, const char* format, ...) {
  char cmd[513];
  va_list ap;
  va_start(ap, format);
  vsnprintf(cmd, sizeof(cmd), format, ap);
  va_end(ap);
  s->lastReplyCode = 0;
  LogCommand(s, cmd);
  // A refusal because another command is on the wire is no lost connection:
  // it must neither reconnect nor close the running operation's socket.
  if (!FtpBusyEnter(s)) {
    FtpLog(s, "Command in progress, ignored.");
    return -1;
  }
  if (s->busy == 1) InterlockedExchange(&s->abortFlag, 0);
  if (FtpLibRefuseLossy(s, cmd)) {
    FtpBusyLeave(s);
    return 5;
  }
  int cls = -1;
  if (s->control != INVALID_SOCKET && cmd[0]) {
    if (FtpLibSendLine(s, cmd) > 0) {
      cls = FtpLibReadReply(s);
      bool exempt = strncmp(cmd, "PASS ", 5) == 0 || (strncmp(cmd, "USER", 4) == 0 && cmd[4] != ' ');
      if (cls != -1 && (cls != 4 || s->lastReplyCode != 421 || exempt)) {
        FtpBusyLeave(s);
        return cls;
      }
    }
  }
  if (s->abortFlag) {
    // The user's abort ended the wait: no reconnection behind their back.
    FtpBusyLeave(s);
    return cls;
  }
  FtpLibReconnect(s);
  if (s->control == INVALID_SOCKET) {
    cls = -1;
  } else if (!cmd[0]) {
    cls = 2;
  } else {
    s->lastReplyCode = 0;
    LogCommand(s, cmd);
    cls = FtpLibSendLine(s, cmd) > 0 ? FtpLibReadReply(s) : -1;
  }
  FtpBusyLeave(s);
  return cls;
}

int FtpLibCommandArgAlt(FtpSession* s, const char* verb, const char* alt, const char* arg) {
  int cls = arg ? FtpLibCommand(s, "%s %s", verb, arg) : FtpLibCommand(s, "%s", verb);
  if (cls == 5 && s->lastReplyCode == 500 && alt)
    cls = arg ? FtpLibCommand(s, "%s %s", alt, arg) : FtpLibCommand(s, "%s", alt);
  if (cls < 0) return cls;
  return s->lastReplyCode / 100;
}

int FtpLibChangeDir(FtpSession* s, const char* dir) {
  s->serverDir[0] = 0;
  if (strcmp(dir, "..") == 0) {
    int cls = FtpLibCommand(s, "CDUP");
    if (cls != 5) return cls;
  }
  return FtpLibCommandArgAlt(s, "CWD", "XCWD", dir);
}

int FtpLibPrintDir(FtpSession* s, char* out, uint32_t size) {
  int cls = FtpLibCommandArgAlt(s, "PWD", "XPWD", nullptr);
  if (cls == 2 && !FtpParsePwd(s->reply, out, size)) out[0] = 0;
  FtpCopy(s->serverDir, cls == 2 ? out : "", sizeof(s->serverDir));
  return cls;
}

SOCKET FtpLibCloseSocket(FtpSession* s, SOCKET sock, int how) {
  if (sock == INVALID_SOCKET) return sock;
  shutdown(sock, how);
  if (how == SD_SEND) {
    // Let the peer see every byte before the hard close.
    char drain[1024];
    for (int i = 0; i < 50 && FtpWaitSocket(s, sock, false, true, 1); i++)
      if (recv(sock, drain, sizeof(drain), 0) <= 0) break;
  }
  linger lg = {1, 0};
  setsockopt(sock, SOL_SOCKET, SO_LINGER, (const char*)&lg, sizeof(lg));
  if (closesocket(sock) != 0) {
    FtpLibLogSockError(s);
    return sock;
  }
  return INVALID_SOCKET;
}

void FtpLibCloseControl(FtpSession* s) {
  s->dropToLineEnd = false;
  s->serverDir[0] = 0;
  SOCKET c = s->control;
  s->control = INVALID_SOCKET;
  s->rxStart = s->rxEnd = 0;
  if (c != INVALID_SOCKET) closesocket(c);
}

void FtpLibReconnect(FtpSession* s) {
  if (s->disconnecting) return;
  if (InterlockedCompareExchange(&s->reconnecting, 1, 0) != 0) return;
  // The operation counter belongs to the threads that run; a reconnection
  // leaves it alone so that the disconnect still waits for them.
  FtpLibCloseControl(s);
  if (FtpLibConnectAndLogin(s) != 0) {
    if (gFtp.hostEx && gFtp.hostEx->msgBoxId) gFtp.hostEx->msgBoxId(gFtp.mainWindow, kTextLost, gFtp.title, MB_ICONERROR);
    FtpPost(kFtpNotifyLost, LPARAM((unsigned char)s->block->slot));
  } else if (s->site.remoteDir[0]) {
    FtpLibChangeDir(s, s->site.remoteDir);
  }
  InterlockedExchange(&s->reconnecting, 0);
}

// After ABOR the server answers the aborted command (426 or its 226) and the
// ABOR itself; both are read so that the next reply belongs to the next
// command. A server that stays silent loses the connection instead.
int FtpLibAbortAndSync(FtpSession* s) {
  if (s->control == INVALID_SOCKET) return -1;
  FtpLog(s, "ABOR");
  if (FtpLibSendLine(s, "ABOR") <= 0) {
    FtpLibCloseControl(s);
    return -1;
  }
  int cls = FtpLibReadReply(s, false, 10);
  if (cls > 0 && s->lastReplyCode != 225 && s->control != INVALID_SOCKET) {
    if (FtpWaitSocket(s, s->control, false, false, 3) || s->rxStart < s->rxEnd) FtpLibReadReply(s, false, 5);
  }
  return cls;
}
