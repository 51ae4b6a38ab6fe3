// bench_panels <folder> <file to touch>: opens the folder in a panel with
// the refresh thread running and prints
//   first paint: from creating the panel to the first painted list,
//   refresh: from changing one file to the new list installed (the change
//     watch is polled every 10 ms, so the figure is the re-read itself),
//   re-read: PanelReread of the same folder with marks carried, for 1/2
//     and all of the entries marked (the carry-over must stay linear).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "app/DirWatch.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelNav.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelWindow.h"
#include "wingui/WindowUtil.h"

static bool gPainted;

static LRESULT CALLBACK MainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SIZE) {
        PanelRelayoutAll();
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_PAINT && msg.hwnd == gApp->panels[0].listWindow && PanelListCount(0) > 1)
            gPainted = true;
        DispatchMessageA(&msg);
    }
}

static double Ms(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
    return (double)(b.QuadPart - a.QuadPart) * 1000.0 / (double)f.QuadPart;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: bench_panels <folder> <file to touch>\n");
        return 2;
    }
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    gApp = (AppState *)calloc(1, sizeof(AppState));
    gApp->hInstance = GetModuleHandleA(nullptr);
    gApp->panelOptions = kPanelShowTitle;
    gApp->barOptions = kBarDrives;
    gApp->panelFilter[0].allowedAttributes = gApp->panelFilter[1].allowedAttributes = 55;
    gApp->changeNotify[0] = gApp->changeNotify[1] = INVALID_HANDLE_VALUE;
    strncpy(gApp->panelPath[0], argv[1], 259);
    strcpy(gApp->panelPath[1], "T:\\");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = gApp->hInstance;
    wc.lpszClassName = "BenchMain";
    RegisterClassA(&wc);
    QueryPerformanceCounter(&t0);
    gMainWindow = CreateWindowA("BenchMain", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 900, 600, nullptr, nullptr,
                                gApp->hInstance, nullptr);
    for (int p = 0; p < 2; p++)
        PanelCreateWindows(gMainWindow, p);
    PanelRelayoutAll();
    gApp->isWinNT = AppIsWinNt(); // as the main window has it: the refresh thread asks for the shares
    PanelRefreshStart();
    while (!gPainted) {
        Pump();
        Sleep(1);
    }
    UpdateWindow(gApp->panels[0].listWindow);
    QueryPerformanceCounter(&t1);
    uint32_t n = PanelListCount(0);
    printf("entries: %u\nfirst paint: %.0f ms\n", n, Ms(t0, t1, freq));

    DirWatchOpen(gApp->panelPath[0], &gApp->changeNotify[0]);
    Sleep(500);
    Pump();
    uint32_t before = gPanelLists[0].generation.load();
    QueryPerformanceCounter(&t0);
    HANDLE h = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD done;
    SetFilePointer(h, 0, nullptr, FILE_END);
    WriteFile(h, "x", 1, &done, nullptr);
    CloseHandle(h);
    while (gPanelLists[0].generation.load() == before) {
        if (DirWatchPoll(&gApp->changeNotify[0]))
            PanelRequestReread(0);
        Pump();
        Sleep(10);
    }
    QueryPerformanceCounter(&t1);
    printf("refresh after one file changed: %.0f ms\n", Ms(t0, t1, freq));

    PanelRefreshStop();
    Pump();
    const char *labels[] = {"none", "half", "all"};
    for (int k = 0; k < 3; k++) {
        PanelMarkGroup(0, kMarkClear, true, nullptr);
        if (k == 2)
            PanelMarkGroup(0, kMarkSet, true, nullptr);
        if (k == 1) {
            PanelIter it;
            for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it))
                if (it.position & 1)
                    e->mark = 1;
            PanelIterEnd(&it);
        }
        QueryPerformanceCounter(&t0);
        PanelReread(0, 1);
        QueryPerformanceCounter(&t1);
        printf("re-read with marks carried (%s marked): %.0f ms, %u marked after\n", labels[k], Ms(t0, t1, freq),
               PanelCountMarked(0));
    }
    return 0;
}
