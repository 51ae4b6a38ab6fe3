// A host for the FTP library tests: both host tables filled with real
// Win32 file and profile calls, a log that the tests can read, and the
// events the library posts collected on a message-only window.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "FtpLib.h"

struct FtpTestHost {
  FtpHostServices a{};
  FtpHostServicesEx b{};
  int32_t isNt = 1;
  uint32_t seed = 0, menuWord = 0, options = 0;
  int32_t winsockCount = 0;
  CRITICAL_SECTION lock;
  HWND window = nullptr;
  std::string iniPath;

  static FtpTestHost& Get();
  void Install();  // sends command 1
  std::vector<std::string> Log();
  void ClearLog();
  bool LogHas(const std::string& text);
  // Pumps messages until event `code` arrives; its lParam in *lParam.
  bool WaitEvent(int code, DWORD ms, LPARAM* lParam = nullptr);
  std::vector<std::pair<int, LPARAM>> events;
  int disconnected = 0;
  int messageBoxes = 0;
  std::string passwordAnswer;  // empty: the password question is cancelled
  char transferType = 'I';
  // Bytes the host still writes to local files; below 0 without limit.
  int64_t writeBudget = -1;
};

int32_t CallF(int32_t code, intptr_t a1 = 0, intptr_t a2 = 0, intptr_t a3 = 0, intptr_t a4 = 0, intptr_t a5 = 0,
              intptr_t a6 = 0, intptr_t a7 = 0);
