// The file compare window under Wine, as a user meets it: opened on two
// files, its lists read back line by line, options switched by their menu
// commands, a file changed on disk, the window closed under a comparison.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/fileops-jobs/JobTestSupport.h"
#include "tests/mpaudio/Mp3PlayerWinUtil.h"
#include "tools/DiffCore.h"
#include "tools/DiffWindow.h"

namespace {

struct Shown {
    uint32_t status, number, counterpart;
    bool operator==(const Shown &o) const
    {
        return status == o.status && number == o.number && counterpart == o.counterpart;
    }
};
std::ostream &operator<<(std::ostream &os, const Shown &s)
{
    return os << "{" << s.status << "," << s.number << "," << s.counterpart << "}";
}

std::vector<Shown> Side(HWND w, int side)
{
    HWND list = GetDlgItem(w, side ? 102 : 101);
    std::vector<Shown> out;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        LRESULT info = SendMessageA(w, kMsgDiffLineInfo, side, i);
        LRESULT partner = SendMessageA(w, kMsgDiffLineInfo, side, i | 0x40000000);
        out.push_back({(uint32_t)info & 15, (uint32_t)info >> 4, (uint32_t)partner});
    }
    return out;
}

LRESULT Generation(HWND w) { return SendMessageA(w, kMsgDiffGeneration, 0, 0); }

// Sends a command and waits for the comparison it starts to be shown.
void CommandAndWait(HWND w, int id)
{
    LRESULT before = Generation(w);
    SendMessageA(w, WM_COMMAND, id, 0);
    ASSERT_TRUE(WaitFor([&] { return Generation(w) > before; }));
}

HWND Open(const std::string &a, const std::string &b, const std::string &settings)
{
    HWND w = DiffWindowOpen(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr), 0, a.c_str(), b.c_str(),
                            settings.c_str());
    EXPECT_TRUE(w);
    EXPECT_TRUE(WaitFor([&] { return Generation(w) >= 1; }));
    return w;
}

// A one-line file compared with itself, with a settings file of the test's own.
struct OneFile {
    std::string a, ini;
    explicit OneFile(const char *scratch)
    {
        JobTestInitApp();
        std::string dir = JobTestScratch(scratch);
        a = dir + "\\a.txt";
        ini = dir + "\\settings.ini";
        WriteFileBytes(a, "x\n");
    }
};

TEST(DiffWindow, ShowsStatusesAndFollowsItsOptions)
{
    JobTestInitApp();
    std::string dir = JobTestScratch("diff-window");
    std::string a = dir + "\\a.txt", b = dir + "\\b.txt", ini = dir + "\\settings.ini";
    WriteFileBytes(a, "1\r\n2\r\n3\r\n4\r\nfive\r\n6\r\n7\r\n8\r\n9\r\nA B\r\nx y\r\n");
    WriteFileBytes(b, "1\n2\n3\n4\n6\n7\n8\n9\nfive\na b\nxy\n");
    HWND w = Open(a, b, ini);
    std::vector<Shown> left = Side(w, 0), right = Side(w, 1);
    ASSERT_EQ(left.size(), 11u);
    ASSERT_EQ(right.size(), 11u);
    EXPECT_EQ(left[10].status, kDiffAdded); // blanks count by default
    EXPECT_EQ(left[0], (Shown{kDiffSame, 1, 1}));
    EXPECT_EQ(left[4], (Shown{kDiffMovedDown, 5, 9}));
    EXPECT_EQ(left[5], (Shown{kDiffMovedUp, 6, 5}));
    EXPECT_EQ(right[8], (Shown{kDiffMovedUp, 9, 5}));
    EXPECT_EQ(left[9], (Shown{kDiffSame, 10, 10}));   // case is ignored by default...
    SendMessageA(w, WM_COMMAND, 931, 0);               // ...until it counts
    ASSERT_TRUE(WaitFor([&] { return Side(w, 0).size() == 11 && Side(w, 0)[9].status == kDiffAdded; }));
    CommandAndWait(w, 930);                            // blanks ignored, case still counts
    EXPECT_EQ(Side(w, 0)[9].status, kDiffAdded);
    EXPECT_EQ(Side(w, 0)[10], (Shown{kDiffSame, 11, 11}));
    CommandAndWait(w, 931);                            // case ignored again, blanks still ignored
    EXPECT_EQ(Side(w, 0)[9], (Shown{kDiffSame, 10, 10}));
    // Differences only: the moved lines 5-9 on both sides.
    SendMessageA(w, WM_COMMAND, 935, 0);
    EXPECT_EQ(Side(w, 0).size(), 5u);
    EXPECT_EQ(Side(w, 0)[0], (Shown{kDiffMovedDown, 5, 9}));
    DestroyWindow(w);
    // The options went to the settings file and come back.
    EXPECT_EQ(GetPrivateProfileIntA("ZqDiff", "Opt", -1, ini.c_str()),
              (int)(kDiffIgnoreSpaces | kDiffOnlyDifferences));
    HWND again = Open(a, b, ini);
    EXPECT_EQ(SendMessageA(again, kMsgDiffOptions, 0, 0), (LRESULT)(kDiffIgnoreSpaces | kDiffOnlyDifferences));
    DestroyWindow(again);
}

