#include "fileops/ToolJobs.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AppState.h"
#include "app/Language.h"
#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "fileops/CopyJob.h"
#include "fileops/TempNames.h"
#include "fileops/FileSystem.h"
#include "fileops/FileTools.h"
#include "fileops/FreeSpace.h"
#include "fileops/Job.h"
#include "fileops/LineEnds.h"
#include "panels/Location.h"
#include "panels/PanelIter.h"

// ---- Win32 file calls ---------------------------------------------------------

uint32_t WinToolIo::OpenRead(const std::string& path, ToolHandle* h, uint64_t* size)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD high = 0;
    DWORD low = GetFileSize(f, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        DWORD e = GetLastError();
        CloseHandle(f);
        return e;
    }
    *size = ((uint64_t)high << 32) | low;
    *h = f;
    return 0;
}

uint32_t WinToolIo::CreateNew(const std::string& path, ToolHandle* h)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return GetLastError();
    // The tools create only their temporary outputs this way: held out of
    // the panels' listings until they replace their target or are removed.
    TempNameHold(path.c_str());
    *h = f;
    return 0;
}

uint32_t WinToolIo::Read(ToolHandle h, void* buffer, size_t n, size_t* got)
{
    size_t total = 0;
    while (total < n) {
        DWORD r = 0;
        if (!ReadFile((HANDLE)h, (char*)buffer + total, (DWORD)(n - total), &r, nullptr)) return GetLastError();
        if (!r) break;
        total += r;
    }
    *got = total;
    return 0;
}

uint32_t WinToolIo::Write(ToolHandle h, const void* data, size_t n)
{
    DWORD w = 0;
    if (!WriteFile((HANDLE)h, data, (DWORD)n, &w, nullptr)) return GetLastError();
    return w == n ? 0 : ERROR_DISK_FULL;
}

uint32_t WinToolIo::Close(ToolHandle h) { return CloseHandle((HANDLE)h) ? 0 : GetLastError(); }

uint32_t WinToolIo::Replace(const std::string& from, const std::string& to)
{
    // The new file takes over the old one's read-only, hidden and system
    // bits; they are lifted for the rename and put back on every path.
    DWORD old = GetFileAttributesA(to.c_str());
    const DWORD keep = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    bool lifted = old != INVALID_FILE_ATTRIBUTES && (old & keep);
    if (lifted) SetFileAttributesA(to.c_str(), old & ~keep);
    uint32_t e = 0;
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        e = GetLastError();
        if (e == ERROR_CALL_NOT_IMPLEMENTED) {
            // Windows 9x has no replacing rename: the old file steps aside
            // and comes back when the new one cannot take its place.
            e = 0;
            if (old == INVALID_FILE_ATTRIBUTES) {
                if (!MoveFileA(from.c_str(), to.c_str())) e = GetLastError();
            } else {
                std::string aside = from + ".old";
                if (!MoveFileA(to.c_str(), aside.c_str())) e = GetLastError();
                else if (!MoveFileA(from.c_str(), to.c_str())) {
                    e = GetLastError();
                    MoveFileA(aside.c_str(), to.c_str());
                } else {
                    DeleteFileA(aside.c_str());
                }
            }
        }
    }
    if (lifted) SetFileAttributesA(to.c_str(), old);
    if (!e) TempNameRelease(from.c_str());
    return e;
}

uint32_t WinToolIo::Remove(const std::string& path)
{
    uint32_t e = DeleteFileA(path.c_str()) ? 0 : GetLastError();
    TempNameRelease(path.c_str());
    return e;
}

uint32_t WinToolIo::SizeOf(const std::string& path, uint64_t* size)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return GetLastError();
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    *size = ((uint64_t)d.nFileSizeHigh << 32) | d.nFileSizeLow;
    return 0;
}

bool WinToolIo::AskOverwrite(const std::string& path)
{
    if (yesAll || (job && job->state == kJobYesAll)) return true;
    if (!job) return false;
    int answer = FileAskOverwrite(job->dialog, path.c_str());
    if (answer == kJobYesAll) yesAll = true;
    if (answer == kJobStop || answer == 2) job->state = kJobStop;
    return answer == 1 || answer == 6 || answer == kJobYesAll;
}

