#include "tools/TextEditor.h"

#include "panels/Location.h"
#include "tools/ExtPrograms.h"

#include <commctrl.h>
#include <richedit.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/Language.h"
#include "app/Menus.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "wingui/GuiDraw.h"
#include "wingui/WindowList.h"
#include "wingui/WindowUtil.h"
#include "tools/EditChrome.h"
#include "tools/EditPrint.h"
#include "tools/Popup.h"
#include "tools/RunServices.h"
#include "tools/SafeSave.h"
#include "tools/TextCodec.h"

// Fixed class names: a name taken from the language table would no longer
// match after a language change, and windows of the old name would be lost.
static const char kEditClass[] = "ZqEdit";
static const char kViewClass[] = "ZqView";

static EditWindowRecord *RecordOf(HWND window) {
    return (EditWindowRecord *)GetWindowLongPtrA(window, GWLP_USERDATA);
}

static const wchar_t *W(const std::u16string &s) { return reinterpret_cast<const wchar_t *>(s.c_str()); }

static std::u16string ChildText(HWND child) {
    int length = GetWindowTextLengthW(child);
    std::u16string text((size_t)length + 1, u'\0');
    int got = GetWindowTextW(child, reinterpret_cast<wchar_t *>(&text[0]), length + 1);
    text.resize(got > 0 ? (size_t)got : 0);
    return text;
}

static std::u16string FromAnsi(const char *text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::u16string out(n > 0 ? (size_t)n : 1, u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t *>(&out[0]), n);
    out.resize(n > 0 ? (size_t)n - 1 : 0);
    return out;
}

static void ShowLineEnds(HWND window, uint16_t lineEnds) {
    HMENU menu = GetMenu(window);
    if (!menu)
        return;
    const char *text = lineEnds == kLineEndsLf ? "UNIX" : lineEnds == kLineEndsCr ? "MAC" : "";
    ModifyMenuA(menu, 999, MF_BYCOMMAND | MF_STRING | MF_RIGHTJUSTIFY, 999, text);
    DrawMenuBar(window);
}

static void ShowLineColumn(EditWindowRecord *r) {
    HWND window = GetParent(r->textChild);
    DWORD start = 0;
    SendMessageA(r->textChild, EM_GETSEL, (WPARAM)&start, 0);
    uint32_t line = (uint32_t)SendMessageA(r->textChild, EM_LINEFROMCHAR, start, 0) + 1;
    uint32_t column = start - (uint32_t)SendMessageA(r->textChild, EM_LINEINDEX, line - 1, 0) + 1;
    if (line == r->shownLine && column == r->shownColumn)
        return;
    r->shownLine = line;
    r->shownColumn = column;
    HMENU menu = GetMenu(window);
    if (!menu)
        return;
    char text[48];
    snprintf(text, sizeof text, "Ln %lu, Col %lu", (unsigned long)line, (unsigned long)column);
    ModifyMenuA(menu, 102, MF_BYCOMMAND | MF_STRING | MF_RIGHTJUSTIFY, 102, text);
    DrawMenuBar(window);
}

