#include "panels/SortPipeline.h"

#include <windows.h>
#include <process.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

#include "base/Memory.h"
#include "panels/DirRead.h"
#include "panels/EntryBuild.h"
#include "panels/Sort.h"

namespace {

// A key as the system orders it: its sort key bytes (in an arena, by offset)
// and its group letter apart, so that the reversed groups can turn round.
struct FastKey {
    uint32_t offset;
    uint32_t length;
    int group;       // 0 " ", 1 "X", 2 "Y", 3 "Z"
    uintptr_t item;  // what the key sorts: a record, or an entry's offset
};

int GroupOf(char c) { return c == 'X' ? 1 : c == 'Y' ? 2 : c == 'Z' ? 3 : 0; }

bool KeyBefore(const uint8_t* arena, const FastKey& a, const FastKey& b) {
    if (a.group != b.group) return a.group < b.group;
    uint32_t m = a.length < b.length ? a.length : b.length;
    int c = memcmp(arena + a.offset, arena + b.offset, m);
    if (!c) c = (int)a.length - (int)b.length;
    if (a.group == 1 || a.group == 2) c = -c;
    return c < 0;
}

// CompareStringA compares multi-level weights; the sort key of a string
// holds the same weights in an order that memcmp respects, so each key is
// measured once instead of in every comparison.
struct KeyArena {
    uint8_t* bytes = nullptr;
    uint32_t used = 0;
    uint32_t capacity = 0;
    ~KeyArena() { MemFree(&bytes); }

    bool Reserve(uint32_t want) {
        if (want <= capacity) return true;
        uint32_t cap = capacity ? capacity : 65536;
        while (cap < want) {
            if (cap > 0x40000000u) return false;
            cap *= 2;
        }
        uint8_t* grown = (uint8_t*)MemAlloc(cap);
        if (!grown) return false;
        if (used) memcpy(grown, bytes, used);
        MemFree(&bytes);
        bytes = grown;
        capacity = cap;
        return true;
    }

    // The key of a record's text (its group letter left out); false without
    // memory or when the system makes no key.
    bool Add(const char* recordKey, uintptr_t item, FastKey* out) {
        const char* text = recordKey + 1;
        uint32_t need = (uint32_t)strlen(text) * 8 + 64;
        if (!Reserve(used + need)) return false;
        int got = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text, -1, (char*)bytes + used,
                               (int)need);
        if (got <= 0) return false;
        *out = FastKey{used, (uint32_t)got, GroupOf(recordKey[0]), item};
        used += (uint32_t)got;
        return true;
    }
};

}  // namespace

void SortKeysBySystemKeys(SortKeyRecord** records, uint32_t n) {
    FastKey* keys = (FastKey*)MemAlloc((size_t)n * sizeof(FastKey));
    KeyArena arena;
    bool ok = keys && arena.Reserve(n * 48 + 4096);
    for (uint32_t i = 0; ok && i < n; i++) ok = arena.Add(records[i]->key, (uintptr_t)records[i], &keys[i]);
    if (!ok) {
        MemFree(&keys);
        SortKeysByCompare(records, n);
        return;
    }
    const uint8_t* bytes = arena.bytes;
    std::sort(keys, keys + n, [bytes](const FastKey& a, const FastKey& b) { return KeyBefore(bytes, a, b); });
    for (uint32_t i = 0; i < n; i++) records[i] = (SortKeyRecord*)keys[i].item;
    MemFree(&keys);
}

// ---- the second thread -------------------------------------------------------

namespace {

struct Chunk {
    uint8_t* bytes;
    uint32_t count;
    uint32_t base;  // offset of the first entry in the listing's block
    Chunk* next;
};

}  // namespace

struct SortPipeline {
    int key = 0;
    int reverse = 0;
    CRITICAL_SECTION lock;
    HANDLE wake = nullptr;
    HANDLE thread = nullptr;
    // Linked under the lock by the reading thread; a linked chunk never changes.
    Chunk* head = nullptr;
    Chunk* tail = nullptr;
    bool done = false;  // under the lock: nothing more comes
    volatile LONG stop = 0;
    volatile LONG gaveUp = 0;  // set by the sorting thread: feeding is no use
    uint32_t handed = 0;  // entries handed over (reading thread only)

    // The sorting thread's own; read by the other only after it has ended.
    bool failed = false;
    uint32_t seen = 0;  // entries taken, ".." included
    SortWidths widths;
    int restarts = 0;
    KeyArena arena;
    std::vector<SortKeyRecord> records;
    std::vector<FastKey> batch;
    std::vector<std::vector<FastKey>> runs;  // sorted, each at least twice the next one's size

    bool Before(const FastKey& a, const FastKey& b) const { return KeyBefore(arena.bytes, a, b); }

    // Merges the last two runs into one.
    void MergeTop() {
        std::vector<FastKey>& a = runs[runs.size() - 2];
        std::vector<FastKey>& b = runs.back();
        std::vector<FastKey> both(a.size() + b.size());
        auto before = [this](const FastKey& x, const FastKey& y) { return Before(x, y); };
        std::merge(a.begin(), a.end(), b.begin(), b.end(), both.begin(), before);
        runs.pop_back();
        runs.back().swap(both);
    }

