// Windows the FTP library's tools open: the FTP bar's log and the server's
// own listing as text files, and the Ping dialog.
#pragma once
#include <windows.h>
#include <stdint.h>

// Every line of the log list, each ended by CR LF, into a new temporary
// ".txt" file that opens in the viewer window titled "FTP". The file's path
// goes to `written` (260 bytes) when given. False when there was no log or
// the file could not be written.
bool FtpShowLogText(HWND owner, HWND logList, char* written = nullptr);
// The unparsed LIST text of the current folder of the panel's FTP connection
// (else the other panel's) into a new temporary ".d" file, opened in the
// editor. False when neither panel shows a live connection or the file could
// not be written.
bool FtpShowRawListing(HWND owner, int panel, char* written = nullptr);
// The FTP library's Ping dialog (modal); its state stays with the program
// between calls. False when the library could not be loaded (the missing
// module was reported).
bool FtpShowPing(HWND owner);
