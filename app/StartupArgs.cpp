#include "app/StartupArgs.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

void CopyArg(char* dst, const char* src) {
    size_t n = strlen(src);
    if (n > kStartPathSize - 1)
        n = kStartPathSize - 1;
    memcpy(dst, src, n);
    dst[n] = 0;
}

} // namespace

uint32_t ParseStartupArgument(const char* arg, uint32_t flags, const StartupArgTargets& t) {
    if (!arg)
        return flags;
    if (arg[0] == '/') {
        char letter = (char)toupper((unsigned char)arg[1]);
        bool hasValue = arg[1] != 0 && arg[2] == '=';
        const char* value = hasValue ? arg + 3 : "";
        switch (letter) {
        case 'D':
            if (hasValue) {
                // Compared unsigned on purpose: a negative count waits the maximum too.
                unsigned long n = (unsigned long)atol(value);
                if (n != 0) {
                    flags |= kStartDelay;
                    if (n > kStartMaxDelaySeconds)
                        n = kStartMaxDelaySeconds;
                    if (t.sleepSeconds)
                        t.sleepSeconds(n);
                }
            }
            break;
        case 'I':
            if (hasValue) {
                CopyArg(t.modulePath, value);
                flags |= kStartSettingsGiven;
            }
            break;
        case 'L':
        case 'R':
            if (hasValue) {
                int panel = letter == 'R';
                CopyArg(t.panelPath[panel], value);
                flags |= panel ? kStartRightPath : kStartLeftPath;
            }
            break;
        case 'N':
            if (!(flags & kStartHandOver))
                flags |= kStartNewInstance;
            break;
        case 'O':
            if (!(flags & kStartNewInstance))
                flags |= kStartHandOver;
            break;
        default:
            break;
        }
        return flags;
    }
    if ((arg[0] == 'm' || arg[0] == 'M') && arg[1] == 0) {
        if (!(flags & kStartShowGiven)) {
            flags |= kStartShowGiven;
            *t.showCmd = arg[0] == 'm' ? 6 /* SW_MINIMIZE */ : 3 /* SW_MAXIMIZE */;
        }
        return flags;
    }
    if (arg[0] && !(flags & kStartSettingsGiven)) {
        CopyArg(t.modulePath, arg);
        flags |= kStartSettingsGiven;
    }
    return flags;
}
