// Second process for the core helper tests.
//   app_core_child shm <name>   opens the shared block, checks the parent's
//                               bytes, writes its own; exit code = 10 when it
//                               saw the parent's bytes + MemSharedOpen's result
//   app_core_child fmt <file>   writes sizes and numbers formatted with the
//                               separators of the user's locale
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Numbers.h"

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "shm") == 0) {
        SharedMemory block = {};
        int existed = MemSharedOpen(&block, argv[2], 520);
        if (!block.view)
            return 99;
        char *bytes = static_cast<char *>(block.view);
        int code = existed + (strcmp(bytes, "from the parent") == 0 ? 10 : 0);
        strcpy(bytes + 260, "from the child");
        MemSharedClose(&block);
        return code;
    }
    if (argc == 3 && strcmp(argv[1], "fmt") == 0) {
        static AppState app;
        gApp = &app;
        NumberLoadSeparators(&app.decimalSep, &app.thousandSep);
        char text[512], a[kSizeTextSize], b[kSizeTextSize], n[kNumberTextSize], n64[kNumberTextSize];
        uint64_t small = 1536, big = 15872, huge = 5000000000ull;
        StrFormatSize(a, &small, 0);
        StrFormatSize(b, &big, 0);
        StrFormatNumber(1234567, n);
        StrFormatNumber64(&huge, n64);
        snprintf(text, sizeof text, "[%s]\n[%s]\n[%s]\n[%s]\n", a, b, n, n64);
        return FileWriteAll(argv[2], text, (uint32_t)strlen(text)) ? 0 : 98;
    }
    return 97;
}
