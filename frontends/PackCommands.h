#pragma once
// The pack and unpack commands: their dialogs, the packer definitions file
// VANDZIP.SET beside the program, and the workers of jobs 1042 and 1043.
// Packer numbers from 10000 are formats of the archive library; below, they
// are records of the definitions file, run as external command lines.
#include <windows.h>
#include <stdint.h>

#include <string>

#include "frontends/PackerImage.h"

enum : int { kDlgPack = 14150, kDlgUnpack = 14180 };
enum : int {
    kIdPackLabel = 14151,
    kIdPackTarget = 14152,
    kIdPackFormat = 14175,
    kIdPackPwdLabel = 14176,
    kIdPackPwd = 14177,
    kIdPackShowPwd = 14178,
    kIdPackWithPwd = 14179,
    kIdPackLevel = 14191,
    kDlgPwdCaution = 10420,
    kIdCautionText = 10421,
    kIdCautionNoMore = 10422,
    kIdCautionIcon = 10423,
};

// The definitions, loaded on first use; a damaged file is named in a box
// once and treated as missing. Tests point the path elsewhere.
extern char gPackerFileOverride[260];
void PackerFilePath(char *out); // 260 bytes
const PackerImage *PackerDefinitions();
void PackerForget(); // read again on next use
// The file is there but was refused (its box was shown); the dialog leaves
// such a file alone.
bool PackerFileDamaged();
// The edited definitions become the ones in use.
void PackerAdopt(const PackerImage &image);

// Command 406: the packer definitions dialog. Tests drive PackerDialogProc
// with a PackerDialogData of their own.
enum : int {
    kDlgPacker = 14100,
    kIdPackerBest = 14101, // radios 14101-14103: option sets 0-2
    kIdPackerPrev = 14110,
    kIdPackerNext = 14111,
    kIdPackerField = 14112, // edits 14112-14121: the ten strings in order
    kIdPackerInsert = 97,
    kIdPackerDelete = 96,
    kIdPackerSave = 99,
};
struct PackerDialogData {
    PackerImage image; // the copy being edited
    uint32_t index;    // the record shown
    uint32_t saveError; // of the last save, 0 when it worked
};
void PackerShowDialog(HWND owner);
INT_PTR CALLBACK PackerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
uint16_t PackerCount();
// String `index` of record n; false after the box "No packer defined."
// when there are no definitions.
bool PackerLookup(uint32_t n, int index, std::string *out);

// Packer for an archive file: a library format, else the first record whose
// extension is the file's (after its last dot), else the remembered one.
uint16_t GuessPacker(const char *path);

// Commands 112 and 113. The unpack command returns false when nothing was
// offered (the caller beeps).
void ArcShowPackDialog(HWND owner);
bool ArcShowUnpackDialog(HWND owner);
INT_PTR CALLBACK PackDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

DWORD WINAPI ArcPackJobThread(void *job);
DWORD WINAPI ArcUnpackJobThread(void *job);

// An external packer's command line: the template's program (found along
// the search path, else beside the program) quoted, the rest of the
// template and the option, then every argument quoted as one argument.
// False when the template names no program that exists.
bool PackBuildCommand(const std::string &templ, const std::string &option, const std::string &archive,
                      const std::string &file, std::string *out);
// Runs a command line in `folder`, waits, and gives its exit code; -1 when
// it could not be started (never through a command interpreter).
int PackRunAndWait(const std::string &commandLine, const char *folder, volatile uint32_t *cancel);

// A password with a byte below 0x20 or above 0x7F, which other systems may
// read differently.
bool PasswordNeedsCaution(const char *password);
// The password caution (10420); its check box sets moreOptions bit 0x4.
// True for OK, false for Cancel.
bool PasswordCautionDialog(HWND owner);
