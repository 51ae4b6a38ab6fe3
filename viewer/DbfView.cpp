// dBase table view: a child window of class "ZqDBF" with a tool bar, a
// details list (one record, a row per field) and a table list (a row per
// record, a page at a time or all of them by a worker thread). The worker
// reads through file handles and a record buffer of its own, so the window
// thread can go on reading records while it runs.
#include "viewer/LumoraInternal.h"

#include <commctrl.h>
#include <stdio.h>

namespace {

const char kDbfClass[] = "ZqDBF";
enum {
    kCmdClose = 120,
    kCmdFirst = 1101,
    kCmdPrevious = 1102,
    kCmdNext = 1103,
    kCmdLast = 1104,
    kCmdMore = 1105,
    kCmdReadAll = 1106,
    kCmdMode = 1107,
};
const uint16_t kListModeOption = 0x80;
HMODULE gLumoraModule; // the module this code lives in

bool HostReadAt(void* context, uint64_t offset, void* buffer, uint32_t n) {
    HANDLE h = static_cast<HANDLE>(context);
    // The host seeks with a signed 32-bit distance.
    if (offset > 0x7FFFFFFF || gHost->FileSeek(h, (uint32_t)offset) != (uint32_t)offset) return false;
    return gHost->FileRead(h, buffer, n) == 0;
}

bool DbfFileOpen(DbfFile* f, const char* path) {
    f->handle = INVALID_HANDLE_VALUE;
    f->source = {};
    if (!path[0] || gHost->FileCheckExists(path) != 0) return false;
    if (gHost->FileOpen(path, &f->handle, GENERIC_READ) != 0) {
        f->handle = INVALID_HANDLE_VALUE;
        return false;
    }
    uint64_t size = 0;
    if (gHost->FileGetSize(gHostMainWindow, f->handle, &size) != 0) {
        gHost->FileClose(f->handle);
        f->handle = INVALID_HANDLE_VALUE;
        return false;
    }
    f->source.context = f->handle;
    f->source.readAt = HostReadAt;
    f->source.size = size;
    return true;
}

void DbfFileClose(DbfFile* f) {
    if (f->handle != INVALID_HANDLE_VALUE) gHost->FileClose(f->handle);
    f->handle = INVALID_HANDLE_VALUE;
}

bool DbfSetItem(HWND list, int row, int column, const char* text, bool insert) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    if (insert) return SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item) >= 0;
    return SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&item) != 0;
}

void DbfAddColumn(HWND list, int index, const char* text, int width) {
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = const_cast<char*>(text);
    c.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&c);
}

// One record as a table row. False when nothing is to be added (deleted).
bool DbfAppendRow(HWND list, const DbfTable* t, const DbfCursor* c, const volatile LONG* stop) {
    if (DbfRecordDeleted(c)) return false;
    char value[kDbfMemoTextSize];
    int row = -1;
    for (uint32_t f = 0; f < t->fieldCount && !*stop; f++) {
        DbfFieldValue(t, c, f, value, sizeof value);
        if (f == 0) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = 0x7FFFFFFF;
            item.pszText = value;
            row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
            if (row < 0) return false;
        } else {
            DbfSetItem(list, row, (int)f, value, false);
        }
    }
    return true;
}

} // namespace

static void DbfRelease(DbfView* v) {
    if (InterlockedDecrement(&v->refs) != 0) return;
    DbfCursorFree(&v->cursor, gPicAlloc);
    DbfFileClose(&v->tableFile);
    DbfFileClose(&v->memoFile);
    DbfClose(&v->table, gPicAlloc);
    void* p = v;
    gHost->MemFree(&p);
}

static DbfSource* DbfMemoSource(DbfView* v) {
    return v->memoFile.handle != INVALID_HANDLE_VALUE ? &v->memoFile.source : nullptr;
}

