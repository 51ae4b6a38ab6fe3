#include "panels/PanelShell.h"

#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "AppState.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
#include "panels/PanelDrag.h"
#include "panels/PanelInput.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelWindow.h"
#include "wingui/ComObject.h"

IContextMenu *gShellContextMenu;

namespace {

// ---- item ID lists

UINT ItemIdSize(LPCITEMIDLIST id) { return id ? id->mkid.cb : 0; }

LPCITEMIDLIST ItemIdNext(LPCITEMIDLIST id) {
    UINT size = ItemIdSize(id);
    if (!size)
        return nullptr;
    id = (LPCITEMIDLIST)((const BYTE *)id + size);
    return id->mkid.cb ? id : nullptr;
}

UINT ItemIdCount(LPCITEMIDLIST id) {
    UINT count = 0;
    for (; id && id->mkid.cb; id = ItemIdNext(id))
        count++;
    return count;
}

// A copy of the first item ID with its zero terminator.
LPITEMIDLIST ItemIdCloneFirst(IMalloc *allocator, LPCITEMIDLIST id) {
    UINT size = ItemIdSize(id);
    auto *copy = (BYTE *)allocator->Alloc(size + 2);
    if (!copy)
        return nullptr;
    memcpy(copy, id, size);
    copy[size] = copy[size + 1] = 0;
    return (LPITEMIDLIST)copy;
}

// The shell items of a context menu or a drag: the parent folder and the
// child IDs of the chosen entries.
struct ShellItems {
    IMalloc *allocator = nullptr;
    IShellFolder *desktop = nullptr;
    IShellFolder *parent = nullptr;
    LPITEMIDLIST full = nullptr;
    std::vector<LPITEMIDLIST> children;

    ~ShellItems() {
        for (LPITEMIDLIST id : children)
            allocator->Free(id);
        if (full)
            allocator->Free(full);
        if (parent)
            parent->Release();
        if (desktop)
            desktop->Release();
        if (allocator)
            allocator->Release();
    }

    // The parent folder of `full` and its last ID as the first child.
    bool Bind() {
        UINT count = ItemIdCount(full);
        if (count == 0)
            return false;
        IShellFolder *folder = desktop;
        folder->AddRef();
        LPCITEMIDLIST id = full;
        for (UINT i = 0; i + 1 < count; i++, id = ItemIdNext(id)) {
            LPITEMIDLIST one = ItemIdCloneFirst(allocator, id);
            IShellFolder *next = nullptr;
            HRESULT hr = one ? folder->BindToObject(one, nullptr, IID_IShellFolder, (void **)&next) : E_OUTOFMEMORY;
            if (one)
                allocator->Free(one);
            folder->Release();
            if (hr != S_OK || !next)
                return false;
            folder = next;
        }
        parent = folder;
        LPITEMIDLIST last = ItemIdCloneFirst(allocator, id);
        if (!last)
            return false;
        children.push_back(last);
        return true;
    }

    // The other marked entries, as the parent folder lists them: a marked
    // name that the shell does not list is left out.
    void AddMarked(int panel, const std::string &first, bool lockList) {
        std::vector<std::string> names;
        PanelIter it;
        for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
            if ((e->mark & 1) && !EntryIsUpDir(e) && lstrcmpiA(EntryName(e), first.c_str()) != 0)
                names.push_back(EntryName(e));
        PanelIterEnd(&it);
        if (names.empty())
            return;
        IEnumIDList *list = nullptr;
        if (lockList)
            EnterCriticalSection(&gApp->dialogListLock);
        if (parent->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &list) ==
                S_OK &&
            list) {
            LPITEMIDLIST folder = ILClone(full);
            if (folder)
                ILRemoveLastID(folder);
            LPITEMIDLIST child = nullptr;
            ULONG got = 0;
            while (folder && names.size() && list->Next(1, &child, &got) == S_OK && got == 1) {
                char path[MAX_PATH] = "";
                bool kept = false;
                LPITEMIDLIST joined = ILCombine(folder, child);
                if (joined && SHGetPathFromIDListA(joined, path)) {
                    const char *name = path + PathFindName(path);
                    for (size_t i = 0; i < names.size(); i++)
                        if (lstrcmpiA(names[i].c_str(), name) == 0) {
                            children.push_back(child);
                            names.erase(names.begin() + (long)i);
                            kept = true;
                            break;
                        }
                }
                if (joined)
                    ILFree(joined);
                if (!kept)
                    allocator->Free(child);
            }
            if (folder)
                ILFree(folder);
            list->Release();
        }
        if (lockList)
            LeaveCriticalSection(&gApp->dialogListLock);
    }
};

bool OpenShell(ShellItems *items) {
    return SHGetMalloc(&items->allocator) == S_OK && SHGetDesktopFolder(&items->desktop) == S_OK;
}

// ---- the drop target of a list window

class PanelDropTarget final : public ComObject<IDropTarget, &IID_IDropTarget> {
  public:
    PanelDropTarget(HWND window, uint16_t panel) : window_(window), panel_(panel) {}

