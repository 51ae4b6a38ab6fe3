#include "panels/FilterDialog.h"

#include <commctrl.h>
#include <string.h>

#include <initializer_list>
#include <new>

#include "AppState.h"
#include "app/Language.h"
#include "wingui/WindowUtil.h"

namespace {

enum : int {
    kIdAll = 12101, kIdExe = 12102, kIdCustom = 12103, kIdInclude = 12104, kIdReadOnly = 12105,
    kIdArchive = 12106, kIdSystem = 12107, kIdHidden = 12108, kIdDir = 12109, kIdExclude = 12110,
    kIdDateFrom = 12111, kIdDateTo = 12112, kIdTimeFrom = 12113, kIdTimeTo = 12114, kIdMinSize = 12115,
    kIdMaxSize = 12116, kIdSpin = 12124,
};

const int16_t kTexts[] = {12100, 12101, 12102, 12103, 12105, 12106, 12107, 12108, 12109,
                          12117, 12118, 12119, 12120, 12121, 12122, 0};

struct FilterDialogData {
    FilterSpec* filter;
    int remote;
};

bool ShowsHiddenSystem(const FilterSpec* f) {
    return f->hiddenSystemApply || (gApp && (gApp->panelOptions & kPanelHiddenFiles));
}

void SetCheck(HWND d, int id, int on) { CheckDlgButton(d, id, on ? BST_CHECKED : BST_UNCHECKED); }

void OnInit(HWND d, FilterDialogData* data) {
    SetWindowLongPtrA(d, GWLP_USERDATA, (LONG_PTR)data);
    WndCenter(d);
    LangApplyToDialog(d, kTexts);
    FilterDialogFields f;
    FilterFieldsFromSpec(data->filter, &f);
    CheckRadioButton(d, kIdAll, kIdCustom, kIdAll + f.mode);
    SetCheck(d, kIdReadOnly, f.readOnly);
    SetCheck(d, kIdArchive, f.archive);
    SetCheck(d, kIdDir, f.folder);
    bool hs = data->remote || ShowsHiddenSystem(data->filter);
    // Without optHiddenFiles the boxes show a check mark and stay as stored.
    SetCheck(d, kIdSystem, hs ? f.system : 1);
    SetCheck(d, kIdHidden, hs ? f.hidden : 1);
    EnableWindow(GetDlgItem(d, kIdSystem), hs);
    EnableWindow(GetDlgItem(d, kIdHidden), hs);
    if (data->remote && (data->filter->allowedAttributes & kFilterAttrsLocked)) {
        for (int id : {kIdReadOnly, kIdArchive, kIdSystem, kIdHidden}) EnableWindow(GetDlgItem(d, id), FALSE);
    }
    const struct {
        int id;
        const char* text;
        int limit;
    } edits[] = {{kIdInclude, f.include, 127}, {kIdExclude, f.exclude, 127}, {kIdDateFrom, f.dateFrom, 10},
                 {kIdDateTo, f.dateTo, 10},    {kIdTimeFrom, f.timeFrom, 8},  {kIdTimeTo, f.timeTo, 8},
                 {kIdMinSize, f.minSize, 20},  {kIdMaxSize, f.maxSize, 20}};
    for (const auto& e : edits) {
        SendDlgItemMessageA(d, e.id, EM_LIMITTEXT, e.limit, 0);
        SetDlgItemTextA(d, e.id, e.text);
    }
    SendDlgItemMessageA(d, kIdSpin, UDM_SETRANGE32, (WPARAM)-1000, 1000);
    SetFocus(GetDlgItem(d, IDCANCEL));
}

void CopyStamp(HWND d, int fromDate, int fromTime, int toDate, int toTime) {
    char text[32];
    GetDlgItemTextA(d, fromDate, text, sizeof text);
    SetDlgItemTextA(d, toDate, text);
    GetDlgItemTextA(d, fromTime, text, sizeof text);
    SetDlgItemTextA(d, toTime, text);
}

bool OnOk(HWND d, FilterDialogData* data) {
    FilterDialogFields f;
    memset(&f, 0, sizeof f);
    f.mode = IsDlgButtonChecked(d, kIdExe) ? 1 : IsDlgButtonChecked(d, kIdCustom) ? 2 : 0;
    f.readOnly = IsDlgButtonChecked(d, kIdReadOnly) == BST_CHECKED;
    f.archive = IsDlgButtonChecked(d, kIdArchive) == BST_CHECKED;
    f.system = IsDlgButtonChecked(d, kIdSystem) == BST_CHECKED;
    f.hidden = IsDlgButtonChecked(d, kIdHidden) == BST_CHECKED;
    f.folder = IsDlgButtonChecked(d, kIdDir) == BST_CHECKED;
    GetDlgItemTextA(d, kIdInclude, f.include, sizeof f.include);
    GetDlgItemTextA(d, kIdExclude, f.exclude, sizeof f.exclude);
    GetDlgItemTextA(d, kIdDateFrom, f.dateFrom, sizeof f.dateFrom);
    GetDlgItemTextA(d, kIdDateTo, f.dateTo, sizeof f.dateTo);
    GetDlgItemTextA(d, kIdTimeFrom, f.timeFrom, sizeof f.timeFrom);
    GetDlgItemTextA(d, kIdTimeTo, f.timeTo, sizeof f.timeTo);
    GetDlgItemTextA(d, kIdMinSize, f.minSize, sizeof f.minSize);
    GetDlgItemTextA(d, kIdMaxSize, f.maxSize, sizeof f.maxSize);
    int message = 0;
    int bad = FilterFieldsToSpec(&f, data->filter, data->remote, ShowsHiddenSystem(data->filter), &message);
    if (bad) {
        MsgBoxId(d, (unsigned)message, nullptr, MB_OK | MB_ICONSTOP);
        SetFocus(GetDlgItem(d, bad));
        return false;
    }
    return true;
}

INT_PTR Proc(HWND d, UINT message, WPARAM wParam, LPARAM lParam, int remote) {
    FilterDialogData* data = (FilterDialogData*)GetWindowLongPtrA(d, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        // lParam is the FilterSpec; the small record lives as long as the dialog.
        FilterDialogData* fresh = new (std::nothrow) FilterDialogData{(FilterSpec*)lParam, remote};
        if (!fresh) {
            EndDialog(d, 0);
            return FALSE;
        }
        OnInit(d, fresh);
        return FALSE;
    }
    case WM_NOTIFY: {
        NMHDR* h = (NMHDR*)lParam;
        if (h->idFrom == kIdSpin && h->code == UDN_DELTAPOS) {
            NMUPDOWN* ud = (NMUPDOWN*)lParam;
            if (ud->iDelta > 0)
                CopyStamp(d, kIdDateFrom, kIdTimeFrom, kIdDateTo, kIdTimeTo);
            else if (ud->iDelta < 0)
                CopyStamp(d, kIdDateTo, kIdTimeTo, kIdDateFrom, kIdTimeFrom);
            SetWindowLongPtrA(d, DWLP_MSGRESULT, 1);  // keep the spin's own position
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kIdMinSize:
        case kIdMaxSize:
            if (HIWORD(wParam) == EN_CHANGE) DlgFixNumberEdit(d, LOWORD(wParam));
            return TRUE;
        case IDOK:
        case 99:
            if (data && OnOk(d, data)) EndDialog(d, 1);
            return TRUE;
        case IDCANCEL: EndDialog(d, 0); return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (data) {
            SetWindowLongPtrA(d, GWLP_USERDATA, 0);
            delete data;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK FilterDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return Proc(d, m, w, l, 0); }
INT_PTR CALLBACK FilterDialogRemoteProc(HWND d, UINT m, WPARAM w, LPARAM l) { return Proc(d, m, w, l, 1); }

int FilterDialogShow(HWND owner, FilterSpec* filter) {
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(kFilterDialogTemplate), owner, FilterDialogProc,
                           (LPARAM)filter) == 1;
}