static void DbfShowRecord(DbfView* v, uint32_t i) {
    if (!DbfReadRecord(&v->table, &v->cursor, i, v->tableFile.source, DbfMemoSource(v))) return;
    v->currentRecord = i;
    char value[kDbfMemoTextSize];
    for (uint32_t f = 0; f < v->table.fieldCount; f++) {
        DbfFieldValue(&v->table, &v->cursor, f, value, sizeof value);
        DbfSetItem(v->detailsList, (int)f, 2, value, false);
    }
    char status[80];
    snprintf(status, sizeof status, " %c  # %lu / %lu", v->cursor.record[0], (unsigned long)i + 1,
             (unsigned long)v->table.recordCount);
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT;
    c.pszText = status;
    SendMessageA(v->detailsList, LVM_SETCOLUMNA, 2, (LPARAM)&c);
}

// The next page of the table list, or every remaining record, read by the
// window thread.
static void DbfFillRows(DbfView* v, bool all) {
    if (v->busy) return; // the worker is filling the list
    uint32_t target = v->table.recordCount;
    if (!all) {
        int page = (int)SendMessageA(v->tableList, LVM_GETCOUNTPERPAGE, 0, 0);
        uint64_t t = (uint64_t)v->nextListRow + (page > 0 ? (uint32_t)page : 100);
        if (t < target) target = (uint32_t)t;
    }
    while (v->nextListRow < target && !v->stop) {
        uint32_t i = v->nextListRow++;
        if (!DbfReadRecord(&v->table, &v->cursor, i, v->tableFile.source, DbfMemoSource(v))) break;
        DbfAppendRow(v->tableList, &v->table, &v->cursor, &v->stop);
    }
}

static DWORD WINAPI DbfReadAllThread(void* param) {
    DbfView* v = static_cast<DbfView*>(param);
    DbfFile table, memo;
    DbfCursor* cursor = static_cast<DbfCursor*>(gHost->MemAlloc(sizeof(DbfCursor)));
    bool ready = cursor && DbfCursorInit(cursor, &v->table, gPicAlloc) && DbfFileOpen(&table, v->path);
    if (ready) {
        bool hasMemo = v->memoFile.handle != INVALID_HANDLE_VALUE && DbfFileOpen(&memo, v->memoPath);
        while (v->nextListRow < v->table.recordCount && !v->stop) {
            uint32_t i = v->nextListRow;
            if (!DbfReadRecord(&v->table, cursor, i, table.source, hasMemo ? &memo.source : nullptr)) break;
            DbfAppendRow(v->tableList, &v->table, cursor, &v->stop);
            v->nextListRow = i + 1;
        }
        if (hasMemo) DbfFileClose(&memo);
        DbfFileClose(&table);
    }
    if (cursor) {
        DbfCursorFree(cursor, gPicAlloc);
        void* p = cursor;
        gHost->MemFree(&p);
    }
    InterlockedExchange(&v->busy, 0);
    DbfRelease(v);
    // The thread holds the library, so that a host unloading it while the
    // worker ends its last record does not pull the code from under it.
    FreeLibraryAndExitThread(gLumoraModule, 0);
    return 0;
}

static void DbfSyncMode(DbfView* v) {
    v->listMode = SendMessageA(v->toolBar, TB_ISBUTTONCHECKED, kCmdMode, 0) != 0;
    if (v->view->options) {
        if (v->listMode)
            *v->view->options |= kListModeOption;
        else
            *v->view->options &= (uint16_t)~kListModeOption;
    }
    for (int id = kCmdFirst; id <= kCmdLast; id++)
        SendMessageA(v->toolBar, TB_HIDEBUTTON, (WPARAM)id, v->listMode);
    for (int id = kCmdMore; id <= kCmdReadAll; id++)
        SendMessageA(v->toolBar, TB_HIDEBUTTON, (WPARAM)id, !v->listMode);
}

static void DbfLayout(DbfView* v, int width, int height) {
    if (!width && !height) {
        RECT r;
        GetClientRect(v->window, &r);
        width = r.right;
        height = r.bottom;
    }
    SendMessageA(v->toolBar, WM_SIZE, 0, 0);
    RECT tb = {};
    GetWindowRect(v->toolBar, &tb);
    int h = tb.bottom - tb.top;
    HWND shown = v->listMode ? v->tableList : v->detailsList;
    HWND hidden = v->listMode ? v->detailsList : v->tableList;
    gHost->WndMove(shown, 0, h, width, height - h);
    gHost->WndMove(hidden, 0, 0, 0, 0);
    if (v->listMode && v->view->hostWindow) SetFocus(v->tableList);
}

