// libFuzzer harness: listing lines of every server family, reply lines,
// PASV and PWD replies, and unscrambling of stored passwords.
#include <stdint.h>
#include <string.h>

#include <string>

#include "FtpListParse.h"
#include "FtpProto.h"
#include "FtpSites.h"

static void Sink(const FtpListEntry& e, void* user) { *static_cast<size_t*>(user) += strlen(e.name); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const FtpToday today = {2026, 12, 10};
  static const int32_t kTypes[] = {0, 4, 5, 6, 11, 12, 16};
  int32_t type = kTypes[data[0] % 7];
  size_t names = 0;
  FtpParseListing((data[0] & 0x80) ? "/" : "/pub", text.c_str(), &type, today, &Sink, &names);

  FtpReplyReader r;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); i++) {
    if (i == text.size() || text[i] == '\n') {
      std::string line = text.substr(start, i - start);
      if (!r.Feed(line.c_str())) r = FtpReplyReader();
      start = i + 1;
    }
  }
  uint8_t ip[4];
  uint16_t port;
  FtpParsePasv(text.c_str(), ip, &port);
  char dir[262];
  FtpParsePwd(text.c_str(), dir, sizeof(dir));
  char pw[81];
  FtpUnscramblePassword(text.c_str(), 12345, pw, sizeof(pw));
  char host[81];
  FtpSplitHost(text.c_str(), host, sizeof(host), &port, 21);
  return 0;
}
