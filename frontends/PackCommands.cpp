#include "frontends/PackCommands.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "AppState.h"
#include "ArcLib.h"
#include "Options.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/JobMath.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/EntryBuild.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "tools/RunLine.h"
#include "wingui/ShellServices.h"
#include "wingui/WindowUtil.h"

char gPackerFileOverride[260];

namespace {

PackerImage gImage;
bool gLoaded;
bool gDamaged; // the file is there but was refused

// Library formats offered by the pack and unpack dialogs, in this order.
const uint16_t kUnpackFormats[] = {10000, 10005, 10007, 10008, 10016, 10009, 10022, 10010, 10020, 10019,
                                   10012, 10004, 10021, 10006, 10017, 10011, 10013, 10001, 10002, 10003};
const uint16_t kPackFormats[] = {10000, 10016, 10009, 10010, 10012, 10006, 10017, 10011, 10013};

void TextOf(int id, char *out, int size) {
    out[0] = 0;
    TextGet(id, out, size);
}

void SetTextById(HWND dialog, int control, int id) {
    char text[260];
    TextOf(id, text, sizeof text);
    if (text[0])
        SetDlgItemTextA(dialog, control, text);
}

bool IsLibraryFormat(uint16_t n) { return n >= kLocationArchiveLib; }

std::string FormatName(uint16_t number) {
    char name[64] = "";
    if (IsLibraryFormat(number)) {
        ArcGetFormatName(number, name);
        return name;
    }
    return PackerGetString(gImage, number, kPackerName);
}

std::string FormatExtension(uint16_t number) {
    char ext[16] = "";
    if (IsLibraryFormat(number)) {
        ArcGetDefaultExtension(number, ext);
        return ext;
    }
    std::string e = PackerGetString(gImage, number, kPackerExtension);
    return e;
}

} // namespace

// ---- definitions ------------------------------------------------------------

void PackerFilePath(char *out) {
    if (gPackerFileOverride[0]) {
        lstrcpynA(out, gPackerFileOverride, 260);
        return;
    }
    lstrcpynA(out, gApp->programDir, 260);
    PathCutLastComponent(out);
    PathAddBackslash(out);
    StrAppend(out, "VANDZIP.SET", 260);
}

void PackerForget() {
    gImage.clear();
    gLoaded = false;
    gDamaged = false;
}

bool PackerFileDamaged() {
    PackerDefinitions();
    return gDamaged;
}

void PackerAdopt(const PackerImage &image) {
    gImage = image;
    gLoaded = true;
    gDamaged = false;
    gApp->packerDefsSize = (uint32_t)gImage.size();
}

const PackerImage *PackerDefinitions() {
    if (gLoaded)
        return &gImage;
    gLoaded = true;
    gDamaged = false;
    gImage.clear();
    char path[260];
    PackerFilePath(path);
    if (FileCheckExists(path) != 0)
        return &gImage;
    uint32_t length = 0;
    char *data = FileReadAll(path, &length);
    if (!data)
        return &gImage;
    if (length >= kPackerMinFile) {
        std::string problem = PackerImageCheck((const uint8_t *)data, length);
        if (problem.empty()) {
            gImage.assign((uint8_t *)data, (uint8_t *)data + length);
        } else {
            // A damaged file is named, never half read.
            gDamaged = true;
            std::string text = std::string(path) + ":\n" + problem;
            MessageBoxA(gMainWindow, text.c_str(), gWindowTitle ? gWindowTitle : "", MB_OK | MB_ICONERROR);
        }
    }
    MemFree(&data);
    gApp->packerDefsSize = (uint32_t)gImage.size();
    return &gImage;
}

uint16_t PackerCount() { return PackerImageCount(*PackerDefinitions()); }

bool PackerLookup(uint32_t n, int index, std::string *out) {
    out->clear();
    if (!PackerCount()) {
        char text[128];
        TextOf(Txt::txtNoPacker, text, sizeof text);
        MessageBoxA(gMainWindow, text, "", MB_OK | MB_ICONERROR);
        return false;
    }
    *out = PackerGetString(gImage, n, index);
    return true;
}

