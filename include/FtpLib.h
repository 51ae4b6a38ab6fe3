// The FTP library OSTREL and its host: the command record of the export
// `f`, the command codes, the events, the two host tables and the records
// that cross the library boundary. Handles are plain pointers here so that
// this header needs no windows.h. 32-bit Windows layout.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "Records.h"

#if defined(_WIN32)
#define FTPCALL __cdecl
#define FTPENTRY __stdcall
#else
#define FTPCALL
#define FTPENTRY
#endif

enum FtpCommandCode : int32_t {
  kFtpInit = 1,
  kFtpPing = 3,
  kFtpGetLocalPath = 21,
  kFtpSetLocalPath = 22,
  kFtpAppendRemoteDir = 23,
  kFtpOpen = 24,
  kFtpClose = 25,
  kFtpList = 26,
  kFtpInvalidatePath = 27,
  kFtpInvalidateAll = 28,
  kFtpChangeDirThread = 29,
  kFtpChangeDirSync = 30,
  kFtpDelete = 31,
  kFtpRemoveDir = 32,
  kFtpMakeDirs = 33,
  kFtpChmod = 34,
  kFtpRename = 37,
  kFtpServerCopy = 38,
  kFtpRetrieve = 39,
  kFtpStore = 40,
  kFtpAbort = 41,
  kFtpFormatMode = 42,
  kFtpChmodDialog = 43,
  kFtpAutoDialog = 44,
  // {45, host instance, 0, connection block, start folder, filter record,
  // go-to callback, 0}: the connection comes in word 3 and the folder to
  // search (a leading "X:" is dropped) in word 4; words 2 and 7 stay 0.
  kFtpFind = 45,
  kFtpGoTo = 46,
  kFtpRaw = 47,
  kFtpSaveListing = 48,
};

const int32_t kFtpLibVersion = 0x10100;
const uint32_t kFtpNotifyMessage = 0x0400 + 50;  // WM_USER+50

enum FtpNotifyCode : int32_t {
  kFtpNotifyConnectFailed = 2,  // lParam: 4097-byte block, slot char then text; host frees
  kFtpNotifyLost = 3,           // lParam: slot character
  kFtpNotifyLastGone = 4,       // posted by the host itself
  kFtpNotifyAttached = 5,       // lParam: slot | panel << 8
  kFtpNotifyUp = 6,
  kFtpNotifyLeavePanel = 7,     // the host's own: lParam a MemAlloc block {panel, return path}; host frees
};
const uint32_t kFtpConnectFailedBlock = 4097;

// Eight words {code, a1..a7}; the short form has nine {code, a1..a4, 0, 0, 0, -1}.
// Words carry pointers, so they are pointer-sized (32 bits in the 32-bit build).
typedef intptr_t FtpCommandRecord[9];
typedef int32_t(FTPENTRY* FtpEntryProc)(intptr_t* record);

struct FtpSession;
struct JobRecord;  // the host's job record (JobRecord.h)

#pragma pack(push, 1)
// Head of the connection block, laid out as the panels' LocationNode (the
// host copies these 549 bytes into its location chains and job records):
// the FTP connection keeps its slot, stamp and session behind the inner path.
struct FtpLocationHead {
  uint16_t kind;        // 20000
  void* parent;         // left null by the library
  uint16_t dosDate, dosTime;
  uint64_t localSize;
  char innerPath[260];  // left empty by the library
  char slot;            // '0'..'9'
  uint32_t stamp;       // C-runtime clock at allocation
  FtpSession* session;
  uint16_t nameOffset;
  char text[260];       // last error text of a transfer
};
#pragma pack(pop)

// The host's record of the file being copied (fileops CopyItem): the library
// reads the paths, the job and the source's size, date and time, and writes
// the target's date, time and size before an upload's question.
struct FtpCopyItem {
  char source[260];
  char target[260];
  JobRecord* job;
  uint16_t sourceDate, targetDate;
  uint16_t sourceTime, targetTime;
  uint64_t sourceSize, targetSize;
  uint16_t sourceAttributes;
  uint32_t isFolder;
};

struct FtpOpenParams {
  const char* mainSection;  // host's main settings section ("FTP", "MAILADDR")
  void* siteSettings;       // set by the library: the new session's FtpSiteSettings
  void* libraryInstance;    // HINSTANCE of OSTREL (dialog templates)
  void* hostInstance;       // HINSTANCE of the host
};

