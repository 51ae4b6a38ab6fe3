// Operations on report-style list views shared by several windows (and
// handed to the FTP library).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "Records.h"

void WndListViewLoadColumns(ListColumn *table, const char *section, const char *settingsFile, int keepOrder);
void WndListViewSaveColumns(const ListColumn *table, const char *section, const char *settingsFile);
void WndListViewInsertColumns(HWND listView, ListColumn *table);
void WndListViewSetColumnTitles(HWND listView, const ListColumn *table);
void WndListViewReadColumns(HWND listView, ListColumn *table);
int WndListViewColumnCount(HWND listView);
int WndListViewSetItemText(HWND listView, int item, int subItem, const char *text);
int WndListViewGetFocusItem(HWND listView);
void WndListViewSelectItem(HWND listView, int index);
void WndListViewSwapItems(HWND listView, int a, int b);
void WndListViewMoveItemUp(HWND listView);
void WndListViewMoveItemDown(HWND listView);
void WndListViewSetView(HWND listView, int view);
void WndListViewSetSysImages(HWND listView);
void ListBoxAddText(HWND listBox, int textId);
