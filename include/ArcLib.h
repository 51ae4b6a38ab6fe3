// The archive library BRISAN and its host: the command record of the export
// `z`, the command codes, the callbacks and records that cross the library
// boundary, and the host table `ArcHostServices`. No windows.h, so the pure
// code and the native build can use it.
//
// Choices this header settles for both sides:
// - `z` is cdecl and exported undecorated; it returns a word (intptr_t):
//   command 23 returns a LocationNode pointer, which on the 64-bit build
//   needs the full width. On the 32-bit build that is the int of old.
// - A record is 11 words {code, host table, a1 ... a8, reserved}; a word is
//   32 bits on 32-bit Windows and widens to a pointer on the 64-bit build.
// - Command 27 extracts a list of (member, target) pairs that the host has
//   collected through command 25; the library never lists through it.
// - Listing callbacks take (name, date, time, attributes, method character,
//   size low, size high, reserved, context): the word after the size is its
//   high half, so members of 4 GiB and more keep their size.
// - The "password memory" handed with commands 23-28 is the host's 128-byte
//   `archivePassword`.
// - Callbacks are cdecl.
#pragma once
#include <stdint.h>

#include "Records.h"

#if defined(_WIN32)
#define ARCCALL __cdecl
#else
#define ARCCALL
#endif

typedef uintptr_t ArcWord;

enum ArcCommandCode : uint32_t {
    kArcHello = 21,          // a1 main window, a2 program title
    kArcGetType = 22,        // a1 path -> format number, 0 = not an archive
    kArcOpen = 23,           // a1 path, a2 DirListing, a3 ArcListCallback, a4 password -> LocationNode or 0
    kArcReread = 24,         // a1 LocationNode, a2 DirListing, a3 ArcListCallback, a4 password -> non-zero
    kArcEnumForExtract = 25, // a1 job, a2 target folder, a3 ArcExtractItem, a4 ArcListCallback, a5 password
    kArcExtractOne = 26,     // a1 owner, a2 archive, a3 member, a4 target file, a5 format, a6 password, a7 confirm
    kArcExtractPairs = 27,   // a1 ArcExtractItem, a2 first string of the pair list, a3 password, a4 confirm
    kArcUnpackAll = 28,      // a1 owner, a2 archive, a3 folder, a4 with paths, a5 format, a6 cancel flag,
                             // a7 password, a8 confirm
    kArcDeleteMembers = 30,  // a1 ArcExtractItem (archive in `archive`), a2 first string of the member list
    kArcPack = 31,           // a1 ArcPackItem, a2 string pointer array, a3 confirm, a4 packerChoice, a5 password
    kArcFormatName = 32,     // a1 format, a2 out (32 bytes)
    kArcDefaultExt = 33,     // a1 format, a2 out (8 bytes)
};

// Formats of the stand-in library; 10011 is the gzip variant of a remembered
// choice (the same reader).
enum : uint16_t { kArcFormatZip = 10000, kArcFormatGzip = 10010, kArcFormatGzipAlt = 10011 };

// Library results and error codes (shown through host entry 8).
enum : int32_t {
    kArcOk = 0,
    kArcErrBadArchive = -3,
    kArcErrRead = -4,
    kArcErrWrite = -7,
    kArcErrCrc = -8,
    kArcErrEncrypted = -9,
    kArcErrMethod = -11,
    kArcErrStopped = -12,
    kArcErrGzipOne = -19,
    kArcErrUnsafeName = -20, // detail: the member name; nothing was written for it
};

struct ArcHostServices;

struct ArcCommandRecord {
    ArcWord code;
    const ArcHostServices *host;
    ArcWord a[8];
    ArcWord reserved;
};
typedef intptr_t(ARCCALL *ArcEntryProc)(ArcCommandRecord *record);

// Member callback of listings (23, 24) and of extraction (25). `method` is
// the method character ('E' encrypted, 'S' stored, 'D' deflated). Returns 0
// to go on; non-zero stops the listing.
typedef int(ARCCALL *ArcListCallback)(const char *name, uint32_t date, uint32_t time, uint32_t attributes,
                                      uint32_t method, uint32_t sizeLow, uint32_t sizeHigh, uint32_t reserved,
                                      void *context);

// The context the library hands to the listing callback of commands 23/24.
struct ArcListContext {
    ArcWord zero;
    DirListing *listing;
    uint32_t capacity; // of the listing's entry block, 4096 to start
    uint32_t used;
    LocationNode *node;
};

// The extraction item of commands 25, 27 and 30. The host owns it.
struct ArcExtractItem {
    void *job;                 // JobRecord
    void *names;               // host's list of collected (member, target) pairs
    const void *selection;     // the job's selected names, or null
    volatile uint32_t *cancel; // the job's cancel flag
    void *owner;               // window for questions
    const char *archive;       // archive file
    int32_t answer;            // overwrite answer remembered over the pairs
};

// The pack item of command 31.
struct ArcPackItem {
    const char *source;        // source folder
    const char *archive;       // archive file to create or add to
    void *job;                 // JobRecord
    volatile uint32_t *cancel; // the job's cancel flag
    void *owner;
};

// Answers of the overwrite callbacks.
enum : int32_t { kArcAnswerNo = 100, kArcAnswerYes = 102, kArcAnswerAll = 103, kArcAnswerCancel = 104 };
// Results of entry 5.
enum : int32_t { kArcReplace = 0, kArcSkip = 1, kArcStop = 2 };

// The 51 entries, in order. Slots the library does not use may be null.
struct ArcHostServices {
    ArcListCallback onExtractEntry;                                           // 0
    void(ARCCALL *noOp)();                                                    // 1
    int32_t(ARCCALL *askPassword)(void *owner, void *record, char *buffer, uint32_t size, uint32_t mode,
                                  uint32_t extra);                            // 2
    void *getTargetPath;                                                      // 3
    int32_t(ARCCALL *askOverwrite)(void *owner, const char *path, ArcWord a, ArcWord b, ArcWord c); // 4
    // 5: before a member replaces an existing `target`; kArcReplace, kArcSkip
    // or kArcStop. Nothing is deleted here: the library writes a temporary
    // file and replaces the target only when that is complete.
    int32_t(ARCCALL *confirmOverwrite)(ArcExtractItem *item, const char *target, uint32_t noConfirm); // 5
    void *jobAskOverwrite;                                                    // 6
    void *askReplace;                                                         // 7
    void(ARCCALL *reportError)(void *owner, int32_t code, const char *detail); // 8
    void(ARCCALL *messageBox)(void *owner, const char *text);                 // 9
    void *markPanelEntry;                                                     // 10
    void *packExternal;                                                       // 11
    void *deleteExternal;                                                     // 12
    void(ARCCALL *addProgress)(void *job, uint32_t n);                        // 13
    void(ARCCALL *addProgress64)(void *job, const uint64_t *n);               // 14
    void *slots15to44[30];                                                    // 15-44
    void *(ARCCALL *memAlloc)(uint32_t bytes);                                // 45 zeroed
    void(ARCCALL *memFree)(void **pointer);                                   // 46
    void *slots47to50[4];                                                     // 47-50
};
static_assert(sizeof(ArcHostServices) == 51 * sizeof(void *), "ArcHostServices has 51 entries");
static_assert(sizeof(ArcCommandRecord) == 11 * sizeof(ArcWord), "an archive command record is 11 words");
