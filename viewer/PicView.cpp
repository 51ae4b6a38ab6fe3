// Picture views: the raster loaders, painting and release.
#include "viewer/BmpRead.h"
#include "viewer/JpegRead.h"
#include "viewer/LumoraInternal.h"
#include "viewer/PcxRead.h"
#include "viewer/PngRead.h"
#include "viewer/TgaRead.h"
#include "viewer/TiffRead.h"
#include "viewer/XbmRead.h"
#include "viewer/XpmRead.h"

HPALETTE PaletteFromPicture(const PictureRecord* pic) {
    int count = PicColourCount(pic);
    if (!count || !pic->dibBlock) return nullptr;
    struct {
        WORD version, entries;
        PALETTEENTRY e[256];
    } lp;
    lp.version = 0x300;
    lp.entries = (WORD)count;
    const uint8_t* table = pic->dibBlock + kDibHeaderSize;
    for (int i = 0; i < count; i++) {
        lp.e[i].peRed = table[i * 4 + 2];
        lp.e[i].peGreen = table[i * 4 + 1];
        lp.e[i].peBlue = table[i * 4];
        lp.e[i].peFlags = 0;
    }
    return CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
}

typedef bool (*PicDecoder)(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a);

// The file is mapped, decoded into a picture on the stack, and the picture
// copied into a host block that becomes the view's object.
static PictureRecord* PicLoad(ViewRecord* view, PicDecoder decode) {
    MappedFile file;
    if (MappedFileOpen(&file, view->openPath) != 0) return nullptr;
    PictureRecord pic;
    bool ok = false;
    if (file.view && file.size <= SIZE_MAX) ok = decode(file.view, (size_t)file.size, &pic, gPicAlloc);
    MappedFileClose(&file);
    return ok ? PicKeep(view, &pic) : nullptr;
}

PictureRecord* PicKeep(ViewRecord* view, PictureRecord* decoded) {
    PictureRecord pic = *decoded;
    PictureRecord* kept = static_cast<PictureRecord*>(gHost->MemAlloc(sizeof(PictureRecord)));
    if (!kept) {
        PicRelease(&pic, gPicAlloc);
        return nullptr;
    }
    *kept = pic;
    // Only pictures with a colour table need a logical palette, and only on
    // palette displays does it change what is drawn.
    kept->palette = PaletteFromPicture(kept);
    view->contentWidth = kept->width;
    view->contentHeight = kept->height;
    return kept;
}

PictureRecord* JpegLoad(ViewRecord* view) {
    return PicLoad(view, JpegDecode);
}
PictureRecord* PngLoad(ViewRecord* view) {
    return PicLoad(view, PngDecode);
}
PictureRecord* TiffLoad(ViewRecord* view) {
    return PicLoad(view, TiffDecode);
}
PictureRecord* BmpLoad(ViewRecord* view) {
    return PicLoad(view, BmpDecode);
}
PictureRecord* PcxLoad(ViewRecord* view) {
    return PicLoad(view, PcxDecode);
}
PictureRecord* TgaLoad(ViewRecord* view) {
    return TgaNameMatches(view->openPath) ? PicLoad(view, TgaDecode) : nullptr;
}
PictureRecord* XbmLoad(ViewRecord* view) {
    return PicLoad(view, XbmDecode);
}

PictureRecord* XpmLoad(ViewRecord* view) {
    MappedFile file;
    if (MappedFileOpen(&file, view->openPath) != 0) return nullptr;
    // "None" shows the viewer's background.
    COLORREF back = view->backColor ? *view->backColor : GetSysColor(COLOR_WINDOW);
    const uint8_t background[3] = {GetRValue(back), GetGValue(back), GetBValue(back)};
    PictureRecord pic;
    bool ok = file.view && file.size <= SIZE_MAX &&
              XpmDecode(file.view, (size_t)file.size, background, &pic, gPicAlloc);
    MappedFileClose(&file);
    return ok ? PicKeep(view, &pic) : nullptr;
}

void PicPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view) {
    const PictureRecord* pic = static_cast<const PictureRecord*>(view->viewObject);
    int drawn = 0;
    if (pic && pic->dibBlock) {
        HPALETTE old = nullptr;
        if (pic->palette) {
            old = SelectPalette(hdc, static_cast<HPALETTE>(pic->palette), FALSE);
            RealizePalette(hdc);
        }
        int sx = view->scrollX ? *view->scrollX : 0, sy = view->scrollY ? *view->scrollY : 0;
        // The colour table holds colours, not palette indexes: true-colour
        // displays and memory bitmaps then draw the exact pixels.
        drawn = SetDIBitsToDevice(hdc, rect->left - sx, rect->top - sy, (DWORD)pic->width, (DWORD)pic->height,
                                  0, 0, 0, (UINT)pic->height, pic->bits,
                                  reinterpret_cast<const BITMAPINFO*>(pic->dibBlock), DIB_RGB_COLORS);
        if (old) SelectPalette(hdc, old, FALSE);
    }
    if (!drawn) FillRect(hdc, rect, brush);
}

void PicFree(ViewRecord* view) {
    PictureRecord* pic = static_cast<PictureRecord*>(view->viewObject);
    if (pic) {
        if (pic->palette) DeleteObject(static_cast<HPALETTE>(pic->palette));
        PicRelease(pic, gPicAlloc);
        void* object = pic;
        gHost->MemFree(&object);
    }
    view->viewObject = nullptr;
    view->contentWidth = 0;
    view->contentHeight = 0;
}
