// The synchronise command and its options dialog.
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Texts.h"
#include "fileops/CopyJob.h"
#include "fileops/FileSystem.h"
#include "fileops/SyncWindow.h"
#include "panels/FilterDialog.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowUtil.h"

extern AppState *gApp;

namespace {

const struct {
    int id;
    uint16_t bit;
} kOptionBoxes[] = {
    {kIdInclSubDirs, kSyncSubFolders}, {kIdSyncOnlyExisting, kSyncOnlyExisting}, {kIdSyncWithFilter, kSyncWithFilter},
    {kIdSyncBothWays, kSyncBothWays},  {kIdSyncBinary, kSyncBinary},
};

void SetTexts(HWND dialog, const SyncDialogData *d)
{
    char text[600];
    TextGet(Txt::dlgSync, text, sizeof text);
    SetWindowTextA(dialog, text);
    TextFormat(text, sizeof text, Txt::txtSynch, d->job->source.c_str());
    SetDlgItemTextA(dialog, kIdSyncLabel, text);
    const int ids[] = {kIdInclSubDirs, kIdSyncOnlyExisting, kIdSyncWithFilter, kIdSyncBothWays, kIdSyncBinary,
                       kIdFilterButton};
    const int texts[] = {Txt::optInclDir,       Txt::optOnlyExisting, Txt::optWithFilter,
                         Txt::optBidirectional, Txt::optBinary,       Txt::butFilter};
    for (size_t i = 0; i < sizeof ids / sizeof ids[0]; i++) {
        TextGet(texts[i], text, sizeof text);
        if (text[0])
            SetDlgItemTextA(dialog, ids[i], text);
    }
}

} // namespace

INT_PTR CALLBACK SyncDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SyncDialogData *d = (SyncDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        d = (SyncDialogData *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
        WndCenter(dialog);
        SetTexts(dialog, d);
        SendDlgItemMessageA(dialog, kIdSyncTarget, EM_LIMITTEXT, 259, 0);
        SetDlgItemTextA(dialog, kIdSyncTarget, d->job->target.c_str());
        for (const auto &box : kOptionBoxes)
            CheckDlgButton(dialog, box.id, (d->options & box.bit) ? BST_CHECKED : BST_UNCHECKED);
        SetFocus(GetDlgItem(dialog, kIdSyncTarget));
        SendDlgItemMessageA(dialog, kIdSyncTarget, EM_SETSEL, 0, -1);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kIdBrowse:
            DlgBrowseFolderEdit(dialog, kIdSyncTarget);
            return TRUE;
        case kIdFilterButton:
            if (gApp)
                FilterDialogShow(dialog, &gApp->syncFilter);
            return TRUE;
        case IDOK:
        case 99: {
            char target[520];
            GetDlgItemTextA(dialog, kIdSyncTarget, target, sizeof target);
            d->job->target = target;
            d->options = 0;
            for (const auto &box : kOptionBoxes) {
                if (IsDlgButtonChecked(dialog, box.id) == BST_CHECKED)
                    d->options |= box.bit;
            }
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void SyncCommand(HWND owner)
{
    int active = gApp->activePanel & 1;
    char cursor[kPathSize];
    if (!PanelCursorEntryPath(active, cursor, sizeof cursor))
        return;
    char folder[kPathSize], other[kPathSize];
    PanelGetPath(active, folder, sizeof folder);
    PanelGetPath(!active, other, sizeof other);
    if (!folder[0] || FileSetDrive(owner, folder[0]))
        return;
    SyncCompareJob job;
    job.sourceIsLeft = active == 0;
    job.source = folder;
    job.target = other;
    SyncDialogData data = {&job, (uint16_t)gApp->syncOptions};
    if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgSyncOptions), owner, SyncDialogProc,
                        (LPARAM)&data) != 1)
        return;
    gApp->syncOptions = data.options;
    job.options = data.options;
    const std::string &t = job.target;
    bool refused = t.size() < 3 || t[1] != ':' || FileSetDrive(owner, t[0]) || !FileIsDir(t.c_str()) ||
                   (t.size() > 3 && t.size() >= 3 && t.compare(t.size() - 3, 3, "\\..") == 0);
    // A folder synchronised with itself or with a folder inside it would
    // copy into what it is still reading.
    if (!refused && (PathIsInsideFolder(job.source.c_str(), t.c_str()) || PathIsInsideFolder(t.c_str(), job.source.c_str())))
        refused = true;
    if (refused) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    SyncWindowOpen(owner, job);
}
