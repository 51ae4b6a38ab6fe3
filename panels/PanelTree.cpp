#include "panels/PanelTree.h"

#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "app/DirWatch.h"
#include "base/Paths.h"
#include "fileops/CaseMask.h"
#include "fileops/CopyJob.h"
#include "fileops/FileSystem.h"
#include "panels/PanelInput.h"
#include "tools/RunServices.h"
#include "tools/ToolWindows.h"
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

void TreeGetItemPath(HWND tree, char *out, HTREEITEM item) {
    out[0] = 0;
    if (tree && item)
        TreeItemPath(tree, item, out, 260);
}

void TreeGetSelectedPath(HWND tree, char *out) {
    HTREEITEM item = tree ? (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) : nullptr;
    TreeGetItemPath(tree, out, item);
}

namespace {

void TreeSelected(int panel, HWND tree) {
    char path[260];
    TreeGetSelectedPath(tree, path);
    if (!path[0])
        return;
    if (!SetCurrentDirectoryA(path)) {
        FileReportError(gMainWindow, (int32_t)GetLastError(), path, kCtxNone);
        return;
    }
    const int other = !panel;
    PanelSetPath(panel, path);
    PanelSetPath(other, path);
    gApp->cursorIndex[other] = 0;
    gApp->topIndex[other] = 0;
    if (HWND history = gApp->toolWindows[kToolHistory])
        ToolListInsert(history, path, 0);
    PanelRequestReread(other);
    if (HWND bar = gApp->panels[panel].pathBar)
        InvalidateRect(bar, nullptr, FALSE);
}

// One answer per label edit: the tree may report the end of an edit again
// while the first report is handled (the box losing the focus to a message)
// or after it (the box going away).
bool gEditAnswered;
LRESULT gEditAnswer;

// A drive root cannot be renamed; a folder's new name is at most 32
// characters, as the tree has always allowed.
LRESULT TreeBeginEdit(HWND tree, NMTVDISPINFOA *info) {
    gEditAnswered = false;
    char path[260];
    TreeGetItemPath(tree, path, info->item.hItem);
    if (strlen(path) <= 3)
        return TRUE; // refused: the edit box goes away at once
    if (HWND edit = (HWND)SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0))
        SendMessageA(edit, EM_LIMITTEXT, 32, 0);
    return FALSE;
}

// A panel folder inside (or equal to) `from` follows the rename to `to`.
void FollowRename(int panel, const char *from, const char *to) {
    char path[260];
    PanelGetPath(panel, path, sizeof path);
    size_t n = strlen(from);
    if (_strnicmp(path, from, n) != 0 || (path[n] && path[n] != '\\'))
        return;
    char moved[264] = "";
    StrAppend(moved, to, sizeof moved);
    if (StrAppend(moved, path + n, sizeof moved) == 0 && strlen(moved) < 260)
        PanelSetPath(panel, moved);
}

LRESULT TreeRename(int panel, HWND tree, NMTVDISPINFOA *info);

LRESULT TreeEndEdit(int panel, HWND tree, NMTVDISPINFOA *info) {
    if (gEditAnswered)
        return gEditAnswer;
    gEditAnswered = true;
    gEditAnswer = FALSE;
    gEditAnswer = TreeRename(panel, tree, info);
    return gEditAnswer;
}

LRESULT TreeRename(int panel, HWND tree, NMTVDISPINFOA *info) {
    if (!info->item.pszText)
        return FALSE; // the edit was cancelled
    const char *text = info->item.pszText;
    char oldPath[260];
    TreeGetItemPath(tree, oldPath, info->item.hItem);
    if (strlen(oldPath) <= 3)
        return FALSE;
    // A name, never a path: "..\x", "a\b" or "C:x" would move the folder
    // elsewhere; an empty name is no name.
    if (!RenameNameIsPlain(text)) {
        FileReportError(gMainWindow, ERROR_INVALID_NAME, text[0] ? text : oldPath, kCtxNone);
        return FALSE;
    }
    char newPath[264];
    lstrcpynA(newPath, oldPath, sizeof newPath);
    char *cut = strrchr(newPath, '\\');
    if (!cut)
        return FALSE;
    cut[1] = 0; // the parent folder with its backslash
    if (StrAppend(newPath, text, sizeof newPath) || strlen(newPath) >= 260) {
        FileReportError(gMainWindow, ERROR_FILENAME_EXCED_RANGE, text, kCtxNone);
        return FALSE;
    }
    if (strcmp(newPath, oldPath) == 0)
        return FALSE;
    // Another entry of that name is never replaced: a folder cannot take the
    // place of a file or a folder, so the rename is refused with the reason.
    if (PathCompareNoCase(newPath, oldPath) != 0 && FileCheckExists(newPath) == 0) {
        FileReportError(gMainWindow, ERROR_ALREADY_EXISTS, newPath, kCtxExists);
        return FALSE;
    }
    // The process's current folder may lie inside the folder: move it away
    // so the folder is free.
    char windowsRoot[MAX_PATH];
    PathGetWindowsRoot(windowsRoot);
    FileSetCurrentDir(gMainWindow, windowsRoot);
    bool done;
    while (!(done = MoveFileA(oldPath, newPath) != 0)) {
        if (FileReportError(gMainWindow, (int32_t)GetLastError(), oldPath, kCtxNone) != IDRETRY)
            break;
    }
    if (done) {
        for (int p = 0; p < 2; p++)
            FollowRename(p, oldPath, newPath);
        PanelRequestRereadBoth();
    }
    for (int p = 0; p < 2; p++)
        DirWatchOpen(gApp->panelPath[p], &gApp->changeNotify[p]);
    RunSetCurDirFromPanel(gMainWindow, panel);
    return done ? TRUE : FALSE; // TRUE keeps the new label
}

} // namespace

LRESULT PanelTreeNotify(HWND listWindow, int controlId, NMHDR *notification) {
    const int panel = PanelFromWindow(listWindow);
    if (controlId != kTreeId || panel < 0 || !notification)
        return 0;
    HWND tree = notification->hwndFrom;
    switch (notification->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
        UINT action = ((NMTREEVIEWA *)notification)->action;
        if (action == TVC_BYMOUSE || action == TVC_BYKEYBOARD)
            TreeSelected(panel, tree);
        return 0;
    }
    case TVN_BEGINLABELEDITA:
        return TreeBeginEdit(tree, (NMTVDISPINFOA *)notification);
    case TVN_ENDLABELEDITA:
        return TreeEndEdit(panel, tree, (NMTVDISPINFOA *)notification);
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW: {
        NMTREEVIEWA *nm = (NMTREEVIEWA *)notification;
        if ((nm->action & (TVE_COLLAPSE | TVE_EXPAND)) && nm->itemNew.hItem) {
            char path[260];
            TreeGetItemPath(tree, path, nm->itemNew.hItem);
            if (path[0])
                TreeFill(panel, path, false);
        }
        return 0;
    }
    case NM_SETFOCUS:
    case NM_CLICK:
    case NM_DBLCLK:
        if (GetFocus() != tree)
            SetFocus(tree);
        if ((gApp->activePanel & 1) != panel)
            PanelHandleKey(gMainWindow, WM_NULL, VK_TAB, 0);
        gApp->wheelTarget = tree;
        return 0;
    }
    return 0;
}