#pragma pack(push, 1)
// Connection settings of one site, as the site manager fills them.
struct FtpSiteSettings {
  char sessionName[28];
  char user[81];
  char password[81];
  char fwUser[81];
  char fwPassword[81];
  char fwHost[81];
  char host[81];          // name, optionally ":port"
  char remoteDir[262];
  int32_t fwType;         // 0 none, 1..6
  int32_t options;        // 1 anonymous, 2 store password, 4 firewall, 8 passive
};
#pragma pack(pop)
static_assert(sizeof(FtpSiteSettings) == 28 + 6 * 81 + 262 + 8, "site settings layout");

struct FtpPasswordQuestion {
  char* buffer;
  int32_t maxLength;  // 80
  const char* hostText;
};

// Callbacks of the commands.
typedef void(FTPCALL* FtpEntryCallback)(const char* name, uint16_t dosDate, uint16_t dosTime, uint32_t attributes,
                                        uint32_t sizeLow, void* user, uint32_t sizeHigh);
typedef void(FTPCALL* FtpCompletionCallback)(int32_t panel, const char* name);
typedef void(FTPCALL* FtpAttachCallback)(int32_t panel, int32_t slot);
// The host asks its overwrite or resume question and leaves the answer in
// the job's state word. The offset is 64-bit: files beyond 4 GiB resume too.
typedef void(FTPCALL* FtpAskCallback)(FtpCopyItem* item, uint64_t resumeOffset);
// FTP Find's go to: the host shows the folder in its active panel and puts
// the cursor on the name.
typedef void(FTPCALL* FtpFindGoToCallback)(FtpSession* session, const char* name, const char* folder);

struct FtpGrowBuffer {
  char* data;
  uint32_t appends;
  uint32_t capacity;
  uint32_t used;
};

// Host table A: 14 slots.
struct FtpHostServices {
  int32_t* isWinNT;
  void* app;
  void(FTPCALL* iniMakePath)(const void* app, char* out);
  void(FTPCALL* iniSaveComboList)(void* combo, const char* file, const char* section, int32_t count);
  void(FTPCALL* iniLoadComboList)(void* combo, const char* file, const char* section, int32_t count);
  void(FTPCALL* getText)(int32_t id, char* buffer, int32_t size);
  void(FTPCALL* localiseDialog)(void* window, const uint16_t* ids);
  void(FTPCALL* comboPutFirst)(void* combo, const char* text);
  void(FTPCALL* log)(void* listBox, const char* format, ...);
  void(FTPCALL* logText)(void* listBox, int32_t id);
  void(FTPCALL* center)(void* window);
  void*(FTPCALL* memAlloc)(uint32_t size);
  void(FTPCALL* memFree)(void** variable);
  int32_t(FTPCALL* strAppend)(char* dst, const char* src, uint32_t size);
};

