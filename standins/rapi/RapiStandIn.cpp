// rapi.dll stand-in: a folder on disk plays the Windows CE device, so that
// PELLIX and the device panel can be tested under Wine, which has no RAPI.
// Device paths ("\Docs\a.txt") map below the folder; ".." never leaves it.
//
// Knobs, read from the environment at every CeRapiInit:
//   ZQ_CE_ROOT             the folder that plays the device; missing: no device
//   ZQ_CE_DISCONNECT_AFTER n: the link drops after n more calls; every call
//                          then fails with ERROR_DEVICE_NOT_CONNECTED until
//                          CeRapiInit again. The drop uses the knob up (it is
//                          removed from the environment), so a reconnect holds.
//   ZQ_CE_SLOW_MS          milliseconds every call takes
//   ZQ_CE_FREE_BYTES       bytes CeWriteFile may still write; then ERROR_DISK_FULL
//   ZQ_CE_HOSTILE_NAMES    1: listings also report names that are not plain
//                          base names ("..", "\abs.txt", "C:x.txt", "a/b.txt")
//   ZQ_CE_RUN_LOG          file CeCreateProcess appends the started path to
//
// Wine keeps no creation time of its own, so the stand-in keeps the ones set
// through CeSetFileTime (by path, for as long as it is loaded) and answers
// them where the device would: CeGetFileTime and the find calls.
#include <windows.h>
#include <stdint.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "celink/CeRapi.h"

#define RAPI_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Knobs {
    WCHAR root[MAX_PATH];
    bool connected;
    LONG disconnectAfter; // calls left; -1 never
    DWORD slowMs;
    LONGLONG freeBytes; // -1 unlimited
    bool hostileNames;
    char runLog[MAX_PATH];
};
Knobs gKnobs;
CRITICAL_SECTION gLock;
DWORD gErrorSlot = TLS_OUT_OF_INDEXES;

// Creation times set through the device, by upper-cased host path, and the
// host path of every file handle the stand-in opened.
std::map<std::wstring, FILETIME>* gCreation;
std::map<HANDLE, std::wstring>* gHandlePaths;

std::wstring KeyOf(const WCHAR* path) {
    std::wstring key = path;
    CharUpperBuffW(&key[0], (DWORD)key.size());
    return key;
}

void RememberHandle(HANDLE file, const WCHAR* path) {
    EnterCriticalSection(&gLock);
    (*gHandlePaths)[file] = KeyOf(path);
    LeaveCriticalSection(&gLock);
}

std::wstring PathOfHandle(HANDLE file) {
    EnterCriticalSection(&gLock);
    auto it = gHandlePaths->find(file);
    std::wstring path = it == gHandlePaths->end() ? std::wstring() : it->second;
    LeaveCriticalSection(&gLock);
    return path;
}

void KeepCreation(const std::wstring& key, const FILETIME& time) {
    if (key.empty()) return;
    EnterCriticalSection(&gLock);
    (*gCreation)[key] = time;
    LeaveCriticalSection(&gLock);
}

// The kept creation time of a host path replaces what Wine reports.
void KeptCreation(const std::wstring& key, FILETIME* time) {
    EnterCriticalSection(&gLock);
    auto it = gCreation->find(key);
    if (it != gCreation->end()) *time = it->second;
    LeaveCriticalSection(&gLock);
}

void ForgetCreation(const WCHAR* path) {
    EnterCriticalSection(&gLock);
    gCreation->erase(KeyOf(path));
    LeaveCriticalSection(&gLock);
}

void MoveCreation(const WCHAR* from, const WCHAR* to) {
    EnterCriticalSection(&gLock);
    auto it = gCreation->find(KeyOf(from));
    if (it != gCreation->end()) {
        FILETIME t = it->second;
        gCreation->erase(it);
        (*gCreation)[KeyOf(to)] = t;
    } else {
        gCreation->erase(KeyOf(to));
    }
    LeaveCriticalSection(&gLock);
}

// Dummy process and thread handles of CeCreateProcess.
HANDLE const kProcessHandle = (HANDLE)(INT_PTR)0x7E50;
HANDLE const kThreadHandle = (HANDLE)(INT_PTR)0x7E54;

void SetCeError(DWORD error) {
    TlsSetValue(gErrorSlot, (LPVOID)(UINT_PTR)error);
}

// Fails with the saved error; the caller returns its failure value.
bool FailWith(DWORD error) {
    SetCeError(error);
    return false;
}

bool FailWithLast() {
    return FailWith(GetLastError());
}

