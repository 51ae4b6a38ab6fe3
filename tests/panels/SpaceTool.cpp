// Occupied space of one folder tree, for the comparison with Python's
// os.walk: space_tool <folder> <cluster size>
// prints "folders files bytes allocated links unreadable".
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "AppState.h"
#include "panels/SpaceCount.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: space_tool <folder> <cluster size>\n");
        return 2;
    }
    gApp = (AppState *)calloc(1, sizeof(AppState));
    SpaceStats stats = {};
    stats.clusterSize = (uint32_t)strtoul(argv[2], nullptr, 10);
    SpaceCountFolder(argv[1], &stats);
    printf("%u %u %llu %llu %u %u\n", stats.folderCount, stats.fileCount, (unsigned long long)stats.bytes,
           (unsigned long long)stats.allocatedBytes, stats.linksNotEntered, stats.unreadableFolders);
    return 0;
}
