#include "wingui/ShellServices.h"

#include <commdlg.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"

int (*gMissingModuleBox)(HWND, const char *, const char *, UINT) = MsgBox;

static void FreeItemList(LPITEMIDLIST items) {
    IMalloc *shellAlloc = nullptr;
    if (items && SUCCEEDED(SHGetMalloc(&shellAlloc))) {
        shellAlloc->Free(items);
        shellAlloc->Release();
    }
}

void ShellOpenSpecialFolder(HWND window, int csidl) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(window, csidl, &items)) || !items)
        return;
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(items, path) && path[0]) {
        ShellExecuteA(window, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    } else {
        SHELLEXECUTEINFOA info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_IDLIST | SEE_MASK_INVOKEIDLIST;
        info.hwnd = window;
        info.lpIDList = items;
        info.nShow = SW_SHOWNORMAL;
        ShellExecuteExA(&info);
    }
    FreeItemList(items);
}

void ShellShowProperties(HWND window, const char *path) {
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_INVOKEIDLIST;
    info.hwnd = window;
    info.lpVerb = "properties";
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}

static void ToWide(const char *text, WCHAR *out, int size) {
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, out, size))
        out[0] = 0;
    out[size - 1] = 0;
}

HRESULT ShellResolveLink(const char *linkPath, char *target, char *description, char *workingFolder) {
    IShellLinkA *link = nullptr;
    target[0] = 0;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link);
    if (FAILED(hr))
        return hr;
    IPersistFile *file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(hr)) {
        WCHAR wide[MAX_PATH];
        ToWide(linkPath, wide, MAX_PATH);
        hr = file->Load(wide, STGM_READ);
        if (SUCCEEDED(hr))
            hr = link->Resolve(GetDesktopWindow(), 0);
        if (SUCCEEDED(hr)) {
            WIN32_FIND_DATAA data;
            hr = link->GetPath(target, MAX_PATH, &data, SLGP_SHORTPATH);
            if (description)
                link->GetDescription(description, MAX_PATH);
            if (workingFolder)
                link->GetWorkingDirectory(workingFolder, MAX_PATH);
        }
        file->Release();
    }
    link->Release();
    return hr;
}

HRESULT ShellCreateLink(const char *target, const char *workingFolder, const char *linkPath,
                        const char *description) {
    IShellLinkA *link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link);
    if (FAILED(hr))
        return hr;
    link->SetPath(target);
    link->SetDescription(description ? description : "");
    link->SetWorkingDirectory(workingFolder ? workingFolder : "");
    IPersistFile *file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(hr)) {
        WCHAR wide[MAX_PATH];
        ToWide(linkPath, wide, MAX_PATH);
        hr = file->Save(wide, TRUE);
        file->Release();
    }
    link->Release();
    return hr;
}

HRESULT ShellCreateDesktopLink(const char *file) {
    char desktop[MAX_PATH], linkPath[MAX_PATH], folder[MAX_PATH];
    HRESULT hr = ShellSpecialFolderPath(CSIDL_DESKTOP, desktop);
    if (FAILED(hr) || !desktop[0])
        return FAILED(hr) ? hr : E_FAIL;
    const char *name = file;
    for (const char *p = file; *p; p++) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    char stem[MAX_PATH] = "";
    StrAppend(stem, name, sizeof stem);
    char *dot = strrchr(stem, '.');
    if (dot)
        *dot = 0;
    snprintf(linkPath, sizeof linkPath, "%s\\%s.lnk", desktop, stem);
    size_t folderLen = (size_t)(name - file);
    if (folderLen >= sizeof folder)
        folderLen = sizeof folder - 1;
    memcpy(folder, file, folderLen);
    folder[folderLen] = 0;
    return ShellCreateLink(file, folder, linkPath, linkPath + strlen(desktop) + 1);
}

void ShellGetDisplayName(LPCITEMIDLIST items, char *out, int size) {
    out[0] = 0;
    IShellFolder *desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return;
    STRRET name;
    memset(&name, 0, sizeof name);
    if (SUCCEEDED(desktop->GetDisplayNameOf(items, SHGDN_NORMAL, &name))) {
        switch (name.uType) {
        case STRRET_WSTR:
            if (!WideCharToMultiByte(CP_ACP, 0, name.pOleStr, -1, out, size, nullptr, nullptr))
                out[0] = 0;
            out[size - 1] = 0;
            CoTaskMemFree(name.pOleStr);
            break;
        case STRRET_OFFSET:
            out[0] = 0;
            StrAppend(out, (const char *)items + name.uOffset, (size_t)size);
            break;
        case STRRET_CSTR:
            out[0] = 0;
            StrAppend(out, name.cStr, (size_t)size);
            break;
        }
    }
    desktop->Release();
}

void ShellSpecialFolderName(int csidl, char *out, int size) {
    out[0] = 0;
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) && items) {
        ShellGetDisplayName(items, out, size);
        FreeItemList(items);
    }
}

HRESULT ShellSpecialFolderPath(int csidl, char *out) {
    out[0] = 0;
    LPITEMIDLIST items = nullptr;
    HRESULT hr = SHGetSpecialFolderLocation(nullptr, csidl, &items);
    if (SUCCEEDED(hr) && items) {
        if (!SHGetPathFromIDListA(items, out))
            out[0] = 0;
        FreeItemList(items);
    }
    return hr;
}

