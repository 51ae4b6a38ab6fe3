// `zQlh`: a short message under a tool window that closes itself.
#pragma once
#include <windows.h>

const UINT kPopupMilliseconds = 1100;
// Shows text in a popup along the bottom of owner; returns the popup.
HWND PopupShow(HWND owner, const char *text);
