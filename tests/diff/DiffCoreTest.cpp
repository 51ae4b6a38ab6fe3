// The file comparison's line logic on the native build, checked against
// GNU diff on the same files: identical files, a moved line, blank changes,
// case, long lines, tabs, line ends.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tools/DiffCore.h"

namespace {

struct Files {
    std::string dir, a, b;
    Files(const std::string &left, const std::string &right)
    {
        char pattern[] = "/tmp/difftest.XXXXXX";
        dir = mkdtemp(pattern);
        a = dir + "/a";
        b = dir + "/b";
        std::ofstream(a, std::ios::binary) << left;
        std::ofstream(b, std::ios::binary) << right;
    }
    ~Files() { (void)!system(("rm -rf '" + dir + "'").c_str()); }
};

std::string Shell(const std::string &command, int *status)
{
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    int s = pclose(p);
    *status = WEXITSTATUS(s);
    return out;
}

std::string DiffFlags(uint32_t options)
{
    std::string flags = " --strip-trailing-cr";
    if (options & kDiffIgnoreSpaces)
        flags += " -w";
    if (!(options & kDiffCaseSensitive))
        flags += " -i";
    return flags;
}

// Line numbers diff takes out of the old file (side 0) or puts into the new one (side 1).
std::set<uint32_t> DiffChanged(const Files &f, uint32_t options, int side, int *status)
{
    std::string format = side == 0 ? " --old-line-format='%dn\n' --new-line-format=''"
                                   : " --old-line-format='' --new-line-format='%dn\n'";
    std::string out = Shell("diff" + DiffFlags(options) + format + " --unchanged-line-format='' '" + f.a + "' '" + f.b + "'",
                          status);
    std::set<uint32_t> lines;
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        lines.insert((uint32_t)strtoul(out.substr(at, end - at).c_str(), nullptr, 10));
        at = end + 1;
    }
    return lines;
}

std::string Lines(std::initializer_list<std::string> lines, const char *end = "\n")
{
    std::string out;
    for (const std::string &l : lines)
        out += l + end;
    return out;
}

TEST(DiffCore, AgreesWithDiff)
{
    const std::string longA(300, 'x'), longB = std::string(299, 'x') + "y";
    struct Case {
        const char *name;
        std::string left, right;
        uint32_t options;
    } cases[] = {
        {"identical", Lines({"one", "two", "three"}), Lines({"one", "two", "three"}), kDiffCaseSensitive},
        {"moved line", Lines({"1", "2", "3", "4", "five", "6", "7", "8", "9", "10"}),
         Lines({"1", "2", "3", "4", "6", "7", "8", "9", "five", "10"}), kDiffCaseSensitive},
        {"added and removed", Lines({"a", "b", "c"}), Lines({"a", "new", "c", "tail"}), kDiffCaseSensitive},
        {"blank changes, counted", Lines({"a b", "x\ty"}), Lines({"ab", "x y"}), kDiffCaseSensitive},
        {"blank changes, ignored", Lines({"a b", "x\ty", " lead"}), Lines({"ab", "x y", "lead "}),
         kDiffCaseSensitive | kDiffIgnoreSpaces},
        {"case, counted", Lines({"ABC", "def"}), Lines({"abc", "def"}), kDiffCaseSensitive},
        {"case, ignored", Lines({"ABC", "def"}), Lines({"abc", "DEF"}), 0},
        {"long lines differ past 259", Lines({longA, "same"}), Lines({longB, "same"}), kDiffCaseSensitive},
        {"long lines equal", Lines({longA}), Lines({longA}), kDiffCaseSensitive},
        {"tabs", Lines({"\tindent", "a\tb"}), Lines({"\tindent", "a    b"}), kDiffCaseSensitive},
        {"CR LF against LF", Lines({"one", "two", "three"}, "\r\n"), Lines({"one", "two", "three"}), kDiffCaseSensitive},
        {"repeated lines", Lines({"x", "x", "y", "x"}), Lines({"y", "x", "x"}), kDiffCaseSensitive},
        {"empty against text", "", Lines({"a", "b"}), kDiffCaseSensitive},
    };
    for (const Case &c : cases) {
        Files f(c.left, c.right);
        DiffSide left, right;
        left.text = c.left;
        right.text = c.right;
        DiffSplitLines(&left);
        DiffSplitLines(&right);
        DiffCompare(&left, &right, c.options);
        int status = 0;
        std::set<uint32_t> gone = DiffChanged(f, c.options, 0, &status);
        std::set<uint32_t> come = DiffChanged(f, c.options, 1, &status);
        ASSERT_LE(status, 1) << c.name;
        bool same = left.differing == 0 && right.differing == 0 && left.lines.size() == right.lines.size();
        EXPECT_EQ(same, status == 0) << c.name;
        // A line no equal of which is in the other file is one that diff
        // takes out or puts in, and is shown as added. Of a text that
        // occurs more often on one side, diff takes out or puts in at least
        // as many copies as are shown as added (the lines themselves may be
        // others: diff keeps the longest common run, this comparison the
        // nearest equal line).
        for (int s = 0; s < 2; s++) {
            const DiffSide &side = s ? right : left, &other = s ? left : right;
            const std::set<uint32_t> &changed = s ? come : gone;
            std::map<std::string, int> added, reported;
            for (size_t i = 0; i < side.lines.size(); i++) {
                std::string key = DiffLineKey(side.Line(i).data(), side.lines[i].length, c.options);
                bool anywhere = false;
                for (size_t j = 0; j < other.lines.size() && !anywhere; j++)
                    anywhere = DiffLinesEqual(side.Line(i), other.Line(j), c.options);
                if (side.lines[i].status == kDiffAdded)
                    added[key]++;
                if (changed.count(side.lines[i].number))
                    reported[key]++;
                if (!anywhere) {
                    EXPECT_EQ(side.lines[i].status, kDiffAdded) << c.name << " side " << s << " line " << i + 1;
                    EXPECT_TRUE(changed.count(side.lines[i].number)) << c.name << " side " << s << " line " << i + 1;
                }
            }
            for (const auto &a : added)
                EXPECT_LE(a.second, reported[a.first]) << c.name << " side " << s << " " << a.first;
        }
    }
}

