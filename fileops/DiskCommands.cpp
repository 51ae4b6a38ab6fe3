// The Disk menu's diskette tools as the user meets them: the copy dialog,
// the compare and verify windows, label, format, share and eject. The raw
// work is in DiskTools.cpp.
#include "AppState.h"

#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include "app/MainWindow.h"
#include "app/bars/DriveBar.h"
#include "base/Texts.h"
#include "fileops/DiskTools.h"
#include "fileops/FileSystem.h"
#include "wingui/GuiDraw.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"

bool (*gDiskChooseFile)(HWND owner, bool save, char *path, size_t size) = nullptr;

namespace {

const int kToolKindDiskCopy = 9;
const int kDlgCopy = 12800, kDlgCompareChoice = 12815, kDlgProgress = 12816, kDlgLabel = 12700,
          kDlgFormat = 12200; // the select-drive template of the drive bars

void SetText(HWND dialog, int id, int textId) {
    char text[200];
    TextGet(textId, text, sizeof text);
    SetDlgItemTextA(dialog, id, text);
}

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }

// The floppy drives from A: on that have a file system: the letters the
// spin controls offer (at least A:).
int FloppyCount() {
    int n = 0;
    while (n < 26 && gApp->drives[n].kind == kDriveFloppy && gApp->drives[n].fileSystem[0])
        n++;
    return n ? n : 1;
}

void SetupSpin(HWND dialog, int spin, int letterId, uint8_t drive) {
    SendDlgItemMessageA(dialog, spin, UDM_SETRANGE32, 1, FloppyCount());
    SendDlgItemMessageA(dialog, spin, UDM_SETPOS32, 0, drive);
    char text[4] = {(char)('A' + drive - 1), ':', 0};
    SetDlgItemTextA(dialog, letterId, text);
}

uint8_t SpinDrive(HWND dialog, int spin) {
    int pos = (int)SendDlgItemMessageA(dialog, spin, UDM_GETPOS32, 0, 0);
    return (uint8_t)(pos < 1 ? 1 : pos > 26 ? 26 : pos);
}

void OnSpin(HWND dialog, LPARAM lParam) {
    NMHDR *hdr = (NMHDR *)lParam;
    if (hdr->code != UDN_DELTAPOS)
        return;
    NMUPDOWN *ud = (NMUPDOWN *)lParam;
    int pos = ud->iPos + ud->iDelta, last = FloppyCount();
    pos = pos < 1 ? 1 : pos > last ? last : pos;
    char text[4] = {(char)('A' + pos - 1), ':', 0};
    SetDlgItemTextA(dialog, hdr->idFrom == 12806 ? 12832 : 12833, text);
}

bool ChooseFile(HWND owner, bool save, char *path, size_t size) {
    if (gDiskChooseFile)
        return gDiskChooseFile(owner, save, path, size);
    char filter[80], text[64];
    TextGet(Txt::txtImgFilter, text, sizeof text);
    int n = snprintf(filter, sizeof filter, "%s", text);
    if (n < 0 || n + 8 >= (int)sizeof filter)
        return false;
    memcpy(filter + n + 1, "*.img\0", 7);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = (DWORD)size;
    ofn.lpstrDefExt = "img";
    ofn.Flags = OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    path[0] = 0;
    return save ? GetSaveFileNameA(&ofn) != 0 : GetOpenFileNameA(&ofn) != 0;
}

void LowerMode() {
    LONG mode = gDiskToolMode;
    if (mode > 1)
        InterlockedCompareExchange(&gDiskToolMode, mode - 1, mode);
}

// ---- copy dialog