    bool Add(const Chunk* c) {
        records.resize(c->count);
        FileEntry* upDir = nullptr;
        uint32_t n = SortFillKeys(c->bytes, c->count, key, reverse, widths, records.data(), &upDir);
        batch.resize(n);
        for (uint32_t i = 0; i < n; i++) {
            uintptr_t offset = c->base + (uint32_t)((uint8_t*)records[i].entry - c->bytes);
            if (!arena.Add(records[i].key, offset, &batch[i])) return false;
        }
        auto before = [this](const FastKey& x, const FastKey& y) { return Before(x, y); };
        std::sort(batch.begin(), batch.end(), before);
        runs.emplace_back();
        runs.back().swap(batch);
        while (runs.size() >= 2 && runs[runs.size() - 2].size() <= 2 * runs.back().size()) MergeTop();
        seen += c->count;
        return true;
    }

    // A chunk that widens the keys makes every key so far anew (rarely more
    // than once or twice: the widest names are soon seen).
    bool Take(const Chunk* c) {
        SortWidths w = widths;
        SortMeasure(c->bytes, c->count, key, &w);
        if (w.first != widths.first || w.second != widths.second) {
            widths = w;
            if (seen) {
                if (++restarts > 4) return false;
                runs.clear();
                arena.used = 0;
                seen = 0;
                for (const Chunk* earlier = head; earlier != c; earlier = earlier->next)
                    if (!Add(earlier)) return false;
            }
        }
        return Add(c);
    }

    void Run() {
        const Chunk* last = nullptr;
        for (;;) {
            if (stop) return;
            EnterCriticalSection(&lock);
            const Chunk* next = last ? last->next : head;
            bool finished = done;
            LeaveCriticalSection(&lock);
            if (!next) {
                if (finished) break;
                WaitForSingleObject(wake, INFINITE);
                continue;
            }
            if (!Take(next)) {
                failed = true;
                InterlockedExchange(&gaveUp, 1);
                return;
            }
            last = next;
        }
        while (runs.size() >= 2) MergeTop();
    }

    static unsigned __stdcall Main(void* self) {
        SortPipeline* p = static_cast<SortPipeline*>(self);
        try {
            p->Run();
        } catch (...) {  // out of memory in a vector
            p->failed = true;
            InterlockedExchange(&p->gaveUp, 1);
        }
        return 0;
    }

    ~SortPipeline() {
        for (Chunk* c = head; c;) {
            Chunk* next = c->next;
            MemFree(&c->bytes);
            MemFree(&c);
            c = next;
        }
        if (wake) CloseHandle(wake);
        DeleteCriticalSection(&lock);
    }
};

namespace {

void Join(SortPipeline* p, bool abandon) {
    if (abandon) InterlockedExchange(&p->stop, 1);
    EnterCriticalSection(&p->lock);
    p->done = true;
    LeaveCriticalSection(&p->lock);
    SetEvent(p->wake);
    WaitForSingleObject(p->thread, INFINITE);
    CloseHandle(p->thread);
    p->thread = nullptr;
}

}  // namespace

SortPipeline* SortPipelineStart(int key, int reverse) {
    if (key < kSortName || key >= kSortNone) return nullptr;
    SortPipeline* p = new (std::nothrow) SortPipeline;
    if (!p) return nullptr;
    InitializeCriticalSection(&p->lock);
    p->key = key;
    p->reverse = reverse;
    p->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (p->wake) p->thread = (HANDLE)_beginthreadex(nullptr, 0, SortPipeline::Main, p, 0, nullptr);
    if (!p->thread) {
        delete p;
        return nullptr;
    }
    return p;
}

bool SortPipelineFeed(SortPipeline* p, const uint8_t* bytes, uint32_t size, uint32_t count, uint32_t blockOffset) {
    if (p->gaveUp) return false;
    if (!count) return true;
    Chunk* c = (Chunk*)MemAlloc(sizeof(Chunk));
    uint8_t* copy = c ? (uint8_t*)MemAlloc(size + kFileEntrySlack) : nullptr;
    if (!copy) {
        MemFree(&c);
        return false;
    }
    memcpy(copy, bytes, size);
    *c = Chunk{copy, count, blockOffset, nullptr};
    EnterCriticalSection(&p->lock);
    if (p->tail)
        p->tail->next = c;
    else
        p->head = c;
    p->tail = c;
    LeaveCriticalSection(&p->lock);
    p->handed += count;
    SetEvent(p->wake);
    return true;
}

bool SortPipelineFinish(SortPipeline* p, DirListing* listing, uint32_t upDirOffset) {
    Join(p, false);
    size_t sorted = p->runs.empty() ? 0 : p->runs[0].size();
    bool ok = !p->failed && p->seen == p->handed && listing->entryBlock && p->runs.size() <= 1 &&
              sorted + (upDirOffset != kNoUpDir ? 1 : 0) == listing->entryCount;
    if (ok) {
        MemFree(&listing->entryIndex);
        FileEntry** index = (FileEntry**)gPanelsAlloc((size_t)(listing->entryCount + 1) * sizeof(FileEntry*));
        if (index) {
            uint32_t at = 0;
            if (upDirOffset != kNoUpDir) index[at++] = (FileEntry*)(listing->entryBlock + upDirOffset);
            if (!p->runs.empty())
                for (const FastKey& k : p->runs[0]) index[at++] = (FileEntry*)(listing->entryBlock + k.item);
            index[at] = nullptr;
            listing->entryIndex = index;
        }
    }
    delete p;
    return ok;
}

void SortPipelineAbandon(SortPipeline* p) {
    Join(p, true);
    delete p;
}
