// Printing from the text and hex editors onto a recorder that keeps every
// page as a metafile: the texts drawn on each page, in order, with copies,
// collation, a cancel and failures.
#include <gtest/gtest.h>

#include "EditorSupport.h"
#include "tools/EditPrint.h"
#include "tools/HexEditor.h"
#include "tools/TextEditor.h"

namespace {

struct PrintedLine {
    int y;
    std::wstring text;
};
typedef std::vector<PrintedLine> Page;

struct Recorder {
    std::vector<HENHMETAFILE> pages;
    int docs = 0;
    bool ended = false, completed = false;
    int failAtPage = -1;      // startPage fails there (ERROR_NOT_READY)
    int cancelAtPage = -1;    // the printing dialog's Cancel is pressed as that page ends
    std::string dialogName;   // what the printing dialog showed then
    bool ownerDisabled = false;
    bool cancel = false;      // the print dialog is cancelled
    uint32_t setupError = 0;  // the print dialog cannot find a printer
    int copies = 1;
    bool collate = false;
    ~Recorder() {
        for (HENHMETAFILE m : pages)
            DeleteEnhMetaFile(m);
    }
};
Recorder *gRecorder;

bool RecStartDoc(PrintDevice *, const char *) {
    gRecorder->docs++;
    return true;
}
HDC RecStartPage(PrintDevice *d) {
    if ((int)gRecorder->pages.size() == gRecorder->failAtPage) {
        SetLastError(ERROR_NOT_READY);
        return nullptr;
    }
    return CreateEnhMetaFileW(d->measure, nullptr, nullptr, nullptr);
}
bool RecEndPage(PrintDevice *, HDC page) {
    gRecorder->pages.push_back(CloseEnhMetaFile(page));
    if ((int)gRecorder->pages.size() == gRecorder->cancelAtPage + 1) {
        HWND dialog = EditPrintDialog();
        if (dialog) {
            char name[MAX_PATH] = "";
            GetDlgItemTextA(dialog, 11966, name, sizeof name);
            gRecorder->dialogName = name;
            gRecorder->ownerDisabled = !IsWindowEnabled(GetWindow(dialog, GW_OWNER));
            SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        }
    }
    return true;
}
void RecEndDoc(PrintDevice *, bool completed) {
    gRecorder->ended = true;
    gRecorder->completed = completed;
}
void RecRelease(PrintDevice *d) { ReleaseDC(nullptr, d->measure); }
bool RecSetup(HWND, PrintDevice *d, uint32_t *error) {
    *error = gRecorder->setupError;
    if (gRecorder->cancel || gRecorder->setupError)
        return false;
    d->measure = GetDC(nullptr);
    d->copies = gRecorder->copies;
    d->collate = gRecorder->collate;
    d->startDoc = RecStartDoc;
    d->startPage = RecStartPage;
    d->endPage = RecEndPage;
    d->endDoc = RecEndDoc;
    d->release = RecRelease;
    return true;
}

int CALLBACK CollectText(HDC, HANDLETABLE *, const ENHMETARECORD *record, int, LPARAM lParam) {
    if (record->iType == EMR_EXTTEXTOUTW) {
        const EMREXTTEXTOUTW *t = (const EMREXTTEXTOUTW *)record;
        const wchar_t *chars = (const wchar_t *)((const BYTE *)record + t->emrtext.offString);
        ((Page *)lParam)->push_back({t->emrtext.ptlReference.y, std::wstring(chars, t->emrtext.nChars)});
    }
    return 1;
}

Page Read(HENHMETAFILE m) {
    Page page;
    EnumEnhMetaFile(nullptr, m, CollectText, &page, nullptr);
    return page;
}

std::vector<std::wstring> Texts(const Page &page) {
    std::vector<std::wstring> out;
    for (const PrintedLine &l : page)
        out.push_back(l.text);
    return out;
}

} // namespace

class PrintTest : public EditorFixture {
  protected:
    void SetUp() override {
        EditorFixture::SetUp();
        recorder = new Recorder;
        gRecorder = recorder;
        gEditorPrintSetup = RecSetup;
    }
    void TearDown() override {
        if (window && IsWindow(window)) {
            if (HWND child = GetDlgItem(window, kEditChildId))
                SendMessageA(child, EM_SETMODIFY, 0, 0);
            DestroyWindow(window);
        }
        delete recorder;
        gRecorder = nullptr;
        EditorFixture::TearDown();
    }
    Recorder *recorder = nullptr;
    HWND window = nullptr;
};

