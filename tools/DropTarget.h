#pragma once
// Where a dropped-files target lies inside an archive a panel shows. Pure:
// no windows.h, so it builds natively.
#include <string>

// `target` names the archive file `archive` itself or a folder inside it:
// true, and `inner` the folder inside ("" for the archive's root, steps
// joined by "\"). A name that merely starts like the archive ("a.zip2",
// "a.zip.bak\x") is elsewhere, and so is an inner path with "." or ".."
// steps. Letters compare in either case.
bool DropTargetInnerPath(const std::string &target, const std::string &archive, std::string *inner);

// The member name of a source inside the archive: the inner folder, then
// the path of the source below the dropped name's folder.
std::string DropMemberName(const std::string &inner, const std::string &relative);
