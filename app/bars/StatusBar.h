// The main status bar (cursor line, free space, panel states, date, time)
// and the two one-field panel status bars, with the menu hint text.
#pragma once

#include <windows.h>
#include <stdint.h>

struct StatusField {
    uint16_t id;
    uint16_t flags; // kField... of BarLayout.h; 0 ends a table
    uint16_t gap;
    uint16_t capacity; // the text buffer holds one more byte
    uint16_t width;
    uint16_t menuKind;
    HWND window; // class "SF"
    char *text;
    int16_t left, right, top, bottom;
};

// which: 0 main bar, 1 left panel bar, 2 right panel bar.
void StatusBarCreate(HWND parent, int which);
void StatusBarDestroy(int which);
void StatusBarLayout(int which);
void StatusBarSetText(int id, const char *text);
void StatusBarMenuHelp(int textId);
void StatusBarsRepaint();
StatusField *StatusFieldFind(int id);
// Height of one bar (0 while it does not exist); the panel bars' row.
int StatusBarGetHeight(int which);
int StatusBarPanelHeight();
// The status font's line height.
int StatusFontLineHeight();
