// The program's side of the device library PELLIX: the host table it calls
// back through, device listings with one reconnect-and-retry, and the job
// steps the copy, move and delete workers call for device locations.
// Loading and the connect thread are in Libraries.h (CeLoad and friends).
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "CeLink.h"
#include "JobRecord.h"
#include "Records.h"
#include "fileops/CopyJob.h"

// Results of a listing beside 0 and error numbers.
enum : int { kCeNoLibrary = -1, kCeUnreachable = -2, kCeEmpty = -3 };

void CeFillHostServices();
// The host table handed to PELLIX with every command.
const void* CeHostTable();

// How long a failed listing waits for the restarted connect thread.
const DWORD kCeReconnectWaitMs = 1500;

// Lists the device folder of `node` (its inner path, "\" the root) into a
// panel listing: ".." first below the root, sorted. 0, kCeEmpty for an empty
// root, kCeNoLibrary, kCeUnreachable (no device after one reconnect), or an
// error number. Names that are not plain base names are left out.
int CeListPanel(const LocationNode* node, DirListing* listing);

struct CeEntry {
    std::string name;
    uint16_t date, time;
    uint32_t attributes, size;
};
// One device folder for the walkers, with the same reconnect-and-retry. 0,
// or an error; ERROR_INVALID_NAME: listed, but names were left out.
int CeListDirectory(const char* folder, std::vector<CeEntry>* entries);

// ---- leftovers of transfers the link cut ----
// A copy to this device path failed: its temporary file (and a parked old
// file) may still be on the device where the lost link kept the library from
// removing them.
void CeNoteLeftovers(const char* target);
// Run by the connect thread once a device answers, before other commands
// go out: removes the temporary files of the noted targets and puts a parked
// old file back under its name where the new one never arrived. Targets
// that could not be cleaned stay noted for the next connect.
void CeSweepLeftovers();
// How many targets are noted (tests).
size_t CeLeftoverCount();

// One command each; results as the library gives them.
int CeRunProgram(const char* path);
int CeDeleteDeviceFile(const char* path);
int CeRemoveDir(const char* path);
int CeMakeDirRaw(const char* path);
int CeSetAttributes(const char* path, uint32_t attributes);
int CeReadFileTimes(const char* path, CeTimeRecord* record);
int CeWriteFileTimes(const char* path, const CeTimeRecord* record);
// The attribute word of one device entry as the device gives it now;
// INVALID_FILE_ATTRIBUTES when it cannot be read.
uint32_t CeReadAttributes(const char* path);

// Positive results go to the file-error box (the job's log in statistics
// mode); 0 and negative ones show nothing.
uint32_t CeReportError(HWND owner, int result, const char* path, JobRecord* job = nullptr);

// ---- job steps (the item's paths are device paths on the device side) ----
int CeJobRename(CopyItem* item);
int CeMakeDir(HWND owner, const char* path);
int CeJobDeleteFile(JobRecord* job, const char* path);
int CeJobDeleteTree(JobRecord* job, const char* path);
// One file between the device and this machine (or on the device), counted
// against the job; a failure is only returned, never reported.
int CeTransferFile(CopyItem* item);
int CeJobCopyFile(CopyItem* item);
int CeJobMoveFile(CopyItem* item);
int CeJobCopyTree(CopyItem* item);
int CeJobMoveTree(CopyItem* item);

// ---- the attributes job (1033) on device entries ----
// Dates (with the job's date flag) and attributes of one device file; the
// job filter decides first. Count of changes, 0 for none or a failure
// (reported; a stop answer stops the job).
int CeJobChangeAttr(JobRecord* job, const char* path, uint16_t date, uint16_t time, uint32_t attributes,
                    uint64_t size);
// The job's masks on one device entry: 1 changed, 0 nothing to change, -1
// failure (reported).
int CeJobSetAttributes(JobRecord* job, const char* path, uint32_t attributes);
// Every entry below a device folder, sub-folders walked.
void CeJobChangeAttrTree(JobRecord* job, const char* folder, int depth);

// ---- F3 and F4 on device files ----
// Job 1050: `target` the device file, `total` its size, the source location
// a clone of the panel's; the local copy goes to `secondName` and the dialog
// gets command 1050 to run the view or edit action on it.
DWORD WINAPI CeFetchJobThread(void* job);
// Job 1051: `target` the edited local copy, the target location's archive
// path the device file it replaces.
DWORD WINAPI CePutBackJobThread(void* job);

// ---- jobs of the copy, move, rename and delete commands with a device side ----
bool CeIsDeviceLocation(const LocationNode* node);
// A device job: the device on one side or both, and no other location kind.
bool CeJobHasDevice(const JobRecord* job);
// True when `path` names a folder on the device.
bool CeIsDeviceFolder(const char* path);
// The typed target of a job whose target is on the device, made a full
// device path: relative names start at `folder`. Drive letters, "..",
// wildcards and paths too long are refused with a message; false then.
bool CePrepareTarget(HWND owner, JobRecord* job, const char* folder);
// Counts the selection for the progress bar, walking device folders on the
// device.
void CeJobCount(JobRecord* job);
// The copy, move or rename worker's loop over the selection.
void CeJobCopySelection(JobRecord* job);
// The device folder made from what was typed in the make-folder dialog.
int CeMakeDirTyped(HWND owner, int panel, const char* typed);