    STDMETHODIMP DragEnter(IDataObject *, DWORD keys, POINTL, DWORD *effect) override {
        if (!effect)
            return E_INVALIDARG;
        if (gApp->panels[0].location || gApp->panels[1].location) {
            *effect = DROPEFFECT_NONE;
            return E_FAIL;
        }
        *effect = DropEffectFromKeys(keys) & *effect;
        return S_OK;
    }
    STDMETHODIMP DragOver(DWORD keys, POINTL, DWORD *effect) override {
        if (!effect)
            return E_INVALIDARG;
        bool open = (gApp->panels[panel_].dropFlags & 0x20) && !gApp->panels[0].location &&
                    !gApp->panels[1].location;
        *effect = open ? DropEffectFromKeys(keys) & *effect : DROPEFFECT_NONE;
        return S_OK;
    }
    STDMETHODIMP DragLeave() override { return S_OK; }
    // The files are read here, from the data object, and handed to the
    // panel's own drop handling once the drag has ended.
    STDMETHODIMP Drop(IDataObject *data, DWORD keys, POINTL, DWORD *effect) override {
        if (!effect || !data)
            return E_INVALIDARG;
        PanelState &ps = gApp->panels[panel_];
        DWORD chosen = DropEffectFromKeys(keys) & *effect;
        *effect = DROPEFFECT_NONE;
        if (!(ps.dropFlags & 0x20) || !chosen || gApp->panels[0].location || gApp->panels[1].location)
            return S_OK;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        if (data->GetData(&format, &medium) != S_OK)
            return S_OK;
        // The block becomes ours: a copy when the data object keeps its own.
        HGLOBAL block = medium.hGlobal;
        if (medium.pUnkForRelease) {
            SIZE_T size = GlobalSize(medium.hGlobal);
            block = size ? GlobalAlloc(GMEM_MOVEABLE, size) : nullptr;
            void *from = GlobalLock(medium.hGlobal);
            void *to = block ? GlobalLock(block) : nullptr;
            if (from && to)
                memcpy(to, from, size);
            if (from)
                GlobalUnlock(medium.hGlobal);
            if (to)
                GlobalUnlock(block);
            ReleaseStgMedium(&medium);
            if (!from || !to) {
                if (block)
                    GlobalFree(block);
                return S_OK;
            }
        }
        ps.dropFlags = 0x20 | chosen;
        if (!PostMessageA(window_, WM_DROPFILES, (WPARAM)block, 0)) {
            GlobalFree(block);
            return S_OK;
        }
        // A move is done by our own job: the source must not delete its
        // files on a move result, which would race the copy.
        *effect = chosen == DROPEFFECT_MOVE ? DROPEFFECT_NONE : chosen;
        return S_OK;
    }

  private:
    HWND window_;
    uint16_t panel_;
};

} // namespace

bool ShellMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result) {
    if (!gShellContextMenu)
        return false;
    if (message != WM_INITMENUPOPUP && message != WM_DRAWITEM && message != WM_MEASUREITEM)
        return false;
    IContextMenu2 *menu2 = nullptr;
    if (gShellContextMenu->QueryInterface(IID_IContextMenu2, (void **)&menu2) != S_OK || !menu2)
        return false;
    bool handled = menu2->HandleMenuMsg(message, wParam, lParam) == S_OK;
    menu2->Release();
    if (handled)
        *result = message == WM_INITMENUPOPUP ? 0 : TRUE;
    return handled;
}

DWORD DropEffectFromKeys(DWORD keys) {
    if (keys & MK_ALT)
        return DROPEFFECT_LINK;
    if (keys & MK_SHIFT)
        return DROPEFFECT_MOVE;
    return DROPEFFECT_COPY;
}

void PanelDropTargetRegister(HWND listWindow, int panel) {
    auto *target = new (std::nothrow) PanelDropTarget(listWindow, (uint16_t)panel);
    if (!target)
        return;
    // The window keeps the object alive until the process ends.
    CoLockObjectExternal(target, TRUE, FALSE);
    if (RegisterDragDrop(listWindow, target) != S_OK) {
        CoLockObjectExternal(target, FALSE, TRUE);
    }
    target->Release();
}

LPITEMIDLIST ShellItemFromPath(HWND owner, IShellFolder *desktop, char *path) {
    FileGetFullPath(path);
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, MAX_PATH))
        return nullptr;
    LPITEMIDLIST id = nullptr;
    ULONG eaten = 0;
    if (desktop->ParseDisplayName(owner, nullptr, wide, &eaten, &id, nullptr) != S_OK)
        return nullptr;
    return id;
}

// ---- context menu

