// The FTP library against real servers on loopback: pyftpdlib (A and B),
// vsftpd and a scripted firewall peer, started by the CTest fixture.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>
#include "tests/OwnWindow.h"

#include <algorithm>
#include <set>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "FtpInternal.h"
#include "FtpListParse.h"
#include "FtpSites.h"
#include "FtpTestHost.h"

namespace {


const std::string kState = "T:\\ftptest\\";

std::map<std::string, int> Ports() {
  std::map<std::string, int> ports;
  std::ifstream in(kState + "ports.txt");
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) ports[line.substr(0, eq)] = atoi(line.c_str() + eq + 1);
  }
  return ports;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Spit(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
}

std::string Random(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = char(gen() & 0xFF);
  return s;
}

bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
// Whether `p` is gone within a generous deadline (the server acts on its own time).
bool WaitGone(const std::string& p) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20))
    if (!Exists(p)) return true;
  return false;
}

std::string Temp(const std::string& name) {
  char tmp[MAX_PATH];
  GetTempPathA(sizeof(tmp), tmp);
  return std::string(tmp) + name;
}

// Lines a server received since the log was last cut.
std::vector<std::string> ServerLog(const std::string& name) {
  std::vector<std::string> lines;
  std::istringstream in(Slurp(kState + name + ".log"));
  std::string l;
  while (std::getline(in, l)) lines.push_back(l);
  return lines;
}
void CutServerLog(const std::string& name) { Spit(kState + name + ".log", ""); }
int Count(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (auto& l : lines)
    if (l.compare(0, prefix.size(), prefix) == 0) n++;
  return n;
}

FtpSiteSettings gSite;
int SiteHook(HWND, FtpOpenParams*, FtpSiteSettings* s) {
  *s = gSite;
  return 1;
}

FtpSiteSettings MakeSite(int port, bool passive, const char* user = "tester", const char* pass = "secret") {
  FtpSiteSettings s = {};
  snprintf(s.sessionName, sizeof(s.sessionName), "test");
  snprintf(s.host, sizeof(s.host), "127.0.0.1:%d", port);
  snprintf(s.user, sizeof(s.user), "%s", user);
  snprintf(s.password, sizeof(s.password), "%s", pass);
  s.options = passive ? 8 : 0;
  return s;
}

struct Connection {
  void* block = nullptr;
  FtpSession* s = nullptr;
  bool Open(const FtpSiteSettings& site, char slot = '1') {
    gSite = site;
    auto& h = FtpTestHost::Get();
    h.events.clear();
    CallF(kFtpOpen, intptr_t(h.window), intptr_t(&block), 0, slot, intptr_t(&h.winsockCount), 0, 0);
    if (!block) return false;
    s = FtpLibSessionOf(block);
    LPARAM lp = 0;
    for (DWORD waited = 0; waited < 60000; waited += 50) {
      if (h.WaitEvent(kFtpNotifyAttached, 50, &lp)) return true;
      if (h.WaitEvent(kFtpNotifyConnectFailed, 0, &lp)) {
        free(reinterpret_cast<void*>(lp));
        return false;
      }
    }
    return false;
  }
  void Close() {
    if (!block) return;
    CallF(kFtpClose, intptr_t(&block));
    for (int i = 0; i < 300 && block; i++) Sleep(50);
  }
  ~Connection() { Close(); }
};

struct Listed {
  std::string name;
  uint64_t size;
  uint32_t attributes;
  uint16_t date, time;
};
std::vector<Listed>* gListed;
void FTPCALL OnEntry(const char* name, uint16_t date, uint16_t time, uint32_t attr, uint32_t low, void*,
                     uint32_t high) {
  gListed->push_back({name, (uint64_t(high) << 32) | low, attr, date, time});
}
std::vector<Listed> List(void* block, const char* path = nullptr) {
  std::vector<Listed> out;
  gListed = &out;
  int r = CallF(kFtpList, intptr_t(path), intptr_t(block), intptr_t(&OnEntry), 0, 0);
  EXPECT_EQ(0, r);
  return out;
}
const Listed* Find(const std::vector<Listed>& l, const std::string& name) {
  for (auto& e : l)
    if (e.name == name) return &e;
  return nullptr;
}

int gAskState = 0;
uint64_t gAskOffset = ~0ull;
void FTPCALL Ask(FtpCopyItem* item, uint64_t offset) {
  gAskOffset = offset;
  item->job->state = gAskState;
}

struct Transfer {
  JobRecord job{};
  FtpCopyItem item{};
  FtpLocationHead src{}, dst{};
  Transfer(const std::string& source, const std::string& target, uint64_t size = 0) {
    snprintf(item.source, sizeof(item.source), "%s", source.c_str());
    snprintf(item.target, sizeof(item.target), "%s", target.c_str());
    item.job = &job;
    item.sourceSize = size;
    job.sourceLocation = reinterpret_cast<LocationNode*>(&src);
    job.targetLocation = reinterpret_cast<LocationNode*>(&dst);
  }
};

class FtpServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool installed = false;
    if (!installed) {
      FtpTestHost::Get().Install();
      gFtpSiteManager = &SiteHook;
      installed = true;
    }
  }
  void SetUp() override {
    ports = Ports();
    ASSERT_TRUE(ports.count("A")) << "servers not started";
    rootA = kState + "rootA\\";
    rootB = kState + "rootB\\";
    rootC = kState + "rootC\\";
    FtpTestHost::Get().ClearLog();
  }
  void TearDown() override {
    for (const char* name : {"up.bin", "down.bin", "resume.bin", "drop.bin", "busy.bin", "abort.bin",
                             "abort.bin.part", "big-up.bin", "ask.bin", "vs.bin", "lines.txt"})
      DeleteFileA(Temp(name).c_str());
    if (!HasFailure()) return;
    for (auto& l : FtpTestHost::Get().Log()) printf("  log: %s\n", l.c_str());
  }
  std::map<std::string, int> ports;
  std::string rootA, rootB, rootC;
};