static bool ReadWhole(const char *path, std::string *bytes, uint32_t *error) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok && size.QuadPart > 0x10000000) { // 256 MB: an edit child cannot hold more in any case
        ok = false;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (ok) {
        try {
            bytes->resize((size_t)size.QuadPart);
        } catch (...) {
            ok = false;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    DWORD got = 0;
    if (ok && size.QuadPart)
        ok = ReadFile(file, &(*bytes)[0], (DWORD)size.QuadPart, &got, nullptr) && got == (DWORD)size.QuadPart;
    *error = ok ? 0 : (GetLastError() ? GetLastError() : ERROR_READ_FAULT);
    CloseHandle(file);
    return ok;
}

struct RtfSource {
    const std::string *bytes;
    size_t at;
};

static DWORD CALLBACK RtfRead(DWORD_PTR cookie, LPBYTE buffer, LONG want, LONG *got) {
    RtfSource *source = (RtfSource *)cookie;
    size_t left = source->bytes->size() - source->at;
    size_t n = left < (size_t)want ? left : (size_t)want;
    memcpy(buffer, source->bytes->data() + source->at, n);
    source->at += n;
    *got = (LONG)n;
    return 0;
}

// The text of an RTF document, read by the system's rich-edit control (a
// hidden one, made for this and gone again). False when there is no such
// control or the document gives no text; the viewer then shows the source.
static bool RtfToText(const std::string &bytes, std::u16string *text) {
    static HMODULE library = LoadLibraryA("RICHED20.DLL");
    if (!library)
        return false;
    HWND rich = CreateWindowExW(0, L"RichEdit20W", L"", ES_MULTILINE, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!rich)
        return false;
    SendMessageA(rich, EM_EXLIMITTEXT, 0, (LPARAM)(bytes.size() + 65536));
    RtfSource source = {&bytes, 0};
    EDITSTREAM stream = {(DWORD_PTR)&source, 0, RtfRead};
    SendMessageA(rich, EM_STREAMIN, SF_RTF, (LPARAM)&stream);
    int n = GetWindowTextLengthW(rich);
    text->assign((size_t)(n > 0 ? n : 0) + 1, u'\0');
    n = n > 0 ? GetWindowTextW(rich, reinterpret_cast<wchar_t *>(&(*text)[0]), n + 1) : 0;
    text->resize((size_t)n);
    DestroyWindow(rich);
    return stream.dwError == 0 && n > 0;
}

static bool IsRtf(const std::string &bytes) { return bytes.size() > 5 && bytes.compare(0, 5, "{\\rtf") == 0; }

uint32_t EditLoadEditor(EditWindowRecord *r, const char *path) {
    std::string bytes;
    uint32_t error = 0;
    if (!ReadWhole(path, &bytes, &error))
        return error;
    const uint8_t *data = (const uint8_t *)bytes.data();
    std::u16string text;
    uint16_t bom = TextDetectBom(data, bytes.size());
    bool latin1 = false;
    // The viewer shows an RTF document's text; the editor edits its source
    // (and saves it byte for byte).
    if (r->toolKind != 2 && IsRtf(bytes) && RtfToText(bytes, &text)) {
        r->byteOrderMark = 0;
        r->latin1 = false;
        r->lineEnds = TextDetectLineEnds(text.data(), text.size());
        SetWindowTextW(r->textChild, W(TextToControl(text, &r->hadNul)));
        SendMessageA(r->textChild, EM_SETMODIFY, 0, 0);
        return 0;
    }
    if (bom) {
        text = TextFromUtf16Bytes(data, bytes.size(), bom);
    } else if (!bytes.empty()) {
        // The code page is used only when it gives back the very same bytes;
        // otherwise (a broken DBCS pair, an unmapped byte) every byte stays one
        // character and is written back unchanged.
        int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), nullptr, 0);
        if (n > 0) {
            text.resize((size_t)n);
            MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), reinterpret_cast<wchar_t *>(&text[0]), n);
            std::string back((size_t)WideCharToMultiByte(CP_ACP, 0, W(text), n, nullptr, 0, nullptr, nullptr), 0);
            if (!back.empty())
                WideCharToMultiByte(CP_ACP, 0, W(text), n, &back[0], (int)back.size(), nullptr, nullptr);
            latin1 = back != bytes;
        } else {
            latin1 = true;
        }
        if (latin1)
            text = TextFromLatin1(data, bytes.size());
    }
    r->byteOrderMark = bom;
    r->latin1 = latin1;
    r->lineEnds = TextDetectLineEnds(text.data(), text.size());
    std::u16string shown = TextToControl(text, &r->hadNul);
    SendMessageA(r->textChild, EM_LIMITTEXT, 0, 0);
    SetWindowTextW(r->textChild, W(shown));
    SendMessageA(r->textChild, EM_SETMODIFY, 0, 0);
    ShowLineEnds(GetParent(r->textChild), r->lineEnds);
    return 0;
}

uint32_t EditSave(EditWindowRecord *r) {
    std::u16string text = TextFromControl(ChildText(r->textChild), r->lineEnds, r->hadNul);
    std::string bytes;
    if (r->byteOrderMark) {
        bytes = TextToUtf16Bytes(text, r->byteOrderMark);
    } else if (r->latin1) {
        if (!TextToLatin1(text, &bytes))
            return ERROR_NO_UNICODE_TRANSLATION;
    } else if (!text.empty()) {
        BOOL usedDefault = FALSE;
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, W(text), (int)text.size(), nullptr, 0, nullptr,
                                    &usedDefault);
        if (n <= 0)
            return GetLastError();
        bytes.resize((size_t)n);
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, W(text), (int)text.size(), &bytes[0], n, nullptr,
                            &usedDefault);
        if (usedDefault) // a '?' written for a character would be silent loss
            return ERROR_NO_UNICODE_TRANSLATION;
    }
    return FileSaveReplacing(r->openPath, bytes.data(), bytes.size());
}

