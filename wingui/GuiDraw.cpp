#include "wingui/GuiDraw.h"

#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "base/Paths.h"
#include "base/Strings.h"

ButtonArt gButtonArt;
static int gGuiLineHeight;

void FontMakeLogFont(HWND window, LOGFONTA *font, const char *face, int points) {
    memset(font, 0, sizeof(*font));
    lstrcpynA(font->lfFaceName, face, LF_FACESIZE);
    HDC dc = GetDC(window);
    font->lfHeight = -MulDiv(points, dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96, 72);
    if (dc)
        ReleaseDC(window, dc);
}

void FontMakeCourier(HWND window, LOGFONTA *font, int points) { FontMakeLogFont(window, font, "Courier", points); }

void FontMakeSansSerif(HWND window, LOGFONTA *font, int points) {
    FontMakeLogFont(window, font, "MS Sans Serif", points);
}

BOOL(WINAPI *gChooseFont)(LPCHOOSEFONTA) = ChooseFontA;

// The dialog works on a copy: the common dialog may write the font it shows
// into the record even when the user cancels, and a cancel changes nothing.
int FontChoose(HWND owner, LOGFONTA *font, COLORREF *color, DWORD extraFlags) {
    LOGFONTA work = *font;
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = owner;
    cf.lpLogFont = &work;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | extraFlags;
    if (color) {
        cf.Flags |= CF_EFFECTS;
        cf.rgbColors = *color;
    }
    cf.nFontType = SCREEN_FONTTYPE;
    if (!gChooseFont(&cf))
        return 0;
    *font = work;
    if (color)
        *color = cf.rgbColors;
    return 1;
}

int FontChooseSimple(HWND owner, LOGFONTA *font) {
    LOGFONTA work = *font;
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = owner;
    cf.lpLogFont = &work;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOVECTORFONTS | CF_FORCEFONTEXIST;
    cf.nFontType = SCREEN_FONTTYPE;
    if (!gChooseFont(&cf))
        return 0;
    *font = work;
    return 1;
}

void FontInitGui(HWND window) {
    if (!gApp->fontGui) {
        LOGFONTA lf;
        FontMakeSansSerif(window, &lf, 8);
        gApp->fontGui = CreateFontIndirectA(&lf);
    }
    if (!gGuiLineHeight) {
        HDC dc = GetDC(window);
        HGDIOBJ old = SelectObject(dc, gApp->fontGui);
        TEXTMETRICA tm;
        if (GetTextMetricsA(dc, &tm))
            gGuiLineHeight = tm.tmHeight + tm.tmExternalLeading;
        SelectObject(dc, old);
        ReleaseDC(window, dc);
    }
    gApp->sysBrushes[0] = GetSysColorBrush(COLOR_BTNHIGHLIGHT);
    gApp->sysBrushes[1] = GetSysColorBrush(COLOR_BTNFACE);
    gApp->sysBrushes[2] = GetSysColorBrush(COLOR_BTNSHADOW);
    gApp->sysBrushes[3] = GetSysColorBrush(COLOR_BTNTEXT);
}

void FontFreeGui() {
    if (gApp->fontGui)
        DeleteObject(gApp->fontGui);
    gApp->fontGui = nullptr;
}

int FontGuiLineHeight() { return gGuiLineHeight ? gGuiLineHeight : 13; }

HIMAGELIST ImageListFromBitmap(HINSTANCE instance, int bitmapId, int count, int width, int height) {
    HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, count, 4);
    if (!list)
        return nullptr;
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(bitmapId));
    if (bitmap) {
        ImageList_AddMasked(list, bitmap, RGB(192, 192, 192));
        DeleteObject(bitmap);
    }
    return list;
}

