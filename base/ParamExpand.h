// Placeholder expansion of the parameter templates of external programs
// (viewer, editor, tool-bar buttons, user menu). Pure logic, no windows.h.
#pragma once
#include <cstddef>

// What the placeholders stand for; null strings count as empty.
struct ParamSources {
    const char* filePath;    // the file itself (long form)
    const char* fileShort;   // its short (8.3) path
    const char* activeShort; // short path of the active panel's folder
    const char* otherShort;  // short path of the other panel's folder
    char activeDrive;        // drive letter of the active panel (0: none)
};

// Expands templ into out (outSize bytes, always terminated; what does not fit
// is cut). Returns the number of file placeholders ("*.*", "*.ext"); 0 tells
// the caller to append the file's short path itself.
int ExpandParams(const char* templ, char* out, size_t outSize, const ParamSources& src);
