// COFF library listing (kind 14): the symbols of a library, one line each,
// in a list box over the view window. The list box is made only after the
// whole index has been checked, so a damaged library never shows half a list.
#include "viewer/CoffLib.h"
#include "viewer/LumoraInternal.h"

static void LibListAdd(void* context, const char* line) {
    SendMessageA(static_cast<HWND>(context), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

void LibListResize(HWND window, HWND listBox) {
    if (!window || !listBox) return;
    RECT r;
    GetClientRect(window, &r);
    gHost->WndMove(listBox, 0, 0, r.right, r.bottom);
}

HWND LibListOpen(HWND window, ViewRecord* view) {
    MappedFile file;
    if (MappedFileOpen(&file, view->openPath) != 0) return nullptr;
    HWND box = nullptr;
    if (file.view && file.size <= SIZE_MAX && CoffListSymbols(file.view, (size_t)file.size, nullptr, nullptr)) {
        box = CreateWindowExA(view->hostWindow ? 0 : WS_EX_CLIENTEDGE, "LISTBOX", "", 0x54300909, 0, 0, 0, 0, window,
                              nullptr, view->instance, nullptr);
    }
    if (box) {
        if (view->font && *view->font) SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(*view->font), TRUE);
        LibListResize(window, box);
        if (!view->hostWindow) SetFocus(box);
        SendMessageA(box, WM_SETREDRAW, FALSE, 0);
        CoffListSymbols(file.view, (size_t)file.size, LibListAdd, box);
        SendMessageA(box, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(box, nullptr, TRUE);
    }
    MappedFileClose(&file);
    return box;
}

void LibListClose(ViewRecord* view) {
    HWND box = static_cast<HWND>(view->viewObject);
    if (box && IsWindow(box)) PostMessageA(box, WM_CLOSE, 0, 0);
    view->viewObject = nullptr;
}