HWND ToolBarCreate(HWND parent, int id, int bitmapCount, HINSTANCE instance, int bitmapId,
                   const TBBUTTON *buttons, int buttonCount) {
    HWND bar = CreateToolbarEx(parent, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, id, bitmapCount,
                               instance, bitmapId, buttons, buttonCount, 18, 18, 18, 18, sizeof(TBBUTTON));
    if (bar && instance && bitmapId) {
        SendMessageA(bar, TB_SETHOTIMAGELIST, 0,
                     (LPARAM)ImageListFromBitmap(instance, bitmapId, bitmapCount, 18, 18));
        SendMessageA(bar, TB_SETDISABLEDIMAGELIST, 0,
                     (LPARAM)ImageListFromBitmap(instance, bitmapId, bitmapCount, 18, 18));
    }
    return bar;
}

static void FillRectColor(HDC dc, const RECT &r, int sysColor) { FillRect(dc, &r, GetSysColorBrush(sysColor)); }

static void HLine(HDC dc, int x1, int x2, int y, HBRUSH brush) {
    RECT r = {x1, y, x2, y + 1};
    FillRect(dc, &r, brush);
}

static void VLine(HDC dc, int x, int y1, int y2, HBRUSH brush) {
    RECT r = {x, y1, x + 1, y2};
    FillRect(dc, &r, brush);
}

void WndDrawEdge3d(HDC dc, RECT *rect, int sunken) {
    HBRUSH light = GetSysColorBrush(COLOR_BTNHIGHLIGHT), dark = GetSysColorBrush(COLOR_BTNSHADOW);
    HBRUSH topLeft = sunken ? dark : light, bottomRight = sunken ? light : dark;
    HLine(dc, rect->left, rect->right, rect->top, topLeft);
    VLine(dc, rect->left, rect->top, rect->bottom, topLeft);
    HLine(dc, rect->left, rect->right, rect->bottom - 1, bottomRight);
    VLine(dc, rect->right - 1, rect->top, rect->bottom, bottomRight);
    InflateRect(rect, -1, -1);
}

void WndDrawTextBuffered(const char *text, HDC dc, const RECT *rect, HFONT font, HBRUSH brush, COLORREF color,
                         UINT flags) {
    const int w = rect->right - rect->left, h = rect->bottom - rect->top;
    if (w <= 0 || h <= 0)
        return;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    if (!mem || !bmp) {
        // Out of GDI resources: draw straight, with flicker, rather than not at all.
        if (mem)
            DeleteDC(mem);
        FillRect(dc, rect, brush);
        RECT r = *rect;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, color);
        DrawTextA(dc, text, -1, &r, flags | DT_VCENTER);
        return;
    }
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    HGDIOBJ oldFont = SelectObject(mem, font ? (HGDIOBJ)font : GetCurrentObject(dc, OBJ_FONT));
    RECT r = {0, 0, w, h};
    FillRect(mem, &r, brush);
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, color);
    DrawTextA(mem, text, -1, &r, flags | DT_VCENTER);
    BitBlt(dc, rect->left, rect->top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
}

int WndGetTextWidth(HDC dc, const char *text) {
    RECT r = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return r.right - r.left;
}

void WndDrawTextFit(HDC dc, const RECT *rect, const char *text, UINT alignFlags) {
    RECT r = *rect;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    const UINT base = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    const int width = r.right - r.left;
    const size_t len = strlen(text);
    if (WndGetTextWidth(dc, text) <= width) {
        DrawTextA(dc, text, -1, &r, base | alignFlags);
        return;
    }
    char shortText[300];
    unsigned maxLen = len < sizeof(shortText) - 1 ? (unsigned)len : (unsigned)sizeof(shortText) - 1;
    for (;;) {
        StrShorten(text, maxLen, shortText);
        if (maxLen == 0 || WndGetTextWidth(dc, shortText) <= width)
            break;
        --maxLen;
    }
    DrawTextA(dc, shortText, -1, &r, base);
}

