#pragma once
// Icon codes of panel entries, as kept in FileEntry.iconIndex (read as a
// signed 32-bit value): above 0 the system image-list index + 1, 0 not known
// yet, below 0 the panels' own icon of slot -code - 1. This half decides
// what needs no shell: the quick classes painting uses before the loader
// has asked the shell. Pure: no windows.h.
#include <stdint.h>

enum : int32_t {
    kIconRemoteLink = -1, // folder that is a link in a remote listing
    kIconFolder = -2,
    kIconUpDir = -3,
    kIconSharedOverlay = -4,
    kIconAttrOverlay = -5, // attribute bit 0x4000 (encrypted)
    kIconFile = -6,
    kIconProgram = -13,
    kIconBatch = -14,
    kIconLibrary = -15,
    kIconText = -16,
    kIconHelp = -17,
    kIconArchive = -18,
};
const int kOwnIconCount = 18;

// -18 for a name whose extension is an archive's, else 0.
int32_t IconArchiveClassName(const char *name);
// The class of an entry without asking the shell: "..", folders, archives,
// and the file kinds by a three-letter extension (any other file -6).
int32_t IconKindClass(const char *name, bool folder, bool upDir, bool remoteLink);
// False for the extensions whose files each have an icon of their own
// (ICO, CUR, EXE, ANI, LNK): the shell's answer for one file then holds
// for no other.
bool IconSharedByExtension(const char *name);
// The extension after the last dot ("" when none).
const char *IconExtension(const char *name);
