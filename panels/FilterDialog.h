#pragma once
// The filter dialog (template 12100) on a FilterSpec passed as lParam.
#include <windows.h>

#include "panels/Filter.h"

inline constexpr int kFilterDialogTemplate = 12100;

// Panel, job and synchronisation filters. Ends with 1 on OK (the record is
// updated), 0 on Cancel (nothing changed).
INT_PTR CALLBACK FilterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The same template for the FTP library's filters.
INT_PTR CALLBACK FilterDialogRemoteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Opens the first dialog on `filter`; 1 on OK.
int FilterDialogShow(HWND owner, FilterSpec* filter);