void AppReportMissingModule(HWND owner, const char *moduleName, int libraryIndex) {
    uint32_t bit = 1u << libraryIndex;
    if (gApp->libMissingShown & bit)
        return;
    gApp->libMissingShown |= bit;
    char text[64 + MAX_PATH];
    if (TextFormat(text, sizeof text, Txt::errDllNotFound, moduleName) < 0)
        snprintf(text, sizeof text, "Cannot find or load the module %s.", moduleName);
    gMissingModuleBox(owner, text, gWindowTitle ? gWindowTitle : "Zq Vandrell", MB_ICONERROR);
}

// Icon resources 56-69 by control id: the enabled icon, the disabled one is next.
static int ButtonIconFor(int controlId) {
    switch (controlId) {
    case 99: return 64;
    case 2: return 58;
    case 94: return 60;
    case 95: return 56;
    case 11709: return 68;
    case 14154: return 66;
    case 14503: return 62;
    }
    return 0;
}

static HICON ButtonIcon(int resource) {
    int slot = resource - 56;
    if (slot < 0 || slot >= 14)
        return nullptr;
    if (!gApp->buttonIcons[slot])
        gApp->buttonIcons[slot] =
            (HICON)LoadImageA(gApp->hInstance, MAKEINTRESOURCEA(resource), IMAGE_ICON, 29, 21, 0);
    return gApp->buttonIcons[slot];
}

void DlgDrawIconButton(const DRAWITEMSTRUCT *item) {
    if (item->CtlType != ODT_BUTTON)
        return;
    char label[64] = "";
    TextGet((int)item->CtlID, label, sizeof label);
    bool grayed = (item->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    int resource = ButtonIconFor((int)item->CtlID);
    HICON icon = resource ? ButtonIcon(resource + (grayed ? 1 : 0)) : nullptr;

    RECT r = item->rcItem;
    UINT state = DFCS_BUTTONPUSH | ((item->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0);
    DrawFrameControl(item->hDC, &r, DFC_BUTTON, state);
    InflateRect(&r, -4, -3);
    if (icon) {
        DrawIconEx(item->hDC, r.left, r.top + (r.bottom - r.top - 21) / 2, icon, 29, 21, 0, nullptr, DI_NORMAL);
        r.left += 31;
    }
    int oldMode = SetBkMode(item->hDC, TRANSPARENT);
    COLORREF oldColor = SetTextColor(item->hDC, GetSysColor(grayed ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextA(item->hDC, label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(item->hDC, oldColor);
    SetBkMode(item->hDC, oldMode);
    if (item->itemState & ODS_FOCUS) {
        RECT f = item->rcItem;
        InflateRect(&f, -3, -3);
        DrawFocusRect(item->hDC, &f);
    }
}

void DlgDrawItem(const DRAWITEMSTRUCT *item) { DlgDrawIconButton(item); }

void OwnerDrawCacheFree() {
    for (void *&block : gApp->ownerDrawCache)
        MemFree(&block);
}

static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(window, BFFM_SETSELECTIONA, FALSE, data);
    return 0;
}

static LPITEMIDLIST ParseFolder(IShellFolder *desktop, const char *path) {
    WCHAR wide[MAX_PATH];
    ToWide(path, wide, MAX_PATH);
    LPITEMIDLIST items = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, &eaten, &items, nullptr)))
        return nullptr;
    return items;
}

int DlgBrowseFolder(HWND owner, char *path) {
    LPITEMIDLIST preselect = nullptr;
    IShellFolder *desktop = nullptr;
    if (path[0] && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
        char full[MAX_PATH];
        DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
        if (n == 0 || n >= MAX_PATH) {
            full[0] = 0;
            StrAppend(full, path, sizeof full);
        }
        preselect = ParseFolder(desktop, full);
        if (!preselect) {
            char *cut = strrchr(full, '\\');
            if (cut && cut > full + 2) {
                *cut = 0;
                preselect = ParseFolder(desktop, full);
            }
        }
        desktop->Release();
    }
    BROWSEINFOA info;
    memset(&info, 0, sizeof info);
    info.hwndOwner = owner;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)preselect;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    int result = -1;
    if (chosen) {
        char folder[MAX_PATH];
        if (SHGetPathFromIDListA(chosen, folder)) {
            path[0] = 0;
            StrAppend(path, folder, MAX_PATH);
            result = 0;
        }
        FreeItemList(chosen);
    }
    FreeItemList(preselect);
    return result;
}

void DlgBrowseFolderEdit(HWND dialog, int editId) {
    char path[MAX_PATH] = "";
    GetDlgItemTextA(dialog, editId, path, sizeof path);
    if (DlgBrowseFolder(dialog, path) == 0)
        SetDlgItemTextA(dialog, editId, path);
}

BOOL DlgGetOpenFileName(OPENFILENAMEA *ofn) { return GetOpenFileNameA(ofn); }
BOOL DlgGetSaveFileName(OPENFILENAMEA *ofn) { return GetSaveFileNameA(ofn); }
