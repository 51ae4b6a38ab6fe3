// The globals beside the application record; WinMain fills them. They sit
// with the helpers that read them, so a library that links base/ has them
// too: there they stay null and the helpers use their defaults.
#include "AppState.h"

AppState *gApp;
HWND gMainWindow;
char *gWindowTitle;
