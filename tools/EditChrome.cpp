#include "tools/EditChrome.h"

#include <commctrl.h>
#include <string.h>

#include "AppState.h"
#include "base/Texts.h"

BOOL(WINAPI *gEditorChooseColor)(CHOOSECOLORA *) = ChooseColorA;

HWND EditToolBarCreate(HWND window, const ToolButton *buttons, int count) {
    TBBUTTON list[20] = {};
    if (count > 20)
        count = 20;
    for (int i = 0; i < count; i++) {
        list[i].iBitmap = buttons[i].command ? buttons[i].image : 0;
        list[i].idCommand = buttons[i].command;
        list[i].fsState = TBSTATE_ENABLED;
        list[i].fsStyle = buttons[i].command ? TBSTYLE_BUTTON : TBSTYLE_SEP;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    return CreateToolbarEx(window, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, kEditToolBarId, 15,
                           HINST_COMMCTRL, IDB_STD_SMALL_COLOR, list, count, 20, 20, 16, 16, sizeof(TBBUTTON));
}

void EditLayout(HWND window, HWND toolBar, HWND child) {
    RECT client;
    GetClientRect(window, &client);
    int top = 0;
    if (toolBar && IsWindow(toolBar)) {
        SendMessageA(toolBar, TB_AUTOSIZE, 0, 0);
        RECT bar;
        GetWindowRect(toolBar, &bar);
        top = bar.bottom - bar.top;
    }
    if (child) {
        int height = client.bottom - top;
        MoveWindow(child, 0, top, client.right, height > 0 ? height : 0, TRUE);
    }
}

// "&Save\tCtrl+S" -> "Save"
static void PlainMenuText(int id, char *out, int size) {
    char text[80];
    TextGet(id, text, sizeof text);
    int n = 0;
    for (const char *p = text; *p && *p != '\t' && n < size - 1; p++)
        if (*p != '&')
            out[n++] = *p;
    out[n] = 0;
    while (n > 0 && out[n - 1] == '.')
        out[--n] = 0;
}

bool EditToolTip(LPARAM lParam) {
    NMHDR *header = (NMHDR *)lParam;
    if (header->code != TTN_NEEDTEXTA && header->code != TTN_NEEDTEXTW)
        return false;
    char text[80];
    TextGet((int)header->idFrom + 1000, text, sizeof text);
    if (!text[0])
        PlainMenuText((int)header->idFrom, text, sizeof text);
    if (header->code == TTN_NEEDTEXTA) {
        NMTTDISPINFOA *tip = (NMTTDISPINFOA *)lParam;
        lstrcpynA(tip->szText, text, sizeof tip->szText);
        tip->lpszText = tip->szText;
        tip->hinst = nullptr;
    } else {
        NMTTDISPINFOW *tip = (NMTTDISPINFOW *)lParam;
        MultiByteToWideChar(CP_ACP, 0, text, -1, tip->szText, sizeof tip->szText / sizeof tip->szText[0]);
        tip->szText[sizeof tip->szText / sizeof tip->szText[0] - 1] = 0;
        tip->lpszText = tip->szText;
        tip->hinst = nullptr;
    }
    return true;
}

bool EditPickColor(HWND owner, COLORREF *color) {
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = *color;
    static COLORREF spare[16];
    cc.lpCustColors = gApp ? gApp->customColors : spare;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!gEditorChooseColor(&cc))
        return false;
    *color = cc.rgbResult;
    return true;
}
