// The Editor and Viewer pages of the options dialog: the list of file masks
// with their programs, edited row by row.
#include "tools/OptionsDialog.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "app/Settings.h"
#include "base/Texts.h"
#include "tools/RunServices.h"
#include "wingui/ListView.h"

namespace {

const char *const kSections[2] = {"Editor", "Viewer"};
const int kFieldLength = 520;
enum Column { kColMask, kColType, kColCommand, kColFolder, kColParams, kColMode, kColumnCount };

// Per page: the column table and whether the fields are being filled from
// a row (their change notifications then write nothing back).
struct ListPage {
    ListColumn columns[kColumnCount + 1];
    bool filling;
};
ListPage gPages[2];

int Offset(int page) { return page * kExtViewerOffset; }
HWND ListOf(HWND dialog, int page) { return GetDlgItem(dialog, kIdExtList + Offset(page)); }
int BrowseId(int page) { return page ? kIdViewerBrowse : kIdExtBrowse; }

// The page (0 Editor, 1 Viewer) and the Editor-page id a control stands for;
// -1 when it belongs to neither list page.
int PageOfControl(int id, int *baseId) {
    if (id == kIdExtBrowse || id == kIdViewerBrowse) {
        *baseId = kIdExtBrowse;
        return id == kIdViewerBrowse;
    }
    for (int page = 0; page < 2; page++) {
        int base = id - Offset(page);
        if (base >= kIdExtList && base <= kIdExtMode) {
            *baseId = base;
            return page;
        }
    }
    return -1;
}

void Text(int id, char *out, int size) { TextGet(id, out, size); }

void RowText(HWND list, int row, int column, char *out, int size) {
    out[0] = 0;
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = out;
    item.cchTextMax = size;
    SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
}

int RunModeOfText(const char *text) {
    for (int i = 0; i < 3; i++) {
        char t[64];
        Text(Txt::txtWinNormal + i, t, sizeof t);
        if (!strcmp(text, t))
            return i;
    }
    return 0;
}

bool IsExternalText(const char *text) {
    char external[64];
    Text(Txt::txtExtern, external, sizeof external);
    return !strcmp(text, external);
}

int AddRow(HWND list, int at, const char *mask, const char *program, const char *folder, const char *params,
           int runMode) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = at;
    item.pszText = (char *)mask;
    int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    char type[64], mode[64];
    Text(program[0] ? Txt::txtExtern : Txt::txtVandrell, type, sizeof type);
    Text(Txt::txtWinNormal + (runMode >= 0 && runMode <= 2 ? runMode : 0), mode, sizeof mode);
    WndListViewSetItemText(list, row, kColType, type);
    WndListViewSetItemText(list, row, kColCommand, program);
    WndListViewSetItemText(list, row, kColFolder, folder);
    WndListViewSetItemText(list, row, kColParams, params);
    WndListViewSetItemText(list, row, kColMode, mode);
    return row;
}

int Count(HWND list) { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }
int Selected(HWND list) { return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }

// The row the fields edit: the selected one, else the empty last row.
int EditedRow(HWND list) {
    int row = Selected(list);
    return row >= 0 ? row : Count(list) - 1;
}

void EnableControls(HWND dialog, int page) {
    int o = Offset(page);
    HWND list = ListOf(dialog, page);
    char type[64] = "";
    GetDlgItemTextA(dialog, kIdExtType + o, type, sizeof type);
    BOOL external = IsExternalText(type);
    for (int id : {kIdExtCommand, kIdExtFolder, kIdExtParams, kIdExtMode})
        EnableWindow(GetDlgItem(dialog, id + o), external);
    EnableWindow(GetDlgItem(dialog, BrowseId(page)), external);
    int row = Selected(list), count = Count(list);
    EnableWindow(GetDlgItem(dialog, kIdExtDelete + o), row >= 0 && row < count - 1);
    EnableWindow(GetDlgItem(dialog, kIdExtUp + o), row > 0 && row < count - 1);
    EnableWindow(GetDlgItem(dialog, kIdExtDown + o), row >= 0 && row < count - 2);
}

void SelectCombo(HWND combo, const char *text) {
    int at = (int)SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    SendMessageA(combo, CB_SETCURSEL, at < 0 ? 0 : at, 0);
}

