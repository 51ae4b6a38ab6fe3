// Command lines the program builds and reads when it starts other programs:
// quoting one argument, splitting a typed line into its program and the
// rest, and what may be handed to the command interpreter. No windows.h: the
// native build tests it.
#pragma once
#include <string>

// One argument as the C runtime of the started program splits its command
// line: always in double quotes, backslashes doubled only where they meet a
// quote, inner quotes escaped.
std::string RunQuoteArg(const std::string &arg);

// The program part of a typed command line and the arguments after it: a
// line that starts with a quote names the program up to the closing quote;
// otherwise the program ends at the first blank. False for an empty program
// or a quote that is never closed.
bool RunSplitProgram(const std::string &line, std::string *program, std::string *args);

// True for a command the command interpreter carries out itself ("dir",
// "copy", "mkdir" ...); only those may be handed to it.
bool RunIsShellCommand(const std::string &program);

// True when a line means the same to the command interpreter as it says:
// none of & | < > ^ ( ) outside quotes, no "%" anywhere (the interpreter
// expands it even inside quotes), no line breaks, quotes balanced.
bool RunLineIsPlain(const std::string &line);

// The upper-cased extension is EXE, COM, BAT or PIF.
bool RunHasProgramExtension(const std::string &name);