// Every line of the text in order, pages filled to the same number of lines
// at one line height from the top, the long line cut at the paper's edge,
// and copies either collated (the document repeated) or page by page.
TEST_F(PrintTest, TextPagesHoldEveryLineInOrder) {
    std::string path = Path("long.txt");
    std::string file;
    std::vector<std::wstring> lines;
    for (int i = 0; i < 150; i++) {
        char line[32];
        snprintf(line, sizeof line, "line %03d", i);
        file += std::string(line) + "\r\n";
        lines.push_back(std::wstring(line, line + strlen(line)));
    }
    std::string wide(5000, 'w');
    file += wide;
    lines.push_back(std::wstring(wide.begin(), wide.end()));
    WriteBytes(path, file);
    window = EditCreateWindow(path.c_str(), path.c_str(), 2);
    ASSERT_NE(window, nullptr);
    Pump();

    struct {
        int copies;
        bool collate;
    } runs[] = {{1, false}, {2, true}, {2, false}};
    for (auto &run : runs) {
        for (HENHMETAFILE m : recorder->pages)
            DeleteEnhMetaFile(m);
        recorder->pages.clear();
        recorder->copies = run.copies;
        recorder->collate = run.collate;
        EXPECT_EQ(SendMessageA(window, WM_COMMAND, 110, 0), 1);
        EXPECT_TRUE(recorder->ended && recorder->completed);
        std::vector<Page> pages;
        for (HENHMETAFILE m : recorder->pages)
            pages.push_back(Read(m));
        ASSERT_FALSE(pages.empty());
        ASSERT_EQ(pages.size() % (size_t)run.copies, 0u);
        size_t perCopy = pages.size() / (size_t)run.copies;
        ASSERT_GE(perCopy, 2u) << "150 lines fill more than one page of this screen";
        // The order of the copies.
        for (size_t i = 0; i < pages.size(); i++) {
            size_t original = run.collate ? i % perCopy : i / (size_t)run.copies * (size_t)run.copies;
            EXPECT_EQ(Texts(pages[i]), Texts(pages[original])) << i;
        }
        // One copy: every line, in order, full pages but the last.
        std::vector<std::wstring> printed;
        size_t full = pages[0].size();
        int lineHeight = pages[0].size() > 1 ? pages[0][1].y - pages[0][0].y : 0;
        EXPECT_GT(lineHeight, 0);
        for (size_t p = 0; p < perCopy; p++) {
            size_t index = run.collate ? p : p * (size_t)run.copies;
            const Page &page = pages[index];
            if (p + 1 < perCopy) {
                EXPECT_EQ(page.size(), full) << p;
            }
            for (size_t l = 0; l < page.size(); l++) {
                EXPECT_EQ(page[l].y, (int)l * lineHeight) << p << " " << l;
                printed.push_back(page[l].text);
            }
        }
        ASSERT_EQ(printed.size(), lines.size());
        for (size_t i = 0; i + 1 < lines.size(); i++)
            EXPECT_EQ(printed[i], lines[i]) << i;
        const std::wstring &cut = printed.back();
        EXPECT_GT(cut.size(), 10u);
        EXPECT_LT(cut.size(), wide.size());
        EXPECT_EQ(cut, lines.back().substr(0, cut.size()));
    }
    EXPECT_TRUE(gBoxes.empty());
    EXPECT_EQ(ReadBytes(path), file);
}