DWORD WINAPI CopyReadThread(void *) {
    DiskToolContext *ctx = gDiskToolCtx;
    InterlockedIncrement(&gDiskToolMode);
    if (ctx->source == 0) {
        char path[260];
        uint32_t error = 0;
        if (ChooseFile(ctx->dialog, false, path, sizeof path)) {
            if (DiskReadImageFile(ctx, path, &error)) {
                PostMessageA(ctx->dialog, kDiskShowFormat, ctx->imageSize, 0);
                PostMessageA(GetDlgItem(ctx->dialog, 12803), PBM_SETRANGE32, 0, 10);
                PostMessageA(GetDlgItem(ctx->dialog, 12803), PBM_SETPOS, 10, 0);
                MessageBeep(MB_OK);
            } else if (error) {
                gDiskSystem.reportError(ctx->dialog, error, path);
            } else {
                gDiskSystem.message(ctx->dialog, Txt::errDiskCompat, MB_ICONSTOP, nullptr);
            }
        }
    } else if (DiskReadImage(ctx, kDiskReadImage)) {
        MessageBeep(MB_OK);
    }
    LowerMode();
    PostMessageA(ctx->dialog, WM_COMMAND, 99, 0);
    return 0;
}

DWORD WINAPI CopyWriteThread(void *) {
    DiskToolContext *ctx = gDiskToolCtx;
    InterlockedIncrement(&gDiskToolMode);
    if (ctx->target == 0) {
        char path[260];
        uint32_t error = 0;
        if (ChooseFile(ctx->dialog, true, path, sizeof path)) {
            if (DiskWriteImageFile(ctx, path, &error))
                MessageBeep(MB_OK);
            else
                gDiskSystem.reportError(ctx->dialog, error, path);
        }
    } else {
        DiskSetSerial(ctx->image, ctx->imageSize, DiskNewSerial());
        if (DiskWriteImage(ctx))
            MessageBeep(MB_OK);
    }
    LowerMode();
    PostMessageA(ctx->dialog, WM_COMMAND, 99, 0);
    return 0;
}

void CopyChoices(HWND dialog, bool on) {
    bool sourceDrive = IsDlgButtonChecked(dialog, 12811) == BST_CHECKED;
    bool targetDrive = IsDlgButtonChecked(dialog, 12813) == BST_CHECKED;
    Enable(dialog, 12811, on);
    Enable(dialog, 12812, on);
    Enable(dialog, 12813, on);
    Enable(dialog, 12814, on);
    Enable(dialog, 12806, on && sourceDrive);
    Enable(dialog, 12808, on && targetDrive);
}

void CopyIdle(HWND dialog) {
    DiskToolContext *ctx = gDiskToolCtx;
    CopyChoices(dialog, true);
    Enable(dialog, 12801, true);
    Enable(dialog, 12802, ctx && ctx->image);
    SetText(dialog, 2, Txt::butDone);
    if (ctx && ctx->image)
        SetFocus(GetDlgItem(dialog, 12802));
}

void CopyStart(HWND dialog, bool write) {
    DiskToolContext *ctx = gDiskToolCtx;
    if (write && !ctx->image)
        return;
    if (write) {
        ctx->target = IsDlgButtonChecked(dialog, 12814) == BST_CHECKED ? 0 : SpinDrive(dialog, 12808);
        if (ctx->target) {
            // Everything on the diskette goes: the user says so first.
            char letter[2] = {(char)('A' + ctx->target - 1), 0};
            if (gDiskSystem.message(dialog, Txt::askDiskWrite, MB_YESNO | MB_ICONQUESTION, letter) != IDYES)
                return;
            PanelLeaveDrive(letter[0]);
        }
        ctx->verify = IsDlgButtonChecked(dialog, 10107) == BST_CHECKED;
    } else {
        ctx->source = IsDlgButtonChecked(dialog, 12812) == BST_CHECKED ? 0 : SpinDrive(dialog, 12806);
        if (ctx->source)
            PanelLeaveDrive((char)('A' + ctx->source - 1));
        SendDlgItemMessageA(dialog, 12803, PBM_SETRANGE32, 0, 100);
        SendDlgItemMessageA(dialog, 12803, PBM_SETPOS, 0, 0);
    }
    CopyChoices(dialog, false);
    Enable(dialog, 12801, false);
    Enable(dialog, 12802, false);
    SetText(dialog, 2, Txt::txtStop);
    if (write)
        SendDlgItemMessageA(dialog, 12804, PBM_SETPOS, 0, 0);
    HANDLE thread = CreateThread(nullptr, 0, write ? CopyWriteThread : CopyReadThread, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        CopyIdle(dialog);
}

void CopyClose(HWND dialog) {
    if (IsDlgButtonChecked(dialog, 10107) == BST_CHECKED)
        gApp->generalOptions |= kGenDiskVerify;
    else
        gApp->generalOptions &= ~kGenDiskVerify;
    DiskToolFree();
    ToolWndUnregister(dialog);
    DestroyWindow(dialog);
}

void OnShowFormat(HWND dialog, WPARAM size) { SetDlgItemTextA(dialog, 12805, DiskFormatName(size)); }

} // namespace

