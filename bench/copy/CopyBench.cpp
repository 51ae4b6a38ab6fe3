// copy_bench job|copyfile <source folder> <target folder>
// Copies every file of the source folder (flat) into the target folder,
// either through the copy job's worker or with CopyFileA, and prints the
// seconds it took.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/CopyJob.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"

static double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: copy_bench job|copyfile <source> <target>\n");
        return 2;
    }
    gApp = (AppState *)calloc(1, sizeof(AppState));
    gApp->hInstance = GetModuleHandleA(nullptr);
    gApp->langTable = BuiltinLanguageTables[kBuiltinEnglish];
    std::string src = argv[2], dst = argv[3];
    CreateDirectoryA(dst.c_str(), nullptr);

    // The listing is part of both runs: the job lists too.
    double start = Now();
    SelectionBuilder b;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((src + "\\*").c_str(), &fd);
    uint32_t n = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            uint64_t size = ((uint64_t)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
            if (!strcmp(argv[1], "copyfile")) {
                if (!CopyFileA((src + "\\" + fd.cFileName).c_str(), (dst + "\\" + fd.cFileName).c_str(), FALSE)) {
                    fprintf(stderr, "CopyFileA failed: %lu\n", GetLastError());
                    return 1;
                }
            } else {
                SelListAppend(&b, fd.cFileName, 0, 0, size, (uint16_t)fd.dwFileAttributes, n);
            }
            n++;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    if (!strcmp(argv[1], "job")) {
        JobRecord job = {};
        job.jobCode = kJobCodeCopy;
        lstrcpynA(job.sourceDir, src.c_str(), sizeof job.sourceDir);
        lstrcpynA(job.target, dst.c_str(), sizeof job.target);
        job.selection = SelListRelease(&b);
        job.workers = 1;
        CopyJobThread(&job);
        if (job.state != 0 || job.filesDone != n) {
            fprintf(stderr, "job failed: state %d, %lu of %u files\n", (int)job.state,
                    (unsigned long)job.filesDone, n);
            return 1;
        }
        free(job.selection);
    }
    printf("%s %u files %.3f s\n", argv[1], n, Now() - start);
    return 0;
}
