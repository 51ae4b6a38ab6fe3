#include "tools/RunLine.h"

#include <ctype.h>
#include <string.h>

std::string RunQuoteArg(const std::string &arg) {
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"')
            out.append(slashes * 2 + 1, '\\');
        else
            out.append(slashes, '\\');
        slashes = 0;
        out += c;
    }
    // Before the closing quote every backslash is doubled.
    out.append(slashes * 2, '\\');
    out += '"';
    return out;
}

bool RunSplitProgram(const std::string &line, std::string *program, std::string *args) {
    program->clear();
    args->clear();
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos)
        return false;
    size_t rest;
    if (line[start] == '"') {
        size_t close = line.find('"', start + 1);
        if (close == std::string::npos)
            return false;
        *program = line.substr(start + 1, close - start - 1);
        rest = close + 1;
    } else {
        size_t blank = line.find(' ', start);
        *program = line.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
        rest = blank == std::string::npos ? line.size() : blank;
    }
    size_t from = line.find_first_not_of(' ', rest);
    if (from != std::string::npos)
        *args = line.substr(from);
    return !program->empty();
}

bool RunIsShellCommand(const std::string &program) {
    static const char *const kCommands[] = {
        "ASSOC", "BREAK", "CALL",  "CD",   "CHDIR",  "CLS",   "COLOR", "COPY", "DATE",   "DEL",
        "DIR",   "ECHO",  "ERASE", "MD",   "MKDIR",  "MOVE",  "PATH",  "PAUSE", "POPD",  "PROMPT",
        "PUSHD", "RD",    "REN",   "RENAME", "RMDIR", "SET",  "START", "TIME", "TITLE",  "TYPE",
        "VER",   "VERIFY", "VOL"};
    if (program.empty() || program.size() > 8)
        return false;
    std::string upper;
    for (char c : program)
        upper += (char)toupper((unsigned char)c);
    for (const char *c : kCommands) {
        if (upper == c)
            return true;
    }
    return false;
}

bool RunLineIsPlain(const std::string &line) {
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == '%' || c == '\r' || c == '\n' || c == '\0')
            return false;
        if (!quoted && strchr("&|<>^()", c))
            return false;
    }
    return !quoted;
}

bool RunHasProgramExtension(const std::string &name) {
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || name.find_first_of("\\/", dot) != std::string::npos)
        return false;
    std::string ext;
    for (size_t i = dot + 1; i < name.size(); ++i)
        ext += (char)toupper((unsigned char)name[i]);
    return ext == "EXE" || ext == "COM" || ext == "BAT" || ext == "PIF";
}
