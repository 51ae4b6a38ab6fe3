// Names on a UTF-8 connection. The host and its panels work in the ANSI code
// page; a server that speaks UTF-8 (FEAT lists it, or it accepts OPTS UTF8
// ON) gets its names back in UTF-8. A name with a character the code page
// lacks shows with "?" in its place; no command ever names it, since a
// "?" sent back would name another file or none.
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpListParse.h"

namespace {

const uint32_t kLossyListMax = 64 * 1024;

bool IsAscii(const char* p, size_t len) {
  for (size_t i = 0; i < len; i++)
    if ((unsigned char)p[i] >= 0x80) return false;
  return true;
}

// One piece of server text (no line end inside) into the code page. Writes
// at most `len` bytes: no UTF-8 sequence becomes longer in any ANSI code
// page, and an invalid byte becomes one "?".
uint32_t PieceFromUtf8(const char* in, uint32_t len, char* out, bool* lossy) {
  if (IsAscii(in, len)) {
    memcpy(out, in, len);
    return len;
  }
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in, int(len), nullptr, 0);
  WCHAR* w = wide > 0 ? static_cast<WCHAR*>(malloc(sizeof(WCHAR) * size_t(wide))) : nullptr;
  if (w) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in, int(len), w, wide);
  uint32_t n = 0;
  if (w) {
    BOOL usedDefault = FALSE;
    int got = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w, wide, out, int(len), "?", &usedDefault);
    if (got > 0) n = uint32_t(got);
    // A best-fit mapping ("a" for "a macron") would name another file: only
    // what comes back to the same characters counts as the name.
    bool same = got > 0 && !usedDefault;
    if (same) {
      int back = MultiByteToWideChar(CP_ACP, 0, out, got, nullptr, 0);
      WCHAR* b = back == wide ? static_cast<WCHAR*>(malloc(sizeof(WCHAR) * size_t(back))) : nullptr;
      same = b && MultiByteToWideChar(CP_ACP, 0, out, got, b, back) == back &&
             memcmp(b, w, sizeof(WCHAR) * size_t(wide)) == 0;
      free(b);
    }
    if (!same) *lossy = true;
    free(w);
  }
  if (n == 0) {
    // Not UTF-8 at all: the bytes the server has cannot be named back.
    *lossy = true;
    for (uint32_t i = 0; i < len; i++) out[i] = (unsigned char)in[i] < 0x80 ? in[i] : '?';
    n = len;
  }
  return n;
}

void AddLossyName(FtpSession* s, const char* name) {
  size_t n = strlen(name) + 1;
  for (uint32_t at = 0; at < s->lossyLen; at += uint32_t(strlen(s->lossyNames + at)) + 1)
    if (strcmp(s->lossyNames + at, name) == 0) return;
  if (s->lossyLen + n > kLossyListMax) {
    s->lossyOverflow = true;
    return;
  }
  if (s->lossyLen + n > s->lossyCap) {
    uint32_t cap = s->lossyCap ? s->lossyCap : 1024;
    while (cap < s->lossyLen + n) cap *= 2;
    char* grown = static_cast<char*>(realloc(s->lossyNames, cap));
    if (!grown) {
      s->lossyOverflow = true;
      return;
    }
    s->lossyNames = grown;
    s->lossyCap = cap;
  }
  memcpy(s->lossyNames + s->lossyLen, name, n);
  s->lossyLen += uint32_t(n);
  FtpLog(s, "This name has characters the system's code page cannot show: %s", name);
}

void LossySink(const FtpListEntry& e, void* user) {
  if (strcmp(e.name, "..") != 0) AddLossyName(static_cast<FtpSession*>(user), e.name);
}

// `name` stands in `cmd` as a whole path part.
bool NamesPart(const char* cmd, const char* name) {
  size_t n = strlen(name);
  if (!n) return false;
  for (const char* p = strstr(cmd, name); p; p = strstr(p + 1, name)) {
    bool before = p > cmd && (p[-1] == ' ' || p[-1] == '/' || p[-1] == '\\');
    bool after = p[n] == 0 || p[n] == '/' || p[n] == '\\';
    if (before && after) return true;
  }
  return false;
}

}  // namespace

uint32_t FtpLibFromServer(FtpSession* s, char* text, uint32_t len) {
  if (!s->utf8 || IsAscii(text, len)) return len;
  char* out = static_cast<char*>(malloc(size_t(len) + 1));
  if (!out) return len;
  SYSTEMTIME st;
  GetLocalTime(&st);
  FtpToday today = {st.wYear, st.wMonth, st.wDay};
  uint32_t w = 0;
  for (uint32_t at = 0; at < len;) {
    uint32_t end = at;
    while (end < len && text[end] != '\n' && text[end] != '\r') end++;
    bool lossy = false;
    uint32_t n = PieceFromUtf8(text + at, end - at, out + w, &lossy);
    if (lossy) {
      // The entry this line gives is marked, whatever the form of the line.
      char line[1024];
      uint32_t k = n < sizeof(line) - 1 ? n : uint32_t(sizeof(line) - 1);
      memcpy(line, out + w, k);
      line[k] = 0;
      int32_t type = s->systemType;
      FtpParseListing("/", line, &type, today, &LossySink, s);
    }
    w += n;
    while (end < len && (text[end] == '\n' || text[end] == '\r')) out[w++] = text[end++];
    at = end;
  }
  memcpy(text, out, w);
  text[w] = 0;
  free(out);
  return w;
}

void FtpLibReplyFromServer(FtpSession* s) {
  if (!s->utf8) return;
  bool lossy = false;
  uint32_t len = uint32_t(strlen(s->reply));
  uint32_t n = PieceFromUtf8(s->reply, len, s->reply, &lossy);
  s->reply[n] = 0;
}

bool FtpLibToServer(FtpSession* s, const char* in, char* out, uint32_t size) {
  size_t len = strlen(in);
  if (!s->utf8 || IsAscii(in, len)) {
    if (len >= size) return false;
    memcpy(out, in, len + 1);
    return true;
  }
  int wide = MultiByteToWideChar(CP_ACP, 0, in, int(len), nullptr, 0);
  WCHAR* w = wide > 0 ? static_cast<WCHAR*>(malloc(sizeof(WCHAR) * size_t(wide))) : nullptr;
  if (!w) return false;
  MultiByteToWideChar(CP_ACP, 0, in, int(len), w, wide);
  int n = WideCharToMultiByte(CP_UTF8, 0, w, wide, out, int(size) - 1, nullptr, nullptr);
  free(w);
  if (n <= 0) return false;
  out[n] = 0;
  return true;
}

bool FtpLibRefuseLossy(FtpSession* s, const char* cmd) {
  const char* hit = nullptr;
  for (uint32_t at = 0; at < s->lossyLen && !hit; at += uint32_t(strlen(s->lossyNames + at)) + 1)
    if (NamesPart(cmd, s->lossyNames + at)) hit = s->lossyNames + at;
  if (!hit && !(s->lossyOverflow && strchr(cmd, '?'))) return false;
  snprintf(s->reply, sizeof(s->reply), "550 %s%s: the name has characters the system's code page cannot show, so it is left alone.",
           hit ? "" : "A name with \"?\" in ", hit ? hit : cmd);
  s->lastReplyCode = 550;
  FtpLog(s, "%s", s->reply);
  return true;
}

void FtpLibFreeNames(FtpSession* s) {
  free(s->lossyNames);
  s->lossyNames = nullptr;
  s->lossyLen = s->lossyCap = 0;
  s->lossyOverflow = false;
}
