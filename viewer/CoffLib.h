// COFF libraries (archives in the linker's format): the public symbols of
// the first linker member, one line each, with the name an import library
// imports a symbol under, or the GUID an object of a type library defines.
// Pure: no windows.h.
#pragma once
#include <stddef.h>
#include <stdint.h>

const size_t kCoffLineSize = 1024;

// Called once per listed symbol with its line (zero-terminated).
typedef void (*CoffLineSink)(void* context, const char* line);

// Walks the symbol index and every member it points to. False, with no line
// given, when the file is not a library or any part the index refers to lies
// outside it; sink may be null to check only.
bool CoffListSymbols(const uint8_t* data, size_t size, CoffLineSink sink, void* context);
