#include "tools/ColorDialog.h"

#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "app/Settings.h"
#include "base/Texts.h"
#include "frontends/ViewerHost.h"
#include "wingui/Theme.h"
#include "wingui/WindowUtil.h"

BOOL(WINAPI *gChooseColor)(LPCHOOSECOLORA) = ChooseColorA;

namespace {

ColorDialogData *DataOf(HWND dialog) { return (ColorDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

void Localise(HWND dialog) {
    static const int kPairs[][2] = {{99, Txt::butOK},
                                    {IDCANCEL, Txt::butCancel},
                                    {kIdColorStandard, Txt::txtStandard},
                                    {kIdColorClassic, Txt::txtClassic},
                                    {kIdColorUser, Txt::txtUserDef},
                                    {kIdColorChoose, Txt::butColor}};
    DlgSetTexts(dialog, Txt::dlgPanelColor, kPairs);
}

void RepaintSamples(HWND dialog) {
    for (int id = kIdColorSampleDir; id <= kIdColorSampleSelect; id++)
        InvalidateRect(GetDlgItem(dialog, id), nullptr, FALSE);
}

// The scheme decides the active colours; only the user scheme can be edited.
void ApplyScheme(HWND dialog, ColorDialogData *d, int32_t scheme) {
    d->scheme = scheme;
    if (scheme == kSchemeStandard)
        OptColorsStandard(d->active);
    else if (scheme == kSchemeClassic)
        OptColorsClassic(d->active);
    else
        memcpy(d->active, d->user, sizeof d->active);
    EnableWindow(GetDlgItem(dialog, kIdColorChoose), scheme == kSchemeUser);
    RepaintSamples(dialog);
}

void OnInit(HWND dialog, ColorDialogData *d) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
    WndCenter(dialog);
    Localise(dialog);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    if (d->scheme < kSchemeStandard || d->scheme > kSchemeUser)
        d->scheme = kSchemeStandard;
    CheckRadioButton(dialog, kIdColorStandard, kIdColorUser, kIdColorStandard + d->scheme);
    EnableWindow(GetDlgItem(dialog, kIdColorChoose), d->scheme == kSchemeUser);
    HWND list = GetDlgItem(dialog, kIdColorList);
    for (int i = 0; i < 6; i++) {
        char name[80];
        TextGet(Txt::clrBack + i, name, sizeof name);
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)name);
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    for (int id : {99, (int)IDCANCEL, (int)kIdColorChoose})
        ThemeTrackHover(GetDlgItem(dialog, id));
    SetFocus(GetDlgItem(dialog, IDCANCEL));
}

void OnChooseColor(HWND dialog, ColorDialogData *d) {
    int index = (int)SendDlgItemMessageA(dialog, kIdColorList, LB_GETCURSEL, 0, 0);
    if (index < 0 || index > 5 || d->scheme != kSchemeUser)
        return;
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = dialog;
    cc.rgbResult = d->user[index];
    cc.lpCustColors = d->custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!gChooseColor(&cc))
        return;
    d->user[index] = cc.rgbResult;
    memcpy(d->active, d->user, sizeof d->active);
    RepaintSamples(dialog);
}

// A sample: its background colour and a word in its text colour.
void DrawSample(const DRAWITEMSTRUCT *item, const ColorDialogData *d) {
    static const struct {
        int id, text, back, fore;
    } kSamples[] = {{kIdColorSampleDir, Txt::clrDirectory, 0, 1},
                    {kIdColorSampleFile, Txt::clrFile, 0, 2},
                    {kIdColorSampleHilight, Txt::clrHilight, 3, 4},
                    {kIdColorSampleSelect, Txt::clrSelect, 0, 5}};
    for (const auto &s : kSamples) {
        if ((int)item->CtlID != s.id)
            continue;
        HBRUSH brush = CreateSolidBrush(d->active[s.back]);
        FillRect(item->hDC, &item->rcItem, brush);
        DeleteObject(brush);
        char text[64];
        TextGet(s.text, text, sizeof text);
        HGDIOBJ old = SelectObject(item->hDC, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(item->hDC, TRANSPARENT);
        SetTextColor(item->hDC, d->active[s.fore]);
        RECT r = item->rcItem;
        DrawTextA(item->hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(item->hDC, old);
    }
}

} // namespace

INT_PTR CALLBACK ColorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ColorDialogData *d = DataOf(dialog);
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, (ColorDialogData *)lParam);
        return FALSE; // the focus is on Cancel
    case WM_DRAWITEM:
        if (d)
            DrawSample((const DRAWITEMSTRUCT *)lParam, d);
        return TRUE;
    case WM_COMMAND:
        if (!d)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kIdColorStandard:
        case kIdColorClassic:
        case kIdColorUser:
            if (HIWORD(wParam) == BN_CLICKED)
                ApplyScheme(dialog, d, LOWORD(wParam) - kIdColorStandard);
            return TRUE;
        case kIdColorChoose:
            OnChooseColor(dialog, d);
            return TRUE;
        case IDOK:
        case 99:
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int ColorCommand(HWND owner) {
    ColorDialogData d = {};
    d.scheme = gApp->colorScheme;
    memcpy(d.active, gApp->panelColors, sizeof d.active);
    memcpy(d.user, gApp->panelColors2, sizeof d.user);
    memcpy(d.custom, gApp->customColors, sizeof d.custom);
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgPanelColor), owner, ColorDialogProc, (LPARAM)&d) != 1)
        return 0;
    gApp->colorScheme = d.scheme;
    memcpy(gApp->panelColors, d.active, sizeof d.active);
    memcpy(gApp->panelColors2, d.user, sizeof d.user);
    memcpy(gApp->customColors, d.custom, sizeof d.custom);
    for (int i = 0; i < kPanelColorCount; i++) {
        if (gApp->panelBrushes[i])
            DeleteObject(gApp->panelBrushes[i]);
        gApp->panelBrushes[i] = CreateSolidBrush(gApp->panelColors[i]);
    }
    // The quick view follows, when the viewer library is loaded at all.
    if (gApp->viewerEntry)
        ViewerSetTextStyle(gApp->fontPanel, gApp->panelColors[2], gApp->panelColors[0], &gApp->quickView);
    for (int panel = 0; panel < 2; panel++) {
        if (HWND list = gApp->panels[panel].listWindow) {
            InvalidateRect(list, nullptr, TRUE);
            PostMessageA(list, WM_USER + 1, 0, 0);
        }
    }
    if (owner)
        InvalidateRect(owner, nullptr, TRUE);
    return 1;
}
