#pragma once
// Member names of archives are data from outside: before a name becomes a
// path on this machine it must stay below the folder it is extracted to.
#include <stddef.h>

// Turns an archive member name into a relative path below a target folder:
// "/" becomes "\", empty and "." components are dropped, a trailing
// separator (a folder member) is removed. Refused (false, `out` empty): an
// empty result, a leading separator (absolute or UNC), a drive letter or any
// other ':' (alternate data streams), a ".." component, control characters,
// and the characters Windows does not allow in names (* ? " < > |).
// `out` holds `max` bytes; a result that does not fit is refused too.
bool ArcMemberRelativePath(const char *name, char *out, size_t max);
