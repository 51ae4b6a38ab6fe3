// A stand-in for an external viewer or editor. Every start appends its
// command line and folder to the log named by ZQEDIT_LOG (when set). As an
// editor it appends "edited by ZQEDIT" to every argument that names a file,
// the way a user's save would; "/v" makes it a viewer that changes nothing.
// "/wait=<file>" (or "/wait:<file>", which a settings value can hold) first
// waits until that file exists, so a test decides when the editor ends.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv) {
    char log[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("ZQEDIT_LOG", log, sizeof log);
    bool viewer = false;
    const char *waitFor = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "/v"))
            viewer = true;
        else if (!strncmp(argv[i], "/wait=", 6) || !strncmp(argv[i], "/wait:", 6))
            waitFor = argv[i] + 6;
    }
    for (int tries = 0; waitFor && tries < 6000 && GetFileAttributesA(waitFor) == INVALID_FILE_ATTRIBUTES; tries++)
        Sleep(10);
    int edited = 0;
    for (int i = 1; i < argc && !viewer; i++) {
        DWORD attributes = GetFileAttributesA(argv[i]);
        if (argv[i][0] == '/' || argv[i][0] == '-' || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        FILE *f = fopen(argv[i], "ab");
        if (!f)
            continue;
        fputs("edited by ZQEDIT\r\n", f);
        fclose(f);
        edited++;
    }
    if (n && n < sizeof log) {
        char folder[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof folder, folder);
        FILE *f = fopen(log, "ab");
        if (f) {
            fprintf(f, "%s|%s|%d\r\n", GetCommandLineA(), folder, edited);
            fclose(f);
        }
    }
    return 0;
}