int ListTop(HWND w, int side)
{
    RECT rc;
    GetWindowRect(GetDlgItem(w, side ? 102 : 101), &rc);
    MapWindowPoints(nullptr, w, (POINT *)&rc, 2);
    return rc.top;
}

std::string TipOf(HWND w, int command)
{
    NMTTDISPINFOA tip = {};
    tip.hdr.hwndFrom = nullptr;
    tip.hdr.idFrom = (UINT_PTR)command;
    tip.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(w, WM_NOTIFY, 0, (LPARAM)&tip);
    return tip.lpszText ? tip.lpszText : "";
}

TEST(DiffWindow, ToolBarFollowsTheOptionsAndHidesOnItsCommand)
{
    OneFile f("diff-toolbar");
    const std::string &a = f.a, &ini = f.ini;
    HWND w = Open(a, a, ini);
    HWND bar = GetDlgItem(w, 1);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), 16);
    EXPECT_EQ(ImageList_GetImageCount((HIMAGELIST)SendMessageA(bar, TB_GETIMAGELIST, 0, 0)), 12);
    RECT barRect;
    GetWindowRect(bar, &barRect);
    int below = barRect.bottom - barRect.top;
    EXPECT_GT(below, 0);
    EXPECT_EQ(ListTop(w, 0), below);
    EXPECT_EQ(ListTop(w, 1), below);
    // Links start shown, the other check buttons up; they follow the menu.
    struct Check {
        int command;
        bool pressed;
    } start[] = {{942, true}, {930, false}, {931, false}, {935, false}};
    for (const Check &c : start)
        EXPECT_EQ(SendMessageA(bar, TB_ISBUTTONCHECKED, c.command, 0) != 0, c.pressed) << c.command;
    CommandAndWait(w, 931);
    SendMessageA(w, WM_COMMAND, 942, 0);
    EXPECT_TRUE(SendMessageA(bar, TB_ISBUTTONCHECKED, 931, 0));
    EXPECT_FALSE(SendMessageA(bar, TB_ISBUTTONCHECKED, 942, 0));
    EXPECT_EQ(TipOf(w, 921), "Open files");
    EXPECT_EQ(TipOf(w, 11945), "Search");
    // 241 hides the bar, the lists take its room, and the choice is kept.
    SendMessageA(w, WM_COMMAND, 241, 0);
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(ListTop(w, 0), 0);
    EXPECT_EQ(ListTop(w, 1), 0);
    DestroyWindow(w);
    EXPECT_EQ(GetPrivateProfileIntA("ZqDiff", "Opt", -1, ini.c_str()) & kDiffToolBarHidden, (int)kDiffToolBarHidden);
    HWND again = Open(a, a, ini);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(again, 1)));
    EXPECT_EQ(ListTop(again, 0), 0);
    SendMessageA(again, WM_COMMAND, 241, 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(again, 1)));
    EXPECT_EQ(ListTop(again, 0), below);
    DestroyWindow(again);
}

LOGFONTA ListFont(HWND w)
{
    LOGFONTA lf = {};
    GetObjectA((HFONT)SendMessageA(GetDlgItem(w, 101), WM_GETFONT, 0, 0), sizeof lf, &lf);
    return lf;
}

TEST(DiffWindow, FontComesFromTheSettingsWhenWhole)
{
    OneFile f("diff-font");
    const std::string &a = f.a, &ini = f.ini;
    WritePrivateProfileStringA("ZqDiff", "Font", "-19,0,0,0,700,0,0,0,0,0,0,0,49,Courier New", ini.c_str());
    HWND w = Open(a, a, ini);
    LOGFONTA lf = ListFont(w);
    EXPECT_EQ(lf.lfHeight, -19);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_STREQ(lf.lfFaceName, "Courier New");
    DestroyWindow(w);
    // Twelve numbers are not a font: the default stays.
    WritePrivateProfileStringA("ZqDiff", "Font", "-19,0,0,0,700,0,0,0,0,0,0,0,Arial", ini.c_str());
    w = Open(a, a, ini);
    EXPECT_STREQ(ListFont(w).lfFaceName, "Courier");
    DestroyWindow(w);
}

struct DialogSeek {
    HWND owner, found;
};

