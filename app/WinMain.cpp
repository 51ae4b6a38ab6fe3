#include <windows.h>

#include "app/Startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunKestrom(instance); }
