// The device link under test: PELLIX.DLL loaded as the program loads it, the
// rapi.dll stand-in playing the device over a scratch folder, and a host
// table that records what the library asks.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "CeLink.h"

struct CeTestHost {
    CeHostServices table{};
    uint64_t progress = 0;
    int asked = 0;
    int32_t answer = 0;           // what the overwrite question answers
    volatile uint32_t cancel = 0; // the job's cancel word
    uint64_t cancelAfter = 0;     // sets `cancel` once this many bytes went by
    std::vector<std::string> localDirsMade;
};

extern CeTestHost gHost;

// Scratch folders: the device root (what the stand-in serves) and a local one.
struct CeScratch {
    std::string root, device, local;
    CeScratch();
    ~CeScratch();
    std::string DevicePath(const std::string& devicePath) const; // host path of "\x"
};

HMODULE CeLoadLibrary();
int CeCall(uint32_t code, uintptr_t a1 = 0, uintptr_t a2 = 0, uintptr_t a3 = 0, uintptr_t a4 = 0);
int CeCall(uint32_t code, const std::string& a1, const std::string& a2 = "", uintptr_t a3 = 0,
           uintptr_t a4 = 0);
// Sets (or with null clears) a stand-in knob and reconnects so it takes hold.
void CeKnob(const char* name, const char* value);
int CeConnect();

void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path); // "<missing>" when it cannot be read
bool FileExists(const std::string& path);
std::vector<std::string> FolderNames(const std::string& folder); // sorted, no "." and ".."
std::string PatternBytes(size_t size, unsigned seed);
