#include "wingui/GuiDraw.h"
#include "app/Settings.h"
#include "tools/ToolWindows.h"