// The selected row's columns into the fields (no row: empty fields).
void LoadFields(HWND dialog, int page) {
    int o = Offset(page);
    HWND list = ListOf(dialog, page);
    int row = Selected(list);
    gPages[page].filling = true;
    const struct {
        int column, id;
    } kEdits[] = {{kColMask, kIdExtMask}, {kColCommand, kIdExtCommand}, {kColFolder, kIdExtFolder},
                  {kColParams, kIdExtParams}};
    char text[kFieldLength];
    for (const auto &e : kEdits) {
        if (row >= 0)
            RowText(list, row, e.column, text, sizeof text);
        else
            text[0] = 0;
        SetDlgItemTextA(dialog, e.id + o, text);
    }
    if (row >= 0) {
        RowText(list, row, kColType, text, sizeof text);
        SelectCombo(GetDlgItem(dialog, kIdExtType + o), text);
        RowText(list, row, kColMode, text, sizeof text);
        SelectCombo(GetDlgItem(dialog, kIdExtMode + o), text);
    } else {
        SendDlgItemMessageA(dialog, kIdExtType + o, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, kIdExtMode + o, CB_SETCURSEL, 0, 0);
    }
    gPages[page].filling = false;
    EnableControls(dialog, page);
}

// A field's new text goes into its column of the edited row; a mask typed
// into the empty last row makes a new empty row below it.
void FieldChanged(HWND dialog, int page, int baseId) {
    static const struct {
        int id, column;
    } kMap[] = {{kIdExtMask, kColMask},     {kIdExtType, kColType},     {kIdExtCommand, kColCommand},
                {kIdExtFolder, kColFolder}, {kIdExtParams, kColParams}, {kIdExtMode, kColMode}};
    if (gPages[page].filling)
        return;
    HWND list = ListOf(dialog, page);
    int row = EditedRow(list);
    if (row < 0)
        return;
    for (const auto &m : kMap) {
        if (m.id != baseId)
            continue;
        char text[kFieldLength] = "";
        GetDlgItemTextA(dialog, baseId + Offset(page), text, sizeof text);
        WndListViewSetItemText(list, row, m.column, text);
        if (m.column == kColMask && text[0] && row == Count(list) - 1)
            AddRow(list, Count(list), "", "", "", "", 0);
    }
    EnableControls(dialog, page);
}

void Browse(HWND dialog, int page) {
    char path[MAX_PATH];
    RunBrowseProgram(dialog, path, 0);
    if (!path[0])
        return;
    int o = Offset(page);
    SetDlgItemTextA(dialog, kIdExtCommand + o, path); // EN_CHANGE writes column 2
    if (char *name = strrchr(path, '\\')) {
        name[name == path + 2 && path[1] == ':' ? 1 : 0] = 0;
        SetDlgItemTextA(dialog, kIdExtFolder + o, path);
    }
}

void InitPage(HWND dialog, int page, const char *settings) {
    int o = Offset(page);
    HWND list = ListOf(dialog, page);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    if (gApp && lstrcmpiA(gApp->language, "CN") == 0 && gApp->fontGui)
        SendMessageA(list, WM_SETFONT, (WPARAM)gApp->fontGui, FALSE);
    const ListColumn defaults[kColumnCount + 1] = {
        {Txt::txtFileMask, 0, 50, 0, 0, 0},
        {(int16_t)(page ? Txt::txtViewer : Txt::txtEditor), 0, 50, 1, 1, 0},
        {Txt::txtCmd, 0, 90, 2, 2, 0},
        {Txt::txtDirectory, 0, 90, 3, 3, 0},
        {Txt::txtParameters, 0, 50, 4, 4, 0},
        {Txt::txtRunMode, 0, 50, 5, 5, 0},
        {0, 0, 0, 0, 0, 0}};
    memcpy(gPages[page].columns, defaults, sizeof defaults);
    WndListViewLoadColumns(gPages[page].columns, kSections[page], settings, 1);
    WndListViewInsertColumns(list, gPages[page].columns);
    WndListViewSetColumnTitles(list, gPages[page].columns);
    for (int n = 1;; n++) {
        char key[16], line[kFieldLength];
        snprintf(key, sizeof key, "%d", n);
        IniGetString(kSections[page], key, "", line, sizeof line, settings);
        if (!line[0])
            break;
        char masks[kFieldLength], program[kFieldLength], params[kFieldLength], folder[kFieldLength];
        int mode = 0;
        OptParseProgramLine(line, masks, program, params, &mode, folder);
        AddRow(list, Count(list), masks, program, folder, params, mode);
    }
    AddRow(list, Count(list), "", "", "", "", 0);
    HWND type = GetDlgItem(dialog, kIdExtType + o);
    for (int id : {(int)Txt::txtVandrell, (int)Txt::txtExtern}) {
        char text[64];
        Text(id, text, sizeof text);
        SendMessageA(type, CB_ADDSTRING, 0, (LPARAM)text);
    }
    HWND mode = GetDlgItem(dialog, kIdExtMode + o);
    for (int i = 0; i < 3; i++) {
        char text[64];
        Text(Txt::txtWinNormal + i, text, sizeof text);
        SendMessageA(mode, CB_ADDSTRING, 0, (LPARAM)text);
    }
    for (int id : {kIdExtMask, kIdExtCommand, kIdExtFolder, kIdExtParams})
        SendDlgItemMessageA(dialog, id + o, EM_LIMITTEXT, 260, 0);
    LoadFields(dialog, page);
}

