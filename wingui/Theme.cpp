#include "wingui/Theme.h"

#include <string.h>

#include "AppState.h"
#include "wingui/GuiDraw.h"
#include "base/Memory.h"
#include "wingui/WindowUtil.h"

ButtonPainter gButtonPainter;
HWND hotButton;
static WNDPROC gHoverPrevProc;

ThemeApi::ThemeApi() : module_(LoadLibraryA("UxTheme.dll")), owned_(true) {}

ThemeApi::~ThemeApi() {
    if (module_ && owned_)
        FreeLibrary(module_);
}

FARPROC ThemeApi::Resolve(const char *name) { return module_ ? GetProcAddress(module_, name) : nullptr; }

HANDLE ThemeApi::OpenThemeData(HWND window, const wchar_t *classList) {
    typedef HANDLE(WINAPI * Fn)(HWND, const wchar_t *);
    Fn fn = (Fn)Resolve("OpenThemeData");
    return fn ? fn(window, classList) : nullptr;
}

HRESULT ThemeApi::CloseThemeData(HANDLE theme) {
    typedef HRESULT(WINAPI * Fn)(HANDLE);
    Fn fn = (Fn)Resolve("CloseThemeData");
    return fn ? fn(theme) : E_FAIL;
}

HRESULT ThemeApi::DrawThemeBackground(HANDLE theme, HDC dc, int part, int state, const RECT *rect,
                                      const RECT *clip) {
    typedef HRESULT(WINAPI * Fn)(HANDLE, HDC, int, int, const RECT *, const RECT *);
    Fn fn = (Fn)Resolve("DrawThemeBackground");
    return fn ? fn(theme, dc, part, state, rect, clip) : E_FAIL;
}

BOOL ThemeApi::IsThemeActive() {
    typedef BOOL(WINAPI * Fn)();
    Fn fn = (Fn)Resolve("IsThemeActive");
    return fn ? fn() : FALSE;
}

ButtonPainter::~ButtonPainter() {
    if (font)
        DeleteObject(font);
    font = nullptr;
}

void ButtonPainterInit(ButtonPainter *painter, HWND window) {
    if (!painter->font) {
        LOGFONTA lf;
        FontMakeSansSerif(window, &lf, 8);
        painter->font = CreateFontIndirectA(&lf);
    }
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, painter->font);
    TEXTMETRICA tm;
    if (GetTextMetricsA(dc, &tm)) {
        int h = tm.tmHeight + tm.tmExternalLeading;
        painter->lineHeight = h < 0 ? -h : h;
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    painter->highlight = GetSysColorBrush(COLOR_BTNHIGHLIGHT);
    painter->dark = GetSysColorBrush(COLOR_BTNTEXT);
    painter->face = GetSysColorBrush(COLOR_BTNFACE);
    painter->shadow = GetSysColorBrush(COLOR_BTNSHADOW);
}

int ButtonVisualState(UINT itemState, bool hot) {
    int state = 1;
    if (itemState & ODS_DEFAULT)
        state = 5;
    if (hot)
        state = 2;
    if (itemState & ODS_SELECTED)
        state = 3;
    if (itemState & (ODS_GRAYED | ODS_DISABLED))
        state = 4;
    return state;
}

static void Line(HDC dc, int x1, int y1, int x2, int y2, HBRUSH brush) {
    RECT r = {x1, y1, x2, y2};
    FillRect(dc, &r, brush);
}

// Four edges of a rectangle in one brush each: top, left, right, bottom.
static void Edges(HDC dc, const RECT &r, HBRUSH top, HBRUSH left, HBRUSH right, HBRUSH bottom) {
    Line(dc, r.left, r.top, r.right, r.top + 1, top);
    Line(dc, r.left, r.top, r.left + 1, r.bottom, left);
    Line(dc, r.right - 1, r.top, r.right, r.bottom, right);
    Line(dc, r.left, r.bottom - 1, r.right, r.bottom, bottom);
}

