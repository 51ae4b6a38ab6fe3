#pragma once
// File attributes and dates (command 114): dialog 10900 and the worker of
// job 1033. The rules without windows.h are in AttrRules.
#include <windows.h>
#include <stdint.h>

#include "base/DateTime.h"

struct JobRecord;

void AttrCommand(HWND owner);
INT_PTR CALLBACK AttrDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI AttrJobThread(void* job);

// Count of changes made to one file (0 none, or failure).
int AttrApplyToFile(JobRecord* job, const char* path, uint16_t dosDate, uint16_t dosTime, uint32_t attributes,
                    uint64_t size);
// 1 changed, 0 nothing to change, -1 failure (reported).
int AttrSetAttributes(const char* path, JobRecord* job);
void AttrApplyToTree(JobRecord* job, const char* folder, int depth);
// Reports a failure of one entry in the job's log or a box; a Cancel or
// Abort answer stops the job. Counts an error.
void AttrReport(JobRecord* job, DWORD error, const char* path);
// With the job's filter flag: whether an entry passes the job filter.
bool AttrPassesFilter(JobRecord* job, const char* path, uint32_t attributes, uint16_t date, uint16_t time,
                      uint64_t size);
// 0 when the drive's file system is NTFS, else 1 (UNC paths never are).
int AttrIsNtfsDrive(char letter);
// Calendar picker for one date/time pair of the dialog; the fields change
// only when the picker ends with OK.
void DlgPickDateTime(HWND dialog, int dateEditId, int timeEditId);

// The picker DlgPickDateTime opens (the date and time dialog): edits the
// whole record, returns 1 on OK and 0 on Cancel (the caller then keeps its
// fields). Tests replace it.
extern int (*gAttrDatePicker)(HWND owner, DateTimeRecord* record);

// What the dialog knows beside the job (its init parameter).
struct AttrDialogData {
    JobRecord* job;
    uint32_t marked;       // marked entries, 0 = the cursor entry
    uint32_t attributes;   // the subject's attribute word
    bool subjectIsFolder;
    bool anyFolder;        // a marked folder (or the cursor entry is one)
    bool device;           // the subject is on the Windows CE device
    char subject[MAX_PATH]; // full path of the subject
};

enum : int {
    kDlgAttributes = 10900,
    kIdAttrCreateDate = 10901, kIdAttrCreateTime = 10902, kIdAttrWriteDate = 10903, kIdAttrWriteTime = 10904,
    kIdAttrDates = 10905, kIdAttrPickCreate = 10906, kIdAttrPickWrite = 10907, kIdAttrUpDown = 10908,
    kIdAttrReadOnly = 11002, kIdAttrArchive = 11003, kIdAttrHidden = 11004, kIdAttrSystem = 11005,
    kIdAttrCompressed = 10910, kIdAttrInclDirs = 10103, kIdAttrWithFilter = 14505, kIdAttrFilter = 14503,
};