TEST_F(FtpServer, ExportAnswersOnlyItsCodes) {
  HMODULE dll = LoadLibraryA("OSTREL.DLL");
  ASSERT_NE(nullptr, dll);
  auto entry = reinterpret_cast<FtpEntryProc>(GetProcAddress(dll, "f"));
  ASSERT_NE(nullptr, entry);
  intptr_t before[8] = {26, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(-1, entry(before));  // nothing before the handshake
  auto& h = FtpTestHost::Get();
  intptr_t init[8] = {1, intptr_t(&h.a), intptr_t(&h.seed), intptr_t(&h.b), 0, 0, intptr_t(h.window), intptr_t("t")};
  EXPECT_EQ(0x10100, entry(init));
  EXPECT_EQ(0x10100, entry(init));
  for (int code : {2, 4, 10, 20, 35, 36, 49, 1000, -5}) {
    intptr_t r[9] = {code, 0, 0, 0, 0, 0, 0, 0, -1};
    EXPECT_EQ(-1, entry(r)) << code;
  }
  intptr_t notConnection[8] = {31, intptr_t("x"), intptr_t(&h), 0, 0, 0, 0, 0};
  EXPECT_EQ(-1, entry(notConnection));
  char mode[8] = {};
  intptr_t fmt[8] = {42, intptr_t(mode), 0xA5A7, 0, 0, 0, 0, 0};
  entry(fmt);
  EXPECT_STREQ("L755", mode);
  void* none = nullptr;
  intptr_t close[8] = {25, intptr_t(&none), 0, 0, 0, 0, 0, 0};
  entry(close);
  EXPECT_EQ(nullptr, none);
  FreeLibrary(dll);
}

TEST_F(FtpServer, ListingParsedAndCached) {
  CreateDirectoryA((rootA + "list").c_str(), nullptr);
  CreateDirectoryA((rootA + "list\\Neuer Ordner").c_str(), nullptr);
  Spit(rootA + "list\\name with blanks.txt", "12345");
  Spit(rootA + "list\\plain", std::string(70000, 'x'));
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  ASSERT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/list"), intptr_t(c.block), 0));
  CutServerLog("A");
  auto l = List(c.block, "/list");
  ASSERT_EQ(4u, l.size());
  EXPECT_EQ("..", l[0].name);
  const Listed* dir = Find(l, "Neuer Ordner");
  ASSERT_NE(nullptr, dir);
  EXPECT_EQ(0x10u, dir->attributes & 0x10);
  const Listed* blanks = Find(l, "name with blanks.txt");
  ASSERT_NE(nullptr, blanks);
  EXPECT_EQ(5u, blanks->size);
  EXPECT_EQ(0x8000u, blanks->attributes & 0x8000);
  EXPECT_EQ(70000u, Find(l, "plain")->size);
  // A second listing of the same folder comes from the cache.
  List(c.block, "/list");
  EXPECT_EQ(1, Count(ServerLog("A"), "LIST"));
  // Invalidated: listed again.
  CallF(kFtpInvalidatePath, intptr_t(c.block), intptr_t("/list"));
  List(c.block, "/list");
  EXPECT_EQ(2, Count(ServerLog("A"), "LIST"));

  // Another folder than the current one is listed by name, and cached under
  // its own path.
  auto root = List(c.block, "/");
  EXPECT_NE(nullptr, Find(root, "list"));
  EXPECT_EQ(nullptr, Find(root, ".."));
  EXPECT_EQ(nullptr, Find(root, "plain"));
}

TEST_F(FtpServer, OtherListingStyles) {
  CreateDirectoryA((rootA + "dosstyle").c_str(), nullptr);
  Spit(rootA + "dosstyle\\.listing",
       "12-23-02  10:34PM       <DIR>          Docs\r\n"
       "12-23-02  12:05AM                 1234 late night.txt\r\n"
       "01-05-2024  09:00AM          5000000000 huge.bin\r\n");
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], false)));
  auto l = List(c.block, "/dosstyle");
  ASSERT_EQ(4u, l.size());
  EXPECT_EQ(0x10u, Find(l, "Docs")->attributes);
  EXPECT_EQ(FtpDosTime(0, 5, 0), Find(l, "late night.txt")->time);
  EXPECT_EQ(5000000000ull, Find(l, "huge.bin")->size);
}

void RoundTrip(Connection& c, const std::string& rootA, size_t size, unsigned seed) {
  std::string data = Random(size, seed);
  std::string local = Temp("up.bin");
  Spit(local, data);
  std::string name = "rt" + std::to_string(size) + ".bin";
  Transfer up(local, "/" + name);
  ASSERT_EQ(0, CallF(kFtpStore, intptr_t(&up.item), intptr_t(c.block), 0, 0)) << up.dst.text;
  ASSERT_EQ(data.size(), Slurp(rootA + name).size());
  EXPECT_TRUE(Slurp(rootA + name) == data);
  EXPECT_FALSE(Exists(rootA + name + ".part"));
  std::string back = Temp("down.bin");
  DeleteFileA(back.c_str());
  Transfer down("/" + name, back, size);
  ASSERT_EQ(0, CallF(kFtpRetrieve, intptr_t(&down.item), intptr_t(c.block), 0)) << down.src.text;
  EXPECT_TRUE(Slurp(back) == data);
  EXPECT_FALSE(Exists(back + ".part"));
  EXPECT_EQ(size, down.job.done);
}

TEST_F(FtpServer, PassiveTransfersKeepEveryByte) {
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  for (size_t size : {size_t(0), size_t(1), size_t(4097), size_t(1 << 20) + 3, size_t(64) << 20}) RoundTrip(c, rootA, size, 7);
}

TEST_F(FtpServer, ActiveTransfersKeepEveryByte) {
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], false)));
  for (size_t size : {size_t(3), size_t(300000), size_t(9) << 20}) RoundTrip(c, rootA, size, 11);
  EXPECT_GT(Count(ServerLog("A"), "PORT"), 0);
}

TEST_F(FtpServer, TextModeFollowsTheHostsChoice) {
  Spit(rootA + "lines.txt", "a\nb\n");
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  auto& h = FtpTestHost::Get();
  h.transferType = 'A';
  std::string local = Temp("lines.txt");
  DeleteFileA(local.c_str());
  Transfer t("/lines.txt", local, 4);
  int r = CallF(kFtpRetrieve, intptr_t(&t.item), intptr_t(c.block), 0);
  h.transferType = 'I';
  ASSERT_EQ(0, r);
  EXPECT_EQ("a\r\nb\r\n", Slurp(local));
  EXPECT_FALSE(h.LogHas("TYPE"));  // a new connection is in text mode already
}

