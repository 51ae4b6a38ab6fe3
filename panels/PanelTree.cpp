#include "panels/PanelTree.h"

#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelWindow.h"

namespace {

const int kTreeId = 4010;

HTREEITEM Insert(HWND tree, HTREEITEM parent, const char *text, int image, int selected) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.pszText = (LPSTR)text;
    ins.item.iImage = image;
    ins.item.iSelectedImage = selected;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
}

void ItemText(HWND tree, HTREEITEM item, char *out, int size) {
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = out;
    tv.cchTextMax = size;
    out[0] = 0;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
}

bool FolderExists(const char *path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void TreeSetColors(HWND tree, HFONT font, COLORREF background, COLORREF text) {
    SendMessageA(tree, TVM_SETBKCOLOR, 0, background);
    SendMessageA(tree, TVM_SETTEXTCOLOR, 0, text);
    SendMessageA(tree, WM_SETFONT, (WPARAM)font, TRUE);
}

HWND PanelTreeEnsure(int panel) {
    PanelState &ps = gApp->panels[panel];
    if (ps.treeControl || !ps.listWindow)
        return ps.treeControl;
    RECT rc;
    GetClientRect(ps.listWindow, &rc);
    ps.treeControl = CreateWindowExA(0, WC_TREEVIEWA, "",
                                     WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                         TVS_EDITLABELS | TVS_SHOWSELALWAYS,
                                     0, 0, rc.right, rc.bottom, ps.listWindow, (HMENU)(intptr_t)kTreeId,
                                     gApp->hInstance, nullptr);
    if (ps.treeControl) {
        TreeSetColors(ps.treeControl, PanelFont(), PanelColor(0), PanelColor(1));
        ps.dropFlags = 0;
        DragAcceptFiles(ps.listWindow, FALSE);
        PanelRequestReread(panel);
    }
    return ps.treeControl;
}

void TreeSyncChildren(const char *folder, int panel, HTREEITEM parent) {
    HWND tree = gApp->panels[panel].treeControl;
    uint8_t *list = (uint8_t *)DirListSubdirs(folder);
    std::vector<const char *> names;
    for (uint8_t *p = list; p && *(uint16_t *)p; p += *(uint16_t *)p)
        names.push_back((const char *)p + 2);
    std::vector<bool> seen(names.size());
    int count = (int)names.size();
    char text[260];
    HTREEITEM child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent);
    while (child) {
        ItemText(tree, child, text, sizeof text);
        int found = -1;
        for (int i = 0; i < count && found < 0; i++)
            if (!seen[i] && strcmp(names[i], text) == 0)
                found = i;
        HTREEITEM next = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child);
        if (found >= 0) {
            seen[found] = true;
        } else {
            SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)child);
        }
        child = next;
    }
    for (int i = 0; i < count; i++)
        if (!seen[i])
            Insert(tree, parent, names[i], 1, 0);
    MemFree(&list);
}

HTREEITEM TreeFill(int panel, const char *path, bool expand) {
    HWND tree = gApp->panels[panel].treeControl;
    if (!tree || !path[0])
        return nullptr;
    char root[4] = {path[0], ':', '\\', 0};
    // Only looked at: making it current would move every thread's
    // relative paths.
    if (!FolderExists(root))
        return nullptr;
    char text[260];
    HTREEITEM rootItem = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    if (rootItem) {
        ItemText(tree, rootItem, text, sizeof text);
        if (_stricmp(text, root) != 0) {
            SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
            rootItem = nullptr;
        }
    }
    if (!rootItem)
        rootItem = Insert(tree, TVI_ROOT, root, 2, 2);
    if (_stricmp(path, root) == 0)
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)rootItem);
    TreeSyncChildren(root, panel, rootItem);
    char prefix[260];
    strcpy(prefix, root);
    HTREEITEM current = rootItem;
    while (current) {
        HTREEITEM taken = nullptr;
        char nextPrefix[260] = "";
        for (HTREEITEM child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)current); child;
             child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child)) {
            ItemText(tree, child, text, sizeof text);
            char childPath[260] = "";
            StrAppend(childPath, prefix, 260);
            if (StrAppend(childPath, text, 260))
                continue;
            TreeSyncChildren(childPath, panel, child);
            size_t n = strlen(childPath);
            if (_strnicmp(path, childPath, n) == 0 && (path[n] == 0 || path[n] == '\\')) {
                taken = child;
                if (expand)
                    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)child);
                if (path[n] == 0)
                    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)child);
                strcpy(nextPrefix, childPath);
                StrAppend(nextPrefix, "\\", sizeof nextPrefix);
            }
        }
        if (taken)
            strcpy(prefix, nextPrefix);
        current = taken;
    }
    return rootItem;
}

void TreeShowPath(int panel, const char *path, bool expand) {
    HTREEITEM root = TreeFill(panel, path, expand);
    if (root)
        SendMessageA(gApp->panels[panel].treeControl, TVM_EXPAND, TVE_EXPAND, (LPARAM)root);
}

void TreeItemPath(HWND tree, HTREEITEM item, char *out, size_t size) {
    char parts[32][260];
    int n = 0;
    while (item && n < 32) {
        ItemText(tree, item, parts[n++], 260);
        item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item);
    }
    out[0] = 0;
    for (int i = n - 1; i >= 0; i--) {
        StrAppend(out, parts[i], size);
        size_t len = strlen(out);
        if (i > 0 && len && out[len - 1] != '\\')
            StrAppend(out, "\\", size);
    }
}
