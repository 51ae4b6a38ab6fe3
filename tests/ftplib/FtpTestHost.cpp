#include "FtpTestHost.h"

#include <stdarg.h>
#include <stdio.h>

#include <mutex>

#include "FtpInternal.h"

namespace {

std::mutex gLogMutex;
std::vector<std::string> gLog;

FtpTestHost* H() { return &FtpTestHost::Get(); }

void FTPCALL HostLog(void*, const char* format, ...) {
  char line[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(line, sizeof(line), format, ap);
  va_end(ap);
  std::lock_guard<std::mutex> g(gLogMutex);
  gLog.push_back(line);
}
void FTPCALL LogText(void*, int32_t id) { HostLog(nullptr, "text %d", id); }
void FTPCALL Center(void*) {}
void* FTPCALL MemAlloc(uint32_t size) { return size ? calloc(1, size) : nullptr; }
void FTPCALL MemFree(void** v) {
  if (v && *v) {
    free(*v);
    *v = nullptr;
  }
}
int32_t FTPCALL StrAppend(char* dst, const char* src, uint32_t size) {
  size_t have = strnlen(dst, size);
  if (have + 1 >= size) return 123;
  size_t n = strlen(src);
  size_t room = size - have - 1;
  bool cut = n > room;
  if (cut) n = room;
  memcpy(dst + have, src, n);
  dst[have + n] = 0;
  return cut ? 111 : 0;
}
void FTPCALL GetText(int32_t id, char* buf, int32_t size) { snprintf(buf, size, "text %d", id); }
void FTPCALL IniMakePath(const void* app, char* out) { strcpy(out, (const char*)app); }

int32_t FTPCALL TransferType(const char*) { return H()->transferType; }
void FTPCALL RefreshPanel(int32_t, const char*) {}
int32_t FTPCALL FileExists(const char* p) { return GetFileAttributesA(p) == INVALID_FILE_ATTRIBUTES ? 2 : 0; }
void FTPCALL FileClose(void* h) { CloseHandle(h); }
int32_t FTPCALL FileCreate(void*, const char* p, void** h) {
  HANDLE f = CreateFileA(p, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  *h = f == INVALID_HANDLE_VALUE ? nullptr : f;
  return f == INVALID_HANDLE_VALUE ? 1 : 0;
}
int32_t FTPCALL FileGetSize(void*, void* h, uint64_t* size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(h, &li)) {
    *size = 0;
    return 1;
  }
  *size = uint64_t(li.QuadPart);
  return 0;
}
int32_t FTPCALL FileOpen(const char* p, void** h, uint32_t access) {
  HANDLE f = CreateFileA(p, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  *h = f == INVALID_HANDLE_VALUE ? nullptr : f;
  return f == INVALID_HANDLE_VALUE ? 2 : 0;
}
int32_t FTPCALL FileOpenReport(void*, const char* p, void** h, uint32_t access) { return FileOpen(p, h, access); }
int32_t FTPCALL FileRead(void* h, void* buf, uint32_t n) {
  DWORD got = 0;
  return ReadFile(h, buf, n, &got, nullptr) && got == n ? 0 : 1;
}
int32_t FTPCALL FileDelete(const char* p) { return DeleteFileA(p) ? 0 : int32_t(GetLastError()); }
uint64_t FTPCALL FileSeek(void* h, uint64_t off) {
  LARGE_INTEGER li, out;
  li.QuadPart = LONGLONG(off);
  SetFilePointerEx(h, li, &out, FILE_BEGIN);
  return uint64_t(out.QuadPart);
}
void FTPCALL FileSetDosTime(void* h, uint16_t date, uint16_t time) {
  if (!date) return;
  FILETIME local, utc;
  if (DosDateTimeToFileTime(date, time, &local) && LocalFileTimeToFileTime(&local, &utc))
    SetFileTime(h, nullptr, &utc, &utc);
}
int32_t FTPCALL FileWrite(void*, void* h, const void* data, uint32_t n) {
  // A full disk, as the library meets it: a write that fails part-way.
  if (H()->writeBudget >= 0) {
    if (int64_t(n) > H()->writeBudget) return 1;
    H()->writeBudget -= n;
  }
  DWORD put = 0;
  return WriteFile(h, data, n, &put, nullptr) && put == n ? 0 : 1;
}
int32_t FTPCALL FileWriteLine(void* o, void* h, char* text) {
  strcat(text, "\r\n");
  return FileWrite(o, h, text, uint32_t(strlen(text)));
}
void FTPCALL AddProgress(JobRecord* job, uint32_t n) {
  if (job) job->done += n;
}
void FTPCALL OnDisconnected(FtpSession*, int32_t) { H()->disconnected++; }
void FTPCALL SetTitle(int32_t, const char*) {}
int32_t FTPCALL AskPassword(void*, FtpPasswordQuestion* q) {
  if (H()->passwordAnswer.empty()) return 0;
  snprintf(q->buffer, q->maxLength + 1, "%s", H()->passwordAnswer.c_str());
  return 1;
}
void* FTPCALL LocationFree(void* node) {
  free(node);
  return nullptr;
}
uint32_t FTPCALL IniGet(const char* s, const char* k, const char* d, char* b, uint32_t n, const char* f) {
  return GetPrivateProfileStringA(s, k, d, b, n, f);
}
int32_t FTPCALL IniPut(const char* s, const char* k, const char* v, const char* f) {
  return WritePrivateProfileStringA(s, k, v, f);
}
uint32_t FTPCALL IniGetSection(const char* s, char* b, uint32_t n, const char* f) {
  return GetPrivateProfileSectionA(s, b, n, f);
}
int32_t FTPCALL IniPutSection(const char* s, const char* t, const char* f) {
  return WritePrivateProfileSectionA(s, t, f);
}
void FTPCALL ToSlashes(char* p) {
  for (; *p; p++)
    if (*p == '\\') *p = '/';
}
uint16_t FTPCALL FindName(const char* p) {
  const char* n = p;
  for (const char* c = p; *c; c++)
    if (*c == '\\' || *c == '/' || *c == ':') n = c + 1;
  return uint16_t(n - p);
}
void FTPCALL TempFolder(char* b, uint32_t n) { GetTempPathA(n, b); }
int32_t FTPCALL MsgBoxId(void*, int32_t id, const char*, uint32_t) {
  H()->messageBoxes++;
  HostLog(nullptr, "message box %d", id);
  return IDOK;
}
void FTPCALL BringToFront(void*) {}
void FTPCALL StrUpper(char* t) { CharUpperA(t); }

LRESULT CALLBACK EventProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == kFtpNotifyMessage) {
    H()->events.emplace_back(int(wp), lp);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

}  // namespace

FtpTestHost& FtpTestHost::Get() {
  static FtpTestHost host;
  return host;
}

void FtpTestHost::Install() {
  InitializeCriticalSection(&lock);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = EventProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "FtpTestEvents";
  RegisterClassA(&wc);
  window = CreateWindowA("FtpTestEvents", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  char tmp[MAX_PATH];
  GetTempPathA(sizeof(tmp), tmp);
  // One settings file per test process: the test programs may run at once.
  iniPath = std::string(tmp) + "ftptest" + std::to_string(GetCurrentProcessId()) + ".ini";
  a.isWinNT = &isNt;
  a.app = (void*)iniPath.c_str();
  a.iniMakePath = IniMakePath;
  a.getText = GetText;
  a.log = HostLog;
  a.logText = LogText;
  a.center = Center;
  a.memAlloc = MemAlloc;
  a.memFree = MemFree;
  a.strAppend = StrAppend;
  b.sharedMenuWord = &menuWord;
  b.ftpOptions = &options;
  b.criticalSection = &lock;
  b.windowsDir = "C:\\windows";
  b.fileWord = "File";
  b.transferType = TransferType;
  b.refreshPanel = RefreshPanel;
  b.fileExists = FileExists;
  b.fileClose = FileClose;
  b.fileCreate = FileCreate;
  b.fileGetSize = FileGetSize;
  b.fileOpen = FileOpen;
  b.fileOpenReport = FileOpenReport;
  b.fileRead = FileRead;
  b.fileDelete = FileDelete;
  b.fileSeek = FileSeek;
  b.fileSetDosTime = FileSetDosTime;
  b.fileWriteLine = FileWriteLine;
  b.fileWrite = FileWrite;
  b.addProgress = AddProgress;
  b.onDisconnected = OnDisconnected;
  b.setConnectionTitle = SetTitle;
  b.askPassword = AskPassword;
  b.locationFree = LocationFree;
  b.iniGetString = IniGet;
  b.iniWriteString = IniPut;
  b.iniGetSection = IniGetSection;
  b.iniWriteSection = IniPutSection;
  b.pathToSlashes = ToSlashes;
  b.pathFindName = FindName;
  b.pathGetTempFolder = TempFolder;
  b.msgBoxId = MsgBoxId;
  b.bringToFront = BringToFront;
  b.strUpper = StrUpper;
  b.strAppend = StrAppend;
  CallF(kFtpInit, intptr_t(&a), intptr_t(&seed), intptr_t(&b), 0, 0, intptr_t(window), intptr_t("Zq Vandrell"));
}

std::vector<std::string> FtpTestHost::Log() {
  std::lock_guard<std::mutex> g(gLogMutex);
  return gLog;
}

void FtpTestHost::ClearLog() {
  std::lock_guard<std::mutex> g(gLogMutex);
  gLog.clear();
}

bool FtpTestHost::LogHas(const std::string& text) {
  std::lock_guard<std::mutex> g(gLogMutex);
  for (auto& l : gLog)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

bool FtpTestHost::WaitEvent(int code, DWORD ms, LPARAM* lParam) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    for (size_t i = 0; i < events.size(); i++) {
      if (events[i].first == code) {
        if (lParam) *lParam = events[i].second;
        events.erase(events.begin() + long(i));
        return true;
      }
    }
    if (GetTickCount() - start > ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

int32_t CallF(int32_t code, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5, intptr_t a6,
              intptr_t a7) {
  intptr_t r[8] = {code, a1, a2, a3, a4, a5, a6, a7};
  return f(r);
}
