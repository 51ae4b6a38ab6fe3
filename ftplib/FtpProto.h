// Protocol decisions that need no socket: reply lines, PASV and PWD
// replies, host texts, the login sequence of each firewall type, modes.
// No windows.h: built natively too.
#pragma once
#include <stddef.h>
#include <stdint.h>

int FtpReplyCode(const char* line);

// One whole (possibly multi-line) reply, fed line by line.
struct FtpReplyReader {
  int lastCode = 0;  // opening code, 0 until a line carries 100..599
  bool first = true;
  // Returns true when another line belongs to this reply.
  bool Feed(const char* line);
  int Class() const { return (lastCode >= 100 && lastCode <= 599) ? lastCode / 100 : 0; }
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": false when six numbers
// are not there.
bool FtpParsePasv(const char* reply, uint8_t addr[4], uint16_t* port);
// Directory between the first two double quotes of a PWD reply; a trailing
// separator is cut when longer than one character.
bool FtpParsePwd(const char* reply, char* out, size_t size);

// Host text "name[:port]": name and port (defaultPort when none).
void FtpSplitHost(const char* hostText, char* name, size_t size, uint16_t* port, uint16_t defaultPort);

struct FtpLoginInput {
  int fwType;  // 0 direct, 1..6
  bool viaFirewall;
  const char* user;
  const char* password;
  const char* fwUser;
  const char* fwPassword;
  const char* target;  // host text of the site, ":port" kept
};

enum FtpLoginStep { kLoginSend, kLoginDone, kLoginFail, kLoginNeedPassword };

// The login conversation after the greeting: each call takes the code of the
// reply to the previous command (the greeting's at first) and gives the next
// command. kLoginNeedPassword asks the caller to fill the password and call
// again with the same code.
struct FtpLoginPlan {
  FtpLoginInput in;
  int stage = 0;
  bool targetStage = false;
  FtpLoginStep Next(int code, char* command, size_t size);
  bool passwordCommand = false;  // the command given is a PASS (log it masked)
};

// Command 42: "L" or a blank, then the octal permission bits.
void FtpFormatMode(char* out, size_t size, uint32_t mode);
uint32_t FtpModeToOctal(uint32_t mode);
// Permission bits of (current | set) & ~clear; -1 when they equal current's.
int32_t FtpChmodTarget(uint32_t current, uint32_t setMask, uint32_t clearMask);

// Internet checksum (RFC 1071) of an ICMP message: ones'-complement sum of
// 16-bit words in memory order, an odd last byte added alone, inverted.
uint16_t FtpLibPingChecksum(const void* data, size_t length);

// What one datagram read from a raw ICMP socket is to the ping loop.
enum FtpPingVerdict {
  kPingShort,     // shorter than its IP header and an ICMP header
  kPingOwnEcho,   // our own echo request, seen by a socket on the same host
  kPingOtherType, // another ICMP type: `type` says which
  kPingForeign,   // an echo reply to another process
  kPingStale,     // our reply to an earlier request
  kPingReply,     // the reply to the request just sent
};
// `data` holds the IPv4 header and the ICMP message; `id` and `sequence`
// are those of the request just sent.
FtpPingVerdict FtpPingClassify(const uint8_t* data, size_t length, uint16_t id, uint16_t sequence, int* type,
                               uint16_t* replySequence, uint32_t* sentTicks);
