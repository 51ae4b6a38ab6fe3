#pragma once
// The file compare window: two text files side by side, every line with its
// number, the number of its counterpart and its status colour. It compares
// again by itself when either file changes on disk.
//
// Ownership: the compare thread works on a result of its own and hands it
// over complete under a lock; the window swaps it in on its own thread and
// frees the old one. The window and the thread share one record that the
// last of them frees, so closing the window under a running comparison
// frees nothing the thread still uses.
#include <windows.h>
#include <commdlg.h>
#include <stdint.h>

// Messages of the window (tests and the owner read its state by them).
enum : UINT {
    kMsgDiffResult = WM_APP + 60,    // a result is waiting (posted by the thread)
    kMsgDiffGeneration = WM_APP + 61, // returns how many results were shown
    // wParam side (0 left, 1 right), lParam list item: DiffPackLine of the
    // line shown there, or -1; with bit 30 of lParam set, the number of the
    // line's counterpart instead (0 when it has none).
    kMsgDiffLineInfo = WM_APP + 62,
    kMsgDiffOptions = WM_APP + 63,   // returns the options word
    kMsgDiffColor = WM_APP + 64,     // wParam status: returns its colour
};

// The colour dialog (a seam the tests answer).
extern BOOL(WINAPI *gDiffChooseColor)(CHOOSECOLORA *);

// Line info as kMsgDiffLineInfo returns it: status in bits 0-3, the line
// number above.
inline uint32_t DiffPackLine(uint32_t status, uint32_t number) { return status | (number << 4); }

HWND DiffWindowOpen(HINSTANCE instance, HINSTANCE resources, LONG_PTR cursor, const char *first, const char *second,
                    const char *settingsPath);
LRESULT CALLBACK DiffWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
