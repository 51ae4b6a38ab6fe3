#include "panels/SpaceInfo.h"

#include <process.h>
#include <stdio.h>
#include <string.h>

#include "AppState.h"
#include "base/Numbers.h"
#include "base/Texts.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelViewMenu.h"
#include "panels/SpaceCount.h"
#include "wingui/WindowUtil.h"

// The window's record (AppState.spaceDlg). The dialog handle comes first:
// other parts read it as the record's first word. The window and its one
// thread each hold a reference; the last to let go frees it.
struct SpaceDlgState {
    HWND dialog;
    int panel;
    volatile LONG refs;
    volatile LONG state; // 0 counting or idle, 1 count again, 16 or more: closing
    HANDLE wake;         // set to end the thread's wait at once
    CRITICAL_SECTION lock; // guards `shown`
    SpaceStats shown;    // the last complete count
    LONG passes;         // counts completed (read by tests)
};

namespace {

void Release(SpaceDlgState *s)
{
    if (InterlockedDecrement(&s->refs) == 0) {
        CloseHandle(s->wake);
        DeleteCriticalSection(&s->lock);
        delete s;
    }
}

// What a count depends on, apart from the marks.
struct Signature {
    uint32_t generation, cursor, marked;
    char path[260];
    bool operator==(const Signature &o) const
    {
        return generation == o.generation && cursor == o.cursor && marked == o.marked && !strcmp(path, o.path);
    }
};

Signature Take(int panel, bool withMarks)
{
    Signature sig;
    sig.generation = gPanelLists[panel].generation.load();
    sig.cursor = gApp->cursorIndex[panel];
    sig.marked = withMarks ? PanelCountMarked(panel) : 0;
    PanelGetPath(panel, sig.path, sizeof sig.path);
    return sig;
}

struct CountContext {
    SpaceDlgState *s;
    Signature sig;
};

bool CountStale(void *p)
{
    CountContext *c = (CountContext *)p;
    if (c->s->state != 0)
        return true;
    Signature now = Take(c->s->panel, false);
    now.marked = c->sig.marked;
    return !(now == c->sig);
}

unsigned __stdcall SpaceCountThread(void *p)
{
    SpaceDlgState *s = (SpaceDlgState *)p;
    Signature last = {};
    bool counted = false;
    while (s->state < 16) {
        Signature now = Take(s->panel, true);
        if (counted && now == last && s->state == 0) {
            // Idle: look again shortly, or at once when woken.
            WaitForSingleObject(s->wake, 250);
            continue;
        }
        InterlockedCompareExchange(&s->state, 0, 1);
        CountContext context = {s, now};
        SpaceStats stats = {};
        stats.panel = (uint16_t)s->panel;
        stats.filter = gApp->panels[s->panel].filter;
        stats.stopWanted = CountStale;
        stats.stopContext = &context;
        SpaceCountSelection(nullptr, s->panel, false, &stats);
        if (CountStale(&context))
            continue; // the panel moved on: count again from the start
        EnterCriticalSection(&s->lock);
        s->shown = stats;
        s->passes++;
        HWND dialog = s->dialog;
        if (dialog)
            PostMessageA(dialog, kMsgSpaceCounted, 0, 0);
        LeaveCriticalSection(&s->lock);
        last = now;
        counted = true;
    }
    Release(s);
    return 0;
}

void SetNumber(HWND d, int id, uint64_t n)
{
    char text[kNumberTextSize];
    StrFormatNumber64(&n, text);
    SetDlgItemTextA(d, id, text);
}

void SetLabels(HWND d)
{
    static const struct {
        int id, text;
    } kLabels[] = {{11551, Txt::txtOccupied}, {11553, Txt::txtDskFree},  {11555, Txt::txtTotal},
                   {11557, Txt::txtDir},      {11559, Txt::txtDskFiles}, {11566, Txt::txtDskFiles},
                   {11561, Txt::txtBytesLabel},   {11568, Txt::txtBytesLabel},   {11565, Txt::txtFiltered}};
    char text[100];
    for (const auto &l : kLabels) {
        TextGet(l.text, text, sizeof text);
        SetDlgItemTextA(d, l.id, text);
    }
}

void ShowCounts(HWND d, SpaceDlgState *s)
{
    EnterCriticalSection(&s->lock);
    SpaceStats c = s->shown;
    LeaveCriticalSection(&s->lock);
    SetNumber(d, 11558, c.folderCount);
    SetNumber(d, 11560, c.fileCount);
    SetNumber(d, 11562, c.bytes);
    SetNumber(d, 11567, c.filteredFileCount);
    SetNumber(d, 11569, c.filteredBytes);
}

void ShowDrive(HWND d, SpaceDlgState *s)
{
    const PanelState &p = gApp->panels[s->panel];
    char side[40], size[60], caption[120], drive[40], path[260];
    TextGet(s->panel ? Txt::txtRight : Txt::txtLeft, side, sizeof side);
    StrFormatSize(size, &p.freeBytes, 1);
    snprintf(caption, sizeof caption, "  %s   %s", side, size);
    SetWindowTextA(d, caption);
    PanelGetPath(s->panel, path, sizeof path);
    TextFormat(drive, sizeof drive, Txt::txtDrvInfo, path[0] ? path[0] : '?');
    SetDlgItemTextA(d, 11581, drive);
    uint64_t freeBytes = p.freeBytes > p.totalBytes ? p.totalBytes : p.freeBytes;
    SetNumber(d, 11552, p.totalBytes - freeBytes);
    SetNumber(d, 11554, freeBytes);
    SetNumber(d, 11556, p.totalBytes);
}

} // namespace

