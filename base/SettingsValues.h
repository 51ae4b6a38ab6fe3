// Value forms of the settings file: number lists, placements, fonts, column
// codes, the button bar and the option words. No windows.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "Options.h"
#include "Records.h"

// Reads up to `count` comma-separated decimal numbers (all values first set to
// 0) up to the end of the text or a CR or LF; returns how many were read.
// Numbers are taken modulo 2^32, so "4294967295" and "-1" both give
// 0xFFFFFFFF: lists are written with %lu and with %ld, and both must read
// back. An empty text, or an empty last field after a trailing ",", is not
// a number.
int IniParseNumberList(const char *text, uint32_t *values, int count);
// Writes values as "%lu" (or "%ld" when asSigned) joined by ","; false when
// out is too small (out then holds a cut but terminated list).
bool IniFormatNumberList(char *out, size_t size, const uint32_t *values, int count, bool asSigned);

// Placement "left,right,top,bottom,show" with 0x80 added to show when the
// window is maximised. Parsing changes pos only with exactly 5 numbers.
bool IniParseWindowPos(const char *text, WindowPos *pos);
void IniFormatWindowPos(char *out, size_t size, const WindowPos *pos);

// Font value "face,height,width,escapement,orientation,weight,italic,
// underline,strikeout,charset,outprecision,clipprecision,quality,pitch".
struct IniFont {
    char face[32]; // empty = use the default font
    int32_t values[13];
};
// With anything but exactly 13 numbers after the face, face becomes "".
void IniParseFontValue(const char *text, IniFont *font);
void IniFormatFontValue(char *out, size_t size, const IniFont *font);

// Column code list of a panel (five codes 0-5): cleared after the first 0;
// false when a code repeats or code 1 (name) is missing.
bool IniValidateColumns(uint16_t *codes);

// Button bar: the table of commands a ToolBar code 2..78 stands for.
const int kToolbarCommandCount = 77;
extern const int16_t kToolbarCommands[kToolbarCommandCount];
// Position of a command in that table, or -1.
int ToolbarCommandIndex(int command);
// Fills buttons (kToolbarButtonMax, first command 0 ends) from a ToolBar
// value and sets *buttonSize (35 or 29). An empty result gets the default bar.
void IniParseToolbar(const char *text, ToolbarButton *buttons, uint16_t *buttonSize);
// The ToolBar value for buttons and a button size.
void IniFormatToolbar(char *out, size_t size, const ToolbarButton *buttons, uint16_t buttonSize);

// The option words of key "Options", in the key's order.
struct OptionWords {
    uint16_t confirmFlags;
    uint16_t panelOptions;
    uint32_t generalOptions;
    uint16_t barOptions;
    uint16_t nameCase;
    uint32_t moreOptions;
    uint32_t splitLines;
};
// With fewer than six numbers the four defaults apply and the rest stay 0;
// the seventh word is taken only when all seven are present.
void IniParseOptions(const char *text, OptionWords *words);
void IniFormatOptions(char *out, size_t size, const OptionWords *words);

// DOS date and time as the three numbers the settings file stores.
void IniSplitDosDate(uint16_t date, uint32_t *three);
uint16_t IniJoinDosDate(const uint32_t *three);
void IniSplitDosTime(uint16_t time, uint32_t *three);
uint16_t IniJoinDosTime(const uint32_t *three);

// Association line upgrade of the Editor and Viewer sections: blanks and ","
// before the first "=" become ";". Returns true when the line changed.
bool IniConvertAssocLine(char *line);