void SavePage(HWND dialog, int page, const char *settings) {
    HWND list = ListOf(dialog, page);
    IniWriteSection(kSections[page], "", settings);
    int written = 0;
    for (int row = 0, count = Count(list); row < count; row++) {
        char masks[kFieldLength], type[64], program[kFieldLength], folder[kFieldLength], params[kFieldLength],
            mode[64];
        RowText(list, row, kColMask, masks, sizeof masks);
        if (!masks[0])
            continue;
        RowText(list, row, kColType, type, sizeof type);
        RowText(list, row, kColCommand, program, sizeof program);
        RowText(list, row, kColFolder, folder, sizeof folder);
        RowText(list, row, kColParams, params, sizeof params);
        RowText(list, row, kColMode, mode, sizeof mode);
        char line[4 * kFieldLength];
        if (!OptFormatProgramLine(line, sizeof line, masks, IsExternalText(type) ? program : "", params,
                                  RunModeOfText(mode), folder))
            continue;
        char key[16];
        snprintf(key, sizeof key, "%d", ++written);
        IniWriteString(kSections[page], key, line, settings);
    }
    WndListViewReadColumns(list, gPages[page].columns);
    WndListViewSaveColumns(gPages[page].columns, kSections[page], settings);
}

} // namespace

bool OptFormatProgramLine(char *out, size_t size, const char *masks, const char *program, const char *params,
                          int runMode, const char *folder) {
    const char *mode = runMode == 1 ? "m" : runMode == 2 ? "M" : "";
    int n = program[0] ? snprintf(out, size, "%s=%s=%s=%s=%s", masks, program, params, mode, folder)
                       : snprintf(out, size, "%s", masks);
    if (n < 0 || (size_t)n >= size)
        return false;
    while (n > 0 && out[n - 1] == '=')
        out[--n] = 0;
    return true;
}

void OptParseProgramLine(const char *line, char *masks, char *program, char *params, int *runMode, char *folder) {
    char *fields[5] = {masks, program, params, nullptr, folder};
    char mode[kFieldLength] = "";
    fields[3] = mode;
    const char *p = line;
    for (int i = 0; i < 5; i++) {
        const char *end = i < 4 ? strchr(p, '=') : nullptr;
        size_t length = end ? (size_t)(end - p) : strlen(p);
        if (length >= (size_t)kFieldLength)
            length = kFieldLength - 1;
        memcpy(fields[i], p, length);
        fields[i][length] = 0;
        if (!end) {
            for (int j = i + 1; j < 5; j++)
                fields[j][0] = 0;
            break;
        }
        p = end + 1;
    }
    *runMode = mode[0] == 'M' ? 2 : mode[0] == 'm' ? 1 : 0;
}

void OptListsInit(HWND dialog, const char *settings) {
    for (int page = 0; page < 2; page++)
        InitPage(dialog, page, settings);
}

bool OptListsCommand(HWND dialog, int id, int code) {
    int baseId = 0;
    int page = PageOfControl(id, &baseId);
    if (page < 0)
        return false;
    HWND list = ListOf(dialog, page);
    switch (baseId) {
    case kIdExtMask:
    case kIdExtCommand:
    case kIdExtFolder:
    case kIdExtParams:
        if (code == EN_CHANGE)
            FieldChanged(dialog, page, baseId);
        return true;
    case kIdExtType:
    case kIdExtMode:
        if (code == CBN_SELCHANGE)
            FieldChanged(dialog, page, baseId);
        return true;
    case kIdExtDelete: {
        int row = Selected(list);
        if (row >= 0 && row < Count(list) - 1)
            SendMessageA(list, LVM_DELETEITEM, row, 0);
        LoadFields(dialog, page);
        return true;
    }
    case kIdExtUp:
        if (Selected(list) < Count(list) - 1)
            WndListViewMoveItemUp(list);
        EnableControls(dialog, page);
        return true;
    case kIdExtDown:
        if (Selected(list) < Count(list) - 2)
            WndListViewMoveItemDown(list);
        EnableControls(dialog, page);
        return true;
    case kIdExtBrowse:
        Browse(dialog, page);
        return true;
    }
    return false;
}

bool OptListsNotify(HWND dialog, const NMHDR *header) {
    int baseId = 0;
    int page = PageOfControl((int)header->idFrom, &baseId);
    if (page < 0 || baseId != kIdExtList)
        return false;
    if (header->code == LVN_ITEMCHANGED) {
        const NMLISTVIEW *change = (const NMLISTVIEW *)header;
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED))
            LoadFields(dialog, page);
        return true;
    }
    if (header->code == NM_CLICK) {
        LoadFields(dialog, page);
        return true;
    }
    return false;
}

void OptListsSave(HWND dialog, const char *settings) {
    for (int page = 0; page < 2; page++)
        SavePage(dialog, page, settings);
}
