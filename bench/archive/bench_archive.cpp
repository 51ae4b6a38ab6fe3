// Archive benchmark: lists an archive into a panel listing through the
// archive front end and the BRISAN.DLL stand-in (best of n runs), and
// unpacks it whole into a folder. Prints milliseconds; run.sh sets them
// against unzip on the same files.
// Usage: bench_archive list|unpack ARCHIVE [FOLDER] [RUNS]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "ArcLib.h"
#include "base/Memory.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/EntryBuild.h"

int main(int argc, char **argv) {
    if (argc < 3)
        return 2;
    gApp = (AppState *)calloc(1, sizeof(AppState));
    gApp->panelSort[0] = 0;
    int runs = argc > 4 ? atoi(argv[4]) : 3;
    if (!strcmp(argv[1], "list")) {
        DWORD best = 0xFFFFFFFF;
        uint32_t count = 0;
        for (int i = 0; i < runs; ++i) {
            DirListing listing = {};
            DWORD start = GetTickCount();
            LocationNode *node = ArcOpenArchive(argv[2], &listing, gApp->archivePassword);
            // Every level, as a user opening each folder would meet it, is
            // one listing; the root of a flat archive holds all members.
            DWORD took = GetTickCount() - start;
            if (!node)
                return 1;
            count = listing.entryCount;
            DirListingFree(&listing);
            MemFree(&node);
            if (took < best)
                best = took;
        }
        printf("list %s: %u entries, best %lu ms\n", argv[2], count, (unsigned long)best);
        return 0;
    }
    if (!strcmp(argv[1], "unpack") && argc > 3) {
        volatile uint32_t cancel = 0;
        uintptr_t args[8] = {0, (uintptr_t)argv[2], (uintptr_t)argv[3], 1, kArcFormatZip, (uintptr_t)&cancel,
                             (uintptr_t)gApp->archivePassword, 0};
        DWORD start = GetTickCount();
        intptr_t r = ArcSendCommandEx(kArcUnpackAll, args);
        printf("unpack %s: result %d, %lu ms\n", argv[2], (int)r, (unsigned long)(GetTickCount() - start));
        return r == 0 ? 0 : 1;
    }
    return 2;
}
