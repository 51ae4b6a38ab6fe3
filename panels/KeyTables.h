// The four key tables of the keyboard hook: virtual key -> command id, with
// the flag that lets the command also end a quick search. Pure.
#pragma once

#include <stdint.h>

struct KeyCommandEntry {
    uint16_t key;
    uint16_t command; // 0 ends a table
    uint16_t quickSearch;
};

enum KeyTableKind { kKeysPlain, kKeysAlt, kKeysCtrl, kKeysShift };

const KeyCommandEntry *KeyTable(KeyTableKind kind);
// First row of the table for the key, or null.
const KeyCommandEntry *KeyTableFind(KeyTableKind kind, uint16_t key);
// The table the modifier state selects: Alt, else Ctrl, else Shift, else plain.
KeyTableKind KeyTableForModifiers(bool alt, bool ctrl, bool shift);

// Command-line words (upper case): code 1 is a bare existing drive, 0 none.
int CmdLineClassifyWith(const char *text, uint32_t driveMask);
int StrSpanToSeparator(const char *text);
