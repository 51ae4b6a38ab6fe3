// Copies across the link and on the device (commands 12, 14, 15, 16).
// Results: 0, kCeIsDirectory, kCeSkipped (skipped or cancelled) or an error.
#pragma once
#include <stdint.h>

#include "CeLink.h"

int CeDownload(const CeHostServices* host, const char* source, const char* target, void* item,
               const volatile uint32_t* cancel);
int CeUpload(const CeHostServices* host, const char* source, const char* target, void* item,
             const volatile uint32_t* cancel);
int CeCopyOnDevice(const CeHostServices* host, const char* source, const char* target, void* item);
int CeMoveOnDevice(const CeHostServices* host, const char* source, const char* target, void* item);
