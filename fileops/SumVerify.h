#pragma once
// Opening a checksum list from a panel verifies the files it names instead:
// a job with the progress dialog (the bar follows the bytes checked, Cancel
// stops it) that ends with the report dialog 15320.
#include <windows.h>

// -1 when the path is no SFV or MD5 list (the caller opens the file as
// usual); otherwise 0, the verification having been started.
int SumVerifyFile(HWND owner, const char* path);
DWORD WINAPI SumVerifyJobThread(void* job);
// The report dialog over owner (modal).
void SumShowReport(HWND owner, const char* text);

enum : int { kDlgSumReport = 15320, kIdSumReportText = 15321 };
