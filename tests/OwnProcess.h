// For tests that start a program of their own: the process ends with the
// test, and only a process the test started is ever ended by it.
#pragma once

#include <windows.h>

#include <string>

struct OwnProcess {
    PROCESS_INFORMATION pi = {};
    bool started = false;
    ~OwnProcess() {
        // Only a process this test started, and only when it failed to end.
        if (started && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        if (started) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    bool Start(const std::string& exe, const std::string& args) {
        std::string line = "\"" + exe + "\" " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        started = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi) != 0;
        return started;
    }
    // Milliseconds until it ended, or -1.
    long WaitExit(DWORD timeout) {
        DWORD t0 = GetTickCount();
        if (WaitForSingleObject(pi.hProcess, timeout) != WAIT_OBJECT_0)
            return -1;
        return (long)(GetTickCount() - t0);
    }
    DWORD ExitCode() {
        DWORD code = 12345;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
};
