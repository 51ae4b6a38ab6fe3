// bench_editors hex FILE: the hex editor's open up to the first screen
// painted, then the move to the last page (its rows painted), in ms.
// bench_editors text FILE: the text editor's open up to its first paint,
// against a bare "Edit" control (as a Notepad-class window has) given the
// same text, in ms. One line on stdout each.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "AppState.h"
#include "tools/HexEditor.h"
#include "tools/TextEditor.h"

static double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)f.QuadPart;
}

static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static int Hex(const char *path) {
    double t0 = Now();
    HWND window = HexOpenWindow(path); // shown and painted before it returns
    double t1 = Now();
    if (!window)
        return 1;
    HWND control = GetDlgItem(window, kHexControlId);
    HexEdState *s = (HexEdState *)GetWindowLongPtrA(window, GWLP_USERDATA);
    double t2 = Now();
    SendMessageA(control, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0) | ((WPARAM)(s->maxTopRow & 0xFFFF) << 16),
                 0);
    // A thumb position is 16 bits in the message: set the row itself past that.
    if (s->topRow != s->maxTopRow) {
        s->topRow = s->maxTopRow;
        SetScrollPos(control, SB_VERT, s->topRow, TRUE);
        InvalidateRect(control, nullptr, FALSE);
    }
    UpdateWindow(control);
    double t3 = Now();
    printf("hex open + first screen %.0f ms, to the end %.1f ms (top row %ld of %lu bytes)\n", t1 - t0, t3 - t2,
           (long)s->topRow, (unsigned long)s->block.length);
    DestroyWindow(window);
    return 0;
}

static int Text(const char *path) {
    double t0 = Now();
    HWND window = EditCreateWindow(path, path, 2);
    if (!window)
        return 1;
    UpdateWindow(window);
    double t1 = Now();
    DestroyWindow(window);
    Pump();
    // The reference: the file's text handed to a plain Edit control.
    double t2 = Now();
    FILE *f = fopen(path, "rb");
    if (!f)
        return 1;
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    fclose(f);
    HWND plain = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                                    ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                                 0, 0, 640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(plain, EM_LIMITTEXT, 0, 0);
    SetWindowTextA(plain, bytes.c_str());
    ShowWindow(plain, SW_SHOW);
    UpdateWindow(plain);
    double t3 = Now();
    DestroyWindow(plain);
    printf("text open + first paint %.0f ms, plain Edit %.0f ms (%.2fx)\n", t1 - t0, t3 - t2,
           (t1 - t0) / (t3 - t2 > 0 ? t3 - t2 : 1));
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    gApp = (AppState *)calloc(1, sizeof(AppState));
    gApp->hInstance = GetModuleHandleA(nullptr);
    InitializeCriticalSection(&gApp->dialogListLock);
    if (!strcmp(argv[1], "hex"))
        return Hex(argv[2]);
    if (!strcmp(argv[1], "text"))
        return Text(argv[2]);
    return 2;
}
