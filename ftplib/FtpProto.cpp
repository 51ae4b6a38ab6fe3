#include "FtpProto.h"

#include <stdio.h>
#include <string.h>

#include "FtpSites.h"

int FtpReplyCode(const char* l) {
  if (l[0] < '0' || l[0] > '9' || l[1] < '0' || l[1] > '9' || l[2] < '0' || l[2] > '9') return 0;
  return (l[0] - '0') * 100 + (l[1] - '0') * 10 + (l[2] - '0');
}

bool FtpReplyReader::Feed(const char* line) {
  int code = FtpReplyCode(line);
  bool dash = strlen(line) >= 4 && line[3] == '-';
  bool continues = (code >= 1 && code <= 99) || code > 599 || dash;
  bool wasFirst = first;
  if ((first || lastCode == 0) && code >= 100 && code <= 599) lastCode = code;
  first = false;
  // Inside a multi-line reply a line with another code does not end it; the
  // first line that repeats the opening code without "-" does.
  return continues || (lastCode != 0 && !wasFirst && code != lastCode);
}

bool FtpParsePasv(const char* reply, uint8_t addr[4], uint16_t* port) {
  if (strlen(reply) < 4) return false;
  const char* p = reply + 3;
  while (*p && (*p < '0' || *p > '9')) p++;
  int v[6];
  if (sscanf(p, "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6) return false;
  for (int i = 0; i < 6; i++)
    if (v[i] < 0 || v[i] > 255) return false;
  for (int i = 0; i < 4; i++) addr[i] = uint8_t(v[i]);
  *port = uint16_t(v[4] * 256 + v[5]);
  return true;
}

bool FtpParsePwd(const char* reply, char* out, size_t size) {
  const char* a = strchr(reply, '"');
  if (!a) return false;
  const char* b = strchr(a + 1, '"');
  if (!b) return false;
  size_t n = size_t(b - a - 1);
  if (n >= size) n = size - 1;
  memcpy(out, a + 1, n);
  out[n] = 0;
  if (n > 1 && (out[n - 1] == '/' || out[n - 1] == '\\')) out[n - 1] = 0;
  return true;
}

void FtpSplitHost(const char* hostText, char* name, size_t size, uint16_t* port, uint16_t defaultPort) {
  FtpCopyText(name, size, hostText);
  *port = defaultPort;
  char* colon = strchr(name, ':');
  if (colon) {
    *colon = 0;
    long v = 0;
    for (const char* p = colon + 1; *p >= '0' && *p <= '9' && v < 100000; p++) v = v * 10 + (*p - '0');
    if (v > 0 && v < 65536) *port = uint16_t(v);
  }
}

namespace {
enum Stage {
  kStart,
  kFwUserSent,
  kFwPassSent,
  kSiteSent,
  kUserSent,
  kPassSent,
  kAcctSent,
};

bool FirewallStage(int type) { return type == 2 || type == 3 || type == 4 || type == 6; }
}  // namespace

FtpLoginStep FtpLoginPlan::Next(int code, char* cmd, size_t size) {
  passwordCommand = false;
  int type = in.viaFirewall ? in.fwType : 0;
  // Targets are addressed with the site's ":port" when it has one.
  const char* target = in.target;
  auto targetUser = [&]() {
    targetStage = true;
    stage = kUserSent;
    switch (type) {
      case 1:
      case 2:
        snprintf(cmd, size, "USER %s@%s", in.user, target);
        break;
      case 5:
        snprintf(cmd, size, "USER %s@%s@%s", in.user, in.fwUser, target);
        break;
      default:
        snprintf(cmd, size, "USER %s", in.user);
        break;
    }
    return kLoginSend;
  };
  auto afterFirewall = [&]() {
    if (type == 3 || type == 4) {
      stage = kSiteSent;
      snprintf(cmd, size, "%s %s", type == 3 ? "SITE" : "OPEN", target);
      return kLoginSend;
    }
    return targetUser();
  };
  switch (stage) {
    case kStart:
      if (code / 100 != 2) return kLoginFail;
      if (FirewallStage(type)) {
        stage = kFwUserSent;
        if (type == 6)
          snprintf(cmd, size, "USER %s@%s", in.fwUser, target);
        else
          snprintf(cmd, size, "USER %s", in.fwUser);
        return kLoginSend;
      }
      return targetUser();
    case kFwUserSent:
      if (code == 230 || code == 202) return afterFirewall();
      if (code == 331) {
        stage = kFwPassSent;
        passwordCommand = true;
        snprintf(cmd, size, "PASS %s", in.fwPassword);
        return kLoginSend;
      }
      return kLoginFail;
    case kFwPassSent:
      if (code == 230 || code == 202) return afterFirewall();
      return kLoginFail;
    case kSiteSent:
      if (code / 100 == 2) return targetUser();
      return kLoginFail;
    case kUserSent:
      if (code == 230 || code == 202) return kLoginDone;
      if (code / 100 == 3 && code != 332) {
        if (!in.password[0]) return kLoginNeedPassword;
        stage = kPassSent;
        passwordCommand = true;
        if (type == 5)
          snprintf(cmd, size, "PASS %s@%s", in.password, in.fwPassword);
        else
          snprintf(cmd, size, "PASS %s", in.password);
        return kLoginSend;
      }
      if (code == 332) {
        stage = kAcctSent;
        snprintf(cmd, size, "ACCT %s", in.user);
        return kLoginSend;
      }
      return kLoginFail;
    case kPassSent:
      if (code / 100 == 2) return kLoginDone;
      if (code / 100 == 3) {
        stage = kAcctSent;
        snprintf(cmd, size, "ACCT %s", in.user);
        return kLoginSend;
      }
      return kLoginFail;
    case kAcctSent:
      return code / 100 == 2 ? kLoginDone : kLoginFail;
  }
  return kLoginFail;
}

uint32_t FtpModeToOctal(uint32_t mode) {
  static const struct {
    uint32_t bit, octal;
  } kMap[] = {{0x0001, 0400}, {0x0002, 0200}, {0x0004, 0100}, {0x0020, 040}, {0x0040, 020},
              {0x0080, 010},  {0x0100, 04},   {0x0200, 02},   {0x0400, 01}};
  uint32_t v = 0;
  for (const auto& m : kMap)
    if (mode & m.bit) v |= m.octal;
  return v;
}

void FtpFormatMode(char* out, size_t size, uint32_t mode) {
  snprintf(out, size, "%c%03o", (mode & 0x2000) ? 'L' : ' ', (unsigned)FtpModeToOctal(mode));
}

int32_t FtpChmodTarget(uint32_t current, uint32_t setMask, uint32_t clearMask) {
  const uint32_t kPerm = 0x7E7;
  uint32_t now = current & kPerm;
  uint32_t next = ((current | setMask) & ~clearMask) & kPerm;
  return next == now ? -1 : int32_t(next);
}

uint16_t FtpLibPingChecksum(const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < length; i += 2) {
    uint16_t word;
    memcpy(&word, p + i, 2);
    sum += word;
  }
  if (i < length) {
    uint16_t last = 0;
    memcpy(&last, p + i, 1);
    sum += last;
  }
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return uint16_t(~sum);
}

FtpPingVerdict FtpPingClassify(const uint8_t* data, size_t length, uint16_t id, uint16_t sequence, int* type,
                               uint16_t* replySequence, uint32_t* sentTicks) {
  *type = -1;
  if (length < 1) return kPingShort;
  size_t header = size_t(data[0] & 0x0F) * 4;
  if (length < header + 8) return kPingShort;
  const uint8_t* icmp = data + header;
  uint16_t gotId, gotSequence;
  memcpy(&gotId, icmp + 4, 2);
  memcpy(&gotSequence, icmp + 6, 2);
  *type = icmp[0];
  *replySequence = gotSequence;
  *sentTicks = 0;
  if (length >= header + 12) memcpy(sentTicks, icmp + 8, 4);
  if (icmp[0] == 8 && gotId == id) return kPingOwnEcho;
  if (icmp[0] != 0) return kPingOtherType;
  if (gotId != id) return kPingForeign;
  if (gotSequence != sequence) return kPingStale;
  return kPingReply;
}
