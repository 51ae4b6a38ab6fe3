// Loading, calling and unloading the libraries the program drives by name:
// LUMORA.DLL (viewer, export "v"), OSTREL.DLL (FTP, "f"), PELLIX.DLL
// (Windows CE link, "e") and BRISAN.DLL (archives, "z"). Each takes one
// command record: 32-bit words, the first the command code.
#pragma once
#include <windows.h>
#include <stdint.h>

typedef int(__cdecl *LibraryEntry)(void *record);

// Viewer library: loaded on first use.
void ViewerLoad();
int ViewerCallLibrary(void *record); // 0 when the library is missing
void ViewerUnload();

// FTP library: loaded on first use.
void FtpLoad();
int FtpCallLibrary(void *record); // 0 when the library is missing
// Loads when needed; false (after the once-per-run message) when missing.
bool FtpEnsureLoaded(HWND owner);
void FtpUnload();

// Device library: loaded at start-up, silent when missing.
extern const char *gCeLibraryName; // "PELLIX.DLL"; tests name one that is not there
void CeLoad();
void CeStartConnect();
// True while a connect started by CeStartConnect is still under way.
bool CeConnectRunning();
void CeDisconnect();
int CeSendCommand(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4); // -1 when unavailable
void CeUnload();

// Archive library: loaded on first use; reports its absence once per run.
extern const char *gArcLibraryName; // "BRISAN.DLL"; tests name one that is not there
void ArcLoad();
intptr_t ArcCallLibrary(void *record); // 0 when the library is missing
void ArcUnload();
