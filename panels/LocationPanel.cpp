// Freeing a panel's location node, which may reset the panel's path.
#include "AppState.h"
#include "base/Memory.h"
#include "base/Paths.h"
#include "fileops/FileSystem.h"
#include "panels/Location.h"

LocationNode* LocationFree(LocationNode* node) {
    if (!node) return nullptr;
    if (gApp) {
        for (int p = 0; p < 2; p++) {
            // A panel inside an archive or on a server may hold a path that
            // means nothing to the file system; it must not outlive the node.
            if (gApp->panels[p].location == node && PathGetRootType(gApp->panelPath[p]) == 0)
                PathGetWindowsRoot(gApp->panelPath[p]);
        }
    }
    MemFree(&node);
    return nullptr;
}
