// A Win32 half may include windows.h and the records that need it.
#include <windows.h>
#include "AppState.h"
#include "base/Pure.h"
#include "fileops/FileSystem.h"