INT_PTR CALLBACK DiskCopyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        DiskToolContext *ctx = gDiskToolCtx;
        ctx->dialog = dialog;
        ctx->formatTextId = 12805;
        char caption[80];
        TextGet(Txt::dlgDiskCopy, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
        SetText(dialog, 12830, Txt::txtSource);
        SetText(dialog, 12831, Txt::txtTarget);
        SetText(dialog, 12812, Txt::txtFile);
        SetText(dialog, 12814, Txt::txtFile);
        SetText(dialog, 12801, Txt::butRead);
        SetText(dialog, 12802, Txt::butWrite);
        SetText(dialog, 10107, Txt::optVerify);
        SetText(dialog, 2, Txt::butDone);
        CheckDlgButton(dialog, 12811, BST_CHECKED);
        CheckDlgButton(dialog, 12813, BST_CHECKED);
        CheckDlgButton(dialog, 10107, gApp->generalOptions & kGenDiskVerify ? BST_CHECKED : BST_UNCHECKED);
        SetupSpin(dialog, 12806, 12832, 1);
        SetupSpin(dialog, 12808, 12833, 1);
        CopyIdle(dialog);
        return TRUE;
    }
    case kDiskShowFormat:
        OnShowFormat(dialog, wParam);
        return TRUE;
    case WM_NOTIFY:
        OnSpin(dialog, lParam);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case 12801:
            CopyStart(dialog, false);
            return TRUE;
        case 12802:
            CopyStart(dialog, true);
            return TRUE;
        case 10107:
            if (gDiskToolCtx)
                gDiskToolCtx->verify = IsDlgButtonChecked(dialog, 10107) == BST_CHECKED;
            return TRUE;
        case 12811:
        case 12812:
        case 12813:
        case 12814:
            if (gDiskToolMode < 2)
                CopyChoices(dialog, true);
            return TRUE;
        case 99:
            CopyIdle(dialog);
            return TRUE;
        case 2:
            if (gDiskToolMode < 2) {
                CopyClose(dialog);
            } else {
                LowerMode();
                SetText(dialog, 2, Txt::butDone);
                Enable(dialog, 12802, false);
            }
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        if (gDiskToolMode < 2)
            CopyClose(dialog);
        return TRUE;
    }
    return FALSE;
}

void DiskToolFree() {
    DiskToolContext *ctx = gDiskToolCtx;
    if (ctx) {
        MemFree(&ctx->image);
        MemFree(&ctx);
    }
    gDiskToolCtx = nullptr;
    InterlockedExchange(&gDiskToolMode, 0);
}

static DiskToolContext *NewContext(uint8_t source, uint8_t target) {
    DiskToolContext *ctx = (DiskToolContext *)MemAlloc(sizeof(DiskToolContext));
    if (!ctx)
        return nullptr;
    ctx->source = source;
    ctx->target = target;
    gDiskToolCtx = ctx;
    InterlockedExchange(&gDiskToolMode, 1);
    return ctx;
}

void DiskCopyCommand(HWND owner) {
    if (gDiskToolMode) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    if (!NewContext(1, 1))
        return;
    HWND dialog = CreateDialogParamA(gApp->hInstance, MAKEINTRESOURCEA(kDlgCopy), owner, DiskCopyDialogProc, 0);
    if (!dialog) {
        DiskToolFree();
        return;
    }
    ToolWndRegister(dialog, kToolKindDiskCopy, nullptr);
    ShowWindow(dialog, SW_SHOW);
}

// ---- compare and verify

