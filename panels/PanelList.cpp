#include "panels/PanelList.h"

#include <chrono>
#include <assert.h>
#include <stdio.h>
#include <stdlib.h>
#include <thread>

PanelListSlot gPanelLists[2];
void (*gPanelListFreeFn)(void *block) = free;

namespace {

thread_local int tReadDepth[2];

using Clock = std::chrono::steady_clock;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// With `replacing` up, waits for the readers of one panel to leave; at most
// one slice, after which `replacing` is withdrawn so readers that queued
// behind it (the interface thread painting) are not held longer than that.
bool DrainReaders(PanelListSlot &slot, Clock::time_point deadline) {
    const auto slice = std::chrono::milliseconds(kWriterPollMs);
    for (;;) {
        slot.replacing.store(1);
        auto sliceEnd = Clock::now() + slice;
        while (slot.readerCount.load() != 0) {
            if (Clock::now() >= sliceEnd)
                break;
            SleepMs(1);
        }
        if (slot.readerCount.load() == 0)
            return true;
        slot.replacing.store(0);
        if (Clock::now() >= deadline)
            return false;
        // The gap is held until the readers that queued behind the flag are
        // in: a fixed pause can beat their polls every time and starve them.
        auto gapEnd = Clock::now() + slice;
        SleepMs(1);
        while (slot.queuedReaders.load() != 0 && Clock::now() < gapEnd)
            SleepMs(1);
    }
}

// Writers are rare and short; polling keeps the wait bounded without a
// timed mutex.
bool LockWriter(PanelListSlot &slot, Clock::time_point deadline) {
    while (!slot.writer.try_lock()) {
        if (Clock::now() >= deadline)
            return false;
        SleepMs(1);
    }
    return true;
}

} // namespace

int PanelListReadDepth(int panel) { return (panel == 0 || panel == 1) ? tReadDepth[panel] : 0; }

void PanelListReadBegin(int panel) {
    PanelListSlot &slot = gPanelLists[panel];
    if (tReadDepth[panel] > 0) {
        // This thread already holds the list: it cannot change under us, and
        // waiting for `replacing` here would wait for ourselves.
        slot.readerCount.fetch_add(1);
        tReadDepth[panel]++;
        return;
    }
    bool queued = false;
    for (;;) {
        if (slot.replacing.load() == 0) {
            slot.readerCount.fetch_add(1);
            if (slot.replacing.load() == 0)
                break;
            // A writer came in between: step back so it can finish.
            slot.readerCount.fetch_sub(1);
        }
        if (!queued) {
            queued = true;
            slot.queuedReaders.fetch_add(1);
        }
        SleepMs(kReaderPollMs);
    }
    if (queued)
        slot.queuedReaders.fetch_sub(1);
    tReadDepth[panel]++;
}

static void ReportToStderr(const char *text) { fprintf(stderr, "%s\n", text); }
void (*gPanelListReport)(const char *text) = ReportToStderr;

void PanelListReadEnd(int panel) {
    PanelListSlot &slot = gPanelLists[panel];
    if (tReadDepth[panel] <= 0) {
        // An End without its Begin on this thread is a caller's bug. Quietly
        // flooring the count would hide it until a writer freed a list under
        // a live reader: debug builds stop here, others log it and leave the
        // count alone.
        char text[96];
        snprintf(text, sizeof text, "panel %d: list read ended without a begin (%d readers)", panel,
                 (int)slot.readerCount.load());
        gPanelListReport(text);
        assert(!"PanelListReadEnd without PanelListReadBegin");
        return;
    }
    slot.readerCount.fetch_sub(1);
    tReadDepth[panel]--;
}

bool PanelListLockExclusive(int panel, int timeoutMs) {
    if (panel != 0 && panel != 1)
        return false;
    if (tReadDepth[panel] > 0)
        return false;
    PanelListSlot &slot = gPanelLists[panel];
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!LockWriter(slot, deadline))
        return false;
    if (!DrainReaders(slot, deadline)) {
        slot.writer.unlock();
        return false;
    }
    return true;
}

void PanelListUnlockExclusive(int panel) {
    PanelListSlot &slot = gPanelLists[panel];
    slot.replacing.store(0);
    slot.writer.unlock();
}

bool PanelListLockBoth(int timeoutMs) {
    if (tReadDepth[0] > 0 || tReadDepth[1] > 0)
        return false;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!LockWriter(gPanelLists[0], deadline))
        return false;
    if (!LockWriter(gPanelLists[1], deadline)) {
        gPanelLists[0].writer.unlock();
        return false;
    }
    // Hold back new readers of both, then drain both; a reader of one panel
    // may wait for the other, so neither is left up alone for long.
    for (;;) {
        if (DrainReaders(gPanelLists[0], deadline)) {
            if (DrainReaders(gPanelLists[1], Clock::now() + std::chrono::milliseconds(kWriterPollMs)) &&
                gPanelLists[0].readerCount.load() == 0)
                return true;
            gPanelLists[1].replacing.store(0);
            gPanelLists[0].replacing.store(0);
        }
        if (Clock::now() >= deadline) {
            gPanelLists[1].writer.unlock();
            gPanelLists[0].writer.unlock();
            return false;
        }
        SleepMs(kReaderPollMs);
    }
}

void PanelListUnlockBoth() {
    PanelListUnlockExclusive(1);
    PanelListUnlockExclusive(0);
}

bool PanelListInstall(int panel, PanelListData &data, int timeoutMs) {
    if (!PanelListLockExclusive(panel, timeoutMs))
        return false;
    PanelListSlot &slot = gPanelLists[panel];
    PanelListData old = slot.list;
    slot.list = data;
    slot.generation.fetch_add(1);
    data = old;
    PanelListUnlockExclusive(panel);
    return true;
}

void PanelListFree(PanelListData &data) {
    if (data.entryIndex)
        gPanelListFreeFn(data.entryIndex);
    if (data.entryBlock)
        gPanelListFreeFn(data.entryBlock);
    data = PanelListData();
}

bool PanelListResort(int panel, PanelListSortFn sort, void *context, int timeoutMs) {
    if ((panel != 0 && panel != 1) || tReadDepth[panel] > 0)
        return false;
    PanelListSlot &slot = gPanelLists[panel];
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Holding the writer lock keeps the block alive (only writers free
    // lists), so the sort runs while readers go on reading; they are kept
    // out only for the exchange of the index.
    if (!LockWriter(slot, deadline))
        return false;
    FileEntry **fresh = sort(slot.list, context);
    if (!fresh) {
        slot.writer.unlock();
        return true;
    }
    if (!DrainReaders(slot, deadline)) {
        slot.writer.unlock();
        gPanelListFreeFn(fresh);
        return false;
    }
    FileEntry **old = slot.list.entryIndex;
    slot.list.entryIndex = fresh;
    slot.generation.fetch_add(1);
    PanelListUnlockExclusive(panel);
    if (old)
        gPanelListFreeFn(old);
    return true;
}

bool PanelListSwap(int timeoutMs) {
    if (!PanelListLockBoth(timeoutMs))
        return false;
    PanelListData t = gPanelLists[0].list;
    gPanelLists[0].list = gPanelLists[1].list;
    gPanelLists[1].list = t;
    gPanelLists[0].generation.fetch_add(1);
    gPanelLists[1].generation.fetch_add(1);
    PanelListUnlockBoth();
    return true;
}
