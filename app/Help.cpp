#include "app/Help.h"

#include <shellapi.h>
#include <string.h>

#include "app/Language.h"

static const char kWebSite[] = "http://www.zq-vandrell.example/";

static void ShellOpenReal(HWND owner, const char *file) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpFile = file;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}

// HtmlHelpA lives in hhctrl.ocx, which not every system has: bound by name.
static HWND HtmlHelpReal(HWND owner, const char *path, UINT command, DWORD_PTR data) {
    static HMODULE module = LoadLibraryA("hhctrl.ocx");
    if (!module)
        return nullptr;
    typedef HWND(WINAPI * Fn)(HWND, LPCSTR, UINT, DWORD_PTR);
    Fn fn = (Fn)GetProcAddress(module, "HtmlHelpA");
    return fn ? fn(owner, path, command, data) : nullptr;
}

static BOOL WinHelpReal(HWND owner, const char *path, UINT command, ULONG_PTR data) {
    return WinHelpA(owner, path, command, data);
}

HelpOpeners gHelpOpeners = {HtmlHelpReal, WinHelpReal, ShellOpenReal};

void ShellOpen(HWND owner, const char *file) { gHelpOpeners.shellOpen(owner, file); }

int HelpTryFormats(HWND owner, const char *basePath, const char *languageCode, int exactLanguage, DWORD topic) {
    static const char *const forms[] = {"CHM", "HLP", "HTM"};
    for (const char *form : forms) {
        char path[MAX_PATH];
        if (LangFileName(basePath, languageCode, form, path, exactLanguage) != 0)
            continue;
        if (strcmp(form, "CHM") == 0) {
            const UINT HH_DISPLAY_TOPIC = 0, HH_HELP_CONTEXT = 0x0F;
            if (gHelpOpeners.htmlHelp(owner, path, topic ? HH_HELP_CONTEXT : HH_DISPLAY_TOPIC, topic))
                return 1;
        } else if (strcmp(form, "HLP") == 0) {
            gHelpOpeners.winHelp(owner, path, HELP_INDEX, 0);
            return 1;
        } else {
            gHelpOpeners.shellOpen(owner, path);
            return 1;
        }
    }
    return 0;
}

void HelpShow(HWND owner, const char *basePath, const char *languageCode, DWORD topic) {
    if (!HelpTryFormats(owner, basePath, languageCode, 1, topic))
        HelpTryFormats(owner, basePath, languageCode, 0, topic);
}

void HelpUsingHelp(HWND owner) { gHelpOpeners.winHelp(owner, "", HELP_HELPONHELP, 0); }

void OpenWebSite(HWND owner) { ShellOpen(owner, kWebSite); }
