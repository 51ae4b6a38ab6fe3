// The copy, move and rename command with its dialogs (10100, 10104, 10110)
// and the overwrite questions (10400, 10404).
#include "AppState.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/DateTime.h"
#include "base/Numbers.h"
#include "wingui/ShellServices.h"
#include "base/Strings.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/CaseMask.h"
#include "fileops/CopyJob.h"
#include "fileops/FileSystem.h"
#include "fileops/FreeSpace.h"
#include "fileops/Job.h"
#include "panels/FilterDialog.h"
#include "panels/Location.h"
#include "panels/PanelIter.h"
#include "app/bars/FunctionKeys.h"
#include "panels/PanelRefresh.h"
#include "frontends/ArcFrontEnd.h"
#include "frontends/CeFrontEnd.h"
#include "tools/DropTarget.h"
#include "panels/PanelRename.h"

static void DlgTextById(HWND dialog, int control, int textId)
{
    char text[260] = "";
    if (gApp && gApp->langTable)
        LangGetText(gApp->langTable, textId, text, sizeof text);
    if (text[0])
        SetDlgItemTextA(dialog, control, text);
}

static void DlgCaptionById(HWND dialog, int textId)
{
    char text[260] = " ";
    if (gApp && gApp->langTable)
        LangGetText(gApp->langTable, textId, text + 1, sizeof text - 1);
    if (text[1])
        SetWindowTextA(dialog, text);
}

static int FormatText(char *out, size_t size, int id, ...)
{
    va_list args;
    va_start(args, id);
    const LanguageTable *english = BuiltinLanguageTables[kBuiltinEnglish];
    int n = LangFormatV(gApp && gApp->langTable ? gApp->langTable : english, english, id, out, size, args);
    va_end(args);
    return n;
}

static bool IsRefusedArchiveKind(uint16_t kind)
{
    return (kind >= 10001 && kind <= 10003) || kind == 10007 || kind == 10009 || kind == 10010 ||
           (kind >= 10019 && kind <= 10022);
}

static bool HidesStatisticsAsTarget(uint16_t kind)
{
    return kind == 10004 || kind == 10005 || kind == 10008 || (kind >= 10019 && kind <= 10022);
}

// ---- the copy dialog -------------------------------------------------------------