bool WinToolIo::Cancelled() { return job && JobStopped(job); }

uint32_t WinToolIo::FreeSpace(const std::string& folder, uint64_t* bytes)
{
    // The system's calls want a folder with its trailing backslash (a
    // share's root in particular).
    std::string dir = folder.empty() || folder.back() == '\\' ? folder : folder + '\\';
    for (;;) {
        if (SpaceGetDiskFree(dir.c_str(), nullptr, bytes, nullptr)) return 0;
        // A drive without a disk, or one that cannot say: the user may put
        // one in and try again.
        if (FileReportError(job ? job->dialog : nullptr, ERROR_NOT_READY, folder.c_str(), kCtxNotReady) != IDRETRY)
            return kToolErrCancelled;
    }
}

static int SplitNewDiskBoxReal(HWND owner, const char*)
{
    return MsgBoxId(owner, Txt::errDiskFull, nullptr, MB_OKCANCEL | MB_ICONINFORMATION);
}
int (*gSplitNewDiskBox)(HWND owner, const char* piece) = SplitNewDiskBoxReal;

bool WinToolIo::AskNewDisk(const std::string& piece)
{
    if (job && job->dialog) SendMessageA(job->dialog, kMsgJobAnimation, 0, 0);
    bool ok = gSplitNewDiskBox(job ? job->dialog : nullptr, piece.c_str()) == IDOK;
    if (job && job->dialog) SendMessageA(job->dialog, kMsgJobAnimation, 1, 0);
    if (!ok && job) job->state = kJobStop;
    return ok;
}

void WinToolIo::Progress(uint64_t bytes) { JobAddProgress64(job, &bytes); }

void WinToolIo::Note(const std::string& text)
{
    if (job && job->dialog) JobLineText(job, text.c_str());
}

// ---- shared pieces -------------------------------------------------------------

