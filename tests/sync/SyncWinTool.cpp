// The synchronisation through the program's Win32 file plug and the copy
// job's file copy, driven from the command line for the tree tests under
// Wine:
//   sync_win_tool compare <left> <right> <options>   prints the lines
//   sync_win_tool run <left> <right> <options>       compares, then copies every line
// The left folder is the source. Exit code 0, or 1 when a line failed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <memory>

#include "AppState.h"
#include "fileops/SyncWindow.h"

namespace {

// Forwards every call to the program's plug and prints or keeps the lines.
struct Printing : SyncIo {
    std::unique_ptr<SyncIo> win{SyncMakeWinIo()};
    bool print = false;
    std::vector<SyncLine> lines;
    uint32_t Scan(const std::string &f, std::vector<SyncEntry> *e) override { return win->Scan(f, e); }
    uint32_t OpenRead(const std::string &p, SyncHandle *h) override { return win->OpenRead(p, h); }
    uint32_t Read(SyncHandle h, void *b, size_t n, size_t *got) override { return win->Read(h, b, n, got); }
    void Close(SyncHandle h) override { win->Close(h); }
    std::string ErrorText(uint32_t e) override { return win->ErrorText(e); }
    uint32_t Stat(const std::string &p, SyncEntry *e) override { return win->Stat(p, e); }
    uint32_t MakeDirs(const std::string &p) override { return win->MakeDirs(p); }
    uint32_t CopyFile(const std::string &s, const std::string &t, bool n) override { return win->CopyFile(s, t, n); }
    void Emit(const SyncLine &line) override
    {
        if (print)
            printf("%s\n", line.text.c_str());
        else
            lines.push_back(line);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: sync_win_tool compare|run <left> <right> <options>\n");
        return 2;
    }
    gApp = (AppState *)calloc(1, sizeof(AppState));
    Printing io;
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
            printf("failed: %s  %s\n", line.text.c_str(), io.ErrorText(error).c_str());
            failed = 1;
        } else if (r == kSyncNewerKept) {
            printf("kept: %s\n", line.text.c_str());
        } else if (r == kSyncDone) {
            printf("done: %s\n", line.text.c_str());
        }
    }
    return failed;
}
