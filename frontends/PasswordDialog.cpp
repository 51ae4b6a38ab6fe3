#include "frontends/PasswordDialog.h"

#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"

namespace {

const int kIdPasswordEdit = 15202;

struct PasswordRequest {
    char* buffer;
    uint32_t size;
};

void PasswordInit(HWND dialog, PasswordRequest* request) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)request);
    WndCenter(dialog);
    char caption[64] = " ";
    TextGet(Txt::txtPassword, caption + 1, sizeof caption - 1);
    if (caption[1])
        SetWindowTextA(dialog, caption);
    OSVERSIONINFOA version = {sizeof version};
    // The system's default dialog font shows the password bullets poorly
    // from XP on; one Verdana font serves every dialog for the session.
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
        (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1))) {
        static HFONT font;
        if (!font) {
            HDC dc = GetDC(dialog);
            int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
            ReleaseDC(dialog, dc);
            font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Verdana");
        }
        if (font)
            SendDlgItemMessageA(dialog, kIdPasswordEdit, WM_SETFONT, (WPARAM)font, FALSE);
    }
    SendDlgItemMessageA(dialog, kIdPasswordEdit, EM_LIMITTEXT, request->size ? request->size - 1 : 0, 0);
    SetFocus(GetDlgItem(dialog, kIdPasswordEdit));
}

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    PasswordRequest* request = (PasswordRequest*)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        PasswordInit(dialog, (PasswordRequest*)lParam);
        return FALSE;  // the focus is set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (request)
                GetDlgItemTextA(dialog, kIdPasswordEdit, request->buffer, (int)request->size);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

bool PasswordDialog(HWND owner, char* buffer, uint32_t size) {
    if (!buffer || !size)
        return false;
    PasswordRequest request = {buffer, size};
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(15200), owner, PasswordDialogProc,
                           (LPARAM)&request) == 1;
}
