#include "app/bars/KeyHook.h"

#include <ctype.h>
#include <string.h>

#include "AppState.h"
#include "app/bars/FunctionKeys.h"
#include "base/Paths.h"
#include "base/Strings.h"
#include "fileops/CopyJob.h"
#include "panels/KeyTables.h"
#include "panels/PanelInput.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelStatus.h"
#include "panels/PanelWindow.h"
#include "panels/PanelRename.h"
#include "panels/QuickSearch.h"
#include "tools/RunServices.h"
#include "wingui/WindowUtil.h"

namespace {

KeyModifiers (*gModifierSource)();

KeyModifiers Modifiers(LPARAM keyData) {
    if (gModifierSource)
        return gModifierSource();
    KeyModifiers m;
    m.ctrl = GetAsyncKeyState(VK_CONTROL) < 0;
    m.shift = GetAsyncKeyState(VK_SHIFT) < 0;
    m.alt = (keyData & (1 << 29)) != 0;
    return m;
}

int Active() { return gApp->activePanel & 1; }

bool FocusInCmdLine() {
    HWND focus = GetFocus();
    return gApp->cmdLine && focus && (focus == gApp->cmdLine || IsChild(gApp->cmdLine, focus));
}

bool MainActive() {
    HWND active = WndActiveWindow();
    return gMainWindow && (active == gMainWindow || !active);
}

void PostCommand(uint16_t id) {
    WPARAM w = id;
    if (id == 518 || id == 618)
        w = MAKEWPARAM(id, 2);
    PostMessageA(gMainWindow, WM_COMMAND, w, 0);
}

bool TryTable(KeyTableKind kind, WPARAM key) {
    const KeyCommandEntry *row = KeyTableFind(kind, (uint16_t)key);
    if (!row)
        return false;
    if (row->command != 92)
        PostCommand(row->command);
    return true;
}

// Ctrl+Enter: the cursor entry's path (or name with Shift) into the
// command line.
bool InsertCursorEntry(bool nameOnly, bool shortForm) {
    int panel = Active();
    if (!gApp->cmdLine || gApp->panels[panel].location)
        return false;
    char path[520] = "";
    PanelIter it;
    FileEntry *e = PanelGetCursorEntry(&it, panel);
    if (e) {
        if (nameOnly)
            StrAppend(path, EntryName(e), sizeof path);
        else
            PanelEntryPath(e, panel, path, 260);
    }
    PanelIterEnd(&it);
    if (!e)
        return false;
    if (shortForm && !nameOnly) {
        char shortPath[260];
        if (PathGetShortName(path, shortPath, sizeof shortPath))
            strcpy(path, shortPath);
    }
    char text[1040] = "";
    GetWindowTextA(gApp->cmdLine, text, 520);
    size_t n = strlen(text);
    if (n && text[n - 1] != ' ')
        StrAppend(text, " ", sizeof text);
    StrAppend(text, path, sizeof text);
    SetWindowTextA(gApp->cmdLine, text);
    SetFocus(gApp->cmdLine);
    return true;
}

bool CmdLineHasText() {
    char text[4] = "";
    return gApp->cmdLine && GetWindowTextA(gApp->cmdLine, text, sizeof text) > 0;
}

bool IsToolWindow(HWND window) {
    for (uint32_t i = 0; i < gApp->modelessDialogCount; i++)
        if ((HWND)gApp->modelessDialogs[i].window == window)
            return true;
    return false;
}

// Keys for the program's other top-level windows: their common shortcuts.
LRESULT OtherWindowKey(int code, WPARAM key, LPARAM keyData, const KeyModifiers &mod) {
    HWND active = WndActiveWindow();
    if (!active)
        return CallNextHookEx(nullptr, code, key, keyData);
    if (key == VK_ESCAPE && IsToolWindow(active)) {
        SendMessageA(active, WM_CLOSE, 0, 0);
        WndBringToFront(gMainWindow);
        return 1;
    }
    if (!mod.ctrl) {
        UINT id = 0;
        if (key == VK_F3)
            id = mod.alt ? 11945 : 11946;
        else if (key >= VK_F5 && key <= VK_F8 && !mod.alt)
            id = 1101 + (UINT)(key - VK_F5);
        if (id)
            SendMessageA(active, WM_COMMAND, id, 0); // and the key goes on
        return CallNextHookEx(nullptr, code, key, keyData);
    }
    UINT id = key == 'A' ? 11937 : key == 'F' ? 11945 : key == 'H' ? 11956 : key == 'S' ? 11924 : 0;
    if (id) {
        PostMessageA(active, WM_COMMAND, id, 0);
        return 1;
    }
    return CallNextHookEx(nullptr, code, key, keyData);
}

} // namespace