LONGLONG EnvNumber(const char* name, LONGLONG fallback) {
    char text[40];
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    if (!n || n >= sizeof text) return fallback;
    return _strtoi64(text, nullptr, 10);
}

// Every device call passes here: it may be slow, and it may find the link gone.
bool Enter() {
    if (gKnobs.slowMs) Sleep(gKnobs.slowMs);
    if (!gKnobs.connected) return FailWith(ERROR_DEVICE_NOT_CONNECTED);
    if (gKnobs.disconnectAfter >= 0) {
        if (InterlockedDecrement(&gKnobs.disconnectAfter) < 0) {
            gKnobs.connected = false;
            SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", nullptr);
            return FailWith(ERROR_DEVICE_NOT_CONNECTED);
        }
    }
    return true;
}

// Host path of a device path; refuses relative paths and ".." components.
bool MapPath(LPCWSTR device, WCHAR* out) {
    if (!device || device[0] != L'\\') return FailWith(ERROR_INVALID_NAME);
    for (LPCWSTR p = device; *p; ++p) {
        if (p[0] == L'.' && p[1] == L'.' && (p[-1] == L'\\' || p[-1] == L'/') &&
            (p[2] == 0 || p[2] == L'\\' || p[2] == L'/'))
            return FailWith(ERROR_INVALID_NAME);
    }
    size_t rootLen = lstrlenW(gKnobs.root);
    size_t len = lstrlenW(device);
    if (rootLen + len >= MAX_PATH) return FailWith(ERROR_FILENAME_EXCED_RANGE);
    lstrcpyW(out, gKnobs.root);
    lstrcpyW(out + rootLen, device);
    return true;
}

void CopyFindData(const WIN32_FIND_DATAW& from, CeFindData* to) {
    to->attributes = from.dwFileAttributes;
    to->creation = from.ftCreationTime;
    to->lastAccess = from.ftLastAccessTime;
    to->lastWrite = from.ftLastWriteTime;
    to->sizeHigh = from.nFileSizeHigh;
    to->sizeLow = from.nFileSizeLow;
    to->objectId = 0;
    lstrcpynW(to->name, from.cFileName, MAX_PATH);
}

bool IsDotName(const WCHAR* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&gLock);
        gErrorSlot = TlsAlloc();
        gCreation = new std::map<std::wstring, FILETIME>;
        gHandlePaths = new std::map<HANDLE, std::wstring>;
    } else if (reason == DLL_PROCESS_DETACH) {
        delete gCreation;
        delete gHandlePaths;
        TlsFree(gErrorSlot);
        DeleteCriticalSection(&gLock);
    }
    return TRUE;
}

RAPI_EXPORT HRESULT WINAPI CeRapiInit(void) {
    Knobs k = {};
    gKnobs.connected = false;
    DWORD n = GetEnvironmentVariableW(L"ZQ_CE_ROOT", k.root, MAX_PATH);
    if (!n || n >= MAX_PATH) return E_FAIL;
    while (n > 0 && (k.root[n - 1] == L'\\' || k.root[n - 1] == L'/'))
        k.root[--n] = 0;
    DWORD attributes = GetFileAttributesW(k.root);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return E_FAIL;
    k.disconnectAfter = (LONG)EnvNumber("ZQ_CE_DISCONNECT_AFTER", -1);
    k.slowMs = (DWORD)EnvNumber("ZQ_CE_SLOW_MS", 0);
    k.freeBytes = EnvNumber("ZQ_CE_FREE_BYTES", -1);
    k.hostileNames = EnvNumber("ZQ_CE_HOSTILE_NAMES", 0) != 0;
    DWORD logLen = GetEnvironmentVariableA("ZQ_CE_RUN_LOG", k.runLog, MAX_PATH);
    if (logLen >= MAX_PATH) k.runLog[0] = 0;
    k.connected = true;
    EnterCriticalSection(&gLock);
    gKnobs = k;
    LeaveCriticalSection(&gLock);
    return S_OK;
}

RAPI_EXPORT HRESULT WINAPI CeRapiUninit(void) {
    gKnobs.connected = false;
    return S_OK;
}

RAPI_EXPORT DWORD WINAPI CeGetLastError(void) {
    return (DWORD)(UINT_PTR)TlsGetValue(gErrorSlot);
}

RAPI_EXPORT HRESULT WINAPI CeRapiFreeBuffer(LPVOID buffer) {
    if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
    return S_OK;
}

