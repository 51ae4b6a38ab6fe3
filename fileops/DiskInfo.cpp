#include "fileops/DiskInfo.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "AppState.h"
#include "base/Numbers.h"
#include "base/Texts.h"
#include "fileops/FileSystem.h"
#include "fileops/FreeSpace.h"
#include "panels/Location.h"
#include "panels/PanelRefresh.h"
#include "wingui/WindowUtil.h"

bool DiskInfoRead(const char *path, VolumeInfo *info, uint32_t *error)
{
    memset(info, 0, sizeof *info);
    info->panelPath = path;
    *error = 0;
    info->root[0] = path[0];
    info->root[1] = ':';
    info->root[2] = '\\';
    info->root[3] = 0;
    DWORD serial = 0, component = 0, flags = 0;
    if (GetVolumeInformationA(info->root, info->label, sizeof info->label, &serial, &component, &flags,
                              info->fileSystem, sizeof info->fileSystem)) {
        info->serial = serial;
        info->maxComponent = component;
        info->flags = flags;
    } else {
        info->root[0] = 0;
    }
    if (!SpaceGetDiskFree(path, nullptr, &info->freeBytes, &info->totalBytes)) {
        *error = GetLastError() ? GetLastError() : ERROR_NOT_READY;
        return false;
    }
    return true;
}

namespace {

void SetText(HWND dialog, int id, int textId)
{
    char text[200];
    TextGet(textId, text, sizeof text);
    SetDlgItemTextA(dialog, id, text);
}

void Show(HWND dialog, int id, bool show) { ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE); }

void OnInit(HWND dialog, const VolumeInfo *v)
{
    char text[300], drive[60];
    char letter = v->root[0] ? v->root[0] : (v->panelPath ? v->panelPath[0] : '?');
    TextFormat(drive, sizeof drive, Txt::txtDrvInfo, letter);
    snprintf(text, sizeof text, "  %s", drive);
    SetWindowTextA(dialog, text);
    SetText(dialog, 11530, Txt::txtLabel);
    SetText(dialog, 11531, Txt::txtFileSyst);
    SetText(dialog, 11532, Txt::txtVolumeSN);
    SetText(dialog, 11533, Txt::txtDrvTotal);
    SetText(dialog, 11535, Txt::txtDrvUsed);
    SetText(dialog, 11537, Txt::txtDrvFree);
    SetText(dialog, 11539, Txt::txtUsedPct);
    bool volume = v->root[0] != 0;
    if (volume) {
        SetDlgItemTextA(dialog, 11510, v->label);
        SetDlgItemTextA(dialog, 11511, v->fileSystem);
        snprintf(text, sizeof text, "%04X:%04X ", (unsigned)(v->serial >> 16), (unsigned)(v->serial & 0xFFFF));
        SetDlgItemTextA(dialog, 11512, text);
    }
    for (int id : {11530, 11531, 11532, 11510, 11511, 11512})
        Show(dialog, id, volume);
    bool sizes = v->totalBytes != 0;
    if (sizes) {
        for (int id : {11534, 11536, 11538})
            SetText(dialog, id, Txt::txtBytes1);
        uint64_t freeBytes = v->freeBytes > v->totalBytes ? v->totalBytes : v->freeBytes;
        uint64_t used = v->totalBytes - freeBytes;
        const uint64_t values[3] = {used, freeBytes, v->totalBytes};
        for (int i = 0; i < 3; i++) {
            StrFormatNumber64(&values[i], text);
            SetDlgItemTextA(dialog, 11513 + i, text);
            StrFormatSize(text, &values[i], 0);
            SetDlgItemTextA(dialog, 11517 + i, text);
        }
        uint32_t hundredths = DiskUsedHundredths(used, v->totalBytes);
        snprintf(text, sizeof text, "%u.%02u %%", hundredths / 100, hundredths % 100);
        SetDlgItemTextA(dialog, 11516, text);
        SendDlgItemMessageA(dialog, 10302, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendDlgItemMessageA(dialog, 10302, PBM_SETPOS, hundredths / 100, 0);
    } else {
        SetDlgItemTextA(dialog, 11534, "");
        for (int id : {11533, 11535, 11537, 11539, 11513, 11514, 11515, 11517, 11518, 11519, 11516, 11536, 11538, 10302})
            Show(dialog, id, false);
    }
}

} // namespace

INT_PTR CALLBACK DiskInfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        WndCenter(dialog);
        OnInit(dialog, (const VolumeInfo *)lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == 99) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void DiskInfoCommand(HWND owner)
{
    int active = gApp->activePanel & 1;
    const LocationNode *node = gApp->panels[active].location;
    if (node && (node->kind == kLocationFtp || node->kind == kLocationCeDevice)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    char path[kPathSize];
    PanelGetPath(active, path, sizeof path);
    if (!path[0] || path[1] != ':') {
        MessageBeep(MB_ICONHAND);
        return;
    }
    VolumeInfo info;
    uint32_t error = 0;
    if (!DiskInfoRead(path, &info, &error)) {
        char root[4] = {path[0], ':', '\\', 0};
        FileReportError(owner, (int32_t)error, root, kCtxNotReady);
        return;
    }
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDlgDiskInfo), owner, DiskInfoDialogProc,
                    (LPARAM)&info);
}