int EditFind(EditWindowRecord *r, const FINDREPLACEA *request, bool replacing) {
    DWORD start = 0, end = 0;
    SendMessageA(r->textChild, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    bool down = (request->Flags & FR_DOWN) != 0;
    size_t from = down ? (replacing ? start : end) : (replacing ? end : start);
    std::u16string needle = FromAnsi(request->lpstrFindWhat);
    int64_t at = TextFind(ChildText(r->textChild), needle, from, down, (request->Flags & FR_MATCHCASE) != 0);
    if (at < 0)
        return 0;
    SendMessageA(r->textChild, EM_SETSEL, (WPARAM)at, (LPARAM)(at + (int64_t)needle.size()));
    SendMessageA(r->textChild, EM_SCROLLCARET, 0, 0);
    r->searchPos = (int32_t)(at + (int64_t)needle.size());
    if (replacing) {
        std::u16string with = FromAnsi(request->lpstrReplaceWith);
        SendMessageW(r->textChild, EM_REPLACESEL, TRUE, (LPARAM)W(with));
        r->searchPos = (int32_t)(at + (int64_t)with.size());
    }
    ShowLineColumn(r);
    return 1;
}

static void ShowNotFound(HWND window) {
    char text[128];
    TextGet(Txt::errEOF, text, sizeof text);
    PopupShow(window, text);
    MessageBeep(MB_ICONHAND);
}

static void FindMessage(HWND window, EditWindowRecord *r, FINDREPLACEA *request) {
    if (request->Flags & FR_DIALOGTERM) {
        r->findDialog = nullptr;
        return;
    }
    if (request->Flags & FR_FINDNEXT) {
        if (!EditFind(r, request, false))
            ShowNotFound(window);
    } else if (request->Flags & FR_REPLACE) {
        if (!EditFind(r, request, true))
            ShowNotFound(window);
    } else if (request->Flags & FR_REPLACEALL) {
        SendMessageA(r->textChild, EM_SETSEL, 0, 0);
        FINDREPLACEA down = *request;
        down.Flags |= FR_DOWN;
        // Each search starts after the text just inserted, so a replacement
        // that contains the search text cannot loop.
        while (EditFind(r, &down, true)) {
        }
        if (r->findDialog)
            DestroyWindow(r->findDialog);
        r->findDialog = nullptr;
    }
}

static MenuItemDef *EditPopupItems(const EditWindowRecord *r) {
    return (r->toolKind == 2 ? gEditorMenu : gViewerMenu)[1].popup;
}

static LRESULT CALLBACK EditChildProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
    EditWindowRecord *r = RecordOf(GetParent(child));
    WNDPROC old = r ? r->oldChildProc : DefWindowProcW;
    if (r && message == WM_CONTEXTMENU) { // the window's own Edit menu, not the control's
        MenuPopupFromTable(GetParent(child), EditPopupItems(r));
        return 0;
    }
    LRESULT result = CallWindowProcW(old, child, message, wParam, lParam);
    if (r && (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP ||
              message == WM_CHAR))
        ShowLineColumn(r);
    return result;
}

static void SetCaption(HWND window, EditWindowRecord *r) {
    WndSetDocTitle(window, r->toolKind == 2 ? Txt::txtEdit : Txt::txtView, r->displayPath, nullptr);
}

static bool Modified(EditWindowRecord *r) {
    return r->toolKind == 2 && SendMessageA(r->textChild, EM_GETMODIFY, 0, 0) != 0;
}

// Removes a temporary copy this window was given, and only such a copy.
static void DropTemporaryCopy(EditWindowRecord *r) {
    if (r->openIsTemporary && PathIsOwnTemporary(r->openPath)) {
        SetFileAttributesA(r->openPath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(r->openPath);
    }
    r->openIsTemporary = false;
}

static int SaveDocument(HWND window, EditWindowRecord *r, bool askName) {
    if (r->toolKind != 2)
        return 0;
    if (askName || !r->openPath[0]) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", r->openPath);
        if (!gEditorAskFileName(window, path, true))
            return 0; // a cancelled dialog changes nothing
        DropTemporaryCopy(r);
        snprintf(r->openPath, sizeof r->openPath, "%s", path);
        snprintf(r->displayPath, sizeof r->displayPath, "%s", path);
        SetCaption(window, r);
    }
    uint32_t error = EditSave(r);
    if (error) {
        char detail[600];
        if (error == ERROR_NO_UNICODE_TRANSLATION)
            TextGet(Txt::errNotEncodable, detail, sizeof detail);
        else
            SaveErrorText(error, "", detail, sizeof detail);
        EditorShowText(window, Txt::errNotSaved, r->displayPath, MB_OK | MB_ICONSTOP,
                       detail[0] == '\n' ? detail + 2 : detail);
        return 0;
    }
    SendMessageA(r->textChild, EM_SETMODIFY, 0, 0);
    return 1;
}

