// Loopback throughput of OSTREL: one download and one upload of the file
// that run-bench.sh prepared, through the export's commands 39 and 40.
//   ftplib_bench port remote-name local-download local-upload [remote-upload [user [password]]]
// Prints one line per direction: "<direction> <bytes> <seconds> <MiB/s>".
#include <stdio.h>

#include <string>

#include "FtpInternal.h"
#include "FtpTestHost.h"

namespace {

FtpSiteSettings gSite;
int SiteHook(HWND, FtpOpenParams*, FtpSiteSettings* s) {
  *s = gSite;
  return 1;
}

double Seconds(DWORD ms) { return ms / 1000.0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: ftplib_bench port remote-name local-download local-upload [remote-upload [user "
                    "[password]]]\n");
    return 2;
  }
  auto& h = FtpTestHost::Get();
  h.Install();
  gFtpSiteManager = &SiteHook;
  snprintf(gSite.sessionName, sizeof(gSite.sessionName), "bench");
  snprintf(gSite.host, sizeof(gSite.host), "127.0.0.1:%s", argv[1]);
  snprintf(gSite.user, sizeof(gSite.user), "%s", argc > 6 ? argv[6] : "tester");
  snprintf(gSite.password, sizeof(gSite.password), "%s", argc > 7 ? argv[7] : "secret");
  gSite.options = 8;
  void* block = nullptr;
  CallF(kFtpOpen, intptr_t(h.window), intptr_t(&block), 0, '1', intptr_t(&h.winsockCount), 0, 0);
  if (!block || !h.WaitEvent(kFtpNotifyAttached, 30000)) {
    fprintf(stderr, "connect failed\n");
    return 1;
  }
  JobRecord job{};
  FtpLocationHead src{}, dst{};
  job.sourceLocation = reinterpret_cast<LocationNode*>(&src);
  job.targetLocation = reinterpret_cast<LocationNode*>(&dst);
  FtpCopyItem down{};
  snprintf(down.source, sizeof(down.source), "%s", argv[2]);
  snprintf(down.target, sizeof(down.target), "%s", argv[3]);
  down.job = &job;
  DeleteFileA(down.target);
  DWORD t0 = GetTickCount();
  int r = CallF(kFtpRetrieve, intptr_t(&down), intptr_t(block), 0);
  DWORD t1 = GetTickCount();
  double bytes = double(job.done);
  printf("download %.0f %.3f %.1f%s\n", bytes, Seconds(t1 - t0), bytes / 1048576.0 / Seconds(t1 - t0 ? t1 - t0 : 1),
         r ? " FAILED" : "");

  JobRecord job2{};
  job2.sourceLocation = reinterpret_cast<LocationNode*>(&src);
  job2.targetLocation = reinterpret_cast<LocationNode*>(&dst);
  FtpCopyItem up{};
  snprintf(up.source, sizeof(up.source), "%s", argv[4]);
  snprintf(up.target, sizeof(up.target), "%s", argc > 5 ? argv[5] : "/bench-up.bin");
  up.job = &job2;
  t0 = GetTickCount();
  r = CallF(kFtpStore, intptr_t(&up), intptr_t(block), 0, 0);
  t1 = GetTickCount();
  bytes = double(job2.done);
  printf("upload %.0f %.3f %.1f%s\n", bytes, Seconds(t1 - t0), bytes / 1048576.0 / Seconds(t1 - t0 ? t1 - t0 : 1),
         r ? " FAILED" : "");
  CallF(kFtpClose, intptr_t(&block));
  for (int i = 0; i < 100 && block; i++) Sleep(50);
  return 0;
}