TEST_F(FtpServer, ResumeAppendsAndDetectsAnotherFile) {
  std::string data = Random(200000, 3);
  Spit(rootA + "resume.bin", data);
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  std::string local = Temp("resume.bin");
  Spit(local, data.substr(0, 100000));
  CutServerLog("A");
  gAskState = 0;
  Transfer t("/resume.bin", local, data.size());
  ASSERT_EQ(0, CallF(kFtpRetrieve, intptr_t(&t.item), intptr_t(c.block), intptr_t(&Ask)));
  EXPECT_EQ(100000u, gAskOffset);
  EXPECT_TRUE(Slurp(local) == data);
  EXPECT_EQ(1, Count(ServerLog("A"), "REST 99488"));

  // A changed byte inside the compared 512: the whole file comes again.
  std::string other = data.substr(0, 150000);
  other[149900] ^= 0x55;
  Spit(local, other);
  CutServerLog("A");
  Transfer again("/resume.bin", local, data.size());
  ASSERT_EQ(0, CallF(kFtpRetrieve, intptr_t(&again.item), intptr_t(c.block), intptr_t(&Ask)));
  EXPECT_TRUE(FtpTestHost::Get().LogHas("Not the same file!"));
  EXPECT_TRUE(Slurp(local) == data);
  auto log = ServerLog("A");
  EXPECT_EQ(1, Count(log, "REST 149488"));
  EXPECT_EQ(2, Count(log, "RETR"));
  // The control connection is still in step after the ABOR.
  char dir[262] = {};
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(c.block), intptr_t(dir)));
  EXPECT_STREQ("/", dir);

  // A local file of 1024 bytes is never resumed; the answer "skip" keeps it.
  Spit(local, data.substr(0, 1024));
  Transfer small("/resume.bin", local, data.size());
  gAskState = 7;
  EXPECT_EQ(0, CallF(kFtpRetrieve, intptr_t(&small.item), intptr_t(c.block), intptr_t(&Ask)));
  EXPECT_EQ(0u, gAskOffset);
  EXPECT_EQ(1024u, Slurp(local).size());
  gAskState = 0;
}

// A download replaces its target only once all of it is written: a local
// write failure and a refused REST leave the old target as it was.
TEST_F(FtpServer, DownloadKeepsTheOldTargetUntilComplete) {
  std::string data = Random(300000, 9);
  Spit(rootA + "keep.bin", data);
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  auto& h = FtpTestHost::Get();
  std::string local = Temp("keep.bin");
  DeleteFileA((local + ".part").c_str());

  // The disk fills after 64 KiB although the server sends everything.
  Spit(local, "the old target");
  h.writeBudget = 65536;
  Transfer full("/keep.bin", local, data.size());
  EXPECT_NE(0, CallF(kFtpRetrieve, intptr_t(&full.item), intptr_t(c.block), 0));
  h.writeBudget = -1;
  EXPECT_EQ("the old target", Slurp(local));
  EXPECT_TRUE(h.LogHas("Cannot write"));

  // A resume the server refuses starts again in the side file; when that
  // fails as well, the old target keeps every byte.
  std::string prefix = data.substr(0, 100000);
  Spit(local, prefix);
  DeleteFileA((local + ".part").c_str());
  ASSERT_EQ(2, FtpLibCommand(c.s, "SITE NOREST"));
  CutServerLog("A");
  h.writeBudget = 150000;
  gAskState = 0;
  Transfer refused("/keep.bin", local, data.size());
  EXPECT_NE(0, CallF(kFtpRetrieve, intptr_t(&refused.item), intptr_t(c.block), intptr_t(&Ask)));
  h.writeBudget = -1;
  EXPECT_EQ(1, Count(ServerLog("A"), "REST"));
  EXPECT_TRUE(Slurp(local) == prefix);

  // With room again the same transfer completes and only then replaces it.
  Transfer again("/keep.bin", local, data.size());
  ASSERT_EQ(0, CallF(kFtpRetrieve, intptr_t(&again.item), intptr_t(c.block), intptr_t(&Ask)));
  EXPECT_TRUE(Slurp(local) == data);
  EXPECT_FALSE(Exists(local + ".part"));
  // The control connection is still in step.
  char dir[262] = {};
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(c.block), intptr_t(dir)));
}

TEST_F(FtpServer, DroppedTransferReconnectsAndResumes) {
  std::string data = Random(3 << 20, 5);
  Spit(rootA + "drop.bin", data);
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  ASSERT_EQ(2, FtpLibCommand(c.s, "SITE DROPAFTER 1000000"));
  CutServerLog("A");
  std::string local = Temp("drop.bin");
  DeleteFileA(local.c_str());
  Transfer t("/drop.bin", local, data.size());
  ASSERT_EQ(0, CallF(kFtpRetrieve, intptr_t(&t.item), intptr_t(c.block), 0)) << t.src.text;
  EXPECT_TRUE(Slurp(local) == data);
  auto log = ServerLog("A");
  EXPECT_EQ(2, Count(log, "RETR"));
  EXPECT_EQ(1, Count(log, "REST"));
  EXPECT_GE(Count(log, "USER"), 1);
}

TEST_F(FtpServer, SilenceTimesOutAndReconnects) {
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  c.s->timeout = 2;
  ASSERT_EQ(2, FtpLibCommand(c.s, "SITE SILENT"));
  DWORD t0 = GetTickCount();
  char dir[262];
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(c.block), intptr_t(dir)));
  DWORD ms = GetTickCount() - t0;
  EXPECT_GE(ms, 1500u);
  EXPECT_LT(ms, 15000u);
  EXPECT_TRUE(FtpTestHost::Get().LogHas("Connection timed out"));

  // An over-long line is cut at 4000 characters and its rest skipped.
  EXPECT_EQ(2, FtpLibCommand(c.s, "SITE LONGLINE"));
  EXPECT_STREQ("200 done", c.s->reply);
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(c.block), intptr_t(dir)));

  // A 421 answer leads to one reconnection and the command again.
  ASSERT_EQ(2, FtpLibCommand(c.s, "SITE SAY421"));
  CutServerLog("A");
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(c.block), intptr_t(dir)));
  EXPECT_EQ(1, Count(ServerLog("A"), "USER tester"));
}

