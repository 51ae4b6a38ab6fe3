// Command-line arguments of kestrom.exe. Pure logic: no windows.h, so the
// argument table is also checked natively under the sanitizers.
#pragma once
#include <cstddef>
#include <cstdint>

// StartupFlags bits
enum : uint32_t {
    kStartShowGiven = 0x1,     // m / M chose the show command
    kStartSettingsGiven = 0x2, // /I= or a bare settings file name
    kStartHandOver = 0x4,      // /O
    kStartNewInstance = 0x8,   // /N
    kStartLeftPath = 0x10,     // /L=
    kStartRightPath = 0x20,    // /R=
    kStartDelay = 0x40,        // /D=
};

constexpr size_t kStartPathSize = 260;
constexpr unsigned long kStartMaxDelaySeconds = 300;

// Where the arguments land. The buffers are kStartPathSize bytes each.
struct StartupArgTargets {
    char* modulePath;
    char* panelPath[2];
    int32_t* showCmd;
    // Waits for /D=; tests replace it so that they never sleep.
    void (*sleepSeconds)(unsigned long seconds);
};

// One argument; returns the new flags.
uint32_t ParseStartupArgument(const char* argument, uint32_t flags, const StartupArgTargets& targets);