uint16_t GuessPacker(const char *path) {
    uint16_t format = ArcGetArchiveType(path);
    if (format) {
        if (format == kArcFormatGzip && gApp->packerNumber == kArcFormatGzipAlt)
            format = kArcFormatGzipAlt;
        return format;
    }
    const char *name = path + PathFindName(path);
    const char *dot = strrchr(name, '.');
    if (dot && dot[1]) {
        uint16_t count = PackerCount();
        for (uint16_t i = 0; i < count; ++i) {
            std::string ext = PackerGetString(gImage, i, kPackerExtension);
            if (!ext.empty() && _stricmp(ext.c_str(), dot + 1) == 0)
                return i;
        }
    }
    return gApp->packerNumber ? gApp->packerNumber : 1;
}

// ---- command lines ----------------------------------------------------------

bool PackBuildCommand(const std::string &templ, const std::string &option, const std::string &archive,
                      const std::string &file, std::string *out) {
    std::string t = templ;
    while (!t.empty() && t[0] == ' ')
        t.erase(0, 1);
    size_t end = t.find(' ');
    std::string program = t.substr(0, end), rest = end == std::string::npos ? "" : t.substr(end);
    if (program.empty())
        return false;
    char found[MAX_PATH];
    char *part;
    DWORD n = SearchPathA(nullptr, program.c_str(), ".exe", MAX_PATH, found, &part);
    if (n == 0 || n >= MAX_PATH) {
        // Beside the program.
        char beside[MAX_PATH];
        lstrcpynA(beside, gApp->programDir, sizeof beside);
        PathCutLastComponent(beside);
        n = SearchPathA(beside, program.c_str(), ".exe", MAX_PATH, found, &part);
        if (n == 0 || n >= MAX_PATH)
            return false;
    }
    *out = RunQuoteArg(found) + rest;
    if (!out->empty() && out->back() != ' ')
        *out += ' ';
    *out += option;
    if (!out->empty() && out->back() != ' ')
        *out += ' ';
    *out += RunQuoteArg(archive);
    if (!file.empty())
        *out += " " + RunQuoteArg(file);
    return true;
}

int PackRunAndWait(const std::string &commandLine, const char *folder, volatile uint32_t *cancel) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                        nullptr, folder && folder[0] ? folder : nullptr, &si, &pi))
        return -1;
    CloseHandle(pi.hThread);
    while (WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT) {
        // A stop asked for ends the wait; the packer is left to finish.
        if (cancel && *cancel)
            break;
    }
    DWORD code = (DWORD)-1;
    if (!GetExitCodeProcess(pi.hProcess, &code) || code == STILL_ACTIVE)
        code = (DWORD)-2;
    CloseHandle(pi.hProcess);
    return (int)code;
}

// ---- the dialogs ------------------------------------------------------------

namespace {

struct PackDialogData {
    JobRecord *job;
    bool unpack;
    uint16_t number;
    uint32_t marked;
    char single[260]; // the one entry's name
};

uint16_t ComboNumber(HWND dialog) {
    HWND combo = GetDlgItem(dialog, kIdPackFormat);
    LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (sel == CB_ERR)
        return gApp->packerNumber;
    return (uint16_t)SendMessageA(combo, CB_GETITEMDATA, (WPARAM)sel, 0);
}

void FillFormats(HWND dialog, const PackDialogData *d) {
    HWND combo = GetDlgItem(dialog, kIdPackFormat);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    char brand[64];
    TextOf(Txt::txtVandrell, brand, sizeof brand);
    const uint16_t *formats = d->unpack ? kUnpackFormats : kPackFormats;
    size_t n = d->unpack ? sizeof kUnpackFormats / sizeof kUnpackFormats[0] : sizeof kPackFormats / sizeof kPackFormats[0];
    int selected = -1;
    for (size_t i = 0; i < n; ++i) {
        std::string name = FormatName(formats[i]);
        if (name.empty())
            continue;
        char item[128];
        snprintf(item, sizeof item, "%s   (%s)", name.c_str(), brand);
        LRESULT at = SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)item);
        SendMessageA(combo, CB_SETITEMDATA, (WPARAM)at, formats[i]);
        if (formats[i] == d->number)
            selected = (int)at;
    }
    uint16_t count = PackerCount();
    for (uint16_t i = 0; i < count; ++i) {
        std::string name = PackerGetString(gImage, i, kPackerName);
        LRESULT at = SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)name.c_str());
        SendMessageA(combo, CB_SETITEMDATA, (WPARAM)at, i);
        if (i == d->number)
            selected = (int)at;
    }
    SendMessageA(combo, CB_SETCURSEL, selected < 0 ? 0 : selected, 0);
}

