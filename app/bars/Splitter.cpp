#include "app/bars/Splitter.h"

#include <stdio.h>

#include "AppState.h"
#include "app/bars/Bars.h"

namespace {

const char kPositionClass[] = "tT";
HWND gPosition;
RECT *gPositionRect; // the drag rectangle the window describes
SIZE gPositionSize;

int ClientWidth(HWND window) {
    RECT rc;
    GetClientRect(window, &rc);
    return rc.right;
}

LRESULT CALLBACK PositionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT rc;
        GetClientRect(window, &rc);
        FrameRect(dc, &rc, GetSysColorBrush(COLOR_INFOTEXT));
        char text[32] = "";
        if (gPositionRect)
            SplitterPercentText(gPositionRect, ClientWidth(GetParent(window)), text, sizeof text);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        DrawTextA(dc, text, -1, &rc, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        SelectObject(dc, old);
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CreatePositionWindow(HWND main, RECT *rect) {
    if (gPosition)
        return;
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(main, GWLP_HINSTANCE);
    WNDCLASSA wc;
    if (!GetClassInfoA(instance, kPositionClass, &wc)) {
        wc = WNDCLASSA{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = PositionProc;
        wc.hInstance = instance;
        wc.hbrBackground = (HBRUSH)(COLOR_INFOBK + 1);
        wc.lpszClassName = kPositionClass;
        RegisterClassA(&wc);
    }
    if (!gPositionSize.cx) {
        HDC dc = GetDC(main);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        char text[32];
        snprintf(text, sizeof text, "%.1f %%", 11.0);
        RECT r = {0, 0, 0, 0};
        DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_CENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(main, dc);
        gPositionSize.cx = r.right - r.left + 8;
        gPositionSize.cy = r.bottom - r.top + 4;
    }
    gPositionRect = rect;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(main, &pt);
    gPosition = CreateWindowA(kPositionClass, "", WS_CHILD | WS_VISIBLE, pt.x, pt.y, gPositionSize.cx,
                              gPositionSize.cy, main, nullptr, instance, nullptr);
}

} // namespace

HBRUSH WndMakeHalftoneBrush() {
    WORD rows[8];
    for (int i = 0; i < 8; i++)
        rows[i] = (i & 1) ? 0xAAAA : 0x5555;
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, rows);
    if (!bitmap)
        return nullptr;
    HBRUSH brush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    return brush;
}

void WndDrawDragBar(HWND window, const RECT *rect, HBRUSH *brush) {
    if (!*brush)
        *brush = WndMakeHalftoneBrush();
    HDC dc = GetDC(window);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, *brush);
    PatBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, PATINVERT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
}

RECT SplitterBarRect(HWND mainWindow, int x) {
    RECT r;
    GetClientRect(mainWindow, &r);
    r.left = x - 2;
    r.right = r.left + 4;
    r.top += BarsTopHeight();
    r.bottom -= BarsBottomHeight();
    return r;
}

void SplitterPercentText(const RECT *rect, int clientWidth, char *out, size_t size) {
    double percent = clientWidth > 0 ? (rect->left + 2) * 100.0 / clientWidth : 0.0;
    snprintf(out, size, "%.1f %%", percent);
}

void SplitterDragStart(HWND mainWindow, int x, RECT *rect, HBRUSH *brush) {
    *rect = SplitterBarRect(mainWindow, x);
    WndDrawDragBar(mainWindow, rect, brush);
    CreatePositionWindow(mainWindow, rect);
}

void SplitterDragMove(HWND mainWindow, int x, RECT *rect, HBRUSH *brush) {
    if (!rect->bottom)
        return;
    RECT next = SplitterBarRect(mainWindow, x);
    if (EqualRect(&next, rect))
        return;
    bool right = rect->left < next.left;
    WndDrawDragBar(mainWindow, rect, brush);
    *rect = next;
    if (gPosition) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(mainWindow, &pt);
        int px = right ? next.left - gPositionSize.cx - 11 : next.left + 15;
        MoveWindow(gPosition, px, pt.y + 9, gPositionSize.cx, gPositionSize.cy, TRUE);
        InvalidateRect(gPosition, nullptr, TRUE);
        UpdateWindow(gPosition);
    }
    WndDrawDragBar(mainWindow, rect, brush);
}

void SplitterDragEnd(HWND mainWindow, RECT *rect, HBRUSH *brush) {
    if (rect->bottom) {
        WndDrawDragBar(mainWindow, rect, brush);
        rect->bottom = 0;
    }
    if (gPosition) {
        DestroyWindow(gPosition);
        gPosition = nullptr;
    }
    gPositionRect = nullptr;
}

HWND SplitterPositionWindow() { return gPosition; }
