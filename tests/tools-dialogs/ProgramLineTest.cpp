// Lines of the Editor and Viewer sections as the options dialog writes and
// reads them.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tools/OptionsDialog.h"

namespace {

TEST(ProgramLine, Format) {
    const struct {
        const char *masks, *program, *params;
        int mode;
        const char *folder, *line;
    } cases[] = {
        {"*.txt", "C:\\ed.exe", "", 0, "", "*.txt=C:\\ed.exe"}, // trailing "=" removed
        {"*.txt", "C:\\ed.exe", "%1", 2, "C:\\", "*.txt=C:\\ed.exe=%1=M=C:\\"},
        {"*.c", "C:\\v.exe", "", 1, "", "*.c=C:\\v.exe==m"},
        {"*.c", "C:\\v.exe", "", 0, "D:\\x", "*.c=C:\\v.exe===D:\\x"},
        {"*.bmp;*.gif", "", "%1", 2, "C:\\", "*.bmp;*.gif"}, // the built-in program: masks only
    };
    for (const auto &c : cases) {
        char out[256];
        ASSERT_TRUE(OptFormatProgramLine(out, sizeof out, c.masks, c.program, c.params, c.mode, c.folder));
        EXPECT_STREQ(out, c.line);
    }
    char small[8];
    EXPECT_FALSE(OptFormatProgramLine(small, sizeof small, "*.txt", "C:\\ed.exe", "", 0, ""));
}

TEST(ProgramLine, Parse) {
    const struct {
        const char *line, *masks, *program, *params;
        int mode;
        const char *folder;
    } cases[] = {
        {"*.txt", "*.txt", "", "", 0, ""},
        {"*.txt=C:\\ed.exe", "*.txt", "C:\\ed.exe", "", 0, ""},
        {"*.txt=C:\\ed.exe=%1=M=C:\\", "*.txt", "C:\\ed.exe", "%1", 2, "C:\\"},
        {"*.c=C:\\v.exe==m", "*.c", "C:\\v.exe", "", 1, ""},
        {"*.c=v.exe==x=D:\\a=b", "*.c", "v.exe", "", 0, "D:\\a=b"}, // the folder takes the rest
    };
    for (const auto &c : cases) {
        char masks[520], program[520], params[520], folder[520];
        int mode = -1;
        OptParseProgramLine(c.line, masks, program, params, &mode, folder);
        EXPECT_STREQ(masks, c.masks) << c.line;
        EXPECT_STREQ(program, c.program) << c.line;
        EXPECT_STREQ(params, c.params) << c.line;
        EXPECT_EQ(mode, c.mode) << c.line;
        EXPECT_STREQ(folder, c.folder) << c.line;
    }
    // A field longer than 519 characters is cut, never overrun.
    std::string longLine(2000, 'a');
    char masks[520], program[520], params[520], folder[520];
    int mode;
    OptParseProgramLine(longLine.c_str(), masks, program, params, &mode, folder);
    EXPECT_EQ(strlen(masks), 519u);
}

} // namespace
