// Fonts, text drawing and the one painter of the owner-drawn bar buttons.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct DriveInfo;

// Button styles of WndDrawButton.
enum : unsigned {
    kBtnRaised = 0x1,      // two-pixel frame, pressed while selected
    kBtnSunkenThin = 0x2,  // one-pixel sunken frame
    kBtnFillFace = 0x4,    // fill the whole button first
    kBtnFlat = 0x8,        // flat bar: frame only under the mouse
    kBtnFocusRect = 0x10,
    kBtnLabel = 0x20,      // label = text of the id
    kBtnIcon = 0x40,
    kBtnPathBar = 0x100,
    kBtnDrive = 0x200,
    kBtnIconLabel = 0x400, // label placed as if there were an icon
    kBtnToolSmall = 0x800,
    kBtnTool = 0x1000,
    kBtnCmdImage = 0x2000,
    kBtnFunctionKey = 0x4000,
};

void FontMakeLogFont(HWND window, LOGFONTA *font, const char *face, int points);
void FontMakeCourier(HWND window, LOGFONTA *font, int points);
void FontMakeSansSerif(HWND window, LOGFONTA *font, int points);
// ChooseFontA on screen fonts; with `color` also effects and colour.
// The font dialog; a seam the tests replace.
extern BOOL(WINAPI *gChooseFont)(LPCHOOSEFONTA);
int FontChoose(HWND owner, LOGFONTA *font, COLORREF *color, DWORD extraFlags);
int FontChooseSimple(HWND owner, LOGFONTA *font);
// The 8-point GUI font, its line height and the four system brushes.
void FontInitGui(HWND window);
void FontFreeGui();
// Line height of the GUI font (text height plus external leading).
int FontGuiLineHeight();

HIMAGELIST ImageListFromBitmap(HINSTANCE instance, int bitmapId, int count, int width, int height);
HWND ToolBarCreate(HWND parent, int id, int bitmapCount, HINSTANCE instance, int bitmapId,
                   const TBBUTTON *buttons, int buttonCount);

// One-pixel frame; the rectangle shrinks by one pixel on every side.
void WndDrawEdge3d(HDC dc, RECT *rect, int sunken);
void WndDrawTextBuffered(const char *text, HDC dc, const RECT *rect, HFONT font, HBRUSH brush, COLORREF color,
                         UINT flags);
void WndDrawTextFit(HDC dc, const RECT *rect, const char *text, UINT alignFlags);
// Draws with "..." when too long; the text in `buffer` (of `size` bytes) is
// changed to what was drawn, as DT_MODIFYSTRING does, but never past its end.
void WndDrawTextEllipsis(HDC dc, const RECT *rect, char *buffer, size_t size, UINT extraFlags);
int WndGetTextWidth(HDC dc, const char *text);

// Artwork and state the button painter draws from, set by the bars.
struct ButtonArt {
    HBITMAP driveStrip;         // drive pictures, 18 pixels apart
    HIMAGELIST toolImages[2];   // 18 and 24 pixels
    HIMAGELIST smallImages;     // command images of style 0x2000
    int functionKeyShift;       // 0 plain, 10 Alt, 20 Ctrl, 30 Shift
    HICON (*userCommandIcon)(int command, int size); // negative tool-bar ids
};
extern ButtonArt gButtonArt;

// The drive bar's 18 x 14 picture of a drive kind (nothing before the bars
// made their art).
void WndDrawDrivePicture(HDC dc, int kind, int x, int y);

// Paints one owner-drawn bar button (WM_DRAWITEM). `extra` depends on the
// kind: a DriveInfo* for drive buttons, an HICON for icon buttons, the image
// index + 1 for tool-bar buttons.
void WndDrawButton(HDC dc, const RECT *rect, int id, UINT state, unsigned style, LPARAM extra);