// A cancelled print dialog is no failure and says nothing; a printer that
// cannot be had, or a page the printer refuses, is told in the system's words.
TEST_F(PrintTest, CancelSaysNothingAndFailuresSayWhy) {
    std::string path = Path("short.txt");
    WriteBytes(path, "one\r\ntwo\r\n");
    window = EditCreateWindow(path.c_str(), path.c_str(), 2);
    ASSERT_NE(window, nullptr);
    struct {
        bool cancel;
        uint32_t setupError;
        int failAtPage;
        uint32_t shownError; // 0: no box
    } cases[] = {
        {true, 0, -1, 0},
        {false, ERROR_INVALID_PRINTER_NAME, -1, ERROR_INVALID_PRINTER_NAME},
        {false, 0, 0, ERROR_NOT_READY},
    };
    for (auto &c : cases) {
        gBoxes.clear();
        recorder->cancel = c.cancel;
        recorder->setupError = c.setupError;
        recorder->failAtPage = c.failAtPage;
        recorder->ended = recorder->completed = false;
        EXPECT_EQ(SendMessageA(window, WM_COMMAND, 110, 0), 0);
        EXPECT_TRUE(IsWindowEnabled(window));
        if (!c.shownError) {
            EXPECT_TRUE(gBoxes.empty());
            continue;
        }
        ASSERT_EQ(gBoxes.size(), 1u);
        EXPECT_NE(gBoxes[0].text.find("Could not print file"), std::string::npos) << gBoxes[0].text;
        char system[300] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, c.shownError, 0x400,
                       system, sizeof system, nullptr);
        std::string first(system, strcspn(system, "\r\n"));
        EXPECT_NE(gBoxes[0].text.find(first), std::string::npos) << gBoxes[0].text;
        if (c.failAtPage >= 0) {
            EXPECT_TRUE(recorder->ended);
            EXPECT_FALSE(recorder->completed); // the document is aborted, not finished
        }
    }
    EXPECT_TRUE(recorder->pages.empty());
}

// While the pages go out the printing dialog shows the file's name and the
// editor is disabled; its Cancel stops after the page at hand, aborts the
// document, says nothing and gives the editor back.
TEST_F(PrintTest, ThePrintingDialogCancelsBetweenPages) {
    std::string path = Path("many.txt");
    std::string file;
    for (int i = 0; i < 400; i++)
        file += "line " + std::to_string(i) + "\r\n";
    WriteBytes(path, file);
    window = EditCreateWindow(path.c_str(), path.c_str(), 2);
    ASSERT_NE(window, nullptr);
    recorder->cancelAtPage = 0;
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 110, 0), 0);
    EXPECT_EQ(recorder->dialogName, "many.txt");
    EXPECT_TRUE(recorder->ownerDisabled);
    EXPECT_EQ(recorder->pages.size(), 1u) << "pages went out after the cancel";
    EXPECT_TRUE(recorder->ended);
    EXPECT_FALSE(recorder->completed);
    EXPECT_TRUE(gBoxes.empty());
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(EditPrintDialog(), nullptr);
    EXPECT_EQ(ReadBytes(path), file);
}

// The hex editor prints its rows: each line is an address and the bytes
// that follow it, and the rows together are the file, byte for byte.
TEST_F(PrintTest, HexRowsAreTheFileByteForByte) {
    std::string path = Path("dump.bin");
    std::string bytes;
    for (int i = 0; i < 3000; i++)
        bytes += (char)(i * 7 + 3);
    WriteBytes(path, bytes);
    gApp->dumpOptions[0] = 0;
    gApp->dumpOptions[1] = 1; // hexadecimal addresses
    window = HexOpenWindow(path.c_str());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 110, 0), 1);
    ASSERT_FALSE(recorder->pages.empty());
    std::string got;
    unsigned long expectAddress = 0;
    for (HENHMETAFILE m : recorder->pages) {
        for (const PrintedLine &line : Read(m)) {
            std::string text(line.text.begin(), line.text.end());
            unsigned long address = strtoul(text.c_str(), nullptr, 16);
            EXPECT_EQ(address, expectAddress) << text;
            // The hex column: two blanks after the address, "XX " per byte, two blanks, characters.
            size_t at = text.find("  ");
            ASSERT_NE(at, std::string::npos);
            at += 2;
            size_t end = text.find("  ", at);
            ASSERT_NE(end, std::string::npos) << text;
            std::string hex = text.substr(at, end - at);
            for (size_t i = 0; i + 1 < hex.size(); i += 3)
                got += (char)strtoul(hex.substr(i, 2).c_str(), nullptr, 16);
            expectAddress = (unsigned long)got.size();
        }
    }
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(gBoxes.empty());
}