void KeyHookSetModifierSource(KeyModifiers (*source)()) { gModifierSource = source; }

bool KeyHookInstall() {
    if (gApp->keyboardHook)
        return true;
    gApp->keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, nullptr, GetCurrentThreadId());
    return gApp->keyboardHook != nullptr;
}

void PanelEnterPath(HWND, int panel, const char *text, int start) {
    const char *rest = text + start;
    while (*rest == ' ')
        rest++;
    char current[260];
    PanelGetPath(panel, current, sizeof current);
    if (*rest) {
        char target[260] = "";
        if (strcmp(rest, "..") == 0) {
            StrAppend(target, current, sizeof target);
            PathCutLastComponent(target);
        } else if (strcmp(rest, "\\") == 0) {
            StrAppend(target, current, 4);
        } else if ((rest[0] == '\\' && rest[1] == '\\') || (rest[0] == '/' && rest[1] == '/')) {
            StrAppend(target, rest, sizeof target);
        } else {
            char letter = current[0];
            if (isalpha((unsigned char)rest[0]) && rest[1] == ':') {
                letter = rest[0];
                rest += 2;
            }
            if (rest[0] == '\\' || rest[0] == '/') {
                char root[4] = {letter, ':', '\\', 0};
                StrAppend(target, root, sizeof target);
                StrAppend(target, rest + 1, sizeof target);
            } else {
                // A relative rest, also after "X:", is taken in the
                // panel's folder.
                StrAppend(target, current, sizeof target);
                size_t n = strlen(target);
                if (*rest && n && target[n - 1] != '\\')
                    StrAppend(target, "\\", sizeof target);
                StrAppend(target, rest, sizeof target);
            }
        }
        PanelChangeDir(target, panel);
        PanelUpdateStatusLine();
    }
    int other = !panel;
    if ((gApp->panelMode[other] & 0xF) == kViewTree) {
        PanelGetPath(panel, current, sizeof current);
        PanelSetPath(other, current);
        PanelRequestReread(other);
    }
}

