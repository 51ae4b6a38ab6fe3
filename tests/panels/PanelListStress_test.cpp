// Readers iterate both panels while writers install, re-sort and swap lists
// as fast as they can. Under the native sanitizer build a list freed under a
// reader is reported by ASan; the checks below catch torn or mixed lists.
#include <gtest/gtest.h>

#include <atomic>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <thread>
#include <vector>

#include "panels/PanelIter.h"
#include "panels/PanelCarry.h"
#include "panels/PanelList.h"

namespace {

uint16_t NameCheck(const char *name) {
    uint16_t h = 0x5A17;
    for (; *name; name++)
        h = (uint16_t)(h * 31 + (uint8_t)*name);
    return h;
}

// A list of n entries named "<tag>-<i>", every entry carrying a check of its
// name and the list's entry count, index in block order.
PanelListData MakeList(uint32_t n, unsigned tag) {
    PanelListData d;
    size_t cap = (size_t)n * 64 + 64;
    d.entryBlock = (uint8_t *)calloc(1, cap);
    d.entryIndex = (FileEntry **)calloc(n + 1, sizeof(FileEntry *));
    uint8_t *p = d.entryBlock;
    for (uint32_t i = 0; i < n; i++) {
        FileEntry *e = (FileEntry *)p;
        int len = snprintf(e->name, 24, "%u-%u", tag, i);
        e->length = (uint16_t)(40 + len);
        e->date = NameCheck(e->name);
        e->sizeLow = n;
        d.entryIndex[i] = e;
        p += e->length;
    }
    d.entryCount = n;
    return d;
}

FileEntry **ReverseIndex(const PanelListData &list, void *) {
    if (!list.entryIndex)
        return nullptr;
    FileEntry **idx = (FileEntry **)calloc(list.entryCount + 1, sizeof(FileEntry *));
    for (uint32_t i = 0; i < list.entryCount; i++)
        idx[i] = list.entryIndex[list.entryCount - 1 - i];
    return idx;
}

void ClearPanels() {
    for (int p = 0; p < 2; p++) {
        PanelListData empty;
        ASSERT_TRUE(PanelListInstall(p, empty, 1000));
        PanelListFree(empty);
    }
}

} // namespace

TEST(PanelIter, EmptyPanelBalancesReaderCount) {
    ClearPanels();
    PanelIter it;
    EXPECT_EQ(PanelIterBegin(&it, 0), nullptr);
    EXPECT_EQ(gPanelLists[0].readerCount.load(), 1);
    PanelIterEnd(&it);
    PanelIterEnd(&it); // a second End is ignored
    EXPECT_EQ(gPanelLists[0].readerCount.load(), 0);
}

static std::string gReported;
static void CaptureReport(const char *text) { gReported = text; }

// A stray End is a caller's bug: it is reported, never repaired quietly, and
// it does not take away another thread's reader.
TEST(PanelIter, UnbalancedEndIsReportedAndLeavesOtherReaders) {
    ClearPanels();
    void (*saved)(const char *) = gPanelListReport;
    gPanelListReport = CaptureReport;
    gReported.clear();
    std::atomic<bool> holding{false}, release{false};
    std::thread reader([&] {
        PanelListReadBegin(0);
        holding = true;
        while (!release)
            std::this_thread::yield();
        PanelListReadEnd(0);
    });
    while (!holding)
        std::this_thread::yield();
    PanelListReadEnd(0); // this thread holds nothing
    EXPECT_EQ(gPanelLists[0].readerCount.load(), 1);
    EXPECT_NE(gReported.find("without a begin"), std::string::npos) << gReported;
    release = true;
    reader.join();
    EXPECT_EQ(gPanelLists[0].readerCount.load(), 0);
    gPanelListReport = saved;
}

TEST(PanelIter, NoSuchPanelGivesNothing) {
    PanelIter it;
    EXPECT_EQ(PanelIterBegin(&it, 7), nullptr); // no such panel
    PanelIterEnd(&it);
}

TEST(PanelIter, WalksInIndexOrderAndCounts) {
    ClearPanels();
    PanelListData d = MakeList(5, 1);
    d.entryIndex[1]->mark = 1;
    d.entryIndex[3]->mark = 3;
    d.entryIndex[3]->flags = kEntryFolder;
    d.entryIndex[0]->flags = kEntryFolder | kEntryUpDir;
    d.entryIndex[0]->mark = 1; // ".." never counts
    ASSERT_TRUE(PanelListInstall(0, d, 1000));
    PanelListFree(d);
    PanelIter it;
    int n = 0;
    for (FileEntry *e = PanelIterBegin(&it, 0); e; e = PanelIterNext(&it), n++) {
        char want[24];
        snprintf(want, sizeof want, "1-%d", n);
        EXPECT_STREQ(EntryName(e), want);
        EXPECT_EQ(it.position, (uint32_t)n);
    }
    EXPECT_EQ(PanelIterAt(&it, 4) != nullptr, true);
    EXPECT_EQ(PanelIterAt(&it, 5), nullptr);
    PanelIterEnd(&it);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(PanelCountMarked(0), 2u);
    EXPECT_EQ(PanelCountMarkedDirs(0), 1u);
    EXPECT_EQ(gPanelLists[0].readerCount.load(), 0);
}

