// kestrom.exe started from a folder of its own, with and without the device
// library and RAPI beside it: it comes up without any message box, and the
// drive bar shows the mobile-device button only when the library loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include "../OwnProcess.h"

#include <string>
#include <vector>

namespace {

const int kDeviceButton = 37; // the drive table's mobile-device entry

using Process = OwnProcess;

struct Windows {
    DWORD pid;
    HWND main = nullptr;
    std::vector<std::string> others; // classes of the other visible top-level windows
};

BOOL CALLBACK CollectTop(HWND w, LPARAM lp) {
    Windows* d = (Windows*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != d->pid || !IsWindowVisible(w)) return TRUE;
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (!strcmp(cls, "Zq Vandrell"))
        d->main = w;
    else
        d->others.push_back(cls);
    return TRUE;
}

Windows TopWindows(const Process& p) {
    Windows d;
    d.pid = p.pi.dwProcessId;
    EnumWindows(CollectTop, (LPARAM)&d);
    return d;
}

BOOL CALLBACK FindDeviceButton(HWND w, LPARAM lp) {
    char cls[64] = "", parent[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetClassNameA(GetParent(w), parent, sizeof parent);
    if (!lstrcmpiA(cls, "Button") && !strcmp(parent, "DB") && GetDlgCtrlID(w) == kDeviceButton) {
        *(bool*)lp = true;
        return FALSE;
    }
    return TRUE;
}

bool HasDeviceButton(HWND main) {
    bool found = false;
    EnumChildWindows(main, FindDeviceButton, (LPARAM)&found);
    return found;
}

void WriteSettings(const std::string& file) {
    const char* s = "Zq Vandrell";
    // Confirmations without the exit question; the panel options without the
    // start logo; the drive bar on.
    WritePrivateProfileStringA(s, "Options", "15,50199,1083179057,63,0,0", file.c_str());
    WritePrivateProfileStringA(s, "Language", "US", file.c_str());
    WritePrivateProfileStringA(s, "PathL", "C:\\", file.c_str());
    WritePrivateProfileStringA(s, "PathR", "C:\\", file.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

void RemoveFolder(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((dir + "\\" + data.cFileName).c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

} // namespace

TEST(DeviceLibraryAtStart, MissingLibraryOrRapiIsSilentAndHidesTheDeviceEntry) {
    struct Case {
        const char* name;
        std::vector<const char*> beside; // libraries copied beside the program
        bool deviceEntry;
    } cases[] = {
        {"neither", {}, false},
        {"no-rapi", {"PELLIX.DLL"}, false},
        {"both", {"PELLIX.DLL", "rapi.dll"}, true},
    };
    SetEnvironmentVariableA("ZQ_CE_ROOT", nullptr); // RAPI finds no device: the connect attempt just ends
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = std::string("C:\\vtest-cestart-") + c.name;
        RemoveFolder(dir);
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA("T:\\kestrom.exe", (dir + "\\kestrom.exe").c_str(), FALSE));
        for (const char* lib : c.beside)
            ASSERT_TRUE(CopyFileA((std::string("T:\\") + lib).c_str(), (dir + "\\" + lib).c_str(), FALSE)) << lib;
        std::string ini = dir + "\\KESTR.INI";
        WriteSettings(ini);
        {
            Process p;
            ASSERT_TRUE(p.Start(dir + "\\kestrom.exe", "/I=" + ini));
            Windows shown;
            DWORD t0 = GetTickCount();
            while (GetTickCount() - t0 < 20000) {
                shown = TopWindows(p);
                if ((shown.main && HasDeviceButton(shown.main) == c.deviceEntry) ||
                    WaitForSingleObject(p.pi.hProcess, 50) == WAIT_OBJECT_0)
                    break;
            }
            ASSERT_NE(shown.main, nullptr) << "no main window";
            // The window is up and settled; anything the start-up wanted to
            // say would be showing by now.
            EXPECT_EQ(HasDeviceButton(shown.main), c.deviceEntry);
            shown = TopWindows(p);
            for (const std::string& cls : shown.others)
                EXPECT_STRNE(cls.c_str(), "#32770") << "a message box at start";
            PostMessageA(shown.main, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForSingleObject(p.pi.hProcess, 15000), WAIT_OBJECT_0);
        }
        RemoveFolder(dir);
    }
}
