// Listing parser, reply reader, login sequences, modes and stored sites.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "FtpFindExport.h"
#include "FtpListParse.h"
#include "FtpProto.h"
#include "FtpSites.h"

namespace {

const FtpToday kToday = {2026, 12, 10};

struct LineCase {
  const char* line;
  int32_t system;
  int ok;
  const char* name;
  uint64_t size;
  int year, month, day, hour, minute;
  uint32_t attributes;
};

uint16_t D(int y, int m, int d) { return FtpDosDate(y, m, d); }

TEST(FtpListLine, Table) {
  const LineCase cases[] = {
      // UNIX, German month, name with a blank, recent date before today.
      {"drwxr-xr-x   2 owner  group      4096 M\xe4r 11 10:30 Neuer Ordner", kSysUnix, 1, "Neuer Ordner", 4096,
       2026, 3, 11, 10, 30, 0x85B7},
      // The same in UTF-8 and with the older "Mrz" form.
      {"drwxr-xr-x   2 owner  group      4096 M\xc3\xa4r 11 10:30 Neuer Ordner", kSysUnix, 1, "Neuer Ordner", 4096,
       2026, 3, 11, 10, 30, 0x85B7},
      {"-rw-r--r--   1 owner  group        10 Mrz 11  2019 a.txt", kSysUnix, 1, "a.txt", 10, 2019, 3, 11, 0, 0,
       0x8000 | 0x3 | 0x20 | 0x100},
      // A recent date later in the year than today lies in the last year.
      {"-rw-r--r--   1 owner  group       123 Dez 24 18:00 xmas", kSysUnix, 1, "xmas", 123, 2025, 12, 24, 18, 0,
       0x8123},
      {"-rw-r--r--   1 owner  group       123 Dec  9 08:05 yesterday", kSysUnix, 1, "yesterday", 123, 2026, 12, 9,
       8, 5, 0x8123},
      // Link: directory bit, link bit, name cut at the arrow.
      {"lrwxrwxrwx   1 owner  group         7 Jan  1  2001 link -> target", kSysUnix, 1, "link", 7, 2001, 1, 1, 0,
       0, 0x8000 | 0x2000 | 0x7E7 | 0x10},
      {"lrwxrwxrwx   1 owner  group         7 Jan  1  2001 my link -> some target/x", kSysUnix, 1, "my link", 7, 2001,
       1, 1, 0, 0, 0x8000 | 0x2000 | 0x7E7 | 0x10},
      // Eight columns (no group) and a name with blanks.
      {"-rw-r--r--   1 owner       1234 Feb 28  2020 my file name.txt", kSysUnix, 1, "my file name.txt", 1234, 2020,
       2, 28, 0, 0, 0x8123},
      // Blanks inside the name survive, also runs of them.
      {"-rw-r--r--   1 o g 5 Jan 02  2003 two  blanks", kSysUnix, 1, "two  blanks", 5, 2003, 1, 2, 0, 0, 0x8123},
      // Beyond 4 GiB.
      {"-rw-r--r--   1 owner  group  6442450944 Jun 15  2021 big.iso", kSysUnix, 1, "big.iso", 6442450944ull, 2021,
       6, 15, 0, 0, 0x8123},
      // setuid and sticky letters.
      {"-rwsr-xr-T   1 root   root         10 May  5  2005 odd", kSysUnix, 1, "odd", 10, 2005, 5, 5, 0, 0,
       0x8000 | 0x7 | 0xA0 | 0x100},
      // Trailing slash of a directory is cut.
      {"drwxr-xr-x   2 o g 0 Okt  3  2010 dir/", kSysUnix, 1, "dir", 0, 2010, 10, 3, 0, 0, 0x85B7},
      {"drwxr-xr-x   2 o g 0 Oct  3  2010 .", kSysUnix, 0, "", 0, 0, 0, 0, 0, 0, 0},
      {"drwxr-xr-x   2 o g 0 Oct  3  2010 ..", kSysUnix, 0, "", 0, 0, 0, 0, 0, 0, 0},
      {"total 24", kSysUnix, 0, "", 0, 0, 0, 0, 0, 0, 0},
      {"crw-rw-rw-   1 root root 1, 3 Jan  1  2001 null", kSysUnix, 0, "", 0, 0, 0, 0, 0, 0, 0},
      // DOS / Windows NT.
      {"12-23-02  10:34PM       <DIR>          Docs", kSysWindowsNt, 1, "Docs", 0, 2002, 12, 23, 22, 34, 0x10},
      {"12-23-02  10:34PM                 1234 Docs", kSysWindowsNt, 1, "Docs", 1234, 2002, 12, 23, 22, 34, 0},
      {"12-23-02  12:05AM                 1 midnight", kSysWindowsNt, 1, "midnight", 1, 2002, 12, 23, 0, 5, 0},
      {"12-23-02  12:05PM                 1 noon", kSysWindowsNt, 1, "noon", 1, 2002, 12, 23, 12, 5, 0},
      {"01-05-2024  09:00AM          5000000000 My Big File.bin", kSysWindowsNt, 1, "My Big File.bin",
       5000000000ull, 2024, 1, 5, 9, 0, 0},
      {"07-04-98  01:00PM                 7 old", kSysWindowsNt, 1, "old", 7, 1998, 7, 4, 13, 0, 0},
      // OS/2.
      {"           0           DIR   12-23-02   10:34  Docs", kSysOs2, 1, "Docs", 0, 2002, 12, 23, 10, 34, 0x10},
      {"        1234      A          12-23-02   10:34  read me.txt", kSysOs2, 1, "read me.txt", 1234, 2002, 12, 23,
       10, 34, 0x20},
      {"         345      RS         01-02-03   23:59  sys.dat", kSysOs2, 1, "sys.dat", 345, 2003, 1, 2, 23, 59,
       0x05},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    int32_t sys = c.system;
    FtpListEntry e;
    int r = FtpParseListLine(c.line, strlen(c.line), &sys, kToday, false, &e);
    ASSERT_EQ(c.ok, r);
    if (!r) continue;
    EXPECT_STREQ(c.name, e.name);
    EXPECT_EQ(c.size, e.size);
    EXPECT_EQ(D(c.year, c.month, c.day), e.dosDate);
    EXPECT_EQ(FtpDosTime(c.hour, c.minute, 0), e.dosTime);
    EXPECT_EQ(c.attributes, e.attributes) << std::hex << e.attributes;
  }
}

struct Collected {
  std::vector<FtpListEntry> entries;
  static void Sink(const FtpListEntry& e, void* user) { static_cast<Collected*>(user)->entries.push_back(e); }
};

TEST(FtpListing, UpEntryOnlyBelowRoot) {
  const char* text = "drwxr-xr-x 2 o g 0 Jan 1 2001 a\r\n-rw-r--r-- 1 o g 5 Jan 1 2001 b\r\n";
  for (const char* root : {"/", "", "C:\\"}) {
    Collected c;
    int32_t sys = kSysUnix;
    EXPECT_EQ(2, FtpParseListing(root, text, &sys, kToday, &Collected::Sink, &c));
    EXPECT_STREQ("a", c.entries[0].name);
  }
  Collected c;
  int32_t sys = kSysUnix;
  EXPECT_EQ(3, FtpParseListing("/pub", text, &sys, kToday, &Collected::Sink, &c));
  EXPECT_STREQ("..", c.entries[0].name);
  EXPECT_EQ(24u, c.entries[0].attributes);
  Collected none;
  EXPECT_EQ(1, FtpParseListing("/", nullptr, &sys, kToday, &Collected::Sink, &none));
}

TEST(FtpListing, MvsDataSetsAndMembers) {
  const char* sets =
      "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
      "BAC232 3390   2008/09/16  1   15  FB      80 27920  PS  BAC.TEST\r\n"
      "BAC233 3390   2007/01/02  1   15  FB      80  6160  PO  BAC.CNTL\r\n"
      "Migrated                                                BAC.OLD\r\n";
  Collected c;
  int32_t sys = kSysMvs;
  FtpParseListing("'BAC'", sets, &sys, kToday, &Collected::Sink, &c);
  ASSERT_EQ(4u, c.entries.size());
  EXPECT_STREQ("BAC.TEST", c.entries[1].name);
  EXPECT_EQ(27920u, c.entries[1].size);
  EXPECT_EQ(D(2008, 9, 16), c.entries[1].dosDate);
  EXPECT_STREQ("BAC.CNTL", c.entries[2].name);
  EXPECT_EQ(0x10u, c.entries[2].attributes);
  EXPECT_EQ(kSysMvs, sys);

  const char* members =
      " Name     VV.MM   Created       Changed      Size  Init   Mod   Id\r\n"
      "ABCD      01.00 2001/10/03 2001/10/03 15:26    32    32     0 USER1\r\n"
      "TOOLONGNAME 01.00 2001/10/03 2001/10/03 15:26    32    32     0 USER1\r\n";
  Collected m;
  sys = kSysMvs;
  FtpParseListing("'BAC.CNTL'", members, &sys, kToday, &Collected::Sink, &m);
  EXPECT_EQ(kSysMvsMembers, sys);
  ASSERT_EQ(2u, m.entries.size());
  EXPECT_STREQ("ABCD", m.entries[1].name);
  EXPECT_EQ(32u, m.entries[1].size);
  EXPECT_EQ(FtpDosTime(15, 26, 0), m.entries[1].dosTime);

  // An MVS server that answers with UNIX lines.
  const char* unixy =
      "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
      "-rw-r--r--   1 owner  group       123 Jan  1  2001 plain.txt\r\n";
  Collected u;
  sys = kSysMvs;
  FtpParseListing("/u", unixy, &sys, kToday, &Collected::Sink, &u);
  EXPECT_EQ(kSysUnix, sys);
  ASSERT_EQ(2u, u.entries.size());
  EXPECT_STREQ("plain.txt", u.entries[1].name);
}

TEST(FtpListing, SystemTypes) {
  EXPECT_EQ(kSysUnix, FtpSystemTypeFromReply("215 UNIX Type: L8", 0));
  EXPECT_EQ(kSysWindowsNt, FtpSystemTypeFromReply("215 Windows_NT", 0));
  EXPECT_EQ(kSysMvs, FtpSystemTypeFromReply("215 MVS is the operating system of this server. FTP Server is running on z/OS.", 0));
  EXPECT_EQ(kSysOs2, FtpSystemTypeFromReply("215 OS/2", 0));
  EXPECT_EQ(11, FtpSystemTypeFromReply("215 Something else", 11));
}

TEST(FtpReply, MultiLineTable) {
  struct Case {
    std::vector<const char*> lines;
    size_t consumed;
    int cls;
  } cases[] = {
      {{"220 ready"}, 1, 2},
      {{"220-welcome", "220 ready"}, 2, 2},
      {{"230-first", "100 inside", "230-still", "  indented", "230 done", "999 next"}, 5, 2},
      {{"530 no"}, 1, 5},
      {{"garbage"}, 1, 0},
      {{"150-opening", "more text", "150 go"}, 3, 1},
  };
  for (auto& c : cases) {
    FtpReplyReader r;
    size_t used = 0;
    for (const char* l : c.lines) {
      used++;
      if (!r.Feed(l)) break;
    }
    EXPECT_EQ(c.consumed, used) << c.lines[0];
    EXPECT_EQ(c.cls, r.Class()) << c.lines[0];
  }
}

TEST(FtpReply, PasvPwdHost) {
  uint8_t a[4];
  uint16_t port = 0;
  ASSERT_TRUE(FtpParsePasv("227 Entering Passive Mode (10,0,0,9,4,1)", a, &port));
  EXPECT_EQ(1025, port);
  EXPECT_EQ(10, a[0]);
  EXPECT_FALSE(FtpParsePasv("227 nothing", a, &port));
  EXPECT_FALSE(FtpParsePasv("227 (1,2,3,4,5,999)", a, &port));
  char dir[262];
  ASSERT_TRUE(FtpParsePwd("257 \"/pub/x/\" is current", dir, sizeof(dir)));
  EXPECT_STREQ("/pub/x", dir);
  ASSERT_TRUE(FtpParsePwd("257 \"/\"", dir, sizeof(dir)));
  EXPECT_STREQ("/", dir);
  EXPECT_FALSE(FtpParsePwd("257 /x", dir, sizeof(dir)));
  char name[81];
  FtpSplitHost("ftp.example:2121", name, sizeof(name), &port, 21);
  EXPECT_STREQ("ftp.example", name);
  EXPECT_EQ(2121, port);
  FtpSplitHost("127.0.0.1", name, sizeof(name), &port, 21);
  EXPECT_EQ(21, port);
}

// Runs a login plan against scripted reply codes, collecting the commands.
std::vector<std::string> Login(int type, std::vector<int> codes, FtpLoginStep* end) {
  FtpLoginPlan plan;
  plan.in = {type, type != 0, "me", "secret", "fw", "fwpw", "target:2121"};
  std::vector<std::string> sent;
  char cmd[512];
  int code = 220;
  size_t i = 0;
  for (;;) {
    FtpLoginStep s = plan.Next(code, cmd, sizeof(cmd));
    if (s != kLoginSend) {
      *end = s;
      return sent;
    }
    sent.push_back(cmd);
    if (i >= codes.size()) {
      *end = kLoginFail;
      return sent;
    }
    code = codes[i++];
  }
}

TEST(FtpLogin, FirewallSequences) {
  struct Case {
    int type;
    std::vector<int> codes;
    std::vector<std::string> expect;
    FtpLoginStep end;
  } cases[] = {
      {0, {331, 230}, {"USER me", "PASS secret"}, kLoginDone},
      {0, {331, 332, 230}, {"USER me", "PASS secret", "ACCT me"}, kLoginDone},
      {1, {331, 230}, {"USER me@target:2121", "PASS secret"}, kLoginDone},
      {2, {230, 331, 230}, {"USER fw", "USER me@target:2121", "PASS secret"}, kLoginDone},
      {2, {331, 230, 331, 230}, {"USER fw", "PASS fwpw", "USER me@target:2121", "PASS secret"}, kLoginDone},
      {3, {230, 220, 331, 230}, {"USER fw", "SITE target:2121", "USER me", "PASS secret"}, kLoginDone},
      {3, {230, 530}, {"USER fw", "SITE target:2121"}, kLoginFail},
      {4, {331, 230, 200, 331, 230}, {"USER fw", "PASS fwpw", "OPEN target:2121", "USER me", "PASS secret"},
       kLoginDone},
      {5, {331, 230}, {"USER me@fw@target:2121", "PASS secret@fwpw"}, kLoginDone},
      {6, {331, 230, 331, 230}, {"USER fw@target:2121", "PASS fwpw", "USER me", "PASS secret"}, kLoginDone},
      {6, {530}, {"USER fw@target:2121"}, kLoginFail},
  };
  for (auto& c : cases) {
    FtpLoginStep end;
    auto sent = Login(c.type, c.codes, &end);
    EXPECT_EQ(c.expect, sent) << "type " << c.type;
    EXPECT_EQ(c.end, end) << "type " << c.type;
  }
}

TEST(FtpLogin, EmptyPasswordAsksTheHost) {
  FtpLoginPlan plan;
  plan.in = {0, false, "me", "", "", "", "h"};
  char cmd[64];
  ASSERT_EQ(kLoginSend, plan.Next(220, cmd, sizeof(cmd)));
  EXPECT_EQ(kLoginNeedPassword, plan.Next(331, cmd, sizeof(cmd)));
  plan.in.password = "typed";
  ASSERT_EQ(kLoginSend, plan.Next(331, cmd, sizeof(cmd)));
  EXPECT_STREQ("PASS typed", cmd);
  EXPECT_TRUE(plan.passwordCommand);
}

TEST(FtpMode, FormatAndChmod) {
  char t[8];
  FtpFormatMode(t, sizeof(t), 0x85A7);
  EXPECT_STREQ(" 755", t);
  FtpFormatMode(t, sizeof(t), 0xA5A7);
  EXPECT_STREQ("L755", t);
  // Masks of a dialog left undecided change nothing: nothing to send.
  EXPECT_EQ(-1, FtpChmodTarget(0x85A7, 0x8000, 0x8000));
  EXPECT_EQ(-1, FtpChmodTarget(0x85A7, 0x0001, 0));
  EXPECT_EQ(0x5A7 | 0x200, FtpChmodTarget(0x85A7, 0x0200, 0));
  EXPECT_EQ(0x1A7, FtpChmodTarget(0x85A7, 0, 0x400));
}

TEST(FtpPassword, ScrambleRoundTrip) {
  const uint32_t key = FtpPasswordKey(true, 0x12345678);
  char hex[200], back[81];
  ASSERT_TRUE(FtpScramblePassword("abcde", key, hex, sizeof(hex)));
  EXPECT_EQ(16u, strlen(hex));
  FtpUnscramblePassword(hex, key, back, sizeof(back));
  EXPECT_STREQ("abcde", back);
  EXPECT_NE(FtpPasswordKey(false, 0), FtpPasswordKey(true, 0));
  ASSERT_TRUE(FtpScramblePassword("", key, hex, sizeof(hex)));
  EXPECT_STREQ("", hex);

  // An 80-character password needs 161 bytes, more than its 81-byte field.
  std::string p80(80, 'x');
  p80[3] = '\xe9';
  char small[81];
  EXPECT_FALSE(FtpScramblePassword(p80.c_str(), key, small, sizeof(small)));
  char big[161];
  ASSERT_TRUE(FtpScramblePassword(p80.c_str(), key, big, sizeof(big)));
  EXPECT_EQ(160u, strlen(big));
  FtpUnscramblePassword(big, key, back, sizeof(back));
  EXPECT_EQ(p80, back);
  // Unscrambling into a field never writes past it.
  char tiny[5];
  FtpUnscramblePassword(big, key, tiny, sizeof(tiny));
  EXPECT_EQ(4u, strlen(tiny));
}

// Settings file as a map of sections of ordered key lines.
struct MemIni {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> sections;
  FtpIni Bind() { return {this, &Get, &Put, &GetSection, &PutSection}; }
  static MemIni* Self(void* c) { return static_cast<MemIni*>(c); }
  static uint32_t Get(void* c, const char* s, const char* k, const char* d, char* buf, uint32_t size) {
    std::string v = d;
    for (auto& kv : Self(c)->sections[s])
      if (kv.first == k) v = kv.second;
    FtpCopyText(buf, size, v.c_str());
    return uint32_t(strlen(buf));
  }
  static void Put(void* c, const char* s, const char* k, const char* v) {
    auto& sec = Self(c)->sections[s];
    for (auto& kv : sec)
      if (kv.first == k) {
        kv.second = v;
        return;
      }
    sec.emplace_back(k, v);
  }
  static uint32_t GetSection(void* c, const char* s, char* buf, uint32_t size) {
    std::string all;
    for (auto& kv : Self(c)->sections[s]) all += kv.first + "=" + kv.second + '\0';
    if (all.size() + 1 > size) {
      memcpy(buf, all.data(), size - 2);
      buf[size - 2] = buf[size - 1] = 0;
      return size - 2;
    }
    memcpy(buf, all.data(), all.size());
    buf[all.size()] = 0;
    return uint32_t(all.size());
  }
  static void PutSection(void* c, const char* s, const char* text) {
    auto& sec = Self(c)->sections[s];
    sec.clear();
    for (const char* p = text; *p; p += strlen(p) + 1) {
      const char* eq = strchr(p, '=');
      if (eq) sec.emplace_back(std::string(p, eq), std::string(eq + 1));
    }
  }
};

FtpStoredSite Site(const char* name, int options) {
  FtpStoredSite s{};
  FtpCopyText(s.name, sizeof(s.name), name);
  snprintf(s.host, sizeof(s.host), "%s.example:21", name);
  snprintf(s.user, sizeof(s.user), "user-%s", name);
  snprintf(s.password, sizeof(s.password), "pw-%s", name);
  snprintf(s.directory, sizeof(s.directory), "/%s", name);
  s.options = options;
  snprintf(s.fwHost, sizeof(s.fwHost), "fw-%s", name);
  snprintf(s.fwUser, sizeof(s.fwUser), "fwu-%s", name);
  snprintf(s.fwPassword, sizeof(s.fwPassword), "fwp-%s", name);
  s.fwType = 3;
  return s;
}

TEST(FtpSites, DeleteSecondOfThreeAndRenumber) {
  MemIni mem;
  FtpIni ini = mem.Bind();
  const uint32_t key = 77;
  const char* names[] = {"one", "two", "three"};
  for (int i = 0; i < 3; i++) {
    FtpStoredSite s = Site(names[i], kSiteStorePassword | kSiteUseFirewall);
    FtpSiteWrite(ini, i + 1, key, s);
    FtpSiteWriteFirewall(ini, i + 1, key, s);
  }
  EXPECT_EQ(3, FtpSiteCount(ini));
  const int order[] = {1, 3};
  FtpSitesRenumber(ini, order, 2);
  EXPECT_EQ(2, FtpSiteCount(ini));
  FtpStoredSite s;
  FtpSiteRead(ini, 2, key, &s);
  EXPECT_STREQ("three", s.name);
  EXPECT_STREQ("three.example:21", s.host);
  EXPECT_STREQ("pw-three", s.password);
  EXPECT_STREQ("fwp-three", s.fwPassword);
  EXPECT_STREQ("fwu-three", s.fwUser);
  EXPECT_STREQ("/three", s.directory);
  EXPECT_EQ(3, s.fwType);
  EXPECT_TRUE(mem.sections["Bak"].empty());
  char buf[16];
  mem.Get(&mem, "FTP", "M3", "", buf, sizeof(buf));
  EXPECT_STREQ("", buf);
}

TEST(FtpSites, PasswordKeptOnlyWhenAsked) {
  MemIni mem;
  FtpIni ini = mem.Bind();
  FtpSiteWrite(ini, 1, 5, Site("a", 0));
  char buf[200];
  mem.Get(&mem, "FTP", "W1", "<none>", buf, sizeof(buf));
  EXPECT_STREQ("<none>", buf);
  FtpStoredSite anon = Site("b", kSiteAnonymous | kSiteStorePassword);
  FtpCopyText(anon.password, sizeof(anon.password), "me@example.org");
  FtpSiteWrite(ini, 2, 5, anon);
  mem.Get(&mem, "FTP", "W2", "", buf, sizeof(buf));
  EXPECT_STREQ("me@example.org", buf);
  // An 80-character password is stored whole and read back whole.
  FtpStoredSite longPw = Site("c", kSiteStorePassword);
  memset(longPw.password, 'q', 80);
  longPw.password[80] = 0;
  FtpSiteWrite(ini, 3, 5, longPw);
  FtpStoredSite back;
  FtpSiteRead(ini, 3, 5, &back);
  EXPECT_STREQ(longPw.password, back.password);
}

TEST(FtpSites, CancelRestoresLongSection) {
  MemIni mem;
  FtpIni ini = mem.Bind();
  // Far more than 32767 characters of sites.
  for (int i = 1; i <= 400; i++) {
    FtpStoredSite s = Site(("site" + std::to_string(i)).c_str(), kSiteStorePassword);
    memset(s.directory, 'd', 200);
    s.directory[200] = 0;
    FtpSiteWrite(ini, i, 9, s);
  }
  auto before = mem.sections["FTP"];
  char* snap = FtpSitesSnapshot(ini);
  ASSERT_NE(nullptr, snap);
  FtpSiteWrite(ini, 401, 9, Site("new", 0));
  FtpSiteWrite(ini, 2, 9, Site("changed", 0));
  FtpSitesRestore(ini, snap);
  free(snap);
  EXPECT_EQ(before, mem.sections["FTP"]);
}

TEST(FtpPing, ChecksumFollowsTheInternetRule) {
  // The example of RFC 1071: the words 0x0001 f203 f4f5 f6f7 sum to 0xddf2
  // (byte order as in memory), inverted 0x220d.
  const uint8_t words[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  uint16_t sum = FtpLibPingChecksum(words, sizeof(words));
  uint8_t bytes[2];
  memcpy(bytes, &sum, 2);
  EXPECT_EQ(0x22, bytes[0]);
  EXPECT_EQ(0x0d, bytes[1]);
  // A message that carries its own checksum sums to zero; an odd length
  // adds its last byte alone.
  uint8_t echo[13] = {8, 0, 0, 0, 0x34, 0x12, 7, 0, 0x45, 0x45, 0x45, 0x45, 0x99};
  for (size_t length : {size_t(12), size_t(13)}) {
    echo[2] = echo[3] = 0;
    uint16_t c = FtpLibPingChecksum(echo, length);
    memcpy(echo + 2, &c, 2);
    EXPECT_EQ(0, FtpLibPingChecksum(echo, length)) << length;
  }
}

TEST(FtpPing, OnlyTheReplyToTheLastRequestCounts) {
  const uint16_t id = 0x1234, sequence = 7;
  struct Case {
    uint8_t type;
    uint16_t id, sequence;
    size_t length;
    FtpPingVerdict verdict;
  } cases[] = {
      {0, id, sequence, 32, kPingReply},       {8, id, sequence, 32, kPingOwnEcho},
      {0, 0x4321, sequence, 32, kPingForeign}, {0, id, 6, 32, kPingStale},
      {3, id, sequence, 32, kPingOtherType},   {0, id, sequence, 27, kPingShort},
  };
  for (const Case& c : cases) {
    uint8_t packet[32] = {0x45};  // IPv4, a 20-byte header
    packet[20] = c.type;
    memcpy(packet + 24, &c.id, 2);
    memcpy(packet + 26, &c.sequence, 2);
    uint32_t ticks = 5000;
    memcpy(packet + 28, &ticks, 4);
    int type = -2;
    uint16_t gotSequence = 0;
    uint32_t sent = 0;
    EXPECT_EQ(c.verdict, FtpPingClassify(packet, c.length, id, sequence, &type, &gotSequence, &sent))
        << int(c.type) << " " << c.id << " " << c.sequence << " " << c.length;
    if (c.verdict == kPingReply) {
      EXPECT_EQ(sequence, gotSequence);
      EXPECT_EQ(5000u, sent);
    }
  }
  const uint8_t headerOnly[1] = {0x4F};  // a 60-byte header and nothing behind it
  int type;
  uint16_t q;
  uint32_t t;
  EXPECT_EQ(kPingShort, FtpPingClassify(headerOnly, 1, id, sequence, &type, &q, &t));
}


// The three export forms of FTP Find for names a server may send: blanks,
// quotes, ";", markup characters and non-ASCII bytes.
TEST(FtpFindExport, EachFormKeepsEveryNameIntactAndHarmless) {
  struct Case {
    const char* folder;
    const char* name;
    bool folderHit, link, modeWord;
    const char* text;
    const char* csv;
    const char* html;
  } cases[] = {
      {"/pub", "a b.txt", false, false, true, "   644             12     1/2/2020  00:00   /pub/a b.txt",
       "644;12;1/2/2020  00:00;/pub/a b.txt",
       "<TR><TD>a b.txt</TD><TD ALIGN=RIGHT>12</TD><TD>1/2/2020  00:00</TD><TD>644</TD><TD>TXT-File</TD><TD>/pub"},
      {"/", "x\"q;y.txt", false, false, true, "   644             12     1/2/2020  00:00   /x\"q;y.txt",
       "644;12;1/2/2020  00:00;\"/x\"\"q;y.txt\"",
       "<TR><TD>x&quot;q;y.txt</TD><TD ALIGN=RIGHT>12</TD><TD>1/2/2020  00:00</TD><TD>644</TD><TD>TXT-File</TD>"
       "<TD>/"},
      {"/a<b>", "c&d<e>.htm", false, false, false, "   644             12     1/2/2020  00:00   /a<b>/c&d<e>.htm",
       "644;12;1/2/2020  00:00;/a<b>/c&d<e>.htm",
       "<TR><TD><A HREF=\"/a%3Cb%3E/c%26d%3Ce%3E.htm\">c&amp;d&lt;e&gt;.htm</A></TD><TD ALIGN=RIGHT>12</TD>"
       "<TD>1/2/2020  00:00</TD><TD>644</TD><TD>TXT-File</TD><TD>/a&lt;b&gt;"},
      {"\\dos dir", "Gr\xc3\xbc\xc3\x9f" "e.txt", false, false, false,
       "   644             12     1/2/2020  00:00   \\dos dir\\Gr\xc3\xbc\xc3\x9f" "e.txt",
       "644;12;1/2/2020  00:00;\\dos dir\\Gr\xc3\xbc\xc3\x9f" "e.txt",
       "<TR><TD><A HREF=\"/dos%20dir/Gr%C3%BC%C3%9Fe.txt\">Gr\xc3\xbc\xc3\x9f" "e.txt</A></TD><TD ALIGN=RIGHT>12</TD>"
       "<TD>1/2/2020  00:00</TD><TD>644</TD><TD>TXT-File</TD><TD>\\dos dir"},
      {"/pub", "sub", true, false, true, "   644          <DIR>     1/2/2020  00:00   /pub/sub",
       "644;<DIR>;1/2/2020  00:00;/pub/sub",
       "<TR><TD>sub</TD><TD ALIGN=RIGHT></TD><TD>1/2/2020  00:00</TD><TD>644</TD><TD>TXT-File</TD><TD>/pub"},
      {"/pub", "up", true, true, true, "   644         <LINK>     1/2/2020  00:00   /pub/up",
       "644;<LINK>;1/2/2020  00:00;/pub/up",
       "<TR><TD>up</TD><TD ALIGN=RIGHT></TD><TD>1/2/2020  00:00</TD><TD>644</TD><TD>LINK</TD><TD>/pub"},
  };
  for (const Case& c : cases) {
    FtpFindRow row = {};
    row.folder = c.folder;
    row.name = c.name;
    row.separator = c.folder[0] == '\\' ? '\\' : '/';
    row.isFolder = c.folderHit;
    row.isLink = c.link;
    row.hasModeWord = c.modeWord;
    row.attrText = "644";
    row.sizeText = "12";
    row.dateText = "1/2/2020  00:00";
    row.typeText = "TXT-File";
    EXPECT_EQ(c.text, FtpFindTextLine(row)) << c.name;
    EXPECT_EQ(c.csv, FtpFindCsvLine(row)) << c.name;
    EXPECT_EQ(c.html, FtpFindHtmlLine(row)) << c.name;
  }
  const char* titles[6] = {"Name", "Size", "Modified", "Attributes", "Type", "Path"};
  EXPECT_EQ("<TR><TH>Name</TH><TH>Size</TH><TH>Modified</TH><TH>Attributes</TH><TH>Type</TH><TH>Path</TH></TR>",
            FtpFindHtmlHeader(titles));
  EXPECT_EQ("Attributes;Size;Modified;Name", FtpFindCsvHeader("Attributes", "Size", "Modified", "Name"));
}

}  // namespace