static void CopyDialogInit(HWND dialog, JobRecord *job)
{
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)job);
    DlgCaptionById(dialog, job->titleId);
    static const int kTexts[] = {kIdInclSubDirs, kIdCheckSpace, kIdVerify, kIdNewer, kIdFilterButton,
                                 kIdWithFilter,  kIdStatistics, IDOK + 98, IDCANCEL};
    for (int id : kTexts)
        DlgTextById(dialog, id, id);
    SendDlgItemMessageA(dialog, kIdCopyTarget, EM_LIMITTEXT, 260, 0);

    uint16_t sourceKind = job->sourceLocation ? job->sourceLocation->kind : 0;
    uint16_t targetKind = job->targetLocation ? job->targetLocation->kind : 0;
    bool hideStats = job->jobCode != 1029 || (job->sourceLocation && sourceKind < 10000) ||
                     HidesStatisticsAsTarget(targetKind);
    if (hideStats) {
        ShowWindow(GetDlgItem(dialog, kIdStatistics), SW_HIDE);
        job->cancel = 1; // tells the command to drop the statistics flag
    }

    int panel = job->sourcePanel & 1;
    uint32_t marked = PanelCountMarked(panel);
    char name[MAX_PATH] = "";
    PanelIter it;
    FileEntry *e = PanelFirstMarked(&it, panel);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, panel);
    }
    bool isFolder = e && EntryIsFolder(e);
    if (e)
        lstrcpynA(name, EntryName(e), sizeof name);
    PanelIterEnd(&it);
    // Container lines and dropped names are not the panel's: the record
    // holds their count, the first one's name and its attributes.
    bool fromList = job->jobCode >= kJobCodeContainerCopy && job->jobCode <= kJobCodeDropDelete;
    if (fromList) {
        marked = job->itemCount > 1 ? job->itemCount : 0;
        lstrcpynA(name, job->target, sizeof name);
        isFolder = job->itemInfo != 0xFFFFFFFFu && (job->itemInfo & FILE_ATTRIBUTE_DIRECTORY);
    }

    char label[600];
    bool one = marked <= 1;
    bool copies = job->jobCode == kJobCodeCopy || job->jobCode == kJobCodeContainerCopy ||
                  job->jobCode == kJobCodeDropCopy || job->jobCode == kJobCodeDropCopyAsk;
    bool moves = job->jobCode == kJobCodeMove || job->jobCode == kJobCodeContainerMove || job->jobCode == kJobCodeDropMove;
    int id = copies ? (one ? Txt::txtCopy1 : Txt::txtCopyN)
             : moves ? (one ? Txt::txtMove1 : Txt::txtMoveN)
                     : (one ? Txt::txtRename1 : Txt::txtRenameN);
    if (one)
        FormatText(label, sizeof label, id, name);
    else
        FormatText(label, sizeof label, id, (unsigned long)marked);
    SetDlgItemTextA(dialog, kIdCopyLabel, label);

    char edit[600] = "";
    if (job->jobCode == 1031) {
        lstrcpynA(edit, one ? name : "*.*", sizeof edit);
    } else {
        lstrcpynA(edit, gApp ? gApp->panelPath[panel ^ 1] : "", sizeof edit);
        if (gApp && !fromList && job->targetLocation && job->targetLocation->kind < kLocationFtp)
            ArcGetPanelPath(panel ^ 1, edit, sizeof edit); // the archive and the level inside it
        if (one && !isFolder && !HidesStatisticsAsTarget(targetKind)) {
            char fixed[MAX_PATH];
            lstrcpynA(fixed, name, sizeof fixed);
            PathFixInvalidChars(fixed);
            size_t n = strlen(edit);
            if (n && edit[n - 1] != '\\')
                StrAppend(edit, "\\", sizeof edit);
            StrAppend(edit, fixed, sizeof edit);
        }
    }
    SetDlgItemTextA(dialog, kIdCopyTarget, edit);
    SendDlgItemMessageA(dialog, kIdCopyTarget, EM_SETSEL, 0, -1);

    bool subDirs = fromList || PanelCountMarkedDirs(panel) > 0 || (marked == 0 && isFolder);
    CheckDlgButton(dialog, kIdInclSubDirs, subDirs ? BST_CHECKED : BST_UNCHECKED);
    bool located = job->sourceLocation || job->targetLocation;
    struct Option {
        int id;
        uint32_t flag;
    } options[] = {{kIdCheckSpace, kJobCheckSpace}, {kIdNewer, kJobNewerOnly}, {kIdWithFilter, kJobUseFilter},
                   {kIdVerify, kJobVerify}};
    for (const Option &o : options) {
        CheckDlgButton(dialog, o.id, (job->flags & o.flag) ? BST_CHECKED : BST_UNCHECKED);
        if (located)
            EnableWindow(GetDlgItem(dialog, o.id), FALSE);
    }
    CheckDlgButton(dialog, kIdStatistics, (job->flags & kJobStatistics) ? BST_CHECKED : BST_UNCHECKED);
    if (!GetDlgItem(dialog, kIdWithFilter))
        EnableWindow(GetDlgItem(dialog, kIdInclSubDirs), MaskHasCaseMarks(edit));
    SetFocus(GetDlgItem(dialog, kIdCopyTarget));
}

static void CopyDialogOk(HWND dialog, JobRecord *job)
{
    GetDlgItemTextA(dialog, kIdCopyTarget, job->target, 261);
    struct Option {
        int id;
        uint32_t flag;
    } options[] = {{kIdInclSubDirs, kJobInclSubDirs}, {kIdCheckSpace, kJobCheckSpace}, {kIdNewer, kJobNewerOnly},
                   {kIdWithFilter, kJobUseFilter},    {kIdVerify, kJobVerify},          {kIdStatistics, kJobStatistics}};
    for (const Option &o : options) {
        if (!GetDlgItem(dialog, o.id))
            continue;
        if (IsDlgButtonChecked(dialog, o.id))
            job->flags |= o.flag;
        else
            job->flags &= ~o.flag;
    }
}