TEST_F(FtpServer, BusyConnectionRefusesWithoutBreakingTheTransfer) {
  std::string data = Random(6 << 20, 9);
  Spit(rootC + "busy.bin", data);
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["C"], true)));
  std::string local = Temp("busy.bin");
  DeleteFileA(local.c_str());
  Transfer t("/busy.bin", local, data.size());
  int result = -2;
  std::thread worker([&] { result = CallF(kFtpRetrieve, intptr_t(&t.item), intptr_t(c.block), 0); });
  while (t.job.done == 0 && result == -2) Sleep(1);
  EXPECT_EQ(-1, CallF(kFtpDelete, intptr_t("x"), intptr_t(c.block)));
  worker.join();
  EXPECT_TRUE(FtpTestHost::Get().LogHas("Command in progress, ignored."));
  EXPECT_EQ(0, result);
  EXPECT_TRUE(Slurp(local) == data);
  EXPECT_EQ(0, c.s->operations);
}

TEST_F(FtpServer, AbortStopsTransferAndKeepsRepliesInStep) {
  std::string data = Random(16 << 20, 13);
  Spit(rootC + "abort.bin", data);
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["C"], true)));
  std::string local = Temp("abort.bin");
  DeleteFileA(local.c_str());
  Transfer t("/abort.bin", local, data.size());
  int result = -2;
  std::thread worker([&] { result = CallF(kFtpRetrieve, intptr_t(&t.item), intptr_t(c.block), 0); });
  while (t.job.done < 1000000 && result == -2) Sleep(1);
  CallF(kFtpAbort, intptr_t(c.block));
  worker.join();
  EXPECT_EQ(1, result);
  EXPECT_FALSE(Exists(local));  // nothing cut under the real name
  CutServerLog("C");
  char dir[262] = {};
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(c.block), intptr_t(dir)));
  EXPECT_STREQ("/", dir);
  EXPECT_EQ(0, Count(ServerLog("C"), "USER"));  // no reconnection was needed
  DeleteFileA((local + ".part").c_str());
}

TEST_F(FtpServer, FolderOperations) {
  CreateDirectoryA((rootA + "ops").c_str(), nullptr);
  CreateDirectoryA((rootA + "ops\\a").c_str(), nullptr);
  Spit(rootA + "ops\\file.txt", "abc");
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  ASSERT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/ops"), intptr_t(c.block), 0));
  CutServerLog("A");
  EXPECT_EQ(0, CallF(kFtpMakeDirs, intptr_t("a\\b\\c"), intptr_t(c.block)));
  EXPECT_TRUE(Exists(rootA + "ops\\a\\b\\c"));
  auto log = ServerLog("A");
  ASSERT_EQ(3, Count(log, "MKD"));
  EXPECT_EQ("MKD a/b/c", log[0]);
  EXPECT_EQ("MKD a/b", log[1]);
  EXPECT_EQ("MKD a/b/c", log[2]);
  EXPECT_EQ(0, c.s->operations);

  EXPECT_EQ(0, CallF(kFtpRemoveDir, intptr_t("file.txt"), intptr_t(c.block)));  // RMD refused, DELE
  EXPECT_FALSE(Exists(rootA + "ops\\file.txt"));
  EXPECT_EQ(0, CallF(kFtpRemoveDir, intptr_t("a/b/c"), intptr_t(c.block)));
  EXPECT_FALSE(Exists(rootA + "ops\\a\\b\\c"));

  Spit(rootA + "ops\\old.txt", "r");
  EXPECT_EQ(0, CallF(kFtpRename, intptr_t("old.txt"), intptr_t("new name.txt"), intptr_t(c.block)));
  EXPECT_TRUE(Exists(rootA + "ops\\new name.txt"));
  EXPECT_EQ(5, CallF(kFtpRename, intptr_t("missing"), intptr_t("x"), intptr_t(c.block)));
  EXPECT_EQ(0, CallF(kFtpDelete, intptr_t("new name.txt"), intptr_t(c.block)));
  EXPECT_EQ(5, CallF(kFtpDelete, intptr_t("new name.txt"), intptr_t(c.block)));

  // Chmod: sent only when a bit changes; read back from the listing.
  Spit(rootA + "ops\\mode.txt", "m");
  auto l = List(c.block, "/ops");
  uint32_t mode = Find(l, "mode.txt")->attributes & 0xFFFF;
  JobRecord job{};
  FtpLocationHead* head = static_cast<FtpLocationHead*>(c.block);
  job.sourceLocation = reinterpret_cast<LocationNode*>(head);
  snprintf(job.target, sizeof(job.target), "mode.txt");
  job.itemCount = 0x8000;
  job.itemInfo = 0x8000;
  CutServerLog("A");
  EXPECT_EQ(-1, CallF(kFtpChmod, intptr_t(&job), mode));
  EXPECT_EQ(0, Count(ServerLog("A"), "SITE"));
  job.itemInfo = 0x8000 | 0x0004 | 0x0080 | 0x0400;  // set: executable for all
  job.itemCount = 0x8000 | 0x0200;                  // clear: not writable for others
  EXPECT_EQ(0, CallF(kFtpChmod, intptr_t(&job), mode));
  EXPECT_EQ(1u, job.filesDone);
  CallF(kFtpInvalidateAll, intptr_t(c.block));
  l = List(c.block, "/ops");
  uint32_t now = Find(l, "mode.txt")->attributes;
  EXPECT_EQ(0x4u, now & 0x4);
  EXPECT_EQ(0x400u, now & 0x400);
  EXPECT_EQ(0u, now & 0x200);
}

