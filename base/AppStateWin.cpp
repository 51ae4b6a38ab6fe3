// The globals beside the application record; WinMain fills them.
#include "AppState.h"

AppState *gApp;
HWND gMainWindow;
char *gWindowTitle;
