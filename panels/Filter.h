#pragma once
// Which entries a panel lists and which a job with filter takes; no
// windows.h (the dialog is in FilterDialog.h).
#include <stdint.h>

#include "Records.h"

enum : uint16_t {
    kFilterModeMask = 0x0F, kFilterAll = 0, kFilterExecutables = 1, kFilterCustom = 2,
    kFilterDateFrom = 0x10, kFilterDateTo = 0x20, kFilterTimeFrom = 0x40, kFilterTimeTo = 0x80,
    kFilterMinSize = 0x100, kFilterMaxSize = 0x200,
};
inline constexpr uint16_t kFilterAttrsLocked = 0x8000;

// 1 pass, 0 reject.
int FilterMatch(const char* name, uint16_t attributes, uint16_t date, uint16_t time,
                const uint64_t* size, const FilterSpec* filter);
int FilterTestEntry(const char* folder, const char* name, uint16_t attributes, uint16_t date,
                    uint16_t time, const uint64_t* size, const FilterSpec* filter);
// Non-zero when the name part of path matches one of the ";"-separated masks.
int FilterMatchMasks(const char* path, const char* masks);

// One mask against one name, the way the system's PathMatchSpecA does it:
// '*' any run, '?' exactly one character, case-insensitive, "*.*" all.
int MaskMatchName(const char* name, const char* mask);
// The matcher FilterMatchMasks asks; the Win32 side installs PathMatchSpecA
// when the system has it.
typedef int (*MaskMatchFn)(const char* name, const char* mask);
extern MaskMatchFn gMaskMatch;
// Executable test of mode 1 (folder, name); the Win32 side installs the
// program launcher's test.
typedef int (*ExecutableTestFn)(const char* folder, const char* name);
extern ExecutableTestFn gFilterIsExecutable;

// Size bounds as the dialog shows them: the whole 64-bit decimal number.
// FilterParseSize returns 0 for text that is no number or does not fit.
void FilterFormatSize(uint64_t value, char* out);  // out: 24 bytes
int FilterParseSize(const char* text, uint64_t* value);

// What the filter dialog shows and reads back, apart from the windows.
struct FilterDialogFields {
    int mode;  // 0 all, 1 executables, 2 customised
    int readOnly, archive, system, hidden, folder;
    char include[128], exclude[128];
    char dateFrom[16], dateTo[16], timeFrom[16], timeTo[16];
    char minSize[24], maxSize[24];
};
void FilterFieldsFromSpec(const FilterSpec* filter, FilterDialogFields* fields);
// Reads the fields back into *filter. remote: the second dialog (FTP
// filters). showHiddenSystem: hiddenSystemApply or optHiddenFiles. Returns
// 0, or the control id of a bad date or time field with the text id of its
// message in *messageId.
int FilterFieldsToSpec(const FilterDialogFields* fields, FilterSpec* filter, int remote,
                       int showHiddenSystem, int* messageId);
