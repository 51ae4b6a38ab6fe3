#include "fileops/TempNames.h"

#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Held {
    CRITICAL_SECTION lock;
    std::vector<std::string> paths;
    // Read without the lock: a listing of a folder while nothing is held
    // costs one load per entry.
    volatile LONG count = 0;
    Held() { InitializeCriticalSection(&lock); }
};

Held &Registry() {
    static Held held;
    return held;
}

} // namespace

void TempNameHold(const char *path) {
    if (!path || !path[0])
        return;
    Held &h = Registry();
    EnterCriticalSection(&h.lock);
    h.paths.push_back(path);
    InterlockedIncrement(&h.count);
    LeaveCriticalSection(&h.lock);
}

void TempNameRelease(const char *path) {
    if (!path || !path[0])
        return;
    Held &h = Registry();
    EnterCriticalSection(&h.lock);
    for (size_t i = 0; i < h.paths.size(); i++) {
        if (lstrcmpiA(h.paths[i].c_str(), path) == 0) {
            h.paths.erase(h.paths.begin() + (long)i);
            InterlockedDecrement(&h.count);
            break;
        }
    }
    LeaveCriticalSection(&h.lock);
}

bool TempNameHeld(const char *folder, const char *name) {
    Held &h = Registry();
    if (!h.count || !folder || !name)
        return false;
    std::string full = folder;
    if (!full.empty() && full.back() != '\\' && full.back() != '/')
        full += '\\';
    full += name;
    bool held = false;
    EnterCriticalSection(&h.lock);
    for (const std::string &p : h.paths) {
        if (lstrcmpiA(p.c_str(), full.c_str()) == 0) {
            held = true;
            break;
        }
    }
    LeaveCriticalSection(&h.lock);
    return held;
}
