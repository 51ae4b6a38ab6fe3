// The split dialog (template 15100): target, piece size and count kept in
// step, and the choices Autosize, whole text lines and lines per piece.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "JobRecord.h"
#include "app/Language.h"
#include "fileops/ToolJobs.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowUtil.h"

namespace {

const char* const kSplitPresets[] = {
    "1,44 MB (3.5\")", "1,2 MB (5.25\")", "720 kB (3.5\")", "360 kB (5.25\")", "100 MB (ZIP)",
    "250 MB (ZIP)",    "640 MB (MO)",    "230 MB (MO)",    "700 MB (CD)",
};
const uint64_t kSplitPresetBytes[] = {1457664,   1213952,   730112,    362496,   100431872,
                                      250331136, 635420672, 228265984, 718438400};
const int kPresetCount = sizeof kSplitPresets / sizeof kSplitPresets[0];

// Leading blanks, then digits; 0 for no number or one past 64 bits.
uint64_t ParseCount(const char* p)
{
    uint64_t value = 0;
    while (*p == ' ')
        p++;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (value > (UINT64_MAX - 9) / 10) return 0;
        value = value * 10 + (uint64_t)(*p - '0');
    }
    return value;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SplitDialogInit(HWND dialog, SplitDialogData* d)
{
    WndCenter(dialog);
    LangApplyToDialog(dialog, nullptr);
    JobRecord* job = d->job;
    char text[MAX_PATH + 32];
    snprintf(text, sizeof text, "Split %s to", d->sourceName);
    SetDlgItemTextA(dialog, kIdSplitLabel, text);
    SendDlgItemMessageA(dialog, kIdSplitTarget, EM_LIMITTEXT, 259, 0);
    SetDlgItemTextA(dialog, kIdSplitTarget, job->target);
    HWND size = GetDlgItem(dialog, kIdToolSize);
    for (const char* p : kSplitPresets)
        SendMessageA(size, CB_ADDSTRING, 0, (LPARAM)p);
    SendMessageA(size, CB_LIMITTEXT, 32, 0);
    SendDlgItemMessageA(dialog, kIdToolCount, EM_LIMITTEXT, 32, 0);
    SendDlgItemMessageA(dialog, kIdSplitLines, EM_LIMITTEXT, 10, 0);
    snprintf(text, sizeof text, "%llu", (unsigned long long)job->bytesSelected);
    SetWindowTextA(size, text);
    SplitLinkSizeCount(dialog, kIdToolSize, kIdToolCount, job->total);
    if (d->lines) {
        snprintf(text, sizeof text, "%lu", (unsigned long)d->lines);
        SetDlgItemTextA(dialog, kIdSplitLines, text);
    }
    const struct {
        int id;
        uint32_t bit;
    } boxes[] = {{kIdSplitAutosize, kSplitAutosize}, {kIdSplitDelete, kSplitDeleteSource},
                 {kIdSplitRestore, kSplitRestore},   {kIdSplitText, kSplitText},
                 {kIdSplitByLines, kSplitByLines}};
    for (const auto& b : boxes)
        CheckDlgButton(dialog, b.id, (job->flags & b.bit) ? BST_CHECKED : BST_UNCHECKED);
    SplitUpdateControls(dialog);
    SendDlgItemMessageA(dialog, kIdSplitTarget, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(dialog, kIdSplitTarget));
}

// OK: false (after a beep) while a number the split needs is missing.
bool SplitDialogOk(HWND dialog, SplitDialogData* d)
{
    JobRecord* job = d->job;
    bool autosize = Checked(dialog, kIdSplitAutosize);
    bool text = Checked(dialog, kIdSplitText);
    // The lines box counts only where it can be used: with whole lines and
    // without Autosize.
    bool byLines = text && !autosize && Checked(dialog, kIdSplitByLines);
    char buffer[64] = "";
    GetDlgItemTextA(dialog, kIdSplitLines, buffer, sizeof buffer);
    uint64_t lines = ParseCount(buffer);
    if (byLines && (lines == 0 || lines > 0xFFFFFFFFu)) {
        MessageBeep(MB_ICONHAND);
        return false;
    }
    if (!autosize && !byLines) {
        uint64_t bytes = SplitLinkSizeCount(dialog, kIdToolSize, kIdToolCount, job->total);
        if (!bytes) {
            MessageBeep(MB_ICONHAND);
            return false;
        }
        job->bytesSelected = bytes;
    }
    if (lines <= 0xFFFFFFFFu) d->lines = (uint32_t)lines;
    char target[520];
    GetDlgItemTextA(dialog, kIdSplitTarget, target, sizeof target);
    lstrcpynA(job->target, target, sizeof job->target);
    job->flags &= ~kSplitFlags;
    if (autosize) job->flags |= kSplitAutosize;
    if (Checked(dialog, kIdSplitDelete)) job->flags |= kSplitDeleteSource;
    if (Checked(dialog, kIdSplitRestore)) job->flags |= kSplitRestore;
    if (text) job->flags |= kSplitText;
    if (byLines) job->flags |= kSplitByLines;
    return true;
}

} // namespace