TEST_F(FtpServer, ServerToServerCopy) {
  std::string data = Random(5 << 20, 21);
  Spit(rootA + "fxp.bin", data);
  DeleteFileA((rootB + "fxp copy.bin").c_str());
  Connection a, b;
  ASSERT_TRUE(a.Open(MakeSite(ports["A"], true), '1'));
  ASSERT_TRUE(b.Open(MakeSite(ports["B"], true), '2'));
  Transfer t("/fxp.bin", "/fxp copy.bin", data.size());
  EXPECT_EQ(0, CallF(kFtpServerCopy, intptr_t(&t.item), intptr_t(a.block), intptr_t(b.block)));
  EXPECT_TRUE(Slurp(rootB + "fxp copy.bin") == data);
  Transfer same("/fxp.bin", "/x.bin");
  EXPECT_EQ(-1, CallF(kFtpServerCopy, intptr_t(&same.item), intptr_t(a.block), intptr_t(a.block)));
  EXPECT_STREQ("FxP between same hosts not supported.", same.src.text);
  // Both connections still answer.
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(a.block), 0));
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(b.block), 0));
}

std::vector<std::vector<std::string>> FirewallSessions() {
  std::vector<std::vector<std::string>> sessions;
  std::istringstream in(Slurp(kState + "fw.log"));
  std::string l;
  while (std::getline(in, l)) {
    if (l == "CONNECT")
      sessions.emplace_back();
    else if (!sessions.empty() && l != "SYST" && l != "FEAT" && l != "OPTS UTF8 ON" && l != "PWD" &&
             l.compare(0, 3, "CWD") != 0 && l != "QUIT")
      sessions.back().push_back(l);
  }
  return sessions;
}

TEST_F(FtpServer, FirewallLogins) {
  const std::string target = "target:2121";
  struct Case {
    int type;
    std::vector<std::string> expect;
  } cases[] = {
      {1, {"USER me@" + target, "PASS secret"}},
      {2, {"USER fw", "PASS fwpw", "USER me@" + target, "PASS secret"}},
      {3, {"USER fw", "PASS fwpw", "SITE " + target, "USER me", "PASS secret"}},
      {4, {"USER fw", "PASS fwpw", "OPEN " + target, "USER me", "PASS secret"}},
      {5, {"USER me@fw@" + target, "PASS secret@fwpw"}},
      {6, {"USER fw@" + target, "PASS fwpw", "USER me", "PASS secret"}},
  };
  for (auto& k : cases) {
    Spit(kState + "fw.log", "");
    FtpSiteSettings s = MakeSite(0, true, "me", "secret");
    snprintf(s.host, sizeof(s.host), "%s", target.c_str());
    snprintf(s.fwHost, sizeof(s.fwHost), "127.0.0.1:%d", ports["FW"]);
    snprintf(s.fwUser, sizeof(s.fwUser), "fw");
    snprintf(s.fwPassword, sizeof(s.fwPassword), "fwpw");
    s.fwType = k.type;
    s.options |= 4;
    Connection c;
    EXPECT_TRUE(c.Open(s)) << "type " << k.type;
    c.Close();
    auto sessions = FirewallSessions();
    ASSERT_EQ(1u, sessions.size()) << "type " << k.type;
    EXPECT_EQ(k.expect, sessions[0]) << "type " << k.type;
  }
  EXPECT_FALSE(FtpTestHost::Get().LogHas("secret"));  // passwords are never logged
}

TEST_F(FtpServer, VsftpdListingAndDownload) {
  ASSERT_TRUE(ports.count("VS")) << "vsftpd did not start (start-servers.sh)";
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["VS"], true, "anonymous", "me@example.org")));
  auto l = List(c.block);
  const Listed* f = Find(l, "file one.txt");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(13u, f->size);
  ASSERT_NE(nullptr, Find(l, "sub"));
  EXPECT_EQ(0x10u, Find(l, "sub")->attributes & 0x10);
  std::string local = Temp("vs.bin");
  DeleteFileA(local.c_str());
  Transfer t("sub/data.bin", local, 5000);  // vsftpd without chroot: relative
  ASSERT_EQ(0, CallF(kFtpRetrieve, intptr_t(&t.item), intptr_t(c.block), 0));
  EXPECT_EQ(Slurp(kState + "rootVS\\sub\\data.bin"), Slurp(local));
}

TEST_F(FtpServer, RefusedConnectionRetriesTenTimes) {
  SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  bind(probe, (sockaddr*)&a, sizeof(a));
  int len = sizeof(a);
  getsockname(probe, (sockaddr*)&a, &len);
  closesocket(probe);  // a port that nobody listens on
  gSite = MakeSite(ntohs(a.sin_port), true);
  auto& h = FtpTestHost::Get();
  h.events.clear();
  void* block = nullptr;
  CallF(kFtpOpen, intptr_t(h.window), intptr_t(&block), 0, '3', intptr_t(&h.winsockCount), 0, 0);
  LPARAM lp = 0;
  ASSERT_TRUE(h.WaitEvent(kFtpNotifyConnectFailed, 60000, &lp));
  const char* text = reinterpret_cast<const char*>(lp);
  EXPECT_EQ('3', text[0]);
  EXPECT_STREQ(("All 10 retries failed. Connection to " + std::string(gSite.host) + " failed.").c_str(), text + 1);
  free(reinterpret_cast<void*>(lp));
  int retries = 0;
  for (auto& l : h.Log())
    if (l.find("Connection failed...Retrying") == 0) retries++;
  EXPECT_EQ(10, retries);
  CallF(kFtpClose, intptr_t(&block));
  for (int i = 0; i < 100 && block; i++) Sleep(50);
  EXPECT_EQ(nullptr, block);
}

// Target-folder listing as the host hands it to an upload: records of
// {u16 length, date, time, pad, u64 size, u16 attributes, pad, name at 24}.
std::string TargetListing(const std::vector<std::pair<std::string, uint16_t>>& entries) {
  std::string out;
  for (auto& e : entries) {
    std::string rec(24, '\0');
    rec += e.first;
    rec += '\0';
    uint16_t len = uint16_t(rec.size());
    memcpy(&rec[0], &len, 2);
    uint16_t date = 0x5021, time = 0x6000;
    memcpy(&rec[2], &date, 2);
    memcpy(&rec[4], &time, 2);
    uint64_t size = 1234;
    memcpy(&rec[8], &size, 8);
    memcpy(&rec[16], &e.second, 2);
    out += rec;
  }
  out += std::string(24, '\0');
  return out;
}