void WndDrawTextEllipsis(HDC dc, const RECT *rect, char *buffer, size_t size, UINT extraFlags) {
    if (!buffer || size == 0)
        return;
    FillRect(dc, rect, GetSysColorBrush(COLOR_BTNFACE));
    RECT r = *rect;
    r.left += 2;
    r.right -= 2;
    // DT_MODIFYSTRING may write up to four characters more than the text
    // held; draw from a copy with that room and give back what fits.
    const size_t len = strnlen(buffer, size - 1);
    char local[520];
    char *work = local;
    char *heap = nullptr;
    if (len + 5 > sizeof(local)) {
        heap = (char *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, len + 5);
        if (!heap)
            return;
        work = heap;
    } else {
        memset(local, 0, sizeof(local));
    }
    memcpy(work, buffer, len);
    work[len] = 0;
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, work, -1, &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DT_MODIFYSTRING | extraFlags);
    lstrcpynA(buffer, work, (int)size);
    if (heap)
        HeapFree(GetProcessHeap(), 0, heap);
}

// Image index of the small command images (style 0x2000), -1 when none.
static int SmallCommandImage(int id) {
    static const int table[][2] = {{101, 1},   {102, 2},   {104, 4},   {105, 6},    {106, 7},    {109, 10},
                                   {110, 11},  {324, 77},  {96, 78},   {97, 79},    {14535, 80}, {14536, 81}};
    for (const auto &e : table)
        if (e[0] == id)
            return e[1];
    return -1;
}

static void DrawBitmapPart(HDC dc, HBITMAP strip, int srcX, int width, int height, int x, int y) {
    if (!strip)
        return;
    HDC mem = CreateCompatibleDC(dc);
    if (!mem)
        return;
    HGDIOBJ old = SelectObject(mem, strip);
    // msimg32 is missing on the oldest systems: bound by name, with a plain
    // copy (grey background kept) when it is not there.
    typedef BOOL(WINAPI * TransparentBltFn)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);
    static HMODULE msimg = LoadLibraryA("msimg32.dll");
    static TransparentBltFn transparentBlt =
        msimg ? (TransparentBltFn)GetProcAddress(msimg, "TransparentBlt") : nullptr;
    if (transparentBlt)
        transparentBlt(dc, x, y, width, height, mem, srcX, 0, width, height, RGB(192, 192, 192));
    else
        BitBlt(dc, x, y, width, height, mem, srcX, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void WndDrawDrivePicture(HDC dc, int kind, int x, int y) {
    DrawBitmapPart(dc, gButtonArt.driveStrip, 18 * ((kind > 0 ? kind : 1) - 1), 18, 14, x, y);
}

static void DrawLabel(HDC dc, RECT r, const char *label, UINT state, UINT flags) {
    SetBkMode(dc, TRANSPARENT);
    if (state & (ODS_GRAYED | ODS_DISABLED)) {
        // Engraved: a highlight copy under a grey copy one pixel up-left.
        RECT lower = r;
        OffsetRect(&lower, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, label, -1, &lower, flags);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, label, -1, &r, flags);
    } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, label, -1, &r, flags);
    }
}

static void DrawFrames(HDC dc, const RECT &rect, UINT state, unsigned style) {
    const bool pressed = state & ODS_SELECTED;
    HBRUSH light = GetSysColorBrush(COLOR_BTNHIGHLIGHT), face = GetSysColorBrush(COLOR_BTNFACE);
    HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW), dark = GetSysColorBrush(COLOR_3DDKSHADOW);
    const int l = rect.left, t = rect.top, r = rect.right - 1, b = rect.bottom - 1;
    if (style & kBtnSunkenThin) {
        HLine(dc, l, r + 1, t, shadow);
        VLine(dc, l, t, b + 1, shadow);
        HLine(dc, l, r + 1, b, light);
        VLine(dc, r, t, b + 1, light);
        SetPixel(dc, l, b, GetSysColor(COLOR_BTNFACE));
        SetPixel(dc, r, t, GetSysColor(COLOR_BTNFACE));
    } else if (style & kBtnRaised) {
        HBRUSH outerTL = pressed ? dark : light, outerBR = pressed ? light : dark;
        HBRUSH innerTL = pressed ? shadow : face, innerBR = pressed ? face : shadow;
        HLine(dc, l, r + 1, t, outerTL);
        VLine(dc, l, t, b + 1, outerTL);
        HLine(dc, l, r + 1, b, outerBR);
        VLine(dc, r, t, b + 1, outerBR);
        HLine(dc, l + 1, r, t + 1, innerTL);
        VLine(dc, l + 1, t + 1, b, innerTL);
        HLine(dc, l + 1, r, b - 1, innerBR);
        VLine(dc, r - 1, t + 1, b, innerBR);
    }
}

