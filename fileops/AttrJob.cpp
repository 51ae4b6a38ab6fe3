#include "fileops/AttrJob.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>
#include <winioctl.h>

#include <initializer_list>

#include "AppState.h"
#include "app/Language.h"
#include "base/Texts.h"
#include "fileops/AttrRules.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/CeFrontEnd.h"
#include "frontends/FtpJobs.h"
#include "panels/Filter.h"
#include "panels/Location.h"
#include "panels/FilterDialog.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "tools/ClockDialog.h"
#include "wingui/WindowUtil.h"

namespace {

// Deeper than any path of MAX_PATH characters can nest.
const int kAttrMaxDepth = 130;

uint64_t FromFileTime(const FILETIME& t) { return ((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime; }
FILETIME ToFileTime(uint64_t v)
{
    FILETIME t;
    t.dwLowDateTime = (DWORD)v;
    t.dwHighDateTime = (DWORD)(v >> 32);
    return t;
}

const char* NamePart(const char* path)
{
    const char* cut = strrchr(path, '\\');
    return cut ? cut + 1 : path;
}


// The panel entry of a handled record: unmarked (the mark moves to the
// previous-selection bit) and given the attributes the file has now.
void AttrUpdateEntry(JobRecord* job, const char* name, uint32_t attributes)
{
    if (!gApp)
        return;
    const int panel = job->sourcePanel & 1;
    char shown[MAX_PATH];
    PanelGetPath(panel, shown, sizeof shown);
    if (strcmp(shown, job->sourceDir) != 0)
        return;
    PanelIter it;
    FileEntry* e = PanelFindJobEntry(&it, job, name);
    if (e) {
        e->mark = (uint8_t)(e->mark << 1);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            const uint16_t bits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive | kAttrCompressed;
            e->flags = (uint16_t)((e->flags & ~bits) | (attributes & bits));
        }
    }
    PanelIterEnd(&it);
    if (e && gApp->panels[panel].listWindow)
        InvalidateRect(gApp->panels[panel].listWindow, nullptr, FALSE);
}

// ---- dialog -------------------------------------------------------------------

void ShowLocal(HWND dialog, int dateId, int timeId, const SYSTEMTIME& st)
{
    char text[16];
    StrFormatDate(text, st.wDay, st.wMonth, st.wYear);
    SetDlgItemTextA(dialog, dateId, text);
    StrFormatTime(text, st.wHour, st.wMinute, st.wSecond);
    SetDlgItemTextA(dialog, timeId, text);
}

bool ShowFileTime(HWND dialog, int dateId, int timeId, uint64_t utc)
{
    if (utc < kAttrNoTime)
        return false;
    FILETIME u = ToFileTime(utc), local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&u, &local) || !FileTimeToSystemTime(&local, &st))
        return false;
    ShowLocal(dialog, dateId, timeId, st);
    return true;
}

// The pair's text as a UTC time: 0 for an empty date, false (after the
// message, with the focus on the field) for text that is no date or time.
bool ReadPair(HWND dialog, int dateId, int timeId, uint64_t* utc)
{
    char date[16] = "", time[16] = "";
    GetDlgItemTextA(dialog, dateId, date, sizeof date);
    GetDlgItemTextA(dialog, timeId, time, sizeof time);
    *utc = 0;
    if (!date[0])
        return true;
    unsigned day, month, year, hour = 0, minute = 0, second = 0;
    if (StrParseDate(date, &day, &month, &year) != 0 || year < 1601) {
        MsgBoxId(dialog, Txt::errInvalidDate, nullptr, MB_OK | MB_ICONSTOP);
        SetFocus(GetDlgItem(dialog, dateId));
        return false;
    }
    if (time[0] && StrParseTime(time, &hour, &minute, &second) != 0) {
        MsgBoxId(dialog, Txt::errInvalidTime, nullptr, MB_OK | MB_ICONSTOP);
        SetFocus(GetDlgItem(dialog, timeId));
        return false;
    }
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    FILETIME local, u;
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &u)) {
        MsgBoxId(dialog, Txt::errInvalidDate, nullptr, MB_OK | MB_ICONSTOP);
        SetFocus(GetDlgItem(dialog, dateId));
        return false;
    }
    *utc = FromFileTime(u);
    return true;
}