BOOL CALLBACK SeekOwnedDialog(HWND w, LPARAM p)
{
    DialogSeek *s = (DialogSeek *)p;
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (!strcmp(cls, "#32770") && GetWindow(w, GW_OWNER) == s->owner) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND OwnedDialog(HWND owner)
{
    DialogSeek seek = {owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), SeekOwnedDialog, (LPARAM)&seek);
    return seek.found;
}

std::vector<int> Selected(HWND w, int side)
{
    HWND list = GetDlgItem(w, side ? 102 : 101);
    std::vector<int> out;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        if (SendMessageA(list, LB_GETSEL, i, 0) > 0)
            out.push_back(i);
    }
    return out;
}

TEST(DiffWindow, FindsTextOnTheFocusedSide)
{
    JobTestInitApp();
    std::string dir = JobTestScratch("diff-find");
    std::string a = dir + "\\a.txt";
    WriteFileBytes(a, "alpha\nneedle one\nbeta\nNEEDLE two\ngamma\n");
    HWND w = Open(a, a, "");
    SendMessageA(w, WM_COMMAND, 11945, 0);
    HWND find = OwnedDialog(w);
    ASSERT_TRUE(find);
    SetDlgItemTextA(find, 0x480, "needle");
    SendMessageA(find, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(Selected(w, 0), (std::vector<int>{1}));
    // Find next: case is ignored unless asked for.
    SendMessageA(w, WM_COMMAND, 11946, 0);
    EXPECT_EQ(Selected(w, 0), (std::vector<int>{3}));
    // Nothing further down: the selection stays.
    SendMessageA(w, WM_COMMAND, 11946, 0);
    EXPECT_EQ(Selected(w, 0), (std::vector<int>{3}));
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(find));
}

TEST(DiffWindow, TheDividerMovesWhereItIsDropped)
{
    OneFile f("diff-split");
    HWND w = Open(f.a, f.a, "");
    RECT rc, left, right;
    GetClientRect(w, &rc);
    int middle = rc.right / 2, quarter = rc.right / 4;
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(middle, 10));
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(middle - 20, 10));
    SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(quarter, 10));
    GetWindowRect(GetDlgItem(w, 101), &left);
    GetWindowRect(GetDlgItem(w, 102), &right);
    EXPECT_NEAR(left.right - left.left, quarter - 1, 2);
    EXPECT_NEAR(right.right - right.left, rc.right - quarter - 1, 2);
    DestroyWindow(w);
}

BOOL WINAPI AnswerGreen(CHOOSECOLORA *cc)
{
    EXPECT_EQ(cc->rgbResult, (COLORREF)0xFF); // starts from the added colour
    cc->rgbResult = RGB(0, 128, 0);
    cc->lpCustColors[0] = RGB(1, 2, 3);
    return TRUE;
}

TEST(DiffWindow, StatusColoursAreChosenAndKept)
{
    OneFile f("diff-colour");
    const std::string &a = f.a, &ini = f.ini;
    HWND w = Open(a, a, ini);
    gDiffChooseColor = AnswerGreen;
    SendMessageA(w, WM_COMMAND, 940, 0);
    gDiffChooseColor = ChooseColorA;
    EXPECT_EQ(SendMessageA(w, kMsgDiffColor, kDiffAdded, 0), (LRESULT)RGB(0, 128, 0));
    DestroyWindow(w);
    char text[300];
    GetPrivateProfileStringA("ZqDiff", "Color", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "16711680,16711680,32768,0");
    GetPrivateProfileStringA("ZqDiff", "CC", "", text, sizeof text, ini.c_str());
    EXPECT_EQ(std::string(text).rfind("197121,16777215,", 0), 0u) << text;
    // Read back by the next window; a Color key without four numbers is ignored.
    w = Open(a, a, ini);
    EXPECT_EQ(SendMessageA(w, kMsgDiffColor, kDiffAdded, 0), (LRESULT)RGB(0, 128, 0));
    DestroyWindow(w);
    WritePrivateProfileStringA("ZqDiff", "Color", "1,2,3", ini.c_str());
    w = Open(a, a, ini);
    EXPECT_EQ(SendMessageA(w, kMsgDiffColor, kDiffAdded, 0), (LRESULT)0xFF);
    DestroyWindow(w);
}

// A drop of the given paths, as the shell hands it to a window.
HDROP MakeDrop(const std::vector<std::string> &paths)
{
    size_t chars = 1;
    for (const std::string &p : paths)
        chars += p.size() + 1;
    HGLOBAL g = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
    DROPFILES *df = (DROPFILES *)GlobalLock(g);
    df->pFiles = sizeof(DROPFILES);
    char *at = (char *)(df + 1);
    for (const std::string &p : paths) {
        memcpy(at, p.c_str(), p.size() + 1);
        at += p.size() + 1;
    }
    GlobalUnlock(g);
    return (HDROP)g;
}

