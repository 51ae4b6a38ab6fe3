#pragma once
// The per-panel information window: folders, files and bytes of the
// panel's marked entries (or its cursor entry), counted on one thread per
// window and counted again whenever the panel's list, cursor, marks or
// folder change.
#include <windows.h>
#include <stdint.h>

enum : int { kDlgSpaceInfo = 11550 };
enum : UINT { kMsgSpaceCounted = WM_USER, kMsgSpacePasses = WM_USER + 2 };

// Opens the panel's window, or closes it when it is open.
void SpaceInfoToggle(HWND owner, int panel);
INT_PTR CALLBACK SpaceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