void AttrEnableDates(HWND dialog)
{
    BOOL on = IsDlgButtonChecked(dialog, kIdAttrDates) == BST_CHECKED;
    for (int id : {kIdAttrCreateDate, kIdAttrCreateTime, kIdAttrWriteDate, kIdAttrWriteTime, kIdAttrPickCreate,
                   kIdAttrPickWrite, kIdAttrUpDown})
        EnableWindow(GetDlgItem(dialog, id), on);
}

const int kBoxIds[5] = {kIdAttrReadOnly, kIdAttrArchive, kIdAttrHidden, kIdAttrSystem, kIdAttrCompressed};

void AttrDialogInit(HWND dialog, AttrDialogData* d)
{
    JobRecord* job = d->job;
    WndCenter(dialog);
    LangApplyToDialog(dialog, nullptr);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, GetWindowLongPtrA(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    SendDlgItemMessageA(dialog, kIdAttrCreateDate, EM_LIMITTEXT, 10, 0);
    SendDlgItemMessageA(dialog, kIdAttrCreateTime, EM_LIMITTEXT, 8, 0);
    SendDlgItemMessageA(dialog, kIdAttrWriteDate, EM_LIMITTEXT, 10, 0);
    SendDlgItemMessageA(dialog, kIdAttrWriteTime, EM_LIMITTEXT, 8, 0);
    if (d->marked > 1 || d->subjectIsFolder) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        ShowLocal(dialog, kIdAttrCreateDate, kIdAttrCreateTime, now);
        ShowLocal(dialog, kIdAttrWriteDate, kIdAttrWriteTime, now);
        for (int id : kBoxIds) {
            SendDlgItemMessageA(dialog, id, BM_SETSTYLE, BS_AUTO3STATE, TRUE);
            CheckDlgButton(dialog, id, BST_INDETERMINATE);
        }
        CheckDlgButton(dialog, kIdAttrInclDirs, d->anyFolder ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kIdAttrWithFilter, (job->flags & kAttrWithFilter) ? BST_CHECKED : BST_UNCHECKED);
    } else {
        CeTimeRecord times = {};
        HANDLE h = INVALID_HANDLE_VALUE;
        if (d->device) {
            if (CeReadFileTimes(d->subject, &times) == 0) {
                ShowFileTime(dialog, kIdAttrCreateDate, kIdAttrCreateTime,
                             (uint64_t)times.creation.high << 32 | times.creation.low);
                ShowFileTime(dialog, kIdAttrWriteDate, kIdAttrWriteTime,
                             (uint64_t)times.lastWrite.high << 32 | times.lastWrite.low);
            }
        } else {
            h = CreateFileA(d->subject, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        }
        if (h != INVALID_HANDLE_VALUE) {
            FILETIME c, a, w;
            if (GetFileTime(h, &c, &a, &w)) {
                ShowFileTime(dialog, kIdAttrCreateDate, kIdAttrCreateTime, FromFileTime(c));
                ShowFileTime(dialog, kIdAttrWriteDate, kIdAttrWriteTime, FromFileTime(w));
            }
            CloseHandle(h);
        }
        ShowWindow(GetDlgItem(dialog, kIdAttrFilter), SW_HIDE);
        for (int i = 0; i < 5; i++)
            CheckDlgButton(dialog, kBoxIds[i], (d->attributes & kAttrBoxBits[i]) ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, kIdAttrInclDirs), FALSE);
        EnableWindow(GetDlgItem(dialog, kIdAttrWithFilter), FALSE);
    }
    const char* folder = job->sourceDir;
    EnableWindow(GetDlgItem(dialog, kIdAttrCompressed), AttrIsNtfsDrive(folder[0]) == 0);
    CheckDlgButton(dialog, kIdAttrDates, (job->flags & kAttrChangeDates) ? BST_CHECKED : BST_UNCHECKED);
    AttrEnableDates(dialog);
}