static HWND DbfCreateList(DbfView* v) {
    HWND list = CreateWindowExA(WS_EX_STATICEDGE, WC_LISTVIEWA, "", 0x50800001, 0, 0, 0, 0, v->window, nullptr,
                                v->view->instance, nullptr);
    if (!list) return nullptr;
    COLORREF back = v->view->backColor ? *v->view->backColor : GetSysColor(COLOR_WINDOW);
    COLORREF text = v->view->textColor ? *v->view->textColor : GetSysColor(COLOR_WINDOWTEXT);
    SendMessageA(list, LVM_SETBKCOLOR, 0, (LPARAM)back);
    SendMessageA(list, LVM_SETTEXTBKCOLOR, 0, (LPARAM)back);
    SendMessageA(list, LVM_SETTEXTCOLOR, 0, (LPARAM)text);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    return list;
}

static bool DbfCreateLists(DbfView* v) {
    v->detailsList = DbfCreateList(v);
    v->tableList = DbfCreateList(v);
    if (!v->detailsList || !v->tableList) return false;
    RECT r;
    GetClientRect(v->window, &r);
    DbfAddColumn(v->detailsList, 0, " ", 100);
    DbfAddColumn(v->detailsList, 1, " ", 50);
    DbfAddColumn(v->detailsList, 2, " ", r.right - 154 > 50 ? r.right - 154 : 50);
    for (uint32_t f = 0; f < v->table.fieldCount; f++) {
        const DbfField& field = v->table.fields[f];
        char kind[32];
        snprintf(kind, sizeof kind, "%c [%lu]", field.type ? field.type : ' ', (unsigned long)field.length);
        DbfSetItem(v->detailsList, (int)f, 0, field.name, true);
        DbfSetItem(v->detailsList, (int)f, 1, kind, false);
        DbfAddColumn(v->tableList, (int)f, field.name, 50);
    }
    PostMessageA(v->window, WM_SIZE, 0, 0);
    return true;
}

