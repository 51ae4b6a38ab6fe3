#pragma once
// Copy and move of single files for every copy-like job. The copy goes into
// a temporary name beside the target and is renamed over the target only when
// complete: a failed or cancelled copy never leaves a truncated file under
// the target's name.
#include "fileops/FileSystem.h"

inline constexpr uint32_t kCopyBlock = 0x40000;  // 256 KB
inline constexpr uint32_t kErrCancelled = 1235;  // ERROR_REQUEST_ABORTED

// The byte copy. 0, 112 (no room), 1235 (cancelled) or an error number.
uint32_t FileCopyData(const char* source, const char* target, JobRecord* job);

// Result (low word), detail (high word). A cancelled copy returns 1235: it is
// not a copied file.
FsResult2 FileCopy(HWND owner, const char* source, const char* target, JobRecord* job);
FsResult2 FileMove(HWND owner, const char* source, const char* target, JobRecord* job);
