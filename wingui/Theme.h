// Visual styles (bound at run time from UxTheme.dll) and the painter of the
// dialogs' icon push buttons, themed or classic.
#pragma once

#include <windows.h>

class ThemeApi {
public:
    ThemeApi();
    virtual ~ThemeApi();
    HANDLE OpenThemeData(HWND window, const wchar_t *classList);
    HRESULT CloseThemeData(HANDLE theme);
    HRESULT DrawThemeBackground(HANDLE theme, HDC dc, int part, int state, const RECT *rect, const RECT *clip);
    BOOL IsThemeActive();
    // Tests replace the module (null = no visual styles).
    void SetModule(HMODULE module) { module_ = module; }

private:
    FARPROC Resolve(const char *name);
    HMODULE module_;
    bool owned_;
};

class ButtonPainter {
public:
    virtual ~ButtonPainter();
    ThemeApi theme;
    HFONT font = nullptr;
    int lineHeight = 0;
    HBRUSH highlight = nullptr, dark = nullptr, face = nullptr, shadow = nullptr;
};

extern ButtonPainter gButtonPainter;
extern HWND hotButton;

void ButtonPainterInit(ButtonPainter *painter, HWND window);
// flags: 0x10 keyboard focus, 0x1 bevelled frame; dialogs pass 0x11.
void ButtonPainterDraw(ButtonPainter *painter, const DRAWITEMSTRUCT *item, const char *text, HICON icon,
                       unsigned flags);
void ButtonPainterFrame(ButtonPainter *painter, HDC dc, const RECT *rect, UINT itemState, unsigned flags);
// The push-button state of the visual styles for an item (1 normal, 2 hot,
// 3 pressed, 4 disabled, 5 defaulted).
int ButtonVisualState(UINT itemState, bool hot);

void ThemeTrackHover(HWND button);
LRESULT CALLBACK ThemeHoverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ThemeUpdateHot(HWND window);
void ThemeClearHot(HWND window);

// Copy of bitmap resource `id` (a packed DIB) with light grey and white in
// its colour table turned into the current button face and highlight.
// With a null buffer the block is allocated (MemAlloc; the caller frees).
// `buffer` must hold the resource's size.
void *ThemeLoadBitmap(int id, void *buffer);
// The recolouring on a packed DIB of `size` bytes; only entries the colour
// table really holds are touched. Returns the entries recoloured.
int ThemeRecolorDib(void *dib, size_t size, COLORREF face, COLORREF highlight);