TEST_F(FtpServer, UploadAsksBeforeReplacingAndAbortLeavesNothing) {
  std::string local = Temp("ask.bin");
  Spit(local, Random(5000, 17));
  Spit(rootA + "exists.bin", "old");
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  std::string listing = TargetListing({{"folder", 0x10}, {"EXISTS.BIN", 0x20}});
  gAskState = 7;  // skip
  Transfer skip(local, "/exists.bin");
  EXPECT_EQ(0, CallF(kFtpStore, intptr_t(&skip.item), intptr_t(c.block), intptr_t(&Ask), intptr_t(listing.data())));
  EXPECT_EQ("old", Slurp(rootA + "exists.bin"));
  EXPECT_EQ(1234u, skip.item.targetSize);  // the entry's data was handed to the question
  EXPECT_EQ(0x5021, skip.item.targetDate);
  gAskState = 0;
  Transfer replace(local, "/exists.bin");
  EXPECT_EQ(0, CallF(kFtpStore, intptr_t(&replace.item), intptr_t(c.block), intptr_t(&Ask), intptr_t(listing.data())));
  EXPECT_EQ(Slurp(local), Slurp(rootA + "exists.bin"));
  CutServerLog("A");
  Transfer second(local, "/second.bin");
  EXPECT_EQ(0, CallF(kFtpStore, intptr_t(&second.item), intptr_t(c.block), 0, 0));
  EXPECT_EQ(0, Count(ServerLog("A"), "TYPE"));  // binary already: no TYPE again

  // An upload aborted half-way leaves neither the target nor its side file.
  Connection slow;
  ASSERT_TRUE(slow.Open(MakeSite(ports["C"], true), '2'));
  std::string big = Temp("big-up.bin");
  Spit(big, Random(16 << 20, 19));
  Transfer t(big, "/cut.bin");
  int result = -2;
  std::thread worker([&] { result = CallF(kFtpStore, intptr_t(&t.item), intptr_t(slow.block), 0, 0); });
  while (t.job.done < 1000000 && result == -2) Sleep(1);
  CallF(kFtpAbort, intptr_t(slow.block));
  worker.join();
  EXPECT_EQ(1, result);
  // The server drops the partial upload once it sees the data connection go.
  EXPECT_TRUE(WaitGone(rootC + "cut.bin"));
  EXPECT_TRUE(WaitGone(rootC + "cut.bin.part"));
  EXPECT_EQ(0, CallF(kFtpChangeDirSync, intptr_t("/"), intptr_t(slow.block), 0));
  DeleteFileA(big.c_str());
}

TEST_F(FtpServer, OpenThroughTheSiteManager) {
  auto& h = FtpTestHost::Get();
  const char* ini = h.iniPath.c_str();
  DeleteFileA(ini);
  char host[32], key[16];
  snprintf(host, sizeof(host), "ftp://127.0.0.1:%d", ports["A"]);
  char scrambled[200];
  ASSERT_TRUE(FtpScramblePassword("secret", FtpLibMakePasswordKey(), scrambled, sizeof(scrambled)));
  WritePrivateProfileStringA("FTP", "M1", "loopback", ini);
  WritePrivateProfileStringA("FTP", "H1", host, ini);
  WritePrivateProfileStringA("FTP", "U1", "tester", ini);
  WritePrivateProfileStringA("FTP", "W1", scrambled, ini);
  WritePrivateProfileStringA("FTP", "D1", "/", ini);
  snprintf(key, sizeof(key), "%d", kSiteStorePassword | kSitePassive);
  WritePrivateProfileStringA("FTP", "O1", key, ini);
  std::thread driver([] {
    HWND dlg = nullptr;
    for (int i = 0; i < 400 && !(dlg && IsWindowVisible(dlg)); i++) {
      dlg = FindOwnWindow("#32770", "FTP sites");
      Sleep(25);
    }
    if (dlg) PostMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  gFtpSiteManager = &FtpLibSiteManagerDialog;
  FtpOpenParams params = {"Zq Vandrell", nullptr, nullptr, nullptr};
  void* block = nullptr;
  h.events.clear();
  CallF(kFtpOpen, intptr_t(h.window), intptr_t(&block), 0, '4', intptr_t(&h.winsockCount), 1, intptr_t(&params));
  driver.join();
  gFtpSiteManager = &SiteHook;
  ASSERT_NE(nullptr, block);
  LPARAM lp = 0;
  ASSERT_TRUE(h.WaitEvent(kFtpNotifyAttached, 30000, &lp));
  EXPECT_EQ(LPARAM('4' | (1 << 8)), lp);
  FtpSession* s = FtpLibSessionOf(block);
  EXPECT_STREQ("127.0.0.1", s->hostName);  // "ftp://" dropped
  EXPECT_STREQ("secret", s->site.password);
  EXPECT_EQ(&s->site, params.siteSettings);
  char last[64];
  GetPrivateProfileStringA("Zq Vandrell", "FTP", "", last, sizeof(last), ini);
  EXPECT_STREQ("loopback", last);
  List(block);
  CallF(kFtpClose, intptr_t(&block));
  for (int i = 0; i < 100 && block; i++) Sleep(50);
  EXPECT_EQ(nullptr, block);
}

HANDLE gDone;
int gDonePanel;
std::string gDoneName;
int gAttachSlot;
void FTPCALL OnDone(int32_t panel, const char* name) {
  gDonePanel = panel;
  gDoneName = name;
  SetEvent(gDone);
}
void FTPCALL OnAttach(int32_t, int32_t slot) { gAttachSlot = slot; }

TEST_F(FtpServer, ThreadCommandsChangeFolderAndRunRawCommands) {
  CreateDirectoryA((rootA + "threads").c_str(), nullptr);
  CreateDirectoryA((rootA + "threads\\sub").c_str(), nullptr);
  Spit(rootA + "threads\\sub\\f.txt", "f");
  if (!gDone) gDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  CallF(kFtpChangeDirThread, intptr_t("/threads/sub"), 1, intptr_t(c.block), intptr_t(&OnDone));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gDone, 10000));
  EXPECT_EQ(1, gDonePanel);
  EXPECT_EQ("", gDoneName);  // into a folder: nothing to reselect
  char dir[300] = "x:";
  CallF(kFtpAppendRemoteDir, intptr_t(c.block), intptr_t(dir), sizeof(dir));
  EXPECT_STREQ("x:/threads/sub", dir);
  CallF(kFtpChangeDirThread, intptr_t(".."), 0, intptr_t(c.block), intptr_t(&OnDone));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gDone, 10000));
  EXPECT_EQ("sub", gDoneName);  // back up: the folder that was left
  char small[8] = "";
  CallF(kFtpAppendRemoteDir, intptr_t(c.block), intptr_t(small), sizeof(small));
  EXPECT_STREQ("/thread", small);  // bounded by the buffer

  CallF(kFtpGoTo, intptr_t(c.s), intptr_t("f.txt"), intptr_t("/threads/sub"), 1, intptr_t(&OnAttach),
        intptr_t(&OnDone));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gDone, 10000));
  EXPECT_EQ('1', gAttachSlot);
  EXPECT_EQ("f.txt", gDoneName);
  EXPECT_STREQ("/threads/sub", c.s->site.remoteDir);
  auto l = List(c.block);
  EXPECT_NE(nullptr, Find(l, "f.txt"));

  CallF(kFtpSetLocalPath, intptr_t(c.s), intptr_t("C:\\kept"));
  char kept[260] = "";
  CallF(kFtpGetLocalPath, intptr_t(c.s), intptr_t(kept));
  EXPECT_STREQ("C:\\kept", kept);

  // A raw command runs on its own thread; the disconnect waits for it.
  CutServerLog("A");
  CallF(kFtpRaw, 0, intptr_t(c.block), intptr_t("MKD rawdir"), 1);
  c.Close();
  EXPECT_EQ(nullptr, c.block);
  EXPECT_TRUE(Exists(rootA + "threads\\sub\\rawdir"));
  auto log = ServerLog("A");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ("MKD rawdir", log[0]);
  EXPECT_EQ("QUIT", log.back());
}

}  // namespace

