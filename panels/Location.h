#pragma once
// The chain of locations a panel shows beyond the plain file system
// (archive levels, an FTP connection, the Windows CE device).
#include <stdint.h>

#include "Records.h"

// Frees one node (the head); see LocationFree in LocationPanel.cpp for the
// panel-path reset. Returns null for the caller to store.
LocationNode* LocationFree(LocationNode* node);
uint16_t LocationRootKind(const LocationNode* node);
void LocationRootFile(const LocationNode* node, char* out);   // out: 260 bytes
void LocationInnerPath(const LocationNode* node, char* out);  // out: 260 bytes
// Deep copy (archive levels copy their parents too); null on failure, never
// a chain with a level missing.
LocationNode* LocationClone(const LocationNode* node);
// Frees a chain made by LocationClone, outermost level included.
void LocationCloneFree(LocationNode* node);

inline bool LocationFollowsParent(const LocationNode* n) {
    return n->parent && n->kind < kLocationFtp;
}
