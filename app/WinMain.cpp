#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "Zq Vandrell", "Zq Vandrell", MB_OK);
    return 0;
}
