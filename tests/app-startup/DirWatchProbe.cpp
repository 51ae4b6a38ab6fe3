// Watches a folder like the main window's clock tick does (one poll a
// second) and reports the tick at which a change was seen. The shell test
// changes the folder from Linux after "ready".
#include <stdio.h>
#include <windows.h>

#include "app/DirWatch.h"

int main(int argc, char **argv) {
    if (argc < 2)
        return 2;
    HANDLE watch = INVALID_HANDLE_VALUE;
    if (DirWatchOpen(argv[1], &watch) == INVALID_HANDLE_VALUE) {
        printf("cannot watch %s\n", argv[1]);
        return 2;
    }
    printf("ready\n");
    fflush(stdout);
    for (int tick = 1; tick <= 5; tick++) {
        Sleep(1000);
        if (DirWatchPoll(&watch)) {
            printf("signalled at tick %d\n", tick);
            fflush(stdout);
            DirWatchClose(&watch);
            return 0;
        }
    }
    printf("no signal\n");
    DirWatchClose(&watch);
    return 1;
}
