// An edited local copy of a file from a device, an FTP server or an
// archive that could not go back: it leaves the program's temporary folder
// (which the last instance to close empties) for the folder kept for such
// copies, and the user is told where it is.
#pragma once
#include <windows.h>
#include <stddef.h>

#include <functional>

#include "JobRecord.h"

// Moves `copy` under the original's name (`original`, any path whose last
// part after "\" or "/" is the name) into the kept folder; `out` names where
// the copy is now (its old place when it could not move).
void KeepEditedCopy(const char* copy, const char* original, char* out, size_t size);

// `reason`, a blank line and the path of the kept copy (`keptPath`) in a
// box owned by `owner` (Retry/Cancel unless `type` says otherwise), with the
// kept copy's name as caption.
int TellKeptCopy(HWND owner, const char* reason, const char* keptPath, UINT type = MB_RETRYCANCEL | MB_ICONSTOP);

// What one attempt of a put-back gives.
enum class PutBackTry { kArrived, kFailed, kFailedQuietly };

// The put-back job's loop for the edited copy `job->target` of `original`:
// `send` tries once; on a failure it leaves the box's text in `reason`
// (`size` bytes; the system's text of ERROR_NOT_CONNECTED when it leaves
// none). The first failure moves the copy to the kept folder (`job->target`
// follows it); the box then names it, and Retry tries again. Ends when the
// copy arrived, on Cancel, a stopped job or a quiet failure.
void PutBackOrKeep(JobRecord* job, const char* original,
                   const std::function<PutBackTry(char* reason, size_t size)>& send);
