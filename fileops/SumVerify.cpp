#include "fileops/SumVerify.h"

#include <string.h>

#include <string>

#include "AppState.h"
#include "base/Product.h"
#include "base/Texts.h"
#include "fileops/FileSystem.h"
#include "fileops/FileTools.h"
#include "fileops/Job.h"
#include "fileops/SumList.h"
#include "fileops/ToolJobs.h"
#include "wingui/WindowUtil.h"

namespace {

// Kind of the list at path from its first line (at most 1023 characters).
SumListKind DetectListKind(const char* path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kSumNone;
    char line[1024];
    DWORD got = 0;
    BOOL ok = ReadFile(h, line, sizeof line - 1, &got, nullptr);
    CloseHandle(h);
    if (!ok || !got) return kSumNone;
    size_t n = 0;
    while (n < got && line[n] != '\n') n++;
    return SumDetectKind(line, n);
}

INT_PTR CALLBACK SumReportProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowTextA(dialog, kProductName);
        WndCenter(dialog);
        HWND edit = GetDlgItem(dialog, kIdSumReportText);
        SetWindowTextA(edit, (const char*)lParam);
        int end = GetWindowTextLengthA(edit);
        SendMessageA(edit, EM_SETSEL, end, end);
        SendMessageA(edit, EM_SCROLLCARET, 0, 0);
        SetFocus(edit);
        return FALSE;
    }
    case WM_CTLCOLORSTATIC:
        // The read-only report reads like a page, not like a grey label.
        SetBkColor((HDC)wParam, GetSysColor(COLOR_WINDOW));
        return (INT_PTR)GetSysColorBrush(COLOR_WINDOW);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == 99) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

void SumShowReport(HWND owner, const char* text)
{
    HINSTANCE instance = gApp && gApp->hInstance ? gApp->hInstance : GetModuleHandleA(nullptr);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kDlgSumReport), owner, SumReportProc, (LPARAM)text);
}

int SumVerifyFile(HWND owner, const char* path)
{
    SumListKind kind = DetectListKind(path);
    if (kind == kSumNone) return -1;
    JobRecord job = {};
    lstrcpynA(job.target, path, sizeof job.target);
    job.itemInfo = (uint32_t)kind;
    job.jobCode = kJobCodeSumVerify;
    job.titleId = Txt::txtCrcVerify;
    job.captionId = Txt::txtCrcVerify;
    if (gApp) job.sourcePanel = (uint16_t)(gApp->activePanel & 1);
    JobShowDialog(owner, kDlgJobCopy, &job);
    return 0;
}

DWORD WINAPI SumVerifyJobThread(void* param)
{
    JobRecord* job = (JobRecord*)param;
    WinToolIo io;
    io.job = job;
    std::string list = job->target;
    JobItemText(job, list.c_str());
    uint64_t total = 0;
    uint32_t e = ToolSumListTotal(&io, list, &total);
    job->total = total;
    std::string report;
    uint32_t errors = 0;
    SumReportTexts texts;
    if (gApp && gApp->langTable) {
        char text[300];
        LangGetText(gApp->langTable, Txt::txtCrcOK, text, sizeof text);
        texts.ok = text;
        LangGetText(gApp->langTable, Txt::txtCRCBad, text, sizeof text);
        texts.wrong = text;
        LangGetText(gApp->langTable, Txt::errOpenFail, text, sizeof text);
        texts.openFail = text;
        LangGetText(gApp->langTable, Txt::txtErrors, text, sizeof text);
        texts.errors = text;
    }
    if (!e) e = ToolSumVerify(&io, list, (SumListKind)job->itemInfo, &report, &errors, texts);
    job->errors = errors;
    if (!e) {
        SumShowReport(job->dialog, report.c_str());
    } else if (e != kToolErrCancelled) {
        // An unreadable list gives no report, only its error.
        FileReportError(job->dialog, e >= 0x20000000 ? (int32_t)ERROR_INVALID_DATA : (int32_t)e, list.c_str(),
                        kCtxNone);
    }
    JobFinish(job);
    return 0;
}