namespace {

// Reports a tool's failure; cancel and "not text" are no failure to show.
void ToolReport(JobRecord* job, uint32_t e, const std::string& path)
{
    if (!e || e == kToolErrCancelled) return;
    if (e == kToolErrNotText) {
        MsgBoxId(job->dialog, Txt::errNoText, nullptr, MB_OK | MB_ICONSTOP);
        return;
    }
    if (e == kToolErrExists) return;  // the user kept the old file
    if (e >= 0x20000000) e = ERROR_INVALID_DATA;
    FileReportError(job->dialog, (int32_t)e, path.c_str(), kCtxNone);
}

std::string ItemPath(JobRecord* job, const SelectionRecord* rec)
{
    char path[1024];
    if (SelItemFullPath(rec, job, path, sizeof path) != 0) return std::string();
    return path;
}

bool IsFolderRecord(const SelectionRecord* rec)
{
    return (rec->attributes & (kEntryFolder | kEntryUpDir)) != 0;
}

std::string WithoutExtension(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    size_t sep = name.find_last_of("\\/");
    return dot == std::string::npos || (sep != std::string::npos && dot < sep) ? name : name.substr(0, dot);
}

bool IsFolder(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A target text that is not absolute is taken relative to the source folder.
std::string AbsoluteTarget(const JobRecord* job, std::string t)
{
    for (char& c : t)
        if (c == '/') c = '\\';
    if ((t.size() > 1 && t[0] == '\\' && t[1] == '\\') || (t.size() > 1 && t[1] == ':')) return t;
    if (!t.empty() && t[0] == '\\') t.erase(0, 1);
    std::string folder = job->sourceDir;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + t;
}

struct ToolDialogData {
    JobRecord* job;
    int templ;
    std::string label;
    int method;       // combo selection
    bool checks[3];
};

INT_PTR CALLBACK ToolDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ToolDialogData* d = (ToolDialogData*)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        WndCenter(dialog);
        d = (ToolDialogData*)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)d);
        LangApplyToDialog(dialog, nullptr);
        SetDlgItemTextA(dialog, kIdToolLabel, d->label.c_str());
        SendDlgItemMessageA(dialog, kIdToolTarget, EM_LIMITTEXT, 259, 0);
        SetDlgItemTextA(dialog, kIdToolTarget, d->job->target);
        HWND combo = GetDlgItem(dialog, kIdToolMethod);
        if (d->templ == kDlgEncode)
            for (const char* m : {"UUEncode", "XXEncode", "MIME Base 64"})
                SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)m);
        if (d->templ == kDlgSumCreate)
            for (const char* m : {"SFV", "MD5"})
                SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)m);
        if (combo) SendMessageA(combo, CB_SETCURSEL, d->method, 0);
        for (int i = 0; i < 3; i++)
            CheckDlgButton(dialog, kIdToolCheck1 + (i == 2 ? 3 : i), d->checks[i] ? BST_CHECKED : BST_UNCHECKED);
        SendDlgItemMessageA(dialog, kIdToolTarget, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, kIdToolTarget));
        return FALSE;
    }
    case WM_COMMAND:
        if (!d)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
        case 99: {
            char text[520];
            GetDlgItemTextA(dialog, kIdToolTarget, text, sizeof text);
            lstrcpynA(d->job->target, text, sizeof d->job->target);
            HWND combo = GetDlgItem(dialog, kIdToolMethod);
            if (combo) d->method = (int)SendMessageA(combo, CB_GETCURSEL, 0, 0);
            for (int i = 0; i < 3; i++)
                d->checks[i] = IsDlgButtonChecked(dialog, kIdToolCheck1 + (i == 2 ? 3 : i)) == BST_CHECKED;
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// The subject of a command on the active panel: marked entries or the cursor
// entry. False (after a beep) when there is none, or a virtual location.
bool ToolSubject(JobRecord* job, std::string* first, bool* anyFolder, bool bothLocal)
{
    if (!gApp) return false;
    int source = gApp->activePanel & 1;
    if (gApp->panels[source].location || (bothLocal && gApp->panels[source ^ 1].location)) {
        MessageBeep(MB_ICONHAND);
        return false;
    }
    job->sourcePanel = (uint16_t)source;
    lstrcpynA(job->sourceDir, gApp->panelPath[source], sizeof job->sourceDir);
    uint32_t marked = PanelCountMarked(source);
    PanelIter it;
    FileEntry* e = PanelFirstMarked(&it, source);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, source);
    }
    if (!e || (EntryIsUpDir(e) && marked < 2)) {
        PanelIterEnd(&it);
        MessageBeep(MB_ICONHAND);
        return false;
    }
    *first = EntryName(e);
    job->itemInfo = e->flags;
    PanelIterEnd(&it);
    *anyFolder = PanelCountMarkedDirs(source) > 0 || (!marked && (job->itemInfo & kEntryFolder));
    job->itemCount = marked;
    return true;
}

std::string OtherFolder()
{
    std::string f = gApp->panelPath[(gApp->activePanel & 1) ^ 1];
    if (!f.empty() && f.back() != '\\') f += '\\';
    return f;
}

void StartJob(HWND owner, JobRecord* job, uint16_t code, int title, int caption, int templ)
{
    job->jobCode = code;
    job->titleId = (uint16_t)title;
    job->captionId = (uint16_t)caption;
    job->cancel = 0;
    JobShowDialog(owner, templ, job);
}

} // namespace

// ---- line ends -----------------------------------------------------------------

