// A small driver for the tree tests of trees-test.sh: runs one copy or move
// job through the progress dialog, as the command would after its dialog.
//   jobs_tool copy|move <source folder> <target> [cancel after n bytes]
//   jobs_tool same <path> <path>     prints "same" or "different"
//   jobs_tool inside <folder> <path> prints "inside" or "outside"
//   jobs_tool attributes <path>      prints "folder", "reparse" or "missing"
//   jobs_tool walk copy|move|delete <source folder> <target> [stats]
//                                    runs the worker on this thread, answers
//                                    every message box with OK and prints
//                                    "state=N errors=N files=N"
//   jobs_tool attr <folder> <set> <clear> <write time>
//                                    the attributes worker on every entry of the
//                                    folder, sub-folders included; masks in hex,
//                                    the time in seconds since 1970 (0: no dates)
//   jobs_tool split <folder> <name> <target base> <piece size> [restore] [delete]
//   jobs_tool join <folder> <target> <name>...
//                                    the split and join workers on this thread
// Every entry of the source folder is selected; sub-folders are included.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fileops/CopyJob.h"
#include "fileops/DeleteJob.h"
#include "fileops/AttrJob.h"
#include "fileops/AttrRules.h"
#include "fileops/Job.h"
#include "fileops/ToolJobs.h"
#include "JobTestSupport.h"

static HWND gDialog;
static unsigned long long gCancelAfter;

static bool Finished(void *)
{
    return !IsWindow(gDialog);
}

// The Cancel button, pressed from the copying thread itself once enough has
// been copied: the copy waits until the dialog has taken the press, so the
// cancel lands inside the file however busy the machine is.
static void CancelAfterThreshold(JobRecord *job)
{
    static bool pressed;
    if (!pressed && job->done >= gCancelAfter && IsWindow(gDialog)) {
        pressed = true;
        SendMessageA(gDialog, WM_COMMAND, IDCANCEL, 0);
    }
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: jobs_tool copy|move <source> <target> [cancel-after]\n");
        return 2;
    }
    JobTestInitApp();
    if (!strcmp(argv[1], "same")) {
        printf("%s\n", PathIsSameFile(argv[2], argv[3]) ? "same" : "different");
        return 0;
    }
    if (!strcmp(argv[1], "inside")) {
        printf("%s\n", PathIsInsideFolder(argv[2], argv[3]) ? "inside" : "outside");
        return 0;
    }
    if (!strcmp(argv[1], "attributes")) {
        DWORD a = GetFileAttributesA(argv[2]);
        printf("%s\n", a == INVALID_FILE_ATTRIBUTES            ? "missing"
                       : (a & FILE_ATTRIBUTE_REPARSE_POINT) ? "reparse"
                       : (a & FILE_ATTRIBUTE_DIRECTORY)     ? "folder"
                                                            : "file");
        return 0;
    }
    if (!strcmp(argv[1], "attr") && argc >= 6) {
        unsigned long long seconds = strtoull(argv[5], nullptr, 10);
        uint32_t flags = kJobInclSubDirs | (seconds ? kAttrChangeDates : 0);
        JobRecord job = MakeJob(kJobCodeAttributes, argv[2], "", flags, SelectionOf(argv[2]));
        job.attrSet = (uint32_t)strtoul(argv[3], nullptr, 16);
        job.attrClear = (uint32_t)strtoul(argv[4], nullptr, 16);
        if (seconds)
            job.attrWrite = seconds * 10000000ull + 116444736000000000ull;
        DialogAnswerer ok("", std::vector<int>(64, IDOK));
        AttrJobThread(&job);
        printf("state=%d errors=%u\n", (int)job.state, (unsigned)job.errors);
        return 0;
    }
    if (!strcmp(argv[1], "split") && argc >= 6) {
        uint32_t flags = 0;
        for (int i = 6; i < argc; i++)
            flags |= !strcmp(argv[i], "restore") ? 0x8000000 : !strcmp(argv[i], "delete") ? 0x4000000 : 0;
        JobRecord job = MakeJob(kJobCodeSplit, argv[2], argv[4], flags, nullptr);
        lstrcpynA(job.secondName, argv[3], sizeof job.secondName);
        job.bytesSelected = strtoull(argv[5], nullptr, 10);
        DialogAnswerer ok("", std::vector<int>(64, IDOK));
        SplitJobThread(&job);
        printf("state=%d errors=%u\n", (int)job.state, (unsigned)job.errors);
        return job.state == kJobStop ? 1 : 0;
    }
    if (!strcmp(argv[1], "join") && argc >= 5) {
        std::vector<std::string> names(argv + 4, argv + argc);
        JobRecord job = MakeJob(kJobCodeJoin, argv[2], argv[3], 0, SelectionOf(argv[2], names));
        DialogAnswerer ok("", std::vector<int>(64, IDOK));
        JoinJobThread(&job);
        printf("state=%d errors=%u\n", (int)job.state, (unsigned)job.errors);
        return job.state == kJobStop ? 1 : 0;
    }
    if (!strcmp(argv[1], "walk") && argc >= 5) {
        uint16_t code = !strcmp(argv[2], "move") ? kJobCodeMove : !strcmp(argv[2], "delete") ? kJobCodeDelete
                                                                                            : kJobCodeCopy;
        uint32_t flags = kJobInclSubDirs | (argc > 5 && !strcmp(argv[5], "stats") ? kJobStatistics : 0);
        JobRecord job = MakeJob(code, argv[3], code == kJobCodeDelete ? "" : argv[4], flags, SelectionOf(argv[3]));
        if (code != kJobCodeDelete && GetFileAttributesA(argv[4]) == INVALID_FILE_ATTRIBUTES)
            CreateDirectoryA(argv[4], nullptr);
        // Any box the walk shows (a report with an OK button) is answered.
        DialogAnswerer ok("", std::vector<int>(64, IDOK));
        if (code == kJobCodeDelete)
            DelJobThread(&job);
        else
            CopyJobThread(&job);
        printf("state=%d errors=%u files=%u\n", (int)job.state, (unsigned)job.errors, (unsigned)job.filesDone);
        return 0;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    uint16_t code = strcmp(argv[1], "move") == 0 ? kJobCodeMove : kJobCodeCopy;
    if (argc > 4) {
        gCancelAfter = strtoull(argv[4], nullptr, 10);
        gJobProgressHook = CancelAfterThreshold;
    }
    JobRecord job = MakeJob(code, argv[2], argv[3], kJobInclSubDirs, SelectionOf(argv[2]));
    job.workers = 0;
    job.titleId = code == kJobCodeMove ? 4033 : 4031;
    job.captionId = code == kJobCodeMove ? 4034 : 4032;
    // As the command does for several entries: the target folder is made.
    if (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryA(argv[3], nullptr)) {
        fprintf(stderr, "cannot make %s\n", argv[3]);
        return 2;
    }
    if (!job.selection) {
        fprintf(stderr, "nothing to copy in %s\n", argv[2]);
        return 2;
    }
    gDialog = JobShowDialog(nullptr, kDlgJobCopy, &job);
    if (!gDialog) {
        fprintf(stderr, "no dialog\n");
        return 3;
    }
    PumpUntil(Finished, nullptr, 30 * 60 * 1000);
    printf("done\n");
    return 0;
}
