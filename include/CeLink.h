// The Windows CE link library PELLIX and its host: the command record of the
// export `e`, the command codes, the host table `CeHostServices` and the
// records that cross the library boundary. No windows.h, so the pure code and
// the native build can use it.
//
// A record is six words {code, host table, a1..a4}. On 32-bit Windows a word
// is 32 bits, as the library's callers have always built it; the 64-bit build
// widens every word to hold a pointer.
#pragma once
#include <stdint.h>

#if defined(_WIN32)
#define CECALL __cdecl
#else
#define CECALL
#endif

enum CeCommandCode : uint32_t {
    kCeVersion = 1,
    kCeConnect = 2, // blocks until a device answers
    kCeDisconnect = 3,
    kCeList = 4,       // a1 pattern, a2 CeListCallback, a3 user value
    kCeRun = 5,        // a1 program path
    kCeDeleteFile = 6, // a1 path
    kCeRemoveDir = 7,  // a1 path
    kCeMakeDir = 8,    // a1 path
    kCeSetAttr = 9,    // a1 path, a2 attributes
    kCeGetTimes = 10,  // a1 path, a2 CeTimeRecord
    kCeSetTimes = 11,  // a1 path, a2 CeTimeRecord
    kCeMove = 12,      // a1 source, a2 target, a3 item
    kCeCopy = 14,      // a1 source, a2 target, a3 item
    kCeDownload = 15,  // a1 device source, a2 local target, a3 item, a4 cancel word
    kCeUpload = 16,    // a1 local source, a2 device target, a3 item, a4 cancel word
};

const int32_t kCeLibVersion = 0x10000;

// Results beside 0 and positive Win32 or RAPI error numbers.
enum : int32_t {
    kCeIsDirectory = -1, // a folder where a file was expected
    kCeSkipped = -2,     // the user skipped or cancelled
    kCeConnectFailed = 21,
};

typedef uintptr_t CeCommandRecord[6];
typedef int(CECALL* CeEntryProc)(uintptr_t* record);

// Answers of the overwrite question (entry 1).
enum : int32_t { kCeAnswerStop = 2, kCeAnswerAll = 5, kCeAnswerSkip = 7 };

// The five functions the library calls back through, in this order. `item`
// is the caller's value passed through from the command (a copy item).
struct CeHostServices {
    void(CECALL* addProgress)(void* item, uint32_t bytes);
    int32_t(CECALL* askOverwrite)(void* item);
    int32_t(CECALL* makeLocalDirs)(void* owner, const char* path);
    uint32_t(CECALL* deleteLocalFile)(const char* path);
    void(CECALL* cutLastComponent)(char* path);
};

// Commands 10 and 11: the head of a find-data record.
#pragma pack(push, 4)
struct CeFileTime {
    uint32_t low, high;
};
struct CeTimeRecord {
    uint32_t attributes;
    CeFileTime creation, lastAccess, lastWrite;
};
#pragma pack(pop)
static_assert(sizeof(CeTimeRecord) == 28, "CeTimeRecord is the head of a find-data record");

// One listed entry: name (ANSI, a plain base name), DOS date and time of the
// last write in local time, attributes (low 16 bits), size (low 32 bits).
typedef void(CECALL* CeListCallback)(const char* name, uint32_t date, uint32_t time, uint32_t attributes,
                                     uint32_t sizeLow, void* user);

// Names on both sides are ANSI paths of at most 259 characters plus NUL.
const int kCePathMax = 260;