void CrLfCommand(HWND owner, int commandId)
{
    JobRecord job = {};
    std::string first;
    bool anyFolder;
    if (!ToolSubject(&job, &first, &anyFolder, true)) return;
    ToolDialogData d = {&job, kDlgCrLf, "", 0, {false, false, false}};
    char label[300];
    if (job.itemCount < 2) snprintf(label, sizeof label, " %s to", first.c_str());
    else snprintf(label, sizeof label, " %lu files to", (unsigned long)job.itemCount);
    d.label = label;
    std::string target = OtherFolder();
    if (job.itemCount < 2 && !(job.itemInfo & kEntryFolder)) target += first;
    lstrcpynA(job.target, target.c_str(), sizeof job.target);
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgCrLf), owner, ToolDialogProc, (LPARAM)&d) != 1) return;
    job.itemInfo = (uint32_t)commandId;
    job.flags = kJobStatistics;
    StartJob(owner, &job, kJobCodeCrLf, Txt::txtDlgCrLf, Txt::txtCrLfFr, kDlgJobCopy);
}

DWORD WINAPI CrLfJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    WinToolIo io;
    io.job = job;
    int16_t mode = (int16_t)job->itemInfo;
    std::string target = AbsoluteTarget(job, job->target);
    bool intoFolder = IsFolder(target);
    JobCountList(job, job->selection);
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (rec->attributes & kEntryUpDir) continue;
        std::string source = ItemPath(job, rec);
        if (IsFolderRecord(rec)) {
            JobLineText(job, ("Folders are not converted: " + source).c_str());
            job->errors++;
            continue;
        }
        std::string out = intoFolder ? ToolJoinPath(io, target, rec->name) : target;
        JobPairText(job, source.c_str(), out.c_str());
        uint64_t size;
        bool inPlace = PathIsSameFile(source.c_str(), out.c_str());
        if (!inPlace && io.SizeOf(out, &size) == 0 && !io.AskOverwrite(out)) {
            JobEndItem(job);
            continue;
        }
        uint32_t e = ToolCrLfFile(&io, source, inPlace ? source : out, mode, inPlace);
        if (e == kToolErrNotText) {
            job->errors++;
        } else if (e) {
            ToolReport(job, e, source);
            job->state = kJobStop;
        } else {
            job->filesDone++;
            JobUnmarkSourceEntry(job, rec->name);
        }
        JobEndItem(job);
    }
    JobFinish(job);
    return 0;
}

// ---- checksum lists --------------------------------------------------------------

void SumCreateCommand(HWND owner)
{
    JobRecord job = {};
    std::string first;
    bool anyFolder;
    if (!ToolSubject(&job, &first, &anyFolder, true)) return;
    if (anyFolder) {
        MsgBoxId(owner, Txt::txtNoDir, nullptr, MB_OK | MB_ICONSTOP);
        return;
    }
    std::string folder = job.sourceDir;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    std::string base = job.itemCount < 2 ? WithoutExtension(first) : ToolBaseName(job.sourceDir);
    if (base.empty()) base = "checksums";
    int method = gApp->crcMode == 1 ? 1 : 0;
    lstrcpynA(job.target, (folder + base + (method ? ".md5" : ".sfv")).c_str(), sizeof job.target);
    ToolDialogData d = {&job, kDlgSumCreate, "", method, {(gApp->moreOptions & 0x10000) != 0, false, false}};
    char label[300];
    if (job.itemCount < 2) snprintf(label, sizeof label, " %s to", first.c_str());
    else snprintf(label, sizeof label, " %lu files to", (unsigned long)job.itemCount);
    d.label = label;
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgSumCreate), owner, ToolDialogProc, (LPARAM)&d) != 1) return;
    gApp->crcMode = (uint16_t)(d.method == 1);
    gApp->moreOptions = (gApp->moreOptions & ~0x10000u) | (d.checks[0] ? 0x10000u : 0);
    job.itemInfo = d.method == 1 ? 2 : 1;
    job.flags = d.checks[0] && job.itemCount > 1 ? 0x10000 : 0;
    StartJob(owner, &job, kJobCodeChecksums, Txt::dlgCreateCRC, Txt::dlgCreateCRC, kDlgJobCopy);
}

