// The connection threads and the file operations behind the commands.
#include <process.h>
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpListParse.h"
#include "FtpProto.h"

namespace {

FtpHostServicesEx* B() { return gFtp.hostEx; }

// The last error text of a transfer goes to the job's location record.
void SetLocationText(LocationNode* node, const char* text) {
  FtpLocationHead* loc = reinterpret_cast<FtpLocationHead*>(node);
  if (!loc) return;
  loc->text[0] = 0;
  FtpCopy(loc->text, text, sizeof(loc->text));
}

const char* NamePart(const char* path) {
  const char* n = path;
  for (const char* p = path; *p; p++)
    if (*p == '/' || *p == '\\') n = p + 1;
  return n;
}

char TypeFor(const char* name) {
  if (B() && B()->transferType) {
    // The host answers a char: only the low byte of the register is set.
    char t = char(B()->transferType(name) & 0xFF);
    if (t == 'A' || t == 'I') return t;
  }
  return 'I';
}

// Size of a local file; false when it does not exist or cannot be read.
bool LocalSize(const char* path, uint64_t* size) {
  *size = 0;
  if (!B() || B()->fileExists(path) != 0) return false;
  void* h = nullptr;
  if (B()->fileOpen(path, &h, GENERIC_READ) != 0 || !h) return false;
  B()->fileGetSize(nullptr, h, size);
  B()->fileClose(h);
  return true;
}

void OperationDone(FtpSession* s) { InterlockedDecrement(&s->operations); }

}  // namespace

unsigned __stdcall FtpLibConnectThread(void* arg) {
  FtpSession* s = static_cast<FtpSession*>(arg);
  if (s->control != INVALID_SOCKET) {
    FtpLog(s, "Already connected");
    OperationDone(s);
    return 0;
  }
  FtpLibConnectWithRetries(s);
  if (s->control == INVALID_SOCKET) {
    char* block = static_cast<char*>(FtpAlloc(kFtpConnectFailedBlock));
    if (block) {
      block[0] = s->block->slot;
      FtpCopy(block + 1, s->reply, kFtpConnectFailedBlock - 1);
      FtpPost(kFtpNotifyConnectFailed, LPARAM(block));
    }
    OperationDone(s);
    return 0;
  }
  if (FtpLibCommandOnce(s, "SYST") > 0) s->systemType = FtpSystemTypeFromReply(s->reply, s->systemType);
  // Names in UTF-8 where the server says it speaks it (RFC 2640), or
  // agrees to.
  s->featUtf8 = false;
  if (FtpLibCommandOnce(s, "FEAT") == 2 && s->featUtf8)
    s->utf8 = true;
  else if (s->control != INVALID_SOCKET)
    s->utf8 = FtpLibCommandOnce(s, "OPTS UTF8 ON") == 2;
  if (s->site.remoteDir[0]) FtpLibChangeDir(s, s->site.remoteDir);
  char dir[262];
  if (FtpLibPrintDir(s, dir, sizeof(dir)) == 2 && dir[0]) FtpCopy(s->site.remoteDir, dir, sizeof(s->site.remoteDir));
  if (s->control != INVALID_SOCKET) {
    if (B() && B()->setConnectionTitle) B()->setConnectionTitle(s->block->slot, s->site.sessionName);
    FtpPost(kFtpNotifyUp, 0);
    FtpPost(kFtpNotifyAttached, LPARAM((unsigned char)s->block->slot | (uint32_t(s->panel) << 8)));
  }
  OperationDone(s);
  return 0;
}

unsigned __stdcall FtpLibDisconnectThread(void* arg) {
  void** variable = static_cast<void**>(arg);
  FtpLocationHead* block = static_cast<FtpLocationHead*>(*variable);
  FtpSession* s = FtpLibSessionOf(block);
  if (!s) return 0;
  InterlockedExchange(&s->closing, 1);
  InterlockedExchange(&s->disconnecting, 1);
  while (s->operations > 0 || s->busy > 0) Sleep(100);
  FtpLibCloseFindWindow(s);
  if (s->control != INVALID_SOCKET) {
    FtpLibCommandOnce(s, "QUIT");
    FtpLibCloseControl(s);
  }
  if (s->data != INVALID_SOCKET) s->data = FtpLibCloseSocket(s, s->data, SD_BOTH);
  if (s->listening != INVALID_SOCKET) s->listening = FtpLibCloseSocket(s, s->listening, SD_BOTH);
  FtpLibCleanup(s->winsockCounter);
  // No timer window exists: time-outs are select deadlines, so no window of
  // the interface thread has to be destroyed from here.
  if (*variable == block) {
    if (B() && B()->onDisconnected) B()->onDisconnected(s, s->block->slot);
    FtpLibFreeCache(s);
    FtpLibFreeNames(s);
    free(s->xfer);
    s->xfer = nullptr;
    if (B() && B()->locationFree)
      *variable = B()->locationFree(block);
    else {
      FtpFree(block);
      *variable = nullptr;
    }
  }
  return 0;
}

