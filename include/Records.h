// Records shared across the program and, where marked, with the libraries
// (LUMORA, OSTREL, PELLIX). Sizes that another module or a stored file relies
// on are pinned by static_assert. Pure: no windows.h, so the native build can
// use it too.
#pragma once

#include <stdint.h>

// One directory entry, packed back to back in an entry block. The name area
// follows the 36-byte head; builders size an entry as 40 + name length (+ the
// alternate and display names with their NULs), because block growth reserves
// 40 bytes beyond every entry.
#pragma pack(push, 1)
struct FileEntry {
    uint16_t length;  // 0 ends the block
    uint16_t date;    // DOS date of the last write, local time
    uint16_t time;    // DOS time of the last write, local time
    uint16_t reserved1;
    uint32_t sizeLow;  // folders: 0 until counted, then size + 1
    uint32_t sizeHigh; // both halves 0xFFFFFFFF = no size
    uint16_t shortNameOffset;
    uint16_t nameWidth;
    uint16_t sizeWidth;
    uint16_t reserved2;
    uint32_t iconIndex; // system image-list index + 1; 0 = not fetched
    uint16_t displayNameOffset;
    uint16_t flags;
    uint8_t mark; // bit 0 marked, bit 1 the previous mark
    uint8_t reserved3;
    uint16_t stemLength;
    char name[1]; // name area
};
#pragma pack(pop)
static_assert(sizeof(FileEntry) == 37, "FileEntry head is 36 bytes plus the name area");
const int kFileEntryHead = 36;
const int kFileEntrySlack = 40;

// FileEntry.flags bits beyond the Win32 attribute bits (masked with 0xDFF7).
enum : uint16_t {
    kEntryUpDir = 0x0008,
    kEntryFolder = 0x0010,
    kEntryJunction = 0x0400,
    kEntryNoSize = 0x1000,
    kEntryShared = 0x2000, // remote: link
    kEntryRemote = 0x8000,
};

// The container a listing is built in; it lives on the re-reader's stack.
struct DirListing {
    uint16_t panelIndex;
    uint8_t *entryBlock;
    FileEntry **entryIndex; // null-terminated, display order
    uint32_t entryCount;    // ".." included
    uint32_t fileCount;
    uint32_t dirCount;
    uint64_t totalBytes;
};

// One window's placement (eight in AppState.windowPos).
struct WindowPos {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    uint8_t show;
    uint8_t maximised; // 3 when maximised, else 0
};

// Panel and synchronisation filter; copied and cleared as one block.
struct FilterSpec {
    uint16_t flags; // low 4 bits mode; 0x10 date from ... 0x200 maximum size
    uint16_t allowedAttributes;
    uint16_t hiddenSystemApply;
    char includeMasks[128];
    char excludeMasks[128];
    uint16_t dateFrom, dateTo;
    uint16_t timeFrom, timeTo;
    uint64_t minSize, maxSize;
};

// A panel's location chain node: the first 549 bytes of the FTP library's
// connection block are copied as the FTP node, so this layout is shared.
#pragma pack(push, 1)
struct LocationNode {
    uint16_t kind; // LocationKind
    LocationNode *parent; // unaligned; followed only while kind < 20000
    uint16_t archiveDate;
    uint16_t archiveTime;
    uint8_t frontEndData[8];
    char innerPath[269];
    uint16_t archiveNameOffset;
    char archivePath[260];
};
#pragma pack(pop)
// The shared layout is the 32-bit one; the native build only needs the type.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(LocationNode) == 549, "LocationNode is shared with the FTP library");
#endif

enum LocationKind : uint16_t {
    kLocationArchiveLib = 10000, // below: external packer definitions
    kLocationFtp = 20000,
    kLocationCeDevice = 20001,
    kLocationRemoteLast = 20004,
};

// One entry of the drive table; index 0-25 A-Z, 26-35 FTP slots, 36 network
// neighbourhood, 37 mobile device.
struct DriveInfo {
    uint16_t kind; // DriveKind
    char displayName[28];
    char fileSystem[8];
};
const int kDriveCount = 38;

enum DriveKind : uint16_t {
    kDriveAbsent = 0,
    kDriveFloppy = 1,
    kDriveFixed = 2,
    kDriveCdRom = 3,
    kDriveNetwork = 4,
    kDriveRamDisk = 5,
    kDriveRemovable = 7,
    kDriveNeighbourhood = 8,
    kDriveCeDevice = 9,
    kDriveFtp = 10,
};

// List-view column table row (20 bytes); text id 0 ends an array.
#pragma pack(push, 1)
struct ListColumn {
    int16_t textId;
    uint16_t reserved;
    int32_t width;   // negative: fill the remaining width
    int32_t order;   // negative: hidden
    int32_t subItem; // -1 for a hidden column
    uint32_t format; // low 2 bits the alignment
};
#pragma pack(pop)
static_assert(sizeof(ListColumn) == 20, "ListColumn rows are 20 bytes");

// Totals of an occupied-space count; zeroed by the caller.
struct SpaceStats {
    uint32_t clusterSize;
    uint32_t folderCount;
    uint32_t fileCount;
    uint64_t bytes;
    uint64_t allocatedBytes;
    uint16_t panel;
    uint32_t filteredFileCount;
    uint64_t filteredBytes;
    uint64_t filteredAllocatedBytes;
    const FilterSpec *filter;
    // Links to folders counted as folders and never entered; folders that
    // could not be read (their contents are missing from the sums).
    uint32_t linksNotEntered;
    uint32_t unreadableFolders;
    // Optional second stop test besides the panel's stop bit.
    bool (*stopWanted)(void *context);
    void *stopContext;
};

// Bar button: command 92 is a separator, -n user-defined button n.
struct ToolbarButton {
    int16_t command;
    int32_t image;
    void *window; // HWND
};
const int kToolbarButtonMax = 80;

// Open-window list entry (AppState.modelessDialogs).
struct ToolWndEntry {
    void *window; // HWND
    int32_t kind;
    void *data; // first word: the window handle the message loop uses
};