int PanelShellContextMenu(HWND owner, char *path, int x, int y, unsigned flags, int panel, unsigned options) {
    ShellItems items;
    if (!OpenShell(&items))
        return 0;
    bool usedMarked = false;
    std::string first;
    if (path && PanelCountMarked(panel) > 0 && !(flags & kShellMenuPathEvenMarked)) {
        char marked[MAX_PATH + 8] = "";
        PanelIter it;
        FileEntry *e = PanelFirstMarked(&it, panel);
        if (e)
            PanelEntryPath(e, panel, marked, sizeof marked);
        PanelIterEnd(&it);
        lstrcpynA(path, marked, MAX_PATH);
        first = marked + PathFindName(marked);
        items.full = ShellItemFromPath(owner, items.desktop, path);
        path[0] = 0;
        usedMarked = true;
    } else if (path) {
        items.full = ShellItemFromPath(owner, items.desktop, path);
    } else {
        SHGetSpecialFolderLocation(owner, CSIDL_BITBUCKET, &items.full);
    }
    if (!items.full || !items.Bind())
        return 0;
    if (usedMarked)
        items.AddMarked(panel, first, false);

    IContextMenu *menu = nullptr;
    if (items.parent->GetUIObjectOf(owner, (UINT)items.children.size(), (LPCITEMIDLIST *)items.children.data(),
                                    IID_IContextMenu, nullptr, (void **)&menu) != S_OK ||
        !menu)
        return 0;
    gShellContextMenu = menu;
    HMENU popup = CreatePopupMenu();
    int result = 0;
    if (popup) {
        menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_EXPLORE | ((options & 1) ? CMF_CANRENAME : 0));
        if (flags != kShellMenuPathEvenMarked && path && path[0] && !usedMarked) {
            const char *name = (flags & kShellMenuUpEntry) ? ".." : path + PathFindName(path);
            InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING, kShellMenuDefaultId, name);
            SetMenuDefaultItem(popup, kShellMenuDefaultId, FALSE);
        }
        UINT chosen = (UINT)TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
        if (chosen == kShellMenuDefaultId) {
            if (flags & kShellMenuUpEntry)
                PostMessageA(gMainWindow, WM_COMMAND, 807, 0);
            else if (flags & kShellMenuOpenCursor)
                PostMessageA(gMainWindow, WM_COMMAND, 810, 0);
            else
                PanelHandleKey(gMainWindow, WM_NULL, VK_RETURN, 0);
        } else if (chosen >= 1 && chosen <= 0x7FFF) {
            char verb[16] = "";
            if (menu->GetCommandString(chosen - 1, GCS_VERBA, nullptr, verb, 8) != S_OK)
                verb[0] = 0;
            verb[8] = 0;
            if ((options & 1) && lstrcmpiA(verb, "rename") == 0) {
                PostMessageA(gMainWindow, WM_COMMAND, 107, 0);
            } else {
                CMINVOKECOMMANDINFO info = {};
                info.cbSize = sizeof info;
                info.hwnd = owner;
                info.lpVerb = MAKEINTRESOURCEA(chosen - 1);
                info.nShow = SW_SHOWNORMAL;
                if (menu->InvokeCommand(&info) == S_OK)
                    result = 1;
            }
        }
        DestroyMenu(popup);
    }
    menu->Release();
    gShellContextMenu = nullptr;
    return result;
}

// ---- shell drag

void DragStartShellItems(HWND window) {
    if (!gApp)
        return;
    int panel = gApp->activePanel & 1;
    ShellItems items;
    if (!OpenShell(&items))
        return;
    char path[MAX_PATH + 8] = "";
    std::string first;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if ((e->mark & 1) && !EntryIsUpDir(e) && PanelEntryPath(e, panel, path, sizeof path) == 0 && path[0])
            break;
        else
            path[0] = 0;
    PanelIterEnd(&it);
    if (!path[0]) {
        FileEntry *e = PanelGetCursorEntry(&it, panel);
        if (e && !EntryIsUpDir(e))
            PanelEntryPath(e, panel, path, sizeof path);
        PanelIterEnd(&it);
    }
    if (!path[0])
        return;
    first = path + PathFindName(path);
    items.full = ShellItemFromPath(window, items.desktop, path);
    if (!items.full || !items.Bind())
        return;
    if (PanelCountMarked(panel) > 1)
        items.AddMarked(panel, first, true);
    IDataObject *data = nullptr;
    if (items.parent->GetUIObjectOf(window, (UINT)items.children.size(), (LPCITEMIDLIST *)items.children.data(),
                                    IID_IDataObject, nullptr, (void **)&data) != S_OK ||
        !data)
        return;
    IDropSource *source = DragNewDropSource(MK_LBUTTON | MK_RBUTTON);
    DWORD effect = DROPEFFECT_NONE;
    if (source) {
        DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
        source->Release();
    }
    data->Release();
    const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    if ((effect & all) && effect != all) {
        for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
            e->mark = (uint8_t)(e->mark << 1);
        PanelIterEnd(&it);
    }
    if (effect != all) {
        if (effect & (DROPEFFECT_MOVE | DROPEFFECT_LINK))
            PanelRequestRereadBoth();
        else if (gApp->panels[panel].listWindow)
            PostMessageA(gApp->panels[panel].listWindow, kPanelMsgRefresh, 0, 0);
    }
}
