// First version without bars; the bar windows replace these.
#include "app/Bars.h"

void BarsCreate(HWND) {}
int BarsTopHeight() { return 0; }
int BarsBottomHeight() { return 0; }
void StatusBarSetField(int, const char *) {}
void DriveBarRefresh(bool) {}
