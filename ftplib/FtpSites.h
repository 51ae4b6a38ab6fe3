// Stored FTP sites (settings section "FTP") and the password scrambling.
// No windows.h: the settings file is reached through FtpIni, which the
// library binds to the host's profile slots and the tests to a map.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct FtpIni {
  void* ctx;
  // Private-profile semantics: get copies at most size-1 characters.
  uint32_t (*get)(void* ctx, const char* section, const char* key, const char* def, char* buf, uint32_t size);
  void (*put)(void* ctx, const char* section, const char* key, const char* value);
  // Section as "key=value\0...\0\0"; returns the length like
  // GetPrivateProfileSection (size-2 when cut).
  uint32_t (*getSection)(void* ctx, const char* section, char* buf, uint32_t size);
  // Replaces the section; an empty text ("\0\0") clears it.
  void (*putSection)(void* ctx, const char* section, const char* text);
};

enum : int32_t {
  kSiteAnonymous = 1,
  kSiteStorePassword = 2,
  kSiteUseFirewall = 4,
  kSitePassive = 8,
};

struct FtpStoredSite {
  char name[28];
  char host[81];
  char user[81];
  char password[81];
  char directory[260];
  int32_t options;
  char fwHost[81];
  char fwUser[81];
  char fwPassword[81];
  int32_t fwType;
};

// Scrambled form of a password: eight hex digits per started 4-byte word,
// so an 80-character password needs 161 bytes. False when out is too small
// (out is then empty).
bool FtpScramblePassword(const char* plain, uint32_t key, char* out, size_t outSize);
// Reverse; stops at the first character that is no hex digit. Bounded.
void FtpUnscramblePassword(const char* hex, uint32_t key, char* out, size_t outSize);
// Key from a volume serial number; the fallback stands in for a volume that
// cannot be read.
uint32_t FtpPasswordKey(bool serialKnown, uint32_t serial);

// Site numbers start at 1; a missing name ends the list.
int FtpSiteCount(const FtpIni& ini);
void FtpSiteRead(const FtpIni& ini, int number, uint32_t key, FtpStoredSite* site);
void FtpSiteWrite(const FtpIni& ini, int number, uint32_t key, const FtpStoredSite& site);
void FtpSiteWriteFirewall(const FtpIni& ini, int number, uint32_t key, const FtpStoredSite& site);

// Rewrites section "FTP" so that list position k (from 1) holds the keys of
// old site oldNumbers[k-1]; entries whose name is gone are dropped.
void FtpSitesRenumber(const FtpIni& ini, const int* oldNumbers, int count);

// The whole "FTP" section as it is now, for Cancel; however long it is.
// Caller frees with free(). Null when out of memory.
char* FtpSitesSnapshot(const FtpIni& ini);
void FtpSitesRestore(const FtpIni& ini, const char* snapshot);

// Bounded copy that always terminates; returns false when cut.
bool FtpCopyText(char* dst, size_t size, const char* src);
