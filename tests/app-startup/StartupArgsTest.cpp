#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/StartupArgs.h"

namespace {

struct Outcome {
    uint32_t flags = 0;
    std::string settings, left, right;
    int32_t showCmd = 1;
    std::vector<unsigned long> waits;
};

std::vector<unsigned long> *gWaits;
void RecordWait(unsigned long seconds) { gWaits->push_back(seconds); }

Outcome Parse(std::vector<const char *> args) {
    Outcome out;
    char settings[kStartPathSize] = "KESTR", left[kStartPathSize] = "", right[kStartPathSize] = "";
    gWaits = &out.waits;
    StartupArgTargets t{settings, {left, right}, &out.showCmd, RecordWait};
    for (const char *a : args)
        out.flags = ParseStartupArgument(a, out.flags, t);
    out.settings = settings;
    out.left = left;
    out.right = right;
    return out;
}

TEST(ParseCommandArgument, DelayIsBoundedAndNeverReallySleeps) {
    struct Case {
        const char *arg;
        std::vector<unsigned long> waits;
        uint32_t flags;
    } cases[] = {
        {"/d=5", {5}, kStartDelay},        // the letter is upper-cased
        {"/D=5", {5}, kStartDelay},
        {"/D=0", {}, 0},
        {"/D=x", {}, 0},
        {"/D", {}, 0},
        {"/D5", {}, 0},                    // no "=": ignored
        {"/D=1000", {300}, kStartDelay},
        {"/D=300", {300}, kStartDelay},
        {"/D=-1", {300}, kStartDelay},     // unsigned test: waits the maximum
    };
    for (const Case &c : cases) {
        Outcome o = Parse({c.arg});
        EXPECT_EQ(o.waits, c.waits) << c.arg;
        EXPECT_EQ(o.flags, c.flags) << c.arg;
    }
}

TEST(ParseCommandArgument, NewInstanceAndHandOverFirstWins) {
    EXPECT_EQ(Parse({"/N", "/O"}).flags, (uint32_t)kStartNewInstance);
    EXPECT_EQ(Parse({"/O", "/N"}).flags, (uint32_t)kStartHandOver);
    EXPECT_EQ(Parse({"/o"}).flags, (uint32_t)kStartHandOver);
    EXPECT_EQ(Parse({"/n"}).flags, (uint32_t)kStartNewInstance);
}

TEST(ParseCommandArgument, ShowCommandFirstWinsAndOnlyBareLetters) {
    Outcome a = Parse({"m", "M"});
    EXPECT_EQ(a.showCmd, 6);
    EXPECT_EQ(a.flags, (uint32_t)kStartShowGiven);
    Outcome b = Parse({"M", "m"});
    EXPECT_EQ(b.showCmd, 3);
    Outcome c = Parse({"/m"});
    EXPECT_EQ(c.showCmd, 1);
    EXPECT_EQ(c.flags, 0u);
    // "mm" is a settings file name, not a show command.
    Outcome d = Parse({"mm"});
    EXPECT_EQ(d.showCmd, 1);
    EXPECT_EQ(d.settings, "mm");
}

TEST(ParseCommandArgument, SettingsFileRules) {
    struct Case {
        std::vector<const char *> args;
        const char *settings;
    } cases[] = {
        {{"a.ini", "b.ini"}, "a.ini"},           // first bare word wins
        {{"/I=c.ini", "a.ini"}, "c.ini"},        // /I= blocks a bare word
        {{"a.ini", "/I=c.ini"}, "c.ini"},        // a later /I= replaces
        {{"/I=c.ini", "/i=d.ini"}, "d.ini"},
        {{"/I"}, "KESTR"},                       // no "=": ignored
        {{}, "KESTR"},
    };
    for (const Case &c : cases) {
        Outcome o = Parse(c.args);
        EXPECT_EQ(o.settings, c.settings);
        EXPECT_EQ((o.flags & kStartSettingsGiven) != 0, o.settings != "KESTR");
    }
}

TEST(ParseCommandArgument, PanelPaths) {
    Outcome o = Parse({"/O", "/L=C:\\X"});
    EXPECT_EQ(o.left, "C:\\X");
    EXPECT_EQ(o.right, "");
    EXPECT_EQ(o.flags, (uint32_t)(kStartHandOver | kStartLeftPath));
    Outcome r = Parse({"/r=D:\\Y", "/l=E:\\"});
    EXPECT_EQ(r.right, "D:\\Y");
    EXPECT_EQ(r.left, "E:\\");
    EXPECT_EQ(r.flags, (uint32_t)(kStartLeftPath | kStartRightPath));
    EXPECT_EQ(Parse({"/L"}).flags, 0u);
    EXPECT_EQ(Parse({"/Q=1"}).flags, 0u);
    EXPECT_EQ(Parse({"/"}).flags, 0u);
}

TEST(ParseCommandArgument, LongValuesAreCutTo259) {
    std::string longPath = "/L=" + std::string(400, 'x');
    std::string longName(400, 'y');
    Outcome o = Parse({longPath.c_str(), longName.c_str()});
    EXPECT_EQ(o.left, std::string(259, 'x'));
    EXPECT_EQ(o.settings, std::string(259, 'y'));
}

} // namespace