namespace {

// The FTP Find window as a user meets it: created by command 45, driven
// by its commands, read back through its list view and status bar.
struct FindUi {
  HWND window = nullptr;
  HWND list() const { return GetDlgItem(window, 1000); }
  HWND mask() const { return GetDlgItem(window, 1001); }
  HWND status() const { return GetDlgItem(window, 1004); }
};

bool PumpFor(bool (*done)(void*), void* context, DWORD ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (done(context)) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return done(context);
}

bool SearchIdle(void* p) {
  HMENU menu = GetMenu(static_cast<FindUi*>(p)->window);
  return menu && !(GetMenuState(menu, 301, MF_BYCOMMAND) & MF_GRAYED) &&
         (GetMenuState(menu, 526, MF_BYCOMMAND) & MF_GRAYED);
}

bool RunSearch(FindUi& f, const char* mask) {
  SetWindowTextA(f.mask(), mask);
  CheckDlgButton(f.window, 10103, BST_CHECKED);
  CheckDlgButton(f.window, 11801, BST_UNCHECKED);
  SendMessageA(f.window, WM_COMMAND, 301, 0);
  return PumpFor(SearchIdle, &f, 30000);
}

std::string Cell(HWND list, int row, int column) {
  char text[600] = "";
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(row), LPARAM(&item));
  return text;
}

std::string StatusPart(HWND status, int part) {
  char text[512] = "";
  SendMessageA(status, SB_GETTEXTA, WPARAM(part), LPARAM(text));
  return text;
}

// Types `path` into the export's save dialog and presses Save.
void AnswerSave(HWND owner, const std::string& path, bool* answered) {
  HWND dialog = nullptr;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000 && !dialog; Sleep(20)) {
    dialog = FindOwnWindow("#32770", nullptr);
    if (dialog && (!IsWindowVisible(dialog) || GetWindow(dialog, GW_OWNER) != owner)) dialog = nullptr;
  }
  if (!dialog) return;
  // The Explorer-style dialog's name combo box, else the old-style edit.
  if (!SetDlgItemTextA(dialog, 1148, path.c_str()) && !SetDlgItemTextA(dialog, 1152, path.c_str())) return;
  *answered = true;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(dialog, IDOK)));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  EXPECT_EQ(at, text.size()) << "every line ends with CR LF";
  return lines;
}