TEST(DiffCore, AMovedLineLinksBothWays)
{
    DiffSide left, right;
    left.text = Lines({"1", "2", "3", "4", "five", "6", "7", "8", "9", "10"});
    right.text = Lines({"1", "2", "3", "4", "6", "7", "8", "9", "five", "10"});
    DiffSplitLines(&left);
    DiffSplitLines(&right);
    DiffCompare(&left, &right, kDiffCaseSensitive);
    EXPECT_EQ(left.lines[4].status, kDiffMovedDown);
    EXPECT_EQ(right.lines[left.lines[4].counterpart].number, 9u);
    EXPECT_EQ(right.lines[8].status, kDiffMovedUp);
    EXPECT_EQ(left.lines[right.lines[8].counterpart].number, 5u);
    EXPECT_EQ(left.lines[9].status, kDiffSame);
    // Only the differing lines are items when differences alone are shown.
    uint32_t only = kDiffCaseSensitive | kDiffOnlyDifferences;
    EXPECT_EQ(DiffItemCount(left, only), left.differing);
    EXPECT_EQ(DiffLineAtItem(left, 0, only), 4);
    EXPECT_EQ(DiffLineAtItem(left, left.differing, only), -1);
    EXPECT_EQ(DiffLineAtItem(left, 9, kDiffCaseSensitive), 9);
}

TEST(DiffCore, LineEndsNeverMakeFilesDiffer)
{
    for (const char *right : {"one\ntwo", "one\r\ntwo\r\n", "one\rtwo\r", "one\ntwo\n"}) {
        DiffSide a, b;
        a.text = "one\ntwo\n";
        b.text = right;
        DiffSplitLines(&a);
        DiffSplitLines(&b);
        DiffCompare(&a, &b, kDiffCaseSensitive);
        EXPECT_EQ(b.lines.size(), 2u);
        EXPECT_EQ(a.differing + b.differing, 0u) << right;
    }
}

TEST(DiffCore, TabsExpandLikeExpand)
{
    const std::string text = Lines({"\tone", "a\tb", "abc\td", "abcd\te", "\t\tx\ty", "no tabs", "12345\t6"});
    Files f(text, "");
    int status = 0;
    std::string expanded = Shell("expand -t 4 '" + f.a + "'", &status);
    ASSERT_EQ(status, 0);
    DiffSide side;
    side.text = text;
    DiffSplitLines(&side);
    std::string ours;
    for (size_t i = 0; i < side.lines.size(); i++)
        ours += DiffExpandTabs(side.Line(i), 4) + "\n";
    EXPECT_EQ(ours, expanded);
}

} // namespace