namespace {

INT_PTR CALLBACK CompareChoiceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        char caption[80];
        TextGet(Txt::dlgCompareDisk, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
        SetText(dialog, 12837, Txt::txtCompareDisk);
        SetText(dialog, 12834, Txt::txtWith);
        SetupSpin(dialog, 12806, 12832, gDiskToolCtx->source);
        SetupSpin(dialog, 12808, 12833, gDiskToolCtx->target);
        return TRUE;
    }
    case WM_NOTIFY:
        OnSpin(dialog, lParam);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            gDiskToolCtx->source = SpinDrive(dialog, 12806);
            gDiskToolCtx->target = SpinDrive(dialog, 12808);
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    }
    return FALSE;
}

DWORD WINAPI CompareThread(void *) {
    DiskToolContext *ctx = gDiskToolCtx;
    InterlockedIncrement(&gDiskToolMode);
    if (ctx->compareStep == 1) {
        DiskReadImage(ctx, kDiskReadImage);
        LowerMode();
    } else if (DiskReadImage(ctx, kDiskReadCompare) && gDiskToolMode >= 2) {
        InterlockedExchange(&gDiskToolMode, 0);
        gDiskSystem.message(ctx->dialog, Txt::txtDskCompareOK, MB_ICONINFORMATION, nullptr);
    } else {
        LowerMode();
    }
    PostMessageA(ctx->dialog, WM_COMMAND, 99, 0);
    return 0;
}

DWORD WINAPI VerifyThread(void *) {
    DiskToolContext *ctx = gDiskToolCtx;
    InterlockedIncrement(&gDiskToolMode);
    DiskReadImage(ctx, kDiskReadVerify);
    LowerMode();
    PostMessageA(ctx->dialog, WM_COMMAND, 99, 0);
    return 0;
}

// The compare and verify window: the busy animation and Cancel.
INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        gDiskToolCtx->dialog = dialog;
        return TRUE;
    case kDiskShowFormat:
        OnShowFormat(dialog, wParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == 99) {
            DiskToolContext *ctx = gDiskToolCtx;
            bool nextStep = ctx && ctx->compareStep == 1 && ctx->image && gDiskToolMode == 1;
            ToolWndUnregister(dialog);
            DestroyWindow(dialog);
            if (nextStep) {
                ctx->dialog = nullptr;
                PostMessageA(gMainWindow, WM_COMMAND, 212, 0);
            } else {
                DiskToolFree();
            }
        } else if (LOWORD(wParam) == IDCANCEL) {
            InterlockedExchange(&gDiskToolMode, 0);
        }
        return TRUE;
    }
    return FALSE;
}

bool OpenProgress(HWND owner, int captionId, LPTHREAD_START_ROUTINE thread) {
    HWND window =
        CreateDialogParamA(gApp->hInstance, MAKEINTRESOURCEA(kDlgProgress), owner, ProgressProc, 0);
    if (!window)
        return false;
    char caption[80];
    TextGet(captionId, caption, sizeof caption);
    SetWindowTextA(window, caption);
    ToolWndRegister(window, 4, nullptr);
    ShowWindow(window, SW_SHOW);
    HANDLE h = CreateThread(nullptr, 0, thread, nullptr, 0, nullptr);
    if (!h) {
        ToolWndUnregister(window);
        DestroyWindow(window);
        return false;
    }
    CloseHandle(h);
    return true;
}

} // namespace

void DiskCompareCommand(HWND owner, int step) {
    DiskToolContext *ctx = gDiskToolCtx;
    if (step == 1) {
        if (gDiskToolMode) {
            MessageBeep(MB_ICONHAND);
            return;
        }
        ctx = NewContext(1, 1);
        if (!ctx)
            return;
        if (DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(kDlgCompareChoice), owner, CompareChoiceProc, 0) !=
            1) {
            DiskToolFree();
            return;
        }
    } else if (!ctx || !ctx->image) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    // Both diskettes go through the first chosen drive, one after the other.
    char letter = (char)('A' + ctx->source - 1);
    PanelLeaveDrive(letter);
    PanelLeaveDrive((char)('A' + ctx->target - 1));
    char argument[2] = {letter, 0};
    if (gDiskSystem.message(owner, step == 1 ? Txt::txtInsert1Dsk : Txt::txtInsert2Dsk, MB_YESNO | MB_ICONQUESTION,
                            argument) != IDYES) {
        DiskToolFree();
        return;
    }
    ctx->compareStep = (uint16_t)step;
    if (!OpenProgress(owner, Txt::txtCompareDisk, CompareThread))
        DiskToolFree();
}

