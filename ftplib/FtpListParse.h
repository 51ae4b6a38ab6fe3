// Remote directory listings: one line of LIST output into an entry, and a
// whole listing walked entry by entry. No windows.h: built natively too.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Server families, from the SYST reply; the parser also switches the MVS
// values while it learns what the listing holds.
enum FtpSystemType : int32_t {
  kSysUnknown = 0,
  kSysMvs = 4,
  kSysMvsMembers = 5,
  kSysOs2 = 6,
  kSysExos = 11,
  kSysUnix = 12,
  kSysMultiNet = 13,
  kSysVms = 14,
  kSysWindowsNt = 16,
  kSysWinNtL8 = 18,
  kSysPcL8 = 19,
};

// Entry attribute bits handed to the host.
enum : uint32_t {
  kFtpAttrReadOnly = 0x01,
  kFtpAttrSystem = 0x04,
  kFtpAttrUpDir = 0x08,
  kFtpAttrDirectory = 0x10,
  kFtpAttrArchive = 0x20,
  kFtpModeLink = 0x2000,
  kFtpModeWord = 0x8000,
};

struct FtpToday {
  int year, month, day;  // local date the "recent" UNIX form is measured against
};

struct FtpListEntry {
  char name[520];
  uint64_t size;
  uint16_t dosDate, dosTime;
  uint32_t attributes;
};

// Result of one line: 1 an entry, 0 the line holds none (header, ".", "..",
// unknown form). systemType may change (MVS header, UNIX lines from MVS).
int FtpParseListLine(const char* line, size_t len, int32_t* systemType, const FtpToday& today,
                     bool firstLine, FtpListEntry* out);

// Looks up the system type in a SYST reply; returns current when none fits.
int32_t FtpSystemTypeFromReply(const char* reply, int32_t current);

typedef void (*FtpListSink)(const FtpListEntry& entry, void* user);

// Walks a listing text: ".." first unless the path is a root and a text
// exists, then every entry. Returns the number of entries reported.
int FtpParseListing(const char* path, const char* text, int32_t* systemType, const FtpToday& today,
                    FtpListSink sink, void* user);

// DOS date and time words of a calendar date; 0 when out of DOS range.
uint16_t FtpDosDate(int year, int month, int day);
uint16_t FtpDosTime(int hour, int minute, int second);
