#pragma once
// Diskette tools of the Disk menu: copy diskettes to and from image files,
// compare, verify, label, format, share a folder, eject. All raw sector
// access goes through gDiskSystem: the NT drive device "\\.\A:" or the
// Windows 9x vwin32 device; tests replace it (Wine has no disk IOCTLs and
// no vwin32) and never reach a real drive.
#include <windows.h>
#include <stdint.h>

#include "base/Memory.h"
#include "fileops/DiskImage.h"
#include "fileops/FreeSpace.h"

struct DiskToolContext {
    HWND dialog;
    uint16_t formatTextId; // control that shows the format name
    uint16_t compareStep;  // 1 first diskette, 2 second
    uint8_t source;        // 1 = A:
    uint8_t target;        // 1 = A:, 0 = image file
    uint8_t *image;        // owned
    uint32_t imageSize;
    volatile LONG verify;  // the dialog's "Verify" box, read while writing
    uint32_t error;        // the last failure's system error (0 none)
};

// The tool state shared by a tool window and its thread without a lock:
// 0 no tool; 1 a tool is open; each running read, write, compare or verify
// raises it by one, and a loop goes on only while it is 2 or more. Stop
// lowers it (or sets it to 0).
extern volatile LONG gDiskToolMode;
// The open tool's context (freed with its image by DiskToolFree).
extern DiskToolContext *gDiskToolCtx;
// The "Verify" box of the copy dialog is kept in generalOptions.
const uint32_t kGenDiskVerify = 0x4000;
// Posted to a tool window by its thread: wParam is the medium's size, whose
// format name the window shows.
const UINT kDiskShowFormat = WM_APP + 1;

// Read modes of DiskReadImage.
enum { kDiskReadImage = 0, kDiskReadVerify = 1, kDiskReadCompare = 2 };

// Mode 0 reads the source diskette into a new image buffer, mode 1 reads
// every sector (verify), mode 2 compares every sector with the image.
bool DiskReadImage(DiskToolContext *ctx, int mode);
// Writes the image to the target diskette (asked before, by the caller),
// then reads it back when ctx->verify is set. A sector that cannot be
// written does not stop the run; all of them are reported at the end.
bool DiskWriteImage(DiskToolContext *ctx);
uint32_t DiskNewSerial();
bool DiskReadImageFile(DiskToolContext *ctx, const char *path, uint32_t *error);
bool DiskWriteImageFile(const DiskToolContext *ctx, const char *path, uint32_t *error);
void DiskToolFree();

int DiskIsEjectable(char letter); // 7 or 0
// Moves the panels off the drive and ejects it on a thread of its own.
void DiskEject(char letter);
// The eject thread alone (null when the drive is not ejectable).
HANDLE DiskEjectStart(char letter);
void DiskUpdateEjectButtons();
bool DiskShareManage(HWND owner, bool show);

// Commands 201-205, 208, 212.
void DiskCopyCommand(HWND owner);
void DiskCompareCommand(HWND owner, int step);
void DiskVerifyCommand(HWND owner);
void DiskLabelCommand(HWND owner, const char *panelPath);
void DiskFormatCommand(HWND owner);

// The file dialogs of the copy tool; tests replace them.
extern bool (*gDiskChooseFile)(HWND owner, bool save, char *path, size_t size);

INT_PTR CALLBACK DiskCopyDialogProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK DiskLabelDialogProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK DiskFormatDialogProc(HWND, UINT, WPARAM, LPARAM);

// The system behind the tools.
struct DiskSystem {
    int (*isWinNT)();
    // "\\.\%c:" opened for read and write without sharing; null on failure
    // with the system's error.
    void *(*openDrive)(char letter, uint32_t *error);
    // IOCTL_DISK_GET_DRIVE_GEOMETRY.
    int (*driveGeometry)(void *drive, uint64_t *cylinders, uint32_t *tracksPerCylinder, uint32_t *sectorsPerTrack,
                         uint32_t *bytesPerSector, uint32_t *error);
    int (*readAt)(void *drive, uint64_t offset, void *buffer, uint32_t size, uint32_t *error);
    int (*writeAt)(void *drive, uint64_t offset, const void *buffer, uint32_t size, uint32_t *error);
    void (*closeDrive)(void *drive);
    int (*ejectNt)(char letter); // IOCTL_STORAGE_EJECT_MEDIA
    // The vwin32 device (codes 1, 2, 3); `buffer` goes into EBX. 0 when the
    // device is missing; a failure inside shows as the carry bit.
    int (*vwin32)(uint32_t code, Vwin32Registers *regs, void *buffer);
    UINT (*driveType)(const char *root);
    // SHFormatDrive(desktop, drive 0 = A:, SHFMT_ID_DEFAULT, 0).
    DWORD (*formatDrive)(HWND owner, UINT drive);
    // Messages: a text id with an icon, and the system error report.
    int (*message)(HWND owner, int textId, UINT type, const char *argument);
    void (*reportError)(HWND owner, uint32_t error, const char *drive);
    // SetVolumeLabelA(root "X:\\", label).
    BOOL (*setVolumeLabel)(const char *root, const char *label);
};
extern DiskSystem gDiskSystem;
DiskSystem DiskSystemReal();
