// Remote listings: LIST into memory, one cached text per remote path, parsed
// under the host's lock into entries for the host's callback.
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpListParse.h"

namespace {

int FindEntry(FtpSession* s, const char* path) {
  for (int i = 0; i < s->cacheCount; i++)
    if (_stricmp(s->cache[i].path, path) == 0) return i + 1;
  return 0;
}

int AddEntry(FtpSession* s, const char* path) {
  if (s->cacheCount == s->cacheCapacity) {
    int cap = s->cacheCapacity ? s->cacheCapacity * 2 : 16;
    FtpCacheEntry* grown = static_cast<FtpCacheEntry*>(realloc(s->cache, sizeof(FtpCacheEntry) * size_t(cap)));
    if (!grown) return 0;
    s->cache = grown;
    s->cacheCapacity = cap;
  }
  FtpCacheEntry& e = s->cache[s->cacheCount];
  memset(&e, 0, sizeof(e));
  FtpCopy(e.path, path, sizeof(e.path));
  return ++s->cacheCount;
}

struct SinkContext {
  FtpEntryCallback callback;
  void* user;
};

void Sink(const FtpListEntry& e, void* ctx) {
  SinkContext* c = static_cast<SinkContext*>(ctx);
  c->callback(e.name, e.dosDate, e.dosTime, e.attributes, uint32_t(e.size), c->user, uint32_t(e.size >> 32));
}

}  // namespace

int FtpLibListDirectory(const char* path, FtpSession* s, bool showHidden) {
  char p[262];
  FtpCopy(p, path ? path : s->site.remoteDir, sizeof(p));
  FtpLock();
  if (s->pendingPath[0]) {
    if (_stricmp(s->pendingPath, p) == 0) {
      FtpUnlock();
      return 2;
    }
    s->pendingPath[0] = 0;
  }
  FtpCopy(s->pendingPath, p, sizeof(s->pendingPath));
  int found = FindEntry(s, p);
  if (found && s->cache[found - 1].valid) {
    s->currentEntry = found;
    s->pendingPath[0] = 0;
    FtpUnlock();
    return 2;
  }
  FtpUnlock();

  // LIST names the folder unless it is the server's working folder, so that
  // the text cached under a path is the listing of that path (a synchronous
  // change of folder moves the server without moving the session's folder).
  // Options and a path together confuse many servers: a named folder goes
  // alone.
  char cmd[300];
  bool other = !s->serverDir[0] || strcmp(p, s->serverDir) != 0;
  if (other && p[0])
    snprintf(cmd, sizeof(cmd), "LIST %s", p);
  else
    snprintf(cmd, sizeof(cmd), "LIST%s", showHidden ? " -la" : "");
  char* text = nullptr;
  uint32_t len = 0;
  int cls = FtpLibDataCommand(s, cmd, nullptr, &text, &len, 0, 'A');
  char* old = nullptr;
  FtpLock();
  if (cls == 2 && text) {
    int idx = FindEntry(s, p);
    if (!idx) idx = AddEntry(s, p);
    if (idx) {
      FtpCacheEntry& e = s->cache[idx - 1];
      old = e.text;
      e.text = text;
      text = nullptr;
      e.valid = idx;
      s->currentEntry = idx;
    }
  }
  s->pendingPath[0] = 0;
  FtpUnlock();
  // The old text is freed only after the swap under the lock: a parse on
  // another thread holds the lock while it reads.
  free(old);
  free(text);
  return cls;
}

void FtpLibInvalidate(FtpSession* s, const char* path) {
  FtpLock();
  if (!path) {
    if (s->currentEntry > 0 && s->currentEntry <= s->cacheCount) s->cache[s->currentEntry - 1].valid = 0;
  } else if (path == reinterpret_cast<const char*>(-1)) {
    for (int i = 0; i < s->cacheCount; i++) s->cache[i].valid = 0;
  } else {
    int i = FindEntry(s, path);
    if (i) s->cache[i - 1].valid = 0;
  }
  FtpUnlock();
}

void FtpLibFreeCache(FtpSession* s) {
  FtpLock();
  for (int i = 0; i < s->cacheCount; i++) free(s->cache[i].text);
  free(s->cache);
  s->cache = nullptr;
  s->cacheCount = s->cacheCapacity = 0;
  s->currentEntry = 0;
  FtpUnlock();
}

int32_t FtpCmdList(intptr_t* r) {
  switch (r[0]) {
    case kFtpList: {
      const char* path = reinterpret_cast<const char*>(r[1]);
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[2]));
      FtpEntryCallback cb = reinterpret_cast<FtpEntryCallback>(r[3]);
      if (!s || !cb) return -1;
      if (FtpLibListDirectory(path, s, r[5] != 0) != 2) return -1;
      SYSTEMTIME st;
      GetLocalTime(&st);
      FtpToday today = {st.wYear, st.wMonth, st.wDay};
      SinkContext ctx = {cb, reinterpret_cast<void*>(r[4])};
      FtpLock();
      const char* text = nullptr;
      const char* keyPath = path ? path : s->site.remoteDir;
      if (s->currentEntry > 0 && s->currentEntry <= s->cacheCount) {
        text = s->cache[s->currentEntry - 1].text;
        keyPath = s->cache[s->currentEntry - 1].path;
      }
      int32_t type = s->systemType;
      FtpParseListing(keyPath, text, &type, today, &Sink, &ctx);
      s->systemType = type;
      FtpUnlock();
      return 0;
    }
    case kFtpInvalidatePath: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[1]));
      if (s) FtpLibInvalidate(s, reinterpret_cast<const char*>(r[2]));
      return -1;
    }
    case kFtpInvalidateAll: {
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[1]));
      if (s) FtpLibInvalidate(s, reinterpret_cast<const char*>(-1));
      return -1;
    }
    case kFtpSaveListing: {
      HWND owner = reinterpret_cast<HWND>(r[1]);
      void* file = reinterpret_cast<void*>(r[2]);
      FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[3]));
      if (!s || !file || !gFtp.hostEx || !gFtp.hostEx->fileWrite) return -1;
      FtpLock();
      if (s->currentEntry > 0 && s->currentEntry <= s->cacheCount && s->cache[s->currentEntry - 1].text) {
        const char* t = s->cache[s->currentEntry - 1].text;
        gFtp.hostEx->fileWrite(owner, file, t, uint32_t(strlen(t)));
      }
      FtpUnlock();
      return -1;
    }
  }
  return -1;
}
