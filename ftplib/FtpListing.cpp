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
  const char* linkFiles;
  uint32_t linkFilesLen;
};

// The size of the file a link leads to, when it leads to one.
bool LinkedFile(const char* table, uint32_t len, const char* name, uint64_t* size) {
  for (uint32_t at = 0; at < len;) {
    const char* n = table + at;
    const char* digits = n + strlen(n) + 1;
    if (strcmp(n, name) == 0) {
      *size = _strtoui64(digits, nullptr, 10);
      return true;
    }
    at = uint32_t(digits - table) + uint32_t(strlen(digits)) + 1;
  }
  return false;
}

void Sink(const FtpListEntry& e, void* ctx) {
  SinkContext* c = static_cast<SinkContext*>(ctx);
  uint64_t size = e.size;
  uint32_t attributes = e.attributes;
  // A link to a file is shown as the file it leads to (still marked as a
  // link); any other link stays one entry that no walk enters.
  if ((attributes & kFtpModeLink) && LinkedFile(c->linkFiles, c->linkFilesLen, e.name, &size))
    attributes &= ~uint32_t(kFtpAttrDirectory);
  c->callback(e.name, e.dosDate, e.dosTime, attributes, uint32_t(size), c->user, uint32_t(size >> 32));
}

struct LinkNames {
  char* names;  // each terminated
  uint32_t len, cap;
  bool full;
};

void CollectLink(const FtpListEntry& e, void* ctx) {
  LinkNames* l = static_cast<LinkNames*>(ctx);
  if (!(e.attributes & kFtpModeLink) || l->full) return;
  uint32_t n = uint32_t(strlen(e.name)) + 1;
  if (l->len + n > l->cap) {
    uint32_t cap = l->cap ? l->cap * 2 : 1024;
    while (cap < l->len + n) cap *= 2;
    char* grown = static_cast<char*>(realloc(l->names, cap));
    if (!grown) {
      l->full = true;
      return;
    }
    l->names = grown;
    l->cap = cap;
  }
  memcpy(l->names + l->len, e.name, n);
  l->len += n;
}

// A listing says only that an entry is a link: SIZE asks the server
// whether it leads to a file (a folder has no size). Links the server
// will not size stay links that may be folders. Returns the table for the
// cache entry, or null when no link leads to a file.
char* ResolveLinks(FtpSession* s, const char* path, bool named, const char* text, uint32_t* tableLen) {
  *tableLen = 0;
  LinkNames links = {};
  SYSTEMTIME st;
  GetLocalTime(&st);
  FtpToday today = {st.wYear, st.wMonth, st.wDay};
  int32_t type = s->systemType;
  if (type == kSysMvs || type == kSysMvsMembers) return nullptr;
  FtpParseListing(path, text, &type, today, &CollectLink, &links);
  if (!links.len) return nullptr;
  char* table = nullptr;
  uint32_t len = 0, cap = 0;
  // SIZE is refused in ASCII mode by some servers.
  FtpLibSetType(s, 'I');
  for (uint32_t at = 0; at < links.len && s->control != INVALID_SOCKET && !s->abortFlag;) {
    const char* name = links.names + at;
    at += uint32_t(strlen(name)) + 1;
    char target[600];
    size_t pl = strlen(path);
    if (named)
      snprintf(target, sizeof(target), "%s%s%s", path, pl && path[pl - 1] == '/' ? "" : "/", name);
    else
      FtpCopy(target, name, sizeof(target));
    if (FtpLibCommand(s, "%s %s", "SIZE", target) != 2 || s->lastReplyCode != 213) continue;
    const char* digits = s->reply + 4;
    if (*digits < '0' || *digits > '9') continue;
    char num[24];
    FtpU64Text(_strtoui64(digits, nullptr, 10), num);
    uint32_t need = uint32_t(strlen(name) + strlen(num) + 2);
    if (len + need > cap) {
      uint32_t c = cap ? cap * 2 : 256;
      while (c < len + need) c *= 2;
      char* grown = static_cast<char*>(realloc(table, c));
      if (!grown) break;
      table = grown;
      cap = c;
    }
    memcpy(table + len, name, strlen(name) + 1);
    len += uint32_t(strlen(name)) + 1;
    memcpy(table + len, num, strlen(num) + 1);
    len += uint32_t(strlen(num)) + 1;
  }
  free(links.names);
  *tableLen = len;
  return table;
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
  uint32_t linkLen = 0;
  char* links = cls == 2 && text ? ResolveLinks(s, p, other && p[0], text, &linkLen) : nullptr;
  char* old = nullptr;
  char* oldLinks = nullptr;
  FtpLock();
  if (cls == 2 && text) {
    int idx = FindEntry(s, p);
    if (!idx) idx = AddEntry(s, p);
    if (idx) {
      FtpCacheEntry& e = s->cache[idx - 1];
      old = e.text;
      e.text = text;
      text = nullptr;
      oldLinks = e.linkFiles;
      e.linkFiles = links;
      e.linkFilesLen = linkLen;
      links = nullptr;
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
  free(oldLinks);
  free(links);
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
  for (int i = 0; i < s->cacheCount; i++) {
    free(s->cache[i].text);
    free(s->cache[i].linkFiles);
  }
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
      SinkContext ctx = {cb, reinterpret_cast<void*>(r[4]), nullptr, 0};
      FtpLock();
      const char* text = nullptr;
      const char* keyPath = path ? path : s->site.remoteDir;
      if (s->currentEntry > 0 && s->currentEntry <= s->cacheCount) {
        text = s->cache[s->currentEntry - 1].text;
        keyPath = s->cache[s->currentEntry - 1].path;
        ctx.linkFiles = s->cache[s->currentEntry - 1].linkFiles;
        ctx.linkFilesLen = s->cache[s->currentEntry - 1].linkFilesLen;
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
