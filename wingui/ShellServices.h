// Shell services (special folders, properties, shortcuts), the once-per-run
// message for a missing library and the shared dialog utilities.
#pragma once
#include <windows.h>
#include <shlobj.h>

void ShellOpenSpecialFolder(HWND window, int csidl);
void ShellShowProperties(HWND window, const char *path);
// target, description and folder are 260-byte buffers; the last two may be null.
HRESULT ShellResolveLink(const char *linkPath, char *target, char *description, char *workingFolder);
HRESULT ShellCreateLink(const char *target, const char *workingFolder, const char *linkPath,
                        const char *description);
HRESULT ShellCreateDesktopLink(const char *file);
void ShellGetDisplayName(LPCITEMIDLIST items, char *out, int size);
void ShellSpecialFolderName(int csidl, char *out, int size);
// out: 260 bytes, empty when the folder has no file-system path.
HRESULT ShellSpecialFolderPath(int csidl, char *out);

// Library indexes of libMissingShown.
enum { kLibFtp = 0, kLibArchive = 1, kLibViewer = 2 };
// Shows "Cannot find or load the module %s." once per library per run.
void AppReportMissingModule(HWND owner, const char *moduleName, int libraryIndex);
// The box the report shows; tests count it instead.
extern int (*gMissingModuleBox)(HWND owner, const char *text, const char *caption, UINT type);

void DlgDrawIconButton(const DRAWITEMSTRUCT *item);
void DlgDrawItem(const DRAWITEMSTRUCT *item);
void OwnerDrawCacheFree();
// path: 260 bytes in and out; 0 when a folder was chosen, -1 otherwise.
int DlgBrowseFolder(HWND owner, char *path);
void DlgBrowseFolderEdit(HWND dialog, int editId);
BOOL DlgGetOpenFileName(OPENFILENAMEA *ofn);
BOOL DlgGetSaveFileName(OPENFILENAMEA *ofn);