namespace {

struct ChangeDirRecord {
  int32_t panel;
  void* block;
  FtpCompletionCallback done;
  char name[262];
};

unsigned __stdcall ChangeDirThread(void* arg) {
  ChangeDirRecord* r = static_cast<ChangeDirRecord*>(arg);
  FtpSession* s = FtpLibSessionOf(r->block);
  s->panel = uint16_t(r->panel);
  char current[262], reselect[262];
  FtpCopy(current, s->site.remoteDir, sizeof(current));
  size_t n = strlen(current);
  if (n > 1 && (current[n - 1] == '/' || current[n - 1] == '\\')) current[n - 1] = 0;
  FtpCopy(reselect, NamePart(current), sizeof(reselect));
  if (strcmp(r->name, "\\") == 0 && strchr(s->site.remoteDir, '/')) FtpCopy(r->name, "/", sizeof(r->name));
  // A relative step starts from the folder the panel shows: a transfer may
  // have left the server in another one.
  bool relative = r->name[0] != '/' && r->name[0] != '\\';
  bool away = !s->serverDir[0] || strcmp(s->serverDir, s->site.remoteDir) != 0;
  int cls = 2;
  if (relative && away && s->site.remoteDir[0]) cls = FtpLibChangeDir(s, s->site.remoteDir);
  if (cls == 2 && FtpLibChangeDir(s, r->name) == 2) {
    char dir[262];
    if (FtpLibPrintDir(s, dir, sizeof(dir)) == 2) {
      FtpLock();
      FtpCopy(s->site.remoteDir, dir, sizeof(s->site.remoteDir));
      s->currentEntry = 0;
      FtpUnlock();
    }
    if (strcmp(r->name, "..") != 0) reselect[0] = 0;
    if (r->done) r->done(r->panel, reselect);
  }
  OperationDone(s);
  FtpFree(r);
  return 0;
}

struct GoToRecord {
  FtpSession* s;
  char file[260];
  char folder[260];
  int32_t panel;
  FtpAttachCallback attach;
  FtpCompletionCallback done;
};

unsigned __stdcall GoToThread(void* arg) {
  GoToRecord* r = static_cast<GoToRecord*>(arg);
  FtpSession* s = r->s;
  if (r->attach) r->attach(r->panel, s->block->slot);
  if (FtpLibChangeDir(s, r->folder) == 2) {
    char dir[262];
    if (FtpLibPrintDir(s, dir, sizeof(dir)) == 2) {
      FtpLock();
      FtpCopy(s->site.remoteDir, dir, sizeof(s->site.remoteDir));
      s->currentEntry = 0;
      FtpUnlock();
      if (r->done) r->done(r->panel, r->file);
    }
  }
  OperationDone(s);
  FtpFree(r);
  if (B() && B()->bringToFront) B()->bringToFront(gFtp.mainWindow);
  return 0;
}

struct RawRecord {
  int32_t owner;
  int32_t panel;
  void* block;
  FtpSession* s;
  char command[1025];
};

unsigned __stdcall RawThread(void* arg) {
  RawRecord* r = static_cast<RawRecord*>(arg);
  FtpSession* s = r->s;
  if (FtpLibCommand(s, "%s", r->command) == 2) {
    s->panel = uint16_t(r->panel);
    FtpLibInvalidate(s, reinterpret_cast<const char*>(-1));
    if (B() && B()->refreshPanel) B()->refreshPanel(r->panel, nullptr);
  }
  OperationDone(s);
  FtpFree(r);
  return 0;
}

bool StartThread(unsigned(__stdcall* fn)(void*), void* arg) {
  uintptr_t t = _beginthreadex(nullptr, 0, fn, arg, 0, nullptr);
  if (!t) return false;
  CloseHandle(HANDLE(t));
  return true;
}

int MakeDirs(FtpSession* s, char* path) {
  int cls = FtpLibCommandArgAlt(s, "MKD", "XMKD", path);
  if (cls == 2) return 0;
  if (s->lastReplyCode != 550 && s->lastReplyCode != 553) return 2;
  char parent[262];
  FtpCopy(parent, path, sizeof(parent));
  char* cut = nullptr;
  for (char* p = parent; *p; p++)
    if (*p == '/' || *p == ':' || *p == '\\') cut = p;
  if (!cut) return 2;
  if (cut > parent && cut[0] != ':' && cut[-1] == ':') cut++;  // keep "X:/" whole
  *cut = 0;
  if (!parent[0] || strcmp(parent, path) == 0) return 2;
  int r = MakeDirs(s, parent);
  if (r != 0) return r;
  return FtpLibCommandArgAlt(s, "MKD", "XMKD", path) == 2 ? 0 : 2;
}

int Retrieve(FtpCopyItem* item, FtpSession* s, FtpAskCallback ask) {
  JobRecord* job = item->job;
  s->job = job;
  // A stop asked for an earlier transfer ends with it: this one may log in
  // again when the connection drops.
  InterlockedExchange(&s->userAbort, 0);
  if (!s->disconnecting) InterlockedExchange(&s->closing, 0);
  // A fresh download goes to a side file first: a failed or cancelled one
  // never leaves a cut file under the target's name, and the side file is
  // where a later attempt resumes.
  char part[300];
  snprintf(part, sizeof(part), "%s.part", item->target);
  const bool sideFile = strlen(part) < 260;
  const char* writePath = sideFile ? part : item->target;
  uint64_t resume = 0, local = 0;
  if (LocalSize(item->target, &local)) {
    resume = (local >= 1025 && local < item->sourceSize) ? local : 0;
    if (ask) ask(item, resume);
    if (job && job->state != 0 && job->state != 5) {
      s->job = nullptr;
      InterlockedExchange(&s->abortFlag, 0);
      return 0;
    }
    if (resume) {
      // Resuming continues a copy of the target in the side file: the
      // target itself is never written until the whole file is there.
      if (sideFile && !CopyFileA(item->target, part, FALSE)) resume = 0;
      if (!sideFile) writePath = item->target;
    }
  } else if (sideFile && LocalSize(part, &local) && local >= 1025 && local < item->sourceSize) {
    resume = local;
  }
  char cmd[300];
  snprintf(cmd, sizeof(cmd), "RETR %s", item->source);
  char type = TypeFor(item->source);
  int cls = FtpLibDataCommand(s, cmd, writePath, nullptr, nullptr, resume, type);
  if (cls != 2 && s->resumeMismatch && !s->userAbort) {
    InterlockedExchange(&s->abortFlag, 0);
    if (sideFile) writePath = part;
    cls = FtpLibDataCommand(s, cmd, writePath, nullptr, nullptr, 0, type);
  }
  // A dropped connection: log in again and go on from what arrived.
  for (int attempt = 0; cls != 2 && attempt < 3 && !s->userAbort && !s->resumeMismatch &&
                        s->control == INVALID_SOCKET && !s->disconnecting;
       attempt++) {
    FtpLibReconnect(s);
    if (s->control == INVALID_SOCKET) break;
    uint64_t have = 0;
    LocalSize(writePath, &have);
    resume = (have >= 1025 && have < item->sourceSize) ? have : 0;
    if (!resume && sideFile) writePath = part;
    cls = FtpLibDataCommand(s, cmd, writePath, nullptr, nullptr, resume, type);
  }
  // A binary file shorter than the listing said is cut, whatever the server
  // answered: the side file stays for a later resume, the target untouched.
  uint64_t arrived = 0;
  if (cls == 2 && type == 'I' && LocalSize(writePath, &arrived) && arrived < item->sourceSize) {
    snprintf(s->reply, sizeof(s->reply), "%s: %llu of %llu bytes arrived", item->source, (unsigned long long)arrived,
             (unsigned long long)item->sourceSize);
    FtpLog(s, "%s", s->reply);
    cls = 5;
  }
  if (cls == 2 && writePath == part && !MoveFileExA(part, item->target, MOVEFILE_REPLACE_EXISTING)) {
    snprintf(s->reply, sizeof(s->reply), "Cannot replace %s (error %lu)", item->target, GetLastError());
    cls = 5;
  }
  if (cls != 2) {
    if (job) SetLocationText(job->sourceLocation, s->reply);
    s->job = nullptr;
    InterlockedExchange(&s->abortFlag, 0);
    return 1;
  }
  void* h = nullptr;
  if (B()->fileOpen(item->target, &h, GENERIC_WRITE) == 0 && h) {
    B()->fileSetDosTime(h, item->sourceDate, item->sourceTime);
    B()->fileClose(h);
  }
  s->job = nullptr;
  InterlockedExchange(&s->abortFlag, 0);
  return 0;
}

// Records of the listing the host passes for an upload's folder.
#pragma pack(push, 1)
struct TargetEntry {
  uint16_t length;
  uint16_t dosDate, dosTime;
  uint16_t reserved;
  uint64_t size;
  uint16_t attributes;
  uint8_t pad[6];
  char name[1];
};
#pragma pack(pop)
static_assert(offsetof(TargetEntry, name) == 24, "name at 24");

int Store(FtpCopyItem* item, FtpSession* s, FtpAskCallback ask, const uint8_t* listing) {
  JobRecord* job = item->job;
  const char* name = NamePart(item->target);
  s->job = job;
  InterlockedExchange(&s->userAbort, 0);
  if (!s->disconnecting) InterlockedExchange(&s->closing, 0);
  if (listing) {
    for (const uint8_t* p = listing;;) {
      const TargetEntry* e = reinterpret_cast<const TargetEntry*>(p);
      if (e->length == 0) break;
      if (!(e->attributes & 0x10) && _stricmp(NamePart(e->name), name) == 0) {
        item->targetDate = e->dosDate;
        item->targetTime = e->dosTime;
        item->targetSize = e->size;
        if (ask) ask(item, 0);
        if (job && job->state != 0 && job->state != 5) {
          s->job = nullptr;
          InterlockedExchange(&s->abortFlag, 0);
          return 0;
        }
        break;
      }
      p += e->length;
    }
  }
  // Sent under a side name and renamed at the end, so that a cut upload
  // never stands under the real name on the server.
  char temp[300];
  snprintf(temp, sizeof(temp), "%s.part", name);
  char cmd[320];
  snprintf(cmd, sizeof(cmd), "STOR %s", temp);
  int r = FtpLibStoreCommand(s, cmd, item, TypeFor(item->target));
  if (r == 0 || r == 2) {
    int cls = FtpLibCommand(s, "RNFR %s", temp);
    if (cls == 3) cls = FtpLibCommand(s, "RNTO %s", name);
    if (cls == 5) {
      // Servers that refuse to rename onto an existing name.
      FtpLibCommand(s, "DELE %s", name);
      cls = FtpLibCommand(s, "RNFR %s", temp);
      if (cls == 3) cls = FtpLibCommand(s, "RNTO %s", name);
    }
    r = cls == 2 ? 0 : 1;
  } else {
    char saved[4096];
    FtpCopy(saved, s->reply, sizeof(saved));
    if (s->control != INVALID_SOCKET) FtpLibCommand(s, "DELE %s", temp);
    FtpCopy(s->reply, saved, sizeof(s->reply));
    r = 1;
  }
  if (r != 0 && job) SetLocationText(job->targetLocation, s->reply);
  s->job = nullptr;
  InterlockedExchange(&s->abortFlag, 0);
  return r;
}

int ServerCopy(FtpCopyItem* item, FtpSession* src, FtpSession* dst) {
  JobRecord* job = item->job;
  src->job = dst->job = job;
  InterlockedExchange(&src->abortFlag, 0);
  InterlockedExchange(&dst->abortFlag, 0);
  src->lastReplyCode = dst->lastReplyCode = 0;
  auto done = [&](int r) {
    src->job = dst->job = nullptr;
    return r;
  };
  if (src->control == INVALID_SOCKET || dst->control == INVALID_SOCKET) return done(-1);
  if (src == dst) {
    const char* t = "FxP between same hosts not supported.";
    FtpLog(src, "%s", t);
    if (job) SetLocationText(job->sourceLocation, t);
    return done(-1);
  }
  if (!FtpBusyEnter(src)) {
    FtpLog(src, "Command in progress, ignored.");
    return done(-1);
  }
  if (!FtpBusyEnter(dst)) {
    FtpBusyLeave(src);
    FtpLog(dst, "Command in progress, ignored.");
    return done(-1);
  }
  char type = TypeFor(item->source);
  FtpLibSetType(src, type);
  FtpLibSetType(dst, type);
  int srcCls = 0, dstCls = 0;
  uint8_t ip[4];
  uint16_t port;
  if (FtpLibCommand(src, "PASV") == 2 && FtpParsePasv(src->reply, ip, &port)) {
    if (FtpLibCommand(dst, "PORT %d,%d,%d,%d,%d,%d", ip[0], ip[1], ip[2], ip[3], port >> 8, port & 0xFF) == 2) {
      char cmd[300];
      snprintf(cmd, sizeof(cmd), "STOR %s", NamePart(item->target));
      dstCls = FtpLibCommandOnce(dst, cmd);
      if (dstCls == 1) {
        snprintf(cmd, sizeof(cmd), "RETR %s", NamePart(item->source));
        srcCls = FtpLibCommandOnce(src, cmd);
        if (srcCls == 1) {
          dstCls = FtpLibReadReply(dst, false, 0);
          srcCls = FtpLibReadReply(src, false, 0);
        } else {
          InterlockedExchange(&dst->abortFlag, 1);
          FtpLibAbortAndSync(dst);
          dstCls = 5;
        }
      }
    } else {
      dstCls = dst->lastReplyCode / 100;
    }
  } else {
    srcCls = src->lastReplyCode / 100;
  }
  FtpBusyLeave(dst);
  FtpBusyLeave(src);
  InterlockedExchange(&dst->abortFlag, 0);
  if (srcCls != 2 && job) SetLocationText(job->sourceLocation, src->reply);
  if (dstCls == 2) return done(srcCls == 2 ? 0 : -1);
  if (job) SetLocationText(job->targetLocation, dst->reply);
  return done(-1);
}

int Chmod(JobRecord* job, uint32_t current) {
  if (!job) return -1;
  FtpSession* s = FtpLibSessionOf(job->sourceLocation);
  if (!s) return -1;
  int32_t next = FtpChmodTarget(current, job->itemInfo & 0xFFFF, job->itemCount & 0xFFFF);
  if (next < 0) return -1;
  if (job->dialog) SendMessageA(job->dialog, WM_USER + 1, 0, LPARAM(job->target));
  char octal[8];
  snprintf(octal, sizeof(octal), "%03o", unsigned(FtpModeToOctal(uint32_t(next))));
  int cls = FtpLibCommand(s, "%s %s %s %s", "SITE", "chmod", octal, job->target);
  if (cls == 2) {
    job->filesDone++;
    return 0;
  }
  job->state = 2;
  return cls;
}

}  // namespace

