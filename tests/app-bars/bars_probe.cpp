// Drives the drive bar for the shell tests: reads commands from stdin and
// answers on stdout.
//   list      rescan the drives, then one line per drive button:
//             "<letter or id> kind=<k> drop=<0|1> x=<x> y=<y>", then "end"
//   mask      the logical-drive mask in hex
//   shot      lay out and show everything, then "ready"
//   quit
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AppState.h"
#include "app/bars/Bars.h"
#include "app/bars/DriveBar.h"
#include "wingui/GuiDraw.h"
#include "base/SettingsValues.h"

static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && gApp) {
        RECT r;
        GetClientRect(window, &r);
        gApp->clientWidth = (int16_t)r.right;
        gApp->clientHeight = (int16_t)r.bottom;
        BarsLayout();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    gApp = (AppState *)calloc(1, sizeof(AppState));
    gApp->hInstance = GetModuleHandleA(nullptr);
    gApp->barOptions = argc > 1 ? (uint16_t)atoi(argv[1]) : kBarDrives;
    gApp->generalOptions = kGenHelp;
    IniParseToolbar("", gApp->toolbarButtons, &gApp->toolbarButtonSize);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = gApp->hInstance;
    wc.lpszClassName = "BarsProbe";
    wc.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
    RegisterClassA(&wc);
    HWND main = CreateWindowExA(0, "BarsProbe", "probe", WS_POPUP | WS_VISIBLE, 0, 0, 600, 200, nullptr, nullptr,
                                gApp->hInstance, nullptr);
    gMainWindow = main;
    FontInitGui(main);
    BarsCreate(main);
    SendMessageA(main, WM_SIZE, 0, 0);
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        if (!strncmp(line, "quit", 4))
            break;
        if (!strncmp(line, "list", 4)) {
            DriveBarRefresh(false);
            Pump();
            SendMessageA(main, WM_SIZE, 0, 0);
            Pump();
            for (int i = 0; i < kDriveCount; i++) {
                HWND b = gDriveBars[0].slots[i].button;
                if (!b)
                    continue;
                RECT r;
                GetWindowRect(b, &r);
                MapWindowPoints(nullptr, gDriveBars[0].window, (POINT *)&r, 2);
                bool drop = (GetWindowLongA(b, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
                if (i < 26)
                    printf("%c", 'A' + i);
                else
                    printf("%d", i);
                printf(" kind=%u drop=%d x=%ld y=%ld id=%d\n", gApp->drives[i].kind, drop ? 1 : 0, r.left, r.top,
                       GetDlgCtrlID(b));
            }
            printf("end\n");
        } else if (!strncmp(line, "mask", 4)) {
            printf("%08lx\n", (unsigned long)GetLogicalDrives());
        } else if (!strncmp(line, "shot", 4)) {
            InvalidateRect(main, nullptr, TRUE);
            UpdateWindow(main);
            for (int i = 0; i < 10; i++) {
                Pump();
                Sleep(30);
            }
            printf("ready\n");
        }
        fflush(stdout);
    }
    DestroyWindow(main);
    return 0;
}
