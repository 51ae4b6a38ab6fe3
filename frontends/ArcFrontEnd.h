// The program's side of the archive library BRISAN: the host table every
// command record carries, the wrappers of the commands, the listing
// callbacks that build panel listings, and the job steps that copy members
// out of an archive. Loading is in Libraries.h (ArcLoad and friends).
#pragma once
#include <windows.h>
#include <stdint.h>

#include "ArcLib.h"
#include "JobRecord.h"
#include "Records.h"

const ArcHostServices *ArcHostTable();
void ArcFillHostServices(ArcHostServices *table);

// One command: {code, host table, a1 ... a8}; 0 when the library is missing.
intptr_t ArcSendCommand(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4);
intptr_t ArcSendCommandEx(uint32_t code, const uintptr_t args[8]);

// Format number of a file, 0 when it is no archive (or there is no library).
uint16_t ArcGetArchiveType(const char *path);
// Opens an archive into a panel listing: the new location node (the caller
// owns it; LocationFree), or null when the file is no archive. The listing
// always holds at least ".." when the archive could be read, so an empty
// archive shows as empty, never as the list shown before.
LocationNode *ArcOpenArchive(const char *path, DirListing *listing, char *password);
// Re-lists the level of `node` (its inner path); false when the archive is
// gone or unreadable.
bool ArcRereadArchive(LocationNode *node, DirListing *listing, char *password);
void ArcGetFormatName(uint16_t format, char *out);       // 32 bytes
void ArcGetDefaultExtension(uint16_t format, char *out); // 8 bytes

// The listing step of commands 23/24 (host side of ArcListCallback).
int ARCCALL ArcAddListEntry(const char *name, uint32_t date, uint32_t time, uint32_t attributes, uint32_t method,
                            uint32_t sizeLow, uint32_t sizeHigh, uint32_t reserved, void *context);
// Appends one panel entry to a listing context: 0, 1 (no first block) or 2
// (growth failed; the block is freed).
int ArcAddEntry(ArcListContext *context, const char *name, const uint64_t *size, uint16_t date, uint16_t time,
                uint16_t attributes);

// Panel path with the archive levels: panel folder, "\" archive name,
// "\" inner path.
void ArcGetPanelPath(int panel, char *out, size_t max);

// Error text of a library code (host entry 8); `detail` names the member or
// file. Codes without a text show nothing.
void ARCCALL ArcReportError(void *owner, int32_t code, const char *detail);

// Copy job step: copies the job's selection out of the archive of its
// source location into the job's target folder. Member names that would
// leave the target (absolute, drive, "..") are reported and skipped.
void ArcJobCopyOut(JobRecord *job);

// Packs the job's selection (source folder `sourceDir`) into the archive
// `secondName` through the library (job 1042 with a library format).
void ArcJobPack(JobRecord *job);
// Packs (source path, member name) pairs, ended by two nulls, into
// `archive` for the job (its reports, cancel flag and progress): 0 or the
// library's error.
intptr_t ArcJobPackPairs(JobRecord *job, const char *archive, const char *sourceFolder, const char *const *pairs);
// Replaces (or adds) the member `member` of `archive` by the file `file`,
// asking nothing: 0 or the library's error (the library reports it).
intptr_t ArcJobReplaceMember(JobRecord *job, const char *archive, const char *file, const char *member);
// Hands every member of `archive` to the callback, whose context is an
// ArcExtractItem with `names` as given; false when it cannot be read.
bool ArcJobListMembers(JobRecord *job, const char *archive, ArcListCallback callback, void *names);
// Unpacks the archive `secondName` into the folder `target` (job 1043).
void ArcJobUnpack(JobRecord *job);

// Job 1052: `target` the edited local copy of a member, the target
// location an archive level whose inner path names the member; the archive
// is rewritten beside itself and replaced, so a failure keeps it as it was
// and the edited copy, and says where that is.
DWORD WINAPI ArcPutBackJobThread(void *job);
