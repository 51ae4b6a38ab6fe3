#include "FtpSites.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kSection[] = "FTP";
const char kBackup[] = "Bak";
const uint32_t kKeyFallback = 0x5A17C3E9u;
const uint32_t kKeyAdd = 0x1F3D5B79u;

void KeyName(char* out, char letter, int number) { snprintf(out, 16, "%c%d", letter, number); }

void GetKey(const FtpIni& ini, const char* section, char letter, int number, char* buf, uint32_t size) {
  char key[16];
  KeyName(key, letter, number);
  buf[0] = 0;
  ini.get(ini.ctx, section, key, "", buf, size);
}

void PutKey(const FtpIni& ini, const char* section, char letter, int number, const char* value) {
  char key[16];
  KeyName(key, letter, number);
  ini.put(ini.ctx, section, key, value);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool FtpCopyText(char* dst, size_t size, const char* src) {
  if (size == 0) return false;
  size_t n = src ? strlen(src) : 0;
  bool fits = n < size;
  if (!fits) n = size - 1;
  if (n) memcpy(dst, src, n);
  dst[n] = 0;
  return fits;
}

bool FtpScramblePassword(const char* plain, uint32_t key, char* out, size_t outSize) {
  size_t len = strlen(plain);
  size_t words = (len + 3) / 4;
  if (outSize == 0) return false;
  out[0] = 0;
  if (words * 8 + 1 > outSize) return false;
  char* w = out;
  for (size_t i = 0; i < words; i++) {
    uint32_t v = 0;
    for (size_t b = 0; b < 4; b++) {
      size_t at = i * 4 + b;
      uint32_t byte = at < len ? (unsigned char)plain[at] : 0;
      v |= byte << (8 * b);
    }
    v += key;
    snprintf(w, 9, "%08X", (unsigned)v);
    w += 8;
  }
  *w = 0;
  return true;
}

void FtpUnscramblePassword(const char* hex, uint32_t key, char* out, size_t outSize) {
  if (outSize == 0) return;
  size_t o = 0;
  for (const char* p = hex; o + 1 < outSize; p += 8) {
    uint32_t v = 0;
    int i = 0;
    for (; i < 8; i++) {
      int d = HexDigit(p[i]);
      if (d < 0) break;
      v = (v << 4) | uint32_t(d);
    }
    if (i < 8) break;
    v -= key;
    for (int b = 0; b < 4 && o + 1 < outSize; b++) out[o++] = char((v >> (8 * b)) & 0xFF);
  }
  out[o] = 0;
}

uint32_t FtpPasswordKey(bool serialKnown, uint32_t serial) {
  return (serialKnown ? serial : kKeyFallback) + kKeyAdd;
}

int FtpSiteCount(const FtpIni& ini) {
  char name[64];
  int n = 0;
  for (;;) {
    GetKey(ini, kSection, 'M', n + 1, name, sizeof(name));
    if (!name[0]) return n;
    n++;
  }
}

void FtpSiteRead(const FtpIni& ini, int number, uint32_t key, FtpStoredSite* site) {
  memset(site, 0, sizeof(*site));
  char buf[600];
  GetKey(ini, kSection, 'O', number, buf, sizeof(buf));
  site->options = atoi(buf);
  GetKey(ini, kSection, 'M', number, site->name, sizeof(site->name));
  GetKey(ini, kSection, 'H', number, site->host, sizeof(site->host));
  GetKey(ini, kSection, 'U', number, site->user, sizeof(site->user));
  GetKey(ini, kSection, 'D', number, site->directory, sizeof(site->directory));
  GetKey(ini, kSection, 'W', number, buf, sizeof(buf));
  if (site->options & kSiteAnonymous)
    FtpCopyText(site->password, sizeof(site->password), buf);
  else
    FtpUnscramblePassword(buf, key, site->password, sizeof(site->password));
  GetKey(ini, kSection, 'G', number, site->fwHost, sizeof(site->fwHost));
  GetKey(ini, kSection, 'N', number, site->fwUser, sizeof(site->fwUser));
  GetKey(ini, kSection, 'P', number, buf, sizeof(buf));
  FtpUnscramblePassword(buf, key, site->fwPassword, sizeof(site->fwPassword));
  GetKey(ini, kSection, 'T', number, buf, sizeof(buf));
  site->fwType = atoi(buf);
}

void FtpSiteWrite(const FtpIni& ini, int number, uint32_t key, const FtpStoredSite& site) {
  char buf[200];
  PutKey(ini, kSection, 'M', number, site.name);
  PutKey(ini, kSection, 'H', number, site.host);
  PutKey(ini, kSection, 'U', number, site.user);
  if (site.options & kSiteStorePassword) {
    if (site.options & kSiteAnonymous)
      PutKey(ini, kSection, 'W', number, site.password);
    else if (FtpScramblePassword(site.password, key, buf, sizeof(buf)))
      PutKey(ini, kSection, 'W', number, buf);
  }
  PutKey(ini, kSection, 'D', number, site.directory);
  snprintf(buf, sizeof(buf), "%ld", long(site.options));
  PutKey(ini, kSection, 'O', number, buf);
}

void FtpSiteWriteFirewall(const FtpIni& ini, int number, uint32_t key, const FtpStoredSite& site) {
  char buf[200];
  PutKey(ini, kSection, 'G', number, site.fwHost);
  PutKey(ini, kSection, 'N', number, site.fwUser);
  if (FtpScramblePassword(site.fwPassword, key, buf, sizeof(buf))) PutKey(ini, kSection, 'P', number, buf);
  if (site.fwType >= 1 && site.fwType <= 6) {
    snprintf(buf, sizeof(buf), "%ld", long(site.fwType));
    PutKey(ini, kSection, 'T', number, buf);
  }
}

char* FtpSitesSnapshot(const FtpIni& ini) {
  // GetPrivateProfileSection reports a cut text as size-2: grow until it fits.
  uint32_t size = 32768;
  for (;;) {
    char* buf = (char*)calloc(size, 1);
    if (!buf) return nullptr;
    uint32_t n = ini.getSection(ini.ctx, kSection, buf, size);
    if (n + 2 < size) return buf;
    free(buf);
    if (size > (1u << 28)) return nullptr;
    size *= 2;
  }
}

void FtpSitesRestore(const FtpIni& ini, const char* snapshot) {
  if (snapshot) ini.putSection(ini.ctx, kSection, snapshot);
}

void FtpSitesRenumber(const FtpIni& ini, const int* oldNumbers, int count) {
  char* copy = FtpSitesSnapshot(ini);
  if (!copy) return;
  ini.putSection(ini.ctx, kBackup, copy);
  free(copy);
  ini.putSection(ini.ctx, kSection, "\0");
  static const char kLetters[] = "MHUWDOGNPT";
  char buf[600];
  int k = 1;
  for (int i = 0; i < count; i++) {
    int old = oldNumbers[i] < 0 ? 1 : oldNumbers[i];
    GetKey(ini, kBackup, 'M', old, buf, sizeof(buf));
    if (!buf[0]) continue;
    GetKey(ini, kBackup, 'O', old, buf, sizeof(buf));
    int options = atoi(buf);
    for (const char* l = kLetters; *l; l++) {
      if (*l == 'W' && !(options & kSiteStorePassword)) continue;
      GetKey(ini, kBackup, *l, old, buf, sizeof(buf));
      if (buf[0]) PutKey(ini, kSection, *l, k, buf);
    }
    k++;
  }
  ini.putSection(ini.ctx, kBackup, "\0");
}
