#include "panels/Location.h"

#include "FtpLib.h"

#include <string.h>

#include "base/Memory.h"
#include "panels/EntryBuild.h"

static const LocationNode* Outermost(const LocationNode* n) {
    while (LocationFollowsParent(n)) n = n->parent;
    return n;
}

static void CopyOut(char* out, const char* from, size_t limit) {
    size_t n = strnlen(from, limit - 1);
    if (n > 259) n = 259;
    memcpy(out, from, n);
    out[n] = 0;
}

uint16_t LocationRootKind(const LocationNode* node) {
    return node ? Outermost(node)->kind : 0;
}

void LocationRootFile(const LocationNode* node, char* out) {
    if (!node) return;
    const LocationNode* root = Outermost(node);
    CopyOut(out, root->archivePath, sizeof root->archivePath);
}

void LocationInnerPath(const LocationNode* node, char* out) {
    if (!node) return;
    if (LocationFollowsParent(node))
        LocationRootFile(node, out);
    else
        CopyOut(out, node->innerPath, sizeof node->innerPath);
}

LocationNode* LocationClone(const LocationNode* node) {
    if (!node) return nullptr;
    // An FTP node carries the library's connection head, which in the
    // 64-bit build is a few bytes longer than the node.
    size_t bytes = node->kind == kLocationFtp && sizeof(FtpLocationHead) > sizeof(LocationNode)
                       ? sizeof(FtpLocationHead)
                       : sizeof(LocationNode);
    LocationNode* copy = (LocationNode*)gPanelsAlloc(bytes);
    if (!copy) return nullptr;
    memcpy(copy, node, bytes);
    if (LocationFollowsParent(node)) {
        copy->parent = LocationClone(node->parent);
        if (!copy->parent) {
            // A chain without its outer level would send a job to the wrong
            // front end or archive: no copy at all is the only safe answer.
            MemFree(&copy);
            return nullptr;
        }
    }
    return copy;
}

void LocationCloneFree(LocationNode* node) {
    while (node) {
        LocationNode* parent = LocationFollowsParent(node) ? node->parent : nullptr;
        MemFree(&node);
        node = parent;
    }
}
