// The packer definitions dialog (command 406): steps through the records of
// VANDZIP.SET, inserts and deletes records, chooses the option set, and
// saves the whole file through a temporary file.
#include "frontends/PackCommands.h"

#include <stdio.h>

#include "AppState.h"
#include "base/Texts.h"
#include "tools/SafeSave.h"
#include "wingui/WindowUtil.h"

namespace {

PackerDialogData *DataOf(HWND dialog) { return (PackerDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA); }

PackerForm ReadForm(HWND dialog) {
    PackerForm form;
    for (int i = 0; i < kPackerStringCount; ++i) {
        char text[80] = "";
        GetDlgItemTextA(dialog, kIdPackerField + i, text, sizeof text);
        form.text[i] = text;
    }
    return form;
}

void ShowForm(HWND dialog, const PackerDialogData *d) {
    PackerForm form = PackerReadRecord(d->image, d->index);
    for (int i = 0; i < kPackerStringCount; ++i)
        SetDlgItemTextA(dialog, kIdPackerField + i, form.text[i].c_str());
}

void SaveForm(HWND dialog, PackerDialogData *d) { PackerReplace(&d->image, d->index, ReadForm(dialog)); }

void OnInit(HWND dialog, PackerDialogData *d) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
    WndCenter(dialog);
    static const int kPairs[][2] = {
        {99, Txt::butPkSave},        {IDCANCEL, Txt::butCancel},     {97, Txt::butPkInsert},
        {96, Txt::butDelete},        {14101, Txt::optPackBest},      {14102, Txt::optPackSmall},
        {14103, Txt::optPackFast},   {14122, Txt::txtPkName},        {14123, Txt::txtPkExt},
        {14124, Txt::txtPkAdd},      {14125, Txt::txtPkAddPath},     {14126, Txt::txtPkExtract},
        {14127, Txt::txtPkExtrPath}, {14128, Txt::txtPkDelete},      {14129, Txt::txtPkOptBest},
        {14132, Txt::optPackSmall},  {14133, Txt::optPackFast}};
    DlgSetTexts(dialog, Txt::dlgPacker, kPairs);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    for (int i = 0; i < kPackerStringCount; ++i)
        SendDlgItemMessageA(dialog, kIdPackerField + i, EM_LIMITTEXT, kPackerEditLimit[i], 0);
    int set = gApp->packerChoice & 0xF;
    if (set <= 2)
        CheckRadioButton(dialog, kIdPackerBest, kIdPackerBest + 2, kIdPackerBest + set);
    if (!PackerImageCount(d->image)) {
        d->image.clear();
        PackerInsertEmpty(&d->image, 0);
    }
    if (d->index >= PackerImageCount(d->image))
        d->index = 0;
    ShowForm(dialog, d);
}

void OnSave(HWND dialog, PackerDialogData *d) {
    int set = 0;
    for (int i = 0; i < 3; ++i) {
        if (IsDlgButtonChecked(dialog, kIdPackerBest + i) == BST_CHECKED)
            set = i;
    }
    gApp->packerChoice = (uint16_t)((gApp->packerChoice & ~0xF) | set);
    SaveForm(dialog, d);
    char path[260];
    PackerFilePath(path);
    d->saveError = d->image.empty() ? 0 : FileSaveReplacing(path, d->image.data(), d->image.size());
    if (d->saveError) {
        // The old file stays; the edits stay in the dialog for another try.
        char text[800];
        SaveErrorText(d->saveError, path, text, sizeof text);
        MsgBox(dialog, text, gWindowTitle, MB_OK | MB_ICONSTOP);
        return;
    }
    PackerAdopt(d->image);
    EndDialog(dialog, 1);
}

void OnCommand(HWND dialog, PackerDialogData *d, int id) {
    uint16_t count = PackerImageCount(d->image);
    switch (id) {
    case kIdPackerPrev:
        if (d->index > 0) {
            SaveForm(dialog, d);
            d->index--;
            ShowForm(dialog, d);
        }
        break;
    case kIdPackerNext:
        if (d->index + 1 < count) {
            SaveForm(dialog, d);
            d->index++;
            ShowForm(dialog, d);
        }
        break;
    case kIdPackerInsert:
        SaveForm(dialog, d);
        PackerInsertEmpty(&d->image, d->index);
        d->index++;
        ShowForm(dialog, d);
        break;
    case kIdPackerDelete:
        // The first record stays.
        if (d->index > 0 && PackerDelete(&d->image, d->index)) {
            d->index--;
            ShowForm(dialog, d);
        }
        break;
    case kIdPackerSave:
    case IDOK:
        OnSave(dialog, d);
        break;
    case IDCANCEL:
        // Nothing edited is kept; the file is read again on next use.
        PackerForget();
        EndDialog(dialog, 0);
        break;
    }
}

} // namespace

INT_PTR CALLBACK PackerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, (PackerDialogData *)lParam);
        return TRUE;
    case WM_COMMAND:
        if (PackerDialogData *d = DataOf(dialog)) {
            int id = LOWORD(wParam);
            if (id == kIdPackerPrev || id == kIdPackerNext || id == kIdPackerInsert || id == kIdPackerDelete ||
                id == kIdPackerSave || id == IDOK || id == IDCANCEL) {
                OnCommand(dialog, d, id);
                return TRUE;
            }
        }
        return FALSE;
    }
    return FALSE;
}

void PackerShowDialog(HWND owner) {
    // Read afresh: a file changed outside the program is what gets edited,
    // and a damaged one (already named in a box) is left as it is.
    PackerForget();
    if (PackerFileDamaged())
        return;
    PackerDialogData d;
    d.image = *PackerDefinitions();
    d.index = 0;
    d.saveError = 0;
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgPacker), owner, PackerDialogProc, (LPARAM)&d);
}
