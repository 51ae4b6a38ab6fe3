// The FTP Find window (command 45): searches a connection's folder tree for
// names that match a mask, lists the hits in a virtual list view, goes to a
// hit in the host's panel and exports the hits as text, CSV or HTML.
//
// The search runs on a thread of its own over the connection's control
// connection. It never enters a link (a link to "." or ".." would make the
// walk endless) and keeps a depth limit; a folder it cannot enter or list is
// written to the connection's log and counted in the status line.
#include "FtpInternal.h"

#include <commctrl.h>
#include <commdlg.h>
#include <process.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "FtpFindExport.h"
#include "FtpListParse.h"
#include "FtpProto.h"

namespace {

enum : int {
  kCmdFilter = 65,
  kCmdFilterButton = 818,
  kCmdClose = 120,
  kCmdToolBar = 241,
  kCmdStatusBar = 243,
  kCmdSearch = 301,
  kCmdGoTo = 324,
  kCmdStop = 526,
  kCmdExportText = 527,
  kCmdExportCsv = 528,
  kCmdExportHtml = 529,
  kCmdFocusList = 530,
  kCmdLargeIcons = 544,
  kCmdSmallIcons = 545,
  kCmdList = 546,
  kCmdDetails = 547,
  kBoxSubfolders = 10103,
  kBoxHidden = 11801,
  kBoxFilter = 14505,
  kIdList = 1000,
  kIdMask = 1001,
  kIdLabel = 1002,
  kIdToolBar = 1003,
  kIdStatus = 1004,
};

enum : uint32_t {
  kOptToolBarHidden = 0x02,
  kOptStatusHidden = 0x04,
  kOptSubfolders = 0x10,
  kOptHidden = 0x20,
  kOptFilter = 0x40,
  kOptLargeIcons = 0x100,
  kOptSmallIcons = 0x200,
  kOptList = 0x400,
  kOptViewBits = kOptLargeIcons | kOptSmallIcons | kOptList,
  kOptWindowBits = 0x7FE,
};

enum : int {
  kTextFile = 5500,
  kTextTotal = 5501,
  kTextSelected = 5502,
  kTextFileOne = 5503,
  kTextFileMany = 5504,
  kTextFolderOne = 5505,
  kTextFolderMany = 5506,
  kTextByteOne = 5507,
  kTextByteMany = 5058,
  kTextCanceled = 5059,
};

const UINT kMsgProgress = WM_APP + 1;  // the search thread: new hits or a new folder
const UINT kMsgDone = WM_APP + 2;      // the search thread ended
const char kClassName[] = "FTPFind";
const char kSection[] = "FTPFind";
const int kDepthLimit = 64;

struct Column {
  int title;
  const char* english;
  int width;
  int format;
};
const Column kColumns[6] = {{4002, "Name", 150, LVCFMT_LEFT},     {4003, "Size", 60, LVCFMT_RIGHT},
                            {4004, "Modified", 105, LVCFMT_LEFT}, {4005, "Attributes", 45, LVCFMT_LEFT},
                            {4029, "Path", 45, LVCFMT_LEFT},      {4001, "Type", 45, LVCFMT_LEFT}};

struct Hit {
  uint16_t date, time;
  uint32_t folder;  // index in the folder list
  uint32_t attributes;
  uint64_t size;
  int icon;  // -1 until asked
  std::string name;
  std::string type;  // empty until asked
};

struct FindState {
  volatile LONG references;  // the window and a running search thread
  HWND window, toolBar, status, label, mask, boxSub, boxHidden, boxFilter, filterButton, list;
  FtpSession* session;
  uint32_t options;
  char startFolder[262];
  char maskText[260];
  void* filter;
  FtpFindGoToCallback goTo;
  char separator;
  // Shared with the search thread under the host's lock.
  std::vector<Hit> hits;
  std::vector<std::string> folders;
  uint64_t countFolders, countFiles, countBytes;
  uint32_t unreadFolders;
  std::string currentFolder;
  // Plain counters polled by the thread.
  volatile LONG running, stop, canceled;
  uint32_t shownCount;
  char exportName[MAX_PATH];
  POINT minSize;
};

FtpHostServices* A() { return gFtp.host; }
FtpHostServicesEx* B() { return gFtp.hostEx; }

void Release(FindState* st) {
  if (InterlockedDecrement(&st->references) == 0) delete st;
}

std::string Text(int id, const char* english) {
  char buffer[260] = "";
  if (A() && A()->getText) A()->getText(id, buffer, sizeof buffer);
  return buffer[0] ? buffer : english;
}

void IniPath(char* out) {
  out[0] = 0;
  if (A() && A()->iniMakePath) A()->iniMakePath(A()->app, out);
}

// ---- texts of one hit ------------------------------------------------------------

void SizeText(uint64_t size, char* out) {
  if (B() && B()->formatNumber64) {
    out[0] = 0;
    B()->formatNumber64(&size, out);
    return;
  }
  FtpU64Text(size, out);
}

void DateText(const Hit& h, char* out, uint32_t size) {
  out[0] = 0;
  if (!h.date) return;
  if (B() && B()->formatDosDateTime) {
    B()->formatDosDateTime(out, h.date, h.time, size);
    return;
  }
  snprintf(out, size, "%04u-%02u-%02u  %02u:%02u", 1980 + (h.date >> 9), (h.date >> 5) & 15, h.date & 31,
           h.time >> 11, (h.time >> 5) & 63);
}

void AttrText(uint32_t attributes, char* out) {
  out[0] = 0;
  if (attributes & kFtpModeWord) {
    FtpFormatMode(out, 16, attributes);
    if (out[0] == ' ') memmove(out, out + 1, strlen(out));
    return;
  }
  if (B() && B()->formatAttributes) B()->formatAttributes(out, attributes & 0x27);
}

bool IsLink(const Hit& h) { return (h.attributes & (kFtpModeWord | kFtpModeLink)) == (kFtpModeWord | kFtpModeLink); }
bool IsFolder(const Hit& h) { return (h.attributes & kFtpAttrDirectory) != 0; }

void TypeText(Hit& h) {
  if (!h.type.empty()) return;
  if (IsLink(h)) {
    h.type = "<LINK>";
    return;
  }
  SHFILEINFOA info = {};
  DWORD attrs = IsFolder(h) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (SHGetFileInfoA(h.name.c_str(), attrs, &info, sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME) &&
      info.szTypeName[0]) {
    h.type = info.szTypeName;
    return;
  }
  const char* dot = strrchr(h.name.c_str(), '.');
  std::string ext = dot && dot[1] ? dot + 1 : "";
  if (!ext.empty()) CharUpperBuffA(&ext[0], DWORD(ext.size()));
  h.type = ext + "-" + (B() && B()->fileWord && B()->fileWord[0] ? B()->fileWord : "File");
}

// ---- the search ----------------------------------------------------------------

struct Collected {
  std::vector<FtpListEntry> entries;
};

void Collect(const FtpListEntry& e, void* user) {
  if (e.attributes & kFtpAttrUpDir) return;
  static_cast<Collected*>(user)->entries.push_back(e);
}

void Post(FindState* st, UINT message) {
  if (st->window) PostMessageA(st->window, message, 0, 0);
}

bool Stopped(FindState* st) { return st->stop || !st->session || st->session->closing; }

// The connection takes one command at a time; the search waits its turn
// between folders, as long as it is not stopped.
bool TakeConnection(FindState* st) {
  while (!Stopped(st)) {
    if (FtpBusyEnter(st->session)) return true;
    Sleep(100);
  }
  return false;
}

void Unreadable(FindState* st, const char* folder) {
  FtpLog(st->session, "FTP Find: cannot search %s: %s", folder, st->session->reply);
  FtpLock();
  st->unreadFolders++;
  FtpUnlock();
}

bool JoinFolder(char* out, size_t size, const char* folder, const char* name) {
  size_t n = strlen(folder);
  bool slash = n > 0 && folder[n - 1] == '/';
  int w = snprintf(out, size, "%s%s%s", folder, slash ? "" : "/", name);
  return w > 0 && size_t(w) < size;
}

// A name that may stand as one step of a remote path.
bool PlainName(const char* name) {
  if (!name[0] || !strcmp(name, ".") || !strcmp(name, "..")) return false;
  return !strpbrk(name, "/\\\r\n");
}

bool Matches(FindState* st, const char* folder, const FtpListEntry& e) {
  const char* mask = st->maskText;
  if (B() && B()->filterMatchMasks) {
    if (!B()->filterMatchMasks(e.name, mask)) return false;
  } else if (!PathMatchSpecA(e.name, mask)) {
    return false;
  }
  if ((st->options & kOptFilter) && B() && B()->filterMatch) {
    uint64_t size = e.size;
    uint32_t attributes = (e.attributes & kFtpAttrDirectory) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (!B()->filterMatch(folder, e.name, attributes, e.dosDate, e.dosTime, &size, st->filter)) return false;
  }
  return true;
}

void SearchFolder(FindState* st, const char* folder, int depth) {
  if (Stopped(st)) return;
  FtpSession* s = st->session;
  if (!TakeConnection(st)) return;
  char printed[262] = "";
  char* text = nullptr;
  uint32_t length = 0;
  int cls = FtpLibChangeDir(s, folder);
  if (cls == 2 && (FtpLibPrintDir(s, printed, sizeof printed) != 2 || !printed[0]))
    FtpCopy(printed, folder, sizeof printed);
  if (cls == 2)
    cls = FtpLibDataCommand(s, (st->options & kOptHidden) ? "LIST -la" : "LIST", nullptr, &text, &length, 0, 'A');
  FtpBusyLeave(s);
  if (cls != 2) {
    free(text);
    if (!Stopped(st)) Unreadable(st, folder);
    return;
  }
  if (strchr(printed, '/')) st->separator = '/';

  SYSTEMTIME now;
  GetLocalTime(&now);
  FtpToday today = {now.wYear, now.wMonth, now.wDay};
  Collected found;
  int32_t type = s->systemType;
  FtpLock();
  FtpParseListing(printed, text ? text : "", &type, today, &Collect, &found);
  s->systemType = type;
  uint32_t folderIndex = uint32_t(st->folders.size());
  st->folders.push_back(printed);
  st->currentFolder = printed;
  FtpUnlock();
  free(text);
  Post(st, kMsgProgress);

  std::vector<std::string> below;
  for (const FtpListEntry& e : found.entries) {
    if (Stopped(st)) break;
    bool link = (e.attributes & (kFtpModeWord | kFtpModeLink)) == (kFtpModeWord | kFtpModeLink);
    bool dir = (e.attributes & kFtpAttrDirectory) != 0;
    // A link is a hit like any entry, never a way down.
    if (dir && !link && (st->options & kOptSubfolders)) {
      char child[262];
      if (PlainName(e.name) && JoinFolder(child, sizeof child, printed, e.name)) {
        below.push_back(child);
      } else {
        FtpLog(s, "FTP Find: cannot search %s/%s: the name does not fit a path", printed, e.name);
        FtpLock();
        st->unreadFolders++;
        FtpUnlock();
      }
    }
    if (!Matches(st, printed, e)) continue;
    Hit h;
    h.date = e.dosDate;
    h.time = e.dosTime;
    h.folder = folderIndex;
    h.attributes = e.attributes;
    h.size = e.size;
    h.icon = -1;
    h.name = e.name;
    FtpLock();
    st->hits.push_back(h);
    if (dir)
      st->countFolders++;
    else {
      st->countFiles++;
      st->countBytes += e.size;
    }
    FtpUnlock();
  }
  Post(st, kMsgProgress);
  for (const std::string& child : below) {
    if (Stopped(st)) break;
    if (depth + 1 >= kDepthLimit) {
      FtpLog(s, "FTP Find: %s is deeper than %d folders and was not searched", child.c_str(), kDepthLimit);
      FtpLock();
      st->unreadFolders++;
      FtpUnlock();
      continue;
    }
    SearchFolder(st, child.c_str(), depth + 1);
  }
}

unsigned __stdcall SearchThread(void* arg) {
  FindState* st = static_cast<FindState*>(arg);
  FtpSession* s = st->session;
  if (s) {
    char start[262];
    FtpCopy(start, st->startFolder[0] ? st->startFolder : s->site.remoteDir, sizeof start);
    if (!start[0]) FtpCopy(start, "/", sizeof start);
    SearchFolder(st, start, 0);
    if (st->stop) InterlockedExchange(&st->canceled, 1);
    InterlockedDecrement(&s->operations);
  }
  InterlockedExchange(&st->running, 0);
  Post(st, kMsgDone);
  Release(st);
  return 0;
}

// ---- the window ------------------------------------------------------------------

void SetEnabled(FindState* st, int id, bool on) {
  HMENU menu = GetMenu(st->window);
  if (menu) EnableMenuItem(menu, UINT(id), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  if (st->toolBar) SendMessageA(st->toolBar, TB_ENABLEBUTTON, WPARAM(id), MAKELPARAM(on ? TRUE : FALSE, 0));
}

bool HaveHits(FindState* st) { return st->shownCount > 0; }

bool CommandEnabled(FindState* st, int id) {
  switch (id) {
    case kCmdExportText:
    case kCmdExportCsv:
    case kCmdExportHtml:
    case kCmdGoTo:
      return HaveHits(st);
    case kCmdSearch:
      return !st->running && st->session;
    case kCmdStop:
      return st->running != 0;
  }
  return true;
}

void ApplyStates(FindState* st) {
  static const int kIds[] = {kCmdExportText, kCmdExportCsv, kCmdExportHtml, kCmdGoTo, kCmdSearch, kCmdStop};
  for (int id : kIds) SetEnabled(st, id, CommandEnabled(st, id));
  HMENU menu = GetMenu(st->window);
  if (menu) {
    CheckMenuItem(menu, kCmdToolBar, MF_BYCOMMAND | ((st->options & kOptToolBarHidden) ? MF_UNCHECKED : MF_CHECKED));
    CheckMenuItem(menu, kCmdStatusBar, MF_BYCOMMAND | ((st->options & kOptStatusHidden) ? MF_UNCHECKED : MF_CHECKED));
  }
}

void AppendCount(std::string& line, uint64_t n, int one, const char* oneText, int many, const char* manyText) {
  if (!n) return;
  char number[32];
  SizeText(n, number);
  if (line.back() != ' ') line += ", ";
  line += number;
  line += ' ';
  line += n == 1 ? Text(one, oneText) : Text(many, manyText);
}

std::string CountsLine(int title, const char* titleText, uint64_t folders, uint64_t files, uint64_t bytes) {
  std::string line = Text(title, titleText) + " ";
  AppendCount(line, files, kTextFileOne, "file", kTextFileMany, "files");
  AppendCount(line, folders, kTextFolderOne, "folder", kTextFolderMany, "folders");
  AppendCount(line, bytes, kTextByteOne, "byte", kTextByteMany, "bytes");
  return line;
}

void ShowStatus(FindState* st) {
  if (!st->status) return;
  FtpLock();
  std::string line = CountsLine(kTextTotal, "Total", st->countFolders, st->countFiles, st->countBytes);
  uint32_t unread = st->unreadFolders;
  std::string folder = st->running ? st->currentFolder : std::string();
  FtpUnlock();
  if (unread) {
    char more[96];
    snprintf(more, sizeof more, " - %u %s not searched", unread, unread == 1 ? "folder" : "folders");
    line += more;
  }
  if (st->canceled) line += " - " + Text(kTextCanceled, "search canceled");
  SendMessageA(st->status, SB_SETTEXTA, 1, LPARAM(line.c_str()));
  if (st->running) SendMessageA(st->status, SB_SETTEXTA, 0, LPARAM(folder.c_str()));
}

void ShowSelection(FindState* st) {
  if (!st->status || !st->list) return;
  uint64_t folders = 0, files = 0, bytes = 0;
  FtpLock();
  for (int i = -1; (i = int(SendMessageA(st->list, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED))) >= 0;) {
    if (size_t(i) >= st->hits.size()) break;
    const Hit& h = st->hits[size_t(i)];
    if (IsFolder(h))
      folders++;
    else {
      files++;
      bytes += h.size;
    }
  }
  FtpUnlock();
  std::string line = folders + files ? CountsLine(kTextSelected, "Selected", folders, files, bytes) : std::string();
  SendMessageA(st->status, SB_SETTEXTA, 0, LPARAM(line.c_str()));
}

void UpdateCount(FindState* st) {
  FtpLock();
  uint32_t n = uint32_t(st->hits.size());
  FtpUnlock();
  if (n != st->shownCount) {
    st->shownCount = n;
    SendMessageA(st->list, LVM_SETITEMCOUNT, n, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    ApplyStates(st);
  }
}

void ReadBoxes(FindState* st) {
  struct {
    HWND box;
    uint32_t bit;
  } boxes[] = {{st->boxSub, kOptSubfolders}, {st->boxHidden, kOptHidden}, {st->boxFilter, kOptFilter}};
  for (auto& b : boxes) {
    if (!b.box) continue;
    if (SendMessageA(b.box, BM_GETCHECK, 0, 0) == BST_CHECKED)
      st->options |= b.bit;
    else
      st->options &= ~b.bit;
  }
}

void StartSearch(FindState* st) {
  if (st->running || !st->session) return;
  ReadBoxes(st);
  GetWindowTextA(st->mask, st->maskText, sizeof st->maskText);
  if (!st->maskText[0] || !strcmp(st->maskText, "*.*")) FtpCopy(st->maskText, "*", sizeof st->maskText);
  else if (B() && B()->comboPutFirst) B()->comboPutFirst(st->mask, st->maskText);
  InterlockedExchange(&st->stop, 0);
  InterlockedExchange(&st->canceled, 0);
  FtpLock();
  st->hits.clear();
  st->folders.clear();
  st->countFolders = st->countFiles = st->countBytes = 0;
  st->unreadFolders = 0;
  st->currentFolder.clear();
  FtpUnlock();
  st->shownCount = 0;
  SendMessageA(st->list, LVM_SETITEMCOUNT, 0, 0);
  InterlockedExchange(&st->running, 1);
  InterlockedIncrement(&st->references);
  InterlockedIncrement(&st->session->operations);
  if (B() && B()->setStateIcon) B()->setStateIcon(st->status, 0, 1);
  ApplyStates(st);
  ShowStatus(st);
  uintptr_t t = _beginthreadex(nullptr, 0, &SearchThread, st, 0, nullptr);
  if (!t) {
    InterlockedDecrement(&st->session->operations);
    InterlockedExchange(&st->running, 0);
    Release(st);
    ApplyStates(st);
    return;
  }
  CloseHandle(HANDLE(t));
}

void SearchDone(FindState* st) {
  UpdateCount(st);
  if (B() && B()->setStateIcon) B()->setStateIcon(st->status, 0, 0);
  if (st->status) SendMessageA(st->status, SB_SETTEXTA, 0, LPARAM(""));
  ShowStatus(st);
  ApplyStates(st);
  if (st->shownCount && SendMessageA(st->list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED) < 0) {
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageA(st->list, LVM_SETITEMSTATE, 0, LPARAM(&item));
  }
  PostMessageA(st->window, WM_COMMAND, kCmdFocusList, 0);
}

// ---- go to and the exports -------------------------------------------------------------

void GoTo(FindState* st) {
  int i = int(SendMessageA(st->list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  if (i < 0 || !st->goTo || !st->session) return;
  std::string name, folder;
  FtpLock();
  if (size_t(i) < st->hits.size()) {
    name = st->hits[size_t(i)].name;
    folder = st->folders[st->hits[size_t(i)].folder];
  }
  FtpUnlock();
  if (!name.empty()) st->goTo(st->session, name.c_str(), folder.c_str());
}

struct RowTexts {
  Hit hit;
  std::string folder;
  char attr[16], size[32], date[64];
};

FtpFindRow RowOf(RowTexts& t, char separator) {
  FtpFindRow row = {};
  row.folder = t.folder.c_str();
  row.name = t.hit.name.c_str();
  row.separator = separator;
  row.isFolder = IsFolder(t.hit);
  row.isLink = IsLink(t.hit);
  row.hasModeWord = (t.hit.attributes & kFtpModeWord) != 0;
  row.attrText = t.attr;
  row.sizeText = t.size;
  row.dateText = t.date;
  row.typeText = t.hit.type.c_str();
  return row;
}

bool AskExportName(FindState* st, int kind) {
  static const char kFilters[3][64] = {"Text List\0*.txt\0All Files\0*.*\0", "Export List\0*.csv\0All Files\0*.*\0",
                                       "HTML\0*.htm\0All Files\0*.*\0"};
  static const char* kExtensions[3] = {"txt", "csv", "htm"};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = st->window;
  ofn.lpstrFilter = kFilters[kind];
  ofn.lpstrFile = st->exportName;
  ofn.nMaxFile = sizeof st->exportName;
  ofn.lpstrDefExt = kExtensions[kind];
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  return GetSaveFileNameA(&ofn) != 0;
}

// The file appears under its name only when every line was written: it is
// written beside it under a temporary name first.
DWORD WriteExport(const char* path, const std::vector<std::string>& lines) {
  char temp[MAX_PATH + 16];
  if (snprintf(temp, sizeof temp, "%s.%lx~", path, GetCurrentThreadId()) >= int(sizeof temp))
    return ERROR_FILENAME_EXCED_RANGE;
  HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = 0;
  std::string block;
  for (const std::string& line : lines) {
    block += line;
    block += "\r\n";
  }
  DWORD put = 0;
  if (!WriteFile(h, block.data(), DWORD(block.size()), &put, nullptr))
    error = GetLastError();
  else if (put != block.size())
    error = ERROR_DISK_FULL;
  if (!CloseHandle(h) && !error) error = GetLastError();
  if (!error && !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) error = GetLastError();
  if (error) DeleteFileA(temp);
  return error;
}

void Export(FindState* st, int command) {
  if (!HaveHits(st)) return;
  int kind = command - kCmdExportText;
  if (!AskExportName(st, kind)) return;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  std::vector<RowTexts> rows;
  char separator;
  FtpLock();
  rows.reserve(st->hits.size());
  for (const Hit& h : st->hits) {
    RowTexts t;
    t.hit = h;
    t.folder = st->folders[h.folder];
    rows.push_back(t);
  }
  separator = st->separator;
  FtpUnlock();
  std::vector<std::string> lines;
  lines.reserve(rows.size() + 4);
  if (kind == 1)
    lines.push_back(FtpFindCsvHeader(Text(4005, "Attributes").c_str(), Text(4003, "Size").c_str(),
                                     Text(4004, "Modified").c_str(), Text(4002, "Name").c_str()));
  if (kind == 2) {
    lines.push_back(kFtpFindHtmlHead);
    std::string titles[6];
    const int order[6] = {0, 1, 2, 3, 5, 4};
    const char* pointers[6];
    for (int i = 0; i < 6; i++) {
      titles[i] = Text(kColumns[order[i]].title, kColumns[order[i]].english);
      pointers[i] = titles[i].c_str();
    }
    lines.push_back(FtpFindHtmlHeader(pointers));
  }
  for (RowTexts& t : rows) {
    AttrText(t.hit.attributes, t.attr);
    SizeText(t.hit.size, t.size);
    DateText(t.hit, t.date, sizeof t.date);
    if (kind == 2) TypeText(t.hit);
    FtpFindRow row = RowOf(t, separator);
    lines.push_back(kind == 0 ? FtpFindTextLine(row) : kind == 1 ? FtpFindCsvLine(row) : FtpFindHtmlLine(row));
  }
  if (kind == 2) lines.push_back(kFtpFindHtmlTail);
  DWORD error = WriteExport(st->exportName, lines);
  SetCursor(old);
  if (error) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   sizeof text, nullptr);
    std::string message = std::string(st->exportName) + "\r\n\r\n" + (text[0] ? text : "Write error");
    MessageBoxA(st->window, message.c_str(), "FTP Find", MB_ICONERROR);
  }
}

// ---- building the window ------------------------------------------------------------------

HMENU BuildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kCmdSearch, "&Search");
  AppendMenuA(file, MF_STRING, kCmdStop, "S&top");
  AppendMenuA(file, MF_STRING, kCmdGoTo, "&Go to");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(file, MF_STRING, kCmdExportText, "Export as &text...");
  AppendMenuA(file, MF_STRING, kCmdExportCsv, "Export as &CSV...");
  AppendMenuA(file, MF_STRING, kCmdExportHtml, "Export as &HTML...");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(file, MF_STRING, kCmdFilter, "&Filter...");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(file, MF_STRING, kCmdClose, "&Close");
  HMENU view = CreatePopupMenu();
  AppendMenuA(view, MF_STRING, kCmdToolBar, "&Toolbar");
  AppendMenuA(view, MF_STRING, kCmdStatusBar, "&Status Bar");
  AppendMenuA(view, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(view, MF_STRING, kCmdLargeIcons, "&Large icons");
  AppendMenuA(view, MF_STRING, kCmdSmallIcons, "S&mall icons");
  AppendMenuA(view, MF_STRING, kCmdList, "&List");
  AppendMenuA(view, MF_STRING, kCmdDetails, "&Details");
  AppendMenuA(bar, MF_POPUP, UINT_PTR(file), "&File");
  AppendMenuA(bar, MF_POPUP, UINT_PTR(view), "&View");
  return bar;
}

HWND BuildToolBar(HWND window) {
  HWND tb = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                            WS_CHILD | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER, 0, 0,
                            0, 0, window, HMENU(kIdToolBar), gFtp.instance, nullptr);
  if (!tb) return nullptr;
  SendMessageA(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(tb, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
  static const struct {
    int id;
    const char* text;
  } kButtons[] = {{kCmdSearch, "Search"}, {kCmdStop, "Stop"},      {kCmdGoTo, "Go to"},   {kCmdExportText, "Text"},
                  {kCmdExportCsv, "CSV"}, {kCmdExportHtml, "HTML"}, {kCmdFilter, "Filter"}};
  for (const auto& b : kButtons) {
    TBBUTTON button = {};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = b.id;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    button.iString = INT_PTR(SendMessageA(tb, TB_ADDSTRINGA, 0, LPARAM((std::string(b.text) + '\0').c_str())));
    SendMessageA(tb, TB_ADDBUTTONSA, 1, LPARAM(&button));
  }
  SendMessageA(tb, TB_AUTOSIZE, 0, 0);
  return tb;
}

void SetViewStyle(FindState* st) {
  DWORD style = LVS_REPORT;
  if (st->options & kOptLargeIcons) style = LVS_ICON;
  else if (st->options & kOptSmallIcons) style = LVS_SMALLICON;
  else if (st->options & kOptList) style = LVS_LIST;
  LONG_PTR old = GetWindowLongPtrA(st->list, GWL_STYLE);
  SetWindowLongPtrA(st->list, GWL_STYLE, (old & ~LONG_PTR(LVS_TYPEMASK)) | style);
  HMENU menu = GetMenu(st->window);
  if (menu) {
    int checked = (st->options & kOptLargeIcons)   ? kCmdLargeIcons
                  : (st->options & kOptSmallIcons) ? kCmdSmallIcons
                  : (st->options & kOptList)       ? kCmdList
                                                   : kCmdDetails;
    CheckMenuRadioItem(menu, kCmdLargeIcons, kCmdDetails, UINT(checked), MF_BYCOMMAND);
  }
}

void LoadColumns(FindState* st) {
  char ini[MAX_PATH];
  IniPath(ini);
  for (int i = 0; i < 6; i++) {
    int width = kColumns[i].width;
    if (ini[0]) {
      char key[16];
      snprintf(key, sizeof key, "Col%d", i);
      int stored = int(GetPrivateProfileIntA(kSection, key, width, ini));
      if (stored > 10 && stored < 4000) width = stored;
    }
    std::string title = Text(kColumns[i].title, kColumns[i].english);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = width;
    column.pszText = &title[0];
    column.iSubItem = i;
    SendMessageA(st->list, LVM_INSERTCOLUMNA, WPARAM(i), LPARAM(&column));
  }
}

void SaveColumns(FindState* st) {
  char ini[MAX_PATH];
  IniPath(ini);
  if (!ini[0] || !st->list) return;
  for (int i = 0; i < 6; i++) {
    int width = int(SendMessageA(st->list, LVM_GETCOLUMNWIDTH, WPARAM(i), 0));
    if (width <= 0) continue;
    char key[16], value[16];
    snprintf(key, sizeof key, "Col%d", i);
    snprintf(value, sizeof value, "%d", width);
    WritePrivateProfileStringA(kSection, key, value, ini);
  }
}

HWND MakeBox(HWND window, int id, const char* english, HFONT font) {
  std::string text = Text(id, english);
  HWND box = CreateWindowExA(0, "BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0,
                             0, 0, window, HMENU(INT_PTR(id)), gFtp.instance, nullptr);
  SendMessageA(box, WM_SETFONT, WPARAM(font), FALSE);
  return box;
}

int RowHeight(FindState* st) {
  LRESULT h = st->mask ? SendMessageA(st->mask, CB_GETITEMHEIGHT, 0, 0) : 0;
  return h > 0 && h < 100 ? int(h) + 2 : 14;
}

void Layout(FindState* st) {
  RECT rc;
  GetClientRect(st->window, &rc);
  int width = rc.right, top = 0, bottom = rc.bottom;
  if (st->toolBar && IsWindowVisible(st->toolBar)) {
    SendMessageA(st->toolBar, TB_AUTOSIZE, 0, 0);
    RECT t;
    GetWindowRect(st->toolBar, &t);
    top += t.bottom - t.top;
  }
  if (st->status && IsWindowVisible(st->status)) {
    SendMessageA(st->status, WM_SIZE, 0, 0);
    RECT s;
    GetWindowRect(st->status, &s);
    bottom -= s.bottom - s.top;
    int parts[3] = {(width - 25) / 2, width - 25, -1};
    SendMessageA(st->status, SB_SETPARTS, 3, LPARAM(parts));
  }
  int row = RowHeight(st) + 8;
  int y = top + 4;
  MoveWindow(st->label, 6, y + 3, 90, row - 6, TRUE);
  MoveWindow(st->mask, 100, y, width > 220 ? width - 106 : 114, 200, TRUE);
  y += row;
  int boxWidth = width > 320 ? (width - 60) / 3 : 90;
  MoveWindow(st->boxSub, 6, y, boxWidth - 4, row - 6, TRUE);
  MoveWindow(st->boxHidden, 6 + boxWidth, y, boxWidth - 4, row - 6, TRUE);
  MoveWindow(st->boxFilter, 6 + 2 * boxWidth, y, boxWidth - 30, row - 6, TRUE);
  MoveWindow(st->filterButton, width > 40 ? width - 34 : 6, y - 2, 28, row - 2, TRUE);
  y += row;
  MoveWindow(st->list, 0, y, width, bottom > y ? bottom - y : 0, TRUE);
}

LRESULT OnCreate(HWND window, CREATESTRUCTA* cs) {
  FindState* st = static_cast<FindState*>(cs->lpCreateParams);
  SetWindowLongPtrA(window, 0, LONG_PTR(st));
  st->window = window;
  if (B() && B()->toolWndRegister && B()->toolWndRegister(window, 8, st) != 0) {
    // The caller still owns the state: WM_DESTROY must not free it.
    SetWindowLongPtrA(window, 0, 0);
    st->window = nullptr;
    return -1;
  }
  st->session->findState = st;
  SetMenu(window, BuildMenu());
  HFONT font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  st->toolBar = BuildToolBar(window);
  if (st->toolBar && !(st->options & kOptToolBarHidden)) ShowWindow(st->toolBar, SW_SHOW);
  st->status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | SBARS_SIZEGRIP, 0, 0, 0, 0, window,
                               HMENU(kIdStatus), gFtp.instance, nullptr);
  if (st->status && !(st->options & kOptStatusHidden)) ShowWindow(st->status, SW_SHOW);
  st->list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0,
                             0, 0, 0, window, HMENU(kIdList), gFtp.instance, nullptr);
  SendMessageA(st->list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT,
               LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
  SHFILEINFOA info = {};
  HIMAGELIST small = HIMAGELIST(
      SHGetFileInfoA("x", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  HIMAGELIST large =
      HIMAGELIST(SHGetFileInfoA("x", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX));
  if (small) SendMessageA(st->list, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(small));
  if (large) SendMessageA(st->list, LVM_SETIMAGELIST, LVSIL_NORMAL, LPARAM(large));
  SetWindowLongPtrA(st->list, GWL_STYLE, GetWindowLongPtrA(st->list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  LoadColumns(st);
  SetViewStyle(st);
  std::string label = Text(4002, "Name") + ":";
  st->label = CreateWindowExA(0, "STATIC", label.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, 0, window,
                              HMENU(kIdLabel), gFtp.instance, nullptr);
  st->mask = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                             0, 0, 0, 200, window, HMENU(kIdMask), gFtp.instance, nullptr);
  SendMessageA(st->mask, CB_LIMITTEXT, 259, 0);
  st->boxSub = MakeBox(window, kBoxSubfolders, "Include sub directories", font);
  st->boxHidden = MakeBox(window, kBoxHidden, "Show hidden files", font);
  st->boxFilter = MakeBox(window, kBoxFilter, "With filter", font);
  st->filterButton = CreateWindowExA(0, "BUTTON", "...", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0,
                                     0, window, HMENU(kCmdFilterButton), gFtp.instance, nullptr);
  for (HWND w : {st->label, st->mask, st->filterButton, st->list}) SendMessageA(w, WM_SETFONT, WPARAM(font), FALSE);
  SendMessageA(st->boxSub, BM_SETCHECK, (st->options & kOptSubfolders) ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(st->boxHidden, BM_SETCHECK, (st->options & kOptHidden) ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(st->boxFilter, BM_SETCHECK, (st->options & kOptFilter) ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowTextA(st->mask, "*");
  ApplyStates(st);
  SetFocus(st->mask);
  return 0;
}

void OnDestroy(FindState* st) {
  InterlockedExchange(&st->stop, 1);
  if (B() && B()->toolWndUnregister) B()->toolWndUnregister(st->window);
  if (B() && B()->savePlacement) B()->savePlacement(st->window, kSection);
  ReadBoxes(st);
  if (B() && B()->ftpOptions)
    *B()->ftpOptions = (*B()->ftpOptions & ~kOptWindowBits) | (st->options & kOptWindowBits);
  SaveColumns(st);
  FtpLock();
  if (st->session && st->session->findState == st) st->session->findState = nullptr;
  st->window = nullptr;
  FtpUnlock();
}

void OnDispInfo(FindState* st, NMLVDISPINFOA* di) {
  LVITEMA& item = di->item;
  FtpLock();
  if (item.iItem < 0 || size_t(item.iItem) >= st->hits.size()) {
    FtpUnlock();
    if ((item.mask & LVIF_TEXT) && item.cchTextMax > 0) item.pszText[0] = 0;
    return;
  }
  Hit& h = st->hits[size_t(item.iItem)];
  if (item.mask & LVIF_IMAGE) {
    if (h.icon < 0) {
      SHFILEINFOA info = {};
      DWORD attrs = IsFolder(h) && !IsLink(h) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
      SHGetFileInfoA(h.name.c_str(), attrs, &info, sizeof info,
                     SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
      h.icon = info.iIcon;
    }
    item.iImage = h.icon;
  }
  if ((item.mask & LVIF_TEXT) && item.cchTextMax > 0) {
    char buffer[300] = "";
    switch (item.iSubItem) {
      case 0:
        FtpCopy(buffer, h.name.c_str(), sizeof buffer);
        break;
      case 1:
        if (!IsFolder(h) && h.size != ~uint64_t(0)) SizeText(h.size, buffer);
        break;
      case 2:
        DateText(h, buffer, sizeof buffer);
        break;
      case 3:
        AttrText(h.attributes, buffer);
        break;
      case 4:
        FtpCopy(buffer, st->folders[h.folder].c_str(), sizeof buffer);
        break;
      case 5:
        TypeText(h);
        FtpCopy(buffer, h.type.c_str(), sizeof buffer);
        break;
    }
    FtpCopy(item.pszText, buffer, uint32_t(item.cchTextMax));
  }
  FtpUnlock();
}

LRESULT OnNotify(FindState* st, NMHDR* hdr) {
  if (hdr->hwndFrom != st->list) return 0;
  switch (hdr->code) {
    case LVN_GETDISPINFOA:
      OnDispInfo(st, reinterpret_cast<NMLVDISPINFOA*>(hdr));
      return 0;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      ShowSelection(st);
      return 0;
    case NM_DBLCLK:
    case NM_RETURN:
      if (CommandEnabled(st, kCmdGoTo)) GoTo(st);
      return 0;
  }
  return 0;
}

void ToggleBar(FindState* st, HWND bar, uint32_t bit) {
  st->options ^= bit;
  if (bar) ShowWindow(bar, (st->options & bit) ? SW_HIDE : SW_SHOW);
  Layout(st);
  ApplyStates(st);
}

void OnCommand(FindState* st, int id) {
  if (!CommandEnabled(st, id)) return;
  switch (id) {
    case kCmdFilter:
    case kCmdFilterButton:
      if (B() && B()->filterDialog) B()->filterDialog(st->window, st->filter);
      return;
    case kCmdClose:
      PostMessageA(st->window, WM_CLOSE, 0, 0);
      return;
    case kCmdToolBar:
      ToggleBar(st, st->toolBar, kOptToolBarHidden);
      return;
    case kCmdStatusBar:
      ToggleBar(st, st->status, kOptStatusHidden);
      return;
    case kCmdSearch:
      StartSearch(st);
      return;
    case kCmdGoTo:
      GoTo(st);
      return;
    case kCmdStop:
      InterlockedExchange(&st->stop, 1);
      return;
    case kCmdExportText:
    case kCmdExportCsv:
    case kCmdExportHtml:
      Export(st, id);
      return;
    case kCmdFocusList:
      SetFocus(st->list);
      return;
    case kCmdLargeIcons:
    case kCmdSmallIcons:
    case kCmdList:
    case kCmdDetails: {
      static const uint32_t kBits[4] = {kOptLargeIcons, kOptSmallIcons, kOptList, 0};
      st->options = (st->options & ~kOptViewBits) | kBits[id - kCmdLargeIcons];
      SetViewStyle(st);
      return;
    }
    case kBoxSubfolders:
    case kBoxHidden:
    case kBoxFilter:
      ReadBoxes(st);
      return;
  }
}

LRESULT CALLBACK FindProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
  FindState* st = reinterpret_cast<FindState*>(GetWindowLongPtrA(window, 0));
  if (!st) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      Layout(st);
      return 0;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = st->minSize;
      return 0;
    case WM_SETFOCUS:
      SetFocus(st->list);
      return 0;
    case WM_NOTIFY:
      return OnNotify(st, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
      OnCommand(st, LOWORD(wParam));
      return 0;
    case kMsgProgress:
      UpdateCount(st);
      ShowStatus(st);
      return 0;
    case kMsgDone:
      SearchDone(st);
      return 0;
    case WM_DESTROY:
      OnDestroy(st);
      SetWindowLongPtrA(window, 0, 0);
      Release(st);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterOnce(HINSTANCE hostInstance) {
  WNDCLASSEXA wc = {};
  if (GetClassInfoExA(gFtp.instance, kClassName, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FindProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = gFtp.instance;
  wc.hIcon = hostInstance ? LoadIconA(hostInstance, MAKEINTRESOURCEA(9)) : nullptr;
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  return RegisterClassExA(&wc) != 0;
}

}  // namespace

int32_t FtpCmdFind(intptr_t* r) {
  HINSTANCE hostInstance = reinterpret_cast<HINSTANCE>(r[1]);
  FtpSession* s = FtpLibSessionOf(reinterpret_cast<void*>(r[3]));
  const char* start = reinterpret_cast<const char*>(r[4]);
  if (!s || s->closing) return -1;
  FtpLock();
  FindState* open = static_cast<FindState*>(s->findState);
  HWND existing = open ? open->window : nullptr;
  FtpUnlock();
  if (existing) {
    if (B() && B()->bringToFront) B()->bringToFront(existing);
    else SetForegroundWindow(existing);
    return -1;
  }
  if (!gFtp.instance) gFtp.instance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterOnce(hostInstance)) return -1;
  FindState* st = new (std::nothrow) FindState();
  if (!st) return -1;
  st->references = 1;
  st->session = s;
  st->options = B() && B()->ftpOptions ? *B()->ftpOptions : kOptSubfolders;
  st->filter = reinterpret_cast<void*>(r[5]);
  st->goTo = reinterpret_cast<FtpFindGoToCallback>(r[6]);
  st->separator = '\\';
  if (start) {
    if (start[0] && start[1] == ':') start += 2;
    FtpCopy(st->startFolder, start, sizeof st->startFolder);
    for (char* p = st->startFolder; *p; p++)
      if (*p == '\\') *p = '/';
  }
  st->minSize = {320, 240};
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = 640, height = 420;
  if (B() && B()->loadPlacement) {
    int32_t px, py, pw, ph;
    if (B()->loadPlacement(kSection, &px, &py, &pw, &ph) && pw >= st->minSize.x && ph >= st->minSize.y) {
      x = px;
      y = py;
      width = pw;
      height = ph;
    }
  }
  HWND w = CreateWindowExA(0, kClassName, "FTP Find", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, width, height,
                           nullptr, nullptr, gFtp.instance, st);
  if (!w) {
    delete st;
    return -1;
  }
  ShowWindow(w, SW_SHOWNORMAL);
  Layout(st);
  return -1;
}

void FtpLibCloseFindWindow(FtpSession* s) {
  FtpLock();
  FindState* st = static_cast<FindState*>(s->findState);
  HWND w = st ? st->window : nullptr;
  FtpUnlock();
  if (!w) return;
  PostMessageA(w, WM_CLOSE, 0, 0);
  // The window belongs to the interface thread; it goes when that thread
  // handles the message. A thread that never does must not keep the
  // connection from closing: the window then forgets its session.
  for (int i = 0; i < 300 && s->findState; i++) Sleep(100);
  FtpLock();
  if (s->findState) {
    static_cast<FindState*>(s->findState)->session = nullptr;
    s->findState = nullptr;
  }
  FtpUnlock();
}