void WndDrawButton(HDC dc, const RECT *rect, int id, UINT state, unsigned style, LPARAM extra) {
    if (id == 11864)
        id = 95;
    if ((style & kBtnFunctionKey) && !extra)
        return;
    const bool pressed = state & ODS_SELECTED;
    RECT full = *rect;
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    if (style & kBtnFillFace)
        FillRect(dc, &full, face);
    if (full.right - full.left <= 7 || full.bottom - full.top <= 7)
        return;
    const int inset = pressed ? 4 : 3;
    RECT content = {full.left + inset, full.top + inset, full.left + inset + (full.right - full.left - 7),
                    full.top + inset + (full.bottom - full.top - 7)};
    if (!(style & kBtnFillFace))
        FillRect(dc, &content, face);

    bool hovered = false;
    if (style & kBtnFlat) {
        // The strips around the content, so a frame of a previous state goes.
        RECT strip = full;
        strip.bottom = content.top;
        FillRect(dc, &strip, face);
        strip = full;
        strip.top = content.bottom;
        FillRect(dc, &strip, face);
        strip = full;
        strip.right = content.left;
        FillRect(dc, &strip, face);
        strip = full;
        strip.left = content.right;
        FillRect(dc, &strip, face);
        if (!pressed) {
            POINT pt;
            GetCursorPos(&pt);
            HWND under = WindowFromPoint(pt);
            HWND self = WindowFromDC(dc);
            hovered = under && under == self;
        }
    }

    char label[64] = "";
    if ((style & kBtnLabel) && id != 93)
        TextGet(id, label, sizeof(label));

    HGDIOBJ oldFont = gApp && gApp->fontGui ? SelectObject(dc, gApp->fontGui) : nullptr;
    bool hasIcon = (style & kBtnIconLabel) != 0;
    if (style & kBtnPathBar) {
        RECT r = full;
        DrawEdge(dc, &r, pressed ? BDR_SUNKENINNER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
        FillRect(dc, &r, face);
        const char *text = label;
        if (id == 808 || id == 809)
            text = "..";
        else if (id == 805 || id == 806)
            text = "\\";
        else if (id == 518 || id == 618)
            text = "o";
        if ((id == 841 || id == 842) && !(state & ODS_GRAYED) && gButtonArt.smallImages) {
            ImageList_Draw(gButtonArt.smallImages, 0, dc, r.left + (r.right - r.left - 10) / 2,
                           r.top + (r.bottom - r.top - 10) / 2, ILD_TRANSPARENT);
        } else {
            DrawLabel(dc, r, text, state, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        }
        if (id == 518)
            VLine(dc, full.left, full.top, full.bottom, GetSysColorBrush(COLOR_BTNSHADOW));
    } else if (style & kBtnDrive) {
        const DriveInfo *drive = (const DriveInfo *)extra;
        const int k = drive && drive->kind > 0 ? drive->kind : 1;
        const int y = content.top + (content.bottom - content.top - 14) / 2;
        if (style & kBtnFlat) {
            DrawBitmapPart(dc, gButtonArt.driveStrip, 18 * (k - 1), 18, 14, content.left, y);
            int index = id;
            char letter[2] = {(char)DriveBarLetterOfKind(index, 'A', drive ? drive->kind : 0), 0};
            RECT r = content;
            r.left += 20;
            DrawLabel(dc, r, letter, state, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        } else {
            DrawBitmapPart(dc, gButtonArt.driveStrip, 198 + 18 * (k - 1), 18, 9, content.left,
                           content.top + (content.bottom - content.top - 9) / 2);
        }
    } else if (style & (kBtnTool | kBtnToolSmall)) {
        const int size = (style & kBtnToolSmall) ? 18 : 24;
        if (id != 92) {
            const int x = content.left + (content.right - content.left - size) / 2;
            const int y = content.top + (content.bottom - content.top - size) / 2;
            if (id < 0 && gButtonArt.userCommandIcon) {
                const int iconSize = size == 18 ? 16 : 24;
                if (HICON icon = gButtonArt.userCommandIcon(id, iconSize))
                    DrawIconEx(dc, x, y, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
            } else if (extra > 0) {
                HIMAGELIST list = gButtonArt.toolImages[size == 18 ? 0 : 1];
                if (list)
                    ImageList_Draw(list, (int)extra - 1, dc, x, y,
                                   (state & ODS_GRAYED) ? ILD_BLEND50 : ILD_TRANSPARENT);
            }
        }
    } else if (style & kBtnCmdImage) {
        const int image = SmallCommandImage(id);
        if (image >= 0 && gButtonArt.smallImages)
            ImageList_Draw(gButtonArt.smallImages, image, dc, content.left, content.top, ILD_TRANSPARENT);
    } else if (style & kBtnFunctionKey) {
        char text[64] = "";
        TextGet(2000 + id + gButtonArt.functionKeyShift, text, sizeof(text));
        char drawn[sizeof(text) + 5];
        lstrcpynA(drawn, text, sizeof(text));
        DrawLabel(dc, content, drawn, state, DT_SINGLELINE | DT_BOTTOM | DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX);
    } else if (style & kBtnIcon) {
        HICON icon = extra ? (HICON)extra : LoadIconA(gApp ? gApp->hInstance : nullptr, MAKEINTRESOURCEA(id));
        if (icon) {
            hasIcon = true;
            const int x = label[0] ? content.left : content.left + (content.right - content.left - 32) / 2;
            DrawIconEx(dc, x, content.top + (content.bottom - content.top - 32) / 2, icon, 32, 32, 0, nullptr,
                       DI_NORMAL);
        }
    }

    if (style & kBtnFlat) {
        if (pressed || hovered) {
            RECT r = full;
            WndDrawEdge3d(dc, &r, pressed);
        }
    } else {
        if (label[0]) {
            const int line = FontGuiLineHeight();
            RECT r = content;
            const int mid = (content.top + content.bottom) / 2;
            r.top = mid - line / 2;
            r.bottom = r.top + line;
            UINT flags = DT_SINGLELINE | DT_VCENTER;
            if (hasIcon)
                r.left = content.left + 33;
            else
                flags |= DT_CENTER;
            DrawLabel(dc, r, label, state, flags);
            if ((style & kBtnFocusRect) && (state & ODS_FOCUS)) {
                RECT fr = r;
                if (!hasIcon) {
                    const int w = WndGetTextWidth(dc, label);
                    fr.left = (r.left + r.right - w) / 2;
                    fr.right = fr.left + w;
                } else {
                    fr.right = fr.left + WndGetTextWidth(dc, label);
                }
                InflateRect(&fr, 2, 1);
                DrawFocusRect(dc, &fr);
            }
        } else if ((style & kBtnFocusRect) && (state & ODS_FOCUS)) {
            RECT fr = {content.left + (content.right - content.left - 32) / 2,
                       content.top + (content.bottom - content.top - 32) / 2, 0, 0};
            fr.right = fr.left + 32;
            fr.bottom = fr.top + 32;
            DrawFocusRect(dc, &fr);
        }
        DrawFrames(dc, full, state, style);
    }
    if (oldFont)
        SelectObject(dc, oldFont);
}