INT_PTR CALLBACK CopyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    JobRecord *job = (JobRecord *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        WndCenter(dialog);
        CopyDialogInit(dialog, (JobRecord *)lParam);
        job = (JobRecord *)lParam;
        if (job->jobCode == 1038 || job->jobCode == 1040 || job->jobCode == 1062)
            PostMessageA(dialog, WM_COMMAND, IDOK + 98, 0);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDOK + 98:
            CopyDialogOk(dialog, job);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case kIdCopyTarget:
            if (HIWORD(wParam) == EN_CHANGE && !GetDlgItem(dialog, kIdWithFilter)) {
                char text[300];
                GetDlgItemTextA(dialog, kIdCopyTarget, text, sizeof text);
                EnableWindow(GetDlgItem(dialog, kIdInclSubDirs), MaskHasCaseMarks(text));
            }
            return TRUE;
        case kIdBrowse:
            DlgBrowseFolderEdit(dialog, kIdCopyTarget);
            return TRUE;
        case kIdFilterButton:
            if (gApp)
                FilterDialogShow(dialog, &gApp->syncFilter);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// ---- the command -----------------------------------------------------------------

static void FreeClones(JobRecord *job)
{
    LocationCloneFree(job->sourceLocation);
    LocationCloneFree(job->targetLocation);
    job->sourceLocation = job->targetLocation = nullptr;
}

// Turns the typed target into a path the worker can use; false ends the
// command.
// Relative names start at `base` (the source folder; for a device source
// the other panel's folder).
static bool CopyPrepareTarget(HWND owner, JobRecord *job, uint32_t marked, const char *base)
{
    char *t = job->target;
    if (PathIsDriveChar(t[0]) && t[1] == ':' && CharFoldUpper((unsigned char)t[0]) !=
                                                    CharFoldUpper((unsigned char)job->sourceDir[0])) {
        if (FileSetDrive(owner, t[0]))
            return false;
    }
    char full[520] = "";
    if (PathIsDriveChar(t[0]) && t[1] == ':' && t[2] == 0) {
        snprintf(full, sizeof full, "%c:\\", t[0]);
    } else if ((t[0] == '\\' || t[0] == '/') && t[1] != '\\' && t[1] != '/') {
        snprintf(full, sizeof full, "%.2s%s", base, t);
    } else if (!PathHasDriveColon(t) && !(t[0] == '\\' && t[1] == '\\')) {
        snprintf(full, sizeof full, "%s%s%s", base, base[0] && base[strlen(base) - 1] != '\\' ? "\\" : "", t);
    } else {
        lstrcpynA(full, t, sizeof full);
    }
    if (strlen(full) >= MAX_PATH) {
        FileReportError(owner, ERROR_FILENAME_EXCED_RANGE, full, kCtxNone);
        return false;
    }
    lstrcpynA(job->target, full, sizeof job->target);
    if (job->jobCode == 1031)
        return true;
    if (marked) {
        if (StrHasWildcards(job->target)) {
            // Keep the mask: the worker applies it to each name.
        } else if (marked > 1 && !FileIsDir(job->target)) {
            if (FsResultOf(FileMakeDirs(owner, job->target)))
                return false;
        }
    } else if (!FileIsDir(job->target)) {
        char parent[MAX_PATH];
        lstrcpynA(parent, job->target, sizeof parent);
        PathCutLastComponent(parent);
        if (parent[0] && !FileIsDir(parent) && FsResultOf(FileMakeDirs(owner, parent)))
            return false;
    }
    return true;
}

static uint64_t RoundToCluster(uint64_t size, uint32_t cluster)
{
    if (cluster < 2)
        return size;
    return (size + cluster - 1) / cluster * cluster;
}

// Bytes a tree takes on the target, each file in whole clusters.
static uint64_t TreeNeed(const char *folder, uint32_t cluster)
{
    uint64_t need = 0;
    DirListRecord *list = DirReadList(folder);
    for (const DirListRecord *r = list; r && r->length; r = DirListNext(r))
        if (DirListEnters(r))
            need += TreeNeed(r->path, cluster);
        else if (!(r->attributes & FILE_ATTRIBUTE_DIRECTORY))
            need += RoundToCluster(r->size, cluster);
    DirFreeList(list);
    return need;
}

static bool CopyCheckSpace(HWND owner, JobRecord *job)
{
    if (!(job->flags & kJobCheckSpace))
        return true;
    bool otherDrive = CharFoldUpper((unsigned char)job->target[0]) != CharFoldUpper((unsigned char)job->sourceDir[0]);
    if (job->jobCode != 1029 && !otherDrive)
        return true;
    char root[4] = "x:\\";
    root[0] = (char)CharFoldUpper((unsigned char)job->target[0]);
    uint32_t cluster = 0;
    uint64_t freeBytes = 0;
    if (!SpaceGetDiskFree(root, &cluster, &freeBytes, nullptr))
        return true;
    void *list = JobBuildSelection(job);
    JobRecord probe = *job;
    probe.total = 0;
    probe.filesSelected = 0;
    JobCountList(&probe, list);
    uint64_t need = 0;
    for (const SelectionRecord *r = SelListFirst(list); r; r = SelListNext(r)) {
        char path[MAX_PATH];
        if (r->attributes & kEntryUpDir)
            continue;
        if (!(r->attributes & kEntryFolder))
            need += RoundToCluster(r->size, cluster);
        else if ((job->flags & kJobInclSubDirs) && SelItemFullPath(r, job, path, sizeof path) == 0)
            need += TreeNeed(path, cluster);
    }
    free(list);
    job->total = probe.total;
    job->filesSelected = probe.filesSelected;
    if (freeBytes >= need)
        return true;
    char a[kNumberTextSize], b[kNumberTextSize], text[600];
    StrFormatNumber64(&need, a);
    StrFormatNumber64(&freeBytes, b);
    FormatText(text, sizeof text, Txt::askSpace, a, b);
    return MsgBox(owner, text, gWindowTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CopyCommand(HWND owner, int code)
{
    if (!gApp)
        return;
    JobRecord job = {};
    int source = gApp->activePanel & 1;
    int target = source ^ 1;
    job.jobCode = (uint16_t)code;
    job.sourcePanel = (uint16_t)source;
    lstrcpynA(job.sourceDir, gApp->panelPath[source], sizeof job.sourceDir);
    LocationNode *sl = gApp->panels[source].location, *tl = gApp->panels[target].location;
    if (code == 1031)
        // a rename stays where its entries are: on the device its target is too
        tl = sl && sl->kind == kLocationCeDevice ? sl : nullptr;
    if (sl && tl && !((sl->kind == kLocationFtp && tl->kind == kLocationFtp) ||
                      (sl->kind == kLocationCeDevice && tl->kind == kLocationCeDevice)))
        return;
    job.sourceLocation = sl ? LocationClone(sl) : nullptr;
    job.targetLocation = tl ? LocationClone(tl) : nullptr;
    if ((sl && !job.sourceLocation) || (tl && !job.targetLocation)) {
        FreeClones(&job);
        return;
    }
    // Archive, FTP and device sides go through their front ends; copying
    // out of an archive, FTP and the device are there, the rest is refused
    // like an impossible combination.
    bool archiveOut = code == 1029 && sl && sl->kind < kLocationFtp && !tl;
    // Only into an archive of the file system: a level opened inside another
    // archive is a copy in the temporary folder, and what went there would
    // never reach the outer archive.
    bool archiveIn = (code == 1029 || code == 1030) && !sl && tl && tl->kind < kLocationFtp &&
                     !LocationFollowsParent(tl);
    bool ftp = (sl || tl) && (!sl || sl->kind == kLocationFtp) && (!tl || tl->kind == kLocationFtp);
    bool device = CeJobHasDevice(&job);
    if (!device && ((code != 1029 && sl && IsRefusedArchiveKind(sl->kind)) ||
                    (tl && IsRefusedArchiveKind(tl->kind)) || ((sl || tl) && !archiveOut && !archiveIn && !ftp))) {
        MessageBeep(MB_ICONHAND);
        FreeClones(&job);
        return;
    }

    uint32_t marked = PanelCountMarked(source);
    PanelIter it;
    FileEntry *e = PanelFirstMarked(&it, source);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, source);
    }
    if (!e || (EntryIsUpDir(e) && marked > 1)) {
        PanelIterEnd(&it);
        MessageBeep(MB_ICONHAND);
        FreeClones(&job);
        return;
    }
    // Everything the entry tells is read while the list is held: once the
    // iteration ends a refresh may free it.
    bool isFolder = EntryIsFolder(e);
    bool upDir = EntryIsUpDir(e);
    lstrcpynA(job.target, EntryName(e), sizeof job.target);
    job.itemInfo = e->flags;
    PanelIterEnd(&it);
    e = nullptr;
    if (upDir && marked == 0) {
        // Nothing to copy: the cursor is on "..".
        MessageBeep(MB_ICONHAND);
        FreeClones(&job);
        return;
    }
    // With nothing marked the cursor entry is renamed in place; where the
    // panel cannot show the box (Tree mode, no list window) the rename
    // dialog asks instead.
    if (code == 1031 && marked == 0 && PanelStartRename()) {
        KeyBarSetShift(0);
        FreeClones(&job);
        return;
    }

    static const uint16_t kTitles[3][2] = {{Txt::dlgCopy, Txt::dlgCopyFrom},
                                           {Txt::dlgMove, Txt::dlgMoveFrom},
                                           {Txt::dlgRename, Txt::dlgRenameFrom}};
    job.titleId = kTitles[code - 1029][0];
    job.captionId = kTitles[code - 1029][1];
    int templ = code == 1031 ? kDlgRename
                : ((marked <= 1 && !isFolder) || sl || tl) ? kDlgCopySimple
                                                           : kDlgCopyOptions;
    job.flags = JobFlagsFromOptions(gApp->generalOptions);
    job.itemCount = marked;

    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(templ), owner, CopyDialogProc, (LPARAM)&job) != 1) {
        FreeClones(&job);
        return;
    }
    gApp->generalOptions = JobOptionsFromFlags(gApp->generalOptions, job.flags);
    if (job.cancel || code != 1029)
        job.flags &= ~kJobStatistics;
    job.cancel = 0;
    if (templ == kDlgCopySimple)
        job.flags = (job.flags & (kJobStatistics | kJobNewerOnly)) | kJobInclSubDirs;
    if (!job.target[0]) {
        FreeClones(&job);
        return;
    }
    if (archiveIn) {
        // A target outside the archive the panel shows is a plain folder.
        char file[MAX_PATH];
        std::string inner;
        LocationRootFile(job.targetLocation, file);
        if (!DropTargetInnerPath(job.target, file, &inner)) {
            LocationCloneFree(job.targetLocation);
            job.targetLocation = nullptr;
            tl = nullptr;
        }
    }
    if (device) {
        // Device paths: no masks, no drives, nothing made before the worker.
        bool ok = CeIsDeviceLocation(job.targetLocation)
                      ? CePrepareTarget(owner, &job, gApp->panelPath[code == 1031 ? source : target])
                      : CopyPrepareTarget(owner, &job, marked, gApp->panelPath[target]);
        if (!ok) {
            FreeClones(&job);
            return;
        }
    } else if (!tl && !(code == 1031 && (MaskHasCaseMarks(job.target) || sl))) {
        if (!CopyPrepareTarget(owner, &job, marked, job.sourceDir) || !CopyCheckSpace(owner, &job)) {
            FreeClones(&job);
            return;
        }
    }
    if (!JobShowDialog(owner, kDlgJobCopy, &job))
        FreeClones(&job);
}

