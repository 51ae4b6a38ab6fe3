// mpaplay: plays an MPEG audio file through the player (waveOut) and
// reports the CPU time of the playback thread, and of the whole process
// (the system's audio threads included), against the CPU time of decoding
// the same file alone.
//   mpaplay file
#include "ProcessCpu.h"
#include "Mp3Player.h"
#include "MpaStream.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

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

    // Decoding alone: the median of three runs, as a shared machine makes
    // any single run slower now and then.
    MpaStreamOptions opt;
    opt.discardOutput = true;
    MpaStreamResult r;
    double runs[3];
    for (double& run : runs) {
        double start = ProcessCpuSeconds();
        r = MpaDecodeBuffer(data.data(), data.size(), opt, nullptr);
        run = ProcessCpuSeconds() - start;
    }
    std::sort(runs, runs + 3);
    double decode = runs[1];
    double t0;
    if (!r.ok) {
        fprintf(stderr, "no stream in %s\n", argv[1]);
        return 1;
    }

    Mp3Player* player = nullptr;
    t0 = ProcessCpuSeconds();
    DWORD wall = GetTickCount();
    Mp3Start(nullptr, &player, argv[1]);
    if (!player) {
        fprintf(stderr, "the player did not start\n");
        return 1;
    }
    // Sampled while the thread runs: Wine gives no times for an ended one.
    double thread = 0;
    while (!Mp3IsFinished(player)) {
        double t = Mp3ThreadCpuSeconds(player);
        thread = t > thread ? t : thread;
        Sleep(100);
    }
    uint32_t percent = Mp3GetPercent(player);
    Mp3WaitEnd(&player, 10000);
    double process = ProcessCpuSeconds() - t0;
    printf("%ld frames: decode %.2f s CPU; playback thread %.2f s CPU (ratio %.2f); whole process while playing "
           "%.2f s CPU (%.1f s wall, ended at %u %%)\n",
           r.frames, decode, thread, decode > 0 ? thread / decode : 0.0, process, (GetTickCount() - wall) / 1000.0,
           percent);
    return percent == 100 ? 0 : 1;
}
