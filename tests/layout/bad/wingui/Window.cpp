#include <windows.h>
#include "base/Strings.h"
#include "wingui/Window.h"
#include "app/Language.h"
#include "panels/PanelWindow.h"
