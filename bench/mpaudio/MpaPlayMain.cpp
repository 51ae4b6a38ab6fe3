// mpaplay: plays an MPEG audio file through the player (waveOut) and
// reports the process CPU time playing took against the CPU time of
// decoding the same file alone.
//   mpaplay file
#include "Mp3Player.h"
#include "MpaStream.h"

#include <stdio.h>

#include <vector>

static double CpuSeconds() {
    FILETIME c, e, k, u;
    GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
    ULARGE_INTEGER kk, uu;
    kk.LowPart = k.dwLowDateTime;
    kk.HighPart = k.dwHighDateTime;
    uu.LowPart = u.dwLowDateTime;
    uu.HighPart = u.dwHighDateTime;
    return (double)(kk.QuadPart + uu.QuadPart) / 1e7;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: mpaplay file\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> data;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        data.insert(data.end(), buf, buf + n);
    fclose(f);

    MpaStreamOptions opt;
    opt.discardOutput = true;
    double t0 = CpuSeconds();
    MpaStreamResult r = MpaDecodeBuffer(data.data(), data.size(), opt, nullptr);
    double decode = CpuSeconds() - t0;
    if (!r.ok) {
        fprintf(stderr, "no stream in %s\n", argv[1]);
        return 1;
    }

    Mp3Player* player = nullptr;
    t0 = CpuSeconds();
    DWORD wall = GetTickCount();
    Mp3Start(nullptr, &player, argv[1]);
    if (!player) {
        fprintf(stderr, "the player did not start\n");
        return 1;
    }
    while (!Mp3IsFinished(player))
        Sleep(100);
    uint32_t percent = Mp3GetPercent(player);
    Mp3WaitEnd(&player, 10000);
    double play = CpuSeconds() - t0;
    printf("%ld frames: decode %.2f s CPU, play %.2f s CPU (%.1f s wall, ended at %u %%), ratio %.2f\n", r.frames,
           decode, play, (GetTickCount() - wall) / 1000.0, percent, decode > 0 ? play / decode : 0.0);
    return percent == 100 ? 0 : 1;
}
