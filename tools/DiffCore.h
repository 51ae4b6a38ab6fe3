#pragma once
// The line comparison behind the file compare window: splitting a text into
// lines, which lines are equal, and the status of every line against the
// other file. Pure: no windows.h, so it builds natively and is compared
// with diff.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Options bits (the settings word).
enum : uint32_t {
    kDiffToolBarHidden = 0x1,
    kDiffLinksHidden = 0x4,
    kDiffIgnoreSpaces = 0x8,
    kDiffCaseSensitive = 0x10,
    kDiffOnlyDifferences = 0x20,
};

// Status of a line, also the index of its icon and colour.
enum : uint8_t {
    kDiffMovedUp = 0,   // the equal line in the other file lies at a smaller line number
    kDiffMovedDown = 1, // ... at a greater line number
    kDiffAdded = 2,     // no equal line in the other file
    kDiffSame = 3,      // equal line at the same line number
};

struct DiffLine {
    uint32_t start = 0;  // offset of the text in the side's buffer
    uint32_t length = 0; // without the line end
    uint32_t number = 0; // 1-based
    int32_t counterpart = -1; // index of the equal line in the other file
    uint8_t status = kDiffSame;
};

struct DiffSide {
    std::string text; // the whole file
    std::vector<DiffLine> lines;
    uint32_t differing = 0;
    std::string Line(size_t i) const { return text.substr(lines[i].start, lines[i].length); }
};

// Cuts the text into lines at CR LF, LF or CR (a file's line ends never
// make two files differ); a last line without an end counts as a line.
void DiffSplitLines(DiffSide *side);
// The text two lines are compared by: without blanks and tabs when spaces
// are ignored, folded to upper case unless the comparison is case-sensitive.
// The whole line counts, however long.
std::string DiffLineKey(const char *text, size_t length, uint32_t options);
bool DiffLinesEqual(const std::string &a, const std::string &b, uint32_t options);
// Sets the status and counterpart of every line of `side` against `other`:
// a line's match is the first unmatched equal line of the other file at its
// line number or after it, else the last unmatched one before it. Returns
// the number of lines that differ (status other than kDiffSame). Linear
// apart from the lookups in a table of the other file's lines.
uint32_t DiffMarkLines(DiffSide *side, const DiffSide &other, uint32_t options);
// Both directions.
void DiffCompare(DiffSide *left, DiffSide *right, uint32_t options);
// Index of the line shown as list item `item`: every line, or with
// kDiffOnlyDifferences only those that differ. -1 when there is none.
int32_t DiffLineAtItem(const DiffSide &side, uint32_t item, uint32_t options);
uint32_t DiffItemCount(const DiffSide &side, uint32_t options);
// A line as drawn: tabs expanded to the next stop of `tabWidth` columns.
std::string DiffExpandTabs(const std::string &text, unsigned tabWidth);