static bool OpenDocument(HWND window, EditWindowRecord *r, const char *path) {
    EditWindowRecord trial = *r;
    uint32_t error = EditLoadEditor(&trial, path);
    if (error) {
        char detail[400];
        SaveErrorText(error, "", detail, sizeof detail);
        EditorShowText(window, Txt::errNotLoaded, path, MB_OK | MB_ICONSTOP, detail + 2);
        return false;
    }
    DropTemporaryCopy(r);
    *r = trial;
    // Both names follow the file now shown: the old display name would tell
    // the next close or save to treat the user's file as somebody else's.
    snprintf(r->openPath, sizeof r->openPath, "%s", path);
    snprintf(r->displayPath, sizeof r->displayPath, "%s", path);
    r->openIsTemporary = false;
    SetCaption(window, r);
    return true;
}

static void OpenFindDialog(HWND window, EditWindowRecord *r, bool replace) {
    if (r->findDialog)
        return;
    memset(&r->findRecord, 0, sizeof r->findRecord);
    r->findRecord.lStructSize = sizeof r->findRecord;
    r->findRecord.hwndOwner = window;
    r->findRecord.Flags = FR_DOWN | FR_HIDEWHOLEWORD;
    r->findRecord.lpstrFindWhat = r->findText;
    r->findRecord.wFindWhatLen = sizeof r->findText;
    r->findRecord.lpstrReplaceWith = r->replaceText;
    r->findRecord.wReplaceWithLen = sizeof r->replaceText;
    if (!r->findText[0]) { // seeded from the selection: at most 63 characters, one line
        DWORD start = 0, end = 0;
        SendMessageA(r->textChild, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        std::u16string all = ChildText(r->textChild);
        if (end > start && end <= all.size()) {
            std::u16string part = all.substr(start, end - start);
            size_t cut = 0;
            while (cut < part.size() && part[cut] >= 32)
                cut++;
            part.resize(cut);
            char seed[64] = "";
            WideCharToMultiByte(CP_ACP, 0, W(part), (int)part.size(), seed, 63, nullptr, nullptr);
            seed[63] = 0;
            snprintf(r->findText, sizeof r->findText, "%s", seed);
        }
    }
    r->findDialog = replace ? ReplaceTextA(&r->findRecord) : FindTextA(&r->findRecord);
}

// The child's lines for a printout, as the control holds them.
class ChildLines : public PrintSource {
  public:
    explicit ChildLines(HWND child) : child(child) {}
    uint32_t Lines(int) override { return (uint32_t)SendMessageW(child, EM_GETLINECOUNT, 0, 0); }
    std::wstring Line(uint32_t index) override {
        LRESULT start = SendMessageW(child, EM_LINEINDEX, index, 0);
        if (start < 0)
            return std::wstring();
        LRESULT length = SendMessageW(child, EM_LINELENGTH, (WPARAM)start, 0);
        if (length <= 0)
            return std::wstring();
        if (length > 0xFFFF)
            length = 0xFFFF; // EM_GETLINE takes its buffer size in one WORD; paper is narrower anyway
        // The buffer's first character tells EM_GETLINE how many fit.
        std::wstring text((size_t)length + 1, L'\0');
        text[0] = (wchar_t)length;
        LRESULT got = SendMessageW(child, EM_GETLINE, index, (LPARAM)&text[0]);
        text.resize(got > 0 && got <= length ? (size_t)got : 0);
        return text;
    }

  private:
    HWND child;
};

static LRESULT EditCommand(HWND window, EditWindowRecord *r, int id) {
    bool editor = r->toolKind == 2;
    switch (id) {
    case 11922: // New
        if (!editor || (Modified(r) && EditAskSave(window, r->displayPath) == IDCANCEL))
            return 0;
        DropTemporaryCopy(r);
        SetWindowTextW(r->textChild, L"");
        SendMessageA(r->textChild, EM_SETMODIFY, 0, 0);
        r->openPath[0] = r->displayPath[0] = 0;
        r->byteOrderMark = 0;
        r->lineEnds = 0;
        r->hadNul = r->latin1 = false;
        ShowLineEnds(window, 0);
        SetCaption(window, r);
        return 1;
    case 11923: { // Open
        if (Modified(r) && EditAskSave(window, r->displayPath) == IDCANCEL)
            return 0;
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", r->displayPath);
        if (!gEditorAskFileName(window, path, false))
            return 0;
        return OpenDocument(window, r, path);
    }
    case 11924:
        return SaveDocument(window, r, false);
    case 11925:
        return SaveDocument(window, r, true);
    case 110: {
        ChildLines lines(r->textChild);
        HFONT font = (HFONT)SendMessageA(r->textChild, WM_GETFONT, 0, 0);
        return EditorPrint(window, r->displayPath, font, lines) ? 1 : 0;
    }
    case 120:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case 11928:
        SendMessageA(r->textChild, EM_UNDO, 0, 0);
        return 0;
    case 11929:
        SendMessageA(r->textChild, WM_CUT, 0, 0);
        return 0;
    case 11930:
        SendMessageA(r->textChild, WM_COPY, 0, 0);
        return 0;
    case 11931:
        SendMessageA(r->textChild, WM_PASTE, 0, 0);
        return 0;
    case 11932:
        SendMessageA(r->textChild, WM_CLEAR, 0, 0);
        return 0;
    case 11937:
        SendMessageA(r->textChild, EM_SETSEL, 0, -1);
        return 0;
    case 11945:
        OpenFindDialog(window, r, false);
        return 0;
    case 11956:
        if (editor)
            OpenFindDialog(window, r, true);
        return 0;
    case 11946:
        if (!r->findText[0]) {
            OpenFindDialog(window, r, false);
        } else {
            FINDREPLACEA request = r->findRecord;
            request.lpstrFindWhat = r->findText;
            if (!request.lStructSize)
                request.Flags = FR_DOWN;
            if (!EditFind(r, &request, false))
                ShowNotFound(window);
        }
        return 0;
    case 530:
        if (r->findDialog)
            SetFocus(r->findDialog);
        return 0;
    }
    return 0;
}

static HFONT TextFont(const EditWindowRecord *r) {
    HFONT font = gApp ? (r->toolKind == 2 ? gApp->fontEditor : gApp->fontViewer) : nullptr;
    return font ? font : (HFONT)GetStockObject(ANSI_FIXED_FONT);
}

// The edit child in the record's wrap style: without horizontal scrolling the
// control breaks lines at its edge, and that style is fixed at creation.
static HWND MakeChild(HWND window, EditWindowRecord *r) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
    if (!r->wordWrap)
        style |= WS_HSCROLL | ES_AUTOHSCROLL;
    if (r->toolKind != 2)
        style |= ES_READONLY;
    HWND child = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, 0, 0, 0, 0, window,
                                 (HMENU)(INT_PTR)kEditChildId, GetModuleHandleA(nullptr), nullptr);
    if (!child)
        return nullptr;
    SendMessageA(child, WM_SETFONT, (WPARAM)TextFont(r), 0);
    SendMessageA(child, EM_LIMITTEXT, 0, 0);
    r->oldChildProc = (WNDPROC)SetWindowLongPtrW(child, GWLP_WNDPROC, (LONG_PTR)EditChildProc);
    return child;
}