void FillLabelAndTarget(HWND dialog, PackDialogData *d, bool target) {
    uint16_t number = d->number;
    std::string name = FormatName(number);
    char label[600], shortName[32];
    StrShorten(d->single, 20, shortName);
    if (d->marked <= 1)
        TextFormat(label, sizeof label, d->unpack ? Txt::txtUnpack1 : Txt::txtPack1, shortName, name.c_str());
    else
        TextFormat(label, sizeof label, d->unpack ? Txt::txtUnpackN : Txt::txtPackN, (unsigned long)d->marked,
                   name.c_str());
    SetDlgItemTextA(dialog, kIdPackLabel, label);
    if (!target || d->unpack)
        return;
    char typed[520] = "";
    GetDlgItemTextA(dialog, kIdPackTarget, typed, sizeof typed);
    std::string base;
    if (typed[0]) {
        PathCutExtension(typed);
        base = typed;
    } else {
        int other = (d->job->sourcePanel & 1) ^ 1;
        char folder[260];
        lstrcpynA(folder, gApp->panelPath[other], sizeof folder);
        PathAddBackslash(folder);
        if (d->marked <= 1) {
            char stem[260];
            lstrcpynA(stem, d->single, sizeof stem);
            PathCutExtension(stem);
            base = std::string(folder) + stem;
        } else {
            char source[260];
            lstrcpynA(source, d->job->sourceDir, sizeof source);
            size_t len = strlen(source);
            while (len && source[len - 1] == '\\')
                source[--len] = 0;
            const char *stem = strrchr(source, '\\');
            stem = stem ? stem + 1 : "";
            if (strchr(stem, ':') || !stem[0])
                stem = "DEFAULT";
            base = std::string(folder) + stem;
        }
    }
    std::string text = base + "." + FormatExtension(number);
    SetDlgItemTextA(dialog, kIdPackTarget, text.c_str());
}

bool HasLevels(uint16_t n) { return n == 10000 || n == 10010 || n == 10011 || n == 10016 || n == 10017; }

void FillLevels(HWND dialog, uint16_t number) {
    HWND combo = GetDlgItem(dialog, kIdPackLevel);
    if (!combo)
        return;
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    int set = gApp->packerChoice & 15;
    int fallback = set == 1 ? 9 : set == 2 ? 1 : 6;
    if (IsLibraryFormat(number)) {
        EnableWindow(combo, HasLevels(number));
        if (!HasLevels(number))
            return;
        int minimum = (number == 10016 || number == 10017) ? 1 : 0;
        int level = gApp->packerChoice < 16 ? fallback : ((gApp->packerChoice >> 4) & 15) - 1;
        if (gApp->packerChoice >= 16 && (level < 0 || level > 9))
            level = 6;
        if (level < minimum)
            level = minimum;
        for (int i = minimum; i <= 9; ++i) {
            char text[80], what[64] = "";
            int id = i == 0 ? Txt::txtLevelStore : i == 1 ? Txt::txtLevelFast : i == 6 ? Txt::txtLevelNormal
                                                                                   : i == 9 ? Txt::txtLevelBest : 0;
            if (id) {
                TextOf(id, what, sizeof what);
                snprintf(text, sizeof text, "%d - %s", i, what);
            } else {
                snprintf(text, sizeof text, "%d", i);
            }
            LRESULT at = SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)text);
            SendMessageA(combo, CB_SETITEMDATA, (WPARAM)at, i);
            if (i == level)
                SendMessageA(combo, CB_SETCURSEL, (WPARAM)at, 0);
        }
        return;
    }
    EnableWindow(combo, TRUE);
    static const int kLevels[] = {1, 6, 9};
    for (int i : kLevels) {
        char text[80], what[64];
        TextOf(i == 1 ? Txt::txtLevelFast : i == 6 ? Txt::txtLevelNormal : Txt::txtLevelBest, what, sizeof what);
        snprintf(text, sizeof text, "%d  %s", i, what);
        LRESULT at = SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)text);
        SendMessageA(combo, CB_SETITEMDATA, (WPARAM)at, i);
        if (i == fallback)
            SendMessageA(combo, CB_SETCURSEL, (WPARAM)at, 0);
    }
}

