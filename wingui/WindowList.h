// The open-window list (modeless windows besides the main window) and the
// busy-animation control `ZqAni`.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "Records.h"

// Kinds of ToolWndEntry
enum ToolWndKind {
    kToolWndHex = 1,
    kToolWndEditor = 2,
    kToolWndViewer = 3,
    kToolWndSync = 4,
    kToolWndProgress = 5,
    kToolWndDiff = 6,
    kToolWndDiskette = 9,
};

// 0 on success, 1 when memory ran out (the list is then unchanged).
uint16_t ToolWndRegister(HWND window, int kind, void *data);
// Removes every entry of the window.
void ToolWndUnregister(HWND window);
// Frees the list (teardown).
void ToolWndFreeAll();
// First registered window of a kind, or null.
HWND ToolWndFind(int kind);

// Places a new window of a kind below and right of the last one (by a
// caption's height) when other windows of the kind are open; the saved
// placement `pos` moves with it, wrapping to the desktop's left or top edge
// when it would leave the desktop. Nothing happens for a window already in
// the list or when it would be the only one of its kind.
void WndCascade(HWND window, WindowPos *pos, int kind);

// Offers a message to the registered dialogs; true when one took it.
// Takes dialogListLock itself.
bool ToolWndIsDialogMessage(MSG *msg);

const int kAniControlId = 10306;
void AniRegisterClass();
LRESULT CALLBACK AniWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Next frame after `frame`: 0-3 and 4-7 each cycle on their own.
int AniNextFrame(int frame);
