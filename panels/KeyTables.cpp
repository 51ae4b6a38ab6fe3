#include "panels/KeyTables.h"

#include <ctype.h>
#include <string.h>

namespace {

// Virtual-key codes, spelled out so this file needs no windows.h.
enum : uint16_t {
    VkBack = 0x08, VkReturn = 0x0D, VkSpace = 0x20, VkPrior = 0x21, VkNext = 0x22, VkHome = 0x24,
    VkLeft = 0x25, VkRight = 0x27, VkPrint = 0x2A, VkSnapshot = 0x2C, VkDelete = 0x2E,
    VkF1 = 0x70, VkOem4 = 0xDB,
};
constexpr uint16_t F(int n) { return (uint16_t)(VkF1 + n - 1); }

const KeyCommandEntry kPlain[] = {
    {F(1), 92, 0},    {F(2), 29000, 0}, {F(3), 102, 1}, {F(4), 104, 1},  {F(5), 105, 1},
    {F(6), 106, 1},   {F(7), 108, 0},   {F(8), 109, 1}, {VkDelete, 109, 1}, {F(9), 304, 0},
    {F(10), 120, 0},  {VkBack, 807, 0}, {0, 0, 0},
};
const KeyCommandEntry kAlt[] = {
    {F(1), 518, 0}, {F(2), 618, 0}, {F(3), 103, 1}, {F(4), 120, 0},  {F(5), 112, 1},      {F(6), 113, 1},
    {F(7), 301, 0}, {F(8), 302, 0}, {F(9), 211, 0}, {VkReturn, 126, 1}, {'Q', 822, 0}, {'L', 410, 0},
    {0, 0, 0},
};
const KeyCommandEntry kCtrl[] = {
    {F(1), 507, 0},  {F(2), 607, 0},   {F(3), 813, 0},   {F(4), 814, 0},   {F(5), 815, 0},
    {F(6), 816, 0},  {F(7), 817, 0},   {F(8), 310, 0},   {F(9), 303, 0},   {F(10), 111, 1},
    {VkSpace, 818, 0}, {VkOem4, 804, 0}, {VkHome, 804, 0}, {VkPrior, 807, 0}, {VkNext, 810, 0},
    {'A', 114, 1},   {'C', 309, 0},    {'D', 322, 0},    {'E', 308, 0},    {'F', 213, 0},
    {'G', 324, 0},   {'H', 820, 0},    {'K', 315, 1},    {'L', 821, 0},    {'O', 323, 0},
    {'P', 318, 0},   {'Q', 822, 0},    {'R', 819, 0},    {'S', 311, 1},    {'T', 115, 1},
    {'U', 307, 0},   {0, 0, 0},
};
const KeyCommandEntry kShift[] = {
    {F(2), 101, 1},      {F(3), 317, 0},      {F(4), 802, 0},  {F(5), 121, 1},     {F(6), 107, 1},
    {F(7), 316, 0},      {F(8), 315, 0},      {F(9), 408, 0},  {VkPrint, 110, 1},  {VkSnapshot, 110, 1},
    {VkLeft, 807, 0},    {VkRight, 810, 0},   {'D', 227, 0},   {'H', 127, 0},      {0, 0, 0},
};

} // namespace

const KeyCommandEntry *KeyTable(KeyTableKind kind) {
    switch (kind) {
    case kKeysAlt: return kAlt;
    case kKeysCtrl: return kCtrl;
    case kKeysShift: return kShift;
    default: return kPlain;
    }
}

const KeyCommandEntry *KeyTableFind(KeyTableKind kind, uint16_t key) {
    for (const KeyCommandEntry *row = KeyTable(kind); row->command; row++)
        if (row->key == key)
            return row;
    return nullptr;
}

KeyTableKind KeyTableForModifiers(bool alt, bool ctrl, bool shift) {
    if (alt)
        return kKeysAlt;
    if (ctrl)
        return kKeysCtrl;
    if (shift)
        return kKeysShift;
    return kKeysPlain;
}

int StrSpanToSeparator(const char *text) {
    int n = 0;
    while (text[n] && !strchr(" .:\\", text[n]))
        n++;
    return n;
}

int CmdLineClassifyWith(const char *text, uint32_t driveMask) {
    char up[64];
    size_t n = 0;
    for (; text[n] && n + 1 < sizeof up; n++)
        up[n] = (char)toupper((unsigned char)text[n]);
    up[n] = 0;
    while (n && up[n - 1] == ' ')
        up[--n] = 0;
    if (n == 2 && up[1] == ':' && up[0] >= 'A' && up[0] <= 'Z' && (driveMask >> (up[0] - 'A') & 1))
        return 1;
    static const struct { const char *word; int code; } kWords[] = {
        {"CHDIR", 2}, {"CD", 3}, {"RMDIR", 4}, {"RD", 4}, {"MKDIR", 5}, {"MD", 5}, {"DIR", 6},
        {"DEL", 7}, {"ERASE", 7}, {"REN", 8}, {"RENAME", 8}, {"COPY", 9}, {"XCOPY", 10},
    };
    int len = StrSpanToSeparator(up);
    for (const auto &w : kWords)
        if ((int)strlen(w.word) == len && memcmp(w.word, up, len) == 0)
            return w.code;
    return 0;
}
