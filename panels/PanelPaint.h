// Painting a panel's list window: header with the sort mark, rows in Full,
// Brief and Custom mode, cursor bar and marks; row rectangles for callers
// that changed one entry.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "Records.h"

enum PanelColumnCode : uint16_t { kColNone, kColName, kColSize, kColModified, kColAttributes, kColDosName };

// 0 after painting, 1 in Tree mode (the default procedure then validates).
int PaintPanel(HWND listWindow);
// Row rectangle of an entry in client coordinates (empty in QView/Tree).
void PanelEntryRect(HWND listWindow, int panel, RECT *out, uint32_t entryIndex);
void PanelInvalidateRow(int panel, uint32_t entryIndex);
void PanelInvalidateRowIcon(int panel, uint32_t entryIndex);
// Text of the name cell: with icons off a two-character hidden mark first.
void PanelEntryDisplayName(const FileEntry *entry, char *out, size_t size);
void PanelToggleCustomColumn(int panel, uint16_t code);
void PanelDrawCellText(HDC dc, const RECT *cell, const char *text, HBRUSH brush);
// Measures the column widths that are still 0 (before layout and painting).
void PanelPaintPrepareWidths(int panel, HWND listWindow);
// Column slot under x in Full and Custom mode (-1 none), with its left edge.
int PanelColumnAt(int panel, int x, int *left, int *right);