RAPI_EXPORT BOOL WINAPI CeFindAllFiles(LPCWSTR pattern, DWORD, LPDWORD count, CeFindData** found) {
    *count = 0;
    *found = nullptr;
    WCHAR path[MAX_PATH];
    if (!Enter() || !MapPath(pattern, path)) return FALSE;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path, &data);
    static const WCHAR* const kHostile[] = {L"..", L"\\abs.txt", L"C:x.txt", L"a/b.txt", L"..\\up.txt"};
    const DWORD hostileCount = gKnobs.hostileNames ? (DWORD)(sizeof kHostile / sizeof *kHostile) : 0;
    DWORD capacity = 16 + hostileCount, used = 0;
    CeFindData* list = (CeFindData*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof *list);
    if (!list) {
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
        return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotName(data.cFileName)) continue;
            if (used + hostileCount == capacity) {
                capacity *= 2;
                CeFindData* grown = (CeFindData*)HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, list,
                                                             capacity * sizeof *list);
                if (!grown) {
                    FindClose(find);
                    HeapFree(GetProcessHeap(), 0, list);
                    return FailWith(ERROR_NOT_ENOUGH_MEMORY);
                }
                list = grown;
            }
            CopyFindData(data, &list[used]);
            std::wstring host = path;
            size_t cut = host.find_last_of(L'\\');
            host = host.substr(0, cut == std::wstring::npos ? 0 : cut + 1) + data.cFileName;
            KeptCreation(KeyOf(host.c_str()), &list[used].creation);
            ++used;
        } while (FindNextFileW(find, &data));
        FindClose(find);
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        HeapFree(GetProcessHeap(), 0, list);
        return FailWithLast();
    }
    for (DWORD i = 0; i < hostileCount; ++i) {
        CeFindData& d = list[used++];
        d.attributes = FILE_ATTRIBUTE_ARCHIVE;
        d.sizeLow = 5;
        lstrcpyW(d.name, kHostile[i]);
    }
    if (!used) {
        HeapFree(GetProcessHeap(), 0, list);
        list = nullptr;
    }
    *count = used;
    *found = list;
    return TRUE;
}

RAPI_EXPORT HANDLE WINAPI CeFindFirstFile(LPCWSTR name, CeFindData* out) {
    WCHAR path[MAX_PATH];
    if (!Enter() || !MapPath(name, path)) return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path, &data);
    if (find == INVALID_HANDLE_VALUE) {
        FailWithLast();
        return INVALID_HANDLE_VALUE;
    }
    CopyFindData(data, out);
    KeptCreation(KeyOf(path), &out->creation);
    return find;
}

RAPI_EXPORT BOOL WINAPI CeFindClose(HANDLE find) {
    return FindClose(find);
}

RAPI_EXPORT DWORD WINAPI CeGetFileAttributes(LPCWSTR name) {
    WCHAR path[MAX_PATH];
    if (!Enter() || !MapPath(name, path)) return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) FailWithLast();
    return attributes;
}

// The wrappers that map one path and pass the call on.
#define CE_PATH_CALL(call)                                                                                   \
    WCHAR path[MAX_PATH];                                                                                    \
    if (!Enter() || !MapPath(name, path)) return FALSE;                                                      \
    return (call) ? TRUE : FailWithLast();

RAPI_EXPORT BOOL WINAPI CeSetFileAttributes(LPCWSTR name, DWORD attributes){
    CE_PATH_CALL(SetFileAttributesW(path, attributes))}

RAPI_EXPORT BOOL WINAPI
    CeCreateDirectory(LPCWSTR name, LPSECURITY_ATTRIBUTES){CE_PATH_CALL(CreateDirectoryW(path, nullptr))}

RAPI_EXPORT BOOL WINAPI CeRemoveDirectory(LPCWSTR name){CE_PATH_CALL(RemoveDirectoryW(path))}

RAPI_EXPORT BOOL WINAPI CeDeleteFile(LPCWSTR name) {
    // A device refuses to delete a read-only file, as Wine does not.
    WCHAR path[MAX_PATH];
    if (!Enter() || !MapPath(name, path)) return FALSE;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return FailWith(ERROR_ACCESS_DENIED);
    if (!DeleteFileW(path)) return FailWithLast();
    ForgetCreation(path);
    return TRUE;
}