static const ToolButton kEditorButtons[] = {
    {STD_FILENEW, 11922}, {STD_FILEOPEN, 11923}, {STD_FILESAVE, 11924}, {0, 0},          {STD_PRINT, 110},
    {0, 0},               {STD_FIND, 11945},     {STD_REPLACE, 11956}, {0, 0}, {STD_UNDO, 11928},
    {STD_CUT, 11929},     {STD_COPY, 11930},     {STD_PASTE, 11931}, {STD_DELETE, 11932}};
static const ToolButton kViewerButtons[] = {{STD_FILEOPEN, 11923}, {0, 0}, {STD_PRINT, 110}, {0, 0},
                                            {STD_FIND, 11945},     {0, 0}, {STD_COPY, 11930}};

static uint16_t ToolBarHiddenBit(const EditWindowRecord *r) {
    return r->toolKind == 2 ? kBarEditToolbarHidden : kBarViewToolbarHidden;
}

static void MakeToolBar(HWND window, EditWindowRecord *r) {
    if (r->toolKind == 2)
        r->toolBar = EditToolBarCreate(window, kEditorButtons, sizeof kEditorButtons / sizeof kEditorButtons[0]);
    else
        r->toolBar = EditToolBarCreate(window, kViewerButtons, sizeof kViewerButtons / sizeof kViewerButtons[0]);
}

