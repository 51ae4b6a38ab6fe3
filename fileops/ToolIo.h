#pragma once
// The few file calls the batch file tools need, behind one interface, so the
// tools' rules (temporary file then rename, a source deleted only after its
// copy is confirmed complete, names from outside kept inside the chosen
// folder) live in code without windows.h: the program plugs in the Win32
// calls, the native tests and the benchmark plug in POSIX ones.
#include <stddef.h>
#include <stdint.h>

#include <string>

typedef void* ToolHandle;

struct ToolIo {
    char separator = '\\';
    // Results: 0 success, else a system error number.
    virtual uint32_t OpenRead(const std::string& path, ToolHandle* h, uint64_t* size) = 0;
    // Creates a new file; fails when the name exists.
    virtual uint32_t CreateNew(const std::string& path, ToolHandle* h) = 0;
    virtual uint32_t Read(ToolHandle h, void* buffer, size_t n, size_t* got) = 0;
    virtual uint32_t Write(ToolHandle h, const void* data, size_t n) = 0;
    virtual uint32_t Close(ToolHandle h) = 0;
    // Puts `from` in place of `to`; an existing `to` stays until then.
    virtual uint32_t Replace(const std::string& from, const std::string& to) = 0;
    virtual uint32_t Remove(const std::string& path) = 0;
    // 0 and the size when the file exists.
    virtual uint32_t SizeOf(const std::string& path, uint64_t* size) = 0;
    // The user's answer for an existing target: true writes over it.
    virtual bool AskOverwrite(const std::string& path) { return false; }
    virtual bool Cancelled() { return false; }
    // Free bytes of the drive that holds `folder` (0 success, else an error
    // number; a failure the user was already shown is kToolErrCancelled).
    virtual uint32_t FreeSpace(const std::string& folder, uint64_t* bytes)
    {
        *bytes = UINT64_MAX;
        return 0;
    }
    // The target drive is full before `piece`: true when the user put in a
    // new disk (the space is then looked at again), false to stop.
    virtual bool AskNewDisk(const std::string& piece) { return false; }
    virtual void Progress(uint64_t bytes) {}
    // A per-file note for the job's log ("Not a text file", a broken section).
    virtual void Note(const std::string& text) {}
    virtual ~ToolIo() {}
};

// Error numbers the tools return beside the system's.
enum : uint32_t {
    kToolErrNotText = 0x20000001,   // binary data where text was asked for
    kToolErrCancelled = 0x20000002,
    kToolErrIncomplete = 0x20000003, // a written size did not match the source
    kToolErrNoName = 0x20000004,     // a name that cannot be made safe
    kToolErrSameFile = 0x20000005,   // target equals source
    kToolErrExists = 0x20000006,     // an existing target the user kept
};