bool AttrDialogOk(HWND dialog, AttrDialogData* d)
{
    JobRecord* job = d->job;
    job->attrClear = job->attrSet = 0;
    job->attrCreation = job->attrWrite = 0;
    // The sub-folder and filter choices are only taken where they are offered.
    if (IsWindowEnabled(GetDlgItem(dialog, kIdAttrWithFilter))) {
        job->flags &= ~(kAttrWithFilter | kAttrInclSubDirs);
        if (IsDlgButtonChecked(dialog, kIdAttrWithFilter) == BST_CHECKED)
            job->flags |= kAttrWithFilter;
        if (IsDlgButtonChecked(dialog, kIdAttrInclDirs) == BST_CHECKED)
            job->flags |= kAttrInclSubDirs;
    }
    if (IsDlgButtonChecked(dialog, kIdAttrDates) == BST_CHECKED) {
        job->flags |= kAttrChangeDates;
        uint64_t c, w;
        if (!ReadPair(dialog, kIdAttrCreateDate, kIdAttrCreateTime, &c) ||
            !ReadPair(dialog, kIdAttrWriteDate, kIdAttrWriteTime, &w))
            return false;
        job->attrCreation = c;
        job->attrWrite = w;
    } else {
        job->flags &= ~kAttrChangeDates;
    }
    int states[5];
    for (int i = 0; i < 5; i++) {
        UINT s = IsDlgButtonChecked(dialog, kBoxIds[i]);
        states[i] = s == BST_CHECKED ? 1 : s == BST_INDETERMINATE ? 2 : 0;
    }
    // A box the volume cannot honour changes nothing.
    if (!IsWindowEnabled(GetDlgItem(dialog, kIdAttrCompressed)))
        states[4] = 2;
    if (!AttrMasksFromBoxes(states, &job->attrSet, &job->attrClear)) {
        MsgBoxId(dialog, Txt::errInvalidSel, nullptr, MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

} // namespace

void AttrReport(JobRecord* job, DWORD error, const char* path)
{
    JobErrorReport report = {job->dialog, (int32_t)error, path, kCtxTimes, job};
    uint32_t answer = JobReportError(&report);
    if (answer == kFsCancel || (answer == kFsAbort && !JobIsStatistics(job)))
        job->state = kJobStop;
    job->errors += 1;
}

bool AttrPassesFilter(JobRecord* job, const char* path, uint32_t attributes, uint16_t date, uint16_t time,
                      uint64_t size)
{
    if (!(job->flags & kAttrWithFilter) || !gApp)
        return true;
    char folder[MAX_PATH];
    lstrcpynA(folder, path, sizeof folder);
    char* cut = strrchr(folder, '\\');
    if (cut)
        *cut = 0;
    return FilterTestEntry(folder, NamePart(path), (uint16_t)attributes, date, time, &size, &gApp->syncFilter) != 0;
}

int (*gAttrDatePicker)(HWND owner, DateTimeRecord* record) = ClockPickDateTime;

void DlgPickDateTime(HWND dialog, int dateEditId, int timeEditId)
{
    char date[16] = "", time[16] = "";
    GetDlgItemTextA(dialog, dateEditId, date, sizeof date);
    GetDlgItemTextA(dialog, timeEditId, time, sizeof time);
    DateTimeRecord r = {};
    unsigned day, month, year, hour = 0, minute = 0, second = 0;
    if (StrParseDate(date, &day, &month, &year) == 0 && StrParseTime(time, &hour, &minute, &second) == 0) {
        r.day = (uint16_t)day;
        r.month = (uint16_t)month;
        r.year = (uint16_t)year;
        r.hour = (uint16_t)hour;
        r.minute = (uint16_t)minute;
        r.second = (uint16_t)second;
    }
    if (r.day == 0) {
        // Day 0: the picker starts at the current local date and time.
        SYSTEMTIME now;
        GetLocalTime(&now);
        r.day = now.wDay;
        r.month = now.wMonth;
        r.year = now.wYear;
        r.hour = now.wHour;
        r.minute = now.wMinute;
        r.second = now.wSecond;
    }
    r.firstWeekday = (uint16_t)AttrWeekday(1, r.month, r.year);
    r.daysInMonth = (uint16_t)AttrDaysInMonth(r.month, r.year);
    if (gAttrDatePicker(dialog, &r) != 1)
        return;
    char text[16];
    StrFormatDate(text, r.day, r.month, r.year);
    SetDlgItemTextA(dialog, dateEditId, text);
    StrFormatTime(text, r.hour, r.minute, r.second);
    SetDlgItemTextA(dialog, timeEditId, text);
}

INT_PTR CALLBACK AttrDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    AttrDialogData* d = (AttrDialogData*)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)lParam);
        AttrDialogInit(dialog, (AttrDialogData*)lParam);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* h = (const NMHDR*)lParam;
        if (h->idFrom == kIdAttrUpDown && h->code == UDN_DELTAPOS) {
            // Up copies the creation pair to the modification pair, down the other way.
            const NMUPDOWN* u = (const NMUPDOWN*)lParam;
            char date[16], time[16];
            int from = u->iDelta > 0 ? kIdAttrCreateDate : kIdAttrWriteDate;
            int to = u->iDelta > 0 ? kIdAttrWriteDate : kIdAttrCreateDate;
            GetDlgItemTextA(dialog, from, date, sizeof date);
            GetDlgItemTextA(dialog, from + 1, time, sizeof time);
            SetDlgItemTextA(dialog, to, date);
            SetDlgItemTextA(dialog, to + 1, time);
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);  // keep the control's own position
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (!d)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kIdAttrDates:
            AttrEnableDates(dialog);
            return TRUE;
        case kIdAttrPickCreate:
            DlgPickDateTime(dialog, kIdAttrCreateDate, kIdAttrCreateTime);
            return TRUE;
        case kIdAttrPickWrite:
            DlgPickDateTime(dialog, kIdAttrWriteDate, kIdAttrWriteTime);
            return TRUE;
        case kIdAttrFilter:
            if (gApp)
                FilterDialogShow(dialog, &gApp->syncFilter);
            return TRUE;
        case IDOK:
        case 99:
            if (AttrDialogOk(dialog, d))
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