bool EditAttachText(HWND window, EditWindowRecord *r) {
    if (r->textChild)
        return true;
    r->textChild = MakeChild(window, r);
    if (!r->textChild)
        return false;
    r->findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
    MenuSetFromTable(window, r->toolKind == 2 ? gEditorMenu : gViewerMenu,
                     r->toolKind == 2 ? gEditorMenu : gViewerMenu);
    if (HMENU menu = GetMenu(window)) {
        if (r->toolKind != 2)
            AppendMenuA(menu, MF_STRING | MF_RIGHTJUSTIFY, 999, "");
        AppendMenuA(menu, MF_STRING | MF_RIGHTJUSTIFY, 102, "");
    }
    r->shownLine = r->shownColumn = 0;
    if (!gApp || !(gApp->barOptions & ToolBarHiddenBit(r)))
        MakeToolBar(window, r);
    EditLayout(window, r->toolBar, r->textChild);
    return true;
}

void EditDetachText(HWND window, EditWindowRecord *r) {
    if (r->findDialog)
        DestroyWindow(r->findDialog);
    r->findDialog = nullptr;
    if (r->textChild) {
        SetWindowLongPtrW(r->textChild, GWLP_WNDPROC, (LONG_PTR)r->oldChildProc);
        DestroyWindow(r->textChild);
    }
    r->textChild = nullptr;
    if (r->toolBar)
        DestroyWindow(r->toolBar);
    r->toolBar = nullptr;
    if (HMENU menu = GetMenu(window)) {
        SetMenu(window, nullptr);
        DestroyMenu(menu);
    }
}

