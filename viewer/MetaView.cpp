// Metafiles (kind 8), media files in the system's media window (kind 4) and
// shell icons of files by name (kind 6).
#include <windows.h>

#include <shellapi.h>
#include <vfw.h>

#include "LumoraInternal.h"
#include "viewer/MetaCheck.h"

HENHMETAFILE MetafileLoad(HWND window, ViewRecord* view) {
    MappedFile map;
    MappedFileInit(&map);
    if (MappedFileOpen(&map, view->openPath) != 0) return nullptr;
    HENHMETAFILE result = nullptr;
    const uint8_t* data = map.view;
    size_t size = (size_t)map.size;
    switch (data ? MetaKindOf(data, size) : kMetaNone) {
    case kMetaEnhanced:
        if (MetaCheckEnhanced(data, size)) result = GetEnhMetaFileA(view->openPath);
        break;
    case kMetaPlaceable: {
        uint32_t bytes = 0;
        if (MetaCheckPlaceable(data, size, &bytes)) {
            HDC dc = GetDC(window);
            result = SetWinMetaFileBits(bytes, data + 22, dc, nullptr);
            ReleaseDC(window, dc);
        }
        break;
    }
    case kMetaWindows: {
        // The file as GDI reads it, then its bits converted; both only when
        // the records add up inside the file.
        uint32_t words = 0;
        if (!MetaCheckWindows(data, size, &words)) break;
        char shortPath[260];
        gHost->PathGetShortName(view->openPath, shortPath, sizeof shortPath);
        HMETAFILE wmf = GetMetaFileA(shortPath);
        if (!wmf) break;
        UINT bytes = GetMetaFileBitsEx(wmf, 0, nullptr);
        if (bytes && bytes <= size) {
            void* bits = gHost->MemAlloc(bytes);
            if (bits && GetMetaFileBitsEx(wmf, bytes, bits) == bytes) {
                HDC dc = GetDC(window);
                result = SetWinMetaFileBits(bytes, static_cast<BYTE*>(bits), dc, nullptr);
                ReleaseDC(window, dc);
            }
            if (bits) gHost->MemFree(&bits);
        }
        DeleteMetaFile(wmf);
        break;
    }
    default:
        break;
    }
    MappedFileClose(&map);
    return result;
}

void MetafilePaint(HWND window, HDC dc, HENHMETAFILE metafile) {
    HPALETTE palette = nullptr, old = nullptr;
    UINT entries = GetEnhMetaFilePaletteEntries(metafile, 0, nullptr);
    if (entries && entries != GDI_ERROR && entries <= 256) {
        struct {
            WORD version, count;
            PALETTEENTRY entry[256];
        } log = {0x300, (WORD)entries, {}};
        GetEnhMetaFilePaletteEntries(metafile, entries, log.entry);
        palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
        if (palette) {
            old = SelectPalette(dc, palette, FALSE);
            RealizePalette(dc);
        }
    }
    RECT client;
    GetClientRect(window, &client);
    PlayEnhMetaFile(dc, metafile, &client);
    if (palette) {
        SelectPalette(dc, old, FALSE);
        DeleteObject(palette);
    }
}

void MetafileFree(ViewRecord* view) {
    DeleteEnhMetaFile(static_cast<HENHMETAFILE>(view->viewObject));
}

HWND MediaOpen(HWND window, ViewRecord* view) {
    HWND media = MCIWndCreateA(window, view->instance,
                               WS_CHILD | MCIWNDF_NOERRORDLG | MCIWNDF_NOOPEN | MCIWNDF_NOTIFYSIZE, nullptr);
    if (!media) return nullptr;
    if (SendMessageA(media, MCIWNDM_OPENA, 0, reinterpret_cast<LPARAM>(view->openPath)) != 0) {
        SendMessageA(media, MCI_CLOSE, 0, 0);
        SendMessageA(media, WM_CLOSE, 0, 0);
        if (IsWindow(media)) DestroyWindow(media);
        return nullptr;
    }
    ShowWindow(media, SW_SHOW);
    RECT r;
    GetClientRect(media, &r);
    view->contentWidth = r.right;
    view->contentHeight = r.bottom;
    ViewSetScrollRange(window, 0, 0);
    SendMessageA(media, MCI_PLAY, 0, 0);
    return media;
}

void MediaClose(ViewRecord* view) {
    HWND media = static_cast<HWND>(view->viewObject);
    if (!IsWindow(media)) return;
    SendMessageA(media, MCI_CLOSE, 0, 0);
    SendMessageA(media, WM_CLOSE, 0, 0);
    if (IsWindow(media)) DestroyWindow(media);
}

HICON ShellIconOf(const char* path) {
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON)) return nullptr;
    return info.hIcon;
}