void DiskVerifyCommand(HWND owner) {
    if (gDiskToolMode) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    DriveBarRescan();
    char letter = (char)(gApp->panelPath[gApp->activePanel & 1][0] & ~0x20);
    int index = letter - 'A';
    if (index < 0 || index >= 26 || gApp->drives[index].kind != kDriveFloppy || !gApp->drives[index].fileSystem[0]) {
        gDiskSystem.message(owner, Txt::wrnDskVerify, MB_ICONEXCLAMATION, nullptr);
        return;
    }
    if (!NewContext((uint8_t)(index + 1), (uint8_t)(index + 1)))
        return;
    PanelLeaveDrive(letter);
    if (!OpenProgress(owner, Txt::txtVerifyDisk, VerifyThread))
        DiskToolFree();
}

// ---- label

namespace {

struct LabelRequest {
    char root[4];
};

INT_PTR CALLBACK LabelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    LabelRequest *request = (LabelRequest *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        request = (LabelRequest *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)request);
        char caption[80];
        TextGet(Txt::dlgLabelDisk, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
        SetText(dialog, 12710, Txt::txtLabelDisk);
        char label[MAX_PATH] = "";
        if (!GetVolumeInformationA(request->root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
            gDiskSystem.reportError(dialog, GetLastError(), request->root);
            EndDialog(dialog, 0);
            return TRUE;
        }
        SendDlgItemMessageA(dialog, 12701, EM_LIMITTEXT, 11, 0);
        SetDlgItemTextA(dialog, 12701, label);
        SendDlgItemMessageA(dialog, 12701, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, 12701));
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char label[16] = "";
            GetDlgItemTextA(dialog, 12701, label, sizeof label);
            if (!gDiskSystem.setVolumeLabel(request->root, label)) {
                gDiskSystem.reportError(dialog, GetLastError(), request->root);
                return TRUE;
            }
            int index = (request->root[0] & ~0x20) - 'A';
            if (index >= 0 && index < 26) {
                DriveInfo &d = gApp->drives[index];
                char name[MAX_PATH] = "", fs[MAX_PATH] = "";
                if (GetVolumeInformationA(request->root, name, sizeof name, nullptr, nullptr, nullptr, fs, sizeof fs)) {
                    lstrcpynA(d.displayName, name, sizeof d.displayName);
                    lstrcpynA(d.fileSystem, fs, sizeof d.fileSystem);
                }
            }
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    }
    return FALSE;
}

} // namespace

INT_PTR CALLBACK DiskLabelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return LabelProc(dialog, message, wParam, lParam);
}

void DiskLabelCommand(HWND owner, const char *panelPath) {
    LabelRequest request = {{panelPath[0], ':', '\\', 0}};
    DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(kDlgLabel), owner, DiskLabelDialogProc, (LPARAM)&request);
}

// ---- format

namespace {

const int kFormatList = 12201;

// The select-drive template's list is a plain one; this dialog shows each
// drive with its picture, so the list is made again owner-drawn in the same
// place (keeping its strings for the keyboard's letter search).
void MakeFormatListOwnerDrawn(HWND dialog) {
    HWND old = GetDlgItem(dialog, kFormatList);
    if (!old)
        return;
    RECT r;
    GetWindowRect(old, &r);
    MapWindowPoints(nullptr, dialog, (POINT *)&r, 2);
    DWORD style = (GetWindowLongA(old, GWL_STYLE) & ~(DWORD)LBS_WANTKEYBOARDINPUT) | LBS_OWNERDRAWFIXED |
                  LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
    HWND list = CreateWindowExA(GetWindowLongA(old, GWL_EXSTYLE), "LISTBOX", "", style, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, dialog, (HMENU)(intptr_t)kFormatList,
                                gApp->hInstance, nullptr);
    if (!list)
        return;
    SendMessageA(list, WM_SETFONT, SendMessageA(old, WM_GETFONT, 0, 0), 0);
    SetWindowPos(list, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); // same tab place
    DestroyWindow(old);
}

void MeasureFormatItem(HWND dialog, MEASUREITEMSTRUCT *item) {
    TEXTMETRICA metrics = {};
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0));
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    int height = metrics.tmHeight + 4;
    item->itemHeight = height < 18 ? 18 : height; // the 14-pixel picture with a margin
}

