#include "tools/Popup.h"

static const char kPopupClass[] = "zQlh";

static void PopupPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT rc;
    GetClientRect(window, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_ACTIVECAPTION));
    char text[257];
    if (GetWindowTextA(window, text, sizeof text) > 0) {
        NONCLIENTMETRICSA metrics = {};
        metrics.cbSize = sizeof metrics;
        HFONT font = nullptr;
        if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            font = CreateFontIndirectA(&metrics.lfCaptionFont);
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
        DrawTextA(dc, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (font) {
            SelectObject(dc, old);
            DeleteObject(font);
        }
    }
    EndPaint(window, &ps);
}

static LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetTimer(window, 1, kPopupMilliseconds, nullptr);
        return 0;
    case WM_TIMER:
        KillTimer(window, 1);
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT:
        PopupPaint(window);
        return 0;
    case WM_DESTROY:
        if (HWND owner = GetWindow(window, GW_OWNER))
            PostMessageA(owner, WM_COMMAND, 530, 0); // focus back to the find dialog
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND PopupShow(HWND owner, const char *text) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    if (!GetClassInfoA(instance, kPopupClass, &wc)) {
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = PopupProc;
        wc.hInstance = instance;
        wc.hbrBackground = GetSysColorBrush(COLOR_ACTIVECAPTION);
        wc.lpszClassName = kPopupClass;
        RegisterClassA(&wc);
    }
    RECT rc = {};
    GetWindowRect(owner, &rc);
    int caption = GetSystemMetrics(SM_CYCAPTION);
    return CreateWindowExA(0, kPopupClass, text, WS_POPUP | WS_VISIBLE | WS_BORDER, rc.left + 6,
                           rc.bottom - caption - 6, rc.right - rc.left - 12, caption, owner, nullptr, instance,
                           nullptr);
}