INT_PTR CALLBACK SpaceDialogProc(HWND d, UINT message, WPARAM wParam, LPARAM lParam)
{
    SpaceDlgState *s = (SpaceDlgState *)GetWindowLongPtrA(d, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        s = (SpaceDlgState *)lParam;
        SetWindowLongPtrA(d, GWLP_USERDATA, (LONG_PTR)s);
        s->dialog = d;
        SetLabels(d);
        ShowDrive(d, s);
        ShowCounts(d, s);
        return TRUE;
    }
    case kMsgSpaceCounted:
        if (s) {
            ShowCounts(d, s);
            ShowDrive(d, s);
        }
        return TRUE;
    case kMsgSpacePasses:
        SetWindowLongPtrA(d, DWLP_MSGRESULT, s ? s->passes : 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && s) {
            SpaceInfoToggle(GetParent(d), s->panel);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        if (s) {
            EnterCriticalSection(&s->lock);
            s->dialog = nullptr;
            LeaveCriticalSection(&s->lock);
            InterlockedExchange(&s->state, 16);
            SetEvent(s->wake);
            if (gApp->spaceDlg[s->panel] == s)
                gApp->spaceDlg[s->panel] = nullptr;
            SetWindowLongPtrA(d, GWLP_USERDATA, 0);
            Release(s);
            PanelSyncViewMenu(nullptr);
        }
        return TRUE;
    }
    return FALSE;
}

void SpaceInfoToggle(HWND owner, int panel)
{
    panel &= 1;
    if (SpaceDlgState *open = gApp->spaceDlg[panel]) {
        DestroyWindow(open->dialog);
        return;
    }
    if ((gApp->panelMode[panel] & 0xF) == kViewQuick) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    SpaceDlgState *s = new SpaceDlgState();
    s->panel = panel;
    s->refs = 1;
    s->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    InitializeCriticalSection(&s->lock);
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgSpaceInfo), owner, SpaceDialogProc,
                                (LPARAM)s);
    if (!d) {
        Release(s);
        return;
    }
    gApp->spaceDlg[panel] = s;
    InterlockedIncrement(&s->refs);
    uintptr_t h = _beginthreadex(nullptr, 0, SpaceCountThread, s, 0, nullptr);
    if (h)
        CloseHandle((HANDLE)h);
    else
        Release(s);
    RECT main = {}, own = {};
    if (owner && GetWindowRect(owner, &main) && GetWindowRect(d, &own)) {
        int w = own.right - own.left, h2 = own.bottom - own.top;
        int x = panel == 0 ? main.right - w - 8 : main.left + 8;
        SetWindowPos(d, nullptr, x, main.top + (main.bottom - main.top - h2) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    ShowWindow(d, SW_SHOWNOACTIVATE);
    PanelSyncViewMenu(nullptr);
}
