// Helpers on top of the file-system layer that the base helpers cannot reach
// (base/ stays below fileops/): a whole file in one block, unique names in a
// folder, entering the nearest existing folder and comparing two files'
// stamps.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/DateTime.h"

// Whole file in one zero-terminated block (freed with MemFree); null when it
// cannot be opened, sized, allocated or read.
char *FileReadAll(const char *path, uint32_t *outLength);
// Fills buffer with "<folder>\<n>[.ext]" for the first n not in use.
unsigned PathMakeUniqueName(const char *templ, char *buffer, size_t size);
// Makes the nearest existing folder current; 0, or 1 when nothing could be
// entered. `buffer` holds 260 bytes.
int DirEnterNearest(char *buffer, int panel);
// The same with the nested-location test given (archive, FTP, device).
int DirEnterNearestIn(char *buffer, bool nested);
// Fills the missing halves of the pair from the files and compares them
// (a StampResult).
int FileCompareStamps(const char *source, const char *target, FileStampPair *pair);