TEST(DiffWindow, ADroppedFileReplacesItsSideAFolderDoesNot)
{
    JobTestInitApp();
    std::string dir = JobTestScratch("diff-drop");
    std::string a = dir + "\\a.txt", b = dir + "\\b.txt";
    WriteFileBytes(a, "one\n");
    WriteFileBytes(b, "one\ntwo\nthree\n");
    HWND w = Open(a, a, "");
    EXPECT_EQ(Side(w, 1).size(), 1u);
    LRESULT before = Generation(w);
    SendMessageA(GetDlgItem(w, 102), WM_DROPFILES, (WPARAM)MakeDrop({dir, b}), 0);
    ASSERT_TRUE(WaitFor([&] { return Generation(w) > before; }));
    EXPECT_EQ(Side(w, 1).size(), 3u);
    EXPECT_EQ(Side(w, 0).size(), 1u);
    // Only a folder: nothing changes.
    before = Generation(w);
    SendMessageA(GetDlgItem(w, 101), WM_DROPFILES, (WPARAM)MakeDrop({dir}), 0);
    SendMessageA(w, WM_COMMAND, 938, 0); // a comparison to wait for
    ASSERT_TRUE(WaitFor([&] { return Generation(w) > before; }));
    EXPECT_EQ(Side(w, 0).size(), 1u);
    DestroyWindow(w);
}

TEST(DiffWindow, CopiedLinesEndInCrLfOnce)
{
    JobTestInitApp();
    std::string dir = JobTestScratch("diff-copy");
    std::string a = dir + "\\a.txt", b = dir + "\\b.txt";
    WriteFileBytes(a, "first\r\nsecond\r\nthird\r\n");
    WriteFileBytes(b, "first\nsecond\n");
    HWND w = Open(a, b, "");
    HWND list = GetDlgItem(w, 101);
    SendMessageA(list, LB_SETSEL, TRUE, 0);
    SendMessageA(list, LB_SETSEL, TRUE, 2);
    SendMessageA(w, WM_COMMAND, 11930, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE h = GetClipboardData(CF_TEXT);
    std::string copied = h ? (const char *)GlobalLock(h) : "";
    if (h)
        GlobalUnlock(h);
    CloseClipboard();
    EXPECT_EQ(copied, "first\r\nthird\r\n");
    DestroyWindow(w);
}

TEST(DiffWindow, ComparesAgainWhenAFileChanges)
{
    JobTestInitApp();
    std::string dir = JobTestScratch("diff-change");
    std::string a = dir + "\\a.txt", b = dir + "\\b.txt";
    WriteFileBytes(a, "same\n");
    WriteFileBytes(b, "same\n");
    HWND w = Open(a, b, "");
    EXPECT_EQ(Side(w, 1).size(), 1u);
    // Appended by another writer: the window notices by itself.
    HANDLE h = CreateFileA(b.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "added\n", 6, &written, nullptr);
    CloseHandle(h);
    ASSERT_TRUE(WaitFor([&] { return Side(w, 1).size() == 2; }, 20000));
    EXPECT_EQ(Side(w, 1)[1], (Shown{kDiffAdded, 2, 0}));
    // A file that cannot be read shows why, as its only line.
    DeleteFileA(a.c_str());
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(w, kMsgDiffLineInfo, 0, 0) == -1; }, 20000));
    EXPECT_EQ(SendMessageA(GetDlgItem(w, 101), LB_GETCOUNT, 0, 0), 1);
    DestroyWindow(w);
}

TEST(DiffWindow, ClosingUnderARunningComparisonFreesNothingInUse)
{
    JobTestInitApp();
    std::string dir = JobTestScratch("diff-close");
    std::string a = dir + "\\a.txt", b = dir + "\\b.txt";
    std::string big;
    for (int i = 0; i < 200000; i++)
        big += "line " + std::to_string(i % 5000) + "\n";
    WriteFileBytes(a, big);
    WriteFileBytes(b, big + "tail\n");
    for (int round = 0; round < 5; round++) {
        HWND w = DiffWindowOpen(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr), 0, a.c_str(), b.c_str(), "");
        ASSERT_TRUE(w);
        DestroyWindow(w);
        EXPECT_FALSE(IsWindow(w));
    }
    // The threads finish on their own; a window opened now works as ever.
    HWND w = Open(a, b, "");
    EXPECT_EQ(Side(w, 1).size(), 200001u);
    EXPECT_EQ(Side(w, 1).back(), (Shown{kDiffAdded, 200001, 0}));
    DestroyWindow(w);
}

} // namespace