void CmdLineExecute(HWND owner) {
    char text[260] = "";
    GetWindowTextA(gApp->cmdLine, text, sizeof text);
    if (!text[0])
        return;
    LRESULT at = SendMessageA(gApp->cmdLine, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (at != CB_ERR)
        SendMessageA(gApp->cmdLine, CB_DELETESTRING, at, 0);
    SendMessageA(gApp->cmdLine, CB_INSERTSTRING, 0, (LPARAM)text);
    SetWindowTextA(gApp->cmdLine, "");
    int panel = Active();
    LocationNode *location = gApp->panels[panel].location;
    if (location && location->kind == kLocationCeDevice) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    if (location && location->kind == kLocationFtp)
        return; // the FTP front end sends raw commands
    char folder[260];
    PanelGetPath(panel, folder, sizeof folder);
    SetCurrentDirectoryA(folder);
    uint32_t drives = GetLogicalDrives();
    switch (CmdLineClassifyWith(text, drives)) {
    case 1:
        PanelSelectDrive(owner, panel, text[0]);
        break;
    case 2:
        PanelEnterPath(owner, panel, text, 5);
        break;
    case 3:
        PanelEnterPath(owner, panel, text, 2);
        break;
    case 6:
        RunUserLine(owner, text, folder, SW_SHOWNORMAL, 'K');
        break;
    default:
        RunUserLine(owner, text, folder, SW_SHOWNORMAL, 'C');
        break;
    }
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM key, LPARAM keyData) {
    if (code < 0 || !gApp)
        return CallNextHookEx(nullptr, code, key, keyData);
    bool released = (keyData & 0x80000000) != 0;
    KeyModifiers mod = Modifiers(keyData);
    int panel = Active();
    if (gApp->renameEdit) {
        // The rename box: Enter renames, Escape leaves the name as it was.
        if (key == VK_RETURN || key == VK_ESCAPE || key == VK_MENU) {
            if (!released && key == VK_RETURN) {
                RenameInlineFinish();
                PanelSetFocus(panel);
            } else if (!released && key == VK_ESCAPE) {
                PanelCancelRename();
            }
            return 1;
        }
        return CallNextHookEx(nullptr, code, key, keyData);
    }
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) {
        // The function-key bar shows the labels of the modifier held.
        if (gApp->fkeyBar) {
            int shift = 0;
            if (MainActive()) {
                bool altDown = gModifierSource ? mod.alt : GetAsyncKeyState(VK_MENU) < 0;
                shift = altDown ? 10 : mod.ctrl ? 20 : mod.shift ? 30 : 0;
            }
            KeyBarSetShift(shift);
        }
        return CallNextHookEx(nullptr, code, key, keyData);
    }
    if (key == VK_ESCAPE)
        InterlockedOr(&gApp->dirSizeFlags, 4 << panel); // stops a running count
    if (released)
        return CallNextHookEx(nullptr, code, key, keyData);

    HWND search = QuickSearchWindow();
    if (search) {
        if (key == VK_UP || key == VK_DOWN || key == VK_INSERT) {
            QuickSearchClose();
            PanelHandleKey(gMainWindow, WM_NULL, key, keyData);
            return 1;
        }
        const KeyCommandEntry *row = KeyTableFind(KeyTableForModifiers(mod.alt, mod.ctrl, mod.shift), (uint16_t)key);
        if (row && row->quickSearch) {
            EndDialog(search, 0);
            PostCommand(row->command);
            return 1;
        }
        return CallNextHookEx(nullptr, code, key, keyData);
    }
    if (!MainActive())
        return OtherWindowKey(code, key, keyData, mod);

    if (!mod.alt) {
        if (mod.ctrl) {
            if (key == VK_TAB && gApp->cmdLine) {
                if (FocusInCmdLine())
                    PanelSetFocus(panel);
                else
                    SetFocus(gApp->cmdLine);
                return 1;
            }
            if (key == VK_RETURN && InsertCursorEntry(mod.shift, false))
                return 1;
            if (TryTable(kKeysCtrl, key))
                return 1;
        } else if (mod.shift) {
            if (key >= 'A' && key <= 'Z' && FocusInCmdLine())
                return CallNextHookEx(nullptr, code, key, keyData);
            if (TryTable(kKeysShift, key))
                return 1;
        } else {
            switch (key) {
            case VK_TAB:
                PanelHandleKey(gMainWindow, WM_NULL, VK_TAB, keyData);
                PanelSetFocus(Active());
                return 1;
            case VK_RETURN:
                if (CmdLineHasText()) {
                    CmdLineExecute(gMainWindow);
                    return 1;
                }
                if (FocusInCmdLine()) {
                    PanelHandleKey(gMainWindow, WM_NULL, VK_RETURN, keyData);
                    return 1;
                }
                break;
            case VK_ESCAPE:
                if (FocusInCmdLine()) {
                    SetWindowTextA(gApp->cmdLine, "");
                    return 1;
                }
                break;
            case VK_BACK:
            case VK_DELETE:
                if (FocusInCmdLine())
                    return CallNextHookEx(nullptr, code, key, keyData);
                break;
            case VK_SPACE:
                if (FocusInCmdLine())
                    return CallNextHookEx(nullptr, code, key, keyData);
                PanelHandleKey(gMainWindow, WM_NULL, VK_INSERT, keyData);
                return 1;
            case VK_MULTIPLY:
            case VK_ADD:
            case VK_SUBTRACT:
            case VK_DIVIDE:
            case 191:
                return CallNextHookEx(nullptr, code, key, keyData);
            }
            if (key != VK_RETURN && key != VK_ESCAPE && TryTable(kKeysPlain, key))
                return 1;
        }
        return CallNextHookEx(nullptr, code, key, keyData);
    }

    // Alt held
    if (key == VK_RETURN && mod.ctrl && InsertCursorEntry(false, true))
        return 1;
    const KeyCommandEntry *row = KeyTableFind(kKeysAlt, (uint16_t)key);
    if (row && (row->command != 410 || (mod.ctrl && mod.shift))) {
        PostCommand(row->command);
        return 1;
    }
    bool altLetter = (gApp->generalOptions & 0x80) != 0;
    bool letterKey = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (letterKey && !FocusInCmdLine() && (gApp->panelMode[panel] & 0xF) != kViewTree && mod.ctrl != altLetter) {
        // The box runs its own message loop: open it after the hook returns.
        PostMessageA(gApp->panels[panel].listWindow, kPanelMsgQuickSearch, key, 0);
        return 1;
    }
    return CallNextHookEx(nullptr, code, key, keyData);
}
