// The job steps of copy, move, rename and delete when a side of the job is
// an FTP connection: the workers of the copy and delete jobs hand the whole
// job here. Every step runs on the job's worker thread.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "FtpLib.h"
#include "JobRecord.h"
#include "fileops/CopyJob.h"

// True when the job's source or target is an FTP location (and the other
// side is one too or the file system).
bool FtpJobApplies(const JobRecord* job);
// Copy (1029), move (1030) and rename (1031); does not call JobFinish.
void FtpRunCopyJob(JobRecord* job);
// Delete (1032) on an FTP source; does not call JobFinish.
void FtpRunDeleteJob(JobRecord* job);
// Stops the transfers of both sides at once (the progress dialog's cancel).
void FtpStopTransfers(JobRecord* job);
// The overwrite question of the library's downloads and uploads.
void FTPCALL FtpAskOverwrite(FtpCopyItem* item, uint64_t resumeOffset);

// Single steps, also used by the tests.
int FtpTransferFile(CopyItem* item);
int FtpTransferDir(CopyItem* item, int depth);
int FtpDeleteRemoteFile(JobRecord* job, const char* path);
int FtpDeleteRemoteDir(JobRecord* job, const char* path, int depth);
int FtpRenameRemote(JobRecord* job, const char* source, const char* target);

// Chmod: the library's dialog for the panel's marked entries (or its
// cursor entry), then the attribute job; the job's first word is the clear
// mask and its second the set mask, as the dialog left them.
void FtpShowChmodDialog(HWND owner, int panel);
// Attribute job (1033) on an FTP source; does not call JobFinish.
void FtpRunChmodJob(JobRecord* job);
// SITE chmod of job->target (a remote path) from its current mode word.
int FtpChmod(JobRecord* job, uint32_t mode);
// Every entry of a remote folder, folders recursed with the sub-folder flag.
void FtpChmodTree(JobRecord* job, const char* folder, int depth);

// Job 1048: `target` the remote file ("/" path), `total` its size, the
// source location the panel's connection. The dialog gets command 1048 to
// run the view or edit action on the local copy (`secondName`); the
// location then names the remote file.
DWORD WINAPI FtpFetchJobThread(void* job);
// Job 1049: `target` the edited local copy, `total` its size, the target
// location the fetched copy's location.
DWORD WINAPI FtpPutBackJobThread(void* job);
