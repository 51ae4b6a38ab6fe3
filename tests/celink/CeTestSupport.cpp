#include "CeTestSupport.h"

#include <algorithm>

CeTestHost gHost;

static CeEntryProc gEntry;

static void CECALL HostProgress(void*, uint32_t bytes) {
    gHost.progress += bytes;
    if (gHost.cancelAfter && gHost.progress >= gHost.cancelAfter) gHost.cancel = 1;
}
static int32_t CECALL HostAsk(void*) {
    ++gHost.asked;
    return gHost.answer;
}
static int32_t CECALL HostMakeDirs(void*, const char* path) {
    gHost.localDirsMade.push_back(path);
    std::string p = path;
    for (size_t i = 3; i <= p.size(); ++i)
        if (i == p.size() || p[i] == '\\') CreateDirectoryA(p.substr(0, i).c_str(), nullptr);
    return 0;
}
static uint32_t CECALL HostDelete(const char* path) {
    return DeleteFileA(path) ? 0 : GetLastError();
}
static void CECALL HostCut(char* path) {
    char* slash = strrchr(path, '\\');
    if (slash) *slash = 0;
}

HMODULE CeLoadLibrary() {
    static HMODULE module = LoadLibraryA("PELLIX.DLL");
    if (module && !gEntry) gEntry = reinterpret_cast<CeEntryProc>(GetProcAddress(module, "e"));
    gHost.table = {HostProgress, HostAsk, HostMakeDirs, HostDelete, HostCut};
    return module;
}

int CeCall(uint32_t code, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4) {
    CeCommandRecord record = {code, (uintptr_t)&gHost.table, a1, a2, a3, a4};
    return gEntry ? gEntry(record) : -100;
}

int CeCall(uint32_t code, const std::string& a1, const std::string& a2, uintptr_t a3, uintptr_t a4) {
    return CeCall(code, (uintptr_t)a1.c_str(), (uintptr_t)a2.c_str(), a3, a4);
}

void CeKnob(const char* name, const char* value) {
    SetEnvironmentVariableA(name, value);
    CeConnect();
}

int CeConnect() {
    return CeCall(kCeConnect);
}

static std::string UniqueScratch() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int n;
    std::string base =
        std::string(temp) + "celink-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++n);
    return base;
}

static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

CeScratch::CeScratch() {
    root = UniqueScratch();
    device = root + "\\device";
    local = root + "\\local";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(device.c_str(), nullptr);
    CreateDirectoryA(local.c_str(), nullptr);
    SetEnvironmentVariableA("ZQ_CE_ROOT", device.c_str());
    for (const char* knob : {"ZQ_CE_DISCONNECT_AFTER", "ZQ_CE_SLOW_MS", "ZQ_CE_FREE_BYTES",
                             "ZQ_CE_HOSTILE_NAMES", "ZQ_CE_RUN_LOG"})
        SetEnvironmentVariableA(knob, nullptr);
    gHost = CeTestHost{};
    CeLoadLibrary();
    CeConnect();
}

CeScratch::~CeScratch() {
    RemoveTree(root);
}

std::string CeScratch::DevicePath(const std::string& devicePath) const {
    return device + devicePath;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        CloseHandle(file);
    }
}

std::string ReadFileBytes(const std::string& path) {
    // Shares everything: a test that polls a file must not be what makes the
    // program's replace of it fail.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char chunk[65536];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string PatternBytes(size_t size, unsigned seed) {
    std::string bytes(size, 0);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = (char)(x >> 16);
    }
    return bytes;
}