void EditApplyWordWrap(HWND window, EditWindowRecord *r) {
    if (!r->textChild)
        return;
    std::u16string text = ChildText(r->textChild);
    DWORD start = 0, end = 0;
    SendMessageA(r->textChild, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    LRESULT modified = SendMessageA(r->textChild, EM_GETMODIFY, 0, 0);
    bool focused = GetFocus() == r->textChild;
    HWND old = r->textChild;
    SetWindowLongPtrW(old, GWLP_WNDPROC, (LONG_PTR)r->oldChildProc);
    r->textChild = nullptr;
    DestroyWindow(old);
    r->textChild = MakeChild(window, r);
    if (!r->textChild) { // no child at all would leave an empty window that still claims the file
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    SetWindowTextW(r->textChild, W(text));
    SendMessageA(r->textChild, EM_SETSEL, start, end);
    SendMessageA(r->textChild, EM_SETMODIFY, modified ? TRUE : FALSE, 0);
    SendMessageA(r->textChild, EM_SCROLLCARET, 0, 0);
    EditLayout(window, r->toolBar, r->textChild);
    if (focused)
        SetFocus(r->textChild);
}

// The text windows of one kind (2 editor, 3 viewer) that show a text child.
static std::vector<HWND> TextWindowsOfKind(int kind) {
    std::vector<HWND> windows;
    if (!gApp)
        return windows;
    EnterCriticalSection(&gApp->dialogListLock);
    for (uint32_t i = 0; i < gApp->modelessDialogCount; i++)
        if (gApp->modelessDialogs[i].kind == kind && gApp->modelessDialogs[i].data)
            windows.push_back((HWND)gApp->modelessDialogs[i].window);
    LeaveCriticalSection(&gApp->dialogListLock);
    return windows;
}

static void ChooseTextFont(HWND window, EditWindowRecord *r) {
    if (!gApp)
        return;
    int slot = r->toolKind == 2 ? kFontEditor : kFontViewer;
    COLORREF *colors = r->toolKind == 2 ? gApp->colorEditor : gApp->colorViewer;
    LOGFONTA font = gApp->fonts[slot];
    COLORREF color = colors[0];
    if (!FontChoose(window, &font, &color, 0))
        return;
    HFONT made = CreateFontIndirectA(&font);
    if (!made)
        return;
    gApp->fonts[slot] = font;
    colors[0] = color;
    HFONT &current = r->toolKind == 2 ? gApp->fontEditor : gApp->fontViewer;
    HFONT old = current;
    current = made;
    for (HWND other : TextWindowsOfKind(r->toolKind)) {
        EditWindowRecord *e = RecordOf(other);
        if (e && e->textChild) {
            SendMessageA(e->textChild, WM_SETFONT, (WPARAM)made, TRUE);
            InvalidateRect(e->textChild, nullptr, TRUE);
        }
    }
    if (old)
        DeleteObject(old);
}

static void ChooseTextBackground(HWND window, EditWindowRecord *r) {
    if (!gApp)
        return;
    COLORREF *colors = r->toolKind == 2 ? gApp->colorEditor : gApp->colorViewer;
    COLORREF back = colors[1];
    if (!EditPickColor(window, &back))
        return;
    HBRUSH made = CreateSolidBrush(back);
    if (!made)
        return;
    colors[1] = back;
    HBRUSH &brush = r->toolKind == 2 ? gApp->brushEditorBk : gApp->brushViewerBk;
    HBRUSH old = brush;
    brush = made;
    for (HWND other : TextWindowsOfKind(r->toolKind)) {
        EditWindowRecord *e = RecordOf(other);
        if (e && e->textChild)
            InvalidateRect(e->textChild, nullptr, TRUE);
    }
    if (old)
        DeleteObject(old);
}

static void ToggleToolBar(HWND window, EditWindowRecord *r) {
    if (r->toolBar) {
        DestroyWindow(r->toolBar);
        r->toolBar = nullptr;
        if (gApp)
            gApp->barOptions |= ToolBarHiddenBit(r);
    } else {
        MakeToolBar(window, r);
        if (gApp)
            gApp->barOptions &= (uint16_t)~ToolBarHiddenBit(r);
    }
    EditLayout(window, r->toolBar, r->textChild);
}

static void InitTextMenu(EditWindowRecord *r, HMENU menu) {
    UINT find = MF_BYCOMMAND | (r->findDialog ? MF_GRAYED : MF_ENABLED);
    EnableMenuItem(menu, 11945, find);
    EnableMenuItem(menu, 11946, find);
    EnableMenuItem(menu, 11956, find);
    CheckMenuItem(menu, 241, MF_BYCOMMAND | (r->toolBar ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, 11955, MF_BYCOMMAND | (r->wordWrap ? MF_CHECKED : MF_UNCHECKED));
    DWORD start = 0, end = 0;
    SendMessageA(r->textChild, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    UINT selection = MF_BYCOMMAND | (end > start ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, 11929, selection);
    EnableMenuItem(menu, 11930, selection);
    EnableMenuItem(menu, 11932, selection);
    EnableMenuItem(menu, 11928,
                   MF_BYCOMMAND | (SendMessageA(r->textChild, EM_CANUNDO, 0, 0) ? MF_ENABLED : MF_GRAYED));
    bool text = IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_UNICODETEXT);
    EnableMenuItem(menu, 11931, MF_BYCOMMAND | (text ? MF_ENABLED : MF_GRAYED));
}

bool EditTextMessage(HWND window, EditWindowRecord *r, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT *result) {
    *result = 0;
    if (!r->textChild)
        return false;
    if (r->findMessage && message == r->findMessage) {
        FindMessage(window, r, (FINDREPLACEA *)lParam);
        return true;
    }
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            EditLayout(window, r->toolBar, r->textChild);
        return true;
    case WM_SETFOCUS:
        SetFocus(r->textChild);
        return true;
    case WM_COMMAND:
        if (lParam && (HWND)lParam == r->textChild)
            return true; // EN_ notifications
        switch (LOWORD(wParam)) {
        case 402:
            ChooseTextFont(window, r);
            return true;
        case 11935:
            ChooseTextBackground(window, r);
            return true;
        case 241:
            ToggleToolBar(window, r);
            return true;
        case 11955:
            r->wordWrap = !r->wordWrap;
            EditApplyWordWrap(window, r);
            return true;
        }
        *result = EditCommand(window, r, LOWORD(wParam));
        return true;
    case WM_NOTIFY:
        return EditToolTip(lParam);
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam)) {
            InitTextMenu(r, (HMENU)wParam);
            // The editor's popups are drawn as the main window's are.
            if (r->toolKind == 2 && !MenuPlain())
                MenuSetOwnerDraw(window, (HMENU)wParam, 0);
        }
        return true;
    case WM_MEASUREITEM:
        if (r->toolKind != 2 || wParam != 0 || !MenuMeasureItem((MEASUREITEMSTRUCT *)lParam))
            return false;
        *result = TRUE;
        return true;
    case WM_DRAWITEM:
        if (r->toolKind != 2 || wParam != 0 || !MenuDrawItem((const DRAWITEMSTRUCT *)lParam))
            return false;
        *result = TRUE;
        return true;
    case WM_MENUCHAR:
        if (r->toolKind != 2)
            return false;
        *result = MenuFindMnemonic((HMENU)lParam, (char)LOWORD(wParam), HIWORD(wParam));
        return *result != 0;
    case WM_CONTEXTMENU:
        MenuPopupFromTable(window, EditPopupItems(r));
        return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        HBRUSH brush = gApp ? (r->toolKind == 2 ? gApp->brushEditorBk : gApp->brushViewerBk) : nullptr;
        if ((HWND)lParam != r->textChild || !brush)
            return false;
        const COLORREF *colors = r->toolKind == 2 ? gApp->colorEditor : gApp->colorViewer;
        SetTextColor((HDC)wParam, colors[0]);
        SetBkColor((HDC)wParam, colors[1]);
        *result = (LRESULT)brush;
        return true;
    }
    }
    return false;
}