std::string CsvField(const std::string& field) {
  if (field.find_first_of(";\"") == std::string::npos) return field;
  std::string out = "\"";
  for (char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string gGoneTo;
void FTPCALL GoTo(FtpSession*, const char* name, const char* folder) { gGoneTo = std::string(folder) + "|" + name; }

bool WindowGone(void*) { return FindOwnWindow("FTPFind", "FTP Find") == nullptr; }

}  // namespace

TEST_F(FtpServer, FindSearchesTheTreeNeverThroughLinksAndExportsEveryName) {
  Connection c;
  ASSERT_TRUE(c.Open(MakeSite(ports["A"], true)));
  const std::string folder = "/find" + std::to_string(GetCurrentProcessId());
  ASSERT_EQ(2, FtpLibCommand(c.s, "SITE FIXTURE find %s", folder.c_str())) << c.s->reply;
  FtpTestHost::Get().options = 0;
  CallF(kFtpFind, 0, 0, intptr_t(c.block), intptr_t(("1:" + folder).c_str()), 0, intptr_t(&GoTo), 0);
  FindUi f;
  f.window = FindOwnWindow("FTPFind", "FTP Find");
  ASSERT_NE(nullptr, f.window);
  CallF(kFtpFind, 0, 0, intptr_t(c.block), intptr_t(folder.c_str()), 0, intptr_t(&GoTo), 0);
  EXPECT_EQ(f.window, FindOwnWindow("FTPFind", "FTP Find")) << "one window per connection";

  // "loop" leads to its own folder and "sub dir/back" to its parent: a
  // search that entered links would not end, or would find files twice.
  ASSERT_TRUE(RunSearch(f, "*.txt"));
  // The server sends the name in UTF-8; the library hands it on in the
  // code page.
  WCHAR wide[16];
  char ansi[32] = "";
  MultiByteToWideChar(CP_UTF8, 0, "Gr\xc3\xbc\xc3\x9f" "e.txt", -1, wide, 16);
  WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
  const std::string ue = ansi;
  std::multiset<std::string> expected = {folder + "/a b.txt",        folder + "/x\"q.txt", folder + "/a<b>&c.txt",
                                         folder + "/semi;colon.txt", folder + "/" + ue,    folder + "/sub dir/deep.txt"};
  std::multiset<std::string> found;
  int rows = int(SendMessageA(f.list(), LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < rows; i++) found.insert(Cell(f.list(), i, 4) + "/" + Cell(f.list(), i, 0));
  EXPECT_EQ(expected, found);
  EXPECT_EQ("text 5501 6 text 5504, 21 text 5058", StatusPart(f.status(), 1));

  // Go to hands the focused hit's folder and name to the host.
  gGoneTo.clear();
  SendMessageA(f.window, WM_COMMAND, 324, 0);
  EXPECT_EQ(Cell(f.list(), 0, 4) + "|" + Cell(f.list(), 0, 0), gGoneTo);

  // Everything, folders and links too, into the three export files.
  ASSERT_TRUE(RunSearch(f, "*"));
  ASSERT_EQ(10, SendMessageA(f.list(), LVM_GETITEMCOUNT, 0, 0));
  auto mode = [&](const std::string& path) {
    FtpLibCommand(c.s, "SITE MODEOF %s", path.c_str());
    std::string r = c.s->reply;
    return r.size() > 5 ? r.substr(5) : r;  // "200 0644" -> "644"
  };
  const std::string fileMode = mode(folder + "/a b.txt"), dirMode = mode(folder + "/sub dir");
  ASSERT_EQ(3u, fileMode.size()) << fileMode;
  const char* date = "2020-01-02  00:00";
  struct Hit {
    std::string folder, name;
    char kind;  // f file, d folder, l link
    int size;
  } hits[] = {{folder, "a b.txt", 'f', 5},          {folder, "x\"q.txt", 'f', 3},
              {folder, "a<b>&c.txt", 'f', 1},       {folder, "semi;colon.txt", 'f', 2},
              {folder, ue, 'f', 4},                 {folder, "sub dir", 'd', 0},
              {folder, "loop", 'l', 0},             {folder + "/sub dir", "deep.txt", 'f', 6},
              {folder + "/sub dir", "other.dat", 'f', 7}, {folder + "/sub dir", "back", 'l', 0}};
  std::vector<std::string> text, csv, html;
  for (const Hit& h : hits) {
    std::string attr = h.kind == 'l' ? "L777" : h.kind == 'd' ? dirMode : fileMode;
    std::string size = h.kind == 'l' ? "<LINK>" : h.kind == 'd' ? "<DIR>" : std::to_string(h.size);
    std::string full = h.folder + "/" + h.name;
    char line[800];
    snprintf(line, sizeof line, "%6s%15s%20s   %s", attr.c_str(), size.c_str(), date, full.c_str());
    text.push_back(line);
    csv.push_back(attr + ";" + size + ";" + date + ";" + CsvField(full));
    std::string type = "LINK";
    if (h.kind != 'l') {
      SHFILEINFOA info = {};
      SHGetFileInfoA(h.name.c_str(), h.kind == 'd' ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                     sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME);
      type = info.szTypeName;
      ASSERT_FALSE(type.empty()) << h.name;
    }
    html.push_back("<TR><TD>" + Html(h.name) + "</TD><TD ALIGN=RIGHT>" + (h.kind == 'f' ? size : "") + "</TD><TD>" +
                   date + "</TD><TD>" + attr + "</TD><TD>" + Html(type) + "</TD><TD>" + Html(h.folder));
  }
  struct Export {
    int command;
    const char* extension;
    std::vector<std::string> head, body, tail;
  } exports[] = {
      {527, ".txt", {}, text, {}},
      {528, ".csv", {"text 4005;text 4003;text 4004;text 4002"}, csv, {}},
      {529, ".htm",
       {"<HTML>", "<BODY>", "<TABLE BORDER=1>",
        "<TR><TH>text 4002</TH><TH>text 4003</TH><TH>text 4004</TH><TH>text 4005</TH><TH>text 4001</TH>"
        "<TH>text 4029</TH></TR>"},
       html,
       {"</TABLE>", "</BODY>", "</HTML>"}},
  };
  const std::string base = Temp("find" + std::to_string(GetCurrentProcessId()));
  for (Export& e : exports) {
    std::string path = base + e.extension;
    DeleteFileA(path.c_str());
    bool answered = false;
    std::thread user([&] { AnswerSave(f.window, path, &answered); });
    SendMessageA(f.window, WM_COMMAND, WPARAM(e.command), 0);
    user.join();
    ASSERT_TRUE(answered) << e.extension;
    std::vector<std::string> lines = Lines(Slurp(path));
    DeleteFileA(path.c_str());
    ASSERT_EQ(e.head.size() + e.body.size() + e.tail.size(), lines.size()) << e.extension;
    std::vector<std::string> head(lines.begin(), lines.begin() + long(e.head.size()));
    std::vector<std::string> body(lines.begin() + long(e.head.size()), lines.end() - long(e.tail.size()));
    std::vector<std::string> tail(lines.end() - long(e.tail.size()), lines.end());
    EXPECT_EQ(e.head, head) << e.extension;
    EXPECT_EQ(e.tail, tail) << e.extension;
    // Hits come in the order the server lists a folder.
    std::sort(body.begin(), body.end());
    std::sort(e.body.begin(), e.body.end());
    EXPECT_EQ(e.body, body) << e.extension;
    WIN32_FIND_DATAA data;
    HANDLE left = FindFirstFileA((path + ".*").c_str(), &data);
    EXPECT_EQ(INVALID_HANDLE_VALUE, left) << "no temporary file is left";
    if (left != INVALID_HANDLE_VALUE) FindClose(left);
  }

  // Closing the connection closes its window first.
  CallF(kFtpClose, intptr_t(&c.block));
  EXPECT_TRUE(PumpFor(WindowGone, nullptr, 20000));
  struct Closed {
    static bool Done(void* block) { return *static_cast<void**>(block) == nullptr; }
  };
  EXPECT_TRUE(PumpFor(Closed::Done, &c.block, 20000));
}
