#include "tools/EditPrint.h"

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include "base/Texts.h"
#include "wingui/WindowUtil.h"
#include "tools/SafeSave.h"

namespace {

const int kPrintDialogId = 11965, kPrintNameId = 11966;

// One printing at a time in the program: its dialog and its cancel flag.
HWND gPrintDialog;
bool gPrintCancelled;
HWND gPrintOwner;  // disabled while printing, enabled again by Cancel
HWND gPrintSource; // the window whose text is printed

INT_PTR CALLBACK PrintDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        char text[80];
        TextGet(Txt::dlgPrint, text, sizeof text);
        if (text[0])
            SetWindowTextA(dialog, text);
        TextGet(Txt::butCancel, text, sizeof text);
        if (text[0])
            SetDlgItemTextA(dialog, IDCANCEL, text);
        const char *name = (const char *)lParam;
        const char *slash = name ? strrchr(name, '\\') : nullptr;
        SetDlgItemTextA(dialog, kPrintNameId, slash ? slash + 1 : name ? name : "");
        EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        if (HWND owner = GetWindow(dialog, GW_OWNER))
            WndPlaceRelative(owner, dialog, 5, 5);
        return TRUE;
    }
    case WM_COMMAND:
        // Its only button, and anything else that reaches it, cancels.
        gPrintCancelled = true;
        if (gPrintOwner)
            EnableWindow(gPrintOwner, TRUE);
        gPrintDialog = nullptr;
        DestroyWindow(dialog);
        return TRUE;
    }
    return FALSE;
}

