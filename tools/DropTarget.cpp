#include "tools/DropTarget.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c; }

} // namespace

bool DropTargetInnerPath(const std::string &target, const std::string &archive, std::string *inner) {
    if (archive.empty() || target.size() < archive.size())
        return false;
    for (size_t i = 0; i < archive.size(); i++) {
        if (Lower(target[i]) != Lower(archive[i]))
            return false;
    }
    // The archive's name must end where the target's name ends.
    if (target.size() > archive.size() && target[archive.size()] != '\\' && target[archive.size()] != '/')
        return false;
    std::string rest, step;
    for (size_t i = archive.size(); i <= target.size(); i++) {
        char c = i < target.size() ? target[i] : '\\';
        if (c == '/')
            c = '\\';
        if (c != '\\') {
            step += c;
            continue;
        }
        if (step.empty())
            continue;
        if (step == "." || step == "..")
            return false;
        if (!rest.empty())
            rest += '\\';
        rest += step;
        step.clear();
    }
    *inner = rest;
    return true;
}

std::string DropMemberName(const std::string &inner, const std::string &relative) {
    return inner.empty() ? relative : inner + "\\" + relative;
}
