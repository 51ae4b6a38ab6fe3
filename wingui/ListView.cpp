#include "wingui/ListView.h"

#include <stdio.h>
#include <string.h>
#include <shellapi.h>

#include "base/Paths.h"
#include "base/Texts.h"
#include "wingui/ListColumns.h"
#include "wingui/WindowUtil.h"

void WndListViewLoadColumns(ListColumn *table, const char *section, const char *settingsFile, int keepOrder) {
    const int count = ListColumnCount(table);
    for (int i = 0; i < count; ++i) {
        char key[16], value[64];
        snprintf(key, sizeof(key), "Col%ld", (long)i);
        GetPrivateProfileStringA(section, key, "", value, sizeof(value), settingsFile);
        ListColumnApplyStored(table, i, value);
    }
    ListColumnFinishLoad(table, keepOrder);
}

void WndListViewSaveColumns(const ListColumn *table, const char *section, const char *settingsFile) {
    for (int i = 0; table[i].textId != 0; ++i) {
        char key[16], value[32];
        snprintf(key, sizeof(key), "Col%ld", (long)i);
        ListColumnFormatStored(&table[i], value, sizeof(value));
        WritePrivateProfileStringA(section, key, value, settingsFile);
    }
}

static int VisibleCount(const ListColumn *table) {
    int n = 0;
    for (int i = 0; table[i].textId != 0; ++i)
        if (table[i].order >= 0)
            ++n;
    return n;
}

void WndListViewInsertColumns(HWND listView, ListColumn *table) {
    RECT client = {};
    GetClientRect(GetParent(listView), &client);
    int position = 0;
    int orders[20];
    for (int i = 0; table[i].textId != 0; ++i) {
        if (table[i].order < 0)
            continue;
        LVCOLUMNA col = {};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_ORDER;
        col.fmt = table[i].format & 3;
        col.cx = table[i].width >= 0 ? table[i].width
                                     : ListColumnFillWidth(table, client.right, GetSystemMetrics(SM_CXVSCROLL));
        char empty[1] = "";
        col.pszText = empty;
        col.iSubItem = table[i].subItem;
        col.iOrder = table[i].order;
        SendMessageA(listView, LVM_INSERTCOLUMNA, position, (LPARAM)&col);
        if (position < 20)
            orders[position] = table[i].order;
        ++position;
    }
    if (position < 20)
        SendMessageA(listView, LVM_SETCOLUMNORDERARRAY, position, (LPARAM)orders);
}

void WndListViewSetColumnTitles(HWND listView, const ListColumn *table) {
    int position = 0;
    for (int i = 0; table[i].textId != 0; ++i) {
        if (table[i].order < 0)
            continue;
        char title[64];
        TextGet(table[i].textId, title, sizeof(title));
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT;
        col.pszText = title;
        SendMessageA(listView, LVM_SETCOLUMNA, position++, (LPARAM)&col);
    }
}

void WndListViewReadColumns(HWND listView, ListColumn *table) {
    int position = 0;
    for (int i = 0; table[i].textId != 0; ++i) {
        if (table[i].order < 0)
            continue;
        LVCOLUMNA col = {};
        col.mask = LVCF_WIDTH | LVCF_SUBITEM | LVCF_ORDER;
        if (SendMessageA(listView, LVM_GETCOLUMNA, position, (LPARAM)&col)) {
            table[i].width = col.cx;
            table[i].order = col.iOrder;
        }
        ++position;
    }
    const int visible = VisibleCount(table);
    if (visible < 20) {
        int orders[20];
        if (SendMessageA(listView, LVM_GETCOLUMNORDERARRAY, visible, (LPARAM)orders)) {
            int k = 0;
            for (int i = 0; table[i].textId != 0; ++i)
                if (table[i].order >= 0)
                    table[i].order = orders[k++];
        }
    }
    ListColumnNumberSubItems(table);
}

int WndListViewColumnCount(HWND listView) {
    int n = 0;
    for (;; ++n) {
        LVCOLUMNA col = {};
        col.mask = LVCF_WIDTH;
        if (!SendMessageA(listView, LVM_GETCOLUMNA, n, (LPARAM)&col))
            return n;
    }
}

int WndListViewSetItemText(HWND listView, int item, int subItem, const char *text) {
    if (subItem < 0)
        return 0;
    char current[1024] = "";
    LVITEMA lv = {};
    lv.iSubItem = subItem;
    lv.pszText = current;
    lv.cchTextMax = sizeof(current);
    SendMessageA(listView, LVM_GETITEMTEXTA, item, (LPARAM)&lv);
    if (strcmp(current, text ? text : "") == 0)
        return 0;
    lv.pszText = (char *)(text ? text : "");
    SendMessageA(listView, LVM_SETITEMTEXTA, item, (LPARAM)&lv);
    return 1;
}