RAPI_EXPORT BOOL WINAPI CeMoveFile(LPCWSTR from, LPCWSTR to) {
    WCHAR source[MAX_PATH], target[MAX_PATH];
    if (!Enter() || !MapPath(from, source) || !MapPath(to, target)) return FALSE;
    if (!lstrcmpiW(source, target) && lstrcmpW(source, target)) {
        // A rename in case only, which Wine's MoveFile leaves undone.
        WCHAR between[MAX_PATH + 8];
        lstrcpyW(between, source);
        lstrcatW(between, L".case~");
        if (!MoveFileW(source, between)) return FailWithLast();
        if (MoveFileW(between, target)) {
            MoveCreation(source, target);
            return TRUE;
        }
        DWORD error = GetLastError();
        MoveFileW(between, source);
        return FailWith(error);
    }
    if (!MoveFileW(source, target)) return FailWithLast();
    MoveCreation(source, target);
    return TRUE;
}

RAPI_EXPORT BOOL WINAPI CeCopyFile(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
    WCHAR source[MAX_PATH], target[MAX_PATH];
    if (!Enter() || !MapPath(from, source) || !MapPath(to, target)) return FALSE;
    return CopyFileW(source, target, failIfExists) ? TRUE : FailWithLast();
}

RAPI_EXPORT HANDLE WINAPI CeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                                       DWORD creation, DWORD flags, HANDLE) {
    WCHAR path[MAX_PATH];
    if (!Enter() || !MapPath(name, path)) return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileW(path, access, share, nullptr, creation, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        FailWithLast();
        return file;
    }
    if (creation == CREATE_ALWAYS || creation == CREATE_NEW || creation == TRUNCATE_EXISTING)
        ForgetCreation(path); // a new file has its own time
    RememberHandle(file, path);
    return file;
}

RAPI_EXPORT BOOL WINAPI CeReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED) {
    *read = 0;
    if (!Enter()) return FALSE;
    return ReadFile(file, buffer, size, read, nullptr) ? TRUE : FailWithLast();
}

RAPI_EXPORT BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED) {
    *written = 0;
    if (!Enter()) return FALSE;
    if (gKnobs.freeBytes >= 0) {
        EnterCriticalSection(&gLock);
        bool fits = (LONGLONG)size <= gKnobs.freeBytes;
        if (fits) gKnobs.freeBytes -= size;
        LeaveCriticalSection(&gLock);
        if (!fits) return FailWith(ERROR_DISK_FULL);
    }
    return WriteFile(file, buffer, size, written, nullptr) ? TRUE : FailWithLast();
}

RAPI_EXPORT BOOL WINAPI CeGetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess,
                                      LPFILETIME lastWrite) {
    if (!Enter()) return FALSE;
    if (!GetFileTime(file, creation, lastAccess, lastWrite)) return FailWithLast();
    if (creation) KeptCreation(PathOfHandle(file), creation);
    return TRUE;
}

RAPI_EXPORT BOOL WINAPI CeSetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                                      const FILETIME* lastWrite) {
    if (!Enter()) return FALSE;
    if (!SetFileTime(file, creation, lastAccess, lastWrite)) return FailWithLast();
    if (creation && (creation->dwLowDateTime || creation->dwHighDateTime))
        KeepCreation(PathOfHandle(file), *creation);
    return TRUE;
}

RAPI_EXPORT BOOL WINAPI CeCloseHandle(HANDLE object) {
    // Closed even after the link dropped, so the stand-in leaks nothing.
    if (object == kProcessHandle || object == kThreadHandle) return TRUE;
    EnterCriticalSection(&gLock);
    gHandlePaths->erase(object);
    LeaveCriticalSection(&gLock);
    if (!CloseHandle(object)) return FailWithLast();
    return gKnobs.connected ? TRUE : FailWith(ERROR_DEVICE_NOT_CONNECTED);
}

RAPI_EXPORT BOOL WINAPI CeCreateProcess(LPCWSTR program, LPCWSTR, LPSECURITY_ATTRIBUTES,
                                        LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW,
                                        LPPROCESS_INFORMATION info) {
    WCHAR path[MAX_PATH];
    if (!Enter() || !MapPath(program, path)) return FALSE;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FailWithLast();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FailWith(ERROR_ACCESS_DENIED);
    if (gKnobs.runLog[0]) {
        HANDLE log = CreateFileA(gKnobs.runLog, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            char line[MAX_PATH * 3 + 2];
            int n = WideCharToMultiByte(CP_UTF8, 0, program, -1, line, sizeof line - 2, nullptr, nullptr);
            if (n > 0) {
                line[n - 1] = '\n';
                DWORD written;
                WriteFile(log, line, (DWORD)n, &written, nullptr);
            }
            CloseHandle(log);
        }
    }
    if (info) {
        info->hProcess = kProcessHandle;
        info->hThread = kThreadHandle;
        info->dwProcessId = 0x4E;
        info->dwThreadId = 0x4F;
    }
    return TRUE;
}