uint64_t SplitLinkSizeCount(HWND dialog, int changedId, int otherId, uint64_t sourceSize)
{
    char text[40] = "";
    GetDlgItemTextA(dialog, changedId, text, sizeof text);
    uint64_t value = 0;
    bool preset = false;
    if (changedId == kIdToolSize)
        for (int i = 0; i < kPresetCount; i++)
            if (!strcmp(text, kSplitPresets[i])) {
                value = kSplitPresetBytes[i];
                preset = true;
            }
    if (preset) {
        // The size field shows the preset's byte count.
        snprintf(text, sizeof text, "%llu", (unsigned long long)value);
        SetDlgItemTextA(dialog, changedId, text);
    } else {
        value = ParseCount(text);
    }
    if (value)
        snprintf(text, sizeof text, "%llu", (unsigned long long)(sourceSize / value + (sourceSize % value != 0)));
    else
        strcpy(text, "-");
    SetDlgItemTextA(dialog, otherId, text);
    return value;
}

void SplitUpdateControls(HWND dialog)
{
    bool autosize = Checked(dialog, kIdSplitAutosize);
    bool text = Checked(dialog, kIdSplitText);
    bool byLines = Checked(dialog, kIdSplitByLines);
    bool size, count, linesBox, lines;
    if (autosize) {
        size = count = linesBox = lines = false;
    } else if (text) {
        count = linesBox = true;
        size = !byLines;
        lines = byLines;
    } else {
        size = count = true;
        linesBox = lines = false;
    }
    EnableWindow(GetDlgItem(dialog, kIdToolSize), size);
    EnableWindow(GetDlgItem(dialog, kIdToolCount), count);
    EnableWindow(GetDlgItem(dialog, kIdSplitByLines), linesBox);
    EnableWindow(GetDlgItem(dialog, kIdSplitLines), lines);
}

INT_PTR CALLBACK SplitDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SplitDialogData* d = (SplitDialogData*)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        d = (SplitDialogData*)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
        SplitDialogInit(dialog, d);
        return FALSE;
    case WM_COMMAND:
        if (!d) return FALSE;
        switch (LOWORD(wParam)) {
        case kIdToolSize:
            if (HIWORD(wParam) == CBN_EDITCHANGE) {
                SplitLinkSizeCount(dialog, kIdToolSize, kIdToolCount, d->job->total);
            } else if (HIWORD(wParam) == CBN_SELCHANGE) {
                // The edit shows the chosen text only after this message.
                int sel = (int)SendDlgItemMessageA(dialog, kIdToolSize, CB_GETCURSEL, 0, 0);
                if (sel >= 0 && sel < kPresetCount) {
                    SetDlgItemTextA(dialog, kIdToolSize, kSplitPresets[sel]);
                    SplitLinkSizeCount(dialog, kIdToolSize, kIdToolCount, d->job->total);
                }
            }
            return TRUE;
        case kIdToolCount:
            // Only typing counts: the count written by the size field changes it too.
            if (HIWORD(wParam) == EN_CHANGE && GetFocus() == (HWND)lParam)
                SplitLinkSizeCount(dialog, kIdToolCount, kIdToolSize, d->job->total);
            return TRUE;
        case kIdSplitByLines:
            if (Checked(dialog, kIdSplitByLines)) CheckDlgButton(dialog, kIdSplitAutosize, BST_UNCHECKED);
            SplitUpdateControls(dialog);
            return TRUE;
        case kIdSplitAutosize:
        case kIdSplitText:
            SplitUpdateControls(dialog);
            return TRUE;
        case kIdSplitBrowse:
            DlgBrowseFolderEdit(dialog, kIdSplitTarget);
            return TRUE;
        case IDOK:
        case 99:
            if (SplitDialogOk(dialog, d)) EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
