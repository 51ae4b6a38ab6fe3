// Each include below breaks the layering once.
#include <windows.h>
#include <string.h>
#include "AppState.h"
#include "Records.h"
#include "app/Settings.h"
#include "wingui/WindowUtil.h"
#include "../panels/PanelList.h"
#include "Missing.h"
#include "base/Strings.h"