int AttrIsNtfsDrive(char letter)
{
    if (letter == '\\' || !((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
        return 1;
    char root[4] = {letter, ':', '\\', 0};
    char fs[32] = "";
    if (!GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, fs, sizeof fs))
        return 1;
    return AttrIsNtfsName(fs) ? 0 : 1;
}

void AttrCommand(HWND owner)
{
    if (!gApp)
        return;
    const int panel = gApp->activePanel & 1;
    // FTP panels have their chmod dialog; the device's entries take
    // attributes and times through the device library.
    const LocationNode* location = gApp->panels[panel].location;
    if (location && location->kind == kLocationFtp) {
        FtpShowChmodDialog(owner, panel);
        return;
    }
    const bool device = location && location->kind == kLocationCeDevice;
    if (location && !device) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    JobRecord job = {};
    AttrDialogData d = {};
    d.job = &job;
    d.device = device;
    job.sourcePanel = (uint16_t)panel;
    lstrcpynA(job.sourceDir, gApp->panelPath[panel], sizeof job.sourceDir);
    d.marked = PanelCountMarked(panel);
    PanelIter it;
    FileEntry* e = PanelFirstMarked(&it, panel);
    if (!e) {
        PanelIterEnd(&it);
        e = PanelGetCursorEntry(&it, panel);
    }
    if (!e || (EntryIsUpDir(e) && d.marked == 0)) {
        PanelIterEnd(&it);
        return;
    }
    char name[MAX_PATH];
    lstrcpynA(name, EntryName(e), sizeof name);
    d.attributes = e->flags & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory | kAttrArchive |
                               kAttrCompressed);
    d.subjectIsFolder = EntryIsFolder(e);
    PanelIterEnd(&it);
    d.anyFolder = PanelCountMarkedDirs(panel) > 0 || (d.marked == 0 && d.subjectIsFolder);
    lstrcpynA(d.subject, job.sourceDir, sizeof d.subject);
    size_t n = strlen(d.subject);
    if (n && d.subject[n - 1] != '\\')
        lstrcatA(d.subject, "\\");
    if (strlen(d.subject) + strlen(name) >= sizeof d.subject) {
        FileShowNameTooLong(owner, name);
        return;
    }
    lstrcatA(d.subject, name);
    lstrcpynA(job.target, d.subject, sizeof job.target);
    if (!device && FileSetCurrentDir(owner, job.sourceDir) != 0)
        return;
    job.attrClear = d.attributes;
    job.attrSet = d.marked;
    job.flags = gApp->generalOptions;
    HINSTANCE instance = gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgAttributes), owner, AttrDialogProc, (LPARAM)&d) != 1)
        return;
    gApp->generalOptions = job.flags;
    if (job.attrClear || job.attrSet || (job.flags & kAttrChangeDates)) {
        job.flags &= ~kJobStatistics;
        job.jobCode = kJobCodeAttributes;
        job.titleId = Txt::txtAttributes;
        job.captionId = Txt::txtChgAttr;
        // The dialog's copy of the record owns the clone and frees it.
        job.sourceLocation = device ? LocationClone(location) : nullptr;
        if (device && !job.sourceLocation)
            return;
        if (!JobShowDialog(owner, kDlgJobDelete, &job))
            LocationCloneFree(job.sourceLocation);
        return;
    }
    // Nothing to change: the marks move to the previous-selection bit.
    for (FileEntry* f = PanelIterBegin(&it, panel); f; f = PanelIterNext(&it))
        f->mark = (uint8_t)(f->mark << 1);
    PanelIterEnd(&it);
    if (gApp->panels[panel].listWindow)
        InvalidateRect(gApp->panels[panel].listWindow, nullptr, FALSE);
}