// ---- the overwrite question ---------------------------------------------------------

static void StampOf(const char *path, uint16_t *date, uint16_t *time, uint64_t *size)
{
    HANDLE h;
    *date = *time = 0;
    *size = 0;
    if (FileOpen(path, &h, GENERIC_READ))
        return;
    LARGE_INTEGER li;
    if (GetFileSizeEx(h, &li))
        *size = (uint64_t)li.QuadPart;
    FILETIME write, local;
    if (GetFileTime(h, nullptr, nullptr, &write) && FileTimeToLocalFileTime(&write, &local)) {
        WORD d, t;
        if (FileTimeToDosDateTime(&local, &d, &t)) {
            *date = d;
            *time = t;
        }
    }
    FileClose(h);
}

// "<size> byte(s), <date time>" with the whole 64-bit size.
static void OverwriteInfoLine(HWND dialog, int control, const char *word, uint16_t date, uint16_t time,
                              uint64_t size)
{
    char line[200] = "";
    if (date & 0x1F) {
        char number[kNumberTextSize], stamp[40];
        StrFormatNumber64(&size, number);
        StrFormatDosDateTime(stamp, date, time, sizeof stamp);
        snprintf(line, sizeof line, "%s %s, %s", number, word, stamp);
    }
    SetDlgItemTextA(dialog, control, line);
}