void StoreLevel(HWND dialog, uint16_t number) {
    HWND combo = GetDlgItem(dialog, kIdPackLevel);
    if (!combo)
        return;
    LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (sel == CB_ERR)
        return;
    int level = (int)SendMessageA(combo, CB_GETITEMDATA, (WPARAM)sel, 0);
    if (IsLibraryFormat(number)) {
        if (HasLevels(number))
            gApp->packerChoice = (uint16_t)((gApp->packerChoice & 0xFF0F) | ((level < 10 ? level + 1 : 7) << 4));
        return;
    }
    int set = level == 1 ? 2 : level == 9 ? 1 : 0;
    gApp->packerChoice = (uint16_t)((gApp->packerChoice & 0xFFF0) | set);
}

void ShowPasswordFields(HWND dialog, uint16_t number) {
    if (!GetDlgItem(dialog, kIdPackWithPwd))
        return;
    bool zip = number == kArcFormatZip;
    bool with = zip && IsDlgButtonChecked(dialog, kIdPackWithPwd) == BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, kIdPackPwdLabel), zip);
    EnableWindow(GetDlgItem(dialog, kIdPackWithPwd), zip);
    EnableWindow(GetDlgItem(dialog, kIdPackPwd), with);
    EnableWindow(GetDlgItem(dialog, kIdPackShowPwd), with);
    HWND edit = GetDlgItem(dialog, kIdPackPwd);
    if (with) {
        if (!GetWindowTextLengthA(edit))
            SetWindowTextA(edit, gApp->archivePassword);
        bool show = IsDlgButtonChecked(dialog, kIdPackShowPwd) == BST_CHECKED;
        SendMessageA(edit, EM_SETPASSWORDCHAR, show ? 0 : '*', 0);
        InvalidateRect(edit, nullptr, TRUE);
    } else {
        SetWindowTextA(edit, "");
    }
}

void PackDialogInit(HWND dialog, PackDialogData *d) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
    WndCenter(dialog);
    char caption[260] = " ";
    TextOf(d->job->titleId, caption + 1, sizeof caption - 1);
    SetWindowTextA(dialog, caption);
    static const int kTexts[] = {10103, kIdPackShowPwd, kIdPackWithPwd};
    for (int id : kTexts)
        SetTextById(dialog, id, id);
    char pwd[64];
    TextOf(Txt::txtPassword, pwd, sizeof pwd);
    if (char *colon = strchr(pwd, ':'))
        *colon = 0;
    SetDlgItemTextA(dialog, kIdPackPwdLabel, pwd);
    SendDlgItemMessageA(dialog, kIdPackTarget, EM_LIMITTEXT, 259, 0);
    SendDlgItemMessageA(dialog, kIdPackPwd, EM_LIMITTEXT, 127, 0);
    CheckDlgButton(dialog, 10103, (d->job->flags & kJobInclSubDirs) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kIdPackShowPwd, (gApp->moreOptions & 0x1) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kIdPackWithPwd, (gApp->moreOptions & 0x2) ? BST_CHECKED : BST_UNCHECKED);
    FillFormats(dialog, d);
    d->number = ComboNumber(dialog);
    if (d->unpack) {
        int other = (d->job->sourcePanel & 1) ^ 1;
        SetDlgItemTextA(dialog, kIdPackTarget, gApp->panelPath[other]);
    }
    FillLabelAndTarget(dialog, d, true);
    FillLevels(dialog, d->number);
    ShowPasswordFields(dialog, d->number);
}

} // namespace

bool PasswordNeedsCaution(const char *password) {
    for (const unsigned char *p = (const unsigned char *)password; *p; p++)
        if (*p < 0x20 || *p > 0x7F)
            return true;
    return false;
}