// One line: the drive's picture, then "X: [name]", highlighted when selected.
void DrawFormatItem(const DRAWITEMSTRUCT *item) {
    if (item->itemID == (UINT)-1)
        return;
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int drive = (int)item->itemData;
    if (drive >= 0 && drive < 26)
        WndDrawDrivePicture(dc, gApp->drives[drive].kind, r.left + 2, r.top + (r.bottom - r.top - 14) / 2);
    char text[64] = "";
    SendMessageA(item->hwndItem, LB_GETTEXT, item->itemID, (LPARAM)text);
    RECT t = r;
    t.left += 24;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(dc, text, -1, &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item->itemState & ODS_FOCUS)
        DrawFocusRect(dc, &r);
}

} // namespace

INT_PTR CALLBACK DiskFormatDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        char caption[80];
        TextGet(Txt::dlgSelDrive, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
        MakeFormatListOwnerDrawn(dialog);
        DWORD mask = GetLogicalDrives();
        for (int i = 0; i < 26; i++) {
            uint16_t kind = gApp->drives[i].kind;
            if (!(mask & (1u << i)) || !(kind == kDriveFloppy || kind == kDriveFixed || kind == 6 || kind == 7))
                continue;
            char item[48];
            snprintf(item, sizeof item, "%c: [%.28s]", 'A' + i, gApp->drives[i].displayName);
            LRESULT at = SendDlgItemMessageA(dialog, kFormatList, LB_ADDSTRING, 0, (LPARAM)item);
            SendDlgItemMessageA(dialog, kFormatList, LB_SETITEMDATA, (WPARAM)at, i);
        }
        SendDlgItemMessageA(dialog, kFormatList, LB_SETCURSEL, 0, 0);
        SetFocus(GetDlgItem(dialog, kFormatList));
        return FALSE;
    }
    case WM_MEASUREITEM:
        if (wParam != kFormatList)
            return FALSE;
        MeasureFormatItem(dialog, (MEASUREITEMSTRUCT *)lParam);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_DRAWITEM:
        if (wParam != kFormatList)
            return FALSE;
        DrawFormatItem((const DRAWITEMSTRUCT *)lParam);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == kFormatList && HIWORD(wParam) == LBN_DBLCLK)) {
            LRESULT at = SendDlgItemMessageA(dialog, kFormatList, LB_GETCURSEL, 0, 0);
            EndDialog(dialog, at == LB_ERR ? -1 : SendDlgItemMessageA(dialog, kFormatList, LB_GETITEMDATA, at, 0));
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, -1);
        }
        return TRUE;
    }
    return FALSE;
}

void DiskFormatCommand(HWND owner) {
    INT_PTR drive = DialogBoxParamA(gApp->hInstance, MAKEINTRESOURCEA(kDlgFormat), owner, DiskFormatDialogProc, 0);
    if (drive < 0 || drive >= 26)
        return;
    PanelLeaveDrive((char)('A' + drive));
    gDiskSystem.formatDrive(GetDesktopWindow(), (UINT)drive);
}

// ---- share and eject

bool DiskShareManage(HWND owner, bool show) {
    typedef DWORD(WINAPI * ShareFn)(HWND, const char *);
    HMODULE library = LoadLibraryA("ntlanman.dll");
    ShareFn share = library ? (ShareFn)(void *)GetProcAddress(library, "ShareManage") : nullptr;
    if (share && show)
        share(owner, "");
    if (library)
        FreeLibrary(library);
    return share != nullptr;
}

void DiskEject(char letter) {
    if (!DiskIsEjectable(letter))
        return;
    PanelLeaveDrive(letter);
    if (HANDLE thread = DiskEjectStart(letter))
        CloseHandle(thread);
}

void DiskUpdateEjectButtons() {
    for (int p = 0; p < 2; p++) {
        if (HWND button = gApp->panels[p].ejectButton)
            EnableWindow(button, DiskIsEjectable(gApp->panelPath[p][0]) != 0);
    }
}