DWORD WINAPI SumCreateJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    WinToolIo io;
    io.job = job;
    SumListKind kind = job->itemInfo == 2 ? kSumMd5Bin : kSumSfv;
    const char* ext = kind == kSumSfv ? ".sfv" : ".md5";
    std::string target = AbsoluteTarget(job, job->target);
    std::vector<std::string> files;
    JobCountList(job, job->selection);
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if (IsFolderRecord(rec)) continue;
        std::string path = ItemPath(job, rec);
        if (job->flags & 0x10000) {
            std::string list = ToolJoinPath(io, target, WithoutExtension(rec->name) + ext);
            JobPairText(job, path.c_str(), list.c_str());
            uint64_t size;
            if (io.SizeOf(list, &size) == 0 && !io.AskOverwrite(list)) {
                JobEndItem(job);
                continue;
            }
            uint32_t e = ToolSumCreate(&io, list, kind, {path});
            if (e) {
                ToolReport(job, e, list);
                job->state = kJobStop;
                break;
            }
        } else {
            files.push_back(path);
        }
        job->filesDone++;
        JobUnmarkSourceEntry(job, rec->name);
        JobEndItem(job);
    }
    if (!files.empty() && !JobStopped(job)) {
        uint64_t size;
        JobPairText(job, files[0].c_str(), target.c_str());
        if (io.SizeOf(target, &size) != 0 || io.AskOverwrite(target)) {
            uint32_t e = ToolSumCreate(&io, target, kind, files);
            ToolReport(job, e, target);
        }
    }
    JobFinish(job);
    return 0;
}

// ---- encoding ---------------------------------------------------------------------

void UuCommand(HWND owner, const char* sourcePath)
{
    JobRecord job = {};
    std::string source;
    if (sourcePath) {
        source = sourcePath;
    } else {
        std::string first;
        bool anyFolder;
        if (!ToolSubject(&job, &first, &anyFolder, true)) return;
        if (job.itemInfo & kEntryFolder) {
            MessageBeep(MB_ICONHAND);
            return;
        }
        source = std::string(job.sourceDir) + (job.sourceDir[0] && job.sourceDir[strlen(job.sourceDir) - 1] == '\\'
                                                   ? ""
                                                   : "\\") + first;
    }
    static const char* const kExt[] = {".uue", ".xxe", ".b64"};
    int method = gApp->uuMode <= 2 ? gApp->uuMode : 0;
    lstrcpynA(job.target, (OtherFolder() + WithoutExtension(ToolBaseName(source)) + kExt[method]).c_str(),
              sizeof job.target);
    lstrcpynA(job.secondName, source.c_str(), sizeof job.secondName);
    ToolDialogData d = {&job, kDlgEncode, "Encode " + ToolBaseName(source) + " to", method, {false, false, false}};
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgEncode), owner, ToolDialogProc, (LPARAM)&d) != 1) return;
    gApp->uuMode = (uint16_t)(d.method < 0 ? 0 : d.method);
    job.itemInfo = (uint32_t)gApp->uuMode + 1;
    StartJob(owner, &job, kJobCodeEncode, Txt::txtEncode, Txt::txtEncodeFr, kDlgJobCopy);
}

DWORD WINAPI UuJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    WinToolIo io;
    io.job = job;
    std::string source = job->secondName;
    std::string target = AbsoluteTarget(job, job->target);
    uint64_t size = 0;
    io.SizeOf(source, &size);
    job->total = size;
    JobPairText(job, source.c_str(), target.c_str());
    uint32_t e = 0;
    if (io.SizeOf(target, &size) == 0 && !io.AskOverwrite(target)) e = kToolErrExists;
    else e = ToolEncodeFile(&io, source, target, (int)job->itemInfo);
    if (e == kToolErrSameFile) MsgBoxId(job->dialog, Txt::errCopyItself, nullptr, MB_OK | MB_ICONSTOP);
    else ToolReport(job, e, source);
    JobFinish(job);
    return 0;
}

// ---- split and join ---------------------------------------------------------------