// Messages go on while the pages go out, so the program keeps painting and
// the printing dialog can be pressed. False once it was.
bool PumpPrinting() {
    MSG msg;
    while (!gPrintCancelled && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (gPrintDialog && IsDialogMessageA(gPrintDialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // A window closed meanwhile (a posted close, the end of the session)
    // takes the lines it was printing with it.
    if (gPrintSource && !IsWindow(gPrintSource))
        gPrintCancelled = true;
    return !gPrintCancelled;
}

BOOL CALLBACK PumpWhilePrinting(HDC, int) { return PumpPrinting() ? TRUE : FALSE; }

bool PrinterStartDoc(PrintDevice *device, const char *name) {
    DOCINFOA info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = name;
    SetAbortProc(device->measure, PumpWhilePrinting);
    return StartDocA(device->measure, &info) > 0;
}

HDC PrinterStartPage(PrintDevice *device) { return StartPage(device->measure) > 0 ? device->measure : nullptr; }

bool PrinterEndPage(PrintDevice *device, HDC) { return EndPage(device->measure) > 0; }

void PrinterEndDoc(PrintDevice *device, bool completed) {
    if (completed)
        EndDoc(device->measure);
    else
        AbortDoc(device->measure);
}

void PrinterRelease(PrintDevice *device) {
    if (device->measure)
        DeleteDC(device->measure);
    device->measure = nullptr;
}

bool DialogPrintSetup(HWND owner, PrintDevice *device, uint32_t *error) {
    *error = 0;
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_COLLATE;
    pd.nCopies = 1;
    if (!PrintDlgA(&pd)) {
        DWORD why = CommDlgExtendedError();
        // No printer installed, or none usable: the user hears that, in the
        // system's words; a closed dialog is a plain cancel.
        if (why == PDERR_NODEFAULTPRN || why == PDERR_NODEVICES || why == PDERR_PRINTERNOTFOUND)
            *error = ERROR_INVALID_PRINTER_NAME;
        else if (why)
            *error = ERROR_GEN_FAILURE;
        return false;
    }
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);
    if (!pd.hDC) {
        *error = ERROR_INVALID_PRINTER_NAME;
        return false;
    }
    device->measure = pd.hDC;
    device->copies = pd.nCopies > 0 ? pd.nCopies : 1;
    device->collate = (pd.Flags & PD_COLLATE) != 0;
    device->startDoc = PrinterStartDoc;
    device->startPage = PrinterStartPage;
    device->endPage = PrinterEndPage;
    device->endDoc = PrinterEndDoc;
    device->release = PrinterRelease;
    return true;
}

uint32_t LastErrorOr(uint32_t fallback) {
    DWORD e = GetLastError();
    return e ? e : fallback;
}

} // namespace

bool (*gEditorPrintSetup)(HWND, PrintDevice *, uint32_t *) = DialogPrintSetup;

HWND EditPrintDialog() { return gPrintDialog; }

uint32_t PrintLinesWith(HWND owner, const char *docName, HFONT screenFont, PrintSource &source) {
    PrintDevice device = {};
    uint32_t error = 0;
    if (!gEditorPrintSetup(owner, &device, &error))
        return error ? error : ERROR_CANCELLED;
    HDC measure = device.measure;
    // The editor's font at the same size on paper as on the screen.
    LOGFONTA font = {};
    if (!screenFont || !GetObjectA(screenFont, sizeof font, &font))
        GetObjectA(GetStockObject(ANSI_FIXED_FONT), sizeof font, &font);
    HDC screen = GetDC(nullptr);
    int screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int printerDpi = GetDeviceCaps(measure, LOGPIXELSY);
    if (screenDpi > 0 && printerDpi > 0)
        font.lfHeight = MulDiv(font.lfHeight, printerDpi, screenDpi);
    font.lfWidth = 0;
    HFONT printFont = CreateFontIndirectA(&font);
    HGDIOBJ old = SelectObject(measure, printFont);
    TEXTMETRICA tm = {};
    GetTextMetricsA(measure, &tm);
    SelectObject(measure, old);
    int lineHeight = tm.tmHeight + tm.tmExternalLeading;
    if (lineHeight < 1)
        lineHeight = 1;
    int charsPerLine = GetDeviceCaps(measure, HORZRES) / (tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 1);
    if (charsPerLine < 1)
        charsPerLine = 1;
    int linesPerPage = GetDeviceCaps(measure, VERTRES) / lineHeight;
    if (linesPerPage < 1)
        linesPerPage = 1;
    uint32_t lines = source.Lines(charsPerLine);
    uint32_t pages = (lines + (uint32_t)linesPerPage - 1) / (uint32_t)linesPerPage;

    bool wasEnabled = owner && IsWindowEnabled(owner);
    gPrintCancelled = false;
    gPrintOwner = wasEnabled ? owner : nullptr;
    gPrintSource = owner;
    gPrintDialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPrintDialogId), owner,
                                      PrintDialogProc, (LPARAM)docName);
    if (wasEnabled)
        EnableWindow(owner, FALSE);
    bool started = device.startDoc(&device, docName && docName[0] ? docName : "Zq");
    if (!started)
        error = LastErrorOr(ERROR_GEN_FAILURE);
    int copies = device.copies > 0 ? device.copies : 1;
    // Collated: the whole document once per copy; else each page repeated.
    int outer = device.collate ? copies : 1, inner = device.collate ? 1 : copies;
    for (int c = 0; started && !error && c < outer; c++) {
        for (uint32_t p = 0; !error && p < pages; p++) {
            for (int r = 0; !error && r < inner; r++) {
                HDC page = device.startPage(&device);
                if (!page) {
                    error = LastErrorOr(ERROR_GEN_FAILURE);
                    break;
                }
                HGDIOBJ was = SelectObject(page, printFont);
                SetBkMode(page, TRANSPARENT);
                for (int l = 0; l < linesPerPage; l++) {
                    uint32_t index = p * (uint32_t)linesPerPage + (uint32_t)l;
                    if (index >= lines)
                        break;
                    std::wstring text = source.Line(index);
                    if (text.size() > (size_t)charsPerLine)
                        text.resize((size_t)charsPerLine); // longer lines are cut at the edge
                    if (!text.empty())
                        TextOutW(page, 0, l * lineHeight, text.c_str(), (int)text.size());
                }
                SelectObject(page, was);
                if (!device.endPage(&device, page))
                    error = LastErrorOr(ERROR_GEN_FAILURE);
                else if (!PumpPrinting())
                    error = ERROR_CANCELLED;
            }
        }
    }
    if (started)
        device.endDoc(&device, !error);
    if (wasEnabled && IsWindow(owner))
        EnableWindow(owner, TRUE);
    if (gPrintDialog)
        DestroyWindow(gPrintDialog);
    gPrintDialog = nullptr;
    gPrintOwner = gPrintSource = nullptr;
    DeleteObject(printFont);
    if (device.release)
        device.release(&device);
    return error;
}

bool EditorPrint(HWND owner, const char *docName, HFONT screenFont, PrintSource &source) {
    uint32_t error = PrintLinesWith(owner, docName, screenFont, source);
    if (error == 0)
        return true;
    if (error != ERROR_CANCELLED) {
        char detail[600];
        SaveErrorText(error, "", detail, sizeof detail);
        EditorShowText(owner, Txt::errNotPrinted, docName, MB_OK | MB_ICONSTOP, detail[0] == '\n' ? detail + 2 : detail);
    }
    return false;
}