// ---- worker ---------------------------------------------------------------------

int AttrSetAttributes(const char* path, JobRecord* job)
{
    DWORD old = GetFileAttributesA(path);
    if (old == INVALID_FILE_ATTRIBUTES) {
        AttrReport(job, GetLastError(), path);
        return -1;
    }
    uint32_t now = AttrNewValue(old, job->attrSet & ~kAttrDirectory, job->attrClear & ~kAttrDirectory);
    if ((old ^ now) & kAttrCompressed) {
        // A volume that refuses leaves the bit as it was; the other bits still go.
        DWORD flags = (old & FILE_ATTRIBUTE_DIRECTORY) ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
        HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            USHORT format = (now & kAttrCompressed) ? COMPRESSION_FORMAT_DEFAULT : COMPRESSION_FORMAT_NONE;
            DWORD returned;
            DeviceIoControl(h, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0, &returned, nullptr);
            CloseHandle(h);
        }
    }
    if ((old & ~kAttrCompressed) == (now & ~kAttrCompressed))
        return 0;
    if (!SetFileAttributesA(path, AttrSettable(now))) {
        AttrReport(job, GetLastError(), path);
        return -1;
    }
    return 1;
}

int AttrApplyToFile(JobRecord* job, const char* path, uint16_t dosDate, uint16_t dosTime, uint32_t attributes,
                    uint64_t size)
{
    if (!(attributes & kAttrDirectory) && !AttrPassesFilter(job, path, attributes, dosDate, dosTime, size))
        return 0;
    JobItemText(job, path);
    int changes = 0;
    if (job->flags & kAttrChangeDates) {
        HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        DWORD lifted = INVALID_FILE_ATTRIBUTES;
        if (h == INVALID_HANDLE_VALUE) {
            DWORD a = GetFileAttributesA(path);
            if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) &&
                SetFileAttributesA(path, a & ~FILE_ATTRIBUTE_READONLY)) {
                lifted = a;
                h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
            }
        }
        DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (h != INVALID_HANDLE_VALUE) {
            FILETIME c, a, w;
            if (!GetFileTime(h, &c, &a, &w)) {
                error = GetLastError();
            } else {
                uint64_t creation = FromFileTime(c), write = FromFileTime(w);
                if (AttrMergeTimes(job->attrCreation, job->attrWrite, &creation, &write)) {
                    FILETIME nc = ToFileTime(creation), nw = ToFileTime(write);
                    if (SetFileTime(h, &nc, &a, &nw))
                        changes++;
                    else
                        error = GetLastError();
                }
            }
            CloseHandle(h);
        }
        // The read-only bit lifted to write the times goes back on every path.
        if (lifted != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesA(path, lifted);
        if (error) {
            AttrReport(job, error, path);
            return 0;
        }
    }
    int r = AttrSetAttributes(path, job);
    if (r < 0)
        return 0;
    return changes + r;
}