void ButtonPainterFrame(ButtonPainter *p, HDC dc, const RECT *rect, UINT itemState, unsigned flags) {
    HBRUSH hi = p->highlight ? p->highlight : GetSysColorBrush(COLOR_BTNHIGHLIGHT);
    HBRUSH dk = p->dark ? p->dark : GetSysColorBrush(COLOR_BTNTEXT);
    HBRUSH fc = p->face ? p->face : GetSysColorBrush(COLOR_BTNFACE);
    HBRUSH sh = p->shadow ? p->shadow : GetSysColorBrush(COLOR_BTNSHADOW);
    const bool pressed = itemState & ODS_SELECTED;
    const bool disabled = itemState & (ODS_GRAYED | ODS_DISABLED);
    RECT r = *rect;
    if ((flags & 0x10) && (itemState & ODS_FOCUS) && !disabled) {
        Edges(dc, r, dk, dk, dk, dk);
        InflateRect(&r, -1, -1);
        if (pressed) {
            Edges(dc, r, sh, sh, sh, sh);
        } else {
            Edges(dc, r, hi, hi, dk, dk);
            InflateRect(&r, -1, -1);
            Edges(dc, r, fc, fc, sh, sh);
        }
    } else if (flags & 0x1) {
        if (pressed) {
            Edges(dc, r, dk, dk, hi, hi);
            InflateRect(&r, -1, -1);
            Edges(dc, r, sh, sh, fc, fc);
        } else {
            Edges(dc, r, hi, hi, dk, dk);
            InflateRect(&r, -1, -1);
            Edges(dc, r, fc, fc, sh, sh);
        }
    }
}


void ButtonPainterDraw(ButtonPainter *p, const DRAWITEMSTRUCT *item, const char *text, HICON icon,
                       unsigned flags) {
    HDC dc = item->hDC;
    const RECT rect = item->rcItem;
    const UINT st = item->itemState;
    const int state = ButtonVisualState(st, item->hwndItem && item->hwndItem == hotButton);
    const bool pressed = st & ODS_SELECTED;
    const bool disabled = st & (ODS_GRAYED | ODS_DISABLED);
    bool themed = false;
    if (p->theme.IsThemeActive()) {
        if (HANDLE theme = p->theme.OpenThemeData(item->hwndItem, L"BUTTON")) {
            p->theme.DrawThemeBackground(theme, dc, 1 /* BP_PUSHBUTTON */, state, &rect, nullptr);
            p->theme.CloseThemeData(theme);
            themed = true;
        }
    }
    if (!themed) {
        FillRect(dc, &rect, p->face ? p->face : GetSysColorBrush(COLOR_BTNFACE));
        ButtonPainterFrame(p, dc, &rect, st, flags);
    }
    if (rect.right - rect.left < 8 || rect.bottom - rect.top < 8)
        return;
    const int inset = pressed ? 4 : 3;
    RECT box = {rect.left + inset, rect.top + inset, 0, 0};
    box.right = box.left + (rect.right - rect.left - 7);
    box.bottom = box.top + (rect.bottom - rect.top - 7);
    const bool hasLabel = text && text[0];
    if (icon) {
        const int x = hasLabel ? box.left : box.left + (box.right - box.left - 29) / 2;
        DrawIconEx(dc, x, box.top + (box.bottom - box.top - 21) / 2, icon, 29, 21, 0, nullptr, DI_NORMAL);
    }
    RECT labelRect = {box.left + 33, box.bottom - p->lineHeight, box.right, box.bottom};
    if (hasLabel) {
        if (labelRect.top > box.top) {
            const int space = labelRect.top - box.top;
            OffsetRect(&labelRect, 0, -space / 2);
        }
        HGDIOBJ oldFont = p->font ? SelectObject(dc, p->font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        RECT measured = labelRect;
        DrawTextA(dc, text, -1, &measured, DT_CALCRECT | DT_SINGLELINE);
        const UINT drawFlags = DT_SINGLELINE | DT_VCENTER;
        if (disabled) {
            SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawTextA(dc, text, -1, &labelRect, drawFlags);
            RECT up = labelRect;
            OffsetRect(&up, -1, -1);
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            DrawTextA(dc, text, -1, &up, drawFlags);
        } else {
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            DrawTextA(dc, text, -1, &labelRect, drawFlags);
        }
        if (oldFont)
            SelectObject(dc, oldFont);
        labelRect.right = labelRect.left + (measured.right - measured.left);
    }
    if ((flags & 0x10) && (st & ODS_FOCUS) && !disabled) {
        RECT fr;
        if (hasLabel) {
            fr = labelRect;
            InflateRect(&fr, 2, 1);
        } else {
            if (item->CtlID == 93)
                return;
            const int side = 32;
            fr.left = box.left + (box.right - box.left - side) / 2;
            fr.top = box.top + (box.bottom - box.top - side) / 2;
            fr.right = fr.left + side;
            fr.bottom = fr.top + side;
            if (fr.top < box.top)
                fr.top = box.top;
            if (fr.bottom > box.bottom)
                fr.bottom = box.bottom;
        }
        DrawFocusRect(dc, &fr);
    }
}

static void ThemeTrackMouseLeave(TRACKMOUSEEVENT *tme) {
    HMODULE user = LoadLibraryA("user32.dll");
    if (!user)
        return;
    typedef BOOL(WINAPI * Fn)(TRACKMOUSEEVENT *);
    if (Fn fn = (Fn)GetProcAddress(user, "TrackMouseEvent"))
        fn(tme);
    FreeLibrary(user);
}

void ThemeClearHot(HWND window) {
    if (hotButton == window)
        hotButton = nullptr;
    InvalidateRect(window, nullptr, FALSE);
}

void ThemeUpdateHot(HWND window) {
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) != window) {
        ThemeClearHot(window);
        return;
    }
    if (hotButton == window)
        return;
    hotButton = window;
    InvalidateRect(window, nullptr, FALSE);
    TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, window, 0};
    ThemeTrackMouseLeave(&tme);
}

