// The Remote API functions PELLIX calls, declared here from their documented
// signatures (the desktop side of a Windows CE connection, rapi.dll). Every
// one is WINAPI; wide strings are device paths ("\My Documents\x.txt").
#pragma once
#include <windows.h>

struct CeFindData {
    DWORD attributes;
    FILETIME creation, lastAccess, lastWrite;
    DWORD sizeHigh, sizeLow;
    DWORD objectId;
    WCHAR name[MAX_PATH];
};

// Fields CeFindAllFiles fills.
enum : DWORD {
    kFafAttributes = 0x01,
    kFafLastWriteTime = 0x08,
    kFafSizeLow = 0x20,
    kFafName = 0x80,
};

extern "C" {
HRESULT WINAPI CeRapiInit(void);
HRESULT WINAPI CeRapiUninit(void);
DWORD WINAPI CeGetLastError(void);
HRESULT WINAPI CeRapiFreeBuffer(LPVOID buffer);
BOOL WINAPI CeFindAllFiles(LPCWSTR pattern, DWORD flags, LPDWORD count, CeFindData** found);
HANDLE WINAPI CeFindFirstFile(LPCWSTR name, CeFindData* data);
BOOL WINAPI CeFindClose(HANDLE find);
DWORD WINAPI CeGetFileAttributes(LPCWSTR name);
BOOL WINAPI CeSetFileAttributes(LPCWSTR name, DWORD attributes);
BOOL WINAPI CeCreateDirectory(LPCWSTR name, LPSECURITY_ATTRIBUTES security);
BOOL WINAPI CeRemoveDirectory(LPCWSTR name);
BOOL WINAPI CeDeleteFile(LPCWSTR name);
BOOL WINAPI CeMoveFile(LPCWSTR from, LPCWSTR to);
BOOL WINAPI CeCopyFile(LPCWSTR from, LPCWSTR to, BOOL failIfExists);
HANDLE WINAPI CeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                           DWORD creation, DWORD flags, HANDLE templateFile);
BOOL WINAPI CeReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
BOOL WINAPI CeGetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
BOOL WINAPI CeSetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                          const FILETIME* lastWrite);
BOOL WINAPI CeCloseHandle(HANDLE object);
BOOL WINAPI CeCreateProcess(LPCWSTR program, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                            LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD creationFlags,
                            LPVOID environment, LPWSTR currentDirectory, LPSTARTUPINFOW startup,
                            LPPROCESS_INFORMATION info);
}