void AttrApplyToTree(JobRecord* job, const char* folder, int depth)
{
    JobLineText(job, folder);
    if (depth > kAttrMaxDepth) {
        JobReportLeftOut(job, folder, false);
        return;
    }
    uint32_t error = 0;
    DirListRecord* list = DirReadListEx(folder, &error);
    if (!list && error) {
        AttrReport(job, error, folder);
        return;
    }
    for (const DirListRecord* r = list; r && r->length && !JobStopped(job); r = DirListNext(r)) {
        if (!AttrTakesName(NamePart(r->path)))
            continue;
        if (r->attributes & kDirListTooLong) {
            JobReportLeftOut(job, r->path, false);
        } else if (DirIsLink(r->attributes)) {
            // A link to a folder is one entry of another tree: left as it is.
            JobReportLeftOut(job, r->path, true);
        } else if (r->attributes & FILE_ATTRIBUTE_DIRECTORY) {
            AttrSetAttributes(r->path, job);
            AttrApplyToTree(job, r->path, depth + 1);
        } else {
            uint32_t now = AttrNewValue(r->attributes, job->attrSet, job->attrClear);
            if ((job->flags & kAttrChangeDates) || now != r->attributes)
                AttrApplyToFile(job, r->path, r->dosDate, r->dosTime, r->attributes, r->size);
        }
        JobAddProgress(job, 1);
    }
    DirFreeList(list);
}

DWORD WINAPI AttrJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    if (job->sourceLocation && job->sourceLocation->kind == kLocationFtp) {
        FtpRunChmodJob(job);
        JobFinish(job);
        return 0;
    }
    job->attrSet &= ~kAttrDirectory;
    job->state = kJobGoOn;
    job->fileBytes = 1;  // every file and folder counts one step
    job->total = 0;
    const bool device = job->sourceLocation && job->sourceLocation->kind == kLocationCeDevice;
    if (device) {
        // Counting a device tree would walk it twice over the link: one step
        // per selected entry.
        for (const SelectionRecord* rec = SelListFirst(job->selection); rec; rec = SelListNext(rec))
            if (!(rec->attributes & kEntryUpDir))
                job->total += 1;
    } else {
        JobCountList(job, job->selection);
        for (const SelectionRecord* rec = SelListFirst(job->selection); rec; rec = SelListNext(rec))
            if ((rec->attributes & kEntryFolder) && !(rec->attributes & kEntryUpDir) &&
                !(job->flags & kJobInclSubDirs))
                job->total += 1;
    }
    char path[MAX_PATH];
    for (const SelectionRecord* rec = SelListFirst(job->selection); rec && !JobStopped(job);
         rec = SelListNext(rec)) {
        if ((rec->attributes & kEntryUpDir) || !AttrTakesName(rec->name))
            continue;
        if (SelItemFullPath(rec, job, path, sizeof path) != 0) {
            JobReportLeftOut(job, rec->name, false);
            continue;
        }
        uint32_t attributes = INVALID_FILE_ATTRIBUTES;
        if (device) {
            int changed = 0;
            if (rec->attributes & kEntryFolder) {
                if (AttrPassesFilter(job, path, rec->attributes, rec->date, rec->time, rec->size))
                    changed = CeJobSetAttributes(job, path, rec->attributes);
                if ((job->flags & kJobInclSubDirs) && !JobStopped(job))
                    CeJobChangeAttrTree(job, path, 1);
            } else {
                changed = CeJobChangeAttr(job, path, rec->date, rec->time, rec->attributes, rec->size);
            }
            if (changed > 0)
                attributes = CeReadAttributes(path);
        } else if (rec->attributes & kEntryFolder) {
            if (AttrPassesFilter(job, path, rec->attributes, rec->date, rec->time, rec->size))
                AttrSetAttributes(path, job);
            if (job->flags & kJobInclSubDirs) {
                if (rec->attributes & kEntryJunction)
                    JobReportLeftOut(job, path, true);
                else
                    AttrApplyToTree(job, path, 1);
            }
            attributes = GetFileAttributesA(path);
        } else if (AttrApplyToFile(job, path, rec->date, rec->time, rec->attributes, rec->size) > 0) {
            attributes = GetFileAttributesA(path);
        }
        JobAddProgress(job, 1);
        if (!JobStopped(job))
            AttrUpdateEntry(job, rec->name, attributes);
        JobEndItem(job);
    }
    JobFinish(job);
    return 0;
}
