// OSTREL.DLL: the module handle is kept for the dialog templates.
#include "FtpInternal.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gFtp.instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
