// The function-key bar: ten buttons along the bottom labelled with what F1
// to F10 do in the current shift state (plain, Alt, Ctrl, Shift).
#pragma once

#include <windows.h>

HWND KeyBarCreate(HWND parent);
void KeyBarDestroy();
void KeyBarLayout();
int KeyBarGetHeight();
void KeyBarRepaint(int full);
// 0 none, 10 Alt, 20 Ctrl, 30 Shift; repaints the labels when it changes.
void KeyBarSetShift(int shift);
int KeyBarShift();
HWND KeyBarButton(int key);