TEST(PanelIter, MoreThan65535MarkedEntriesCount) {
    ClearPanels();
    PanelListData d = MakeList(65536, 2);
    for (uint32_t i = 0; i < d.entryCount; i++)
        d.entryIndex[i]->mark = 1;
    ASSERT_TRUE(PanelListInstall(1, d, 1000));
    PanelListFree(d);
    EXPECT_EQ(PanelCountMarked(1), 65536u);
}

TEST(PanelList, WriterOnReadingThreadFailsInsteadOfDeadlocking) {
    ClearPanels();
    PanelIter it;
    PanelIterBegin(&it, 0);
    PanelListData d = MakeList(3, 3);
    EXPECT_FALSE(PanelListInstall(0, d, 200));
    // Nested reading on the same thread works while we hold the list.
    PanelIter inner;
    PanelIterBegin(&inner, 0);
    PanelIterEnd(&inner);
    PanelIterEnd(&it);
    EXPECT_TRUE(PanelListInstall(0, d, 200));
    PanelListFree(d);
}

TEST(PanelList, WriterGivesUpWhenAReaderStaysAndReadersStillGetIn) {
    ClearPanels();
    std::atomic<int> phase{0};
    std::thread holder([&] {
        PanelIter it;
        PanelIterBegin(&it, 0);
        phase = 1;
        while (phase.load() != 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        PanelIterEnd(&it);
    });
    while (phase.load() != 1)
        std::this_thread::yield();
    PanelListData d = MakeList(3, 4);
    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        EXPECT_FALSE(PanelListInstall(0, d, 3000));
        writerDone = true;
    });
    // While the writer waits, another reader is let through between slices.
    // The writer is waiting once it has put up its flag.
    for (auto start = std::chrono::steady_clock::now();
         gPanelLists[0].replacing.load() == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(15);)
        std::this_thread::yield();
    // The reader is through while the writer still waits: it was not held
    // for the writer's whole wait, however slow the machine is.
    PanelIter it;
    PanelIterBegin(&it, 0);
    PanelIterEnd(&it);
    EXPECT_FALSE(writerDone.load());
    writer.join();
    phase = 2;
    holder.join();
    PanelListFree(d);
    EXPECT_EQ(gPanelLists[0].readerCount.load(), 0);
    EXPECT_EQ(gPanelLists[0].replacing.load(), 0);
}

TEST(PanelList, StressReadersAgainstInstallResortAndSwap) {
    ClearPanels();
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0}, bad{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; r++) {
        readers.emplace_back([&, r] {
            while (!stop.load()) {
                int panel = r & 1;
                PanelIter it;
                uint32_t n = 0, want = 0;
                for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
                    if (e->date != NameCheck(e->name))
                        bad++;
                    if (n == 0)
                        want = e->sizeLow;
                    else if (e->sizeLow != want)
                        bad++; // entries of two lists mixed
                    if (r < 2)
                        e->mark ^= 1; // one reader per panel changes marks in place
                    n++;
                    if ((n & 63) == 0 && r >= 2) {
                        // nested reading of the other panel
                        PanelIter other;
                        PanelIterBegin(&other, !panel);
                        PanelIterEnd(&other);
                    }
                }
                if (n && n != want)
                    bad++;
                PanelIterEnd(&it);
                reads++;
            }
        });
    }
    std::atomic<long> installs{0}, resorts{0}, swaps{0};
    std::thread refresh([&] {
        unsigned tag = 100;
        for (int i = 0; i < 400; i++) {
            // Every other install carries marks over by name, as a re-read does.
            PanelListData d = MakeList(50 + (i * 37) % 400, (i & 2) ? tag : tag++);
            bool ok = (i & 2) ? PanelListInstallCarry(i & 1, d, true, true, 2000) : PanelListInstall(i & 1, d, 2000);
            if (ok)
                installs++;
            PanelListFree(d);
        }
    });
    std::thread sorter([&] {
        for (int i = 0; i < 400; i++)
            if (PanelListResort(i & 1, ReverseIndex, nullptr, 2000))
                resorts++;
    });
    std::thread swapper([&] {
        for (int i = 0; i < 200; i++)
            if (PanelListSwap(2000))
                swaps++;
    });
    refresh.join();
    sorter.join();
    swapper.join();
    stop = true;
    for (auto &t : readers)
        t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(reads.load(), 100);
    EXPECT_GT(installs.load(), 300);
    EXPECT_GT(resorts.load(), 300);
    EXPECT_GT(swaps.load(), 150);
    for (int p = 0; p < 2; p++) {
        EXPECT_EQ(gPanelLists[p].readerCount.load(), 0);
        EXPECT_EQ(gPanelLists[p].replacing.load(), 0);
    }
    ClearPanels();
}
