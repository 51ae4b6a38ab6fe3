// The status texts about the panels: mode names, the cursor entry or the
// marked entries, free space.
#pragma once

#include <stddef.h>

void PanelShowModeName(int panel);
// ownBar: 1 for the panel's own status bar, 0 for the main bar.
void PanelFormatStatusLine(int panel, char *out, size_t size, int ownBar);
void PanelUpdateStatusLine();
