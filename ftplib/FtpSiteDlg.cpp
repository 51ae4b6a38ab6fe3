// Site manager: the stored sites of section "FTP" and the dialog that picks
// one before a connection opens.
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpSites.h"

uint32_t FtpLibMakePasswordKey() {
  if (!gFtp.seedWord) return FtpPasswordKey(false, 0);
  if (*gFtp.seedWord) return *gFtp.seedWord;
  char temp[260] = "";
  if (gFtp.hostEx && gFtp.hostEx->pathGetTempFolder) gFtp.hostEx->pathGetTempFolder(temp, sizeof(temp));
  char letter = temp[0];
  if (letter >= 'a' && letter <= 'z') letter = char(letter - 32);
  if (letter < 'A' || letter > 'Z') letter = 'C';
  char root[4] = {letter, ':', '\\', 0};
  DWORD serial = 0;
  BOOL ok = GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
  *gFtp.seedWord = FtpPasswordKey(ok != FALSE, serial);
  return *gFtp.seedWord;
}

int FtpLibSiteManagerDialog(HWND, FtpOpenParams*, FtpSiteSettings*) { return 0; }