namespace {

INT_PTR CALLBACK CautionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        WndCenter(dialog);
        SetWindowTextA(dialog, gWindowTitle ? gWindowTitle : "");
        SetTextById(dialog, kIdCautionText, Txt::txtPwdCaution);
        SetTextById(dialog, kIdCautionNoMore, Txt::dlgPwdNoCaution);
        SetTextById(dialog, IDCANCEL, Txt::butCancel);
        SendDlgItemMessageA(dialog, kIdCautionIcon, STM_SETICON, (WPARAM)LoadIconA(nullptr, IDI_EXCLAMATION), 0);
        CheckDlgButton(dialog, kIdCautionNoMore, (gApp->moreOptions & 0x4) ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            gApp->moreOptions = (gApp->moreOptions & ~4u) |
                                (IsDlgButtonChecked(dialog, kIdCautionNoMore) == BST_CHECKED ? 4u : 0u);
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

} // namespace

bool PasswordCautionDialog(HWND owner) {
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgPwdCaution), owner, CautionProc, 0) == 1;
}

INT_PTR CALLBACK PackDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    PackDialogData *d = (PackDialogData *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        PackDialogInit(dialog, (PackDialogData *)lParam);
        return TRUE;
    case WM_COMMAND:
        if (!d)
            break;
        switch (LOWORD(wParam)) {
        case kIdPackFormat:
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                StoreLevel(dialog, d->number);
                d->number = ComboNumber(dialog);
                FillLabelAndTarget(dialog, d, true);
                FillLevels(dialog, d->number);
                ShowPasswordFields(dialog, d->number);
            }
            return TRUE;
        case kIdPackShowPwd:
        case kIdPackWithPwd:
            gApp->moreOptions = (gApp->moreOptions & ~3u) |
                                (IsDlgButtonChecked(dialog, kIdPackShowPwd) == BST_CHECKED ? 1u : 0u) |
                                (IsDlgButtonChecked(dialog, kIdPackWithPwd) == BST_CHECKED ? 2u : 0u);
            ShowPasswordFields(dialog, d->number);
            return TRUE;
        case 93:
            DlgBrowseFolderEdit(dialog, kIdPackTarget);
            return TRUE;
        case IDOK:
        case 99: {
            char target[520] = "";
            GetDlgItemTextA(dialog, kIdPackTarget, target, sizeof target);
            lstrcpynA(d->job->target, target, sizeof d->job->target);
            if (IsDlgButtonChecked(dialog, 10103) == BST_CHECKED)
                d->job->flags |= kJobInclSubDirs;
            else
                d->job->flags &= ~kJobInclSubDirs;
            if (!d->unpack && d->number == kArcFormatZip && (gApp->moreOptions & 0x2)) {
                GetDlgItemTextA(dialog, kIdPackPwd, gApp->archivePassword, sizeof gApp->archivePassword);
                // Cancelling the caution returns to this dialog.
                if (!(gApp->moreOptions & 0x4) && PasswordNeedsCaution(gApp->archivePassword) &&
                    !PasswordCautionDialog(dialog))
                    return TRUE;
            }
            gApp->packerNumber = d->number;
            StoreLevel(dialog, d->number);
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

// ---- the commands -------------------------------------------------------------

namespace {

// The first marked entry, else the cursor entry: its name and flags.
bool FirstEntry(int panel, char *name, size_t size, uint16_t *flags, uint32_t *marked) {
    *marked = PanelCountMarked(panel);
    PanelIter it;
    FileEntry *e = PanelFirstMarked(&it, panel);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, panel);
    }
    bool ok = e != nullptr;
    if (e) {
        lstrcpynA(name, EntryName(e), (int)size);
        *flags = e->flags;
    }
    PanelIterEnd(&it);
    return ok;
}

// A typed target: "D:" gets its backslash, "\x" the drive of the panel, a
// bare name the panel's folder.
void NormaliseTarget(char *target, size_t size, const char *panelPath) {
    char full[520];
    if (PathIsDriveChar(target[0]) && target[1] == ':' && target[2] == 0)
        snprintf(full, sizeof full, "%c:\\", target[0]);
    else if ((target[0] == '\\' || target[0] == '/') && target[1] != '\\' && target[1] != '/')
        snprintf(full, sizeof full, "%.2s%s", panelPath, target);
    else if (!PathHasDriveColon(target) && !(target[0] == '\\' && target[1] == '\\'))
        snprintf(full, sizeof full, "%s%s%s", panelPath,
                 panelPath[0] && panelPath[strlen(panelPath) - 1] != '\\' ? "\\" : "", target);
    else
        lstrcpynA(full, target, sizeof full);
    lstrcpynA(target, full, (int)size);
}

} // namespace

