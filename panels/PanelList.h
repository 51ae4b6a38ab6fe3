// The entry lists of the two panels and the hand-over between the thread
// that installs a new list and the threads that read the current one.
//
// One writer at a time per panel (refresh thread, re-sort, swap), any number
// of readers. A writer raises `replacing` so that no new reader enters, waits
// for `readerCount` to drain, exchanges the pointers, lowers `replacing` and
// frees the old list afterwards. A reader raises `readerCount` and then
// re-checks `replacing`; with sequentially consistent atomics one of the two
// always sees the other, so a list is never freed under a reader.
//
// Waits are bounded: a writer that cannot drain the readers in its slice
// withdraws `replacing` for a moment so readers on the interface thread get
// through, and gives up at its deadline; the caller keeps the re-read
// request and tries again on the next cycle.
//
// Pure: no windows.h, so the protocol is stress-tested natively.
#pragma once

#include <atomic>
#include <mutex>
#include <stdint.h>

#include "Records.h"

struct PanelListData {
    uint8_t *entryBlock = nullptr;
    FileEntry **entryIndex = nullptr; // null-terminated, display order
    uint32_t entryCount = 0;
    uint32_t fileCount = 0;
    uint32_t dirCount = 0;
    uint64_t fileBytes = 0;
};

struct PanelListSlot {
    std::atomic<uint32_t> generation{0}; // bumped by every install and re-sort
    std::atomic<int32_t> readerCount{0};
    std::atomic<int32_t> replacing{0};
    std::atomic<int32_t> queuedReaders{0}; // readers held back by `replacing`
    std::atomic<int32_t> workerBusy{0}; // icon worker of this list running
    std::mutex writer;                  // one writer at a time
    // Written only by the holder of `writer` while `replacing` is up and no
    // reader is inside; read only by readers.
    PanelListData list;
};

extern PanelListSlot gPanelLists[2];

// Exclusive access for a writer. `timeoutMs` bounds the whole wait (writer
// lock and reader drain). Fails at once when the calling thread is itself
// reading that panel (it would wait for itself).
bool PanelListLockExclusive(int panel, int timeoutMs);
void PanelListUnlockExclusive(int panel);
// Both panels, left first (the swap).
bool PanelListLockBoth(int timeoutMs);
void PanelListUnlockBoth();

// Installs `data` in the panel and hands the previous list back in `data`
// (the caller frees it with PanelListFree after the call). False when the
// readers did not drain in time; then nothing changed.
bool PanelListInstall(int panel, PanelListData &data, int timeoutMs);
void PanelListFree(PanelListData &data);
// Re-sort: replaces only the index of the installed list; the block stays.
// `sort` runs while the list is held exclusively and returns the new index
// (null: keep the old one). The old index is freed afterwards.
typedef FileEntry **(*PanelListSortFn)(const PanelListData &list, void *context);
bool PanelListResort(int panel, PanelListSortFn sort, void *context, int timeoutMs);
// Exchanges the two panels' lists.
bool PanelListSwap(int timeoutMs);
// Deallocator of entry blocks and indexes (they come from the program's
// allocator); free() until the program sets its own.
extern void (*gPanelListFreeFn)(void *block);

// Reader side, used by the iterator. An End without a Begin on the same
// thread is reported through gPanelListReport (standard error until the
// program sets its own) and asserts in debug builds; the count stays.
void PanelListReadBegin(int panel);
void PanelListReadEnd(int panel);
extern void (*gPanelListReport)(const char *text);
// Readers of `panel` open on the calling thread (nested iterations).
int PanelListReadDepth(int panel);

// Wait slices of the protocol (the polling intervals of the design).
const int kReaderPollMs = 10;
const int kWriterPollMs = 100;