static LRESULT EditOnCreate(HWND window, EditWindowRecord *r) {
    if (!EditAttachText(window, r))
        return -1;
    if (r->displayPath[0]) {
        uint32_t error = EditLoadEditor(r, r->openPath[0] ? r->openPath : r->displayPath);
        if (error) {
            char detail[400];
            SaveErrorText(error, "", detail, sizeof detail);
            EditorShowText(window, Txt::errNotLoaded, r->displayPath, MB_OK | MB_ICONSTOP, detail + 2);
            return -1; // the record goes with the window at WM_NCDESTROY
        }
    }
    SetCaption(window, r);
    return 0;
}

LRESULT CALLBACK EditFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        EditWindowRecord *r = (EditWindowRecord *)((CREATESTRUCTA *)lParam)->lpCreateParams;
        if (r->taken)
            *r->taken = true;
        r->taken = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)r);
    }
    EditWindowRecord *r = RecordOf(window);
    if (!r)
        return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    if (message != WM_DESTROY && EditTextMessage(window, r, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_CREATE:
        return EditOnCreate(window, r);
    case WM_CLOSE:
        if (Modified(r) && EditAskSave(window, r->displayPath) == IDCANCEL)
            return 0;
        DestroyWindow(window);
        return 0;
    case WM_QUERYENDSESSION:
        return !(Modified(r) && EditAskSave(window, r->displayPath) == IDCANCEL);
    case WM_DESTROY:
        if (gApp) {
            WndStorePos(window, &gApp->windowPos[r->toolKind == 2 ? kPosEditor : kPosViewer]);
            if (r->wordWrap)
                gApp->generalOptions |= kGenWordWrap;
            else
                gApp->generalOptions &= ~(uint32_t)kGenWordWrap;
        }
        if (r->findDialog)
            DestroyWindow(r->findDialog);
        ToolWndUnregister(window);
        if (r->origin) {
            // A saved copy goes back to the device; the job reads it, so it stays.
            if (EditPutBack(r->openPath, r->origin, r->originDate, r->originTime, r->originSize))
                r->openIsTemporary = false;
            r->origin = nullptr;
        }
        DropTemporaryCopy(r);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        LocationCloneFree(r->origin);
        free(r);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct FindRequest {
    const char *path;
    const char *className;
    HWND found;
};

static BOOL CALLBACK FindShowing(HWND window, LPARAM lParam) {
    FindRequest *f = (FindRequest *)lParam;
    char cls[16];
    if (GetClassNameA(window, cls, sizeof cls) && !strcmp(cls, f->className)) {
        EditWindowRecord *r = RecordOf(window);
        if (r && lstrcmpiA(r->displayPath, f->path) == 0) {
            f->found = window;
            return FALSE;
        }
    }
    return TRUE;
}

HWND EditCreateWindow(const char *displayPath, const char *openPath, int kind, const EditOrigin *origin) {
    if (!displayPath)
        displayPath = "";
    if (!openPath || !openPath[0])
        openPath = displayPath;
    const char *className = kind == 2 ? kEditClass : kViewClass;
    if (displayPath[0]) {
        FindRequest f = {displayPath, className, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindShowing, (LPARAM)&f);
        if (f.found) {
            WndBringToFront(f.found);
            return f.found;
        }
    }
    EditWindowRecord *r = (EditWindowRecord *)calloc(1, sizeof(EditWindowRecord));
    if (!r)
        return nullptr;
    r->toolKind = (uint16_t)(kind == 2 ? 2 : 3);
    r->wordWrap = gApp && (gApp->generalOptions & kGenWordWrap) ? 1 : 0;
    snprintf(r->displayPath, sizeof r->displayPath, "%s", displayPath);
    snprintf(r->openPath, sizeof r->openPath, "%s", openPath);
    r->openIsTemporary = lstrcmpiA(r->openPath, r->displayPath) != 0 && PathIsOwnTemporary(r->openPath);
    if (origin && origin->location && r->toolKind == 2) {
        r->origin = LocationClone(origin->location);
        r->originDate = origin->date;
        r->originTime = origin->time;
        r->originSize = origin->size;
    }
    bool taken = false;
    r->taken = &taken;
    HWND window = EditorCreateFrame(className, EditFrameProc, 7, kind == 2 ? kPosEditor : kPosViewer,
                                    kind == 2 ? kToolWndEditor : kToolWndViewer, r);
    if (!window && !taken) { // else WM_NCDESTROY has freed it already
        LocationCloneFree(r->origin);
        free(r);
    }
    return window;
}