void ArcShowPackDialog(HWND owner) {
    int panel = gApp->activePanel & 1;
    if (gApp->panels[panel].location) {
        MessageBeep(MB_ICONHAND); // packing from inside an archive or a remote place
        return;
    }
    char name[260];
    uint16_t flags = 0;
    uint32_t marked = 0;
    if (!FirstEntry(panel, name, sizeof name, &flags, &marked) || ((flags & kEntryUpDir) && marked > 1) ||
        ((flags & kEntryUpDir) && marked == 0)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    JobRecord job = {};
    job.jobCode = kJobCodePack;
    job.titleId = Txt::dlgPack;
    job.captionId = Txt::dlgPackFrom;
    job.sourcePanel = (uint16_t)panel;
    job.itemCount = marked;
    lstrcpynA(job.sourceDir, gApp->panelPath[panel], sizeof job.sourceDir);
    bool dirs = marked ? PanelCountMarkedDirs(panel) > 0 : (flags & kEntryFolder) != 0;
    if (dirs)
        job.flags |= kJobInclSubDirs;
    uint16_t n = gApp->packerNumber;
    if ((n >= 10001 && n <= 10005) || n == 10007 || n == 10008 || (n >= 10019 && n <= 10022))
        gApp->packerNumber = kArcFormatZip;
    PackDialogData d = {&job, false, gApp->packerNumber, marked, {}};
    lstrcpynA(d.single, name, sizeof d.single);
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgPack), owner, PackDialogProc, (LPARAM)&d) != 1)
        return;
    if (!job.target[0])
        return;
    NormaliseTarget(job.target, sizeof job.target, gApp->panelPath[panel]);
    char folder[520];
    lstrcpynA(folder, job.target, sizeof folder);
    PathCutLastComponent(folder);
    if (folder[0] && !FileIsDir(folder) && FsResultOf(FileMakeDirs(owner, folder)) != 0)
        return;
    job.flags &= ~kJobStatistics;
    JobShowDialog(owner, kDlgJobCopy, &job);
}

bool ArcShowUnpackDialog(HWND owner) {
    int panel = gApp->activePanel & 1;
    if (gApp->panels[panel].location)
        return false;
    char name[260];
    uint16_t flags = 0;
    uint32_t marked = 0;
    if (!FirstEntry(panel, name, sizeof name, &flags, &marked) || (flags & (kEntryFolder | kEntryUpDir)))
        return false;
    JobRecord job = {};
    job.jobCode = kJobCodeUnpack;
    job.titleId = Txt::dlgUnpack;
    job.captionId = Txt::dlgUnpackFrom;
    job.sourcePanel = (uint16_t)panel;
    job.itemCount = marked;
    job.flags = kJobInclSubDirs;
    lstrcpynA(job.sourceDir, gApp->panelPath[panel], sizeof job.sourceDir);
    std::string path = std::string(job.sourceDir);
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    path += name;
    PackDialogData d = {&job, true, GuessPacker(path.c_str()), marked, {}};
    lstrcpynA(d.single, name, sizeof d.single);
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgUnpack), owner, PackDialogProc, (LPARAM)&d) != 1)
        return true;
    if (!job.target[0])
        return true;
    NormaliseTarget(job.target, sizeof job.target, gApp->panelPath[panel]);
    if (!FileIsDir(job.target) && FsResultOf(FileMakeDirs(owner, job.target)) != 0)
        return true;
    job.flags &= ~kJobStatistics;
    JobShowDialog(owner, kDlgJobDelete, &job);
    return true;
}

// ---- workers ------------------------------------------------------------------