void SplitCommand(HWND owner)
{
    JobRecord job = {};
    std::string first;
    bool anyFolder;
    if (!ToolSubject(&job, &first, &anyFolder, false)) return;
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (job.itemCount > 1) {
        if (anyFolder) {
            MessageBeep(MB_ICONHAND);
            return;
        }
        lstrcpynA(job.target, (OtherFolder() + WithoutExtension(first)).c_str(), sizeof job.target);
        char label[64];
        snprintf(label, sizeof label, "Join %lu files to", (unsigned long)job.itemCount);
        ToolDialogData d = {&job, kDlgJoin, label, 0, {(gApp->moreOptions & kJoinDeleteSources) != 0, false, false}};
        if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgJoin), owner, ToolDialogProc, (LPARAM)&d) != 1) return;
        gApp->moreOptions = (gApp->moreOptions & ~kJoinDeleteSources) | (d.checks[0] ? kJoinDeleteSources : 0);
        job.flags = d.checks[0] ? kJoinDeleteSources : 0;
        StartJob(owner, &job, kJobCodeJoin, Txt::txtJoin, Txt::txtJoin2, kDlgJobCopy);
        return;
    }
    if (job.itemInfo & kEntryFolder) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    lstrcpynA(job.secondName, first.c_str(), sizeof job.secondName);
    lstrcpynA(job.target, (OtherFolder() + first).c_str(), sizeof job.target);
    // The source's size (for the piece count) travels in total, the piece
    // size in bytesSelected: a source that fits a diskette is one piece.
    WIN32_FILE_ATTRIBUTE_DATA info;
    std::string source = ToolJoinPath(WinToolIo(), job.sourceDir, first);
    if (GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &info))
        job.total = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    job.bytesSelected = job.total && job.total < 1457665 ? job.total : 1457664;
    SplitDialogData d = {&job, gApp->splitLines, ""};
    lstrcpynA(d.sourceName, first.c_str(), sizeof d.sourceName);
    job.flags = gApp->moreOptions & ~kJobStatistics;
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgSplit), owner, SplitDialogProc, (LPARAM)&d) != 1) return;
    gApp->moreOptions = (gApp->moreOptions & ~kSplitFlags) | (job.flags & kSplitFlags);
    gApp->splitLines = d.lines;
    StartJob(owner, &job, kJobCodeSplit, Txt::txtSplit, Txt::txtSplit2, kDlgJobCopy);
}

DWORD WINAPI SplitJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    WinToolIo io;
    io.job = job;
    SplitParams p;
    std::string folder = job->sourceDir;
    p.source = ToolJoinPath(io, folder, job->secondName);
    p.base = AbsoluteTarget(job, job->target);
    p.pieceSize = job->bytesSelected;
    p.autosize = (job->flags & kSplitAutosize) != 0;
    p.wholeLines = (job->flags & kSplitText) != 0;
    p.linesPerPiece = p.wholeLines && (job->flags & kSplitByLines) && gApp ? gApp->splitLines : 0;
    p.makeRestore = (job->flags & kSplitRestore) != 0;
    p.deleteSource = (job->flags & kSplitDeleteSource) != 0;
    io.SizeOf(p.source, &job->total);
    JobPairText(job, p.source.c_str(), p.base.c_str());
    uint32_t pieces = 0;
    uint32_t e = ToolSplitFile(&io, p, &pieces);
    ToolReport(job, e, p.source);
    if (e) job->state = kJobStop;
    JobFinish(job);
    return 0;
}

DWORD WINAPI JoinJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    WinToolIo io;
    io.job = job;
    std::vector<std::string> pieces;
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec; rec = SelListNext(rec))
        if (!IsFolderRecord(rec)) pieces.push_back(ItemPath(job, rec));
    std::string target = AbsoluteTarget(job, job->target);
    JobCountList(job, job->selection);
    uint32_t e = ToolJoinFiles(&io, pieces, target, (job->flags & kJoinDeleteSources) != 0);
    if (e == kToolErrSameFile) MsgBoxId(job->dialog, Txt::errCopyItself, nullptr, MB_OK | MB_ICONSTOP);
    else ToolReport(job, e, target);
    if (e) job->state = kJobStop;
    JobFinish(job);
    return 0;
}
