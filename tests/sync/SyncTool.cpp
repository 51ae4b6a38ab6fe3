// Command-line driver of the synchronisation over POSIX folders, for the
// tree tests against diff and for the benchmark:
//   synctool compare <left> <right> <options>   prints the lines
//   synctool run <left> <right> <options>       compares, then copies every line
// The left folder is the source. Exit code 0, or 1 when a line failed.
#include <stdio.h>
#include <stdlib.h>

#include "tests/sync/PosixSyncIo.h"

int main(int argc, char **argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: synctool compare|run <left> <right> <options>\n");
        return 2;
    }
    struct QuietIo : PosixSyncIo {
        bool print = false;
        void Emit(const SyncLine &line) override
        {
            if (print)
                printf("%s\n", line.text.c_str());
            else
                lines.push_back(line);
        }
    } io;
    io.print = !strcmp(argv[1], "compare");
    SyncCompareJob job;
    job.source = argv[2];
    job.target = argv[3];
    job.options = (uint16_t)strtoul(argv[4], nullptr, 0);
    SyncCompare(io, job, SyncTexts());
    if (io.print)
        return 0;
    int failed = 0;
    for (const SyncLine &line : io.lines) {
        uint32_t error = 0;
        SyncLineResult r = SyncRunLine(io, job, line, &error);
        if (r == kSyncFailed) {
            printf("failed: %s  %s\n", line.text.c_str(), strerror((int)error));
            failed = 1;
        } else if (r == kSyncNewerKept) {
            printf("kept: %s\n", line.text.c_str());
        } else if (r == kSyncDone) {
            printf("done: %s\n", line.text.c_str());
        }
    }
    return failed;
}