namespace {

std::string Join(const char *folder, const char *name) {
    std::string s = folder;
    if (!s.empty() && s.back() != '\\')
        s += '\\';
    return s + name;
}

std::string ArchiveFolder(const char *archive) {
    char folder[520];
    lstrcpynA(folder, archive, sizeof folder);
    PathCutLastComponent(folder);
    return folder;
}

// One file through the external packer; false stops the job.
bool PackOneFile(JobRecord *job, const std::string &file) {
    JobPairText(job, file.c_str(), job->secondName);
    uint32_t n = gApp->packerNumber;
    std::string templ, option;
    if (!PackerLookup(n, (job->flags & kJobInclSubDirs) ? kPackerAddPath : kPackerAdd, &templ))
        return false;
    int set = gApp->packerChoice & 15;
    if (set <= 2)
        option = PackerGetString(*PackerDefinitions(), n, kPackerOption1 + set);
    std::string line;
    if (!PackBuildCommand(templ, option, job->secondName, file, &line)) {
        JobErrorReport report = {job->dialog, ERROR_FILE_NOT_FOUND, templ.c_str(), 0, job};
        JobReportError(&report);
        return false;
    }
    int code = PackRunAndWait(line, ArchiveFolder(job->secondName).c_str(), &job->cancel);
    if (code != 0) {
        char text[700];
        snprintf(text, sizeof text, "%s\n(%d)", line.c_str(), code);
        JobErrorReport report = {job->dialog, -1, text, 0, job};
        JobReportError(&report);
        return false;
    }
    JobAddProgress(job, 1);
    return true;
}

bool PackFolder(JobRecord *job, const std::string &folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return true;
    bool ok = true;
    do {
        if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
            continue;
        std::string path = folder + "\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            JobReportLeftOut(job, path.c_str(), true);
            continue;
        }
        ok = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PackFolder(job, path) : PackOneFile(job, path);
    } while (ok && !JobStopped(job) && FindNextFileA(find, &data));
    FindClose(find);
    return ok;
}

} // namespace

DWORD WINAPI ArcPackJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    job->startClock = GetTickCount() | 1;
    lstrcpynA(job->secondName, job->target, sizeof job->secondName);
    if (gApp->packerNumber >= kLocationArchiveLib) {
        ArcJobPack(job);
    } else {
        JobCountSelection(job);
        for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
            if (rec->attributes & kEntryUpDir)
                continue;
            std::string path = Join(job->sourceDir, rec->name);
            bool ok = (rec->attributes & kEntryFolder)
                          ? ((job->flags & kJobInclSubDirs) ? PackFolder(job, path) : true)
                          : PackOneFile(job, path);
            if (!ok) {
                job->state = kJobStop;
                break;
            }
            JobUnmarkSourceEntry(job, rec->name);
        }
    }
    JobFinish(job);
    return 0;
}

DWORD WINAPI ArcUnpackJobThread(void *arg) {
    JobRecord *job = (JobRecord *)arg;
    job->startClock = GetTickCount() | 1;
    if (gApp->packerNumber >= kLocationArchiveLib) {
        ArcJobUnpack(job);
    } else {
        uint32_t n = gApp->packerNumber;
        for (const SelectionRecord *rec = SelListFirst(job->selection); rec && !JobStopped(job); rec = SelListNext(rec)) {
            if (rec->attributes & (kEntryFolder | kEntryUpDir))
                continue;
            std::string archive = Join(job->sourceDir, rec->name);
            lstrcpynA(job->secondName, archive.c_str(), sizeof job->secondName);
            std::string templ, line;
            if (!PackerLookup(n, (job->flags & kJobInclSubDirs) ? kPackerExtractPath : kPackerExtract, &templ)) {
                job->state = kJobStop;
                break;
            }
            if (!PackBuildCommand(templ, "", archive, n == 1 ? std::string(job->target) : std::string(), &line)) {
                JobErrorReport report = {job->dialog, ERROR_FILE_NOT_FOUND, templ.c_str(), 0, job};
                JobReportError(&report);
                job->state = kJobStop;
                break;
            }
            JobTargetText(job, rec->name, job->target);
            int code = PackRunAndWait(line, job->target, &job->cancel);
            if (code != 0) {
                char text[700];
                snprintf(text, sizeof text, "%s\n(%d)", line.c_str(), code);
                JobErrorReport report = {job->dialog, -1, text, 0, job};
                JobReportError(&report);
                job->state = kJobStop;
                break;
            }
            JobUnmarkSourceEntry(job, rec->name);
            JobEndItem(job);
        }
    }
    JobFinish(job);
    return 0;
}
