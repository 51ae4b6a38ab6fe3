#pragma once
// Copy and move of single files for every copy-like job. The copy goes into
// a temporary name beside the target and is renamed over the target only when
// complete: a failed or cancelled copy never leaves a truncated file under
// the target's name.
#include "fileops/FileSystem.h"

inline constexpr uint32_t kCopyBlock = 0x40000;  // 256 KB
inline constexpr uint32_t kErrCancelled = 1235;  // ERROR_REQUEST_ABORTED

// The byte copy. 0, 112 (no room), 1235 (cancelled) or an error number.
// `mustBeNew`: the target was absent when the job looked; one that exists by
// the time the copy is complete is left alone and the result is 80
// (ERROR_FILE_EXISTS), so the caller can ask before replacing it.
uint32_t FileCopyData(const char* source, const char* target, JobRecord* job, bool mustBeNew = false);

// Result (low word), detail (high word). A cancelled copy returns 1235: it is
// not a copied file.
FsResult2 FileCopy(HWND owner, const char* source, const char* target, JobRecord* job, bool mustBeNew = false);
FsResult2 FileMove(HWND owner, const char* source, const char* target, JobRecord* job, bool mustBeNew = false);

// After a copy from a CD-ROM, with the copy-read-only option on: the copy
// loses the read-only bit every file on a CD-ROM carries.
void FileClearReadOnlyFromCd(const char* source, const char* target);