int32_t FtpCmdOps(intptr_t* r) {
  switch (r[0]) {
    case kFtpChangeDirThread: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[3]));
      const char* name = reinterpret_cast<const char*>(r[1]);
      if (!s || !name) return -1;
      ChangeDirRecord* rec = static_cast<ChangeDirRecord*>(FtpAlloc(sizeof(ChangeDirRecord)));
      if (!rec) return -1;
      rec->panel = r[2] & 0xFFFF;
      rec->block = reinterpret_cast<void*>(r[3]);
      rec->done = reinterpret_cast<FtpCompletionCallback>(r[4]);
      FtpCopy(rec->name, name, sizeof(rec->name));
      InterlockedIncrement(&s->operations);
      if (!StartThread(&ChangeDirThread, rec)) {
        OperationDone(s);
        FtpFree(rec);
      }
      return -1;
    }
    case kFtpChangeDirSync: {
      const char* path = reinterpret_cast<const char*>(r[1]);
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      char* out = reinterpret_cast<char*>(r[3]);
      if (!s) return -1;
      if (!path || !path[0]) return 0;
      int cls = FtpLibChangeDir(s, path);
      if (cls != 2) return cls;
      char dir[262];
      cls = FtpLibPrintDir(s, dir, sizeof(dir));
      if (cls != 2) return cls;
      if (out) FtpCopy(out, dir, 260);
      return 0;
    }
    case kFtpDelete: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      if (!s) return -1;
      int cls = FtpLibCommand(s, "%s %s", "DELE", reinterpret_cast<const char*>(r[1]));
      InterlockedExchange(&s->abortFlag, 0);
      return cls == 2 ? 0 : cls;
    }
    case kFtpRemoveDir: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      if (!s) return -1;
      const char* name = reinterpret_cast<const char*>(r[1]);
      int cls = FtpLibCommandArgAlt(s, "RMD", "XRMD", name);
      if (cls == 5) cls = FtpLibCommand(s, "%s %s", "DELE", name);  // a link to a folder
      InterlockedExchange(&s->abortFlag, 0);
      return cls == 2 ? 0 : cls;
    }
    case kFtpMakeDirs: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      const char* path = reinterpret_cast<const char*>(r[1]);
      if (!s || !path) return -1;
      InterlockedIncrement(&s->operations);
      char p[262];
      FtpCopy(p, path, sizeof(p));
      for (char* c = p; *c; c++)
        if (*c == '\\') *c = '/';
      int res = MakeDirs(s, p);
      InterlockedExchange(&s->abortFlag, 0);
      OperationDone(s);
      return res;
    }
    case kFtpChmod:
      return Chmod(reinterpret_cast<JobRecord*>(r[1]), uint32_t(r[2] & 0xFFFF));
    case kFtpRename: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[3]));
      if (!s) return -1;
      int cls = FtpLibCommand(s, "%s %s", "RNFR", reinterpret_cast<const char*>(r[1]));
      if (cls != 3) return cls;
      cls = FtpLibCommand(s, "%s %s", "RNTO", reinterpret_cast<const char*>(r[2]));
      return cls == 2 ? 0 : cls;
    }
    case kFtpServerCopy: {
      FtpCopyItem* item = reinterpret_cast<FtpCopyItem*>(r[1]);
      FtpSession* src = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      FtpSession* dst = FtpLibSessionOf(reinterpret_cast<void*>(r[3]));
      if (!item || !src || !dst) return -1;
      return ServerCopy(item, src, dst);
    }
    case kFtpRetrieve: {
      FtpCopyItem* item = reinterpret_cast<FtpCopyItem*>(r[1]);
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      if (!item || !s || !B()) return -1;
      return Retrieve(item, s, reinterpret_cast<FtpAskCallback>(r[3]));
    }
    case kFtpStore: {
      FtpCopyItem* item = reinterpret_cast<FtpCopyItem*>(r[1]);
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      if (!item || !s || !B()) return -1;
      return Store(item, s, reinterpret_cast<FtpAskCallback>(r[3]), reinterpret_cast<const uint8_t*>(r[4]));
    }
    case kFtpAbort: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[1]));
      if (s && !s->abortFlag) {
        InterlockedExchange(&s->closing, 1);
        InterlockedExchange(&s->userAbort, 1);
        InterlockedExchange(&s->abortFlag, 1);
      }
      return -1;
    }
    case kFtpGoTo: {
      FtpSession* s = reinterpret_cast<FtpSession*>(r[1]);
      if (!s) return -1;
      GoToRecord* rec = static_cast<GoToRecord*>(FtpAlloc(sizeof(GoToRecord)));
      if (!rec) return -1;
      rec->s = s;
      FtpCopy(rec->file, reinterpret_cast<const char*>(r[2]), sizeof(rec->file));
      FtpCopy(rec->folder, reinterpret_cast<const char*>(r[3]), sizeof(rec->folder));
      rec->panel = r[4] & 0xFFFF;
      rec->attach = reinterpret_cast<FtpAttachCallback>(r[5]);
      rec->done = reinterpret_cast<FtpCompletionCallback>(r[6]);
      InterlockedIncrement(&s->operations);
      if (!StartThread(&GoToThread, rec)) {
        OperationDone(s);
        FtpFree(rec);
      }
      return -1;
    }
    case kFtpRaw: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      const char* text = reinterpret_cast<const char*>(r[3]);
      if (!s || !text) return -1;
      InterlockedIncrement(&s->operations);
      RawRecord* rec = static_cast<RawRecord*>(FtpAlloc(sizeof(RawRecord)));
      if (!rec) {
        OperationDone(s);
        return -1;
      }
      rec->panel = r[4] & 0xFFFF;
      rec->block = reinterpret_cast<void*>(r[2]);
      rec->s = s;
      FtpCopy(rec->command, text, sizeof(rec->command));
      if (!StartThread(&RawThread, rec)) {
        OperationDone(s);
        FtpFree(rec);
      }
      return -1;
    }
  }
  return -1;
}
