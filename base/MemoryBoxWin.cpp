// The allocation failure box, apart from the file helpers so that code that
// only allocates does not pull in the file-system layer.
#include <windows.h>

#include "AppState.h"
#include "base/Memory.h"
#include "base/Product.h"

void MemReportFailure() {
    MessageBoxA(gMainWindow, "Memory error.", gWindowTitle && *gWindowTitle ? gWindowTitle : kProductName,
                MB_ICONERROR);
}