// Host table B: 66 slots; the ones the library does not call stay untyped.
struct FtpHostServicesEx {
  uint32_t* sharedMenuWord;
  uint32_t* ftpOptions;
  void* criticalSection;  // CRITICAL_SECTION*
  const char* windowsDir;
  const char* fileWord;
  int32_t(FTPCALL* toolWndRegister)(void* window, int32_t kind, void* data);
  void(FTPCALL* toolWndUnregister)(void* window);
  int32_t(FTPCALL* transferType)(const char* name);  // 'A' or 'I' in the low byte
  int32_t(FTPCALL* filterDialog)(void* owner, void* filter);
  void(FTPCALL* refreshPanel)(int32_t panel, const char* name);
  void* listDirectory;
  void(FTPCALL* setStateIcon)(void* window, uint32_t part, int32_t busy);
  int32_t(FTPCALL* fileExists)(const char* path);
  void(FTPCALL* fileClose)(void* handle);
  int32_t(FTPCALL* fileCreate)(void* owner, const char* path, void** handle);
  int32_t(FTPCALL* fileGetSize)(void* owner, void* handle, uint64_t* size);
  int32_t(FTPCALL* fileOpen)(const char* path, void** handle, uint32_t access);
  int32_t(FTPCALL* fileOpenReport)(void* owner, const char* path, void** handle, uint32_t access);
  int32_t(FTPCALL* fileRead)(void* handle, void* buffer, uint32_t count);
  int32_t(FTPCALL* fileDelete)(const char* path);
  uint64_t(FTPCALL* fileSeek)(void* handle, uint64_t offset);
  void(FTPCALL* fileSetDosTime)(void* handle, uint16_t date, uint16_t time);
  int32_t(FTPCALL* fileWriteLine)(void* owner, void* handle, char* text);
  int32_t(FTPCALL* fileWrite)(void* owner, void* handle, const void* data, uint32_t count);
  void(FTPCALL* addProgress)(JobRecord* job, uint32_t count);
  void* drawButton;
  void(FTPCALL* onDisconnected)(FtpSession* session, int32_t slot);
  void(FTPCALL* setConnectionTitle)(int32_t slot, const char* name);
  void* setMenuFromTable;
  int32_t(FTPCALL* askPassword)(void* owner, FtpPasswordQuestion* question);
  void*(FTPCALL* locationFree)(void* node);
  // 1 when the entry passes the filter record.
  int32_t(FTPCALL* filterMatch)(const char* folder, const char* name, uint32_t attributes, uint16_t date,
                                uint16_t time, const uint64_t* size, const void* filter);
  // Non-zero when the name part of the path matches one of the ";" masks.
  int32_t(FTPCALL* filterMatchMasks)(const char* path, const char* masks);
  void* listView[9];  // 33..41
  uint32_t(FTPCALL* iniGetString)(const char* section, const char* key, const char* def, char* buffer,
                                  uint32_t size, const char* file);
  int32_t(FTPCALL* iniWriteString)(const char* section, const char* key, const char* value, const char* file);
  uint32_t(FTPCALL* iniGetSection)(const char* section, char* buffer, uint32_t size, const char* file);
  int32_t(FTPCALL* iniWriteSection)(const char* section, const char* text, const char* file);
  // Window placement under a settings section; false when none is stored.
  int32_t(FTPCALL* loadPlacement)(const char* section, int32_t* x, int32_t* y, int32_t* width, int32_t* height);
  void(FTPCALL* savePlacement)(void* window, const char* section);
  void(FTPCALL* comboPutFirst)(void* combo, const char* text);
  int32_t(FTPCALL* memBufAppend)(FtpGrowBuffer* buffer, const void* data, uint32_t length);
  void(FTPCALL* pathToSlashes)(char* path);
  void(FTPCALL* formatDosDateTime)(char* out, uint16_t date, uint16_t time, uint32_t size);
  void* toolBarCreate;
  void(FTPCALL* formatAttributes)(char* out, uint32_t attributes);  // out: 16 bytes
  void(FTPCALL* formatNumber64)(const uint64_t* value, char* out);   // out: 32 bytes
  uint16_t(FTPCALL* pathFindExtension)(const char* path);
  uint16_t(FTPCALL* pathFindName)(const char* path);
  void(FTPCALL* pathGetTempFolder)(char* buffer, uint32_t size);
  void* listBoxMoveUp;
  void* listBoxMoveDown;
  int32_t(FTPCALL* msgBoxId)(void* owner, int32_t id, const char* caption, uint32_t type);
  void* fontSansSerif;
  void* moveWindow;
  void(FTPCALL* bringToFront)(void* window);
  void(FTPCALL* strUpper)(char* text);
  int32_t(FTPCALL* strAppend)(char* dst, const char* src, uint32_t size);
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FtpCommandRecord) == 9 * 4, "nine 32-bit words");
static_assert(sizeof(FtpHostServices) == 14 * 4, "14 slots");
static_assert(sizeof(FtpHostServicesEx) == 66 * 4, "66 slots");
static_assert(offsetof(FtpHostServicesEx, locationFree) == 30 * 4, "slot B30");
static_assert(offsetof(FtpHostServicesEx, filterMatch) == 31 * 4, "slot B31");
static_assert(offsetof(FtpHostServicesEx, iniGetString) == 42 * 4, "slot B42");
static_assert(offsetof(FtpHostServicesEx, loadPlacement) == 46 * 4, "slot B46");
static_assert(offsetof(FtpHostServicesEx, formatDosDateTime) == 51 * 4, "slot B51");
static_assert(offsetof(FtpHostServicesEx, formatNumber64) == 54 * 4, "slot B54");
static_assert(offsetof(FtpHostServicesEx, strAppend) == 65 * 4, "slot B65");
static_assert(offsetof(FtpCopyItem, job) == 520, "copy item layout");
static_assert(offsetof(FtpCopyItem, sourceSize) == 536, "copy item layout");
static_assert(sizeof(FtpLocationHead) == 549, "LocationNode layout");
static_assert(offsetof(FtpLocationHead, slot) == 278, "slot behind the inner path");
static_assert(offsetof(FtpLocationHead, session) == 283, "session pointer");
static_assert(offsetof(FtpLocationHead, text) == 289, "error text where the archive path is");
#endif
