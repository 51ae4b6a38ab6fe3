// Printing of the text and hex editors: lines of text, cut to the page
// width, on as many pages as they need, in the editor's font scaled to the
// printer. Where the pages go is replaceable: the print dialog's printer by
// default, a recorder of metafile pages in the tests.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>

struct PrintDevice {
    HDC measure;  // the device's metrics: HORZRES, VERTRES, LOGPIXELSY
    int copies;   // at least 1
    bool collate; // copies of the whole document rather than of each page
    // Each returns false on failure, with the reason in GetLastError.
    bool (*startDoc)(PrintDevice *device, const char *name);
    HDC (*startPage)(PrintDevice *device); // the page to draw on; null on failure
    bool (*endPage)(PrintDevice *device, HDC page);
    void (*endDoc)(PrintDevice *device, bool completed);
    void (*release)(PrintDevice *device);
    void *context;
};

// The print dialog. True with a device to print on; false when the user
// cancelled (*error 0) or no printer could be had (*error the reason).
extern bool (*gEditorPrintSetup)(HWND owner, PrintDevice *device, uint32_t *error);

// The lines to print. Lines() is asked once, with the characters that fit
// one printed line, before any Line().
class PrintSource {
  public:
    virtual ~PrintSource() {}
    virtual uint32_t Lines(int charsPerLine) = 0;
    virtual std::wstring Line(uint32_t index) = 0;
};

// The printing dialog while pages go out (dialog 11965, the file's name and
// Cancel), null when none is open.
HWND EditPrintDialog();

// Prints the source with screenFont. The owner is disabled and the printing
// dialog open until the last page; its Cancel stops after the page at hand
// and the document is aborted. 0 when every page went out,
// ERROR_CANCELLED when the user cancelled, else the Win32 error.
uint32_t PrintLinesWith(HWND owner, const char *docName, HFONT screenFont, PrintSource &source);

// The same, telling the user of a failure (text "Could not print file" and
// the system's reason, the document's name as caption); a cancel is no
// failure and says nothing. True when printed.
bool EditorPrint(HWND owner, const char *docName, HFONT screenFont, PrintSource &source);