static void DbfCreateToolBar(DbfView* v) {
    static const TBBUTTON kButtons[8] = {
        {6, kCmdMode, TBSTATE_ENABLED, TBSTYLE_CHECK, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {0, kCmdFirst, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {1, kCmdPrevious, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {2, kCmdNext, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {3, kCmdLast, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {4, kCmdMore, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {5, kCmdReadAll, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
    };
    v->toolBar = CreateToolbarEx(v->window, 0x54000B01, 1, 14, v->view->instance, 1110, kButtons, 8, 0, 0, 0, 0,
                                 sizeof(TBBUTTON));
    if (!v->toolBar) return;
    if (v->view->options && (*v->view->options & kListModeOption))
        SendMessageA(v->toolBar, TB_SETSTATE, kCmdMode, MAKELONG(TBSTATE_CHECKED | TBSTATE_ENABLED, 0));
    DbfSyncMode(v);
}

static void DbfOnCommand(DbfView* v, int id) {
    uint32_t count = v->table.recordCount;
    switch (id) {
    case kCmdClose:
        PostMessageA(v->window, WM_CLOSE, 0, 0);
        break;
    case kCmdFirst:
        DbfShowRecord(v, 0);
        break;
    case kCmdPrevious:
        if (v->currentRecord > 0) DbfShowRecord(v, v->currentRecord - 1);
        break;
    case kCmdNext:
        if (v->currentRecord + 1 < count) DbfShowRecord(v, v->currentRecord + 1);
        break;
    case kCmdLast:
        if (count > 0) DbfShowRecord(v, count - 1);
        break;
    case kCmdMore:
        if (v->nextListRow > 0) SendMessageA(v->tableList, LVM_ENSUREVISIBLE, v->nextListRow - 1, FALSE);
        DbfFillRows(v, false);
        break;
    case kCmdReadAll:
        if (!v->busy && v->nextListRow < count) {
            HMODULE self = nullptr;
            if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                    reinterpret_cast<LPCSTR>(&DbfReadAllThread), &self))
                break;
            gLumoraModule = self;
            InterlockedExchange(&v->busy, 1);
            InterlockedIncrement(&v->refs);
            v->worker = CreateThread(nullptr, 0, DbfReadAllThread, v, 0, nullptr);
            if (!v->worker) {
                InterlockedExchange(&v->busy, 0);
                DbfRelease(v);
                FreeLibrary(self);
            }
        }
        break;
    case kCmdMode:
        DbfSyncMode(v);
        if (v->listMode) DbfFillRows(v, false);
        PostMessageA(v->window, WM_SIZE, 0, 0);
        break;
    }
}

static LRESULT CALLBACK DbfWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DbfView* v = reinterpret_cast<DbfView*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE:
        v = static_cast<DbfView*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        v->window = w;
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(v));
        break;
    case WM_CREATE:
        DbfCreateToolBar(v);
        return 0;
    case WM_SIZE:
        if (v && wp != SIZE_MINIMIZED && v->detailsList) DbfLayout(v, LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_SETFOCUS:
        return 0;
    case WM_COMMAND:
        if (v) DbfOnCommand(v, LOWORD(wp));
        return 0;
    case WM_NOTIFY: {
        NMHDR* n = reinterpret_cast<NMHDR*>(lp);
        if (n->code == TTN_GETDISPINFOA) {
            NMTTDISPINFOA* tip = reinterpret_cast<NMTTDISPINFOA*>(lp);
            // The host adds 1000: command 1101 shows text 2101.
            gHost->ViewerGetText((int)tip->hdr.idFrom, tip->szText, sizeof tip->szText);
            tip->lpszText = tip->szText;
        }
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(w, GWLP_USERDATA, 0);
        if (v) {
            // A running worker finishes its record and frees the view.
            InterlockedExchange(&v->stop, 1);
            if (v->worker) CloseHandle(v->worker);
            v->worker = nullptr;
            DbfRelease(v);
        }
        break;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

DbfView* DbfViewCreate(HWND host, ViewRecord* view) {
    DbfView* v = static_cast<DbfView*>(gHost->MemAlloc(sizeof(DbfView)));
    if (!v) return nullptr;
    v->refs = 1; // this function's until the window exists
    v->view = view;
    v->hostWindow = host;
    v->tableFile.handle = v->memoFile.handle = INVALID_HANDLE_VALUE;
    lstrcpynA(v->path, view->openPath, sizeof v->path);
    DbfFile* table = &v->tableFile;
    bool ok = DbfFileOpen(table, v->path) && DbfOpen(&v->table, table->source, gPicAlloc) &&
              DbfCursorInit(&v->cursor, &v->table, gPicAlloc);
    if (ok && v->table.memoFieldCount && DbfMemoPath(v->path, v->memoPath, sizeof v->memoPath)) {
        DbfFile* memo = &v->memoFile;
        if (DbfFileOpen(memo, v->memoPath)) DbfAttachMemo(&v->table, memo->source);
    }
    if (!ok) {
        DbfRelease(v);
        return nullptr;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(view->instance, kDbfClass, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DbfWndProc;
        wc.cbWndExtra = sizeof(void*);
        wc.hInstance = view->instance;
        wc.lpszClassName = kDbfClass;
        RegisterClassExA(&wc);
    }
    RECT r;
    GetClientRect(host, &r);
    InterlockedIncrement(&v->refs); // the window's, released at WM_NCDESTROY
    HWND w = CreateWindowExA(0, kDbfClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, r.right, r.bottom,
                             host, nullptr, view->instance, v);
    if (!w) {
        // When the window never saw WM_NCCREATE its reference is still out.
        if (!v->window) DbfRelease(v);
        DbfRelease(v);
        return nullptr;
    }
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    if (!DbfCreateLists(v)) {
        DestroyWindow(w);
        DbfRelease(v);
        return nullptr;
    }
    DbfShowRecord(v, 0);
    if (v->listMode) {
        DbfFillRows(v, false);
        if (view->hostWindow) SetFocus(v->tableList);
    }
    DbfRelease(v); // the window's reference keeps it
    return v;
}

void DbfViewClose(ViewRecord* view) {
    DbfView* v = static_cast<DbfView*>(view->viewObject);
    if (v && IsWindow(v->window)) PostMessageA(v->window, WM_CLOSE, 0, 0);
    view->viewObject = nullptr;
}