LRESULT CALLBACK ThemeHoverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE: {
        LRESULT r = CallWindowProcA(gHoverPrevProc, window, message, wParam, lParam);
        ThemeUpdateHot(window);
        return r;
    }
    case WM_MOUSELEAVE:
    case WM_KILLFOCUS:
        ThemeClearHot(window);
        break;
    }
    return CallWindowProcA(gHoverPrevProc, window, message, wParam, lParam);
}

void ThemeTrackHover(HWND button) {
    if (!button || !AppIsWinXp())
        return;
    WNDPROC prev = (WNDPROC)SetWindowLongPtrA(button, GWLP_WNDPROC, (LONG_PTR)ThemeHoverWndProc);
    // Every hover-tracked button is a system BUTTON: one saved procedure
    // serves them all, but never save our own procedure as the previous one.
    if (prev && prev != ThemeHoverWndProc)
        gHoverPrevProc = prev;
}

int ThemeRecolorDib(void *dib, size_t size, COLORREF face, COLORREF highlight) {
    if (!dib || size < sizeof(BITMAPINFOHEADER))
        return 0;
    BITMAPINFOHEADER *h = (BITMAPINFOHEADER *)dib;
    if (h->biSize < sizeof(BITMAPINFOHEADER) || h->biSize > size)
        return 0;
    // Entries the colour table really holds: biClrUsed, or the full palette
    // of a bit depth up to 8; true-colour bitmaps have none.
    size_t entries = h->biClrUsed;
    if (!entries && h->biBitCount <= 8)
        entries = (size_t)1 << h->biBitCount;
    if (entries > 16)
        entries = 16;
    const size_t room = (size - h->biSize) / sizeof(RGBQUAD);
    if (entries > room)
        entries = room;
    RGBQUAD *table = (RGBQUAD *)((BYTE *)dib + h->biSize);
    int changed = 0;
    for (size_t i = 0; i < entries; ++i) {
        RGBQUAD &q = table[i];
        COLORREF to;
        if (q.rgbRed == 192 && q.rgbGreen == 192 && q.rgbBlue == 192)
            to = face;
        else if (q.rgbRed == 255 && q.rgbGreen == 255 && q.rgbBlue == 255)
            to = highlight;
        else
            continue;
        q.rgbRed = GetRValue(to);
        q.rgbGreen = GetGValue(to);
        q.rgbBlue = GetBValue(to);
        ++changed;
    }
    return changed;
}

void *ThemeLoadBitmap(int id, void *buffer) {
    HINSTANCE instance = gApp ? gApp->hInstance : GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(id), (LPCSTR)RT_BITMAP);
    if (!res)
        return nullptr;
    const DWORD size = SizeofResource(instance, res);
    HGLOBAL loaded = LoadResource(instance, res);
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (!data || !size)
        return nullptr;
    void *block = buffer ? buffer : MemAlloc(size);
    if (!block)
        return nullptr;
    memcpy(block, data, size);
    ThemeRecolorDib(block, size, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT));
    return block;
}
