// The program's side of the archive library BRISAN: the host table every
// command record carries, the wrappers of the commands, the listing
// callbacks that build panel listings, and the job steps that copy members
// out of an archive. Loading is in Libraries.h (ArcLoad and friends).
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

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

// One file or folder to put into an archive: its path, its attributes as
// read when the job took it, and the member name it gets (a folder's files
// go below that name).
struct ArcAddSource {
    std::string path;
    DWORD attributes;
    std::string member;
};
// Adds the sources to `archive` (packer number `packer`) for the job: folders
// with all their files (links reported, never entered). A move then deletes
// only the sources the archive's own listing holds with their size and time,
// and removes the source folders it emptied.
void ArcJobAddFiles(JobRecord *job, const std::vector<ArcAddSource> &sources, const std::string &archive,
                    uint16_t packer, bool move);
// Copy or move job step with an archive panel as target: the job's selection
// (in `sourceDir`) goes to the level the typed target names inside the
// archive of the target location; one file may be given a name of its own.
void ArcJobCopyIn(JobRecord *job);
// Removes members from the archive of the job's source location: names
// inside the archive, a folder with a trailing "\" and all below it. 0 or
// the library's error (reported to the job).
intptr_t ArcJobDeleteMembers(JobRecord *job, const std::vector<std::string> &members);

// Takes the member `name` of the level `node` shows out into the program's
// temporary folder: `local` is the copy (in a new folder of its own that
// keeps the member's name with `keepName`, else under a numbered name).
// False when nothing could be written; the reason was shown.
bool ArcExtractToTempFile(HWND owner, const LocationNode *node, const char *name, bool keepName, char *local,
                          size_t size);
// Deletes such a copy and its own folder; a path outside the program's
// temporary folder is left alone.
void ArcRemoveTempCopy(const char *path);
