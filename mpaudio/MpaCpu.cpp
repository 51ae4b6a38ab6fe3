// Which of the decoder's routines run: the SSE2 ones where the processor
// has SSE2 and the system saves the SSE registers across task switches,
// the plain C ones elsewhere (Windows 95-class machines) or when a caller
// asks for them.
#include "MpaInternal.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// -1 not yet known, 0 plain C, 1 SSE2.
volatile int gVectorPaths = -1;
bool gVectorAllowed = true;

bool SystemHasSse2() {
#if defined(__x86_64__) || defined(_M_X64)
    return true; // part of the architecture; every 64-bit system saves it
#elif defined(_WIN32)
    // Not exported by the first Windows 95 releases: look it up.
    typedef BOOL(WINAPI * FeatureFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FeatureFn present = kernel ? (FeatureFn)(void*)GetProcAddress(kernel, "IsProcessorFeaturePresent") : nullptr;
    return present && present(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
#elif defined(__i386__) && defined(__GNUC__)
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

} // namespace

void MpaSetVectorPaths(bool allowed) {
    gVectorAllowed = allowed;
    gVectorPaths = -1;
}

bool MpaVectorPathsActive() {
    int v = gVectorPaths;
    if (v < 0) {
        v = gVectorAllowed && SystemHasSse2() ? 1 : 0;
        gVectorPaths = v;
    }
    return v == 1;
}
