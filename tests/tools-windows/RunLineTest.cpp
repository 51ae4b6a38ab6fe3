// Command lines for started programs: one quoted argument arrives whole,
// a typed line splits into program and arguments, and only plain lines of
// the interpreter's own commands may reach the command interpreter.
#include <gtest/gtest.h>

#include "tools/RunLine.h"

namespace {

// How the C runtime of the started program splits a command line (the rules
// of CommandLineToArgvW / the MSVC and MinGW start-up code for arguments).
std::vector<std::string> SplitLikeTheRuntime(const std::string &line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')))
                    arg += line[i++];
            }
        }
        out.push_back(arg);
    }
    return out;
}

TEST(RunLine, EveryQuotedArgumentArrivesWhole) {
    const std::string names[] = {"plain",
                                 "with blanks.txt",
                                 "a & b.exe",
                                 "100% %PATH%",
                                 "caret ^ (paren) | pipe <in> out",
                                 "C:\\folder\\",
                                 "C:\\a b\\",
                                 "say \"hi\"",
                                 "ends in slash and quote\\\"",
                                 "",
                                 std::string(300, 'L') + ".txt"};
    for (const std::string &n : names) {
        std::string line = RunQuoteArg("prog.exe") + " " + RunQuoteArg(n) + " next";
        std::vector<std::string> args = SplitLikeTheRuntime(line);
        ASSERT_EQ(args.size(), 3u) << line;
        EXPECT_EQ(args[0], "prog.exe");
        EXPECT_EQ(args[1], n) << line;
        EXPECT_EQ(args[2], "next");
    }
}

TEST(RunLine, TypedLinesSplitIntoProgramAndArguments) {
    const struct {
        const char *line, *program, *args;
        bool ok;
    } cases[] = {
        {"prog.exe", "prog.exe", "", true},
        {"prog.exe one two", "prog.exe", "one two", true},
        {"  prog.exe   one", "prog.exe", "one", true},
        {"\"C:\\a b\\prog.exe\" \"x y\" z", "C:\\a b\\prog.exe", "\"x y\" z", true},
        {"\"C:\\a&b.exe\"", "C:\\a&b.exe", "", true},
        {"C:\\a&b.exe x&y", "C:\\a&b.exe", "x&y", true},
        {"\"unclosed", "", "", false},
        {"\"\" x", "", "x", false},
        {"   ", "", "", false},
    };
    for (const auto &c : cases) {
        std::string program, args;
        EXPECT_EQ(RunSplitProgram(c.line, &program, &args), c.ok) << c.line;
        EXPECT_EQ(program, c.program) << c.line;
        EXPECT_EQ(args, c.args) << c.line;
    }
}

TEST(RunLine, OnlyPlainLinesOfTheInterpretersCommandsMayReachIt) {
    EXPECT_TRUE(RunIsShellCommand("dir"));
    EXPECT_TRUE(RunIsShellCommand("MkDir"));
    EXPECT_FALSE(RunIsShellCommand("dir.exe"));
    EXPECT_FALSE(RunIsShellCommand("nosuch"));
    EXPECT_FALSE(RunIsShellCommand(""));
    const struct {
        const char *line;
        bool plain;
    } cases[] = {
        {"mkdir made", true},
        {"mkdir \"a & b\"", true},       // quoted: one name
        {"mkdir \"a (1)\"", true},
        {"mkdir a & calc", false},
        {"dir | more", false},
        {"dir > list.txt", false},
        {"echo ^", false},
        {"mkdir (x)", false},
        {"mkdir \"100%PATH%\"", false}, // expanded even inside quotes
        {"mkdir \"open", false},
        {"mkdir a\r\ncalc", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RunLineIsPlain(c.line), c.plain) << c.line;
}

TEST(RunLine, ProgramExtensions) {
    for (const char *yes : {"a.exe", "C:\\x\\B.COM", "run.bat", "old.Pif"})
        EXPECT_TRUE(RunHasProgramExtension(yes)) << yes;
    for (const char *no : {"a.txt", "exe", "C:\\x.exe\\file", "a.exe.txt", "a.cmd", ""})
        EXPECT_FALSE(RunHasProgramExtension(no)) << no;
}

} // namespace
