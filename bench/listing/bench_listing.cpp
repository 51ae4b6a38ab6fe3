// bench_listing <folder> [rounds]: times, in the same run and alternating,
// (a) a bare FindFirstFileA/FindNextFileA loop over the folder and (b)
// DirReadEntries with the name sort (and the other sort keys), and prints
// the best and median of each.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "panels/DirRead.h"

static double Now() {
    static LARGE_INTEGER f;
    if (!f.QuadPart) QueryPerformanceFrequency(&f);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static unsigned BareLoop(const char* folder) {
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%s\\*.*", folder);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    unsigned n = 0;
    do n++;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

static unsigned Listing(const char* folder, int key) {
    DirReadOptions o{};
    o.showHidden = 1;
    o.sortKey = key;
    DirListing l{};
    if (DirReadEntriesWith(folder, &l, &o)) return 0;
    unsigned n = l.entryCount;
    DirListingFree(&l);
    return n;
}

static void Report(const char* what, std::vector<double>& t, double base) {
    std::sort(t.begin(), t.end());
    double med = t[t.size() / 2];
    printf("  %-26s best %7.3f s  median %7.3f s", what, t[0], med);
    if (base > 0) printf("  (%.2fx the bare loop's median)", med / base);
    printf("\n");
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_listing <folder> [rounds]\n");
        return 2;
    }
    const char* folder = argv[1];
    int rounds = argc > 2 ? atoi(argv[2]) : 5;
    std::vector<double> bare, byName, byExt, byDate, bySize, unsorted;
    unsigned found = 0, listed = 0;
    BareLoop(folder);  // warm the directory cache for both sides alike
    for (int r = 0; r < rounds; r++) {
        double t0 = Now();
        found = BareLoop(folder);
        double t1 = Now();
        listed = Listing(folder, kSortName);
        double t2 = Now();
        bare.push_back(t1 - t0);
        byName.push_back(t2 - t1);
    }
    for (int r = 0; r < (rounds + 1) / 2; r++) {
        double t0 = Now();
        Listing(folder, kSortExt);
        double t1 = Now();
        Listing(folder, kSortDate);
        double t2 = Now();
        Listing(folder, kSortSize);
        double t3 = Now();
        Listing(folder, kSortNone);
        double t4 = Now();
        byExt.push_back(t1 - t0), byDate.push_back(t2 - t1), bySize.push_back(t3 - t2);
        unsorted.push_back(t4 - t3);
    }
    // The sort alone, once through sort keys and once with a CompareStringA
    // call per comparison (what the sort would cost without the keys).
    double sortKeys = 0, sortCompare = 0;
    {
        DirReadOptions o{};
        o.showHidden = 1;
        o.sortKey = kSortNone;
        DirListing l{};
        if (DirReadEntriesWith(folder, &l, &o) == 0) {
            double t0 = Now();
            PanelSortKeyEntriesWith(&l, kSortName, 0, SortKeysBySystemKeys);
            double t1 = Now();
            PanelSortKeyEntriesWith(&l, kSortName, 0, SortKeysByCompare);
            double t2 = Now();
            sortKeys = t1 - t0, sortCompare = t2 - t1;
        }
        DirListingFree(&l);
    }
    printf("%s: %u names found, %u entries listed\n", folder, found, listed);
    printf("  sort by name alone: %.3f s through sort keys, %.3f s with CompareStringA per comparison\n",
           sortKeys, sortCompare);
    std::sort(bare.begin(), bare.end());
    double base = bare[bare.size() / 2];
    Report("bare FindFirst/FindNext", bare, 0);
    Report("read + sort by name", byName, base);
    Report("read + sort by extension", byExt, base);
    Report("read + sort by date", byDate, base);
    Report("read + sort by size", bySize, base);
    Report("read, no sort", unsorted, base);
    return 0;
}