struct OverwriteQuestion {
    CopyItem *item; // null for the short form
    const char *name;
    const char *path;
};

static void OverwriteInit(HWND dialog, OverwriteQuestion *q)
{
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)q);
    CopyItem *item = q->item;
    char caption[200] = "";
    LangGetText(gApp && gApp->langTable ? gApp->langTable : BuiltinLanguageTables[kBuiltinEnglish],
                item && item->job && item->job->titleId == 14330 ? 14330 : Txt::dlgExists, caption, sizeof caption);
    if (caption[0])
        SetWindowTextA(dialog, caption);
    static const int kTexts[] = {Txt::dlgOverwrite, Txt::txtOverwrFile, Txt::butOverwrite, Txt::butOverwrAll,
                                 Txt::butOverwrSkip, IDCANCEL};
    for (int id : kTexts)
        DlgTextById(dialog, id, id);
    if (!item) {
        SetDlgItemTextA(dialog, kIdOverSource, q->name);
        SetDlgItemTextA(dialog, kIdOverTarget, q->path);
        return;
    }
    SetDlgItemTextA(dialog, kIdOverSource, item->source);
    SetDlgItemTextA(dialog, kIdOverTarget, item->target);
    char word[40] = "byte(s)";
    if (gApp && gApp->langTable)
        LangGetText(gApp->langTable, Txt::txtOverwrByte, word, sizeof word);
    if (!(item->sourceDate & 0x1F) || item->sourceSize == 0)
        StampOf(item->source, &item->sourceDate, &item->sourceTime, &item->sourceSize);
    if (!(item->targetDate & 0x1F))
        StampOf(item->target, &item->targetDate, &item->targetTime, &item->targetSize);
    OverwriteInfoLine(dialog, kIdOverSourceInfo, word, item->sourceDate, item->sourceTime, item->sourceSize);
    OverwriteInfoLine(dialog, kIdOverTargetInfo, word, item->targetDate, item->targetTime, item->targetSize);
}

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        WndCenter(dialog);
        OverwriteInit(dialog, (OverwriteQuestion *)lParam);
        SetForegroundWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case kIdOverwrite:
            EndDialog(dialog, DlgEndCode(dialog, LOWORD(wParam) == IDOK ? 1 : 6));
            return TRUE;
        case kIdOverwriteAll:
            EndDialog(dialog, kJobYesAll);
            return TRUE;
        case kIdOverwriteSkip:
            EndDialog(dialog, kJobSkip);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, kJobStop);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int JobAskOverwrite(CopyItem *item)
{
    OverwriteQuestion q = {item, nullptr, nullptr};
    INT_PTR answer = JobAskDialog(item->job, kDlgOverwrite, OverwriteDialogProc, (LPARAM)&q);
    return answer < 0 ? kJobStop : (int)answer;
}