int WndListViewGetFocusItem(HWND listView) {
    int focus = (int)SendMessageA(listView, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    if (focus >= 0)
        return focus;
    int selected = (int)SendMessageA(listView, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (selected == 0) {
        int next = (int)SendMessageA(listView, LVM_GETNEXTITEM, 0, LVNI_SELECTED);
        if (next >= 0)
            return next;
    }
    return selected;
}

static void SetItemState(HWND listView, int index, UINT state, UINT mask) {
    LVITEMA lv = {};
    lv.state = state;
    lv.stateMask = mask;
    SendMessageA(listView, LVM_SETITEMSTATE, (WPARAM)index, (LPARAM)&lv);
}

void WndListViewSelectItem(HWND listView, int index) {
    const int count = (int)SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
    if (index < 0 || index >= count)
        return;
    const int focus = WndListViewGetFocusItem(listView);
    if (focus != index) {
        SetItemState(listView, focus >= 0 ? focus : -1, 0, LVIS_FOCUSED | LVIS_SELECTED);
        SetItemState(listView, index, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    }
    SendMessageA(listView, LVM_ENSUREVISIBLE, index, FALSE);
}

// Text of one subitem in a heap block of the needed size: subitems are not
// cut at any fixed length.
static char *GetSubItemText(HWND listView, int item, int subItem) {
    int size = 256;
    for (;;) {
        char *buffer = (char *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
        if (!buffer)
            return nullptr;
        LVITEMA lv = {};
        lv.iSubItem = subItem;
        lv.pszText = buffer;
        lv.cchTextMax = size;
        int len = (int)SendMessageA(listView, LVM_GETITEMTEXTA, item, (LPARAM)&lv);
        if (len < size - 1 || size >= (1 << 20))
            return buffer;
        HeapFree(GetProcessHeap(), 0, buffer);
        size *= 4;
    }
}

void WndListViewSwapItems(HWND listView, int a, int b) {
    LVITEMA la = {}, lb = {};
    la.mask = lb.mask = LVIF_PARAM;
    la.iItem = a;
    lb.iItem = b;
    if (!SendMessageA(listView, LVM_GETITEMA, 0, (LPARAM)&la) || !SendMessageA(listView, LVM_GETITEMA, 0, (LPARAM)&lb))
        return;
    const LPARAM pa = la.lParam;
    la.lParam = lb.lParam;
    lb.lParam = pa;
    SendMessageA(listView, LVM_SETITEMA, 0, (LPARAM)&la);
    SendMessageA(listView, LVM_SETITEMA, 0, (LPARAM)&lb);
    const int columns = WndListViewColumnCount(listView);
    for (int c = 0; c < (columns ? columns : 1); ++c) {
        char *ta = GetSubItemText(listView, a, c);
        char *tb = GetSubItemText(listView, b, c);
        if (ta && tb) {
            LVITEMA lv = {};
            lv.iSubItem = c;
            lv.pszText = tb;
            SendMessageA(listView, LVM_SETITEMTEXTA, a, (LPARAM)&lv);
            lv.pszText = ta;
            SendMessageA(listView, LVM_SETITEMTEXTA, b, (LPARAM)&lv);
        }
        if (ta)
            HeapFree(GetProcessHeap(), 0, ta);
        if (tb)
            HeapFree(GetProcessHeap(), 0, tb);
    }
    WndListViewSelectItem(listView, b);
}

void WndListViewMoveItemUp(HWND listView) {
    const int focus = WndListViewGetFocusItem(listView);
    if (focus <= 0) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    WndListViewSwapItems(listView, focus, focus - 1);
}

void WndListViewMoveItemDown(HWND listView) {
    const int focus = WndListViewGetFocusItem(listView);
    const int count = (int)SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
    if (focus < 0 || focus >= count - 1) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    WndListViewSwapItems(listView, focus, focus + 1);
}

void WndListViewSetView(HWND listView, int view) {
    LONG style = GetWindowLongA(listView, GWL_STYLE);
    if ((style & LVS_TYPEMASK) == (view & LVS_TYPEMASK))
        return;
    SetWindowLongA(listView, GWL_STYLE, (style & ~LVS_TYPEMASK) | (view & LVS_TYPEMASK));
    SendMessageA(listView, LVM_ARRANGE, LVA_ALIGNLEFT, 0);
}

void WndListViewSetSysImages(HWND listView) {
    char root[MAX_PATH];
    PathGetWindowsRoot(root);
    SHFILEINFOA info = {};
    HIMAGELIST small = (HIMAGELIST)SHGetFileInfoA(root, 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    HIMAGELIST large = (HIMAGELIST)SHGetFileInfoA(root, 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
    SendMessageA(listView, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)small);
    SendMessageA(listView, LVM_SETIMAGELIST, LVSIL_NORMAL, (LPARAM)large);
}

void ListBoxAddText(HWND listBox, int textId) {
    char text[256];
    TextGet(textId, text, sizeof(text));
    ListBoxAddLine(listBox, "%s", text);
}
