#pragma once
// The batch file tools as jobs of the job runner: line-end conversion,
// checksum lists, encoding, split and join. The rules live in FileTools
// (no windows.h); here are the Win32 file calls, the dialogs and workers.
#include <windows.h>

#include "fileops/ToolIo.h"

struct JobRecord;

// The Win32 file calls for the tools; with a job, its cancel flag, progress,
// overwrite question and log.
struct WinToolIo : ToolIo {
    JobRecord* job = nullptr;
    bool yesAll = false;
    uint32_t OpenRead(const std::string& path, ToolHandle* h, uint64_t* size) override;
    uint32_t CreateNew(const std::string& path, ToolHandle* h) override;
    uint32_t Read(ToolHandle h, void* buffer, size_t n, size_t* got) override;
    uint32_t Write(ToolHandle h, const void* data, size_t n) override;
    uint32_t Close(ToolHandle h) override;
    uint32_t Replace(const std::string& from, const std::string& to) override;
    uint32_t Remove(const std::string& path) override;
    uint32_t SizeOf(const std::string& path, uint64_t* size) override;
    bool AskOverwrite(const std::string& path) override;
    bool Cancelled() override;
    uint32_t FreeSpace(const std::string& folder, uint64_t* bytes) override;
    bool AskNewDisk(const std::string& piece) override;
    void Progress(uint64_t bytes) override;
    void Note(const std::string& text) override;
};

void CrLfCommand(HWND owner, int commandId);
void SumCreateCommand(HWND owner);
void UuCommand(HWND owner, const char* sourcePath);  // null: the active panel's cursor file
void SplitCommand(HWND owner);

// The question before the next disk of a split, "Not enough space on the
// disk\nInsert a new disk" with OK and Cancel; returns IDOK or IDCANCEL.
// Tests replace it.
extern int (*gSplitNewDiskBox)(HWND owner, const char* piece);

// What the split dialog (template 15100) works on: the job's total is the
// source's size, bytesSelected the piece size, flags a copy of moreOptions
// with the split bits below; lines is the number of lines per piece.
struct SplitDialogData {
    JobRecord* job;
    uint32_t lines;
    char sourceName[MAX_PATH];
};
INT_PTR CALLBACK SplitDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Enables the size, count and lines fields by the check boxes.
void SplitUpdateControls(HWND dialog);

// Bits of moreOptions (and of the split and join jobs' flags).
enum : uint32_t {
    kSplitAutosize = 0x10000000, kSplitDeleteSource = 0x4000000, kSplitRestore = 0x8000000,
    kSplitText = 0x100000, kSplitByLines = 0x200000, kJoinDeleteSources = 0x20000000,
    kSplitFlags = kSplitAutosize | kSplitDeleteSource | kSplitRestore | kSplitText | kSplitByLines,
};

// Keeps the split dialog's piece size and piece count consistent: the
// changed field's number (a chosen preset's byte count, written into the
// size field) gives the other field ceiling(source size / value), or "-"
// for 0. Returns the value read.
uint64_t SplitLinkSizeCount(HWND dialog, int changedId, int otherId, uint64_t sourceSize);

DWORD WINAPI CrLfJobThread(void* job);
DWORD WINAPI SumCreateJobThread(void* job);
DWORD WINAPI UuJobThread(void* job);
DWORD WINAPI SplitJobThread(void* job);
DWORD WINAPI JoinJobThread(void* job);

// Templates and control ids of the tools' dialogs.
enum : int {
    kDlgCrLf = 15040, kDlgSplit = 15100, kDlgJoin = 15110, kDlgEncode = 15300, kDlgSumCreate = 15310,
    kIdToolLabel = 15001, kIdToolTarget = 15002, kIdToolMethod = 14206,
    kIdToolCheck1 = 15005, kIdToolCheck2 = 15006, kIdToolCheck3 = 15008, kIdToolSize = 15103, kIdToolCount = 15104,
    kIdSplitLabel = 15101, kIdSplitTarget = 15102, kIdSplitDelete = 15105, kIdSplitRestore = 15106,
    kIdSplitAutosize = 15107, kIdSplitText = 15108, kIdSplitByLines = 15109, kIdSplitLines = 15116,
    kIdSplitBrowse = 93,
};
