// Linked into every test program under Wine: the process gets a temporary
// folder of its own below the shared one, before any test runs. All test
// programs share one Wine prefix, and the program's temporary folder is
// emptied by the last main window to close: another test's program ending
// beside this one must not take this one's copies with it. Programs a test
// starts inherit the folder.
#include <windows.h>

#include <stdio.h>

namespace {

struct PrivateTemp {
    PrivateTemp() {
        char base[MAX_PATH];
        DWORD n = GetTempPathA(sizeof base, base);
        if (!n || n >= sizeof base - 32)
            return;
        char own[MAX_PATH];
        snprintf(own, sizeof own, "%sp%lu", base, GetCurrentProcessId());
        CreateDirectoryA(own, nullptr);
        if (GetFileAttributesA(own) == INVALID_FILE_ATTRIBUTES)
            return;
        SetEnvironmentVariableA("TMP", own);
        SetEnvironmentVariableA("TEMP", own);
    }
};

const PrivateTemp gPrivateTemp;

} // namespace