int FileAskOverwrite(HWND owner, const char *path)
{
    OverwriteQuestion q = {nullptr, path + PathFindName(path), path};
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgOverwriteFile), owner ? owner : gMainWindow,
                                     OverwriteDialogProc, (LPARAM)&q);
    return answer < 0 ? kJobStop : (int)answer;
}

// ---- the end of the in-place rename -------------------------------------------------

// A name the rename box may give an entry: no path separators, no drive, none
// of the characters no file name may hold ('<' and '>' are case masks), not
// "." or "..", and no trailing dot or blank the file system would cut.
bool RenameNameIsPlain(const char *text)
{
    size_t n = strlen(text);
    if (!n || !strcmp(text, ".") || !strcmp(text, "..") || text[n - 1] == '.' || text[n - 1] == ' ')
        return false;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (*p < 32 || strchr("\\/:*?\"|", *p))
            return false;
    }
    return true;
}

void RenameInlineFinish()
{
    if (!gApp)
        return;
    HWND edit = gApp->renameEdit;
    gApp->renameEdit = nullptr;
    if (!edit)
        return;
    char text[MAX_PATH] = "";
    GetWindowTextA(edit, text, sizeof text);
    int panel = gApp->activePanel & 1;
    if (text[0] && !RenameNameIsPlain(text)) {
        // A name, not a path: "..\\x" or "C:x" would move the entry elsewhere.
        FileReportError(gMainWindow, ERROR_INVALID_NAME, text, kCtxNone);
        PanelRequestRereadBoth();
    } else if (text[0] && !gApp->panels[panel].location) {
        char name[MAX_PATH] = "", source[MAX_PATH] = "", target[MAX_PATH] = "";
        PanelCursorName(panel, name, sizeof name);
        char folder[MAX_PATH];
        lstrcpynA(folder, gApp->panelPath[panel], sizeof folder);
        PathAddBackslash(folder);
        snprintf(source, sizeof source, "%s%s", folder, name);
        snprintf(target, sizeof target, "%s%s", folder, text);
        bool done = false;
        if (name[0] && strcmp(source, target) != 0) {
            bool go = true;
            if (MaskHasCaseMarks(text)) {
                go = PathApplyCaseMask(source, target, sizeof target, text) == 0;
            } else if (PathCompareNoCase(source, target) != 0 && FileCheckExists(target) == 0) {
                if (FileIsDir(target)) {
                    FileReportError(edit, ERROR_ALREADY_EXISTS, target, kCtxExists);
                    go = false;
                } else if (!PathIsSameFile(source, target)) {
                    JobRecord job = {};
                    CopyItem item = {};
                    lstrcpynA(item.source, source, sizeof item.source);
                    lstrcpynA(item.target, target, sizeof item.target);
                    item.job = &job;
                    OverwriteQuestion q = {&item, nullptr, nullptr};
                    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
                    INT_PTR a = DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgOverwrite), edit, OverwriteDialogProc,
                                                (LPARAM)&q);
                    go = a == kJobGoOn || a == kJobYesAll;
                }
            }
            if (go) {
                // Replace in one rename: the old file stays until the new one has its name.
                if (PathCompareNoCase(source, target) == 0) {
                    done = FileMoveCaseOnly(gMainWindow, source, target, nullptr) == 0;
                } else {
                    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
                    done = MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) != 0;
                    if (!done)
                        FileReportError(gMainWindow, 0, source, kCtxDelete);
                }
            }
        }
        if (done)
            PanelRequestRereadSelect(panel, target);
        else
            PanelRequestRereadBoth();
    } else {
        PanelRequestRereadBoth();
    }
    if (gApp->panels[panel].listWindow)
        SetFocus(gApp->panels[panel].listWindow);
    DestroyWindow(edit);
}
